// Wavefront OBJ models with their material library (<model>.mtl beside the file).
#pragma once

#include <memory>

#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads an OBJ file into a model with one sub-mesh; null when the file cannot be opened. Each
// material's map_Kd becomes a texture entry holding the file name as written (one entry per
// distinct name); the dispatch's texture search loads the pictures.
std::unique_ptr<Model> ReadObjFile(const char* path, LoadContext& ctx);

// Writes the model as an OBJ file and its material library (the path with ".mtl"), textured
// materials' images beside them as PNG. All sub-meshes come back from the reader as one; faces
// keep their polygons (holes are tessellated). False with ctx.error set; nothing is left behind.
bool WriteObjFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
