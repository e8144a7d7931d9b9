#include "viewer/eye_filter.h"

#include <GL/gl.h>

#include "viewer/model_lists.h"
#include "viewer/overlay.h"

namespace solvane {

void EyeFilter::SetImage(std::shared_ptr<const Texture> newImage)
{
    if (newImage != image) uploadedQuality = -1;
    image = std::move(newImage);
}

const std::string& EyeFilter::ImagePath() const
{
    static const std::string none;
    return image ? image->name : none;
}

void DrawImageFilter(EyeFilter& filter, const GlView& view, const Settings& settings)
{
    if (!filter.image || !filter.image->HasPixels()) return;
    // The texture carries the gamma of its upload, like every other texture of the frame.
    const int quality = settings.eyefilter_texture_quality;
    if (!filter.texture || filter.uploadedQuality != quality || filter.uploadedGamma != settings.gamma_value) {
        filter.texture = UploadTexture(*filter.image, filter.texture, quality, true);
        filter.uploadedQuality = quality;
        filter.uploadedGamma = settings.gamma_value;
    }
    const float w = static_cast<float>(view.viewWidth), h = static_cast<float>(view.viewHeight);
    const OverlayPass pass = BeginOverlay(0, w, 0, h);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, filter.texture);
    // Decal texturing takes the image's colour and the current alpha: the blend mixes it in.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glColor4f(settings.ef_color_r, settings.ef_color_g, settings.ef_color_b, filter.imageAlpha);
    OverlayQuad(0, 0, w, h);
    glBindTexture(GL_TEXTURE_2D, 0);
    EndOverlay(pass, settings);
}

void DrawColourWash(const GlView& view, const Settings& settings)
{
    const float w = static_cast<float>(view.viewWidth), h = static_cast<float>(view.viewHeight);
    const OverlayPass pass = BeginOverlay(0, w, 0, h);
    glDisable(GL_TEXTURE_2D);
    glColor4f(settings.ef_color_r, settings.ef_color_g, settings.ef_color_b, settings.eye_filter_amount);
    OverlayQuad(0, 0, w, h);
    EndOverlay(pass, settings);
}

void DrawEyeFilter(EyeFilter& filter, const GlView& view, const Settings& settings)
{
    if (filter.imageOn) DrawImageFilter(filter, view, settings);
    if (filter.washOn) DrawColourWash(view, settings);
}

void ReleaseEyeFilterGl(EyeFilter& filter)
{
    if (filter.texture) {
        const GLuint name = filter.texture;
        glDeleteTextures(1, &name);
    }
    filter.texture = 0;
    filter.uploadedQuality = -1;
    filter.uploadedGamma = -1;
}

}  // namespace solvane
