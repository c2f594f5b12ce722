#pragma once
// Panels: a bevelled panel with enter/leave events and switchable background erasing, a scroll box,
// a tool bar that reports its visibility, a control bar, a tab control, and the collapsing side
// panel that expands while the mouse rests over it.
#include "controls/XGraphicCtrls.h"

#include <QFrame>
#include <QPointer>
#include <QScrollArea>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

#include <string>

// Where a panel sits in its parent. An edge alignment places a panel that no layout manages along
// that edge of the parent's contents (kept there when the parent resizes); in a layout the layout
// decides and the alignment only tells the panel which of its edges faces the parent's interior.
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TBevelCut { bvNone, bvLowered, bvRaised };

inline constexpr bool IsEdgeAlign(TAlign A) { return A == alTop || A == alBottom || A == alLeft || A == alRight; }

// A 3-D frame of Width rings just inside R: the top row and left column in TopColor, the bottom
// row and right column in BottomColor (these take the top-right and bottom-left corners). R shrinks
// by Width on every side.
void Frame3D(QPainter& Canvas, TRect& R, TColor TopColor, TColor BottomColor, int Width);

// The interior that a panel leaves to its children: Client less the outer bevel, the border and
// the inner bevel.
TRect PanelInnerRect(const TRect& Client, TBevelCut Outer, TBevelCut Inner, int BevelWidth, int BorderWidth);

// ---- Collapsing panel geometry and state, free of widgets ----------------------------------------

// Rect less a bar of BarSize on the edge that faces the parent's interior; an edge that would cross
// the opposite one stops there.
TRect CollapsingClientRect(TAlign Align, const TRect& Rect, int BarSize);
// The sizing bar: the strip of BarSize along that edge of Client; Client itself for other alignments.
TRect SizingBarRect(TAlign Align, const TRect& Client, int BarSize);

// What the sizing bar shows: a disabled thumb when fixed, a disabled sideways arrow when locked,
// else an arrow the way the panel will move.
enum TSizingBarGlyphKind { sgNone, sgThumb, sgArrow };
enum TArrowDirection { adUp, adDown, adLeft, adRight };
struct TSizingBarGlyph {
    TSizingBarGlyphKind Kind = sgNone;
    TArrowDirection Direction = adUp; // arrows
    bool Vertical = false;            // thumbs: along a left or right bar
    bool Enabled = false;
    friend constexpr bool operator==(const TSizingBarGlyph&, const TSizingBarGlyph&) = default;
};
TSizingBarGlyph SizingBarGlyph(TAlign Align, bool Expanded, bool Locked, bool Fixed);

// What the collapse state machine needs from its panel.
class TCollapseHost {
public:
    virtual ~TCollapseHost() = default;
    // Width for left and right alignment, height for top and bottom.
    virtual int PanelSize() const = 0;
    virtual void SetPanelSize(int Size) = 0;
    virtual void SetChildrenVisible(bool Visible) = 0;
    // OnExpanding / OnCollapsing: true to go ahead.
    virtual bool AllowExpanding() = 0;
    virtual bool AllowCollapsing() = 0;
    // One-shot hover timer: starting replaces a pending one.
    virtual void StartHoverTimer(int Interval) = 0;
    virtual void StopHoverTimer() = 0;
    virtual bool CursorInClient() const = 0;
    virtual void Invalidate() = 0;
};

enum THoverCheck { hcNone, hcExpand, hcCollapse };

