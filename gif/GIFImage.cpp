// The GIF graphic: whole-file reading and writing, rendering, palette, copying, clipboard and the
// registration of the format.
#include "gif/GIFImage.h"

#include "gif/GIFColorReduction.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFPainter.h"
#include "gif/gifstrings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <mutex>

using namespace gifstrings;

const char* const GIFClipboardFormat = "image/gif";

bool PaletteDisplay()
{
    // Measured once; the screen can only be asked on the GUI thread, and elsewhere a display of
    // more than 8 bits is assumed (the rule on every current desktop).
    static const bool Result = [] {
        const QGuiApplication* App = qGuiApp;
        if (!App || QThread::currentThread() != App->thread())
            return false;
        const QScreen* Screen = QGuiApplication::primaryScreen();
        return Screen && Screen->depth() < 9;
    }();
    return Result;
}

void RegisterGIFFormat()
{
    static std::once_flag Once;
    std::call_once(Once, [] {
        RegisterFileFormat("GIF", sGIFImage, [] { return std::make_unique<TGIFImage>(); });
    });
}

namespace {
// Registers the format when the program starts.
const bool GIFFormatRegistered = (RegisterGIFFormat(), true);
} // namespace

// ---- Frame list -----------------------------------------------------------------------------------

void TGIFImageList::LoadFromStream(TStream& Stream)
{
    // Every frame holds its own pixels, so a small hostile file of many screen-sized frames (a frame
    // without data still takes the screen's size) could ask for gigabytes: the frames together are held
    // to what one picture may have at most.
    constexpr int64_t kMaxTotalPixels = kMaxPicturePixels;
    int64_t Total = 0;
    for (;;) {
        uint8_t B;
        if (!TryReadByte(Stream, B))
            return;
        if (B == 0)
            continue;
        Stream.Seek(-1, soCurrent);
        if (B == bsTrailer)
            return;
        if (B != bsExtensionIntroducer && B != bsImageSeparator) {
            Warning(gsWarning, sUnknownBlockType);
            return;
        }
        auto Frame = std::make_unique<TGIFSubImage>(FImage);
        Frame->LoadFromStream(Stream);
        Total += int64_t(Frame->Width()) * Frame->Height();
        if (Total > kMaxTotalPixels)
            GIFError(Format("The frames of this GIF hold more than %d million pixels",
                            static_cast<int>(kMaxTotalPixels / 1000000)));
        TGIFSubImage* Loaded = Frame.release();
        Add(Loaded);
        if (FImage) {
            const int64_t Size = Stream.Size();
            try {
                FImage->Progress(this, psRunning, Size > 0 ? static_cast<int>(Stream.Position() * 100 / Size) : 0,
                                 false, TRect{}, sProgressLoading);
            } catch (...) {
                Delete(IndexOf(Loaded));
                throw;
            }
        }
    }
}

void TGIFImageList::SaveToStream(TStream& Stream)
{
    const int N = Count();
    for (int i = 0; i < N; ++i) {
        GetFrame(i)->SaveToStream(Stream);
        if (FImage)
            FImage->Progress(this, psRunning, MulDiv(i + 1, 100, N), false, TRect{}, sProgressSaving);
    }
}

// ---- Image ----------------------------------------------------------------------------------------

TGIFImage::TGIFImage()
{
    Clear();
}

TGIFImage::~TGIFImage()
{
    try {
        StopDraw();
        Clear();
    } catch (...) {
    }
}

void TGIFImage::Clear()
{
    StopDraw();
    FreeBitmap();
    Images.Clear();
    Header.ColorMap.Clear();
    Header.Descriptor.Width = 0;
    Header.Descriptor.Height = 0;
    Header.Prepare();
    SetPalette({});
}

void TGIFImage::SetWidth(int Value)
{
    for (int i = 0; i < Images.Count(); ++i) {
        const TGIFSubImage* F = Images.GetFrame(i);
        if (F->Left() + F->Width() > Value)
            GIFError(sBadWidth);
    }
    CheckGIFSize(Value, Height());
    if (Value != Width()) {
        Header.Descriptor.Width = static_cast<uint16_t>(Value);
        FreeBitmap();
        Changed(this);
    }
}

