// The picture view as a widget: what it shows at every zoom, scrolling, mapping, repaints, updates,
// loading and its mouse events.
#include "picwin/PictureScrollBx.h"

#include "globals/CVGlobal.h"

#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

TColor PicturePixel(int X, int Y) { return RGB(uint8_t(X * 37 + Y), uint8_t(Y * 53 + 11), uint8_t((X ^ Y) * 29)); }

void PaintTestPicture(TBitmap& B)
{
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x) {
            const TColor c = PicturePixel(x, y);
            B.Row24(y)[x] = TRGBTriple{GetBValue(c), GetGValue(c), GetRValue(c)};
        }
}

QRgb Rgb(TColor C) { return qRgb(GetRValue(C), GetGValue(C), GetBValue(C)); }

class PictureScrollBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        Box.resize(300, 200);
        ASSERT_TRUE(Box.NewPicture(60, 40, clWhite));
        PaintTestPicture(Box.Bitmap());
        Box.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Box));
        Box.RepaintAll();
    }

    // Checks every pixel the view shows against the picture replicated at the zoom, the grid where it
    // belongs and the pattern beyond the picture.
    ::testing::AssertionResult ShowsThePicture()
    {
        const QImage shot = Box.CanvasControl()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int zoom = Box.ZoomFactor();
        const bool grid = Box.ShowZoomGrid() && zoom >= 10;
        const TBitmap& pic = Box.Bitmap();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x) {
                const int px = Box.ClientToPictureX(x), py = Box.ClientToPictureY(y);
                QRgb expected;
                if (px < pic.Width() && py < pic.Height()) {
                    const TColor c = pic.GetPixel(px, py);
                    expected = Rgb(grid && ((x % zoom == 0) != (y % zoom == 0)) ? ~c & 0xFFFFFF : c);
                } else {
                    // The pattern moves with the picture.
                    const int ox = picview::SnapToZoom(Box.HorzScrollBar().Position(), zoom);
                    const int oy = picview::SnapToZoom(Box.VertScrollBar().Position(), zoom);
                    expected = Rgb(NonCanvasImage->GetPixel((x + ox) % NonCanvasImage->Width(),
                                                            (y + oy) % NonCanvasImage->Height()));
                }
                if (shot.pixel(x, y) != expected) {
                    char where[160];
                    std::snprintf(where, sizeof where, "view pixel %d,%d (picture %d,%d) is %08X, expected %08X",
                                  x, y, px, py, shot.pixel(x, y), expected);
                    return ::testing::AssertionFailure() << where;
                }
            }
        return ::testing::AssertionSuccess();
    }

    TPictureScrollBox Box;
};

} // namespace

TEST_F(PictureScrollBoxTest, ShowsThePictureAtEveryZoomScrolledAndWithTheGrid)
{
    const struct {
        int Zoom;
        bool Grid;
        int ScrollX, ScrollY; // picture point to centre on
    } cases[] = {
        {1, true, 0, 0},   {2, true, 30, 20}, {4, true, 59, 39}, {7, true, 31, 3},
        {10, true, 5, 35}, {12, false, 40, 20}, {15, true, 59, 39}, {15, true, 20, 10},
    };
    for (const auto& c : cases) {
        Box.SetShowZoomGrid(c.Grid);
        ASSERT_TRUE(Box.ZoomAt(c.Zoom, c.ScrollX, c.ScrollY));
        EXPECT_TRUE(ShowsThePicture()) << "zoom " << c.Zoom << " at " << c.ScrollX << "," << c.ScrollY;
    }
    // Scrolling through the bars, a line and a page at a time.
    ASSERT_TRUE(Box.ZoomAt(5, 0, 0));
    QScrollBar* h = Box.QtScrollBar(sbHorizontal);
    ASSERT_TRUE(h->isVisible());
    int paints = 0;
    Box.OnPaint = [&](TPictureScrollBox*) { ++paints; };
    h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(Box.HorzScrollBar().Position(), 5);
    EXPECT_EQ(Box.ClientToPictureX(0), 1);
    EXPECT_EQ(paints, 1);
    EXPECT_TRUE(ShowsThePicture());
    Box.QtScrollBar(sbVertical)->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(Box.VertScrollBar().Position(), std::min(40, Box.VertScrollBar().CalcRange()));
    EXPECT_TRUE(ShowsThePicture());
    Box.OnPaint = nullptr;
}