// Expanded or collapsed, each locked or not; Fixed freezes Expanded. Entering and leaving start a
// hover check that fires after Delay (at once with Delay 0) and looks where the cursor is then;
// a click on the sizing bar toggles the lock, and unlocking a collapsed panel expands it.
class TCollapseState {
public:
    TCollapseState(TCollapseHost& Host, TAlign Align, int ExpandedSize, int BarSize);

    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign Value) { FAlign = Value; }
    int ExpandedSize() const { return FExpandedSize; }
    // Taken when greater than the bar size; resizes nothing until the next expansion.
    void SetExpandedSize(int Value);
    int BarSize() const { return FBarSize; }
    // A bar larger than ExpandedSize raises ExpandedSize too; a collapsed panel takes the new size.
    void SetBarSize(int Value);
    bool Expanded() const { return FExpanded; }
    // Expanding shows the children (AutoHideControls) before growing; collapsing hides them after
    // shrinking. When OnExpanding or OnCollapsing refuses, the size stays and so does Expanded.
    void SetExpanded(bool Value);
    bool AutoHideControls() const { return FAutoHideControls; }
    void SetAutoHideControls(bool Value);
    bool Fixed() const { return FFixed; }
    void SetFixed(bool Value);
    bool Locked() const { return FLocked; }
    void SetLocked(bool Value);
    int Delay() const { return FDelay; }
    void SetDelay(int Value) { FDelay = std::max(0, Value); }

    THoverCheck PendingCheck() const { return FPending; }
    void MouseEnter();
    void MouseLeave();
    void HoverTimerFired();
    // A press of any button at P in the panel whose client rectangle is Client.
    void MouseDown(const TPoint& P, const TRect& Client);

private:
    void StartCheck(THoverCheck Check, bool ExpandNow);
    void CancelCheck();

    TCollapseHost& FHost;
    TAlign FAlign;
    int FExpandedSize;
    int FBarSize;
    bool FExpanded = true;
    bool FAutoHideControls = false;
    bool FFixed = false;
    bool FLocked = false;
    int FDelay = 200;
    THoverCheck FPending = hcNone;
};

// ---- Widgets --------------------------------------------------------------------------------------

// A panel of Color with an outer bevel, a border and an inner bevel, and enter/leave events.
// Children placed by a layout keep inside the bevels (the contents margins follow them).
class TXCustomPanel : public QWidget, public TMouseEnterLeave {
public:
    explicit TXCustomPanel(QWidget* Parent = nullptr);

    TAlign Align() const { return FAlign; }
    virtual void SetAlign(TAlign Value);
    TColor Color() const { return FColor; }
    void SetColor(TColor Value);
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut Value);
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut Value);
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int Value);
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int Value);
    // Drawn centred by the plain panel.
    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);
    // False: the background is not erased before painting (the panel paints all of itself anyway).
    bool ClearOnPaint() const { return FClearOnPaint; }
    void SetClearOnPaint(bool Value);
    // True: the panel leaves its interior to the parent's background instead of filling it.
    bool ParentBackground() const { return FParentBackground; }
    void SetParentBackground(bool Value);

    // The part of Rect (the client rectangle) left to the children: less the bevels and the
    // border; descendants take more.
    virtual TRect AdjustClientRect(const TRect& Rect) const;

protected:
    virtual void Paint(QPainter& Canvas);
    // The two bevels and the border over Rect, as Paint draws them.
    void DrawBevels(QPainter& Canvas, TRect Rect) const;
    virtual void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y);
    // Call after anything AdjustClientRect depends on changed.
    void UpdateClientMargins();
    // Moves the panel to its edge of the parent unless a layout manages it.
    void AlignInParent();

    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void WatchParent();
    void UpdateBackground();
    bool InParentLayout() const;

    TAlign FAlign = alNone;
    TColor FColor = clBtnFace;
    TBevelCut FBevelOuter = bvRaised;
    TBevelCut FBevelInner = bvNone;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    std::string FCaption;
    bool FClearOnPaint = true;
    bool FParentBackground = false;
    QPointer<QWidget> FWatchedParent;
};

class TXPanel : public TXCustomPanel {
public:
    using TXCustomPanel::TXCustomPanel;
};

// A scroll area whose viewport background erasing can be switched off, with a resize event.
class TXScrollBox : public QScrollArea {
public:
    explicit TXScrollBox(QWidget* Parent = nullptr);
    bool ClearOnPaint() const { return FClearOnPaint; }
    void SetClearOnPaint(bool Value);
    // After every size change, before the box repaints.
    TNotifyEvent OnResize;

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    bool FClearOnPaint = true;
};

