// Bitmaps, pixel formats and the picture-format registry.
#include "platform/Graphics.h"

#include "platform/DecodeBudget.h"
#include "platform/HugePages.h"
#include "platform/PixelRows.h"

#include <QImage>

#include <algorithm>
#include <bit>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

using namespace pixelrows;

// ---- Limits and formats ---------------------------------------------------------------------------

void CheckPictureSize(int64_t W, int64_t H)
{
    if (W < 0 || H < 0)
        throw EInvalidGraphic(Format("Invalid picture size %d x %d", W, H));
    if (W > kMaxPictureSide || H > kMaxPictureSide || W * H > kMaxPicturePixels)
        throw EInvalidGraphic(Format("Picture of %d x %d pixels is too large", W, H));
}

int BitsPerPixel(TPixelFormat pf)
{
    switch (pf) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf32bit: return 32;
    case pfCustom: return 0;
    default: return 24; // pfDevice, pf24bit
    }
}

// ---- Pixel rows ------------------------------------------------------------------------------------

namespace pixelrows {

const std::vector<TRGBQuad>& DefaultPalette(int Bpp)
{
    static const std::vector<TRGBQuad> mono{{0, 0, 0, 0}, {255, 255, 255, 0}};
    static const std::vector<TRGBQuad> sixteen = [] {
        const TColor colours[16] = {clBlack, clMaroon, clGreen,  clOlive, clNavy, clPurple,
                                    clTeal,  clGray,   clSilver, clRed,   clLime, clYellow,
                                    clBlue,  clFuchsia, clAqua,  clWhite};
        std::vector<TRGBQuad> p;
        for (TColor c : colours)
            p.push_back({GetBValue(c), GetGValue(c), GetRValue(c), 0});
        return p;
    }();
    static const std::vector<TRGBQuad> full = [] {
        std::vector<TRGBQuad> p = sixteen;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    p.push_back({uint8_t(b * 51), uint8_t(g * 51), uint8_t(r * 51), 0});
        for (int i = 0; p.size() < 256; ++i)
            p.push_back({uint8_t(8 + i * 10), uint8_t(8 + i * 10), uint8_t(8 + i * 10), 0});
        return p;
    }();
    return Bpp == 1 ? mono : Bpp == 4 ? sixteen : full;
}

static unsigned NearestIndex(const std::vector<TRGBQuad>& Palette, uint8_t R, uint8_t G, uint8_t B)
{
    unsigned best = 0;
    int bestDist = 1 << 30;
    for (size_t i = 0; i < Palette.size(); ++i) {
        const int dr = int(Palette[i].rgbRed) - R, dg = int(Palette[i].rgbGreen) - G,
                  db = int(Palette[i].rgbBlue) - B;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = unsigned(i);
            if (d == 0)
                break;
        }
    }
    return best;
}

unsigned TNearestColor::Index(uint8_t R, uint8_t G, uint8_t B)
{
    const uint32_t key = uint32_t(R) | (uint32_t(G) << 8) | (uint32_t(B) << 16) | 0x1000000u;
    Slot& slot = FCache[(key * 2654435761u) >> 20];
    if (slot.Key != key) {
        slot.Key = key;
        slot.Index = uint8_t(NearestIndex(FPalette, R, G, B));
    }
    return slot.Index;
}

