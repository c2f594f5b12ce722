// Fuzzes the reader of the recent-files thumbnail file "Canvello.rfp". The input becomes the thumbnail
// file of the per-user data folder (a temporary one), and a thumbnail menu reads it the way the main
// window does. A folder of the temporary area holds two small pictures, so that records naming
// them list a file: its stored thumbnail is taken when the file age matches, else it is made
// again. The menu then brings its items up to date, draws each one and writes the file again; a
// second menu reading that file must list the same files in the same order.
//
// Exceptions derived from Exception are clean refusals; crashes, hangs, sanitizer reports, any other
// exception and a broken check are findings.
//
// With CANVELLO_FUZZ_SEEDS=DIR the target writes valid thumbnail files into DIR as seeds when it
// starts; scripts/fuzz.sh does that before a run.
#include "controls/RFPicPopupMenu.h"
#include "platform/Jpeg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace {

// The header name the main window writes into "Canvello.rfp" (its recent-files menu's
// SetFileHeaderName("Canvello RFP")); a file of another header name is refused.
const char* const kHeaderName = "Canvello RFP";
// The pictures' file date: fixed, and read in UTC, so that the seeds' file ages match on every run.
constexpr time_t kPictureTime = 1592222400; // 2020-06-15 12:00:00
const char* const kPictures[] = {"a.bmp", "b.jpg"};

std::string Folder; // of the pictures, ends in '/'

void Check(bool Ok, const char* What)
{
    if (!Ok) {
        std::fprintf(stderr, "check failed: %s\n", What);
        std::abort();
    }
}

void WriteFile(const std::string& Path, const uint8_t* Data, size_t Size)
{
    QFile Out(QString::fromStdString(Path));
    Check(Out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              Out.write(reinterpret_cast<const char*>(Data), qint64(Size)) == qint64(Size),
          "the input is written");
}

// A W x H picture of colour ramps, dated kPictureTime. Written under another name and renamed, so
// that parallel runs sharing the folder never see a picture half written.
void WritePicture(const char* Name, int W, int H)
{
    TBitmap B(W, H, pf24bit);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            B.Row24(Y)[X] = TRGBTriple{uint8_t(X * 20), uint8_t(Y * 28), uint8_t(X ^ Y)};
    const std::string Path = Folder + Name, Part = Path + "." + std::to_string(::getpid());
    if (std::strstr(Name, ".jpg")) {
        TJPEGImage J;
        J.Assign(B);
        J.SaveToFile(Part);
    } else {
        B.SaveToFile(Part);
    }
    const struct timeval Times[2] = {{kPictureTime, 0}, {kPictureTime, 0}};
    Check(::utimes(Part.c_str(), Times) == 0 && std::rename(Part.c_str(), Path.c_str()) == 0, "the picture is written");
}

void MakeFolders()
{
    // The pictures lie in a folder of fixed name, so that the seeds and the corpus name them in
    // every run and in every parallel job.
    Folder = (QDir::tempPath() + "/canvello-fuzz-rfp-pictures/").toStdString();
    Check(QDir().mkpath(QString::fromStdString(Folder)), "the pictures' folder");
    WritePicture(kPictures[0], 12, 9);
    // Larger than the thumbnail box: its thumbnail is shrunk.
    WritePicture(kPictures[1], 100, 50);
    // The per-user data folder, removed when the program ends.
    static QTemporaryDir Data(QDir::tempPath() + "/canvello-fuzz-rfp-XXXXXX");
    Check(Data.isValid(), "a temporary folder");
    qputenv("XDG_DATA_HOME", Data.path().toUtf8());
}

std::string ThumbnailFile()
{
    const std::string Path = rfpic::ThumbnailFilePath();
    Check(!Path.empty(), "a data folder");
    return Path;
}

std::vector<std::string> Names(const TRecentFilesPopupMenu& Menu)
{
    std::vector<std::string> Result;
    for (int I = 0; I < Menu.Count(); ++I)
        Result.push_back(Menu.GetFileName(I));
    return Result;
}

