#include <gtest/gtest.h>

#include <charconv>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/reader_input.h"
#include "core/text_scan.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

std::vector<std::string> Lines(const std::string& path, std::vector<int64_t>* lengths = nullptr)
{
    LoadContext ctx;
    ReaderInput in(ctx);
    EXPECT_TRUE(in.Open(path));
    std::vector<std::string> lines;
    std::string_view line;
    int64_t length;
    while ((length = in.ReadTextLine(line)) >= 0) {
        lines.emplace_back(line);
        if (lengths) lengths->push_back(length);
    }
    return lines;
}

TEST(ReadTextLine, SkipsEmptyLinesStripsLeadingBlanksKeepsLineFeed)
{
    test::ScratchDir dir;
    std::vector<int64_t> lengths;
    const auto lines = Lines(dir.Write("a.txt", "\n\nv 1 2 3\n  \tf 1 2 3\r\n\r\n\r\nlast\n"), &lengths);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "v 1 2 3\n");
    EXPECT_EQ(lines[1], "f 1 2 3\n");
    EXPECT_EQ(lines[2], "last\n");
    // Lengths count the line as read (line feed included, carriage return dropped, before the
    // leading blanks were removed).
    EXPECT_EQ(lengths, (std::vector<int64_t>{8, 11, 5}));
}

TEST(ReadTextLine, LastLineWithoutLineFeedIsNotReturned)
{
    test::ScratchDir dir;
    EXPECT_EQ(Lines(dir.Write("a.txt", "one\ntwo")), (std::vector<std::string>{"one\n"}));
    EXPECT_TRUE(Lines(dir.Write("b.txt", "")).empty());
    EXPECT_TRUE(Lines(dir.Write("c.txt", "\n\n\n")).empty());
}

TEST(ReadTextLine, BlankOnlyLineBecomesEmpty)
{
    test::ScratchDir dir;
    const auto lines = Lines(dir.Write("a.txt", "   \nx\n"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], "x\n");
}

TEST(ReadTextLine, LinesLongerThanABlockAreReadWhole)
{
    test::ScratchDir dir;
    std::string text;
    std::vector<std::string> expected;
    // Lines of varying lengths, some far beyond the 256 KiB block, some straddling its edges,
    // with a carriage return placed exactly on block boundaries too.
    for (size_t length : {10u, 262140u, 1u, 700000u, 3u, 262143u, 5u}) {
        std::string line(length, 'a' + static_cast<char>(length % 26));
        text += line + "\r\n";
        expected.push_back(line + "\n");
    }
    EXPECT_EQ(Lines(dir.Write("long.txt", text)), expected);
}

TEST(ReadTextLine, CarriageReturnAtBlockEdge)
{
    test::ScratchDir dir;
    for (size_t pad : {262142u, 262143u, 262144u, 262145u}) {
        std::string text = std::string(pad, '\n') + "\r\nend\n";
        EXPECT_EQ(Lines(dir.Write("edge.txt", text)), (std::vector<std::string>{"end\n"})) << pad;
        text = "x" + std::string(pad, ' ') + "\r\nend\n";
        const auto lines = Lines(dir.Write("edge2.txt", text));
        ASSERT_EQ(lines.size(), 2u) << pad;
        EXPECT_EQ(lines[0].size(), pad + 2) << pad;
        EXPECT_EQ(lines[1], "end\n");
    }
}

TEST(ReaderInput, BinaryReadsBothByteOrders)
{
    test::ScratchDir dir;
    const std::string bytes("\x12\x34\x56\x78\x3F\x80\x00\x00\x00\x00\x80\x3F\xAB", 13);
    LoadContext ctx;
    ReaderInput in(ctx);
    ASSERT_TRUE(in.Open(dir.Write("b.bin", bytes)));
    EXPECT_EQ(in.ReadBE16(), 0x1234);
    EXPECT_EQ(in.ReadLE16(), 0x7856);
    EXPECT_EQ(in.ReadBEFloat(), 1.0f);
    EXPECT_EQ(in.ReadLEFloat(), 1.0f);
    EXPECT_EQ(in.Remaining(), 1);
    EXPECT_FALSE(in.Overrun());
    EXPECT_EQ(in.ReadBE32(), 0xAB000000u);  // one byte left: the missing ones read as 0

    EXPECT_TRUE(in.Overrun());
    EXPECT_EQ(in.ReadByte(), -1);
    EXPECT_TRUE(in.SkipBytes(12, SEEK_SET));
    EXPECT_EQ(in.ReadByte(), 0xAB);
    EXPECT_FALSE(in.SkipBytes(100, SEEK_CUR));
    EXPECT_TRUE(in.AtEnd());
    in.Rewind();
    uint8_t buffer[8];
    EXPECT_EQ(in.ReadBytes(buffer, 4, 2), 2u);
    EXPECT_EQ(in.ReadBytes(buffer, 4, 2), 1u);  // 5 bytes left: one whole item of 4
}

