#include "viewer/thumbnail.h"

#include <GL/gl.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/prepare.h"
#include "core/settings.h"
#include "viewer/camera.h"
#include "viewer/headless_context.h"
#include "viewer/viewer.h"

namespace solvane {
namespace {

// The model is drawn this many times larger than the thumbnail (at most kMaxRenderSide pixels a
// side) and averaged down, which smooths its edges.
constexpr int kSupersampling = 4;
constexpr int kMaxRenderSide = 2048;
constexpr int kMinRenderSide = 64;

// Resamples n values spaced `stride` apart (each `channels` floats) from `from` source cells onto
// `to` target cells by area: target cell i covers source [i * from / to, (i + 1) * from / to).
void AverageLine(const float* source, int from, float* target, int to, int stride, int channels)
{
    const double ratio = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * ratio, end = (i + 1) * ratio;
        float sum[4] = {0, 0, 0, 0};
        for (int s = static_cast<int>(begin); s < from && s < end; ++s) {
            const double weight = std::min<double>(s + 1, end) - std::max<double>(s, begin);
            for (int c = 0; c < channels; ++c) sum[c] += static_cast<float>(weight) * source[s * stride + c];
        }
        for (int c = 0; c < channels; ++c) target[i * stride + c] = sum[c] / static_cast<float>(ratio);
    }
}

}  // namespace

RgbaImage CropAndShrink(const RgbaImage& picture, int size)
{
    // The rectangle that holds every pixel with some coverage.
    int left = picture.width, right = -1, top = picture.height, bottom = -1;
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            if (picture.pixels[(static_cast<size_t>(y) * picture.width + x) * 4 + 3] == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    RgbaImage result;
    if (right < 0 || size < 1) return result;
    const int width = right - left + 1, height = bottom - top + 1;
    const double scale = std::min(1.0, static_cast<double>(size) / std::max(width, height));
    result.width = std::clamp(static_cast<int>(std::lround(width * scale)), 1, size);
    result.height = std::clamp(static_cast<int>(std::lround(height * scale)), 1, size);

    // Premultiplied floats, so that uncovered pixels add no colour.
    std::vector<float> crop(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &picture.pixels[(static_cast<size_t>(top + y) * picture.width + left + x) * 4];
            float* q = &crop[(static_cast<size_t>(y) * width + x) * 4];
            const float alpha = p[3] / 255.0f;
            for (int c = 0; c < 3; ++c) q[c] = p[c] * alpha;
            q[3] = alpha;
        }
    }
    std::vector<float> narrow(static_cast<size_t>(result.width) * height * 4);
    for (int y = 0; y < height; ++y) {
        AverageLine(&crop[static_cast<size_t>(y) * width * 4], width, &narrow[static_cast<size_t>(y) * result.width * 4],
                    result.width, 4, 4);
    }
    std::vector<float> column(static_cast<size_t>(height) * 4), shrunk(static_cast<size_t>(result.height) * 4);
    result.pixels.assign(static_cast<size_t>(result.width) * result.height * 4, 0);
    for (int x = 0; x < result.width; ++x) {
        for (int y = 0; y < height; ++y) {
            std::memcpy(&column[static_cast<size_t>(y) * 4], &narrow[(static_cast<size_t>(y) * result.width + x) * 4],
                        4 * sizeof(float));
        }
        AverageLine(column.data(), height, shrunk.data(), result.height, 4, 4);
        for (int y = 0; y < result.height; ++y) {
            const float* q = &shrunk[static_cast<size_t>(y) * 4];
            uint8_t* p = &result.pixels[(static_cast<size_t>(y) * result.width + x) * 4];
            const float alpha = q[3];
            for (int c = 0; c < 3; ++c) {
                p[c] = alpha > 0 ? static_cast<uint8_t>(std::clamp(std::lround(q[c] / alpha), 0L, 255L)) : 0;
            }
            p[3] = static_cast<uint8_t>(std::clamp(std::lround(alpha * 255), 0L, 255L));
        }
    }
    return result;
}

