#pragma once
// The text tool's dialog "Add Text": a font (name, style, size, effects, colour) with its sample, a
// multi-line text box and a combo box of the most recently used texts, newest first.
#include "controls/AdvancedCombos.h"
#include "platform/Graphics.h"

#include <QDialog>
#include <QRect>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class TColourComboSel;
class TXPanel;

// Draws a recent text into the item rectangle Rect on one row: the painter comes with the item's
// brush and its font colour as pen. Each line that ends with a line break is followed by a small
// return mark (in the font colour when Selected, else grey text colour) and the next line starts
// 10 pixels after the line's text.
void DrawRecentTextItem(QPainter& Canvas, const QRect& Rect, const std::string& Text, bool Selected);

// The return mark drawn after a line whose text ends at X, in an item whose top is Y.
void DrawReturnMark(QPainter& Canvas, int X, int Y, const QColor& Colour);

// Recent texts: Text moved or inserted at the front (compared without regard to case), the list
// then cut to Max entries.
void AddRecentText(std::vector<std::string>& Texts, const std::string& Text, int Max);

class TAddTextDialog : public QDialog {
public:
    explicit TAddTextDialog(QWidget* Parent = nullptr);

    // Runs the dialog (through the installed user-interface services). On OK a text that is not empty
    // goes to the front of the recent texts. Answers whether it was confirmed.
    bool Execute();

    // The text to draw; lines are separated by '\n'.
    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    // The chosen font: name, size in points, colour and style bits.
    TFont Font() const;
    void SetFont(const TFont& Value);

    const std::vector<std::string>& RecentTexts() const { return FRecentTexts; }
    void SetRecentTexts(const std::vector<std::string>& Value);
    int MaxRecentList() const { return FMaxRecentList; }
    // 0 .. 255; a shorter limit drops the oldest texts.
    void SetMaxRecentList(int Value);

    // The controls.
    QFontComboBox* FontNameCombo() const { return FFontName; }
    QListWidget* StyleList() const { return FStyleList; }
    QComboBox* SizeCombo() const { return FSizeCombo; }
    QCheckBox* StrikeOutCheck() const { return FStrikeOut; }
    QCheckBox* UnderlineCheck() const { return FUnderline; }
    TColourComboSel* ColourCombo() const { return FColourCombo; }
    QLabel* Sample() const { return FSample; }
    QPlainTextEdit* Memo() const { return FMemo; }
    TAdvancedComboBox* RecentTextCombo() const { return FRecentCombo; }

protected:
    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

private:
    void UpdateSample();
    int ColourIndex(TColor Colour);

    QFontComboBox* FFontName;
    QListWidget* FStyleList;
    QComboBox* FSizeCombo;
    QCheckBox* FStrikeOut;
    QCheckBox* FUnderline;
    TColourComboSel* FColourCombo;
    QLabel* FSample;
    TXPanel* FHostPanel;
    TXPanel* FMemoPanel;
    QPlainTextEdit* FMemo;
    TAdvancedComboBox* FRecentCombo;

    std::string FText;
    std::vector<std::string> FRecentTexts;
    int FMaxRecentList = 10;
    bool FUpdatingMemo = false;
    // Where and how large the dialog was when it last closed; null before that.
    QRect FLastGeometry;
};
