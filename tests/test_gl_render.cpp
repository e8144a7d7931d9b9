// Frames drawn in a headless GL context: compared with stored baselines (tests/baselines), and the
// GL side of the display lists (defaulted materials, texture sizes, released lists, pivot).
// SOLVANE_UPDATE_BASELINES=1 rewrites the baselines instead of comparing.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/prepare.h"
#include "tests/gl_test_support.h"
#include "tests/test_support.h"
#include "viewer/background.h"
#include "viewer/headless_context.h"
#include "viewer/viewer.h"

namespace solvane {
namespace {

using test::CubeModel;
using test::TexturedQuadModel;

constexpr int kWidth = 160;
constexpr int kHeight = 120;

class GlRender : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!context_.Create(kWidth, kHeight)) GTEST_SKIP() << "no headless GL: " << context_.Error();
    }
    // The models die with each test body; their lists go with the context.
    void TearDown() override { DropViewer(); }
    void DropViewer()
    {
        if (!viewer_) return;
        viewer_->SetModel(nullptr);
        viewer_->ReleaseGl();
        viewer_.reset();
    }

    // Prepares and draws the model as a load would, turned for a three-quarter view; adjust runs
    // on the viewer just before the frame.
    std::vector<uint8_t> Render(Model& model, Settings settings, float yaw = 35, float pitch = 25,
                                const std::function<void(Viewer&)>& adjust = nullptr)
    {
        DropViewer();
        settings_ = settings;
        viewer_ = std::make_unique<Viewer>(settings_);
        viewer_->InitGl();
        viewer_->ResizeView(kWidth, kHeight);
        if (settings_.texturing) glEnable(GL_TEXTURE_2D);
        PrepareModelData(model, settings_);
        FinishLoadedModel(model, settings_, nullptr);
        viewer_->SetModel(&model);
        viewer_->PrepareModelGl(nullptr);
        viewer_->ResetView(false);
        viewer_->ApplyCullingState();
        viewer_->camera.modelRotation = Multiply(RotationMatrix(pitch, 1, 0, 0), RotationMatrix(yaw, 0, 1, 0));
        if (adjust) adjust(*viewer_);
        viewer_->DrawFrame(FrameMode::Render);
        glFinish();
        return context_.ReadPixelsTopDown();
    }

    void ExpectMatchesBaseline(const std::string& name, const std::vector<uint8_t>& pixels)
    {
        const std::filesystem::path baseline = test::SourceDir() / "tests/baselines" / (name + ".png");
        if (std::getenv("SOLVANE_UPDATE_BASELINES")) {
            ASSERT_TRUE(WritePng(baseline.string(), kWidth, kHeight, pixels));
            return;
        }
        int w = 0, h = 0;
        std::vector<uint8_t> expected;
        ASSERT_TRUE(ReadPng(baseline.string(), w, h, expected)) << "missing baseline " << baseline;
        ASSERT_EQ(w, kWidth);
        ASSERT_EQ(h, kHeight);
        // A pixel differs when a channel is off by more than 24; a few such pixels are allowed
        // for rasterisation differences between GL implementations.
        int differing = 0;
        for (size_t i = 0; i < pixels.size(); i += 3) {
            for (int c = 0; c < 3; ++c) {
                if (std::abs(int(pixels[i + c]) - int(expected[i + c])) > 24) {
                    ++differing;
                    break;
                }
            }
        }
        const int allowed = kWidth * kHeight / 500;
        if (differing > allowed) {
            const std::filesystem::path actual = std::filesystem::temp_directory_path() / (name + ".actual.png");
            WritePng(actual.string(), kWidth, kHeight, pixels);
            ADD_FAILURE() << name << ": " << differing << " pixels differ (allowed " << allowed << ")\n  expected "
                          << baseline << "\n  actual   " << actual;
        }
    }

    HeadlessContext context_;
    Settings settings_;
    std::unique_ptr<Viewer> viewer_;
};

