#include "dialogs/SizeDlgs.h"

#include "controls/AdvancedCombos.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "image/KTGenUtils.h"
#include "picwin/CVPicChildWn.h"
#include "platform/SysUtils.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::string TextOf(const QLineEdit* Edit) { return Edit->text().toStdString(); }
bool IsIntegerText(const QLineEdit* Edit) { return IsValidInteger(TextOf(Edit)); }
void ShowNumber(QLineEdit* Edit, int V) { Edit->setText(QString::fromStdString(IntToStr(V))); }

QGroupBox* NewGroupBox(TStandardDialog* Dialog, const char* Caption, QGridLayout*& Grid)
{
    auto* box = new QGroupBox(Caption, Dialog->ClientArea);
    auto* outer = new QVBoxLayout(Dialog->ClientArea);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(box);
    Grid = new QGridLayout(box);
    Grid->setColumnStretch(1, 1);
    return box;
}

QLineEdit* NewEdit(QWidget* Parent, const char* Text)
{
    auto* edit = new QLineEdit(Text, Parent);
    edit->setMaximumWidth(100);
    return edit;
}

// A message box refusing OK; the dialog stays open.
void Refuse(QWidget* Dialog, const char* Message) { ShowMessageDlg(Dialog, Message, mtInformation, mbOK); }

} // namespace

bool RatioSide(double X, int& Side)
{
    const double r = X + 0.5;
    if (!(r >= 1.0 && r < 65536.0))
        return false;
    Side = static_cast<int>(r);
    return true;
}

// ---- New picture ------------------------------------------------------------------------------------

