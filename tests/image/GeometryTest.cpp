// Geometric effects and flood fill: each fast version against a small literal version of its rule
// on random pictures and parameters; the fixed cases; progress; failures.
#include "EffectsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace effects_test;

namespace {

using TPicture = std::unique_ptr<TEffectsBitmap>;

bool StartsWith(const std::string& S, const std::string& Prefix) { return S.rfind(Prefix, 0) == 0; }

TPicture Blank(int W, int H) { return std::make_unique<TEffectsBitmap>(W, H, pf24bit); }

uint8_t Channel(const TRGBTriple& P, int C) { return C == 0 ? P.rgbtBlue : C == 1 ? P.rgbtGreen : P.rgbtRed; }
void SetChannel(TRGBTriple& P, int C, uint8_t V) { (C == 0 ? P.rgbtBlue : C == 1 ? P.rgbtGreen : P.rgbtRed) = V; }

// ---- Literal versions -------------------------------------------------------------------------------

TPicture LiteralMirror(const TBitmap& S)
{
    auto p = ClonePicture(S);
    for (int y = 0; y < S.Height(); ++y)
        for (int x = 0; x < S.Width() / 2; ++x) {
            const TRGBTriple t = PixelAt(*p, x, y);
            SetPixelAt(*p, x, y, PixelAt(*p, S.Width() - 1 - x, y));
            SetPixelAt(*p, S.Width() - 1 - x, y, t);
        }
    return p;
}

TPicture LiteralFlip(const TBitmap& S)
{
    auto p = ClonePicture(S);
    for (int y = 0; y < S.Height() / 2; ++y)
        for (int x = 0; x < S.Width(); ++x) {
            const TRGBTriple t = PixelAt(*p, x, y);
            SetPixelAt(*p, x, y, PixelAt(*p, x, S.Height() - 1 - y));
            SetPixelAt(*p, x, S.Height() - 1 - y, t);
        }
    return p;
}

struct TRotated {
    TPicture Picture;
    int Max = 0;
};

TRotated LiteralRotate(const TBitmap& S, int Angle, TColor Back)
{
    TRotated r{ClonePicture(S)};
    const int whole = Angle / 90 * 90, rest = Angle - whole;
    const double sinR = std::sin(-rest * (std::numbers::pi / 180)), cosR = std::cos(-rest * (std::numbers::pi / 180));
    auto rotatedSize = [&](int W, int H) {
        return std::pair<int, int>(int(std::abs(std::nearbyint(H * sinR)) + std::abs(std::nearbyint(W * cosR))),
                                   int(std::abs(std::nearbyint(W * sinR)) + std::abs(std::nearbyint(H * cosR))));
    };
    const auto [rw0, rh0] = rotatedSize(S.Width(), S.Height());
    if (whole > 0)
        r.Max = (whole == 180 ? S.Height() / 2 : S.Height()) + (rest > 0 ? (whole == 180 ? rh0 : rw0) : 0);
    else
        r.Max = rh0;
    TEffectsBitmap& p = *r.Picture;
    const int W = p.Width(), H = p.Height();
    if (whole == 180) {
        auto reverse = [&](int y) {
            for (int x = 0; x < W / 2; ++x) {
                const TRGBTriple t = PixelAt(p, x, y);
                SetPixelAt(p, x, y, PixelAt(p, W - 1 - x, y));
                SetPixelAt(p, W - 1 - x, y, t);
            }
        };
        for (int y = 0; y < H / 2; ++y) {
            reverse(y);
            reverse(H - 1 - y);
            for (int x = 0; x < W; ++x) {
                const TRGBTriple t = PixelAt(p, x, y);
                SetPixelAt(p, x, y, PixelAt(p, x, H - 1 - y));
                SetPixelAt(p, x, H - 1 - y, t);
            }
        }
        if (H % 2)
            reverse(H / 2);
    } else if (whole == 90 || whole == 270) {
        auto t = Blank(H, W);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                if (whole == 90)
                    SetPixelAt(*t, H - 1 - y, x, PixelAt(p, x, y));
                else
                    SetPixelAt(*t, y, W - 1 - x, PixelAt(p, x, y));
            }
        r.Picture = std::move(t);
    }
    if (rest > 0) {
        const TBitmap& q = *r.Picture;
        const int w = q.Width(), h = q.Height();
        const auto [rw, rh] = rotatedSize(w, h);
        auto t = Blank(rw, rh);
        const int cx = w / 2, cy = h / 2, offX = (rw - w) / 2, offY = (rh - h) / 2;
        for (int y = rh - 1; y >= 0; --y)
            for (int x = 0; x < rw; ++x) {
                const int dx = 2 * (x - offX - cx) + 1, dy = 2 * (y - offY - cy) + 1;
                const int sx2 = int(std::trunc(dx * cosR - dy * sinR)), sy2 = int(std::trunc(dx * sinR + dy * cosR));
                const int sx = (sx2 - 1) / 2 + cx, sy = (sy2 - 1) / 2 + cy;
                SetPixelAt(*t, x, y, sx >= 0 && sx < w && sy >= 0 && sy < h ? PixelAt(q, sx, sy) : ColorToTriple(Back));
            }
        r.Picture = std::move(t);
    }
    return r;
}

