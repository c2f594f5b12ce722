// The main window's browser windows: creating and wiring them, and the file actions that copy or
// move a picture and tell every child window what changed.
#include "shell/CVMain.h"

#include "browser/CVBrwsrChildWn.h"
#include "browser/FileAction.h"
#include "browser/FileAdmin.h"
#include "controls/RFPicPopupMenu.h"
#include "image/KTGenUtils.h"
#include "picwin/CVPicChildWn.h"

#include <QMdiArea>
#include <QPointer>

#include <filesystem>
#include <system_error>

namespace {

// A path as it names a file, for comparing: absolute, without "." and ".." parts or doubled '/'.
std::string NormalPath(const std::string& Path)
{
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(Path, ec);
    if (ec)
        p = Path;
    return p.lexically_normal().string();
}

// Dir + Name with one '/' between them.
std::string InFolder(std::string Dir, const std::string& Name)
{
    AddTrailingBackslash(Dir);
    return Dir + Name;
}

} // namespace

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

std::vector<TCVPicChildWin*> TCanvelloMain::PicChildrenOfFile(const std::string& Path) const
{
    const std::string path = NormalPath(Path);
    std::vector<TCVPicChildWin*> found;
    for (TBasicCVChild* child : Children())
        if (auto* pic = dynamic_cast<TCVPicChildWin*>(child);
            pic && !pic->FileName().empty() && NormalPath(pic->FileName()) == path)
            found.push_back(pic);
    return found;
}

void TCanvelloMain::FollowMovedFile(const std::string& From, const std::string& To)
{
    const std::vector<TCVPicChildWin*> followers = PicChildrenOfFile(From);
    FileGone(To);
    for (TCVPicChildWin* pic : followers)
        pic->FileRenamed(To);
    // The recent-files entry follows too, keeping its place (an entry of the name it replaced goes).
    const std::string from = NormalPath(From), to = NormalPath(To);
    TRecentFilesPicPopupMenu* recent = FRecentFilesPopupMenu;
    for (int i = 0; i < recent->Count(); ++i)
        if (NormalPath(recent->GetFileName(i)) == from) {
            TRecentFileItem* item = recent->Items(i);
            for (int j = recent->Count() - 1; j >= 0; --j)
                if (recent->Items(j) != item && NormalPath(recent->GetFileName(j)) == to)
                    recent->DeleteItem(j);
            for (int j = 0; j < recent->Count(); ++j)
                if (recent->Items(j) == item)
                    recent->SetFileName(j, To);
            break;
        }
}

void TCanvelloMain::FileGone(const std::string& Path)
{
    for (TCVPicChildWin* pic : PicChildrenOfFile(Path))
        pic->FileLost();
}

bool TCanvelloMain::CopyFileAction(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir,
                                   TFileOutcome* Outcome)
{
    if (!ShellCopyFile(FileName, SourceDir, DestDir, true, Outcome))
        return false;
    // A window showing a file the copy replaced has lost it.
    FileGone(InFolder(DestDir, FileName));
    BroadcastToChildren(TFileActionRecord{faAdded, DestDir, FileName, ""});
    return true;
}

bool TCanvelloMain::MoveFileAction(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir,
                                   TFileOutcome* Outcome)
{
    if (!ShellMoveFile(FileName, SourceDir, DestDir, true, Outcome))
        return false;
    FollowMovedFile(InFolder(SourceDir, FileName), InFolder(DestDir, FileName));
    BroadcastToChildren(TFileActionRecord{faRemoved, SourceDir, FileName, ""});
    BroadcastToChildren(TFileActionRecord{faAdded, DestDir, FileName, ""});
    return true;
}
