#pragma once
// The picture window: an MDI child that holds and edits one picture. It owns the picture view (whose
// bitmap is the picture), the floating selection and the undo list, reports every change through one
// event carrying change flags and the undo depth through another, and fits itself to the zoomed
// picture. Three kinds differ only in how the picture is first made: blank, a copy of a graphic, or
// a picture file.
#include "globals/CVToolVars.h"
#include "image/SelPoints.h"
#include "picwin/CVChildClasses.h"
#include "picwin/CVUndo.h"
#include "picwin/PictureChanges.h"
#include "picwin/PictureScrollBx.h"
#include "picwin/PicturePreview.h"
#include "platform/SysUtils.h"

#include <QCursor>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TCVPicChildWin;
class TPictureSelection;
class TSprayCan;

CANVELLO_EXCEPTION(ECanvelloError, Exception)

// Texts of the picture window.
inline constexpr const char* SBestFitHint = "Resize window to best fit";
inline constexpr const char* SPictureSize = "%dw x %dh";
inline constexpr const char* SModified = "Modified";
inline constexpr const char* SCursorPos = "%d , %d";
inline constexpr const char* SPicCaption = "%s [%d:1]";
inline constexpr const char* SInvalidPicture = "Invalid Picture";
inline constexpr const char* SFileNotExist = "File %s does not exist";
inline constexpr const char* SInvalidPictureFormat = "Invalid Picture format in %s";
inline constexpr const char* SCannotMakePicture = "Unable to create a picture of %d x %d pixels";

// What a picture window asks of the main window that holds it.
class IPicChildHost {
public:
    virtual ~IPicChildHost() = default;
    // The largest client area a child may take inside the frame.
    virtual void GetMaxChildClientSize(int& Width, int& Height) = 0;
    virtual void SetForegroundColour(TColor Colour, bool MoveMarker) = 0;
    virtual void SetBackgroundColour(TColor Colour, bool MoveMarker) = 0;
    virtual void ShowColourRGB(TColor Colour) = 0;
    virtual void HideColourRGB() = 0;
    virtual bool IsSelectionTool() = 0;
    // Asks for the text tool's text; false when there is none.
    virtual bool QueryAddText() = 0;
};

// The shapes of the tool cursors (crCV... of the tool state), registered by the main window; an
// unregistered one gives the cross.
void RegisterToolCursor(int16_t Id, const QCursor& Cursor);
QCursor ToolCursor(int16_t Id);

using TPictureChangeEvent = std::function<void(TCVPicChildWin* Sender, TPictureChanges Flags)>;
using TUndoCountChangeEvent = std::function<void(TCVPicChildWin* Sender, int Count)>;

class TCVPicChildWin : public TExtraBtnForm, public IUndoTarget {
public:
    TCVPicChildWin(QWidget* AOwner, IPicChildHost* MainForm);
    ~TCVPicChildWin() override;

    IPicChildHost* MainForm() const { return FMainForm; }
    TPictureScrollBox& PictureScrollBox() override { return *FPictureScrollBox; }
    TEffectsBitmap& Picture() { return FPictureScrollBox->Bitmap(); }
    TCVUndoActionFactory& UndoList() { return *FUndoList; }
    TPicturePreview& Preview() { return *FPreview; }

    const std::string& FileName() const { return FFileName; }
    const std::string& DisplayName() const { return FDisplayName; }
    // Stores Name and sets the caption when it differs.
    void SetDisplayName(const std::string& Name);
    bool Modified() const override { return FModified; }
    // Stores the flag; panel 2 follows when it changes.
    void SetModified(bool Value) override;

    // The one way every part of the window reports a change.
    void Changed(TPictureChanges Flags, bool SetModifiedFlag) override;
    // Sizes the window to the zoomed picture, growing or shrinking toward the bottom right; false
    // when nothing changed (no main form, not in the normal state, or already that size).
    bool BestFit(int PicWidth, int PicHeight) override;
    bool BestFit() { return BestFit(Picture().Width(), Picture().Height()); }
    // The window's file was renamed or moved by the program: it follows to NewFileName (file name,
    // display name and caption).
    void FileRenamed(const std::string& NewFileName);
    // The window's file is gone (to the trash, or replaced by another file): the pixels stay and
    // count as modified, also after an undo, so that closing the window asks.
    void FileLost();
    // Saves the picture with the floating selection merged into the file only. False on any failure
    // (its reason into Error when given), with the name and Modified as they were.
    bool SaveToFile(const std::string& FileName, std::string* Error = nullptr);
    // The pixels Save writes: the picture itself, or, with a floating selection, Merged made a copy
    // of it with the selection pasted in.
    TXBitmap& SavedPicture(TXBitmap& Merged);
    // Zoom around a picture point; a negative coordinate means the centre of the view.
    void SetZoom(int Zoom, int CentreX, int CentreY);
    int ZoomFactor() const { return FPictureScrollBox->ZoomFactor(); }
    void ScrollTo(int X, int Y);

