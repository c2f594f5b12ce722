// The tool panel of the main window: the tool buttons with their cursors and pages, each settings
// control writing its tool variable, the pen-tip masks, the colour panel (spectrum, recent colours,
// swatches, swap, RGB readout) and the text tool's bitmap.
#include "shell/CVToolSettings.h"

#include "FrameFixture.h"

#include "controls/AddTextDlg.h"
#include "controls/AdvancedCombos.h"
#include "controls/ColourSpectrum.h"
#include "controls/RecentColorsGrd.h"
#include "controls/XGraphicCtrls.h"
#include "controls/XPanels.h"
#include "controls/XSpinEdits.h"
#include "globals/CVToolVars.h"
#include "image/PicSelection.h"
#include "shell/CVMain.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

// Puts the tool state back to its start values, as a fresh process has it.
void ResetToolVars()
{
    ForegroundColour = clBlack;
    BackgroundColour = clWhite;
    CurrentCursor = crCVPen;
    FillTolerance = 0;
    MagicWandTolerance = 0;
    CurrentTool = ctPen;
    PenSettings = TPenSettings();
    SpecialPenSettings = TSpecialPenSettings();
    SprayCanSettings = TSprayCanSettings();
    ShapeSettings = TShapeSettings();
    TransparentSelection = false;
    TransparentIsForeground = false;
}

class ToolPanel : public FrameFixture {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(FrameFixture::SetUp());
        ResetToolVars();
        StartFrame(QSize(1000, 700));
        Panel = Main->ToolPanel();
        ASSERT_NE(Panel, nullptr);
    }
    template <typename T>
    T* Control(const char* Name) const
    {
        T* w = dynamic_cast<T*>(Main->findChild<QWidget*>(Name));
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }
    // Types Text over the spin's whole text, as the user does.
    void Type(const char* Spin, const char* Text) const
    {
        auto* s = Control<TXSpinEdit>(Spin);
        s->selectAll();
        QTest::keyClick(s, Qt::Key_Backspace);
        QTest::keyClicks(s, Text);
    }
    // Chooses entry Index of a combo box, as the user does.
    void Choose(const char* Combo, int Index) const
    {
        auto* c = Control<QComboBox>(Combo);
        c->setCurrentIndex(Index);
        emit c->activated(Index);
    }
    QToolButton* ToolButton(const char* ActionName) const
    {
        auto* bar = Control<QToolBar>("ToolsToolBar");
        return qobject_cast<QToolButton*>(bar->widgetForAction(Main->Action(ActionName)));
    }
    TCVPicChildWin* NewPicture(int W = 120, int H = 90)
    {
        EXPECT_TRUE(Main->NewPicture(W, H, clWhite));
        return Main->ActivePicChild();
    }
    static QImage CursorImage(const QCursor& C) { return C.pixmap().toImage(); }

    TToolPanel* Panel = nullptr;
};

bool Black(const TBitmap& B, int X, int Y) { return B.GetPixel(X, Y) == clBlack; }

// ---- Start-up ---------------------------------------------------------------------------------------

TEST_F(ToolPanel, StartUpSetsColoursMasksAndThePen)
{
    EXPECT_EQ(ForegroundColour, clBlack);
    EXPECT_EQ(BackgroundColour, 0xFFFFFF);
    EXPECT_EQ(BackgroundRGB, (TRGBTriple{255, 255, 255}));
    EXPECT_EQ(Control<TColourShow>("FGColourShow")->Colour(), clBlack);
    EXPECT_EQ(Control<TColourShow>("BGColourShow")->Colour(), 0xFFFFFF);
    auto* trans = Control<TColourComboSel>("TransColCombo");
    ASSERT_EQ(trans->count(), 2);
    EXPECT_EQ(trans->itemText(0).toStdString(), "Foreground Colour");
    EXPECT_EQ(trans->ColourAt(0), clBlack);
    EXPECT_EQ(trans->ColourAt(1), 0xFFFFFF);
    EXPECT_EQ(trans->currentIndex(), 1);
    EXPECT_FALSE(TransparentIsForeground);
    EXPECT_FALSE(trans->isEnabled()); // the transparent-selection button is up

    EXPECT_EQ(CurrentTool, ctPen);
    EXPECT_EQ(CurrentCursor, crCVPen);
    EXPECT_TRUE(Main->Action("ActPen")->isChecked());
    EXPECT_EQ(Panel->CurrentPageName(), "PenSheet");

    ASSERT_TRUE(PenSettings.Mask && SpecialPenSettings.Mask && SprayCanSettings.Mask);
    EXPECT_EQ(PenSettings.Mask->Width(), 1);
    EXPECT_TRUE(Black(*PenSettings.Mask, 0, 0));
    EXPECT_EQ(SpecialPenSettings.Mask->Width(), 1);
    EXPECT_EQ(SpecialPenSettings.Opacity, 40);
    EXPECT_EQ(Control<QLabel>("SpecPenSetting1SpinLabel")->text().toStdString(), "Tolerance");
    EXPECT_EQ(SprayCanSettings.Width, 60);
    EXPECT_EQ(SprayCanSettings.Opacity, 60);
    EXPECT_EQ(SprayCanSettings.Diffusion, 0);
    EXPECT_EQ(SprayCanSettings.Interval, 10);
    // The spray can's tip is round: its corners are out, its middle in.
    ASSERT_EQ(SprayCanSettings.Mask->Width(), 60);
    ASSERT_EQ(SprayCanSettings.Mask->Height(), 60);
    EXPECT_FALSE(Black(*SprayCanSettings.Mask, 0, 0));
    EXPECT_FALSE(Black(*SprayCanSettings.Mask, 59, 59));
    EXPECT_TRUE(Black(*SprayCanSettings.Mask, 30, 30));
    EXPECT_EQ(ShapeSettings.Width, 1);
    // Every tool is ready to use.
    for (const char* name : {"ActPen", "ActFill", "ActMagicWand", "ActAddText"})
        EXPECT_TRUE(Main->Action(name)->isEnabled()) << name;
    EXPECT_TRUE(Control<TXSpinEdit>("PenWidthSpin")->isEnabled());
}

