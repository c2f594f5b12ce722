#include "image/PicSelection.h"

#include "image/BitmapUtils.h"
#include "image/SelectionClipboard.h"


#include <algorithm>
#include <cmath>
#include <cstring>

const char* const kSelectionCreateError = "There was an error creating selection. %s";
const char* const kNoTransparentColour = "Unable not find a suitable transparent colour";

namespace {
const char* const kInvalidParent = "Parent Bitmap is invalid";
const char* const kMaskError = "Error creating selection MaskArray";
} // namespace

// ---- Creation and state ----------------------------------------------------------------------------

TPictureSelection::TPictureSelection(TBitmap* ParentBitmap)
    : FParentBitmap(ParentBitmap), FPicture(std::make_unique<TEffectsBitmap>()),
      FOutline(std::make_unique<TPicSelectionPoints>())
{
    if (IsGraphicEmpty(ParentBitmap))
        throw EPicSelectionError(Format(kSelectionCreateError, kInvalidParent));
    FPicture->SetPixelFormat(pf24bit);
}

TPictureSelection::~TPictureSelection()
{
    ClearSelection();
    FParentBitmap = nullptr;
}

void TPictureSelection::Changed()
{
    // A copy: the handler may destroy the selection, and with it OnChange.
    if (const auto handler = OnChange)
        handler(this);
}

void TPictureSelection::ClearSelection()
{
    FPicture->SetSize(0, 0);
    FBounds.Right = FBounds.Left; // the bounds keep the picture's size
    FBounds.Bottom = FBounds.Top;
    FOutline->Clear();
    if (FMask)
        FMask->Clear();
    FAntsTimer.reset();
    FOutlineZoom = -1;
    Moving = false;
}

void TPictureSelection::Assign(const TPictureSelection* Source)
{
    if (!Source || Source == this)
        return;
    FIrregular = Source->FIrregular;
    FParentBitmap = Source->FParentBitmap;
    CopyBitmap(*Source->FPicture, *FPicture);
    FBounds = Source->FBounds;
    if (Source->FMask) {
        CreateMask();
        FMask->Assign(Source->FMask.get());
    } else {
        FreeMask();
    }
    FTransparent = Source->FTransparent;
    FTransparentColour = Source->FTransparentColour;
    FOutline->Assign(Source->FOutline.get());
    FOutlineZoom = Source->FOutlineZoom;
    FAntsPhase = Source->FAntsPhase;
    OnChange = Source->OnChange;
}

void TPictureSelection::SetPicture(TBitmap* Bitmap, TPoint TopLeft, TColor TransparentColour)
{
    if (!Bitmap)
        return;
    // Our own picture as the source: take it aside before it is cleared.
    TBitmap own;
    if (Bitmap == FPicture.get()) {
        CopyBitmap(*FPicture, own);
        Bitmap = &own;
    }
    ClearSelection();
    FIrregular = false;
    FPicture->AssignBitmap(*Bitmap);
    FBounds = ::Bounds(TopLeft.X, TopLeft.Y, FPicture->Width(), FPicture->Height());
    FTransparentColour = TransparentColour;
    FTransparent = TransparentColour >= 0;
    if (FTransparent) {
        CreateMask();
        TrimTransparentEdges();
        BuildMask();
    } else {
        FreeMask();
    }
}

bool TPictureSelection::CopyToClipboard()
{
    try {
        ISelectionClipboard* clipboard = SelectionClipboard();
        if (!clipboard || FPicture->Empty())
            return false;
        if (FMask && FPicture->PixelFormat() == pf24bit) {
            // The clipboard keeps a copy of its own.
            clipboard->CopyBitmap(*FPicture, FTransparentColour);
        } else if (FMask) {
            TBitmap copy;
            CopyBitmap(*FPicture, copy);
            copy.SetPixelFormat(pf24bit);
            clipboard->CopyBitmap(copy, FTransparentColour);
        } else {
            clipboard->CopyBitmapNoTag(*FPicture);
        }
        return true;
    } catch (...) {
        return false;
    }
}

