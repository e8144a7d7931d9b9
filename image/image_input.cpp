#include "image/image_input.h"

#include <unistd.h>

#include <cstdio>
#include <new>

#include "core/input_file.h"
#include "image/image.h"

namespace solvane {

bool ReadImageFileBytes(const char* path, std::vector<uint8_t>& bytes)
{
    bytes.clear();
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    FILE* file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return false;
    }
    bool ok = false;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        if (size >= 0 && static_cast<uint64_t>(size) <= kMaxImageAllocationBytes &&
            std::fseek(file, 0, SEEK_SET) == 0) {
            try {
                bytes.resize(static_cast<size_t>(size));
                ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
            } catch (const std::bad_alloc&) {
                ok = false;
            }
        }
    }
    std::fclose(file);
    if (!ok) bytes.clear();
    return ok;
}

std::unique_ptr<Texture> NewBlackImage(int64_t width, int64_t height)
{
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return nullptr;
    const uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 3;
    if (bytes > kMaxImageAllocationBytes) return nullptr;
    try {
        auto image = std::make_unique<Texture>();
        image->width = static_cast<int32_t>(width);
        image->height = static_cast<int32_t>(height);
        image->pixels.assign(static_cast<size_t>(bytes), 0);
        return image;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace solvane
