// The pinnable, dockable base of the viewer windows.
#include "shell/CVPinnedForm.h"

#include "globals/CVGlobal.h"
#include "platform/Registry.h"
#include "shell/CVSettings.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMoveEvent>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cstring>

namespace {

// Moves the form made and not yet reported are forgotten beyond this many.
constexpr size_t kMaxPendingMoves = 16;

bool Blank(const std::string& S)
{
    return std::all_of(S.begin(), S.end(), [](unsigned char c) { return c <= ' '; });
}

} // namespace

QIcon PinnedFormGlyph(const char* Name)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor ink(40, 40, 40), blue(40, 90, 200), red(200, 50, 40), paper(250, 250, 245);
    p.setPen(QPen(ink, 1.0));
    if (!std::strcmp(Name, "pin")) {
        p.setBrush(red);
        p.drawEllipse(QPointF(8, 5), 3.5, 3.5);
        p.setPen(QPen(ink, 1.6));
        p.drawLine(QPointF(8, 8.5), QPointF(8, 15));
    } else if (!std::strcmp(Name, "frame")) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(blue, 2.0));
        p.drawRect(QRectF(3, 3, 10, 10));
    } else if (!std::strcmp(Name, "paste") || !std::strcmp(Name, "pastenew")) {
        p.setBrush(QColor(190, 140, 80));
        p.drawRoundedRect(QRectF(2, 2.5, 10, 12), 1, 1);
        p.setBrush(paper);
        p.drawRect(QRectF(6, 6, 8, 9));
        if (!std::strcmp(Name, "pastenew")) {
            p.setPen(QPen(blue, 1.6));
            p.drawLine(QPointF(10, 8), QPointF(10, 13));
            p.drawLine(QPointF(7.5, 10.5), QPointF(12.5, 10.5));
        }
    } else if (!std::strcmp(Name, "promote")) {
        p.setPen(QPen(blue, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 14), QPointF(8, 3));
        p.drawLine(QPointF(8, 3), QPointF(4, 7));
        p.drawLine(QPointF(8, 3), QPointF(12, 7));
    } else if (!std::strcmp(Name, "delete")) {
        p.setPen(QPen(red, 2.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    } else if (!std::strcmp(Name, "clear")) {
        p.setBrush(paper);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
        p.setPen(QPen(red, 1.6));
        p.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
    }
    return QIcon(pm);
}

TCVBasePinnedForm::TCVBasePinnedForm(TDockingPanel* DockPanel, const std::string& RegKey, QWidget* MainForm,
                                     const QString& Caption, int DesignHeight)
    : TDockingPanelClient(DockPanel), FMainForm(MainForm), FRegKey(RegKey)
{
    setWindowTitle(Caption);
    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(3, 3, 3, 3);
    column->setSpacing(2);
    FClientArea = new QWidget(body);
    FClientArea->setObjectName("ClientArea");
    column->addWidget(FClientArea, 1);
    auto* panel = new QWidget(body);
    panel->setObjectName("PinButtonPanel");
    panel->setFixedHeight(kPinPanelHeight);
    FButtons = new QHBoxLayout(panel);
    FButtons->setContentsMargins(0, 0, 0, 0);
    FButtons->setSpacing(2);
    FButtons->addStretch(1);
    FPinSB = new QToolButton(panel);
    FPinSB->setObjectName("PinSB");
    FPinSB->setCheckable(true);
    FPinSB->setAutoRaise(true);
    FPinSB->setIcon(PinnedFormGlyph("pin"));
    FPinSB->setVisible(PlatformPlacesWindows());
    FButtons->addWidget(FPinSB);
    column->addWidget(panel);
    setWidget(body);
    connect(FPinSB, &QToolButton::clicked, this, [this] {
        FPinned = FPinSB->isChecked();
        UpdatePinHint();
        TakeOffsetWhenNone();
    });

    FSavedWidth = kDesignWidth;
    FSavedHeight = DesignHeight;
    resize(FSavedWidth, FSavedHeight);
    UpdatePinHint();
}

TCVBasePinnedForm::~TCVBasePinnedForm()
{
    FinishForm();
}

void TCVBasePinnedForm::InitForm()
{
    if (Blank(FRegKey))
        SetPinned(FPinSB->isChecked());
    else
        LoadSettings();
    resize(FSavedWidth, FSavedHeight);
    if (FSavedLeft >= 0 && FSavedTop >= 0) {
        const QPoint at(FSavedLeft, FSavedTop);
        move(ClampWindowPos(at, size(), ScreenRectAt(at, AvailableScreenRects())));
    } else if (FMainForm) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(FMainForm->frameGeometry().center());
        move(r.topLeft());
    }
    FFloatGeometry = QRect(pos(), size());
}

