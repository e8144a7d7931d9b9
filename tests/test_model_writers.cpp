// The writers of OBJ, 3D Studio, trueSpace, LightWave, MD2, MD3, Power Render, DirectX and glTF:
// every model of the corpus written and read back, checked against assimp where it reads the
// format, and the rules each writer follows for the format's limits, its winding, its names and
// its textures.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/mesh_ops.h"
#include "formats/cob.h"
#include "formats/gltf_writer.h"
#include "formats/lwo.h"
#include "formats/obj.h"
#include "formats/powerrender.h"
#include "formats/quake.h"
#include "formats/studio3ds.h"
#include "formats/xfile.h"
#include "image/image.h"
#include "viewer/headless_context.h"
#include "tests/model_round_trip.h"

namespace solvane::test {
namespace {

ExportOptions Shape(bool triangles, bool keepHoles, bool texCoordPerVertex)
{
    ExportOptions options;
    options.triangles = triangles;
    options.keepHoles = keepHoles;
    options.texCoordPerVertex = texCoordPerVertex;
    return options;
}

constexpr float kByteColor = 0.5f / 255.0f;

// One row per writer: what its files give back.
const WriterExpectation kWriters[] = {
    {.name = "obj", .write = WriteObjFile, .extension = ".obj", .textureExtension = ".png", .readsAs = Format::Obj,
     .shape = Shape(false, false, true), .windingOf = Format::Obj, .mergesSubMeshes = true, .texCoords = true,
     .normals = true, .looks = {.color = true, .diffuse = true, .specular = true, .transparency = true},
     .textures = WriterExpectation::Textures::PerMaterial, .assimpName = "obj"},
    {.name = "3ds", .write = Write3dsFile, .extension = ".3ds", .textureExtension = ".bmp", .readsAs = Format::Studio3ds,
     .shape = Shape(true, false, true), .windingOf = Format::Studio3ds, .texCoords = true,
     .looks = {.color = true, .diffuse = true, .specular = true, .transparency = true, .colorTolerance = kByteColor,
               .transparencyTolerance = 0.005f},
     .textures = WriterExpectation::Textures::PerMaterial, .assimpName = "3ds"},
    {.name = "cob", .write = WriteCobFile, .extension = ".cob", .textureExtension = ".bmp", .readsAs = Format::TrueSpace,
     .shape = Shape(false, true, false), .windingOf = Format::TrueSpace, .texCoords = true,
     .looks = {.color = true, .transparency = true}, .textures = WriterExpectation::Textures::PerMaterial,
     .assimpName = "cob"},
    {.name = "lwo", .write = WriteLwoFile, .extension = ".lwo", .textureExtension = ".tga", .readsAs = Format::LightWave,
     .shape = Shape(false, false, true), .windingOf = Format::LightWave, .mergesSubMeshes = true,
     .looks = {.diffuse = true, .transparency = true, .colorTolerance = kByteColor},
     .textures = WriterExpectation::Textures::PerMaterial, .assimpName = "lwo"},
    {.name = "md2", .write = WriteMd2File, .extension = ".md2", .textureExtension = ".pcx", .readsAs = Format::Md2,
     .shape = Shape(true, false, false), .windingOf = Format::Md2, .mergesSubMeshes = true, .texCoords = true,
     .texCoordsInSkinPixels = true, .frames = true, .precision = Precision::Md2Bytes,
     .textures = WriterExpectation::Textures::Skin, .texturePixelsExact = false, .assimpName = "md2"},
    {.name = "md3", .write = WriteMd3File, .extension = ".md3", .textureExtension = ".tga", .readsAs = Format::Md3,
     .shape = Shape(true, false, true), .windingOf = Format::Md3, .groupsByTexture = true, .texCoords = true,
     .frames = true, .precision = Precision::Md3Units, .textures = WriterExpectation::Textures::Skin,
     .assimpName = "md3"},
    {.name = "pro", .write = WriteProFile, .extension = ".pro", .textureExtension = ".pcx", .readsAs = Format::PowerRender,
     .shape = Shape(true, false, false), .windingOf = Format::PowerRender, .texCoords = true,
     .looks = {.diffuse = true, .transparency = true}, .textures = WriterExpectation::Textures::List,
     .texturePixelsExact = false},
    {.name = "x", .write = WriteXBinaryFile, .extension = ".x", .textureExtension = ".bmp", .readsAs = Format::DirectX,
     .shape = Shape(false, false, true), .windingOf = Format::DirectX, .texCoords = true, .normals = true,
     .looks = {.diffuse = true, .specular = true, .transparency = true},
     .textures = WriterExpectation::Textures::PerMaterial, .assimpName = "x"},
    {.name = "x-ascii", .write = WriteXTextFile, .extension = ".x", .textureExtension = ".bmp", .readsAs = Format::DirectX,
     .shape = Shape(false, false, true), .windingOf = Format::DirectX, .texCoords = true, .normals = true,
     .looks = {.diffuse = true, .specular = true, .transparency = true},
     .textures = WriterExpectation::Textures::PerMaterial, .assimpName = "x"},
    {.name = "glb", .write = WriteGlbFile, .extension = ".glb", .readsAs = Format::Unknown,
     .shape = Shape(true, false, true), .windingOf = Format::Obj, .assimpName = "glb"},
};

// The corpus's model files (not the refused or broken ones).
std::vector<std::filesystem::path> CorpusModels()
{
    std::vector<std::filesystem::path> models;
    for (const auto& file : CorpusFiles("models")) {
        const std::string text = file.generic_string();
        if (text.find("/negative/") != std::string::npos || text.find("/invalid/") != std::string::npos) continue;
        if (IdentifyFormat(text.c_str()) == Format::Unknown) continue;
        models.push_back(file);
    }
    return models;
}

bool HasFaces(const Model& model)
{
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            if (mesh.FaceCorners(f) >= 3) return true;
        }
    }
    return false;
}

