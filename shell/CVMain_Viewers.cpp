// The main window's two viewers: creating them in the side panel's dock site, their commands, feeding
// the picture viewer from the active picture window, pasting from the clipboard viewer, and keeping
// pinned viewers beside the frame as it moves.
#include "shell/CVMain.h"

#include "controls/XPanels.h"
#include "globals/CVGlobal.h"
#include "image/BitmapUtils.h"
#include "shell/CVSettings.h"
#include "shell/CbViewer.h"
#include "shell/DockingPanel.h"
#include "shell/Viewer.h"

#include <QAction>
#include <QPointer>

namespace {

// The side panel's width at design, and with a viewer docked in it.
constexpr int kSidePanelWidth = 89;
constexpr int kSidePanelDockedWidth = 89 + 140;

void SetCommandHint(QAction* Action, const QString& Caption, bool Shown)
{
    const QString text = QString("%1 the %2").arg(Shown ? "Hide" : "Display", Caption);
    Action->setToolTip(Caption);
    Action->setStatusTip(text);
}

} // namespace

void TCanvelloMain::CreatePinnedViewers()
{
    FViewer = new TViewerForm(FSideBarDockingPanel, kViewerKey, this);
    FViewer->OnViewerClose = [this](TCVBasePinnedForm*) { ViewerClosed(); };
    FViewer->OnViewPosition = [this](TViewerForm*, int X, int Y) { ViewerPosition(X, Y); };
    FCbViewer = new TCbViewerForm(FSideBarDockingPanel, kCbViewerKey, this);
    FCbViewer->OnPasteImage = [this](TCbViewerForm*, TBitmap* Bitmap, bool AsNew, TColor Tag) {
        CbViewerPasteImage(Bitmap, AsNew, Tag);
    };
    FCbViewer->OnViewerClose = [this](TCVBasePinnedForm*) { CbViewerClosed(); };
    FSideBarDockingPanel->OnDockChange = [this](TDockingPanel*) { DockChanged(); };

    QAction* viewer = Action("ActViewerStartStop");
    QAction* cbViewer = Action("ActCbViewerStartStop");
    connect(viewer, &QAction::triggered, this, [this, viewer] { GuardEvent(this, [&] { ShowViewer(viewer->isChecked()); }); });
    connect(cbViewer, &QAction::triggered, this,
            [this, cbViewer] { GuardEvent(this, [&] { ShowCbViewer(cbViewer->isChecked()); }); });
    for (QAction* a : {viewer, cbViewer})
        a->setEnabled(true);
    SetCommandHint(viewer, "Viewer", false);
    SetCommandHint(cbViewer, "Clipboard Viewer", false);
}

void TCanvelloMain::DestroyPinnedViewers()
{
    delete FViewer;
    FViewer = nullptr;
    delete FCbViewer;
    FCbViewer = nullptr;
}

bool TCanvelloMain::ViewerShown() const
{
    return FViewer && !FViewer->isHidden();
}

bool TCanvelloMain::CbViewerShown() const
{
    return FCbViewer && !FCbViewer->isHidden();
}

void TCanvelloMain::ShowViewer(bool Show)
{
    if (!FViewer)
        return;
    if (Show) {
        SetCommandHint(Action("ActViewerStartStop"), "Viewer", true);
        UpdateViewer(ActivePicChild(), true);
        FViewer->show();
        FViewer->raise();
        DockChanged();
    } else {
        FViewer->close();
    }
}

void TCanvelloMain::ShowCbViewer(bool Show)
{
    if (!FCbViewer)
        return;
    if (Show) {
        SetCommandHint(Action("ActCbViewerStartStop"), "Clipboard Viewer", true);
        FCbViewer->show();
        FCbViewer->raise();
        DockChanged();
    } else {
        FCbViewer->close();
    }
}

void TCanvelloMain::ViewerClosed()
{
    QAction* a = Action("ActViewerStartStop");
    a->setChecked(false);
    SetCommandHint(a, "Viewer", false);
    // The form hides once its close is through.
    QMetaObject::invokeMethod(this, [this] { DockChanged(); }, Qt::QueuedConnection);
}

void TCanvelloMain::CbViewerClosed()
{
    QAction* a = Action("ActCbViewerStartStop");
    a->setChecked(false);
    SetCommandHint(a, "Clipboard Viewer", false);
    QMetaObject::invokeMethod(this, [this] { DockChanged(); }, Qt::QueuedConnection);
}

void TCanvelloMain::ViewerPosition(int X, int Y)
{
    if (TCVPicChildWin* pic = ActivePicChild())
        pic->ScrollTo(X, Y);
}

void TCanvelloMain::CbViewerPasteImage(TBitmap* Bitmap, bool AsNew, TColor Tag)
{
    if (!Bitmap)
        return;
    TCVPicChildWin* pic = ActivePicChild();
    if (!AsNew && pic) {
        if (pic->PasteBitmap(Bitmap, Tag))
            PressSelectRect();
        return;
    }
    // The viewer's picture stays as it is; the new window gets a copy.
    TBitmap copy;
    CopyBitmap(*Bitmap, copy);
    PasteAsNewPicture(&copy, Tag);
}

void TCanvelloMain::UpdateViewer(TCVPicChildWin* Child, bool Force)
{
    if (!FViewer || (!Force && !ViewerShown()))
        return;
    if (!Child) {
        FViewer->Clear(true);
        return;
    }
    FViewer->BeginUpdate();
    FViewer->SetPicture(&Child->Picture());
    // The selection is asked for at each drawing: it comes and goes with the window's work.
    const QPointer<TCVPicChildWin> source(Child);
    FViewer->SetSelection([source]() -> TPictureSelection* { return source ? source->Selection() : nullptr; });
    FViewer->SetViewRect(Child->PictureScrollBox().VisibleRect());
    FViewer->EndUpdate();
}

void TCanvelloMain::UpdatePinnedWindows()
{
    for (TCVBasePinnedForm* form : {static_cast<TCVBasePinnedForm*>(FViewer), static_cast<TCVBasePinnedForm*>(FCbViewer)})
        if (form && form->isVisible())
            form->FollowMainForm();
}

void TCanvelloMain::DockChanged()
{
    // A docked viewer needs room beside the pictures.
    const int width = FSideBarDockingPanel->HasDockedClients() ? kSidePanelDockedWidth : kSidePanelWidth;
    FSideBarPanel->SetExpandedSize(width);
    if (FSideBarPanel->Expanded())
        FSideBarPanel->setFixedWidth(width);
}

void TCanvelloMain::moveEvent(QMoveEvent* Event)
{
    QMainWindow::moveEvent(Event);
    GuardEvent(this, [this] { UpdatePinnedWindows(); });
}

void TCanvelloMain::resizeEvent(QResizeEvent* Event)
{
    QMainWindow::resizeEvent(Event);
    GuardEvent(this, [this] { UpdatePinnedWindows(); });
}
