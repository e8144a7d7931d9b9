// The main window under a window manager of the test's own (openbox on the Xvfb display): the
// frame around the window is what the geometry settings describe. These tests run alone, since
// the window manager takes every window of the display.
#include <gtest/gtest.h>

#include "app/dialogs.h"
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

// With a frame of the window manager's around both, a parameter dialog's frame sits at the main
// window's bottom-left corner and a status box's frame is centred over the main window.
TEST(WindowManagerGui, DialogsOpenWhereTheyBelongWithTheirFrames)
{
    test::WindowManager manager;
    SKIP_WITHOUT_WINDOW_MANAGER(manager);
    test::FreshStore store;
    Session s;
    ASSERT_TRUE(WaitUntil([&] { return Framed(s); }, 5000));
    MainWindow* window = s.window.get();
    QRect gamma;
    bool framed = false;
    test::ModalDriver driver([&](QWidget* modal) {
        framed = WaitUntil([&] { return modal->frameGeometry().size() != modal->size(); }, 5000);
        QTest::qWait(300);
        gamma = modal->frameGeometry();
        static_cast<QDialog*>(modal)->reject();
    }, test::IsA("QDialog"));
    RunGammaDialog(window, window, window->ToolBandHeight(), 1.7f, [](float) {});
    ASSERT_TRUE(framed);
    EXPECT_EQ(gamma.bottomLeft(), ParameterDialogCorner(window, window->ToolBandHeight()))
        << testing::PrintToString(gamma);

    QRect status;
    RunStatusTask(window, "Working...", [&](StatusBox& box) {
        WaitUntil([&] { return box.frameGeometry().size() != box.size(); }, 5000);
        QTest::qWait(300);
        status = box.frameGeometry();
    });
    EXPECT_LE((status.center() - window->frameGeometry().center()).manhattanLength(), 4)
        << testing::PrintToString(status);
}

}  // namespace
}  // namespace solvane
