// JPEG pictures over libjpeg.
//
// libjpeg reports errors through error_exit, which must not return. Ours longjmps back to the
// Guarded() call that armed it; only libjpeg's C frames and lambdas holding plain values lie between
// the two, so no C++ destructor is skipped. The jpeg object itself lives in an RAII holder outside
// Guarded() and is destroyed on every path. C++ exceptions raised inside our callbacks (the stream
// destination) are caught there, kept, and rethrown once libjpeg has been left.
#include "platform/Jpeg.h"

#include "platform/DecodeBudget.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <type_traits>

#include <jpeglib.h>
#include <jerror.h>

namespace {

// A progressive file may hold any number of scans, and each one walks the whole picture; legitimate
// files have a dozen or so. More than this is a damaged or hostile file.
constexpr int kMaxScans = 500;

enum class TFailure { None, Library, TooManyScans, Stream };

struct TErrorManager {
    jpeg_error_mgr Pub;
    jpeg_progress_mgr Progress;
    std::jmp_buf Jump;
    TFailure Failure = TFailure::None;
    std::exception_ptr StreamError; // kept by the destination when the stream failed
};

TErrorManager& ErrorsOf(j_common_ptr cinfo)
{
    return *static_cast<TErrorManager*>(cinfo->client_data);
}

[[noreturn]] void Fail(j_common_ptr cinfo, TFailure Failure)
{
    TErrorManager& Err = ErrorsOf(cinfo);
    Err.Failure = Failure;
    std::longjmp(Err.Jump, 1);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    Fail(cinfo, TFailure::Library);
}

// Warnings (corrupt data, premature end) are counted by the library and otherwise ignored, as its own
// tools do; nothing is printed.
void OutputMessage(j_common_ptr) {}

void LimitScans(j_common_ptr cinfo)
{
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
        Fail(cinfo, TFailure::TooManyScans);
}

void InitErrors(TErrorManager& Err)
{
    jpeg_std_error(&Err.Pub);
    Err.Pub.error_exit = ErrorExit;
    Err.Pub.output_message = OutputMessage;
    Err.Progress = {};
    Err.Progress.progress_monitor = LimitScans;
}

// Runs Body with the error manager armed; false when the library (or a callback) bailed out.
template <typename F>
[[gnu::noinline]] bool Guarded(TErrorManager& Err, F&& Body)
{
    if (setjmp(Err.Jump))
        return false;
    Body();
    return true;
}

// Turns a failure recorded by the error manager into the exception callers see.
[[noreturn]] void RaiseFailure(const TErrorManager& Err)
{
    switch (Err.Failure) {
    case TFailure::Stream:
        if (Err.StreamError)
            std::rethrow_exception(Err.StreamError);
        break;
    case TFailure::TooManyScans:
        throw EInvalidGraphic(Format("JPEG picture has more than %d scans", kMaxScans));
    default:
        break;
    }
    throw EInvalidGraphic(Format("JPEG error #%d", Err.Pub.msg_code));
}

// ---- Source over a TStream -------------------------------------------------------------------
// Reads the stream a buffer at a time, so a file is decoded without a copy of it in memory. Its end
// (or a short file) gives the library a fake end-of-image marker with a warning, as a memory source
// does, so both see the same bytes and make the same pixels.
struct TStreamSource {
    jpeg_source_mgr Pub;
    TStream* Stream;
    bool StartOfFile;
    uint8_t Buffer[64 * 1024];
};

static_assert(std::is_standard_layout_v<TStreamSource>);

TStreamSource& SourceOf(j_decompress_ptr cinfo)
{
    return *reinterpret_cast<TStreamSource*>(cinfo->src);
}

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    TStreamSource& Src = SourceOf(cinfo);
    int64_t Got = 0;
    bool Failed = false;
    try {
        Got = Src.Stream->Read(Src.Buffer, static_cast<int64_t>(sizeof Src.Buffer));
    } catch (...) {
        ErrorsOf(reinterpret_cast<j_common_ptr>(cinfo)).StreamError = std::current_exception();
        Failed = true;
    }
    if (Failed)
        Fail(reinterpret_cast<j_common_ptr>(cinfo), TFailure::Stream);
    if (Got <= 0) {
        if (Src.StartOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        static const JOCTET FakeEnd[] = {0xFF, JPEG_EOI};
        WARNMS(cinfo, JWRN_JPEG_EOF);
        Src.Pub.next_input_byte = FakeEnd;
        Src.Pub.bytes_in_buffer = sizeof FakeEnd;
        return TRUE;
    }
    Src.StartOfFile = false;
    Src.Pub.next_input_byte = Src.Buffer;
    Src.Pub.bytes_in_buffer = static_cast<size_t>(Got);
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long Count)
{
    TStreamSource& Src = SourceOf(cinfo);
    while (Count > 0) {
        if (Src.Pub.bytes_in_buffer == 0)
            FillInputBuffer(cinfo);
        const size_t Step = std::min(Src.Pub.bytes_in_buffer, static_cast<size_t>(Count));
        Src.Pub.next_input_byte += Step;
        Src.Pub.bytes_in_buffer -= Step;
        Count -= static_cast<long>(Step);
    }
}

void TermSource(j_decompress_ptr) {}

struct TDecompressor {
    jpeg_decompress_struct Info{};
    TErrorManager Err;
    bool Created = false;
    std::unique_ptr<TStreamSource> Source; // when decoding straight from a stream

