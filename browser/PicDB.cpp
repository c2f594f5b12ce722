// The picture database: records, thumbnails, cell layout and painting, and the folder's cache file.
#include "browser/PicDB.h"

#include "browser/PicDBSupport.h"
#include "image/KTGenUtils.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// ---- Cache file layout (little-endian) ---------------------------------------------------------------
constexpr char kMagic[] = "Picture Browser"; // stored as a short string: length byte 15, then the text
constexpr int kMagicSize = 16;
constexpr int kHeaderSize = kMagicSize + 8; // magic, version, record count
constexpr int kCurrentVersion = 1;
constexpr int kNameFieldSize = 255; // length byte and up to 254 bytes
constexpr int kRecordSize = kNameFieldSize + 5 * 4;

int32_t GetInt32(const uint8_t* P)
{
    return static_cast<int32_t>(uint32_t(P[0]) | (uint32_t(P[1]) << 8) | (uint32_t(P[2]) << 16) |
                                (uint32_t(P[3]) << 24));
}

void PutInt32(std::vector<uint8_t>& Out, int32_t Value)
{
    const uint32_t V = static_cast<uint32_t>(Value);
    Out.insert(Out.end(), {uint8_t(V), uint8_t(V >> 8), uint8_t(V >> 16), uint8_t(V >> 24)});
}

// Whether Path is a symbolic link. The cache file is never read or written through one: a link
// planted in a shared folder must not make the browser overwrite the file it points at.
bool IsLink(const std::string& Path)
{
    struct stat St {};
    return ::lstat(Path.c_str(), &St) == 0 && S_ISLNK(St.st_mode);
}

// Comparisons of the sorts, a before b when negative.
int64_t CompareNames(const TFileRecord& A, const TFileRecord& B)
{
    return picdb::CompareFileNames(A.Name, B.Name);
}

// The packed DOS form grows with the date when read unsigned (years from 2044 set the top bit).
int64_t CompareDates(const TFileRecord& A, const TFileRecord& B)
{
    return int64_t(uint32_t(A.FileAge)) - int64_t(uint32_t(B.FileAge));
}

int64_t CompareTypes(const TFileRecord& A, const TFileRecord& B)
{
    return CompareText(ExtractFileExt(A.Name), ExtractFileExt(B.Name));
}

int64_t CompareAreas(const TFileRecord& A, const TFileRecord& B)
{
    return int64_t(A.Width) * A.Height - int64_t(B.Width) * B.Height;
}

// The raised edge of a button on the cell: light top and left, dark bottom and right, two lines.
void DrawRaisedEdge(TCanvas& Canvas, TRect R)
{
    const TBrush Saved = Canvas.Brush;
    Canvas.Brush.Style = bsSolid;
    const auto Line = [&](TColor Colour, const TRect& Side) {
        Canvas.Brush.Color = Colour;
        Canvas.FillRect(Side);
    };
    for (const auto& [Light, Dark] : {std::pair{cl3DLight, cl3DDkShadow}, {clBtnHighlight, clBtnShadow}}) {
        if (R.Width() <= 0 || R.Height() <= 0)
            break;
        Line(Light, Rect(R.Left, R.Top, R.Right - 1, R.Top + 1));
        Line(Light, Rect(R.Left, R.Top, R.Left + 1, R.Bottom - 1));
        Line(Dark, Rect(R.Left, R.Bottom - 1, R.Right, R.Bottom));
        Line(Dark, Rect(R.Right - 1, R.Top, R.Right, R.Bottom));
        R = InflateRect(R, -1, -1);
    }
    Canvas.Brush = Saved;
}

// Length in bytes of the UTF-8 character starting at Text[I] (a stray byte counts as one).
size_t CharLength(const std::string& Text, size_t I)
{
    const auto Lead = static_cast<unsigned char>(Text[I]);
    size_t N = Lead < 0xC0 ? 1 : Lead < 0xE0 ? 2 : Lead < 0xF0 ? 3 : 4;
    N = std::min(N, Text.size() - I);
    for (size_t K = 1; K < N; ++K)
        if ((static_cast<unsigned char>(Text[I + K]) & 0xC0) != 0x80)
            return K;
    return N;
}

