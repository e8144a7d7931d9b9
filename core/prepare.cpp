#include "core/prepare.h"

#include <algorithm>
#include <cmath>

#include "core/format_id.h"
#include "core/mesh_ops.h"

namespace solvane {

float SizeNormalisationFactor(const Model& model)
{
    if (model.subMeshes.empty()) return 1.0f;
    const auto& b = model.subMeshes[0].bounds;
    const float maxX = b[1], maxY = b[3], maxZ = b[5];
    if (maxX < 0.2f && maxY < 0.2f && maxZ < 0.2f) {
        const float mean = (std::fabs(maxX) + std::fabs(maxY) + std::fabs(maxZ)) / 3;
        return mean > 0 && std::isfinite(mean) ? 0.2f / mean : 1.0f;
    }
    if (maxX <= 0.5f && maxY <= 0.5f && maxZ <= 0.5f) return 1.0f;
    const float largest = std::max({maxX, maxY, maxZ});
    return std::isfinite(largest) && largest > 0 ? 0.25f / largest : 1.0f;
}

void PrepareModelData(Model& model, const Settings& settings)
{
    if (model.materials.empty()) {
        Material material;
        material.name = kDefaultMaterialName;
        if (model.hasTextures) {
            material.color = material.diffuse = material.specular = {1, 1, 1};
            material.textureIndex = 0;
        } else {
            material.color = material.diffuse = material.specular = settings.Foreground();
            material.textureIndex = -1;
        }
        model.materials.push_back(material);
        model.hasColor = model.hasDiffuse = model.hasSpecular = 1;
        for (SubMesh& mesh : model.subMeshes) mesh.faceMaterials.assign(static_cast<size_t>(mesh.FaceCount()), 0);
    }
    const float factor = SizeNormalisationFactor(model);
    model.loadScale = 1.0f;
    if (factor != 1.0f && ScaleModel(model, factor)) model.loadScale = factor;
}

void FinishLoadedModel(Model& model, const Settings& settings, std::vector<std::string>* errors)
{
    if (model.subMeshes.empty()) return;
    if (settings.light && model.subMeshes[0].normals.empty()) GenerateNormalsForFormat(model);
    if (model.formatId == Format::TrueSpace) {
        if (!settings.light) GenerateNormalsForFormat(model);
        TessellateModel(model, errors);
    }
}

}  // namespace solvane