void DecodeRow(TPixelFormat pf, const std::vector<TRGBQuad>& Palette, const uint8_t* Row, int X0,
               int Count, TRGBQuad* Out)
{
    switch (pf) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        const int bpp = BitsPerPixel(pf);
        for (int i = 0; i < Count; ++i) {
            const unsigned idx = GetIndex(Row, X0 + i, bpp);
            Out[i] = idx < Palette.size() ? Palette[idx] : TRGBQuad{};
            Out[i].rgbReserved = 255;
        }
        break;
    }
    case pf15bit:
    case pf16bit: {
        const uint8_t* p = Row + 2 * int64_t(X0);
        for (int i = 0; i < Count; ++i, p += 2) {
            const unsigned v = p[0] | (p[1] << 8);
            if (pf == pf15bit)
                Out[i] = {Expand5(v & 31), Expand5((v >> 5) & 31), Expand5((v >> 10) & 31), 255};
            else
                Out[i] = {Expand5(v & 31), Expand6((v >> 5) & 63), Expand5(v >> 11), 255};
        }
        break;
    }
    case pf32bit: std::memcpy(Out, Row + 4 * int64_t(X0), size_t(Count) * 4); break;
    default: {
        const uint8_t* p = Row + 3 * int64_t(X0);
        for (int i = 0; i < Count; ++i, p += 3)
            Out[i] = {p[0], p[1], p[2], 255};
        break;
    }
    }
}

void EncodeRow(TPixelFormat pf, TNearestColor* Nearest, const TRGBQuad* In, int X0, int Count, uint8_t* Row)
{
    switch (pf) {
    case pf1bit:
    case pf4bit:
    case pf8bit: {
        const int bpp = BitsPerPixel(pf);
        for (int i = 0; i < Count; ++i)
            SetIndex(Row, X0 + i, bpp, Nearest ? Nearest->Index(In[i].rgbRed, In[i].rgbGreen, In[i].rgbBlue) : 0);
        break;
    }
    case pf15bit:
    case pf16bit: {
        uint8_t* p = Row + 2 * int64_t(X0);
        for (int i = 0; i < Count; ++i, p += 2) {
            const unsigned r = In[i].rgbRed, g = In[i].rgbGreen, b = In[i].rgbBlue;
            const unsigned v = pf == pf15bit ? ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)
                                             : ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
            p[0] = uint8_t(v);
            p[1] = uint8_t(v >> 8);
        }
        break;
    }
    case pf32bit: std::memcpy(Row + 4 * int64_t(X0), In, size_t(Count) * 4); break;
    default: {
        uint8_t* p = Row + 3 * int64_t(X0);
        for (int i = 0; i < Count; ++i, p += 3) {
            p[0] = In[i].rgbBlue;
            p[1] = In[i].rgbGreen;
            p[2] = In[i].rgbRed;
        }
        break;
    }
    }
}

} // namespace pixelrows

// ---- Graphic base ------------------------------------------------------------------------------

void TGraphic::LoadFromFile(const std::string& FileName)
{
    TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::string& FileName)
{
    WriteFileAtomically(FileName, [this](TStream& Stream) { SaveToStream(Stream); });
}

void TGraphic::AssignTo(TBitmap& Dest) const
{
    throw EConvertError(Format("Cannot assign a %s to a %s", ClassName(), Dest.ClassName()));
}

void TGraphic::Draw(TCanvas& Canvas, const TRect& Rect) const
{
    TBitmap rendered;
    AssignTo(rendered);
    rendered.SetTransparent(Transparent());
    rendered.Draw(Canvas, Rect);
}

// ---- Picture-format registry --------------------------------------------------------------------
// Entries are never freed while the program runs, so that a pointer from FindFileFormat stays valid
// when another thread registers a format; a replaced entry is retired, not deleted.

namespace {
struct TFormatRegistry {
    std::mutex Lock;
    std::vector<std::unique_ptr<TFileFormat>> Active;
    std::vector<std::unique_ptr<TFileFormat>> Retired;
    TFormatRegistry()
    {
        Active.push_back(std::make_unique<TFileFormat>(
            TFileFormat{"BMP", "Bitmaps", [] { return std::unique_ptr<TGraphic>(new TBitmap); }}));
    }
};

std::string BareExtension(const std::string& Extension)
{
    return !Extension.empty() && Extension[0] == '.' ? Extension.substr(1) : Extension;
}

TFormatRegistry& Registry()
{
    static TFormatRegistry registry;
    return registry;
}
} // namespace

