// The model writers: every corpus model that loads, written in every format of the writer table and
// read back through our readers (tests/round_trip.h holds what each format keeps); a model with
// every feature the writers handle; splitting at the formats' limits (refusals are in
// test_model_writers.cpp); the table itself; binary STL, which no reader of ours reads; and the
// files as assimp reads them, where it is installed.
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "core/mesh_ops.h"
#include "core/validate.h"
#include "formats/native.h"
#include "formats/stereo3d2.h"
#include "load/save.h"
#include "tests/round_trip_expect.h"

namespace solvane::test {
namespace {

// Two sub-meshes: a pentagon, a hexagon, a quad, a triangle, a two-corner and a cornerless face;
// three coloured materials (one from a DXF palette), normals, texture coordinates with their own
// indices, a 4x2 texture and a second key frame.
std::unique_ptr<Model> FeatureModel()
{
    auto model = NewModel(2, 3, 1);
    SubMesh& a = model->subMeshes[0];
    a.name = "First part";
    a.vertices = {0, 0, 0, 2, 0, 0, 3, 1.5f, 0, 1, 2.5f, 0.25f, -1, 1.5f, 0, 0, 0, 1, 2, 0, 1,
                  3, 1.5f, 1, 1, 2.5f, 1, -1, 1.5f, 1.125f, 0.1f, -0.2f, 0.3f};
    a.normals.assign(a.vertices.size(), 0);
    for (size_t i = 2; i < a.normals.size(); i += 3) a.normals[i] = 1;
    a.texCoords = {0, 0, 1, 0, 1, 1, 0, 1, 0.5f, 0.5f, 0.25f, 0.75f};
    a.ReserveFaces(4, 5 + 6 + 3 + 2, true);
    const uint32_t pentagon[5] = {0, 1, 2, 3, 4};
    const uint32_t pentagonUv[5] = {0, 1, 2, 3, 4};
    const uint32_t hexagon[6] = {5, 6, 7, 8, 9, 10};
    const uint32_t hexagonUv[6] = {0, 1, 2, 3, 4, 5};
    const uint32_t triangle[3] = {0, 5, 6};
    const uint32_t triangleUv[3] = {5, 4, 3};
    const uint32_t line[2] = {1, 7};
    const uint32_t lineUv[2] = {0, 1};
    a.AppendFace(pentagon, 5, pentagonUv);
    a.AppendFace(hexagon, 6, hexagonUv);
    a.AppendFace(triangle, 3, triangleUv);
    a.AppendFace(line, 2, lineUv);
    a.faceMaterials = {0, 1, -1, 2};
    a.frames.resize(1);
    a.frames[0].name = "second";
    a.frames[0].vertices = a.vertices;
    for (size_t i = 0; i < a.frames[0].vertices.size(); i += 3) a.frames[0].vertices[i] += 0.5f;

    SubMesh& b = model->subMeshes[1];
    b.name = "12";  // a name that is a number
    b.vertices = {5, 5, 5, 6, 5, 5, 6, 6, 5, 5, 6, 5.5f};
    b.texCoords = {0, 0, 1, 0, 1, 1, 0, 1};
    b.ReserveFaces(2, 4, true);
    const uint32_t quad[4] = {0, 1, 2, 3};
    b.AppendFace(quad, 4, quad);
    b.AppendFace(nullptr, 0, nullptr);
    b.faceMaterials = {1, -1};

    const std::array<float, 3> colours[3] = {{1, 0, 0}, {0.2f, 0.4f, 0.9f}, {0.5f, 0.5f, 0.5f}};
    for (int m = 0; m < 3; ++m) {
        Material& material = model->materials[static_cast<size_t>(m)];
        material.name = m == 0 ? "DXF Palette 1" : "material " + std::to_string(m);
        material.color = material.diffuse = colours[m];
        material.specular = {0.1f, 0.2f, 0.3f};
        material.transparency = m * 0.25f;
        material.textureIndex = m == 1 ? 0 : -1;
    }
    Texture& texture = model->textures[0];
    texture.name = "skin.bmp";
    texture.width = 4;
    texture.height = 2;
    texture.pixels = {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 10, 20, 30, 200, 100, 50, 90, 90, 90};
    model->hasColor = model->hasDiffuse = model->hasSpecular = model->hasTransparency = model->hasTextures = 1;
    ComputeAllBounds(*model);
    for (SubMesh& mesh : model->subMeshes) {
        for (AnimationFrame& frame : mesh.frames) {
            BoundsBuilder bounds;
            for (size_t i = 0; i < frame.vertices.size(); i += 3)
                bounds.Extend(frame.vertices[i], frame.vertices[i + 1], frame.vertices[i + 2]);
            frame.bounds = bounds.bounds;
        }
    }
    return model;
}

// ---- The corpus --------------------------------------------------------------------------------

struct CorpusModel {
    std::string path;
    std::unique_ptr<Model> model;
};

// Every corpus model that loads, loaded once for all the writers.
const std::vector<CorpusModel>& CorpusModels()
{
    static const std::vector<CorpusModel> models = [] {
        std::vector<CorpusModel> loaded;
        for (const auto& file : CorpusFiles("models")) {
            const std::string path = file.string();
            if (path.find("/invalid/") != std::string::npos || path.find("/negative/") != std::string::npos) continue;
            if (FormatFromExtension(PathExtension(path)) == Format::Unknown &&
                FormatFromMagic(path.c_str()) == Format::Unknown)
                continue;
            LoadOutcome outcome = Load(path);
            if (outcome.model) loaded.push_back({path, std::move(outcome.model)});
        }
        return loaded;
    }();
    return models;
}

class CorpusRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(CorpusRoundTrip, EveryModelThatLoadsComesBackAsTheFormatKeepsIt)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const WriterEntry* entry = FindWriter(GetParam());
    const RoundTripLevel* level = RoundTripLevelFor(GetParam());
    ASSERT_NE(entry, nullptr);
    ASSERT_NE(level, nullptr);
    const auto& models = CorpusModels();
    // The corpus holds models of every reader; most of them load.
    ASSERT_GE(models.size(), 40u);
    for (const CorpusModel& corpus : models) ExpectRoundTrip(*corpus.model, *entry, *level, corpus.path);
}

std::vector<const char*> ReadBackWriters()
{
    std::vector<const char*> names;
    for (const RoundTripLevel& level : RoundTripLevels()) {
        if (level.readBack && FindWriter(level.writer)) names.push_back(level.writer);
    }
    return names;
}

INSTANTIATE_TEST_SUITE_P(Writers, CorpusRoundTrip, ::testing::ValuesIn(ReadBackWriters()),
                         [](const ::testing::TestParamInfo<const char*>& param) {
                             std::string name = param.param;
                             for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

// Every row of the writer table has a round-trip row and every round-trip row a writer.
TEST(WriterTable, EveryWriterHasItsRoundTripRow)
{
    for (const WriterEntry& entry : WriterTable()) EXPECT_NE(RoundTripLevelFor(entry.name), nullptr) << entry.name;
}

// ---- One model with every feature ----------------------------------------------------------------

TEST(WriterRoundTrip, FeatureModelComesBackInEveryFormat)
{
    auto model = FeatureModel();
    ASSERT_EQ(ValidateModel(*model), "");
    for (const WriterEntry& entry : WriterTable()) {
        const RoundTripLevel* level = RoundTripLevelFor(entry.name);
        ASSERT_NE(level, nullptr) << entry.name;
        if (!level->readBack) continue;
        ExpectRoundTrip(*model, entry, *level, "feature model");
    }
}

TEST(WriterRoundTrip, SpecificsOfEachFormat)
{
    auto model = FeatureModel();
    ScratchDir dir;
    std::unique_ptr<Model> back;

    // DXF: the palette number of "DXF Palette 1" is kept, the other colours map to palette entries.
    ASSERT_EQ(WriteAndReadBack(*model, *FindWriter("dxf"), dir.Path().string(), back), "");
    ASSERT_GE(back->MaterialCount(), 2);
    EXPECT_EQ(back->materials[0].name, "DXF Palette 1");
    EXPECT_EQ(back->materials[0].color, (std::array<float, 3>{1, 0, 0}));

    // MDL: two key frames, a skin of the texture's size quantised to the palette.
    ASSERT_EQ(WriteAndReadBack(*model, *FindWriter("mdl"), dir.Path().string(), back), "");
    ASSERT_EQ(back->TextureCount(), 1);
    EXPECT_EQ(back->textures[0].width, 4);
    EXPECT_EQ(back->textures[0].height, 2);
    EXPECT_EQ(back->subMeshes[0].FrameCount(), 2);
    // Pure red becomes a dark-red palette entry, never one of the full-bright colours (224 and up).
    const uint8_t* red = back->textures[0].pixels.data();
    EXPECT_GT(red[0], 100);
    EXPECT_LT(red[1], 60);

    // NFF: one object per sub-mesh, the number-like name did not become a vertex count.
    ASSERT_EQ(WriteAndReadBack(*model, *FindWriter("nff"), dir.Path().string(), back), "");
    EXPECT_EQ(back->SubMeshCount(), 2);
    EXPECT_EQ(back->subMeshes[1].VertexCount(), 4);

    // 3D2: moved into 0..327.67 (the model has negative coordinates), proportions kept.
    ASSERT_EQ(WriteAndReadBack(*model, *FindWriter("3d2"), dir.Path().string(), back), "");
    const auto box = ModelBounds(*back);
    EXPECT_NEAR(box[0], 0.0f, 0.011f);
    EXPECT_NEAR(box[1] - box[0], 7.0f, 0.02f);
}

// A model without textures gets a plain skin in its first material's colour.
TEST(WriterRoundTrip, MdlWithoutTextureHasPlainSkin)
{
    auto model = FeatureModel();
    model->textures.clear();
    for (Material& material : model->materials) material.textureIndex = -1;
    model->hasTextures = 0;
    ScratchDir dir;
    std::unique_ptr<Model> back;
    ASSERT_EQ(WriteAndReadBack(*model, *FindWriter("mdl"), dir.Path().string(), back), "");
    ASSERT_EQ(back->TextureCount(), 1);
    const Texture& skin = back->textures[0];
    EXPECT_EQ(skin.width % 4, 0);
    for (size_t i = 0; i < skin.pixels.size(); i += 3) {
        EXPECT_EQ(skin.pixels[i], skin.pixels[0]);
        EXPECT_GT(skin.pixels[i], 100);  // reddish, like material 0
        EXPECT_LT(skin.pixels[i + 2], 60);
    }
}

// Values that are not numbers never reach a text file as "nan": they are written as 0.
TEST(WriterRoundTrip, NotANumberIsWrittenAsZeroInText)
{
    auto model = FeatureModel();
    model->subMeshes[0].vertices[0] = std::nanf("");
    model->subMeshes[0].vertices[4] = std::numeric_limits<float>::infinity();
    for (const char* name : {"off", "ply", "vtk", "nff", "dxf"}) {
        ScratchDir dir;
        std::unique_ptr<Model> back;
        std::string path;
        ASSERT_EQ(WriteAndReadBack(*model, *FindWriter(name), dir.Path().string(), back, &path), "") << name;
        const std::string text = ReadFileBytes(path);
        EXPECT_EQ(text.find("nan"), std::string::npos) << name;
        EXPECT_EQ(text.find("inf"), std::string::npos) << name;
        EXPECT_EQ(CompareRoundTrip(*model, *back, *RoundTripLevelFor(name)), "") << name;
    }
    // Binary formats pack such values like any other without failing.
    for (const char* name : {"mdl", "3d2", "svo"}) {
        ScratchDir dir;
        std::unique_ptr<Model> back;
        EXPECT_EQ(WriteAndReadBack(*model, *FindWriter(name), dir.Path().string(), back), "") << name;
    }
}

// ---- Limits --------------------------------------------------------------------------------------

// A grid of n x n vertices as triangles.
std::unique_ptr<Model> GridModel(int n)
{
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            mesh.vertices.push_back(x * 0.01f);
            mesh.vertices.push_back(y * 0.01f);
            mesh.vertices.push_back(0.5f);
        }
    }
    mesh.ReserveFaces(int64_t{n - 1} * (n - 1) * 2, int64_t{n - 1} * (n - 1) * 6, false);
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const uint32_t v = static_cast<uint32_t>(y * n + x), w = static_cast<uint32_t>(n);
            const uint32_t first[3] = {v, v + 1, v + w + 1};
            const uint32_t second[3] = {v, v + w + 1, v + w};
            mesh.AppendFace(first, 3);
            mesh.AppendFace(second, 3);
        }
    }
    ComputeAllBounds(*model);
    return model;
}

