#pragma once
// A scrolling control whose scroll bars only report how far they moved: nothing is shifted, the
// owner repaints. TIdleScrollingCore holds the whole range, page and clamping arithmetic and talks to
// the window through a few virtual operations, so that it runs (and is tested) without widgets;
// TIdleScrollingWinControl puts it on a QFrame with two Qt scroll bars whose visibility, range and
// position the arithmetic decides.
#include "platform/Types.h"

#include <QFrame>
#include <QScrollBar>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>

class TIdleScrollingCore;

enum TScrollBarKind { sbHorizontal = 0, sbVertical = 1 };
enum TScrollBarStyle { ssRegular, ssFlat, ssHotTrack };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
enum TIdleWindowState { wsNormal, wsMinimized, wsMaximized };
enum TIdleBorderStyle { bsNone, bsSingle };

// One scroll bar: position, range and steps in pixels of what is scrolled.
class TIdleControlScrollBar {
public:
    TIdleControlScrollBar(TIdleScrollingCore& Control, TScrollBarKind Kind) : FControl(Control), FKind(Kind) {}

    TScrollBarKind Kind() const { return FKind; }
    int Position() const { return FPosition; }
    // Limited to 0..CalcRange; a change calls the owner's DoScrolling with (old - new) in this bar's
    // direction, then the shown bar follows and the owner's DoScroll runs.
    void SetPosition(int Value);
    int Range() const { return FRange; }
    // Negative values are stored as 0; the bars are laid out again.
    void SetRange(int Value);
    // The largest position the last update allowed.
    int CalcRange() const { return FCalcRange; }
    int Increment() const { return FIncrement; }
    void SetIncrement(int Value) { FIncrement = std::clamp(Value, 1, 32767); }
    int PageIncrement() const { return FPageIncrement; }
    void SetPageIncrement(int Value) { FPageIncrement = std::clamp(Value, 1, 32767); }
    int Margin() const { return FMargin; }
    void SetMargin(int Value) { FMargin = std::clamp(Value, 0, 65535); }
    bool Visible() const { return FVisible; }
    // Hiding the bar zeroes Position and Range without any event.
    void SetVisible(bool Value);
    bool Tracking() const { return FTracking; }
    void SetTracking(bool Value);
    int ButtonSize() const { return FButtonSize; }
    void SetButtonSize(int Value);
    int Size() const { return FSize; } // 0: the style's own thickness
    void SetSize(int Value);
    int ThumbSize() const { return FThumbSize; }
    void SetThumbSize(int Value);
    TScrollBarStyle Style() const { return FStyle; }
    void SetStyle(TScrollBarStyle Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool Value);

    // Moves by Delta, limited to 0..Range (and then to 0..CalcRange).
    void ScrollBy(int Delta);
    // A scroll request from the shown bar (Pos: the thumb position for scPosition and scTrack).
    void ScrollMessage(TScrollCode Code, int Pos);
    // Visible, Range and Position through their setters, then Increment and PageIncrement.
    void Assign(const TIdleControlScrollBar& Source);

    // Size of the visible area along this bar. ControlSB: as the client is now; otherwise AssumeSB
    // assumes the other bar appears, !AssumeSB that it goes.
    int ControlSize(bool ControlSB, bool AssumeSB) const;
    // Recomputes CalcRange, shows or hides the bar, then sets Position again.
    void Update(bool ControlSB, bool AssumeSB);
    // The bar would be shown with the client as it is without the other bar.
    bool NeedsShowing() const { return FVisible && FRange > ControlSize(false, false); }

private:
    void PropertiesChanged();
    TIdleScrollingCore& FControl;
    TScrollBarKind FKind;
    int FIncrement = 5;
    int FPageIncrement = 20;
    int FPosition = 0;
    int FRange = 0;
    int FCalcRange = 0;
    int FMargin = 0;
    bool FVisible = true;
    bool FTracking = false;
    int FButtonSize = 0;
    TColor FColor = clBtnHighlight;
    bool FParentColor = true;
    int FSize = 0;
    TScrollBarStyle FStyle = ssRegular;
    int FThumbSize = 0;
    bool FPropertiesChanged = true;
};

// The window side the bars need, and the arithmetic that ties both bars together.
class TIdleScrollingCore {
public:
    TIdleScrollingCore() : FHorzScrollBar(*this, sbHorizontal), FVertScrollBar(*this, sbVertical) {}
    virtual ~TIdleScrollingCore() = default;
    TIdleScrollingCore(const TIdleScrollingCore&) = delete;
    TIdleScrollingCore& operator=(const TIdleScrollingCore&) = delete;

