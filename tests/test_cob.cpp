// The trueSpace reader: objects with holes and matrices, materials and their maps, hostile headers
// and counts, and the shared corpus.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/load_result.h"
#include "core/validate.h"
#include "formats/cob.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::AllCorners;
using test::Corners;
using test::FaceList;
using test::ExpectCodes;
using test::Load;
using test::LoadBytes;
using test::ReadBytes;
using namespace test::cob;

TEST(Cob, HoleFollowsItsOutlineAndTheMatrixPlacesTheVertices)
{
    const auto r = LoadBytes("holes.cob", ObjectsWithHoleAndTransform());
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(ValidateModel(*r.model), "");
    EXPECT_EQ(r.model->formatId, 1);
    ASSERT_EQ(r.model->SubMeshCount(), 2);
    const SubMesh& square = r.model->subMeshes[0];
    ASSERT_EQ(square.VertexCount(), 7);
    EXPECT_EQ(square.vertices[2], 5.0f);   // z 0 + 5
    EXPECT_EQ(square.vertices[18], 2.0f);  // x kept
    EXPECT_EQ(square.bounds, (std::array<float, 6>{0, 4, 0, 4, 5, 5}));
    EXPECT_FLOAT_EQ(square.centroid[2], 5.0f);
    EXPECT_EQ(AllCorners(square), (FaceList{{0, 1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(square.faceContours, (std::vector<int32_t>{kContourOutline, kContourHole}));
    EXPECT_EQ(square.faceMaterials, (std::vector<int32_t>{1, -1}));  // a hole has no material
    EXPECT_EQ(square.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 2, 3, 0, 1, 2}));
    EXPECT_EQ(square.TexCoordCount(), 4);
    EXPECT_EQ(square.name, "Mesh1");  // the object's own name is not kept

    // The second object's material 0 comes after the two materials read before it.
    const SubMesh& triangle = r.model->subMeshes[1];
    EXPECT_EQ(triangle.vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}));
    EXPECT_EQ(triangle.faceMaterials, (std::vector<int32_t>{2}));
    EXPECT_TRUE(triangle.faceTexCoordIndices.empty());  // no texture coordinates
}

TEST(Cob, MaterialValuesNamesAndFlags)
{
    const auto r = LoadBytes("m.cob", ObjectsWithHoleAndTransform());
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->MaterialCount(), 3);
    const Material& first = r.model->materials[0];
    EXPECT_EQ(first.name, "Material 1");
    EXPECT_EQ(r.model->materials[2].name, "Material 3");
    EXPECT_EQ(first.color, (std::array<float, 3>{1, 0, 0}));
    EXPECT_FLOAT_EQ(first.transparency, 0.75f);
    EXPECT_EQ(first.diffuse, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(first.specular, (std::array<float, 3>{0.75f, 0.75f, 0.75f}));
    EXPECT_EQ(first.textureIndex, -1);
    EXPECT_EQ(r.model->hasColor + r.model->hasTransparency + r.model->hasDiffuse + r.model->hasSpecular, 4);
    EXPECT_EQ(r.model->TextureCount(), 0);
}

TEST(Cob, MapRecordsBecomeTexturesAndTheLastIsTheMaterials)
{
    const std::string file =
        Header() + Chunk("PolH", PolygonObject(kIdentity, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {}, {{0, 1, {{0, 0}, {1, 0}, {2, 0}}}})) +
        Chunk("Mat1", MaterialBody(1, 1, 1, 1, 0, 0, {{"e:", "sky.bmp"}})) +
        Chunk("Mat1", MaterialBody(1, 1, 1, 1, 0, 0, {{"t:", "wood.bmp"}, {"b:", "bumps.bmp"}})) +
        Chunk("ShBx", "t:xxxxxxxx") + End();
    // The reader alone: the dispatch would drop the textures whose images are missing.
    const auto r = ReadBytes(ReadCobFile, "maps.cob", file);
    ASSERT_TRUE(r.model);
    const Model& model = *r.model;
    ASSERT_EQ(model.TextureCount(), 3);
    EXPECT_EQ(model.textures[0].name, "sky.bmp");
    EXPECT_EQ(model.textures[0].mappingMode, 1);
    EXPECT_EQ(model.textures[1].name, "wood.bmp");
    EXPECT_EQ(model.textures[1].mappingMode, 0);
    EXPECT_EQ(model.textures[2].name, "bumps.bmp");
    EXPECT_EQ(model.textures[2].mappingMode, 2);
    EXPECT_EQ(model.materials[0].textureIndex, 0);
    EXPECT_EQ(model.materials[1].textureIndex, 2);
    EXPECT_EQ(model.subMeshes[0].faceMaterials, (std::vector<int32_t>{1}));
    EXPECT_EQ(ValidateModel(model), "");
}

