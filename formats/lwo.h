// LightWave objects, both versions of the IFF layout (LWOB and LWO2).
#pragma once

#include <memory>

#include <string>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

class ReaderInput;

// Reads a LightWave object into a model: one sub-mesh per polygon list, one material per surface,
// one texture per image a surface or clip names (names only; the dispatch loads the images).
// Null when the file cannot be opened, or with result 1400 when it does not begin with FORM and
// the type LWOB or LWO2.
std::unique_ptr<Model> ReadLwoFile(const char* path, LoadContext& ctx);

// Reads four bytes and returns the position of the first equal entry of the reader's table of
// 173 chunk identifiers, or -1 (also when fewer than four bytes are left).
int ReadLwoId(ReaderInput& in);

// Writes the model as an LWOB object: its sub-meshes as one polygon list (holes tessellated), one
// surface per material ("Default" for faces without one) with a planar image map whose image is
// written beside the model as TGA. LWOB has no texture coordinates or normals. Refused beyond
// 65536 points. False with ctx.error set; nothing is left behind.
bool WriteLwoFile(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