TPicture LiteralResize(const TBitmap& S, int W, int H)
{
    auto p = Blank(W, H);
    const double xs = double(W) / S.Width(), ys = double(H) / S.Height();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            SetPixelAt(*p, x, y, PixelAt(S, int(std::trunc(x / xs)), int(std::trunc(y / ys))));
    return p;
}

float LiteralSinc(float X)
{
    if (X == 0)
        return 1;
    X = X * std::numbers::pi_v<float>;
    return std::sin(X) / X;
}

float LiteralFilter(float X) { return std::abs(X) >= 5 ? 0 : LiteralSinc(X) * LiteralSinc(X / 5); }

std::vector<std::vector<std::pair<int, float>>> LiteralContributors(int Src, int Dst)
{
    const bool toOne = Dst == 1 && Src > 1;
    const float scale = Src == 1 ? float(Dst) : toOne ? float(Dst) / float(Src) : float(Dst - 1) / float(Src - 1);
    std::vector<std::vector<std::pair<int, float>>> lists(Dst);
    for (int i = 0; i < Dst; ++i) {
        const float centre = toOne ? float(Src - 1) / 2 : float(i) / scale;
        const float width = scale >= 1 ? 5 : 5 / scale;
        for (int j = int(std::floor(centre - width)); j <= int(std::ceil(centre + width)); ++j) {
            const float w = scale >= 1 ? LiteralFilter(centre - float(j))
                                       : LiteralFilter((centre - float(j)) / (1 / scale)) / (1 / scale);
            if (w == 0)
                continue;
            int k = j < 0 ? -j : j >= Src ? 2 * Src - j - 1 : j;
            lists[i].push_back({std::clamp(k, 0, Src - 1), w});
        }
    }
    return lists;
}

uint8_t LiteralClamp(float V) { return V > 255 ? 255 : V < 0 ? 0 : uint8_t(std::nearbyint(V)); }

TPicture LiteralResample(const TBitmap& S, int W, int H)
{
    const auto columns = LiteralContributors(S.Width(), W), rows = LiteralContributors(S.Height(), H);
    auto work = Blank(W, S.Height());
    for (int y = 0; y < S.Height(); ++y)
        for (int x = 0; x < W; ++x) {
            TRGBTriple p;
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (const auto& [j, w] : columns[x])
                    sum += w * float(Channel(PixelAt(S, j, y), c));
                SetChannel(p, c, LiteralClamp(sum));
            }
            SetPixelAt(*work, x, y, p);
        }
    auto out = Blank(W, H);
    for (int x = 0; x < W; ++x)
        for (int y = 0; y < H; ++y) {
            TRGBTriple p;
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (const auto& [j, w] : rows[y])
                    sum += w * float(Channel(PixelAt(*work, x, j), c));
                SetChannel(p, c, LiteralClamp(sum));
            }
            SetPixelAt(*out, x, y, p);
        }
    return out;
}

