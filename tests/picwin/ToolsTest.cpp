// The picture window's tools fed with presses, moves and releases of the three buttons: the pixels
// they paint, the selections they make and move, their undo steps and change flags, the rubber bands
// on the view, and the strokes that must not start or must end before anything else changes the picture.
#include "FakePicHost.h"
#include "picwin/CVPicChildWn.h"

#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"
#include "image/EffectsTestSupport.h"
#include "image/PicSelection.h"
#include "picwin/SprayCan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QMdiArea>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace effects_test;

namespace {

constexpr TColor kFore = RGB(200, 30, 10);
constexpr TColor kBack = RGB(10, 60, 220);

// A host that records what the tools ask of the main window.
class TToolHost : public TFakeHost {
public:
    std::vector<TColor> Foreground, Background, ShownRGB;
    int TextQueries = 0;
    void SetForegroundColour(TColor C, bool) override { Foreground.push_back(C); }
    void SetBackgroundColour(TColor C, bool) override { Background.push_back(C); }
    void ShowColourRGB(TColor C) override { ShownRGB.push_back(C); }
    bool QueryAddText() override
    {
        ++TextQueries;
        return false;
    }
};

TColor PixelOf(const TBitmap& B, int X, int Y) { return TripleToColor(PixelAt(B, X, Y)); }

class Tools : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        CurrentTool = ctPen;
        ForegroundColour = kFore;
        BackgroundColour = kBack;
        PenSettings.Width = 1;
        PenSettings.Mask.reset();
        SpecialPenSettings.Action = 0;
        SpecialPenSettings.Width = 1;
        SpecialPenSettings.Tolerance = 0;
        SpecialPenSettings.Opacity = 100;
        SpecialPenSettings.Mask.reset();
        SprayCanSettings.Width = 3;
        SprayCanSettings.Opacity = 100;
        SprayCanSettings.Diffusion = 0;
        SprayCanSettings.Interval = 10;
        SprayCanSettings.Mask.reset();
        ShapeSettings = TShapeSettings{};
        FillTolerance = 0;
        MagicWandTolerance = 0;
        TransparentSelection = false;
        TransparentIsForeground = false;
    }
    void TearDown() override
    {
        CurrentTool = ctPen;
        ForegroundColour = clBlack;
        BackgroundColour = clWhite;
        ShapeSettings = TShapeSettings{};
        SprayCanSettings = TSprayCanSettings{};
        TransparentSelection = false;
    }
    // A standalone window of a W x H picture (white, or random with Random) in a view of ViewW x ViewH.
    std::unique_ptr<TCVPicChildWin> NewWindow(int W, int H, bool Random = false, int ViewW = 100, int ViewH = 100)
    {
        auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
        if (Random) {
            TRng rng(11);
            RandomizePicture(win->Picture(), rng);
        }
        win->PictureScrollBox().resize(ViewW, ViewH);
        win->PictureScrollBox().RepaintAll();
        win->OnPictureChange = [this](TCVPicChildWin*, TPictureChanges F) { Changes.push_back(F); };
        return win;
    }
    static TShiftState Held(TMouseButton B) { return B == mbLeft ? ssLeft : B == mbRight ? ssRight : ssMiddle; }
    // Mouse events at picture pixels (through the view's mapping).
    static void Press(TCVPicChildWin& W, TMouseButton B, int X, int Y, TShiftState Extra = 0)
    {
        TPictureScrollBox& box = W.PictureScrollBox();
        box.OnMouseDown(&box, B, Held(B) | Extra, box.PictureToClientX(X), box.PictureToClientY(Y));
    }
    static void Move(TCVPicChildWin& W, int X, int Y, TShiftState Shift = ssLeft)
    {
        TPictureScrollBox& box = W.PictureScrollBox();
        box.OnMouseMove(&box, Shift, box.PictureToClientX(X), box.PictureToClientY(Y));
    }
    static void Release(TCVPicChildWin& W, TMouseButton B, int X, int Y)
    {
        TPictureScrollBox& box = W.PictureScrollBox();
        box.OnMouseUp(&box, B, 0, box.PictureToClientX(X), box.PictureToClientY(Y));
    }
    // Press at (X0, Y0), move through Path, release at the last point.
    static void Drag(TCVPicChildWin& W, TMouseButton B, int X0, int Y0, const std::vector<TPoint>& Path)
    {
        Press(W, B, X0, Y0);
        for (const TPoint& p : Path)
            Move(W, p.X, p.Y, Held(B));
        const TPoint end = Path.empty() ? TPoint{X0, Y0} : Path.back();
        Release(W, B, end.X, end.Y);
    }
    // What the view shows, as the screen would get it.
    static QImage ViewImage(TPictureScrollBox& Box)
    {
        QImage image(Box.ClientWidth(), Box.ClientHeight(), QImage::Format_RGB32);
        image.fill(Qt::black);
        QPainter painter(&image);
        Box.PaintView(painter, image.rect());
        return image;
    }
    static TColor ViewPixel(const QImage& Image, int X, int Y)
    {
        const QRgb c = Image.pixel(X, Y);
        return RGB(uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c)));
    }
    // The client pixels of the view's picture area that differ from the picture (zoom 1, unscrolled).
    static int ViewDifferences(TCVPicChildWin& W, const QImage& Image)
    {
        int n = 0;
        const TBitmap& pic = W.Picture();
        for (int y = 0; y < std::min(pic.Height(), Image.height()); ++y)
            for (int x = 0; x < std::min(pic.Width(), Image.width()); ++x)
                n += ViewPixel(Image, x, y) != PixelOf(pic, x, y);
        return n;
    }

    TToolHost Host;
    std::vector<TPictureChanges> Changes;
};

// ---- Painting tools ----------------------------------------------------------------------------------------

