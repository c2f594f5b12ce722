// The picture window's twelve tools: what a press, a drag and a release of the mouse on the view do
// with each of them, the spray can's ticks, and Ctrl+arrow moves of the floating selection.
//
// A stroke runs from the press that sets MouseState to the release of the same button. Painting
// tools, fills and selection tools record one general undo step at the press. A painting step saves
// the picture tile by tile as the stroke first reaches each tile; a selection tool's step copies the
// picture and keeps the changed rectangle when the stroke ends. Rubber bands (zoom, rectangle and
// freehand selection) are kept as client-pixel geometry and drawn with the inverting dotted pen into
// every patch the view repaints; the shape outline lives in the picture's pixels with the inverting
// pen while it is dragged, so drawing it twice removes it.
#include "picwin/CVPicChildWn.h"

#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "image/KTGenUtils.h"
#include "image/PicSelection.h"
#include "image/SelectionKinds.h"
#include "picwin/SprayCan.h"

#include <QMdiArea>

#include <algorithm>
#include <cstdlib>

namespace {

bool IsSelectionTool(TCVTool Tool) { return Tool >= ctSelectRect && Tool <= ctMagicWand; }

bool RecordsUndoStep(TCVTool Tool)
{
    return Tool != ctAddText && Tool != ctDropper && Tool != ctDrag && Tool != ctZoom;
}

// Tools whose every change of the picture saves the tiles it reaches first (dabs, fills, colour
// replacement, shapes and the merge of a selection). The selection tools lift pixels out of areas
// known only once made: their steps copy the picture and keep the changed rectangle at the end.
bool SavesTiles(TCVTool Tool) { return !IsSelectionTool(Tool); }

TRect Normalized(TRect R)
{
    NormalizeRect(R);
    return R;
}

} // namespace

bool TCVPicChildWin::IsActiveChild() const
{
    const QMdiArea* area = mdiArea();
    return !area || area->currentSubWindow() == this;
}

void TCVPicChildWin::SetViewCursor(int16_t Id)
{
    FPictureScrollBox->setCursor(ToolCursor(Id));
}

// ---- Press ----------------------------------------------------------------------------------------------

void TCVPicChildWin::PictureScrollBoxMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y)
{
    const TToolScope busy(*this);
    const uint8_t state = Button == mbLeft ? 1 : Button == mbRight ? 2 : 3;
    if (MouseState != 0) {
        if ((Shift & ssDouble) && MouseState == state && FStrokeTool == ctSpecialPen &&
            SpecialPenSettings.Action == 0 && FStrokeStep) {
            // Qt delivers the second press of a double click before the double click itself. That
            // press's colour-replace dab is taken back, so that the double click replaces the colour
            // over the picture in one step after the first click's.
            FinishStroke();
            Undo();
        } else {
            // A second button during a stroke cancels a shape; other strokes go on.
            if (FStrokeTool == ctShapes)
                CancelStroke();
            return;
        }
    }
    // Only the current child takes presses, and only on the picture: a press beside it starts no
    // stroke at all.
    if (!IsActiveChild() || !FPictureScrollBox->PointInPicture(X, Y))
        return;
    MouseState = state;
    FStrokeTool = CurrentTool;
    FStrokeStep = false;
    FShapeOutline = false;
    try {
        BeginStroke(Shift, X, Y);
    } catch (...) {
        // A tool that fails on its press leaves no half-made stroke behind.
        try {
            CancelStroke();
        } catch (...) {
        }
        throw;
    }
}

