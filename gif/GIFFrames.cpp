// GIF frames: descriptor, pixels, reading and writing, bounds, palette and the optimiser's helpers;
// the frame's extension list and the trailer.
#include "gif/GIFFrames.h"

#include "gif/GIFCoders.h"
#include "gif/GIFColorReduction.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"
#include "gif/gifstrings.h"
#include "platform/DecodeBudget.h"

#include <algorithm>
#include <cstring>

using namespace gifstrings;

// ---- Extension list -------------------------------------------------------------------------------

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* Frame) : TGIFList(Frame ? Frame->Image() : nullptr) {}

TGIFExtension* TGIFExtensionList::GetExtension(int Index) const
{
    return static_cast<TGIFExtension*>(GetItem(Index));
}

int TGIFExtensionList::IndexOfLabel(uint8_t Label, int StartIndex) const
{
    for (int i = std::max(StartIndex, 0); i < Count(); ++i)
        if (GetExtension(i)->BlockLabel() == Label)
            return i;
    return -1;
}

void TGIFExtensionList::LoadFromStream(TStream& Stream, TGIFSubImage* Parent)
{
    uint8_t B;
    if (!TryReadByte(Stream, B))
        return;
    while (B != bsImageSeparator && B != bsTrailer) {
        if (B != bsExtensionIntroducer) {
            Warning(gsWarning, sBadExtensionLabel);
            break;
        }
        const TGIFExtensionClass Class = TGIFExtension::FindExtension(Stream);
        if (!Class || !Class->Create) {
            // A label no class is registered for: valid GIF89a that this codec does not keep.
            Warning(gsWarning, sUnknownBlockType);
            ReadByte(Stream);
            SkipSubBlocks(Stream);
        } else {
            Stream.Seek(-1, soCurrent);
            // Listed first, so that the frame frees it should its data be bad.
            TGIFExtension* Ext = Class->Create(Parent);
            Add(Ext);
            Ext->LoadFromStream(Stream);
        }
        if (!TryReadByte(Stream, B))
            return;
    }
    Stream.Seek(-1, soCurrent);
}

// ---- Frame ----------------------------------------------------------------------------------------

TGIFSubImage::TGIFSubImage(TGIFImage* Image) : TGIFItem(Image) {}

TGIFSubImage::~TGIFSubImage()
{
    if (FImage)
        FImage->Images.Remove(this);
    Clear();
}

void TGIFSubImage::Clear()
{
    Extensions.Clear();
    ColorMap.Clear();
    FreeImage();
    FDescriptor.Height = 0;
    FDescriptor.Width = 0;
    Transparent = false;
    GraphicControlExtension = nullptr;
    FreeBitmap();
    FreeMask();
}

bool TGIFSubImage::Empty() const
{
    return Data.empty() || Width() == 0 || Height() == 0;
}

void TGIFSubImage::NewImage()
{
    FreeImage();
    const int64_t Size = int64_t(Width()) * Height();
    if (Size > 0) {
        CheckGIFSize(Width(), Height());
        ChargeDecodeMemory(Size);
        Data.assign(static_cast<size_t>(Size), 0);
    }
}

void TGIFSubImage::FreeImage()
{
    Data.clear();
    Data.shrink_to_fit();
}

void TGIFSubImage::NeedImage()
{
    if (Data.empty())
        NewImage();
    if (Data.empty())
        GIFError(sNoImageData);
}

void TGIFSubImage::NewBitmap()
{
    Bitmap = std::make_unique<TBitmap>();
}

void TGIFSubImage::FreeMask()
{
    Mask.reset();
    NeedMask = true;
}

// Grows the image's logical screen to hold the frame, with warnings.
static void FitLogicalScreen(TGIFSubImage& Frame)
{
    TGIFImage* Image = Frame.Image();
    if (!Image)
        return;
    const int64_t Right = int64_t(Frame.Left()) + Frame.Width();
    const int64_t Bottom = int64_t(Frame.Top()) + Frame.Height();
    if (Right <= Image->Width() && Bottom <= Image->Height())
        return;
    CheckGIFSize(std::max<int64_t>(Right, Image->Width()), std::max<int64_t>(Bottom, Image->Height()));
    // The grown screen is a picture of its own size to be shown.
    ChargeDecodedPicture(std::max<int64_t>(Right, Image->Width()), std::max<int64_t>(Bottom, Image->Height()));
    bool Warned = false;
    if (Image->Width() < Right) {
        if (Image->Width() > 0) {
            Frame.Warning(gsWarning, sBadWidth);
            Warned = true;
        }
        Image->Header.Descriptor.Width = static_cast<uint16_t>(Right);
    }
    if (Image->Height() < Bottom) {
        if (Image->Height() > 0) {
            Frame.Warning(gsWarning, sBadHeight);
            Warned = true;
        }
        Image->Header.Descriptor.Height = static_cast<uint16_t>(Bottom);
    }
    Image->FreeBitmap();
    if (Warned)
        Frame.Warning(gsWarning, sScreenSizeExceeded);
}