TEST_F(Tools, PaintingToolsUseTheButtonColourInOneUndoStepThatRestoresExactly)
{
    struct Case {
        const char* Name;
        TCVTool Tool;
        TMouseButton Button;
        TColor Expected;
    };
    const Case cases[] = {
        {"pen left", ctPen, mbLeft, kFore},     {"pen right", ctPen, mbRight, kBack},
        {"pen middle", ctPen, mbMiddle, kBack}, {"fill left", ctFill, mbLeft, kFore},
        {"fill right", ctFill, mbRight, kBack}, {"spray left", ctSprayCan, mbLeft, kFore},
        {"spray middle", ctSprayCan, mbMiddle, kBack}, {"shape left", ctShapes, mbLeft, kFore},
        {"shape right", ctShapes, mbRight, kBack},
    };
    ShapeSettings.Shape = skRectangle;
    ShapeSettings.Filled = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CurrentTool = c.Tool;
        auto win = NewWindow(20, 20);
        const auto before = ClonePicture(win->Picture());
        Press(*win, c.Button, 5, 5);
        EXPECT_EQ(win->MouseState != 0, c.Tool != ctFill); // a fill is done on the press
        if (c.Tool == ctSprayCan) {
            ASSERT_NE(win->SprayCan, nullptr);
            EXPECT_TRUE(win->SprayCan->Timer().isActive());
            win->SprayCan->Spray();
        }
        Move(*win, 10, 8, Held(c.Button));
        if (c.Tool == ctSprayCan)
            win->SprayCan->Spray(); // at the new point
        Release(*win, c.Button, 10, 8);

        EXPECT_EQ(win->MouseState, 0);
        EXPECT_EQ(win->SprayCan, nullptr);
        EXPECT_EQ(PixelOf(win->Picture(), 5, 5), c.Expected);
        // A rectangle leaves out its right and bottom edges.
        EXPECT_EQ(PixelOf(win->Picture(), c.Tool == ctShapes ? 9 : 10, c.Tool == ctShapes ? 7 : 8), c.Expected);
        EXPECT_TRUE(win->Modified());
        ASSERT_EQ(win->UndoList().Count(), 1);
        win->Undo();
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
        EXPECT_FALSE(win->Modified());
    }
}

TEST_F(Tools, AStrokeIsEndedOnlyByTheReleaseOfItsOwnButton)
{
    auto win = NewWindow(20, 20);
    Press(*win, mbLeft, 2, 2);
    Press(*win, mbRight, 4, 4);   // ignored
    Release(*win, mbRight, 4, 4); // not the stroke's button
    EXPECT_EQ(win->MouseState, 1);
    Move(*win, 2, 10);
    Release(*win, mbLeft, 2, 10);
    EXPECT_EQ(win->MouseState, 0);
    EXPECT_EQ(PixelOf(win->Picture(), 2, 7), kFore);
    EXPECT_EQ(PixelOf(win->Picture(), 4, 4), clWhite);
    EXPECT_EQ(win->UndoList().Count(), 1);
}

TEST_F(Tools, SpecialPenReplacesSmudgesAndReplacesEverywhereOnADoubleClick)
{
    CurrentTool = ctSpecialPen;
    {
        SCOPED_TRACE("colour replace: only pixels of the button colour take the other colour");
        auto win = NewWindow(20, 20);
        FillPicture(win->Picture(), kFore);
        win->Picture().Row24(5)[6] = Triple(1, 2, 3);
        Drag(*win, mbLeft, 2, 5, {{12, 5}});
        EXPECT_EQ(PixelOf(win->Picture(), 4, 5), kBack);
        EXPECT_EQ(PixelOf(win->Picture(), 6, 5), RGB(1, 2, 3));
        EXPECT_EQ(PixelOf(win->Picture(), 4, 6), kFore);
    }
    {
        SCOPED_TRACE("double click: the whole picture, right button the other way round");
        auto win = NewWindow(20, 20);
        FillPicture(win->Picture(), kBack);
        Press(*win, mbRight, 3, 3);
        Release(*win, mbRight, 3, 3);
        Press(*win, mbRight, 3, 3, ssDouble);
        EXPECT_EQ(win->MouseState, 0);
        Release(*win, mbRight, 3, 3);
        EXPECT_EQ(PixelOf(win->Picture(), 19, 19), kFore);
        EXPECT_EQ(PixelOf(win->Picture(), 0, 0), kFore);
        EXPECT_EQ(win->UndoList().Count(), 2);
        win->Undo();
        win->Undo();
        EXPECT_EQ(PixelOf(win->Picture(), 19, 19), kBack);
    }
    {
        SCOPED_TRACE("smudge: an edge is blurred along the stroke, nowhere else");
        SpecialPenSettings.Action = 1;
        SpecialPenSettings.Width = 3;
        auto win = NewWindow(20, 20);
        for (int y = 0; y < 20; ++y)
            for (int x = 10; x < 20; ++x)
                win->Picture().Row24(y)[x] = Triple(0, 0, 0);
        const auto before = ClonePicture(win->Picture());
        Drag(*win, mbLeft, 10, 4, {{10, 8}});
        const std::vector<TPoint> changed = ChangedPixels(win->Picture(), *before);
        EXPECT_FALSE(changed.empty());
        for (const TPoint& p : changed) {
            EXPECT_GE(p.Y, 2);
            EXPECT_LE(p.Y, 9);
        }
    }
}

TEST_F(Tools, TheSprayCanSpraysOnItsTimerUntilTheRelease)
{
    CurrentTool = ctSprayCan;
    auto win = NewWindow(30, 30);
    Press(*win, mbLeft, 15, 15);
    ASSERT_NE(win->SprayCan, nullptr);
    EXPECT_EQ(PixelOf(win->Picture(), 15, 15), clWhite); // the first spray comes with the first tick
    QElapsedTimer clock;
    clock.start();
    while (PixelOf(win->Picture(), 15, 15) == clWhite && clock.elapsed() < 5000)
        QTest::qWait(5);
    EXPECT_EQ(PixelOf(win->Picture(), 15, 15), kFore);
    Release(*win, mbLeft, 15, 15);
    EXPECT_EQ(win->SprayCan, nullptr);
}

// ---- Shapes ------------------------------------------------------------------------------------------------

