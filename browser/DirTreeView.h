#pragma once
// The browser's folder tree: the file-system root, the home folder and the mounted volumes, with
// their folders read only when a node is first expanded. Every folder node is marked when it holds
// picture files of the configured types. The tree selects a node from a path, gives the path of a
// node, rebuilds itself keeping the expanded folders and the selection, expands or scrolls by timer
// while something is dragged over it, and reports drops through an event.
//
// Folders are read on worker threads (a slow or dead mount never freezes the window): a node being
// read shows a "Loading..." child, and SelectPath finishes, and fires OnNodeChange, once the folders
// on its way have been read. Folder names are compared exactly (case-sensitive).
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TExpdNodeList;

namespace dirtree {

// A mounted volume as the system reports it.
struct TVolumeInfo {
    std::string RootPath;       // mount point, e.g. "/media/anna/USB"
    std::string Device;         // e.g. "/dev/sdb1"
    std::string FileSystemType; // e.g. "vfat", "ext4", "nfs4", "proc"
    std::string DisplayName;    // label, or the mount point when it has none
    bool Valid = false;
    bool Ready = false;
};

// Whether a volume is one a user browses: valid and ready, not a pseudo or virtual file system (proc,
// sysfs, tmpfs, cgroup, overlay...), not mounted below /proc, /sys, /dev, /run (except the removable
// media below /run/media) or /snap, and not the file-system root itself (which is a root anyway).
bool IsRealVolume(const TVolumeInfo& Volume);
// The mounted volumes from QStorageInfo, unfiltered. Reaches every mount (a dead network mount
// blocks it): call it off the GUI thread.
std::vector<TVolumeInfo> MountedVolumes();

// Whether Name matches "*.Ext" for one of Types (extensions without dot), ignoring ASCII case.
bool MatchesFileType(const std::string& Name, const std::vector<std::string>& Types);

// One subfolder found in a folder, with what its own listing showed.
struct TSubFolder {
    std::string Name;         // file-system bytes, exactly as listed
    bool HasPictures = false; // holds a regular file (or a link to one) matching Types
    bool HasSubDirs = false;  // holds a folder, or cannot be listed (so it keeps its expand button)
};
// What reading a folder gives: its subfolders in name order (hidden ones, starting with ".", left
// out; links to folders included), and whether the listing succeeded.
struct TFolderListing {
    bool Ok = false;
    std::vector<TSubFolder> SubFolders;
};
// Reads Path's subfolders and looks into each of them. Runs on any thread.
TFolderListing ReadSubFolders(const std::string& Path, const std::vector<std::string>& Types);
// Looks into one folder: its HasPictures and HasSubDirs as for a subfolder. Runs on any thread.
TSubFolder ProbeFolder(const std::string& Path, const std::vector<std::string>& Types);

} // namespace dirtree

// One folder of the tree. The node keeps its full path, so no text ever has to be parsed back.
class TDirTreeNode : public QTreeWidgetItem {
public:
    static constexpr int NodeType = QTreeWidgetItem::UserType + 1;
    TDirTreeNode(const std::string& Path, const std::string& Name, bool IsRoot);

    // Full path without a trailing '/' ("/" for the file-system root).
    const std::string& Path() const { return FPath; }
    // The folder's own name; for a root its path (a root's text is a display name).
    const std::string& Name() const { return FName; }
    bool IsRoot() const { return FIsRoot; }

    bool Populated = false;   // subfolders have been read
    bool HasPictures = false; // the folder holds at least one file of FileTypes
    bool Loading = false;     // its subfolders are being read

private:
    std::string FPath;
    std::string FName;
    bool FIsRoot = false;
};

class TCustomDirTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit TCustomDirTreeView(QWidget* Parent = nullptr);
    ~TCustomDirTreeView() override;

    // Fills the roots; False (and not Initialized) on any failure. The mounted volumes join the
    // roots a moment later, once a worker thread has listed them.
    bool Initialize();
    bool Initialized() const { return FInitialized; }

    // Selects the node of Path (absolute; a trailing '/' is optional), expanding the folders on the
    // way; a missing folder ends the walk at the deepest one that exists. The root with the longest
    // matching path is used. When a node was reached, CurrentNode becomes it and OnNodeChange fires
    // (after SelectPath returns when folders on the way still had to be read). A later SelectPath,
    // or the user choosing a node, replaces a walk still waiting.
    void SelectPath(const std::string& Path);
    // The node of Path through nodes that are expanded and read, without selecting or expanding
    // anything; False when a node on the way is not expanded or a folder is missing.
    bool FindNode(const std::string& Path, TDirTreeNode*& Node) const;
    // The node's full path with a trailing '/' ("/" for the file-system root); empty for none.
    std::string GetNodePath(const TDirTreeNode* Node) const;
    // Whether the folder holds a file of FileTypes (read now, on the calling thread).
    bool DirHasPictures(const std::string& Path) const;
    // Stores the mark and repaints when it changes.
    void SetNodeHasPictures(TDirTreeNode* Node, bool Value);
    // Reads the roots again and restores the expanded folders and the selection (only when
    // Initialized). Restoring the selection fires no OnNodeChange when it is the same folder.
    void RefreshTree();

    TDirTreeNode* Selected() const;
    // The node last reported as selected.
    TDirTreeNode* CurrentNode() const { return FCurrentNode; }
    // The root path of the last selected or expanded root.
    const std::string& CurrentDrive() const { return FCurrentDrive; }
    // The node under the last drop, and its path (empty for none).
    TDirTreeNode* DragDropNode() const { return FDragDropNode; }
    std::string DragDropPath() const { return GetNodePath(FDragDropNode); }
    // Whether folders (or the volume list) are being read, or a SelectPath or rebuild still waits.
    bool IsLoading() const;

    // Picture extensions as a comma list ("bmp,jpg,jpeg,gif"); setting it rebuilds the tree.
    std::string FileTypes() const;
    void SetFileTypes(const std::string& CommaText);
    int FileTypeCount() const { return static_cast<int>(FFileTypes.size()); }
    // The has-pictures marks: index 0 normal, index 1 on the selected node. Two marks of the
    // program's own are set by the constructor; an empty list draws no marks.
    const std::vector<QPixmap>& NodeImages() const { return FNodeImages; }
    void SetNodeImages(const std::vector<QPixmap>& Images);
    static std::vector<QPixmap> DefaultNodeImages();

    // Drag-over behaviour; changing a flag cancels a pending timer. A time of 0 or less acts at once
    // on each drag move.
    bool ExpandOnDragOver() const { return FExpandOnDragOver; }
    void SetExpandOnDragOver(bool Value);
    int ExpandOnDragOverTime() const { return FExpandOnDragOverTime; }
    void SetExpandOnDragOverTime(int Ms) { FExpandOnDragOverTime = Ms; }
    bool ScrollOnDragOver() const { return FScrollOnDragOver; }
    void SetScrollOnDragOver(bool Value);
    int ScrollOnDragOverTime() const { return FScrollOnDragOverTime; }
    void SetScrollOnDragOverTime(int Ms) { FScrollOnDragOverTime = Ms; }
    bool DragTimerActive() const { return FDragTimer.isActive(); }

    // The selected folder changed (FromNode may be null).
    std::function<void(TCustomDirTreeView* Sender, TDirTreeNode* FromNode, TDirTreeNode* ToNode)> OnNodeChange;
    // Whether a drag over the tree is accepted (Accept starts True); without a handler no drag is.
    // Source is the widget the drag started from (null for one from another program); X, Y are
    // viewport coordinates.
    std::function<void(TCustomDirTreeView* Sender, QObject* Source, int X, int Y, bool& Accept)> OnDragOver;
    // Something was dropped (DragDropNode tells where). Fired after the drop event has returned, so
    // that the handler may open a menu.
    std::function<void(TCustomDirTreeView* Sender, QObject* Source, int X, int Y)> OnFileDragDrop;

    // Where folders and volumes come from: the file system by default. Both run on worker threads.
    using TFolderReader = std::function<dirtree::TFolderListing(const std::string& Path,
                                                                const std::vector<std::string>& Types)>;
    using TVolumeSource = std::function<std::vector<dirtree::TVolumeInfo>()>;
    void SetFolderReader(TFolderReader Reader) { FFolderReader = std::move(Reader); }
    void SetVolumeSource(TVolumeSource Source) { FVolumeSource = std::move(Source); }