// A tool bar that reports when it is shown or hidden (its own visibility, not its parent's).
class TXToolBar : public QToolBar {
public:
    explicit TXToolBar(QWidget* Parent = nullptr);
    explicit TXToolBar(const QString& Title, QWidget* Parent = nullptr);
    TNotifyEvent OnVisibleChange;

protected:
    bool event(QEvent* Event) override;

private:
    // Whether the bar shows whenever its parent does (shown as a window: whether it shows).
    bool OwnVisibility() const;
    bool FVisible;
};

// A raised strip that lines its tool bars up from the left.
class TXControlBar : public QFrame {
public:
    explicit TXControlBar(QWidget* Parent = nullptr);
};

// Tabs over one shared client area (children go into Client()), the tabs' width fixed by TabWidth
// (0: each tab as wide as its text).
class TXTabControl : public QWidget {
public:
    explicit TXTabControl(QWidget* Parent = nullptr);
    QTabBar* Tabs() const { return FTabs; }
    QFrame* Client() const { return FClient; }
    int TabWidth() const;
    void SetTabWidth(int Value);

private:
    QTabBar* FTabs;
    QFrame* FClient;
};

// The side bar: aligned to an edge of its parent (right after construction), with a sizing bar on
// the edge facing the parent's interior. The size across the bar is held fixed (setFixedWidth for
// left/right, setFixedHeight for top/bottom), so layouts keep it; set the first size that way.
class TCollapsingPanel : public TXCustomPanel, private TCollapseHost {
public:
    explicit TCollapsingPanel(QWidget* Parent = nullptr);

    void SetAlign(TAlign Value) override;
    int ExpandedSize() const { return FState.ExpandedSize(); }
    void SetExpandedSize(int Value) { FState.SetExpandedSize(Value); }
    // The collapsed size and the bar's thickness: the style's scroll bar extent.
    int CollapsedSize() const { return FState.BarSize(); }
    void SetCollapsedSize(int Value);
    bool Expanded() const { return FState.Expanded(); }
    void SetExpanded(bool Value) { FState.SetExpanded(Value); }
    bool AutoHideControls() const { return FState.AutoHideControls(); }
    void SetAutoHideControls(bool Value) { FState.SetAutoHideControls(Value); }
    bool Fixed() const { return FState.Fixed(); }
    void SetFixed(bool Value) { FState.SetFixed(Value); }
    bool Locked() const { return FState.Locked(); }
    void SetLocked(bool Value) { FState.SetLocked(Value); }
    // Hover delay in milliseconds.
    int Delay() const { return FState.Delay(); }
    void SetDelay(int Value) { FState.SetDelay(Value); }
    bool HoverPending() const { return FHoverTimer.isActive(); }

    TRect SizingBarRect() const;
    TRect AdjustClientRect(const TRect& Rect) const override;

    // (Sender, Allow): Allow starts true; false keeps the size.
    std::function<void(QWidget* Sender, bool& Allow)> OnExpanding;
    std::function<void(QWidget* Sender, bool& Allow)> OnCollapsing;
    // Draws over the sizing bar: the painter covers the bar only, Rect is the bar at (0, 0).
    std::function<void(QWidget* Sender, QPainter& Canvas, const QRect& Rect)> OnDrawSizingBar;

protected:
    void Paint(QPainter& Canvas) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y) override;
    void changeEvent(QEvent* Event) override;

private:
    void PaintSizingBar(QPainter& Canvas, const TRect& R);
    void HoldSize(int Size);
    // TCollapseHost
    int PanelSize() const override;
    void SetPanelSize(int Size) override;
    void SetChildrenVisible(bool Visible) override;
    bool AllowExpanding() override;
    bool AllowCollapsing() override;
    void StartHoverTimer(int Interval) override;
    void StopHoverTimer() override;
    bool CursorInClient() const override;
    void Invalidate() override;

    TCollapseState FState;
    QTimer FHoverTimer;
};
