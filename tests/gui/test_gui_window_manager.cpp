// The main window under a window manager of the test's own (openbox on the Xvfb display): the
// frame around the window is what the geometry settings describe. These tests run alone, since
// the window manager takes every window of the display.
#include <gtest/gtest.h>

#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::DragFrameTo;
using test::Framed;
using test::FrameSize;
using test::MaximiseQuitRestartRestore;
using test::Session;
using test::WaitUntil;

#define SKIP_WITHOUT_WINDOW_MANAGER(manager) \
    if (!(manager).Running()) GTEST_SKIP() << "no window manager: " << (manager).Why()

// window_x/window_y and window_posx/window_posy are the frame's size and top-left: under a window
// manager the frame is larger than the window's inside, and both must come back as stored.
TEST(WindowManagerGui, OuterGeometryRoundTrips)
{
    test::WindowManager manager;
    SKIP_WITHOUT_WINDOW_MANAGER(manager);
    test::FreshStore store;
    {
        Session s;
        ASSERT_TRUE(WaitUntil([&] { return Framed(s) && FrameSize(s) == QSize(650, 480); }, 5000))
            << "frame " << testing::PrintToString(FrameSize(s));
        EXPECT_EQ(s.window->frameGeometry().topLeft(), QPoint(150, 150));
        DragFrameTo(s, QPoint(240, 130), QSize(800, 600), true);
        if (HasFatalFailure()) return;
        EXPECT_EQ(s.settings.window_x, 800);
        EXPECT_EQ(s.settings.window_y, 600);
        s.Quit();
    }
    Session s;
    EXPECT_TRUE(WaitUntil([&] { return Framed(s) && FrameSize(s) == QSize(800, 600); }, 5000))
        << "frame " << testing::PrintToString(FrameSize(s));
    EXPECT_EQ(s.window->frameGeometry().topLeft(), QPoint(240, 130));
    QTest::qWait(300);  // nothing moves afterwards
    EXPECT_EQ(FrameSize(s), QSize(800, 600));
    EXPECT_EQ(s.settings.window_x, 800);
    EXPECT_EQ(s.settings.window_y, 600);
    s.Quit();
}

// A maximised window has another frame than a normal one: restoring after a restart still gives
// the frame its rectangle from before.
TEST(WindowManagerGui, MaximisedAtQuitRestoresItsFrame)
{
    test::WindowManager manager;
    SKIP_WITHOUT_WINDOW_MANAGER(manager);
    MaximiseQuitRestartRestore(true);
}

}  // namespace
}  // namespace solvane