TEST_F(Tools, ShapesLeaveExactlyTheFinalFigureAndMarkThePictureModified)
{
    struct Case {
        const char* Name;
        TShapeKind Shape;
        int Width;
        bool Filled;
        TPoint End;   // the pointer's last point, from the anchor (10, 10)
        TRect Figure; // the shape drawn
    };
    const Case cases[] = {
        {"line", skLine, 1, false, {16, 13}, Rect(10, 10, 16, 13)},
        {"wide line", skLine, 5, false, {4, 18}, Rect(10, 10, 4, 18)},
        {"rectangle", skRectangle, 1, false, {16, 13}, Rect(10, 10, 16, 13)},
        {"wide filled rectangle", skRectangle, 4, true, {3, 2}, Rect(10, 10, 3, 2)},
        {"square toward the shorter side", skSquare, 1, false, {16, 13}, Rect(10, 10, 13, 13)},
        {"square up and left", skSquare, 3, false, {4, 18}, Rect(10, 10, 4, 16)},
        {"circle", skCircle, 2, true, {18, 3}, Rect(10, 10, 17, 3)},
        {"ellipse", skEllipse, 1, false, {17, 15}, Rect(10, 10, 17, 15)},
    };
    CurrentTool = ctShapes;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ShapeSettings.Shape = c.Shape;
        ShapeSettings.Width = c.Width;
        ShapeSettings.Filled = c.Filled;
        auto win = NewWindow(24, 24, true);
        const auto before = ClonePicture(win->Picture());
        // A drag that wanders before it ends: every outline drawn on the way must be gone.
        Drag(*win, mbLeft, 10, 10, {{20, 20}, {2, 22}, {1, 1}, {12, 11}, c.End});
        EXPECT_EQ(win->ToolRect, c.Figure);

        auto expected = ClonePicture(*before);
        TCanvas& canvas = expected->Canvas();
        canvas.Pen.Width = c.Width;
        canvas.Pen.Color = kFore;
        canvas.Brush.Color = kFore;
        canvas.Brush.Style = c.Filled ? bsSolid : bsClear;
        if (c.Shape == skLine) {
            canvas.MoveTo(c.Figure.Left, c.Figure.Top);
            canvas.LineTo(c.Figure.Right, c.Figure.Bottom);
        } else if (c.Shape == skRectangle || c.Shape == skSquare) {
            canvas.Rectangle(c.Figure);
        } else {
            canvas.Ellipse(c.Figure);
        }
        EXPECT_TRUE(SamePixels(win->Picture(), *expected));
        ASSERT_FALSE(Changes.empty());
        EXPECT_EQ(Changes.back() & (pcPixels | pcView), pcPixels | pcView);
        EXPECT_TRUE(win->Modified());
        win->Undo();
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
        Changes.clear();
    }
}

TEST_F(Tools, ARunningShapeIsCancelledCleanlyByWhateverComesFirst)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char* Name;
        std::function<void(TCVPicChildWin&)> Interrupt;
        int UndoSteps; // left afterwards
    };
    const Case cases[] = {
        {"another button", [](TCVPicChildWin& W) { Press(W, mbRight, 3, 3); }, 1},
        {"undo", [](TCVPicChildWin& W) { W.Undo(); }, 0},
        {"zoom", [](TCVPicChildWin& W) { W.SetZoom(2, -1, -1); }, 1},
        {"a picture operation", [](TCVPicChildWin& W) { W.Flip(); W.Flip(); }, 3},
        {"save", [&](TCVPicChildWin& W) { ASSERT_TRUE(W.SaveToFile(dir.filePath("shape.bmp").toStdString())); }, 1},
    };
    CurrentTool = ctShapes;
    ShapeSettings.Shape = skEllipse;
    ShapeSettings.Width = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto win = NewWindow(30, 30, true);
        const auto before = ClonePicture(win->Picture());
        Press(*win, mbLeft, 5, 5);
        Move(*win, 20, 25);
        ASSERT_FALSE(SamePixels(win->Picture(), *before)); // the outline is in the pixels
        c.Interrupt(*win);
        EXPECT_EQ(win->MouseState, 0);
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
        EXPECT_EQ(win->UndoList().Count(), c.UndoSteps);
        // The stroke's own release and moves come later and do nothing.
        Move(*win, 22, 22);
        Release(*win, mbLeft, 22, 22);
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
    }
    TXBitmap saved;
    saved.LoadPictureFromFile(dir.filePath("shape.bmp").toStdString(), false);
    auto reference = NewWindow(30, 30, true);
    EXPECT_TRUE(SamePixels(saved, reference->Picture()));
}

TEST_F(Tools, AShapeDraggedBeyondTheViewScrollsItAndStillEndsExactly)
{
    CurrentTool = ctShapes;
    ShapeSettings.Shape = skRectangle;
    Host.AreaW = Host.AreaH = 150;
    auto win = NewWindow(300, 300, true);
    win->show();
    TPictureScrollBox& box = win->PictureScrollBox();
    ASSERT_TRUE(box.HorzScrollBar().Visible());
    const auto before = ClonePicture(win->Picture());
    box.OnMouseDown(&box, mbLeft, ssLeft, 20, 20);
    box.OnMouseMove(&box, ssLeft, box.ClientWidth() + 30, 60);
    EXPECT_EQ(box.HorzScrollBar().Position(), 30);
    EXPECT_EQ(box.VertScrollBar().Position(), 0);
    box.OnMouseMove(&box, ssLeft, 100, 60); // the picture point under it is 130 now
    box.OnMouseUp(&box, mbLeft, 0, 100, 60);
    EXPECT_EQ(win->ToolRect, Rect(20, 20, 130, 60));
    auto expected = ClonePicture(*before);
    expected->Canvas().Pen.Color = kFore;
    expected->Canvas().Brush.Style = bsClear;
    expected->Canvas().Rectangle(Rect(20, 20, 130, 60));
    EXPECT_TRUE(SamePixels(win->Picture(), *expected));
}

// ---- Strokes that must not start ------------------------------------------------------------------------

TEST_F(Tools, APressBesideThePictureStartsNoStroke)
{
    const TCVTool tools[] = {ctPen, ctFill, ctSpecialPen, ctSprayCan, ctShapes, ctDropper,
                             ctDrag, ctZoom, ctSelectRect, ctSelectFreehand, ctMagicWand};
    ShapeSettings.Shape = skLine;
    for (TCVTool tool : tools) {
        SCOPED_TRACE(int(tool));
        CurrentTool = tool;
        auto win = NewWindow(20, 20, false, 100, 100);
        // A finished stroke first, so that stale stroke data would show.
        CurrentTool = ctPen;
        Drag(*win, mbLeft, 2, 2, {{8, 2}});
        CurrentTool = tool;
        const auto before = ClonePicture(win->Picture());
        TPictureScrollBox& box = win->PictureScrollBox();
        box.OnMouseDown(&box, mbLeft, ssLeft, 60, 70);
        EXPECT_EQ(win->MouseState, 0);
        EXPECT_EQ(win->SprayCan, nullptr);
        Move(*win, 10, 10);
        box.OnMouseUp(&box, mbLeft, 0, 60, 70);
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
        EXPECT_EQ(win->UndoList().Count(), 1);
        EXPECT_EQ(win->Selection(), nullptr);
        EXPECT_EQ(win->ZoomFactor(), 1);
        EXPECT_TRUE(Host.Foreground.empty());
    }
}