// A sub-mesh beyond the 16-bit counts of Stereo CAD-3D is split into objects that hold all its
// triangles at their places.
TEST(WriterLimits, StereoCadSplitsLargeSubMeshes)
{
    auto model = GridModel(200);  // 40000 vertices, 79202 triangles
    ScratchDir dir;
    std::unique_ptr<Model> back;
    ASSERT_EQ(WriteAndReadBack(*model, *FindWriter("3d2"), dir.Path().string(), back), "");
    EXPECT_GE(back->SubMeshCount(), 3);
    int64_t triangles = 0;
    std::multiset<std::array<int, 9>> written, read;
    auto key = [](const float* p, const float* q, const float* r) {
        std::array<int, 9> k{};
        const float* corners[3] = {p, q, r};
        for (int c = 0; c < 3; ++c) {
            for (int a = 0; a < 3; ++a) k[static_cast<size_t>(c * 3 + a)] = static_cast<int>(std::lround(corners[c][a] * 100));
        }
        return k;
    };
    const SubMesh& source = model->subMeshes[0];
    for (int32_t f = 0; f < source.FaceCount(); ++f) {
        const uint32_t* i = source.FaceIndices(f);
        written.insert(key(&source.vertices[i[0] * 3], &source.vertices[i[1] * 3], &source.vertices[i[2] * 3]));
    }
    for (const SubMesh& mesh : back->subMeshes) {
        EXPECT_LE(mesh.VertexCount(), 32767);
        EXPECT_LE(mesh.FaceCount(), 32767);
        triangles += mesh.FaceCount();
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const uint32_t* i = mesh.FaceIndices(f);
            read.insert(key(&mesh.vertices[i[0] * 3], &mesh.vertices[i[1] * 3], &mesh.vertices[i[2] * 3]));
        }
    }
    EXPECT_EQ(triangles, source.FaceCount());
    EXPECT_TRUE(written == read);
}

