#pragma once
// A small self-placing, self-freeing hint: shows below the mouse pointer after the application's
// hint pause (or at once), hides and frees itself after its hide delay, and never takes the mouse.
//
// Header-only so that the window bases of every folder can open one without linking this folder.
#include "platform/Types.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <string>

// The application's hint timing in milliseconds: the pause before a hint shows and the time it stays.
inline int HintPause = 500;
inline int HintHidePause = 2500;
// Rows a pointer of unknown shape covers below its hot spot.
inline constexpr int kDefaultCursorMargin = 32;

// Rows of the cursor image below its hot spot that show something (pixels with any alpha): the
// last visible row + 1 - HotSpotY, at least 0; -1 when the image shows nothing.
inline int VisibleCursorRowsBelow(const QImage& Image, int HotSpotY)
{
    const QImage img = Image.convertToFormat(QImage::Format_ARGB32);
    for (int y = img.height() - 1; y >= 0; --y) {
        const auto* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(row[x]) != 0)
                return std::max(0, y + 1 - HotSpotY);
    }
    return -1;
}

// How far below the pointer's hot spot a hint goes: the visible rows of the current cursor when its
// image can be read, else kDefaultCursorMargin.
inline int CursorHeightMargin()
{
    QCursor cursor;
    if (const QCursor* over = QGuiApplication::overrideCursor())
        cursor = *over;
    else if (QWidget* w = QApplication::widgetAt(QCursor::pos()))
        cursor = w->cursor();
    int rows = -1;
    if (!cursor.pixmap().isNull()) {
        rows = VisibleCursorRowsBelow(cursor.pixmap().toImage(), cursor.hotSpot().y());
    } else if (!cursor.mask().isNull()) {
        // A mono cursor: set mask bits are the visible pixels.
        QImage mask = cursor.mask().toImage().convertToFormat(QImage::Format_Mono);
        QImage alpha(mask.size(), QImage::Format_ARGB32);
        for (int y = 0; y < mask.height(); ++y)
            for (int x = 0; x < mask.width(); ++x)
                alpha.setPixel(x, y, mask.pixelIndex(x, y) ? 0xFF000000u : 0u);
        rows = VisibleCursorRowsBelow(alpha, cursor.hotSpot().y());
    }
    return rows >= 0 ? rows : kDefaultCursorMargin;
}

// Where a hint of Size goes for the pointer at Cursor: Margin rows below it, moved up and left into
// Desktop when it would stick out (and never left of or above Desktop).
inline QRect PlaceHintRect(const QPoint& Cursor, int Margin, const QSize& Size, const QRect& Desktop)
{
    QRect r(QPoint(Cursor.x(), Cursor.y() + Margin), Size);
    if (r.top() + r.height() > Desktop.top() + Desktop.height())
        r.moveTop(Desktop.top() + Desktop.height() - r.height());
    if (r.left() + r.width() > Desktop.left() + Desktop.width())
        r.moveLeft(Desktop.left() + Desktop.width() - r.width());
    if (r.left() < Desktop.left())
        r.moveLeft(Desktop.left());
    if (r.top() < Desktop.top())
        r.moveTop(Desktop.top());
    return r;
}

class TSimpleHintWindow : public QWidget {
public:
    // Delayed: show after HintPause, else at once. HideAfter: milliseconds until the hint frees itself;
    // 0 or less keeps it until its owner frees it. Color: background (a TColor, system colours allowed).
    TSimpleHintWindow(QWidget* AOwner, bool Delayed, bool Raised, const std::string& Text, TColor Color,
                      int HideAfter)
        : QWidget(AOwner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
          FText(Text), FHideDelay(HideAfter), FRaised(Raised), FColor(Color)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFont(QToolTip::font());
        if (Delayed)
            StartShowTimer(HintPause);
        else
            ShowHint();
    }
    ~TSimpleHintWindow() override
    {
        if (OnDestroy)
            OnDestroy(this);
    }

    // Fired from the destructor; the owner forgets the hint there.
    std::function<void(TSimpleHintWindow* Sender)> OnDestroy;

    const std::string& Text() const { return FText; }
    bool Raised() const { return FRaised; }
    int HideDelay() const { return FHideDelay; }
    // Screen rectangle of the last showing.
    QRect WindowRect() const { return FWindowRect; }
    bool ShowPending() const { return FShowTimer != nullptr; }

    // Window size for Text in Font: the wrapped text's bounds plus 6 pixels each way.
    static QSize HintSize(const QFont& Font, const std::string& Text)
    {
        const QRect r = QFontMetrics(Font).boundingRect(QRect(0, 0, 1 << 20, 0), Qt::TextWordWrap,
                                                        QString::fromStdString(Text));
        return {r.width() + 6, r.height() + 6};
    }

    // Places the hint below the pointer, inside the desktop, shows it without activating it and starts
    // the hide timer.
    void ShowHint()
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect desktop = screen ? screen->virtualGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
        FWindowRect = PlaceHintRect(QCursor::pos(), CursorHeightMargin(), HintSize(font(), FText), desktop);
        setGeometry(FWindowRect);
        show();
        update();
        if (FHideDelay > 0) {
            FHideTimer = new QTimer(this);
            FHideTimer->setSingleShot(true);
            QObject::connect(FHideTimer, &QTimer::timeout, this, [this] { deleteLater(); });
            FHideTimer->start(FHideDelay);
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const QRect all = rect();
        p.fillRect(all, QColor::fromRgb(QRgbOf(FColor)));
        // One-pixel edge: raised (light top-left, dark bottom-right) or flat in the frame colour.
        const QColor topLeft = QColor::fromRgb(QRgbOf(FRaised ? cl3DLight : clWindowFrame));
        const QColor bottomRight = QColor::fromRgb(QRgbOf(FRaised ? cl3DDkShadow : clWindowFrame));
        p.fillRect(QRect(0, 0, all.width(), 1), topLeft);
        p.fillRect(QRect(0, 0, 1, all.height()), topLeft);
        p.fillRect(QRect(0, all.height() - 1, all.width(), 1), bottomRight);
        p.fillRect(QRect(all.width() - 1, 0, 1, all.height()), bottomRight);
        p.setPen(QToolTip::palette().color(QPalette::ToolTipText));
        p.drawText(QRect(3, 3, all.width() - 4, all.height() - 4), Qt::TextWordWrap,
                   QString::fromStdString(FText));
    }

private:
    static QRgb QRgbOf(TColor C)
    {
        const TColor c = ColorToRGB(C);
        return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
    }
    void StartShowTimer(int Delay)
    {
        delete FShowTimer;
        FShowTimer = new QTimer(this);
        FShowTimer->setSingleShot(true);
        QObject::connect(FShowTimer, &QTimer::timeout, this, [this] {
            FShowTimer->deleteLater();
            FShowTimer = nullptr;
            ShowHint();
        });
        FShowTimer->start(Delay);
    }

    std::string FText;
    QRect FWindowRect;
    QTimer* FShowTimer = nullptr;
    QTimer* FHideTimer = nullptr;
    int FHideDelay;
    bool FRaised;
    TColor FColor;
};
