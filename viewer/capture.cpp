#include "viewer/capture.h"

#include <GL/gl.h>

#include <cstring>
#include <new>

#include "viewer/viewer.h"

namespace solvane {
namespace {

int32_t RoundedRowBytes(int32_t width, int alignment)
{
    const int64_t bytes = static_cast<int64_t>(width) * 3;
    return static_cast<int32_t>((bytes + alignment - 1) / alignment * alignment);
}

}  // namespace

int CaptureRowAlignment(FormatId format)
{
    switch (format) {
    case Format::Pcx:
    case Format::Tga:
    case Format::Ppm:
    case Format::Jpeg:
        return 1;
    default:
        return 4;
    }
}

std::unique_ptr<FrameRows> ReadFrameRows(Viewer& viewer, int rowAlignment)
{
    auto rows = std::make_unique<FrameRows>();
    rows->width = viewer.view.viewWidth;
    rows->height = viewer.view.viewHeight;
    rows->rowBytes = RoundedRowBytes(rows->width, rowAlignment);
    try {
        rows->bytes.assign(static_cast<size_t>(rows->rowBytes) * rows->height, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }

    // The picture without thumbnails; the whole frame has to be drawn before it is read.
    viewer.snapshots.suppressed = true;
    viewer.DrawFrame(FrameMode::Render);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, rowAlignment);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    // The read goes through the frame's gamma maps; left on, they would map every later read.
    glPixelTransferi(GL_MAP_COLOR, GL_TRUE);
    glReadPixels(0, 0, rows->width, rows->height, GL_RGB, GL_UNSIGNED_BYTE, rows->bytes.data());
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    viewer.snapshots.suppressed = false;
    return rows;
}

std::unique_ptr<Texture> CaptureView(Viewer& viewer)
{
    const std::unique_ptr<FrameRows> rows = ReadFrameRows(viewer, 1);
    if (!rows) return nullptr;
    auto image = std::make_unique<Texture>();
    image->width = rows->width;
    image->height = rows->height;
    const size_t rowBytes = static_cast<size_t>(rows->width) * 3;
    try {
        image->pixels.resize(rowBytes * rows->height);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    for (int32_t y = 0; y < rows->height; ++y) {
        std::memcpy(&image->pixels[static_cast<size_t>(y) * rowBytes],
                    &rows->bytes[static_cast<size_t>(rows->height - 1 - y) * rows->rowBytes], rowBytes);
    }
    return image;
}

std::vector<uint8_t> AlignedRows(const Texture& image, int alignment, bool bottomUp)
{
    const size_t packed = static_cast<size_t>(image.width) * 3;
    const size_t padded = static_cast<size_t>(RoundedRowBytes(image.width, alignment));
    std::vector<uint8_t> out(padded * image.height, 0);
    for (int32_t y = 0; y < image.height; ++y) {
        const int32_t source = bottomUp ? image.height - 1 - y : y;
        std::memcpy(&out[static_cast<size_t>(y) * padded], &image.pixels[static_cast<size_t>(source) * packed], packed);
    }
    return out;
}

}  // namespace solvane
