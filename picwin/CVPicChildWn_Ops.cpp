// The picture window's operations: clear, tone and geometric changes, crop, select all, the
// clipboard, and the adjustments with their preview on the picture itself. Each works on the
// floating selection when there is one, else on the picture, and records one undo step before it
// changes anything.
#include "picwin/CVPicChildWn.h"

#include "globals/CVToolVars.h"
#include "image/KTGenUtils.h"
#include "image/PicSelection.h"
#include "image/SelectionClipboard.h"
#include "image/SelectionKinds.h"

namespace {

constexpr TPictureChanges kSizeChanges = pcPixels | pcWindowSize | pcPictureSize;              // 25
constexpr TPictureChanges kCropChanges = kSizeChanges | pcSelectionRemoved;                   // 281

// The hourglass (ants stopped) for the life of the scope.
class TWaitScope {
public:
    explicit TWaitScope(TCVPicChildWin& Window) : FWindow(Window) { FWindow.BeginWait(); }
    ~TWaitScope()
    {
        try {
            FWindow.EndWait();
        } catch (...) {
        }
    }
    TWaitScope(const TWaitScope&) = delete;
    TWaitScope& operator=(const TWaitScope&) = delete;

private:
    TCVPicChildWin& FWindow;
};

// The view's updates held for the life of the scope; the end re-centres and repaints once.
class TUpdateScope {
public:
    explicit TUpdateScope(TPictureScrollBox& Box) : FBox(Box) { FBox.BeginUpdate(); }
    ~TUpdateScope()
    {
        try {
            FBox.EndUpdate();
        } catch (...) {
        }
    }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TPictureScrollBox& FBox;
};

// A self-inverse change (flip, mirror, negative): its step only needs the scope.
template <class TAction>
void ReversibleChange(TCVPicChildWin& Window, void (TPictureSelection::*OnSelection)(),
                      void (*OnPicture)(TEffectsBitmap&))
{
    TWaitScope wait(Window);
    auto* step = Window.AddUndoAction<TAction>();
    if (TPictureSelection* selection = Window.Selection()) {
        step->Scope = usSelection;
        (selection->*OnSelection)();
        Window.RepaintSelection();
        Window.Changed(pcSelectionPixels, true);
    } else {
        step->Scope = usPicture;
        OnPicture(Window.Picture());
        Window.PictureScrollBox().Refresh();
        Window.Changed(pcPixels, true);
    }
}

// Resize and resample: the step holds the picture and the selection as they were before the
// selection is merged, so that undoing brings the selection back floating over the untouched
// picture (and a paste before it can be undone without leaving its pixels behind).
void ChangeSize(TCVPicChildWin& Window, void (TEffectsBitmap::*Work)(int, int), int Width, int Height)
{
    TWaitScope wait(Window);
    {
        TUpdateScope update(Window.PictureScrollBox());
        auto* step = Window.AddUndoAction<TCVPicGenUndoAction>();
        step->SetSelection(Window.Selection());
        step->SetBitmap(&Window.Picture());
        Window.DropSelection(true, false);
        (Window.Picture().*Work)(Width, Height);
        Window.BestFit();
    }
    Window.Changed(kSizeChanges, true);
}

void FinishPreview(TCVPicChildWin& Window, TCVPicGenUndoAction* Step);

// One adjustment: its parameters, whether they change nothing, and its work on each target.
struct TAdjustment {
    TPreviewParams Params;
    bool Neutral = false;
    TPictureChanges PictureFlags = pcPixels;
    bool FitWindow = false; // the picture's size may change
    std::function<void(TEffectsBitmap&)> OnPicture;
    std::function<void(TPictureSelection&)> OnSelection;
};

// After an adjustment failed, nothing of it stays: a preview that failed ends with the unadjusted
// state back on show, so neither its parameters nor the previewing state count as shown and a later
// commit applies the operation; a commit that failed leaves no undo step of a change not made.
void AbandonAdjust(TCVPicChildWin& Window, bool Preview)
{
    if (Preview)
        FinishPreview(Window, nullptr);
    else
        Window.DropNewestUndoStep();
}

void Adjust(TCVPicChildWin& Window, const TAdjustment& A, bool Preview)
{
    TWaitScope wait(Window);
    TPictureScrollBox& box = Window.PictureScrollBox();
    TPictureChanges flags = 0;
    box.BeginUpdate();
    try {
        const bool done = Window.PrepareAdjust(Preview, A.Params);
        if (done) {
            // The picture shows this result already: a commit only reports it.
            if (!Preview && !A.Neutral)
                flags = Window.Selection() ? TPictureChanges(pcSelectionPixels) : A.PictureFlags;
        } else if (Preview || !A.Neutral) {
            if (TPictureSelection* selection = Window.Selection()) {
                A.OnSelection(*selection);
                Window.RepaintSelection();
                flags = pcSelectionPixels;
            } else {
                A.OnPicture(Window.Picture());
                if (A.FitWindow)
                    Window.BestFit();
                flags = A.PictureFlags;
            }
        }
    } catch (...) {
        try {
            box.EndUpdate();
            Window.Changed(flags, !Preview);
            AbandonAdjust(Window, Preview);
        } catch (...) {
        }
        throw;
    }
    box.EndUpdate();
    Window.Changed(flags, !Preview);
}

// Puts the unadjusted state back and ends the preview. With Step (a commit of other parameters)
// the saved picture copy moves into the step instead of being copied once more.
void FinishPreview(TCVPicChildWin& Window, TCVPicGenUndoAction* Step)
{
    if (!Window.IsPreviewing())
        return;
    TPicturePreview& preview = Window.Preview();
    TPictureChanges flags = 0;
    TPictureSelection* selection = Window.Selection();
    if (selection && preview.SavedSelection()) {
        const TRect oldBounds = selection->Bounds();
        selection->Assign(preview.SavedSelection());
        TRect area;
        UnionRects(oldBounds, selection->Bounds(), area);
        Window.PictureScrollBox().InvalidatePictureRect(area, 0);
        flags = pcSelectionPixels;
    } else if (TBitmap* saved = preview.SavedBitmap()) {
        TEffectsBitmap& picture = Window.Picture();
        const bool sizeChanged = saved->Width() != picture.Width() || saved->Height() != picture.Height();
        {
            // The end of the update lays the view out again when the size came back.
            TUpdateScope update(Window.PictureScrollBox());
            picture.AssignBitmap(*saved);
            if (sizeChanged)
                Window.BestFit();
        }
        flags = sizeChanged ? kSizeChanges : TPictureChanges(pcPixels);
        if (Step)
            Step->TakeBitmap(preview.TakeSavedBitmap());
    }
    preview.SetActive(false);
    Window.Changed(flags, false);
}

} // namespace

