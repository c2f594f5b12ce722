// Panels, scroll box, tool and control bars, tab control and the collapsing side panel.
#include "controls/XPanels.h"

#include "globals/CVGlobal.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

// ---- Geometry ---------------------------------------------------------------------------------------

void Frame3D(QPainter& Canvas, TRect& R, TColor TopColor, TColor BottomColor, int Width)
{
    const QColor top = ColorToQColor(TopColor);
    const QColor bottom = ColorToQColor(BottomColor);
    for (int i = 0; i < Width; ++i) {
        const int w = R.Width(), h = R.Height();
        if (w > 0 && h > 0) {
            Canvas.fillRect(QRect(R.Left, R.Top, w - 1, 1), top);
            Canvas.fillRect(QRect(R.Left, R.Top, 1, h - 1), top);
            Canvas.fillRect(QRect(R.Right - 1, R.Top, 1, h), bottom);
            Canvas.fillRect(QRect(R.Left, R.Bottom - 1, w, 1), bottom);
        }
        R = InflateRect(R, -1, -1);
    }
}

TRect PanelInnerRect(const TRect& Client, TBevelCut Outer, TBevelCut Inner, int BevelWidth, int BorderWidth)
{
    int inset = BorderWidth;
    if (Outer != bvNone)
        inset += BevelWidth;
    if (Inner != bvNone)
        inset += BevelWidth;
    TRect r = InflateRect(Client, -inset, -inset);
    r.Right = std::max(r.Right, r.Left);
    r.Bottom = std::max(r.Bottom, r.Top);
    return r;
}

TRect CollapsingClientRect(TAlign Align, const TRect& Rect, int BarSize)
{
    TRect r = Rect;
    switch (Align) {
    case alTop: r.Bottom -= BarSize; break;
    case alBottom: r.Top += BarSize; break;
    case alLeft: r.Right -= BarSize; break;
    case alRight: r.Left += BarSize; break;
    default: break;
    }
    r.Bottom = std::max(r.Bottom, r.Top);
    r.Right = std::max(r.Right, r.Left);
    return r;
}

TRect SizingBarRect(TAlign Align, const TRect& Client, int BarSize)
{
    const TRect& r = Client;
    switch (Align) {
    case alTop: return {r.Left, r.Bottom - BarSize, r.Right, r.Bottom};
    case alBottom: return {r.Left, r.Top, r.Right, r.Top + BarSize};
    case alLeft: return {r.Right - BarSize, r.Top, r.Right, r.Bottom};
    case alRight: return {r.Left, r.Top, r.Left + BarSize, r.Bottom};
    default: return r;
    }
}

TSizingBarGlyph SizingBarGlyph(TAlign Align, bool Expanded, bool Locked, bool Fixed)
{
    if (!IsEdgeAlign(Align))
        return {};
    const bool vertical = Align == alLeft || Align == alRight;
    if (Fixed)
        return {sgThumb, adUp, vertical, false};
    if (Locked)
        return {sgArrow, vertical ? adDown : adRight, false, false};
    // Collapsed: towards the parent's interior; expanded: back towards the panel's own edge.
    TArrowDirection d = adUp;
    switch (Align) {
    case alTop: d = Expanded ? adUp : adDown; break;
    case alBottom: d = Expanded ? adDown : adUp; break;
    case alLeft: d = Expanded ? adLeft : adRight; break;
    default: d = Expanded ? adRight : adLeft; break;
    }
    return {sgArrow, d, false, true};
}

// ---- TCollapseState -----------------------------------------------------------------------------------

TCollapseState::TCollapseState(TCollapseHost& Host, TAlign Align, int ExpandedSize, int BarSize)
    : FHost(Host), FAlign(Align), FExpandedSize(ExpandedSize), FBarSize(BarSize)
{
}

void TCollapseState::SetExpandedSize(int Value)
{
    if (Value != FExpandedSize && Value > FBarSize)
        FExpandedSize = Value;
}

void TCollapseState::SetBarSize(int Value)
{
    if (Value == FBarSize)
        return;
    FBarSize = Value;
    if (FBarSize > FExpandedSize)
        FExpandedSize = FBarSize;
    if (IsEdgeAlign(FAlign) && !FExpanded && FHost.PanelSize() != FBarSize)
        FHost.SetPanelSize(FBarSize);
    FHost.Invalidate();
}

