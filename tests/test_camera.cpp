// Camera maths: trackball, gestures of both mouse modes, spin rules, view box; no GL needed.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/prepare.h"
#include "viewer/camera.h"

namespace solvane {
namespace {

GlView View(int w, int h)
{
    GlView view;
    view.viewWidth = w;
    view.viewHeight = h;
    return view;
}

std::unique_ptr<Model> BoxModel(float minX, float maxX, float minY, float maxY, float minZ, float maxZ)
{
    auto model = NewModel(1);
    model->subMeshes[0].vertices = {minX, minY, minZ, maxX, maxY, maxZ};
    ComputeBoundsAndCentroid(model->subMeshes[0]);
    return model;
}

TEST(Trackball, PointsAreUnitVectorsAndCentreIsStraightOut)
{
    const Vec3 centre = TrackballPoint(200, 150, 200, 150, 400, 300);
    EXPECT_FLOAT_EQ(centre.x, 0);
    EXPECT_FLOAT_EQ(centre.y, 0);
    EXPECT_FLOAT_EQ(centre.z, 1);
    // The centre is given with a bottom-left origin: (200, 100) bottom-left is y = 200 top-left.
    const Vec3 p = TrackballPoint(200, 200, 200, 100, 400, 300);
    EXPECT_NEAR(p.x, 0, 1e-6);
    EXPECT_NEAR(p.y, 0, 1e-6);
    for (auto [x, y] : {std::pair{0, 0}, {399, 299}, {350, 10}, {-500, 900}}) {
        const Vec3 q = TrackballPoint(x, y, 200, 150, 400, 300);
        EXPECT_NEAR(std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z), 1.0, 1e-5);
    }
    // Pointer above the centre (smaller y) gives a positive y component.
    EXPECT_GT(TrackballPoint(200, 50, 200, 150, 400, 300).y, 0);
}

TEST(Trackball, DragStepAngleAxisAndZoomDependentSpeed)
{
    Settings settings = DefaultSettings();
    GlView view = View(400, 300);
    ViewCamera camera;
    ViewBox box;
    camera.pivotScreenX = 200;
    camera.pivotScreenY = 150;
    LeftButtonDown(camera, settings, view, 200, 150, 1000);
    ASSERT_TRUE(camera.tracking);
    PointerMove(camera, settings, view, box, 240, 150, 1010);
    const Vec3 a = TrackballPoint(200, 150, 200, 150, 400, 300);
    const Vec3 b = TrackballPoint(240, 150, 200, 150, 400, 300);
    const float distance = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
    EXPECT_FLOAT_EQ(camera.stepAngle, distance * 90 * 2);
    // Dragging right turns about +y.
    EXPECT_NEAR(camera.stepAxis.x, 0, 1e-6);
    EXPECT_GT(camera.stepAxis.y, 0);
    EXPECT_EQ(camera.lastMoveTick, 1010);

    // With zoom-dependent speed and the model brought nearer, the same drag turns more slowly.
    const float unzoomed = camera.stepAngle;
    settings.diff_zoom = 1;
    camera.viewDistance = 10;
    camera.viewOffset.z = 2;
    camera.trackPrev = a;
    DragRotate(camera, settings, view, box, 240, 150, 1020);
    EXPECT_FLOAT_EQ(camera.stepAngle, unzoomed / (1 + 2 * (3 * 2.0f / 10)));
    // No effect while the model is not zoomed in.
    camera.viewOffset.z = 0;
    camera.trackPrev = a;
    DragRotate(camera, settings, view, box, 240, 150, 1030);
    EXPECT_FLOAT_EQ(camera.stepAngle, unzoomed);
}

TEST(Trackball, PivotOutsideTheWindowFallsBackToItsCentre)
{
    Settings settings = DefaultSettings();
    GlView view = View(400, 300);
    ViewCamera camera;
    camera.pivotScreenX = -5;
    camera.pivotScreenY = 40;
    BeginDrag(camera, view, 10, 10, 0);
    EXPECT_EQ(camera.pivotScreenX, 200);
    EXPECT_EQ(camera.pivotScreenY, 150);
    camera.pivotScreenX = 401;
    BeginDrag(camera, View(401, 301), 10, 10, 0);
    EXPECT_EQ(camera.pivotScreenX, 401);  // on the edge counts as inside
    (void)settings;
}

TEST(Spin, FlickKeepsTurningClickDoesNot)
{
    Settings settings = DefaultSettings();
    settings.inertial_rotation = 1;
    GlView view = View(400, 300);
    ViewBox box;
    ViewCamera camera;
    camera.pivotScreenX = 200;
    camera.pivotScreenY = 150;

    // Press and release at the same point: no spin.
    LeftButtonDown(camera, settings, view, 100, 100, 50);
    LeftButtonUp(camera, settings, 100, 100, 60);
    EXPECT_FALSE(camera.spinning);
    EXPECT_EQ(camera.stepAngle, 0);

    // A flick: release right after the last move, away from the press point.
    LeftButtonDown(camera, settings, view, 100, 100, 100);
    PointerMove(camera, settings, view, box, 130, 100, 120);
    const float step = camera.stepAngle;
    ASSERT_GT(step, 0);
    EXPECT_TRUE(LeftButtonUp(camera, settings, 130, 100, 120));
    EXPECT_TRUE(camera.spinning);
    EXPECT_EQ(camera.stepAngle, step);
    // Every frame applies the step once more.
    const Matrix4 before = camera.modelRotation;
    AdvanceStep(camera);
    EXPECT_NE(before, camera.modelRotation);

    // A drag that stopped before the release, without spin: the step is dropped.
    settings.inertial_rotation = 0;
    camera = ViewCamera{};
    LeftButtonDown(camera, settings, view, 100, 100, 100);
    PointerMove(camera, settings, view, box, 130, 100, 120);
    LeftButtonUp(camera, settings, 130, 100, 500);
    EXPECT_FALSE(camera.spinning);
    EXPECT_EQ(camera.stepAngle, 0);

    // "Reset View" stops a spin.
    settings.inertial_rotation = 1;
    camera.spinning = true;
    camera.stepAngle = 3;
    StopSpinning(camera, settings, 900);
    EXPECT_FALSE(camera.spinning);
}

TEST(Zoom, RightDragMovesTheModelNearerWhenThePointerGoesUp)
{
    Settings settings = DefaultSettings();
    GlView view = View(400, 300);
    ViewBox box;
    ViewCamera camera;
    camera.zoomDivisor = 4;
    RightButtonDown(camera, 10, 100);
    PointerMove(camera, settings, view, box, 10, 80, 0);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, 5);
    PointerMove(camera, settings, view, box, 10, 120, 0);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, -5);
    RightButtonUp(camera, 10, 120);
    EXPECT_FALSE(PointerMove(camera, settings, view, box, 10, 0, 0));
}

