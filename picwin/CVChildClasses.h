#pragma once
// Bases of the document windows in the main window's MDI area. TBasicCVChild carries what the main
// window needs to treat picture and browser windows alike: a kind, a close-query hook, the main
// window's status bar, progress relays and the wait cursor. TExtraBtnForm adds a button painted into
// the title bar left of the window's own buttons, with hover events, a delayed hint and a click.
#include <QMdiSubWindow>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Types.h"

class TXStatusBar;
class TSimpleHintWindow;

enum : uint8_t { ckPicture = 1, ckBrowser = 2 };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TBasicCVChild : public QMdiSubWindow {
public:
    TBasicCVChild(QWidget* AOwner, uint8_t Kind);
    ~TBasicCVChild() override;

    uint8_t ChildKind() const { return FChildKind; }

    // May veto closing (CanClose starts with the inherited answer).
    std::function<void(TBasicCVChild* Sender, bool& CanClose)> OnChildCloseQuery;
    // Fired when the window closes; the action starts as caFree.
    std::function<void(TBasicCVChild* Sender, TCloseAction& Action)> OnClose;
    // Relays of long operations, with this window as the sender.
    std::function<void(TBasicCVChild* Sender, int Max)> OnProgressStart;
    std::function<void(TBasicCVChild* Sender)> OnProgressStep;
    std::function<void(TBasicCVChild* Sender)> OnProgressEnd;

    // The main window's status bar; not owned.
    TXStatusBar* StatusBar() const { return FStatusBar; }
    virtual void SetStatusBar(TXStatusBar* Value);
    // Shaped as the progress events of pictures and the picture database, which derived windows
    // route here.
    virtual void DoProgressStart(int Max);
    virtual void DoProgressStep();
    virtual void DoProgressEnd();
    // The wait cursor shows at once; pending paints and timers run, user input waits until the
    // operation is over. EndWait restores the normal cursor (however often BeginWait ran).
    virtual void BeginWait();
    virtual void EndWait();
    static bool WaitCursorShown();

    // Whether the window may close: the inherited answer, then OnChildCloseQuery.
    virtual bool CloseQuery();

protected:
    // Proposes caFree, then fires OnClose.
    virtual void DoClose(TCloseAction& Action);
    void closeEvent(QCloseEvent* Event) override;

private:
    uint8_t FChildKind;
    TXStatusBar* FStatusBar = nullptr;
};

class TExtraBtnForm : public TBasicCVChild {
public:
    TExtraBtnForm(QWidget* AOwner, uint8_t Kind);
    ~TExtraBtnForm() override;

    bool ShowExtraBtn() const { return FShowExtraBtn; }
    void SetShowExtraBtn(bool Value);
    bool ExtraBtnHint() const { return FExtraBtnHint; }
    // Turning it off closes an open hint; while off no hint opens.
    void SetExtraBtnHint(bool Value);
    const std::string& ExtraBtnHintStr() const { return FExtraBtnHintStr; }
    // An open hint keeps its text.
    void SetExtraBtnHintStr(const std::string& Value) { FExtraBtnHintStr = Value; }

    std::function<void(TExtraBtnForm* Sender)> OnExtraBtnEnter;
    std::function<void(TExtraBtnForm* Sender)> OnExtraBtnLeave;
    std::function<void(TExtraBtnForm* Sender)> OnExtraBtnClick;

    // The screen point lies on the button (right and bottom edges excluded).
    bool HitTestExtraBtn(int ScreenX, int ScreenY) const;
    // The button's rectangle in window coordinates as last painted (all zero before).
    TRect ExtraBtnRect() const { return FBtnRect; }
    bool MouseOverExtraBtn() const { return FMouseOver; }
    TSimpleHintWindow* HintWindow() const { return FHintWindow; }
    // Places the button and repaints it (also after the metrics changed).
    virtual void PaintExtraBtn();
    // The narrowest window whose title bar shows its icon, the whole caption where the style places it
    // (at the label's start or in its middle), the extra button and the window's own buttons side by side.
    int TitleBarMinWidth() const;

protected:
    virtual void DoExtraBtnClick();
    virtual void DoExtraBtnEnter();
    virtual void DoExtraBtnLeave();
    virtual void ShowExtraBtnHint();

    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    void childEvent(QChildEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    bool ButtonCanShow() const;
    // A left press on the button clicks it; true when it did.
    bool ClickButton(QMouseEvent* Event);
    TRect ComputeBtnRect() const;
    // The pointer was seen at a screen point, or (Outside) anywhere but on the button.
    void PointerSeen(const QPoint& Screen, bool Outside);
    void FreeHintWindow();
    bool FShowExtraBtn = true;
    bool FExtraBtnHint = true;
    std::string FExtraBtnHintStr;
    TRect FBtnRect;
    TSimpleHintWindow* FHintWindow = nullptr;
    bool FMouseOver = false;
    bool FPressedOnButton = false; // the title bar must not see the release of a press it never saw
};
