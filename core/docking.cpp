#include "core/docking.h"

#include <cstdlib>

namespace solvane {
namespace {

bool Near(int a, int b)
{
    return std::abs(a - b) <= kDockThreshold;
}

constexpr int kMaximisedPanelCorner = 20;
constexpr int kMaximisedPanelSide = 250;
constexpr int kBrowserWidth = 250;
constexpr int kInfoHeight = 150;

}  // namespace

bool IsDockedCode(int code)
{
    return code >= dock::kLeftTop && code <= dock::kBelowRight;
}

int DockCode(const PanelRect& panel, const PanelRect& main)
{
    const int l = panel.Left(), t = panel.Top(), r = panel.Right(), b = panel.Bottom();
    const int L = main.Left(), T = main.Top(), R = main.Right(), B = main.Bottom();
    if (Near(r, L) && Near(t, T)) return dock::kLeftTop;
    if (Near(l, R) && Near(t, T)) return dock::kRightTop;
    if (Near(l, L) && Near(b, T)) return dock::kAboveLeft;
    if (Near(l, L) && Near(t, B)) return dock::kBelowLeft;
    if (Near(r, L) && Near(b, B)) return dock::kLeftBottom;
    if (Near(l, R) && Near(b, B)) return dock::kRightBottom;
    if (Near(r, R) && Near(b, T)) return dock::kAboveRight;
    if (Near(r, R) && Near(t, B)) return dock::kBelowRight;
    return dock::kFree;
}

std::optional<PanelPoint> DockPlace(int code, const PanelRect& main, int w, int h)
{
    const int X = main.x, Y = main.y, W = main.width, H = main.height;
    switch (code) {
    case dock::kLeftTop: return PanelPoint{X - w, Y};
    case dock::kLeftBottom: return PanelPoint{X - w, Y + H - h};
    case dock::kRightTop: return PanelPoint{X + W, Y};
    case dock::kRightBottom: return PanelPoint{X + W, Y + H - h};
    case dock::kAboveLeft: return PanelPoint{X, Y - h};
    case dock::kAboveRight: return PanelPoint{X + W - w, Y - h};
    case dock::kBelowLeft: return PanelPoint{X, Y + H};
    case dock::kBelowRight: return PanelPoint{X + W - w, Y + H};
    default: return std::nullopt;
    }
}

DockResult ApplyDockingRule(const PanelRect& panel, const PanelRect& main)
{
    DockResult result{DockCode(panel, main), panel};
    if (const auto place = DockPlace(result.code, main, panel.width, panel.height)) {
        result.rect.x = place->x;
        result.rect.y = place->y;
    }
    return result;
}

int DefaultDockCode(PanelKind kind)
{
    return kind == PanelKind::FileBrowser ? dock::kRightTop : dock::kBelowLeft;
}

PanelOpening PlacePanelOnOpening(PanelKind kind, const PanelRect& stored, int storedCode, const PanelRect& main,
                                 bool mainMaximised, bool dockingOn)
{
    PanelOpening opening{stored, storedCode};
    const bool positionUnset = stored.x == -1 && stored.y == -1;
    // A size that cannot be a window's (a damaged store) counts as unset too.
    const bool sizeUnset = (stored.width == -1 && stored.height == -1) || stored.width <= 0 || stored.height <= 0;
    if (positionUnset || sizeUnset) {
        opening.rect = kind == PanelKind::FileBrowser
                           ? PanelRect{main.Right(), main.Top(), kBrowserWidth, main.height}
                           : PanelRect{main.Left(), main.Bottom(), main.width, kInfoHeight};
    }
    if (!IsDockedCode(opening.code) && opening.code != dock::kFree) opening.code = DefaultDockCode(kind);
    if (mainMaximised) {
        opening.rect = {kMaximisedPanelCorner, kMaximisedPanelCorner, kMaximisedPanelSide, kMaximisedPanelSide};
        opening.code = dock::kDockingOff;
    }
    if (dockingOn) {
        const DockResult docked = ApplyDockingRule(opening.rect, main);
        opening.rect = docked.rect;
        opening.code = docked.code;
    }
    return opening;
}

}  // namespace solvane
