// solvane-cli and the viewer program run as a user runs them. What info prints: one JSON object per
// file in argument order, its text form and the encoding of both. The command lines: help and
// version texts, usage errors (status 2, the culprit named on standard error), the accepted forms
// of every option, and "--" before paths that begin with "-".
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "formats/native.h"
#include "load/save.h"
#include "tests/test_support.h"
#include "viewer/headless_context.h"

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

// ---- What info prints ------------------------------------------------------------------------

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

struct Outcome {
    int status = -1;
    std::string out, err;
};

// Runs `program arguments` through the shell, `environment` (such as "env -u DISPLAY") first.
Outcome RunProgram(const std::string& program, const std::string& arguments, const std::string& environment = "")
{
    ScratchDir scratch;
    const std::string errPath = (scratch.Path() / "stderr").string();
    Outcome outcome;
    outcome.status =
        test::RunCommand(environment + " '" + program + "' " + arguments + " 2>'" + errPath + "'", &outcome.out);
    outcome.err = test::ReadFileBytes(errPath);
    return outcome;
}

Outcome RunCli(const std::string& arguments)
{
    return RunProgram(SOLVANE_CLI_PATH, arguments);
}

// The path in single quotes, for the shell.
std::string Quoted(const std::string& path)
{
    std::string quoted = "'";
    quoted += path;
    quoted += '\'';
    return quoted;
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

constexpr char kTriangle[] = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";

// A picture a command wrote, as RGB rows.
struct Png {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    bool Read(const std::string& path) { return ReadPng(path, width, height, rgb); }
};

// Skips the test where the command found no headless GL context (status 3), else expects success.
#define EXPECT_DRAWN(run)                                                                  \
    do {                                                                                   \
        if ((run).status == 3) GTEST_SKIP() << "no headless GL context: " << (run).err;    \
        ASSERT_EQ((run).status, 0) << (run).err;                                           \
    } while (0)

// ---- Help and version -------------------------------------------------------------------------

TEST(CliHelp, ProgramHelpListsEveryCommandOnStdout)
{
    for (const char* flag : {"--help", "-h", "help"}) {
        SCOPED_TRACE(flag);
        const Outcome run = RunCli(flag);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        for (const char* part :
             {"Usage: solvane-cli", "info", "image", "render", "convert", "report", "html", "help", "--version"}) {
            EXPECT_TRUE(Has(run.out, part)) << part << "\n" << run.out;
        }
    }
}

TEST(CliHelp, VersionNamesTheProgramAndTheProjectVersion)
{
    const Outcome run = RunCli("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "solvane-cli (Solvane Viewer) " SOLVANE_VERSION "\n");
}

TEST(CliHelp, NoArgumentsListsTheCommandsOnStderrWithStatusTwo)
{
    const Outcome run = RunCli("");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(Has(run.err, "render")) << run.err;
}

TEST(CliHelp, EachCommandHasItsOwnHelpNamingEveryArgument)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"info", {"FILE", "--json", "--apply OPS", "weld=TOL", "decimate=FACTOR", "scale=F"}},
        {"image", {"FILE", "--json", "--out OUT", "png, bmp, jpg, pcx or tga"}},
        {"render",
         {"FILE", "OUT", "png, bmp (24 bit), jpg, pcx", "--ppm-ascii", "--jpeg-quality Q", "--size WxH", "--mode solid|wireframe|hidden", "--yaw DEG", "--pitch DEG",
          "--light on|off", "--texturing on|off", "--axes on|off", "--box on|off", "--pivot on|off", "--depth-cue F",
          "--gamma G", "--background R,G,B", "--wash R,G,B,AMOUNT", "--filter-image FILE[,ALPHA]", "--times"}},
        {"convert", {"FILE", "IN OUT", "--as FORMAT", "--to FORMAT", "--out-dir DIR", "x-ascii", "svs", "ply"}},
        {"report", {"FILE", "Open 3D File Info"}},
        {"html",
         {"FILE", "OUT.htm", "--width W", "--height H", "--no-image", "--single-image", "--absolute-links",
          "--no-geometry", "--no-materials", "--no-textures", "--no-animation", "--dump-all", "--no-message",
          "--zoomable", "--header F", "--footer F", "--page-color R,G,B", "--text-color R,G,B"}},
    };
    for (const auto& [command, arguments] : commands) {
        SCOPED_TRACE(command);
        const Outcome run = RunCli(command + " --help");
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(Has(run.out, "Usage: solvane-cli " + command + " [OPTIONS]")) << run.out;
        for (const std::string& argument : arguments) EXPECT_TRUE(Has(run.out, argument)) << argument << "\n" << run.out;
        // Another command's options are not listed.
        EXPECT_EQ(Has(run.out, "--gamma"), command == "render");
        EXPECT_EQ(RunCli("help " + command).out, run.out);
        EXPECT_EQ(RunCli(command + " -h").out, run.out);
    }
}

