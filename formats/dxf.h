// AutoCAD DXF drawings: the 3DFACE entities, coloured from the AutoCAD colour palette.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// The AutoCAD colour palette as RGB from 0 to 1, indexed by the colour number (0 to 255).
extern const std::array<std::array<float, 3>, 256> DxfPalette;

// Name of the one sub-mesh of a DXF model.
constexpr const char* kDxfMeshName = "DXF 3DFACE mesh";

// Reads the 3DFACE entities of a DXF file into one sub-mesh of triangles and quadrilaterals, with
// one material per distinct colour number. Null with result 300 when the file holds no 3DFACE,
// or null when it cannot be opened.
std::unique_ptr<Model> ReadDxfFile(const char* path, LoadContext& ctx);
// Finishing step after a successful read: welds exactly equal vertices.
void FinishDxfModel(Model& model, const std::string& path, LoadContext& ctx);

// Writes the model as a DXF drawing of 3DFACE entities: one layer per sub-mesh, colour numbers
// from the materials, faces of more than four corners split into quadrilaterals and a triangle.
// False with the message in ctx on failure.
bool WriteDxfFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
