// Where a saved window comes back, as arithmetic: random rectangles, edges from a file that
// can be anything, against the properties the placement promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "ReachableRect.h"

namespace {

// Mostly screen-sized numbers, sometimes the extremes a hand-edited file can hold.
LONG Edge(std::mt19937& random) {
    const unsigned kind = random() % 8;
    if (kind == 0) return LONG_MIN + static_cast<LONG>(random() % 3);
    if (kind == 1) return LONG_MAX - static_cast<LONG>(random() % 3);
    return static_cast<LONG>(random() % 12001) - 6000;
}

long long Width(const RECT& rc) { return static_cast<long long>(rc.right) - rc.left; }
long long Height(const RECT& rc) { return static_cast<long long>(rc.bottom) - rc.top; }

TEST(ReachableRect, ASavedRectangleWithoutAreaTakesTheDefaultSizeAtItsPlace) {
    std::mt19937 random(27);
    for (int i = 0; i < 20000; ++i) {
        const RECT saved = {Edge(random), Edge(random), Edge(random), Edge(random)};
        const SIZE size = {static_cast<LONG>(random() % 2000), static_cast<LONG>(random() % 2000)};
        const RECT rc = SizedRect(saved, size);
        if (Width(saved) > 0 && Height(saved) > 0) {
            EXPECT_TRUE(EqualRect(&rc, &saved)) << i;
            continue;
        }
        // At its place, unless so near the largest coordinate that the size would wrap round
        // or be cut: then just as far back as the size needs.
        EXPECT_EQ(Width(rc), size.cx) << i;
        EXPECT_EQ(Height(rc), size.cy) << i;
        EXPECT_EQ(rc.left, std::min<long long>(saved.left, LONG_MAX - static_cast<long long>(size.cx))) << i;
        EXPECT_EQ(rc.top, std::min<long long>(saved.top, LONG_MAX - static_cast<long long>(size.cy))) << i;
    }
}

TEST(ReachableRect, ARectangleIsMovedTheLeastIntoTheWorkAreaAndCutToFit) {
    std::mt19937 random(2027);
    for (int i = 0; i < 20000; ++i) {
        const LONG left = static_cast<LONG>(random() % 8001) - 4000, top = static_cast<LONG>(random() % 8001) - 4000;
        const RECT work = {left, top, left + 1 + static_cast<LONG>(random() % 3000),
                           top + 1 + static_cast<LONG>(random() % 3000)};
        RECT rc = {Edge(random), Edge(random), 0, 0};
        rc.right =
            static_cast<LONG>(std::min<long long>(LONG_MAX, rc.left + 1 + static_cast<long long>(random() % 5000)));
        rc.bottom =
            static_cast<LONG>(std::min<long long>(LONG_MAX, rc.top + 1 + static_cast<long long>(random() % 5000)));

        const RECT placed = PlacedInWorkArea(rc, work);
        // Inside the work area, as large as it was where the work area allows.
        EXPECT_GE(placed.left, work.left) << i;
        EXPECT_GE(placed.top, work.top) << i;
        EXPECT_LE(placed.right, work.right) << i;
        EXPECT_LE(placed.bottom, work.bottom) << i;
        EXPECT_EQ(Width(placed), std::min(Width(rc), Width(work))) << i;
        EXPECT_EQ(Height(placed), std::min(Height(rc), Height(work))) << i;
        // An edge moves only when the rectangle sticks out on its side.
        if (rc.left < work.left) {
            EXPECT_EQ(placed.left, work.left) << i;
        } else if (rc.left + Width(placed) <= work.right) {
            EXPECT_EQ(placed.left, rc.left) << i;
        }
        if (rc.top < work.top) {
            EXPECT_EQ(placed.top, work.top) << i;
        } else if (rc.top + Height(placed) <= work.bottom) {
            EXPECT_EQ(placed.top, rc.top) << i;
        }
    }
}

TEST(ReachableRect, EverySavedRectangleComesBackOnTheScreen) {
    // The display has one monitor: whatever was saved, the window meets its work area.
    RECT work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        const RECT saved = {Edge(random), Edge(random), Edge(random), Edge(random)};
        const RECT rc = ReachableRect(saved, {450, 160});
        RECT common;
        EXPECT_TRUE(IntersectRect(&common, &rc, &work))
            << i << ": " << rc.left << "," << rc.top << " " << rc.right << "," << rc.bottom;
    }
}

}  // namespace