void TCollapseState::SetExpanded(bool Value)
{
    if (Value == FExpanded || FFixed)
        return;
    FExpanded = Value;
    if (!IsEdgeAlign(FAlign))
        return;
    if (Value) {
        if (FHost.PanelSize() == FExpandedSize)
            return;
        if (!FHost.AllowExpanding()) {
            FExpanded = false;
            return;
        }
        if (FAutoHideControls)
            FHost.SetChildrenVisible(true);
        FHost.SetPanelSize(FExpandedSize);
    } else {
        if (FHost.PanelSize() == FBarSize)
            return;
        if (!FHost.AllowCollapsing()) {
            FExpanded = true;
            return;
        }
        FHost.SetPanelSize(FBarSize);
        if (FAutoHideControls)
            FHost.SetChildrenVisible(false);
    }
    FHost.Invalidate();
}

void TCollapseState::SetAutoHideControls(bool Value)
{
    if (Value == FAutoHideControls)
        return;
    FAutoHideControls = Value;
    if (Value)
        FHost.SetChildrenVisible(FExpanded);
}

void TCollapseState::SetFixed(bool Value)
{
    if (Value == FFixed)
        return;
    FFixed = Value;
    FHost.Invalidate();
}

void TCollapseState::SetLocked(bool Value)
{
    if (Value == FLocked)
        return;
    FLocked = Value;
    FHost.Invalidate();
}

void TCollapseState::CancelCheck()
{
    if (FPending == hcNone)
        return;
    FPending = hcNone;
    FHost.StopHoverTimer();
}

void TCollapseState::StartCheck(THoverCheck Check, bool ExpandNow)
{
    if (FLocked || !IsEdgeAlign(FAlign))
        return;
    if (FDelay == 0) {
        CancelCheck();
        SetExpanded(ExpandNow);
        return;
    }
    FHost.StopHoverTimer();
    FPending = Check;
    FHost.StartHoverTimer(FDelay);
}

void TCollapseState::MouseEnter()
{
    StartCheck(hcExpand, true);
}

void TCollapseState::MouseLeave()
{
    StartCheck(hcCollapse, false);
}

void TCollapseState::HoverTimerFired()
{
    const THoverCheck check = FPending;
    if (check == hcNone)
        return;
    CancelCheck();
    if (FLocked)
        return;
    const bool inside = FHost.CursorInClient();
    if (check == hcExpand && inside)
        SetExpanded(true);
    else if (check == hcCollapse && !inside)
        SetExpanded(false);
}

void TCollapseState::MouseDown(const TPoint& P, const TRect& Client)
{
    if (FFixed || !IsEdgeAlign(FAlign))
        return;
    if (!PtInRect(::SizingBarRect(FAlign, Client, FBarSize), P))
        return;
    CancelCheck();
    SetLocked(!FLocked);
    if (!FLocked && !FExpanded)
        SetExpanded(true);
}

// ---- TXCustomPanel ------------------------------------------------------------------------------------

TXCustomPanel::TXCustomPanel(QWidget* Parent) : QWidget(Parent), TMouseEnterLeave(this)
{
    UpdateBackground();
    UpdateClientMargins();
    WatchParent();
}

void TXCustomPanel::SetAlign(TAlign Value)
{
    if (Value == FAlign)
        return;
    FAlign = Value;
    AlignInParent();
}

void TXCustomPanel::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    UpdateBackground();
    update();
}

void TXCustomPanel::SetBevelOuter(TBevelCut Value)
{
    if (Value == FBevelOuter)
        return;
    FBevelOuter = Value;
    UpdateClientMargins();
    update();
}

void TXCustomPanel::SetBevelInner(TBevelCut Value)
{
    if (Value == FBevelInner)
        return;
    FBevelInner = Value;
    UpdateClientMargins();
    update();
}

void TXCustomPanel::SetBevelWidth(int Value)
{
    Value = std::max(1, Value);
    if (Value == FBevelWidth)
        return;
    FBevelWidth = Value;
    UpdateClientMargins();
    update();
}

