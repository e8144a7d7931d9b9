// The Rhino 3DM reader: mesh objects and their materials, failures, CRC damage and hostile counts,
// and the chunk stream itself.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>

#include "core/load_context.h"
#include "core/load_result.h"
#include "core/reader_input.h"
#include "core/validate.h"
#include "rhino/rhino_file.h"
#include "rhino/rhino_model.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::LoadOutcome;
using test::RhinoWriter;
using namespace test::rhino;

LoadOutcome ReadRhino(const std::string& bytes) { return test::ReadBytes(ReadRhinoFile, "model.3dm", bytes); }

TEST(RhinoReader, TwoMeshObjectsFirstWithMaterial)
{
    const LoadOutcome out = ReadRhino(TwoMeshFile());
    ASSERT_TRUE(out.model) << out.code;
    const Model& model = *out.model;
    EXPECT_EQ(ValidateModel(model), "");
    ASSERT_EQ(model.SubMeshCount(), 2);
    ASSERT_EQ(model.MaterialCount(), 1);
    ASSERT_EQ(model.TextureCount(), 1);

    const Material& material = model.materials[0];
    EXPECT_EQ(material.name, "Chrome");
    EXPECT_FLOAT_EQ(material.color[0], 0x99 / 255.0f);
    EXPECT_FLOAT_EQ(material.color[1], 0x66 / 255.0f);
    EXPECT_FLOAT_EQ(material.color[2], 0x33 / 255.0f);
    EXPECT_EQ(material.diffuse, material.color);
    EXPECT_EQ(material.specular, material.color);
    EXPECT_FLOAT_EQ(material.transparency, 0.2f);
    EXPECT_EQ(model.hasColor, 1);
    EXPECT_EQ(model.hasDiffuse, 1);
    EXPECT_EQ(model.hasSpecular, 1);
    EXPECT_EQ(model.hasTransparency, 1);
    // The bump map's name wins over the texture map's.
    EXPECT_EQ(model.textures[0].name, "maps/bump.bmp");
    EXPECT_EQ(material.textureIndex, 0);

    const SubMesh& a = model.subMeshes[0];
    ASSERT_EQ(a.VertexCount(), 4);
    EXPECT_FLOAT_EQ(a.vertices[3], 2.0f);   // x of vertex 1 at the box's max
    EXPECT_FLOAT_EQ(a.vertices[7], 4.0f);   // y of vertex 2
    EXPECT_FLOAT_EQ(a.vertices[11], 8.0f);  // z of vertex 3
    ASSERT_EQ(a.FaceCount(), 2);
    EXPECT_EQ(a.FaceCorners(0), 4);
    EXPECT_EQ(a.FaceCorners(1), 3);
    EXPECT_EQ(a.faceMaterials, (std::vector<int32_t>{0, 0}));
    ASSERT_EQ(a.NormalCount(), 4);
    EXPECT_FLOAT_EQ(a.normals[0], 1.0f);
    EXPECT_FLOAT_EQ(a.normals[5], -1.0f);
    EXPECT_NEAR(a.normals[6], std::sqrt(0.5f), 1e-6);
    ASSERT_EQ(a.TexCoordCount(), 4);
    EXPECT_FLOAT_EQ(a.texCoords[2], 1.0f);
    EXPECT_FLOAT_EQ(a.texCoords[7], 32768 / 65535.0f);
    EXPECT_EQ(a.faceTexCoordIndices, a.faceIndices);
    EXPECT_FLOAT_EQ(a.bounds[1], 2.0f);

    const SubMesh& b = model.subMeshes[1];
    ASSERT_EQ(b.FaceCount(), 1);
    EXPECT_EQ(std::vector<uint32_t>(b.FaceIndices(0), b.FaceIndices(0) + b.FaceCorners(0)),
              (std::vector<uint32_t>{7, 8, 9}));
    EXPECT_EQ(b.faceMaterials, (std::vector<int32_t>{-1}));
    EXPECT_TRUE(b.normals.empty());
    EXPECT_TRUE(b.faceTexCoordIndices.empty());
}

