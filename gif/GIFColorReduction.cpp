// Colour reduction and dithering.
#include "gif/GIFColorReduction.h"

#include <algorithm>
#include <cstdlib>

namespace {

TRGBQuad Entry(int R, int G, int B, uint8_t Flags = 0)
{
    return TRGBQuad{static_cast<uint8_t>(B), static_cast<uint8_t>(G), static_cast<uint8_t>(R), Flags};
}

TGIFPalette GrayPalette(std::initializer_list<int> Levels)
{
    TGIFPalette P;
    for (int L : Levels)
        P.push_back(Entry(L, L, L, PC_NOCOLLAPSE));
    return P;
}

void AddColorCube(TGIFPalette& P)
{
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                P.push_back(Entry(r * 51, g * 51, b * 51));
}

// The stock colours go to entries 0-9 and 246-255 of a 256-entry palette.
void PlaceStockColors(TGIFPalette& P)
{
    const TGIFPalette& Stock = StockDefaultPalette();
    std::copy(Stock.begin(), Stock.begin() + 10, P.begin());
    std::copy(Stock.begin() + 10, Stock.end(), P.begin() + 246);
}

TRGBTriple ToTriple(TColor C)
{
    C = ColorToRGB(C);
    return TRGBTriple{GetBValue(C), GetGValue(C), GetRValue(C)};
}

// Maps every row of Reader into Target (pf8bit, same size) in the ditherer's serpentine order.
// With KeepOut, pixels of the colour Transparent get TransparentIndex and are skipped.
template <bool KeepOut, class D, class L>
void DitherRows(D& Ditherer, L& Lookup, TRGBRowReader& Reader, TBitmap& Target, TRGBTriple Transparent,
                uint8_t TransparentIndex)
{
    for (int Y = 0; Y < Reader.Height(); ++Y) {
        const TRGBTriple* Src = Reader.Row(Y);
        uint8_t* Dst = Target.ScanLine(Y);
        if constexpr (KeepOut) {
            std::fill(Dst, Dst + Reader.Width(), TransparentIndex);
            Ditherer.DitherLine(Lookup, Dst, [&](int X) { return Src[X] == Transparent ? nullptr : Src + X; });
        } else {
            Ditherer.DitherLine(Lookup, Dst, [&](int X) { return Src + X; });
        }
        Ditherer.NextLine();
    }
}

// Runs DitherRows with the concrete ditherer of DitherMode (0..6).
template <bool KeepOut, class L>
void DitherWithMode(int DitherMode, L& Lookup, TRGBRowReader& Reader, TBitmap& Target, TRGBTriple Transparent,
                    uint8_t TransparentIndex)
{
    const int W = Reader.Width();
    auto Run = [&](auto&& Ditherer) {
        DitherRows<KeepOut>(Ditherer, Lookup, Reader, Target, Transparent, TransparentIndex);
    };
    switch (DitherMode) {
    case DitherNone: Run(TDitherEngine(W, &Lookup)); break;
    case DitherFloydSteinberg: Run(TFloydSteinbergDitherer(W, &Lookup)); break;
    case DitherStucki: Run(TStuckiDitherer(W, &Lookup)); break;
    case DitherSierra: Run(TSierraDitherer(W, &Lookup)); break;
    case DitherJaJuNi: Run(TJaJuNiDitherer(W, &Lookup)); break;
    case DitherSteveArche: Run(TSteveArcheDitherer(W, &Lookup)); break;
    case DitherBurkes: Run(TBurkesDitherer(W, &Lookup)); break;
    default: break;
    }
}

// A palette as a bitmap's colour table: the entry flags are not part of it.
TGIFPalette ColorTableOf(TGIFPalette Palette)
{
    for (TRGBQuad& E : Palette)
        E.rgbReserved = 0;
    return Palette;
}

bool ValidDitherMode(int DitherMode) { return DitherMode >= DitherNone && DitherMode <= DitherBurkes; }

} // namespace

// ---- Palettes -------------------------------------------------------------------------------------

