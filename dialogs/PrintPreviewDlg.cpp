#include "dialogs/PrintPreviewDlg.h"

#include "controls/XGraphicCtrls.h"
#include "globals/CVGlobal.h"
#include "image/BitmapUtils.h"
#include "image/KTGenUtils.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// Pixels of the picture handed to the printer at a time.
constexpr int kPrintBandPixels = 1 << 20;
} // namespace

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
        // A picture far thinner than the page still gets a side of one device pixel.
        const int32_t H = std::max(1, RoundHalfUp(W / PictureAspect));
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
        const int32_t W = std::max(1, RoundHalfUp(H * PictureAspect));
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
    if (Picture.Width() < 1 || Picture.Height() < 1 || Layout.PrintWidth < 1 || Layout.PrintHeight < 1 ||
        !(Layout.PixelsPerInchX > 0) || !(Layout.PixelsPerInchY > 0))
        return false;
    Printer.setDocName(Title.trimmed().isEmpty() ? QString::fromUtf8(SDefaultPrintTitle) : Title);
    // Painter coordinates are paper coordinates, as the layout's are; the printer's own mode comes
    // back afterwards, so that its setup dialog keeps showing the margins.
    const bool WasFullPage = Printer.fullPage();
    Printer.setFullPage(true);
    const double Sx = Printer.resolution() / Layout.PixelsPerInchX;
    const double Sy = Printer.resolution() / Layout.PixelsPerInchY;
    const QRectF Target(Layout.XOffset * Sx, Layout.YOffset * Sy, Layout.PrintWidth * Sx, Layout.PrintHeight * Sy);
    QPainter Painter;
    bool Ok = Painter.begin(&Printer);
    if (Ok) {
        // The QImage shares the bitmap's rows and is only read here.
        const QImage Image = const_cast<TBitmap&>(Picture).AsQImage();
        Painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        // What prints is the picture's own pixels: no JPEG compression of the page image.
        Painter.setRenderHint(QPainter::LosslessImageRendering, true);
        // In bands of rows, each a view of the picture's rows: the printer converts and compresses
        // one band at a time instead of copies of the whole picture. A band reaches one row into the
        // next, which is drawn over it, so no seam shows between them.
        const int W = Image.width(), H = Image.height();
        const int Band = std::max(1, kPrintBandPixels / W);
        const double RowHeight = Target.height() / H;
        for (int R0 = 0; R0 < H && Ok; R0 += Band) {
            const int R1 = std::min(H, R0 + Band + 1);
            const QImage Strip(Image.constScanLine(R0), W, R1 - R0, Image.bytesPerLine(), Image.format());
            Painter.drawImage(QRectF(Target.x(), Target.y() + R0 * RowHeight, Target.width(), (R1 - R0) * RowHeight),
                              Strip);
        }
        Ok = Painter.end();
    }
    Printer.setFullPage(WasFullPage);
    return Ok;
}

namespace {

QPrinter* GProgramPrinter = nullptr;

void FreeProgramPrinter()
{
    delete GProgramPrinter;
    GProgramPrinter = nullptr;
}

// A modal dialog through the installed user-interface services, so that tests can stand in for the
// user; true when it was accepted.
bool RunDialog(QDialog& Dialog)
{
    if (IUIServices* Services = InstalledUIServices())
        return Services->ExecuteDialog(Dialog);
    return Dialog.exec() == QDialog::Accepted;
}

std::string TextOf(const QLineEdit* Edit) { return Edit->text().toStdString(); }

} // namespace

QPrinter& ProgramPrinter()
{
    // Freed with the application, before Qt's printing support goes.
    if (!GProgramPrinter) {
        GProgramPrinter = new QPrinter(QPrinter::HighResolution);
        qAddPostRoutine(FreeProgramPrinter);
    }
    return *GProgramPrinter;
}

// ---- Print preview dialog ---------------------------------------------------------------------------

