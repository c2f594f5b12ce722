#pragma once
// Common ground of the GIF codec: its exception and warning path, the item and list bases, the
// header with the logical screen descriptor, colour maps, data sub-block helpers and the scan-line
// wrappers through which the codec reads and writes bitmaps.
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TGIFImage;
class TGIFHeader;
class TGIFSubImage;

// ---- Errors and warnings ------------------------------------------------------------------------
CANVELLO_EXCEPTION(GIFException, EInvalidGraphic)

[[noreturn]] void GIFError(const std::string& Message);

// Raises GIFException when a picture of W x H pixels passes the limits on decoded pictures
// (sides up to 65535, at most 2^28 pixels). Used before anything is allocated for outside data.
void CheckGIFSize(int64_t W, int64_t H);

// Warning severity; every warning of the codec passes gsWarning.
using TGIFSeverity = uint8_t;
constexpr TGIFSeverity gsWarning = 1;

// GIF versions: none, "87a", "89a".
enum TGIFVersion : int { gvUnknown = 0, gv87a = 1, gv89a = 2 };

// A palette as the codec hands it to and takes it from bitmaps (blue, green, red, reserved per
// entry); empty means "no palette".
using TGIFPalette = std::vector<TRGBQuad>;

// ---- Stream helpers -----------------------------------------------------------------------------
// 0 for N = 0; 1 for N = 1 or 2; else the smallest B with 2^B >= N.
int BitsForColorCount(int N);
void WriteByte(TStream& Stream, uint8_t Value);
// One byte; 0 when nothing could be read.
uint8_t ReadByte(TStream& Stream);
// One byte into Value; false (Value untouched) at the end of the stream.
bool TryReadByte(TStream& Stream, uint8_t& Value);
// Exactly Count bytes, else GIFException "Premature end of data".
void ReadExact(TStream& Stream, void* Buffer, int64_t Count);
// Skips data sub-blocks up to and including the terminator (or to the end of the stream).
void SkipSubBlocks(TStream& Stream);
// Each line as data sub-blocks of at most 255 bytes (an empty line writes nothing), then one 0.
void WriteSubBlockStrings(TStream& Stream, const TStringList& Strings);
// Each sub-block up to the terminator becomes one line.
void ReadSubBlockStrings(TStream& Stream, TStringList& Strings);
// Sets the bitmap's pixel format; an 8-bit bitmap gets a fresh colour table.
void SafeSetPixelFormat(TBitmap& Bitmap, TPixelFormat PixelFormat);

// ---- Item and list bases ------------------------------------------------------------------------
// Base of the header, the frames, the extensions and the trailer.
class TGIFItem {
public:
    explicit TGIFItem(TGIFImage* Image) : FImage(Image) {}
    virtual ~TGIFItem() = default;
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    TGIFImage* Image() const { return FImage; }
    virtual int GetVersion() const { return gv87a; }
    // Forwards to the owning image's Warning with this item as sender.
    virtual void Warning(TGIFSeverity Severity, const std::string& Message);
    virtual void SaveToStream(TStream& Stream) = 0;
    virtual void LoadFromStream(TStream& Stream) = 0;
    void SaveToFile(const std::string& FileName);
    void LoadFromFile(const std::string& FileName);

protected:
    TGIFImage* FImage;
};

// Base of the frame list and of a frame's extension list; owns its items. An item that is
// destroyed leaves its list through Remove.
class TGIFList {
public:
    explicit TGIFList(TGIFImage* Image) : FImage(Image) {}
    virtual ~TGIFList();
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    TGIFImage* Image() const { return FImage; }
    // Raises EListError "List index out of bounds (%d)" for a bad index.
    TGIFItem* GetItem(int Index) const { return static_cast<TGIFItem*>(FItems.Get(Index)); }
    int Count() const { return FItems.Count(); }
    int IndexOf(const TGIFItem* Item) const { return FItems.IndexOf(const_cast<TGIFItem*>(Item)); }
    int Add(TGIFItem* Item) { return FItems.Add(Item); }
    void Delete(int Index);               // removes and frees
    void Remove(TGIFItem* Item);          // removes without freeing
    void Clear();                         // frees every item
    virtual void Warning(TGIFSeverity Severity, const std::string& Message);
    virtual void SaveToStream(TStream& Stream);

protected:
    TGIFImage* FImage;
    TList FItems;
};

// ---- Colour maps ----------------------------------------------------------------------------------
#pragma pack(push, 1)
// One colour-table entry as it stands in the stream.
struct TGIFColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    friend constexpr bool operator==(const TGIFColor&, const TGIFColor&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TGIFColor) == 3);

struct TUsageCount {
    int32_t Usage = 0;
    int32_t Index = 0;
};
using TColormapHistogram = std::array<TUsageCount, 256>;
using TColormapReverse = std::array<uint8_t, 256>; // old index -> new index

inline constexpr TGIFColor ColorToGIFColor(TColor C)
{
    return {static_cast<uint8_t>(C & 0xFF), static_cast<uint8_t>((C >> 8) & 0xFF),
            static_cast<uint8_t>((C >> 16) & 0xFF)};
}
inline constexpr TColor GIFColorToColor(const TGIFColor& C) { return RGB(C.Red, C.Green, C.Blue); }