TEST(RhinoReader, MaterialWithoutRenderNameIsNumbered)
{
    RhinoWriter w;
    WriteMeshObject(w, MeshSpec{}, [](RhinoWriter& a) { a.Short(TCODE_RGB, 0x000000FF); });
    WriteMeshObject(w, MeshSpec{}, [](RhinoWriter& a) {
        a.Begin(TCODE_RENDER_MATERIAL_NAME);
        a.Int32(0);
        a.End();
    });
    const LoadOutcome out = ReadRhino(w.Data());
    ASSERT_TRUE(out.model);
    ASSERT_EQ(out.model->MaterialCount(), 2);
    EXPECT_EQ(out.model->materials[0].name, "Material 0");
    EXPECT_EQ(out.model->materials[1].name, "Material 1");
    EXPECT_FLOAT_EQ(out.model->materials[0].color[0], 1.0f);
    EXPECT_EQ(out.model->TextureCount(), 0);
    EXPECT_EQ(out.model->subMeshes[1].faceMaterials, (std::vector<int32_t>{1, 1}));
}

TEST(RhinoReader, SeventyThousandVerticesUseInt32Indices)
{
    MeshSpec mesh;
    mesh.vertices.assign(70000, {1, 2, 3});
    mesh.faces = {{0, 69999, 65536, 65536}, {1, 2, 3, 4}};
    RhinoWriter w;
    WriteMeshObject(w, mesh);
    const LoadOutcome out = ReadRhino(w.Data());
    ASSERT_TRUE(out.model);
    const SubMesh& s = out.model->subMeshes[0];
    EXPECT_EQ(s.VertexCount(), 70000);
    EXPECT_EQ(std::vector<uint32_t>(s.FaceIndices(0), s.FaceIndices(0) + 3),
              (std::vector<uint32_t>{0, 69999, 65536}));
    EXPECT_EQ(s.FaceCorners(1), 4);
    EXPECT_EQ(ValidateModel(*out.model), "");
}

TEST(RhinoReader, FailuresAndHostileCountsReportNoMeshes)
{
    // Only a NURBS surface.
    RhinoWriter onlySurface;
    onlySurface.Begin(TCODE_RHINO_OBJECT_NURBS_SURFACE);
    onlySurface.Int32(5);
    onlySurface.End();
    // A mesh object whose first chunk is not the compressed geometry.
    RhinoWriter wrongFirst;
    wrongFirst.Begin(TCODE_MESH_OBJECT);
    wrongFirst.Short(TCODE_RGB, 1);
    wrongFirst.End();
    // Header of version 2, and a header with the wrong text.
    RhinoWriter version2(2);
    WriteMeshObject(version2, MeshSpec{});
    std::string wrongText = TwoMeshFile();
    wrongText[0] = '4';
    // A chunk longer than the file.
    RhinoWriter tooLong;
    tooLong.Int32(TCODE_MESH_OBJECT);
    tooLong.Int32(1000);
    tooLong.Int32(0);
    // A string length beyond its chunk.
    RhinoWriter longString;
    WriteMeshObject(longString, MeshSpec{}, [](RhinoWriter& a) {
        a.Begin(TCODE_TEXTUREMAP);
        a.Int32(INT_MAX);
        a.End();
    });
    std::vector<std::string> files = {RhinoWriter().Data(), onlySurface.Data(), wrongFirst.Data(), version2.Data(),
                                      wrongText, tooLong.Data(), longString.Data(), ""};
    // Vertex and face counts far beyond the file.
    for (int64_t count : {int64_t{INT_MAX}, int64_t{0x80000000}, int64_t{0xFFFFFFFF}}) {
        for (bool vertices : {true, false}) {
            MeshSpec mesh;
            (vertices ? mesh.vertexCountField : mesh.faceCountField) = count;
            RhinoWriter w;
            WriteMeshObject(w, mesh);
            files.push_back(w.Data());
        }
    }
    test::ExpectCodes("m.3dm", LoadResult::NoRhinoMeshes, files);
}

