// A panel beside the main window (the file browser, the model information): a modeless tool
// window owned by it, which opens at its stored place, records its outer rectangle in the
// settings, docks to the main window's edges by the rule of core/docking.h when the user moves it,
// and follows the main window while docked.
#pragma once

#include <QDeadlineTimer>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

#include "core/docking.h"
#include "core/settings.h"

namespace solvane {

// The settings a panel keeps: its outer rectangle, its dock code and its open flag.
struct PanelKeys {
    int32_t Settings::*posx;
    int32_t Settings::*posy;
    int32_t Settings::*width;
    int32_t Settings::*height;
    int32_t Settings::*docked;
    uint8_t Settings::*open;
};
extern const PanelKeys kFileBrowserKeys;
extern const PanelKeys kModelInfoKeys;

PanelRect ToPanelRect(const QRect& rect);
QRect ToQRect(const PanelRect& rect);

class DockedPanel : public QWidget {
public:
    // mainWindow owns the panel; closedByUser runs when its own close box closes it (the window
    // then clears the command's check mark).
    DockedPanel(QWidget* mainWindow, Settings& settings, PanelKind kind, std::function<void()> closedByUser);

    // Places the panel as it opens (stored place, default place, maximised main window), shows it
    // without taking the focus from the main window, and sets its open flag.
    void Open();
    // Closes the panel because the main window goes: its open flag is left as it is.
    void CloseWithMainWindow();
    // The main window moved or changed size: a docked panel keeps its place beside it.
    void FollowMainWindow();
    // Applies the docking rule where the panel is now (when docking is on), as a move would.
    void ReevaluateDocking();
    // The outer rectangle (the window manager's frame included).
    QRect OuterRect() const { return frameGeometry(); }
    int DockCodeSetting() const { return settings_.*keys_.docked; }

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    Settings& settings_;

private:
    // Puts the frame at outer: the inner size is the outer one less the frame's margins, which are
    // known only once the window manager has framed the panel (the main window's until then).
    void PlaceOuter(const QRect& outer);
    void FitFrame();
    QMargins Margins() const;
    QRect MainOuter() const;
    void RecordGeometry();

    // Whether a move the window system reports is one the panel asked for itself (its answer may
    // come after the panel has asked for another place, while the main window is dragged).
    bool IsOwnMove(const QPoint& topLeft);

    QPointer<QWidget> mainWindow_;
    PanelKind kind_;
    const PanelKeys& keys_;
    std::function<void()> closedByUser_;
    bool placing_ = false;       // our own moves: no docking rule inside them
    bool closingWithMain_ = false;
    QRect wantedOuter_;          // where the frame goes once the window manager has framed it
    QDeadlineTimer fitDeadline_{0};
    QTimer fitTimer_;
    struct OwnMove {
        QPoint topLeft;
        QDeadlineTimer expiry;
    };
    std::deque<OwnMove> ownMoves_;
};

}  // namespace solvane
