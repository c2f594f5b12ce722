#pragma once
// Bitmaps, canvases and the picture-format registry of the drawing layer.
#include "platform/Classes.h"
#include "platform/Types.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QImage;
class TBitmap;
class TCanvas;

// Limits on pictures built from outside data (and on any bitmap): sides up to 65535 pixels,
// at most 2^28 pixels.
constexpr int64_t kMaxPictureSide = 65535;
constexpr int64_t kMaxPicturePixels = int64_t(1) << 28;
// Raises EInvalidGraphic "Picture of %d x %d pixels is too large" when W x H passes the limits,
// or "Invalid picture size %d x %d" for a negative side.
void CheckPictureSize(int64_t W, int64_t H);

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
int BitsPerPixel(TPixelFormat pf); // pfDevice counts as 24

// ---- Graphic base ------------------------------------------------------------------------------
class TGraphic {
public:
    virtual ~TGraphic() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const { return Width() == 0 || Height() == 0; }
    virtual void LoadFromStream(TStream& Stream) = 0;
    virtual void SaveToStream(TStream& Stream) = 0;
    void LoadFromFile(const std::string& FileName);
    // Written through WriteFileAtomically: a failed save leaves the old file.
    void SaveToFile(const std::string& FileName);
    // Renders this graphic into Dest (size and pixels). The default raises EConvertError
    // "Cannot assign a %s to a %s".
    virtual void AssignTo(TBitmap& Dest) const;
    // Draws the graphic stretched into Rect of Canvas (the default renders through AssignTo).
    virtual void Draw(TCanvas& Canvas, const TRect& Rect) const;
    virtual const char* ClassName() const = 0;

    bool Transparent() const { return FTransparent; }
    virtual void SetTransparent(bool Value) { FTransparent = Value; }

protected:
    bool FTransparent = false;
};

// ---- Picture-format registry --------------------------------------------------------------------
struct TFileFormat {
    std::string Extension;   // without dot, e.g. "GIF"
    std::string Description; // e.g. "GIF Image"
    std::function<std::unique_ptr<TGraphic>()> Create;
};
// Registers a format (thread-safe); an extension registered twice replaces the earlier entry.
void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                        std::function<std::unique_ptr<TGraphic>()> Create);
std::vector<TFileFormat> RegisteredFileFormats();
// The format for an extension (with or without dot, any case), or nullptr.
const TFileFormat* FindFileFormat(const std::string& Extension);

// ---- Pens, brushes, fonts ------------------------------------------------------------------------
enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
// The sixteen binary raster operations; pmNotXor is the rubber band's mode.
enum TPenMode {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
    pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
// Polygon interiors: even-odd (the desktop's default) or non-zero winding.
enum TFillMode { fmAlternate, fmWinding };
// FloodFill: fsSurface fills the area of exactly the given colour, fsBorder the area bounded by it.
enum TFillStyle { fsSurface, fsBorder };

struct TPen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
};
struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
};
struct TFont {
    std::string Name = "Arial";
    int Size = 8; // points; Height = -Size * 96 / 72 pixels
    TColor Color = clWindowText;
    int Style = 0; // TFontStyle bits
};

// ---- Canvas --------------------------------------------------------------------------------------
// Drawing on a bitmap with the desktop's conventions: a line leaves out its end pixel; Rectangle,
// FillRect and Ellipse cover [Left, Right) x [Top, Bottom); Rectangle, Ellipse and Polygon outline
// with the pen and fill with the brush, both through the pen mode (a pixel covered twice by one
// figure still changes once), while FillRect, FrameRect and FloodFill copy the brush. One-pixel
// pens may be dotted (alternate pixels) or dashed, the gaps taking the brush colour when the brush
// is solid; wider pens are round dabs. Colours are resolved with ColorToRGB; indexed bitmaps take
// the nearest palette entry. Everything is clipped to the bitmap and drawn by our own rasteriser
// except text, which QPainter draws onto the bitmap's rows in place (hard-edged glyphs, the cell
// filled with the brush colour when the brush is solid).
class TCanvas {
public:
    explicit TCanvas(TBitmap& Owner) : FOwner(Owner) {}
    TPen Pen;
    TBrush Brush;
    TFont Font;
    TPoint PenPos;
    TFillMode FillMode = fmAlternate;