void RegisterFileFormat(const std::string& Extension, const std::string& Description,
                        std::function<std::unique_ptr<TGraphic>()> Create)
{
    auto entry = std::make_unique<TFileFormat>(TFileFormat{BareExtension(Extension), Description, std::move(Create)});
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (auto& active : r.Active)
        if (SameText(active->Extension, entry->Extension)) {
            r.Retired.push_back(std::move(active));
            active = std::move(entry);
            return;
        }
    r.Active.push_back(std::move(entry));
}

std::vector<TFileFormat> RegisteredFileFormats()
{
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    std::vector<TFileFormat> result;
    for (const auto& active : r.Active)
        result.push_back(*active);
    return result;
}

const TFileFormat* FindFileFormat(const std::string& Extension)
{
    const std::string bare = BareExtension(Extension);
    TFormatRegistry& r = Registry();
    std::lock_guard<std::mutex> guard(r.Lock);
    for (const auto& active : r.Active)
        if (SameText(active->Extension, bare))
            return active.get();
    return nullptr;
}

// ---- Bitmap ----------------------------------------------------------------------------------------

namespace {
// White in every stored format: 0xFF bytes, or palette index 0.
uint8_t WhiteByte(TPixelFormat pf) { return IsIndexed(pf) ? 0 : 0xFF; }

// From this size on storage starts on a huge-page boundary and its whole huge pages are asked for.
// (A window's screen-sized buffers stay below it: a cold huge page costs more there than it saves.)
constexpr size_t kHugeStorage = 2 * kHugePageBytes;

// Every byte is set to Fill, or left unset without one (the caller writes them all). The pages of
// a big buffer are mapped before its first touch (see TUnsetAllocator for its huge pages): a 6000 x
// 4000 picture otherwise spends tens of milliseconds in page faults.
TBitmap::TPixelBytes NewRows(int64_t Bytes, std::optional<uint8_t> Fill, bool MapNow = true)
{
    try {
        TBitmap::TPixelBytes v;
        constexpr size_t kPrefault = size_t(256) << 10;
        if (size_t(Bytes) >= kPrefault) {
            v.reserve(size_t(Bytes));
            if (MapNow)
                MapPagesNow(v.data(), size_t(Bytes));
            else
                KeepPagesSmall(v.data(), size_t(Bytes));
        }
        if (Fill)
            v.resize(size_t(Bytes), *Fill);
        else
            v.resize(size_t(Bytes));
        return v;
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Out of memory");
    }
}

// 8-bit rows to 24-bit rows (blue, green, red), as DecodeRow and EncodeRow make them: indices past
// the colour table give black, the padding past each row's pixels is white. The colours are taken
// as 32-bit words and four pixels are written as three whole words.
static_assert(std::endian::native == std::endian::little, "colour words are stored as little-endian bytes");
void ExpandIndicesTo24(const std::vector<TRGBQuad>& Palette, const uint8_t* Src, int64_t SrcStride, int Width,
                       int Height, uint8_t* Dst, int64_t DstStride)
{
    uint32_t colours[256] = {};
    for (size_t i = 0; i < std::min<size_t>(Palette.size(), 256); ++i)
        colours[i] = Palette[i].rgbBlue | (uint32_t(Palette[i].rgbGreen) << 8) | (uint32_t(Palette[i].rgbRed) << 16);
    const size_t used = size_t(Width) * 3;
    for (int y = 0; y < Height; ++y) {
        const uint8_t* s = Src + int64_t(y) * SrcStride;
        uint8_t* d = Dst + int64_t(y) * DstStride;
        int x = 0;
        for (; x + 4 <= Width; x += 4, d += 12) {
            const uint32_t c0 = colours[s[x]], c1 = colours[s[x + 1]], c2 = colours[s[x + 2]], c3 = colours[s[x + 3]];
            const uint32_t w[3] = {c0 | (c1 << 24), (c1 >> 8) | (c2 << 16), (c2 >> 16) | (c3 << 8)};
            std::memcpy(d, w, 12);
        }
        for (; x < Width; ++x, d += 3) {
            const uint32_t c = colours[s[x]];
            d[0] = uint8_t(c);
            d[1] = uint8_t(c >> 8);
            d[2] = uint8_t(c >> 16);
        }
        std::memset(Dst + int64_t(y) * DstStride + used, 0xFF, size_t(DstStride) - used);
    }
}

// A colour table of exactly 2^Bpp entries: Source's, padded with black, when it fits; else the default.
std::vector<TRGBQuad> PaletteFor(int Bpp, const std::vector<TRGBQuad>* Source)
{
    const size_t entries = size_t(1) << Bpp;
    std::vector<TRGBQuad> p = Source && Source->size() <= entries ? *Source : DefaultPalette(Bpp);
    p.resize(entries);
    return p;
}
} // namespace

