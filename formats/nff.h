// Sense8 WorldToolKit neutral files (.nff): objects of vertices and polygons.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads a WorldToolKit NFF file into a model with one sub-mesh per object (no materials). Null
// when the file cannot be opened; null with result 600 when the first token is not "nff", "NFF",
// "S8" or "s8", or an object is broken (counts the file cannot hold, corners outside the object's
// vertices, values missing).
std::unique_ptr<Model> ReadNffFile(const char* path, LoadContext& ctx);

// Writes the model as a WorldToolKit NFF file: one object per sub-mesh, vertex normals where the
// sub-mesh has them, polygon colours from the materials. False with the message in ctx on failure.
bool WriteNffFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
