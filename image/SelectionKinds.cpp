#include "image/SelectionKinds.h"

#include "image/BitmapUtils.h"
#include "image/KTGenUtils.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const char* const kInvalidRect = "Invalid selection rectangle.";
const char* const kInvalidPoints = "Invalid selection points.";
const char* const kNoFreehandColour = "Unable to find transparent colour.";
const char* const kInvalidPicture = "Picture is invalid";
const char* const kInvalidStart = "Invalid MagicWand start point.";
const char* const kWandError = "MagicWand Error.";
const char* const kInvalidSelection = "Invalid Picture Selection";

// Runs the work of a kind's constructor; any failure comes out inside the creation error.
template <typename TWork> void Creating(TWork&& Work)
{
    try {
        Work();
    } catch (const Exception& e) {
        throw EPicSelectionError(Format(kSelectionCreateError, e.Message));
    } catch (const std::exception& e) {
        throw EPicSelectionError(Format(kSelectionCreateError, e.what()));
    }
}

// The parent's pixels as 24-bit rows: the parent itself, or a converted copy of another format
// until the parent is about to be written.
class TParentRows {
public:
    explicit TParentRows(TBitmap& Parent) : FParent(Parent), FRows(&Parent)
    {
        if (Parent.PixelFormat() != pf24bit) {
            CopyBitmap(Parent, FCopy);
            FCopy.SetPixelFormat(pf24bit);
            FRows = &FCopy;
        }
    }
    TBitmap& Rows() { return *FRows; }
    // The parent itself, switched to 24 bits.
    TBitmap& Writable()
    {
        if (FRows != &FParent) {
            FParent.SetPixelFormat(pf24bit);
            FRows = &FParent;
            FCopy.SetSize(0, 0);
        }
        return FParent;
    }

private:
    TBitmap& FParent;
    TBitmap* FRows;
    TBitmap FCopy;
};

// The pixel bytes of a hole colour (system colours resolved).
TRGBTriple HoleTriple(TColor Colour) { return ColorToTriple(ColorToRGB(Colour)); }

void CopyRows(TBitmap& Source, const TRect& R, TBitmap& Dest)
{
    Dest.SetSize(0, 0);
    Dest.SetPixelFormat(pf24bit);
    Dest.SetSize(R.Width(), R.Height());
    for (int y = R.Top; y < R.Bottom; ++y)
        std::memcpy(Dest.Row24(y - R.Top), Source.Row24(y) + R.Left, size_t(R.Width()) * sizeof(TRGBTriple));
}

} // namespace

// ---- Rectangle ---------------------------------------------------------------------------------------

std::unique_ptr<TRectPictureSelection> TRectPictureSelection::CreateSelection(TBitmap* ParentBitmap, TRect Rect,
                                                                              TColor BackgroundColour,
                                                                              TColor TransparentColour)
{
    return std::unique_ptr<TRectPictureSelection>(
        new TRectPictureSelection(ParentBitmap, Rect, BackgroundColour, TransparentColour));
}

TRectPictureSelection::TRectPictureSelection(TBitmap* ParentBitmap, TRect R, TColor BackgroundColour,
                                             TColor TransparentColour)
    : TPictureSelection(ParentBitmap)
{
    Creating([&] {
        FIrregular = false;
        FTransparentColour = TransparentColour;
        if (TransparentColour >= 0) {
            FTransparent = true;
            CreateMask();
        }
        TBitmap& parent = *FParentBitmap;
        NormalizeRect(R);
        R.Left = ClampValue(R.Left, 0, parent.Width());
        R.Right = ClampValue(R.Right, 0, parent.Width());
        R.Top = ClampValue(R.Top, 0, parent.Height());
        R.Bottom = ClampValue(R.Bottom, 0, parent.Height());
        if (R.Left == R.Right || R.Top == R.Bottom)
            throw EPicSelectionError(kInvalidRect);
        FBounds = R;
        TParentRows rows(parent);
        CopyRows(rows.Rows(), R, *FPicture);
        if (TransparentColour < 0) {
            TCanvas& canvas = parent.Canvas();
            const TBrush brush = canvas.Brush;
            canvas.Brush.Color = BackgroundColour;
            canvas.Brush.Style = bsSolid;
            canvas.FillRect(R);
            canvas.Brush = brush;
        } else {
            TrimTransparentEdges();
            BuildMask();
            FillParentHole(BackgroundColour);
        }
    });
}

// ---- Freehand ----------------------------------------------------------------------------------------

std::unique_ptr<TFreehandPictureSelection> TFreehandPictureSelection::CreateSelection(TBitmap* ParentBitmap,
                                                                                      TFreehandPoints& Points,
                                                                                      TColor BackgroundColour,
                                                                                      TColor TransparentColour)
{
    return std::unique_ptr<TFreehandPictureSelection>(
        new TFreehandPictureSelection(ParentBitmap, Points, BackgroundColour, TransparentColour));
}

