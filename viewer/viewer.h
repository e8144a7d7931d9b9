// The viewer: everything drawn with GL for one window (or one headless surface). It owns the
// camera, the scene state and the GL objects of the model it shows; it reads the model and writes
// back only the material values it defaults.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "core/model.h"
#include "core/settings.h"
#include "viewer/camera.h"
#include "viewer/eye_filter.h"
#include "viewer/gl_view.h"
#include "viewer/model_lists.h"
#include "viewer/snapshots.h"

namespace solvane {

enum class FrameMode { Render, Feedback };

constexpr std::array<float, 3> kPivotColor{0.9f, 0.8f, 0.0f};

// The image drawn behind the model, stretched over the whole view. The decoded pixels are shared
// with whoever keeps a copy (a dialog that may restore it); the GL texture is made from them on the
// next frame, at `quality`, and again whenever the quality or the gamma changes.
struct BackgroundImage {
    std::shared_ptr<const Texture> image;
    std::string fileName;
    int quality = 3;     // texture quality (0..5) it is drawn at
    bool shown = false;  // drawn while the using_background_image setting is on too
    uint32_t texture = 0;          // GL texture name, 0 before the first upload
    int uploadedQuality = -1;      // quality of the texture's current pixels, -1 for none
};

// The light colour a stored view state (scene file, snapshot) holds: black means none was chosen,
// which is white.
std::array<float, 3> StoredLightColour(const std::array<float, 3>& stored);

class Viewer {
public:
    explicit Viewer(Settings& settings);
    ~Viewer();
    Viewer(const Viewer&) = delete;
    Viewer& operator=(const Viewer&) = delete;

    // Needs a current context. Sets the initial render state and builds the hardware report.
    void InitGl();
    // Releases every GL object (call with the context current, before it goes).
    void ReleaseGl();
    // The surface size changed: locate the pivot, then viewport and projection.
    void ResizeView(int width, int height);
    void DrawFrame(FrameMode mode);
    // Feedback pass: sets camera.pivotScreen to the model origin's window position.
    void LocatePivot();
    // Resets the camera (unless keepCamera), recomputes the box and locates the pivot.
    void ResetView(bool keepCamera);

    // Shows this model (not owned; null for none). Lists are built separately.
    void SetModel(Model* model) { model_ = model; }
    Model* CurrentModel() const { return model_; }
    // Uploads the model's textures and compiles its lists (as after a load).
    void PrepareModelGl(const ListProgress& progress);
    void BuildLists(bool solidOnly, const ListProgress& progress);
    void ReuploadModelTextures(const ListProgress& progress);
    // The background colour changed: fill lists, clear colour and bounding-box colour.
    void BackgroundColorChanged();
    // Texturing switched: the renderer's texture state, then the shaded lists.
    void TexturingChanged();
    // Front-face winding and culling from the format, the culling setting and the display mode.
    void ApplyCullingState();
    // Makes image (null for none) the background image, drawn at the given texture quality; it is
    // uploaded on the next frame. Needs no GL context.
    void SetBackgroundImage(std::shared_ptr<const Texture> image, const std::string& fileName, int quality,
                            bool shown);
    // Draws the background image at another texture quality from the next frame on.
    void SetBackgroundQuality(int quality);
    // Light 0 takes the colour as its diffuse and specular colour (its ambient colour stays black),
    // off and on again. Needs the context.
    void SetLightColour(const std::array<float, 3>& colour);
    // A light colour from a stored view state, with StoredLightColour's rule.
    void ApplyStoredLightColour(const std::array<float, 3>& stored);

    GlView view;
    ViewCamera camera;
    ViewBox box;
    std::array<float, 3> boundingBoxColor{0.8f, 0.8f, 0.8f};
    std::array<float, 3> lightColor{1, 1, 1};
    // Flipped by every normal inversion of the shown model; part of the view state.
    bool normalsInverted = false;
    BackgroundImage background;
    // Drawn over the picture: the eye filter, then the snapshot thumbnails.
    EyeFilter eyeFilter;
    SnapshotSet snapshots;
    // Called after the model's lists have been compiled again (the model or its look changed).
    std::function<void()> listsRebuilt;

    Settings& settings() { return settings_; }

private:
    void SetGammaMap(float gamma);
    void DrawBackgroundImage();
    void UploadBackgroundIfNeeded();
    void ApplyLightColour();
    void DrawScene();
    void DrawFeedback();
    void ReuploadForGamma();

    Settings& settings_;
    Model* model_ = nullptr;
    float uploadedGamma_ = -1;  // gamma the textures were uploaded with
};

}  // namespace solvane
