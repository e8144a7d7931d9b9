// The writer output layer: byte order, locale-free numbers, patching across block flushes, and
// failures that leave no partial file.
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "core/writer_output.h"
#include "tests/test_support.h"

namespace solvane::test {
namespace {

TEST(WriterOutput, ByteOrderAndNumbersReadBack)
{
    ScratchDir dir;
    const std::string path = (dir.Path() / "out.bin").string();
    SaveContext ctx;
    WriterOutput out(ctx);
    ASSERT_TRUE(out.Open(path));
    out.LE16(0x0102);
    out.LE32(0x03040506);
    out.BE16(0x0102);
    out.BE32(0x03040506);
    out.LEFloat(1.0f);
    out.CString("ab");
    out.Int(-42);
    out.Text(" ");
    out.Float(0.1f);
    out.Text(" ");
    out.Float(std::numeric_limits<float>::quiet_NaN());
    ASSERT_TRUE(out.Finish());
    const std::string expected = std::string("\x02\x01\x06\x05\x04\x03\x01\x02\x03\x04\x05\x06", 12) +
                                 std::string("\x00\x00\x80\x3f", 4) + std::string("ab\0", 3) + "-42 0.1 0";
    EXPECT_EQ(ReadFileBytes(path), expected);
    EXPECT_EQ(ctx.done.load(), static_cast<int64_t>(expected.size()));
    EXPECT_TRUE(ctx.error.empty());
}

TEST(WriterOutput, PatchesReachBytesAlreadyFlushedAndStillBuffered)
{
    ScratchDir dir;
    const std::string path = (dir.Path() / "big.bin").string();
    SaveContext ctx;
    WriterOutput out(ctx);
    ASSERT_TRUE(out.Open(path));
    out.LE32(0);  // flushed long before the patch
    const std::string filler(600 * 1024, 'x');
    out.Bytes(filler.data(), filler.size());
    const int64_t late = out.Tell();
    out.LE32(0);  // still in the buffer
    out.PatchLE32(0, 0xAABBCCDD);
    out.PatchBE32(late, 0x11223344);
    ASSERT_TRUE(out.Finish());
    const std::string bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), filler.size() + 8);
    EXPECT_EQ(bytes.substr(0, 4), "\xDD\xCC\xBB\xAA");
    EXPECT_EQ(bytes.substr(bytes.size() - 4), "\x11\x22\x33\x44");
}

TEST(WriterOutput, FailuresNameThePathAndLeaveNoFile)
{
    ScratchDir dir;
    SaveContext missingFolder;
    WriterOutput cannotOpen(missingFolder);
    EXPECT_FALSE(cannotOpen.Open((dir.Path() / "no/such/folder.obj").string()));
    EXPECT_NE(missingFolder.error.find("no/such/folder.obj"), std::string::npos) << missingFolder.error;

    // A full device: /dev/full accepts the open and fails every write.
    struct stat info {};
    if (::stat("/dev/full", &info) == 0) {
        SaveContext full;
        WriterOutput out(full);
        ASSERT_TRUE(out.Open("/dev/full"));
        out.Text("data");
        EXPECT_FALSE(out.Finish());
        EXPECT_NE(full.error.find("/dev/full"), std::string::npos) << full.error;
        EXPECT_EQ(::stat("/dev/full", &info), 0) << "a failed save removed a device";
    }

    // A writer that gives up removes its partial file, also when it forgets to say so.
    const std::string partial = (dir.Path() / "partial.ply").string();
    {
        SaveContext ctx;
        WriterOutput out(ctx);
        ASSERT_TRUE(out.Open(partial));
        out.Text("ply\n");
    }
    EXPECT_FALSE(std::filesystem::exists(partial));
}

}  // namespace
}  // namespace solvane::test
