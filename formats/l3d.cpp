#include "formats/l3d.h"

#include <cstdio>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// Little-endian layout:
//   0     "L3D0"
//   120   vertex count, vertex offset, face count, face offset (uint32 each)
//   vertex offset: per vertex x y z u v nx ny nz (float32, 32 bytes)
//   right after the vertices: per face three corner indices (uint16)
// The face offset is not used: the faces follow the vertices directly.
constexpr int64_t kHeaderOffset = 120;
constexpr int64_t kVertexBytes = 32;
constexpr int64_t kFaceBytes = 6;
constexpr bool kL3dDebug = false;

}  // namespace

std::unique_ptr<Model> ReadL3dFile(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. Magic and header.
    char magic[4] = {};
    if (in.ReadBytes(magic, 1, 4) != 4 || std::string_view(magic, 4) != "L3D0") {
        return FailWith(ctx, LoadResult::L3dError);
    }
    if (!in.SkipBytes(kHeaderOffset, SEEK_SET)) return FailWith(ctx, LoadResult::L3dError);
    const uint32_t vertexCount = in.ReadLE32();
    const uint32_t vertexOffset = in.ReadLE32();
    const uint32_t faceCount = in.ReadLE32();
    const uint32_t faceOffset = in.ReadLE32();
    if (in.Overrun()) return FailWith(ctx, LoadResult::L3dError);
    if (kL3dDebug) {
        std::fprintf(stderr, "L3D: mesh->numVertices=%u\n", vertexCount);
        std::fprintf(stderr, "L3D: offsetVertices=%u\n", vertexOffset);
        std::fprintf(stderr, "L3D: mesh->numFaces=%u\n", faceCount);
        std::fprintf(stderr, "l3D: offsetFaces=%u\n", faceOffset);
    }

    // 2. The records must be in the file.
    if (!in.SkipBytes(vertexOffset, SEEK_SET)) return FailWith(ctx, LoadResult::L3dError);
    const int64_t needed = int64_t{vertexCount} * kVertexBytes + int64_t{faceCount} * kFaceBytes;
    if (needed > in.Remaining() || int64_t{vertexCount} * 12 > kMaxAllocationBytes) {
        return FailWith(ctx, LoadResult::L3dError);
    }

    // 3. Vertices with their texture coordinates and normals.
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices.resize(size_t{vertexCount} * 3);
    mesh.texCoords.resize(size_t{vertexCount} * 2);
    mesh.normals.resize(size_t{vertexCount} * 3);
    BoundsBuilder bounds;
    for (size_t i = 0; i < vertexCount; ++i) {
        float* v = &mesh.vertices[i * 3];
        float* t = &mesh.texCoords[i * 2];
        float* n = &mesh.normals[i * 3];
        v[0] = in.ReadLEFloat();
        v[1] = in.ReadLEFloat();
        v[2] = in.ReadLEFloat();
        t[0] = in.ReadLEFloat();
        t[1] = in.ReadLEFloat();
        n[0] = in.ReadLEFloat();
        n[1] = in.ReadLEFloat();
        n[2] = in.ReadLEFloat();
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);

    // 4. Triangles; texture coordinate i belongs to vertex i.
    mesh.ReserveFaces(faceCount, int64_t{faceCount} * 3, true);
    for (uint32_t f = 0; f < faceCount; ++f) {
        uint32_t corners[3];
        for (uint32_t& corner : corners) {
            corner = in.ReadLE16();
            if (corner >= vertexCount) return FailWith(ctx, LoadResult::L3dError);
        }
        mesh.AppendFace(corners, 3, corners);
    }
    if (faceCount == 0) mesh.faceOffsets.clear();
    if (in.Overrun()) return FailWith(ctx, LoadResult::L3dError);
    return model;
}

}  // namespace solvane
