#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "load/dispatch.h"
#include "core/validate.h"
#include "tests/reader_test_support.h"

namespace solvane {
namespace {

using test::Corners;
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
    ASSERT_EQ(mesh.FaceCount(), 4);
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 2, 3}));
    EXPECT_EQ(Corners(mesh, 2), (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(Corners(mesh, 3), (std::vector<uint32_t>{3, 2, 1}));
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
    ASSERT_EQ(mesh.FaceCount(), 4);
    EXPECT_EQ(Corners(mesh, 0), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 1, 3}));
    EXPECT_EQ(Corners(mesh, 2), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(Corners(mesh, 3), (std::vector<uint32_t>{3, 0, 0}));
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

}  // namespace
}  // namespace solvane
