// Black and White game meshes (.l3d): one triangle mesh with per-vertex texture coordinates and
// normals.
#pragma once

#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Reads an L3D file into a model with one sub-mesh. Null when the file cannot be opened; null
// with result 2300 when the magic is not "L3D0" or the header, vertices or faces are broken.
std::unique_ptr<Model> ReadL3dFile(const char* path, LoadContext& ctx);

}  // namespace solvane
