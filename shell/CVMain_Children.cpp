// The main window's children: creating and wiring picture windows, numbering new pictures, relaying
// their status and progress, the close question, the Window menu's arrangements, the clipboard's
// notices, dropped files and the command line at first show.
#include "shell/CVMain.h"

#include "controls/RFPicPopupMenu.h"
#include "controls/XPanels.h"
#include "controls/XStatusbar.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "shell/CVClipbrd.h"
#include "shell/CbViewer.h"
#include "shell/CVSettings.h"
#include "shell/DockingPanel.h"
#include "shell/Viewer.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QStyle>
#include <QScrollBar>
#include <QUrl>
#include <QWindow>

namespace {

// The local files among dropped data, in order.
std::vector<std::string> DroppedFiles(const QMimeData* Data)
{
    std::vector<std::string> files;
    if (Data && Data->hasUrls())
        for (const QUrl& url : Data->urls())
            if (url.isLocalFile())
                files.push_back(url.toLocalFile().toStdString());
    return files;
}

} // namespace

// ---- Finding children ---------------------------------------------------------------------------------

std::vector<TBasicCVChild*> TCanvelloMain::Children() const
{
    std::vector<TBasicCVChild*> children;
    for (QMdiSubWindow* w : FMdiArea->subWindowList())
        if (auto* child = dynamic_cast<TBasicCVChild*>(w))
            children.push_back(child);
    return children;
}

TCVPicChildWin* TCanvelloMain::ActivePicChild() const
{
    return dynamic_cast<TCVPicChildWin*>(FMdiArea->activeSubWindow());
}

bool TCanvelloMain::GetActivePicChild(TCVPicChildWin*& Child) const
{
    Child = ActivePicChild();
    return Child != nullptr;
}

TCVPicChildWin* TCanvelloMain::FindPicChildByFileName(const std::string& Name) const
{
    for (TBasicCVChild* child : Children())
        if (auto* pic = dynamic_cast<TCVPicChildWin*>(child); pic && pic->FileName() == Name)
            return pic;
    return nullptr;
}

// ---- Creating children -----------------------------------------------------------------------------------

void TCanvelloMain::BeginWait()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TCanvelloMain::EndWait()
{
    QGuiApplication::restoreOverrideCursor();
}

bool TCanvelloMain::ShowCreateError()
{
    try {
        throw;
    } catch (const std::exception& E) {
        UIServices().MessageDlg(this, E.what(), mtError, mbOK);
    } catch (...) {
        UIServices().MessageDlg(this, "Unknown error", mtError, mbOK);
    }
    return false;
}

void TCanvelloMain::AddPicChild(TCVPicChildWin* Child)
{
    FMdiArea->addSubWindow(Child);
    Child->show();
    SetupPicChild(Child);
    // The area placed the window just now: fit it again from its real place.
    Child->BestFit();
}

bool TCanvelloMain::NewPicture(int Width, int Height, TColor Colour)
{
    BeginWait();
    bool ok = true;
    try {
        ++FNewPictureCount;
        AddPicChild(new TCVNewPicChildWin(nullptr, this, "New Picture #" + std::to_string(FNewPictureCount), Width,
                                          Height, Colour));
    } catch (...) {
        ok = ShowCreateError();
    }
    EndWait();
    return ok;
}

bool TCanvelloMain::NewPictureFromBitmap(TBitmap* Bitmap)
{
    BeginWait();
    bool ok = true;
    try {
        ++FNewPictureCount;
        AddPicChild(new TCVCopyPicChildWin(nullptr, this, "New Picture #" + std::to_string(FNewPictureCount), Bitmap));
    } catch (...) {
        ok = ShowCreateError();
    }
    EndWait();
    return ok;
}

bool TCanvelloMain::OpenPictureFile(const std::string& FileName)
{
    BeginWait();
    bool ok = true;
    try {
        if (TCVPicChildWin* open = FindPicChildByFileName(FileName)) {
            if (open->isMinimized())
                open->showNormal();
            FMdiArea->setActiveSubWindow(open);
        } else {
            AddPicChild(new TCVFilePicChildWin(nullptr, this, FileName));
        }
    } catch (...) {
        ok = ShowCreateError();
    }
    EndWait();
    // A file that cannot be opened leaves the recent list.
    if (ok)
        FRecentFilesPopupMenu->AddFile(FileName);
    else
        FRecentFilesPopupMenu->DeleteFile(FileName);
    return ok;
}

