// solvane-cli image: reads one image through the image dispatch (the reader chosen by the file's
// extension), prints its format and size, and optionally writes the decoded pixels as a binary
// PPM with the top row first, whatever row order the reader keeps.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "core/format_id.h"
#include "core/input_file.h"
#include "image/image.h"
#include "tools/cli.h"

namespace solvane::cli {
namespace {

// Every reader except PCX keeps the bottom row of the picture first.
bool IsBottomRowFirst(FormatId id)
{
    return id != Format::Pcx;
}

bool WritePpm(const std::string& path, const Texture& image, bool bottomRowFirst)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fprintf(file, "P6\n%d %d\n255\n", image.width, image.height) > 0;
    const size_t rowLength = static_cast<size_t>(image.width) * 3;
    for (int32_t r = 0; ok && r < image.height; ++r) {
        const int32_t source = bottomRowFirst ? image.height - 1 - r : r;
        ok = std::fwrite(image.pixels.data() + static_cast<size_t>(source) * rowLength, 1, rowLength, file) ==
             rowLength;
    }
    return std::fclose(file) == 0 && ok;
}

struct ImageOptions {
    std::string path, outPath;
    bool json = false;
};

int RunImage(const ImageOptions& options)
{
    const std::string& path = options.path;
    const std::string& outPath = options.outPath;
    const bool json = options.json;
    const FormatId id = ImageFormatFromName(path);
    const std::unique_ptr<Texture> image = LoadImageFile(path.c_str(), id);
    const std::string reason = image ? std::string() : UnreadableReason(path.c_str());
    std::ostringstream out;
    if (json) {
        out << "{\"path\":\"" << JsonEscape(path) << "\",\"ok\":" << (image ? "true" : "false")
            << ",\"formatId\":" << id << ",\"format\":\"" << JsonEscape(ImageFormatName(id)) << "\"";
        if (image) out << ",\"width\":" << image->width << ",\"height\":" << image->height;
        if (!reason.empty()) out << ",\"reason\":\"" << JsonEscape(reason) << "\"";
        out << "}\n";
    } else {
        out << path << "\n  format:        " << id << " " << ImageFormatName(id) << "\n";
        if (image) out << "  size:          " << image->width << "x" << image->height << "\n";
        else out << "  result:        refused\n";
        if (!reason.empty()) out << "  reason:        " << reason << "\n";
    }
    const std::string text = out.str();
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (!image) {
        std::fprintf(stderr, "solvane-cli image: cannot read '%s'%s%s\n", path.c_str(), reason.empty() ? "" : ": ",
                     reason.c_str());
        return 1;
    }
    if (!outPath.empty() && !WritePpm(outPath, *image, IsBottomRowFirst(id))) {
        std::fprintf(stderr, "solvane-cli image: cannot write '%s'\n", outPath.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

CommandRun AddImageCommand(CLI::App& command)
{
    auto o = std::make_shared<ImageOptions>();
    command.add_option("FILE", o->path, "the image to read (BMP, TGA, PPM, PCX, IFF ILBM or JPEG, by extension)")
        ->type_name("")
        ->required();
    command.add_flag("--json", o->json, "print one JSON object instead of text");
    command.add_option("--out", o->outPath, "write the decoded pixels as a binary PPM, top row first")
        ->type_name("OUT.ppm");
    return [o] { return RunImage(*o); };
}

}  // namespace solvane::cli
