// The LightWave reader (LWOB and LWO2): surfaces, maps, layers, hostile sizes and the corpus.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "core/load_result.h"
#include "core/reader_input.h"
#include "core/validate.h"
#include "formats/lwo.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::AllCorners;
using test::Corners;
using test::FaceList;
using test::LoadOutcome;
using namespace test::lwo;

LoadOutcome ReadLwo(const std::string& bytes) { return test::ReadBytes(ReadLwoFile, "model.lwo", bytes); }

TEST(LwoReader, LwobSurfacesTextureAndDetailPolygons)
{
    const LoadOutcome out = ReadLwo(LwobFile());
    ASSERT_TRUE(out.model) << out.code;
    const Model& model = *out.model;
    EXPECT_EQ(ValidateModel(model), "");
    ASSERT_EQ(model.SubMeshCount(), 1);
    const SubMesh& mesh = model.subMeshes[0];
    EXPECT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 0}));
    EXPECT_FLOAT_EQ(mesh.centroid[0], 0.5f);
    // The detail polygon is not a face.
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2, 3}, {0, 2, 3}, {3, 2, 1}}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{0, 1, -1}));
    EXPECT_TRUE(mesh.texCoords.empty());
    EXPECT_TRUE(mesh.faceTexCoordIndices.empty());

    ASSERT_EQ(model.MaterialCount(), 2);
    const Material& red = model.materials[0];
    EXPECT_EQ(red.name, "Red");
    EXPECT_EQ(red.color, (std::array<float, 3>{1, 0, 51.0f / 255.0f}));
    EXPECT_EQ(red.diffuse, red.color);  // DIFF 256: (256 - 1) / 255
    EXPECT_EQ(red.specular, (std::array<float, 3>{0, 0, 0}));  // SPEC 1
    EXPECT_FLOAT_EQ(red.transparency, 51.0f / 255.0f);
    const Material& blue = model.materials[1];
    EXPECT_EQ(blue.diffuse, (std::array<float, 3>{0, 0, 0.5f}));
    EXPECT_EQ(blue.specular, blue.color);  // a VSPC outside 0..1 is 1
    EXPECT_FLOAT_EQ(blue.transparency, 3.0f);  // VTRN unchanged
    EXPECT_EQ(model.hasColor + model.hasDiffuse + model.hasSpecular + model.hasTransparency, 4);

    // Both surfaces share one texture.
    ASSERT_EQ(model.TextureCount(), 1);
    EXPECT_EQ(model.textures[0].name, "images/wood.bmp");
    EXPECT_EQ(model.textures[0].mappingMode, 3);
    EXPECT_EQ(red.textureIndex, 0);
    EXPECT_EQ(blue.textureIndex, 0);
}

TEST(LwoReader, Lwo2TagsVertexMapAndBlock)
{
    const LoadOutcome out = ReadLwo(Lwo2File());
    ASSERT_TRUE(out.model) << out.code;
    const Model& model = *out.model;
    EXPECT_EQ(ValidateModel(model), "");
    ASSERT_EQ(model.SubMeshCount(), 1);
    const SubMesh& mesh = model.subMeshes[0];
    ASSERT_EQ(mesh.FaceCount(), 2);
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 2, 3}));  // a 4-byte VX
    EXPECT_EQ(mesh.faceTexCoordIndices, mesh.faceIndices);
    ASSERT_EQ(mesh.TexCoordCount(), 4);
    EXPECT_EQ(mesh.texCoords, (std::vector<float>{0, 0, 0, 0, 1, 1, 0, 1}));

    // Materials in the order their tags are first used: B, then A; "Unused" is never used.
    ASSERT_EQ(model.MaterialCount(), 2);
    EXPECT_EQ(model.materials[0].name, "B");
    EXPECT_EQ(model.materials[1].name, "A");
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{0, 1}));
    const Material& b = model.materials[0];
    EXPECT_EQ(b.color, (std::array<float, 3>{0.5f, 0.25f, 1}));
    EXPECT_EQ(b.diffuse, b.color);  // 1.5 is taken as 1
    EXPECT_EQ(b.specular, (std::array<float, 3>{0.25f, 0.125f, 0.5f}));
    EXPECT_FLOAT_EQ(model.materials[1].transparency, 0.25f);
    EXPECT_EQ(model.materials[1].color, (std::array<float, 3>{0, 0, 0}));

    ASSERT_EQ(model.TextureCount(), 1);
    const Texture& texture = model.textures[0];
    EXPECT_EQ(texture.name, "images/clip.tga");
    EXPECT_EQ(b.textureIndex, 0);
    EXPECT_EQ(model.materials[1].textureIndex, -1);
    EXPECT_EQ(texture.mappingMode, 4);  // spherical
    EXPECT_EQ(texture.planeS, (std::array<float, 4>{0, 1, 0, 0}));
    EXPECT_EQ(texture.planeT, (std::array<float, 4>{1, 0, 0, 0}));
    EXPECT_EQ(texture.planeR, (std::array<float, 4>{0, 0, 1, 0}));
}

