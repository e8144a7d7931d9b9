#include "viewer/camera.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace solvane {
namespace {

constexpr double kDegrees = 3.14159265358979323846 / 180.0;

bool PivotOutside(const ViewCamera& camera, const GlView& view)
{
    return camera.pivotScreenX < 0 || camera.pivotScreenX > view.viewWidth || camera.pivotScreenY < 0 ||
           camera.pivotScreenY > view.viewHeight;
}

void CentrePivotIfOutside(ViewCamera& camera, const GlView& view)
{
    if (PivotOutside(camera, view)) {
        camera.pivotScreenX = view.viewWidth / 2;
        camera.pivotScreenY = view.viewHeight / 2;
    }
}

// One fly step along the view direction: forward for sign > 0, back for sign < 0.
void FlyStep(ViewCamera& camera, float sign)
{
    const float sigma = sign * camera.viewDistance / 20;
    const double yaw = camera.yaw * kDegrees, pitch = camera.pitch * kDegrees, roll = camera.roll * kDegrees;
    camera.flyOffset.x += static_cast<float>(std::sin(yaw) * std::cos(pitch) * sigma);
    camera.flyOffset.y += static_cast<float>(std::sin(pitch) * std::fabs(std::cos(roll)) * sigma);
    camera.flyOffset.z += static_cast<float>(std::cos(yaw) * std::cos(pitch) * sigma);
}

// The depth of the pivot in front of the eye (ignoring the fly rotation).
float PivotDepth(const ViewCamera& camera, const Settings& settings, const ViewBox& box)
{
    float pivotZ = 0;
    switch (PivotOf(settings)) {
    case PivotKind::Center: pivotZ = (box.minZ + box.maxZ) / 2; break;
    case PivotKind::Mass: pivotZ = box.centroid.z; break;
    default: break;
    }
    return camera.viewDistance - camera.viewOffset.z - camera.flyOffset.z - pivotZ;
}

}  // namespace

Matrix4 IdentityMatrix()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Matrix4 RotationMatrix(float angleDegrees, float x, float y, float z)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 1.0e-4f)) return IdentityMatrix();
    x /= length;
    y /= length;
    z /= length;
    const float radians = static_cast<float>(angleDegrees * kDegrees);
    const float c = std::cos(radians), s = std::sin(radians), t = 1 - c;
    // Column-major: m[col * 4 + row].
    return {t * x * x + c,     t * x * y + s * z, t * x * z - s * y, 0,
            t * x * y - s * z, t * y * y + c,     t * y * z + s * x, 0,
            t * x * z + s * y, t * y * z - s * x, t * z * z + c,     0,
            0,                 0,                 0,                 1};
}

Matrix4 Multiply(const Matrix4& a, const Matrix4& b)
{
    Matrix4 r{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            float sum = 0;
            for (int k = 0; k < 4; ++k) sum += a[k * 4 + row] * b[col * 4 + k];
            r[col * 4 + row] = sum;
        }
    }
    return r;
}

float ViewBox::AbsSum() const
{
    return std::fabs(minX) + std::fabs(maxX) + std::fabs(minY) + std::fabs(maxY) + std::fabs(minZ) + std::fabs(maxZ);
}

PivotKind PivotOf(const Settings& settings)
{
    if (settings.pivot_origin) return PivotKind::Origin;
    if (settings.pivot_center) return PivotKind::Center;
    if (settings.pivot_mass) return PivotKind::Mass;
    return PivotKind::None;
}

void ComputeViewBox(ViewCamera& camera, ViewBox& box, const Model* model, bool keepDistance)
{
    box = ViewBox{};
    if (model) {
        double sum[3] = {0, 0, 0};
        int64_t count = 0;
        for (const SubMesh& mesh : model->subMeshes) {
            const int32_t n = mesh.VertexCount();
            if (n == 0) continue;
            const auto& b = mesh.bounds;
            if (!box.hasBounds) {
                box.minX = b[0], box.maxX = b[1], box.minY = b[2], box.maxY = b[3], box.minZ = b[4], box.maxZ = b[5];
                box.hasBounds = true;
            } else {
                box.minX = std::min(box.minX, b[0]), box.maxX = std::max(box.maxX, b[1]);
                box.minY = std::min(box.minY, b[2]), box.maxY = std::max(box.maxY, b[3]);
                box.minZ = std::min(box.minZ, b[4]), box.maxZ = std::max(box.maxZ, b[5]);
            }
            sum[0] += static_cast<double>(mesh.centroid[0]) * n;
            sum[1] += static_cast<double>(mesh.centroid[1]) * n;
            sum[2] += static_cast<double>(mesh.centroid[2]) * n;
            count += n;
        }
        if (count > 0) {
            box.centroid = {static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
                            static_cast<float>(sum[2] / count)};
        }
    }
    const float s = box.AbsSum();
    camera.axisLength = s / 6;
    if (!keepDistance) camera.viewDistance = s / 2;
    // A model that is a single point at the origin has no extent: keep the divisor finite.
    camera.zoomDivisor = camera.viewDistance != 0 ? 100 / camera.viewDistance : 100;
}

