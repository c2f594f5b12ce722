// Selection points and outlines: the point arrays, the polygon set, outline tracing at zoom 1 and
// above, and the marching-ants dashes against a literal pixel-by-pixel version.
#include "EffectsTestSupport.h"

#include "image/SelPoints.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <set>
#include <utility>

using namespace effects_test;

namespace {

std::vector<TPoint> Pts(std::initializer_list<TPoint> L) { return L; }

void Fill(TPicPointArray& A, const std::vector<TPoint>& P)
{
    for (const TPoint& p : P)
        A.Add(p);
}

std::string MessageOf(const std::function<void()>& F)
{
    try {
        F();
    } catch (const EPicSelectionError& e) {
        return e.Message;
    }
    return "(no EPicSelectionError)";
}

// A mask from rows of text: '#' selected, anything else masked.
TBool2DArray MaskFrom(const std::vector<std::string>& Rows)
{
    TBool2DArray m;
    m.SetSize(int(Rows[0].size()), int(Rows.size()));
    for (int y = 0; y < m.Height; ++y)
        for (int x = 0; x < m.Width; ++x)
            m.SetItem(x, y, Rows[size_t(y)][size_t(x)] != '#');
    return m;
}

// ---- The literal drawing rule ------------------------------------------------------------------------

void LiteralDashes(const TPicSelectionPoints& Outline, TBitmap& Target, int Phase)
{
    for (int i = 0; i < Outline.Count(); ++i) {
        const std::vector<TPoint>& p = Outline.GetPolygon(i)->Points();
        if (p.empty())
            continue;
        int64_t counter = 0;
        bool flag = Phase < 3;
        const int offset = Phase % 3;
        auto pixel = [&](int64_t X, int64_t Y) {
            if ((counter - offset) % 3 == 0)
                flag = !flag;
            if (X >= 0 && X < Target.Width() && Y >= 0 && Y < Target.Height())
                Target.SetPixelColor(int(X), int(Y), flag ? clBlack : clWhite);
            ++counter;
        };
        for (size_t k = 0; k + 1 < p.size(); ++k) {
            const TPoint a = p[k], b = p[k + 1];
            const int64_t dx = b.X - a.X, dy = b.Y - a.Y;
            if (std::abs(dx) <= std::abs(dy)) {
                for (int64_t y = a.Y; y != b.Y; y += dy > 0 ? 1 : -1) {
                    pixel(a.X + int64_t(std::nearbyint(double(y - a.Y) * double(dx) / double(dy))), y);
                }
            } else {
                for (int64_t x = a.X; x != b.X; x += dx > 0 ? 1 : -1) {
                    pixel(x, a.Y + int64_t(std::nearbyint(double(x - a.X) * double(dy) / double(dx))));
                }
            }
        }
        pixel(p.back().X, p.back().Y);
    }
}

// The pixels of a target that differ from grey (drawn ones), as (x, y, black).
std::set<std::tuple<int, int, bool>> DrawnPixels(const TBitmap& B)
{
    std::set<std::tuple<int, int, bool>> out;
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x) {
            const TColor c = B.GetPixel(x, y);
            if (c != clGray)
                out.insert({x, y, c == clBlack});
        }
    return out;
}

std::unique_ptr<TEffectsBitmap> GreyTarget(int W, int H) { return MakePicture(W, H, clGray); }

} // namespace

// ---- TPicPointArray --------------------------------------------------------------------------------

TEST(SelectionPoints, ArrayBasics)
{
    TPicPointArray a;
    EXPECT_EQ(a.AddPoint({1, 2}), 0);
    EXPECT_EQ(a.AddPoint({3, 4}), 1);
    TPoint p;
    a.GetPoint(1, p);
    EXPECT_EQ(p, (TPoint{3, 4}));
    a.FirstPoint(p);
    EXPECT_EQ(p, (TPoint{1, 2}));
    a.SetLastX(7);
    a.SetLastY(8);
    a.LastPoint(p);
    EXPECT_EQ(p, (TPoint{7, 8}));
    a.SetLastPoint({9, 9});
    a.Offset(1, -1);
    EXPECT_EQ(a.Points(), Pts({{2, 1}, {10, 8}}));
    TPicPointArray b;
    b.Assign(&a);
    EXPECT_EQ(b.Points(), a.Points());
    b.Assign(nullptr);
    EXPECT_EQ(b.Count(), 2);
    b.SetFromRect({0, 0, 10, 5});
    EXPECT_EQ(b.Points(), Pts({{0, 0}, {9, 0}, {9, 4}, {0, 4}, {0, 0}}));
}

