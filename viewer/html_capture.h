// The pictures of a web page drawn with the viewer: the view as it is shown or from a side, at the
// page's size, read back from the framebuffer that is current.
#pragma once

#include <memory>

#include "core/model.h"
#include "viewer/camera.h"
#include "viewer/html_export.h"

namespace solvane {

class Viewer;

// The model's turn for a view: none for the view as shown; the front; the right side turned to the
// front; the top turned to the front.
Matrix4 HtmlViewRotation(HtmlView view);

// Draws the frame at the request's size into the current framebuffer (which must be at least
// that large) and reads it back with CaptureView (no snapshot thumbnails, the eye filter and gamma
// as in the view), RGB, top row first. The sides are drawn from the view's reset camera; the
// viewer's camera and size are as before afterwards. Null when the size is not positive or the
// picture cannot be had.
std::unique_ptr<Texture> CaptureHtmlPicture(Viewer& viewer, const HtmlPictureRequest& request);

}  // namespace solvane
