// solvane-cli info: one JSON object per file in argument order, its text form, and the encoding of
// what it prints.
#include <gtest/gtest.h>

#include <string>

#include "tests/test_support.h"

namespace solvane {
namespace {

using test::RunCommand;
using test::ScratchDir;

std::string Info(const std::string& arguments, int* status = nullptr)
{
    std::string out;
    const int exit = RunCommand(std::string(SOLVANE_CLI_PATH) + " info " + arguments, &out);
    if (status) *status = exit;
    return out;
}

TEST(Cli, InfoPrintsJsonPerFileInOrderAndFailsOnBadFiles)
{
    ScratchDir dir;
    const std::string a = dir.Write("a.obj", "v 0 0 0\nv 2 0 0\nv 0 4 0\nf 1 2 3\n");
    const std::string b = dir.Write("b.dat", "???");
    int status = 0;
    const std::string out = Info("--json " + a + " " + b, &status);
    EXPECT_EQ(status, 1);
    const auto newline = out.find('\n');
    ASSERT_NE(newline, std::string::npos);
    const std::string first = out.substr(0, newline);
    const std::string second = out.substr(newline + 1);
    EXPECT_NE(first.find("\"ok\":true"), std::string::npos) << first;
    EXPECT_NE(first.find("\"format\":\"Wavefront 3D object\""), std::string::npos);
    EXPECT_NE(first.find("\"faces\":1"), std::string::npos);
    EXPECT_NE(first.find("\"bounds\":[0,2,0,4,0,0]"), std::string::npos) << first;
    EXPECT_NE(first.find("\"meshes\":[{\"name\":\"Mesh1\""), std::string::npos);
    EXPECT_NE(second.find("\"ok\":false"), std::string::npos);
    EXPECT_NE(second.find("\"result\":101"), std::string::npos);
    Info(a + " > /dev/null", &status);
    EXPECT_EQ(status, 0);
}

TEST(Cli, JsonIsUtf8WithPathsAsGivenAndWindows1252NamesConverted)
{
    ScratchDir dir;
    // The library's material name is Windows-1252: "M\xfcller\x80" is "Müller€".
    dir.Write("\xc3\x9c" "ber.mtl", "newmtl M\xfcller\x80\nKd 1 0 0\n");
    const std::string utf8 = dir.Write("\xc3\x9c" "ber.obj", "mtllib x\nv 0 0 0\nusemtl M\xfcller\x80\nf 1 1 1\n");
    const std::string latin1 = dir.Write("W\xfcst.obj", "v 0 0 0\n");
    const std::string out = Info("--json '" + utf8 + "' '" + latin1 + "'");
    EXPECT_NE(out.find("\"path\":\"" + utf8 + "\""), std::string::npos) << out;
    EXPECT_NE(out.find("\"materialList\":[{\"name\":\"M\xc3\xbcller\xe2\x82\xac\""), std::string::npos) << out;
    // A path that is not UTF-8 is read as Windows-1252 too.
    EXPECT_NE(out.find("\"path\":\"" + (dir.Path() / "W\xc3\xbcst.obj").string() + "\""), std::string::npos) << out;
    EXPECT_EQ(out.find("\\u00"), std::string::npos) << out;
}

TEST(Cli, TextPrintsNanAndInfiniteBoundsWhereJsonHasNull)
{
    ScratchDir dir;
    const std::string path = dir.Write("inf.obj", "v inf 0 0\nv -inf 1 1\nv 0 nan 2\n");
    const std::string text = Info(path);
    EXPECT_NE(text.find("bounds:        x -inf .. inf, y 0 .. 1, z 0 .. 2\n"), std::string::npos) << text;
    EXPECT_NE(text.find("centre:        nan nan 1\n"), std::string::npos) << text;
    const std::string json = Info("--json " + path);
    EXPECT_NE(json.find("\"bounds\":[null,null,0,1,0,2],\"centroid\":[null,null,1]"), std::string::npos) << json;
}

}  // namespace
}  // namespace solvane