void TXCustomPanel::SetBorderWidth(int Value)
{
    Value = std::max(0, Value);
    if (Value == FBorderWidth)
        return;
    FBorderWidth = Value;
    UpdateClientMargins();
    update();
}

void TXCustomPanel::SetCaption(const std::string& Value)
{
    if (Value == FCaption)
        return;
    FCaption = Value;
    update();
}

void TXCustomPanel::SetClearOnPaint(bool Value)
{
    if (Value == FClearOnPaint)
        return;
    FClearOnPaint = Value;
    UpdateBackground();
}

void TXCustomPanel::SetParentBackground(bool Value)
{
    if (Value == FParentBackground)
        return;
    FParentBackground = Value;
    UpdateBackground();
    update();
}

void TXCustomPanel::UpdateBackground()
{
    // Erasing fills with Color before Paint; without it Qt paints nothing under the panel first.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ColorToQColor(FColor));
    setPalette(pal);
    setAutoFillBackground(FClearOnPaint && !FParentBackground);
}

TRect TXCustomPanel::AdjustClientRect(const TRect& Rect) const
{
    return PanelInnerRect(Rect, FBevelOuter, FBevelInner, FBevelWidth, FBorderWidth);
}

void TXCustomPanel::UpdateClientMargins()
{
    // The margins do not depend on the size: measure them on a rectangle no panel reaches.
    constexpr int big = 1 << 20;
    const TRect inner = AdjustClientRect(Rect(0, 0, big, big));
    setContentsMargins(inner.Left, inner.Top, big - inner.Right, big - inner.Bottom);
}

void TXCustomPanel::DrawBevels(QPainter& Canvas, TRect Rect) const
{
    const auto bevel = [&](TBevelCut Cut) {
        const bool lowered = Cut == bvLowered;
        Frame3D(Canvas, Rect, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow,
                FBevelWidth);
    };
    if (FBevelOuter != bvNone)
        bevel(FBevelOuter);
    Frame3D(Canvas, Rect, FColor, FColor, FBorderWidth);
    if (FBevelInner != bvNone)
        bevel(FBevelInner);
}

void TXCustomPanel::Paint(QPainter& Canvas)
{
    const TRect client = Rect(0, 0, width(), height());
    if (!FParentBackground)
        Canvas.fillRect(rect(), ColorToQColor(FColor));
    DrawBevels(Canvas, client);
    if (!FCaption.empty()) {
        const TRect inner = AdjustClientRect(client);
        Canvas.setPen(isEnabled() ? ColorToQColor(clBtnText) : ColorToQColor(clGrayText));
        Canvas.setFont(font());
        Canvas.drawText(QRect(inner.Left, inner.Top, inner.Width(), inner.Height()),
                        Qt::AlignCenter | Qt::TextSingleLine, QString::fromStdString(FCaption));
    }
}

void TXCustomPanel::MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {}

void TXCustomPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Paint(painter);
}

void TXCustomPanel::mousePressEvent(QMouseEvent* Event)
{
    const QPoint p = Event->position().toPoint();
    MouseDown(Event->button(), Event->modifiers(), p.x(), p.y());
}

void TXCustomPanel::enterEvent(QEnterEvent*)
{
    MouseEntered();
}

void TXCustomPanel::leaveEvent(QEvent*)
{
    MouseLeft();
}

void TXCustomPanel::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    AlignInParent();
}

void TXCustomPanel::changeEvent(QEvent* Event)
{
    QWidget::changeEvent(Event);
    if (Event->type() == QEvent::EnabledChange || Event->type() == QEvent::FontChange)
        update();
}

bool TXCustomPanel::event(QEvent* Event)
{
    const bool result = QWidget::event(Event);
    if (Event->type() == QEvent::ParentChange)
        WatchParent();
    return result;
}

bool TXCustomPanel::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FWatchedParent && (Event->type() == QEvent::Resize || Event->type() == QEvent::LayoutRequest))
        AlignInParent();
    return QWidget::eventFilter(Watched, Event);
}