void TCVPicChildWin::BeginStroke(TShiftState Shift, int X, int Y)
{
    TPictureScrollBox& box = *FPictureScrollBox;
    TEffectsBitmap& picture = Picture();
    const int px = box.ClientToPictureX(X), py = box.ClientToPictureY(Y);
    const TCVTool tool = FStrokeTool;
    const bool left = MouseState == 1;

    // The picture and the selection as they were: one undo step per painting press, fill and
    // selection-tool press. The dropper records one only when it is about to merge a selection, so
    // that every change of the picture still has its own step. A painting step keeps only the
    // tiles the stroke changes, each saved before its first change.
    if (RecordsUndoStep(tool) || (tool == ctDropper && FSelection)) {
        auto* step = AddUndoAction<TCVPicGenUndoAction>();
        if (SavesTiles(tool) && TPictureTiles::Accepts(picture))
            step->BeginTiles(picture);
        else
            step->SetBitmap(&picture);
        step->SetSelection(FSelection.get());
        FStrokeStep = true;
    }

    if (FSelection) {
        if (tool == ctDrag || tool == ctZoom) {
            FSelection->StopMarchingAnts();
        } else if (tool != ctAddText) {
            if (left && IsSelectionTool(tool) && !FSelection->Moving && FSelection->PointInSelection(px, py)) {
                FSelection->Moving = true;
                FSelection->StopMarchingAnts();
            } else {
                DropSelection(true, true);
            }
        }
    }

    TCanvas& canvas = picture.Canvas();
    switch (tool) {
    case ctPen:
        LastX = px;
        LastY = py;
        picture.SetPenMask(PenSettings.Mask.get());
        canvas.Pen.Width = PenSettings.Width;
        picture.SetPenColour(ButtonColour());
        picture.PenLine(LastX, LastY, px, py);
        box.InvalidateSegment(LastX, LastY, px, py, canvas.Pen.Width / 2);
        Changed(pcPixels, true);
        break;
    case ctFill:
        picture.FloodFill(px, py, ButtonColour(), FillTolerance);
        box.RepaintAll();
        Changed(pcPixels, true);
        FinishStroke();
        break;
    case ctSpecialPen: {
        const TSpecialPenSettings& s = SpecialPenSettings;
        if (s.Action != 0) {
            LastX = px;
            LastY = py;
            picture.SetPenMask(s.Mask.get());
            canvas.Pen.Width = s.Width;
            picture.SmudgeLine(LastX, LastY, px, py, s.Opacity);
            box.InvalidateSegment(LastX, LastY, px, py, canvas.Pen.Width / 2);
            Changed(pcPixels, true);
        } else if (Shift & ssDouble) {
            // A double click replaces the colour all over the picture.
            if (left)
                picture.ReplaceColour(ForegroundColour, BackgroundColour, s.Tolerance);
            else
                picture.ReplaceColour(BackgroundColour, ForegroundColour, s.Tolerance);
            box.Refresh();
            Changed(pcPixels, true);
            FinishStroke();
        } else {
            LastX = px;
            LastY = py;
            picture.SetPenMask(s.Mask.get());
            canvas.Pen.Width = s.Width;
            picture.SetPenColour(ButtonColour());
            picture.SetReplaceColour(OtherColour());
            picture.ColourReplaceLine(LastX, LastY, px, py, s.Tolerance);
            box.InvalidateSegment(LastX, LastY, px, py, canvas.Pen.Width / 2);
            Changed(pcPixels, true);
        }
        break;
    }
    case ctSprayCan: {
        const TSprayCanSettings& s = SprayCanSettings;
        canvas.Pen.Width = s.Width;
        picture.SetPenMask(s.Mask.get());
        picture.SetPenColour(ButtonColour());
        SprayCan = std::make_unique<TSprayCan>(this, px, py, s.Interval, s.Opacity, s.Diffusion);
        break;
    }
    case ctShapes:
        ToolRect = Rect(px, py, px, py);
        SetXorPen(canvas, psSolid, ShapeSettings.Width);
        if (ShapeSettings.Shape != skSquare && ShapeSettings.Shape != skRectangle && ShapeSettings.Shape != skCircle &&
            ShapeSettings.Shape != skEllipse) {
            DrawShapeOutline(ToolRect);
            FShapeOutline = true;
            box.InvalidatePictureRect(ToolRect, ShapeSettings.Width / 2);
        }
        break;
    case ctAddText:
        MouseState = 0;
        if (FMainForm)
            FMainForm->QueryAddText();
        break;
    case ctDropper: {
        const TColor colour = picture.Canvas().Pixels(px, py);
        const bool foreground = left;
        FinishStroke();
        if (FMainForm && colour >= 0) {
            if (foreground)
                FMainForm->SetForegroundColour(colour, true);
            else
                FMainForm->SetBackgroundColour(colour, true);
        }
        break;
    }
    case ctDrag:
        LastX = X;
        LastY = Y;
        break;
    case ctZoom:
        ToolRect = Rect(Snap(X), Snap(Y), Snap(X), Snap(Y));
        FBand = rbZoom;
        break;
    case ctSelectRect:
    case ctSelectFreehand:
    case ctMagicWand:
        if (!left) {
            FinishStroke();
        } else if (FSelection && FSelection->Moving) {
            FGrab = {px - FSelection->Bounds().Left, py - FSelection->Bounds().Top};
        } else if (tool == ctSelectRect) {
            SelBandRect = Rect(Snap(X), Snap(Y), Snap(X), Snap(Y));
            FBand = rbRect;
        } else if (tool == ctSelectFreehand) {
            FBandPath.assign(1, TPoint{Snap(X), Snap(Y)});
            FreehandPoints = std::make_unique<TFreehandPoints>();
            FreehandPoints->Add(TPoint{px, py});
            FBand = rbFreehand;
        } else {
            NewMagicWandSelection(TPoint{px, py});
        }
        break;
    }
}

