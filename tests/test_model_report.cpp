// The information panel's report, byte for byte: both forms, models with and without material
// flags, textures and vertices, names holding the line-end marks, long and short paths.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "core/format_id.h"
#include "core/prepare.h"
#include "load/model_report.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::AddFace;
using test::ScratchDir;

// Two sub-meshes: a triangle (0,0,0) (1,0,0) (0,2,0) and a two-corner face (0,0,-3) (2,0,-3).
// The box is x 0..2, y 0..2, z -3..0; the centre, weighted by vertex counts, (0.6, 0.4, -1.2).
std::unique_ptr<Model> TwoMeshModel()
{
    auto model = NewModel(2, 1, 0);
    model->formatId = Format::Obj;
    model->subMeshes[0].vertices = {0, 0, 0, 1, 0, 0, 0, 2, 0};
    AddFace(model->subMeshes[0], {0, 1, 2});
    model->subMeshes[1].vertices = {0, 0, -3, 2, 0, -3};
    AddFace(model->subMeshes[1], {0, 1});
    ComputeAllBounds(*model);
    model->materials[0].name = "Steel&Glass";
    return model;
}

// One material with every value set and two textures, every flag on.
std::unique_ptr<Model> FlaggedModel()
{
    auto model = NewModel(1, 1, 2);
    model->formatId = Format::Studio3ds;
    model->hasColor = model->hasDiffuse = model->hasSpecular = model->hasTransparency = model->hasTextures = 1;
    model->subMeshes[0].vertices = {-1.5f, 0.25f, 2, 3, -0.5f, 4};
    AddFace(model->subMeshes[0], {0, 1, 0});
    ComputeAllBounds(*model);
    Material& red = model->materials[0];
    red.name = "Red";
    red.color = {1, 0, 0};
    red.diffuse = {0.5f, 0.25f, 0.125f};
    red.specular = {0.1f, 0.2f, 0.3f};
    red.transparency = 0.5f;
    model->textures[0].name = "wood.bmp";
    model->textures[0].width = 64;
    model->textures[0].height = 32;
    model->textures[1].name = "maps&skins/skin$1.pcx";
    model->textures[1].width = 8;
    model->textures[1].height = 4;
    return model;
}

// Refresh shows the extents in the file's units (the model was loaded at scale 0.5), Initial the
// model's own coordinates; both split names at the line-end marks.
TEST(ModelReport, FormsShowTheFileUnitsOrTheModelsOwnCoordinates)
{
    ScratchDir dir;
    auto model = TwoMeshModel();
    model->loadScale = 0.5f;
    const auto expected = [&](const char* size, const char* extents) {
        return "      NAME: model.obj\r\n"
               "  LOCATION: " + dir.Path().string() + "/\r\n"
               "      TYPE: Wavefront 3D object\r\n"
               " FILE SIZE: " + size + " kb\r\n"
               "  POLYGONS: 2\r\n"
               "  VERTICES: 5\r\n"
               "SUB-MESHES: 2\r\n" + extents +
               " MATERIALS: 1\r\n"
               "            Steel\rGlass\r\n"
               "  TEXTURES: 0\r\n";
    };
    std::string path = dir.Write("model.obj", std::string(2048, 'x'));
    EXPECT_EQ(BuildModelReport(model.get(), path, ReportForm::Refresh),
              expected("2.00", "X(min,max): (0.00, 4.00)\r\n"
                               "Y(min,max): (0.00, 4.00)\r\n"
                               "Z(min,max): (-6.00, 0.00)\r\n"
                               "    CENTER: (1.20, 0.80, -2.40)\r\n"));
    path = dir.Write("model.obj", std::string(1000, 'x'));
    EXPECT_EQ(BuildModelReport(model.get(), path, ReportForm::Initial),
              expected("0.98", "X(min,max): (0.00, 2.00)\r\n"
                               "Y(min,max): (0.00, 2.00)\r\n"
                               "Z(min,max): (-3.00, 0.00)\r\n"
                               "    CENTER: (0.60, 0.40, -1.20)\r\n"));
}

