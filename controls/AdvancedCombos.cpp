// Owner-drawn combo boxes: selection colours, picture items and colour items.
#include "controls/AdvancedCombos.h"

#include "controls/XPanels.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

namespace {

TRect ToTRect(const QRect& R)
{
    return Bounds(R.x(), R.y(), R.width(), R.height());
}

QRect ToQRect(const TRect& R)
{
    return QRect(R.Left, R.Top, R.Width(), R.Height());
}

// Draws the list's items through the combo box's own item drawing.
class TOwnerDrawDelegate : public QAbstractItemDelegate {
public:
    explicit TOwnerDrawDelegate(TAdvancedCustomComboBox* Combo) : QAbstractItemDelegate(Combo), FCombo(Combo) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        TOwnerDrawState state = 0;
        if (Option.state & QStyle::State_Selected)
            state |= odSelected;
        if (!(Option.state & QStyle::State_Enabled))
            state |= odDisabled;
        if (Option.state & QStyle::State_HasFocus)
            state |= odFocused;
        FCombo->PaintItem(*Painter, Index.row(), Option.rect, state);
    }

    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const QString text = Index.data(Qt::DisplayRole).toString();
        return {Option.fontMetrics.horizontalAdvance(text) + FCombo->ItemHeight() + 12, FCombo->ItemHeight()};
    }

private:
    TAdvancedCustomComboBox* FCombo;
};

} // namespace

TItemColours ItemColours(bool Enabled, bool Selected, TColor SelectedColour, TColor SelectedTextColour,
                         const TItemColours& Prepared)
{
    if (!Enabled)
        return {clBtnFace, clBtnShadow};
    if (Selected)
        return {SelectedColour, SelectedTextColour};
    return Prepared;
}

TRect ColourSwatchRect(const TRect& Item)
{
    const TRect square{Item.Left, Item.Top, Item.Left + (Item.Bottom - Item.Top), Item.Bottom};
    return InflateRect(square, -2, -2);
}

TImageItemLayout ImageItemLayout(const TRect& Item, bool ImagesLeft, int ImageWidth, int ImageHeight,
                                 int TextHeight)
{
    TImageItemLayout l{};
    l.ImageY = (Item.Top + Item.Bottom - ImageHeight) >> 1;
    l.TextY = (Item.Top + Item.Bottom - TextHeight) >> 1;
    if (ImagesLeft) {
        l.ImageX = Item.Left + 2;
        l.TextX = Item.Left + ImageWidth + 7;
    } else {
        l.TextX = Item.Left + 2;
        l.ImageX = Item.Right - ImageWidth - 2;
    }
    return l;
}

void DrawBumpEdge(QPainter& Canvas, const TRect& R)
{
    TRect r = R;
    Frame3D(Canvas, r, clBtnHighlight, clBtnShadow, 1);
    Frame3D(Canvas, r, clBtnShadow, clBtnHighlight, 1);
}

// ---- TAdvancedCustomComboBox -----------------------------------------------------------------------

TAdvancedCustomComboBox::TAdvancedCustomComboBox(QWidget* Parent) : QComboBox(Parent)
{
    FItemHeight = std::max(16, fontMetrics().height() + 2);
    setItemDelegate(new TOwnerDrawDelegate(this));
}

void TAdvancedCustomComboBox::SetSelectedColour(TColor Value)
{
    if (Value == FSelectedColour)
        return;
    FSelectedColour = Value;
    update();
}

void TAdvancedCustomComboBox::SetSelectedTextColour(TColor Value)
{
    if (Value == FSelectedTextColour)
        return;
    FSelectedTextColour = Value;
    update();
}

void TAdvancedCustomComboBox::SetColor(TColor Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    update();
}

void TAdvancedCustomComboBox::SetItemHeight(int Value)
{
    Value = std::max(1, Value);
    if (Value == FItemHeight)
        return;
    FItemHeight = Value;
    view()->doItemsLayout();
    update();
}

void TAdvancedCustomComboBox::RepaintItem(int Index)
{
    if (Index < 0 || Index >= count())
        return;
    const bool dropped = view()->isVisible();
    if (Index == currentIndex() || dropped)
        update();
    if (dropped)
        view()->viewport()->update();
}

void TAdvancedCustomComboBox::PrepareCanvas(QPainter& Canvas, bool Selected) const
{
    if (isEnabled() && !Selected)
        return; // as the list prepared it
    const TItemColours c = ItemColours(isEnabled(), Selected, FSelectedColour, FSelectedTextColour, {});
    Canvas.setBrush(ColorToQColor(c.Brush));
    Canvas.setPen(ColorToQColor(c.Font));
}

void TAdvancedCustomComboBox::PaintItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State)
{
    Canvas.save();
    // What the list gives every item before the control's own preparation.
    Canvas.setBrush(ColorToQColor(FColor));
    Canvas.setPen(ColorToQColor(clWindowText));
    Canvas.setFont(font());
    DrawItem(Canvas, Index, Rect, State);
    Canvas.restore();
}

void TAdvancedCustomComboBox::DrawItemText(QPainter& Canvas, int Index, const QRect& Rect, int X, int Y) const
{
    if (Index < 0 || Index >= count())
        return;
    Canvas.save();
    Canvas.setClipRect(Rect, Qt::IntersectClip);
    const int h = Canvas.fontMetrics().height();
    Canvas.drawText(QRect(X, Y, std::max(0, Rect.right() + 1 - X), h), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    itemText(Index));
    Canvas.restore();
}

