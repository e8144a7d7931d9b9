#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/validate.h"
#include "formats/obj.h"
#include "image/image.h"
#include "tests/reader_test_support.h"
#include "viewer/headless_context.h"

namespace solvane {
namespace {

using test::AllCorners;
using test::Corners;
using test::FaceList;
using test::Load;
using test::LoadBytes;
using test::ScratchDir;

TEST(Obj, KeywordsAreCaseInsensitiveAndCornersTakeTheLeadingNumber)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.obj",
                                  "# comment\n"
                                  "V 0 0 0\nv 1 0 0\n\tv 1 1 0\n  v 0 1 0\n"
                                  "vt 0 0\nVT 1 0 7\nvt 1 1\nvt 0 1\n"
                                  "f 1/1/1 2/2/2 3/3/3\n"
                                  "F 1 3 4\n"
                                  "fo 1 2 3 4\n"
                                  "f 4//1 3//2 2//3\n"
                                  "g group\no object\ns 1\nl 1 2\n"));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->formatId, 7);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.name, "Mesh1");
    EXPECT_EQ(mesh.VertexCount(), 4);
    EXPECT_EQ(mesh.TexCoordCount(), 4);
    EXPECT_EQ(mesh.texCoords[2], 1.0f);  // the third value of "VT 1 0 7" is ignored
    EXPECT_EQ(mesh.texCoords[3], 0.0f);
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2}, {0, 2, 3}, {0, 1, 2, 3}, {3, 2, 1}}));
    // Texture coordinate i belongs to vertex i.
    EXPECT_EQ(mesh.faceTexCoordIndices, mesh.faceIndices);
    EXPECT_TRUE(mesh.faceMaterials.empty());  // no library: every face has no material
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, BoundsAndCentreFromTheVertices)
{
    ScratchDir dir;
    auto r = Load(dir.Write("m.obj", "v -1 2 3\nv 3 -2 1\nv 1 0 -1\n"));
    ASSERT_TRUE(r.model);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.FaceCount(), 0);
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{-1, 3, -2, 2, -1, 3}));
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{1, 0, 1}));

    r = Load(dir.Write("n.obj", "# nothing\nf 1 2 3\n"));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->subMeshes[0].centroid, (std::array<float, 3>{0, 0, 0}));
    EXPECT_EQ(r.model->subMeshes[0].bounds, (std::array<float, 6>{-1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, CornerNumbersOutOfRangeAreBroughtIntoRange)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("m.obj",
                                  "v 0 0 0\nv 1 0 0\nv 1 1 0\n"
                                  "f -3 -2 -1\n"   // relative numbers: the three vertices read so far
                                  "f 0 2 99\n"     // zero and too large: clamped
                                  "f x 2 3\n"      // a token without a number: vertex 1
                                  "v 0 1 0\n"
                                  "f -1 -4 -9\n"));
    ASSERT_TRUE(r.model);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(AllCorners(mesh), (FaceList{{0, 1, 2}, {0, 1, 3}, {0, 1, 2}, {3, 0, 0}}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, FacesWithoutVerticesOrTokens)
{
    auto r = LoadBytes("m.obj", "f 1 2 3\nf \n");
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->subMeshes[0].FaceCount(), 2);
    EXPECT_EQ(r.model->subMeshes[0].FaceCorners(0), 0);
    EXPECT_EQ(r.model->subMeshes[0].FaceCorners(1), 0);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, LongFacesAreReadWholeUpToTheCornerLimit)
{
    std::string text = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf";
    for (int i = 0; i < 1000; ++i) text.append(" ").append(std::to_string(i % 3 + 1));
    text += "\nf";
    for (int i = 0; i < 40000; ++i) text += " 1";
    text += "\n";
    const auto r = LoadBytes("m.obj", text);
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->subMeshes[0].FaceCorners(0), 1000);
    EXPECT_EQ(r.model->subMeshes[0].FaceCorners(1), kMaxFaceCorners);
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, NormalsAreKeptOnlyWhenTheyPairWithVertices)
{
    ScratchDir dir;
    auto r = Load(dir.Write("a.obj", "v 0 0 0\nv 1 0 0\nvn 0 0 1\nvn 0 1 0\n"));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->subMeshes[0].normals, (std::vector<float>{0, 0, 1, 0, 1, 0}));
    r = Load(dir.Write("b.obj", "v 0 0 0\nv 1 0 0\nvn 0 0 1\n"));
    ASSERT_TRUE(r.model);
    EXPECT_TRUE(r.model->subMeshes[0].normals.empty());
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, TextureIndicesStayBelowTheCoordinateCount)
{
    const auto r = LoadBytes("m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 1\nf 1 2 3\n");
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->subMeshes[0].faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_EQ(ValidateModel(*r.model), "");
}