// ---- Tool buttons -----------------------------------------------------------------------------------

struct TToolCase {
    const char* Action;
    TCVTool Tool;
    int16_t Cursor;
    const char* Page; // null: the page before stays
};

TEST_F(ToolPanel, EachToolButtonSetsToolCursorAndPage)
{
    const TToolCase cases[] = {
        {"ActFill", ctFill, crCVFill, "FillSheet"},
        {"ActSpecialPen", ctSpecialPen, crCVPen, "SpecialPenSheet"},
        {"ActSprayCan", ctSprayCan, crCVSprayCan, "SprayCanSheet"},
        {"ActShapes", ctShapes, crCVLine, "ShapesSheet"},
        {"ActAddText", ctAddText, crCVText, "AddTextSheet"},
        {"ActDropper", ctDropper, crCVDropper, nullptr},
        {"ActDrag", ctDrag, crCVDrag, "ZoomSheet"},
        {"ActZoom", ctZoom, crCVZoom, "ZoomSheet"},
        {"ActSelectRect", ctSelectRect, crCVSelectRect, "SelectionSheet"},
        {"ActSelectFreehand", ctSelectFreehand, crCVSelectFreehand, "SelectionSheet"},
        {"ActMagicWand", ctMagicWand, crCVMagicWand, "MagicWandSheet"},
        {"ActDropper", ctDropper, crCVDropper, nullptr},
        {"ActPen", ctPen, crCVPen, "PenSheet"},
    };
    // Two picture windows: both take the tool's cursor.
    TCVPicChildWin* first = NewPicture();
    TCVPicChildWin* second = NewPicture();
    ASSERT_TRUE(first && second && first != second);
    for (const TToolCase& c : cases) {
        SCOPED_TRACE(c.Action);
        const std::string pageBefore = Panel->CurrentPageName();
        QToolButton* button = ToolButton(c.Action);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_EQ(CurrentTool, c.Tool);
        EXPECT_EQ(CurrentCursor, c.Cursor);
        EXPECT_EQ(Panel->CurrentPageName(), c.Page ? std::string(c.Page) : pageBefore);
        EXPECT_TRUE(Main->Action(c.Action)->isChecked());
        EXPECT_EQ(Main->IsSelectionTool(), c.Tool >= ctSelectRect);
        for (TCVPicChildWin* pic : {first, second})
            EXPECT_EQ(CursorImage(pic->PictureScrollBox().cursor()), CursorImage(ToolCursor(c.Cursor)));
    }
    // One tool at a time.
    int checked = 0;
    for (const char* name : {"ActPen", "ActFill", "ActSpecialPen", "ActSprayCan", "ActShapes", "ActAddText",
                             "ActDropper", "ActDrag", "ActZoom", "ActSelectRect", "ActSelectFreehand", "ActMagicWand"})
        checked += Main->Action(name)->isChecked();
    EXPECT_EQ(checked, 1);
}