// ---- Usage errors -----------------------------------------------------------------------------

TEST(CliUsage, MistakesExitWithTwoAndNameTheOptionAndValue)
{
    ScratchDir dir;
    const std::string model = Quoted(dir.Write("t.obj", kTriangle));
    const std::string render = "render " + model + " out.png ";
    // Arguments, then the texts the error must contain.
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"bogus", {"solvane-cli:", "'bogus'"}},
        {"--bogus", {"solvane-cli:", "'--bogus'"}},
        {"help bogus", {"'bogus'"}},
        {"info --bogus " + model, {"solvane-cli info:", "--bogus"}},
        {"info -odd.obj", {"unknown option '-odd.obj'", "'--'"}},
        {"info", {"FILE"}},
        {"info --apply smooth " + model, {"--apply", "'smooth'"}},
        {"info --apply scale=0 " + model, {"--apply", "'scale=0'"}},
        {"info --apply weld " + model, {"--apply", "'weld'"}},
        {"info --apply=normals,decimate=x " + model, {"--apply", "'decimate=x'"}},
        {"info " + model + " --apply", {"--apply"}},
        {"image", {"solvane-cli image:", "FILE"}},
        {"image " + model + " second.ppm", {"second.ppm"}},
        {"image " + model + " --out", {"--out"}},
        {"image " + model + " --out x.gif", {"--out", "x.gif", "names no image format"}},
        {"render " + model, {"solvane-cli render:", "OUT"}},
        {"render " + model + " out.gif", {"OUT", "out.gif", "names no image format"}},
        {render + "--jpeg-quality 0", {"--jpeg-quality", "'0'"}},
        {render + "--jpeg-quality 101", {"--jpeg-quality", "'101'"}},
        {render + "--jpeg-quality 9.5", {"--jpeg-quality", "'9.5'"}},
        {render + "extra.png", {"unexpected argument 'extra.png'"}},
        {render + "-- -extra.png", {"unexpected argument '-extra.png'"}},
        {render + "--bogus", {"--bogus"}},
        {render + "--size 0x5", {"--size", "'0x5'"}},
        {render + "--size 800", {"--size", "'800'"}},
        {render + "--size 8193x10", {"--size", "'8193x10'"}},
        {render + "--size 20x20x", {"--size", "'20x20x'"}},
        {render + "--size=-4x4", {"--size", "'-4x4'"}},
        {render + "--mode shaded", {"--mode", "'shaded'"}},
        {render + "--yaw 30deg", {"--yaw", "'30deg'"}},
        {render + "--yaw 3,5", {"--yaw", "'3,5'"}},
        {render + "--pitch nan", {"--pitch", "'nan'"}},
        {render + "--pitch 1e999", {"--pitch", "'1e999'"}},
        {render + "--light yes", {"--light", "'yes'"}},
        {render + "--texturing 1", {"--texturing", "'1'"}},
        {render + "--gamma 0", {"--gamma", "'0'"}},
        {render + "--gamma=-1", {"--gamma", "'-1'"}},
        {render + "--depth-cue x", {"--depth-cue", "'x'"}},
        {render + "--background 1,0", {"--background", "'1,0'"}},
        {render + "--background 1,0,0,0", {"--background", "'1,0,0,0'"}},
        {render + "--background 1/0/0", {"--background", "'1/0/0'"}},
        {render + "--depth-cue", {"--depth-cue"}},
        {render + "--wash 0,1,0", {"--wash", "'0,1,0'"}},
        {render + "--wash 0,1,0,1.5", {"--wash", "'0,1,0,1.5'"}},
        {render + "--wash=-0.1,1,0,1", {"--wash", "'-0.1,1,0,1'"}},
        {render + "--wash 0,1,0,0.5,1", {"--wash", "'0,1,0,0.5,1'"}},
        {render + "--filter-image ''", {"--filter-image"}},
        {render + "--filter-image f.bmp,2", {"--filter-image", "'f.bmp,2'"}},
        {render + "--filter-image ,0.5", {"--filter-image", "',0.5'"}},
        {"convert " + model, {"solvane-cli convert:", "IN and OUT"}},
        {"convert " + model + " a.off b.off", {"IN and OUT", "3 paths"}},
        {"convert " + model + " out.wrl", {"'out.wrl'", "--as"}},
        {"convert " + model + " out --as wrl", {"--as", "'wrl'"}},
        {"convert --to off " + model, {"--to", "--out-dir"}},
        {"convert --out-dir d " + model, {"--out-dir", "--to"}},
        {"convert --to off --out-dir d --as ply " + model, {"--as", "--to"}},
        {"convert --to vrml --out-dir d " + model, {"--to", "'vrml'"}},
        {"convert --to off --out-dir d", {"FILE"}},
        {render + "--background-quality 6", {"--background-quality", "'6'"}},
        {render + "--background-quality 1.5", {"--background-quality", "'1.5'"}},
        {render + "--background-quality -1", {"--background-quality", "'-1'"}},
        {render + "--background-image", {"--background-image"}},
        {"report", {"solvane-cli report:", "FILE"}},
        {"report " + model + " extra", {"unexpected argument 'extra'"}},
        {"html " + model, {"solvane-cli html:", "OUT.htm"}},
        {"html " + model + " p.htm --width 1601", {"--width", "'1601'", "1 to 1600"}},
        {"html " + model + " p.htm --width 0", {"--width", "'0'"}},
        {"html " + model + " p.htm --height 1201", {"--height", "'1201'", "1 to 1200"}},
        {"html " + model + " p.htm --height 2.5", {"--height", "'2.5'"}},
        {"html " + model + " p.htm --page-color 1,2", {"--page-color", "'1,2'"}},
        {"html " + model + " p.htm --page-color 256,0,0", {"--page-color", "'256,0,0'"}},
        {"html " + model + " p.htm --text-color a,b,c", {"--text-color", "'a,b,c'"}},
        {"html " + model + " p.htm --zoom", {"--zoom"}},
        {"html " + model + " p.htm --header", {"--header"}},
    };
    for (const auto& [arguments, parts] : cases) {
        SCOPED_TRACE(arguments);
        const Outcome run = RunCli(arguments);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        for (const std::string& part : parts) EXPECT_TRUE(Has(run.err, part)) << part << "\n" << run.err;
        EXPECT_TRUE(Has(run.err, "--help")) << "no pointer to the usage\n" << run.err;
    }
}

