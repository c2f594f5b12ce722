// The view's arithmetic: mapping, centring, visible and repaint rectangles, layout, zoom and grid.
#include "picwin/PictureScrollBx.h"

#include <gtest/gtest.h>

using namespace picview;

TEST(PictureViewMath, MappingStartsAtWholePixelsAndFloorsOutsideTheView)
{
    // Zoom 4, position 10: the view starts at picture pixel 2.
    EXPECT_EQ(ClientToPicture(0, 10, 4), 2);
    EXPECT_EQ(PictureToClient(2, 10, 4), 0);
    const struct {
        int V, Pos, Zoom, Expected;
    } cases[] = {
        {-1, 0, 1, -1}, {-1, 0, 4, -1}, {-4, 0, 4, -1}, {-5, 0, 4, -2}, {3, 0, 4, 0},
        {4, 0, 4, 1},   {-1, 8, 4, 1},  {0, 7, 4, 1},   {14, 0, 15, 0}, {15, 0, 15, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClientToPicture(c.V, c.Pos, c.Zoom), c.Expected) << c.V << " at " << c.Pos << " zoom " << c.Zoom;
    for (int zoom : {1, 3, 15})
        for (int x : {0, 5, 17})
            EXPECT_EQ(ClientToPicture(PictureToClient(x, 9 * zoom + 1, zoom), 9 * zoom + 1, zoom), x);
}

TEST(PictureViewMath, CentreScrollKeepsTheViewInsideThePicture)
{
    const struct {
        int X, Zoom, Client, Picture, Expected;
    } cases[] = {
        {50, 1, 100, 1000, 0},   // near the start
        {500, 1, 100, 1000, 450}, // centred
        {990, 1, 100, 1000, 900}, // near the end: the last view
        {500, 2, 100, 1000, 950},
        {10, 1, 400, 100, 0}, // picture smaller than the view
    };
    for (const auto& c : cases)
        EXPECT_EQ(CentreScroll(c.X, c.Zoom, c.Client, c.Picture), c.Expected) << c.X;
}

TEST(PictureViewMath, VisibleAndRepaintRectangles)
{
    EXPECT_EQ(VisibleRect(10, 0, 4, 100, 50, 500, 500), Rect(2, 0, 28, 13));
    EXPECT_EQ(VisibleRect(0, 0, 1, 400, 300, 100, 80), Rect(0, 0, 100, 80));
    const TRect visible = Rect(10, 10, 50, 40);
    EXPECT_EQ(RepaintRect(Rect(20, 20, 30, 25), 2, visible), Rect(17, 17, 33, 28));
    EXPECT_EQ(RepaintRect(Rect(30, 25, 20, 20), 2, visible), Rect(17, 17, 33, 28)) << "corners swapped";
    EXPECT_EQ(RepaintRect(Rect(0, 0, 100, 100), 0, visible), visible);
    EXPECT_TRUE(IsRectEmpty(RepaintRect(Rect(60, 10, 70, 20), 0, visible)));
    EXPECT_TRUE(IsRectEmpty(RepaintRect(Rect(0, 0, 5, 5), 2, visible)));
}

TEST(PictureViewMath, LayoutOfBarsAndRanges)
{
    // 100 x 100 at zoom 15 in a 400 x 300 box with a 2-pixel border and 16-pixel bars.
    TViewLayout l = ComputeLayout(400, 300, 4, 4, 16, 16, 100, 100, 15);
    EXPECT_TRUE(l.HorzNeeded);
    EXPECT_TRUE(l.VertNeeded);
    EXPECT_EQ(l.Increment, 15);
    EXPECT_EQ(l.PageIncrement, 120);
    // Available 380 x 280 is not a multiple of 15: one more zoomed pixel each way.
    EXPECT_EQ(l.HorzRange, 101 * 15);
    EXPECT_EQ(l.VertRange, 101 * 15);
    // A view that ends on a pixel boundary keeps the picture's own range.
    l = ComputeLayout(4 + 16 + 60, 4 + 16 + 30, 4, 4, 16, 16, 100, 100, 3);
    EXPECT_EQ(l.HorzRange, 300);
    EXPECT_EQ(l.VertRange, 300);
    // A picture that fits needs no bar; the vertical bar alone can push the horizontal one in.
    l = ComputeLayout(204, 104, 4, 4, 16, 16, 200, 100, 1);
    EXPECT_FALSE(l.HorzNeeded);
    EXPECT_FALSE(l.VertNeeded);
    l = ComputeLayout(204, 104, 4, 4, 16, 16, 190, 120, 1);
    EXPECT_TRUE(l.HorzNeeded);
    EXPECT_TRUE(l.VertNeeded);
}

TEST(PictureViewMath, ZoomReplicatesAndTheGridInvertsFirstRowsAndColumns)
{
    TBitmap src(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            src.Row24(y)[x] = TRGBTriple{uint8_t(x * 40), uint8_t(y * 90), uint8_t(7 + x + y)};
    for (int zoom : {1, 2, 10}) {
        TBitmap z;
        ZoomPixels(src, z, zoom);
        ASSERT_EQ(z.Width(), 3 * zoom);
        ASSERT_EQ(z.Height(), 2 * zoom);
        for (int y = 0; y < z.Height(); ++y)
            for (int x = 0; x < z.Width(); ++x)
                ASSERT_EQ(z.Row24(y)[x], src.Row24(y / zoom)[x / zoom]) << x << "," << y << " zoom " << zoom;
        TBitmap g;
        g.Assign(&z);
        DrawZoomGrid(g, zoom);
        for (int y = 0; y < g.Height(); ++y)
            for (int x = 0; x < g.Width(); ++x) {
                const bool line = (x % zoom == 0) != (y % zoom == 0);
                const TRGBTriple p = z.Row24(y)[x];
                const TRGBTriple expected = line ? TRGBTriple{uint8_t(~p.rgbtBlue), uint8_t(~p.rgbtGreen), uint8_t(~p.rgbtRed)} : p;
                ASSERT_EQ(g.Row24(y)[x], expected) << x << "," << y << " zoom " << zoom;
            }
    }
}
