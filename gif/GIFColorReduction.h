#pragma once
// Colour reduction: turns a bitmap of any pixel format into an 8-bit palette bitmap. A palette is
// chosen (fixed palettes, the halftone palette, an octree palette of the picture, or a given one),
// every pixel is mapped to an index through a colour lookup, and the mapping error is optionally
// diffused with one of six error-diffusion kernels. Lines are walked in serpentine order.
#include "gif/GIFTypes.h"
#include "platform/Graphics.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Reduction methods (argument of ReduceColors).
enum TColorReduction : uint8_t {
    ReduceNone = 0,            // a pf24bit copy
    ReduceStockPalette = 1,    // the 20 stock colours
    ReduceHalftone = 2,        // the halftone palette
    ReduceFourGrays = 3,       // 0x00, 0x80, 0xC0, 0xFF
    ReduceTwoColors = 4,       // black and white
    ReduceGrayRamp = 5,        // 256 grays
    ReduceColorCube = 6,       // the 216-colour cube
    ReduceOctree = 7,          // 2^ReductionBits octree colours of the picture
    ReduceOctreeWithStock = 8, // 236 octree colours between the 20 stock colours
    ReduceGivenPalette = 9,    // the caller's palette
};

// Dither methods (argument of ReduceColors).
enum TDitherMode : uint8_t {
    DitherNone = 0,
    DitherFloydSteinberg = 1,
    DitherStucki = 2,
    DitherSierra = 3,
    DitherJaJuNi = 4,
    DitherSteveArche = 5,
    DitherBurkes = 6,
};

// Palette entry flag: the entry is not to be merged with another.
constexpr uint8_t PC_NOCOLLAPSE = 4;

// ---- Palettes -----------------------------------------------------------------------------------
// The 20 colours of the stock default palette (the first and last ten of the system palette).
const TGIFPalette& StockDefaultPalette();
// Index r*36 + g*6 + b holds (r*51, g*51, b*51); flags 0.
TGIFPalette Create216ColorPalette();
// 256 grays, entry i = (i, i, i); no-collapse.
TGIFPalette CreateGrayPalette256();
// Black and white; no-collapse.
TGIFPalette CreateBlackWhitePalette();
// 0x00, 0x80, 0xC0, 0xFF; no-collapse.
TGIFPalette CreateGrayPalette4();
// 256 entries: the first ten stock colours, the 216-colour cube, 20 grays between the cube's grays,
// the last ten stock colours.
TGIFPalette CreateScreenHalftonePalette();

// ---- Reading any bitmap as 24-bit rows ----------------------------------------------------------
// Gives the rows of a bitmap of any pixel format as blue, green, red pixels without changing the
// bitmap: 24-bit rows are handed out in place, other formats are converted one row at a time.
class TRGBRowReader {
public:
    explicit TRGBRowReader(const TBitmap& Bitmap);
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    // Valid until the next call.
    const TRGBTriple* Row(int Y);

private:
    const TBitmap& FBitmap;
    int FWidth;
    int FHeight;
    std::vector<TRGBTriple> FRow;
};

// ---- Colour lookups -----------------------------------------------------------------------------
// Maps a colour to a palette index and gives that entry's colour. The concrete lookups are final,
// so that code written for one of them calls Lookup directly.
class TColorLookup {
public:
    explicit TColorLookup(int Colors) : FColors(Colors) {}
    virtual ~TColorLookup() = default;
    TColorLookup(const TColorLookup&) = delete;
    TColorLookup& operator=(const TColorLookup&) = delete;
    int Colors() const { return FColors; }
    virtual uint8_t Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) = 0;

protected:
    int FColors;
};

// Nearest palette entry by the sum of absolute channel differences, searched at most once per
// 15-bit colour cell: the first colour asked in a cell decides the index for the whole cell.
class TFastColorLookup final : public TColorLookup {
public:
    // Takes the first 256 entries at most.
    explicit TFastColorLookup(const TGIFPalette& Palette);
    uint8_t Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override
    {
        const int Cell = (Red >> 3) | ((Green >> 3) << 5) | ((Blue >> 3) << 10);
        uint16_t Index = FCache[Cell];
        if (Index == kEmpty)
            Index = FCache[Cell] = Search(Red, Green, Blue);
        const TRGBQuad& E = FEntries[Index];
        R = E.rgbRed;
        G = E.rgbGreen;
        B = E.rgbBlue;
        return static_cast<uint8_t>(Index);
    }

private:
    static constexpr uint16_t kEmpty = 0xFFFF;
    uint16_t Search(int Red, int Green, int Blue) const;
    std::array<TRGBQuad, 256> FEntries{};
    std::vector<uint16_t> FCache;
};

