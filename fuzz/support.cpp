#include "fuzz/support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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
