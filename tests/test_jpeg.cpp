// The JPEG decoder: the corpus against its reference decodes, refusals with their messages, and
// hand-made streams from a small encoder below (flat blocks, so every decoded sample is known).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "image/image.h"
#include "image/jpeg.h"
#include "image/jpeg_internal.h"
#include "tests/image_test_support.h"

namespace solvane {
namespace {

using test::CorpusFiles;
using test::ScratchDir;
using test::SharedDir;
using namespace std::string_literals;

// What ReadImage did with a stream: the bitmap, or the exception's message and kind.
struct Outcome {
    JpegBitmap bitmap;
    std::string message;  // empty when decoded
    std::string kind;
};

Outcome Decode(const std::string& bytes, JpegDecoder decoder = {})
{
    Outcome outcome;
    std::istringstream in(bytes);
    try {
        decoder.ReadImage(in, outcome.bitmap);
    } catch (const EJpegValueOutOfRange& error) {
        outcome = {{}, error.what(), "EJpegValueOutOfRange"};
    } catch (const EJpegBadData& error) {
        outcome = {{}, error.what(), "EJpegBadData"};
    } catch (const EJpegError& error) {
        outcome = {{}, error.what(), "EJpegError"};
    } catch (const EGraphicsException& error) {
        outcome = {{}, error.what(), "EGraphicsException"};
    }
    return outcome;
}

// ---------------------------------------------------------------------------------------------
// A small baseline/progressive encoder of flat blocks: each block carries only a DC value, so with
// every quantiser 8 a block decodes to 128 + dc in every sample.

class BitWriter {
public:
    void Put(uint32_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i) {
            current_ = static_cast<uint8_t>(current_ << 1 | ((value >> i) & 1));
            if (++filled_ == 8) Emit();
        }
    }
    // Pads with one bits to a byte boundary (F.1.2.3).
    std::string Finish()
    {
        while (filled_ != 0) Put(1, 1);
        std::string bytes;
        bytes.swap(bytes_);
        return bytes;
    }

private:
    void Emit()
    {
        bytes_ += static_cast<char>(current_);
        if (current_ == 0xFF) bytes_ += '\0';
        current_ = 0;
        filled_ = 0;
    }
    std::string bytes_;
    uint8_t current_ = 0;
    int filled_ = 0;
};

int Category(int value)
{
    int magnitude = std::abs(value);
    int bits = 0;
    while (magnitude) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

uint32_t MagnitudeBits(int value, int category)
{
    return static_cast<uint32_t>(value >= 0 ? value : value + (1 << category) - 1);
}

// The test tables: DC categories 0..15 and 17 with 5-bit codes equal to the symbol's position;
// AC symbols EOB, ZRL and every run/size with 8-bit codes equal to their position.
const std::vector<uint8_t>& DcSymbols()
{
    static const std::vector<uint8_t> symbols = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17};
    return symbols;
}
const std::vector<uint8_t>& AcSymbols()
{
    static const std::vector<uint8_t> symbols = [] {
        std::vector<uint8_t> list = {0x00, 0xF0};
        for (int run = 0; run < 16; ++run) {
            for (int size = 1; size <= 11; ++size) list.push_back(static_cast<uint8_t>(run << 4 | size));
        }
        for (int run = 1; run < 15; ++run) list.push_back(static_cast<uint8_t>(run << 4));  // EOB runs
        return list;
    }();
    return symbols;
}
uint32_t CodeOf(const std::vector<uint8_t>& symbols, int symbol)
{
    return static_cast<uint32_t>(std::find(symbols.begin(), symbols.end(), symbol) - symbols.begin());
}
void PutDc(BitWriter& bits, int difference)
{
    const int category = Category(difference);
    bits.Put(CodeOf(DcSymbols(), category), 5);
    bits.Put(MagnitudeBits(difference, category), category);
}
void PutAc(BitWriter& bits, int symbol, uint32_t extra = 0, int extraBits = 0)
{
    bits.Put(CodeOf(AcSymbols(), symbol), 8);
    bits.Put(extra, extraBits);
}

struct TestComponent {
    int horizontal = 1;
    int vertical = 1;
};

struct TestPicture {
    int width = 16;
    int height = 16;
    std::vector<TestComponent> components = std::vector<TestComponent>(1);
    // Quantised DC value of a component's block.
    std::function<int(int component, int blockRow, int blockColumn)> dc = [](int, int, int) { return 0; };
    int restartInterval = 0;
    bool progressive = false;  // DC first scan at Al 1, DC refinement, AC first scan per component
};

void Segment(std::string& out, uint8_t marker, const std::string& body)
{
    out += '\xFF';
    out += static_cast<char>(marker);
    out += static_cast<char>((body.size() + 2) >> 8);
    out += static_cast<char>((body.size() + 2) & 0xFF);
    out += body;
}

std::string Be16(int value)
{
    return {static_cast<char>(value >> 8), static_cast<char>(value & 0xFF)};
}

std::string JfifHeader()
{
    std::string out = "\xFF\xD8";
    Segment(out, 0xE0, std::string("JFIF\0\x01\x02\0\0\x01\0\x01\0\0", 14));
    return out;
}

std::string HuffmanSegmentBody(int tableClass, int index, int length, const std::vector<uint8_t>& symbols)
{
    std::string body(1, static_cast<char>(tableClass << 4 | index));
    for (int i = 1; i <= 16; ++i) body += static_cast<char>(i == length ? symbols.size() : 0);
    body.append(symbols.begin(), symbols.end());
    return body;
}

std::string Tables()
{
    std::string out;
    Segment(out, 0xDB, std::string(1, '\0') + std::string(64, '\x08'));
    Segment(out, 0xC4, HuffmanSegmentBody(0, 0, 5, DcSymbols()) + HuffmanSegmentBody(1, 0, 8, AcSymbols()));
    return out;
}

std::string FrameSegment(const TestPicture& picture)
{
    std::string body = "\x08" + Be16(picture.height) + Be16(picture.width);
    body += static_cast<char>(picture.components.size());
    for (size_t i = 0; i < picture.components.size(); ++i) {
        body += static_cast<char>(i + 1);
        body += static_cast<char>(picture.components[i].horizontal << 4 | picture.components[i].vertical);
        body += '\0';
    }
    std::string out;
    Segment(out, picture.progressive ? 0xC2 : 0xC0, body);
    return out;
}

std::string ScanHeader(const std::vector<int>& components, int start, int end, int high, int low)
{
    std::string body(1, static_cast<char>(components.size()));
    for (int c : components) body += {static_cast<char>(c + 1), '\0'};
    body += {static_cast<char>(start), static_cast<char>(end), static_cast<char>(high << 4 | low)};
    std::string out;
    Segment(out, 0xDA, body);
    return out;
}

// Entropy-coded data of one scan over the given components; block(bits, component, row, column)
// writes one block. Restart markers every picture.restartInterval MCUs.
std::string ScanData(const TestPicture& picture, const std::vector<int>& scanComponents,
                     const std::function<void(BitWriter&, int, int, int)>& block)
{
    int maxH = 1, maxV = 1;
    for (const TestComponent& c : picture.components) {
        maxH = std::max(maxH, c.horizontal);
        maxV = std::max(maxV, c.vertical);
    }
    int mcusWide = (picture.width + 8 * maxH - 1) / (8 * maxH);
    int mcusHigh = (picture.height + 8 * maxV - 1) / (8 * maxV);
    const bool single = scanComponents.size() == 1;
    if (single) {
        const TestComponent& c = picture.components[scanComponents[0]];
        mcusWide = ((picture.width * c.horizontal + maxH - 1) / maxH + 7) / 8;
        mcusHigh = ((picture.height * c.vertical + maxV - 1) / maxV + 7) / 8;
    }
    std::string out;
    BitWriter bits;
    int mcu = 0;
    for (int row = 0; row < mcusHigh; ++row) {
        for (int column = 0; column < mcusWide; ++column, ++mcu) {
            if (picture.restartInterval && mcu > 0 && mcu % picture.restartInterval == 0) {
                out += bits.Finish();
                out += '\xFF';
                out += static_cast<char>(0xD0 + (mcu / picture.restartInterval - 1) % 8);
            }
            for (int c : scanComponents) {
                const TestComponent& component = picture.components[c];
                const int h = single ? 1 : component.horizontal;
                const int v = single ? 1 : component.vertical;
                for (int y = 0; y < v; ++y) {
                    for (int x = 0; x < h; ++x) block(bits, c, row * v + y, column * h + x);
                }
            }
        }
    }
    return out + bits.Finish();
}

std::string MakeJpeg(const TestPicture& picture)
{
    std::string out = JfifHeader() + Tables();
    if (picture.restartInterval) Segment(out, 0xDD, Be16(picture.restartInterval));
    out += FrameSegment(picture);
    std::vector<int> all;
    for (size_t i = 0; i < picture.components.size(); ++i) all.push_back(static_cast<int>(i));
    std::map<int, int> predictions;
    // Predictions restart at every restart marker; the walk above calls in MCU order, so the
    // count of blocks seen tells where an interval begins.
    int blocksPerMcu = 0;
    for (int c : all) blocksPerMcu += picture.components[c].horizontal * picture.components[c].vertical;
    int blocksSeen = 0;
    const auto resetAtRestart = [&](int perMcu) {
        if (picture.restartInterval && blocksSeen % (perMcu * picture.restartInterval) == 0) predictions.clear();
        ++blocksSeen;
    };
    if (!picture.progressive) {
        out += ScanHeader(all, 0, 63, 0, 0);
        out += ScanData(picture, all, [&](BitWriter& bits, int c, int row, int column) {
            resetAtRestart(blocksPerMcu);
            const int dc = picture.dc(c, row, column);
            PutDc(bits, dc - predictions[c]);
            predictions[c] = dc;
            PutAc(bits, 0x00);
        });
    } else {
        // DC first at Al = 1 (arithmetic shift), then the low bit, then an empty AC band per
        // component coded as one long end-of-band run per block row.
        out += ScanHeader(all, 0, 0, 0, 1);
        out += ScanData(picture, all, [&](BitWriter& bits, int c, int row, int column) {
            resetAtRestart(blocksPerMcu);
            const int dc = picture.dc(c, row, column) >> 1;
            PutDc(bits, dc - predictions[c]);
            predictions[c] = dc;
        });
        out += ScanHeader(all, 0, 0, 1, 0);
        out += ScanData(picture, all, [&](BitWriter& bits, int c, int row, int column) {
            bits.Put(static_cast<uint32_t>(picture.dc(c, row, column) & 1), 1);
        });
        for (int c : all) {
            out += ScanHeader({c}, 1, 63, 0, 0);
            out += ScanData(picture, {c}, [&](BitWriter& bits, int, int, int) { PutAc(bits, 0x00); });
        }
    }
    return out + "\xFF\xD9";
}

// Grey 16x16: four flat blocks of distinct levels.
TestPicture GreyQuadrants()
{
    TestPicture picture;
    picture.dc = [](int, int row, int column) { return row * 40 + column * 20 - 30; };
    return picture;
}

// Sample (x, y), y counted from the top of the picture, of a decoded 8-bit bitmap.
int GreyAt(const JpegBitmap& bitmap, int x, int y)
{
    return bitmap.Row(bitmap.height - 1 - y)[x];
}

// ---------------------------------------------------------------------------------------------
// The corpus.

TEST(JpegCorpus, PositiveFilesMatchTheirReferenceDecodes)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = CorpusFiles("images/JPG", {".jpg"});
    ASSERT_FALSE(files.empty()) << "corpus/images/JPG holds no .jpg files";
    int compared = 0;
    for (const auto& file : files) {
        std::filesystem::path referencePath = file;
        referencePath.replace_extension(".ref.ppm");
        if (!std::filesystem::exists(referencePath)) continue;
        SCOPED_TRACE(file.filename().string());
        test::ReferenceImage reference;
        ASSERT_TRUE(test::ReadReference(referencePath, reference));
        const std::unique_ptr<Texture> image = LoadImageFile(file.string().c_str(), Format::Jpeg);
        ASSERT_NE(image, nullptr);
        ASSERT_EQ(image->width, reference.width);
        ASSERT_EQ(image->height, reference.height);
        ASSERT_EQ(image->pixels.size(), reference.pixels.size());
        // Memory row r (bottom first) against reference row height - 1 - r.
        const size_t rowBytes = static_cast<size_t>(image->width) * 3;
        int maxDifference = 0;
        double total = 0;
        for (int r = 0; r < image->height; ++r) {
            const uint8_t* got = image->pixels.data() + r * rowBytes;
            const char* want = reference.pixels.data() + (image->height - 1 - r) * rowBytes;
            for (size_t i = 0; i < rowBytes; ++i) {
                const int difference = std::abs(got[i] - static_cast<uint8_t>(want[i]));
                maxDifference = std::max(maxDifference, difference);
                total += difference;
            }
        }
        const double mean = total / static_cast<double>(image->pixels.size());
        std::printf("  %-28s max %d mean %.3f\n", file.filename().string().c_str(), maxDifference, mean);
        EXPECT_LE(maxDifference, 8);
        EXPECT_LE(mean, 1.5);
        if (file.filename().string().find("grey") != std::string::npos) {
            for (size_t i = 0; i < image->pixels.size(); i += 3) {
                ASSERT_EQ(image->pixels[i], image->pixels[i + 1]);
                ASSERT_EQ(image->pixels[i], image->pixels[i + 2]);
            }
        }
        ++compared;
    }
    EXPECT_GE(compared, 1);
}

