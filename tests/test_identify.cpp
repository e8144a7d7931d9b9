#include <gtest/gtest.h>

#include "core/format_id.h"
#include "core/load_context.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

TEST(Identify, ExtensionTableIsCaseInsensitiveWithOrWithoutDot)
{
    const std::pair<const char*, FormatId> cases[] = {
        {"OFF", 8}, {".off", 8}, {"cob", 1}, {"SCN", 1}, {"prj", 0}, {"mdl", 6}, {"Md2", 5}, {"md3", 18},
        {"dxf", 2}, {"l3d", 3}, {"lwo", 4}, {"vtk", 9}, {"obj", 7}, {"svo", 14}, {"SVS", 14}, {"nff", 16},
        {"ply", 20}, {"pro", 13}, {"x", 10}, {".X", 10}, {"3dm", 25}, {"3D2", 15}, {"3ds", 0},
        {"bmp", -1}, {"xx", -1}, {"", -1}, {"jpg", -1},
    };
    for (const auto& [extension, id] : cases) EXPECT_EQ(FormatFromExtension(extension), id) << extension;
}

TEST(Identify, PathExtensionTakesThreeTwoOrOneCharacters)
{
    EXPECT_EQ(PathExtension("a/teapot.3ds"), "3ds");
    EXPECT_EQ(PathExtension("model.x"), "x");
    EXPECT_EQ(PathExtension("model.xx"), "xx");
    EXPECT_EQ(PathExtension("model.tiff"), "");
    EXPECT_EQ(PathExtension("noextension"), "");
}

