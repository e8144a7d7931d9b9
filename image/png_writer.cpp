// PNG writer: 8-bit RGB, not interlaced, encoded with libpng into a byte sink (the writer output
// layer for a file, a buffer when a model file embeds the picture). Rows run from the top down.
#include <csetjmp>
#include <string>
#include <vector>

#include <png.h>

#include "image/image_writer.h"

namespace solvane {
namespace {

struct PngSink {
    const ByteSink* sink;
    std::string message;
};

void OnWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    (*sink->sink)(data, length);
}

void OnFlush(png_structp) {}

void OnError(png_structp png, png_const_charp message)
{
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    sink->message = message ? message : "";
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

}  // namespace

bool EncodePng(const ImageRows& image, const ByteSink& sink, std::string* error)
{
    PngSink state{&sink, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        if (error) *error = state.message;
        return false;
    }
    png_set_write_fn(png, &state, OnWrite, OnFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t r = 0; r < image.height; ++r) png_write_row(png, const_cast<png_bytep>(image.Row(r)));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool WritePngImage(const ImageRows& image, WriterOutput& out, SaveContext& ctx)
{
    const ByteSink sink = [&out](const uint8_t* bytes, size_t size) { out.Bytes(bytes, size); };
    std::string error;
    if (!EncodePng(image, sink, &error)) {
        std::string message = "PNG encoding failed: ";
        message += error;
        return ctx.Fail(std::move(message));
    }
    return !out.Failed();
}

}  // namespace solvane