void TGIFSubImage::SetBounds(int ALeft, int ATop, int AWidth, int AHeight)
{
    CheckGIFSize(AWidth, AHeight);
    if (ALeft < 0 || ATop < 0 || ALeft > 0xFFFF || ATop > 0xFFFF)
        GIFError(sBadPixelCoordinates);
    const bool Resized = AWidth != Width() || AHeight != Height();
    FDescriptor.Left = static_cast<uint16_t>(ALeft);
    FDescriptor.Top = static_cast<uint16_t>(ATop);
    FDescriptor.Width = static_cast<uint16_t>(AWidth);
    FDescriptor.Height = static_cast<uint16_t>(AHeight);
    if (Resized) {
        FreeBitmap();
        FreeMask();
        FreeImage();
        NewImage();
    }
    FitLogicalScreen(*this);
}

TGIFColorMap& TGIFSubImage::ActiveColorMap()
{
    if (ColorMap.Count() > 0 || !FImage || FImage->GlobalColorMap().Count() == 0)
        return ColorMap;
    return FImage->GlobalColorMap();
}

int TGIFSubImage::GetVersion() const
{
    if (ColorMap.Optimized)
        return gv89a;
    int Version = gv87a;
    for (int i = 0; i < Extensions.Count(); ++i)
        Version = std::max(Version, Extensions.GetItem(i)->GetVersion());
    return Version;
}

uint8_t TGIFSubImage::GetPixel(int X, int Y)
{
    if (X < 0 || X >= Width())
        GIFError(sBadPixelCoordinates);
    return GetScanLine(Y)[X];
}

uint8_t* TGIFSubImage::GetScanLine(int Y)
{
    if (Y < 0 || Y >= Height())
        GIFError(sBadPixelCoordinates);
    NeedImage();
    return Data.data() + static_cast<size_t>(Y) * static_cast<size_t>(Width());
}

TGIFPalette TGIFSubImage::GetPalette()
{
    if (Bitmap && !Bitmap->Palette().empty())
        return Bitmap->Palette();
    if (!Palette.empty())
        return Palette;
    if (FImage && FImage->ShouldDither()) {
        Palette = Create216ColorPalette();
        return Palette;
    }
    if (ColorMap.Count() == 0)
        return FImage ? FImage->GetPalette() : TGIFPalette{};
    Palette = ColorMap.ExportPalette();
    return Palette;
}

void TGIFSubImage::SetPalette(const TGIFPalette& Value)
{
    if (Value == Palette)
        return;
    const bool Changed = Bitmap && Value != Bitmap->Palette();
    Palette = Value;
    if (Changed) {
        FreeBitmap();
        if (FImage) {
            FImage->PaletteModified = true;
            FImage->Changed(this);
        }
    }
}

void TGIFSubImage::Prepare()
{
    if (ColorMap.Count() > 0) {
        uint8_t Packed = 0x80;
        if (ColorMap.Optimized)
            Packed |= 0x20;
        Packed |= static_cast<uint8_t>(ColorResolution() & 0x07);
        FDescriptor.PackedFields = Packed;
    } else {
        FDescriptor.PackedFields &= 0x58;
    }
}

void TGIFSubImage::SaveToStream(TStream& Stream)
{
    Extensions.SaveToStream(Stream);
    if (Empty())
        return;
    Prepare();
    const uint8_t D[10] = {FDescriptor.Separator,
                           static_cast<uint8_t>(FDescriptor.Left),
                           static_cast<uint8_t>(FDescriptor.Left >> 8),
                           static_cast<uint8_t>(FDescriptor.Top),
                           static_cast<uint8_t>(FDescriptor.Top >> 8),
                           static_cast<uint8_t>(FDescriptor.Width),
                           static_cast<uint8_t>(FDescriptor.Width >> 8),
                           static_cast<uint8_t>(FDescriptor.Height),
                           static_cast<uint8_t>(FDescriptor.Height >> 8),
                           FDescriptor.PackedFields};
    Stream.WriteBuffer(D, 10);
    ColorMap.SaveToStream(Stream, 1 << BitsPerPixel());
    Compress(Stream);
}