TEST_F(GlRender, FramesMatchTheirBaselines)
{
    Settings base = DefaultSettings();
    struct Case {
        const char* name;
        void (*adjust)(Settings&);
    };
    const Case cases[] = {
        {"cube_solid_lit", [](Settings&) {}},
        {"cube_solid_unlit", [](Settings& s) { s.light = 0; }},
        {"cube_wireframe", [](Settings& s) { s.solid = 0; s.wireframe = 1; }},
        {"cube_hidden_lines", [](Settings& s) { s.solid = 0; s.hidden_lines = 1; }},
        {"cube_depth_cued", [](Settings& s) { s.depth_cue_factor = 0.5f; }},
        {"cube_no_axes_no_box_pivot", [](Settings& s) { s.axes = 0; s.bounding_box = 0; s.show_pivot = 1; }},
        {"cube_light_background", [](Settings& s) { s.bg_color_r = 0.9f; s.bg_color_g = 0.9f; s.bg_color_b = 0.7f; }},
    };
    for (const Case& c : cases) {
        Settings settings = base;
        c.adjust(settings);
        auto model = CubeModel();
        ExpectMatchesBaseline(c.name, Render(*model, settings));
    }
    for (float gamma : {1.0f, 2.2f}) {
        Settings settings = base;
        settings.texturing = 1;
        settings.light = 0;
        settings.gamma_value = gamma;
        auto model = TexturedQuadModel();
        ExpectMatchesBaseline(gamma == 1.0f ? "quad_textured_gamma10" : "quad_textured_gamma22",
                              Render(*model, settings, 0, 0));
    }
}

TEST_F(GlRender, NoModelShowsOnlyTheBackground)
{
    Settings settings = DefaultSettings();
    settings_ = settings;
    Viewer viewer(settings_);
    viewer.InitGl();
    viewer.ResizeView(kWidth, kHeight);
    viewer.DrawFrame(FrameMode::Render);
    const auto pixels = context_.ReadPixelsTopDown();
    viewer.ReleaseGl();
    for (size_t i = 0; i < pixels.size(); ++i) ASSERT_NEAR(pixels[i], 77, 1) << i;  // 0.3 * 255
}

TEST_F(GlRender, DefaultedMaterialsTakeTheForegroundColour)
{
    auto model = CubeModel();
    model->hasColor = model->hasDiffuse = model->hasSpecular = 0;
    Settings settings = DefaultSettings();
    settings.fg_color_r = 0.25f;
    Render(*model, settings);
    EXPECT_EQ(model->hasColor, 1);
    EXPECT_EQ(model->hasDiffuse, 1);
    EXPECT_EQ(model->hasSpecular, 1);
    for (const Material& material : model->materials) {
        EXPECT_EQ(material.color, settings.Foreground());
        EXPECT_EQ(material.diffuse, settings.Foreground());
        EXPECT_EQ(material.specular, (std::array<float, 3>{1, 1, 1}));
    }
}

TEST_F(GlRender, TransparencyOfOneOrMoreIsOpaque)
{
    Settings settings = DefaultSettings();
    settings.light = 0;
    settings.axes = 0;
    settings.bounding_box = 0;
    auto model = CubeModel();
    model->hasTransparency = 1;
    for (Material& material : model->materials) material.transparency = 1.5f;
    const auto pixels = Render(*model, settings, 0, 0);
    // The front face (material 0, red) fills the middle of the frame.
    const uint8_t* centre = &pixels[(static_cast<size_t>(kHeight / 2) * kWidth + kWidth / 2) * 3];
    EXPECT_GT(centre[0], 200);
    EXPECT_LT(centre[1], 80);
}

TEST_F(GlRender, TexturesAreUploadedAtTheQualitySize)
{
    auto model = TexturedQuadModel(300, 100);
    Settings settings = DefaultSettings();
    settings.texturing = 1;
    Render(*model, settings);
    for (auto [quality, size] : {std::pair{3, 128}, {0, 16}, {5, 512}, {9, 64}}) {
        const uint32_t handle = UploadTexture(model->textures[0], model->textures[0].textureHandle, quality, false);
        glBindTexture(GL_TEXTURE_2D, handle);
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        EXPECT_EQ(width, size) << quality;
        EXPECT_EQ(height, size) << quality;
    }
}

TEST_F(GlRender, RebuildingReleasesSupersededLists)
{
    auto model = CubeModel();
    Render(*model, DefaultSettings());
    const uint32_t solid = model->subMeshes[0].solidList;
    const uint32_t fill = model->subMeshes[0].wireList;
    ASSERT_TRUE(glIsList(solid));
    ASSERT_TRUE(glIsList(fill));
    viewer_->BuildLists(true, nullptr);
    EXPECT_FALSE(glIsList(solid) && model->subMeshes[0].solidList != solid);
    EXPECT_EQ(model->subMeshes[0].wireList, fill);  // shaded lists only
    viewer_->BackgroundColorChanged();
    EXPECT_TRUE(glIsList(model->subMeshes[0].wireList));
    ReleaseModelLists(*model);
    EXPECT_EQ(model->subMeshes[0].solidList, 0u);
}

