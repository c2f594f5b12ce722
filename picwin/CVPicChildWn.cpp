// The picture window: its three kinds, change reporting, status panels, best fit, saving and the
// floating selection's lifecycle.
#include "picwin/CVPicChildWn.h"

#include "controls/XStatusbar.h"
#include "image/PicSelection.h"
#include "image/SelectionKinds.h"
#include "image/XBitmap.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "picwin/SprayCan.h"

#include <QKeyEvent>
#include <QMdiArea>
#include <QWheelEvent>

#include <algorithm>
#include <map>

namespace {

std::map<int16_t, QCursor>& CursorTable()
{
    static std::map<int16_t, QCursor> table;
    return table;
}


} // namespace

void RegisterToolCursor(int16_t Id, const QCursor& Cursor)
{
    CursorTable()[Id] = Cursor;
}

QCursor ToolCursor(int16_t Id)
{
    const auto it = CursorTable().find(Id);
    return it != CursorTable().end() ? it->second : QCursor(Qt::CrossCursor);
}

// ---- Window -----------------------------------------------------------------------------------------

TCVPicChildWin::TCVPicChildWin(QWidget* AOwner, IPicChildHost* MainForm)
    : TExtraBtnForm(AOwner, ckPicture), FMainForm(MainForm)
{
    setWindowTitle("MDI Child");
    resize(285, 298);
    FPictureScrollBox = new TPictureScrollBox(this);
    FPictureScrollBox->setObjectName("PictureScrollBox");
    setWidget(FPictureScrollBox);
    FPictureScrollBox->SetShowZoomGrid(true);
    // Dragging a thumb scrolls the picture as the mouse moves.
    FPictureScrollBox->HorzScrollBar().SetTracking(true);
    FPictureScrollBox->VertScrollBar().SetTracking(true);
    FPictureScrollBox->setCursor(ToolCursor(CurrentCursor));
    FUndoList = std::make_unique<TCVUndoActionFactory>(this);
    ComputeFrameSize();
    SetExtraBtnHintStr(SBestFitHint);

    TEffectsBitmap& picture = Picture();
    picture.OnProgressStart = [this](TEffectsBitmap*, int Max) { DoProgressStart(Max); };
    picture.OnProgress = [this](TEffectsBitmap*) { DoProgressStep(); };
    picture.OnProgressEnd = [this](TEffectsBitmap*) { DoProgressEnd(); };
    FPreview = std::make_unique<TPicturePreview>();

    TPictureScrollBox* box = FPictureScrollBox;
    box->OnScroll = [this](TIdleScrollingCore*) { Changed(pcView, true); };
    box->OnEndResize = [this](TPictureScrollBox*) { Changed(pcWindowSize, true); };
    box->OnExit = [this](TPictureScrollBox*) { PictureScrollBoxExit(); };
    box->OnBeforeZoomPaint = [this](TPictureScrollBox*, TBitmap& B, const TRect& R) { PictureScrollBoxBeforeZoomPaint(B, R); };
    box->OnPainting = [this](TPictureScrollBox*, TBitmap& B, const TRect& R) { PictureScrollBoxPainting(B, R); };
    box->OnHasOverlay = [this](const TPictureScrollBox*) { return FSelection != nullptr || FBand != rbNone; };
    box->OnMouseDown = [this](TPictureScrollBox*, TMouseButton B, TShiftState S, int X, int Y) {
        GuardEvent(this, [&] { PictureScrollBoxMouseDown(B, S, X, Y); });
    };
    box->OnMouseMove = [this](TPictureScrollBox*, TShiftState S, int X, int Y) {
        GuardEvent(this, [&] { PictureScrollBoxMouseMove(S, X, Y); });
    };
    box->OnMouseUp = [this](TPictureScrollBox*, TMouseButton B, TShiftState S, int X, int Y) {
        GuardEvent(this, [&] { PictureScrollBoxMouseUp(B, S, X, Y); });
    };
    connect(this, &QMdiSubWindow::windowStateChanged, this,
            [this](Qt::WindowStates OldState, Qt::WindowStates NewState) { WindowStateChanged(OldState, NewState); });
}