// The most bytes a thumbnail JPEG of the box's size can take: twice its pixels at three bytes
// each (whole 16 x 16 blocks), and room for the tables and markers.
int64_t MaxThumbnailBytes(int MaxW, int MaxH)
{
    const int64_t W = (std::max(MaxW, 1) + 15) / 16 * 16;
    const int64_t H = (std::max(MaxH, picdb::kMinThumbHeight) + 15) / 16 * 16;
    return 6 * W * H + 4096;
}

} // namespace

// ---- Construction ---------------------------------------------------------------------------------
TCustomPictureDB::TCustomPictureDB(int CellWidth, int CellHeight, int AMargin, TColor ASelectColour,
                                   TColor ATextColour, TColor ASelTextColour)
    : Margin(AMargin), SelectColour(ASelectColour), TextColour(ATextColour), SelTextColour(ASelTextColour)
{
    FileTypes.CaseSensitive = false;
    Jpeg.Performance = jpBestSpeed;
    Jpeg.CompressionQuality = 80;
    CellBitmap.SetPixelFormat(pf24bit);
    CellBitmap.SetSize(CellWidth, CellHeight);
    TCanvas& Canvas = CellBitmap.Canvas();
    Canvas.Brush.Color = clBtnFace;
    Canvas.Brush.Style = bsSolid;
    Canvas.FillRect(Rect(0, 0, CellWidth, CellHeight));
    EllipsisWidth = Canvas.TextWidth("...");
    CellRect = Rect(1, 1, CellWidth - 1, CellHeight - 1);
    MaxThumbHeight = CellHeight - 4 * Margin;
    MaxThumbWidth = CellWidth - 2 * Margin;
    MaxCaptionWidth = MaxThumbWidth;
    CaptionY = CellHeight - (Canvas.TextHeight("I") + Margin);
}

TCustomPictureDB::~TCustomPictureDB()
{
    try {
        SaveCache();
    } catch (...) {
        // Saving is best effort; nothing may leave a destructor.
    }
}

void TCustomPictureDB::SetFileTypes(const std::string& CommaText)
{
    FileTypes.Clear();
    size_t Start = 0;
    while (Start <= CommaText.size()) {
        size_t Comma = CommaText.find(',', Start);
        if (Comma == std::string::npos)
            Comma = CommaText.size();
        const std::string Type = Trim(CommaText.substr(Start, Comma - Start));
        if (!Type.empty())
            FileTypes.Add(Type);
        Start = Comma + 1;
    }
}

// ---- Folders ------------------------------------------------------------------------------------------
void TCustomPictureDB::SetDirectory(const std::string& Dir)
{
    Close(false);
    FDirectory = IncludeTrailingPathDelimiter(Dir);
    if (FDirectory.empty())
        return;
    const std::string Cache = CachePath();
    if (!(FileExists(Cache) && !IsLink(Cache) && LoadFromCache()))
        ScanDirectory();
    FLoaded = true;
}

void TCustomPictureDB::Close(bool DeleteCache)
{
    if (DeleteCache) {
        if (!FDirectory.empty())
            ::unlink(CachePath().c_str());
        FModified = false;
    } else {
        SaveCache();
    }
    FRecords.clear();
    Thumbnails.Clear();
    FLoaded = false;
}

void TCustomPictureDB::ScanDirectory()
{
    std::vector<picdb::TListedFile> Files;
    try {
        Files = picdb::ListPictureFiles(FDirectory, FileTypes);
    } catch (const Exception&) {
        return; // an unreadable folder shows no pictures
    }
    if (Files.empty())
        return;
    std::sort(Files.begin(), Files.end(), [](const picdb::TListedFile& A, const picdb::TListedFile& B) {
        return picdb::CompareFileNames(A.Name, B.Name) < 0;
    });
    std::vector<std::string> Paths;
    Paths.reserve(Files.size());
    for (const picdb::TListedFile& File : Files)
        Paths.push_back(FDirectory + File.Name);
    picdb::TThumbnailBatch Batch(Paths, MaxThumbWidth, MaxThumbHeight);
    if (OnProgressStart)
        OnProgressStart(this, Batch.Count());
    for (int I = 0; I < Batch.Count(); ++I) {
        picdb::TThumbnail Thumb = Batch.Take(I);
        AddThumbnail(Files[static_cast<size_t>(I)].Name, Thumb);
        if (OnProgress)
            OnProgress(this);
    }
    LayoutCells();
    if (OnProgressEnd)
        OnProgressEnd(this);
    FModified = true;
}