void TGIFSubImage::LoadFromStream(TStream& Stream)
{
    Clear();
    Extensions.LoadFromStream(Stream, this);
    uint8_t B;
    if (!TryReadByte(Stream, B))
        return;
    Stream.Seek(-1, soCurrent);
    // Only an image separator starts a descriptor; anything else (the trailer, a zero byte, a stray
    // byte that ended the extension list) leaves the frame empty and the stream at that byte.
    if (B != bsImageSeparator)
        return;

    uint8_t D[10];
    ReadExact(Stream, D, 10);
    FDescriptor.Separator = D[0];
    FDescriptor.Left = static_cast<uint16_t>(D[1] | (D[2] << 8));
    FDescriptor.Top = static_cast<uint16_t>(D[3] | (D[4] << 8));
    FDescriptor.Width = static_cast<uint16_t>(D[5] | (D[6] << 8));
    FDescriptor.Height = static_cast<uint16_t>(D[7] | (D[8] << 8));
    FDescriptor.PackedFields = D[9];
    if (Width() == 0 || Height() == 0) {
        if (FImage) {
            FDescriptor.Height = static_cast<uint16_t>(FImage->Height());
            FDescriptor.Width = static_cast<uint16_t>(FImage->Width());
        }
        Warning(gsWarning, sScreenSizeExceeded);
    }
    // Sizes are checked before the pixels are allocated; a screen smaller than the frame grows.
    CheckGIFSize(Width(), Height());
    FitLogicalScreen(*this);
    if (FDescriptor.PackedFields & 0x80) {
        const int N = 2 << (FDescriptor.PackedFields & 0x07);
        if (N < 2 || N > 256)
            GIFError(sImageBadColorSize);
        ColorMap.LoadFromStream(Stream, N);
    }
    DecompressFrameData(*this, Stream);
}

void TGIFSubImage::Compress(TStream& Stream)
{
    int Bits, Colors;
    if (ColorMap.Count() > 0) {
        Bits = ColorMap.BitsPerPixel();
        Colors = ColorMap.Count();
    } else {
        Bits = FImage ? FImage->BitsPerPixel() : 8;
        Colors = 1 << Bits;
    }
    std::unique_ptr<TGIFEncoder> Encoder;
    if (FImage && FImage->Compression == CompressRLE)
        Encoder = std::make_unique<TRLEEncoder>();
    else
        Encoder = std::make_unique<TLZWEncoder>();
    Encoder->Compress(Stream, Bits, Width(), Height(), Interlaced(), Data.empty() ? nullptr : Data.data(), Colors);
}

void TGIFSubImage::Crop()
{
    if (Empty() || !Transparent || !GraphicControlExtension)
        return;
    const uint8_t T = GraphicControlExtension->TransparentColorIndex();
    const int W = Width(), H = Height();
    auto Pixel = [&](int X, int Y) { return Data[static_cast<size_t>(Y) * static_cast<size_t>(W) + static_cast<size_t>(X)]; };
    auto ColumnOpaque = [&](int X) {
        for (int Y = 0; Y < H; ++Y)
            if (Pixel(X, Y) != T)
                return true;
        return false;
    };
    int X0 = 0;
    while (X0 < W && !ColumnOpaque(X0))
        ++X0;
    if (X0 == W) {
        Clear();
        return;
    }
    int X1 = W - 1;
    while (X1 > X0 && !ColumnOpaque(X1))
        --X1;
    auto RowOpaque = [&](int Y) {
        for (int X = X0; X <= X1; ++X)
            if (Pixel(X, Y) != T)
                return true;
        return false;
    };
    int Y0 = 0;
    while (!RowOpaque(Y0))
        ++Y0;
    int Y1 = H - 1;
    while (Y1 > Y0 && !RowOpaque(Y1))
        --Y1;

    const int NW = X1 - X0 + 1, NH = Y1 - Y0 + 1;
    std::vector<uint8_t> Cropped(static_cast<size_t>(NW) * static_cast<size_t>(NH));
    for (int Y = 0; Y < NH; ++Y)
        std::memcpy(Cropped.data() + static_cast<size_t>(Y) * static_cast<size_t>(NW),
                    Data.data() + static_cast<size_t>(Y + Y0) * static_cast<size_t>(W) + static_cast<size_t>(X0),
                    static_cast<size_t>(NW));
    Data = std::move(Cropped);
    FDescriptor.Left = static_cast<uint16_t>(FDescriptor.Left + X0);
    FDescriptor.Top = static_cast<uint16_t>(FDescriptor.Top + Y0);
    FDescriptor.Width = static_cast<uint16_t>(NW);
    FDescriptor.Height = static_cast<uint16_t>(NH);
    FreeBitmap();
    FreeMask();
}

