#include "formats/quake.h"

#include <fcntl.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "core/format_id.h"
#include "core/reader_input.h"
#include "image/image.h"

namespace solvane {
namespace {

// No array a file asks for, nor all the key frames of one sub-mesh together, may exceed this.
constexpr int64_t kMaxAllocationBytes = int64_t{1} << 30;
// Key frame and texture names are NUL-terminated char[16] and char[260] in the record layout.
constexpr size_t kMaxFrameNameChars = 15;
constexpr size_t kMaxTextureNameChars = 259;
constexpr size_t kNameFieldSize = 64;

constexpr int64_t kMdlSkinCoordinateBytes = 12;  // on-seam, s, t
constexpr int64_t kMdlTriangleBytes = 16;         // faces-front, 3 vertex indices
constexpr int64_t kMdlFrameHeaderBytes = 24;      // minimum, maximum, name
constexpr int32_t kMdlOnSeam = 32;

constexpr int64_t kMd2TriangleBytes = 12;     // 3 vertex and 3 texture-coordinate indices, 16 bits
constexpr int64_t kMd2FrameHeaderBytes = 40;  // scale, translate, name
constexpr int64_t kMd2SkinNameBytes = 64;
constexpr int64_t kMd2TexCoordBytes = 4;

constexpr int64_t kMd3HeaderBytes = 108;
constexpr int64_t kMd3FrameBytes = 56;         // bounds, origin, radius, name
constexpr int64_t kMd3TagBytes = 112;          // name, origin, axes
constexpr int64_t kMd3SurfaceHeaderBytes = 108;
constexpr int64_t kMd3TriangleBytes = 12;
constexpr int64_t kMd3TexCoordBytes = 8;
constexpr int64_t kMd3VertexBytes = 8;         // x, y, z, packed normal
constexpr float kMd3VertexScale = 1.0f / 64.0f;

// Bytes one unpacked vertex and one face take in memory.
constexpr int64_t kVertexMemory = 3 * sizeof(float);
constexpr int64_t kTriangleMemory = 7 * sizeof(uint32_t);  // corners, texture corners, offset

std::nullptr_t Fail(LoadContext& ctx, int32_t code)
{
    ctx.result.store(code);
    return nullptr;
}

// The four identifier letters, upper and lower case alike (as identification matches them).
bool ReadIdent(ReaderInput& in, const char* expected)
{
    uint8_t bytes[4];
    if (in.ReadBytes(bytes, 1, 4) != 4) return false;
    for (int i = 0; i < 4; ++i) {
        if (std::toupper(bytes[i]) != expected[i]) return false;
    }
    return true;
}

// A fixed-size name field: its bytes up to the first NUL, at most maxChars of them.
std::string ReadName(ReaderInput& in, size_t fieldSize, size_t maxChars)
{
    char field[kNameFieldSize];
    const size_t got = in.ReadBytes(field, 1, std::min(fieldSize, sizeof field));
    size_t length = 0;
    while (length < got && length < maxChars && field[length] != '\0') ++length;
    return std::string(field, length);
}

int32_t ReadInt(ReaderInput& in)
{
    return static_cast<int32_t>(in.ReadLE32());
}

// Whether count items of itemSize bytes lie in the file from the current position on.
bool Holds(const ReaderInput& in, int64_t count, int64_t itemSize)
{
    if (count < 0) return false;
    if (count == 0 || itemSize <= 0) return true;
    const int64_t remaining = in.Remaining();
    return itemSize <= remaining && count <= remaining / itemSize;
}

// Whether count items of bytesPerItem bytes in memory stay within the allocation limit.
bool Allocatable(int64_t count, int64_t bytesPerItem)
{
    return count >= 0 && (bytesPerItem <= 0 || count <= kMaxAllocationBytes / bytesPerItem);
}

// Seeks to an offset the file gives; false when it lies outside the file.
bool SeekTo(ReaderInput& in, int64_t offset)
{
    return offset >= 0 && offset <= in.Size() && in.SkipBytes(offset, SEEK_SET);
}

uint32_t ClampIndex(int64_t index, int64_t count)
{
    if (index < 0) return 0;
    if (index >= count) return static_cast<uint32_t>(count - 1);
    return static_cast<uint32_t>(index);
}

// Every face is a triangle: offsets 0, 3, 6, ...
void SetTriangleFaces(SubMesh& mesh, int64_t triangleCount, bool withTexCoords)
{
    if (triangleCount == 0) return;
    mesh.faceOffsets.resize(static_cast<size_t>(triangleCount) + 1);
    for (size_t f = 0; f < mesh.faceOffsets.size(); ++f) mesh.faceOffsets[f] = static_cast<uint32_t>(3 * f);
    mesh.faceIndices.resize(static_cast<size_t>(triangleCount) * 3);
    if (withTexCoords) mesh.faceTexCoordIndices.resize(mesh.faceIndices.size());
}

// Packed vertices of MDL and MD2 frames: x, y, z bytes and a normal index (skipped) each, scaled
// and moved per axis. Returns the frame's bounds.
std::array<float, 6> UnpackByteVertices(const uint8_t* packed, int64_t vertexCount, const float scale[3],
                                        const float translate[3], float* out)
{
    BoundsBuilder bounds;
    for (int64_t i = 0; i < vertexCount; ++i, packed += 4, out += 3) {
        for (int axis = 0; axis < 3; ++axis) out[axis] = packed[axis] * scale[axis] + translate[axis];
        bounds.Extend(out[0], out[1], out[2]);
    }
    return bounds.bounds;
}

// Where key frame k of a sub-mesh goes: the sub-mesh itself for the first, an AnimationFrame after.
float* FrameVertices(SubMesh& mesh, int64_t k, int64_t vertexCount)
{
    std::vector<float>& vertices = k == 0 ? mesh.vertices : mesh.frames[static_cast<size_t>(k - 1)].vertices;
    vertices.resize(static_cast<size_t>(vertexCount) * 3);
    return vertices.data();
}

void NameFrame(SubMesh& mesh, int64_t k, std::string name, const std::array<float, 6>& bounds)
{
    if (k == 0) {
        mesh.name = std::move(name);  // the sub-mesh's bounds are computed with its centroid
        return;
    }
    AnimationFrame& frame = mesh.frames[static_cast<size_t>(k - 1)];
    frame.name = std::move(name);
    frame.bounds = bounds;
}

// Whether frameCount key frames of vertexCount vertices fit the allocation limit together.
bool FramesAllocatable(int64_t frameCount, int64_t vertexCount)
{
    const int64_t perFrame = static_cast<int64_t>(sizeof(AnimationFrame)) + vertexCount * kVertexMemory;
    return Allocatable(vertexCount, kVertexMemory) && Allocatable(frameCount, perFrame);
}

// ---------------------------------------------------------------------------------------------
// Quake 1 MDL

struct MdlHeader {
    float scale[3] = {};
    float translate[3] = {};
    int32_t skinCount = 0;
    int32_t skinWidth = 0;
    int32_t skinHeight = 0;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    int32_t frameCount = 0;
};

bool DecodeMdlHeader(ReaderInput& in, MdlHeader& header)
{
    in.ReadLE32();  // version: not examined
    for (float& value : header.scale) value = in.ReadLEFloat();
    for (float& value : header.translate) value = in.ReadLEFloat();
    for (int i = 0; i < 4; ++i) in.ReadLEFloat();  // bounding radius, eye position
    header.skinCount = ReadInt(in);
    header.skinWidth = ReadInt(in);
    header.skinHeight = ReadInt(in);
    header.vertexCount = ReadInt(in);
    header.triangleCount = ReadInt(in);
    header.frameCount = ReadInt(in);
    ReadInt(in);      // sync type
    ReadInt(in);      // flags
    in.ReadLEFloat();  // size
    if (in.Overrun()) return false;
    if (header.skinCount < 0 || header.vertexCount < 0 || header.triangleCount < 0 || header.frameCount < 1)
        return false;
    if (header.skinWidth < 0 || header.skinHeight < 0) return false;
    // A skin needs a picture to hold.
    if (header.skinCount > 0 && (header.skinWidth == 0 || header.skinHeight == 0)) return false;
    // Corners need a vertex to name.
    return header.triangleCount == 0 || header.vertexCount > 0;
}

// One skin picture: palette indices, rows top first, turned into RGB through the Quake palette.
bool DecodeMdlSkinImage(ReaderInput& in, const MdlHeader& header, const std::string& name,
                        std::vector<uint8_t>& indices, Texture& texture)
{
    const size_t count = static_cast<size_t>(header.skinWidth) * static_cast<size_t>(header.skinHeight);
    indices.resize(count);
    if (in.ReadBytes(indices.data(), 1, count) != count) return false;
    texture.name = name;
    texture.width = header.skinWidth;
    texture.height = header.skinHeight;
    texture.mappingMode = 0;
    texture.pixels.resize(count * 3);
    uint8_t* out = texture.pixels.data();
    for (uint8_t index : indices) {
        const auto& colour = QuakePalette[index];
        *out++ = colour[0];
        *out++ = colour[1];
        *out++ = colour[2];
    }
    return true;
}

// The skins: single pictures (group 0) or groups of pictures with display intervals. A later skin
// replaces the textures of an earlier one, so only the last skin's pictures are decoded.
bool DecodeMdlSkins(ReaderInput& in, const MdlHeader& header, const std::string& skinName, Model& model)
{
    const int64_t imageBytes = int64_t{header.skinWidth} * header.skinHeight;
    std::vector<uint8_t> indices;
    for (int32_t k = 0; k < header.skinCount; ++k) {
        const int32_t group = ReadInt(in);
        int64_t images = 1;
        if (group != 0) {
            images = ReadInt(in);
            if (in.Overrun() || !Holds(in, images, 4)) return false;
            in.SkipBytes(4 * images, SEEK_CUR);  // display intervals
        }
        if (in.Overrun() || !Holds(in, images, imageBytes)) return false;
        if (k + 1 < header.skinCount) {
            in.SkipBytes(images * imageBytes, SEEK_CUR);
            continue;
        }
        const int64_t perImage = static_cast<int64_t>(sizeof(Texture)) + imageBytes * 3;
        if (!Allocatable(imageBytes, 3) || !Allocatable(images, perImage)) return false;
        model.textures.assign(static_cast<size_t>(images), Texture{});
        for (Texture& texture : model.textures) {
            if (!DecodeMdlSkinImage(in, header, skinName, indices, texture)) return false;
        }
    }
    return true;
}

// Texture coordinates: entry i is vertex i's own; for a vertex on the seam, entry i + vertex count
// is the same point half a skin to the right, used by triangles that face away.
bool DecodeMdlTexCoords(ReaderInput& in, const MdlHeader& header, SubMesh& mesh, std::vector<uint8_t>& onSeam)
{
    const int64_t n = header.vertexCount;
    if (!Holds(in, n, kMdlSkinCoordinateBytes) || !Allocatable(n, 4 * sizeof(float))) return false;
    // Without a skin there is no picture size: the coordinates stay in pixels.
    const float width = header.skinWidth > 0 ? static_cast<float>(header.skinWidth) : 1.0f;
    const float height = header.skinHeight > 0 ? static_cast<float>(header.skinHeight) : 1.0f;
    onSeam.assign(static_cast<size_t>(n), 0);
    mesh.texCoords.assign(static_cast<size_t>(n) * 4, 0.0f);
    for (int64_t i = 0; i < n; ++i) {
        const int32_t seam = ReadInt(in);
        const float u = static_cast<float>(ReadInt(in)) / width;
        const float v = static_cast<float>(ReadInt(in)) / height;
        float* own = &mesh.texCoords[static_cast<size_t>(i) * 2];
        own[0] = u;
        own[1] = v;
        if (seam == kMdlOnSeam) {
            onSeam[static_cast<size_t>(i)] = 1;
            float* back = &mesh.texCoords[static_cast<size_t>(i + n) * 2];
            back[0] = u + 0.5f;
            back[1] = v;
        }
    }
    return !in.Overrun();
}

bool DecodeMdlTriangles(ReaderInput& in, const MdlHeader& header, SubMesh& mesh, const std::vector<uint8_t>& onSeam)
{
    const int64_t n = header.triangleCount;
    if (!Holds(in, n, kMdlTriangleBytes) || !Allocatable(n, kTriangleMemory)) return false;
    SetTriangleFaces(mesh, n, true);
    for (int64_t f = 0; f < n; ++f) {
        const bool facesFront = ReadInt(in) != 0;
        for (int k = 0; k < 3; ++k) {
            const uint32_t vertex = ClampIndex(ReadInt(in), header.vertexCount);
            const size_t corner = static_cast<size_t>(f * 3 + k);
            mesh.faceIndices[corner] = vertex;
            mesh.faceTexCoordIndices[corner] =
                !facesFront && onSeam[vertex] ? vertex + static_cast<uint32_t>(header.vertexCount) : vertex;
        }
    }
    return !in.Overrun();
}

// One simple frame: overall minimum and maximum (the bounds are computed from the vertices
// instead), name, packed vertices.
bool DecodeMdlFrame(ReaderInput& in, const MdlHeader& header, SubMesh& mesh, int64_t& framesRead,
                    std::vector<uint8_t>& packed)
{
    const int64_t n = header.vertexCount;
    if (!Holds(in, 1, kMdlFrameHeaderBytes + 4 * n)) return false;
    if (!FramesAllocatable(framesRead + 1, n)) return false;
    in.SkipBytes(8, SEEK_CUR);
    std::string name = ReadName(in, 16, kMaxFrameNameChars);
    packed.resize(static_cast<size_t>(n) * 4);
    if (in.ReadBytes(packed.data(), 4, static_cast<size_t>(n)) != static_cast<size_t>(n)) return false;
    if (framesRead > 0) mesh.frames.emplace_back();
    float* out = FrameVertices(mesh, framesRead, n);
    const auto bounds = UnpackByteVertices(packed.data(), n, header.scale, header.translate, out);
    NameFrame(mesh, framesRead, std::move(name), bounds);
    ++framesRead;
    return true;
}

// The frames: simple frames (type 0) and frame groups. A group holds its own frame count, an
// overall minimum and maximum, one display interval per frame, then its simple frames, each of
// which is counted as a key frame.
bool DecodeMdlFrames(ReaderInput& in, const MdlHeader& header, SubMesh& mesh)
{
    std::vector<uint8_t> packed;
    int64_t framesRead = 0;
    for (int32_t e = 0; e < header.frameCount; ++e) {
        const int32_t type = ReadInt(in);
        if (in.Overrun()) return false;
        if (type == 0) {
            if (!DecodeMdlFrame(in, header, mesh, framesRead, packed)) return false;
            continue;
        }
        const int32_t groupFrames = ReadInt(in);
        if (in.Overrun() || groupFrames < 0 || !Holds(in, int64_t{groupFrames} + 2, 4)) return false;
        in.SkipBytes(8 + 4 * int64_t{groupFrames}, SEEK_CUR);
        for (int32_t k = 0; k < groupFrames; ++k) {
            if (!DecodeMdlFrame(in, header, mesh, framesRead, packed)) return false;
        }
    }
    return framesRead > 0;
}

// The model file's name without its directory and extension.
std::string ModelBaseName(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.resize(dot);
    return name;
}

// ---------------------------------------------------------------------------------------------
// Quake 2 MD2

struct Md2Header {
    int32_t skinCount = 0;
    int32_t vertexCount = 0;
    int32_t texCoordCount = 0;
    int32_t triangleCount = 0;
    int32_t frameCount = 0;
    int32_t skinOffset = 0;
    int32_t texCoordOffset = 0;
    int32_t triangleOffset = 0;
    int32_t frameOffset = 0;
};

bool DecodeMd2Header(ReaderInput& in, Md2Header& header)
{
    ReadInt(in);  // version
    ReadInt(in);  // skin width: the skin image gives the size
    ReadInt(in);  // skin height
    ReadInt(in);  // frame size: frames follow each other directly
    header.skinCount = ReadInt(in);
    header.vertexCount = ReadInt(in);
    header.texCoordCount = ReadInt(in);
    header.triangleCount = ReadInt(in);
    ReadInt(in);  // GL command count
    header.frameCount = ReadInt(in);
    header.skinOffset = ReadInt(in);
    header.texCoordOffset = ReadInt(in);
    header.triangleOffset = ReadInt(in);
    header.frameOffset = ReadInt(in);
    ReadInt(in);  // GL command offset
    ReadInt(in);  // end offset
    if (in.Overrun()) return false;
    if (header.skinCount < 0 || header.vertexCount < 0 || header.texCoordCount < 0 ||
        header.triangleCount < 0 || header.frameCount < 1)
        return false;
    return header.triangleCount == 0 || header.vertexCount > 0;
}

bool DecodeMd2Triangles(ReaderInput& in, const Md2Header& header, SubMesh& mesh)
{
    const int64_t n = header.triangleCount;
    if (n == 0) return true;
    if (!SeekTo(in, header.triangleOffset) || !Holds(in, n, kMd2TriangleBytes) || !Allocatable(n, kTriangleMemory))
        return false;
    const bool withTexCoords = header.texCoordCount > 0;
    SetTriangleFaces(mesh, n, withTexCoords);
    for (int64_t f = 0; f < n; ++f) {
        uint32_t* corners = &mesh.faceIndices[static_cast<size_t>(f * 3)];
        for (int k = 0; k < 3; ++k) corners[k] = ClampIndex(in.ReadLE16(), header.vertexCount);
        for (int k = 0; k < 3; ++k) {
            const uint16_t texCorner = in.ReadLE16();
            if (withTexCoords) mesh.faceTexCoordIndices[static_cast<size_t>(f * 3 + k)] =
                ClampIndex(texCorner, header.texCoordCount);
        }
    }
    return !in.Overrun();
}

bool DecodeMd2Frames(ReaderInput& in, const Md2Header& header, SubMesh& mesh)
{
    const int64_t n = header.vertexCount;
    const int64_t frameBytes = kMd2FrameHeaderBytes + 4 * n;
    if (!SeekTo(in, header.frameOffset) || !Holds(in, header.frameCount, frameBytes) ||
        !FramesAllocatable(header.frameCount, n))
        return false;
    mesh.frames.resize(static_cast<size_t>(header.frameCount - 1));
    std::vector<uint8_t> packed(static_cast<size_t>(n) * 4);
    for (int64_t k = 0; k < header.frameCount; ++k) {
        float scale[3], translate[3];
        for (float& value : scale) value = in.ReadLEFloat();
        for (float& value : translate) value = in.ReadLEFloat();
        std::string name = ReadName(in, 16, kMaxFrameNameChars);
        if (in.ReadBytes(packed.data(), 4, static_cast<size_t>(n)) != static_cast<size_t>(n)) return false;
        float* out = FrameVertices(mesh, k, n);
        NameFrame(mesh, k, std::move(name), UnpackByteVertices(packed.data(), n, scale, translate, out));
    }
    return !in.Overrun();
}

// The skin file names: one texture each, named only; the skin search after the reader uses the first.
bool DecodeMd2Skins(ReaderInput& in, const Md2Header& header, Model& model)
{
    if (header.skinCount == 0) return true;
    if (!SeekTo(in, header.skinOffset) || !Holds(in, header.skinCount, kMd2SkinNameBytes) ||
        !Allocatable(header.skinCount, sizeof(Texture)))
        return false;
    model.textures.resize(static_cast<size_t>(header.skinCount));
    for (Texture& texture : model.textures) texture.name = ReadName(in, kMd2SkinNameBytes, kMaxTextureNameChars);
    return true;
}

// Texture coordinates in pixels of the skin; the dispatch divides them by the size of the skin found.
bool DecodeMd2TexCoords(ReaderInput& in, const Md2Header& header, SubMesh& mesh)
{
    const int64_t n = header.texCoordCount;
    if (n == 0) return true;
    if (!SeekTo(in, header.texCoordOffset) || !Holds(in, n, kMd2TexCoordBytes) || !Allocatable(n, 2 * sizeof(float)))
        return false;
    mesh.texCoords.resize(static_cast<size_t>(n) * 2);
    for (float& value : mesh.texCoords) value = static_cast<int16_t>(in.ReadLE16());
    return !in.Overrun();
}

// ---------------------------------------------------------------------------------------------
// Quake 3 MD3

struct Md3Header {
    int32_t frameCount = 0;
    int32_t tagCount = 0;
    int32_t surfaceCount = 0;
    int32_t surfaceOffset = 0;
};

bool DecodeMd3Header(ReaderInput& in, Md3Header& header)
{
    ReadInt(in);                             // version
    ReadName(in, kNameFieldSize, 0);         // model name
    ReadInt(in);                             // flags
    header.frameCount = ReadInt(in);
    header.tagCount = ReadInt(in);
    header.surfaceCount = ReadInt(in);
    ReadInt(in);  // skin count
    ReadInt(in);  // frame offset
    ReadInt(in);  // tag offset
    header.surfaceOffset = ReadInt(in);
    ReadInt(in);  // end offset
    if (in.Overrun() || in.Size() < kMd3HeaderBytes) return false;
    // Every surface needs at least its own header.
    return header.surfaceCount >= 1 && header.surfaceCount <= in.Size() / kMd3SurfaceHeaderBytes;
}

// Where the surfaces begin: directly after the header, the frames and the tags of every frame.
// When no surface identifier stands there but one stands where the header's surface offset
// points, the surfaces are taken from there (the offset the game itself follows).
int64_t FirstMd3Surface(ReaderInput& in, const Md3Header& header)
{
    const int64_t size = in.Size();
    const int64_t frames = header.frameCount, tags = header.tagCount;
    int64_t computed = -1;
    if (frames >= 0 && tags >= 0 && frames <= size / kMd3FrameBytes &&
        (frames == 0 || tags <= size / (kMd3TagBytes * frames)))
        computed = kMd3HeaderBytes + kMd3FrameBytes * frames + kMd3TagBytes * frames * tags;
    auto holdsSurface = [&](int64_t offset) {
        return offset >= 0 && offset <= size - kMd3SurfaceHeaderBytes;
    };
    auto surfaceAt = [&](int64_t offset) {
        return holdsSurface(offset) && SeekTo(in, offset) && ReadIdent(in, "IDP3");
    };
    if (surfaceAt(computed)) return computed;
    if (header.surfaceOffset != computed && surfaceAt(header.surfaceOffset)) return header.surfaceOffset;
    return holdsSurface(computed) ? computed : -1;
}

// What the surfaces of one model have read so far: bytes taken from the file's sections (at most
// the file's size, so that sections shared between surfaces cannot multiply the memory) and key
// frames made (at most one per 8 bytes of file).
struct Md3Budget {
    int64_t sectionBytes = 0;
    int64_t frames = 0;
};

bool Spend(const ReaderInput& in, int64_t& spent, int64_t count, int64_t itemSize)
{
    if (!Holds(in, count, itemSize)) return false;
    spent += count * itemSize;
    return spent <= in.Size();
}

struct Md3Surface {
    int32_t frameCount = 0;
    int32_t shaderCount = 0;
    int32_t vertexCount = 0;
    int32_t triangleCount = 0;
    int32_t triangleOffset = 0;
    int32_t shaderOffset = 0;
    int32_t texCoordOffset = 0;
    int32_t vertexOffset = 0;
    int32_t endOffset = 0;
};

bool DecodeMd3SurfaceHeader(ReaderInput& in, int64_t start, Md3Surface& surface)
{
    if (!SeekTo(in, start) || !Holds(in, 1, kMd3SurfaceHeaderBytes)) return false;
    in.SkipBytes(4 + kNameFieldSize + 4, SEEK_CUR);  // identifier, name, flags
    surface.frameCount = ReadInt(in);
    surface.shaderCount = ReadInt(in);
    surface.vertexCount = ReadInt(in);
    surface.triangleCount = ReadInt(in);
    surface.triangleOffset = ReadInt(in);
    surface.shaderOffset = ReadInt(in);
    surface.texCoordOffset = ReadInt(in);
    surface.vertexOffset = ReadInt(in);
    surface.endOffset = ReadInt(in);
    if (surface.frameCount < 1 || surface.shaderCount < 0 || surface.vertexCount < 0 || surface.triangleCount < 0)
        return false;
    return surface.triangleCount == 0 || surface.vertexCount > 0;
}

bool DecodeMd3Surface(ReaderInput& in, int64_t start, const Md3Surface& surface, SubMesh& mesh,
                      std::string* firstShader, Md3Budget& budget)
{
    const int64_t vertexCount = surface.vertexCount;
    // Triangles: three vertex indices each; texture coordinate i belongs to vertex i.
    if (surface.triangleCount > 0) {
        const int64_t n = surface.triangleCount;
        if (!SeekTo(in, start + surface.triangleOffset) || !Spend(in, budget.sectionBytes, n, kMd3TriangleBytes) ||
            !Allocatable(n, kTriangleMemory))
            return false;
        SetTriangleFaces(mesh, n, false);
        for (uint32_t& corner : mesh.faceIndices) corner = ClampIndex(ReadInt(in), vertexCount);
        if (in.Overrun()) return false;
        mesh.faceTexCoordIndices = mesh.faceIndices;
    }
    if (firstShader && surface.shaderCount > 0) {
        if (!SeekTo(in, start + surface.shaderOffset) || !Holds(in, 1, kNameFieldSize)) return false;
        *firstShader = ReadName(in, kNameFieldSize, kMaxTextureNameChars);
    }
    // Texture coordinates: t runs down the picture, v up.
    if (vertexCount > 0) {
        if (!SeekTo(in, start + surface.texCoordOffset) ||
            !Spend(in, budget.sectionBytes, vertexCount, kMd3TexCoordBytes) || !Allocatable(vertexCount, 2 * sizeof(float)))
            return false;
        mesh.texCoords.resize(static_cast<size_t>(vertexCount) * 2);
        for (size_t i = 0; i < mesh.texCoords.size(); i += 2) {
            mesh.texCoords[i] = in.ReadLEFloat();
            mesh.texCoords[i + 1] = 1.0f - in.ReadLEFloat();
        }
        if (in.Overrun()) return false;
    }
    // Vertices, frame after frame: x, y, z in 1/64 units and a packed normal (skipped).
    const int64_t frameCount = surface.frameCount;
    budget.frames += frameCount;
    if (budget.frames > in.Size() / 8 || !FramesAllocatable(frameCount, vertexCount)) return false;
    if (vertexCount > 0 && (!SeekTo(in, start + surface.vertexOffset) ||
                            !Spend(in, budget.sectionBytes, frameCount, kMd3VertexBytes * vertexCount)))
        return false;
    mesh.frames.resize(static_cast<size_t>(frameCount - 1));
    std::vector<uint8_t> packed(static_cast<size_t>(vertexCount * kMd3VertexBytes));
    for (int64_t k = 0; k < frameCount; ++k) {
        if (in.ReadBytes(packed.data(), 1, packed.size()) != packed.size()) return false;
        float* out = FrameVertices(mesh, k, vertexCount);
        BoundsBuilder bounds;
        const uint8_t* p = packed.data();
        for (int64_t i = 0; i < vertexCount; ++i, p += kMd3VertexBytes, out += 3) {
            for (int axis = 0; axis < 3; ++axis) {
                const int16_t value = static_cast<int16_t>(p[2 * axis] | (p[2 * axis + 1] << 8));
                out[axis] = value * kMd3VertexScale;
            }
            bounds.Extend(out[0], out[1], out[2]);
        }
        NameFrame(mesh, k, "Frame " + std::to_string(k + 1), bounds.bounds);
    }
    ComputeBoundsAndCentroid(mesh);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Skin search

size_t LastSeparator(std::string_view path)
{
    return path.find_last_of("/\\");
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    if (text.size() < suffix.size()) return false;
    const std::string_view tail = text.substr(text.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    }
    return true;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && EndsWithNoCase(a, b);
}

// Only regular files count; a named pipe must not block the search, hence O_NONBLOCK.
bool OpensForReading(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

// A file in the candidate's folder whose name equals the candidate's without regard to case
// (skin names written on a case-insensitive file system); empty when there is none.
std::string MatchIgnoringCase(const std::string& candidate)
{
    const size_t slash = LastSeparator(candidate);
    const std::string folder = slash == std::string::npos ? std::string() : candidate.substr(0, slash + 1);
    const std::string name = candidate.substr(folder.size());
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string match;
    while (const dirent* entry = ::readdir(dir)) {
        if (EqualNoCase(entry->d_name, name) && OpensForReading(folder + entry->d_name)) {
            match = folder + entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return match;
}

std::unique_ptr<Texture> FindQuakeSkin(const std::string& skinName, const std::string& modelPath,
                                       std::string_view extension, bool forMd3, FormatId imageId,
                                       int32_t failure, LoadContext& ctx)
{
    const std::vector<std::string> candidates = QuakeSkinCandidates(skinName, modelPath, extension, forMd3);
    std::string found;
    for (const std::string& candidate : candidates) {
        if (OpensForReading(candidate)) {
            found = candidate;
            break;
        }
    }
    if (found.empty()) {
        for (const std::string& candidate : candidates) {
            found = MatchIgnoringCase(candidate);
            if (!found.empty()) break;
        }
    }
    if (found.empty()) return Fail(ctx, failure);
    std::unique_ptr<Texture> image = LoadImageFile(found.c_str(), imageId);
    if (!image || !image->HasPixels() || image->width <= 0 || image->height <= 0) return Fail(ctx, failure);
    image->name = found;
    return image;
}

}  // namespace

std::unique_ptr<Model> ReadMdlFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    if (!ReadIdent(in, "IDPO")) return Fail(ctx, LoadResult::NotValidMdl);
    MdlHeader header;
    if (!DecodeMdlHeader(in, header)) return Fail(ctx, LoadResult::NotValidMdl);

    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    std::vector<uint8_t> onSeam;
    if (!DecodeMdlSkins(in, header, ModelBaseName(path) + "_skin.pcx", *model) ||
        !DecodeMdlTexCoords(in, header, mesh, onSeam) || !DecodeMdlTriangles(in, header, mesh, onSeam) ||
        !DecodeMdlFrames(in, header, mesh))
        return Fail(ctx, LoadResult::NotValidMdl);
    // A group of no pictures as the last skin leaves nothing to draw.
    model->hasTextures = header.skinCount > 0 && !model->textures.empty() ? 1 : 0;
    ComputeBoundsAndCentroid(mesh);
    return model;
}

std::unique_ptr<Model> ReadMd2File(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    if (!ReadIdent(in, "IDP2")) return Fail(ctx, LoadResult::NotValidMd2);
    Md2Header header;
    if (!DecodeMd2Header(in, header)) return Fail(ctx, LoadResult::NotValidMd2);

    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    if (!DecodeMd2Triangles(in, header, mesh) || !DecodeMd2Frames(in, header, mesh) ||
        !DecodeMd2Skins(in, header, *model) || !DecodeMd2TexCoords(in, header, mesh))
        return Fail(ctx, LoadResult::NotValidMd2);
    ComputeBoundsAndCentroid(mesh);
    return model;
}

std::unique_ptr<Model> ReadMd3File(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;
    if (!ReadIdent(in, "IDP3")) return Fail(ctx, LoadResult::NotValidMd3);
    Md3Header header;
    if (!DecodeMd3Header(in, header)) return Fail(ctx, LoadResult::NotValidMd3);
    int64_t start = FirstMd3Surface(in, header);
    if (start < 0 || !Allocatable(header.surfaceCount, sizeof(SubMesh))) return Fail(ctx, LoadResult::NotValidMd3);

    // One sub-mesh per surface; the next surface starts where the current one says it ends.
    auto model = NewModel(header.surfaceCount);
    Md3Budget budget;
    bool anyShader = false;
    std::string firstShader;
    for (int32_t s = 0; s < header.surfaceCount; ++s) {
        Md3Surface surface;
        if (!DecodeMd3SurfaceHeader(in, start, surface) ||
            !DecodeMd3Surface(in, start, surface, model->subMeshes[static_cast<size_t>(s)],
                              s == 0 ? &firstShader : nullptr, budget))
            return Fail(ctx, LoadResult::NotValidMd3);
        anyShader = anyShader || surface.shaderCount > 0;
        start += surface.endOffset;
    }
    // One texture when any surface names a shader, named after the first surface's first shader.
    if (anyShader) {
        Texture texture;
        texture.name = firstShader;
        texture.mappingMode = 0;
        model->textures.push_back(std::move(texture));
    }
    return model;
}

std::vector<std::string> QuakeSkinCandidates(const std::string& skinName, const std::string& modelPath,
                                             std::string_view extension, bool forMd3)
{
    const std::string ext(extension);
    // The model's directory with its separator, and its last component.
    const size_t slash = LastSeparator(modelPath);
    const std::string directory = slash == std::string::npos ? std::string() : modelPath.substr(0, slash + 1);
    const std::string modelFile = modelPath.substr(directory.size());
    std::string folderName;
    if (!directory.empty()) {
        const std::string inner = directory.substr(0, directory.size() - 1);
        const size_t innerSlash = LastSeparator(inner);
        folderName = innerSlash == std::string::npos ? inner : inner.substr(innerSlash + 1);
    }
    // The model's file name with its last four characters (".md2") replaced by the extension.
    const std::string modelSkin =
        (modelFile.size() >= 4 ? modelFile.substr(0, modelFile.size() - 4) : modelFile) + ext;
    // The skin name's file part, with the extension unless it has it already.
    const size_t skinSlash = LastSeparator(skinName);
    std::string skinFile = skinSlash == std::string::npos ? skinName : skinName.substr(skinSlash + 1);
    if (!skinFile.empty() && !EndsWithNoCase(skinFile, ext)) skinFile += ext;
    // A folder with an empty name (a model at the root) gives no folder-named skin.
    const std::string folderSkin = folderName.empty() ? std::string() : folderName + ext;

    std::vector<std::string> candidates;
    auto add = [&](const std::string& prefix, const std::string& name) {
        if (name.empty()) return;
        const std::string path = prefix + name;
        if (std::find(candidates.begin(), candidates.end(), path) == candidates.end()) candidates.push_back(path);
    };
    if (skinName.empty()) {
        add("", folderSkin);
        add(directory, folderSkin);
        if (forMd3) {
            add("", modelSkin);
            add(directory, modelSkin);
        }
        return candidates;
    }
    add("", skinName);
    add("", skinFile);
    add("", modelSkin);
    add(directory, skinFile);
    add(directory, modelSkin);
    add("", folderSkin);
    add(directory, folderSkin);
    return candidates;
}

std::unique_ptr<Texture> FindMd2Skin(const std::string& skinName, const std::string& modelPath, LoadContext& ctx)
{
    return FindQuakeSkin(skinName, modelPath, ".pcx", false, Format::Pcx, LoadResult::NoMd2Skin, ctx);
}

std::unique_ptr<Texture> FindMd3Skin(const std::string& skinName, const std::string& modelPath, LoadContext& ctx)
{
    return FindQuakeSkin(skinName, modelPath, ".tga", true, Format::Tga, LoadResult::NoMd3Skin, ctx);
}

// Quake 2: the skin found beside the model becomes the one texture and the texture coordinates,
// stored in pixels, become fractions of its size; without a skin the model has no textures.
void FinishMd2Model(Model& model, const std::string& path, LoadContext& ctx)
{
    const std::string skinName = model.textures.empty() ? std::string() : model.textures[0].name;
    std::unique_ptr<Texture> skin = FindMd2Skin(skinName, path, ctx);
    model.textures.clear();
    model.hasTextures = 0;
    if (!skin) return;
    const float width = static_cast<float>(skin->width), height = static_cast<float>(skin->height);
    for (SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i + 1 < mesh.texCoords.size(); i += 2) {
            mesh.texCoords[i] /= width;
            mesh.texCoords[i + 1] /= height;
        }
    }
    skin->mappingMode = 0;
    model.textures.push_back(std::move(*skin));
    model.hasTextures = 1;
}

// Quake 3: the first texture, named after the first shader, takes the skin's picture and path.
void FinishMd3Model(Model& model, const std::string& path, LoadContext& ctx)
{
    if (model.textures.empty()) return;
    Texture& texture = model.textures[0];
    std::unique_ptr<Texture> skin = FindMd3Skin(texture.name, path, ctx);
    if (skin && skin->HasPixels()) {
        texture.width = skin->width;
        texture.height = skin->height;
        texture.textureHandle = skin->textureHandle;
        texture.pixels = std::move(skin->pixels);
        texture.name = std::move(skin->name);
    } else {
        model.textures.clear();
    }
    model.hasTextures = model.textures.empty() ? 0 : 1;
}

}  // namespace solvane
