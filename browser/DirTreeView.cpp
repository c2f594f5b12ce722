#include "browser/DirTreeView.h"

#include "browser/ExpdNdeLst.h"
#include "browser/PicDBSupport.h"

#include <QApplication>
#include <QDir>
#include <QDragMoveEvent>
#include <QFile>
#include <QFileIconProvider>
#include <QFutureWatcher>
#include <QPainter>
#include <QStorageInfo>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cstring>
#include <map>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dirtree {

namespace {

bool StartsWith(const std::string& S, const std::string& Prefix)
{
    return S.compare(0, Prefix.size(), Prefix) == 0;
}

// Whether Path is Folder itself or lies below it: a prefix counts only up to a '/' ("/a/bc" is not
// below "/a/b"). Trailing slashes of either do not matter.
bool IsAtOrBelow(const std::string& Path, const std::string& Folder)
{
    std::string F = Folder;
    while (F.size() > 1 && F.back() == '/')
        F.pop_back();
    if (F == "/")
        return !Path.empty() && Path[0] == '/';
    if (!StartsWith(Path, F))
        return false;
    return Path.size() == F.size() || Path[F.size()] == '/';
}

char AsciiLower(char C)
{
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

enum class TEntryKind { Other, File, Folder };

// What a listed entry is; links are followed.
TEntryKind KindOf(int DirFd, const dirent* Entry)
{
    switch (Entry->d_type) {
    case DT_DIR:
        return TEntryKind::Folder;
    case DT_REG:
        return TEntryKind::File;
    case DT_LNK:
    case DT_UNKNOWN: {
        struct stat St {};
        if (::fstatat(DirFd, Entry->d_name, &St, 0) != 0)
            return TEntryKind::Other;
        return S_ISDIR(St.st_mode) ? TEntryKind::Folder
                                   : S_ISREG(St.st_mode) ? TEntryKind::File : TEntryKind::Other;
    }
    default:
        return TEntryKind::Other;
    }
}

// Lists the open folder Fd (which it closes). Without SubDirNames it stops as soon as it knows both
// answers; with it, it collects every subfolder's name.
TSubFolder ScanFolder(int Fd, const std::vector<std::string>& Types, std::vector<std::string>* SubDirNames,
                      bool& Ok)
{
    TSubFolder Result;
    Ok = false;
    DIR* Dir = Fd >= 0 ? ::fdopendir(Fd) : nullptr;
    if (!Dir) {
        if (Fd >= 0)
            ::close(Fd);
        // An unreadable folder keeps its expand button, as the user may be allowed in later.
        Result.HasSubDirs = true;
        return Result;
    }
    Ok = true;
    while (const dirent* Entry = ::readdir(Dir)) {
        if (Entry->d_name[0] == '.')
            continue; // hidden, and "." and ".."
        const TEntryKind Kind = KindOf(::dirfd(Dir), Entry);
        if (Kind == TEntryKind::Folder) {
            Result.HasSubDirs = true;
            if (SubDirNames)
                SubDirNames->emplace_back(Entry->d_name);
        } else if (Kind == TEntryKind::File && !Result.HasPictures && MatchesFileType(Entry->d_name, Types)) {
            Result.HasPictures = true;
        }
        if (!SubDirNames && Result.HasPictures && Result.HasSubDirs)
            break;
    }
    ::closedir(Dir);
    return Result;
}

int OpenFolder(int AtFd, const char* Path)
{
    return ::openat(AtFd, Path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

} // namespace

bool IsRealVolume(const TVolumeInfo& Volume)
{
    if (!Volume.Valid || !Volume.Ready || Volume.RootPath.empty() || Volume.RootPath[0] != '/')
        return false;
    if (Volume.RootPath == "/")
        return false;
    static const char* const Pseudo[] = {
        "autofs",    "binfmt_misc", "bpf",        "cgroup",     "cgroup2",   "configfs",   "debugfs",
        "devpts",    "devtmpfs",    "efivarfs",   "fusectl",    "hugetlbfs", "mqueue",     "nsfs",
        "overlay",   "proc",        "pstore",     "ramfs",      "rootfs",    "rpc_pipefs", "securityfs",
        "selinuxfs", "sysfs",       "tmpfs",      "tracefs",    "nfsd",      "fuse.gvfsd-fuse", "fuse.portal",
        "fuse.lxcfs", "fuse.snapfuse", "none"};
    for (const char* Type : Pseudo)
        if (Volume.FileSystemType == Type)
            return false;
    // System folders; the packages' images below /snap are not the user's volumes either.
    for (const char* System : {"/proc", "/sys", "/dev", "/run", "/snap"})
        if (IsAtOrBelow(Volume.RootPath, System) && !IsAtOrBelow(Volume.RootPath, "/run/media"))
            return false;
    return true;
}

std::vector<TVolumeInfo> MountedVolumes()
{
    std::vector<TVolumeInfo> Result;
    for (const QStorageInfo& Info : QStorageInfo::mountedVolumes()) {
        TVolumeInfo V;
        V.RootPath = QFile::encodeName(Info.rootPath()).toStdString();
        V.Device = Info.device().toStdString();
        V.FileSystemType = Info.fileSystemType().toStdString();
        V.DisplayName = Info.displayName().toStdString();
        V.Valid = Info.isValid();
        V.Ready = Info.isReady();
        Result.push_back(std::move(V));
    }
    return Result;
}

bool MatchesFileType(const std::string& Name, const std::vector<std::string>& Types)
{
    for (const std::string& Ext : Types) {
        if (Name.size() < Ext.size() + 1 || Name[Name.size() - Ext.size() - 1] != '.')
            continue;
        const char* Tail = Name.data() + (Name.size() - Ext.size());
        bool Same = true;
        for (size_t I = 0; I < Ext.size() && Same; ++I)
            Same = AsciiLower(Tail[I]) == AsciiLower(Ext[I]);
        if (Same)
            return true;
    }
    return false;
}

TFolderListing ReadSubFolders(const std::string& Path, const std::vector<std::string>& Types)
{
    TFolderListing Result;
    const int Fd = OpenFolder(AT_FDCWD, Path.c_str());
    std::vector<std::string> Names;
    ScanFolder(Fd >= 0 ? ::dup(Fd) : -1, Types, &Names, Result.Ok);
    if (Fd < 0)
        return Result;
    std::sort(Names.begin(), Names.end(),
              [](const std::string& A, const std::string& B) { return picdb::CompareFileNames(A, B) < 0; });
    Result.SubFolders.reserve(Names.size());
    for (std::string& Name : Names) {
        bool Ok = false;
        TSubFolder Sub = ScanFolder(OpenFolder(Fd, Name.c_str()), Types, nullptr, Ok);
        Sub.Name = std::move(Name);
        Result.SubFolders.push_back(std::move(Sub));
    }
    ::close(Fd);
    return Result;
}

TSubFolder ProbeFolder(const std::string& Path, const std::vector<std::string>& Types)
{
    bool Ok = false;
    return ScanFolder(OpenFolder(AT_FDCWD, Path.c_str()), Types, nullptr, Ok);
}

} // namespace dirtree

namespace {

using namespace dirtree;

// Folder reading has its own threads: one stuck on a dead mount never holds up the thumbnails on
// the global pool. Never freed, so that such a thread cannot hold up the program's exit either.
QThreadPool* ReadPool()
{
    static QThreadPool* Pool = [] {
        auto* P = new QThreadPool;
        P->setMaxThreadCount(4);
        return P;
    }();
    return Pool;
}

// Runs Job on the reading pool and hands its result to Done on the GUI thread, unless Owner is gone.
template <typename T, typename Job, typename Done>
void RunAsync(QObject* Owner, Job&& J, Done&& D)
{
    auto* Watcher = new QFutureWatcher<T>(Owner);
    QObject::connect(Watcher, &QFutureWatcherBase::finished, Owner, [Watcher, D = std::forward<Done>(D)]() {
        Watcher->deleteLater();
        D(Watcher->result());
    });
    Watcher->setFuture(QtConcurrent::run(ReadPool(), std::forward<Job>(J)));
}

std::string LocalName(const QString& S)
{
    return QFile::encodeName(S).toStdString();
}

QString DisplayText(const std::string& S)
{
    return QFile::decodeName(QByteArray::fromStdString(S));
}

// An absolute path made lexically clean: no empty, "." or ".." components, no trailing '/'.
std::vector<std::string> PathComponents(const std::string& Path)
{
    std::string Full = Path;
    if (Full.empty() || Full[0] != '/')
        Full = LocalName(QDir::currentPath()) + "/" + Full;
    std::vector<std::string> Parts;
    size_t Start = 0;
    while (Start <= Full.size()) {
        size_t Slash = Full.find('/', Start);
        if (Slash == std::string::npos)
            Slash = Full.size();
        const std::string Part = Full.substr(Start, Slash - Start);
        if (Part == "..") {
            if (!Parts.empty())
                Parts.pop_back();
        } else if (!Part.empty() && Part != ".") {
            Parts.push_back(Part);
        }
        Start = Slash + 1;
    }
    return Parts;
}

std::string JoinPath(const std::vector<std::string>& Parts, size_t Count)
{
    std::string Result;
    for (size_t I = 0; I < Count && I < Parts.size(); ++I)
        Result += "/" + Parts[I];
    return Result.empty() ? "/" : Result;
}

std::string ChildPath(const std::string& Parent, const std::string& Name)
{
    return Parent == "/" ? "/" + Name : Parent + "/" + Name;
}

QPixmap MakeMark(const QColor& Frame, const QColor& Sky, const QColor& Ground)
{
    // A tiny framed landscape: sky above, a hill below, 8 x 8 pixels.
    QPixmap Mark(8, 8);
    Mark.fill(Qt::transparent);
    QPainter P(&Mark);
    P.fillRect(0, 0, 8, 8, Frame);
    P.fillRect(1, 1, 6, 6, Sky);
    P.fillRect(1, 5, 6, 2, Ground);
    P.fillRect(3, 4, 3, 1, Ground);
    P.fillRect(5, 2, 1, 1, QColor(255, 220, 0));
    return Mark;
}

} // namespace

// ---- Nodes ------------------------------------------------------------------------------------------
TDirTreeNode::TDirTreeNode(const std::string& Path, const std::string& Name, bool IsRoot)
    : QTreeWidgetItem(NodeType), FPath(Path), FName(Name), FIsRoot(IsRoot)
{
}

// ---- Waiting work -----------------------------------------------------------------------------------
// A SelectPath walk: the full path, the node reached so far and the components still to find.
struct TCustomDirTreeView::TPendingSelect {
    std::vector<std::string> Target;
    bool Started = false;
    QPersistentModelIndex Node;
    size_t Next = 0;          // index into Target of the next component to find
    TDirTreeNode* ReadFor = nullptr; // node whose reading this walk started
};

// A rebuild: the folders that were expanded, the nodes waiting to be read before their children can
// be expanded in turn, and the selection to restore at the end.
struct TCustomDirTreeView::TPendingRestore {
    TExpdNodeList Saved;
    std::map<TDirTreeNode*, const TExpdNodeList*> Waiting;
    std::string SelectedPath;
    std::string CurrentPath;
};

// Paints the has-pictures mark over a node's icon, and the node under a drag as a drop target.
class TCustomDirTreeView::TMarkDelegate : public QStyledItemDelegate {
public:
    explicit TMarkDelegate(TCustomDirTreeView* Tree) : QStyledItemDelegate(Tree), FTree(Tree) {}

    void paint(QPainter* Painter, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        TDirTreeNode* Node = FTree->NodeFromIndex(Index);
        QStyleOptionViewItem Opt = Option;
        if (Node && FTree->FDragging && Node == FTree->FDragNode)
            Opt.state |= QStyle::State_Selected;
        QStyledItemDelegate::paint(Painter, Opt, Index);
        if (!Node || !Node->HasPictures || FTree->FNodeImages.empty())
            return;
        initStyleOption(&Opt, Index);
        const QWidget* W = Opt.widget;
        QStyle* Style = W ? W->style() : QApplication::style();
        const QRect Text = Style->subElementRect(QStyle::SE_ItemViewItemText, &Opt, W);
        const bool Sel = (Option.state & QStyle::State_Selected) && !Node->IsRoot() && FTree->FNodeImages.size() > 1;
        Painter->drawPixmap(Text.left() - 16, Text.top(), FTree->FNodeImages[Sel ? 1 : 0]);
    }

private:
    TCustomDirTreeView* FTree;
};

// ---- Tree -------------------------------------------------------------------------------------------
TCustomDirTreeView::TCustomDirTreeView(QWidget* Parent) : QTreeWidget(Parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAutoScroll(false); // drag-over scrolling is the tree's own
    setAutoExpandDelay(-1);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setItemDelegate(new TMarkDelegate(this));

    QFileIconProvider Icons;
    QStyle* Style = style();
    const QIcon Closed = Icons.icon(QFileIconProvider::Folder);
    const QIcon Open = Style->standardIcon(QStyle::SP_DirOpenIcon);
    for (const int Size : {16, 22, 32}) {
        FFolderIcon.addPixmap(Closed.pixmap(Size), QIcon::Normal);
        FFolderIcon.addPixmap(Open.pixmap(Size), QIcon::Selected);
    }
    FRootIcon = Icons.icon(QFileIconProvider::Computer);
    FHomeIcon = Style->standardIcon(QStyle::SP_DirHomeIcon);
    FDriveIcon = Icons.icon(QFileIconProvider::Drive);
    FNodeImages = DefaultNodeImages();
    FFileTypes = {"bmp", "jpg", "jpeg", "gif"};
    FFolderReader = &dirtree::ReadSubFolders;
    FVolumeSource = &dirtree::MountedVolumes;

    FDragTimer.setSingleShot(true);
    connect(&FDragTimer, &QTimer::timeout, this, [this] { DragTimerFired(); });
    FRootsTimer.setSingleShot(true);
    connect(&FRootsTimer, &QTimer::timeout, this, [this] { RootsSettled(); });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* Item) { NodeExpanded(Item); });
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
}