TEST(SelectionPoints, ArrayErrors)
{
    TPicPointArray empty, one;
    one.Add({0, 0});
    TPoint p;
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { one.GetPoint(1, p); }, "Get Point - Point index invalid"},
        {[&] { one.GetPoint(-1, p); }, "Get Point - Point index invalid"},
        {[&] { empty.FirstPoint(p); }, "Can not get first point"},
        {[&] { empty.LastPoint(p); }, "Can not get last point"},
        {[&] { empty.SetLastPoint({1, 1}); }, "Can not get last point"},
        {[&] { empty.SetLastX(1); }, "Can not get last point"},
        {[&] { empty.SetLastY(1); }, "Can not get last point"},
    };
    for (const auto& [run, message] : cases)
        EXPECT_EQ(MessageOf(run), message);
}

TEST(SelectionPoints, BoundsAndArea)
{
    struct TCase {
        std::vector<TPoint> Points;
        TRect Bounds;
        bool HasArea;
    };
    const std::vector<TCase> cases = {
        {{}, {0, 0, 0, 0}, false},
        {{{3, 7}}, {3, 7, 3, 7}, false},
        {{{0, 5}, {4, 5}, {9, 5}}, {0, 5, 9, 5}, false},  // one row
        {{{2, 0}, {2, 4}, {2, 9}}, {2, 0, 2, 9}, false},  // one column
        {{{2, 2}, {2, 6}, {6, 2}}, {2, 2, 6, 6}, false},  // none differs in both
        {{{2, 2}, {2, 6}, {5, 7}}, {2, 2, 5, 7}, true},
        {{{5, 5}, {-3, 9}}, {-3, 5, 5, 9}, true},
    };
    for (const TCase& c : cases) {
        TPicPointArray a;
        Fill(a, c.Points);
        TRect r{1, 1, 1, 1};
        a.GetBounds(r);
        EXPECT_EQ(r, c.Bounds) << c.Points.size() << " points";
        EXPECT_EQ(a.HasArea(), c.HasArea) << c.Points.size() << " points";
    }
}

// ---- TPicSelectionPoints -----------------------------------------------------------------------------

TEST(SelectionPoints, PolygonSetOriginAssignClear)
{
    TPicSelectionPoints s;
    Fill(*s.AddPolygon(), {{0, 0}, {2, 0}});
    Fill(*s.AddPolygon(), {{5, 5}});
    s.SetOrigin({0, 0}); // the current origin: nothing moves
    EXPECT_EQ(s.GetPolygon(0)->Points(), Pts({{0, 0}, {2, 0}}));
    s.SetOrigin({10, 20});
    s.SetOrigin({11, 20});
    EXPECT_EQ(s.Origin(), (TPoint{11, 20}));
    EXPECT_EQ(s.GetPolygon(0)->Points(), Pts({{11, 20}, {13, 20}}));
    EXPECT_EQ(s.GetPolygon(1)->Points(), Pts({{16, 25}}));

    TPicSelectionPoints copy;
    Fill(*copy.AddPolygon(), {{99, 99}});
    copy.Assign(&s);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Origin(), s.Origin());
    EXPECT_EQ(copy.GetPolygon(1)->Points(), Pts({{16, 25}}));
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Count(), 0);

    EXPECT_EQ(MessageOf([&] { s.GetPolygon(2); }), "Get Point - index invalid");
    EXPECT_EQ(MessageOf([&] { s.GetPolygon(-1); }), "Get Point - index invalid");
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Origin(), (TPoint{0, 0}));
}

// ---- Tracing -------------------------------------------------------------------------------------

TEST(SelectionOutline, SinglePixel)
{
    const TBool2DArray mask = MaskFrom({"#"});
    TPicSelectionPoints o;
    TraceMaskOutline(mask, 1, o);
    ASSERT_EQ(o.Count(), 1);
    EXPECT_EQ(o.GetPolygon(0)->Points(), Pts({{0, 0}}));
    TraceMaskOutline(mask, 4, o);
    ASSERT_EQ(o.Count(), 1);
    EXPECT_EQ(o.GetPolygon(0)->Points(), Pts({{0, 3}, {0, 0}, {3, 0}, {3, 3}, {0, 3}}));
}

