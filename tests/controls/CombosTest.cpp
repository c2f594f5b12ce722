// Owner-drawn combo boxes: item colours and layout, colour items, picture items, drop-down.
#include "controls/AdvancedCombos.h"

#include <QAbstractItemView>
#include <QImage>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QRgb Rgb(TColor C)
{
    return ColorToQColor(C).rgb();
}

// An item drawn on its own into a picture of the item's size.
QImage DrawItemImage(TAdvancedCustomComboBox& Combo, int Index, TOwnerDrawState State, QSize Size = {120, 20})
{
    QImage image(Size, QImage::Format_RGB32);
    image.fill(Qt::green);
    QPainter p(&image);
    Combo.PaintItem(p, Index, QRect(QPoint(0, 0), Size), State);
    return image;
}

QRgb At(const QImage& Image, int X, int Y)
{
    return Image.pixel(X, Y) | 0xFF000000u;
}

bool HasPixel(const QImage& Image, const QRect& Area, QRgb Colour)
{
    for (int y = Area.top(); y <= Area.bottom(); ++y)
        for (int x = Area.left(); x <= Area.right(); ++x)
            if (At(Image, x, y) == Colour)
                return true;
    return false;
}

} // namespace

TEST(CombosLogic, ItemColoursByState)
{
    const TItemColours prepared{clWindow, clWindowText};
    const struct {
        bool Enabled, Selected;
        TItemColours Expected;
    } cases[] = {
        {false, true, {clBtnFace, clBtnShadow}},
        {false, false, {clBtnFace, clBtnShadow}},
        {true, true, {clNavy, clYellow}},
        {true, false, prepared},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ItemColours(c.Enabled, c.Selected, clNavy, clYellow, prepared), c.Expected)
            << c.Enabled << c.Selected;
}

TEST(CombosLogic, SwatchAndPictureLayout)
{
    EXPECT_EQ(ColourSwatchRect(Rect(10, 4, 200, 20)), Rect(12, 6, 24, 18));
    const TImageItemLayout left = ImageItemLayout(Rect(0, 10, 150, 30), true, 16, 16, 13);
    EXPECT_EQ(left.ImageX, 2);
    EXPECT_EQ(left.ImageY, 12);
    EXPECT_EQ(left.TextX, 23);
    EXPECT_EQ(left.TextY, 13);
    const TImageItemLayout right = ImageItemLayout(Rect(0, 10, 150, 30), false, 16, 16, 13);
    EXPECT_EQ(right.TextX, 2);
    EXPECT_EQ(right.ImageX, 132);
}

TEST(ColourCombo, ItemsCarryTheirColours)
{
    TColourComboSel combo;
    EXPECT_EQ(combo.SelectedColourValue(), clBlack) << "no current item: the fallback";
    combo.AddColour("Foreground Colour", clBlack);
    combo.AddColour("Background Colour", clWhite);
    combo.setCurrentIndex(1);
    EXPECT_EQ(combo.SelectedColourValue(), clWhite);
    combo.SetColourAt(1, RGB(1, 2, 3));
    combo.SetColourAt(5, clRed); // ignored
    EXPECT_EQ(combo.ColourAt(1), RGB(1, 2, 3));
    EXPECT_EQ(combo.SelectedColourValue(), RGB(1, 2, 3));
    EXPECT_EQ(combo.ColourAt(7), clBlack);
    EXPECT_EQ(combo.itemText(0).toStdString(), "Foreground Colour");
}

TEST(ColourCombo, ItemDrawingShowsTheSwatchAndSelection)
{
    TColourComboSel combo;
    combo.AddColour("Red", clRed);
    combo.AddColour("Plain", clNoSwatch);
    combo.SetSelectedColour(clNavy);

    QImage image = DrawItemImage(combo, 0, 0);
    EXPECT_EQ(At(image, 10, 10), qRgb(255, 0, 0)) << "swatch (2,2)-(18,18)";
    EXPECT_NE(At(image, 2, 2), qRgb(255, 0, 0)) << "edged";
    EXPECT_EQ(At(image, 1, 1), Rgb(clWindow));
    EXPECT_TRUE(HasPixel(image, QRect(21, 0, 99, 20), Rgb(clWindowText))) << "text right of the swatch";
    EXPECT_FALSE(HasPixel(image, QRect(0, 0, 120, 20), qRgb(0, 255, 0))) << "the whole item is filled";

    image = DrawItemImage(combo, 0, odSelected);
    EXPECT_EQ(At(image, 1, 1), Rgb(clNavy));
    EXPECT_TRUE(HasPixel(image, QRect(21, 0, 99, 20), qRgb(255, 255, 255)));

    image = DrawItemImage(combo, 1, 0);
    EXPECT_EQ(At(image, 10, 10), Rgb(clWindow)) << "no swatch";
    EXPECT_TRUE(HasPixel(image, QRect(21, 0, 99, 20), Rgb(clWindowText)));

    combo.setEnabled(false);
    image = DrawItemImage(combo, 0, odSelected);
    EXPECT_EQ(At(image, 10, 10), Rgb(clBtnFace)) << "disabled: no swatch";
    EXPECT_TRUE(HasPixel(image, QRect(21, 0, 99, 20), Rgb(clBtnShadow)));
}

