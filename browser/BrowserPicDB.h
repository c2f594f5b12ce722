#pragma once
// The browser window's picture database: the folder is loaded without blocking the window. What the
// cache file holds is shown at once; the thumbnails still to be made (new files, changed files, or
// every file of a folder without a cache) are made on the worker-thread pool and taken in, in
// order, by a timer on the GUI thread in short steps, each followed by OnLoadStep. Loading another
// folder, or closing, cancels the load in progress; what was taken in by then is kept and cached.
//
// It also finds a record by name in constant time on average, kept current by the operations
// below (use them instead of the base class's Add, Delete, Move, Rename and Sort).
#include "browser/PicDB.h"
#include "browser/PicDBSupport.h"

#include <QFuture>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

class TBrowserPictureDB : public TPictureDB {
public:
    TBrowserPictureDB(int CellWidth, int CellHeight, int Margin, TColor SelectColour, TColor TextColour,
                      TColor SelTextColour);
    ~TBrowserPictureDB() override;

    // Saves the old folder's cache and shows Dir: the cached records at once, the rest as their
    // thumbnails come in. Progress: OnProgressStart(number of thumbnails to make), OnProgress after
    // each one taken in, OnProgressEnd when the last one was.
    void BeginLoad(const std::string& Dir);
    // The load in progress stops; its remaining thumbnails are not made.
    void CancelLoad();
    // Empties the database as Close does, cancelling a load first.
    void CloseFolder(bool DeleteCache);
    bool Loading() const { return !FPending.empty(); }
    int PendingCount() const { return static_cast<int>(FPending.size()); }
    // Takes in every thumbnail of the load now, waiting for those still being made.
    void FinishLoad();
    // A file that was still waiting for its thumbnail was removed or renamed meanwhile.
    bool DropPending(const std::string& Name);
    bool RenamePending(const std::string& OldName, const std::string& NewName);

    // The threads that make the thumbnails (one per core unless set otherwise).
    static QThreadPool* ThumbnailPool();

    // Records were added or changed by the load; FirstChanged is the lowest index that changed.
    std::function<void(TBrowserPictureDB* Sender, int FirstChanged)> OnLoadStep;

    // The index of the record named exactly Name, or -1.
    int FindName(const std::string& Name);

    bool AddPicture(const std::string& FileName);
    bool UpdatePicture(int Index);
    bool DeletePicture(int Index);
    bool MovePicture(int FromIndex, int ToIndex);
    bool RenamePicture(int Index, const std::string& NewName);
    bool SortPictures(int Kind, bool Ascending);

private:
    struct TPendingThumbnail {
        std::string Name;
        bool Replace = false; // a changed file: its record gets the new thumbnail (or goes)
        QFuture<picdb::TThumbnail> Job;
    };

    // Lists the folder, reads the cache when there is a usable one and queues what must be made.
    void StartLoad();
    // Takes in the finished thumbnails, in order, for about Budget milliseconds (all when negative).
    void Step(int BudgetMs);
    void TakeIn(TPendingThumbnail& Item);
    // Ends the load: the thumbnails packed, the database marked modified when the load changed it,
    // OnProgressEnd when ReportEnd.
    void EndLoad(bool ReportEnd);
    // Writes the thumbnails back to back in record order (replaced ones leave gaps while loading).
    void CompactThumbnails();
    void Queue(const std::string& Name, bool Replace);
    void Reindex();

    std::deque<TPendingThumbnail> FPending;
    std::shared_ptr<std::atomic<bool>> FCancelled;
    QTimer FStepTimer;
    bool FHasGaps = false;
    bool FLoadChanged = false;
    std::unordered_map<std::string, int> FNameIndex;
    bool FNameIndexValid = false;
};
