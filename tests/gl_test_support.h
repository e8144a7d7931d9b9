// Helpers of the tests that draw with a headless GL context: small models, and a viewer over a
// headless surface that draws them as the window does after a load.
#pragma once

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/prepare.h"
#include "viewer/headless_context.h"
#include "viewer/viewer.h"

namespace solvane::test {

// A cube of six quads with three coloured materials (as an OBJ would give it).
inline std::unique_ptr<Model> CubeModel()
{
    auto model = NewModel(1, 3);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices = {-1, -1, -1, 1, -1, -1, 1, 1, -1, -1, 1, -1, -1, -1, 1, 1, -1, 1, 1, 1, 1, -1, 1, 1};
    const uint32_t faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
    mesh.ReserveFaces(6, 24, false);
    for (const auto& face : faces) mesh.AppendFace(face, 4);
    mesh.faceMaterials = {0, 0, 1, 1, 2, 2};
    const std::array<float, 3> colors[3] = {{0.9f, 0.2f, 0.2f}, {0.2f, 0.9f, 0.2f}, {0.2f, 0.3f, 0.9f}};
    for (int m = 0; m < 3; ++m) {
        model->materials[m].name = std::string("m").append(std::to_string(m));
        model->materials[m].color = colors[m];
        model->materials[m].diffuse = colors[m];
        model->materials[m].specular = {0.2f, 0.2f, 0.2f};
        model->materials[m].textureIndex = -1;
    }
    model->hasColor = model->hasDiffuse = model->hasSpecular = 1;
    model->formatId = 7;
    ComputeBoundsAndCentroid(mesh);
    return model;
}

// One quad with a 4x4 checker texture of two colours mapped across it.
inline std::unique_ptr<Model> TexturedQuadModel(int textureWidth = 4, int textureHeight = 4)
{
    auto model = NewModel(1, 1, 1);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    mesh.texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
    const uint32_t face[4] = {0, 1, 2, 3};
    mesh.ReserveFaces(1, 4, true);
    mesh.AppendFace(face, 4, face);
    mesh.faceMaterials = {0};
    Texture& texture = model->textures[0];
    texture.name = "checker.bmp";
    texture.width = textureWidth;
    texture.height = textureHeight;
    texture.mappingMode = 0;
    texture.pixels.resize(static_cast<size_t>(textureWidth) * textureHeight * 3);
    for (int y = 0; y < textureHeight; ++y) {
        for (int x = 0; x < textureWidth; ++x) {
            uint8_t* p = &texture.pixels[(static_cast<size_t>(y) * textureWidth + x) * 3];
            const bool dark = ((x * 4 / textureWidth) + (y * 4 / textureHeight)) % 2;
            p[0] = dark ? 40 : 230;
            p[1] = dark ? 60 : 200;
            p[2] = dark ? 160 : 60;
        }
    }
    model->materials[0].name = "checker";
    model->materials[0].color = {1, 1, 1};
    model->materials[0].textureIndex = 0;
    model->hasTextures = 1;
    model->formatId = 7;
    ComputeBoundsAndCentroid(mesh);
    return model;
}

// A viewer drawing into a headless surface of its own. Create() skips the calling test when there
// is no headless GL.
class HeadlessView {
public:
    HeadlessView() = default;
    HeadlessView(const HeadlessView&) = delete;
    HeadlessView& operator=(const HeadlessView&) = delete;
    ~HeadlessView() { Drop(); }

    // Makes the context and a viewer over settings, sized to the surface. False when there is no
    // headless GL (the reason is in Error()).
    bool Create(int width, int height, const Settings& settings)
    {
        if (!context_.Create(width, height)) return false;
        settings_ = settings;
        viewer_ = std::make_unique<Viewer>(settings_);
        viewer_->InitGl();
        viewer_->ResizeView(width, height);
        return true;
    }
    const std::string& Error() const { return context_.Error(); }

    // Prepares the model as a finished load does and shows it, turned for a three-quarter view.
    void Show(std::unique_ptr<Model> model, float yaw = 35, float pitch = 25)
    {
        model_ = std::move(model);
        if (settings_.texturing) glEnable(GL_TEXTURE_2D);
        PrepareModelData(*model_, settings_);
        FinishLoadedModel(*model_, settings_, nullptr);
        viewer_->SetModel(model_.get());
        viewer_->PrepareModelGl(nullptr);
        viewer_->ResetView(false);
        viewer_->ApplyCullingState();
        if (settings_.light) viewer_->SetLightColour(viewer_->lightColor);
        viewer_->camera.modelRotation = Multiply(RotationMatrix(pitch, 1, 0, 0), RotationMatrix(yaw, 0, 1, 0));
    }

    // Draws a frame (thumbnails included) and reads the surface, top row first, without the gamma
    // maps: what the window shows.
    std::vector<uint8_t> Frame()
    {
        viewer_->DrawFrame(FrameMode::Render);
        glFinish();
        return context_.ReadPixelsTopDown();
    }

    Viewer& viewer() { return *viewer_; }
    Settings& settings() { return settings_; }
    Model& model() { return *model_; }
    int Width() const { return context_.Width(); }
    int Height() const { return context_.Height(); }

    void Drop()
    {
        if (!viewer_) return;
        viewer_->SetModel(nullptr);
        if (model_) ReleaseModelLists(*model_);
        viewer_->ReleaseGl();
        viewer_.reset();
        model_.reset();
    }

private:
    HeadlessContext context_;
    Settings settings_;
    std::unique_ptr<Viewer> viewer_;
    std::unique_ptr<Model> model_;
};

}  // namespace solvane::test