// The region fill with a stack of positions and a visited array.
TPicture LiteralFloodFill(const TBitmap& S, int X, int Y, TColor Colour, int Tolerance)
{
    auto p = ClonePicture(S);
    const TRGBTriple seed = PixelAt(*p, X, Y), paint = ColorToTriple(Colour);
    if (Tolerance < 1 && SameTriple(seed, paint))
        return p;
    const int W = p->Width(), H = p->Height();
    std::vector<bool> visited(size_t(W) * H);
    TPixelPosList stack;
    stack.Push(X, Y);
    while (stack.Count() > 0) {
        const int x = stack.LastX(), y = stack.LastY();
        stack.DeleteLast();
        if (visited[size_t(y) * W + x])
            continue;
        visited[size_t(y) * W + x] = true;
        SetPixelAt(*p, x, y, paint);
        const int nx[4] = {x - 1, x, x + 1, x}, ny[4] = {y, y - 1, y, y + 1};
        for (int i = 0; i < 4; ++i)
            if (nx[i] >= 0 && nx[i] < W && ny[i] >= 0 && ny[i] < H &&
                TriplesWithinTolerance(Tolerance, PixelAt(*p, nx[i], ny[i]), seed))
                stack.Push(nx[i], ny[i]);
    }
    return p;
}

const std::pair<int, int> kSizes[] = {{1, 1}, {1, 6}, {7, 1}, {2, 2}, {3, 2}, {8, 5}, {31, 17}, {240, 180}, {301, 99}};

} // namespace

// ---- Mirror and flip ---------------------------------------------------------------------------

TEST(Geometry, MirrorAndFlipMatchTheirRules)
{
    TRng rng(1107);
    for (const auto& [w, h] : kSizes) {
        auto pic = RandomPicture(rng, w, h);
        auto mirrored = ClonePicture(*pic), flipped = ClonePicture(*pic);
        TProgressLog mlog, flog;
        mlog.Attach(*mirrored);
        flog.Attach(*flipped);
        mirrored->Mirror();
        flipped->Flip();
        EXPECT_TRUE(SamePixels(*mirrored, *LiteralMirror(*pic))) << w << " x " << h;
        EXPECT_TRUE(SamePixels(*flipped, *LiteralFlip(*pic))) << w << " x " << h;
        EXPECT_TRUE(mlog.Complete());
        EXPECT_EQ(mlog.Max, h);
        EXPECT_TRUE(flog.Complete());
        EXPECT_EQ(flog.Max, h / 2);
    }
}

TEST(Geometry, FlipOfOneRowFiresNoStep)
{
    TRng rng(4);
    auto pic = RandomPicture(rng, 70000 / 7, 1);
    auto before = ClonePicture(*pic);
    TProgressLog log;
    log.Attach(*pic);
    pic->Flip();
    EXPECT_EQ(log.Order, "S0 E ");
    EXPECT_TRUE(SamePixels(*pic, *before));
}

TEST(Geometry, FlipHandlesRowsWiderThanSixtyFiveThousandPixels)
{
    // Rows are swapped through a buffer of the picture's own row.
    auto pic = MakePicture(65535, 3, clBlack);
    SetPixelAt(*pic, 65534, 0, Triple(9, 8, 7));
    pic->Flip();
    EXPECT_EQ(PixelAt(*pic, 65534, 2), Triple(9, 8, 7));
    EXPECT_EQ(PixelAt(*pic, 65534, 0), Triple(0, 0, 0));
    pic->Rotate(180, clWhite);
    EXPECT_EQ(PixelAt(*pic, 0, 0), Triple(9, 8, 7));
}

