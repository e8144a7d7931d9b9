// The GL surface of the main window: a thin QOpenGLWidget that hands painting, resizing, the mouse
// and its wheel to the viewer.
#pragma once

#include <QElapsedTimer>
#include <QOpenGLWidget>

#include <functional>
#include <memory>

#include "viewer/html_export.h"
#include "viewer/viewer.h"

namespace solvane {

// What a press on a snapshot thumbnail's corner buttons asks of the window.
struct ThumbnailActions {
    std::function<void(int slot)> restore;
    std::function<void(int slot)> remove;
};

class ViewWidget : public QOpenGLWidget {
public:
    ViewWidget(Settings& settings, QWidget* parent = nullptr);
    ~ViewWidget() override;

    Viewer& viewer() { return viewer_; }
    // Milliseconds since the widget was created: the tick of the gestures.
    int64_t Tick() const { return clock_.elapsed(); }
    // Runs work with the widget's context current (lists, textures, feedback passes).
    void WithContext(const std::function<void()>& work);
    // Frames painted so far.
    int FramesPainted() const { return frames_; }
    void SetThumbnailActions(ThumbnailActions actions) { thumbnailActions_ = std::move(actions); }
    // Draws a web page's picture off screen at its own size (the view on screen is left as it
    // is) and reads it back, top row first. Null before the view has its GL context.
    std::unique_ptr<Texture> CapturePagePicture(const HtmlPictureRequest& request);

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // One step of the wheel zooms (rotate mode) or flies one step (fly mode).
    void wheelEvent(QWheelEvent* event) override;

private:
    void ReleaseGl();
    QPoint DevicePoint(const QPointF& position) const;
    // A left press on a thumbnail: its buttons or the start of a drag. False when none is hit.
    bool PressThumbnail(const QPoint& point);
    // The trackball turns about the pivot's place in the window: find it again after the view
    // offset changed.
    void RelocatePivot();

    Viewer viewer_;
    QElapsedTimer clock_;
    bool initialised_ = false;
    int frames_ = 0;
    ThumbnailActions thumbnailActions_;
    // The left press went to a thumbnail: its release is not navigation.
    bool pressOnThumbnail_ = false;
    int wheelUnits_ = 0;  // wheel rotation not yet a whole step (fine-grained wheels, touchpads)
};

}  // namespace solvane
