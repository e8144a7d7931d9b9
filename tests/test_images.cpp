// The BMP, TGA, PPM and PCX readers through LoadImageFile: the shared corpus against its
// reference decodes, hand-made files for each rule, hostile headers, truncation, and the
// command-line image subcommand.
#include <climits>
#include <cstdio>

#include "image/texture_search.h"
#include "tests/image_test_support.h"

namespace solvane::test {
namespace {

// Test picture: pixel (x, y), y counted from the top, has colour (40x + 1, 50y + 2, x + y + 3).
std::array<uint8_t, 3> Pattern(int x, int y)
{
    return {static_cast<uint8_t>(40 * x + 1), static_cast<uint8_t>(50 * y + 2), static_cast<uint8_t>(x + y + 3)};
}

// Checks a bottom-row-first (or top-row-first) decode against Pattern.
void ExpectPattern(const Texture& image, int width, int height, bool bottomRowFirst)
{
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    ASSERT_EQ(image.pixels.size(), static_cast<size_t>(width * height * 3));
    for (int r = 0; r < height; ++r) {
        const int y = bottomRowFirst ? height - 1 - r : r;
        for (int x = 0; x < width; ++x) {
            const auto want = Pattern(x, y);
            const uint8_t* got = image.pixels.data() + (r * width + x) * 3;
            EXPECT_EQ(got[0], want[0]) << "row " << r << " x " << x;
            EXPECT_EQ(got[1], want[1]) << "row " << r << " x " << x;
            EXPECT_EQ(got[2], want[2]) << "row " << r << " x " << x;
        }
    }
}

std::string MakePcxForTextures();

// ---- corpus ----

TEST(ImageCorpus, BmpFilesMatchReferencesOrAreRefused) { CheckImageCorpus("BMP", ".bmp", Format::Bmp, true); }
TEST(ImageCorpus, TgaFilesMatchReferencesOrAreRefused) { CheckImageCorpus("TGA", ".tga", Format::Tga, true); }
TEST(ImageCorpus, PcxFilesMatchReferencesTopRowFirst) { CheckImageCorpus("PCX", ".pcx", Format::Pcx, false); }

// The references sit beside the PPM inputs with the same extension and are skipped.
TEST(ImageCorpus, PpmFilesMatchReferencesOrAreRefused) { CheckImageCorpus("PPM", ".ppm", Format::Ppm, true); }

TEST(ImageDispatch, IdsWithoutReaderAndMissingFilesGiveNoImage)
{
    ScratchDir scratch;
    const std::string ppm = scratch.Write("a.rgb", "P6 1 1 255\nabc");
    EXPECT_NE(LoadImageFile(ppm.c_str(), Format::Ppm), nullptr);
    EXPECT_EQ(LoadImageFile(ppm.c_str(), Format::SgiRgb), nullptr);
    EXPECT_EQ(LoadImageFile(ppm.c_str(), Format::Unknown), nullptr);
    EXPECT_EQ(LoadImageFile(ppm.c_str(), Format::Obj), nullptr);
    const std::string missing = (scratch.Path() / "missing.bmp").string();
    for (FormatId id : {Format::Pcx, Format::Bmp, Format::Tga, Format::Ppm, Format::Iff}) {
        EXPECT_EQ(LoadImageFile(missing.c_str(), id), nullptr) << id;
    }
}

TEST(ImageDispatch, TextureNamesLoadRealImagesBesideTheModel)
{
    ScratchDir scratch;
    const std::string picture = scratch.Write("models/Wall.PCX", MakePcxForTextures());
    const std::string model = (scratch.Path() / "models" / "house.3ds").string();
    struct Row {
        const char* what;
        std::string name;
    };
    const Row table[] = {
        {"the name as stored", picture},
        {"last component beside the model", "C:\\maps\\Wall.PCX"},
        {"last component in another case", "textures/wall.pcx"},
    };
    for (const Row& row : table) {
        auto image = LoadTextureImage(row.name, model);
        ASSERT_NE(image, nullptr) << row.what;
        EXPECT_EQ(image->width, 3);
        EXPECT_EQ(image->height, 2);
    }
    EXPECT_EQ(LoadTextureImage("missing.pcx", model), nullptr);
}

// ---- BMP ----

struct BmpFields {
    int32_t width = 3;
    int32_t height = 2;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    uint32_t infoSize = 40;
    int64_t pixelOffset = -1;  // -1: right after the info header
};

// A BMP with the given header and pixel data.
std::string MakeBmp(const BmpFields& f, const std::string& pixels)
{
    const uint32_t offset = f.pixelOffset >= 0 ? static_cast<uint32_t>(f.pixelOffset) : 14 + f.infoSize;
    std::string out = Bytes().Text("BM").Le32(offset + static_cast<uint32_t>(pixels.size())).Le32(0).Le32(offset)
                          .Le32(f.infoSize).Le32(f.width).Le32(f.height).Le16(1).Le16(f.bitCount).Le32(f.compression)
                          .Le32(f.imageSize).data;
    out.resize(std::max<size_t>(out.size(), 14 + f.infoSize), '\0');
    out.resize(std::max<size_t>(out.size(), offset), '\0');
    return out + pixels;
}

// Pattern as 24-bit BMP rows (blue, green, red; padded to 4 bytes), bottom row first unless topDown.
std::string BmpPatternRows(int width, int height, bool topDown)
{
    std::string rows;
    for (int i = 0; i < height; ++i) {
        const int y = topDown ? i : height - 1 - i;
        std::string row;
        for (int x = 0; x < width; ++x) {
            const auto c = Pattern(x, y);
            row += {static_cast<char>(c[2]), static_cast<char>(c[1]), static_cast<char>(c[0])};
        }
        row.resize((row.size() + 3) / 4 * 4, '\0');
        rows += row;
    }
    return rows;
}

TEST(BmpReader, Decodes24BitRowsBottomUpAndTopDown)
{
    ScratchDir scratch;
    const std::string bottomUp = MakeBmp({}, BmpPatternRows(3, 2, false));
    const std::string topDown = MakeBmp({.height = -2}, BmpPatternRows(3, 2, true));
    for (const std::string& bytes : {bottomUp, topDown}) {
        auto image = LoadBytes(scratch, "p.bmp", bytes, Format::Bmp);
        ASSERT_NE(image, nullptr);
        ExpectPattern(*image, 3, 2, true);
    }
    // An image-size field that covers more than the rows is fine; the rows are taken from its start.
    auto padded = LoadBytes(scratch, "p.bmp", MakeBmp({.imageSize = 40}, BmpPatternRows(3, 2, false) + std::string(16, 'x')), Format::Bmp);
    ASSERT_NE(padded, nullptr);
    ExpectPattern(*padded, 3, 2, true);
    // An image-size field that runs past the end of the file, as some writers leave it (the rifle
    // texture of the 3D Studio corpus): the rows the file holds are read.
    auto overstated = LoadBytes(scratch, "o.bmp", MakeBmp({.imageSize = 64}, BmpPatternRows(3, 2, false)), Format::Bmp);
    ASSERT_NE(overstated, nullptr);
    ExpectPattern(*overstated, 3, 2, true);
}

TEST(BmpReader, OtherKindsReadAsBlackImagesOfTheStatedSize)
{
    struct Row {
        const char* what;
        BmpFields fields;
        size_t dataBytes;
    };
    const Row rows[] = {
        {"32-bit", {.width = 5, .height = 3, .bitCount = 32}, 60},
        {"8-bit palette", {.width = 5, .height = -3, .bitCount = 8, .infoSize = 40 + 1024}, 24},
        {"1-bit", {.width = 33, .height = 2, .bitCount = 1}, 16},
        {"bitfields 16-bit", {.width = 2, .height = 2, .bitCount = 16, .compression = 3}, 8},
        {"RLE8", {.width = 5, .height = 3, .bitCount = 8, .compression = 1, .imageSize = 2}, 2},
    };
    ScratchDir scratch;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto image = LoadBytes(scratch, "k.bmp", MakeBmp(row.fields, std::string(row.dataBytes, '\x7f')), Format::Bmp);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, row.fields.width);
        EXPECT_EQ(image->height, std::abs(row.fields.height));
        EXPECT_EQ(image->pixels, std::vector<uint8_t>(image->pixels.size(), 0));
        EXPECT_EQ(image->pixels.size(), static_cast<size_t>(image->width * image->height * 3));
    }
}

