#include "core/model.h"

#include <algorithm>

namespace solvane {

void SubMesh::ReserveFaces(int64_t faceCount, int64_t cornerCount, bool withTexCoords)
{
    faceOffsets.clear();
    faceIndices.clear();
    faceTexCoordIndices.clear();
    faceOffsets.reserve(static_cast<size_t>(faceCount) + 1);
    faceOffsets.push_back(0);
    faceIndices.reserve(static_cast<size_t>(cornerCount));
    if (withTexCoords) faceTexCoordIndices.reserve(static_cast<size_t>(cornerCount));
}

void SubMesh::AppendFace(const uint32_t* corners, int count, const uint32_t* texCorners)
{
    if (faceOffsets.empty()) faceOffsets.push_back(0);
    const bool keepTexCoords = texCorners != nullptr || faceTexCoordIndices.capacity() > 0;
    faceIndices.insert(faceIndices.end(), corners, corners + count);
    if (keepTexCoords) {
        const uint32_t* source = texCorners ? texCorners : corners;
        faceTexCoordIndices.insert(faceTexCoordIndices.end(), source, source + count);
    }
    faceOffsets.push_back(static_cast<uint32_t>(faceIndices.size()));
}

void SubMesh::ClearFaces()
{
    faceOffsets = {};
    faceIndices = {};
    faceTexCoordIndices = {};
    faceContours = {};
    faceMaterials = {};
}

std::unique_ptr<Model> NewModel(int32_t subMeshCount, int32_t materialCount, int32_t textureCount)
{
    auto model = std::make_unique<Model>();
    model->subMeshes.resize(static_cast<size_t>(std::max(subMeshCount, 0)));
    model->materials.resize(static_cast<size_t>(std::max(materialCount, 0)));
    model->textures.resize(static_cast<size_t>(std::max(textureCount, 0)));
    ResetModel(model.get());
    return model;
}

void ResetModel(Model* model)
{
    if (!model) return;
    model->hasColor = model->hasSpecular = model->hasDiffuse = 0;
    model->hasTransparency = model->hasTextures = 0;
    for (SubMesh& mesh : model->subMeshes) {
        const uint32_t solidList = mesh.solidList;
        const uint32_t wireList = mesh.wireList;
        mesh = SubMesh{};
        mesh.solidList = solidList;
        mesh.wireList = wireList;
    }
    for (Material& material : model->materials) {
        material.color = {0, 0, 0};
        material.specular = {0, 0, 0};
        material.diffuse = {0, 0, 0};
        material.transparency = 0;
    }
    for (Texture& texture : model->textures) {
        texture.width = texture.height = 0;
        texture.textureHandle = 0;
        texture.mappingMode = -1;
    }
}

void FreeModelData(Model* model)
{
    if (!model) return;
    model->materials = {};
    model->textures = {};
    for (SubMesh& mesh : model->subMeshes) {
        mesh.vertices = {};
        mesh.ClearFaces();
        mesh.normals = {};
        mesh.texCoords = {};
        mesh.frames = {};
    }
}

void CopyMaterial(Material& destination, const Material& source)
{
    destination = source;
}

std::unique_ptr<Texture> CloneTexture(const Texture& source)
{
    auto copy = std::make_unique<Texture>();
    copy->name = source.name;
    copy->width = source.width;
    copy->height = source.height;
    copy->textureHandle = source.textureHandle;
    copy->pixels = source.pixels;
    return copy;
}

void FreeTexture(std::unique_ptr<Texture>& texture)
{
    texture.reset();
}

void ComputeBoundsAndCentroid(SubMesh& mesh)
{
    const size_t n = mesh.vertices.size() / 3;
    if (n == 0) {
        mesh.bounds = {-1, -1, -1, -1, -1, -1};
        mesh.centroid = {0, 0, 0};
        return;
    }
    BoundsBuilder builder;
    double sx = 0, sy = 0, sz = 0;
    const float* v = mesh.vertices.data();
    for (size_t i = 0; i < n; ++i, v += 3) {
        builder.Extend(v[0], v[1], v[2]);
        sx += v[0];
        sy += v[1];
        sz += v[2];
    }
    mesh.bounds = builder.bounds;
    mesh.centroid = {static_cast<float>(sx / n), static_cast<float>(sy / n),
                     static_cast<float>(sz / n)};
}

void ComputeAllBounds(Model& model)
{
    for (SubMesh& mesh : model.subMeshes) ComputeBoundsAndCentroid(mesh);
}

std::array<float, 6> ModelBounds(const Model& model)
{
    std::array<float, 6> box{-1, -1, -1, -1, -1, -1};
    bool any = false;
    for (const SubMesh& mesh : model.subMeshes) {
        if (mesh.VertexCount() == 0) continue;
        if (!any) {
            box = mesh.bounds;
            any = true;
            continue;
        }
        for (int axis = 0; axis < 3; ++axis) {
            box[2 * axis] = std::min(box[2 * axis], mesh.bounds[2 * axis]);
            box[2 * axis + 1] = std::max(box[2 * axis + 1], mesh.bounds[2 * axis + 1]);
        }
    }
    return box;
}

std::array<float, 3> ModelCentre(const Model& model)
{
    double sum[3] = {0, 0, 0};
    int64_t count = 0;
    for (const SubMesh& mesh : model.subMeshes) {
        const int64_t n = mesh.VertexCount();
        for (int axis = 0; axis < 3; ++axis) sum[axis] += static_cast<double>(mesh.centroid[axis]) * n;
        count += n;
    }
    if (count == 0) return {0, 0, 0};
    return {static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
            static_cast<float>(sum[2] / count)};
}

int64_t TotalVertices(const Model& model)
{
    int64_t total = 0;
    for (const SubMesh& mesh : model.subMeshes) total += mesh.VertexCount();
    return total;
}

int64_t TotalFaces(const Model& model)
{
    int64_t total = 0;
    for (const SubMesh& mesh : model.subMeshes) total += mesh.FaceCount();
    return total;
}

}  // namespace solvane
