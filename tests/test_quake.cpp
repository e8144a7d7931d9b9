// The Quake readers (MDL, MD2, MD3) and the skin search: fixtures built in code, hostile headers,
// and the shared corpus.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>

#include "core/load_result.h"
#include "core/validate.h"
#include "formats/quake.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::ExpectCodes;
using test::Load;
using test::LoadBytes;
using test::ScratchDir;
using namespace test::quake;

TEST(Mdl, SkinIsDecodedThroughThePaletteAndNamedAfterTheModel)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("ogre.mdl", MdlFile()));
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.code, 100);
    EXPECT_EQ(r.model->formatId, 6);
    ASSERT_EQ(r.model->TextureCount(), 1);
    const Texture& skin = r.model->textures[0];
    EXPECT_EQ(skin.name, "ogre_skin.pcx");
    EXPECT_EQ(skin.width, 2);
    EXPECT_EQ(skin.height, 2);
    EXPECT_EQ(skin.mappingMode, 0);
    EXPECT_EQ(skin.pixels, (std::vector<uint8_t>{0, 0, 0, 15, 15, 15, 255, 255, 255, 159, 91, 83}));
    EXPECT_EQ(r.model->hasTextures, 1);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Mdl, PaletteTableMatchesTheKnownEntries)
{
    EXPECT_EQ(QuakePalette[2], (std::array<uint8_t, 3>{31, 31, 31}));
    EXPECT_EQ(QuakePalette[15], (std::array<uint8_t, 3>{235, 235, 235}));
    EXPECT_EQ(QuakePalette[16], (std::array<uint8_t, 3>{15, 11, 7}));
    EXPECT_EQ(QuakePalette[253], (std::array<uint8_t, 3>{255, 247, 199}));
}

TEST(Mdl, LaterSkinReplacesEarlierAndAGroupGivesOneTexturePerPicture)
{
    ScratchDir dir;
    MdlOptions o;
    o.skinCount = 3;
    auto r = Load(dir.Write("a.mdl", MdlFile(o)));
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->TextureCount(), 1);
    const std::vector<uint8_t> third(r.model->textures[0].pixels.begin(), r.model->textures[0].pixels.begin() + 3);
    EXPECT_EQ(third, (std::vector<uint8_t>{QuakePalette[20][0], QuakePalette[20][1], QuakePalette[20][2]}));

    o.skinGroup = true;
    r = Load(dir.Write("b.mdl", MdlFile(o)));
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->TextureCount(), 2);
    EXPECT_EQ(r.model->textures[0].pixels[9], 159);  // index 255
    EXPECT_EQ(r.model->textures[1].pixels[9], 255);  // index 254
    EXPECT_EQ(r.model->textures[1].name, "b_skin.pcx");
}

TEST(Mdl, VerticesAreScaledAndMovedAndFrameGroupsReadTheirOwnCount)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.mdl", MdlFile()));
    ASSERT_TRUE(r.model);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.name, "stand1");
    EXPECT_EQ(mesh.vertices, (std::vector<float>{-1, 10, 2, 1, 12, 2, 3, 14, 2}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{-1, 3, 10, 14, 2, 2}));
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{1, 12, 2}));
    ASSERT_EQ(mesh.FrameCount(), 3);  // one simple frame and a group of two
    EXPECT_EQ(mesh.frames[0].name, "run1");
    EXPECT_EQ(mesh.frames[1].name, "run2");
    EXPECT_EQ(mesh.frames[1].vertices, (std::vector<float>{3, 10, 2, 5, 12, 2, 7, 14, 2}));
    EXPECT_EQ(mesh.frames[1].bounds, (std::array<float, 6>{3, 7, 10, 14, 2, 2}));
    EXPECT_TRUE(mesh.normals.empty());
    EXPECT_TRUE(mesh.faceMaterials.empty());
}

