#pragma once
// A status bar of fixed-width panels, each showing text, a progress bar laid over the panel, or the
// first picture of the bar's image list.
#include "platform/Types.h"

#include <QList>
#include <QPixmap>
#include <QProgressBar>
#include <QStatusBar>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TXStatusBar;
class TXStatusPanel;

enum TXStatusPanelStyle { xsText, xsProgressBar, xsImages };
enum TStatusPanelBevel { pbNone, pbLowered, pbRaised };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

// Range, position and look of a panel's progress bar; every change reaches the bar when it exists.
class TXStatusPanelProgressBarOptions {
public:
    explicit TXStatusPanelProgressBarOptions(TXStatusPanel* Owner) : FOwner(Owner) {}
    TXStatusPanel* Owner() const { return FOwner; }
    int Min() const { return FMin; }
    int Max() const { return FMax; }
    int Position() const { return FPosition; }
    bool Smooth() const { return FSmooth; }
    // Taken only when below Max.
    void SetMin(int Value);
    // Taken only when above Min.
    void SetMax(int Value);
    // Clamped into [Min, Max].
    void SetPosition(int Value);
    void SetSmooth(bool Value);
    // Min, Max, Position and Smooth of Source, in that order, through the setters.
    void Assign(const TXStatusPanelProgressBarOptions& Source);

private:
    void Apply() const;
    TXStatusPanel* FOwner;
    int FMin = 0;
    int FMax = 10;
    int FPosition = 0;
    bool FSmooth = false;
};

// The bar laid over a panel: flat, without text.
class TXStatusPanelProgressBar : public QProgressBar {
public:
    explicit TXStatusPanelProgressBar(QWidget* Parent);
};

class TXStatusPanel {
public:
    explicit TXStatusPanel(TXStatusBar* Owner);
    ~TXStatusPanel();
    TXStatusPanel(const TXStatusPanel&) = delete;
    TXStatusPanel& operator=(const TXStatusPanel&) = delete;

    TXStatusBar* StatusBar() const { return FOwner; }

    TXStatusPanelStyle Style() const { return FStyle; }
    // xsProgressBar creates the progress bar on first use; the bar is visible exactly in that style.
    void SetStyle(TXStatusPanelStyle Value);
    // Panels of any style but xsText are drawn by DrawPanel.
    bool OwnerDraw() const { return FStyle != xsText; }
    TXStatusPanelProgressBarOptions& ProgressBarOptions() { return FOptions; }
    void SetProgressBarOptions(const TXStatusPanelProgressBarOptions& Value) { FOptions.Assign(Value); }
    // The progress bar, or null before the panel first took xsProgressBar.
    TXStatusPanelProgressBar* ProgressBar() const { return FProgressBar.get(); }
    // One step (stops at Max); only in xsProgressBar style.
    void StepIt();

    const std::string& Text() const { return FText; }
    void SetText(const std::string& Value);
    int Width() const { return FWidth; }
    void SetWidth(int Value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment Value);
    TStatusPanelBevel Bevel() const { return FBevel; }
    void SetBevel(TStatusPanelBevel Value);

    // Owner drawing of the panel's interior Rect: the progress bar takes Rect as its bounds; an image
    // panel draws image 0 of the bar's images at Rect's top-left corner.
    void DrawPanel(QPainter& Painter, const QRect& Rect);

private:
    friend class TXStatusBar;
    void PlaceProgressBar(const QRect& Rect);
    void Changed(bool Layout);
    TXStatusBar* FOwner;
    TXStatusPanelStyle FStyle = xsText;
    TXStatusPanelProgressBarOptions FOptions{this};
    std::unique_ptr<TXStatusPanelProgressBar> FProgressBar;
    std::string FText;
    int FWidth = 50;
    TAlignment FAlignment = taLeftJustify;
    TStatusPanelBevel FBevel = pbLowered;
};

// Interior rectangles of panels of the given widths on a bar of BarSize, left to right, 2 pixels apart;
// the last panel reaches the bar's right end less ReservedRight (the size grip), at least its own width.
std::vector<QRect> StatusPanelRects(const std::vector<int>& Widths, const QSize& BarSize, int ReservedRight);

class TXStatusBar : public QStatusBar {
public:
    explicit TXStatusBar(QWidget* Parent = nullptr);
    ~TXStatusBar() override;

    int PanelCount() const { return static_cast<int>(FPanels.size()); }
    // Raises EListError "List index out of bounds (%d)" outside 0..PanelCount-1.
    TXStatusPanel* Panels(int Index) const;
    TXStatusPanel* AddPanel();
    void ClearPanels();

    // The pictures image panels show (the first one). Setting repaints the bar.
    const QList<QPixmap>& Images() const { return FImages; }
    void SetImages(const QList<QPixmap>& Value);

    // Interior rectangle of panel Index in bar coordinates.
    QRect PanelRect(int Index) const;

    // Automatic hints: the bar's message (the status tip of the menu item or button under the mouse,
    // which the main window passes to its status bar) becomes the text of panel 0, and goes with it.
    // A bar without panels shows the message over its whole width.
    bool AutoHint() const { return FAutoHint; }
    void SetAutoHint(bool Value) { FAutoHint = Value; }

    // After an owner-drawn panel is drawn: (bar, panel, painter, interior rectangle).
    std::function<void(TXStatusBar* Sender, TXStatusPanel* Panel, QPainter& Painter, const QRect& Rect)> OnDrawPanel;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    // Fills Rect with the bar's background, lets the panel draw itself, then OnDrawPanel.
    virtual void DrawPanel(TXStatusPanel* Panel, QPainter& Painter, const QRect& Rect);

private:
    friend class TXStatusPanel;
    std::vector<QRect> PanelRects() const;
    void LayoutPanels();
    void UpdatePanel(const TXStatusPanel* Panel);
    void MessageChanged(const QString& Message);
    std::vector<std::unique_ptr<TXStatusPanel>> FPanels;
    QList<QPixmap> FImages;
    bool FAutoHint = false;
};