TEST(JpegCorpus, NegativeFilesAreRefusedWithTheirMessage)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const std::map<std::string, std::string> expected = {
        {"jpg_neg_arithmetic_rose.jpg", "Cannot read image - Arithmetic Coding covered by patents"},
        {"jpg_neg_exif_only_logo.jpg", "Missing JFIF APP0 Marker"},
        {"jpg_neg_truncated_logo.jpg", "Premature end of file"},
        {"jpg_neg_precision12_grad.jpg", "Only 8-bit data supported"},
        {"jpg_neg_app0_not_jfif_rose.jpg", "Not a JFIF file"},
        {"jpg_neg_bad_restart_rose.jpg", "Incorrect Restart Marker"},
    };
    int checked = 0;
    for (const auto& file : CorpusFiles("images/JPG", {".jpg"})) {
        const std::string name = file.filename().string();
        if (name.find("_neg_") == std::string::npos) continue;
        SCOPED_TRACE(name);
        const auto found = expected.find(name);
        ASSERT_NE(found, expected.end()) << "a negative file without a known message";
        EXPECT_EQ(Decode(test::ReadFileBytes(file)).message, found->second);
        EXPECT_EQ(LoadImageFile(file.string().c_str(), Format::Jpeg), nullptr);
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(expected.size()));
}

