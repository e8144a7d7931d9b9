#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_set>

#include "core/format_id.h"
#include "core/writer_output.h"
#include "fuzz/support.h"
#include "image/image.h"
#include "image/image_writer.h"

// The image writers: the first byte picks the reader (BMP, TGA, PPM, PCX, IFF ILBM, JPEG), the
// rest is the file. A picture that reads is written in every type and read back: the same size,
// and the same pixels from every lossless type (and from PCX while it has at most 256 colours).
namespace {

using solvane::FormatId;
namespace Format = solvane::Format;

constexpr FormatId kReaders[] = {Format::Bmp, Format::Tga, Format::Ppm, Format::Pcx, Format::Iff, Format::Jpeg};
constexpr const char* kReaderNames[] = {"in.bmp", "in.tga", "in.ppm", "in.pcx", "in.iff", "in.jpg"};
// Pictures above this many pixels are only read: writing each in seven types would make the run
// crawl without reaching new code.
constexpr int64_t kMaxWrittenPixels = 96 * 96;

[[noreturn]] void Stop(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "%s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const size_t reader = data[0] % std::size(kReaders);
    const std::string input = solvane::FuzzScratchPath(kReaderNames[reader]);
    if (!solvane::FuzzWriteCompanion(kReaderNames[reader], data + 1, size - 1)) return 0;
    const std::unique_ptr<solvane::Texture> image = solvane::LoadImageFile(input.c_str(), kReaders[reader]);
    if (!image || int64_t{image->width} * image->height > kMaxWrittenPixels) return 0;
    // Rows are written as they are kept (bottom first, except PCX) so that each reader's own order
    // comes back; the PCX reader keeps the top first, so its pictures are written that way.
    const solvane::ImageRows rows{image->pixels.data(), image->width, image->height, kReaders[reader] == Format::Pcx};
    // PCX keeps the colours exactly only when there are at most 256 of them.
    std::unordered_set<uint32_t> colors;
    for (size_t i = 0; i < image->pixels.size() && colors.size() <= 256; i += 3)
        colors.insert((uint32_t{image->pixels[i]} << 16) | (uint32_t{image->pixels[i + 1]} << 8) | image->pixels[i + 2]);
    const bool fewColors = colors.size() <= 256;

    for (const solvane::ImageWriterRow& row : solvane::kImageWriterRows) {
        const std::string path = solvane::FuzzScratchPath(row.type == solvane::ImageFileType::PpmAscii ? "out.txt.ppm"
                                                                                                        : (std::string("out.") + row.extension).c_str());
        solvane::SaveContext ctx;
        if (!solvane::WriteImageRows(rows, path, row.type, solvane::ImageWriteOptions(), ctx)) Stop("write failed", ctx.error);
        std::unique_ptr<solvane::Texture> back = solvane::LoadImageFile(path.c_str(), row.formatId);
        if (!back) Stop("written file does not read back", path);
        if (back->width != image->width || back->height != image->height) Stop("size changed", path);
        const bool lossless = row.type != solvane::ImageFileType::Jpeg && (row.type != solvane::ImageFileType::Pcx || fewColors);
        if (!lossless) continue;
        // Our PCX reader returns the top row first, every other reader the bottom row first.
        const bool backTopFirst = row.type == solvane::ImageFileType::Pcx;
        const size_t rowBytes = static_cast<size_t>(image->width) * 3;
        for (int32_t r = 0; r < image->height; ++r) {
            const int32_t fromTop = backTopFirst ? r : image->height - 1 - r;
            if (std::memcmp(&back->pixels[static_cast<size_t>(r) * rowBytes], rows.Row(fromTop), rowBytes) != 0)
                Stop("pixels changed", path);
        }
    }
    return 0;
}
