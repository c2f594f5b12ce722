// Frames and ordinary pictures: assignment from bitmaps of every format with their transparency,
// the colour cache, rendering with its mask, and drawing stretched or tiled.
#include "gif/GIFColorReduction.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFFrameConvert.h"
#include "gif/GIFFrames.h"
#include "gif/GIFImage.h"
#include "gif/gifstrings.h"
#include "ReductionTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

using namespace reduce_test;

namespace {

const TGIFPalette kFour = {Q(255, 0, 0), Q(0, 255, 0), Q(0, 0, 255), Q(255, 255, 0)};

int BitsOf(TPixelFormat F) { return F == pf1bit ? 1 : F == pf4bit ? 4 : 8; }

void PutIndex(uint8_t* Row, int X, int Bpp, int V)
{
    if (Bpp == 8)
        Row[X] = uint8_t(V);
    else if (Bpp == 4)
        Row[X / 2] = uint8_t(X % 2 ? (Row[X / 2] & 0xF0) | V : (Row[X / 2] & 0x0F) | (V << 4));
    else
        Row[X / 8] = uint8_t(V ? Row[X / 8] | (0x80 >> (X % 8)) : Row[X / 8] & ~(0x80 >> (X % 8)));
}

// An indexed bitmap with the given colour table and pixel indices.
std::unique_ptr<TBitmap> Indexed(TPixelFormat F, int W, int H, const TGIFPalette& Pal,
                                 const std::function<int(int, int)>& Index)
{
    auto B = std::make_unique<TBitmap>();
    B->SetPixelFormat(F);
    B->SetSize(W, H);
    B->Palette() = Pal;
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            PutIndex(B->ScanLine(Y), X, BitsOf(F), Index(X, Y));
    return B;
}

// A frame of Image assigned from Source.
TGIFSubImage* FrameOf(TGIFImage& Image, const TGraphic& Source)
{
    Image.Add(&Source);
    return Image.Images.GetFrame(Image.Images.Count() - 1);
}

TColor FrameColor(TGIFSubImage& F, int X, int Y)
{
    return GIFColorToColor(F.ActiveColorMap().Colors()[F.GetPixel(X, Y)]);
}

TColor ColorOf(const TRGBTriple& T) { return RGB(T.rgbtRed, T.rgbtGreen, T.rgbtBlue); }

struct TProgressEvent {
    TProgressStage Stage;
    int Percent;
    std::string Message;
};

std::shared_ptr<std::vector<TProgressEvent>> Record(TGIFImage& Image)
{
    auto Log = std::make_shared<std::vector<TProgressEvent>>();
    Image.OnProgress = [Log](const void*, TProgressStage S, int P, bool, const TRect&, const std::string& M) {
        Log->push_back({S, P, M});
    };
    return Log;
}

bool MaskBit(const TBitmap& Mask, int X, int Y) { return (Mask.ScanLine(Y)[X / 8] >> (7 - X % 8)) & 1; }

} // namespace

// ---- Colour cache --------------------------------------------------------------------------------