void TGIFSubImage::MergeWithPrevious(TGIFSubImage* Previous)
{
    if (!Previous || Empty() || Previous->Empty())
        return;
    if (Previous->GraphicControlExtension) {
        const uint8_t Disposal = Previous->GraphicControlExtension->GetDisposal();
        if (Disposal == dmBackground || Disposal == dmPrevious)
            return;
    }
    TRect R;
    if (!IntersectRect(R, BoundsRect(), Previous->BoundsRect()))
        return;

    const bool WasTransparent = Transparent && GraphicControlExtension;
    int T = WasTransparent ? GraphicControlExtension->TransparentColorIndex() : -1;
    TGIFColorMap& Global = FImage ? static_cast<TGIFColorMap&>(FImage->GlobalColorMap()) : ColorMap;
    if (!WasTransparent) {
        const bool Room = ColorMap.Count() > 0 ? ColorMap.Count() < 256
                                               : Global.Count() >= 1 && Global.Count() < 256;
        if (!Room)
            return;
    }
    const bool PrevTransparent = Previous->Transparent && Previous->GraphicControlExtension;
    const int PT = PrevTransparent ? Previous->GraphicControlExtension->TransparentColorIndex() : -1;
    TGIFColorMap& Map = ActiveColorMap();
    TGIFColorMap& PrevMap = Previous->ActiveColorMap();
    const bool SameMap = &Map == &PrevMap;
    auto Entry = [](const TGIFColorMap& M, int I) -> const TGIFColor* {
        return I < M.Count() ? &M.Colors()[I] : nullptr;
    };

    auto MakeIndex = [&]() {
        if (ColorMap.Count() > 0)
            return ColorMap.Add(clBlack);
        if (FImage)
            for (int i = 0; i < FImage->Images.Count(); ++i) {
                TGIFSubImage* Other = FImage->Images.GetFrame(i);
                if (Other != this && Other->Transparent && Other->GraphicControlExtension && Other->ColorMap.Count() == 0)
                    return static_cast<int>(Other->GraphicControlExtension->TransparentColorIndex());
            }
        return Global.Add(clBlack);
    };

    for (int Y = R.Top; Y < R.Bottom; ++Y) {
        uint8_t* Row = Data.data() + static_cast<size_t>(Y - Top()) * static_cast<size_t>(Width());
        const uint8_t* PrevRow =
            Previous->Data.data() + static_cast<size_t>(Y - Previous->Top()) * static_cast<size_t>(Previous->Width());
        for (int X = R.Left; X < R.Right; ++X) {
            uint8_t& P = Row[X - Left()];
            const uint8_t Q = PrevRow[X - Previous->Left()];
            if (T >= 0 && P == T)
                continue;
            if (PrevTransparent && Q == PT)
                continue;
            bool Same = SameMap && P == Q;
            if (!Same) {
                const TGIFColor* A = Entry(Map, P);
                const TGIFColor* B = Entry(PrevMap, Q);
                Same = A && B && *A == *B;
            }
            if (!Same)
                continue;
            if (T < 0)
                T = MakeIndex();
            P = static_cast<uint8_t>(T);
        }
    }
    if (!WasTransparent && T >= 0) {
        if (!GraphicControlExtension)
            Extensions.Add(new TGIFGraphicControlExtension(this));
        GraphicControlExtension->SetTransparent(true);
        GraphicControlExtension->SetTransparentColorIndex(T);
    }
    FreeBitmap();
    FreeMask();
}

// ---- Trailer --------------------------------------------------------------------------------------

void TGIFTrailer::SaveToStream(TStream& Stream)
{
    WriteByte(Stream, bsTrailer);
}

void TGIFTrailer::LoadFromStream(TStream& Stream)
{
    uint8_t B;
    if (TryReadByte(Stream, B) && B != bsTrailer)
        Warning(gsWarning, sBadTrailer);
}
