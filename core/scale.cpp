// Uniform scaling of the model's positions about the origin.
#include "core/mesh_ops.h"

namespace solvane {

bool ScaleModel(Model& model, float factor)
{
    if (factor == 1.0f) return false;
    // Key frames 2..n keep their positions: only the first key frame is scaled.
    for (SubMesh& mesh : model.subMeshes) {
        for (float& coordinate : mesh.vertices) coordinate *= factor;
        ComputeBoundsAndCentroid(mesh);
    }
    return true;
}

}  // namespace solvane