void TCanvelloMain::SetupPicChild(TCVPicChildWin* Child)
{
    Child->OnChildCloseQuery = [this](TBasicCVChild* Sender, bool& CanClose) { ChildCloseQuery(Sender, CanClose); };
    Child->OnProgressStart = [this](TBasicCVChild* Sender, int Max) { ChildProgressStart(Sender, Max); };
    Child->OnProgressStep = [this](TBasicCVChild* Sender) { ChildProgressStep(Sender); };
    Child->OnProgressEnd = [this](TBasicCVChild* Sender) { ChildProgressEnd(Sender); };
    Child->OnPictureChange = [this](TCVPicChildWin* Sender, TPictureChanges Flags) { PictureChanged(Sender, Flags); };
    Child->OnUndoCountChange = [this](TCVPicChildWin* Sender, int Count) { ChildUndoCountChange(Sender, Count); };
    Child->setWindowIcon(windowIcon());
    Child->SetStatusBar(FMainStatusBar);
    Child->PictureScrollBox().setCursor(ToolCursor(CurrentCursor));
    Child->PictureScrollBox().SetShowZoomGrid(Action("ActShowHideZoomGrid")->isChecked());
    UpdateViewer(Child, false);
    // A window that goes (with or without its close question) takes its picture out of the viewer.
    connect(Child, &QObject::destroyed, this, [this, picture = &Child->Picture()] {
        if (FViewer && FViewer->Picture() == picture)
            FViewer->Clear(true);
    });
    FZoomCombo->setCurrentIndex(Child->ZoomFactor() - 1);
    UpdateActionsForChild(Child);
}

// ---- Child events ---------------------------------------------------------------------------------------

void TCanvelloMain::ChildActivated(QMdiSubWindow* Window)
{
    auto* child = dynamic_cast<TBasicCVChild*>(Window);
    auto* pic = dynamic_cast<TCVPicChildWin*>(child);
    UpdateViewer(pic, false);
    if (pic)
        FZoomCombo->setCurrentIndex(pic->ZoomFactor() - 1);
    UpdateActionsForChild(child);
}

void TCanvelloMain::ChildCloseQuery(TBasicCVChild* Sender, bool& CanClose)
{
    auto* pic = dynamic_cast<TCVPicChildWin*>(Sender);
    if (pic && pic->Modified() && !FClosingAll) {
        const TModalResult answer = UIServices().MessageDlg(this, Format(SSaveChangesTo, pic->DisplayName()),
                                                            mtConfirmation, mbYes | mbNo | mbCancel);
        if (answer == mrCancel)
            CanClose = false;
        else if (answer == mrYes)
            // A save that fails or is cancelled keeps the window and its picture.
            CanClose = SavePicture(pic, false);
    }
    if (CanClose && ViewerShown())
        FViewer->Clear(true);
    if (CanClose && FMdiArea->subWindowList().size() <= 1) {
        UpdateActionsForChild(nullptr);
        ClearStatusPanels();
        FNewPictureCount = 0;
    }
}

void TCanvelloMain::PictureChanged(TCVPicChildWin* Sender, TPictureChanges Flags)
{
    if (Flags & pcSelectionNew)
        SetCropEnabled(true);
    else if (Flags & pcSelectionRemoved)
        SetCropEnabled(false);
    if (Flags & pcZoom)
        FZoomCombo->setCurrentIndex(Sender->ZoomFactor() - 1);
    // The viewer follows the active window only (the selection it asks for when it draws).
    if (!ViewerShown() || Sender != ActivePicChild())
        return;
    if (Flags & pcPictureSize) {
        FViewer->LayoutViewBox();
        FViewer->SetViewRect(Sender->PictureScrollBox().VisibleRect());
    } else if (Flags & (pcView | pcZoom | pcWindowSize)) {
        FViewer->SetViewRect(Sender->PictureScrollBox().VisibleRect());
    } else {
        FViewer->RenderView();
    }
}

void TCanvelloMain::ChildUndoCountChange(TCVPicChildWin*, int Count)
{
    Action("ActUndo")->setEnabled(Count >= 1);
}

void TCanvelloMain::ChildProgressStart(TBasicCVChild*, int Max)
{
    TXStatusPanel* panel = FMainStatusBar->Panels(2);
    panel->ProgressBarOptions().SetPosition(0);
    panel->ProgressBarOptions().SetMax(Max);
    panel->SetStyle(xsProgressBar);
}

void TCanvelloMain::ChildProgressStep(TBasicCVChild*)
{
    FMainStatusBar->Panels(2)->StepIt();
}

void TCanvelloMain::ChildProgressEnd(TBasicCVChild*)
{
    FMainStatusBar->Panels(2)->SetStyle(xsText);
}

