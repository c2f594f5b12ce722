#include "image/SelPoints.h"

#include "platform/Graphics.h"

#include <QImage>

#include <algorithm>
#include <cstdlib>

// ---- TPicPointArray ------------------------------------------------------------------------------

namespace {
const char* const kAddError = "Add Error - Can not exceed maximum index";
const char* const kPointIndexInvalid = "Get Point - Point index invalid";
const char* const kNoFirstPoint = "Can not get first point";
const char* const kNoLastPoint = "Can not get last point";
const char* const kPolygonIndexInvalid = "Get Point - index invalid";
} // namespace

void TPicPointArray::Add(const TPoint& P)
{
    if (Count() >= kMaxPicPoints)
        throw EPicSelectionError(kAddError);
    FPoints.push_back(P);
}

int32_t TPicPointArray::AddPoint(const TPoint& P)
{
    Add(P);
    return Count() - 1;
}

void TPicPointArray::GetPoint(int32_t Index, TPoint& P) const
{
    if (Index < 0 || Index >= Count())
        throw EPicSelectionError(kPointIndexInvalid);
    P = FPoints[size_t(Index)];
}

void TPicPointArray::FirstPoint(TPoint& P) const
{
    if (FPoints.empty())
        throw EPicSelectionError(kNoFirstPoint);
    P = FPoints.front();
}

void TPicPointArray::LastPoint(TPoint& P) const
{
    if (FPoints.empty())
        throw EPicSelectionError(kNoLastPoint);
    P = FPoints.back();
}

void TPicPointArray::SetLastPoint(const TPoint& P)
{
    if (FPoints.empty())
        throw EPicSelectionError(kNoLastPoint);
    FPoints.back() = P;
}

void TPicPointArray::SetLastX(int32_t X)
{
    if (FPoints.empty())
        throw EPicSelectionError(kNoLastPoint);
    FPoints.back().X = X;
}

void TPicPointArray::SetLastY(int32_t Y)
{
    if (FPoints.empty())
        throw EPicSelectionError(kNoLastPoint);
    FPoints.back().Y = Y;
}

void TPicPointArray::Assign(const TPicPointArray* Source)
{
    if (Source && Source != this)
        FPoints = Source->FPoints;
}

void TPicPointArray::SetFromRect(const TRect& R)
{
    FPoints = {{R.Left, R.Top}, {R.Right - 1, R.Top}, {R.Right - 1, R.Bottom - 1}, {R.Left, R.Bottom - 1}, {R.Left, R.Top}};
}

void TPicPointArray::Offset(int32_t DX, int32_t DY)
{
    for (TPoint& p : FPoints) {
        p.X += DX;
        p.Y += DY;
    }
}

void TPicPointArray::GetBounds(TRect& R) const
{
    R = {};
    if (FPoints.empty())
        return;
    R = {FPoints[0].X, FPoints[0].Y, FPoints[0].X, FPoints[0].Y};
    for (const TPoint& p : FPoints) {
        R.Left = std::min(R.Left, p.X);
        R.Right = std::max(R.Right, p.X);
        R.Top = std::min(R.Top, p.Y);
        R.Bottom = std::max(R.Bottom, p.Y);
    }
}

bool TPicPointArray::HasArea() const
{
    if (FPoints.empty())
        return false;
    const TPoint first = FPoints[0];
    return std::any_of(FPoints.begin() + 1, FPoints.end(),
                       [&](const TPoint& p) { return p.X != first.X && p.Y != first.Y; });
}

// ---- Drawing index ---------------------------------------------------------------------------------
//
// Each polygon is cut into chunks of consecutive segments whose points fit in one tile; a grid of
// tiles lists the chunks that touch it. A repaint looks only at the tiles over the target and draws
// their chunks in polygon and segment order, each starting from the dash counter stored with it.