void TCVBasePinnedForm::FinishForm()
{
    if (FFinished)
        return;
    FFinished = true;
    FMainForm = nullptr;
    if (!Blank(FRegKey))
        SaveSettings();
}

bool TCVBasePinnedForm::PlatformPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith("wayland", Qt::CaseInsensitive);
}

void TCVBasePinnedForm::AddButton(QWidget* Button)
{
    // Before the stretch that keeps the pin button at the right edge.
    FButtons->insertWidget(FButtons->count() - 2, Button);
}

void TCVBasePinnedForm::SetDocked(bool Value)
{
    TDockingPanelClient::SetDocked(Value);
    FPinSB->setVisible(!Docked() && PlatformPlacesWindows());
}

void TCVBasePinnedForm::SetPinned(bool Value)
{
    if (Value == FPinned)
        return;
    FPinned = Value;
    FPinSB->setChecked(Value);
    UpdatePinHint();
    TakeOffsetWhenNone();
}

void TCVBasePinnedForm::UpdatePinHint()
{
    const bool down = FPinSB->isChecked();
    const QString text = QString("%1 Viewer %2 Canvello window").arg(down ? "Unpin" : "Pin", down ? "from" : "to");
    FPinSB->setToolTip(text);
    FPinSB->setStatusTip(text);
}

void TCVBasePinnedForm::DoViewerClose()
{
    if (OnViewerClose)
        OnViewerClose(this);
}

void TCVBasePinnedForm::LoadSettings()
{
    TRegistry reg;
    if (!reg.OpenKey(FRegKey, false))
        return;
    bool pinned = false;
    if (reg.TryReadBool("Pinned", pinned))
        SetPinned(pinned);
    reg.TryReadInteger("Left", FSavedLeft);
    reg.TryReadInteger("Top", FSavedTop);
    int32_t v = 0;
    // Never too small to use, never larger than the largest screen.
    int maxW = kMinSavedSize, maxH = kMinSavedSize;
    for (const QRect& s : AvailableScreenRects()) {
        maxW = std::max(maxW, s.width());
        maxH = std::max(maxH, s.height());
    }
    if (reg.TryReadInteger("Width", v))
        FSavedWidth = std::clamp(v, kMinSavedSize, maxW);
    if (reg.TryReadInteger("Height", v))
        FSavedHeight = std::clamp(v, kMinSavedSize, maxH);
    int32_t x = 0, y = 0;
    if (reg.TryReadInteger("XDiff", x) && reg.TryReadInteger("YDiff", y)) {
        FXDiff = x;
        FYDiff = y;
        FHasOffset = true;
    }
}

void TCVBasePinnedForm::SaveSettings()
{
    TRegistry reg;
    if (!reg.OpenKey(FRegKey, true))
        return;
    // Docked, the place to come back to is where the form last floated.
    const QRect r = isFloating() || !FFloatGeometry.isValid() ? QRect(pos(), size()) : FFloatGeometry;
    reg.WriteBool("Pinned", FPinned);
    reg.WriteInteger("Left", r.left());
    reg.WriteInteger("Top", r.top());
    reg.WriteInteger("Width", r.width());
    reg.WriteInteger("Height", r.height());
    // An offset nothing gave is not stored: the next run takes it from where the form is then.
    if (FHasOffset) {
        reg.WriteInteger("XDiff", FXDiff);
        reg.WriteInteger("YDiff", FYDiff);
    } else {
        reg.DeleteValue("XDiff");
        reg.DeleteValue("YDiff");
    }
    reg.CloseKey();
}