TEST(Obj, UnscannableValuesLeaveTheirSlots)
{
    const auto r = LoadBytes("m.obj", "v 1 x 3\nv +4 5e1 -.5\nv 1e 2.5E-1 7?\nv 2.5E-1 7? 1\n");
    ASSERT_TRUE(r.model);
    const auto& v = r.model->subMeshes[0].vertices;
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[1], 0);  // scanning stops at "x": y and z stay 0
    EXPECT_EQ(v[2], 0);
    EXPECT_EQ(v[3], 4);
    EXPECT_EQ(v[4], 50);
    EXPECT_EQ(v[5], -0.5f);
    EXPECT_EQ(v[6], 1);  // "1e": the numeric prefix; scanning then stops at the "e"
    EXPECT_EQ(v[7], 0);
    EXPECT_EQ(v[8], 0);
    EXPECT_EQ(v[9], 0.25f);
    EXPECT_EQ(v[10], 7);  // "7?": the number before the stray character
    EXPECT_EQ(v[11], 0);
}

TEST(Obj, LastLineWithoutLineFeedIsIgnored)
{
    const auto r = LoadBytes("m.obj", "v 0 0 0\r\nv 1 1 1");
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->subMeshes[0].VertexCount(), 1);
}

TEST(ObjMaterials, LibraryIsTheModelsOwnNameBesideIt)
{
    ScratchDir dir;
    dir.Write("chair.mtl",
              "newmtl red\nKa 0.1 0.2 0.3\nKd 1 0 0\nKs 0.5 0.5 0.5\nTf 0.25 0.5 0.5\n"
              "NEWMTL blue\nkd 0 0 1\nillum 2\nmap_Kd blue.png\n"
              "newmtl red\nKa 1 1 1\n");
    dir.Write("other.mtl", "newmtl other\n");
    const auto r = Load(dir.Write("chair.obj",
                                  "mtllib other.mtl\n"
                                  "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                  "f 1 2 3\n"
                                  "usemtl red\nf 1 2 3\n"
                                  "usemtl Red\nf 1 2 3\n"
                                  "usemtl blue\nf 1 2 3\n"
                                  "usemtl nothing\nf 1 2 3\n"));
    ASSERT_TRUE(r.model);
    const Model& m = *r.model;
    ASSERT_EQ(m.MaterialCount(), 3);
    EXPECT_EQ(m.materials[0].name, "red");
    EXPECT_EQ(m.materials[0].color, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(m.materials[0].diffuse, (std::array<float, 3>{1, 0, 0}));
    EXPECT_EQ(m.materials[0].specular, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(m.materials[0].transparency, 0.25f);
    EXPECT_EQ(m.materials[1].diffuse, (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(m.materials[2].diffuse, (std::array<float, 3>{0, 0, 0}));  // no Kd line
    // blue.png is not there: its texture is dropped and no material keeps one.
    for (const Material& material : m.materials) EXPECT_EQ(material.textureIndex, -1);
    EXPECT_EQ(m.TextureCount(), 0);
    // "usemtl red" takes the last material of that name; "Red" matches nothing; an unknown name
    // keeps the current material.
    EXPECT_EQ(m.subMeshes[0].faceMaterials, (std::vector<int32_t>{-1, 2, 2, 1, 1}));
    // The flags describe the statements of the last material: only Ka.
    EXPECT_EQ(m.hasColor, 1);
    EXPECT_EQ(m.hasDiffuse, 0);
    EXPECT_EQ(m.hasSpecular, 0);
    EXPECT_EQ(m.hasTransparency, 1);  // never cleared once a Tf was read
    EXPECT_EQ(ValidateModel(m), "");
}

TEST(ObjMaterials, MissingLibraryOrNoMtllibMeansNoMaterials)
{
    ScratchDir dir;
    dir.Write("other.mtl", "newmtl other\nKd 1 1 1\n");
    auto r = Load(dir.Write("chair.obj", "mtllib other.mtl\nv 0 0 0\nusemtl other\nf 1 1 1\n"));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->MaterialCount(), 0);
    EXPECT_TRUE(r.model->subMeshes[0].faceMaterials.empty());
    // A library beside the model is only read when the model asks for one.
    dir.Write("plain.mtl", "newmtl x\n");
    r = Load(dir.Write("plain.obj", "v 0 0 0\n"));
    ASSERT_TRUE(r.model);
    EXPECT_EQ(r.model->MaterialCount(), 0);
}

// The reader alone: texture names as the library writes them, before the texture search.
std::unique_ptr<Model> ReadWithLibrary(const ScratchDir& dir, const std::string& library, const std::string& obj)
{
    dir.Write("m.mtl", library);
    LoadContext ctx;
    return ReadObjFile(dir.Write("m.obj", "mtllib m.mtl\n" + obj).c_str(), ctx);
}

TEST(ObjTextures, MapOptionsAreSkippedAndNamesKeepTheirBlanks)
{
    const std::pair<const char*, const char*> table[] = {
        {"map_Kd wood.png", "wood.png"},
        {"MAP_KD\twood.png", "wood.png"},
        {"map_Kd   my wood  grain.png  \r", "my wood  grain.png"},
        {"map_Kd -s 2 2 1 -o 0.5 0.5 0 wood.png", "wood.png"},
        {"map_Kd -o 0.5 wood.png", "wood.png"},             // one value of three
        {"map_Kd -t 1 2 b c.png", "b c.png"},               // "b" is no number: the name starts
        {"map_Kd -clamp on -bm 0.2 -blendu off -blendv on my wood.png", "my wood.png"},
        {"map_Kd -mm 0 1 -texres 512 -imfchan r -cc off -boost 2 -type sphere a.tga", "a.tga"},
        {"map_Kd -clamp 2.png", ""},                         // the on/off word is always taken
        {"map_Kd -halo 3 4 maps\\x.bmp", "maps\\x.bmp"},      // unknown option: its numbers go
        {"map_Kd 1.png", "1.png"},
    };
    for (const auto& [line, name] : table) {
        ScratchDir dir;
        const auto model = ReadWithLibrary(dir, std::string("newmtl a\n") + line + "\n", "v 0 0 0\n");
        ASSERT_TRUE(model) << line;
        if (*name == '\0') {
            EXPECT_EQ(model->TextureCount(), 0) << line;
            EXPECT_EQ(model->materials[0].textureIndex, -1) << line;
            continue;
        }
        ASSERT_EQ(model->TextureCount(), 1) << line;
        EXPECT_EQ(model->textures[0].name, name) << line;
        EXPECT_EQ(model->textures[0].mappingMode, 0);
        EXPECT_EQ(model->materials[0].textureIndex, 0);
        EXPECT_EQ(model->hasTextures, 1);
    }
}

TEST(ObjTextures, OneTexturePerDistinctNameAndTheLastMapOfAMaterialWins)
{
    ScratchDir dir;
    const auto model = ReadWithLibrary(dir,
                                       "map_Kd before.png\n"  // before any material: ignored
                                       "newmtl a\nmap_Kd first.png\nmap_Kd wood.png\n"
                                       "newmtl b\nKd 1 0 0\n"
                                       "newmtl c\nmap_Kd stone.png\n"
                                       "newmtl d\nmap_Kd wood.png\n",
                                       "v 0 0 0\n");
    ASSERT_TRUE(model);
    ASSERT_EQ(model->TextureCount(), 2);
    EXPECT_EQ(model->textures[0].name, "wood.png");
    EXPECT_EQ(model->textures[1].name, "stone.png");
    std::vector<int32_t> indices;
    for (const Material& material : model->materials) indices.push_back(material.textureIndex);
    EXPECT_EQ(indices, (std::vector<int32_t>{0, -1, 1, 0}));
    EXPECT_EQ(model->hasDiffuse, 0);  // map_Kd leaves the colour flags alone
}

TEST(ObjTextures, CornersTakeTheirOwnCoordinatesOnlyWithATextureMap)
{
    const std::string obj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
                            "vt 0 0\nvt 1 0\nvt 1 1\n"
                            "usemtl a\n"
                            "f 1/3 2/1/4 3/2\n"   // v/vt and v/vt/vn
                            "f 4 3 2\n"           // no vt: the vertex's number, kept below the count
                            "f 4//1 1/-1 2/9\n"   // v//vn; relative; too large
                            "f 1/x 2/ 3/0\n";     // no number after the slash; zero
    ScratchDir dir;
    const auto textured = ReadWithLibrary(dir, "newmtl a\nmap_Kd a.png\n", obj);
    ASSERT_TRUE(textured);
    EXPECT_EQ(textured->subMeshes[0].faceTexCoordIndices,
              (std::vector<uint32_t>{2, 0, 1, 2, 2, 1, 2, 2, 2, 0, 1, 0}));
    EXPECT_EQ(textured->subMeshes[0].faceIndices, (std::vector<uint32_t>{0, 1, 2, 3, 2, 1, 3, 0, 1, 0, 1, 2}));
    EXPECT_EQ(ValidateModel(*textured), "");
    // The same file with a library without texture maps: coordinate i belongs to vertex i.
    const auto plain = ReadWithLibrary(dir, "newmtl a\nKd 1 1 1\n", obj);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->subMeshes[0].faceTexCoordIndices,
              (std::vector<uint32_t>{0, 1, 2, 2, 2, 1, 2, 0, 1, 0, 1, 2}));
}

TEST(ObjTextures, PicturesAreFoundByTheTextureSearch)
{
    ScratchDir dir;
    // A 2x1 PNG beside the model under another case, and a texture map that is not there.
    ASSERT_TRUE(WritePng((dir.Path() / "Wood.PNG").string(), 2, 1, {10, 20, 30, 200, 150, 100}));
    dir.Write("m.mtl", "newmtl gone\nmap_Kd -s 1 1 1 missing.png\nnewmtl wood\nmap_Kd C:\\maps\\wood.png\n");
    const auto r = Load(dir.Write("m.obj", "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\n"
                                           "usemtl wood\nf 1/1 2/1 3/1\n"));
    ASSERT_TRUE(r.model);
    const Model& model = *r.model;
    ASSERT_EQ(model.TextureCount(), 1);
    EXPECT_EQ(model.hasTextures, 1);
    EXPECT_EQ(model.textures[0].name, "C:\\maps\\wood.png");
    EXPECT_EQ(model.textures[0].width, 2);
    EXPECT_EQ(model.textures[0].height, 1);
    EXPECT_EQ(model.textures[0].pixels, (std::vector<uint8_t>{10, 20, 30, 200, 150, 100}));
    // The material whose picture is missing takes the first one that loaded.
    EXPECT_EQ(model.materials[0].textureIndex, 0);
    EXPECT_EQ(model.materials[1].textureIndex, 0);
    EXPECT_EQ(ValidateModel(model), "");
}

TEST(Dispatch, FailureCodesAndTheirMessages)
{
    ScratchDir dir;
    LoadContext ctx;
    EXPECT_FALSE(LoadModelFile(dir.Write("thing.dat", "hello world"), ctx));
    EXPECT_EQ(ctx.result.load(), 101);
    EXPECT_EQ(ctx.done.load(), -1);
    EXPECT_FALSE(LoadModelFile((dir.Path() / "missing.obj").string(), ctx));
    EXPECT_EQ(ctx.result.load(), 102);
    EXPECT_STREQ(ResultMessage(ctx), "The file is not found, it may have been moved or renamed.\n");
    // A success after failures reports no error again.
    EXPECT_TRUE(LoadModelFile(dir.Write("ok.obj", "v 0 0 0\n"), ctx));
    EXPECT_EQ(ctx.result.load(), 100);
    EXPECT_EQ(ctx.done.load(), -1);
}

TEST(Dispatch, CancelFromAnotherThreadEndsTheLoad)
{
    ScratchDir dir;
    std::string text;
    text.reserve(40u << 20);
    for (int i = 0; i < 1200000; ++i) text += "v 1.5 2.5 3.5\nf 1 1 1\n";
    const std::string path = dir.Write("big.obj", text);
    for (int round = 0; round < 3; ++round) {
        LoadContext ctx;
        ResetProgress(ctx);
        LoadRequest request;
        request.path = path;
        std::thread worker([&] { LoadModelFile(request, ctx); });
        while (ctx.done.load() == 0) std::this_thread::yield();  // reading has begun
        FinishProgress(ctx);
        worker.join();
        EXPECT_FALSE(request.model);
        EXPECT_EQ(ctx.total.load(), -1);
        EXPECT_EQ(ctx.done.load(), -1);
    }
    // The same file loads completely without a cancel, with progress reaching the total.
    LoadContext ctx;
    ResetProgress(ctx);
    LoadRequest request;
    request.path = path;
    std::atomic<int> maxSeen{0};
    std::thread worker([&] { LoadModelFile(request, ctx); });
    for (int value = 0; value != 500;) {
        value = ProgressOf(ctx);
        maxSeen = std::max(maxSeen.load(), value);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    ASSERT_TRUE(request.model);
    EXPECT_EQ(request.model->subMeshes[0].VertexCount(), 1200000);
    EXPECT_EQ(maxSeen.load(), 500);
}

TEST(ObjCorpus, TextureMapsLoadWithTheirPictures)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto dir = test::SharedDir() / "corpus/models/OBJ";
    auto r = Load((dir / "rifle.obj").string());
    ASSERT_TRUE(r.model);
    ASSERT_EQ(r.model->TextureCount(), 1);
    const Texture& rifle = r.model->textures[0];
    EXPECT_EQ(rifle.name, "m_rifl.bmp");
    const auto bmp = LoadImageFile((dir / "m_rifl.bmp").string().c_str(), Format::Bmp);
    ASSERT_TRUE(bmp);
    EXPECT_EQ(rifle.width, 256);
    EXPECT_EQ(rifle.height, 256);
    EXPECT_TRUE(rifle.pixels == bmp->pixels);
    // 337 vertices and 1716 coordinates: the corners' own numbers reach all of them.
    const auto& indices = r.model->subMeshes[0].faceTexCoordIndices;
    ASSERT_FALSE(indices.empty());
    EXPECT_EQ(*std::max_element(indices.begin(), indices.end()), 1715u);

    // Written ".\name.jpg"; the library's last line (the fifth map) has no line end and is not read.
    r = Load((dir / "spider.obj").string());
    ASSERT_TRUE(r.model);
    const Model& spider = *r.model;
    ASSERT_EQ(spider.TextureCount(), 4);
    const std::pair<const char*, int> textures[] = {
        {".\\wal67ar_small.jpg", 250}, {".\\wal69ar_small.jpg", 250}, {".\\SpiderTex.jpg", 249}, {".\\drkwood2.jpg", 768}};
    for (size_t t = 0; t < 4; ++t) {
        EXPECT_EQ(spider.textures[t].name, textures[t].first);
        EXPECT_EQ(spider.textures[t].width, textures[t].second);
        EXPECT_EQ(spider.materials[t].textureIndex, static_cast<int32_t>(t));
    }
    EXPECT_EQ(spider.materials[4].textureIndex, -1);
    EXPECT_EQ(ValidateModel(spider), "");
}

TEST(ObjCorpus, FilesWithoutTextureMapsKeepTheVertexOrderCoordinates)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/OBJ", {".obj"});
    ASSERT_FALSE(files.empty());
    int checked = 0;
    for (const auto& file : files) {
        const std::string stem = file.stem().string();
        if (stem == "rifle" || stem == "spider") continue;
        const auto r = Load(file.string());
        ASSERT_TRUE(r.model) << file;
        EXPECT_EQ(r.model->TextureCount(), 0) << file;
        EXPECT_EQ(r.model->hasTextures, 0) << file;
        const SubMesh& mesh = r.model->subMeshes[0];
        if (mesh.TexCoordCount() == 0) {
            EXPECT_TRUE(mesh.faceTexCoordIndices.empty()) << file;
            continue;
        }
        std::vector<uint32_t> expected = mesh.faceIndices;
        for (uint32_t& index : expected) index = std::min(index, static_cast<uint32_t>(mesh.TexCoordCount() - 1));
        EXPECT_EQ(mesh.faceTexCoordIndices, expected) << file;
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

}  // namespace
}  // namespace solvane