TCustomDirTreeView::~TCustomDirTreeView() = default;

std::vector<QPixmap> TCustomDirTreeView::DefaultNodeImages()
{
    return {MakeMark(QColor(64, 64, 64), QColor(120, 180, 255), QColor(40, 150, 40)),
            MakeMark(QColor(255, 255, 255), QColor(170, 210, 255), QColor(90, 200, 90))};
}

void TCustomDirTreeView::SetNodeImages(const std::vector<QPixmap>& Images)
{
    FNodeImages = Images;
    viewport()->update();
}

std::string TCustomDirTreeView::FileTypes() const
{
    std::string Result;
    for (const std::string& Type : FFileTypes)
        Result += (Result.empty() ? "" : ",") + Type;
    return Result;
}

void TCustomDirTreeView::SetFileTypes(const std::string& CommaText)
{
    FFileTypes.clear();
    for (const QString& Type : QString::fromStdString(CommaText).split(',')) {
        const std::string T = Type.trimmed().toStdString();
        if (!T.empty())
            FFileTypes.push_back(T);
    }
    RefreshTree();
}

void TCustomDirTreeView::SetExpandOnDragOver(bool Value)
{
    if (Value != FExpandOnDragOver) {
        FExpandOnDragOver = Value;
        CancelDragTimer();
    }
}

