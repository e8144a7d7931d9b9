// 3D Studio mesh files (.3ds) and project files (.prj): triangle meshes, materials and their maps.
#pragma once

#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Reads a 3D Studio mesh or project file: one sub-mesh per triangle mesh (one empty sub-mesh when
// the file holds none), one material per material entry, one texture per texture, reflection or
// bump map (names only; the dispatch loads the images). Null with result 1000 when the file does
// not start with a main chunk, or null when it cannot be opened.
std::unique_ptr<Model> Read3dsFile(const char* path, LoadContext& ctx);

}  // namespace solvane
