#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "formats/mesh_writer_support.h"
#include "formats/stereo3d2.h"

namespace solvane {
namespace {

// Every 16-bit field stays below 32768, so readers that take the values as signed and readers
// that take them as unsigned read the same file.
constexpr int32_t kMaxValue = 32767;
constexpr float kLargestCoordinate = kMaxValue * 0.01f;
constexpr int64_t kHeaderBytes = 256;
constexpr size_t kNameBytes = 9;

// How model coordinates become file coordinates: (p - origin) * scale, in hundredths.
struct Placement {
    float origin[3] = {0, 0, 0};
    float scale = 1;
};

// A model inside 0..327.67 on every axis is written as it is; any other is moved to start at 0,
// and scaled down uniformly when its largest extent does not fit.
Placement PlaceModel(const Model& model)
{
    float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    float high[3] = {-low[0], -low[1], -low[2]};
    bool any = false;
    for (const SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i < mesh.vertices.size(); ++i) {
            const float value = mesh.vertices[i];
            if (!std::isfinite(value)) continue;
            low[i % 3] = std::min(low[i % 3], value);
            high[i % 3] = std::max(high[i % 3], value);
            any = true;
        }
    }
    Placement placement;
    if (!any) return placement;
    bool inside = true;
    float extent = 0;
    for (int axis = 0; axis < 3; ++axis) {
        if (low[axis] > high[axis]) low[axis] = high[axis] = 0;  // an axis without finite values
        inside = inside && low[axis] >= 0 && high[axis] <= kLargestCoordinate;
        extent = std::max(extent, high[axis] - low[axis]);
    }
    if (inside) return placement;
    for (int axis = 0; axis < 3; ++axis) placement.origin[axis] = low[axis];
    if (extent > kLargestCoordinate) placement.scale = kLargestCoordinate / extent;
    return placement;
}

uint16_t FileValue(float value, const Placement& placement, int axis)
{
    const double hundredths = (static_cast<double>(value) - placement.origin[axis]) * placement.scale * 100.0;
    if (!(hundredths > 0)) return 0;  // also not-a-number
    return static_cast<uint16_t>(std::min<double>(std::lround(std::min(hundredths, 1e9)), kMaxValue));
}

// One object as it goes into the file: positions into the sub-mesh and triangles of local indices.
struct Piece {
    const SubMesh* mesh = nullptr;
    std::vector<uint32_t> vertices;   // sub-mesh vertex of each object vertex
    std::vector<uint16_t> triangles;  // 3 local indices per triangle
};

// Splits a sub-mesh's fan triangles into objects that keep every count within 16 bits. A sub-mesh
// that fits is one object with all its vertices.
void SplitSubMesh(const SubMesh& mesh, std::vector<Piece>& pieces)
{
    int64_t triangles = 0;
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) triangles += std::max(mesh.FaceCorners(f) - 2, 0);
    if (mesh.VertexCount() <= kMaxValue && triangles <= kMaxValue) {
        Piece& piece = pieces.emplace_back();
        piece.mesh = &mesh;
        piece.vertices.resize(static_cast<size_t>(mesh.VertexCount()));
        for (size_t i = 0; i < piece.vertices.size(); ++i) piece.vertices[i] = static_cast<uint32_t>(i);
        piece.triangles.reserve(static_cast<size_t>(triangles) * 3);
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const uint32_t* indices = mesh.FaceIndices(f);
            ForEachFanTriangle(mesh.FaceCorners(f), [&](int a, int b, int c) {
                for (int k : {a, b, c}) piece.triangles.push_back(static_cast<uint16_t>(indices[k]));
            });
        }
        return;
    }
    // Local index of each sub-mesh vertex in the current object (stamped by object number).
    std::vector<int32_t> local(static_cast<size_t>(mesh.VertexCount()), -1);
    std::vector<int32_t> stamp(static_cast<size_t>(mesh.VertexCount()), -1);
    Piece* piece = nullptr;
    int32_t objectNumber = -1;
    for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
        const uint32_t* indices = mesh.FaceIndices(f);
        ForEachFanTriangle(mesh.FaceCorners(f), [&](int a, int b, int c) {
            const uint32_t corners[3] = {indices[a], indices[b], indices[c]};
            int fresh = 0;
            if (piece) {
                for (uint32_t v : corners) fresh += stamp[v] != objectNumber ? 1 : 0;
            }
            if (!piece || piece->vertices.size() + static_cast<size_t>(fresh) > static_cast<size_t>(kMaxValue) ||
                piece->triangles.size() / 3 + 1 > static_cast<size_t>(kMaxValue)) {
                piece = &pieces.emplace_back();
                piece->mesh = &mesh;
                ++objectNumber;
            }
            for (uint32_t v : corners) {
                if (stamp[v] != objectNumber) {
                    stamp[v] = objectNumber;
                    local[v] = static_cast<int32_t>(piece->vertices.size());
                    piece->vertices.push_back(v);
                }
                piece->triangles.push_back(static_cast<uint16_t>(local[v]));
            }
        });
    }
}

}  // namespace

// Stereo CAD-3D as written (big-endian 16-bit values): 0x3D02, the object count, zeros up to
// byte 256, then per object a 9-byte name, the vertex count, per vertex (x, z, y) in hundredths,
// the face count and per face three corners and a 0.
bool Write3d2File(const Model& model, const std::string& path, SaveContext& ctx)
{
    std::vector<Piece> pieces;
    for (const SubMesh& mesh : model.subMeshes) {
        SplitSubMesh(mesh, pieces);
        if (static_cast<int64_t>(pieces.size()) > kMaxValue) return ExceedsFormatLimit(ctx, kMaxValue, "objects");
    }
    const Placement placement = PlaceModel(model);
    int64_t bytes = kHeaderBytes;
    for (const Piece& piece : pieces)
        bytes += static_cast<int64_t>(kNameBytes + 4 + piece.vertices.size() * 6 + piece.triangles.size() / 3 * 8);
    ctx.total.store(bytes);
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    out.BE16(0x3D02);
    out.BE16(static_cast<uint16_t>(pieces.size()));
    const std::vector<uint8_t> zeros(static_cast<size_t>(kHeaderBytes - 4), 0);
    out.Bytes(zeros.data(), zeros.size());
    for (const Piece& piece : pieces) {
        char name[kNameBytes] = {};
        std::strncpy(name, piece.mesh->name.c_str(), kNameBytes - 1);
        out.Bytes(name, kNameBytes);
        out.BE16(static_cast<uint16_t>(piece.vertices.size()));
        for (uint32_t v : piece.vertices) {
            const float* p = &piece.mesh->vertices[static_cast<size_t>(v) * 3];
            out.BE16(FileValue(p[0], placement, 0));
            out.BE16(FileValue(p[2], placement, 2));
            out.BE16(FileValue(p[1], placement, 1));
        }
        out.BE16(static_cast<uint16_t>(piece.triangles.size() / 3));
        for (size_t t = 0; t < piece.triangles.size(); t += 3) {
            out.BE16(piece.triangles[t]);
            out.BE16(piece.triangles[t + 1]);
            out.BE16(piece.triangles[t + 2]);
            out.BE16(0);
        }
    }
    return out.Finish();
}

}  // namespace solvane
