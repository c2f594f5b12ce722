#pragma once
// Printing a picture on one page. TPrintLayout holds the page metrics of a printer and the place and
// size of the picture on the paper, all in printer device pixels, and does the placement arithmetic
// (offsets, sizes, fit to page, centring, kept aspect, inch and millimetre conversion). PrintPicture
// draws a picture onto a printer at the place a layout gives. TPrintPreviewDialog ("Print Picture")
// shows the page with the picture on it, lets the user place and size the picture by numbers or by
// dragging its rectangle, and prints through the print dialog.
#include "dialogs/SelectRectBMP.h"
#include "dialogs/StandardDlg.h"
#include "platform/Graphics.h"

#include <QString>

#include <memory>
#include <string>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class TXCanvello;

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
inline constexpr const char* SInvalidPrintPicture = "Unable to print - invalid picture";
inline constexpr const char* SErrorPrinting = "Error Printing";
inline constexpr const char* SDefaultPrintTitle = "Canvello Picture";

// Prints Picture on one page of Printer at (XOffset, YOffset, PrintWidth x PrintHeight) of Layout, in
// paper coordinates; the job is named Title, or "Canvello Picture" when Title is blank. The picture is
// drawn from its own rows, without a copy, and without lossy compression. When the printer's
// resolution is no longer the layout's (another printer chosen in the print dialog), the place keeps
// its size in inches. Answers false when the printer cannot start or the layout is empty.
bool PrintPicture(QPrinter& Printer, const TBitmap& Picture, const TPrintLayout& Layout, const QString& Title);

// The program's printer: one for the whole run, so that a setup chosen once stays for the next print.
QPrinter& ProgramPrinter();

class TPrintPreviewDialog : public TStandardDialog {
public:
    // Raises Exception "Unable to print - invalid picture" for no picture or an empty one, and
    // SNoPageMetrics when the printer reports no usable page. Printer (not owned) defaults to the
    // program's printer. Picture must outlive the dialog.
    TPrintPreviewDialog(QWidget* AOwner, TBitmap* Picture, const std::string& Title, QPrinter* Printer = nullptr);
    ~TPrintPreviewDialog() override;

    QPushButton* SetupButton;
    QFrame* PreviewPanel;
    TXCanvello* PreviewImage;
    QFrame* SeparaterPanel;
    QFrame* SettingsPanel;
    QFrame* UnitsBevel;
    QRadioButton* InchRadioBut;
    QRadioButton* MMRadioBut;
    QCheckBox* FullSizeCBox;
    QCheckBox* CentreCBox;
    QCheckBox* AspectRatioCBox;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* XOffsetEdit;
    QLineEdit* YOffsetEdit;
    QLineEdit* WidthEdit;
    QLineEdit* HeightEdit;

    // UpdatePreview draws only while this is set.
    bool UpdatesEnabled = false;
    // The dialog itself is setting a check box: its click handler does nothing.
    bool InClick = false;
    bool FitToPage = false;
    bool Centre() const { return Layout.Centre; }
    bool KeepAspect() const { return Layout.KeepAspect; }
    int32_t PreviewAreaWidth = 0;
    int32_t PreviewAreaHeight = 0;
    // Page metrics, place and size of the picture, device pixels.
    TPrintLayout Layout;
    // Preview pixels per device pixel.
    double PreviewScale = 0;
    double PictureAspect = 1.0;
    // 0 inches, 1 millimetres.
    uint8_t Units = 0;
    TRect PreviewPageRect;
    // Mouse position minus Left, Top, Right, Bottom of the rectangle at mouse down.
    int32_t GrabOffsets[4] = {0, 0, 0, 0};
    int GrabHit = shNone;
    std::string Title;

    TBitmap& Picture() const { return *FPicture; }
    QPrinter& Printer() const { return *FPrinter; }
    TPrintPreviewBitmap& PreviewBitmap() const { return *FPreviewBitmap; }
    // The picture reduced once at opening; every preview is drawn from it.
    const TBitmap& ReducedPicture() const { return *FReducedPicture; }
    const TBitmap& ScaledPicture() const { return *FScaledPicture; }

    // Reads the printer's page into Layout, the preview scale and the preview bitmap's size and
    // limits. False (nothing changed) when the printer reports no usable page.
    bool ReadPageMetrics();
    void SetXOffset(int32_t X);
    void SetYOffset(int32_t Y);
    void SetPrintWidth(int32_t W);
    void SetPrintHeight(int32_t H);
    void CentrePicture();
    void Fit();
    void SetFitToPage(bool V);
    void SetCentre(bool V);
    void SetKeepAspect(bool V);
    void ApplyAspect();
    void SetUnits(uint8_t U);
    // A number sets the edit's value (converted from the unit); any other text shows the kept value.
    void XOffsetEditExit();
    void YOffsetEditExit();
    void WidthEditExit();
    void HeightEditExit();
    // Redraws the page, the picture (scaled again from the reduced copy when Rescale or its size
    // changed) and the rectangle, and shows it.
    void UpdatePreview(bool Rescale);

    // Runs the print dialog and prints; a cancelled print dialog counts as success.
    bool Print();
    void OKButtonClick();
    void SetupButtonClick();

    void PreviewMouseDown(Qt::MouseButton Button, int X, int Y);
    void PreviewMouseMove(Qt::MouseButtons Buttons, int X, int Y);
    void PreviewMouseUp(Qt::MouseButton Button, int X, int Y);

private:
    void PreviewChange(bool Redraw);
    // The exit of Edit: its number, converted from the unit on its axis, goes to Set.
    void EditExit(QLineEdit* Edit, bool Vertical, void (TPrintPreviewDialog::*Set)(int32_t));
    // Refills the four edits from the layout in the current unit.
    void ShowValues();
    void EnableEdits();
    void SetChecked(QCheckBox* Box, bool Checked);
    void SetScreenCursor(Qt::CursorShape Shape);
    void RestoreScreenCursor();

    TBitmap* FPicture;
    QPrinter* FPrinter;
    std::unique_ptr<TPrintPreviewBitmap> FPreviewBitmap;
    std::unique_ptr<TBitmap> FReducedPicture;
    std::unique_ptr<TBitmap> FScaledPicture;
    bool FScreenCursorSet = false;
    // The rectangle at mouse down.
    TRect FGrabRect;
};