// ---- Move -----------------------------------------------------------------------------------------------

void TCVPicChildWin::PictureScrollBoxMouseMove(TShiftState, int X, int Y)
{
    const TToolScope busy(*this);
    if (!IsActiveChild())
        return;
    TPictureScrollBox& box = *FPictureScrollBox;
    const int px = box.ClientToPictureX(X), py = box.ClientToPictureY(Y);
    if (box.PointInPicture(X, Y)) {
        ShowCursorPos(px, py);
        if (CurrentTool == ctDropper && FMainForm)
            FMainForm->ShowColourRGB(Picture().Canvas().Pixels(px, py));
    } else {
        ClearCursorPos();
    }
    if (FSelection && CurrentTool != ctDrag && CurrentTool != ctZoom)
        SetViewCursor(IsSelectionTool(CurrentTool) && FSelection->PointInSelection(px, py) ? int16_t(crCVMove) : CurrentCursor);
    if (MouseState != 0)
        MoveStroke(X, Y);
}

void TCVPicChildWin::MoveStroke(int X, int Y)
{
    TPictureScrollBox& box = *FPictureScrollBox;
    TEffectsBitmap& picture = Picture();
    int px = box.ClientToPictureX(X), py = box.ClientToPictureY(Y);
    const int margin = picture.Canvas().Pen.Width / 2;
    switch (FStrokeTool) {
    case ctPen:
    case ctSpecialPen:
        if (FStrokeTool == ctPen)
            picture.PenLine(LastX, LastY, px, py);
        else if (SpecialPenSettings.Action != 0)
            picture.SmudgeLine(LastX, LastY, px, py, SpecialPenSettings.Opacity);
        else
            picture.ColourReplaceLine(LastX, LastY, px, py, SpecialPenSettings.Tolerance);
        box.InvalidateSegment(LastX, LastY, px, py, margin);
        LastX = px;
        LastY = py;
        Changed(pcPixels, true);
        break;
    case ctSprayCan:
        if (SprayCan) {
            SprayCan->X = px;
            SprayCan->Y = py;
        }
        break;
    case ctShapes: {
        TRect& r = ToolRect;
        if (FShapeOutline)
            DrawShapeOutline(r);
        int ey = py;
        int cx = X, cy = Y;
        if (ShapeSettings.Shape == skSquare || ShapeSettings.Shape == skCircle) {
            // Equal sides: the shorter distance from the anchor, toward the pointer.
            const int d = std::min(std::abs(py - r.Top), std::abs(px - r.Left));
            px = px > r.Left ? r.Left + d : r.Left - d;
            ey = r.Top >= ey ? r.Top - d : r.Top + d;
            cx = box.PictureToClientX(px);
            cy = box.PictureToClientY(ey);
        }
        DrawShapeOutline(Rect(r.Left, r.Top, px, ey));
        FShapeOutline = true;
        const TPoint scroll = AutoScrollDelta(Snap(cx), Snap(cy), ShapeSettings.Width);
        if (scroll.X == 0 && scroll.Y == 0) {
            const TRect extent = Rect(std::min({r.Left, r.Right, px}), std::min({r.Top, r.Bottom, ey}),
                                      std::max({r.Left, r.Right, px}), std::max({r.Top, r.Bottom, ey}));
            box.InvalidatePictureRect(extent, ShapeSettings.Width / 2);
            Changed(pcPixels, true);
        } else {
            box.ScrollBy(scroll.X, scroll.Y);
        }
        r.Right = px;
        r.Bottom = ey;
        break;
    }
    case ctDrag:
        box.ScrollBy(LastX - X, LastY - Y);
        LastX = X;
        LastY = Y;
        break;
    case ctZoom:
        MoveBandCorner(ToolRect, X, Y);
        break;
    case ctSelectRect:
    case ctSelectFreehand:
    case ctMagicWand:
        if (FSelection) {
            if (FSelection->Moving) {
                const TRect old = FSelection->Bounds();
                FSelection->MoveTo(px - FGrab.X, py - FGrab.Y);
                TRect area;
                UnionRects(old, FSelection->Bounds(), area);
                box.InvalidatePictureRect(area, 0);
                Changed(pcSelectionMoved, true);
            }
        } else if (FBand == rbRect) {
            MoveBandCorner(SelBandRect, X, Y);
        } else if (FBand == rbFreehand && FreehandPoints) {
            const TPoint p{Snap(X), Snap(Y)};
            const TPoint from = FBandPath.back();
            if (p != from) {
                FBandPath.push_back(p);
                InvalidateClientRect(Rect(std::min(from.X, p.X), std::min(from.Y, p.Y), std::max(from.X, p.X) + 1,
                                          std::max(from.Y, p.Y) + 1));
            }
            TPoint last;
            FreehandPoints->LastPoint(last);
            if (last != TPoint{px, py})
                FreehandPoints->Add(TPoint{px, py});
        }
        break;
    default:
        break;
    }
}

