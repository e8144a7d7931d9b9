// Portable Network Graphics through libpng: every colour type and bit depth becomes 8-bit RGB
// (16-bit samples scaled, palettes and grey expanded, alpha and tRNS dropped), interlaced images
// included, rows kept bottom row first like the other readers.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <vector>

#include "image/image.h"
#include "image/image_input.h"
#include "image/readers.h"

namespace solvane {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// Deflate emits at most 258 bytes per two bits of input (a 1-bit length code and a 1-bit distance
// code), so no zlib stream expands by more than this.
constexpr uint64_t kMaxDeflateRatio = 1032;
// No compressed ancillary chunk (text, colour profile) may make libpng allocate more than this.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;

struct SpanSource {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void ReadFromSpan(png_structp png, png_bytep out, size_t length)
{
    auto* source = static_cast<SpanSource*>(png_get_io_ptr(png));
    if (length > source->size - source->position) png_error(png, "unexpected end of file");
    std::memcpy(out, source->data + source->position, length);
    source->position += length;
}

// libpng must not print, and its error handler must not return: back to the setjmp of the stage.
[[noreturn]] void OnError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The chunk list after the signature, walked before libpng sees the file: libpng allocates a
// chunk's stated length before it can tell that the file ends first, so every chunk must lie
// inside the file, up to and including IEND.
struct ChunkList {
    bool fitsTheFile = false;
    uint64_t imageDataBytes = 0;  // the bytes of all IDAT chunks
};

ChunkList WalkChunks(std::span<const uint8_t> bytes)
{
    ChunkList list;
    ByteCursor cursor(bytes);
    cursor.Skip(sizeof kSignature);
    while (cursor.Remaining() >= 12) {
        const uint32_t length = cursor.BE32();
        const uint32_t type = cursor.BE32();
        if (length > 0x7FFFFFFFu || !cursor.Skip(uint64_t{length} + 4)) return list;
        if (type == 0x49444154) list.imageDataBytes += length;  // "IDAT"
        if (type == 0x49454E44) {                             // "IEND"
            list.fitsTheFile = true;
            return list;
        }
    }
    return list;
}

struct PngHeader {
    uint32_t width = 0;
    uint32_t height = 0;
    int bitsPerPixel = 0;  // as stored in the file
    size_t rowBytes = 0;   // after the transforms
    int channels = 0;
    int bitDepth = 0;
};

// The two libpng stages. An error jumps back to the setjmp of the stage running; no object with a
// destructor lives in these frames, so the jump skips nothing that needs cleaning up.
bool ReadHeader(png_structp png, png_infop info, PngHeader& header)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
    header.width = width;
    header.height = height;
    header.bitsPerPixel = bitDepth * png_get_channels(png, info);

    // Everything becomes 8-bit RGB: the texture record holds no alpha.
    if (bitDepth == 16) png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (!(colorType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    // Expanding a palette also turns tRNS into alpha, which goes the same way.
    if ((colorType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS)) png_set_strip_alpha(png);
    if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
    png_read_update_info(png, info);
    header.rowBytes = png_get_rowbytes(png, info);
    header.channels = png_get_channels(png, info);
    header.bitDepth = png_get_bit_depth(png, info);
    return true;
}

bool ReadRows(png_structp png, png_infop info, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    // The chunks after the image up to IEND, so that a cut or damaged end is refused too.
    png_read_end(png, info);
    return true;
}

// Owns libpng's two structures.
class PngReader {
public:
    PngReader()
    {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReader()
    {
        if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr);
    }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool Ready() const { return png_ && info_; }
    png_structp Png() const { return png_; }
    png_infop Info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

}  // namespace

std::unique_ptr<Texture> DecodePng(std::span<const uint8_t> bytes, bool verifyChecksums)
{
    if (bytes.size() < sizeof kSignature || std::memcmp(bytes.data(), kSignature, sizeof kSignature) != 0) {
        return nullptr;
    }
    const ChunkList chunks = WalkChunks(bytes);
    if (!chunks.fitsTheFile) return nullptr;
    PngReader reader;
    if (!reader.Ready()) return nullptr;
    png_structp png = reader.Png();
    SpanSource source{bytes.data(), bytes.size(), 0};
    png_set_read_fn(png, &source, ReadFromSpan);
    // libpng refuses larger sides itself, before it allocates anything for the rows.
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, kMaxChunkBytes);
    if (!verifyChecksums) png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);

    PngHeader header;
    if (!ReadHeader(png, reader.Info(), header)) return nullptr;
    if (header.channels != 3 || header.bitDepth != 8 || header.rowBytes != uint64_t{header.width} * 3) return nullptr;
    // A picture its compressed data cannot hold is refused before its pixels are allocated.
    const uint64_t storedBytes = (uint64_t{header.width} * header.height * header.bitsPerPixel + 7) / 8;
    if (storedBytes > chunks.imageDataBytes * kMaxDeflateRatio) return nullptr;

    std::unique_ptr<Texture> image = NewBlackImage(header.width, header.height);
    if (!image) return nullptr;
    std::vector<png_bytep> rows;
    try {
        rows.resize(header.height);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    // The file's first row is the top of the picture; row 0 of the record is the bottom.
    for (uint32_t r = 0; r < header.height; ++r) {
        rows[r] = image->pixels.data() + static_cast<size_t>(header.height - 1 - r) * header.rowBytes;
    }
    if (!ReadRows(png, reader.Info(), rows.data())) return nullptr;
    return image;
}

std::unique_ptr<Texture> ReadPngFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadImageFileBytes(path, bytes)) return nullptr;
    return DecodePng(bytes);
}

}  // namespace solvane
