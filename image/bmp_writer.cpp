// Windows Bitmap writer: a 40-byte info header and 24-bit uncompressed pixels, rows bottom first
// and padded to whole 32-bit words, each pixel blue, green, red.
#include <vector>

#include "image/image_writer.h"

namespace solvane {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kPixelsPerMetre = 2835;  // 72 dots per inch

}  // namespace

bool WriteBmpImage(const ImageRows& image, WriterOutput& out)
{
    const uint32_t stride = (static_cast<uint32_t>(image.width) * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = stride * static_cast<uint32_t>(image.height);
    const uint32_t pixelOffset = kFileHeaderBytes + kInfoHeaderBytes;
    // BITMAPFILEHEADER
    out.Text("BM");
    out.LE32(pixelOffset + pixelBytes);
    out.LE32(0);  // two reserved words
    out.LE32(pixelOffset);
    // BITMAPINFOHEADER: a positive height means bottom-up rows.
    out.LE32(kInfoHeaderBytes);
    out.LE32(static_cast<uint32_t>(image.width));
    out.LE32(static_cast<uint32_t>(image.height));
    out.LE16(1);   // planes
    out.LE16(24);  // bits per pixel
    out.LE32(0);   // BI_RGB
    out.LE32(pixelBytes);
    out.LE32(kPixelsPerMetre);
    out.LE32(kPixelsPerMetre);
    out.LE32(0);  // colours used
    out.LE32(0);  // important colours

    std::vector<uint8_t> row(stride, 0);
    for (int32_t r = image.height - 1; r >= 0; --r) {
        const uint8_t* source = image.Row(r);
        for (int32_t x = 0; x < image.width; ++x) {
            row[3 * x] = source[3 * x + 2];
            row[3 * x + 1] = source[3 * x + 1];
            row[3 * x + 2] = source[3 * x];
        }
        out.Bytes(row.data(), row.size());
    }
    return !out.Failed();
}

}  // namespace solvane
