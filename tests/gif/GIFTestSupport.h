#pragma once
// Helpers of the GIF codec tests: GIF streams written byte by byte, LZW codes packed by hand,
// loading from bytes with the warnings collected, and frames made from pixel lists.
#include "gif/GIFExtensions.h"
#include "gif/GIFFrames.h"
#include "gif/GIFImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace gif_test {

using Bytes = std::vector<uint8_t>;

// A GIF stream built block by block.
class TGIFBuilder {
public:
    // Signature, logical screen and (GlobalColors > 0) a global table of grey entries i*16.
    TGIFBuilder& Header(int Width, int Height, int GlobalColors = 4, const char* Version = "GIF89a")
    {
        Raw(std::string(Version));
        Word(Width);
        Word(Height);
        int SizeField = 0;
        while (GlobalColors > 0 && (2 << SizeField) < GlobalColors)
            ++SizeField;
        // Colour resolution and size as this codec writes them.
        Byte(GlobalColors > 0 ? 0x80 | (SizeField << 4) | SizeField : 0);
        Byte(0);
        Byte(0);
        if (GlobalColors > 0)
            Grays(2 << SizeField);
        return *this;
    }
    TGIFBuilder& Grays(int N)
    {
        for (int i = 0; i < N; ++i)
            for (int c = 0; c < 3; ++c)
                Byte(static_cast<uint8_t>(i * 16));
        return *this;
    }
    TGIFBuilder& Descriptor(int Left, int Top, int Width, int Height, uint8_t Packed = 0)
    {
        Byte(0x2C);
        Word(Left);
        Word(Top);
        Word(Width);
        Word(Height);
        Byte(Packed);
        return *this;
    }
    // Data sub-blocks of Data (255 bytes each, the last shorter), then the terminator.
    TGIFBuilder& SubBlocks(const Bytes& Data, bool Terminate = true)
    {
        for (size_t Pos = 0; Pos < Data.size(); Pos += 255) {
            const size_t N = std::min<size_t>(255, Data.size() - Pos);
            Byte(static_cast<uint8_t>(N));
            B.insert(B.end(), Data.begin() + static_cast<std::ptrdiff_t>(Pos),
                     Data.begin() + static_cast<std::ptrdiff_t>(Pos + N));
        }
        if (Terminate)
            Byte(0);
        return *this;
    }
    // The minimum code size byte and the packed codes as sub-blocks.
    TGIFBuilder& Codes(int CodeSize, const Bytes& Packed, bool Terminate = true)
    {
        Byte(static_cast<uint8_t>(CodeSize));
        return SubBlocks(Packed, Terminate);
    }
    // A graphic control extension.
    TGIFBuilder& GCE(bool Transparent, uint8_t Index, int Disposal = 0, uint16_t Delay = 0)
    {
        Raw({0x21, 0xF9, 4, static_cast<uint8_t>((Disposal << 2) | (Transparent ? 1 : 0)),
             static_cast<uint8_t>(Delay), static_cast<uint8_t>(Delay >> 8), Index, 0});
        return *this;
    }
    TGIFBuilder& Comment(const std::string& Text)
    {
        Raw({0x21, 0xFE});
        return SubBlocks(Bytes(Text.begin(), Text.end()));
    }
    TGIFBuilder& Trailer() { return Byte(0x3B); }
    TGIFBuilder& Byte(uint8_t V)
    {
        B.push_back(V);
        return *this;
    }
    TGIFBuilder& Word(int V)
    {
        Byte(static_cast<uint8_t>(V));
        return Byte(static_cast<uint8_t>(V >> 8));
    }
    TGIFBuilder& Raw(const std::string& S)
    {
        B.insert(B.end(), S.begin(), S.end());
        return *this;
    }
    TGIFBuilder& Raw(std::initializer_list<uint8_t> L)
    {
        B.insert(B.end(), L.begin(), L.end());
        return *this;
    }
    TGIFBuilder& Raw(const Bytes& L)
    {
        B.insert(B.end(), L.begin(), L.end());
        return *this;
    }
    Bytes B;
};

// Codes of the given widths packed least significant bit first.
inline Bytes PackCodes(const std::vector<std::pair<int, int>>& CodesAndBits)
{
    Bytes Out;
    uint32_t Bucket = 0;
    int Count = 0;
    for (const auto& [Code, Bits] : CodesAndBits) {
        Bucket |= static_cast<uint32_t>(Code) << Count;
        Count += Bits;
        while (Count >= 8) {
            Out.push_back(static_cast<uint8_t>(Bucket));
            Bucket >>= 8;
            Count -= 8;
        }
    }
    if (Count > 0)
        Out.push_back(static_cast<uint8_t>(Bucket));
    return Out;
}

// Codes all of one width.
inline Bytes PackCodes(int Bits, std::initializer_list<int> Codes)
{
    std::vector<std::pair<int, int>> CodesAndBits;
    for (int Code : Codes)
        CodesAndBits.emplace_back(Code, Bits);
    return PackCodes(CodesAndBits);
}

// An image that records its warnings.
struct TWarnedImage {
    TWarnedImage()
    {
        Image.OnWarning = [this](const void* Sender, TGIFSeverity Severity, const std::string& Message) {
            Warnings.push_back(Message);
            Senders.push_back(Sender);
            EXPECT_EQ(Severity, gsWarning);
        };
    }
    void Load(const Bytes& Data)
    {
        TBytesStream Stream(Data.data(), static_cast<int64_t>(Data.size()));
        Image.LoadFromStream(Stream);
    }
    bool Warned(const std::string& Message) const
    {
        for (const auto& W : Warnings)
            if (W == Message)
                return true;
        return false;
    }
    TGIFImage Image;
    std::vector<std::string> Warnings;
    std::vector<const void*> Senders;
};

inline Bytes StreamBytes(TMemoryStream& Stream)
{
    return Bytes(Stream.Memory(), Stream.Memory() + Stream.Size());
}

inline Bytes SaveImage(TGIFImage& Image)
{
    TMemoryStream Stream;
    Image.SaveToStream(Stream);
    return StreamBytes(Stream);
}

// A frame appended to Image with the given size, pixels and a local map of Colors grey entries.
inline TGIFSubImage* AddFrame(TGIFImage& Image, int Width, int Height, const Bytes& Pixels, int Colors)
{
    auto* Frame = new TGIFSubImage(&Image);
    Image.Images.Add(Frame);
    Frame->SetBounds(0, 0, Width, Height);
    for (int i = 0; i < Colors; ++i)
        Frame->ColorMap.Add(RGB(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)));
    if (!Pixels.empty())
        Frame->Data = Pixels;
    return Frame;
}

// Message of the exception a call raises ("" when none).
template <typename Fn>
std::string RaisedMessage(Fn&& F)
{
    try {
        F();
    } catch (const Exception& E) {
        return E.Message;
    }
    return "";
}

} // namespace gif_test
