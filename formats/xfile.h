// DirectX .x files, text and binary: meshes with normals, texture coordinates and material lists,
// materials with their texture file names. Frames are containers only: their matrices are not
// applied.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/reader_input.h"
#include "core/writer_output.h"

namespace solvane {

// Reads an .x file into one sub-mesh per Mesh block. Null when the file cannot be opened, or
// with ctx.result 1700 when it is not a readable .x file: wrong magic, a compressed file ("com ",
// "tzip", "bzip"), a count the rest of the file cannot hold, values missing inside a mesh, or no
// mesh at all.
std::unique_ptr<Model> ReadXFile(const char* path, LoadContext& ctx);

// The next non-empty line as ReaderInput::ReadTextLine reads it, cut at the first "#" or "//"
// that is not inside a double-quoted string; the cut line ends with a line feed. Returns the
// length as read, or -1 at the end of the input.
int64_t ReadXLine(ReaderInput& in, std::string& line);

// Write the model as an .x file, binary (the format's token stream) or text: the materials with
// their texture file names (the images written beside the model as BMP), one Mesh per sub-mesh
// with its polygons (holes tessellated), normals, texture coordinates (vertices split where a
// vertex has several) and material list. False with ctx.error set; nothing is left behind.
bool WriteXBinaryFile(const Model& model, const std::string& path, SaveContext& ctx);
bool WriteXTextFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
