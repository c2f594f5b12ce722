// Loading a folder into the browser's picture database in steps, and the name index.
#include "browser/BrowserPicDB.h"

#include "platform/SysUtils.h"

#include <QElapsedTimer>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <climits>
#include <sys/stat.h>
#include <unordered_set>

namespace {

// How long one step of the load may take in the GUI thread, and how often steps run.
constexpr int kStepBudgetMs = 25;
constexpr int kStepIntervalMs = 15;

// A regular file that is not a link (the cache is never read through a link).
bool IsPlainFile(const std::string& Path)
{
    struct stat St {};
    return ::lstat(Path.c_str(), &St) == 0 && S_ISREG(St.st_mode);
}

} // namespace

TBrowserPictureDB::TBrowserPictureDB(int CellWidth, int CellHeight, int Margin, TColor SelectColour,
                                     TColor TextColour, TColor SelTextColour)
    : TPictureDB(CellWidth, CellHeight, Margin, SelectColour, TextColour, SelTextColour),
      FCancelled(std::make_shared<std::atomic<bool>>(false))
{
    FStepTimer.setInterval(kStepIntervalMs);
    QObject::connect(&FStepTimer, &QTimer::timeout, &FStepTimer, [this] { Step(kStepBudgetMs); });
}

TBrowserPictureDB::~TBrowserPictureDB()
{
    // The base class saves the cache: it gets what was taken in, laid out without gaps.
    CancelLoad();
}

QThreadPool* TBrowserPictureDB::ThumbnailPool()
{
    // Not the global pool: Qt converts images for painting there, and the window must never wait
    // behind a folder of thumbnails to paint a cell.
    static QThreadPool Pool;
    return &Pool;
}

// ---- Loading -----------------------------------------------------------------------------------------
void TBrowserPictureDB::BeginLoad(const std::string& Dir)
{
    CloseFolder(false);
    FDirectory = IncludeTrailingPathDelimiter(Dir);
    FNameIndexValid = false;
    if (FDirectory.empty())
        return;
    FLoaded = true;
    StartLoad();
}

void TBrowserPictureDB::CloseFolder(bool DeleteCache)
{
    CancelLoad();
    Close(DeleteCache);
    FNameIndexValid = false;
}

void TBrowserPictureDB::StartLoad()
{
    std::vector<picdb::TListedFile> Files;
    try {
        Files = picdb::ListPictureFiles(FDirectory, FileTypes);
    } catch (const Exception&) {
        return; // an unreadable folder shows no pictures
    }
    // The records of the cache whose files are unchanged are shown as they are; changed files get a
    // new thumbnail, files that are gone lose their record, new files go to the end (by type, then
    // name).
    std::vector<std::string> Changed;
    bool FromCache = false;
    if (IsPlainFile(CachePath()) && ReadCache()) {
        try {
            std::unordered_set<std::string> Known;
            std::vector<std::unique_ptr<TFileRecord>> Kept;
            for (auto& R : FRecords) {
                Known.insert(R->Name);
                int32_t Age = 0;
                if (!picdb::GetFileAge(FDirectory + R->Name, Age)) {
                    FHasGaps = FLoadChanged = true;
                    continue;
                }
                if (Age != R->FileAge)
                    Changed.push_back(R->Name);
                Kept.push_back(std::move(R));
            }
            FRecords.swap(Kept);
            LayoutCells();
            std::erase_if(Files, [&](const picdb::TListedFile& F) { return Known.count(F.Name) != 0; });
            std::sort(Files.begin(), Files.end(), [](const picdb::TListedFile& A, const picdb::TListedFile& B) {
                if (A.TypeIndex != B.TypeIndex)
                    return A.TypeIndex < B.TypeIndex;
                return picdb::CompareFileNames(A.Name, B.Name) < 0;
            });
            FromCache = true;
        } catch (...) {
            // A cache that cannot be used is deleted and the folder made anew.
            Close(true);
            FLoaded = true;
            Changed.clear();
            FHasGaps = FLoadChanged = false;
        }
    }
    if (!FromCache)
        std::sort(Files.begin(), Files.end(), [](const picdb::TListedFile& A, const picdb::TListedFile& B) {
            return picdb::CompareFileNames(A.Name, B.Name) < 0;
        });
    FNameIndexValid = false;
    for (const std::string& Name : Changed)
        Queue(Name, true);
    for (const picdb::TListedFile& File : Files)
        Queue(File.Name, false);
    if (FPending.empty()) {
        EndLoad(false);
        return;
    }
    if (OnProgressStart)
        OnProgressStart(this, PendingCount());
    FStepTimer.start();
}