TEST(Fly, LeftDragTurnsRightDragStepsBySignOnly)
{
    Settings settings = DefaultSettings();
    settings.fly_mode = 1;
    settings.rotate_mode = 0;
    GlView view = View(400, 300);
    ViewBox box;
    ViewCamera camera;
    camera.viewDistance = 20;
    LeftButtonDown(camera, settings, view, 100, 100, 0);
    PointerMove(camera, settings, view, box, 120, 84, 0);
    EXPECT_FLOAT_EQ(camera.pitch, -2);    // -(100 - 84) / 8
    EXPECT_FLOAT_EQ(camera.yaw, 1);       // -(100 - 120) / 20
    LeftButtonUp(camera, settings, 120, 84, 0);

    camera = ViewCamera{};
    camera.viewDistance = 20;
    RightButtonDown(camera, 50, 100);
    PointerMove(camera, settings, view, box, 50, 99, 0);   // slow upward move
    const Vec3 slow = camera.flyOffset;
    EXPECT_FLOAT_EQ(slow.z, 1);  // cos(0) * cos(0) * 20 / 20
    PointerMove(camera, settings, view, box, 50, 20, 0);   // fast upward move: the same step
    EXPECT_FLOAT_EQ(camera.flyOffset.z, 2);
    PointerMove(camera, settings, view, box, 90, 20, 0);   // horizontal only: no step
    EXPECT_FLOAT_EQ(camera.flyOffset.z, 2);
    PointerMove(camera, settings, view, box, 90, 60, 0);   // downward: back
    EXPECT_FLOAT_EQ(camera.flyOffset.z, 1);
}

