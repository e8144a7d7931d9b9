// The 3D Studio reader: chunk walking, meshes, materials and maps, built byte by byte here.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>

#include "core/load_context.h"
#include "core/validate.h"
#include "formats/studio3ds.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::AllCorners;
using test::Corners;
using test::FaceList;
using test::LeChunk;
using test::Load;
using test::ScratchDir;
using namespace test::studio3ds;

std::string U16(uint32_t value) { return test::Bytes().Le16(value).data; }
std::string U32(uint32_t value) { return test::Bytes().Le32(value).data; }
std::string F32(float value) { return test::Bytes().LeFloat(value).data; }

std::unique_ptr<Model> Read(const std::string& bytes, int32_t* code = nullptr, const std::string& name = "m.3ds")
{
    return test::ReadValid(Read3dsFile, name, bytes, code);
}

// ---- Meshes ----------------------------------------------------------------------------------

TEST(Studio3ds, TriangleMeshGivesVerticesFacesTexCoordsBoundsAndCentroid)
{
    auto model = Read(File(Object("quad", QuadMesh())));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->SubMeshCount(), 1);
    const SubMesh& mesh = model->subMeshes[0];
    EXPECT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2}, {0, 2, 3}}));
    EXPECT_EQ(mesh.faceTexCoordIndices, mesh.faceIndices);
    EXPECT_EQ(mesh.texCoords, (std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{-1, -1}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 2}));
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_TRUE(mesh.name.empty());  // the dispatch names it
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_EQ(model->MaterialCount(), 0);
    EXPECT_EQ(model->TextureCount(), 0);
}

TEST(Studio3ds, ProjectFileReadsLikeMeshFile)
{
    const std::string editor = Object("quad", QuadMesh());
    auto mesh = Read(File(editor, 0x4D4D));
    auto project = Read(File(editor, 0xC23D), nullptr, "m.prj");
    ASSERT_TRUE(mesh && project);
    EXPECT_EQ(project->subMeshes[0].vertices, mesh->subMeshes[0].vertices);
    EXPECT_EQ(project->subMeshes[0].faceIndices, mesh->subMeshes[0].faceIndices);
}

TEST(Studio3ds, EveryTriangleMeshIsOneSubMeshAndTheDispatchNamesThem)
{
    ScratchDir dir;
    const std::string bytes = File(Object("a", QuadMesh() + Mesh(Points({5, 5, 5}))) + Object("b", QuadMesh()));
    auto outcome = Load(dir.Write("three.3ds", bytes));
    ASSERT_TRUE(outcome.model) << outcome.code;
    ASSERT_EQ(outcome.model->SubMeshCount(), 3);
    EXPECT_EQ(outcome.model->subMeshes[1].VertexCount(), 1);
    EXPECT_EQ(outcome.model->subMeshes[1].bounds, (std::array<float, 6>{5, 5, 5, 5, 5, 5}));
    EXPECT_EQ(outcome.model->subMeshes[2].name, "Mesh3");
    EXPECT_EQ(outcome.model->formatId, 0);
}

TEST(Studio3ds, CornerNumbersBeyondTheVerticesBecomeTheLastVertex)
{
    auto model = Read(File(Object("o", Mesh(Points({0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0, 0, 4, 0, 0, 5, 0, 0, 6, 0, 0,
                                                    7, 0, 0, 8, 0, 0, 9, 0, 0}) +
                                            Faces({{0, 65535, 10}})))));
    ASSERT_TRUE(model);
    EXPECT_EQ(Corners(model->subMeshes[0], 0), (std::vector<uint32_t>{0, 9, 9}));
    // Without texture coordinates no texture-coordinate indices are kept.
    EXPECT_TRUE(model->subMeshes[0].faceTexCoordIndices.empty());
}

TEST(Studio3ds, FaceArrayBeforeItsPointArrayGivesNoFaces)
{
    auto model = Read(File(Object("o", Mesh(Faces({{0, 1, 2}}) + Points({0, 0, 0, 1, 0, 0, 0, 1, 0})))));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].VertexCount(), 3);
    EXPECT_EQ(model->subMeshes[0].FaceCount(), 0);
}