// ---- Whole-picture and selection operations ----------------------------------------------------------

void TCVPicChildWin::ClearPicture()
{
    TWaitScope wait(*this);
    auto* step = AddUndoAction<TCVPicGenUndoAction>();
    step->SetBitmap(&Picture());
    step->SetSelection(Selection());
    if (FSelection) {
        // Only the floating pixels go; the hole they were lifted from stays.
        DropSelection(false, true);
    } else {
        Picture().Clear(BackgroundColour);
        PictureScrollBox().Refresh();
    }
    Changed(pcPixels, true);
}

void TCVPicChildWin::GreyScale()
{
    TWaitScope wait(*this);
    auto* step = AddUndoAction<TCVPicGenUndoAction>();
    if (FSelection) {
        step->SetSelection(FSelection.get());
        FSelection->GreyScale();
        RepaintSelection();
        Changed(pcSelectionPixels, true);
    } else {
        step->SetBitmap(&Picture());
        Picture().GreyScale(nullptr);
        PictureScrollBox().Refresh();
        Changed(pcPixels, true);
    }
}

void TCVPicChildWin::Negative()
{
    ReversibleChange<TCVPicNegUndoAction>(*this, &TPictureSelection::Negative,
                                          [](TEffectsBitmap& P) { P.Negative(nullptr); });
}

void TCVPicChildWin::Flip()
{
    ReversibleChange<TCVPicFlipUndoAction>(*this, &TPictureSelection::Flip, [](TEffectsBitmap& P) { P.Flip(); });
}

void TCVPicChildWin::Mirror()
{
    ReversibleChange<TCVPicMirrorUndoAction>(*this, &TPictureSelection::Mirror, [](TEffectsBitmap& P) { P.Mirror(); });
}

void TCVPicChildWin::ResizePicture(int Width, int Height)
{
    ChangeSize(*this, &TEffectsBitmap::Resize, Width, Height);
}

