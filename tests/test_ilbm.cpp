// The IFF ILBM reader: the shared corpus against its reference decodes, hand-made files for
// palette, HAM and true-colour planes, ByteRun1 and mask planes, and hostile files.
#include "tests/image_test_support.h"

namespace solvane::test {
namespace {

std::string Chunk(const char* id, const std::string& data)
{
    return Bytes().Text(std::string_view(id, 4)).Be32(static_cast<uint32_t>(data.size())).Text(data)
        .Zeros(data.size() % 2).data;
}

std::string Bmhd(int width, int height, int planes, int masking = 0, int compression = 0)
{
    // Size, origin, planes, masking, compression, pad, transparent colour, aspect, page size.
    return Chunk("BMHD", Bytes().Be16(width).Be16(height).Be32(0).U8(planes).U8(masking).U8(compression).U8(0)
                             .Be16(0).U8(10).U8(11).Be16(width).Be16(height).data);
}

std::string Form(const std::string& chunks)
{
    return Bytes().Text("FORM").Be32(static_cast<uint32_t>(chunks.size() + 4)).Text("ILBM").Text(chunks).data;
}

std::string Camg(uint32_t mode)
{
    return Chunk("CAMG", Bytes().Be32(mode).data);
}

// Palette of count entries, entry i = (i * 10 + 1, i * 10 + 2, i * 10 + 3).
std::string Cmap(int count)
{
    std::string data;
    for (int i = 0; i < count; ++i) data += {static_cast<char>(i * 10 + 1), static_cast<char>(i * 10 + 2), static_cast<char>(i * 10 + 3)};
    return Chunk("CMAP", data);
}

// One row of pixel values as bit planes (then, with a mask, one plane of 0xFF).
std::string PlanarRow(const std::vector<uint32_t>& values, int planes, bool mask)
{
    const size_t rowBytes = (values.size() + 15) / 16 * 2;
    std::string out((planes + (mask ? 1 : 0)) * rowBytes, '\0');
    for (int p = 0; p < planes; ++p) {
        for (size_t x = 0; x < values.size(); ++x) {
            if ((values[x] >> p) & 1) out[p * rowBytes + x / 8] |= static_cast<char>(0x80 >> (x % 8));
        }
    }
    if (mask) std::fill(out.end() - static_cast<std::ptrdiff_t>(rowBytes), out.end(), '\xff');
    return out;
}

// ByteRun1 of one row: the plane part and the mask part are encoded separately, as literals.
std::string ByteRun1Literals(const std::string& raw)
{
    std::string out;
    for (size_t i = 0; i < raw.size(); i += 128) {
        const size_t count = std::min<size_t>(128, raw.size() - i);
        out += static_cast<char>(count - 1);
        out += raw.substr(i, count);
    }
    return out;
}

std::string Body(const std::vector<std::vector<uint32_t>>& rows, int planes, bool mask, bool compressed)
{
    std::string body;
    for (const auto& values : rows) {
        const std::string raw = PlanarRow(values, planes, mask);
        if (!compressed) {
            body += raw;
            continue;
        }
        const size_t maskBytes = mask ? (values.size() + 15) / 16 * 2 : 0;
        body += ByteRun1Literals(raw.substr(0, raw.size() - maskBytes));
        if (mask) body += ByteRun1Literals(raw.substr(raw.size() - maskBytes));
    }
    return Chunk("BODY", body);
}

std::vector<uint8_t> PaletteColours(const std::vector<int>& indices)
{
    std::vector<uint8_t> out;
    for (int i : indices) out.insert(out.end(), {static_cast<uint8_t>(i * 10 + 1), static_cast<uint8_t>(i * 10 + 2), static_cast<uint8_t>(i * 10 + 3)});
    return out;
}

std::unique_ptr<Texture> Decode(const std::string& bytes)
{
    return DecodeIlbm(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

TEST(IlbmCorpus, FilesMatchReferencesOrAreRefused) { CheckImageCorpus("IFF", ".iff", Format::Iff, true); }

TEST(IlbmReader, ReadsThroughTheImageDispatch)
{
    ScratchDir scratch;
    const std::string bytes = Form(Bmhd(3, 1, 2) + Cmap(4) + Body({{1, 2, 3}}, 2, false, false));
    auto image = LoadBytes(scratch, "a.iff", bytes, Format::Iff);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels, PaletteColours({1, 2, 3}));
}

TEST(IlbmReader, PalettePlanesDecodeBottomRowFirstWithOrWithoutMaskAndCompression)
{
    const std::vector<std::vector<uint32_t>> rows = {{0, 1, 2, 3, 0, 1, 2, 3, 3, 3, 3, 3, 3, 3, 3, 3, 2}, {3, 2, 1, 0, 1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
    std::vector<int> want;  // bottom row first
    for (int r = 1; r >= 0; --r) want.insert(want.end(), rows[r].begin(), rows[r].end());
    for (int masking : {0, 1, 2}) {
        for (int compression : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "masking " << masking << " compression " << compression);
            const std::string bytes = Form(Bmhd(17, 2, 2, masking, compression) + Chunk("ANNO", "hello") + Cmap(4) +
                                           Body(rows, 2, masking == 1, compression == 1));
            auto image = Decode(bytes);
            ASSERT_NE(image, nullptr);
            EXPECT_EQ(image->width, 17);
            EXPECT_EQ(image->height, 2);
            EXPECT_EQ(image->pixels, PaletteColours(want));
        }
    }
}

TEST(IlbmReader, Ham6ModifyCodesScaleBy255Over15)
{
    // Six planes: two control bits above four low bits; palette entry 3 is (31, 32, 33).
    const auto v = [](uint32_t control, uint32_t low) { return control << 4 | low; };
    const std::vector<std::vector<uint32_t>> rows = {{v(0, 3), v(1, 15), v(2, 5), v(3, 1)}, {v(1, 15), v(3, 0), v(2, 15), v(0, 0)}};
    const std::vector<uint8_t> want = {
        0, 0, 255, 0, 0, 255, 255, 0, 255, 1, 2, 3,     // bottom row: starts from black again
        31, 32, 33, 31, 32, 255, 85, 32, 255, 85, 17, 255,  // top row
    };
    // The display mode may come before or after the palette.
    for (bool camgFirst : {true, false}) {
        SCOPED_TRACE(camgFirst ? "CAMG first" : "CMAP first");
        const std::string chunks = camgFirst ? Camg(0x800) + Cmap(16) : Cmap(64) + Camg(0x800);
        auto image = Decode(Form(Bmhd(4, 2, 6, 0, 1) + chunks + Body(rows, 6, false, true)));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->pixels, want);
    }
}

TEST(IlbmReader, TrueColourPlanesNeedNoPaletteAndRefuseOne)
{
    const std::vector<std::vector<uint32_t>> rows = {{0x030201, 0xFFFEFD}};
    auto image24 = Decode(Form(Bmhd(2, 1, 24) + Body(rows, 24, false, false)));
    ASSERT_NE(image24, nullptr);
    EXPECT_EQ(image24->pixels, (std::vector<uint8_t>{1, 2, 3, 0xFD, 0xFE, 0xFF}));
    auto image32 = Decode(Form(Bmhd(2, 1, 32, 1, 1) + Body({{0x7F030201, 0x80FFFEFD}}, 32, true, true)));
    ASSERT_NE(image32, nullptr);
    EXPECT_EQ(image32->pixels, (std::vector<uint8_t>{1, 2, 3, 0xFD, 0xFE, 0xFF}));
    EXPECT_EQ(Decode(Form(Bmhd(2, 1, 24) + Cmap(8) + Body(rows, 24, false, false))), nullptr);
    EXPECT_EQ(Decode(Form(Bmhd(2, 1, 24) + Body(rows, 24, false, false) + Cmap(8))), nullptr);
}

TEST(IlbmReader, PaletteChunkLengthsOtherThanThePlanesAddress)
{
    const std::string body = Body({{0, 1, 2, 3}}, 2, false, false);
    // Two entries for four colours: the missing ones are black.
    auto shortMap = Decode(Form(Bmhd(4, 1, 2) + Cmap(2) + body));
    ASSERT_NE(shortMap, nullptr);
    EXPECT_EQ(shortMap->pixels, (std::vector<uint8_t>{1, 2, 3, 11, 12, 13, 0, 0, 0, 0, 0, 0}));
    // Five entries (odd length, pad byte): the fifth is skipped and the BODY after it is found.
    auto longMap = Decode(Form(Bmhd(4, 1, 2) + Cmap(5) + body));
    ASSERT_NE(longMap, nullptr);
    EXPECT_EQ(longMap->pixels, PaletteColours({0, 1, 2, 3}));
}

TEST(IlbmReader, ByteRun1Minus128RepeatsLikeOtherNegativeCounts)
{
    // 1040 pixels, one plane: 130 bytes per row = 129 repeated 0x01 bytes and one literal 0xFF.
    const std::string body = std::string("\x80\x01") + std::string("\x00\xff", 2);
    auto image = Decode(Form(Bmhd(1040, 1, 1, 0, 1) + Cmap(2) + Chunk("BODY", body)));
    ASSERT_NE(image, nullptr);
    for (int x : {0, 6, 7, 15, 1031, 1032, 1039}) {
        const int index = (x >= 1032 || x % 8 == 7) ? 1 : 0;
        EXPECT_EQ(image->pixels[x * 3], index * 10 + 1) << x;
    }
}

TEST(IlbmReader, ExtraHalfBriteWritesDebugLineAndReadsAsPalette)
{
    testing::internal::CaptureStderr();
    auto image = Decode(Form(Bmhd(2, 1, 5) + Camg(0x80) + Cmap(32) + Body({{31, 2}}, 5, false, false)));
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixels, PaletteColours({31, 2}));
    EXPECT_EQ(err, "IFF-CAMG-extra halfbrite\n");
}

TEST(IlbmReader, MalformedFilesAreRefused)
{
    const std::string cmap = Cmap(4);
    const std::string body = Body({{1, 2, 3}}, 2, false, false);
    const std::string good = Bmhd(3, 1, 2) + cmap + body;
    std::string notForm = Form(good);
    notForm[0] = 'X';
    std::string notIlbm = Form(good);
    notIlbm[8] = 'P';
    std::string shortBmhd = Bmhd(3, 1, 2);
    shortBmhd[7] = 19;
    struct Row {
        const char* what;
        std::string bytes;
    };
    const Row table[] = {
        {"empty", ""},
        {"not a FORM", notForm},
        {"not ILBM", notIlbm},
        {"BMHD not first", Form(Camg(0) + good)},
        {"BMHD length 19", Form(shortBmhd + cmap + body)},
        {"width 0", Form(Bmhd(0, 1, 2) + cmap + body)},
        {"height 0", Form(Bmhd(3, 0, 2) + cmap + body)},
        {"width above the limit", Form(Bmhd(kMaxImageSide + 1, 1, 1) + Cmap(2) + Chunk("BODY", std::string(4098, '\0')))},
        {"0 planes", Form(Bmhd(3, 1, 0) + cmap + body)},
        {"9 planes", Form(Bmhd(3, 1, 9) + cmap + body)},
        {"16 planes", Form(Bmhd(3, 1, 16) + cmap + body)},
        {"no palette before BODY", Form(Bmhd(3, 1, 2) + body + cmap)},
        {"no BODY", Form(Bmhd(3, 1, 2) + cmap)},
        {"HAM with 2 planes", Form(Bmhd(3, 1, 2) + Camg(0x800) + cmap + body)},
        {"HAM with 2 planes, palette first", Form(Bmhd(3, 1, 2) + cmap + Camg(0x800) + body)},
        {"HAM with 24 planes", Form(Bmhd(3, 1, 24) + Camg(0x800) + Body({{1, 2, 3}}, 24, false, false))},
        {"BODY row short", Form(Bmhd(3, 1, 2) + cmap + Chunk("BODY", std::string(3, '\0')))},
        {"BODY row missing its mask", Form(Bmhd(3, 1, 2, 1) + cmap + body)},
        {"repeat packet past the row", Form(Bmhd(3, 1, 2, 0, 1) + cmap + Chunk("BODY", "\xfc\x01"))},
        {"literal packet past the row", Form(Bmhd(3, 1, 2, 0, 1) + cmap + Chunk("BODY", "\x04\x01\x02\x03\x04\x05"))},
        {"mask packet past the mask", Form(Bmhd(3, 1, 2, 1, 1) + cmap + Chunk("BODY", "\xfd\x01\xfd\xff"))},
        {"packet data missing", Form(Bmhd(3, 1, 2, 0, 1) + cmap + Chunk("BODY", "\x03\x01"))},
        {"huge picture, tiny BODY", Form(Bmhd(16384, 16384, 8, 0, 1) + Cmap(256) + Chunk("BODY", "\x81\x00"))},
        {"palette past the end of the file", Form(Bmhd(3, 1, 2)) + "CMAP" + std::string("\0\0\0\x0c\1\2\3", 7)},
        {"CAMG past the end of the file", Form(Bmhd(3, 1, 2) + cmap + body) + "CAMG" + std::string("\0\0\0\4\0\0", 6)},
    };
    for (const Row& row : table) EXPECT_EQ(Decode(row.bytes), nullptr) << row.what;
}

TEST(IlbmReader, TruncationIsRefusedAndNeverBreaksTheRecord)
{
    const std::vector<std::vector<uint32_t>> rows = {{1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1}};
    EXPECT_EQ(TruncationSweep(Form(Bmhd(7, 2, 3, 1, 1) + Cmap(8) + Body(rows, 3, true, true)), DecodeIlbm), 0);
    EXPECT_EQ(TruncationSweep(Form(Bmhd(7, 2, 3) + Camg(0x800) + Cmap(2) + Body(rows, 3, false, false)), DecodeIlbm), 0);
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = CorpusFiles("images/IFF", {".iff"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) TruncationSweep(ReadFileBytes(file), DecodeIlbm);
}

}  // namespace
}  // namespace solvane::test
