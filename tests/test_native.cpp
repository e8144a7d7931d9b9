// The native object and scene files: files written by hand in versions "20", "21" and "30" (so the
// reader is checked against the layout, not against our writer), hostile variants with their exact
// result codes, and the scene part.
#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "formats/native.h"
#include "load/load_job.h"
#include "load/save.h"
#include "tests/test_support.h"

namespace solvane::test {
namespace {

// Little-endian bytes of a file under construction, with the positions of the fields the hostile
// cases patch.
struct Bytes {
    std::string data;
    void Raw(std::string_view text) { data.append(text); }
    void Byte(char c) { data.push_back(c); }
    void I16(int16_t v)
    {
        for (int i = 0; i < 2; ++i) data.push_back(static_cast<char>((static_cast<uint16_t>(v) >> (8 * i)) & 0xFF));
    }
    void I32(int32_t v)
    {
        for (int i = 0; i < 4; ++i) data.push_back(static_cast<char>((static_cast<uint32_t>(v) >> (8 * i)) & 0xFF));
    }
    void F(float v)
    {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        I32(static_cast<int32_t>(bits));
    }
    void Str(std::string_view text)
    {
        data.append(text);
        data.push_back('\0');
    }
    size_t Here() const { return data.size(); }
};

void Patch32(std::string& data, size_t at, int32_t value)
{
    for (int i = 0; i < 4; ++i) data[at + static_cast<size_t>(i)] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
}

// Where the fields of the hand-made file are.
struct Layout {
    size_t subMeshCount, materialCount, textureCount, meshMarker;
    size_t vertexCount, faceCount, cornerCounts, corners, faceMaterials, normalCount, texCoordCount, texIndices;
    size_t secondSubMesh;
    size_t materialMarker, firstTextureIndex, textureMarker, textureWidth;
    size_t objectEnd;  // the object data ends here (a scene part may follow)
};

// A model of two sub-meshes written by hand: a triangle and a quad with normals and texture
// coordinates, then an empty sub-mesh; two materials; one 2 x 1 texture.
std::string HandMadeFile(std::string_view version, Layout* layout = nullptr, int32_t textureCount = 1)
{
    const bool older = version != "30";
    Layout at{};
    Bytes b;
    b.Raw("Solvaneo");
    b.Raw(version);
    at.subMeshCount = b.Here();
    b.I32(2);
    at.materialCount = b.Here();
    b.I32(2);
    at.textureCount = b.Here();
    b.I32(textureCount);
    if (older) {
        for (int i = 0; i < 3; ++i) b.I32(0x5A5A5A5A);
    }
    at.meshMarker = b.Here();
    b.Byte('m');
    if (older) b.I32(0x5A5A5A5A);

    // Sub-mesh 1.
    at.vertexCount = b.Here();
    b.I32(4);
    for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 1.f, 1.f, 0.f, 0.f, 1.f, 0.5f}) b.F(v);
    at.faceCount = b.Here();
    b.I32(2);
    at.cornerCounts = b.Here();
    b.I16(3);
    b.I16(4);
    at.corners = b.Here();
    for (int32_t i : {0, 1, 2, 0, 1, 2, 3}) b.I32(i);
    at.faceMaterials = b.Here();
    b.I32(1);
    b.I32(-1);
    at.normalCount = b.Here();
    b.I32(4);
    for (int i = 0; i < 4; ++i) {
        b.F(0);
        b.F(0);
        b.F(1);
    }
    at.texCoordCount = b.Here();
    b.I32(4);
    if (textureCount > 0) {
        for (float v : {0.f, 0.f, 1.f, 0.f, 1.f, 1.f, 0.f, 1.f}) b.F(v);
        at.texIndices = b.Here();
        for (int32_t i : {0, 1, 2, 3, 2, 1, 0}) b.I32(i);
    }
    for (float v : {0.5f, 0.5f, 0.125f}) b.F(v);                 // centroid
    for (float v : {7.f, 7.f, 7.f, 7.f, 7.f, 7.f}) b.F(v);       // bounds as stored (recomputed on reading)
    // Sub-mesh 2: empty.
    at.secondSubMesh = b.Here();
    b.I32(0);
    b.I32(0);
    b.I32(0);
    b.I32(0);
    for (int i = 0; i < 3; ++i) b.F(0);
    for (int i = 0; i < 6; ++i) b.F(-1);