TEST_F(ToolPanel, ShapeAndStyleChooseTheShapesCursor)
{
    Main->Action("ActShapes")->trigger();
    const struct {
        int Shape, Style;
        TShapeKind Kind;
        int16_t Cursor;
    } cases[] = {
        {1, 0, skSquare, crCVRectLine},     {2, 1, skRectangle, crCVRectFill}, {3, 1, skCircle, crCVCircleFill},
        {4, 0, skEllipse, crCVCircleLine},  {0, 1, skLine, crCVLine},
    };
    for (const auto& c : cases) {
        Choose("ShapeShapeCombo", c.Shape);
        Choose("ShapeStyleCombo", c.Style);
        EXPECT_EQ(ShapeSettings.Shape, c.Kind);
        EXPECT_EQ(ShapeSettings.Filled, c.Style == 1);
        EXPECT_EQ(CurrentCursor, c.Cursor) << c.Shape << "," << c.Style;
    }
    // The shapes button takes the cursor of the shape chosen before.
    Choose("ShapeShapeCombo", 3);
    Choose("ShapeStyleCombo", 0);
    Main->Action("ActPen")->trigger();
    Main->Action("ActShapes")->trigger();
    EXPECT_EQ(CurrentCursor, crCVCircleLine);
}

// ---- Settings pages ---------------------------------------------------------------------------------

TEST_F(ToolPanel, EachSpinWritesItsVariable)
{
    const struct {
        const char* Spin;
        const char* Text;
        int Expected;
        int (*Read)();
        TBitmap* (*Mask)(); // the tip it rebuilds, if any
    } cases[] = {
        {"PenWidthSpin", "7", 7, [] { return PenSettings.Width; }, [] { return PenSettings.Mask.get(); }},
        {"FillTolerSpin", "33", 33, [] { return FillTolerance; }, nullptr},
        {"SpecPenWidthSpin", "9", 9, [] { return SpecialPenSettings.Width; }, [] { return SpecialPenSettings.Mask.get(); }},
        {"SpecPenSetting1Spin", "77", 77, [] { return SpecialPenSettings.Tolerance; }, nullptr},
        {"SprayCanWidthSpin", "25", 25, [] { return SprayCanSettings.Width; }, [] { return SprayCanSettings.Mask.get(); }},
        {"SprayCanOpacitySpin", "80", 80, [] { return SprayCanSettings.Opacity; }, nullptr},
        {"SprayCanDiffusionSpin", "15", 15, [] { return SprayCanSettings.Diffusion; }, nullptr},
        {"ShapeWidthSpin", "12", 12, [] { return ShapeSettings.Width; }, nullptr},
        {"MagicWandTolerSpin", "200", 200, [] { return MagicWandTolerance; }, nullptr},
        // Beyond the range: the spin's own limit.
        {"PenWidthSpin", "900", 500, [] { return PenSettings.Width; }, [] { return PenSettings.Mask.get(); }},
        {"FillTolerSpin", "300", 255, [] { return FillTolerance; }, nullptr},
        {"SprayCanOpacitySpin", "150", 100, [] { return SprayCanSettings.Opacity; }, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Spin) + " " + c.Text);
        Type(c.Spin, c.Text);
        EXPECT_EQ(c.Read(), c.Expected);
        if (c.Mask) {
            ASSERT_NE(c.Mask(), nullptr);
            EXPECT_EQ(c.Mask()->Width(), c.Expected);
            EXPECT_EQ(c.Mask()->Height(), c.Expected);
        }
    }
}

TEST_F(ToolPanel, TextThatIsNoNumberLeavesTheWidth)
{
    Type("PenWidthSpin", "12");
    ASSERT_EQ(PenSettings.Width, 12);
    for (const char* text : {"", "-", "abc", "1x"}) {
        auto* spin = Control<TXSpinEdit>("PenWidthSpin");
        spin->Editor()->setText(text);
        EXPECT_EQ(PenSettings.Width, 12) << '"' << text << '"';
        EXPECT_EQ(PenSettings.Mask->Width(), 12);
    }
}

TEST_F(ToolPanel, ShapeCombosRebuildTheTips)
{
    Type("PenWidthSpin", "20");
    Choose("PenShapeCombo", tsSquare);
    for (int y = 0; y < 20; y += 19)
        EXPECT_TRUE(Black(*PenSettings.Mask, 0, y));
    Choose("PenShapeCombo", tsRound);
    EXPECT_FALSE(Black(*PenSettings.Mask, 0, 0));
    // A width change keeps the chosen shape.
    Choose("PenShapeCombo", tsSquare);
    Type("PenWidthSpin", "8");
    EXPECT_EQ(PenSettings.Mask->Width(), 8);
    EXPECT_TRUE(Black(*PenSettings.Mask, 0, 0));

    Type("SpecPenWidthSpin", "20");
    Choose("SpecPenShapeCombo", tsRightSlash);
    EXPECT_TRUE(Black(*SpecialPenSettings.Mask, 0, 19));
    EXPECT_FALSE(Black(*SpecialPenSettings.Mask, 0, 0));
    // The pen's own tip is another bitmap.
    EXPECT_TRUE(Black(*PenSettings.Mask, 0, 0));
}

