// The application's tool-tip look.
#include "shell/CVHintWindow.h"

#include "platform/Types.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>
#include <QToolTip>

namespace {
QColor SystemColour(TColor C)
{
    const TColor rgb = ColorToRGB(C);
    return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}
} // namespace

TCVHintWindow::TCVHintWindow(QStyle* BaseStyle) : QProxyStyle(BaseStyle) {}

void TCVHintWindow::Install()
{
    QApplication::setStyle(new TCVHintWindow(nullptr));
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, SystemColour(clInfoBk));
    tips.setColor(QPalette::ToolTipText, SystemColour(clInfoText));
    tips.setColor(QPalette::Window, SystemColour(clInfoBk));
    tips.setColor(QPalette::WindowText, SystemColour(clInfoText));
    QToolTip::setPalette(tips);
}

void TCVHintWindow::drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                                  const QWidget* Widget) const
{
    if (Element != PE_PanelTipLabel || !Option) {
        QProxyStyle::drawPrimitive(Element, Option, Painter, Widget);
        return;
    }
    // The hint's face, framed by one flat line in the window-frame colour.
    const QRect r = Option->rect;
    Painter->save();
    Painter->fillRect(r, Option->palette.toolTipBase());
    Painter->setPen(QPen(SystemColour(clWindowFrame), 0));
    Painter->setBrush(Qt::NoBrush);
    Painter->drawRect(r.adjusted(0, 0, -1, -1));
    Painter->restore();
}

int TCVHintWindow::pixelMetric(PixelMetric Metric, const QStyleOption* Option, const QWidget* Widget) const
{
    if (Metric == PM_ToolTipLabelFrameWidth)
        return 1;
    return QProxyStyle::pixelMetric(Metric, Option, Widget);
}