void TCVPicChildWin::ResamplePicture(int Width, int Height)
{
    if (Width == Picture().Width() && Height == Picture().Height())
        return;
    ChangeSize(*this, &TEffectsBitmap::Resample, Width, Height);
}

void TCVPicChildWin::EnlargeCanvas(int Width, int Height, bool Centred, TColor Colour)
{
    if (Width == Picture().Width() && Height == Picture().Height())
        return;
    TWaitScope wait(*this);
    {
        TUpdateScope update(PictureScrollBox());
        auto* step = AddUndoAction<TCVPicGenUndoAction>();
        step->SetBitmap(&Picture());
        // The floating selection stays where it is; kept too, so that undoing does not lose it.
        step->SetSelection(Selection());
        Picture().EnlargeCanvas(Width, Height, Colour, Centred);
        BestFit();
    }
    Changed(kSizeChanges, true);
}

void TCVPicChildWin::Crop()
{
    if (!FSelection)
        return;
    TWaitScope wait(*this);
    {
        TUpdateScope update(PictureScrollBox());
        auto* step = AddUndoAction<TCVPicGenUndoAction>();
        step->SetBitmap(&Picture());
        step->SetSelection(FSelection.get());
        TPictureSelection& selection = *FSelection;
        Picture().AssignBitmap(selection.Picture());
        // What lay outside an irregular selection becomes the background.
        if (selection.HasMask())
            Picture().ReplaceColour(selection.TransparentColour(), BackgroundColour, 0);
        RemoveSelection();
        BestFit();
    }
    Changed(kCropChanges, true);
}

void TCVPicChildWin::SelectAll()
{
    ApplySelectionWithUndo(*AddUndoAction<TCVPicGenUndoAction>());
    NewRectSelection(Rect(0, 0, Picture().Width(), Picture().Height()), SelectionTransparentColour());
}

// ---- Clipboard -------------------------------------------------------------------------------------------

namespace {

// The whole picture onto the clipboard without a tag; false when there is no clipboard or it fails.
bool CopyWholePicture(TEffectsBitmap& Picture)
{
    ISelectionClipboard* clipboard = SelectionClipboard();
    if (!clipboard)
        return false;
    try {
        clipboard->CopyBitmapNoTag(Picture);
    } catch (...) {
        return false;
    }
    return true;
}

} // namespace

bool TCVPicChildWin::CopyToClipboard()
{
    if (!FSelection)
        return CopyWholePicture(Picture());
    if (!FSelection->CopyToClipboard())
        return false;
    ApplySelectionWithUndo(*AddUndoAction<TCVPicGenUndoAction>());
    return true;
}

bool TCVPicChildWin::CutToClipboard()
{
    if (!FSelection) {
        if (!CopyWholePicture(Picture()))
            return false;
        ClearPicture();
        return true;
    }
    // The selection goes only once the clipboard holds it: a failed copy changes nothing.
    if (!FSelection->CopyToClipboard())
        return false;
    auto* step = AddUndoAction<TCVPicGenUndoAction>();
    step->TakeSelection(*ReleaseSelection(false, true));
    return true;
}

bool TCVPicChildWin::PasteBitmap(TBitmap* Bitmap, TColor TransparentColour)
{
    if (!Bitmap)
        return false;
    // Without an older selection the step is empty: undoing it removes the pasted selection.
    auto* step = AddUndoAction<TCVPicGenUndoAction>();
    if (FSelection)
        ApplySelectionWithUndo(*step);
    const TRect visible = PictureScrollBox().VisibleRect();
    // The selection keeps its own copy of Bitmap.
    NewBitmapSelection(Bitmap, Point(visible.Left, visible.Top), TransparentColour);
    return FSelection != nullptr;
}

bool TCVPicChildWin::PasteFromClipboard()
{
    ISelectionClipboard* clipboard = SelectionClipboard();
    if (!clipboard || !clipboard->HasPicture())
        return false;
    TBitmap pasted;
    TColor tag = -1;
    clipboard->PasteBitmap(pasted, tag);
    return PasteBitmap(&pasted, tag);
}

// ---- Adjustments and their preview ---------------------------------------------------------------------

void TCVPicChildWin::RotatePicture(int Angle, TColor BackColour, bool Preview)
{
    TAdjustment a;
    a.Params = Angle;
    a.Neutral = Angle < 1;
    a.PictureFlags = kSizeChanges;
    a.FitWindow = true;
    a.OnPicture = [&](TEffectsBitmap& P) { P.Rotate(Angle, BackColour); };
    a.OnSelection = [&](TPictureSelection& S) { S.Rotate(Angle); };
    Adjust(*this, a, Preview);
}