TEST(RhinoReader, CrcDamageFailsTheLoad)
{
    const std::string good = TwoMeshFile();
    ASSERT_TRUE(ReadRhino(good).model);
    // Every byte of the kernel-data chunk counts, the unread ones and the CRC itself included.
    const size_t start = good.find("kernel bytes");
    ASSERT_NE(start, std::string::npos);
    std::vector<std::string> damaged;
    for (size_t at : {start, start + 10, start + 30, start + 31}) {
        damaged.push_back(good);
        damaged.back()[at] = static_cast<char>(damaged.back()[at] ^ 0x40);
    }
    test::ExpectCodes("m.3dm", LoadResult::NoRhinoMeshes, damaged);
}

TEST(RhinoReader, CornersBeyondTheVerticesAreClamped)
{
    MeshSpec mesh;
    mesh.faces = {{0, 1, 2, 60000}};
    RhinoWriter w;
    WriteMeshObject(w, mesh);
    const LoadOutcome out = ReadRhino(w.Data());
    ASSERT_TRUE(out.model);
    EXPECT_EQ(out.model->subMeshes[0].faceIndices, (std::vector<uint32_t>{0, 1, 2, 3}));
}

TEST(RhinoReader, DispatchLoadsByExtension)
{
    test::ScratchDir dir;
    const std::string path = dir.Write("two.3dm", TwoMeshFile());
    const test::LoadOutcome out = test::Load(path);
    ASSERT_TRUE(out.model) << out.code;
    EXPECT_EQ(out.model->formatId, 25);
    EXPECT_EQ(out.model->subMeshes[0].name, "Mesh1");
    // The named images do not exist: the texture is dropped and the material left untextured.
    EXPECT_EQ(out.model->TextureCount(), 0);
    EXPECT_EQ(out.model->materials[0].textureIndex, -1);
    EXPECT_EQ(ValidateModel(*out.model), "");
}

// ---- The chunk stream itself ----

class RhinoStream : public ::testing::Test {
protected:
    void Open(const std::string& bytes)
    {
        path_ = dir_.Write("stream.3dm", bytes);
        ASSERT_TRUE(in_.Open(path_));
    }
    test::ScratchDir dir_;
    std::string path_;
    LoadContext ctx_;
    ReaderInput in_{ctx_};
};

TEST_F(RhinoStream, EmptyFileAfterHeaderEndsAtOnce)
{
    Open(RhinoWriter().Data());
    CRhinoFile archive(in_);
    std::unique_ptr<CRhinoChunk> object;
    EXPECT_EQ(archive.ReadObject(object), RhinoStatus::EndOfFile);
    EXPECT_TRUE(archive.AtEndOfFile());
}

TEST_F(RhinoStream, FileRecordsAreKeptByTheArchive)
{
    Open(TwoMeshFile());
    CRhinoFile archive(in_);
    std::unique_ptr<CRhinoChunk> object;
    ASSERT_EQ(archive.ReadObject(object), RhinoStatus::Good);
    EXPECT_STREQ(object->ClassName(), "CRhinoNurbsSurface");
    ASSERT_EQ(archive.layers.size(), 1u);
    EXPECT_EQ(archive.layers[0]->name, "Default");
    EXPECT_EQ(archive.layers[0]->color, 0x00112233u);
    ASSERT_TRUE(archive.notes);
    EXPECT_EQ(archive.notes->text, "notes");
    EXPECT_EQ(archive.units, 2);
    EXPECT_DOUBLE_EQ(archive.absoluteTolerance, 0.05);
    EXPECT_DOUBLE_EQ(archive.relativeTolerance, 0.02);
    EXPECT_DOUBLE_EQ(archive.angleTolerance, 0.1);

    ASSERT_EQ(archive.ReadObject(object), RhinoStatus::Good);
    EXPECT_STREQ(object->ClassName(), "CRhinoMesh");
    const auto& mesh = dynamic_cast<const CRhinoMesh&>(*object);
    EXPECT_TRUE(mesh.IsValid());
    EXPECT_EQ(mesh.Name(), "first mesh");
    ASSERT_TRUE(mesh.Material());
    EXPECT_EQ(mesh.Material()->colors[0] & 0xFF, 0x99u);  // red in the lowest byte
    EXPECT_EQ(mesh.Material()->colors[1], 0x00336699u);
    std::array<double, 6> box{};
    ASSERT_TRUE(mesh.GetBoundingBox(box));
    EXPECT_DOUBLE_EQ(box[4], 4.0);

    ASSERT_EQ(archive.ReadObject(object), RhinoStatus::Good);
    EXPECT_FALSE(dynamic_cast<const CRhinoMesh&>(*object).Material());
    EXPECT_EQ(archive.ReadObject(object), RhinoStatus::EndOfFile);
}