    // Creates the decompressor over Data and reads the header. Raises on a damaged header.
    TDecompressor(const uint8_t* Data, size_t Size)
    {
        Open([&] { jpeg_mem_src(&Info, Data, static_cast<unsigned long>(Size)); });
    }
    // The same over the rest of Stream, read as the decoding goes.
    explicit TDecompressor(TStream& Stream)
    {
        Source = std::make_unique<TStreamSource>();
        Source->Stream = &Stream;
        Source->StartOfFile = true;
        Source->Pub.init_source = InitSource;
        Source->Pub.fill_input_buffer = FillInputBuffer;
        Source->Pub.skip_input_data = SkipInputData;
        Source->Pub.resync_to_restart = jpeg_resync_to_restart;
        Source->Pub.term_source = TermSource;
        Source->Pub.next_input_byte = nullptr;
        Source->Pub.bytes_in_buffer = 0;
        Open([&] { Info.src = &Source->Pub; });
    }
    ~TDecompressor() { Destroy(); }
    TDecompressor(const TDecompressor&) = delete;
    TDecompressor& operator=(const TDecompressor&) = delete;

    void Destroy()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
        Created = false;
    }

private:
    template <typename F>
    void Open(F&& SetSource)
    {
        InitErrors(Err);
        Info.err = &Err.Pub;
        Info.client_data = &Err;
        const bool Ok = Guarded(Err, [&] {
            jpeg_create_decompress(&Info);
            Created = true;
            Info.progress = &Err.Progress;
            SetSource();
            jpeg_read_header(&Info, TRUE);
        });
        if (!Ok) {
            Destroy();
            RaiseFailure(Err);
        }
    }
};

unsigned ScaleDenominator(TJPEGScale Scale)
{
    switch (Scale) {
    case jsHalf: return 2;
    case jsQuarter: return 4;
    case jsEighth: return 8;
    default: return 1;
    }
}

// What the library keeps of a picture of several scans (a progressive one): every coefficient of every
// component, whatever the output's scale.
int64_t CoefficientBytes(const jpeg_decompress_struct& Info)
{
    int64_t Bytes = 0;
    for (int C = 0; C < Info.num_components; ++C) {
        const jpeg_component_info& Comp = Info.comp_info[C];
        const int64_t H = Comp.h_samp_factor, V = Comp.v_samp_factor;
        const int64_t Cols = (int64_t(Comp.width_in_blocks) + H - 1) / H * H;
        const int64_t Rows = (int64_t(Comp.height_in_blocks) + V - 1) / V * V;
        Bytes += Cols * Rows * int64_t(sizeof(JBLOCK));
    }
    return Bytes;
}

int ScaledSide(int Side, TJPEGScale Scale)
{
    const int Denom = static_cast<int>(ScaleDenominator(Scale));
    return (Side + Denom - 1) / Denom;
}

