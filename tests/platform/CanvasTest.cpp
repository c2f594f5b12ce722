// Canvas primitives pinned pixel by pixel: lines, pen styles and modes, rectangles, ellipses,
// polygons, fills, blits and text.
#include "platform/Graphics.h"

#include "GraphicFakes.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <map>
#include <random>

namespace {

using Art = std::vector<std::string>;

// The bitmap as text: '.' white, '#' black, 'r' red, 'g' lime, 'b' blue, '?' anything else.
Art Picture(const TBitmap& b)
{
    const std::map<TColor, char> legend{{clWhite, '.'}, {clBlack, '#'}, {clRed, 'r'}, {clLime, 'g'}, {clBlue, 'b'}};
    Art art;
    for (int y = 0; y < b.Height(); ++y) {
        std::string row;
        for (int x = 0; x < b.Width(); ++x) {
            const auto it = legend.find(b.GetPixel(x, y));
            row += it == legend.end() ? '?' : it->second;
        }
        art.push_back(row);
    }
    return art;
}

// Makes b a white W x H bitmap with a canvas in its starting state.
void White(TBitmap& b, int W, int H, TPixelFormat pf = pf24bit)
{
    b.Assign(nullptr);
    b.SetPixelFormat(pf);
    b.SetSize(W, H);
    TCanvas& c = b.Canvas();
    c.Pen = TPen();
    c.Brush = TBrush();
    c.Font = TFont();
    c.FillMode = fmAlternate;
    c.Brush.Color = clWhite;
    c.FillRect(Rect(0, 0, W, H));
    c.Brush.Color = clWhite;
    c.MoveTo(0, 0);
}

void Noise(TBitmap& b, int W, int H, unsigned Seed)
{
    White(b, W, H);
    std::mt19937 rng(Seed);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            b.SetPixelColor(x, y, TColor(rng() & 0xFFFFFF));
}

bool SamePixels(const TBitmap& a, const TBitmap& b)
{
    if (a.Width() != b.Width() || a.Height() != b.Height())
        return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.GetPixel(x, y) != b.GetPixel(x, y))
                return false;
    return true;
}

// ---- Lines --------------------------------------------------------------------------------------

struct LineCase {
    TPoint From, To;
    Art Expected;
};

TEST(CanvasLines, OnePixelLinesLeaveOutTheirEndPixel)
{
    const LineCase cases[] = {
        {{0, 0}, {5, 0}, {"#####...", "........", "........", "........"}},
        {{0, 0}, {7, 3}, {"##......", "..##....", "....##..", "......#."}},
        {{7, 3}, {0, 0}, {".#......", "..##....", "....##..", "......##"}},
        {{0, 0}, {2, 1}, {"##......", "........", "........", "........"}}, // a tie goes up
        {{2, 1}, {0, 0}, {".#......", "..#.....", "........", "........"}},
        {{1, 0}, {2, 3}, {".#......", ".#......", "..#.....", "........"}},
        {{0, 3}, {3, 0}, {"........", "..#.....", ".#......", "#......."}},
        {{3, 3}, {3, 3}, {"........", "........", "........", "........"}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.From.X << "," << c.From.Y << " -> " << c.To.X << "," << c.To.Y);
        TBitmap b;
    White(b, 8, 4);
        b.Canvas().MoveTo(c.From.X, c.From.Y);
        b.Canvas().LineTo(c.To.X, c.To.Y);
        EXPECT_EQ(Picture(b), c.Expected);
        EXPECT_EQ(b.Canvas().PenPos, c.To);
    }
}

TEST(CanvasLines, ALineAndItsReverseLightTheSamePixels)
{
    std::mt19937 rng(3);
    for (int i = 0; i < 200; ++i) {
        const TPoint a{int(rng() % 40), int(rng() % 30)}, b{int(rng() % 40), int(rng() % 30)};
        TBitmap forward, backward;
        White(forward, 40, 30);
        White(backward, 40, 30);
        forward.Canvas().MoveTo(a.X, a.Y);
        forward.Canvas().LineTo(b.X, b.Y);
        forward.SetPixelColor(b.X, b.Y, clBlack);
        backward.Canvas().MoveTo(b.X, b.Y);
        backward.Canvas().LineTo(a.X, a.Y);
        backward.SetPixelColor(a.X, a.Y, clBlack);
        ASSERT_TRUE(SamePixels(forward, backward)) << a.X << "," << a.Y << " " << b.X << "," << b.Y;
    }
}

