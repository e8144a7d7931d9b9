#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "core/validate.h"
#include "formats/cob.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Load;
using test::ScratchDir;

// Little-endian byte builder for trueSpace files.
struct Bytes {
    std::string data;
    Bytes& U8(int v) { data.push_back(static_cast<char>(v)); return *this; }
    Bytes& U16(int v) { U8(v & 0xFF); return U8((v >> 8) & 0xFF); }
    Bytes& U32(int64_t v) { U16(static_cast<int>(v & 0xFFFF)); return U16(static_cast<int>((v >> 16) & 0xFFFF)); }
    Bytes& F(float v) { uint32_t u; std::memcpy(&u, &v, 4); return U32(u); }
    Bytes& Text(const std::string& s) { data += s; return *this; }
};

std::string Header(const std::string& first18 = "Caligari V00.01BLH")
{
    std::string header = first18;
    header.resize(32, ' ');
    return header;
}

std::string Chunk(const std::string& type, const std::string& body)
{
    Bytes b;
    b.Text(type).U16(0).U16(8).U32(1).U32(0).U32(static_cast<int64_t>(body.size())).Text(body);
    return b.data;
}

std::string End() { return Chunk("END ", ""); }

struct Face {
    int flags = 0;
    int material = 0;
    std::vector<std::pair<int64_t, int64_t>> corners;  // vertex, texture coordinate
};

// A PolH body with the given 3 x 4 matrix.
std::string PolygonObject(const std::vector<float>& matrix, const std::vector<float>& vertices,
                          const std::vector<float>& texCoords, const std::vector<Face>& faces,
                          const std::string& name = "obj")
{
    Bytes b;
    b.U16(0).U16(static_cast<int>(name.size())).Text(name);
    for (int i = 0; i < 3; ++i) b.F(0);       // centre
    for (int i = 0; i < 9; ++i) b.F(i % 4 == 0 ? 1.0f : 0.0f);  // axes
    for (float m : matrix) b.F(m);
    b.U32(static_cast<int64_t>(vertices.size() / 3));
    for (float v : vertices) b.F(v);
    b.U32(static_cast<int64_t>(texCoords.size() / 2));
    for (float t : texCoords) b.F(t);
    b.U32(static_cast<int64_t>(faces.size()));
    for (const Face& face : faces) {
        b.U8(face.flags).U16(static_cast<int>(face.corners.size()));
        if (face.flags != 8) b.U16(face.material);
        for (const auto& corner : face.corners) b.U32(corner.first).U32(corner.second);
    }
    b.U32(0);  // trailing data of newer chunk versions
    return b.data;
}

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
const std::vector<float> kSquare = {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0, 1, 1, 0, 2, 1, 0, 2, 2, 0};

struct MapSpec {
    std::string tag;
    std::string name;
};

std::string MaterialBody(float r, float g, float b, float alpha, float ka, float ks,
                         const std::vector<MapSpec>& maps = {})
{
    Bytes m;
    m.U16(0).U8(1).U8(2).U8(30);
    m.F(r).F(g).F(b).F(alpha).F(ka).F(ks).F(16).F(1);
    for (const MapSpec& map : maps) {
        m.Text(map.tag).U8(2).U16(static_cast<int>(map.name.size())).Text(map.name);
        if (map.tag == "t:" || map.tag == "b:") m.F(0).F(0).F(1).F(1);
        if (map.tag == "b:") m.F(0.5f);
    }
    return m.data;
}

std::vector<uint32_t> Corners(const SubMesh& mesh, int32_t face)
{
    return {mesh.FaceIndices(face), mesh.FaceIndices(face) + mesh.FaceCorners(face)};
}

// A square with a triangular hole, translated by (0, 0, 5), then a second object.
std::string ObjectsWithHoleAndTransform()
{
    const std::vector<float> translate = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 5};
    Face outline{0, 1, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}};
    Face hole{8, 0, {{4, 0}, {5, 1}, {6, 2}}};
    Face triangle{0, 0, {{0, 0}, {1, 0}, {2, 0}}};
    return Header() + Chunk("PolH", PolygonObject(translate, kSquare, {0, 0, 1, 0, 1, 1, 0, 1}, {outline, hole})) +
           Chunk("Mat1", MaterialBody(1, 0, 0, 0.25f, 0.5f, 0.75f)) +
           Chunk("Mat1", MaterialBody(0, 1, 0, 1, 0.1f, 0.2f)) +
           Chunk("PolH", PolygonObject(kIdentity, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {}, {triangle})) +
           Chunk("Mat1", MaterialBody(0, 0, 1, 1, 0.1f, 0.2f)) + End();
}

