// HSV spectrum picture, colour/point mapping and the spectrum control.
#include "controls/ColourSpectrum.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

void HSVToRGB(double H, double S, double V, double& R, double& G, double& B)
{
    if (S == 0) {
        R = G = B = V;
        return;
    }
    if (H == 360)
        H = 0;
    const int i = std::clamp(static_cast<int>(H / 60), 0, 5);
    const double f = H / 60 - i;
    const double p = V * (1 - S);
    const double q = V * (1 - S * f);
    const double t = V * (1 - S * (1 - f));
    switch (i) {
    case 0: R = V, G = t, B = p; break;
    case 1: R = q, G = V, B = p; break;
    case 2: R = p, G = V, B = t; break;
    case 3: R = p, G = q, B = V; break;
    case 4: R = t, G = p, B = V; break;
    default: R = V, G = p, B = q; break;
    }
}

void RGBToHSV(double R, double G, double B, double& H, double& S, double& V)
{
    const double mx = std::max({R, G, B});
    const double mn = std::min({R, G, B});
    const double delta = mx - mn;
    V = mx;
    if (mx == 0 || delta == 0) {
        S = 0;
        H = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    S = delta / mx;
    if (R == mx)
        H = 60 * (G - B) / delta;
    else if (G == mx)
        H = 120 + 60 * (B - R) / delta;
    else
        H = 240 + 60 * (R - G) / delta;
    if (H < 0)
        H += 360;
}

namespace {

uint8_t ChannelByte(double C)
{
    return static_cast<uint8_t>(std::clamp(static_cast<int>(C * 255 + 0.5), 0, 255));
}

} // namespace

// ---- TSpectrumMap ----------------------------------------------------------------------------------

void TSpectrumMap::Build(int W, int H, bool ShowGreys)
{
    W = std::max(0, W);
    H = std::max(0, H);
    FBitmap.SetSize(W, H);
    FBuiltWidth = W;
    FBuiltHeight = H;
    FShowGreys = ShowGreys;
    FGreyBandHeight = ShowGreys ? H / 12 : 0;
    const int hueRows = H - FGreyBandHeight;
    FValid = W >= 4 && hueRows >= 1;
    if (!FValid) {
        FHueStep = FSaturationStep = FValueStep = FGreyStep = 0;
        for (int y = 0; W > 0 && y < H; ++y)
            std::fill_n(FBitmap.ScanLine(y), 3 * W, uint8_t(0));
        return;
    }

    const int half = W / 2;
    FValueStep = FSaturationStep = 1.0 / (half - 1);
    // Left half: black to the full hue; right half: the full hue to white.
    std::vector<double> values(W), saturations(W);
    double v = 0.0, s = 1.0;
    for (int x = 0; x < W; ++x) {
        values[x] = v;
        saturations[x] = s;
        if (x < half)
            v = std::min(1.0, v + FValueStep);
        else
            s = std::max(0.0, s - FSaturationStep);
    }

    FHueStep = 360.0 / hueRows;
    double hue = 0.0;
    for (int y = 0; y < hueRows; ++y) {
        TRGBTriple* row = FBitmap.Row24(y);
        for (int x = 0; x < W; ++x) {
            double r, g, b;
            HSVToRGB(hue, saturations[x], values[x], r, g, b);
            row[x] = {ChannelByte(b), ChannelByte(g), ChannelByte(r)};
        }
        hue = std::min(360.0, hue + FHueStep);
    }

    FGreyStep = 255.0 / (W - 1);
    for (int y = hueRows; y < H; ++y) {
        TRGBTriple* row = FBitmap.Row24(y);
        double grey = 0.0;
        for (int x = 0; x < W; ++x) {
            const auto level = static_cast<uint8_t>(std::min(255, static_cast<int>(grey + 0.5)));
            row[x] = {level, level, level};
            grey = std::min(255.0, grey + FGreyStep);
        }
    }
}

TColor TSpectrumMap::PointToColour(int X, int Y) const
{
    if (X < 0 || X >= FBitmap.Width() || Y < 0 || Y >= FBitmap.Height())
        return -1;
    const TRGBTriple& p = FBitmap.Row24(Y)[X];
    return RGB(p.rgbtRed, p.rgbtGreen, p.rgbtBlue);
}

TPoint TSpectrumMap::ColourToPoint(TColor Colour, int Tolerance) const
{
    constexpr TPoint none{-1, -1};
    if (Colour < 0 || !FValid)
        return none;
    const int W = FBitmap.Width();
    const int H = FBitmap.Height();
    const int hueRows = H - FGreyBandHeight;
    const int r = GetRValue(Colour), g = GetGValue(Colour), b = GetBValue(Colour);
    const int mx = std::max({r, g, b}), mn = std::min({r, g, b});

    if (mx - mn <= Tolerance) {
        if (FGreyBandHeight > 0) {
            const int x = std::min(W - 1, static_cast<int>(r / FGreyStep + 0.5));
            return {x, H - FGreyBandHeight / 2};
        }
        // Only black and white lie on the colour area: at its two ends.
        const int y = hueRows / 2;
        if (mn == 0)
            return {0, y};
        if (mx == 255)
            return {W - 1, y};
        return none;
    }

    double h, s, v;
    RGBToHSV(r / 255.0, g / 255.0, b / 255.0, h, s, v);
    int x;
    if (s == 1 || (v < 1 && s >= v)) {
        // On the black-to-hue half (a dull colour goes to the column of its value).
        x = static_cast<int>(v / FValueStep + 0.5);
    } else {
        // On the hue-to-white half (a dark pastel goes to the column of its saturation).
        x = W / 2 + static_cast<int>((1 - s) / FSaturationStep + 0.5);
    }
    // Hues just below 360 round to one row past the last hue row, onto the grey band.
    const int y = std::min(hueRows - 1, static_cast<int>(h / FHueStep + 0.5));
    return {std::clamp(x, 0, W - 1), y};
}

void DrawSpectrumMarker(TCanvas& Canvas, const TPoint& P)
{
    Canvas.Brush.Style = bsClear;
    Canvas.Pen.Width = 1;
    Canvas.Pen.Style = psSolid;
    Canvas.Pen.Mode = pmCopy;
    Canvas.Pen.Color = clBlack;
    Canvas.Ellipse(P.X - 3, P.Y - 3, P.X + 3, P.Y + 3);
    Canvas.Pen.Color = clWhite;
    Canvas.Ellipse(P.X - 2, P.Y - 2, P.X + 2, P.Y + 2);
}

// ---- TColourSpectrum -------------------------------------------------------------------------------

TColourSpectrum::TColourSpectrum(QWidget* Parent) : TXGraphicControl(Parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(105, 105);
    BuildSpectrum();
}

void TColourSpectrum::BuildSpectrum()
{
    FMap.Build(width(), height(), FShowGreys);
}

void TColourSpectrum::EnsureBuilt()
{
    if (FMap.BuiltWidth() == width() && FMap.BuiltHeight() == height())
        return;
    BuildSpectrum();
    FSelectionPoint = FMap.ColourToPoint(FColour, 0);
    update();
}

const TSpectrumMap& TColourSpectrum::Map()
{
    EnsureBuilt();
    return FMap;
}

void TColourSpectrum::UpdateMarker(const TPoint& Old)
{
    // The ring covers 6 x 6 pixels around its point.
    if (Old.X >= 0)
        update(QRect(Old.X - 3, Old.Y - 3, 6, 6));
    if (FSelectionPoint.X >= 0)
        update(QRect(FSelectionPoint.X - 3, FSelectionPoint.Y - 3, 6, 6));
}

void TColourSpectrum::SetColour(TColor Colour)
{
    EnsureBuilt();
    if (Colour == FColour)
        return;
    const TPoint old = FSelectionPoint;
    FColour = Colour;
    FSelectionPoint = FMap.ColourToPoint(Colour, kGreyTolerance);
    UpdateMarker(old);
}

void TColourSpectrum::SetSelectionPoint(const TPoint& Point)
{
    EnsureBuilt();
    if (FMap.PointToColour(Point.X, Point.Y) < 0 || Point == FSelectionPoint)
        return;
    const TPoint old = FSelectionPoint;
    FSelectionPoint = Point;
    FColour = FMap.PointToColour(Point.X, Point.Y);
    UpdateMarker(old);
}

TColor TColourSpectrum::PointToColour(int X, int Y)
{
    EnsureBuilt();
    return FMap.PointToColour(X, Y);
}

TPoint TColourSpectrum::ColourToPoint(TColor Colour, int Tolerance)
{
    EnsureBuilt();
    return FMap.ColourToPoint(Colour, Tolerance);
}

void TColourSpectrum::SetShowGreys(bool Value)
{
    if (Value == FShowGreys)
        return;
    FShowGreys = Value;
    BuildSpectrum();
    FSelectionPoint = FMap.ColourToPoint(FColour, kGreyTolerance);
    update();
}

void TColourSpectrum::SetShowSelection(bool Value)
{
    if (Value == FShowSelection)
        return;
    FShowSelection = Value;
    if (FSelectionPoint.X >= 0)
        update();
}

void TColourSpectrum::Paint(QPainter& Canvas)
{
    EnsureBuilt();
    FDisplay.Assign(&FMap.Bitmap());
    if (FShowSelection && FSelectionPoint.X >= 0)
        DrawSpectrumMarker(FDisplay.Canvas(), FSelectionPoint);
    Canvas.drawImage(0, 0, FDisplay.AsQImage());
}
