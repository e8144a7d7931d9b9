// Fan triangulation: every face becomes the triangles that share its first corner. Exact for
// convex faces, which is what the formats' quads and n-gons are in practice.
#include "core/mesh_ops.h"

namespace solvane {

bool TriangulateSubMesh(SubMesh& mesh)
{
    // 1. Only a sub-mesh with a face of 4 or more corners needs it.
    const int32_t faceCount = mesh.FaceCount();
    size_t triangleCount = 0;
    bool needed = false;
    for (int32_t f = 0; f < faceCount; ++f) {
        const int corners = mesh.FaceCorners(f);
        if (corners >= 4) needed = true;
        if (corners >= 3) triangleCount += static_cast<size_t>(corners - 2);
    }
    if (!needed) return false;

    // 2. Allocate the new per-face arrays once, exactly.
    const bool hasTexCoords = mesh.HasTexCoordIndices();
    const bool hasContours = !mesh.faceContours.empty();
    const bool hasMaterials = !mesh.faceMaterials.empty();
    std::vector<uint32_t> offsets(triangleCount + 1);
    std::vector<uint32_t> indices(3 * triangleCount);
    std::vector<uint32_t> texIndices(hasTexCoords ? 3 * triangleCount : 0);
    std::vector<int32_t> contours(hasContours ? triangleCount : 0);
    std::vector<int32_t> materials(hasMaterials ? triangleCount : 0);

    // 3. Fan each face from its first corner, in face order.
    size_t t = 0;
    for (int32_t f = 0; f < faceCount; ++f) {
        const int corners = mesh.FaceCorners(f);
        if (corners < 3) continue;
        const uint32_t* face = mesh.FaceIndices(f);
        const uint32_t* tex = mesh.FaceTexCoordIndices(f);
        for (int k = 1; k + 1 < corners; ++k, ++t) {
            offsets[t] = static_cast<uint32_t>(3 * t);
            uint32_t* out = &indices[3 * t];
            out[0] = face[0];
            out[1] = face[k];
            out[2] = face[k + 1];
            if (hasTexCoords) {
                uint32_t* outTex = &texIndices[3 * t];
                outTex[0] = tex[0];
                outTex[1] = tex[k];
                outTex[2] = tex[k + 1];
            }
            if (hasContours) contours[t] = mesh.faceContours[f];
            if (hasMaterials) materials[t] = mesh.faceMaterials[f];
        }
    }
    offsets[triangleCount] = static_cast<uint32_t>(3 * triangleCount);

    // 4. Replace the per-face arrays; positions, normals and texture coordinates stay.
    if (triangleCount == 0) offsets.clear();
    mesh.faceOffsets = std::move(offsets);
    mesh.faceIndices = std::move(indices);
    mesh.faceTexCoordIndices = std::move(texIndices);
    mesh.faceContours = std::move(contours);
    mesh.faceMaterials = std::move(materials);
    return true;
}

bool TriangulateModel(Model& model)
{
    bool changed = false;
    for (SubMesh& mesh : model.subMeshes) changed = TriangulateSubMesh(mesh) || changed;
    return changed;
}

}  // namespace solvane
