// BMP reading and writing. The reader trusts nothing in a header: every size, count and offset is
// checked against the picture limits and against what the stream holds before anything is allocated.
#include "platform/Graphics.h"

#include "platform/DecodeBudget.h"
#include "platform/PixelRows.h"

#include <bit>
#include <cstring>

using namespace pixelrows;

namespace {

enum : uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_JPEG = 4, BI_PNG = 5, BI_ALPHABITFIELDS = 6 };

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr int64_t kChunkBytes = int64_t(1) << 20;

[[noreturn]] void Invalid() { throw EInvalidGraphic("Bitmap image is not valid"); }

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
void Put16(uint8_t* p, uint32_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
void Put32(uint8_t* p, uint32_t v) { Put16(p, v); Put16(p + 2, v >> 16); }

// Reads exactly Count bytes or reports the file as damaged.
void ReadExact(TStream& Stream, void* Buffer, int64_t Count)
{
    if (Count > 0 && Stream.Read(Buffer, Count) != Count)
        Invalid();
}

// A channel value of Bits bits scaled to 8 bits with rounding: (v * 255 + max / 2) / max, max = 2^Bits - 1.
uint8_t ScaleChannel(uint64_t V, int Bits)
{
    const uint64_t max = (uint64_t(1) << Bits) - 1;
    return uint8_t((V * 255 + max / 2) / max);
}

// One colour channel of a bit-field pixel, widened or narrowed to 8 bits. Channels of up to
// kTableBits bits go through a table; wider ones (rare) are scaled per pixel.
struct TChannel {
    static constexpr int kTableBits = 12;
    uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;
    uint8_t Missing = 0; // value when the mask is empty
    std::vector<uint8_t> Table;
    explicit TChannel(uint32_t M = 0, uint8_t MissingValue = 0) : Mask(M), Missing(MissingValue)
    {
        if (M) {
            Shift = std::countr_zero(M);
            Bits = 32 - std::countl_zero(M) - Shift; // up to the highest set bit
            if (Bits <= kTableBits) {
                Table.resize(size_t(1) << Bits);
                for (size_t v = 0; v < Table.size(); ++v)
                    Table[v] = ScaleChannel(v, Bits);
            }
        }
    }
    uint8_t Get(uint32_t Pixel) const
    {
        if (!Mask)
            return Missing;
        const uint32_t v = (Pixel & Mask) >> Shift;
        return Bits <= kTableBits ? Table[v] : ScaleChannel(v, Bits);
    }
};

struct TBitFields {
    TChannel R, G, B, A;
    void Decode(const uint8_t* Src, int BytesPerPixel, int Count, TRGBQuad* Out) const
    {
        for (int i = 0; i < Count; ++i, Src += BytesPerPixel) {
            const uint32_t px = BytesPerPixel == 2 ? U16(Src) : U32(Src);
            Out[i] = {B.Get(px), G.Get(px), R.Get(px), A.Get(px)};
        }
    }
};

// Decodes RLE4 or RLE8 data into Bitmap's rows (rows counted from the bottom unless TopDown).
// Runs past the right edge are clipped; data that ends before the end-of-bitmap code, or a delta
// that leaves the picture, is damage.
int64_t DecodeRLE(const std::vector<uint8_t>& Data, bool RLE8, bool TopDown, TBitmap& Bitmap)
{
    const int64_t W = Bitmap.Width(), H = Bitmap.Height();
    const int bpp = RLE8 ? 8 : 4;
    const size_t len = Data.size();
    uint8_t* const bits = Bitmap.Bits();
    const int64_t stride = Bitmap.RowBytes();
    int64_t x = 0, y = 0;
    size_t p = 0;
    auto put = [&](unsigned Index) {
        if (x < W && y < H)
            SetIndex(bits + (TopDown ? y : H - 1 - y) * stride, int(x), bpp, Index);
        ++x;
    };
    for (;;) {
        if (p + 2 > len)
            Invalid();
        const unsigned n = Data[p], c = Data[p + 1];
        p += 2;
        if (n > 0) {
            if (y >= H || x >= W) {
                x += n;
                continue;
            }
            for (unsigned i = 0; i < n; ++i)
                put(RLE8 ? c : (i & 1) ? c & 0x0F : c >> 4);
        } else if (c == 0) {
            x = 0;
            ++y;
        } else if (c == 1) {
            break;
        } else if (c == 2) {
            if (p + 2 > len)
                Invalid();
            x += Data[p];
            y += Data[p + 1];
            p += 2;
            if (x > W || y > H)
                Invalid();
        } else {
            const size_t bytes = RLE8 ? c : (c + 1) / 2;
            if (p + bytes > len)
                Invalid();
            for (unsigned i = 0; i < c; ++i)
                put(RLE8 ? Data[p + i] : (i & 1) ? Data[p + i / 2] & 0x0F : Data[p + i / 2] >> 4);
            p = std::min(len, p + ((bytes + 1) & ~size_t(1)));
        }
    }
    return int64_t(p);
}

} // namespace