// ---- Rotation -----------------------------------------------------------------------------------

TEST(Geometry, RotateMatchesItsRuleForEveryKindOfAngle)
{
    TRng rng(90);
    const int angles[] = {1, 33, 45, 89, 90, 91, 135, 179, 180, 181, 225, 269, 270, 271, 300, 359};
    int a = 0;
    for (const auto& [w, h] : kSizes)
        for (int i = 0; i < 4; ++i) {
            const int angle = angles[a++ % std::size(angles)];
            auto pic = RandomPicture(rng, w, h);
            TRotated expected = LiteralRotate(*pic, angle, RGB(10, 20, 30));
            TProgressLog log;
            log.Attach(*pic);
            pic->Rotate(angle, RGB(10, 20, 30));
            EXPECT_TRUE(SamePixels(*pic, *expected.Picture)) << angle << " degrees of " << w << " x " << h;
            EXPECT_TRUE(log.Complete()) << log.Order;
            EXPECT_EQ(log.Max, expected.Max) << angle << " degrees of " << w << " x " << h;
        }
}

TEST(Geometry, QuarterAndHalfTurns)
{
    // 3 x 2:  a b c      90 -> d a    270 -> c f
    //         d e f            e b           b e
    //                          f c           a d
    auto pic = Blank(3, 2);
    const TRGBTriple a = Triple(1, 0, 0), b = Triple(2, 0, 0), c = Triple(3, 0, 0), d = Triple(4, 0, 0),
                     e = Triple(5, 0, 0), f = Triple(6, 0, 0);
    SetPixelAt(*pic, 0, 0, a), SetPixelAt(*pic, 1, 0, b), SetPixelAt(*pic, 2, 0, c);
    SetPixelAt(*pic, 0, 1, d), SetPixelAt(*pic, 1, 1, e), SetPixelAt(*pic, 2, 1, f);
    auto right = ClonePicture(*pic);
    right->Rotate(90, clBlack);
    ASSERT_EQ(right->Width(), 2);
    ASSERT_EQ(right->Height(), 3);
    EXPECT_EQ(PixelAt(*right, 0, 0), d);
    EXPECT_EQ(PixelAt(*right, 1, 0), a);
    EXPECT_EQ(PixelAt(*right, 1, 2), c);
    auto left = ClonePicture(*pic);
    left->Rotate(270, clBlack);
    EXPECT_EQ(PixelAt(*left, 0, 0), c);
    EXPECT_EQ(PixelAt(*left, 1, 0), f);
    EXPECT_EQ(PixelAt(*left, 0, 2), a);
    // 180 of an odd height reverses the middle row too.
    auto odd = Blank(3, 3);
    SetPixelAt(*odd, 0, 1, a);
    odd->Rotate(180, clBlack);
    EXPECT_EQ(PixelAt(*odd, 2, 1), a);
}

TEST(Geometry, FortyFiveDegreesGrowsThePictureWithBackgroundCorners)
{
    auto pic = MakePicture(100, 100, clWhite);
    pic->Rotate(45, clRed);
    ASSERT_EQ(pic->Width(), 142);
    ASSERT_EQ(pic->Height(), 142);
    for (const auto& [x, y] : {std::pair{0, 0}, {141, 0}, {0, 141}, {141, 141}})
        EXPECT_EQ(PixelAt(*pic, x, y), ColorToTriple(clRed));
    EXPECT_EQ(PixelAt(*pic, 71, 71), ColorToTriple(clWhite));
}