    bool IsPreviewing() const { return FPreview->Active(); }
    bool CanUndo() const { return FUndoList->Count() >= 1; }
    void Undo();
    // A new undo step of ActionClass, first in the list, for the caller to fill.
    TCVBaseUndoAction* AddUndoAction(TCVUndoActionClass ActionClass);
    template <class T> T* AddUndoAction() { return static_cast<T*>(AddUndoAction(&CreateUndoAction<T>)); }
    // Frees the newest step again, for a command that failed before it changed anything.
    void DropNewestUndoStep();
    // At the end of a stroke or fill: the newest general step stops saving tiles, or keeps of its
    // picture copy only the rectangle that changed (undo gives the same picture back). Steps that
    // changed the size stay whole.
    void CompactUndoStep();

    void UpdateStatusPanels();
    void ShowCursorPos(int X, int Y);
    void ClearCursorPos();
    void RepaintSelection();

    // ---- Selection ----------------------------------------------------------------------------------
    TPictureSelection* Selection() override { return FSelection.get(); }
    void AttachSelection();
    void NewRectSelection(const TRect& R, TColor TransparentColour);
    void NewFreehandSelection(TFreehandPoints& Points, TColor TransparentColour);
    void NewBitmapSelection(TBitmap* Bitmap, TPoint Origin, TColor TransparentColour) override;
    void NewMagicWandSelection(TPoint Point);
    void DropSelection(bool Apply, bool Repaint);
    // Pastes the selection back as one undo step: Step keeps the picture as it was beneath the
    // selection and the selection itself, whose pixels it takes once they are back on the picture.
    void ApplySelectionWithUndo(TCVPicGenUndoAction& Step);
    void RemoveSelection() override;

    // ---- Picture operations: each works on the floating selection when there is one, else on the
    // picture, records one undo step and reports its change flags ------------------------------------
    void ClearPicture();
    void GreyScale();
    void Negative();
    void Flip();
    void Mirror();
    void ResizePicture(int Width, int Height);
    // Nothing at all (no undo step) when the size is the picture's.
    void ResamplePicture(int Width, int Height);
    void EnlargeCanvas(int Width, int Height, bool Centred, TColor Colour);
    // Only with a selection: the picture becomes the selection's pixels.
    void Crop();
    void SelectAll();
    // False when the selection could not be copied (then nothing changed).
    bool CopyToClipboard();
    bool CutToClipboard();
    // A copy of Bitmap floats at the visible rectangle's top left; false for a missing bitmap.
    bool PasteBitmap(TBitmap* Bitmap, TColor TransparentColour);
    // False when the clipboard holds no picture.
    bool PasteFromClipboard();

    // ---- Adjustments: Preview shows the result on the picture, keeping the unadjusted state; the
    // same call with Preview false commits it as one undo step -------------------------------------
    void RotatePicture(int Angle, TColor BackColour, bool Preview);
    void BrightenPicture(int Amount, bool Preview);
    void GammaCorrectPicture(double Gamma, bool Preview);
    void BlurPicture(double Radius, bool Preview);
    void AdjustRGBPicture(int Red, int Green, int Blue, bool Preview);
    // True when the picture already shows the result of Params.
    bool PrepareAdjust(bool Preview, const TPreviewParams& Params);
    void BeginPreview(const TPreviewParams& Params);
    // Puts the unadjusted state back (a dialog cancelled); nothing unless previewing.
    void EndPreview();

    // ---- Child window services ------------------------------------------------------------------------
    void SetStatusBar(TXStatusBar* Value) override;
    void BeginWait() override;
    void EndWait() override;
    void PaintExtraBtn() override;
    virtual void DoUndoCountChange(int Count);

    TPictureChangeEvent OnPictureChange;
    TUndoCountChangeEvent OnUndoCountChange;

    // ---- Tools --------------------------------------------------------------------------------------
    // A stroke runs from the press that sets MouseState to the release of the same button.
    bool StrokeRunning() const { return MouseState != 0; }
    // The tool that began the running (or last) stroke.
    TCVTool StrokeTool() const { return FStrokeTool; }
    // Ends a running stroke cleanly before something else changes the picture, the selection or the
    // zoom: the spray can stops, a shape outline and any rubber band are removed, a dragged
    // selection stops moving, the stroke's undo step is compacted. Nothing while no stroke runs or
    // from inside the tools' own handlers.
    void EndStroke();
    // The window is its MDI area's current child, or stands alone.
    bool IsActiveChild() const;