TEST(LwoReader, Lwo2TwoLayersAndSkippedPolygonTypes)
{
    Lwo chunks;
    chunks.Chunk("TAGS", Lwo().S0("X").S0("Y"));
    for (int layer = 0; layer < 2; ++layer) {
        chunks.Chunk("LAYR", Lwo().U2(static_cast<uint32_t>(layer)).U2(0).F4(0).F4(0).F4(0).S0(""));
        chunks.Chunk("PNTS", SquarePoints(static_cast<float>(layer + 5)));
        chunks.Chunk("VMAP", Lwo().Id("TXUV").U2(2).S0("uv").VX(1).F4(0.5f).F4(static_cast<float>(layer)));
        chunks.Chunk("POLS", Lwo().Id("CURV").U2(2).VX(0).VX(1));
        chunks.Chunk("POLS", Lwo().Id("FACE").U2(3).VX(0).VX(1).VX(2));
        chunks.Chunk("PTAG", Lwo().Id("SURF").VX(0).U2(static_cast<uint32_t>(1 - layer)));
    }
    const LoadOutcome out = ReadLwo(Form("LWO2", chunks));
    ASSERT_TRUE(out.model);
    ASSERT_EQ(out.model->SubMeshCount(), 2);
    EXPECT_EQ(ValidateModel(*out.model), "");
    for (int layer = 0; layer < 2; ++layer) {
        const SubMesh& mesh = out.model->subMeshes[static_cast<size_t>(layer)];
        EXPECT_FLOAT_EQ(mesh.bounds[4], static_cast<float>(layer + 5));
        EXPECT_EQ(mesh.FaceCount(), 1);
        EXPECT_FLOAT_EQ(mesh.texCoords[3], static_cast<float>(layer));
        EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{layer}));
    }
    EXPECT_EQ(out.model->materials[0].name, "Y");
}