TEST(Studio3ds, FileWithoutMeshesGivesOneEmptySubMesh)
{
    // A light (0x4600) and a camera (0x4700) only.
    const std::string bytes = File(LeChunk(0x4000, Str("light") + LeChunk(0x4600, F32(1) + F32(2) + F32(3))) +
                                   LeChunk(0x4000, Str("cam") + LeChunk(0x4700, std::string(32, '\0'))));
    ScratchDir dir;
    auto outcome = Load(dir.Write("lights.3ds", bytes));
    ASSERT_TRUE(outcome.model) << outcome.code;
    ASSERT_EQ(outcome.model->SubMeshCount(), 1);
    const SubMesh& mesh = outcome.model->subMeshes[0];
    EXPECT_EQ(mesh.VertexCount(), 0);
    EXPECT_EQ(mesh.FaceCount(), 0);
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{-1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(mesh.name, "Mesh1");
    EXPECT_EQ(ValidateModel(*outcome.model), "");
}

TEST(Studio3ds, ChunksAfterManySmallChunksAreRead)
{
    std::string filler;
    for (int i = 0; i < 500; ++i) filler += LeChunk(0x0100 + (i % 7), U32(static_cast<uint32_t>(i)));
    auto model = Read(File(filler + MaterialEntry(LeChunk(0xA000, Str("m"))) + filler + Object("o", QuadMesh())));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->MaterialCount(), 1);
    EXPECT_EQ(model->subMeshes[0].FaceCount(), 2);
}

// ---- Materials -------------------------------------------------------------------------------

TEST(Studio3ds, MaterialColoursAndTransparency)
{
    const std::string material =
        LeChunk(0xA000, Str("red")) + LeChunk(0xA010, Rgb24(0x0011, 255, 0, 0) + Rgb24(0x0012, 128, 0, 0)) +
        LeChunk(0xA020, Rgb24(0x0011, 0, 255, 0)) + LeChunk(0xA030, Rgb24(0x0012, 0, 0, 51)) +
        LeChunk(0xA040, Percent(80)) + LeChunk(0xA050, Percent(50));
    auto model = Read(File(MaterialEntry(material)));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->MaterialCount(), 1);
    const Material& m = model->materials[0];
    EXPECT_EQ(m.name, "red");
    EXPECT_EQ(m.color, (std::array<float, 3>{128 / 255.0f, 0, 0}));
    EXPECT_EQ(m.diffuse, (std::array<float, 3>{0, 1, 0}));
    EXPECT_EQ(m.specular, (std::array<float, 3>{0, 0, 0.2f}));
    EXPECT_FLOAT_EQ(m.transparency, 0.5f);
    EXPECT_EQ(m.textureIndex, -1);
    EXPECT_EQ(model->hasColor, 1);
    EXPECT_EQ(model->hasDiffuse, 1);
    EXPECT_EQ(model->hasSpecular, 1);
    EXPECT_EQ(model->hasTransparency, 1);
}

TEST(Studio3ds, ColourAndPercentageChunksWithoutValuesKeepTheDefaults)
{
    // The first material leaves a last colour and percentage behind; the second's empty chunks
    // must not pick them up.
    const std::string first = LeChunk(0xA010, Rgb24(0x0011, 255, 255, 255)) + LeChunk(0xA050, Percent(70));
    const std::string second = LeChunk(0xA010, "") + LeChunk(0xA030, LeChunk(0x0010, F32(1) + F32(1) + F32(1))) +
                               LeChunk(0xA050, LeChunk(0x0031, F32(0.3f)));
    auto model = Read(File(MaterialEntry(first) + MaterialEntry(second)));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->MaterialCount(), 2);
    EXPECT_EQ(model->materials[1].color, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(model->materials[1].specular, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(model->materials[1].transparency, 0.0f);
    EXPECT_EQ(model->hasColor, 1);
    EXPECT_EQ(model->hasSpecular, 1);
    EXPECT_EQ(model->hasTransparency, 1);
}

TEST(Studio3ds, NegativePercentageSwitchesTransparencyOff)
{
    auto model = Read(File(MaterialEntry(LeChunk(0xA050, Percent(40))) + MaterialEntry(LeChunk(0xA050, Percent(-1)))));
    ASSERT_TRUE(model);
    EXPECT_FLOAT_EQ(model->materials[0].transparency, 0.4f);
    EXPECT_EQ(model->hasTransparency, 0);
}

TEST(Studio3ds, MaterialGroupsGiveFaceMaterials)
{
    // The second group names the empty material name, the third names no material, and the
    // group's face 7 is beyond the faces. The material entries come after the mesh.
    const std::string groups = MaterialGroup("blue", {1, 7}) + MaterialGroup("", {0}) +
                               MaterialGroup("nothing", {1}) + LeChunk(0x4150, U32(1) + U32(1));
    const std::string materials = MaterialEntry(LeChunk(0xA000, Str("red"))) +
                                  MaterialEntry(LeChunk(0xA000, Str(""))) + MaterialEntry(LeChunk(0xA000, Str("blue")));
    auto model = Read(File(Object("o", QuadMesh(groups)) + materials));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->materials[1].name, "Default name");
    EXPECT_EQ(model->subMeshes[0].faceMaterials, (std::vector<int32_t>{1, 2}));
}