TEST_F(PictureScrollBoxTest, ScrollingShiftsTheViewAndPaintsWhatComesIntoView)
{
    ASSERT_TRUE(Box.NewPicture(200, 70, clWhite)); // taller views show the pattern below it
    PaintTestPicture(Box.Bitmap());
    const struct {
        TScrollBarKind Bar;
        TScrollCode Code;
    } steps[] = {{sbHorizontal, scLineDown}, {sbHorizontal, scPageDown}, {sbVertical, scLineDown},
                 {sbHorizontal, scLineUp},   {sbVertical, scPageDown},   {sbHorizontal, scBottom},
                 {sbVertical, scLineUp},     {sbHorizontal, scPageUp},   {sbVertical, scTop}};
    for (int zoom : {1, 2, 11}) {
        ASSERT_TRUE(Box.ZoomAt(zoom, 20, 10));
        for (const auto& step : steps) {
            Box.ScrollBar(step.Bar).ScrollMessage(step.Code, 0);
            ASSERT_TRUE(ShowsThePicture()) << "zoom " << zoom << " bar " << step.Bar << " code " << step.Code;
        }
        Box.ScrollBy(-7, 5); // the drag tool's scrolling, not a whole pixel at every zoom
        ASSERT_TRUE(ShowsThePicture()) << "zoom " << zoom << " drag";
    }
}

TEST_F(PictureScrollBoxTest, BarsRangesAndSteps)
{
    ASSERT_TRUE(Box.NewPicture(100, 100, clRed));
    Box.resize(400, 300);
    Box.SetZoomFactor(15);
    EXPECT_TRUE(Box.HorzScrollBar().Visible());
    EXPECT_TRUE(Box.VertScrollBar().Visible());
    EXPECT_EQ(Box.HorzScrollBar().Increment(), 15);
    EXPECT_EQ(Box.HorzScrollBar().PageIncrement(), 120);
    EXPECT_TRUE(Box.QtScrollBar(sbHorizontal)->isVisible());
    EXPECT_TRUE(Box.QtScrollBar(sbVertical)->isVisible());
    EXPECT_EQ(Box.HorzScrollBar().Position(), 0) << "the property shows the top-left corner";

    Box.SetZoomFactor(1);
    EXPECT_FALSE(Box.HorzScrollBar().Visible());
    EXPECT_FALSE(Box.QtScrollBar(sbVertical)->isVisible());
    EXPECT_EQ(Box.CanvasControl()->geometry(), Box.ClientRect());
}

TEST_F(PictureScrollBoxTest, ZoomRefusesOutOfRangeAndKeepsTheCentre)
{
    ASSERT_TRUE(Box.ZoomAt(3, 30, 20));
    const TRect before = Box.VisibleRect();
    EXPECT_FALSE(Box.ZoomAt(16, 0, 0));
    EXPECT_FALSE(Box.ZoomAt(0, 0, 0));
    EXPECT_EQ(Box.ZoomFactor(), 3);
    EXPECT_EQ(Box.VisibleRect(), before);

    const int cx = (before.Left + before.Right) >> 1, cy = (before.Top + before.Bottom) >> 1;
    ASSERT_TRUE(Box.ZoomAt(6, -1, -1));
    const TRect after = Box.VisibleRect();
    EXPECT_NEAR((after.Left + after.Right) >> 1, cx, 1);
    EXPECT_NEAR((after.Top + after.Bottom) >> 1, cy, 1);
}