TEST(Mdl, SeamVertexOfABackFacingTriangleTakesTheShiftedCoordinate)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.mdl", MdlFile()));
    ASSERT_TRUE(r.model);
    const SubMesh& mesh = r.model->subMeshes[0];
    ASSERT_EQ(mesh.TexCoordCount(), 6);
    EXPECT_EQ(mesh.texCoords[4], 0.5f);  // vertex 2: (1, 2) / 2
    EXPECT_EQ(mesh.texCoords[5], 1.0f);
    EXPECT_EQ(mesh.texCoords[10], 1.0f);  // its copy for the back side, half a skin further
    EXPECT_EQ(mesh.texCoords[11], 1.0f);
    EXPECT_EQ(mesh.faceIndices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 2, 5, 1, 0}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Mdl, CornerIndicesOutOfRangeAreClamped)
{
    ScratchDir dir;
    for (int32_t bad : {100, -100, INT_MAX - 2}) {
        MdlOptions o;
        o.badCorner = bad;
        const auto r = Load(dir.Write("m.mdl", MdlFile(o)));
        ASSERT_TRUE(r.model) << bad;
        EXPECT_EQ(r.model->subMeshes[0].faceIndices[2], bad > 0 ? 2u : 0u) << bad;
        EXPECT_EQ(ValidateModel(*r.model), "") << bad;
    }
}

TEST(Mdl, HostileHeadersAreRefusedWithoutAllocating)
{
    std::string wrongMagic = MdlFile();
    wrongMagic[3] = 'X';
    ExpectCodes("m.mdl", LoadResult::NotValidMdl,
                {MdlFile({.vertexCount = INT_MAX}), MdlFile({.vertexCount = -3}), MdlFile({.triangleCount = INT_MAX}),
                 MdlFile({.triangleCount = INT_MIN}), MdlFile({.skinCount = INT_MAX}),
                 MdlFile({.width = INT_MAX, .height = INT_MAX}), MdlFile({.width = 0}),
                 MdlFile({.groupFrames = INT_MAX}), MdlFile({.groupFrames = -1}), wrongMagic});
}

TEST(Md2, FramesTrianglesAndPixelCoordinatesWithoutASkin)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("tris.md2", Md2File()));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.code, 2000);  // no skin anywhere: the model loads untextured
    EXPECT_EQ(r.model->formatId, 5);
    EXPECT_EQ(r.model->TextureCount(), 0);
    EXPECT_EQ(r.model->hasTextures, 0);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.name, "stand01");
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0.5f, 0, -1, 1.5f, 2, 2, 2.5f, 0, 11}));
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0.5f, 2.5f, 0, 2, -1, 11}));
    ASSERT_EQ(mesh.FrameCount(), 2);
    EXPECT_EQ(mesh.frames[0].name, "stand02");
    EXPECT_EQ(mesh.frames[0].vertices, (std::vector<float>{5, 6, 7, 8, 9, 10, 0, 0, 1}));
    EXPECT_EQ(mesh.frames[0].bounds, (std::array<float, 6>{0, 8, 0, 9, 1, 10}));
    EXPECT_EQ(mesh.texCoords, (std::vector<float>{0, 0, 64, 0, 64, 32, -2, 16}));
    EXPECT_EQ(mesh.faceIndices, (std::vector<uint32_t>{0, 1, 2, 2, 1, 0}));
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 2, 3, 2, 1}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Md2, PcxSkinBesideTheModelIsFoundAndCoordinatesBecomeFractions)
{
    ScratchDir dir;
    Md2Options o;
    o.skin = "models/monsters/tank/skin.pcx";
    const std::string model = dir.Write("q2/tank/tris.md2", Md2File(o));
    const std::string skin = dir.Write("q2/tank/skin.pcx", test::PcxFile(4, 2, {0, 1, 2, 3, 4, 5, 6, 7}));
    const auto r = Load(model);
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.code, 100);
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->hasTextures, 1);
    const Texture& texture = r.model->textures[0];
    EXPECT_EQ(texture.name, skin);
    EXPECT_EQ(texture.width, 4);
    EXPECT_EQ(texture.height, 2);
    ASSERT_EQ(texture.pixels.size(), 24u);
    EXPECT_EQ(texture.pixels[15], 5);  // pixel 5: index 5 through the file's palette
    EXPECT_EQ(texture.pixels[17], 15);
    EXPECT_EQ(r.model->subMeshes[0].texCoords, (std::vector<float>{0, 0, 16, 0, 16, 16, -0.5f, 8}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Md2, WithoutASkinNameTheFolderNamedSkinIsFound)
{
    ScratchDir dir;
    const std::string model = dir.Write("q2/tank/tris.md2", Md2File());
    const std::string skin = dir.Write("q2/tank/tank.pcx", test::PcxFile(2, 2, {0, 1, 2, 3}));
    const auto r = Load(model);
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->textures[0].name, skin);
}

