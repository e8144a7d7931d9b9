// The camera: the trackball about a pivot (rotate mode), the fly camera (fly mode), zoom, spin,
// the model transform the frame applies, and the feedback pass that finds the pivot on screen.
// The state changes are plain maths on ViewCamera, testable without a GL context.
#pragma once

#include <array>
#include <cstdint>

#include "core/model.h"
#include "core/settings.h"
#include "viewer/gl_view.h"

namespace solvane {

using Matrix4 = std::array<float, 16>;  // column-major, as GL returns it

Matrix4 IdentityMatrix();
// The matrix glRotatef(angle, x, y, z) multiplies by (the axis is normalised; a zero axis gives
// the identity).
Matrix4 RotationMatrix(float angleDegrees, float x, float y, float z);
Matrix4 Multiply(const Matrix4& a, const Matrix4& b);

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

struct ViewBox {
    Vec3 centroid;
    float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
    bool hasBounds = false;  // false: no sub-mesh had vertices (the bounds stay 0)

    float AbsSum() const;
};

struct ViewCamera {
    float pitch = 0, yaw = 0, roll = 0;
    Vec3 flyOffset;
    Vec3 viewOffset;
    float viewDistance = 1;
    float zoomDivisor = 100;
    float axisLength = 0;
    float stepAngle = 0;
    Vec3 stepAxis;
    Matrix4 modelRotation = IdentityMatrix();
    int pivotScreenX = 0, pivotScreenY = 0;  // window position, origin bottom-left
    Vec3 trackPrev;
    bool tracking = false;
    int64_t lastMoveTick = 0;
    bool spinning = false;
    int lastPointX = 0, lastPointY = 0;
    int flyPointX = 0, flyPointY = 0;
    bool leftDown = false, rightDown = false;
    // The middle-button pan: its own button state and pointer, so it leaves the others alone.
    bool middleDown = false;
    int panPointX = 0, panPointY = 0;
};

// Qt's wheel units: one step of an ordinary mouse wheel is 120 (eighths of a degree).
constexpr int kWheelStepUnits = 120;
// One wheel step zooms as far as a right-button drag of this many pixels in rotate mode: a tenth
// of the view distance.
constexpr int kWheelZoomPixels = 10;

enum class PivotKind { None, Center, Mass, Origin };
PivotKind PivotOf(const Settings& settings);

// Rebuilds the box from the model's sub-meshes, the axis length and (unless keepDistance) the
// view distance; always the zoom divisor. A null model gives an empty box.
void ComputeViewBox(ViewCamera& camera, ViewBox& box, const Model* model, bool keepDistance);
// Resets the camera (unless keepCamera) and recomputes the box with a fresh distance. The caller
// then runs the pivot feedback pass.
void ResetCamera(ViewCamera& camera, ViewBox& box, const Model* model, bool keepCamera);

// The unit trackball vector of pointer (x, y) (top-left origin) about centre (cx, cy)
// (bottom-left origin) in a view of width w and height h.
Vec3 TrackballPoint(int x, int y, int cx, int cy, int w, int h);

// Mouse gestures; coordinates are client coordinates (origin top-left), ticks milliseconds.
// Each returns true when the view should be repainted.
bool LeftButtonDown(ViewCamera& camera, const Settings& settings, const GlView& view, int x, int y, int64_t tick);
bool LeftButtonUp(ViewCamera& camera, const Settings& settings, int x, int y, int64_t tick);
bool RightButtonDown(ViewCamera& camera, int x, int y);
bool RightButtonUp(ViewCamera& camera, int x, int y);
bool PointerMove(ViewCamera& camera, const Settings& settings, const GlView& view, const ViewBox& box, int x, int y,
                 int64_t tick);
// The mouse wheel, in whole steps (positive: turned away from the user). Rotate mode: each step
// brings the model nearer by what an upward right drag of kWheelZoomPixels does. Fly mode: each
// step is one fly step forward, as one move event of the right drag. Nothing else changes.
bool WheelSteps(ViewCamera& camera, const Settings& settings, int steps);
// The middle button pans: the drag moves the view offset's x and y so that the pivot's depth
// follows the pointer (in fly mode along the model's axes). Nothing else changes.
bool MiddleButtonDown(ViewCamera& camera, int x, int y);
bool MiddleButtonUp(ViewCamera& camera, int x, int y);
bool PanDrag(ViewCamera& camera, const Settings& settings, const GlView& view, const ViewBox& box, int x, int y);
void BeginDrag(ViewCamera& camera, const GlView& view, int x, int y, int64_t tick);
void DragRotate(ViewCamera& camera, const Settings& settings, const GlView& view, const ViewBox& box, int x, int y,
                int64_t tick);
// Returns true when the view should be repainted (spin kept going).
bool EndDrag(ViewCamera& camera, const Settings& settings, int64_t tick);
// "Reset View": stops spinning, ends the drag, and resets the camera.
void StopSpinning(ViewCamera& camera, const Settings& settings, int64_t tick);

// modelRotation := rotation(stepAngle, stepAxis) * modelRotation (the step of one drawn frame).
void AdvanceStep(ViewCamera& camera);

// GL side (needs a current context, model-view matrix mode):
// Steps 1-5 of the model transform: fly rotation and offset, push, pivot placement, view offset.
void ApplyModelTransformBase(const ViewCamera& camera, const ViewBox& box, const Settings& settings);
// The rotation about the pivot: translate to it, call marker (if any) at the pivot, apply the
// step (AdvanceStep and multiply by modelRotation), translate back. With no pivot setting, nothing.
template <typename Marker>
void ApplyPivotRotation(ViewCamera& camera, const ViewBox& box, const Settings& settings, Marker&& marker);
void TranslatePivot(const ViewBox& box, PivotKind pivot, float sign);
void ApplyStepMatrix(ViewCamera& camera);

template <typename Marker>
void ApplyPivotRotation(ViewCamera& camera, const ViewBox& box, const Settings& settings, Marker&& marker)
{
    const PivotKind pivot = PivotOf(settings);
    if (pivot == PivotKind::None) return;
    TranslatePivot(box, pivot, 1.0f);
    marker(pivot);
    ApplyStepMatrix(camera);
    TranslatePivot(box, pivot, -1.0f);
}

}  // namespace solvane
