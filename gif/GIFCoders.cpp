// LZW decoding, LZW and run-length encoding of GIF pixel data.
#include "gif/GIFCoders.h"

#include "gif/GIFExtensions.h"
#include "gif/GIFFrames.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace gifstrings;

// ---- Decoder --------------------------------------------------------------------------------------

namespace {

constexpr int kMaxLZWBits = 12;
constexpr int kTableSize = 1 << kMaxLZWBits;
// A valid string is at most kTableSize long; a longer chain is a damaged, circular table.
constexpr int kStackSize = 2 * kTableSize;

// Collects the data sub-blocks of a frame into one buffer, reading the stream in growing chunks and
// leaving it just after the terminator (or at its end).
struct TSubBlockData {
    std::vector<uint8_t> Bytes;
    bool Terminated = false; // the zero-length block was read
    bool Truncated = false;  // the stream ended inside a sub-block

    void Read(TStream& Stream)
    {
        // The data are at most the rest of the stream: room for them at once, so they are never moved.
        Bytes.reserve(static_cast<size_t>(std::max<int64_t>(Stream.Size() - Stream.Position(), 0)));
        std::vector<uint8_t> Chunk;
        size_t ChunkSize = 4096;
        size_t Pos = 0, Len = 0;
        int Left = 0; // bytes of the current sub-block still to come
        for (;;) {
            if (Pos == Len) {
                Chunk.resize(ChunkSize);
                const int64_t Got = Stream.Read(Chunk.data(), static_cast<int64_t>(ChunkSize));
                ChunkSize = std::min<size_t>(ChunkSize * 2, size_t(1) << 20);
                if (Got <= 0) {
                    Truncated = Left > 0;
                    return;
                }
                Pos = 0;
                Len = static_cast<size_t>(Got);
            }
            if (Left == 0) {
                Left = Chunk[Pos++];
                if (Left == 0) {
                    Terminated = true;
                    break;
                }
                continue;
            }
            const size_t Take = std::min<size_t>(static_cast<size_t>(Left), Len - Pos);
            Bytes.insert(Bytes.end(), Chunk.begin() + static_cast<std::ptrdiff_t>(Pos),
                         Chunk.begin() + static_cast<std::ptrdiff_t>(Pos + Take));
            Pos += Take;
            Left -= static_cast<int>(Take);
        }
        if (Len > Pos)
            Stream.Seek(-static_cast<int64_t>(Len - Pos), soCurrent);
    }
};

// The rows of an interlaced frame in the order its pixels come, the four passes 0, 8, ...;
// 4, 12, ...; 2, 6, ...; 1, 3, ...
std::vector<int> InterlacedRows(int Height)
{
    std::vector<int> Rows;
    Rows.reserve(static_cast<size_t>(std::max(Height, 0)));
    static const int Start[4] = {0, 4, 2, 1};
    static const int Step[4] = {8, 8, 4, 2};
    for (int Pass = 0; Pass < 4; ++Pass)
        for (int Y = Start[Pass]; Y < Height; Y += Step[Pass])
            Rows.push_back(Y);
    return Rows;
}

// Where decoded pixels go: rows in file order (interlaced or not) of the frame's pixels. Pixels go
// to a run of contiguous room: the rest of the frame, or of the row when the frame is interlaced.
class TPixelSink {
public:
    TPixelSink(uint8_t* Data, int Width, int Height, bool Interlaced) : FData(Data), FWidth(Width)
    {
        if (!Interlaced || Height <= 1) {
            FDst = Data;
            FLeft = int64_t(Width) * Height;
        } else {
            FRows = InterlacedRows(Height);
            NextRow();
        }
    }
    bool Full() const { return FLeft == 0; }
    int64_t Room() const { return FLeft; }
    uint8_t* Ptr() const { return FDst; }
    void Advance(int N)
    {
        FDst += N;
        FLeft -= N;
        if (FLeft == 0)
            NextRow();
    }
    void Put(uint8_t V)
    {
        *FDst = V;
        Advance(1);
    }
    // Copies as much of Src as there is room for in the frame.
    void Put(const uint8_t* Src, int N)
    {
        while (N > 0 && FLeft > 0) {
            const int K = static_cast<int>(std::min<int64_t>(N, FLeft));
            std::memcpy(FDst, Src, static_cast<size_t>(K));
            Src += K;
            N -= K;
            Advance(K);
        }
    }

private:
    void NextRow()
    {
        if (FRow < FRows.size()) {
            FDst = FData + static_cast<size_t>(FRows[FRow++]) * static_cast<size_t>(FWidth);
            FLeft = FWidth;
        }
    }
    uint8_t* FData;
    int FWidth;
    uint8_t* FDst = nullptr;
    int64_t FLeft = 0;
    std::vector<int> FRows;
    size_t FRow = 0;
};

static_assert(std::endian::native == std::endian::little, "codes are unpacked with little-endian loads");

// Codes packed least significant bit first in one buffer (with 8 bytes of room behind its end),
// taken from a 64-bit buffer that is refilled with up to 8 bytes at a time.
class TCodeReader {
public:
    TCodeReader(const uint8_t* Bits, uint64_t TotalBits) : FNext(Bits), FLeft(TotalBits) {}
    // The next code of Size bits; -1 when the data hold no whole code more.
    int Read(int Size)
    {
        if (FLeft < static_cast<uint64_t>(Size)) {
            FExhausted = true;
            return -1;
        }
        if (FCount < Size) {
            // Bytes are loaded only while unread bits remain, so the load stays within the 8
            // bytes of room; the bits of a partly taken byte are loaded again alike.
            uint64_t V;
            std::memcpy(&V, FNext, 8);
            FBuffer |= V << FCount;
            FNext += (63 - FCount) >> 3;
            FCount |= 56;
        }
        const int Code = static_cast<int>(FBuffer & ((1u << Size) - 1));
        FBuffer >>= Size;
        FCount -= Size;
        FLeft -= static_cast<uint64_t>(Size);
        return Code;
    }
    // A read found too few bits.
    bool Exhausted() const { return FExhausted; }

private:
    const uint8_t* FNext;
    uint64_t FLeft; // bits not yet taken
    uint64_t FBuffer = 0;
    int FCount = 0; // bits in FBuffer
    bool FExhausted = false;
};

struct TLZWTables {
    uint16_t Prefix[kTableSize];
    uint16_t Length[kTableSize]; // of the strings of a sound table
    uint8_t Suffix[kTableSize];
    uint8_t Stack[kStackSize];
};

// Decodes with a table of prefix chains into the frame's rows, and holds out against every
// damage: codes beyond the table, chains that run in circles.
void DecodeCarefully(TGIFSubImage& Frame, TCodeReader& Reader, int InitialCodeSize)
{
    auto NextCode = [&](int Size) { return Reader.Read(Size); };

    const int ClearCode = 1 << InitialCodeSize;
    const int EndCode = ClearCode + 1;
    int CodeSize = InitialCodeSize + 1;
    int MaxCodeSize = 2 * ClearCode;
    int MaxCode = ClearCode + 2;
    int FirstCode = 0, OldCode = 0;
    // Set when a code beyond the table was met: the table may then hold chains that are circular or
    // whose lengths are unknown, and strings are built on the bounded stack until the next clear.
    bool Damaged = false;

    auto Tables = std::make_unique<TLZWTables>();
    uint16_t* const Prefix = Tables->Prefix;
    uint16_t* const Length = Tables->Length;
    uint8_t* const Suffix = Tables->Suffix;
    uint8_t* const Stack = Tables->Stack;

    auto ResetTable = [&]() {
        for (int i = 0; i < ClearCode; ++i) {
            Prefix[i] = 0;
            Suffix[i] = static_cast<uint8_t>(i);
            Length[i] = 1;
        }
        std::memset(Prefix + ClearCode, 0, sizeof(uint16_t) * static_cast<size_t>(kTableSize - ClearCode));
        std::memset(Suffix + ClearCode, 0, static_cast<size_t>(kTableSize - ClearCode));
        CodeSize = InitialCodeSize + 1;
        MaxCodeSize = 2 * ClearCode;
        MaxCode = ClearCode + 2;
        Damaged = false;
    };
    // The entry for the string of OldCode followed by FirstCode.
    auto AddEntry = [&]() {
        if (MaxCode >= kTableSize)
            return;
        Prefix[MaxCode] = static_cast<uint16_t>(OldCode);
        Suffix[MaxCode] = static_cast<uint8_t>(FirstCode);
        Length[MaxCode] = static_cast<uint16_t>(Length[OldCode] + 1);
        if (++MaxCode >= MaxCodeSize && MaxCodeSize < kTableSize) {
            MaxCodeSize *= 2;
            ++CodeSize;
        }
    };

    TPixelSink Sink(Frame.Data.data(), Frame.Width(), Frame.Height(), Frame.Interlaced());
    // The table always starts cleared, whatever the first code in the stream is.
    bool Fresh = true;
    while (!Sink.Full()) {
        int Code = Fresh ? ClearCode : NextCode(CodeSize);
        Fresh = false;
        if (Code < 0 || Code == EndCode)
            break;
        if (Code == ClearCode) {
            ResetTable();
            do
                Code = NextCode(CodeSize);
            while (Code == ClearCode);
            if (Code < 0 || Code == EndCode)
                break;
            Damaged = Code > ClearCode;
            FirstCode = OldCode = Code;
            Sink.Put(static_cast<uint8_t>(Code));
            continue;
        }
        if (Code < ClearCode) { // a single pixel
            FirstCode = Code;
            AddEntry();
            OldCode = Code;
            Sink.Put(static_cast<uint8_t>(Code));
            continue;
        }
        if (Code > MaxCode)
            Damaged = true;
        if (!Damaged) {
            // A sound table: the string's length is known, and it is written in place, backwards.
            const bool Known = Code < MaxCode; // else the string of OldCode and its own first pixel
            const int Len = Known ? Length[Code] : Length[OldCode] + 1;
            if (Len <= Sink.Room()) {
                uint8_t* D = Sink.Ptr();
                int C = Known ? Code : OldCode;
                for (int i = Known ? Len - 1 : Len - 2; i > 0; --i) {
                    D[i] = Suffix[C];
                    C = Prefix[C];
                }
                D[0] = static_cast<uint8_t>(C);
                FirstCode = D[0];
                if (!Known)
                    D[Len - 1] = static_cast<uint8_t>(FirstCode);
                AddEntry();
                OldCode = Code;
                Sink.Advance(Len);
                continue;
            }
        }
        // The string on the stack, last pixel first; it ends at the top of the stack.
        const int InCode = Code;
        int Sp = kStackSize;
        if (Code >= MaxCode) {
            Stack[--Sp] = static_cast<uint8_t>(FirstCode);
            Code = OldCode;
        }
        while (Code >= ClearCode) {
            if (Sp <= 1) { // a damaged, circular chain: keep what was decoded
                Frame.Warning(gsWarning, sDecodeCircular);
                return;
            }
            Stack[--Sp] = Suffix[Code];
            if (Prefix[Code] == Code)
                GIFError(sDecodeCircular);
            Code = Prefix[Code];
        }
        FirstCode = Suffix[Code];
        Stack[--Sp] = static_cast<uint8_t>(FirstCode);
        AddEntry();
        OldCode = InCode;
        Sink.Put(Stack + Sp, kStackSize - Sp);
    }
}

// Copies Len pixels from S to D in 16-byte pieces, which may write up to 15 bytes past D + Len and
// read as far past S + Len. Right when every byte of S[0, Len) stands before D or outside the
// output, as the piece of any known code does. Each piece is loaded whole before it is stored, so
// a piece may overlap its source where the bytes past Len do.
inline void CopyPieces(uint8_t* D, const uint8_t* S, size_t Len)
{
    for (size_t i = 0; i < Len; i += 16) {
        uint8_t Piece[16];
        std::memcpy(Piece, S + i, 16);
        std::memcpy(D + i, Piece, 16);
    }
}

// Decodes the codes of a sound table into Count pixels at Out in file order. Every string of a
// sound table already stands in the output once: the entry made from OldCode and a first pixel is
// OldCode's string as last written followed by the pixel written next, so an entry is kept as the
// start and length of that piece and decoding a code copies it. False, with Out partly written,
// when a code beyond the table shows that the data are damaged; else Written is the number of
// pixels decoded. Pixels up to 15 past Written may have been written as well.
bool DecodeSoundTable(TCodeReader& Reader, int InitialCodeSize, uint8_t* Out, size_t Count, size_t& Written)
{
    struct TPiece {
        uint32_t Start;
        uint32_t Length; // 0 for the clear and the end code
    };
    const int ClearCode = 1 << InitialCodeSize;
    const int EndCode = ClearCode + 1;
    // The roots' strings, with room for a 16-byte read past each.
    uint8_t Roots[kTableSize / 2 + 16] = {};
    for (int i = 0; i < ClearCode; ++i)
        Roots[i] = static_cast<uint8_t>(i);
    std::unique_ptr<TPiece[]> Entries(new TPiece[kTableSize]());
    TPiece* const Table = Entries.get();
    for (int i = 0; i < ClearCode; ++i)
        Table[i] = {0, 1};
    Table[ClearCode] = Table[EndCode] = {0, 0};

    // Locals, so that the pixel stores, which may alias anything, keep none of them in memory.
    TCodeReader In = Reader;
    int CodeSize = 0, MaxCodeSize = 0, MaxCode = 0;
    size_t Pos = 0;
    TPiece Old{0, 0}; // the string written last
    bool Sound = true;

    // The entry for the string written last followed by the pixel written next.
    auto AddEntry = [&]() {
        if (MaxCode >= kTableSize)
            return;
        Table[MaxCode] = {Old.Start, Old.Length + 1};
        if (++MaxCode >= MaxCodeSize && MaxCodeSize < kTableSize) {
            MaxCodeSize *= 2;
            ++CodeSize;
        }
    };
    // A string of Length pixels was written at Pos.
    auto Put = [&](uint32_t Length) {
        Old = {static_cast<uint32_t>(Pos), Length};
        Pos += Length;
    };
    // A string near the end of the output: written pixel by pixel, cut at the end.
    auto PutNearEnd = [&](const uint8_t* S, uint32_t Length) {
        const size_t N = std::min<size_t>(Length, Count - Pos);
        for (size_t i = 0; i < N; ++i)
            Out[Pos + i] = S[i];
        Old = {static_cast<uint32_t>(Pos), Length};
        Pos += N;
    };

    // The table always starts cleared, whatever the first code in the stream is.
    int Code = ClearCode;
    for (;;) {
        const TPiece E = Table[Code];
        if (Code >= MaxCode || E.Length == 0) [[unlikely]] {
            if (Code == ClearCode) {
                CodeSize = InitialCodeSize + 1;
                MaxCodeSize = 2 * ClearCode;
                MaxCode = ClearCode + 2;
                do
                    Code = In.Read(CodeSize);
                while (Code == ClearCode);
                if (Code < 0 || Code == EndCode)
                    break;
                if (Code > ClearCode) {
                    Sound = false;
                    break;
                }
                Out[Pos] = static_cast<uint8_t>(Code);
                Put(1);
            } else if (Code == EndCode) {
                break;
            } else if (Code > MaxCode) {
                Sound = false;
                break;
            } else {
                // The code of the entry being made: OldCode's string and its own first pixel.
                const TPiece S{Old.Start, Old.Length + 1};
                AddEntry();
                if (S.Length + 16 <= Count - Pos) {
                    CopyPieces(Out + Pos, Out + S.Start, Old.Length);
                    Out[Pos + Old.Length] = Out[S.Start];
                    Put(S.Length);
                } else {
                    PutNearEnd(Out + S.Start, S.Length);
                }
            }
        } else {
            // A root or a known entry.
            AddEntry();
            const uint8_t* S = Code < ClearCode ? Roots + Code : Out + E.Start;
            if (E.Length + 16 <= Count - Pos) [[likely]] {
                CopyPieces(Out + Pos, S, E.Length);
                Put(E.Length);
            } else {
                PutNearEnd(S, E.Length);
            }
        }
        if (Pos >= Count)
            break;
        Code = In.Read(CodeSize);
        if (Code < 0)
            break;
    }
    Reader = In;
    Written = Pos;
    return Sound;
}

// The sound-table decoding of a frame: straight into the pixels, or, for an interlaced frame,
// into rows in file order that are then put in place.
bool DecodeFrameFast(TGIFSubImage& Frame, TCodeReader& Reader, int InitialCodeSize, uint8_t Fill)
{
    const int Width = Frame.Width(), Height = Frame.Height();
    const size_t Count = Frame.Data.size();
    size_t Written = 0;
    if (!Frame.Interlaced() || Height <= 1) {
        if (!DecodeSoundTable(Reader, InitialCodeSize, Frame.Data.data(), Count, Written))
            return false;
        // The pixels the last string's copy wrote past it keep the fill.
        std::fill_n(Frame.Data.begin() + static_cast<std::ptrdiff_t>(Written), std::min<size_t>(Count - Written, 16), Fill);
        return true;
    }

    const auto Linear = std::make_unique_for_overwrite<uint8_t[]>(Count);
    if (!DecodeSoundTable(Reader, InitialCodeSize, Linear.get(), Count, Written))
        return false;
    const std::vector<int> Rows = InterlacedRows(Height);
    for (size_t i = 0; i < Rows.size() && Written > 0; ++i) {
        const size_t N = std::min<size_t>(static_cast<size_t>(Width), Written);
        std::memcpy(Frame.Data.data() + static_cast<size_t>(Rows[i]) * static_cast<size_t>(Width),
                    Linear.get() + i * static_cast<size_t>(Width), N);
        Written -= N;
    }
    return true;
}

} // namespace

