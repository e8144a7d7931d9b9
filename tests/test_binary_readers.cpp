// L3D, Stereo CAD-3D and Power Render: fixtures built in code, hostile variants with their exact
// result codes, and truncation sweeps.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "load/dispatch.h"
#include "core/validate.h"
#include "formats/powerrender.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Load;
using test::ScratchDir;

// Little helpers that append fields in an explicit byte order.
struct Bytes {
    std::string data;
    Bytes& Le16(uint16_t v) { return Raw({uint8_t(v), uint8_t(v >> 8)}); }
    Bytes& Le32(uint32_t v) { return Raw({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
    Bytes& Be16(uint16_t v) { return Raw({uint8_t(v >> 8), uint8_t(v)}); }
    Bytes& LeFloat(float f)
    {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        return Le32(v);
    }
    Bytes& Text(const std::string& s)
    {
        data += s;
        return *this;
    }
    Bytes& Zeros(size_t n)
    {
        data.append(n, '\0');
        return *this;
    }
    Bytes& Raw(std::initializer_list<uint8_t> bytes)
    {
        for (uint8_t b : bytes) data.push_back(static_cast<char>(b));
        return *this;
    }
};

std::vector<uint32_t> Corners(const SubMesh& mesh, int32_t face)
{
    return {mesh.FaceIndices(face), mesh.FaceIndices(face) + mesh.FaceCorners(face)};
}

std::vector<uint32_t> TexCorners(const SubMesh& mesh, int32_t face)
{
    return {mesh.FaceTexCoordIndices(face), mesh.FaceTexCoordIndices(face) + mesh.FaceCorners(face)};
}

void TruncationSweep(const std::string& name, const std::string& bytes, int32_t code)
{
    ScratchDir dir;
    for (size_t length = 0; length < bytes.size(); ++length) {
        const auto r = Load(dir.Write(name, bytes.substr(0, length)));
        if (r.model) {
            EXPECT_EQ(ValidateModel(*r.model), "") << "cut at " << length;
        } else {
            EXPECT_EQ(r.code, code) << "cut at " << length;
        }
    }
}

void ExpectCode(const std::string& name, const std::string& bytes, int32_t code)
{
    ScratchDir dir;
    const auto r = Load(dir.Write(name, bytes));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(r.code, code);
}

// ---- L3D

struct L3dVertex {
    float values[8];  // x y z u v nx ny nz
};

std::string L3dFile(const std::vector<L3dVertex>& vertices, const std::vector<std::array<uint16_t, 3>>& faces,
                    uint32_t vertexCount, uint32_t faceCount, uint32_t vertexOffset = 140)
{
    Bytes b;
    b.Text("L3D0").Zeros(116).Le32(vertexCount).Le32(vertexOffset).Le32(faceCount).Le32(0);
    // Offsets past a small file are left to point beyond its end.
    if (vertexOffset < 4096 && vertexOffset > b.data.size()) b.Zeros(vertexOffset - b.data.size());
    for (const L3dVertex& v : vertices) {
        for (float f : v.values) b.LeFloat(f);
    }
    for (const auto& f : faces) b.Le16(f[0]).Le16(f[1]).Le16(f[2]);
    return b.data;
}

const std::vector<L3dVertex> kL3dVertices = {
    {{0, 0, 0, 0.0f, 0.0f, 0, 0, 1}},
    {{2, 0, 0, 1.0f, 0.0f, 0, 1, 0}},
    {{0, 3, -1, 0.0f, 0.5f, 1, 0, 0}},
};

TEST(L3d, TriangleKeepsTexCoordsAndNormalsPerVertex)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.l3d", L3dFile(kL3dVertices, {{2, 1, 0}}, 3, 1)));
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 3);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 3);
    EXPECT_EQ(mesh.vertices[3], 2.0f);
    EXPECT_EQ(mesh.vertices[7], 3.0f);
    ASSERT_EQ(mesh.TexCoordCount(), 3);
    EXPECT_EQ(mesh.texCoords[5], 0.5f);
    ASSERT_EQ(mesh.NormalCount(), 3);
    EXPECT_EQ(mesh.normals[4], 1.0f);
    ASSERT_EQ(mesh.FaceCount(), 1);
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_EQ(TexCorners(mesh, 0), (std::vector<uint32_t>{2, 1, 0}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 2, 0, 3, -1, 0}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(L3d, HostileFilesFailWith2300)
{
    std::string wrongMagic = L3dFile(kL3dVertices, {{0, 1, 2}}, 3, 1);
    wrongMagic[3] = '1';
    const std::string cases[] = {
        "",
        wrongMagic,
        L3dFile(kL3dVertices, {{0, 1, 2}}, 0x7fffffff, 1),
        L3dFile(kL3dVertices, {{0, 1, 2}}, 0xffffffff, 1),
        L3dFile(kL3dVertices, {{0, 1, 2}}, 3, 0x7fffffff),
        L3dFile(kL3dVertices, {{0, 1, 3}}, 3, 1),          // corner past the vertices
        L3dFile(kL3dVertices, {{0, 1, 2}}, 3, 1, 0xfffffff0),  // vertices past the end
        std::string("L3D0") + std::string(100, '\0'),      // no header
    };
    for (const auto& bytes : cases) ExpectCode("m.l3d", bytes, 2300);
}

TEST(L3d, TruncationSweep)
{
    TruncationSweep("m.l3d", L3dFile(kL3dVertices, {{2, 1, 0}}, 3, 1), 2300);
}

// ---- Stereo CAD-3D

struct Object3d2 {
    std::vector<std::array<uint16_t, 3>> vertices;
    std::vector<std::array<uint16_t, 3>> faces;
};

std::string File3d2(const std::vector<Object3d2>& objects, uint16_t magic = 0x3D02)
{
    Bytes b;
    b.Be16(magic).Be16(static_cast<uint16_t>(objects.size())).Zeros(252);
    for (const Object3d2& object : objects) {
        b.Text("object").Zeros(3).Be16(static_cast<uint16_t>(object.vertices.size()));
        for (const auto& v : object.vertices) b.Be16(v[0]).Be16(v[1]).Be16(v[2]);
        b.Be16(static_cast<uint16_t>(object.faces.size()));
        for (const auto& f : object.faces) b.Be16(f[0]).Be16(f[1]).Be16(f[2]).Be16(0);
    }
    return b.data;
}

const Object3d2 kTriangle3d2 = {{{100, 200, 300}, {0, 0, 0}, {65535, 0, 1}}, {{0, 1, 2}}};

TEST(Stereo3d2, AxesSwapAndScaleByOneHundredth)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.3d2", File3d2({kTriangle3d2})));
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 15);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 3);
    EXPECT_FLOAT_EQ(mesh.vertices[0], 1.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[1], 3.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[2], 2.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[6], 655.35f);  // values are unsigned
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Stereo3d2, TwoObjectsBecomeMesh1AndMesh2)
{
    ScratchDir dir;
    const Object3d2 quad = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}};
    const auto r = Load(dir.Write("m.3d2", File3d2({kTriangle3d2, quad})));
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->SubMeshCount(), 2);
    EXPECT_EQ(r.model->subMeshes[0].name, "Mesh1");
    EXPECT_EQ(r.model->subMeshes[1].name, "Mesh2");
    EXPECT_EQ(r.model->subMeshes[1].FaceCount(), 2);
    EXPECT_EQ(Corners(r.model->subMeshes[1], 1), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Stereo3d2, HostileFilesFailWith900)
{
    std::string manyObjects = File3d2({kTriangle3d2});
    manyObjects[2] = manyObjects[3] = '\xff';
    std::string manyVertices = File3d2({kTriangle3d2});
    manyVertices[256 + 9] = manyVertices[256 + 10] = '\xff';
    const std::string cases[] = {
        "",
        File3d2({kTriangle3d2}, 0x3D03),
        manyObjects,
        manyVertices,
        File3d2({{{{0, 0, 0}}, {{0, 0, 1}}}}),  // a corner past the vertices
        File3d2({kTriangle3d2}).substr(0, 200),
    };
    for (const auto& bytes : cases) ExpectCode("m.3d2", bytes, 900);
}

