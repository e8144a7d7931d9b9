// Legacy VTK data files (.vtk) in ASCII form holding POLYDATA: the points and the polygons.
#pragma once

#include <memory>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Reads a legacy ASCII VTK POLYDATA file into a model with one sub-mesh. Null when the file cannot
// be opened; otherwise null with result 1600 when it does not begin with "# vtk", is binary, holds
// another dataset, or its points or polygons are broken (diagnostic lines go to stderr).
std::unique_ptr<Model> ReadVtkFile(const char* path, LoadContext& ctx);

}  // namespace solvane
