// The Browse menu and tool bar: commands on the active browser window (refresh, folder tree, sorting,
// opening pictures) and the file commands that copy, move, delete and rename picture files. Every file
// operation that succeeds is reported to every child window, in order, so that browsers stay current.
// A run over several files goes on past a file the user said No for, stops at the first error and
// then says which files were done.
#include "shell/CVMain.h"

#include "browser/CVBrwsrChildWn.h"
#include "browser/FileAction.h"
#include "browser/FileAdmin.h"
#include "browser/RenameFileDlg.h"
#include "browser/RenameFilesDlg.h"
#include "globals/CVGlobal.h"
#include "image/KTGenUtils.h"
#include "platform/SysUtils.h"
#include "shell/UIServices.h"

#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QFileDialog>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <cctype>
#include <functional>
#include <typeinfo>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace {

// The actions that need at least two pictures (sorting) and at least one (working on the selection).
const char* const SortActions[] = {"ActBrwsrSortByName", "ActBrwsrSortByDate", "ActBrwsrSortByType",
                                   "ActBrwsrSortBySize", "ActBrwsrSortAsc",    "ActBrwsrSortDesc"};
const char* const FileActions[] = {"ActBrwsrOpenImage",   "ActBrwsrCopyImage",   "ActBrwsrMoveImage",
                                   "ActBrwsrDeleteImage", "ActBrwsrRenameImage", "ActBrwsrRenameImages"};

// A tool-bar face with a short text, for the commands that have no picture of their own.
QIcon LetterIcon(const QString& Text)
{
    QIcon icon;
    for (int s : {16, 24, 32}) {
        QPixmap pm(s, s);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        QFont f = p.font();
        f.setPixelSize(s * 9 / 16);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(20, 40, 110));
        p.drawText(QRect(0, 0, s, s), Qt::AlignCenter, Text);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}


// Names for a message: at most ten, then how many more.
std::string NameList(const std::vector<std::string>& Names, size_t From, size_t To)
{
    std::string s;
    constexpr size_t kShown = 10;
    for (size_t i = From; i < To && i < From + kShown; ++i)
        s += (i == From ? "" : ", ") + Names[i];
    if (To - From > kShown)
        s += " and " + std::to_string(To - From - kShown) + " more";
    return s;
}

// Tells the user that a run over several files stopped at Failed: which files were done, which not.
// Verb: "copied", "moved", "deleted" or "renamed".
void ReportStoppedBatch(QWidget* Parent, const char* Verb, const std::string& Failed,
                        const std::vector<std::string>& Done, const std::vector<std::string>& NotDone,
                        const std::string& Note = std::string())
{
    std::string text = "Stopped at '" + Failed + "': no further file was " + Verb + ".\n";
    text += Done.empty() ? std::string("No file was ") + Verb + "."
                         : std::string(1, char(std::toupper(Verb[0]))) + (Verb + 1) + ": "
                               + NameList(Done, 0, Done.size()) + ".";
    if (!NotDone.empty())
        text += "\nNot " + std::string(Verb) + ": " + NameList(NotDone, 0, NotDone.size()) + ".";
    UIServices().MessageDlg(Parent, text + Note, mtInformation, mbOK);
}

// Runs Step on each name in order: a file declined (a No, a cancelled folder choice) is skipped, the
// first that fails ends the run. When a run over several files stopped, the user is told which files
// were done and which were not touched (the failure itself was shown by the operation).
bool RunFileBatch(QWidget* Parent, const char* Verb, const std::vector<std::string>& Names,
                  const std::function<TFileOutcome(size_t Index)>& Step)
{
    std::vector<std::string> done;
    for (size_t i = 0; i < Names.size(); ++i) {
        const TFileOutcome r = Step(i);
        if (r == TFileOutcome::Done)
            done.push_back(Names[i]);
        if (r != TFileOutcome::Failed)
            continue;
        if (Names.size() > 1)
            ReportStoppedBatch(Parent, Verb, Names[i], done,
                               std::vector<std::string>(Names.begin() + long(i), Names.end()));
        return false;
    }
    return true;
}

