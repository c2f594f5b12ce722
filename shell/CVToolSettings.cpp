// The tool panel: tool selection, the settings pages, pen-tip masks, the colour panel and the text
// tool's bitmap.
#include "shell/CVToolSettings.h"

#include "controls/AddTextDlg.h"
#include "controls/AdvancedCombos.h"
#include "controls/ColourSpectrum.h"
#include "controls/RecentColorsGrd.h"
#include "controls/XGraphicCtrls.h"
#include "controls/XPanels.h"
#include "controls/XSpinEdits.h"
#include "globals/CVGlobal.h"
#include "image/BitmapUtils.h"
#include "image/KTGenUtils.h"
#include "platform/SysUtils.h"
#include "shell/CVMain.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QStackedWidget>
#include <QToolButton>

#include <algorithm>
#include <vector>

// ---- Pen tips ---------------------------------------------------------------------------------------

void BuildTipMask(TBitmap& Mask, int Shape, int Size)
{
    Size = std::max(Size, 0);
    Mask.SetPixelFormat(pf24bit);
    Mask.SetSize(Size, Size);
    const int w = Mask.Width();
    TCanvas& c = Mask.Canvas();
    c.Pen.Mode = pmCopy;
    c.Pen.Style = psSolid;
    c.Pen.Width = 1;
    c.Brush.Style = bsSolid;
    if (w >= 2 && Shape != tsSquare) {
        c.Brush.Color = clWhite;
        c.FillRect(Rect(0, 0, w, w));
    }
    c.Brush.Color = clBlack;
    c.Pen.Color = clBlack;
    if (w == 1 || Shape == tsSquare) {
        c.FillRect(Rect(0, 0, w, w));
        return;
    }
    const int d = RoundHalfUp(w / 10.0) + 1;
    switch (Shape) {
    case tsTriangle:
        c.Polygon({{0, w}, {w, w}, {w / 2, 0}});
        break;
    case tsLeftSlash:
        c.Polygon({{0, 0}, {d, 0}, {w, w - d}, {w, w}, {w - d, w}, {0, d}});
        break;
    case tsRightSlash:
        c.Polygon({{0, w}, {d, w}, {w, d}, {w, 0}, {w - d, 0}, {0, w - d}});
        break;
    default:
        c.Ellipse(0, 0, w, w);
        break;
    }
}

// ---- Text bitmap ------------------------------------------------------------------------------------

namespace {

std::vector<std::string> TextLines(const std::string& Text)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < Text.size(); ++i) {
        const char ch = Text[i];
        if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n')
                ++i;
            lines.emplace_back();
        } else {
            lines.back() += ch;
        }
    }
    return lines;
}

} // namespace

std::unique_ptr<TBitmap> RenderTextBitmap(const std::string& Text, const TFont& Font)
{
    auto bmp = std::make_unique<TBitmap>(0, 0, pf24bit);
    TCanvas& c = bmp->Canvas();
    c.Font = Font;
    const std::vector<std::string> lines = TextLines(Text);
    int width = 0;
    for (const std::string& line : lines)
        width = std::max(width, c.TextWidth(line));
    const int lineHeight = c.TextHeight(Text);
    bmp->SetSize(width, lineHeight * static_cast<int>(lines.size()));
    // The key colour: black behind white text, white behind anything else.
    c.Brush.Style = bsSolid;
    c.Brush.Color = ColorToRGB(Font.Color) == 0xFFFFFF ? clBlack : clWhite;
    c.Pen.Color = c.Brush.Color;
    c.FillRect(Rect(0, 0, bmp->Width(), bmp->Height()));
    // The canvas draws hard-edged glyphs, so every pixel is the key or the font colour.
    for (size_t i = 0; i < lines.size(); ++i)
        c.TextOut(0, static_cast<int>(i) * lineHeight, lines[i]);
    return bmp;
}

// ---- The panel --------------------------------------------------------------------------------------

