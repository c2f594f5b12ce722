// Status bar panels with text, progress bars and images.
#include "controls/XStatusbar.h"

#include "platform/SysUtils.h"

#include <QPainter>
#include <QPaintEvent>
#include <QSizeGrip>

#include <algorithm>

namespace {

QColor SystemQColor(TColor C)
{
    const TColor c = ColorToRGB(C);
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

} // namespace

// ---- Progress-bar options ------------------------------------------------------------------------

void TXStatusPanelProgressBarOptions::SetMin(int Value)
{
    if (Value == FMin || Value >= FMax)
        return;
    FMin = Value;
    FPosition = std::max(FPosition, FMin);
    Apply();
}

void TXStatusPanelProgressBarOptions::SetMax(int Value)
{
    if (Value == FMax || Value <= FMin)
        return;
    FMax = Value;
    FPosition = std::min(FPosition, FMax);
    Apply();
}

void TXStatusPanelProgressBarOptions::SetPosition(int Value)
{
    Value = std::clamp(Value, FMin, FMax);
    if (Value == FPosition)
        return;
    FPosition = Value;
    Apply();
}

void TXStatusPanelProgressBarOptions::SetSmooth(bool Value)
{
    if (Value == FSmooth)
        return;
    FSmooth = Value;
    Apply();
}

void TXStatusPanelProgressBarOptions::Assign(const TXStatusPanelProgressBarOptions& Source)
{
    SetMin(Source.Min());
    SetMax(Source.Max());
    SetPosition(Source.Position());
    SetSmooth(Source.Smooth());
}

void TXStatusPanelProgressBarOptions::Apply() const
{
    if (QProgressBar* bar = FOwner ? FOwner->ProgressBar() : nullptr) {
        bar->setRange(FMin, FMax);
        bar->setValue(FPosition);
    }
}

TXStatusPanelProgressBar::TXStatusPanelProgressBar(QWidget* Parent) : QProgressBar(Parent)
{
    setTextVisible(false);
}

// ---- Panel ------------------------------------------------------------------------------------------

TXStatusPanel::TXStatusPanel(TXStatusBar* Owner) : FOwner(Owner) {}

TXStatusPanel::~TXStatusPanel() = default;

void TXStatusPanel::SetStyle(TXStatusPanelStyle Value)
{
    if (Value == FStyle)
        return;
    FStyle = Value;
    if (FStyle == xsProgressBar && !FProgressBar) {
        FProgressBar = std::make_unique<TXStatusPanelProgressBar>(FOwner);
        FProgressBar->hide();
        FProgressBar->setRange(FOptions.Min(), FOptions.Max());
        FProgressBar->setValue(FOptions.Position());
    }
    if (FProgressBar) {
        if (FOwner)
            FOwner->LayoutPanels();
        FProgressBar->setVisible(FStyle == xsProgressBar);
    }
    Changed(false);
}

void TXStatusPanel::StepIt()
{
    if (FStyle == xsProgressBar)
        FOptions.SetPosition(FOptions.Position() + 1);
}

void TXStatusPanel::SetText(const std::string& Value)
{
    if (Value == FText)
        return;
    FText = Value;
    Changed(false);
}

void TXStatusPanel::SetWidth(int Value)
{
    Value = std::max(0, Value);
    if (Value == FWidth)
        return;
    FWidth = Value;
    Changed(true);
}

void TXStatusPanel::SetAlignment(TAlignment Value)
{
    if (Value == FAlignment)
        return;
    FAlignment = Value;
    Changed(false);
}

void TXStatusPanel::SetBevel(TStatusPanelBevel Value)
{
    if (Value == FBevel)
        return;
    FBevel = Value;
    Changed(false);
}

void TXStatusPanel::DrawPanel(QPainter& Painter, const QRect& Rect)
{
    if (FStyle == xsImages && FOwner && !FOwner->Images().isEmpty())
        Painter.drawPixmap(Rect.topLeft(), FOwner->Images().first());
}

void TXStatusPanel::PlaceProgressBar(const QRect& Rect)
{
    if (FProgressBar && FProgressBar->geometry() != Rect)
        FProgressBar->setGeometry(Rect);
}

void TXStatusPanel::Changed(bool Layout)
{
    if (!FOwner)
        return;
    if (Layout) {
        FOwner->LayoutPanels();
        FOwner->update();
    } else {
        FOwner->UpdatePanel(this);
    }
}

// ---- Layout -------------------------------------------------------------------------------------------

std::vector<QRect> StatusPanelRects(const std::vector<int>& Widths, const QSize& BarSize, int ReservedRight)
{
    constexpr int kGap = 2; // between panels
    constexpr int kTop = 2; // above the panels
    std::vector<QRect> rects;
    rects.reserve(Widths.size());
    int left = 0;
    for (size_t i = 0; i < Widths.size(); ++i) {
        int width = std::max(0, Widths[i]);
        if (i + 1 == Widths.size())
            width = std::max(width, BarSize.width() - ReservedRight - left);
        // Outer rectangle [left, left + width - gap) with a one-pixel bevel; the interior lies inside it.
        const QRect outer(left, kTop, std::max(0, width - kGap), std::max(0, BarSize.height() - kTop));
        rects.push_back(outer.isEmpty() ? QRect(outer.topLeft(), QSize(0, 0)) : outer.adjusted(1, 1, -1, -1));
        left += width;
    }
    return rects;
}

// ---- Bar ------------------------------------------------------------------------------------------------

TXStatusBar::TXStatusBar(QWidget* Parent) : QStatusBar(Parent)
{
    connect(this, &QStatusBar::messageChanged, this, &TXStatusBar::MessageChanged);
}

void TXStatusBar::MessageChanged(const QString& Message)
{
    if (!FAutoHint)
        return;
    if (FPanels.empty())
        update();
    else
        FPanels.front()->SetText(Message.toStdString());
}

TXStatusBar::~TXStatusBar()
{
    FPanels.clear(); // the progress bars go before the widget
}

TXStatusPanel* TXStatusBar::Panels(int Index) const
{
    if (Index < 0 || Index >= PanelCount())
        throw EListError(Format("List index out of bounds (%d)", Index));
    return FPanels[size_t(Index)].get();
}

TXStatusPanel* TXStatusBar::AddPanel()
{
    FPanels.push_back(std::make_unique<TXStatusPanel>(this));
    LayoutPanels();
    update();
    return FPanels.back().get();
}

void TXStatusBar::ClearPanels()
{
    FPanels.clear();
    update();
}

void TXStatusBar::SetImages(const QList<QPixmap>& Value)
{
    FImages = Value;
    update();
}

std::vector<QRect> TXStatusBar::PanelRects() const
{
    std::vector<int> widths;
    widths.reserve(FPanels.size());
    for (const auto& p : FPanels)
        widths.push_back(p->Width());
    int reserved = 0;
    if (const QSizeGrip* grip = findChild<QSizeGrip*>(); grip && grip->isVisibleTo(this))
        reserved = width() - grip->geometry().left();
    return StatusPanelRects(widths, size(), std::clamp(reserved, 0, width()));
}

QRect TXStatusBar::PanelRect(int Index) const
{
    Panels(Index); // checks the index
    return PanelRects()[size_t(Index)];
}

void TXStatusBar::LayoutPanels()
{
    const std::vector<QRect> rects = PanelRects();
    for (size_t i = 0; i < FPanels.size(); ++i)
        FPanels[i]->PlaceProgressBar(rects[i]);
}

void TXStatusBar::UpdatePanel(const TXStatusPanel* Panel)
{
    for (size_t i = 0; i < FPanels.size(); ++i)
        if (FPanels[i].get() == Panel) {
            update(PanelRects()[i].adjusted(-1, -1, 1, 1));
            return;
        }
}

void TXStatusBar::resizeEvent(QResizeEvent* Event)
{
    QStatusBar::resizeEvent(Event);
    LayoutPanels();
}

void TXStatusBar::DrawPanel(TXStatusPanel* Panel, QPainter& Painter, const QRect& Rect)
{
    Painter.fillRect(Rect, palette().window());
    Panel->DrawPanel(Painter, Rect);
    if (OnDrawPanel)
        OnDrawPanel(this, Panel, Painter, Rect);
}

void TXStatusBar::paintEvent(QPaintEvent* Event)
{
    QPainter p(this);
    p.fillRect(Event->rect(), palette().window());
    if (FPanels.empty() && FAutoHint && !currentMessage().isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, currentMessage());
        return;
    }
    const std::vector<QRect> rects = PanelRects();
    for (size_t i = 0; i < FPanels.size(); ++i) {
        TXStatusPanel* panel = FPanels[i].get();
        const QRect& interior = rects[i];
        if (interior.isEmpty() || !interior.adjusted(-1, -1, 1, 1).intersects(Event->rect()))
            continue;
        if (panel->Bevel() != pbNone) {
            const QRect outer = interior.adjusted(-1, -1, 1, 1);
            const bool lowered = panel->Bevel() == pbLowered;
            const QColor dark = SystemQColor(clBtnShadow), light = SystemQColor(clBtnHighlight);
            p.setPen(lowered ? dark : light);
            p.drawLine(outer.topLeft(), outer.topRight());
            p.drawLine(outer.topLeft(), outer.bottomLeft());
            p.setPen(lowered ? light : dark);
            p.drawLine(outer.bottomLeft(), outer.bottomRight());
            p.drawLine(outer.topRight(), outer.bottomRight());
        }
        p.save();
        p.setClipRect(interior);
        if (panel->OwnerDraw()) {
            DrawPanel(panel, p, interior);
        } else {
            static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignRight, Qt::AlignHCenter};
            p.setPen(palette().color(QPalette::WindowText));
            p.drawText(interior.adjusted(2, 0, -2, 0), kAlign[panel->Alignment()] | Qt::AlignVCenter | Qt::TextSingleLine,
                       QString::fromStdString(panel->Text()));
        }
        p.restore();
    }
}
