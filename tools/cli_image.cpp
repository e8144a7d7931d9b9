// solvane-cli image: reads one image through the image dispatch (the reader chosen by the file's
// extension), prints its format and size, and optionally writes the decoded picture upright in the
// image format the output name's extension gives (a binary PPM for .ppm).
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/format_id.h"
#include "core/writer_output.h"
#include "image/image.h"
#include "image/image_writer.h"
#include "tools/cli.h"

namespace solvane::cli {
namespace {

// Every reader except PCX keeps the bottom row of the picture first.
bool IsBottomRowFirst(FormatId id)
{
    return id != Format::Pcx;
}

}  // namespace

int RunImage(const std::vector<std::string>& args)
{
    bool json = false;
    std::string path, outPath;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "--out" && i + 1 < args.size() && outPath.empty()) {
            outPath = args[++i];
        } else if ((arg.size() > 1 && arg[0] == '-') || !path.empty()) {
            path.clear();
            break;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "usage: solvane-cli image [--json] FILE [--out OUT.{ppm,png,bmp,jpg,pcx,tga}]\n");
        return 2;
    }
    const std::optional<ImageFileType> outType = ImageFileTypeFromPath(outPath);
    if (!outPath.empty() && !outType) {
        std::fprintf(stderr, "solvane-cli image: '%s': the extension names no image format (ppm, png, bmp, jpg, pcx, tga)\n",
                     outPath.c_str());
        return 2;
    }

    const FormatId id = ImageFormatFromName(path);
    const std::unique_ptr<Texture> image = LoadImageFile(path.c_str(), id);
    std::ostringstream out;
    if (json) {
        out << "{\"path\":\"" << JsonEscape(path) << "\",\"ok\":" << (image ? "true" : "false")
            << ",\"formatId\":" << id << ",\"format\":\"" << JsonEscape(ImageFormatName(id)) << "\"";
        if (image) out << ",\"width\":" << image->width << ",\"height\":" << image->height;
        out << "}\n";
    } else {
        out << path << "\n  format:        " << id << " " << ImageFormatName(id) << "\n";
        if (image) out << "  size:          " << image->width << "x" << image->height << "\n";
        else out << "  result:        refused\n";
    }
    const std::string text = out.str();
    std::fwrite(text.data(), 1, text.size(), stdout);
    if (!image) {
        std::fprintf(stderr, "solvane-cli image: cannot read '%s'\n", path.c_str());
        return 1;
    }
    if (!outPath.empty()) {
        const ImageRows rows{image->pixels.data(), image->width, image->height, !IsBottomRowFirst(id)};
        SaveContext save;
        if (!WriteImageRows(rows, outPath, *outType, ImageWriteOptions(), save)) {
            std::fprintf(stderr, "solvane-cli image: %s\n", save.error.c_str());
            return 1;
        }
    }
    return 0;
}

}  // namespace solvane::cli