TEST(Md2, SkinNameIsMatchedWithoutRegardToCase)
{
    ScratchDir dir;
    Md2Options o;
    o.skin = "Skin.PCX";
    const std::string model = dir.Write("q2/tris.md2", Md2File(o));
    const std::string skin = dir.Write("q2/skin.pcx", test::PcxFile(2, 2, {0, 1, 2, 3}));
    const auto r = Load(model);
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->textures[0].name, skin);
}

TEST(QuakeSkin, CandidatesInTheirOrder)
{
    const std::string model = "C:\\q2\\tank\\tris.md2";
    EXPECT_EQ(QuakeSkinCandidates("models/monsters/tank/skin.pcx", model, ".pcx", false),
              (std::vector<std::string>{"models/monsters/tank/skin.pcx", "skin.pcx", "tris.pcx",
                                        "C:\\q2\\tank\\skin.pcx", "C:\\q2\\tank\\tris.pcx", "tank.pcx",
                                        "C:\\q2\\tank\\tank.pcx"}));
    EXPECT_EQ(QuakeSkinCandidates("frames/dolphin_f.bmp", "/m/dolphin.md2", ".pcx", false),
              (std::vector<std::string>{"frames/dolphin_f.bmp", "dolphin_f.bmp.pcx", "dolphin.pcx",
                                        "/m/dolphin_f.bmp.pcx", "/m/dolphin.pcx", "m.pcx", "/m/m.pcx"}));
    EXPECT_EQ(QuakeSkinCandidates("", model, ".pcx", false),
              (std::vector<std::string>{"tank.pcx", "C:\\q2\\tank\\tank.pcx"}));
    EXPECT_EQ(QuakeSkinCandidates("", "/q3/car/car.md3", ".tga", true),
              (std::vector<std::string>{"car.tga", "/q3/car/car.tga"}));
    EXPECT_EQ(QuakeSkinCandidates("", "/q3/box/car.md3", ".tga", true),
              (std::vector<std::string>{"box.tga", "/q3/box/box.tga", "car.tga", "/q3/box/car.tga"}));
}

TEST(Md2, CornerIndicesOutOfRangeAreClampedAndNoVerticesIsRefused)
{
    ScratchDir dir;
    Md2Options o;
    o.badCorner = 60000;
    auto r = Load(dir.Write("m.md2", Md2File(o)));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->subMeshes[0].faceIndices[5], 2u);
    EXPECT_EQ(ValidateModel(*r.model), "");

    o.vertexCount = 0;
    r = Load(dir.Write("m.md2", Md2File(o)));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(r.code, 1200);
}

TEST(Md2, HostileHeadersAreRefused)
{
    std::string wrongMagic = Md2File();
    wrongMagic[0] = 'J';
    ExpectCodes("m.md2", LoadResult::NotValidMd2,
                {Md2File({.vertexCount = INT_MAX}), Md2File({.vertexCount = INT_MIN}),
                 Md2File({.texCoordCount = INT_MAX}), Md2File({.frameCount = INT_MAX}), Md2File({.frameCount = 0}),
                 Md2File({.frameOffsetShift = 1 << 20}),         // frames past the end
                 Md2File({.frameOffsetShift = INT_MIN + 1000}),  // frames before the start
                 wrongMagic});
}

