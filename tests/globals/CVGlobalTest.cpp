// Shared globals: rounding, rubber-band pens, resources, metrics, event-exception reporting, and the
// tool state's derived transparent colour.
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

namespace {

void FillNoise(TBitmap& B)
{
    uint32_t s = 12345;
    for (int y = 0; y < B.Height(); ++y) {
        uint8_t* row = B.ScanLine(y);
        for (int i = 0; i < B.Width() * 3; ++i) {
            s = s * 1103515245u + 12345u;
            row[i] = uint8_t(s >> 24);
        }
    }
}

bool SamePixels(const TBitmap& A, const TBitmap& B)
{
    for (int y = 0; y < A.Height(); ++y)
        if (memcmp(A.ScanLine(y), B.ScanLine(y), size_t(A.Width()) * 3) != 0)
            return false;
    return true;
}

} // namespace

TEST(RoundHalfUp, AddsOneHalfAndTruncatesTowardZero)
{
    const struct {
        double X;
        int Expected;
    } cases[] = {{2.5, 3}, {-2.5, -2}, {0.49, 0}, {0.5, 1}, {1.4999, 1}, {-0.5, 0}, {-0.51, 0}, {-1.6, -1}, {3.5, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(RoundHalfUp(c.X), c.Expected) << c.X;
    EXPECT_THROW(RoundHalfUp(std::nan("")), EInvalidOperation);
}

TEST(XorPen, DrawingARubberBandTwiceRestoresTheCanvas)
{
    const struct {
        TPenStyle Style;
        int Width;
    } pens[] = {{psSolid, 1}, {psDot, 1}, {psSolid, 3}};
    for (const auto& p : pens) {
        TBitmap canvasBmp(40, 30), original(40, 30);
        FillNoise(canvasBmp);
        original.Assign(&canvasBmp);
        TCanvas& c = canvasBmp.Canvas();
        SetXorPen(c, p.Style, p.Width);
        for (int pass = 0; pass < 2; ++pass) {
            c.Rectangle(3, 4, 30, 25);
            c.MoveTo(0, 0);
            c.LineTo(39, 29);
            if (pass == 0) {
                EXPECT_FALSE(SamePixels(canvasBmp, original)) << "the first pass must show a band";
            }
        }
        EXPECT_TRUE(SamePixels(canvasBmp, original)) << "style " << p.Style << " width " << p.Width;
        ResetPen(c);
        EXPECT_EQ(c.Pen.Mode, pmCopy);
        EXPECT_EQ(c.Pen.Style, psSolid);
        EXPECT_EQ(c.Brush.Style, bsSolid);
    }
}

TEST(XorPen, QPainterBandInvertsAndRestores)
{
    QImage image(50, 40, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 5, y * 6, (x ^ y) & 0xFF));
    const QImage original = image.copy();
    for (int pass = 0; pass < 2; ++pass) {
        QPainter p(&image);
        SetXorPen(p, psDot, 1);
        p.drawRect(5, 5, 30, 20);
        p.drawLine(0, 39, 49, 0);
        if (pass == 0) {
            p.end();
            EXPECT_EQ(image.pixel(5, 5), ~original.pixel(5, 5) | 0xFF000000u) << "an inverted corner";
        }
    }
    EXPECT_EQ(image, original);
}

TEST(CVGlobalResources, BitmapsLoadFromTheProgramResources)
{
    InitCVGlobal();
    ASSERT_NE(ExtraBtnImage, nullptr);
    ASSERT_NE(NonCanvasImage, nullptr);
    EXPECT_EQ(ExtraBtnImage->Width(), 20);
    EXPECT_EQ(ExtraBtnImage->Height(), 18);
    EXPECT_EQ(NonCanvasImage->Width(), 8);
    EXPECT_EQ(LoadBitmapResource("NOSUCHBITMAP"), nullptr);
    auto pattern = LoadBitmapResource("NONCanvas");
    ASSERT_NE(pattern, nullptr);
    EXPECT_EQ(pattern->GetPixel(0, 0), NonCanvasImage->GetPixel(0, 0));

    // The face's key colour (its corners and the gap column) is not drawn.
    const QImage face = BitmapToQImage(*ExtraBtnImage, true);
    EXPECT_EQ(qAlpha(face.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(face.pixel(19, 9)), 0);
    EXPECT_EQ(qAlpha(face.pixel(9, 9)), 255);
    EXPECT_EQ(qAlpha(BitmapToQImage(*ExtraBtnImage, false).pixel(0, 0)), 255);
}

namespace {

// The conversion as it was first written, one GetPixel per pixel: what the row-wise one must match.
QImage PixelByPixelQImage(const TBitmap& Bitmap, bool KeyTransparent)
{
    QImage image(Bitmap.Width(), Bitmap.Height(), QImage::Format_ARGB32);
    const TColor key = KeyTransparent ? ColorToRGB(Bitmap.TransparentColor()) : -1;
    for (int y = 0; y < Bitmap.Height(); ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < Bitmap.Width(); ++x) {
            const TColor c = Bitmap.GetPixel(x, y);
            out[x] = c == key ? qRgba(0, 0, 0, 0) : qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    return image;
}

// Noise in every byte of the rows, padding and 32-bit pixels' fourth byte included, with a few
// pixels of the bottom-left pixel's colour (the key) among them.
void FillRowsWithNoise(TBitmap& B)
{
    uint32_t s = uint32_t(B.Width() * 7919 + int(B.PixelFormat()));
    for (int y = 0; y < B.Height(); ++y)
        for (int i = 0; i < B.RowBytes(); ++i) {
            s = s * 1103515245u + 12345u;
            B.ScanLine(y)[i] = uint8_t(s >> 24);
        }
    const TColor key = B.GetPixel(0, B.Height() - 1);
    for (int x = 0; x < B.Width(); x += 3)
        B.SetPixelColor(x, x % B.Height(), key);
}

} // namespace

TEST(BitmapToQImage, MatchesThePixelByPixelConversionInEveryFormatAndWidth)
{
    const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
    for (const TPixelFormat pf : formats)
        for (const int width : {1, 2, 3, 4, 5, 6, 7, 13, 33})
            for (const bool keyed : {false, true}) {
                SCOPED_TRACE("format " + std::to_string(int(pf)) + ", width " + std::to_string(width) +
                             (keyed ? ", keyed" : ", plain"));
                TBitmap b(width, 5, pf);
                FillRowsWithNoise(b);
                const QImage expected = PixelByPixelQImage(b, keyed);
                const QImage got = BitmapToQImage(b, keyed);
                ASSERT_EQ(got.format(), QImage::Format_ARGB32);
                EXPECT_EQ(got, expected);
                // Any part of it: the same pixels as that part of the whole.
                for (const QRect part : {QRect(width / 2, 1, (width + 1) / 2, 3), QRect(width - 1, 4, 9, 9),
                                         QRect(-2, -1, width, 3)}) {
                    const QRect inside = part.intersected(QRect(0, 0, width, 5));
                    EXPECT_EQ(BitmapToQImage(b, keyed, part), inside.isEmpty() ? QImage() : expected.copy(inside))
                        << part.x() << "," << part.y() << " " << part.width() << "x" << part.height();
                }
            }
}

TEST(BitmapToQImage, KeysOutTheFixedTransparentColourAndNothingForAnEmptyPart)
{
    TBitmap b(3, 2, pf24bit);
    b.Canvas().Brush.Color = clRed;
    b.Canvas().FillRect(Rect(0, 0, 3, 2));
    b.SetPixelColor(1, 0, clLime);
    b.SetTransparentColor(clLime);
    const QImage keyed = BitmapToQImage(b, true);
    EXPECT_EQ(keyed, PixelByPixelQImage(b, true));
    EXPECT_EQ(keyed.pixel(1, 0), qRgba(0, 0, 0, 0));
    EXPECT_EQ(keyed.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_TRUE(BitmapToQImage(b, true, QRect(3, 0, 2, 2)).isNull());
    EXPECT_TRUE(BitmapToQImage(TBitmap(), false).isNull());
}

TEST(CVGlobalMetrics, ExtraButtonFitsTheCaption)
{
    InitCVGlobal();
    ReadCaptionMetrics();
    ASSERT_NE(ExtraBtnImage, nullptr);
    EXPECT_GT(SM_CXVSCROLL, 0);
    EXPECT_GT(CaptionButtonWidth, 0);
    EXPECT_GE(ExtraBtnRightOffset, ExtraBtnImage->Width() + 3 * CaptionButtonWidth);
    EXPECT_GE(ExtraBtnTop, 0);
    EXPECT_LE(ExtraBtnTop + ExtraBtnImage->Height(), SM_CYFRAME + SM_CYCAPTION);
}

TEST(EventExceptions, GuardReportsTheMessageAndSwallows)
{
    std::vector<std::string> seen;
    EventExceptionHandler = [&](QWidget*, const std::string& m) { seen.push_back(m); };
    GuardEvent(nullptr, [] { throw EInvalidGraphic("Bitmap image is not valid"); });
    GuardEvent(nullptr, [] { throw std::runtime_error("plain"); });
    GuardEvent(nullptr, [] { throw 42; });
    GuardEvent(nullptr, [] {});
    ReportEventException(nullptr); // no exception being handled: nothing
    EventExceptionHandler = nullptr;
    EXPECT_EQ(seen, (std::vector<std::string>{"Bitmap image is not valid", "plain", "Unknown error"}));
}

TEST(ToolVars, TransparentColourOfNewSelections)
{
    const struct {
        bool Transparent, IsForeground;
        TColor Expected;
    } cases[] = {{false, false, -1}, {false, true, -1}, {true, true, 0x123456}, {true, false, 0x654321}};
    ForegroundColour = 0x123456;
    BackgroundColour = 0x654321;
    for (const auto& c : cases) {
        TransparentSelection = c.Transparent;
        TransparentIsForeground = c.IsForeground;
        EXPECT_EQ(SelectionTransparentColour(), c.Expected);
    }
    TransparentSelection = TransparentIsForeground = false;
    ForegroundColour = clBlack;
    BackgroundColour = clWhite;
}
