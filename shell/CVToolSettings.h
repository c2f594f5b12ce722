#pragma once
// The main window's tool panel: the twelve tool actions, the settings page of each tool, the pen-tip
// masks, the colour panel with its swatches, spectrum, recent colours and RGB readout, and the text
// tool's bitmap. It is the only writer of the tool state that picture windows read at each stroke.
#include "globals/CVToolVars.h"
#include "platform/Graphics.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class QAction;
class QComboBox;
class QLabel;
class QPainter;
class QToolButton;
class QWidget;
class TAddTextDialog;
class TAdvancedCustomComboBox;
class TCanvelloMain;
class TColourComboSel;
class TColourShow;
class TXSpinEdit;

// Pen-tip shapes in the order of the shape combo boxes.
enum TTipShape : int { tsRound = 0, tsSquare = 1, tsTriangle = 2, tsLeftSlash = 3, tsRightSlash = 4 };

// Makes Mask a Size x Size tip of Shape: black where the tip paints, white elsewhere. A one-pixel tip
// and the square are all black; an unknown shape is round.
void BuildTipMask(TBitmap& Mask, int Shape, int Size);

// The text tool's picture of Text in Font: as large as the text's lines, each line drawn from the
// left, with hard-edged glyphs (no blended pixels) on black for white text and on white for any
// other colour, so that the background is one exact key colour. The text is drawn as it stands
// ('&' is not a mnemonic prefix). Lines end at "\r\n", "\n" or "\r".
std::unique_ptr<TBitmap> RenderTextBitmap(const std::string& Text, const TFont& Font);

class TToolPanel : public QObject {
public:
    // Wires the tool actions and the controls of Main's settings pages and colour panel (found by
    // their object names) and sets the start-up defaults.
    explicit TToolPanel(TCanvelloMain& Main);
    ~TToolPanel() override;

    // Colour panel. Choosing the current colour again does nothing; the replaced colour goes to the
    // front of the recent colours. MoveMarker moves the spectrum's marker to the colour.
    void SetForegroundColour(TColor Colour, bool MoveMarker);
    void SetBackgroundColour(TColor Colour, bool MoveMarker);
    void SwapColours();
    // The RGB readout of Colour (a negative colour changes nothing), and hiding it.
    void ShowColourRGB(TColor Colour);
    void HideColourRGB();

    // Stores Cursor and gives it to every picture window when it differs from CurrentCursor.
    void SetToolCursor(int16_t Cursor);
    // The shapes tool's cursor from the shape and style.
    void UpdateShapeCursor();

    // Runs the add-text dialog and adds its text to the active picture; false when nothing was added.
    bool QueryAddText();
    // The text tool's dialog; it keeps the recent texts.
    TAddTextDialog* AddTextDialog() const { return FAddTextDialog; }
    // Pastes the bitmap of TrimRight(Text) into the active picture window as a floating selection
    // keyed on its background, and selects the rectangle selection tool. False when the text is
    // empty, no picture window is active or the paste failed.
    bool AddTextToPicture(const std::string& Text, const TFont& Font);

    // The page shown now ("PenSheet"...).
    std::string CurrentPageName() const;

private:
    void FindControls();
    void WireTools();
    void WireSettings();
    void WireColours();
    void StartUpDefaults();

    void ToolSelected(QAction* Sender, TCVTool Tool, int16_t Cursor, const char* Page);
    void ShowPage(const char* Name);
    // Settings handlers.
    void PenShapeSelect();
    void SpecPenActionSelect();
    void SpecPenShapeSelect();
    void TransSelBtnClick();
    // Spin handlers run Body with the spin's value, only when its text is an integer and no
    // programmatic update is under way.
    void OnSpin(TXSpinEdit* Spin, std::function<void(int Value)> Body);
    // Sets a spin without running its handler.
    void SetSpinQuietly(TXSpinEdit* Spin, int Value);
    // Colour controls. SetColour is both colours' setter: the foreground's or the background's
    // variables, swatch and transparent-colour entry.
    void SetColour(bool Foreground, TColor Colour, bool MoveMarker);
    void ColourShowClick(TColourShow* Show, bool Foreground);
    void DrawSizingBar(QPainter& Canvas, const QRect& Rect);
    // The colour panel shows the colours on the sizing bar while the side panel is collapsed.
    void RepaintCollapsedPanel();

    TCanvelloMain& FMain;
    bool FUpdating = false;

    TXSpinEdit* FPenWidthSpin = nullptr;
    QComboBox* FPenShapeCombo = nullptr;
    TXSpinEdit* FFillTolerSpin = nullptr;
    QComboBox* FSpecPenActionCombo = nullptr;
    TXSpinEdit* FSpecPenWidthSpin = nullptr;
    QComboBox* FSpecPenShapeCombo = nullptr;
    TXSpinEdit* FSpecPenSetting1Spin = nullptr;
    QLabel* FSpecPenSettingsLabel = nullptr;
    TXSpinEdit* FSprayCanWidthSpin = nullptr;
    TXSpinEdit* FSprayCanOpacitySpin = nullptr;
    TXSpinEdit* FSprayCanDiffusionSpin = nullptr;
    TXSpinEdit* FShapeWidthSpin = nullptr;
    QComboBox* FShapeShapeCombo = nullptr;
    TAdvancedCustomComboBox* FShapeStyleCombo = nullptr;
    QToolButton* FTransSelBtn = nullptr;
    TColourComboSel* FTransColCombo = nullptr;
    QLabel* FTransColLabel = nullptr;
    TXSpinEdit* FMagicWandTolerSpin = nullptr;
    QToolButton* FSwapColoursBut = nullptr;
    TAddTextDialog* FAddTextDialog = nullptr;
};