struct TPicSelectionPoints::TIndex {
    struct TChunk {
        int32_t Polygon = 0;
        int32_t First = 0; // segments from point First to point Last
        int32_t Last = 0;
        bool EndsPolygon = false; // the chunk also draws the polygon's last point alone
        int64_t Counter = 0;      // dash counter at point First
        TRect Box;                // inclusive bounds of points First..Last, in index space
    };
    TPoint BuiltOrigin; // Origin when the index was built: index space = points - (Origin - BuiltOrigin)
    int32_t Tile = 256;
    int32_t GridLeft = 0, GridTop = 0, Cols = 0, Rows = 0;
    std::vector<TChunk> Chunks;
    std::vector<int64_t> CellStart; // Cols * Rows + 1 offsets into CellChunks
    std::vector<int32_t> CellChunks;
    std::vector<uint32_t> Stamps; // per chunk: the last query that took it
    uint32_t Query = 0;
};

namespace {

// Pixels a dashed segment draws: it leaves out its end pixel.
inline int64_t SegmentPixels(const TPoint& A, const TPoint& B)
{
    return std::max(std::abs(int64_t(B.X) - A.X), std::abs(int64_t(B.Y) - A.Y));
}

inline int64_t FloorDiv(int64_t N, int64_t D) { return N / D - ((N % D != 0) && ((N < 0) != (D < 0))); }

// N / D rounded to the nearest integer, halves to the even neighbour (D != 0).
inline int64_t RoundDivEven(int64_t N, int64_t D)
{
    if (D < 0) {
        N = -N;
        D = -D;
    }
    const int64_t q = FloorDiv(N, D), r2 = 2 * (N - q * D);
    if (r2 > D || (r2 == D && (q & 1)))
        return q + 1;
    return q;
}

// The dash colour of the pixel with counter C: the flag starts True for a phase below 3 and flips
// before every pixel whose counter minus the phase offset is a non-negative multiple of 3.
struct TDashPattern {
    bool StartBlack;
    int64_t Offset;
    explicit TDashPattern(int32_t Phase) : StartBlack(Phase < 3), Offset(Phase % 3) {}
    bool Black(int64_t C) const
    {
        const int64_t flips = C >= Offset ? (C - Offset) / 3 + 1 : 0;
        return StartBlack != ((flips & 1) != 0);
    }
};

// Draws the dashed line from A towards B without its end pixel, only the pixels inside W x H;
// Counter counts every pixel of the line.
template <typename TWriter>
void DashSegment(TWriter& Put, const TPoint& A, const TPoint& B, int64_t& Counter, const TDashPattern& Dash,
                 int32_t W, int32_t H)
{
    const int64_t dx = int64_t(B.X) - A.X, dy = int64_t(B.Y) - A.Y;
    const bool stepY = std::abs(dx) <= std::abs(dy);
    const int64_t n = stepY ? std::abs(dy) : std::abs(dx);
    if (n == 0)
        return;
    const int64_t start = Counter;
    Counter += n;
    if (std::max<int64_t>(A.X, B.X) < 0 || std::min<int64_t>(A.X, B.X) >= W || std::max<int64_t>(A.Y, B.Y) < 0 ||
        std::min<int64_t>(A.Y, B.Y) >= H)
        return;
    // Clip the steps along the major axis to the target.
    const int64_t major0 = stepY ? A.Y : A.X, sign = (stepY ? dy : dx) > 0 ? 1 : -1, limit = stepY ? H : W;
    int64_t t0 = 0, t1 = n; // steps t0 .. t1 - 1
    if (sign > 0) {
        t0 = std::max<int64_t>(t0, -major0);
        t1 = std::min<int64_t>(t1, limit - major0);
    } else {
        t0 = std::max<int64_t>(t0, major0 - (limit - 1));
        t1 = std::min<int64_t>(t1, major0 + 1);
    }
    const int64_t minorDelta = stepY ? dx : dy, minor0 = stepY ? A.X : A.Y, minorLimit = stepY ? W : H;
    for (int64_t t = t0; t < t1; ++t) {
        const int64_t major = major0 + sign * t;
        const int64_t minor = minorDelta == 0 ? minor0 : minor0 + RoundDivEven(t * minorDelta, n);
        if (minor < 0 || minor >= minorLimit)
            continue;
        if (stepY)
            Put(int32_t(minor), int32_t(major), Dash.Black(start + t));
        else
            Put(int32_t(major), int32_t(minor), Dash.Black(start + t));
    }
}

template <typename TWriter>
void DashPoint(TWriter& Put, const TPoint& P, int64_t& Counter, const TDashPattern& Dash, int32_t W, int32_t H)
{
    if (P.X >= 0 && P.X < W && P.Y >= 0 && P.Y < H)
        Put(P.X, P.Y, Dash.Black(Counter));
    ++Counter;
}

} // namespace