TEST_F(GlRender, ProgressCoversEveryFaceOfBothLists)
{
    auto model = CubeModel();
    Render(*model, DefaultSettings());
    int64_t last = 0, total = 0;
    viewer_->BuildLists(false, [&](int64_t done, int64_t all) {
        last = done;
        total = all;
    });
    EXPECT_EQ(total, 12);
    EXPECT_EQ(last, 12);
}

TEST_F(GlRender, PivotIsFoundAtTheModelOrigin)
{
    auto model = CubeModel();
    Render(*model, DefaultSettings(), 0, 0);
    // The cube is centred on its origin, so the centre pivot puts the origin mid-window.
    EXPECT_NEAR(viewer_->camera.pivotScreenX, kWidth / 2, 1);
    EXPECT_NEAR(viewer_->camera.pivotScreenY, kHeight / 2, 1);
}

// ---- Background image and light colour ---------------------------------------------------------

// An image twice as wide as high in four quadrants: red top left, green top right, blue bottom
// left, yellow bottom right (full and empty channels, so any gamma keeps them). Rows bottom first,
// as the image readers keep them.
std::shared_ptr<const Texture> QuadrantImage()
{
    auto image = std::make_shared<Texture>();
    image->name = "quadrants";
    image->width = 8;
    image->height = 4;
    for (int row = 0; row < 4; ++row) {
        const bool top = row >= 2;
        for (int x = 0; x < 8; ++x) {
            const bool left = x < 4;
            const uint8_t rgb[3] = {static_cast<uint8_t>(top != left ? 0 : 255),
                                    static_cast<uint8_t>(top && left ? 0 : (top || !left ? 255 : 0)),
                                    static_cast<uint8_t>(!top && left ? 255 : 0)};
            image->pixels.insert(image->pixels.end(), rgb, rgb + 3);
        }
    }
    return image;
}

const uint8_t* PixelOf(const std::vector<uint8_t>& pixels, double fx, double fy)
{
    const int x = static_cast<int>(fx * (kWidth - 1)), y = static_cast<int>(fy * (kHeight - 1));
    return &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
}

