#include "tests/reader_fixtures.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/load_result.h"
#include "rhino/rhino_file.h"

namespace solvane::test {

std::string PcxFile(int width, int height, const std::vector<uint8_t>& indices)
{
    Bytes b;
    b.U8(10).U8(5).U8(1).U8(8).Le16(0).Le16(0).Le16(width - 1).Le16(height - 1);
    b.Le16(72).Le16(72).Zeros(48).U8(0).U8(1).Le16(width).Le16(1).Zeros(58);
    for (uint8_t index : indices) b.U8(0xC1).U8(index);  // runs of one
    b.U8(12);
    for (int i = 0; i < 256; ++i) b.U8(i).U8(2 * i).U8(3 * i);
    return b.data;
}

std::string TgaFile(int width, int height, uint8_t red, uint8_t green, uint8_t blue)
{
    Bytes b;
    b.U8(0).U8(0).U8(2).Zeros(5).Le16(0).Le16(0).Le16(width).Le16(height).U8(24).U8(0);
    for (int i = 0; i < width * height; ++i) b.U8(blue).U8(green).U8(red);
    return b.data;
}

std::string LeChunk(uint16_t id, const std::string& content)
{
    return Bytes().Le16(id).Le32(static_cast<uint32_t>(content.size() + 6)).data + content;
}

const char* const kObjQuads =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "f 1/1 2/2 3/3 4/4\n"
    "f 4 3 2\n";

const char* const kPlyQuads =
    "ply\n"
    "format ascii 1.0\n"
    "comment two quads\n"
    "element vertex 4\n"
    "property float x\nproperty float y\nproperty float z\n"
    "property uchar red\nproperty uchar green\nproperty uchar blue\n"
    "element face 2\n"
    "property list uchar int vertex_indices\n"
    "end_header\n"
    "0 0 0 255 0 0\n"
    "1 0 0 0 255 0\n"
    "1 1 0.5 0 0 255\n"
    "0 1 -2 9 9 9\n"
    "4 0 1 2 3\n"
    "3 3 2 1\n";

const char* const kOffTetrahedron =
    "OFF\n"
    "4 4 6\n"
    "0 0 0\n1 0 0\n0 1 0\n0 0 1\n"
    "3 0 2 1\n3 0 1 3\n3 0 3 2\n3 1 2 3\n";

const char* const kVtkCube =
    "# vtk DataFile Version 3.0\n"
    "cube\n"
    "ASCII\n"
    "DATASET POLYDATA\n"
    "POINTS 8 float\n"
    "0 0 0 1 0 0 1 1 0 0 1 0\n"
    "0 0 1 1 0 1 1 1 1 0 1 1\n"
    "POLYGONS 6 30\n"
    "4 0 1 2 3\n4 4 5 6 7\n4 0 1 5 4\n4 2 3 7 6\n4 0 4 7 3\n4 1 2 6 5\n"
    "POINT_DATA 8\n"
    "SCALARS height float 1\nLOOKUP_TABLE default\n0 0 0 0 1 1 1 1\n";

const char* const kNffCube =
    "nff\n"
    "version 2.0\n"
    "viewpos 0 0 5\n"
    "viewdir 0 0 -1\n"
    "Cube\n"
    "8\n"
    "-1 -1 -1\n1 -1 -1\n1 1 -1\n-1 1 -1\n-1 -1 1\n1 -1 1\n1 1 1\n-1 1 1\n"
    "6\n"
    "4 0 3 2 1 0x0f00\n"
    "4 4 5 6 7 0x0f00 both\n"
    "4 0 1 5 4 0x00f0\n"
    "4 2 3 7 6 0x00f0 both\n"
    "4 0 4 7 3 0x000f\n"
    "4 1 2 6 5 0x000f\n";

// ---- DXF

namespace dxf {

std::string Face(const std::array<Corner, 4>& corners, int color, const std::string& layer)
{
    std::string text = "0\n3DFACE\n8\n" + layer + "\n";
    if (color >= 0) text += "62\n" + std::to_string(color) + "\n";
    for (int c = 0; c < 4; ++c) {
        for (int axis = 0; axis < 3; ++axis) {
            char value[32];
            std::snprintf(value, sizeof value, "%g", static_cast<double>(corners[c][axis]));
            text += std::to_string(10 * (axis + 1) + c) + "\n" + value + "\n";
        }
    }
    return text;
}

std::string Drawing(const std::string& entities)
{
    return "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1009\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities +
           "0\nENDSEC\n0\nEOF\n";
}

const std::array<Corner, 4> kSquare = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}};
const std::array<Corner, 4> kTriangle = {{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {1, 1, 0}}};

}  // namespace dxf

// ---- L3D

