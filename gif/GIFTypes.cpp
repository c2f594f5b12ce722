// Items, lists, colour maps, the header and the stream helpers of the GIF codec.
#include "gif/GIFTypes.h"

#include "gif/GIFExtensions.h"
#include "gif/GIFFrames.h"
#include "gif/GIFImage.h"
#include "gif/gifstrings.h"
#include "platform/DecodeBudget.h"

#include <algorithm>
#include <cctype>
#include <cstring>

using namespace gifstrings;

// ---- Errors -------------------------------------------------------------------------------------

void GIFError(const std::string& Message)
{
    throw GIFException(Message);
}

void CheckGIFSize(int64_t W, int64_t H)
{
    try {
        CheckPictureSize(W, H);
    } catch (const EInvalidGraphic& E) {
        GIFError(E.Message);
    }
}

// ---- Stream helpers -----------------------------------------------------------------------------

int BitsForColorCount(int N)
{
    if (N <= 0)
        return 0;
    int Bits = 1;
    while ((int64_t(1) << Bits) < N)
        ++Bits;
    return Bits;
}

void WriteByte(TStream& Stream, uint8_t Value)
{
    Stream.WriteBuffer(&Value, 1);
}

uint8_t ReadByte(TStream& Stream)
{
    uint8_t Value = 0;
    TryReadByte(Stream, Value);
    return Value;
}

bool TryReadByte(TStream& Stream, uint8_t& Value)
{
    uint8_t B;
    if (Stream.Read(&B, 1) != 1)
        return false;
    Value = B;
    return true;
}

void ReadExact(TStream& Stream, void* Buffer, int64_t Count)
{
    if (Count <= 0)
        return;
    if (Stream.Read(Buffer, Count) != Count)
        GIFError(sOutOfData);
}

void SkipSubBlocks(TStream& Stream)
{
    uint8_t N;
    while (TryReadByte(Stream, N) && N != 0)
        Stream.Seek(N, soCurrent);
}

void WriteSubBlockStrings(TStream& Stream, const TStringList& Strings)
{
    for (int i = 0; i < Strings.Count(); ++i) {
        const std::string& Line = Strings[i];
        size_t Pos = 0;
        while (Pos < Line.size()) {
            const size_t N = std::min<size_t>(Line.size() - Pos, 255);
            WriteByte(Stream, static_cast<uint8_t>(N));
            Stream.WriteBuffer(Line.data() + Pos, static_cast<int64_t>(N));
            Pos += N;
        }
    }
    WriteByte(Stream, 0);
}

void ReadSubBlockStrings(TStream& Stream, TStringList& Strings)
{
    Strings.Clear();
    uint8_t N;
    char Buffer[255];
    while (TryReadByte(Stream, N) && N != 0) {
        ReadExact(Stream, Buffer, N);
        Strings.Add(std::string(Buffer, N));
    }
}

void SafeSetPixelFormat(TBitmap& Bitmap, TPixelFormat PixelFormat)
{
    Bitmap.SetPixelFormat(PixelFormat);
}

// ---- Item and list bases ------------------------------------------------------------------------

void TGIFItem::Warning(TGIFSeverity Severity, const std::string& Message)
{
    if (FImage)
        FImage->Warning(this, Severity, Message);
}

void TGIFItem::SaveToFile(const std::string& FileName)
{
    TFileStream Stream(FileName, fmCreate);
    SaveToStream(Stream);
}

void TGIFItem::LoadFromFile(const std::string& FileName)
{
    TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(Stream);
}

TGIFList::~TGIFList()
{
    Clear();
}

void TGIFList::Delete(int Index)
{
    TGIFItem* Item = GetItem(Index);
    FItems.Delete(Index);
    delete Item;
}

void TGIFList::Remove(TGIFItem* Item)
{
    FItems.Remove(Item);
}

void TGIFList::Clear()
{
    // From the end, so that each removal is cheap; items leave the list before they are freed.
    while (FItems.Count() > 0)
        Delete(FItems.Count() - 1);
}