    TColor Pixels(int X, int Y) const; // -1 outside the bitmap
    void SetPixel(int X, int Y, TColor C);
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    void Polyline(const std::vector<TPoint>& Points); // keeps PenPos
    void Rectangle(int X1, int Y1, int X2, int Y2);
    void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
    void FillRect(const TRect& R);   // brush only
    void FrameRect(const TRect& R);  // one-pixel frame in the brush colour
    void Ellipse(int X1, int Y1, int X2, int Y2);
    void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
    void Polygon(const std::vector<TPoint>& Points);
    // Fills the 4-connected area around (X, Y) with the brush (copy mode).
    void FloodFill(int X, int Y, TColor Color, TFillStyle FillStyle);
    void Draw(int X, int Y, const TGraphic& Graphic);
    void StretchDraw(const TRect& Dest, const TGraphic& Graphic);
    void CopyRect(const TRect& Dest, const TCanvas& Source, const TRect& SourceRect);
    void TextOut(int X, int Y, const std::string& Text); // PenPos moves to the text's end
    // Text clipped to R; a solid brush fills all of R.
    void TextRect(const TRect& R, int X, int Y, const std::string& Text);
    int TextWidth(const std::string& Text) const;
    int TextHeight(const std::string& Text) const;
    TBitmap& Owner() const { return FOwner; }

private:
    TBitmap& FOwner;
    int FStylePos = 0; // position in the dash pattern, kept across LineTo and reset by MoveTo
};

// ---- Bitmap ----------------------------------------------------------------------------------------
// A device-independent bitmap: rows top-down, each padded to 4 bytes; 1, 4 and 8-bit formats carry
// a colour table. pfDevice, pf15bit and pf16bit are stored as 24 and 16 bits respectively.
class TBitmap : public TGraphic {
public:
    TBitmap();
    TBitmap(int W, int H, TPixelFormat Format = pf24bit);
    ~TBitmap() override;
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    void SetWidth(int W) { SetSize(W, FHeight); }
    void SetHeight(int H) { SetSize(FWidth, H); }
    // Keeps the pixels inside both sizes; new pixels are white (palette index 0 in indexed formats).
    // Raises through CheckPictureSize before allocating.
    void SetSize(int W, int H);
    TPixelFormat PixelFormat() const { return FPixelFormat; }
    // Converts the pixels (to the nearest colour-table entry when reducing to an indexed format).
    void SetPixelFormat(TPixelFormat Value);

    // Row Y (0 = top). Raises EInvalidGraphic "Scan line index out of range" outside 0..Height-1.
    uint8_t* ScanLine(int Y);
    const uint8_t* ScanLine(int Y) const;
    TRGBTriple* Row24(int Y) { return reinterpret_cast<TRGBTriple*>(ScanLine(Y)); }
    const TRGBTriple* Row24(int Y) const { return reinterpret_cast<const TRGBTriple*>(ScanLine(Y)); }
    int RowBytes() const { return FRowBytes; }
    // All rows as one block (Height x RowBytes), or nullptr when empty.
    uint8_t* Bits() { return FBits.empty() ? nullptr : FBits.data(); }
    const uint8_t* Bits() const { return FBits.empty() ? nullptr : FBits.data(); }

    // Colour table of an indexed format (2, 16 or 256 entries after SetPixelFormat).
    std::vector<TRGBQuad>& Palette() { return FPalette; }
    const std::vector<TRGBQuad>& Palette() const { return FPalette; }

    TCanvas& Canvas() { return *FCanvas; }
    const TCanvas& Canvas() const { return *FCanvas; }

    // The colour of a pixel in any format (-1 outside), and setting one.
    TColor GetPixel(int X, int Y) const;
    void SetPixelColor(int X, int Y, TColor C);

    // nullptr empties the bitmap; a TBitmap copies size, format, palette, pixels and transparency;
    // any other graphic renders itself through AssignTo.
    void Assign(const TGraphic* Source);
    void AssignTo(TBitmap& Dest) const override { Dest.Assign(this); }

    // Transparency: with TransparentMode tmAuto the colour is the bottom-left pixel's.
    enum TTransparentMode { tmAuto, tmFixed };
    TTransparentMode TransparentMode = tmAuto;
    TColor TransparentColor() const;
    void SetTransparentColor(TColor C); // switches TransparentMode to tmFixed

