#include "viewer/gl_view.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>

namespace solvane {

std::array<float, 3> BoundingBoxColor(const std::array<float, 3>& background)
{
    std::array<float, 3> color{};
    for (int i = 0; i < 3; ++i) color[i] = background[i] >= 0.5f ? background[i] - 0.5f : background[i] + 0.5f;
    return color;
}

void InitGlState(GlView& view, const Settings& settings)
{
    if (!view.quadric) view.quadric = gluNewQuadric();
    glClearColor(settings.bg_color_r, settings.bg_color_g, settings.bg_color_b, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glDisable(GL_CULL_FACE);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
}

void FreeGlState(GlView& view)
{
    if (view.quadric) {
        gluDeleteQuadric(static_cast<GLUquadric*>(view.quadric));
        view.quadric = nullptr;
    }
}

void StoreViewSize(GlView& view, int width, int height)
{
    view.viewWidth = width < 1 ? 1 : width;
    view.viewHeight = height < 1 ? 1 : height;
}

void ApplyViewport(const GlView& view)
{
    glViewport(0, 0, view.viewWidth, view.viewHeight);
    ApplyProjection(view);
    glLoadIdentity();
}

void ApplyProjection(const GlView& view)
{
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(view.fieldOfView, static_cast<double>(view.viewWidth) / view.viewHeight, kNearPlane, kFarPlane);
    glMatrixMode(GL_MODELVIEW);
}

const char* PixelFormatLine(const std::string& rendererName)
{
    const bool software = rendererName.find("llvmpipe") != std::string::npos ||
                          rendererName.find("softpipe") != std::string::npos ||
                          rendererName.find("swrast") != std::string::npos ||
                          rendererName.find("Software Rasterizer") != std::string::npos;
    return software ? "Using generic pixel format." : "Using accelerated pixel format without generic format.";
}

const std::string& BuildHardwareReport(GlView& view)
{
    auto text = [](GLenum name) {
        const GLubyte* value = glGetString(name);
        return std::string(value ? reinterpret_cast<const char*>(value) : "");
    };
    const std::string renderer = text(GL_RENDERER);
    view.hardwareReport = "Vendor: " + text(GL_VENDOR) + "&$Info: " + renderer + "&$Version: OpenGL " +
                          text(GL_VERSION) + "&$&$" + PixelFormatLine(renderer) + "&$&$";
    view.reportConverted = false;
    return view.hardwareReport;
}

std::string HardwareReportText(GlView& view)
{
    if (view.hardwareReport.empty()) return "No 3D hardware report available.";
    if (!view.reportConverted) {
        for (char& c : view.hardwareReport) {
            if (c == '&') c = '\r';
            else if (c == '$') c = '\n';
        }
        view.reportConverted = true;
    }
    return view.hardwareReport;
}

}  // namespace solvane