const TGIFPalette& StockDefaultPalette()
{
    static const TGIFPalette Stock = {
        Entry(0, 0, 0),       Entry(128, 0, 0),     Entry(0, 128, 0),     Entry(128, 128, 0),
        Entry(0, 0, 128),     Entry(128, 0, 128),   Entry(0, 128, 128),   Entry(192, 192, 192),
        Entry(192, 220, 192), Entry(166, 202, 240), Entry(255, 251, 240), Entry(160, 160, 164),
        Entry(128, 128, 128), Entry(255, 0, 0),     Entry(0, 255, 0),     Entry(255, 255, 0),
        Entry(0, 0, 255),     Entry(255, 0, 255),   Entry(0, 255, 255),   Entry(255, 255, 255),
    };
    return Stock;
}

TGIFPalette Create216ColorPalette()
{
    TGIFPalette P;
    P.reserve(216);
    AddColorCube(P);
    return P;
}

TGIFPalette CreateGrayPalette256()
{
    TGIFPalette P(256);
    for (int i = 0; i < 256; ++i)
        P[i] = Entry(i, i, i, PC_NOCOLLAPSE);
    return P;
}

TGIFPalette CreateBlackWhitePalette() { return GrayPalette({0x00, 0xFF}); }

TGIFPalette CreateGrayPalette4() { return GrayPalette({0x00, 0x80, 0xC0, 0xFF}); }

TGIFPalette CreateScreenHalftonePalette()
{
    TGIFPalette P(10);
    AddColorCube(P);
    // Grays k * 255 / 21 for k = 1..20, rounded; none of them is a gray of the cube.
    for (int k = 1; k <= 20; ++k) {
        const int L = (k * 255 * 2 + 21) / 42;
        P.push_back(Entry(L, L, L));
    }
    P.resize(256);
    PlaceStockColors(P);
    return P;
}

// ---- Row reader -----------------------------------------------------------------------------------

TRGBRowReader::TRGBRowReader(const TBitmap& Bitmap)
    : FBitmap(Bitmap), FWidth(Bitmap.Width()), FHeight(Bitmap.Height())
{
    const TPixelFormat F = Bitmap.PixelFormat();
    if (F != pf24bit && F != pfDevice)
        FRow.resize(static_cast<size_t>(FWidth));
}

const TRGBTriple* TRGBRowReader::Row(int Y)
{
    const TPixelFormat F = FBitmap.PixelFormat();
    if (F == pf24bit || F == pfDevice)
        return FBitmap.Row24(Y);
    const uint8_t* Src = FBitmap.ScanLine(Y);
    const std::vector<TRGBQuad>& Pal = FBitmap.Palette();
    auto FromIndex = [&](unsigned Index) {
        if (Index >= Pal.size())
            return TRGBTriple{};
        const TRGBQuad& Q = Pal[Index];
        return TRGBTriple{Q.rgbBlue, Q.rgbGreen, Q.rgbRed};
    };
    switch (F) {
    case pf32bit:
        for (int X = 0; X < FWidth; ++X)
            FRow[X] = TRGBTriple{Src[X * 4], Src[X * 4 + 1], Src[X * 4 + 2]};
        break;
    case pf8bit:
        for (int X = 0; X < FWidth; ++X)
            FRow[X] = FromIndex(Src[X]);
        break;
    case pf4bit:
        for (int X = 0; X < FWidth; ++X)
            FRow[X] = FromIndex((X & 1) ? (Src[X >> 1] & 0x0F) : (Src[X >> 1] >> 4));
        break;
    case pf1bit:
        for (int X = 0; X < FWidth; ++X)
            FRow[X] = FromIndex((Src[X >> 3] >> (7 - (X & 7))) & 1);
        break;
    default:
        for (int X = 0; X < FWidth; ++X)
            FRow[X] = ToTriple(FBitmap.GetPixel(X, Y));
        break;
    }
    return FRow.data();
}

// ---- Fast lookup ----------------------------------------------------------------------------------

TFastColorLookup::TFastColorLookup(const TGIFPalette& Palette)
    : TColorLookup(static_cast<int>(std::min<size_t>(Palette.size(), 256))), FCache(32768, kEmpty)
{
    for (int i = 0; i < FColors; ++i) {
        FEntries[i] = Palette[i];
        const TRGBQuad& E = FEntries[i];
        const int Cell = (E.rgbRed >> 3) | ((E.rgbGreen >> 3) << 5) | ((E.rgbBlue >> 3) << 10);
        if (FCache[Cell] == kEmpty)
            FCache[Cell] = static_cast<uint16_t>(i);
    }
}