TEST(Cob, HoleFollowsItsOutlineAndTheMatrixPlacesTheVertices)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("holes.cob", ObjectsWithHoleAndTransform()));
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
    ASSERT_EQ(square.FaceCount(), 2);
    EXPECT_EQ(Corners(square, 0), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(Corners(square, 1), (std::vector<uint32_t>{4, 5, 6}));
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
    ScratchDir dir;
    const auto r = Load(dir.Write("m.cob", ObjectsWithHoleAndTransform()));
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
    EXPECT_EQ(r.model->hasColor, 1);
    EXPECT_EQ(r.model->hasTransparency, 1);
    EXPECT_EQ(r.model->hasDiffuse, 1);
    EXPECT_EQ(r.model->hasSpecular, 1);
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
    ScratchDir dir;
    LoadContext ctx;
    const auto model = ReadCobFile(dir.Write("maps.cob", file).c_str(), ctx);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->TextureCount(), 3);
    EXPECT_EQ(model->textures[0].name, "sky.bmp");
    EXPECT_EQ(model->textures[0].mappingMode, 1);
    EXPECT_EQ(model->textures[1].name, "wood.bmp");
    EXPECT_EQ(model->textures[1].mappingMode, 0);
    EXPECT_EQ(model->textures[2].name, "bumps.bmp");
    EXPECT_EQ(model->textures[2].mappingMode, 2);
    EXPECT_EQ(model->materials[0].textureIndex, 0);
    EXPECT_EQ(model->materials[1].textureIndex, 2);
    EXPECT_EQ(model->subMeshes[0].faceMaterials, (std::vector<int32_t>{1}));
    EXPECT_EQ(ValidateModel(*model), "");
}

TEST(Cob, SceneChunksOtherThanObjectsAndMaterialsArePassedOver)
{
    Bytes padded;
    padded.U32(0);  // a type holding NULs: 24 bytes of padding follow before the real type
    padded.Text(std::string(24, 'x'));
    const std::string file = Header() + Chunk("Grou", std::string(40, 'g')) + Chunk("Lght", std::string(17, 'l')) +
                             padded.data + Chunk("PolH", PolygonObject(kIdentity, {1, 2, 3}, {}, {})) +
                             Chunk("Cam ", std::string(9, 'c')) + End() + Chunk("PolH", "garbage after the end");
    ScratchDir dir;
    const auto r = Load(dir.Write("scene.scn", file));
    ASSERT_TRUE(r.model) << r.code;
    ASSERT_EQ(r.model->SubMeshCount(), 1);
    EXPECT_EQ(r.model->subMeshes[0].vertices, (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(r.model->subMeshes[0].bounds, (std::array<float, 6>{1, 1, 2, 2, 3, 3}));
    EXPECT_EQ(r.model->MaterialCount(), 0);
}

TEST(Cob, OutOfRangeIndicesAreClampedAndUnknownMaterialsAreNone)
{
    Face face{0, 7, {{0, 0}, {99, 5}, {0xFFFFFFFFLL, 1}}};
    const std::string file = Header() + Chunk("PolH", PolygonObject(kIdentity, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 0, 1, 1}, {face})) + End();
    ScratchDir dir;
    const auto r = Load(dir.Write("clamp.cob", file));
    ASSERT_TRUE(r.model);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 2, 2}));
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{-1}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Cob, HeaderChecksGiveTheirCodes)
{
    ScratchDir dir;
    const std::string body = Chunk("PolH", PolygonObject(kIdentity, {1, 2, 3}, {}, {})) + End();
    const struct {
        std::string header;
        int32_t code;
    } cases[] = {
        {"Caligari V00.01ALH", 401},  // ASCII
        {"Kaligari V00.01BLH", 400},  // magic
        {"Caligari V00.02BLH", 400},  // version (message on the standard output)
        {"Caligari V00.01BHL", 400},  // big endian (message on the standard output)
        {"Caligari V00.01XLH", 400},  // other format letter
    };
    for (const auto& c : cases) {
        const auto r = Load(dir.Write("h.cob", Header(c.header) + body));
        EXPECT_FALSE(r.model) << c.header;
        EXPECT_EQ(r.code, c.code) << c.header;
    }
    EXPECT_EQ(Load(dir.Write("empty.cob", "")).code, 400);
    EXPECT_EQ(Load(dir.Write("short.cob", "Caligari V00.01BLH")).code, 400);
    EXPECT_EQ(Load(dir.Write("none.cob", Header() + End())).code, 400);  // no polygon object
}