TNewPicForm::TNewPicForm(QWidget* AOwner, int Width, int Height) : TStandardDialog(AOwner)
{
    setWindowTitle("New Picture");
    QGridLayout* grid = nullptr;
    GroupBox = NewGroupBox(this, "New Picture Properties", grid);
    Label1 = new QLabel("Width", GroupBox);
    WidthEdit = NewEdit(GroupBox, "600");
    Label2 = new QLabel("Height", GroupBox);
    HeightEdit = NewEdit(GroupBox, "400");
    Label3 = new QLabel("Canvas Colour", GroupBox);
    ColourCombo = new TColourComboSel(GroupBox);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(WidthEdit, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(HeightEdit, 1, 1);
    grid->addWidget(Label3, 2, 0, 1, 2);
    grid->addWidget(ColourCombo, 3, 0, 1, 2);
    SetFieldOrder({WidthEdit, HeightEdit, ColourCombo});
    SetExitHandler(WidthEdit, [this] { WidthEditExit(); });
    SetExitHandler(HeightEdit, [this] { HeightEditExit(); });
    SetOKHandler([this] { OKButtonClick(); });
    resize(251 + 12, height());

    SetPicWidth(Width > 0 ? Width : 600);
    SetPicHeight(Height > 0 ? Height : 400);
    ColourCombo->AddColour("Foreground Colour", ForegroundColour);
    ColourCombo->AddColour("Background Colour", BackgroundColour);
    ColourCombo->AddColour("White", 0xFFFFFF);
    ColourCombo->AddColour("Black", 0);
    ColourCombo->AddColour("Red", 0x0000FF);
    ColourCombo->AddColour("Green", 0x008000);
    ColourCombo->AddColour("Blue", 0xFF0000);
    ColourCombo->setCurrentIndex(1);
}

void TNewPicForm::SetPicWidth(int V)
{
    if (V > 0)
        PicWidth = V;
    ShowNumber(WidthEdit, PicWidth);
}

void TNewPicForm::SetPicHeight(int V)
{
    if (V > 0)
        PicHeight = V;
    ShowNumber(HeightEdit, PicHeight);
}

TColor TNewPicForm::SelectedColour() const { return ColourCombo->SelectedColourValue(); }

void TNewPicForm::WidthEditExit()
{
    if (IsIntegerText(WidthEdit))
        SetPicWidth(StrToInt(TextOf(WidthEdit)));
}

void TNewPicForm::HeightEditExit()
{
    if (IsIntegerText(HeightEdit))
        SetPicHeight(StrToInt(TextOf(HeightEdit)));
}

void TNewPicForm::OKButtonClick()
{
    CommitActiveEdit();
    if (IsIntegerText(WidthEdit) && IsIntegerText(HeightEdit))
        TStandardDialog::OKButtonClick();
    else
        Refuse(this, SInvalidNewPicDimensions);
}

// ---- Resize / resample ------------------------------------------------------------------------------

TResizePicForm::TResizePicForm(QWidget* AOwner, TCVPicChildWin* PicChild) : TStandardDialog(AOwner)
{
    setWindowTitle("Resize Picture");
    QGridLayout* grid = nullptr;
    GroupBox = NewGroupBox(this, "Resize Properties", grid);
    Label3 = new QLabel("Width", GroupBox);
    Label4 = new QLabel("Height", GroupBox);
    HeightEdit = NewEdit(GroupBox, "400");
    WidthEdit = NewEdit(GroupBox, "600");
    AspRatioEdit = NewEdit(GroupBox, "");
    AspRatioEdit->setMaximumWidth(60);
    AspRatioCBox = new QCheckBox("Maintain aspect ratio of:", GroupBox);
    AspRatioCBox->setChecked(true);
    grid->addWidget(Label3, 0, 0);
    grid->addWidget(WidthEdit, 0, 1);
    grid->addWidget(Label4, 1, 0);
    grid->addWidget(HeightEdit, 1, 1);
    grid->addWidget(AspRatioCBox, 2, 0, 1, 2);
    grid->addWidget(AspRatioEdit, 2, 2);
    SetFieldOrder({WidthEdit, HeightEdit, AspRatioCBox, AspRatioEdit});
    SetExitHandler(WidthEdit, [this] { WidthEditExit(); });
    SetExitHandler(HeightEdit, [this] { HeightEditExit(); });
    SetExitHandler(AspRatioEdit, [this] { AspRatioEditExit(); });
    connect(AspRatioCBox, &QCheckBox::clicked, this, [this] { GuardEvent(this, [this] { AspRatioCBoxClick(); }); });
    SetOKHandler([this] { OKButtonClick(); });
    resize(251 + 12, height());

    if (!PicChild || PicChild->Picture().Empty())
        throw Exception(SInvalidPicDimensions);
    SetPicWidth(PicChild->Picture().Width());
    SetPicHeight(PicChild->Picture().Height());
    AspectRatio = static_cast<double>(PicWidth) / PicHeight;
    AspRatioEdit->setText(QString::fromStdString(FloatToStrFixed(AspectRatio, 2)));
}

void TResizePicForm::SetPicWidth(int V)
{
    if (V > 0)
        PicWidth = V;
    ShowNumber(WidthEdit, PicWidth);
}

void TResizePicForm::SetPicHeight(int V)
{
    if (V > 0)
        PicHeight = V;
    ShowNumber(HeightEdit, PicHeight);
}

// The computed side is checked before it is stored: one that is no usable side (a negative ratio, a
// result beyond 65535) leaves the other edit as it was.
void TResizePicForm::SetHeightFromWidth()
{
    int side = 0;
    FSideNotDerived = !RatioSide(static_cast<double>(PicWidth) / AspectRatio, side);
    if (!FSideNotDerived)
        SetPicHeight(side);
}

void TResizePicForm::SetWidthFromHeight()
{
    int side = 0;
    FSideNotDerived = !RatioSide(static_cast<double>(PicHeight) * AspectRatio, side);
    if (!FSideNotDerived)
        SetPicWidth(side);
}

void TResizePicForm::WidthEditExit()
{
    const bool valid = IsIntegerText(WidthEdit);
    if (AspRatioCBox->isChecked()) {
        if (valid) {
            SetPicWidth(StrToInt(TextOf(WidthEdit)));
            SetHeightFromWidth();
        } else if (IsIntegerText(HeightEdit)) {
            SetWidthFromHeight();
        }
    } else if (valid) {
        SetPicWidth(StrToInt(TextOf(WidthEdit)));
    }
}

void TResizePicForm::HeightEditExit()
{
    const bool valid = IsIntegerText(HeightEdit);
    if (AspRatioCBox->isChecked()) {
        if (valid) {
            SetPicHeight(StrToInt(TextOf(HeightEdit)));
            SetWidthFromHeight();
        } else if (IsIntegerText(WidthEdit)) {
            SetHeightFromWidth();
        }
    } else if (valid) {
        SetPicHeight(StrToInt(TextOf(HeightEdit)));
    }
}

void TResizePicForm::AspRatioEditExit()
{
    const std::string text = TextOf(AspRatioEdit);
    SetAspectRatio(IsValidFloat(text) ? StrToFloat(text) : AspectRatio);
}

void TResizePicForm::SetAspectRatio(double V)
{
    if (V != 0)
        AspectRatio = V;
    if (AspRatioCBox->isChecked())
        ApplyRatio();
    AspRatioEdit->setText(QString::fromStdString(FloatToStrFixed(AspectRatio, 2)));
}

void TResizePicForm::ApplyRatio()
{
    if (IsIntegerText(WidthEdit))
        SetHeightFromWidth();
    else if (IsIntegerText(HeightEdit))
        SetWidthFromHeight();
}

void TResizePicForm::AspRatioCBoxClick()
{
    const bool checked = AspRatioCBox->isChecked();
    AspRatioEdit->setEnabled(checked);
    QPalette palette = AspRatioEdit->palette();
    palette.setColor(QPalette::Base, checked ? this->palette().color(QPalette::Base) : this->palette().color(QPalette::Button));
    AspRatioEdit->setPalette(palette);
    if (checked)
        ApplyRatio();
    else
        FSideNotDerived = false;
}

void TResizePicForm::OKButtonClick()
{
    CommitActiveEdit();
    // With the aspect kept, sides that do not follow the ratio would give another picture than asked.
    const bool kept = !AspRatioCBox->isChecked() || !FSideNotDerived;
    if (IsIntegerText(WidthEdit) && IsIntegerText(HeightEdit) && kept)
        TStandardDialog::OKButtonClick();
    else
        Refuse(this, SInvalidDimensions);
}

// ---- Enlarge canvas ---------------------------------------------------------------------------------

TEnlargeCanvasForm::TEnlargeCanvasForm(QWidget* AOwner, int Width, int Height) : TStandardDialog(AOwner)
{
    if (Width < 1 || Height < 1)
        throw Exception(SInvalidPicDimensions);
    setWindowTitle("Enlarge canvas");
    QGridLayout* grid = nullptr;
    GroupBox = NewGroupBox(this, "Canvas new dimensions", grid);
    WidthLabel = new QLabel("Width", GroupBox);
    HeightLabel = new QLabel("Height", GroupBox);
    HeightEdit = NewEdit(GroupBox, "400");
    WidthEdit = NewEdit(GroupBox, "600");
    CenterPicCBox = new QCheckBox("Center picture on canvas", GroupBox);
    grid->addWidget(WidthLabel, 0, 0);
    grid->addWidget(WidthEdit, 0, 1);
    grid->addWidget(HeightLabel, 1, 0);
    grid->addWidget(HeightEdit, 1, 1);
    grid->addWidget(CenterPicCBox, 2, 0, 1, 2);
    SetFieldOrder({WidthEdit, HeightEdit, CenterPicCBox});
    SetExitHandler(WidthEdit, [this] { WidthEditExit(); });
    SetExitHandler(HeightEdit, [this] { HeightEditExit(); });
    SetOKHandler([this] { OKButtonClick(); });
    resize(251 + 12, height());

    OrigWidth = Width;
    OrigHeight = Height;
    SetNewWidth(OrigWidth);
    SetNewHeight(OrigHeight);
}

void TEnlargeCanvasForm::SetNewWidth(int V)
{
    NewWidth = std::max(V, OrigWidth);
    ShowNumber(WidthEdit, NewWidth);
}

void TEnlargeCanvasForm::SetNewHeight(int V)
{
    NewHeight = std::max(V, OrigHeight);
    ShowNumber(HeightEdit, NewHeight);
}

bool TEnlargeCanvasForm::CenterPicture() const { return CenterPicCBox->isChecked(); }

void TEnlargeCanvasForm::WidthEditExit()
{
    if (IsIntegerText(WidthEdit))
        SetNewWidth(StrToInt(TextOf(WidthEdit)));
}

void TEnlargeCanvasForm::HeightEditExit()
{
    if (IsIntegerText(HeightEdit))
        SetNewHeight(StrToInt(TextOf(HeightEdit)));
}

void TEnlargeCanvasForm::OKButtonClick()
{
    CommitActiveEdit();
    if (IsIntegerText(WidthEdit) && IsIntegerText(HeightEdit))
        TStandardDialog::OKButtonClick();
    else
        Refuse(this, SInvalidDimensions);
}
