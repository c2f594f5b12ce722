#pragma once
// Printing a picture on one page. TPrintLayout holds the page metrics of a printer and the place and
// size of the picture on the paper, all in printer device pixels, and does the placement arithmetic
// (offsets, sizes, fit to page, centring, kept aspect, inch and millimetre conversion). PrintPicture
// draws a picture onto a printer at the place a layout gives.
#include "platform/Graphics.h"

#include <QString>

class QPrinter;

struct TPrintLayout {
    // Physical paper size and the printable area within it, device pixels.
    int32_t PageWidth = 0;
    int32_t PageHeight = 0;
    TRect PrintableRect;
    double PixelsPerInchX = 0;
    double PixelsPerInchY = 0;
    // Picture width / picture height.
    double PictureAspect = 1.0;

    bool Centre = false;
    bool KeepAspect = true;
    int32_t XOffset = 0;
    int32_t YOffset = 0;
    int32_t PrintWidth = 0;
    int32_t PrintHeight = 0;

    // Stores the metrics; false (and nothing stored) when any of them is not positive or the printable
    // area is empty or outside the paper, so no later step divides by zero.
    bool SetMetrics(int32_t APageWidth, int32_t APageHeight, const TRect& APrintable, double APpiX,
                    double APpiY);
    // Reads the metrics of Printer (paper and page rectangles in device pixels, resolution).
    bool ReadMetrics(const QPrinter& Printer);

    void SetXOffset(int32_t X);
    void SetYOffset(int32_t Y);
    // Answer false when the size is refused (the old size stays).
    bool SetPrintWidth(int32_t W);
    bool SetPrintHeight(int32_t H);
    // Centres on the physical paper (offsets then clamped into the printable area).
    void CentrePicture();
    // The largest size (aspect kept when KeepAspect) that fits the printable area.
    void Fit();
    // Re-derives one side from the other after KeepAspect is switched on.
    void ApplyAspect(bool FitToPage);

    // Unit 0 inches, 1 millimetres; Vertical selects the Y resolution.
    double ToUnits(int32_t Pixels, bool Vertical, int Units) const;
    int32_t FromUnits(double Value, bool Vertical, int Units) const;
};

// The message for a printer that reports no usable page.
extern const char* const SNoPageMetrics;

// Prints Picture on one page of Printer at (XOffset, YOffset, PrintWidth x PrintHeight) of Layout, in
// paper coordinates; the job is named Title, or "Canvello Picture" when Title is blank. Answers false
// when the printer cannot start or the layout is empty.
bool PrintPicture(QPrinter& Printer, const TBitmap& Picture, const TPrintLayout& Layout, const QString& Title);
