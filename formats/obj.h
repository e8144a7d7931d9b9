// Wavefront OBJ models with their material library (<model>.mtl beside the file).
#pragma once

#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Reads an OBJ file into a model with one sub-mesh; null when the file cannot be opened.
std::unique_ptr<Model> ReadObjFile(const char* path, LoadContext& ctx);

}  // namespace solvane
