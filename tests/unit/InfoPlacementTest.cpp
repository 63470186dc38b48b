// Placement of the information window beside the taskbar, for every edge of the screen.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "infownd/InfoPlacement.h"

namespace {

struct PlacementCase {
    const char* name;  // what the case shows
    int w, h;          // screen
    bool bTaskbar;     // whether there is a taskbar
    RECT taskbar;      // its rectangle
    int nEdge, x, y;   // expected
};

}  // namespace

TEST(InfoPlacement, EveryEdgeInTheOrderOfTheRules) {
    const PlacementCase cases[] = {
        {"bottom", 1024, 768, true, {0, 738, 1024, 768}, kEdgeBottom, 824, 678},
        {"right", 1024, 768, true, {984, 0, 1024, 768}, kEdgeRight, 784, 706},
        {"left", 1024, 768, true, {0, 0, 40, 768}, kEdgeLeft, 40, 706},
        {"top", 1024, 768, true, {0, 0, 1024, 30}, kEdgeTop, 824, 30},
        {"unknown place", 1024, 768, true, {0, 0, 8, 8}, kEdgeBottom, 824, 674},
        {"none", 1024, 768, false, {}, kEdgeBottom, 824, 708},
        // The halves are compared exactly: a bar from the middle on counts as right or left.
        {"right half", 1024, 768, true, {512, 0, 1024, 768}, kEdgeRight, 312, 706},
        {"left half", 1024, 768, true, {0, 0, 512, 768}, kEdgeLeft, 512, 706},
        {"past half", 1023, 768, true, {0, 0, 512, 768}, kEdgeTop, 312, 768},
        {"lower half", 1024, 768, true, {0, 384, 1000, 768}, kEdgeBottom, 800, 324},
        {"whole screen", 1024, 768, true, {0, 0, 1024, 768}, kEdgeTop, 824, 768},
        // Right is tested before bottom: a bar in the bottom-right quarter is on the right.
        {"corner", 1024, 768, true, {600, 500, 1024, 768}, kEdgeRight, 400, 706},
    };
    for (const PlacementCase& c : cases) {
        const InfoPlacement place =
            PlaceInfoWindow(c.w, c.h, c.bTaskbar ? &c.taskbar : nullptr, 200, 60);
        EXPECT_EQ(place.nEdge, c.nEdge) << c.name;
        EXPECT_EQ(place.x, c.x) << c.name;
        EXPECT_EQ(place.y, c.y) << c.name;
    }
}

TEST(InfoPlacement, StandInRectangles) {
    const auto edges = [](const RECT& r) {
        return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
    };
    // The table above covers the stand-ins for an unknown place and for no taskbar; only
    // exactly (0, 0, 8, 8) is an unknown place.
    const RECT small = {0, 0, 8, 9};
    EXPECT_EQ(edges(EffectiveTaskbarRect(1280, 1024, &small)), edges(small));
    // The animations' fallback: a frame around the client area, above an assumed taskbar.
    EXPECT_EQ(edges(FallbackWindowRect(1024, 768, 198, 58)),
              (std::vector<LONG>{824, 674, 1024, 734}));
}