TPrintPreviewDialog::TPrintPreviewDialog(QWidget* AOwner, TBitmap* APicture, const std::string& ATitle,
                                         QPrinter* APrinter)
    : TStandardDialog(AOwner), Title(ATitle), FPicture(APicture), FPrinter(APrinter)
{
    if (!FPicture || FPicture->Width() < 1 || FPicture->Height() < 1)
        throw Exception(SInvalidPrintPicture);
    if (!FPrinter)
        FPrinter = &ProgramPrinter();
    setWindowTitle("Print Picture");

    SetupButton = new QPushButton("Se&tup...", ButtonPanel);
    SetupButton->setFixedSize(75, 25);
    SetupButton->setAutoDefault(false);
    static_cast<QHBoxLayout*>(ButtonPanel->layout())->insertWidget(0, SetupButton, 0, Qt::AlignTop);

    auto* client = new QVBoxLayout(ClientArea);
    client->setContentsMargins(0, 0, 0, 0);
    client->setSpacing(0);
    PreviewPanel = new QFrame(ClientArea);
    PreviewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PreviewPanel->setLineWidth(1);
    PreviewPanel->setFixedSize(283 + 2 * 4, 258 + 2 * 4);
    PreviewImage = new TXCanvello(PreviewPanel);
    PreviewImage->SetColor(clBtnFace);
    PreviewImage->setGeometry(4, 4, 283, 258);
    PreviewImage->setMouseTracking(true);
    client->addWidget(PreviewPanel, 1);
    SeparaterPanel = new QFrame(ClientArea);
    SeparaterPanel->setFixedHeight(4);
    client->addWidget(SeparaterPanel);

    SettingsPanel = new QFrame(ClientArea);
    SettingsPanel->setFixedHeight(123);
    client->addWidget(SettingsPanel);
    auto* settings = new QHBoxLayout(SettingsPanel);
    settings->setContentsMargins(0, 0, 0, 0);
    auto* options = new QVBoxLayout;
    UnitsBevel = new QFrame(SettingsPanel);
    UnitsBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    auto* units = new QHBoxLayout(UnitsBevel);
    units->setContentsMargins(4, 2, 4, 2);
    InchRadioBut = new QRadioButton("Inches", UnitsBevel);
    MMRadioBut = new QRadioButton("mm", UnitsBevel);
    units->addWidget(InchRadioBut);
    units->addWidget(MMRadioBut);
    options->addWidget(UnitsBevel);
    FullSizeCBox = new QCheckBox("Fit to Page", SettingsPanel);
    CentreCBox = new QCheckBox("Centre Picture", SettingsPanel);
    AspectRatioCBox = new QCheckBox("Maintain Aspect Ratio", SettingsPanel);
    options->addWidget(FullSizeCBox);
    options->addWidget(CentreCBox);
    options->addWidget(AspectRatioCBox);
    options->addStretch(1);
    settings->addLayout(options);
    auto* numbers = new QGridLayout;
    numbers->setVerticalSpacing(4);
    const char* const captions[] = {"From Left..", "From Top..", "Width", "Height"};
    QLabel** labels[] = {&Label1, &Label2, &Label3, &Label4};
    QLineEdit** edits[] = {&XOffsetEdit, &YOffsetEdit, &WidthEdit, &HeightEdit};
    for (int i = 0; i < 4; ++i) {
        *labels[i] = new QLabel(captions[i], SettingsPanel);
        *edits[i] = new QLineEdit("0.00", SettingsPanel);
        (*edits[i])->setFixedWidth(64);
        numbers->addWidget(*labels[i], i, 0);
        numbers->addWidget(*edits[i], i, 1);
    }
    numbers->setRowStretch(4, 1);
    settings->addLayout(numbers);

    SetExitHandler(XOffsetEdit, [this] { XOffsetEditExit(); });
    SetExitHandler(YOffsetEdit, [this] { YOffsetEditExit(); });
    SetExitHandler(WidthEdit, [this] { WidthEditExit(); });
    SetExitHandler(HeightEdit, [this] { HeightEditExit(); });
    SetOKHandler([this] { OKButtonClick(); });
    connect(SetupButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { SetupButtonClick(); }); });
    auto onClick = [this](QAbstractButton* Button, std::function<void(bool)> Handler) {
        connect(Button, &QAbstractButton::clicked, this, [this, Handler](bool Checked) {
            if (!InClick)
                GuardEvent(this, [&] { Handler(Checked); });
        });
    };
    onClick(FullSizeCBox, [this](bool V) { SetFitToPage(V); });
    onClick(CentreCBox, [this](bool V) { SetCentre(V); });
    onClick(AspectRatioCBox, [this](bool V) { SetKeepAspect(V); });
    onClick(InchRadioBut, [this](bool V) { if (V) SetUnits(0); });
    onClick(MMRadioBut, [this](bool V) { if (V) SetUnits(1); });
    PreviewImage->OnPaint = [this](QWidget*, QPainter& Canvas) {
        Canvas.drawImage(0, 0, FPreviewBitmap->AsQImage());
    };
    PreviewImage->OnMouseDown = [this](QWidget*, Qt::MouseButton B, Qt::KeyboardModifiers, int X, int Y) {
        GuardEvent(this, [&] { PreviewMouseDown(B, X, Y); });
    };
    PreviewImage->OnMouseMove = [this](QWidget*, Qt::MouseButtons B, Qt::KeyboardModifiers, int X, int Y) {
        GuardEvent(this, [&] { PreviewMouseMove(B, X, Y); });
    };
    PreviewImage->OnMouseUp = [this](QWidget*, Qt::MouseButton B, Qt::KeyboardModifiers, int X, int Y) {
        GuardEvent(this, [&] { PreviewMouseUp(B, X, Y); });
    };
    resize(PreviewPanel->width() + 12, 258 + 8 + 4 + 123 + 32 + 12);

    PictureAspect = static_cast<double>(FPicture->Width()) / FPicture->Height();
    Layout.PictureAspect = PictureAspect;
    FPreviewBitmap = std::make_unique<TPrintPreviewBitmap>(7);
    FPreviewBitmap->SetPixelFormat(pf24bit);
    FPreviewBitmap->Canvas().Brush.Color = clWhite;
    FPreviewBitmap->Aspect = PictureAspect;
    FPreviewBitmap->OnChange = [this](TSelectRectBitmap*, bool Redraw) { PreviewChange(Redraw); };
    FScaledPicture = std::make_unique<TBitmap>();
    FScaledPicture->SetPixelFormat(pf24bit);
    PreviewAreaWidth = PreviewImage->width();
    PreviewAreaHeight = PreviewImage->height();
    // The one reduced copy every preview is drawn from: no side larger than the preview can show.
    FReducedPicture = std::make_unique<TBitmap>();
    {
        std::unique_ptr<TBitmap> copy;
        TBitmap* source = FPicture;
        if (FPicture->PixelFormat() != pf24bit) { // the picture itself is left as it is
            copy = std::make_unique<TBitmap>();
            copy->Assign(FPicture);
            source = copy.get();
        }
        SmoothResize(*source, *FReducedPicture, std::min(FPicture->Width(), PreviewAreaWidth),
                     std::min(FPicture->Height(), PreviewAreaHeight));
    }
    Units = 0;
    if (!ReadPageMetrics())
        throw Exception(SNoPageMetrics);
    InchRadioBut->setChecked(true);
    SetXOffset(0);
    SetYOffset(0);
    Layout.Centre = false;
    Layout.KeepAspect = true;
    FPreviewBitmap->KeepAspect = true;
    SetChecked(AspectRatioCBox, true);
    SetFitToPage(true);
    UpdatesEnabled = true;
    UpdatePreview(true);
}

