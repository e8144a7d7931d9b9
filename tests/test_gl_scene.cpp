// Scene files restore the view: every view item set, captured, written as a scene file, read back
// and applied to a fresh viewer comes back as it was, GL state included.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "formats/native.h"
#include "load/save.h"
#include "tests/test_support.h"
#include "viewer/headless_context.h"
#include "viewer/scene_record.h"
#include "viewer/viewer.h"

namespace solvane {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

std::unique_ptr<Model> TriangleModel()
{
    auto model = NewModel(1);
    model->subMeshes[0].vertices = {-1, -1, 0, 1, -1, 0, 0, 1, 0};
    const uint32_t triangle[3] = {0, 1, 2};
    model->subMeshes[0].AppendFace(triangle, 3);
    ComputeAllBounds(*model);
    return model;
}

class GlScene : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!context_.Create(kWidth, kHeight)) GTEST_SKIP() << "no headless GL: " << context_.Error();
    }
    HeadlessContext context_;
};

TEST_F(GlScene, EveryViewItemComesBackFromAScene)
{
    // The view as a user left it.
    Settings settings = DefaultSettings();
    Viewer viewer(settings);
    viewer.InitGl();
    viewer.ResizeView(kWidth, kHeight);
    viewer.camera.viewOffset = {0.1f, -0.2f, 1.5f};
    viewer.camera.modelRotation = Multiply(RotationMatrix(30, 1, 0, 0), RotationMatrix(45, 0, 1, 0));
    viewer.camera.stepAxis = {0, 1, 0};
    viewer.camera.stepAngle = 1.25f;
    viewer.camera.pitch = 5;
    viewer.camera.yaw = -15;
    viewer.camera.roll = 2;
    viewer.camera.flyOffset = {0.5f, 0.25f, -1};
    settings.fg_color_r = 0.2f;
    settings.fg_color_g = 0.4f;
    settings.fg_color_b = 0.6f;
    settings.bg_color_r = 0.8f;
    settings.bg_color_g = 0.1f;
    settings.bg_color_b = 0.3f;
    settings.ef_color_r = 0.9f;
    settings.ef_color_g = 0.7f;
    settings.ef_color_b = 0.5f;
    settings.eye_filter_amount = 0.3f;
    viewer.eyeFilter.washOn = true;
    settings.depth_cue_factor = 0.15f;
    settings.depthCueColor = {0.05f, 0.1f, 0.15f};
    settings.gamma_value = 2.4f;
    viewer.SetLightColour({0.25f, 0.5f, 0.75f});
    auto image = std::make_shared<Texture>();
    image->width = 2;
    image->height = 2;
    image->pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    viewer.SetBackgroundImage(std::move(image), "/pictures/sky.bmp", 2, true);

    // Saved as a scene file.
    auto model = TriangleModel();
    test::ScratchDir dir;
    const std::string path = (dir.Path() / "view.svs").string();
    const SceneRecord captured = CaptureSceneRecord(viewer, settings);
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*model, path, *FindWriter("svs"), save, &captured)) << save.error;

    // Loaded into a viewer that starts from the defaults.
    Settings fresh = DefaultSettings();
    Viewer restored(fresh);
    restored.InitGl();
    restored.ResizeView(kWidth, kHeight);
    LoadContext ctx;
    auto loaded = LoadModelFile(path, ctx);
    ASSERT_NE(loaded, nullptr);
    int64_t offset = ctx.sceneOffset.load();
    SceneRecord read;
    ASSERT_TRUE(ReadNativeScene(path.c_str(), offset, read));
    ApplySceneRecord(restored, fresh, read);

    const ViewCamera& a = viewer.camera;
    const ViewCamera& b = restored.camera;
    EXPECT_EQ(b.viewOffset.x, a.viewOffset.x);
    EXPECT_EQ(b.viewOffset.y, a.viewOffset.y);
    EXPECT_EQ(b.viewOffset.z, a.viewOffset.z);
    EXPECT_EQ(b.modelRotation, a.modelRotation);
    EXPECT_EQ(b.stepAxis.y, 1.0f);
    EXPECT_EQ(b.stepAngle, a.stepAngle);
    EXPECT_EQ(b.pitch, a.pitch);
    EXPECT_EQ(b.yaw, a.yaw);
    EXPECT_EQ(b.roll, a.roll);
    EXPECT_EQ(b.flyOffset.x, a.flyOffset.x);
    EXPECT_EQ(b.flyOffset.y, a.flyOffset.y);
    EXPECT_EQ(b.flyOffset.z, a.flyOffset.z);
    EXPECT_EQ(fresh.Foreground(), settings.Foreground());
    EXPECT_EQ(fresh.Background(), settings.Background());
    EXPECT_EQ(fresh.EyeFilterColor(), settings.EyeFilterColor());
    EXPECT_EQ(fresh.eye_filter_amount, settings.eye_filter_amount);
    EXPECT_TRUE(restored.eyeFilter.washOn);
    EXPECT_EQ(fresh.depth_cue_factor, settings.depth_cue_factor);
    EXPECT_EQ(fresh.depthCueColor, settings.depthCueColor);
    EXPECT_EQ(fresh.gamma_value, settings.gamma_value);
    EXPECT_EQ(restored.lightColor, viewer.lightColor);
    ASSERT_NE(restored.background.image, nullptr);
    EXPECT_EQ(restored.background.fileName, "/pictures/sky.bmp");
    EXPECT_EQ(restored.background.image->pixels, viewer.background.image->pixels);
    EXPECT_TRUE(restored.background.shown);
    EXPECT_EQ(restored.background.quality, fresh.background_texture_quality);

    // The GL state follows: clear colour and the bounding box's colour from the background.
    float clear[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.8f);
    EXPECT_FLOAT_EQ(clear[1], 0.1f);
    EXPECT_FLOAT_EQ(clear[2], 0.3f);
    EXPECT_FLOAT_EQ(clear[3], 1.0f);
    EXPECT_FLOAT_EQ(restored.boundingBoxColor[0], 0.3f);
    EXPECT_FLOAT_EQ(restored.boundingBoxColor[1], 0.6f);
    EXPECT_FLOAT_EQ(restored.boundingBoxColor[2], 0.8f);

    // With the background image enabled, it fills the frame.
    fresh.using_background_image = 1;
    restored.DrawFrame(FrameMode::Render);
    glFinish();
    const auto pixels = context_.ReadPixelsTopDown();
    bool red = false;
    for (size_t i = 0; i < pixels.size(); i += 3) red = red || (pixels[i] > 150 && pixels[i + 1] < 80 && pixels[i + 2] < 80);
    EXPECT_TRUE(red);
    EXPECT_NE(restored.background.texture, 0u);

    restored.ReleaseGl();
    viewer.ReleaseGl();
}

