#include "app/view_widget.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include "viewer/html_capture.h"

namespace solvane {

ViewWidget::ViewWidget(Settings& settings, QWidget* parent) : QOpenGLWidget(parent), viewer_(settings)
{
    setObjectName("view");
    setMouseTracking(false);
    setMinimumSize(64, 48);
    clock_.start();
}

ViewWidget::~ViewWidget()
{
    // The base class destroys the context after this object is gone: its last signal must not
    // reach the handler below.
    if (QOpenGLContext* current = context()) disconnect(current, nullptr, this, nullptr);
    if (initialised_ && context()) {
        makeCurrent();
        ReleaseGl();
        doneCurrent();
    }
}

void ViewWidget::WithContext(const std::function<void()>& work)
{
    if (!initialised_) {
        work();
        return;
    }
    makeCurrent();
    work();
    doneCurrent();
}

std::unique_ptr<Texture> ViewWidget::CapturePagePicture(const HtmlPictureRequest& request)
{
    if (!initialised_ || request.width <= 0 || request.height <= 0) return nullptr;
    std::unique_ptr<Texture> picture;
    makeCurrent();
    {
        QOpenGLFramebufferObject target(request.width, request.height, QOpenGLFramebufferObject::CombinedDepthStencil);
        if (target.isValid() && target.bind()) {
            picture = CaptureHtmlPicture(viewer_, request);
            target.release();
        }
    }
    doneCurrent();
    return picture;
}

void ViewWidget::initializeGL()
{
    viewer_.InitGl();
    initialised_ = true;
    // GL objects belong to this context: free them when it goes (the widget may be reparented).
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        ReleaseGl();
        doneCurrent();
    });
}

void ViewWidget::ReleaseGl()
{
    if (!initialised_) return;
    viewer_.ReleaseGl();
    initialised_ = false;
}

void ViewWidget::resizeGL(int width, int height)
{
    // The framebuffer has the widget's size in device pixels, rounded as Qt sizes it.
    const QSize device = QSize(width, height) * devicePixelRatioF();
    viewer_.ResizeView(device.width(), device.height());
}

void ViewWidget::paintGL()
{
    viewer_.DrawFrame(FrameMode::Render);
    ++frames_;
    // A spinning model turns one step per frame: ask for the next one at once.
    if (viewer_.camera.spinning) update();
}

QPoint ViewWidget::DevicePoint(const QPointF& position) const
{
    const qreal ratio = devicePixelRatioF();
    return QPoint(static_cast<int>(position.x() * ratio), static_cast<int>(position.y() * ratio));
}

bool ViewWidget::PressThumbnail(const QPoint& point)
{
    SnapshotSet& snapshots = viewer_.snapshots;
    const Settings& settings = viewer_.settings();
    const ThumbnailHit hit =
        SnapshotHitTest(snapshots, settings.current_snapshot_size, SnapshotButtonSize(settings), point.x(), point.y());
    switch (hit.part) {
    case ThumbnailPart::None:
        return false;
    case ThumbnailPart::RestoreButton:
        if (thumbnailActions_.restore) thumbnailActions_.restore(hit.slot);
        break;
    case ThumbnailPart::DeleteButton:
        if (thumbnailActions_.remove) thumbnailActions_.remove(hit.slot);
        break;
    case ThumbnailPart::Body:
        snapshots.dragged = hit.slot;
        snapshots.grabX = hit.grabX;
        snapshots.grabY = hit.grabY;
        break;
    }
    update();
    return true;
}

void ViewWidget::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = DevicePoint(event->position());
    Settings& settings = viewer_.settings();
    bool repaint = false;
    if (event->button() == Qt::LeftButton) {
        // Thumbnails float over the view: they take the press before navigation does.
        pressOnThumbnail_ = PressThumbnail(p);
        if (pressOnThumbnail_) return;
        repaint = LeftButtonDown(viewer_.camera, settings, viewer_.view, p.x(), p.y(), Tick());
    } else if (event->button() == Qt::RightButton) {
        repaint = RightButtonDown(viewer_.camera, p.x(), p.y());
    } else if (event->button() == Qt::MiddleButton) {
        repaint = MiddleButtonDown(viewer_.camera, p.x(), p.y());
    }
    if (repaint) update();
}

void ViewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = DevicePoint(event->position());
    Settings& settings = viewer_.settings();
    bool repaint = false;
    if (event->button() == Qt::LeftButton) {
        if (pressOnThumbnail_) {
            pressOnThumbnail_ = false;
            viewer_.snapshots.dragged = -1;
            return;
        }
        repaint = LeftButtonUp(viewer_.camera, settings, p.x(), p.y(), Tick());
    } else if (event->button() == Qt::RightButton) {
        repaint = RightButtonUp(viewer_.camera, p.x(), p.y());
    } else if (event->button() == Qt::MiddleButton) {
        repaint = MiddleButtonUp(viewer_.camera, p.x(), p.y());
        RelocatePivot();
    }
    if (repaint || viewer_.camera.spinning) update();
}

void ViewWidget::wheelEvent(QWheelEvent* event)
{
    wheelUnits_ += event->angleDelta().y();
    const int steps = wheelUnits_ / kWheelStepUnits;
    wheelUnits_ -= steps * kWheelStepUnits;
    if (WheelSteps(viewer_.camera, viewer_.settings(), steps)) {
        RelocatePivot();
        update();
    }
    event->accept();
}

void ViewWidget::RelocatePivot()
{
    if (!initialised_) return;
    WithContext([this] { viewer_.LocatePivot(); });
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = DevicePoint(event->position());
    if (DragThumbnail(viewer_.snapshots, p.x(), p.y())) {
        update();
        return;
    }
    if (PointerMove(viewer_.camera, viewer_.settings(), viewer_.view, viewer_.box, p.x(), p.y(), Tick())) update();
}

}  // namespace solvane
