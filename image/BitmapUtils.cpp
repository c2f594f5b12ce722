#include "image/BitmapUtils.h"

#include "image/EffectsRowsImpl.h"
#include "image/KTGenUtils.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <bit>
#include <cstring>
#include <memory>

// ---- Position stack ------------------------------------------------------------------------------

namespace {
const char* const kInvalidIndex = "Invalid Index";
const char* const kEmptyList = "Can not get last item - the list is empty";
} // namespace

int TPixelPosList::GetX(int Index) const
{
    if (!ValidIndex(Index))
        throw EPixelPosListException(kInvalidIndex);
    return static_cast<int>(FItems[Index] >> 16);
}

int TPixelPosList::GetY(int Index) const
{
    if (!ValidIndex(Index))
        throw EPixelPosListException(kInvalidIndex);
    return static_cast<int>(FItems[Index] & 0xFFFF);
}

uint32_t TPixelPosList::Last() const
{
    if (FItems.empty())
        throw EPixelPosListException(kEmptyList);
    return FItems.back();
}

int TPixelPosList::LastX() const { return static_cast<int>(Last() >> 16); }
int TPixelPosList::LastY() const { return static_cast<int>(Last() & 0xFFFF); }

void TPixelPosList::DeleteLast()
{
    if (FItems.empty())
        throw EPixelPosListException(kEmptyList);
    FItems.pop_back();
}

// ---- Masks -------------------------------------------------------------------------------------

void CheckMaskCovers(const TBool2DArray* Mask, int W, int H)
{
    if (Mask && W > 0 && H > 0 && (Mask->Width < W || Mask->Height < H))
        throw EBool2DArrayError("GetItem - Invalid Index");
}

namespace {

// Bytes per chunk of a threaded block copy: a few megabytes, so that a copy of a few chunks starts
// no more threads than it has chunks and each thread's start pays for itself.
constexpr size_t kCopyChunkBytes = size_t(4) << 20;

void Make24Bit(TBitmap& B)
{
    if (B.PixelFormat() != pf24bit)
        B.SetPixelFormat(pf24bit);
}

} // namespace

// ---- Copies ------------------------------------------------------------------------------------

bool IsGraphicEmpty(const TGraphic* Graphic) { return Graphic == nullptr || Graphic->Empty(); }

void CopyBitmap(const TBitmap& Source, TBitmap& Dest)
{
    if (&Source == &Dest)
        return;
    // A copy of many megabytes runs at memory bandwidth only when several cores share it; so does
    // the kernel's clearing of the new pages, when each thread's first touch maps its own rows.
    const size_t rowBytes = size_t(Source.RowBytes());
    const int grain =
        static_cast<int>(std::clamp<size_t>(kCopyChunkBytes / std::max<size_t>(rowBytes, 1), 1, size_t(INT32_MAX)));
    // Drop the old pixels first so that the format switch converts nothing; the new rows are written
    // once, by the copy.
    Dest.SetSize(0, 0);
    Dest.SetPixelFormat(Source.PixelFormat());
    Dest.AllocateForWriting(Source.Width(), Source.Height(), Source.PixelFormat(), Source.Height() <= grain);
    Dest.Palette() = Source.Palette();
    if (!Source.Bits() || !Dest.Bits())
        return;
    const uint8_t* from = Source.Bits();
    uint8_t* to = Dest.Bits();
    effects_impl::ParallelRows(
        Source.Height(), grain, int64_t(rowBytes / 3),
        [&](int Begin, int End) {
            std::memcpy(to + size_t(Begin) * rowBytes, from + size_t(Begin) * rowBytes, size_t(End - Begin) * rowBytes);
        },
        nullptr);
}

// ---- Unused colours -----------------------------------------------------------------------------