TEST(Stereo3d2, TruncationSweep)
{
    TruncationSweep("m.3d2", File3d2({kTriangle3d2, kTriangle3d2}), 900);
}

// ---- Power Render

std::string Chunk(uint16_t id, const std::string& content)
{
    return Bytes().Le16(id).Le32(static_cast<uint32_t>(content.size() + 6)).data + content;
}

struct ProFace {
    uint16_t material;
    uint32_t corners[3];
    float s[3], t[3];
};

std::string ProObject(const std::vector<std::array<float, 3>>& vertices, const std::vector<ProFace>& faces,
                      uint32_t vertexCount, uint32_t faceCount)
{
    Bytes v;
    v.Le32(vertexCount);
    for (const auto& p : vertices) v.LeFloat(p[0]).LeFloat(p[1]).LeFloat(p[2]).Le16(0).Le16(0).Le16(0x7fff);
    Bytes f;
    f.Le32(faceCount);
    for (const ProFace& face : faces) {
        f.Le16(face.material).Zeros(2).Le32(face.corners[0]).Le32(face.corners[1]).Le32(face.corners[2]);
        for (float s : face.s) f.LeFloat(s);
        for (float t : face.t) f.LeFloat(t);
        f.Zeros(21);
    }
    return Chunk(0x1000, Bytes().Le32(1).data + Chunk(0x1030, v.data) + Chunk(0x1040, f.data) +
                             Chunk(0x1077, "unknown"));
}

