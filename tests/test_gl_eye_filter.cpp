// The eye filter drawn headless: the colour wash mixes the picture with its colour by its amount,
// the image layer stretches its image over the view by its alpha, the image goes first and the
// wash over it, and captures carry both.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "tests/gl_test_support.h"
#include "viewer/capture.h"

namespace solvane {
namespace {

using test::CubeModel;
using test::HeadlessView;

constexpr int kWidth = 96;
constexpr int kHeight = 72;

// An image of the given size whose bottom half is one colour and top half another (rows bottom
// first, as the image readers give them).
std::shared_ptr<const Texture> TwoToneImage(int width, int height, std::array<uint8_t, 3> bottom, std::array<uint8_t, 3> top)
{
    auto image = std::make_shared<Texture>();
    image->name = "/images/two-tone.bmp";
    image->width = width;
    image->height = height;
    image->pixels.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto& colour = y < height / 2 ? bottom : top;
            for (int c = 0; c < 3; ++c) image->pixels[(static_cast<size_t>(y) * width + x) * 3 + c] = colour[c];
        }
    }
    return image;
}

uint8_t Level(float value)
{
    return static_cast<uint8_t>(std::lround(value * 255.0f));
}

class GlEyeFilter : public ::testing::Test {
protected:
    void SetUp() override
    {
        Settings settings = DefaultSettings();
        settings.gamma_value = 1.0f;  // the maps leave every level as it is
        if (!view_.Create(kWidth, kHeight, settings)) GTEST_SKIP() << "no headless GL: " << view_.Error();
        view_.Show(CubeModel());
    }

    EyeFilter& filter() { return view_.viewer().eyeFilter; }
    void SetWash(std::array<float, 3> colour, float amount)
    {
        Settings& s = view_.settings();
        s.ef_color_r = colour[0];
        s.ef_color_g = colour[1];
        s.ef_color_b = colour[2];
        s.eye_filter_amount = amount;
        filter().washOn = true;
    }

    HeadlessView view_;
};

