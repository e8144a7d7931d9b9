// The DirectX reader: text and binary token streams, materials and textures, refusals and hostile
// counts, and the shared corpus.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "core/load_result.h"
#include "core/reader_input.h"
#include "core/validate.h"
#include "formats/xfile.h"
#include "tests/reader_fixtures.h"

namespace solvane {
namespace {

using test::Corners;
using test::ExpectCodes;
using test::LoadBytes;
using test::ScratchDir;
using namespace test::xfile;

// The reader alone, so that texture names stay although no image is there.
std::unique_ptr<Model> ReadAlone(const std::string& bytes, int32_t* code = nullptr)
{
    return test::ReadValid(ReadXFile, "alone.x", bytes, code);
}

TEST(XText, CubeWithOneReferencedMaterialLeavesTheVerticesAsStored)
{
    const auto r = LoadBytes("cube.x", kCubeText);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(ValidateModel(*r.model), "");
    EXPECT_EQ(r.model->formatId, 10);
    ASSERT_EQ(r.model->SubMeshCount(), 1);
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.name, "Cube");
    ASSERT_EQ(mesh.VertexCount(), 8);
    EXPECT_EQ(mesh.bounds, (std::array<float, 6>{-1, 1, -1, 1, -1, 1}));  // the frame's matrix is not applied
    EXPECT_EQ(mesh.centroid, (std::array<float, 3>{0, 0, 0}));
    ASSERT_EQ(mesh.FaceCount(), 6);
    EXPECT_EQ(Corners(mesh, 3), (std::vector<uint32_t>{1, 2, 6, 5}));
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>(6, 0)));  // one index for all faces
    EXPECT_TRUE(mesh.normals.empty());
    ASSERT_EQ(r.model->MaterialCount(), 1);
    const Material& red = r.model->materials[0];
    EXPECT_EQ(red.name, "Red");
    EXPECT_EQ(red.color, (std::array<float, 3>{1, 0, 0}));
    EXPECT_FLOAT_EQ(red.transparency, 0.5f);
    EXPECT_EQ(red.specular, (std::array<float, 3>{0.25f, 0.25f, 0.25f}));
    EXPECT_EQ(red.diffuse, red.color);  // the emissive colour was there
    EXPECT_EQ(red.textureIndex, -1);
    EXPECT_EQ(r.model->hasColor, 1);
    EXPECT_EQ(r.model->hasTransparency, 1);
    EXPECT_EQ(r.model->hasSpecular, 1);
    EXPECT_EQ(r.model->hasDiffuse, 1);
}

TEST(XText, InlineMaterialsReferencesAndSharedTextures)
{
    const std::string file =
        "xof 0302txt 0064\n"
        "material Red { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"wood.bmp\"; } }\n"
        "Material Red { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }\n"
        "Mesh {\n"
        " 3; 0;0;0;, 1;0;0;, 0;1;0;;\n"
        " 3; 3;0,1,2;, 3;2,1,0;, 3;0,0,0;;\n"
        " MeshMaterialList {\n"
        "  3; 3; 2, 1, 0;;\n"
        "  {Red}\n"
        "  Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;;\n"
        "   TextureFileName { \"wood.bmp\"; }\n"
        "  }\n"
        "  Material Named { 1;1;1;1;; 0; 0;0;0;; TextureFilename { \"a#b//c.bmp\"; } }\n"
        " }\n"
        "}\n";
    const auto model = ReadAlone(file);
    ASSERT_TRUE(model);
    EXPECT_EQ(ValidateModel(*model), "");
    ASSERT_EQ(model->MaterialCount(), 4);
    EXPECT_EQ(model->materials[2].name, "Inline Material 3");
    EXPECT_EQ(model->materials[3].name, "Named");
    ASSERT_EQ(model->TextureCount(), 2);  // wood.bmp once, shared
    EXPECT_EQ(model->textures[0].name, "wood.bmp");
    EXPECT_EQ(model->textures[1].name, "a#b//c.bmp");  // comment marks inside quotes stay
    EXPECT_EQ(model->materials[0].textureIndex, 0);
    EXPECT_EQ(model->materials[1].textureIndex, -1);
    EXPECT_EQ(model->materials[2].textureIndex, 0);
    EXPECT_EQ(model->materials[3].textureIndex, 1);
    const SubMesh& mesh = model->subMeshes[0];
    EXPECT_EQ(mesh.name, "{");  // a nameless mesh scans the brace as its name
    // Entry 0 is the first material named Red, entry 1 the inline one, entry 2 "Named".
    EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{3, 2, 0}));
    // The flags describe the material read last, whose emissive colour is missing.
    EXPECT_EQ(model->hasColor, 1);
    EXPECT_EQ(model->hasSpecular, 1);
    EXPECT_EQ(model->hasDiffuse, 0);
    EXPECT_EQ(model->materials[3].diffuse, (std::array<float, 3>{0, 0, 0}));
}

