#pragma once
// The HSV spectrum picker: hue from top to bottom, black -> full hue -> white from left to right,
// an optional grey band along the bottom, and a ring marker on the selected colour.
#include "controls/XGraphicCtrls.h"
#include "platform/Graphics.h"

#include <vector>

// H in degrees (360 counts as 0), S and V in 0..1; results in 0..1.
void HSVToRGB(double H, double S, double V, double& R, double& G, double& B);
// R, G and B in 0..1; H in degrees 0..360 (NaN when S is 0), S and V in 0..1.
void RGBToHSV(double R, double G, double B, double& H, double& S, double& V);

// The spectrum picture of one size and the mapping between its points and colours.
class TSpectrumMap {
public:
    TSpectrumMap() = default;
    TSpectrumMap(const TSpectrumMap&) = delete;
    TSpectrumMap& operator=(const TSpectrumMap&) = delete;

    // Redraws the picture at W x H. Sizes too small for a spectrum (W below 4, or no row above the
    // grey band) give a black picture on which no colour has a point.
    void Build(int W, int H, bool ShowGreys);

    const TBitmap& Bitmap() const { return FBitmap; }
    int BuiltWidth() const { return FBuiltWidth; }
    int BuiltHeight() const { return FBuiltHeight; }
    bool ShowGreys() const { return FShowGreys; }
    int GreyBandHeight() const { return FGreyBandHeight; }
    double HueStep() const { return FHueStep; }
    double SaturationStep() const { return FSaturationStep; }
    double ValueStep() const { return FValueStep; }
    double GreyStep() const { return FGreyStep; }

    // The colour of the picture at (X, Y), grey band included; -1 outside the picture.
    TColor PointToColour(int X, int Y) const;
    // Where Colour lies on the picture; a colour whose channels differ by at most Tolerance counts
    // as grey. (-1, -1) for a negative colour and for a grey that has no place.
    TPoint ColourToPoint(TColor Colour, int Tolerance) const;

private:
    TBitmap FBitmap{0, 0, pf24bit};
    int FBuiltWidth = 0;
    int FBuiltHeight = 0;
    bool FShowGreys = true;
    bool FValid = false;
    int FGreyBandHeight = 0;
    double FHueStep = 0;
    double FSaturationStep = 0;
    double FValueStep = 0;
    double FGreyStep = 0;
};

// Draws the selection ring centred on P onto Canvas: black outside, white inside, clear middle.
void DrawSpectrumMarker(TCanvas& Canvas, const TPoint& P);

class TColourSpectrum : public TXGraphicControl {
public:
    explicit TColourSpectrum(QWidget* Parent = nullptr);

    bool ShowGreys() const { return FShowGreys; }
    void SetShowGreys(bool Value);
    bool ShowSelection() const { return FShowSelection; }
    void SetShowSelection(bool Value);

    // The selected colour (-1: none) and the marker's point ((-1, -1): no marker).
    TColor Colour() const { return FColour; }
    TPoint SelectionPoint() const { return FSelectionPoint; }
    // Selects Colour and moves the marker to its point (greys within 30 go to the grey band). No event.
    void SetColour(TColor Colour);
    // Moves the marker to a point of the picture and selects the colour there. No event.
    void SetSelectionPoint(const TPoint& Point);

    TColor PointToColour(int X, int Y);
    TPoint ColourToPoint(TColor Colour, int Tolerance);

    // The picture as last built (rebuilt first when the control's size changed).
    const TSpectrumMap& Map();

    // The grey tolerance of SetColour and ShowGreys.
    static constexpr int kGreyTolerance = 30;

protected:
    // Rebuilds the picture at the control's size.
    virtual void BuildSpectrum();
    void Paint(QPainter& Canvas) override;

private:
    // After a size change: rebuild and place the marker again (exact greys only).
    void EnsureBuilt();
    void UpdateMarker(const TPoint& Old);

    TSpectrumMap FMap;
    TBitmap FDisplay{0, 0, pf24bit};
    bool FShowGreys = true;
    bool FShowSelection = true;
    TColor FColour = -1;
    TPoint FSelectionPoint{-1, -1};
};