TEST(Studio3ds, GroupNamesCompareWithCase)
{
    auto model = Read(File(MaterialEntry(LeChunk(0xA000, Str("Red"))) + Object("o", QuadMesh(MaterialGroup("red", {0, 1})))));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].faceMaterials, (std::vector<int32_t>{-1, -1}));
}

TEST(Studio3ds, FaceArrayChildrenEndAtTheFirstOtherChunk)
{
    // The unknown chunk 0x4160 ends the face array's children: the group after it is not read.
    const std::string children = LeChunk(0x4160, std::string(48, '\0')) + MaterialGroup("m", {0});
    auto model = Read(File(MaterialEntry(LeChunk(0xA000, Str("m"))) + Object("o", QuadMesh(children))));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->subMeshes[0].faceMaterials, (std::vector<int32_t>{-1, -1}));
}

TEST(Studio3ds, EachMapIsATextureAndTheMaterialNamesItsLastNamedMap)
{
    const std::string material = LeChunk(0xA000, Str("m")) + Map(0xA200, "wood.tga") +
                                 LeChunk(0xA220, Percent(10)) + Map(0xA230, "bump.bmp");
    auto model = Read(File(MaterialEntry(material) + MaterialEntry(LeChunk(0xA000, Str("plain")))));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->TextureCount(), 3);
    EXPECT_EQ(model->textures[0].name, "wood.tga");
    EXPECT_EQ(model->textures[0].mappingMode, 0);
    EXPECT_EQ(model->textures[1].name, "");  // the reflection map names no file
    EXPECT_EQ(model->textures[1].mappingMode, 1);
    EXPECT_EQ(model->textures[2].name, "bump.bmp");
    EXPECT_EQ(model->textures[2].mappingMode, 2);
    EXPECT_EQ(model->materials[0].textureIndex, 2);
    EXPECT_EQ(model->materials[1].textureIndex, -1);
}

TEST(Studio3ds, LongNamesAreCut)
{
    const std::string longName(100, 'n');
    auto model = Read(File(MaterialEntry(LeChunk(0xA000, Str(longName)) + Map(0xA200, std::string(300, 'f')))));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->materials[0].name, longName.substr(0, 63));
    EXPECT_EQ(model->textures[0].name.size(), 259u);
}

TEST(Studio3ds, DispatchLoadsMapImagesBesideTheModelAndRepointsMaterials)
{
    ScratchDir dir;
    dir.Write("skin.tga", test::TgaFile(2, 1, 0, 0, 255));
    // Material 0 names a missing image, material 1 the TGA through a folder that does not exist.
    const std::string materials = MaterialEntry(LeChunk(0xA000, Str("lost")) + Map(0xA200, "missing.tga")) +
                                  MaterialEntry(LeChunk(0xA000, Str("skin")) + Map(0xA200, "C:\\maps\\skin.tga"));
    auto outcome = Load(dir.Write("textured.3ds", File(materials + Object("o", QuadMesh()))));
    ASSERT_TRUE(outcome.model) << outcome.code;
    const Model& model = *outcome.model;
    EXPECT_EQ(ValidateModel(model), "");
    ASSERT_EQ(model.TextureCount(), 1);
    EXPECT_EQ(model.textures[0].name, "C:\\maps\\skin.tga");
    EXPECT_EQ(model.textures[0].width, 2);
    EXPECT_EQ(model.textures[0].height, 1);
    EXPECT_EQ(model.hasTextures, 1);
    EXPECT_EQ(model.materials[1].textureIndex, 0);
    EXPECT_EQ(model.materials[0].textureIndex, 0);  // its texture was dropped: the first remaining
}

// ---- Hostile files ---------------------------------------------------------------------------

TEST(Studio3ds, WrongMagicOrNoHeaderFails)
{
    const std::pair<std::string, std::string> cases[] = {
        {"empty", ""},
        {"magic only", U16(0x4D4D)},
        {"short header", U16(0x4D4D) + std::string("\x06\x00", 2)},
        {"wrong magic", LeChunk(0x4D4C, LeChunk(0x3D3D, ""))},
        {"project magic byte-swapped", std::string("\xC2\x3D\x06\x00\x00\x00", 6)},
    };
    for (const auto& [what, bytes] : cases) {
        int32_t code = 0;
        EXPECT_FALSE(Read(bytes, &code)) << what;
        EXPECT_EQ(code, 1000) << what;
    }
}

