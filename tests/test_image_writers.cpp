// The image writers: every type read back by our own readers, by ImageMagick
// when it is installed, textures kept in the row order our readers return, the PCX colour
// reduction, refusals that leave no file, and solvane-cli writing by extension.
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "core/writer_output.h"
#include "image/image_writer.h"
#include "tests/image_test_support.h"

namespace solvane::test {
namespace {

// A picture of width x height, row 0 at the bottom, whose pixels the function gives.
template <typename Color>
Texture MakePicture(int width, int height, Color color)
{
    Texture image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::array<uint8_t, 3> rgb = color(x, y);
            std::copy(rgb.begin(), rgb.end(), image.pixels.begin() + (static_cast<size_t>(y) * width + x) * 3);
        }
    }
    return image;
}

// 37 x 23 (odd: BMP rows and PCX lines are padded): 48 colours in blocks of 4 x 3 pixels, no
// two blocks of a column alike, so rows read back in the wrong order show.
Texture FewColors()
{
    return MakePicture(37, 23, [](int x, int y) {
        const int bx = x / 4, by = y / 3;
        return std::array<uint8_t, 3>{static_cast<uint8_t>(bx % 6 * 51), static_cast<uint8_t>(by % 5 * 60),
                                      static_cast<uint8_t>((bx + by) % 3 * 120)};
    });
}

// A smooth picture of several thousand colours.
Texture ManyColors()
{
    return MakePicture(64, 48, [](int x, int y) {
        return std::array<uint8_t, 3>{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5),
                                      static_cast<uint8_t>(128 + 60 * std::sin(x * 0.2) * std::cos(y * 0.3))};
    });
}

// Mean absolute difference per sample, with b's rows in the order given.
double MeanError(const Texture& a, const Texture& b, bool bTopRowFirst)
{
    if (a.width != b.width || a.height != b.height || b.pixels.size() != a.pixels.size()) return 1e9;
    const size_t rowLength = static_cast<size_t>(a.width) * 3;
    double sum = 0;
    for (int r = 0; r < a.height; ++r) {
        const int other = bTopRowFirst ? a.height - 1 - r : r;
        for (size_t i = 0; i < rowLength; ++i) {
            sum += std::abs(int{a.pixels[r * rowLength + i]} - int{b.pixels[other * rowLength + i]});
        }
    }
    return sum / static_cast<double>(a.pixels.size());
}

struct TypeCase {
    ImageFileType type;
    const char* name;
    FormatId readerId;   // our reader of the type
    double fewColorsError;   // the largest mean error allowed for FewColors
    double manyColorsError;  // and for ManyColors
};

// Lossless types must come back exactly; JPEG within its quantisation; PCX exactly while the
// picture has 256 colours or fewer.
const TypeCase kTypes[] = {
    {ImageFileType::Bmp, "out.bmp", Format::Bmp, 0, 0},
    {ImageFileType::Tga, "out.tga", Format::Tga, 0, 0},
    {ImageFileType::PpmBinary, "out.ppm", Format::Ppm, 0, 0},
    {ImageFileType::PpmAscii, "text.ppm", Format::Ppm, 0, 0},
    {ImageFileType::Pcx, "out.pcx", Format::Pcx, 0, 6},  // ImageMagick's reduction: 5.2
    {ImageFileType::Jpeg, "out.jpg", Format::Jpeg, 40, 3},
    {ImageFileType::Png, "out.png", Format::Png, 0, 0},
};

// Reads a written file back through our reader of its type.
std::unique_ptr<Texture> ReadBack(const std::string& path, FormatId id)
{
    return LoadImageFile(path.c_str(), id);
}

TEST(ImageWriters, EveryTypeReadsBackThroughOurReaders)
{
    ScratchDir scratch;
    const Texture pictures[] = {FewColors(), ManyColors()};
    for (const TypeCase& type : kTypes) {
        for (int p = 0; p < 2; ++p) {
            std::string trace = type.name;
            trace += p == 0 ? " few colours" : " many colours";
            SCOPED_TRACE(trace);
            const std::string path = (scratch.Path() / type.name).string();
            SaveContext ctx;
            ASSERT_TRUE(WriteImageFile(pictures[p], path, type.type, ImageWriteOptions(), ctx)) << ctx.error;
            EXPECT_TRUE(ctx.error.empty());
            struct stat info {};
            ASSERT_EQ(::stat(path.c_str(), &info), 0);
            EXPECT_EQ(ctx.done.load(), info.st_size);
            EXPECT_EQ(ctx.total.load(), info.st_size);
            std::unique_ptr<Texture> back = ReadBack(path, type.readerId);
            ASSERT_NE(back, nullptr);
            // The PCX reader keeps the file's top row first.
            EXPECT_LE(MeanError(pictures[p], *back, type.type == ImageFileType::Pcx),
                      p == 0 ? type.fewColorsError : type.manyColorsError);
        }
    }
}

