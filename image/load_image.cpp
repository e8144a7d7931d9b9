#include "image/image.h"
#include "image/jpeg.h"
#include "image/readers.h"

namespace solvane {

std::unique_ptr<Texture> LoadImageFile(const char* path, FormatId id)
{
    switch (id) {
    // Each image reader is called here by its id.
    case Format::Pcx: return ReadPcxFile(path);
    case Format::Bmp: return ReadBmpFile(path);
    case Format::Tga: return ReadTgaFile(path);
    case Format::Ppm: return ReadPpmFile(path);
    case Format::Iff: return ReadIlbmFile(path);
    case Format::Jpeg: return ReadJpegFile(path);
    case Format::Png: return ReadPngFile(path);
    default:
        return nullptr;
    }
}

std::unique_ptr<Texture> LoadChosenImage(std::string_view path)
{
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
    const FormatId id = ImageFormatForChosenFile(path);
    if (id == Format::Unknown) return nullptr;
    return LoadImageFile(std::string(path).c_str(), id);
}

}  // namespace solvane
