#include "dialogs/SelectRectBMP.h"

#include "globals/CVGlobal.h"

#include <algorithm>
#include <cmath>

TSelectRectBitmap::TSelectRectBitmap(uint8_t AHandleSize) : HandleSize(AHandleSize)
{
    TSelectRectBitmap::CalcHandles();
}

void TSelectRectBitmap::SetShowSelection(bool Value)
{
    if (Value == FShowSelection)
        return;
    FShowSelection = Value;
    DrawSelection();
    DoChange(true);
}

void TSelectRectBitmap::CalcHandles()
{
    const int32_t cx = (SelRect.Left + SelRect.Right) / 2;
    const int32_t cy = (SelRect.Top + SelRect.Bottom) / 2;
    const int32_t a = HandleSize / 2 - 1;
    const int32_t b = HandleSize - HandleSize / 2;
    MidXStart = cx - a;
    MidXEnd = cx + b;
    MidYStart = cy - a;
    MidYEnd = cy + b;
    TopBandBottom = SelRect.Top + HandleSize;
    BottomBandTop = SelRect.Bottom - HandleSize;
    LeftBandRight = SelRect.Left + HandleSize;
    RightBandLeft = SelRect.Right - HandleSize;
}

void TSelectRectBitmap::DoChange(bool Redraw)
{
    if (OnChange)
        OnChange(this, Redraw);
}

int TSelectRectBitmap::HitTest(int X, int Y) const
{
    const TRect& r = SelRect;
    // The three handles of a top or bottom band row: left, middle, right.
    auto rowHit = [&](int Left, int Middle, int Right) -> int {
        if (X >= r.Left && X < LeftBandRight)
            return Left;
        if (X >= MidXStart && X < MidXEnd)
            return Middle;
        if (X >= RightBandLeft && X < r.Right)
            return Right;
        return shNone;
    };
    int hit = shNone;
    if (Y >= r.Top && Y < TopBandBottom)
        hit = rowHit(shTopLeft, shTopMiddle, shTopRight);
    else if (Y >= MidYStart && Y < MidYEnd)
        hit = rowHit(shMiddleLeft, shNone, shMiddleRight);
    else if (Y >= BottomBandTop && Y < r.Bottom)
        hit = rowHit(shBottomLeft, shBottomMiddle, shBottomRight);
    if (hit != shNone)
        return hit;
    if (X >= r.Left && X <= r.Right && Y >= r.Top && Y <= r.Bottom)
        return shInside;
    return shNone;
}

Qt::CursorShape TSelectRectBitmap::CursorForHit(int Hit, Qt::CursorShape Default)
{
    switch (Hit) {
    case shTopLeft:
    case shBottomRight:
        return Qt::SizeFDiagCursor;
    case shTopMiddle:
    case shBottomMiddle:
        return Qt::SizeVerCursor;
    case shTopRight:
    case shBottomLeft:
        return Qt::SizeBDiagCursor;
    case shMiddleLeft:
    case shMiddleRight:
        return Qt::SizeHorCursor;
    case shInside:
        return Qt::SizeAllCursor;
    default:
        return Default;
    }
}

Qt::CursorShape TSelectRectBitmap::CursorAt(int X, int Y, Qt::CursorShape Default) const
{
    return FShowSelection ? CursorForHit(HitTest(X, Y), Default) : Default;
}

