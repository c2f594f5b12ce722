#include "dialogs/RotateDlg.h"

#include "controls/XDial.h"
#include "controls/XGraphicCtrls.h"
#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "image/ArrayObjects.h"
#include "image/BitmapUtils.h"
#include "image/EffectsBitmap.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "platform/SysUtils.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBox = 229;

// A 24-bit source for the shrink; a picture of another format is copied so it is left as it is.
TBitmap& Source24(TBitmap& Source, std::unique_ptr<TBitmap>& Copy)
{
    if (Source.PixelFormat() == pf24bit)
        return Source;
    Copy = std::make_unique<TBitmap>();
    Copy->Assign(&Source);
    return *Copy;
}

// A quarter-turn arrow: an arc with its head at the end, turning clockwise unless AntiClockwise.
QIcon TurnGlyph(bool AntiClockwise)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    const QRectF arc(3, 3, 10, 10);
    p.drawArc(arc, 90 * 16, (AntiClockwise ? 270 : -270) * 16);
    // The arc starts at the top and ends at the right (clockwise) or left (anticlockwise).
    QPainterPath head;
    if (AntiClockwise) {
        head.moveTo(13, 5);
        head.lineTo(13, 11);
        head.lineTo(16, 8);
    } else {
        head.moveTo(3, 5);
        head.lineTo(3, 11);
        head.lineTo(0, 8);
    }
    head.closeSubpath();
    p.fillPath(head, QColor(0, 0, 128));
    return QIcon(pixmap);
}

} // namespace

void RotatePreviewSize(int W, int H, int Box, int& PreviewW, int& PreviewH)
{
    W = std::max(W, 1);
    H = std::max(H, 1);
    const double a = double(W) / H;
    const double m = std::min(Box / std::sqrt(a * a + 1), double(H));
    PreviewH = std::max(1, RoundHalfUp(m));
    PreviewW = std::max(1, RoundHalfUp(a * m));
}

TRotateDialog::TRotateDialog(QWidget* AOwner, TCVPicChildWin* PicChild, TColor ABackColour)
    : TBaseAdjDialog(AOwner, PicChild)
{
    PanelBitmap = std::make_unique<TBitmap>(0, 0, pf24bit);
    BackColour = ABackColour;
    setWindowTitle("Rotate Picture");

    auto* grid = new QGridLayout(SettingsPanel);
    grid->setContentsMargins(8, 6, 8, 6);
    Label1 = new QLabel("Rotation angle", SettingsPanel);
    RotateDial = new TDial(SettingsPanel);
    RotateDial->setFixedSize(79, 79);
    RotateDial->SetIncrements(360);
    RotateDial->SetNeedleWidth(2);
    RotateDial->SetNeedleGap(4);
    RotateAWBut = new QPushButton(SettingsPanel);
    RotateAWBut->setFixedSize(60, 25);
    RotateAWBut->setToolTip("Rotate 90 AntiClockWise");
    RotateAWBut->setIcon(TurnGlyph(true));
    RotateAWBut->setAutoDefault(false);
    RotateCWBut = new QPushButton(SettingsPanel);
    RotateCWBut->setFixedSize(60, 25);
    RotateCWBut->setToolTip("Rotate 90 ClockWise");
    RotateCWBut->setIcon(TurnGlyph(false));
    RotateCWBut->setAutoDefault(false);
    RotateSpinEdit = new TXSpinEdit(SettingsPanel);
    RotateSpinEdit->setFixedSize(57, 22);
    // Minimum and maximum 0: no limits, every typed number is normalised.
    RotateSpinEdit->SetMinValue(0);
    RotateSpinEdit->SetMaxValue(0);
    RotateSpinEdit->SetValue(0);
    Label1->setBuddy(RotateSpinEdit);

    grid->addWidget(Label1, 0, 0, 1, 3);
    grid->addWidget(RotateDial, 1, 0, 3, 1, Qt::AlignLeft | Qt::AlignTop);
    grid->addWidget(RotateAWBut, 1, 1);
    grid->addWidget(RotateCWBut, 1, 2);
    grid->addWidget(RotateSpinEdit, 2, 1, 1, 2, Qt::AlignLeft);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(3, 1);

    // Dial moves come in bursts; the preview is rotated once the burst has been handled.
    FPreviewTimer = new QTimer(this);
    FPreviewTimer->setSingleShot(true);
    FPreviewTimer->setInterval(15);
    connect(FPreviewTimer, &QTimer::timeout, this, [this] { GuardEvent(this, [this] { UpdatePreview(); }); });

    RotateDial->OnChange = [this](QWidget*) { GuardEvent(this, [this] { RotateDialChange(); }); };
    RotateSpinEdit->OnChange = [this](QWidget*) { GuardEvent(this, [this] { RotateSpinEditChange(); }); };
    RotateSpinEdit->OnDownClick = [this](QWidget*, bool& Handled) { RotateSpinEditDownClick(Handled); };
    RotateSpinEdit->OnUpClick = [this](QWidget*, bool& Handled) { RotateSpinEditUpClick(Handled); };
    connect(RotateAWBut, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { RotateAWButClick(); }); });
    connect(RotateCWBut, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { RotateCWButClick(); }); });
    connect(PreviewButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { PreviewButtonClick(); }); });
    SetExitHandler(RotateSpinEdit->Editor(), [this] { NormaliseEditText(); });
    SetOKHandler([this] { OKButtonClick(); });
    AdjImage->OnPaint = [this](QWidget*, QPainter& Canvas) {
        if (PanelBitmap && !PanelBitmap->Empty())
            Canvas.drawImage(0, 0, PanelBitmap->AsQImage());
    };

    SetFormSize(kBox, kBox, 128);
    InitPreview();
    UpdatingAllowed = true;
}

