#include "image/image.h"

#include "core/input_file.h"
#include "image/jpeg.h"
#include "image/readers.h"

namespace solvane {

std::unique_ptr<Texture> LoadImageFile(const char* path, FormatId id)
{
    // A directory, pipe or device named as a texture is never opened (a pipe would block the load).
    if (!IsRegularFile(path)) return nullptr;
    switch (id) {
    // Each image reader is called here by its id.
    case Format::Pcx: return ReadPcxFile(path);
    case Format::Bmp: return ReadBmpFile(path);
    case Format::Tga: return ReadTgaFile(path);
    case Format::Ppm: return ReadPpmFile(path);
    case Format::Iff: return ReadIlbmFile(path);
    case Format::Jpeg: return ReadJpegFile(path);
    default:
        return nullptr;
    }
}

}  // namespace solvane