namespace l3d {

std::string File(const std::vector<Vertex>& vertices, const std::vector<std::array<uint16_t, 3>>& faces,
                 uint32_t vertexCount, uint32_t faceCount, uint32_t vertexOffset)
{
    Bytes b;
    b.Text("L3D0").Zeros(116).Le32(vertexCount).Le32(vertexOffset).Le32(faceCount).Le32(0);
    // Offsets past a small file are left to point beyond its end.
    if (vertexOffset < 4096 && vertexOffset > b.Size()) b.Zeros(vertexOffset - b.Size());
    for (const Vertex& v : vertices) {
        for (float f : v.values) b.LeFloat(f);
    }
    for (const auto& f : faces) b.Le16(f[0]).Le16(f[1]).Le16(f[2]);
    return b.data;
}

const std::vector<Vertex> kTriangle = {
    {{0, 0, 0, 0.0f, 0.0f, 0, 0, 1}},
    {{2, 0, 0, 1.0f, 0.0f, 0, 1, 0}},
    {{0, 3, -1, 0.0f, 0.5f, 1, 0, 0}},
};

}  // namespace l3d

// ---- Stereo CAD-3D

namespace stereo3d2 {

std::string File(const std::vector<Object>& objects, uint16_t magic)
{
    Bytes b;
    b.Be16(magic).Be16(static_cast<uint16_t>(objects.size())).Zeros(252);
    for (const Object& object : objects) {
        b.Field("object", 9).Be16(static_cast<uint16_t>(object.vertices.size()));
        for (const auto& v : object.vertices) b.Be16(v[0]).Be16(v[1]).Be16(v[2]);
        b.Be16(static_cast<uint16_t>(object.faces.size()));
        for (const auto& f : object.faces) b.Be16(f[0]).Be16(f[1]).Be16(f[2]).Be16(0);
    }
    return b.data;
}

const Object kTriangle = {{{100, 200, 300}, {0, 0, 0}, {65535, 0, 1}}, {{0, 1, 2}}};

}  // namespace stereo3d2

// ---- Power Render

namespace pro {

std::string Object(const std::vector<std::array<float, 3>>& vertices, const std::vector<Face>& faces,
                   uint32_t vertexCount, uint32_t faceCount)
{
    Bytes v;
    v.Le32(vertexCount);
    for (const auto& p : vertices) v.LeFloat(p[0]).LeFloat(p[1]).LeFloat(p[2]).Le16(0).Le16(0).Le16(0x7fff);
    Bytes f;
    f.Le32(faceCount);
    for (const Face& face : faces) {
        f.Le16(face.material).Zeros(2).Le32(face.corners[0]).Le32(face.corners[1]).Le32(face.corners[2]);
        for (float s : face.s) f.LeFloat(s);
        for (float t : face.t) f.LeFloat(t);
        f.Zeros(21);
    }
    return LeChunk(0x1000, Bytes().Le32(1).data + LeChunk(0x1030, v.data) + LeChunk(0x1040, f.data) +
                               LeChunk(0x1077, "unknown"));
}

namespace {
std::string Material(const std::string& name, float r, float g, float b, float transparency)
{
    return LeChunk(0x2101, name + '\0') + LeChunk(0x2103, Bytes().Le32(42).data) +
           LeChunk(0x2109, Bytes().LeFloat(r).LeFloat(g).LeFloat(b).LeFloat(transparency).data) +
           LeChunk(0x2199, "");
}
}  // namespace

std::string File(const std::string& objects, const std::string& extra)
{
    const std::string textures =
        LeChunk(0x2010, Bytes().Le16(2).Text("maps/wood.pcx").U8(0).Text("C:\\art\\stone.pcx").U8(0).data);
    const std::string materials =
        LeChunk(0x2100, Material("grey", 0.5f, 0.5f, 0.5f, 0) + Material("red", 1, 0, 0, 0.5f));
    return LeChunk(0x0303, textures + materials + objects + extra);
}

const std::vector<std::array<float, 3>> kQuad = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
const std::vector<Face> kQuadFaces = {
    {1, {0, 1, 2}, {0.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 1.0f}},
    {7, {0, 2, 3}, {0.0f, 1.0f, 0.0f}, {0.0f, 1.0f, 0.25f}},
};

}  // namespace pro

// ---- Quake

