#pragma once
// The base of the two viewer windows: a dockable form that, floating, can be pinned so that it follows
// the main window at a fixed offset from the main window's top-right corner. A move the user makes
// re-defines that offset; the moves the form makes itself do not, even when the window system reports
// them late. Until a move or the settings gave an offset, pinning takes it from where the form is. Its placement and pin state live in the settings store under its own key. Where the
// window system places windows itself (Wayland), pinning is not offered.
#include "shell/DockingPanel.h"

#include <QIcon>
#include <QPoint>
#include <QRect>

#include <deque>
#include <functional>
#include <string>

class QHBoxLayout;
class QToolButton;
class QVBoxLayout;

class TCVBasePinnedForm : public TDockingPanelClient {
public:
    // The design size of the window's client area, without the button panel's height.
    static constexpr int kDesignWidth = 206 + 2 * 3;
    static constexpr int kPinPanelHeight = 30;
    static constexpr int kMinSavedSize = 100;

    // MainForm (not owned) is the window followed. Subclasses finish with InitForm().
    TCVBasePinnedForm(TDockingPanel* DockPanel, const std::string& RegKey, QWidget* MainForm, const QString& Caption,
                      int DesignHeight);
    ~TCVBasePinnedForm() override;

    bool Pinned() const { return FPinned; }
    virtual void SetPinned(bool Value);
    QWidget* MainForm() const { return FMainForm; }
    const std::string& RegKey() const { return FRegKey; }
    // (main window's right edge) - (own right edge) and main top - own top, the main window taken
    // without its window frame.
    int XDiff() const { return FXDiff; }
    int YDiff() const { return FYDiff; }
    // Whether XDiff and YDiff come from a move of the form or from the settings.
    bool HasOffset() const { return FHasOffset; }
    int SavedLeft() const { return FSavedLeft; }
    int SavedTop() const { return FSavedTop; }
    int SavedWidth() const { return FSavedWidth; }
    int SavedHeight() const { return FSavedHeight; }
    QToolButton* PinSB() const { return FPinSB; }

    std::function<void(TCVBasePinnedForm* Sender)> OnViewerClose;

    void SetDocked(bool Value) override;
    virtual void DoViewerClose();
    virtual void LoadSettings();
    virtual void SaveSettings();
    virtual void UpdatePinHint();
    // Moves the window's frame to (X, Y), kept on the screen; a move the form makes itself.
    virtual void MoveTo(int X, int Y);
    // Pinned, floating and with a main window: to the main window's corner less the offset.
    void FollowMainForm();

    // Whether the window system lets a program place its windows.
    static bool PlatformPlacesWindows();

protected:
    // The part above the button panel, for the subclass's controls.
    QWidget* ClientArea() const { return FClientArea; }
    // The button panel's row: buttons added here go left to right before the pin button.
    void AddButton(QWidget* Button);
    // Loads the settings and places the window (the end of construction; virtual calls work here).
    void InitForm();
    // Clears the main window and writes the settings once; the most derived destructor calls it so
    // that its own values are written too.
    void FinishForm();

    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    // The offset from where the window is now (a user's move).
    void TakeOffset();
    // Pinned and floating without an offset yet: the offset from where it is now, so that it stays.
    void TakeOffsetWhenNone();
    void RememberFloatGeometry();
    void KeepAboveMainForm();
    QRect MainFormRect() const;

    QWidget* FMainForm = nullptr;
    QWidget* FClientArea = nullptr;
    QHBoxLayout* FButtons = nullptr;
    QToolButton* FPinSB = nullptr;
    std::string FRegKey;
    bool FPinned = false;
    bool FMoving = false;
    bool FFinished = false;
    int FXDiff = 0;
    int FYDiff = 0;
    bool FHasOffset = false;
    int FSavedLeft = -1;
    int FSavedTop = -1;
    int FSavedWidth = 0;
    int FSavedHeight = 0;
    // Where the form moved itself and the window system has not yet reported.
    std::deque<QPoint> FPendingMoves;
    // The last place and size while floating (kept while docked, for the settings).
    QRect FFloatGeometry;
};

// A small face for the viewers' buttons ("pin", "frame", "paste", "pastenew", "promote", "delete", "clear").
QIcon PinnedFormGlyph(const char* Name);