TEST_F(Tools, OnlyTheCurrentChildTakesPressesAndAShapeIsCancelledOnlyWhereItRuns)
{
    QMdiArea area;
    area.resize(500, 400);
    area.show();
    auto* a = new TCVNewPicChildWin(nullptr, &Host, "A", 40, 40, clWhite);
    auto* b = new TCVNewPicChildWin(nullptr, &Host, "B", 40, 40, clWhite);
    area.addSubWindow(a);
    area.addSubWindow(b);
    a->show();
    b->show();
    area.setActiveSubWindow(b);
    ASSERT_EQ(area.currentSubWindow(), b);
    ASSERT_FALSE(a->IsActiveChild());

    CurrentTool = ctPen;
    Press(*a, mbLeft, 5, 5);
    Move(*a, 15, 5);
    Release(*a, mbLeft, 15, 5);
    EXPECT_EQ(a->MouseState, 0);
    EXPECT_EQ(PixelOf(a->Picture(), 5, 5), clWhite);
    EXPECT_EQ(a->UndoList().Count(), 0);

    // A finished shape in A, then a press on A while B is current: nothing is drawn into A.
    CurrentTool = ctShapes;
    ShapeSettings.Shape = skRectangle;
    area.setActiveSubWindow(a);
    Drag(*a, mbLeft, 5, 5, {{20, 20}});
    const auto shaped = ClonePicture(a->Picture());
    area.setActiveSubWindow(b);
    Press(*a, mbLeft, 8, 8);
    EXPECT_TRUE(SamePixels(a->Picture(), *shaped));
    EXPECT_EQ(a->MouseState, 0);

    // A shape running in A when B becomes current: a press on A cancels it.
    area.setActiveSubWindow(a);
    Press(*a, mbLeft, 2, 30);
    Move(*a, 30, 35);
    EXPECT_FALSE(SamePixels(a->Picture(), *shaped));
    area.setActiveSubWindow(b);
    Press(*a, mbLeft, 8, 8);
    EXPECT_EQ(a->MouseState, 0);
    EXPECT_TRUE(SamePixels(a->Picture(), *shaped));
}

// ---- Zoom and drag --------------------------------------------------------------------------------------

TEST_F(Tools, TheZoomToolZoomsOnClicksAndFitsABandToTheChildArea)
{
    struct Case {
        const char* Name;
        TMouseButton Button;
        int StartZoom;
        TPoint From, To;
        int AreaW, AreaH;
        int Expected;
    };
    const Case cases[] = {
        {"left click zooms in", mbLeft, 1, {10, 10}, {10, 10}, 1000, 800, 2},
        {"right click zooms out", mbRight, 3, {10, 10}, {10, 10}, 1000, 800, 2},
        {"middle click zooms out", mbMiddle, 2, {10, 10}, {10, 10}, 1000, 800, 1},
        {"a 10 x 40 band is a click", mbLeft, 1, {10, 10}, {20, 50}, 1000, 800, 2},
        {"a band fits the area", mbLeft, 1, {10, 10}, {110, 90}, 400, 400, 4},
        {"a small band stops at 15", mbLeft, 1, {10, 10}, {22, 22}, 1000, 800, 15},
        {"a band larger than the area is refused", mbLeft, 1, {0, 0}, {150, 150}, 100, 100, 1},
    };
    CurrentTool = ctZoom;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.AreaW = c.AreaW;
        Host.AreaH = c.AreaH;
        auto win = NewWindow(200, 200, false, 180, 180);
        win->SetZoom(c.StartZoom, 0, 0);
        Press(*win, c.Button, c.From.X, c.From.Y);
        EXPECT_EQ(win->UndoList().Count(), 0);
        Move(*win, c.To.X, c.To.Y, Held(c.Button));
        Release(*win, c.Button, c.To.X, c.To.Y);
        EXPECT_EQ(win->ZoomFactor(), c.Expected);
        EXPECT_EQ(win->MouseState, 0);
    }
}

TEST_F(Tools, TheDragToolScrollsTheViewByThePointersMove)
{
    CurrentTool = ctDrag;
    Host.AreaW = Host.AreaH = 150;
    auto win = NewWindow(300, 300);
    win->show();
    TPictureScrollBox& box = win->PictureScrollBox();
    ASSERT_TRUE(box.HorzScrollBar().Visible());
    box.OnMouseDown(&box, mbLeft, ssLeft, 60, 60);
    box.OnMouseMove(&box, ssLeft, 40, 50);
    box.OnMouseMove(&box, ssLeft, 30, 45);
    box.OnMouseUp(&box, mbLeft, 0, 30, 45);
    EXPECT_EQ(box.HorzScrollBar().Position(), 30);
    EXPECT_EQ(box.VertScrollBar().Position(), 15);
    EXPECT_EQ(win->UndoList().Count(), 0);
}

// ---- Rubber bands ---------------------------------------------------------------------------------------