TEST(Geometry, WholeTurnsChangeNothing)
{
    TRng rng(360);
    auto pic = RandomPicture(rng, 13, 7);
    auto before = ClonePicture(*pic);
    TProgressLog log;
    log.Attach(*pic);
    pic->Rotate(0, clBlack);
    pic->Rotate(-90, clBlack);
    pic->Rotate(360, clBlack);
    pic->Rotate(720, clBlack);
    EXPECT_TRUE(log.Silent());
    EXPECT_TRUE(SamePixels(*pic, *before));
    // 360 + 33 turns like 33.
    auto more = ClonePicture(*before);
    more->Rotate(393, clBlack);
    pic->Rotate(33, clBlack);
    EXPECT_TRUE(SamePixels(*more, *pic));
}

TEST(Geometry, RotateFailureNamesTheOperationAndKeepsThePicture)
{
    // 45 degrees of 65000 x 4 would need 45965 x 45965 pixels.
    auto pic = MakePicture(65000, 4, clBlue);
    TProgressLog log;
    log.Attach(*pic);
    try {
        pic->Rotate(45, clBlack);
        FAIL();
    } catch (const EXBitmapError& e) {
        EXPECT_TRUE(StartsWith(e.Message, "Rotate Error. Picture of 45965 x 45965")) << e.Message;
    }
    EXPECT_EQ(pic->Width(), 65000);
    EXPECT_EQ(PixelAt(*pic, 0, 0), ColorToTriple(clBlue));
    EXPECT_EQ(log.Ends, 0);
}

// ---- Resize and resample ----------------------------------------------------------------------------

TEST(Geometry, ResizeMatchesNearestNeighbourRule)
{
    TRng rng(42);
    std::uniform_int_distribution<int> size(1, 90);
    for (const auto& [w, h] : kSizes) {
        const int nw = w > 100 ? 412 : size(rng), nh = w > 100 ? 203 : size(rng);
        auto pic = RandomPicture(rng, w, h);
        auto expected = LiteralResize(*pic, nw, nh);
        TProgressLog log;
        log.Attach(*pic);
        pic->Resize(nw, nh);
        EXPECT_TRUE(SamePixels(*pic, *expected)) << w << " x " << h << " to " << nw << " x " << nh;
        EXPECT_TRUE(log.Complete());
        EXPECT_EQ(log.Max, nh);
    }
}

// Whole-factor reductions, same-width copies and enlargements take faster row paths; each must give
// the rule's pixels, the last column of a row and the last row of the picture included.
TEST(Geometry, ResizeByWholeFactorsMatchesTheRule)
{
    struct TCase {
        int W, H, NewW, NewH;
    };
    const TCase cases[] = {
        {6000 / 50, 40, 60, 20}, {121, 9, 60, 4}, {4, 4, 2, 2},  {9, 9, 3, 3},  {301, 7, 100, 7},
        {5, 3, 5, 1},            {7, 5, 7, 10},   {3, 2, 6, 4},  {3, 2, 9, 7},  {2, 1, 1, 1},
        {1, 3, 4, 3},            {33, 5, 8, 5},   {8, 1, 3, 1},  {5, 5, 13, 2},
    };
    TRng rng(77);
    for (const TCase& c : cases) {
        auto pic = RandomPicture(rng, c.W, c.H);
        auto expected = LiteralResize(*pic, c.NewW, c.NewH);
        pic->Resize(c.NewW, c.NewH);
        EXPECT_TRUE(SamePixels(*pic, *expected)) << c.W << " x " << c.H << " to " << c.NewW << " x " << c.NewH;
    }
}

