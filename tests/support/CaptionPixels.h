#pragma once
// The caption of a window's title bar as the style draws it, to check that it shows whole.
#include <QCoreApplication>
#include <QImage>
#include <QRect>
#include <QWidget>

// The caption as the title bar draws it at width W: the pixels that its text changes, cut to their
// bounding box, and where that box ends (-1 when nothing of it shows). The window is left W wide.
struct TCaptionPixels {
    QImage Text;
    int Right = -1;
};

inline TCaptionPixels CaptionAt(QWidget& Form, int W)
{
    const QString title = Form.windowTitle();
    Form.resize(W, Form.height());
    QCoreApplication::processEvents();
    const int titleH = Form.contentsMargins().top();
    const QImage with = Form.grab(QRect(0, 0, W, titleH)).toImage();
    Form.setWindowTitle(" "); // an empty one would keep the old caption
    QCoreApplication::processEvents();
    const QImage without = Form.grab(QRect(0, 0, W, titleH)).toImage();
    Form.setWindowTitle(title);
    QCoreApplication::processEvents();
    QRect box;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            if (with.pixel(x, y) != without.pixel(x, y))
                box |= QRect(x, y, 1, 1);
    if (box.isEmpty())
        return {};
    return {with.copy(box), box.right()};
}