TEST_F(Tools, RubberBandsShowOnTheViewOnlyWhileTheyAreDragged)
{
    struct Case {
        const char* Name;
        TCVTool Tool;
    };
    const Case cases[] = {{"zoom", ctZoom}, {"rectangle selection", ctSelectRect}, {"freehand", ctSelectFreehand}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CurrentTool = c.Tool;
        auto win = NewWindow(80, 80, true, 100, 100);
        TPictureScrollBox& box = win->PictureScrollBox();
        ASSERT_EQ(ViewDifferences(*win, ViewImage(box)), 0);
        Press(*win, mbLeft, 10, 10);
        Move(*win, 60, 10);
        Move(*win, 60, 60);
        const QImage dragged = ViewImage(box);
        EXPECT_GT(ViewDifferences(*win, dragged), 20);
        // Along the band's top edge some pixels show inverted.
        int inverted = 0;
        for (int x = 12; x < 58; ++x)
            inverted += ViewPixel(dragged, x, 10) == (PixelOf(win->Picture(), x, 10) ^ 0xFFFFFF);
        EXPECT_GT(inverted, 10);
        if (c.Tool != ctSelectFreehand) {
            // A smaller band: the old edges go, only the new ones show.
            Move(*win, 30, 30);
            const QImage smaller = ViewImage(box);
            for (int x = 35; x < 60; ++x)
                EXPECT_EQ(ViewPixel(smaller, x, 59), PixelOf(win->Picture(), x, 59)) << x;
            EXPECT_GT(ViewDifferences(*win, smaller), 10);
        }
        win->EndStroke();
        EXPECT_EQ(ViewDifferences(*win, ViewImage(box)), 0);
        EXPECT_EQ(win->Selection(), nullptr);
    }
}

// ---- Selection tools ------------------------------------------------------------------------------------

TEST_F(Tools, SelectionToolsMakeTheirSelectionsInOneUndoStep)
{
    struct Case {
        const char* Name;
        TCVTool Tool;
        TPoint From;
        std::vector<TPoint> Path;
        bool Made;
        TRect Bounds;
    };
    const Case cases[] = {
        {"rectangle", ctSelectRect, {2, 3}, {{7, 5}, {12, 9}}, true, Rect(2, 3, 12, 9)},
        {"rectangle dragged up and left", ctSelectRect, {12, 9}, {{2, 3}}, true, Rect(2, 3, 12, 9)},
        {"rectangle without width", ctSelectRect, {5, 3}, {{5, 12}}, false, {}},
        {"freehand", ctSelectFreehand, {2, 2}, {{12, 2}, {12, 10}, {2, 10}}, true, Rect(2, 2, 12, 10)},
        {"freehand in one column", ctSelectFreehand, {6, 2}, {{6, 8}, {6, 12}}, false, {}},
        {"freehand in one row", ctSelectFreehand, {2, 6}, {{9, 6}, {14, 6}}, false, {}},
        {"magic wand", ctMagicWand, {5, 5}, {}, true, Rect(4, 4, 9, 8)},
        // Dragged off the left or top edge: the part over the picture, or nothing and no message.
        {"rectangle off the left", ctSelectRect, {6, 3}, {{-8, 9}}, true, Rect(0, 3, 6, 9)},
        {"rectangle off the top", ctSelectRect, {6, 9}, {{2, -7}}, true, Rect(2, 0, 6, 9)},
        {"rectangle off the top left", ctSelectRect, {5, 4}, {{-9, -9}}, true, Rect(0, 0, 5, 4)},
        {"rectangle from the left edge outwards", ctSelectRect, {0, 3}, {{-8, 9}}, false, {}},
        {"rectangle from the top edge outwards", ctSelectRect, {4, 0}, {{9, -6}}, false, {}},
        {"freehand off the left", ctSelectFreehand, {6, 2}, {{-6, 2}, {-6, 10}, {6, 10}}, true, Rect(0, 2, 6, 10)},
        {"freehand off the top", ctSelectFreehand, {2, 8}, {{2, -5}, {12, -5}, {12, 8}}, true, Rect(2, 0, 12, 8)},
        {"freehand from the left edge outwards", ctSelectFreehand, {0, 2}, {{-6, 2}, {-6, 10}, {0, 10}}, false, {}},
        {"freehand from the top edge outwards", ctSelectFreehand, {3, 0}, {{3, -6}, {11, -6}, {11, 0}}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CurrentTool = c.Tool;
        auto win = NewWindow(20, 20);
        for (int y = 4; y < 8; ++y)
            for (int x = 4; x < 9; ++x)
                win->Picture().Row24(y)[x] = Triple(0, 0, 0);
        win->PictureScrollBox().RepaintAll();
        const auto before = ClonePicture(win->Picture());
        std::vector<std::string> shown;
        EventExceptionHandler = [&](QWidget*, const std::string& Message) { shown.push_back(Message); };
        Drag(*win, mbLeft, c.From.X, c.From.Y, c.Path);
        EventExceptionHandler = nullptr;
        EXPECT_TRUE(shown.empty()) << shown.front();
        EXPECT_EQ(win->MouseState, 0);
        EXPECT_EQ(win->FreehandPoints, nullptr);
        EXPECT_EQ(win->UndoList().Count(), 1);
        if (!c.Made) {
            EXPECT_EQ(win->Selection(), nullptr);
            EXPECT_TRUE(SamePixels(win->Picture(), *before));
            EXPECT_EQ(ViewDifferences(*win, ViewImage(win->PictureScrollBox())), 0);
            continue;
        }
        ASSERT_NE(win->Selection(), nullptr);
        EXPECT_EQ(win->Selection()->Bounds(), c.Bounds);
        EXPECT_TRUE(win->Selection()->AntsRunning());
        win->Undo();
        EXPECT_EQ(win->Selection(), nullptr);
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
    }
}

TEST_F(Tools, ANewSelectionShowsAtOnceOverItsHole)
{
    CurrentTool = ctSelectRect;
    auto win = NewWindow(40, 40, true);
    const auto before = ClonePicture(win->Picture());
    Drag(*win, mbLeft, 5, 5, {{30, 30}});
    ASSERT_NE(win->Selection(), nullptr);
    ASSERT_EQ(PixelOf(win->Picture(), 15, 15), kBack); // the hole under it
    const QImage shown = ViewImage(win->PictureScrollBox());
    for (int i = 8; i < 28; ++i)
        ASSERT_EQ(ViewPixel(shown, i, i), PixelOf(*before, i, i)) << i;
}

TEST_F(Tools, NewSelectionsTakeTheTransparentColourOfTheToolSettings)
{
    CurrentTool = ctSelectRect;
    struct Case {
        bool Transparent, IsForeground;
        TColor Expected;
    };
    for (const Case& c : {Case{false, false, -1}, Case{true, true, kFore}, Case{true, false, kBack}}) {
        TransparentSelection = c.Transparent;
        TransparentIsForeground = c.IsForeground;
        auto win = NewWindow(20, 20);
        win->Picture().Row24(5)[5] = Triple(0, 0, 0); // something that is not transparent
        Drag(*win, mbLeft, 2, 2, {{10, 10}});
        ASSERT_NE(win->Selection(), nullptr);
        EXPECT_EQ(win->Selection()->TransparentColour(), c.Expected);
    }
}

TEST_F(Tools, ASelectionIsDraggedByASelectionToolAndDroppedByAPressBesideIt)
{
    CurrentTool = ctSelectRect;
    auto win = NewWindow(30, 30, true);
    Drag(*win, mbLeft, 2, 2, {{8, 6}});
    ASSERT_NE(win->Selection(), nullptr);
    Changes.clear();

    CurrentTool = ctMagicWand; // any selection tool moves it
    Press(*win, mbLeft, 4, 4);
    EXPECT_TRUE(win->Selection()->Moving);
    EXPECT_FALSE(win->Selection()->AntsRunning());
    Move(*win, 9, 6);
    Move(*win, 14, 10);
    Release(*win, mbLeft, 14, 10);
    EXPECT_EQ(win->Selection()->Bounds(), Rect(12, 8, 18, 12));
    EXPECT_FALSE(win->Selection()->Moving);
    EXPECT_TRUE(win->Selection()->AntsRunning());
    ASSERT_FALSE(Changes.empty());
    EXPECT_EQ(Changes.back(), pcSelectionMoved);
    EXPECT_EQ(win->UndoList().Count(), 2);
    win->Undo();
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), Rect(2, 2, 8, 6));

    // A press beside it merges it and starts a new band.
    CurrentTool = ctSelectRect;
    const auto lifted = ClonePicture(win->Selection()->Picture());
    Press(*win, mbLeft, 20, 20);
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_EQ(PixelOf(win->Picture(), 2, 2), PixelOf(*lifted, 0, 0));
    Release(*win, mbLeft, 20, 20);

    // The right button on a selection tool drops the selection and does nothing more.
    Drag(*win, mbLeft, 2, 2, {{8, 6}});
    ASSERT_NE(win->Selection(), nullptr);
    Press(*win, mbRight, 4, 4);
    EXPECT_EQ(win->MouseState, 0);
    EXPECT_EQ(win->Selection(), nullptr);
}