TEST(Studio3ds, CountsBeyondTheirChunkAreCutToIt)
{
    // 65535 points, coordinates, faces and group entries announced, one of each present.
    const std::string counted = Mesh(LeChunk(0x4110, U16(0xFFFF) + F32(1) + F32(2) + F32(3)) +
                                     LeChunk(0x4140, U16(0xFFFF) + F32(0.5f) + F32(0.5f)) +
                                     LeChunk(0x4120, U16(0xFFFF) + U16(0) + U16(0) + U16(0) + U16(0)));
    const std::string grouped = Mesh(Points({0, 0, 0}) + Faces({{0, 0, 0}}, LeChunk(0x4130, Str("m") + U16(0xFFFF) + U16(0))));
    auto model = Read(File(MaterialEntry(LeChunk(0xA000, Str("m"))) + Object("o", counted + grouped)));
    ASSERT_TRUE(model);
    const SubMesh& m = model->subMeshes[0];
    EXPECT_EQ(m.VertexCount(), 1);
    EXPECT_EQ(m.TexCoordCount(), 1);
    EXPECT_EQ(m.FaceCount(), 1);
    EXPECT_EQ(model->subMeshes[1].faceMaterials, (std::vector<int32_t>{0}));
}

TEST(Studio3ds, ChunkLengthsOutOfPlaceStillEndTheWalk)
{
    const std::string quad = Object("o", QuadMesh());
    const std::pair<std::string, std::string> cases[] = {
        // A child of length 0 and one of length 5 are taken as bare headers.
        {"zero length", File(U16(0x0100) + U32(0) + quad)},
        {"length below header", File(U16(0x0100) + U32(5) + quad)},
        // A child claiming 4 GiB ends at its parent's end.
        {"huge length", File(quad + U16(0x4000) + U32(0xFFFFFFFF) + Str("x") + QuadMesh())},
        {"main length huge", U16(0x4D4D) + U32(0xFFFFFFFF) + LeChunk(0x3D3D, quad)},
        {"main length zero", U16(0x4D4D) + U32(0) + LeChunk(0x3D3D, quad)},
    };
    for (const auto& [what, bytes] : cases) {
        int32_t code = 0;
        auto model = Read(bytes, &code);
        ASSERT_TRUE(model) << what << " " << code;
        EXPECT_GE(model->SubMeshCount(), 1) << what;
    }
}

TEST(Studio3ds, MaterialCountBeyondSixteenBitsFails)
{
    std::string materials;
    for (int i = 0; i < 32768; ++i) materials += LeChunk(0xAFFF, "");
    int32_t code = 0;
    EXPECT_FALSE(Read(File(materials), &code));
    EXPECT_EQ(code, 1000);
}

// ---- Corpus ----------------------------------------------------------------------------------

TEST(Studio3dsCorpus, BmpAndJpegMapsAreFoundBesideTheModel)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto dir = test::SharedDir() / "corpus/models/3DS";
    // mar_rifle names m_rifl.bmp; jeep1 names jeep1.jpg; test1 names three JPEG files in capitals.
    const std::pair<const char*, int32_t> cases[] = {{"mar_rifle.3ds", 1}, {"jeep1.3ds", 1}, {"test1.3ds", 3}};
    for (const auto& [file, textures] : cases) {
        auto outcome = Load((dir / file).string());
        ASSERT_TRUE(outcome.model) << file;
        const Model& model = *outcome.model;
        ASSERT_EQ(model.TextureCount(), textures) << file;
        EXPECT_EQ(model.hasTextures, 1) << file;
        for (const Texture& texture : model.textures) {
            EXPECT_TRUE(texture.HasPixels()) << file << " " << texture.name;
            EXPECT_GT(texture.width, 0) << file;
        }
        for (const Material& material : model.materials) EXPECT_GE(material.textureIndex, 0) << file;
    }
    // cube_with_diffuse_texture names a PNG image as TEST.PNG; the file is test.png.
    auto png = Load((dir / "cube_with_diffuse_texture.3DS").string());
    ASSERT_TRUE(png.model);
    ASSERT_EQ(png.model->TextureCount(), 1);
    EXPECT_EQ(png.model->textures[0].width, 512);
    EXPECT_EQ(png.model->materials[0].textureIndex, 0);
}

}  // namespace
}  // namespace solvane
