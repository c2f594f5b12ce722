#include "platform/Types.h"

#include <gtest/gtest.h>

TEST(Types, SystemColoursResolveThroughOneTable)
{
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FF);
    EXPECT_EQ(ColorToRGB(clBtnFace), kSystemColors[COLOR_BTNFACE]);
    EXPECT_EQ(ColorToRGB(0x7F123456), 0x123456);
}

TEST(Types, RectanglesAreRightAndBottomExclusive)
{
    const TRect r = Rect(2, 3, 5, 7);
    EXPECT_EQ(r.Width(), 3);
    EXPECT_TRUE(PtInRect(r, Point(2, 3)));
    EXPECT_FALSE(PtInRect(r, Point(5, 3)));
    EXPECT_FALSE(PtInRect(r, Point(2, 7)));
    TRect out;
    EXPECT_FALSE(IntersectRect(out, r, Rect(5, 0, 9, 9)));
    EXPECT_EQ(out, TRect{});
}
