// Taking the picture out of the view: the one way a picture leaves it (snapshots, printing, and
// the image export, clipboard and web page commands). The frame is drawn again without the
// snapshot thumbnails and read back from the current surface, which must be the view's (the
// window's framebuffer with its context current, or the headless surface).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/format_id.h"
#include "core/model.h"

namespace solvane {

class Viewer;

// The row alignment an image format's writer takes its rows with: 1 for PCX, TGA, PPM and JPEG,
// 4 for every other (the Windows bitmap's rows are padded to 4 bytes).
int CaptureRowAlignment(FormatId format);

// Rows read from the view as the renderer returns them: bottom row first, each row `rowBytes`
// long (width * 3 rounded up to the alignment, padding bytes 0).
struct FrameRows {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rowBytes = 0;
    std::vector<uint8_t> bytes;
};

// Draws the frame without thumbnails (eye filter included) and reads the whole view as RGB with
// the given row alignment (1, 2, 4 or 8). The gamma pixel maps of the frame apply to the read.
// Null when the buffer cannot be had.
std::unique_ptr<FrameRows> ReadFrameRows(Viewer& viewer, int rowAlignment);

// The picture of the view as an RGB image record: width, height and width * height * 3 bytes, TOP
// row first (unlike the image readers' textures, whose row 0 is the bottom). Null when the buffer
// cannot be had.
std::unique_ptr<Texture> CaptureView(Viewer& viewer);

// The image's rows for a writer: each padded with zeros to a multiple of alignment bytes, top row
// first or, with bottomUp, bottom row first.
std::vector<uint8_t> AlignedRows(const Texture& image, int alignment, bool bottomUp);

}  // namespace solvane