namespace {

// The twelve tool actions: tool, cursor (-1: the shapes cursor) and page (null: unchanged).
struct TToolEntry {
    const char* Action;
    TCVTool Tool;
    int16_t Cursor;
    const char* Page;
};
constexpr TToolEntry kTools[] = {
    {"ActPen", ctPen, crCVPen, "PenSheet"},
    {"ActFill", ctFill, crCVFill, "FillSheet"},
    {"ActSpecialPen", ctSpecialPen, crCVPen, "SpecialPenSheet"},
    {"ActSprayCan", ctSprayCan, crCVSprayCan, "SprayCanSheet"},
    {"ActShapes", ctShapes, -1, "ShapesSheet"},
    {"ActAddText", ctAddText, crCVText, "AddTextSheet"},
    {"ActDropper", ctDropper, crCVDropper, nullptr},
    {"ActDrag", ctDrag, crCVDrag, "ZoomSheet"},
    {"ActZoom", ctZoom, crCVZoom, "ZoomSheet"},
    {"ActSelectRect", ctSelectRect, crCVSelectRect, "SelectionSheet"},
    {"ActSelectFreehand", ctSelectFreehand, crCVSelectFreehand, "SelectionSheet"},
    {"ActMagicWand", ctMagicWand, crCVMagicWand, "MagicWandSheet"},
};

// A shape combo's index as a tip shape: 1..4 as they are, anything else round.
int TipShapeOf(const QComboBox* Combo)
{
    const int i = Combo->currentIndex();
    return i >= 1 && i <= 4 ? i : tsRound;
}

template <typename T>
T* Find(QWidget* Root, const char* Name)
{
    // The controls have no meta-object of their own: found by name, checked by their C++ type.
    T* w = dynamic_cast<T*>(Root->findChild<QWidget*>(Name));
    if (!w)
        throw Exception(Format("The tool panel has no control %s", Name));
    return w;
}

} // namespace

TToolPanel::TToolPanel(TCanvelloMain& Main) : QObject(&Main), FMain(Main)
{
    FAddTextDialog = new TAddTextDialog(&FMain);
    FindControls();
    WireTools();
    WireSettings();
    WireColours();
    StartUpDefaults();
}

TToolPanel::~TToolPanel()
{
    PenSettings.Mask.reset();
    SpecialPenSettings.Mask.reset();
    SprayCanSettings.Mask.reset();
}

void TToolPanel::FindControls()
{
    QWidget* root = &FMain;
    FPenWidthSpin = Find<TXSpinEdit>(root, "PenWidthSpin");
    FPenShapeCombo = Find<QComboBox>(root, "PenShapeCombo");
    FFillTolerSpin = Find<TXSpinEdit>(root, "FillTolerSpin");
    FSpecPenActionCombo = Find<QComboBox>(root, "SpecPenActionCombo");
    FSpecPenWidthSpin = Find<TXSpinEdit>(root, "SpecPenWidthSpin");
    FSpecPenShapeCombo = Find<QComboBox>(root, "SpecPenShapeCombo");
    FSpecPenSetting1Spin = Find<TXSpinEdit>(root, "SpecPenSetting1Spin");
    FSpecPenSettingsLabel = Find<QLabel>(root, "SpecPenSetting1SpinLabel");
    FSprayCanWidthSpin = Find<TXSpinEdit>(root, "SprayCanWidthSpin");
    FSprayCanOpacitySpin = Find<TXSpinEdit>(root, "SprayCanOpacitySpin");
    FSprayCanDiffusionSpin = Find<TXSpinEdit>(root, "SprayCanDiffusionSpin");
    FShapeWidthSpin = Find<TXSpinEdit>(root, "ShapeWidthSpin");
    FShapeShapeCombo = Find<QComboBox>(root, "ShapeShapeCombo");
    FShapeStyleCombo = Find<TAdvancedCustomComboBox>(root, "ShapeStyleCombo");
    FTransSelBtn = Find<QToolButton>(root, "TransSelBtn");
    FTransColCombo = Find<TColourComboSel>(root, "TransColCombo");
    FTransColLabel = Find<QLabel>(root, "TransColComboLabel");
    FMagicWandTolerSpin = Find<TXSpinEdit>(root, "MagicWandTolerSpin");
    FSwapColoursBut = Find<QToolButton>(root, "SwapColoursBut");
}