TEST_F(Tools, AnUndoUnderASelectionDragOrABandEndsTheStrokeFirst)
{
    CurrentTool = ctSelectRect;
    {
        SCOPED_TRACE("a selection being dragged goes back to where the drag began");
        auto win = NewWindow(30, 30, true);
        Drag(*win, mbLeft, 2, 2, {{8, 6}});
        Press(*win, mbLeft, 4, 4);
        Move(*win, 14, 14);
        win->Undo();
        EXPECT_EQ(win->MouseState, 0);
        ASSERT_NE(win->Selection(), nullptr);
        EXPECT_FALSE(win->Selection()->Moving);
        EXPECT_EQ(win->Selection()->Bounds(), Rect(2, 2, 8, 6));
        Move(*win, 20, 20);
        Release(*win, mbLeft, 20, 20);
        EXPECT_EQ(win->Selection()->Bounds(), Rect(2, 2, 8, 6));
    }
    {
        SCOPED_TRACE("a band leaves the view and makes no selection");
        auto win = NewWindow(60, 60, true);
        Press(*win, mbLeft, 5, 5);
        Move(*win, 40, 40);
        win->Undo();
        EXPECT_EQ(win->MouseState, 0);
        EXPECT_EQ(ViewDifferences(*win, ViewImage(win->PictureScrollBox())), 0);
        Release(*win, mbLeft, 40, 40);
        EXPECT_EQ(win->Selection(), nullptr);
        EXPECT_EQ(win->UndoList().Count(), 0);
    }
}

TEST_F(Tools, PaintingOverAFloatingSelectionMergesItInTheStrokesUndoStep)
{
    CurrentTool = ctSelectRect;
    auto win = NewWindow(30, 30, true);
    Drag(*win, mbLeft, 2, 2, {{8, 6}});
    Drag(*win, mbLeft, 4, 4, {{14, 14}}); // moved by (10, 10)
    ASSERT_NE(win->Selection(), nullptr);
    const auto lifted = ClonePicture(win->Selection()->Picture());
    const auto under = ClonePicture(win->Picture());
    const int steps = win->UndoList().Count();

    CurrentTool = ctPen;
    Drag(*win, mbLeft, 25, 2, {{25, 8}});
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_EQ(win->UndoList().Count(), steps + 1);
    EXPECT_EQ(PixelOf(win->Picture(), 12, 12), PixelOf(*lifted, 0, 0));
    EXPECT_EQ(PixelOf(win->Picture(), 25, 5), kFore);

    win->Undo();
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), Rect(12, 12, 18, 16));
    EXPECT_TRUE(SamePixels(win->Selection()->Picture(), *lifted));
    EXPECT_TRUE(SamePixels(win->Picture(), *under));
}

TEST_F(Tools, CtrlArrowsNudgeTheSelectionWithoutAnUndoStep)
{
    struct Case {
        const char* Name;
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        TPoint Delta;
    };
    const Case cases[] = {
        {"ctrl left", Qt::Key_Left, Qt::ControlModifier, {-1, 0}},
        {"ctrl up", Qt::Key_Up, Qt::ControlModifier, {0, -1}},
        {"ctrl right", Qt::Key_Right, Qt::ControlModifier, {1, 0}},
        {"ctrl down", Qt::Key_Down, Qt::ControlModifier, {0, 1}},
        {"ctrl shift left", Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier, {0, 0}},
        {"plain right", Qt::Key_Right, Qt::NoModifier, {0, 0}},
        {"ctrl home", Qt::Key_Home, Qt::ControlModifier, {0, 0}},
    };
    CurrentTool = ctSelectRect;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto win = NewWindow(30, 30);
        QTest::keyClick(win.get(), c.Key, c.Modifiers); // without a selection: nothing
        Drag(*win, mbLeft, 5, 5, {{10, 10}});
        ASSERT_NE(win->Selection(), nullptr);
        const int steps = win->UndoList().Count();
        QTest::keyClick(win.get(), c.Key, c.Modifiers);
        EXPECT_EQ(win->Selection()->Bounds(), OffsetRect(Rect(5, 5, 10, 10), c.Delta.X, c.Delta.Y));
        EXPECT_EQ(win->UndoList().Count(), steps);
    }
}

