#include "core/validate.h"

#include <cmath>

namespace solvane {
namespace {

std::string Where(size_t mesh, const char* what)
{
    return "sub-mesh " + std::to_string(mesh) + ": " + what;
}

bool BoundsMatch(const SubMesh& mesh)
{
    const int32_t n = mesh.VertexCount();
    if (n == 0) return true;  // nothing to check
    BoundsBuilder builder;
    for (int32_t i = 0; i < n; ++i) {
        const float* v = &mesh.vertices[static_cast<size_t>(i) * 3];
        builder.Extend(v[0], v[1], v[2]);
    }
    for (int k = 0; k < 6; ++k) {
        const float a = builder.bounds[k], b = mesh.bounds[k];
        if (std::isnan(a) && std::isnan(b)) continue;
        if (a != b) return false;
    }
    return true;
}

}  // namespace

std::string ValidateModel(const Model& model)
{
    if (model.subMeshes.empty()) return "no sub-mesh";
    const int32_t materialCount = model.MaterialCount();
    const int32_t textureCount = model.TextureCount();
    if (materialCount >= 32768) return "more than 32767 materials";
    for (size_t m = 0; m < model.materials.size(); ++m) {
        const int32_t t = model.materials[m].textureIndex;
        if (t < -1 || t >= textureCount)
            return "material " + std::to_string(m) + " has texture index " + std::to_string(t);
    }
    for (size_t t = 0; t < model.textures.size(); ++t) {
        const Texture& texture = model.textures[t];
        if (texture.HasPixels() &&
            texture.pixels.size() != static_cast<size_t>(texture.width) * texture.height * 3)
            return "texture " + std::to_string(t) + " pixel size does not match";
    }
    for (size_t s = 0; s < model.subMeshes.size(); ++s) {
        const SubMesh& mesh = model.subMeshes[s];
        if (mesh.vertices.size() % 3 != 0) return Where(s, "vertex array not a multiple of 3");
        if (mesh.texCoords.size() % 2 != 0) return Where(s, "texture coordinates not in pairs");
        const uint32_t vertexCount = static_cast<uint32_t>(mesh.VertexCount());
        const uint32_t texCoordCount = static_cast<uint32_t>(mesh.TexCoordCount());
        const int32_t faceCount = mesh.FaceCount();
        if (!mesh.faceOffsets.empty()) {
            if (mesh.faceOffsets.front() != 0 || mesh.faceOffsets.back() != mesh.faceIndices.size())
                return Where(s, "face offsets do not cover the corners");
            for (int32_t f = 0; f < faceCount; ++f) {
                if (mesh.faceOffsets[f + 1] < mesh.faceOffsets[f]) return Where(s, "face offsets decrease");
                if (mesh.FaceCorners(f) > kMaxFaceCorners) return Where(s, "face with more than 32767 corners");
            }
        } else if (!mesh.faceIndices.empty()) {
            return Where(s, "corners without faces");
        }
        for (uint32_t index : mesh.faceIndices) {
            if (index >= vertexCount) return Where(s, "corner index out of range");
        }
        if (!mesh.faceTexCoordIndices.empty()) {
            if (mesh.faceTexCoordIndices.size() != mesh.faceIndices.size())
                return Where(s, "texture-coordinate indices not parallel to corners");
            for (uint32_t index : mesh.faceTexCoordIndices) {
                if (index >= texCoordCount) return Where(s, "texture-coordinate index out of range");
            }
        }
        if (!mesh.normals.empty() && mesh.normals.size() != mesh.vertices.size())
            return Where(s, "normal count differs from vertex count");
        if (!mesh.faceMaterials.empty()) {
            if (static_cast<int32_t>(mesh.faceMaterials.size()) != faceCount)
                return Where(s, "face material count differs from face count");
            for (int32_t material : mesh.faceMaterials) {
                if (material < -1 || material >= materialCount) return Where(s, "face material out of range");
            }
        }
        if (!mesh.faceContours.empty() && static_cast<int32_t>(mesh.faceContours.size()) != faceCount)
            return Where(s, "contour count differs from face count");
        for (size_t k = 0; k < mesh.frames.size(); ++k) {
            if (mesh.frames[k].vertices.size() != mesh.vertices.size())
                return Where(s, "key frame vertex count differs");
        }
        if (!BoundsMatch(mesh)) return Where(s, "bounds not computed from the vertices");
    }
    return {};
}

}  // namespace solvane
