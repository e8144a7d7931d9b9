// ASCII Polygon File Format (.ply): the vertex positions and the face index lists.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads an ASCII PLY file into a model with one sub-mesh. Null when the file cannot be opened;
// with result 2200 when it is not a valid PLY file (first line not "ply", a broken header or body,
// counts the file cannot hold, face corners outside the vertices), 2201 when its format is not
// "format ascii" (binary PLY).
std::unique_ptr<Model> ReadPlyFile(const char* path, LoadContext& ctx);

// Writes the model as an ASCII PLY file: one vertex element (x, y, z and, when every sub-mesh has
// them, nx, ny, nz) and one face element (vertex_indices and, when materials carry colours, red,
// green, blue). False with the message in ctx when the file cannot be written.
bool WritePlyFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
