// Fuzzes the reader of the browser's per-folder cache file "picbrowser.pbf". The input becomes the
// cache file of a temporary folder that holds two small pictures, and the folder is opened the way
// the browser opens it: the cache is read and brought up to date with the folder (or refused, and
// the folder scanned). Every cell is then painted (which decodes the cached thumbnails), a few
// single-file changes are made, and the folder is closed, which writes the cache again. A second
// database opening the folder afterwards must find at least the records the first one left.
//
// Exceptions derived from Exception are clean refusals; crashes, hangs, sanitizer reports, any other
// exception and a broken check are findings.
//
// With CANVELLO_FUZZ_SEEDS=DIR the target writes valid cache files of its folder (the current layout
// and the old one) into DIR as seeds when it starts; scripts/fuzz.sh does that before a run.
#include "browser/PicDB.h"
#include "platform/Graphics.h"
#include "platform/Jpeg.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <sys/time.h>
#include <unordered_set>
#include <vector>

namespace {

// The browser's cell: thumbnails fit 94 x 98.
constexpr int kCellW = 110, kCellH = 130, kMargin = 8;
// The pictures' file date: fixed, and read in UTC, so that the seeds' file ages match on every run.
constexpr time_t kPictureTime = 1592222400; // 2020-06-15 12:00:00
const char* const kPictures[] = {"a.jpg", "b.bmp"};

std::string Folder; // ends in '/'

class TFuzzDB : public TPictureDB {
public:
    TFuzzDB() : TPictureDB(kCellW, kCellH, kMargin, 0x00C08000, clBlack, clWhite)
    {
        SetFileTypes("bmp,jpg,jpeg,gif");
    }
    int64_t ThumbnailsSize() { return Thumbnails.Size(); }
};

void WriteFile(const std::string& Path, const uint8_t* Data, size_t Size)
{
    std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    if (!Out) {
        std::fprintf(stderr, "cannot write %s\n", Path.c_str());
        std::abort();
    }
}

std::vector<uint8_t> ReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), {});
}

void Check(bool Ok, const char* What)
{
    if (!Ok) {
        std::fprintf(stderr, "check failed: %s\n", What);
        std::abort();
    }
}

void MakeFolder()
{
    std::string Template = (std::filesystem::temp_directory_path() / "canvello-fuzz-picdb-XXXXXX").string();
    Check(::mkdtemp(Template.data()) != nullptr, "mkdtemp");
    Folder = Template + "/";
    std::atexit([] {
        std::error_code Ignored;
        std::filesystem::remove_all(Folder, Ignored);
    });

    TBitmap B(12, 9, pf24bit);
    for (int Y = 0; Y < B.Height(); ++Y)
        for (int X = 0; X < B.Width(); ++X)
            B.Row24(Y)[X] = TRGBTriple{uint8_t(X * 20), uint8_t(Y * 28), uint8_t(X ^ Y)};
    TJPEGImage J;
    J.Assign(B);
    J.SaveToFile(Folder + kPictures[0]);
    B.SaveToFile(Folder + kPictures[1]);
    for (const char* Name : kPictures) {
        const struct timeval Times[2] = {{kPictureTime, 0}, {kPictureTime, 0}};
        Check(::utimes((Folder + Name).c_str(), Times) == 0, "utimes");
    }
}

int32_t Int32At(const std::vector<uint8_t>& B, size_t At)
{
    return int32_t(uint32_t(B[At]) | uint32_t(B[At + 1]) << 8 | uint32_t(B[At + 2]) << 16 | uint32_t(B[At + 3]) << 24);
}

void PutInt32(std::vector<uint8_t>& B, size_t At, int32_t V)
{
    for (int K = 0; K < 4; ++K)
        B[At + size_t(K)] = uint8_t(uint32_t(V) >> (8 * K));
}

// The cache a scan of the folder writes, and the same in the old layout: the bare count, and
// offsets counted from the start of the file.
void WriteSeeds(const std::string& Dir)
{
    std::filesystem::remove(Folder + PicBrowserFileName);
    {
        TFuzzDB DB;
        DB.SetDirectory(Folder);
    }
    const std::vector<uint8_t> Current = ReadFile(Folder + PicBrowserFileName);
    Check(Current.size() > 24, "the scan wrote a cache");
    WriteFile(Dir + "/picdb-cache-v1.pbf", Current.data(), Current.size());

    constexpr size_t kRecordSize = 275;
    std::vector<uint8_t> Old(Current.begin() + 20, Current.end());
    const int32_t N = Int32At(Old, 0);
    const int32_t RecordsEnd = 4 + N * int32_t(kRecordSize);
    for (int32_t I = 0; I < N; ++I) {
        const size_t At = 4 + size_t(I) * kRecordSize + 255 + 12;
        PutInt32(Old, At, Int32At(Old, At) + RecordsEnd);
    }
    WriteFile(Dir + "/picdb-cache-v0.pbf", Old.data(), Old.size());
}

// Records point inside the thumbnails, name distinct files of the folder, and paint or refuse cleanly.
void CheckAndPaint(TFuzzDB& DB)
{
    Check(DB.Count() <= int(std::size(kPictures)), "no more records than pictures");
    std::unordered_set<std::string> Names;
    for (int I = 0; I < DB.Count(); ++I) {
        const TFileRecord& R = *DB.Records(I);
        Check(Names.insert(R.Name).second, "distinct names");
        Check(R.Name == kPictures[0] || R.Name == kPictures[1], "names of the folder's pictures");
        Check(R.Offset >= 0 && R.Length > 0 && int64_t(R.Offset) + R.Length <= DB.ThumbnailsSize(),
              "thumbnail inside the stream");
        DB.GetDateText(I);
        DB.GetDimensionsText(I);
        try {
            DB.DrawCell(I, I % 2 == 1);
        } catch (const Exception&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Text is measured and drawn with Qt's fonts, which need the application object.
    static QGuiApplication App(*Argc, *Argv);
    MakeFolder();
    if (const char* Seeds = std::getenv("CANVELLO_FUZZ_SEEDS"))
        WriteSeeds(Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Cache = Folder + PicBrowserFileName;
    WriteFile(Cache, Data, Size);
    const uint8_t Ops = Size ? Data[Size - 1] : 0;

    std::vector<std::string> Left;
    {
        TFuzzDB DB;
        DB.SetDirectory(Folder);
        CheckAndPaint(DB);
        // Changes that move thumbnail bytes and records about, chosen by the input's last byte.
        if (Ops & 1)
            DB.Sort((Ops >> 1) & 3, (Ops & 8) != 0);
        if (Ops & 16)
            DB.Move(0, 1);
        if (Ops & 32)
            DB.Update(0);
        if (Ops & 64)
            DB.Delete(Ops & 128 ? 1 : 0);
        CheckAndPaint(DB);
        for (int I = 0; I < DB.Count(); ++I)
            Left.push_back(DB.Records(I)->Name);
        DB.Close(false);
    }
    if (!Left.empty()) {
        // What the first database kept (or found unchanged) opens again in the same order; files it
        // dropped come after.
        TFuzzDB Again;
        Again.SetDirectory(Folder);
        CheckAndPaint(Again);
        Check(Again.Count() >= int(Left.size()), "the records written are read again");
        for (size_t I = 0; I < Left.size(); ++I)
            Check(Again.Records(int(I))->Name == Left[I], "the records written keep their order");
        Again.Close(true);
    }
    return 0;
}
