// The PNG reader: every colour type and bit depth from pictures written here with libpng's
// encoder, damaged and hostile files, the corpus's PNG textures against values read with an
// independent decoder, and the models that name them.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "image/image.h"
#include "image/readers.h"
#include "image/texture_search.h"
#include "tests/image_test_support.h"
#include "tests/test_support.h"

namespace solvane::test {
namespace {

// What to encode: the stored samples of pixel (x, y) (y = 0 is the top row), channel c, at the
// file's bit depth.
struct PngPicture {
    int width = 5;
    int height = 3;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<png_color> palette{};
    std::vector<uint8_t> paletteAlpha{};  // tRNS of a palette picture
    int transparentGrey = -1;             // tRNS colour key of a grey or RGB picture (all channels)
    std::function<int(int x, int y, int c)> sample{};
};

void AppendToString(png_structp png, png_bytep data, size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

bool WriteRows(png_structp png, png_infop info, png_bytepp rows, bool packSamples)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_info(png, info);
    if (packSamples) png_set_packing(png);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

// The picture as a PNG file; empty when libpng refuses it.
std::string EncodePng(const PngPicture& picture)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::string out;
    png_set_write_fn(png, &out, AppendToString, nullptr);
    png_set_IHDR(png, info, picture.width, picture.height, picture.bitDepth, picture.colorType,
                 picture.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!picture.palette.empty()) {
        png_set_PLTE(png, info, picture.palette.data(), static_cast<int>(picture.palette.size()));
    }
    if (!picture.paletteAlpha.empty()) {
        png_set_tRNS(png, info, picture.paletteAlpha.data(), static_cast<int>(picture.paletteAlpha.size()), nullptr);
    }
    if (picture.transparentGrey >= 0) {
        png_color_16 key{};
        key.gray = key.red = key.green = key.blue = static_cast<png_uint_16>(picture.transparentGrey);
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    int channels = 1;
    switch (picture.colorType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: break;
    }
    // One byte per sample below 8 bits (libpng packs them), two bytes big-endian at 16.
    const int sampleBytes = picture.bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<uint8_t>> rowData(static_cast<size_t>(picture.height));
    std::vector<png_bytep> rows;
    for (int y = 0; y < picture.height; ++y) {
        auto& row = rowData[static_cast<size_t>(y)];
        for (int x = 0; x < picture.width; ++x) {
            for (int c = 0; c < channels; ++c) {
                const int value = picture.sample(x, y, c);
                if (sampleBytes == 2) row.push_back(static_cast<uint8_t>(value >> 8));
                row.push_back(static_cast<uint8_t>(value & 0xFF));
            }
        }
        rows.push_back(row.data());
    }
    if (!WriteRows(png, info, rows.data(), picture.bitDepth < 8)) out.clear();
    png_destroy_write_struct(&png, &info);
    return out;
}

std::span<const uint8_t> AsSpan(const std::string& bytes)
{
    return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

// The RGB the reader must give for pixel (x, y) (y = 0 top), memory row height - 1 - y.
::testing::AssertionResult HasPixels(const Texture* image, int width, int height,
                                     const std::function<std::array<int, 3>(int x, int y)>& expected)
{
    if (!image) return ::testing::AssertionFailure() << "refused";
    if (image->width != width || image->height != height) {
        return ::testing::AssertionFailure() << "size " << image->width << "x" << image->height;
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* got = &image->pixels[(static_cast<size_t>(height - 1 - y) * width + x) * 3];
            const auto want = expected(x, y);
            for (int c = 0; c < 3; ++c) {
                if (got[c] != want[c]) {
                    return ::testing::AssertionFailure() << "pixel " << x << "," << y << " channel " << c << ": "
                                                         << int{got[c]} << ", expected " << want[c];
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// 8-bit colour of each pixel of the test pictures, and grey levels 0..max.
std::array<int, 3> Colour(int x, int y)
{
    return {(x * 37 + 5) % 256, (y * 90 + 7) % 256, (x * 3 + y * 7) * 9 % 256};
}
int Grey(int x, int y, int max)
{
    return (x + y * 5) % (max + 1);
}

TEST(PngReader, EveryColourTypeAndDepthDecodesToRgbBottomRowFirst)
{
    const std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {10, 20, 30}, {200, 100, 50},
                                            {1, 2, 3},   {90, 80, 70}, {7, 7, 7},  {255, 255, 255}};
    struct Row {
        const char* what;
        PngPicture picture;
        std::function<std::array<int, 3>(int x, int y)> expected;
    };
    auto rgb = [](int x, int y, int c) { return c < 3 ? Colour(x, y)[static_cast<size_t>(c)] : (x * 60) % 256; };
    auto rgb16 = [](int x, int y, int c) { return (c < 3 ? Colour(x, y)[static_cast<size_t>(c)] : x * 60) * 257; };
    auto colour = [](int x, int y) { return Colour(x, y); };
    auto greyOf = [](int max, int scale) {
        return [max, scale](int x, int y) {
            const int g = Grey(x, y, max) * scale;
            return std::array<int, 3>{g, g, g};
        };
    };
    auto paletteColour = [&palette](int entries) {
        return [&palette, entries](int x, int y) {
            const png_color p = palette[static_cast<size_t>(Grey(x, y, entries - 1))];
            return std::array<int, 3>{p.red, p.green, p.blue};
        };
    };
    std::vector<Row> table = {
        {"RGB 8", {.sample = rgb}, colour},
        {"RGB 16", {.bitDepth = 16, .sample = rgb16}, colour},
        {"RGBA 8, alpha dropped", {.colorType = PNG_COLOR_TYPE_RGB_ALPHA, .sample = rgb}, colour},
        {"RGBA 16", {.colorType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 16, .sample = rgb16}, colour},
        {"RGB 8 interlaced", {.width = 11, .height = 9, .interlaced = true, .sample = rgb}, colour},
        {"RGBA 16 interlaced",
         {.width = 9, .height = 10, .colorType = PNG_COLOR_TYPE_RGB_ALPHA, .bitDepth = 16, .interlaced = true,
          .sample = rgb16},
         colour},
        {"grey 8", {.colorType = PNG_COLOR_TYPE_GRAY, .sample = [](int x, int y, int) { return Grey(x, y, 255) * 13; }},
         [](int x, int y) {
             const int g = Grey(x, y, 255) * 13;
             return std::array<int, 3>{g, g, g};
         }},
        {"grey 8 with a tRNS key",
         {.colorType = PNG_COLOR_TYPE_GRAY, .transparentGrey = 13, .sample = [](int x, int y, int) { return Grey(x, y, 255) * 13; }},
         [](int x, int y) {
             const int g = Grey(x, y, 255) * 13;
             return std::array<int, 3>{g, g, g};
         }},
        {"RGB 16 with a tRNS key", {.bitDepth = 16, .transparentGrey = 5 * 257, .sample = rgb16}, colour},
        {"grey 16", {.colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16,
                     .sample = [](int x, int y, int) { return Grey(x, y, 14) * 17 * 257; }},
         greyOf(14, 17)},
        {"grey 1", {.colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 1, .sample = [](int x, int y, int) { return Grey(x, y, 1); }},
         greyOf(1, 255)},
        {"grey 2", {.colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 2, .sample = [](int x, int y, int) { return Grey(x, y, 3); }},
         greyOf(3, 85)},
        {"grey 4 interlaced",
         {.width = 13, .height = 7, .colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 4, .interlaced = true,
          .sample = [](int x, int y, int) { return Grey(x, y, 15); }},
         greyOf(15, 17)},
        {"grey+alpha 8",
         {.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .sample = [](int x, int y, int c) { return c == 0 ? Grey(x, y, 15) * 17 : 0; }},
         greyOf(15, 17)},
        {"grey+alpha 16",
         {.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .bitDepth = 16,
          .sample = [](int x, int y, int c) { return c == 0 ? Grey(x, y, 15) * 17 * 257 : 65535; }},
         greyOf(15, 17)},
        {"palette 1", {.colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 1, .palette = {palette.begin(), palette.begin() + 2},
                       .sample = [](int x, int y, int) { return Grey(x, y, 1); }},
         paletteColour(2)},
        {"palette 2", {.colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 2, .palette = {palette.begin(), palette.begin() + 4},
                       .sample = [](int x, int y, int) { return Grey(x, y, 3); }},
         paletteColour(4)},
        {"palette 4 with tRNS, alpha dropped",
         {.colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 4, .palette = palette, .paletteAlpha = {0, 128, 255},
          .sample = [](int x, int y, int) { return Grey(x, y, 8); }},
         paletteColour(9)},
        {"palette 8 interlaced with tRNS",
         {.width = 10, .height = 10, .colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 8, .interlaced = true,
          .palette = palette, .paletteAlpha = {0},
          .sample = [](int x, int y, int) { return Grey(x, y, 8); }},
         paletteColour(9)},
        {"one pixel", {.width = 1, .height = 1, .sample = rgb}, colour},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        const std::string bytes = EncodePng(row.picture);
        ASSERT_FALSE(bytes.empty());
        const auto image = DecodePng(AsSpan(bytes));
        EXPECT_TRUE(HasPixels(image.get(), row.picture.width, row.picture.height, row.expected));
    }
}

// ---- damaged and hostile files ----

struct Chunk {
    std::string type;
    std::string data;
};

// The chunks of a PNG file after its signature (lengths and CRCs taken as written).
std::vector<Chunk> Chunks(const std::string& bytes)
{
    std::vector<Chunk> chunks;
    size_t at = 8;
    while (at + 12 <= bytes.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
        const uint32_t length = (uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
        chunks.push_back({bytes.substr(at + 4, 4), bytes.substr(at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

// A file of these chunks, each with its right CRC.
std::string Join(const std::vector<Chunk>& chunks)
{
    std::string out = "\x89PNG\r\n\x1a\n";
    for (const Chunk& chunk : chunks) {
        const std::string body = chunk.type + chunk.data;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
        out += Bytes().Be32(static_cast<uint32_t>(chunk.data.size())).Text(body).Be32(static_cast<uint32_t>(crc)).data;
    }
    return out;
}

std::string WithHeaderSize(const std::string& bytes, uint32_t width, uint32_t height)
{
    std::vector<Chunk> chunks = Chunks(bytes);
    chunks[0].data.replace(0, 8, Bytes().Be32(width).Be32(height).data);
    return Join(chunks);
}

// The file with one byte of the named chunk's CRC changed.
std::string WithBadCrc(const std::string& bytes, const std::string& type)
{
    std::string out = bytes;
    const size_t at = out.find(type);
    const auto* p = reinterpret_cast<const uint8_t*>(out.data() + at - 4);
    const uint32_t length = (uint32_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    out[at + 4 + length + 3] ^= 0x5A;
    return out;
}

std::string SmallRgb()
{
    return EncodePng({.width = 7, .height = 5, .sample = [](int x, int y, int c) { return Colour(x, y)[static_cast<size_t>(c)]; }});
}

TEST(PngReader, DamagedAndHostileFilesAreRefused)
{
    const std::string good = SmallRgb();
    ASSERT_NE(DecodePng(AsSpan(good)), nullptr);
    const std::vector<Chunk> chunks = Chunks(good);
    ASSERT_EQ(chunks.front().type, "IHDR");
    ASSERT_EQ(chunks.back().type, "IEND");

    std::string damagedData = good;
    damagedData[good.find("IDAT") + 8] ^= 0x40;  // deflate stream changed, CRC no longer matches
    std::string damagedDataRightCrc;
    {
        std::vector<Chunk> c = chunks;
        for (Chunk& chunk : c) {
            if (chunk.type == "IDAT") chunk.data[chunk.data.size() - 1] ^= 0x01;  // the Adler-32 checksum
        }
        damagedDataRightCrc = Join(c);
    }
    std::vector<Chunk> noImageData;
    for (const Chunk& chunk : chunks) {
        if (chunk.type != "IDAT") noImageData.push_back(chunk);
    }
    std::string badColourType = good;
    {
        std::vector<Chunk> c = chunks;
        c[0].data[9] = 5;  // no such colour type
        badColourType = Join(c);
    }
    struct Row {
        const char* what;
        std::string bytes;
    };
    const Row table[] = {
        {"empty", ""},
        {"not a PNG signature", "\x89PNX" + good.substr(4)},
        {"cut inside the header chunk", good.substr(0, 20)},
        {"cut inside the image data", good.substr(0, good.find("IDAT") + 12)},
        {"cut before the end chunk", good.substr(0, good.size() - 12)},
        {"bad CRC of the header", WithBadCrc(good, "IHDR")},
        {"bad CRC of the image data", WithBadCrc(good, "IDAT")},
        {"bad CRC of the end chunk", WithBadCrc(good, "IEND")},
        {"damaged image data", damagedData},
        {"bad Adler-32 under a right CRC", damagedDataRightCrc},
        {"no image data", Join(noImageData)},
        {"unknown colour type", badColourType},
        {"zero width", WithHeaderSize(good, 0, 5)},
        {"zero height", WithHeaderSize(good, 7, 0)},
        {"width above 16384", WithHeaderSize(good, 16385, 5)},
        {"height above 16384", WithHeaderSize(good, 7, 16385)},
        {"2^31 a side", WithHeaderSize(good, 0x80000000u, 0x80000000u)},
        // 805 MB of pixels promised by a few bytes of image data: refused before allocating.
        {"16384 square over a tiny image", WithHeaderSize(good, 16384, 16384)},
    };
    for (const Row& row : table) {
        EXPECT_EQ(DecodePng(AsSpan(row.bytes)), nullptr) << row.what;
    }
    // A chunk that claims more bytes than the file holds (libpng would allocate its length before
    // finding the end): refused whether or not checksums are checked.
    std::string longChunk = good.substr(0, good.size() - 12);
    longChunk += Bytes().Be32(0x6E004D66).Text("tEXtdate:create").data;
    EXPECT_EQ(DecodePng(AsSpan(longChunk)), nullptr);
    EXPECT_EQ(DecodePng(AsSpan(longChunk), false), nullptr);
    EXPECT_EQ(DecodePng(AsSpan(WithHeaderSize(good, 16384, 16384)), false), nullptr);
    // Only the checksums stood in the way of these: the fuzzing mode reads them.
    EXPECT_NE(DecodePng(AsSpan(WithBadCrc(good, "IDAT")), false), nullptr);
    EXPECT_NE(DecodePng(AsSpan(WithBadCrc(good, "IHDR")), false), nullptr);
}

TEST(PngReader, EveryTruncationIsRefused)
{
    EXPECT_EQ(TruncationSweep(SmallRgb(), [](std::span<const uint8_t> bytes) { return DecodePng(bytes); }), 0);
    const std::string interlaced = EncodePng(
        {.width = 9, .height = 6, .colorType = PNG_COLOR_TYPE_PALETTE, .bitDepth = 2,
         .interlaced = true, .palette = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}},
         .sample = [](int x, int y, int) { return Grey(x, y, 3); }});
    EXPECT_EQ(TruncationSweep(interlaced, [](std::span<const uint8_t> bytes) { return DecodePng(bytes); }), 0);
}

TEST(PngReader, DamagedAncillaryChunkIsSkippedAndTheLargestSideIsRead)
{
    std::vector<Chunk> chunks = Chunks(SmallRgb());
    chunks.insert(chunks.begin() + 1, Chunk{"tEXt", std::string("Comment\0hello", 13)});
    const std::string withText = WithBadCrc(Join(chunks), "tEXt");
    EXPECT_TRUE(HasPixels(DecodePng(AsSpan(withText)).get(), 7, 5, Colour));

    const std::string wide = EncodePng({.width = kMaxImageSide, .height = 2, .sample = [](int x, int y, int c) {
                                            return (x + y + c) % 256;
                                        }});
    const auto image = DecodePng(AsSpan(wide));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, kMaxImageSide);
    // Bottom row (y = 1) first: its last pixel holds (16383 + 1 + c) % 256.
    const size_t last = (static_cast<size_t>(kMaxImageSide) - 1) * 3;
    EXPECT_EQ(image->pixels[last], 0);
    EXPECT_EQ(image->pixels[last + 2], 2);
}

// ---- files, names and the models that name them ----

TEST(PngDispatch, NamesAndFilesReachTheReader)
{
    EXPECT_STREQ(ImageFormatName(Format::Png), "PNG");
    EXPECT_EQ(ImageFormatFromName("maps/Wood.PNG"), Format::Png);
    ScratchDir scratch;
    const std::string png = scratch.Write("models/Wood.png", SmallRgb());
    EXPECT_TRUE(HasPixels(LoadImageFile(png.c_str(), Format::Png).get(), 7, 5, Colour));
    EXPECT_EQ(LoadImageFile((scratch.Path() / "missing.png").string().c_str(), Format::Png), nullptr);
    // Chosen in a chooser: quotes removed, the last three characters pick the reader.
    EXPECT_TRUE(HasPixels(LoadChosenImage("\"" + png + "\"").get(), 7, 5, Colour));
    const std::string unnamed = scratch.Write("picture.gif", SmallRgb());
    EXPECT_EQ(LoadChosenImage(unnamed), nullptr);
    // The texture search finds it under a Windows path, in another case, beside the model.
    const std::string model = (scratch.Path() / "models" / "house.3ds").string();
    EXPECT_TRUE(HasPixels(LoadTextureImage("C:\\maps\\WOOD.PNG", model).get(), 7, 5, Colour));

    std::string output;
    EXPECT_EQ(RunCommand(std::string(SOLVANE_CLI_PATH) + " image --json '" + png + "'", &output), 0);
    EXPECT_NE(output.find("\"ok\":true,\"formatId\":26,\"format\":\"PNG\",\"width\":7,\"height\":5"), std::string::npos)
        << output;
}

// Pixels of the corpus's PNG textures as ImageMagick reads them: (x, y from the top, RGB).
struct KnownPixel {
    int x, y;
    std::array<int, 3> rgb;
};

::testing::AssertionResult HasKnownPixels(const Texture& image, std::initializer_list<KnownPixel> pixels)
{
    for (const KnownPixel& p : pixels) {
        const uint8_t* got = &image.pixels[(static_cast<size_t>(image.height - 1 - p.y) * image.width + p.x) * 3];
        if (got[0] != p.rgb[0] || got[1] != p.rgb[1] || got[2] != p.rgb[2]) {
            return ::testing::AssertionFailure() << "pixel " << p.x << "," << p.y << " is " << int{got[0]} << ","
                                                 << int{got[1]} << "," << int{got[2]};
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(PngCorpus, TexturesMatchAnIndependentDecoder)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto models = SharedDir() / "corpus" / "models";
    auto test = LoadImageFile((models / "3DS" / "test.png").string().c_str(), Format::Png);
    ASSERT_NE(test, nullptr);
    EXPECT_TRUE(HasKnownPixels(*test, {{100, 200, {50, 169, 253}}, {300, 50, {125, 252, 49}}}));
    auto uv = LoadImageFile((models / "LWO" / "LWO2" / "uvtest.png").string().c_str(), Format::Png);
    ASSERT_NE(uv, nullptr);
    EXPECT_TRUE(HasKnownPixels(*uv, {{100, 200, {200, 200, 200}}, {300, 50, {100, 100, 100}}}));
}

TEST(PngCorpus, ModelsNamingPngTexturesLoadWithThem)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto models = SharedDir() / "corpus" / "models";
    struct Row {
        const char* model;
        const char* picture;  // the file the texture is
    };
    const Row table[] = {
        {"3DS/cube_with_diffuse_texture.3DS", "3DS/test.png"},  // named TEST.PNG
        {"X/test.x", "X/test.png"},                              // named .\test.png
        {"LWO/LWO2/boxuv.lwo", "LWO/LWO2/boxuv.png"},
        {"LWO/LWO2/uvtest.lwo", "LWO/LWO2/uvtest.png"},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.model);
        const auto loaded = Load((models / row.model).string());
        ASSERT_NE(loaded.model, nullptr) << loaded.code;
        const Model& model = *loaded.model;
        ASSERT_EQ(model.TextureCount(), 1);
        EXPECT_EQ(model.hasTextures, 1);
        const Texture& texture = model.textures[0];
        EXPECT_EQ(texture.width, 512);
        EXPECT_EQ(texture.height, 512);
        const auto file = LoadImageFile((models / row.picture).string().c_str(), Format::Png);
        ASSERT_NE(file, nullptr);
        EXPECT_TRUE(texture.pixels == file->pixels);
        for (const Material& material : model.materials) EXPECT_EQ(material.textureIndex, 0) << material.name;
    }
}

}  // namespace
}  // namespace solvane::test