void TCustomDirTreeView::SetScrollOnDragOver(bool Value)
{
    if (Value != FScrollOnDragOver) {
        FScrollOnDragOver = Value;
        CancelDragTimer();
    }
}

bool TCustomDirTreeView::IsLoading() const
{
    return FReadsRunning > 0 || FPendingSelect || FPendingRestore || !FRootsAreSettled;
}

TDirTreeNode* TCustomDirTreeView::NodeFromIndex(const QModelIndex& Index) const
{
    QTreeWidgetItem* Item = Index.isValid() ? itemFromIndex(Index) : nullptr;
    return Item && Item->type() == TDirTreeNode::NodeType ? static_cast<TDirTreeNode*>(Item) : nullptr;
}

TDirTreeNode* TCustomDirTreeView::NodeAt(const QPoint& Pos) const
{
    return NodeFromIndex(indexAt(Pos));
}

TDirTreeNode* TCustomDirTreeView::Selected() const
{
    const QList<QTreeWidgetItem*> Items = selectedItems();
    return Items.isEmpty() ? nullptr : NodeFromIndex(indexFromItem(Items.first()));
}

TDirTreeNode* TCustomDirTreeView::RootOf(const TDirTreeNode* Node) const
{
    const QTreeWidgetItem* Item = Node;
    while (Item && Item->parent())
        Item = Item->parent();
    return Item ? NodeFromIndex(indexFromItem(Item)) : nullptr;
}

