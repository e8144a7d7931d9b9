// Navigation a user tries first: the mouse wheel, a middle-button drag and the standard keyboard
// shortcuts of the menu items, in the running window.
#include <QKeySequence>
#include <QWheelEvent>

#include <cmath>

#include "app/command_table.h"
#include "app/help_pages.h"
#include "tests/gui/gui_support.h"

namespace solvane {
namespace {

using test::SamplePath;
using test::Session;
using test::WaitUntil;

// Turns the wheel over the view by `units` (120 is one step of an ordinary wheel).
void TurnWheel(ViewWidget* view, int units)
{
    const QPointF centre = QRectF(view->rect()).center();
    QWheelEvent event(centre, view->mapToGlobal(centre), QPoint(), QPoint(0, units), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
}

// Pixels of the frame that are not the background colour (0.3 grey), sampled every other pixel.
int ModelPixels(ViewWidget* view)
{
    const QImage frame = view->grabFramebuffer();
    int count = 0;
    for (int y = 0; y < frame.height(); y += 2) {
        for (int x = 0; x < frame.width(); x += 2) {
            const QRgb p = frame.pixel(x, y);
            count += std::abs(qRed(p) - 77) > 2 || std::abs(qGreen(p) - 77) > 2 || std::abs(qBlue(p) - 77) > 2;
        }
    }
    return count;
}

// The horizontal middle of the model's pixels in the frame.
double ModelCentreX(ViewWidget* view)
{
    const QImage frame = view->grabFramebuffer();
    double sum = 0;
    int count = 0;
    for (int y = 0; y < frame.height(); y += 2) {
        for (int x = 0; x < frame.width(); x += 2) {
            const QRgb p = frame.pixel(x, y);
            if (std::abs(qRed(p) - 77) > 2 || std::abs(qGreen(p) - 77) > 2 || std::abs(qBlue(p) - 77) > 2) {
                sum += x;
                ++count;
            }
        }
    }
    return count ? sum / count : -1;
}

// Runs the event loop until the view has drawn a frame after this call.
void WaitForFrame(ViewWidget* view)
{
    const int frames = view->FramesPainted();
    view->update();
    EXPECT_TRUE(WaitUntil([&] { return view->FramesPainted() > frames; }));
}

TEST(NavigationGui, WheelZoomsInRotateModeAndFliesInFlyMode)
{
    test::FreshSession s;
    s.settings.axes = 0;
    s.settings.bounding_box = 0;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    ViewWidget* view = s.window->View();
    ViewCamera& camera = view->viewer().camera;
    QTest::qWait(300);
    WaitForFrame(view);
    const int before = ModelPixels(view);
    const float distance = camera.viewDistance;

    // Two half steps make one step: the model comes a tenth of the view distance nearer.
    TurnWheel(view, 60);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, 0);
    TurnWheel(view, 60);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, distance / 10);
    TurnWheel(view, 2 * 120);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, 3 * distance / 10);
    WaitForFrame(view);
    EXPECT_GT(ModelPixels(view), before * 3 / 2);  // the teapot fills more of the window
    EXPECT_FLOAT_EQ(camera.viewOffset.x, 0);
    EXPECT_FLOAT_EQ(camera.flyOffset.z, 0);
    TurnWheel(view, -3 * 120);
    EXPECT_NEAR(camera.viewOffset.z, 0, 1e-5);

    // Fly mode: one step of the wheel is one fly step forward.
    s.Trigger(command::FlyMode);
    TurnWheel(view, 120);
    EXPECT_FLOAT_EQ(camera.flyOffset.z, distance / 20);
    EXPECT_NEAR(camera.viewOffset.z, 0, 1e-5);
    TurnWheel(view, -120);
    EXPECT_NEAR(camera.flyOffset.z, 0, 1e-5);
}