    at.materialMarker = b.Here();
    b.Byte('c');
    if (older) b.I32(0x5A5A5A5A);
    const char* names[2] = {"red", "blue"};
    for (int m = 0; m < 2; ++m) {
        b.Str(names[m]);
        for (float v : {m == 0 ? 1.f : 0.f, 0.f, m == 0 ? 0.f : 1.f}) b.F(v);  // colour
        for (float v : {0.5f, 0.5f, 0.5f}) b.F(v);                           // diffuse
        for (float v : {0.25f, 0.25f, 0.25f}) b.F(v);                        // specular
        b.F(m * 0.5f);                                                       // transparency
        if (!older) {
            if (m == 0) at.firstTextureIndex = b.Here();
            b.I32(m == 0 && textureCount > 0 ? 0 : -1);
        }
    }
    if (textureCount > 0) {
        at.textureMarker = b.Here();
        b.Byte('t');
        if (older) b.I32(0x5A5A5A5A);
        b.Str("wood.bmp");
        at.textureWidth = b.Here();
        b.I32(2);
        b.I32(1);
        b.Raw(std::string("\x10\x20\x30\x40\x50\x60", 6));
    }
    at.objectEnd = b.Here();
    if (layout) *layout = at;
    return b.data;
}

// The scene part, by hand: every value distinct.
std::string HandMadeScene(std::string_view version, bool withImage)
{
    Bytes b;
    b.Byte('s');
    if (version != "30") b.I32(0x5A5A5A5A);
    for (float v : {0.1f, 0.2f, -3.5f}) b.F(v);        // view offset
    for (int i = 0; i < 16; ++i) b.F(i * 0.0625f);      // rotation
    for (float v : {0.f, 1.f, 0.f}) b.F(v);             // step axis
    b.F(2.5f);                                          // step angle
    for (float v : {10.f, 20.f, 30.f, 0.5f, 0.25f, -0.125f}) b.F(v);  // pitch yaw roll, fly offset
    for (float v : {0.9f, 0.8f, 0.7f}) b.F(v);          // foreground
    for (float v : {0.1f, 0.2f, 0.3f}) b.F(v);          // background
    b.Byte(1);                                          // wash on
    for (float v : {0.6f, 0.0f, 0.4f}) b.F(v);          // eye-filter colour
    b.F(0.75f);                                         // amount
    for (float v : {0.3f, 0.6f, 0.9f}) b.F(v);          // light colour
    b.I32(withImage ? 2 : 0);
    b.I32(withImage ? 2 : 0);
    if (withImage) {
        b.Str("sky.bmp");
        for (int i = 0; i < 12; ++i) b.Byte(static_cast<char>(i * 20));
    }
    b.F(0.35f);  // depth cue
    if (version == "30") {
        for (float v : {0.4f, 0.5f, 0.6f}) b.F(v);  // view triple: the depth-cue colour
        b.F(2.2f);                                  // gamma
    }
    return b.data;
}

LoadOutcome LoadBytes(ScratchDir& dir, const std::string& name, const std::string& bytes)
{
    return Load(dir.Write(name, bytes));
}