TEST_F(ToolPanel, EveryActionButColourReplaceIsTheOpacitySmudge)
{
    const struct {
        int Index;
        uint8_t Action;
        const char* Label;
        int Max;
    } cases[] = {{1, 1, "Opacity", 100}, {2, 1, "Opacity", 100}, {3, 1, "Opacity", 100}, {0, 0, "Tolerance", 255}};
    auto* spin = Control<TXSpinEdit>("SpecPenSetting1Spin");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Index);
        Choose("SpecPenActionCombo", c.Index);
        EXPECT_EQ(SpecialPenSettings.Action, c.Action);
        EXPECT_EQ(Control<QLabel>("SpecPenSetting1SpinLabel")->text().toStdString(), c.Label);
        EXPECT_EQ(spin->MaxValue(), c.Max);
        Type("SpecPenSetting1Spin", "999");
        EXPECT_EQ(spin->Value(), c.Max);
    }
    // The spin wrote each value into its own variable.
    EXPECT_EQ(SpecialPenSettings.Opacity, 100);
    EXPECT_EQ(SpecialPenSettings.Tolerance, 255);
}

TEST_F(ToolPanel, ToleranceAboveTheOpacityRangeSurvivesSwitchingActions)
{
    Choose("SpecPenActionCombo", 0);
    Type("SpecPenSetting1Spin", "200");
    ASSERT_EQ(SpecialPenSettings.Tolerance, 200);
    auto* spin = Control<TXSpinEdit>("SpecPenSetting1Spin");
    Choose("SpecPenActionCombo", 1);
    EXPECT_EQ(spin->Value(), 40);
    Choose("SpecPenActionCombo", 0);
    EXPECT_EQ(spin->Value(), 200);
    EXPECT_EQ(SpecialPenSettings.Tolerance, 200);
    EXPECT_EQ(SpecialPenSettings.Opacity, 40);
    // And through another tool and back.
    Main->Action("ActFill")->trigger();
    Main->Action("ActSpecialPen")->trigger();
    EXPECT_EQ(spin->Value(), 200);
    EXPECT_EQ(SpecialPenSettings.Tolerance, 200);
}

TEST_F(ToolPanel, TransparentSelectionButtonAndColourChoice)
{
    auto* button = Control<QToolButton>("TransSelBtn");
    auto* combo = Control<TColourComboSel>("TransColCombo");
    auto* label = Control<QLabel>("TransColComboLabel");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(TransparentSelection);
    EXPECT_TRUE(combo->isEnabled());
    EXPECT_TRUE(label->isEnabled());
    EXPECT_EQ(combo->Color(), clWindow);
    EXPECT_EQ(SelectionTransparentColour(), BackgroundColour);
    combo->setCurrentIndex(0);
    EXPECT_TRUE(TransparentIsForeground);
    EXPECT_EQ(SelectionTransparentColour(), ForegroundColour);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(TransparentSelection);
    EXPECT_FALSE(combo->isEnabled());
    EXPECT_FALSE(label->isEnabled());
    EXPECT_EQ(combo->Color(), clBtnFace);
    EXPECT_EQ(SelectionTransparentColour(), -1);
}

// ---- Pen tips -----------------------------------------------------------------------------------------

TEST(TipMask, OnePixelTipIsBlackWhateverTheShape)
{
    for (int shape : {0, 1, 2, 3, 4, 7}) {
        TBitmap mask(5, 5, pf24bit);
        BuildTipMask(mask, shape, 1);
        ASSERT_EQ(mask.Width(), 1);
        ASSERT_EQ(mask.Height(), 1);
        EXPECT_EQ(mask.PixelFormat(), pf24bit);
        EXPECT_TRUE(Black(mask, 0, 0)) << shape;
    }
}

