#pragma once
// JPEG pictures over libjpeg. Library errors become EInvalidGraphic "JPEG error #%d" (the library's
// message code); the library never ends the program.
#include "platform/Graphics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum TJPEGScale { jsFullSize, jsHalf, jsQuarter, jsEighth };
enum TJPEGPerformance { jpBestQuality, jpBestSpeed };

class TJPEGImage : public TGraphic {
public:
    TJPEGImage();
    ~TJPEGImage() override;

    // Encoding settings (used by SaveToStream after Assign from a bitmap).
    int CompressionQuality = 90;
    bool ProgressiveEncoding = false;
    // Decoding settings: Scale uses the library's scaled DCT; jpBestSpeed the fast integer DCT
    // without fancy upsampling.
    TJPEGScale Scale = jsFullSize;
    TJPEGPerformance Performance = jpBestQuality;

    // Size at the current Scale (the header's size rounded up at 1/2, 1/4, 1/8).
    int Width() const override;
    int Height() const override;
    // Size of the picture itself, from its header.
    int NaturalWidth() const { return FNaturalWidth; }
    int NaturalHeight() const { return FNaturalHeight; }
    bool Empty() const override;

    // Keeps the compressed bytes (the rest of the stream) and reads the header; the pixels are
    // decoded when first needed. Raises on a damaged header.
    void LoadFromStream(TStream& Stream) override;
    // Writes the kept compressed bytes, or encodes the assigned bitmap.
    void SaveToStream(TStream& Stream) override;
    // Takes a copy of a bitmap's pixels (as 24-bit) to encode.
    void Assign(const TBitmap& Source);
    // Encodes Source with this image's settings straight to Stream, without keeping a copy of it.
    void SaveBitmapToStream(const TBitmap& Source, TStream& Stream) const;
    // Decodes into Dest as a 24-bit bitmap (grey, CMYK and YCCK converted to RGB).
    void AssignTo(TBitmap& Dest) const override;
    void Draw(TCanvas& Canvas, const TRect& Rect) const override;
    const char* ClassName() const override { return "TJPEGImage"; }

    // Reads only a JPEG header from memory: true with the picture's size, false when the bytes
    // are not a readable JPEG header.
    static bool ReadHeaderSize(const uint8_t* Data, size_t Size, int& W, int& H);

    // Decodes the rest of Stream straight into Dest, reading it a buffer at a time (no copy of the
    // file is kept), with Performance's method at the scale Pick gives for the picture's own size,
    // which is left in W x H. The pixels are those AssignTo makes with the same settings. Raises as
    // LoadFromStream and AssignTo do.
    using TPickScale = std::function<TJPEGScale(int W, int H)>;
    static void DecodeStream(TStream& Stream, TBitmap& Dest, const TPickScale& Pick, int& W, int& H,
                             TJPEGPerformance Performance = jpBestSpeed);

private:
    std::vector<uint8_t> FData;            // compressed bytes
    std::unique_ptr<TBitmap> FSource;      // bitmap to encode, when assigned from one
    int FNaturalWidth = 0;
    int FNaturalHeight = 0;
};
