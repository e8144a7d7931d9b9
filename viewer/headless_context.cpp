#include "viewer/headless_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <cstring>

#include "core/writer_output.h"
#include "image/image_writer.h"

namespace solvane {
namespace {

// The surfaceless display is one per process and stays initialised until the process ends:
// terminating it would pull it from under every other headless context still alive, and
// unloading the driver at each context's end costs a reload at the next one.
EGLDisplay SurfacelessDisplay(std::string& error)
{
    static const EGLDisplay display = [] {
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (!getPlatformDisplay) return EGL_NO_DISPLAY;
        EGLDisplay candidate = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (candidate == EGL_NO_DISPLAY || !eglInitialize(candidate, nullptr, nullptr)) return EGL_NO_DISPLAY;
        return candidate;
    }();
    if (display == EGL_NO_DISPLAY) error = "no EGL surfaceless display";
    return display;
}

}  // namespace

HeadlessContext::~HeadlessContext()
{
    Destroy();
}

bool HeadlessContext::Create(int width, int height)
{
    Destroy();
    EGLDisplay display = SurfacelessDisplay(error_);
    if (display == EGL_NO_DISPLAY) return false;
    display_ = display;
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                       EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                       EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
        error_ = "no EGL configuration with RGBA8 and a 24-bit depth buffer";
        Destroy();
        return false;
    }
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    surface_ = eglCreatePbufferSurface(display, config, surfaceAttributes);
    if (surface_ == EGL_NO_SURFACE) {
        error_ = "cannot create the pbuffer surface";
        Destroy();
        return false;
    }
    eglBindAPI(EGL_OPENGL_API);
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context_ == EGL_NO_CONTEXT) {
        error_ = "cannot create a compatibility-profile GL context";
        Destroy();
        return false;
    }
    if (!eglMakeCurrent(display, surface_, surface_, context_)) {
        error_ = "cannot make the GL context current";
        Destroy();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void HeadlessContext::Destroy()
{
    if (!display_) return;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (context_) eglDestroyContext(display_, context_);
    if (surface_) eglDestroySurface(display_, surface_);
    display_ = surface_ = context_ = nullptr;
}

std::vector<uint8_t> HeadlessContext::ReadPixels() const
{
    std::vector<uint8_t> bottomUp(static_cast<size_t>(width_) * height_ * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return bottomUp;
}

std::vector<uint8_t> HeadlessContext::ReadPixelsTopDown() const
{
    const std::vector<uint8_t> bottomUp = ReadPixels();
    std::vector<uint8_t> topDown(bottomUp.size());
    const size_t row = static_cast<size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y) {
        std::memcpy(&topDown[static_cast<size_t>(y) * row], &bottomUp[static_cast<size_t>(height_ - 1 - y) * row], row);
    }
    return topDown;
}

bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    if (width < 1 || height < 1 || rgb.size() != static_cast<size_t>(width) * height * 3) return false;
    SaveContext ctx;
    WriterOutput out(ctx);
    if (!out.Open(path)) return false;
    const ImageRows rows{rgb.data(), width, height, true};
    if (!WritePngImage(rows, out, ctx)) {
        out.Abandon();
        return false;
    }
    return out.Finish();
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

}  // namespace solvane
