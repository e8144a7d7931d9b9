// solvane-cli image: reads one image through the image dispatch (the reader chosen by the file's
// extension), prints its format and size, and optionally writes the decoded picture upright in the
// image format the output name's extension gives (a binary PPM for .ppm).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "core/format_id.h"
#include "core/input_file.h"
#include "core/writer_output.h"
#include "image/image.h"
#include "image/image_writer.h"
#include "tools/cli.h"
#include "tools/cli_options.h"

namespace solvane::cli {
namespace {

// Every reader except PCX keeps the bottom row of the picture first.
bool IsBottomRowFirst(FormatId id)
{
    return id != Format::Pcx;
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
    if (!outPath.empty()) {
        const ImageRows rows{image->pixels.data(), image->width, image->height, !IsBottomRowFirst(id)};
        SaveContext save;
        if (!WriteImageRows(rows, outPath, *ImageFileTypeFromPath(outPath), ImageWriteOptions(), save)) {
            std::fprintf(stderr, "solvane-cli image: %s\n", save.error.c_str());
            return 1;
        }
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
    command.add_option("--out", o->outPath,
                       "write the picture, upright, in the format OUT's extension names: ppm (binary), png, bmp, "
                       "jpg, pcx or tga")
        ->type_name("OUT")
        ->check(ImageExtensionCheck());
    return [o] { return RunImage(*o); };
}

}  // namespace solvane::cli