    // BMP reading and writing.
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    void Draw(TCanvas& Canvas, const TRect& Rect) const override;
    const char* ClassName() const override { return "TBitmap"; }

    // A QImage over the rows of a 24-bit (Format_BGR888) or 32-bit (Format_RGB32) bitmap, sharing
    // the pixels; other formats give a converted copy. Valid until the bitmap is resized.
    QImage AsQImage();
    // Copies a QImage into a 24-bit bitmap.
    void AssignQImage(const QImage& Image);
    // Takes size, format, palette and pixels of Other without copying (transparency and canvas
    // stay); Other is left empty.
    void TakePixels(TBitmap& Other);
    // What Assign(&Other) makes (pixels, format, palette and transparency), the pixels taken from
    // Other without a copy; Other is left empty.
    void TakeFrom(TBitmap& Other);

    // Gives the bitmap W x H pixels in pf whose bytes are not set, for a caller that writes every
    // row itself (a decoder); only the padding past each row's pixels is zeroed. The caller must
    // fill whatever rows it does not write. Raises through CheckPictureSize before allocating.
    // MapNow maps a big buffer's pages at once, on this thread; a caller that writes the rows on
    // several threads passes false, so that each thread's first touch maps its own rows, in small
    // pages.
    void AllocateForWriting(int W, int H, TPixelFormat pf, bool MapNow = true);

    // Pixel storage: growing it leaves the new bytes as they are (NewRows fills them when asked),
    // so a picture about to be written in full is not first filled.
    // (Constructing with a value, as a fill does, goes through the standard placement.)
    // Storage of 4 MB and more starts on a huge-page boundary and asks for huge pages, so that its
    // first touch costs a fault per 2 MB rather than per 4 KB.
    template <typename T>
    struct TUnsetAllocator : std::allocator<T> {
        template <typename U>
        struct rebind {
            using other = TUnsetAllocator<U>;
        };
        TUnsetAllocator() = default;
        template <typename U>
        TUnsetAllocator(const TUnsetAllocator<U>&) noexcept
        {
        }
        T* allocate(size_t N) { return static_cast<T*>(AllocatePixelStorage(N * sizeof(T))); }
        void deallocate(T* P, size_t N) noexcept { FreePixelStorage(P, N * sizeof(T)); }
        template <typename U>
        void construct(U* P) noexcept
        {
            ::new (static_cast<void*>(P)) U;
        }
    };
    static void* AllocatePixelStorage(size_t Bytes);
    static void FreePixelStorage(void* P, size_t Bytes) noexcept;
    using TPixelBytes = std::vector<uint8_t, TUnsetAllocator<uint8_t>>;

private:
    friend void ReadBMP(TStream& Stream, TBitmap& Bitmap);
    void CopyTransparency(const TBitmap& Source);
    // Storage for W x H in pf; every byte set to Fill, or left unset without one.
    void Allocate(int W, int H, TPixelFormat pf, std::optional<uint8_t> Fill, bool MapNow = true);
    int FWidth = 0;
    int FHeight = 0;
    TPixelFormat FPixelFormat = pf24bit;
    int FRowBytes = 0;
    TPixelBytes FBits;
    std::vector<TRGBQuad> FPalette;
    TColor FTransparentColor = clDefault;
    std::unique_ptr<TCanvas> FCanvas;
};

// ---- BMP files ---------------------------------------------------------------------------------------
// Reads a BMP (1, 4, 8, 16, 24, 32 bits; RLE4, RLE8, bit fields; top-down or bottom-up; core, info,
// V4 and V5 headers) from the stream's position. Every size is checked before use; damaged or cut
// short files raise EInvalidGraphic "Bitmap image is not valid" (or a more specific message).
// 1/4/8-bit files keep their format and palette; 16-bit files become 24-bit; 32-bit stay 32-bit.
void ReadBMP(TStream& Stream, TBitmap& Bitmap);
// Writes a BITMAPINFOHEADER BMP in the bitmap's own format (bottom-up rows, palette for indexed,
// 565 bit fields for pf16bit). An empty bitmap raises EInvalidGraphic "Cannot save an empty bitmap".
void WriteBMP(TStream& Stream, const TBitmap& Bitmap);