void TXCustomPanel::WatchParent()
{
    if (FWatchedParent == parentWidget())
        return;
    if (FWatchedParent)
        FWatchedParent->removeEventFilter(this);
    FWatchedParent = parentWidget();
    if (FWatchedParent)
        FWatchedParent->installEventFilter(this);
    AlignInParent();
}

namespace {

bool LayoutHolds(const QLayout* Layout, const QWidget* W)
{
    for (int i = 0; i < Layout->count(); ++i) {
        QLayoutItem* item = Layout->itemAt(i);
        if (item->widget() == W)
            return true;
        if (const QLayout* inner = item->layout(); inner && LayoutHolds(inner, W))
            return true;
    }
    return false;
}

} // namespace

bool TXCustomPanel::InParentLayout() const
{
    const QWidget* p = parentWidget();
    return p && p->layout() && LayoutHolds(p->layout(), this);
}

void TXCustomPanel::AlignInParent()
{
    QWidget* p = parentWidget();
    if (!p || isWindow() || (!IsEdgeAlign(FAlign) && FAlign != alClient) || InParentLayout())
        return;
    const QRect area = p->contentsRect();
    QRect g;
    switch (FAlign) {
    case alTop: g = QRect(area.left(), area.top(), area.width(), height()); break;
    case alBottom: g = QRect(area.left(), area.bottom() + 1 - height(), area.width(), height()); break;
    case alLeft: g = QRect(area.left(), area.top(), width(), area.height()); break;
    case alRight: g = QRect(area.right() + 1 - width(), area.top(), width(), area.height()); break;
    default: g = area; break;
    }
    if (g != geometry())
        setGeometry(g);
}

// ---- TXScrollBox ---------------------------------------------------------------------------------------

TXScrollBox::TXScrollBox(QWidget* Parent) : QScrollArea(Parent)
{
    viewport()->setAutoFillBackground(FClearOnPaint);
}

void TXScrollBox::SetClearOnPaint(bool Value)
{
    if (Value == FClearOnPaint)
        return;
    FClearOnPaint = Value;
    viewport()->setAutoFillBackground(Value);
    viewport()->update();
}

void TXScrollBox::resizeEvent(QResizeEvent* Event)
{
    QScrollArea::resizeEvent(Event);
    if (OnResize)
        OnResize(this);
    viewport()->update();
}

// ---- TXToolBar, TXControlBar ------------------------------------------------------------------------

TXToolBar::TXToolBar(QWidget* Parent) : QToolBar(Parent), FVisible(OwnVisibility()) {}

TXToolBar::TXToolBar(const QString& Title, QWidget* Parent) : QToolBar(Title, Parent), FVisible(OwnVisibility()) {}

bool TXToolBar::OwnVisibility() const
{
    const QWidget* parent = parentWidget();
    return parent && !isWindow() ? isVisibleTo(parent) : isVisible();
}

bool TXToolBar::event(QEvent* Event)
{
    const bool result = QToolBar::event(Event);
    switch (Event->type()) {
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
    case QEvent::ParentChange:
        // Showing the parent sends ShowToParent too; only a change of the bar's own state counts.
        if (const bool visible = OwnVisibility(); visible != FVisible) {
            FVisible = visible;
            if (OnVisibleChange && Event->type() != QEvent::ParentChange)
                OnVisibleChange(this);
        }
        break;
    default: break;
    }
    return result;
}

TXControlBar::TXControlBar(QWidget* Parent) : QFrame(Parent)
{
    setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    row->setSpacing(2);
    row->setAlignment(Qt::AlignLeft);
}

// ---- TXTabControl ----------------------------------------------------------------------------------------

namespace {

class TFixedWidthTabBar : public QTabBar {
public:
    using QTabBar::QTabBar;
    int TabWidth = 0;

protected:
    QSize tabSizeHint(int Index) const override
    {
        QSize s = QTabBar::tabSizeHint(Index);
        if (TabWidth > 0)
            s.setWidth(TabWidth);
        return s;
    }
};

} // namespace

TXTabControl::TXTabControl(QWidget* Parent) : QWidget(Parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    FTabs = new TFixedWidthTabBar(this);
    FTabs->setDrawBase(false);
    FTabs->setExpanding(false);
    FClient = new QFrame(this);
    FClient->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    column->addWidget(FTabs);
    column->addWidget(FClient, 1);
}