std::string WithPixelOffset(std::string bytes, uint32_t offset)
{
    return bytes.replace(10, 4, Bytes().Le32(offset).data);
}

TEST(BmpReader, HostileHeadersAreRefused)
{
    const std::string rows = BmpPatternRows(3, 2, false);
    struct Row {
        const char* what;
        std::string bytes;
    };
    std::string badSignature = MakeBmp({}, rows);
    badSignature[1] = 'A';
    const Row table[] = {
        {"wrong signature", badSignature},
        {"width 0", MakeBmp({.width = 0}, rows)},
        {"negative width", MakeBmp({.width = -3}, rows)},
        {"height 0", MakeBmp({.height = 0}, rows)},
        {"height INT_MIN", MakeBmp({.height = INT_MIN}, rows)},
        {"width above the side limit", MakeBmp({.width = kMaxImageSide + 1, .height = 1}, std::string(49156, '\0'))},
        {"huge picture, tiny file", MakeBmp({.width = kMaxImageSide, .height = kMaxImageSide}, rows)},
        {"huge 32-bit picture with a small image size", MakeBmp({.width = 16000, .height = 16000, .bitCount = 32, .imageSize = 24}, rows)},
        {"huge RLE picture from two bytes", MakeBmp({.width = 16000, .height = 16000, .bitCount = 8, .compression = 1, .imageSize = 2}, "\0\1")},
        {"image size below the rows", MakeBmp({.imageSize = 23}, rows)},
        {"pixel offset beyond the file", WithPixelOffset(MakeBmp({}, rows), 1000)},
        {"pixel offset inside the info header", MakeBmp({.pixelOffset = 40}, rows)},
        {"12-byte core header", MakeBmp({.infoSize = 12}, rows)},
        {"uncompressed bit count 0", MakeBmp({.bitCount = 0}, rows)},
        {"uncompressed bit count 7", MakeBmp({.bitCount = 7}, rows)},
    };
    ScratchDir scratch;
    for (const Row& row : table) {
        EXPECT_EQ(LoadBytes(scratch, "h.bmp", row.bytes, Format::Bmp), nullptr) << row.what;
    }
}

