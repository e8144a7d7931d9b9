#include "viewer/background.h"

#include "core/format_id.h"
#include "image/image.h"

namespace solvane {

bool LoadBackgroundImageFile(Viewer& viewer, const std::string& path, int quality, std::string& error)
{
    const FormatId format = ImageFormatForChosenFile(path);
    if (format == Format::Unknown) {
        error = "not an image kind that is read (bmp, iff, jpg, pcx, png, ppm, tga): " + path;
        return false;
    }
    std::unique_ptr<Texture> image = LoadImageFile(path.c_str(), format);
    if (!image || !image->HasPixels()) {
        error = "cannot read the image " + path;
        return false;
    }
    image->name = path;
    viewer.SetBackgroundImage(std::move(image), path, quality, true);
    viewer.settings().using_background_image = 1;
    return true;
}

}  // namespace solvane
