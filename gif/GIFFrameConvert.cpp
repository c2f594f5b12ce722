// A frame meets ordinary pictures: conversion from any graphic, rendering into a cached 8-bit bitmap
// with its transparency mask, and drawing stretched or tiled, opaque or through the mask.
#include "gif/GIFColorReduction.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFFrameConvert.h"
#include "gif/GIFFrames.h"
#include "gif/GIFImage.h"
#include "gif/gifstrings.h"

#include <algorithm>
#include <cstring>

using namespace gifstrings;

namespace {

// Reports progress of a frame through its image, when it has one.
class TFrameProgress {
public:
    TFrameProgress(TGIFSubImage& Frame, const char* Message) : FFrame(Frame), FMessage(Message)
    {
        Report(psStarting, 0, false);
    }
    void Row(int Y)
    {
        if (Y % 32 == 0)
            Report(psRunning, MulDiv(Y, 100, FFrame.Height()), false);
    }
    // The last step, also when an error is passing (then with 0 percent).
    void End(bool Failed)
    {
        TGIFImage* Image = FFrame.Image();
        const bool Modified = Image && Image->PaletteModified;
        Report(psEnding, Failed ? 0 : 100, Modified);
    }

private:
    void Report(TProgressStage Stage, int Percent, bool Redraw)
    {
        if (TGIFImage* Image = FFrame.Image())
            Image->Progress(&FFrame, Stage, Percent, Redraw, TRect{}, FMessage);
    }
    TGIFSubImage& FFrame;
    const char* FMessage;
};

// Runs Work between the start and the end step of a progress report.
template <class F> void WithProgress(TGIFSubImage& Frame, const char* Message, F&& Work)
{
    TFrameProgress Progress(Frame, Message);
    try {
        Work(Progress);
    } catch (...) {
        Progress.End(true);
        throw;
    }
    Progress.End(false);
}

// An 8-bit mask of Source's transparent pixels: 1 where a pixel has the transparent colour.
std::unique_ptr<TBitmap> TransparencyMaskOf(const TBitmap& Source)
{
    const TColor C = ColorToRGB(Source.TransparentColor());
    const TRGBTriple T{GetBValue(C), GetGValue(C), GetRValue(C)};
    auto Mask = std::make_unique<TBitmap>();
    Mask->SetPixelFormat(pf8bit);
    Mask->SetSize(Source.Width(), Source.Height());
    TRGBRowReader Reader(Source);
    for (int Y = 0; Y < Source.Height(); ++Y) {
        const TRGBTriple* Row = Reader.Row(Y);
        uint8_t* M = Mask->ScanLine(Y);
        for (int X = 0; X < Source.Width(); ++X)
            M[X] = Row[X] == T ? 1 : 0;
    }
    return Mask;
}

// The monochrome mask bitmap of a buffer of rows padded to 16 bits.
std::unique_ptr<TBitmap> MaskBitmapOf(const std::vector<uint8_t>& Buffer, int Width, int Height)
{
    auto Mask = std::make_unique<TBitmap>();
    Mask->SetPixelFormat(pf1bit);
    Mask->Palette() = {TRGBQuad{0, 0, 0, 0}, TRGBQuad{255, 255, 255, 0}};
    Mask->SetSize(Width, Height);
    const int Pitch = MaskRowBytes(Width);
    for (int Y = 0; Y < Height; ++Y) {
        uint8_t* Row = Mask->ScanLine(Y);
        std::memset(Row, 0, static_cast<size_t>(Mask->RowBytes()));
        std::memcpy(Row, Buffer.data() + static_cast<size_t>(Y) * Pitch, static_cast<size_t>(Pitch));
    }
    return Mask;
}

// The colours of a colour map by index; indices past its end give black.
std::array<TRGBTriple, 256> ColorsByIndex(const TGIFColorMap& Map)
{
    std::array<TRGBTriple, 256> Colors{};
    for (int i = 0; i < Map.Count(); ++i) {
        const TGIFColor& C = Map.Colors()[i];
        Colors[i] = TRGBTriple{C.Blue, C.Green, C.Red};
    }
    return Colors;
}

} // namespace

// ---- Assign -------------------------------------------------------------------------------------

void TGIFSubImage::Assign(const TGIFSubImage* Source)
{
    if (Source == this)
        return;
    Clear();
    if (!Source || Source->Empty())
        return;
    FDescriptor = Source->FDescriptor;
    Transparent = Source->Transparent;
    NewImage();
    Data = Source->Data;
    ColorMap.Assign(Source->ColorMap);
    if (Source->Extensions.Count() > 0) {
        // Writing and reading back re-creates each extension for this frame, the graphic control
        // extension taking its place as this frame's.
        TMemoryStream Stream;
        const_cast<TGIFExtensionList&>(Source->Extensions).SaveToStream(Stream);
        Stream.SetPosition(0);
        Extensions.LoadFromStream(Stream, this);
    }
    if (Source->Bitmap) {
        NewBitmap();
        Bitmap->Assign(Source->Bitmap.get());
    }
}

