#include "viewer/html_capture.h"

#include "viewer/capture.h"
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
    // The frame without the snapshots' thumbnails, through the gamma maps, top row first.
    std::unique_ptr<Texture> picture = CaptureView(viewer);

    viewer.camera = camera;
    viewer.ResizeView(width, height);
    return picture;
}

}  // namespace solvane
