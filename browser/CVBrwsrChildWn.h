#pragma once
// The picture browser window: a folder tree with the recent-folders combo box below it on the left,
// the folder's thumbnails in the multi-selection grid on the right, filled from the picture database
// (in steps, with progress in the main window's status bar, so that the window stays usable). It
// reports the current picture in the status bar, opens pictures on double click, reorders
// thumbnails by dragging inside the grid, offers "Copy here" / "Move here" when thumbnails are
// dropped on a folder of the tree, and keeps its list current when the main window reports file
// operations (TFileActionEvent). Folder and file names compare exactly.
#include "browser/BrowserPicDB.h"
#include "browser/FileAction.h"
#include "picwin/CVChildClasses.h"
#include "platform/Types.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QFrame;
class QMenu;
class QSplitter;
class TAdvSelectDrawGrid;
class TAdvancedComboBox;
class TCustomDirTreeView;
class TDirTreeNode;
class TDirTreeView;

// Settings keys and texts of the browser window.
inline constexpr const char* SBrowserKey = "software\\Brenick_Labs\\Canvello_New\\Picture_Browser";
inline constexpr const char* SRecentDirsKey = "software\\Brenick_Labs\\Canvello_New\\Picture_Browser\\Recent_Dirs";
inline constexpr const char* SBrowsingCaption = "Browsing %s";
inline constexpr const char* SCanNotDisplayImage = "Can not display image.";
inline constexpr const char* SErrorSortingData = "Error Sorting Data.";
inline constexpr const char* SDoesNotExist = " does not exist.";
inline constexpr const char* SBrowserFileTypes = "bmp,jpg,jpeg,gif";
inline constexpr int kMaxRecentDirs = 5;

class TCVBrowserChildWn : public TBasicCVChild {
public:
    // Directory: the folder to show first (empty: the first recent folder, else the current one).
    TCVBrowserChildWn(QWidget* AOwner, const std::string& Directory, bool ShowTree, bool Maximized);
    ~TCVBrowserChildWn() override;

    // Open this picture file.
    std::function<void(TCVBrowserChildWn* Sender, const std::string& FileName)> OnOpenFile;
    // The set of pictures changed.
    std::function<void(TCVBrowserChildWn* Sender)> OnContentsChange;
    // Copy or move a picture to another folder (thumbnails dropped on the tree).
    std::function<void(TCVBrowserChildWn* Sender, const std::string& FileName, const std::string& SourceDir,
                       const std::string& DestDir)>
        OnCopyFile;
    std::function<void(TCVBrowserChildWn* Sender, const std::string& FileName, const std::string& SourceDir,
                       const std::string& DestDir)>
        OnMoveFile;

    // Shows Dir (a trailing '/' is added); the folder already shown is not loaded again.
    void ChangeDirectory(std::string Dir);
    // Reads the tree again and reloads the folder, keeping the current cell.
    void RefreshView();
    // The selected pictures in the grid's selection order: bare names, or with the folder in front.
    // The list stays owned by the window (and changes with the next call).
    const std::vector<std::string>& GetSelectedNames();
    const std::vector<std::string>& GetSelectedPaths();
    int PictureCount() const;
    bool GetTreeVisible() const;
    void SetTreeVisible(bool Value);
    void SelectAll();
    void SortByName(bool Ascending) { SortPictures(skName, Ascending); }
    void SortByDate(bool Ascending) { SortPictures(skDate, Ascending); }
    void SortByType(bool Ascending) { SortPictures(skType, Ascending); }
    void SortBySize(bool Ascending) { SortPictures(skSize, Ascending); }
    void SetSortAscending(bool Ascending);

    // The folder shown, with a trailing '/'; empty when none.
    const std::string& Directory() const { return FDirectory; }
    // Thumbnails of the folder are still being made.
    bool Loading() const { return PictureDB->Loading(); }
    TColor SelectColour() const { return FSelectColour; }
    TColor SelTextColour() const { return FSelTextColour; }
    // Black for a light colour, white for a dark one (the colour value's bytes as they stand).
    static TColor ContrastColour(TColor Colour);
    // The four status panels for the picture Index (all empty for an invalid index).
    void UpdateStatusBar(int Index);
    // Draws one cell again.
    void RedrawCell(int Index);
    // The picture index of the current cell.
    int CurrentIndex() const;