// Every value of the camera the frame and the gestures use (not the pan's own pointer).
std::vector<float> CameraState(const ViewCamera& c)
{
    std::vector<float> state = {c.pitch, c.yaw, c.roll, c.flyOffset.x, c.flyOffset.y, c.flyOffset.z,
                                c.viewOffset.x, c.viewOffset.y, c.viewOffset.z, c.viewDistance, c.zoomDivisor,
                                c.axisLength, c.stepAngle, c.stepAxis.x, c.stepAxis.y, c.stepAxis.z,
                                float(c.pivotScreenX), float(c.pivotScreenY), c.trackPrev.x, c.trackPrev.y,
                                c.trackPrev.z, float(c.tracking), float(c.lastMoveTick), float(c.spinning),
                                float(c.lastPointX), float(c.lastPointY), float(c.flyPointX), float(c.flyPointY),
                                float(c.leftDown), float(c.rightDown)};
    state.insert(state.end(), c.modelRotation.begin(), c.modelRotation.end());
    return state;
}

// A camera somewhere mid-session: turned, flown, zoomed, pointer remembered.
ViewCamera BusyCamera()
{
    ViewCamera camera;
    camera.pitch = 10;
    camera.yaw = 30;
    camera.flyOffset = {1, 2, 3};
    camera.viewOffset = {0.5f, -0.25f, 2};
    camera.viewDistance = 50;
    camera.zoomDivisor = 2;
    camera.pivotScreenX = 123;
    camera.pivotScreenY = 77;
    camera.lastPointX = 40;
    camera.lastPointY = 60;
    camera.modelRotation = RotationMatrix(20, 0, 1, 0);
    return camera;
}

TEST(Wheel, RotateModeStepZoomsLikeARightDragOfTenPixels)
{
    Settings settings = DefaultSettings();
    GlView view = View(400, 300);
    ViewBox box;
    ViewCamera dragged = BusyCamera();
    RightButtonDown(dragged, 40, 60);
    PointerMove(dragged, settings, view, box, 40, 60 - kWheelZoomPixels, 0);
    ViewCamera wheeled = BusyCamera();
    EXPECT_TRUE(WheelSteps(wheeled, settings, 1));
    EXPECT_FLOAT_EQ(wheeled.viewOffset.z, dragged.viewOffset.z);
    EXPECT_FLOAT_EQ(wheeled.viewOffset.z, 2 + 50.0f / 10);  // a tenth of the view distance
    // Nothing else moved.
    ViewCamera expected = BusyCamera();
    expected.viewOffset.z = wheeled.viewOffset.z;
    EXPECT_EQ(CameraState(wheeled), CameraState(expected));
    // Turned towards the user it goes back out; no step changes nothing.
    EXPECT_TRUE(WheelSteps(wheeled, settings, -3));
    EXPECT_FLOAT_EQ(wheeled.viewOffset.z, 2 - 2 * 50.0f / 10);
    EXPECT_FALSE(WheelSteps(wheeled, settings, 0));
}