TEST(Cob, SceneChunksOtherThanObjectsAndMaterialsArePassedOver)
{
    // A type holding NULs: 24 bytes of padding follow before the real type.
    const std::string padded = std::string(4, '\0') + std::string(24, 'x');
    const std::string file = Header() + Chunk("Grou", std::string(40, 'g')) + Chunk("Lght", std::string(17, 'l')) +
                             padded + Chunk("PolH", PolygonObject(kIdentity, {1, 2, 3}, {}, {})) +
                             Chunk("Cam ", std::string(9, 'c')) + End() + Chunk("PolH", "garbage after the end");
    const auto r = LoadBytes("scene.scn", file);
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->SubMeshCount(), 1);
    EXPECT_EQ(r.model->subMeshes[0].vertices, (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(r.model->subMeshes[0].bounds, (std::array<float, 6>{1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(r.model->MaterialCount(), 0);
}

TEST(Cob, OutOfRangeIndicesAreClampedAndUnknownMaterialsAreNone)
{
    const Face face{0, 7, {{0, 0}, {99, 5}, {0xFFFFFFFFLL, 1}}};
    const auto r = LoadBytes("clamp.cob", Header() + Chunk("PolH", PolygonObject(kIdentity, {0, 0, 0, 1, 0, 0, 0, 1, 0},
                                                                                 {0, 0, 1, 1}, {face})) + End());
    ASSERT_TRUE(r.model);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 2, 2}));
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{-1}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Cob, HostileHeadersAndCountsFailWithTheirCodes)
{
    const std::string body = Chunk("PolH", PolygonObject(kIdentity, {1, 2, 3}, {}, {})) + End();
    ExpectCodes("h.cob", LoadResult::AsciiCob, {Header("Caligari V00.01ALH") + body});
    std::vector<std::string> files = {
        Header("Kaligari V00.01BLH") + body,  // magic
        Header("Caligari V00.02BLH") + body,  // version (message on the standard output)
        Header("Caligari V00.01BHL") + body,  // big endian (message on the standard output)
        Header("Caligari V00.01XLH") + body,  // other format letter
        "", "Caligari V00.01BLH", Header() + End(),  // no polygon object
        // A chunk size that is negative.
        Header() + test::Bytes().Text("PolH").Le16(0).Le16(8).Le32(1).Le32(0).Le32(-40).data + End(),
    };
    // A vertex, texture-coordinate or face count at INT_MAX or negative, and a corner count beyond
    // the chunk.
    for (int which = 0; which < 4; ++which) {
        for (uint32_t count : {uint32_t{INT_MAX}, 0x80000000u, 0xFFFFFFFFu}) {
            test::Bytes b;
            b.Le16(0).Le16(0);
            for (int i = 0; i < 3 + 9; ++i) b.LeFloat(0);
            for (float m : kIdentity) b.LeFloat(m);
            b.Le32(which == 0 ? count : 0).Le32(which == 1 ? count : 0).Le32(which == 2 ? count : 1);
            if (which == 3) b.U8(0).Le16(60000).Le16(0);
            files.push_back(Header() + Chunk("PolH", b.data + std::string(64, '\0')) + End());
        }
    }
    ExpectCodes("h.cob", LoadResult::NotValidCob, files);
}

// ---- The shared corpus -----------------------------------------------------------------------

TEST(CobCorpus, DwarfIsTexturedWithTwoMaterials)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto r = Load((test::SharedDir() / "corpus/models/COB/dwarf.cob").string());
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_TRUE(test::HasCounts(*r.model, {.materials = 2, .textures = 2}));
    EXPECT_EQ(r.model->hasTextures, 1);
    EXPECT_EQ(r.model->textures[0].name, "dwarf.jpg");
    EXPECT_EQ(r.model->textures[0].mappingMode, 0);
    EXPECT_EQ(r.model->textures[1].name, "axe.jpg");
    EXPECT_TRUE(r.model->textures[0].HasPixels());
    EXPECT_EQ(r.model->materials[0].textureIndex, 0);
    EXPECT_EQ(r.model->materials[1].textureIndex, 1);
    EXPECT_FALSE(r.model->subMeshes[0].texCoords.empty());
}

}  // namespace
}  // namespace solvane