// ---- The cache file -------------------------------------------------------------------------------------
bool TCustomPictureDB::ReadCache()
{
    try {
        TPicBrowserFile File;
        TFileStream Stream(CachePath(), fmOpenRead | fmShareDenyWrite);
        const int64_t Size = Stream.Size();
        if (Size < kMagicSize)
            return false;
        uint8_t Head[kHeaderSize] = {};
        Stream.ReadBuffer(Head, std::min<int64_t>(Size, kHeaderSize));
        // A file with the magic has the 24-byte header whatever version it carries; one without is
        // the old layout with the bare record count.
        if (Head[0] == kMagicSize - 1 &&
            SameText(std::string(reinterpret_cast<const char*>(Head) + 1, kMagicSize - 1), kMagic)) {
            if (Size < kHeaderSize)
                return false;
            File.SetVersion(GetInt32(Head + kMagicSize));
            File.SetHeaderSize(kHeaderSize);
        } else {
            File.SetVersion(0);
        }
        const int64_t HeaderSize = File.HeaderSize();
        const int32_t N = GetInt32(Head + HeaderSize - 4);
        if (N < 0 || HeaderSize + int64_t(N) * kRecordSize > Size)
            return false;
        // Every record has one thumbnail of at most the box's size: a file much larger than that is
        // no cache of ours, and is refused before it is read.
        if (Size - HeaderSize - int64_t(N) * kRecordSize > int64_t(N) * MaxThumbnailBytes(MaxThumbWidth, MaxThumbHeight))
            return false;
        // The file is read once, from the stream whose size was checked.
        std::vector<uint8_t> Bytes;
        Bytes.resize(static_cast<size_t>(Size));
        Stream.SetPosition(0);
        Stream.ReadBuffer(Bytes.data(), Size);
        const uint8_t* Data = Bytes.data();
        const int64_t RecordsEnd = HeaderSize + int64_t(N) * kRecordSize;
        const int64_t AreaSize = Size - RecordsEnd;
        // Version 0 counts offsets from the start of the file, later versions from the thumbnail area.
        const int64_t Base = File.Version() == 0 ? RecordsEnd : 0;

        std::vector<std::unique_ptr<TFileRecord>> Read;
        Read.reserve(static_cast<size_t>(N));
        std::unordered_set<std::string> Names;
        std::vector<std::pair<int64_t, int64_t>> Ranges;
        Ranges.reserve(static_cast<size_t>(N));
        for (int32_t I = 0; I < N; ++I) {
            const uint8_t* P = Data + HeaderSize + int64_t(I) * kRecordSize;
            auto R = std::make_unique<TFileRecord>();
            const int Len = P[0];
            R->Name.assign(reinterpret_cast<const char*>(P) + 1, static_cast<size_t>(Len));
            if (!picdb::IsStorableName(R->Name) || !Names.insert(R->Name).second)
                return false;
            const uint8_t* Pad = P + 1 + Len;
            const uint8_t* NameEnd = P + kNameFieldSize;
            if (std::any_of(Pad, NameEnd, [](uint8_t B) { return B != 0; }))
                R->NamePadding.assign(reinterpret_cast<const char*>(Pad), static_cast<size_t>(NameEnd - Pad));
            R->FileAge = GetInt32(P + kNameFieldSize);
            R->Width = GetInt32(P + kNameFieldSize + 4);
            R->Height = GetInt32(P + kNameFieldSize + 8);
            const int64_t Offset = int64_t(GetInt32(P + kNameFieldSize + 12)) - Base;
            const int64_t Length = GetInt32(P + kNameFieldSize + 16);
            if (Offset < 0 || Length <= 0 || Offset + Length > AreaSize)
                return false;
            R->Offset = static_cast<int32_t>(Offset);
            R->Length = static_cast<int32_t>(Length);
            Ranges.emplace_back(Offset, Length);
            Read.push_back(std::move(R));
        }
        // No two thumbnails may share bytes: removing one moves the bytes of the others.
        std::sort(Ranges.begin(), Ranges.end());
        for (size_t I = 1; I < Ranges.size(); ++I)
            if (Ranges[I - 1].first + Ranges[I - 1].second > Ranges[I].first)
                return false;

        // The thumbnails take the file's bytes without a second copy.
        Bytes.erase(Bytes.begin(), Bytes.begin() + RecordsEnd);
        Thumbnails.Clear();
        Thumbnails.Bytes().swap(Bytes);
        FRecords = std::move(Read);
        if (File.Version() == 0)
            FModified = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool TCustomPictureDB::WriteCache()
{
    try {
        const std::string Path = CachePath();
        if (IsLink(Path) && ::unlink(Path.c_str()) != 0)
            return false;
        std::vector<uint8_t> Header;
        Header.reserve(kHeaderSize + FRecords.size() * kRecordSize);
        Header.push_back(kMagicSize - 1);
        Header.insert(Header.end(), kMagic, kMagic + kMagicSize - 1);
        PutInt32(Header, kCurrentVersion);
        PutInt32(Header, Count());
        for (const auto& R : FRecords) {
            const size_t Start = Header.size();
            Header.push_back(static_cast<uint8_t>(R->Name.size()));
            Header.insert(Header.end(), R->Name.begin(), R->Name.end());
            const size_t PadSize = kNameFieldSize - 1 - R->Name.size();
            if (R->NamePadding.size() == PadSize)
                Header.insert(Header.end(), R->NamePadding.begin(), R->NamePadding.end());
            else
                Header.resize(Start + kNameFieldSize, 0);
            PutInt32(Header, R->FileAge);
            PutInt32(Header, R->Width);
            PutInt32(Header, R->Height);
            PutInt32(Header, R->Offset);
            PutInt32(Header, R->Length);
        }
        WriteFileAtomically(Path, [&](TStream& Dest) {
            Dest.WriteBuffer(Header.data(), static_cast<int64_t>(Header.size()));
            Thumbnails.SaveToStream(Dest);
        });
        return true;
    } catch (...) {
        return false;
    }
}

void TCustomPictureDB::SaveCache()
{
    if (FDirectory.empty() || !FLoaded)
        return;
    if (FRecords.empty()) {
        // A folder without pictures keeps no cache file.
        ::unlink(CachePath().c_str());
    } else if (FModified) {
        // A folder that cannot be written still browses; its thumbnails just stay in memory.
        WriteCache();
    }
    FModified = false;
}

bool TCustomPictureDB::LoadFromCache()
{
    if (!ReadCache())
        return false;
    try {
        std::unordered_set<std::string> Known;
        for (const auto& R : FRecords)
            Known.insert(R->Name);
        std::vector<picdb::TListedFile> NewFiles;
        for (picdb::TListedFile& File : picdb::ListPictureFiles(FDirectory, FileTypes))
            if (!Known.count(File.Name))
                NewFiles.push_back(std::move(File));

        // What became of each record's file: -1 gone, 0 unchanged, 1 changed.
        std::vector<int> State(FRecords.size());
        bool Stale = !NewFiles.empty();
        for (size_t I = 0; I < FRecords.size(); ++I) {
            int32_t Age = 0;
            if (!picdb::GetFileAge(FDirectory + FRecords[I]->Name, Age))
                State[I] = -1;
            else
                State[I] = Age == FRecords[I]->FileAge ? 0 : 1;
            Stale = Stale || State[I] != 0;
        }

        if (Stale) {
            // New files go to the end, grouped by file type in the order of the types.
            std::sort(NewFiles.begin(), NewFiles.end(), [](const picdb::TListedFile& A, const picdb::TListedFile& B) {
                if (A.TypeIndex != B.TypeIndex)
                    return A.TypeIndex < B.TypeIndex;
                return picdb::CompareFileNames(A.Name, B.Name) < 0;
            });
            std::vector<std::string> Paths;
            for (size_t I = 0; I < FRecords.size(); ++I)
                if (State[I] == 1)
                    Paths.push_back(FDirectory + FRecords[I]->Name);
            const size_t FirstNew = Paths.size();
            for (const picdb::TListedFile& File : NewFiles)
                Paths.push_back(FDirectory + File.Name);
            picdb::TThumbnailBatch Batch(Paths, MaxThumbWidth, MaxThumbHeight);

            std::vector<std::unique_ptr<TFileRecord>> Old;
            Old.swap(FRecords);
            TMemoryStream OldThumbnails;
            OldThumbnails.Bytes().swap(Thumbnails.Bytes());
            Thumbnails.Clear();
            // Files that still do not load change nothing, and then nothing needs writing.
            bool Changed = false;
            int Next = 0;
            for (size_t I = 0; I < Old.size(); ++I) {
                Changed = Changed || State[I] != 0;
                if (State[I] == 0) {
                    TFileRecord& R = *Old[I];
                    const int64_t End = int64_t(R.Offset) + R.Length;
                    if (R.Offset < 0 || R.Length < 0 || End > OldThumbnails.Size())
                        throw EReadError("Stream read error");
                    const int64_t NewOffset = Thumbnails.Position();
                    Thumbnails.WriteBuffer(OldThumbnails.Memory() + R.Offset, R.Length);
                    R.Offset = static_cast<int32_t>(NewOffset);
                    FRecords.push_back(std::move(Old[I]));
                } else if (State[I] == 1) {
                    picdb::TThumbnail Thumb = Batch.Take(Next++);
                    AddThumbnail(Old[I]->Name, Thumb);
                }
            }
            if (!NewFiles.empty()) {
                if (OnProgressStart)
                    OnProgressStart(this, static_cast<int>(NewFiles.size()));
                for (size_t I = 0; I < NewFiles.size(); ++I) {
                    picdb::TThumbnail Thumb = Batch.Take(static_cast<int>(FirstNew + I));
                    Changed = AddThumbnail(NewFiles[I].Name, Thumb) >= 0 || Changed;
                    if (OnProgress)
                        OnProgress(this);
                }
                if (OnProgressEnd)
                    OnProgressEnd(this);
            }
            FModified = FModified || Changed;
        }
        LayoutCells();
        return true;
    } catch (...) {
        Close(true);
        return false;
    }
}

// ---- Records and thumbnails ---------------------------------------------------------------------------
int TCustomPictureDB::AddThumbnail(const std::string& Name, picdb::TThumbnail& Thumb)
{
    if (!Thumb.Ok || !picdb::IsStorableName(Name) || Thumb.Jpeg.empty())
        return -1;
    const int64_t Offset = Thumbnails.Position();
    // Offsets and lengths are 32-bit in the cache file.
    if (Offset + int64_t(Thumb.Jpeg.size()) > INT32_MAX)
        return -1;
    auto R = std::make_unique<TFileRecord>();
    R->Name = Name;
    R->FileAge = Thumb.FileAge;
    R->Width = Thumb.Width;
    R->Height = Thumb.Height;
    R->Offset = static_cast<int32_t>(Offset);
    try {
        Thumbnails.WriteBuffer(Thumb.Jpeg.data(), static_cast<int64_t>(Thumb.Jpeg.size()));
    } catch (...) {
        Thumbnails.SetPosition(Offset);
        return -1;
    }
    R->Length = static_cast<int32_t>(Thumb.Jpeg.size());
    FRecords.push_back(std::move(R));
    return Count() - 1;
}

int TCustomPictureDB::AddFile(const std::string& Name)
{
    if (!picdb::IsStorableName(Name))
        return -1;
    picdb::TThumbnail Thumb = picdb::MakeThumbnail(FDirectory + Name, MaxThumbWidth, MaxThumbHeight);
    return AddThumbnail(Name, Thumb);
}

const uint8_t* TCustomPictureDB::ThumbnailData(const TFileRecord& Record)
{
    if (Record.Offset < 0 || Record.Length <= 0 || int64_t(Record.Offset) + Record.Length > Thumbnails.Size())
        throw EReadError("Stream read error");
    return Thumbnails.Memory() + Record.Offset;
}

void TCustomPictureDB::GetThumbPos(TFileRecord& Record)
{
    int W = 0, H = 0;
    if (!TJPEGImage::ReadHeaderSize(ThumbnailData(Record), static_cast<size_t>(Record.Length), W, H))
        throw EInvalidGraphic("JPEG error #0");
    // Thumbnails made here fit the box. A larger one comes from a damaged or planted cache file, and
    // would make every paint of its cell decode a picture of up to the loader's limit.
    if (W > std::max(MaxThumbWidth, 1) || H > std::max(MaxThumbHeight, picdb::kMinThumbHeight))
        throw EInvalidGraphic("JPEG error #0");
    Record.ThumbX = (MaxThumbWidth - W) / 2 + Margin;
    Record.ThumbY = (MaxThumbHeight - H) / 2 + Margin;
}

void TCustomPictureDB::FitCaption(TFileRecord& Record)
{
    const TCanvas& Canvas = CellBitmap.Canvas();
    const int W = Canvas.TextWidth(Record.Name);
    if (W <= MaxCaptionWidth) {
        Record.Caption = Record.Name;
        Record.CaptionX = (MaxCaptionWidth - W) / 2 + Margin;
        return;
    }
    // The longest prefix of whole characters that leaves room for the ellipsis.
    size_t Fits = 0;
    int FitWidth = 0;
    for (size_t End = 0; End < Record.Name.size();) {
        End += CharLength(Record.Name, End);
        const int PrefixWidth = Canvas.TextWidth(Record.Name.substr(0, End));
        if (PrefixWidth + EllipsisWidth > MaxCaptionWidth)
            break;
        Fits = End;
        FitWidth = PrefixWidth;
    }
    Record.Caption = Record.Name.substr(0, Fits) + "...";
    Record.CaptionX = (MaxCaptionWidth - FitWidth) / 2 + Margin;
}

void TCustomPictureDB::LayoutCells()
{
    for (const auto& R : FRecords) {
        R->Caption.clear();
        FitCaption(*R);
        GetThumbPos(*R);
    }
}

int64_t TCustomPictureDB::RemoveThumbnail(const TFileRecord& Record)
{
    const uint8_t* Start = ThumbnailData(Record);
    const int64_t Size = Thumbnails.Size();
    const int64_t Tail = Size - (int64_t(Record.Offset) + Record.Length);
    std::memmove(const_cast<uint8_t*>(Start), Start + Record.Length, static_cast<size_t>(Tail));
    for (const auto& R : FRecords)
        if (R.get() != &Record && R->Offset > Record.Offset)
            R->Offset -= Record.Length;
    return Size - Record.Length;
}

// ---- Queries -------------------------------------------------------------------------------------------
TFileRecord* TCustomPictureDB::Records(int Index) const
{
    return IsValidIndex(Index) ? FRecords[static_cast<size_t>(Index)].get() : nullptr;
}

int TCustomPictureDB::IndexOf(const TFileRecord* Record) const
{
    for (int I = 0; I < Count(); ++I)
        if (FRecords[static_cast<size_t>(I)].get() == Record)
            return I;
    return -1;
}

int TCustomPictureDB::IndexOfName(const std::string& Name) const
{
    for (int I = 0; I < Count(); ++I)
        if (FRecords[static_cast<size_t>(I)]->Name == Name)
            return I;
    return -1;
}

bool TCustomPictureDB::IsKnownType(const std::string& Ext) const
{
    return FileTypes.IndexOf(Ext) >= 0;
}

std::string TCustomPictureDB::GetFileName(int Index) const
{
    const TFileRecord* R = Records(Index);
    return R ? R->Name : std::string();
}

std::string TCustomPictureDB::GetDimensionsText(int Index) const
{
    const TFileRecord* R = Records(Index);
    return R ? IntToStr(R->Width) + " x " + IntToStr(R->Height) : std::string("????");
}

std::string TCustomPictureDB::GetDateText(int Index) const
{
    const TFileRecord* R = Records(Index);
    QDateTime DateTime;
    if (!R || !picdb::FileAgeToDateTime(R->FileAge, DateTime))
        return "????";
    return picdb::DateTimeToStr(DateTime);
}

// ---- Single-file changes ----------------------------------------------------------------------------------
bool TCustomPictureDB::Add(const std::string& FileName)
{
    try {
        Thumbnails.Seek(0, soEnd);
        const int Index = AddFile(FileName);
        if (Index < 0)
            return false;
        TFileRecord& R = *FRecords[static_cast<size_t>(Index)];
        FitCaption(R);
        GetThumbPos(R);
        FModified = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool TCustomPictureDB::Update(int Index)
{
    if (!IsValidIndex(Index))
        return false;
    TFileRecord& R = *FRecords[static_cast<size_t>(Index)];
    picdb::TThumbnail Thumb = picdb::MakeThumbnail(FDirectory + R.Name, MaxThumbWidth, MaxThumbHeight);
    if (!Thumb.Ok)
        return true; // a missing or unreadable file leaves the record as it was
    try {
        const int64_t End = RemoveThumbnail(R);
        if (End + int64_t(Thumb.Jpeg.size()) > INT32_MAX)
            return false;
        Thumbnails.SetPosition(End);
        Thumbnails.WriteBuffer(Thumb.Jpeg.data(), static_cast<int64_t>(Thumb.Jpeg.size()));
        R.Offset = static_cast<int32_t>(End);
        R.Length = static_cast<int32_t>(Thumb.Jpeg.size());
        R.FileAge = Thumb.FileAge;
        R.Width = Thumb.Width;
        R.Height = Thumb.Height;
        GetThumbPos(R);
        FModified = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool TCustomPictureDB::Delete(int Index)
{
    if (!IsValidIndex(Index))
        return false;
    try {
        const auto Position = FRecords.begin() + Index;
        if (Count() > 1)
            Thumbnails.SetSize(RemoveThumbnail(**Position));
        else
            Thumbnails.Clear();
        FRecords.erase(Position);
        FModified = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool TCustomPictureDB::Move(int FromIndex, int ToIndex)
{
    if (!IsValidIndex(FromIndex) || !IsValidIndex(ToIndex) || FromIndex == ToIndex)
        return false;
    auto Record = std::move(FRecords[static_cast<size_t>(FromIndex)]);
    FRecords.erase(FRecords.begin() + FromIndex);
    FRecords.insert(FRecords.begin() + ToIndex, std::move(Record));
    FModified = true;
    return true;
}

bool TCustomPictureDB::Rename(int Index, const std::string& NewName)
{
    if (!IsValidIndex(Index) || !picdb::IsStorableName(NewName))
        return false;
    try {
        TFileRecord& R = *FRecords[static_cast<size_t>(Index)];
        R.Name = NewName;
        R.NamePadding.clear();
        R.Caption.clear();
        FitCaption(R);
        FModified = true;
        return true;
    } catch (...) {
        return false;
    }
}

bool TCustomPictureDB::Sort(int Kind, bool Ascending)
{
    try {
        FSortKind = static_cast<uint8_t>(Kind);
        const auto Primary = FSortKind == skDate   ? CompareDates
                             : FSortKind == skType ? CompareTypes
                             : FSortKind == skSize ? CompareAreas
                                                   : CompareNames;
        // The name breaks ties in the sort's direction, except by size, where it is always ascending.
        const bool TieAscending = FSortKind == skSize || Ascending;
        std::sort(FRecords.begin(), FRecords.end(),
                  [&](const std::unique_ptr<TFileRecord>& A, const std::unique_ptr<TFileRecord>& B) {
                      int64_t C = Ascending ? Primary(*A, *B) : Primary(*B, *A);
                      if (C == 0)
                          C = TieAscending ? CompareNames(*A, *B) : CompareNames(*B, *A);
                      return C < 0;
                  });
        FModified = true;
        return true;
    } catch (...) {
        return false;
    }
}

// ---- Painting -------------------------------------------------------------------------------------------
TBitmap* TCustomPictureDB::DrawCell(int Index, bool Selected)
{
    const TFileRecord* R = Records(Index);
    if (!R)
        return nullptr;
    TBitmap Thumb;
    const auto Decode = [&] {
        TBytesStream Source(ThumbnailData(*R), R->Length);
        Jpeg.LoadFromStream(Source);
        Jpeg.AssignTo(Thumb);
    };
    try {
        Decode();
    } catch (const Exception&) {
        // A cached thumbnail that does not decode is made again from its picture (and the cache is
        // written with it), so that it fails once rather than on every opening of the folder.
        Update(Index);
        Decode();
    }
    TCanvas& Canvas = CellBitmap.Canvas();
    Canvas.Brush.Style = bsSolid;
    Canvas.Brush.Color = Selected ? SelectColour : clBtnFace;
    Canvas.Font.Color = Selected ? SelTextColour : TextColour;
    Canvas.FillRect(CellRect);
    DrawRaisedEdge(Canvas, CellRect);
    Canvas.Draw(R->ThumbX, R->ThumbY, Thumb);
    Canvas.TextOut(R->CaptionX, CaptionY, R->Caption);
    return &CellBitmap;
}

bool TCustomPictureDB::DrawCell(int Index, bool Selected, QPainter& Painter, const TPoint& At)
{
    TBitmap* Cell = DrawCell(Index, Selected);
    if (!Cell)
        return false;
    Painter.drawImage(QPoint(At.X, At.Y), Cell->AsQImage());
    return true;
}