// Every form below parses; the model is missing, so the command stops at the load with status 1.
TEST(CliUsage, AcceptedFormsReachTheCommand)
{
    ScratchDir dir;
    const std::string missing = Quoted((dir.Path() / "missing.obj").string());
    const std::string render = "render " + missing + " out.png ";
    const std::vector<std::string> cases = {
        render + "--yaw -30 --pitch=-20.5",
        render + "--yaw +1e1 --pitch .5",
        render + "--size=64x48 --size 8192x1",
        render + "--background 0.1,0.2,0.3 --gamma 2.2 --depth-cue 0.5",
        render + "--background=-1,0,1e0",
        render + "--light off --texturing on --axes off --box off --pivot on --mode wireframe --times",
        render + "--mode hidden --mode solid",
        render + "--wash 0,1,0,0 --wash=1,1,1,1 --filter-image f.bmp --filter-image=g,h.tga,0",
        render + "--background-image sky.jpg --background-quality 0 --background-quality=5",
        "render --size 64x48 " + missing + " --yaw 5 out.png",
        "info " + missing + " --json",
        "info --apply normals --apply=invert-normals,triangulate,tessellate,weld=0.5,decimate=0.1,scale=2 " + missing,
        "image " + missing + " --out out.ppm --json",
        "report " + missing,
        "html " + missing + " p.htm --width 1600 --height=1200 --no-image --single-image --absolute-links --no-geometry",
        "html --no-materials --no-textures --no-animation --dump-all --no-message --zoomable " + missing + " p.htm",
        "html " + missing + " p.htm --page-color 0,0,0 --text-color=255,255,255 --width 1 --height 1",
    };
    for (const std::string& arguments : cases) {
        SCOPED_TRACE(arguments);
        const Outcome run = RunCli(arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_FALSE(Has(run.err, "--help")) << run.err;
    }
}

TEST(CliUsage, RepeatedApplyRunsInTheOrderGiven)
{
    ScratchDir dir;
    // The first two vertices lie 0.5 apart: a weld within 0.6 merges them before scaling, not after.
    const std::string obj = dir.Write("near.obj", "v 0 0 0\nv 0.5 0 0\nv 0 4 0\nf 1 2 3\n");
    EXPECT_TRUE(Has(RunCli("info --json --apply weld=0.6 --apply=scale=2 '" + obj + "'").out, "\"vertices\":2,"));
    EXPECT_TRUE(Has(RunCli("info --json --apply scale=2 --apply weld=0.6 '" + obj + "'").out, "\"vertices\":3,"));
}

TEST(CliUsage, DoubleDashEndsTheOptionsBeforeOrAfterPaths)
{
    ScratchDir dir;
    dir.Write("-odd.obj", kTriangle);
    const std::string plain = dir.Write("plain.obj", kTriangle);
    const std::string cd = "cd '" + dir.Path().string() + "' && ";
    for (const std::string& arguments : {std::string("info --json plain.obj -- -odd.obj"),
                                         std::string("info --json -- plain.obj -odd.obj")}) {
        SCOPED_TRACE(arguments);
        std::string out;
        EXPECT_EQ(test::RunCommand(cd + "'" + SOLVANE_CLI_PATH + "' " + arguments, &out), 0);
        EXPECT_TRUE(Has(out, "{\"path\":\"plain.obj\",\"ok\":true")) << out;
        EXPECT_TRUE(Has(out, "{\"path\":\"-odd.obj\",\"ok\":true")) << out;
    }
    std::string out;
    EXPECT_EQ(test::RunCommand(cd + "'" + SOLVANE_CLI_PATH + "' image -- -odd.obj", &out), 1);
    EXPECT_TRUE(Has(out, "-odd.obj")) << out;
}

// ---- Values reach the frame -------------------------------------------------------------------

TEST(CliRender, SizeAndBackgroundReachThePicture)
{
    ScratchDir dir;
    const std::string obj = dir.Write("t.obj", kTriangle);
    const std::string png = (dir.Path() / "out.png").string();
    const Outcome run = RunCli("render '" + obj + "' '" + png +
                               "' --size=40x30 --background 1,0,0 --gamma 1 --axes off --box off --yaw -30");
    EXPECT_DRAWN(run);
    Png picture;
    ASSERT_TRUE(picture.Read(png));
    EXPECT_EQ(picture.width, 40);
    EXPECT_EQ(picture.height, 30);
    ASSERT_EQ(picture.rgb.size(), 40u * 30u * 3u);
    // The top-left corner is background.
    EXPECT_GE(picture.rgb[0], 250);
    EXPECT_LE(picture.rgb[1], 5);
    EXPECT_LE(picture.rgb[2], 5);
}

// The eye filter's layers: the image stretched over the picture at its opacity, then the wash.
TEST(CliRender, EyeFilterLayersReachThePicture)
{
    ScratchDir dir;
    const std::string obj = dir.Write("t.obj", kTriangle);
    const std::string png = (dir.Path() / "out.png").string();
    // A 32 x 32 image (the filter texture's own size: no smoothing), red on top, blue below (a PPM
    // lists the top row first).
    std::string ppm = "P6\n32 32\n255\n";
    for (int i = 0; i < 32 * 32; ++i) ppm += i < 16 * 32 ? std::string("\xff\0\0", 3) : std::string("\0\0\xff", 3);
    const std::string image = dir.Write("f,1.ppm", ppm);
    const std::string base = "render '" + obj + "' '" + png + "' --size=40x30 --background 0,0,0 --gamma 1 ";
    struct Case {
        std::string options;
        std::array<int, 3> top, bottom;  // expected colour of the middle of the top and bottom rows
    };
    const std::vector<Case> cases = {
        {"--wash 0,1,0,1", {0, 255, 0}, {0, 255, 0}},
        {"--wash 1,1,1,0", {0, 0, 0}, {0, 0, 0}},
        // The file's own name ends in ",1": it is read whole, at the default opacity.
        {"--filter-image '" + image + "'", {128, 0, 0}, {0, 0, 128}},
        {"--filter-image '" + image + ",1'", {255, 0, 0}, {0, 0, 255}},
        // The wash goes over the image: red, then half green.
        {"--filter-image '" + image + ",1' --wash 0,1,0,0.5", {128, 128, 0}, {0, 128, 128}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const Outcome run = RunCli(base + c.options + " --axes off --box off --yaw 180");
        EXPECT_DRAWN(run);
        Png picture;
        ASSERT_TRUE(picture.Read(png));
        const size_t top = (4 * 40 + 20) * 3, bottom = (25 * 40 + 20) * 3;
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(picture.rgb[top + k], c.top[k], 3) << "top, channel " << k;
            EXPECT_NEAR(picture.rgb[bottom + k], c.bottom[k], 3) << "bottom, channel " << k;
        }
    }
    const Outcome missing = RunCli(base + "--filter-image '" + (dir.Path() / "none.ppm").string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.err, "none.ppm")) << missing.err;
    const Outcome unknown = RunCli(base + "--filter-image '" + obj + "'");
    EXPECT_EQ(unknown.status, 1);
    EXPECT_TRUE(Has(unknown.err, "not an image file")) << unknown.err;
}

