#include "image/texture_search.h"

#include <dirent.h>

#include <cctype>
#include <string>
#include <vector>

#include "image/image.h"

namespace solvane {
namespace {

bool EqualNoCase(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b) {
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    }
    return *a == *b;
}

std::string BaseName(const std::string& name)
{
    size_t slash = name.rfind('/');
    if (slash == std::string::npos) slash = name.rfind('\\');
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The folder part of the model path with its separator ("" when it has none).
std::string FolderOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

void ResolveModelTextures(Model& model, const std::string& modelPath, LoadContext&)
{
    const int32_t count = model.TextureCount();
    std::vector<int32_t> newSlot(static_cast<size_t>(count), -1);
    std::vector<Texture> kept;
    kept.reserve(static_cast<size_t>(count));
    for (int32_t t = 0; t < count; ++t) {
        Texture& texture = model.textures[static_cast<size_t>(t)];
        std::unique_ptr<Texture> image = LoadTextureImage(texture.name, modelPath);
        if (!image) continue;
        texture.width = image->width;
        texture.height = image->height;
        texture.textureHandle = image->textureHandle;
        texture.pixels = std::move(image->pixels);
        newSlot[static_cast<size_t>(t)] = static_cast<int32_t>(kept.size());
        kept.push_back(std::move(texture));
    }
    const int32_t fallback = kept.empty() ? -1 : 0;
    for (Material& material : model.materials) {
        if (material.textureIndex < 0) continue;
        material.textureIndex = material.textureIndex < count
                                    ? newSlot[static_cast<size_t>(material.textureIndex)]
                                    : -1;
        if (material.textureIndex < 0) material.textureIndex = fallback;
    }
    model.textures = std::move(kept);
    model.hasTextures = model.textures.empty() ? 0 : 1;
}

std::unique_ptr<Texture> LoadTextureImage(const std::string& textureName, const std::string& modelPath)
{
    const FormatId imageId = ImageFormatFromName(textureName);
    if (imageId == Format::Unknown) return nullptr;
    if (auto image = LoadImageFile(textureName.c_str(), imageId)) return image;

    const std::string folder = FolderOf(modelPath);
    // A relative name with folders of its own ("../maps/wood.bmp") is relative to the model.
    if (!folder.empty() && !textureName.empty() && textureName[0] != '/' &&
        textureName.find('/') != std::string::npos) {
        const std::string relative = folder + textureName;
        if (auto image = LoadImageFile(relative.c_str(), imageId)) return image;
    }
    const std::string base = BaseName(textureName);
    if (base.empty()) return nullptr;
    const std::string beside = folder + base;
    if (auto image = LoadImageFile(beside.c_str(), imageId)) return image;

    // Names written on a case-insensitive file system: find the file whatever its case.
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return nullptr;
    std::string match;
    while (const dirent* entry = ::readdir(dir)) {
        if (EqualNoCase(entry->d_name, base.c_str()) && base != entry->d_name) {
            match = folder + entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    if (match.empty()) return nullptr;
    return LoadImageFile(match.c_str(), imageId);
}

}  // namespace solvane