void DecompressFrameData(TGIFSubImage& Frame, TStream& Stream, TLZWRoute Route)
{
    Frame.NewImage();
    uint8_t Fill = 0;
    if (Frame.Transparent && Frame.GraphicControlExtension)
        Fill = Frame.GraphicControlExtension->TransparentColorIndex();
    if (Fill != 0)
        std::fill(Frame.Data.begin(), Frame.Data.end(), Fill);

    uint8_t InitialCodeSize;
    if (!TryReadByte(Stream, InitialCodeSize))
        return;

    TSubBlockData In;
    In.Read(Stream);
    if (In.Truncated)
        Frame.Warning(gsWarning, sOutOfData);
    // Codes of more than 12 bits do not exist; such a code size cannot be decoded.
    if (InitialCodeSize >= kMaxLZWBits)
        GIFError(sInvalidData);
    if (Frame.Data.empty())
        return;

    const uint64_t TotalBits = uint64_t(In.Bytes.size()) * 8;
    In.Bytes.resize(In.Bytes.size() + 8, 0);
    TCodeReader Reader(In.Bytes.data(), TotalBits);
    bool Decoded = false;
    if (Route == TLZWRoute::Fast) {
        Decoded = DecodeFrameFast(Frame, Reader, InitialCodeSize, Fill);
        if (!Decoded) {
            // Damaged data: decoded again from the start on the careful route, which decides.
            std::fill(Frame.Data.begin(), Frame.Data.end(), Fill);
            Reader = TCodeReader(In.Bytes.data(), TotalBits);
        }
    }
    if (!Decoded)
        DecodeCarefully(Frame, Reader, InitialCodeSize);
    if (Reader.Exhausted() && In.Terminated)
        Frame.Warning(gsWarning, sDecodeTooFewBits);
}

