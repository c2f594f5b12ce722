#pragma once
// The size dialogs of the picture commands: new picture (size and canvas colour), resize or resample
// (size with an optional locked aspect ratio) and enlarge canvas (a size no smaller than the picture,
// centred or not). Each edit keeps a stored value: leaving it with text that is not a usable number
// (or not a positive one) shows the stored value again, and OK refuses to close while a width or
// height text is not an integer.
#include "dialogs/StandardDlg.h"

#include "platform/Graphics.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class TColourComboSel;
class TCVPicChildWin;

inline constexpr const char* SInvalidPicDimensions = "Invalid picture dimensions";
inline constexpr const char* SInvalidNewPicDimensions = "At least one of the new picture dimensions is invalid";
inline constexpr const char* SInvalidDimensions = "At least one of the dimensions is invalid";

// RoundHalfUp(X) when it is a usable picture side (1..65535); false for anything else (negative,
// zero, too large, not a number), so that an impossible side is never stored.
bool RatioSide(double X, int& Side);

class TNewPicForm : public TStandardDialog {
public:
    // Width or Height below 1 means the default 600 x 400.
    TNewPicForm(QWidget* AOwner, int Width, int Height);

    QGroupBox* GroupBox;
    QLabel* Label1;
    QLineEdit* WidthEdit;
    QLabel* Label2;
    QLineEdit* HeightEdit;
    QLabel* Label3;
    TColourComboSel* ColourCombo;

    int PicWidth = 0;
    int PicHeight = 0;

    void SetPicWidth(int V);
    void SetPicHeight(int V);
    TColor SelectedColour() const;

    void WidthEditExit();
    void HeightEditExit();
    void OKButtonClick();
};

class TResizePicForm : public TStandardDialog {
public:
    // Raises Exception "Invalid picture dimensions" without a window or for an empty picture.
    TResizePicForm(QWidget* AOwner, TCVPicChildWin* PicChild);

    QGroupBox* GroupBox;
    QLabel* Label3;
    QLabel* Label4;
    QLineEdit* HeightEdit;
    QLineEdit* WidthEdit;
    QLineEdit* AspRatioEdit;
    QCheckBox* AspRatioCBox;

    int PicWidth = 0;
    int PicHeight = 0;
    double AspectRatio = 1.0; // width / height

    void SetPicWidth(int V);
    void SetPicHeight(int V);
    // 0 keeps the stored ratio; with the box checked the sizes follow it.
    void SetAspectRatio(double V);
    void ApplyRatio();

    void WidthEditExit();
    void HeightEditExit();
    void AspRatioEditExit();
    void AspRatioCBoxClick();
    void OKButtonClick();

private:
    // These two store the side they derive only when it is a usable one, and note when it is not.
    void SetHeightFromWidth();
    void SetWidthFromHeight();
    // The last side the ratio should have given was no usable side: the sides break the aspect.
    bool FSideNotDerived = false;
};

class TEnlargeCanvasForm : public TStandardDialog {
public:
    // Raises Exception "Invalid picture dimensions" when a side is below 1.
    TEnlargeCanvasForm(QWidget* AOwner, int Width, int Height);

    QGroupBox* GroupBox;
    QLabel* WidthLabel;
    QLabel* HeightLabel;
    QLineEdit* HeightEdit;
    QLineEdit* WidthEdit;
    QCheckBox* CenterPicCBox;

    int OrigWidth = 0;
    int OrigHeight = 0;
    int NewWidth = 0;
    int NewHeight = 0;

    // The canvas only grows: a value below the picture's side gives the picture's side.
    void SetNewWidth(int V);
    void SetNewHeight(int V);
    bool CenterPicture() const;

    void WidthEditExit();
    void HeightEditExit();
    void OKButtonClick();
};
