// The selection-rectangle bitmap: hit tests and cursors of the handles, edge-by-edge moves and
// resizes, the print preview's allowed area and kept aspect, and inverting drawing that restores.
#include "dialogs/SelectRectBMP.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Str(const TRect& r)
{
    return "(" + std::to_string(r.Left) + ", " + std::to_string(r.Top) + ", " + std::to_string(r.Right) +
           ", " + std::to_string(r.Bottom) + ")";
}

// A 24-bit bitmap of W x H with pixels that differ from their neighbours.
void FillNoise(TBitmap& Bmp, int W, int H)
{
    Bmp.SetPixelFormat(pf24bit);
    Bmp.SetSize(W, H);
    uint32_t seed = 12345;
    for (int y = 0; y < H; ++y) {
        TRGBTriple* row = Bmp.Row24(y);
        for (int x = 0; x < W; ++x) {
            seed = seed * 1103515245u + 12345u;
            row[x].rgbtBlue = uint8_t(seed >> 8);
            row[x].rgbtGreen = uint8_t(seed >> 16);
            row[x].rgbtRed = uint8_t(seed >> 24);
        }
    }
}

std::vector<uint8_t> Pixels(const TBitmap& Bmp)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < Bmp.Height(); ++y) {
        const uint8_t* row = Bmp.ScanLine(y);
        out.insert(out.end(), row, row + Bmp.Width() * 3);
    }
    return out;
}

// Whether pixel (X, Y) of Bmp is the complement of the same pixel in Before.
bool Inverted(const TBitmap& Bmp, const std::vector<uint8_t>& Before, int X, int Y)
{
    const size_t i = (size_t(Y) * Bmp.Width() + X) * 3;
    const TRGBTriple& p = Bmp.Row24(Y)[X];
    return p.rgbtBlue == uint8_t(~Before[i]) && p.rgbtGreen == uint8_t(~Before[i + 1]) &&
           p.rgbtRed == uint8_t(~Before[i + 2]);
}

// Rectangle (20, 10, 80, 60) with 7-pixel handles: middles at x [48, 54), y [33, 39); bands
// top [10, 17), bottom [53, 60), left [20, 27), right [73, 80).
constexpr TRect kRect{20, 10, 80, 60};

struct HitCase {
    int X, Y, Hit;
    Qt::CursorShape Cursor;
};