// ---- Sub-block writer -----------------------------------------------------------------------------

int64_t TGIFStream::Read(void*, int64_t)
{
    throw Exception(sBadStreamOperation);
}

int64_t TGIFStream::Write(const void*, int64_t)
{
    throw Exception(sBadStreamOperation);
}

int64_t TGIFStream::Seek(int64_t, TSeekOrigin)
{
    throw Exception(sBadStreamOperation);
}

TGIFWriter::TGIFWriter(TStream& Stream) : TGIFStream(Stream)
{
    FPending.reserve(size_t(1) << 16);
}

int64_t TGIFWriter::Write(const void* Buffer, int64_t Count)
{
    const uint8_t* P = static_cast<const uint8_t*>(Buffer);
    for (int64_t i = 0; i < Count; ++i)
        WriteByte(P[i]);
    return Count;
}

void TGIFWriter::Flush()
{
    FBuffer[0] = static_cast<uint8_t>(FBufferCount - 1);
    FPending.insert(FPending.end(), FBuffer.begin(), FBuffer.begin() + FBufferCount);
    FBufferCount = 1;
    FDirty = false;
    if (FPending.size() >= (size_t(1) << 16)) {
        FStream.WriteBuffer(FPending.data(), static_cast<int64_t>(FPending.size()));
        FPending.clear();
    }
}