TEST(Geometry, ResizeFixedCases)
{
    TRng rng(8);
    auto pic = RandomPicture(rng, 5, 4);
    auto before = ClonePicture(*pic);
    TProgressLog log;
    log.Attach(*pic);
    pic->Resize(0, 10);
    pic->Resize(10, -1);
    EXPECT_TRUE(log.Silent());
    EXPECT_TRUE(SamePixels(*pic, *before));
    // Same size: the work is still done.
    pic->Resize(5, 4);
    EXPECT_TRUE(log.Complete());
    EXPECT_TRUE(SamePixels(*pic, *before));
    pic->Resize(10, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
            ASSERT_EQ(PixelAt(*pic, x, y), PixelAt(*before, x / 2, y / 2));
    // A picture without pixels has nothing to resize.
    TEffectsBitmap empty;
    empty.Resize(4, 4);
    EXPECT_EQ(empty.Width(), 0);
}

TEST(Geometry, ResizeFailuresAreWrappedAndLeaveThePicture)
{
    TRng rng(9);
    auto pic = RandomPicture(rng, 300, 200);
    auto before = ClonePicture(*pic);
    try {
        pic->Resize(70000, 10);
        FAIL();
    } catch (const EXBitmapError& e) {
        EXPECT_EQ(e.Message, "Resizing Error. Picture of 70000 x 10 pixels is too large");
    }
    // A progress handler that gives up: rows run on other threads, the failure still arrives.
    TProgressLog log;
    log.Attach(*pic);
    pic->OnProgress = [&](TEffectsBitmap*) {
        if (++log.Steps == 50)
            throw EAbort("cancelled");
    };
    try {
        pic->Resize(600, 400);
        FAIL();
    } catch (const EXBitmapError& e) {
        EXPECT_EQ(e.Message, "Resizing Error. cancelled");
    }
    EXPECT_EQ(log.Ends, 0);
    EXPECT_TRUE(SamePixels(*pic, *before));
}

TEST(Geometry, ResampleMatchesTheWindowedSincRule)
{
    TRng rng(5);
    struct {
        int W, H, NW, NH;
    } const cases[] = {{10, 8, 23, 17},  {23, 17, 10, 8},  {50, 40, 25, 60},  {6, 6, 1, 4},     {1, 5, 7, 5},
                       {5, 1, 5, 3},     {2, 2, 9, 9},     {3, 4, 1, 1},      {9, 3, 2, 2},     {1, 1, 4, 3},
                       {260, 190, 130, 95}, {120, 90, 251, 183}, {400, 2, 3, 40},
                       // Halving, on several threads, with row counts that leave 1-3 rows past a
                       // group of four in the last band.
                       {1001, 203, 500, 101}, {640, 57, 320, 29}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + " x " + std::to_string(c.H) + " to " + std::to_string(c.NW) + " x " +
                     std::to_string(c.NH));
        auto pic = RandomPicture(rng, c.W, c.H);
        auto expected = LiteralResample(*pic, c.NW, c.NH);
        TProgressLog log;
        log.Attach(*pic);
        pic->Resample(c.NW, c.NH);
        EXPECT_TRUE(SamePixels(*pic, *expected));
        EXPECT_TRUE(log.Complete());
        EXPECT_EQ(log.Max, 2 * c.NW + c.NH + c.H);
    }
}

TEST(Geometry, ResampleToOnePixelAveragesAroundTheMiddle)
{
    auto flat = MakePicture(9, 7, RGB(200, 100, 50));
    flat->Resample(1, 1);
    ASSERT_EQ(flat->Width(), 1);
    EXPECT_TRUE(NearPixels(*flat, *MakePicture(1, 1, RGB(200, 100, 50)), 1));
    auto column = MakePicture(1, 30, RGB(3, 250, 128));
    column->Resample(40, 1);
    EXPECT_TRUE(NearPixels(*column, *MakePicture(40, 1, RGB(3, 250, 128)), 1));
}

TEST(Geometry, ResampleRingsNextToASharpEdge)
{
    auto pic = MakePicture(16, 2, RGB(64, 64, 64));
    for (int y = 0; y < 2; ++y)
        for (int x = 8; x < 16; ++x)
            SetPixelAt(*pic, x, y, Triple(192, 192, 192));
    pic->Resample(48, 2);
    int lowest = 255, highest = 0;
    for (int x = 0; x < 48; ++x) {
        lowest = std::min<int>(lowest, PixelAt(*pic, x, 0).rgbtRed);
        highest = std::max<int>(highest, PixelAt(*pic, x, 0).rgbtRed);
    }
    EXPECT_LT(lowest, 64);
    EXPECT_GT(highest, 192);
}