// assimp 5.2 reads no LWOB file at all ("Unable to build a valid node graph"), not even
// LightWave's own in the corpus: the check is made only where it reads those.
bool AssimpReadsFormat(const WriterExpectation& writer)
{
    if (!writer.assimpName || !HaveAssimp()) return false;
    if (writer.readsAs != Format::LightWave) return true;
    static const bool readsLwob = [] {
        const auto files = CorpusFiles("models/LWO/LWOB", {".lwo"});
        return !files.empty() && AssimpReads(files[0].string(), true);
    }();
    return readsLwob;
}

TEST(ModelWriters, EveryCorpusModelReadsBackAsWritten)
{
    const auto files = CorpusModels();
    ASSERT_FALSE(files.empty());
    ScratchDir scratch;
    int loaded = 0;
    for (const auto& file : files) {
        LoadOutcome original = Load(file.string());
        if (!original.model) continue;
        ++loaded;
        for (const WriterExpectation& writer : kWriters) {
            std::string trace = file.filename().string();
            trace += " as ";
            trace += writer.name;
            SCOPED_TRACE(trace);
            const std::filesystem::path dir = scratch.Path() / writer.name;
            std::filesystem::create_directories(dir);
            const ::testing::AssertionResult result = RoundTrip(*original.model, writer, dir, file.stem().string());
            EXPECT_TRUE(result);
            // The format's other readers take the file too.
            const std::string written = (dir / (file.stem().string() + writer.extension)).string();
            if (result && std::string(result.message()) != "refused" && AssimpReadsFormat(writer) && HasFaces(*original.model)) {
                EXPECT_TRUE(AssimpReads(written, true));
            }
        }
    }
    EXPECT_GT(loaded, 30);
    if (!HaveAssimp()) std::printf("assimp is not installed: the files were not read by assimp\n");
}

// ---- Models made for the cases below ---------------------------------------------------------

