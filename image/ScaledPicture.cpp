// Pictures loaded at a reduced scale for showing small.
#include "image/ScaledPicture.h"

#include "platform/Jpeg.h"

#include <utility>

void TScaledPicture::LoadScaled(TStream& Stream, const TShownSize& Shown, int& W, int& H)
{
    if (!IsBMPStream(Stream) && IsJPEGStream(Stream)) {
        TJPEGImage Image;
        Image.LoadFromStream(Stream);
        W = Image.NaturalWidth();
        H = Image.NaturalHeight();
        int ShownW = 0, ShownH = 0;
        Shown(W, H, ShownW, ShownH);
        Image.Performance = jpBestSpeed;
        Image.Scale = jsFullSize;
        for (const auto& [Scale, Denom] : {std::pair{jsEighth, 8}, {jsQuarter, 4}, {jsHalf, 2}}) {
            if ((W + Denom - 1) / Denom >= 2 * ShownW && (H + Denom - 1) / Denom >= 2 * ShownH) {
                Image.Scale = Scale;
                break;
            }
        }
        Image.AssignTo(*this);
        return;
    }
    LoadPictureFromStream(Stream, false);
    W = Width();
    H = Height();
}