void TGIFList::Warning(TGIFSeverity Severity, const std::string& Message)
{
    if (FImage)
        FImage->Warning(this, Severity, Message);
}

void TGIFList::SaveToStream(TStream& Stream)
{
    for (int i = 0; i < Count(); ++i)
        GetItem(i)->SaveToStream(Stream);
}

// ---- Colour maps --------------------------------------------------------------------------------

void TGIFColorMap::Clear()
{
    FColors.clear();
    FColors.shrink_to_fit();
    FCount = 0;
    FCapacity = 0;
    Optimized = false;
}

void TGIFColorMap::SetCapacity(int Size)
{
    if (Size < FCapacity)
        return;
    int NewCapacity = Size <= 16 ? 16 : (Size + 31) / 32 * 32;
    NewCapacity = std::min(NewCapacity, 256);
    FCapacity = NewCapacity;
    FColors.resize(static_cast<size_t>(NewCapacity));
}

int TGIFColorMap::Add(TColor Color)
{
    if (FCount >= 256)
        GIFError(sTooManyColors);
    if (FCount >= FCapacity)
        SetCapacity(FCount + 1);
    FColors[static_cast<size_t>(FCount)] = ColorToGIFColor(Color);
    ++FCount;
    Optimized = false;
    Changed();
    return FCount - 1;
}

int TGIFColorMap::AddUnique(TColor Color)
{
    const int Index = IndexOf(Color);
    return Index >= 0 ? Index : Add(Color);
}

void TGIFColorMap::Delete(int Index)
{
    if (Index < 0 || Index >= FCount)
        GIFError(sBadColorIndex);
    std::copy(FColors.begin() + Index + 1, FColors.begin() + FCount, FColors.begin() + Index);
    --FCount;
    Optimized = false;
    Changed();
}

int TGIFColorMap::IndexOf(TColor Color) const
{
    const TGIFColor C = ColorToGIFColor(Color);
    if (Optimized) {
        for (int i = 0; i < FCount; ++i)
            if (FColors[static_cast<size_t>(i)] == C)
                return i;
    } else {
        for (int i = FCount - 1; i >= 0; --i)
            if (FColors[static_cast<size_t>(i)] == C)
                return i;
    }
    return -1;
}

TColor TGIFColorMap::GetColor(int Index)
{
    if (Index < 0 || Index >= FCount) {
        Warning(gsWarning, sBadColorIndex);
        if (FCount == 0)
            GIFError(sEmptyColorMap);
        Index = 0;
    }
    return GIFColorToColor(FColors[static_cast<size_t>(Index)]);
}

void TGIFColorMap::ImportPalette(const TGIFPalette& Palette)
{
    Clear();
    const int N = std::min<int>(static_cast<int>(Palette.size()), 256);
    if (N == 0)
        return;
    SetCapacity(N);
    for (int i = 0; i < N; ++i) {
        const TRGBQuad& Q = Palette[static_cast<size_t>(i)];
        FColors[static_cast<size_t>(i)] = {Q.rgbRed, Q.rgbGreen, Q.rgbBlue};
    }
    FCount = N;
    Changed();
}

void TGIFColorMap::ImportColorTable(const TRGBQuad* Quads, int N)
{
    Clear();
    N = std::min(N, 256);
    if (N <= 0 || !Quads)
        return;
    SetCapacity(N);
    for (int i = 0; i < N; ++i)
        FColors[static_cast<size_t>(i)] = {Quads[i].rgbRed, Quads[i].rgbGreen, Quads[i].rgbBlue};
    FCount = N;
    Changed();
}

void TGIFColorMap::ImportDIBColors(const TBitmap& Bitmap)
{
    const TGIFPalette& Table = Bitmap.Palette();
    ImportColorTable(Table.data(), static_cast<int>(std::min<size_t>(Table.size(), 256)));
    Changed();
}