TEST(Md3, ThreeSurfacesGiveThreeSubMeshesWithKeyFrames)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.md3", Md3File()));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.code, 2100);  // no skin.tga anywhere
    EXPECT_EQ(r.model->formatId, 18);
    ASSERT_EQ(r.model->SubMeshCount(), 3);
    for (const SubMesh& mesh : r.model->subMeshes) {
        EXPECT_EQ(mesh.name, "Frame 1");
        ASSERT_EQ(mesh.FrameCount(), 2);
        EXPECT_EQ(mesh.frames[0].name, "Frame 2");
        EXPECT_EQ(mesh.faceTexCoordIndices, mesh.faceIndices);
    }
    const SubMesh& first = r.model->subMeshes[0];
    EXPECT_EQ(first.vertices[0], 1.0f);  // (64, -128, 32) / 64
    EXPECT_EQ(first.vertices[1], -2.0f);
    EXPECT_EQ(first.vertices[2], 0.5f);
    EXPECT_EQ(first.frames[0].vertices[0], 2.0f);
    EXPECT_EQ(first.frames[0].vertices[2], -1.0f);
    EXPECT_EQ(first.frames[0].bounds, (std::array<float, 6>{2, 2.03125f, 0, 0, -1, -1}));
    EXPECT_EQ(first.texCoords[2], 0.25f);
    EXPECT_EQ(first.texCoords[3], 0.25f);  // 1 - 0.75
    EXPECT_EQ(r.model->subMeshes[2].FaceCount(), 2);
    EXPECT_EQ(r.model->TextureCount(), 0);
    EXPECT_EQ(r.model->hasTextures, 0);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Md3, FirstShaderFindsItsTgaSkinBesideTheModel)
{
    ScratchDir dir;
    const std::string model = dir.Write("car/m.md3", Md3File());
    const std::string skin = dir.Write("car/skin.tga", test::TgaFile(2, 2, 10, 20, 30));
    const auto r = Load(model);
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.code, 100);
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->hasTextures, 1);
    EXPECT_EQ(r.model->textures[0].name, skin);
    EXPECT_EQ(r.model->textures[0].pixels, (std::vector<uint8_t>{10, 20, 30, 10, 20, 30, 10, 20, 30, 10, 20, 30}));
}

// Names without a folder are opened relative to the working directory, so a model inside a
// Quake 3 tree finds its root-relative shader path when run from the root.
TEST(Md3, RootRelativeShaderResolvesFromTheWorkingDirectory)
{
    ScratchDir dir;
    const std::string model = dir.Write("q3root/models/x/deep/m.md3", Md3File());
    dir.Write("q3root/models/x/skin.tga", test::TgaFile(1, 1, 1, 2, 3));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path() / "q3root");
    const auto r = Load(model);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->TextureCount(), 1);
    EXPECT_EQ(r.model->textures[0].name, "models/x/skin.tga");
}

TEST(Md3, SurfacesFollowTheHeaderOffsetWhenTheyDoNotFollowTheTags)
{
    ScratchDir dir;
    Md3Options o;
    o.padding = 12;
    auto r = Load(dir.Write("m.md3", Md3File(o)));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->SubMeshCount(), 3);
    EXPECT_EQ(r.model->subMeshes[0].vertices[0], 1.0f);

    o.pointAtSurfaces = false;
    r = Load(dir.Write("m.md3", Md3File(o)));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(r.code, 1300);
}