// Every pixel of the frame equals the expected colour within the tolerance.
::testing::AssertionResult AllPixelsAre(const std::vector<uint8_t>& pixels, std::array<uint8_t, 3> expected, int tolerance)
{
    for (size_t i = 0; i < pixels.size(); i += 3) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(int(pixels[i + c]) - int(expected[c])) > tolerance) {
                return ::testing::AssertionFailure() << "pixel " << i / 3 << " channel " << c << " is "
                                                     << int(pixels[i + c]) << ", expected " << int(expected[c]);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST_F(GlEyeFilter, WashOfAmountZeroLeavesThePictureUnchanged)
{
    const std::vector<uint8_t> plain = view_.Frame();
    SetWash({1, 0, 1}, 0.0f);
    EXPECT_EQ(view_.Frame(), plain);
}

TEST_F(GlEyeFilter, WashOfAmountOneShowsOnlyItsColour)
{
    for (const std::array<float, 3> colour : {std::array<float, 3>{0, 1, 0}, {0.2f, 0.6f, 1.0f}, {1, 1, 1}}) {
        SetWash(colour, 1.0f);
        EXPECT_TRUE(AllPixelsAre(view_.Frame(), {Level(colour[0]), Level(colour[1]), Level(colour[2])}, 1));
    }
}

TEST_F(GlEyeFilter, WashMixesThePictureWithItsColourByTheAmount)
{
    const std::vector<uint8_t> plain = view_.Frame();
    SetWash({1, 1, 1}, 0.25f);
    const std::vector<uint8_t> washed = view_.Frame();
    for (size_t i = 0; i < plain.size(); ++i) {
        ASSERT_NEAR(washed[i], 0.75 * plain[i] + 0.25 * 255, 2) << "byte " << i;
    }
}

TEST_F(GlEyeFilter, ImageLayerIsStretchedOverTheViewByItsAlpha)
{
    const std::vector<uint8_t> plain = view_.Frame();
    // At the eye filter's texture size (32), so that the scaling leaves the image as it is.
    filter().SetImage(TwoToneImage(32, 32, {255, 0, 0}, {0, 0, 255}));
    filter().imageOn = true;
    filter().imageAlpha = 1.0f;
    const std::vector<uint8_t> covered = view_.Frame();
    // The upper half shows the image's top (blue), the lower half its bottom (red), edge to edge.
    for (int x : {0, kWidth / 2, kWidth - 1}) {
        const uint8_t* top = &covered[(kHeight / 4 * kWidth + x) * 3];
        const uint8_t* bottom = &covered[(kHeight * 3 / 4 * kWidth + x) * 3];
        EXPECT_NEAR(top[2], 255, 2);
        EXPECT_NEAR(top[0], 0, 2);
        EXPECT_NEAR(bottom[0], 255, 2);
        EXPECT_NEAR(bottom[2], 0, 2);
    }
    filter().imageAlpha = 0.5f;
    const std::vector<uint8_t> half = view_.Frame();
    const size_t top = (kHeight / 4 * kWidth + kWidth / 2) * 3;
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(half[top + c], 0.5 * plain[top + c] + 0.5 * covered[top + c], 2);
    filter().imageAlpha = 0.0f;
    EXPECT_EQ(view_.Frame(), plain);
}

TEST_F(GlEyeFilter, ImageIsLaidFirstAndTheWashOverIt)
{
    filter().SetImage(TwoToneImage(4, 4, {255, 0, 0}, {255, 0, 0}));
    filter().imageOn = true;
    filter().imageAlpha = 1.0f;
    SetWash({0, 0, 1}, 0.5f);
    // Red image, then half blue over it: purple. The other order would leave the opaque red.
    EXPECT_TRUE(AllPixelsAre(view_.Frame(), {128, 0, 128}, 2));
}

TEST_F(GlEyeFilter, LayersAreOffUntilSwitchedOn)
{
    const std::vector<uint8_t> plain = view_.Frame();
    filter().SetImage(TwoToneImage(4, 4, {255, 0, 0}, {255, 0, 0}));
    filter().imageAlpha = 1.0f;
    view_.settings().eye_filter_amount = 1.0f;
    EXPECT_EQ(view_.Frame(), plain);
    // The image switch without an image draws nothing either.
    filter().SetImage(nullptr);
    filter().imageOn = true;
    EXPECT_EQ(view_.Frame(), plain);
}

TEST_F(GlEyeFilter, ImageTextureFollowsQualityAndGammaAndSurvivesReleasedGl)
{
    filter().SetImage(TwoToneImage(8, 8, {128, 128, 128}, {128, 128, 128}));
    filter().imageOn = true;
    filter().imageAlpha = 1.0f;
    view_.Frame();
    EXPECT_NE(filter().texture, 0u);
    EXPECT_EQ(filter().uploadedQuality, 1);
    view_.settings().eyefilter_texture_quality = 4;
    view_.settings().gamma_value = 2.0f;
    const std::vector<uint8_t> brighter = view_.Frame();
    EXPECT_EQ(filter().uploadedQuality, 4);
    GLint side = 0;
    glBindTexture(GL_TEXTURE_2D, filter().texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &side);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(side, 256);
    // 128 at gamma 2.0 is uploaded as 255 * (128 / 255)^0.5.
    EXPECT_NEAR(brighter[(kHeight / 2 * kWidth + kWidth / 2) * 3], 180, 2);
    ReleaseEyeFilterGl(filter());
    EXPECT_EQ(filter().texture, 0u);
    EXPECT_EQ(view_.Frame(), brighter);
}

TEST_F(GlEyeFilter, CapturesCarryTheFilter)
{
    SetWash({0, 1, 0}, 1.0f);
    const std::unique_ptr<Texture> captured = CaptureView(view_.viewer());
    ASSERT_TRUE(captured);
    EXPECT_TRUE(AllPixelsAre(captured->pixels, {0, 255, 0}, 1));
}

}  // namespace
}  // namespace solvane