TCVPicChildWin::~TCVPicChildWin()
{
    // The spray can's timer calls into the window.
    SprayCan.reset();
    // The base and the view (a child widget) outlive this part of the window: nothing of theirs may
    // call back into it.
    disconnect(this, &QMdiSubWindow::windowStateChanged, this, nullptr);
    TPictureScrollBox& box = *FPictureScrollBox;
    box.OnScroll = nullptr;
    box.OnEndResize = box.OnExit = nullptr;
    box.OnBeforeZoomPaint = box.OnPainting = nullptr;
    box.OnHasOverlay = nullptr;
    box.OnMouseDown = box.OnMouseUp = nullptr;
    box.OnMouseMove = nullptr;
    Picture().OnProgressStart = nullptr;
    Picture().OnProgress = Picture().OnProgressEnd = nullptr;
    // The selection and the undo steps refer to the picture, which the view owns.
    FUndoList.reset();
    FSelection.reset();
    FPreview.reset();
}

void TCVPicChildWin::ComputeFrameSize()
{
    NonClientWidth = 2 * (SM_CXFRAME + SM_CXEDGE);
    NonClientHeight = 2 * (SM_CYFRAME + SM_CYEDGE) + SM_CYCAPTION;
}

void TCVPicChildWin::RequirePicture(bool Made, int Width, int Height)
{
    if (!Made)
        throw ECanvelloError(Format(SCannotMakePicture, Width, Height));
}

void TCVPicChildWin::SetPanel(int Index, const std::string& Text)
{
    if (TXStatusBar* bar = StatusBar(); bar && Index < bar->PanelCount())
        bar->Panels(Index)->SetText(Text);
}

void TCVPicChildWin::UpdateCaption()
{
    setWindowTitle(QString::fromStdString(Format(SPicCaption, FDisplayName, ZoomFactor())));
}

void TCVPicChildWin::SetDisplayName(const std::string& Name)
{
    if (Name == FDisplayName)
        return;
    FDisplayName = Name;
    UpdateCaption();
}

void TCVPicChildWin::SetModified(bool Value)
{
    if (Value == FModified)
        return;
    FModified = Value;
    SetPanel(2, FModified ? SModified : "");
}

void TCVPicChildWin::Changed(TPictureChanges Flags, bool SetModifiedFlag)
{
    if (Flags == 0)
        return;
    // A floating selection's edits are saved with the picture, so they count as changes too.
    const TPictureChanges modifying = pcPixels | pcSelectionMoved | pcSelectionPixels | pcSelectionRemoved;
    if (SetModifiedFlag && !FModified && (Flags & modifying))
        SetModified(true);
    if (StatusBar() && (Flags & pcPictureSize))
        SetPanel(1, Format(SPictureSize, Picture().Width(), Picture().Height()));
    if (OnPictureChange)
        OnPictureChange(this, Flags);
}

bool TCVPicChildWin::BestFit(int PicWidth, int PicHeight)
{
    if (!FMainForm || isMinimized() || isMaximized())
        return false;
    const int z = ZoomFactor();
    int areaW = 0, areaH = 0;
    FMainForm->GetMaxChildClientSize(areaW, areaH);
    const int picW = z * PicWidth + NonClientWidth;
    const int h = z * PicHeight + NonClientHeight;
    // A small picture still gets a title bar whose caption and buttons fit; the picture then shows
    // at the client's top left.
    const int w = std::max(picW, TitleBarMinWidth());
    const int left = x(), top = y();
    int newW = areaW - left;
    if (w <= newW)
        newW = h > areaH - top ? std::min(std::max(w, picW + SM_CXVSCROLL), newW) : std::min(w, newW);
    int newH = areaH - top;
    if (h <= newH)
        newH = picW > areaW - left ? std::min(h + SM_CYHSCROLL, newH) : std::min(h, newH);
    if (newW == width() && newH == height())
        return false;
    setGeometry(left, top, newW, newH);
    return true;
}

TXBitmap& TCVPicChildWin::SavedPicture(TXBitmap& Merged)
{
    if (!FSelection)
        return Picture();
    Merged.AssignBitmap(Picture());
    FSelection->PasteInto(&Merged);
    return Merged;
}

void TCVPicChildWin::MarkUndoStepsModified()
{
    for (int i = 0; i < FUndoList->Count(); ++i)
        if (auto* step = dynamic_cast<TCVPicUndoAction*>(FUndoList->Items(i)))
            step->WasModified = true;
}

void TCVPicChildWin::FileRenamed(const std::string& NewFileName)
{
    FFileName = NewFileName;
    SetDisplayName(ExtractFileName(NewFileName));
}

void TCVPicChildWin::FileLost()
{
    SetModified(true);
    MarkUndoStepsModified();
}

