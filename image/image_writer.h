// Raster image writers: a picture (a captured frame, or a model's texture) written as BMP, JPEG,
// PCX, PPM, TGA or PNG through the counted writer output layer. The picture is a Texture record's
// width, height and RGB pixels; row 0 is the bottom row of the picture, as the renderer reads a
// frame back and as the BMP, TGA, PPM and JPEG readers return images.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/format_id.h"
#include "core/model.h"
#include "core/writer_output.h"

namespace solvane {

enum class ImageFileType { Bmp, Jpeg, Pcx, PpmAscii, PpmBinary, Tga, Png };

struct ImageWriteOptions {
    int jpegQuality = 90;  // 1 (smallest) .. 100 (best); values outside are brought within
};

// One row of the export chooser, in the chooser's order, and what the writers know of the type.
struct ImageWriterRow {
    ImageFileType type;
    const char* extension;    // without the dot, lower case
    const char* chooserText;  // the chooser's label
    const char* pattern;      // the chooser's pattern
    const char* formatName;   // the 2D format's name, as reports and the information panel give it
    FormatId formatId;        // the image id of the reader that reads the type back
};
extern const std::array<ImageWriterRow, 7> kImageWriterRows;

const ImageWriterRow& ImageWriterRowFor(ImageFileType type);

// A picture's rows as a writer walks them: Row(k) is the k-th row from the top of the picture.
struct ImageRows {
    const uint8_t* pixels = nullptr;  // width * height * 3 RGB bytes
    int32_t width = 0;
    int32_t height = 0;
    bool topRowFirst = false;  // row 0 of pixels is the top row (PCX texture order)

    const uint8_t* Row(int32_t fromTop) const
    {
        const int32_t stored = topRowFirst ? fromTop : height - 1 - fromTop;
        return pixels + static_cast<size_t>(stored) * static_cast<size_t>(width) * 3;
    }
};

// The type a path's extension names (bmp, jpg, jpeg, pcx, ppm, tga, png; either case). A .ppm is
// binary unless ppmAscii is set. Nothing for any other extension.
std::optional<ImageFileType> ImageFileTypeFromPath(std::string_view path, bool ppmAscii = false);

// Writes the picture in the given type. False with ctx.error set when the picture is empty or
// larger than kMaxImageSide a side, or the file cannot be written (no partial file is left).
bool WriteImageFile(const Texture& image, const std::string& path, ImageFileType type,
                    const ImageWriteOptions& options, SaveContext& ctx);

// The same for a picture whose rows are in either order (an image as its reader returned it).
bool WriteImageRows(const ImageRows& image, const std::string& path, ImageFileType type,
                    const ImageWriteOptions& options, SaveContext& ctx);

// Writes a model's texture so that our reader of that type returns its rows in the order they
// have in memory (row 0 stays where texture coordinate v = 0 samples): the PCX reader keeps file
// order, every other reader returns the bottom row first. The bytes written add to ctx.done;
// ctx.total is left to the model writer, which counts the texture in with TextureBytesEstimate.
bool WriteTextureImageFile(const Texture& texture, const std::string& path, ImageFileType type,
                           SaveContext& ctx);
// About the most bytes a picture of that size takes in any of the types.
int64_t TextureBytesEstimate(int32_t width, int32_t height);

// ---- The pieces behind the two entry points ------------------------------------------------------

bool WriteBmpImage(const ImageRows& image, WriterOutput& out);
bool WriteTgaImage(const ImageRows& image, WriterOutput& out);
bool WritePpmImage(const ImageRows& image, bool ascii, WriterOutput& out);
bool WritePcxImage(const ImageRows& image, WriterOutput& out);
bool WriteJpegImage(const ImageRows& image, int quality, WriterOutput& out, SaveContext& ctx);

// PNG bytes go to a sink, so that a model writer can embed them; false when libpng fails.
using ByteSink = std::function<void(const uint8_t* bytes, size_t size)>;
bool EncodePng(const ImageRows& image, const ByteSink& sink, std::string* error = nullptr);
bool WritePngImage(const ImageRows& image, WriterOutput& out, SaveContext& ctx);

// An 8-bit palette picture: at most 256 colours and one index per pixel, in the rows' order
// (top row first).
struct PaletteImage {
    std::vector<std::array<uint8_t, 3>> palette;
    std::vector<uint8_t> indices;
};
// Pictures of 256 colours or fewer keep every colour exactly. Others are reduced by median cut:
// the colours, counted at 5 bits a channel, are split into 256 boxes (always the box holding the
// most pixels, across its longest side at the median pixel); each palette entry is the mean colour
// of its box and each pixel takes the nearest entry, without dithering.
PaletteImage QuantizeColors(const ImageRows& image);

}  // namespace solvane