std::string ProMaterial(const std::string& name, float r, float g, float b, float transparency)
{
    return Chunk(0x2101, name + '\0') + Chunk(0x2103, Bytes().Le32(42).data) +
           Chunk(0x2109, Bytes().LeFloat(r).LeFloat(g).LeFloat(b).LeFloat(transparency).data) +
           Chunk(0x2199, "");
}

const std::vector<std::array<float, 3>> kProQuad = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const std::vector<ProFace> kProFaces = {
    {1, {0, 1, 2}, {0.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f}},
    {7, {0, 2, 3}, {0.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.25f}},
};

std::string ProFile(const std::string& objects, const std::string& extra = {})
{
    const std::string textures = Chunk(0x2010, Bytes().Le16(2).data + std::string("maps/wood.pcx") + '\0' +
                                                   std::string("C:\\art\\stone.pcx") + '\0');
    const std::string materials =
        Chunk(0x2100, ProMaterial("grey", 0.5f, 0.5f, 0.5f, 0) + ProMaterial("red", 1, 0, 0, 0.5f));
    return Chunk(0x0303, textures + materials + objects + extra);
}

TEST(PowerRender, FacesCarryTheirOwnTextureCoordinatesAndMaterials)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.pro", ProFile(ProObject(kProQuad, kProFaces, 4, 2))));
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->formatId, 13);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.VertexCount(), 4);
    ASSERT_EQ(mesh.FaceCount(), 2);
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 2, 3}));
    ASSERT_EQ(mesh.TexCoordCount(), 6);
    EXPECT_EQ(TexCorners(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(TexCorners(mesh, 1), (std::vector<uint32_t>{3, 4, 5}));
    // (s3, t3) of the second face.
    EXPECT_EQ(mesh.texCoords[10], 0.0f);
    EXPECT_EQ(mesh.texCoords[11], 0.25f);
    EXPECT_TRUE(mesh.normals.empty());  // generated when lighting needs them
    // Material numbers are positions in the table; past its end they name none.
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{1, -1}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(PowerRender, MaterialChunksGiveColourTransparencyAndWhiteSpecular)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.pro", ProFile(ProObject(kProQuad, kProFaces, 4, 2))));
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->MaterialCount(), 2);
    const Material& red = r.model->materials[1];
    EXPECT_EQ(red.name, "red");
    EXPECT_EQ(red.color, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(red.diffuse, red.color);
    EXPECT_EQ(red.specular, (std::array<float, 3>{1, 1, 1}));
    EXPECT_EQ(red.transparency, 0.5f);
    EXPECT_EQ(red.textureIndex, -1);
    EXPECT_EQ(r.model->hasColor, 1);
    EXPECT_EQ(r.model->hasSpecular, 1);
    EXPECT_EQ(r.model->hasDiffuse, 1);
    EXPECT_EQ(r.model->hasTransparency, 1);
}

TEST(PowerRender, EveryObjectChunkFillsTheNextSubMesh)
{
    ScratchDir dir;
    const std::string object = ProObject(kProQuad, kProFaces, 4, 2);
    const auto r = Load(dir.Write("m.pro", ProFile(object + object)));
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->SubMeshCount(), 2);
    EXPECT_EQ(r.model->subMeshes[1].FaceCount(), 2);
    EXPECT_EQ(r.model->subMeshes[1].name, "Mesh2");
}