namespace quake {

std::string MdlFile(const MdlOptions& o)
{
    Bytes b;
    b.Text("IDPO").Le32(6);
    b.LeFloat(2).LeFloat(1).LeFloat(0.5f);  // scale
    b.LeFloat(-1).LeFloat(10).LeFloat(0);   // translate
    b.LeFloat(5).LeFloat(0).LeFloat(0).LeFloat(0);
    b.Le32(o.skinCount).Le32(o.width).Le32(o.height).Le32(o.vertexCount).Le32(o.triangleCount);
    b.Le32(2).Le32(0).Le32(0).LeFloat(1);
    for (int s = 0; s < std::min(o.skinCount, 3); ++s) {  // a hostile count is not backed by pictures
        const uint8_t first = static_cast<uint8_t>(s * 10);
        if (o.skinGroup) {
            b.Le32(1).Le32(2).LeFloat(0.1f).LeFloat(0.2f);
            for (int k = 0; k < 2; ++k) b.U8(first).U8(1).U8(254).U8(255 - k);
        } else {
            b.Le32(0).U8(first).U8(1).U8(254).U8(255);
        }
    }
    b.Le32(0).Le32(0).Le32(0);
    b.Le32(0).Le32(2).Le32(0);
    b.Le32(32).Le32(1).Le32(2);
    b.Le32(1).Le32(0).Le32(1).Le32(2 + o.badCorner);
    b.Le32(0).Le32(2).Le32(1).Le32(0);
    auto frame = [&](const char* name, int shift) {
        b.U8(0).U8(0).U8(0).U8(0).U8(9).U8(9).U8(9).U8(0).Field(name, 16);
        for (int v = 0; v < 3; ++v) b.U8(v + shift).U8(2 * v).U8(4).U8(0);
    };
    b.Le32(0);
    frame("stand1", 0);
    b.Le32(1).Le32(o.groupFrames).Le32(0).Le32(0).LeFloat(0.1f).LeFloat(0.2f);
    frame("run1", 1);
    frame("run2", 2);
    return b.data;
}

std::string Md2File(const Md2Options& o)
{
    const int32_t skins = o.skin.empty() ? 0 : 1;
    const int32_t skinOffset = 68, stOffset = skinOffset + 64 * skins, triOffset = stOffset + 16,
                  frameOffset = triOffset + 24;
    Bytes b;
    b.Text("IDP2").Le32(8).Le32(4).Le32(2).Le32(52).Le32(skins).Le32(o.vertexCount).Le32(o.texCoordCount).Le32(2);
    b.Le32(0).Le32(o.frameCount).Le32(skinOffset).Le32(stOffset).Le32(triOffset).Le32(frameOffset + o.frameOffsetShift);
    b.Le32(0).Le32(frameOffset + 104);
    if (skins) b.Field(o.skin, 64);
    b.Le16(0).Le16(0).Le16(64).Le16(0).Le16(64).Le16(32).Le16(static_cast<uint16_t>(-2)).Le16(16);
    b.Le16(0).Le16(1).Le16(2).Le16(0).Le16(1).Le16(2);
    b.Le16(2).Le16(1).Le16(o.badCorner).Le16(3).Le16(2).Le16(1);
    b.LeFloat(1).LeFloat(2).LeFloat(3).LeFloat(0.5f).LeFloat(0).LeFloat(-1).Field("stand01", 16);
    b.Raw({0, 0, 0, 7, 1, 1, 1, 7, 2, 0, 4, 7});
    b.LeFloat(1).LeFloat(1).LeFloat(1).LeFloat(0).LeFloat(0).LeFloat(0).Field("stand02", 16);
    b.Raw({5, 6, 7, 0, 8, 9, 10, 0, 0, 0, 1, 0});
    return b.data;
}

namespace {
std::string Md3Surface(int32_t frames, int32_t vertices, int32_t declaredVertices, int32_t declaredFrames,
                       const std::vector<std::string>& shaders, int32_t endOverride = 0)
{
    const int32_t triangles = vertices - 2;
    const int32_t triOffset = 108, shaderOffset = triOffset + 12 * triangles;
    const int32_t stOffset = shaderOffset + 68 * static_cast<int32_t>(shaders.size());
    const int32_t xyzOffset = stOffset + 8 * vertices, end = xyzOffset + 8 * vertices * frames;
    Bytes b;
    b.Text("IDP3").Field("surface", 64).Le32(0).Le32(declaredFrames).Le32(static_cast<uint32_t>(shaders.size()));
    b.Le32(declaredVertices).Le32(triangles).Le32(triOffset).Le32(shaderOffset).Le32(stOffset).Le32(xyzOffset);
    b.Le32(endOverride ? endOverride : end);
    for (int32_t t = 0; t < triangles; ++t) b.Le32(0).Le32(t + 1).Le32(t + 2);
    for (const std::string& shader : shaders) b.Field(shader, 64).Le32(0);
    for (int32_t v = 0; v < vertices; ++v) b.LeFloat(0.25f * v).LeFloat(0.75f);
    for (int32_t f = 0; f < frames; ++f) {
        for (int32_t v = 0; v < vertices; ++v) {
            const int16_t x = static_cast<int16_t>(64 * (f + 1) + v), y = static_cast<int16_t>(f == 0 ? -128 : 0);
            b.Le16(static_cast<uint16_t>(x)).Le16(static_cast<uint16_t>(y)).Le16(static_cast<uint16_t>(32 - 96 * f));
            b.Le16(0);
        }
    }
    return b.data;
}
}  // namespace

std::string Md3File(const Md3Options& o)
{
    const int32_t frames = 2, tags = 1;
    const int32_t surfaceStart = 108 + 56 * frames + 112 * frames * tags + o.padding;
    Bytes b;
    b.Text("IDP3").Le32(15).Field("models/x/model.md3", 64).Le32(0);
    b.Le32(frames).Le32(tags).Le32(o.surfaceCount).Le32(0);
    b.Le32(108).Le32(108 + 56 * frames).Le32(o.pointAtSurfaces ? surfaceStart : 0).Le32(0);
    b.Zeros(static_cast<size_t>(56 * frames + 112 * frames * tags + o.padding));
    if (o.repeatFirstSurface) return b.data + Md3Surface(2, 3, 3, 2, {"a.tga"}, -1);
    return b.data + Md3Surface(2, 3, o.vertexCount, o.frameCount, {"models/x/skin.tga"}) +
           Md3Surface(2, 3, 3, 2, {}) + Md3Surface(2, 4, 4, 2, {"b.tga", "c.tga"});
}

}  // namespace quake

