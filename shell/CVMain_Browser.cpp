// The main window's browser windows: creating and wiring them, and the file actions that copy or
// move a picture and tell every child window what changed.
#include "shell/CVMain.h"

#include "browser/CVBrwsrChildWn.h"
#include "browser/FileAction.h"
#include "browser/FileAdmin.h"

#include <QMdiArea>
#include <QPointer>

bool TCanvelloMain::GetActiveBrowserChild(TCVBrowserChildWn*& Child) const
{
    Child = dynamic_cast<TCVBrowserChildWn*>(FMdiArea->activeSubWindow());
    return Child != nullptr;
}

bool TCanvelloMain::OpenBrowser(const std::string& Folder, bool Maximized)
{
    BeginWait();
    bool ok = true;
    try {
        auto* child = new TCVBrowserChildWn(nullptr, Folder, BrowserTreeVisible(), Maximized);
        FMdiArea->addSubWindow(child);
        SetupBrowserChild(child);
        child->show();
    } catch (...) {
        ok = ShowCreateError();
    }
    EndWait();
    return ok;
}

void TCanvelloMain::SetupBrowserChild(TCVBrowserChildWn* Child)
{
    Child->OnChildCloseQuery = [this](TBasicCVChild* Sender, bool& CanClose) { ChildCloseQuery(Sender, CanClose); };
    Child->OnProgressStart = [this](TBasicCVChild* Sender, int Max) { ChildProgressStart(Sender, Max); };
    Child->OnProgressStep = [this](TBasicCVChild* Sender) { ChildProgressStep(Sender); };
    Child->OnProgressEnd = [this](TBasicCVChild* Sender) { ChildProgressEnd(Sender); };
    Child->OnOpenFile = [this](TCVBrowserChildWn*, const std::string& FileName) { OpenPictureFile(FileName); };
    Child->OnContentsChange = [this](TCVBrowserChildWn* Sender) { BrowserContentsChange(Sender); };
    Child->OnCopyFile = [this](TCVBrowserChildWn*, const std::string& FileName, const std::string& SourceDir,
                               const std::string& DestDir) { CopyFileAction(FileName, SourceDir, DestDir); };
    Child->OnMoveFile = [this](TCVBrowserChildWn*, const std::string& FileName, const std::string& SourceDir,
                               const std::string& DestDir) { MoveFileAction(FileName, SourceDir, DestDir); };
    Child->setWindowIcon(windowIcon());
    Child->SetStatusBar(FMainStatusBar);
    UpdateActionsForChild(Child);
}

void TCanvelloMain::BroadcastToChildren(const TFileActionRecord& Record)
{
    // A receiver may close meanwhile: those gone are passed over.
    std::vector<QPointer<TBasicCVChild>> children;
    for (TBasicCVChild* child : Children())
        children.emplace_back(child);
    for (const QPointer<TBasicCVChild>& child : children)
        if (child)
            SendFileAction(child, Record);
}

bool TCanvelloMain::CopyFileAction(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir,
                                   TFileOutcome* Outcome)
{
    if (!ShellCopyFile(FileName, SourceDir, DestDir, true, Outcome))
        return false;
    BroadcastToChildren(TFileActionRecord{faAdded, DestDir, FileName, ""});
    return true;
}

bool TCanvelloMain::MoveFileAction(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir,
                                   TFileOutcome* Outcome)
{
    if (!ShellMoveFile(FileName, SourceDir, DestDir, true, Outcome))
        return false;
    BroadcastToChildren(TFileActionRecord{faRemoved, SourceDir, FileName, ""});
    BroadcastToChildren(TFileActionRecord{faAdded, DestDir, FileName, ""});
    return true;
}