// ---- TPicSelectionPoints -------------------------------------------------------------------------

TPicSelectionPoints::TPicSelectionPoints() = default;

TPicSelectionPoints::~TPicSelectionPoints() { Clear(); }

void TPicSelectionPoints::Clear()
{
    FPolygons.clear();
    FIndex.reset();
    FOrigin = {};
}

TPicPointArray* TPicSelectionPoints::AddPolygon()
{
    FIndex.reset();
    FPolygons.push_back(std::make_unique<TPicPointArray>());
    return FPolygons.back().get();
}

TPicPointArray* TPicSelectionPoints::GetPolygon(int32_t Index)
{
    if (Index < 0 || Index >= Count())
        throw EPicSelectionError(kPolygonIndexInvalid);
    FIndex.reset();
    return FPolygons[size_t(Index)].get();
}

const TPicPointArray* TPicSelectionPoints::GetPolygon(int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw EPicSelectionError(kPolygonIndexInvalid);
    return FPolygons[size_t(Index)].get();
}

void TPicSelectionPoints::Assign(const TPicSelectionPoints* Source)
{
    if (Source == this)
        return;
    Clear();
    if (!Source)
        return;
    FOrigin = Source->FOrigin;
    FPolygons.reserve(Source->FPolygons.size());
    for (const auto& p : Source->FPolygons) {
        FPolygons.push_back(std::make_unique<TPicPointArray>());
        FPolygons.back()->Assign(p.get());
    }
}

void TPicSelectionPoints::SetOrigin(const TPoint& P)
{
    const int32_t dx = P.X - FOrigin.X, dy = P.Y - FOrigin.Y;
    if (dx != 0 || dy != 0)
        for (auto& p : FPolygons)
            p->Offset(dx, dy);
    FOrigin = P;
}

