#pragma once
// The picture database of the browser: one record per picture file of a folder with its size, file
// date and JPEG thumbnail; the layout, sorting and painting of the thumbnail grid's cells; and the
// per-folder cache file "picbrowser.pbf" that lets a folder open again without loading any picture.
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/Jpeg.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
namespace picdb {
struct TThumbnail;
}

// The cache file kept in every browsed folder that holds pictures.
inline constexpr const char* PicBrowserFileName = "picbrowser.pbf";

// One picture of the folder.
struct TFileRecord {
    std::string Name;     // file name without folder, at most 254 bytes
    int32_t Width = 0;    // picture size in pixels
    int32_t Height = 0;
    int32_t FileAge = 0;  // file date and time, packed DOS form (local time)
    int32_t Offset = 0;   // start of the thumbnail JPEG in the thumbnail stream
    int32_t Length = 0;   // byte length of that JPEG
    std::string Caption;  // text under the thumbnail (never saved)
    int32_t CaptionX = 0; // positions inside the cell (never saved)
    int32_t ThumbX = 0;
    int32_t ThumbY = 0;
    // The bytes after the name in its 255-byte field of the cache file, so that a record read from a
    // file is written back as it was; empty means zeros.
    std::string NamePadding;
};

// The cache file in memory while it is read or written.
class TPicBrowserFile : public TMemoryStream {
public:
    int32_t Version() const { return FVersion; }
    // Version 1 or more has the 24-byte header with the magic; 0 or less the bare 4-byte count.
    void SetVersion(int32_t Value)
    {
        FVersion = Value;
        FHeaderSize = Value >= 1 ? 24 : 4;
    }
    int32_t HeaderSize() const { return FHeaderSize; }
    void SetHeaderSize(int32_t Value) { FHeaderSize = Value; }

private:
    int32_t FVersion = 0;
    int32_t FHeaderSize = 4;
};

// Sort kinds.
enum : uint8_t { skName = 0, skDate = 1, skType = 2, skSize = 3 };

class TCustomPictureDB {
public:
    TCustomPictureDB(int CellWidth, int CellHeight, int Margin, TColor SelectColour, TColor TextColour,
                     TColor SelTextColour);
    // Saves the cache of the folder shown (a failure is not reported).
    virtual ~TCustomPictureDB();
    TCustomPictureDB(const TCustomPictureDB&) = delete;
    TCustomPictureDB& operator=(const TCustomPictureDB&) = delete;

    // Before a batch of thumbnails is made (Max files), after each file of it, after the batch.
    std::function<void(TCustomPictureDB* Sender, int Max)> OnProgressStart;
    std::function<void(TCustomPictureDB* Sender)> OnProgress;
    std::function<void(TCustomPictureDB* Sender)> OnProgressEnd;

    // Picture extensions without dot, as a comma list ("bmp,jpg,jpeg,gif").
    void SetFileTypes(const std::string& CommaText);
    // Saves the old folder's cache, then shows Dir: from its cache file when that is readable,
    // otherwise by loading every picture.
    void SetDirectory(const std::string& Dir);
    // Saves the cache (or, with DeleteCache, deletes the cache file), then empties the database.
    void Close(bool DeleteCache);

    int Count() const { return static_cast<int>(FRecords.size()); }
    bool IsValidIndex(int Index) const { return Index >= 0 && Index < Count(); }
    // Null for an invalid index.
    TFileRecord* Records(int Index) const;
    int IndexOf(const TFileRecord* Record) const;
    // The first record with exactly this name, or -1.
    int IndexOfName(const std::string& Name) const;
    // Whether Ext (without dot) is one of the file types, ignoring case.
    bool IsKnownType(const std::string& Ext) const;

    // Single-file changes; each returns whether it was done (False for an invalid index).
    bool Add(const std::string& FileName);
    bool Update(int Index);
    bool Delete(int Index);
    bool Move(int FromIndex, int ToIndex);
    bool Rename(int Index, const std::string& NewName);
    bool Sort(int Kind, bool Ascending);

    // Paints the cell of a record into the one cell bitmap and returns it (owned by the database;
    // copy it at once), or null for an invalid index. A damaged thumbnail raises.
    TBitmap* DrawCell(int Index, bool Selected);
    // The same, drawn onto Painter with the cell's top left at At; False for an invalid index.
    bool DrawCell(int Index, bool Selected, QPainter& Painter, const TPoint& At);

    std::string GetFileName(int Index) const;       // empty for an invalid index
    std::string GetDimensionsText(int Index) const; // "W x H" or "????"
    std::string GetDateText(int Index) const;       // local date and time or "????"

    const std::string& Directory() const { return FDirectory; }
    bool Modified() const { return FModified; }
    uint8_t SortKind() const { return FSortKind; }
    const TRect& GetCellRect() const { return CellRect; }
    int GetMaxThumbWidth() const { return MaxThumbWidth; }
    int GetMaxThumbHeight() const { return MaxThumbHeight; }
    int GetCaptionY() const { return CaptionY; }

protected:
    // Builds the records by loading every picture of the folder.
    void ScanDirectory();
    // Reads the cache file and brings it up to date with the folder; False when it cannot be used.
    bool LoadFromCache();
    // Reads the cache file into the records and thumbnails; False (nothing added) for a file that
    // is short, damaged or points outside itself.
    bool ReadCache();
    // Writes the cache file whole or not at all; False when it could not be written.
    bool WriteCache();
    void SaveCache();
    // Appends a record for Name made from a finished thumbnail; its index or -1.
    int AddThumbnail(const std::string& Name, picdb::TThumbnail& Thumb);
    // Makes the thumbnail of Directory + Name and appends its record; its index or -1.
    int AddFile(const std::string& Name);
    void LayoutCells();
    void FitCaption(TFileRecord& Record);
    void GetThumbPos(TFileRecord& Record);
    // Removes a thumbnail's bytes from the stream, moving what follows down; the end of the moved
    // data.
    int64_t RemoveThumbnail(const TFileRecord& Record);
    // The thumbnail bytes of a record; raises when they do not lie inside the stream.
    const uint8_t* ThumbnailData(const TFileRecord& Record);
    std::string CachePath() const { return FDirectory + PicBrowserFileName; }

    TMemoryStream Thumbnails;
    std::vector<std::unique_ptr<TFileRecord>> FRecords;
    bool FModified = false;
    uint8_t FSortKind = skName;
    TStringList FileTypes;
    std::string FDirectory;
    TJPEGImage Jpeg;
    TBitmap CellBitmap;
    TRect CellRect;
    int32_t MaxThumbHeight = 0;
    int32_t MaxThumbWidth = 0;
    int32_t MaxCaptionWidth = 0;
    int32_t EllipsisWidth = 0;
    int32_t Margin = 0;
    TColor SelectColour = 0;
    TColor TextColour = 0;
    TColor SelTextColour = 0;
    int32_t CaptionY = 0;
    // A folder is loaded: SaveCache has something to save. Close clears it, so that saving again
    // after a Close (the window's destruction) leaves the cache just written alone.
    bool FLoaded = false;
};

class TPictureDB : public TCustomPictureDB {
public:
    using TCustomPictureDB::TCustomPictureDB;
};
