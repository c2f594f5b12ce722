// The colour swatch: its colour, border and mouse events.
#include "controls/XGraphicCtrls.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QRgb PixelAt(QWidget& W, int X, int Y)
{
    return W.grab().toImage().pixel(X, Y) | 0xFF000000u;
}

} // namespace

TEST(ColourShow, DrawsItsColourInsideTheBorder)
{
    TColourShow swatch;
    EXPECT_EQ(swatch.size(), QSize(40, 40));
    EXPECT_EQ(swatch.Colour(), clWhite);
    EXPECT_EQ(swatch.BorderColour(), clBlack);
    EXPECT_TRUE(swatch.ShowBorder());
    EXPECT_EQ(PixelAt(swatch, 0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(PixelAt(swatch, 39, 39), qRgb(0, 0, 0));
    EXPECT_EQ(PixelAt(swatch, 1, 1), qRgb(255, 255, 255));

    swatch.SetColour(RGB(10, 20, 200));
    swatch.SetBorderColour(clRed);
    EXPECT_EQ(PixelAt(swatch, 20, 20), qRgb(10, 20, 200));
    EXPECT_EQ(PixelAt(swatch, 39, 0), qRgb(255, 0, 0));

    swatch.SetShowBorder(false);
    EXPECT_EQ(PixelAt(swatch, 0, 0), qRgb(10, 20, 200));

    swatch.SetColour(clBtnFace); // system colours resolve
    const TColor face = ColorToRGB(clBtnFace);
    EXPECT_EQ(PixelAt(swatch, 5, 5), qRgb(GetRValue(face), GetGValue(face), GetBValue(face)));
}

TEST(ColourShow, ReportsEnterAndClickForTheColourReadout)
{
    TColourShow swatch;
    swatch.SetColour(clLime);
    TColor shown = -1;
    int clicks = 0;
    swatch.OnMouseEnter = [&](QWidget* s) { shown = static_cast<TColourShow*>(s)->Colour(); };
    swatch.OnMouseLeave = [&](QWidget*) { shown = -1; };
    swatch.OnClick = [&](QWidget*) { ++clicks; };
    swatch.show();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), swatch.mapToGlobal(QPointF(5, 5)));
    QApplication::sendEvent(&swatch, &enter);
    EXPECT_EQ(shown, clLime);
    // A double click as the window system delivers it: press, release, double click, release.
    const auto send = [&](QEvent::Type type) {
        QMouseEvent e(type, QPointF(5, 5), swatch.mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&swatch, &e);
    };
    int doubles = 0;
    swatch.OnDblClick = [&](QWidget*) { ++doubles; };
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease})
        send(type);
    EXPECT_EQ(clicks, 1) << "the second press of a double click is no new click";
    EXPECT_EQ(doubles, 1);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&swatch, &leave);
    EXPECT_EQ(shown, -1);
}