// The middle of each quadrant of the frame shows the quadrant's colour: the image is stretched
// over the whole frame whatever its proportions, top side up.
::testing::AssertionResult ShowsQuadrants(const std::vector<uint8_t>& pixels)
{
    const struct {
        double x, y;
        int r, g, b;
    } expected[] = {{0.2, 0.2, 255, 0, 0}, {0.8, 0.2, 0, 255, 0}, {0.2, 0.8, 0, 0, 255}, {0.8, 0.8, 255, 255, 0}};
    for (const auto& e : expected) {
        const uint8_t* p = PixelOf(pixels, e.x, e.y);
        if (std::abs(p[0] - e.r) > 30 || std::abs(p[1] - e.g) > 30 || std::abs(p[2] - e.b) > 30) {
            return ::testing::AssertionFailure() << "at " << e.x << "," << e.y << ": " << int{p[0]} << " "
                                                 << int{p[1]} << " " << int{p[2]};
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(GlRender, BackgroundImageIsStretchedBehindTheModel)
{
    Settings settings = DefaultSettings();
    settings.using_background_image = 1;
    auto model = CubeModel();
    const auto pixels = Render(*model, settings, 35, 25, [](Viewer& viewer) {
        viewer.SetBackgroundImage(QuadrantImage(), "quadrants", 3, true);
    });
    ExpectMatchesBaseline("cube_background_image", pixels);
    // The left edge shows the image, the middle the model.
    const uint8_t* corner = PixelOf(pixels, 0.1, 0.25);
    EXPECT_GT(corner[0], 200);
    EXPECT_LT(corner[1], 60);
    EXPECT_FALSE(ShowsQuadrants(pixels));  // the cube hides the quadrants' middles

    // Without a model the whole image shows.
    Settings alone = settings;
    settings_ = alone;
    Viewer viewer(settings_);
    viewer.InitGl();
    viewer.ResizeView(kWidth, kHeight);
    viewer.SetBackgroundImage(QuadrantImage(), "quadrants", 2, true);
    viewer.DrawFrame(FrameMode::Render);
    EXPECT_TRUE(ShowsQuadrants(context_.ReadPixelsTopDown()));
    viewer.ReleaseGl();
}

// The image is drawn only while it is shown, the setting is on and there is an image.
TEST_F(GlRender, BackgroundImageNeedsTheSettingTheShownFlagAndAnImage)
{
    struct Case {
        bool setting;
        bool shown;
        bool image;
    };
    for (const Case c : {Case{false, true, true}, Case{true, false, true}, Case{true, true, false}}) {
        settings_ = DefaultSettings();
        settings_.using_background_image = c.setting;
        Viewer viewer(settings_);
        viewer.InitGl();
        viewer.ResizeView(kWidth, kHeight);
        viewer.SetBackgroundImage(c.image ? QuadrantImage() : nullptr, "quadrants", 3, c.shown);
        EXPECT_EQ(viewer.background.shown, c.shown && c.image);
        viewer.DrawFrame(FrameMode::Render);
        const auto pixels = context_.ReadPixelsTopDown();
        viewer.ReleaseGl();
        for (size_t i = 0; i < pixels.size(); ++i) ASSERT_NEAR(pixels[i], 77, 1) << c.setting << c.shown << c.image;
    }
}

// A quality change uploads the same pixels again at the new size on the next frame; a gamma
// change uploads them again too.
TEST_F(GlRender, BackgroundTextureFollowsQualityAndGamma)
{
    settings_ = DefaultSettings();
    settings_.using_background_image = 1;
    settings_.gamma_value = 1.0f;
    Viewer viewer(settings_);
    viewer.InitGl();
    viewer.ResizeView(kWidth, kHeight);
    auto image = std::make_shared<Texture>();
    image->width = 2;
    image->height = 2;
    image->pixels.assign(12, 128);
    viewer.SetBackgroundImage(image, "grey", 3, true);
    auto frame = [&] {
        viewer.DrawFrame(FrameMode::Render);
        GLint width = 0;
        glBindTexture(GL_TEXTURE_2D, viewer.background.texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glBindTexture(GL_TEXTURE_2D, 0);
        return std::pair{width, int{context_.ReadPixelsTopDown()[0]}};
    };
    EXPECT_EQ(frame(), (std::pair{128, 128}));
    viewer.SetBackgroundQuality(0);
    EXPECT_EQ(frame(), (std::pair{16, 128}));
    settings_.gamma_value = 1.7f;
    EXPECT_EQ(frame(), (std::pair{16, 170}));  // 128 -> 170 at gamma 1.7
    viewer.ReleaseGl();
    EXPECT_EQ(viewer.background.texture, 0u);
}

// The chosen light colour lights the model (diffuse and specular); the light's ambient term stays
// black. So a red light changes only the red channel against a black light (which leaves the
// scene's global ambient light alone), and takes green and blue away from a white light's picture.
TEST_F(GlRender, LightColourReachesDiffuseAndSpecularOnly)
{
    Settings settings = DefaultSettings();
    settings.axes = 0;
    settings.bounding_box = 0;
    auto light = [](GLenum which) {
        std::array<float, 4> value{};
        glGetLightfv(GL_LIGHT0, which, value.data());
        return value;
    };
    auto withLight = [&](std::array<float, 3> colour) {
        auto model = CubeModel();
        return Render(*model, settings, 35, 25, [colour](Viewer& viewer) { viewer.SetLightColour(colour); });
    };
    auto cube = CubeModel();
    const auto white = Render(*cube, settings);
    EXPECT_EQ(light(GL_DIFFUSE), (std::array<float, 4>{1, 1, 1, 1}));  // white by default
    const auto black = withLight({0, 0, 0});
    const auto red = withLight({1, 0, 0});
    EXPECT_EQ(light(GL_DIFFUSE), (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_EQ(light(GL_SPECULAR), (std::array<float, 4>{1, 0, 0, 1}));
    EXPECT_EQ(light(GL_AMBIENT), (std::array<float, 4>{0, 0, 0, 1}));
    int otherChannels = 0, redder = 0, lessGreen = 0;
    for (size_t i = 0; i < red.size(); i += 3) {
        if (std::abs(red[i + 1] - black[i + 1]) > 1 || std::abs(red[i + 2] - black[i + 2]) > 1) ++otherChannels;
        if (red[i] > black[i] + 20) ++redder;
        if (white[i + 1] > red[i + 1] + 20) ++lessGreen;
    }
    EXPECT_EQ(otherChannels, 0);
    EXPECT_GT(redder, kWidth * kHeight / 10);
    EXPECT_GT(lessGreen, kWidth * kHeight / 10);
}

// A stored light colour of black is the one never chosen: white.
TEST_F(GlRender, StoredBlackLightColourMeansWhite)
{
    EXPECT_EQ(StoredLightColour({0, 0, 0}), (std::array<float, 3>{1, 1, 1}));
    EXPECT_EQ(StoredLightColour({0.5f, 0, 0}), (std::array<float, 3>{0.5f, 0, 0}));
    EXPECT_EQ(StoredLightColour({0, 0, 1}), (std::array<float, 3>{0, 0, 1}));
    settings_ = DefaultSettings();
    Viewer viewer(settings_);
    viewer.InitGl();
    viewer.ApplyStoredLightColour({0, 0, 0});
    EXPECT_EQ(viewer.lightColor, (std::array<float, 3>{1, 1, 1}));
    viewer.ApplyStoredLightColour({0, 0.25f, 0});
    std::array<float, 4> diffuse{};
    glGetLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse.data());
    EXPECT_EQ(diffuse, (std::array<float, 4>{0, 0.25f, 0, 1}));
    viewer.ReleaseGl();
}

// Frames for the texture tests: flat colours (no light, gamma 1), nothing but the model.
Settings PictureSettings(bool texturing)
{
    Settings settings = DefaultSettings();
    settings.texturing = texturing ? 1 : 0;
    settings.light = 0;
    settings.gamma_value = 1.0f;
    settings.axes = 0;
    settings.bounding_box = 0;
    return settings;
}

const uint8_t* PixelAt(const std::vector<uint8_t>& pixels, int x, int y)
{
    return &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
}

TEST_F(GlRender, ObjTextureMapIsPlacedByTheCornersOwnCoordinates)
{
    // A picture of four quarters, top red and green, bottom blue and yellow, on a square whose
    // texture coordinates are listed out of vertex order: only "v/vt" puts each colour in its corner.
    test::ScratchDir scratch;
    constexpr int kSide = 16;
    std::vector<uint8_t> picture;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const bool right = x >= kSide / 2, bottom = y >= kSide / 2;
            picture.push_back(bottom == right ? 255 : 0);  // red top left, yellow bottom right
            picture.push_back(right ? 255 : 0);
            picture.push_back(bottom && !right ? 255 : 0);
        }
    }
    ASSERT_TRUE(WritePng((scratch.Path() / "square picture.png").string(), kSide, kSide, picture));
    scratch.Write("square.mtl", "newmtl pic\nKa 1 1 1\nKd 1 1 1\nmap_Kd -s 1 1 1 -clamp on square picture.png\n");
    const std::string obj = scratch.Write("square.obj",
                                          "mtllib square.mtl\n"
                                          "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                                          "vt 1 1\nvt 0 0\nvt 0 1\nvt 1 0\n"
                                          "usemtl pic\nf 1/2 2/4 3/1 4/3\n");
    auto loaded = test::Load(obj);
    ASSERT_NE(loaded.model, nullptr);
    ASSERT_EQ(loaded.model->TextureCount(), 1);
    const auto pixels = Render(*loaded.model, PictureSettings(true), 0, 0);
    struct Corner {
        int x, y;
        int r, g, b;
    };
    const Corner corners[] = {{kWidth / 2 - 25, kHeight / 2 - 25, 255, 0, 0},
                              {kWidth / 2 + 25, kHeight / 2 - 25, 0, 255, 0},
                              {kWidth / 2 - 25, kHeight / 2 + 25, 0, 0, 255},
                              {kWidth / 2 + 25, kHeight / 2 + 25, 255, 255, 0}};
    for (const Corner& corner : corners) {
        const uint8_t* p = PixelAt(pixels, corner.x, corner.y);
        EXPECT_NEAR(p[0], corner.r, 24) << corner.x << "," << corner.y;
        EXPECT_NEAR(p[1], corner.g, 24) << corner.x << "," << corner.y;
        EXPECT_NEAR(p[2], corner.b, 24) << corner.x << "," << corner.y;
    }
    // Texturing off: the material's own white.
    auto plain = test::Load(obj);
    ASSERT_NE(plain.model, nullptr);
    const auto untextured = Render(*plain.model, PictureSettings(false), 0, 0);
    for (const Corner& corner : corners) {
        const uint8_t* p = PixelAt(untextured, corner.x, corner.y);
        EXPECT_GT(std::min({p[0], p[1], p[2]}), 230) << corner.x << "," << corner.y;
    }
}

TEST_F(GlRender, CorpusModelsShowTheirPictures)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto models = test::SharedDir() / "corpus" / "models";
    for (const char* name : {"OBJ/rifle.obj", "OBJ/spider.obj", "3DS/cube_with_diffuse_texture.3DS", "X/test.x",
                             "LWO/LWO2/boxuv.lwo"}) {
        SCOPED_TRACE(name);
        auto textured = test::Load((models / name).string());
        auto plain = test::Load((models / name).string());
        ASSERT_NE(textured.model, nullptr);
        ASSERT_NE(plain.model, nullptr);
        ASSERT_GE(textured.model->TextureCount(), 1);
        const auto with = Render(*textured.model, PictureSettings(true));
        const auto without = Render(*plain.model, PictureSettings(false));
        // Pixels of the model: not the background; of those, the ones the picture changed.
        int model = 0, changed = 0;
        for (size_t i = 0; i < with.size(); i += 3) {
            const bool background = std::abs(int(without[i]) - 77) <= 1 && std::abs(int(without[i + 1]) - 77) <= 1 &&
                                    std::abs(int(without[i + 2]) - 77) <= 1;
            if (background) continue;
            ++model;
            for (int c = 0; c < 3; ++c) {
                if (std::abs(int(with[i + c]) - int(without[i + c])) > 24) {
                    ++changed;
                    break;
                }
            }
        }
        EXPECT_GT(model, kWidth * kHeight / 20);
        EXPECT_GT(changed, model / 3) << changed << " of " << model << " model pixels";
    }
}

TEST_F(GlRender, MiddleDragCarriesThePivotWithThePointer)
{
    for (const bool zoomedIn : {false, true}) {
        SCOPED_TRACE(zoomedIn ? "zoomed in" : "as loaded");
        auto model = CubeModel();
        Render(*model, DefaultSettings(), 0, 0);
        if (zoomedIn) WheelSteps(viewer_->camera, settings_, 3);
        viewer_->LocatePivot();
        const int x = viewer_->camera.pivotScreenX, y = viewer_->camera.pivotScreenY;
        // Window coordinates have y downwards, the pivot's position y upwards.
        MiddleButtonDown(viewer_->camera, 50, 50);
        PointerMove(viewer_->camera, settings_, viewer_->view, viewer_->box, 70, 60, 0);
        PointerMove(viewer_->camera, settings_, viewer_->view, viewer_->box, 90, 40, 0);
        MiddleButtonUp(viewer_->camera, 90, 40);
        viewer_->LocatePivot();
        EXPECT_NEAR(viewer_->camera.pivotScreenX, x + 40, 1);
        EXPECT_NEAR(viewer_->camera.pivotScreenY, y + 10, 1);
    }
}

TEST_F(GlRender, HardwareReportNamesTheRenderer)
{
    GlView view;
    EXPECT_EQ(HardwareReportText(view), "No 3D hardware report available.");
    BuildHardwareReport(view);
    const std::string text = HardwareReportText(view);
    EXPECT_EQ(text.rfind("Vendor: ", 0), 0u);
    EXPECT_NE(text.find("\r\nInfo: "), std::string::npos);
    EXPECT_NE(text.find("\r\nVersion: OpenGL "), std::string::npos);
    EXPECT_EQ(HardwareReportText(view), text);  // shown twice, the same text
    EXPECT_STREQ(PixelFormatLine("llvmpipe (LLVM 15.0.6, 256 bits)"), "Using generic pixel format.");
    EXPECT_STREQ(PixelFormatLine("AMD Radeon RX 6600"), "Using accelerated pixel format without generic format.");
}

}  // namespace
}  // namespace solvane