// ImageMagick reads each file as the same picture. Its TGA reader leaves bottom-left rows as they
// are stored unless asked to orient them.
TEST(ImageWriters, ImageMagickReadsEveryType)
{
    if (std::system("convert -version >/dev/null 2>&1") != 0) GTEST_SKIP() << "ImageMagick (convert) is not installed";
    ScratchDir scratch;
    const Texture picture = FewColors();
    for (const TypeCase& type : kTypes) {
        SCOPED_TRACE(type.name);
        const std::string path = (scratch.Path() / type.name).string();
        SaveContext ctx;
        ASSERT_TRUE(WriteImageFile(picture, path, type.type, ImageWriteOptions(), ctx)) << ctx.error;
        const std::string ppm = (scratch.Path() / "magick.ppm").string();
        std::string output;
        ASSERT_EQ(RunCommand("convert '" + path + "' -auto-orient -depth 8 '" + ppm + "' 2>&1", &output), 0) << output;
        ReferenceImage reference;
        ASSERT_TRUE(ReadReference(ppm, reference));
        Texture magick;
        magick.width = reference.width;
        magick.height = reference.height;
        magick.pixels.assign(reference.pixels.begin(), reference.pixels.end());
        EXPECT_LE(MeanError(picture, magick, true), type.fewColorsError);
    }
}

// A texture comes back from our reader with its rows where they were, so that its texture
// coordinates still sample the same texels, PCX included.
TEST(ImageWriters, TexturesKeepTheirRowOrderThroughOurReaders)
{
    ScratchDir scratch;
    const Texture texture = FewColors();
    for (const TypeCase& type : kTypes) {
        if (type.type == ImageFileType::Jpeg) continue;
        SCOPED_TRACE(type.name);
        const std::string path = (scratch.Path() / type.name).string();
        SaveContext ctx;
        ASSERT_TRUE(WriteTextureImageFile(texture, path, type.type, ctx)) << ctx.error;
        std::unique_ptr<Texture> back = LoadImageFile(path.c_str(), type.readerId);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->pixels, texture.pixels);
    }
}

TEST(ImageWriters, PcxReducesToAPaletteOfTheMostUsedColours)
{
    const Texture few = FewColors();
    const PaletteImage exact = QuantizeColors({few.pixels.data(), few.width, few.height, false});
    std::set<std::array<uint8_t, 3>> colors;
    for (size_t i = 0; i < few.pixels.size(); i += 3) colors.insert({few.pixels[i], few.pixels[i + 1], few.pixels[i + 2]});
    EXPECT_EQ(exact.palette.size(), colors.size());

    // 257 colours: one too many for the exact palette.
    const Texture many = MakePicture(257, 3, [](int x, int y) {
        return std::array<uint8_t, 3>{static_cast<uint8_t>(x), static_cast<uint8_t>(x > 255 ? 7 : 0),
                                      static_cast<uint8_t>(y == 0 ? 0 : 0)};
    });
    const PaletteImage reduced = QuantizeColors({many.pixels.data(), many.width, many.height, false});
    ASSERT_LE(reduced.palette.size(), 256u);
    ASSERT_EQ(reduced.indices.size(), 257u * 3);
    int worst = 0;
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 257; ++x) {
            const uint8_t* rgb = &many.pixels[(static_cast<size_t>(2 - y) * 257 + x) * 3];
            const auto& entry = reduced.palette[reduced.indices[static_cast<size_t>(y) * 257 + x]];
            for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(int{rgb[c]} - int{entry[c]}));
        }
    }
    EXPECT_LE(worst, 8);  // within a 5-bit cell of the colour

    // A single colour over a big picture is one palette entry.
    const Texture flat = MakePicture(300, 200, [](int, int) { return std::array<uint8_t, 3>{10, 200, 30}; });
    EXPECT_EQ(QuantizeColors({flat.pixels.data(), flat.width, flat.height, false}).palette.size(), 1u);
}

TEST(ImageWriters, JpegQualityTradesSizeForFidelity)
{
    ScratchDir scratch;
    const Texture picture = ManyColors();
    double errors[2];
    uintmax_t sizes[2];
    const int qualities[2] = {20, 98};
    for (int i = 0; i < 2; ++i) {
        const std::string path = (scratch.Path() / (std::to_string(qualities[i]) + ".jpg")).string();
        ImageWriteOptions options;
        options.jpegQuality = qualities[i];
        SaveContext ctx;
        ASSERT_TRUE(WriteImageFile(picture, path, ImageFileType::Jpeg, options, ctx)) << ctx.error;
        std::unique_ptr<Texture> back = LoadImageFile(path.c_str(), Format::Jpeg);
        ASSERT_NE(back, nullptr);
        errors[i] = MeanError(picture, *back, false);
        sizes[i] = std::filesystem::file_size(path);
    }
    EXPECT_LT(errors[1], errors[0]);
    EXPECT_LT(sizes[0], sizes[1]);
}

