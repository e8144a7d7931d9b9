// Truevision TGA reader: uncompressed (type 2) and run-length (type 10) true-colour images of 24
// or 32 bits per pixel; the alpha byte of 32-bit pixels is dropped. Rows are stored so that row 0
// of the result is the bottom of the picture when the descriptor's origin bits are clear.
#include <algorithm>

#include "image/image.h"
#include "image/image_input.h"
#include "image/readers.h"

namespace solvane {
namespace {

constexpr uint8_t kTypeTrueColor = 2;
constexpr uint8_t kTypeRunLengthTrueColor = 10;
constexpr uint8_t kDescriptorAlphaBits = 0x0F;
constexpr uint8_t kDescriptorInterleave = 0xC0;
constexpr uint8_t kDescriptorOrigin = 0x30;
// A run-length packet is one header byte plus one pixel and covers at most 128 pixels.
constexpr uint64_t kMaxPacketPixels = 128;

struct TgaHeader {
    uint8_t idLength = 0;
    uint8_t imageType = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t depth = 0;
    uint8_t descriptor = 0;
};

bool DecodeTgaHeader(ByteCursor& in, TgaHeader& header)
{
    header.idLength = in.U8();
    const uint8_t colorMapType = in.U8();
    header.imageType = in.U8();
    in.Skip(9);  // colour-map specification and origin
    header.width = in.LE16();
    header.height = in.LE16();
    header.depth = in.U8();
    header.descriptor = in.U8();
    if (in.Overran() || colorMapType != 0) return false;
    if (header.imageType != kTypeTrueColor && header.imageType != kTypeRunLengthTrueColor) return false;
    const uint8_t alphaBits = header.descriptor & kDescriptorAlphaBits;
    if (header.depth == 24) {
        if (alphaBits != 0) return false;
    } else if (header.depth == 32) {
        if (alphaBits != 0 && alphaBits != 8) return false;
    } else {
        return false;
    }
    return (header.descriptor & kDescriptorInterleave) == 0;
}

// Output position of the next pixel: advances through the rows in file order, each row landing
// at its place in the bottom-first result.
class RowWriter {
public:
    RowWriter(Texture& image, bool flip)
        : pixels_(image.pixels.data()), rowLength_(static_cast<size_t>(image.width) * 3),
          height_(image.height), flip_(flip)
    {
        StartRow();
    }
    void Put(const uint8_t* bgr)
    {
        cursor_[0] = bgr[2];
        cursor_[1] = bgr[1];
        cursor_[2] = bgr[0];
        cursor_ += 3;
        if (cursor_ == rowEnd_ && ++row_ < height_) StartRow();
    }

private:
    void StartRow()
    {
        const int32_t destination = flip_ ? height_ - 1 - row_ : row_;
        cursor_ = pixels_ + static_cast<size_t>(destination) * rowLength_;
        rowEnd_ = cursor_ + rowLength_;
    }

    uint8_t* pixels_;
    size_t rowLength_;
    int32_t height_;
    bool flip_;
    int32_t row_ = 0;
    uint8_t* cursor_ = nullptr;
    uint8_t* rowEnd_ = nullptr;
};

}  // namespace

std::unique_ptr<Texture> DecodeTga(std::span<const uint8_t> bytes)
{
    ByteCursor in(bytes);
    TgaHeader header;
    if (!DecodeTgaHeader(in, header)) return nullptr;
    if (!in.Skip(header.idLength)) return nullptr;

    // Refuse a picture the rest of the file cannot hold, before allocating it.
    const uint64_t pixelBytes = header.depth / 8;
    const uint64_t pixelCount = static_cast<uint64_t>(header.width) * header.height;
    const uint64_t left = in.Remaining();
    if (header.imageType == kTypeTrueColor) {
        if (pixelCount * pixelBytes > left) return nullptr;
    } else {
        const uint64_t packets = (left + pixelBytes) / (pixelBytes + 1);
        if (pixelCount > packets * kMaxPacketPixels) return nullptr;
    }
    std::unique_ptr<Texture> image = NewBlackImage(header.width, header.height);
    if (!image) return nullptr;

    // Either origin bit set means the file's first row is the top of the picture.
    RowWriter out(*image, (header.descriptor & kDescriptorOrigin) != 0);
    const uint8_t* p = in.Here();
    const uint8_t* end = p + left;
    const size_t step = static_cast<size_t>(pixelBytes);
    if (header.imageType == kTypeTrueColor) {
        for (uint64_t i = 0; i < pixelCount; ++i, p += step) out.Put(p);
        return image;
    }

    // Run-length packets; the last one may reach past the picture, and reading stops as soon
    // as every pixel is stored.
    uint64_t stored = 0;
    while (stored < pixelCount) {
        if (p == end) return nullptr;
        const uint8_t packet = *p++;
        const uint64_t count = std::min<uint64_t>((packet & 0x7F) + 1, pixelCount - stored);
        if (packet & 0x80) {
            if (static_cast<size_t>(end - p) < step) return nullptr;
            for (uint64_t i = 0; i < count; ++i) out.Put(p);
            p += step;
        } else {
            // A raw packet that runs past the picture need only hold the pixels still stored.
            if (static_cast<uint64_t>(end - p) < count * step) return nullptr;
            for (uint64_t i = 0; i < count; ++i, p += step) out.Put(p);
        }
        stored += count;
    }
    return image;
}

std::unique_ptr<Texture> ReadTgaFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadImageFileBytes(path, bytes)) return nullptr;
    return DecodeTga(bytes);
}

}  // namespace solvane
