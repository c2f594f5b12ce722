// The selection kinds: what each lifts out of the parent and the hole it leaves, their failures
// (which leave the parent untouched), a whole round of each kind from creation to pasting back, and
// the compact snapshot.
#include "SelectionTestSupport.h"

#include "image/SelectionKinds.h"

#include <gtest/gtest.h>

using namespace selection_test;

namespace {

using TPicture = std::unique_ptr<TEffectsBitmap>;
constexpr TColor kHole = 0x123456;

// The pixels lifted from Original: the selection holds each at its place, and the parent shows
// the hole colour there and the original everywhere else.
::testing::AssertionResult Lifted(const TPictureSelection& S, const TBitmap& Original, const TBitmap& Parent,
                                  const std::vector<TPoint>& Expected)
{
    std::vector<TPoint> got = SelectedPixels(S);
    auto less = [](const TPoint& a, const TPoint& b) { return a.Y != b.Y ? a.Y < b.Y : a.X < b.X; };
    std::vector<TPoint> want = Expected;
    std::sort(got.begin(), got.end(), less);
    std::sort(want.begin(), want.end(), less);
    if (got != want)
        return ::testing::AssertionFailure() << got.size() << " pixels selected, expected " << want.size();
    auto hole = ClonePicture(Original);
    for (const TPoint& p : want) {
        if (!(PixelAt(S.Picture(), p.X - S.Bounds().Left, p.Y - S.Bounds().Top) == PixelAt(Original, p.X, p.Y)))
            return ::testing::AssertionFailure() << "lifted pixel (" << p.X << ", " << p.Y << ") differs";
        SetPixelAt(*hole, p.X, p.Y, ColorToTriple(kHole));
    }
    return SamePixels(Parent, *hole);
}

std::vector<TPoint> RectPixels(const TRect& R)
{
    std::vector<TPoint> out;
    for (int y = R.Top; y < R.Bottom; ++y)
        for (int x = R.Left; x < R.Right; ++x)
            out.push_back({x, y});
    return out;
}

TFreehandPoints Path(std::initializer_list<TPoint> Points)
{
    TFreehandPoints p;
    for (const TPoint& q : Points)
        p.Add(q);
    return p;
}

// The pixels a polygon fill covers on a W x H picture.
std::vector<TPoint> PolygonPixels(const std::vector<TPoint>& Points, int W, int H)
{
    auto b = MakePicture(W, H, clWhite);
    b->Canvas().Pen.Style = psClear;
    b->Canvas().Brush.Color = clBlack;
    b->Canvas().Polygon(Points);
    std::vector<TPoint> out;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (b->GetPixel(x, y) == clBlack)
                out.push_back({x, y});
    return out;
}

// The magic wand's rule as written: a stack of positions, the four neighbours pushed in the order
// left, up, right, down when their colour lies within Tolerance of the seed's.
std::vector<TPoint> LiteralWand(const TBitmap& B, TPoint Seed, int Tolerance)
{
    const int W = B.Width(), H = B.Height();
    std::vector<char> pending(size_t(W) * H, 1);
    const TRGBTriple seed = PixelAt(B, Seed.X, Seed.Y);
    std::vector<TPoint> stack{Seed}, out;
    while (!stack.empty()) {
        const TPoint p = stack.back();
        stack.pop_back();
        char& item = pending[size_t(p.Y) * W + p.X];
        if (!item)
            continue;
        item = 0;
        out.push_back(p);
        for (const TPoint n : {TPoint{p.X - 1, p.Y}, TPoint{p.X, p.Y - 1}, TPoint{p.X + 1, p.Y}, TPoint{p.X, p.Y + 1}})
            if (n.X >= 0 && n.Y >= 0 && n.X < W && n.Y < H && TriplesWithinTolerance(Tolerance, PixelAt(B, n.X, n.Y), seed))
                stack.push_back(n);
    }
    return out;
}

} // namespace

// ---- Rectangle -----------------------------------------------------------------------------------------