const TPicSelectionPoints::TIndex& TPicSelectionPoints::Index() const
{
    if (FIndex)
        return *FIndex;
    auto index = std::make_unique<TIndex>();
    index->BuiltOrigin = FOrigin;
    // The whole extent decides the tile size, so that the grid stays near a million cells at most.
    bool any = false;
    int64_t minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (const auto& poly : FPolygons)
        for (const TPoint& p : poly->Points()) {
            if (!any) {
                minX = maxX = p.X;
                minY = maxY = p.Y;
                any = true;
            }
            minX = std::min<int64_t>(minX, p.X);
            maxX = std::max<int64_t>(maxX, p.X);
            minY = std::min<int64_t>(minY, p.Y);
            maxY = std::max<int64_t>(maxY, p.Y);
        }
    if (any) {
        const int64_t extent = std::max(maxX - minX, maxY - minY) + 1;
        index->Tile = int32_t(std::max<int64_t>(256, extent / 1024 + 1));
        index->GridLeft = int32_t(minX);
        index->GridTop = int32_t(minY);
        index->Cols = int32_t((maxX - minX) / index->Tile + 1);
        index->Rows = int32_t((maxY - minY) / index->Tile + 1);
    }
    // Chunks of at most 64 segments whose points span at most one tile (a longer single segment
    // makes a chunk of its own).
    const int64_t tile = index->Tile;
    for (int32_t pi = 0; pi < Count(); ++pi) {
        const std::vector<TPoint>& pts = FPolygons[size_t(pi)]->Points();
        const int32_t n = int32_t(pts.size());
        int64_t counter = 0;
        int32_t first = 0;
        while (first < n) {
            TIndex::TChunk c;
            c.Polygon = pi;
            c.First = first;
            c.Counter = counter;
            c.Box = {pts[first].X, pts[first].Y, pts[first].X, pts[first].Y};
            int32_t last = first;
            while (last + 1 < n && last - first < 64) {
                const TPoint& q = pts[size_t(last) + 1];
                const TRect grown = {std::min(c.Box.Left, q.X), std::min(c.Box.Top, q.Y), std::max(c.Box.Right, q.X),
                                     std::max(c.Box.Bottom, q.Y)};
                if (last > first &&
                    (int64_t(grown.Right) - grown.Left >= tile || int64_t(grown.Bottom) - grown.Top >= tile))
                    break;
                counter += SegmentPixels(pts[size_t(last)], q);
                c.Box = grown;
                ++last;
            }
            c.Last = last;
            c.EndsPolygon = last == n - 1;
            index->Chunks.push_back(c);
            if (c.EndsPolygon)
                break;
            first = last;
        }
    }
    // Cells: counted, then filled.
    const size_t cells = size_t(index->Cols) * size_t(index->Rows);
    index->CellStart.assign(cells + 1, 0);
    auto forCells = [&](const TIndex::TChunk& c, auto&& Visit) {
        const int64_t c0 = (int64_t(c.Box.Left) - index->GridLeft) / tile, c1 = (int64_t(c.Box.Right) - index->GridLeft) / tile;
        const int64_t r0 = (int64_t(c.Box.Top) - index->GridTop) / tile, r1 = (int64_t(c.Box.Bottom) - index->GridTop) / tile;
        for (int64_t r = r0; r <= r1; ++r)
            for (int64_t col = c0; col <= c1; ++col)
                Visit(size_t(r) * size_t(index->Cols) + size_t(col));
    };
    for (const auto& c : index->Chunks)
        forCells(c, [&](size_t cell) { ++index->CellStart[cell + 1]; });
    for (size_t i = 0; i < cells; ++i)
        index->CellStart[i + 1] += index->CellStart[i];
    index->CellChunks.resize(size_t(index->CellStart[cells]));
    std::vector<int64_t> fill(index->CellStart.begin(), index->CellStart.end() - 1);
    for (int32_t i = 0; i < int32_t(index->Chunks.size()); ++i)
        forCells(index->Chunks[size_t(i)], [&](size_t cell) { index->CellChunks[size_t(fill[cell]++)] = i; });
    index->Stamps.assign(index->Chunks.size(), 0);
    FIndex = std::move(index);
    return *FIndex;
}