TEST(CanvasLines, ClippingKeepsThePixelsOfTheWholeLine)
{
    for (int width : {1, 4}) {
        SCOPED_TRACE(width);
        TBitmap clipped, whole;
        White(clipped, 60, 40);
        White(whole, 400, 300);
        clipped.Canvas().Pen.Width = whole.Canvas().Pen.Width = width;
        clipped.Canvas().MoveTo(-100, -50);
        clipped.Canvas().LineTo(200, 100);
        whole.Canvas().MoveTo(50, 50);
        whole.Canvas().LineTo(350, 200);
        TBitmap window;
    White(window, 60, 40);
        window.Canvas().CopyRect(Rect(0, 0, 60, 40), whole.Canvas(), Rect(150, 100, 210, 140));
        EXPECT_TRUE(SamePixels(clipped, window));
    }
    TBitmap far;
    White(far, 10, 3);
    far.Canvas().MoveTo(-2000000000, 1);
    far.Canvas().LineTo(2000000000, 1);
    EXPECT_EQ(Picture(far), (Art{"..........", "##########", ".........."}));
}

TEST(CanvasLines, WidePensAreRoundDabsCoveringBothEnds)
{
    TBitmap b;
    White(b, 9, 7);
    b.Canvas().Pen.Width = 5;
    b.Canvas().MoveTo(3, 3);
    b.Canvas().LineTo(5, 3);
    EXPECT_EQ(Picture(b), (Art{".........", "..#####..", ".#######.", ".#######.", ".#######.", "..#####..", "........."}));
}

TEST(CanvasLines, PolylineDrawsEverySegmentAndKeepsThePenPosition)
{
    TBitmap b;
    White(b, 5, 4);
    b.Canvas().MoveTo(4, 3);
    b.Canvas().Polyline({{0, 0}, {3, 0}, {3, 2}});
    EXPECT_EQ(Picture(b), (Art{"####.", "...#.", ".....", "....."}));
    EXPECT_EQ(b.Canvas().PenPos, Point(4, 3));
}

// ---- Pen styles and modes ---------------------------------------------------------------------

TEST(CanvasPens, StyledPensFollowTheirPatternAlongThePath)
{
    // Path steps along row 0: a positive x is LineTo(x), a negative one MoveTo(-x - 1).
    const struct {
        TPenStyle Style;
        TBrushStyle Brush;
        std::vector<int> Path;
        std::string Expected;
    } cases[] = {
        {psDot, bsClear, {-1, 10}, "#.#.#.#.#."},
        {psDot, bsSolid, {-1, 10}, "#r#r#r#r#r"}, // gaps take a solid brush's colour
        {psDot, bsClear, {-1, 3, 10}, "#.#.#.#.#."}, // the pattern runs on across LineTo
        {psDot, bsClear, {-1, 3, -4, 10}, "#.##.#.#.#"}, // and starts again at MoveTo
        {psDash, bsClear, {-1, 30}, std::string(18, '#') + std::string(6, '.') + std::string(6, '#')},
        {psClear, bsSolid, {-1, 10}, ".........."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected);
        TBitmap b;
        White(b, int(c.Expected.size()), 1);
        b.Canvas().Pen.Style = c.Style;
        b.Canvas().Brush.Style = c.Brush;
        b.Canvas().Brush.Color = clRed;
        for (int step : c.Path)
            if (step < 0)
                b.Canvas().MoveTo(-step - 1, 0);
            else
                b.Canvas().LineTo(step, 0);
        EXPECT_EQ(Picture(b)[0], c.Expected);
    }
}

TEST(CanvasPens, EverySixteenPenModeCombinesPenAndPixel)
{
    const uint32_t P = 0x0FAA55, D = 0xF0CC33;
    const struct {
        TPenMode Mode;
        uint32_t Expected;
    } cases[] = {
        {pmBlack, 0},          {pmWhite, 0xFFFFFF},    {pmNop, D},           {pmNot, ~D},
        {pmCopy, P},           {pmNotCopy, ~P},        {pmMergePenNot, P | ~D}, {pmMaskPenNot, P & ~D},
        {pmMergeNotPen, ~P | D}, {pmMaskNotPen, ~P & D}, {pmMerge, P | D},     {pmNotMerge, ~(P | D)},
        {pmMask, P & D},       {pmNotMask, ~(P & D)},  {pmXor, P ^ D},       {pmNotXor, ~(P ^ D)},
    };
    for (TPixelFormat pf : {pf24bit, pf32bit}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << BitsPerPixel(pf) << " bits, mode " << int(c.Mode));
            TBitmap b(2, 1, pf);
            b.SetPixelColor(0, 0, TColor(D));
            b.SetPixelColor(1, 0, TColor(D));
            b.Canvas().Pen.Color = TColor(P);
            b.Canvas().Pen.Mode = c.Mode;
            b.Canvas().MoveTo(0, 0);
            b.Canvas().LineTo(1, 0);
            EXPECT_EQ(b.GetPixel(0, 0), TColor(c.Expected & 0xFFFFFF));
            EXPECT_EQ(b.GetPixel(1, 0), TColor(D));
        }
    }
}

