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
#include "viewer/gl_view.h"
#include "viewer/model_lists.h"

namespace solvane {

enum class FrameMode { Render, Feedback };

constexpr std::array<float, 3> kPivotColor{0.9f, 0.8f, 0.0f};

struct BackgroundImage {
    std::unique_ptr<Texture> image;  // decoded pixels, kept to re-upload at another quality/gamma
    std::string fileName;
    uint32_t texture = 0;            // GL texture at the background quality
    bool shown = false;
};

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
    // Loads an image as the background (shown when `show`); false when it cannot be read.
    bool SetBackgroundImage(std::unique_ptr<Texture> image, const std::string& fileName, bool show);
    void UploadBackgroundImage();
    void SetLightColour(const std::array<float, 3>& colour);

    GlView view;
    ViewCamera camera;
    ViewBox box;
    std::array<float, 3> boundingBoxColor{0.8f, 0.8f, 0.8f};
    std::array<float, 3> lightColor{0, 0, 0};
    BackgroundImage background;
    // Overlays drawn after the scene (eye filter, snapshot thumbnails).
    std::function<void(Viewer&)> overlays;
    // Called after the model's lists have been compiled again (the model or its look changed).
    std::function<void()> listsRebuilt;

    Settings& settings() { return settings_; }

private:
    void SetGammaMap(float gamma);
    void DrawBackgroundImage();
    void DrawScene();
    void DrawFeedback();
    void ReuploadForGamma();

    Settings& settings_;
    Model* model_ = nullptr;
    float uploadedGamma_ = -1;  // gamma the textures were uploaded with
};

}  // namespace solvane