TPrintPreviewDialog::~TPrintPreviewDialog() { RestoreScreenCursor(); }

bool TPrintPreviewDialog::ReadPageMetrics()
{
    TPrintLayout probe = Layout;
    if (!probe.ReadMetrics(*FPrinter))
        return false;
    Layout.SetMetrics(probe.PageWidth, probe.PageHeight, probe.PrintableRect, probe.PixelsPerInchX,
                      probe.PixelsPerInchY);
    // The whole page fits the preview area on both axes.
    PreviewScale = std::min(static_cast<double>(PreviewAreaWidth) / Layout.PageWidth,
                            static_cast<double>(PreviewAreaHeight) / Layout.PageHeight);
    TPrintPreviewBitmap& b = *FPreviewBitmap;
    const TRect& p = Layout.PrintableRect;
    // Rounded as the rectangle's edges are, so that a picture placed inside the printable area
    // shows inside the limits, also at its edges.
    b.MinX = RoundHalfUp(p.Left * PreviewScale);
    b.MinY = RoundHalfUp(p.Top * PreviewScale);
    b.MaxX = RoundHalfUp(p.Right * PreviewScale);
    b.MaxY = RoundHalfUp(p.Bottom * PreviewScale);
    const int w = std::max(1, RoundHalfUp(Layout.PageWidth * PreviewScale));
    const int h = std::max(1, RoundHalfUp(Layout.PageHeight * PreviewScale));
    b.SetSize(w, h);
    PreviewPageRect = TRect{0, 0, w, h};
    // Whatever the preview showed is gone with the old size.
    if (b.ShowSelection())
        b.SetShowSelection(false);
    return true;
}