// A 2 x 2 PCX image, 8 bits with a 256-colour palette, every byte written as a run of one.
std::string TinyPcx()
{
    Bytes b;
    b.Raw({10, 5, 1, 8}).Le16(0).Le16(0).Le16(1).Le16(1).Le16(72).Le16(72).Zeros(48);
    b.Raw({0, 1}).Le16(2).Le16(1).Le16(0).Le16(0).Zeros(54);
    b.Raw({0xC1, 1, 0xC1, 2, 0xC1, 3, 0xC1, 4});
    b.Raw({12});
    for (int i = 0; i < 256; ++i) b.Raw({uint8_t(i), uint8_t(255 - i), 7});
    return b.data;
}

TEST(PowerRender, TexturesAreReadFromTheModelsOwnFolder)
{
    ScratchDir dir;
    dir.Write("wood.pcx", TinyPcx());  // named maps/wood.pcx in the file
    const std::string path = dir.Write("m.pro", ProFile(ProObject(kProQuad, kProFaces, 4, 2)));
    Texture named;
    named.name = "some/other/folder/wood.pcx";
    const auto image = LoadProTexture(named, path);
    ASSERT_TRUE(image) << "the PCX reader refused the image";
    EXPECT_EQ(image->name, (dir.Path() / "wood.pcx").string());
    EXPECT_EQ(image->width, 2);
    // Through the dispatch: wood.pcx is found, C:\art\stone.pcx is not and is dropped.
    const auto r = Load(path);
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->textures[0].name, (dir.Path() / "wood.pcx").string());
    EXPECT_EQ(r.model->textures[0].pixels.size(), 2u * 2 * 3);
    EXPECT_EQ(r.model->hasTextures, 1);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(PowerRender, TexturesThatCannotBeReadAreDropped)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.pro", ProFile(ProObject(kProQuad, kProFaces, 4, 2))));
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->TextureCount(), 0);
    EXPECT_EQ(r.model->hasTextures, 0);
}

TEST(PowerRender, HostileFilesFailWith700)
{
    std::string wrongId = ProFile(ProObject(kProQuad, kProFaces, 4, 2));
    wrongId[0] = 0x04;
    std::string shortChunk = ProFile(ProObject(kProQuad, kProFaces, 4, 2));
    shortChunk[2] = 3;  // main chunk shorter than its header
    shortChunk[3] = shortChunk[4] = shortChunk[5] = 0;
    std::string longChunk = ProFile(ProObject(kProQuad, kProFaces, 4, 2));
    longChunk[5] = 0x7f;  // main chunk longer than the file
    const std::string cases[] = {
        "",
        wrongId,
        shortChunk,
        longChunk,
        ProFile(ProObject(kProQuad, kProFaces, 0x7fffffff, 2)),
        ProFile(ProObject(kProQuad, kProFaces, 4, 0xffffffff)),
        ProFile(ProObject(kProQuad, {{0, {0, 1, 4}, {}, {}}}, 4, 1)),  // corner past the vertices
        ProFile(ProObject(kProQuad, kProFaces, 4, 2), Chunk(0x2010, Bytes().Le16(60000).data)),
    };
    for (const auto& bytes : cases) ExpectCode("m.pro", bytes, 700);
}

TEST(PowerRender, TruncationSweep)
{
    TruncationSweep("m.pro", ProFile(ProObject(kProQuad, kProFaces, 4, 2)), 700);
}

}  // namespace
}  // namespace solvane