void TGIFImage::SetHeight(int Value)
{
    for (int i = 0; i < Images.Count(); ++i) {
        const TGIFSubImage* F = Images.GetFrame(i);
        if (F->Top() + F->Height() > Value)
            GIFError(sBadHeight);
    }
    CheckGIFSize(Width(), Value);
    if (Value != Height()) {
        Header.Descriptor.Height = static_cast<uint16_t>(Value);
        FreeBitmap();
        Changed(this);
    }
}

void TGIFImage::LoadFromStream(TStream& Stream)
{
    Progress(this, psStarting, 0, false, TRect{}, sProgressLoading);
    try {
        Clear();
        const int64_t Start = Stream.Position();
        try {
            Header.LoadFromStream(Stream);
            Images.LoadFromStream(Stream);
            TGIFTrailer Trailer(this);
            Trailer.LoadFromStream(Stream);
            // A file whose frames hold no pixels is no picture.
            bool HasPixels = false;
            for (int i = 0; i < Images.Count() && !HasPixels; ++i)
                HasPixels = !Images.GetFrame(i)->Empty();
            if (!HasPixels)
                GIFError(sNoImageData);
        } catch (...) {
            Stream.SetPosition(Start);
            throw;
        }
    } catch (...) {
        Progress(this, psEnding, 0, true, TRect{}, sProgressLoading);
        throw;
    }
    Progress(this, psEnding, 100, true, TRect{}, sProgressLoading);
}

void TGIFImage::SaveToStream(TStream& Stream)
{
    Progress(this, psStarting, 0, false, TRect{}, sProgressSaving);
    try {
        Header.SaveToStream(Stream);
        Images.SaveToStream(Stream);
        TGIFTrailer Trailer(this);
        Trailer.SaveToStream(Stream);
    } catch (...) {
        Progress(this, psEnding, 0, true, TRect{}, sProgressSaving);
        throw;
    }
    Progress(this, psEnding, 100, true, TRect{}, sProgressSaving);
}

// The frame that stands for the picture: the first one holding pixels.
static TGIFSubImage* PictureFrame(const TGIFImageList& Images)
{
    for (int i = 0; i < Images.Count(); ++i)
        if (!Images.GetFrame(i)->Empty())
            return Images.GetFrame(i);
    return nullptr;
}

TBitmap* TGIFImage::GetBitmap()
{
    if (Empty())
        return nullptr;
    if (Bitmap)
        return Bitmap.get();
    TGIFSubImage* Frame = PictureFrame(Images);
    try {
        if (Frame && Frame->Width() == Width() && Frame->Height() == Height()) {
            Bitmap = std::make_unique<TBitmap>();
            Bitmap->Assign(Frame->GetBitmap());
        } else {
            // The frame drawn at its place on the logical screen.
            NewBitmap();
            if (Frame)
                Frame->Draw(Bitmap->Canvas(), Rect(0, 0, Width(), Height()), false, false);
        }
    } catch (...) {
        Bitmap.reset();
        throw;
    }
    return Bitmap.get();
}

void TGIFImage::TakeBitmap(TBitmap& Dest)
{
    TGIFSubImage* Frame = Empty() || Bitmap ? nullptr : PictureFrame(Images);
    if (Frame && Frame->Width() == Width() && Frame->Height() == Height()) {
        // What GetBitmap would copy from the frame, taken from it instead.
        Dest.TakeFrom(*Frame->GetBitmap());
        Frame->FreeBitmap();
        return;
    }
    if (TBitmap* Rendered = GetBitmap()) {
        Dest.TakeFrom(*Rendered);
        FreeBitmap();
    } else {
        Dest.Assign(nullptr);
    }
}