void* TBitmap::AllocatePixelStorage(size_t Bytes)
{
    // A picture decoded to be shown small stops here when its pixels would pass its budget.
    ChargeDecodeMemory(static_cast<int64_t>(Bytes));
    return Bytes < kHugeStorage ? std::allocator<uint8_t>().allocate(Bytes) : AllocateOnHugePages(Bytes);
}

void TBitmap::FreePixelStorage(void* P, size_t Bytes) noexcept
{
    if (Bytes < kHugeStorage)
        std::allocator<uint8_t>().deallocate(static_cast<uint8_t*>(P), Bytes);
    else
        std::free(P);
}

TBitmap::TBitmap() : FCanvas(std::make_unique<TCanvas>(*this)) {}

TBitmap::TBitmap(int W, int H, TPixelFormat Format) : TBitmap()
{
    SetPixelFormat(Format);
    SetSize(W, H);
}

TBitmap::~TBitmap() = default;

void TBitmap::Allocate(int W, int H, TPixelFormat pf, std::optional<uint8_t> Fill, bool MapNow)
{
    CheckPictureSize(W, H);
    const int64_t stride = RowStride(W, BitsPerPixel(pf));
    FBits = NewRows(stride * H, Fill, MapNow);
    FWidth = W;
    FHeight = H;
    FRowBytes = int(stride);
    FPixelFormat = pf;
}

void TBitmap::AllocateForWriting(int W, int H, TPixelFormat pf, bool MapNow)
{
    Allocate(W, H, pf, std::nullopt, MapNow);
    const int64_t used = (int64_t(W) * BitsPerPixel(pf) + 7) / 8;
    if (used < FRowBytes)
        for (int y = 0; y < H; ++y)
            std::memset(FBits.data() + int64_t(y) * FRowBytes + used, 0, size_t(FRowBytes - used));
    FPalette = IsIndexed(pf) ? PaletteFor(BitsPerPixel(pf), nullptr) : std::vector<TRGBQuad>();
}

void TBitmap::TakePixels(TBitmap& Other)
{
    FWidth = Other.FWidth;
    FHeight = Other.FHeight;
    FPixelFormat = Other.FPixelFormat;
    FRowBytes = Other.FRowBytes;
    FBits = std::move(Other.FBits);
    FPalette = std::move(Other.FPalette);
    Other.FBits.clear();
    Other.FPalette.clear();
    Other.FWidth = Other.FHeight = Other.FRowBytes = 0;
}