void TPrintPreviewDialog::ShowValues()
{
    auto show = [this](QLineEdit* Edit, int32_t Pixels, bool Vertical) {
        Edit->setText(QString::fromStdString(FloatToStrFixed(Layout.ToUnits(Pixels, Vertical, Units), 2)));
    };
    show(XOffsetEdit, Layout.XOffset, false);
    show(YOffsetEdit, Layout.YOffset, true);
    show(WidthEdit, Layout.PrintWidth, false);
    show(HeightEdit, Layout.PrintHeight, true);
}

void TPrintPreviewDialog::EnableEdits()
{
    WidthEdit->setEnabled(!FitToPage);
    HeightEdit->setEnabled(!FitToPage);
    const bool offsets = !Layout.Centre && (!FitToPage || Layout.KeepAspect);
    XOffsetEdit->setEnabled(offsets);
    YOffsetEdit->setEnabled(offsets);
}

void TPrintPreviewDialog::SetChecked(QCheckBox* Box, bool Checked)
{
    InClick = true;
    Box->setChecked(Checked);
    InClick = false;
}

void TPrintPreviewDialog::SetXOffset(int32_t X)
{
    Layout.SetXOffset(X);
    ShowValues();
    UpdatePreview(false);
}

void TPrintPreviewDialog::SetYOffset(int32_t Y)
{
    Layout.SetYOffset(Y);
    ShowValues();
    UpdatePreview(false);
}

void TPrintPreviewDialog::SetPrintWidth(int32_t W)
{
    // A refused size leaves the layout as it was; the edits show the kept values either way.
    Layout.SetPrintWidth(W);
    ShowValues();
    UpdatePreview(true);
}

void TPrintPreviewDialog::SetPrintHeight(int32_t H)
{
    Layout.SetPrintHeight(H);
    ShowValues();
    UpdatePreview(true);
}

void TPrintPreviewDialog::CentrePicture()
{
    Layout.CentrePicture();
    ShowValues();
    UpdatePreview(false);
}

void TPrintPreviewDialog::Fit()
{
    Layout.Fit();
    ShowValues();
}

void TPrintPreviewDialog::SetFitToPage(bool V)
{
    InClick = true;
    FitToPage = V;
    FullSizeCBox->setChecked(V);
    EnableEdits();
    if (V) {
        Fit();
        UpdatePreview(true);
    }
    InClick = false;
}

void TPrintPreviewDialog::SetCentre(bool V)
{
    InClick = true;
    Layout.Centre = V;
    CentreCBox->setChecked(V);
    EnableEdits();
    if (V)
        CentrePicture();
    InClick = false;
}

void TPrintPreviewDialog::SetKeepAspect(bool V)
{
    InClick = true;
    Layout.KeepAspect = V;
    FPreviewBitmap->KeepAspect = V;
    AspectRatioCBox->setChecked(V);
    EnableEdits();
    ApplyAspect();
    UpdatePreview(true);
    InClick = false;
}

void TPrintPreviewDialog::ApplyAspect()
{
    Layout.ApplyAspect(FitToPage);
    ShowValues();
}

void TPrintPreviewDialog::SetUnits(uint8_t U)
{
    if (U == Units)
        return;
    Units = U;
    InClick = true;
    (U == 1 ? MMRadioBut : InchRadioBut)->setChecked(true);
    InClick = false;
    ShowValues();
}

