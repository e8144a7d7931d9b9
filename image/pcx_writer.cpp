// PC Paintbrush writer: version 5, one plane of 8-bit palette indices, run-length encoded per
// line, rows padded to an even byte count, and the 256-colour palette after the marker byte 12 at
// the end of the file. The picture is reduced to 256 colours first (QuantizeColors).
#include <algorithm>
#include <unordered_map>
#include <vector>

#include "image/image_writer.h"

namespace solvane {
namespace {

constexpr uint8_t kManufacturer = 10;
constexpr uint8_t kVersion = 5;  // 3.0 and later, with the 256-colour palette
constexpr uint8_t kRunLengthEncoding = 1;
constexpr uint16_t kDotsPerInch = 72;
constexpr uint8_t kPaletteMarker = 12;
constexpr uint8_t kRunFlags = 0xC0;
constexpr int kMaxRun = 63;
constexpr size_t kMaxColors = 256;

uint32_t Key(const uint8_t* rgb)
{
    return (uint32_t{rgb[0]} << 16) | (uint32_t{rgb[1]} << 8) | rgb[2];
}

// The picture's colours when there are at most 256 of them, in order of first appearance.
bool ExactPalette(const ImageRows& image, PaletteImage& result)
{
    std::unordered_map<uint32_t, uint8_t> index;
    result.indices.resize(static_cast<size_t>(image.width) * image.height);
    uint8_t* out = result.indices.data();
    for (int32_t r = 0; r < image.height; ++r) {
        const uint8_t* p = image.Row(r);
        for (int32_t x = 0; x < image.width; ++x, p += 3) {
            const auto [found, added] = index.try_emplace(Key(p), static_cast<uint8_t>(result.palette.size()));
            if (added) {
                if (result.palette.size() == kMaxColors) return false;
                result.palette.push_back({p[0], p[1], p[2]});
            }
            *out++ = found->second;
        }
    }
    return true;
}

// Median cut over the colours counted at 5 bits a channel.
struct Bin {
    uint16_t key = 0;  // r5 << 10 | g5 << 5 | b5
    uint64_t count = 0;
    uint64_t sum[3] = {0, 0, 0};  // of the full 8-bit channels

    int Channel(int c) const { return (key >> (10 - 5 * c)) & 31; }
};

struct Box {
    size_t begin = 0;
    size_t end = 0;
    uint64_t count = 0;
};

// The channel whose 5-bit values spread widest in the box, and that spread.
int WidestChannel(const std::vector<Bin>& bins, const Box& box, int& spread)
{
    int low[3] = {31, 31, 31}, high[3] = {0, 0, 0};
    for (size_t i = box.begin; i < box.end; ++i) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], bins[i].Channel(c));
            high[c] = std::max(high[c], bins[i].Channel(c));
        }
    }
    int widest = 0;
    for (int c = 1; c < 3; ++c) {
        if (high[c] - low[c] > high[widest] - low[widest]) widest = c;
    }
    spread = high[widest] - low[widest];
    return widest;
}

void MedianCutPalette(const ImageRows& image, PaletteImage& result)
{
    std::vector<Bin> histogram(32768);
    for (int32_t r = 0; r < image.height; ++r) {
        const uint8_t* p = image.Row(r);
        for (int32_t x = 0; x < image.width; ++x, p += 3) {
            Bin& bin = histogram[static_cast<size_t>(((p[0] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[2] >> 3))];
            ++bin.count;
            for (int c = 0; c < 3; ++c) bin.sum[c] += p[c];
        }
    }
    std::vector<Bin> bins;
    for (size_t key = 0; key < histogram.size(); ++key) {
        if (histogram[key].count == 0) continue;
        histogram[key].key = static_cast<uint16_t>(key);
        bins.push_back(histogram[key]);
    }

    std::vector<Box> boxes{{0, bins.size(), static_cast<uint64_t>(image.width) * image.height}};
    while (boxes.size() < kMaxColors) {
        // The most populous box that still holds more than one colour cell.
        Box* chosen = nullptr;
        for (Box& box : boxes) {
            if (box.end - box.begin > 1 && (!chosen || box.count > chosen->count)) chosen = &box;
        }
        if (!chosen) break;
        int spread = 0;
        const int channel = WidestChannel(bins, *chosen, spread);
        std::sort(bins.begin() + static_cast<std::ptrdiff_t>(chosen->begin),
                  bins.begin() + static_cast<std::ptrdiff_t>(chosen->end),
                  [channel](const Bin& a, const Bin& b) { return a.Channel(channel) < b.Channel(channel); });
        // The first cell at which half the box's pixels lie before it; both halves keep a cell.
        uint64_t below = 0;
        size_t cut = chosen->begin + 1;
        for (size_t i = chosen->begin; i + 1 < chosen->end; ++i) {
            below += bins[i].count;
            cut = i + 1;
            if (below * 2 >= chosen->count) break;
        }
        Box upper{cut, chosen->end, 0};
        chosen->end = cut;
        chosen->count = 0;
        for (size_t i = chosen->begin; i < chosen->end; ++i) chosen->count += bins[i].count;
        for (size_t i = upper.begin; i < upper.end; ++i) upper.count += bins[i].count;
        boxes.push_back(upper);
    }

    for (const Box& box : boxes) {
        uint64_t sum[3] = {0, 0, 0};
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int c = 0; c < 3; ++c) sum[c] += bins[i].sum[c];
        }
        std::array<uint8_t, 3> color{};
        for (int c = 0; c < 3; ++c) color[c] = static_cast<uint8_t>((sum[c] + box.count / 2) / box.count);
        result.palette.push_back(color);
    }

    // Each distinct colour is looked up once.
    std::unordered_map<uint32_t, uint8_t> nearest;
    result.indices.resize(static_cast<size_t>(image.width) * image.height);
    uint8_t* out = result.indices.data();
    for (int32_t r = 0; r < image.height; ++r) {
        const uint8_t* p = image.Row(r);
        for (int32_t x = 0; x < image.width; ++x, p += 3) {
            const auto [found, added] = nearest.try_emplace(Key(p), 0);
            if (added) {
                int best = 0;
                int bestDistance = 1 << 30;
                for (size_t e = 0; e < result.palette.size(); ++e) {
                    int distance = 0;
                    for (int c = 0; c < 3; ++c) {
                        const int d = int{p[c]} - int{result.palette[e][c]};
                        distance += d * d;
                    }
                    if (distance < bestDistance) {
                        bestDistance = distance;
                        best = static_cast<int>(e);
                    }
                }
                found->second = static_cast<uint8_t>(best);
            }
            *out++ = found->second;
        }
    }
}