TEST(SelectRectBitmap, HitTestAndCursorOfEveryHandleAndTheBody)
{
    TSelectRectBitmap bmp(7);
    bmp.SelRect = kRect;
    bmp.CalcHandles();
    EXPECT_EQ(bmp.MidXStart, 48);
    EXPECT_EQ(bmp.MidXEnd, 54);
    EXPECT_EQ(bmp.MidYStart, 33);
    EXPECT_EQ(bmp.MidYEnd, 39);

    const Qt::CursorShape def = Qt::CrossCursor;
    const HitCase cases[] = {
        {20, 10, shTopLeft, Qt::SizeFDiagCursor},     {26, 16, shTopLeft, Qt::SizeFDiagCursor},
        {27, 10, shInside, Qt::SizeAllCursor},        {47, 12, shInside, Qt::SizeAllCursor},
        {48, 10, shTopMiddle, Qt::SizeVerCursor},     {53, 16, shTopMiddle, Qt::SizeVerCursor},
        {54, 10, shInside, Qt::SizeAllCursor},        {73, 10, shTopRight, Qt::SizeBDiagCursor},
        {79, 16, shTopRight, Qt::SizeBDiagCursor},    {20, 33, shMiddleLeft, Qt::SizeHorCursor},
        {26, 38, shMiddleLeft, Qt::SizeHorCursor},    {20, 32, shInside, Qt::SizeAllCursor},
        {20, 39, shInside, Qt::SizeAllCursor},        {73, 33, shMiddleRight, Qt::SizeHorCursor},
        {79, 38, shMiddleRight, Qt::SizeHorCursor},   {50, 35, shInside, Qt::SizeAllCursor},
        {20, 53, shBottomLeft, Qt::SizeBDiagCursor},  {26, 59, shBottomLeft, Qt::SizeBDiagCursor},
        {48, 59, shBottomMiddle, Qt::SizeVerCursor},  {53, 53, shBottomMiddle, Qt::SizeVerCursor},
        {73, 53, shBottomRight, Qt::SizeFDiagCursor}, {79, 59, shBottomRight, Qt::SizeFDiagCursor},
        // The outer right column and bottom row are inside but outside the half-open bands.
        {80, 10, shInside, Qt::SizeAllCursor},        {80, 35, shInside, Qt::SizeAllCursor},
        {50, 60, shInside, Qt::SizeAllCursor},        {80, 60, shInside, Qt::SizeAllCursor},
        {81, 35, shNone, def},                        {19, 35, shNone, def},
        {50, 9, shNone, def},                         {50, 61, shNone, def},
    };
    for (const HitCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.X << ", " << c.Y);
        EXPECT_EQ(bmp.HitTest(c.X, c.Y), c.Hit);
        EXPECT_EQ(bmp.IsInside(c.X, c.Y), c.Hit == shInside);
        EXPECT_EQ(TSelectRectBitmap::CursorForHit(c.Hit, def), c.Cursor);
        // Hidden, every point has the default cursor.
        EXPECT_EQ(bmp.CursorAt(c.X, c.Y, def), def);
    }
    FillNoise(bmp, 100, 80);
    bmp.SetShowSelection(true);
    for (const HitCase& c : cases)
        EXPECT_EQ(bmp.CursorAt(c.X, c.Y, def), c.Cursor) << "at " << c.X << ", " << c.Y;
    EXPECT_EQ(TSelectRectBitmap::CursorForHit(10, def), def);
    EXPECT_EQ(TSelectRectBitmap::CursorForHit(-1, def), def);
}

enum Op { opMove, opTop, opLeft, opTopLeft, opTopRight, opRight, opBottom, opBottomLeft, opBottomRight };

void Apply(TSelectRectBitmap& Bmp, Op O, int X, int Y)
{
    switch (O) {
    case opMove: Bmp.MoveTo(X, Y); break;
    case opTop: Bmp.SetTop(Y); break;
    case opLeft: Bmp.SetLeft(X); break;
    case opTopLeft: Bmp.SetTopLeft(X, Y); break;
    case opTopRight: Bmp.SetTopRight(X, Y); break;
    case opRight: Bmp.SetRight(X); break;
    case opBottom: Bmp.SetBottom(Y); break;
    case opBottomLeft: Bmp.SetBottomLeft(X, Y); break;
    case opBottomRight: Bmp.SetBottomRight(X, Y); break;
    }
}

struct MoveCase {
    Op O;
    int X, Y;
    TRect Expected;
};

// Runs each case from kRect on Bmp, checking the result, Changed and the change event.
void RunMoves(TSelectRectBitmap& Bmp, const std::vector<MoveCase>& Cases, bool SetRect)
{
    for (size_t i = 0; i < Cases.size(); ++i) {
        const MoveCase& c = Cases[i];
        SCOPED_TRACE(testing::Message() << "case " << i << " -> " << Str(c.Expected));
        if (SetRect)
            static_cast<TPrintPreviewBitmap&>(Bmp).SetRect(kRect);
        else {
            Bmp.SelRect = kRect;
            Bmp.CalcHandles();
        }
        Bmp.Changed = false;
        int events = 0;
        Bmp.OnChange = [&](TSelectRectBitmap* Sender, bool Redraw) {
            EXPECT_EQ(Sender, &Bmp);
            EXPECT_FALSE(Redraw); // hidden selection: nothing redrawn
            ++events;
        };
        Apply(Bmp, c.O, c.X, c.Y);
        EXPECT_EQ(Bmp.SelRect, c.Expected);
        const bool changed = !(c.Expected == kRect);
        EXPECT_EQ(Bmp.Changed, changed);
        EXPECT_EQ(events, changed ? 1 : 0);
        // The handles follow the rectangle.
        EXPECT_EQ(Bmp.TopBandBottom, c.Expected.Top + 7);
        EXPECT_EQ(Bmp.RightBandLeft, c.Expected.Right - 7);
        Bmp.OnChange = nullptr;
    }
}