// One rename of a run of renames: Item is the file it belongs to; Last: it gives the file its new name
// (else it parks the file under a free temporary name).
struct TRenameStep {
    size_t Item;
    std::string From, To;
    bool Last;
};

// A name that no file in Dir has, with Ext, for a file parked during a run of renames.
std::string FreeTemporaryName(const std::string& Dir, const std::string& Ext)
{
    for (unsigned n = 0;; ++n) {
        const std::string name = ".canvello-rename-" + std::to_string(::getpid()) + "-" + std::to_string(n) + Ext;
        struct stat St;
        if (::lstat((Dir + name).c_str(), &St) != 0)
            return name;
    }
}

// Orders the renames Old[i] -> New[i] in Dir so that none lands on a file of the same run that has
// still to move: a file whose new name is another's old name waits until that one has moved, and a
// ring of such files (names swapped) is broken by parking one of them under a temporary name first.
// Without this, renumbering files that already carry the template's names would ask to replace one
// of them, and a Yes would lose it.
std::vector<TRenameStep> PlanRenames(const std::vector<std::string>& Old, const std::vector<std::string>& New,
                                     const std::string& Dir)
{
    std::vector<TRenameStep> steps;
    std::unordered_map<std::string, size_t> pending; // the name of each file still to move
    for (size_t i = 0; i < Old.size(); ++i)
        if (Old[i] != New[i])
            pending.emplace(Old[i], i);
    std::vector<std::string> at = Old;
    for (size_t first = 0; first < Old.size(); ++first) {
        if (!pending.count(at[first]) || pending.at(at[first]) != first)
            continue;
        // Each new name is taken by at most one other file: the files waiting form a chain or a ring.
        std::vector<size_t> chain{first};
        bool ring = false;
        for (;;) {
            const auto next = pending.find(New[chain.back()]);
            if (next == pending.end())
                break;
            if (next->second == first) {
                ring = true;
                break;
            }
            chain.push_back(next->second);
        }
        if (ring) {
            const std::string parked = FreeTemporaryName(Dir, ExtractFileExt(Old[first]));
            steps.push_back({first, at[first], parked, false});
            pending.erase(at[first]);
            at[first] = parked;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            steps.push_back({*it, at[*it], New[*it], true});
            pending.erase(at[*it]);
            at[*it] = New[*it];
        }
    }
    return steps;
}

} // namespace

// ---- Actions, menu and tool bar -------------------------------------------------------------------------

