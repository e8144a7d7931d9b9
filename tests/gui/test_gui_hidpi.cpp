// On a dense screen (Qt scaling everything by 2, as a desktop set to 200% does) the tool band uses
// its double-size pictures, and the view draws, locates its pivot and is captured in device
// pixels, not in the smaller logical ones; pointer positions are turned into device pixels before
// they are tested against the thumbnails.
#include <gtest/gtest.h>

#include <QLabel>
#include <QToolBar>

#include "app/command_table.h"
#include "app/dialogs.h"
#include "app/toolbar_icons.h"
#include "tests/gui/gui_support.h"
#include "viewer/capture.h"
#include "viewer/snapshots.h"
#include "viewer/viewer.h"

namespace {

// Before the application exists: every window of this program is scaled by 2.
const bool kScaledScreen = [] {
    qputenv("QT_SCALE_FACTOR", "2");
    return true;
}();

}  // namespace

namespace solvane {
namespace {

using test::IsA;
using test::ModalDriver;
using test::SamplePath;
using test::Session;
using test::WaitUntil;

// Pixels of two images of one size that differ by more than rounding in some channel.
int Differing(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            const int most = std::max({std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                       std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            count += most > 12;
        }
    }
    return count;
}

TEST(HighDensityGui, ToolBandUsesTheDoubleSizePictures)
{
    ASSERT_TRUE(kScaledScreen);
    test::FreshSession s;
    ASSERT_EQ(s.window->devicePixelRatioF(), 2.0);
    for (QAction* action : s.window->ToolBand()->actions()) {
        if (action->isSeparator()) continue;
        SCOPED_TRACE(action->text().toStdString());
        const QPixmap shown = action->icon().pixmap(QSize(32, 32), 2.0);
        EXPECT_EQ(shown.size(), QSize(64, 64));  // device pixels
        // Drawn at 64 pixels, not the 32-pixel picture blown up.
        const QImage drawn(ToolbarImagePath(action->text(), false, 2));
        ASSERT_FALSE(drawn.isNull());
        const QImage a = shown.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage b = drawn.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage blownUp = QImage(ToolbarImagePath(action->text(), false, 1))
                                   .scaled(64, 64, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                   .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Compared premultiplied, as the pixmap keeps them: edge pixels may differ by rounding.
        EXPECT_LT(Differing(a, b), 10);
        EXPECT_GT(Differing(blownUp, b), 100) << "the test cannot tell the two apart";
    }
}

// The bounding rectangle of the pixels that differ from the corner colour.
QRect Drawn(const QImage& image)
{
    const QRgb background = image.pixel(0, 0);
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != background) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

TEST(HighDensityGui, ViewDrawsAndIsCapturedInDevicePixels)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("cube.obj")));  // centred on its origin
    ViewWidget* view = s.window->View();
    const QSize device = view->size() * 2;
    Viewer& viewer = view->viewer();
    EXPECT_EQ(QSize(viewer.view.viewWidth, viewer.view.viewHeight), device);
    // The pivot (the model's centre, in the middle of the view) is found in device pixels.
    EXPECT_NEAR(viewer.camera.pivotScreenX, device.width() / 2, device.width() / 10);
    EXPECT_NEAR(viewer.camera.pivotScreenY, device.height() / 2, device.height() / 10);
    // A capture has the device size, and the model sits in its middle, not in a corner.
    const QImage frame = view->grabFramebuffer();
    EXPECT_EQ(frame.size(), device);
    const QRect model = Drawn(frame);
    ASSERT_FALSE(model.isEmpty());
    EXPECT_NEAR(model.center().x(), device.width() / 2, device.width() / 20);
    EXPECT_NEAR(model.center().y(), device.height() / 2, device.height() / 20);
    EXPECT_GT(model.width(), device.width() / 3);
}

// What the snapshots and the exports capture has the view's device pixels.
TEST(HighDensityGui, CaptureHasTheViewsDevicePixels)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    ViewWidget* view = s.window->View();
    std::unique_ptr<Texture> capture;
    view->WithContext([&] { capture = CaptureView(view->viewer()); });
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->width, view->width() * 2);
    EXPECT_EQ(capture->height, view->height() * 2);
    EXPECT_EQ(view->viewer().view.viewWidth, capture->width);
}

TEST(HighDensityGui, PointerIsTestedInDevicePixels)
{
    test::FreshSession s;
    ASSERT_TRUE(s.Load(SamplePath("teapot.obj")));
    ViewWidget* view = s.window->View();
    const SnapshotSet& snapshots = view->viewer().snapshots;
    s.Trigger(command::TakeSnapshot);
    s.Trigger(command::TakeSnapshot);
    ASSERT_EQ(snapshots.count, 2);
    // The second thumbnail sits one edge (150 device pixels, 75 logical) under the first.
    EXPECT_EQ(snapshots.entries[1]->y, 150);
    // Logical (70, 4) is device (140, 8): the first thumbnail's delete corner (it would be the
    // middle of its title strip in logical pixels).
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(70, 4));
    EXPECT_FALSE(snapshots.entries[0]);
    // Dragging the second by 10 logical pixels moves it by 20 device pixels.
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(30, 110));
    QTest::mouseMove(view, QPoint(40, 120));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(40, 120));
    EXPECT_EQ(snapshots.entries[1]->x, 20);
    EXPECT_EQ(snapshots.entries[1]->y, 170);
}

TEST(HighDensityGui, AboutPictureIsSharp)
{
    test::FreshSession s;
    QPixmap picture;
    ModalDriver driver([&](QWidget* modal) {
        picture = modal->findChild<QLabel*>("bitmap_117")->pixmap();
        static_cast<QDialog*>(modal)->accept();
    }, IsA("QDialog"));
    ShowAboutBox(s.window.get());
    ASSERT_TRUE(driver.Done());
    EXPECT_EQ(picture.devicePixelRatio(), 2.0);
    EXPECT_EQ(picture.size(), QSize(256, 256));
    EXPECT_EQ(picture.deviceIndependentSize().toSize(), QSize(128, 128));
}

}  // namespace
}  // namespace solvane