// The 216-colour cube by arithmetic.
class TNetscapeColorLookup final : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    uint8_t Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override
    {
        const int r = (Red + 3) / 51, g = (Green + 3) / 51, b = (Blue + 3) / 51;
        R = r * 51;
        G = g * 51;
        B = b * 51;
        return static_cast<uint8_t>(r * 36 + g * 6 + b);
    }
};

// The luminance as index into 256 grays.
class TGrayScaleLookup final : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    uint8_t Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override
    {
        const int Y = (Red * 77 + Green * 150 + Blue * 29) >> 8;
        R = G = B = Y;
        return static_cast<uint8_t>(Y);
    }
};

// Black below half luminance, else white.
class TMonochromeLookup final : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    uint8_t Lookup(int Red, int Green, int Blue, int& R, int& G, int& B) override
    {
        if (Red * 77 + Green * 150 + Blue * 29 < 32513) {
            R = G = B = 0;
            return 0;
        }
        R = G = B = 255;
        return 1;
    }
};

// ---- Ditherers ----------------------------------------------------------------------------------
// Walks the lines in serpentine order: Dither maps the pixel at Column and moves Column by
// Direction; NextLine turns round at the end of a line. The base maps to the nearest colour only.
class TDitherEngine {
public:
    TDitherEngine(int Width, TColorLookup* Lookup) : Lookup(Lookup), Width(Width) {}
    virtual ~TDitherEngine() = default;
    TDitherEngine(const TDitherEngine&) = delete;
    TDitherEngine& operator=(const TDitherEngine&) = delete;

    virtual uint8_t Dither(int Red, int Green, int Blue, int& R, int& G, int& B)
    {
        Column += Direction;
        return Lookup->Lookup(Red, Green, Blue, R, G, B);
    }
    virtual void NextLine()
    {
        Direction = -Direction;
        Column = Direction == 1 ? 0 : Width - 1;
    }
    // Moves over the pixel at Column without mapping it; an error diffuser drops what had gathered
    // there and spreads nothing from it.
    void Skip() { Column += Direction; }

    int Direction = 1;
    int Column = 0;
    TColorLookup* Lookup; // not owned
    int Width;

    // Dither for the rest of the line with the concrete lookup L (no virtual call): maps the pixels
    // from Column on into Dst. Source(X) gives the pixel at X, or nullptr to skip it like Skip
    // (Dst[X] is left as it is). Ends at the line's end with Column just past it, as Dither does.
    template <class L, class F> void DitherLine(L& Lk, uint8_t* Dst, F&& Source)
    {
        const int D = Direction, W = Width;
        int X = Column, R, G, B;
        for (; X >= 0 && X < W; X += D)
            if (const TRGBTriple* P = Source(X))
                Dst[X] = Lk.Lookup(P->rgbtRed, P->rgbtGreen, P->rgbtBlue, R, G, B);
        Column = X;
    }
};

// One kernel weight: line below the current one (0 = current), offset in the direction of travel.
struct TDiffusionWeight {
    int Line;
    int Offset;
    int Weight;
};

