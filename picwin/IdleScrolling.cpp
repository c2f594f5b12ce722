// Scroll bars that report deltas: the arithmetic, and its Qt window.
#include "picwin/IdleScrolling.h"

#include "globals/CVGlobal.h"

#include <QPainter>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyle>

// ---- One bar ------------------------------------------------------------------------------------------

void TIdleControlScrollBar::SetPosition(int Value)
{
    if (FControl.Loading()) {
        FPosition = Value;
        return;
    }
    if (Value > FCalcRange)
        Value = FCalcRange;
    if (Value < 0)
        Value = 0;
    if (Value != FPosition) {
        const int delta = FPosition - Value;
        FPosition = Value;
        if (FKind == sbHorizontal)
            FControl.DoScrolling(delta, 0);
        else
            FControl.DoScrolling(0, delta);
    }
    if (FControl.BarPosition(FKind) != FPosition) {
        FControl.SetBarPosition(FKind, FPosition);
        FControl.DoScroll();
    }
}

void TIdleControlScrollBar::SetRange(int Value)
{
    FRange = std::max(0, Value);
    FControl.UpdateScrollBars();
}

void TIdleControlScrollBar::SetVisible(bool Value)
{
    if (Value == FVisible)
        return;
    FVisible = Value;
    if (!FVisible) {
        FPosition = 0;
        FRange = 0;
    }
    FControl.UpdateScrollBars();
}

void TIdleControlScrollBar::SetTracking(bool Value)
{
    if (Value == FTracking)
        return;
    FTracking = Value;
    PropertiesChanged();
}

void TIdleControlScrollBar::SetButtonSize(int Value)
{
    if (Value == FButtonSize)
        return;
    FButtonSize = Value;
    PropertiesChanged();
}

void TIdleControlScrollBar::SetSize(int Value)
{
    if (Value == FSize)
        return;
    FSize = Value;
    PropertiesChanged();
}

void TIdleControlScrollBar::SetThumbSize(int Value)
{
    if (Value == FThumbSize)
        return;
    FThumbSize = Value;
    PropertiesChanged();
}

void TIdleControlScrollBar::SetStyle(TScrollBarStyle Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    PropertiesChanged();
}

void TIdleControlScrollBar::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    FParentColor = false;
    PropertiesChanged();
}

void TIdleControlScrollBar::SetParentColor(bool Value)
{
    if (Value == FParentColor)
        return;
    FParentColor = Value;
    if (Value && FColor != clBtnHighlight) {
        FColor = clBtnHighlight;
        PropertiesChanged();
    }
}

void TIdleControlScrollBar::PropertiesChanged()
{
    FPropertiesChanged = true;
    FControl.UpdateScrollBars();
}

void TIdleControlScrollBar::ScrollBy(int Delta)
{
    if (Delta != 0)
        SetPosition(std::clamp(FPosition + Delta, 0, FRange));
}

void TIdleControlScrollBar::ScrollMessage(TScrollCode Code, int Pos)
{
    switch (Code) {
    case scLineUp: SetPosition(FPosition - FIncrement); break;
    case scLineDown: SetPosition(FPosition + FIncrement); break;
    case scPageUp: SetPosition(FPosition - FPageIncrement); break;
    case scPageDown: SetPosition(FPosition + FPageIncrement); break;
    case scPosition: SetPosition(Pos); break;
    case scTrack:
        if (FTracking)
            SetPosition(Pos);
        break;
    case scTop: SetPosition(0); break;
    case scBottom: SetPosition(FCalcRange); break;
    default: break;
    }
}

void TIdleControlScrollBar::Assign(const TIdleControlScrollBar& Source)
{
    if (&Source == this)
        return;
    SetVisible(Source.Visible());
    SetRange(Source.Range());
    SetPosition(Source.Position());
    FIncrement = Source.Increment();
    FPageIncrement = Source.PageIncrement();
}

int TIdleControlScrollBar::ControlSize(bool ControlSB, bool AssumeSB) const
{
    const int borderAdjust = FControl.HasPlainBorder() ? 1 : 0;
    const TScrollBarKind other = FKind == sbHorizontal ? sbVertical : sbHorizontal;
    const int metric = FControl.BarThickness(other);
    int size = FKind == sbHorizontal ? FControl.ClientWidth() : FControl.ClientHeight();
    if (!ControlSB) {
        const bool otherShown = FControl.BarShown(other);
        if (AssumeSB && !otherShown)
            size += borderAdjust - metric;
        else if (!AssumeSB && otherShown)
            size += metric - borderAdjust;
    }
    return size;
}

void TIdleControlScrollBar::Update(bool ControlSB, bool AssumeSB)
{
    const int size = ControlSize(ControlSB, AssumeSB);
    FCalcRange = FVisible ? std::max(0, FRange - size) : 0;
    if (FPropertiesChanged) {
        FControl.ApplyBarProperties(*this);
        FPropertiesChanged = false;
    }
    FControl.ApplyBar(FKind, FCalcRange > 0, FCalcRange, std::max(0, size), FPosition);
    SetPosition(FPosition);
}

