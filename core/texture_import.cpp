// Model side of importing a texture map: the chosen image becomes the model's texture, applied
// through the model's own texture coordinates.
#include "core/mesh_ops.h"

namespace solvane {
namespace {

std::string Unquoted(const std::string& path)
{
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') return path.substr(1, path.size() - 2);
    return path;
}

}  // namespace

bool ModelHasTexCoords(const Model& model)
{
    for (const SubMesh& mesh : model.subMeshes) {
        if (mesh.TexCoordCount() > 0) return true;
    }
    return false;
}

FormatId TextureMapImageFormat(const std::string& path)
{
    return ImageFormatFromExtension(path);
}

TextureImportUndo BeginTextureImport(const Model& model)
{
    TextureImportUndo undo;
    undo.hadTextures = !model.textures.empty();
    undo.materials.reserve(model.materials.size());
    for (const Material& material : model.materials)
        undo.materials.push_back({material.color, material.diffuse, material.specular});
    return undo;
}

TextureImportResult ImportTextureMap(Model& model, const std::string& imagePath, const ImageLoader& loadImage,
                                     int32_t textureIndex)
{
    TextureImportResult result;
    if (!ModelHasTexCoords(model)) {
        result.status = TextureImportStatus::NoTexCoords;
        result.warningTitle = kTextureImportFailedTitle;
        result.warningText = kTextureImportNeedsTexCoordsText;
        return result;
    }

    // 1. The image type comes from the extension; anything else leaves the model as it is.
    const std::string path = Unquoted(imagePath);
    const FormatId id = TextureMapImageFormat(path);
    if (id == Format::Unknown) {
        result.status = TextureImportStatus::UnsupportedExtension;
        return result;
    }
    // Read first, so that a file the reader refuses changes nothing.
    std::unique_ptr<Texture> image = loadImage ? loadImage(path.c_str(), id) : nullptr;
    if (!image || !image->HasPixels()) {
        result.status = TextureImportStatus::ImageUnreadable;
        return result;
    }

    // 2. A model without textures gets a one-entry table, and white materials that use it.
    if (model.textures.empty()) {
        model.textures.resize(1);
        model.hasTextures = 1;
        for (Material& material : model.materials) {
            material.textureIndex = 0;
            material.color = {1.0f, 1.0f, 1.0f};
            material.diffuse = {1.0f, 1.0f, 1.0f};
            material.specular = {1.0f, 1.0f, 1.0f};
        }
        result.createdTextureTable = true;
    }
    if (textureIndex < 0 || textureIndex >= model.TextureCount()) textureIndex = 0;

    // 3. The image goes into the texture being edited; its upload handle stays the viewer's.
    Texture& texture = model.textures[static_cast<size_t>(textureIndex)];
    texture.name = path;
    texture.width = image->width;
    texture.height = image->height;
    texture.pixels = std::move(image->pixels);
    // A texture this import made is applied through the model's own texture coordinates.
    if (result.createdTextureTable) texture.mappingMode = 0;
    result.status = TextureImportStatus::Imported;
    return result;
}

bool CancelTextureImport(Model& model, const TextureImportUndo& undo)
{
    if (undo.hadTextures || model.textures.empty()) return false;
    // 4. The table created since the dialog opened goes, and the materials get their colours back.
    model.textures.clear();
    model.textures.shrink_to_fit();
    model.hasTextures = 0;
    for (size_t m = 0; m < model.materials.size(); ++m) {
        Material& material = model.materials[m];
        if (m < undo.materials.size()) {
            material.color = undo.materials[m].color;
            material.diffuse = undo.materials[m].diffuse;
            material.specular = undo.materials[m].specular;
        }
        material.textureIndex = -1;
    }
    return true;
}

}  // namespace solvane