TPoint TCVPicChildWin::AutoScrollDelta(int X, int Y, int Margin) const
{
    const TPictureScrollBox& box = *FPictureScrollBox;
    const int zoom = ZoomFactor();
    auto delta = [&](int V, int ClientSize, const TIdleControlScrollBar& Bar) {
        if (V <= Margin && Bar.Position() > 0)
            return Snap(V - Margin * zoom);
        if (V > ClientSize && Bar.Position() < Bar.CalcRange())
            return Snap(V - ClientSize);
        return 0;
    };
    return {delta(X, box.ClientWidth(), box.HorzScrollBar()), delta(Y, box.ClientHeight(), box.VertScrollBar())};
}

// ---- Release --------------------------------------------------------------------------------------------

void TCVPicChildWin::PictureScrollBoxMouseUp(TMouseButton Button, TShiftState, int, int)
{
    const TToolScope busy(*this);
    const uint8_t state = Button == mbLeft ? 1 : Button == mbRight ? 2 : 3;
    if (MouseState == 0 || MouseState != state)
        return;
    try {
        ReleaseStroke();
    } catch (...) {
        try {
            CancelStroke();
        } catch (...) {
        }
        throw;
    }
}

void TCVPicChildWin::ReleaseStroke()
{
    TPictureScrollBox& box = *FPictureScrollBox;
    const TCVTool tool = FStrokeTool;
    switch (tool) {
    case ctSprayCan:
        SprayCan.reset();
        break;
    case ctShapes:
        ResetPen(Picture().Canvas());
        DrawShape(ToolRect, ButtonColour());
        FShapeOutline = false;
        box.InvalidatePictureRect(ToolRect, ShapeSettings.Width / 2);
        // The shape is in the pixels now: a change worth saving.
        Changed(pcView | pcPixels, true);
        break;
    case ctZoom: {
        const TRect band = ToolRect;
        RemoveRubberBand();
        const TRect r = box.ClientRectToPicture(band);
        const int w = std::abs(r.Right - r.Left), h = std::abs(r.Bottom - r.Top);
        if (w >= 11 && h >= 11) {
            int areaW = box.ClientWidth(), areaH = box.ClientHeight();
            if (FMainForm)
                FMainForm->GetMaxChildClientSize(areaW, areaH);
            const int zoom = std::min({areaW / w, areaH / h, picview::kMaxZoom});
            SetZoom(zoom, (r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
        } else {
            SetZoom(ZoomFactor() + (MouseState == 1 ? 1 : -1), r.Left, r.Top);
        }
        break;
    }
    case ctSelectRect:
    case ctSelectFreehand:
    case ctMagicWand:
        if (FSelection) {
            if (FSelection->Moving) {
                FSelection->Moving = false;
                FSelection->StartMarchingAnts(false);
                RepaintSelection();
            }
        } else if (FBand == rbRect) {
            const TRect band = SelBandRect;
            RemoveRubberBand();
            // Only the part of the band over the picture is selected; a band beside it selects nothing.
            TRect r = box.ClientRectToPicture(band);
            NormalizeRect(r);
            if (IntersectRect(r, r, Rect(0, 0, Picture().Width(), Picture().Height())))
                NewRectSelection(r, SelectionTransparentColour());
        } else if (FBand == rbFreehand) {
            RemoveRubberBand();
            std::unique_ptr<TFreehandPoints> points = std::move(FreehandPoints);
            if (points)
                NewFreehandSelection(*points, SelectionTransparentColour());
        }
        break;
    default:
        break;
    }
    if (FSelection && (tool == ctDrag || tool == ctZoom))
        FSelection->StartMarchingAnts(false);
    FinishStroke();
}

// ---- Ending a stroke ------------------------------------------------------------------------------------

void TCVPicChildWin::FinishStroke()
{
    MouseState = 0;
    if (FStrokeStep) {
        FStrokeStep = false;
        CompactUndoStep();
    }
}

void TCVPicChildWin::CancelStroke()
{
    if (MouseState == 0)
        return;
    switch (FStrokeTool) {
    case ctSprayCan:
        SprayCan.reset();
        break;
    case ctShapes: {
        TCanvas& canvas = Picture().Canvas();
        if (FShapeOutline) {
            DrawShapeOutline(ToolRect);
            FShapeOutline = false;
        }
        ResetPen(canvas);
        FPictureScrollBox->InvalidatePictureRect(ToolRect, ShapeSettings.Width / 2);
        break;
    }
    default:
        break;
    }
    RemoveRubberBand();
    FreehandPoints.reset();
    if (FSelection) {
        if (FSelection->Moving) {
            FSelection->Moving = false;
            RepaintSelection();
        }
        FSelection->StartMarchingAnts(false);
    }
    FinishStroke();
}

void TCVPicChildWin::EndStroke()
{
    if (FToolBusy > 0 || MouseState == 0)
        return;
    CancelStroke();
}

// ---- Shapes ---------------------------------------------------------------------------------------------

void TCVPicChildWin::DrawShapeOutline(const TRect& R)
{
    TCanvas& canvas = Picture().Canvas();
    // A wide pen reaches half its width beyond the figure's rectangle; the margin is generous.
    const int margin = std::max(canvas.Pen.Width, 1) + 2;
    Picture().SaveUndoTiles(Rect(std::min(R.Left, R.Right) - margin, std::min(R.Top, R.Bottom) - margin,
                                 std::max(R.Left, R.Right) + margin + 1, std::max(R.Top, R.Bottom) + margin + 1));
    switch (ShapeSettings.Shape) {
    case skSquare:
    case skRectangle:
        canvas.Rectangle(R);
        break;
    case skCircle:
    case skEllipse:
        canvas.Ellipse(R);
        break;
    default:
        canvas.MoveTo(R.Left, R.Top);
        canvas.LineTo(R.Right, R.Bottom);
        break;
    }
}

void TCVPicChildWin::DrawShape(const TRect& R, TColor Colour)
{
    TCanvas& canvas = Picture().Canvas();
    canvas.Pen.Color = Colour;
    canvas.Brush.Color = Colour;
    canvas.Brush.Style = ShapeSettings.Filled ? bsSolid : bsClear;
    DrawShapeOutline(R);
    canvas.Brush.Style = bsSolid;
}

// ---- Rubber bands ---------------------------------------------------------------------------------------

void TCVPicChildWin::DrawRubberBand(TBitmap& Image, TPoint Origin) const
{
    TCanvas& canvas = Image.Canvas();
    SetXorPen(canvas, psDot, 1);
    if (FBand == rbFreehand) {
        std::vector<TPoint> path = FBandPath;
        for (TPoint& p : path)
            p = {p.X - Origin.X, p.Y - Origin.Y};
        canvas.Polyline(path);
    } else {
        const TRect band = Normalized(FBand == rbZoom ? ToolRect : SelBandRect);
        canvas.Rectangle(OffsetRect(band, -Origin.X, -Origin.Y));
    }
    ResetPen(canvas);
}

void TCVPicChildWin::InvalidateClientRect(const TRect& R)
{
    const TPictureScrollBox& box = *FPictureScrollBox;
    const TRect n = Normalized(R);
    const TRect picture = Rect(box.ClientToPictureX(n.Left), box.ClientToPictureY(n.Top),
                               box.ClientToPictureX(std::max(n.Right - 1, n.Left)) + 1,
                               box.ClientToPictureY(std::max(n.Bottom - 1, n.Top)) + 1);
    FPictureScrollBox->InvalidatePictureRect(picture, 0);
}

void TCVPicChildWin::InvalidateBandRect(const TRect& R)
{
    // Only the four edges: a band over a large area repaints little.
    const TRect n = Normalized(R);
    if (n.Left == n.Right || n.Top == n.Bottom)
        return;
    InvalidateClientRect(Rect(n.Left, n.Top, n.Right, n.Top + 1));
    InvalidateClientRect(Rect(n.Left, n.Bottom - 1, n.Right, n.Bottom));
    InvalidateClientRect(Rect(n.Left, n.Top, n.Left + 1, n.Bottom));
    InvalidateClientRect(Rect(n.Right - 1, n.Top, n.Right, n.Bottom));
}

void TCVPicChildWin::MoveBandCorner(TRect& Band, int X, int Y)
{
    const TRect old = Band;
    Band.Right = Snap(X);
    Band.Bottom = Snap(Y);
    InvalidateBandRect(old);
    InvalidateBandRect(Band);
}

void TCVPicChildWin::RemoveRubberBand()
{
    const TRubberBand band = FBand;
    if (band == rbNone)
        return;
    FBand = rbNone;
    if (band == rbFreehand) {
        TRect bounds{FBandPath.front().X, FBandPath.front().Y, FBandPath.front().X, FBandPath.front().Y};
        for (const TPoint& p : FBandPath) {
            bounds.Left = std::min(bounds.Left, p.X);
            bounds.Top = std::min(bounds.Top, p.Y);
            bounds.Right = std::max(bounds.Right, p.X);
            bounds.Bottom = std::max(bounds.Bottom, p.Y);
        }
        FBandPath.clear();
        InvalidateClientRect(Rect(bounds.Left, bounds.Top, bounds.Right + 1, bounds.Bottom + 1));
    } else {
        InvalidateBandRect(band == rbZoom ? ToolRect : SelBandRect);
    }
}

// ---- Keys -----------------------------------------------------------------------------------------------

void TCVPicChildWin::FormKeyDown(int& Key, TShiftState Shift)
{
    // Exactly Ctrl with an arrow nudges the floating selection by one pixel; never under a stroke.
    if (!FSelection || Shift != ssCtrl || MouseState != 0 || Key < 37 || Key > 40)
        return;
    static constexpr int kDX[] = {-1, 0, 1, 0}, kDY[] = {0, -1, 0, 1};
    const int dx = kDX[Key - 37], dy = kDY[Key - 37];
    const TRect old = FSelection->Bounds();
    FSelection->MoveBy(dx, dy);
    TRect area;
    UnionRects(old, OffsetRect(old, dx, dy), area);
    FPictureScrollBox->InvalidatePictureRect(area, 0);
    Changed(pcSelectionMoved, true);
    Key = 0;
}