void TGIFWriter::Finish()
{
    if (FDirty && FBufferCount > 1)
        Flush();
    if (!FPending.empty()) {
        FStream.WriteBuffer(FPending.data(), static_cast<int64_t>(FPending.size()));
        FPending.clear();
    }
}

// ---- Encoders -------------------------------------------------------------------------------------

void TGIFEncoder::Compress(TStream& AStream, int ABitsPerPixel, int AWidth, int AHeight, bool AInterlace,
                           const uint8_t* AData, int AMaxColor)
{
    MaxColor = AMaxColor;
    BitsPerPixel = std::max(ABitsPerPixel, 2);
    Stream = &AStream;
    Width = AWidth;
    Height = AHeight;
    Interlace = AInterlace;
    Data = AData;
    InitialBits = BitsPerPixel + 1;
    ::WriteByte(AStream, static_cast<uint8_t>(BitsPerPixel));

    CodeSize = InitialBits;
    MaxCode = (1 << InitialBits) - 1;
    ClearCode = 1 << BitsPerPixel;
    EOFCode = ClearCode + 1;
    BaseCode = ClearCode + 2;
    OutputBucket = 0;
    OutputBits = 0;
    ClearFlag = false;
    PixelsLeft = Interlace ? Width : Width * Height;
    Row = 0;
    Pass = 0;
    FPixel = Data;

    TGIFWriter W(AStream);
    Writer = &W;
    try {
        if (Data && Height >= 1 && Width >= 1)
            Encode();
        Output(EOFCode);
        W.Finish();
    } catch (...) {
        // What was encoded so far still goes to the destination.
        Writer = nullptr;
        W.Finish();
        throw;
    }
    Writer = nullptr;
    ::WriteByte(AStream, 0);
}