// ---- Tools ------------------------------------------------------------------------------------------

void TToolPanel::WireTools()
{
    for (const TToolEntry& e : kTools) {
        QAction* act = FMain.Action(e.Action);
        act->setEnabled(true);
        connect(act, &QAction::triggered, this,
                [this, act, e] { GuardEvent(&FMain, [&] { ToolSelected(act, e.Tool, e.Cursor, e.Page); }); });
    }
}

void TToolPanel::ToolSelected(QAction* Sender, TCVTool Tool, int16_t Cursor, const char* Page)
{
    Sender->setChecked(true);
    CurrentTool = Tool;
    if (Cursor < 0)
        UpdateShapeCursor();
    else
        SetToolCursor(Cursor);
    if (Page)
        ShowPage(Page);
    if (Tool == ctAddText)
        QueryAddText();
}

void TToolPanel::ShowPage(const char* Name)
{
    if (QWidget* page = FMain.FSettingsPages->findChild<QWidget*>(Name, Qt::FindDirectChildrenOnly))
        FMain.FSettingsPages->setCurrentWidget(page);
}

std::string TToolPanel::CurrentPageName() const
{
    const QWidget* page = FMain.FSettingsPages->currentWidget();
    return page ? page->objectName().toStdString() : std::string();
}

void TToolPanel::SetToolCursor(int16_t Cursor)
{
    if (Cursor == CurrentCursor)
        return;
    CurrentCursor = Cursor;
    const std::vector<TBasicCVChild*> children = FMain.Children();
    for (auto it = children.rbegin(); it != children.rend(); ++it)
        if (auto* pic = dynamic_cast<TCVPicChildWin*>(*it))
            pic->PictureScrollBox().setCursor(ToolCursor(Cursor));
}

void TToolPanel::UpdateShapeCursor()
{
    int16_t cursor = crCVLine;
    switch (ShapeSettings.Shape) {
    case skSquare:
    case skRectangle:
        cursor = ShapeSettings.Filled ? crCVRectFill : crCVRectLine;
        break;
    case skCircle:
    case skEllipse:
        cursor = ShapeSettings.Filled ? crCVCircleFill : crCVCircleLine;
        break;
    case skLine:
        break;
    }
    SetToolCursor(cursor);
}

// ---- Settings pages ---------------------------------------------------------------------------------

void TToolPanel::OnSpin(TXSpinEdit* Spin, std::function<void(int Value)> Body)
{
    Spin->setEnabled(true);
    Spin->OnChange = [this, Spin, Body = std::move(Body)](QWidget*) {
        if (FUpdating || !IsValidInteger(Spin->Text()))
            return;
        Body(Spin->Value());
    };
}

void TToolPanel::SetSpinQuietly(TXSpinEdit* Spin, int Value)
{
    const bool was = FUpdating;
    FUpdating = true;
    Spin->SetValue(Value);
    FUpdating = was;
}

