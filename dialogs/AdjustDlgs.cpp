#include "dialogs/AdjustDlgs.h"

#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "image/EffectsBitmap.h"
#include "image/PicSelection.h"
#include "picwin/CVPicChildWn.h"
#include "platform/SysUtils.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <cmath>

namespace {

void Refuse(QWidget* Dialog, const char* Message) { ShowMessageDlg(Dialog, Message, mtInformation, mbOK); }

// Hundredths of a value for the track bar; the small bias keeps 1.37 at 137 although 1.37 * 100 is
// a little below 137 in binary.
long long Hundredths(double V) { return static_cast<long long>(std::trunc(V * 100.0 + 1e-7)); }

TXSpinEdit* NewPercentSpin(QWidget* Parent)
{
    auto* spin = new TXSpinEdit(Parent);
    spin->SetMinValue(-100);
    spin->SetMaxValue(100);
    // Room for "-100".
    spin->SetMaxLength(4);
    spin->setToolTip("Brightness factor");
    return spin;
}

TDoubleSpinEdit* NewDecimalSpin(QWidget* Parent, double Max)
{
    auto* spin = new TDoubleSpinEdit(Parent);
    spin->SetNumDecimalPoints(2);
    spin->SetIncrement(0.01);
    spin->SetMinValue(0);
    spin->SetMaxValue(Max);
    return spin;
}

// The integer edit shows V unless it already does (a typed 150 where the limit is 100 shows 100).
void ShowClamped(TXSpinEdit* Spin, int V)
{
    // Set as text: the spin box's own value may already be V, and then SetValue shows nothing new.
    if (Spin->Text() != IntToStr(V))
        Spin->Editor()->setText(QString::number(V));
}

// The decimal edit shows V when its text means another number (typed beyond the range); text being
// typed that already means V is left alone.
void ShowClamped(TDoubleSpinEdit* Spin, double V)
{
    double typed = 0;
    if (!Spin->TryValue(typed) || std::abs(typed - V) > 1e-9)
        Spin->Editor()->setText(FormatDecimal(V, Spin->NumDecimalPoints()));
}

// Runs Handler whenever the edit's text is typed. (The spin box reports changes of its value, set or
// typed, but a typed 150 after 100 leaves the value as it was and would stay on show.)
template <typename S, typename F>
void OnEditChange(S* Spin, QWidget* Dialog, F Handler)
{
    QObject::connect(Spin->Editor(), &QLineEdit::textChanged, Dialog,
                     [Dialog, Handler](const QString&) { GuardEvent(Dialog, Handler); });
}

} // namespace

// ---- Brightness -------------------------------------------------------------------------------------

TAdjBrightDialog::TAdjBrightDialog(QWidget* AOwner, TCVPicChildWin* PicChild) : TTrackBarAdjDialog(AOwner, PicChild)
{
    setWindowTitle("Adjust Brightness");
    MainLabel->setText("Brightness (%)");
    BFactorSpin = NewPercentSpin(SettingsPanel);
    AddEdit(BFactorSpin);
    MainLabel->setBuddy(BFactorSpin);
    MainTrackBar->setRange(-100, 100);
    OnEditChange(BFactorSpin, this, [this] { BFactorSpinChange(); });
    BFactorSpin->OnChange = [this](QWidget*) { BFactorSpinChange(); };
    SetOKHandler([this] { OKButtonClick(); });
    connect(PreviewButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { PreviewButtonClick(); }); });
    UpdatingAllowed = false;
    SetBrightness(10);
    UpdatingAllowed = true;
}

int TAdjBrightDialog::Brightness() const { return static_cast<int>(std::trunc(Value)); }

void TAdjBrightDialog::SetBrightness(double V)
{
    V = std::clamp(V, -100.0, 100.0);
    if (V != Value) {
        Value = V;
        ValueChanged(Value, false);
    }
}

void TAdjBrightDialog::ValueChanged(double V, bool FromTrack)
{
    BFactorSpin->SetValue(static_cast<int>(std::trunc(V)));
    TTrackBarAdjDialog::ValueChanged(V, FromTrack);
}

void TAdjBrightDialog::BFactorSpinChange()
{
    if (!BFactorSpin->TextIsValid())
        return;
    ApplyChange([this] { SetBrightness(BFactorSpin->Value()); ShowClamped(BFactorSpin, Brightness()); },
                [this] { return IntToStr(Brightness()); },
                [this](TEffectsBitmap& B, const TBool2DArray* Mask) { B.Brighten(Brightness(), Mask); });
}

void TAdjBrightDialog::OKButtonClick()
{
    if (BFactorSpin->TextIsValid())
        TStandardDialog::OKButtonClick();
    else
        Refuse(this, SInvalidBrightness);
}

void TAdjBrightDialog::PreviewButtonClick() { PicChild->BrightenPicture(Brightness(), true); }

// ---- Gamma ------------------------------------------------------------------------------------------

