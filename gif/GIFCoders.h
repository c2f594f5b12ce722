#pragma once
// The pixel data coders of GIF frames: the LZW decoder, the LZW and run-length encoders, both with
// the interlaced row order, and the sub-block writer they write through.
#include "gif/GIFTypes.h"
#include "gif/gifstrings.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// Reads the LZW minimum code size and the data sub-blocks that follow it, up to and including the
// terminator, into the frame's pixels. Pixels the data do not reach keep the fill value (the
// transparent index of a transparent frame, else 0).
// Fast copies the strings of a sound table from where they were first written and turns to the
// careful route, from the start of the frame, when the data prove damaged; Careful always builds
// strings through the table's prefix chains. Both give the same pixels and warnings.
enum class TLZWRoute { Fast, Careful };
void DecompressFrameData(TGIFSubImage& Frame, TStream& Stream, TLZWRoute Route = TLZWRoute::Fast);

// A write-only adaptor that packs what is written into data sub-blocks of 255 bytes.
class TGIFStream : public TStream {
public:
    explicit TGIFStream(TStream& Stream) : FStream(Stream) {}
    // Reading, seeking and plain writing raise Exception "Invalid stream operation".
    int64_t Read(void* Buffer, int64_t Count) override;
    int64_t Write(const void* Buffer, int64_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;

protected:
    TStream& FStream;
    std::array<uint8_t, 256> FBuffer{}; // byte 0: length; 1..255: data
    int FBufferCount = 1;
};

class TGIFWriter : public TGIFStream {
public:
    explicit TGIFWriter(TStream& Stream);
    int64_t Write(const void* Buffer, int64_t Count) override;
    void WriteByte(uint8_t Value)
    {
        FDirty = true;
        FBuffer[static_cast<size_t>(FBufferCount++)] = Value;
        if (FBufferCount == 256)
            Flush();
    }
    // Writes the pending sub-block and everything held back to the destination (not done by the
    // destructor, which runs also when an error is passing).
    void Finish();

private:
    void Flush();
    bool FDirty = false;
    // Complete sub-blocks are collected and written to the destination in large pieces.
    std::vector<uint8_t> FPending;
};

class TGIFEncoder {
public:
    virtual ~TGIFEncoder() = default;
    // Writes the minimum code size byte, the data sub-blocks and the terminator. Every pixel must be
    // below MaxColor ("Color not in color table").
    void Compress(TStream& Stream, int BitsPerPixel, int Width, int Height, bool Interlace, const uint8_t* Data,
                  int MaxColor);

protected:
    virtual void Output(int Code);
    virtual void Clear();
    virtual void Encode() = 0;
    // Moves to the next pixel in row order (interlaced or not); false at the end of the frame.
    bool NextPixel();
    uint8_t ReadPixel() const
    {
        if (*FPixel >= MaxColor)
            GIFError(gifstrings::sInvalidColor);
        return *FPixel;
    }

    int MaxColor = 0;
    int BitsPerPixel = 0;
    TStream* Stream = nullptr;
    int Width = 0;
    int Height = 0;
    bool Interlace = false;
    const uint8_t* Data = nullptr;
    TGIFWriter* Writer = nullptr;
    uint32_t OutputBucket = 0;
    int OutputBits = 0;
    bool ClearFlag = false;
    int CodeSize = 0;
    int InitialBits = 0;
    int MaxCode = 0;
    int ClearCode = 0;
    int EOFCode = 0;
    int BaseCode = 0;
    const uint8_t* FPixel = nullptr;
    int PixelsLeft = 0;
    int Row = 0;
    int Pass = 0;
};

// Open-addressed table of LZW strings: key (prefix code shl 8 or pixel) to code.
class THashTable {
public:
    static constexpr int HashSize = 8009;
    THashTable() { Clear(); }
    void Clear() { FSlots.fill(0xFFFFFFFFu); }
    // False when the probe sequence of the key holds no free slot (the caller clears the table).
    bool Insert(uint32_t Key, int Code);
    int Lookup(uint32_t Key) const;

private:
    static int Hash(uint32_t Key) { return static_cast<int>(((Key >> 4) ^ Key) % HashSize); }
    static int NextProbe(int H) { return H == 0 ? HashSize - 1 : (2 * H) % HashSize; }
    // The probe sequence repeats after this many steps (the order of 2 modulo 8009).
    static constexpr int MaxProbes = 4004;
    std::array<uint32_t, HashSize> FSlots;
};

class TLZWEncoder : public TGIFEncoder {
protected:
    void Output(int Code) override;
    void Clear() override;
    void Encode() override;

private:
    int Prefix = 0;
    int FreeCode = 0;
    std::unique_ptr<THashTable> HashTable;
};

// Writes runs of one colour as codes that any decoder reads as such runs, without matching strings.
class TRLEEncoder : public TGIFEncoder {
public:
    static int ISqrt(int X);
    // The codes a run of Count needs when the table grows by one entry per code, N codes per clear.
    static int TriangleCount(int Count, int N);

protected:
    void Clear() override;
    void Encode() override;

private:
    void OutputPlain(int Code);
    void MaxOutClear() { ClearAt = MaxCodesOut; }
    void ResetOutClear();
    void FlushRun(int Count);
    void FlushFromClear(int Count);
    void FlushClearOrRep(int Count);
    void FlushWithTable(int Count);

    int MaxCodesOut = 0;
    int BumpAtInit = 0;
    int ClearAtInit = 0;
    int RunPixel = -1;
    int RunTableMax = 0;
    int RunTablePixel = 0;
    int CodesOut = 0;
    int ClearAt = 0;
    int BumpAt = 0;
};