// The background image is stretched behind the model as the window draws it (the picture's four
// quarters, each 8x4 pixels, so that the scaling's blend at the edges stays narrow); names of no
// image kind and unreadable images stop the command with status 1, naming the file.
TEST(CliRender, BackgroundImageIsDrawnBehindTheModel)
{
    ScratchDir dir;
    const std::string image = (dir.Path() / "quarters.ppm").string();
    {
        std::ofstream out(image, std::ios::binary);
        out << "P6\n32 16\n255\n";
        const char quarter[2][2][3] = {{{'\xff', 0, 0}, {0, '\xff', 0}},            // red, green
                                       {{0, 0, '\xff'}, {'\xff', '\xff', 0}}};  // blue, yellow
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 32; ++x) out.write(quarter[y / 8][x / 16], 3);
        }
    }
    const std::string obj = dir.Write("t.obj", kTriangle);
    const std::string png = (dir.Path() / "out.png").string();
    const std::string render = "render '" + obj + "' '" + png + "' --size 80x60 ";
    const Outcome run = RunCli(render + "--background-image '" + image + "' --background-quality 2");
    EXPECT_DRAWN(run);
    Png picture;
    ASSERT_TRUE(picture.Read(png));
    const struct {
        int x, y;
        int r, g, b;
    } quarters[] = {{8, 8, 255, 0, 0}, {72, 8, 0, 255, 0}, {8, 52, 0, 0, 255}, {72, 52, 255, 255, 0}};
    for (const auto& q : quarters) {
        const uint8_t* p = &picture.rgb[(static_cast<size_t>(q.y) * picture.width + q.x) * 3];
        EXPECT_NEAR(p[0], q.r, 30) << q.x << "," << q.y;
        EXPECT_NEAR(p[1], q.g, 30) << q.x << "," << q.y;
        EXPECT_NEAR(p[2], q.b, 30) << q.x << "," << q.y;
    }
    for (const std::string& bad : {dir.Write("a.gif", "GIF89a"), dir.Write("b.tga", "xx")}) {
        const Outcome refused = RunCli(render + "--background-image '" + bad + "'");
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(Has(refused.err, bad)) << refused.err;
    }
}