int TXTabControl::TabWidth() const
{
    return static_cast<TFixedWidthTabBar*>(FTabs)->TabWidth;
}

void TXTabControl::SetTabWidth(int Value)
{
    auto* tabs = static_cast<TFixedWidthTabBar*>(FTabs);
    Value = std::max(0, Value);
    if (Value == tabs->TabWidth)
        return;
    tabs->TabWidth = Value;
    // Makes the bar ask for the tab sizes again.
    const bool expanding = tabs->expanding();
    tabs->setExpanding(!expanding);
    tabs->setExpanding(expanding);
    tabs->updateGeometry();
}

// ---- TCollapsingPanel ----------------------------------------------------------------------------------

namespace {

int ScrollBarExtent(const QWidget* W)
{
    return W->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, W);
}

} // namespace

TCollapsingPanel::TCollapsingPanel(QWidget* Parent)
    : TXCustomPanel(Parent), FState(*this, alRight, width(), ScrollBarExtent(this))
{
    FHoverTimer.setSingleShot(true);
    QObject::connect(&FHoverTimer, &QTimer::timeout, this, [this] {
        GuardEvent(this, [this] { FState.HoverTimerFired(); });
    });
    TXCustomPanel::SetAlign(alRight);
    HoldSize(width());
    UpdateClientMargins();
}

void TCollapsingPanel::SetAlign(TAlign Value)
{
    if (Value == Align())
        return;
    FState.SetAlign(Value);
    TXCustomPanel::SetAlign(Value);
    HoldSize(PanelSize());
    UpdateClientMargins();
    update();
}

void TCollapsingPanel::SetCollapsedSize(int Value)
{
    FState.SetBarSize(Value);
    UpdateClientMargins();
}

TRect TCollapsingPanel::SizingBarRect() const
{
    return ::SizingBarRect(Align(), Rect(0, 0, width(), height()), CollapsedSize());
}

TRect TCollapsingPanel::AdjustClientRect(const TRect& Rect) const
{
    return CollapsingClientRect(Align(), TXCustomPanel::AdjustClientRect(Rect), CollapsedSize());
}

void TCollapsingPanel::HoldSize(int Size)
{
    const bool acrossWidth = Align() == alLeft || Align() == alRight;
    const bool acrossHeight = Align() == alTop || Align() == alBottom;
    if (acrossWidth) {
        setMinimumHeight(0);
        setMaximumHeight(QWIDGETSIZE_MAX);
        setFixedWidth(Size);
    } else if (acrossHeight) {
        setMinimumWidth(0);
        setMaximumWidth(QWIDGETSIZE_MAX);
        setFixedHeight(Size);
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    AlignInParent();
}

int TCollapsingPanel::PanelSize() const
{
    switch (Align()) {
    case alLeft:
    case alRight: return width();
    case alTop:
    case alBottom: return height();
    default: return 0;
    }
}

void TCollapsingPanel::SetPanelSize(int Size)
{
    HoldSize(Size);
}

void TCollapsingPanel::SetChildrenVisible(bool Visible)
{
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow())
            child->setVisible(Visible);
}

bool TCollapsingPanel::AllowExpanding()
{
    bool allow = true;
    if (OnExpanding)
        OnExpanding(this, allow);
    return allow;
}

bool TCollapsingPanel::AllowCollapsing()
{
    bool allow = true;
    if (OnCollapsing)
        OnCollapsing(this, allow);
    return allow;
}

void TCollapsingPanel::StartHoverTimer(int Interval)
{
    FHoverTimer.start(Interval);
}

void TCollapsingPanel::StopHoverTimer()
{
    FHoverTimer.stop();
}

bool TCollapsingPanel::CursorInClient() const
{
    return rect().contains(mapFromGlobal(QCursor::pos()));
}

void TCollapsingPanel::Invalidate()
{
    update();
}

void TCollapsingPanel::MouseEnter()
{
    FState.MouseEnter();
    TXCustomPanel::MouseEnter();
}

