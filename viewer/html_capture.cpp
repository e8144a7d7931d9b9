#include "viewer/html_capture.h"

#include <GL/gl.h>

#include <cstring>

#include "viewer/viewer.h"

namespace solvane {

Matrix4 HtmlViewRotation(HtmlView view)
{
    switch (view) {
    // +x turned towards the eye: the model's right side faces it.
    case HtmlView::Side: return RotationMatrix(-90, 0, 1, 0);
    // +y turned towards the eye: seen from above.
    case HtmlView::Top: return RotationMatrix(90, 1, 0, 0);
    default: return IdentityMatrix();
    }
}

std::unique_ptr<Texture> CaptureHtmlPicture(Viewer& viewer, const HtmlPictureRequest& request)
{
    if (request.width <= 0 || request.height <= 0) return nullptr;
    const ViewCamera camera = viewer.camera;
    const int width = viewer.view.viewWidth, height = viewer.view.viewHeight;
    viewer.ResizeView(request.width, request.height);
    if (request.view != HtmlView::Current) {
        viewer.ResetView(false);
        viewer.camera.modelRotation = HtmlViewRotation(request.view);
    }
    viewer.DrawFrame(FrameMode::Render);
    glFinish();

    auto picture = std::make_unique<Texture>();
    picture->width = request.width;
    picture->height = request.height;
    const size_t row = static_cast<size_t>(request.width) * 3;
    std::vector<uint8_t> bottomUp(row * request.height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glReadPixels(0, 0, request.width, request.height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    picture->pixels.resize(bottomUp.size());
    for (int y = 0; y < request.height; ++y) {
        std::memcpy(&picture->pixels[static_cast<size_t>(y) * row], &bottomUp[static_cast<size_t>(request.height - 1 - y) * row],
                    row);
    }

    viewer.camera = camera;
    viewer.ResizeView(width, height);
    return picture;
}

}  // namespace solvane