template <typename TWriter>
void TPicSelectionPoints::Draw(TWriter& Writer, int32_t Width, int32_t Height, int32_t AntsPhase) const
{
    if (FPolygons.empty() || Width <= 0 || Height <= 0)
        return;
    const TIndex& index = Index();
    TIndex& mutableIndex = const_cast<TIndex&>(index); // query stamps only
    if (index.Cols == 0)
        return;
    // The target in index space.
    const int64_t shiftX = int64_t(FOrigin.X) - index.BuiltOrigin.X, shiftY = int64_t(FOrigin.Y) - index.BuiltOrigin.Y;
    const int64_t left = -shiftX, top = -shiftY, right = left + Width - 1, bottom = top + Height - 1;
    const int64_t tile = index.Tile;
    const int64_t c0 = std::max<int64_t>(0, FloorDiv(left - index.GridLeft, tile));
    const int64_t c1 = std::min<int64_t>(index.Cols - 1, FloorDiv(right - index.GridLeft, tile));
    const int64_t r0 = std::max<int64_t>(0, FloorDiv(top - index.GridTop, tile));
    const int64_t r1 = std::min<int64_t>(index.Rows - 1, FloorDiv(bottom - index.GridTop, tile));
    if (c0 > c1 || r0 > r1)
        return;
    if (++mutableIndex.Query == 0) {
        std::fill(mutableIndex.Stamps.begin(), mutableIndex.Stamps.end(), 0u);
        mutableIndex.Query = 1;
    }
    const uint32_t query = index.Query;
    std::vector<int32_t> visible;
    for (int64_t r = r0; r <= r1; ++r)
        for (int64_t c = c0; c <= c1; ++c) {
            const size_t cell = size_t(r) * size_t(index.Cols) + size_t(c);
            for (int64_t k = index.CellStart[cell]; k < index.CellStart[cell + 1]; ++k) {
                const int32_t id = index.CellChunks[size_t(k)];
                const TIndex::TChunk& chunk = index.Chunks[size_t(id)];
                if (mutableIndex.Stamps[size_t(id)] == query || chunk.Box.Right < left || chunk.Box.Left > right ||
                    chunk.Box.Bottom < top || chunk.Box.Top > bottom)
                    continue;
                mutableIndex.Stamps[size_t(id)] = query;
                visible.push_back(id);
            }
        }
    // Later pixels overwrite earlier ones where polygons meet, so keep the drawing order.
    std::sort(visible.begin(), visible.end());
    const TDashPattern dash(AntsPhase);
    for (const int32_t id : visible) {
        const TIndex::TChunk& chunk = index.Chunks[size_t(id)];
        const std::vector<TPoint>& pts = FPolygons[size_t(chunk.Polygon)]->Points();
        int64_t counter = chunk.Counter;
        for (int32_t i = chunk.First; i < chunk.Last; ++i)
            DashSegment(Writer, pts[size_t(i)], pts[size_t(i) + 1], counter, dash, Width, Height);
        if (chunk.EndsPolygon)
            DashPoint(Writer, pts[size_t(chunk.Last)], counter, dash, Width, Height);
    }
}

void TPicSelectionPoints::DrawDashes(TBitmap& Target, int32_t AntsPhase) const
{
    if (Target.Empty())
        return;
    if (Target.PixelFormat() == pf24bit || Target.PixelFormat() == pf32bit) {
        uint8_t* bits = Target.Bits();
        const int64_t stride = Target.RowBytes();
        const int bpp = Target.PixelFormat() == pf24bit ? 3 : 4;
        auto put = [=](int32_t X, int32_t Y, bool Black) {
            uint8_t* p = bits + Y * stride + int64_t(X) * bpp;
            const uint8_t v = Black ? 0 : 255;
            p[0] = p[1] = p[2] = v;
        };
        Draw(put, Target.Width(), Target.Height(), AntsPhase);
        return;
    }
    auto put = [&](int32_t X, int32_t Y, bool Black) { Target.SetPixelColor(X, Y, Black ? clBlack : clWhite); };
    Draw(put, Target.Width(), Target.Height(), AntsPhase);
}

void TPicSelectionPoints::DrawDashes(QImage& Target, int32_t AntsPhase) const
{
    if (Target.isNull())
        return;
    const QImage::Format f = Target.format();
    if (f == QImage::Format_RGB32 || f == QImage::Format_ARGB32 || f == QImage::Format_ARGB32_Premultiplied) {
        uint8_t* bits = Target.bits();
        const int64_t stride = Target.bytesPerLine();
        auto put = [=](int32_t X, int32_t Y, bool Black) {
            *reinterpret_cast<uint32_t*>(bits + Y * stride + int64_t(X) * 4) = Black ? 0xFF000000u : 0xFFFFFFFFu;
        };
        Draw(put, Target.width(), Target.height(), AntsPhase);
        return;
    }
    if (f == QImage::Format_RGB888 || f == QImage::Format_BGR888) {
        uint8_t* bits = Target.bits();
        const int64_t stride = Target.bytesPerLine();
        auto put = [=](int32_t X, int32_t Y, bool Black) {
            uint8_t* p = bits + Y * stride + int64_t(X) * 3;
            p[0] = p[1] = p[2] = Black ? 0 : 255;
        };
        Draw(put, Target.width(), Target.height(), AntsPhase);
        return;
    }
    auto put = [&](int32_t X, int32_t Y, bool Black) { Target.setPixelColor(X, Y, Black ? Qt::black : Qt::white); };
    Draw(put, Target.width(), Target.height(), AntsPhase);
}