TEST_F(RhinoStream, ZeroLengthAndShortChunks)
{
    RhinoWriter w;
    w.Begin(TCODE_STUFF);
    w.End();
    w.Short(TCODE_RGB, 0x00336699);
    Open(w.Data());
    CRhinoFile archive(in_);
    std::unique_ptr<CRhinoChunk> chunk;
    ASSERT_EQ(archive.ReadChunk(chunk), RhinoStatus::Good);
    EXPECT_EQ(chunk->Typecode(), TCODE_STUFF);
    EXPECT_EQ(chunk->Value(), 0u);
    ASSERT_EQ(archive.ReadChunk(chunk), RhinoStatus::Good);
    EXPECT_STREQ(chunk->ClassName(), "CRhinoRGB");
    EXPECT_TRUE(chunk->IsShortChunk());
    EXPECT_EQ(chunk->Value(), 0x00336699u);
    EXPECT_EQ(archive.ReadChunk(chunk), RhinoStatus::EndOfFile);
}

TEST_F(RhinoStream, DamagedKernelChunkIsStatusOne)
{
    RhinoWriter w;
    WriteKernelData(w);
    std::string bytes = w.Data();
    bytes[32 + 8 + 3] ^= 1;
    Open(bytes);
    CRhinoFile archive(in_);
    std::unique_ptr<CRhinoChunk> chunk;
    EXPECT_EQ(archive.ReadChunk(chunk), RhinoStatus::BadChunk);
    EXPECT_TRUE(chunk->IsCrcChunk());
}

TEST_F(RhinoStream, HeaderWithVersionTwoThrows)
{
    Open(RhinoWriter(2).Data());
    EXPECT_THROW(CRhinoFile archive(in_), CRhinoException);
}

TEST(RhinoTypecodes, NamesAndCrcRange)
{
    EXPECT_STREQ(RhinoTypecodeName(TCODE_MESH_OBJECT), "TCODE_MESH_OBJECT");
    EXPECT_STREQ(RhinoTypecodeName(0x00010105u), "TCODE_AG_BOUNDARYSTUFF");
    EXPECT_STREQ(RhinoTypecodeName(0x0200000Fu), "TCODE_NOTES");
    EXPECT_STREQ(RhinoTypecodeName(0x80400013u), "TCODE_LAYER_OBSELETE_1");
    EXPECT_STREQ(RhinoTypecodeName(TCODE_ENDOFTABLE), "TCODE_ENDOFTABLE");
    EXPECT_STREQ(RhinoTypecodeName(TCODE_RENDER_MATERIAL_NAME), "unknown typecode");
    EXPECT_STREQ(RhinoTypecodeName(0x12345678u), "unknown typecode");
    EXPECT_FALSE(IsRhinoCrcTypecode(0x00010100u));
    EXPECT_TRUE(IsRhinoCrcTypecode(0x00010101u));
    EXPECT_TRUE(IsRhinoCrcTypecode(0x0001010Au));
    EXPECT_FALSE(IsRhinoCrcTypecode(0x0001010Bu));
}

}  // namespace
}  // namespace solvane