// A grid of columns x rows quads (two triangles each when triangles) in the xy plane, with a
// texture coordinate per vertex.
std::unique_ptr<Model> Grid(int columns, int rows, bool triangles)
{
    auto model = NewModel(1);
    model->formatId = Format::Obj;
    SubMesh& mesh = model->subMeshes[0];
    for (int y = 0; y <= rows; ++y) {
        for (int x = 0; x <= columns; ++x) {
            mesh.vertices.insert(mesh.vertices.end(), {static_cast<float>(x), static_cast<float>(y), 0.01f * static_cast<float>(x % 7)});
            mesh.texCoords.insert(mesh.texCoords.end(), {static_cast<float>(x) / columns, static_cast<float>(y) / rows});
        }
    }
    const auto at = [columns](int x, int y) { return static_cast<uint32_t>(y * (columns + 1) + x); };
    mesh.faceTexCoordIndices.reserve(static_cast<size_t>(columns) * rows * 6);
    for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
            if (triangles) {
                const uint32_t first[3] = {at(x, y), at(x + 1, y), at(x + 1, y + 1)};
                const uint32_t second[3] = {at(x, y), at(x + 1, y + 1), at(x, y + 1)};
                mesh.AppendFace(first, 3, first);
                mesh.AppendFace(second, 3, second);
            } else {
                const uint32_t quad[4] = {at(x, y), at(x + 1, y), at(x + 1, y + 1), at(x, y + 1)};
                mesh.AppendFace(quad, 4, quad);
            }
        }
    }
    ComputeAllBounds(*model);
    return model;
}

const WriterExpectation& Writer(const char* name)
{
    for (const WriterExpectation& writer : kWriters) {
        if (std::string(writer.name) == name) return writer;
    }
    ADD_FAILURE() << "no writer " << name;
    return kWriters[0];
}

std::vector<std::string> FilesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

Texture Picture(int width, int height, uint8_t seed)
{
    Texture texture;
    texture.width = width;
    texture.height = height;
    for (int i = 0; i < width * height; ++i) {
        texture.pixels.insert(texture.pixels.end(), {static_cast<uint8_t>(seed + i), static_cast<uint8_t>(i * 3), static_cast<uint8_t>(seed * 7)});
    }
    return texture;
}

// ---- Limits ------------------------------------------------------------------------------------

