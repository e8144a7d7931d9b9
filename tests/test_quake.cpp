#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>

#include "core/validate.h"
#include "formats/quake.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Load;
using test::ScratchDir;

// Little-endian file builder.
struct Bytes {
    std::string data;
    Bytes& I32(int32_t v)
    {
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
        return *this;
    }
    Bytes& U16(uint16_t v)
    {
        data.push_back(static_cast<char>(v & 0xFF));
        data.push_back(static_cast<char>(v >> 8));
        return *this;
    }
    Bytes& F32(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return I32(static_cast<int32_t>(bits));
    }
    Bytes& U8(uint8_t v)
    {
        data.push_back(static_cast<char>(v));
        return *this;
    }
    Bytes& Text(const std::string& text, size_t field)
    {
        std::string padded = text;
        padded.resize(field, '\0');
        data += padded;
        return *this;
    }
    int32_t Size() const { return static_cast<int32_t>(data.size()); }
    void PutI32(size_t at, int32_t v)
    {
        for (int i = 0; i < 4; ++i) data[at + i] = static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF);
    }
};

// A PCX of the given indices (top row first) whose palette maps index i to (i, 2i, 3i).
std::string PcxFile(int width, int height, const std::vector<uint8_t>& indices)
{
    Bytes b;
    b.U8(10).U8(5).U8(1).U8(8).U16(0).U16(0).U16(static_cast<uint16_t>(width - 1)).U16(static_cast<uint16_t>(height - 1));
    b.U16(72).U16(72).Text("", 48).U8(0).U8(1).U16(static_cast<uint16_t>(width)).U16(1).Text("", 58);
    for (uint8_t index : indices) b.U8(0xC1).U8(index);  // runs of one
    b.U8(12);
    for (int i = 0; i < 256; ++i) b.U8(static_cast<uint8_t>(i)).U8(static_cast<uint8_t>(2 * i)).U8(static_cast<uint8_t>(3 * i));
    return b.data;
}

// An uncompressed 24-bit TGA of one colour.
std::string TgaFile(int width, int height, uint8_t r, uint8_t g, uint8_t bl)
{
    Bytes b;
    b.U8(0).U8(0).U8(2).Text("", 5).U16(0).U16(0).U16(static_cast<uint16_t>(width)).U16(static_cast<uint16_t>(height)).U8(24).U8(0);
    for (int i = 0; i < width * height; ++i) b.U8(bl).U8(g).U8(r);
    return b.data;
}

// ---------------------------------------------------------------------------------------------
// MDL fixture: 3 vertices (vertex 2 on the seam), skins, 2 triangles (the second facing away),
// then one simple frame and one group of two frames.
struct MdlOptions {
    int32_t skinCount = 1;
    int32_t width = 2, height = 2;
    int32_t vertexCount = 3;
    int32_t triangleCount = 2;
    int32_t groupFrames = 2;
    int32_t badCorner = 0;  // added to the last corner of the first triangle
    bool skinGroup = false;
};