// ---- The information report and the web page -------------------------------------------------

// What report prints is the panel's report after a load, every line ended by a line feed alone.
TEST(CliReport, PrintsThePanelsReportWithLineFeeds)
{
    ScratchDir dir;
    const std::string obj = dir.Write("tri&angle.obj", "v 0 0 0\nv 100 0 0\nv 0 50 0\nf 1 2 3\n");
    const Outcome run = RunCli("report " + Quoted(obj));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "      NAME: tri\nangle.obj\n"
                       "  LOCATION: " + dir.Path().string() + "/\n"
                       "      TYPE: Wavefront 3D object\n"
                       " FILE SIZE: 0.03 kb\n"
                       "  POLYGONS: 1\n"
                       "  VERTICES: 3\n"
                       "SUB-MESHES: 1\n"
                       "X(min,max): (0.00, 100.00)\n"
                       "Y(min,max): (0.00, 50.00)\n"
                       "Z(min,max): (0.00, 0.00)\n"
                       "    CENTER: (33.33, 16.67, 0.00)\n"
                       " MATERIALS: 1\n"
                       "            Solvane Color\n"
                       "               COLOR: (255, 255, 255)\n"
                       "             DIFFUSE: (255, 255, 255)\n"
                       "            SPECULAR: (255, 255, 255)\n"
                       "  TEXTURES: 0\n");
    EXPECT_FALSE(Has(run.out, "\r"));
    const Outcome missing = RunCli("report " + Quoted((dir.Path() / "none.obj").string()));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(Has(missing.err, "none.obj: The file is not found")) << missing.err;
}

