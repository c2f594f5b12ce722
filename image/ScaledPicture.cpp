// Pictures loaded at a reduced scale for showing small.
#include "image/ScaledPicture.h"

#include "gif/GIFImage.h"
#include "platform/Jpeg.h"

#include <utility>

TScaledPicture::TScaledPicture(int64_t Budget, TDecodeMemoryPool* Pool) : FBudget(Budget, Pool) {}

template <typename F>
void TScaledPicture::WithinBudget(TStream& Stream, F&& Load)
{
    const int64_t Start = Stream.Position();
    FBudget.Reset();
    try {
        const TDecodeBudgetScope Scope(FBudget);
        Load();
        return;
    } catch (...) {
        if (!FBudget.PoolRefused())
            throw;
    }
    Assign(nullptr);
    Stream.SetPosition(Start);
    FBudget.ReserveWhole();
    const TDecodeBudgetScope Scope(FBudget);
    Load();
}

void TScaledPicture::LoadScaled(TStream& Stream, const TShownSize& Shown, int& W, int& H)
{
    WithinBudget(Stream, [&] {
        if (!IsBMPStream(Stream) && IsJPEGStream(Stream)) {
            // Decoded from the stream as it is read: no copy of the file in memory.
            TJPEGImage::DecodeStream(Stream, *this, [&Shown](int PW, int PH) {
                int ShownW = 0, ShownH = 0;
                Shown(PW, PH, ShownW, ShownH);
                for (const auto& [Scale, Denom] : {std::pair{jsEighth, 8}, {jsQuarter, 4}, {jsHalf, 2}})
                    if ((PW + Denom - 1) / Denom >= 2 * ShownW && (PH + Denom - 1) / Denom >= 2 * ShownH)
                        return Scale;
                return jsFullSize;
            }, W, H);
            return;
        }
        LoadPictureFromStream(Stream, false);
        // The shrink works on 24-bit pixels: their copy is counted here too.
        SetPixelFormat(pf24bit);
        W = Width();
        H = Height();
    });
}

std::unique_ptr<TGIFImage> TScaledPicture::LoadGIFScaled(TStream& Stream)
{
    std::unique_ptr<TGIFImage> GIF;
    WithinBudget(Stream, [&] {
        GIF.reset();
        GIF = LoadGIFImageFromStream(Stream);
    });
    return GIF;
}