TEST(Wheel, FlyModeStepIsOneFlyStep)
{
    Settings settings = DefaultSettings();
    settings.fly_mode = 1;
    settings.rotate_mode = 0;
    GlView view = View(400, 300);
    ViewBox box;
    ViewCamera dragged = BusyCamera();
    RightButtonDown(dragged, 40, 60);
    PointerMove(dragged, settings, view, box, 40, 30, 0);  // one move event up: one step forward
    ViewCamera wheeled = BusyCamera();
    EXPECT_TRUE(WheelSteps(wheeled, settings, 1));
    EXPECT_FLOAT_EQ(wheeled.flyOffset.x, dragged.flyOffset.x);
    EXPECT_FLOAT_EQ(wheeled.flyOffset.y, dragged.flyOffset.y);
    EXPECT_FLOAT_EQ(wheeled.flyOffset.z, dragged.flyOffset.z);
    ViewCamera expected = BusyCamera();
    expected.flyOffset = wheeled.flyOffset;
    EXPECT_EQ(CameraState(wheeled), CameraState(expected));
    // Two steps back land one step behind the start.
    WheelSteps(wheeled, settings, -2);
    EXPECT_NEAR(wheeled.flyOffset.z, 3 - (dragged.flyOffset.z - 3), 1e-5);
}

TEST(Pan, MiddleDragMovesOnlyTheViewOffsetInXAndY)
{
    auto model = BoxModel(-2, 2, -1, 1, -4, 0);  // centre pivot at z = -2
    for (const bool fly : {false, true}) {
        SCOPED_TRACE(fly ? "fly mode" : "rotate mode");
        Settings settings = DefaultSettings();
        settings.fly_mode = fly;
        settings.rotate_mode = !fly;
        GlView view = View(400, 300);
        ViewCamera camera = BusyCamera();
        ViewBox box;
        ComputeViewBox(camera, box, model.get(), true);
        const ViewCamera before = camera;
        EXPECT_FALSE(MiddleButtonDown(camera, 200, 100));
        EXPECT_TRUE(PointerMove(camera, settings, view, box, 230, 115, 0));
        EXPECT_FALSE(PointerMove(camera, settings, view, box, 230, 115, 0));  // no motion, no change
        MiddleButtonUp(camera, 230, 115);
        // The pivot's depth: distance 50 - view offset 2 - fly offset 3 - pivot z (-2) = 47; a pixel
        // spans 2 * 47 * tan(30 deg) / 300 there.
        const float perPixel = 2 * 47 * std::tan(30 * 3.14159265f / 180) / 300;
        EXPECT_NEAR(camera.viewOffset.x, 0.5f + 30 * perPixel, 1e-4);
        EXPECT_NEAR(camera.viewOffset.y, -0.25f - 15 * perPixel, 1e-4);  // pointer down, model down
        ViewCamera expected = before;
        expected.viewOffset.x = camera.viewOffset.x;
        expected.viewOffset.y = camera.viewOffset.y;
        EXPECT_EQ(CameraState(camera), CameraState(expected));
        EXPECT_FALSE(camera.middleDown);
        // Released: moves no longer pan.
        EXPECT_FALSE(PointerMove(camera, settings, view, box, 300, 300, 0));
    }
}

TEST(Pan, PivotAtTheEyeStillPansAndOtherButtonsComeFirst)
{
    Settings settings = DefaultSettings();
    GlView view = View(400, 300);
    ViewBox box;
    ViewCamera camera;
    camera.viewDistance = 10;
    camera.viewOffset.z = 30;  // zoomed through the model: the pivot is behind the eye
    MiddleButtonDown(camera, 0, 0);
    PointerMove(camera, settings, view, box, 0, 300, 0);
    EXPECT_NEAR(camera.viewOffset.y, -2 * 0.5f * std::tan(30 * 3.14159265f / 180), 1e-5);
    // A right drag during the pan zooms and does not pan.
    RightButtonDown(camera, 0, 300);
    const float y = camera.viewOffset.y;
    PointerMove(camera, settings, view, box, 0, 290, 0);
    EXPECT_FLOAT_EQ(camera.viewOffset.y, y);
    EXPECT_FLOAT_EQ(camera.viewOffset.z, 30 + 10 / camera.zoomDivisor);
}