TEST(Geometry, ResampleNoOpsAndFailures)
{
    TRng rng(6);
    auto pic = RandomPicture(rng, 6, 5);
    auto before = ClonePicture(*pic);
    TProgressLog log;
    log.Attach(*pic);
    pic->Resample(6, 5);
    pic->Resample(0, 5);
    EXPECT_TRUE(log.Silent());
    EXPECT_TRUE(SamePixels(*pic, *before));
    TEffectsBitmap empty;
    empty.Resample(3, 3);
    EXPECT_EQ(empty.Width(), 0);

    auto wide = MakePicture(65000, 4, clRed);
    try {
        wide->Resample(65000, 5000);
        FAIL();
    } catch (const EXBitmapError& e) {
        EXPECT_EQ(e.Message, "Resampling Error. Picture of 65000 x 5000 pixels is too large");
    }
    EXPECT_EQ(wide->Height(), 4);
}

// ---- Canvas enlargement ---------------------------------------------------------------------------

TEST(Geometry, EnlargeCanvasPlacesThePicture)
{
    TRng rng(12);
    auto pic = RandomPicture(rng, 20, 11);
    for (bool centred : {true, false}) {
        auto big = ClonePicture(*pic);
        TProgressLog log;
        log.Attach(*big);
        big->EnlargeCanvas(30, 18, clRed, centred);
        EXPECT_EQ(log.Order, "S2 P P E ");
        ASSERT_EQ(big->Width(), 30);
        ASSERT_EQ(big->Height(), 18);
        const int ox = centred ? 5 : 0, oy = centred ? 3 : 0;
        for (int y = 0; y < 18; ++y)
            for (int x = 0; x < 30; ++x) {
                const bool inside = x >= ox && x < ox + 20 && y >= oy && y < oy + 11;
                ASSERT_EQ(PixelAt(*big, x, y), inside ? PixelAt(*pic, x - ox, y - oy) : ColorToTriple(clRed))
                    << x << ", " << y << (centred ? " centred" : "");
            }
    }
    TProgressLog log;
    log.Attach(*pic);
    pic->EnlargeCanvas(20, 11, clRed, true);
    pic->EnlargeCanvas(0, 11, clRed, true);
    EXPECT_TRUE(log.Silent());
    EXPECT_EQ(pic->Width(), 20);
}