void ReadBMP(TStream& Stream, TBitmap& Bitmap)
{
    const int64_t start = Stream.Position();
    const int64_t streamEnd = Stream.Size();

    uint8_t fh[kFileHeaderSize];
    ReadExact(Stream, fh, kFileHeaderSize);
    if (fh[0] != 'B' || fh[1] != 'M')
        Invalid();
    const uint32_t offBits = U32(fh + 10);

    uint8_t ih[124] = {};
    ReadExact(Stream, ih, 4);
    const uint32_t headerSize = U32(ih);
    const bool core = headerSize == 12;
    if (!core && headerSize != 40 && headerSize != 52 && headerSize != 56 && headerSize != 108 && headerSize != 124)
        Invalid();
    ReadExact(Stream, ih + 4, headerSize - 4);

    int64_t W, H;
    bool topDown = false;
    int bpp;
    uint32_t compression = BI_RGB, sizeImage = 0, clrUsed = 0;
    if (core) {
        W = U16(ih + 4);
        H = U16(ih + 6);
        bpp = U16(ih + 10);
    } else {
        W = int32_t(U32(ih + 4));
        H = int32_t(U32(ih + 8));
        bpp = U16(ih + 14);
        compression = U32(ih + 16);
        sizeImage = U32(ih + 20);
        clrUsed = U32(ih + 32);
        if (H < 0) {
            topDown = true;
            H = -H;
        }
    }
    if (W <= 0 || H <= 0)
        Invalid();
    CheckPictureSize(W, H);
    ChargeDecodedPicture(W, H);

    switch (compression) {
    case BI_RGB:
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            Invalid();
        break;
    case BI_RLE8:
        if (bpp != 8)
            Invalid();
        break;
    case BI_RLE4:
        if (bpp != 4)
            Invalid();
        break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
        if (bpp != 16 && bpp != 32)
            Invalid();
        break;
    case BI_JPEG:
    case BI_PNG: throw EInvalidGraphic("Bitmaps with JPEG or PNG compression are not supported");
    default: Invalid();
    }

    // Bit fields: inside V2 and later headers, else right after the 40-byte header.
    int64_t palStart = start + kFileHeaderSize + headerSize;
    uint32_t masks[4] = {0, 0, 0, 0};
    const bool bitFields = compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
    if (bitFields) {
        if (headerSize == kInfoHeaderSize) {
            const int count = compression == BI_ALPHABITFIELDS ? 4 : 3;
            uint8_t m[16];
            ReadExact(Stream, m, 4 * count);
            for (int i = 0; i < count; ++i)
                masks[i] = U32(m + 4 * i);
            palStart += 4 * count;
        } else {
            for (int i = 0; i < 4; ++i)
                masks[i] = U32(ih + 40 + 4 * i);
            if (headerSize < 56)
                masks[3] = 0;
        }
    } else if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }

    // Colour table: 2^bpp entries unless the header counts fewer; never reaching past bfOffBits.
    const int entrySize = core ? 3 : 4;
    int64_t palCount = 0;
    if (bpp <= 8) {
        palCount = clrUsed ? clrUsed : (int64_t(1) << bpp);
        if (palCount > 256)
            Invalid();
    }
    int64_t dataStart;
    if (offBits) {
        dataStart = start + offBits;
        if (dataStart < palStart)
            Invalid();
        palCount = std::min<int64_t>(palCount, (dataStart - palStart) / entrySize);
    } else {
        dataStart = palStart + (bpp <= 8 ? palCount : int64_t(clrUsed)) * entrySize;
    }
    if (dataStart > streamEnd)
        Invalid();

    TBitmap result;
    const TPixelFormat pf = bpp == 1 ? pf1bit : bpp == 4 ? pf4bit : bpp == 8 ? pf8bit : bpp == 32 ? pf32bit : pf24bit;
    if (bpp <= 8) {
        std::vector<uint8_t> raw(size_t(palCount * entrySize));
        Stream.SetPosition(palStart);
        ReadExact(Stream, raw.data(), int64_t(raw.size()));
        std::vector<TRGBQuad> palette(size_t(1) << bpp);
        for (int64_t i = 0; i < std::min<int64_t>(palCount, int64_t(palette.size())); ++i) {
            const uint8_t* e = raw.data() + i * entrySize;
            palette[size_t(i)] = {e[0], e[1], e[2], 0};
        }
        result.FPalette.swap(palette);
    }

    Stream.SetPosition(dataStart);
    if (compression == BI_RLE8 || compression == BI_RLE4) {
        // The decoded size is bounded by the picture limits; the compressed bytes by the stream.
        const int64_t available = streamEnd - dataStart;
        const int64_t length = sizeImage ? std::min<int64_t>(sizeImage, available) : available;
        std::vector<uint8_t> data(size_t(std::max<int64_t>(length, 0)));
        ReadExact(Stream, data.data(), int64_t(data.size()));
        result.Allocate(int(W), int(H), pf, 0);
        const int64_t used = DecodeRLE(data, compression == BI_RLE8, topDown, result);
        Stream.SetPosition(dataStart + used);
        Bitmap.TakePixels(result);
        return;
    }

    const int64_t stride = RowStride(W, bpp);
    const int64_t rowUsed = (W * bpp + 7) / 8;
    // The last row's padding may be missing; when present it is read, so that the stream ends up
    // after the pixels.
    const int64_t lastRow = streamEnd - dataStart >= stride * H ? stride : rowUsed;
    const int64_t need = stride * (H - 1) + lastRow;
    if (streamEnd - dataStart < need)
        Invalid();
    result.Allocate(int(W), int(H), pf, 0);
    uint8_t* const bits = result.Bits();
    const int64_t outStride = result.RowBytes();
    auto outRow = [&](int64_t fileRow) { return bits + (topDown ? fileRow : H - 1 - fileRow) * outStride; };

    const bool standard32 = bpp == 32 && masks[0] == 0x00FF0000 && masks[1] == 0x0000FF00 && masks[2] == 0x000000FF &&
                            (masks[3] == 0xFF000000 || masks[3] == 0);
    if (bpp != 16 && (!bitFields || standard32)) {
        // Rows as they are in the file.
        if (topDown) {
            ReadExact(Stream, bits, need);
        } else {
            for (int64_t r = 0; r < H; ++r)
                ReadExact(Stream, outRow(r), r == H - 1 ? lastRow : stride);
        }
        if (bitFields && masks[3] == 0)
            for (int64_t y = 0; y < H; ++y) {
                uint8_t* p = bits + y * outStride;
                for (int64_t x = 0; x < W; ++x)
                    p[4 * x + 3] = 255;
            }
    } else {
        const TBitFields fields{TChannel(masks[0]), TChannel(masks[1]), TChannel(masks[2]), TChannel(masks[3], 255)};
        const int bytesPerPixel = bpp / 8;
        const int64_t rowsPerChunk = std::max<int64_t>(1, kChunkBytes / stride);
        std::vector<uint8_t> chunk(size_t(std::min(H, rowsPerChunk) * stride));
        std::vector<TRGBQuad> row(static_cast<size_t>(W));
        for (int64_t r0 = 0; r0 < H; r0 += rowsPerChunk) {
            const int64_t rows = std::min(rowsPerChunk, H - r0);
            ReadExact(Stream, chunk.data(), r0 + rows == H ? stride * (rows - 1) + lastRow : stride * rows);
            for (int64_t i = 0; i < rows; ++i) {
                fields.Decode(chunk.data() + i * stride, bytesPerPixel, int(W), row.data());
                EncodeRow(pf, nullptr, row.data(), 0, int(W), outRow(r0 + i));
            }
        }
    }
    Bitmap.TakePixels(result);
}