TEST(ModelWriters, ModelsBeyondAFormatsLimitsAreRefusedAndLeaveNoFile)
{
    const auto manyTriangles = [] {
        auto model = Grid(3, 2, true);  // 12 vertices
        SubMesh& mesh = model->subMeshes[0];
        const uint32_t corners[3] = {0, 1, 5};
        for (int i = 0; i < 4100; ++i) mesh.AppendFace(corners, 3, corners);
        return model;
    };
    const auto manyFrames = [] {
        auto model = Grid(1, 1, true);
        model->subMeshes[0].frames.resize(513, AnimationFrame{model->subMeshes[0].vertices, "f", {}});
        return model;
    };
    const auto farAway = [] {
        auto model = Grid(1, 1, true);
        model->subMeshes[0].vertices[0] = 600.0f;
        return model;
    };
    const auto manySubMeshes = [] {
        auto model = NewModel(0);
        for (int s = 0; s < 33; ++s) model->subMeshes.push_back(Grid(1, 1, true)->subMeshes[0]);
        return model;
    };
    const struct {
        const char* writer;
        std::unique_ptr<Model> model;
        const char* message;
    } cases[] = {
        {"md2", Grid(50, 50, true), "The model exceeds the format's limit of 2048 vertices."},
        {"md2", manyTriangles(), "The model exceeds the format's limit of 4096 triangles."},
        {"md2", manyFrames(), "The model exceeds the format's limit of 512 frames."},
        {"md3", farAway(), "The model exceeds the format's limit of 512 units from the origin."},
        {"md3", manySubMeshes(), "The model exceeds the format's limit of 32 surfaces."},
        {"lwo", Grid(256, 256, false), "The model exceeds the format's limit of 65536 points."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ScratchDir scratch;
        const WriterExpectation& writer = Writer(c.writer);
        c.model->textures.push_back(Picture(4, 4, 1));
        c.model->materials.push_back(Material{"skin", {1, 1, 1}, {}, {}, 0, 0});
        const std::string path = (scratch.Path() / "big").string() + writer.extension;
        SaveContext ctx;
        EXPECT_FALSE(writer.write(*c.model, path, ctx));
        EXPECT_EQ(ctx.error, c.message);
        EXPECT_TRUE(FilesIn(scratch.Path()).empty());
    }
}

// 3D Studio counts vertices and faces with 16 bits: a bigger sub-mesh becomes several objects;
// MD3 splits a surface at 4096 vertices.
TEST(ModelWriters, BigSubMeshesAreSplitWhereTheFormatCountsIn16Bits)
{
    ScratchDir scratch;
    const auto big = Grid(300, 240, true);  // 72541 vertices, 144000 triangles
    EXPECT_TRUE(RoundTrip(*big, Writer("3ds"), scratch.Path(), "grid"));
    LoadOutcome back = Load((scratch.Path() / "grid.3ds").string());
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->SubMeshCount(), 3);
    for (const SubMesh& mesh : back.model->subMeshes) {
        EXPECT_LE(mesh.VertexCount(), 65535);
        EXPECT_LE(mesh.FaceCount(), 65535);
    }

    // A point cloud too: its vertices in runs of 65535.
    auto cloud = NewModel(1);
    cloud->subMeshes[0].vertices.assign(70000 * 3, 0.5f);
    ASSERT_TRUE(RoundTrip(*cloud, Writer("3ds"), scratch.Path(), "cloud"));
    back = Load((scratch.Path() / "cloud.3ds").string());
    ASSERT_NE(back.model, nullptr);
    ASSERT_EQ(back.model->SubMeshCount(), 2);
    EXPECT_EQ(back.model->subMeshes[0].VertexCount() + back.model->subMeshes[1].VertexCount(), 70000);

    const auto medium = Grid(80, 60, true);  // 4941 vertices
    EXPECT_TRUE(RoundTrip(*medium, Writer("md3"), scratch.Path(), "grid"));
    back = Load((scratch.Path() / "grid.md3").string());
    ASSERT_NE(back.model, nullptr);
    EXPECT_EQ(back.model->SubMeshCount(), 2);
}

// ---- Faces ------------------------------------------------------------------------------------

// A face keeps its front: the normals the viewer makes of the faces read back (turned for the
// formats that wind the other way) point where the original's do.
TEST(ModelWriters, FacesKeepTheirFrontAcrossWindingConventions)
{
    for (FormatId source : {Format::Obj, Format::Md2}) {
        auto model = Grid(2, 1, true);
        model->formatId = source;
        // Only the faces matter here (an MD2 without its skin would keep coordinates in pixels).
        model->subMeshes[0].texCoords.clear();
        model->subMeshes[0].faceTexCoordIndices.clear();
        Model original = *model;
        GenerateNormalsForFormat(original);
        for (const WriterExpectation& writer : kWriters) {
            if (writer.readsAs < 0) continue;
            SCOPED_TRACE(writer.name);
            ScratchDir scratch;
            ASSERT_TRUE(RoundTrip(*model, writer, scratch.Path(), "front"));
            LoadOutcome back = Load((scratch.Path() / "front").string() + writer.extension);
            ASSERT_NE(back.model, nullptr);
            GenerateNormalsForFormat(*back.model);
            const SubMesh& mesh = back.model->subMeshes[0];
            ASSERT_FALSE(mesh.normals.empty());
            // Every vertex of the nearly flat grid faces the same way as the original's first.
            ASSERT_GT(std::fabs(original.subMeshes[0].normals[2]), 0.99f);
            for (size_t v = 0; v < mesh.normals.size(); v += 3) {
                EXPECT_GT(mesh.normals[v + 2] * original.subMeshes[0].normals[2], 0.99f) << "vertex " << v / 3;
            }
        }
    }
}

