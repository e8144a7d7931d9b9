// The main window under a window manager of the test's own (openbox on the Xvfb display): the
// frame around the window is what the geometry settings describe. These tests run alone, since
// the window manager takes every window of the display.
#include <gtest/gtest.h>

#include "app/dialogs.h"
#include "app/file_browser.h"
#include "app/info_panel.h"
#include "app/x11.h"
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
    test::FreshSession s;
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

bool Framed(const QWidget* w)
{
    return w && w->frameGeometry().size() != w->size();
}

// With frames around every window, the panels open against the main window's frame, follow it
// when it moves, and dock by their own frames.
TEST(WindowManagerGui, PanelsDockFrameToFrameAndFollow)
{
    test::WindowManager manager;
    SKIP_WITHOUT_WINDOW_MANAGER(manager);
    EXPECT_TRUE(WindowManagerRunning());
    test::FreshSession s;
    ASSERT_TRUE(WaitUntil([&] { return Framed(s); }, 5000));
    ASSERT_TRUE(s.Load(test::SamplePath("cube.obj")));
    s.Trigger(command::FileBrowser);
    s.Trigger(command::FileInfo);
    DockedPanel* browser = s.window->FileBrowser();
    DockedPanel* info = s.window->Information();
    ASSERT_TRUE(browser && info);
    const auto main = [&] { return s.window->frameGeometry(); };
    const auto besideMain = [&] {
        return browser->frameGeometry() == QRect(main().right() + 1, main().top(), 250, main().height()) &&
               info->frameGeometry() == QRect(main().left(), main().bottom() + 1, main().width(), 150);
    };
    EXPECT_TRUE(WaitUntil([&] { return Framed(browser) && Framed(info) && besideMain(); }, 5000))
        << "main " << testing::PrintToString(main()) << " browser " << testing::PrintToString(browser->frameGeometry())
        << " info " << testing::PrintToString(info->frameGeometry());
    EXPECT_EQ(s.settings.fb_docked, 1003);
    EXPECT_EQ(s.settings.mi_docked, 1007);
    EXPECT_EQ(s.settings.fb_window_x, 250);
    EXPECT_EQ(s.settings.mi_window_y, 150);

    // The main window moves: both follow.
    DragFrameTo(s, QPoint(120, 60), main().size(), true);
    if (HasFatalFailure()) return;
    EXPECT_TRUE(WaitUntil(besideMain, 5000)) << "browser " << testing::PrintToString(browser->frameGeometry());

    // Put down 10 right of and 12 below the main window's bottom-left corner, the information
    // panel snaps there; 16 away it stays free.
    info->move(main().left() + 10, main().bottom() + 1 + 12);
    EXPECT_TRUE(WaitUntil([&] { return info->frameGeometry().topLeft() == main().bottomLeft() + QPoint(0, 1); }, 5000))
        << testing::PrintToString(info->frameGeometry());
    EXPECT_EQ(s.settings.mi_docked, 1007);
    const QPoint away = main().bottomLeft() + QPoint(16, 1 + 60);
    info->move(away);
    EXPECT_TRUE(WaitUntil([&] { return info->frameGeometry().topLeft() == away && s.settings.mi_docked == 0; }, 5000))
        << testing::PrintToString(info->frameGeometry());
    DragFrameTo(s, QPoint(160, 80), main().size(), true);
    if (HasFatalFailure()) return;
    QTest::qWait(300);
    EXPECT_EQ(info->frameGeometry().topLeft(), away);
    EXPECT_EQ(s.settings.mi_window_posx, away.x());
}

// The panels' stored rectangles are their frames: they come back as they were.
TEST(WindowManagerGui, PanelsReopenWithTheirFrames)
{
    test::WindowManager manager;
    SKIP_WITHOUT_WINDOW_MANAGER(manager);
    test::FreshStore store;
    QRect before;
    {
        Session s;
        ASSERT_TRUE(WaitUntil([&] { return Framed(s); }, 5000));
        s.Trigger(command::FileBrowser);
        DockedPanel* browser = s.window->FileBrowser();
        ASSERT_TRUE(WaitUntil([&] { return Framed(browser); }, 5000));
        browser->move(900, 100);
        ASSERT_TRUE(WaitUntil([&] { return browser->frameGeometry().topLeft() == QPoint(900, 100); }, 5000));
        QTest::qWait(200);
        before = browser->frameGeometry();
        EXPECT_EQ(s.settings.fb_docked, 0);
        s.Quit();
    }
    Session s;
    DockedPanel* browser = s.window->FileBrowser();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return Framed(browser) && browser->frameGeometry() == before; }, 5000))
        << testing::PrintToString(browser->frameGeometry()) << " was " << testing::PrintToString(before);
    QTest::qWait(300);  // nothing moves afterwards
    EXPECT_EQ(browser->frameGeometry(), before);
}

}  // namespace
}  // namespace solvane
