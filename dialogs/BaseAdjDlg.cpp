#include "dialogs/BaseAdjDlg.h"

#include "controls/XGraphicCtrls.h"
#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "image/ArrayObjects.h"
#include "image/BitmapUtils.h"
#include "image/EffectsBitmap.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "platform/Registry.h"
#include "platform/SysUtils.h"

#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPanelBorder = 4; // the panel's lowered bevel and border

// A 24-bit source for the shrink, which switches its source to 24-bit: a picture of another format
// is copied first so that the picture itself is left as it is.
TBitmap& Source24(TBitmap& Source, std::unique_ptr<TBitmap>& Copy)
{
    if (Source.PixelFormat() == pf24bit)
        return Source;
    Copy = std::make_unique<TBitmap>();
    Copy->Assign(&Source);
    return *Copy;
}

} // namespace

void AdjPreviewSize(int W, int H, int BoxW, int BoxH, int& PreviewW, int& PreviewH)
{
    W = std::max(W, 1);
    H = std::max(H, 1);
    if (H > W) {
        PreviewH = std::max(1, std::min(BoxH, H));
        PreviewW = RoundHalfUp(double(W) / H * PreviewH);
    } else {
        PreviewW = std::max(1, std::min(BoxW, W));
        PreviewH = RoundHalfUp(double(H) / W * PreviewW);
    }
    PreviewW = std::max(PreviewW, 1);
    PreviewH = std::max(PreviewH, 1);
}

// ---- Base -------------------------------------------------------------------------------------------