namespace {

// Marks the colours of the unmasked pixels of [X0, X1) x [Y0, Y1) of a 24-bit bitmap in a set of
// 2^24 bits and returns the lowest colour value not in it.
bool LowestUnusedColour(const TBitmap& B, const TBool2DArray* Mask, int X0, int Y0, int X1, int Y1,
                        TColor& Colour)
{
    std::vector<uint64_t> used(size_t(1) << 18, 0);
    for (int y = Y0; y < Y1; ++y) {
        const TRGBTriple* row = B.Row24(y);
        const bool* masked = Mask ? Mask->Row(y) : nullptr;
        for (int x = X0; x < X1; ++x) {
            if (masked && masked[x])
                continue;
            const TRGBTriple& p = row[x];
            const uint32_t c = uint32_t(p.rgbtRed) | (uint32_t(p.rgbtGreen) << 8) | (uint32_t(p.rgbtBlue) << 16);
            used[c >> 6] |= uint64_t(1) << (c & 63);
        }
    }
    for (size_t w = 0; w < used.size(); ++w)
        if (used[w] != ~uint64_t(0)) {
            Colour = static_cast<TColor>(w * 64 + std::countr_one(used[w]));
            return true;
        }
    return false;
}

// Runs a search on a 24-bit view of Bitmap (a converted copy when Bitmap has another format);
// any failure gives false.
template <typename Search> bool Search24(TBitmap& Bitmap, Search&& Run)
{
    try {
        if (Bitmap.PixelFormat() == pf24bit)
            return Run(Bitmap);
        TBitmap copy;
        CopyBitmap(Bitmap, copy);
        copy.SetPixelFormat(pf24bit);
        return Run(copy);
    } catch (...) {
        return false;
    }
}

} // namespace

bool FindUnusedColour(TBitmap& Bitmap, const TBool2DArray* Mask, TColor& Colour)
{
    return Search24(Bitmap, [&](const TBitmap& B) {
        CheckMaskCovers(Mask, B.Width(), B.Height());
        return LowestUnusedColour(B, Mask, 0, 0, B.Width(), B.Height(), Colour);
    });
}

bool FindUnusedColourInRect(TBitmap& Bitmap, TRect Rect, TColor& Colour)
{
    NormalizeRect(Rect);
    const int x0 = std::max(0, Rect.Left), x1 = std::min(Bitmap.Width(), Rect.Right);
    const int y0 = std::max(0, Rect.Top), y1 = std::min(Bitmap.Height(), Rect.Bottom);
    if (x1 <= x0 || y1 <= y0)
        return false;
    return Search24(Bitmap, [&](const TBitmap& B) { return LowestUnusedColour(B, nullptr, x0, y0, x1, y1, Colour); });
}

// ---- Area-averaging resize ----------------------------------------------------------------------

void BuildShrinkTables(int Src, int Dst, TIntegerArray& Start, TIntegerArray& End)
{
    Dst = std::max(Dst, 0);
    Start.assign(Dst, 0);
    End.assign(Dst, -1);
    if (Dst == 0 || Src <= 0)
        return; // no source pixels: every box is empty
    if (Dst > Src) {
        for (int i = 0; i < Dst; ++i)
            Start[i] = End[i] = static_cast<int32_t>(int64_t(i) * Src / Dst);
        return;
    }
    for (int i = 0; i < Dst; ++i) {
        End[i] = std::max<int32_t>(static_cast<int32_t>(int64_t(i + 1) * Src / Dst) - 1, Start[i]);
        if (i + 1 < Dst)
            Start[i + 1] = End[i] + 1;
    }
    End[Dst - 1] = Src - 1;
}

