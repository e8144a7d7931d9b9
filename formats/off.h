// GeomView Object File Format (.off): a keyword, counts, vertex positions and face index lists.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads an OFF file into a model with one sub-mesh. Null when the file cannot be opened, or with
// result 800 when it is not a valid OFF file (wrong keyword, counts the file cannot hold, a face
// corner outside the vertices, values missing).
std::unique_ptr<Model> ReadOffFile(const char* path, LoadContext& ctx);

// Writes the model as an OFF file: all sub-meshes as one mesh, faces with their colours (when
// their material has one). False with the message in ctx when the file cannot be written.
bool WriteOffFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