void TToolPanel::WireSettings()
{
    auto onSelect = [this](QComboBox* Combo, std::function<void()> Handler) {
        Combo->setEnabled(true);
        connect(Combo, qOverload<int>(&QComboBox::activated), this,
                [this, Handler = std::move(Handler)](int) { GuardEvent(&FMain, Handler); });
    };
    OnSpin(FPenWidthSpin, [this](int V) {
        PenSettings.Width = V;
        PenShapeSelect();
    });
    onSelect(FPenShapeCombo, [this] { PenShapeSelect(); });
    // The shape combos show each tip beside its name.
    QList<QPixmap> tips;
    for (int shape = tsRound; shape <= tsRightSlash; ++shape) {
        TBitmap tip;
        BuildTipMask(tip, shape, 12);
        tips.append(QPixmap::fromImage(BitmapToQImage(tip, false)));
    }
    for (QComboBox* combo : {FPenShapeCombo, FSpecPenShapeCombo})
        if (auto* images = dynamic_cast<TAdvancedComboBox*>(combo))
            images->SetImages(tips);
    OnSpin(FFillTolerSpin, [](int V) { FillTolerance = V; });
    onSelect(FSpecPenActionCombo, [this] { SpecPenActionSelect(); });
    OnSpin(FSpecPenWidthSpin, [this](int V) {
        SpecialPenSettings.Width = V;
        SpecPenShapeSelect();
    });
    onSelect(FSpecPenShapeCombo, [this] { SpecPenShapeSelect(); });
    OnSpin(FSpecPenSetting1Spin, [](int V) {
        if (SpecialPenSettings.Action == 1)
            SpecialPenSettings.Opacity = V;
        else
            SpecialPenSettings.Tolerance = V;
    });
    OnSpin(FSprayCanWidthSpin, [](int V) {
        SprayCanSettings.Width = V;
        BuildTipMask(*SprayCanSettings.Mask, tsRound, V);
    });
    OnSpin(FSprayCanOpacitySpin, [](int V) { SprayCanSettings.Opacity = V; });
    OnSpin(FSprayCanDiffusionSpin, [](int V) { SprayCanSettings.Diffusion = V; });
    OnSpin(FShapeWidthSpin, [](int V) { ShapeSettings.Width = V; });
    onSelect(FShapeShapeCombo, [this] {
        const int i = FShapeShapeCombo->currentIndex();
        ShapeSettings.Shape = i >= 1 && i <= 4 ? static_cast<TShapeKind>(i) : skLine;
        UpdateShapeCursor();
    });
    onSelect(FShapeStyleCombo, [this] {
        ShapeSettings.Filled = FShapeStyleCombo->currentIndex() == 1;
        UpdateShapeCursor();
    });
    // The style items: the text at the item's left, centred vertically.
    FShapeStyleCombo->OnDrawItem = [this](QWidget*, QPainter& Canvas, int Index, const QRect& R, TOwnerDrawState) {
        Canvas.fillRect(R, Canvas.brush());
        const int h = Canvas.fontMetrics().height();
        const int top = (R.top() + R.bottom() + 1 - h) / 2;
        Canvas.drawText(QRect(R.left(), top, R.width(), h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                        FShapeStyleCombo->itemText(Index));
    };
    OnSpin(FMagicWandTolerSpin, [](int V) { MagicWandTolerance = V; });

    FTransSelBtn->setEnabled(true);
    connect(FTransSelBtn, &QToolButton::clicked, this, [this] { GuardEvent(&FMain, [this] { TransSelBtnClick(); }); });
    connect(FTransColCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [](int Index) { TransparentIsForeground = Index == 0; });
}

void TToolPanel::PenShapeSelect()
{
    BuildTipMask(*PenSettings.Mask, TipShapeOf(FPenShapeCombo), PenSettings.Width);
}

void TToolPanel::SpecPenShapeSelect()
{
    BuildTipMask(*SpecialPenSettings.Mask, TipShapeOf(FSpecPenShapeCombo), SpecialPenSettings.Width);
}

void TToolPanel::SpecPenActionSelect()
{
    // "Colour Replace" edits the tolerance; the other actions are all the smudge pen with its
    // opacity. The range is set before the value, so a tolerance above the opacity's maximum is
    // not clipped on the way back, and the spin's own change does not write into the variables.
    const bool replace = FSpecPenActionCombo->currentIndex() == 0;
    SpecialPenSettings.Action = replace ? 0 : 1;
    FSpecPenSettingsLabel->setText(replace ? "Tolerance" : "Opacity");
    const bool was = FUpdating;
    FUpdating = true;
    FSpecPenSetting1Spin->SetMinValue(0);
    FSpecPenSetting1Spin->SetMaxValue(replace ? 255 : 100);
    FSpecPenSetting1Spin->SetValue(replace ? SpecialPenSettings.Tolerance : SpecialPenSettings.Opacity);
    FUpdating = was;
}

void TToolPanel::TransSelBtnClick()
{
    const bool down = FTransSelBtn->isChecked();
    TransparentSelection = down;
    FTransColLabel->setEnabled(down);
    FTransColCombo->setEnabled(down);
    FTransColCombo->SetColor(down ? clWindow : clBtnFace);
}

// ---- Colours ----------------------------------------------------------------------------------------

void TToolPanel::WireColours()
{
    FMain.FRecentColorsGrid->OnColorDown = [this](QWidget*, Qt::MouseButton Button, Qt::KeyboardModifiers, TColor Colour) {
        GuardEvent(&FMain, [&] {
            if (Button == Qt::LeftButton)
                SetForegroundColour(Colour, true);
            else
                SetBackgroundColour(Colour, true);
        });
    };
    FMain.FColourSpectrum->OnMouseDown = [this](QWidget*, Qt::MouseButton Button, Qt::KeyboardModifiers, int X, int Y) {
        GuardEvent(&FMain, [&] {
            const TColor colour = FMain.FColourSpectrum->PointToColour(X, Y);
            if (colour < 0)
                return;
            if (Button == Qt::LeftButton)
                SetForegroundColour(colour, false);
            else
                SetBackgroundColour(colour, false);
            FMain.FColourSpectrum->SetSelectionPoint(Point(X, Y));
        });
    };
    FMain.FRecentColorsGrid->OnMouseMove = [this](QWidget*, Qt::MouseButtons, Qt::KeyboardModifiers, int X, int Y) {
        ShowColourRGB(FMain.FRecentColorsGrid->ColourAt(X, Y));
    };
    FMain.FColourSpectrum->OnMouseMove = [this](QWidget*, Qt::MouseButtons, Qt::KeyboardModifiers, int X, int Y) {
        ShowColourRGB(FMain.FColourSpectrum->PointToColour(X, Y));
    };
    auto hide = [this](QWidget*) { HideColourRGB(); };
    FMain.FRecentColorsGrid->OnMouseLeave = hide;
    FMain.FColourSpectrum->OnMouseLeave = hide;
    for (TColourShow* show : {FMain.FFGColourShow, FMain.FBGColourShow}) {
        show->OnMouseEnter = [this, show](QWidget*) { ShowColourRGB(show->Colour()); };
        show->OnMouseLeave = hide;
        show->OnClick = [this, show](QWidget*) {
            GuardEvent(&FMain, [&] { ColourShowClick(show, show == FMain.FFGColourShow); });
        };
    }
    FSwapColoursBut->setEnabled(true);
    connect(FSwapColoursBut, &QToolButton::clicked, this, [this] { GuardEvent(&FMain, [this] { SwapColours(); }); });
    FMain.FSideBarPanel->OnDrawSizingBar = [this](QWidget*, QPainter& Canvas, const QRect& R) { DrawSizingBar(Canvas, R); };
}

void TToolPanel::SetColour(bool Foreground, TColor Colour, bool MoveMarker)
{
    TColor& current = Foreground ? ForegroundColour : BackgroundColour;
    // No colour (a pick beside a control) changes nothing.
    if (Colour < 0 || Colour == current)
        return;
    // The colour being replaced goes to the front of the recent colours.
    FMain.FRecentColorsGrid->AddColour(current);
    current = Colour;
    (Foreground ? ForegroundRGB : BackgroundRGB) = ColorToTriple(Colour);
    (Foreground ? FMain.FFGColourShow : FMain.FBGColourShow)->SetColour(Colour);
    if (MoveMarker)
        FMain.FColourSpectrum->SetColour(Colour);
    FTransColCombo->SetColourAt(Foreground ? 0 : 1, Colour);
    RepaintCollapsedPanel();
}

void TToolPanel::SetForegroundColour(TColor Colour, bool MoveMarker)
{
    SetColour(true, Colour, MoveMarker);
}

void TToolPanel::SetBackgroundColour(TColor Colour, bool MoveMarker)
{
    SetColour(false, Colour, MoveMarker);
}

void TToolPanel::SwapColours()
{
    const TColor f = ForegroundColour, b = BackgroundColour;
    SetForegroundColour(b, true);
    SetBackgroundColour(f, true);
}

void TToolPanel::ShowColourRGB(TColor Colour)
{
    if (Colour < 0)
        return;
    FMain.FRedLabel->setText(QString("R: %1").arg(RedOf(Colour)));
    FMain.FGreenLabel->setText(QString("G: %1").arg(GreenOf(Colour)));
    FMain.FBlueLabel->setText(QString("B: %1").arg(BlueOf(Colour)));
    FMain.FColourShow->SetColour(Colour);
    FMain.FRGBPanel->setVisible(true);
}

void TToolPanel::HideColourRGB()
{
    FMain.FRGBPanel->setVisible(false);
}

void TToolPanel::ColourShowClick(TColourShow* Show, bool Foreground)
{
    // The swatch's panel shows pressed while the colour dialog runs.
    auto* panel = dynamic_cast<TXPanel*>(Show->parentWidget());
    if (panel) {
        panel->SetBevelInner(bvNone);
        panel->SetBevelOuter(bvLowered);
    }
    struct TRaise {
        TXPanel* Panel;
        ~TRaise()
        {
            if (Panel) {
                Panel->SetBevelInner(bvRaised);
                Panel->SetBevelOuter(bvRaised);
            }
        }
    } raise{panel};
    QColorDialog dialog(ColorToQColor(Show->Colour()), &FMain);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (!UIServices().ExecuteDialog(dialog))
        return;
    const QColor c = dialog.selectedColor().isValid() ? dialog.selectedColor() : dialog.currentColor();
    const TColor colour = RGB(c.red(), c.green(), c.blue());
    if (Foreground)
        SetForegroundColour(colour, true);
    else
        SetBackgroundColour(colour, true);
}

void TToolPanel::RepaintCollapsedPanel()
{
    if (!FMain.FSideBarPanel->Expanded())
        FMain.FSideBarPanel->update();
}

void TToolPanel::DrawSizingBar(QPainter& Canvas, const QRect& R)
{
    if (FMain.FSideBarPanel->Expanded())
        return;
    const int w = R.width();
    TRect square = Rect(R.left() + 2, R.top() + 2, R.left() + w - 2, R.top() + w - 2);
    for (TColor colour : {ForegroundColour, BackgroundColour}) {
        TRect r = square;
        Canvas.fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), ColorToQColor(colour));
        Frame3D(Canvas, r, clBtnShadow, clBtnHighlight, 1);
        square.Top += w - 2;
        square.Bottom += w - 2;
    }
}