uint16_t TFastColorLookup::Search(int Red, int Green, int Blue) const
{
    int Best = 0x30000;
    uint16_t Index = 0;
    for (int i = 0; i < FColors; ++i) {
        const TRGBQuad& E = FEntries[i];
        const int D = std::abs(Red - E.rgbRed) + std::abs(Green - E.rgbGreen) + std::abs(Blue - E.rgbBlue);
        if (D < Best) {
            Best = D;
            Index = static_cast<uint16_t>(i);
        }
    }
    return Index;
}

// ---- Ditherer factory -----------------------------------------------------------------------------

std::unique_ptr<TDitherEngine> CreateDitherer(int DitherMode, int Width, TColorLookup* Lookup)
{
    switch (DitherMode) {
    case DitherNone: return std::make_unique<TDitherEngine>(Width, Lookup);
    case DitherFloydSteinberg: return std::make_unique<TFloydSteinbergDitherer>(Width, Lookup);
    case DitherStucki: return std::make_unique<TStuckiDitherer>(Width, Lookup);
    case DitherSierra: return std::make_unique<TSierraDitherer>(Width, Lookup);
    case DitherJaJuNi: return std::make_unique<TJaJuNiDitherer>(Width, Lookup);
    case DitherSteveArche: return std::make_unique<TSteveArcheDitherer>(Width, Lookup);
    case DitherBurkes: return std::make_unique<TBurkesDitherer>(Width, Lookup);
    default: return nullptr;
    }
}

// ---- Octree ---------------------------------------------------------------------------------------

TColorQuantizer::TColorQuantizer(int MaxColors, int ColorBits)
    : FMaxColors(MaxColors), FColorBits(std::clamp(ColorBits, 0, 8))
{
    // Leaves stay at MaxColors + 1 at most, each with at most ColorBits inner nodes above it.
    FNodes.reserve(static_cast<size_t>(std::clamp(MaxColors, 1, 256) + 1) * (FColorBits + 1) + 8);
}

int32_t TColorQuantizer::NewNode(int Level)
{
    int32_t Node;
    if (FFree >= 0) {
        Node = FFree;
        FFree = FNodes[Node].Next;
        FNodes[Node] = TOctreeNode();
    } else {
        Node = static_cast<int32_t>(FNodes.size());
        FNodes.emplace_back();
    }
    TOctreeNode& N = FNodes[Node];
    if (Level == FColorBits) {
        N.IsLeaf = true;
        ++FLeafCount;
    } else {
        N.Next = FReducibleNodes[Level];
        FReducibleNodes[Level] = Node;
    }
    return Node;
}

void TColorQuantizer::FreeNode(int32_t Node)
{
    FNodes[Node].Next = FFree;
    FFree = Node;
}

void TColorQuantizer::AddColor(int Red, int Green, int Blue)
{
    if (FTree < 0)
        FTree = NewNode(0);
    int32_t Node = FTree;
    for (int Level = 0;; ++Level) {
        TOctreeNode& N = FNodes[Node];
        if (N.IsLeaf) {
            ++N.PixelCount;
            N.RedSum += static_cast<uint32_t>(Red);
            N.GreenSum += static_cast<uint32_t>(Green);
            N.BlueSum += static_cast<uint32_t>(Blue);
            return;
        }
        const int Shift = 7 - Level;
        const int Index = (((Red >> Shift) & 1) << 2) | (((Green >> Shift) & 1) << 1) | ((Blue >> Shift) & 1);
        int32_t Child = N.Children[Index];
        if (Child < 0) {
            Child = NewNode(Level + 1); // may move the pool
            FNodes[Node].Children[Index] = Child;
        }
        Node = Child;
    }
}