void WriteBMP(TStream& Stream, const TBitmap& Bitmap)
{
    if (Bitmap.Empty())
        throw EInvalidGraphic("Cannot save an empty bitmap");
    const TPixelFormat pf = Bitmap.PixelFormat();
    const int bpp = BitsPerPixel(pf);
    const int64_t W = Bitmap.Width(), H = Bitmap.Height();
    const int64_t stride = Bitmap.RowBytes();
    const bool fields = pf == pf16bit;
    const int64_t palCount = IsIndexed(pf) ? int64_t(1) << bpp : 0;
    const int64_t offBits = kFileHeaderSize + kInfoHeaderSize + (fields ? 12 : 0) + palCount * 4;
    const int64_t imageSize = stride * H;

    std::vector<uint8_t> head(size_t(offBits), 0);
    uint8_t* h = head.data();
    h[0] = 'B';
    h[1] = 'M';
    Put32(h + 2, uint32_t(offBits + imageSize));
    Put32(h + 10, uint32_t(offBits));
    uint8_t* ih = h + kFileHeaderSize;
    Put32(ih, kInfoHeaderSize);
    Put32(ih + 4, uint32_t(W));
    Put32(ih + 8, uint32_t(H));
    Put16(ih + 12, 1);
    Put16(ih + 14, uint32_t(bpp));
    Put32(ih + 16, fields ? BI_BITFIELDS : BI_RGB);
    Put32(ih + 20, uint32_t(imageSize));
    Put32(ih + 24, 3780); // 96 dots per inch
    Put32(ih + 28, 3780);
    Put32(ih + 32, uint32_t(palCount));
    uint8_t* tail = ih + kInfoHeaderSize;
    if (fields) {
        Put32(tail, 0xF800);
        Put32(tail + 4, 0x07E0);
        Put32(tail + 8, 0x001F);
        tail += 12;
    }
    const std::vector<TRGBQuad>& palette = Bitmap.Palette();
    for (int64_t i = 0; i < std::min<int64_t>(palCount, int64_t(palette.size())); ++i) {
        tail[4 * i] = palette[size_t(i)].rgbBlue;
        tail[4 * i + 1] = palette[size_t(i)].rgbGreen;
        tail[4 * i + 2] = palette[size_t(i)].rgbRed;
    }
    Stream.WriteBuffer(head.data(), int64_t(head.size()));

    // Rows bottom-up, with the padding bits cleared. Whole-byte rows go out from where they are,
    // their padding from a block of zeros; rows ending in part of a byte are copied to mask it.
    const int64_t usedBits = W * bpp;
    const int64_t fullBytes = usedBits / 8;
    const int partialBits = int(usedBits % 8);
    if (partialBits == 0) {
        static const uint8_t zeros[4] = {};
        const int64_t padding = stride - fullBytes;
        constexpr int64_t kRowsPerCall = 256;
        std::vector<TBufferRef> blocks;
        blocks.reserve(size_t(2 * std::min(H, kRowsPerCall)));
        for (int64_t r0 = 0; r0 < H; r0 += kRowsPerCall) {
            blocks.clear();
            for (int64_t r = r0; r < std::min(H, r0 + kRowsPerCall); ++r) {
                blocks.push_back({Bitmap.ScanLine(int(H - 1 - r)), fullBytes});
                if (padding)
                    blocks.push_back({zeros, padding});
            }
            Stream.WriteBuffers(blocks.data(), int(blocks.size()));
        }
        return;
    }
    const int64_t rowsPerChunk = std::max<int64_t>(1, kChunkBytes / stride);
    std::vector<uint8_t> chunk(size_t(std::min(H, rowsPerChunk) * stride));
    for (int64_t r0 = 0; r0 < H; r0 += rowsPerChunk) {
        const int64_t rows = std::min(rowsPerChunk, H - r0);
        for (int64_t i = 0; i < rows; ++i) {
            uint8_t* dst = chunk.data() + i * stride;
            std::memcpy(dst, Bitmap.ScanLine(int(H - 1 - (r0 + i))), size_t(fullBytes + 1));
            dst[fullBytes] &= uint8_t(0xFF << (8 - partialBits));
            std::memset(dst + fullBytes + 1, 0, size_t(stride - fullBytes - 1));
        }
        Stream.WriteBuffer(chunk.data(), rows * stride);
    }
}