// ---- Start-up ---------------------------------------------------------------------------------------

void TToolPanel::StartUpDefaults()
{
    // Colours.
    ForegroundColour = clBlack;
    ForegroundRGB = ColorToTriple(ForegroundColour);
    BackgroundColour = 0xFFFFFF;
    BackgroundRGB = ColorToTriple(BackgroundColour);
    FMain.FFGColourShow->SetColour(ForegroundColour);
    FMain.FBGColourShow->SetColour(BackgroundColour);
    // The transparent-colour choice.
    FTransColCombo->clear();
    FTransColCombo->AddColour("Foreground Colour", ForegroundColour);
    FTransColCombo->AddColour("Background Colour", BackgroundColour);
    FTransColCombo->setCurrentIndex(1);
    // Room for the swatch beside the longer name.
    FTransColCombo->setMinimumWidth(FTransColCombo->sizeHint().width() + FTransColCombo->ItemHeight() + 8);
    TransSelBtnClick();
    // The pen.
    FMain.Action("ActPen")->trigger();
    CurrentCursor = crCVPen;
    PenSettings.Mask = std::make_unique<TBitmap>(0, 0, pf24bit);
    PenSettings.Width = 1;
    SetSpinQuietly(FPenWidthSpin, 1);
    FPenShapeCombo->setCurrentIndex(0);
    PenShapeSelect();
    // The special pen.
    SpecialPenSettings.Mask = std::make_unique<TBitmap>(0, 0, pf24bit);
    SpecialPenSettings.Width = 1;
    SetSpinQuietly(FSpecPenWidthSpin, 1);
    SpecialPenSettings.Opacity = 40;
    FSpecPenActionCombo->setCurrentIndex(0);
    SpecPenActionSelect();
    FSpecPenShapeCombo->setCurrentIndex(0);
    SpecPenShapeSelect();
    // The spray can: its width builds the round tip.
    SprayCanSettings.Mask = std::make_unique<TBitmap>(0, 0, pf24bit);
    SprayCanSettings.Interval = 10;
    SetSpinQuietly(FSprayCanWidthSpin, 60);
    SetSpinQuietly(FSprayCanOpacitySpin, 60);
    SetSpinQuietly(FSprayCanDiffusionSpin, 0);
    for (TXSpinEdit* spin : {FSprayCanWidthSpin, FSprayCanOpacitySpin, FSprayCanDiffusionSpin})
        spin->OnChange(spin);
    ShapeSettings.Width = 1;
}