struct TMenu {
    TMenu()
    {
        Menu.SetFileHeaderName(kHeaderName);
        Menu.FileNamePath = ThumbnailFile();
    }
    ~TMenu()
    {
        Menu.WaitForPreviews(10000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TRecentFilesPicPopupMenu Menu;
};

// The menu's thumbnails file as the menu writes it, with both pictures (and, for the second seed, a
// name of a file that is gone and a record whose thumbnail was still being made).
void WriteSeeds(const std::string& Dir)
{
    const auto Keep = [&](const char* Name) {
        const QString Seed = QString::fromStdString(Dir + "/" + Name);
        QFile::remove(Seed);
        Check(QFile::copy(QString::fromStdString(ThumbnailFile()), Seed), "the seed is kept");
    };
    {
        TMenu M;
        for (const char* Name : kPictures)
            M.Menu.AddFile(Folder + Name);
        Check(M.Menu.WaitForPreviews(10000), "the thumbnails are made");
        Check(M.Menu.SaveToFile(), "the seed is written");
    }
    Keep("recent-files-two.rfp");
    {
        TMenu M;
        M.Menu.AppendFile(Folder + "gone.bmp");
        M.Menu.AppendFile(Folder + kPictures[1]);
        Check(M.Menu.SaveToFile(), "the seed is written");
    }
    Keep("recent-files-waiting.rfp");
}

// Listed files are distinct, exist, and carry a 24-bit thumbnail that fits the box, or none.
void CheckItems(const TRecentFilesPicPopupMenu& Menu)
{
    std::set<std::string> Seen;
    for (int I = 0; I < Menu.Count(); ++I) {
        const TRecentFileItem& Item = *Menu.Items(I);
        Check(Seen.insert(Item.FileName()).second, "distinct names");
        Check(::FileAge(Item.FileName()) != -1, "listed files exist");
        const TBitmap& B = Item.Bitmap();
        if (!B.Empty()) {
            Check(B.PixelFormat() == pf24bit, "24-bit thumbnails");
            Check(B.Width() <= rfpic::kThumbBoxWidth && B.Height() <= rfpic::kThumbBoxHeight,
                  "thumbnails fit the box");
        }
    }
}

void DrawItems(const TRecentFilesPicPopupMenu& Menu)
{
    QImage Image(320, 80, QImage::Format_RGB32);
    QPainter Painter(&Image);
    for (int I = 0; I < Menu.Count(); ++I)
        Menu.DrawItem(Painter, *Menu.Items(I), QRect(0, 0, 320, 80), I % 2 == 1);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    MakeFolders();
    // The menu is a widget: it needs the application object.
    static QApplication App(*Argc, *Argv);
    QDir().mkpath(QFileInfo(QString::fromStdString(ThumbnailFile())).absolutePath());
    if (const char* Seeds = std::getenv("CANVELLO_FUZZ_SEEDS"))
        WriteSeeds(Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    WriteFile(ThumbnailFile(), Data, Size);
    std::vector<std::string> Left;
    {
        TMenu M;
        const bool Loaded = M.Menu.LoadFromFile();
        Check(!M.Menu.Loading(), "loading ends");
        Check(Loaded || M.Menu.Count() == 0, "a refused file adds nothing");
        CheckItems(M.Menu);
        DrawItems(M.Menu);
        Check(M.Menu.WaitForPreviews(10000), "the thumbnails are made");
        M.Menu.UpdateItems(false);
        CheckItems(M.Menu);
        DrawItems(M.Menu);
        Left = Names(M.Menu);
        Check(M.Menu.SaveToFile(), "the file is written again");
    }
    TMenu Again;
    Check(Again.Menu.LoadFromFile(), "the file written is read again");
    Check(Names(Again.Menu) == Left, "the files written are listed again in their order");
    CheckItems(Again.Menu);
    return 0;
}
