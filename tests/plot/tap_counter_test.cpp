#include "orlix/tap_counter.h"

#include <gtest/gtest.h>

namespace orlix {
namespace {

// One finger going down and up at once, at (x, y) and time t.
int tap(TapCounter& c, int id, float x, float y, double t)
{
    const int n = c.down(id, PointF{x, y}, t);
    EXPECT_EQ(c.taps(id), n);
    EXPECT_EQ(c.up(id, PointF{x, y}, t + 0.05), n);
    return n;
}

TEST(TapCounter, TapsSoonAndNearCountOnOthersMakeASingleTapAgain)
{
    TapCounter c;
    EXPECT_EQ(tap(c, 1, 100, 100, 0.0), 1);
    EXPECT_EQ(tap(c, 1, 110, 105, 0.2), 2); // soon and near: a double tap
    EXPECT_EQ(tap(c, 7, 100, 100, 0.4), 3); // another id continues the taps
    EXPECT_EQ(tap(c, 1, 100, 100, 1.0), 1); // too late
    EXPECT_EQ(tap(c, 1, 130, 100, 1.2), 1); // too far (30 points)
    EXPECT_EQ(tap(c, 1, 130, 124, 1.3), 2); // 24 points away is near
}

TEST(TapCounter, FingersDownTogetherKeepTheirOwnCounts)
{
    TapCounter c;
    tap(c, 1, 50, 50, 0.0);
    EXPECT_EQ(c.down(1, PointF{52, 50}, 0.1), 2);
    EXPECT_EQ(c.down(2, PointF{300, 50}, 0.15), 1); // far from the lift
    EXPECT_EQ(c.taps(1), 2);
    EXPECT_EQ(c.taps(2), 1);
    EXPECT_EQ(c.taps(9), 1); // never seen going down
    EXPECT_EQ(c.up(2, PointF{300, 50}, 0.2), 1);
    // Only the last lift counts: finger 1's, after finger 2's far away.
    EXPECT_EQ(c.up(1, PointF{52, 50}, 0.25), 2);
    EXPECT_EQ(c.down(3, PointF{52, 50}, 0.3), 3);
}

} // namespace
} // namespace orlix
