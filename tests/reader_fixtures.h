// Model files built in code for the reader tests: small valid files per format, the builders the
// format's own tests vary them with, and one table of a valid file per reader.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/reader_test_support.h"
#include "tests/rhino_writer.h"

namespace solvane::test {

// An 8-bit PCX of the given indices (top row first) whose palette maps index i to (i, 2i, 3i).
std::string PcxFile(int width, int height, const std::vector<uint8_t>& indices);
// An uncompressed 24-bit TGA of one colour.
std::string TgaFile(int width, int height, uint8_t red, uint8_t green, uint8_t blue);

// A chunk of a 16-bit identifier and a 32-bit length counting its 6 header bytes (little-endian),
// as 3D Studio and Power Render write them.
std::string LeChunk(uint16_t id, const std::string& content);

extern const char* const kObjQuads;
extern const char* const kPlyQuads;
extern const char* const kOffTetrahedron;
extern const char* const kVtkCube;
extern const char* const kNffCube;

namespace dxf {
using Corner = std::array<float, 3>;
// One 3DFACE as a writer lays it out: layer, colour (none when negative), group codes 10..33.
std::string Face(const std::array<Corner, 4>& corners, int color = -1, const std::string& layer = "0");
std::string Drawing(const std::string& entities);
extern const std::array<Corner, 4> kSquare;
extern const std::array<Corner, 4> kTriangle;  // fourth corner equal to the third
}  // namespace dxf

namespace l3d {
struct Vertex {
    float values[8];  // x y z u v nx ny nz
};
std::string File(const std::vector<Vertex>& vertices, const std::vector<std::array<uint16_t, 3>>& faces,
                 uint32_t vertexCount, uint32_t faceCount, uint32_t vertexOffset = 140);
extern const std::vector<Vertex> kTriangle;
}  // namespace l3d

namespace stereo3d2 {
struct Object {
    std::vector<std::array<uint16_t, 3>> vertices;
    std::vector<std::array<uint16_t, 3>> faces;
};
std::string File(const std::vector<Object>& objects, uint16_t magic = 0x3D02);
extern const Object kTriangle;
}  // namespace stereo3d2

namespace pro {
struct Face {
    uint16_t material;
    uint32_t corners[3];
    float s[3], t[3];
};
// One object chunk with its vertices and faces sub-chunks and an unknown one.
std::string Object(const std::vector<std::array<float, 3>>& vertices, const std::vector<Face>& faces,
                   uint32_t vertexCount, uint32_t faceCount);
// The main chunk: texture names maps/wood.pcx and C:\art\stone.pcx, materials grey and red, then
// the objects and the extra chunks.
std::string File(const std::string& objects, const std::string& extra = {});
extern const std::vector<std::array<float, 3>> kQuad;
extern const std::vector<Face> kQuadFaces;  // material 1 and 7 (past the table)
}  // namespace pro

namespace quake {
// MDL: 3 vertices (vertex 2 on the seam), skins, 2 triangles (the second facing away), then one
// simple frame and one group of two frames.
struct MdlOptions {
    int32_t skinCount = 1;
    int32_t width = 2, height = 2;
    int32_t vertexCount = 3;
    int32_t triangleCount = 2;
    int32_t groupFrames = 2;
    int32_t badCorner = 0;  // added to the last corner of the first triangle
    bool skinGroup = false;
};
std::string MdlFile(const MdlOptions& options = {});

// MD2: 3 vertices, 4 texture coordinates, 2 triangles, 2 frames, an optional skin name.
struct Md2Options {
    std::string skin = {};
    int32_t vertexCount = 3;
    int32_t texCoordCount = 4;
    int32_t frameCount = 2;
    int32_t frameOffsetShift = 0;
    uint16_t badCorner = 0;
};
std::string Md2File(const Md2Options& options = {});

// MD3: 2 frames with 1 tag each, then three surfaces: (3 vertices, 1 triangle, shader
// "models/x/skin.tga"), (3 vertices, 1 triangle, no shader), (4 vertices, 2 triangles, 2 shaders).
struct Md3Options {
    int32_t surfaceCount = 3;
    int32_t vertexCount = 3;   // of the first surface
    int32_t frameCount = 2;    // of the first surface
    int32_t padding = 0;       // bytes between the tags and the surfaces
    bool pointAtSurfaces = true;
    bool repeatFirstSurface = false;  // every surface after the first starts where the first does
};
std::string Md3File(const Md3Options& options = {});
}  // namespace quake

namespace cob {
std::string Header(const std::string& first18 = "Caligari V00.01BLH");
std::string Chunk(const std::string& type, const std::string& body);
std::string End();
struct Face {
    int flags = 0;
    int material = 0;
    std::vector<std::pair<int64_t, int64_t>> corners;  // vertex, texture coordinate
};
// A PolH body with the given 3 x 4 matrix.
std::string PolygonObject(const std::vector<float>& matrix, const std::vector<float>& vertices,
                          const std::vector<float>& texCoords, const std::vector<Face>& faces,
                          const std::string& name = "obj");
struct MapSpec {
    std::string tag;
    std::string name;
};
std::string MaterialBody(float r, float g, float b, float alpha, float ka, float ks,
                         const std::vector<MapSpec>& maps = {});
extern const std::vector<float> kIdentity;
extern const std::vector<float> kSquare;  // a square and a triangle inside it
// A square with a triangular hole, translated by (0, 0, 5), then a second object.
std::string ObjectsWithHoleAndTransform();
}  // namespace cob

namespace studio3ds {
std::string Str(const std::string& text);
std::string Points(std::initializer_list<float> xyz);
std::string TexCoords(std::initializer_list<float> uv);
// Faces (a, b, c) with flags 0, then the given sub-chunks.
std::string Faces(std::initializer_list<std::array<uint16_t, 3>> faces, const std::string& children = "");
std::string MaterialGroup(const std::string& name, std::initializer_list<uint16_t> faces);
std::string Mesh(const std::string& children);
std::string Object(const std::string& name, const std::string& meshes);
std::string Rgb24(uint16_t id, int r, int g, int b);
std::string Percent(int16_t value);
std::string Map(uint16_t id, const std::string& file);
std::string MaterialEntry(const std::string& children);
std::string File(const std::string& editorChildren, uint16_t magic = 0x4D4D);
// A unit quad of two triangles with texture coordinates.
std::string QuadMesh(const std::string& faceChildren = "");
}  // namespace studio3ds

namespace lwo {
// Big-endian IFF pieces.
struct Lwo {
    Bytes bytes;
    Lwo& Id(const char* id);
    Lwo& U1(uint32_t v);
    Lwo& U2(uint32_t v);
    Lwo& U4(uint32_t v);
    Lwo& F4(float f);
    Lwo& VX(uint32_t v);
    Lwo& S0(const std::string& text);  // NUL-terminated, padded to an even length
    Lwo& Raw(const std::string& raw);
    Lwo& Chunk(const char* id, const Lwo& body);  // top-level, with its pad byte
    Lwo& Sub(const char* id, const Lwo& body);    // inside SURF, CLIP or BLOK
    const std::string& Data() const { return bytes.data; }
};
std::string Form(const char* type, const Lwo& chunks);
Lwo Points(std::initializer_list<std::array<float, 3>> points);
Lwo SquarePoints(float z = 0);
// LWOB: two surfaces both naming one image, a quad and a triangle, a detail polygon.
std::string LwobFile();
// LWO2: tags, a UV map, faces tagged with surfaces, a clip used by a block.
std::string Lwo2File();
}  // namespace lwo

namespace xfile {
extern const char* const kCubeText;
// The binary token stream.
struct Tokens {
    Bytes bytes;
    bool doubles = false;
    Tokens& Word(uint32_t v);
    Tokens& Dword(int64_t v);
    Tokens& Name(const std::string& s);
    // A string with the 2-byte separator token that written files carry, or the 4-byte form.
    Tokens& String(const std::string& s, bool longTerminator);
    Tokens& Open();
    Tokens& Close();
    Tokens& Ints(const std::vector<int64_t>& values);
    Tokens& Floats(const std::vector<double>& values);
};
std::string BinaryCube(bool doubles, bool longTerminators);
}  // namespace xfile

namespace rhino {
struct MeshSpec {
    std::array<double, 6> box{0, 0, 0, 2, 4, 8};
    std::vector<std::array<uint32_t, 3>> vertices{{0, 0, 0}, {65535, 0, 0}, {65535, 65535, 0}, {0, 65535, 65535}};
    std::vector<std::array<uint32_t, 4>> faces{{0, 1, 2, 3}, {0, 2, 3, 3}};
    std::vector<std::array<int, 3>> normals;   // empty = none
    std::vector<std::array<uint32_t, 2>> uvs;  // empty = none
    int64_t vertexCountField = -1;             // overrides the written vertex count when >= 0
    int64_t faceCountField = -1;
};
void WriteMeshObject(RhinoWriter& w, const MeshSpec& mesh,
                     const std::function<void(RhinoWriter&)>& attributes = {});
void WriteKernelData(RhinoWriter& w);
// Two mesh objects (the first with every material attribute, the second with none) among
// records the converter passes over: kernel data with a CRC, a layer, notes, units, a surface.
std::string TwoMeshFile();
}  // namespace rhino

// A valid file of each model reader and what its cuts give.
struct ReaderFile {
    std::string name;  // the file name, whose extension picks the reader
    std::string bytes;
    std::vector<int32_t> codes;  // the reader's result codes for a file it refuses
    CutRule cuts;
};
std::vector<ReaderFile> ValidReaderFiles();

}  // namespace solvane::test