TGIFPalette TGIFColorMap::ExportPalette() const
{
    TGIFPalette Result(static_cast<size_t>(FCount));
    for (int i = 0; i < FCount; ++i) {
        const TGIFColor& C = FColors[static_cast<size_t>(i)];
        Result[static_cast<size_t>(i)] = {C.Blue, C.Green, C.Red, 0};
    }
    return Result;
}

void TGIFColorMap::Assign(const TGIFColorMap& Source)
{
    if (&Source == this)
        return;
    Clear();
    FCapacity = Source.FCapacity;
    FCount = Source.FCount;
    Optimized = Source.Optimized;
    FColors = Source.FColors;
    Changed();
}

void TGIFColorMap::LoadFromStream(TStream& Stream, int N)
{
    Clear();
    if (N < 0 || N > 256)
        GIFError(sTooManyColors);
    if (N == 0)
        return;
    SetCapacity(N);
    ReadExact(Stream, FColors.data(), int64_t(N) * 3);
    FCount = N;
}

void TGIFColorMap::SaveToStream(TStream& Stream, int Entries) const
{
    if (FCount == 0)
        return;
    // Never more entries than the size field announces.
    const int Written = std::min(FCount, std::max(Entries, 0));
    Stream.WriteBuffer(FColors.data(), int64_t(Written) * 3);
    if (Entries > Written) {
        const std::vector<uint8_t> Zeros(static_cast<size_t>(Entries - Written) * 3, 0);
        Stream.WriteBuffer(Zeros.data(), static_cast<int64_t>(Zeros.size()));
    }
}

