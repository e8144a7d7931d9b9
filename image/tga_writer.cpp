// Truevision TGA writer: uncompressed true colour (type 2), 24 bits per pixel, the origin at the
// bottom left, so rows run from the bottom of the picture up, each pixel blue, green, red.
#include <vector>

#include "image/image_writer.h"

namespace solvane {

bool WriteTgaImage(const ImageRows& image, WriterOutput& out)
{
    out.Byte(0);  // no identification field
    out.Byte(0);  // no colour map
    out.Byte(2);  // uncompressed true colour
    const uint8_t colorMapSpecification[5] = {0, 0, 0, 0, 0};
    out.Bytes(colorMapSpecification, sizeof colorMapSpecification);
    out.LE16(0);  // x origin
    out.LE16(0);  // y origin
    out.LE16(static_cast<uint16_t>(image.width));
    out.LE16(static_cast<uint16_t>(image.height));
    out.Byte(24);
    out.Byte(0);  // no alpha bits, bottom-left origin

    std::vector<uint8_t> row(static_cast<size_t>(image.width) * 3);
    for (int32_t r = image.height - 1; r >= 0; --r) {
        const uint8_t* source = image.Row(r);
        for (size_t i = 0; i < row.size(); i += 3) {
            row[i] = source[i + 2];
            row[i + 1] = source[i + 1];
            row[i + 2] = source[i];
        }
        out.Bytes(row.data(), row.size());
    }
    return !out.Failed();
}

}  // namespace solvane
