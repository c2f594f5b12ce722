#pragma once
// Helpers on bitmaps: the position stack of the region-growing operations, colour and pixel helpers,
// exact copies, searching for an unused colour, shrinking by area averaging, and drawing, filling and
// recolouring through a mask.
#include "image/ArrayObjects.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

CANVELLO_EXCEPTION(EPixelPosListException, Exception)

// A last-in-first-out stack of pixel positions packed as X shl 16 or Y (each 0..65535).
class TPixelPosList {
public:
    TPixelPosList() = default;
    virtual ~TPixelPosList() = default;

    void Push(int X, int Y) { FItems.push_back((uint32_t(X) << 16) | uint32_t(Y)); }
    int Count() const { return static_cast<int>(FItems.size()); }
    bool ValidIndex(int Index) const { return Index >= 0 && Index < Count(); }
    // Raise "Invalid Index" outside 0..Count-1.
    int GetX(int Index) const;
    int GetY(int Index) const;
    // Raise "Can not get last item - the list is empty" on an empty stack.
    int LastX() const;
    int LastY() const;
    void DeleteLast();
    void Clear() { FItems.clear(); }

private:
    uint32_t Last() const;
    std::vector<uint32_t> FItems;
};

// ---- Colours and pixels -------------------------------------------------------------------------
inline constexpr uint8_t RedOf(TColor Colour) { return static_cast<uint8_t>(Colour & 0xFF); }
inline constexpr uint8_t GreenOf(TColor Colour) { return static_cast<uint8_t>((Colour >> 8) & 0xFF); }
inline constexpr uint8_t BlueOf(TColor Colour) { return static_cast<uint8_t>((Colour >> 16) & 0xFF); }
// The pixel bytes of a colour value (only its three low bytes count).
inline constexpr TRGBTriple ColorToTriple(TColor Colour)
{
    return TRGBTriple{BlueOf(Colour), GreenOf(Colour), RedOf(Colour)};
}
inline constexpr TColor TripleToColor(const TRGBTriple& T)
{
    return static_cast<TColor>(T.rgbtRed | (T.rgbtGreen << 8) | (T.rgbtBlue << 16));
}
inline constexpr bool SameTriple(const TRGBTriple& A, const TRGBTriple& B)
{
    return A.rgbtRed == B.rgbtRed && A.rgbtGreen == B.rgbtGreen && A.rgbtBlue == B.rgbtBlue;
}
// Every channel differs by at most Tolerance.
inline bool TriplesWithinTolerance(int Tolerance, const TRGBTriple& A, const TRGBTriple& B)
{
    return std::abs(A.rgbtRed - B.rgbtRed) <= Tolerance && std::abs(A.rgbtGreen - B.rgbtGreen) <= Tolerance &&
           std::abs(A.rgbtBlue - B.rgbtBlue) <= Tolerance;
}

// Raises EBool2DArrayError "GetItem - Invalid Index" unless Mask (when given) covers W x H; operations
// that read a mask unchecked call it before changing anything.
void CheckMaskCovers(const TBool2DArray* Mask, int W, int H);

// ---- Bitmaps ----------------------------------------------------------------------------------
using TIntegerArray = std::vector<int32_t>;

// True for null or a graphic that reports itself empty.
bool IsGraphicEmpty(const TGraphic* Graphic);
// Dest takes Source's pixel format, size, colour table and pixels exactly (Dest's transparency
// settings stay its own).
void CopyBitmap(const TBitmap& Source, TBitmap& Dest);

// The lowest colour value (red varying fastest) that no unmasked pixel of a 24-bit Bitmap has.
// False when every colour is used or the search fails.
bool FindUnusedColour(TBitmap& Bitmap, const TBool2DArray* Mask, TColor& Colour);
// The same over the pixels inside Rect (put in order, clipped to the picture; right and bottom
// exclusive). False, and Colour untouched, when the clipped rectangle holds no pixel.
bool FindUnusedColourInRect(TBitmap& Bitmap, TRect Rect, TColor& Colour);

// Box tables for averaging Src pixels into Dst along one axis: destination i averages the source
// indices Start[i] .. End[i] (both included). When shrinking, every source index lies in exactly one
// box; when enlarging, each destination index takes the one source index under it.
void BuildShrinkTables(int Src, int Dst, TIntegerArray& Start, TIntegerArray& End);

// Dest becomes a W x H 24-bit area-averaged copy of Source (an exact copy when the size is the same).
// Source is switched to 24-bit.
void SmoothResize(TBitmap& Source, TBitmap& Dest, int W, int H);
// The same in place.
void SmoothResizeBitmap(TBitmap& Bitmap, int W, int H);
// Averages only the source pixels that SourceMask leaves in; a destination pixel whose box has none
// becomes EmptyColour and, when DestMask is given, True in DestMask (sized W x H).
void SmoothResizeMasked(TBitmap& Source, TBitmap& Dest, int W, int H, const TBool2DArray& SourceMask,
                        TColor EmptyColour, TBool2DArray* DestMask);

// Copies Source's unmasked pixels onto Dest shifted by (DX, DY); both are switched to 24-bit.
// Raises Exception "DrawMaskedBitmap Error - Invalid bitmap/s" when either is null.
void DrawMaskedBitmap(TBitmap* Source, TBitmap* Dest, int DX, int DY, const TBool2DArray* Mask);
// Every pixel matching FromColour within Tolerance becomes ToColour (Bitmap switched to 24-bit).
void ReplaceBitmapColour(TBitmap& Bitmap, TColor FromColour, TColor ToColour, int Tolerance);
// Every pixel whose mask item is True becomes Colour; nothing when either is null.
void FillMaskedArea(TBitmap* Bitmap, const TBool2DArray* Mask, TColor Colour);