void ResetCamera(ViewCamera& camera, ViewBox& box, const Model* model, bool keepCamera)
{
    if (!keepCamera) {
        camera.viewOffset = {};
        camera.stepAngle = 0;
        camera.stepAxis = {};
        camera.pitch = camera.yaw = camera.roll = 0;
        camera.flyOffset = {};
        camera.modelRotation = IdentityMatrix();
    }
    ComputeViewBox(camera, box, model, false);
}

Vec3 TrackballPoint(int x, int y, int cx, int cy, int w, int h)
{
    const float r = static_cast<float>(w + h) / 2;
    const float px = (x - cx) / r;
    const float py = -((y - (h - cy)) / r);
    float d = std::sqrt(px * px + py * py);
    if (d >= 1) d = 1;
    const float pz = std::cos(d * 1.570796325f);
    const float scale = 1 / std::sqrt(px * px + py * py + pz * pz);
    return {px * scale, py * scale, pz * scale};
}

void BeginDrag(ViewCamera& camera, const GlView& view, int x, int y, int64_t tick)
{
    camera.tracking = true;
    camera.lastMoveTick = tick;
    CentrePivotIfOutside(camera, view);
    camera.trackPrev = TrackballPoint(x, y, camera.pivotScreenX, camera.pivotScreenY, view.viewWidth, view.viewHeight);
}

void DragRotate(ViewCamera& camera, const Settings& settings, const GlView& view, const ViewBox& box, int x, int y,
                int64_t tick)
{
    CentrePivotIfOutside(camera, view);
    const Vec3 cur = TrackballPoint(x, y, camera.pivotScreenX, camera.pivotScreenY, view.viewWidth, view.viewHeight);
    const Vec3& prev = camera.trackPrev;
    const float dx = cur.x - prev.x, dy = cur.y - prev.y, dz = cur.z - prev.z;
    camera.stepAngle = std::sqrt(dx * dx + dy * dy + dz * dz) * 90;
    if (settings.diff_zoom && camera.viewOffset.z > 0) {
        camera.stepAngle /= 1 + 2 * (3 * camera.viewOffset.z / (camera.viewDistance - box.centroid.z));
    }
    camera.stepAngle *= 2;
    camera.stepAxis = {prev.y * cur.z - prev.z * cur.y, prev.z * cur.x - prev.x * cur.z,
                       prev.x * cur.y - prev.y * cur.x};
    camera.lastMoveTick = tick;
    camera.trackPrev = cur;
}

bool EndDrag(ViewCamera& camera, const Settings& settings, int64_t tick)
{
    camera.tracking = false;
    if (tick != camera.lastMoveTick && !camera.spinning) {
        camera.stepAngle = 0;
        return false;
    }
    if (settings.inertial_rotation) return true;
    camera.spinning = false;
    camera.stepAngle = 0;
    return false;
}

void StopSpinning(ViewCamera& camera, const Settings& settings, int64_t tick)
{
    camera.spinning = false;
    EndDrag(camera, settings, tick);
}

bool LeftButtonDown(ViewCamera& camera, const Settings& settings, const GlView& view, int x, int y, int64_t tick)
{
    camera.leftDown = true;
    if (settings.fly_mode) {
        camera.flyPointX = x;
        camera.flyPointY = y;
    }
    BeginDrag(camera, view, x, y, tick);
    camera.lastPointX = x;
    camera.lastPointY = y;
    return true;
}

bool LeftButtonUp(ViewCamera& camera, const Settings& settings, int x, int y, int64_t tick)
{
    camera.leftDown = false;
    camera.spinning = settings.inertial_rotation && (x != camera.lastPointX || y != camera.lastPointY);
    const bool repaint = EndDrag(camera, settings, tick);
    camera.lastPointX = x;
    camera.lastPointY = y;
    return repaint;
}

bool RightButtonDown(ViewCamera& camera, int x, int y)
{
    camera.rightDown = true;
    camera.lastPointX = x;
    camera.lastPointY = y;
    return true;
}

bool RightButtonUp(ViewCamera& camera, int x, int y)
{
    camera.rightDown = false;
    camera.lastPointX = x;
    camera.lastPointY = y;
    return true;
}