// ---- Dropper and text -----------------------------------------------------------------------------------

TEST_F(Tools, TheDropperPicksTheColourUnderThePointerForTheButtonsColour)
{
    CurrentTool = ctDropper;
    auto win = NewWindow(20, 20);
    win->Picture().Row24(3)[4] = Triple(1, 2, 3);
    win->Picture().Row24(5)[6] = Triple(7, 8, 9);
    Press(*win, mbLeft, 4, 3);
    EXPECT_EQ(win->MouseState, 0);
    Release(*win, mbLeft, 4, 3);
    Press(*win, mbRight, 6, 5);
    Press(*win, mbMiddle, 4, 3);
    EXPECT_EQ(Host.Foreground, std::vector<TColor>{RGB(1, 2, 3)});
    EXPECT_EQ(Host.Background, (std::vector<TColor>{RGB(7, 8, 9), RGB(1, 2, 3)}));
    Move(*win, 6, 5, 0);
    ASSERT_FALSE(Host.ShownRGB.empty());
    EXPECT_EQ(Host.ShownRGB.back(), RGB(7, 8, 9));
    EXPECT_EQ(win->UndoList().Count(), 0);
    EXPECT_FALSE(win->Modified());
}

TEST_F(Tools, TheDropperMergesAFloatingSelectionInAStepOfItsOwn)
{
    CurrentTool = ctSelectRect;
    auto win = NewWindow(20, 20, true);
    Drag(*win, mbLeft, 2, 2, {{6, 6}});
    Drag(*win, mbLeft, 3, 3, {{12, 12}});
    ASSERT_NE(win->Selection(), nullptr);
    const auto under = ClonePicture(win->Picture());
    const TRect bounds = win->Selection()->Bounds();
    CurrentTool = ctDropper;
    Press(*win, mbLeft, 1, 1);
    EXPECT_EQ(win->Selection(), nullptr);
    win->Undo();
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), bounds);
    EXPECT_TRUE(SamePixels(win->Picture(), *under));
}

TEST_F(Tools, TheTextToolAsksTheMainWindowAndLeavesTheSelectionAlone)
{
    CurrentTool = ctSelectRect;
    auto win = NewWindow(20, 20);
    Drag(*win, mbLeft, 2, 2, {{6, 6}});
    const int steps = win->UndoList().Count();
    CurrentTool = ctAddText;
    Press(*win, mbLeft, 10, 10);
    EXPECT_EQ(Host.TextQueries, 1);
    EXPECT_EQ(win->MouseState, 0);
    EXPECT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->UndoList().Count(), steps);
}

// ---- Real mouse events and undo memory -------------------------------------------------------------------