TEST(TipMask, ShapesAtSeveralWidths)
{
    // (x, y) pixels that must be painted (black) or left (white).
    struct TProbe {
        int X, Y;
        bool Painted;
    };
    const struct {
        int Shape, Size;
        std::vector<TProbe> Probes;
    } cases[] = {
        {tsSquare, 2, {{0, 0, true}, {1, 1, true}}},
        {tsSquare, 9, {{0, 0, true}, {8, 0, true}, {0, 8, true}, {8, 8, true}}},
        {tsRound, 2, {{0, 0, true}, {1, 0, true}, {0, 1, true}, {1, 1, true}}},
        {tsRound, 9, {{0, 0, false}, {8, 0, false}, {0, 8, false}, {8, 8, false}, {4, 4, true}, {0, 4, true},
                      {8, 4, true}, {4, 0, true}, {4, 8, true}}},
        {tsRound, 40, {{0, 0, false}, {5, 5, false}, {20, 0, true}, {0, 20, true}, {39, 20, true}, {20, 39, true}}},
        // Apex at the top middle, base along the bottom row.
        {tsTriangle, 10, {{0, 0, false}, {9, 0, false}, {5, 0, true}, {0, 9, true}, {9, 9, true}, {5, 5, true},
                          {1, 3, false}, {8, 3, false}}},
        // Band from the top-left to the bottom-right corner (d = 3 at width 20).
        {tsLeftSlash, 20, {{0, 0, true}, {19, 19, true}, {10, 10, true}, {2, 0, true}, {0, 2, true},
                           {19, 0, false}, {0, 19, false}, {10, 2, false}, {2, 10, false}}},
        // Band from the bottom-left to the top-right corner.
        {tsRightSlash, 20, {{0, 19, true}, {19, 0, true}, {10, 9, true}, {0, 0, false}, {19, 19, false},
                            {2, 2, false}, {17, 17, false}}},
        // An unknown shape is round.
        {9, 9, {{0, 0, false}, {4, 4, true}, {0, 4, true}}},
    };
    for (const auto& c : cases) {
        TBitmap mask;
        BuildTipMask(mask, c.Shape, c.Size);
        ASSERT_EQ(mask.Width(), c.Size);
        ASSERT_EQ(mask.Height(), c.Size);
        for (const TProbe& p : c.Probes)
            EXPECT_EQ(Black(mask, p.X, p.Y), p.Painted)
                << "shape " << c.Shape << " size " << c.Size << " at " << p.X << "," << p.Y;
        // Only black and white.
        for (int y = 0; y < c.Size; ++y)
            for (int x = 0; x < c.Size; ++x) {
                const TColor px = mask.GetPixel(x, y);
                ASSERT_TRUE(px == clBlack || px == clWhite) << x << "," << y;
            }
    }
}

TEST(TipMask, PolygonTipsAreSolidBands)
{
    for (int shape : {tsTriangle, tsLeftSlash, tsRightSlash})
        for (int size : {10, 30}) {
            TBitmap mask;
            BuildTipMask(mask, shape, size);
            for (int y = 0; y < size; ++y) {
                std::string row;
                for (int x = 0; x < size; ++x)
                    row += Black(mask, x, y) ? '#' : '.';
                const size_t first = row.find('#'), last = row.rfind('#');
                ASSERT_NE(first, std::string::npos) << "shape " << shape << " size " << size << " row " << y;
                EXPECT_EQ(row.find('.', first), last + 1 == row.size() ? std::string::npos : last + 1)
                    << "shape " << shape << " size " << size << " row " << y << ": " << row;
            }
        }
}

TEST(TipMask, RebuildingSmallerLeavesNoOldPixels)
{
    TBitmap mask;
    BuildTipMask(mask, tsSquare, 30);
    BuildTipMask(mask, tsRound, 12);
    ASSERT_EQ(mask.Width(), 12);
    EXPECT_FALSE(Black(mask, 0, 0));
    EXPECT_FALSE(Black(mask, 11, 11));
    BuildTipMask(mask, tsTriangle, 12);
    EXPECT_FALSE(Black(mask, 0, 0));
}

// ---- Colour panel -------------------------------------------------------------------------------------

