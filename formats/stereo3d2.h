// Stereo CAD-3D object files (.3d2): objects of 16-bit vertices and triangles.
#pragma once

#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Reads a Stereo CAD-3D file into a model with one sub-mesh per object. Null when the file cannot
// be opened; null with result 900 when the magic is not 0x3D02 or an object is broken.
std::unique_ptr<Model> Read3d2File(const char* path, LoadContext& ctx);

}  // namespace solvane