TEST(SelectionKinds, RectangleLiftsTheClippedRectangle)
{
    TRng rng(1);
    struct TCase {
        TRect Drag;
        TRect Bounds;
    };
    const std::vector<TCase> cases = {
        {{3, 4, 10, 9}, {3, 4, 10, 9}},
        {{10, 9, 3, 4}, {3, 4, 10, 9}}, // dragged from bottom-right to top-left
        {{10, 4, 3, 9}, {3, 4, 10, 9}},
        {{-5, -2, 4, 3}, {0, 0, 4, 3}}, // partly outside
        {{30, 15, 50, 40}, {30, 15, 32, 20}},
        {{0, 0, 32, 20}, {0, 0, 32, 20}},
    };
    for (const TCase& c : cases) {
        auto parent = RandomPicture(rng, 32, 20);
        const auto original = ClonePicture(*parent);
        auto s = TRectPictureSelection::CreateSelection(parent.get(), c.Drag, kHole, -1);
        EXPECT_EQ(s->Bounds(), c.Bounds);
        EXPECT_FALSE(s->HasMask());
        EXPECT_FALSE(s->Irregular());
        EXPECT_TRUE(Lifted(*s, *original, *parent, RectPixels(c.Bounds))) << c.Drag.Left << ", " << c.Drag.Top;
        EXPECT_EQ(parent->Canvas().Brush.Color, clWhite); // the parent's brush is left as it was
    }
}

TEST(SelectionKinds, RectangleWithATransparentColourLiftsOnlyTheContent)
{
    // A 10 x 8 parent of green with a 3 x 2 block of other colours and one green pixel inside it.
    TRng rng(2);
    auto parent = MakePicture(10, 8, clGreen);
    std::vector<TPoint> content;
    for (int y = 3; y < 5; ++y)
        for (int x = 4; x < 7; ++x) {
            if (x == 5 && y == 4)
                continue;
            SetPixelAt(*parent, x, y, Triple(uint8_t(10 * x), uint8_t(10 * y), 1));
            content.push_back({x, y});
        }
    const auto original = ClonePicture(*parent);
    auto s = TRectPictureSelection::CreateSelection(parent.get(), {1, 1, 9, 7}, kHole, clGreen);
    EXPECT_EQ(s->Bounds(), (TRect{4, 3, 7, 5}));
    EXPECT_TRUE(s->Transparent());
    EXPECT_TRUE(Consistent(*s));
    EXPECT_TRUE(Lifted(*s, *original, *parent, content));
}

// ---- Freehand ------------------------------------------------------------------------------------------

TEST(SelectionKinds, FreehandLiftsThePolygon)
{
    TRng rng(3);
    struct TCase {
        TFreehandPoints Points;
        TRect Bounds; // before trimming
    };
    std::vector<TCase> cases;
    cases.push_back({Path({{2, 2}, {20, 5}, {8, 17}}), {2, 2, 20, 17}});
    cases.push_back({Path({{-6, 3}, {12, -4}, {14, 10}, {3, 12}}), {0, 0, 14, 12}}); // partly outside
    cases.push_back({Path({{5, 1}, {29, 1}, {29, 19}, {5, 19}}), {5, 1, 29, 19}});
    cases.push_back({Path({{0, 0}, {30, 0}, {30, 20}, {0, 20}}), {0, 0, 30, 20}}); // the whole picture
    for (TCase& c : cases) {
        auto parent = RandomPicture(rng, 30, 20, 3);
        const auto original = ClonePicture(*parent);
        const std::vector<TPoint> path = c.Points.Points();
        auto s = TFreehandPictureSelection::CreateSelection(parent.get(), c.Points, kHole, -1);
        EXPECT_TRUE(s->Irregular());
        EXPECT_FALSE(s->Transparent());
        ASSERT_TRUE(s->HasMask());
        EXPECT_TRUE(Consistent(*s));
        EXPECT_TRUE(Lifted(*s, *original, *parent, PolygonPixels(path, 30, 20))) << path.size() << " points";
        // The path is left in the selection's coordinates (before the trim).
        EXPECT_EQ(c.Points.Points()[0], (TPoint{path[0].X - c.Bounds.Left, path[0].Y - c.Bounds.Top}));
        // The unused colour: none of the parent's pixels inside the bounds had it.
        for (int y = c.Bounds.Top; y < c.Bounds.Bottom; ++y)
            for (int x = c.Bounds.Left; x < c.Bounds.Right; ++x)
                ASSERT_FALSE(SameTriple(PixelAt(*original, x, y), ColorToTriple(s->TransparentColour())));
    }
}

