// Binary STL (.stl), the triangle format of 3D-printing tools. Written only.
#pragma once

#include <string>

#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Writes every face of every sub-mesh as fan triangles with their facet normals (computed from
// the corners). False with the message in ctx on failure.
bool WriteStlFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
