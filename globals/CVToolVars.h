#pragma once
// The program-wide tool state: paint colours, the selected tool and its cursor, and one settings
// record per tool. The main window's tool panel writes it; picture windows, tools and dialogs read it
// at the moment they need it (every mouse press, every dialog opening). GUI thread only.
#include "platform/Graphics.h"

#include <cstdint>
#include <iterator>
#include <memory>

enum TCVTool : uint8_t {
    ctPen = 0,
    ctFill = 1,
    ctSpecialPen = 2,
    ctSprayCan = 3,
    ctShapes = 4,
    ctAddText = 5,
    ctDropper = 6,
    ctDrag = 7,
    ctZoom = 8,
    ctSelectRect = 9,
    ctSelectFreehand = 10,
    ctMagicWand = 11,
};

// Tool cursor identifiers and the names of their resources.
enum : int16_t {
    crCVPen = 10, crCVFill, crCVDropper, crCVCircleFill, crCVCircleLine, crCVRectFill, crCVRectLine,
    crCVLine, crCVZoom, crCVSelectRect, crCVSelectFreehand, crCVMagicWand, crCVMove, crCVText,
    crCVSmallDropper, crCVSprayCan, crCVDrag,
};
inline constexpr int16_t crCVFirstToolCursor = crCVPen;
inline constexpr int16_t crCVLastToolCursor = crCVDrag;
inline constexpr const char* ToolCursorNames[] = {
    "PEN", "FILL", "DROPPER", "CIRCLE_FILL", "CIRCLE_LINE", "RECT_FILL", "RECT_LINE", "LINE", "ZOOM",
    "SELECTRECT", "SELECTFREEHAND", "MAGICWAND", "MOVE", "TEXT", "SML_DROPPER", "SPRAYCAN", "DRAG",
};
static_assert(std::size(ToolCursorNames) == crCVLastToolCursor - crCVFirstToolCursor + 1);

enum TShapeKind : uint8_t { skLine = 0, skSquare = 1, skRectangle = 2, skCircle = 3, skEllipse = 4 };

// Pen tip: Width x Width, 24-bit, black = painted, white = not. The masks are made and freed by the
// main window.
struct TPenSettings {
    int Width = 1; // 1..500
    std::unique_ptr<TBitmap> Mask;
};
struct TSpecialPenSettings {
    uint8_t Action = 0; // 0 colour replace, 1 smudge
    int Width = 1;      // 1..500
    int Tolerance = 0;  // 0..255, colour-replace tolerance
    int Opacity = 40;   // 0..100, smudge strength in percent
    std::unique_ptr<TBitmap> Mask;
};
struct TSprayCanSettings {
    int Width = 60;    // 1..500, spray diameter
    int Interval = 10; // milliseconds between sprays
    int Opacity = 60;  // 0..100
    int Diffusion = 0; // 0..100
    std::unique_ptr<TBitmap> Mask; // round tip of Width
};
struct TShapeSettings {
    int Width = 1;             // border width 1..500
    TShapeKind Shape = skLine;
    bool Filled = false;
};

inline TColor ForegroundColour = clBlack;
inline TColor BackgroundColour = clWhite;
inline TRGBTriple ForegroundRGB{0, 0, 0};
inline TRGBTriple BackgroundRGB{255, 255, 255};
inline int16_t CurrentCursor = crCVPen;
inline int FillTolerance = 0;      // 0..255
inline int MagicWandTolerance = 0; // 0..255
inline TCVTool CurrentTool = ctPen;
inline TPenSettings PenSettings;
inline TSpecialPenSettings SpecialPenSettings;
inline TSprayCanSettings SprayCanSettings;
inline TShapeSettings ShapeSettings;
inline bool TransparentSelection = false;
inline bool TransparentIsForeground = false;

// Transparent colour for a new selection or paste: -1 (none) unless TransparentSelection, else the
// foreground or background colour as TransparentIsForeground says.
inline TColor SelectionTransparentColour()
{
    if (!TransparentSelection)
        return -1;
    return TransparentIsForeground ? ForegroundColour : BackgroundColour;
}