bool TColorQuantizer::ReduceTree()
{
    int Level = FColorBits - 1;
    while (Level > 0 && FReducibleNodes[Level] < 0)
        --Level;
    if (Level < 0 || FReducibleNodes[Level] < 0)
        return false;
    const int32_t Node = FReducibleNodes[Level];
    TOctreeNode& N = FNodes[Node];
    FReducibleNodes[Level] = N.Next;
    N.Next = -1;
    int Children = 0;
    for (int32_t& C : N.Children) {
        if (C < 0)
            continue;
        const TOctreeNode& Child = FNodes[C];
        N.PixelCount += Child.PixelCount;
        N.RedSum += Child.RedSum;
        N.GreenSum += Child.GreenSum;
        N.BlueSum += Child.BlueSum;
        FreeNode(C);
        C = -1;
        ++Children;
    }
    N.IsLeaf = true;
    FLeafCount -= Children - 1;
    return true;
}

std::vector<TRGBQuad> TColorQuantizer::ColorTable() const
{
    std::vector<TRGBQuad> Table;
    Table.reserve(static_cast<size_t>(FLeafCount));
    auto Collect = [&](auto&& Self, int32_t Node) -> void {
        const TOctreeNode& N = FNodes[Node];
        if (N.IsLeaf) {
            if (N.PixelCount == 0)
                Table.push_back(TRGBQuad{});
            else
                Table.push_back(Entry(static_cast<int>(N.RedSum / N.PixelCount),
                                      static_cast<int>(N.GreenSum / N.PixelCount),
                                      static_cast<int>(N.BlueSum / N.PixelCount)));
            return;
        }
        for (int32_t C : N.Children)
            if (C >= 0)
                Self(Self, C);
    };
    if (FTree >= 0)
        Collect(Collect, FTree);
    return Table;
}

namespace {

// Quantizes the pixels of Reader (all, or those that are not Transparent) and returns the colours.
template <bool KeepOut>
std::vector<TRGBQuad> QuantizeRows(TRGBRowReader& Reader, int MaxColors, int ColorBits, TRGBTriple Transparent)
{
    TColorQuantizer Q(MaxColors, ColorBits);
    for (int Y = 0; Y < Reader.Height(); ++Y) {
        const TRGBTriple* Row = Reader.Row(Y);
        for (int X = 0; X < Reader.Width(); ++X) {
            const TRGBTriple P = Row[X];
            if (!KeepOut || !(P == Transparent))
                Q.Add(P.rgbtRed, P.rgbtGreen, P.rgbtBlue);
        }
    }
    std::vector<TRGBQuad> Table = Q.ColorTable();
    if (static_cast<int>(Table.size()) > MaxColors)
        Table.resize(static_cast<size_t>(std::max(MaxColors, 0)));
    return Table;
}

} // namespace

TGIFPalette CreateOptimizedPalette(TRGBRowReader& Reader, int Colors, int ColorBits, bool KeepStockColors)
{
    Colors = std::clamp(Colors, 0, 256);
    const int MaxColors = KeepStockColors ? 236 : Colors;
    const int Offset = KeepStockColors ? 10 : 0;
    TGIFPalette Palette(KeepStockColors ? 256 : static_cast<size_t>(Colors));
    if (KeepStockColors)
        PlaceStockColors(Palette);
    const std::vector<TRGBQuad> Table = QuantizeRows<false>(Reader, MaxColors, ColorBits, TRGBTriple{});
    std::copy(Table.begin(), Table.end(), Palette.begin() + Offset);
    return Palette;
}

TGIFPalette CreateOptimizedPaletteFromBitmap(const TBitmap& Bitmap, int Colors, int ColorBits, bool KeepStockColors)
{
    TRGBRowReader Reader(Bitmap);
    return CreateOptimizedPalette(Reader, Colors, ColorBits, KeepStockColors);
}

// ---- Reduction ------------------------------------------------------------------------------------

