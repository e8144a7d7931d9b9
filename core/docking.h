// Docking of the two panels (file browser, model information) to the main window's edges: the dock
// codes kept in fb_docked and mi_docked, the rule that finds a code when a panel is moved, the
// place each code puts a panel, and where a panel opens. All rectangles are outer ones (with the
// window manager's frame), in screen pixels; right and bottom are x + width and y + height.
#pragma once

#include <cstdint>
#include <optional>

namespace solvane {

struct PanelRect {
    int x = 0, y = 0, width = 0, height = 0;

    int Left() const { return x; }
    int Top() const { return y; }
    int Right() const { return x + width; }
    int Bottom() const { return y + height; }
    friend bool operator==(const PanelRect&, const PanelRect&) = default;
};

namespace dock {
constexpr int kDockingOff = -1;   // not docked, docking switched off
constexpr int kFree = 0;          // not docked, moved freely
constexpr int kLeftTop = 1001;    // left of the main window, tops aligned
constexpr int kLeftBottom = 1002; // left, bottoms aligned
constexpr int kRightTop = 1003;   // right, tops aligned
constexpr int kRightBottom = 1004;
constexpr int kAboveLeft = 1005;  // above, left edges aligned
constexpr int kAboveRight = 1006;
constexpr int kBelowLeft = 1007;  // below, left edges aligned
constexpr int kBelowRight = 1008;
}  // namespace dock

// How close (inclusive, in pixels) a panel's edges must come to the main window's to dock.
constexpr int kDockThreshold = 15;

// Whether the code docks the panel to an edge (1001 to 1008).
bool IsDockedCode(int code);

// The code a panel at `panel` docks with to `main`: the first of the eight tests that matches, in
// the order 1001, 1003, 1005, 1007, 1002, 1004, 1006, 1008; kFree when none does.
int DockCode(const PanelRect& panel, const PanelRect& main);

// The panel's top-left for a docked code, keeping its size; nothing for other codes.
struct PanelPoint {
    int x = 0, y = 0;
    friend bool operator==(const PanelPoint&, const PanelPoint&) = default;
};
std::optional<PanelPoint> DockPlace(int code, const PanelRect& main, int panelWidth, int panelHeight);

// The docking rule on a move: the code for where the panel is, and the panel moved (not resized)
// to that code's place when it docks.
struct DockResult {
    int code = dock::kFree;
    PanelRect rect;
};
DockResult ApplyDockingRule(const PanelRect& panel, const PanelRect& main);

// Where a panel opens.
enum class PanelKind {
    FileBrowser,  // default place: right of the main window, tops aligned, 250 wide, as high
    ModelInfo,    // default place: below it, left edges aligned, as wide, 150 high
};
int DefaultDockCode(PanelKind kind);  // 1003 for the browser, 1007 for the information panel

struct PanelOpening {
    PanelRect rect;
    int code = dock::kFree;
};
// The stored rectangle (x, y, width, height: -1 for unset) and code, the main window's outer
// rectangle and whether it is maximised give the panel's rectangle and code when it opens:
// 1. an unset position (both -1) or size (both -1) gives the kind's default place;
// 2. a code that names no place nor freedom (-1, or the 1 that a stored -1 reads back as) becomes
//    the kind's default code;
// 3. over a maximised main window the panel opens at (20, 20), 250 x 250, with code -1;
// 4. with docking on, the docking rule then applies to that rectangle as to any move.
PanelOpening PlacePanelOnOpening(PanelKind kind, const PanelRect& stored, int storedCode, const PanelRect& main,
                                 bool mainMaximised, bool dockingOn);

}  // namespace solvane