void TGIFSubImage::Assign(const TGraphic* Source)
{
    if (!Source) {
        Clear();
        return;
    }
    const TBitmap* SourceBitmap = dynamic_cast<const TBitmap*>(Source);
    if (!SourceBitmap) {
        Clear();
        if (Source->Empty())
            return;
        // Any other graphic renders itself onto a bitmap, by assignment or else by drawing.
        TBitmap Temp;
        try {
            Temp.Assign(Source);
        } catch (const Exception&) {
            Temp.Assign(nullptr);
            Temp.SetPixelFormat(pf24bit);
            Temp.SetSize(Source->Width(), Source->Height());
            Temp.Canvas().Draw(0, 0, *Source);
        }
        Assign(&Temp);
        return;
    }

    const TBitmap& Src = *SourceBitmap;
    Clear();
    if (Src.Empty())
        return;
    SetWidth(Src.Width());
    SetHeight(Src.Height());

    std::unique_ptr<TBitmap> Work;
    const TPixelFormat SourceFormat = Src.PixelFormat();
    if (SourceFormat == pf1bit || SourceFormat == pf4bit || SourceFormat == pf8bit) {
        Work = std::make_unique<TBitmap>();
        Work->Assign(&Src);
    } else {
        TGIFImage* Img = Image();
        Work = ReduceColors(Src, Img ? int(Img->ReductionMethod) : int(ReduceColorCube),
                            Img ? int(Img->DitherMode) : int(DitherNone), Img ? Img->ReductionBits : 8, TGIFPalette());
    }
    NewImage();

    WithProgress(*this, sProgressConverting, [&](TFrameProgress& Progress) {
        // A reduction that gave nothing (an unknown method or dither mode) cannot fill the frame.
        if (Work->Width() != Width() || Work->Height() != Height())
            GIFError(sInvalidBitmap);
        TPixelFormat F = Work->PixelFormat();
        if (F != pf1bit && F != pf4bit && F != pf8bit && F != pf24bit)
            F = pf24bit;
        TDIBReader Reader(*Work, F);
        const int W = Width();
        if (F == pf8bit)
            ColorMap.ImportDIBColors(*Work);
        else if (F != pf24bit)
            ColorMap.ImportPalette(Work->Palette());
        TGIFColorCache Cache(ColorMap);
        for (int Y = 0; Y < Height(); ++Y) {
            Progress.Row(Y);
            const uint8_t* Src = Reader.ScanLine(Y);
            uint8_t* Dst = Data.data() + static_cast<size_t>(Y) * W;
            switch (F) {
            case pf1bit:
                for (int X = 0; X < W; ++X)
                    Dst[X] = (Src[X >> 3] >> (7 - (X & 7))) & 1;
                break;
            case pf4bit:
                for (int X = 0; X < W; ++X)
                    Dst[X] = (X & 1) ? (Src[X >> 1] & 0x0F) : (Src[X >> 1] >> 4);
                break;
            case pf8bit: std::memcpy(Dst, Src, static_cast<size_t>(W)); break;
            default:
                for (int X = 0; X < W; ++X)
                    Dst[X] = static_cast<uint8_t>(Cache.IndexOf(RGB(Src[X * 3 + 2], Src[X * 3 + 1], Src[X * 3])));
                break;
            }
        }
        Bitmap = std::move(Work);
        if (Src.Transparent()) {
            std::unique_ptr<TBitmap> Mask = TransparencyMaskOf(Src);
            ImportMask(*Mask);
        }
    });
}

void TGIFSubImage::ImportMask(TBitmap& MaskBitmap)
{
    ColorMap.Optimize();
    if (ColorMap.Count() == 0 || ColorMap.Count() == 256)
        return; // no room for a transparent colour
    const int T = ColorMap.Add(clBlack);
    TDIBReader Reader(MaskBitmap, pf8bit);
    const int W = std::min(Width(), MaskBitmap.Width());
    const int H = std::min(Height(), MaskBitmap.Height());
    bool Changed = false;
    for (int Y = 0; Y < H; ++Y) {
        const uint8_t* M = Reader.ScanLine(Y);
        uint8_t* P = Data.data() + static_cast<size_t>(Y) * Width();
        for (int X = 0; X < W; ++X)
            if (M[X] != 0) {
                P[X] = static_cast<uint8_t>(T);
                Changed = true;
            }
    }
    if (!Changed) {
        ColorMap.Delete(T);
        return;
    }
    auto* GCE = new TGIFGraphicControlExtension(this);
    Extensions.Add(GCE);
    GCE->SetTransparent(true);
    GCE->SetTransparentColorIndex(T);
}