TDirTreeNode* TCustomDirTreeView::BestRootFor(const std::string& Path) const
{
    TDirTreeNode* Best = nullptr;
    for (int I = 0; I < topLevelItemCount(); ++I) {
        TDirTreeNode* Root = NodeFromIndex(indexFromItem(topLevelItem(I)));
        if (Root && IsAtOrBelow(Path, Root->Path()) && (!Best || Root->Path().size() > Best->Path().size()))
            Best = Root;
    }
    return Best;
}

TDirTreeNode* TCustomDirTreeView::ChildNamed(const QTreeWidgetItem* Parent, const std::string& Name) const
{
    for (int I = 0; I < Parent->childCount(); ++I) {
        QTreeWidgetItem* Child = Parent->child(I);
        if (Child->type() == TDirTreeNode::NodeType && static_cast<TDirTreeNode*>(Child)->Name() == Name)
            return static_cast<TDirTreeNode*>(Child);
    }
    return nullptr;
}

std::string TCustomDirTreeView::GetNodePath(const TDirTreeNode* Node) const
{
    if (!Node)
        return {};
    return Node->Path() == "/" ? "/" : Node->Path() + "/";
}

bool TCustomDirTreeView::DirHasPictures(const std::string& Path) const
{
    return ProbeFolder(Path, FFileTypes).HasPictures;
}

void TCustomDirTreeView::SetNodeHasPictures(TDirTreeNode* Node, bool Value)
{
    if (Node && Node->HasPictures != Value) {
        Node->HasPictures = Value;
        viewport()->update();
    }
}

// ---- Roots ------------------------------------------------------------------------------------------
bool TCustomDirTreeView::Initialize()
{
    try {
        FInitialized = false;
        ClearNodes();
        FillDrives();
        FInitialized = true;
    } catch (...) {
        FInitialized = false;
    }
    return FInitialized;
}