void TGIFEncoder::Output(int Code)
{
    if (OutputBits > 0)
        OutputBucket = (OutputBucket & ((1u << OutputBits) - 1)) | (static_cast<uint32_t>(Code) << OutputBits);
    else
        OutputBucket = static_cast<uint32_t>(Code);
    OutputBits += CodeSize;
    while (OutputBits >= 8) {
        Writer->WriteByte(static_cast<uint8_t>(OutputBucket));
        OutputBucket >>= 8;
        OutputBits -= 8;
    }
    if (Code == EOFCode) {
        // The last byte is padded with zero bits.
        while (OutputBits > 0) {
            Writer->WriteByte(static_cast<uint8_t>(OutputBucket));
            OutputBucket >>= 8;
            OutputBits -= 8;
        }
    }
}

void TGIFEncoder::Clear()
{
    ClearFlag = true;
    Output(ClearCode);
}

bool TGIFEncoder::NextPixel()
{
    if (--PixelsLeft > 0) {
        ++FPixel;
        return true;
    }
    if (!Interlace)
        return false;
    PixelsLeft = Width;
    static const int Step[4] = {8, 8, 4, 2};
    static const int Start[4] = {0, 4, 2, 1};
    Row += Step[Pass];
    while (Row >= Height && Pass < 3) {
        ++Pass;
        Row = Start[Pass];
    }
    if (Row >= Height)
        return false;
    FPixel = Data + static_cast<size_t>(Row) * static_cast<size_t>(Width);
    return true;
}

