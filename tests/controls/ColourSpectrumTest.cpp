// The HSV spectrum: colour conversions, the picture's layout, colour <-> point mapping, and the
// control's marker, picking and rebuilding.
#include "controls/ColourSpectrum.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

QRgb PixelAt(const QImage& Image, int X, int Y)
{
    return Image.pixel(X, Y) | 0xFF000000u;
}

QRgb QRgbOf(TColor C)
{
    return qRgb(GetRValue(C), GetGValue(C), GetBValue(C));
}

int ChannelDistance(TColor A, TColor B)
{
    return std::max({std::abs(GetRValue(A) - GetRValue(B)), std::abs(GetGValue(A) - GetGValue(B)),
                     std::abs(GetBValue(A) - GetBValue(B))});
}

} // namespace

TEST(ColourSpectrumHSV, ConversionsFollowTheSixSectors)
{
    const struct {
        double H, S, V, R, G, B;
    } cases[] = {
        {0, 1, 1, 1, 0, 0},       {60, 1, 1, 1, 1, 0},   {120, 1, 1, 0, 1, 0},  {180, 1, 1, 0, 1, 1},
        {240, 1, 1, 0, 0, 1},     {300, 1, 1, 1, 0, 1},  {360, 1, 1, 1, 0, 0},  {30, 1, 1, 1, 0.5, 0},
        {60, 0.5, 1, 1, 1, 0.5},  {200, 0, 0.25, 0.25, 0.25, 0.25},
    };
    for (const auto& c : cases) {
        double r, g, b;
        HSVToRGB(c.H, c.S, c.V, r, g, b);
        EXPECT_NEAR(r, c.R, 1e-12) << c.H << " " << c.S << " " << c.V;
        EXPECT_NEAR(g, c.G, 1e-12) << c.H << " " << c.S << " " << c.V;
        EXPECT_NEAR(b, c.B, 1e-12) << c.H << " " << c.S << " " << c.V;
        if (c.S > 0 && c.H < 360) {
            double h, s, v;
            RGBToHSV(r, g, b, h, s, v);
            EXPECT_NEAR(h, c.H, 1e-9);
            EXPECT_NEAR(s, c.S, 1e-9);
            EXPECT_NEAR(v, c.V, 1e-9);
        }
    }
    double h, s, v;
    RGBToHSV(0.5, 0.5, 0.5, h, s, v);
    EXPECT_TRUE(std::isnan(h));
    EXPECT_EQ(s, 0);
    EXPECT_EQ(v, 0.5);
    RGBToHSV(1, 0, 0.5, h, s, v);
    EXPECT_NEAR(h, 330, 1e-9) << "negative hues wrap";
}

TEST(ColourSpectrumMap, DefaultSizeLayout)
{
    TSpectrumMap map;
    map.Build(105, 105, true);
    EXPECT_EQ(map.GreyBandHeight(), 8);
    EXPECT_DOUBLE_EQ(map.ValueStep(), 1.0 / 51);
    EXPECT_DOUBLE_EQ(map.HueStep(), 360.0 / 97);
    EXPECT_EQ(map.PointToColour(0, 0), clBlack);
    EXPECT_EQ(map.PointToColour(51, 0), clRed) << "full hue reached at half - 1";
    EXPECT_EQ(map.PointToColour(52, 0), clRed);
    EXPECT_EQ(map.PointToColour(104, 0), clWhite);
    EXPECT_EQ(map.PointToColour(51, 96), RGB(255, 0, 16)) << "last hue row, just short of red again";
    EXPECT_EQ(map.PointToColour(0, 97), clBlack) << "grey band";
    EXPECT_EQ(map.PointToColour(104, 104), clWhite);
    EXPECT_EQ(map.PointToColour(52, 100), RGB(128, 128, 128));
    EXPECT_EQ(map.PointToColour(105, 0), -1);
    EXPECT_EQ(map.PointToColour(0, -1), -1);

    TSpectrumMap side;
    side.Build(66, 111, true);
    EXPECT_EQ(side.GreyBandHeight(), 9);
    side.Build(66, 111, false);
    EXPECT_EQ(side.GreyBandHeight(), 0);
    EXPECT_EQ(side.PointToColour(32, 110), RGB(255, 0, 14)) << "hue rows reach the bottom";
}