// ---- Both bars ------------------------------------------------------------------------------------------

void TIdleScrollingCore::UpdateScrollBars()
{
    if (FUpdating || !WindowExists())
        return;
    struct TGuard {
        bool& Flag;
        explicit TGuard(bool& F) : Flag(F) { Flag = true; }
        ~TGuard() { Flag = false; }
    };
    {
        TGuard guard(FUpdating);
        if (FVertScrollBar.NeedsShowing()) {
            FHorzScrollBar.Update(false, true);
            FVertScrollBar.Update(true, false);
        } else {
            const bool horzNeeded = FHorzScrollBar.NeedsShowing();
            FVertScrollBar.Update(false, horzNeeded);
            FHorzScrollBar.Update(true, false);
        }
    }
    ScrollBarsUpdated();
}

void TIdleScrollingCore::ScrollInView(const TRect& Bounds)
{
    TRect r{Bounds.Left - FHorzScrollBar.Margin(), Bounds.Top - FVertScrollBar.Margin(),
            Bounds.Right + FHorzScrollBar.Margin(), Bounds.Bottom + FVertScrollBar.Margin()};
    const int cw = ClientWidth(), ch = ClientHeight();
    if (r.Left < 0) {
        FHorzScrollBar.SetPosition(FHorzScrollBar.Position() + r.Left);
    } else if (r.Right > cw) {
        if (r.Right - r.Left > cw)
            r.Right = cw + r.Left;
        FHorzScrollBar.SetPosition(FHorzScrollBar.Position() + r.Right - cw);
    }
    if (r.Top < 0) {
        FVertScrollBar.SetPosition(FVertScrollBar.Position() + r.Top);
    } else if (r.Bottom > ch) {
        if (r.Bottom - r.Top > ch)
            r.Bottom = ch + r.Top;
        FVertScrollBar.SetPosition(FVertScrollBar.Position() + r.Bottom - ch);
    }
}

void TIdleScrollingCore::DoScrolling(int DeltaX, int DeltaY)
{
    if (OnScrolling)
        OnScrolling(this, DeltaX, DeltaY);
}

void TIdleScrollingCore::DoScroll()
{
    if (OnScroll)
        OnScroll(this);
}

// ---- Qt window -------------------------------------------------------------------------------------------

TIdleScrollingWinControl::TIdleScrollingWinControl(QWidget* Parent) : QFrame(Parent)
{
    for (TScrollBarKind kind : {sbHorizontal, sbVertical}) {
        auto* bar = new QScrollBar(kind == sbHorizontal ? Qt::Horizontal : Qt::Vertical, this);
        bar->setRange(0, 0);
        bar->setTracking(false);
        bar->hide();
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, kind](int action) { GuardEvent(this, [&] { BarAction(kind, action); }); });
        connect(bar, &QAbstractSlider::sliderReleased, this, [this, kind] {
            GuardEvent(this, [&] { ScrollBar(kind).ScrollMessage(scPosition, FBars[kind]->sliderPosition()); });
        });
        connect(bar, &QAbstractSlider::valueChanged, this,
                [this, kind](int value) { GuardEvent(this, [&] { BarValueChanged(kind, value); }); });
        FBars[kind] = bar;
    }
}

TIdleScrollingWinControl::~TIdleScrollingWinControl() = default;

QRect TIdleScrollingWinControl::ClientRect() const
{
    QRect r = contentsRect();
    if (FShown[sbVertical])
        r.setRight(r.right() - BarThickness(sbVertical));
    if (FShown[sbHorizontal])
        r.setBottom(r.bottom() - BarThickness(sbHorizontal));
    return r.isValid() ? r : QRect(r.topLeft(), QSize(0, 0));
}

int TIdleScrollingWinControl::ClientWidth() const
{
    return ClientRect().width();
}

int TIdleScrollingWinControl::ClientHeight() const
{
    return ClientRect().height();
}