TAdjGammaDialog::TAdjGammaDialog(QWidget* AOwner, TCVPicChildWin* PicChild) : TTrackBarAdjDialog(AOwner, PicChild)
{
    setWindowTitle("Gamma Correction");
    MainLabel->setText("Factor");
    GCFactorSpin = NewDecimalSpin(SettingsPanel, 4.99);
    AddEdit(GCFactorSpin);
    MainLabel->setBuddy(GCFactorSpin);
    MainTrackBar->setRange(0, 499);
    OnEditChange(GCFactorSpin, this, [this] { GCFactorSpinChange(); });
    GCFactorSpin->OnChange = [this](QWidget*) { GCFactorSpinChange(); };
    SetOKHandler([this] { OKButtonClick(); });
    connect(PreviewButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { PreviewButtonClick(); }); });
    UpdatingAllowed = false;
    SetGamma(1.0);
    UpdatingAllowed = true;
}

void TAdjGammaDialog::SetGamma(double V)
{
    V = std::clamp(V, 0.0, 4.99);
    if (V != Value) {
        Value = V;
        ValueChanged(Value, false);
    }
}

void TAdjGammaDialog::ValueChanged(double V, bool FromTrack)
{
    GCFactorSpin->SetValue(V);
    TTrackBarAdjDialog::ValueChanged(V, FromTrack);
}

long long TAdjGammaDialog::ValueToTrack(double V) { return Hundredths(V); }

double TAdjGammaDialog::TrackToValue(int Position) { return Position / 100.0; }

void TAdjGammaDialog::GCFactorSpinChange()
{
    double typed = 0;
    if (!GCFactorSpin->TryValue(typed))
        return;
    ApplyChange([this, typed] { SetGamma(typed); ShowClamped(GCFactorSpin, Value); },
                [this] { return FloatToStr(Value); },
                [this](TEffectsBitmap& B, const TBool2DArray* Mask) { B.GammaCorrect(Mask, Value); });
}

void TAdjGammaDialog::OKButtonClick()
{
    if (GCFactorSpin->TextIsValid())
        TStandardDialog::OKButtonClick();
    else
        Refuse(this, SInvalidCorrection);
}

void TAdjGammaDialog::PreviewButtonClick() { PicChild->GammaCorrectPicture(Value, true); }

// ---- Blur -------------------------------------------------------------------------------------------

namespace {

double ScaleOf(const TBitmap& Preview, const TBitmap& Source)
{
    return Source.Width() > 0 ? double(Preview.Width()) / Source.Width() : 1.0;
}

} // namespace

TBlurDialog::TBlurDialog(QWidget* AOwner, TCVPicChildWin* PicChild) : TTrackBarAdjDialog(AOwner, PicChild)
{
    setWindowTitle("Blur Picture");
    MainLabel->setText("Blur Radius");
    BlurFactorSpin = NewDecimalSpin(SettingsPanel, 20);
    AddEdit(BlurFactorSpin);
    MainLabel->setBuddy(BlurFactorSpin);
    MainTrackBar->setRange(0, 2000);
    OnEditChange(BlurFactorSpin, this, [this] { BlurFactorSpinChange(); });
    BlurFactorSpin->OnChange = [this](QWidget*) { BlurFactorSpinChange(); };
    SetOKHandler([this] { OKButtonClick(); });
    connect(PreviewButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { PreviewButtonClick(); }); });
    // The preview was built by the base constructor.
    TPictureSelection* selection = PicChild->Selection();
    PreviewScale = ScaleOf(*Bitmap, selection ? static_cast<TBitmap&>(selection->Picture()) : PicChild->Picture());
    UpdatingAllowed = false;
    SetBlurRadius(1.0);
    UpdatingAllowed = true;
}

void TBlurDialog::InitFromBitmap(TBitmap& Source)
{
    TTrackBarAdjDialog::InitFromBitmap(Source);
    PreviewScale = ScaleOf(*Bitmap, Source);
}

void TBlurDialog::InitFromSelection(TPictureSelection& Selection)
{
    TTrackBarAdjDialog::InitFromSelection(Selection);
    PreviewScale = ScaleOf(*Bitmap, Selection.Picture());
}

void TBlurDialog::SetBlurRadius(double V)
{
    V = std::clamp(V, 0.0, 20.0);
    if (V != Value) {
        Value = V;
        ValueChanged(Value, false);
    }
}

void TBlurDialog::ValueChanged(double V, bool FromTrack)
{
    BlurFactorSpin->SetValue(V);
    TTrackBarAdjDialog::ValueChanged(V, FromTrack);
}

long long TBlurDialog::ValueToTrack(double V) { return Hundredths(V); }

double TBlurDialog::TrackToValue(int Position) { return Position / 100.0; }

void TBlurDialog::BlurFactorSpinChange()
{
    double typed = 0;
    if (!BlurFactorSpin->TryValue(typed))
        return;
    ApplyChange([this, typed] { SetBlurRadius(typed); ShowClamped(BlurFactorSpin, Value); },
                [this] { return FloatToStr(Value); },
                [this](TEffectsBitmap& B, const TBool2DArray* Mask) {
                    if (Value > 0)
                        B.Blur(Mask, Value * PreviewScale);
                });
}