// A model resized to fit the view is written in the units of the file it came from.
TEST(WriterRoundTrip, ResizedModelIsWrittenInItsOwnUnits)
{
    auto model = FeatureModel();
    auto resized = FeatureModel();
    resized->loadScale = 0.25f;
    ScaleModel(*resized, 0.25f);
    ScratchDir dir;
    std::unique_ptr<Model> back;
    ASSERT_EQ(WriteAndReadBack(*resized, *FindWriter("off"), dir.Path().string(), back), "");
    const auto box = ModelBounds(*back);
    const auto expected = ModelBounds(*model);
    for (int k = 0; k < 6; ++k) EXPECT_FLOAT_EQ(box[k], expected[k]) << k;
    EXPECT_EQ(resized->loadScale, 0.25f);  // the model itself is not changed
    EXPECT_FLOAT_EQ(resized->subMeshes[0].vertices[3], 0.5f);
}

TEST(WriterLimits, UnwritableFolderNamesThePath)
{
    auto model = FeatureModel();
    SaveContext ctx;
    const std::string path = "/nonexistent-folder/model.off";
    EXPECT_FALSE(SaveModelFile(*model, path, *FindWriter("off"), ctx));
    EXPECT_NE(ctx.error.find(path), std::string::npos) << ctx.error;
}