TEST(JpegCorpus, ProgressiveFileDecodesLikeItsBaselineTwin)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = CorpusFiles("images/JPG", {".jpg"});
    ASSERT_FALSE(files.empty());
    const auto folder = files.front().parent_path();
    const auto baseline = ReadJpegFile((folder / "jpg_base420_rose.jpg").string().c_str());
    const auto progressive = ReadJpegFile((folder / "jpg_prog420_rose.jpg").string().c_str());
    ASSERT_NE(baseline, nullptr);
    ASSERT_NE(progressive, nullptr);
    EXPECT_EQ(baseline->pixels, progressive->pixels);
}

TEST(JpegCorpus, TruncationSweepNeverYieldsABrokenImage)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = CorpusFiles("images/JPG", {".jpg"});
    ASSERT_FALSE(files.empty());
    for (const char* name : {"jpg_prog420_rose.jpg", "jpg_restart2B_rose.jpg"}) {
        const std::string bytes = test::ReadFileBytes(files.front().parent_path() / name);
        ASSERT_FALSE(bytes.empty()) << name;
        for (size_t length = 0; length < bytes.size(); ++length) {
            const Outcome outcome = Decode(bytes.substr(0, length));
            // Without its end-of-image marker no cut can be accepted.
            ASSERT_FALSE(outcome.message.empty()) << name << " cut at " << length;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Hand-made streams that decode.

TEST(JpegDecode, GreyBlocksComeOutExactlyWithTheBottomRowFirst)
{
    const Outcome outcome = Decode(MakeJpeg(GreyQuadrants()));
    ASSERT_EQ(outcome.message, "");
    const JpegBitmap& bitmap = outcome.bitmap;
    EXPECT_EQ(bitmap.bitCount, 8);
    EXPECT_EQ(bitmap.rowStride, 16u);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) ASSERT_EQ(GreyAt(bitmap, x, y), 128 + (y / 8) * 40 + (x / 8) * 20 - 30);
    }
}

