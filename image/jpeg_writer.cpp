// JPEG writer: baseline JFIF encoded with libjpeg(-turbo), YCbCr with the library's default 2x2
// chroma subsampling and Huffman tables fitted to the picture. The compressed bytes go through the
// writer output layer in blocks. Decoding JPEG stays with our own reader.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "image/image_writer.h"

namespace solvane {
namespace {

constexpr size_t kBlockBytes = 64 * 1024;

// libjpeg reports a fatal error through error_exit, which must not return: it jumps back to the
// encoder with the library's message kept.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings and traces stay quiet

// A destination that hands each full block to the writer output.
struct Destination {
    jpeg_destination_mgr base;
    WriterOutput* out;
    std::vector<JOCTET> block;
};

void InitDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
    destination->base.next_output_byte = destination->block.data();
    destination->base.free_in_buffer = destination->block.size();
}

boolean EmptyBuffer(j_compress_ptr cinfo)
{
    // Called with the whole block full, whatever free_in_buffer says.
    auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
    destination->out->Bytes(destination->block.data(), destination->block.size());
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    auto* destination = reinterpret_cast<Destination*>(cinfo->dest);
    destination->out->Bytes(destination->block.data(), destination->block.size() - destination->base.free_in_buffer);
}

// The encoding itself, kept apart from every object with a destructor so that a jump back from
// the library skips nothing. False with the library's message in errors.
bool Encode(jpeg_compress_struct* cinfo, ErrorManager* errors, Destination* destination, const ImageRows* image,
            int quality, JSAMPLE* row)
{
    cinfo->err = jpeg_std_error(&errors->base);
    errors->base.error_exit = OnError;
    errors->base.emit_message = OnMessage;
    if (setjmp(errors->jump)) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    cinfo->dest = &destination->base;
    cinfo->image_width = static_cast<JDIMENSION>(image->width);
    cinfo->image_height = static_cast<JDIMENSION>(image->height);
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality < 1 ? 1 : (quality > 100 ? 100 : quality), TRUE);
    cinfo->optimize_coding = TRUE;
    // JFIF density: 72 dots per inch, as the other writers record it.
    cinfo->write_JFIF_header = TRUE;
    cinfo->density_unit = 1;
    cinfo->X_density = 72;
    cinfo->Y_density = 72;
    jpeg_start_compress(cinfo, TRUE);
    const size_t rowBytes = static_cast<size_t>(image->width) * 3;
    while (cinfo->next_scanline < cinfo->image_height) {
        std::memcpy(row, image->Row(static_cast<int32_t>(cinfo->next_scanline)), rowBytes);
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(cinfo, rows, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

}  // namespace

bool WriteJpegImage(const ImageRows& image, int quality, WriterOutput& out, SaveContext& ctx)
{
    jpeg_compress_struct cinfo{};
    ErrorManager errors{};
    Destination destination{};
    destination.out = &out;
    destination.block.resize(kBlockBytes);
    destination.base.init_destination = InitDestination;
    destination.base.empty_output_buffer = EmptyBuffer;
    destination.base.term_destination = TermDestination;
    std::vector<JSAMPLE> row(static_cast<size_t>(image.width) * 3);
    if (!Encode(&cinfo, &errors, &destination, &image, quality, row.data())) {
        return ctx.Fail(std::string("JPEG encoding failed: ") + errors.message);
    }
    return !out.Failed();
}

}  // namespace solvane