std::string MdlFile(const MdlOptions& o = {})
{
    Bytes b;
    b.Text("IDPO", 4).I32(6);
    b.F32(2).F32(1).F32(0.5f);   // scale
    b.F32(-1).F32(10).F32(0);    // translate
    b.F32(5).F32(0).F32(0).F32(0);
    b.I32(o.skinCount).I32(o.width).I32(o.height).I32(o.vertexCount).I32(o.triangleCount).I32(2).I32(0).I32(0).F32(1);
    for (int s = 0; s < std::min(o.skinCount, 3); ++s) {  // a hostile count is not backed by pictures
        const uint8_t first = static_cast<uint8_t>(s * 10);
        if (o.skinGroup) {
            b.I32(1).I32(2).F32(0.1f).F32(0.2f);
            for (int k = 0; k < 2; ++k) b.U8(first).U8(1).U8(254).U8(static_cast<uint8_t>(255 - k));
        } else {
            b.I32(0).U8(first).U8(1).U8(254).U8(255);
        }
    }
    b.I32(0).I32(0).I32(0);
    b.I32(0).I32(2).I32(0);
    b.I32(32).I32(1).I32(2);
    b.I32(1).I32(0).I32(1).I32(2 + o.badCorner);
    b.I32(0).I32(2).I32(1).I32(0);
    auto frame = [&](const char* name, uint8_t shift) {
        b.U8(0).U8(0).U8(0).U8(0).U8(9).U8(9).U8(9).U8(0).Text(name, 16);
        for (int v = 0; v < 3; ++v) b.U8(static_cast<uint8_t>(v + shift)).U8(static_cast<uint8_t>(2 * v)).U8(4).U8(0);
    };
    b.I32(0);
    frame("stand1", 0);
    b.I32(1).I32(o.groupFrames).I32(0).I32(0).F32(0.1f).F32(0.2f);
    frame("run1", 1);
    frame("run2", 2);
    return b.data;
}

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
    ScratchDir dir;
    std::vector<std::pair<const char*, MdlOptions>> cases;
    auto add = [&](const char* what, auto change) {
        MdlOptions o;
        change(o);
        cases.emplace_back(what, o);
    };
    add("vertices INT_MAX", [](MdlOptions& o) { o.vertexCount = INT_MAX; });
    add("vertices negative", [](MdlOptions& o) { o.vertexCount = -3; });
    add("triangles INT_MAX", [](MdlOptions& o) { o.triangleCount = INT_MAX; });
    add("triangles INT_MIN", [](MdlOptions& o) { o.triangleCount = INT_MIN; });
    add("skins INT_MAX", [](MdlOptions& o) { o.skinCount = INT_MAX; });
    add("skin side INT_MAX", [](MdlOptions& o) { o.width = o.height = INT_MAX; });
    add("skin width 0", [](MdlOptions& o) { o.width = 0; });
    add("group frames INT_MAX", [](MdlOptions& o) { o.groupFrames = INT_MAX; });
    add("group frames negative", [](MdlOptions& o) { o.groupFrames = -1; });
    const auto start = std::chrono::steady_clock::now();
    for (const auto& [what, o] : cases) {
        const auto r = Load(dir.Write("m.mdl", MdlFile(o)));
        EXPECT_FALSE(r.model) << what;
        EXPECT_EQ(r.code, 1100) << what;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    std::string wrong = MdlFile();
    wrong[3] = 'X';
    const auto r = Load(dir.Write("m.mdl", wrong));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(r.code, 1100);
}

// Every cut of a valid file fails with the reader's code or loads a valid model.
void TruncationSweep(const std::string& file, const char* name, int32_t code)
{
    ScratchDir dir;
    for (size_t length = 0; length < file.size(); ++length) {
        const auto r = Load(dir.Write(name, file.substr(0, length)));
        if (r.model) {
            EXPECT_EQ(ValidateModel(*r.model), "") << length;
        } else {
            EXPECT_EQ(r.code, code) << length;
        }
    }
}

TEST(Mdl, TruncationSweep)
{
    MdlOptions o;
    o.skinCount = 2;
    o.skinGroup = true;
    TruncationSweep(MdlFile(o), "m.mdl", 1100);
}

// ---------------------------------------------------------------------------------------------
// MD2 fixture: 3 vertices, 4 texture coordinates, 2 triangles, 2 frames, optional skin name.
struct Md2Options {
    std::string skin;
    int32_t vertexCount = 3;
    int32_t texCoordCount = 4;
    int32_t frameCount = 2;
    int32_t frameOffsetShift = 0;
    uint16_t badCorner = 0;
};

