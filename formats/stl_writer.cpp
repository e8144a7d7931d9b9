#include "formats/stl_writer.h"

#include <cmath>
#include <cstring>

#include "formats/mesh_writer_support.h"

namespace solvane {
namespace {

constexpr size_t kHeaderBytes = 80;
constexpr int64_t kTriangleBytes = 50;
// The header must not begin with "solid", or readers take the file for ASCII STL.
constexpr char kHeader[] = "Binary STL written by Solvane Viewer";

}  // namespace

// Binary STL: an 80-byte header, the triangle count (uint32), then per triangle the facet normal
// and three corners (12 little-endian floats) and a 16-bit attribute word of 0.
bool WriteStlFile(const Model& model, const std::string& path, SaveContext& ctx)
{
    const CombinedCounts counts = CountCombined(model);
    if (counts.triangles > int64_t{UINT32_MAX}) return ExceedsFormatLimit(ctx, UINT32_MAX, "triangles");
    ctx.total.store(static_cast<int64_t>(kHeaderBytes) + 4 + counts.triangles * kTriangleBytes);
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;

    char header[kHeaderBytes] = {};
    std::memcpy(header, kHeader, sizeof kHeader - 1);
    out.Bytes(header, kHeaderBytes);
    out.LE32(static_cast<uint32_t>(counts.triangles));
    for (const SubMesh& mesh : model.subMeshes) {
        for (int32_t f = 0; f < mesh.FaceCount(); ++f) {
            const uint32_t* indices = mesh.FaceIndices(f);
            ForEachFanTriangle(mesh.FaceCorners(f), [&](int a, int b, int c) {
                const float* p[3] = {&mesh.vertices[size_t{indices[a]} * 3], &mesh.vertices[size_t{indices[b]} * 3],
                                     &mesh.vertices[size_t{indices[c]} * 3]};
                const double e1[3] = {p[1][0] - double{p[0][0]}, p[1][1] - double{p[0][1]}, p[1][2] - double{p[0][2]}};
                const double e2[3] = {p[2][0] - double{p[0][0]}, p[2][1] - double{p[0][1]}, p[2][2] - double{p[0][2]}};
                double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
                const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                for (double& value : n) value = length > 0 && std::isfinite(length) ? value / length : 0.0;
                for (double value : n) out.LEFloat(static_cast<float>(value));
                for (const float* corner : p) {
                    for (int axis = 0; axis < 3; ++axis) out.LEFloat(corner[axis]);
                }
                out.LE16(0);
            });
        }
    }
    return out.Finish();
}

}  // namespace solvane
