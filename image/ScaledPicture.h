#pragma once
// A picture loaded to be shown much smaller than it is (thumbnails, previews): a JPEG file is decoded
// by the library at a reduced scale, so that the shrink after it has far fewer pixels to average.
#include "image/XBitmap.h"

#include <functional>

class TScaledPicture : public TXBitmap {
public:
    // The size a W x H picture will be shown at.
    using TShownSize = std::function<void(int W, int H, int& ShownW, int& ShownH)>;

    // Loads Stream by its content and leaves the picture's own size in W x H. A JPEG file is decoded
    // with the fast method at the smallest of 1/8, 1/4, 1/2 that still holds twice the shown size;
    // any other picture is loaded whole.
    void LoadScaled(TStream& Stream, const TShownSize& Shown, int& W, int& H);
};