// The page and its pictures drawn headless: the front picture shows the model on the background.
TEST(CliHtml, WritesThePageWithPicturesDrawnHeadless)
{
    ScratchDir dir;
    const std::string obj = dir.Write("t.obj", kTriangle);
    const std::string page = (dir.Path() / "t.htm").string();
    const Outcome run = RunCli("html " + Quoted(obj) + " " + Quoted(page) +
                               " --width 64 --height 48 --zoomable --page-color 1,2,3 --no-message");
    EXPECT_DRAWN(run);
    const std::string html = test::ReadFileBytes(page);
    EXPECT_TRUE(Has(html, "background-color: #010203;")) << html;
    EXPECT_FALSE(Has(html, "<footer>"));
    for (const char* name : {"view", "front", "side", "top"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Has(html, std::string("<img src=\"t_files/") + name + ".png\" width=\"64\" height=\"48\""));
        Png picture;
        ASSERT_TRUE(picture.Read((dir.Path() / "t_files" / (std::string(name) + "-large.png")).string()));
        EXPECT_EQ(picture.width, 128);
        EXPECT_EQ(picture.height, 96);
    }
    Png picture;
    ASSERT_TRUE(picture.Read((dir.Path() / "t_files" / "front.png").string()));
    ASSERT_EQ(picture.rgb.size(), 64u * 48u * 3u);
    // The corner is the background, 0.3 grey through the default gamma of 1.7 as the view shows it
    // (255 x 0.3^(1/1.7) = 125.6); the lit triangle covers a good part of the rest.
    EXPECT_NEAR(picture.rgb[0], 125, 3);
    int model = 0;
    for (size_t i = 0; i < picture.rgb.size(); i += 3) model += std::abs(static_cast<int>(picture.rgb[i]) - picture.rgb[0]) > 20 ? 1 : 0;
    EXPECT_GT(model, 64 * 48 / 10);
}

TEST(CliHtml, AMissingHeaderFailsBeforeAnythingIsWritten)
{
    ScratchDir dir;
    const std::string obj = dir.Write("t.obj", kTriangle);
    const Outcome run = RunCli("html " + Quoted(obj) + " " + Quoted((dir.Path() / "p.htm").string()) +
                               " --header " + Quoted((dir.Path() / "h.html").string()));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "solvane-cli html: The specified header file does not exist.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "p.htm"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "p_files"));
}

// ---- convert ----------------------------------------------------------------------------------

std::string Sample(const char* name)
{
    return (test::SourceDir() / "samples" / name).string();
}

