// The picture bitmap's loading and saving by content and extension, and the brush-shape mask.
#include "image/XBitmap.h"

#include "image/KTGenUtils.h"
#include "platform/Jpeg.h"

#include <cstring>

// ---- TPenMaskArray -----------------------------------------------------------------------------
void TPenMaskArray::LoadFromBitmap(TBitmap& Bitmap)
{
    Bitmap.SetPixelFormat(pf24bit);
    SetSize(Bitmap.Width(), Bitmap.Height());
    for (int Y = 0; Y < Height; ++Y) {
        const TRGBTriple* Pixels = Bitmap.Row24(Y);
        bool* Items = Row(Y);
        for (int X = 0; X < Width; ++X)
            Items[X] = Pixels[X] == WhiteTriple;
    }
}

// ---- TXBitmap ------------------------------------------------------------------------------------
TXBitmap::~TXBitmap() = default;

namespace {
// Reads Count bytes from the stream's position and moves back to it. Too few bytes raise the
// stream's read error.
void PeekBuffer(TStream& Stream, void* Buffer, int64_t Count)
{
    const int64_t Start = Stream.Position();
    Stream.ReadBuffer(Buffer, Count);
    Stream.SetPosition(Start);
}
} // namespace

bool TXBitmap::IsBMPStream(TStream& Stream)
{
    uint8_t Header[14];
    PeekBuffer(Stream, Header, sizeof Header);
    return (Header[0] | (Header[1] << 8)) == 19778; // "BM"
}

bool TXBitmap::IsJPEGStream(TStream& Stream)
{
    uint8_t Soi[2];
    PeekBuffer(Stream, Soi, sizeof Soi);
    return Soi[0] == 0xFF && Soi[1] == 0xD8;
}

bool TXBitmap::IsGIFStream(TStream& Stream)
{
    char Signature[6];
    PeekBuffer(Stream, Signature, sizeof Signature);
    return std::memcmp(Signature, "GIF", 3) == 0;
}

void TXBitmap::LoadPictureFromFile(const std::string& FileName, bool ForceBMP)
{
    TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
    LoadPictureFromStream(Stream, ForceBMP);
}

void TXBitmap::LoadPictureFromStream(TStream& Stream, bool ForceBMP)
{
    GifLoadOptions.reset();
    if (ForceBMP || IsBMPStream(Stream))
        LoadFromStream(Stream);
    else if (IsJPEGStream(Stream))
        LoadJPEGFromStream(Stream);
    else if (IsGIFStream(Stream))
        LoadGIFFromStream(Stream);
    else
        throw EInvalidGraphic("Bitmap image is not valid");
}

void TXBitmap::LoadJPEGFromStream(TStream& Stream)
{
    // Decoded as the file is read, at full size and quality: no copy of the compressed file.
    int w = 0, h = 0;
    TJPEGImage::DecodeStream(Stream, *this, [](int, int) { return jsFullSize; }, w, h, jpBestQuality);
}

void TXBitmap::SavePictureToFile(const std::string& FileName, bool ForceBMP)
{
    if (ForceBMP) {
        SaveToFile(FileName);
        return;
    }
    const std::string Ext = UpperCase(ExtractExtNoDot(FileName));
    if (Ext.empty() || Ext == "BMP")
        SaveToFile(FileName);
    else if (Ext == "JPG" || Ext == "JPEG")
        SaveJPEGToFile(FileName);
    else if (Ext == "GIF")
        SaveGIFToFile(FileName);
    else
        throw EInvalidGraphic(Format("Unknown picture format :%s", Ext));
}

void TXBitmap::SaveJPEGToFile(const std::string& FileName)
{
    // Encoded straight from the picture's rows (quality 90, baseline): no copy of a large picture.
    const TJPEGImage Jpeg;
    WriteFileAtomically(FileName, [&](TStream& Stream) { Jpeg.SaveBitmapToStream(*this, Stream); });
}

void TXBitmap::AssignBitmap(TBitmap& Source)
{
    SetSize(Source.Width(), Source.Height());
    const bool WasTransparent = Source.Transparent();
    Source.SetTransparent(false);
    try {
        Canvas().Draw(0, 0, Source);
    } catch (...) {
        Source.SetTransparent(WasTransparent);
        throw;
    }
    Source.SetTransparent(WasTransparent);
}
