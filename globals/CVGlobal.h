#pragma once
// Values and routines that the windows of every folder share: the cached window-frame, caption and
// scroll-bar metrics, the place and face of the extra caption button of the child windows, the
// background pattern, the program's half-up rounding, the rubber-band pens, and the last line of
// defence that keeps exceptions out of Qt's event dispatch.
#include "platform/Graphics.h"

#include <functional>
#include <memory>
#include <string>

class QPainter;
class QImage;
class QRect;
class QWidget;

// Messages shared by several windows.
inline constexpr const char* SErrorSavingPicture = "Error Saving Picture %s";
inline constexpr const char* SSaveChangesTo = "Save changes to %s ?";

// ---- Metrics (filled by InitCVGlobal and again by ReadCaptionMetrics) ----------------------------
extern int SM_CXFRAME;   // width of a child window's sizing frame
extern int SM_CYFRAME;   // height of a child window's sizing frame
extern int SM_CXEDGE;    // width of a sunken 3-D edge
extern int SM_CYEDGE;    // height of a sunken 3-D edge
extern int SM_CYCAPTION; // caption bar height below the top frame
extern int SM_CYHSCROLL; // horizontal scroll bar height
extern int SM_CXVSCROLL; // vertical scroll bar width

// Width of one title-bar button slot (button plus spacing) of a child window.
extern int CaptionButtonWidth;
// Distance from a child window's right edge to the extra caption button's left edge, and the button's
// top, both in window coordinates (frame included).
extern int ExtraBtnRightOffset;
extern int ExtraBtnTop;

// Face of the extra caption button (null when the resource is missing); key-coloured pixels (the
// bottom-left pixel's colour) are not drawn.
extern TBitmap* ExtraBtnImage;
// Pattern brush behind pictures and clipboard items (null when the resource is missing).
extern TBitmap* NonCanvasImage;

// Creates the two bitmaps from the program's resources and reads the metrics; does nothing when it
// already ran. Needs the QApplication for the style's metrics (without one, classic values are used).
void InitCVGlobal();
// Frees the two bitmaps.
void DoneCVGlobal();
// Reads the metrics from the application's style and computes the extra caption button's place.
void ReadCaptionMetrics();

// A bitmap from the program's resources by name ("EXTRABTNIMAGE", "NONCANVASIMAGE", "NONCanvas"),
// or null when there is no such resource or it cannot be read.
std::unique_ptr<TBitmap> LoadBitmapResource(const std::string& Name);

// A copy of Bitmap as a QImage (Format_ARGB32, opaque) for painting on widgets; with KeyTransparent,
// pixels of the bitmap's transparent colour become fully transparent.
QImage BitmapToQImage(const TBitmap& Bitmap, bool KeyTransparent);
// The same for the part Rect of Bitmap only (cut to the bitmap; a null image when nothing is left):
// pixel (0, 0) of the result is pixel Rect.topLeft() of the bitmap.
QImage BitmapToQImage(const TBitmap& Bitmap, bool KeyTransparent, const QRect& Rect);

// ---- Numbers and points -----------------------------------------------------------------------------
// X + 0.5 truncated toward zero: 2.5 gives 3, -2.5 gives -2.
int RoundHalfUp(double X);
inline bool PointsEqual(const TPoint& A, const TPoint& B) { return A.X == B.X && A.Y == B.Y; }

// ---- Rubber-band pens ---------------------------------------------------------------------------------
// Pen of Width and PenStyle that inverts what it crosses, clear brush: drawing a figure twice restores
// the pixels.
void SetXorPen(TCanvas& Canvas, TPenStyle PenStyle, int Width);
// Plain drawing again: copy mode, solid pen, solid brush.
void ResetPen(TCanvas& Canvas);
// The same on a QPainter: the raster engine inverts exactly (NOT destination); other paint engines
// use a white pen in difference mode, which inverts as well.
void SetXorPen(QPainter& Painter, TPenStyle PenStyle, int Width);
void ResetPen(QPainter& Painter);

// ---- Exceptions inside event handlers ------------------------------------------------------------------
// Called from the catch block of an event handler: reports the exception being handled (its message;
// "Unknown error" for a foreign exception) through EventExceptionHandler, or in a message box over
// Parent when no handler is set. Never throws.
void ReportEventException(QWidget* Parent) noexcept;
// Replaces the message box (tests, the user-interface services of the main window).
extern std::function<void(QWidget* Parent, const std::string& Message)> EventExceptionHandler;

// Runs Body and reports any exception it raises instead of letting it leave the event handler.
template <typename F>
void GuardEvent(QWidget* Parent, F&& Body) noexcept
{
    try {
        Body();
    } catch (...) {
        ReportEventException(Parent);
    }
}
