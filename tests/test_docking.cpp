// The panels' docking rule, worked without a window: the eight places, the 15-pixel threshold on
// both sides of it, the order of the tests, and where a panel opens.
#include <gtest/gtest.h>

#include "core/docking.h"

namespace solvane {
namespace {

const PanelRect kMain{100, 100, 400, 300};  // L 100, T 100, R 500, B 400
constexpr int kW = 120, kH = 80;

struct Place {
    int code;
    PanelPoint topLeft;
};
// Each code's place for a 120 x 80 panel, worked by hand from the main window's edges.
const Place kPlaces[] = {
    {dock::kLeftTop, {-20, 100}},    {dock::kLeftBottom, {-20, 320}},  {dock::kRightTop, {500, 100}},
    {dock::kRightBottom, {500, 320}}, {dock::kAboveLeft, {100, 20}},   {dock::kAboveRight, {380, 20}},
    {dock::kBelowLeft, {100, 400}},  {dock::kBelowRight, {380, 400}},
};

PanelRect PanelAt(PanelPoint p, int dx = 0, int dy = 0)
{
    return {p.x + dx, p.y + dy, kW, kH};
}

TEST(Docking, EachCodeHasItsPlace)
{
    for (const Place& place : kPlaces) {
        EXPECT_EQ(DockPlace(place.code, kMain, kW, kH), place.topLeft) << place.code;
        EXPECT_EQ(DockCode(PanelAt(place.topLeft), kMain), place.code);
    }
    for (int code : {dock::kFree, dock::kDockingOff, 1, 1000, 1009}) {
        EXPECT_FALSE(DockPlace(code, kMain, kW, kH)) << code;
        EXPECT_FALSE(IsDockedCode(code)) << code;
    }
}

// Within 15 pixels on both axes the panel docks and is moved onto the place without resizing;
// 16 pixels off on either axis leaves it free where it is.
TEST(Docking, ThresholdIsFifteenPixelsInclusive)
{
    for (const Place& place : kPlaces) {
        for (int dx : {-15, 0, 15}) {
            for (int dy : {-15, 0, 15}) {
                const DockResult result = ApplyDockingRule(PanelAt(place.topLeft, dx, dy), kMain);
                EXPECT_EQ(result.code, place.code) << place.code << " off by " << dx << "," << dy;
                EXPECT_EQ(result.rect, PanelAt(place.topLeft)) << place.code;
            }
        }
        for (const auto& [dx, dy] : {std::pair{16, 0}, {-16, 0}, {0, 16}, {0, -16}, {16, 16}}) {
            const PanelRect away = PanelAt(place.topLeft, dx, dy);
            const DockResult result = ApplyDockingRule(away, kMain);
            EXPECT_EQ(result.code, dock::kFree) << place.code << " off by " << dx << "," << dy;
            EXPECT_EQ(result.rect, away);
        }
    }
}

// The information panel's top-left 10 right of and 12 below the main window's bottom-left corner
// snaps below it, left-aligned; 16 away it stays free.
TEST(Docking, InformationPanelNearTheBottomLeftCorner)
{
    const PanelRect info{kMain.x + 10, kMain.Bottom() + 12, 400, 150};
    const DockResult result = ApplyDockingRule(info, kMain);
    EXPECT_EQ(result.code, dock::kBelowLeft);
    EXPECT_EQ(result.rect, (PanelRect{kMain.x, kMain.Bottom(), 400, 150}));
    EXPECT_EQ(DockCode({kMain.x + 16, kMain.Bottom(), 400, 150}, kMain), dock::kFree);
}

// A panel that meets two places takes the first test in the rule's order.
TEST(Docking, FirstMatchingTestWins)
{
    // As high as the main window, at its left: tops and bottoms both align.
    EXPECT_EQ(DockCode({-20, 100, kW, 300}, kMain), dock::kLeftTop);
    // As wide as the main window, above it: left and right edges both align.
    EXPECT_EQ(DockCode({100, 20, 400, kH}, kMain), dock::kAboveLeft);
    // As wide, below it.
    EXPECT_EQ(DockCode({100, 400, 400, kH}, kMain), dock::kBelowLeft);
    // As high, at its right.
    EXPECT_EQ(DockCode({500, 100, kW, 300}, kMain), dock::kRightTop);
}

const PanelRect kUnset{-1, -1, -1, -1};

TEST(Docking, PanelsOpenAtTheirDefaultPlacesWhenNothingIsStored)
{
    const PanelOpening browser = PlacePanelOnOpening(PanelKind::FileBrowser, kUnset, 1, kMain, false, true);
    EXPECT_EQ(browser.rect, (PanelRect{500, 100, 250, 300}));
    EXPECT_EQ(browser.code, dock::kRightTop);
    const PanelOpening info = PlacePanelOnOpening(PanelKind::ModelInfo, kUnset, 1, kMain, false, true);
    EXPECT_EQ(info.rect, (PanelRect{100, 400, 400, 150}));
    EXPECT_EQ(info.code, dock::kBelowLeft);
    // Either half unset is enough.
    EXPECT_EQ(PlacePanelOnOpening(PanelKind::ModelInfo, {-1, -1, 300, 200}, 0, kMain, false, false).rect,
              (PanelRect{100, 400, 400, 150}));
    EXPECT_EQ(PlacePanelOnOpening(PanelKind::ModelInfo, {700, 50, -1, -1}, 0, kMain, false, false).rect,
              (PanelRect{100, 400, 400, 150}));
}

// The stored -1 reads back as 1; both become the kind's default code when the panel opens with
// docking off. A free panel stays free, a docked one keeps its code.
TEST(Docking, OpeningTurnsAnUndockedCodeIntoTheDefault)
{
    const PanelRect far{900, 700, 200, 200};
    for (int stored : {-1, 1}) {
        EXPECT_EQ(PlacePanelOnOpening(PanelKind::ModelInfo, far, stored, kMain, false, false).code, dock::kBelowLeft);
        EXPECT_EQ(PlacePanelOnOpening(PanelKind::FileBrowser, far, stored, kMain, false, false).code, dock::kRightTop);
    }
    EXPECT_EQ(PlacePanelOnOpening(PanelKind::ModelInfo, far, 0, kMain, false, false).code, dock::kFree);
    EXPECT_EQ(PlacePanelOnOpening(PanelKind::ModelInfo, far, dock::kAboveRight, kMain, false, false).code,
              dock::kAboveRight);
    // With docking on, where the panel is decides.
    const PanelOpening free = PlacePanelOnOpening(PanelKind::ModelInfo, far, dock::kAboveRight, kMain, false, true);
    EXPECT_EQ(free.code, dock::kFree);
    EXPECT_EQ(free.rect, far);
    const PanelOpening near = PlacePanelOnOpening(PanelKind::ModelInfo, {505, 95, 200, 200}, 0, kMain, false, true);
    EXPECT_EQ(near.code, dock::kRightTop);
    EXPECT_EQ(near.rect, (PanelRect{500, 100, 200, 200}));
}

TEST(Docking, OverAMaximisedWindowAPanelOpensSmallAtTheTopLeft)
{
    const PanelRect screen{0, 0, 1280, 1024};
    const PanelOpening off = PlacePanelOnOpening(PanelKind::FileBrowser, {600, 0, 250, 1024}, dock::kRightTop, screen,
                                                 true, false);
    EXPECT_EQ(off.rect, (PanelRect{20, 20, 250, 250}));
    EXPECT_EQ(off.code, dock::kDockingOff);
    // Docking on: the rule then finds no edge for it.
    const PanelOpening on = PlacePanelOnOpening(PanelKind::ModelInfo, kUnset, 1, screen, true, true);
    EXPECT_EQ(on.rect, (PanelRect{20, 20, 250, 250}));
    EXPECT_EQ(on.code, dock::kFree);
}

}  // namespace
}  // namespace solvane
