#include "fuzz/support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "load/dispatch.h"
#include "core/validate.h"
#include "image/image.h"

namespace solvane {
namespace {

const std::string& ScratchFolder()
{
    static const std::string folder = [] {
        std::string base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path().string();
        std::string path = base + "/solvane-fuzz-" + std::to_string(::getpid());
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return true;
}

}  // namespace

std::string FuzzScratchPath(const char* fileName)
{
    return ScratchFolder() + "/" + fileName;
}

bool FuzzWriteCompanion(const char* fileName, const uint8_t* data, size_t size)
{
    return WriteBytes(FuzzScratchPath(fileName), data, size);
}

void FuzzModelBytes(const uint8_t* data, size_t size, const char* fileName)
{
    const std::string path = FuzzScratchPath(fileName);
    if (!WriteBytes(path, data, size)) return;
    LoadContext ctx;
    std::unique_ptr<Model> model = LoadModelFile(path, ctx);
    if (model) {
        const std::string problem = ValidateModel(*model);
        if (!problem.empty()) {
            std::fprintf(stderr, "invalid model: %s\n", problem.c_str());
            std::abort();
        }
    }
}

namespace {

template <typename Vector>
bool SameBits(const Vector& a, const Vector& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0);
}

// Every value of two models (floats by their bits); the first difference, or null.
const char* ModelDifference(const Model& a, const Model& b)
{
    if (a.hasColor != b.hasColor || a.hasDiffuse != b.hasDiffuse || a.hasSpecular != b.hasSpecular ||
        a.hasTransparency != b.hasTransparency || a.hasTextures != b.hasTextures) {
        return "flags";
    }
    if (a.materials.size() != b.materials.size() || a.textures.size() != b.textures.size() ||
        a.subMeshes.size() != b.subMeshes.size()) {
        return "tables";
    }
    for (size_t i = 0; i < a.materials.size(); ++i) {
        const Material &x = a.materials[i], &y = b.materials[i];
        if (x.name != y.name || !SameBits(x.color, y.color) || !SameBits(x.diffuse, y.diffuse) ||
            !SameBits(x.specular, y.specular) || x.textureIndex != y.textureIndex) {
            return "materials";
        }
    }
    for (size_t i = 0; i < a.subMeshes.size(); ++i) {
        const SubMesh &x = a.subMeshes[i], &y = b.subMeshes[i];
        if (!SameBits(x.vertices, y.vertices) || !SameBits(x.normals, y.normals) || !SameBits(x.texCoords, y.texCoords) ||
            x.faceOffsets != y.faceOffsets || x.faceIndices != y.faceIndices ||
            x.faceTexCoordIndices != y.faceTexCoordIndices || x.faceMaterials != y.faceMaterials ||
            !SameBits(x.bounds, y.bounds) || !SameBits(x.centroid, y.centroid)) {
            return "sub-mesh";
        }
    }
    return nullptr;
}

}  // namespace

void FuzzModelBytesOnBlocks(const uint8_t* data, size_t size, const char* fileName)
{
    const std::string path = FuzzScratchPath(fileName);
    if (!WriteBytes(path, data, size)) return;
    LoadContext one, many;
    one.parallel.threads = 1;
    many.parallel = {3, 0, static_cast<int64_t>(size % 64) + 1};
    std::unique_ptr<Model> a = LoadModelFile(path, one);
    std::unique_ptr<Model> b = LoadModelFile(path, many);
    if (a) {
        const std::string problem = ValidateModel(*a);
        if (!problem.empty()) {
            std::fprintf(stderr, "invalid model: %s\n", problem.c_str());
            std::abort();
        }
    }
    const char* difference = (a && b) ? ModelDifference(*a, *b) : (a || b) ? "only one loaded" : nullptr;
    if (one.result.load() != many.result.load() || difference) {
        std::fprintf(stderr, "blocks differ from one thread: codes %d and %d, %s\n", one.result.load(),
                     many.result.load(), difference ? difference : "same model");
        std::abort();
    }
}

void FuzzCheckImageRecord(const Texture* image)
{
    if (!image) return;
    if (image->width <= 0 || image->height <= 0 || image->width > kMaxImageSide || image->height > kMaxImageSide ||
        image->pixels.size() != static_cast<size_t>(image->width) * image->height * 3) {
        std::fprintf(stderr, "bad image record %dx%d, %zu bytes\n", image->width, image->height, image->pixels.size());
        std::abort();
    }
}

void FuzzImageBytes(const uint8_t* data, size_t size, const char* fileName, int imageId)
{
    const std::string path = FuzzScratchPath(fileName);
    if (!WriteBytes(path, data, size)) return;
    FuzzCheckImageRecord(LoadImageFile(path.c_str(), imageId).get());
}

}  // namespace solvane