void TAdvancedCustomComboBox::DrawItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State)
{
    PrepareCanvas(Canvas, State & odSelected);
    if (OnDrawItem) {
        OnDrawItem(this, Canvas, Index, Rect, State);
        return;
    }
    Canvas.fillRect(Rect, Canvas.brush());
    const int h = Canvas.fontMetrics().height();
    DrawItemText(Canvas, Index, Rect, Rect.left() + 2, Rect.top() + (Rect.height() - h) / 2);
}

void TAdvancedCustomComboBox::showPopup()
{
    if ((focusPolicy() & Qt::ClickFocus) && isEnabled() && isVisible())
        setFocus(Qt::PopupFocusReason);
    if (OnDropDown)
        OnDropDown(this);
    QComboBox::showPopup();
}

void TAdvancedCustomComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox opt;
    initStyleOption(&opt);
    // The frame of an edit field with its arrow button; the item itself is ours to draw.
    opt.editable = true;
    opt.currentText.clear();
    opt.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, opt);
    const QRect edit = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);

    TOwnerDrawState state = odComboBoxEdit;
    if (!isEnabled())
        state |= odDisabled;
    else if (hasFocus() && !view()->isVisible())
        state |= odSelected | odFocused;
    if (currentIndex() >= 0) {
        PaintItem(painter, currentIndex(), edit, state);
    } else {
        painter.save();
        painter.setBrush(ColorToQColor(FColor));
        PrepareCanvas(painter, state & odSelected);
        painter.fillRect(edit, painter.brush());
        painter.restore();
    }
    if (state & odFocused) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = edit;
        focus.backgroundColor = ColorToQColor(FSelectedColour);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

void TAdvancedCustomComboBox::changeEvent(QEvent* Event)
{
    QComboBox::changeEvent(Event);
    if (Event->type() == QEvent::EnabledChange)
        update();
}

// ---- TAdvancedComboBox ---------------------------------------------------------------------------------

TAdvancedComboBox::TAdvancedComboBox(QWidget* Parent) : TAdvancedCustomComboBox(Parent) {}

void TAdvancedComboBox::SetImages(const QList<QPixmap>& Value)
{
    FImages = Value;
    update();
}

void TAdvancedComboBox::SetImagesLeft(bool Value)
{
    if (Value == FImagesLeft)
        return;
    FImagesLeft = Value;
    update();
}

void TAdvancedComboBox::DrawItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State)
{
    if (FImages.isEmpty()) {
        TAdvancedCustomComboBox::DrawItem(Canvas, Index, Rect, State);
        return;
    }
    PrepareCanvas(Canvas, State & odSelected);
    Canvas.fillRect(Rect, Canvas.brush());
    const QSize imageSize = FImages.first().deviceIndependentSize().toSize();
    const TImageItemLayout l = ImageItemLayout(ToTRect(Rect), FImagesLeft, imageSize.width(), imageSize.height(),
                                               Canvas.fontMetrics().height());
    if (Index >= 0 && Index < FImages.size())
        Canvas.drawPixmap(l.ImageX, l.ImageY, FImages[Index]);
    DrawItemText(Canvas, Index, Rect, l.TextX, l.TextY);
    if (OnDrawItem)
        OnDrawItem(this, Canvas, Index, Rect, State);
}

// ---- TCustomColourComboSel ----------------------------------------------------------------------------

TCustomColourComboSel::TCustomColourComboSel(QWidget* Parent) : TAdvancedCustomComboBox(Parent) {}

void TCustomColourComboSel::AddColour(const std::string& Name, TColor Colour)
{
    addItem(QString::fromStdString(Name), QVariant(static_cast<int>(Colour)));
    RepaintItem(count() - 1);
}

TColor TCustomColourComboSel::ColourAt(int Index) const
{
    if (Index < 0 || Index >= count())
        return FFallbackColour;
    const QVariant v = itemData(Index);
    return v.isValid() ? static_cast<TColor>(v.toInt()) : FFallbackColour;
}

void TCustomColourComboSel::SetColourAt(int Index, TColor Colour)
{
    if (Index < 0 || Index >= count() || ColourAt(Index) == Colour)
        return;
    setItemData(Index, QVariant(static_cast<int>(Colour)));
    RepaintItem(Index);
}

TColor TCustomColourComboSel::SelectedColourValue() const
{
    return currentIndex() >= 0 ? ColourAt(currentIndex()) : FFallbackColour;
}

void TCustomColourComboSel::DrawItem(QPainter& Canvas, int Index, const QRect& Rect, TOwnerDrawState State)
{
    PrepareCanvas(Canvas, State & odSelected);
    Canvas.fillRect(Rect, Canvas.brush());
    if (Index < 0 || Index >= count())
        return;
    const TRect swatch = ColourSwatchRect(ToTRect(Rect));
    const TColor colour = ColourAt(Index);
    if (isEnabled() && colour != clNoSwatch && !IsRectEmpty(swatch)) {
        Canvas.fillRect(ToQRect(swatch), ColorToQColor(colour));
        DrawBumpEdge(Canvas, swatch);
    }
    const int h = Canvas.fontMetrics().height();
    DrawItemText(Canvas, Index, Rect, swatch.Right + 3, Rect.top() + ((Rect.height() - h) >> 1));
}
