#include "app/docking.h"

#include <QCloseEvent>
#include <QMoveEvent>
#include <QResizeEvent>

#include "app/dialogs.h"
#include "app/x11.h"

namespace solvane {
namespace {

// How long after opening a panel waits for the window manager's frame to be known.
constexpr int kFrameFitMs = 3000;
constexpr int kFitPollMs = 40;
// How long the window system may take to report a move the panel asked for.
constexpr int kOwnMoveMs = 1000;

}  // namespace

const PanelKeys kFileBrowserKeys{&Settings::fb_window_posx, &Settings::fb_window_posy, &Settings::fb_window_x,
                                 &Settings::fb_window_y,    &Settings::fb_docked,      &Settings::file_browser};
const PanelKeys kModelInfoKeys{&Settings::mi_window_posx, &Settings::mi_window_posy, &Settings::mi_window_x,
                               &Settings::mi_window_y,    &Settings::mi_docked,      &Settings::model_info};

PanelRect ToPanelRect(const QRect& rect)
{
    return {rect.x(), rect.y(), rect.width(), rect.height()};
}

QRect ToQRect(const PanelRect& rect)
{
    return QRect(rect.x, rect.y, rect.width, rect.height);
}

DockedPanel::DockedPanel(QWidget* mainWindow, Settings& settings, PanelKind kind, std::function<void()> closedByUser)
    : QWidget(mainWindow, Qt::Tool), settings_(settings), mainWindow_(mainWindow), kind_(kind),
      keys_(kind == PanelKind::FileBrowser ? kFileBrowserKeys : kModelInfoKeys),
      closedByUser_(std::move(closedByUser))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // The panel opens beside the main window without taking the keyboard from it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    ApplyDialogLook(this);
    fitTimer_.setInterval(kFitPollMs);
    connect(&fitTimer_, &QTimer::timeout, this, &DockedPanel::FitFrame);
}

QRect DockedPanel::MainOuter() const
{
    return mainWindow_ ? mainWindow_->frameGeometry() : QRect();
}

QMargins DockedPanel::Margins() const
{
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const QMargins own(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                       frame.bottom() - inner.bottom());
    if (!own.isNull() || !mainWindow_) return own;
    // Not framed yet: the window manager frames it as it framed the main window, most likely.
    const QRect mainFrame = mainWindow_->frameGeometry();
    const QRect mainInner = mainWindow_->geometry();
    return QMargins(mainInner.left() - mainFrame.left(), mainInner.top() - mainFrame.top(),
                    mainFrame.right() - mainInner.right(), mainFrame.bottom() - mainInner.bottom());
}

void DockedPanel::PlaceOuter(const QRect& outer)
{
    placing_ = true;
    const QMargins margins = Margins();
    resize(outer.size().shrunkBy(margins).expandedTo(QSize(1, 1)));
    // A window's position is its frame's.
    if (outer.topLeft() != frameGeometry().topLeft()) {
        ownMoves_.push_back({outer.topLeft(), QDeadlineTimer(kOwnMoveMs)});
        move(outer.topLeft());
    }
    placing_ = false;
    RecordGeometry();
}

void DockedPanel::Open()
{
    Settings& s = settings_;
    const PanelRect stored{s.*keys_.posx, s.*keys_.posy, s.*keys_.width, s.*keys_.height};
    const bool mainMaximised = (mainWindow_ && mainWindow_->isMaximized()) || s.window_state == 3;
    const PanelOpening opening =
        PlacePanelOnOpening(kind_, stored, s.*keys_.docked, ToPanelRect(MainOuter()), mainMaximised, s.dock != 0);
    s.*keys_.docked = opening.code;
    wantedOuter_ = ToQRect(opening.rect);
    PlaceOuter(wantedOuter_);
    show();
    s.*keys_.open = 1;
    // A window manager frames the panel a moment after it shows: until then its frame is unknown,
    // and its moves are the window manager's, not the user's.
    if (WindowManagerRunning()) {
        fitDeadline_.setRemainingTime(kFrameFitMs);
        fitTimer_.start();
    }
}

void DockedPanel::FitFrame()
{
    if (fitDeadline_.hasExpired() || !isVisible()) {
        fitTimer_.stop();
        return;
    }
    const QRect frame = frameGeometry();
    if (frame == geometry()) return;  // no frame yet (or no window manager at all)
    fitTimer_.stop();
    if (frame != wantedOuter_) PlaceOuter(wantedOuter_);
}

void DockedPanel::CloseWithMainWindow()
{
    closingWithMain_ = true;
    close();
}

void DockedPanel::FollowMainWindow()
{
    if (!settings_.dock || !IsDockedCode(settings_.*keys_.docked) || !isVisible()) return;
    const QRect outer = OuterRect();
    const auto place = DockPlace(settings_.*keys_.docked, ToPanelRect(MainOuter()), outer.width(), outer.height());
    if (!place) return;
    wantedOuter_ = QRect(QPoint(place->x, place->y), outer.size());
    if (outer.topLeft() != wantedOuter_.topLeft()) PlaceOuter(wantedOuter_);
}

void DockedPanel::ReevaluateDocking()
{
    RecordGeometry();
    if (!settings_.dock || !mainWindow_) return;
    const DockResult docked = ApplyDockingRule(ToPanelRect(OuterRect()), ToPanelRect(MainOuter()));
    settings_.*keys_.docked = docked.code;
    if (docked.rect != ToPanelRect(OuterRect())) {
        wantedOuter_ = ToQRect(docked.rect);
        PlaceOuter(wantedOuter_);
    }
}

void DockedPanel::RecordGeometry()
{
    const QRect outer = OuterRect();
    settings_.*keys_.posx = outer.x();
    settings_.*keys_.posy = outer.y();
    settings_.*keys_.width = outer.width();
    settings_.*keys_.height = outer.height();
}

bool DockedPanel::IsOwnMove(const QPoint& topLeft)
{
    while (!ownMoves_.empty() && ownMoves_.front().expiry.hasExpired()) ownMoves_.pop_front();
    for (auto it = ownMoves_.begin(); it != ownMoves_.end(); ++it) {
        if (it->topLeft == topLeft) {
            ownMoves_.erase(ownMoves_.begin(), it + 1);
            return true;
        }
    }
    return false;
}

void DockedPanel::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    if (placing_ || !isVisible()) return;
    if (fitTimer_.isActive()) FitFrame();
    if (fitTimer_.isActive()) return;  // the window manager is still framing it
    if (IsOwnMove(frameGeometry().topLeft())) {
        RecordGeometry();
        return;
    }
    // The user moved it (or the window manager did): the docking rule decides where it stays.
    ReevaluateDocking();
}

void DockedPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (placing_) return;
    RecordGeometry();
}

void DockedPanel::closeEvent(QCloseEvent* event)
{
    fitTimer_.stop();
    if (!closingWithMain_) {
        settings_.*keys_.open = 0;
        if (closedByUser_) closedByUser_();
    }
    event->accept();
}

}  // namespace solvane