bool TCVPicChildWin::SaveToFile(const std::string& Name, std::string* Error)
{
    try {
        // A shape's outline lives in the pixels while it is dragged: never into the file.
        EndStroke();
        TXBitmap merged;
        SavedPicture(merged).SavePictureToFile(Name, false);
        if (Name != FFileName) {
            FFileName = Name;
            SetDisplayName(ExtractFileName(Name));
        }
        SetModified(false);
        MarkUndoStepsModified();
        return true;
    } catch (const std::exception& E) {
        if (Error)
            *Error = E.what();
        return false;
    } catch (...) {
        return false;
    }
}

void TCVPicChildWin::SetZoom(int Zoom, int CentreX, int CentreY)
{
    EndStroke();
    TPictureScrollBox& box = *FPictureScrollBox;
    const TRect v = box.VisibleRect();
    if (CentreX < 0)
        CentreX = (v.Left + v.Right) / 2;
    if (CentreY < 0)
        CentreY = (v.Top + v.Bottom) / 2;
    box.BeginUpdate();
    box.ZoomAt(Zoom, CentreX, CentreY);
    BestFit();
    box.EndUpdate();
    UpdateCaption();
    Changed(pcZoom | pcWindowSize, true);
}

void TCVPicChildWin::ScrollTo(int X, int Y)
{
    FPictureScrollBox->ScrollTo(X, Y);
    Changed(pcView, true);
}

void TCVPicChildWin::Undo()
{
    EndStroke();
    try {
        FUndoList->Undo();
    } catch (...) {
        // A failed step has left the list too: the Undo command follows the list either way.
        DoUndoCountChange(FUndoList->Count());
        throw;
    }
    DoUndoCountChange(FUndoList->Count());
}

TCVBaseUndoAction* TCVPicChildWin::AddUndoAction(TCVUndoActionClass ActionClass)
{
    // Every command that changes the picture records its step first: a running stroke ends here.
    EndStroke();
    TCVBaseUndoAction* action = FUndoList->AddAction(ActionClass);
    if (auto* pic = dynamic_cast<TCVPicUndoAction*>(action))
        pic->WasModified = FModified;
    DoUndoCountChange(FUndoList->Count());
    return action;
}

void TCVPicChildWin::DropNewestUndoStep()
{
    FUndoList->Delete(0);
    DoUndoCountChange(FUndoList->Count());
}

void TCVPicChildWin::DoUndoCountChange(int Count)
{
    if (OnUndoCountChange)
        OnUndoCountChange(this, Count);
}

void TCVPicChildWin::UpdateStatusPanels()
{
    if (!StatusBar())
        return;
    SetPanel(0, "");
    SetPanel(1, Format(SPictureSize, Picture().Width(), Picture().Height()));
    SetPanel(2, FModified ? SModified : "");
    SetPanel(3, "");
}

void TCVPicChildWin::ShowCursorPos(int X, int Y)
{
    SetPanel(3, Format(SCursorPos, X, Y));
}

void TCVPicChildWin::ClearCursorPos()
{
    SetPanel(3, "");
}

void TCVPicChildWin::RepaintSelection()
{
    if (FSelection)
        FPictureScrollBox->InvalidatePictureRect(FSelection->Bounds(), 0);
}

// ---- Selection ------------------------------------------------------------------------------------------

void TCVPicChildWin::AttachSelection()
{
    TPictureSelection& sel = *FSelection;
    TEffectsBitmap& picture = sel.Picture();
    picture.OnProgressStart = [this](TEffectsBitmap*, int Max) { DoProgressStart(Max); };
    picture.OnProgress = [this](TEffectsBitmap*) { DoProgressStep(); };
    picture.OnProgressEnd = [this](TEffectsBitmap*) { DoProgressEnd(); };
    sel.OnChange = [this](TPictureSelection*) { RepaintSelection(); };
    sel.StartMarchingAnts(false);
    Changed(pcPixels | pcSelectionNew, true);
    FPictureScrollBox->setCursor(ToolCursor(crCVMove));
}

void TCVPicChildWin::MakeSelection(const std::function<std::unique_ptr<TPictureSelection>()>& Make, const TRect* Area)
{
    // A selection that cannot be made leaves none; its message is shown and goes no further.
    try {
        FSelection.reset();
        FSelection = Make();
        // The view repaints at once: the new selection must already float over its hole.
        if (Area)
            FPictureScrollBox->InvalidatePictureRect(*Area, 0);
        AttachSelection();
    } catch (...) {
        FSelection.reset();
        if (Area)
            FPictureScrollBox->InvalidatePictureRect(*Area, 0);
        ReportEventException(this);
    }
}