TEST(Geometry, EnlargeCanvasKeepsThePixelFormat)
{
    TEffectsBitmap pic(4, 4, pf8bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            pic.SetPixelColor(x, y, x == 1 && y == 1 ? clBlack : clWhite);
    pic.EnlargeCanvas(6, 6, clRed, true);
    EXPECT_EQ(pic.PixelFormat(), pf8bit);
    EXPECT_EQ(pic.GetPixel(2, 2), clBlack);
    EXPECT_EQ(pic.GetPixel(3, 3), clWhite);
    EXPECT_EQ(pic.GetPixel(0, 0), clRed);
    EXPECT_EQ(pic.GetPixel(5, 5), clRed);
}

// ---- Flood fill -----------------------------------------------------------------------------------

TEST(Geometry, FloodFillPaintsTheSameAreaAsTheRegionRule)
{
    TRng rng(77);
    const int tolerances[] = {0, 1, 40, 90, 127, 128, 255, -1, 300};
    int t = 0;
    for (const auto& [w, h] : kSizes)
        for (int i = 0; i < 8; ++i) {
            const int tolerance = tolerances[t++ % std::size(tolerances)];
            auto pic = RandomPicture(rng, w, h, i % 2 ? 3 : 4);
            const int x = std::uniform_int_distribution<int>(0, w - 1)(rng),
                      y = std::uniform_int_distribution<int>(0, h - 1)(rng);
            const TRGBTriple seed = PixelAt(*pic, x, y);
            // Colours that do not match the seed, that match it, and the seed's own.
            TColor colour = RGB(uint8_t(std::uniform_int_distribution<int>(0, 255)(rng)), 0, 255);
            if (i % 4 == 1)
                colour = RGB(seed.rgbtRed, seed.rgbtGreen, uint8_t(std::max(0, seed.rgbtBlue - 1)));
            else if (i % 4 == 3)
                colour = TripleToColor(seed);
            SCOPED_TRACE("tolerance " + std::to_string(tolerance) + " at " + std::to_string(x) + ", " +
                         std::to_string(y) + " of " + std::to_string(w) + " x " + std::to_string(h) + ", case " +
                         std::to_string(i));
            auto expected = LiteralFloodFill(*pic, x, y, colour, tolerance);
            TProgressLog log;
            log.Attach(*pic);
            pic->FloodFill(x, y, colour, tolerance);
            EXPECT_TRUE(SamePixels(*pic, *expected));
            EXPECT_TRUE(log.Silent());
        }
}

TEST(Geometry, FloodFillFollowsWindingAreas)
{
    // Open pixels near the percolation threshold form areas with every kind of bay and overhang.
    TRng rng(59);
    for (int i = 0; i < 12; ++i) {
        const int w = 40 + 23 * i, h = 30 + 11 * i;
        auto pic = Blank(w, h);
        std::bernoulli_distribution open(0.6);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                SetPixelAt(*pic, x, y, open(rng) ? Triple(250, 250, 250) : Triple(uint8_t(i * 10), 0, 0));
        int x = 0, y = 0;
        while (PixelAt(*pic, x, y).rgbtRed != 250)
            x = (x + 7) % w, y = (y + 3) % h;
        const TColor colour = i % 3 == 0 ? RGB(250, 250, 251) : clBlue; // near the seed, or far from it
        const int tolerance = i % 2 ? 0 : 5;
        auto expected = LiteralFloodFill(*pic, x, y, colour, tolerance);
        pic->FloodFill(x, y, colour, tolerance);
        EXPECT_TRUE(SamePixels(*pic, *expected)) << "picture " << i;
    }
}

TEST(Geometry, FloodFillStopsWhereTheColourDepartsFromTheSeed)
{
    auto pic = Blank(256, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 256; ++x)
            SetPixelAt(*pic, x, y, Triple(uint8_t(x), 50, 50));
    pic->FloodFill(100, 1, RGB(0, 0, 255), 10);
    for (int x = 0; x < 256; ++x)
        EXPECT_EQ(PixelAt(*pic, x, 0) == ColorToTriple(RGB(0, 0, 255)), x >= 90 && x <= 110) << x;
    // Tolerance 0 on a pixel that already has the fill colour does nothing; a seed outside neither.
    auto flat = MakePicture(5, 5, clLime);
    auto before = ClonePicture(*flat);
    flat->FloodFill(2, 2, clLime, 0);
    flat->FloodFill(-1, 2, clRed, 0);
    flat->FloodFill(2, 5, clRed, 30);
    EXPECT_TRUE(SamePixels(*flat, *before));
}

TEST(Geometry, ExactFloodFillKeepsAnIndexedPicture)
{
    TEffectsBitmap pic(6, 4, pf8bit);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            pic.SetPixelColor(x, y, x == 3 ? clBlack : clWhite); // a wall at x = 3
    pic.FloodFill(0, 0, clRed, 0);
    EXPECT_EQ(pic.PixelFormat(), pf8bit);
    EXPECT_EQ(pic.GetPixel(2, 3), pic.GetPixel(0, 0));
    EXPECT_NE(pic.GetPixel(0, 0), clWhite);
    EXPECT_EQ(pic.GetPixel(4, 0), clWhite);
    EXPECT_EQ(pic.GetPixel(3, 0), clBlack);
}