void TSelectRectBitmap::DrawSelection()
{
    if (PixelFormat() != pf24bit || Width() <= 0 || Height() <= 0)
        return;
    const TRect& s = SelRect;
    const int32_t R = std::max(s.Right - 1, s.Left);
    const int32_t B = std::max(s.Bottom - 1, s.Top);
    const int32_t x0 = std::max(s.Left, 0);
    const int32_t x1 = std::min(R, Width() - 1);
    const int32_t y0 = std::max(s.Top, 0);
    const int32_t y1 = std::min(B, Height() - 1);
    if (x0 > x1 || y0 > y1)
        return;
    auto invert = [](TRGBTriple& p) {
        p.rgbtBlue = static_cast<uint8_t>(~p.rgbtBlue);
        p.rgbtGreen = static_cast<uint8_t>(~p.rgbtGreen);
        p.rgbtRed = static_cast<uint8_t>(~p.rgbtRed);
    };
    for (int32_t y = y0; y <= y1; ++y) {
        TRGBTriple* row = Row24(y);
        if (y == s.Top || y == B) {
            for (int32_t x = x0; x <= x1; ++x)
                invert(row[x]);
            continue;
        }
        const bool inEdgeBand = y < TopBandBottom || y > BottomBandTop;
        const bool inSideHandles = inEdgeBand || (y >= MidYStart && y <= MidYEnd);
        if (!inSideHandles) {
            // Only the two side columns (one when the rectangle is a single column wide).
            if (s.Left >= x0)
                invert(row[s.Left]);
            if (R != s.Left && R <= x1)
                invert(row[R]);
            continue;
        }
        // Each pixel decided once, so that the outline and the handles never cancel each other.
        for (int32_t x = x0; x <= x1; ++x) {
            bool on;
            if (x == s.Left || x == R)
                on = true;
            else if (x < LeftBandRight || x > RightBandLeft)
                on = true; // inSideHandles holds here
            else
                on = inEdgeBand && x >= MidXStart && x <= MidXEnd;
            if (on)
                invert(row[x]);
        }
    }
}

void TSelectRectBitmap::ChangeRect(const TRect& NewRect)
{
    if (NewRect == SelRect)
        return;
    if (FShowSelection)
        DrawSelection();
    SelRect = NewRect;
    CalcHandles();
    if (FShowSelection)
        DrawSelection();
    Changed = true;
    DoChange(FShowSelection);
}

void TSelectRectBitmap::MoveTo(int X, int Y)
{
    ChangeRect({X, Y, X + SelRect.Width(), Y + SelRect.Height()});
}

void TSelectRectBitmap::SetTop(int Y)
{
    TRect r = SelRect;
    r.Top = std::min(Y, r.Bottom);
    ChangeRect(r);
}

void TSelectRectBitmap::SetLeft(int X)
{
    TRect r = SelRect;
    r.Left = std::min(X, r.Right);
    ChangeRect(r);
}

void TSelectRectBitmap::SetTopLeft(int X, int Y)
{
    TRect r = SelRect;
    r.Left = std::min(X, r.Right);
    r.Top = std::min(Y, r.Bottom);
    ChangeRect(r);
}

void TSelectRectBitmap::SetTopRight(int X, int Y)
{
    TRect r = SelRect;
    r.Right = std::max(X, r.Left);
    r.Top = std::min(Y, r.Bottom);
    ChangeRect(r);
}

void TSelectRectBitmap::SetRight(int X)
{
    TRect r = SelRect;
    r.Right = std::max(X, r.Left);
    ChangeRect(r);
}

void TSelectRectBitmap::SetBottom(int Y)
{
    TRect r = SelRect;
    r.Bottom = std::max(Y, r.Top);
    ChangeRect(r);
}

void TSelectRectBitmap::SetBottomLeft(int X, int Y)
{
    TRect r = SelRect;
    r.Left = std::min(X, r.Right);
    r.Bottom = std::max(Y, r.Top);
    ChangeRect(r);
}

void TSelectRectBitmap::SetBottomRight(int X, int Y)
{
    TRect r = SelRect;
    r.Right = std::max(X, r.Left);
    r.Bottom = std::max(Y, r.Top);
    ChangeRect(r);
}

// ---- Print preview ------------------------------------------------------------------------------

void TPrintPreviewBitmap::SetRect(const TRect& R)
{
    SelRect = {std::min(R.Left, R.Right), std::min(R.Top, R.Bottom), std::max(R.Left, R.Right),
               std::max(R.Top, R.Bottom)};
    CalcHandles();
}

void TPrintPreviewBitmap::CalcHandles()
{
    TSelectRectBitmap::CalcHandles();
    SelWidth = SelRect.Width();
    SelHeight = SelRect.Height();
}

bool TPrintPreviewBitmap::AspectKept() const
{
    // A zero, negative or non-finite aspect would divide by zero: such a value keeps no aspect.
    return KeepAspect && std::isfinite(Aspect) && Aspect > 0.0;
}

void TPrintPreviewBitmap::MoveTo(int X, int Y)
{
    auto place = [](int V, int Min, int Max, int Side) {
        if (V < Min)
            return Min;
        if (V + Side < Max)
            return V;
        return std::max(Min, Max - Side);
    };
    TSelectRectBitmap::MoveTo(place(X, MinX, MaxX, SelWidth), place(Y, MinY, MaxY, SelHeight));
}

