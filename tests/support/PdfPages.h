#pragma once
// Printing to PDF in tests: a printer writing a PDF file, the page rasterised back with pdftoppm
// (poppler-utils), and the box its ink covers.
#include <QFileInfo>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QString>

#include <algorithm>

// Printer writes File at Dpi (device pixels per inch) on a portrait Page with margins in points.
inline void SetUpPdfPrinter(QPrinter& Printer, const QString& File, int Dpi, QPageSize::PageSizeId Page,
                            const QMarginsF& MarginsPt)
{
    Printer.setOutputFormat(QPrinter::PdfFormat);
    Printer.setOutputFileName(File);
    Printer.setResolution(Dpi);
    Printer.setPageSize(QPageSize(Page));
    Printer.setPageOrientation(QPageLayout::Portrait);
    Printer.setPageMargins(MarginsPt, QPageLayout::Point);
}

inline bool HavePdfRasteriser() { return !QStandardPaths::findExecutable("pdftoppm").isEmpty(); }

// The first page of Pdf at Dpi, written beside it as a PNG; a null image when pdftoppm fails.
inline QImage RasterisePdf(const QString& Pdf, int Dpi)
{
    const QString Out = QFileInfo(Pdf).absolutePath() + "/raster";
    QProcess P;
    P.start(QStandardPaths::findExecutable("pdftoppm"), {"-r", QString::number(Dpi), "-png", "-singlefile", Pdf, Out});
    if (!P.waitForFinished(60000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0)
        return QImage();
    return QImage(Out + ".png");
}

// The smallest rectangle holding every pixel of Page that is not near white (empty when none is).
inline QRect InkBounds(const QImage& Page)
{
    int MinX = Page.width(), MinY = Page.height(), MaxX = -1, MaxY = -1;
    for (int Y = 0; Y < Page.height(); ++Y)
        for (int X = 0; X < Page.width(); ++X) {
            const QColor C = Page.pixelColor(X, Y);
            if (C.red() < 200 || C.green() < 200 || C.blue() < 200) {
                MinX = std::min(MinX, X);
                MinY = std::min(MinY, Y);
                MaxX = std::max(MaxX, X);
                MaxY = std::max(MaxY, Y);
            }
        }
    return MaxX < 0 ? QRect() : QRect(QPoint(MinX, MinY), QPoint(MaxX, MaxY));
}