TEST(SelectRectBitmap, MovesAndResizesEdgeByEdgeAndStaysOrdered)
{
    TSelectRectBitmap bmp(7);
    RunMoves(bmp,
             {
                 {opMove, 5, 7, {5, 7, 65, 57}},
                 {opMove, -30, 200, {-30, 200, 30, 250}},
                 {opMove, 20, 10, kRect},
                 {opTop, 0, 0, {20, 0, 80, 60}},
                 {opTop, 0, 70, {20, 60, 80, 60}},
                 {opTop, 0, 10, kRect},
                 {opLeft, 30, 0, {30, 10, 80, 60}},
                 {opLeft, 90, 0, {80, 10, 80, 60}}, // past the right edge: zero width there
                 {opRight, 10, 0, {20, 10, 20, 60}},
                 {opRight, 95, 0, {20, 10, 95, 60}},
                 {opBottom, 0, 0, {20, 10, 80, 10}},
                 {opBottom, 0, 70, {20, 10, 80, 70}},
                 {opTopLeft, 30, 20, {30, 20, 80, 60}},
                 {opTopLeft, 99, 99, {80, 60, 80, 60}},
                 {opTopRight, 90, 5, {20, 5, 90, 60}},
                 {opTopRight, 0, 99, {20, 60, 20, 60}},
                 {opBottomLeft, 0, 70, {0, 10, 80, 70}},
                 {opBottomLeft, 99, 0, {80, 10, 80, 10}},
                 {opBottomRight, 90, 70, {20, 10, 90, 70}},
                 {opBottomRight, 0, 0, {20, 10, 20, 10}},
             },
             false);
}

TEST(PrintPreviewBitmap, SetRectOrdersWithoutDrawingOrEvents)
{
    TPrintPreviewBitmap bmp(7);
    FillNoise(bmp, 100, 80);
    const auto before = Pixels(bmp);
    int events = 0;
    bmp.OnChange = [&](TSelectRectBitmap*, bool) { ++events; };
    bmp.SetRect({80, 60, 20, 10});
    EXPECT_EQ(bmp.SelRect, kRect);
    EXPECT_EQ(bmp.SelWidth, 60);
    EXPECT_EQ(bmp.SelHeight, 50);
    EXPECT_EQ(bmp.MidXStart, 48);
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(bmp.Changed);
    EXPECT_EQ(Pixels(bmp), before);
}

// Allowed area (10, 5) - (90, 75) around kRect.
void SetArea(TPrintPreviewBitmap& Bmp)
{
    Bmp.MinX = 10;
    Bmp.MinY = 5;
    Bmp.MaxX = 90;
    Bmp.MaxY = 75;
}

TEST(PrintPreviewBitmap, EveryEdgeStopsAtTheAllowedArea)
{
    TPrintPreviewBitmap bmp(7);
    SetArea(bmp);
    RunMoves(bmp,
             {
                 {opMove, 0, 0, {10, 5, 70, 55}},
                 {opMove, 50, 40, {30, 25, 90, 75}}, // right and bottom at the limits, size kept
                 {opMove, 25, 15, {25, 15, 85, 65}},
                 {opTop, 0, 0, {20, 5, 80, 60}},
                 {opTop, 0, 30, {20, 30, 80, 60}},
                 {opLeft, 0, 0, {10, 10, 80, 60}},
                 {opRight, 99, 0, {20, 10, 90, 60}},
                 {opBottom, 0, 99, {20, 10, 80, 75}},
                 {opTopLeft, 0, 0, {10, 5, 80, 60}},
                 {opTopRight, 99, 0, {20, 5, 90, 60}},
                 {opBottomLeft, 0, 99, {10, 10, 80, 75}},
                 {opBottomRight, 99, 99, {20, 10, 90, 75}},
                 {opLeft, 90, 0, {80, 10, 80, 60}},
             },
             true);
}