// ---- The table -----------------------------------------------------------------------------------

// The save chooser's rows in their order; rows whose writer is not built yet are absent.
TEST(WriterTable, ChooserRowsInOrder)
{
    const std::vector<std::string> order = {
        "(.svs) Solvane Scene",       "(.svo) Solvane Object",     "(.3d2) Stereo CAD-3D Object",
        "(.3ds) 3D Studio Object",    "(.cob) Truespace Object",   "(.dxf) AutoCAD Object",
        "(.lwo) Lightwave Object",    "(.mdl) Quake 1 Model",      "(.md2) Quake 2 Model",
        "(.md3) Quake 3 Arena Model", "(.nff) WorldToolKit Object", "(.obj) Wavefront Object",
        "(.off) GeomView Object",     "(.ply) Polygon File Format", "(.pro) Power Render Pro Object",
        "(.vtk) VTK Object",          "(.x) DirectX Binary Model",  "(.x) DirectX ASCII Model"};
    size_t next = 0;
    for (const WriterEntry& row : SaveChooserRows()) {
        while (next < order.size() && order[next] != row.chooserText) ++next;
        ASSERT_LT(next, order.size()) << row.chooserText << " is not a chooser row or out of order";
        EXPECT_EQ(std::string(row.pattern), std::string("*") + row.extension);
        ++next;
    }
    EXPECT_EQ(std::string(SaveChooserRows()[0].name), "svs");
    // Only the command-line tool writes STL.
    for (const WriterEntry& row : SaveChooserRows()) EXPECT_STRNE(row.name, "stl");
}