std::string Md2File(const Md2Options& o = {})
{
    const int32_t skins = o.skin.empty() ? 0 : 1;
    const int32_t skinOffset = 68, stOffset = skinOffset + 64 * skins, triOffset = stOffset + 16,
                  frameOffset = triOffset + 24;
    Bytes b;
    b.Text("IDP2", 4).I32(8).I32(4).I32(2).I32(52).I32(skins).I32(o.vertexCount).I32(o.texCoordCount).I32(2);
    b.I32(0).I32(o.frameCount).I32(skinOffset).I32(stOffset).I32(triOffset).I32(frameOffset + o.frameOffsetShift);
    b.I32(0).I32(frameOffset + 104);
    if (skins) b.Text(o.skin, 64);
    b.U16(0).U16(0).U16(64).U16(0).U16(64).U16(32).U16(static_cast<uint16_t>(-2)).U16(16);
    b.U16(0).U16(1).U16(2).U16(0).U16(1).U16(2);
    b.U16(2).U16(1).U16(static_cast<uint16_t>(o.badCorner)).U16(3).U16(2).U16(1);
    b.F32(1).F32(2).F32(3).F32(0.5f).F32(0).F32(-1).Text("stand01", 16);
    b.U8(0).U8(0).U8(0).U8(7).U8(1).U8(1).U8(1).U8(7).U8(2).U8(0).U8(4).U8(7);
    b.F32(1).F32(1).F32(1).F32(0).F32(0).F32(0).Text("stand02", 16);
    b.U8(5).U8(6).U8(7).U8(0).U8(8).U8(9).U8(10).U8(0).U8(0).U8(0).U8(1).U8(0);
    return b.data;
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
    const std::string skin = dir.Write("q2/tank/skin.pcx", PcxFile(4, 2, {0, 1, 2, 3, 4, 5, 6, 7}));
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
    const std::string skin = dir.Write("q2/tank/tank.pcx", PcxFile(2, 2, {0, 1, 2, 3}));
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
    const std::string skin = dir.Write("q2/skin.pcx", PcxFile(2, 2, {0, 1, 2, 3}));
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
    ScratchDir dir;
    std::vector<std::pair<const char*, Md2Options>> cases;
    auto add = [&](const char* what, auto change) {
        Md2Options o;
        change(o);
        cases.emplace_back(what, o);
    };
    add("vertices INT_MAX", [](Md2Options& o) { o.vertexCount = INT_MAX; });
    add("vertices INT_MIN", [](Md2Options& o) { o.vertexCount = INT_MIN; });
    add("texcoords INT_MAX", [](Md2Options& o) { o.texCoordCount = INT_MAX; });
    add("frames INT_MAX", [](Md2Options& o) { o.frameCount = INT_MAX; });
    add("frames 0", [](Md2Options& o) { o.frameCount = 0; });
    add("frames past the end", [](Md2Options& o) { o.frameOffsetShift = 1 << 20; });
    add("frames before the start", [](Md2Options& o) { o.frameOffsetShift = INT_MIN + 1000; });
    for (const auto& [what, o] : cases) {
        const auto r = Load(dir.Write("m.md2", Md2File(o)));
        EXPECT_FALSE(r.model) << what;
        EXPECT_EQ(r.code, 1200) << what;
    }
    std::string wrong = Md2File();
    wrong[0] = 'J';
    const auto r = Load(dir.Write("m.md2", wrong));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(r.code, 1200);
}

TEST(Md2, TruncationSweep)
{
    Md2Options o;
    o.skin = "skin.pcx";
    TruncationSweep(Md2File(o), "m.md2", 1200);
}

// ---------------------------------------------------------------------------------------------
// MD3 fixture: 2 frames with 1 tag each, then three surfaces: (3 vertices, 1 triangle, shader
// "models/x/skin.tga"), (3 vertices, 1 triangle, no shader), (4 vertices, 2 triangles, 2 shaders).
struct Md3Options {
    int32_t surfaceCount = 3;
    int32_t vertexCount = 3;   // of the first surface
    int32_t frameCount = 2;    // of the first surface
    int32_t padding = 0;       // bytes between the tags and the surfaces
    bool pointAtSurfaces = true;
    bool repeatFirstSurface = false;  // every surface after the first starts where the first does
};

std::string Md3Surface(int32_t frames, int32_t vertices, int32_t declaredVertices, int32_t declaredFrames,
                       const std::vector<std::string>& shaders, int32_t endOverride = 0)
{
    const int32_t triangles = vertices - 2;
    const int32_t triOffset = 108, shaderOffset = triOffset + 12 * triangles;
    const int32_t stOffset = shaderOffset + 68 * static_cast<int32_t>(shaders.size());
    const int32_t xyzOffset = stOffset + 8 * vertices, end = xyzOffset + 8 * vertices * frames;
    Bytes b;
    b.Text("IDP3", 4).Text("surface", 64).I32(0).I32(declaredFrames).I32(static_cast<int32_t>(shaders.size()));
    b.I32(declaredVertices).I32(triangles).I32(triOffset).I32(shaderOffset).I32(stOffset).I32(xyzOffset);
    b.I32(endOverride ? endOverride : end);
    for (int32_t t = 0; t < triangles; ++t) b.I32(0).I32(t + 1).I32(t + 2);
    for (const std::string& shader : shaders) b.Text(shader, 64).I32(0);
    for (int32_t v = 0; v < vertices; ++v) b.F32(0.25f * v).F32(0.75f);
    for (int32_t f = 0; f < frames; ++f) {
        for (int32_t v = 0; v < vertices; ++v) {
            const int16_t x = static_cast<int16_t>(64 * (f + 1) + v), y = static_cast<int16_t>(f == 0 ? -128 : 0);
            b.U16(static_cast<uint16_t>(x)).U16(static_cast<uint16_t>(y)).U16(static_cast<uint16_t>(32 - 96 * f)).U16(0);
        }
    }
    return b.data;
}

