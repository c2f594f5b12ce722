// The splash screen.
#include "shell/SplashDlg.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <memory>

TSplashDialog* SplashDialog = nullptr;

namespace {
constexpr int kSplashWidth = 231;
constexpr int kSplashHeight = 125;
constexpr const char* kVersionText = "Version 2.2.6";
} // namespace

QImage TSplashDialog::ComposeSplash(const QImage& Picture)
{
    QImage image = Picture.isNull() ? QImage() : Picture.convertToFormat(QImage::Format_RGB888);
    if (image.width() < kSplashWidth || image.height() < kSplashHeight) {
        // Without the picture the splash still shows the version on a plain face.
        QImage plain(kSplashWidth, kSplashHeight, QImage::Format_RGB888);
        plain.fill(QColor(247, 248, 251));
        QPainter p(&plain);
        if (!image.isNull())
            p.drawImage(0, 0, image);
        image = plain;
    }
    const QRect textRect(118, 40, 213 - 118, 60 - 40);
    QPainter painter(&image);
    QFont font("Arial");
    font.setPointSize(9);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const int textWidth = metrics.horizontalAdvance(kVersionText);
    const int x = (textRect.width() - textWidth) / 2 + textRect.left();
    painter.fillRect(textRect, image.pixelColor(textRect.topLeft()));
    painter.setClipRect(textRect);
    painter.setPen(Qt::black);
    painter.drawText(x, textRect.top() + metrics.ascent(), kVersionText);
    return image;
}

TSplashDialog::TSplashDialog(QWidget* Owner, int Seconds)
    : QDialog(Owner, Qt::Dialog | Qt::FramelessWindowHint), FSplashTimer(new QTimer(this))
{
    setObjectName("SplashDialog");
    setWindowTitle("Splash Dialog");
    setFixedSize(kSplashWidth, kSplashHeight);
    setCursor(Qt::WaitCursor);
    setModal(true);
    FSplashImage = ComposeSplash(QImage(":/splash.png"));

    FSplashTimer->setObjectName("SplashTimer");
    FSplashTimer->setSingleShot(true);
    FSplashTimer->setInterval(Seconds * 1000);
    connect(FSplashTimer, &QTimer::timeout, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(screen->geometry().center());
        move(r.topLeft());
    }
}

void TSplashDialog::Execute(QWidget* Owner, int Seconds)
{
    auto dialog = std::make_unique<TSplashDialog>(Owner, Seconds);
    SplashDialog = dialog.get();
    dialog->exec();
    SplashDialog = nullptr;
}

void TSplashDialog::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    FSplashTimer->start();
}

void TSplashDialog::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, FSplashImage);
}

void TSplashDialog::mousePressEvent(QMouseEvent* Event)
{
    Event->accept();
    accept();
}

void TSplashDialog::done(int Result)
{
    FSplashTimer->stop();
    QDialog::done(Result);
}
