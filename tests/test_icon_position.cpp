// Where the minimised dialog draws its icon.
#include "icon_position.h"

#include <gtest/gtest.h>

namespace {

POINT At(LONG left, LONG top, LONG right, LONG bottom, int cx, int cy)
{
    return CenteredIconPosition(RECT{left, top, right, bottom}, cx, cy);
}

}  // namespace

TEST(CenteredIconPosition, EvenDifferenceCentresExactly)
{
    POINT p = At(0, 0, 100, 60, 32, 32);
    EXPECT_EQ(p.x, 34);
    EXPECT_EQ(p.y, 14);
}

TEST(CenteredIconPosition, OddDifferenceRoundsUp)
{
    POINT p = At(0, 0, 101, 63, 32, 32);
    EXPECT_EQ(p.x, 35);  // (69 + 1) / 2
    EXPECT_EQ(p.y, 16);  // (31 + 1) / 2
}

TEST(CenteredIconPosition, NegativeDifferenceTruncatesTowardZero)
{
    // A client area smaller than the icon.
    POINT p = At(0, 0, 20, 29, 32, 32);
    EXPECT_EQ(p.x, -5);  // (-12 + 1) / 2 = -11 / 2
    EXPECT_EQ(p.y, -1);  // (-3 + 1) / 2
    p = At(0, 0, 31, 0, 32, 32);
    EXPECT_EQ(p.x, 0);   // (-1 + 1) / 2
    EXPECT_EQ(p.y, -15); // (-32 + 1) / 2 = -31 / 2
}

TEST(CenteredIconPosition, UsesWidthAndHeightNotCorners)
{
    POINT p = At(10, 20, 110, 80, 32, 32);
    EXPECT_EQ(p.x, 34);
    EXPECT_EQ(p.y, 14);
}