TFreehandPictureSelection::TFreehandPictureSelection(TBitmap* ParentBitmap, TFreehandPoints& Points,
                                                     TColor BackgroundColour, TColor TransparentColour)
    : TPictureSelection(ParentBitmap)
{
    Creating([&] {
        FIrregular = true;
        FTransparentColour = TransparentColour;
        CreateMask();
        FTransparent = TransparentColour >= 0;
        if (Points.Count() == 0)
            throw EPicSelectionError(kInvalidPoints);
        TBitmap& parent = *FParentBitmap;
        // The greatest X and Y become the exclusive right and bottom: the polygon fill leaves out
        // its right and bottom boundary.
        TRect b;
        Points.GetBounds(b);
        b.Left = std::max(b.Left, 0);
        b.Top = std::max(b.Top, 0);
        b.Right = std::min(b.Right, parent.Width());
        b.Bottom = std::min(b.Bottom, parent.Height());
        if (b.Right <= b.Left || b.Bottom <= b.Top) // no area, or wholly off the picture
            throw EPicSelectionError(kInvalidPoints);
        FBounds = b;
        TParentRows rows(parent);
        if (TransparentColour < 0) {
            TColor unused;
            if (!FindUnusedColourInRect(rows.Rows(), b, unused))
                throw EPicSelectionError(kNoFreehandColour);
            FTransparentColour = unused;
        }
        const TRGBTriple key = ColorToTriple(FTransparentColour);
        const TColor fillColour = SameTriple(key, ColorToTriple(clBlack)) ? clWhite : clBlack;
        const TRGBTriple fill = ColorToTriple(fillColour);
        const int W = b.Width(), H = b.Height();
        FPicture->SetSize(0, 0);
        FPicture->SetPixelFormat(pf24bit);
        FPicture->SetSize(W, H);
        for (int y = 0; y < H; ++y)
            std::fill_n(FPicture->Row24(y), W, key);
        Points.Offset(-b.Left, -b.Top);
        TCanvas& canvas = FPicture->Canvas();
        canvas.Pen.Style = psClear;
        canvas.Brush.Color = fillColour;
        canvas.Brush.Style = bsSolid;
        canvas.Polygon(Points.Points());
        canvas.Pen.Style = psSolid;
        TBitmap& source = rows.Rows();
        for (int y = 0; y < H; ++y) {
            TRGBTriple* row = FPicture->Row24(y);
            const TRGBTriple* from = source.Row24(b.Top + y) + b.Left;
            for (int x = 0; x < W; ++x)
                if (SameTriple(row[x], fill))
                    row[x] = from[x];
        }
        TrimTransparentEdges();
        BuildMask();
        rows.Writable();
        FillParentHole(BackgroundColour);
    });
}

// ---- Pasted picture ----------------------------------------------------------------------------------

std::unique_ptr<TBitmapPictureSelection> TBitmapPictureSelection::CreateSelection(TBitmap* ParentBitmap,
                                                                                  TBitmap* Picture, TPoint TopLeft,
                                                                                  TColor TransparentColour)
{
    return std::unique_ptr<TBitmapPictureSelection>(
        new TBitmapPictureSelection(ParentBitmap, Picture, TopLeft, TransparentColour));
}

TBitmapPictureSelection::TBitmapPictureSelection(TBitmap* ParentBitmap, TBitmap* Picture, TPoint TopLeft,
                                                 TColor TransparentColour)
    : TPictureSelection(ParentBitmap)
{
    Creating([&] {
        if (!Picture)
            throw EPicSelectionError(kInvalidPicture);
        FIrregular = false;
        FTransparentColour = TransparentColour;
        if (TransparentColour >= 0) {
            FTransparent = true;
            CreateMask();
        }
        FPicture->AssignBitmap(*Picture);
        FBounds = ::Bounds(TopLeft.X, TopLeft.Y, FPicture->Width(), FPicture->Height());
        if (TransparentColour >= 0) {
            TrimTransparentEdges();
            BuildMask();
        }
    });
}

// ---- Magic wand --------------------------------------------------------------------------------------

std::unique_ptr<TMagicWandPictureSelection> TMagicWandPictureSelection::CreateSelection(TBitmap* ParentBitmap,
                                                                                        TPoint StartPoint,
                                                                                        int32_t Tolerance,
                                                                                        TColor BackgroundColour)
{
    return std::unique_ptr<TMagicWandPictureSelection>(
        new TMagicWandPictureSelection(ParentBitmap, StartPoint, Tolerance, BackgroundColour));
}