TEST(LwoReader, OpenPointsDecidedForTheReader)
{
    // A POLS without points of its own gives a sub-mesh without faces; corner numbers beyond the
    // points are clamped; an odd-sized chunk is followed by its pad byte.
    Lwo chunks;
    chunks.Chunk("POLS", Lwo().U2(3).U2(0).U2(1).U2(2).U2(1));
    chunks.Chunk("ICON", Lwo().U1(1).U1(2).U1(3));
    chunks.Chunk("PNTS", Points({{1, 2, 3}, {4, 5, 6}}));
    chunks.Chunk("POLS", Lwo().U2(3).U2(0).U2(1).U2(40000).U2(1));
    const LoadOutcome out = ReadLwo(Form("LWOB", chunks));
    ASSERT_TRUE(out.model);
    ASSERT_EQ(out.model->SubMeshCount(), 2);
    EXPECT_EQ(out.model->subMeshes[0].FaceCount(), 0);
    EXPECT_EQ(Corners(out.model->subMeshes[1], 0), (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_EQ(ValidateModel(*out.model), "");

    // Points only: one sub-mesh holding them.
    Lwo pointsOnly;
    pointsOnly.Chunk("PNTS", SquarePoints());
    const LoadOutcome points = ReadLwo(Form("LWO2", pointsOnly));
    ASSERT_TRUE(points.model);
    EXPECT_EQ(points.model->subMeshes[0].VertexCount(), 4);
}

TEST(LwoReader, LwobPointNumbersAboveInt16AreUnsigned)
{
    Lwo points;
    for (int i = 0; i < 40001; ++i) points.F4(static_cast<float>(i)).F4(0).F4(0);
    Lwo chunks;
    chunks.Chunk("PNTS", points);
    chunks.Chunk("POLS", Lwo().U2(3).U2(40000).U2(32768).U2(0).U2(0));
    const LoadOutcome out = ReadLwo(Form("LWOB", chunks));
    ASSERT_TRUE(out.model);
    EXPECT_EQ(Corners(out.model->subMeshes[0], 0), (std::vector<uint32_t>{40000, 32768, 0}));
    EXPECT_EQ(out.model->subMeshes[0].faceMaterials, (std::vector<int32_t>{-1}));
}

TEST(LwoReader, ReadLwoIdPositions)
{
    test::ScratchDir dir;
    const std::string path = dir.Write("ids", "LWOBSURFVMAPIKEYRGB HUE xxxxPOL");
    LoadContext ctx;
    ReaderInput in(ctx);
    ASSERT_TRUE(in.Open(path));
    // Duplicated identifiers give their first position.
    for (int expected : {0, 5, 78, 172, 83, 116, -1, -1}) EXPECT_EQ(ReadLwoId(in), expected);
}

TEST(LwoReader, HostileHeadersAndCounts)
{
    std::string wrongMagic = LwobFile();
    wrongMagic[0] = 'X';
    std::string wrongType = LwobFile();
    wrongType[11] = 'C';
    for (const std::string& bytes : {std::string(), wrongMagic, wrongType, std::string("FORM")}) {
        const LoadOutcome out = ReadLwo(bytes);
        EXPECT_FALSE(out.model);
        EXPECT_EQ(out.code, LoadResult::NotValidLwo);
    }

    // Sizes and counts far beyond the file load what the file holds, quickly.
    for (uint32_t size : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        Lwo chunks;
        chunks.Id("PNTS").U4(size).Raw(SquarePoints().Data());
        Lwo polygons;
        polygons.Id("FACE").U2(0x3FF).VX(0).VX(1);
        Lwo lwo2;
        lwo2.Chunk("PNTS", SquarePoints()).Id("POLS").U4(size).Raw(polygons.Data());
        Lwo lwob;
        lwob.Chunk("PNTS", SquarePoints()).Chunk("POLS", Lwo().U2(0xFFFF).U2(1).U2(2));
        for (const std::string& bytes : {Form("LWOB", chunks), Form("LWO2", lwo2), Form("LWOB", lwob)}) {
            std::string huge = bytes;
            huge[4] = huge[5] = huge[6] = huge[7] = '\xFF';  // FORM size too
            for (const std::string& file : {bytes, huge}) {
                const auto start = std::chrono::steady_clock::now();
                const LoadOutcome out = ReadLwo(file);
                ASSERT_TRUE(out.model);
                EXPECT_EQ(ValidateModel(*out.model), "");
                EXPECT_LE(out.model->subMeshes[0].VertexCount(), 4);
                EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
            }
        }
    }
}

// ---- Real files ----

TEST(LwoCorpus, Lwo2IsNotAmongTheMagicValues)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    // This file has no extension.
    const auto detection = test::SharedDir() / "corpus/models/LWO/LWO2/formatDetection";
    ASSERT_TRUE(std::filesystem::exists(detection));
    const LoadOutcome out = test::Load(detection.string());
    EXPECT_FALSE(out.model);
    EXPECT_EQ(out.code, LoadResult::FormatNotRecognized);
}

TEST(LwoCorpus, SurfacesOfRealFiles)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto lwo2 = test::SharedDir() / "corpus/models/LWO/LWO2";
    const LoadOutcome uv = test::Load((lwo2 / "uvtest.lwo").string());
    ASSERT_TRUE(uv.model);
    EXPECT_EQ(uv.model->subMeshes[0].TexCoordCount(), uv.model->subMeshes[0].VertexCount());

    // rifle.lwo names ../../3DS/m_rifl.bmp, found through that path.
    const auto raw = test::ReadBytes(ReadLwoFile, "rifle.lwo", test::ReadFileBytes(lwo2 / "rifle.lwo"));
    ASSERT_TRUE(raw.model);
    ASSERT_EQ(raw.model->TextureCount(), 1);
    EXPECT_EQ(raw.model->textures[0].name, "../../3DS/m_rifl.bmp");
    const LoadOutcome rifle = test::Load((lwo2 / "rifle.lwo").string());
    ASSERT_TRUE(rifle.model);
    ASSERT_EQ(rifle.model->TextureCount(), 1);
    EXPECT_TRUE(rifle.model->textures[0].HasPixels());
    EXPECT_EQ(rifle.model->hasTextures, 1);

    // box_2vc_1unused.lwo names white.bmp, which lies beside it.
    const LoadOutcome box = test::Load((lwo2 / "box_2vc_1unused.lwo").string());
    ASSERT_TRUE(box.model);
    ASSERT_EQ(box.model->TextureCount(), 1);
    EXPECT_EQ(box.model->textures[0].width, 1);
    EXPECT_EQ(box.model->hasTextures, 1);
}

}  // namespace
}  // namespace solvane