TBitmap* TGIFImage::NewBitmap()
{
    if (!Bitmap) {
        Bitmap = std::make_unique<TBitmap>();
        Bitmap->SetSize(Width(), Height());
    }
    return Bitmap.get();
}

void TGIFImage::FreeBitmap()
{
    // The painter that draws into the bitmap stops first; it draws nothing more once stopped.
    if (DrawPainter)
        DrawPainter->Stop();
    Bitmap.reset();
}

TGIFPalette TGIFImage::GetPalette()
{
    if (FIsGettingPalette)
        GIFError(sNoColorTable);
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } Guard{FIsGettingPalette = true};
    if (Bitmap && !Bitmap->Palette().empty())
        return Bitmap->Palette();
    if (!Palette.empty())
        return Palette;
    if (ShouldDither()) {
        Palette = Create216ColorPalette();
        return Palette;
    }
    if (Header.ColorMap.Count() > 0) {
        Palette = Header.ColorMap.ExportPalette();
        return Palette;
    }
    if (Images.Count() > 0)
        return Images.GetFrame(0)->GetPalette();
    return {};
}

void TGIFImage::SetPalette(const TGIFPalette& Value)
{
    if (Value == Palette)
        return;
    if (Bitmap && Bitmap->Palette() != Value) {
        FreeBitmap();
        PaletteModified = true;
        Changed(this);
    }
    Palette = Value;
}

int TGIFImage::ImageVersion() const
{
    int Version = gvUnknown;
    for (int i = 0; i < Images.Count() && Version < gv89a; ++i)
        Version = std::max(Version, Images.GetFrame(i)->GetVersion());
    return Version;
}

int TGIFImage::BitsPerPixel() const
{
    int Bits = Header.ColorMap.BitsPerPixel();
    for (int i = 0; i < Images.Count(); ++i)
        Bits = std::max(Bits, Images.GetFrame(i)->BitsPerPixel());
    return Bits;
}

TColor TGIFImage::BackgroundColorOfFile()
{
    return Header.GetBackgroundColor();
}

bool TGIFImage::ShouldDither() const
{
    if (!(DrawOptions & DrawDithered))
        return false;
    if (DrawOptions & DrawDitherPaletteOnly)
        return PaletteDisplay();
    return true;
}

void TGIFImage::AssignTo(TBitmap& Dest) const
{
    Dest.Assign(const_cast<TGIFImage*>(this)->GetBitmap());
}

static bool OnGUIThread()
{
    const QCoreApplication* App = QCoreApplication::instance();
    return App && QThread::currentThread() == App->thread();
}

// The cached rendering put into Rect: stretched, or with DrawTiled in tiles of the image's size,
// column by column.
static void PutBitmap(const TGIFImage& Image, TCanvas& Canvas, const TRect& R)
{
    const TBitmap& B = *Image.Bitmap;
    const int W = Image.Width(), H = Image.Height();
    if (!(Image.DrawOptions & DrawTiled) || W <= 0 || H <= 0) {
        Canvas.StretchDraw(R, B);
        return;
    }
    for (int X = R.Left; X < R.Right; X += W)
        for (int Y = R.Top; Y < R.Bottom; Y += H)
            Canvas.StretchDraw(Rect(X, Y, X + W, Y + H), B);
}