bool TGIFColorMap::DoOptimize()
{
    if (FCount < 2)
        return false;
    Optimized = true;

    TColormapHistogram Pairs{};
    for (int i = 0; i < FCount; ++i)
        Pairs[static_cast<size_t>(i)] = {0, i};
    BuildHistogram(Pairs);

    // Quicksort by usage, largest first.
    auto Sort = [&Pairs](auto& Self, int Lo, int Hi) -> void {
        int I;
        do {
            I = Lo;
            int J = Hi;
            const int32_t P = Pairs[static_cast<size_t>((Lo + Hi) / 2)].Usage;
            do {
                while (Pairs[static_cast<size_t>(I)].Usage > P)
                    ++I;
                while (Pairs[static_cast<size_t>(J)].Usage < P)
                    --J;
                if (I <= J) {
                    std::swap(Pairs[static_cast<size_t>(I)], Pairs[static_cast<size_t>(J)]);
                    ++I;
                    --J;
                }
            } while (I <= J);
            if (J > Lo)
                Self(Self, Lo, J);
            Lo = I;
        } while (I < Hi);
    };
    Sort(Sort, 0, FCount - 1);

    bool Unchanged = true;
    for (int i = 0; i < FCount && Unchanged; ++i)
        Unchanged = Pairs[static_cast<size_t>(i)].Index == i;
    if (Unchanged)
        return true;

    TColormapReverse NewIndex{};
    for (int i = 0; i < 256; ++i)
        NewIndex[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    for (int i = 0; i < FCount; ++i)
        NewIndex[static_cast<size_t>(Pairs[static_cast<size_t>(i)].Index)] = static_cast<uint8_t>(i);
    MapImages(NewIndex);

    std::vector<TGIFColor> Old(FColors.begin(), FColors.begin() + FCount);
    for (int k = 0; k < FCount; ++k)
        FColors[NewIndex[static_cast<size_t>(k)]] = Old[static_cast<size_t>(k)];
    for (int i = 0; i < FCount; ++i)
        if (Pairs[static_cast<size_t>(i)].Usage == 0) {
            FCount = i;
            break;
        }
    Changed();
    return true;
}

// The pixels and transparent index of the frames a map covers.
static void AddFrameToHistogram(const TGIFSubImage& Frame, TColormapHistogram& Histogram)
{
    for (uint8_t P : Frame.Data)
        ++Histogram[P].Usage;
}

static void MapFrame(TGIFSubImage& Frame, const TColormapReverse& Map)
{
    for (uint8_t& P : Frame.Data)
        P = Map[P];
    if (Frame.Transparent && Frame.GraphicControlExtension) {
        TGIFGraphicControlExtension& GCE = *Frame.GraphicControlExtension;
        GCE.SetTransparentColorIndex(Map[GCE.TransparentColorIndex()]);
    }
    Frame.FreeBitmap();
    Frame.FreeMask();
}

void TGIFColorMap::Warning(TGIFSeverity Severity, const std::string& Message)
{
    if (TGIFImage* Owner = Image())
        Owner->Warning(this, Severity, Message);
}

TGIFImage* TGIFGlobalColorMap::Image() const
{
    return FOwner ? FOwner->Image() : nullptr;
}

// Calls Action for every frame of Image whose pixels index Map (the frames without a local map).
template <typename TAction>
static void ForFramesUsing(const TGIFColorMap& Map, TGIFImage* Image, TAction Action)
{
    if (!Image)
        return;
    for (int i = 0; i < Image->Images.Count(); ++i) {
        TGIFSubImage& Frame = *Image->Images.GetFrame(i);
        if (&Frame.ActiveColorMap() == &Map)
            Action(Frame);
    }
}

void TGIFGlobalColorMap::BuildHistogram(TColormapHistogram& Histogram)
{
    ForFramesUsing(*this, Image(), [&](TGIFSubImage& Frame) { AddFrameToHistogram(Frame, Histogram); });
}

void TGIFGlobalColorMap::MapImages(const TColormapReverse& Map)
{
    ForFramesUsing(*this, Image(), [&](TGIFSubImage& Frame) { MapFrame(Frame, Map); });
}

bool TGIFGlobalColorMap::Optimize()
{
    TGIFImage* Image = this->Image();
    if (!Image || Image->Images.Count() == 0)
        return false;
    return DoOptimize();
}

void TGIFGlobalColorMap::Changed()
{
    if (TGIFImage* Owner = Image())
        Owner->SetPalette({});
}

TGIFImage* TGIFLocalColorMap::Image() const
{
    return FOwner ? FOwner->Image() : nullptr;
}

void TGIFLocalColorMap::BuildHistogram(TColormapHistogram& Histogram)
{
    if (FOwner)
        AddFrameToHistogram(*FOwner, Histogram);
}

void TGIFLocalColorMap::MapImages(const TColormapReverse& Map)
{
    if (FOwner)
        MapFrame(*FOwner, Map);
}

bool TGIFLocalColorMap::Optimize()
{
    return DoOptimize();
}

void TGIFLocalColorMap::Changed()
{
    if (FOwner)
        FOwner->SetPalette({});
}

// ---- Header -------------------------------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImage* Image) : TGIFItem(Image)
{
    Clear();
}

void TGIFHeader::Clear()
{
    ColorMap.Clear();
    Descriptor = {};
}

void TGIFHeader::Assign(const TGIFHeader& Source)
{
    if (&Source == this)
        return;
    ColorMap.Assign(Source.ColorMap);
    Descriptor = Source.Descriptor;
}

void TGIFHeader::Assign(const TGIFColorMap& Source)
{
    Clear();
    ColorMap.Assign(Source);
}

int TGIFHeader::GetVersion() const
{
    return ColorMap.Optimized || Descriptor.AspectRatio != 0 ? gv89a : gv87a;
}

TColor TGIFHeader::GetBackgroundColor()
{
    return ColorMap.GetColor(Descriptor.BackgroundColorIndex);
}

void TGIFHeader::Prepare()
{
    uint8_t Packed = 0;
    if (ColorMap.Count() > 0)
        Packed = ColorMap.Optimized ? 0x88 : 0x80;
    if (FImage) {
        Packed |= static_cast<uint8_t>((FImage->ColorResolution() << 4) & 0x70);
        Packed |= static_cast<uint8_t>((FImage->BitsPerPixel() - 1) & 0x07);
    }
    Descriptor.Packed = Packed;
}

void TGIFHeader::SaveToStream(TStream& Stream)
{
    const int Version = FImage ? FImage->ImageVersion() : gvUnknown;
    if (Version == gvUnknown)
        GIFError(sUnsupportedVersion);
    static const char Versions[] = "87a89a";
    uint8_t Buffer[13] = {'G', 'I', 'F'};
    std::memcpy(Buffer + 3, Versions + (Version - 1) * 3, 3);
    Prepare();
    Buffer[6] = static_cast<uint8_t>(Descriptor.Width);
    Buffer[7] = static_cast<uint8_t>(Descriptor.Width >> 8);
    Buffer[8] = static_cast<uint8_t>(Descriptor.Height);
    Buffer[9] = static_cast<uint8_t>(Descriptor.Height >> 8);
    Buffer[10] = Descriptor.Packed;
    Buffer[11] = Descriptor.BackgroundColorIndex;
    Buffer[12] = Descriptor.AspectRatio;
    Stream.WriteBuffer(Buffer, sizeof Buffer);
    if (Descriptor.Packed & 0x80)
        ColorMap.SaveToStream(Stream, 1 << ((Descriptor.Packed & 0x07) + 1));
}

static bool IsGIFSignature(const uint8_t* Sig)
{
    return std::toupper(Sig[0]) == 'G' && std::toupper(Sig[1]) == 'I' && std::toupper(Sig[2]) == 'F';
}

void TGIFHeader::LoadFromStream(TStream& Stream)
{
    const int64_t Start = Stream.Position();
    uint8_t Signature[6];
    ReadExact(Stream, Signature, 6);
    if (!IsGIFSignature(Signature)) {
        // A stream may carry a 4-byte prefix before the signature.
        Stream.SetPosition(Start);
        Stream.Seek(4, soCurrent);
        ReadExact(Stream, Signature, 6);
        if (!IsGIFSignature(Signature))
            GIFError(sBadSignature);
    }
    uint8_t D[7];
    ReadExact(Stream, D, 7);
    Descriptor.Width = static_cast<uint16_t>(D[0] | (D[1] << 8));
    Descriptor.Height = static_cast<uint16_t>(D[2] | (D[3] << 8));
    Descriptor.Packed = D[4];
    Descriptor.BackgroundColorIndex = D[5];
    Descriptor.AspectRatio = D[6];
    CheckGIFSize(Descriptor.Width, Descriptor.Height);
    ChargeDecodedPicture(Descriptor.Width, Descriptor.Height);
    if (Descriptor.Packed & 0x80) {
        const int N = 2 << (Descriptor.Packed & 0x07);
        if (N < 2 || N > 256)
            GIFError(sScreenBadColorSize);
        ColorMap.LoadFromStream(Stream, N);
    } else {
        ColorMap.Clear();
    }
}

// ---- Scan-line access -----------------------------------------------------------------------------

TDIBReader::TDIBReader(TBitmap& Bitmap, TPixelFormat PixelFormat) : TDIB(Bitmap, PixelFormat)
{
    if (Bitmap.PixelFormat() != PixelFormat)
        Bitmap.SetPixelFormat(PixelFormat);
}

TDIBWriter::TDIBWriter(TBitmap& Bitmap, TPixelFormat PixelFormat, int AWidth, int AHeight,
                       const TGIFPalette& APalette)
    : TDIB(Bitmap, PixelFormat), Palette(APalette), Height(AHeight), Width(AWidth)
{
    if (PixelFormat != pf8bit && PixelFormat != pf24bit)
        GIFError(sInvalidPixelFormat);
    if (AWidth <= 0 || AHeight <= 0)
        GIFError(sInvalidBitmap);
    // The old pixels are of no use: empty the bitmap first so that the format change converts
    // nothing, then size it in its final format.
    Bitmap.SetSize(0, 0);
    SafeSetPixelFormat(Bitmap, PixelFormat);
    if (PixelFormat == pf8bit)
        Bitmap.Palette() = Palette;
    Bitmap.SetSize(AWidth, AHeight);
}