TEST(JpegDecode, GreyBecomesEqualRedGreenBlueWithUnpaddedRows)
{
    TestPicture picture = GreyQuadrants();
    picture.width = 13;  // 13-byte grey rows are padded to 16 in the bitmap
    picture.height = 9;
    ScratchDir scratch;
    // Loaded the way a model's texture is: the id comes from the name.
    ASSERT_EQ(ImageFormatFromName("grey.JPG"), Format::Jpeg);
    const auto image = LoadImageFile(scratch.Write("grey.jpg", MakeJpeg(picture)).c_str(), ImageFormatFromName("grey.JPG"));
    ASSERT_NE(image, nullptr);
    ASSERT_EQ(image->pixels.size(), 13u * 9 * 3);
    // Row 0 is the bottom row: y = 8 of the picture, in the lower blocks.
    EXPECT_EQ(image->pixels[0], 128 + 40 - 30);
    EXPECT_EQ(image->pixels[3 * 12], 128 + 40 + 20 - 30);
    EXPECT_EQ(image->pixels[(8 * 13 + 12) * 3 + 1], 128 + 20 - 30);
    for (size_t i = 0; i < image->pixels.size(); i += 3) {
        ASSERT_EQ(image->pixels[i], image->pixels[i + 1]);
        ASSERT_EQ(image->pixels[i], image->pixels[i + 2]);
    }
}

// The 12-bit conversion of flat Y, Cb, Cr, stored blue-green-red.
std::array<int, 3> ExpectedBgr(int y, int cb, int cr)
{
    const auto clamp = [](int v) { return std::clamp(v, 0, 255); };
    return {clamp(y + ((cb * 7258 - 926976) >> 12)), clamp(y - ((cr * 2925 + cb * 1409 - 552704) >> 12)),
            clamp(y + ((cr * 5742 - 732928) >> 12))};
}

TEST(JpegDecode, ColourConversionAndChromaReplicationFollowTheSamplingFactors)
{
    struct Layout {
        int h, v;
    };
    for (const Layout luma : {Layout{1, 1}, Layout{2, 2}, Layout{2, 1}, Layout{4, 1}, Layout{1, 2}}) {
        SCOPED_TRACE(std::to_string(luma.h) + "x" + std::to_string(luma.v));
        TestPicture picture;
        picture.width = 37;
        picture.height = 23;
        picture.components = {{luma.h, luma.v}, {1, 1}, {1, 1}};
        // Luma varies per block; each chroma block is saturated differently.
        picture.dc = [](int c, int row, int column) {
            if (c == 0) return (row * 7 + column * 13) % 200 - 100;
            return c == 1 ? (column % 2 ? 120 : -110) : (row % 2 ? -127 : 100);
        };
        const Outcome outcome = Decode(MakeJpeg(picture));
        ASSERT_EQ(outcome.message, "");
        ASSERT_EQ(outcome.bitmap.bitCount, 24);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const int luma8 = 128 + picture.dc(0, y / 8, x / 8);
                const int cb = 128 + picture.dc(1, y / (8 * luma.v), x / (8 * luma.h));
                const int cr = 128 + picture.dc(2, y / (8 * luma.v), x / (8 * luma.h));
                const uint8_t* pixel = outcome.bitmap.Row(picture.height - 1 - y) + 3 * x;
                const auto want = ExpectedBgr(luma8, cb, cr);
                ASSERT_EQ(pixel[0], want[0]) << x << "," << y;
                ASSERT_EQ(pixel[1], want[1]) << x << "," << y;
                ASSERT_EQ(pixel[2], want[2]) << x << "," << y;
            }
        }
    }
}

