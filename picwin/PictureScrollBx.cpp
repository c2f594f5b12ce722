// The zoomable picture view.
#include "picwin/PictureScrollBx.h"

#include "globals/CVGlobal.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

// ---- Arithmetic --------------------------------------------------------------------------------------

namespace picview {

int CentreScroll(int X, int Zoom, int ClientSize, int PictureSize)
{
    const int half = ClientSize >> 1;
    const int p = std::max(X * Zoom - half, 0);
    if (PictureSize * Zoom > ClientSize + p)
        return p;
    return std::max(PictureSize * Zoom - ClientSize, 0);
}

TRect VisibleRect(int HPos, int VPos, int Zoom, int ClientW, int ClientH, int PictureW, int PictureH)
{
    TRect r;
    r.Left = std::max(HPos / Zoom, 0);
    r.Top = std::max(VPos / Zoom, 0);
    r.Right = std::min(ClientW / Zoom + r.Left + 1, PictureW);
    r.Bottom = std::min(ClientH / Zoom + r.Top + 1, PictureH);
    return r;
}

TRect RepaintRect(const TRect& R, int Margin, const TRect& Visible)
{
    TRect r = R;
    if (r.Left > r.Right)
        std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom)
        std::swap(r.Top, r.Bottom);
    r.Left = std::max(r.Left - Margin - 1, Visible.Left);
    r.Top = std::max(r.Top - Margin - 1, Visible.Top);
    r.Right = std::min(r.Right + Margin + 1, Visible.Right);
    r.Bottom = std::min(r.Bottom + Margin + 1, Visible.Bottom);
    if (r.Left >= r.Right || r.Top >= r.Bottom)
        return {};
    return r;
}

TViewLayout ComputeLayout(int BoxW, int BoxH, int BorderW, int BorderH, int VBarW, int HBarH, int PictureW,
                          int PictureH, int Zoom)
{
    TViewLayout l;
    int availW = BoxW - BorderW;
    int availH = BoxH - BorderH;
    const int pw = PictureW * Zoom, ph = PictureH * Zoom;
    if (availH < ph)
        availW -= VBarW;
    l.HorzNeeded = pw > availW;
    if (l.HorzNeeded) {
        availH -= HBarH;
        // One more zoomed pixel when the view ends inside a pixel, so that the last one shows whole.
        l.HorzRange = availW % Zoom != 0 ? (PictureW + 1) * Zoom : pw;
    }
    l.VertNeeded = availH < ph;
    if (l.VertNeeded)
        l.VertRange = availH % Zoom != 0 ? (PictureH + 1) * Zoom : ph;
    l.Increment = Zoom;
    l.PageIncrement = 8 * Zoom;
    return l;
}

void ZoomPixels(const TBitmap& Source, TBitmap& Dest, int Zoom)
{
    const int sw = Source.Width(), sh = Source.Height();
    Dest.SetPixelFormat(pf24bit);
    Dest.SetSize(sw * Zoom, sh * Zoom);
    for (int y = 0; y < sh; ++y) {
        const TRGBTriple* in = Source.Row24(y);
        TRGBTriple* out = Dest.Row24(y * Zoom);
        for (int x = 0; x < sw; ++x) {
            const TRGBTriple p = in[x];
            for (int k = 0; k < Zoom; ++k)
                *out++ = p;
        }
        const uint8_t* first = Dest.ScanLine(y * Zoom);
        for (int k = 1; k < Zoom; ++k)
            std::memcpy(Dest.ScanLine(y * Zoom + k), first, size_t(sw) * Zoom * 3);
    }
}

void DrawZoomGrid(TBitmap& Bitmap, int Zoom)
{
    const int bpp = Bitmap.PixelFormat() == pf32bit ? 4 : 3;
    const int w = Bitmap.Width();
    for (int y = 0; y < Bitmap.Height(); ++y) {
        uint8_t* row = Bitmap.ScanLine(y);
        auto invert = [&](int x) {
            uint8_t* p = row + size_t(x) * bpp;
            p[0] ^= 0xFF;
            p[1] ^= 0xFF;
            p[2] ^= 0xFF;
        };
        if (y % Zoom == 0) {
            // A grid row: every pixel but the crossings, which the column line inverts back.
            for (int x = 0; x < w; ++x)
                if (x % Zoom != 0)
                    invert(x);
        } else {
            for (int x = 0; x < w; x += Zoom)
                invert(x);
        }
    }
}

} // namespace picview

TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons)
{
    TShiftState s = 0;
    if (Modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (Modifiers & Qt::AltModifier)
        s |= ssAlt;
    if (Modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    if (Buttons & Qt::LeftButton)
        s |= ssLeft;
    if (Buttons & Qt::RightButton)
        s |= ssRight;
    if (Buttons & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

// ---- Canvas control -------------------------------------------------------------------------------------

namespace {

TShiftState ShiftOf(const QMouseEvent* E) { return ShiftStateOf(E->modifiers(), E->buttons()); }

bool ButtonOf(const QMouseEvent* E, TMouseButton& Button)
{
    switch (E->button()) {
    case Qt::LeftButton: Button = mbLeft; return true;
    case Qt::RightButton: Button = mbRight; return true;
    case Qt::MiddleButton: Button = mbMiddle; return true;
    default: return false;
    }
}

} // namespace

TPictureScrollBoxCanvas::TPictureScrollBoxCanvas(TPictureScrollBox* Box) : QWidget(Box), FBox(Box)
{
    setAttribute(Qt::WA_OpaquePaintEvent); // the view covers every pixel; nothing is erased
    setMouseTracking(true);
}

void TPictureScrollBoxCanvas::paintEvent(QPaintEvent* Event)
{
    GuardEvent(this, [&] {
        if (FBox->FRepaintEnabled && FBox->FUpdateCount == 0 && !FBox->ViewIsCurrent() && FBox->BuildView() &&
            FBox->OnPaint)
            FBox->OnPaint(FBox);
        QPainter p(this);
        FBox->PaintView(p, Event->rect());
    });
}

void TPictureScrollBoxCanvas::mousePressEvent(QMouseEvent* Event)
{
    GuardEvent(this, [&] {
        TMouseButton button;
        if (!ButtonOf(Event, button))
            return;
        if (button == mbLeft)
            FLeftPressedInside = true;
        if (FBox->OnMouseDown)
            FBox->OnMouseDown(FBox, button, ShiftOf(Event), Event->position().toPoint().x(), Event->position().toPoint().y());
    });
}

void TPictureScrollBoxCanvas::mouseReleaseEvent(QMouseEvent* Event)
{
    GuardEvent(this, [&] {
        TMouseButton button;
        if (!ButtonOf(Event, button))
            return;
        const QPoint pos = Event->position().toPoint();
        if (FBox->OnMouseUp)
            FBox->OnMouseUp(FBox, button, ShiftOf(Event), pos.x(), pos.y());
        if (button == mbLeft) {
            const bool click = FLeftPressedInside && rect().contains(pos);
            FLeftPressedInside = false;
            if (click && FBox->OnClick)
                FBox->OnClick(FBox);
        }
    });
}

void TPictureScrollBoxCanvas::mouseDoubleClickEvent(QMouseEvent* Event)
{
    GuardEvent(this, [&] {
        TMouseButton button;
        if (!ButtonOf(Event, button))
            return;
        const QPoint pos = Event->position().toPoint();
        if (FBox->OnMouseDown)
            FBox->OnMouseDown(FBox, button, ShiftOf(Event) | ssDouble, pos.x(), pos.y());
        if (button == mbLeft && FBox->OnDblClick)
            FBox->OnDblClick(FBox);
    });
}

void TPictureScrollBoxCanvas::mouseMoveEvent(QMouseEvent* Event)
{
    GuardEvent(this, [&] {
        if (FBox->OnMouseMove)
            FBox->OnMouseMove(FBox, ShiftOf(Event), Event->position().toPoint().x(), Event->position().toPoint().y());
    });
}

void TPictureScrollBoxCanvas::enterEvent(QEnterEvent*)
{
    GuardEvent(this, [&] {
        FMouseInside = true;
        if (OnMouseEnter)
            OnMouseEnter();
    });
}

void TPictureScrollBoxCanvas::leaveEvent(QEvent*)
{
    GuardEvent(this, [&] {
        const bool wasInside = FMouseInside;
        FMouseInside = false;
        if (wasInside && OnMouseLeave)
            OnMouseLeave();
    });
}

// ---- View -----------------------------------------------------------------------------------------------

namespace {

// Sets a flag for the scope, restoring it however the scope ends.
struct TFlagScope {
    bool& Flag;
    bool Old;
    TFlagScope(bool& F, bool Value) : Flag(F), Old(F) { Flag = Value; }
    ~TFlagScope() { Flag = Old; }
};

} // namespace

TPictureScrollBox::TPictureScrollBox(QWidget* Parent)
    : TIdleScrollBox(Parent), FPicture(std::make_unique<TEffectsBitmap>()),
      FScreen(std::make_unique<TBitmap>(0, 0, pf32bit))
{
    InitCVGlobal();
    FPattern = LoadBitmapResource("NONCanvas");
    if (FPattern)
        FPattern->SetPixelFormat(pf24bit);
    FCanvas = new TPictureScrollBoxCanvas(this);
    FCanvas->OnMouseEnter = [this] {
        if (OnEnter)
            OnEnter(this);
    };
    FCanvas->OnMouseLeave = [this] {
        if (OnExit)
            OnExit(this);
    };
    FCanvas->setGeometry(ClientRect());
    ReadMetrics();
}

TPictureScrollBox::~TPictureScrollBox()
{
    delete FCanvas;
    FCanvas = nullptr;
}

void TPictureScrollBox::ReadMetrics()
{
    FHScrollHeight = BarThickness(sbHorizontal);
    FVScrollWidth = BarThickness(sbVertical);
    FBorderWidth = FBorderHeight = BorderStyle() == bsNone ? 0 : 2 * frameWidth();
}

// ---- Picture --------------------------------------------------------------------------------------------

void TPictureScrollBox::PictureReplaced()
{
    FZoomFactor = 1;
    if (FUpdateCount == 0) {
        UpdateScrollRanges(true, 0, 0);
        RepaintAll();
    }
}

void TPictureScrollBox::SetBitmap(TBitmap* Value)
{
    const TFlagScope noRepaint(FRepaintEnabled, false);
    if (Value && Value != FPicture.get()) {
        FPicture->SetSize(Value->Width(), Value->Height());
        FPicture->Canvas().Draw(0, 0, *Value);
    } else if (!Value) {
        FPicture->SetSize(0, 0);
    }
    PictureReplaced();
}

bool TPictureScrollBox::ReplacePicture(const std::function<void(TEffectsBitmap&)>& Load)
{
    const TFlagScope noRepaint(FRepaintEnabled, false);
    try {
        TEffectsBitmap loaded;
        Load(loaded);
        loaded.SetPixelFormat(pf24bit);
        // The loaded pixels become the picture's: no second copy of a big picture.
        FPicture->TakeFrom(loaded);
        FPicture->GifLoadOptions = std::move(loaded.GifLoadOptions);
        PictureReplaced();
        return true;
    } catch (...) {
        return false;
    }
}

bool TPictureScrollBox::LoadFromFile(const std::string& FileName, bool ForceBMP, std::string* Error)
{
    return ReplacePicture([&](TEffectsBitmap& B) {
        try {
            B.LoadPictureFromFile(FileName, ForceBMP);
        } catch (const std::exception& E) {
            if (Error)
                *Error = E.what();
            throw;
        }
    });
}

bool TPictureScrollBox::NewPicture(int Width, int Height, TColor Colour)
{
    return ReplacePicture([&](TEffectsBitmap& B) {
        CheckPictureSize(Width, Height);
        B.SetPixelFormat(pf24bit);
        B.SetSize(Width, Height);
        B.Canvas().Brush.Color = Colour;
        B.Canvas().Brush.Style = bsSolid;
        B.Canvas().FillRect(Rect(0, 0, Width, Height));
    });
}

bool TPictureScrollBox::AssignGraphic(TGraphic* Graphic)
{
    if (!Graphic || Graphic->Empty())
        return false;
    return ReplacePicture([&](TEffectsBitmap& B) {
        if (auto* bitmap = dynamic_cast<TBitmap*>(Graphic)) {
            B.AssignBitmap(*bitmap);
        } else {
            TBitmap rendered;
            Graphic->AssignTo(rendered);
            B.AssignBitmap(rendered);
        }
    });
}

void TPictureScrollBox::CopyPictureRect(const TRect& R, TBitmap& Dest) const
{
    const int w = std::max(0, R.Width()), h = std::max(0, R.Height());
    Dest.SetPixelFormat(pf24bit);
    Dest.SetSize(w, h);
    TRect inside;
    const bool any = IntersectRect(inside, R, Rect(0, 0, FPicture->Width(), FPicture->Height()));
    if (!any || inside != R) {
        for (int y = 0; y < h; ++y)
            std::memset(Dest.ScanLine(y), 0xFF, size_t(w) * 3);
    }
    if (!any)
        return;
    if (FPicture->PixelFormat() != pf24bit) {
        Dest.Canvas().CopyRect(OffsetRect(inside, -R.Left, -R.Top), FPicture->Canvas(), inside);
        return;
    }
    const size_t bytes = size_t(inside.Width()) * 3;
    for (int y = inside.Top; y < inside.Bottom; ++y)
        std::memcpy(Dest.ScanLine(y - R.Top) + size_t(inside.Left - R.Left) * 3,
                    FPicture->ScanLine(y) + size_t(inside.Left) * 3, bytes);
}

// ---- Mapping --------------------------------------------------------------------------------------------

TRect TPictureScrollBox::PictureRectToClient(const TRect& R) const
{
    return {PictureToClientX(R.Left), PictureToClientY(R.Top), PictureToClientX(R.Right), PictureToClientY(R.Bottom)};
}

TRect TPictureScrollBox::ClientRectToPicture(const TRect& R) const
{
    return {ClientToPictureX(R.Left), ClientToPictureY(R.Top), ClientToPictureX(R.Right), ClientToPictureY(R.Bottom)};
}

int TPictureScrollBox::CentreScrollX(int X) const
{
    return picview::CentreScroll(X, FZoomFactor, ClientWidth(), FPicture->Width());
}

int TPictureScrollBox::CentreScrollY(int Y) const
{
    return picview::CentreScroll(Y, FZoomFactor, ClientHeight(), FPicture->Height());
}

bool TPictureScrollBox::PointInPicture(int X, int Y) const
{
    const int px = ClientToPictureX(X), py = ClientToPictureY(Y);
    return px >= 0 && px < FPicture->Width() && py >= 0 && py < FPicture->Height();
}

TCanvas& TPictureScrollBox::ViewCanvas()
{
    if (FCanvas)
        FCanvas->update();
    return FScreen->Canvas();
}

// ---- Layout and zoom --------------------------------------------------------------------------------------

void TPictureScrollBox::UpdateScrollRanges(bool SetPositions, int HPos, int VPos)
{
    const picview::TViewLayout l =
        picview::ComputeLayout(width(), height(), FBorderWidth, FBorderHeight, FVScrollWidth, FHScrollHeight,
                               FPicture->Width(), FPicture->Height(), FZoomFactor);
    TIdleControlScrollBar& h = HorzScrollBar();
    TIdleControlScrollBar& v = VertScrollBar();
    h.SetVisible(l.HorzNeeded);
    if (l.HorzNeeded) {
        h.SetRange(l.HorzRange);
        h.SetIncrement(l.Increment);
        h.SetPageIncrement(l.PageIncrement);
    }
    v.SetVisible(l.VertNeeded);
    if (l.VertNeeded) {
        v.SetRange(l.VertRange);
        v.SetIncrement(l.Increment);
        v.SetPageIncrement(l.PageIncrement);
    }
    // Positions go last, when both bars know their final ranges.
    if (SetPositions) {
        if (l.HorzNeeded)
            h.SetPosition(HPos);
        if (l.VertNeeded)
            v.SetPosition(VPos);
    }
}

void TPictureScrollBox::LayoutCentredOn(int X, int Y)
{
    // The bars first, so that the centring sees the client area the new layout leaves.
    UpdateScrollRanges(false, 0, 0);
    UpdateScrollBars();
    const int hpos = CentreScrollX(X), vpos = CentreScrollY(Y);
    HorzScrollBar().SetPosition(hpos);
    VertScrollBar().SetPosition(vpos);
}

bool TPictureScrollBox::ZoomAt(int Zoom, int CentreX, int CentreY)
{
    if (Zoom < picview::kMinZoom || Zoom > picview::kMaxZoom)
        return false;
    const TFlagScope noRepaint(FRepaintEnabled, false);
    if (CentreX < 0)
        CentreX = (FVisibleRect.Left + FVisibleRect.Right) >> 1;
    if (CentreY < 0)
        CentreY = (FVisibleRect.Top + FVisibleRect.Bottom) >> 1;
    FZoomFactor = Zoom;
    if (FUpdateCount == 1) {
        FScrolled = true;
        FSavedCentre = {CentreX, CentreY};
    } else if (FUpdateCount == 0) {
        LayoutCentredOn(CentreX, CentreY);
        RepaintAll();
    }
    return true;
}

void TPictureScrollBox::ScrollTo(int X, int Y)
{
    const TFlagScope noRepaint(FRepaintEnabled, false);
    if (FUpdateCount == 1) {
        FScrolled = true;
        FSavedCentre = {X, Y};
    } else if (FUpdateCount == 0) {
        HorzScrollBar().SetPosition(CentreScrollX(X));
        VertScrollBar().SetPosition(CentreScrollY(Y));
        RepaintAll();
    }
}

void TPictureScrollBox::ScrollBy(int DX, int DY)
{
    const TFlagScope noRepaint(FRepaintEnabled, false);
    if (isVisible()) {
        HorzScrollBar().ScrollBy(DX);
        VertScrollBar().ScrollBy(DY);
    }
    if (FUpdateCount == 0)
        RepaintAll();
}

void TPictureScrollBox::SetShowZoomGrid(bool Value)
{
    if (Value == FShowZoomGrid)
        return;
    FShowZoomGrid = Value;
    if (FZoomFactor >= picview::kGridZoom && FRepaintEnabled && FUpdateCount == 0)
        RepaintAll();
}

void TPictureScrollBox::DoScrolling(int DeltaX, int DeltaY)
{
    if (UpdatingScrollBars())
        return;
    TIdleScrollBox::DoScrolling(DeltaX, DeltaY);
    if (FUpdateCount == 1) {
        // The saved centre follows the view (a delta is old minus new position).
        FScrolled = true;
        FSavedCentre.X += RoundHalfUp(-DeltaX / double(FZoomFactor));
        FSavedCentre.Y += RoundHalfUp(-DeltaY / double(FZoomFactor));
    }
    if (FRepaintEnabled && FUpdateCount == 0)
        ScrollView(DeltaX, DeltaY);
}

void TPictureScrollBox::SetBorderStyle(TIdleBorderStyle Value)
{
    TIdleScrollBox::SetBorderStyle(Value);
    ReadMetrics();
    Relayout();
}

void TPictureScrollBox::resizeEvent(QResizeEvent* Event)
{
    TIdleScrollBox::resizeEvent(Event);
    GuardEvent(this, [&] {
        FCanvas->setGeometry(ClientRect());
        if (FUpdateCount != 0)
            return;
        UpdateScrollRanges(false, 0, 0);
        UpdateScrollBars();
        if (FRepaintEnabled)
            RepaintAll();
        if (OnEndResize)
            OnEndResize(this);
    });
}

void TPictureScrollBox::changeEvent(QEvent* Event)
{
    TIdleScrollBox::changeEvent(Event);
    if (Event->type() == QEvent::StyleChange) {
        GuardEvent(this, [&] {
            ReadMetrics();
            update();
        });
    }
}

void TPictureScrollBox::ClientAreaChanged()
{
    if (FCanvas)
        FCanvas->setGeometry(ClientRect());
}

// ---- Updates ----------------------------------------------------------------------------------------------

void TPictureScrollBox::BeginUpdate()
{
    if (FUpdateCount++ == 0) {
        FScrolled = false;
        FSavedCentre = {(FVisibleRect.Left + FVisibleRect.Right) >> 1, (FVisibleRect.Top + FVisibleRect.Bottom) >> 1};
        FSavedWidth = FPicture->Width();
        FSavedHeight = FPicture->Height();
        FSavedZoom = FZoomFactor;
    }
}

void TPictureScrollBox::EndUpdate()
{
    struct TDecrement {
        int& Count;
        ~TDecrement() { Count = std::max(0, Count - 1); }
    } decrement{FUpdateCount};
    if (FUpdateCount != 1)
        return;
    if (FScrolled || FPicture->Width() != FSavedWidth || FPicture->Height() != FSavedHeight ||
        FZoomFactor != FSavedZoom) {
        LayoutCentredOn(FSavedCentre.X, FSavedCentre.Y);
    }
    RepaintAll();
}

void TPictureScrollBox::Refresh()
{
    if (FUpdateCount == 0 && FRepaintEnabled)
        RepaintAll();
}

void TPictureScrollBox::Relayout()
{
    if (FUpdateCount != 0)
        return;
    UpdateScrollRanges(false, 0, 0);
    if (FRepaintEnabled)
        RepaintAll();
}

// ---- Painting ---------------------------------------------------------------------------------------------

TPictureScrollBox::TViewKey TPictureScrollBox::CurrentKey() const
{
    TViewKey k;
    k.HSnap = picview::SnapToZoom(HorzScrollBar().Position(), FZoomFactor);
    k.VSnap = picview::SnapToZoom(VertScrollBar().Position(), FZoomFactor);
    k.Zoom = FZoomFactor;
    k.ClientW = ClientWidth();
    k.ClientH = ClientHeight();
    k.PictureW = FPicture->Width();
    k.PictureH = FPicture->Height();
    k.Grid = FShowZoomGrid && FZoomFactor >= picview::kGridZoom;
    return k;
}

bool TPictureScrollBox::ViewIsCurrent() const
{
    return FViewKey == CurrentKey();
}

void TPictureScrollBox::FillPattern(TBitmap& Target, const TRect& R) const
{
    TRect r;
    if (!IntersectRect(r, R, Rect(0, 0, Target.Width(), Target.Height())))
        return;
    const int pw = FPattern ? FPattern->Width() : 1, ph = FPattern ? FPattern->Height() : 1;
    const TColor plain = ColorToRGB(clAppWorkSpace);
    // The pattern moves with the picture, so that a scrolled view and its new strips agree.
    const int ox = picview::SnapToZoom(HorzScrollBar().Position(), FZoomFactor);
    const int oy = picview::SnapToZoom(VertScrollBar().Position(), FZoomFactor);
    for (int y = r.Top; y < r.Bottom; ++y) {
        auto* out = reinterpret_cast<TRGBQuad*>(Target.ScanLine(y));
        const TRGBTriple* pattern = FPattern ? FPattern->Row24((y + oy) % ph) : nullptr;
        for (int x = r.Left; x < r.Right; ++x) {
            if (pattern) {
                const TRGBTriple& p = pattern[(x + ox) % pw];
                out[x] = {p.rgbtBlue, p.rgbtGreen, p.rgbtRed, 0xFF};
            } else {
                out[x] = {GetBValue(plain), GetGValue(plain), GetRValue(plain), 0xFF};
            }
        }
    }
}

namespace {

// N 24-bit pixels of In as opaque 32-bit pixels into Out.
void OpaqueRowPlain(const uint8_t* In, uint8_t* Out, int N)
{
    for (int x = 0; x < N; ++x, In += 3, Out += 4) {
        Out[0] = In[0];
        Out[1] = In[1];
        Out[2] = In[2];
        Out[3] = 0xFF;
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
// Four pixels a step: a byte shuffle spreads twelve bytes over sixteen and sets the fourth of each.
__attribute__((target("ssse3"))) void OpaqueRowShuffled(const uint8_t* In, uint8_t* Out, int N)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(int(0xFF000000u));
    int x = 0;
    // Each step reads sixteen bytes for its twelve: the last four pixels go the plain way.
    for (; x + 6 <= N; x += 4, In += 12, Out += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(In));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out), _mm_or_si128(_mm_shuffle_epi8(v, spread), opaque));
    }
    OpaqueRowPlain(In, Out, N - x);
}

void OpaqueRow(const uint8_t* In, uint8_t* Out, int N)
{
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    if (shuffles)
        OpaqueRowShuffled(In, Out, N);
    else
        OpaqueRowPlain(In, Out, N);
}
#else
void OpaqueRow(const uint8_t* In, uint8_t* Out, int N) { OpaqueRowPlain(In, Out, N); }
#endif

} // namespace

void TPictureScrollBox::ComposeIntoScreen(const TBitmap& Image, const TRect& From, int X, int Y)
{
    TRect r;
    if (!IntersectRect(r, Bounds(X, Y, From.Width(), From.Height()), Rect(0, 0, FScreen->Width(), FScreen->Height())))
        return;
    for (int y = r.Top; y < r.Bottom; ++y)
        OpaqueRow(Image.ScanLine(From.Top + y - Y) + size_t(From.Left + r.Left - X) * 3,
                  FScreen->ScanLine(y) + size_t(r.Left) * 4, r.Width());
}

bool TPictureScrollBox::ShowsPictureAsItIs(const TRect& R) const
{
    if (FZoomFactor != 1 || FPicture->PixelFormat() != pf24bit || !OnHasOverlay || OnHasOverlay(this))
        return false;
    TRect inside;
    return IntersectRect(inside, R, Rect(0, 0, FPicture->Width(), FPicture->Height())) && inside == R;
}

bool TPictureScrollBox::BuildView()
{
    const int cw = ClientWidth(), ch = ClientHeight();
    // Every pixel of the screen is drawn below: a new size need not keep or fill the old ones.
    if (FScreen->Width() != cw || FScreen->Height() != ch)
        FScreen->AllocateForWriting(cw, ch, FScreen->PixelFormat());
    FViewKey = CurrentKey();
    if (FPicture->Empty()) {
        FVisibleRect = {};
        FillPattern(*FScreen, Rect(0, 0, cw, ch));
        return false;
    }
    const int zoom = FZoomFactor;
    FVisibleRect = picview::VisibleRect(HorzScrollBar().Position(), VertScrollBar().Position(), zoom, cw, ch,
                                        FPicture->Width(), FPicture->Height());
    int iw = 0, ih = 0; // the size of what is shown, from the top-left corner
    if (ShowsPictureAsItIs(FVisibleRect)) {
        // Nothing is drawn over the picture at 1:1: its rows go to the screen without a copy.
        ComposeIntoScreen(*FPicture, FVisibleRect, 0, 0);
        iw = FVisibleRect.Width();
        ih = FVisibleRect.Height();
    } else {
        TBitmap copy;
        CopyPictureRect(FVisibleRect, copy);
        if (OnBeforeZoomPaint)
            OnBeforeZoomPaint(this, copy, FVisibleRect);
        TBitmap zoomed;
        TBitmap* image = &copy;
        if (zoom > 1) {
            picview::ZoomPixels(copy, zoomed, zoom);
            if (FShowZoomGrid && zoom >= picview::kGridZoom)
                picview::DrawZoomGrid(zoomed, zoom);
            image = &zoomed;
        }
        if (OnPainting)
            OnPainting(this, *image, FVisibleRect);
        iw = image->Width();
        ih = image->Height();
        ComposeIntoScreen(*image, Rect(0, 0, iw, ih), 0, 0);
    }
    if (iw < cw)
        FillPattern(*FScreen, Rect(iw, 0, cw, std::min(ih, ch)));
    if (ih < ch)
        FillPattern(*FScreen, Rect(0, ih, cw, ch));
    return true;
}

void TPictureScrollBox::RepaintAll()
{
    if (!FCanvas)
        return;
    const bool painted = BuildView();
    FCanvas->update();
    if (painted && OnPaint)
        OnPaint(this);
}

void TPictureScrollBox::InvalidatePictureRect(const TRect& R, int Margin)
{
    if (FUpdateCount > 0 || !FCanvas || FPicture->Empty())
        return;
    if (!ViewIsCurrent()) {
        RepaintAll();
        return;
    }
    const TRect r = picview::RepaintRect(R, Margin, FVisibleRect);
    if (IsRectEmpty(r))
        return;
    const TRect view = PaintPictureRect(r);
    FCanvas->update(QRect(view.Left, view.Top, view.Width(), view.Height()));
}

TRect TPictureScrollBox::PaintPictureRect(const TRect& r)
{
    const TRect view = PictureRectToClient(r);
    if (ShowsPictureAsItIs(r)) {
        ComposeIntoScreen(*FPicture, r, view.Left, view.Top);
        return view;
    }
    TBitmap patch;
    CopyPictureRect(r, patch);
    if (OnBeforeZoomPaint)
        OnBeforeZoomPaint(this, patch, r);
    if (FZoomFactor == 1) {
        if (OnPainting)
            OnPainting(this, patch, r);
        ComposeIntoScreen(patch, Rect(0, 0, patch.Width(), patch.Height()), view.Left, view.Top);
    } else {
        TBitmap zoomed;
        picview::ZoomPixels(patch, zoomed, FZoomFactor);
        if (FShowZoomGrid && FZoomFactor >= picview::kGridZoom)
            picview::DrawZoomGrid(zoomed, FZoomFactor);
        if (OnPainting)
            OnPainting(this, zoomed, r);
        ComposeIntoScreen(zoomed, Rect(0, 0, zoomed.Width(), zoomed.Height()), view.Left, view.Top);
    }
    return view;
}

void TPictureScrollBox::ScrollView(int DeltaX, int DeltaY)
{
    // The view moves by whole zoomed pixels: what stays in view is shifted, only the strips that
    // come into view are painted.
    if (!FCanvas)
        return;
    TViewKey key = CurrentKey();
    TViewKey old = FViewKey;
    const int dx = old.HSnap - key.HSnap, dy = old.VSnap - key.VSnap;
    old.HSnap = key.HSnap;
    old.VSnap = key.VSnap;
    const int cw = key.ClientW, ch = key.ClientH;
    if (!(old == key) || FPicture->Empty() || std::abs(dx) >= cw || std::abs(dy) >= ch || (DeltaX == 0 && DeltaY == 0)) {
        RepaintAll();
        return;
    }
    if (dx != 0 || dy != 0) {
        // Shift the rows (memmove copes with the overlap either way).
        const int width = (cw - std::abs(dx)) * 4;
        const int from = dx < 0 ? -dx : 0, to = dx > 0 ? dx : 0;
        auto shiftRow = [&](int Src, int Dst) {
            std::memmove(FScreen->ScanLine(Dst) + to * 4, FScreen->ScanLine(Src) + from * 4, size_t(width));
        };
        if (dy > 0)
            for (int y = ch - 1; y >= dy; --y)
                shiftRow(y - dy, y);
        else
            for (int y = 0; y < ch + dy; ++y)
                shiftRow(y - dy, y);
    }
    FViewKey = key;
    FVisibleRect = picview::VisibleRect(HorzScrollBar().Position(), VertScrollBar().Position(), FZoomFactor, cw, ch,
                                        FPicture->Width(), FPicture->Height());
    // The strips that came into view, in view coordinates.
    std::vector<TRect> strips;
    if (dx > 0)
        strips.push_back(Rect(0, 0, dx, ch));
    else if (dx < 0)
        strips.push_back(Rect(cw + dx, 0, cw, ch));
    if (dy > 0)
        strips.push_back(Rect(0, 0, cw, dy));
    else if (dy < 0)
        strips.push_back(Rect(0, ch + dy, cw, ch));
    for (const TRect& strip : strips) {
        FillPattern(*FScreen, strip);
        const TRect pic = Rect(std::max(ClientToPictureX(strip.Left), 0), std::max(ClientToPictureY(strip.Top), 0),
                               std::min(ClientToPictureX(strip.Right - 1) + 1, FVisibleRect.Right),
                               std::min(ClientToPictureY(strip.Bottom - 1) + 1, FVisibleRect.Bottom));
        if (!IsRectEmpty(pic))
            PaintPictureRect(pic);
    }
    FCanvas->update();
    if (OnPaint)
        OnPaint(this);
}

void TPictureScrollBox::PaintView(QPainter& Painter, const QRect& Clip)
{
    const QImage screen = FScreen->AsQImage();
    const QRect shown = Clip & QRect(0, 0, FScreen->Width(), FScreen->Height());
    if (!shown.isEmpty())
        Painter.drawImage(shown.topLeft(), screen, shown);
    // A view that is not built for this size yet: the pattern where it has no pixels.
    const QRegion rest = QRegion(Clip) - QRegion(shown);
    if (!rest.isEmpty()) {
        const QBrush brush = FPattern ? QBrush(BitmapToQImage(*FPattern, false)) : QBrush(Qt::gray);
        for (const QRect& r : rest)
            Painter.fillRect(r, brush);
    }
}