TEST(PrintPreviewBitmap, KeptAspectFixesTheOppositeCornerAndStopsAtTheArea)
{
    TPrintPreviewBitmap bmp(7);
    SetArea(bmp);
    bmp.KeepAspect = true;
    bmp.Aspect = 1.2; // 60 / 50
    RunMoves(bmp,
             {
                 {opTop, 0, 0, {20, 5, 86, 60}},
                 {opTop, 0, 20, {20, 20, 68, 60}},
                 {opTopRight, 0, 20, {20, 20, 68, 60}}, // the top edge alone
                 {opLeft, 0, 0, {14, 5, 80, 60}},       // the top would pass MinY
                 {opLeft, 50, 0, {50, 35, 80, 60}},
                 {opTopLeft, 50, 0, {50, 35, 80, 60}}, // the left edge alone
                 {opRight, 99, 0, {20, 5, 86, 60}},
                 {opRight, 56, 0, {20, 30, 56, 60}},
                 {opBottom, 0, 99, {20, 10, 90, 68}}, // the right side would pass MaxX
                 {opBottom, 0, 40, {20, 10, 56, 40}},
                 {opBottomRight, 0, 40, {20, 10, 56, 40}}, // the bottom edge alone
                 {opBottomLeft, 0, 99, {10, 10, 80, 68}},  // the left side would pass MinX
                 {opBottomLeft, 0, 40, {44, 10, 80, 40}},
                 {opMove, 50, 40, {30, 25, 90, 75}},
             },
             true);

    // A top edge that would push the right side past MaxX stops where the right side reaches it.
    bmp.SetRect({30, 20, 80, 60});
    bmp.Aspect = 1.25;
    bmp.SetTop(0);
    EXPECT_EQ(bmp.SelRect, (TRect{30, 12, 90, 60}));
}

