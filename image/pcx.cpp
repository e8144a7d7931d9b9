// PC Paintbrush reader: 8-bit run-length pixel indices with the 256-colour palette in the last
// 768 bytes of the file. Rows stay in file order, so row 0 of the result is the top of the picture.
#include <algorithm>

#include "image/image.h"
#include "image/image_input.h"
#include "image/readers.h"

namespace solvane {
namespace {

constexpr size_t kPcxHeaderBytes = 128;
constexpr size_t kPaletteBytes = 768;
constexpr uint8_t kRunFlags = 0xC0;
constexpr uint8_t kRunCountMask = 0x3F;

struct PcxHeader {
    uint16_t xmax = 0;
    uint16_t ymax = 0;
    uint16_t bytesPerLine = 0;
};

bool DecodePcxHeader(ByteCursor& in, PcxHeader& header)
{
    in.Skip(4);  // manufacturer, version, encoding, bits per pixel
    in.Skip(4);  // xmin, ymin: the picture always starts at the origin here
    header.xmax = in.LE16();
    header.ymax = in.LE16();
    in.Skip(4 + 48 + 1 + 1);  // resolutions, 16-colour palette, reserved, plane count
    header.bytesPerLine = in.LE16();
    in.Skip(2 + 58);  // palette information, filler
    return !in.Overran();
}

}  // namespace

std::unique_ptr<Texture> DecodePcx(std::span<const uint8_t> bytes)
{
    ByteCursor in(bytes);
    PcxHeader header;
    if (!DecodePcxHeader(in, header) || bytes.size() < kPcxHeaderBytes + kPaletteBytes) return nullptr;

    // Every picture is taken as one plane of 8-bit indices. Writers pad rows to an even byte
    // count and record that in bytes-per-line; the pad bytes are decoded and dropped.
    const int64_t width = int64_t{header.xmax} + 1;
    const int64_t height = int64_t{header.ymax} + 1;
    const uint64_t stride = std::max<uint64_t>(static_cast<uint64_t>(width), header.bytesPerLine);
    const uint64_t indexCount = stride * static_cast<uint64_t>(height);

    // The run-length data lies between the header and the palette; a two-byte run expands to at
    // most 63 indices.
    const uint8_t* p = bytes.data() + kPcxHeaderBytes;
    const uint8_t* end = bytes.data() + bytes.size() - kPaletteBytes;
    const uint64_t dataBytes = static_cast<uint64_t>(end - p);
    if (indexCount > dataBytes / 2 * kRunCountMask + dataBytes % 2) return nullptr;
    std::unique_ptr<Texture> image = NewBlackImage(width, height);
    if (!image) return nullptr;

    const uint8_t* palette = end;
    uint8_t* out = image->pixels.data();
    const uint64_t rowWidth = static_cast<uint64_t>(width);
    uint64_t column = 0;
    uint64_t produced = 0;
    while (produced < indexCount) {
        if (p == end) return nullptr;
        uint8_t value = *p++;
        uint64_t count = 1;
        if ((value & kRunFlags) == kRunFlags) {
            if (p == end) return nullptr;
            count = std::min<uint64_t>(value & kRunCountMask, indexCount - produced);
            value = *p++;
        }
        const uint8_t* color = palette + size_t{value} * 3;
        produced += count;
        for (; count > 0; --count) {
            if (column < rowWidth) {
                out[0] = color[0];
                out[1] = color[1];
                out[2] = color[2];
                out += 3;
            }
            if (++column == stride) column = 0;
        }
    }
    return image;
}

std::unique_ptr<Texture> ReadPcxFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadImageFileBytes(path, bytes)) return nullptr;
    return DecodePcx(bytes);
}

}  // namespace solvane