void TCustomDirTreeView::ClearNodes()
{
    // Results still on their way belong to the old nodes: the new generation drops them.
    ++FGeneration;
    CancelDragTimer();
    FPendingRestore.reset();
    if (FPendingSelect) {
        // A walk on its way starts again on the new nodes.
        const std::vector<std::string> Target = std::move(FPendingSelect->Target);
        FPendingSelect = std::make_unique<TPendingSelect>();
        FPendingSelect->Target = Target;
    }
    FSelectingQuietly = true;
    clear();
    FSelectingQuietly = false;
    FCurrentNode = nullptr;
    FDragDropNode = nullptr;
    FDragNode = nullptr;
}

TDirTreeNode* TCustomDirTreeView::AddRoot(const std::string& Path, const QString& Text, const QIcon& Icon)
{
    auto* Node = new TDirTreeNode(Path, Path, true);
    Node->setText(0, Text);
    Node->setIcon(0, Icon);
    Node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    addTopLevelItem(Node);
    // Its mark is read off the GUI thread: even the home folder may be on a network mount.
    const QPersistentModelIndex Index(indexFromItem(Node));
    const uint64_t Generation = FGeneration;
    const std::vector<std::string> Types = FFileTypes;
    ++FReadsRunning;
    RunAsync<TSubFolder>(
        this, [Path, Types] { return ProbeFolder(Path, Types); },
        [this, Index, Generation](const TSubFolder& Probe) {
            --FReadsRunning;
            if (Generation == FGeneration)
                SetNodeHasPictures(NodeFromIndex(Index), Probe.HasPictures);
        });
    return Node;
}

void TCustomDirTreeView::FillDrives()
{
    AddRoot("/", QStringLiteral("/"), FRootIcon);
    const std::string Home = LocalName(QDir::homePath());
    if (!Home.empty() && Home != "/")
        AddRoot(Home, DisplayText(Home), FHomeIcon);

    // Listing the volumes reaches every mount, so it runs on a worker thread; walks and rebuilds wait
    // for it a little, then go on with the roots there are.
    FRootsAreSettled = false;
    FRootsTimer.start(1000);
    const uint64_t Generation = FGeneration;
    TVolumeSource Source = FVolumeSource;
    RunAsync<std::vector<TVolumeInfo>>(
        this,
        [Source] {
            try {
                return Source ? Source() : std::vector<TVolumeInfo>{};
            } catch (...) {
                return std::vector<TVolumeInfo>{};
            }
        },
        [this, Generation](const std::vector<TVolumeInfo>& Volumes) { VolumesRead(Generation, Volumes); });
}

void TCustomDirTreeView::VolumesRead(uint64_t Generation, const std::vector<TVolumeInfo>& Volumes)
{
    if (Generation != FGeneration)
        return;
    for (const TVolumeInfo& Volume : Volumes) {
        if (!IsRealVolume(Volume))
            continue;
        bool Known = false;
        for (int I = 0; I < topLevelItemCount() && !Known; ++I) {
            const TDirTreeNode* Root = NodeFromIndex(indexFromItem(topLevelItem(I)));
            Known = Root && Root->Path() == Volume.RootPath;
        }
        if (Known)
            continue;
        TDirTreeNode* Root =
            AddRoot(Volume.RootPath, DisplayText(Volume.DisplayName.empty() ? Volume.RootPath : Volume.DisplayName),
                    FDriveIcon);
        if (FPendingRestore) {
            const int I = FPendingRestore->Saved.IndexOfName(Root->Name());
            if (I >= 0)
                RestoreExpanded(Root, FPendingRestore->Saved.Items(I)->SubNodes);
        }
    }
    RootsSettled();
}

void TCustomDirTreeView::RootsSettled()
{
    if (FRootsAreSettled)
        return;
    FRootsAreSettled = true;
    FRootsTimer.stop();
    if (FPendingSelect && !FPendingSelect->Started)
        StartSelectWalk();
    FinishRebuildIfDone();
}

// ---- Reading folders --------------------------------------------------------------------------------
void TCustomDirTreeView::NodeExpanded(QTreeWidgetItem* Item)
{
    TDirTreeNode* Node = NodeFromIndex(indexFromItem(Item));
    if (!Node)
        return;
    if (Node->IsRoot())
        FCurrentDrive = Node->Path();
    PopulateNode(Node);
}

