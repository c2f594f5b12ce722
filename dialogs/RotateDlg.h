#pragma once
// The rotate dialog: an angle in whole degrees set with a dial, a spin edit and two quarter-turn
// buttons, kept in step at once. The preview shows the picture (or the floating selection) rotated,
// sized so that it fits the box at every angle; redrawing it is deferred to a single-shot timer, so
// a fast drag of the dial rotates the preview once for the last position.
#include "dialogs/BaseAdjDlg.h"
#include "platform/Graphics.h"

class QTimer;
class TDial;
class TXSpinEdit;

// The size of the rotation preview of a W x H source in a box Box pixels wide: its diagonal is at
// most Box, a smaller source is not enlarged, and no side is below 1.
void RotatePreviewSize(int W, int H, int Box, int& PreviewW, int& PreviewH);

class TRotateDialog : public TBaseAdjDialog {
public:
    TRotateDialog(QWidget* AOwner, TCVPicChildWin* PicChild, TColor BackColour);
    ~TRotateDialog() override;

    QLabel* Label1;
    TDial* RotateDial;
    QPushButton* RotateAWBut;
    QPushButton* RotateCWBut;
    TXSpinEdit* RotateSpinEdit;

    bool UpdatingAllowed = false;
    // 0..359.
    int Angle = 0;
    // For a selection: a colour the selection does not use.
    TColor BackColour = clBlack;
    std::unique_ptr<TBitmap> PanelBitmap;
    TRect BackRect{0, 0, 0, 0};
    bool IsSelection = false;

    // Any whole number of degrees to 0..359.
    static int NormaliseAngle(long long V);
    // Shows the angle on the dial and in the edit at once; the preview follows from the timer.
    void SetAngle(long long V);
    // Shows the stored angle in the edit: when the user leaves it and at OK, so that typed text
    // ("-45") reads as its angle (315) once the typing is over.
    void NormaliseEditText();
    // Redraws the preview now when a redraw is pending.
    void FlushPreview();
    bool PreviewPending() const;

    void InitFromBitmap(TBitmap& Source) override;
    void InitFromSelection(TPictureSelection& Selection) override;
    void DrawPreview(bool Centred) override;

    void RotateSpinEditChange();
    void RotateDialChange();
    void RotateAWButClick();
    void RotateCWButClick();
    void RotateSpinEditDownClick(bool& Handled);
    void RotateSpinEditUpClick(bool& Handled);
    void PreviewButtonClick();
    void OKButtonClick();

protected:
    void changeEvent(QEvent* Event) override;

private:
    void PreparePanel();
    void UpdatePreview();
    // SetAngle with the controls' change events held off; ShowInEdit false leaves the edit's text
    // alone (it is being typed).
    void SetAngleLocked(long long V, bool ShowInEdit = true);
    void ApplyAngle(long long V, bool ShowInEdit);
    QTimer* FPreviewTimer;
};
