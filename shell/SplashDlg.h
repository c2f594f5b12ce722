#pragma once
// The splash screen: a frameless, modal window with the program's picture and version, closed by its
// timer or by any mouse press.
#include <QDialog>
#include <QImage>

class QTimer;

class TSplashDialog : public QDialog {
    Q_OBJECT
public:
    // Builds the window with the picture and the version text; the timer closes it Seconds after it
    // is shown. Showing is up to the caller (Execute shows it modally).
    TSplashDialog(QWidget* Owner, int Seconds);

    // Creates the splash, shows it modally until it closes, and frees it.
    static void Execute(QWidget* Owner, int Seconds);

    // The picture as shown: Picture (24-bit, 231 x 125) with the version text drawn in the rectangle
    // (118, 40, 213, 60), centred across it and top-aligned, over the picture's colour at (118, 40).
    static QImage ComposeSplash(const QImage& Picture);

    QTimer* SplashTimer() const { return FSplashTimer; }
    const QImage& SplashImage() const { return FSplashImage; }

protected:
    void showEvent(QShowEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void done(int Result) override;

private:
    QImage FSplashImage;
    QTimer* FSplashTimer;
};

// The splash while it is shown, else null.
extern TSplashDialog* SplashDialog;