TEST(CanvasPens, InvertingFiguresDrawnTwiceRestoreThePicture)
{
    const std::function<void(TCanvas&)> figures[] = {
        [](TCanvas& c) { c.Pen.Style = psDot; c.Pen.Mode = pmNot; c.Brush.Style = bsClear; c.Rectangle(3, 2, 25, 17); },
        [](TCanvas& c) { c.Pen.Width = 5; c.Pen.Mode = pmNotXor; c.MoveTo(2, 18); c.LineTo(27, 1); },
        [](TCanvas& c) { c.Pen.Width = 3; c.Pen.Mode = pmXor; c.Pen.Color = clAqua; c.Brush.Style = bsClear; c.Ellipse(1, 1, 28, 19); },
        [](TCanvas& c) { c.Pen.Mode = pmNot; c.Polygon({{1, 1}, {28, 5}, {4, 18}, {20, 0}}); },
        [](TCanvas& c) { c.Pen.Mode = pmNot; c.Pen.Width = 4; c.Rectangle(-3, 4, 12, 30); },
    };
    for (size_t i = 0; i < std::size(figures); ++i) {
        SCOPED_TRACE(i);
        TBitmap original;
    Noise(original, 30, 20, unsigned(i));
        TBitmap b;
        b.Assign(&original);
        figures[i](b.Canvas());
        EXPECT_FALSE(SamePixels(b, original));
        figures[i](b.Canvas());
        EXPECT_TRUE(SamePixels(b, original));
    }
    for (TPixelFormat pf : {pf15bit, pf16bit, pf8bit}) { // through the per-pixel path
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap original;
    Noise(original, 30, 20, 5);
        original.SetPixelFormat(pf);
        TBitmap b;
        b.Assign(&original);
        b.Canvas().Pen.Mode = pmNot;
        b.Canvas().Brush.Style = bsClear;
        b.Canvas().Rectangle(2, 2, 20, 15);
        EXPECT_FALSE(SamePixels(b, original));
        if (pf != pf8bit) { // inverting a palette colour needs the palette to hold its inverse
            b.Canvas().Rectangle(2, 2, 20, 15);
            EXPECT_TRUE(SamePixels(b, original));
        }
    }
}

TEST(CanvasPens, AWideInvertingLineInvertsEachPixelOnce)
{
    TBitmap coverage;
    White(coverage, 30, 20);
    coverage.Canvas().Pen.Width = 6;
    coverage.Canvas().MoveTo(3, 4);
    coverage.Canvas().LineTo(25, 14);
    TBitmap original;
    Noise(original, 30, 20, 9);
    TBitmap b;
    b.Assign(&original);
    b.Canvas().Pen.Width = 6;
    b.Canvas().Pen.Mode = pmNot;
    b.Canvas().MoveTo(3, 4);
    b.Canvas().LineTo(25, 14);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool covered = coverage.GetPixel(x, y) == clBlack;
            ASSERT_EQ(b.GetPixel(x, y), covered ? ~original.GetPixel(x, y) & 0xFFFFFF : original.GetPixel(x, y)) << x << "," << y;
        }
}

TEST(CanvasPens, OutlineAndInteriorOfOneFigureDoNotOverlap)
{
    // With pmNot both the brush and the pen invert: every pixel of the box must change exactly once.
    for (int width : {1, 3}) {
        SCOPED_TRACE(width);
        TBitmap original;
        Noise(original, 20, 16, 12);
        TBitmap b;
        b.Assign(&original);
        b.Canvas().Pen.Mode = pmNot;
        b.Canvas().Pen.Width = width;
        b.Canvas().Pen.Style = psInsideFrame;
        b.Canvas().Rectangle(2, 3, 17, 14);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 20; ++x) {
                const bool inside = x >= 2 && x < 17 && y >= 3 && y < 14;
                const TColor o = original.GetPixel(x, y);
                ASSERT_EQ(b.GetPixel(x, y), inside ? ~o & 0xFFFFFF : o) << x << "," << y;
            }
    }
}

// ---- Rectangles and fills -------------------------------------------------------------------------

TEST(CanvasRectangles, OutlineWithThePenAndInteriorWithTheBrush)
{
    const Art filled{"........", ".#####..", ".#rrr#..", ".#rrr#..", ".#####..", "........"};
    for (TRect r : {Rect(1, 1, 6, 5), Rect(6, 5, 1, 1)}) {
        TBitmap b;
    White(b, 8, 6);
        b.Canvas().Brush.Color = clRed;
        b.Canvas().Rectangle(r);
        EXPECT_EQ(Picture(b), filled);
    }
    TBitmap b;
    White(b, 8, 6);
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().Rectangle(1, 1, 6, 5);
    EXPECT_EQ(Picture(b), (Art{"........", ".#####..", ".#...#..", ".#...#..", ".#####..", "........"}));
    White(b, 8, 6);
    b.Canvas().Pen.Style = psClear;
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Rectangle(1, 1, 6, 5);
    EXPECT_EQ(Picture(b), (Art{"........", ".rrrrr..", ".rrrrr..", ".rrrrr..", ".rrrrr..", "........"}));
}

