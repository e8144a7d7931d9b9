// IFF ILBM reader ("EA IFF 85" interchange format, "ILBM" interleaved bitmap form): palette
// images of 1 to 8 bit planes, hold-and-modify (HAM) images and 24- or 32-plane true colour,
// uncompressed or ByteRun1, with an optional interleaved mask plane that is read and dropped.
// Rows come top row first and are stored bottom row first.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "image/image.h"
#include "image/image_input.h"
#include "image/readers.h"

namespace solvane {
namespace {

constexpr uint32_t kBmhdLength = 20;
constexpr uint8_t kMaskingHasMask = 1;
constexpr uint32_t kCamgHam = 0x800;
constexpr uint32_t kCamgExtraHalfBrite = 0x80;
constexpr int kMaxPalettePlanes = 8;
// ByteRun1: a two-byte repeat packet yields at most 129 bytes, a literal packet never more bytes
// than it holds.
constexpr uint64_t kRepeatPacketBytes = 129;

struct Bmhd {
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t planes = 0;
    uint8_t masking = 0;
    uint8_t compression = 0;
};

struct IlbmContext {
    Bmhd bmhd;
    size_t rowBytes = 0;  // bytes of one plane's part of a row: whole 16-bit words
    bool paletted = false;
    bool ham = false;
    bool hasPalette = false;
    uint32_t paletteSize = 0;
    std::array<uint8_t, 256 * 3> palette{};
    std::unique_ptr<Texture> image;
};

bool IsChunk(const uint8_t* id, const char* name)
{
    return std::memcmp(id, name, 4) == 0;
}

bool DecodeBmhdChunk(ByteCursor& in, IlbmContext& ctx)
{
    uint8_t id[4] = {in.U8(), in.U8(), in.U8(), in.U8()};
    const uint32_t length = in.BE32();
    Bmhd& h = ctx.bmhd;
    h.width = in.BE16();
    h.height = in.BE16();
    in.Skip(4);  // x and y origin
    h.planes = in.U8();
    h.masking = in.U8();
    h.compression = in.U8();
    in.Skip(1 + 2 + 2 + 4);  // pad, transparent colour, aspect, page size
    if (in.Overran() || !IsChunk(id, "BMHD") || length != kBmhdLength) return false;
    if (h.width < 1 || h.height < 1 || h.width > kMaxImageSide || h.height > kMaxImageSide) return false;
    if (!((h.planes >= 1 && h.planes <= kMaxPalettePlanes) || h.planes == 24 || h.planes == 32)) return false;
    ctx.rowBytes = (size_t{h.width} + 15) / 16 * 2;
    ctx.paletted = h.planes <= kMaxPalettePlanes;
    return true;
}

bool DecodeCamgChunk(ByteCursor& in, IlbmContext& ctx)
{
    const uint32_t mode = in.BE32();
    if (mode & kCamgHam) {
        ctx.ham = true;
    } else if (mode & kCamgExtraHalfBrite) {
        // Extra half-brite needs the halved second palette half; the picture is shown with the
        // palette as stored.
        std::fputs("IFF-CAMG-extra halfbrite\n", stderr);
    }
    return !in.Overran();
}

// Reads the 2^n colours the planes can address; entries past them are skipped, and a shorter
// map (as some writers emit for pictures with fewer colours) leaves the missing entries black.
bool DecodeCmapChunk(ByteCursor& in, uint32_t length, IlbmContext& ctx)
{
    if (!ctx.paletted) return false;
    const int n = ctx.ham ? ctx.bmhd.planes - 2 : ctx.bmhd.planes;
    if (n < 1) return false;
    ctx.paletteSize = uint32_t{1} << n;
    const size_t entries = std::min<size_t>(ctx.paletteSize, length / 3);
    if (entries * 3 > in.Remaining()) return false;
    ctx.palette.fill(0);
    std::memcpy(ctx.palette.data(), in.Here(), entries * 3);
    ctx.hasPalette = true;
    return true;
}

// Decodes ByteRun1 packets into exactly size bytes (dropped when destination is null); a packet
// that runs past size, or data that ends first, fails.
bool DecodeByteRun1(const uint8_t*& p, const uint8_t* end, uint8_t* destination, size_t size)
{
    size_t produced = 0;
    while (produced < size) {
        if (p == end) return false;
        const int8_t n = static_cast<int8_t>(*p++);
        if (n >= 0) {
            const size_t count = static_cast<size_t>(n) + 1;
            if (count > size - produced || count > static_cast<size_t>(end - p)) return false;
            if (destination) std::memcpy(destination + produced, p, count);
            p += count;
            produced += count;
        } else {
            // -128 repeats too (129 times), like every other negative count.
            const size_t count = static_cast<size_t>(1 - n);
            if (count > size - produced || p == end) return false;
            if (destination) std::memset(destination + produced, *p, count);
            ++p;
            produced += count;
        }
    }
    return true;
}

// One row of planes: value of pixel x holds bit (7 - x mod 8) of byte x / 8 of plane p at bit p.
void PlanarToChunky(const uint8_t* row, size_t rowBytes, int planes, uint32_t* values, size_t width)
{
    std::fill(values, values + width, 0u);
    for (int plane = 0; plane < planes; ++plane) {
        const uint8_t* bits = row + static_cast<size_t>(plane) * rowBytes;
        for (size_t x = 0; x < width; ++x) {
            values[x] |= static_cast<uint32_t>((bits[x >> 3] >> (7 - (x & 7))) & 1) << plane;
        }
    }
}

void ColorRow(const IlbmContext& ctx, const uint32_t* values, size_t width, uint8_t* out)
{
    const uint8_t* palette = ctx.palette.data();
    if (!ctx.paletted) {
        for (size_t x = 0; x < width; ++x, out += 3) {
            out[0] = static_cast<uint8_t>(values[x]);
            out[1] = static_cast<uint8_t>(values[x] >> 8);
            out[2] = static_cast<uint8_t>(values[x] >> 16);
        }
        return;
    }
    if (!ctx.ham) {
        for (size_t x = 0; x < width; ++x, out += 3) std::memcpy(out, palette + values[x] * 3, 3);
        return;
    }
    // Hold and modify: the top two planes select a palette colour or which channel of the
    // previous pixel is replaced by the low bits, scaled to 0..255. Each row starts from black.
    const int n = ctx.bmhd.planes - 2;
    const uint32_t lowMask = (uint32_t{1} << n) - 1;
    const uint32_t top = lowMask;  // P - 1
    uint8_t previous[3] = {0, 0, 0};
    for (size_t x = 0; x < width; ++x, out += 3) {
        const uint32_t control = (values[x] >> n) & 3;
        const uint32_t low = values[x] & lowMask;
        const uint8_t level = static_cast<uint8_t>(low * 255 / top);
        switch (control) {
        case 0: std::memcpy(previous, palette + low * 3, 3); break;
        case 1: previous[2] = level; break;
        case 2: previous[0] = level; break;
        default: previous[1] = level; break;
        }
        std::memcpy(out, previous, 3);
    }
}

bool DecodeBodyChunk(std::span<const uint8_t> body, IlbmContext& ctx)
{
    if (ctx.paletted && !ctx.hasPalette) return false;
    if (ctx.ham && (!ctx.paletted || ctx.bmhd.planes < 3)) return false;

    const Bmhd& h = ctx.bmhd;
    const size_t planeBytes = ctx.rowBytes * h.planes;
    const size_t maskBytes = h.masking == kMaskingHasMask ? ctx.rowBytes : 0;
    const uint64_t rawBytes = static_cast<uint64_t>(planeBytes + maskBytes) * h.height;
    // Refuse rows the chunk could not hold even at ByteRun1's largest expansion.
    const uint64_t limit = h.compression == 0 ? body.size() : (body.size() + 1) / 2 * kRepeatPacketBytes;
    if (rawBytes > limit) return false;
    std::unique_ptr<Texture> image = NewBlackImage(h.width, h.height);
    if (!image) return false;

    std::vector<uint8_t> row(planeBytes);
    std::vector<uint32_t> values(h.width);
    const size_t width = h.width;
    const size_t rowLength = width * 3;
    const uint8_t* p = body.data();
    const uint8_t* end = p + body.size();
    for (int32_t r = 0; r < h.height; ++r) {
        if (h.compression == 0) {
            if (static_cast<size_t>(end - p) < planeBytes + maskBytes) return false;
            std::memcpy(row.data(), p, planeBytes);
            p += planeBytes + maskBytes;
        } else if (!DecodeByteRun1(p, end, row.data(), planeBytes) ||
                   !DecodeByteRun1(p, end, nullptr, maskBytes)) {
            return false;
        }
        PlanarToChunky(row.data(), ctx.rowBytes, h.planes, values.data(), width);
        ColorRow(ctx, values.data(), width, image->pixels.data() + static_cast<size_t>(h.height - 1 - r) * rowLength);
    }
    ctx.image = std::move(image);
    return true;
}

}  // namespace

std::unique_ptr<Texture> DecodeIlbm(std::span<const uint8_t> bytes)
{
    try {
        ByteCursor in(bytes);
        uint8_t form[12];
        for (uint8_t& b : form) b = in.U8();
        if (in.Overran() || !IsChunk(form, "FORM") || !IsChunk(form + 8, "ILBM")) return nullptr;
        IlbmContext ctx;
        if (!DecodeBmhdChunk(in, ctx)) return nullptr;

        // The remaining chunks, to the end of the file; a chunk of odd length is followed by a
        // pad byte. Fewer bytes than a chunk header at the end are ignored.
        while (in.Remaining() >= 8) {
            uint8_t id[4] = {in.U8(), in.U8(), in.U8(), in.U8()};
            const uint32_t length = in.BE32();
            const size_t start = in.Position();
            const std::span<const uint8_t> data = bytes.subspan(start, std::min<size_t>(length, in.Remaining()));
            bool ok = true;
            if (IsChunk(id, "CAMG") && length == 4) {
                ok = DecodeCamgChunk(in, ctx);
            } else if (IsChunk(id, "CMAP")) {
                ok = DecodeCmapChunk(in, length, ctx);
            } else if (IsChunk(id, "BODY")) {
                ok = DecodeBodyChunk(data, ctx);
            }
            if (!ok) return nullptr;
            const uint64_t next = uint64_t{start} + length + (length & 1);
            if (next >= bytes.size()) break;
            in.Seek(static_cast<size_t>(next));
        }
        return std::move(ctx.image);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<Texture> ReadIlbmFile(const char* path)
{
    std::vector<uint8_t> bytes;
    if (!ReadImageFileBytes(path, bytes)) return nullptr;
    return DecodeIlbm(bytes);
}

}  // namespace solvane
