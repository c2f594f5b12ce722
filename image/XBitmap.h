#pragma once
// The picture bitmap: a 24-bit bitmap that loads BMP, JPEG and GIF files by their content and saves
// itself in the format that the file name's extension names; and the brush-shape mask.
#include "image/ArrayObjects.h"
#include "image/GraphicLoadSaveOptions.h"
#include "platform/Graphics.h"

#include <memory>
#include <string>

class TGIFImage;

CANVELLO_EXCEPTION(EXBitmapError, Exception)

// The pixel bytes of white.
inline constexpr TRGBTriple WhiteTriple{255, 255, 255};

// A brush-shape mask indexed [X][Y] from the top left of the dab; True means "not painted".
class TPenMaskArray : public TBool2DArray {
public:
    // Switches Bitmap to 24-bit and takes its size; an item is True where the pixel is exactly white.
    void LoadFromBitmap(TBitmap& Bitmap);
};

class TXBitmap : public TBitmap {
public:
    using TBitmap::TBitmap;
    ~TXBitmap() override;

    // Options of the last load: a TGifLoadOptions after loading a GIF whose first frame has a
    // graphic control extension, null otherwise. Neither Assign nor AssignBitmap copies it.
    std::unique_ptr<TGraphicLoadOptions> GifLoadOptions;

    // Loads a BMP, JPEG or GIF recognised by its first bytes (ForceBMP: always as BMP).
    void LoadPictureFromFile(const std::string& FileName, bool ForceBMP);
    // The same from a stream's current position to its end.
    void LoadPictureFromStream(TStream& Stream, bool ForceBMP);
    // Writes BMP (no extension or .bmp, or ForceBMP), JPEG (.jpg, .jpeg) or GIF (.gif). The file is
    // replaced only when the whole picture was written.
    void SavePictureToFile(const std::string& FileName, bool ForceBMP);

    TRect GetBoundsRect() const { return Rect(0, 0, Width(), Height()); }
    // Takes Source's size and pixels, drawn as they are (transparency off); keeps this pixel format.
    void AssignBitmap(TBitmap& Source);

    // Content test; reads from the stream's position and moves back to it.
    static bool IsGIFStream(TStream& Stream);
    // Loads a GIF from the stream's position as LoadPictureFromStream does (the first frame is the
    // picture) and hands out the whole image as well, for whoever plays its animation.
    std::unique_ptr<TGIFImage> LoadGIFImageFromStream(TStream& Stream);

protected:
    static bool IsBMPStream(TStream& Stream);
    static bool IsJPEGStream(TStream& Stream);

    void LoadJPEGFromStream(TStream& Stream);
    void SaveJPEGToFile(const std::string& FileName);
    void LoadGIFFromStream(TStream& Stream);
    void SaveGIFToFile(const std::string& FileName);
};