void TCanvelloMain::CreateBrowseActions()
{
    QStyle* s = style();
    AddAction("ActBrwsrRefresh", "Refresh", "Refresh browser|Refresh browser")
        ->setIcon(s->standardIcon(QStyle::SP_BrowserReload));
    QAction* tree = AddAction("ActBrwsrShowTV", "Show Directories",
                              "Display directory structure|Display directory structure in browser");
    tree->setIcon(s->standardIcon(QStyle::SP_DirIcon));
    tree->setCheckable(true);
    tree->setChecked(FBrowserTreeVisible);
    AddAction("ActBrwsrSortByName", "Sort by name", "Sort by name|Sort browser files by name")->setIcon(LetterIcon("N"));
    AddAction("ActBrwsrSortByDate", "Sort by date", "Sort by date|Sort browser files by date")->setIcon(LetterIcon("D"));
    AddAction("ActBrwsrSortByType", "Sort by type", "Sort by type|Sort browser files by type")->setIcon(LetterIcon("T"));
    AddAction("ActBrwsrSortBySize", "Sort by size", "Sort by size|Sort browser files by image size")
        ->setIcon(LetterIcon("S"));
    // Ascending and descending: one of the two is checked.
    auto* order = new QActionGroup(this);
    static const char* const orderActs[][3] = {
        {"ActBrwsrSortAsc", "Sort ascending", "Sort Ascending|Sort browser file in ascending order"},
        {"ActBrwsrSortDesc", "Sort descending", "Sort Descending|Sort browser file in descending order"}};
    for (const auto& a : orderActs) {
        QAction* act = AddAction(a[0], a[1], a[2]);
        act->setCheckable(true);
        order->addAction(act);
    }
    Action("ActBrwsrSortAsc")->setIcon(s->standardIcon(QStyle::SP_ArrowUp));
    Action("ActBrwsrSortDesc")->setIcon(s->standardIcon(QStyle::SP_ArrowDown));
    Action("ActBrwsrSortAsc")->setChecked(true);
    AddAction("ActBrwsrOpenImage", "Open picture", "Open selected picture/s in browser")
        ->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
    AddAction("ActBrwsrCopyImage", "Copy picture", nullptr);
    AddAction("ActBrwsrMoveImage", "Move picture", nullptr);
    AddAction("ActBrwsrDeleteImage", "Delete picture", nullptr)->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
    AddAction("ActBrwsrRenameImage", "Rename picture", nullptr);
    AddAction("ActBrwsrRenameImages", "Rename pictures", nullptr);

    // Each browser command works on the active browser window and does nothing without one.
    auto on = [this](const char* Name, std::function<void(TCVBrowserChildWn*, bool Checked)> Handler) {
        connect(Action(Name), &QAction::triggered, this, [this, Handler](bool Checked) {
            GuardEvent(this, [&] {
                TCVBrowserChildWn* browser = nullptr;
                if (GetActiveBrowserChild(browser))
                    Handler(browser, Checked);
            });
        });
    };
    on("ActBrwsrRefresh", [](TCVBrowserChildWn* B, bool) { B->RefreshView(); });
    on("ActBrwsrShowTV", [](TCVBrowserChildWn* B, bool Checked) { B->SetTreeVisible(Checked); });
    const auto ascending = [this] { return Action("ActBrwsrSortAsc")->isChecked(); };
    on("ActBrwsrSortByName", [ascending](TCVBrowserChildWn* B, bool) { B->SortByName(ascending()); });
    on("ActBrwsrSortByDate", [ascending](TCVBrowserChildWn* B, bool) { B->SortByDate(ascending()); });
    on("ActBrwsrSortByType", [ascending](TCVBrowserChildWn* B, bool) { B->SortByType(ascending()); });
    on("ActBrwsrSortBySize", [ascending](TCVBrowserChildWn* B, bool) { B->SortBySize(ascending()); });
    on("ActBrwsrSortAsc", [](TCVBrowserChildWn* B, bool) { B->SetSortAscending(true); });
    on("ActBrwsrSortDesc", [](TCVBrowserChildWn* B, bool) { B->SetSortAscending(false); });
    on("ActBrwsrOpenImage", [this](TCVBrowserChildWn* B, bool) { ActBrwsrOpenImageExecute(B); });
    on("ActBrwsrCopyImage", [this](TCVBrowserChildWn* B, bool) { CopyOrMoveSelected(B, false); });
    on("ActBrwsrMoveImage", [this](TCVBrowserChildWn* B, bool) { CopyOrMoveSelected(B, true); });
    on("ActBrwsrDeleteImage", [this](TCVBrowserChildWn* B, bool) { ActBrwsrDeleteImageExecute(B); });
    on("ActBrwsrRenameImage", [this](TCVBrowserChildWn* B, bool) { ActBrwsrRenameImageExecute(B); });
    on("ActBrwsrRenameImages", [this](TCVBrowserChildWn* B, bool) { ActBrwsrRenameImagesExecute(B); });

    // Select All on a browser window selects every thumbnail (on a picture window: the picture).
    on("ActSelectAll", [](TCVBrowserChildWn* B, bool) { B->SelectAll(); });

    QAction* browse = Action("ActBrowseDir");
    connect(browse, &QAction::triggered, this, [this] { GuardEvent(this, [&] { ActBrowseDirExecute(); }); });
    browse->setEnabled(true);
}

