// Rhino 3DM files of version 1 into the model: each mesh object becomes a sub-mesh, each object
// with material attributes a material, each texture or bump map it names a texture.
#pragma once

#include <cstdint>
#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

class CRhinoObject;

// Reads a 3DM file. Null when the file cannot be opened; null with result 2400 when it holds no
// mesh object, and also when the stream is damaged (a CRC mismatch, a bad chunk, a wrong header).
std::unique_ptr<Model> ReadRhinoFile(const char* path, LoadContext& ctx);

enum class RhinoPass { Count, Fill };

// The running numbers of sub-meshes, materials and textures of one pass.
struct RhinoCounters {
    int32_t subMeshes = 0;
    int32_t materials = 0;
    int32_t textures = 0;
};

// One object of either pass. Counting only advances the counters; filling (model and target
// given) writes the mesh into the target sub-mesh and its material and texture into the model's
// tables at the counters' positions. Objects other than meshes are left alone.
void ConvertRhinoObject(RhinoPass pass, const CRhinoObject& object, SubMesh* target, Model* model,
                        RhinoCounters& counters);

}  // namespace solvane