void TPictureSelection::SetTransparentColour(TColor Colour)
{
    if (Colour == FTransparentColour)
        return;
    FTransparentColour = Colour;
    if (FMask)
        FillMaskedArea(FPicture.get(), FMask.get(), Colour);
}

void TPictureSelection::CreateMask()
{
    if (!FMask)
        FMask = std::make_unique<TBool2DArray>();
}

// ---- Placement -------------------------------------------------------------------------------------

void TPictureSelection::MoveTo(int32_t X, int32_t Y)
{
    if (X != FBounds.Left)
        FBounds = OffsetRect(FBounds, X - FBounds.Left, 0);
    if (Y != FBounds.Top)
        FBounds = OffsetRect(FBounds, 0, Y - FBounds.Top);
}

void TPictureSelection::MoveBy(int32_t DX, int32_t DY) { FBounds = OffsetRect(FBounds, DX, DY); }

bool TPictureSelection::PointInSelection(int32_t X, int32_t Y) const
{
    if (!PtInRect(FBounds, {X, Y}))
        return false;
    if (!FMask)
        return true;
    const int x = X - FBounds.Left, y = Y - FBounds.Top;
    const TBool2DArray& m = *FMask;
    if (!m.ValidIndex(x, y))
        return false;
    if (!m.Item(x, y))
        return true;
    if (FOutlineZoom >= 3)
        return false;
    // One pixel of grace around thin shapes at low zoom.
    return (x > 0 && !m.Item(x - 1, y)) || (y > 0 && !m.Item(x, y - 1)) || (x < m.Width - 1 && !m.Item(x + 1, y)) ||
           (y < m.Height - 1 && !m.Item(x, y + 1));
}

// ---- Drawing and pasting ---------------------------------------------------------------------------

void TPictureSelection::DrawOnto(TBitmap& Target, const TRect& Clip)
{
    TRect inside;
    if (!IntersectRect(inside, FBounds, Clip) || FPicture->Empty() || Target.Empty())
        return;
    // Only what lands on Target.
    const TRect targetArea = ::Bounds(Clip.Left, Clip.Top, Target.Width(), Target.Height());
    if (!IntersectRect(inside, inside, targetArea))
        return;
    CheckMaskCovers(FMask.get(), FPicture->Width(), FPicture->Height());
    if (Target.PixelFormat() != pf24bit)
        Target.SetPixelFormat(pf24bit);
    const int sx = inside.Left - FBounds.Left, dx = inside.Left - Clip.Left, w = inside.Width();
    for (int y = inside.Top; y < inside.Bottom; ++y) {
        const int sy = y - FBounds.Top;
        const TRGBTriple* src = FPicture->Row24(sy) + sx;
        TRGBTriple* dst = Target.Row24(y - Clip.Top) + dx;
        if (!FMask) {
            std::memcpy(dst, src, size_t(w) * sizeof(TRGBTriple));
            continue;
        }
        const bool* masked = FMask->Row(sy) + sx;
        for (int x = 0; x < w; ++x)
            if (!masked[x])
                dst[x] = src[x];
    }
}

void TPictureSelection::UpdateOutline(const TRect& R, int32_t Zoom)
{
    if (Zoom < 1)
        return;
    if (Zoom == FOutlineZoom) {
        FOutline->SetOrigin(R.TopLeft());
        return;
    }
    FOutlineZoom = Zoom;
    FOutline->Clear();
    if ((FIrregular || FTransparent) && FMask) {
        TraceMaskOutline(*FMask, Zoom, *FOutline);
        FOutline->SetOrigin(R.TopLeft());
    } else {
        FOutline->SetOrigin(R.TopLeft());
        FOutline->AddPolygon()->SetFromRect(R);
    }
}

void TPictureSelection::DrawOutline(TBitmap& Target, TPoint Origin, TRect R, int32_t Zoom)
{
    if (Zoom < 1)
        return;
    UpdateOutline(OffsetRect(R, -Origin.X, -Origin.Y), Zoom);
    FOutline->DrawDashes(Target, FAntsPhase);
}