TEST(CanvasRectangles, WidePensAreCentredOnTheOutlineOrKeptInside)
{
    TBitmap b;
    White(b, 11, 10);
    b.Canvas().Pen.Width = 3;
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Rectangle(1, 1, 9, 8);
    EXPECT_EQ(Picture(b), (Art{"##########.", "##########.", "##########.", "###rrrr###.", "###rrrr###.",
                               "###rrrr###.", "##########.", "##########.", "##########.", "..........."}));
    White(b, 11, 10);
    b.Canvas().Pen.Width = 3;
    b.Canvas().Pen.Style = psInsideFrame;
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Rectangle(1, 1, 9, 8);
    EXPECT_EQ(Picture(b), (Art{"...........", ".########..", ".########..", ".########..", ".###rr###..",
                               ".########..", ".########..", ".########..", "...........", "..........."}));
}

TEST(CanvasRectangles, FillRectCoversExactlyTheRectangleWithTheBrush)
{
    const struct {
        TRect R;
        Art Expected;
    } cases[] = {
        {Rect(2, 1, 5, 3), {"......", "..rrr.", "..rrr.", "......"}},
        {Rect(-3, -3, 2, 2), {"rr....", "rr....", "......", "......"}},
        {Rect(5, 3, 2, 1), {"......", "......", "......", "......"}},
        {Rect(4, 2, 40, 40), {"......", "......", "....rr", "....rr"}},
    };
    for (const auto& c : cases) {
        TBitmap b;
    White(b, 6, 4);
        b.Canvas().Pen.Mode = pmNot; // not used by fills
        b.Canvas().Brush.Color = clRed;
        b.Canvas().FillRect(c.R);
        EXPECT_EQ(Picture(b), c.Expected);
    }
    TBitmap b;
    White(b, 6, 4);
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().FillRect(Rect(0, 0, 6, 4));
    EXPECT_EQ(Picture(b)[0], "......");
}

TEST(CanvasRectangles, FrameRectDrawsOnePixelInTheBrushColour)
{
    TBitmap b;
    White(b, 6, 5);
    b.Canvas().Brush.Color = clBlue;
    b.Canvas().FrameRect(Rect(1, 1, 5, 4));
    EXPECT_EQ(Picture(b), (Art{"......", ".bbbb.", ".b..b.", ".bbbb.", "......"}));
}

TEST(CanvasRectangles, HatchedBrushesPaintOnlyTheirLines)
{
    TBitmap b;
    White(b, 10, 10);
    b.Canvas().Brush.Color = clBlack;
    b.Canvas().Brush.Style = bsHorizontal;
    b.Canvas().FillRect(Rect(0, 0, 10, 10));
    for (int y = 0; y < 10; ++y)
        EXPECT_EQ(Picture(b)[size_t(y)], y % 8 == 0 ? "##########" : "..........") << y;
}

// ---- Ellipses -------------------------------------------------------------------------------------

TEST(CanvasEllipses, SmallEllipseIsPinned)
{
    TBitmap b;
    White(b, 9, 6);
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Ellipse(0, 0, 7, 5);
    EXPECT_EQ(Picture(b), (Art{".#####...", "#rrrrr#..", "#rrrrr#..", "#rrrrr#..", ".#####...", "........."}));
    White(b, 9, 6);
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().Ellipse(7, 5, 0, 0);
    EXPECT_EQ(Picture(b), (Art{".#####...", "#.....#..", "#.....#..", "#.....#..", ".#####...", "........."}));
}

TEST(CanvasEllipses, EllipsesFitTheirBoxTouchEverySideAndAreSymmetric)
{
    for (TRect box : {Rect(2, 3, 30, 14), Rect(1, 1, 12, 27), Rect(5, 5, 6, 9), Rect(0, 0, 31, 31), Rect(3, 2, 20, 20)}) {
        SCOPED_TRACE(testing::Message() << box.Left << "," << box.Top << "," << box.Right << "," << box.Bottom);
        TBitmap b;
    White(b, 34, 34);
        b.Canvas().Brush.Color = clRed;
        b.Canvas().Ellipse(box);
        TRect ink{1000, 1000, -1, -1};
        for (int y = 0; y < 34; ++y)
            for (int x = 0; x < 34; ++x) {
                const TColor c = b.GetPixel(x, y);
                if (c == clWhite)
                    continue;
                ink = {std::min(ink.Left, x), std::min(ink.Top, y), std::max(ink.Right, x + 1), std::max(ink.Bottom, y + 1)};
                const int mx = box.Left + box.Right - 1 - x, my = box.Top + box.Bottom - 1 - y;
                EXPECT_EQ(b.GetPixel(mx, y), c) << x << "," << y;
                EXPECT_EQ(b.GetPixel(x, my), c) << x << "," << y;
            }
        EXPECT_EQ(ink, box);
    }
}