void TCVPicChildWin::NewRectSelection(const TRect& R, TColor TransparentColour)
{
    if (R.Width() == 0 || R.Height() == 0)
        return;
    MakeSelection([&] { return TRectPictureSelection::CreateSelection(&Picture(), R, BackgroundColour, TransparentColour); }, &R);
}

void TCVPicChildWin::NewFreehandSelection(TFreehandPoints& Points, TColor TransparentColour)
{
    // A loop with no area, or none over the picture, selects nothing. The greatest X and Y are
    // the fill's exclusive right and bottom.
    TRect bounds, inside;
    Points.GetBounds(bounds);
    if (!Points.HasArea() || !IntersectRect(inside, bounds, Rect(0, 0, Picture().Width(), Picture().Height()))) {
        FPictureScrollBox->RepaintAll();
        return;
    }
    bounds.Right += 1;
    bounds.Bottom += 1;
    MakeSelection(
        [&] { return TFreehandPictureSelection::CreateSelection(&Picture(), Points, BackgroundColour, TransparentColour); },
        &bounds);
}

void TCVPicChildWin::NewBitmapSelection(TBitmap* Bitmap, TPoint Origin, TColor TransparentColour)
{
    if (!Bitmap)
        return;
    MakeSelection([&] { return TBitmapPictureSelection::CreateSelection(&Picture(), Bitmap, Origin, TransparentColour); },
                  nullptr);
}

void TCVPicChildWin::NewMagicWandSelection(TPoint Point)
{
    MakeSelection(
        [&] { return TMagicWandPictureSelection::CreateSelection(&Picture(), Point, MagicWandTolerance, BackgroundColour); },
        nullptr);
}

void TCVPicChildWin::DropSelection(bool Apply, bool Repaint) { ReleaseSelection(Apply, Repaint); }

std::unique_ptr<TPictureSelection> TCVPicChildWin::ReleaseSelection(bool Apply, bool Repaint)
{
    if (!FSelection)
        return nullptr;
    EndStroke();
    const TRect bounds = FSelection->Bounds();
    if (Apply) {
        Picture().SaveUndoTiles(bounds);
        FSelection->PasteIntoParent();
    }
    // Dropping without pasting throws the floating pixels away: a change worth a question at close too.
    Changed(pcSelectionRemoved, true);
    std::unique_ptr<TPictureSelection> dropped = std::move(FSelection);
    if (Repaint)
        FPictureScrollBox->InvalidatePictureRect(bounds, 0);
    FPictureScrollBox->setCursor(ToolCursor(CurrentCursor));
    return dropped;
}

void TCVPicChildWin::ApplySelectionWithUndo(TCVPicGenUndoAction& Step)
{
    Step.SetBitmap(&Picture());
    if (std::unique_ptr<TPictureSelection> dropped = ReleaseSelection(true, true))
        Step.TakeSelection(*dropped);
}

void TCVPicChildWin::RemoveSelection()
{
    EndStroke();
    FSelection.reset();
    FPictureScrollBox->setCursor(ToolCursor(CurrentCursor));
}

// ---- Child services ---------------------------------------------------------------------------------------

void TCVPicChildWin::SetStatusBar(TXStatusBar* Value)
{
    TExtraBtnForm::SetStatusBar(Value);
    UpdateStatusPanels();
}

void TCVPicChildWin::BeginWait()
{
    TExtraBtnForm::BeginWait();
    if (FSelection)
        FSelection->StopMarchingAnts();
}

void TCVPicChildWin::EndWait()
{
    TExtraBtnForm::EndWait();
    if (FSelection)
        FSelection->StartMarchingAnts(false);
}

void TCVPicChildWin::DoExtraBtnClick()
{
    TExtraBtnForm::DoExtraBtnClick();
    FPictureScrollBox->BeginUpdate();
    BestFit();
    FPictureScrollBox->EndUpdate();
    Changed(pcWindowSize, true);
}

void TCVPicChildWin::DoExtraBtnEnter()
{
    TExtraBtnForm::DoExtraBtnEnter();
    SetPanel(0, SBestFitHint);
}

void TCVPicChildWin::DoExtraBtnLeave()
{
    TExtraBtnForm::DoExtraBtnLeave();
    SetPanel(0, "");
}

void TCVPicChildWin::PaintExtraBtn()
{
    TExtraBtnForm::PaintExtraBtn();
    ComputeFrameSize();
    update();
}

