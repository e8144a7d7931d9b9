// trueSpace binary object (.cob) and scene (.scn) files: polygon objects placed by their own
// transforms, with holes kept as contours, and their materials and texture maps.
#pragma once

#include <memory>

#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads a binary little-endian trueSpace file into one sub-mesh per polygon object. Null when the
// file cannot be opened, or with ctx.result set: 401 for an ASCII file, 400 for anything else that
// is not a readable binary file (wrong magic, version or byte order, a chunk that runs past its
// size, no polygon object at all).
std::unique_ptr<Model> ReadCobFile(const char* path, LoadContext& ctx);

// Writes the model as a binary trueSpace object file: one polygon object per sub-mesh with its
// polygons, holes and texture coordinates, followed by the materials its faces use; texture maps
// name images written beside the model as BMP. False with ctx.error set; nothing is left behind.
bool WriteCobFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