TEST(ViewBox, BoxDistanceAxisLengthAndReset)
{
    auto model = BoxModel(-1, 3, -2, 2, 0, 4);
    ViewCamera camera;
    ViewBox box;
    camera.pitch = 10;
    camera.modelRotation[1] = 0.5f;
    ResetCamera(camera, box, model.get(), false);
    EXPECT_EQ(camera.pitch, 0);
    EXPECT_EQ(camera.modelRotation, IdentityMatrix());
    EXPECT_FLOAT_EQ(box.AbsSum(), 12);
    EXPECT_FLOAT_EQ(camera.axisLength, 2);
    EXPECT_FLOAT_EQ(camera.viewDistance, 6);
    EXPECT_FLOAT_EQ(camera.zoomDivisor, 100.0f / 6);
    EXPECT_FLOAT_EQ(box.centroid.x, 1);
    EXPECT_FLOAT_EQ(box.centroid.z, 2);

    // Keeping the distance (a mesh operation changed the size) leaves it alone.
    camera.viewDistance = 50;
    ComputeViewBox(camera, box, model.get(), true);
    EXPECT_EQ(camera.viewDistance, 50);
    EXPECT_FLOAT_EQ(camera.zoomDivisor, 2);

    // No model, or a model without vertices: an empty box with a centre at 0.
    auto empty = NewModel(2);
    ComputeViewBox(camera, box, empty.get(), false);
    EXPECT_FALSE(box.hasBounds);
    EXPECT_EQ(box.centroid.x, 0);
    EXPECT_TRUE(std::isfinite(camera.zoomDivisor));
}

TEST(RotationMatrix, MatchesTheGlConvention)
{
    const Matrix4 r = RotationMatrix(90, 0, 0, 2);  // axis normalised
    // (1, 0, 0) turns to (0, 1, 0): column 0 is the image of x.
    EXPECT_NEAR(r[0], 0, 1e-6);
    EXPECT_NEAR(r[1], 1, 1e-6);
    EXPECT_EQ(RotationMatrix(45, 0, 0, 0), IdentityMatrix());
    const Matrix4 twice = Multiply(RotationMatrix(30, 1, 0, 0), RotationMatrix(60, 1, 0, 0));
    const Matrix4 once = RotationMatrix(90, 1, 0, 0);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(twice[i], once[i], 1e-6);
}

TEST(Prepare, SizeNormalisationCases)
{
    EXPECT_FLOAT_EQ(SizeNormalisationFactor(*BoxModel(0, 100, 0, 5, 0, 1)), 0.0025f);
    EXPECT_FLOAT_EQ(SizeNormalisationFactor(*BoxModel(0, 0.3f, 0, 0.1f, 0, 0.4f)), 1.0f);
    EXPECT_FLOAT_EQ(SizeNormalisationFactor(*BoxModel(0, 0.01f, 0, 0.02f, 0, 0.03f)), 10.0f);
    EXPECT_FLOAT_EQ(SizeNormalisationFactor(*BoxModel(0, 0.6f, 0, 0.1f, 0, 0.1f)), 0.25f / 0.6f);

    auto model = BoxModel(0, 100, 0, 5, 0, 1);
    Settings settings = DefaultSettings();
    settings.fg_color_r = 0.5f;
    PrepareModelData(*model, settings);
    EXPECT_FLOAT_EQ(model->loadScale, 0.0025f);
    EXPECT_FLOAT_EQ(model->subMeshes[0].bounds[1], 0.25f);
    // The default material in the foreground colour, every face pointing at it.
    ASSERT_EQ(model->MaterialCount(), 1);
    EXPECT_EQ(model->materials[0].name, "Solvane Color");
    EXPECT_EQ(model->materials[0].color[0], 0.5f);
    EXPECT_EQ(model->materials[0].textureIndex, -1);
    EXPECT_EQ(model->hasColor, 1);

    auto small = BoxModel(0, 0.3f, 0, 0.1f, 0, 0.4f);
    small->textures.resize(1);
    small->hasTextures = 1;
    PrepareModelData(*small, settings);
    EXPECT_FLOAT_EQ(small->loadScale, 1.0f);
    EXPECT_EQ(small->materials[0].color, (std::array<float, 3>{1, 1, 1}));
    EXPECT_EQ(small->materials[0].textureIndex, 0);
}

}  // namespace
}  // namespace solvane