// Polygons the format cannot hold are tessellated: a concave hexagon into triangles of the same
// area, an outline with a hole into the area between; trueSpace keeps the hole as a face.
TEST(ModelWriters, ConcavePolygonsAndHolesAreTessellatedWhereTheFormatLacksThem)
{
    auto model = NewModel(1);
    model->formatId = Format::TrueSpace;
    SubMesh& mesh = model->subMeshes[0];
    // An L of area 3 (corners 0-5), then a square of area 16 with a hole of area 4 (6-13).
    mesh.vertices = {0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0,
                     10, 0, 0, 14, 0, 0, 14, 4, 0, 10, 4, 0, 11, 1, 0, 11, 3, 0, 13, 3, 0, 13, 1, 0};
    const uint32_t l[6] = {0, 1, 2, 3, 4, 5};
    const uint32_t outline[4] = {6, 7, 8, 9};
    const uint32_t hole[4] = {10, 11, 12, 13};
    mesh.AppendFace(l, 6);
    mesh.AppendFace(outline, 4);
    mesh.AppendFace(hole, 4);
    mesh.faceContours = {kContourOutline, kContourOutline, kContourHole};
    ComputeAllBounds(*model);
    const auto area = [](const SubMesh& m, int32_t f) {
        double twice = 0;
        const uint32_t* c = m.FaceIndices(f);
        for (int k = 0; k < m.FaceCorners(f); ++k) {
            const float* a = &m.vertices[3 * c[k]];
            const float* b = &m.vertices[3 * c[(k + 1) % m.FaceCorners(f)]];
            twice += double{a[0]} * b[1] - double{b[0]} * a[1];
        }
        return std::fabs(twice) / 2;
    };
    for (const char* name : {"3ds", "obj", "cob", "pro", "x"}) {
        SCOPED_TRACE(name);
        ScratchDir scratch;
        const WriterExpectation& writer = Writer(name);
        ASSERT_TRUE(RoundTrip(*model, writer, scratch.Path(), "shapes"));
        LoadOutcome back = Load((scratch.Path() / "shapes").string() + writer.extension);
        ASSERT_NE(back.model, nullptr);
        const SubMesh& got = back.model->subMeshes[0];
        double left = 0, right = 0;
        int holes = 0;
        for (int32_t f = 0; f < got.FaceCount(); ++f) {
            if (std::string(name) == "3ds" || std::string(name) == "pro") {
                EXPECT_EQ(got.FaceCorners(f), 3);
            }
            const bool isHole = got.FaceContour(f) == kContourHole;
            holes += isHole ? 1 : 0;
            (got.vertices[3 * got.FaceIndices(f)[0]] < 5 ? left : right) += isHole ? -area(got, f) : area(got, f);
        }
        EXPECT_NEAR(left, 3.0, 1e-6);
        EXPECT_NEAR(right, 12.0, 1e-6);
        EXPECT_EQ(holes, std::string(name) == "cob" ? 1 : 0);
    }
}

// ---- Textures -----------------------------------------------------------------------------------