void TBlurDialog::OKButtonClick()
{
    if (BlurFactorSpin->TextIsValid())
        TStandardDialog::OKButtonClick();
    else
        Refuse(this, SInvalidBlurRadius);
}

void TBlurDialog::PreviewButtonClick() { PicChild->BlurPicture(Value, true); }

// ---- RGB --------------------------------------------------------------------------------------------

TAdjRGBDialog::TAdjRGBDialog(QWidget* AOwner, TCVPicChildWin* PicChild) : TSimpleAdjDialog(AOwner, PicChild)
{
    setWindowTitle("Adjust RGB");
    auto* grid = new QGridLayout(SettingsPanel);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(0);
    const char* labels[] = {"Red (%)", "Green (%)", "Blue (%)"};
    TXSpinEdit** spins[] = {&RedFactorSpin, &GreenFactorSpin, &BlueFactorSpin};
    TXTrackBar** bars[] = {&RedTrackBar, &GreenTrackBar, &BlueTrackBar};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(labels[i], SettingsPanel);
        auto* spin = *spins[i] = NewPercentSpin(SettingsPanel);
        spin->setFixedWidth(60);
        label->setBuddy(spin);
        auto* bar = *bars[i] = new TXTrackBar(SettingsPanel);
        bar->setOrientation(Qt::Horizontal);
        bar->setRange(-100, 100);
        bar->setPageStep(0);
        bar->setTickPosition(QSlider::NoTicks);
        grid->addWidget(label, i, 0);
        grid->addWidget(bar, i, 1);
        grid->addWidget(spin, i, 2);
        spin->SetValue(0);
        OnEditChange(spin, this, [this, spin] { HandleSpinChange(spin); });
        spin->OnChange = [this](QWidget* Sender) { HandleSpinChange(Sender); };
        bar->OnChange = [this](QWidget* Sender) { GuardEvent(this, [this, Sender] { HandleTrackBarChange(Sender); }); };
        bar->OnMouseUp = [this](QWidget* Sender, Qt::MouseButton, Qt::KeyboardModifiers, int X, int Y) {
            GuardEvent(this, [&] { HandleTrackBarMouseUp(Sender, X, Y); });
        };
    }
    SetFormSize(230, 228, 84);
    DrawPreview(true);
    connect(PreviewButton, &QPushButton::clicked, this, [this] { GuardEvent(this, [this] { PreviewButtonClick(); }); });
}

void TAdjRGBDialog::SetRed(int V)
{
    V = std::clamp(V, -100, 100);
    if (V != FRed) {
        FRed = V;
        RedFactorSpin->SetValue(V);
    }
}

void TAdjRGBDialog::SetGreen(int V)
{
    V = std::clamp(V, -100, 100);
    if (V != FGreen) {
        FGreen = V;
        GreenFactorSpin->SetValue(V);
    }
}

void TAdjRGBDialog::SetBlue(int V)
{
    V = std::clamp(V, -100, 100);
    if (V != FBlue) {
        FBlue = V;
        BlueFactorSpin->SetValue(V);
    }
}

void TAdjRGBDialog::HandleSpinChange(QWidget* Sender)
{
    auto* spin = dynamic_cast<TXSpinEdit*>(Sender);
    if (!spin || !spin->TextIsValid())
        return;
    ApplyChange(
        [this, spin] {
            if (spin == RedFactorSpin) {
                SetRed(spin->Value());
                ShowClamped(spin, FRed);
                RedTrackBar->SetPosition(FRed);
            } else if (spin == GreenFactorSpin) {
                SetGreen(spin->Value());
                ShowClamped(spin, FGreen);
                GreenTrackBar->SetPosition(FGreen);
            } else if (spin == BlueFactorSpin) {
                SetBlue(spin->Value());
                ShowClamped(spin, FBlue);
                BlueTrackBar->SetPosition(FBlue);
            }
        },
        [this] { return IntToStr(FRed) + " " + IntToStr(FGreen) + " " + IntToStr(FBlue); },
        [this](TEffectsBitmap& B, const TBool2DArray* Mask) { B.AdjustRGB(FRed, FGreen, FBlue, Mask); });
}

void TAdjRGBDialog::HandleTrackBarChange(QWidget* Sender)
{
    if (Sender == RedTrackBar)
        RedFactorSpin->SetValue(RedTrackBar->Position());
    else if (Sender == GreenTrackBar)
        GreenFactorSpin->SetValue(GreenTrackBar->Position());
    else if (Sender == BlueTrackBar)
        BlueFactorSpin->SetValue(BlueTrackBar->Position());
}

void TAdjRGBDialog::HandleTrackBarMouseUp(QWidget* Sender, int X, int Y)
{
    auto* bar = dynamic_cast<TXTrackBar*>(Sender);
    if (bar && !bar->PointOnThumb(X, Y))
        bar->SetPosition(bar->PositionAtX(X));
}

void TAdjRGBDialog::PreviewButtonClick() { PicChild->AdjustRGBPicture(FRed, FGreen, FBlue, true); }