TEST(CanvasEllipses, WideOutlineCoversTheEllipseOnce)
{
    TBitmap original;
    Noise(original, 40, 30, 4);
    TBitmap b;
    b.Assign(&original);
    b.Canvas().Pen.Width = 7;
    b.Canvas().Pen.Mode = pmNot;
    b.Canvas().Brush.Style = bsClear;
    b.Canvas().Ellipse(4, 4, 36, 26);
    int inverted = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const TColor o = original.GetPixel(x, y), n = b.GetPixel(x, y);
            ASSERT_TRUE(n == o || n == (~o & 0xFFFFFF)) << x << "," << y;
            inverted += n != o;
        }
    EXPECT_GT(inverted, 300);
    EXPECT_EQ(b.GetPixel(20, 15), original.GetPixel(20, 15)); // the middle stays
    EXPECT_NE(b.GetPixel(4, 15), original.GetPixel(4, 15));  // the left edge is covered
}

// ---- Polygons -------------------------------------------------------------------------------------

TEST(CanvasPolygons, FillLeavesOutTheRightAndBottomBoundary)
{
    TBitmap b;
    White(b, 7, 6);
    b.Canvas().Pen.Style = psClear;
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Polygon({{1, 1}, {5, 1}, {5, 4}, {1, 4}});
    EXPECT_EQ(Picture(b), (Art{".......", ".rrrr..", ".rrrr..", ".rrrr..", ".......", "......."}));
    White(b, 7, 7);
    b.Canvas().Pen.Style = psClear;
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Polygon({{0, 0}, {6, 0}, {0, 6}});
    EXPECT_EQ(Picture(b), (Art{"rrrrrr.", "rrrrr..", "rrrr...", "rrr....", "rr.....", "r......", "......."}));
    White(b, 7, 6);
    b.Canvas().Brush.Color = clRed;
    b.Canvas().Polygon({{1, 1}, {5, 1}, {5, 4}, {1, 4}});
    EXPECT_EQ(Picture(b), (Art{".......", ".#####.", ".#rrr#.", ".#rrr#.", ".#####.", "......."}));
}

