// Smooth vertex normals: every face adds its unit normal to each of its corners, and each sum is
// normalised (equal face weights, as in Gouraud's original scheme).
#include <cmath>

#include "core/mesh_ops.h"

namespace solvane {
namespace {

void GenerateSubMeshNormals(SubMesh& mesh)
{
    const uint32_t vertexCount = static_cast<uint32_t>(mesh.VertexCount());
    // assign() reuses the old buffer when it is large enough: no allocation on a second run.
    mesh.normals.assign(mesh.vertices.size(), 0.0f);
    const float* v = mesh.vertices.data();
    float* n = mesh.normals.data();
    const int32_t faceCount = mesh.FaceCount();
    for (int32_t f = 0; f < faceCount; ++f) {
        const int corners = mesh.FaceCorners(f);
        if (corners < 3 || vertexCount == 0) continue;
        uint32_t* face = mesh.FaceIndices(f);
        // Out-of-range corners are repaired in the face itself, so the drawing code can trust them.
        for (int k = 0; k < corners; ++k) {
            if (face[k] >= vertexCount) face[k] = vertexCount - 1;
        }
        const float* a = v + 3 * static_cast<size_t>(face[0]);
        const float* b = v + 3 * static_cast<size_t>(face[1]);
        const float* c = v + 3 * static_cast<size_t>(face[2]);
        const float ux = c[0] - b[0], uy = c[1] - b[1], uz = c[2] - b[2];
        const float wx = a[0] - b[0], wy = a[1] - b[1], wz = a[2] - b[2];
        float nx = uy * wz - uz * wy;
        float ny = uz * wx - ux * wz;
        float nz = ux * wy - uy * wx;
        const float length = std::sqrt(nx * nx + ny * ny + nz * nz);
        // A degenerate face (zero, infinite or NaN length) has no direction to give.
        if (!(length > 0.0f) || !std::isfinite(length)) continue;
        nx /= length;
        ny /= length;
        nz /= length;
        for (int k = 0; k < corners; ++k) {
            float* target = n + 3 * static_cast<size_t>(face[k]);
            target[0] += nx;
            target[1] += ny;
            target[2] += nz;
        }
    }
    // Dividing by the use count first would not change the direction, so normalise the sums.
    const size_t count = mesh.normals.size() / 3;
    for (size_t i = 0; i < count; ++i, n += 3) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f && std::isfinite(length)) {
            n[0] /= length;
            n[1] /= length;
            n[2] /= length;
        } else {
            // Unused, or only reached by faces whose normals cancel out.
            n[0] = 0.0f;
            n[1] = 0.0f;
            n[2] = 1.0f;
        }
    }
}

}  // namespace

void GenerateNormals(Model& model)
{
    for (SubMesh& mesh : model.subMeshes) {
        GenerateSubMeshNormals(mesh);
        ComputeBoundsAndCentroid(mesh);
    }
}

bool NormalsNeedInversion(FormatId id)
{
    return id == Format::TrueSpace || id == Format::Md2 || id == Format::Mdl || id == Format::Md3 ||
           id == Format::Ply;
}

void GenerateNormalsForFormat(Model& model)
{
    GenerateNormals(model);
    if (NormalsNeedInversion(model.formatId)) ScaleNormals(model, -1.0f);
}

void ScaleNormals(Model& model, float factor)
{
    for (SubMesh& mesh : model.subMeshes) {
        for (float& component : mesh.normals) component *= factor;
    }
}

}  // namespace solvane
