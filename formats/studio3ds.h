// 3D Studio mesh files (.3ds) and project files (.prj): triangle meshes, materials and their maps.
#pragma once

#include <memory>

#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads a 3D Studio mesh or project file: one sub-mesh per triangle mesh (one empty sub-mesh when
// the file holds none), one material per material entry, one texture per texture, reflection or
// bump map (names only; the dispatch loads the images). Null with result 1000 when the file does
// not start with a main chunk, or null when it cannot be opened.
std::unique_ptr<Model> Read3dsFile(const char* path, LoadContext& ctx);

// Writes the model as a 3D Studio mesh file: triangles (polygons fanned, larger and holed ones
// tessellated), one object per sub-mesh, split where a sub-mesh has more than 65535 vertices or
// faces; materials with their maps, the images written beside the model as BMP. False with
// ctx.error set; nothing is left behind.
bool Write3dsFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