int TIdleScrollingWinControl::BarThickness(TScrollBarKind Kind) const
{
    const int size = const_cast<TIdleScrollingWinControl*>(this)->ScrollBar(Kind).Size();
    return size > 0 ? size : style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void TIdleScrollingWinControl::ApplyBar(TScrollBarKind Kind, bool Shown, int MaxPos, int Page, int Pos)
{
    QScrollBar* bar = FBars[Kind];
    {
        const QSignalBlocker block(bar);
        bar->setRange(0, MaxPos);
        bar->setPageStep(std::max(1, Page));
        bar->setSingleStep(ScrollBar(Kind).Increment());
        bar->setTracking(ScrollBar(Kind).Tracking());
        bar->setValue(Pos);
    }
    FBarPos[Kind] = Pos;
    if (FShown[Kind] != Shown) {
        FShown[Kind] = Shown;
        LayoutBars();
    }
}

void TIdleScrollingWinControl::SetBarPosition(TScrollBarKind Kind, int Pos)
{
    FBarPos[Kind] = Pos;
    const QSignalBlocker block(FBars[Kind]);
    FBars[Kind]->setValue(Pos);
    FBars[Kind]->setSliderPosition(Pos);
}

void TIdleScrollingWinControl::ApplyBarProperties(const TIdleControlScrollBar& /*Bar*/)
{
    // Only the thickness has a Qt counterpart; the style draws the rest.
    LayoutBars();
}

void TIdleScrollingWinControl::AutoScrollInView(QWidget* Control)
{
    if (!Control || !isAncestorOf(Control))
        return;
    const QRect r(Control->mapTo(this, QPoint(0, 0)) - ClientRect().topLeft(), Control->size());
    ScrollInView(TRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
}

void TIdleScrollingWinControl::LayoutBars()
{
    const QRect contents = contentsRect();
    const int v = BarThickness(sbVertical), h = BarThickness(sbHorizontal);
    const QRect client = ClientRect();
    if (FShown[sbVertical])
        FBars[sbVertical]->setGeometry(client.right() + 1, contents.top(), v, client.height());
    if (FShown[sbHorizontal])
        FBars[sbHorizontal]->setGeometry(contents.left(), client.bottom() + 1, client.width(), h);
    FBars[sbVertical]->setVisible(FShown[sbVertical]);
    FBars[sbHorizontal]->setVisible(FShown[sbHorizontal]);
    if (FShown[sbVertical] && FShown[sbHorizontal])
        update(QRect(client.right() + 1, client.bottom() + 1, v, h));
}

void TIdleScrollingWinControl::ScrollBarsUpdated()
{
    if (ClientRect() != FLastClient) {
        FLastClient = ClientRect();
        ClientAreaChanged();
    }
}

void TIdleScrollingWinControl::resizeEvent(QResizeEvent* Event)
{
    QFrame::resizeEvent(Event);
    GuardEvent(this, [&] {
        const Qt::WindowStates state = window()->windowState();
        Resizing(state & Qt::WindowMinimized ? wsMinimized : state & Qt::WindowMaximized ? wsMaximized : wsNormal);
        if (HorzScrollBar().Visible() || VertScrollBar().Visible())
            UpdateScrollBars();
        LayoutBars();
        ScrollBarsUpdated();
    });
}

void TIdleScrollingWinControl::paintEvent(QPaintEvent* Event)
{
    QFrame::paintEvent(Event);
    if (FShown[sbVertical] && FShown[sbHorizontal]) {
        // The corner between the two bars.
        const QRect client = ClientRect();
        QPainter p(this);
        p.fillRect(QRect(client.right() + 1, client.bottom() + 1, BarThickness(sbVertical), BarThickness(sbHorizontal)),
                   palette().window());
    }
}

void TIdleScrollingWinControl::BarAction(TScrollBarKind Kind, int Action)
{
    TIdleControlScrollBar& bar = ScrollBar(Kind);
    if (!bar.Visible())
        return;
    QScrollBar* qbar = FBars[Kind];
    switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd: bar.ScrollMessage(scLineDown, 0); break;
    case QAbstractSlider::SliderSingleStepSub: bar.ScrollMessage(scLineUp, 0); break;
    case QAbstractSlider::SliderPageStepAdd: bar.ScrollMessage(scPageDown, 0); break;
    case QAbstractSlider::SliderPageStepSub: bar.ScrollMessage(scPageUp, 0); break;
    case QAbstractSlider::SliderToMinimum: bar.ScrollMessage(scTop, 0); break;
    case QAbstractSlider::SliderToMaximum: bar.ScrollMessage(scBottom, 0); break;
    case QAbstractSlider::SliderMove:
        if (qbar->isSliderDown()) {
            if (!bar.Tracking())
                return; // the thumb follows the mouse; the position changes on release
            bar.ScrollMessage(scTrack, qbar->sliderPosition());
        } else {
            bar.ScrollMessage(scPosition, qbar->sliderPosition());
        }
        break;
    default: return;
    }
    // The position Qt is about to take is ours, not its own step.
    qbar->setSliderPosition(FBarPos[Kind]);
}

void TIdleScrollingWinControl::BarValueChanged(TScrollBarKind Kind, int Value)
{
    // Value changes that came by no action (the bar's context menu): a thumb position.
    if (Value != FBarPos[Kind] && ScrollBar(Kind).Visible())
        ScrollBar(Kind).ScrollMessage(scPosition, Value);
}

// ---- Scroll box -----------------------------------------------------------------------------------------

TIdleScrollBox::TIdleScrollBox(QWidget* Parent) : TIdleScrollingWinControl(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(185, 41);
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
}

void TIdleScrollBox::SetBorderStyle(TIdleBorderStyle Value)
{
    if (Value == FBorderStyle)
        return;
    FBorderStyle = Value;
    setFrameStyle(Value == bsSingle ? QFrame::StyledPanel | QFrame::Sunken : QFrame::NoFrame);
    UpdateScrollBars();
    LayoutBars();
    ScrollBarsUpdated();
}