void TBitmap::SetSize(int W, int H)
{
    if (W == FWidth && H == FHeight)
        return;
    CheckPictureSize(W, H);
    const int bpp = BitsPerPixel(FPixelFormat);
    const int64_t stride = RowStride(W, bpp);
    TPixelBytes bits = NewRows(stride * H, WhiteByte(FPixelFormat));
    const int keepW = std::min(W, FWidth);
    const int keepH = keepW > 0 ? std::min(H, FHeight) : 0; // no rows to keep when no column is kept
    for (int y = 0; y < keepH; ++y) {
        const uint8_t* src = FBits.data() + int64_t(y) * FRowBytes;
        uint8_t* dst = bits.data() + y * stride;
        if (bpp >= 8)
            std::memcpy(dst, src, size_t(keepW) * (bpp / 8));
        else
            for (int x = 0; x < keepW; ++x)
                SetIndex(dst, x, bpp, GetIndex(src, x, bpp));
    }
    FBits.swap(bits);
    FWidth = W;
    FHeight = H;
    FRowBytes = int(stride);
    if (IsIndexed(FPixelFormat) && FPalette.empty())
        FPalette = PaletteFor(bpp, nullptr);
}

void TBitmap::SetPixelFormat(TPixelFormat Value)
{
    if (Value == pfCustom)
        throw EInvalidGraphic("Invalid pixel format");
    const TPixelFormat pf = StoredFormat(Value);
    if (pf == FPixelFormat)
        return;
    const int bpp = BitsPerPixel(pf);
    std::vector<TRGBQuad> palette;
    bool sameIndices = false;
    if (IsIndexed(pf)) {
        // Indices stay valid when the old colour table fits the new format.
        sameIndices = IsIndexed(FPixelFormat) && FPalette.size() <= (size_t(1) << bpp);
        palette = PaletteFor(bpp, sameIndices ? &FPalette : nullptr);
    }
    const int64_t stride = RowStride(FWidth, bpp);
    if (FPixelFormat == pf8bit && pf == pf24bit) {
        // Every pixel byte is written: only the padding past each row gets the fill.
        TPixelBytes bits = NewRows(stride * FHeight, std::nullopt);
        ExpandIndicesTo24(FPalette, FBits.data(), FRowBytes, FWidth, FHeight, bits.data(), stride);
        FBits.swap(bits);
        FPalette.clear();
        FPixelFormat = pf;
        FRowBytes = int(stride);
        return;
    }
    TPixelBytes bits = NewRows(stride * FHeight, WhiteByte(pf));
    if (FWidth > 0) {
        const int oldBpp = BitsPerPixel(FPixelFormat);
        std::vector<TRGBQuad> row(static_cast<size_t>(FWidth));
        TNearestColor nearest(palette);
        for (int y = 0; y < FHeight; ++y) {
            const uint8_t* src = FBits.data() + int64_t(y) * FRowBytes;
            uint8_t* dst = bits.data() + y * stride;
            if (sameIndices) {
                for (int x = 0; x < FWidth; ++x)
                    SetIndex(dst, x, bpp, GetIndex(src, x, oldBpp));
                continue;
            }
            DecodeRow(FPixelFormat, FPalette, src, 0, FWidth, row.data());
            EncodeRow(pf, &nearest, row.data(), 0, FWidth, dst);
        }
    }
    FBits.swap(bits);
    FPalette.swap(palette);
    FPixelFormat = pf;
    FRowBytes = int(stride);
}

uint8_t* TBitmap::ScanLine(int Y)
{
    if (Y < 0 || Y >= FHeight || FWidth == 0)
        throw EInvalidGraphic("Scan line index out of range");
    return FBits.data() + int64_t(Y) * FRowBytes;
}

const uint8_t* TBitmap::ScanLine(int Y) const
{
    return const_cast<TBitmap*>(this)->ScanLine(Y);
}

TColor TBitmap::GetPixel(int X, int Y) const
{
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        return -1;
    TRGBQuad q;
    DecodeRow(FPixelFormat, FPalette, FBits.data() + int64_t(Y) * FRowBytes, X, 1, &q);
    return QuadColor(q);
}