TEST(BmpReader, EveryTruncationIsRefused)
{
    EXPECT_EQ(TruncationSweep(MakeBmp({.width = 5, .height = 3}, BmpPatternRows(5, 3, false)), DecodeBmp), 0);
    EXPECT_EQ(TruncationSweep(MakeBmp({.width = 5, .height = -3, .imageSize = 48}, BmpPatternRows(5, 3, true)), DecodeBmp), 0);
}

// ---- TGA ----

std::string MakeTga(uint8_t type, int width, int height, uint8_t depth, uint8_t descriptor, const std::string& data,
                    const std::string& id = "", uint8_t colorMapType = 0)
{
    return Bytes().U8(static_cast<uint32_t>(id.size())).U8(colorMapType).U8(type).Zeros(9).Le16(width).Le16(height)
               .U8(depth).U8(descriptor).Text(id).Text(data).data;
}

std::string TgaPixel(int x, int y, bool withAlpha)
{
    const auto c = Pattern(x, y);
    std::string pixel = {static_cast<char>(c[2]), static_cast<char>(c[1]), static_cast<char>(c[0])};
    if (withAlpha) pixel += '\x80';
    return pixel;
}

// Pattern pixels in file order: top row first when topFirst, else bottom row first.
std::string TgaPatternPixels(int width, int height, bool topFirst, bool withAlpha)
{
    std::string out;
    for (int i = 0; i < height; ++i) {
        for (int x = 0; x < width; ++x) out += TgaPixel(x, topFirst ? i : height - 1 - i, withAlpha);
    }
    return out;
}