// An error diffuser for the kernel K (K::Weights, K::Divisor, K::Lines, K::Margin). Errors are
// kept per channel in 32-bit integers for the lines the kernel reaches, each line with Margin
// spare pixels on both sides; errors falling there are dropped.
template <class K> class TKernelDitherer : public TDitherEngine {
public:
    TKernelDitherer(int Width, TColorLookup* Lookup)
        : TDitherEngine(Width, Lookup), FStride((Width + 2 * K::Margin) * 3),
          FErrors(static_cast<size_t>(FStride) * K::Lines, 0)
    {
        for (int i = 0; i < K::Lines; ++i)
            FLines[i] = FErrors.data() + static_cast<size_t>(i) * FStride + K::Margin * 3;
    }

    uint8_t Dither(int Red, int Green, int Blue, int& R, int& G, int& B) override
    {
        const uint8_t Index = Diffuse(*Lookup, FLines, Column, Direction, Red, Green, Blue, R, G, B);
        Column += Direction;
        return Index;
    }
    void NextLine() override
    {
        int32_t* First = FLines[0] - K::Margin * 3;
        std::fill(First, First + FStride, 0);
        for (int i = 0; i + 1 < K::Lines; ++i)
            FLines[i] = FLines[i + 1];
        FLines[K::Lines - 1] = First + K::Margin * 3;
        TDitherEngine::NextLine();
    }

    // As TDitherEngine::DitherLine, with the error diffusion.
    template <class L, class F> void DitherLine(L& Lk, uint8_t* Dst, F&& Source)
    {
        // Locals, so that the error stores cannot be taken to change them.
        int32_t* Lines[K::Lines];
        std::copy(FLines, FLines + K::Lines, Lines);
        const int D = Direction, W = Width;
        int X = Column, R, G, B;
        for (; X >= 0 && X < W; X += D)
            if (const TRGBTriple* P = Source(X))
                Dst[X] = Diffuse(Lk, Lines, X, D, P->rgbtRed, P->rgbtGreen, P->rgbtBlue, R, G, B);
        Column = X;
    }

private:
    static int Clamp(int V) { return V < 0 ? 0 : (V > 255 ? 255 : V); }
    // Maps pixel X (the error at X of line 0 added first) and spreads its error.
    template <class L>
    static uint8_t Diffuse(L& Lk, int32_t* const* Lines, int Column, int Direction, int Red, int Green, int Blue,
                           int& R, int& G, int& B)
    {
        const int X = Column * 3;
        const int32_t* E = Lines[0] + X;
        constexpr int Half = K::Divisor / 2;
        const int V0 = Clamp(Red + (E[2] + Half) / K::Divisor);
        const int V1 = Clamp(Green + (E[1] + Half) / K::Divisor);
        const int V2 = Clamp(Blue + (E[0] + Half) / K::Divisor);
        const uint8_t Index = Lk.Lookup(V0, V1, V2, R, G, B);
        const int ER = V0 - R, EG = V1 - G, EB = V2 - B;
        if (ER | EG | EB) {
            const int D3 = Direction * 3;
            for (const TDiffusionWeight& W : K::Weights) {
                int32_t* P = Lines[W.Line] + X + W.Offset * D3;
                P[0] += EB * W.Weight;
                P[1] += EG * W.Weight;
                P[2] += ER * W.Weight;
            }
        }
        return Index;
    }
    int FStride; // ints per line
    std::vector<int32_t> FErrors;
    int32_t* FLines[K::Lines];
};

struct TFloydSteinbergKernel {
    static constexpr int Divisor = 16, Lines = 2, Margin = 1;
    static constexpr TDiffusionWeight Weights[] = {{0, 1, 7}, {1, -1, 3}, {1, 0, 5}, {1, 1, 1}};
};
struct TStuckiKernel {
    static constexpr int Divisor = 42, Lines = 3, Margin = 2;
    static constexpr TDiffusionWeight Weights[] = {
        {0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2},
        {2, -2, 1}, {2, -1, 2}, {2, 0, 4}, {2, 1, 2}, {2, 2, 1}};
};
struct TSierraKernel {
    static constexpr int Divisor = 32, Lines = 3, Margin = 2;
    static constexpr TDiffusionWeight Weights[] = {
        {0, 1, 5}, {0, 2, 3}, {1, -2, 2}, {1, -1, 4}, {1, 0, 5}, {1, 1, 4}, {1, 2, 2},
        {2, -1, 2}, {2, 0, 3}, {2, 1, 2}};
};
struct TJaJuNiKernel {
    static constexpr int Divisor = 48, Lines = 3, Margin = 2;
    static constexpr TDiffusionWeight Weights[] = {
        {0, 1, 7}, {0, 2, 5}, {1, -2, 3}, {1, -1, 5}, {1, 0, 7}, {1, 1, 5}, {1, 2, 3},
        {2, -2, 1}, {2, -1, 3}, {2, 0, 5}, {2, 1, 3}, {2, 2, 1}};
};
struct TSteveArcheKernel {
    static constexpr int Divisor = 200, Lines = 4, Margin = 3;
    static constexpr TDiffusionWeight Weights[] = {
        {0, 2, 32}, {1, -3, 12}, {1, -1, 26}, {1, 1, 30}, {1, 3, 16}, {2, -2, 12}, {2, 0, 26},
        {2, 2, 12}, {3, -3, 5}, {3, -1, 12}, {3, 1, 12}, {3, 3, 5}};
};
struct TBurkesKernel {
    static constexpr int Divisor = 32, Lines = 2, Margin = 2;
    static constexpr TDiffusionWeight Weights[] = {
        {0, 1, 8}, {0, 2, 4}, {1, -2, 2}, {1, -1, 4}, {1, 0, 8}, {1, 1, 4}, {1, 2, 2}};
};

#define GIF_DITHERER(Name, Kernel)                                                                   \
    class Name final : public TKernelDitherer<Kernel> {                                              \
    public:                                                                                          \
        using TKernelDitherer<Kernel>::TKernelDitherer;                                              \
    };
GIF_DITHERER(TFloydSteinbergDitherer, TFloydSteinbergKernel)
GIF_DITHERER(TStuckiDitherer, TStuckiKernel)
GIF_DITHERER(TSierraDitherer, TSierraKernel)
GIF_DITHERER(TJaJuNiDitherer, TJaJuNiKernel)
GIF_DITHERER(TSteveArcheDitherer, TSteveArcheKernel)
GIF_DITHERER(TBurkesDitherer, TBurkesKernel)
#undef GIF_DITHERER