std::string Md3File(const Md3Options& o = {})
{
    const int32_t frames = 2, tags = 1;
    const int32_t surfaceStart = 108 + 56 * frames + 112 * frames * tags + o.padding;
    Bytes b;
    b.Text("IDP3", 4).I32(15).Text("models/x/model.md3", 64).I32(0);
    b.I32(frames).I32(tags).I32(o.surfaceCount).I32(0);
    b.I32(108).I32(108 + 56 * frames).I32(o.pointAtSurfaces ? surfaceStart : 0).I32(0);
    for (int i = 0; i < 56 * frames + 112 * frames * tags; ++i) b.U8(0);
    b.Text("", static_cast<size_t>(o.padding));
    if (o.repeatFirstSurface) {
        b.data += Md3Surface(2, 3, 3, 2, {"a.tga"}, -1);
        return b.data;
    }
    b.data += Md3Surface(2, 3, o.vertexCount, o.frameCount, {"models/x/skin.tga"});
    b.data += Md3Surface(2, 3, 3, 2, {});
    b.data += Md3Surface(2, 4, 4, 2, {"b.tga", "c.tga"});
    return b.data;
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
    const std::string skin = dir.Write("car/skin.tga", TgaFile(2, 2, 10, 20, 30));
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
    dir.Write("q3root/models/x/skin.tga", TgaFile(1, 1, 1, 2, 3));
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
    ScratchDir dir;
    std::vector<std::pair<const char*, Md3Options>> cases;
    auto add = [&](const char* what, auto change) {
        Md3Options o;
        change(o);
        cases.emplace_back(what, o);
    };
    add("surfaces INT_MAX", [](Md3Options& o) { o.surfaceCount = INT_MAX; });
    add("surfaces 0", [](Md3Options& o) { o.surfaceCount = 0; });
    add("vertices INT_MAX", [](Md3Options& o) { o.vertexCount = INT_MAX; });
    add("vertices negative", [](Md3Options& o) { o.vertexCount = -1; });
    add("frames INT_MAX", [](Md3Options& o) { o.frameCount = INT_MAX; });
    add("frames 0", [](Md3Options& o) { o.frameCount = 0; });
    add("one surface read over and over", [](Md3Options& o) {
        o.repeatFirstSurface = true;
        o.surfaceCount = 8;
    });
    for (const auto& [what, o] : cases) {
        const auto r = Load(dir.Write("m.md3", Md3File(o)));
        EXPECT_FALSE(r.model) << what;
        EXPECT_EQ(r.code, 1300) << what;
    }
    std::string wrong = Md3File();
    wrong[2] = 'Q';
    const auto r = Load(dir.Write("m.md3", wrong));
    EXPECT_FALSE(r.model);
    EXPECT_EQ(r.code, 1300);
}

TEST(Md3, TruncationSweep)
{
    TruncationSweep(Md3File(), "m.md3", 1300);
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

TEST(QuakeCorpus, OtherEnginesMdlFilesAreRefused)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/MDL/negative", {".mdl"});
    ASSERT_EQ(files.size(), 2u);
    for (const auto& file : files) {
        const auto r = Load(file.string());
        EXPECT_FALSE(r.model) << file;
        EXPECT_EQ(r.code, 1100) << file;
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

TEST(QuakeCorpus, Md2WithTrianglesButNoVerticesFailsCleanly)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/MD2/invalid", {".md2"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const auto r = Load(file.string());
        EXPECT_FALSE(r.model) << file;
        EXPECT_EQ(r.code, 1200) << file;
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