void TCustomDirTreeView::PopulateNode(TDirTreeNode* Node)
{
    if (Node->Populated || Node->Loading)
        return;
    Node->Loading = true;
    auto* Placeholder = new QTreeWidgetItem(QStringList{tr("Loading...")});
    Placeholder->setFlags(Qt::ItemNeverHasChildren);
    Node->addChild(Placeholder);

    const QPersistentModelIndex Index(indexFromItem(Node));
    const uint64_t Generation = FGeneration;
    const std::string Path = Node->Path();
    const std::vector<std::string> Types = FFileTypes;
    TFolderReader Reader = FFolderReader;
    ++FReadsRunning;
    RunAsync<TFolderListing>(
        this,
        [Reader, Path, Types] {
            try {
                return Reader(Path, Types);
            } catch (...) {
                return TFolderListing{};
            }
        },
        [this, Index, Generation](const TFolderListing& Listing) { NodeRead(Index, Generation, Listing); });
}

void TCustomDirTreeView::NodeRead(const QPersistentModelIndex& Index, uint64_t Generation,
                                  const TFolderListing& Listing)
{
    --FReadsRunning;
    TDirTreeNode* Node = Generation == FGeneration ? NodeFromIndex(Index) : nullptr;
    if (!Node) {
        FinishRebuildIfDone();
        return;
    }
    Node->Loading = false;
    setUpdatesEnabled(false);
    qDeleteAll(Node->takeChildren()); // the placeholder
    QList<QTreeWidgetItem*> Children;
    Children.reserve(static_cast<qsizetype>(Listing.SubFolders.size()));
    for (const TSubFolder& Sub : Listing.SubFolders) {
        auto* Child = new TDirTreeNode(ChildPath(Node->Path(), Sub.Name), Sub.Name, false);
        Child->setText(0, DisplayText(Sub.Name));
        Child->setIcon(0, FFolderIcon);
        Child->HasPictures = Sub.HasPictures;
        Child->setChildIndicatorPolicy(Sub.HasSubDirs ? QTreeWidgetItem::ShowIndicator
                                                      : QTreeWidgetItem::DontShowIndicator);
        Children.append(Child);
    }
    Node->addChildren(Children);
    Node->Populated = true;
    if (Children.isEmpty()) {
        if (Node->IsRoot()) {
            // An empty volume is read again on its next expansion (media may be inserted meanwhile).
            Node->Populated = false;
            Node->setExpanded(false);
        } else {
            Node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
        }
    }
    setUpdatesEnabled(true);

    if (FPendingSelect && FPendingSelect->Started && NodeFromIndex(FPendingSelect->Node) == Node)
        ContinueSelect();
    if (FPendingRestore) {
        const auto It = FPendingRestore->Waiting.find(Node);
        if (It != FPendingRestore->Waiting.end()) {
            const TExpdNodeList* Expanded = It->second;
            FPendingRestore->Waiting.erase(It);
            RestoreChildren(Node, *Expanded);
        }
    }
    FinishRebuildIfDone();
}

// ---- Selecting a path -------------------------------------------------------------------------------
void TCustomDirTreeView::SelectPath(const std::string& Path)
{
    FPendingSelect.reset();
    if (Path.empty() || !FInitialized)
        return;
    FPendingSelect = std::make_unique<TPendingSelect>();
    FPendingSelect->Target = PathComponents(Path);
    if (FRootsAreSettled)
        StartSelectWalk();
}

void TCustomDirTreeView::StartSelectWalk()
{
    TPendingSelect& Walk = *FPendingSelect;
    const std::string Target = JoinPath(Walk.Target, Walk.Target.size());
    TDirTreeNode* Root = BestRootFor(Target);
    if (!Root) {
        FPendingSelect.reset();
        return;
    }
    Walk.Started = true;
    Walk.Node = QPersistentModelIndex(indexFromItem(Root));
    Walk.Next = PathComponents(Root->Path()).size();
    ContinueSelect();
}

void TCustomDirTreeView::ContinueSelect()
{
    TPendingSelect& Walk = *FPendingSelect;
    TDirTreeNode* Node = NodeFromIndex(Walk.Node);
    if (!Node) {
        FPendingSelect.reset();
        return;
    }
    while (Walk.Next < Walk.Target.size()) {
        if (!Node->Populated && Walk.ReadFor == Node && !Node->Loading)
            break; // read, and found empty
        if (!Node->isExpanded())
            Node->setExpanded(true);
        if (!Node->Populated) {
            Walk.ReadFor = Node;
            PopulateNode(Node);
            if (Node->Loading)
                return; // NodeRead goes on from here
            if (!Node->Populated)
                break;
        }
        TDirTreeNode* Child = ChildNamed(Node, Walk.Target[Walk.Next]);
        if (!Child)
            break;
        Node = Child;
        Walk.Node = QPersistentModelIndex(indexFromItem(Node));
        ++Walk.Next;
    }
    FinishSelect(Node);
}

void TCustomDirTreeView::FinishSelect(TDirTreeNode* Node)
{
    FPendingSelect.reset();
    FSelectingQuietly = true;
    setCurrentItem(Node);
    FSelectingQuietly = false;
    scrollToItem(Node);
    ReportSelection(Node);
}

