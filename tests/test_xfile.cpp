#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "core/reader_input.h"
#include "core/validate.h"
#include "formats/xfile.h"
#include "tests/test_support.h"

namespace solvane {
namespace {

using test::Load;
using test::ScratchDir;

std::vector<uint32_t> Corners(const SubMesh& mesh, int32_t face)
{
    return {mesh.FaceIndices(face), mesh.FaceIndices(face) + mesh.FaceCorners(face)};
}

// The reader alone, so that texture names stay although no image is there.
std::unique_ptr<Model> ReadAlone(const ScratchDir& dir, const std::string& bytes, int32_t* code = nullptr)
{
    LoadContext ctx;
    auto model = ReadXFile(dir.Write("alone.x", bytes).c_str(), ctx);
    if (code) *code = ctx.result.load();
    return model;
}

const char* const kCubeText =
    "xof 0303txt 0032\n"
    "Material Red {\n"
    "  1.0;0.0;0.0;0.5;;\n"
    "  12.0;\n"
    "  0.25;0.25;0.25;;\n"
    "  0.0;0.0;0.0;;\n"
    "}\n"
    "Frame Root {\n"
    "  FrameTransformMatrix {\n"
    "    2,0,0,0, 0,2,0,0, 0,0,2,0, 10,20,30,1;;\n"
    "  }\n"
    "  Mesh Cube {\n"
    "    8;\n"
    "    -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;,\n"   // several groups on one line
    "    -1;-1;1;,\n"
    "    1;-1;1;,\n"
    "    1;1;1;,\n"
    "    -1;1;1;;\n"
    "    6;\n"
    "    4;0,1,2,3;,\n"
    "    4;4,5,6,7;,\n"
    "    4;0,1,5,4;,\n"
    "    4;1,2,6,5;,\n"
    "    4;2,3,7,6;,\n"
    "    4;3,0,4,7;;\n"
    "    MeshMaterialList {\n"
    "      1;\n"
    "      1;\n"
    "      0;;\n"
    "      { Red }\n"
    "    }\n"
    "  }\n"
    "}\n";

TEST(XText, CubeWithOneReferencedMaterialLeavesTheVerticesAsStored)
{
    ScratchDir dir;
    const auto r = Load(dir.Write("cube.x", kCubeText));
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
    ScratchDir dir;
    const auto model = ReadAlone(dir, file);
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
    ScratchDir dir;
    const auto r = Load(dir.Write("tri.x", file));
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
    ScratchDir dir;
    const auto model = ReadAlone(dir, file);
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
    ScratchDir dir;
    const auto model = ReadAlone(dir, file);
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
    ScratchDir dir;
    int32_t code = 0;
    EXPECT_FALSE(ReadAlone(dir, "xof 0303txt 0032\n" + frames + "Mesh m { 1; 0;0;0;; 0;; }\n", &code));
    EXPECT_EQ(code, 1700);  // frames nested this deep are passed over, mesh and all
    EXPECT_FALSE(ReadAlone(dir, "xof 0303txt 0032\n" + braces + "\n", &code));
    EXPECT_EQ(code, 1700);
    // Shallow frames are read.
    EXPECT_TRUE(ReadAlone(dir, "xof 0303txt 0032\n" + frames.substr(0, 100 * 10) + "Mesh m { 1; 0;0;0;; 0;; }\n"));
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

struct Tokens {
    std::string data;
    bool doubles = false;
    Tokens& Word(int v) { data.push_back(static_cast<char>(v & 0xFF)); data.push_back(static_cast<char>((v >> 8) & 0xFF)); return *this; }
    Tokens& Dword(int64_t v) { Word(static_cast<int>(v & 0xFFFF)); return Word(static_cast<int>((v >> 16) & 0xFFFF)); }
    Tokens& Name(const std::string& s) { Word(1).Dword(static_cast<int64_t>(s.size())); data += s; return *this; }
    // A string with the 2-byte separator token that written files carry, or the 4-byte form.
    Tokens& String(const std::string& s, bool longTerminator)
    {
        Word(2).Dword(static_cast<int64_t>(s.size()));
        data += s;
        return longTerminator ? Dword(20) : Word(20);
    }
    Tokens& Open() { return Word(10); }
    Tokens& Close() { return Word(11); }
    Tokens& Ints(const std::vector<int64_t>& values)
    {
        Word(6).Dword(static_cast<int64_t>(values.size()));
        for (int64_t v : values) Dword(v);
        return *this;
    }
    Tokens& Floats(const std::vector<double>& values)
    {
        Word(7).Dword(static_cast<int64_t>(values.size()));
        for (double v : values) {
            if (doubles) {
                uint64_t u;
                std::memcpy(&u, &v, 8);
                Dword(static_cast<int64_t>(u & 0xFFFFFFFFu)).Dword(static_cast<int64_t>(u >> 32));
            } else {
                const float f = static_cast<float>(v);
                uint32_t u;
                std::memcpy(&u, &f, 4);
                Dword(u);
            }
        }
        return *this;
    }
};

std::string BinaryCube(bool doubles, bool longTerminators)
{
    Tokens t;
    t.doubles = doubles;
    t.data = std::string("xof 0303bin ") + (doubles ? "0064" : "0032");
    // A template as written files carry them, then a material with its texture.
    t.Word(31).Name("Header").Open().Word(5).data += std::string(16, '\x11');
    t.Word(40).Name("major").Word(20).Close();
    t.Name("Material").Name("Blue").Open().Floats({0, 0, 1, 0.75, 8, 0.5, 0.5, 0.5, 0, 0, 0});
    t.Name("TextureFilename").Open().String("blue.bmp", longTerminators).Close().Close();
    t.Name("Frame").Name("Root").Open();
    t.Name("FrameTransformMatrix").Open().Floats(std::vector<double>(16, 3.0)).Close();
    t.Name("Mesh").Name("Quad").Open().Ints({4});
    t.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0.5});
    t.Ints({2, 3, 0, 1, 2, 3, 0, 2, 3});
    t.Name("SkinWeights").Open().String("Bone", longTerminators).Ints({1, 0}).Floats({1}).Close();
    t.Name("MeshTextureCoords").Open().Ints({4}).Floats({0, 0, 1, 0, 1, 1, 0, 1}).Close();
    t.Name("MeshMaterialList").Open().Ints({1, 2, 0, 0}).Open().Name("Blue").Close().Close();
    t.Close().Close();
    return t.data;
}

TEST(XBinary, TokenStreamWithBothStringTerminators)
{
    ScratchDir dir;
    for (bool doubles : {false, true}) {
        for (bool longTerminators : {false, true}) {
            SCOPED_TRACE(testing::Message() << "doubles " << doubles << " long " << longTerminators);
            const auto model = ReadAlone(dir, BinaryCube(doubles, longTerminators));
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

TEST(XFile, WrongMagicCompressedAndMeshlessFilesGive1700)
{
    ScratchDir dir;
    const std::string mesh = "\nMesh m { 1; 0;0;0;; 0;; }\n";
    const struct {
        std::string bytes;
        const char* what;
    } cases[] = {
        {"", "empty"},
        {"xo", "short"},
        {"xof", "three bytes"},
        {"XOF 0303txt 0032" + mesh, "magic in upper case"},
        {"xof 0303com 0032" + mesh, "com"},
        {"xof 0303tzip0032" + mesh, "tzip"},
        {"xof 0303bzip0032" + mesh, "bzip"},
        {"xof 0303txt 0032\nMaterial M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }\n", "no mesh"},
        {"xof 0303txt 0032\nMesh m { 3; 0;0;0;, 1;0;0;; }\n", "vertices missing"},
        {"xof 0303txt 0032\nMesh m { 1; 0;0;0;; 2; 3;0,0,0;; }\n", "faces missing"},
        {"xof 0303txt 0032\nMesh m { 1; 0;0;0;; 1; 3;0,0;; }\n", "corners missing"},
    };
    for (const auto& c : cases) {
        const auto r = Load(dir.Write("bad.x", c.bytes));
        EXPECT_FALSE(r.model) << c.what;
        EXPECT_EQ(r.code, 1700) << c.what;
    }
}

TEST(XFile, HostileCountsFailFastWithoutAllocating)
{
    ScratchDir dir;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> texts = {
        "xof 0303txt 0032\nMesh m { 2147483647; 0;0;0;; 0;; }\n",
        "xof 0303txt 0032\nMesh m { 2147483648; 0;0;0;; 0;; }\n",
        "xof 0303txt 0032\nMesh m { -1; 0;0;0;; 0;; }\n",
        "xof 0303txt 0032\nMesh m { 1; 0;0;0;; 2147483647; 3;0,0,0;; }\n",
        "xof 0303txt 0032\nMesh m { 1; 0;0;0;; 1; 2147483647;0,0,0;; }\n",
        "xof 0303txt 0032\nMesh m { 1; 0;0;0;; 1; 3;0,0,0;; MeshNormals { 1e30; 0;0;1;; } }\n",
        "xof 0303txt 0032\nMesh m { 1; 0;0;0;; 1; 3;0,0,0;; MeshTextureCoords { 2147483647; 0;0;; } }\n",
        "xof 0303txt 0032\nMesh m { 1; 0;0;0;; 1; 3;0,0,0;; MeshMaterialList { 1; 2147483647; 0;; } }\n",
    };
    for (const std::string& text : texts) {
        const auto r = Load(dir.Write("count.x", text));
        EXPECT_FALSE(r.model) << text;
        EXPECT_EQ(r.code, 1700) << text;
    }
    // Binary: a vertex count of 2^31, and list lengths beyond the file.
    for (int64_t count : {int64_t{0x80000000LL}, int64_t{INT_MAX}, int64_t{0xFFFFFFFFLL}}) {
        Tokens t;
        t.data = "xof 0303bin 0032";
        t.Name("Mesh").Open().Ints({count}).Floats({0, 0, 0}).Ints({0}).Close();
        const auto r = Load(dir.Write("count.x", t.data));
        EXPECT_EQ(r.code, 1700) << count;
        Tokens list;
        list.data = "xof 0303bin 0032";
        list.Name("Mesh").Open().Word(7).Dword(count).Close();
        EXPECT_EQ(Load(dir.Write("list.x", list.data)).code, 1700) << count;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(XFile, EveryTruncationFailsCleanlyOrLoadsAValidModel)
{
    ScratchDir dir;
    for (const std::string& file : {std::string(kCubeText), BinaryCube(false, false), BinaryCube(true, true)}) {
        int loaded = 0;
        for (size_t length = 0; length < file.size(); ++length) {
            const auto r = Load(dir.Write("cut.x", file.substr(0, length)));
            if (r.model) {
                ++loaded;
                EXPECT_EQ(ValidateModel(*r.model), "") << length;
            } else {
                EXPECT_EQ(r.code, 1700) << length;
            }
        }
        EXPECT_GT(loaded, 0);
    }
}

// ---- The shared corpus -----------------------------------------------------------------------

TEST(XCorpus, EveryFileLoadsAValidModel)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto files = test::CorpusFiles("models/X", {".x"}, false);
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        const auto r = Load(file.string());
        ASSERT_TRUE(r.model) << file << " code " << r.code;
        EXPECT_EQ(ValidateModel(*r.model), "") << file;
        EXPECT_GT(TotalFaces(*r.model), 0) << file;
    }
}

TEST(XCorpus, BinaryCubeAndTexturedTextCube)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    const auto binary = Load((test::SharedDir() / "corpus/models/X/test_cube_binary.x").string());
    ASSERT_TRUE(binary.model) << binary.code;
    ASSERT_EQ(binary.model->SubMeshCount(), 1);
    EXPECT_EQ(binary.model->subMeshes[0].name, "Cube");
    EXPECT_EQ(binary.model->subMeshes[0].VertexCount(), 24);
    EXPECT_EQ(binary.model->subMeshes[0].FaceCount(), 12);
    EXPECT_EQ(binary.model->subMeshes[0].NormalCount(), 24);
    ASSERT_EQ(binary.model->MaterialCount(), 1);
    EXPECT_EQ(binary.model->materials[0].name, "Material");
    EXPECT_EQ(binary.model->subMeshes[0].faceMaterials, std::vector<int32_t>(12, 0));

    const auto text = Load((test::SharedDir() / "corpus/models/X/test.x").string());
    ASSERT_TRUE(text.model) << text.code;
    EXPECT_EQ(text.model->subMeshes[0].name, "pCubeShape1");
    EXPECT_EQ(text.model->subMeshes[0].FaceCount(), 12);
    EXPECT_EQ(text.model->materials[0].name, "Inline Material 1");
    // ".\\test.png": PNG is no texture image format, so the texture is dropped.
    EXPECT_EQ(text.model->TextureCount(), 0);
    EXPECT_EQ(text.model->materials[0].textureIndex, -1);
}

TEST(XCorpus, CompressedAndEmptyFilesAreRefused)
{
    SOLVANE_SKIP_WITHOUT_SHARED();
    for (const char* folder : {"models/X/negative", "models/X/invalid"}) {
        const auto files = test::CorpusFiles(folder, {".x"});
        ASSERT_FALSE(files.empty()) << folder;
        for (const auto& file : files) {
            const auto r = Load(file.string());
            EXPECT_FALSE(r.model) << file;
            EXPECT_EQ(r.code, 1700) << file;
        }
    }
}

}  // namespace
}  // namespace solvane