TEST(JpegDecode, ProgressiveAndRestartVariantsGiveTheSamePicture)
{
    TestPicture picture;
    picture.width = 45;
    picture.height = 30;
    picture.components = {{2, 2}, {1, 1}, {1, 1}};
    picture.dc = [](int c, int row, int column) { return (c * 31 + row * 17 + column * 29) % 241 - 120; };
    const Outcome plain = Decode(MakeJpeg(picture));
    ASSERT_EQ(plain.message, "");
    const size_t size = plain.bitmap.rowStride * 30;
    for (int interval : {0, 1, 2, 3}) {
        for (bool progressive : {false, true}) {
            SCOPED_TRACE("interval " + std::to_string(interval) + (progressive ? " progressive" : ""));
            picture.restartInterval = interval;
            picture.progressive = progressive;
            const Outcome variant = Decode(MakeJpeg(picture));
            ASSERT_EQ(variant.message, "");
            EXPECT_TRUE(std::equal(plain.bitmap.data.get(), plain.bitmap.data.get() + size, variant.bitmap.data.get()));
        }
    }
}

TEST(JpegDecode, SeparateComponentScansAreBufferedUntilTheEnd)
{
    TestPicture picture;
    picture.width = 24;
    picture.height = 16;
    picture.components = {{2, 1}, {1, 1}, {1, 1}};
    picture.dc = [](int c, int row, int column) { return c == 0 ? row * 50 + column * 10 - 60 : c * 30 - 45; };
    const Outcome interleaved = Decode(MakeJpeg(picture));
    ASSERT_EQ(interleaved.message, "");
    // The same frame with one scan per component.
    std::string stream = JfifHeader() + Tables() + FrameSegment(picture);
    for (int c = 0; c < 3; ++c) {
        stream += ScanHeader({c}, 0, 63, 0, 0);
        int previous = 0;
        stream += ScanData(picture, {c}, [&](BitWriter& bits, int component, int row, int column) {
            const int dc = picture.dc(component, row, column);
            PutDc(bits, dc - previous);
            previous = dc;
            PutAc(bits, 0x00);
        });
    }
    const Outcome separate = Decode(stream + "\xFF\xD9");
    ASSERT_EQ(separate.message, "");
    EXPECT_TRUE(std::equal(interleaved.bitmap.data.get(), interleaved.bitmap.data.get() + 16 * interleaved.bitmap.rowStride,
                           separate.bitmap.data.get()));
}

TEST(JpegDecode, AcCoefficientsMatchAFloatingPointInverseDct)
{
    // One block with a spread of AC values, against the T.81 A.3.3 formula.
    std::mt19937 random(7);
    for (int trial = 0; trial < 200; ++trial) {
        int16_t coefficients[64] = {};
        uint16_t quant[64];
        for (int i = 0; i < 64; ++i) {
            quant[i] = static_cast<uint16_t>(1 + random() % 16);
            if (random() % 3 == 0) coefficients[i] = static_cast<int16_t>(static_cast<int>(random() % 121) - 60);
        }
        uint8_t out[64];
        jpeg::InverseDct(coefficients, quant, out, 8);
        // The shortcut for blocks limited to the top-left 4x4 must agree exactly.
        int16_t low[64] = {};
        for (int i = 0; i < 64; ++i) low[i] = (i % 8 < 4 && i / 8 < 4) ? coefficients[i] : 0;
        uint8_t full[64], shortcut[64];
        jpeg::InverseDct(low, quant, full, 8);
        jpeg::InverseDctLow(low, quant, shortcut, 8);
        ASSERT_TRUE(std::equal(full, full + 64, shortcut)) << "trial " << trial;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int v = 0; v < 8; ++v) {
                    for (int u = 0; u < 8; ++u) {
                        const double cu = u == 0 ? std::sqrt(0.5) : 1.0;
                        const double cv = v == 0 ? std::sqrt(0.5) : 1.0;
                        sum += cu * cv * coefficients[v * 8 + u] * quant[v * 8 + u] *
                               std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                    }
                }
                const double expected = std::clamp(sum / 4 + 128, 0.0, 255.0);
                ASSERT_NEAR(out[y * 8 + x], expected, 1.0) << "trial " << trial << " at " << x << "," << y;
            }
        }
    }
}

TEST(JpegDecode, ProgressFunctionCanAbortAndVerboseDumpNamesMarkers)
{
    JpegDecoder aborting;
    int calls = 0;
    aborting.SetProgressFunction([&](int) { return ++calls < 2; });
    TestPicture picture = GreyQuadrants();
    const Outcome stopped = Decode(MakeJpeg(picture), aborting);
    EXPECT_EQ(stopped.message, "JPEG Aborted");
    EXPECT_EQ(calls, 2);

    std::ostringstream dump;
    JpegDecoder verbose;
    verbose.SetVerbose(&dump);
    ASSERT_EQ(Decode(MakeJpeg(picture), verbose).message, "");
    EXPECT_NE(dump.str().find("{ Start Of Image }"), std::string::npos);
    EXPECT_NE(dump.str().find("{ Define Huffman Table"), std::string::npos);
}

// ---------------------------------------------------------------------------------------------
// Refusals: each hostile stream with its exact message and class.

