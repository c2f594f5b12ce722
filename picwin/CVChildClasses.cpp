// Child window bases: kind, close query, progress relays, wait cursor and the extra caption button.
#include "picwin/CVChildClasses.h"

#include "controls/SimpleHintWnd.h"
#include "globals/CVGlobal.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionTitleBar>

#include <algorithm>

namespace {
bool GWaitCursor = false;
}

// ---- Basic child ----------------------------------------------------------------------------------------

TBasicCVChild::TBasicCVChild(QWidget* AOwner, uint8_t Kind) : QMdiSubWindow(AOwner), FChildKind(Kind) {}

TBasicCVChild::~TBasicCVChild() = default;

void TBasicCVChild::SetStatusBar(TXStatusBar* Value)
{
    if (Value != FStatusBar)
        FStatusBar = Value;
}

void TBasicCVChild::DoProgressStart(int Max)
{
    if (OnProgressStart)
        OnProgressStart(this, Max);
}

void TBasicCVChild::DoProgressStep()
{
    if (OnProgressStep)
        OnProgressStep(this);
}

void TBasicCVChild::DoProgressEnd()
{
    if (OnProgressEnd)
        OnProgressEnd(this);
}

void TBasicCVChild::BeginWait()
{
    if (!GWaitCursor) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        GWaitCursor = true;
    }
    // Shows the cursor now; a queued click or key must not run inside the operation.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TBasicCVChild::EndWait()
{
    if (GWaitCursor) {
        QGuiApplication::restoreOverrideCursor();
        GWaitCursor = false;
    }
}

bool TBasicCVChild::WaitCursorShown()
{
    return GWaitCursor;
}

bool TBasicCVChild::CloseQuery()
{
    bool canClose = true;
    if (OnChildCloseQuery)
        OnChildCloseQuery(this, canClose);
    return canClose;
}

void TBasicCVChild::DoClose(TCloseAction& Action)
{
    Action = caFree;
    if (OnClose)
        OnClose(this, Action);
}

void TBasicCVChild::closeEvent(QCloseEvent* Event)
{
    // A failing close question keeps the window open: nothing unsaved is lost.
    Event->ignore();
    GuardEvent(this, [&] {
        if (!CloseQuery())
            return;
        TCloseAction action = caFree;
        DoClose(action);
        switch (action) {
        case caFree:
        case caHide:
            setAttribute(Qt::WA_DeleteOnClose, action == caFree);
            QMdiSubWindow::closeEvent(Event);
            break;
        case caMinimize: showMinimized(); break;
        case caNone: break;
        }
    });
}

// ---- Extra caption button -----------------------------------------------------------------------------

TExtraBtnForm::TExtraBtnForm(QWidget* AOwner, uint8_t Kind) : TBasicCVChild(AOwner, Kind)
{
    InitCVGlobal();
    setMouseTracking(true); // hover over the title bar
}

TExtraBtnForm::~TExtraBtnForm()
{
    FreeHintWindow();
}

void TExtraBtnForm::FreeHintWindow()
{
    if (TSimpleHintWindow* hint = FHintWindow) {
        FHintWindow = nullptr;
        hint->OnDestroy = nullptr;
        delete hint;
    }
}

void TExtraBtnForm::SetShowExtraBtn(bool Value)
{
    if (Value == FShowExtraBtn)
        return;
    if (FShowExtraBtn)
        FreeHintWindow();
    FShowExtraBtn = Value;
    if (!isMinimized())
        update();
    FMouseOver = false;
}

void TExtraBtnForm::SetExtraBtnHint(bool Value)
{
    if (Value == FExtraBtnHint)
        return;
    FExtraBtnHint = Value;
    if (!Value)
        FreeHintWindow();
}

void TExtraBtnForm::DoExtraBtnClick()
{
    if (OnExtraBtnClick)
        OnExtraBtnClick(this);
}

void TExtraBtnForm::DoExtraBtnEnter()
{
    if (OnExtraBtnEnter)
        OnExtraBtnEnter(this);
}

void TExtraBtnForm::DoExtraBtnLeave()
{
    if (OnExtraBtnLeave)
        OnExtraBtnLeave(this);
}

void TExtraBtnForm::ShowExtraBtnHint()
{
    if (FHintWindow || !FExtraBtnHint || FExtraBtnHintStr.empty())
        return;
    FHintWindow = new TSimpleHintWindow(this, true, false, FExtraBtnHintStr, clInfoBk, HintHidePause);
    FHintWindow->OnDestroy = [this](TSimpleHintWindow*) { FHintWindow = nullptr; };
}

bool TExtraBtnForm::ButtonCanShow() const
{
    return FShowExtraBtn && isVisible() && !isMinimized() && ExtraBtnImage;
}

TRect TExtraBtnForm::ComputeBtnRect() const
{
    const int left = width() - ExtraBtnRightOffset;
    return Rect(left, ExtraBtnTop, left + ExtraBtnImage->Width(), ExtraBtnTop + ExtraBtnImage->Height());
}