TEST(XText, CommentsNormalsAndTextureCoordinates)
{
    const std::string file =
        "xof 0303txt 0032\n"
        "# a comment line\n"
        "template Mesh { <3D82AB44-62DA-11cf-AB39-0020AF71E433> DWORD nVertices; [...] }\n"
        "Mesh tri { // the mesh\n"
        "  3; # three\n"
        "  0;0;0;, 2;0;0;, 0;2;0;;\n"
        "  1; 3;0,1,2;;\n"
        "  VertexDuplicationIndices { 3; 3; 0, 1, 2; }\n"
        "  MeshNormals { 3; 0;0;1;, 0;0;1;, 0;0;1;; 1; 3;0,1,2;; }\n"
        "  MeshTextureCoords { 2; 0.5;0.25;, 1;1;; }\n"
        "}\n";
    const auto r = LoadBytes("tri.x", file);
    ASSERT_TRUE(r.model) << r.code;
    EXPECT_EQ(ValidateModel(*r.model), "");
    const SubMesh& mesh = r.model->subMeshes[0];
    EXPECT_EQ(mesh.name, "tri");
    EXPECT_EQ(mesh.vertices, (std::vector<float>{0, 0, 0, 2, 0, 0, 0, 2, 0}));
    EXPECT_EQ(mesh.normals, (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1}));
    EXPECT_EQ(mesh.texCoords, (std::vector<float>{0.5f, 0.25f, 1, 1}));
    // Texture coordinate i belongs to vertex i, clamped to the coordinates there are.
    EXPECT_EQ(mesh.faceTexCoordIndices, (std::vector<uint32_t>{0, 1, 1}));
    EXPECT_TRUE(mesh.faceMaterials.empty());
    EXPECT_EQ(r.model->MaterialCount(), 0);
}

TEST(XText, NormalsThatDoNotPairWithTheVerticesAreDropped)
{
    const std::string file =
        "xof 0303txt 0032\n"
        "Mesh m { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
        "  MeshNormals { 1; 0;0;1;; 1; 3;0,0,0;; } }\n";
    const auto model = ReadAlone(file);
    ASSERT_TRUE(model);
    EXPECT_TRUE(model->subMeshes[0].normals.empty());
    EXPECT_EQ(ValidateModel(*model), "");
}

