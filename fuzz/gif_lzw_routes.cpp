// Feeds arbitrary pixel data to the LZW decoder on both of its routes and stops on any difference:
// the route that copies the strings of a sound table must give exactly the pixels, warnings, error
// and stream position of the careful route that builds them through the prefix chains.
// Input: width and height (one byte each, 1 to 256), a flags byte (bit 0: interlaced, bit 1: the
// frame is transparent with index = the next byte), then the minimum code size byte and sub-blocks.
// With CANVELLO_FUZZ_SEEDS=DIR the target writes frames encoded by both encoders into DIR as seeds
// when it starts; scripts/fuzz.sh does that before a run.
#include "gif/GIFCoders.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFImage.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TOutcome {
    std::vector<uint8_t> Pixels;
    std::vector<std::string> Warnings;
    std::string Error;
    int64_t End = 0;
    bool operator==(const TOutcome&) const = default;
};

TOutcome Decode(TLZWRoute Route, int Width, int Height, uint8_t Flags, uint8_t Transparent, const uint8_t* Data,
                size_t Size)
{
    TOutcome O;
    TGIFImage Image;
    Image.OnWarning = [&](const void*, TGIFSeverity, const std::string& Message) { O.Warnings.push_back(Message); };
    auto* Frame = new TGIFSubImage(&Image);
    Image.Images.Add(Frame);
    Frame->SetBounds(0, 0, Width, Height);
    if (Flags & 1)
        Frame->Descriptor().PackedFields |= 0x40;
    if (Flags & 2) {
        auto* GCE = new TGIFGraphicControlExtension(Frame);
        Frame->Extensions.Add(GCE);
        GCE->SetTransparent(true);
        GCE->SetTransparentColorIndex(Transparent);
    }
    TBytesStream In(Data, static_cast<int64_t>(Size));
    try {
        DecompressFrameData(*Frame, In, Route);
    } catch (const Exception& E) {
        O.Error = E.Message;
    }
    O.Pixels = Frame->Data;
    O.End = In.Position();
    return O;
}

// Frames of noise, runs and ramps at several depths, both encoders, interlaced or not.
void WriteSeeds(const std::string& Folder)
{
    int N = 0;
    for (int Bits : {1, 2, 4, 8})
        for (int Kind = 0; Kind < 3; ++Kind)
            for (int Encoder = 0; Encoder < 2; ++Encoder) {
                const int W = 64 + 13 * Kind, H = 17 + Bits;
                std::vector<uint8_t> Pixels(static_cast<size_t>(W * H));
                uint32_t Seed = 7;
                for (size_t i = 0; i < Pixels.size(); ++i) {
                    Seed = Seed * 1664525u + 1013904223u;
                    const int V = Kind == 0 ? static_cast<int>(Seed >> 24) : Kind == 1 ? static_cast<int>(i / 29) : static_cast<int>(i % 7);
                    Pixels[i] = static_cast<uint8_t>(V & ((1 << Bits) - 1));
                }
                const bool Interlaced = (Kind + Encoder) % 2 == 1;
                TMemoryStream Out;
                const uint8_t Head[4] = {static_cast<uint8_t>(W - 1), static_cast<uint8_t>(H - 1),
                                         static_cast<uint8_t>(Interlaced ? 1 : 0), 0};
                Out.WriteBuffer(Head, 4);
                std::unique_ptr<TGIFEncoder> E;
                if (Encoder == 0)
                    E = std::make_unique<TLZWEncoder>();
                else
                    E = std::make_unique<TRLEEncoder>();
                E->Compress(Out, Bits, W, H, Interlaced, Pixels.data(), 1 << Bits);
                std::ofstream(Folder + "/lzw-" + std::to_string(N++), std::ios::binary)
                    .write(reinterpret_cast<const char*>(Out.Memory()), Out.Size());
            }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (const char* Seeds = std::getenv("CANVELLO_FUZZ_SEEDS"))
        WriteSeeds(Seeds);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (Size < 4)
        return 0;
    const int Width = Data[0] + 1, Height = Data[1] + 1;
    const uint8_t Flags = Data[2], Transparent = Data[3];
    const TOutcome Fast = Decode(TLZWRoute::Fast, Width, Height, Flags, Transparent, Data + 4, Size - 4);
    const TOutcome Careful = Decode(TLZWRoute::Careful, Width, Height, Flags, Transparent, Data + 4, Size - 4);
    if (!(Fast == Careful))
        std::abort();
    return 0;
}