    TIdleControlScrollBar& HorzScrollBar() { return FHorzScrollBar; }
    TIdleControlScrollBar& VertScrollBar() { return FVertScrollBar; }
    const TIdleControlScrollBar& HorzScrollBar() const { return FHorzScrollBar; }
    const TIdleControlScrollBar& VertScrollBar() const { return FVertScrollBar; }
    TIdleControlScrollBar& ScrollBar(TScrollBarKind Kind) { return Kind == sbHorizontal ? FHorzScrollBar : FVertScrollBar; }
    void SetHorzScrollBar(const TIdleControlScrollBar& Value) { FHorzScrollBar.Assign(Value); }
    void SetVertScrollBar(const TIdleControlScrollBar& Value) { FVertScrollBar.Assign(Value); }

    // (Sender, DeltaX, DeltaY): a delta is the old position minus the new one.
    std::function<void(TIdleScrollingCore* Sender, int DeltaX, int DeltaY)> OnScrolling;
    std::function<void(TIdleScrollingCore* Sender)> OnScroll;

    // Recomputes both bars (nothing while already updating or before the window exists).
    virtual void UpdateScrollBars();
    bool UpdatingScrollBars() const { return FUpdating; }
    // Brings Bounds (client coordinates) into view, widened by the bars' margins.
    void ScrollInView(const TRect& Bounds);

    virtual void DoScrolling(int DeltaX, int DeltaY);
    virtual void DoScroll();
    virtual void Resizing(TIdleWindowState /*State*/) {}

    // ---- The window --------------------------------------------------------------------------------
    // Client area as it is now, without the bars that are shown.
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // A plain border (as opposed to a sunken client edge) that the bars overlap by one pixel.
    virtual bool HasPlainBorder() const { return false; }
    virtual bool BarShown(TScrollBarKind Kind) const = 0;
    // Thickness of a shown bar.
    virtual int BarThickness(TScrollBarKind Kind) const = 0;
    // Shows or hides a bar with positions 0..MaxPos, Page pixels in view, at Pos.
    virtual void ApplyBar(TScrollBarKind Kind, bool Shown, int MaxPos, int Page, int Pos) = 0;
    // The position the shown bar holds, and moving it there.
    virtual int BarPosition(TScrollBarKind Kind) const = 0;
    virtual void SetBarPosition(TScrollBarKind Kind, int Pos) = 0;
    // Style, sizes and colour of a bar changed.
    virtual void ApplyBarProperties(const TIdleControlScrollBar& /*Bar*/) {}
    virtual bool WindowExists() const { return true; }
    // While true, positions are stored as given (a form being read).
    virtual bool Loading() const { return false; }

protected:
    // Runs after the outermost UpdateScrollBars.
    virtual void ScrollBarsUpdated() {}

private:
    TIdleControlScrollBar FHorzScrollBar;
    TIdleControlScrollBar FVertScrollBar;
    bool FUpdating = false;
};

// The scrolling control on a QFrame: client area, then the vertical bar at the right and the
// horizontal one at the bottom of the frame's contents.
class TIdleScrollingWinControl : public QFrame, public TIdleScrollingCore {
public:
    explicit TIdleScrollingWinControl(QWidget* Parent = nullptr);
    ~TIdleScrollingWinControl() override;

    // The client area in widget coordinates.
    QRect ClientRect() const;
    int ClientWidth() const override;
    int ClientHeight() const override;
    bool BarShown(TScrollBarKind Kind) const override { return FShown[Kind]; }
    int BarThickness(TScrollBarKind Kind) const override;
    void ApplyBar(TScrollBarKind Kind, bool Shown, int MaxPos, int Page, int Pos) override;
    int BarPosition(TScrollBarKind Kind) const override { return FBarPos[Kind]; }
    void SetBarPosition(TScrollBarKind Kind, int Pos) override;
    void ApplyBarProperties(const TIdleControlScrollBar& Bar) override;
    QScrollBar* QtScrollBar(TScrollBarKind Kind) const { return FBars[Kind]; }
    // Brings a child widget into view.
    void AutoScrollInView(QWidget* Control);

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void ScrollBarsUpdated() override;
    // The client area changed because a bar appeared or went.
    virtual void ClientAreaChanged() {}
    void LayoutBars();

private:
    void BarAction(TScrollBarKind Kind, int Action);
    void BarValueChanged(TScrollBarKind Kind, int Value);
    std::array<QScrollBar*, 2> FBars{};
    std::array<bool, 2> FShown{false, false};
    std::array<int, 2> FBarPos{0, 0};
    QRect FLastClient;
};

// The scrolling control with a border: a sunken client edge (bsSingle) or none.
class TIdleScrollBox : public TIdleScrollingWinControl {
public:
    explicit TIdleScrollBox(QWidget* Parent = nullptr);
    TIdleBorderStyle BorderStyle() const { return FBorderStyle; }
    virtual void SetBorderStyle(TIdleBorderStyle Value);

private:
    TIdleBorderStyle FBorderStyle = bsSingle;
};