bool THashTable::Insert(uint32_t Key, int Code)
{
    int H = Hash(Key);
    for (int Probe = 0; Probe <= MaxProbes; ++Probe) {
        if ((FSlots[static_cast<size_t>(H)] >> 12) == 0xFFFFFu) {
            FSlots[static_cast<size_t>(H)] = (Key << 12) | (static_cast<uint32_t>(Code) & 0xFFF);
            return true;
        }
        H = NextProbe(H);
    }
    return false;
}

int THashTable::Lookup(uint32_t Key) const
{
    int H = Hash(Key);
    for (int Probe = 0; Probe <= MaxProbes; ++Probe) {
        const uint32_t Slot = FSlots[static_cast<size_t>(H)];
        if ((Slot >> 12) == 0xFFFFFu)
            return -1;
        if ((Slot >> 12) == Key)
            return static_cast<int>(Slot & 0xFFF);
        H = NextProbe(H);
    }
    return -1;
}

void TLZWEncoder::Output(int Code)
{
    TGIFEncoder::Output(Code);
    if (FreeCode > MaxCode || ClearFlag) {
        if (ClearFlag) {
            CodeSize = InitialBits;
            MaxCode = (1 << CodeSize) - 1;
            ClearFlag = false;
        } else {
            ++CodeSize;
            MaxCode = CodeSize >= kMaxLZWBits ? kTableSize : (1 << CodeSize) - 1;
        }
    }
}

