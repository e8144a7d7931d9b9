#include "formats/l3d.h"

#include <algorithm>
#include <cstdio>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// Little-endian layout:
//   0     "L3D0"
//   120   vertex count, vertex offset, face count, face offset (uint32 each)
//   vertex offset: per vertex x y z u v nx ny nz (float32, 32 bytes)
//   right after the vertices: per face three corner indices (uint16)
// The face offset is not used: the faces follow the vertices directly. A file that ends early keeps
// the vertices and faces it holds whole.
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

    // 2. The vertices must start inside the file. A file that ends early keeps the vertices and
    // faces it holds whole (the faces only once every vertex is there).
    if (!in.SkipBytes(vertexOffset, SEEK_SET)) return FailWith(ctx, LoadResult::L3dError);
    if (!CountAllowed(vertexCount, 12) || !CountAllowed(faceCount, 28)) {
        return FailWith(ctx, LoadResult::L3dError);
    }
    const uint32_t verticesHeld = static_cast<uint32_t>(std::min<int64_t>(vertexCount, in.Remaining() / kVertexBytes));

    // 3. Vertices with their texture coordinates and normals.
    auto model = NewModel(1);
    SubMesh& mesh = model->subMeshes[0];
    mesh.vertices.resize(size_t{verticesHeld} * 3);
    mesh.texCoords.resize(size_t{verticesHeld} * 2);
    mesh.normals.resize(size_t{verticesHeld} * 3);
    BoundsBuilder bounds;
    for (size_t i = 0; i < verticesHeld; ++i) {
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
    if (verticesHeld < vertexCount) return model;

    // 4. Triangles; texture coordinate i belongs to vertex i.
    const uint32_t facesHeld = static_cast<uint32_t>(std::min<int64_t>(faceCount, in.Remaining() / kFaceBytes));
    mesh.ReserveFaces(facesHeld, int64_t{facesHeld} * 3, true);
    for (uint32_t f = 0; f < facesHeld; ++f) {
        uint32_t corners[3];
        for (uint32_t& corner : corners) {
            corner = in.ReadLE16();
            if (corner >= vertexCount) return FailWith(ctx, LoadResult::L3dError);
        }
        mesh.AppendFace(corners, 3, corners);
    }
    if (facesHeld == 0) mesh.faceOffsets.clear();
    if (in.Overrun()) return FailWith(ctx, LoadResult::L3dError);
    return model;
}

}  // namespace solvane