TEST(SelectionKinds, FreehandWithATransparentColourLeavesThatColour)
{
    auto parent = MakePicture(12, 12, clYellow);
    std::vector<TPoint> band; // a black band through the yellow
    for (int y = 6; y < 8; ++y)
        for (int x = 2; x < 10; ++x) {
            SetPixelAt(*parent, x, y, Triple(0, 0, 0));
            band.push_back({x, y});
        }
    const auto original = ClonePicture(*parent);
    TFreehandPoints points = Path({{1, 1}, {11, 1}, {11, 11}, {1, 11}});
    auto s = TFreehandPictureSelection::CreateSelection(parent.get(), points, kHole, clYellow);
    EXPECT_TRUE(s->Transparent());
    EXPECT_EQ(s->TransparentColour(), clYellow);
    EXPECT_EQ(s->Bounds(), (TRect{2, 6, 10, 8}));
    EXPECT_TRUE(Lifted(*s, *original, *parent, band));
}

TEST(SelectionKinds, FreehandOnAOnePixelWidePicture)
{
    auto parent = MakePicture(1, 6, clRed);
    const auto original = ClonePicture(*parent);
    TFreehandPoints points = Path({{0, 1}, {1, 1}, {1, 5}, {0, 5}});
    auto s = TFreehandPictureSelection::CreateSelection(parent.get(), points, kHole, -1);
    EXPECT_EQ(s->Bounds(), (TRect{0, 1, 1, 5}));
    EXPECT_TRUE(Lifted(*s, *original, *parent, RectPixels({0, 1, 1, 5})));
}

// ---- Pasted picture ------------------------------------------------------------------------------------

TEST(SelectionKinds, BitmapSelectionTouchesNoParentPixel)
{
    TRng rng(4);
    auto parent = RandomPicture(rng, 20, 20);
    const auto original = ClonePicture(*parent);
    auto picture = MakePicture(8, 6, clBlue);
    SetPixelAt(*picture, 3, 2, Triple(1, 1, 1));
    SetPixelAt(*picture, 5, 4, Triple(2, 2, 2));
    auto plain = TBitmapPictureSelection::CreateSelection(parent.get(), picture.get(), {15, -2}, -1);
    EXPECT_FALSE(plain->HasMask());
    EXPECT_EQ(plain->Bounds(), (TRect{15, -2, 23, 4}));
    plain->UpdateOutline({0, 0, 8, 6}, 1);
    ASSERT_EQ(plain->Outline().Count(), 1);
    EXPECT_EQ(plain->Outline().GetPolygon(0)->Count(), 5); // a rectangle
    auto masked = TBitmapPictureSelection::CreateSelection(parent.get(), picture.get(), {2, 3}, clBlue);
    EXPECT_EQ(masked->Bounds(), (TRect{5, 5, 8, 8}));
    EXPECT_TRUE(Consistent(*masked));
    EXPECT_EQ(SelectedPixels(*masked), (std::vector<TPoint>{{5, 5}, {7, 7}}));
    EXPECT_TRUE(SamePixels(*parent, *original));
}

// ---- Magic wand ----------------------------------------------------------------------------------------

TEST(SelectionKinds, MagicWandMatchesTheStackRule)
{
    TRng rng(5);
    std::uniform_int_distribution<int> coordinate(0, 39);
    for (const int tolerance : {0, 1, 40, 127, 255})
        for (int round = 0; round < 4; ++round) {
            auto parent = RandomPicture(rng, 40, 30, 4);
            const auto original = ClonePicture(*parent);
            const TPoint seed{coordinate(rng), coordinate(rng) % 30};
            auto s = TMagicWandPictureSelection::CreateSelection(parent.get(), seed, tolerance, kHole);
            EXPECT_TRUE(s->Irregular());
            EXPECT_FALSE(s->Transparent());
            EXPECT_TRUE(Consistent(*s));
            const std::vector<TPoint> expected = LiteralWand(*original, seed, tolerance);
            TRect bounds{seed.X, seed.Y, seed.X, seed.Y};
            for (const TPoint& p : expected)
                bounds = {std::min(bounds.Left, p.X), std::min(bounds.Top, p.Y), std::max(bounds.Right, p.X + 1),
                          std::max(bounds.Bottom, p.Y + 1)};
            EXPECT_EQ(s->Bounds(), bounds) << "tolerance " << tolerance;
            EXPECT_TRUE(Lifted(*s, *original, *parent, expected)) << "tolerance " << tolerance;
        }
}