protected:
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dragMoveEvent(QDragMoveEvent* Event) override;
    void dragLeaveEvent(QDragLeaveEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;

private:
    struct TPendingSelect;
    struct TPendingRestore;
    class TMarkDelegate;

    void ClearNodes();
    void FillDrives();
    TDirTreeNode* AddRoot(const std::string& Path, const QString& Text, const QIcon& Icon);
    void VolumesRead(uint64_t Generation, const std::vector<dirtree::TVolumeInfo>& Volumes);
    void RootsSettled();
    void NodeExpanded(QTreeWidgetItem* Item);
    void PopulateNode(TDirTreeNode* Node);
    void NodeRead(const QPersistentModelIndex& Index, uint64_t Generation, const dirtree::TFolderListing& Listing);
    void StartSelectWalk();
    void ContinueSelect();
    void FinishSelect(TDirTreeNode* Node);
    void RestoreExpanded(TDirTreeNode* Node, const TExpdNodeList& Expanded);
    void RestoreChildren(TDirTreeNode* Node, const TExpdNodeList& Expanded);
    void FinishRebuildIfDone();
    void SelectionChanged();
    void ReportSelection(TDirTreeNode* Node);
    TDirTreeNode* RootOf(const TDirTreeNode* Node) const;
    TDirTreeNode* BestRootFor(const std::string& Path) const;
    TDirTreeNode* ChildNamed(const QTreeWidgetItem* Parent, const std::string& Name) const;
    TDirTreeNode* NodeAt(const QPoint& Pos) const;
    TDirTreeNode* NodeFromIndex(const QModelIndex& Index) const;
    bool AcceptDrag(QDropEvent* Event);
    void DragOverAt(const QPoint& Pos);
    void ArmDragTimer(uint8_t Action, int Ms);
    void CancelDragTimer();
    void DragTimerFired();
    bool RunDragAction(uint8_t Action);

    bool FInitialized = false;
    std::string FCurrentDrive;
    TDirTreeNode* FCurrentNode = nullptr;
    TDirTreeNode* FDragDropNode = nullptr;
    std::vector<std::string> FFileTypes;
    std::vector<QPixmap> FNodeImages;
    QIcon FFolderIcon;
    QIcon FRootIcon;
    QIcon FHomeIcon;
    QIcon FDriveIcon;

    // Drag over: the pending action and the node and position it was armed for.
    QTimer FDragTimer;
    uint8_t FDragAction = 0; // 0 expand, 1 scroll down, 2 scroll up
    QTreeWidgetItem* FDragNode = nullptr;
    QPoint FDragPos;
    bool FDragging = false;
    bool FExpandOnDragOver = true;
    bool FScrollOnDragOver = true;
    int FExpandOnDragOverTime = 1000;
    int FScrollOnDragOverTime = 500;

    // Reading: every rebuild starts a new generation, so results for an older tree are dropped.
    uint64_t FGeneration = 0;
    int FReadsRunning = 0;
    // The volumes are listed on a worker thread; walks and rebuilds wait for them at most a second.
    QTimer FRootsTimer;
    bool FRootsAreSettled = true;
    bool FSelectingQuietly = false;
    std::unique_ptr<TPendingSelect> FPendingSelect;
    std::unique_ptr<TPendingRestore> FPendingRestore;
    TFolderReader FFolderReader;
    TVolumeSource FVolumeSource;
};

// The tree as the browser window places it.
class TDirTreeView : public TCustomDirTreeView {
    Q_OBJECT
public:
    explicit TDirTreeView(QWidget* Parent = nullptr) : TCustomDirTreeView(Parent) {}
};