TEST(WriterTable, FindsRowsByNameAndPath)
{
    EXPECT_STREQ(FindWriter("PLY")->name, "ply");
    EXPECT_EQ(FindWriter("wrl"), nullptr);
    EXPECT_STREQ(WriterForPath("/a/b.c/model.OFF")->name, "off");
    EXPECT_STREQ(WriterForPath("scene.svs")->name, "svs");
    EXPECT_EQ(WriterForPath("/a/b.off/model"), nullptr);
    EXPECT_EQ(WriterForPath("model.xyz"), nullptr);
    if (FindWriter("x")) {
        EXPECT_STREQ(WriterForPath("ship.x")->name, "x");
    }
}

TEST(WriterTable, ChooserPreselectsTheFormatsRow)
{
    const auto rows = SaveChooserRows();
    EXPECT_STREQ(rows[ChooserRowForFormat(Format::Off)].name, "off");
    EXPECT_STREQ(rows[ChooserRowForFormat(Format::StereoCad)].name, "3d2");
    // No row of their own to preselect: the scene.
    EXPECT_EQ(ChooserRowForFormat(Format::Solvane), 0u);
    EXPECT_EQ(ChooserRowForFormat(Format::PowerRender), 0u);
    EXPECT_EQ(ChooserRowForFormat(Format::Rhino), 0u);
    EXPECT_EQ(ChooserRowForFormat(Format::Unknown), 0u);
}

// ---- Binary STL ----------------------------------------------------------------------------------

float FloatAt(const std::string& bytes, size_t offset)
{
    uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

TEST(StlWriter, FanTrianglesWithUnitFacetNormals)
{
    auto model = FeatureModel();
    ScratchDir dir;
    const std::string path = (dir.Path() / "model.stl").string();
    SaveContext ctx;
    ASSERT_TRUE(SaveModelFile(*model, path, *FindWriter("stl"), ctx)) << ctx.error;
    const std::string bytes = ReadFileBytes(path);
    ASSERT_GE(bytes.size(), 84u);
    EXPECT_NE(bytes.compare(0, 5, "solid"), 0);
    const uint32_t count = static_cast<uint8_t>(bytes[80]) | (static_cast<uint8_t>(bytes[81]) << 8) |
                           (static_cast<uint8_t>(bytes[82]) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(bytes[83])) << 24);
    // Pentagon 3 + hexagon 4 + triangle 1 + quad 2; the short faces give none.
    EXPECT_EQ(count, 10u);
    ASSERT_EQ(bytes.size(), 84u + count * 50u);
    EXPECT_EQ(ctx.done.load(), static_cast<int64_t>(bytes.size()));
    // The first triangle: the pentagon's corners 0, 1, 2 in the z = 0 plane, normal +z.
    EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 8), 1.0f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 12 + 12), 2.0f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 12 + 24), 3.0f);
    EXPECT_FLOAT_EQ(FloatAt(bytes, 84 + 12 + 28), 1.5f);
    for (uint32_t t = 0; t < count; ++t) {
        const size_t at = 84 + size_t{t} * 50;
        const float n[3] = {FloatAt(bytes, at), FloatAt(bytes, at + 4), FloatAt(bytes, at + 8)};
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5f) << t;
    }
}

