#include "core/dispatch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "core/mesh_ops.h"
#include "core/reader_input.h"
#include "formats/cob.h"
#include "formats/dxf.h"
#include "formats/lwo.h"
#include "formats/obj.h"
#include "formats/l3d.h"
#include "formats/nff.h"
#include "formats/off.h"
#include "formats/ply.h"
#include "formats/powerrender.h"
#include "formats/quake.h"
#include "formats/stereo3d2.h"
#include "formats/vtk.h"
#include "formats/xfile.h"
#include "formats/studio3ds.h"
#include "image/image.h"
#include "rhino/rhino_model.h"

namespace solvane {
namespace {

using ModelReader = std::unique_ptr<Model> (*)(const char* path, LoadContext& ctx);

// The reader of each model id; null for ids without one.
ModelReader ReaderFor(FormatId id)
{
    switch (id) {
    case Format::Studio3ds: return Read3dsFile;
    case Format::Dxf: return ReadDxfFile;
    case Format::TrueSpace: return ReadCobFile;
    case Format::DirectX: return ReadXFile;
    case Format::LightWave: return ReadLwoFile;
    case Format::Obj: return ReadObjFile;
    case Format::Md2: return ReadMd2File;
    case Format::Mdl: return ReadMdlFile;
    case Format::Md3: return ReadMd3File;
    case Format::Rhino: return ReadRhinoFile;
    case Format::Off: return ReadOffFile;
    case Format::Vtk: return ReadVtkFile;
    case Format::Nff: return ReadNffFile;
    case Format::Ply: return ReadPlyFile;
    case Format::L3d: return ReadL3dFile;
    case Format::StereoCad: return Read3d2File;
    case Format::PowerRender: return ReadProFile;
    default: return nullptr;
    }
}

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

// Textures named in a model: load each; keep those that load, in order, each with its own name,
// and point every material at its texture's new slot. A material whose texture was dropped gets
// the first remaining texture, or none when no texture remains.
void ResolveTextures(Model& model, const std::string& modelPath)
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

// Quake 2: the skin found beside the model becomes the one texture and the texture coordinates,
// stored in pixels, become fractions of its size; without a skin the model has no textures.
void AttachMd2Skin(Model& model, const std::string& path, LoadContext& ctx)
{
    const std::string skinName = model.textures.empty() ? std::string() : model.textures[0].name;
    std::unique_ptr<Texture> skin = FindMd2Skin(skinName, path, ctx);
    model.textures.clear();
    model.hasTextures = 0;
    if (!skin) return;
    const float width = static_cast<float>(skin->width), height = static_cast<float>(skin->height);
    for (SubMesh& mesh : model.subMeshes) {
        for (size_t i = 0; i + 1 < mesh.texCoords.size(); i += 2) {
            mesh.texCoords[i] /= width;
            mesh.texCoords[i + 1] /= height;
        }
    }
    skin->mappingMode = 0;
    model.textures.push_back(std::move(*skin));
    model.hasTextures = 1;
}

// Quake 3: the first texture, named after the first shader, takes the skin's picture and path.
void AttachMd3Skin(Model& model, const std::string& path, LoadContext& ctx)
{
    if (model.textures.empty()) return;
    Texture& texture = model.textures[0];
    std::unique_ptr<Texture> skin = FindMd3Skin(texture.name, path, ctx);
    if (skin && skin->HasPixels()) {
        texture.width = skin->width;
        texture.height = skin->height;
        texture.textureHandle = skin->textureHandle;
        texture.pixels = std::move(skin->pixels);
        texture.name = std::move(skin->name);
    } else {
        model.textures.clear();
    }
    model.hasTextures = model.textures.empty() ? 0 : 1;
}

void FinishModel(Model& model, FormatId id, const std::string& path, LoadContext& ctx)
{
    switch (id) {
    case Format::Md2:
        AttachMd2Skin(model, path, ctx);
        break;
    case Format::Md3:
        AttachMd3Skin(model, path, ctx);
        break;
    case Format::Studio3ds:
    case Format::TrueSpace:
    case Format::LightWave:
    case Format::DirectX:
    case Format::Rhino:
        ResolveTextures(model, path);
        break;
    case Format::Dxf:
        // Faces share no corners in the file: merge the exactly equal ones (bounds and centroid
        // are recomputed by the weld).
        WeldVertices(model.subMeshes[0], 0.0);
        break;
    case Format::PowerRender:
        // Each texture record becomes the PCX image read from the model's folder.
        LoadProTextures(model, path);
        break;
    default:
        break;
    }
}

}  // namespace

int32_t DefaultFailureCode(FormatId id)
{
    switch (id) {
    case Format::Studio3ds: return LoadResult::NotValid3ds;
    case Format::TrueSpace: return LoadResult::NotValidCob;
    case Format::Dxf: return LoadResult::DxfNo3dFace;
    case Format::L3d: return LoadResult::L3dError;
    case Format::LightWave: return LoadResult::NotValidLwo;
    case Format::Md2: return LoadResult::NotValidMd2;
    case Format::Mdl: return LoadResult::NotValidMdl;
    case Format::Off: return LoadResult::NotValidOff;
    case Format::Vtk: return LoadResult::NotValidVtk;
    case Format::DirectX: return LoadResult::NotValidX;
    case Format::PowerRender: return LoadResult::NotValidPro;
    case Format::Solvane: return LoadResult::NotValidSvo;
    case Format::StereoCad: return LoadResult::NotValid3d2;
    case Format::Nff: return LoadResult::NotValidNff;
    case Format::Md3: return LoadResult::NotValidMd3;
    case Format::Ply: return LoadResult::NotValidPly;
    case Format::Rhino: return LoadResult::NoRhinoMeshes;
    default: return LoadResult::Unknown;
    }
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

void LoadModelFile(LoadRequest& request, LoadContext& ctx)
{
    request.model.reset();
    ctx.result.store(LoadResult::NoError);
    const auto finish = [&ctx] { ctx.done.store(-1, std::memory_order_release); };

    // 1. Identify.
    const FormatId id = IdentifyFormat(request.path.c_str());
    if (id == Format::Unknown) {
        ctx.result.store(LoadResult::FormatNotRecognized);
        finish();
        return;
    }
    // 2. The file's size is the progress total.
    struct stat info {};
    if (::stat(request.path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        ctx.result.store(LoadResult::FileNotFound);
        finish();
        return;
    }
    FILE* probe = std::fopen(request.path.c_str(), "rb");
    if (!probe) {
        ctx.result.store(LoadResult::FileNotFound);
        finish();
        return;
    }
    std::fclose(probe);
    // 3. Ids without a reader.
    const ModelReader reader = ReaderFor(id);
    if (!reader) {
        ctx.result.store(DefaultFailureCode(id));
        finish();
        return;
    }
    // 4. Read.
    int64_t expected = 0;
    if (!ctx.total.compare_exchange_strong(expected, static_cast<int64_t>(info.st_size) * FormatProgressFactor(id))) {
        if (expected == -1) return;  // cancelled before it began
        ctx.total.store(static_cast<int64_t>(info.st_size) * FormatProgressFactor(id));
    }
    std::unique_ptr<Model> model;
    try {
        model = reader(request.path.c_str(), ctx);
        if (model) {
            // 5. Per-format finishing.
            FinishModel(*model, id, request.path, ctx);
            // 6. Names of unnamed sub-meshes.
            for (size_t i = 0; i < model->subMeshes.size(); ++i) {
                SubMesh& mesh = model->subMeshes[i];
                if (mesh.name.empty()) mesh.name = "Mesh" + std::to_string(i + 1);
            }
            // 7. The format.
            model->formatId = id;
        }
    } catch (const LoadCancelled&) {
        return;  // the canceller has set both counters to -1; nothing built escapes
    } catch (const std::bad_alloc&) {
        model.reset();
    } catch (const std::length_error&) {
        model.reset();
    }
    if (ctx.Cancelled()) return;
    if (!model || model->subMeshes.empty()) {
        model.reset();
        if (ctx.result.load() == LoadResult::NoError) ctx.result.store(DefaultFailureCode(id));
        finish();
        return;
    }
    // 9. Hand over.
    request.model = std::move(model);
    finish();
}

std::unique_ptr<Model> LoadModelFile(const std::string& path, LoadContext& ctx)
{
    ResetProgress(ctx);
    LoadRequest request;
    request.path = path;
    LoadModelFile(request, ctx);
    return std::move(request.model);
}

}  // namespace solvane