TEST(ColourSpectrumMap, ColourToPoint)
{
    TSpectrumMap band, plain;
    band.Build(105, 105, true);
    plain.Build(105, 105, false);
    const struct {
        const TSpectrumMap* Map;
        TColor Colour;
        int Tolerance;
        TPoint Point;
    } cases[] = {
        {&band, clRed, 0, {51, 0}},
        {&band, clLime, 0, {51, 32}},
        {&band, RGB(255, 128, 128), 0, {52 + 26, 0}},    // hue-to-white half
        {&band, RGB(128, 128, 128), 30, {52, 101}},      // grey band, middle row
        {&band, RGB(140, 120, 120), 30, {57, 101}},      // near grey within the tolerance
        {&band, RGB(140, 120, 120), 0, {96, 0}},         // the same in the colour area, nearer white
        {&band, RGB(255, 0, 3), 0, {51, 96}},            // a hue just below 360 stays off the band
        {&band, -1, 0, {-1, -1}},
        {&band, clBtnFace, 0, {-1, -1}},                 // system colours have no point
        {&plain, clBlack, 30, {0, 52}},
        {&plain, clWhite, 30, {104, 52}},
        {&plain, RGB(128, 128, 128), 30, {-1, -1}},
        {&plain, RGB(120, 60, 60), 0, {24, 0}},          // dull colour: the column of its value
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Map->ColourToPoint(c.Colour, c.Tolerance), c.Point)
            << std::hex << c.Colour << " tolerance " << std::dec << c.Tolerance;
}

TEST(ColourSpectrumMap, EveryColouredPixelMapsBackNearItself)
{
    TSpectrumMap map;
    map.Build(66, 111, true);
    const int rows = 111 - map.GreyBandHeight();
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < 66; ++x) {
            const TColor c = map.PointToColour(x, y);
            const TPoint p = map.ColourToPoint(c, 0);
            if (GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)) {
                // The black and white ends of the colour area: greys go to the band.
                EXPECT_GE(p.Y, rows) << x << "," << y;
                continue;
            }
            ASSERT_TRUE(p.X >= 0 && p.Y >= 0 && p.Y < rows) << x << "," << y;
            EXPECT_LE(ChannelDistance(map.PointToColour(p.X, p.Y), c), 16) << x << "," << y;
        }
}

TEST(ColourSpectrumMap, SizesTooSmallGiveNoPoints)
{
    TSpectrumMap map;
    const struct {
        int W, H;
        bool Greys;
    } sizes[] = {{3, 50, true}, {50, 0, true}, {0, 0, false}, {-5, 20, true}};
    for (const auto& s : sizes) {
        map.Build(s.W, s.H, s.Greys);
        EXPECT_EQ(map.ColourToPoint(clRed, 0), (TPoint{-1, -1})) << s.W << "x" << s.H;
        EXPECT_EQ(map.ColourToPoint(clBlack, 30), (TPoint{-1, -1})) << s.W << "x" << s.H;
    }
    map.Build(4, 11, true); // band of 0 rows: greys take the ends of the colour area
    EXPECT_EQ(map.ColourToPoint(clWhite, 30), (TPoint{3, 5}));
    EXPECT_EQ(map.PointToColour(1, 0), clRed);
}

// ---- The control -----------------------------------------------------------------------------------

