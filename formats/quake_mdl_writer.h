// Quake 1 models (.mdl) written from any model.
#pragma once

#include <string>

#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Writes the model as a Quake 1 MDL: all sub-meshes as one mesh of fan triangles, every key frame
// (a sub-mesh with fewer frames repeats its last), positions packed into bytes over the model's
// box, one skin made from the model's first texture (quantised to the Quake palette, resampled to
// at most 640 x 480 with a width that is a multiple of 4) or, without one, a plain skin in the
// first material's colour. False with the message in ctx on failure.
bool WriteMdlFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