TRotateDialog::~TRotateDialog() = default;

int TRotateDialog::NormaliseAngle(long long V) { return static_cast<int>(((V % 360) + 360) % 360); }

void TRotateDialog::SetAngle(long long V) { ApplyAngle(V, true); }

void TRotateDialog::ApplyAngle(long long V, bool ShowInEdit)
{
    Angle = NormaliseAngle(V);
    if (ShowInEdit && RotateSpinEdit->Text() != IntToStr(Angle))
        RotateSpinEdit->SetValue(Angle);
    if (RotateDial->Position() != Angle)
        RotateDial->SetPosition(Angle);
    // No events are processed here: the redraw waits for the event loop, which takes the
    // remaining moves of a drag first.
    FPreviewTimer->start();
}

void TRotateDialog::SetAngleLocked(long long V, bool ShowInEdit)
{
    UpdatingAllowed = false;
    struct TRestore {
        bool& Flag;
        ~TRestore() { Flag = true; }
    } restore{UpdatingAllowed};
    ApplyAngle(V, ShowInEdit);
}

void TRotateDialog::NormaliseEditText()
{
    if (RotateSpinEdit->Text() != IntToStr(Angle))
        SetAngleLocked(Angle);
}

bool TRotateDialog::PreviewPending() const { return FPreviewTimer->isActive(); }

void TRotateDialog::FlushPreview()
{
    if (FPreviewTimer->isActive()) {
        FPreviewTimer->stop();
        UpdatePreview();
    }
}

void TRotateDialog::UpdatePreview()
{
    FPreviewTimer->stop();
    EffectsBitmap->AssignBitmap(*Bitmap);
    if (IsSelection) {
        EffectsBitmap->SetTransparentColor(BackColour);
        EffectsBitmap->SetTransparent(true);
    }
    EffectsBitmap->Rotate(Angle, BackColour);
    DrawPreview(true);
}

void TRotateDialog::PreparePanel()
{
    PanelBitmap->SetPixelFormat(pf24bit);
    PanelBitmap->SetSize(AdjImage->width(), AdjImage->height());
    BackRect = TRect{0, 0, PanelBitmap->Width(), PanelBitmap->Height()};
}

void TRotateDialog::InitFromBitmap(TBitmap& Source)
{
    int w = 0, h = 0;
    RotatePreviewSize(Source.Width(), Source.Height(), AdjImage->width(), w, h);
    std::unique_ptr<TBitmap> copy;
    SmoothResize(Source24(Source, copy), *Bitmap, w, h);
    EffectsBitmap->AssignBitmap(*Bitmap);
    PreparePanel();
    SetAngleLocked(0);
    UpdatePreview();
}