void TPictureSelection::DrawOutline(QImage& Target, TPoint Origin, TRect R, int32_t Zoom)
{
    if (Zoom < 1)
        return;
    UpdateOutline(OffsetRect(R, -Origin.X, -Origin.Y), Zoom);
    FOutline->DrawDashes(Target, FAntsPhase);
}

void TPictureSelection::PasteInto(TBitmap* Target)
{
    if (!Target || Target->Width() <= FBounds.Left || Target->Height() <= FBounds.Top || FBounds.Right < 0 ||
        FBounds.Bottom < 0)
        return;
    if (FMask || Target->PixelFormat() == pf24bit)
        DrawMaskedBitmap(FPicture.get(), Target, FBounds.Left, FBounds.Top, FMask.get());
    else
        Target->Canvas().Draw(FBounds.Left, FBounds.Top, *FPicture);
}

// ---- Marching ants ---------------------------------------------------------------------------------

void TPictureSelection::StartMarchingAnts(bool Immediately)
{
    FAntsTimer.reset();
    FAntsTimer = CreateAntsTimer(kAntsInterval, [this] { AntsTick(); });
    if (Immediately) {
        const std::weak_ptr<int> alive = FAlive;
        AntsTick();
        if (alive.expired())
            return;
    }
    if (FAntsTimer) // the tick's handler may have stopped the ants
        FAntsTimer->SetEnabled(true);
}

void TPictureSelection::StopMarchingAnts() { FAntsTimer.reset(); }

void TPictureSelection::AntsTick()
{
    const std::weak_ptr<int> alive = FAlive;
    Changed();
    if (alive.expired()) // the change handler destroyed the selection
        return;
    FAntsPhase = (FAntsPhase + 1) % 6;
}

// ---- Effects ---------------------------------------------------------------------------------------

void TPictureSelection::AfterToneEffect()
{
    if (FMask)
        PickTransparentColour();
}

void TPictureSelection::GreyScale()
{
    FPicture->GreyScale(FMask.get());
    if (FMask)
        SetTransparentColour(clRed); // no grey pixel is pure red
}

void TPictureSelection::Negative()
{
    FPicture->Negative(nullptr);
    if (FMask)
        FTransparentColour = RGB(uint8_t(255 - RedOf(FTransparentColour)), uint8_t(255 - GreenOf(FTransparentColour)),
                                 uint8_t(255 - BlueOf(FTransparentColour)));
}

void TPictureSelection::Flip()
{
    FPicture->Flip();
    if (FMask)
        BuildMask();
    FOutlineZoom = -1;
}

void TPictureSelection::Mirror()
{
    FPicture->Mirror();
    if (FMask)
        BuildMask();
    FOutlineZoom = -1;
}

void TPictureSelection::Brighten(int Percent)
{
    if (Percent == 0)
        return;
    FPicture->Brighten(Percent, FMask.get());
    AfterToneEffect();
}

void TPictureSelection::GammaCorrect(double Gamma)
{
    if (Gamma == 1.0 || std::isnan(Gamma))
        return;
    FPicture->GammaCorrect(FMask.get(), Gamma);
    AfterToneEffect();
}

void TPictureSelection::Blur(double Radius)
{
    if (Radius == 0.0 || std::isnan(Radius))
        return;
    FPicture->Blur(FMask.get(), Radius);
    AfterToneEffect();
}

void TPictureSelection::AdjustRGB(int RedPercent, int GreenPercent, int BluePercent)
{
    if (RedPercent == 0 && GreenPercent == 0 && BluePercent == 0)
        return;
    FPicture->AdjustRGB(RedPercent, GreenPercent, BluePercent, FMask.get());
    AfterToneEffect();
}