// Refresh: diffuse before specular, values x 255 truncated (0.3f x 255 is 76.50000304, 0.125 x 255
// is 31.875). Initial: specular before diffuse, two decimals of the stored values (0.125 is a tie,
// rounded to even as printf does).
TEST(ModelReport, MaterialLinesFollowTheFlagsInEachFormsOrder)
{
    ScratchDir dir;
    const std::string path = dir.Write("ship.3ds", std::string(512, 'x'));
    auto model = FlaggedModel();
    const std::string head = "      NAME: ship.3ds\r\n"
                             "  LOCATION: " + dir.Path().string() + "/\r\n"
                             "      TYPE: 3D Studio format\r\n"
                             " FILE SIZE: 0.50 kb\r\n"
                             "  POLYGONS: 1\r\n"
                             "  VERTICES: 2\r\n"
                             "SUB-MESHES: 1\r\n"
                             "X(min,max): (-1.50, 3.00)\r\n"
                             "Y(min,max): (-0.50, 0.25)\r\n"
                             "Z(min,max): (2.00, 4.00)\r\n"
                             "    CENTER: (0.75, -0.12, 3.00)\r\n"
                             " MATERIALS: 1\r\n"
                             "            Red\r\n";
    const std::string textures = "  TEXTURES: 2\r\n"
                                 "            wood.bmp\r\n"
                                 "               WIDTH: 64\r\n"
                                 "              HEIGHT: 32\r\n"
                                 "            maps\rskins/skin\n1.pcx\r\n"
                                 "               WIDTH: 8\r\n"
                                 "              HEIGHT: 4\r\n";
    EXPECT_EQ(BuildModelReport(model.get(), path, ReportForm::Refresh),
              head +
                  "               COLOR: (255, 0, 0)\r\n"
                  "             DIFFUSE: (127, 63, 31)\r\n"
                  "            SPECULAR: (25, 51, 76)\r\n"
                  "               TRANS: 127\r\n" +
                  textures);
    EXPECT_EQ(BuildModelReport(model.get(), path, ReportForm::Initial),
              head +
                  "               COLOR: (1.00, 0.00, 0.00)\r\n"
                  "            SPECULAR: (0.10, 0.20, 0.30)\r\n"
                  "             DIFFUSE: (0.50, 0.25, 0.12)\r\n"
                  "               TRANS: 0.50\r\n" +
                  textures);
}

// Each flag alone brings its own line and no other.
TEST(ModelReport, EachFlagAloneBringsItsLine)
{
    struct Case {
        int16_t Model::*flag;
        const char* refreshLine;
        const char* initialLine;
    };
    const Case cases[] = {
        {&Model::hasColor, "               COLOR: (255, 0, 0)\r\n", "               COLOR: (1.00, 0.00, 0.00)\r\n"},
        {&Model::hasDiffuse, "             DIFFUSE: (127, 63, 31)\r\n", "             DIFFUSE: (0.50, 0.25, 0.12)\r\n"},
        {&Model::hasSpecular, "            SPECULAR: (25, 51, 76)\r\n", "            SPECULAR: (0.10, 0.20, 0.30)\r\n"},
        {&Model::hasTransparency, "               TRANS: 127\r\n", "               TRANS: 0.50\r\n"},
    };
    for (const Case& c : cases) {
        auto model = FlaggedModel();
        model->hasColor = model->hasDiffuse = model->hasSpecular = model->hasTransparency = 0;
        model.get()->*c.flag = 1;
        const std::string refresh = BuildModelReport(model.get(), "/no/such/ship.3ds", ReportForm::Refresh);
        const std::string initial = BuildModelReport(model.get(), "/no/such/ship.3ds", ReportForm::Initial);
        EXPECT_NE(refresh.find(std::string("            Red\r\n") + c.refreshLine + "  TEXTURES: 2"), std::string::npos)
            << refresh;
        EXPECT_NE(initial.find(std::string("            Red\r\n") + c.initialLine + "  TEXTURES: 2"), std::string::npos)
            << initial;
    }
}

// A file may hold any float: values far outside 0..1 print at int's ends and NaN as 0, never
// through an overflowing conversion.
TEST(ModelReport, ValuesBeyondIntsRangePrintAtItsEnds)
{
    auto model = FlaggedModel();
    model->materials[0].color = {1e16f, -1e16f, std::numeric_limits<float>::quiet_NaN()};
    model->materials[0].transparency = 3e9f;
    const std::string refresh = BuildModelReport(model.get(), "/no/such/ship.3ds", ReportForm::Refresh);
    EXPECT_NE(refresh.find("               COLOR: (2147483647, -2147483648, 0)\r\n"), std::string::npos) << refresh;
    EXPECT_NE(refresh.find("               TRANS: 2147483647\r\n"), std::string::npos) << refresh;
}

