#pragma once
// Owner-drawn combo boxes with their own selection colours: the plain one, one with a picture per
// item, and one with a colour swatch per item.
#include "controls/XGraphicCtrls.h"

#include <QComboBox>
#include <QList>
#include <QPixmap>

#include <string>

enum TOwnerDrawStateFlag : unsigned { odSelected = 1, odDisabled = 2, odFocused = 4, odComboBoxEdit = 8 };
using TOwnerDrawState = unsigned;

// The brush and text colours an item is drawn with.
struct TItemColours {
    TColor Brush;
    TColor Font;
    friend constexpr bool operator==(const TItemColours&, const TItemColours&) = default;
};
// Disabled: button face and shadow; else selected: the control's selection colours; else Prepared,
// the colours the list gives every item.
TItemColours ItemColours(bool Enabled, bool Selected, TColor SelectedColour, TColor SelectedTextColour,
                         const TItemColours& Prepared);

// The swatch of a colour item: the square at the item's left, shrunk by 2 on every side.
TRect ColourSwatchRect(const TRect& Item);

// Where an image item puts its picture and text: x positions, and the tops that centre a picture
// of ImageHeight and a text of TextHeight in the item.
struct TImageItemLayout {
    int ImageX, ImageY, TextX, TextY;
};
TImageItemLayout ImageItemLayout(const TRect& Item, bool ImagesLeft, int ImageWidth, int ImageHeight,
                                 int TextHeight);

// (Sender, Canvas, Index, Rect, State): the painter comes prepared with the item's brush and pen.
using TDrawItemEvent = std::function<void(QWidget* Sender, QPainter& Canvas, int Index, const QRect& Rect,
                                          TOwnerDrawState State)>;

class TAdvancedCustomComboBox : public QComboBox {
public:
    explicit TAdvancedCustomComboBox(QWidget* Parent = nullptr);

    TColor SelectedColour() const { return FSelectedColour; }
    void SetSelectedColour(TColor Value);
    TColor SelectedTextColour() const { return FSelectedTextColour; }
    void SetSelectedTextColour(TColor Value);
    // The background of unselected items.
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    // Height of the items in the drop-down list.
    int ItemHeight() const { return FItemHeight; }
    void SetItemHeight(int Value);

    // Repaints item Index where it shows: in the box when it is the current item, in the open list.
    void RepaintItem(int Index);

    // Draws item Index over Rect: DrawItem with a painter prepared for State.
    void PaintItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State);

    TDrawItemEvent OnDrawItem;
    // Before the list opens (the box takes the focus first when it can).
    TNotifyEvent OnDropDown;

    void showPopup() override;

protected:
    // Brush and pen of Canvas for an item: disabled, selected, or as the list prepared it.
    void PrepareCanvas(QPainter& Canvas, bool Selected) const;
    // OnDrawItem when set, else the item's text on its background.
    virtual void DrawItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State);
    // Item Index's text with its top-left corner at (X, Y), clipped to Rect.
    void DrawItemText(QPainter& Canvas, int Index, const QRect& Rect, int X, int Y) const;

    void paintEvent(QPaintEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    TColor FSelectedColour = clHighlight;
    TColor FSelectedTextColour = 0xFFFFFF;
    TColor FColor = clWindow;
    int FItemHeight = 16;
};

// Items with pictures: picture Index beside item Index, at the left (ImagesLeft) or the right.
class TAdvancedComboBox : public TAdvancedCustomComboBox {
public:
    explicit TAdvancedComboBox(QWidget* Parent = nullptr);

    // The pictures, all of one size (the first one's).
    const QList<QPixmap>& Images() const { return FImages; }
    void SetImages(const QList<QPixmap>& Value);
    bool ImagesLeft() const { return FImagesLeft; }
    void SetImagesLeft(bool Value);

protected:
    void DrawItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State) override;

private:
    QList<QPixmap> FImages;
    bool FImagesLeft = true;
};

// Item colour that shows no swatch.
inline constexpr TColor clNoSwatch = 0x0FFFFFFF;

// Items with a colour swatch each; the colour rides in the item's data.
class TCustomColourComboSel : public TAdvancedCustomComboBox {
public:
    explicit TCustomColourComboSel(QWidget* Parent = nullptr);

    void AddColour(const std::string& Name, TColor Colour);
    // The item's colour; the fallback colour (black) for an index outside the list.
    TColor ColourAt(int Index) const;
    void SetColourAt(int Index, TColor Colour);
    // The current item's colour, or the fallback colour when none is current.
    TColor SelectedColourValue() const;

protected:
    void DrawItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State) override;

private:
    TColor FFallbackColour = clBlack;
};

class TColourComboSel : public TCustomColourComboSel {
public:
    using TCustomColourComboSel::TCustomColourComboSel;
};

// A bump edge (raised outside, sunken inside) of two pixels just inside R.
void DrawBumpEdge(QPainter& Canvas, const TRect& R);
