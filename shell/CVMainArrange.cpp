// The Window menu's arrangements as plain geometry.
#include "shell/CVMainArrange.h"

#include <algorithm>
#include <cstdint>

namespace {

// The start of part I of Extent cut into N nearly equal parts (the last one ends at Extent).
int PartStart(int Extent, int N, int I)
{
    return static_cast<int>(static_cast<int64_t>(Extent) * I / N);
}

// Puts the minimised windows along the bottom of Area, left to right, a new row above when a row is
// full; answers the top of the band they take (Area's height when there are none).
int PlaceIcons(const std::vector<TArrangedWindow>& Windows, const QSize& Area, std::vector<QRect>& Result)
{
    int x = 0, bottom = Area.height(), rowHeight = 0;
    bool any = false;
    for (size_t i = 0; i < Windows.size(); ++i) {
        if (!Windows[i].Minimized)
            continue;
        const QSize size = Windows[i].Geometry.size();
        if (x > 0 && x + size.width() > Area.width()) {
            bottom -= rowHeight;
            x = 0;
            rowHeight = 0;
        }
        Result[i] = QRect(QPoint(x, bottom - size.height()), size);
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
        any = true;
    }
    return any ? bottom - rowHeight : Area.height();
}

// Tiles the windows Normal into Area: Stacked puts them one above the other (in columns when one
// column cannot hold them all), otherwise side by side (in rows when one row cannot).
void Tile(const std::vector<size_t>& Normal, const std::vector<TArrangedWindow>& Windows, const QSize& Area,
          bool Stacked, std::vector<QRect>& Result)
{
    const int n = static_cast<int>(Normal.size());
    int minAcross = 1; // the windows' minimum along the direction they are lined up in
    for (size_t i : Normal)
        minAcross = std::max(minAcross, Stacked ? Windows[i].MinimumSize.height() : Windows[i].MinimumSize.width());
    const int along = Stacked ? Area.height() : Area.width();
    const int across = Stacked ? Area.width() : Area.height();
    const int perLine = std::max(1, along / minAcross);
    const int lines = n <= perLine ? 1 : (n + perLine - 1) / perLine;
    int next = 0;
    for (int line = 0; line < lines; ++line) {
        const int count = n / lines + (line < n % lines ? 1 : 0);
        const int a0 = PartStart(across, lines, line), a1 = PartStart(across, lines, line + 1);
        for (int k = 0; k < count; ++k) {
            const int b0 = PartStart(along, count, k), b1 = PartStart(along, count, k + 1);
            Result[Normal[size_t(next++)]] =
                Stacked ? QRect(a0, b0, a1 - a0, b1 - b0) : QRect(b0, a0, b1 - b0, a1 - a0);
        }
    }
}

void Cascade(const std::vector<size_t>& Normal, const std::vector<TArrangedWindow>& Windows, const QSize& Area,
             int TitleHeight, std::vector<QRect>& Result)
{
    const int step = std::max(1, TitleHeight);
    int k = 0;
    for (size_t i : Normal) {
        const QSize minimum = Windows[i].MinimumSize.boundedTo(Area).expandedTo(QSize(1, 1));
        int offset = k * step;
        if (k > 0 && (Area.width() - offset < minimum.width() || Area.height() - offset < minimum.height())) {
            k = 0;
            offset = 0;
        }
        const QSize own = Windows[i].Geometry.size();
        const int w = std::clamp(own.width(), minimum.width(), Area.width() - offset);
        const int h = std::clamp(own.height(), minimum.height(), Area.height() - offset);
        Result[i] = QRect(offset, offset, w, h);
        ++k;
    }
}

} // namespace

std::vector<QRect> ArrangeWindows(TWindowArrangement How, const std::vector<TArrangedWindow>& Windows,
                                  const QSize& Area, int TitleHeight)
{
    std::vector<QRect> result;
    result.reserve(Windows.size());
    for (const TArrangedWindow& w : Windows)
        result.push_back(w.Geometry);
    const int iconTop = PlaceIcons(Windows, Area, result);
    if (How == waArrangeIcons)
        return result;
    // The other windows share what the minimised ones leave free.
    const QSize free = QSize(Area.width(), iconTop).expandedTo(QSize(1, 1));
    std::vector<size_t> normal;
    for (size_t i = 0; i < Windows.size(); ++i)
        if (!Windows[i].Minimized)
            normal.push_back(i);
    if (normal.empty())
        return result;
    if (How == waCascade)
        Cascade(normal, Windows, free, TitleHeight, result);
    else
        Tile(normal, Windows, free, How == waTileHorizontal, result);
    return result;
}