void TGIFImage::Draw(TCanvas& Canvas, const TRect& R) const
{
    auto* Self = const_cast<TGIFImage*>(this);
    if (Self->FIsDrawing || Empty())
        return;
    Self->FIsDrawing = true;
    struct TGuard {
        bool& Flag;
        ~TGuard() { Flag = false; }
    } Guard{Self->FIsDrawing};
    // Painters live on the GUI thread; elsewhere an animation shows its first frame.
    if (Images.Count() < 2 || !(DrawOptions & DrawAnimated) || !OnGUIThread()) {
        if (TGIFSubImage* Frame = PictureFrame(Images))
            Frame->Draw(Canvas, R, (DrawOptions & DrawTransparent) != 0, (DrawOptions & DrawTiled) != 0);
        return;
    }
    const bool Buffered = !(DrawOptions & DrawUnbuffered);
    if (Buffered && Bitmap) {
        PutBitmap(*this, Canvas, R);
        return;
    }
    if (DrawPainter) {
        if (DrawPainter->Canvas == &Canvas && DrawPainter->Rect == R)
            return; // already playing there
        Self->StopDrawPainter();
    }
    TCanvas* Target = &Canvas;
    TRect TargetRect = R;
    if (Buffered) {
        // The painter paints over what was on the canvas.
        Self->NewBitmap();
        TargetRect = Rect(0, 0, Width(), Height());
        Bitmap->Canvas().CopyRect(TargetRect, Canvas, R);
        Target = &Bitmap->Canvas();
    }
    if (TGIFPainter* P = Self->Paint(*Target, TargetRect, DrawOptions, &Self->DrawPainter)) {
        P->Start();
        // The first frame is drawn at once (its step is run here) so that it is shown now.
        if (Buffered)
            P->ServeUntilStarted(1000);
    }
    if (Buffered && Bitmap)
        PutBitmap(*this, Canvas, R);
}

TGIFPainter* TGIFImage::Paint(TCanvas& Canvas, const TRect& R, uint16_t Options, TGIFPainter** PainterRef)
{
    if (Empty() || R.Left >= R.Right || R.Top >= R.Bottom) {
        if (PainterRef)
            *PainterRef = nullptr;
        return nullptr;
    }
    if (!OnGUIThread())
        GIFError("Animations are played on the GUI thread only");
    if (Images.Count() == 1)
        Options &= static_cast<uint16_t>(~(DrawInThread | DrawAnimated));
    auto* P = new TGIFPainter(this, &Canvas, R, Options, PainterRef);
    Painters.push_back(P);
    P->OnPaintStart = OnPaintStart;
    P->OnFramePaint = OnFramePaint;
    P->OnFramePainted = OnFramePainted;
    P->OnPaintLoop = OnPaintLoop;
    P->OnPaintEnd = OnPaintEnd;
    if (Options & DrawInThread) {
        P->Priority = ThreadPriority;
        return P;
    }
    // Plays on timers of this thread from now on; the painter may have ended already.
    P->RunUnthreaded();
    return nullptr;
}

void TGIFImage::EndPainters(const std::vector<TGIFPainter*>& List)
{
    const auto Listed = [this](TGIFPainter* P) {
        return std::find(Painters.begin(), Painters.end(), P) != Painters.end();
    };
    // Stopped threads wake at once; none is waited for longer than 100 ms in all.
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
    for (TGIFPainter* P : List)
        if (Listed(P)) {
            const auto Left = std::chrono::duration_cast<std::chrono::milliseconds>(
                Deadline - std::chrono::steady_clock::now());
            P->WaitFor(static_cast<int>(std::max<int64_t>(0, Left.count())));
        }
    for (TGIFPainter* P : List)
        if (Listed(P)) {
            P->LeaveImage();
            P->Release();
        }
}

void TGIFImage::StopDraw()
{
    if (!Painters.empty()) {
        const std::vector<TGIFPainter*> List(Painters.rbegin(), Painters.rend());
        for (TGIFPainter* P : List)
            P->Stop();
        EndPainters(List);
    }
    FreeBitmap();
}

void TGIFImage::StopDrawPainter()
{
    if (TGIFPainter* P = DrawPainter) {
        P->Stop();
        EndPainters({P});
    }
    FreeBitmap();
}

void TGIFImage::KillPainters()
{
    std::vector<TGIFPainter*> List;
    for (auto It = Painters.rbegin(); It != Painters.rend(); ++It)
        if ((*It)->Threaded())
            List.push_back(*It);
    for (TGIFPainter* P : List) {
        P->Stop();
        P->WaitFor(0);
        P->LeaveImage();
        P->Release();
    }
}

