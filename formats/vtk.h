// Legacy VTK data files (.vtk) in ASCII form holding POLYDATA: the points and the polygons.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads a legacy ASCII VTK POLYDATA file into a model with one sub-mesh. Null when the file cannot
// be opened; otherwise null with result 1600 when it does not begin with "# vtk", is binary, holds
// another dataset, or its points or polygons are broken (diagnostic lines go to stderr).
std::unique_ptr<Model> ReadVtkFile(const char* path, LoadContext& ctx);

// Writes the model as a legacy ASCII VTK POLYDATA file: POINTS, POLYGONS and, where the model
// has them, point NORMALS and cell COLOR_SCALARS. False with the message in ctx on failure.
bool WriteVtkFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
