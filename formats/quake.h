// The animated models of the three Quake engines: Quake 1 MDL (skins inside the file), Quake 2 MD2
// and Quake 3 MD3 (skins in image files beside the model, found by the skin search). Every face is
// a triangle; the first key frame is the sub-mesh's own vertices, every further one an
// AnimationFrame.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/load_context.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

// Each reader returns a new model, or null: when the file cannot be opened (no code set), or with
// NotValidMdl / NotValidMd2 / NotValidMd3 in ctx.result when the file is not one it can read.
std::unique_ptr<Model> ReadMdlFile(const char* path, LoadContext& ctx);
std::unique_ptr<Model> ReadMd2File(const char* path, LoadContext& ctx);
std::unique_ptr<Model> ReadMd3File(const char* path, LoadContext& ctx);

// The skin search: the first candidate file that opens is read as a PCX (MD2) or TGA (MD3) image.
// Returns the image with its name set to the path it was found under; null after setting
// NoMd2Skin / NoMd3Skin when no candidate opens or the image cannot be read.
std::unique_ptr<Texture> FindMd2Skin(const std::string& skinName, const std::string& modelPath,
                                     LoadContext& ctx);
std::unique_ptr<Texture> FindMd3Skin(const std::string& skinName, const std::string& modelPath,
                                     LoadContext& ctx);

// Finishing steps after a successful read. MD2: the skin found beside the model becomes the one
// texture and the texture coordinates, stored in pixels, become fractions of its size. MD3: the
// first texture takes the skin's picture and path. Without a skin the model has no textures.
void FinishMd2Model(Model& model, const std::string& path, LoadContext& ctx);
void FinishMd3Model(Model& model, const std::string& path, LoadContext& ctx);

// The paths the skin search tries, in order, for a skin name, the model's path and the image
// extension (".pcx" or ".tga"); forMd3 selects the order used when the skin name is empty.
std::vector<std::string> QuakeSkinCandidates(const std::string& skinName, const std::string& modelPath,
                                             std::string_view extension, bool forMd3);

// The 256-colour palette of Quake: red, green, blue per index.
extern const std::array<std::array<uint8_t, 3>, 256> QuakePalette;

// The 162 unit normals an MD2 vertex refers to by index.
extern const std::array<std::array<float, 3>, 162> kMd2Normals;

// Writers. MD2: one mesh (the sub-meshes together) with every key frame as bytes scaled to the
// frame's box, texture coordinates in pixels of the skin, drawing commands for the engine, the
// skin written beside the model as PCX; refused beyond Quake 2's 2048 vertices, 4096 triangles or
// 512 frames. MD3: a surface per sub-mesh and texture (split at 4096 vertices and 8192 triangles)
// with every key frame in 1/64 units and a TGA skin per surface; refused beyond 32 surfaces, 1024
// frames or 512 units from the origin. False with ctx.error set; nothing is left behind.
bool WriteMd2File(const Model& model, const std::string& path, SaveContext& ctx);
bool WriteMd3File(const Model& model, const std::string& path, SaveContext& ctx);

}  // namespace solvane