void TBrowserPictureDB::Queue(const std::string& Name, bool Replace)
{
    TPendingThumbnail Item;
    Item.Name = Name;
    Item.Replace = Replace;
    Item.Job = QtConcurrent::run(ThumbnailPool(),
                                 [Path = FDirectory + Name, W = MaxThumbWidth, H = MaxThumbHeight,
                                  Cancelled = FCancelled]() -> picdb::TThumbnail {
                                     if (Cancelled->load(std::memory_order_relaxed))
                                         return picdb::TThumbnail();
                                     return picdb::MakeThumbnail(Path, W, H);
                                 });
    FPending.push_back(std::move(Item));
}

void TBrowserPictureDB::Step(int BudgetMs)
{
    QElapsedTimer Clock;
    Clock.start();
    int First = INT_MAX;
    while (!FPending.empty()) {
        if (BudgetMs >= 0 && !FPending.front().Job.isFinished())
            break;
        TPendingThumbnail Item = std::move(FPending.front());
        FPending.pop_front();
        TakeIn(Item);
        First = std::min(First, Item.Replace ? std::max(FindName(Item.Name), 0) : Count() - 1);
        if (OnProgress)
            OnProgress(this);
        if (BudgetMs >= 0 && Clock.elapsed() >= BudgetMs)
            break;
    }
    if (First != INT_MAX && OnLoadStep)
        OnLoadStep(this, std::max(0, First));
    if (FPending.empty() && FStepTimer.isActive())
        EndLoad(true);
}

void TBrowserPictureDB::TakeIn(TPendingThumbnail& Item)
{
    picdb::TThumbnail Thumb = Item.Job.result();
    if (Item.Replace) {
        const int Index = FindName(Item.Name);
        if (Index < 0)
            return;
        if (!Thumb.Ok) {
            // A changed file that no longer loads leaves the folder's pictures.
            FRecords.erase(FRecords.begin() + Index);
            FNameIndexValid = false;
            FLoadChanged = FHasGaps = true;
            return;
        }
        // Offsets are 32-bit in the cache file: a stream that full keeps the old thumbnail.
        if (Thumbnails.Size() + int64_t(Thumb.Jpeg.size()) > INT32_MAX)
            return;
        FLoadChanged = FHasGaps = true;
        // The new thumbnail goes to the end; the old one is a gap until the load ends.
        TFileRecord& R = *FRecords[static_cast<size_t>(Index)];
        Thumbnails.SetPosition(Thumbnails.Size());
        R.Offset = static_cast<int32_t>(Thumbnails.Position());
        Thumbnails.WriteBuffer(Thumb.Jpeg.data(), static_cast<int64_t>(Thumb.Jpeg.size()));
        R.Length = static_cast<int32_t>(Thumb.Jpeg.size());
        R.FileAge = Thumb.FileAge;
        R.Width = Thumb.Width;
        R.Height = Thumb.Height;
        GetThumbPos(R);
        return;
    }
    // A file added meanwhile by a file action is there already.
    if (FindName(Item.Name) >= 0)
        return;
    Thumbnails.SetPosition(Thumbnails.Size());
    const int Index = AddThumbnail(Item.Name, Thumb);
    if (Index < 0)
        return;
    TFileRecord& R = *FRecords[static_cast<size_t>(Index)];
    try {
        FitCaption(R);
        GetThumbPos(R);
    } catch (...) {
        FRecords.pop_back();
        FHasGaps = true;
        return;
    }
    FLoadChanged = true;
    if (FNameIndexValid)
        FNameIndex.emplace(R.Name, Index);
}