void TGIFSubImage::AssignTo(TBitmap& Dest) { Dest.Assign(GetBitmap()); }

// ---- Rendering ----------------------------------------------------------------------------------

TBitmap* TGIFSubImage::GetBitmap()
{
    if (Bitmap)
        return Bitmap.get();
    if (Empty())
        return nullptr;
    TGIFImage* Img = Image();
    WithProgress(*this, sProgressRendering, [&](TFrameProgress& Progress) {
        const int W = Width(), H = Height();
        auto Result = std::make_unique<TBitmap>();
        if (static_cast<int64_t>(W) * H > 500000)
            Result->SetPixelFormat(pf1bit);
        const bool Dithered = Img && Img->ShouldDither();
        TDIBWriter Writer(*Result, pf8bit, W, H, GetPalette());

        const bool WithMask = NeedMask && Transparent && !Mask && GraphicControlExtension;
        NeedMask = false;
        const int T = WithMask ? GraphicControlExtension->TransparentColorIndex() : -1;
        const int Pitch = MaskRowBytes(W);
        std::vector<uint8_t> MaskBuffer;
        if (WithMask)
            MaskBuffer.assign(static_cast<size_t>(Pitch) * H, 0);
        bool AnyTransparent = false;

        if (!Dithered) {
            for (int Y = 0; Y < H; ++Y) {
                Progress.Row(Y);
                const uint8_t* Src = Data.data() + static_cast<size_t>(Y) * W;
                std::memcpy(Writer.ScanLine(Y), Src, static_cast<size_t>(W));
                if (!WithMask)
                    continue;
                uint8_t* M = MaskBuffer.data() + static_cast<size_t>(Y) * Pitch;
                for (int X = 0; X < W; ++X)
                    if (Src[X] == T) {
                        M[X >> 3] |= static_cast<uint8_t>(0x80 >> (X & 7));
                        AnyTransparent = true;
                    }
            }
        } else {
            const std::array<TRGBTriple, 256> Colors = ColorsByIndex(ActiveColorMap());
            TNetscapeColorLookup Lookup;
            TFloydSteinbergDitherer Ditherer(W, &Lookup);
            uint8_t Fill = 0;
            if (WithMask) {
                const TRGBTriple& C = Colors[T];
                Fill = static_cast<uint8_t>(
                    (MulDiv(36, C.rgbtRed, 51) + MulDiv(6, C.rgbtGreen, 51) + C.rgbtBlue / 51 + 1) % 256);
            }
            for (int Y = 0; Y < H; ++Y) {
                Progress.Row(Y);
                const uint8_t* Src = Data.data() + static_cast<size_t>(Y) * W;
                uint8_t* Dst = Writer.ScanLine(Y);
                if (!WithMask) {
                    Ditherer.DitherLine(Lookup, Dst, [&](int X) { return &Colors[Src[X]]; });
                } else {
                    // Transparent pixels keep the fill, get their mask bit and are not dithered.
                    uint8_t* M = MaskBuffer.data() + static_cast<size_t>(Y) * Pitch;
                    std::memset(Dst, Fill, static_cast<size_t>(W));
                    Ditherer.DitherLine(Lookup, Dst, [&](int X) -> const TRGBTriple* {
                        if (Src[X] != T)
                            return &Colors[Src[X]];
                        M[X >> 3] |= static_cast<uint8_t>(0x80 >> (X & 7));
                        AnyTransparent = true;
                        return nullptr;
                    });
                }
                Ditherer.NextLine();
            }
        }
        if (WithMask && AnyTransparent)
            Mask = MaskBitmapOf(MaskBuffer, W, H);
        Bitmap = std::move(Result);
    });
    if (Img && Img->PaletteModified)
        Img->Changed(this);
    return Bitmap.get();
}

bool TGIFSubImage::HasMask()
{
    if (NeedMask && Transparent) {
        FreeBitmap();
        GetBitmap();
    }
    return Mask != nullptr;
}

// ---- Drawing ------------------------------------------------------------------------------------