    // Tool state while a tool is dragged.
    std::unique_ptr<TSprayCan> SprayCan;
    int32_t LastX = 0, LastY = 0;
    int32_t NonClientWidth = 0, NonClientHeight = 0;
    uint8_t MouseState = 0; // 0 none, 1 left, 2 right, 3 middle
    TRect ToolRect;
    TRect SelBandRect;
    std::unique_ptr<TFreehandPoints> FreehandPoints;

protected:
    void DoExtraBtnClick() override;
    void DoExtraBtnEnter() override;
    void DoExtraBtnLeave() override;
    void wheelEvent(QWheelEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void SetFileNameField(const std::string& Value) { FFileName = Value; }
    // Whatever an undo brings back differs from the file.
    void MarkUndoStepsModified();
    // Turns a picture that could not be made into a clear error.
    void RequirePicture(bool Made, int Width, int Height);

private:
    void ComputeFrameSize();
    void SetPanel(int Index, const std::string& Text);
    void UpdateCaption();
    void WindowStateChanged(Qt::WindowStates OldState, Qt::WindowStates NewState);
    // Replaces the selection by what Make gives, repainting Area (when given) either way.
    void MakeSelection(const std::function<std::unique_ptr<TPictureSelection>()>& Make, const TRect* Area);
    void PictureScrollBoxExit();
    // DropSelection that hands the dropped selection (null when there was none) to the caller.
    std::unique_ptr<TPictureSelection> ReleaseSelection(bool Apply, bool Repaint);
    void PictureScrollBoxBeforeZoomPaint(TBitmap& Bitmap, const TRect& R);
    void PictureScrollBoxPainting(TBitmap& Image, const TRect& R);
    void PictureScrollBoxMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    void PictureScrollBoxMouseMove(TShiftState Shift, int X, int Y);
    void PictureScrollBoxMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    void FormKeyDown(int& Key, TShiftState Shift);

    // ---- Tool helpers ------------------------------------------------------------------------------
    enum TRubberBand : uint8_t { rbNone, rbZoom, rbRect, rbFreehand };
    // Marks the tools' own handlers running: EndStroke from inside them does nothing.
    struct TToolScope {
        explicit TToolScope(TCVPicChildWin& W) : Window(W) { ++Window.FToolBusy; }
        ~TToolScope() { --Window.FToolBusy; }
        TCVPicChildWin& Window;
    };
    void BeginStroke(TShiftState Shift, int X, int Y);
    void MoveStroke(int X, int Y);
    void ReleaseStroke();
    // Undoes what the running stroke has left on the screen and in the picture, then ends it.
    void CancelStroke();
    // MouseState := 0 and the stroke's undo step keeps only what changed.
    void FinishStroke();
    TColor ButtonColour() const { return MouseState == 1 ? ForegroundColour : BackgroundColour; }
    TColor OtherColour() const { return MouseState == 1 ? BackgroundColour : ForegroundColour; }
    int Snap(int V) const { return picview::SnapToZoom(V, ZoomFactor()); }
    void SetViewCursor(int16_t Id);
    // The shape tool's figure of R with the picture canvas's current pen.
    void DrawShapeOutline(const TRect& R);
    void DrawShape(const TRect& R, TColor Colour);
    // How far a shape drag near or beyond the view's edge scrolls it (client pixels).
    TPoint AutoScrollDelta(int X, int Y, int Margin) const;
    // Rubber bands live in client pixels and are drawn into every repainted patch of the view.
    void DrawRubberBand(TBitmap& Image, TPoint Origin) const;
    void InvalidateClientRect(const TRect& R);
    void InvalidateBandRect(const TRect& R);
    // The band's moving corner to client point (X, Y), snapped; old and new edges repainted.
    void MoveBandCorner(TRect& Band, int X, int Y);
    void RemoveRubberBand();

    IPicChildHost* FMainForm;
    TPictureScrollBox* FPictureScrollBox;
    std::unique_ptr<TPicturePreview> FPreview;
    std::unique_ptr<TCVUndoActionFactory> FUndoList;
    std::string FFileName;
    std::string FDisplayName;
    bool FModified = false;
    std::unique_ptr<TPictureSelection> FSelection;
    TCVTool FStrokeTool = ctPen;
    bool FStrokeStep = false;   // the running stroke recorded an undo step
    bool FShapeOutline = false; // the shape outline is in the picture's pixels
    int FToolBusy = 0;
    TPoint FGrab;               // where the moved selection was taken, from its top left
    TRubberBand FBand = rbNone;
    std::vector<TPoint> FBandPath; // the freehand band, client pixels
};

// A blank picture of a size and colour.
class TCVNewPicChildWin : public TCVPicChildWin {
public:
    TCVNewPicChildWin(QWidget* AOwner, IPicChildHost* MainForm, const std::string& DisplayName, int Width, int Height,
                      TColor Colour);
};

// A copy of a graphic.
class TCVCopyPicChildWin : public TCVPicChildWin {
public:
    TCVCopyPicChildWin(QWidget* AOwner, IPicChildHost* MainForm, const std::string& DisplayName, TGraphic* Graphic);
};

// A picture file.
class TCVFilePicChildWin : public TCVPicChildWin {
public:
    TCVFilePicChildWin(QWidget* AOwner, IPicChildHost* MainForm, const std::string& FileName);
};
