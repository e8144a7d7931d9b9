// The texture search: how a texture name written in a model file becomes an image, and the
// finishing step that replaces a model's texture names by their images.
#pragma once

#include <memory>
#include <string>

#include "core/load_context.h"
#include "core/model.h"

namespace solvane {

// Resolves a texture name that a model file gives: the name as stored, then (for a relative name
// with folders of its own) relative to the model's folder, then the name's last component in the
// model's folder, last that component matched without regard to case. Null when nothing reads.
std::unique_ptr<Texture> LoadTextureImage(const std::string& textureName, const std::string& modelPath);

// Textures named in a model: each is loaded; those that load are kept in order, each with its own
// name, and every material points at its texture's new slot. A material whose texture was dropped
// gets the first remaining texture, or none when no texture remains.
void ResolveModelTextures(Model& model, const std::string& modelPath, LoadContext& ctx);

}  // namespace solvane
