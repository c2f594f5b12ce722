#pragma once
// A picture loaded to be shown much smaller than it is (thumbnails, previews): a JPEG file is decoded
// by the library at a reduced scale, so that the shrink after it has far fewer pixels to average.
// Every such load has a memory budget: a picture that needs more cannot be read here, though the
// user may still open it in full.
#include "image/XBitmap.h"
#include "platform/DecodeBudget.h"

#include <cstdint>
#include <functional>
#include <memory>

class TGIFImage;

class TScaledPicture : public TXBitmap {
public:
    // What one load may take. A progressive JPEG keeps all its coefficients (about 2 bytes a pixel in
    // the usual 4:2:0), any other picture its pixels at the decoded size.
    static constexpr int64_t kDefaultBudget = int64_t(256) << 20;

    // Budget bytes for each load, drawn from Pool (all thumbnail and preview loads share one): loads
    // on many threads at once wait for each other rather than pass the pool's bound together.
    explicit TScaledPicture(int64_t Budget = kDefaultBudget, TDecodeMemoryPool* Pool = &TDecodeMemoryPool::Shared());

    // The size a W x H picture will be shown at.
    using TShownSize = std::function<void(int W, int H, int& ShownW, int& ShownH)>;

    // Loads Stream by its content as a 24-bit picture and leaves the picture's own size in W x H. A
    // JPEG file is decoded with the fast method at the smallest of 1/8, 1/4, 1/2 that still holds
    // twice the shown size; any other picture is loaded whole. A picture over the budget raises
    // EInvalidGraphic.
    void LoadScaled(TStream& Stream, const TShownSize& Shown, int& W, int& H);
    // Loads a GIF within the budget as LoadScaled does (the first frame is the picture) and hands out
    // the whole image as well, for whoever plays its animation.
    std::unique_ptr<TGIFImage> LoadGIFScaled(TStream& Stream);

private:
    // Runs Load under the budget. When it failed only because the pool was short at that moment, it
    // runs again from the stream's start once the whole budget is free for it.
    template <typename F>
    void WithinBudget(TStream& Stream, F&& Load);

    TDecodeBudget FBudget; // held while the picture lives: its pixels stay counted in the pool
};