void TCanvelloMain::CreateBrowseMenu()
{
    for (const char* name : {"ActBrwsrRefresh", "ActBrwsrShowTV", "", "ActBrwsrSortByName", "ActBrwsrSortByDate",
                             "ActBrwsrSortByType", "ActBrwsrSortBySize", "", "ActBrwsrSortAsc", "ActBrwsrSortDesc", "",
                             "ActBrwsrOpenImage", "ActBrwsrCopyImage", "ActBrwsrMoveImage", "ActBrwsrDeleteImage",
                             "ActBrwsrRenameImage", "ActBrwsrRenameImages"}) {
        if (*name)
            FBrowseMenu->addAction(Action(name));
        else
            FBrowseMenu->addSeparator();
    }
}

// ---- Enabling -----------------------------------------------------------------------------------------------

void TCanvelloMain::BrowserActionsFor(int Count)
{
    for (const char* name : SortActions)
        Action(name)->setEnabled(Count >= 2);
    for (const char* name : FileActions)
        Action(name)->setEnabled(Count >= 1);
}

void TCanvelloMain::UpdateBrowseActions(TBasicCVChild* Child, bool KindChanged)
{
    auto* browser = dynamic_cast<TCVBrowserChildWn*>(Child);
    BrowserActionsFor(browser ? browser->PictureCount() : -1);
    if (browser)
        Action("ActBrwsrShowTV")->setChecked(browser->GetTreeVisible());
    if (KindChanged)
        for (const char* name : {"ActBrwsrRefresh", "ActBrwsrShowTV"})
            Action(name)->setEnabled(browser != nullptr);
}

void TCanvelloMain::BrowserContentsChange(TCVBrowserChildWn* Sender)
{
    // A browser loading in the background does not decide the commands of the active window.
    TCVBrowserChildWn* active = nullptr;
    if (GetActiveBrowserChild(active) && active == Sender)
        BrowserActionsFor(Sender->PictureCount());
}

// ---- Commands -----------------------------------------------------------------------------------------------