// Every handle dragged across and beyond the area, step after step as a mouse drag does, keeps the
// rectangle inside the area and, with the aspect kept, its aspect to within the rounding of a side.
TEST(PrintPreviewBitmap, DragsOfEveryHandleStayInsideAndKeepTheAspect)
{
    struct Start {
        double Aspect;
        TRect R;
    };
    const Start starts[] = {
        {1.2, kRect}, {1.0, {30, 20, 70, 60}}, {20.0, {15, 30, 75, 33}}, {0.05, {40, 8, 43, 68}},
        {1.0 / 3.0, {20, 10, 40, 70}},
    };
    const Op ops[] = {opTopLeft, opTop,    opTopRight,   opLeft,       opRight,
                      opBottomLeft, opBottom, opBottomRight, opMove};
    for (bool keep : {false, true})
        for (const Start& s : starts)
            for (Op o : ops) {
                TPrintPreviewBitmap bmp(7);
                FillNoise(bmp, 100, 80);
                const auto before = Pixels(bmp);
                SetArea(bmp);
                bmp.KeepAspect = keep;
                bmp.Aspect = s.Aspect;
                bmp.SetRect(s.R);
                bmp.SetShowSelection(true);
                // Out past each side and back again.
                std::vector<std::pair<int, int>> path;
                for (int t = 0; t <= 40; ++t)
                    path.push_back({50 - 3 * t, 40 - 3 * t});
                for (int t = 0; t <= 60; ++t)
                    path.push_back({-70 + 4 * t, -80 + 3 * t});
                for (int t = 0; t <= 40; ++t)
                    path.push_back({170 - 5 * t, 100 - 4 * t});
                for (auto [x, y] : path) {
                    Apply(bmp, o, x, y);
                    const TRect& r = bmp.SelRect;
                    SCOPED_TRACE(testing::Message() << "keep " << keep << " aspect " << s.Aspect
                                                    << " op " << o << " to " << x << ", " << y
                                                    << " rect " << Str(r));
                    ASSERT_GE(r.Left, bmp.MinX);
                    ASSERT_GE(r.Top, bmp.MinY);
                    ASSERT_LE(r.Right, bmp.MaxX);
                    ASSERT_LE(r.Bottom, bmp.MaxY);
                    ASSERT_LE(r.Left, r.Right);
                    ASSERT_LE(r.Top, r.Bottom);
                    ASSERT_EQ(bmp.SelWidth, r.Width());
                    ASSERT_EQ(bmp.SelHeight, r.Height());
                    if (keep && o != opMove) {
                        const double off = std::fabs(r.Width() - r.Height() * s.Aspect);
                        ASSERT_LE(off, 0.5 * std::max(1.0, s.Aspect) + 1e-9);
                    }
                    if (o == opMove) {
                        ASSERT_EQ(r.Width(), s.R.Width());
                        ASSERT_EQ(r.Height(), s.R.Height());
                    }
                }
                // Drawn while dragging: hiding it restores every pixel.
                bmp.SetShowSelection(false);
                ASSERT_EQ(Pixels(bmp), before) << "keep " << keep << " op " << o;
            }
}

TEST(PrintPreviewBitmap, ANonPositiveAspectKeepsNoneInsteadOfDividingByZero)
{
    for (double aspect : {0.0, -1.0, std::nan("")}) {
        TPrintPreviewBitmap bmp(7);
        SetArea(bmp);
        bmp.KeepAspect = true;
        bmp.Aspect = aspect;
        bmp.SetRect(kRect);
        bmp.SetLeft(0);
        EXPECT_EQ(bmp.SelRect, (TRect{10, 10, 80, 60})) << aspect;
        bmp.SetBottom(99);
        EXPECT_EQ(bmp.SelRect, (TRect{10, 10, 80, 75})) << aspect;
    }
}

TEST(SelectRectBitmap, DrawsOutlineAndHandleSquaresByInverting)
{
    TSelectRectBitmap bmp(7);
    FillNoise(bmp, 100, 80);
    const auto before = Pixels(bmp);
    bmp.SelRect = kRect;
    bmp.CalcHandles();
    std::vector<bool> redraws;
    bmp.OnChange = [&](TSelectRectBitmap*, bool Redraw) { redraws.push_back(Redraw); };
    bmp.SetShowSelection(true);
    bmp.SetShowSelection(true); // no change: nothing drawn again
    EXPECT_EQ(redraws, std::vector<bool>{true});

    struct P {
        int X, Y;
        bool On;
    };
    const P pts[] = {
        {20, 10, true},  {50, 10, true},  {79, 10, true},  {80, 10, false}, // top row to Right - 1
        {20, 59, true},  {79, 59, true},  {50, 60, false},                  // bottom row is Bottom - 1
        {20, 40, true},  {79, 40, true},  {21, 40, false}, {78, 40, false}, // side columns
        {26, 16, true},  {27, 16, false}, {23, 13, true},                   // top-left square
        {48, 13, true},  {54, 16, true},  {47, 13, false}, {55, 13, false}, // top-middle square
        {74, 13, true},  {73, 13, false},                                   // top-right square
        {23, 33, true},  {26, 39, true},  {23, 32, false}, {23, 40, false}, // middle-left square
        {74, 36, true},  {50, 36, false},                                   // middle-right, body
        {23, 54, true},  {23, 53, false}, {50, 56, true},  {74, 56, true},  // bottom squares
        {50, 30, false}, {10, 10, false}, {90, 70, false},
    };
    for (const P& p : pts)
        EXPECT_EQ(Inverted(bmp, before, p.X, p.Y), p.On) << "at " << p.X << ", " << p.Y;
    // Nothing outside the rectangle changed.
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 100; ++x)
            if (x < 20 || x >= 80 || y < 10 || y >= 60) {
                ASSERT_FALSE(Inverted(bmp, before, x, y)) << x << ", " << y;
            }
    bmp.SetShowSelection(false);
    EXPECT_EQ(Pixels(bmp), before);
    EXPECT_EQ(redraws, (std::vector<bool>{true, true}));
}

