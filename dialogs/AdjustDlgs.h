#pragma once
// The brightness, gamma, blur and RGB dialogs: each setting has a spin edit and a track bar kept in
// step, the small preview shows the effect at once, Preview shows it on the picture, and OK returns
// the value for the caller to commit. The edits always show the clamped value that is applied.
#include "dialogs/BaseAdjDlg.h"

class TDoubleSpinEdit;
class TXSpinEdit;

inline constexpr const char* SInvalidBrightness = "The brightness factor is invalid";
inline constexpr const char* SInvalidCorrection = "The correction factor is invalid";
inline constexpr const char* SInvalidBlurRadius = "The blur radius is invalid";

class TAdjBrightDialog : public TTrackBarAdjDialog {
public:
    TAdjBrightDialog(QWidget* AOwner, TCVPicChildWin* PicChild);

    TXSpinEdit* BFactorSpin;

    // Whole percent, -100..100.
    int Brightness() const;
    void SetBrightness(double V);

    void ValueChanged(double V, bool FromTrack) override;
    void BFactorSpinChange();
    void OKButtonClick();
    void PreviewButtonClick();
};

class TAdjGammaDialog : public TTrackBarAdjDialog {
public:
    TAdjGammaDialog(QWidget* AOwner, TCVPicChildWin* PicChild);

    TDoubleSpinEdit* GCFactorSpin;

    // 0..4.99.
    double Gamma() const { return Value; }
    void SetGamma(double V);

    void ValueChanged(double V, bool FromTrack) override;
    long long ValueToTrack(double V) override;
    double TrackToValue(int Position) override;
    void GCFactorSpinChange();
    void OKButtonClick();
    void PreviewButtonClick();
};

class TBlurDialog : public TTrackBarAdjDialog {
public:
    TBlurDialog(QWidget* AOwner, TCVPicChildWin* PicChild);

    TDoubleSpinEdit* BlurFactorSpin;
    // Preview width / source width: the preview's blur radius is scaled by it.
    double PreviewScale = 1.0;

    // 0..20.
    double BlurRadius() const { return Value; }
    void SetBlurRadius(double V);

    void InitFromBitmap(TBitmap& Source) override;
    void InitFromSelection(TPictureSelection& Selection) override;
    void ValueChanged(double V, bool FromTrack) override;
    long long ValueToTrack(double V) override;
    double TrackToValue(int Position) override;
    void BlurFactorSpinChange();
    void OKButtonClick();
    void PreviewButtonClick();
};

class TAdjRGBDialog : public TSimpleAdjDialog {
public:
    TAdjRGBDialog(QWidget* AOwner, TCVPicChildWin* PicChild);

    TXSpinEdit* RedFactorSpin;
    TXSpinEdit* GreenFactorSpin;
    TXSpinEdit* BlueFactorSpin;
    TXTrackBar* RedTrackBar;
    TXTrackBar* GreenTrackBar;
    TXTrackBar* BlueTrackBar;

    // Percentages, -100..100.
    int Red() const { return FRed; }
    int Green() const { return FGreen; }
    int Blue() const { return FBlue; }
    void SetRed(int V);
    void SetGreen(int V);
    void SetBlue(int V);

    void HandleSpinChange(QWidget* Sender);
    void HandleTrackBarChange(QWidget* Sender);
    void HandleTrackBarMouseUp(QWidget* Sender, int X, int Y);
    void PreviewButtonClick();

private:
    int FRed = 0;
    int FGreen = 0;
    int FBlue = 0;
};
