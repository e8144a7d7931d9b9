// Wavefront OBJ models with their material library (<model>.mtl beside the file).
#pragma once

#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Reads an OBJ file into a model with one sub-mesh; null when the file cannot be opened. Each
// material's map_Kd becomes a texture entry holding the file name as written (one entry per
// distinct name); the dispatch's texture search loads the pictures.
std::unique_ptr<Model> ReadObjFile(const char* path, LoadContext& ctx);

}  // namespace solvane