TEST_F(ToolPanel, SpectrumLeftClickSetsForegroundRightClickBackground)
{
    auto* spectrum = Control<TColourSpectrum>("ColourSpectrum");
    auto* grid = Control<TRecentColorsGrid>("RecentColorsGrid");
    const QPoint a(20, 15), b(40, 50);
    const TColor ca = spectrum->PointToColour(a.x(), a.y());
    const TColor cb = spectrum->PointToColour(b.x(), b.y());
    ASSERT_GE(ca, 0);
    ASSERT_GE(cb, 0);
    ASSERT_NE(ca, cb);
    QTest::mouseClick(spectrum, Qt::LeftButton, {}, a);
    EXPECT_EQ(ForegroundColour, ca);
    EXPECT_EQ(ForegroundRGB, (TRGBTriple{uint8_t(ca >> 16), uint8_t(ca >> 8), uint8_t(ca)}));
    EXPECT_EQ(Control<TColourShow>("FGColourShow")->Colour(), ca);
    EXPECT_EQ(Control<TColourComboSel>("TransColCombo")->ColourAt(0), ca);
    EXPECT_EQ(spectrum->SelectionPoint(), (TPoint{a.x(), a.y()}));
    EXPECT_EQ(grid->GetColour(0), clBlack); // the replaced colour
    QTest::mouseClick(spectrum, Qt::RightButton, {}, b);
    EXPECT_EQ(BackgroundColour, cb);
    EXPECT_EQ(ForegroundColour, ca);
    EXPECT_EQ(Control<TColourShow>("BGColourShow")->Colour(), cb);
    EXPECT_EQ(Control<TColourComboSel>("TransColCombo")->ColourAt(1), cb);
    EXPECT_EQ(spectrum->SelectionPoint(), (TPoint{b.x(), b.y()}));
    EXPECT_EQ(grid->GetColour(0), clWhite);
    EXPECT_EQ(grid->GetColour(1), clBlack);
}

TEST_F(ToolPanel, RecentColoursGridSetsColoursAndMovesTheMarker)
{
    auto* grid = Control<TRecentColorsGrid>("RecentColorsGrid");
    auto* spectrum = Control<TColourSpectrum>("ColourSpectrum");
    grid->SetColour(3, 0x0000FF); // red
    grid->SetColour(4, 0x00FF00); // green
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->CellRect(3, 0).center());
    EXPECT_EQ(ForegroundColour, 0x0000FF);
    EXPECT_EQ(spectrum->Colour(), 0x0000FF);
    EXPECT_GE(spectrum->SelectionPoint().X, 0);
    EXPECT_EQ(grid->GetColour(0), clBlack); // the old foreground went to the front
    EXPECT_EQ(grid->GetColour(4), 0x0000FF);
    grid->SetColour(6, 0x00FF00);
    QTest::mouseClick(grid, Qt::RightButton, {}, grid->CellRect(1, 1).center());
    EXPECT_EQ(BackgroundColour, 0x00FF00);
    EXPECT_EQ(spectrum->Colour(), 0x00FF00);
    EXPECT_EQ(ForegroundColour, 0x0000FF);
}

TEST_F(ToolPanel, SameColourAgainAddsNothingToTheRecentColours)
{
    auto* grid = Control<TRecentColorsGrid>("RecentColorsGrid");
    const std::vector<TColor> before = grid->Colours();
    Main->SetForegroundColour(clBlack, true);
    Main->SetBackgroundColour(clWhite, false);
    EXPECT_EQ(grid->Colours(), before);
    Main->SetForegroundColour(0x123456, true);
    Main->SetForegroundColour(0x123456, true);
    EXPECT_EQ(grid->GetColour(0), clBlack);
    EXPECT_EQ(grid->GetColour(1), before[0]);
}

TEST_F(ToolPanel, SwapExchangesTheColours)
{
    Main->SetForegroundColour(0x102030, true);
    Main->SetBackgroundColour(0x405060, true);
    QTest::mouseClick(Control<QToolButton>("SwapColoursBut"), Qt::LeftButton);
    EXPECT_EQ(ForegroundColour, 0x405060);
    EXPECT_EQ(BackgroundColour, 0x102030);
    EXPECT_EQ(ForegroundRGB, (TRGBTriple{0x40, 0x50, 0x60}));
    EXPECT_EQ(BackgroundRGB, (TRGBTriple{0x10, 0x20, 0x30}));
    EXPECT_EQ(Control<TColourShow>("FGColourShow")->Colour(), 0x405060);
    EXPECT_EQ(Control<TColourShow>("BGColourShow")->Colour(), 0x102030);
    auto* combo = Control<TColourComboSel>("TransColCombo");
    EXPECT_EQ(combo->ColourAt(0), 0x405060);
    EXPECT_EQ(combo->ColourAt(1), 0x102030);
}

