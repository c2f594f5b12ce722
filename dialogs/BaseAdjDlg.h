#pragma once
// The frame of the adjustment dialogs: a square preview of the picture (or of its floating selection)
// scaled once when the dialog opens, a settings panel, and Preview, OK and Cancel. A change of a
// setting redraws the effect on the small copy only; Preview applies it to the picture through the
// picture window's preview protocol. The dialog's screen position is remembered under "Dialogs".
#include "dialogs/StandardDlg.h"

#include <memory>
#include <string>

class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class TBitmap;
class TBool2DArray;
class TCVPicChildWin;
class TEffectsBitmap;
class TPictureSelection;
class TRegistry;
class TXCanvello;
class TXTrackBar;

inline constexpr const char* SCannotAdjustPicture = "Can not adjust picture. Picture is invalid";
inline constexpr const char* SDialogsKey = "software\\Brenick_Labs\\Canvello_New\\Dialogs";

// The size of the preview of a W x H source in a BoxW x BoxH paint box: the longer side fills the
// box, a smaller source is not enlarged, the aspect ratio is kept and no side is below 1.
void AdjPreviewSize(int W, int H, int BoxW, int BoxH, int& PreviewW, int& PreviewH);

class TBaseAdjDialog : public TStandardDialog {
public:
    // Raises Exception "Can not adjust picture. Picture is invalid" without a picture window.
    TBaseAdjDialog(QWidget* AOwner, TCVPicChildWin* PicChild);
    ~TBaseAdjDialog() override;

    QFrame* AdjPanel;
    TXCanvello* AdjImage;
    QFrame* SeparaterPanel;
    QFrame* SettingsPanel;
    QPushButton* PreviewButton;

    TCVPicChildWin* PicChild = nullptr;
    std::unique_ptr<TBitmap> Bitmap;
    std::unique_ptr<TEffectsBitmap> EffectsBitmap;

    virtual void InitFromBitmap(TBitmap& Source);
    virtual void InitFromSelection(TPictureSelection& Selection);
    // Centred places the paint box in the middle of the panel with the preview's size.
    virtual void DrawPreview(bool Centred);
    virtual void LoadPosition(TRegistry& Registry);
    virtual void SavePosition(TRegistry& Registry);

    // Whether LoadPosition found a stored position (else the dialog is centred on its owner).
    bool PositionDesigned() const { return FPositionDesigned; }

    // Closing by OK or Cancel saves the position.
    void done(int Result) override;

protected:
    // Builds the preview from the picture or its selection, then loads the position. Called by the
    // constructor of the class that implements the Init functions.
    void InitPreview();
    // Sizes the panels: the paint box, and the settings panel's height.
    void SetFormSize(int ImageW, int ImageH, int SettingsH);
    void showEvent(QShowEvent* Event) override;

private:
    bool FPositionDesigned = false;
};

class TSimpleAdjDialog : public TBaseAdjDialog {
public:
    TSimpleAdjDialog(QWidget* AOwner, TCVPicChildWin* PicChild);
    ~TSimpleAdjDialog() override;

    std::unique_ptr<TBool2DArray> PreviewMask;
    bool UpdatingAllowed = false;

    void InitFromBitmap(TBitmap& Source) override;
    void InitFromSelection(TPictureSelection& Selection) override;

protected:
    // The redraw after a setting changed: Store takes the new value, then the unadjusted preview is
    // drawn back and Effect applied to it (masked pixels untouched). Nothing while a change is applied.
    // Key names the setting now stored: a preview already showing it is not drawn again (the edits
    // report a change both as typed text and as a new value).
    template <typename S, typename K, typename E>
    void ApplyChange(S&& Store, K&& Key, E&& Effect)
    {
        if (!UpdatingAllowed)
            return;
        UpdatingAllowed = false;
        struct TRestore {
            bool& Flag;
            ~TRestore() { Flag = true; }
        } restore{UpdatingAllowed};
        Store();
        std::string key = Key();
        if (key == FDrawnKey)
            return;
        FDrawnKey = std::move(key);
        ResetEffects();
        Effect(*EffectsBitmap, PreviewMask.get());
        DrawPreview(false);
    }
    void ResetEffects();

private:
    std::string FDrawnKey;
};

class TTrackBarAdjDialog : public TSimpleAdjDialog {
public:
    TTrackBarAdjDialog(QWidget* AOwner, TCVPicChildWin* PicChild);

    QLabel* MainLabel;
    TXTrackBar* MainTrackBar;
    double Value = 0;

    // Subclasses show Value in their edit first, then call this (it moves the track bar unless the
    // change came from it).
    virtual void ValueChanged(double Value, bool FromTrack);
    virtual void SetTrackPosition(double Value);
    virtual long long ValueToTrack(double Value);
    virtual double TrackToValue(int Position);

    void MainTrackBarChange();
    // A click on the bar away from the thumb moves the thumb there at once.
    void MainTrackBarMouseUp(int X, int Y);

protected:
    // Puts the edit of the setting beside MainLabel.
    void AddEdit(QWidget* Edit);

private:
    QHBoxLayout* FLabelRow;
};
