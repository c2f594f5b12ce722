#pragma once
// The Window menu's arrangements of the frame's child windows, as plain geometry: given the area, the
// height of a title bar and each window's place, size and state, where every window goes.
#include <QRect>
#include <QSize>

#include <vector>

enum TWindowArrangement {
    waCascade,        // overlapping, each a title bar lower and further right than the one below it
    waTileHorizontal, // one above the other, each across the whole width
    waTileVertical,   // side by side, each over the whole height
    waArrangeIcons,   // only the minimised windows move: along the bottom
};

struct TArrangedWindow {
    QRect Geometry;     // where the window is now, in area coordinates
    bool Minimized = false;
    QSize MinimumSize;  // the smallest size at which a normal window is still usable
};

// The new geometry of every window, in the order given. Minimised windows line up along the bottom,
// left to right, in rows from the bottom up; the other arrangements keep that band free. Cascade
// takes the windows bottom of the stack first (each later one overlaps the one before it), keeps a
// window's own size where it fits and otherwise what is left of the area from its offset (never less
// than its minimum), and starts again at the top left when the next offset leaves no usable room.
// The tilings share the area out evenly; when a row (column) would drop below the windows' minimum
// height (width), they go into as few columns (rows) as keep it.
std::vector<QRect> ArrangeWindows(TWindowArrangement How, const std::vector<TArrangedWindow>& Windows,
                                  const QSize& Area, int TitleHeight);