TEST(NavigationGui, MiddleDragPansAndTheTrackballTurnsAboutThePannedPivot)
{
    test::FreshSession s;
    s.settings.axes = 0;
    s.settings.bounding_box = 0;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    ViewWidget* view = s.window->View();
    ViewCamera& camera = view->viewer().camera;
    QTest::qWait(300);
    WaitForFrame(view);
    const double centreBefore = ModelCentreX(view);
    const int pivotX = camera.pivotScreenX, pivotY = camera.pivotScreenY;
    const float zoom = camera.viewOffset.z;

    const QPoint start = view->rect().center();
    QTest::mousePress(view, Qt::MiddleButton, Qt::NoModifier, start);
    for (int step = 1; step <= 8; ++step) {
        QTest::mouseMove(view, start + QPoint(step * 10, -step * 5));
        QTest::qWait(5);
    }
    QTest::mouseRelease(view, Qt::MiddleButton, Qt::NoModifier, start + QPoint(80, -40));
    WaitForFrame(view);

    EXPECT_GT(camera.viewOffset.x, 0);
    EXPECT_GT(camera.viewOffset.y, 0);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, zoom);
    EXPECT_EQ(camera.modelRotation, IdentityMatrix());
    // The picture and the pivot moved with the pointer (80 right, 40 up; device pixels).
    const double ratio = view->devicePixelRatioF();
    EXPECT_NEAR(ModelCentreX(view) - centreBefore, 80 * ratio, 6 * ratio);
    EXPECT_NEAR(camera.pivotScreenX - pivotX, 80 * ratio, 2);
    EXPECT_NEAR(camera.pivotScreenY - pivotY, 40 * ratio, 2);

    // A short left drag right over the panned pivot turns about it: the model stays in place.
    const QPoint pivot(static_cast<int>(camera.pivotScreenX / ratio),
                       view->height() - static_cast<int>(camera.pivotScreenY / ratio));
    const double centrePanned = ModelCentreX(view);
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, pivot);
    QTest::mouseMove(view, pivot + QPoint(0, 30));
    WaitForFrame(view);  // the step turns the model once per frame drawn
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, pivot + QPoint(0, 30));
    WaitForFrame(view);
    EXPECT_NE(camera.modelRotation, IdentityMatrix());
    EXPECT_NEAR(ModelCentreX(view), centrePanned, 6 * ratio);
}

TEST(NavigationGui, ShortcutsReachTheirCommands)
{
    test::FreshSession s;
    const std::pair<int, const char*> table[] = {
        {command::Open, "Ctrl+O"}, {command::Close, "Ctrl+W"}, {command::Quit, "Ctrl+Q"}, {command::UserGuide, "F1"}};
    for (const auto& [number, keys] : table) {
        EXPECT_EQ(s.window->MenuAction(number)->shortcut(), QKeySequence(QString(keys))) << keys;
    }
    // Every other menu item has none, and no two items share one.
    QList<QKeySequence> seen;
    for (const CommandRow& row : CommandTable()) {
        if (!IsAvailableYet(row)) continue;  // not in the menu yet
        const QKeySequence keys = s.window->MenuAction(row.number)->shortcut();
        EXPECT_EQ(keys.isEmpty(), row.shortcut == nullptr) << row.text;
        if (keys.isEmpty()) continue;
        EXPECT_FALSE(seen.contains(keys)) << row.text;
        seen.append(keys);
    }

    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));
    // Keys go to the active window (without a window manager, one the test activates).
    const auto activate = [&s] {
        s.window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(s.window.get()));
        s.window->View()->setFocus();
    };
    activate();

    // Ctrl+O opens the model chooser; it is cancelled here.
    QString chooserTitle;
    QTimer::singleShot(100, [&chooserTitle] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            chooserTitle = dialog->windowTitle();
            dialog->reject();
        }
    });
    QTest::keyClick(s.window->View(), Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return !chooserTitle.isEmpty(); }, 5000));
    EXPECT_EQ(chooserTitle, "Solvane Open 3D File");
    EXPECT_NE(s.window->CurrentModel(), nullptr);

    activate();
    // F1 opens the user's guide in the browser.
    QUrl opened;
    SetUrlOpener([&opened](const QUrl& url) {
        opened = url;
        return true;
    });
    QTest::keyClick(s.window->View(), Qt::Key_F1);
    SetUrlOpener({});
    EXPECT_TRUE(opened.toLocalFile().endsWith("/index.html")) << opened.toString().toStdString();

    activate();
    QTest::keyClick(s.window->View(), Qt::Key_W, Qt::ControlModifier);
    EXPECT_EQ(s.window->CurrentModel(), nullptr);
    EXPECT_EQ(s.window->StatusPart(0), "No file loaded");
    QTest::keyClick(s.window->View(), Qt::Key_W, Qt::ControlModifier);  // disabled now: nothing happens

    QTest::keyClick(s.window->View(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&] { return !s.window->isVisible(); }, 5000));
}

}  // namespace
}  // namespace solvane