bool TCanvelloMain::ChooseFolder(const std::string& Caption, std::string& Folder)
{
    QFileDialog dialog(this, QString::fromStdString(Caption), QString::fromStdString(Folder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!UIServices().ExecuteDialog(dialog))
        return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return false;
    Folder = chosen.first().toStdString();
    return true;
}

void TCanvelloMain::ActBrowseDirExecute()
{
    // On the active picture's folder; else (and for a picture without a file) the browser starts on
    // the last folder it showed.
    std::string folder;
    if (TCVPicChildWin* pic = ActivePicChild())
        folder = ExtractFileDir(pic->FileName());
    OpenBrowser(folder, false);
}

void TCanvelloMain::ActBrwsrOpenImageExecute(TCVBrowserChildWn* Browser)
{
    // A copy: opening a picture activates its window, which may query the browser again.
    const std::vector<std::string> paths = Browser->GetSelectedPaths();
    for (const std::string& path : paths)
        OpenPictureFile(path);
}

void TCanvelloMain::CopyOrMoveSelected(TCVBrowserChildWn* Browser, bool Move)
{
    // The file actions change the browser's selection: the names and the folder are taken first.
    const std::vector<std::string> names = Browser->GetSelectedNames();
    const std::string folder = Browser->Directory();
    const char* verb = Move ? "move" : "copy";
    RunFileBatch(this, Move ? "moved" : "copied", names, [&](size_t i) {
        std::string dest = folder;
        if (!ChooseFolder(ChooseDirectoryCaption(verb, names[i]), dest))
            return TFileOutcome::Declined; // this file only; the next one asks again
        AddTrailingBackslash(dest);
        TFileOutcome outcome = TFileOutcome::Failed;
        if (Move)
            MoveFileAction(names[i], folder, dest, &outcome);
        else
            CopyFileAction(names[i], folder, dest, &outcome);
        return outcome;
    });
}

void TCanvelloMain::ActBrwsrDeleteImageExecute(TCVBrowserChildWn* Browser)
{
    const std::vector<std::string> names = Browser->GetSelectedNames();
    const std::string folder = Browser->Directory();
    RunFileBatch(this, "deleted", names, [&](size_t i) {
        TFileOutcome outcome = TFileOutcome::Failed;
        DeleteFileAction(names[i], folder, &outcome);
        return outcome;
    });
}

void TCanvelloMain::ActBrwsrRenameImageExecute(TCVBrowserChildWn* Browser)
{
    const std::vector<std::string> names = Browser->GetSelectedNames();
    if (names.empty())
        return;
    const std::string folder = Browser->Directory();
    TRenameFileDialog dialog(this, names.front());
    if (UIServices().ExecuteDialog(dialog))
        RenameFileAction(names.front(), dialog.GetNewName(), folder);
}

void TCanvelloMain::ActBrwsrRenameImagesExecute(TCVBrowserChildWn* Browser)
{
    const std::vector<std::string> names = Browser->GetSelectedNames();
    if (names.empty())
        return;
    const std::string folder = Browser->Directory();
    TRenameFilesDialog dialog(this, folder);
    if (!UIServices().ExecuteDialog(dialog))
        return;
    // The template is copied as typed; only its index mark is replaced (never used as a format).
    const std::vector<std::string> newNames = TemplateFileNames(dialog.GetNameTemplate(), names);
    RenameFiles(names, newNames, folder);
}

bool TCanvelloMain::RenameFiles(const std::vector<std::string>& OldNames, const std::vector<std::string>& NewNames,
                                const std::string& Dir)
{
    std::string dir = Dir;
    AddTrailingBackslash(dir);
    std::vector<std::string> at = OldNames; // the name each file has now
    std::vector<bool> done(OldNames.size(), false);
    std::vector<std::string> doneNames;
    for (const TRenameStep& step : PlanRenames(OldNames, NewNames, dir)) {
        if (RenameFileAction(step.From, step.To, dir)) {
            at[step.Item] = step.To;
            if (step.Last) {
                done[step.Item] = true;
                doneNames.push_back(OldNames[step.Item]);
            }
            continue;
        }
        std::vector<std::string> notDone;
        std::string note;
        for (size_t i = 0; i < OldNames.size(); ++i) {
            if (done[i])
                continue;
            notDone.push_back(OldNames[i]);
            // A file parked under a temporary name goes back to its own name when that is free.
            if (at[i] != OldNames[i] && !RenameFileAction(at[i], OldNames[i], dir))
                note += "\n'" + OldNames[i] + "' is now named '" + at[i] + "'.";
        }
        if (OldNames.size() > 1)
            ReportStoppedBatch(this, "renamed", OldNames[step.Item], doneNames, notDone, note);
        return false;
    }
    return true;
}

// ---- File actions -------------------------------------------------------------------------------------------

bool TCanvelloMain::RenameFileAction(const std::string& OldName, const std::string& NewName, const std::string& Dir)
{
    // Names compare exactly: a new name that differs only in letter case is a real rename.
    if (OldName == NewName)
        return true;
    // The operation refuses names that cannot be a file's (longer than 255 bytes among them): never cut.
    if (!ShellRenameFile(OldName, NewName, Dir, true))
        return false;
    std::string dir = Dir;
    AddTrailingBackslash(dir);
    FollowMovedFile(dir + OldName, dir + NewName);
    BroadcastToChildren(TFileActionRecord{faNameChanged, dir, OldName, NewName});
    return true;
}

bool TCanvelloMain::DeleteFileAction(const std::string& FileName, const std::string& Dir, TFileOutcome* Outcome)
{
    std::string dir = Dir;
    AddTrailingBackslash(dir);
    // To the trash only; a file that cannot go there stays (the operation says so).
    if (!ShellDeleteFile(dir + FileName, true, Outcome))
        return false;
    FileGone(dir + FileName);
    BroadcastToChildren(TFileActionRecord{faRemoved, dir, FileName, ""});
    return true;
}

// ---- Pictures dragged from a browser onto the frame -----------------------------------------------------------

TCVBrowserChildWn* TCanvelloMain::DragFromBrowser(QObject* Source) const
{
    // Only a control of a browser window itself (its exact class, not a descendant) is accepted.
    for (auto* w = qobject_cast<QWidget*>(Source); w; w = w->parentWidget())
        if (typeid(*w) == typeid(TCVBrowserChildWn))
            return static_cast<TCVBrowserChildWn*>(w);
    return nullptr;
}
