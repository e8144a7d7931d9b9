// One colour for every material of the model (the "Material..." command's model side).
#include "core/mesh_ops.h"

namespace solvane {

void ApplyColor(Model& model, std::array<float, 3> rgb)
{
    // 1. Mark colour, specular and diffuse as absent, so the rebuild fills them from the colour.
    model.hasColor = 0;
    model.hasSpecular = 0;
    model.hasDiffuse = 0;

    // 2. A model without materials gets one, used by every face.
    if (model.materials.empty()) {
        Material material;
        material.name = kApplyColorMaterialName;
        material.textureIndex = -1;
        model.materials.push_back(std::move(material));
        for (SubMesh& mesh : model.subMeshes) mesh.faceMaterials.assign(static_cast<size_t>(mesh.FaceCount()), 0);
    }

    // 3. Every material takes the colour.
    for (Material& material : model.materials) {
        material.color = rgb;
        material.diffuse = rgb;
        material.specular = rgb;
    }
}

void FinishApplyColor(Model& model)
{
    model.hasColor = 1;
    model.hasDiffuse = 1;
    model.hasSpecular = 1;
}

}  // namespace solvane