// The images are written beside the model as <model>_<texture>.<ext>, each name once; a texture
// without a picture keeps its own name and writes nothing.
TEST(ModelWriters, TexturesAreWrittenBesideTheModelUnderNamesOfTheirOwn)
{
    auto model = Grid(2, 2, false);
    model->textures = {Picture(8, 4, 1), Picture(3, 5, 2), Texture{}};
    model->textures[0].name = "C:\\maps\\Wood Grain.jpg";
    model->textures[1].name = "other/wood grain.png";
    model->textures[2].name = "lost/missing.tga";
    for (int m = 0; m < 3; ++m) model->materials.push_back(Material{"m" + std::to_string(m), {1, 0, 0}, {}, {}, 0, m});
    model->hasColor = 1;
    model->subMeshes[0].faceMaterials = {0, 1, 2, 0};
    const struct {
        const char* writer;
        std::vector<std::string> files;
    } cases[] = {
        {"3ds", {"chair.3ds", "chair_Wood_Grain.bmp", "chair_wood_grain_2.bmp"}},
        {"obj", {"chair.mtl", "chair.obj", "chair_Wood_Grain.png", "chair_wood_grain_2.png"}},
        {"cob", {"chair.cob", "chair_Wood_Grain.bmp", "chair_wood_grain_2.bmp"}},
        {"lwo", {"chair.lwo", "chair_Wood_Grain.tga", "chair_wood_grain_2.tga"}},
        {"md2", {"chair.md2", "chair_Wood_Grain.pcx"}},
        {"md3", {"chair.md3", "chair_Wood_Grain.tga", "chair_wood_grain_2.tga"}},
        {"pro", {"chair.pro", "chair_Wood_Grain.pcx", "chair_wood_grain_2.pcx"}},
        {"x", {"chair.x", "chair_Wood_Grain.bmp", "chair_wood_grain_2.bmp"}},
        {"glb", {"chair.glb"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.writer);
        ScratchDir scratch;
        const WriterExpectation& writer = Writer(c.writer);
        EXPECT_TRUE(RoundTrip(*model, writer, scratch.Path(), "chair"));
        EXPECT_EQ(FilesIn(scratch.Path()), c.files);
    }
    // The texture without a picture is named as it was.
    ScratchDir scratch;
    SaveContext ctx;
    ASSERT_TRUE(WriteObjFile(*model, (scratch.Path() / "chair.obj").string(), ctx));
    EXPECT_NE(ReadText((scratch.Path() / "chair.mtl").string()).find("map_Kd missing.tga"), std::string::npos);
}

// A texture that cannot be written fails the save, and nothing written for it stays.
TEST(ModelWriters, AFailedSaveLeavesNoFileBehind)
{
    auto model = Grid(2, 2, false);
    model->textures = {Picture(8, 4, 1), Picture(4, 4, 2)};
    model->textures[0].name = "a.bmp";
    model->textures[1].name = "b.bmp";
    model->materials = {Material{"one", {1, 0, 0}, {}, {}, 0, 0}, Material{"two", {0, 1, 0}, {}, {}, 0, 1}};
    model->subMeshes[0].faceMaterials = {0, 1, 0, 1};
    for (const WriterExpectation& writer : kWriters) {
        if (std::string(writer.name) == "glb" || std::string(writer.name) == "md2") continue;  // no second image file
        SCOPED_TRACE(writer.name);
        ScratchDir scratch;
        // The second image's name is taken by a folder.
        const std::string extension = writer.textureExtension;
        std::filesystem::create_directory(scratch.Path() / ("m_b" + extension));
        SaveContext ctx;
        EXPECT_FALSE(writer.write(*model, (scratch.Path() / "m").string() + writer.extension, ctx));
        EXPECT_NE(ctx.error.find("Cannot write"), std::string::npos) << ctx.error;
        EXPECT_EQ(FilesIn(scratch.Path()), std::vector<std::string>{"m_b" + extension});
    }
}

// ---- Formats ------------------------------------------------------------------------------------

// The library takes the model's name; materials are single words; faces without a material take
// "Default" once another face has one.
TEST(ModelWriters, ObjLibraryNamesAndDefaultMaterial)
{
    auto model = Grid(2, 1, false);
    model->materials = {Material{"red paint", {1, 0, 0}, {}, {}, 0, -1}, Material{"red_paint", {0, 0, 1}, {}, {}, 0, -1}};
    model->hasColor = 1;
    model->subMeshes[0].faceMaterials = {-1, 1};
    ScratchDir scratch;
    EXPECT_TRUE(RoundTrip(*model, Writer("obj"), scratch.Path(), "chair"));
    const std::string obj = ReadText((scratch.Path() / "chair.obj").string());
    const std::string mtl = ReadText((scratch.Path() / "chair.mtl").string());
    EXPECT_NE(obj.find("mtllib chair.mtl\n"), std::string::npos);
    EXPECT_NE(mtl.find("newmtl red_paint\n"), std::string::npos);
    EXPECT_NE(mtl.find("newmtl red_paint_2\n"), std::string::npos);
    EXPECT_NE(mtl.find("newmtl Default\n"), std::string::npos);
    EXPECT_NE(obj.find("usemtl Default\nf 1/1 2/2 5/5 4/4\nusemtl red_paint_2\n"), std::string::npos) << obj;

    // A model without materials still writes its (empty) library, so no older one is read.
    model->materials.clear();
    model->subMeshes[0].faceMaterials.clear();
    std::ofstream(scratch.Path() / "plain.mtl") << "newmtl stale\nKd 1 0 0\n";
    EXPECT_TRUE(RoundTrip(*model, Writer("obj"), scratch.Path(), "plain"));
    EXPECT_EQ(ReadText((scratch.Path() / "plain.mtl").string()).find("newmtl"), std::string::npos);
}

// DirectX names are identifiers: sub-meshes and materials keep theirs where they are, others are
// made so, and the material list refers to the materials by those names.
TEST(ModelWriters, DirectXNamesAreIdentifiers)
{
    auto model = Grid(1, 1, false);
    model->subMeshes.push_back(model->subMeshes[0]);
    model->subMeshes[0].name = "Hull";
    model->subMeshes[1].name = "2nd part";
    model->materials = {Material{"Steel", {0.5f, 0.5f, 0.5f}, {}, {}, 0, -1}, Material{"blue glass", {0, 0, 1}, {}, {}, 0.5f, -1}};
    model->hasColor = model->hasTransparency = 1;
    model->subMeshes[0].faceMaterials = {0};
    model->subMeshes[1].faceMaterials = {1};
    for (const char* name : {"x", "x-ascii"}) {
        ScratchDir scratch;
        const WriterExpectation& writer = Writer(name);
        EXPECT_TRUE(RoundTrip(*model, writer, scratch.Path(), "ship"));
        LoadOutcome back = Load((scratch.Path() / "ship.x").string());
        ASSERT_NE(back.model, nullptr);
        ASSERT_EQ(back.model->SubMeshCount(), 2);
        EXPECT_EQ(back.model->subMeshes[0].name, "Hull");
        EXPECT_EQ(back.model->subMeshes[1].name, "_2nd_part");
        ASSERT_EQ(back.model->MaterialCount(), 2);
        EXPECT_EQ(back.model->materials[0].name, "Steel");
        EXPECT_EQ(back.model->materials[1].name, "blue_glass");
    }
}

// Key frames: MD2 and MD3 keep every one; a sub-mesh with fewer frames holds its last.
TEST(ModelWriters, QuakeFormatsKeepEveryKeyFrame)
{
    auto model = Grid(2, 2, true);
    model->subMeshes.push_back(Grid(1, 1, true)->subMeshes[0]);
    for (int k = 1; k <= 3; ++k) {
        AnimationFrame frame{model->subMeshes[0].vertices, "run" + std::to_string(k), {}};
        for (size_t i = 2; i < frame.vertices.size(); i += 3) frame.vertices[i] += static_cast<float>(k);
        model->subMeshes[0].frames.push_back(frame);
    }
    AnimationFrame shortFrame{model->subMeshes[1].vertices, "x", {}};
    shortFrame.vertices[0] = -3;
    model->subMeshes[1].frames.push_back(shortFrame);
    model->subMeshes[0].name = "stand";
    for (const char* name : {"md2", "md3"}) {
        SCOPED_TRACE(name);
        ScratchDir scratch;
        const WriterExpectation& writer = Writer(name);
        EXPECT_TRUE(RoundTrip(*model, writer, scratch.Path(), "runner"));
        LoadOutcome back = Load((scratch.Path() / "runner").string() + writer.extension);
        ASSERT_NE(back.model, nullptr);
        for (const SubMesh& mesh : back.model->subMeshes) EXPECT_EQ(mesh.FrameCount(), 4);
        if (std::string(name) == "md2") {
            EXPECT_EQ(back.model->subMeshes[0].name, "stand");
            EXPECT_EQ(back.model->subMeshes[0].frames[2].name, "run3");
        }
    }
}

// The .glb file: its header and chunks add up, its JSON names what a glTF reader needs, and its
// embedded PNG is the texture's picture, row 0 first (where v = 0 samples, the top of a glTF image).
TEST(ModelWriters, GlbChunksAndEmbeddedTexture)
{
    auto model = Grid(3, 2, false);
    model->textures = {Picture(5, 3, 9)};
    model->textures[0].name = "skin.bmp";
    model->materials = {Material{"painted", {0.2f, 0.4f, 0.6f}, {}, {}, 0.25f, 0}};
    model->hasColor = model->hasTransparency = 1;
    model->subMeshes[0].faceMaterials.assign(6, 0);
    ScratchDir scratch;
    const std::string path = (scratch.Path() / "toy.glb").string();
    SaveContext ctx;
    ASSERT_TRUE(WriteGlbFile(*model, path, ctx)) << ctx.error;
    const std::string bytes = ReadText(path);
    const auto u32 = [&bytes](size_t at) {
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
        return value;
    };
    ASSERT_GE(bytes.size(), 28u);
    EXPECT_EQ(bytes.substr(0, 4), "glTF");
    EXPECT_EQ(u32(4), 2u);
    EXPECT_EQ(u32(8), bytes.size());
    const uint32_t jsonLength = u32(12);
    EXPECT_EQ(bytes.substr(16, 4), "JSON");
    EXPECT_EQ(jsonLength % 4, 0u);
    const std::string json = bytes.substr(20, jsonLength);
    const size_t bin = 20 + jsonLength;
    ASSERT_LE(bin + 8, bytes.size());
    EXPECT_EQ(bytes.substr(bin + 4, 4), std::string("BIN\0", 4));
    EXPECT_EQ(bin + 8 + u32(bin), bytes.size());
    for (const char* part : {"\"version\":\"2.0\"", "\"POSITION\":", "\"min\":[0,0,0]", "\"max\":[3,2,0.03]",
                             "\"TEXCOORD_0\":", "\"baseColorFactor\":[0.2,0.4,0.6,0.75]", "\"alphaMode\":\"BLEND\"",
                             "\"mimeType\":\"image/png\"", "\"byteLength\":"}) {
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    }
    // The image's buffer view, found by its number among the views.
    const auto number = [&json](size_t from, const char* key) {
        const size_t at = json.find(key, from);
        return at == std::string::npos ? size_t{0} : static_cast<size_t>(std::atoll(json.c_str() + at + std::strlen(key)));
    };
    const size_t imageView = number(json.find("\"images\""), "\"bufferView\":");
    size_t view = json.find("\"bufferViews\":[");
    for (size_t v = 0; v <= imageView; ++v) view = json.find("{\"buffer\":0", view + 1);
    const size_t offset = number(view, "\"byteOffset\":"), length = number(view, "\"byteLength\":");
    ASSERT_LE(bin + 8 + offset + length, bytes.size());
    const std::string png = bytes.substr(bin + 8 + offset, length);
    ScratchDir pictures;
    const std::string pngPath = pictures.Write("t.png", png);
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    ASSERT_TRUE(ReadPng(pngPath, width, height, rgb));
    EXPECT_EQ(width, 5);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(rgb, model->textures[0].pixels);
    if (HaveAssimp()) {
        EXPECT_TRUE(AssimpReads(path, true));
    }
}

// A model without faces (a point cloud) is written by every writer, and read back.
TEST(ModelWriters, ModelsWithoutFacesAreWritten)
{
    auto model = NewModel(1);
    model->subMeshes[0].vertices = {0, 0, 0, 1, 2, 3};
    ComputeAllBounds(*model);
    for (const WriterExpectation& writer : kWriters) {
        SCOPED_TRACE(writer.name);
        ScratchDir scratch;
        EXPECT_TRUE(RoundTrip(*model, writer, scratch.Path(), "points"));
    }
}

}  // namespace
}  // namespace solvane::test