void TLZWEncoder::Clear()
{
    TGIFEncoder::Clear();
    HashTable->Clear();
    FreeCode = ClearCode + 2;
}

void TLZWEncoder::Encode()
{
    HashTable = std::make_unique<THashTable>();
    FreeCode = 0;
    Clear();
    Prefix = ReadPixel();
    while (NextPixel()) {
        const int P = ReadPixel();
        const uint32_t Key = (static_cast<uint32_t>(Prefix) << 8) | static_cast<uint32_t>(P);
        const int K = HashTable->Lookup(Key);
        if (K >= 0) {
            Prefix = K;
            continue;
        }
        Output(Prefix);
        Prefix = P;
        if (FreeCode >= kTableSize - 1 || !HashTable->Insert(Key, FreeCode))
            Clear();
        else
            ++FreeCode;
    }
    Output(Prefix);
    HashTable.reset();
}

// ---- Run-length encoder -----------------------------------------------------------------------------

int TRLEEncoder::ISqrt(int X)
{
    if (X < 2)
        return X;
    int R = 1;
    for (int V = X; V > 0; V /= 4)
        R *= 2;
    for (;;) {
        const int R2 = (X / R + R) / 2;
        if (R2 == R || R2 == R + 1)
            return R;
        R = R2;
    }
}

int TRLEEncoder::TriangleCount(int Count, int N)
{
    int Cost = 0;
    const int Per = N * (N + 1) / 2;
    while (Count >= Per) {
        Cost += N;
        Count -= Per;
    }
    if (Count > 0) {
        int K = ISqrt(Count);
        while (K * (K + 1) >= 2 * Count)
            --K;
        while (K * (K + 1) < 2 * Count)
            ++K;
        Cost += K;
    }
    return Cost;
}

