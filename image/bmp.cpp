// Windows Bitmap reader. Only 24-bit uncompressed pixels are decoded; any other bitmap of a sound
// layout reads as a black image of its stated size, so a model still gets a texture of the right
// shape.
#include <cstdlib>

#include "image/image.h"
#include "image/image_input.h"
#include "image/readers.h"

namespace solvane {
namespace {

constexpr uint16_t kBmpSignature = 0x4D42;  // "BM" read little-endian
constexpr uint64_t kFileHeaderBytes = 14;
// BITMAPINFOHEADER; the later V4 and V5 headers extend it, the older 12-byte OS/2 core header
// has 16-bit sizes at other places and is refused.
constexpr uint32_t kInfoHeaderBytes = 40;

// Compression values of the info header that keep one pixel per fixed number of bits.
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;
// The largest expansion of BMP run-length data: a two-byte code yields at most 255 pixels.
constexpr uint64_t kRunPixelsPerTwoBytes = 255;

struct BmpHeader {
    uint32_t pixelOffset = 0;
    uint32_t infoSize = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
};

bool DecodeBmpHeaders(ByteCursor& in, BmpHeader& header)
{
    if (in.LE16() != kBmpSignature) return false;
    in.Skip(8);  // file size and two reserved words, not trusted
    header.pixelOffset = in.LE32();
    header.infoSize = in.LE32();
    header.width = static_cast<int32_t>(in.LE32());
    header.height = static_cast<int32_t>(in.LE32());
    in.Skip(2);  // planes
    header.bitCount = in.LE16();
    header.compression = in.LE32();
    header.imageSize = in.LE32();
    if (in.Overran()) return false;
    // The whole header block, info header plus any colour table, lies before the pixels.
    return header.infoSize >= kInfoHeaderBytes &&
           header.pixelOffset >= kFileHeaderBytes + header.infoSize &&
           header.pixelOffset <= in.Size();
}

bool IsUncompressedKind(uint32_t compression)
{
    return compression == kBiRgb || compression == kBiBitfields || compression == kBiAlphaBitfields;
}

bool IsPixelBitCount(uint16_t bitCount)
{
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
           bitCount == 24 || bitCount == 32;
}

}  // namespace

std::unique_ptr<Texture> DecodeBmp(std::span<const uint8_t> bytes)
{
    ByteCursor in(bytes);
    BmpHeader header;
    if (!DecodeBmpHeaders(in, header)) return nullptr;

    // A negative height means the rows are stored top row first.
    const int64_t width = header.width;
    const int64_t rows = std::llabs(static_cast<int64_t>(header.height));
    if (width < 1 || width > kMaxImageSide || rows < 1 || rows > kMaxImageSide) return nullptr;

    // Rows are padded to whole 32-bit words; a zero image size means exactly that many bytes.
    const uint64_t rowBytes = ((static_cast<uint64_t>(header.bitCount) * width + 7) / 8 + 3) / 4 * 4;
    uint64_t pixelBytes = header.imageSize != 0 ? header.imageSize : rows * rowBytes;
    // Some writers put a few bytes too many in the image-size field of an uncompressed bitmap;
    // when the file still holds every padded row, read the rows it holds.
    if (header.pixelOffset + pixelBytes > bytes.size() && IsUncompressedKind(header.compression) &&
        header.pixelOffset + rows * rowBytes <= bytes.size()) {
        pixelBytes = rows * rowBytes;
    }
    if (header.pixelOffset + pixelBytes > bytes.size()) return nullptr;

    // The pixel data must be able to hold the pixels the header claims.
    const uint64_t pixelCount = static_cast<uint64_t>(width) * rows;
    if (IsUncompressedKind(header.compression)) {
        if (!IsPixelBitCount(header.bitCount) || pixelBytes < rows * rowBytes) return nullptr;
    } else if (pixelCount * 2 > pixelBytes * kRunPixelsPerTwoBytes) {
        return nullptr;
    }

    std::unique_ptr<Texture> image = NewBlackImage(width, rows);
    if (!image) return nullptr;
    if (header.compression != kBiRgb || header.bitCount != 24) return image;

    const size_t stride = static_cast<size_t>(rowBytes);
    const size_t rowLength = static_cast<size_t>(width) * 3;
    const bool topDown = header.height < 0;
    for (int64_t r = 0; r < rows; ++r) {
        const uint8_t* source = bytes.data() + header.pixelOffset + static_cast<size_t>(r) * stride;
        const int64_t destinationRow = topDown ? rows - 1 - r : r;
        uint8_t* destination = image->pixels.data() + static_cast<size_t>(destinationRow) * rowLength;
        for (size_t i = 0; i < rowLength; i += 3) {
            destination[i] = source[i + 2];
            destination[i + 1] = source[i + 1];
            destination[i + 2] = source[i];
        }
    }
    return image;
}

std::unique_ptr<Texture> ReadBmpFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadImageFileBytes(path, bytes)) return nullptr;
    return DecodeBmp(bytes);
}

}  // namespace solvane