std::unique_ptr<TBitmap> ReduceColors(const TBitmap& Bitmap, int ReductionMethod, int DitherMode, int ReductionBits,
                                      const TGIFPalette& Palette)
{
    auto Result = std::make_unique<TBitmap>();
    if (ReductionMethod == ReduceNone) {
        Result->Assign(&Bitmap);
        Result->SetPixelFormat(pf24bit);
        return Result;
    }
    // A large target is sized while it has one bit per pixel, the cheapest format to resize.
    if (static_cast<int64_t>(Bitmap.Width()) * Bitmap.Height() > 500000)
        Result->SetPixelFormat(pf1bit);
    if (ReductionMethod < ReduceNone || ReductionMethod > ReduceGivenPalette || !ValidDitherMode(DitherMode))
        return Result;

    TRGBRowReader Reader(Bitmap);
    TGIFPalette Pal;
    switch (ReductionMethod) {
    case ReduceStockPalette: Pal = StockDefaultPalette(); break;
    case ReduceHalftone: Pal = CreateScreenHalftonePalette(); break;
    case ReduceFourGrays: Pal = CreateGrayPalette4(); break;
    case ReduceTwoColors: Pal = CreateBlackWhitePalette(); break;
    case ReduceGrayRamp: Pal = CreateGrayPalette256(); break;
    case ReduceColorCube: Pal = Create216ColorPalette(); break;
    case ReduceOctree:
        Pal = CreateOptimizedPalette(Reader, 1 << std::clamp(ReductionBits, 1, 8), 8, false);
        break;
    case ReduceOctreeWithStock: Pal = CreateOptimizedPalette(Reader, 256, 8, true); break;
    default: Pal = Palette; break;
    }

    auto Run = [&](auto& Lookup) {
        if (Lookup.Colors() == 0)
            return;
        TDIBWriter Writer(*Result, pf8bit, Bitmap.Width(), Bitmap.Height(), ColorTableOf(Pal));
        DitherWithMode<false>(DitherMode, Lookup, Reader, *Result, TRGBTriple{}, 0);
    };
    switch (ReductionMethod) {
    case ReduceTwoColors: {
        TMonochromeLookup L;
        Run(L);
        break;
    }
    case ReduceGrayRamp: {
        TGrayScaleLookup L;
        Run(L);
        break;
    }
    case ReduceColorCube: {
        TNetscapeColorLookup L;
        Run(L);
        break;
    }
    default: {
        TFastColorLookup L(Pal);
        Run(L);
        break;
    }
    }
    return Result;
}

// ---- Exact palettes -------------------------------------------------------------------------------

namespace {

uint32_t ColorKey(const TRGBTriple& P)
{
    return (uint32_t(P.rgbtRed) << 16) | (uint32_t(P.rgbtGreen) << 8) | P.rgbtBlue;
}

// The distinct colours of a picture of few colours: an open-addressed table of 24-bit colour keys,
// small enough to stay in the first-level cache, each key with its palette index.
class TExactColorTable {
public:
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu; // no 24-bit key
    TExactColorTable() { FKeys.fill(kEmpty); }

    // Adds Key; false when it is new and the table already holds Max keys.
    bool Add(uint32_t Key, int Max)
    {
        const uint32_t S = Slot(Key);
        if (FKeys[S] == Key)
            return true;
        if (FCount == Max)
            return false;
        FKeys[S] = Key;
        ++FCount;
        return true;
    }
    // The index of a key that was added.
    uint8_t IndexOf(uint32_t Key) const { return FIndex[Slot(Key)]; }

