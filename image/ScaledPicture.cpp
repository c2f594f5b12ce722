// Pictures loaded at a reduced scale for showing small.
#include "image/ScaledPicture.h"

#include "platform/Jpeg.h"

#include <utility>

void TScaledPicture::LoadScaled(TStream& Stream, const TShownSize& Shown, int& W, int& H)
{
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
    W = Width();
    H = Height();
}