// The ditherer of a dither mode (0..6), or nullptr for another value.
std::unique_ptr<TDitherEngine> CreateDitherer(int DitherMode, int Width, TColorLookup* Lookup);

// ---- Octree quantizer -----------------------------------------------------------------------------
// Builds a palette of at most MaxColors colours: every colour is added to an octree of depth
// ColorBits, and whenever there are more leaves than MaxColors the deepest, most recently made
// inner node is folded into a leaf. Nodes live in one pool; sums are 64-bit so that large
// pictures of one colour do not overflow.
class TColorQuantizer {
public:
    TColorQuantizer(int MaxColors, int ColorBits);
    void AddColor(int Red, int Green, int Blue);
    // Adds a colour and reduces the tree until it has at most MaxColors leaves.
    void Add(int Red, int Green, int Blue)
    {
        AddColor(Red, Green, Blue);
        while (FLeafCount > FMaxColors && ReduceTree()) {
        }
    }
    // Folds one node; false when nothing is left to fold.
    bool ReduceTree();
    int LeafCount() const { return FLeafCount; }
    // The leaf colours, depth first, children 0 to 7.
    std::vector<TRGBQuad> ColorTable() const;

private:
    struct TOctreeNode {
        bool IsLeaf = false;
        uint32_t PixelCount = 0;
        uint64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
        int32_t Next = -1;
        int32_t Children[8] = {-1, -1, -1, -1, -1, -1, -1, -1};
    };
    int32_t NewNode(int Level);
    void FreeNode(int32_t Node);

    std::vector<TOctreeNode> FNodes;
    int32_t FFree = -1; // free list through Next
    int32_t FTree = -1;
    int FLeafCount = 0;
    int32_t FReducibleNodes[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    int FMaxColors;
    int FColorBits;
};

// Octree palette of Colors entries from the rows of Reader (without stock colours), or 256 entries
// with the stock colours at 0-9 and 246-255 and 236 quantized colours between. Entries the picture
// does not fill are black.
TGIFPalette CreateOptimizedPalette(TRGBRowReader& Reader, int Colors, int ColorBits, bool KeepStockColors);
TGIFPalette CreateOptimizedPaletteFromBitmap(const TBitmap& Bitmap, int Colors, int ColorBits,
                                             bool KeepStockColors);

// ---- Reduction ------------------------------------------------------------------------------------
// A new bitmap owned by the caller: ReduceNone gives a pf24bit copy; methods 1-9 give a pf8bit
// bitmap of Bitmap's size with the method's palette. ReductionBits (method 7) is taken in 1..8;
// Palette is used by method 9. An unknown method or dither mode, or an empty palette, gives an empty
// bitmap; an empty source raises "Invalid image dimensions". Bitmap is only read.
std::unique_ptr<TBitmap> ReduceColors(const TBitmap& Bitmap, int ReductionMethod, int DitherMode,
                                      int ReductionBits, const TGIFPalette& Palette);

// A picture that already fits a palette, taken without loss: when the pixels of Bitmap hold at most
// 256 distinct colours, a pf8bit bitmap of Bitmap's size whose palette holds exactly those colours
// (ascending by red, green, blue) and whose pixels index them; no dithering. nullptr when Bitmap
// has more colours or no pixels. Counting stops at the first colour too many.
std::unique_ptr<TBitmap> ReduceColorsExact(const TBitmap& Bitmap);

// As ReduceColorsExact for the pixels that are not TransparentColor, at most 255 distinct colours;
// TransparentColor gets an entry of its own after them, which becomes TransparentIndex, and exactly
// the pixels of that colour take it (as in ReduceColorsTransparent). nullptr (TransparentIndex -1)
// when the other pixels hold more than 255 colours, or Bitmap has no pixels.
std::unique_ptr<TBitmap> ReduceColorsExactTransparent(const TBitmap& Bitmap, TColor TransparentColor,
                                                      int& TransparentIndex);

// Reduces the pixels that are not TransparentColor to at most 255 octree colours (palette entries
// 0..n-1, none of them equal to TransparentColor) and gives TransparentColor its own entry n, which
// becomes TransparentIndex: exactly the pixels of that colour get it. Those pixels take no part in
// the error diffusion and the lookup never chooses their index for another pixel. Result pf8bit
// with n + 1 palette entries; an unknown dither mode gives an empty bitmap.
std::unique_ptr<TBitmap> ReduceColorsTransparent(const TBitmap& Bitmap, TColor TransparentColor,
                                                 int& TransparentIndex, int DitherMode = DitherFloydSteinberg);
