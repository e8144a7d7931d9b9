// Stereo CAD-3D object files (.3d2): objects of 16-bit vertices and triangles.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads a Stereo CAD-3D file into a model with one sub-mesh per object. Null when the file cannot
// be opened; null with result 900 when the magic is not 0x3D02 or an object is broken.
std::unique_ptr<Model> Read3d2File(const char* path, LoadContext& ctx);

// Writes the model as a Stereo CAD-3D file: one object per sub-mesh (split where a 16-bit count
// would overflow), fan triangles, coordinates in hundredths as 16-bit values (a model outside
// 0..327.67 is moved and scaled uniformly to fit). False with the message in ctx on failure.
bool Write3d2File(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
