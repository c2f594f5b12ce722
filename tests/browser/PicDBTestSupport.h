#pragma once
// Folders of generated pictures for the picture database tests, and a database with its internals
// opened up.
#include "browser/PicDB.h"
#include "browser/PicDBSupport.h"
#include "platform/Graphics.h"
#include "platform/Jpeg.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <vector>

namespace picdbtest {

// The browser's cell: 110 x 130, margin 8; thumbnails fit 94 x 98.
constexpr int kCellW = 110, kCellH = 130, kMargin = 8;
constexpr TColor kSelect = 0x00C08000, kSelText = clWhite;

// A picture with a pattern of its own: Seed shifts the colours.
inline void FillPattern(TBitmap& B, int Seed)
{
    for (int Y = 0; Y < B.Height(); ++Y) {
        TRGBTriple* Row = B.Row24(Y);
        for (int X = 0; X < B.Width(); ++X)
            Row[X] = TRGBTriple{uint8_t(X * 3 + Seed * 40), uint8_t(Y * 5 + Seed * 17), uint8_t(Seed * 60 + (X ^ Y))};
    }
}

inline void FillSolid(TBitmap& B, TColor C)
{
    for (int Y = 0; Y < B.Height(); ++Y) {
        TRGBTriple* Row = B.Row24(Y);
        for (int X = 0; X < B.Width(); ++X)
            Row[X] = TRGBTriple{GetBValue(C), GetGValue(C), GetRValue(C)};
    }
}

inline void WriteBmp(const std::string& Path, int W, int H, int Seed = 0)
{
    TBitmap B(W, H, pf24bit);
    FillPattern(B, Seed);
    B.SaveToFile(Path);
}

inline void WriteJpeg(const std::string& Path, int W, int H, int Seed = 0)
{
    TBitmap B(W, H, pf24bit);
    FillPattern(B, Seed);
    TJPEGImage J;
    J.Assign(B);
    J.SaveToFile(Path);
}

inline void WriteSolidJpeg(const std::string& Path, int W, int H, TColor C)
{
    TBitmap B(W, H, pf24bit);
    FillSolid(B, C);
    TJPEGImage J;
    J.Assign(B);
    J.SaveToFile(Path);
}

inline void WriteText(const std::string& Path, const std::string& Text)
{
    std::ofstream(Path, std::ios::binary) << Text;
}

inline std::vector<uint8_t> ReadBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(In), {});
}

inline void WriteBytes(const std::string& Path, const std::vector<uint8_t>& Bytes)
{
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(Bytes.data()),
                                                static_cast<std::streamsize>(Bytes.size()));
}

// Local time to seconds since the epoch.
inline time_t LocalTime(int Year, int Month, int Day, int Hour, int Minute, int Second)
{
    struct tm T {};
    T.tm_year = Year - 1900;
    T.tm_mon = Month - 1;
    T.tm_mday = Day;
    T.tm_hour = Hour;
    T.tm_min = Minute;
    T.tm_sec = Second;
    T.tm_isdst = -1;
    return mktime(&T);
}

inline void SetFileTime(const std::string& Path, time_t When)
{
    struct timeval Times[2] = {{When, 0}, {When, 0}};
    ASSERT_EQ(::utimes(Path.c_str(), Times), 0);
}

inline int32_t FileAgeOf(const std::string& Path)
{
    int32_t Age = 0;
    EXPECT_TRUE(picdb::GetFileAge(Path, Age)) << Path;
    return Age;
}

// A temporary folder, with its path ending in '/'.
struct TFolder {
    QTemporaryDir Dir;
    std::string Path = Dir.path().toStdString() + "/";
    std::string operator/(const std::string& Name) const { return Path + Name; }
    std::string Cache() const { return Path + PicBrowserFileName; }
};

// A database with its internals reachable, counting its progress events.
class TTestDB : public TPictureDB {
public:
    TTestDB() : TPictureDB(kCellW, kCellH, kMargin, kSelect, clBlack, kSelText)
    {
        SetFileTypes("bmp,jpg,jpeg,gif");
        OnProgressStart = [this](TCustomPictureDB*, int Max) { Events.push_back("start " + std::to_string(Max)); };
        OnProgress = [this](TCustomPictureDB*) { Events.push_back("step " + std::to_string(Count())); };
        OnProgressEnd = [this](TCustomPictureDB*) { Events.push_back("end"); };
    }
    using TCustomPictureDB::ReadCache;
    using TCustomPictureDB::WriteCache;
    std::vector<std::string> Events;
    int64_t ThumbnailsSize() { return Thumbnails.Size(); }

    std::vector<std::string> Names() const
    {
        std::vector<std::string> Out;
        for (int I = 0; I < Count(); ++I)
            Out.push_back(Records(I)->Name);
        return Out;
    }
    // The size of a record's thumbnail, read from its JPEG header.
    std::pair<int, int> ThumbSize(int Index)
    {
        const TFileRecord* R = Records(Index);
        int W = 0, H = 0;
        EXPECT_TRUE(TJPEGImage::ReadHeaderSize(Thumbnails.Memory() + R->Offset, size_t(R->Length), W, H));
        return {W, H};
    }
    // A record's thumbnail, decoded.
    void ThumbBitmap(int Index, TBitmap& Out)
    {
        const TFileRecord* R = Records(Index);
        TJPEGImage J;
        TBytesStream S(Thumbnails.Memory() + R->Offset, R->Length);
        J.LoadFromStream(S);
        J.AssignTo(Out);
    }
};

// Builds cache files by hand, field by field.
struct TCacheWriter {
    std::vector<uint8_t> Bytes;
    void Int32(int32_t V)
    {
        const uint32_t U = uint32_t(V);
        Bytes.insert(Bytes.end(), {uint8_t(U), uint8_t(U >> 8), uint8_t(U >> 16), uint8_t(U >> 24)});
    }
    void Magic(const std::string& Text = "Picture Browser")
    {
        Bytes.push_back(uint8_t(Text.size()));
        Bytes.insert(Bytes.end(), Text.begin(), Text.end());
    }
    // The 255-byte name field (Pad fills the bytes after the name), then the five numbers.
    void Record(const std::string& Name, int32_t Age, int32_t W, int32_t H, int32_t Offset, int32_t Length,
                uint8_t Pad = 0, int LengthByte = -1)
    {
        const size_t Start = Bytes.size();
        Bytes.push_back(uint8_t(LengthByte >= 0 ? LengthByte : int(Name.size())));
        Bytes.insert(Bytes.end(), Name.begin(), Name.end());
        Bytes.resize(Start + 255, Pad);
        Int32(Age);
        Int32(W);
        Int32(H);
        Int32(Offset);
        Int32(Length);
    }
    void Append(const std::vector<uint8_t>& More) { Bytes.insert(Bytes.end(), More.begin(), More.end()); }
};

// A small JPEG file's bytes.
inline std::vector<uint8_t> JpegBytes(int W, int H, int Seed)
{
    TBitmap B(W, H, pf24bit);
    FillPattern(B, Seed);
    TJPEGImage J;
    J.Assign(B);
    TMemoryStream S;
    J.SaveToStream(S);
    return S.Bytes();
}

} // namespace picdbtest