// ---- Other readers -------------------------------------------------------------------------------

// The formats assimp reads, by their writers' names. assimp 5.2 reads no LWOB file at all ("Unable
// to build a valid node graph"), not even LightWave's own in the corpus: LightWave is checked only
// where it reads those.
std::vector<const char*> AssimpFormats()
{
    std::vector<const char*> names = {"off", "ply", "dxf", "nff", "mdl", "stl", "obj", "3ds",
                                      "cob", "md2", "md3", "x",   "x-ascii", "glb"};
    const auto lwob = CorpusFiles("models/LWO/LWOB", {".lwo"});
    std::string output;
    if (!lwob.empty() && RunCommand("assimp info '" + lwob[0].string() + "' 2>&1", &output) == 0 &&
        output.find("ERROR") == std::string::npos)
        names.push_back("lwo");
    return names;
}

bool HasFaceToDraw(const Model& model)
{
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            if (mesh.FaceCorners(f) >= 3) return true;
        }
    }
    return false;
}

// Writes the model in the format and has assimp read it; false (with what assimp said) when it
// does not. A model beyond the format's limits is not written and not checked.
::testing::AssertionResult AssimpReadsAsWritten(const Model& model, const char* name)
{
    ScratchDir dir;
    const std::string path = (dir.Path() / "model").string() + FindWriter(name)->extension;
    SaveContext ctx;
    if (!SaveModelFile(model, path, *FindWriter(name), ctx)) {
        if (RefusedForLimits(ctx.error)) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "not written: " << ctx.error;
    }
    std::string output;
    const int status = RunCommand("assimp info '" + path + "' 2>&1", &output);
    if (status != 0 || output.find("ERROR") != std::string::npos || output.find("Faces:") == std::string::npos)
        return ::testing::AssertionFailure() << "assimp:\n" << output;
    return ::testing::AssertionSuccess();
}

// assimp reads what we write in every format it knows: each file must load there too.
TEST(WriterOracle, AssimpReadsWhatWeWrite)
{
    std::string version;
    if (RunCommand("assimp version 2>/dev/null", &version) != 0) GTEST_SKIP() << "assimp-utils not installed";
    std::vector<std::pair<std::string, std::unique_ptr<Model>>> models;
    models.emplace_back("feature model", FeatureModel());
    models.emplace_back("grid", GridModel(20));
    for (const auto& [label, model] : models) {
        for (const char* name : AssimpFormats()) EXPECT_TRUE(AssimpReadsAsWritten(*model, name)) << label << " as " << name;
    }
}

// The same for every corpus model that has a face to draw (assimp refuses a scene without one), in
// the formats whose writers shape faces for the format (tessellating what it cannot hold). assimp's
// OFF reader drops faces of many corners, which OFF itself allows.
TEST(WriterOracle, AssimpReadsTheCorpusAsWeWriteIt)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    std::string version;
    if (RunCommand("assimp version 2>/dev/null", &version) != 0) GTEST_SKIP() << "assimp-utils not installed";
    std::vector<const char*> names;
    for (const char* name : AssimpFormats()) {
        if (RoundTripLevelFor(name)->exportShape) names.push_back(name);
    }
    for (const CorpusModel& corpus : CorpusModels()) {
        if (!HasFaceToDraw(*corpus.model)) continue;
        for (const char* name : names) EXPECT_TRUE(AssimpReadsAsWritten(*corpus.model, name)) << corpus.path << " as " << name;
    }
}

}  // namespace
}  // namespace solvane::test
