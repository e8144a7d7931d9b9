// The writers of the texture-carrying formats (OBJ, 3D Studio, trueSpace, LightWave, MD2, MD3,
// Power Render, DirectX, glTF): the rules each follows for the format's limits, its winding, its
// holes and large polygons, its names and its textures. The corpus round trip of every writer, and
// assimp reading their files, are in test_writers.cpp.
#include <algorithm>
#include <cmath>
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
#include "tests/round_trip.h"
#include "tests/test_support.h"

namespace solvane::test {
namespace {

// Writes the model with the table's writer into dir (as model.<ext>), reads it back and compares
// with what the format keeps.
::testing::AssertionResult RoundTrip(const Model& model, const char* name, const std::filesystem::path& dir)
{
    std::unique_ptr<Model> back;
    const std::string failure = WriteAndReadBack(model, *FindWriter(name), dir.string(), back);
    if (!failure.empty()) return ::testing::AssertionFailure() << name << ": " << failure;
    const std::string problem = CompareRoundTrip(model, *back, *RoundTripLevelFor(name));
    if (!problem.empty()) return ::testing::AssertionFailure() << name << ": " << problem;
    return ::testing::AssertionSuccess();
}

std::unique_ptr<Model> ReadBack(const std::filesystem::path& dir, const char* name)
{
    return Load((dir / "model").string() + FindWriter(name)->extension).model;
}

// The writers these cases are about, and the image type each writes its textures in.
const struct {
    const char* name;
    const char* textureExtension;
} kTextureWriters[] = {{"obj", ".png"}, {"3ds", ".bmp"}, {"cob", ".bmp"}, {"lwo", ".tga"}, {"md2", ".pcx"},
                       {"md3", ".tga"}, {"pro", ".pcx"}, {"x", ".bmp"},   {"x-ascii", ".bmp"}};

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

std::vector<std::string> FilesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
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

// Limits that splitting cannot meet are refused with a message, and no file is left behind.
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
    const auto manyObjects = [] {
        auto model = NewModel(0);
        model->subMeshes.assign(32768, Grid(1, 1, true)->subMeshes[0]);
        return model;
    };
    const auto onlyALine = [] {
        auto model = NewModel(1);
        model->subMeshes[0].vertices = {0, 0, 0, 1, 0, 0};
        AddFace(model->subMeshes[0], {0, 1});
        ComputeAllBounds(*model);
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
        {"3d2", manyObjects(), "The model exceeds the format's limit of 32767 objects."},
        {"dxf", onlyALine(), "The model has no faces of three or more corners to write as 3DFACE entities."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ScratchDir scratch;
        const WriterEntry& writer = *FindWriter(c.writer);
        c.model->textures.push_back(Picture(4, 4, 1));
        c.model->materials.push_back(Material{"skin", {1, 1, 1}, {}, {}, 0, 0});
        const std::string path = (scratch.Path() / "big").string() + writer.extension;
        SaveContext ctx;
        EXPECT_FALSE(SaveModelFile(*c.model, path, writer, ctx));
        EXPECT_EQ(ctx.error, c.message);
        EXPECT_TRUE(FilesIn(scratch.Path()).empty());
    }
}

// The pieces of a split sub-mesh, one after the other, as one sub-mesh.
Model Joined(const Model& model)
{
    Model joined = model;
    joined.subMeshes.assign(1, SubMesh());
    SubMesh& all = joined.subMeshes[0];
    for (const SubMesh& mesh : model.subMeshes) {
        const uint32_t base = static_cast<uint32_t>(all.VertexCount());
        const uint32_t texBase = static_cast<uint32_t>(all.TexCoordCount());
        all.vertices.insert(all.vertices.end(), mesh.vertices.begin(), mesh.vertices.end());
        all.texCoords.insert(all.texCoords.end(), mesh.texCoords.begin(), mesh.texCoords.end());
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            std::vector<uint32_t> corners(mesh.FaceIndices(f), mesh.FaceIndices(f) + mesh.FaceCorners(f));
            std::vector<uint32_t> tex = corners;
            for (uint32_t& c : corners) c += base;
            if (const uint32_t* t = mesh.FaceTexCoordIndices(f)) tex.assign(t, t + mesh.FaceCorners(f));
            for (uint32_t& t : tex) t += texBase;
            all.AppendFace(corners.data(), static_cast<int>(corners.size()), tex.data());
            all.faceMaterials.push_back(mesh.FaceMaterial(f));
        }
    }
    return joined;
}

// 3D Studio counts vertices and faces with 16 bits: a bigger sub-mesh becomes several objects
// holding its faces in order; MD3 splits a surface at 4096 vertices.
TEST(ModelWriters, BigSubMeshesAreSplitWhereTheFormatCountsIn16Bits)
{
    ScratchDir scratch;
    const auto big = Grid(300, 240, true);  // 72541 vertices, 144000 triangles
    std::unique_ptr<Model> back;
    ASSERT_EQ(WriteAndReadBack(*big, *FindWriter("3ds"), scratch.Path().string(), back), "");
    EXPECT_EQ(back->SubMeshCount(), 3);
    for (const SubMesh& mesh : back->subMeshes) {
        EXPECT_LE(mesh.VertexCount(), 65535);
        EXPECT_LE(mesh.FaceCount(), 65535);
    }
    RoundTripLevel whole = *RoundTripLevelFor("3ds");
    whole.splitsAbove = 0;
    EXPECT_EQ(CompareRoundTrip(*big, Joined(*back), whole), "");

    // A point cloud too: its vertices in runs of 65535.
    auto cloud = NewModel(1);
    cloud->subMeshes[0].vertices.assign(70000 * 3, 0.5f);
    ASSERT_EQ(WriteAndReadBack(*cloud, *FindWriter("3ds"), scratch.Path().string(), back), "");
    ASSERT_EQ(back->SubMeshCount(), 2);
    EXPECT_EQ(back->subMeshes[0].VertexCount() + back->subMeshes[1].VertexCount(), 70000);

    const auto medium = Grid(80, 60, true);  // 4941 vertices
    ASSERT_EQ(WriteAndReadBack(*medium, *FindWriter("md3"), scratch.Path().string(), back), "");
    EXPECT_EQ(back->SubMeshCount(), 2);
    RoundTripLevel md3 = *RoundTripLevelFor("md3");
    md3.splitsAbove = 0;
    EXPECT_EQ(CompareRoundTrip(*medium, Joined(*back), md3), "");
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
        for (const auto& writer : kTextureWriters) {
            SCOPED_TRACE(writer.name);
            ScratchDir scratch;
            ASSERT_TRUE(RoundTrip(*model, writer.name, scratch.Path()));
            std::unique_ptr<Model> back = ReadBack(scratch.Path(), writer.name);
            ASSERT_NE(back, nullptr);
            GenerateNormalsForFormat(*back);
            const SubMesh& mesh = back->subMeshes[0];
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
        ASSERT_TRUE(RoundTrip(*model, name, scratch.Path()));
        std::unique_ptr<Model> back = ReadBack(scratch.Path(), name);
        ASSERT_NE(back, nullptr);
        const SubMesh& got = back->subMeshes[0];
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
        const WriterEntry& writer = *FindWriter(c.writer);
        const std::string path = (scratch.Path() / "chair").string() + writer.extension;
        SaveContext ctx;
        ASSERT_TRUE(SaveModelFile(*model, path, writer, ctx)) << ctx.error;
        EXPECT_EQ(FilesIn(scratch.Path()), c.files);
        if (!RoundTripLevelFor(c.writer)->readBack) continue;
        LoadOutcome back = Load(path);
        ASSERT_NE(back.model, nullptr);
        EXPECT_EQ(CompareRoundTrip(*model, *back.model, *RoundTripLevelFor(c.writer)), "");
    }
    // The texture without a picture is named as it was.
    ScratchDir scratch;
    SaveContext ctx;
    ASSERT_TRUE(WriteObjFile(*model, (scratch.Path() / "chair.obj").string(), ctx));
    EXPECT_NE(ReadFileBytes((scratch.Path() / "chair.mtl").string()).find("map_Kd missing.tga"), std::string::npos);
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
    for (const auto& writer : kTextureWriters) {
        if (std::string(writer.name) == "md2") continue;  // one skin: no second image file
        SCOPED_TRACE(writer.name);
        ScratchDir scratch;
        // The second image's name is taken by a folder.
        std::string folder = "m_b";
        folder += writer.textureExtension;
        std::filesystem::create_directory(scratch.Path() / folder);
        SaveContext ctx;
        const WriterEntry& entry = *FindWriter(writer.name);
        EXPECT_FALSE(SaveModelFile(*model, (scratch.Path() / "m").string() + entry.extension, entry, ctx));
        EXPECT_NE(ctx.error.find("Cannot write"), std::string::npos) << ctx.error;
        EXPECT_EQ(FilesIn(scratch.Path()), std::vector<std::string>{folder});
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
    EXPECT_TRUE(RoundTrip(*model, "obj", scratch.Path()));
    const std::string obj = ReadFileBytes((scratch.Path() / "model.obj").string());
    const std::string mtl = ReadFileBytes((scratch.Path() / "model.mtl").string());
    EXPECT_NE(obj.find("mtllib model.mtl\n"), std::string::npos);
    EXPECT_NE(mtl.find("newmtl red_paint\n"), std::string::npos);
    EXPECT_NE(mtl.find("newmtl red_paint_2\n"), std::string::npos);
    EXPECT_NE(mtl.find("newmtl Default\n"), std::string::npos);
    EXPECT_NE(obj.find("usemtl Default\nf 1/1 2/2 5/5 4/4\nusemtl red_paint_2\n"), std::string::npos) << obj;

    // A model without materials still writes its (empty) library, so no older one is read.
    model->materials.clear();
    model->subMeshes[0].faceMaterials.clear();
    ScratchDir plain;
    std::ofstream(plain.Path() / "model.mtl") << "newmtl stale\nKd 1 0 0\n";
    EXPECT_TRUE(RoundTrip(*model, "obj", plain.Path()));
    EXPECT_EQ(ReadFileBytes((plain.Path() / "model.mtl").string()).find("newmtl"), std::string::npos);
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
        EXPECT_TRUE(RoundTrip(*model, name, scratch.Path()));
        LoadOutcome back = Load((scratch.Path() / "model.x").string());
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
        EXPECT_TRUE(RoundTrip(*model, name, scratch.Path()));
        LoadOutcome back = Load((scratch.Path() / "model").string() + FindWriter(name)->extension);
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
    const std::string bytes = ReadFileBytes(path);
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
}

}  // namespace
}  // namespace solvane::test