TEST(Identify, MagicTableInItsOrder)
{
    auto id = [](std::string bytes) {
        return FormatFromMagicBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(id("OFF\n1 2 3"), 8);
    EXPECT_EQ(id("off"), 8);
    EXPECT_EQ(id("Caligari V00.01BLH"), 1);
    EXPECT_EQ(id(std::string("\x3D\x02", 2)), 15);
    EXPECT_EQ(id(std::string("\x4D\x4D\0\0", 4)), 0);
    EXPECT_EQ(id(std::string("\x3D\xC2\0\0", 4)), 0);
    EXPECT_EQ(id("IDPO"), 6);
    EXPECT_EQ(id("idp2"), 5);
    EXPECT_EQ(id("IdP3"), 18);
    EXPECT_EQ(id("L3D0"), 3);
    EXPECT_EQ(id(std::string("FORM\0\0\0\0LWOB", 12)), 4);
    EXPECT_EQ(id(std::string("FORM\0\0\0\0LWO2", 12)), -1);
    EXPECT_EQ(id("# vtk DataFile"), 9);
    EXPECT_EQ(id("NFF"), 16);
    EXPECT_EQ(id("s8"), 16);
    EXPECT_EQ(id("Solvaneo"), 14);
    EXPECT_EQ(id("PlY\n"), 20);
    EXPECT_EQ(id(std::string("\x03\x03", 2)), 13);
    EXPECT_EQ(id("xof 0302txt 0032"), 10);
    EXPECT_EQ(id("hello"), -1);
    // "OFF" is tested before everything else, even "xof " that follows later in the table.
    EXPECT_EQ(id("OFFxof "), 8);
}

TEST(Identify, ExtensionWinsAndImageExtensionsGoToMagic)
{
    test::ScratchDir dir;
    const std::string off = "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    EXPECT_EQ(IdentifyFormat(dir.Write("shape.ply", off).c_str()), 20);
    EXPECT_EQ(IdentifyFormat(dir.Write("shape.dat", off).c_str()), 8);
    EXPECT_EQ(IdentifyFormat(dir.Write("shape.bmp", off).c_str()), 8);
    EXPECT_EQ(IdentifyFormat(dir.Write("teapot.3ds", "not a 3ds").c_str()), 0);
    EXPECT_EQ(IdentifyFormat(dir.Write("cube.x", "").c_str()), 10);
    EXPECT_EQ(IdentifyFormat(dir.Write("cube.xx", "xof 0302txt 0032").c_str()), 10);
    EXPECT_EQ(IdentifyFormat(dir.Write("empty.dat", "").c_str()), -1);
    EXPECT_EQ(IdentifyFormat((dir.Path() / "missing.dat").c_str()), -1);
}

TEST(Identify, NamesOfFormats)
{
    EXPECT_STREQ(FormatShortName(0), "3D Studio format");
    EXPECT_STREQ(FormatShortName(25), "Rhino object");
    EXPECT_STREQ(FormatShortName(11), "Unknown 3D format");
    EXPECT_STREQ(FormatShortName(17), "Unknown 3D format");
    EXPECT_STREQ(FormatShortName(-1), "Unknown 3D format");
    EXPECT_STREQ(ImageFormatName(24), "IFF (ILBM) Image");
    EXPECT_STREQ(ImageFormatName(23), "SGI RGB");
    EXPECT_STREQ(ImageFormatName(7), "Unknown 2D format");
    EXPECT_STREQ(FormatDescriptionForExtension("SCN"), "Truespace 3D scene");
    EXPECT_STREQ(FormatDescriptionForExtension(".prj"), "3D Studio 3D project");
    EXPECT_STREQ(FormatDescriptionForExtension("gif"), "Unknown format");
    EXPECT_EQ(ImageFormatFromName("wood.JPG"), 22);
    EXPECT_EQ(ImageFormatFromName("wood.gif"), -1);
    EXPECT_EQ(ImageFormatFromName("wood"), -1);
    EXPECT_STREQ(ImageFormatName(26), "PNG");
}

// Texture names go by their extension as identification finds it; chosen files by their last
// three characters; both through the one table, PNG included and SGI RGB only for texture names.
TEST(ImageNames, TextureNamesAndChosenFilesShareOneTable)
{
    struct Row {
        const char* name;
        FormatId texture;
        FormatId chosen;
    };
    const Row table[] = {
        {"a.bmp", 12, 12}, {"a.IFF", 24, 24}, {"a.jpg", 22, 22}, {"a.Pcx", 11, 11}, {"a.tga", 19, 19},
        {"a.ppm", 21, 21}, {"a.png", 26, 26}, {"C:\\maps\\A.PNG", 26, 26}, {"\"/x y/a.png\"", -1, 26},
        {"a.rgb", 23, -1}, {"a.jpeg", -1, -1}, {"a.gif", -1, -1}, {"apng", -1, 26}, {"png", -1, 26},
        {"pn", -1, -1}, {"", -1, -1},
    };
    for (const Row& row : table) {
        EXPECT_EQ(ImageFormatFromName(row.name), row.texture) << row.name;
        EXPECT_EQ(ImageFormatForChosenFile(row.name), row.chosen) << row.name;
    }
}

TEST(Progress, ProgressOfFollowsItsRules)
{
    LoadContext ctx;
    EXPECT_EQ(ProgressOf(ctx, 7), 7);
    ResetProgress(ctx);
    EXPECT_EQ(ProgressOf(ctx), 0);
    ctx.total = 1000;
    EXPECT_EQ(ProgressOf(ctx), 0);
    ctx.done = 333;
    EXPECT_EQ(ProgressOf(ctx, 2), 166);
    ctx.done = 1001;
    EXPECT_EQ(ProgressOf(ctx), 499);
    ctx.done = -1;
    EXPECT_EQ(ProgressOf(ctx), 500);
    EXPECT_EQ(ctx.total.load(), -1);
    EXPECT_EQ(ctx.done.load(), -1);
}

TEST(Progress, ResultMessages)
{
    LoadContext ctx;
    int32_t code = 0;
    EXPECT_STREQ(ResultMessage(ctx, &code), "No error.\n");
    EXPECT_EQ(code, 100);
    EXPECT_STREQ(ResultMessageFor(101), "Could not load file because the file format was not recognized.\n");
    EXPECT_STREQ(ResultMessageFor(2300), "Unknown error.");
    EXPECT_STREQ(ResultMessageFor(2201), "This .PLY file uses an unsupported data format.");
    EXPECT_STREQ(ResultMessageFor(12345), "Unknown error.");
}

}  // namespace
}  // namespace solvane