void TPrintPreviewDialog::EditExit(QLineEdit* Edit, bool Vertical, void (TPrintPreviewDialog::*Set)(int32_t))
{
    // A number too large to be a place on any page is refused like text that is not one.
    const std::string text = TextOf(Edit);
    const double v = IsValidFloat(text) ? StrToFloat(text) : 0;
    const double inches = Units == 1 ? v / 25.4 : v;
    const double ppi = Vertical ? Layout.PixelsPerInchY : Layout.PixelsPerInchX;
    if (IsValidFloat(text) && std::abs(inches * ppi) < 1e9)
        (this->*Set)(Layout.FromUnits(v, Vertical, Units));
    else
        ShowValues();
}

void TPrintPreviewDialog::XOffsetEditExit() { EditExit(XOffsetEdit, false, &TPrintPreviewDialog::SetXOffset); }

void TPrintPreviewDialog::YOffsetEditExit() { EditExit(YOffsetEdit, true, &TPrintPreviewDialog::SetYOffset); }

void TPrintPreviewDialog::WidthEditExit() { EditExit(WidthEdit, false, &TPrintPreviewDialog::SetPrintWidth); }

void TPrintPreviewDialog::HeightEditExit() { EditExit(HeightEdit, true, &TPrintPreviewDialog::SetPrintHeight); }

void TPrintPreviewDialog::UpdatePreview(bool Rescale)
{
    if (!UpdatesEnabled)
        return;
    TPrintPreviewBitmap& b = *FPreviewBitmap;
    const int bw = b.Width(), bh = b.Height();
    for (int y = 0; y < bh; ++y)
        std::memset(b.ScanLine(y), 0xFF, static_cast<size_t>(bw) * 3);
    // Each edge rounded on its own: an edge of the page shows at one place whatever the other edges.
    const int x = RoundHalfUp(Layout.XOffset * PreviewScale);
    const int y = RoundHalfUp(Layout.YOffset * PreviewScale);
    const int w = std::max(1, RoundHalfUp((Layout.XOffset + Layout.PrintWidth) * PreviewScale) - x);
    const int h = std::max(1, RoundHalfUp((Layout.YOffset + Layout.PrintHeight) * PreviewScale) - y);
    if (Rescale || FScaledPicture->Width() != w || FScaledPicture->Height() != h)
        SmoothResize(*FReducedPicture, *FScaledPicture, w, h);
    b.Canvas().Draw(x, y, *FScaledPicture);
    b.SetRect(TRect{x, y, x + w, y + h});
    if (b.ShowSelection())
        b.DrawSelection();
    if (PreviewImage->width() != bw || PreviewImage->height() != bh)
        PreviewImage->setGeometry((PreviewPanel->width() - bw) / 2, 4, bw, bh);
    PreviewImage->update();
}

void TPrintPreviewDialog::PreviewChange(bool Redraw)
{
    if (Redraw)
        PreviewImage->update();
}

void TPrintPreviewDialog::SetScreenCursor(Qt::CursorShape Shape)
{
    RestoreScreenCursor();
    QGuiApplication::setOverrideCursor(QCursor(Shape));
    FScreenCursorSet = true;
}

void TPrintPreviewDialog::RestoreScreenCursor()
{
    if (FScreenCursorSet)
        QGuiApplication::restoreOverrideCursor();
    FScreenCursorSet = false;
}

void TPrintPreviewDialog::PreviewMouseDown(Qt::MouseButton Button, int X, int Y)
{
    (void)Button;
    TPrintPreviewBitmap& b = *FPreviewBitmap;
    GrabHit = b.HitTest(X, Y);
    b.SetShowSelection(GrabHit != shNone);
    const TRect& r = b.SelRect;
    GrabOffsets[0] = X - r.Left;
    GrabOffsets[1] = Y - r.Top;
    GrabOffsets[2] = X - r.Right;
    GrabOffsets[3] = Y - r.Bottom;
    FGrabRect = r;
    b.Changed = false;
    SetScreenCursor(TSelectRectBitmap::CursorForHit(GrabHit, Qt::ArrowCursor));
}