// ---- trueSpace

namespace cob {

std::string Header(const std::string& first18)
{
    std::string header = first18;
    header.resize(32, ' ');
    return header;
}

std::string Chunk(const std::string& type, const std::string& body)
{
    return Bytes().Text(type).Le16(0).Le16(8).Le32(1).Le32(0).Le32(static_cast<uint32_t>(body.size())).data + body;
}

std::string End() { return Chunk("END ", ""); }

std::string PolygonObject(const std::vector<float>& matrix, const std::vector<float>& vertices,
                          const std::vector<float>& texCoords, const std::vector<Face>& faces, const std::string& name)
{
    Bytes b;
    b.Le16(0).Le16(static_cast<uint32_t>(name.size())).Text(name);
    for (int i = 0; i < 3; ++i) b.LeFloat(0);                   // centre
    for (int i = 0; i < 9; ++i) b.LeFloat(i % 4 == 0 ? 1.0f : 0.0f);  // axes
    for (float m : matrix) b.LeFloat(m);
    b.Le32(static_cast<uint32_t>(vertices.size() / 3));
    for (float v : vertices) b.LeFloat(v);
    b.Le32(static_cast<uint32_t>(texCoords.size() / 2));
    for (float t : texCoords) b.LeFloat(t);
    b.Le32(static_cast<uint32_t>(faces.size()));
    for (const Face& face : faces) {
        b.U8(face.flags).Le16(static_cast<uint32_t>(face.corners.size()));
        if (face.flags != 8) b.Le16(face.material);
        for (const auto& corner : face.corners) {
            b.Le32(static_cast<uint32_t>(corner.first)).Le32(static_cast<uint32_t>(corner.second));
        }
    }
    b.Le32(0);  // trailing data of newer chunk versions
    return b.data;
}

std::string MaterialBody(float r, float g, float b, float alpha, float ka, float ks, const std::vector<MapSpec>& maps)
{
    Bytes m;
    m.Le16(0).U8(1).U8(2).U8(30);
    m.LeFloat(r).LeFloat(g).LeFloat(b).LeFloat(alpha).LeFloat(ka).LeFloat(ks).LeFloat(16).LeFloat(1);
    for (const MapSpec& map : maps) {
        m.Text(map.tag).U8(2).Le16(static_cast<uint32_t>(map.name.size())).Text(map.name);
        if (map.tag == "t:" || map.tag == "b:") m.LeFloat(0).LeFloat(0).LeFloat(1).LeFloat(1);
        if (map.tag == "b:") m.LeFloat(0.5f);
    }
    return m.data;
}

const std::vector<float> kIdentity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
const std::vector<float> kSquare = {0, 0, 0, 4, 0, 0, 4, 4, 0, 0, 4, 0, 1, 1, 0, 2, 1, 0, 2, 2, 0};

std::string ObjectsWithHoleAndTransform()
{
    const std::vector<float> translate = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 5};
    const Face outline{0, 1, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}};
    const Face hole{8, 0, {{4, 0}, {5, 1}, {6, 2}}};
    const Face triangle{0, 0, {{0, 0}, {1, 0}, {2, 0}}};
    return Header() + Chunk("PolH", PolygonObject(translate, kSquare, {0, 0, 1, 0, 1, 1, 0, 1}, {outline, hole})) +
           Chunk("Mat1", MaterialBody(1, 0, 0, 0.25f, 0.5f, 0.75f)) +
           Chunk("Mat1", MaterialBody(0, 1, 0, 1, 0.1f, 0.2f)) +
           Chunk("PolH", PolygonObject(kIdentity, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {}, {triangle})) +
           Chunk("Mat1", MaterialBody(0, 0, 1, 1, 0.1f, 0.2f)) + End();
}

}  // namespace cob