TEST(TgaReader, OriginBitsDecideTheRowOrder)
{
    struct Row {
        uint8_t descriptor;
        bool topFirst;
        uint8_t depth;
    };
    // Either origin bit (0x20 top, 0x10 right) marks a file whose first row is the top.
    const Row table[] = {{0x00, false, 24}, {0x20, true, 24}, {0x10, true, 24}, {0x30, true, 24},
                         {0x08, false, 32}, {0x28, true, 32}, {0x18, true, 32}};
    ScratchDir scratch;
    for (const Row& row : table) {
        SCOPED_TRACE(testing::Message() << "descriptor " << int{row.descriptor} << " depth " << int{row.depth});
        const std::string bytes =
            MakeTga(2, 4, 3, row.depth, row.descriptor, TgaPatternPixels(4, 3, row.topFirst, row.depth == 32), "id!");
        auto image = LoadBytes(scratch, "o.tga", bytes, Format::Tga);
        ASSERT_NE(image, nullptr);
        ExpectPattern(*image, 4, 3, true);
    }
}

TEST(TgaReader, RunLengthPacketsCrossRowsAndMayRunPastThePicture)
{
    // 3x2, bottom row first in the file: one run of 4 pixels of colour A, then a raw packet that
    // claims 4 pixels of which only the 2 the picture still needs are present.
    const std::string a = "\x10\x20\x30";
    const std::string data = std::string("\x83") + a + "\x03" + "\x01\x02\x03" + "\x04\x05\x06";
    ScratchDir scratch;
    auto image = LoadBytes(scratch, "r.tga", MakeTga(10, 3, 2, 24, 0, data), Format::Tga);
    ASSERT_NE(image, nullptr);
    const std::vector<uint8_t> want = {0x30, 0x20, 0x10, 0x30, 0x20, 0x10, 0x30, 0x20, 0x10,
                                       0x30, 0x20, 0x10, 0x03, 0x02, 0x01, 0x06, 0x05, 0x04};
    EXPECT_EQ(image->pixels, want);
    // A run packet that covers more than the whole picture.
    auto runs = LoadBytes(scratch, "r.tga", MakeTga(10, 3, 2, 32, 0x28, std::string("\xff") + a + "\xff"), Format::Tga);
    ASSERT_NE(runs, nullptr);
    for (size_t i = 0; i < runs->pixels.size(); i += 3) EXPECT_EQ(runs->pixels[i], 0x30);
}

TEST(TgaReader, HostileFilesAreRefused)
{
    const std::string pixels = TgaPatternPixels(2, 2, false, false);
    const std::string tiny(12, '\0');
    struct Row {
        const char* what;
        std::string bytes;
    };
    const Row table[] = {
        {"empty", ""},
        {"colour map present", MakeTga(2, 2, 2, 24, 0, pixels, "", 1)},
        {"colour-mapped type", MakeTga(1, 2, 2, 24, 0, pixels)},
        {"greyscale type", MakeTga(3, 2, 2, 24, 0, pixels)},
        {"16-bit depth", MakeTga(2, 2, 2, 16, 0, pixels)},
        {"alpha bits on 24-bit", MakeTga(2, 2, 2, 24, 8, pixels)},
        {"4 alpha bits on 32-bit", MakeTga(2, 2, 2, 32, 4, pixels + pixels)},
        {"interleaving bits", MakeTga(2, 2, 2, 24, 0x40, pixels)},
        {"width 0", MakeTga(2, 0, 2, 24, 0, pixels)},
        {"height 0", MakeTga(10, 2, 0, 24, 0, pixels)},
        {"side above the limit", MakeTga(10, kMaxImageSide + 1, 1, 24, 0, std::string("\xff\0\0\0", 4) + std::string(600, '\xff'))},
        {"huge raw picture, tiny file", MakeTga(2, 65535, 65535, 24, 0, pixels)},
        {"huge run-length picture, tiny file", MakeTga(10, 16384, 16384, 24, 0, tiny)},
        {"identification field past the end", MakeTga(2, 1, 1, 24, 0, "", std::string(64, 'i')).substr(0, 40)},
        {"raw pixels missing", MakeTga(2, 2, 2, 24, 0, pixels.substr(0, 11))},
        {"end of file inside a run packet", MakeTga(10, 2, 2, 24, 0, "\x83\x01\x02")},
        {"end of file inside a raw packet", MakeTga(10, 2, 2, 24, 0, std::string("\x03").append(pixels, 0, 10))},
        {"packets stop before the picture ends", MakeTga(10, 2, 2, 24, 0, "\x82\x01\x02\x03")},
    };
    ScratchDir scratch;
    for (const Row& row : table) {
        EXPECT_EQ(LoadBytes(scratch, "h.tga", row.bytes, Format::Tga), nullptr) << row.what;
    }
}

