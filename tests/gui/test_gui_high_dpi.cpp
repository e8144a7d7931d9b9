// The view on a screen with two device pixels to the logical one: captures and thumbnails are in
// device pixels, and pointer positions are turned into device pixels before they are tested
// against the thumbnails.
#include <gtest/gtest.h>

#include "app/command_table.h"
#include "tests/gui/gui_support.h"
#include "viewer/capture.h"
#include "viewer/snapshots.h"

namespace solvane {
namespace {

// Every window of this program is drawn at twice its size: set before the application starts.
const bool kScaled = qputenv("QT_SCALE_FACTOR", "2");

using test::SamplePath;
using test::Session;

class HighDpi : public ::testing::Test {
protected:
    void SetUp() override
    {
        session_ = std::make_unique<Session>();
        ASSERT_TRUE(kScaled);
        ASSERT_EQ(View()->devicePixelRatioF(), 2.0);
        ASSERT_TRUE(session_->Load(SamplePath("teapot.obj")));
    }
    void TearDown() override { session_.reset(); }

    ViewWidget* View() { return session_->window->View(); }
    Viewer& viewer() { return View()->viewer(); }

    test::FreshStore store_;
    std::unique_ptr<Session> session_;
};

TEST_F(HighDpi, CaptureHasTheViewsDevicePixels)
{
    std::unique_ptr<Texture> capture;
    View()->WithContext([&] { capture = CaptureView(viewer()); });
    ASSERT_TRUE(capture);
    EXPECT_EQ(capture->width, View()->width() * 2);
    EXPECT_EQ(capture->height, View()->height() * 2);
    EXPECT_EQ(viewer().view.viewWidth, capture->width);
}

TEST_F(HighDpi, PointerIsTestedInDevicePixels)
{
    session_->Trigger(command::TakeSnapshot);
    session_->Trigger(command::TakeSnapshot);
    ASSERT_EQ(viewer().snapshots.count, 2);
    // The second thumbnail sits one edge (150 device pixels, 75 logical) under the first.
    EXPECT_EQ(viewer().snapshots.entries[1]->y, 150);
    // Logical (70, 4) is device (140, 8): the first thumbnail's delete corner (it would be the
    // middle of its title strip in logical pixels).
    QTest::mouseClick(View(), Qt::LeftButton, {}, QPoint(70, 4));
    EXPECT_FALSE(viewer().snapshots.entries[0]);
    // Dragging the second by 10 logical pixels moves it by 20 device pixels.
    QTest::mousePress(View(), Qt::LeftButton, {}, QPoint(30, 110));
    QTest::mouseMove(View(), QPoint(40, 120));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(40, 120));
    EXPECT_EQ(viewer().snapshots.entries[1]->x, 20);
    EXPECT_EQ(viewer().snapshots.entries[1]->y, 170);
}

}  // namespace
}  // namespace solvane