TEST(XText, MaterialWithoutAlphaStaysOpaqueAndClearsTheColourFlags)
{
    const std::string file =
        "xof 0303txt 0032\n"
        "Material Full { 1;1;1;0.5;; 2; 1;1;1;; 0;0;0;; }\n"
        "Material Short { 0.5;0.5;0.5;; }\n"
        "Mesh m { 1; 0;0;0;; 0;; }\n";
    const auto model = ReadAlone(file);
    ASSERT_TRUE(model);
    ASSERT_EQ(model->MaterialCount(), 2);
    EXPECT_FLOAT_EQ(model->materials[0].transparency, 0.5f);
    EXPECT_EQ(model->materials[1].transparency, 0.0f);
    EXPECT_EQ(model->materials[1].color, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(model->hasColor, 0);
    EXPECT_EQ(model->hasTransparency, 0);
    EXPECT_EQ(model->hasSpecular, 0);
    EXPECT_EQ(model->hasDiffuse, 0);
}

TEST(XText, DeepNestingEndsWithoutExhaustingTheStack)
{
    std::string frames;
    for (int i = 0; i < 5000; ++i) frames += "Frame f {\n";
    std::string braces(200000, '{');
    int32_t code = 0;
    EXPECT_FALSE(ReadAlone("xof 0303txt 0032\n" + frames + "Mesh m { 1; 0;0;0;; 0;; }\n", &code));
    EXPECT_EQ(code, 1700);  // frames nested this deep are passed over, mesh and all
    EXPECT_FALSE(ReadAlone("xof 0303txt 0032\n" + braces + "\n", &code));
    EXPECT_EQ(code, 1700);
    // Shallow frames are read.
    EXPECT_TRUE(ReadAlone("xof 0303txt 0032\n" + frames.substr(0, 100 * 10) + "Mesh m { 1; 0;0;0;; 0;; }\n"));
}

TEST(XText, ReadXLineCutsCommentsOutsideStrings)
{
    ScratchDir dir;
    const std::string path = dir.Write("lines.txt", "  a 1; // c\n\n\"x//y\" # z\nplain\r\nlast");
    LoadContext ctx;
    ReaderInput in(ctx);
    ASSERT_TRUE(in.Open(path));
    std::string line;
    EXPECT_EQ(ReadXLine(in, line), 12);
    EXPECT_EQ(line, "a 1; \n");
    EXPECT_GT(ReadXLine(in, line), 0);
    EXPECT_EQ(line, "\"x//y\" \n");
    EXPECT_GT(ReadXLine(in, line), 0);
    EXPECT_EQ(line, "plain\n");
    EXPECT_EQ(ReadXLine(in, line), -1);  // a last line without a line feed is not returned
}

// ---- Binary form -----------------------------------------------------------------------------

TEST(XBinary, TokenStreamWithBothStringTerminators)
{
    for (bool doubles : {false, true}) {
        for (bool longTerminators : {false, true}) {
            SCOPED_TRACE(testing::Message() << "doubles " << doubles << " long " << longTerminators);
            const auto model = ReadAlone(BinaryCube(doubles, longTerminators));
            ASSERT_TRUE(model);
            EXPECT_EQ(ValidateModel(*model), "");
            ASSERT_EQ(model->SubMeshCount(), 1);
            const SubMesh& mesh = model->subMeshes[0];
            EXPECT_EQ(mesh.name, "Quad");
            EXPECT_EQ(mesh.vertices, (std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5f}));
            EXPECT_EQ(mesh.bounds, (std::array<float, 6>{0, 1, 0, 1, 0, 0.5f}));
            ASSERT_EQ(mesh.FaceCount(), 2);
            EXPECT_EQ(Corners(mesh, 1), (std::vector<uint32_t>{0, 2, 3}));
            EXPECT_EQ(mesh.TexCoordCount(), 4);
            EXPECT_EQ(mesh.faceMaterials, (std::vector<int32_t>{0, 0}));
            ASSERT_EQ(model->MaterialCount(), 1);
            EXPECT_EQ(model->materials[0].name, "Blue");
            EXPECT_FLOAT_EQ(model->materials[0].transparency, 0.25f);
            EXPECT_EQ(model->materials[0].specular, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
            ASSERT_EQ(model->TextureCount(), 1);
            EXPECT_EQ(model->textures[0].name, "blue.bmp");
            EXPECT_EQ(model->materials[0].textureIndex, 0);
        }
    }
}

// ---- Refusals and hostile input ----------------------------------------------------------------

TEST(XFile, RefusedAndHostileFilesGive1700)
{
    const std::string text = "xof 0303txt 0032\n";
    const std::string mesh = "\nMesh m { 1; 0;0;0;; 0;; }\n";
    std::vector<std::string> files = {
        "", "xo", "xof", "XOF 0303txt 0032" + mesh,  // magic in upper case
        "xof 0303com 0032" + mesh, "xof 0303tzip0032" + mesh, "xof 0303bzip0032" + mesh,
        text + "Material M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n",  // no mesh
        text + "Mesh m { 3; 0;0;0;, 1;0;0;; }\n",               // vertices missing
        text + "Mesh m { 1; 0;0;0;; 2; 3;0,0,0;; }\n",          // faces missing
        text + "Mesh m { 1; 0;0;0;; 1; 3;0,0;; }\n",            // corners missing
        // Counts far beyond the file.
        text + "Mesh m { 2147483647; 0;0;0;; 0;; }\n", text + "Mesh m { 2147483648; 0;0;0;; 0;; }\n",
        text + "Mesh m { -1; 0;0;0;; 0;; }\n", text + "Mesh m { 1; 0;0;0;; 2147483647; 3;0,0,0;; }\n",
        text + "Mesh m { 1; 0;0;0;; 1; 2147483647;0,0,0;; }\n",
        text + "Mesh m { 1; 0;0;0;; 1; 3;0,0,0;; MeshNormals { 1e30; 0;0;1;; } }\n",
        text + "Mesh m { 1; 0;0;0;; 1; 3;0,0,0;; MeshTextureCoords { 2147483647; 0;0;; } }\n",
        text + "Mesh m { 1; 0;0;0;; 1; 3;0,0,0;; MeshMaterialList { 1; 2147483647; 0;; } }\n",
    };
    // Binary: a vertex count of 2^31, and list lengths beyond the file.
    for (int64_t count : {int64_t{0x80000000LL}, int64_t{INT_MAX}, int64_t{0xFFFFFFFFLL}}) {
        Tokens vertices, list;
        vertices.bytes.Text("xof 0303bin 0032");
        vertices.Name("Mesh").Open().Ints({count}).Floats({0, 0, 0}).Ints({0}).Close();
        list.bytes.Text("xof 0303bin 0032");
        list.Name("Mesh").Open().Word(7).Dword(count).Close();
        files.push_back(vertices.bytes.data);
        files.push_back(list.bytes.data);
    }
    ExpectCodes("bad.x", LoadResult::NotValidX, files);
}

// ---- The shared corpus -----------------------------------------------------------------------

TEST(XCorpus, BinaryCubeAndTexturedTextCube)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto binary = test::Load((test::SharedDir() / "corpus/models/X/test_cube_binary.x").string());
    ASSERT_TRUE(binary.model) << binary.code;
    ASSERT_EQ(binary.model->SubMeshCount(), 1);
    EXPECT_EQ(binary.model->subMeshes[0].name, "Cube");
    EXPECT_EQ(binary.model->subMeshes[0].VertexCount(), 24);
    EXPECT_EQ(binary.model->subMeshes[0].FaceCount(), 12);
    EXPECT_EQ(binary.model->subMeshes[0].NormalCount(), 24);
    ASSERT_EQ(binary.model->MaterialCount(), 1);
    EXPECT_EQ(binary.model->materials[0].name, "Material");
    EXPECT_EQ(binary.model->subMeshes[0].faceMaterials, std::vector<int32_t>(12, 0));

    const auto text = test::Load((test::SharedDir() / "corpus/models/X/test.x").string());
    ASSERT_TRUE(text.model) << text.code;
    EXPECT_EQ(text.model->subMeshes[0].name, "pCubeShape1");
    EXPECT_EQ(text.model->subMeshes[0].FaceCount(), 12);
    EXPECT_EQ(text.model->materials[0].name, "Inline Material 1");
    // ".\\test.png": found beside the model.
    ASSERT_EQ(text.model->TextureCount(), 1);
    EXPECT_EQ(text.model->textures[0].height, 512);
    EXPECT_EQ(text.model->materials[0].textureIndex, 0);
}

}  // namespace
}  // namespace solvane
