// Portable pixmap writer (Netpbm PPM), maxval 255, rows from the top of the picture down: "P6"
// with one byte per sample, or "P3" with the samples as decimal text, lines of at most 70
// characters as the Netpbm description asks.
#include <string>

#include "image/image_writer.h"

namespace solvane {
namespace {

constexpr size_t kMaxLineLength = 70;

// The decimal text of every sample value.
struct SampleTexts {
    SampleTexts()
    {
        for (int v = 0; v < 256; ++v) text[static_cast<size_t>(v)] = std::to_string(v);
    }
    std::string text[256];
};

}  // namespace

bool WritePpmImage(const ImageRows& image, bool ascii, WriterOutput& out)
{
    out.Text(ascii ? "P3\n" : "P6\n");
    out.Int(image.width);
    out.Text(" ");
    out.Int(image.height);
    out.Text("\n255\n");
    const size_t rowLength = static_cast<size_t>(image.width) * 3;
    if (!ascii) {
        for (int32_t r = 0; r < image.height; ++r) out.Bytes(image.Row(r), rowLength);
        return !out.Failed();
    }
    static const SampleTexts samples;
    std::string line;
    line.reserve(kMaxLineLength + 8);
    for (int32_t r = 0; r < image.height; ++r) {
        const uint8_t* source = image.Row(r);
        for (size_t i = 0; i < rowLength; ++i) {
            const std::string& sample = samples.text[source[i]];
            if (!line.empty() && line.size() + 1 + sample.size() > kMaxLineLength) {
                line += '\n';
                out.Text(line);
                line.clear();
            }
            if (!line.empty()) line += ' ';
            line += sample;
        }
    }
    if (!line.empty()) {
        line += '\n';
        out.Text(line);
    }
    return !out.Failed();
}

}  // namespace solvane
