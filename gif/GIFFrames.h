#pragma once
// A GIF frame: its image descriptor, local colour map, pixels (one palette index per byte) and the
// extensions that precede it; the frame's extension list and the trailer.
#include "gif/GIFTypes.h"

#include <memory>
#include <vector>

class TGIFExtension;
class TGIFGraphicControlExtension;

constexpr uint8_t bsImageSeparator = 0x2C;
constexpr uint8_t bsTrailer = 0x3B;

// The image descriptor: separator, left, top, width, height (little-endian), packed flags.
struct TGIFImageDescriptor {
    uint8_t Separator = bsImageSeparator;
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t PackedFields = 0; // bit 7 local table; bit 6 interlaced; bit 5 sort; bits 0-2 size
};

// The extensions of one frame, in stream order.
class TGIFExtensionList : public TGIFList {
public:
    explicit TGIFExtensionList(TGIFSubImage* Frame);
    TGIFExtension* GetExtension(int Index) const;
    // The first extension at or after StartIndex with that label; -1 when none.
    int IndexOfLabel(uint8_t Label, int StartIndex = 0) const;
    // Reads extensions up to the byte that ends the list (image separator, trailer or a stray byte),
    // leaving the stream at that byte.
    void LoadFromStream(TStream& Stream, TGIFSubImage* Parent);
};

class TGIFSubImage : public TGIFItem {
public:
    explicit TGIFSubImage(TGIFImage* Image);
    // Leaves the image's frame list.
    ~TGIFSubImage() override;

    // ---- Data, bounds, pixels ----
    void Clear();
    bool Empty() const;
    void NewImage();  // Width x Height zero bytes
    void FreeImage();
    void NeedImage(); // "Image is empty" when there are no pixels to have
    bool HasBitmap() const { return Bitmap != nullptr; }
    void NewBitmap();
    void FreeBitmap() { Bitmap.reset(); }
    void FreeMask();

    int Left() const { return FDescriptor.Left; }
    int Top() const { return FDescriptor.Top; }
    int Width() const { return FDescriptor.Width; }
    int Height() const { return FDescriptor.Height; }
    void SetLeft(int Value) { SetBounds(Value, Top(), Width(), Height()); }
    void SetTop(int Value) { SetBounds(Left(), Value, Width(), Height()); }
    void SetWidth(int Value) { SetBounds(Left(), Top(), Value, Height()); }
    void SetHeight(int Value) { SetBounds(Left(), Top(), Width(), Value); }
    // Stores the bounds; a new size reallocates the pixels (zeroed) and drops the caches; a frame
    // that reaches beyond the logical screen enlarges it, with warnings.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(Left(), Top(), Width(), Height()); }
    bool Interlaced() const { return (FDescriptor.PackedFields & 0x40) != 0; }
    // The descriptor as read or to be written; fields set here bypass SetBounds.
    TGIFImageDescriptor& Descriptor() { return FDescriptor; }
    const TGIFImageDescriptor& Descriptor() const { return FDescriptor; }

    int BitsPerPixel() const { return ColorMap.BitsPerPixel(); }
    int ColorResolution() const { return ColorMap.BitsPerPixel() - 1; }
    // The local map when it has colours, else the global map when that has colours, else the local.
    TGIFColorMap& ActiveColorMap();
    int GetVersion() const override;

    uint8_t GetPixel(int X, int Y);
    uint8_t* GetScanLine(int Y);
    int DataSize() const { return static_cast<int>(Data.size()); }

    TGIFPalette GetPalette();
    void SetPalette(const TGIFPalette& Value);

    // ---- Stream ----
    void Prepare();
    void SaveToStream(TStream& Stream) override;
    void LoadFromStream(TStream& Stream) override;
    void Compress(TStream& Stream);

    // ---- Optimising ----
    void Crop();
    void MergeWithPrevious(TGIFSubImage* Previous);

    // ---- Conversion, rendering and drawing (GIFFrameConvert.cpp) ----
    // Source the frame itself does nothing; nullptr clears.
    void Assign(const TGIFSubImage* Source);
    // Any graphic: a bitmap of any pixel format (reduced when it is not indexed), or a graphic that
    // renders itself onto a bitmap.
    void Assign(const TGraphic* Source);
    void AssignTo(TBitmap& Dest);
    // The cached 8-bit rendering, made on first use; nullptr for an empty frame.
    TBitmap* GetBitmap();
    bool HasMask();
    void Draw(TCanvas& Canvas, const TRect& Rect, bool DoTransparent, bool DoTile);
    // The frame's rectangle mapped from the logical screen into Rect.
    TRect ScaleRect(const TRect& Rect) const;
    // Copies Src (SrcX, SrcY, SrcW x SrcH) stretched onto Dst (DstX, DstY, DstW x DstH), leaving the
    // destination pixels where the mask bit (MaskX, MaskY based) is 1.
    static bool TransparentStretchBlt(TCanvas& Dst, int DstX, int DstY, int DstW, int DstH, const TBitmap& Src,
                                      int SrcX, int SrcY, int SrcW, int SrcH, const TBitmap& Mask, int MaskX,
                                      int MaskY);

    // ---- Fields ----
    // Cached rendering; null until rendered, dropped when the frame changes.
    std::unique_ptr<TBitmap> Bitmap;
    // Transparency mask made by rendering: pf1bit, Width x Height, bit 1 where the pixel is the
    // transparent index; null when none.
    std::unique_ptr<TBitmap> Mask;
    // The mask is to be (re)built at the next rendering.
    bool NeedMask = true;
    // The frame's palette once made; empty when none.
    TGIFPalette Palette;
    // Pixels, Width x Height bytes, rows top to bottom; empty when none.
    std::vector<uint8_t> Data;
    TGIFLocalColorMap ColorMap{this};
    TGIFExtensionList Extensions{this};
    // The graphic control extension has its transparency flag set (kept by that extension).
    bool Transparent = false;
    // The frame's graphic control extension (it lives in Extensions), set and cleared by it.
    TGIFGraphicControlExtension* GraphicControlExtension = nullptr;

protected:
    // Turns the pixels under the non-zero bytes of an 8-bit mask into a new transparent index.
    void ImportMask(TBitmap& MaskBitmap);

private:
    TGIFImageDescriptor FDescriptor;
};

// The byte 0x3B that ends a GIF stream.
class TGIFTrailer : public TGIFItem {
public:
    using TGIFItem::TGIFItem;
    void SaveToStream(TStream& Stream) override;
    // A byte other than 0x3B warns "Invalid Image trailer"; the end of the stream says nothing.
    void LoadFromStream(TStream& Stream) override;
};