TEST(CanvasPolygons, EvenOddAndWindingFills)
{
    const std::vector<TPoint> star{{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
    TBitmap alternate, winding;
    White(alternate, 21, 21);
    White(winding, 21, 21);
    for (TBitmap* b : {&alternate, &winding}) {
        b->Canvas().Pen.Style = psClear;
        b->Canvas().Brush.Color = clRed;
    }
    winding.Canvas().FillMode = fmWinding;
    alternate.Canvas().Polygon(star);
    winding.Canvas().Polygon(star);
    EXPECT_EQ(alternate.GetPixel(10, 11), clWhite);
    EXPECT_EQ(winding.GetPixel(10, 11), clRed);
    EXPECT_EQ(alternate.GetPixel(10, 3), clRed);
    EXPECT_EQ(winding.GetPixel(10, 3), clRed);
    EXPECT_EQ(alternate.GetPixel(1, 1), clWhite);
}

using Cover = std::vector<std::string>;

// The pixels a polygon covers in black, drawn by our canvas or by Qt's aliased painter, with a
// 1 px pen (or none) and a brush.
Cover CoverOf(const std::vector<TPoint>& Points, bool Pen, bool ByQt)
{
    const int W = 34, H = 34;
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    if (ByQt) {
        QPolygon polygon;
        for (const TPoint& p : Points)
            polygon << QPoint(p.X, p.Y);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(Pen ? QPen(Qt::black, 0) : QPen(Qt::NoPen));
        painter.setBrush(Qt::black);
        painter.drawPolygon(polygon);
    } else {
        TBitmap b;
        White(b, W, H);
        b.Canvas().Brush.Color = clBlack;
        b.Canvas().Pen.Style = Pen ? psSolid : psClear;
        b.Canvas().Polygon(Points);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                image.setPixel(x, y, b.GetPixel(x, y) == clWhite ? 0xFFFFFFFF : 0xFF000000);
    }
    Cover rows;
    for (int y = 0; y < H; ++y) {
        std::string row;
        for (int x = 0; x < W; ++x)
            row += image.pixel(x, y) == 0xFFFFFFFF ? '.' : '#';
        rows.push_back(row);
    }
    return rows;
}

bool Covered(const Cover& C, int X, int Y)
{
    return Y >= 0 && Y < int(C.size()) && X >= 0 && X < int(C[size_t(Y)].size()) && C[size_t(Y)][size_t(X)] == '#';
}

std::vector<TPoint> TipPolygon(char Kind, int w)
{
    const int d = w / 10 + 1; // as the pen tips take it for widths 10 and 30
    switch (Kind) {
    case '/': return {{0, w}, {d, w}, {w, d}, {w, 0}, {w - d, 0}, {0, w - d}};
    case '\\': return {{0, 0}, {d, 0}, {w, w - d}, {w, w}, {w - d, w}, {0, d}};
    default: return {{0, w}, {w, w}, {w / 2, 0}};
    }
}

// The fill takes the pixels whose integer point lies inside, so that the 1 px outline through those
// same points closes it without a gap: every row of a convex polygon is one run, the fill stays
// inside what Qt's aliased fill and outline cover, and the figure differs from Qt's fill plus outline only where the two line
// rasterisers round a point of the outline to neighbouring pixels.
TEST(CanvasPolygons, ConvexPolygonsAreSolidAndCoverWhatQtsFillAndOutlineCover)
{
    struct Case {
        const char* Name;
        std::vector<TPoint> Points;
    };
    std::vector<Case> cases;
    for (int w : {10, 30})
        for (char kind : {'/', '\\', '^'})
            cases.push_back({"tip", TipPolygon(kind, w)});
    cases.push_back({"triangle", {{1, 1}, {9, 3}, {2, 8}}});
    cases.push_back({"obtuse triangle", {{0, 0}, {31, 4}, {3, 2}}});
    cases.push_back({"triangle, other winding", {{2, 8}, {9, 3}, {1, 1}}});
    cases.push_back({"steep triangle", {{5, 0}, {7, 30}, {4, 29}}});
    cases.push_back({"thin sliver", {{0, 0}, {30, 9}, {30, 10}}});
    cases.push_back({"diamond", {{10, 0}, {20, 10}, {10, 20}, {0, 10}}});
    cases.push_back({"hexagon", {{5, 0}, {15, 0}, {20, 8}, {15, 16}, {5, 16}, {0, 8}}});
    cases.push_back({"off the left and top", {{-6, -4}, {14, 3}, {2, 18}}});
    cases.push_back({"collinear points", {{0, 0}, {10, 5}, {20, 10}}});
    cases.push_back({"one point", {{4, 4}, {4, 4}, {4, 4}}});
    cases.push_back({"horizontal line", {{1, 3}, {12, 3}, {6, 3}}});
    for (const Case& c : cases) {
        testing::Message trace;
        trace << c.Name << ":";
        for (const TPoint& p : c.Points)
            trace << " (" << p.X << ", " << p.Y << ")";
        SCOPED_TRACE(trace);
        const Cover fill = CoverOf(c.Points, false, false);
        const Cover ours = CoverOf(c.Points, true, false), qt = CoverOf(c.Points, true, true);
        for (int y = 0; y < int(ours.size()); ++y) {
            const std::string& row = ours[size_t(y)];
            const size_t first = row.find('#'), last = row.rfind('#');
            if (first != std::string::npos) {
                EXPECT_EQ(row.find('.', first), last + 1 == row.size() ? std::string::npos : last + 1)
                    << "row " << y << " is not one run: " << row;
            }
            for (int x = 0; x < int(row.size()); ++x) {
                EXPECT_TRUE(!Covered(fill, x, y) || Covered(qt, x, y)) << "only our fill takes " << x << "," << y;
                if (Covered(ours, x, y) == Covered(qt, x, y))
                    continue;
                // Where the two outlines round differently, the other one passes next to the pixel.
                const Cover& other = Covered(ours, x, y) ? qt : ours;
                bool near = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        near = near || Covered(other, x + dx, y + dy);
                EXPECT_TRUE(near) << x << "," << y << (Covered(ours, x, y) ? " only ours" : " only Qt's");
            }
        }
    }
}

// ---- Flood fill ------------------------------------------------------------------------------------

TEST(CanvasFloodFill, SurfaceAndBorderFillsStayInside)
{
    const Art ring{"......", ".####.", ".#..#.", ".#..#.", ".####.", "#....."};
    auto make = [&](TBitmap& b) {
        White(b, 6, 6);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 6; ++x)
                if (ring[size_t(y)][size_t(x)] == '#')
                    b.SetPixelColor(x, y, clBlack);
        b.Canvas().Brush.Color = clRed;
    };
    TBitmap b;
    make(b);
    b.Canvas().FloodFill(2, 2, clWhite, fsSurface);
    EXPECT_EQ(Picture(b), (Art{"......", ".####.", ".#rr#.", ".#rr#.", ".####.", "#....."}));
    make(b);
    b.Canvas().FloodFill(2, 2, clBlack, fsBorder);
    EXPECT_EQ(Picture(b), (Art{"......", ".####.", ".#rr#.", ".#rr#.", ".####.", "#....."}));
    make(b);
    b.Canvas().FloodFill(0, 0, clWhite, fsSurface); // the outside only
    EXPECT_EQ(Picture(b), (Art{"rrrrrr", "r####r", "r#..#r", "r#..#r", "r####r", "#rrrrr"}));
    make(b);
    b.Canvas().FloodFill(2, 2, clBlue, fsSurface); // the seed is not of that colour
    EXPECT_EQ(Picture(b), ring);
}

// ---- Blits ----------------------------------------------------------------------------------------

void Source2x2(TBitmap& s)
{
    s.SetSize(2, 2);
    s.SetPixelColor(0, 0, clRed);
    s.SetPixelColor(1, 0, clLime);
    s.SetPixelColor(0, 1, clBlue);
    s.SetPixelColor(1, 1, clBlack);
}

TEST(CanvasBlits, DrawPlacesAndClips)
{
    TBitmap s;
    Source2x2(s);
    TBitmap b;
    White(b, 3, 3);
    b.Canvas().Draw(-1, 1, s);
    EXPECT_EQ(Picture(b), (Art{"...", "g..", "#.."}));
    White(b, 3, 3);
    b.Canvas().Draw(2, 2, s);
    EXPECT_EQ(Picture(b), (Art{"...", "...", "..r"}));
}

TEST(CanvasBlits, StretchDrawIsNearestNeighbourAndMirrors)
{
    TBitmap s;
    Source2x2(s);
    TBitmap b;
    White(b, 4, 4);
    b.Canvas().StretchDraw(Rect(0, 0, 4, 4), s);
    EXPECT_EQ(Picture(b), (Art{"rrgg", "rrgg", "bb##", "bb##"}));
    White(b, 4, 2);
    b.Canvas().StretchDraw(Rect(4, 0, 0, 2), s);
    EXPECT_EQ(Picture(b), (Art{"ggrr", "##bb"}));
    White(b, 3, 1);
    b.Canvas().StretchDraw(Rect(0, 0, 3, 1), s); // 2 -> 3 columns: 0, 0, 1
    EXPECT_EQ(Picture(b), (Art{"rrg"}));
}

TEST(CanvasBlits, TransparentBitmapsLeaveTheirTransparentColourOut)
{
    TBitmap s;
    Source2x2(s);
    s.SetTransparent(true);
    s.SetTransparentColor(clLime);
    TBitmap b;
    White(b, 2, 2);
    b.Canvas().Draw(0, 0, s);
    EXPECT_EQ(Picture(b), (Art{"r.", "b#"}));
    s.SetTransparentColor(clDefault); // bottom-left: blue
    White(b, 4, 4);
    b.Canvas().StretchDraw(Rect(0, 0, 4, 4), s);
    EXPECT_EQ(Picture(b), (Art{"rrgg", "rrgg", "..##", "..##"}));
}

TEST(CanvasBlits, DrawConvertsBetweenFormats)
{
    TBitmap indexed(2, 1, pf8bit);
    indexed.SetPixelColor(0, 0, clRed);
    indexed.SetPixelColor(1, 0, clBlue);
    TBitmap b;
    White(b, 2, 1);
    b.Canvas().Draw(0, 0, indexed);
    EXPECT_EQ(Picture(b)[0], "rb");
    TBitmap target(2, 1, pf4bit);
    TBitmap near(2, 1);
    near.SetPixelColor(0, 0, RGB(250, 3, 3));
    near.SetPixelColor(1, 0, RGB(2, 250, 1));
    target.Canvas().Draw(0, 0, near);
    EXPECT_EQ(Picture(target)[0], "rg");
}

TEST(CanvasBlits, OverlappingCopiesWithinOneBitmap)
{
    TBitmap b;
    White(b, 6, 1);
    const TColor colours[] = {clRed, clLime, clBlue, clBlack, clWhite, clRed};
    for (int x = 0; x < 6; ++x)
        b.SetPixelColor(x, 0, colours[x]);
    b.Canvas().CopyRect(Rect(1, 0, 6, 1), b.Canvas(), Rect(0, 0, 5, 1));
    EXPECT_EQ(Picture(b)[0], "rrgb#.");
    b.Canvas().Draw(-1, 0, b);
    EXPECT_EQ(Picture(b)[0], "rgb#..");
}

TEST(CanvasBlits, OtherGraphicsDrawThroughTheirBitmap)
{
    TBitmap b;
    White(b, 3, 2);
    b.Canvas().StretchDraw(Rect(1, 0, 3, 2), TRenderedGraphic());
    EXPECT_EQ(Picture(b), (Art{".gb", ".gb"}));
}

// ---- Indexed bitmaps --------------------------------------------------------------------------------

TEST(CanvasIndexed, DrawingTakesTheNearestPaletteEntry)
{
    TBitmap b(5, 4, pf4bit);
    b.Canvas().Pen.Color = RGB(250, 5, 5);
    b.Canvas().Brush.Color = clBlue;
    b.Canvas().Rectangle(0, 0, 5, 4);
    EXPECT_EQ(Picture(b), (Art{"rrrrr", "rbbbr", "rbbbr", "rrrrr"}));
    EXPECT_EQ(b.ScanLine(0)[0] >> 4, 9); // red of the standard sixteen
    b.Canvas().SetPixel(2, 1, clLime);
    EXPECT_EQ(b.Canvas().Pixels(2, 1), clLime);
    EXPECT_EQ(b.Canvas().Pixels(9, 9), -1);
}

// ---- Text -----------------------------------------------------------------------------------------

struct InkCount {
    int Ink = 0, Background = 0, Other = 0, OutsideChanged = 0;
};
InkCount CountInk(const TBitmap& b, const TRect& Cell, TColor Ink, TColor Background)
{
    InkCount n;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const TColor c = b.GetPixel(x, y);
            if (!PtInRect(Cell, Point(x, y)))
                n.OutsideChanged += c != clWhite;
            else if (c == Ink)
                ++n.Ink;
            else if (c == Background)
                ++n.Background;
            else
                ++n.Other;
        }
    return n;
}