TEST_F(PictureScrollBoxTest, PointsBeyondThePictureAreNotInIt)
{
    // At the end of a range that is one zoomed pixel wider than the picture.
    ASSERT_TRUE(Box.ZoomAt(7, 59, 39));
    Box.HorzScrollBar().ScrollMessage(scBottom, 0);
    Box.VertScrollBar().ScrollMessage(scBottom, 0);
    const int cw = Box.ClientWidth();
    ASSERT_EQ(Box.HorzScrollBar().Range(), 61 * 7);
    const int lastX = Box.PictureToClientX(60) - 1; // the picture's last view column
    EXPECT_TRUE(Box.PointInPicture(lastX, 0));
    EXPECT_FALSE(Box.PointInPicture(lastX + 1, 0));
    EXPECT_LT(lastX + 1, cw) << "the extra column is in view";
    EXPECT_FALSE(Box.PointInPicture(0, Box.PictureToClientY(40)));
    EXPECT_TRUE(Box.PointInPicture(-1, -1)) << "scrolled: the pixel left of and above the view";
    // A drag just left of the view maps to the column left of the view.
    EXPECT_EQ(Box.ClientToPictureX(-1), Box.ClientToPictureX(0) - 1);
    ASSERT_TRUE(Box.ZoomAt(1, 0, 0));
    EXPECT_EQ(Box.ClientToPictureX(-1), -1);
    EXPECT_EQ(Box.ClientToPictureY(-1), -1);
    EXPECT_FALSE(Box.PointInPicture(-1, 0));
    EXPECT_FALSE(Box.PointInPicture(0, -1));
    EXPECT_FALSE(Box.PointInPicture(60, 10)) << "picture smaller than the view";
    EXPECT_EQ(Box.PictureRectToClient(Rect(1, 2, 3, 4)), Rect(1, 2, 3, 4));
}

TEST_F(PictureScrollBoxTest, PartialRepaintShowsOnlyTheRectangleGiven)
{
    ASSERT_TRUE(Box.ZoomAt(4, 0, 0));
    TBitmap& pic = Box.Bitmap();
    pic.SetPixelColor(10, 10, clBlack);
    pic.SetPixelColor(30, 30, clBlack);
    std::vector<TRect> painted;
    Box.OnPainting = [&](TPictureScrollBox*, TBitmap& image, const TRect& r) {
        EXPECT_EQ(image.Width(), r.Width() * 4);
        painted.push_back(r);
    };
    Box.InvalidatePictureRect(Rect(11, 11, 10, 10), 0); // corners swapped
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], Rect(9, 9, 12, 12));
    Box.InvalidatePictureRect(Rect(200, 200, 210, 210), 3); // outside the visible part
    EXPECT_EQ(painted.size(), 1u);
    Box.OnPainting = nullptr;
    const QImage shot = Box.CanvasControl()->grab().toImage();
    EXPECT_EQ(shot.pixel(10 * 4 + 1, 10 * 4 + 1), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(30 * 4 + 1, 30 * 4 + 1), Rgb(PicturePixel(30, 30))) << "not repainted";
    Box.Refresh();
    EXPECT_TRUE(ShowsThePicture());
}