TEST(CliConvert, OneFileByExtensionOrByName)
{
    ScratchDir dir;
    const std::string ply = (dir.Path() / "cube.ply").string();
    Outcome run = RunCli("convert " + Quoted(Sample("cube.obj")) + " " + Quoted(ply));
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out + run.err, "");
    test::LoadOutcome back = test::Load(ply);
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->formatId, Format::Ply);
    EXPECT_EQ(TotalFaces(*back.model), TotalFaces(*test::Load(Sample("cube.obj")).model));
    // --as names the format whatever the extension; the file is then found by its contents.
    const std::string dat = (dir.Path() / "cube.dat").string();
    run = RunCli("convert " + Quoted(Sample("cube.obj")) + " " + Quoted(dat) + " --as OFF");
    ASSERT_EQ(run.status, 0) << run.err;
    back = test::Load(dat);
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->formatId, Format::Off);
}

TEST(CliConvert, FailuresAreNamedWithStatusOne)
{
    ScratchDir dir;
    const std::string missing = (dir.Path() / "missing.obj").string();
    Outcome run = RunCli("convert " + Quoted(missing) + " " + Quoted((dir.Path() / "a.off").string()));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, missing + ": cannot load (result 102)")) << run.err;
    run = RunCli("convert " + Quoted(Sample("cube.obj")) + " /nonexistent-folder/a.off");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, "/nonexistent-folder/a.off")) << run.err;
}

TEST(CliConvert, ManyFilesIntoAFolderInParallel)
{
    ScratchDir dir;
    // Two inputs named cube: each keeps its own extension in its output's name.
    const std::string cubeOff = (dir.Path() / "cube.off").string();
    ASSERT_EQ(RunCli("convert " + Quoted(Sample("cube.obj")) + " " + Quoted(cubeOff)).status, 0);
    const std::string missing = (dir.Path() / "absent.obj").string();
    const std::string out = (dir.Path() / "out").string();
    const Outcome run = RunCli("convert --to vtk --out-dir " + Quoted(out) + " " + Quoted(Sample("cube.obj")) + " " +
                               Quoted(missing) + " " + Quoted(Sample("teapot.obj")) + " " + Quoted(cubeOff));
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(Has(run.err, missing + ": cannot load (result 102)")) << run.err;
    // Not a terminal: no progress line.
    EXPECT_FALSE(Has(run.err, "converting")) << run.err;
    for (const char* name : {"cube_obj.vtk", "cube_off.vtk", "teapot.vtk"}) {
        const std::string path = out + "/" + name;
        EXPECT_TRUE(Has(run.out, "-> " + path)) << run.out;
        test::LoadOutcome back = test::Load(path);
        ASSERT_NE(back.model, nullptr) << name;
        EXPECT_EQ(back.model->formatId, Format::Vtk);
    }
    EXPECT_EQ(TotalFaces(*test::Load(out + "/teapot.vtk").model), TotalFaces(*test::Load(Sample("teapot.obj")).model));
}

TEST(CliConvert, ProgressLineOnATerminal)
{
    std::string version;
    if (RunCommand("script --version 2>/dev/null", &version) != 0) GTEST_SKIP() << "no script(1) to give a terminal";
    ScratchDir dir;
    const std::string command = std::string(SOLVANE_CLI_PATH) + " convert --to off --out-dir " +
                                Quoted((dir.Path() / "out").string()) + " " + Quoted(Sample("cube.obj")) + " " +
                                Quoted(Sample("teapot.obj"));
    std::string output;
    ASSERT_EQ(RunCommand("script -qec \"" + command + "\" /dev/null", &output), 0) << output;
    EXPECT_TRUE(Has(output, "converting: 2 of 2 done, 0 failed")) << output;
}