struct Hostile {
    const char* what;
    std::string bytes;
    const char* message;
    const char* kind;
};

// A valid grey 16x16 stream split around its scan: prefix (up to the frame), frame, scan
// header, entropy data.
struct GreyParts {
    std::string head = JfifHeader() + Tables();
    std::string frame = FrameSegment(GreyQuadrants());
    std::string scanHeader = ScanHeader({0}, 0, 63, 0, 0);
    std::string data;
    GreyParts()
    {
        const std::string whole = MakeJpeg(GreyQuadrants());
        const size_t start = whole.find(scanHeader) + scanHeader.size();
        data = whole.substr(start, whole.size() - 2 - start);
    }
    std::string Whole() const { return head + frame + scanHeader + data + "\xFF\xD9"; }
};

std::string FrameWith(int precision, int height, int width, const std::string& components)
{
    std::string body = std::string(1, static_cast<char>(precision)) + Be16(height) + Be16(width) + components;
    std::string out;
    Segment(out, 0xC0, body);
    return out;
}

std::vector<Hostile> HostileStreams()
{
    const GreyParts g;
    const std::string one = std::string("\x01\x01\x11\x00", 4);  // one component, id 1
    const auto dht = [](const std::string& body) {
        std::string out;
        Segment(out, 0xC4, body);
        return out;
    };
    const auto dqt = [](const std::string& body) {
        std::string out;
        Segment(out, 0xDB, body);
        return out;
    };
    std::vector<Hostile> list = {
        {"empty", "", "Missing SOI Marker", "EJpegBadData"},
        {"no SOI", "\xFF\xE0"s, "Missing SOI Marker", "EJpegBadData"},
        {"APP1 first", "\xFF\xD8\xFF\xE1\x00\x02"s, "Missing JFIF APP0 Marker", "EJpegBadData"},
        {"JFXX", "\xFF\xD8\xFF\xE0\x00\x07JFXX"s, "Not a JFIF file", "EJpegBadData"},
        {"no EOI", g.head + g.frame + g.scanHeader + g.data, "End of Image Marker Not Found", "EJpegError"},
        {"data after EOI", g.Whole() + "x", "Extra Data After End of Image Marker", "EJpegError"},
        {"segment cut", g.head.substr(0, g.head.size() - 5), "Premature end of file", "EJpegError"},
        {"lossless", g.head + "\xFF\xC3", "Lossless Huffman Coding Not Supported", "EJpegBadData"},
        {"differential", g.head + "\xFF\xC5", "Differential Sequential Huffman Coding Not Supported", "EJpegBadData"},
        {"differential progressive", g.head + "\xFF\xC6", "Differential Progressive Huffman Coding Not Supported",
         "EJpegBadData"},
        {"differential lossless", g.head + "\xFF\xC7", "Differential Lossless Huffman Coding Not Supported",
         "EJpegBadData"},
        {"arithmetic", g.head + "\xFF\xCD", "Cannot read image - Arithmetic Coding covered by patents", "EJpegBadData"},
        {"DHP", g.head + "\xFF\xDE", "DHP marker not supported", "EJpegBadData"},
        {"reserved marker", g.head + "\xFF\xF0", "Unknown, unsupported, or reserved marker encountered",
         "EJpegBadData"},
        {"restart marker outside a scan", g.head + "\xFF\xD3",
         "Unknown, unsupported, or reserved marker encountered", "EJpegBadData"},
        {"12-bit", g.head + FrameWith(12, 16, 16, one), "Only 8-bit data supported", "EJpegBadData"},
        {"two components", g.head + FrameWith(8, 16, 16, std::string("\x02\x01\x11\x00\x02\x11\x00", 7)),
         "JFIF only supports 1 and 3 component streams", "EJpegBadData"},
        {"frame length", g.head + FrameWith(8, 16, 16, one + "z"), "Invalid Frame Size", "EJpegError"},
        {"grey id 2", g.head + FrameWith(8, 16, 16, std::string("\x01\x02\x11\x00", 4)), "Component ID not 1",
         "EJpegBadData"},
        {"ids out of order",
         g.head + FrameWith(8, 16, 16, std::string("\x03\x01\x11\x00\x03\x11\x00\x02\x11\x00", 10)),
         "Invalid Component ID or ID out of order", "EJpegBadData"},
        {"frame quant index", g.head + FrameWith(8, 16, 16, std::string("\x01\x01\x11\x04", 4)),
         "Bad Quantization Table Index", "EJpegBadData"},
        {"width too large", g.head + FrameWith(8, 16, 16385, one), "Value out of range", "EJpegValueOutOfRange"},
        {"height zero", g.head + FrameWith(8, 0, 16, one), "Value out of range", "EJpegValueOutOfRange"},
        {"sampling factor 0", g.head + FrameWith(8, 16, 16, std::string("\x01\x01\x01\x00", 4)),
         "Value out of range", "EJpegValueOutOfRange"},
        {"second frame", g.head + g.frame + g.frame, "Unexpected Marker", "EJpegError"},
        {"quant index", JfifHeader() + dqt(std::string("\x04") + std::string(64, '\x01')),
         "Quantization Table Index Too Large", "EJpegBadData"},
        {"16-bit quant", JfifHeader() + dqt(std::string("\x10") + std::string(128, '\x01')),
         "Only 8-bit Data is Supported", "EJpegBadData"},
        {"quant precision 2", JfifHeader() + dqt(std::string("\x20") + std::string(64, '\x01')),
         "Invalid Quantization Table Precision", "EJpegBadData"},
        {"zero quant", JfifHeader() + dqt(std::string(1, '\0') + std::string(63, '\x01') + std::string(1, '\0')),
         "Zero value in quantization table", "EJpegBadData"},
        {"Huffman index", JfifHeader() + dht(std::string("\x04") + std::string(16, '\0')),
         "Huffman Table Index outside range [0..3]", "EJpegBadData"},
        {"Huffman count", JfifHeader() + dht(std::string(15, '\0') + "\x02\xFF"),
         "Huffman count > 256", "EJpegBadData"},
        {"Huffman lengths", JfifHeader() + dht(std::string(1, '\0') + "\x03" + std::string(15, '\0') + "abc"),
         "Bad Huffman Code Length", "EJpegBadData"},
        {"scan before frame", g.head + g.scanHeader, "Scan found before frame defined", "EJpegError"},
        {"scan of no components", g.head + g.frame + ScanHeader({}, 0, 63, 0, 0), "Invalid component count in scan",
         "EJpegBadData"},
        {"scan of component 2", g.head + g.frame + ScanHeader({1}, 0, 63, 0, 0), "Component Not Defined",
         "EJpegBadData"},
        {"restart marker in the data", g.head + g.frame + g.scanHeader + g.data.substr(0, 2) + "\xFF\xD0" + g.data.substr(2) + "\xFF\xD9",
         "Unexpected Marker", "EJpegError"},
        {"DNL in the data", g.head + g.frame + g.scanHeader + g.data.substr(0, 2) + "\xFF\xDC\x00\x04\x00\x10"s, "Unexpected Marker DNL",
         "EJpegError"},
        {"data cut", g.head + g.frame + g.scanHeader + g.data.substr(0, 2), "Premature end of file", "EJpegError"},
    };

    // Tables missing when the scan needs them.
    {
        std::string noAc = JfifHeader();
        Segment(noAc, 0xDB, std::string(1, '\0') + std::string(64, '\x08'));
        Segment(noAc, 0xC4, HuffmanSegmentBody(0, 0, 5, DcSymbols()));
        list.push_back({"AC table missing", noAc + g.frame + g.scanHeader + g.data + "\xFF\xD9", "AC Table Not Defined",
                        "EJpegBadData"});
        std::string noDc = JfifHeader();
        Segment(noDc, 0xDB, std::string(1, '\0') + std::string(64, '\x08'));
        Segment(noDc, 0xC4, HuffmanSegmentBody(1, 0, 8, AcSymbols()));
        list.push_back({"DC table missing", noDc + g.frame + g.scanHeader + g.data + "\xFF\xD9",
                        "INTERNAL ERROR - DC Table Not Defined", "EGraphicsException"});
        std::string noQuant = JfifHeader();
        Segment(noQuant, 0xC4, HuffmanSegmentBody(0, 0, 5, DcSymbols()) + HuffmanSegmentBody(1, 0, 8, AcSymbols()));
        list.push_back({"quant table missing", noQuant + g.frame + g.scanHeader + g.data + "\xFF\xD9",
                        "Quantization Table Not Defined", "EJpegBadData"});
    }

    // Entropy-coded values out of their ranges, each as the first block of the grey picture.
    const auto firstBlock = [&](const std::function<void(BitWriter&)>& write) {
        BitWriter bits;
        write(bits);
        for (int i = 0; i < 8; ++i) bits.Put(0, 8);  // enough filler for the decoder to stop
        return g.head + g.frame + g.scanHeader + bits.Finish() + "\xFF\xD9";
    };
    list.push_back({"DC category 12", firstBlock([](BitWriter& b) { b.Put(CodeOf(DcSymbols(), 12), 5); b.Put(0xFFF, 12); }),
                    "Value out of range", "EJpegValueOutOfRange"});
    list.push_back({"DC category 17", firstBlock([](BitWriter& b) { b.Put(CodeOf(DcSymbols(), 17), 5); }),
                    "Invalid bit count", "EGraphicsException"});
    list.push_back({"AC size 11", firstBlock([](BitWriter& b) { PutDc(b, 0); PutAc(b, 0x0B, 0x7FF, 11); }),
                    "Value out of range", "EJpegValueOutOfRange"});
    list.push_back({"AC run past the block", firstBlock([](BitWriter& b) {
                        PutDc(b, 0);
                        for (int i = 0; i < 3; ++i) PutAc(b, 0xF0);
                        PutAc(b, 0xF1, 1, 1);
                    }),
                    "Data out of range", "EJpegValueOutOfRange"});
    list.push_back({"DC sum out of range", firstBlock([](BitWriter& b) {
                        PutDc(b, 2047);
                        PutAc(b, 0x00);
                        PutDc(b, 2047);
                    }),
                    "Data out of range", "EJpegValueOutOfRange"});
    list.push_back({"unassigned code", firstBlock([](BitWriter& b) { b.Put(0x1F, 5); b.Put(0xFFFF, 16); }),
                    "Subscript out of range", "EGraphicsException"});

    // Restart markers.
    {
        TestPicture picture = GreyQuadrants();
        picture.restartInterval = 1;
        const std::string good = MakeJpeg(picture);
        std::string wrong = good;
        wrong[wrong.find("\xFF\xD1") + 1] = '\xD5';
        list.push_back({"restart number", wrong, "Incorrect Restart Marker", "EJpegError"});
        std::string missing = good;
        missing[missing.find("\xFF\xD1") + 1] = '\xFE';
        list.push_back({"restart missing", missing, "Missing Restart Marker", "EJpegError"});
    }

    // Progressive scans.
    {
        TestPicture picture = GreyQuadrants();
        picture.progressive = true;
        const std::string head = JfifHeader() + Tables() + FrameSegment(picture);
        const auto emptyBand = ScanData(picture, {0}, [](BitWriter& b, int, int, int) { PutAc(b, 0x00); });
        list.push_back({"DC and AC in one scan", head + ScanHeader({0}, 0, 5, 0, 0), "Progressive scan contains DC and AC data",
                        "EJpegBadData"});
        list.push_back({"AC before DC", head + ScanHeader({0}, 1, 63, 0, 0) + emptyBand + "\xFF\xD9",
                        "Error in progressive scan", "EJpegBadData"});
        const std::string dcScan = ScanHeader({0}, 0, 0, 0, 0) +
                                   ScanData(picture, {0}, [](BitWriter& b, int, int, int) { PutDc(b, 0); });
        list.push_back({"refinement without its first scan", head + dcScan + ScanHeader({0}, 1, 63, 1, 0),
                        "Error in progressive scan", "EJpegBadData"});
        list.push_back({"refinement of size 2",
                        head + dcScan + ScanHeader({0}, 1, 63, 0, 1) + emptyBand + ScanHeader({0}, 1, 63, 1, 0) +
                            ScanData(picture, {0}, [](BitWriter& b, int, int, int) { PutAc(b, 0x02, 3, 2); }) + "\xFF\xD9",
                        "Invalid value in input stream", "EJpegBadData"});
    }
    return list;
}