TBaseAdjDialog::TBaseAdjDialog(QWidget* AOwner, TCVPicChildWin* APicChild) : TStandardDialog(AOwner)
{
    if (!APicChild)
        throw Exception(SCannotAdjustPicture);
    setWindowTitle("Base Adjustment Dialog");
    auto* layout = new QVBoxLayout(ClientArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    AdjPanel = new QFrame(ClientArea);
    AdjPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    AdjPanel->setLineWidth(1);
    AdjImage = new TXCanvello(AdjPanel);
    AdjImage->OnPaint = [this](QWidget*, QPainter& Canvas) {
        if (EffectsBitmap && !EffectsBitmap->Empty())
            Canvas.drawImage(0, 0, EffectsBitmap->AsQImage());
    };
    SeparaterPanel = new QFrame(ClientArea);
    SeparaterPanel->setFixedHeight(9);
    SettingsPanel = new QFrame(ClientArea);
    SettingsPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    layout->addWidget(AdjPanel);
    layout->addWidget(SeparaterPanel);
    layout->addWidget(SettingsPanel);

    PreviewButton = new QPushButton("Pre&view", ButtonPanel);
    PreviewButton->setFixedSize(75, 25);
    PreviewButton->setAutoDefault(false);
    static_cast<QHBoxLayout*>(ButtonPanel->layout())->insertWidget(0, PreviewButton, 0, Qt::AlignTop);

    Bitmap = std::make_unique<TBitmap>(0, 0, pf24bit);
    EffectsBitmap = std::make_unique<TEffectsBitmap>();
    EffectsBitmap->SetPixelFormat(pf24bit);
    PicChild = APicChild;
    SetFormSize(229, 229, 32);
}

TBaseAdjDialog::~TBaseAdjDialog() { PicChild = nullptr; }

void TBaseAdjDialog::SetFormSize(int ImageW, int ImageH, int SettingsH)
{
    AdjPanel->setFixedSize(ImageW + 2 * kPanelBorder, ImageH + 2 * kPanelBorder);
    AdjImage->setGeometry(kPanelBorder, kPanelBorder, ImageW, ImageH);
    SettingsPanel->setFixedHeight(SettingsH);
    adjustSize();
}

void TBaseAdjDialog::InitPreview()
{
    if (TPictureSelection* selection = PicChild->Selection())
        InitFromSelection(*selection);
    else
        InitFromBitmap(PicChild->Picture());
    TRegistry registry;
    LoadPosition(registry);
}

void TBaseAdjDialog::InitFromBitmap(TBitmap&) {}

void TBaseAdjDialog::InitFromSelection(TPictureSelection&) {}

void TBaseAdjDialog::DrawPreview(bool Centred)
{
    if (Centred)
        AdjImage->setGeometry((AdjPanel->width() - EffectsBitmap->Width()) / 2,
                              (AdjPanel->height() - EffectsBitmap->Height()) / 2, EffectsBitmap->Width(),
                              EffectsBitmap->Height());
    AdjImage->update();
}

void TBaseAdjDialog::LoadPosition(TRegistry& Registry)
{
    FPositionDesigned = false;
    if (!Registry.OpenKey(SDialogsKey, false))
        return;
    int32_t left = 0, top = 0;
    if (Registry.TryReadInteger("WinLeft", left) && Registry.TryReadInteger("WinTop", top)) {
        QRect screen(0, 0, 1024, 768);
        if (QScreen* s = QGuiApplication::primaryScreen())
            screen = s->geometry();
        const QSize frame = frameGeometry().size().expandedTo(size());
        left = std::clamp<int32_t>(left, 0, std::max(0, screen.width() - frame.width()));
        top = std::clamp<int32_t>(top, 0, std::max(0, screen.height() - frame.height()));
        // The stored place is that of the client area, restored as such: frame sizes differ between
        // window managers and are not known before the first show, so mixing the frame position with
        // the client position would move the dialog by the title bar at every opening.
        setGeometry(QRect(QPoint(left, top), size()));
        FPositionDesigned = true;
    }
    Registry.CloseKey();
}

void TBaseAdjDialog::SavePosition(TRegistry& Registry)
{
    if (!Registry.OpenKey(SDialogsKey, true))
        return;
    Registry.WriteInteger("WinLeft", geometry().x());
    Registry.WriteInteger("WinTop", geometry().y());
    Registry.CloseKey();
}

void TBaseAdjDialog::showEvent(QShowEvent* Event)
{
    // Without a stored position the dialog opens centred on the main window.
    if (!FPositionDesigned && parentWidget()) {
        const QWidget* main = parentWidget()->window();
        move(main->frameGeometry().center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
    TStandardDialog::showEvent(Event);
}

void TBaseAdjDialog::done(int Result)
{
    TStandardDialog::done(Result);
    GuardEvent(this, [this] {
        TRegistry registry;
        SavePosition(registry);
    });
}

// ---- Simple -----------------------------------------------------------------------------------------

TSimpleAdjDialog::TSimpleAdjDialog(QWidget* AOwner, TCVPicChildWin* PicChild) : TBaseAdjDialog(AOwner, PicChild)
{
    setWindowTitle("Simple Adjustment Dialog");
    SetFormSize(230, 228, 56);
    InitPreview();
    UpdatingAllowed = true;
}

TSimpleAdjDialog::~TSimpleAdjDialog() = default;

void TSimpleAdjDialog::InitFromBitmap(TBitmap& Source)
{
    int w = 0, h = 0;
    AdjPreviewSize(Source.Width(), Source.Height(), AdjImage->width(), AdjImage->height(), w, h);
    std::unique_ptr<TBitmap> copy;
    SmoothResize(Source24(Source, copy), *Bitmap, w, h);
    AdjImage->resize(Bitmap->Width(), Bitmap->Height());
    EffectsBitmap->AssignBitmap(*Bitmap);
    DrawPreview(true);
}

void TSimpleAdjDialog::InitFromSelection(TPictureSelection& Selection)
{
    if (!Selection.HasMask()) {
        InitFromBitmap(Selection.Picture());
        return;
    }
    TBitmap& picture = Selection.Picture();
    int w = 0, h = 0;
    AdjPreviewSize(picture.Width(), picture.Height(), AdjImage->width(), AdjImage->height(), w, h);
    PreviewMask = std::make_unique<TBool2DArray>();
    TBitmap scaled;
    std::unique_ptr<TBitmap> copy;
    SmoothResizeMasked(Source24(picture, copy), scaled, w, h, *Selection.Mask(), Selection.TransparentColour(),
                       PreviewMask.get());

    // Transparent parts show the background pattern.
    Bitmap->SetPixelFormat(pf24bit);
    Bitmap->SetSize(w, h);
    if (NonCanvasImage && !NonCanvasImage->Empty()) {
        for (int y = 0; y < h; y += NonCanvasImage->Height())
            for (int x = 0; x < w; x += NonCanvasImage->Width())
                Bitmap->Canvas().Draw(x, y, *NonCanvasImage);
    } else {
        Bitmap->Canvas().Brush.Color = 0xC0C0C0;
        Bitmap->Canvas().Brush.Style = bsSolid;
        Bitmap->Canvas().FillRect(TRect{0, 0, w, h});
    }
    Bitmap->SetPixelFormat(pf24bit);
    DrawMaskedBitmap(&scaled, Bitmap.get(), 0, 0, PreviewMask.get());

    AdjImage->resize(Bitmap->Width(), Bitmap->Height());
    EffectsBitmap->AssignBitmap(*Bitmap);
    DrawPreview(true);
}

void TSimpleAdjDialog::ResetEffects() { EffectsBitmap->Canvas().Draw(0, 0, *Bitmap); }

// ---- Track bar --------------------------------------------------------------------------------------

TTrackBarAdjDialog::TTrackBarAdjDialog(QWidget* AOwner, TCVPicChildWin* PicChild) : TSimpleAdjDialog(AOwner, PicChild)
{
    setWindowTitle("TrackBar Adjustment Dialog");
    auto* layout = new QVBoxLayout(SettingsPanel);
    layout->setContentsMargins(6, 4, 6, 2);
    layout->setSpacing(2);
    FLabelRow = new QHBoxLayout;
    MainLabel = new QLabel("...", SettingsPanel);
    FLabelRow->addWidget(MainLabel);
    FLabelRow->addStretch(1);
    layout->addLayout(FLabelRow);
    MainTrackBar = new TXTrackBar(SettingsPanel);
    MainTrackBar->setOrientation(Qt::Horizontal);
    MainTrackBar->setRange(-100, 100);
    MainTrackBar->setPageStep(0);
    MainTrackBar->setTickPosition(QSlider::NoTicks);
    layout->addWidget(MainTrackBar);
    MainTrackBar->OnChange = [this](QWidget*) { GuardEvent(this, [this] { MainTrackBarChange(); }); };
    MainTrackBar->OnMouseUp = [this](QWidget*, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
        GuardEvent(this, [&] { MainTrackBarMouseUp(X, Y); });
    };
}

void TTrackBarAdjDialog::AddEdit(QWidget* Edit)
{
    Edit->setFixedWidth(70);
    FLabelRow->addWidget(Edit);
}

void TTrackBarAdjDialog::ValueChanged(double AValue, bool FromTrack)
{
    if (!FromTrack)
        SetTrackPosition(static_cast<double>(ValueToTrack(AValue)));
}

void TTrackBarAdjDialog::SetTrackPosition(double AValue)
{
    const int p = static_cast<int>(std::trunc(AValue));
    if (MainTrackBar->Position() != p)
        MainTrackBar->SetPosition(p);
}

long long TTrackBarAdjDialog::ValueToTrack(double AValue) { return static_cast<long long>(std::trunc(AValue)); }

double TTrackBarAdjDialog::TrackToValue(int Position) { return Position; }

void TTrackBarAdjDialog::MainTrackBarChange() { ValueChanged(TrackToValue(MainTrackBar->Position()), true); }

void TTrackBarAdjDialog::MainTrackBarMouseUp(int X, int Y)
{
    if (!MainTrackBar->PointOnThumb(X, Y))
        MainTrackBar->SetPosition(MainTrackBar->PositionAtX(X));
}
