// Raster image loading: the image readers return a Texture record holding name, width, height
// and RGB pixels (width * height * 3 bytes).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "core/format_id.h"
#include "core/model.h"

namespace solvane {

// Images larger than this on either side are refused.
constexpr int kMaxImageSide = 16384;

// Reads the image at path with the reader of the given image id (11 PCX, 12 BMP, 19 TGA, 21 PPM,
// 22 JPEG, 24 IFF, 26 PNG); null for any other id or when the reader refuses the file.
std::unique_ptr<Texture> LoadImageFile(const char* path, FormatId id);

// A file chosen in an image chooser (background, eye filter): surrounding double quotes removed,
// the reader picked by the name's last three characters (ImageFormatForChosenFile). Null for any
// other ending or when the reader refuses the file.
std::unique_ptr<Texture> LoadChosenImage(std::string_view path);

}  // namespace solvane
