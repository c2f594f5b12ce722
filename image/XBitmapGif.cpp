// GIF loading and saving of the picture bitmap.
#include "image/XBitmap.h"

#include "gif/GIFColorReduction.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"

#include <memory>

// The frame that stands for the picture: the first one holding pixels (a successful load has one).
static TGIFSubImage* FirstPictureFrame(const TGIFImage& GIF)
{
    for (int i = 0; i < GIF.Images.Count(); ++i)
        if (!GIF.Images.GetFrame(i)->Empty())
            return GIF.Images.GetFrame(i);
    return nullptr;
}

void TXBitmap::LoadGIFFromStream(TStream& Stream)
{
    LoadGIFImageFromStream(Stream);
}

std::unique_ptr<TGIFImage> TXBitmap::LoadGIFImageFromStream(TStream& Stream)
{
    GifLoadOptions.reset();
    auto Image = std::make_unique<TGIFImage>();
    TGIFImage& GIF = *Image;
    GIF.LoadFromStream(Stream);

    std::unique_ptr<TGifLoadOptions> Options;
    if (TGIFSubImage* Frame = FirstPictureFrame(GIF)) {
        const int Index = Frame->Extensions.IndexOfLabel(bsGraphicControlExtension, 0);
        if (Index >= 0) {
            auto* GCE = static_cast<TGIFGraphicControlExtension*>(Frame->Extensions.GetExtension(Index));
            Options = std::make_unique<TGifLoadOptions>();
            Options->Transparent = GCE->GetTransparent();
            if (Options->Transparent)
                Options->TransparentColour = GCE->GetTransparentColor();
        }
    }
    // The image's rendering becomes the picture without a copy; the image renders again if asked.
    GIF.TakeBitmap(*this);
    GifLoadOptions = std::move(Options);
    return Image;
}

void TXBitmap::SaveGIFToFile(const std::string& FileName)
{
    // A picture that already fits a GIF palette is written with exactly its colours, so that it
    // reads back pixel for pixel; only a picture of more colours is quantized and dithered.
    TGIFImage GIF;
    const auto* Options = dynamic_cast<const TGifLoadOptions*>(GifLoadOptions.get());
    if (Options && Options->Transparent) {
        // The transparent colour gets an index of its own that no other pixel is mapped or
        // dithered onto, and exactly the pixels of that colour take it.
        int TransparentIndex = 0;
        std::unique_ptr<TBitmap> Reduced = ReduceColorsExactTransparent(*this, Options->TransparentColour, TransparentIndex);
        if (!Reduced)
            Reduced = ReduceColorsTransparent(*this, Options->TransparentColour, TransparentIndex);
        GIF.Assign(Reduced.get());
        TGIFSubImage* Frame = GIF.Images.GetFrame(0);
        auto* GCE = new TGIFGraphicControlExtension(Frame);
        Frame->Extensions.Add(GCE);
        GCE->SetTransparent(true);
        GCE->SetTransparentColorIndex(TransparentIndex);
    } else {
        std::unique_ptr<TBitmap> Reduced = ReduceColorsExact(*this);
        if (!Reduced) {
            const TGIFPalette Palette = CreateOptimizedPaletteFromBitmap(*this, 256, 8, false);
            Reduced = ReduceColors(*this, ReduceGivenPalette, DitherFloydSteinberg, 0, Palette);
        }
        GIF.Assign(Reduced.get());
    }
    GIF.SaveToFile(FileName);
}