TEST(ColourCombo, ClosedBoxDrawsTheCurrentItem)
{
    TColourComboSel combo;
    combo.AddColour("Blue", clBlue);
    combo.AddColour("Lime", clLime);
    combo.setCurrentIndex(1);
    combo.resize(160, combo.sizeHint().height());
    combo.show();
    QStyleOptionComboBox opt;
    opt.initFrom(&combo);
    opt.editable = true;
    const QRect edit = combo.style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, &combo);
    const QImage image = combo.grab().toImage();
    EXPECT_TRUE(HasPixel(image, edit, qRgb(0, 255, 0)));
    EXPECT_FALSE(HasPixel(image, edit, qRgb(0, 0, 255)));
}

TEST(AdvancedCombo, PicturesBesideTheTextAndTheOwnersDrawing)
{
    TAdvancedComboBox combo;
    combo.addItem("first");
    combo.addItem("second");
    combo.addItem("third");
    QPixmap red(16, 16), blue(16, 16);
    red.fill(Qt::red);
    blue.fill(Qt::blue);
    combo.SetImages({red, blue});

    QImage image = DrawItemImage(combo, 1, 0);
    EXPECT_EQ(At(image, 2, 2), qRgb(0, 0, 255)) << "picture 1 at the left";
    EXPECT_EQ(At(image, 1, 2), Rgb(clWindow));
    EXPECT_TRUE(HasPixel(image, QRect(23, 0, 97, 20), Rgb(clWindowText)));

    image = DrawItemImage(combo, 2, 0);
    EXPECT_FALSE(HasPixel(image, QRect(0, 0, 20, 20), qRgb(0, 0, 255))) << "no third picture";

    combo.SetImagesLeft(false);
    int drawn = -1;
    combo.OnDrawItem = [&](QWidget*, QPainter& c, int index, const QRect& r, TOwnerDrawState) {
        drawn = index;
        c.fillRect(QRect(r.left(), r.top(), 1, 1), Qt::yellow);
    };
    image = DrawItemImage(combo, 0, odSelected);
    EXPECT_EQ(At(image, 120 - 2 - 8, 10), qRgb(255, 0, 0)) << "picture at the right";
    EXPECT_EQ(At(image, 1, 5), Rgb(clHighlight));
    EXPECT_EQ(drawn, 0);
    EXPECT_EQ(At(image, 0, 0), qRgb(255, 255, 0)) << "the owner draws after the control";

    // Without pictures the owner draws the whole item on the prepared canvas.
    combo.SetImages({});
    combo.OnDrawItem = [&](QWidget*, QPainter& c, int, const QRect& r, TOwnerDrawState) { c.fillRect(r, c.brush()); };
    combo.SetSelectedColour(clMaroon);
    image = DrawItemImage(combo, 0, odSelected);
    EXPECT_EQ(At(image, 60, 10), Rgb(clMaroon));
}

TEST(AdvancedCombo, DropDownTakesTheFocusAndTellsTheOwner)
{
    QWidget window;
    auto* combo = new TAdvancedComboBox(&window);
    combo->addItem("one");
    combo->addItem("two");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.activateWindow();
    int dropped = 0;
    bool focusedFirst = false;
    combo->OnDropDown = [&](QWidget*) {
        ++dropped;
        focusedFirst = combo->hasFocus() || QApplication::focusWidget() == combo;
    };
    combo->showPopup();
    EXPECT_EQ(dropped, 1);
    EXPECT_TRUE(focusedFirst);
    EXPECT_TRUE(combo->view()->isVisible());
    combo->hidePopup();

    combo->SetItemHeight(24);
    EXPECT_EQ(combo->view()->sizeHintForRow(0), 24);
}