TEST_F(ToolPanel, SwatchClickRunsTheColourDialogWithThePanelLowered)
{
    auto* fg = Control<TColourShow>("FGColourShow");
    auto* panel = dynamic_cast<TXPanel*>(fg->parentWidget());
    ASSERT_NE(panel, nullptr);
    TBevelCut outerDuring = bvNone;
    QColor shown;
    UI.OnDialog = [&](QDialog& D) {
        auto* dialog = dynamic_cast<QColorDialog*>(&D);
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return false;
        outerDuring = panel->BevelOuter();
        shown = dialog->currentColor();
        dialog->setCurrentColor(QColor(10, 20, 30));
        return true;
    };
    QTest::mouseClick(fg, Qt::LeftButton);
    EXPECT_EQ(outerDuring, bvLowered);
    EXPECT_EQ(shown, QColor(0, 0, 0));
    EXPECT_EQ(ForegroundColour, RGB(10, 20, 30));
    EXPECT_EQ(panel->BevelOuter(), bvRaised);
    EXPECT_EQ(panel->BevelInner(), bvRaised);
    // Cancelled: nothing changes.
    UI.OnDialog = nullptr;
    QTest::mouseClick(Control<TColourShow>("BGColourShow"), Qt::LeftButton);
    EXPECT_EQ(BackgroundColour, clWhite);
}

TEST_F(ToolPanel, RGBReadoutShowsAndHides)
{
    auto* rgb = Control<QWidget>("RGBPanel");
    auto* swatch = Control<TColourShow>("ColourShow");
    auto text = [this](const char* Label) { return Control<QLabel>(Label)->text().toStdString(); };
    EXPECT_TRUE(rgb->isHidden());
    Main->ShowColourRGB(RGB(12, 200, 7));
    EXPECT_FALSE(rgb->isHidden());
    EXPECT_EQ(text("RedLabel"), "R: 12");
    EXPECT_EQ(text("GreenLabel"), "G: 200");
    EXPECT_EQ(text("BlueLabel"), "B: 7");
    EXPECT_EQ(swatch->Colour(), RGB(12, 200, 7));
    // No colour changes nothing.
    Main->ShowColourRGB(-1);
    EXPECT_EQ(swatch->Colour(), RGB(12, 200, 7));
    EXPECT_EQ(text("RedLabel"), "R: 12");
    Main->HideColourRGB();
    EXPECT_TRUE(rgb->isHidden());
    // Hovering the spectrum shows the colour under the mouse.
    auto* spectrum = Control<TColourSpectrum>("ColourSpectrum");
    // Sent straight to the control: QTest::mouseMove sends nothing when the cursor already stood there.
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 30), spectrum->mapToGlobal(QPointF(30, 30)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(spectrum, &move);
    EXPECT_FALSE(rgb->isHidden());
    EXPECT_EQ(swatch->Colour(), spectrum->PointToColour(30, 30));
    // Leaving it hides the readout.
    QEnterEvent enter(QPointF(30, 30), QPointF(30, 30), spectrum->mapToGlobal(QPointF(30, 30)));
    QCoreApplication::sendEvent(spectrum, &enter);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(spectrum, &leave);
    EXPECT_TRUE(rgb->isHidden());
    // Entering a swatch shows its colour.
    Main->SetBackgroundColour(RGB(1, 2, 3), false);
    auto* bg = Control<TColourShow>("BGColourShow");
    QCoreApplication::sendEvent(bg, &enter);
    EXPECT_FALSE(rgb->isHidden());
    EXPECT_EQ(text("BlueLabel"), "B: 3");
    QCoreApplication::sendEvent(bg, &leave);
    EXPECT_TRUE(rgb->isHidden());
}

TEST_F(ToolPanel, CollapsedSidePanelShowsBothColoursOnItsBar)
{
    Main->SetForegroundColour(0x0000FF, false);
    Main->SetBackgroundColour(0x00FF00, false);
    TCollapsingPanel* side = Main->SideBarPanel();
    auto colourAt = [side](int DY) {
        const TRect bar = side->SizingBarRect();
        const int w = bar.Width();
        return side->grab().toImage().pixelColor(bar.Left + w / 2, bar.Top + w / 2 + DY);
    };
    EXPECT_NE(colourAt(0), QColor(255, 0, 0)); // expanded: a plain bar
    side->SetExpanded(false);
    ASSERT_FALSE(side->Expanded());
    const int w = side->SizingBarRect().Width();
    EXPECT_EQ(colourAt(0), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(w - 2), QColor(0, 255, 0));
    // A new colour shows on the collapsed bar at once.
    Main->SetForegroundColour(0xFF0000, false);
    EXPECT_EQ(colourAt(0), QColor(0, 0, 255));
}

// ---- Text tool ----------------------------------------------------------------------------------------

TFont TextFont(TColor Colour, int Size = 28)
{
    TFont f;
    f.Name = "DejaVu Sans";
    f.Size = Size;
    f.Color = Colour;
    f.Style = fsBold | fsItalic;
    return f;
}