void TPictureSelection::Rotate(int Degrees)
{
    if (Degrees <= 0)
        return;
    // The selection changes only once the picture has turned.
    const bool hadMask = FMask != nullptr;
    TColor colour = FTransparentColour;
    if (!hadMask && !FindUnusedColour(*FPicture, nullptr, colour))
        throw EPicSelectionError(kNoTransparentColour);
    FPicture->Rotate(Degrees, colour);
    if (!hadMask) {
        FIrregular = true;
        CreateMask();
        FTransparentColour = colour;
    }
    TrimTransparentEdges();
    BuildMask();
    FBounds.Right = FBounds.Left + FPicture->Width();
    FBounds.Bottom = FBounds.Top + FPicture->Height();
    FOutlineZoom = -1;
}

// ---- Mask, trim and hole -----------------------------------------------------------------------------

void TPictureSelection::PickTransparentColour()
{
    TColor colour;
    if (!FindUnusedColour(*FPicture, FMask.get(), colour))
        throw EPicSelectionError(kNoTransparentColour);
    SetTransparentColour(colour);
}

void TPictureSelection::BuildMask()
{
    if (FPicture->Empty())
        throw EPicSelectionError(kMaskError);
    CreateMask();
    const int W = FPicture->Width(), H = FPicture->Height();
    FMask->SetSize(W, H);
    const TRGBTriple key = ColorToTriple(FTransparentColour);
    for (int y = 0; y < H; ++y) {
        const TRGBTriple* row = FPicture->Row24(y);
        bool* masked = FMask->Row(y);
        for (int x = 0; x < W; ++x)
            masked[x] = SameTriple(row[x], key);
    }
}

void TPictureSelection::TrimTransparentEdges()
{
    if (FPicture->Empty())
        return;
    const int W = FPicture->Width(), H = FPicture->Height();
    const TRGBTriple key = ColorToTriple(FTransparentColour);
    int minX = W, maxX = -1, minY = -1, maxY = -1;
    for (int y = 0; y < H; ++y) {
        const TRGBTriple* row = FPicture->Row24(y);
        int first = 0;
        while (first < W && SameTriple(row[first], key))
            ++first;
        if (first == W)
            continue;
        int last = W - 1;
        while (SameTriple(row[last], key))
            --last;
        minX = std::min(minX, first);
        maxX = std::max(maxX, last);
        if (minY < 0)
            minY = y;
        maxY = y;
    }
    if (minY < 0 || minY >= maxY || minX >= maxX)
        return; // no content, or content in one row or one column
    if (minX < 1 && maxX >= W - 1 && minY < 1 && maxY >= H - 1)
        return; // content on all four edges
    TBitmap trimmed(maxX - minX + 1, maxY - minY + 1, pf24bit);
    for (int y = minY; y <= maxY; ++y)
        std::memcpy(trimmed.Row24(y - minY), FPicture->Row24(y) + minX, size_t(trimmed.Width()) * sizeof(TRGBTriple));
    CopyBitmap(trimmed, *FPicture);
    FBounds.Left += minX;
    FBounds.Top += minY;
    FBounds.Right = FBounds.Left + FPicture->Width();
    FBounds.Bottom = FBounds.Top + FPicture->Height();
}

void TPictureSelection::FillParentHole(TColor Colour)
{
    if (!FParentBitmap || FPicture->Empty())
        return;
    CheckMaskCovers(FMask.get(), FPicture->Width(), FPicture->Height());
    TBitmap& parent = *FParentBitmap;
    // Only the part of the selection that lies on the parent.
    TRect area;
    if (!IntersectRect(area, FBounds, Rect(0, 0, parent.Width(), parent.Height())))
        return;
    if (parent.PixelFormat() != pf24bit)
        parent.SetPixelFormat(pf24bit);
    const TRGBTriple colour = ColorToTriple(ColorToRGB(Colour));
    const int sx = area.Left - FBounds.Left;
    for (int y = area.Top; y < area.Bottom; ++y) {
        TRGBTriple* dst = parent.Row24(y) + area.Left;
        const bool* masked = FMask ? FMask->Row(y - FBounds.Top) + sx : nullptr;
        for (int x = 0; x < area.Width(); ++x)
            if (!masked || !masked[x])
                dst[x] = colour;
    }
}