TEST_F(Tools, RealMouseEventsOnTheViewDriveTheTools)
{
    auto win = NewWindow(50, 50);
    win->show();
    QWidget* canvas = win->PictureScrollBox().CanvasControl();
    CurrentTool = ctPen;
    QTest::mousePress(canvas, Qt::RightButton, Qt::NoModifier, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 5), canvas->mapToGlobal(QPointF(20, 5)), Qt::NoButton,
                     Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &move);
    QTest::mouseRelease(canvas, Qt::RightButton, Qt::NoModifier, QPoint(20, 5));
    EXPECT_EQ(PixelOf(win->Picture(), 12, 5), kBack);

    // A double click as Qt delivers it: press, release, press, double click, release.
    CurrentTool = ctSpecialPen;
    FillPicture(win->Picture(), kFore);
    win->UndoList().Clear();
    const QPointF at(30, 30);
    auto send = [&](QEvent::Type Type, Qt::MouseButtons Held) {
        QMouseEvent e(Type, at, canvas->mapToGlobal(at), Qt::LeftButton, Held, Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(PixelOf(win->Picture(), 30, 30), kBack);
    EXPECT_EQ(PixelOf(win->Picture(), 40, 40), kFore);
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(win->MouseState, 0);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(PixelOf(win->Picture(), 40, 40), kBack);
    EXPECT_EQ(win->UndoList().Count(), 2);
    win->Undo();
    EXPECT_EQ(PixelOf(win->Picture(), 40, 40), kFore);
    EXPECT_EQ(PixelOf(win->Picture(), 30, 30), kBack);
}

// The painting tools' steps keep the tiles their strokes reach, each saved before its first change:
// a stroke that comes back over tiles it has painted, runs off the picture's edges or merges a
// selection still undoes to exactly the picture it started from, and so does each older stroke.
TEST_F(Tools, PaintingStepsKeepTheTouchedTilesAndUndoExactly)
{
    struct Case {
        const char* Name;
        TCVTool Tool;
        int Action;    // the special pen's: 0 colour replace, 1 smudge
        int Width;     // brush or shape pen width
        TPoint Start;
        std::vector<TPoint> Path;
        bool Double;   // a double click of the special pen: the colour replaced everywhere
    };
    // 300 x 200: tiles of 64 with narrower ones at the right (44) and bottom (8) edges.
    const Case cases[] = {
        {"pen back and forth over the tiles it painted", ctPen, 0, 9, {60, 60}, {{130, 70}, {20, 62}, {140, 130}, {58, 61}}, false},
        {"pen off the left and top edges", ctPen, 0, 15, {30, 30}, {{-40, 10}, {10, -50}, {-20, -20}}, false},
        {"pen off the right and bottom edges, into the narrow tiles", ctPen, 0, 15, {270, 180}, {{340, 190}, {290, 260}, {299, 199}}, false},
        {"pen out of the picture and across all of it", ctPen, 0, 4, {2, 150}, {{-100, 150}, {400, 150}}, false},
        {"colour replace", ctSpecialPen, 0, 21, {100, 100}, {{200, 120}, {90, 110}}, false},
        {"smudge crossing itself and the edge", ctSpecialPen, 1, 11, {5, 195}, {{120, 150}, {-10, 150}, {60, 210}}, false},
        {"colour replace everywhere on a double click", ctSpecialPen, 0, 3, {150, 100}, {}, true},
        {"spray can off the corner", ctSprayCan, 0, 25, {295, 5}, {{305, -5}}, false},
        {"fill", ctFill, 0, 1, {150, 100}, {}, false},
        {"line shape dragged off the picture", ctShapes, 0, 7, {250, 20}, {{330, 150}, {120, 230}}, false},
        {"ellipse", ctShapes, 0, 5, {40, 40}, {{200, 170}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        CurrentTool = c.Tool;
        PenSettings.Width = c.Width;
        SpecialPenSettings.Action = c.Action;
        SpecialPenSettings.Width = c.Width;
        SpecialPenSettings.Tolerance = 60;
        SprayCanSettings.Width = c.Width;
        SprayCanSettings.Opacity = 50;
        SprayCanSettings.Diffusion = 30;
        ShapeSettings.Shape = c.Name[0] == 'e' ? skEllipse : skLine;
        ShapeSettings.Width = c.Width;
        FillTolerance = 40;
        auto win = NewWindow(300, 200, true, 400, 300);
        const auto original = ClonePicture(win->Picture());
        // An older stroke first, under the new one: its step must survive the newer one's undo.
        CurrentTool = ctPen;
        PenSettings.Width = 5;
        Drag(*win, mbLeft, 10, 100, {{290, 100}});
        CurrentTool = c.Tool;
        PenSettings.Width = c.Width;
        if (c.Double) {
            // The first click of a double click is a stroke of its own.
            Press(*win, mbLeft, c.Start.X, c.Start.Y);
            Release(*win, mbLeft, c.Start.X, c.Start.Y);
        }
        const auto before = ClonePicture(win->Picture());
        const int steps = win->UndoList().Count();

        if (c.Double) {
            Press(*win, mbLeft, c.Start.X, c.Start.Y, ssDouble);
            Release(*win, mbLeft, c.Start.X, c.Start.Y);
        } else {
            Press(*win, mbLeft, c.Start.X, c.Start.Y);
            if (c.Tool == ctSprayCan)
                win->SprayCan->Spray();
            for (const TPoint& p : c.Path) {
                Move(*win, p.X, p.Y);
                if (c.Tool == ctSprayCan)
                    win->SprayCan->Spray();
            }
            const TPoint end = c.Path.empty() ? c.Start : c.Path.back();
            Release(*win, mbLeft, end.X, end.Y);
        }
        ASSERT_FALSE(SamePixels(win->Picture(), *before)) << "the stroke painted nothing";
        auto* step = dynamic_cast<TCVPicGenUndoAction*>(win->UndoList().Items(0));
        ASSERT_NE(step, nullptr);
        ASSERT_NE(step->Tiles(), nullptr);
        EXPECT_EQ(step->Bitmap(), nullptr);
        EXPECT_EQ(win->Picture().UndoTiles, nullptr); // saving ends with the stroke
        win->Undo();
        EXPECT_TRUE(SamePixels(win->Picture(), *before));
        EXPECT_EQ(win->UndoList().Count(), steps);
        // The older steps still take the picture back to what it was.
        while (win->UndoList().Count() > 0)
            win->Undo();
        EXPECT_TRUE(SamePixels(win->Picture(), *original));
    }
}

TEST_F(Tools, APenStrokeOnALargePictureKeepsTheTilesItReachesAndNothingMore)
{
    CurrentTool = ctPen;
    PenSettings.Width = 60;
    auto win = NewWindow(6000, 4000, false, 200, 200);
    // Columns 970 .. 1429 and rows 970 .. 1029: tiles 15 .. 22 across, 15 and 16 down.
    Drag(*win, mbLeft, 1000, 1000, {{1200, 1000}, {1100, 1000}, {1400, 1000}});
    auto* step = dynamic_cast<TCVPicGenUndoAction*>(win->UndoList().Items(0));
    ASSERT_NE(step, nullptr);
    ASSERT_NE(step->Tiles(), nullptr);
    constexpr int tile = TPictureTiles::kTileSize;
    EXPECT_EQ(step->Tiles()->TileCount(), 16);
    EXPECT_EQ(win->UndoList().HeldBytes(), size_t(16) * tile * tile * 3);
    win->Undo();
    for (int y = 960; y < 1090; ++y)
        for (int x = 960; x < 1440; ++x)
            ASSERT_EQ(PixelOf(win->Picture(), x, y), clWhite) << x << ", " << y;
}

TEST_F(Tools, PaintingOverASelectionHangingOffThePictureUndoesExactly)
{
    CurrentTool = ctSelectRect;
    auto win = NewWindow(150, 100, true, 200, 200);
    Drag(*win, mbLeft, 10, 10, {{90, 70}});
    ASSERT_NE(win->Selection(), nullptr);
    // Dragged so that it hangs over the right and bottom edges.
    Drag(*win, mbLeft, 20, 20, {{120, 75}});
    ASSERT_NE(win->Selection(), nullptr);
    const TRect bounds = win->Selection()->Bounds();
    ASSERT_GT(bounds.Right, 150);
    const auto under = ClonePicture(win->Picture());
    const auto lifted = ClonePicture(win->Selection()->Picture());
    CurrentTool = ctPen;
    PenSettings.Width = 3;
    Drag(*win, mbLeft, 5, 5, {{6, 6}});
    EXPECT_EQ(win->Selection(), nullptr);
    win->Undo();
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_EQ(win->Selection()->Bounds(), bounds);
    EXPECT_TRUE(SamePixels(win->Selection()->Picture(), *lifted));
    EXPECT_TRUE(SamePixels(win->Picture(), *under));
}

TEST_F(Tools, SmallStrokesOnALargePictureKeepOnlyTheirChangedRectanglesForUndo)
{
    CurrentTool = ctPen;
    PenSettings.Width = 5;
    auto win = NewWindow(6000, 4000, false, 200, 200);
    for (int i = 0; i < 5; ++i)
        Drag(*win, mbLeft, 10 + 20 * i, 10, {{15 + 20 * i, 30}});
    EXPECT_EQ(win->UndoList().Count(), 5);
    EXPECT_LT(win->UndoList().HeldBytes(), size_t(1) << 20);
    for (int i = 0; i < 5; ++i)
        win->Undo();
    for (int x = 0; x < 120; ++x)
        for (int y = 0; y < 40; ++y)
            ASSERT_EQ(PixelOf(win->Picture(), x, y), clWhite) << x << ", " << y;
}

} // namespace