void TCVPicChildWin::BrightenPicture(int Amount, bool Preview)
{
    TAdjustment a;
    a.Params = Amount;
    a.Neutral = Amount == 0;
    a.OnPicture = [&](TEffectsBitmap& P) { P.Brighten(Amount, nullptr); };
    a.OnSelection = [&](TPictureSelection& S) { S.Brighten(Amount); };
    Adjust(*this, a, Preview);
}

void TCVPicChildWin::GammaCorrectPicture(double Gamma, bool Preview)
{
    TAdjustment a;
    a.Params = Gamma;
    a.Neutral = Gamma == 1.0;
    a.OnPicture = [&](TEffectsBitmap& P) { P.GammaCorrect(nullptr, Gamma); };
    a.OnSelection = [&](TPictureSelection& S) { S.GammaCorrect(Gamma); };
    Adjust(*this, a, Preview);
}

void TCVPicChildWin::BlurPicture(double Radius, bool Preview)
{
    TAdjustment a;
    a.Params = Radius;
    a.Neutral = !(Radius > 0);
    a.OnPicture = [&](TEffectsBitmap& P) { P.Blur(nullptr, Radius); };
    a.OnSelection = [&](TPictureSelection& S) { S.Blur(Radius); };
    Adjust(*this, a, Preview);
}

void TCVPicChildWin::AdjustRGBPicture(int Red, int Green, int Blue, bool Preview)
{
    TAdjustment a;
    a.Params = Format("%.3d%.3d%.3d", Red, Green, Blue);
    a.Neutral = Red == 0 && Green == 0 && Blue == 0;
    a.OnPicture = [&](TEffectsBitmap& P) { P.AdjustRGB(Red, Green, Blue, nullptr); };
    a.OnSelection = [&](TPictureSelection& S) { S.AdjustRGB(Red, Green, Blue); };
    Adjust(*this, a, Preview);
}

bool TCVPicChildWin::PrepareAdjust(bool Preview, const TPreviewParams& Params)
{
    if (Preview) {
        const bool shown = IsPreviewing() && Params == FPreview->Params;
        if (!shown)
            BeginPreview(Params);
        return shown;
    }
    auto* step = AddUndoAction<TCVPicGenUndoAction>();
    if (IsPreviewing()) {
        // The step holds the state from before the preview: one undo goes back past the dialog.
        const bool shown = Params == FPreview->Params;
        step->SetSelection(FPreview->SavedSelection());
        if (shown) {
            step->TakeBitmap(FPreview->TakeSavedBitmap());
            FPreview->SetActive(false);
        } else {
            FinishPreview(*this, step);
        }
        return shown;
    }
    step->SetSelection(Selection());
    // An adjustment of the selection leaves the picture alone: the selection is all the step needs.
    if (!FSelection)
        step->SetBitmap(&Picture());
    return false;
}

void TCVPicChildWin::BeginPreview(const TPreviewParams& Params)
{
    if (IsPreviewing()) {
        // Another preview: back to the unadjusted state first.
        if (FSelection && FPreview->SavedSelection())
            FSelection->Assign(FPreview->SavedSelection());
        else if (TBitmap* saved = FPreview->SavedBitmap())
            Picture().AssignBitmap(*saved);
    } else {
        try {
            if (FSelection)
                FPreview->SaveSelection(FSelection.get());
            else
                FPreview->SaveBitmap(&Picture());
        } catch (...) {
            FPreview->SaveSelection(nullptr);
            FPreview->SaveBitmap(nullptr);
            throw;
        }
        FPreview->SetActive(true);
    }
    FPreview->Params = Params;
}

void TCVPicChildWin::EndPreview()
{
    FinishPreview(*this, nullptr);
}

// ---- Undo ----------------------------------------------------------------------------------------------

void TCVPicChildWin::CompactUndoStep()
{
    auto* step = dynamic_cast<TCVPicGenUndoAction*>(FUndoList->Items(0));
    if (!step)
        return;
    // A step that saved tiles holds only what changed already.
    if (step->Tiles()) {
        step->EndTiles();
        return;
    }
    // A preview shows pixels that are not the picture's own: its end puts other ones back.
    if (!IsPreviewing())
        step->Compact(Picture());
}