    // Numbers the keys in ascending order and gives them as palette entries in that order.
    TGIFPalette Number()
    {
        std::vector<uint32_t> Sorted;
        Sorted.reserve(static_cast<size_t>(FCount));
        for (uint32_t K : FKeys)
            if (K != kEmpty)
                Sorted.push_back(K);
        std::sort(Sorted.begin(), Sorted.end());
        TGIFPalette Palette;
        Palette.reserve(Sorted.size() + 1);
        for (size_t I = 0; I < Sorted.size(); ++I) {
            const uint32_t K = Sorted[I];
            FIndex[Slot(K)] = static_cast<uint8_t>(I);
            Palette.push_back(Entry(int(K >> 16), int((K >> 8) & 0xFF), int(K & 0xFF)));
        }
        return Palette;
    }

private:
    static constexpr int kBits = 10; // 1024 slots for at most 257 keys
    static constexpr uint32_t kSlots = 1u << kBits;
    uint32_t Slot(uint32_t Key) const
    {
        uint32_t S = (Key * 0x9E3779B1u) >> (32 - kBits);
        while (FKeys[S] != Key && FKeys[S] != kEmpty)
            S = (S + 1) & (kSlots - 1);
        return S;
    }
    std::array<uint32_t, kSlots> FKeys;
    std::array<uint8_t, kSlots> FIndex{};
    int FCount = 0;
};

// The picture's colours (without Transparent when KeepOut) into an exact palette and a pf8bit
// bitmap indexing it, Transparent's pixels taking the entry after them; nullptr when there are
// more than MaxColors. Runs of one colour are looked up once.
template <bool KeepOut>
std::unique_ptr<TBitmap> MapExactly(const TBitmap& Bitmap, int MaxColors, TRGBTriple Transparent,
                                    int& TransparentIndex)
{
    TransparentIndex = -1;
    if (Bitmap.Width() <= 0 || Bitmap.Height() <= 0)
        return nullptr;
    TRGBRowReader Reader(Bitmap);
    const int W = Reader.Width(), H = Reader.Height();
    const uint32_t T = KeepOut ? ColorKey(Transparent) : TExactColorTable::kEmpty;
    TExactColorTable Table;
    uint32_t Last = TExactColorTable::kEmpty;
    for (int Y = 0; Y < H; ++Y) {
        const TRGBTriple* Row = Reader.Row(Y);
        for (int X = 0; X < W; ++X) {
            const uint32_t K = ColorKey(Row[X]);
            if (K == Last)
                continue;
            Last = K;
            if (K != T && !Table.Add(K, MaxColors))
                return nullptr;
        }
    }
    TGIFPalette Pal = Table.Number();
    const uint8_t TIndex = static_cast<uint8_t>(Pal.size());
    if (KeepOut)
        Pal.push_back(TRGBQuad{Transparent.rgbtBlue, Transparent.rgbtGreen, Transparent.rgbtRed, 0});

    auto Result = std::make_unique<TBitmap>();
    TDIBWriter Writer(*Result, pf8bit, W, H, Pal);
    for (int Y = 0; Y < H; ++Y) {
        const TRGBTriple* Src = Reader.Row(Y);
        uint8_t* Dst = Result->ScanLine(Y);
        Last = TExactColorTable::kEmpty;
        uint8_t Index = 0;
        for (int X = 0; X < W; ++X) {
            const uint32_t K = ColorKey(Src[X]);
            if (K != Last) {
                Last = K;
                Index = K == T ? TIndex : Table.IndexOf(K);
            }
            Dst[X] = Index;
        }
    }
    if (KeepOut)
        TransparentIndex = TIndex;
    return Result;
}

} // namespace

std::unique_ptr<TBitmap> ReduceColorsExact(const TBitmap& Bitmap)
{
    int Unused;
    return MapExactly<false>(Bitmap, 256, TRGBTriple{}, Unused);
}

std::unique_ptr<TBitmap> ReduceColorsExactTransparent(const TBitmap& Bitmap, TColor TransparentColor,
                                                      int& TransparentIndex)
{
    return MapExactly<true>(Bitmap, 255, ToTriple(TransparentColor), TransparentIndex);
}

std::unique_ptr<TBitmap> ReduceColorsTransparent(const TBitmap& Bitmap, TColor TransparentColor,
                                                 int& TransparentIndex, int DitherMode)
{
    TransparentIndex = -1;
    auto Result = std::make_unique<TBitmap>();
    if (!ValidDitherMode(DitherMode))
        return Result;
    const TRGBTriple T = ToTriple(TransparentColor);
    TRGBRowReader Reader(Bitmap);
    TGIFPalette Pal = QuantizeRows<true>(Reader, 255, 8, T);
    // A quantized colour equal to the transparent one would turn transparent once the file is read
    // back by colour; move it by one step of blue.
    for (TRGBQuad& E : Pal)
        if (E.rgbRed == T.rgbtRed && E.rgbGreen == T.rgbtGreen && E.rgbBlue == T.rgbtBlue)
            E.rgbBlue ^= 1;
    const int Index = static_cast<int>(Pal.size());
    TFastColorLookup Lookup(Pal); // the transparent entry is not among its colours
    Pal.push_back(TRGBQuad{T.rgbtBlue, T.rgbtGreen, T.rgbtRed, 0});

    TDIBWriter Writer(*Result, pf8bit, Bitmap.Width(), Bitmap.Height(), Pal);
    DitherWithMode<true>(DitherMode, Lookup, Reader, *Result, T, static_cast<uint8_t>(Index));
    TransparentIndex = Index;
    return Result;
}