void TBitmap::SetPixelColor(int X, int Y, TColor C)
{
    if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight)
        return;
    const TRGBQuad q = ColorQuad(ColorToRGB(C));
    uint8_t* row = FBits.data() + int64_t(Y) * FRowBytes;
    if (IsIndexed(FPixelFormat))
        SetIndex(row, X, BitsPerPixel(FPixelFormat), NearestIndex(FPalette, q.rgbRed, q.rgbGreen, q.rgbBlue));
    else
        EncodeRow(FPixelFormat, nullptr, &q, X, 1, row);
}

void TBitmap::Assign(const TGraphic* Source)
{
    if (Source == this)
        return;
    if (!Source) {
        FBits.clear();
        FPalette = IsIndexed(FPixelFormat) ? PaletteFor(BitsPerPixel(FPixelFormat), nullptr) : std::vector<TRGBQuad>{};
        FWidth = FHeight = FRowBytes = 0;
        return;
    }
    const auto* source = dynamic_cast<const TBitmap*>(Source);
    if (!source) {
        Source->AssignTo(*this);
        return;
    }
    // One block copy: a copy of the vector would construct its bytes one by one through the allocator.
    TPixelBytes bits = NewRows(int64_t(source->FBits.size()), std::nullopt);
    if (!bits.empty())
        std::memcpy(bits.data(), source->FBits.data(), bits.size());
    FBits.swap(bits);
    FPalette = source->FPalette;
    FWidth = source->FWidth;
    FHeight = source->FHeight;
    FRowBytes = source->FRowBytes;
    FPixelFormat = source->FPixelFormat;
    CopyTransparency(*source);
}

void TBitmap::CopyTransparency(const TBitmap& Source)
{
    FTransparent = Source.FTransparent;
    TransparentMode = Source.TransparentMode;
    FTransparentColor = Source.FTransparentColor;
}

void TBitmap::TakeFrom(TBitmap& Other)
{
    if (&Other == this)
        return;
    TakePixels(Other);
    CopyTransparency(Other);
}

TColor TBitmap::TransparentColor() const
{
    if (TransparentMode == tmFixed && FTransparentColor != clDefault)
        return ColorToRGB(FTransparentColor);
    return Empty() ? clDefault : GetPixel(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor C)
{
    FTransparentColor = C;
    TransparentMode = C == clDefault ? tmAuto : tmFixed;
}

void TBitmap::LoadFromStream(TStream& Stream) { ReadBMP(Stream, *this); }

void TBitmap::SaveToStream(TStream& Stream) { WriteBMP(Stream, *this); }

QImage TBitmap::AsQImage()
{
    if (Empty())
        return QImage();
    if (FPixelFormat == pf24bit)
        return QImage(FBits.data(), FWidth, FHeight, FRowBytes, QImage::Format_BGR888);
    if (FPixelFormat == pf32bit)
        return QImage(FBits.data(), FWidth, FHeight, FRowBytes, QImage::Format_RGB32);
    TBitmap copy;
    copy.Assign(this);
    copy.SetPixelFormat(pf24bit);
    return copy.AsQImage().copy();
}

void TBitmap::AssignQImage(const QImage& Image)
{
    if (Image.isNull()) {
        FBits.clear();
        FPalette.clear();
        FWidth = FHeight = FRowBytes = 0;
        FPixelFormat = pf24bit;
        return;
    }
    CheckPictureSize(Image.width(), Image.height());
    const QImage bgr = Image.format() == QImage::Format_BGR888 ? Image : Image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull())
        throw EOutOfMemory("Out of memory");
    const int64_t stride = RowStride(bgr.width(), 24);
    TPixelBytes bits = NewRows(stride * bgr.height(), 0);
    for (int y = 0; y < bgr.height(); ++y)
        std::memcpy(bits.data() + y * stride, bgr.constScanLine(y), size_t(bgr.width()) * 3);
    FBits.swap(bits);
    FPalette.clear();
    FWidth = bgr.width();
    FHeight = bgr.height();
    FRowBytes = int(stride);
    FPixelFormat = pf24bit;
}
