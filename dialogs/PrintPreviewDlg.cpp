#include "dialogs/PrintPreviewDlg.h"

#include "globals/CVGlobal.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

const char* const SNoPageMetrics = "Unable to print - the printer reports no page size";

bool TPrintLayout::SetMetrics(int32_t APageWidth, int32_t APageHeight, const TRect& APrintable, double APpiX,
                              double APpiY)
{
    if (APageWidth < 1 || APageHeight < 1 || !(APpiX > 0) || !(APpiY > 0) || APrintable.Left < 0 ||
        APrintable.Top < 0 || APrintable.Width() < 1 || APrintable.Height() < 1 ||
        APrintable.Right > APageWidth || APrintable.Bottom > APageHeight)
        return false;
    PageWidth = APageWidth;
    PageHeight = APageHeight;
    PrintableRect = APrintable;
    PixelsPerInchX = APpiX;
    PixelsPerInchY = APpiY;
    return true;
}

bool TPrintLayout::ReadMetrics(const QPrinter& Printer)
{
    // The printable area is read with the margins in force, whatever full-page mode the printer is in.
    QPageLayout Layout = Printer.pageLayout();
    Layout.setMode(QPageLayout::StandardMode);
    const int Res = Printer.resolution();
    const QRect Paper = Layout.fullRectPixels(Res);
    const QRect Page = Layout.paintRectPixels(Res);
    const TRect Printable{Page.left(), Page.top(), Page.left() + Page.width(), Page.top() + Page.height()};
    return SetMetrics(Paper.width(), Paper.height(), Printable, Res, Res);
}

// Offsets keep the whole picture inside the printable area (the left/top edge wins when the picture is
// wider than it).
void TPrintLayout::SetXOffset(int32_t X)
{
    if (PrintWidth + X > PrintableRect.Right)
        X = PrintableRect.Right - PrintWidth;
    XOffset = std::max(X, PrintableRect.Left);
}

void TPrintLayout::SetYOffset(int32_t Y)
{
    if (PrintHeight + Y > PrintableRect.Bottom)
        Y = PrintableRect.Bottom - PrintHeight;
    YOffset = std::max(Y, PrintableRect.Top);
}

bool TPrintLayout::SetPrintWidth(int32_t W)
{
    if (W > 0 && Centre && W > PrintableRect.Width())
        W = PrintableRect.Width();
    if (W < 1 || (!Centre && XOffset + W > PrintableRect.Right))
        return false;
    if (KeepAspect && PictureAspect > 0) {
        const int32_t H = RoundHalfUp(W / PictureAspect);
        // The derived side is checked like a typed one.
        if (H < 1 || (Centre ? H > PrintableRect.Height() : YOffset + H > PrintableRect.Bottom))
            return false;
        PrintHeight = H;
    }
    PrintWidth = W;
    if (Centre)
        CentrePicture();
    return true;
}

bool TPrintLayout::SetPrintHeight(int32_t H)
{
    if (H > 0 && Centre && H > PrintableRect.Height())
        H = PrintableRect.Height();
    if (H < 1 || (!Centre && YOffset + H > PrintableRect.Bottom))
        return false;
    if (KeepAspect && PictureAspect > 0) {
        const int32_t W = RoundHalfUp(H * PictureAspect);
        if (W < 1 || (Centre ? W > PrintableRect.Width() : XOffset + W > PrintableRect.Right))
            return false;
        PrintWidth = W;
    }
    PrintHeight = H;
    if (Centre)
        CentrePicture();
    return true;
}

void TPrintLayout::CentrePicture()
{
    SetXOffset((PageWidth - PrintWidth) / 2);
    SetYOffset((PageHeight - PrintHeight) / 2);
}

void TPrintLayout::Fit()
{
    if (PrintableRect.Width() < 1 || PrintableRect.Height() < 1)
        return;
    XOffset = PrintableRect.Left;
    YOffset = PrintableRect.Top;
    const bool WasCentre = Centre;
    Centre = false; // sizes are checked against the printable area from its top-left
    const int32_t PW = PrintableRect.Width();
    const int32_t PH = PrintableRect.Height();
    if (KeepAspect && PictureAspect > 0) {
        if (static_cast<double>(PW) / PH >= PictureAspect)
            SetPrintHeight(PH);
        else
            SetPrintWidth(PW);
    } else {
        SetPrintWidth(PW);
        SetPrintHeight(PH);
    }
    Centre = WasCentre;
    if (Centre)
        CentrePicture();
}

void TPrintLayout::ApplyAspect(bool FitToPage)
{
    if (FitToPage || !KeepAspect || !(PictureAspect > 0)) {
        if (FitToPage)
            Fit();
        return;
    }
    if (!SetPrintWidth(PrintWidth) && !SetPrintHeight(PrintHeight))
        Fit();
}

double TPrintLayout::ToUnits(int32_t Pixels, bool Vertical, int Units) const
{
    const double Ppi = Vertical ? PixelsPerInchY : PixelsPerInchX;
    if (!(Ppi > 0))
        return 0;
    const double Inches = Pixels / Ppi;
    return Units == 1 ? Inches * 25.4 : Inches;
}

int32_t TPrintLayout::FromUnits(double Value, bool Vertical, int Units) const
{
    const double Ppi = Vertical ? PixelsPerInchY : PixelsPerInchX;
    return RoundHalfUp(Units == 1 ? Value / 25.4 * Ppi : Value * Ppi);
}

bool PrintPicture(QPrinter& Printer, const TBitmap& Picture, const TPrintLayout& Layout, const QString& Title)
{
    if (Picture.Width() < 1 || Picture.Height() < 1 || Layout.PrintWidth < 1 || Layout.PrintHeight < 1)
        return false;
    Printer.setDocName(Title.trimmed().isEmpty() ? QStringLiteral("Canvello Picture") : Title);
    Printer.setFullPage(true); // painter coordinates are paper coordinates, as the layout's are
    QPainter Painter;
    if (!Painter.begin(&Printer))
        return false;
    // The QImage shares the bitmap's rows and is only read here.
    const QImage Image = const_cast<TBitmap&>(Picture).AsQImage();
    Painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    Painter.drawImage(QRect(Layout.XOffset, Layout.YOffset, Layout.PrintWidth, Layout.PrintHeight), Image);
    return Painter.end();
}