// ---- Outline tracing -------------------------------------------------------------------------------

namespace {

enum : uint8_t { kLeft = 1, kTop = 2, kRight = 4, kBottom = 8 };

// The open sides of every selected pixel: 1 left, 2 top, 4 right, 8 bottom; 0 for masked pixels.
void BuildEdgeMap(const TBool2DArray& Mask, TByte2DArray& Edges)
{
    const int W = Mask.Width, H = Mask.Height;
    Edges.SetSize(W, H);
    for (int y = 0; y < H; ++y) {
        const bool* row = Mask.Row(y);
        const bool* up = y > 0 ? Mask.Row(y - 1) : nullptr;
        const bool* down = y < H - 1 ? Mask.Row(y + 1) : nullptr;
        uint8_t* out = Edges.Row(y);
        for (int x = 0; x < W; ++x) {
            if (row[x]) {
                out[x] = 0;
                continue;
            }
            uint8_t v = 0;
            if (x == 0 || row[x - 1])
                v |= kLeft;
            if (x == W - 1 || row[x + 1])
                v |= kRight;
            if (!up || up[x])
                v |= kTop;
            if (!down || down[x])
                v |= kBottom;
            out[x] = v;
        }
    }
}

// Zoom 1: chains of edge pixels, each step to the first remaining edge pixel among the eight
// neighbours, clockwise from north.
void TraceEdgePixels(TByte2DArray& Edges, TPicSelectionPoints& Outline)
{
    static constexpr int kDX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
    static constexpr int kDY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
    const int W = Edges.Width, H = Edges.Height;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (Edges.Item(x, y) == 0)
                continue;
            TPicPointArray* poly = Outline.AddPolygon();
            int cx = x, cy = y;
            for (;;) {
                Edges.Item(cx, cy) = 0;
                poly->Add({cx, cy});
                int k = 0;
                for (; k < 8; ++k) {
                    const int nx = cx + kDX[k], ny = cy + kDY[k];
                    if (nx >= 0 && nx < W && ny >= 0 && ny < H && Edges.Item(nx, ny) != 0)
                        break;
                }
                if (k == 8)
                    break;
                cx += kDX[k];
                cy += kDY[k];
            }
        }
}

struct TSide {
    int32_t X, Y;
    uint8_t Bit;
};

// The ends of a side of picture pixel (X, Y) at zoom Z, walked clockwise: from the corner before
// it to the corner after it, on the innermost zoomed pixels.
struct TSideEnds {
    TPoint From, To;
};
TSideEnds SideEnds(const TSide& S, int64_t Z)
{
    const int32_t x0 = int32_t(S.X * Z), y0 = int32_t(S.Y * Z), x1 = int32_t((S.X + 1) * Z - 1),
                  y1 = int32_t((S.Y + 1) * Z - 1);
    switch (S.Bit) {
    case kLeft: return {{x0, y1}, {x0, y0}};
    case kTop: return {{x0, y0}, {x1, y0}};
    case kRight: return {{x1, y0}, {x1, y1}};
    default: return {{x1, y1}, {x0, y1}};
    }
}