void TCVBasePinnedForm::MoveTo(int X, int Y)
{
    if (FMoving || !isFloating())
        return;
    FMoving = true;
    const QPoint target = ClampWindowPos(QPoint(X, Y), frameGeometry().size(), ScreenRectAt(QPoint(X, Y), AvailableScreenRects()));
    if (target != pos()) {
        FPendingMoves.push_back(target);
        while (FPendingMoves.size() > kMaxPendingMoves)
            FPendingMoves.pop_front();
        move(target);
    }
    FMoving = false;
}

void TCVBasePinnedForm::FollowMainForm()
{
    // Docked (also while the dock site is taking the form, before it has said so) it does not move.
    if (!FPinned || Docked() || !isFloating() || !FMainForm || !PlatformPlacesWindows())
        return;
    if (!FHasOffset) {
        TakeOffsetWhenNone();
        return;
    }
    const QRect main = MainFormRect();
    MoveTo(main.left() + main.width() - (FXDiff + frameGeometry().width()), main.top() - FYDiff);
}

QRect TCVBasePinnedForm::MainFormRect() const
{
    // The main window's own rectangle, without the window manager's frame: it is the same before
    // and after the window is mapped, so an offset taken in one run holds in the next.
    return FMainForm ? FMainForm->geometry() : QRect();
}

void TCVBasePinnedForm::TakeOffset()
{
    if (!FMainForm)
        return;
    const QRect main = MainFormRect();
    const QRect own = frameGeometry();
    FXDiff = (main.left() + main.width()) - (own.left() + own.width());
    FYDiff = main.top() - own.top();
    FHasOffset = true;
}

void TCVBasePinnedForm::TakeOffsetWhenNone()
{
    if (!FHasOffset && FPinned && !Docked() && isFloating() && isVisible())
        TakeOffset();
}

void TCVBasePinnedForm::RememberFloatGeometry()
{
    if (isFloating() && isVisible())
        FFloatGeometry = QRect(pos(), size());
}

void TCVBasePinnedForm::showEvent(QShowEvent* Event)
{
    GuardEvent(this, [this] {
        FollowMainForm();
        KeepAboveMainForm();
    });
    TDockingPanelClient::showEvent(Event);
}

void TCVBasePinnedForm::KeepAboveMainForm()
{
    // Made before the main window had a window of its own, the form may belong to none; floating,
    // it stays above the main window as its tool window.
    if (!isFloating() || !FMainForm)
        return;
    QWindow* own = windowHandle();
    QWindow* main = FMainForm->window()->windowHandle();
    if (own && main && own != main && own->transientParent() != main)
        own->setTransientParent(main);
}

void TCVBasePinnedForm::closeEvent(QCloseEvent* Event)
{
    TDockingPanelClient::closeEvent(Event);
    if (Event->isAccepted())
        GuardEvent(this, [this] { DoViewerClose(); });
}

void TCVBasePinnedForm::moveEvent(QMoveEvent* Event)
{
    TDockingPanelClient::moveEvent(Event);
    if (!isFloating() || FMoving)
        return;
    // A move this form asked for, reported now: the offset stays. Reports of older requests still
    // on their way are dropped with it.
    const auto own = std::find(FPendingMoves.begin(), FPendingMoves.end(), pos());
    if (own != FPendingMoves.end()) {
        FPendingMoves.erase(FPendingMoves.begin(), own + 1);
        RememberFloatGeometry();
        return;
    }
    RememberFloatGeometry();
    if (isVisible())
        TakeOffset();
}

void TCVBasePinnedForm::resizeEvent(QResizeEvent* Event)
{
    TDockingPanelClient::resizeEvent(Event);
    RememberFloatGeometry();
}