void TRotateDialog::InitFromSelection(TPictureSelection& Selection)
{
    IsSelection = true;
    TBitmap& picture = Selection.Picture();
    int w = 0, h = 0;
    RotatePreviewSize(picture.Width(), picture.Height(), AdjImage->width(), w, h);
    std::unique_ptr<TBitmap> copy;
    TBitmap& source = Source24(picture, copy);
    TColor unused = clBlack;
    if (Selection.HasMask()) {
        TBool2DArray mask;
        SmoothResizeMasked(source, *Bitmap, w, h, *Selection.Mask(), Selection.TransparentColour(), &mask);
        if (FindUnusedColour(*Bitmap, &mask, unused))
            BackColour = unused;
        FillMaskedArea(Bitmap.get(), &mask, BackColour);
    } else {
        SmoothResize(source, *Bitmap, w, h);
        if (FindUnusedColour(*Bitmap, nullptr, unused))
            BackColour = unused;
    }
    EffectsBitmap->AssignBitmap(*Bitmap);
    EffectsBitmap->SetTransparentColor(BackColour);
    EffectsBitmap->SetTransparent(true);
    PreparePanel();
    SetAngleLocked(0);
    UpdatePreview();
}

void TRotateDialog::DrawPreview(bool)
{
    TCanvas& canvas = PanelBitmap->Canvas();
    if (IsSelection && NonCanvasImage && !NonCanvasImage->Empty()) {
        for (int y = 0; y < BackRect.Bottom; y += NonCanvasImage->Height())
            for (int x = 0; x < BackRect.Right; x += NonCanvasImage->Width())
                canvas.Draw(x, y, *NonCanvasImage);
    } else {
        canvas.Brush.Style = bsSolid;
        canvas.Brush.Color = IsSelection ? TColor(0xC0C0C0) : clBtnFace;
        canvas.FillRect(BackRect);
    }
    canvas.Draw(std::max(0, (PanelBitmap->Width() - EffectsBitmap->Width()) / 2),
                std::max(0, (PanelBitmap->Height() - EffectsBitmap->Height()) / 2), *EffectsBitmap);
    AdjImage->update();
}

void TRotateDialog::RotateSpinEditChange()
{
    if (UpdatingAllowed && RotateSpinEdit->TextIsValid()) {
        int32_t v = 0;
        if (TryStrToInt(Trim(RotateSpinEdit->Text()), v))
            SetAngleLocked(v, false);
    }
}

void TRotateDialog::RotateDialChange()
{
    if (UpdatingAllowed)
        SetAngleLocked(RotateDial->Position());
}

void TRotateDialog::RotateAWButClick() { SetAngleLocked(static_cast<long long>(Angle) - 90); }

void TRotateDialog::RotateCWButClick() { SetAngleLocked(static_cast<long long>(Angle) + 90); }

void TRotateDialog::RotateSpinEditDownClick(bool& Handled)
{
    Handled = true;
    if (RotateSpinEdit->TextIsValid())
        SetAngleLocked(RotateSpinEdit->Value() == 0 ? 359 : static_cast<long long>(Angle) - 1);
    else
        SetAngleLocked(Angle);
}

void TRotateDialog::RotateSpinEditUpClick(bool& Handled)
{
    Handled = true;
    if (RotateSpinEdit->TextIsValid())
        SetAngleLocked(RotateSpinEdit->Value() == 359 ? 0 : static_cast<long long>(Angle) + 1);
    else
        SetAngleLocked(Angle);
}

void TRotateDialog::PreviewButtonClick()
{
    FlushPreview();
    PicChild->RotatePicture(Angle, BackColour, true);
}

void TRotateDialog::OKButtonClick()
{
    // The dialog's angle is what was last shown; a redraw still waiting is no longer needed.
    NormaliseEditText();
    FPreviewTimer->stop();
    TStandardDialog::OKButtonClick();
}

void TRotateDialog::changeEvent(QEvent* Event)
{
    TBaseAdjDialog::changeEvent(Event);
    if (Event->type() == QEvent::PaletteChange && PanelBitmap && !PanelBitmap->Empty())
        GuardEvent(this, [this] { DrawPreview(true); });
}