// One CMYK row to BGR. Adobe files (Photoshop) store the inks inverted: 255 means no ink.
void CmykRowToBgr(const uint8_t* Src, uint8_t* Dest, int Width, bool Inverted)
{
    for (int X = 0; X < Width; ++X, Src += 4, Dest += 3) {
        int C = Src[0], M = Src[1], Y = Src[2], K = Src[3];
        if (!Inverted) {
            C = 255 - C;
            M = 255 - M;
            Y = 255 - Y;
            K = 255 - K;
        }
        Dest[0] = static_cast<uint8_t>((Y * K + 127) / 255);
        Dest[1] = static_cast<uint8_t>((M * K + 127) / 255);
        Dest[2] = static_cast<uint8_t>((C * K + 127) / 255);
    }
}

// ---- Destination over a TStream --------------------------------------------------------------
// Standard layout with the library's record first, so the library's pointer leads back to it.
struct TStreamDestination {
    jpeg_destination_mgr Pub;
    TStream* Stream;
    uint8_t Buffer[64 * 1024];
};

static_assert(std::is_standard_layout_v<TStreamDestination>);

TStreamDestination& DestinationOf(j_compress_ptr cinfo)
{
    return *reinterpret_cast<TStreamDestination*>(cinfo->dest);
}

void ResetBuffer(TStreamDestination& Dest)
{
    Dest.Pub.next_output_byte = Dest.Buffer;
    Dest.Pub.free_in_buffer = sizeof Dest.Buffer;
}

// Writes Count bytes of the buffer; a stream failure is kept and ends the library's work.
void WriteOut(j_compress_ptr cinfo, size_t Count)
{
    TStreamDestination& Dest = DestinationOf(cinfo);
    bool Failed = false;
    try {
        Dest.Stream->WriteBuffer(Dest.Buffer, static_cast<int64_t>(Count));
    } catch (...) {
        ErrorsOf(reinterpret_cast<j_common_ptr>(cinfo)).StreamError = std::current_exception();
        Failed = true;
    }
    if (Failed)
        Fail(reinterpret_cast<j_common_ptr>(cinfo), TFailure::Stream);
}

void InitDestination(j_compress_ptr cinfo)
{
    ResetBuffer(DestinationOf(cinfo));
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    TStreamDestination& Dest = DestinationOf(cinfo);
    WriteOut(cinfo, sizeof Dest.Buffer);
    ResetBuffer(Dest);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    TStreamDestination& Dest = DestinationOf(cinfo);
    const size_t Count = sizeof Dest.Buffer - Dest.Pub.free_in_buffer;
    if (Count > 0)
        WriteOut(cinfo, Count);
}

struct TCompressor {
    jpeg_compress_struct Info{};
    TErrorManager Err;
    bool Created = false;

    TCompressor()
    {
        InitErrors(Err);
        Info.err = &Err.Pub;
        Info.client_data = &Err;
    }
    ~TCompressor()
    {
        if (Created)
            jpeg_destroy_compress(&Info);
    }
    TCompressor(const TCompressor&) = delete;
    TCompressor& operator=(const TCompressor&) = delete;
};

// Encodes a 24-bit bitmap: baseline (unless Progressive), 4:2:0, standard Huffman tables.
void Encode(const TBitmap& Source, TStream& Stream, int Quality, bool Progressive)
{
    TCompressor C;
    auto Dest = std::make_unique<TStreamDestination>();
    Dest->Pub.init_destination = InitDestination;
    Dest->Pub.empty_output_buffer = EmptyOutputBuffer;
    Dest->Pub.term_destination = TermDestination;
    Dest->Stream = &Stream;
    TStreamDestination* const DestPtr = Dest.get();
    const int W = Source.Width(), H = Source.Height();

    const bool Ok = Guarded(C.Err, [&] {
        jpeg_create_compress(&C.Info);
        C.Created = true;
        C.Info.dest = &DestPtr->Pub;
        C.Info.image_width = static_cast<JDIMENSION>(W);
        C.Info.image_height = static_cast<JDIMENSION>(H);
        C.Info.input_components = 3;
#ifdef JCS_EXTENSIONS
        C.Info.in_color_space = JCS_EXT_BGR;
#else
        C.Info.in_color_space = JCS_RGB;
#endif
        jpeg_set_defaults(&C.Info);
        jpeg_set_quality(&C.Info, Quality, TRUE);
        C.Info.optimize_coding = FALSE;
        if (Progressive)
            jpeg_simple_progression(&C.Info);
        jpeg_start_compress(&C.Info, TRUE);
#ifdef JCS_EXTENSIONS
        while (C.Info.next_scanline < C.Info.image_height) {
            JSAMPROW Row = const_cast<JSAMPROW>(Source.ScanLine(static_cast<int>(C.Info.next_scanline)));
            jpeg_write_scanlines(&C.Info, &Row, 1);
        }
#else
        std::vector<uint8_t> Rgb(static_cast<size_t>(W) * 3);
        while (C.Info.next_scanline < C.Info.image_height) {
            const uint8_t* Src = Source.ScanLine(static_cast<int>(C.Info.next_scanline));
            for (int X = 0; X < W; ++X) {
                Rgb[X * 3] = Src[X * 3 + 2];
                Rgb[X * 3 + 1] = Src[X * 3 + 1];
                Rgb[X * 3 + 2] = Src[X * 3];
            }
            JSAMPROW Row = Rgb.data();
            jpeg_write_scanlines(&C.Info, &Row, 1);
        }
#endif
        jpeg_finish_compress(&C.Info);
    });
    if (!Ok)
        RaiseFailure(C.Err);
}

} // namespace