bool TCustomDirTreeView::FindNode(const std::string& Path, TDirTreeNode*& Node) const
{
    Node = nullptr;
    const std::vector<std::string> Parts = PathComponents(Path);
    TDirTreeNode* Current = BestRootFor(JoinPath(Parts, Parts.size()));
    if (!Current)
        return false;
    for (size_t I = PathComponents(Current->Path()).size(); I < Parts.size(); ++I) {
        if (!Current->isExpanded() || !Current->Populated)
            return false;
        Current = ChildNamed(Current, Parts[I]);
        if (!Current)
            return false;
    }
    Node = Current;
    return true;
}

void TCustomDirTreeView::SelectionChanged()
{
    if (FSelectingQuietly)
        return;
    TDirTreeNode* Node = Selected();
    if (!Node || Node == FCurrentNode)
        return;
    // The user's choice replaces a walk still waiting for folders.
    FPendingSelect.reset();
    ReportSelection(Node);
}

void TCustomDirTreeView::ReportSelection(TDirTreeNode* Node)
{
    TDirTreeNode* From = FCurrentNode;
    FCurrentNode = Node;
    if (const TDirTreeNode* Root = RootOf(Node))
        FCurrentDrive = Root->Path();
    if (OnNodeChange)
        OnNodeChange(this, From, Node);
}

// ---- Rebuilding -------------------------------------------------------------------------------------
namespace {

void SaveExpanded(const QTreeWidgetItem* Item, TExpdNodeList& List)
{
    if (Item->type() != TDirTreeNode::NodeType || !Item->isExpanded())
        return;
    TExpdNodeData* Entry = List.Add(static_cast<const TDirTreeNode*>(Item)->Name());
    for (int I = 0; I < Item->childCount(); ++I)
        SaveExpanded(Item->child(I), Entry->SubNodes);
}

} // namespace

void TCustomDirTreeView::RefreshTree()
{
    if (!FInitialized)
        return;
    auto Restore = std::make_unique<TPendingRestore>();
    for (int I = 0; I < topLevelItemCount(); ++I)
        SaveExpanded(topLevelItem(I), Restore->Saved);
    Restore->SelectedPath = GetNodePath(Selected());
    Restore->CurrentPath = GetNodePath(FCurrentNode);

    ClearNodes();
    FillDrives();
    FPendingRestore = std::move(Restore);
    for (int I = 0; I < topLevelItemCount(); ++I) {
        TDirTreeNode* Root = NodeFromIndex(indexFromItem(topLevelItem(I)));
        const int Entry = Root ? FPendingRestore->Saved.IndexOfName(Root->Name()) : -1;
        if (Entry >= 0)
            RestoreExpanded(Root, FPendingRestore->Saved.Items(Entry)->SubNodes);
    }
    FinishRebuildIfDone();
}

void TCustomDirTreeView::RestoreExpanded(TDirTreeNode* Node, const TExpdNodeList& Expanded)
{
    if (!Node->isExpanded())
        Node->setExpanded(true); // starts reading it
    PopulateNode(Node);
    if (Node->Loading)
        FPendingRestore->Waiting[Node] = &Expanded;
    else
        RestoreChildren(Node, Expanded);
}

void TCustomDirTreeView::RestoreChildren(TDirTreeNode* Node, const TExpdNodeList& Expanded)
{
    for (int I = 0; I < Node->childCount(); ++I) {
        QTreeWidgetItem* Child = Node->child(I);
        if (Child->type() != TDirTreeNode::NodeType)
            continue;
        const int Entry = Expanded.IndexOfName(static_cast<TDirTreeNode*>(Child)->Name());
        if (Entry >= 0)
            RestoreExpanded(static_cast<TDirTreeNode*>(Child), Expanded.Items(Entry)->SubNodes);
    }
}

void TCustomDirTreeView::FinishRebuildIfDone()
{
    if (!FPendingRestore || !FPendingRestore->Waiting.empty() || !FRootsAreSettled)
        return;
    const std::unique_ptr<TPendingRestore> Restore = std::move(FPendingRestore);
    // The user may have chosen a folder meanwhile, or a walk may be on its way: those win.
    if (!FCurrentNode && !FPendingSelect) {
        TDirTreeNode* Node = nullptr;
        if (!Restore->SelectedPath.empty() && FindNode(Restore->SelectedPath, Node)) {
            FSelectingQuietly = true;
            setCurrentItem(Node);
            FSelectingQuietly = false;
            if (GetNodePath(Node) == Restore->CurrentPath)
                FCurrentNode = Node; // the same folder: nothing to report
            else
                ReportSelection(Node);
            scrollToItem(Node);
        }
    }
    if (FPendingSelect && !FPendingSelect->Started)
        StartSelectWalk();
}