TEST_F(PictureScrollBoxTest, WithoutOverlayTheOneToOneViewComesStraightFromThePicture)
{
    int handed = 0;
    bool overlay = false;
    Box.OnHasOverlay = [&](const TPictureScrollBox*) { return overlay; };
    Box.OnBeforeZoomPaint = [&](TPictureScrollBox*, TBitmap& copy, const TRect&) {
        ++handed;
        if (overlay && copy.Width() > 0 && copy.Height() > 0)
            copy.SetPixelColor(0, 0, clBlack); // the overlay marks the copy's first pixel
    };
    // Widths around the four-pixel steps of a row and past the view; scrolled, and repainted in part.
    const struct {
        int W, H, ScrollX, ScrollY;
    } cases[] = {{1, 1, 0, 0}, {2, 3, 0, 0}, {5, 4, 0, 0}, {6, 2, 0, 0}, {7, 9, 0, 0}, {61, 40, 0, 0}, {401, 303, 13, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + " x " + std::to_string(c.H));
        overlay = false;
        handed = 0;
        ASSERT_TRUE(Box.NewPicture(c.W, c.H, clWhite));
        PaintTestPicture(Box.Bitmap());
        Box.ScrollBy(c.ScrollX, c.ScrollY);
        Box.Refresh();
        EXPECT_TRUE(ShowsThePicture());
        Box.Bitmap().SetPixelColor(c.W - 1, c.H - 1, clBlack);
        Box.InvalidatePictureRect(Rect(c.W - 1, c.H - 1, c.W, c.H), 0);
        EXPECT_TRUE(ShowsThePicture()) << "after a repaint of the last pixel";
        EXPECT_EQ(handed, 0) << "no copy is made for an overlay that is not there";

        overlay = true;
        Box.Refresh();
        EXPECT_GT(handed, 0);
        const TRect shown = Box.VisibleRect();
        const QImage shot = Box.CanvasControl()->grab().toImage();
        EXPECT_EQ(shot.pixel(Box.PictureToClientX(shown.Left), Box.PictureToClientY(shown.Top)), qRgb(0, 0, 0));
    }
    Box.OnHasOverlay = nullptr;
    Box.OnBeforeZoomPaint = nullptr;
}

TEST_F(PictureScrollBoxTest, UpdatesNestAndLayOutOnceAtTheEnd)
{
    ASSERT_TRUE(Box.ZoomAt(10, 40, 30));
    const TRect before = Box.VisibleRect();
    int paints = 0;
    Box.OnPaint = [&](TPictureScrollBox*) { ++paints; };
    Box.BeginUpdate();
    Box.BeginUpdate();
    ASSERT_TRUE(Box.NewPicture(240, 160, clBlue));
    PaintTestPicture(Box.Bitmap());
    Box.ZoomAt(4, -1, -1); // deeper level: only the zoom is taken
    Box.InvalidatePictureRect(Rect(0, 0, 10, 10), 0);
    Box.Refresh();
    Box.EndUpdate();
    EXPECT_EQ(paints, 0);
    EXPECT_EQ(Box.UpdateCount(), 1);
    Box.EndUpdate();
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(Box.UpdateCount(), 0);
    EXPECT_EQ(Box.HorzScrollBar().Increment(), 4) << "laid out for the zoom taken inside";
    const TRect after = Box.VisibleRect();
    EXPECT_NEAR((after.Left + after.Right) >> 1, (before.Left + before.Right) >> 1, 1) << "centred on the saved centre";
    EXPECT_NEAR((after.Top + after.Bottom) >> 1, (before.Top + before.Bottom) >> 1, 1);
    EXPECT_TRUE(ShowsThePicture());
    Box.EndUpdate(); // unmatched
    EXPECT_EQ(Box.UpdateCount(), 0);
    Box.OnPaint = nullptr;
}

TEST_F(PictureScrollBoxTest, EmptyPicturePaintsThePatternOnly)
{
    int paints = 0;
    Box.OnPaint = [&](TPictureScrollBox*) { ++paints; };
    Box.SetBitmap(nullptr);
    EXPECT_EQ(paints, 0);
    EXPECT_TRUE(ShowsThePicture());
    EXPECT_FALSE(Box.HorzScrollBar().Visible());
    Box.OnPaint = nullptr;
}