namespace {

// Decodes the picture D has read the header of into Dest as a 24-bit bitmap at Scale.
void DecodeInto(TDecompressor& D, TBitmap& Dest, TJPEGScale Scale, TJPEGPerformance Performance)
{
    jpeg_decompress_struct& Info = D.Info;
    // The size is checked before the library or the bitmap allocates the picture.
    CheckPictureSize(Info.image_width, Info.image_height);

    const bool Cmyk = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
    const bool Inverted = Info.saw_Adobe_marker;
    std::vector<uint8_t> CmykRow;
    // The rows are not filled before the decoder writes them; those it never reaches are made
    // white, as a bitmap's new pixels are, also when the decode fails.
    int Allocated = 0, Written = 0;
    const bool Ok = Guarded(D.Err, [&] {
        if (Cmyk)
            Info.out_color_space = JCS_CMYK;
        else {
#ifdef JCS_EXTENSIONS
            Info.out_color_space = JCS_EXT_BGR;
#else
            Info.out_color_space = JCS_RGB;
#endif
        }
        Info.scale_num = 1;
        Info.scale_denom = ScaleDenominator(Scale);
        if (Performance == jpBestSpeed) {
            Info.dct_method = JDCT_IFAST;
            Info.do_fancy_upsampling = FALSE;
            Info.do_block_smoothing = FALSE;
        }
        // Under a decode budget the coefficients of a picture of several scans are charged before the
        // library allocates them, and the library itself is held to the budget: past it, it fails
        // (it has no backing store) instead of taking more.
        if (const int64_t Limit = DecodeMemoryLimit(); Limit > 0) {
            Info.mem->max_memory_to_use = static_cast<long>(Limit);
            if (jpeg_has_multiple_scans(&Info))
                ChargeDecodeMemory(CoefficientBytes(Info));
        }
        jpeg_start_decompress(&Info);
        const int W = static_cast<int>(Info.output_width);
        const int H = static_cast<int>(Info.output_height);
        Dest.Assign(nullptr);
        Dest.AllocateForWriting(W, H, pf24bit);
        Allocated = H;
        if (Cmyk)
            CmykRow.resize(static_cast<size_t>(W) * 4);
        // Rows go straight into the bitmap, a band at a time; only CMYK passes through a row buffer.
        constexpr int kBand = 16;
        JSAMPROW Rows[kBand];
        while (Info.output_scanline < Info.output_height) {
            const int First = static_cast<int>(Info.output_scanline);
            if (Cmyk) {
                Rows[0] = CmykRow.data();
                if (jpeg_read_scanlines(&Info, Rows, 1) != 1)
                    break;
                CmykRowToBgr(CmykRow.data(), Dest.ScanLine(First), W, Inverted);
                Written = First + 1;
                continue;
            }
            const int Count = std::min(kBand, H - First);
            for (int I = 0; I < Count; ++I)
                Rows[I] = Dest.ScanLine(First + I);
            const int Read = static_cast<int>(jpeg_read_scanlines(&Info, Rows, static_cast<JDIMENSION>(Count)));
            if (Read == 0)
                break;
            Written = First + Read;
#ifndef JCS_EXTENSIONS
            for (int I = 0; I < Read; ++I)
                for (int X = 0; X < W; ++X)
                    std::swap(Rows[I][X * 3], Rows[I][X * 3 + 2]);
#endif
        }
        // Skips whatever follows the last row (or the fake end a truncated file gets).
        jpeg_abort_decompress(&Info);
    });
    for (int Y = Written; Y < Allocated; ++Y)
        std::memset(Dest.ScanLine(Y), 0xFF, static_cast<size_t>(Dest.Width()) * 3);
    if (!Ok)
        RaiseFailure(D.Err);
}

} // namespace