// One line of indices, run-length encoded: runs of up to 63 equal bytes as a count byte and the
// value; a single value below 0xC0 stands for itself.
void EncodeLine(const uint8_t* line, size_t length, std::vector<uint8_t>& encoded)
{
    encoded.clear();
    for (size_t i = 0; i < length;) {
        const uint8_t value = line[i];
        size_t run = 1;
        while (i + run < length && line[i + run] == value && run < kMaxRun) ++run;
        if (run > 1 || (value & kRunFlags) == kRunFlags) encoded.push_back(static_cast<uint8_t>(kRunFlags | run));
        encoded.push_back(value);
        i += run;
    }
}

}  // namespace

PaletteImage QuantizeColors(const ImageRows& image)
{
    PaletteImage result;
    if (ExactPalette(image, result)) return result;
    result = PaletteImage();
    MedianCutPalette(image, result);
    return result;
}

bool WritePcxImage(const ImageRows& image, WriterOutput& out)
{
    const PaletteImage quantized = QuantizeColors(image);
    const size_t width = static_cast<size_t>(image.width);
    const uint16_t bytesPerLine = static_cast<uint16_t>((width + 1) / 2 * 2);

    out.Byte(kManufacturer);
    out.Byte(kVersion);
    out.Byte(kRunLengthEncoding);
    out.Byte(8);  // bits per pixel and plane
    out.LE16(0);  // xmin
    out.LE16(0);  // ymin
    out.LE16(static_cast<uint16_t>(image.width - 1));
    out.LE16(static_cast<uint16_t>(image.height - 1));
    out.LE16(kDotsPerInch);
    out.LE16(kDotsPerInch);
    // The 16-colour header palette: the first entries of the real one.
    uint8_t headerPalette[48] = {};
    for (size_t e = 0; e < 16 && e < quantized.palette.size(); ++e) {
        for (int c = 0; c < 3; ++c) headerPalette[3 * e + c] = quantized.palette[e][c];
    }
    out.Bytes(headerPalette, sizeof headerPalette);
    out.Byte(0);  // reserved
    out.Byte(1);  // planes
    out.LE16(bytesPerLine);
    out.LE16(1);  // colour palette
    out.LE16(0);  // screen size
    out.LE16(0);
    const uint8_t filler[54] = {};
    out.Bytes(filler, sizeof filler);

    std::vector<uint8_t> line(bytesPerLine, 0);
    std::vector<uint8_t> encoded;
    encoded.reserve(2 * line.size());
    for (int32_t r = 0; r < image.height; ++r) {
        std::copy_n(quantized.indices.data() + static_cast<size_t>(r) * width, width, line.begin());
        EncodeLine(line.data(), line.size(), encoded);
        out.Bytes(encoded.data(), encoded.size());
    }

    out.Byte(kPaletteMarker);
    uint8_t palette[768] = {};
    for (size_t e = 0; e < quantized.palette.size(); ++e) {
        for (int c = 0; c < 3; ++c) palette[3 * e + c] = quantized.palette[e][c];
    }
    out.Bytes(palette, sizeof palette);
    return !out.Failed();
}

}  // namespace solvane