TEST(Cob, HostileCountsFailFastWithoutAllocating)
{
    ScratchDir dir;
    // A vertex, texture-coordinate or face count at INT_MAX or negative, a corner count beyond the
    // chunk, and a chunk size that is negative.
    auto withCount = [](int which, int64_t count) {
        Bytes b;
        b.U16(0).U16(0);
        for (int i = 0; i < 3 + 9; ++i) b.F(0);
        for (float m : kIdentity) b.F(m);
        b.U32(which == 0 ? count : 0);
        b.U32(which == 1 ? count : 0);
        b.U32(which == 2 ? count : 1);
        if (which == 3) b.U8(0).U16(60000).U16(0);
        return Header() + Chunk("PolH", b.data + std::string(64, '\0')) + End();
    };
    const auto start = std::chrono::steady_clock::now();
    for (int which = 0; which < 4; ++which) {
        for (int64_t count : {int64_t{INT_MAX}, int64_t{0x80000000LL}, int64_t{0xFFFFFFFFLL}}) {
            const auto r = Load(dir.Write("hostile.cob", withCount(which, count)));
            EXPECT_FALSE(r.model) << which << " " << count;
            EXPECT_EQ(r.code, 400) << which << " " << count;
        }
    }
    Bytes negativeSize;
    negativeSize.Text("PolH").U16(0).U16(8).U32(1).U32(0).U32(-40);
    EXPECT_EQ(Load(dir.Write("size.cob", Header() + negativeSize.data + End())).code, 400);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(Cob, EveryTruncationFailsCleanlyOrLoadsAValidModel)
{
    const std::string file = ObjectsWithHoleAndTransform();
    ScratchDir dir;
    int loaded = 0;
    for (size_t length = 0; length < file.size(); ++length) {
        const auto r = Load(dir.Write("cut.cob", file.substr(0, length)));
        if (r.model) {
            ++loaded;
            EXPECT_EQ(ValidateModel(*r.model), "") << length;
        } else {
            EXPECT_EQ(r.code, 400) << length;
        }
    }
    EXPECT_GT(loaded, 0);  // cut inside or after the last chunks, the objects are all there
}

// ---- The shared corpus -----------------------------------------------------------------------

TEST(CobCorpus, EveryFileLoadsAValidModel)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/COB", {".cob", ".scn"}, false);
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const auto r = Load(file.string());
        ASSERT_TRUE(r.model) << file << " code " << r.code;
        EXPECT_EQ(ValidateModel(*r.model), "") << file;
    }
}

TEST(CobCorpus, SpiderHasTheCountsOfItsObjTwin)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto cob = Load((test::SharedDir() / "corpus/models/COB/spider_6_6.cob").string());
    const auto obj = Load((test::SharedDir() / "corpus/models/OBJ/spider.obj").string());
    ASSERT_TRUE(cob.model) << cob.code;
    ASSERT_TRUE(obj.model) << obj.code;
    EXPECT_EQ(TotalVertices(*cob.model), 762);
    EXPECT_EQ(TotalFaces(*cob.model), 1368);
    EXPECT_EQ(TotalVertices(*cob.model), TotalVertices(*obj.model));
    EXPECT_EQ(TotalFaces(*cob.model), TotalFaces(*obj.model));
    for (const SubMesh& mesh : cob.model->subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) ASSERT_EQ(mesh.FaceCorners(f), 3);
    }
    EXPECT_EQ(cob.model->MaterialCount(), 4);
}

TEST(CobCorpus, DwarfNamesTwoTexturedMaterials)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    LoadContext ctx;
    const auto model = ReadCobFile((test::SharedDir() / "corpus/models/COB/dwarf.cob").string().c_str(), ctx);
    ASSERT_TRUE(model);
    EXPECT_EQ(ValidateModel(*model), "");
    ASSERT_EQ(model->MaterialCount(), 2);
    ASSERT_EQ(model->TextureCount(), 2);
    EXPECT_EQ(model->textures[0].name, "dwarf.jpg");
    EXPECT_EQ(model->textures[0].mappingMode, 0);
    EXPECT_EQ(model->materials[1].textureIndex, 1);
}

TEST(CobCorpus, DwarfIsTexturedWithTwoMaterials)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto r = Load((test::SharedDir() / "corpus/models/COB/dwarf.cob").string());
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(r.model->MaterialCount(), 2);
    ASSERT_EQ(r.model->TextureCount(), 2);
    EXPECT_EQ(r.model->hasTextures, 1);
    EXPECT_EQ(r.model->textures[0].name, "dwarf.jpg");
    EXPECT_EQ(r.model->textures[1].name, "axe.jpg");
    EXPECT_TRUE(r.model->textures[0].HasPixels());
    EXPECT_EQ(r.model->materials[0].textureIndex, 0);
    EXPECT_EQ(r.model->materials[1].textureIndex, 1);
    EXPECT_FALSE(r.model->subMeshes[0].texCoords.empty());
}

TEST(CobCorpus, AsciiFileIsRefused)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/COB/negative", {".cob"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const auto r = Load(file.string());
        EXPECT_FALSE(r.model) << file;
        EXPECT_EQ(r.code, 401) << file;
    }
}

}  // namespace
}  // namespace solvane
