// The image writers' entry points: the type table, the type of a path, and the checks and file
// handling every type shares.
#include "image/image_writer.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>

#include "image/image.h"

namespace solvane {

const std::array<ImageWriterRow, 7> kImageWriterRows = {{
    {ImageFileType::Bmp, "bmp", "(.bmp) Windows bitmap (24 bit)", "*.bmp", "Windows Bitmap", Format::Bmp},
    {ImageFileType::Jpeg, "jpg", "(.jpg) JPEG", "*.jpg", "JPEG", Format::Jpeg},
    {ImageFileType::Pcx, "pcx", "(.pcx) PC Paintbrush (8-bit)", "*.pcx", "PC Paintbrush", Format::Pcx},
    {ImageFileType::PpmAscii, "ppm", "(.ppm) Portable RGB ASCII (24 bit)", "*.ppm", "Portable RGB", Format::Ppm},
    {ImageFileType::PpmBinary, "ppm", "(.ppm) Portable RGB Binary (24 bit)", "*.ppm", "Portable RGB", Format::Ppm},
    {ImageFileType::Tga, "tga", "(.tga) TGA", "*.tga", "TGA", Format::Tga},
    {ImageFileType::Png, "png", "(.png) Portable Network Graphics", "*.png", "PNG", Format::Png},
}};

const ImageWriterRow& ImageWriterRowFor(ImageFileType type)
{
    for (const ImageWriterRow& row : kImageWriterRows) {
        if (row.type == type) return row;
    }
    return kImageWriterRows[0];
}

std::optional<ImageFileType> ImageFileTypeFromPath(std::string_view path, bool ppmAscii)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    std::string extension(path.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "ppm") return ppmAscii ? ImageFileType::PpmAscii : ImageFileType::PpmBinary;
    if (extension == "jpeg") return ImageFileType::Jpeg;
    for (const ImageWriterRow& row : kImageWriterRows) {
        if (extension == row.extension) return row.type;
    }
    return std::nullopt;
}

namespace {

// Joins the pieces of a message (appended: GCC 12 at -O3 warns falsely on "literal" + string).
std::string Joined(std::initializer_list<std::string_view> pieces)
{
    std::string text;
    for (std::string_view piece : pieces) text += piece;
    return text;
}

// Writes the file; progress goes to ctx.done only, ctx.total is the caller's.
bool WriteRows(const ImageRows& image, const std::string& path, ImageFileType type, const ImageWriteOptions& options,
               SaveContext& ctx)
{
    if (image.width < 1 || image.height < 1 || !image.pixels) {
        return ctx.Fail(Joined({"Cannot write ", path, ": there is no picture to write."}));
    }
    if (image.width > kMaxImageSide || image.height > kMaxImageSide) {
        return ctx.Fail(Joined({"Cannot write ", path, ": the picture is ", std::to_string(image.width), " x ",
                                std::to_string(image.height), " pixels, more than ", std::to_string(kMaxImageSide),
                                " a side."}));
    }
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    bool written = false;
    switch (type) {
    case ImageFileType::Bmp: written = WriteBmpImage(image, out); break;
    case ImageFileType::Jpeg: written = WriteJpegImage(image, options.jpegQuality, out, ctx); break;
    case ImageFileType::Pcx: written = WritePcxImage(image, out); break;
    case ImageFileType::PpmAscii: written = WritePpmImage(image, true, out); break;
    case ImageFileType::PpmBinary: written = WritePpmImage(image, false, out); break;
    case ImageFileType::Tga: written = WriteTgaImage(image, out); break;
    case ImageFileType::Png: written = WritePngImage(image, out, ctx); break;
    }
    if (!written) {
        out.Abandon();
        if (ctx.error.empty()) ctx.Fail(Joined({"Cannot write ", path, ": the image could not be encoded."}));
        return false;
    }
    return out.Finish();
}

}  // namespace

bool WriteImageRows(const ImageRows& image, const std::string& path, ImageFileType type,
                    const ImageWriteOptions& options, SaveContext& ctx)
{
    // Progress counts the bytes written; the compressed types end below this estimate and are
    // completed at the end.
    ctx.total.store(TextureBytesEstimate(image.width, image.height));
    if (!WriteRows(image, path, type, options, ctx)) return false;
    ctx.total.store(ctx.done.load());
    return true;
}

int64_t TextureBytesEstimate(int32_t width, int32_t height)
{
    return static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0) * 3 + 1024;
}

namespace {

bool PixelsMatch(const Texture& image)
{
    return image.width > 0 && image.height > 0 &&
           image.pixels.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 3;
}

}  // namespace

bool WriteImageFile(const Texture& image, const std::string& path, ImageFileType type,
                    const ImageWriteOptions& options, SaveContext& ctx)
{
    ImageRows rows;
    if (PixelsMatch(image)) rows = {image.pixels.data(), image.width, image.height, false};
    return WriteImageRows(rows, path, type, options, ctx);
}

bool WriteTextureImageFile(const Texture& texture, const std::string& path, ImageFileType type, SaveContext& ctx)
{
    ImageRows rows;
    if (PixelsMatch(texture)) rows = {texture.pixels.data(), texture.width, texture.height, type == ImageFileType::Pcx};
    ImageWriteOptions options;
    options.jpegQuality = 95;  // a texture is written once more each time its model is saved
    return WriteRows(rows, path, type, options, ctx);
}

}  // namespace solvane
