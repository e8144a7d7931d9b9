// The frame set-up shared by the flat layers drawn over the picture (the eye filter and the
// snapshot thumbnails): an orthographic projection in pixels, no depth test or writes, no face
// culling, filled polygons; and the way back to the state the next frame expects.
#pragma once

#include "core/settings.h"

namespace solvane {

struct OverlayPass {
    bool cullingWasOn = false;
};

// Pushes both matrices: projection := orthographic left..right by bottom..top, depth -1..1;
// model-view := identity. Depth test and writes off, culling off, filled polygons, no texture
// coordinate generation. Texturing is left as it is.
OverlayPass BeginOverlay(double left, double right, double bottom, double top);
// 2D texturing as the texturing option has it, culling as before, depth test and writes on; pops
// both matrices.
void EndOverlay(const OverlayPass& pass, const Settings& settings);
// One quad with texture coordinates (0,0), (1,0), (1,1), (0,1) at its corners, counter-clockwise.
void OverlayQuad(float left, float bottom, float right, float top);

}  // namespace solvane
