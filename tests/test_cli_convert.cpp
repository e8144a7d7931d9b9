// solvane-cli convert: one file by extension or --as, many files into a folder in parallel, the
// failures named and the exit status, the progress line only on a terminal.
#include <filesystem>
#include <fstream>

#include "formats/native.h"
#include "load/save.h"
#include "tests/test_support.h"

namespace solvane::test {
namespace {

std::string Cli()
{
    return SOLVANE_CLI_PATH;
}

std::string Sample(const char* name)
{
    return (SourceDir() / "samples" / name).string();
}

std::string Quoted(const std::string& path)
{
    return "'" + path + "'";
}

TEST(CliConvert, OneFileByExtensionOrByName)
{
    ScratchDir dir;
    const std::string ply = (dir.Path() / "cube.ply").string();
    std::string output;
    ASSERT_EQ(RunCommand(Cli() + " convert " + Quoted(Sample("cube.obj")) + " " + Quoted(ply) + " 2>&1", &output), 0)
        << output;
    LoadOutcome back = Load(ply);
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->formatId, Format::Ply);
    EXPECT_EQ(TotalFaces(*back.model), TotalFaces(*Load(Sample("cube.obj")).model));

    // --as names the format whatever the extension; the file is found by its contents.
    const std::string dat = (dir.Path() / "cube.dat").string();
    ASSERT_EQ(RunCommand(Cli() + " convert " + Quoted(Sample("cube.obj")) + " " + Quoted(dat) + " --as OFF 2>&1", &output),
              0)
        << output;
    back = Load(dat);
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->formatId, Format::Off);
}

TEST(CliConvert, UsageErrorsAndFailures)
{
    ScratchDir dir;
    std::string output;
    // An unknown format name, and an output without a known extension: usage errors.
    EXPECT_EQ(RunCommand(Cli() + " convert " + Quoted(Sample("cube.obj")) + " " +
                             Quoted((dir.Path() / "a.wrl").string()) + " --as wrl 2>&1",
                         &output),
              2);
    EXPECT_NE(output.find("unknown format 'wrl'"), std::string::npos) << output;
    EXPECT_EQ(RunCommand(Cli() + " convert " + Quoted(Sample("cube.obj")) + " " + Quoted((dir.Path() / "a").string()) +
                             " 2>&1",
                         &output),
              2);
    EXPECT_NE(output.find("--as"), std::string::npos) << output;
    // A file that does not load: status 1, named with its code and message.
    const std::string missing = (dir.Path() / "missing.obj").string();
    EXPECT_EQ(RunCommand(Cli() + " convert " + Quoted(missing) + " " + Quoted((dir.Path() / "a.off").string()) + " 2>&1",
                         &output),
              1);
    EXPECT_NE(output.find(missing + ": cannot load (result 102)"), std::string::npos) << output;
    // A file that cannot be written: status 1, with the writer's message.
    EXPECT_EQ(RunCommand(Cli() + " convert " + Quoted(Sample("cube.obj")) + " /nonexistent-folder/a.off 2>&1", &output),
              1);
    EXPECT_NE(output.find("/nonexistent-folder/a.off"), std::string::npos) << output;
    // --help lists the formats of this build.
    ASSERT_EQ(RunCommand(Cli() + " convert --help", &output), 0);
    for (const WriterEntry& entry : WriterTable()) EXPECT_NE(output.find(entry.name), std::string::npos) << entry.name;
}

TEST(CliConvert, ManyFilesIntoAFolder)
{
    ScratchDir dir;
    // Two inputs named cube: each keeps its own extension in its output's name.
    const std::string cubeOff = (dir.Path() / "cube.off").string();
    std::string output;
    ASSERT_EQ(RunCommand(Cli() + " convert " + Quoted(Sample("cube.obj")) + " " + Quoted(cubeOff), &output), 0);
    const std::string missing = (dir.Path() / "absent.obj").string();
    const std::string out = (dir.Path() / "out").string();
    std::string errors;
    const int status = RunCommand(Cli() + " convert --to vtk --out-dir " + Quoted(out) + " " + Quoted(Sample("cube.obj")) +
                                      " " + Quoted(missing) + " " + Quoted(Sample("teapot.obj")) + " " + Quoted(cubeOff) +
                                      " 2>" + Quoted((dir.Path() / "errors").string()),
                                  &output);
    EXPECT_EQ(status, 1);
    std::ifstream errorFile(dir.Path() / "errors");
    errors.assign(std::istreambuf_iterator<char>(errorFile), {});
    EXPECT_NE(errors.find(missing + ": cannot load (result 102)"), std::string::npos) << errors;
    // Not a terminal: no progress line.
    EXPECT_EQ(errors.find("converting"), std::string::npos) << errors;
    for (const char* name : {"cube_obj.vtk", "cube_off.vtk", "teapot.vtk"}) {
        const std::string path = out + "/" + name;
        EXPECT_NE(output.find("-> " + path), std::string::npos) << output;
        LoadOutcome back = Load(path);
        ASSERT_NE(back.model, nullptr) << name;
        EXPECT_EQ(back.model->formatId, Format::Vtk);
    }
    EXPECT_EQ(TotalFaces(*Load(out + "/teapot.vtk").model), TotalFaces(*Load(Sample("teapot.obj")).model));
}

TEST(CliConvert, ProgressLineOnATerminal)
{
    std::string version;
    if (RunCommand("script --version 2>/dev/null", &version) != 0) GTEST_SKIP() << "no script(1) to give a terminal";
    ScratchDir dir;
    const std::string command = Cli() + " convert --to off --out-dir " + Quoted((dir.Path() / "out").string()) + " " +
                                Quoted(Sample("cube.obj")) + " " + Quoted(Sample("teapot.obj"));
    std::string output;
    ASSERT_EQ(RunCommand("script -qec \"" + command + "\" /dev/null", &output), 0) << output;
    EXPECT_NE(output.find("converting: 2 of 2 done, 0 failed"), std::string::npos) << output;
}

// A scene file converted to a scene file keeps its view; to an object file it is a model only.
TEST(CliConvert, SceneToSceneKeepsTheView)
{
    ScratchDir dir;
    auto model = Load(Sample("cube.obj")).model;
    ASSERT_NE(model, nullptr);
    SceneRecord scene;
    scene.yaw = 42;
    scene.background = {0.5f, 0.25f, 0.125f};
    const std::string in = (dir.Path() / "in.svs").string();
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*model, in, *FindWriter("svs"), save, &scene));
    const std::string out = (dir.Path() / "out.svs").string();
    ASSERT_EQ(RunCommand(Cli() + " convert " + Quoted(in) + " " + Quoted(out), nullptr), 0);
    LoadContext ctx;
    ASSERT_NE(LoadModelFile(out, ctx), nullptr);
    int64_t offset = ctx.sceneOffset.load();
    SceneRecord read;
    ASSERT_TRUE(ReadNativeScene(out.c_str(), offset, read));
    EXPECT_EQ(read.yaw, 42.0f);
    EXPECT_EQ(read.background, scene.background);
}

}  // namespace
}  // namespace solvane::test