// A colour table of at most 256 entries.
class TGIFColorMap {
public:
    TGIFColorMap() = default;
    virtual ~TGIFColorMap() = default;
    TGIFColorMap(const TGIFColorMap&) = delete;
    TGIFColorMap& operator=(const TGIFColorMap&) = delete;

    int Count() const { return FCount; }
    int Capacity() const { return FCapacity; }
    // The entries (Capacity of them allocated, Count in use); nullptr when none.
    const TGIFColor* Colors() const { return FColors.empty() ? nullptr : FColors.data(); }
    TGIFColor* Colors() { return FColors.empty() ? nullptr : FColors.data(); }
    // The table is ordered by use; written as the sort flag.
    bool Optimized = false;

    void Clear();
    void SetCapacity(int Size);
    int Add(TColor Color);
    int AddUnique(TColor Color);
    void Delete(int Index);
    int IndexOf(TColor Color) const;
    // A bad index warns "Invalid color index" and gives entry 0 ("Color table is empty" when none).
    TColor GetColor(int Index);
    void ImportPalette(const TGIFPalette& Palette);
    void ImportColorTable(const TRGBQuad* Quads, int N);
    // The colour table of an indexed bitmap.
    void ImportDIBColors(const TBitmap& Bitmap);
    TGIFPalette ExportPalette() const;
    void Assign(const TGIFColorMap& Source);
    void LoadFromStream(TStream& Stream, int N);
    void SaveToStream(TStream& Stream, int Entries) const;
    int BitsPerPixel() const { return BitsForColorCount(FCount); }
    // Orders the entries by use, dropping unused ones from the end; false for fewer than 2.
    bool DoOptimize();

    // Forwards to the owner's image with this map as sender.
    virtual void Warning(TGIFSeverity Severity, const std::string& Message);
    virtual void BuildHistogram(TColormapHistogram& Histogram) = 0;
    virtual void MapImages(const TColormapReverse& Map) = 0;
    virtual bool Optimize() = 0;
    virtual void Changed() = 0;
    // The image of the map's owner; null when there is none.
    virtual TGIFImage* Image() const = 0;

private:
    std::vector<TGIFColor> FColors;
    int FCount = 0;
    int FCapacity = 0;
};

// The global colour table, owned by the header.
class TGIFGlobalColorMap : public TGIFColorMap {
public:
    explicit TGIFGlobalColorMap(TGIFHeader* Owner) : FOwner(Owner) {}
    TGIFHeader* Owner() const { return FOwner; }
    TGIFImage* Image() const override;
    void BuildHistogram(TColormapHistogram& Histogram) override;
    void MapImages(const TColormapReverse& Map) override;
    bool Optimize() override;
    void Changed() override;

private:
    TGIFHeader* FOwner;
};

// A frame's local colour table.
class TGIFLocalColorMap : public TGIFColorMap {
public:
    explicit TGIFLocalColorMap(TGIFSubImage* Owner) : FOwner(Owner) {}
    TGIFSubImage* Owner() const { return FOwner; }
    TGIFImage* Image() const override;
    void BuildHistogram(TColormapHistogram& Histogram) override;
    void MapImages(const TColormapReverse& Map) override;
    bool Optimize() override;
    void Changed() override;

private:
    TGIFSubImage* FOwner;
};

// ---- Header -------------------------------------------------------------------------------------
// The logical screen descriptor: 7 bytes, little-endian.
struct TGIFScreenDescriptor {
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t Packed = 0; // bit 7 global table; bits 4-6 colour resolution; bit 3 sort; bits 0-2 size
    uint8_t BackgroundColorIndex = 0;
    uint8_t AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
public:
    explicit TGIFHeader(TGIFImage* Image);
    ~TGIFHeader() override = default;

    void Clear();
    void Assign(const TGIFHeader& Source);
    void Assign(const TGIFColorMap& Source);
    int GetVersion() const override;
    TColor GetBackgroundColor();
    int BitsPerPixel() const { return ColorMap.BitsPerPixel(); }
    int ColorResolution() const { return ColorMap.BitsPerPixel() - 1; }
    // Recomputes the packed byte from the image before writing.
    void Prepare();
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;

    TGIFScreenDescriptor Descriptor;
    TGIFGlobalColorMap ColorMap{this};
};

// ---- Scan-line access -----------------------------------------------------------------------------
// A scan-line view of a bitmap (not owned).
class TDIB {
public:
    TDIB(TBitmap& Bitmap, TPixelFormat PixelFormat) : Bitmap(Bitmap), PixelFormat(PixelFormat) {}
    virtual ~TDIB() = default;
    TDIB(const TDIB&) = delete;
    TDIB& operator=(const TDIB&) = delete;
    virtual uint8_t* ScanLine(int Row) { return Bitmap.ScanLine(Row); }

    TBitmap& Bitmap;
    TPixelFormat PixelFormat;
};

// Switches the bitmap to PixelFormat and reads its rows.
class TDIBReader : public TDIB {
public:
    TDIBReader(TBitmap& Bitmap, TPixelFormat PixelFormat);
};

// Prepares the bitmap for writing: Width x Height, PixelFormat (pf8bit or pf24bit) and a copy of
// Palette as its colour table. "Unsupported PixelFormat" is checked before "Invalid image dimensions".
class TDIBWriter : public TDIB {
public:
    TDIBWriter(TBitmap& Bitmap, TPixelFormat PixelFormat, int Width, int Height, const TGIFPalette& Palette);

    TGIFPalette Palette;
    int Height;
    int Width;
};