TEST(CanvasText, MetricsGrowWithTheText)
{
    TBitmap b(1, 1);
    const int w1 = b.Canvas().TextWidth("Hello"), w2 = b.Canvas().TextWidth("Hello world");
    EXPECT_GT(w1, 0);
    EXPECT_GT(w2, w1);
    EXPECT_GT(b.Canvas().TextHeight("Hg"), 5);
    b.Canvas().Font.Size = 20;
    EXPECT_GT(b.Canvas().TextWidth("Hello"), w1);
    EXPECT_EQ(b.Canvas().TextWidth(""), 0);
}

TEST(CanvasText, TextOutFillsItsCellWithTheBrushAndMovesThePen)
{
    for (TPixelFormat pf : {pf24bit, pf32bit, pf8bit}) {
        SCOPED_TRACE(BitsPerPixel(pf));
        TBitmap b;
    White(b, 120, 40, pf);
        TCanvas& c = b.Canvas();
        c.Font.Color = clBlack;
        c.Font.Size = 12;
        c.Brush.Color = clRed;
        const TRect cell = Bounds(10, 8, c.TextWidth("Canvello"), c.TextHeight("Canvello"));
        c.TextOut(10, 8, "Canvello");
        const InkCount n = CountInk(b, cell, clBlack, clRed);
        EXPECT_GT(n.Ink, 20);
        EXPECT_GT(n.Background, n.Ink);
        EXPECT_EQ(n.Other, 0); // no blended edges
        EXPECT_EQ(n.OutsideChanged, 0);
        EXPECT_EQ(c.PenPos, Point(10 + cell.Width(), 8));
    }
}