TRect TGIFSubImage::ScaleRect(const TRect& R) const
{
    const TGIFImage* Img = Image();
    int SW = Img ? Img->Width() : 0;
    int SH = Img ? Img->Height() : 0;
    // Without a logical screen the frame's own extent stands in for it.
    if (SW <= 0)
        SW = std::max(1, Left() + Width());
    if (SH <= 0)
        SH = std::max(1, Top() + Height());
    const int RW = R.Width(), RH = R.Height();
    return TRect{R.Left + MulDiv(Left(), RW, SW), R.Top + MulDiv(Top(), RH, SH),
                 R.Left + MulDiv(Left() + Width(), RW, SW), R.Top + MulDiv(Top() + Height(), RH, SH)};
}

void TGIFSubImage::Draw(TCanvas& Canvas, const TRect& Rect, bool DoTransparent, bool DoTile)
{
    TBitmap* Rendered = GetBitmap();
    if (!Rendered)
        return;
    const TRect R = DoTile ? Rect : ScaleRect(Rect);
    const int W = Width(), H = Height();
    // Tiles step by the logical screen; a frame without one steps by its own size.
    const TGIFImage* Img = Image();
    const int StepX = Img && Img->Width() > 0 ? Img->Width() : W;
    const int StepY = Img && Img->Height() > 0 ? Img->Height() : H;
    const bool ThroughMask = DoTransparent && Transparent && HasMask();
    Rendered = GetBitmap(); // HasMask may have rendered anew
    auto DrawAt = [&](const TRect& Dest) {
        if (ThroughMask)
            TransparentStretchBlt(Canvas, Dest.Left, Dest.Top, Dest.Width(), Dest.Height(), *Rendered, 0, 0, W, H,
                                  *Mask, 0, 0);
        else
            Canvas.StretchDraw(Dest, *Rendered);
    };
    if (!DoTile) {
        DrawAt(R);
        return;
    }
    for (int X = R.Left + Left(); X < R.Right; X += StepX)
        for (int Y = R.Top + Top(); Y < R.Bottom; Y += StepY)
            DrawAt(TRect{X, Y, X + W, Y + H});
}

bool TGIFSubImage::TransparentStretchBlt(TCanvas& Dst, int DstX, int DstY, int DstW, int DstH, const TBitmap& Src,
                                         int SrcX, int SrcY, int SrcW, int SrcH, const TBitmap& Mask, int MaskX,
                                         int MaskY)
{
    if (DstW <= 0 || DstH <= 0 || SrcW <= 0 || SrcH <= 0)
        return true;
    TBitmap& Target = Dst.Owner();
    const int X0 = std::max(DstX, 0), X1 = std::min<int64_t>(int64_t(DstX) + DstW, Target.Width());
    const int Y0 = std::max(DstY, 0), Y1 = std::min<int64_t>(int64_t(DstY) + DstH, Target.Height());
    if (X0 >= X1 || Y0 >= Y1)
        return true;
    // Source column of every destination column (nearest pixel, as a plain stretch copies).
    std::vector<int> Columns(static_cast<size_t>(X1 - X0));
    for (int X = X0; X < X1; ++X)
        Columns[X - X0] = SrcX + static_cast<int>(int64_t(X - DstX) * SrcW / DstW);
    const bool Direct24 = Target.PixelFormat() == pf24bit || Target.PixelFormat() == pfDevice;
    const bool MaskIs1Bit = Mask.PixelFormat() == pf1bit;
    TRGBRowReader Reader(Src);
    for (int Y = Y0; Y < Y1; ++Y) {
        const int SY = SrcY + static_cast<int>(int64_t(Y - DstY) * SrcH / DstH);
        if (SY < 0 || SY >= Src.Height())
            continue;
        const TRGBTriple* SrcRow = Reader.Row(SY);
        const int MY = MaskY + SY - SrcY;
        const uint8_t* MaskRow = MY >= 0 && MY < Mask.Height() && MaskIs1Bit ? Mask.ScanLine(MY) : nullptr;
        TRGBTriple* Out = Direct24 ? Target.Row24(Y) : nullptr;
        for (int X = X0; X < X1; ++X) {
            const int SX = Columns[X - X0];
            if (SX < 0 || SX >= Src.Width())
                continue;
            const int MX = MaskX + SX - SrcX;
            bool Keep;
            if (MaskRow)
                Keep = MX >= 0 && MX < Mask.Width() && (MaskRow[MX >> 3] & (0x80 >> (MX & 7)));
            else
                Keep = MX >= 0 && MX < Mask.Width() && MY >= 0 && MY < Mask.Height() &&
                       ColorToRGB(Mask.GetPixel(MX, MY)) != clBlack;
            if (Keep)
                continue;
            const TRGBTriple& P = SrcRow[SX];
            if (Out)
                Out[X] = P;
            else
                Target.SetPixelColor(X, Y, RGB(P.rgbtRed, P.rgbtGreen, P.rgbtBlue));
        }
    }
    return true;
}