namespace {

// Area averaging of Source (24-bit) into Dest (24-bit, W x H) over the box tables. Each destination
// row first sums its source rows column by column, then each destination pixel sums its columns.
// With a mask only unmasked pixels count, and a pixel with none is Empty and reported to OnEmpty.
template <typename OnEmpty>
void AverageBoxes(const TBitmap& Source, TBitmap& Dest, const TBool2DArray* Mask, TRGBTriple Empty,
                  OnEmpty&& EmptyPixel)
{
    const int sw = Source.Width(), sh = Source.Height(), dw = Dest.Width(), dh = Dest.Height();
    TIntegerArray xs, xe, ys, ye;
    BuildShrinkTables(sw, dw, xs, xe);
    BuildShrinkTables(sh, dh, ys, ye);
    // Per source column: channel sums over the rows of one box (at most 65535 rows of 255).
    std::vector<uint32_t> acc(size_t(sw) * 3);
    std::vector<uint32_t> count(Mask ? size_t(sw) : 0);
    for (int y = 0; y < dh; ++y) {
        std::fill(acc.begin(), acc.end(), 0u);
        std::fill(count.begin(), count.end(), 0u);
        for (int sy = ys[y]; sy <= ye[y]; ++sy) {
            const uint8_t* src = reinterpret_cast<const uint8_t*>(Source.Row24(sy));
            if (!Mask) {
                for (size_t i = 0; i < acc.size(); ++i)
                    acc[i] += src[i];
                continue;
            }
            const bool* masked = Mask->Row(sy);
            for (int sx = 0; sx < sw; ++sx)
                if (!masked[sx]) {
                    acc[3 * sx] += src[3 * sx];
                    acc[3 * sx + 1] += src[3 * sx + 1];
                    acc[3 * sx + 2] += src[3 * sx + 2];
                    ++count[sx];
                }
        }
        const int64_t rows = int64_t(ye[y]) - ys[y] + 1;
        TRGBTriple* out = Dest.Row24(y);
        for (int x = 0; x < dw; ++x) {
            uint64_t b = 0, g = 0, r = 0, n = 0;
            for (int sx = xs[x]; sx <= xe[x]; ++sx) {
                b += acc[3 * sx];
                g += acc[3 * sx + 1];
                r += acc[3 * sx + 2];
                if (Mask)
                    n += count[sx];
            }
            if (!Mask) {
                n = uint64_t(std::max<int64_t>(rows * (int64_t(xe[x]) - xs[x] + 1), 1));
            } else if (n == 0) {
                out[x] = Empty;
                EmptyPixel(x, y);
                continue;
            }
            out[x] = TRGBTriple{uint8_t(b / n), uint8_t(g / n), uint8_t(r / n)};
        }
    }
}

void PrepareResize(TBitmap& Source, TBitmap& Dest, int W, int H)
{
    CheckPictureSize(W, H); // before Dest loses its pixels
    Make24Bit(Source);
    Dest.SetSize(0, 0);
    Dest.SetPixelFormat(pf24bit);
    Dest.SetSize(W, H);
}

} // namespace

void SmoothResize(TBitmap& Source, TBitmap& Dest, int W, int H)
{
    if (Source.Width() == W && Source.Height() == H) {
        CopyBitmap(Source, Dest);
        return;
    }
    if (&Source == &Dest) {
        SmoothResizeBitmap(Source, W, H);
        return;
    }
    PrepareResize(Source, Dest, W, H);
    AverageBoxes(Source, Dest, nullptr, TRGBTriple{}, [](int, int) {});
}

void SmoothResizeBitmap(TBitmap& Bitmap, int W, int H)
{
    if (Bitmap.Width() == W && Bitmap.Height() == H)
        return;
    TBitmap temp;
    SmoothResize(Bitmap, temp, W, H);
    CopyBitmap(temp, Bitmap);
}

void SmoothResizeMasked(TBitmap& Source, TBitmap& Dest, int W, int H, const TBool2DArray& SourceMask,
                        TColor EmptyColour, TBool2DArray* DestMask)
{
    if (Source.Width() == W && Source.Height() == H) {
        CopyBitmap(Source, Dest);
        if (DestMask && DestMask != &SourceMask)
            DestMask->Assign(&SourceMask);
        return;
    }
    CheckMaskCovers(&SourceMask, Source.Width(), Source.Height());
    if (&Source == &Dest || DestMask == &SourceMask) {
        // Work from copies so that the result does not overwrite what it reads.
        TBitmap source;
        CopyBitmap(Source, source);
        TBool2DArray mask;
        mask.Assign(&SourceMask);
        SmoothResizeMasked(source, Dest, W, H, mask, EmptyColour, DestMask);
        return;
    }
    PrepareResize(Source, Dest, W, H);
    if (DestMask) {
        DestMask->SetSize(W, H);
        DestMask->ResetItems();
    }
    AverageBoxes(Source, Dest, &SourceMask, ColorToTriple(EmptyColour), [&](int x, int y) {
        if (DestMask)
            DestMask->SetItem(x, y, true);
    });
}

// ---- Drawing through masks ---------------------------------------------------------------------

namespace {

// The first index in [From, To) whose mask item is Value, or To.
int64_t NextMaskItem(const bool* Masked, int64_t From, int64_t To, bool Value)
{
    int64_t x = From;
#if defined(__SSE2__)
    // Sixteen items at a time: a bool is one byte, 0 or 1.
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= To; x += 16) {
        const __m128i items = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Masked + x));
        // Bit i set where item i is false.
        const unsigned unset = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(items, zero)));
        const unsigned hits = Value ? ~unset & 0xFFFFu : unset;
        if (hits)
            return x + std::countr_zero(hits);
    }
