#include "formats/stereo3d2.h"

#include <algorithm>
#include <cstdio>

#include "formats/reader_support.h"

namespace solvane {
namespace {

// Big-endian 16-bit unsigned values (U2):
//   0     magic 0x3D02
//   2     object count
//   256   the objects: name (9 bytes), vertex count, count * (a b c), face count,
//         count * (i1 i2 i3 unused)
// A vertex (a, b, c) lies at (a, c, b) * 0.01: the file's second axis is the model's z.
constexpr uint16_t kMagic = 0x3D02;
constexpr int64_t kObjectsOffset = 256;
constexpr int64_t kNameBytes = 9;
constexpr int64_t kSmallestObjectBytes = kNameBytes + 4;

bool ReadObject(ReaderInput& in, SubMesh& mesh)
{
    if (!in.SkipBytes(kNameBytes, SEEK_CUR)) return false;
    const uint16_t vertexCount = in.ReadBE16();
    if (in.Overrun() || int64_t{vertexCount} * 6 > in.Remaining()) return false;
    mesh.vertices.resize(size_t{vertexCount} * 3);
    BoundsBuilder bounds;
    for (size_t i = 0; i < vertexCount; ++i) {
        const uint16_t a = in.ReadBE16();
        const uint16_t b = in.ReadBE16();
        const uint16_t c = in.ReadBE16();
        float* v = &mesh.vertices[i * 3];
        v[0] = static_cast<float>(a * 0.01);
        v[1] = static_cast<float>(c * 0.01);
        v[2] = static_cast<float>(b * 0.01);
        bounds.Extend(v[0], v[1], v[2]);
    }
    mesh.bounds = bounds.bounds;
    StoreCentroid(mesh);

    const uint16_t faceCount = in.ReadBE16();
    if (in.Overrun() || int64_t{faceCount} * 8 > in.Remaining()) return false;
    mesh.ReserveFaces(faceCount, int64_t{faceCount} * 3, false);
    for (uint16_t f = 0; f < faceCount; ++f) {
        uint32_t corners[3];
        for (uint32_t& corner : corners) {
            corner = in.ReadBE16();
            if (corner >= vertexCount) return false;
        }
        in.ReadBE16();  // unused
        mesh.AppendFace(corners, 3);
    }
    if (faceCount == 0) mesh.faceOffsets.clear();
    return !in.Overrun();
}

}  // namespace

std::unique_ptr<Model> Read3d2File(const char* path, LoadContext& ctx)
{
    ReaderInput in(ctx);
    if (!in.Open(path)) return nullptr;

    // 1. Magic and object count.
    const uint16_t magic = in.ReadBE16();
    const uint16_t objectCount = in.ReadBE16();
    if (in.Overrun() || magic != kMagic) return FailWith(ctx, LoadResult::NotValid3d2);
    if (!in.SkipBytes(kObjectsOffset, SEEK_SET) ||
        int64_t{objectCount} * kSmallestObjectBytes > in.Remaining()) {
        return FailWith(ctx, LoadResult::NotValid3d2);
    }

    // 2. One sub-mesh per object (a file without objects keeps one empty sub-mesh).
    auto model = NewModel(std::max<int32_t>(objectCount, 1));
    for (uint16_t i = 0; i < objectCount; ++i) {
        if (!ReadObject(in, model->subMeshes[i])) return FailWith(ctx, LoadResult::NotValid3d2);
    }
    return model;
}

}  // namespace solvane