// ---- TJPEGImage ------------------------------------------------------------------------------
TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

int TJPEGImage::Width() const
{
    return FSource ? FSource->Width() : ScaledSide(FNaturalWidth, Scale);
}

int TJPEGImage::Height() const
{
    return FSource ? FSource->Height() : ScaledSide(FNaturalHeight, Scale);
}

bool TJPEGImage::Empty() const
{
    return Width() == 0 || Height() == 0;
}

void TJPEGImage::LoadFromStream(TStream& Stream)
{
    std::vector<uint8_t> Data;
    const int64_t Remaining = Stream.Size() - Stream.Position();
    if (Remaining > 0) {
        Data.resize(static_cast<size_t>(Remaining));
        size_t Got = 0;
        while (Got < Data.size()) {
            const int64_t N = Stream.Read(Data.data() + Got, static_cast<int64_t>(Data.size() - Got));
            if (N <= 0)
                break;
            Got += static_cast<size_t>(N);
        }
        Data.resize(Got);
    }
    // Reading the header raises for anything that is not a readable JPEG.
    const TDecompressor D(Data.data(), Data.size());
    CheckPictureSize(D.Info.image_width, D.Info.image_height);
    FNaturalWidth = static_cast<int>(D.Info.image_width);
    FNaturalHeight = static_cast<int>(D.Info.image_height);
    FData = std::move(Data);
    FSource.reset();
}

void TJPEGImage::SaveToStream(TStream& Stream)
{
    if (FSource)
        Encode(*FSource, Stream, CompressionQuality, ProgressiveEncoding);
    else if (!FData.empty())
        Stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

namespace {
// A 24-bit copy of a bitmap in another format.
std::unique_ptr<TBitmap> Copy24(const TBitmap& Source)
{
    auto Copy = std::make_unique<TBitmap>();
    Copy->Assign(&Source);
    if (Copy->PixelFormat() != pf24bit)
        Copy->SetPixelFormat(pf24bit);
    return Copy;
}
} // namespace

void TJPEGImage::SaveBitmapToStream(const TBitmap& Source, TStream& Stream) const
{
    if (Source.PixelFormat() == pf24bit)
        Encode(Source, Stream, CompressionQuality, ProgressiveEncoding);
    else
        Encode(*Copy24(Source), Stream, CompressionQuality, ProgressiveEncoding);
}

void TJPEGImage::Assign(const TBitmap& Source)
{
    FSource = Copy24(Source);
    FData.clear();
    FNaturalWidth = FSource->Width();
    FNaturalHeight = FSource->Height();
}

void TJPEGImage::AssignTo(TBitmap& Dest) const
{
    if (FSource) {
        Dest.Assign(FSource.get());
        return;
    }
    if (FData.empty()) {
        Dest.Assign(nullptr);
        return;
    }
    TDecompressor D(FData.data(), FData.size());
    DecodeInto(D, Dest, Scale, Performance);
}

void TJPEGImage::DecodeStream(TStream& Stream, TBitmap& Dest, const TPickScale& Pick, int& W, int& H,
                              TJPEGPerformance Performance)
{
    TDecompressor D(Stream);
    CheckPictureSize(D.Info.image_width, D.Info.image_height);
    W = static_cast<int>(D.Info.image_width);
    H = static_cast<int>(D.Info.image_height);
    DecodeInto(D, Dest, Pick(W, H), Performance);
}

void TJPEGImage::Draw(TCanvas& Canvas, const TRect& Rect) const
{
    TGraphic::Draw(Canvas, Rect);
}

bool TJPEGImage::ReadHeaderSize(const uint8_t* Data, size_t Size, int& W, int& H)
{
    try {
        const TDecompressor D(Data, Size);
        W = static_cast<int>(D.Info.image_width);
        H = static_cast<int>(D.Info.image_height);
        return true;
    } catch (const EInvalidGraphic&) {
        return false;
    }
}
