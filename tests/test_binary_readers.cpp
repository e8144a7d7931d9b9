// L3D, Stereo CAD-3D and Power Render: fixtures built in code, hostile variants with their exact
// result codes, and files that end early.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/load_result.h"
#include "core/validate.h"
#include "formats/powerrender.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::Corners;
using test::ExpectCodes;
using test::LoadBytes;
using test::TexCorners;

// ---- L3D

TEST(L3d, TriangleKeepsTexCoordsAndNormalsPerVertex)
{
    const auto r = LoadBytes("m.l3d", test::l3d::File(test::l3d::kTriangle, {{2, 1, 0}}, 3, 1));
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
    using test::l3d::File;
    const auto& v = test::l3d::kTriangle;
    std::string wrongMagic = File(v, {{0, 1, 2}}, 3, 1);
    wrongMagic[3] = '1';
    ExpectCodes("m.l3d", LoadResult::L3dError,
                {"", wrongMagic, File(v, {{0, 1, 2}}, 0x7fffffff, 1), File(v, {{0, 1, 2}}, 0xffffffff, 1),
                 File(v, {{0, 1, 2}}, 3, 0x7fffffff),
                 File(v, {{0, 1, 3}}, 3, 1),              // corner past the vertices
                 File(v, {{0, 1, 2}}, 3, 1, 0xfffffff0),  // vertices past the end
                 std::string("L3D0") + std::string(100, '\0')});  // no header
}

// ---- Stereo CAD-3D

TEST(Stereo3d2, AxesSwapAndScaleByOneHundredth)
{
    const auto r = LoadBytes("m.3d2", test::stereo3d2::File({test::stereo3d2::kTriangle}));
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
    const test::stereo3d2::Object quad = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}};
    const auto r = LoadBytes("m.3d2", test::stereo3d2::File({test::stereo3d2::kTriangle, quad}));
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
    using test::stereo3d2::File;
    ExpectCodes("m.3d2", LoadResult::NotValid3d2,
                {"", File({test::stereo3d2::kTriangle}, 0x3D03),
                 File({{{{0, 0, 0}}, {{0, 0, 1}}}}),  // a corner past the vertices
                 File({test::stereo3d2::kTriangle}).substr(0, 200)});
}

// ---- Files that end early keep the vertices and faces they hold whole

TEST(TruncatedBody, BinaryFilesKeepWhatTheyHoldWhole)
{
    const test::stereo3d2::Object quad = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}};
    const std::string l3d = test::l3d::File(test::l3d::kTriangle, {{2, 1, 0}, {0, 1, 2}}, 3, 2);
    const std::string stereo = test::stereo3d2::File({test::stereo3d2::kTriangle, quad, quad});
    // The second of three objects starts at 256 + 9 + 2 + 18 + 2 + 8 = 295.
    const struct {
        std::string name, bytes;
        int32_t subMeshes;
        int64_t vertices, faces;
    } cases[] = {
        {"m.l3d", l3d.substr(0, 140 + 32 + 20), 1, 1, 0},  // inside the second vertex
        {"m.l3d", l3d.substr(0, 140 + 96 + 8), 1, 3, 1},   // inside the second face
        {"m.l3d", test::l3d::File(test::l3d::kTriangle, {}, 30000, 5), 1, 3, 0},
        {"m.3d2", stereo.substr(0, 295 + 11 + 6 + 3), 2, 4, 1},  // inside the second object's vertices
        {"m.3d2", stereo.substr(0, 295 + 11 + 24 + 2 + 12), 2, 7, 2},
        {"m.3d2", test::stereo3d2::File({quad}).substr(0, 260), 1, 0, 0},  // inside the first name
    };
    for (const auto& c : cases) {
        const auto r = LoadBytes(c.name, c.bytes);
        ASSERT_TRUE(r.model) << c.name << " of " << c.bytes.size() << " bytes gave " << r.code;
        EXPECT_EQ(r.code, LoadResult::NoError);
        EXPECT_TRUE(test::HasCounts(*r.model, {.subMeshes = c.subMeshes, .vertices = c.vertices, .faces = c.faces}))
            << c.name << " of " << c.bytes.size() << " bytes";
    }
}