TEST(SelectionOutline, ZoomedShapes)
{
    struct TCase {
        std::vector<std::string> Mask;
        int Zoom;
        std::vector<std::vector<TPoint>> Polygons;
    };
    const std::vector<TCase> cases = {
        // A 3 x 2 block: straight runs stay two points; the chain ends where it started.
        {{"###", "###"}, 2, {{{0, 1}, {0, 0}, {5, 0}, {5, 3}, {0, 3}, {0, 2}}}},
        // An L: at the inner corner the downward run is brought onto the foot's top line.
        {{"#.", "##"}, 3, {{{0, 2}, {0, 0}, {2, 0}, {2, 3}, {5, 3}, {5, 5}, {0, 5}, {0, 3}}}},
        // The L mirrored: the walk starts on the upright and ends on the foot's top.
        {{".#", "##"}, 2, {{{2, 1}, {2, 0}, {3, 0}, {3, 3}, {0, 3}, {0, 2}, {1, 2}}}},
    };
    for (const TCase& c : cases) {
        TPicSelectionPoints o;
        TraceMaskOutline(MaskFrom(c.Mask), c.Zoom, o);
        ASSERT_EQ(o.Count(), int(c.Polygons.size())) << c.Mask[0];
        for (int i = 0; i < o.Count(); ++i)
            EXPECT_EQ(o.GetPolygon(i)->Points(), c.Polygons[size_t(i)]) << c.Mask[0] << " polygon " << i;
    }
}

TEST(SelectionOutline, ZoomOneVisitsEveryEdgePixelOnce)
{
    TRng rng(7);
    for (const double density : {0.2, 0.5, 0.8}) {
        const auto mask = RandomMask(rng, 37, 23, density);
        TPicSelectionPoints o;
        TraceMaskOutline(*mask, 1, o);
        std::multiset<std::pair<int, int>> traced;
        for (int i = 0; i < o.Count(); ++i) {
            const auto& p = o.GetPolygon(i)->Points();
            ASSERT_FALSE(p.empty());
            for (size_t k = 0; k < p.size(); ++k) {
                traced.insert({p[k].X, p[k].Y});
                if (k > 0) { // neighbours in a chain are 8-adjacent
                    EXPECT_LE(std::max(std::abs(p[k].X - p[k - 1].X), std::abs(p[k].Y - p[k - 1].Y)), 1);
                }
            }
        }
        std::multiset<std::pair<int, int>> edge;
        auto masked = [&](int x, int y) { return !mask->ValidIndex(x, y) || mask->GetItem(x, y); };
        for (int y = 0; y < mask->Height; ++y)
            for (int x = 0; x < mask->Width; ++x)
                if (!mask->GetItem(x, y) && (masked(x - 1, y) || masked(x + 1, y) || masked(x, y - 1) || masked(x, y + 1)))
                    edge.insert({x, y});
        EXPECT_EQ(traced, edge) << "density " << density;
    }
}

TEST(SelectionOutline, ZoomedOutlineCoversEveryOpenSideInsideTheSelection)
{
    TRng rng(11);
    for (const int zoom : {2, 3, 5}) {
        const auto mask = RandomMask(rng, 19, 13, 0.45);
        TPicSelectionPoints o;
        TraceMaskOutline(*mask, zoom, o);
        auto target = GreyTarget(19 * zoom, 13 * zoom);
        o.DrawDashes(*target, 0);
        const auto drawn = DrawnPixels(*target);
        std::set<std::pair<int, int>> at;
        auto masked = [&](int x, int y) { return !mask->ValidIndex(x, y) || mask->GetItem(x, y); };
        for (const auto& [x, y, black] : drawn) {
            at.insert({x, y});
            // Every outline pixel lies on a selected picture pixel, or beside one where the outline
            // crosses a corner between two diagonal neighbours.
            bool near = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    near = near || (x + dx >= 0 && y + dy >= 0 && !masked((x + dx) / zoom, (y + dy) / zoom));
            EXPECT_TRUE(near) << "zoom " << zoom << " at " << x << ", " << y;
        }
        for (int y = 0; y < mask->Height; ++y)
            for (int x = 0; x < mask->Width; ++x) {
                if (mask->GetItem(x, y))
                    continue;
                for (int k = 0; k < zoom; ++k) {
                    EXPECT_TRUE(!masked(x - 1, y) || at.count({x * zoom, y * zoom + k})) << "left of " << x << ", " << y;
                    EXPECT_TRUE(!masked(x + 1, y) || at.count({x * zoom + zoom - 1, y * zoom + k}))
                        << "right of " << x << ", " << y;
                    EXPECT_TRUE(!masked(x, y - 1) || at.count({x * zoom + k, y * zoom})) << "top of " << x << ", " << y;
                    EXPECT_TRUE(!masked(x, y + 1) || at.count({x * zoom + k, y * zoom + zoom - 1}))
                        << "bottom of " << x << ", " << y;
                }
            }
    }
}

// ---- Dashes -------------------------------------------------------------------------------------------

