#include "viewer/scene_record.h"

#include <algorithm>
#include <cmath>

namespace solvane {
namespace {

std::array<float, 3> ToArray(const Vec3& v)
{
    return {v.x, v.y, v.z};
}

Vec3 ToVec3(const std::array<float, 3>& a)
{
    return {a[0], a[1], a[2]};
}

// Colours outside 0..1 are clamped: a colour chooser never gives them.
float Channel(float value)
{
    return std::clamp(value, 0.0f, 1.0f);
}

void SetColor(float& r, float& g, float& b, const std::array<float, 3>& colour)
{
    r = Channel(colour[0]);
    g = Channel(colour[1]);
    b = Channel(colour[2]);
}

}  // namespace

SceneRecord CaptureSceneRecord(const Viewer& viewer, const Settings& settings)
{
    SceneRecord scene;
    const ViewCamera& camera = viewer.camera;
    scene.viewOffset = ToArray(camera.viewOffset);
    scene.modelRotation = camera.modelRotation;
    scene.stepAxis = ToArray(camera.stepAxis);
    scene.stepAngle = camera.stepAngle;
    scene.pitch = camera.pitch;
    scene.yaw = camera.yaw;
    scene.roll = camera.roll;
    scene.flyOffset = ToArray(camera.flyOffset);
    scene.foreground = settings.Foreground();
    scene.background = settings.Background();
    scene.washOn = viewer.eyeFilter.washOn;
    scene.filterColour = settings.EyeFilterColor();
    scene.filterAmount = settings.eye_filter_amount;
    scene.lightColour = viewer.lightColor;
    const BackgroundImage& background = viewer.background;
    if (background.image && background.image->HasPixels()) {
        scene.backgroundName = background.fileName;
        scene.backgroundWidth = background.image->width;
        scene.backgroundHeight = background.image->height;
        scene.backgroundPixels = background.image->pixels;
    }
    scene.depthCueFactor = settings.depth_cue_factor;
    scene.hasVersion30Fields = true;
    scene.viewTriple = settings.depthCueColor;
    scene.gamma = settings.gamma_value;
    return scene;
}

void ApplySceneRecord(Viewer& viewer, Settings& settings, const SceneRecord& scene)
{
    // The camera.
    ViewCamera& camera = viewer.camera;
    camera.viewOffset = ToVec3(scene.viewOffset);
    camera.modelRotation = scene.modelRotation;
    camera.stepAxis = ToVec3(scene.stepAxis);
    camera.stepAngle = scene.stepAngle;
    camera.pitch = scene.pitch;
    camera.yaw = scene.yaw;
    camera.roll = scene.roll;
    camera.flyOffset = ToVec3(scene.flyOffset);

    // Colours, eye filter, depth cue, gamma.
    SetColor(settings.fg_color_r, settings.fg_color_g, settings.fg_color_b, scene.foreground);
    SetColor(settings.bg_color_r, settings.bg_color_g, settings.bg_color_b, scene.background);
    SetColor(settings.ef_color_r, settings.ef_color_g, settings.ef_color_b, scene.filterColour);
    settings.eye_filter_amount = Channel(scene.filterAmount);
    viewer.eyeFilter.washOn = scene.washOn;
    settings.depth_cue_factor = Channel(scene.depthCueFactor);
    if (scene.hasVersion30Fields) {
        settings.depthCueColor = {Channel(scene.viewTriple[0]), Channel(scene.viewTriple[1]),
                                  Channel(scene.viewTriple[2])};
        // The gamma dialog's range.
        settings.gamma_value = std::clamp(scene.gamma, 0.0f, 3.0f);
    }

    // The background image, drawn at the background quality.
    if (scene.HasBackgroundImage() && scene.backgroundPixels.size() ==
                                          static_cast<size_t>(scene.backgroundWidth) * scene.backgroundHeight * 3) {
        auto image = std::make_shared<Texture>();
        image->name = scene.backgroundName;
        image->width = scene.backgroundWidth;
        image->height = scene.backgroundHeight;
        image->pixels = scene.backgroundPixels;
        viewer.SetBackgroundImage(std::move(image), scene.backgroundName, settings.background_texture_quality, true);
    }

    // GL state: clear colour, bounding-box colour and fill lists from the background; the light (a
    // stored black means none was chosen: white).
    viewer.BackgroundColorChanged();
    viewer.ApplyStoredLightColour(
        {Channel(scene.lightColour[0]), Channel(scene.lightColour[1]), Channel(scene.lightColour[2])});
}

}  // namespace solvane
