// The eye filter: translucent full-view layers laid over the finished picture, after the model and
// before the snapshot thumbnails. The image layer stretches an image over the view at imageAlpha;
// the colour wash then mixes the picture with one colour.
//
// The wash colour and amount are persistent options and live in the Settings record (`ef_color_r`,
// `ef_color_g`, `ef_color_b`, `eye_filter_amount`); everything else is view state held here, in
// plain fields, so that snapshots and scene files can carry it.
#pragma once

#include <cstdint>
#include <memory>

#include "core/model.h"
#include "core/settings.h"
#include "viewer/gl_view.h"

namespace solvane {

struct EyeFilter {
    bool washOn = false;     // the colour wash is drawn
    bool imageOn = false;    // the image layer is drawn (only while an image is set)
    float imageAlpha = 0;    // opacity of the image layer, 0..1
    // The filter image (decoded pixels, bottom row first); its name holds the file's path.
    std::shared_ptr<const Texture> image;

    // GL side: the image's texture at the eye-filter quality, made on the frame that first needs
    // it and again when the quality or the gamma changed (or the context was replaced).
    uint32_t texture = 0;
    int uploadedQuality = -1;
    float uploadedGamma = -1;

    // Sets the image (null for none); its texture is made on the next frame. Needs no context.
    void SetImage(std::shared_ptr<const Texture> newImage);
    // The path shown for the image, empty when there is none.
    const std::string& ImagePath() const;
};

// The image layer: the image stretched over the view, mixed in by imageAlpha (decal texturing and
// source-alpha blending). Does nothing without an image. Needs the context, with the gamma pixel
// maps of the frame installed.
void DrawImageFilter(EyeFilter& filter, const GlView& view, const Settings& settings);
// The colour wash: the picture mixed with the wash colour by the wash amount.
void DrawColourWash(const GlView& view, const Settings& settings);
// Both layers as the frame draws them: the image layer first, then the wash, each when it is on.
void DrawEyeFilter(EyeFilter& filter, const GlView& view, const Settings& settings);
// Frees the texture (with the context current); the image stays and is uploaded again later.
void ReleaseEyeFilterGl(EyeFilter& filter);

}  // namespace solvane