// ---- Drag over and drop -----------------------------------------------------------------------------
bool TCustomDirTreeView::AcceptDrag(QDropEvent* Event)
{
    if (!OnDragOver)
        return false;
    bool Accept = true;
    const QPoint Pos = Event->position().toPoint();
    OnDragOver(this, Event->source(), Pos.x(), Pos.y(), Accept);
    return Accept;
}

void TCustomDirTreeView::dragEnterEvent(QDragEnterEvent* Event)
{
    dragMoveEvent(Event);
}

void TCustomDirTreeView::dragMoveEvent(QDragMoveEvent* Event)
{
    if (!AcceptDrag(Event)) {
        Event->ignore();
        return;
    }
    Event->acceptProposedAction();
    FDragging = true;
    DragOverAt(Event->position().toPoint());
}

void TCustomDirTreeView::dragLeaveEvent(QDragLeaveEvent* Event)
{
    Event->accept();
    CancelDragTimer();
    FDragNode = nullptr;
    FDragging = false;
    viewport()->update();
}

void TCustomDirTreeView::dropEvent(QDropEvent* Event)
{
    CancelDragTimer();
    FDragNode = nullptr;
    FDragging = false;
    viewport()->update();
    if (!AcceptDrag(Event)) {
        Event->ignore();
        return;
    }
    Event->acceptProposedAction();
    const QPoint Pos = Event->position().toPoint();
    FDragDropNode = NodeAt(Pos);
    const QPointer<QObject> Source(Event->source());
    const uint64_t Generation = FGeneration;
    QTimer::singleShot(0, this, [this, Source, Pos, Generation] {
        if (Generation == FGeneration && OnFileDragDrop)
            OnFileDragDrop(this, Source.data(), Pos.x(), Pos.y());
    });
}

void TCustomDirTreeView::DragOverAt(const QPoint& Pos)
{
    FDragPos = Pos;
    QTreeWidgetItem* Item = itemAt(Pos);
    if (Item == FDragNode)
        return;
    CancelDragTimer();
    FDragNode = Item;
    viewport()->update();
    if (!Item)
        return;
    // The top visible row and the last row that is wholly visible.
    QTreeWidgetItem* Top = itemAt(QPoint(0, 0));
    if (!Top)
        return;
    QTreeWidgetItem* Bottom = Top;
    const int Height = viewport()->height();
    for (QTreeWidgetItem* Next = itemBelow(Bottom); Next && visualItemRect(Next).bottom() < Height;
         Next = itemBelow(Next))
        Bottom = Next;
    const int ItemTop = visualItemRect(Item).top();
    if (FScrollOnDragOver && ItemTop <= visualItemRect(Top).top() && itemAbove(Top))
        ArmDragTimer(2, FScrollOnDragOverTime);
    else if (FScrollOnDragOver && ItemTop >= visualItemRect(Bottom).top() && itemBelow(Bottom))
        ArmDragTimer(1, FScrollOnDragOverTime);
    else if (FExpandOnDragOver && !Item->isExpanded() && Item->type() == TDirTreeNode::NodeType)
        ArmDragTimer(0, FExpandOnDragOverTime);
}

void TCustomDirTreeView::ArmDragTimer(uint8_t Action, int Ms)
{
    FDragAction = Action;
    if (Ms <= 0)
        RunDragAction(Action); // at once, one step for this drag move
    else
        FDragTimer.start(Ms);
}

void TCustomDirTreeView::CancelDragTimer()
{
    FDragTimer.stop();
}

void TCustomDirTreeView::DragTimerFired()
{
    // After a scroll step the row under the mouse has changed: look at it again, which arms the next
    // step while the mouse stays at the edge. One step per tick, never a chain of calls.
    if (RunDragAction(FDragAction) && FDragAction != 0 && FDragging) {
        FDragNode = nullptr;
        DragOverAt(FDragPos);
    }
}

bool TCustomDirTreeView::RunDragAction(uint8_t Action)
{
    if (!FDragNode)
        return false;
    QTreeWidgetItem* Top = itemAt(QPoint(0, 0));
    switch (Action) {
    case 0:
        FDragNode->setExpanded(true);
        return true;
    case 1:
        if (!Top || !itemBelow(FDragNode) || !itemBelow(Top))
            return false;
        scrollToItem(itemBelow(Top), QAbstractItemView::PositionAtTop);
        return true;
    case 2:
        if (!Top || !itemAbove(FDragNode) || !itemAbove(Top))
            return false;
        scrollToItem(itemAbove(Top), QAbstractItemView::PositionAtTop);
        return true;
    default:
        return false;
    }
}
