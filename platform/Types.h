#pragma once
// Basic value types of the drawing layer: colours, points, rectangles and pixel records.
#include <algorithm>
#include <cstdint>

// A colour value: red in bits 0-7, green in 8-15, blue in 16-23. Values with the top bit set name a
// system colour (clSystemColor | index) and are resolved through ColorToRGB. -1 means "no colour".
using TColor = int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;

// System colour indices (clSystemColor | index).
enum TSystemColorIndex : int32_t {
    COLOR_SCROLLBAR = 0, COLOR_BACKGROUND, COLOR_ACTIVECAPTION, COLOR_INACTIVECAPTION, COLOR_MENU,
    COLOR_WINDOW, COLOR_WINDOWFRAME, COLOR_MENUTEXT, COLOR_WINDOWTEXT, COLOR_CAPTIONTEXT,
    COLOR_ACTIVEBORDER, COLOR_INACTIVEBORDER, COLOR_APPWORKSPACE, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
    COLOR_BTNFACE, COLOR_BTNSHADOW, COLOR_GRAYTEXT, COLOR_BTNTEXT, COLOR_INACTIVECAPTIONTEXT,
    COLOR_BTNHIGHLIGHT, COLOR_3DDKSHADOW, COLOR_3DLIGHT, COLOR_INFOTEXT, COLOR_INFOBK,
    COLOR_SYSTEM_COUNT
};

constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
constexpr TColor clMenu = clSystemColor | COLOR_MENU;
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;

// The classic light-grey desktop scheme; one table for every system colour.
inline constexpr TColor kSystemColors[COLOR_SYSTEM_COUNT] = {
    0xC8C8C8, 0x000000, 0x6A240A, 0x808080, 0xF0F0F0, 0xFFFFFF, 0x000000, 0x000000, 0x000000,
    0xFFFFFF, 0xD4D0C8, 0xD4D0C8, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4, 0x808080, 0x808080,
    0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000, 0xE1FFFF,
};

// Resolves a system colour to its RGB value; plain colours come back with the top byte cleared.
inline constexpr TColor ColorToRGB(TColor c)
{
    if (c < 0 && c != -1) {
        const int32_t idx = c & 0xFF;
        return idx < COLOR_SYSTEM_COUNT ? kSystemColors[idx] : 0;
    }
    return c & 0x00FFFFFF;
}

inline constexpr TColor RGB(uint8_t r, uint8_t g, uint8_t b)
{
    return static_cast<TColor>(r | (g << 8) | (b << 16));
}
inline constexpr uint8_t GetRValue(TColor c) { return static_cast<uint8_t>(c & 0xFF); }
inline constexpr uint8_t GetGValue(TColor c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
inline constexpr uint8_t GetBValue(TColor c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

#pragma pack(push, 1)
// One 24-bit pixel as it stands in a row: blue, green, red.
struct TRGBTriple {
    uint8_t rgbtBlue = 0;
    uint8_t rgbtGreen = 0;
    uint8_t rgbtRed = 0;
    friend constexpr bool operator==(const TRGBTriple&, const TRGBTriple&) = default;
};
// One colour-table entry or 32-bit pixel: blue, green, red, reserved.
struct TRGBQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
    friend constexpr bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TRGBTriple) == 3 && sizeof(TRGBQuad) == 4);

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend constexpr bool operator==(const TPoint&, const TPoint&) = default;
};

// A rectangle; Right and Bottom are exclusive.
struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    constexpr int32_t Width() const { return Right - Left; }
    constexpr int32_t Height() const { return Bottom - Top; }
    constexpr TPoint TopLeft() const { return {Left, Top}; }
    constexpr TPoint BottomRight() const { return {Right, Bottom}; }
    friend constexpr bool operator==(const TRect&, const TRect&) = default;
};

inline constexpr TPoint Point(int32_t x, int32_t y) { return {x, y}; }
inline constexpr TRect Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return {l, t, r, b}; }
inline constexpr TRect Bounds(int32_t l, int32_t t, int32_t w, int32_t h) { return {l, t, l + w, t + h}; }

inline constexpr bool IsRectEmpty(const TRect& r) { return r.Right <= r.Left || r.Bottom <= r.Top; }
inline constexpr bool PtInRect(const TRect& r, const TPoint& p)
{
    return p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom;
}
// Intersection; an empty result becomes (0,0,0,0) and gives false.
inline constexpr bool IntersectRect(TRect& out, const TRect& a, const TRect& b)
{
    out = {std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
           std::min(a.Bottom, b.Bottom)};
    if (IsRectEmpty(out)) {
        out = {};
        return false;
    }
    return true;
}
inline constexpr TRect OffsetRect(const TRect& r, int32_t dx, int32_t dy)
{
    return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy};
}
inline constexpr TRect InflateRect(const TRect& r, int32_t dx, int32_t dy)
{
    return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