// ---- 3D Studio

namespace studio3ds {

std::string Str(const std::string& text) { return text + std::string(1, '\0'); }

std::string Points(std::initializer_list<float> xyz)
{
    Bytes b;
    b.Le16(static_cast<uint32_t>(xyz.size() / 3));
    for (float v : xyz) b.LeFloat(v);
    return LeChunk(0x4110, b.data);
}

std::string TexCoords(std::initializer_list<float> uv)
{
    Bytes b;
    b.Le16(static_cast<uint32_t>(uv.size() / 2));
    for (float v : uv) b.LeFloat(v);
    return LeChunk(0x4140, b.data);
}

std::string Faces(std::initializer_list<std::array<uint16_t, 3>> faces, const std::string& children)
{
    Bytes b;
    b.Le16(static_cast<uint32_t>(faces.size()));
    for (const auto& f : faces) b.Le16(f[0]).Le16(f[1]).Le16(f[2]).Le16(0);
    return LeChunk(0x4120, b.data + children);
}

std::string MaterialGroup(const std::string& name, std::initializer_list<uint16_t> faces)
{
    Bytes b;
    b.Text(Str(name)).Le16(static_cast<uint32_t>(faces.size()));
    for (uint16_t f : faces) b.Le16(f);
    return LeChunk(0x4130, b.data);
}

std::string Mesh(const std::string& children) { return LeChunk(0x4100, children); }
std::string Object(const std::string& name, const std::string& meshes) { return LeChunk(0x4000, Str(name) + meshes); }

std::string Rgb24(uint16_t id, int r, int g, int b)
{
    return LeChunk(id, std::string{static_cast<char>(r), static_cast<char>(g), static_cast<char>(b)});
}

std::string Percent(int16_t value) { return LeChunk(0x0030, Bytes().Le16(static_cast<uint16_t>(value)).data); }
std::string Map(uint16_t id, const std::string& file) { return LeChunk(id, Percent(100) + LeChunk(0xA300, Str(file))); }
std::string MaterialEntry(const std::string& children) { return LeChunk(0xAFFF, children); }

std::string File(const std::string& editorChildren, uint16_t magic)
{
    return LeChunk(magic, LeChunk(0x0002, Bytes().Le32(3).data) + LeChunk(0x3D3D, editorChildren));
}

std::string QuadMesh(const std::string& faceChildren)
{
    return Mesh(Points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 2}) + TexCoords({0, 0, 1, 0, 1, 1, 0, 1}) +
                Faces({{0, 1, 2}, {0, 2, 3}}, faceChildren));
}

}  // namespace studio3ds

// ---- LightWave

