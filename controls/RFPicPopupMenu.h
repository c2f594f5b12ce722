#pragma once
// The recent-files menus: a list of the most recently used picture files, newest first, and its
// descendant that shows every file with a thumbnail, makes the thumbnails on worker threads and keeps
// them between runs in the thumbnail file "Canvello.rfp" of the per-user data folder.
//
// "Canvello.rfp" (integers 32-bit little-endian):
//   0   16  header name: length byte (0..15), the characters, zeros
//   16  4   header value: the file version, 1
//   20  4   record count N
//   24  N x 264 records: name (length byte 0..255, the characters, zeros), absolute offset of the
//           thumbnail's BMP image or -1, the file age recorded with the thumbnail
//   then the thumbnails, 24-bit BMP file images, in record order.
#include "platform/Classes.h"
#include "platform/Graphics.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QPainter;
class TRecentFileItem;
class TRecentFilesPopupMenu;
class TRecentFilesPicPreviewThread;

CANVELLO_EXCEPTION(ERecentFilesPopUpMenuError, Exception)

namespace rfpic {

inline constexpr const char* kThumbnailFileName = "Canvello.rfp";
// The thumbnail file of the program: kThumbnailFileName in the per-user data folder.
std::string ThumbnailFilePath();

// Thumbnails fit a box of this size.
inline constexpr int kThumbBoxWidth = 80;
inline constexpr int kThumbBoxHeight = 70;
// The thumbnail size of a W x H picture: a picture that fits the box keeps its size, a larger one is
// shrunk to touch the box with its longer side (never below one pixel).
void ThumbnailSize(int W, int H, int& NewW, int& NewH);
// Loads a picture file by its content and shrinks it into Thumbnail (24-bit). False, with Thumbnail
// empty, when the file gives no picture. Keeps no state between calls (runs on several threads).
bool MakeThumbnail(const std::string& FileName, TBitmap& Thumbnail) noexcept;

} // namespace rfpic

using TRecentFileNotifyEvent = std::function<void(TRecentFileItem* Sender)>;
using TRecentFilePopupEvent = std::function<void(TRecentFilesPopupMenu* Sender, TRecentFileItem* Item)>;

// One file of a recent-files menu; owned by the menu.
class TRecentFileItem : public QAction {
public:
    TRecentFileItem(const std::string& FileName, QObject* Parent);

    // The file's full path, shown exactly (no character becomes an accelerator).
    const std::string& FileName() const { return FFileName; }
    void SetFileName(const std::string& Value);
    // The thumbnail, empty for none; shown as the item's icon.
    const TBitmap& Bitmap() const { return FBitmap; }
    // A 24-bit copy of Value (null or empty: no thumbnail).
    void SetBitmap(const TBitmap* Value);
    // The file's age when its thumbnail was made (thumbnail menus).
    int32_t Tag = 0;
    // Runs when the item is chosen.
    TRecentFileNotifyEvent OnClick;

private:
    friend class TRecentFilesPopupMenu;
    friend class TRecentFilesPicPopupMenu;
    void ShowBitmap();
    std::string FFileName;
    TBitmap FBitmap;
    // The preview thread working for the item, 0 for none.
    uint64_t FPreview = 0;
};

class TRecentFilesPopupMenu : public QMenu {
public:
    explicit TRecentFilesPopupMenu(QWidget* Parent = nullptr);
    ~TRecentFilesPopupMenu() override;

    // The most items kept (5).
    uint8_t MaxFileList() const { return FMaxFileList; }
    // A smaller value drops the oldest items.
    void SetMaxFileList(uint8_t Value);
    // Becomes the OnClick of every item made.
    TRecentFileNotifyEvent DefaultOnItemClick;
    TRecentFilePopupEvent OnAddItem;
    TRecentFilePopupEvent OnDeleteItem;

    int Count() const { return static_cast<int>(FItems.size()); }
    bool ValidIndex(int Index) const { return Index >= 0 && Index < Count(); }
    // Item Index; ERecentFilesPopUpMenuError "Invalid item index %d" outside the list.
    TRecentFileItem* Items(int Index) const;
    std::string GetFileName(int Index) const;
    virtual void SetFileName(int Index, const std::string& Name);
    // The first item of exactly this name (file names are case-sensitive here), or -1.
    int IndexOfFile(const std::string& Name) const;

    // A new item at the end (no trimming: used when the list is loaded).
    TRecentFileItem* AppendFile(const std::string& Name);
    // Puts the file first and answers item 0: a new file is inserted and the oldest items beyond
    // MaxFileList dropped; a listed one moves up by rotating the items' contents (the items keep
    // their places).
    virtual TRecentFileItem* AddFile(const std::string& Name);
    // OnDeleteItem, then the item leaves the menu and is freed.
    void DeleteItem(int Index);
    void DeleteFile(const std::string& Name);
    // Frees every item, without OnDeleteItem.
    virtual void Clear();

    // The item of this menu showing Action, or null.
    TRecentFileItem* ItemOf(const QAction* Action) const;

protected:
    virtual void DoAddItem(TRecentFileItem* Item);
    virtual void DoDeleteItem(TRecentFileItem* Item);

private:
    TRecentFileItem* NewItem(const std::string& Name, int Index);
    void RemoveItem(int Index);
    void CheckIndex(int Index) const;
    uint8_t FMaxFileList = 5;
    std::vector<TRecentFileItem*> FItems;
};