void TGIFImage::Assign(const TGraphic* Source)
{
    if (Source == this)
        return;
    if (!Source) {
        Clear();
        return;
    }
    const auto* GIF = dynamic_cast<const TGIFImage*>(Source);
    if (!GIF) {
        Clear();
        auto Frame = std::make_unique<TGIFSubImage>(this);
        Frame->Assign(Source);
        Add(Frame.release());
        return;
    }
    Clear();
    // The source's progress and warning events serve for the copy; ours come back afterwards.
    auto SavedProgress = std::move(OnProgress);
    auto SavedWarning = std::move(OnWarning);
    OnProgress = GIF->OnProgress;
    OnWarning = GIF->OnWarning;
    struct TRestore {
        TGIFImage& Self;
        decltype(SavedProgress)& P;
        decltype(SavedWarning)& W;
        ~TRestore()
        {
            Self.OnProgress = std::move(P);
            Self.OnWarning = std::move(W);
        }
    } Restore{*this, SavedProgress, SavedWarning};

    Progress(this, psStarting, 0, false, TRect{}, sProgressCopying);
    try {
        Header.Assign(GIF->Header);
        BackgroundColor = GIF->BackgroundColor;
        DrawOptions = GIF->DrawOptions;
        ReductionMethod = GIF->ReductionMethod;
        DitherMode = GIF->DitherMode;
        const int N = GIF->Images.Count();
        for (int i = 0; i < N; ++i) {
            auto Frame = std::make_unique<TGIFSubImage>(this);
            Frame->Assign(GIF->Images.GetFrame(i));
            Add(Frame.release());
            Progress(this, psRunning, MulDiv(i + 1, 100, N), false, TRect{}, sProgressCopying);
        }
    } catch (...) {
        Progress(this, psEnding, 0, false, TRect{}, sProgressCopying);
        throw;
    }
    Progress(this, psEnding, 100, false, TRect{}, sProgressCopying);
}

int TGIFImage::Add(TGIFSubImage* Frame)
{
    const int Index = Images.Add(Frame);
    FreeBitmap();
    Changed(this);
    return Index;
}

int TGIFImage::Add(const TGraphic* Source)
{
    if (!Source)
        GIFError(sUnsupportedClass);
    auto Frame = std::make_unique<TGIFSubImage>(this);
    Frame->Assign(Source);
    return Add(Frame.release());
}

void TGIFImage::LoadFromClipboardFormat(const QMimeData& Data)
{
    if (Data.hasFormat(GIFClipboardFormat)) {
        const QByteArray Bytes = Data.data(GIFClipboardFormat);
        TBytesStream Stream(Bytes.constData(), Bytes.size());
        LoadFromStream(Stream);
    } else if (Data.hasImage()) {
        TBitmap Picture;
        Picture.AssignQImage(qvariant_cast<QImage>(Data.imageData()));
        Assign(&Picture);
    } else {
        GIFError(sUnsupportedClipboardFormat);
    }
}

void TGIFImage::SaveToClipboardFormat(QMimeData& Data)
{
    if (Empty())
        return;
    TBitmap* Picture = GetBitmap();
    if (Picture)
        Data.setImageData(Picture->AsQImage().copy());
    TMemoryStream Stream;
    SaveToStream(Stream);
    Data.setData(GIFClipboardFormat,
                 QByteArray(reinterpret_cast<const char*>(Stream.Memory()), static_cast<qsizetype>(Stream.Size())));
}

void TGIFImage::Warning(const void* Sender, TGIFSeverity Severity, const std::string& Message)
{
    if (OnWarning)
        OnWarning(Sender, Severity, Message);
}

void TGIFImage::Progress(const void* Sender, TProgressStage Stage, int PercentDone, bool RedrawNow, const TRect& R,
                         const std::string& Message)
{
    if (OnProgress)
        OnProgress(Sender, Stage, PercentDone, RedrawNow, R, Message);
}

void TGIFImage::Changed(const void* Sender)
{
    if (OnChange)
        OnChange(Sender);
}