#endif
    for (; x < To; ++x)
        if (Masked[x] == Value)
            return x;
    return To;
}

// Copies the pixels [X0, X1) of Source to Dest whose mask item is false (all of them without a mask),
// one block copy per run of unmasked pixels.
void DrawUnmaskedRuns(const TRGBTriple* Source, TRGBTriple* Dest, const bool* Masked, int64_t X0, int64_t X1)
{
    if (!Masked) {
        std::memcpy(Dest + X0, Source + X0, size_t(X1 - X0) * sizeof(TRGBTriple));
        return;
    }
    for (int64_t x = NextMaskItem(Masked, X0, X1, false); x < X1;) {
        const int64_t end = NextMaskItem(Masked, x, X1, true);
        std::memcpy(Dest + x, Source + x, size_t(end - x) * sizeof(TRGBTriple));
        x = NextMaskItem(Masked, end, X1, false);
    }
}

} // namespace

void DrawMaskedBitmap(TBitmap* Source, TBitmap* Dest, int DX, int DY, const TBool2DArray* Mask)
{
    if (!Source || !Dest)
        throw Exception("DrawMaskedBitmap Error - Invalid bitmap/s");
    Make24Bit(*Source);
    Make24Bit(*Dest);
    std::unique_ptr<TBitmap> copy;
    if (Source == Dest) {
        copy = std::make_unique<TBitmap>();
        CopyBitmap(*Source, *copy);
        Source = copy.get();
    }
    const int64_t x0 = DX < 0 ? -int64_t(DX) : 0, y0 = DY < 0 ? -int64_t(DY) : 0;
    const int64_t x1 = std::min<int64_t>(Source->Width(), int64_t(Dest->Width()) - DX);
    const int64_t y1 = std::min<int64_t>(Source->Height(), int64_t(Dest->Height()) - DY);
    if (x1 <= x0 || y1 <= y0)
        return;
    CheckMaskCovers(Mask, static_cast<int>(x1), static_cast<int>(y1));
    // Rows taken on this thread; each worker then writes only its own rows of Dest.
    std::vector<const TRGBTriple*> from(size_t(y1 - y0));
    std::vector<TRGBTriple*> to(size_t(y1 - y0));
    for (int64_t y = y0; y < y1; ++y) {
        from[size_t(y - y0)] = Source->Row24(static_cast<int>(y));
        to[size_t(y - y0)] = Dest->Row24(static_cast<int>(y + DY)) + DX;
    }
    effects_impl::ParallelRows(
        static_cast<int>(y1 - y0), effects_impl::kRowGrain, x1 - x0,
        [&](int Begin, int End) {
            for (int i = Begin; i < End; ++i) {
                const bool* masked = Mask ? Mask->Row(static_cast<int>(y0 + i)) : nullptr;
                DrawUnmaskedRuns(from[size_t(i)], to[size_t(i)], masked, x0, x1);
            }
        },
        nullptr);
}

void ReplaceBitmapColour(TBitmap& Bitmap, TColor FromColour, TColor ToColour, int Tolerance)
{
    Make24Bit(Bitmap);
    const TRGBTriple from = ColorToTriple(FromColour), to = ColorToTriple(ToColour);
    for (int y = 0; y < Bitmap.Height(); ++y) {
        TRGBTriple* row = Bitmap.Row24(y);
        for (int x = 0; x < Bitmap.Width(); ++x)
            if (TriplesWithinTolerance(Tolerance, row[x], from))
                row[x] = to;
    }
}

void FillMaskedArea(TBitmap* Bitmap, const TBool2DArray* Mask, TColor Colour)
{
    if (!Bitmap || !Mask)
        return;
    Make24Bit(*Bitmap);
    CheckMaskCovers(Mask, Bitmap->Width(), Bitmap->Height());
    const TRGBTriple colour = ColorToTriple(Colour);
    for (int y = 0; y < Bitmap->Height(); ++y) {
        TRGBTriple* row = Bitmap->Row24(y);
        const bool* masked = Mask->Row(y);
        for (int x = 0; x < Bitmap->Width(); ++x)
            if (masked[x])
                row[x] = colour;
    }
}