TEST(ImageWriters, RefusalsLeaveNoFile)
{
    ScratchDir scratch;
    Texture empty;
    Texture tooWide = MakePicture(1, 1, [](int, int) { return std::array<uint8_t, 3>{0, 0, 0}; });
    tooWide.width = kMaxImageSide + 1;  // a picture that claims more than its pixels hold
    Texture tooTall = MakePicture(1, kMaxImageSide + 1, [](int, int) { return std::array<uint8_t, 3>{1, 2, 3}; });
    const struct {
        const Texture* picture;
        std::string path;
        const char* message;
    } cases[] = {
        {&empty, (scratch.Path() / "empty.bmp").string(), "no picture"},
        {&tooWide, (scratch.Path() / "wide.tga").string(), "no picture"},
        {&tooTall, (scratch.Path() / "tall.png").string(), "more than 16384 a side"},
        {&tooTall, (scratch.Path() / "no-folder" / "x.bmp").string(), "more than 16384"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        for (const TypeCase& type : kTypes) {
            SaveContext ctx;
            EXPECT_FALSE(WriteImageFile(*c.picture, c.path, type.type, ImageWriteOptions(), ctx));
            EXPECT_NE(ctx.error.find(c.message), std::string::npos) << ctx.error;
            EXPECT_FALSE(std::filesystem::exists(c.path));
        }
    }
    const Texture picture = FewColors();
    const std::string missing = (scratch.Path() / "no-folder" / "x.jpg").string();
    SaveContext ctx;
    EXPECT_FALSE(WriteImageFile(picture, missing, ImageFileType::Jpeg, ImageWriteOptions(), ctx));
    std::string expected = "Cannot write ";
    expected += missing;
    EXPECT_NE(ctx.error.find(expected), std::string::npos) << ctx.error;
}

TEST(ImageWriters, TypeComesFromTheExtension)
{
    const struct {
        const char* path;
        bool ppmAscii;
        std::optional<ImageFileType> type;
    } cases[] = {
        {"a.bmp", false, ImageFileType::Bmp},      {"dir.x/A.JPG", false, ImageFileType::Jpeg},
        {"a.jpeg", false, ImageFileType::Jpeg},    {"a.Pcx", false, ImageFileType::Pcx},
        {"a.ppm", false, ImageFileType::PpmBinary}, {"a.ppm", true, ImageFileType::PpmAscii},
        {"a.tga", false, ImageFileType::Tga},      {"a.png", false, ImageFileType::Png},
        {"a.gif", false, std::nullopt},            {"png", false, std::nullopt},
        {"dir.png/file", false, std::nullopt},     {"a.", false, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ImageFileTypeFromPath(c.path, c.ppmAscii), c.type) << c.path;
    }
    // The chooser's rows, in order, then PNG last.
    std::vector<std::string> texts;
    for (const ImageWriterRow& row : kImageWriterRows) texts.push_back(row.chooserText);
    EXPECT_EQ(texts, (std::vector<std::string>{"(.bmp) Windows bitmap (24 bit)", "(.jpg) JPEG",
                                               "(.pcx) PC Paintbrush (8-bit)", "(.ppm) Portable RGB ASCII (24 bit)",
                                               "(.ppm) Portable RGB Binary (24 bit)", "(.tga) TGA",
                                               "(.png) Portable Network Graphics"}));
}

// solvane-cli render writes the format its output name gives; identify agrees.
TEST(ImageWriters, CliRenderWritesByExtension)
{
    ScratchDir scratch;
    const std::string cli = SOLVANE_CLI_PATH;
    const std::string model = (SourceDir() / "samples" / "teapot.obj").string();
    const bool haveIdentify = std::system("identify -version >/dev/null 2>&1") == 0;
    const struct {
        const char* name;
        const char* options;
        const char* magick;
    } cases[] = {
        {"a.png", "", "PNG"}, {"a.bmp", "", "BMP"}, {"a.jpg", " --jpeg-quality 75", "JPEG"},
        {"a.pcx", "", "PCX"}, {"a.ppm", "", "PPM"}, {"b.ppm", " --ppm-ascii", "PPM"}, {"a.tga", "", "TGA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = (scratch.Path() / c.name).string();
        std::string output;
        const int status = RunCommand(cli + " render '" + model + "' '" + out + "' --size 80x60" + c.options + " 2>&1",
                                      &output);
        if (status == 3) GTEST_SKIP() << "no headless GL: " << output;
        ASSERT_EQ(status, 0) << output;
        const auto type = ImageFileTypeFromPath(out, std::string(c.options).find("ascii") != std::string::npos);
        ASSERT_TRUE(type);
        std::unique_ptr<Texture> back = ReadBack(out, ImageWriterRowFor(*type).formatId);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->width, 80);
        EXPECT_EQ(back->height, 60);
        if (haveIdentify) {
            ASSERT_EQ(RunCommand("identify -format '%m %wx%h' '" + out + "'", &output), 0);
            // ImageMagick names a BMP with a 40-byte header BMP3.
            const std::string format = output.substr(0, output.find(' '));
            EXPECT_TRUE(format == c.magick || (format == "BMP3" && c.magick == std::string("BMP"))) << output;
            EXPECT_NE(output.find(" 80x60"), std::string::npos) << output;
        }
    }
}

}  // namespace
}  // namespace solvane::test