namespace lwo {

Lwo& Lwo::Id(const char* id) { bytes.Text(std::string_view(id, 4)); return *this; }
Lwo& Lwo::U1(uint32_t v) { bytes.U8(v); return *this; }
Lwo& Lwo::U2(uint32_t v) { bytes.Be16(v); return *this; }
Lwo& Lwo::U4(uint32_t v) { bytes.Be32(v); return *this; }
Lwo& Lwo::F4(float f) { bytes.BeFloat(f); return *this; }
Lwo& Lwo::VX(uint32_t v) { return v < 0xFF00 ? U2(v) : U4(v | 0xFF000000u); }
Lwo& Lwo::S0(const std::string& text)
{
    bytes.Text(text).U8(0);
    if ((text.size() + 1) % 2) bytes.U8(0);
    return *this;
}
Lwo& Lwo::Raw(const std::string& raw) { bytes.Text(raw); return *this; }
Lwo& Lwo::Chunk(const char* id, const Lwo& body)
{
    Id(id).U4(static_cast<uint32_t>(body.Data().size())).Raw(body.Data());
    if (body.Data().size() % 2) bytes.U8(0);
    return *this;
}
Lwo& Lwo::Sub(const char* id, const Lwo& body)
{
    return Id(id).U2(static_cast<uint32_t>(body.Data().size())).Raw(body.Data());
}

std::string Form(const char* type, const Lwo& chunks)
{
    Lwo form;
    form.Id("FORM").U4(static_cast<uint32_t>(4 + chunks.Data().size())).Id(type).Raw(chunks.Data());
    return form.Data();
}

Lwo Points(std::initializer_list<std::array<float, 3>> points)
{
    Lwo body;
    for (const auto& p : points) body.F4(p[0]).F4(p[1]).F4(p[2]);
    return body;
}

Lwo SquarePoints(float z) { return Points({{0, 0, z}, {1, 0, z}, {1, 1, z}, {0, 1, z}}); }

std::string LwobFile()
{
    Lwo chunks;
    chunks.Chunk("SRFS", Lwo().S0("Red").S0("Blue"));
    chunks.Chunk("PNTS", SquarePoints());
    chunks.Chunk("POLS", Lwo()
                             .U2(4).U2(0).U2(1).U2(2).U2(3).U2(1)                     // quad, surface 1
                             .U2(3).U2(0).U2(2).U2(3).U2(static_cast<uint16_t>(-2))  // triangle with details
                             .U2(1).U2(3).U2(1).U2(2).U2(3).U2(1)                     // its detail polygon
                             .U2(3).U2(3).U2(2).U2(1).U2(9));                         // surface 9 does not exist
    chunks.Chunk("SURF", Lwo().S0("Red")
                             .Sub("COLR", Lwo().U1(255).U1(0).U1(51).U1(0))
                             .Sub("DIFF", Lwo().U2(256))
                             .Sub("SPEC", Lwo().U2(1))
                             .Sub("TRAN", Lwo().U2(52))
                             .Sub("TIMG", Lwo().S0("images/wood.bmp")));
    chunks.Chunk("SURF", Lwo().S0("Blue")
                             .Sub("COLR", Lwo().U1(0).U1(0).U1(255).U1(0))
                             .Sub("VDIF", Lwo().F4(0.5f))
                             .Sub("VSPC", Lwo().F4(7.0f))
                             .Sub("VTRN", Lwo().F4(3.0f))
                             .Sub("RIMG", Lwo().S0("images/wood.bmp")));
    chunks.Chunk("SURF", Lwo().S0("Nobody").Sub("COLR", Lwo().U1(9).U1(9).U1(9).U1(0)));
    return Form("LWOB", chunks);
}

std::string Lwo2File()
{
    Lwo chunks;
    chunks.Chunk("TAGS", Lwo().S0("Unused").S0("A").S0("B"));
    chunks.Chunk("LAYR", Lwo().U2(0).U2(0).F4(0).F4(0).F4(0).S0("layer"));
    chunks.Chunk("PNTS", SquarePoints(2));
    chunks.Chunk("VMAP", Lwo().Id("TXUV").U2(2).S0("uv")
                             .VX(0).F4(0).F4(0).VX(2).F4(1).F4(1).VX(3).F4(0).F4(1).VX(77).F4(5).F4(5));
    chunks.Chunk("POLS", Lwo().Id("FACE").U2(4).VX(0).VX(1).VX(2).VX(3).U2(3).VX(0).VX(2).VX(0xFF000003u));
    chunks.Chunk("PTAG", Lwo().Id("SURF").VX(0).U2(2).VX(1).U2(1).VX(5).U2(1).VX(0).U2(40));
    chunks.Chunk("PTAG", Lwo().Id("PART").VX(0).U2(0));
    chunks.Chunk("CLIP", Lwo().U4(1).Sub("STIL", Lwo().S0("images/clip.tga")));
    chunks.Chunk("SURF", Lwo().S0("B").S0("")
                             .Sub("COLR", Lwo().F4(0.5f).F4(0.25f).F4(1).VX(0))
                             .Sub("DIFF", Lwo().F4(1.5f).VX(0))
                             .Sub("SPEC", Lwo().F4(0.5f).VX(0))
                             .Sub("BLOK", Lwo().Sub("IMAP", Lwo().S0("\x80").Sub("CHAN", Lwo().Id("COLR")))
                                              .Sub("TMAP", Lwo().Sub("CNTR", Lwo().F4(0).F4(0).F4(0).VX(0)))
                                              .Sub("PROJ", Lwo().U2(2))
                                              .Sub("AXIS", Lwo().U2(1))
                                              .Sub("IMAG", Lwo().VX(1))));
    chunks.Chunk("SURF", Lwo().S0("A").S0("").Sub("TRAN", Lwo().F4(0.25f).VX(0)));
    chunks.Chunk("SURF", Lwo().S0("Unused").S0("").Sub("COLR", Lwo().F4(1).F4(1).F4(1).VX(0)));
    return Form("LWO2", chunks);
}

}  // namespace lwo

// ---- DirectX

namespace xfile {

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
    "    -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;,\n"  // several groups on one line
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

Tokens& Tokens::Word(uint32_t v) { bytes.Le16(v); return *this; }
Tokens& Tokens::Dword(int64_t v) { bytes.Le32(static_cast<uint32_t>(v)); return *this; }
Tokens& Tokens::Name(const std::string& s)
{
    Word(1).Dword(static_cast<int64_t>(s.size())).bytes.Text(s);
    return *this;
}
Tokens& Tokens::String(const std::string& s, bool longTerminator)
{
    Word(2).Dword(static_cast<int64_t>(s.size())).bytes.Text(s);
    return longTerminator ? Dword(20) : Word(20);
}
Tokens& Tokens::Open() { return Word(10); }
Tokens& Tokens::Close() { return Word(11); }
Tokens& Tokens::Ints(const std::vector<int64_t>& values)
{
    Word(6).Dword(static_cast<int64_t>(values.size()));
    for (int64_t v : values) Dword(v);
    return *this;
}
Tokens& Tokens::Floats(const std::vector<double>& values)
{
    Word(7).Dword(static_cast<int64_t>(values.size()));
    for (double v : values) {
        if (doubles) bytes.LeDouble(v);
        else bytes.LeFloat(static_cast<float>(v));
    }
    return *this;
}

std::string BinaryCube(bool doubles, bool longTerminators)
{
    Tokens t;
    t.doubles = doubles;
    t.bytes.Text(std::string("xof 0303bin ") + (doubles ? "0064" : "0032"));
    // A template as written files carry them, then a material with its texture.
    t.Word(31).Name("Header").Open().Word(5).bytes.Text(std::string(16, '\x11'));
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
    return t.bytes.data;
}

}  // namespace xfile