void TPrintPreviewDialog::PreviewMouseMove(Qt::MouseButtons Buttons, int X, int Y)
{
    TPrintPreviewBitmap& b = *FPreviewBitmap;
    if (!(Buttons & Qt::LeftButton)) {
        PreviewImage->setCursor(b.CursorAt(X, Y, Qt::ArrowCursor));
        return;
    }
    const int gL = GrabOffsets[0], gT = GrabOffsets[1], gR = GrabOffsets[2], gB = GrabOffsets[3];
    switch (GrabHit) {
    case shTopLeft: b.SetTopLeft(X - gL, Y - gT); break;
    case shTopMiddle: b.SetTop(Y - gT); break;
    case shTopRight: b.SetTopRight(X - gR, Y - gT); break;
    case shMiddleLeft: b.SetLeft(X - gL); break;
    case shMiddleRight: b.SetRight(X - gR); break;
    case shBottomLeft: b.SetBottomLeft(X - gL, Y - gB); break;
    case shBottomMiddle: b.SetBottom(Y - gB); break;
    case shBottomRight: b.SetBottomRight(X - gR, Y - gB); break;
    default:
        if (b.ShowSelection())
            b.MoveTo(X - gL, Y - gT);
        break;
    }
}

void TPrintPreviewDialog::PreviewMouseUp(Qt::MouseButton Button, int X, int Y)
{
    (void)Button;
    TPrintPreviewBitmap& b = *FPreviewBitmap;
    if (b.Changed) {
        b.Changed = false;
        // Edges the drag left where they were keep their exact place; the others come from the
        // preview, one preview pixel being many device pixels.
        const TRect r = b.SelRect;
        const TRect& g = FGrabRect;
        const double s = PreviewScale;
        const int32_t left = r.Left == g.Left ? Layout.XOffset : RoundHalfUp(r.Left / s);
        const int32_t top = r.Top == g.Top ? Layout.YOffset : RoundHalfUp(r.Top / s);
        const int32_t right = r.Right == g.Right ? Layout.XOffset + Layout.PrintWidth : RoundHalfUp(r.Right / s);
        const int32_t bottom = r.Bottom == g.Bottom ? Layout.YOffset + Layout.PrintHeight : RoundHalfUp(r.Bottom / s);
        UpdatesEnabled = false;
        SetCentre(false);
        SetFitToPage(false);
        Layout.XOffset = Layout.PrintableRect.Left;
        Layout.YOffset = Layout.PrintableRect.Top;
        // A rectangle at the printable edge in preview pixels can round a device pixel past it: the
        // size is kept to the printable area, so that a drag to the edge counts.
        SetPrintWidth(std::min(right - left, Layout.PrintableRect.Width()));
        SetPrintHeight(std::min(bottom - top, Layout.PrintableRect.Height()));
        SetXOffset(left);
        SetYOffset(top);
        UpdatesEnabled = true;
        UpdatePreview(true);
    }
    PreviewImage->setCursor(b.CursorAt(X, Y, Qt::ArrowCursor));
    RestoreScreenCursor();
}

void TPrintPreviewDialog::SetupButtonClick()
{
    QPageSetupDialog dialog(FPrinter, this);
    if (!RunDialog(dialog))
        return;
    TPrintLayout probe;
    if (!probe.ReadMetrics(*FPrinter)) {
        ShowMessageDlg(this, SNoPageMetrics, mtError, mbOK);
        return;
    }
    if (probe.PageWidth == Layout.PageWidth && probe.PageHeight == Layout.PageHeight &&
        probe.PrintableRect == Layout.PrintableRect && probe.PixelsPerInchX == Layout.PixelsPerInchX &&
        probe.PixelsPerInchY == Layout.PixelsPerInchY)
        return;
    ReadPageMetrics();
    UpdatesEnabled = false;
    InClick = true;
    Layout.Fit();
    ShowValues();
    InClick = false;
    UpdatesEnabled = true;
    UpdatePreview(true);
}

bool TPrintPreviewDialog::Print()
{
    FPrinter->setCopyCount(1);
    QPrintDialog dialog(FPrinter, this);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setMinMax(1, 1);
    if (!RunDialog(dialog))
        return true;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    // The closed print dialog's place is painted again before the long print starts.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    bool ok = false;
    try {
        ok = PrintPicture(*FPrinter, *FPicture, Layout, QString::fromStdString(Title));
    } catch (...) {
        ok = false;
    }
    QGuiApplication::restoreOverrideCursor();
    return ok;
}

void TPrintPreviewDialog::OKButtonClick()
{
    CommitActiveEdit();
    if (Print())
        TStandardDialog::OKButtonClick();
    else
        ShowMessageDlg(this, SErrorPrinting, mtError, mbOK);
}