TEST(TextBitmap, KeyColourAndNoBlendedPixels)
{
    const struct {
        TColor Font, Key;
    } cases[] = {{0x2040E0, clWhite}, {clWhite, clBlack}, {clBlack, clWhite}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Font);
        std::unique_ptr<TBitmap> bmp = RenderTextBitmap("Swirly & curvy\nQ@g", TextFont(c.Font));
        ASSERT_FALSE(bmp->Empty());
        EXPECT_EQ(bmp->Canvas().Brush.Color, c.Key);
        EXPECT_EQ(bmp->GetPixel(0, 0) == c.Key || bmp->GetPixel(0, bmp->Height() - 1) == c.Key, true);
        int ink = 0;
        for (int y = 0; y < bmp->Height(); ++y)
            for (int x = 0; x < bmp->Width(); ++x) {
                const TColor px = bmp->GetPixel(x, y);
                ASSERT_TRUE(px == c.Key || px == c.Font) << "blended pixel at " << x << "," << y;
                ink += px == c.Font;
            }
        EXPECT_GT(ink, 50);
    }
}

TEST(TextBitmap, SizeFollowsTheLines)
{
    const TFont font = TextFont(clBlack, 20);
    std::unique_ptr<TBitmap> one = RenderTextBitmap("Wide line", font);
    std::unique_ptr<TBitmap> two = RenderTextBitmap("Wide line\r\nab", font);
    std::unique_ptr<TBitmap> three = RenderTextBitmap("ab\n\nWide line", font);
    EXPECT_EQ(two->Width(), one->Width());
    EXPECT_EQ(two->Height(), 2 * one->Height());
    EXPECT_EQ(three->Width(), one->Width());
    EXPECT_EQ(three->Height(), 3 * one->Height());
    // '&' is text, not a mnemonic prefix.
    EXPECT_GT(RenderTextBitmap("A&B", font)->Width(), RenderTextBitmap("AB", font)->Width());
}

TEST_F(ToolPanel, AddedTextFloatsAsAKeyedSelection)
{
    TCVPicChildWin* pic = NewPicture(300, 200);
    ASSERT_NE(pic, nullptr);
    Main->Action("ActPen")->trigger();
    EXPECT_FALSE(Panel->AddTextToPicture("   \n  ", TextFont(clBlack)));
    EXPECT_EQ(pic->Selection(), nullptr);
    EXPECT_EQ(CurrentTool, ctPen);

    ASSERT_TRUE(Panel->AddTextToPicture("Hi\n", TextFont(0x0000C0)));
    TPictureSelection* sel = pic->Selection();
    ASSERT_NE(sel, nullptr);
    EXPECT_EQ(sel->TransparentColour(), clWhite);
    // The text floats: only its glyphs belong to the selection.
    EXPECT_TRUE(sel->HasMask());
    EXPECT_EQ(CurrentTool, ctSelectRect);
    EXPECT_TRUE(Main->Action("ActSelectRect")->isChecked());
    EXPECT_EQ(Panel->CurrentPageName(), "SelectionSheet");
}

TEST_F(ToolPanel, TextToolAsksForTheTextAndAddsIt)
{
    TCVPicChildWin* pic = NewPicture(300, 200);
    ASSERT_NE(pic, nullptr);
    // Cancelled: nothing is added and the text tool stays.
    QTest::mouseClick(ToolButton("ActAddText"), Qt::LeftButton);
    ASSERT_EQ(UI.Dialogs, (std::vector<std::string>{"Add Text"}));
    EXPECT_EQ(pic->Selection(), nullptr);
    EXPECT_EQ(CurrentTool, ctAddText);
    // Confirmed: the text floats in the picture, the rectangle selection tool takes over, and the
    // text heads the main window's recent texts, which the dialog offered.
    Main->RecentTexts = {"older", "oldest"};
    Main->MaxRecentList = 2;
    std::vector<std::string> offered;
    UI.OnDialog = [&](QDialog& D) {
        auto* dialog = dynamic_cast<TAddTextDialog*>(&D);
        if (!dialog)
            return false;
        offered = dialog->RecentTexts();
        dialog->SetText("Hello\nthere  ");
        return true;
    };
    EXPECT_TRUE(Main->QueryAddText());
    ASSERT_NE(pic->Selection(), nullptr);
    EXPECT_EQ(CurrentTool, ctSelectRect);
    EXPECT_EQ(offered, (std::vector<std::string>{"older", "oldest"}));
    EXPECT_EQ(Main->RecentTexts, (std::vector<std::string>{"Hello\nthere  ", "older"}));
}

TEST_F(ToolPanel, TextWithoutAPictureWindowIsNotAdded)
{
    EXPECT_FALSE(Panel->AddTextToPicture("Hello", TextFont(clBlack)));
    EXPECT_EQ(CurrentTool, ctPen);
}

} // namespace