// ---- Power Render

using test::pro::kQuad;
using test::pro::kQuadFaces;

TEST(PowerRender, FacesCarryTheirOwnTextureCoordinatesAndMaterials)
{
    const auto r = LoadBytes("m.pro", test::pro::File(test::pro::Object(kQuad, kQuadFaces, 4, 2)));
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

    // Material chunks give colour, transparency and a white specular colour.
    ASSERT_EQ(r.model->MaterialCount(), 2);
    const Material& red = r.model->materials[1];
    EXPECT_EQ(red.name, "red");
    EXPECT_EQ(red.color, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(red.diffuse, red.color);
    EXPECT_EQ(red.specular, (std::array<float, 3>{1, 1, 1}));
    EXPECT_EQ(red.transparency, 0.5f);
    EXPECT_EQ(red.textureIndex, -1);
    EXPECT_EQ(r.model->hasColor + r.model->hasSpecular + r.model->hasDiffuse + r.model->hasTransparency, 4);
    // Neither named texture is beside the model: both are dropped.
    EXPECT_EQ(r.model->TextureCount(), 0);
    EXPECT_EQ(r.model->hasTextures, 0);
}

TEST(PowerRender, EveryObjectChunkFillsTheNextSubMesh)
{
    const std::string object = test::pro::Object(kQuad, kQuadFaces, 4, 2);
    const auto r = LoadBytes("m.pro", test::pro::File(object + object));
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->SubMeshCount(), 2);
    EXPECT_EQ(r.model->subMeshes[1].FaceCount(), 2);
    EXPECT_EQ(r.model->subMeshes[1].name, "Mesh2");
}

TEST(PowerRender, TexturesAreReadFromTheModelsOwnFolder)
{
    test::ScratchDir dir;
    dir.Write("wood.pcx", test::PcxFile(2, 2, {0, 1, 2, 3}));  // named maps/wood.pcx in the file
    const std::string path = dir.Write("m.pro", test::pro::File(test::pro::Object(kQuad, kQuadFaces, 4, 2)));
    Texture named;
    named.name = "some/other/folder/wood.pcx";
    const auto image = LoadProTexture(named, path);
    ASSERT_TRUE(image) << "the PCX reader refused the image";
    EXPECT_EQ(image->name, (dir.Path() / "wood.pcx").string());
    EXPECT_EQ(image->width, 2);
    // Through the dispatch: wood.pcx is found, C:\art\stone.pcx is not and is dropped.
    const auto r = test::Load(path);
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->textures[0].name, (dir.Path() / "wood.pcx").string());
    EXPECT_EQ(r.model->textures[0].pixels.size(), 2u * 2 * 3);
    EXPECT_EQ(r.model->hasTextures, 1);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(PowerRender, HostileFilesFailWith700)
{
    using test::pro::File;
    using test::pro::Object;
    std::string wrongId = File(Object(kQuad, kQuadFaces, 4, 2));
    wrongId[0] = 0x04;
    std::string shortChunk = File(Object(kQuad, kQuadFaces, 4, 2));
    shortChunk[2] = 3;  // main chunk shorter than its header
    shortChunk[3] = shortChunk[4] = shortChunk[5] = 0;
    std::string longChunk = File(Object(kQuad, kQuadFaces, 4, 2));
    longChunk[5] = 0x7f;  // main chunk longer than the file
    ExpectCodes("m.pro", LoadResult::NotValidPro,
                {"", wrongId, shortChunk, longChunk, File(Object(kQuad, kQuadFaces, 0x7fffffff, 2)),
                 File(Object(kQuad, kQuadFaces, 4, 0xffffffff)),
                 File(Object(kQuad, {{0, {0, 1, 4}, {}, {}}}, 4, 1)),  // corner past the vertices
                 File(Object(kQuad, kQuadFaces, 4, 2), test::LeChunk(0x2010, test::Bytes().Le16(60000).data))});
}

}  // namespace
}  // namespace solvane
