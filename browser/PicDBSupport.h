#pragma once
// What the picture database needs from the file system and from the picture loader: the folder's
// picture files, file dates in packed DOS form and their text, and thumbnails made on worker threads.
#include <QDateTime>
#include <QFuture>

#include <atomic>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

class TStringList;

namespace picdb {

// ---- File names and dates ---------------------------------------------------------------------------
// A name the cache file can hold and that names a file of the folder itself: 1 to 254 bytes, no '/',
// no NUL, neither "." nor "..".
bool IsStorableName(const std::string& Name);

// Seconds since the epoch as a packed DOS date and time of the local time zone (two-second steps;
// dates before 1980 become 1980-01-01 00:00:00, dates after 2107 the last second of 2107).
int32_t UnixTimeToFileAge(time_t Time);
// The date of a regular file (a link is followed); False when there is none.
bool GetFileAge(const std::string& Path, int32_t& FileAge);
// A packed DOS date as a local date-time; False for a value that names no real date.
bool FileAgeToDateTime(int32_t FileAge, QDateTime& DateTime);
// The locale's short date and long time (without time zone); only the date at midnight exactly.
std::string DateTimeToStr(const QDateTime& DateTime);

// One picture file of a folder and the position of its extension in the file types.
struct TListedFile {
    std::string Name;
    int TypeIndex = 0;
};
// The regular files (or links to them) of Directory whose extension is one of FileTypes (ignoring
// case), hidden files left out, in no particular order. Raises when the folder cannot be read.
std::vector<TListedFile> ListPictureFiles(const std::string& Directory, const TStringList& FileTypes);
// Case-insensitive order with the exact text as the tie-break: a strict order of distinct names.
int CompareFileNames(const std::string& A, const std::string& B);

// ---- Thumbnails ----------------------------------------------------------------------------------------
// The size a W x H picture is shrunk to for a MaxW x MaxH box: to fit, keeping its aspect (never
// enlarged), and at least 1 x 1. A thumbnail lower than kMinThumbHeight is then padded to it.
constexpr int kMinThumbHeight = 2;
void ThumbnailSize(int W, int H, int MaxW, int MaxH, int& NewW, int& NewH);

struct TThumbnail {
    bool Ok = false;
    int32_t FileAge = 0;
    int32_t Width = 0;  // the picture's own size
    int32_t Height = 0;
    std::vector<uint8_t> Jpeg; // the thumbnail, quality 80
};
// Loads a picture file by its content and makes its thumbnail. Keeps no state between calls, so it
// runs on several threads at once; any failure gives a result that is not Ok.
TThumbnail MakeThumbnail(const std::string& Path, int MaxW, int MaxH) noexcept;

// Thumbnails of several files made on the worker-thread pool, taken in order on the calling thread.
class TThumbnailBatch {
public:
    TThumbnailBatch(const std::vector<std::string>& Paths, int MaxW, int MaxH);
    // Jobs that have not started are skipped; those running are waited for.
    ~TThumbnailBatch();
    TThumbnailBatch(const TThumbnailBatch&) = delete;
    TThumbnailBatch& operator=(const TThumbnailBatch&) = delete;
    int Count() const { return static_cast<int>(FJobs.size()); }
    // Waits for the thumbnail of Paths[Index] and hands it over.
    TThumbnail Take(int Index);

private:
    std::shared_ptr<std::atomic<bool>> FCancelled;
    std::vector<QFuture<TThumbnail>> FJobs;
};

} // namespace picdb