TEST(Md3, HostileHeadersAreRefused)
{
    std::string wrongMagic = Md3File();
    wrongMagic[2] = 'Q';
    ExpectCodes("m.md3", LoadResult::NotValidMd3,
                {Md3File({.surfaceCount = INT_MAX}), Md3File({.surfaceCount = 0}), Md3File({.vertexCount = INT_MAX}),
                 Md3File({.vertexCount = -1}), Md3File({.frameCount = INT_MAX}), Md3File({.frameCount = 0}),
                 Md3File({.surfaceCount = 8, .repeatFirstSurface = true}),  // one surface read over and over
                 wrongMagic});
}

// ---------------------------------------------------------------------------------------------
// Corpus

void ExpectFramesConsistent(const Model& model, const std::string& file)
{
    for (const SubMesh& mesh : model.subMeshes) {
        for (const AnimationFrame& frame : mesh.frames) {
            BoundsBuilder bounds;
            for (size_t i = 0; i < frame.vertices.size(); i += 3)
                bounds.Extend(frame.vertices[i], frame.vertices[i + 1], frame.vertices[i + 2]);
            ASSERT_EQ(frame.bounds, bounds.bounds) << file << " " << frame.name;
            ASSERT_EQ(frame.vertices.size(), mesh.vertices.size()) << file;
        }
    }
}

TEST(QuakeCorpus, MdlModelsLoadWithTheirFramesAndSkins)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/MDL/IDPO", {".mdl"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const auto r = Load(file.string());
        ASSERT_TRUE(r.model) << file << " " << r.code;
        EXPECT_EQ(ValidateModel(*r.model), "") << file;
        ExpectFramesConsistent(*r.model, file.string());
        EXPECT_EQ(r.model->TextureCount(), 1) << file;
        if (file.filename() == "gijoe.mdl") {
            EXPECT_EQ(r.model->subMeshes[0].FrameCount(), 143);
            EXPECT_EQ(r.model->textures[0].width, 296);
            EXPECT_EQ(r.model->textures[0].height, 194);
            EXPECT_EQ(r.model->textures[0].name, "gijoe_skin.pcx");
        }
    }
}

TEST(QuakeCorpus, Md2ModelsLoadUntexturedBecauseTheirSkinsAreBmp)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/MD2", {".md2"}, false);
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const auto r = Load(file.string());
        ASSERT_TRUE(r.model) << file;
        EXPECT_EQ(r.code, 2000) << file;
        EXPECT_EQ(r.model->TextureCount(), 0) << file;
        EXPECT_EQ(ValidateModel(*r.model), "") << file;
        ExpectFramesConsistent(*r.model, file.string());
        if (file.filename() == "faerie.md2") {
            EXPECT_EQ(r.model->subMeshes[0].FrameCount(), 198);
            EXPECT_EQ(r.model->subMeshes[0].name, "stand01");
        }
    }
}

TEST(QuakeCorpus, Md3ModelsLoadAndFindTheirTgaSkins)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/MD3", {".md3"});
    ASSERT_FALSE(files.empty());
    const auto root = test::SharedDir() / "corpus/models/MD3/q3root";
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(root);
    for (const auto& file : files) {
        const auto r = Load(file.string());
        ASSERT_TRUE(r.model) << file;
        EXPECT_EQ(ValidateModel(*r.model), "") << file;
        ExpectFramesConsistent(*r.model, file.string());
        if (file.filename() == "watercan.md3") {
            EXPECT_EQ(r.code, 100);
            ASSERT_EQ(r.model->TextureCount(), 1);
            EXPECT_EQ(std::filesystem::path(r.model->textures[0].name), file.parent_path() / "water_can.tga");
            EXPECT_EQ(r.model->textures[0].width, 256);
            EXPECT_EQ(r.model->textures[0].height, 128);
        }
        if (file.filename() == "european_fnt_v2.md3") {
            EXPECT_EQ(r.model->SubMeshCount(), 5);
            // Its first shader, textures/sfx/glass.tga.tga, is not in the tree.
            EXPECT_EQ(r.code, 2100);
            EXPECT_EQ(r.model->TextureCount(), 0);
        }
    }
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace solvane