void ExpectHandMadeModel(const Model& model, bool version30)
{
    ASSERT_EQ(model.SubMeshCount(), 2);
    const SubMesh& mesh = model.subMeshes[0];
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5f}));
    EXPECT_EQ(mesh.faceOffsets, (std::vector<uint32_t>{0, 3, 7}));
    EXPECT_EQ(mesh.faceIndices, (std::vector<uint32_t>{0, 1, 2, 0, 1, 2, 3}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{1, -1}));
    EXPECT_EQ(mesh.NormalCount(), 4);
    EXPECT_EQ(mesh.TexCoordCount(), 4);
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 2, 3, 2, 1, 0}));
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{0.5f, 0.5f, 0.125f}));
    // Bounds come from the vertices, whatever the file stored.
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 0.5f}));
    EXPECT_EQ(mesh.name, "Mesh1");
    EXPECT_EQ(model.subMeshes[1].VertexCount(), 0);
    EXPECT_EQ(model.subMeshes[1].bounds, (std::array<float, 6>{-1, -1, -1, -1, -1, -1}));
    ASSERT_EQ(model.MaterialCount(), 2);
    EXPECT_EQ(model.materials[0].name, "red");
    EXPECT_EQ(model.materials[0].color, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(model.materials[0].diffuse, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(model.materials[0].specular, (std::array<float, 3>{0.25f, 0.25f, 0.25f}));
    EXPECT_EQ(model.materials[1].transparency, 0.5f);
    EXPECT_EQ(model.materials[0].textureIndex, version30 ? 0 : -1);
    EXPECT_EQ(model.materials[1].textureIndex, -1);
    EXPECT_EQ(model.hasColor + model.hasDiffuse + model.hasSpecular + model.hasTransparency, 4);
    ASSERT_EQ(model.TextureCount(), 1);
    EXPECT_EQ(model.textures[0].name, "wood.bmp");
    EXPECT_EQ(model.textures[0].width, 2);
    EXPECT_EQ(model.textures[0].height, 1);
    EXPECT_EQ(model.textures[0].pixels, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
    EXPECT_EQ(model.hasTextures, 1);
    EXPECT_EQ(model.formatId, Format::Solvane);
}

// ---- Object files ----------------------------------------------------------------------------

TEST(NativeRead, EveryVersionReadsTheSameModel)
{
    ScratchDir dir;
    for (const char* version : {"30", "21", "20"}) {
        SCOPED_TRACE(version);
        LoadOutcome outcome = LoadBytes(dir, "model.svo", HandMadeFile(version));
        ASSERT_NE(outcome.model, nullptr) << outcome.code;
        ExpectHandMadeModel(*outcome.model, std::string_view(version) == "30");
    }
}

// Without textures no coordinates are stored, though each sub-mesh keeps its count.
TEST(NativeRead, TexCoordCountWithoutTexturesStoresNoCoordinates)
{
    ScratchDir dir;
    LoadOutcome outcome = LoadBytes(dir, "model.svo", HandMadeFile("30", nullptr, 0));
    ASSERT_NE(outcome.model, nullptr) << outcome.code;
    EXPECT_EQ(outcome.model->subMeshes[0].TexCoordCount(), 0);
    EXPECT_TRUE(outcome.model->subMeshes[0].faceTexCoordIndices.empty());
    EXPECT_EQ(outcome.model->subMeshes[1].VertexCount(), 0);  // the next block was found
    EXPECT_EQ(outcome.model->TextureCount(), 0);
    EXPECT_EQ(outcome.model->materials[1].name, "blue");
}

// The first eight bytes decide whether the file is ours; after that a file that breaks off is
// corrupt, whatever field it breaks in.
TEST(NativeRead, EveryTruncationFailsWithItsCode)
{
    ScratchDir dir;
    for (const char* version : {"30", "21"}) {
        Layout at{};
        const std::string file = HandMadeFile(version, &at);
        ASSERT_EQ(at.objectEnd, file.size());
        for (size_t cut = 0; cut < file.size(); ++cut) {
            LoadOutcome outcome = LoadBytes(dir, "cut.svo", file.substr(0, cut));
            EXPECT_EQ(outcome.model, nullptr) << version << " cut at " << cut;
            EXPECT_EQ(outcome.code, cut < 8 ? LoadResult::NotValidSvo : LoadResult::CorruptSvo)
                << version << " cut at " << cut;
        }
        EXPECT_NE(LoadBytes(dir, "whole.svo", file).model, nullptr);
    }
}

TEST(NativeRead, CountsAndValuesTheFileCannotHoldAreCorrupt)
{
    Layout at{};
    const std::string good = HandMadeFile("30", &at);
    struct Case {
        const char* what;
        size_t offset;
        int32_t value;
    };
    const Case cases[] = {
        {"sub-mesh count INT_MAX", at.subMeshCount, INT32_MAX},
        {"sub-mesh count -1", at.subMeshCount, -1},
        {"sub-mesh count 0", at.subMeshCount, 0},
        {"material count INT_MAX", at.materialCount, INT32_MAX},
        {"material count INT_MIN", at.materialCount, INT32_MIN},
        {"texture count INT_MAX", at.textureCount, INT32_MAX},
        {"texture count -3", at.textureCount, -3},
        {"vertex count INT_MAX", at.vertexCount, INT32_MAX},
        {"vertex count -1", at.vertexCount, -1},
        {"face count INT_MAX", at.faceCount, INT32_MAX},
        {"face count -2", at.faceCount, -2},
        {"corner counts (-1, -1)", at.cornerCounts, -1},
        {"corner counts (32767, 32767)", at.cornerCounts, 0x7FFF7FFF},
        {"corner index beyond the vertices", at.corners, 4},
        {"face material beyond the materials", at.faceMaterials, 2},
        {"face material -2", at.faceMaterials, -2},
        {"normal count INT_MAX", at.normalCount, INT32_MAX},
        {"normal count -1", at.normalCount, -1},
        {"texture coordinate count INT_MAX", at.texCoordCount, INT32_MAX},
        {"texture coordinate index beyond the coordinates", at.texIndices, 4},
        {"texture index beyond the textures", at.firstTextureIndex, 1},
        {"texture index -2", at.firstTextureIndex, -2},
        {"texture width 20000", at.textureWidth, 20000},
        {"texture width -1", at.textureWidth, -1},
        {"texture width 16384 (pixels beyond the file)", at.textureWidth, 16384},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        std::string bytes = good;
        Patch32(bytes, c.offset, c.value);
        LoadOutcome outcome = LoadBytes(dir, "hostile.svo", bytes);
        EXPECT_EQ(outcome.model, nullptr) << c.what;
        EXPECT_EQ(outcome.code, LoadResult::CorruptSvo) << c.what;
    }
}

TEST(NativeRead, MarkersAndMagic)
{
    Layout at{};
    const std::string good = HandMadeFile("30", &at);
    ScratchDir dir;
    auto codeOf = [&](const std::string& name, const std::string& bytes) {
        LoadOutcome outcome = LoadBytes(dir, name, bytes);
        return outcome.model ? 0 : outcome.code;
    };
    auto replaced = [&](size_t offset, char c) {
        std::string bytes = good;
        bytes[offset] = c;
        return bytes;
    };
    EXPECT_EQ(codeOf("a.svo", replaced(at.meshMarker, 'x')), LoadResult::CorruptSvo);
    EXPECT_EQ(codeOf("a.svo", replaced(at.materialMarker, 'm')), LoadResult::CorruptSvo);
    EXPECT_EQ(codeOf("a.svo", replaced(at.textureMarker, 'c')), LoadResult::CorruptSvo);
    // The one deviation tolerated: the mesh marker four bytes further on.
    std::string shifted = good;
    shifted.insert(at.meshMarker, "\x01\x02\x03\x04");
    EXPECT_EQ(codeOf("a.svo", shifted), 0);
    std::string shiftedByThree = good;
    shiftedByThree.insert(at.meshMarker, "\x01\x02\x03");
    EXPECT_EQ(codeOf("a.svo", shiftedByThree), LoadResult::CorruptSvo);
    // Magic and version.
    EXPECT_EQ(codeOf("a.svo", "Solvanes" + good.substr(8)), LoadResult::NotValidSvo);
    EXPECT_EQ(codeOf("a.svo", "SOLVANEO" + good.substr(8)), LoadResult::NotValidSvo);
    EXPECT_EQ(codeOf("a.svo", good.substr(0, 8) + "31" + good.substr(10)), LoadResult::NotValidSvo);
    EXPECT_EQ(codeOf("a.svo", ""), LoadResult::NotValidSvo);
    // Found by its magic under another name; a scene file's own magic is not read as an object.
    EXPECT_EQ(codeOf("model.dat", good), 0);
    EXPECT_EQ(codeOf("scene.dat", "Solvanes" + good.substr(8)), LoadResult::NotValidSvo);
}

// Normals whose count is not the vertex count cannot be used: they are passed over and the rest of
// the file is read in step.
TEST(NativeRead, NormalsOfAnotherCountArePassedOver)
{
    Layout at{};
    std::string bytes = HandMadeFile("30", &at);
    Patch32(bytes, at.normalCount, 3);
    bytes.erase(at.normalCount + 4 + 36, 12);  // three normals stay
    ScratchDir dir;
    LoadOutcome outcome = LoadBytes(dir, "model.svo", bytes);
    ASSERT_NE(outcome.model, nullptr) << outcome.code;
    EXPECT_EQ(outcome.model->subMeshes[0].NormalCount(), 0);
    EXPECT_EQ(outcome.model->subMeshes[0].TexCoordCount(), 4);
    EXPECT_EQ(outcome.model->textures[0].name, "wood.bmp");
}

// ---- The scene part --------------------------------------------------------------------------

TEST(NativeScene, HandMadeScenePartReadsEveryField)
{
    ScratchDir dir;
    for (const char* version : {"30", "21"}) {
        SCOPED_TRACE(version);
        Layout at{};
        const std::string path = dir.Write("room.svs", HandMadeFile(version, &at) + HandMadeScene(version, true));
        LoadContext ctx;
        ASSERT_NE(LoadModelFile(path, ctx), nullptr);
        int64_t offset = ctx.sceneOffset.load();
        EXPECT_EQ(offset, static_cast<int64_t>(at.objectEnd));
        SceneRecord scene;
        ASSERT_TRUE(ReadNativeScene(path.c_str(), offset, scene));
        EXPECT_EQ(offset, -1);  // forgotten once read
        EXPECT_EQ(scene.viewOffset, (std::array<float, 3>{0.1f, 0.2f, -3.5f}));
        for (int i = 0; i < 16; ++i) EXPECT_EQ(scene.modelRotation[static_cast<size_t>(i)], i * 0.0625f);
        EXPECT_EQ(scene.stepAxis, (std::array<float, 3>{0, 1, 0}));
        EXPECT_EQ(scene.stepAngle, 2.5f);
        EXPECT_EQ(scene.pitch, 10.0f);
        EXPECT_EQ(scene.yaw, 20.0f);
        EXPECT_EQ(scene.roll, 30.0f);
        EXPECT_EQ(scene.flyOffset, (std::array<float, 3>{0.5f, 0.25f, -0.125f}));
        EXPECT_EQ(scene.foreground, (std::array<float, 3>{0.9f, 0.8f, 0.7f}));
        EXPECT_EQ(scene.background, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
        EXPECT_TRUE(scene.washOn);
        EXPECT_EQ(scene.filterColour, (std::array<float, 3>{0.6f, 0.0f, 0.4f}));
        EXPECT_EQ(scene.filterAmount, 0.75f);
        EXPECT_EQ(scene.lightColour, (std::array<float, 3>{0.3f, 0.6f, 0.9f}));
        EXPECT_EQ(scene.backgroundName, "sky.bmp");
        EXPECT_EQ(scene.backgroundWidth, 2);
        EXPECT_EQ(scene.backgroundHeight, 2);
        ASSERT_EQ(scene.backgroundPixels.size(), 12u);
        EXPECT_EQ(scene.backgroundPixels[11], 220);
        EXPECT_EQ(scene.depthCueFactor, 0.35f);
        EXPECT_EQ(scene.hasVersion30Fields, std::string_view(version) == "30");
        if (scene.hasVersion30Fields) {
            EXPECT_EQ(scene.viewTriple, (std::array<float, 3>{0.4f, 0.5f, 0.6f}));
            EXPECT_EQ(scene.gamma, 2.2f);
        }
    }
}

TEST(NativeScene, UnreadableScenePartLeavesTheRecordAlone)
{
    ScratchDir dir;
    Layout at{};
    const std::string object = HandMadeFile("30", &at);
    const std::string scene = HandMadeScene("30", true);
    SceneRecord untouched;
    untouched.stepAngle = 99;
    // Every cut inside the scene part: the object still loads, the scene part is unreadable.
    for (size_t cut = 1; cut < scene.size(); ++cut) {
        const std::string path = dir.Write("cut.svs", object + scene.substr(0, cut));
        LoadContext ctx;
        ASSERT_NE(LoadModelFile(path, ctx), nullptr) << cut;
        int64_t offset = ctx.sceneOffset.load();
        SceneRecord record = untouched;
        EXPECT_FALSE(ReadNativeScene(path.c_str(), offset, record)) << cut;
        EXPECT_EQ(record.stepAngle, 99) << cut;
    }
    // Not a number where a camera value belongs.
    std::string poisoned = scene;
    const float nan = std::nanf("");
    std::memcpy(&poisoned[1 + 12 + 20], &nan, 4);
    const std::string path = dir.Write("nan.svs", object + poisoned);
    LoadContext ctx;
    ASSERT_NE(LoadModelFile(path, ctx), nullptr);
    int64_t offset = ctx.sceneOffset.load();
    SceneRecord record;
    EXPECT_FALSE(ReadNativeScene(path.c_str(), offset, record));
    // No marker remembered: nothing to read.
    offset = -1;
    EXPECT_FALSE(ReadNativeScene(path.c_str(), offset, record));
    // An object file has no scene part.
    LoadContext plain;
    ASSERT_NE(LoadModelFile(dir.Write("plain.svo", object), plain), nullptr);
    EXPECT_EQ(plain.sceneOffset.load(), -1);
}

// What the writer stores comes back field for field, the background image included.
TEST(NativeScene, WrittenSceneReadsBack)
{
    auto model = NewModel(1);
    model->subMeshes[0].vertices = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const uint32_t triangle[3] = {0, 1, 2};
    model->subMeshes[0].AppendFace(triangle, 3);
    ComputeAllBounds(*model);
    SceneRecord written;
    written.viewOffset = {1, 2, 3};
    written.modelRotation[5] = -1;
    written.stepAxis = {0, 0, 1};
    written.stepAngle = 0.5f;
    written.pitch = 1;
    written.yaw = 2;
    written.roll = 3;
    written.flyOffset = {4, 5, 6};
    written.foreground = {0.1f, 0.2f, 0.3f};
    written.background = {0.4f, 0.5f, 0.6f};
    written.washOn = true;
    written.filterColour = {0.7f, 0.8f, 0.9f};
    written.filterAmount = 0.125f;
    written.lightColour = {1, 0.5f, 0};
    written.backgroundName = "/images/sky.bmp";
    written.backgroundWidth = 3;
    written.backgroundHeight = 1;
    written.backgroundPixels = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    written.depthCueFactor = 0.6f;
    written.viewTriple = {0.2f, 0.3f, 0.4f};
    written.gamma = 1.2f;

    ScratchDir dir;
    const std::string path = (dir.Path() / "room.svs").string();
    SaveContext save;
    ASSERT_TRUE(SaveModelFile(*model, path, *FindWriter("svs"), save, &written)) << save.error;
    LoadContext ctx;
    ASSERT_NE(LoadModelFile(path, ctx), nullptr);
    int64_t offset = ctx.sceneOffset.load();
    SceneRecord read;
    ASSERT_TRUE(ReadNativeScene(path.c_str(), offset, read));
    EXPECT_EQ(read.viewOffset, written.viewOffset);
    EXPECT_EQ(read.modelRotation, written.modelRotation);
    EXPECT_EQ(read.stepAxis, written.stepAxis);
    EXPECT_EQ(read.stepAngle, written.stepAngle);
    EXPECT_EQ(read.pitch, written.pitch);
    EXPECT_EQ(read.yaw, written.yaw);
    EXPECT_EQ(read.roll, written.roll);
    EXPECT_EQ(read.flyOffset, written.flyOffset);
    EXPECT_EQ(read.foreground, written.foreground);
    EXPECT_EQ(read.background, written.background);
    EXPECT_EQ(read.washOn, written.washOn);
    EXPECT_EQ(read.filterColour, written.filterColour);
    EXPECT_EQ(read.filterAmount, written.filterAmount);
    EXPECT_EQ(read.lightColour, written.lightColour);
    EXPECT_EQ(read.backgroundName, written.backgroundName);
    EXPECT_EQ(read.backgroundWidth, written.backgroundWidth);
    EXPECT_EQ(read.backgroundHeight, written.backgroundHeight);
    EXPECT_EQ(read.backgroundPixels, written.backgroundPixels);
    EXPECT_EQ(read.depthCueFactor, written.depthCueFactor);
    EXPECT_EQ(read.viewTriple, written.viewTriple);
    EXPECT_EQ(read.gamma, written.gamma);

    // The plain scene row stores the default view; the object row none.
    ASSERT_TRUE(SaveModelFile(*model, path, *FindWriter("svs"), save));
    LoadContext again;
    ASSERT_NE(LoadModelFile(path, again), nullptr);
    offset = again.sceneOffset.load();
    ASSERT_TRUE(ReadNativeScene(path.c_str(), offset, read));
    EXPECT_EQ(read.background, SceneRecord{}.background);
    EXPECT_EQ(read.backgroundWidth, 0);
    const std::string objectPath = (dir.Path() / "room.svo").string();
    ASSERT_TRUE(SaveModelFile(*model, objectPath, *FindWriter("svo"), save));
    LoadContext object;
    ASSERT_NE(LoadModelFile(objectPath, object), nullptr);
    EXPECT_EQ(object.sceneOffset.load(), -1);
}

// The load job remembers the scene marker per load: two jobs at once keep their own, and a scene
// file named as an object file is loaded as an object only.
TEST(NativeScene, LoadJobKeepsTheMarkerOfItsOwnLoad)
{
    ScratchDir dir;
    Layout at{};
    const std::string object = HandMadeFile("30", &at);
    const std::string scenePath = dir.Write("room.svs", object + HandMadeScene("30", false));
    const std::string shorter = dir.Write("hall.svs", HandMadeFile("30", nullptr, 0) + HandMadeScene("30", false));
    const std::string asObject = dir.Write("room.svo", object + HandMadeScene("30", false));
    LoadJob first, second, third;
    first.Start(scenePath);
    second.Start(shorter);
    third.Start(asObject);
    for (LoadJob* job : {&first, &second, &third}) {
        while (job->Progress() < 500) std::this_thread::yield();
        int32_t code = 0;
        ASSERT_NE(job->Take(&code), nullptr) << code;
    }
    EXPECT_TRUE(first.SceneFlag());
    EXPECT_EQ(first.SceneOffset(), static_cast<int64_t>(at.objectEnd));
    EXPECT_TRUE(second.SceneFlag());
    EXPECT_LT(second.SceneOffset(), first.SceneOffset());
    EXPECT_GT(second.SceneOffset(), 0);
    EXPECT_FALSE(third.SceneFlag());
}

}  // namespace
}  // namespace solvane::test