void TCollapsingPanel::MouseLeave()
{
    FState.MouseLeave();
    TXCustomPanel::MouseLeave();
}

void TCollapsingPanel::MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)
{
    TXCustomPanel::MouseDown(Button, Shift, X, Y);
    FState.MouseDown({X, Y}, Rect(0, 0, width(), height()));
}

void TCollapsingPanel::changeEvent(QEvent* Event)
{
    TXCustomPanel::changeEvent(Event);
    if (Event->type() == QEvent::StyleChange)
        SetCollapsedSize(ScrollBarExtent(this));
}

void TCollapsingPanel::Paint(QPainter& Canvas)
{
    const TRect client = Rect(0, 0, width(), height());
    Canvas.fillRect(rect(), ColorToQColor(Color()));
    if (IsEdgeAlign(Align()))
        PaintSizingBar(Canvas, SizingBarRect());
    DrawBevels(Canvas, client);
}

static void DrawBarArrow(QPainter& Canvas, const QRect& Area, TArrowDirection Direction, bool Enabled)
{
    // A solid triangle about half the bar's thickness wide, centred in Area.
    const int thickness = std::min(Area.width(), Area.height());
    const int half = std::max(2, thickness / 4);
    const QPoint c = Area.center();
    QPolygon tri;
    switch (Direction) {
    case adUp: tri << QPoint(c.x() - half, c.y() + half / 2) << QPoint(c.x() + half, c.y() + half / 2)
                   << QPoint(c.x(), c.y() - half / 2 - 1); break;
    case adDown: tri << QPoint(c.x() - half, c.y() - half / 2) << QPoint(c.x() + half, c.y() - half / 2)
                     << QPoint(c.x(), c.y() + half / 2 + 1); break;
    case adLeft: tri << QPoint(c.x() + half / 2, c.y() - half) << QPoint(c.x() + half / 2, c.y() + half)
                     << QPoint(c.x() - half / 2 - 1, c.y()); break;
    case adRight: tri << QPoint(c.x() - half / 2, c.y() - half) << QPoint(c.x() - half / 2, c.y() + half)
                      << QPoint(c.x() + half / 2 + 1, c.y()); break;
    }
    Canvas.save();
    Canvas.setRenderHint(QPainter::Antialiasing, false);
    if (!Enabled) {
        // Embossed: a light copy one pixel down and right under the shadow-coloured arrow.
        Canvas.setPen(ColorToQColor(clBtnHighlight));
        Canvas.setBrush(ColorToQColor(clBtnHighlight));
        Canvas.drawPolygon(tri.translated(1, 1));
    }
    const QColor face = ColorToQColor(Enabled ? clBtnText : clBtnShadow);
    Canvas.setPen(face);
    Canvas.setBrush(face);
    Canvas.drawPolygon(tri);
    Canvas.restore();
}

void TCollapsingPanel::PaintSizingBar(QPainter& Canvas, const TRect& R)
{
    if (IsRectEmpty(R))
        return;
    // The bar is drawn into its own picture so that OnDrawSizingBar draws over the bar only.
    const qreal dpr = devicePixelRatioF();
    QImage bar(QSize(R.Width(), R.Height()) * dpr, QImage::Format_RGB32);
    bar.setDevicePixelRatio(dpr);
    bar.fill(ColorToQColor(Color()));
    {
        QPainter p(&bar);
        const TSizingBarGlyph glyph = SizingBarGlyph(Align(), Expanded(), Locked(), Fixed());
        // A flat raised button the length of the bar, like a scroll bar's arrow button or thumb.
        TRect face = Rect(0, 0, R.Width(), R.Height());
        Frame3D(p, face, clBtnHighlight, clBtnShadow, 1);
        // A fixed panel shows the bare face, a thumb that does not move.
        if (glyph.Kind == sgArrow)
            DrawBarArrow(p, QRect(0, 0, R.Width(), R.Height()), glyph.Direction, glyph.Enabled);
        if (OnDrawSizingBar)
            OnDrawSizingBar(this, p, QRect(0, 0, R.Width(), R.Height()));
    }
    Canvas.drawImage(QPoint(R.Left, R.Top), bar);
}