TEST(ColourSpectrumControl, MarkerRingsTheSelectedColour)
{
    TColourSpectrum spectrum;
    EXPECT_EQ(spectrum.size(), QSize(105, 105));
    EXPECT_EQ(spectrum.Colour(), -1);
    EXPECT_EQ(spectrum.SelectionPoint(), (TPoint{-1, -1}));
    const QImage bare = spectrum.grab().toImage();

    spectrum.SetColour(clLime);
    const TPoint p = spectrum.SelectionPoint();
    ASSERT_EQ(p, (TPoint{51, 32}));
    const QImage marked = spectrum.grab().toImage();
    bool black = false, white = false;
    for (int y = 0; y < 105; ++y)
        for (int x = 0; x < 105; ++x) {
            const QRgb now = PixelAt(marked, x, y);
            const bool inRing = x >= p.X - 3 && x < p.X + 3 && y >= p.Y - 3 && y < p.Y + 3;
            if (!inRing) {
                ASSERT_EQ(now, PixelAt(bare, x, y)) << x << "," << y;
                continue;
            }
            black |= now == qRgb(0, 0, 0);
            white |= now == qRgb(255, 255, 255);
        }
    EXPECT_TRUE(black && white);
    EXPECT_EQ(PixelAt(marked, p.X, p.Y), QRgbOf(spectrum.PointToColour(p.X, p.Y))) << "the ring is hollow";

    spectrum.SetShowSelection(false);
    EXPECT_EQ(spectrum.grab().toImage().convertToFormat(QImage::Format_RGB32),
              bare.convertToFormat(QImage::Format_RGB32));
}

TEST(ColourSpectrumControl, PickingAPointSelectsItsColour)
{
    TColourSpectrum spectrum;
    TColor picked = -1;
    Qt::MouseButton button = Qt::NoButton;
    // What the main window does: read the colour under the press, then place the marker there.
    spectrum.OnMouseDown = [&](QWidget*, Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        button = b;
        picked = spectrum.PointToColour(x, y);
        spectrum.SetSelectionPoint({x, y});
    };
    TColor hovered = -1;
    spectrum.OnMouseMove = [&](QWidget*, Qt::MouseButtons, Qt::KeyboardModifiers, int x, int y) {
        hovered = spectrum.PointToColour(x, y);
    };
    spectrum.show();
    // Sent straight to the control: QTest::mouseMove sends nothing when an earlier test left the
    // cursor at the same place on the screen.
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 10), spectrum.mapToGlobal(QPointF(30, 10)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&spectrum, &move);
    EXPECT_EQ(hovered, spectrum.Map().PointToColour(30, 10)) << "moves without a button reach the control";
    QTest::mouseClick(&spectrum, Qt::RightButton, {}, QPoint(20, 40));
    EXPECT_EQ(button, Qt::RightButton);
    EXPECT_EQ(picked, spectrum.Map().PointToColour(20, 40));
    EXPECT_EQ(spectrum.Colour(), picked);
    EXPECT_EQ(spectrum.SelectionPoint(), (TPoint{20, 40}));

    spectrum.SetSelectionPoint({105, 40}); // outside: ignored
    EXPECT_EQ(spectrum.SelectionPoint(), (TPoint{20, 40}));
    spectrum.SetSelectionPoint({10, 100}); // grey band counts
    EXPECT_EQ(spectrum.Colour(), spectrum.Map().PointToColour(10, 100));
}

TEST(ColourSpectrumControl, ResizeRebuildsAndPlacesTheMarkerExactly)
{
    TColourSpectrum spectrum;
    const TColor nearGrey = RGB(140, 120, 120);
    spectrum.SetColour(nearGrey);
    EXPECT_EQ(spectrum.SelectionPoint().Y, 101) << "on the grey band";
    spectrum.resize(66, 111);
    EXPECT_EQ(spectrum.Map().BuiltWidth(), 66);
    EXPECT_EQ(spectrum.Map().GreyBandHeight(), 9);
    EXPECT_EQ(spectrum.SelectionPoint(), spectrum.Map().ColourToPoint(nearGrey, 0));
    EXPECT_LT(spectrum.SelectionPoint().Y, 111 - 9) << "moved into the colour area";

    spectrum.SetColour(RGB(128, 128, 128));
    spectrum.SetShowGreys(false);
    EXPECT_EQ(spectrum.Map().GreyBandHeight(), 0);
    EXPECT_EQ(spectrum.SelectionPoint(), (TPoint{-1, -1})) << "a mid grey has no place without the band";
    spectrum.SetColour(clBlack);
    EXPECT_EQ(spectrum.SelectionPoint(), (TPoint{0, 55}));
}