void TCVPicChildWin::WindowStateChanged(Qt::WindowStates OldState, Qt::WindowStates NewState)
{
    const bool was = OldState & Qt::WindowActive, is = NewState & Qt::WindowActive;
    if (is && !was) {
        UpdateStatusPanels();
        if (FSelection)
            FSelection->StartMarchingAnts(false);
        update();
    } else if (was && !is) {
        if (FSelection)
            FSelection->StopMarchingAnts();
    }
}

// ---- View handlers --------------------------------------------------------------------------------------

void TCVPicChildWin::PictureScrollBoxExit()
{
    if (!isActiveWindow() && mdiArea() && mdiArea()->activeSubWindow() != this)
        return;
    ClearCursorPos();
    if (CurrentTool == ctDropper && FMainForm)
        FMainForm->HideColourRGB();
}

void TCVPicChildWin::PictureScrollBoxBeforeZoomPaint(TBitmap& Bitmap, const TRect& R)
{
    if (FSelection)
        FSelection->DrawOnto(Bitmap, R);
}

void TCVPicChildWin::PictureScrollBoxPainting(TBitmap& Image, const TRect& R)
{
    const TPictureScrollBox& box = *FPictureScrollBox;
    const TRect painted = box.PictureRectToClient(R);
    if (FSelection && !FSelection->Moving) {
        const TRect sel = box.PictureRectToClient(FSelection->Bounds());
        FSelection->DrawOutline(Image, TPoint{painted.Left, painted.Top}, sel, ZoomFactor());
    }
    if (FBand != rbNone)
        DrawRubberBand(Image, TPoint{painted.Left, painted.Top});
}

void TCVPicChildWin::wheelEvent(QWheelEvent* Event)
{
    const int dy = Event->angleDelta().y();
    if (dy == 0) {
        TExtraBtnForm::wheelEvent(Event);
        return;
    }
    Event->accept();
    GuardEvent(this, [&] { SetZoom(ZoomFactor() + (dy > 0 ? 1 : -1), -1, -1); });
}

void TCVPicChildWin::keyPressEvent(QKeyEvent* Event)
{
    // The arrow keys as the desktop's key codes.
    int key = 0;
    switch (Event->key()) {
    case Qt::Key_Left: key = 37; break;
    case Qt::Key_Up: key = 38; break;
    case Qt::Key_Right: key = 39; break;
    case Qt::Key_Down: key = 40; break;
    default: break;
    }
    if (key != 0) {
        GuardEvent(this, [&] { FormKeyDown(key, ShiftStateOf(Event->modifiers())); });
        if (key == 0) {
            Event->accept();
            return;
        }
    }
    TExtraBtnForm::keyPressEvent(Event);
}

// ---- The three kinds --------------------------------------------------------------------------------------

TCVNewPicChildWin::TCVNewPicChildWin(QWidget* AOwner, IPicChildHost* MainForm, const std::string& DisplayName,
                                     int Width, int Height, TColor Colour)
    : TCVPicChildWin(AOwner, MainForm)
{
    SetDisplayName(DisplayName);
    RequirePicture(Width > 0 && Height > 0 && PictureScrollBox().NewPicture(Width, Height, Colour), Width, Height);
    BestFit();
}

TCVCopyPicChildWin::TCVCopyPicChildWin(QWidget* AOwner, IPicChildHost* MainForm, const std::string& DisplayName,
                                       TGraphic* Graphic)
    : TCVPicChildWin(AOwner, MainForm)
{
    if (!Graphic)
        throw ECanvelloError(SInvalidPicture);
    SetDisplayName(DisplayName);
    RequirePicture(PictureScrollBox().AssignGraphic(Graphic), Graphic->Width(), Graphic->Height());
    BestFit();
}

TCVFilePicChildWin::TCVFilePicChildWin(QWidget* AOwner, IPicChildHost* MainForm, const std::string& FileName)
    : TCVPicChildWin(AOwner, MainForm)
{
    SetFileNameField(FileName);
    SetDisplayName(ExtractFileName(FileName));
    if (!FileExists(FileName))
        throw ECanvelloError(Format(SFileNotExist, FileName));
    std::string reason;
    if (!PictureScrollBox().LoadFromFile(FileName, false, &reason))
        throw ECanvelloError(Format(SInvalidPictureFormat, FileName) + (reason.empty() ? "" : "\n" + reason));
    BestFit();
}