void TCanvelloMain::ClearStatusPanels()
{
    for (int i = 0; i < FMainStatusBar->PanelCount(); ++i)
        FMainStatusBar->Panels(i)->SetText("");
}

void TCanvelloMain::MainStatusBarResize()
{
    FMainStatusBar->Panels(0)->SetWidth(std::max(50, FMainStatusBar->width() - 480));
    FMainStatusBar->Panels(1)->SetWidth(180);
    FMainStatusBar->Panels(2)->SetWidth(200);
}

bool TCanvelloMain::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FMainStatusBar && Event->type() == QEvent::Resize)
        MainStatusBarResize();
    return QMainWindow::eventFilter(Watched, Event);
}

// ---- What picture windows ask ---------------------------------------------------------------------------

void TCanvelloMain::GetMaxChildClientSize(int& Width, int& Height)
{
    // Child geometry is given in the area's viewport, which already leaves out the area's frame.
    QWidget* viewport = FMdiArea->viewport();
    Width = viewport->width();
    Height = viewport->height();
    if (FMdiArea->verticalScrollBar()->isVisible())
        Width -= SM_CXVSCROLL;
    if (FMdiArea->horizontalScrollBar()->isVisible())
        Height -= SM_CYHSCROLL;
}

bool TCanvelloMain::IsSelectionTool()
{
    return CurrentTool >= ctSelectRect && CurrentTool <= ctMagicWand;
}

// ---- Window arrangements -----------------------------------------------------------------------------------

void TCanvelloMain::ArrangeChildren(TWindowArrangement How)
{
    // Cascading goes up the stack, so that the front window stays in front and every title shows;
    // tiles follow the order of the Window menu.
    const QList<QMdiSubWindow*> order =
        FMdiArea->subWindowList(How == waCascade ? QMdiArea::StackingOrder : QMdiArea::CreationOrder);
    std::vector<QPointer<QMdiSubWindow>> windows;
    for (QMdiSubWindow* w : order)
        if (w->isVisible() || w->isMinimized())
            windows.emplace_back(w);
    if (How != waArrangeIcons)
        for (QMdiSubWindow* w : windows)
            if (w->isMaximized())
                w->showNormal();
    // The height of a title bar: the band above a normal window's contents.
    int title = 0;
    for (QMdiSubWindow* w : windows)
        if (w && !w->isMinimized()) {
            title = w->contentsMargins().top();
            break;
        }
    if (title <= 0)
        title = FMdiArea->style()->pixelMetric(QStyle::PM_TitleBarHeight);
    std::vector<TArrangedWindow> info;
    std::vector<QMdiSubWindow*> placed;
    for (QMdiSubWindow* w : windows) {
        if (!w)
            continue;
        // Usable: the title bar whole (its buttons and some of the caption) and some of the picture.
        const QSize usable = w->minimumSizeHint().expandedTo(w->minimumSize()).expandedTo(QSize(4 * title, 3 * title));
        info.push_back({w->geometry(), w->isMinimized(), usable});
        placed.push_back(w);
    }
    const std::vector<QRect> geometry = ArrangeWindows(How, info, FMdiArea->viewport()->size(), title);
    for (size_t i = 0; i < placed.size(); ++i)
        if (placed[i]->geometry() != geometry[i])
            placed[i]->setGeometry(geometry[i]);
}

void TCanvelloMain::ActivateChild(QMdiSubWindow* Window)
{
    if (!Window)
        return;
    if (Window->isMinimized())
        Window->showNormal();
    FMdiArea->setActiveSubWindow(Window);
}

// ---- Frame events ---------------------------------------------------------------------------------------

bool TCanvelloMain::event(QEvent* Event)
{
    if (Event->type() == TCVMessageEvent::EventType(WM_CLIPBOARD_CHANGED)) {
        GuardEvent(this, [this] { UpdatePasteActions(); });
        return true;
    }
    const bool handled = QMainWindow::event(Event);
    switch (Event->type()) {
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::ThemeChange:
    case QEvent::ApplicationFontChange:
    case QEvent::ApplicationPaletteChange:
        GuardEvent(this, [this] { SettingChanged(); });
        break;
    default: break;
    }
    return handled;
}

void TCanvelloMain::SettingChanged()
{
    // The desktop's look changed: title bars and frames may have other sizes now.
    ReadCaptionMetrics();
    if (!FMdiArea)
        return;
    const QList<QMdiSubWindow*> windows = FMdiArea->subWindowList();
    for (auto w = windows.rbegin(); w != windows.rend(); ++w)
        if (auto* pic = dynamic_cast<TCVPicChildWin*>(*w))
            pic->PaintExtraBtn();
}