TEST(SelectRectBitmap, DrawingTwiceRestoresEveryPixel)
{
    // Rectangles of every shape: clipped by each side, thinner than the handles, one pixel wide or
    // high, a single pixel, empty, the unset (-1, -1, -1, -1) and entirely outside.
    const TRect rects[] = {
        kRect,           {-20, -15, 50, 40}, {60, 50, 130, 110}, {-10, 20, 120, 30}, {0, 0, 100, 80},
        {30, 30, 35, 34}, {40, 10, 41, 60},  {10, 40, 90, 41},   {50, 50, 51, 51},   {50, 50, 50, 50},
        {-1, -1, -1, -1}, {200, 200, 260, 250}, {-60, -60, -5, -5}, {3, 3, 17, 17},
    };
    for (int hs : {7, 1, 2, 8, 0}) {
        for (const TRect& r : rects) {
            TSelectRectBitmap bmp(static_cast<uint8_t>(hs));
            FillNoise(bmp, 100, 80);
            const auto before = Pixels(bmp);
            bmp.SelRect = r;
            bmp.CalcHandles();
            bmp.DrawSelection();
            // A visible one-pixel-or-more rectangle always inverts its top-left corner.
            if (r.Left >= 0 && r.Top >= 0 && r.Left < 100 && r.Top < 80) {
                EXPECT_TRUE(Inverted(bmp, before, r.Left, r.Top)) << hs << " " << Str(r);
            }
            bmp.DrawSelection();
            EXPECT_EQ(Pixels(bmp), before) << "handles " << hs << " rect " << Str(r);
        }
    }

    // Moves and resizes while shown remove the old drawing before drawing the new one.
    TSelectRectBitmap bmp(7);
    FillNoise(bmp, 100, 80);
    const auto before = Pixels(bmp);
    bmp.SelRect = kRect;
    bmp.CalcHandles();
    bmp.SetShowSelection(true);
    std::vector<bool> redraws;
    bmp.OnChange = [&](TSelectRectBitmap*, bool Redraw) { redraws.push_back(Redraw); };
    bmp.MoveTo(-10, 35);
    bmp.SetBottomRight(95, 90);
    bmp.SetTopLeft(40, 20);
    bmp.SetLeft(200);
    EXPECT_EQ(redraws, std::vector<bool>(4, true));
    bmp.SetShowSelection(false);
    EXPECT_EQ(Pixels(bmp), before);
}

TEST(SelectRectBitmap, LeavesBitmapsThatAreNot24BitAlone)
{
    for (TPixelFormat pf : {pf8bit, pf32bit, pf1bit}) {
        TSelectRectBitmap bmp(7);
        bmp.SetPixelFormat(pf);
        bmp.SetSize(100, 80);
        std::vector<uint8_t> before(bmp.Bits(), bmp.Bits() + size_t(bmp.RowBytes()) * 80);
        bmp.SelRect = kRect;
        bmp.CalcHandles();
        bmp.SetShowSelection(true);
        EXPECT_TRUE(bmp.ShowSelection());
        EXPECT_EQ(0, std::memcmp(before.data(), bmp.Bits(), before.size())) << pf;
    }
}

} // namespace