void TRLEEncoder::Clear()
{
    BumpAt = BumpAtInit;
    ClearAt = ClearAtInit;
    CodesOut = 0;
    RunTableMax = 0;
    TGIFEncoder::Clear();
    CodeSize = InitialBits;
}

void TRLEEncoder::OutputPlain(int Code)
{
    ClearFlag = false;
    Output(Code);
    ++CodesOut;
    if (CodesOut >= BumpAt) {
        ++CodeSize;
        BumpAt += 1 << (CodeSize - 1);
    }
    if (CodesOut >= ClearAt)
        Clear();
}

void TRLEEncoder::ResetOutClear()
{
    ClearAt = ClearAtInit;
    if (CodesOut >= ClearAt)
        Clear();
}

void TRLEEncoder::FlushRun(int Count)
{
    if (Count == 1)
        OutputPlain(RunPixel);
    else if (ClearFlag)
        FlushFromClear(Count);
    else if (RunTableMax >= 2 && RunTablePixel == RunPixel)
        FlushWithTable(Count);
    else
        FlushClearOrRep(Count);
}

void TRLEEncoder::FlushFromClear(int Count)
{
    MaxOutClear();
    RunTablePixel = RunPixel;
    int N = 1;
    while (Count > 0) {
        if (N == 1) {
            RunTableMax = 1;
            OutputPlain(RunPixel);
            --Count;
        } else if (Count >= N) {
            RunTableMax = N;
            OutputPlain(BaseCode + N - 2);
            Count -= N;
        } else {
            ++RunTableMax;
            OutputPlain(Count == 1 ? RunPixel : BaseCode + Count - 2);
            Count = 0;
        }
        N = CodesOut == 0 ? 1 : N + 1;
    }
    ResetOutClear();
}

void TRLEEncoder::FlushClearOrRep(int Count)
{
    const int WithClear = 1 + TriangleCount(Count, MaxCodesOut);
    if (WithClear < Count) {
        Clear();
        FlushFromClear(Count);
    } else {
        for (; Count > 0; --Count)
            OutputPlain(RunPixel);
    }
}

void TRLEEncoder::FlushWithTable(int Count)
{
    int Reps = Count / RunTableMax;
    int Left = Count % RunTableMax;
    int LeftCodes = Left > 0 ? 1 : 0;
    if (CodesOut + Reps + LeftCodes > MaxCodesOut) {
        Reps = MaxCodesOut - CodesOut;
        Left = Count - Reps * RunTableMax;
        LeftCodes = 1 + TriangleCount(Left, MaxCodesOut);
    }
    if (1 + TriangleCount(Count, MaxCodesOut) < Reps + LeftCodes) {
        Clear();
        FlushFromClear(Count);
        return;
    }
    MaxOutClear();
    for (; Reps > 0; --Reps)
        OutputPlain(BaseCode + RunTableMax - 2);
    if (Left > 0) {
        if (ClearFlag)
            FlushFromClear(Left);
        else if (Left == 1)
            OutputPlain(RunPixel);
        else
            OutputPlain(BaseCode + Left - 2);
    }
    ResetOutClear();
}

void TRLEEncoder::Encode()
{
    BumpAtInit = ClearCode - 1;
    ClearAtInit = BitsPerPixel > 3 ? BumpAtInit - 1 : 9;
    MaxCodesOut = kTableSize - 1 - BaseCode;
    Clear();
    FPixel = Data;
    RunPixel = -1;
    int Run = 0;
    do {
        const int P = ReadPixel();
        if (Run > 0 && P != RunPixel) {
            FlushRun(Run);
            Run = 0;
        }
        if (P != RunPixel) {
            RunPixel = P;
            Run = 1;
        } else {
            ++Run;
        }
    } while (NextPixel());
    FlushRun(Run);
}