TEST(SelectionKinds, MagicWandEdgeCases)
{
    // Tolerance 0 on a uniform picture takes all of it.
    auto uniform = MakePicture(17, 9, clTeal);
    auto all = TMagicWandPictureSelection::CreateSelection(uniform.get(), {16, 8}, 0, clWhite);
    EXPECT_EQ(all->Bounds(), (TRect{0, 0, 17, 9}));
    EXPECT_TRUE(SamePixels(*uniform, *MakePicture(17, 9, clWhite)));
    EXPECT_TRUE(SamePixels(all->Picture(), *MakePicture(17, 9, clTeal)));
    // A one-pixel-wide picture, and a one-pixel selection.
    auto column = MakePicture(1, 5, clTeal);
    SetPixelAt(*column, 0, 2, Triple(1, 2, 3));
    auto one = TMagicWandPictureSelection::CreateSelection(column.get(), {0, 2}, 0, clWhite);
    EXPECT_EQ(one->Bounds(), (TRect{0, 2, 1, 3}));
    EXPECT_EQ(SelectedPixels(*one), (std::vector<TPoint>{{0, 2}}));
    auto rest = TMagicWandPictureSelection::CreateSelection(column.get(), {0, 0}, 0, clWhite);
    EXPECT_EQ(rest->Bounds(), (TRect{0, 0, 1, 2}));
}