TEST(ColorCache, GivesEachColourOneIndexInFirstSeenOrder)
{
    TGIFImage Image;
    TGIFSubImage Frame(&Image);
    TGIFColorCache Cache(Frame.ColorMap);
    // Ten colours, then repeats both inside the ring of eight and beyond it.
    std::vector<TColor> Sequence;
    for (int i = 0; i < 10; ++i)
        Sequence.push_back(RGB(uint8_t(i * 20), 7, 9));
    for (int i : {9, 8, 2, 0, 5, 9, 9, 1, 3})
        Sequence.push_back(RGB(uint8_t(i * 20), 7, 9));
    for (TColor C : Sequence)
        EXPECT_EQ(Cache.IndexOf(C), GetRValue(C) / 20);
    ASSERT_EQ(Frame.ColorMap.Count(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(GIFColorToColor(Frame.ColorMap.Colors()[i]), RGB(uint8_t(i * 20), 7, 9));
}

TEST(ColorCache, A257thColourOverflowsTheTable)
{
    TGIFImage Image;
    TGIFSubImage Frame(&Image);
    TGIFColorCache Cache(Frame.ColorMap);
    for (int i = 0; i < 256; ++i)
        Cache.IndexOf(RGB(uint8_t(i), uint8_t(i / 2), 0));
    for (int i = 255; i >= 0; i -= 17)
        EXPECT_EQ(Cache.IndexOf(RGB(uint8_t(i), uint8_t(i / 2), 0)), i);
    try {
        Cache.IndexOf(RGB(1, 2, 3));
        FAIL() << "no overflow";
    } catch (const GIFException& E) {
        EXPECT_EQ(E.Message, gifstrings::sTooManyColors);
    }
    EXPECT_EQ(Frame.ColorMap.Count(), 256);
}

// ---- Assign from bitmaps ---------------------------------------------------------------------------

TEST(FrameAssign, IndexedBitmapsKeepTheirIndicesAndColourTable)
{
    for (TPixelFormat F : {pf1bit, pf4bit, pf8bit}) {
        SCOPED_TRACE(testing::Message() << "format " << F);
        const TGIFPalette Pal = F == pf1bit ? TGIFPalette{Q(10, 20, 30), Q(200, 100, 50)} : kFour;
        const int Colours = int(Pal.size());
        auto B = Indexed(F, 21, 6, Pal, [&](int X, int Y) { return (X * 3 + Y) % Colours; });
        TGIFImage Image;
        TGIFSubImage* Frame = FrameOf(Image, *B);
        ASSERT_EQ(Frame->Width(), 21);
        ASSERT_EQ(Frame->Height(), 6);
        ASSERT_EQ(Frame->ColorMap.Count(), Colours);
        for (int i = 0; i < Colours; ++i)
            EXPECT_EQ(GIFColorToColor(Frame->ColorMap.Colors()[i]),
                      RGB(Pal[i].rgbRed, Pal[i].rgbGreen, Pal[i].rgbBlue));
        for (int Y = 0; Y < 6; ++Y)
            for (int X = 0; X < 21; ++X)
                ASSERT_EQ(Frame->GetPixel(X, Y), (X * 3 + Y) % Colours) << X << "," << Y;
        EXPECT_FALSE(Frame->Transparent);
        EXPECT_EQ(Frame->Extensions.Count(), 0);
        EXPECT_EQ(B->PixelFormat(), F) << "the source is left as it was";
    }
}

TEST(FrameAssign, TrueColourBitmapsAreReducedWithTheImageSettings)
{
    // 300 colours under the image's defaults: reduced to the colour cube first.
    auto B = Picture(30, 10, [](int X, int Y) { return TRGBTriple{uint8_t(X * 8), uint8_t(Y * 25), uint8_t(X + Y)}; });
    for (TPixelFormat F : {pf24bit, pf32bit}) {
        TBitmap Src;
        Src.Assign(B.get());
        Src.SetPixelFormat(F);
        TGIFImage Image;
        TGIFSubImage* Frame = FrameOf(Image, Src);
        EXPECT_EQ(Frame->ColorMap.Count(), 216);
        const std::vector<uint8_t> Want = RefDither(*B, DitherNone, RefCube());
        EXPECT_EQ(Frame->Data, Want) << "format " << F;
        EXPECT_EQ(Src.PixelFormat(), F);
    }
    // With the image's dithering the frame holds the dithered indices.
    TGIFImage Image;
    Image.DitherMode = DitherBurkes;
    EXPECT_EQ(FrameOf(Image, *B)->Data, RefDither(*B, DitherBurkes, RefCube()));
}

TEST(FrameAssign, UnreducedTrueColourTakesItsColoursThroughTheCache)
{
    auto B = RandomPicture(23, 11, 6, 6); // at most 216 colours
    TGIFImage Image;
    Image.ReductionMethod = ReduceNone;
    TGIFSubImage* Frame = FrameOf(Image, *B);
    EXPECT_LE(Frame->ColorMap.Count(), 216);
    for (int Y = 0; Y < 11; ++Y)
        for (int X = 0; X < 23; ++X)
            ASSERT_EQ(FrameColor(*Frame, X, Y), ColorOf(B->Row24(Y)[X]));

    // 257 colours do not fit; the last progress step reports 0.
    auto Many = Picture(257, 1, [](int X, int) { return TRGBTriple{uint8_t(X), uint8_t(X / 256), 0}; });
    auto Log = Record(Image);
    TGIFSubImage Other(&Image);
    try {
        Other.Assign(Many.get());
        FAIL() << "257 colours fitted";
    } catch (const GIFException& E) {
        EXPECT_EQ(E.Message, gifstrings::sTooManyColors);
    }
    ASSERT_FALSE(Log->empty());
    EXPECT_EQ(Log->front().Stage, psStarting);
    EXPECT_EQ(Log->back().Stage, psEnding);
    EXPECT_EQ(Log->back().Percent, 0);
    EXPECT_EQ(Log->back().Message, gifstrings::sProgressConverting);
}

TEST(FrameAssign, ConversionReportsProgressEvery32Rows)
{
    auto B = Indexed(pf8bit, 3, 70, kFour, [](int X, int) { return X; });
    TGIFImage Image;
    auto Log = Record(Image);
    TGIFSubImage Frame(&Image);
    Frame.Assign(B.get());
    std::vector<std::tuple<TProgressStage, int>> Got;
    for (const TProgressEvent& E : *Log) {
        Got.emplace_back(E.Stage, E.Percent);
        EXPECT_EQ(E.Message, gifstrings::sProgressConverting);
    }
    const std::vector<std::tuple<TProgressStage, int>> Want = {
        {psStarting, 0}, {psRunning, 0}, {psRunning, 46}, {psRunning, 91}, {psEnding, 100}};
    EXPECT_EQ(Got, Want);
}

TEST(FrameAssign, TransparentBitmapsGetATransparentIndex)
{
    struct Case {
        const char* Name;
        TPixelFormat Format;
        TColor Transparent;
        bool Expected;
    };
    const Case Cases[] = {
        {"pf8, blue marked", pf8bit, RGB(0, 0, 255), true},
        {"pf4, red marked", pf4bit, RGB(255, 0, 0), true},
        {"pf24 unreduced, yellow marked", pf24bit, RGB(255, 255, 0), true},
        {"pf8, absent colour", pf8bit, RGB(1, 2, 3), false},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        auto Src = Indexed(pf8bit, 9, 5, kFour, [](int X, int Y) { return (X + Y) % 4; });
        Src->SetPixelFormat(C.Format);
        Src->SetTransparent(true);
        Src->SetTransparentColor(C.Transparent);
        TGIFImage Image;
        Image.ReductionMethod = ReduceNone;
        TGIFSubImage* Frame = FrameOf(Image, *Src);
        ASSERT_EQ(Frame->Transparent, C.Expected);
        if (!C.Expected) {
            EXPECT_EQ(Frame->Extensions.Count(), 0);
            EXPECT_EQ(Frame->ColorMap.Count(), 4) << "the black entry made for the mask is taken back";
            continue;
        }
        ASSERT_NE(Frame->GraphicControlExtension, nullptr);
        const int T = Frame->GraphicControlExtension->TransparentColorIndex();
        EXPECT_EQ(Frame->ColorMap.Count(), 5);
        EXPECT_EQ(GIFColorToColor(Frame->ColorMap.Colors()[T]), clBlack);
        for (int Y = 0; Y < 5; ++Y)
            for (int X = 0; X < 9; ++X) {
                const TColor Was = ColorToRGB(Src->GetPixel(X, Y));
                if (Was == C.Transparent)
                    EXPECT_EQ(Frame->GetPixel(X, Y), T);
                else
                    EXPECT_EQ(FrameColor(*Frame, X, Y), Was);
            }
    }
}

TEST(FrameAssign, AFullColourTableLeavesNoRoomForTransparency)
{
    TGIFPalette Pal;
    for (int i = 0; i < 256; ++i)
        Pal.push_back(Q(i, 255 - i, i / 2));
    auto Src = Indexed(pf8bit, 16, 16, Pal, [](int X, int Y) { return Y * 16 + X; });
    Src->SetTransparent(true);
    Src->SetTransparentColor(RGB(0, 255, 0));
    TGIFImage Image;
    TGIFSubImage* Frame = FrameOf(Image, *Src);
    EXPECT_FALSE(Frame->Transparent);
    EXPECT_EQ(Frame->ColorMap.Count(), 256);
}

namespace {

// A graphic that cannot be assigned to a bitmap, only drawn.
class TDrawOnlyGraphic : public TGraphic {
public:
    int Width() const override { return 6; }
    int Height() const override { return 4; }
    void LoadFromStream(TStream&) override {}
    void SaveToStream(TStream&) override {}
    const char* ClassName() const override { return "TDrawOnlyGraphic"; }
    void AssignTo(TBitmap&) const override { throw EConvertError("Cannot assign"); }
    void Draw(TCanvas& Canvas, const TRect& R) const override
    {
        Canvas.Brush.Color = clRed;
        Canvas.FillRect(R);
    }
};

} // namespace

TEST(FrameAssign, OtherGraphicsAndFrames)
{
    TGIFImage Image;
    TDrawOnlyGraphic Drawn;
    TGIFSubImage* Frame = FrameOf(Image, Drawn);
    ASSERT_EQ(Frame->Width(), 6);
    EXPECT_EQ(Frame->Data, std::vector<uint8_t>(24, 180)) << "red in the colour cube";

    // A frame copies another frame with its own graphic control extension.
    auto Src = Indexed(pf8bit, 5, 3, kFour, [](int X, int) { return X % 4; });
    Src->SetTransparent(true);
    Src->SetTransparentColor(RGB(0, 255, 0));
    TGIFSubImage* First = FrameOf(Image, *Src);
    First->GetBitmap();
    TGIFSubImage Copy(&Image);
    Copy.Assign(First);
    EXPECT_EQ(Copy.Data, First->Data);
    EXPECT_EQ(Copy.ColorMap.Count(), First->ColorMap.Count());
    EXPECT_TRUE(Copy.Transparent);
    ASSERT_NE(Copy.GraphicControlExtension, nullptr);
    EXPECT_NE(Copy.GraphicControlExtension, First->GraphicControlExtension);
    EXPECT_EQ(Copy.GraphicControlExtension->TransparentColorIndex(),
              First->GraphicControlExtension->TransparentColorIndex());
    ASSERT_TRUE(Copy.HasBitmap());
    EXPECT_EQ(Indices(*Copy.Bitmap), Indices(*First->Bitmap));

    Copy.Assign(&Copy);
    EXPECT_EQ(Copy.Data, First->Data) << "assigning a frame to itself changes nothing";
    Copy.Assign(static_cast<const TGIFSubImage*>(nullptr));
    EXPECT_TRUE(Copy.Empty());
}

// ---- Rendering -------------------------------------------------------------------------------------

TEST(FrameRender, DirectRenderingCopiesIndicesAndBuildsTheMask)
{
    // 37 pixels wide: the mask's rows end inside a byte and are padded.
    auto Src = Indexed(pf8bit, 37, 5, kFour, [](int X, int Y) { return (X * X + Y) % 4; });
    Src->SetTransparent(true);
    Src->SetTransparentColor(RGB(0, 0, 255));
    TGIFImage Image;
    TGIFSubImage* Frame = FrameOf(Image, *Src);
    ASSERT_TRUE(Frame->Transparent);
    const int T = Frame->GraphicControlExtension->TransparentColorIndex();
    Frame->FreeBitmap();
    auto Log = Record(Image);
    TBitmap* B = Frame->GetBitmap();
    ASSERT_NE(B, nullptr);
    EXPECT_EQ(Log->front().Message, gifstrings::sProgressRendering);
    EXPECT_EQ(Log->back().Stage, psEnding);
    EXPECT_EQ(Log->back().Percent, 100);
    EXPECT_EQ(B->PixelFormat(), pf8bit);
    EXPECT_EQ(Indices(*B), Frame->Data);
    ASSERT_EQ(int(B->Palette().size()), Frame->ColorMap.Count());

    ASSERT_NE(Frame->Mask, nullptr);
    const TBitmap& M = *Frame->Mask;
    EXPECT_EQ(M.PixelFormat(), pf1bit);
    ASSERT_EQ(M.Width(), 37);
    ASSERT_EQ(M.Height(), 5);
    for (int Y = 0; Y < 5; ++Y) {
        for (int X = 0; X < 37; ++X)
            EXPECT_EQ(MaskBit(M, X, Y), Frame->GetPixel(X, Y) == T) << X << "," << Y;
        for (int X = 37; X < M.RowBytes() * 8; ++X)
            EXPECT_FALSE(MaskBit(M, X, Y)) << "padding " << X;
    }
    EXPECT_TRUE(Frame->HasMask());
    EXPECT_EQ(Frame->GetBitmap(), B) << "the rendering is cached";
}

TEST(FrameRender, NoMaskWithoutTransparentPixelsAndNothingForAnEmptyFrame)
{
    auto Src = Indexed(pf8bit, 4, 4, kFour, [](int, int) { return 1; });
    TGIFImage Image;
    TGIFSubImage* Frame = FrameOf(Image, *Src);
    Frame->FreeBitmap();
    ASSERT_NE(Frame->GetBitmap(), nullptr);
    EXPECT_EQ(Frame->Mask, nullptr);
    EXPECT_FALSE(Frame->HasMask());

    auto Log = Record(Image);
    TGIFSubImage Empty(&Image);
    EXPECT_EQ(Empty.GetBitmap(), nullptr);
    EXPECT_TRUE(Log->empty());
    TBitmap Dest(3, 3);
    Empty.AssignTo(Dest);
    EXPECT_TRUE(Dest.Empty());
}

TEST(FrameRender, DitheredRenderingUsesTheCubeAndSkipsTransparentPixels)
{
    const TGIFPalette Pal = {Q(200, 100, 50), Q(10, 250, 90), Q(130, 130, 131), Q(77, 0, 240)};
    auto Src = Indexed(pf8bit, 19, 7, Pal, [](int X, int Y) { return (X * 7 + Y * 3) % 4; });
    Src->SetTransparent(true);
    Src->SetTransparentColor(RGB(130, 130, 131));
    TGIFImage Image;
    TGIFSubImage* Frame = FrameOf(Image, *Src);
    ASSERT_TRUE(Frame->Transparent);
    const int T = Frame->GraphicControlExtension->TransparentColorIndex();
    // The transparent entry is black: its fill index is cube index 0 + 1.
    const uint8_t Fill = 1;

    Image.DrawOptions = DrawDithered;
    Frame->FreeBitmap();
    Frame->FreeMask();
    Frame->Palette.clear();
    TBitmap* B = Frame->GetBitmap();
    ASSERT_NE(B, nullptr);
    EXPECT_EQ(B->Palette().size(), 216u);

    // The literal ditherer over the frame's colours, the transparent index marked by a colour of
    // its own and skipped.
    const TRGBTriple Marker{1, 2, 3};
    auto Colours = Picture(19, 7, [&](int X, int Y) {
        const uint8_t P = Frame->GetPixel(X, Y);
        const TGIFColor C = Frame->ColorMap.Colors()[P];
        return P == T ? Marker : TRGBTriple{C.Blue, C.Green, C.Red};
    });
    const std::vector<uint8_t> Want =
        RefDither(*Colours, DitherFloydSteinberg, RefCube(), [&](const TRGBTriple& P) { return P == Marker; }, Fill);
    EXPECT_EQ(Indices(*B), Want);
    ASSERT_NE(Frame->Mask, nullptr);
    for (int Y = 0; Y < 7; ++Y)
        for (int X = 0; X < 19; ++X)
            EXPECT_EQ(MaskBit(*Frame->Mask, X, Y), Frame->GetPixel(X, Y) == T);
}

// ---- Drawing ---------------------------------------------------------------------------------------

namespace {

// An image of 100 x 50 with one 20 x 10 frame at (10, 5) whose blue pixels are transparent.
struct TDrawFixture {
    TGIFImage Image;
    TGIFSubImage* Frame = nullptr;
    std::unique_ptr<TBitmap> Src;
    TDrawFixture()
    {
        Src = Indexed(pf8bit, 20, 10, kFour, [](int X, int Y) { return (X / 2 + Y) % 4; });
        Src->SetTransparent(true);
        Src->SetTransparentColor(RGB(0, 0, 255));
        Frame = FrameOf(Image, *Src);
        Frame->SetBounds(10, 5, 20, 10);
        Image.SetWidth(100);
        Image.SetHeight(50);
    }
    // The frame's colour at (X, Y), or -1 where the frame is transparent and Transparent is asked.
    TColor Expected(int X, int Y, bool Transparent) const
    {
        const uint8_t P = Frame->GetPixel(X, Y);
        if (Transparent && P == Frame->GraphicControlExtension->TransparentColorIndex())
            return -1;
        return FrameColor(*Frame, X, Y);
    }
};

std::unique_ptr<TBitmap> Canvas(int W, int H)
{
    auto B = std::make_unique<TBitmap>(W, H, pf24bit);
    B->Canvas().Brush.Color = RGB(9, 9, 9);
    B->Canvas().FillRect(Rect(0, 0, W, H));
    return B;
}

} // namespace

TEST(FrameDraw, ScaleRectMapsTheFrameIntoTheRectangle)
{
    TDrawFixture F;
    struct Case {
        TRect In, Want;
    };
    const Case Cases[] = {{Rect(0, 0, 100, 50), Rect(10, 5, 30, 15)},
                          {Rect(0, 0, 200, 100), Rect(20, 10, 60, 30)},
                          {Rect(7, 3, 57, 28), Rect(12, 6, 22, 11)},
                          {Rect(0, 0, 0, 0), Rect(0, 0, 0, 0)}};
    for (const Case& C : Cases)
        EXPECT_EQ(F.Frame->ScaleRect(C.In), C.Want) << C.In.Right << "x" << C.In.Bottom;
}

TEST(FrameDraw, StretchedTiledAndThroughTheMask)
{
    // Where each destination pixel takes its frame pixel from: false for the background.
    using TMap = std::function<bool(int X, int Y, int& FX, int& FY)>;
    struct Case {
        const char* Name;
        int W, H;
        std::function<void(TDrawFixture&, TCanvas&, bool DoTransparent)> Draw;
        TMap Map;
    };
    const Case Cases[] = {
        {"stretched to twice the screen", 200, 100,
         [](TDrawFixture& F, TCanvas& C, bool T) { F.Frame->Draw(C, Rect(0, 0, 200, 100), T, false); },
         [](int X, int Y, int& FX, int& FY) {
             FX = (X - 20) / 2;
             FY = (Y - 10) / 2;
             return X >= 20 && X < 60 && Y >= 10 && Y < 30;
         }},
        {"tiled at x 10, 110, 210 and y 5, 55, 105", 250, 120,
         [](TDrawFixture& F, TCanvas& C, bool T) { F.Frame->Draw(C, Rect(0, 0, 250, 120), T, true); },
         [](int X, int Y, int& FX, int& FY) {
             FX = (X - 10) % 100;
             FY = (Y - 5) % 50;
             return X >= 10 && Y >= 5 && FX < 20 && FY < 10;
         }},
        {"blit partly outside the destination", 15, 8,
         [](TDrawFixture& F, TCanvas& C, bool T) {
             if (!T) {
                 C.StretchDraw(Rect(-5, -3, 35, 17), *F.Frame->GetBitmap());
                 return;
             }
             ASSERT_TRUE(F.Frame->HasMask());
             EXPECT_TRUE(TGIFSubImage::TransparentStretchBlt(C, -5, -3, 40, 20, *F.Frame->GetBitmap(), 0, 0, 20, 10,
                                                             *F.Frame->Mask, 0, 0));
         },
         [](int X, int Y, int& FX, int& FY) {
             FX = (X + 5) / 2;
             FY = (Y + 3) / 2;
             return true;
         }},
    };
    for (const Case& C : Cases)
        for (bool DoTransparent : {false, true}) {
            SCOPED_TRACE(testing::Message() << C.Name << (DoTransparent ? ", transparent" : ", opaque"));
            TDrawFixture F;
            auto Dest = Canvas(C.W, C.H);
            C.Draw(F, Dest->Canvas(), DoTransparent);
            for (int Y = 0; Y < C.H; ++Y)
                for (int X = 0; X < C.W; ++X) {
                    int FX = 0, FY = 0;
                    TColor Want = C.Map(X, Y, FX, FY) ? F.Expected(FX, FY, DoTransparent) : -1;
                    if (Want == -1)
                        Want = RGB(9, 9, 9);
                    ASSERT_EQ(ColorToRGB(Dest->GetPixel(X, Y)), Want) << X << "," << Y;
                }
        }
}

TEST(FrameEdges, FailedReductionBadIndicesAndEmptyDraws)
{
    // An image whose reduction settings give nothing cannot fill a frame from a true-colour bitmap.
    auto True = RandomPicture(5, 4, 3);
    TGIFImage Image;
    Image.ReductionMethod = 10;
    TGIFSubImage Frame(&Image);
    try {
        Frame.Assign(True.get());
        FAIL() << "assigned through an unknown reduction";
    } catch (const GIFException& E) {
        EXPECT_EQ(E.Message, gifstrings::sInvalidBitmap);
    }

    // Pixel indices past the colour map render as black when dithering.
    TGIFImage Dithered;
    Dithered.DrawOptions = DrawDithered;
    auto Src = Indexed(pf8bit, 6, 3, kFour, [](int X, int) { return X < 3 ? 200 : 1; });
    TGIFSubImage* F = FrameOf(Dithered, *Src);
    F->FreeBitmap();
    TBitmap* B = F->GetBitmap();
    ASSERT_NE(B, nullptr);
    for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 3; ++X)
            EXPECT_EQ(B->ScanLine(Y)[X], 0) << X << "," << Y;

    // An empty frame draws nothing.
    TGIFSubImage Empty(&Dithered);
    auto Dest = Canvas(8, 8);
    Empty.Draw(Dest->Canvas(), Rect(0, 0, 8, 8), true, true);
    Empty.Draw(Dest->Canvas(), Rect(0, 0, 8, 8), false, false);
    for (int Y = 0; Y < 8; ++Y)
        for (int X = 0; X < 8; ++X)
            EXPECT_EQ(ColorToRGB(Dest->GetPixel(X, Y)), RGB(9, 9, 9));
}