    // Copy here / Move here on the folder of the last drop on the tree.
    void CopyImageExecute();
    void MoveImageExecute();

    // Parts.
    TDirTreeView* DirTreeView() const { return FDirTreeView; }
    TAdvSelectDrawGrid* ThumbnailGrid() const { return FThumbnailGrid; }
    TAdvancedComboBox* RecentDirsCombo() const { return FRecentDirsCombo; }
    QMenu* FileOptionsMenu() const { return FFileOptionsMenu; }
    QAction* CopyImage() const { return FCopyImage; }
    QAction* MoveImage() const { return FMoveImage; }
    TBrowserPictureDB& Database() const { return *PictureDB; }
    bool CanDraw() const { return FCanDraw; }

    // Runs the close question; when closing is allowed the settings are saved.
    bool CloseQuery() override;

protected:
    virtual void DoCopyFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir);
    virtual void DoMoveFile(const std::string& FileName, const std::string& SourceDir, const std::string& DestDir);
    void DoOpenFile(const std::string& FileName);
    void DoContentsChange();
    // A file action reported by the main window.
    void WMFileAction(const TFileActionRecord& Record, intptr_t LParam);

    bool event(QEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void CreateComponents();
    void FormShow();
    void FormActivate();
    void LoadSettings();
    void SaveSettings();
    void LoadDirectory(int Row, int Col);
    void ClearView();
    void RemovePicture(int Index);
    void SortPictures(int Kind, bool Ascending);
    void AddRecentDir();
    void RecentDirsComboChange(int Index);
    void LoadStep();
    // The folder named by a file action is the one shown (exact comparison).
    bool SameFolder(const std::string& Dir) const;
    // Marks the tree's node of Dir (when it is read) by whether the folder holds pictures.
    void MarkFolder(const std::string& Dir);
    void MarkSelectedNode(bool HasPictures);
    void SelectedFiles(std::vector<std::string>& List, const std::string& Prefix);
    // Copies or moves the selected pictures to the folder of the last drop on the tree.
    using TFileOperation = void (TCVBrowserChildWn::*)(const std::string&, const std::string&, const std::string&);
    void DropOnFolder(TFileOperation Operation);
    void FocusIndex(int Index);
    // With pictures shown and none selected, the current picture (the last one when the current cell
    // lies past them) becomes the selection, so that a command on the selection always has one.
    void SelectCurrentWhenNone();
    int IndexAt(int X, int Y) const;
    void ArrangeEmpty();

    // Components.
    QSplitter* MainSplitter = nullptr;
    QFrame* TreeViewPanel = nullptr;
    TDirTreeView* FDirTreeView = nullptr;
    QFrame* RecentDirPanel = nullptr;
    TAdvancedComboBox* FRecentDirsCombo = nullptr;
    TAdvSelectDrawGrid* FThumbnailGrid = nullptr;
    QMenu* FFileOptionsMenu = nullptr;
    QAction* FCopyImage = nullptr;
    QAction* FMoveImage = nullptr;

    bool Refreshing = false;
    std::string FDirectory;
    std::string FStartDir; // the folder FormShow selects
    std::unique_ptr<TBrowserPictureDB> PictureDB;
    int DragIndex = -1;
    int FPressIndex = -1; // the picture under the last button press in the grid
    bool FCanDraw = false;
    TColor FSelectColour = clHighlight;
    TColor FSelTextColour = clWhite;
    std::vector<std::string> FileList;
    bool FShown = false;
    bool FStartMaximized = false;
    bool FSettingsSaved = false;
    // A cell to make current once the load has brought its picture (Refresh keeps the current cell).
    int FFocusWanted = -1;
};
