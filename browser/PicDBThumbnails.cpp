// Making thumbnails: pictures loaded by their content, JPEG files decoded at a reduced scale, shrunk
// by area averaging and stored as JPEG; several files at once on the worker-thread pool.
#include "browser/PicDBSupport.h"

#include "image/BitmapUtils.h"
#include "image/ScaledPicture.h"
#include "platform/Jpeg.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <sys/stat.h>

namespace picdb {

void ThumbnailSize(int W, int H, int MaxW, int MaxH, int& NewW, int& NewH)
{
    NewW = W;
    NewH = H;
    if (W <= 0 || H <= 0 || MaxW <= 0 || MaxH <= 0)
        return;
    const double Aspect = double(H) / double(W);
    if (double(H) / double(MaxH) >= double(W) / double(MaxW)) {
        if (H > MaxH) {
            NewW = static_cast<int>(Trunc(MaxH / Aspect));
            NewH = MaxH;
        }
    } else if (W > MaxW) {
        NewW = MaxW;
        NewH = static_cast<int>(Trunc(MaxW * Aspect));
    }
    // A very narrow or very flat picture keeps one column or row rather than vanishing.
    NewW = std::max(NewW, 1);
    NewH = std::max(NewH, 1);
}

TThumbnail MakeThumbnail(const std::string& Path, int MaxW, int MaxH) noexcept
{
    TThumbnail Result;
    try {
        TFileStream Stream(Path, fmOpenRead | fmShareDenyWrite);
        struct stat St {};
        if (::fstat(Stream.Handle(), &St) != 0 || !S_ISREG(St.st_mode))
            return Result;
        // A JPEG file is decoded at the smallest scale that holds twice the thumbnail's size.
        TScaledPicture Picture;
        int W = 0, H = 0;
        Picture.LoadScaled(Stream, [MaxW, MaxH](int PW, int PH, int& TW, int& TH) {
            ThumbnailSize(PW, PH, MaxW, MaxH, TW, TH);
        }, W, H);
        if (Picture.Empty())
            return Result;
        int NewW = 0, NewH = 0;
        ThumbnailSize(W, H, MaxW, MaxH, NewW, NewH);
        SmoothResizeBitmap(Picture, NewW, NewH);
        if (NewH < kMinThumbHeight) {
            // A thumbnail one row high gets a second row of the cell's background.
            Picture.SetHeight(kMinThumbHeight);
            Picture.Canvas().Brush.Color = clBtnFace;
            Picture.Canvas().Brush.Style = bsSolid;
            Picture.Canvas().FillRect(Rect(0, NewH, NewW, kMinThumbHeight));
        }
        TJPEGImage Image;
        Image.CompressionQuality = 80;
        Image.Assign(Picture);
        TMemoryStream Out;
        Image.SaveToStream(Out);
        Result.Jpeg = std::move(Out.Bytes());
        Result.FileAge = UnixTimeToFileAge(St.st_mtim.tv_sec);
        Result.Width = W;
        Result.Height = H;
        Result.Ok = true;
    } catch (...) {
        // An unreadable file simply gets no thumbnail.
        Result = TThumbnail();
    }
    return Result;
}

TThumbnailBatch::TThumbnailBatch(const std::vector<std::string>& Paths, int MaxW, int MaxH)
    : FCancelled(std::make_shared<std::atomic<bool>>(false))
{
    FJobs.reserve(Paths.size());
    for (const std::string& Path : Paths) {
        FJobs.push_back(QtConcurrent::run(QThreadPool::globalInstance(),
                                          [Path, MaxW, MaxH, Cancelled = FCancelled]() -> TThumbnail {
                                              if (Cancelled->load(std::memory_order_relaxed))
                                                  return TThumbnail();
                                              return MakeThumbnail(Path, MaxW, MaxH);
                                          }));
    }
}

TThumbnailBatch::~TThumbnailBatch()
{
    FCancelled->store(true, std::memory_order_relaxed);
    for (QFuture<TThumbnail>& Job : FJobs)
        Job.waitForFinished();
}

TThumbnail TThumbnailBatch::Take(int Index)
{
    QFuture<TThumbnail>& Job = FJobs.at(static_cast<size_t>(Index));
    TThumbnail Result = Job.result();
    Job = QFuture<TThumbnail>(); // the result is not kept twice
    return Result;
}

} // namespace picdb