TEST(TgaReader, EveryTruncationIsRefused)
{
    EXPECT_EQ(TruncationSweep(MakeTga(2, 5, 3, 32, 8, TgaPatternPixels(5, 3, false, true), "abc"), DecodeTga), 0);
    const std::string packets = std::string("\x84") + "\x01\x02\x03" + "\x09" + TgaPatternPixels(5, 2, false, false);
    EXPECT_EQ(TruncationSweep(MakeTga(10, 5, 3, 24, 0, packets), DecodeTga), 0);
}

// ---- PPM ----

TEST(PpmReader, DecodesSamplesBottomRowFirstWithScaling)
{
    struct Row {
        const char* what;
        std::string bytes;
        std::vector<uint8_t> pixels;  // bottom row first
    };
    const Row table[] = {
        {"P6 maxval 255", std::string("P6\n2 2\n255\n") + "\x01\x02\x03\x04\x05\x06" + "\x07\x08\x09\x0a\x0b\x0c",
         {7, 8, 9, 10, 11, 12, 1, 2, 3, 4, 5, 6}},
        {"P3 maxval 15", "P3 2 1 15 15 0 1  2 7 14", {255, 0, 17, 34, 119, 238}},
        {"P3 comments between tokens", "P3\n# c1\n1\n#c2 more\n1\n# c3\n255 #c4\n9 # c5\n8\n#\n7\n", {9, 8, 7}},
        {"P6 comment in the header", std::string("P6 1 #x\n1 255\n") + "\xfe\x80\x01", {254, 128, 1}},
        {"P6 maxval 1", std::string("P6 1 1 1 ") + std::string("\x01\x00\x01", 3), {255, 0, 255}},
        {"P3 samples above maxval and negative clamp", "P3 1 1 100 200 -5 50", {255, 0, 127}},
        {"P3 numbers taken from leading digits", "P3 1x 1y 255z 12ab cd +7", {12, 0, 7}},
        {"P6 separator byte is any byte", std::string("P6 1 1 255\t") + "\t\t\t", {9, 9, 9}},
    };
    ScratchDir scratch;
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        auto image = LoadBytes(scratch, "p.ppm", row.bytes, Format::Ppm);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixels, row.pixels);
    }
}

TEST(PpmReader, MalformedFilesAreRefused)
{
    const char* table[] = {
        "", "P5 1 1 255 abc", "P6", "P6 1", "P6 1 1", "P6 1 1 0 abc", "P6 1 1 -1 abc", "P6 0 1 255 abc",
        "P6 1 -1 255 abc", "P6 16385 1 255 abc", "P6 16384 16384 255 abc", "P6 2 1 255 abcde",
        "P6 1 1 255abc", "P3 1 1 255 1 2", "P3 1 1 255 1 2 #3", "P3 99999999999999999999 1 255 1 2 3",
        "P3 16384 16384 255 1 2 3", "# only a comment",
    };
    ScratchDir scratch;
    for (const char* text : table) EXPECT_EQ(LoadBytes(scratch, "m.ppm", text, Format::Ppm), nullptr) << text;
}

TEST(PpmReader, LongWordsSplitIntoTokensOf255Characters)
{
    // 255 digits read as one (saturated) sample, the 256th character as the next one.
    const std::string text = "P3 1 1 255 " + std::string(255, '0') + "9 8";
    ScratchDir scratch;
    auto image = LoadBytes(scratch, "w.ppm", text, Format::Ppm);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels, (std::vector<uint8_t>{0, 9, 8}));
}

