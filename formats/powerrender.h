// Power Render object files (.pro): objects with per-face texture coordinates, materials and a
// list of PCX texture names.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Reads a Power Render file into a model: one sub-mesh per object chunk, the materials, and the
// texture names (without pixels; see LoadProTexture). Null when the file cannot be opened; null
// with result 700 when the first chunk is not 0x0303 or a chunk is broken.
std::unique_ptr<Model> ReadProFile(const char* path, LoadContext& ctx);

// Reads the PCX image a Power Render texture names from the model's own folder (whatever folder
// the name itself gives). Returns the image record, named with the path it was read from, or
// null when it cannot be read.
std::unique_ptr<Texture> LoadProTexture(const Texture& texture, const std::string& modelPath);

// Replaces every texture record of a Power Render model by LoadProTexture's result for it; a
// texture that cannot be read is dropped.
void LoadProTextures(Model& model, const std::string& modelPath, LoadContext& ctx);

// Writes the model as a Power Render file: one object per sub-mesh of triangles (polygons fanned,
// larger and holed ones tessellated) with per-triangle texture coordinates, the materials, and
// the texture list, every image written beside the model as PCX. False with ctx.error set;
// nothing is left behind.
bool WriteProFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