// ---- Rhino 3DM

namespace rhino {

namespace {
void WriteGeometry(RhinoWriter& w, const MeshSpec& mesh)
{
    w.Begin(TCODE_COMPRESSED_MESH_GEOMETRY);
    const int64_t v = static_cast<int64_t>(mesh.vertices.size());
    w.Int32(mesh.vertexCountField >= 0 ? mesh.vertexCountField : v);
    w.Int32(mesh.faceCountField >= 0 ? mesh.faceCountField : static_cast<int64_t>(mesh.faces.size()));
    w.Int32(mesh.normals.empty() ? 0 : 1);
    w.Int32(mesh.uvs.empty() ? 0 : 1);
    for (double d : mesh.box) w.Double(d);
    for (const auto& q : mesh.vertices)
        for (uint32_t c : q) w.UInt16(c);
    for (const auto& face : mesh.faces)
        for (uint32_t c : face) v < 65536 ? w.UInt16(c) : w.Int32(c);
    for (const auto& n : mesh.normals)
        for (int c : n) w.Byte(c);
    for (const auto& uv : mesh.uvs)
        for (uint32_t c : uv) w.UInt16(c);
    w.End();
}
}  // namespace

void WriteMeshObject(RhinoWriter& w, const MeshSpec& mesh, const std::function<void(RhinoWriter&)>& attributes)
{
    w.Begin(TCODE_MESH_OBJECT);
    WriteGeometry(w, mesh);
    if (attributes) attributes(w);
    w.Short(TCODE_ENDOFTABLE, 0);
    w.End();
}

void WriteKernelData(RhinoWriter& w)
{
    w.Begin(0x00010105u);  // TCODE_AG_BOUNDARYSTUFF: a CRC chunk
    w.Raw("kernel bytes that nobody reads");
    w.End();
}

std::string TwoMeshFile()
{
    RhinoWriter w;
    w.Begin(TCODE_COMMENTBLOCK);
    w.Raw("written by the test");
    w.End();
    WriteKernelData(w);
    w.Begin(TCODE_UNITS_AND_TOLERANCES);
    w.Int32(2);
    for (double d : {1.0, 0.001, 0.05, 0.02, 0.1}) w.Double(d);
    w.End();
    w.Begin(TCODE_LAYER);
    w.Begin(TCODE_LAYERNAME);
    w.Raw("Default");
    w.End();
    w.Short(TCODE_RGB, 0x00112233);
    w.Short(TCODE_ENDOFTABLE, 0);
    w.End();
    w.Begin(TCODE_NOTES);
    w.String("notes");
    w.End();
    w.Begin(TCODE_RHINO_OBJECT_NURBS_SURFACE);
    w.Raw(std::string(40, '\x7f'));
    w.End();

    MeshSpec first;
    first.normals = {{127, 0, 0}, {0, 0, -127}, {100, 100, 0}, {0, 0, 0}};
    first.uvs = {{0, 0}, {65535, 0}, {65535, 65535}, {0, 32768}};
    WriteMeshObject(w, first, [](RhinoWriter& a) {
        a.Short(TCODE_RGB, 0x00336699);
        a.Short(TCODE_TRANSPARENCY, 51);
        a.Begin(TCODE_TEXTUREMAP);
        a.String("maps/texture.bmp");
        a.End();
        a.Begin(TCODE_BUMPMAP);
        a.String("maps/bump.bmp");
        a.End();
        a.Begin(TCODE_RENDER_MATERIAL_NAME);
        a.Int32(1);
        a.String("Chrome");
        a.End();
        a.Begin(TCODE_NAME);
        a.String("first mesh");
        a.End();
        a.Short(TCODE_LAYERREF, 0);
    });
    MeshSpec second;
    second.vertices = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5},
                       {6, 6, 6}, {7, 7, 7}, {8, 8, 8}, {9, 9, 9}};
    second.faces = {{7, 8, 9, 9}};
    WriteMeshObject(w, second);
    return w.Data();
}

}  // namespace rhino

