// glTF 2.0 binary (.glb) writer.
#pragma once

#include <string>

#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Writes the model as one .glb file: a node and a mesh per sub-mesh, one triangle primitive per
// material it uses (polygons fanned, larger and holed ones tessellated), positions, normals and
// texture coordinates, metallic-roughness materials from the model's colours, and every texture a
// material uses embedded as PNG. Only the first key frame is written. False with ctx.error set;
// nothing is left behind.
bool WriteGlbFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