namespace {

// Grows the 4-connected area around the seed whose colours lie within Tolerance of the seed's, in
// horizontal runs. Visited items start True (pending) and become False when reached; Area receives
// the inclusive bounds of the reached pixels.
void GrowWandArea(TBitmap& Picture, TPoint Seed, int32_t Tolerance, TBool2DArray& Visited, TRect& Area)
{
    const int W = Picture.Width(), H = Picture.Height();
    std::vector<const TRGBTriple*> rows(static_cast<size_t>(H));
    for (int y = 0; y < H; ++y)
        rows[size_t(y)] = Picture.Row24(y);
    const TRGBTriple seed = rows[size_t(Seed.Y)][Seed.X];
    auto matches = [&](const TRGBTriple& p) { return TriplesWithinTolerance(Tolerance, p, seed); };
    Area = {Seed.X, Seed.Y, Seed.X, Seed.Y};
    TPixelPosList stack;
    stack.Push(Seed.X, Seed.Y);
    while (stack.Count() > 0) {
        const int x = stack.LastX(), y = stack.LastY();
        stack.DeleteLast();
        bool* pending = Visited.Row(y);
        if (!pending[x])
            continue;
        const TRGBTriple* row = rows[size_t(y)];
        int l = x, r = x;
        while (l > 0 && pending[l - 1] && matches(row[l - 1]))
            --l;
        while (r < W - 1 && pending[r + 1] && matches(row[r + 1]))
            ++r;
        std::fill(pending + l, pending + r + 1, false);
        Area.Left = std::min(Area.Left, l);
        Area.Right = std::max(Area.Right, r);
        Area.Top = std::min(Area.Top, y);
        Area.Bottom = std::max(Area.Bottom, y);
        for (const int ny : {y - 1, y + 1}) {
            if (ny < 0 || ny >= H)
                continue;
            const bool* next = Visited.Row(ny);
            const TRGBTriple* nrow = rows[size_t(ny)];
            bool inRun = false;
            for (int i = l; i <= r; ++i) {
                const bool take = next[i] && matches(nrow[i]);
                if (take && !inRun)
                    stack.Push(i, ny);
                inRun = take;
            }
        }
    }
}

} // namespace

TMagicWandPictureSelection::TMagicWandPictureSelection(TBitmap* ParentBitmap, TPoint StartPoint, int32_t Tolerance,
                                                       TColor BackgroundColour)
    : TPictureSelection(ParentBitmap)
{
    Creating([&] {
        FIrregular = true;
        CreateMask();
        TBitmap& parent = *FParentBitmap;
        if (StartPoint.X < 0 || StartPoint.X >= parent.Width() || StartPoint.Y < 0 || StartPoint.Y >= parent.Height())
            throw EPicSelectionError(kInvalidStart);
        TParentRows rows(parent);
        TBool2DArray visited;
        visited.SetSize(parent.Width(), parent.Height());
        visited.Fill(true);
        TRect area;
        try {
            GrowWandArea(rows.Rows(), StartPoint, Tolerance, visited, area);
        } catch (...) {
            throw Exception(kWandError);
        }
        ++area.Right;
        ++area.Bottom;
        FBounds = area;
        TColor unused;
        if (!FindUnusedColourInRect(rows.Rows(), area, unused))
            throw EPicSelectionError(kNoTransparentColour);
        FTransparentColour = unused;
        const int W = area.Width(), H = area.Height();
        FPicture->SetSize(0, 0);
        FPicture->SetPixelFormat(pf24bit);
        FPicture->SetSize(W, H);
        FMask->SetSize(W, H);
        // Lifting: the reached pixels move into the picture and leave the hole colour behind.
        TBitmap& target = rows.Writable();
        const TRGBTriple key = ColorToTriple(unused), hole = HoleTriple(BackgroundColour);
        for (int y = 0; y < H; ++y) {
            const bool* reached = visited.Row(area.Top + y) + area.Left;
            TRGBTriple* from = target.Row24(area.Top + y) + area.Left;
            TRGBTriple* to = FPicture->Row24(y);
            bool* masked = FMask->Row(y);
            for (int x = 0; x < W; ++x) {
                masked[x] = reached[x];
                if (reached[x]) {
                    to[x] = key;
                } else {
                    to[x] = from[x];
                    from[x] = hole;
                }
            }
        }
    });
}

// ---- Snapshot ----------------------------------------------------------------------------------------

TCVCompactSelection::TCVCompactSelection(const TPictureSelection* Selection) { Assign(Selection); }

void TCVCompactSelection::Assign(const TPictureSelection* Selection)
{
    if (!Selection)
        throw EPicSelectionError(kInvalidSelection);
    CopyBitmap(Selection->Picture(), Picture);
    Left = Selection->Bounds().Left;
    Top = Selection->Bounds().Top;
    TransparentColour = Selection->HasMask() ? Selection->TransparentColour() : -1;
}

void TCVCompactSelection::Take(TPictureSelection& Selection)
{
    Picture.TakePixels(Selection.Picture());
    Left = Selection.Bounds().Left;
    Top = Selection.Bounds().Top;
    TransparentColour = Selection.HasMask() ? Selection.TransparentColour() : -1;
}