// ---- One valid file per reader

namespace {

// Where a text file's body starts: right after the first occurrence of marker.
size_t After(const std::string& text, const std::string& marker)
{
    return text.find(marker) + marker.size();
}

}  // namespace

std::vector<ReaderFile> ValidReaderFiles()
{
    using namespace studio3ds;
    const std::string ply = kPlyQuads, off = kOffTetrahedron, vtk = kVtkCube, nff = kNffCube;
    const std::string dxfFace = dxf::Face(dxf::kSquare, 1);
    const std::string dxfFile = dxf::Drawing(dxfFace + dxf::Face(dxf::kTriangle, 2));
    const std::string material3ds = LeChunk(0xA000, Str("m")) + LeChunk(0xA010, Rgb24(0x0011, 1, 2, 3)) +
                                    LeChunk(0xA050, Percent(20)) + Map(0xA200, "a.tga") + Map(0xA230, "b.tga");
    const std::string file3ds =
        studio3ds::File(MaterialEntry(material3ds) + Object("o", QuadMesh(MaterialGroup("m", {0, 1})) + QuadMesh()));
    const std::string cobFile = cob::ObjectsWithHoleAndTransform();
    const std::string rhinoFile = rhino::TwoMeshFile();
    const std::string xText = xfile::kCubeText, xFloats = xfile::BinaryCube(false, false),
                      xDoubles = xfile::BinaryCube(true, true);
    quake::MdlOptions mdl;
    mdl.skinCount = 2;
    mdl.skinGroup = true;
    quake::Md2Options md2;
    md2.skin = "skin.pcx";
    const auto loadsFrom = [](size_t length) { return FailsBelowLoadsFrom(length, length); };
    const auto everyCutFails = FailsBelowLoadsFrom(SIZE_MAX, SIZE_MAX);
    // Text readers and the sequential binary ones keep what a file that ends early holds whole,
    // so every cut after the header loads. Chunked files load when cut between chunks.
    return {
        {"m.obj", kObjQuads, {}, loadsFrom(0)},
        {"m.ply", ply, {LoadResult::NotValidPly, LoadResult::UnsupportedPly}, loadsFrom(After(ply, "end_header\n"))},
        {"m.off", off, {LoadResult::NotValidOff}, loadsFrom(After(off, "4 4"))},
        {"m.vtk", vtk, {LoadResult::NotValidVtk}, loadsFrom(After(vtk, "POLYDATA"))},
        {"m.nff", nff, {LoadResult::NotValidNff}, loadsFrom(3)},
        {"m.l3d", l3d::File(l3d::kTriangle, {{2, 1, 0}}, 3, 1), {LoadResult::L3dError}, loadsFrom(140)},
        {"m.3d2", stereo3d2::File({stereo3d2::kTriangle, stereo3d2::kTriangle}), {LoadResult::NotValid3d2},
         loadsFrom(256)},
        {"m.dxf", dxfFile, {LoadResult::DxfNo3dFace},
         FailsBelowLoadsFrom(dxfFile.find("3DFACE"), After(dxfFile, dxfFace))},
        {"m.3ds", file3ds, {LoadResult::NotValid3ds}, loadsFrom(6)},
        {"m.cob", cobFile, {LoadResult::NotValidCob}, FailsBelowLoadsFrom(0, cobFile.size() - cob::End().size())},
        {"m.lwo", lwo::LwobFile(), {LoadResult::NotValidLwo}, loadsFrom(12)},
        {"m.lwo", lwo::Lwo2File(), {LoadResult::NotValidLwo}, loadsFrom(12)},
        {"m.3dm", rhinoFile, {LoadResult::NoRhinoMeshes},
         OnlyLoadsAt(rhinoFile.rfind(std::string("\x15\x00\x10\x00", 4)))},  // before the second mesh
        // Cut in their last closing braces, DirectX files load.
        {"m.x", xText, {LoadResult::NotValidX}, FailsBelowLoadsFrom(0, xText.size() - 2)},
        {"m.x", xFloats, {LoadResult::NotValidX}, FailsBelowLoadsFrom(0, xFloats.size() - 2)},
        {"m.x", xDoubles, {LoadResult::NotValidX}, FailsBelowLoadsFrom(0, xDoubles.size() - 2)},
        {"m.pro", pro::File(pro::Object(pro::kQuad, pro::kQuadFaces, 4, 2)), {LoadResult::NotValidPro}, everyCutFails},
        {"m.mdl", quake::MdlFile(mdl), {LoadResult::NotValidMdl}, everyCutFails},
        {"m.md2", quake::Md2File(md2), {LoadResult::NotValidMd2}, everyCutFails},
        {"m.md3", quake::Md3File(), {LoadResult::NotValidMd3}, everyCutFails},
    };
}

}  // namespace solvane::test