TEST(PpmReader, TruncatedBinaryFilesAreRefused)
{
    std::string bytes = "P6 4 3 255\n";
    for (int i = 0; i < 36; ++i) bytes += static_cast<char>(i * 7);
    EXPECT_EQ(TruncationSweep(bytes, DecodePpm), 0);
    TruncationSweep("P3\n# c\n2 1\n255\n1 2 3 4 5 6\n", DecodePpm);
}

// ---- PCX ----

struct PcxFields {
    int xmin = 0;
    int xmax = 2;
    int ymax = 1;
    int bytesPerLine = 3;
};

// A PCX with the given header, run-length data, and a palette where entry i is (i, 255 - i, i / 2).
std::string MakePcx(const PcxFields& f, const std::string& data)
{
    Bytes b;
    b.Raw({10, 5, 1, 8}).Le16(f.xmin).Le16(f.xmin).Le16(f.xmax).Le16(f.ymax).Zeros(53).U8(1).Le16(f.bytesPerLine);
    b.Zeros(60).Text(data).U8(12);
    for (int i = 0; i < 256; ++i) b.U8(i).U8(255 - i).U8(i / 2);
    return b.data;
}

std::string MakePcxForTextures()
{
    return MakePcx({}, "\xc6\x05");
}

std::vector<uint8_t> PcxColours(const std::vector<int>& indices)
{
    std::vector<uint8_t> out;
    for (int i : indices) out.insert(out.end(), {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)});
    return out;
}

TEST(PcxReader, DecodesRunsTopRowFirst)
{
    struct Row {
        const char* what;
        PcxFields fields;
        std::string data;
        std::vector<int> indices;  // top row first
    };
    const Row table[] = {
        {"literals and a run", {}, "\x01\xc2\x07\x09\x0a\x0b", {1, 7, 7, 9, 10, 11}},
        {"xmin does not narrow the picture", {.xmin = 1}, "\x01\xc2\x07\x09\x0a\x0b", {1, 7, 7, 9, 10, 11}},
        {"run crossing rows, cut at the end", {}, "\x05\xff\xc8", {5, 0xc8, 0xc8, 0xc8, 0xc8, 0xc8}},
        {"run of 0 consumes its value", {}, "\xc0\x33\xc6\x02", {2, 2, 2, 2, 2, 2}},
        {"bytes per line below width", {.bytesPerLine = 1}, "\xc3\x04\xc3\x05", {4, 4, 4, 5, 5, 5}},
        {"pad byte of each row dropped", {.bytesPerLine = 4}, "\x01\x02\x03\x11\x04\xc2\x05\x11", {1, 2, 3, 4, 5, 5}},
        {"run over the pad byte", {.bytesPerLine = 4}, "\x01\x02\xc3\x06\x07\x08\x09", {1, 2, 6, 6, 7, 8}},
    };
    ScratchDir scratch;
    for (const Row& row : table) {
        SCOPED_TRACE(row.what);
        auto image = LoadBytes(scratch, "p.pcx", MakePcx(row.fields, row.data), Format::Pcx);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 3);
        EXPECT_EQ(image->height, 2);
        EXPECT_EQ(image->pixels, PcxColours(row.indices));
    }
}

TEST(PcxReader, HostileFilesAreRefused)
{
    struct Row {
        const char* what;
        std::string bytes;
    };
    const std::string valid = MakePcx({}, "\xc6\x01");
    const Row table[] = {
        {"short header", valid.substr(0, 100)},
        {"no room for the palette", valid.substr(0, 128) + std::string(700, '\x01')},
        {"width above the limit", MakePcx({.xmax = kMaxImageSide, .ymax = 0}, std::string(800, '\xff'))},
        {"height above the limit", MakePcx({.xmax = 0, .ymax = 65535}, std::string(800, '\xff'))},
        {"huge picture, tiny data", MakePcx({.xmax = 16383, .ymax = 16383, .bytesPerLine = 16384}, "\xff\x01")},
        {"huge bytes per line, tiny data", MakePcx({.xmax = 0, .ymax = 16383, .bytesPerLine = 65535}, "\xff\x01")},
        {"data ends before the picture", MakePcx({}, "\x01\x02\x03")},
        {"run value missing", MakePcx({}, "\x01\x02\x03\x04\x05\xc1").erase(128 + 6, 1)},
    };
    ScratchDir scratch;
    for (const Row& row : table) {
        EXPECT_EQ(LoadBytes(scratch, "h.pcx", row.bytes, Format::Pcx), nullptr) << row.what;
    }
}