// ---- Text tool --------------------------------------------------------------------------------------

bool TToolPanel::QueryAddText()
{
    // The recent texts live with the main window's settings; the dialog shows and updates them.
    FAddTextDialog->SetMaxRecentList(FMain.MaxRecentList);
    FAddTextDialog->SetRecentTexts(FMain.RecentTexts);
    const bool confirmed = FAddTextDialog->Execute();
    FMain.RecentTexts = FAddTextDialog->RecentTexts();
    if (!confirmed)
        return false;
    return AddTextToPicture(TrimRight(FAddTextDialog->Text()), FAddTextDialog->Font());
}

bool TToolPanel::AddTextToPicture(const std::string& Text, const TFont& Font)
{
    const std::string text = TrimRight(Text);
    TCVPicChildWin* pic = FMain.ActivePicChild();
    if (text.empty() || !pic)
        return false;
    std::unique_ptr<TBitmap> bmp = RenderTextBitmap(text, Font);
    // Text of no visible width (only spaces of zero advance) makes no picture.
    if (bmp->Empty())
        return false;
    if (!pic->PasteBitmap(bmp.get(), bmp->Canvas().Brush.Color))
        return false;
    // The rectangle selection tool moves the pasted text.
    FMain.PressSelectRect();
    return true;
}

// ---- What picture windows ask of the main window ----------------------------------------------------

void TCanvelloMain::SetForegroundColour(TColor Colour, bool MoveMarker)
{
    FToolPanel->SetForegroundColour(Colour, MoveMarker);
}

void TCanvelloMain::SetBackgroundColour(TColor Colour, bool MoveMarker)
{
    FToolPanel->SetBackgroundColour(Colour, MoveMarker);
}

void TCanvelloMain::ShowColourRGB(TColor Colour)
{
    FToolPanel->ShowColourRGB(Colour);
}

void TCanvelloMain::HideColourRGB()
{
    FToolPanel->HideColourRGB();
}

bool TCanvelloMain::QueryAddText()
{
    return FToolPanel->QueryAddText();
}
