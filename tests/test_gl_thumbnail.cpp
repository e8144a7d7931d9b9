// Thumbnails for file managers: the area-averaging crop and shrink, and `solvane-cli thumbnail` on
// samples and corpus models at the sizes file managers ask for (a PNG no larger than asked, the
// model on a transparent background), and its failures (no output file, status not 0).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

#include "tests/test_support.h"
#include "viewer/thumbnail.h"

namespace solvane {
namespace {

namespace fs = std::filesystem;

RgbaImage Transparent(int width, int height)
{
    RgbaImage image;
    image.width = width;
    image.height = height;
    image.pixels.assign(static_cast<size_t>(width) * height * 4, 0);
    return image;
}

void Paint(RgbaImage& image, int left, int top, int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    for (int y = top; y < top + height; ++y) {
        for (int x = left; x < left + width; ++x) {
            uint8_t* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
            p[0] = r;
            p[1] = g;
            p[2] = b;
            p[3] = a;
        }
    }
}

const uint8_t* Pixel(const RgbaImage& image, int x, int y)
{
    return &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
}

TEST(ThumbnailShrink, CropsToWhatIsCoveredAndKeepsASmallPartAsItIs)
{
    RgbaImage picture = Transparent(100, 50);
    Paint(picture, 10, 5, 20, 10, 200, 30, 40);
    const RgbaImage small = CropAndShrink(picture, 256);
    ASSERT_EQ(small.width, 20);
    ASSERT_EQ(small.height, 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 20; ++x) EXPECT_EQ(std::vector<uint8_t>(Pixel(small, x, y), Pixel(small, x, y) + 4),
                                               (std::vector<uint8_t>{200, 30, 40, 255}));
    }
    EXPECT_EQ(CropAndShrink(Transparent(8, 8), 16).width, 0);  // nothing covered: no picture
}

TEST(ThumbnailShrink, LongestSideFitsAndAspectStays)
{
    struct Case {
        int width, height, size, expectedWidth, expectedHeight;
    };
    for (const Case& c : {Case{300, 100, 128, 128, 43}, Case{100, 300, 256, 85, 256}, Case{512, 512, 128, 128, 128},
                          Case{1000, 3, 100, 100, 1}}) {
        RgbaImage picture = Transparent(c.width + 4, c.height + 4);
        Paint(picture, 2, 2, c.width, c.height, 90, 90, 90);
        const RgbaImage shrunk = CropAndShrink(picture, c.size);
        EXPECT_EQ(shrunk.width, c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(shrunk.height, c.expectedHeight) << c.width << "x" << c.height;
        EXPECT_EQ(Pixel(shrunk, shrunk.width / 2, shrunk.height / 2)[3], 255);
    }
}

TEST(ThumbnailShrink, EdgesAverageCoverageWithoutTheBackgroundsColour)
{
    // Alternate covered red and uncovered green columns: halved, each pixel is half covered and red.
    RgbaImage picture = Transparent(8, 2);
    for (int x = 0; x < 8; x += 2) {
        Paint(picture, x, 0, 1, 2, 255, 0, 0);
        Paint(picture, x + 1, 0, 1, 2, 0, 255, 0, 0);
    }
    Paint(picture, 7, 0, 1, 2, 255, 0, 0);  // the crop ends at a covered column
    const RgbaImage shrunk = CropAndShrink(picture, 4);
    ASSERT_EQ(shrunk.width, 4);
    ASSERT_EQ(shrunk.height, 1);
    for (int x = 0; x < 3; ++x) {
        const uint8_t* p = Pixel(shrunk, x, 0);
        EXPECT_EQ(p[0], 255);
        EXPECT_EQ(p[1], 0);
        EXPECT_NEAR(p[3], 128, 1);
    }
}

// Runs solvane-cli with the arguments; its exit status.
int RunCli(const std::string& arguments)
{
    std::string output;
    return test::RunCommand(std::string("'" SOLVANE_CLI_PATH "' ") + arguments + " 2>/dev/null", &output);
}

std::string Quoted(const fs::path& path)
{
    std::string quoted = "'";
    quoted += path.string();
    quoted += '\'';
    return quoted;
}

// A thumbnail as file managers want it: no side above size, the longest side at size (the models
// are drawn larger than that and shrunk), transparent around the model and opaque on it.
void ExpectThumbnail(const fs::path& png, int size)
{
    RgbaImage image;
    ASSERT_TRUE(ReadPngRgba(png.string(), image)) << png;
    EXPECT_EQ(std::max(image.width, image.height), size);
    size_t clear = 0, opaque = 0;
    for (size_t i = 3; i < image.pixels.size(); i += 4) {
        clear += image.pixels[i] == 0;
        opaque += image.pixels[i] == 255;
    }
    const size_t total = image.pixels.size() / 4;
    EXPECT_GT(clear, 0u);
    EXPECT_GT(opaque, total / 10);
    // A lit model, not a flat silhouette.
    std::set<uint32_t> shades;
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        if (image.pixels[i + 3] == 255) {
            shades.insert(image.pixels[i] << 16 | image.pixels[i + 1] << 8 | image.pixels[i + 2]);
        }
    }
    EXPECT_GT(shades.size(), 16u);
}

TEST(ThumbnailCommand, CorpusModelsAt128And256)
{
    const auto objs = test::CorpusFiles("models/OBJ", {".obj"}, false);
    const auto studio = test::CorpusFiles("models/3DS", {".3ds"}, false);
    ASSERT_FALSE(objs.empty());
    ASSERT_FALSE(studio.empty());
    const fs::path spider = objs.front().parent_path() / "spider.obj";
    test::ScratchDir out;
    for (const fs::path& model : {spider, studio.front()}) {
        for (const int size : {128, 256}) {
            SCOPED_TRACE(model.string() + " at " + std::to_string(size));
            const fs::path png = out.Path() / (std::string("thumb ") + std::to_string(size) + ".png");
            ASSERT_EQ(RunCli(std::string("thumbnail -s ") + std::to_string(size) + " " + Quoted(model) + " " + Quoted(png)), 0);
            ExpectThumbnail(png, size);
        }
    }
}

TEST(ThumbnailCommand, SampleWithTheDefaultSizeAndALongOption)
{
    test::ScratchDir out;
    const fs::path teapot = test::SourceDir() / "samples" / "teapot.obj";
    ASSERT_EQ(RunCli(std::string("thumbnail ") + Quoted(teapot) + " " + Quoted(out.Path() / "a.png")), 0);
    ExpectThumbnail(out.Path() / "a.png", 256);
    ASSERT_EQ(RunCli(std::string("thumbnail --size=48 ") + Quoted(teapot) + " " + Quoted(out.Path() / "b.png")), 0);
    ExpectThumbnail(out.Path() / "b.png", 48);
}

TEST(ThumbnailCommand, FailuresWriteNothing)
{
    test::ScratchDir dir;
    const fs::path out = dir.Path() / "out.png";
    const std::string empty = dir.Write("empty.obj", "");
    const std::string teapot = (test::SourceDir() / "samples" / "teapot.obj").string();
    struct Case {
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {std::string("thumbnail -s 128 ") + Quoted(dir.Path() / "missing.obj") + " " + Quoted(out), 1},
        {std::string("thumbnail -s 128 ") + Quoted(empty) + " " + Quoted(out), 1},
        {std::string("thumbnail -s 128 ") + Quoted(teapot) + " " + Quoted(dir.Path() / "no folder" / "out.png"), 1},
        {std::string("thumbnail -s 0 ") + Quoted(teapot) + " " + Quoted(out), 2},
        {std::string("thumbnail -s 12x ") + Quoted(teapot) + " " + Quoted(out), 2},
        {std::string("thumbnail -s 4096 ") + Quoted(teapot) + " " + Quoted(out), 2},
        {std::string("thumbnail -s 128 ") + Quoted(teapot), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(RunCli(c.arguments), c.status);
        EXPECT_FALSE(fs::exists(out));
    }
    // Nothing is left beside the output either, and an older output stays as it was.
    const std::string old = dir.Write("out.png", "older picture");
    EXPECT_EQ(RunCli(std::string("thumbnail -s 64 ") + Quoted(empty) + " " + Quoted(old)), 1);
    EXPECT_EQ(test::ReadFileBytes(old), "older picture");
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.Path())) ++files;
    EXPECT_EQ(files, 2u);
}

}  // namespace
}  // namespace solvane
