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

// How an object was read: whole, cut short by the end of the file (kEnded once its vertex count
// was read, kNotStarted before), or broken.
enum class ObjectRead { kWhole, kEnded, kNotStarted, kBroken };

// A file that ends inside an object keeps the vertices and faces read whole.
ObjectRead ReadObject(ReaderInput& in, SubMesh& mesh)
{
    if (in.Remaining() < kNameBytes + 2) return ObjectRead::kNotStarted;
    in.SkipBytes(kNameBytes, SEEK_CUR);
    const uint16_t vertexCount = in.ReadBE16();
    const uint16_t verticesHeld = static_cast<uint16_t>(std::min<int64_t>(vertexCount, in.Remaining() / 6));
    mesh.vertices.resize(size_t{verticesHeld} * 3);
    BoundsBuilder bounds;
    for (size_t i = 0; i < verticesHeld; ++i) {
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
    if (verticesHeld < vertexCount || in.Remaining() < 2) return ObjectRead::kEnded;

    const uint16_t faceCount = in.ReadBE16();
    const uint16_t facesHeld = static_cast<uint16_t>(std::min<int64_t>(faceCount, in.Remaining() / 8));
    mesh.ReserveFaces(facesHeld, int64_t{facesHeld} * 3, false);
    for (uint16_t f = 0; f < facesHeld; ++f) {
        uint32_t corners[3];
        for (uint32_t& corner : corners) {
            corner = in.ReadBE16();
            if (corner >= vertexCount) return ObjectRead::kBroken;
        }
        in.ReadBE16();  // unused
        mesh.AppendFace(corners, 3);
    }
    if (facesHeld == 0) mesh.faceOffsets.clear();
    return facesHeld < faceCount ? ObjectRead::kEnded : ObjectRead::kWhole;
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
    if (!in.SkipBytes(kObjectsOffset, SEEK_SET)) return FailWith(ctx, LoadResult::NotValid3d2);

    // 2. One sub-mesh per object the file holds (a file without objects keeps one empty sub-mesh).
    auto model = NewModel(1);
    for (uint16_t i = 0; i < objectCount; ++i) {
        SubMesh object;
        const ObjectRead read = ReadObject(in, object);
        if (read == ObjectRead::kBroken) return FailWith(ctx, LoadResult::NotValid3d2);
        if (read == ObjectRead::kNotStarted) break;
        if (i == 0) model->subMeshes[0] = std::move(object);
        else model->subMeshes.push_back(std::move(object));
        if (read == ObjectRead::kEnded) break;
    }
    return model;
}

}  // namespace solvane