TEST_F(PictureScrollBoxTest, FailedLoadsKeepThePicture)
{
    const TColor before = Box.Bitmap().GetPixel(5, 5);
    EXPECT_FALSE(Box.AssignGraphic(nullptr));
    TBitmap empty;
    EXPECT_FALSE(Box.AssignGraphic(&empty));
    EXPECT_FALSE(Box.LoadFromFile("/nonexistent/picture.bmp", false));
    const std::string junk = ::testing::TempDir() + "junk.bmp";
    {
        TFileStream f(junk, fmCreate);
        f.WriteBuffer("BM not really a bitmap", 22);
    }
    EXPECT_FALSE(Box.LoadFromFile(junk, false));
    EXPECT_FALSE(Box.NewPicture(-1, 10, clRed));
    EXPECT_FALSE(Box.NewPicture(70000, 10, clRed));
    EXPECT_EQ(Box.Bitmap().Width(), 60);
    EXPECT_EQ(Box.Bitmap().GetPixel(5, 5), before);

    TBitmap other(7, 9);
    other.Canvas().Brush.Color = clLime;
    other.Canvas().FillRect(Rect(0, 0, 7, 9));
    ASSERT_TRUE(Box.AssignGraphic(&other));
    EXPECT_EQ(Box.Bitmap().Width(), 7);
    EXPECT_EQ(Box.Bitmap().GetPixel(6, 8), clLime);
    // A saved and reloaded picture.
    const std::string saved = ::testing::TempDir() + "view.bmp";
    other.SaveToFile(saved);
    ASSERT_TRUE(Box.NewPicture(3, 3, clWhite));
    ASSERT_TRUE(Box.LoadFromFile(saved, false));
    EXPECT_EQ(Box.Bitmap().Height(), 9);
    EXPECT_EQ(Box.Bitmap().PixelFormat(), pf24bit);
    std::remove(junk.c_str());
    std::remove(saved.c_str());
}

TEST_F(PictureScrollBoxTest, MouseEventsCarryViewCoordinates)
{
    std::vector<std::string> log;
    Box.OnMouseDown = [&](TPictureScrollBox* s, TMouseButton b, TShiftState sh, int x, int y) {
        EXPECT_EQ(s, &Box);
        log.push_back(Format("down %d %d,%d %s", int(b), x, y, (sh & ssRight) ? "R" : ""));
    };
    Box.OnMouseMove = [&](TPictureScrollBox*, TShiftState, int x, int y) { log.push_back(Format("move %d,%d", x, y)); };
    Box.OnMouseUp = [&](TPictureScrollBox*, TMouseButton b, TShiftState, int x, int y) {
        log.push_back(Format("up %d %d,%d", int(b), x, y));
    };
    Box.OnClick = [&](TPictureScrollBox*) { log.push_back("click"); };
    QWidget* canvas = Box.CanvasControl();
    QTest::mousePress(canvas, Qt::RightButton, {}, QPoint(20, 30));
    QTest::mouseMove(canvas, QPoint(-3, 40));
    QTest::mouseRelease(canvas, Qt::RightButton, {}, QPoint(-3, 40));
    QTest::mouseClick(canvas, Qt::LeftButton, {}, QPoint(5, 6));
    EXPECT_EQ(log, (std::vector<std::string>{"down 1 20,30 R", "move -3,40", "up 1 -3,40", "down 0 5,6 ", "up 0 5,6",
                                             "click"}));
}

TEST_F(PictureScrollBoxTest, FailingPaintHandlerIsReportedNotThrown)
{
    std::string reported;
    EventExceptionHandler = [&](QWidget*, const std::string& m) { reported = m; };
    Box.OnPainting = [](TPictureScrollBox*, TBitmap&, const TRect&) { throw EInvalidOperation("painting failed"); };
    EXPECT_THROW(Box.ZoomAt(2, 0, 0), EInvalidOperation) << "a direct call reports to its caller";
    EXPECT_EQ(Box.ZoomFactor(), 2);
    Box.resize(310, 210); // inside Qt's event dispatch
    EXPECT_EQ(reported, "painting failed");
    Box.OnPainting = nullptr;
    EventExceptionHandler = nullptr;
}