// With the aspect kept, every drag keeps the opposite corner fixed and derives the other side from
// the aspect; when that side would leave the area, it stops at the area's edge and the dragged side
// is derived back from it (the side derived back is never longer than before, so it stays inside).

void TPrintPreviewBitmap::SetTop(int Y)
{
    if (!AspectKept()) {
        TSelectRectBitmap::SetTop(std::max(Y, MinY));
        return;
    }
    const TRect& s = SelRect;
    int top = std::max(MinY, std::min(Y, s.Bottom));
    int w = RoundHalfUp((s.Bottom - top) * Aspect);
    int right = s.Left + w;
    if (right > MaxX) {
        w = MaxX - s.Left;
        right = MaxX;
        top = s.Bottom - RoundHalfUp(w / Aspect);
    }
    TSelectRectBitmap::SetTopRight(right, top);
}

void TPrintPreviewBitmap::SetLeft(int X)
{
    if (!AspectKept()) {
        TSelectRectBitmap::SetLeft(std::max(X, MinX));
        return;
    }
    const TRect& s = SelRect;
    int left = std::max(MinX, std::min(X, s.Right));
    int h = RoundHalfUp((s.Right - left) / Aspect);
    int top = s.Bottom - h;
    if (top < MinY) {
        h = s.Bottom - MinY;
        top = MinY;
        left = s.Right - RoundHalfUp(h * Aspect);
    }
    TSelectRectBitmap::SetTopLeft(left, top);
}

void TPrintPreviewBitmap::SetTopLeft(int X, int Y)
{
    if (AspectKept())
        SetLeft(X);
    else
        TSelectRectBitmap::SetTopLeft(std::max(X, MinX), std::max(Y, MinY));
}

void TPrintPreviewBitmap::SetTopRight(int X, int Y)
{
    if (AspectKept())
        SetTop(Y);
    else
        TSelectRectBitmap::SetTopRight(std::min(X, MaxX), std::max(Y, MinY));
}

void TPrintPreviewBitmap::SetRight(int X)
{
    if (!AspectKept()) {
        TSelectRectBitmap::SetRight(std::min(X, MaxX));
        return;
    }
    const TRect& s = SelRect;
    int right = std::min(MaxX, std::max(X, s.Left));
    int h = RoundHalfUp((right - s.Left) / Aspect);
    int top = s.Bottom - h;
    if (top < MinY) {
        h = s.Bottom - MinY;
        top = MinY;
        right = s.Left + RoundHalfUp(h * Aspect);
    }
    TSelectRectBitmap::SetTopRight(right, top);
}

void TPrintPreviewBitmap::SetBottom(int Y)
{
    if (!AspectKept()) {
        TSelectRectBitmap::SetBottom(std::min(Y, MaxY));
        return;
    }
    const TRect& s = SelRect;
    int bottom = std::min(MaxY, std::max(Y, s.Top));
    int w = RoundHalfUp((bottom - s.Top) * Aspect);
    int right = s.Left + w;
    if (right > MaxX) {
        w = MaxX - s.Left;
        right = MaxX;
        bottom = s.Top + RoundHalfUp(w / Aspect);
    }
    TSelectRectBitmap::SetBottomRight(right, bottom);
}

void TPrintPreviewBitmap::SetBottomLeft(int X, int Y)
{
    if (!AspectKept()) {
        TSelectRectBitmap::SetBottomLeft(std::max(X, MinX), std::min(Y, MaxY));
        return;
    }
    const TRect& s = SelRect;
    int bottom = std::min(MaxY, std::max(Y, s.Top));
    int w = RoundHalfUp((bottom - s.Top) * Aspect);
    int left = s.Right - w;
    if (left < MinX) {
        w = s.Right - MinX;
        left = MinX;
        bottom = s.Top + RoundHalfUp(w / Aspect);
    }
    TSelectRectBitmap::SetBottomLeft(left, bottom);
}

void TPrintPreviewBitmap::SetBottomRight(int X, int Y)
{
    if (AspectKept())
        SetBottom(Y);
    else
        TSelectRectBitmap::SetBottomRight(std::min(X, MaxX), std::min(Y, MaxY));
}