TEST(SelectionKinds, MagicWandOnAnIndexedParent)
{
    auto parent = std::make_unique<TEffectsBitmap>(6, 4, pf8bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            parent->SetPixelColor(x, y, x < 3 ? clRed : clBlue);
    auto s = TMagicWandPictureSelection::CreateSelection(parent.get(), {4, 1}, 0, clWhite);
    EXPECT_EQ(s->Bounds(), (TRect{3, 0, 6, 4}));
    EXPECT_EQ(parent->PixelFormat(), pf24bit); // written as 24-bit rows
    EXPECT_EQ(parent->GetPixel(0, 0), clRed);
    EXPECT_EQ(parent->GetPixel(5, 3), clWhite);
}

// ---- Failures ------------------------------------------------------------------------------------------

TEST(SelectionKinds, FailuresLeaveTheParentUntouched)
{
    TRng rng(6);
    struct TCase {
        const char* Name;
        std::function<void(TBitmap*)> Create;
        std::string Cause;
    };
    const std::vector<TCase> cases = {
        {"rectangle outside", [](TBitmap* p) { TRectPictureSelection::CreateSelection(p, {25, 5, 40, 9}, kHole, -1); },
         "Invalid selection rectangle."},
        {"rectangle above", [](TBitmap* p) { TRectPictureSelection::CreateSelection(p, {2, -9, 9, -1}, kHole, 0); },
         "Invalid selection rectangle."},
        {"rectangle of no width", [](TBitmap* p) { TRectPictureSelection::CreateSelection(p, {4, 2, 4, 9}, kHole, -1); },
         "Invalid selection rectangle."},
        {"freehand without points",
         [](TBitmap* p) {
             TFreehandPoints none;
             TFreehandPictureSelection::CreateSelection(p, none, kHole, -1);
         },
         "Invalid selection points."},
        {"freehand left of the picture",
         [](TBitmap* p) {
             TFreehandPoints left = Path({{-9, 2}, {-3, 2}, {-5, 8}});
             TFreehandPictureSelection::CreateSelection(p, left, kHole, -1);
         },
         "Invalid selection points."},
        {"freehand above the picture",
         [](TBitmap* p) {
             TFreehandPoints above = Path({{2, -9}, {9, -3}, {2, -1}});
             TFreehandPictureSelection::CreateSelection(p, above, kHole, -1);
         },
         "Invalid selection points."},
        {"freehand right of the picture",
         [](TBitmap* p) {
             TFreehandPoints right = Path({{24, 2}, {30, 2}, {28, 8}});
             TFreehandPictureSelection::CreateSelection(p, right, kHole, -1);
         },
         "Invalid selection points."},
        {"freehand on one row",
         [](TBitmap* p) {
             TFreehandPoints row = Path({{2, 4}, {9, 4}, {5, 4}});
             TFreehandPictureSelection::CreateSelection(p, row, kHole, -1);
         },
         "Invalid selection points."},
        {"no picture", [](TBitmap* p) { TBitmapPictureSelection::CreateSelection(p, nullptr, {0, 0}, -1); },
         "Picture is invalid"},
        {"wand left", [](TBitmap* p) { TMagicWandPictureSelection::CreateSelection(p, {-1, 3}, 10, kHole); },
         "Invalid MagicWand start point."},
        {"wand below", [](TBitmap* p) { TMagicWandPictureSelection::CreateSelection(p, {3, 15}, 10, kHole); },
         "Invalid MagicWand start point."},
        {"wand right", [](TBitmap* p) { TMagicWandPictureSelection::CreateSelection(p, {24, 0}, 10, kHole); },
         "Invalid MagicWand start point."},
    };
    for (const TCase& c : cases) {
        auto parent = RandomPicture(rng, 24, 15);
        const auto original = ClonePicture(*parent);
        EXPECT_EQ(SelectionError([&] { c.Create(parent.get()); }), CreationError(c.Cause)) << c.Name;
        EXPECT_TRUE(SamePixels(*parent, *original)) << c.Name;
    }
    // The base constructor's own error is not wrapped a second time.
    EXPECT_EQ(SelectionError([] { TRectPictureSelection::CreateSelection(nullptr, {0, 0, 1, 1}, kHole, -1); }),
              CreationError("Parent Bitmap is invalid"));
}

TEST(SelectionKinds, NoFreeColourLeavesTheParentUntouched)
{
    // Every one of the 2^24 colours once: neither the wand nor a freehand path finds a free one.
    auto parent = std::make_unique<TEffectsBitmap>(4096, 4096, pf24bit);
    for (int y = 0; y < 4096; ++y) {
        TRGBTriple* row = parent->Row24(y);
        for (int x = 0; x < 4096; ++x) {
            const uint32_t c = uint32_t(y) * 4096 + uint32_t(x);
            row[x] = TRGBTriple{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
        }
    }
    const auto original = ClonePicture(*parent);
    EXPECT_EQ(SelectionError([&] { TMagicWandPictureSelection::CreateSelection(parent.get(), {7, 7}, 255, kHole); }),
              CreationError("Unable not find a suitable transparent colour"));
    TFreehandPoints path = Path({{0, 0}, {4096, 0}, {4096, 4096}, {0, 4096}});
    EXPECT_EQ(SelectionError([&] { TFreehandPictureSelection::CreateSelection(parent.get(), path, kHole, -1); }),
              CreationError("Unable to find transparent colour."));
    EXPECT_TRUE(SamePixels(*parent, *original));
}

// ---- A whole round of each kind ----------------------------------------------------------------------

TEST(SelectionKinds, EachKindMovesChangesDrawsAndPastesBack)
{
    TManualAntsClock clock;
    TRng rng(7);
    using TMaker = std::function<std::unique_ptr<TPictureSelection>(TBitmap*)>;
    const std::vector<std::pair<const char*, TMaker>> kinds = {
        {"rectangle", [](TBitmap* p) { return TRectPictureSelection::CreateSelection(p, {4, 3, 14, 11}, kHole, -1); }},
        {"freehand",
         [](TBitmap* p) {
             TFreehandPoints path = Path({{3, 2}, {16, 4}, {12, 14}, {4, 11}});
             return TFreehandPictureSelection::CreateSelection(p, path, kHole, -1);
         }},
        {"pasted",
         [](TBitmap* p) {
             auto picture = MakePicture(7, 5, clNavy);
             SetPixelAt(*picture, 0, 0, Triple(250, 1, 1));
             return TBitmapPictureSelection::CreateSelection(p, picture.get(), {6, 6}, -1);
         }},
        {"magic wand", [](TBitmap* p) { return TMagicWandPictureSelection::CreateSelection(p, {9, 8}, 60, kHole); }},
    };
    for (const auto& [name, make] : kinds) {
        auto parent = RandomPicture(rng, 30, 24, 3);
        std::unique_ptr<TPictureSelection> s = make(parent.get());
        const auto hole = ClonePicture(*parent);
        // What the selection holds, mirrored and moved by (5, 4), is what the parent must show.
        const TRect b = s->Bounds();
        std::vector<std::pair<TPoint, TRGBTriple>> expected;
        for (const TPoint& p : SelectedPixels(*s)) {
            const TRGBTriple t = PixelAt(s->Picture(), p.X - b.Left, p.Y - b.Top);
            expected.push_back({{b.Right - 1 - (p.X - b.Left) + 5, p.Y + 4}, t});
        }
        s->MoveBy(5, 4);
        s->Mirror();
        s->Negative();
        s->Negative();
        EXPECT_TRUE(Consistent(*s)) << name;
        // Ants over the zoomed view: something is drawn, and a tick moves the dashes.
        int changes = 0;
        s->OnChange = [&](TPictureSelection*) { ++changes; };
        s->StartMarchingAnts(true);
        auto view = MakePicture(60, 48, clGray), later = MakePicture(60, 48, clGray);
        const TRect zoomed{s->Bounds().Left * 2, s->Bounds().Top * 2, s->Bounds().Right * 2, s->Bounds().Bottom * 2};
        s->DrawOutline(*view, {0, 0}, zoomed, 2);
        clock.Advance(400);
        s->DrawOutline(*later, {0, 0}, zoomed, 2);
        EXPECT_EQ(changes, 2) << name;
        EXPECT_FALSE(ChangedPixels(*view, *MakePicture(60, 48, clGray)).empty()) << name;
        EXPECT_FALSE(SamePixels(*view, *later)) << name;
        // Pasting back.
        s->PasteIntoParent();
        auto want = ClonePicture(*hole);
        for (const auto& [p, t] : expected)
            if (p.X < 30 && p.Y < 24)
                SetPixelAt(*want, p.X, p.Y, t);
        EXPECT_TRUE(SamePixels(*parent, *want)) << name;
    }
}

// ---- Snapshots -----------------------------------------------------------------------------------------

TEST(SelectionKinds, CompactSelectionRestoresASelection)
{
    TRng rng(8);
    auto parent = RandomPicture(rng, 30, 20, 3);
    auto wand = TMagicWandPictureSelection::CreateSelection(parent.get(), {5, 5}, 90, kHole);
    auto rect = TRectPictureSelection::CreateSelection(parent.get(), {1, 1, 6, 4}, kHole, -1);
    const TCVCompactSelection plain(rect.get());
    EXPECT_EQ(plain.TransparentColour, -1);
    EXPECT_EQ(plain.Left, 1);
    EXPECT_EQ(plain.Top, 1);
    TCVCompactSelection snapshot(rect.get());
    wand->MoveBy(2, 1);
    snapshot.Assign(wand.get());
    EXPECT_EQ(snapshot.TransparentColour, wand->TransparentColour());
    EXPECT_EQ(snapshot.Left, wand->Bounds().Left);
    EXPECT_TRUE(SamePixels(snapshot.Picture, wand->Picture()));
    // Restored as a pasted picture it is the same selection again.
    auto restored = TBitmapPictureSelection::CreateSelection(parent.get(), &snapshot.Picture,
                                                             {snapshot.Left, snapshot.Top}, snapshot.TransparentColour);
    EXPECT_EQ(restored->Bounds(), wand->Bounds());
    EXPECT_EQ(SelectedPixels(*restored), SelectedPixels(*wand));
    // Into an existing selection.
    rect->SetPicture(&snapshot.Picture, {snapshot.Left, snapshot.Top}, snapshot.TransparentColour);
    EXPECT_EQ(SelectedPixels(*rect), SelectedPixels(*wand));
    EXPECT_EQ(SelectionError([&] { snapshot.Assign(nullptr); }), "Invalid Picture Selection");
    EXPECT_EQ(SelectionError([] { TCVCompactSelection none(nullptr); }), "Invalid Picture Selection");
}