TEST(PcxReader, TruncationNeverBreaksTheRecord)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = CorpusFiles("images/PCX", {".pcx"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) TruncationSweep(ReadFileBytes(file), DecodePcx);
    // The palette is the last 768 bytes wherever the file ends, so only the cut of the last byte
    // (leaving the marker byte in the palette) still holds all the data; every other cut is refused.
    const std::string bytes = MakePcx({.xmax = 9, .ymax = 3, .bytesPerLine = 10}, std::string(40, '\x07'));
    EXPECT_EQ(TruncationSweep(bytes, DecodePcx), 1);
}

// ---- solvane-cli image ----

TEST(CliImage, OutWritesTheReferencePictureTopRowFirst)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const std::filesystem::path root = SharedDir() / "corpus" / "images";
    const char* files[][2] = {
        {"TGA/tga10_24_bottomleft_logo.tga", "TGA/tga10_24_bottomleft_logo.ref.ppm"},
        {"PCX/pcx8_rose.pcx", "PCX/pcx8_rose.ref.ppm"},
        {"BMP/bmp24_odd_37x23.bmp", "BMP/bmp24_odd_37x23.ref.ppm"},
    };
    ScratchDir scratch;
    for (const auto& pair : files) {
        SCOPED_TRACE(pair[0]);
        const std::filesystem::path out = scratch.Path() / "out.ppm";
        std::string output;
        const std::string command = std::string(SOLVANE_CLI_PATH) + " image '" + (root / pair[0]).string() +
                                    "' --out '" + out.string() + "'";
        ASSERT_EQ(RunCommand(command, &output), 0) << output;
        const std::string want = ReadFileBytes(root / pair[1]);
        ASSERT_FALSE(want.empty());
        EXPECT_TRUE(ReadFileBytes(out) == want);
    }
}

TEST(CliImage, ReportsFormatAndSizeAndExitCodes)
{
    ScratchDir scratch;
    const std::string ppm = scratch.Write("a.ppm", "P3 2 1 255 1 2 3 4 5 6");
    const std::string bad = scratch.Write("b.tga", "not a picture");
    const std::string cli = SOLVANE_CLI_PATH;
    std::string output;
    EXPECT_EQ(RunCommand(cli + " image --json '" + ppm + "'", &output), 0);
    EXPECT_NE(output.find("\"ok\":true,\"formatId\":21,\"format\":\"Portable RGB\",\"width\":2,\"height\":1"), std::string::npos)
        << output;
    EXPECT_EQ(RunCommand(cli + " image '" + ppm + "'", &output), 0);
    EXPECT_NE(output.find("Portable RGB"), std::string::npos) << output;
    EXPECT_NE(output.find("2x1"), std::string::npos) << output;
    EXPECT_EQ(RunCommand(cli + " image --json '" + bad + "' 2>/dev/null", &output), 1);
    EXPECT_NE(output.find("\"ok\":false,\"formatId\":19,\"format\":\"TGA\""), std::string::npos) << output;
    EXPECT_EQ(RunCommand(cli + " image 2>/dev/null", &output), 2);
    EXPECT_EQ(RunCommand(cli + " image --bogus '" + ppm + "' 2>/dev/null", &output), 2);
    EXPECT_EQ(RunCommand(cli + " image '" + ppm + "' '" + ppm + "' 2>/dev/null", &output), 2);
    EXPECT_EQ(RunCommand(cli + " image '" + ppm + "' --out 2>/dev/null", &output), 2);
}

}  // namespace
}  // namespace solvane::test
