#pragma once
// The application's tool-tip look: the hint colours with a flat, one-pixel frame.
#include <QProxyStyle>

class TCVHintWindow : public QProxyStyle {
    Q_OBJECT
public:
    // Wraps BaseStyle (the platform's default style when null); takes ownership of it.
    explicit TCVHintWindow(QStyle* BaseStyle = nullptr);

    // Makes every tool tip of the application use this look: installs the style application-wide and
    // sets the tool-tip colours.
    static void Install();

    void drawPrimitive(PrimitiveElement Element, const QStyleOption* Option, QPainter* Painter,
                       const QWidget* Widget = nullptr) const override;
    int pixelMetric(PixelMetric Metric, const QStyleOption* Option = nullptr,
                    const QWidget* Widget = nullptr) const override;
};