// ".x" is DirectX binary, --as x-ascii its text form; the texture-carrying formats write the images
// their materials name beside the model.
TEST(CliConvert, DirectXFormsAndTexturesBesideTheModel)
{
    ScratchDir dir;
    const std::string binary = (dir.Path() / "cube.x").string();
    const std::string text = (dir.Path() / "text.x").string();
    const std::string glb = (dir.Path() / "cube.glb").string();
    ASSERT_EQ(RunCli("convert " + Quoted(Sample("cube.obj")) + " " + Quoted(binary)).status, 0);
    ASSERT_EQ(RunCli("convert " + Quoted(Sample("cube.obj")) + " " + Quoted(text) + " --as x-ascii").status, 0);
    ASSERT_EQ(RunCli("convert " + Quoted(Sample("cube.obj")) + " " + Quoted(glb)).status, 0);
    const auto head = [](const std::string& path, size_t bytes) {
        std::ifstream in(path, std::ios::binary);
        std::string start(bytes, '\0');
        in.read(start.data(), static_cast<std::streamsize>(bytes));
        return start;
    };
    EXPECT_EQ(head(binary, 16), "xof 0303bin 0032");
    EXPECT_EQ(head(text, 16), "xof 0303txt 0032");
    EXPECT_EQ(head(glb, 4), "glTF");
    for (const std::string& path : {binary, text}) {
        test::LoadOutcome back = test::Load(path);
        ASSERT_NE(back.model, nullptr) << path;
        EXPECT_EQ(TotalFaces(*back.model), TotalFaces(*test::Load(Sample("cube.obj")).model));
    }

    SOLVANE_SKIP_WITHOUT_SHARED();
    const std::string jeep = (test::SharedDir() / "corpus" / "models" / "3DS" / "jeep1.3ds").string();
    const std::string obj = (dir.Path() / "jeep.obj").string();
    ASSERT_EQ(RunCli("convert " + Quoted(jeep) + " " + Quoted(obj)).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "jeep.mtl"));
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "jeep_jeep1.png"));
    test::LoadOutcome back = test::Load(obj);
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->TextureCount(), 1);
}

// A scene file converted to a scene file keeps its view.
TEST(CliConvert, SceneToSceneKeepsTheView)
{
    ScratchDir dir;
    auto model = test::Load(Sample("cube.obj")).model;
    ASSERT_NE(model, nullptr);
    SceneRecord scene;
    scene.yaw = 42;
    scene.background = {0.5f, 0.25f, 0.125f};
    const std::string in = (dir.Path() / "in.svs").string();
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*model, in, *FindWriter("svs"), save, &scene));
    const std::string out = (dir.Path() / "out.svs").string();
    ASSERT_EQ(RunCli("convert " + Quoted(in) + " " + Quoted(out)).status, 0);
    LoadContext ctx;
    ASSERT_NE(LoadModelFile(out, ctx), nullptr);
    int64_t offset = ctx.sceneOffset.load();
    SceneRecord read;
    ASSERT_TRUE(ReadNativeScene(out.c_str(), offset, read));
    EXPECT_EQ(read.yaw, 42.0f);
    EXPECT_EQ(read.background, scene.background);
}

// ---- The viewer program -----------------------------------------------------------------------

#ifdef SOLVANE_GUI_PATH
constexpr char kNoDisplay[] = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";

TEST(ViewerCommandLine, HelpAndVersionAnswerWithoutADisplay)
{
    for (const char* arguments : {"--help", "-h", "model.obj --help"}) {
        SCOPED_TRACE(arguments);
        const Outcome run = RunProgram(SOLVANE_GUI_PATH, arguments, kNoDisplay);
        EXPECT_EQ(run.status, 0);
        EXPECT_TRUE(Has(run.out, "Usage: solvane [OPTIONS] [--] [MODEL]")) << run.out;
        EXPECT_TRUE(Has(run.out, "--version")) << run.out;
        EXPECT_EQ(run.err, "");
    }
    const Outcome run = RunProgram(SOLVANE_GUI_PATH, "--version", kNoDisplay);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "solvane (Solvane Viewer) " SOLVANE_VERSION "\n");
}

TEST(ViewerCommandLine, UnknownOptionsAreRefusedWhileQtOptionsPass)
{
    // Qt's offscreen platform needs no display; the program stops before it opens a window.
    for (const char* arguments : {"--bogus", "-platform offscreen -odd.obj", "-style Fusion --bogus"}) {
        SCOPED_TRACE(arguments);
        const Outcome run = RunProgram(SOLVANE_GUI_PATH, arguments, "env QT_QPA_PLATFORM=offscreen");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        const std::string culprit = Has(arguments, "-odd.obj") ? "'-odd.obj'" : "'--bogus'";
        EXPECT_TRUE(Has(run.err, "unknown option " + culprit)) << run.err;
        EXPECT_TRUE(Has(run.err, "solvane -- ")) << run.err;
        EXPECT_FALSE(Has(run.err, "-platform")) << run.err;
        EXPECT_FALSE(Has(run.err, "'-style'")) << run.err;
    }
}
#endif

}  // namespace
}  // namespace solvane