int TExtraBtnForm::TitleBarMinWidth() const
{
    // The title bar laid out as the sub-window lays it out, at a generous width: the label starts at
    // a fixed place and ends a fixed distance before the window's right edge; the rest is the icon,
    // the buttons and the frame.
    constexpr int kWidth = 1000, kGap = 6;
    QStyleOptionTitleBar option;
    option.initFrom(this);
    option.subControls = QStyle::SC_All;
    option.titleBarFlags = Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    option.titleBarState = Qt::WindowNoState;
    option.text = windowTitle();
    option.icon = windowIcon();
    const int titleH = std::max(1, style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, this));
    option.rect = QRect(0, 0, kWidth, titleH);
    QRect label = style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, this);
    if (!label.isValid() || label.width() >= kWidth)
        label = QRect(titleH, 0, kWidth - titleH - 3 * CaptionButtonWidth, titleH);
    const int labelLeft = label.left();
    const int labelRightInset = kWidth - (label.left() + label.width());
    // The caption as the title bar draws it: bold when the window is active, and shortened with an
    // ellipsis unless the label holds it with a margin to spare.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int text = QFontMetrics(font).horizontalAdvance(windowTitle());
    constexpr int kElideMargin = 14;
    // Where the caption must end: before the extra button, or at the label's end without one.
    const int endInset = (FShowExtraBtn && ExtraBtnImage ? ExtraBtnRightOffset : labelRightInset) + kGap;
    // Styles place the caption at the label's start or in its middle (a pixel off for its shadow);
    // either way it ends before endInset. With W the window width, the label spans
    // [labelLeft, W - labelRightInset):
    //   at the start:  labelLeft + text + 1 <= W - endInset
    //   in the middle: (labelLeft + W - labelRightInset + text) / 2 + 1 <= W - endInset
    const int atStart = labelLeft + text + 1 + endInset;
    const int inMiddle = labelLeft - labelRightInset + text + 2 + 2 * endInset;
    const int whole = labelLeft + text + kElideMargin + labelRightInset;
    return std::max({atStart, inMiddle, whole});
}

void TExtraBtnForm::PaintExtraBtn()
{
    if (!ButtonCanShow())
        return;
    FBtnRect = ComputeBtnRect();
    update(FBtnRect.Left, FBtnRect.Top, FBtnRect.Width(), FBtnRect.Height());
}

void TExtraBtnForm::paintEvent(QPaintEvent* Event)
{
    QMdiSubWindow::paintEvent(Event);
    GuardEvent(this, [&] {
        if (!ButtonCanShow())
            return;
        FBtnRect = ComputeBtnRect();
        QPainter p(this);
        p.drawImage(FBtnRect.Left, FBtnRect.Top, BitmapToQImage(*ExtraBtnImage, ExtraBtnImage->Transparent()));
    });
}

bool TExtraBtnForm::HitTestExtraBtn(int ScreenX, int ScreenY) const
{
    if (!FShowExtraBtn || isMinimized() || !isVisible())
        return false;
    const QPoint p = mapFromGlobal(QPoint(ScreenX, ScreenY));
    return PtInRect(FBtnRect, TPoint{p.x(), p.y()});
}

void TExtraBtnForm::PointerSeen(const QPoint& Screen, bool Outside)
{
    if (!FShowExtraBtn)
        return;
    const bool hit = !Outside && HitTestExtraBtn(Screen.x(), Screen.y());
    if (hit && !FMouseOver) {
        FMouseOver = true;
        DoExtraBtnEnter();
        ShowExtraBtnHint();
    } else if (!hit && FMouseOver) {
        FreeHintWindow();
        DoExtraBtnLeave();
        FMouseOver = false;
    }
}

bool TExtraBtnForm::ClickButton(QMouseEvent* Event)
{
    bool handled = false;
    GuardEvent(this, [&] {
        const QPoint screen = Event->globalPosition().toPoint();
        if (Event->button() == Qt::LeftButton && HitTestExtraBtn(screen.x(), screen.y())) {
            handled = FPressedOnButton = true;
            Event->accept();
            DoExtraBtnClick();
        }
    });
    return handled;
}

void TExtraBtnForm::mousePressEvent(QMouseEvent* Event)
{
    if (!ClickButton(Event))
        QMdiSubWindow::mousePressEvent(Event);
}

void TExtraBtnForm::mouseReleaseEvent(QMouseEvent* Event)
{
    if (FPressedOnButton && Event->button() == Qt::LeftButton) {
        FPressedOnButton = false;
        Event->accept();
        return;
    }
    QMdiSubWindow::mouseReleaseEvent(Event);
}

void TExtraBtnForm::mouseDoubleClickEvent(QMouseEvent* Event)
{
    // A quick second click on the button is a click, not the title bar's maximise.
    if (!ClickButton(Event))
        QMdiSubWindow::mouseDoubleClickEvent(Event);
}

void TExtraBtnForm::mouseMoveEvent(QMouseEvent* Event)
{
    QMdiSubWindow::mouseMoveEvent(Event);
    GuardEvent(this, [&] { PointerSeen(Event->globalPosition().toPoint(), false); });
}

void TExtraBtnForm::leaveEvent(QEvent* Event)
{
    QMdiSubWindow::leaveEvent(Event);
    GuardEvent(this, [&] { PointerSeen({}, true); });
}

void TExtraBtnForm::changeEvent(QEvent* Event)
{
    QMdiSubWindow::changeEvent(Event);
    if (Event->type() == QEvent::WindowStateChange)
        GuardEvent(this, [&] { PaintExtraBtn(); });
}

void TExtraBtnForm::childEvent(QChildEvent* Event)
{
    QMdiSubWindow::childEvent(Event);
    // The pointer entering the client area (any child widget) has left the button.
    if (Event->added() && Event->child()->isWidgetType())
        Event->child()->installEventFilter(this);
}

bool TExtraBtnForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Enter && Watched != FHintWindow && Watched->parent() == this)
        GuardEvent(this, [&] { PointerSeen({}, true); });
    return QMdiSubWindow::eventFilter(Watched, Event);
}