TEST(CanvasText, ClearBrushDrawsOnlyTheGlyphs)
{
    TBitmap b;
    White(b, 120, 40);
    TCanvas& c = b.Canvas();
    c.Font.Color = clBlue;
    c.Brush.Style = bsClear;
    const TRect cell = Bounds(5, 5, c.TextWidth("Text"), c.TextHeight("Text"));
    c.TextOut(5, 5, "Text");
    const InkCount n = CountInk(b, cell, clBlue, clWhite);
    EXPECT_GT(n.Ink, 10);
    EXPECT_EQ(n.Other, 0);
    EXPECT_EQ(n.OutsideChanged, 0);
}

TEST(CanvasText, TextRectClipsAndFillsTheWholeRectangle)
{
    TBitmap b;
    White(b, 120, 40);
    TCanvas& c = b.Canvas();
    c.Font.Color = clBlack;
    c.Font.Size = 14;
    c.Brush.Color = clLime;
    const TRect r = Rect(20, 5, 45, 30);
    c.TextRect(r, 10, 6, "WWWWWWWW");
    const InkCount n = CountInk(b, r, clBlack, clLime);
    EXPECT_GT(n.Ink, 10);
    EXPECT_GT(n.Background, 10);
    EXPECT_EQ(n.Ink + n.Background, r.Width() * r.Height());
    EXPECT_EQ(n.OutsideChanged, 0);
}

} // namespace