// A record of an older file has no depth-cue colour or gamma: those stay as they are. Values out of
// range are clamped into it.
TEST_F(GlScene, OlderRecordsKeepGammaAndOutOfRangeColoursAreClamped)
{
    Settings settings = DefaultSettings();
    settings.gamma_value = 1.3f;
    settings.depthCueColor = {0.2f, 0.2f, 0.2f};
    Viewer viewer(settings);
    viewer.InitGl();
    SceneRecord record;
    record.hasVersion30Fields = false;
    record.gamma = 2.9f;
    record.viewTriple = {1, 1, 1};
    record.background = {1.5f, -2, 0.5f};
    record.lightColour = {0, 0, 0};
    ApplySceneRecord(viewer, settings, record);
    // A stored black light is one nobody chose: white.
    EXPECT_EQ(viewer.lightColor, (std::array<float, 3>{1, 1, 1}));
    EXPECT_EQ(settings.gamma_value, 1.3f);
    EXPECT_EQ(settings.depthCueColor, (std::array<float, 3>{0.2f, 0.2f, 0.2f}));
    EXPECT_EQ(settings.Background(), (std::array<float, 3>{1, 0, 0.5f}));
    // No image in the record: the viewer's own stays.
    EXPECT_EQ(viewer.background.image, nullptr);
    viewer.ReleaseGl();
}

}  // namespace
}  // namespace solvane