// The header and records of a thumbnail file over a stream (the file itself, or a temporary file
// that replaces it whole). Every count and offset read is checked against the stream; a damaged
// file raises EReadError.
class TPicPopupThumbnailFile {
public:
    static constexpr int32_t kHeaderSize = 24;
    static constexpr int32_t kRecordSize = 264;
    static constexpr int kMaxHeaderName = 15;
    static constexpr int kMaxFileName = 255;

    TPicPopupThumbnailFile(TStream& Stream, bool ReadOnly);

    const std::string& HeaderName() const { return FHeaderName; }
    // Stores Name cut to kMaxHeaderName characters.
    void SetHeaderName(const std::string& Name);
    int32_t HeaderValue = 0;
    int32_t Count() const { return FCount; }

    // Header name and value at offset 0.
    void WriteHeader();
    // True when the stored name has at most 15 characters and equals HeaderName ignoring case; only
    // then the header value is read.
    bool ReadHeader();
    // The record count; raises for a count the stream cannot hold.
    int32_t ReadCount();
    // Stores N, writes it and sizes the stream to the header and N records.
    void SetCount(int32_t N);
    // Record Index; the thumbnail (when Bitmap is given and not empty) goes to the end of the stream.
    // A name longer than kMaxFileName is refused, never cut.
    void WriteRecord(int Index, const std::string& FileName, const TBitmap* Bitmap, int32_t Age);
    // Record Index: its name and age and, when Bitmap is given, the thumbnail (24-bit; empty for
    // none). False, with FileName empty, for an index outside the records.
    bool ReadRecord(int Index, std::string& FileName, TBitmap* Bitmap, int32_t& Age);

private:
    void CheckWritable() const;
    void ReadThumbnail(int64_t Offset, TBitmap& Bitmap);
    TStream& FStream;
    bool FReadOnly;
    std::string FHeaderName;
    int32_t FCount = 0;
    int64_t FSize = 0; // the stream's size when the count was read
};

// Shared between a thumbnail menu and its preview threads: where results go while the menu lives.
struct TPreviewHandover;

// The recent-files menu with thumbnails.
class TRecentFilesPicPopupMenu : public TRecentFilesPopupMenu {
public:
    static constexpr int32_t kFileVersion = 1;

    explicit TRecentFilesPicPopupMenu(QWidget* Parent = nullptr);
    // Preview threads still working hand nothing over; the menu waits a short while for them and
    // leaves the rest to finish on their own.
    ~TRecentFilesPicPopupMenu() override;

    // The thumbnail file; empty after construction.
    std::string FileNamePath;
    const std::string& FileHeaderName() const { return FFileHeaderName; }
    // Cut to 15 characters.
    void SetFileHeaderName(const std::string& Value);
    // Set only while the thumbnail file is being read.
    bool Loading() const { return FLoading; }
    // Brings the items up to date whenever the menu is about to show.
    bool AutoUpdateOnPopup = true;
    // Each item is drawn off screen first, then copied.
    bool DoubleBuffered = false;

    // Drops the items of files that are gone or have no thumbnail (an item whose thumbnail is still
    // being made keeps its place) and remakes the thumbnails of changed files: on a thread each when
    // Threaded, else at once.
    void UpdateItems(bool Threaded);
    // Shows the menu at a screen point.
    void Popup(int X, int Y);
    // The size of an item with a thumbnail BitmapHeight high, from the style's size.
    static void MeasureItem(int BitmapHeight, int& Width, int& Height);
    // Draws an item into Rect of Painter.
    void DrawItem(QPainter& Painter, const TRecentFileItem& Item, const QRect& Rect, bool Selected) const;

    // Writes the thumbnail file whole or not at all (files whose names do not fit a record are left
    // out). False on failure; the old file then stays.
    bool SaveToFile();
    // Reads the thumbnail file and appends its files that still exist. False, adding nothing, for a
    // missing file, another header or a damaged file.
    bool LoadFromFile();

    // Starts the queued preview threads, waits up to TimeoutMs for them and hands their thumbnails
    // over; true when none is left working. (Queued ones count as running.)
    bool WaitForPreviews(int TimeoutMs);
    int PreviewsRunning() const;

protected:
    void DoAddItem(TRecentFileItem* Item) override;
    bool event(QEvent* Event) override;

private:
    friend class TRecentFilesPicPreviewThread;
    // Gives Item a new ticket and queues its preview thread.
    void StartPreview(TRecentFileItem* Item);
    // Starts the queued preview threads.
    void StartPendingPreviews();
    // On the GUI thread: the result of preview Ticket for FileName (null when it failed).
    void PreviewDone(uint64_t Ticket, const std::string& FileName, const TBitmap* Thumbnail);
    void PaintItem(QPainter& Painter, const TRecentFileItem& Item, const QRect& Rect, bool Selected) const;
    // Deletes the threads that have finished; waits for the others until Deadline (ms since epoch).
    void ReapThreads(int64_t DeadlineMs);

    std::string FFileHeaderName = "Pic Popup File";
    bool FLoading = false;
    uint64_t FLastTicket = 0;
    std::shared_ptr<TPreviewHandover> FHandover;
    std::vector<QPointer<TRecentFilesPicPreviewThread>> FThreads;
    std::vector<std::pair<uint64_t, std::string>> FPendingPreviews; // ticket, file name
};
