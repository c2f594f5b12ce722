#pragma once
// The GIF graphic: a whole GIF file in memory (header and frames), read and written as a stream,
// rendered to a bitmap, and registered as the picture format "GIF".
#include "gif/GIFFrames.h"
#include "gif/GIFTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QMimeData;
class TGIFPainter;

// Priorities given to painters that draw in a thread.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
// The painter events; the painter is the Sender.
using TGIFPainterEvent = std::function<void(TGIFPainter* Sender)>;

enum TProgressStage { psStarting, psRunning, psEnding };

// Drawing options (TGIFImage::DrawOptions).
enum : uint16_t {
    DrawInThread = 0x0001,
    DrawTransparent = 0x0002,
    DrawAnimated = 0x0004,
    DrawRepeat = 0x0008,
    DrawRepeatEndless = 0x0010,
    DrawCheckCanvas = 0x0020,
    DrawUnbuffered = 0x0040,
    DrawClearFirst = 0x0080,
    DrawTiled = 0x0100,
    DrawDithered = 0x0200,
    DrawDitherPaletteOnly = 0x0400,
};
constexpr uint16_t GIFImageDefaultDrawOptions = 0x060F;

// Encoders used when frames are written.
enum : uint8_t { CompressLZW = 0, CompressRLE = 1 };

// The frames of an image.
class TGIFImageList : public TGIFList {
public:
    using TGIFList::TGIFList;
    TGIFSubImage* GetFrame(int Index) const { return static_cast<TGIFSubImage*>(GetItem(Index)); }
    // The block loop after the header: frames until the trailer, the end of the stream or an
    // unknown block.
    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream) override;
};

class TGIFImage : public TGraphic {
public:
    TGIFImage();
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    // ---- TGraphic ----
    int Width() const override { return Header.Descriptor.Width; }
    int Height() const override { return Header.Descriptor.Height; }
    bool Empty() const override { return Images.Count() == 0; }
    void SetWidth(int Value);
    void SetHeight(int Value);
    void LoadFromStream(TStream& Stream) override;
    void SaveToStream(TStream& Stream) override;
    void AssignTo(TBitmap& Dest) const override;
    // Draws the first frame into Rect (transparent and tiled as DrawOptions say); an animated image
    // is played there by a painter (GUI thread only; elsewhere the first frame is drawn).
    void Draw(TCanvas& Canvas, const TRect& Rect) const override;
    const char* ClassName() const override { return "TGIFImage"; }
    bool Equals(const TGraphic* Graphic) const { return Graphic == this; }

    // nullptr clears; a TGIFImage is copied; any other graphic becomes the one frame.
    void Assign(const TGraphic* Source);
    void Clear();
    // A frame is taken as it is; a graphic is converted into a new frame. Returns the frame's index.
    int Add(TGIFSubImage* Frame);
    int Add(const TGraphic* Source);

    // The cached rendering of the first frame on the logical screen; nullptr when empty.
    TBitmap* GetBitmap();
    TBitmap* NewBitmap();
    void FreeBitmap();
    // Hands GetBitmap's rendering over to Dest (TBitmap::TakeFrom: pixels, format, palette and
    // transparency), without a copy where the frame's own rendering is the picture; neither the
    // image nor that frame keeps a rendering afterwards. An empty image empties Dest.
    void TakeBitmap(TBitmap& Dest);

    // ---- Painters (GUI thread) ----
    // Creates a painter playing the image on Canvas in Rect; returns it, not yet started, when it
    // draws in a thread (Options has DrawInThread), else nullptr (it then plays on timers of this
    // thread at once). An empty image or rectangle gives nullptr and clears *PainterRef. PainterRef
    // (may be null) names the painter until it leaves and must outlive it.
    TGIFPainter* Paint(TCanvas& Canvas, const TRect& Rect, uint16_t Options, TGIFPainter** PainterRef);
    // Stops every painter, waits for the threaded ones (at most 100 ms; none is ended by force) and
    // drops the cached rendering.
    void StopDraw();
    // Stops the painter started by Draw, waits for it and drops the cached rendering.
    void StopDrawPainter();
    // Detaches the threaded painters still listed; their threads end by themselves.
    void KillPainters();

    TGIFPalette GetPalette();
    void SetPalette(const TGIFPalette& Value);

    int ImageVersion() const;
    int ColorResolution() const { return BitsPerPixel() - 1; }
    // The largest colour-table size in bits among the global and local maps.
    int BitsPerPixel() const;
    TColor BackgroundColorOfFile();
    TGIFGlobalColorMap& GlobalColorMap() { return Header.ColorMap; }
    bool ShouldDither() const;

    // ---- Clipboard ----
    // GIF data under GIFClipboardFormat, else ordinary image data; "Unsupported clipboard format".
    void LoadFromClipboardFormat(const QMimeData& Data);
    // The rendering as ordinary image data and the whole GIF under GIFClipboardFormat.
    void SaveToClipboardFormat(QMimeData& Data);

    // ---- Events ----
    virtual void Warning(const void* Sender, TGIFSeverity Severity, const std::string& Message);
    void Progress(const void* Sender, TProgressStage Stage, int PercentDone, bool RedrawNow, const TRect& R,
                  const std::string& Message);
    void Changed(const void* Sender);

    std::function<void(const void* Sender, TGIFSeverity Severity, const std::string& Message)> OnWarning;
    std::function<void(const void* Sender, TProgressStage Stage, int PercentDone, bool RedrawNow,
                       const TRect& R, const std::string& Message)>
        OnProgress;
    std::function<void(const void* Sender)> OnChange;

    // ---- Fields ----
    TGIFImageList Images{this};
    TGIFHeader Header{this};
    TGIFPalette Palette;
    bool PaletteModified = false;
    uint16_t DrawOptions = GIFImageDefaultDrawOptions;
    uint8_t ReductionMethod = 6; // ReduceColorCube
    int32_t ReductionBits = 8;
    uint8_t DitherMode = 0;      // DitherNone
    uint8_t Compression = CompressLZW;
    int32_t AnimationSpeed = 100;
    TColor BackgroundColor = clNone;
    std::unique_ptr<TBitmap> Bitmap;
    // Every live painter of the image (GUI thread only).
    std::vector<TGIFPainter*> Painters;
    // The painter started by Draw; cleared by the painter when it leaves.
    TGIFPainter* DrawPainter = nullptr;
    TThreadPriority ThreadPriority = tpNormal;
    // Copied into every painter that Paint makes.
    TGIFPainterEvent OnPaintStart, OnFramePaint, OnFramePainted, OnPaintLoop, OnPaintEnd;

private:
    // Ends the painters in List (stopped already): waits for the threaded ones, then they leave.
    void EndPainters(const std::vector<TGIFPainter*>& List);

    bool FIsDrawing = false;
    bool FIsGettingPalette = false;
};

// The clipboard format of whole GIF files and its description.
extern const char* const GIFClipboardFormat;
// True when the screen shows at most 8 bits per pixel.
bool PaletteDisplay();
// Registers TGIFImage as the file format "GIF" ("GIF Image"); done once at start-up, safe to repeat.
void RegisterGIFFormat();