// The next side clockwise from S: a turn within the pixel, a straight step to the neighbour, or a
// turn onto a diagonal neighbour (an inner corner, Diagonal set).
bool NextSide(const TByte2DArray& E, const TSide& S, TSide& Next, bool& Diagonal)
{
    const int X = S.X, Y = S.Y, MaxX = E.Width - 1, MaxY = E.Height - 1;
    const uint8_t here = E.Item(X, Y);
    Diagonal = false;
    auto has = [&](int x, int y, uint8_t bit) { return (E.Item(x, y) & bit) != 0; };
    switch (S.Bit) {
    case kLeft:
        if (here & kTop) { Next = {X, Y, kTop}; return true; }
        if (Y > 0 && has(X, Y - 1, kLeft)) { Next = {X, Y - 1, kLeft}; return true; }
        if (X > 0 && Y > 0 && has(X - 1, Y - 1, kBottom)) { Next = {X - 1, Y - 1, kBottom}; Diagonal = true; return true; }
        return false;
    case kTop:
        if (here & kRight) { Next = {X, Y, kRight}; return true; }
        if (X < MaxX && has(X + 1, Y, kTop)) { Next = {X + 1, Y, kTop}; return true; }
        if (X < MaxX && Y > 0 && has(X + 1, Y - 1, kLeft)) { Next = {X + 1, Y - 1, kLeft}; Diagonal = true; return true; }
        return false;
    case kRight:
        if (here & kBottom) { Next = {X, Y, kBottom}; return true; }
        if (Y < MaxY && has(X, Y + 1, kRight)) { Next = {X, Y + 1, kRight}; return true; }
        if (Y < MaxY && X < MaxX && has(X + 1, Y + 1, kTop)) { Next = {X + 1, Y + 1, kTop}; Diagonal = true; return true; }
        return false;
    default: // bottom
        if (here & kLeft) { Next = {X, Y, kLeft}; return true; }
        if (X > 0 && has(X - 1, Y, kBottom)) { Next = {X - 1, Y, kBottom}; return true; }
        if (X > 0 && Y < MaxY && has(X - 1, Y + 1, kRight)) { Next = {X - 1, Y + 1, kRight}; Diagonal = true; return true; }
        return false;
    }
}

// Zoom Z > 1: polygons along the zoomed borders of the selected pixels; straight runs stay two points.
void TraceZoomedBorders(TByte2DArray& Edges, int32_t Zoom, TPicSelectionPoints& Outline)
{
    const int W = Edges.Width, H = Edges.Height;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (const uint8_t bit : {kLeft, kTop, kRight, kBottom}) {
                if ((Edges.Item(x, y) & bit) == 0)
                    continue;
                Edges.Item(x, y) &= uint8_t(~bit);
                TPicPointArray* poly = Outline.AddPolygon();
                TSide side{x, y, bit};
                const TSideEnds first = SideEnds(side, Zoom);
                poly->Add(first.From);
                poly->Add(first.To);
                TSide next;
                bool diagonal;
                while (NextSide(Edges, side, next, diagonal)) {
                    Edges.Item(next.X, next.Y) &= uint8_t(~next.Bit);
                    const TSideEnds ends = SideEnds(next, Zoom);
                    if (diagonal) {
                        // Bring the corner onto the new side's line.
                        if (next.Bit == kBottom || next.Bit == kTop)
                            poly->SetLastY(ends.From.Y);
                        else
                            poly->SetLastX(ends.From.X);
                    }
                    if (next.Bit == side.Bit)
                        poly->SetLastPoint(ends.To);
                    else
                        poly->Add(ends.To);
                    side = next;
                }
            }
}

} // namespace

void TraceMaskOutline(const TBool2DArray& Mask, int32_t Zoom, TPicSelectionPoints& Outline)
{
    Outline.Clear();
    if (Mask.Width == 0 || Mask.Height == 0 || Zoom < 1)
        return;
    TByte2DArray edges;
    BuildEdgeMap(Mask, edges);
    if (Zoom == 1)
        TraceEdgePixels(edges, Outline);
    else
        TraceZoomedBorders(edges, Zoom, Outline);
}