TEST(JpegRefusal, EachHostileStreamGivesItsMessage)
{
    for (const Hostile& hostile : HostileStreams()) {
        SCOPED_TRACE(hostile.what);
        const Outcome outcome = Decode(hostile.bytes);
        EXPECT_EQ(outcome.message, hostile.message);
        EXPECT_EQ(outcome.kind, hostile.kind);
    }
}

TEST(JpegRefusal, RefusalsReachTheLoaderAsNoImage)
{
    ScratchDir scratch;
    for (const Hostile& hostile : HostileStreams()) {
        SCOPED_TRACE(hostile.what);
        EXPECT_EQ(LoadImageFile(scratch.Write("hostile.jpg", hostile.bytes).c_str(), Format::Jpeg), nullptr);
    }
    EXPECT_EQ(ReadJpegFile((scratch.Path() / "absent.jpg").string().c_str()), nullptr);
    // A frame without scans holds no picture: no image, without an exception.
    const GreyParts g;
    EXPECT_EQ(Decode(g.head + g.frame + "\xFF\xD9").bitmap.bitCount, 0);
    EXPECT_EQ(LoadImageFile(scratch.Write("empty.jpg", g.head + g.frame + "\xFF\xD9").c_str(), Format::Jpeg), nullptr);
}

TEST(JpegRefusal, EveryCutOfAValidStreamIsRefused)
{
    for (bool progressive : {false, true}) {
        TestPicture picture;
        picture.width = 20;
        picture.height = 12;
        picture.components = {{2, 2}, {1, 1}, {1, 1}};
        picture.restartInterval = 1;
        picture.progressive = progressive;
        picture.dc = [](int c, int row, int column) { return c * 20 + row * 5 - column * 9; };
        const std::string bytes = MakeJpeg(picture);
        ASSERT_EQ(Decode(bytes).message, "");
        for (size_t length = 0; length < bytes.size(); ++length) {
            ASSERT_NE(Decode(bytes.substr(0, length)).message, "") << "cut at " << length;
        }
    }
}

TEST(JpegRefusal, HugeFramesFailFastOnShortData)
{
    // 16384 x 16384 colour with almost no data: the stream is too short for the scan, so it is
    // refused before any picture-sized buffer is allocated (quickly also under a sanitizer).
    TestPicture picture;
    picture.width = picture.height = 16384;
    picture.components = {{1, 1}, {1, 1}, {1, 1}};
    for (bool progressive : {false, true}) {
        picture.progressive = progressive;
        const std::string header = JfifHeader() + Tables() + FrameSegment(picture) +
                                   (progressive ? ScanHeader({0, 1, 2}, 0, 0, 0, 0) : ScanHeader({0, 1, 2}, 0, 63, 0, 0));
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(Decode(header + std::string(40, '\0') + "\xFF\xD9").message, "Premature end of file");
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
}

}  // namespace
}  // namespace solvane