// Without vertices there is no box: the extent and centre lines are left out. A path without a
// folder has an empty location; a file that is gone has no size.
TEST(ModelReport, NoVerticesNoBoxAndAMissingFileHasNoSize)
{
    auto model = NewModel(1, 0, 0);
    model->formatId = Format::Off;
    EXPECT_EQ(BuildModelReport(model.get(), "gone.off", ReportForm::Refresh),
              "      NAME: gone.off\r\n"
              "  LOCATION: \r\n"
              "      TYPE: GeomView 3D object\r\n"
              " FILE SIZE: unknown\r\n"
              "  POLYGONS: 0\r\n"
              "  VERTICES: 0\r\n"
              "SUB-MESHES: 1\r\n"
              " MATERIALS: 0\r\n"
              "  TEXTURES: 0\r\n");
}

TEST(ModelReport, EmptyWithoutAModelOrWithAPathShorterThanTwo)
{
    auto model = TwoMeshModel();
    EXPECT_EQ(BuildModelReport(nullptr, "/tmp/a.obj", ReportForm::Refresh), "");
    EXPECT_EQ(BuildModelReport(model.get(), "a", ReportForm::Refresh), "");
    EXPECT_EQ(BuildModelReport(model.get(), "", ReportForm::Initial), "");
    EXPECT_NE(BuildModelReport(model.get(), "ab", ReportForm::Initial), "");
}

// The name keeps at most 63 bytes and never ends inside a UTF-8 sequence; the location is the
// folder with its separator whatever the name's length.
TEST(ModelReport, LongNamesAreCutAt63Bytes)
{
    const std::string long70(70, 'n');
    EXPECT_EQ(ReportDisplayName("/models/" + long70), std::string(63, 'n'));
    EXPECT_EQ(ReportLocation("/models/" + long70), "/models/");
    // 62 ASCII bytes, then a two-byte letter that would end at byte 64: left out whole.
    const std::string accented = std::string(62, 'a') + "\xC3\xA9" + "z.obj";
    EXPECT_EQ(ReportDisplayName("/m/" + accented), std::string(62, 'a'));
    // 61 ASCII bytes and the letter fit in 63.
    const std::string fits = std::string(61, 'a') + "\xC3\xA9" + "z.obj";
    EXPECT_EQ(ReportDisplayName("/m/" + fits), std::string(61, 'a') + "\xC3\xA9");
    EXPECT_EQ(ReportDisplayName("plain.obj"), "plain.obj");
    EXPECT_EQ(ReportLocation("plain.obj"), "");
}

TEST(ModelReport, LineFeedFormEndsEveryLineWithOneLineFeed)
{
    EXPECT_EQ(ReportWithLineFeeds("A: 1\r\n            Steel\rGlass\r\nB\n\r\n"), "A: 1\n            Steel\nGlass\nB\n\n");
    EXPECT_EQ(ReportWithLineFeeds(""), "");
    EXPECT_EQ(ReportWithLineFeeds("x\r"), "x\n");
}

// A file through the dispatch and the load step: the default material of a model without one, and
// coordinates back in the file's units after the load step resized it by 0.0025.
TEST(ModelReport, LoadedFileShowsTheDefaultMaterialInFileUnits)
{
    ScratchDir dir;
    const std::string text = "v 0 0 0\nv 100 0 0\nv 0 50 0\nv 0 0 -20\nf 1 2 3\nf 1 3 4\n";
    const std::string path = dir.Write("corner.obj", text);
    test::LoadOutcome loaded = test::Load(path);
    ASSERT_TRUE(loaded.model);
    const Settings settings = DefaultSettings();
    PrepareModelData(*loaded.model, settings);
    FinishLoadedModel(*loaded.model, settings, nullptr);
    EXPECT_FLOAT_EQ(loaded.model->loadScale, 0.0025f);
    EXPECT_EQ(ReportWithLineFeeds(BuildModelReport(loaded.model.get(), path, ReportForm::Refresh)),
              "      NAME: corner.obj\n"
              "  LOCATION: " + dir.Path().string() + "/\n"
              "      TYPE: Wavefront 3D object\n"
              " FILE SIZE: 0.05 kb\n"
              "  POLYGONS: 2\n"
              "  VERTICES: 4\n"
              "SUB-MESHES: 1\n"
              "X(min,max): (0.00, 100.00)\n"
              "Y(min,max): (0.00, 50.00)\n"
              "Z(min,max): (-20.00, 0.00)\n"
              "    CENTER: (25.00, 12.50, -5.00)\n"
              " MATERIALS: 1\n"
              "            Solvane Color\n"
              "               COLOR: (255, 255, 255)\n"
              "             DIFFUSE: (255, 255, 255)\n"
              "            SPECULAR: (255, 255, 255)\n"
              "  TEXTURES: 0\n");
}

}  // namespace
}  // namespace solvane