TEST(SelectionDashes, PhaseShiftsThePattern)
{
    struct TCase {
        int Phase;
        std::string Pattern; // b black, w white, for pixels 0..11 of a straight run
    };
    const std::vector<TCase> cases = {
        {0, "wwwbbbwwwbbb"}, {3, "bbbwwwbbbwww"}, {1, "bwwwbbbwwwbb"}, {2, "bbwwwbbbwwwb"},
        {4, "wbbbwwwbbbww"}, {5, "wwbbbwwwbbbw"},
    };
    for (const TCase& c : cases) {
        TPicSelectionPoints o;
        Fill(*o.AddPolygon(), {{0, 0}, {6, 0}, {11, 0}});
        auto target = GreyTarget(12, 1);
        o.DrawDashes(*target, c.Phase);
        std::string got;
        for (int x = 0; x < 12; ++x)
            got += target->GetPixel(x, 0) == clBlack ? 'b' : target->GetPixel(x, 0) == clWhite ? 'w' : '?';
        EXPECT_EQ(got, c.Pattern) << "phase " << c.Phase;
    }
}

TEST(SelectionDashes, OnePointPolygonAndSkippedPixels)
{
    TPicSelectionPoints o;
    Fill(*o.AddPolygon(), {{1, 1}});
    // Starts 4 pixels left of the target: those pixels still count.
    Fill(*o.AddPolygon(), {{-4, 0}, {5, 0}});
    auto target = GreyTarget(6, 2);
    o.DrawDashes(*target, 0);
    EXPECT_EQ(target->GetPixel(1, 1), clWhite); // a one-point polygon draws its pixel
    // Pixels -4..5 have counters 0..9: white 0-2, black 3-5, white 6-8, black 9.
    const std::string expected = "bbwwwb";
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(target->GetPixel(x, 0), expected[size_t(x)] == 'b' ? clBlack : clWhite) << x;
}

TEST(SelectionDashes, IndexedDrawingMatchesTheLiteralRule)
{
    TRng rng(3);
    std::uniform_int_distribution<int> phaseOf(0, 5);
    struct TCase {
        int Zoom;
        TPoint Origin;
        int W, H;
    };
    // Targets over the whole outline, over part of it, and beside it; outlines wider than one tile.
    const std::vector<TCase> cases = {
        {1, {0, 0}, 400, 300},   {1, {-50, -20}, 120, 90},  {1, {150, 100}, 500, 400}, {3, {0, 0}, 1200, 900},
        {3, {400, 333}, 257, 255}, {4, {-10, 700}, 2000, 40}, {2, {5000, 0}, 30, 30},
    };
    // Many short polygons, and a few long ones running over several chunks and tiles.
    const auto holes = RandomMask(rng, 300, 230, 0.3), sparse = RandomMask(rng, 300, 230, 0.01);
    for (const TCase& c : cases)
        for (const TBool2DArray* mask : {holes.get(), sparse.get()}) {
            TPicSelectionPoints o;
            TraceMaskOutline(*mask, c.Zoom, o);
            o.SetOrigin({-c.Origin.X, -c.Origin.Y});
            const int phase = phaseOf(rng);
            auto fast = GreyTarget(c.W, c.H), literal = GreyTarget(c.W, c.H);
            o.DrawDashes(*fast, phase);
            o.DrawDashes(*fast, phase); // a second drawing (the cached index) changes nothing
            LiteralDashes(o, *literal, phase);
            EXPECT_TRUE(SamePixels(*fast, *literal)) << "zoom " << c.Zoom << " origin " << c.Origin.X << ", " << c.Origin.Y;
            // Moved after the index was built.
            o.SetOrigin({o.Origin().X + 17, o.Origin().Y - 9});
            auto movedFast = GreyTarget(c.W, c.H), movedLiteral = GreyTarget(c.W, c.H);
            o.DrawDashes(*movedFast, phase);
            LiteralDashes(o, *movedLiteral, phase);
            EXPECT_TRUE(SamePixels(*movedFast, *movedLiteral)) << "moved, zoom " << c.Zoom;
        }
}

TEST(SelectionDashes, QImageTargets)
{
    TPicSelectionPoints o;
    Fill(*o.AddPolygon(), {{0, 0}, {6, 0}});
    for (const QImage::Format f : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied, QImage::Format_BGR888,
                                   QImage::Format_RGB16}) {
        QImage image(7, 1, f);
        image.fill(Qt::gray);
        o.DrawDashes(image, 0);
        EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white)) << int(f);
        EXPECT_EQ(image.pixelColor(3, 0), QColor(Qt::black)) << int(f);
        EXPECT_EQ(image.pixelColor(6, 0), QColor(Qt::white)) << int(f);
    }
}