bool PointerMove(ViewCamera& camera, const Settings& settings, const GlView& view, const ViewBox& box, int x, int y,
                 int64_t tick)
{
    if (settings.fly_mode) {
        if (camera.leftDown) {
            camera.pitch -= static_cast<float>(camera.flyPointY - y) / 8;
            camera.yaw -= static_cast<float>(camera.flyPointX - x) / 20;
            camera.flyPointX = x;
            camera.flyPointY = y;
            return true;
        }
        if (camera.rightDown) {
            const int dy = camera.lastPointY - y;
            if (dy != 0) FlyStep(camera, dy > 0 ? 1.0f : -1.0f);
            camera.lastPointX = x;
            camera.lastPointY = y;
            return true;
        }
        if (camera.middleDown) return PanDrag(camera, settings, view, box, x, y);
        return false;
    }
    if (camera.leftDown) {
        if (!camera.tracking) return false;
        DragRotate(camera, settings, view, box, x, y, tick);
        return true;
    }
    if (camera.rightDown) {
        camera.viewOffset.z += static_cast<float>(camera.lastPointY - y) / camera.zoomDivisor;
        camera.lastPointX = x;
        camera.lastPointY = y;
        return true;
    }
    if (camera.middleDown) return PanDrag(camera, settings, view, box, x, y);
    return false;
}

bool WheelSteps(ViewCamera& camera, const Settings& settings, int steps)
{
    if (steps == 0) return false;
    if (settings.fly_mode) {
        const int count = steps < 0 ? -steps : steps;
        for (int i = 0; i < count; ++i) FlyStep(camera, steps > 0 ? 1.0f : -1.0f);
        return true;
    }
    camera.viewOffset.z += static_cast<float>(steps * kWheelZoomPixels) / camera.zoomDivisor;
    return true;
}

bool MiddleButtonDown(ViewCamera& camera, int x, int y)
{
    camera.middleDown = true;
    camera.panPointX = x;
    camera.panPointY = y;
    return false;
}

bool MiddleButtonUp(ViewCamera& camera, int x, int y)
{
    camera.middleDown = false;
    camera.panPointX = x;
    camera.panPointY = y;
    return false;
}

bool PanDrag(ViewCamera& camera, const Settings& settings, const GlView& view, const ViewBox& box, int x, int y)
{
    const int dx = x - camera.panPointX, dy = y - camera.panPointY;
    camera.panPointX = x;
    camera.panPointY = y;
    if (dx == 0 && dy == 0) return false;
    // A pixel at the pivot's depth spans this much of the model; a pivot at or behind the eye
    // still pans, at a twentieth of the view distance.
    const float depth = std::max(PivotDepth(camera, settings, box), camera.viewDistance / 20);
    const float perPixel = 2 * depth * std::tan(static_cast<float>(view.fieldOfView * kDegrees / 2)) /
                           static_cast<float>(std::max(view.viewHeight, 1));
    camera.viewOffset.x += static_cast<float>(dx) * perPixel;
    camera.viewOffset.y -= static_cast<float>(dy) * perPixel;  // window y grows downwards
    return true;
}

void AdvanceStep(ViewCamera& camera)
{
    const Matrix4 step = RotationMatrix(camera.stepAngle, camera.stepAxis.x, camera.stepAxis.y, camera.stepAxis.z);
    camera.modelRotation = Multiply(step, camera.modelRotation);
}

void ApplyModelTransformBase(const ViewCamera& camera, const ViewBox& box, const Settings& settings)
{
    glRotatef(camera.pitch, 1, 0, 0);
    glRotatef(camera.yaw, 0, 1, 0);
    glRotatef(camera.roll, 0, 0, 1);
    glTranslatef(-camera.flyOffset.x, camera.flyOffset.y, camera.flyOffset.z);
    glPushMatrix();
    switch (PivotOf(settings)) {
    case PivotKind::Origin: glTranslatef(0, 0, -camera.viewDistance); break;
    case PivotKind::Center:
        glTranslatef(-(box.minX + box.maxX) / 2, -(box.minY + box.maxY) / 2, -camera.viewDistance);
        break;
    case PivotKind::Mass: glTranslatef(-box.centroid.x, -box.centroid.y, -camera.viewDistance); break;
    case PivotKind::None: break;
    }
    glTranslatef(camera.viewOffset.x, camera.viewOffset.y, camera.viewOffset.z);
}

void TranslatePivot(const ViewBox& box, PivotKind pivot, float sign)
{
    switch (pivot) {
    case PivotKind::Center:
        glTranslatef(sign * (box.minX + box.maxX) / 2, sign * (box.minY + box.maxY) / 2,
                     sign * (box.minZ + box.maxZ) / 2);
        break;
    case PivotKind::Mass: glTranslatef(sign * box.centroid.x, sign * box.centroid.y, sign * box.centroid.z); break;
    default: break;
    }
}

void ApplyStepMatrix(ViewCamera& camera)
{
    AdvanceStep(camera);
    glMultMatrixf(camera.modelRotation.data());
}

}  // namespace solvane