TEST(ReaderInput, CountsProgressAndHonoursCancel)
{
    test::ScratchDir dir;
    std::string text;
    for (int i = 0; i < 100000; ++i) text += "v 1 2 3\n";
    const std::string path = dir.Write("p.txt", text);
    {
        LoadContext ctx;
        ctx.total = static_cast<int64_t>(text.size());
        ReaderInput in(ctx);
        ASSERT_TRUE(in.Open(path));
        std::string_view line;
        while (in.ReadTextLine(line) >= 0) {
        }
        in.Close();
        EXPECT_EQ(ctx.done.load(), static_cast<int64_t>(text.size()));
    }
    {
        // A total of 0 counts nothing.
        LoadContext ctx;
        ReaderInput in(ctx);
        ASSERT_TRUE(in.Open(path));
        std::string_view line;
        while (in.ReadTextLine(line) >= 0) {
        }
        in.Close();
        EXPECT_EQ(ctx.done.load(), 0);
    }
    {
        LoadContext ctx;
        ctx.total = static_cast<int64_t>(text.size());
        ReaderInput in(ctx);
        ASSERT_TRUE(in.Open(path));
        std::string_view line;
        in.ReadTextLine(line);
        FinishProgress(ctx);
        EXPECT_THROW(in.ReadTextLine(line), LoadCancelled);
        EXPECT_THROW(in.SkipBytes(0, SEEK_SET), LoadCancelled);
    }
}

TEST(ReaderInput, SeeksCountAsProgress)
{
    test::ScratchDir dir;
    LoadContext ctx;
    ctx.total = 2000;
    ReaderInput in(ctx);
    ASSERT_TRUE(in.Open(dir.Write("s.bin", std::string(1000, 'x'))));
    in.SkipBytes(100, SEEK_CUR);
    EXPECT_EQ(ctx.done.load(), 100);
    in.SkipBytes(500, SEEK_SET);   // beyond the done amount: raises it
    EXPECT_EQ(ctx.done.load(), 500);
    in.SkipBytes(50, SEEK_SET);    // behind it: unchanged
    EXPECT_EQ(ctx.done.load(), 500);
}

TEST(ReaderInput, OpenFailsForMissingFilesAndFolders)
{
    test::ScratchDir dir;
    LoadContext ctx;
    ReaderInput in(ctx);
    EXPECT_FALSE(in.Open((dir.Path() / "missing.obj").string()));
    EXPECT_FALSE(in.Open(dir.Path().string()));
}

// What from_chars makes of the text after scanf's sign rules, and how much of it it takes.
std::pair<float, size_t> FromChars(const std::string& text)
{
    float value = -12345.0f;
    const char* begin = text.data();
    if (!text.empty() && text[0] == '+') ++begin;
    const auto result = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) return {-12345.0f, 0};
    return {value, static_cast<size_t>(result.ptr - text.data())};
}

TEST(ScanFloat, PlainDecimalsGiveFromCharsValuesToTheBit)
{
    std::mt19937 random(5);
    const char* const fixed[] = {"0", "-0", "-0.000000", "16777216", "16777217", "1677721.6", "0.1", "0.3",
                                 "-1.350000", "12.345678", "0.0000000001", "0.00000000001", "5.", ".5", "-.5",
                                 "1.5e3", "1.5e", "2.5E-2", "1.2.3", "0x1p3", "inf", "-nan", "-", ".", "3abc",
                                 "+7.25", "123456789012345678901234567890", "0.999999999999"};
    std::vector<std::string> texts(std::begin(fixed), std::end(fixed));
    for (int i = 0; i < 20000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int whole = static_cast<int>(random() % 9), decimals = static_cast<int>(random() % 12);
        for (int d = 0; d < whole; ++d) text += static_cast<char>('0' + random() % 10);
        if (decimals > 0 || random() % 2) text += '.';
        for (int d = 0; d < decimals; ++d) text += static_cast<char>('0' + random() % 10);
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        float value = -12345.0f;
        const char* p = text.data();
        const bool scanned = ScanFloat(p, text.data() + text.size(), value);
        const auto [expected, taken] = FromChars(text);
        EXPECT_EQ(scanned, taken > 0) << text;
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << text << ": " << value << " against " << expected;
        EXPECT_EQ(static_cast<size_t>(p - text.data()), taken) << text;
    }
}

TEST(CountWords, CountsWordsAcrossSixteenByteStepsAndAllBlanks)
{
    std::mt19937 random(3);
    const char alphabet[] = {'a', '/', '1', ' ', '\t', '\n', '\v', '\f', '\r', '\x08', '\x0e', '\x1f', '!'};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const size_t length = random() % 70;
        for (size_t i = 0; i < length; ++i) text += alphabet[random() % sizeof alphabet];
        int expected = 0;
        bool blank = true;
        for (char c : text) {
            const bool isBlank = c == ' ' || (c >= '\t' && c <= '\r');
            expected += !isBlank && blank;
            blank = isBlank;
        }
        EXPECT_EQ(CountWords(text.data(), text.data() + text.size()), expected) << text;
    }
}

}  // namespace
}  // namespace solvane
