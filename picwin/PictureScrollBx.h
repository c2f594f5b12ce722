#pragma once
// The zoomable picture view of every picture window. It owns the picture, shows it at a zoom of 1 to
// 15 with a pixel grid from zoom 10 up, maps between view and picture coordinates, and repaints the
// whole visible area or one picture rectangle at a time. Updates nest: while one is open nothing is
// laid out or painted, and closing it keeps the view's centre.
//
// The view keeps what it shows in a client-sized 32-bit bitmap: full and partial repaints write into
// it, tools draw rubber bands on it (ViewCanvas), and Qt's paint events only copy it to the screen.
// The arithmetic lives in namespace picview, free of widgets.
#include "image/EffectsBitmap.h"
#include "picwin/IdleScrolling.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

class TPictureScrollBox;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
// Keys and buttons held during a mouse event.
using TShiftState = unsigned;
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
// The shift state of Qt's keyboard modifiers and pressed mouse buttons.
TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons = Qt::NoButton);

using TPictureNotifyEvent = std::function<void(TPictureScrollBox* Sender)>;
// (Sender, button, keys, X, Y): view coordinates, which lie outside the view while the mouse is held.
using TPictureMouseEvent = std::function<void(TPictureScrollBox* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TPictureMouseMoveEvent = std::function<void(TPictureScrollBox* Sender, TShiftState Shift, int X, int Y)>;
// (Sender, image about to be shown, the picture rectangle it holds).
using TPicturePaintingEvent = std::function<void(TPictureScrollBox* Sender, TBitmap& PicImage, const TRect& GRect)>;

namespace picview {

constexpr int kMinZoom = 1;
constexpr int kMaxZoom = 15;
constexpr int kGridZoom = 10; // the grid shows from this zoom up

// Floor division (Divisor > 0): a point left of or above the view maps to -1, not 0.
inline int FloorDiv(int Value, int Divisor)
{
    const int q = Value / Divisor;
    return (Value % Divisor != 0 && Value < 0) ? q - 1 : q;
}
// The view starts at a whole picture pixel.
inline int SnapToZoom(int Pos, int Zoom) { return (Pos / Zoom) * Zoom; }
inline int ClientToPicture(int V, int ScrollPos, int Zoom) { return FloorDiv(SnapToZoom(ScrollPos, Zoom) + V, Zoom); }
inline int PictureToClient(int V, int ScrollPos, int Zoom) { return V * Zoom - SnapToZoom(ScrollPos, Zoom); }
// Scroll position that centres picture coordinate X in a client of ClientSize, kept inside the range.
int CentreScroll(int X, int Zoom, int ClientSize, int PictureSize);
// The part of the picture a view at (HPos, VPos) shows, one picture pixel beyond the view.
TRect VisibleRect(int HPos, int VPos, int Zoom, int ClientW, int ClientH, int PictureW, int PictureH);
// Picture rectangle R (corners in any order) grown by Margin + 1 and clipped to Visible; empty when
// nothing of it is shown.
TRect RepaintRect(const TRect& R, int Margin, const TRect& Visible);

// Which bars the view needs and their ranges and steps.
struct TViewLayout {
    bool HorzNeeded = false, VertNeeded = false;
    int HorzRange = 0, VertRange = 0;
    int Increment = 1, PageIncrement = 8;
};
// BoxW, BoxH: the whole box; BorderW, BorderH: both borders together; VBarW, HBarH: bar thicknesses.
TViewLayout ComputeLayout(int BoxW, int BoxH, int BorderW, int BorderH, int VBarW, int HBarH, int PictureW,
                          int PictureH, int Zoom);

// Dest (24-bit) becomes Source (24-bit) with every pixel Zoom x Zoom.
void ZoomPixels(const TBitmap& Source, TBitmap& Dest, int Zoom);
// Inverts the first column and the first row of every zoomed pixel of a 24 or 32-bit bitmap; where a
// column and a row cross, the pixel keeps its colour.
void DrawZoomGrid(TBitmap& Bitmap, int Zoom);

} // namespace picview

// The view's own child: covers the client area, paints the view and takes the mouse.
class TPictureScrollBoxCanvas : public QWidget {
public:
    explicit TPictureScrollBoxCanvas(TPictureScrollBox* Box);
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;
    bool MouseInside() const { return FMouseInside; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    TPictureScrollBox* FBox;
    bool FMouseInside = false;
    bool FLeftPressedInside = false;
};

class TPictureScrollBox : public TIdleScrollBox {
public:
    explicit TPictureScrollBox(QWidget* Parent = nullptr);
    ~TPictureScrollBox() override;

    // ---- Picture ------------------------------------------------------------------------------------
    TEffectsBitmap& Bitmap() { return *FPicture; }
    const TEffectsBitmap& Bitmap() const { return *FPicture; }
    // The picture takes Value's size and pixels (null: an empty picture); zoom 1.
    void SetBitmap(TBitmap* Value);
    // False when the file cannot be loaded (the reason into Error when given); the picture then
    // stays as it was.
    bool LoadFromFile(const std::string& FileName, bool ForceBMP, std::string* Error = nullptr);
    // A Width x Height picture of Colour; False (picture unchanged) for a size that cannot be made.
    bool NewPicture(int Width, int Height, TColor Colour);
    // False, with nothing changed, for a missing or empty graphic or one that cannot be drawn.
    bool AssignGraphic(TGraphic* Graphic);
    // Dest becomes 24-bit with the picture's pixels of R.
    void CopyPictureRect(const TRect& R, TBitmap& Dest) const;

    // ---- Zoom and scrolling ---------------------------------------------------------------------------
    int ZoomFactor() const { return FZoomFactor; }
    // The new zoom shows the picture's top-left corner.
    void SetZoomFactor(int Value) { ZoomAt(Value, 0, 0); }
    // Zoom 1..15 centred on picture point (CentreX, CentreY); a negative coordinate keeps the view's
    // centre. False, with nothing changed, for another zoom.
    bool ZoomAt(int Zoom, int CentreX, int CentreY);
    // Centres the view on picture point (X, Y).
    void ScrollTo(int X, int Y);
    // Scrolls by DX, DY zoomed pixels.
    void ScrollBy(int DX, int DY);
    bool ShowZoomGrid() const { return FShowZoomGrid; }
    void SetShowZoomGrid(bool Value);

    // ---- Mapping ---------------------------------------------------------------------------------------
    int ClientToPictureX(int X) const { return picview::ClientToPicture(X, HorzScrollBar().Position(), FZoomFactor); }
    int ClientToPictureY(int Y) const { return picview::ClientToPicture(Y, VertScrollBar().Position(), FZoomFactor); }
    int PictureToClientX(int X) const { return picview::PictureToClient(X, HorzScrollBar().Position(), FZoomFactor); }
    int PictureToClientY(int Y) const { return picview::PictureToClient(Y, VertScrollBar().Position(), FZoomFactor); }
    TRect PictureRectToClient(const TRect& R) const;
    TRect ClientRectToPicture(const TRect& R) const;
    int CentreScrollX(int X) const;
    int CentreScrollY(int Y) const;
    // The view point (X, Y) shows a pixel of the picture.
    bool PointInPicture(int X, int Y) const;
    // Canvas over what the view shows, in view coordinates. Asking for it schedules the view for the
    // screen, so that figures drawn on it now show when control returns to the event loop.
    TCanvas& ViewCanvas();
    // The picture part shown by the last full repaint.
    TRect VisibleRect() const { return FVisibleRect; }

    // ---- Repainting ------------------------------------------------------------------------------------
    virtual void RepaintAll();
    // Repaints picture rectangle R grown by Margin at once.
    void InvalidatePictureRect(const TRect& R, int Margin);
    void InvalidateSegment(int X1, int Y1, int X2, int Y2, int Margin) { InvalidatePictureRect(Rect(X1, Y1, X2, Y2), Margin); }
    void Refresh();
    void Relayout();
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // Copies the shown view onto Painter (the canvas control's paint, and benchmarks).
    void PaintView(QPainter& Painter, const QRect& Clip);
    QWidget* CanvasControl() const { return FCanvas; }

    // ---- Events ------------------------------------------------------------------------------------------
    TPictureMouseEvent OnMouseDown, OnMouseUp;
    TPictureMouseMoveEvent OnMouseMove;
    // The mouse entered and left the picture area.
    TPictureNotifyEvent OnEnter, OnExit;
    TPictureNotifyEvent OnClick, OnDblClick;
    // After the view was laid out for a new size.
    TPictureNotifyEvent OnEndResize;
    // After a full repaint.
    TPictureNotifyEvent OnPaint;
    // The unzoomed copy of the picture part about to be shown, and then the image that is shown.
    TPicturePaintingEvent OnBeforeZoomPaint, OnPainting;
    // Whether those two would draw anything now. When it is set and says no, the view at 1:1 is
    // made straight from the picture, without the copy they are handed (and without them).
    std::function<bool(const TPictureScrollBox*)> OnHasOverlay;

    void DoScrolling(int DeltaX, int DeltaY) override;
    void SetBorderStyle(TIdleBorderStyle Value) override;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void ClientAreaChanged() override;
    // Lays out the bars for the picture and zoom; with SetPositions the bars go to HPos, VPos.
    void UpdateScrollRanges(bool SetPositions, int HPos, int VPos);
    // Lays the bars out for the picture and zoom, then centres the view on picture point (X, Y).
    void LayoutCentredOn(int X, int Y);

private:
    friend class TPictureScrollBoxCanvas;
    void ReadMetrics();
    // Builds the shown view from the picture (the work of a full repaint, without flushing); false
    // for an empty picture, which shows the pattern only.
    bool BuildView();
    void FillPattern(TBitmap& Target, const TRect& R) const;
    // Image's 24-bit pixels of From into the shown view at (X, Y), opaque.
    void ComposeIntoScreen(const TBitmap& Image, const TRect& From, int X, int Y);
    // Picture rectangle R is shown exactly as the picture has it: zoom 1, all inside, no overlay.
    bool ShowsPictureAsItIs(const TRect& R) const;
    // Paints picture rectangle R (inside VisibleRect) into the shown view; returns it in view pixels.
    TRect PaintPictureRect(const TRect& R);
    // After a scroll: shifts the shown view and paints the strips that came into view.
    void ScrollView(int DeltaX, int DeltaY);
    bool ViewIsCurrent() const;
    // Loads the picture through Load on a copy, so that a failure leaves it as it was.
    bool ReplacePicture(const std::function<void(TEffectsBitmap&)>& Load);
    void PictureReplaced();

    bool FRepaintEnabled = true;
    int FUpdateCount = 0;
    TPictureScrollBoxCanvas* FCanvas = nullptr;
    std::unique_ptr<TEffectsBitmap> FPicture;
    std::unique_ptr<TBitmap> FPattern;
    std::unique_ptr<TBitmap> FScreen; // what the view shows, client-sized, 32-bit
    int FZoomFactor = 1;
    TRect FVisibleRect;
    bool FScrolled = false;
    TPoint FSavedCentre;
    int FSavedWidth = 0, FSavedHeight = 0, FSavedZoom = 1;
    bool FShowZoomGrid = true;
    int FHScrollHeight = 0, FVScrollWidth = 0;
    int FBorderWidth = 0, FBorderHeight = 0;
    // The state the shown view was built for.
    struct TViewKey {
        int HSnap = -1, VSnap = -1, Zoom = 0, ClientW = -1, ClientH = -1, PictureW = -1, PictureH = -1;
        bool Grid = false;
        friend bool operator==(const TViewKey&, const TViewKey&) = default;
    };
    TViewKey CurrentKey() const;
    TViewKey FViewKey;
};