void TCanvelloMain::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (FShown)
        return;
    FShown = true;
    GuardEvent(this, [this] { FormShow(); });
}

namespace {

// Raises some windows once, at the first expose of a window, then removes itself.
class TRaiseOnExpose : public QObject {
public:
    TRaiseOnExpose(QWindow* Watched, std::vector<QPointer<QWidget>> Windows)
        : QObject(Watched), FWindows(std::move(Windows))
    {
        Watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Expose && static_cast<QWindow*>(Watched)->isExposed()) {
            for (const QPointer<QWidget>& w : FWindows)
                if (w && w->isVisible())
                    w->raise();
            deleteLater();
        }
        return false;
    }

private:
    std::vector<QPointer<QWidget>> FWindows;
};

void RaiseOnFirstExpose(QWindow* Watched, std::vector<QPointer<QWidget>> Windows)
{
    new TRaiseOnExpose(Watched, std::move(Windows));
}

} // namespace

void TCanvelloMain::FormShow()
{
    const bool HadFiles = AppParams.HasOption(aoFiles);
    if (AppParams.HasOption(aoFiles)) {
        for (int i = 0; i < AppParams.FileCount(); ++i)
            OpenPictureFile(AppParams.GetFile(i));
        AppParams.Exclude(aoFiles);
    }
    // The folder of the command line opens in a browser window, maximized unless pictures came too.
    if (AppParams.HasOption(aoDirectory)) {
        OpenBrowser(AppParams.StartDir, !HadFiles);
        AppParams.Exclude(aoDirectory);
    }
    // The viewers open at the last close come back.
    if (ViewerWasVisible) {
        ViewerWasVisible = false;
        Action("ActViewerStartStop")->setChecked(true);
        ShowViewer(true);
    }
    if (CbViewerWasVisible) {
        CbViewerWasVisible = false;
        Action("ActCbViewerStartStop")->setChecked(true);
        ShowCbViewer(true);
    }
    // Floating viewers shown before the window system has mapped the frame end up beneath it:
    // raise them again once the frame is first on the screen.
    if ((ViewerShown() || CbViewerShown()) && windowHandle())
        RaiseOnFirstExpose(windowHandle(), {QPointer<QWidget>(FViewer), QPointer<QWidget>(FCbViewer)});
    // The recent files go between "&Open" and "Browse...".
    const QList<QAction*> items = FFileMenu->actions();
    FFileMenu->insertMenu(items.size() > 2 ? items[2] : nullptr, FRecentFilesPopupMenu);
}

void TCanvelloMain::closeEvent(QCloseEvent* Event)
{
    Event->ignore();
    GuardEvent(this, [&] {
        // Every modified picture in turn; the first Cancel (or failed save) keeps everything open. A
        // question runs an event loop in which other windows may close and be freed: those are
        // passed over.
        std::vector<QPointer<TBasicCVChild>> children;
        for (TBasicCVChild* child : Children())
            children.emplace_back(child);
        for (const QPointer<TBasicCVChild>& child : children) {
            if (!child)
                continue;
            bool canClose = true;
            ChildCloseQuery(child, canClose);
            if (!canClose)
                return;
        }
        FClosingAll = true;
        FormClose();
        Event->accept();
    });
}

void TCanvelloMain::FormClose()
{
    // The names go to the settings only when the thumbnail file could not be written.
    SaveSettings(!FRecentFilesPopupMenu->SaveToFile());
    FSideBarDockingPanel->SaveDockLayout(DockLayoutFilePath());
}

void TCanvelloMain::dragEnterEvent(QDragEnterEvent* Event)
{
    if (DragFromBrowser(Event->source())) {
        Event->acceptProposedAction();
        return;
    }
    if (!DroppedFiles(Event->mimeData()).empty())
        Event->acceptProposedAction();
}

void TCanvelloMain::dropEvent(QDropEvent* Event)
{
    // Thumbnails dragged from a browser window open their pictures.
    if (TCVBrowserChildWn* browser = DragFromBrowser(Event->source())) {
        Event->acceptProposedAction();
        GuardEvent(this, [&] { ActBrwsrOpenImageExecute(browser); });
        return;
    }
    const std::vector<std::string> files = DroppedFiles(Event->mimeData());
    if (files.empty())
        return;
    Event->acceptProposedAction();
    // Every dropped picture opens; a dropped folder opens in a browser window.
    GuardEvent(this, [&] {
        for (const std::string& file : files) {
            if (DirectoryExists(file))
                OpenBrowser(file, false);
            else
                OpenPictureFile(file);
        }
    });
}