void TBrowserPictureDB::EndLoad(bool ReportEnd)
{
    FStepTimer.stop();
    if (FHasGaps)
        CompactThumbnails();
    if (FLoadChanged)
        FModified = true;
    FHasGaps = FLoadChanged = false;
    if (ReportEnd && OnProgressEnd)
        OnProgressEnd(this);
}

void TBrowserPictureDB::CancelLoad()
{
    if (FPending.empty() && !FHasGaps && !FLoadChanged)
        return;
    const bool WasLoading = !FPending.empty();
    // Jobs that have not started skip their work; running ones finish on their own and are dropped.
    FCancelled->store(true, std::memory_order_relaxed);
    FCancelled = std::make_shared<std::atomic<bool>>(false);
    FPending.clear();
    EndLoad(WasLoading);
}

void TBrowserPictureDB::FinishLoad()
{
    if (!FPending.empty())
        Step(-1);
}

void TBrowserPictureDB::CompactThumbnails()
{
    std::vector<int32_t> Offsets;
    Offsets.reserve(FRecords.size());
    TMemoryStream Packed;
    try {
        for (const auto& R : FRecords) {
            Offsets.push_back(static_cast<int32_t>(Packed.Position()));
            Packed.WriteBuffer(ThumbnailData(*R), R->Length);
        }
    } catch (...) {
        return; // left as it is: gaps waste space but every record still points at its thumbnail
    }
    for (size_t I = 0; I < FRecords.size(); ++I)
        FRecords[I]->Offset = Offsets[I];
    Thumbnails.Bytes().swap(Packed.Bytes());
    Thumbnails.SetPosition(Thumbnails.Size());
    FModified = true;
}

bool TBrowserPictureDB::DropPending(const std::string& Name)
{
    const auto It = std::find_if(FPending.begin(), FPending.end(),
                                 [&](const TPendingThumbnail& P) { return P.Name == Name; });
    if (It == FPending.end())
        return false;
    FPending.erase(It);
    if (OnProgress)
        OnProgress(this);
    return true;
}

bool TBrowserPictureDB::RenamePending(const std::string& OldName, const std::string& NewName)
{
    for (TPendingThumbnail& P : FPending)
        if (P.Name == OldName) {
            P.Name = NewName;
            return true;
        }
    return false;
}

// ---- Records by name -----------------------------------------------------------------------------------
void TBrowserPictureDB::Reindex()
{
    FNameIndex.clear();
    FNameIndex.reserve(FRecords.size());
    for (size_t I = 0; I < FRecords.size(); ++I)
        FNameIndex.emplace(FRecords[I]->Name, static_cast<int>(I)); // the first of equal names wins
    FNameIndexValid = true;
}

int TBrowserPictureDB::FindName(const std::string& Name)
{
    if (!FNameIndexValid)
        Reindex();
    const auto It = FNameIndex.find(Name);
    return It == FNameIndex.end() ? -1 : It->second;
}

bool TBrowserPictureDB::AddPicture(const std::string& FileName)
{
    if (!Add(FileName))
        return false;
    if (FNameIndexValid)
        FNameIndex.emplace(FileName, Count() - 1);
    return true;
}

bool TBrowserPictureDB::UpdatePicture(int Index)
{
    return Update(Index);
}

bool TBrowserPictureDB::DeletePicture(int Index)
{
    FNameIndexValid = false;
    return Delete(Index);
}

bool TBrowserPictureDB::MovePicture(int FromIndex, int ToIndex)
{
    FNameIndexValid = false;
    return Move(FromIndex, ToIndex);
}

bool TBrowserPictureDB::RenamePicture(int Index, const std::string& NewName)
{
    FNameIndexValid = false;
    return Rename(Index, NewName);
}

bool TBrowserPictureDB::SortPictures(int Kind, bool Ascending)
{
    FNameIndexValid = false;
    return Sort(Kind, Ascending);
}