bool DrawThumbnail(Model& model, int size, RgbaImage& thumbnail, std::string& error)
{
    if (size < 1 || size > kMaxThumbnailSize) {
        error = "thumbnail size out of range";
        return false;
    }
    const int side = std::clamp(size * kSupersampling, kMinRenderSide, kMaxRenderSide);
    HeadlessContext context;
    if (!context.Create(side, side)) {
        error = "no headless GL context: " + context.Error();
        return false;
    }

    // The viewer's look at its defaults, without its guides (axes, box, pivot) and with textures.
    Settings settings = DefaultSettings();
    settings.axes = 0;
    settings.bounding_box = 0;
    settings.show_pivot = 0;
    settings.texturing = 1;
    Viewer viewer(settings);
    viewer.InitGl();
    viewer.ResizeView(side, side);
    glEnable(GL_TEXTURE_2D);
    PrepareModelData(model, settings);
    FinishLoadedModel(model, settings, nullptr);
    viewer.SetModel(&model);
    viewer.PrepareModelGl(nullptr);
    viewer.ResetView(false);
    viewer.ApplyCullingState();
    viewer.SetLightColour(viewer.lightColor);
    viewer.camera.modelRotation =
        Multiply(RotationMatrix(kThumbnailPitch, 1, 0, 0), RotationMatrix(kThumbnailYaw, 0, 1, 0));
    viewer.DrawFrame(FrameMode::Render);
    glFinish();

    // Colour from the surface, coverage from the depth buffer: what the model covered is nearer
    // than the cleared depth of 1.
    const std::vector<uint8_t> rgb = context.ReadPixelsTopDown();
    std::vector<float> depth(static_cast<size_t>(side) * side);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, side, side, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    viewer.SetModel(nullptr);
    ReleaseModelLists(model);
    viewer.ReleaseGl();

    RgbaImage picture;
    picture.width = picture.height = side;
    picture.pixels.resize(static_cast<size_t>(side) * side * 4);
    for (int y = 0; y < side; ++y) {
        const float* depthRow = &depth[static_cast<size_t>(side - 1 - y) * side];  // depth is bottom-up
        for (int x = 0; x < side; ++x) {
            const size_t at = static_cast<size_t>(y) * side + x;
            std::memcpy(&picture.pixels[at * 4], &rgb[at * 3], 3);
            picture.pixels[at * 4 + 3] = depthRow[x] < 1.0f ? 255 : 0;
        }
    }
    thumbnail = CropAndShrink(picture, size);
    if (thumbnail.width == 0) {
        error = "nothing of the model is visible";
        return false;
    }
    return true;
}

bool WritePngRgba(const std::string& path, const RgbaImage& image)
{
    if (image.width < 1 || image.height < 1 || image.pixels.size() != static_cast<size_t>(image.width) * image.height * 4) {
        return false;
    }
    png_image info;
    std::memset(&info, 0, sizeof info);
    info.version = PNG_IMAGE_VERSION;
    info.width = static_cast<png_uint_32>(image.width);
    info.height = static_cast<png_uint_32>(image.height);
    info.format = PNG_FORMAT_RGBA;
    const bool written = png_image_write_to_file(&info, path.c_str(), 0, image.pixels.data(), 0, nullptr) != 0;
    png_image_free(&info);
    return written;
}

bool ReadPngRgba(const std::string& path, RgbaImage& image)
{
    png_image info;
    std::memset(&info, 0, sizeof info);
    info.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&info, path.c_str())) return false;
    info.format = PNG_FORMAT_RGBA;
    image.pixels.assign(PNG_IMAGE_SIZE(info), 0);
    if (!png_image_finish_read(&info, nullptr, image.pixels.data(), 0, nullptr)) {
        png_image_free(&info);
        return false;
    }
    image.width = static_cast<int>(info.width);
    image.height = static_cast<int>(info.height);
    return true;
}

}  // namespace solvane
