// Colour and tone effects: each fast version against a small literal version of its rule, on random
// pictures, masks and parameters; the fixed values; progress; masks; the row helper.
#include "EffectsTestSupport.h"
#include "image/EffectsRowsImpl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <thread>
#include <chrono>
#include <mutex>
#include <set>
#include <sched.h>
#include <QByteArray>
#include <QtGlobal>

using namespace effects_test;

namespace {

bool Masked(const TBool2DArray* M, int X, int Y) { return M && M->GetItem(X, Y); }

// Trunc(p * 2.55 + 0.5) in exact arithmetic.
int LiteralDelta(int Percent) { return (Percent * 255 + 50) / 100; }

// Applies F to every unmasked pixel, the plain way.
template <typename F>
void LiteralPerPixel(TBitmap& B, const TBool2DArray* M, F f)
{
    for (int y = 0; y < B.Height(); ++y)
        for (int x = 0; x < B.Width(); ++x)
            if (!Masked(M, x, y))
                SetPixelAt(B, x, y, f(PixelAt(B, x, y)));
}

uint8_t Clamp255(int V) { return static_cast<uint8_t>(std::clamp(V, 0, 255)); }

// ---- Literal blur ----------------------------------------------------------------------------------
void LiteralBlur(TBitmap& B, const TBool2DArray* M, double Radius)
{
    float w[81];
    for (int i = -40; i <= 40; ++i)
        w[i + 40] = static_cast<float>(std::exp(-(i / Radius) * (i / Radius) / 2));
    double sum = 0;
    for (int i = 0; i < 81; ++i)
        sum += w[i];
    for (int i = 0; i < 81; ++i)
        w[i] = static_cast<float>(w[i] / sum);
    double s = 0;
    int n = 40;
    while (s < 1.0 / 510 && n >= 2) {
        s += 2 * w[n + 40];
        --n;
    }
    sum = 0;
    for (int i = -n; i <= n; ++i)
        sum += w[i + 40];
    for (int i = -n; i <= n; ++i)
        w[i + 40] = static_cast<float>(w[i + 40] / sum);

    auto channel = [](const TRGBTriple& p, int c) { return c == 0 ? p.rgbtBlue : c == 1 ? p.rgbtGreen : p.rgbtRed; };
    auto toByte = [](float v) { return Clamp255(static_cast<int>(std::trunc(v + 1.0f / 1024.0f))); };
    auto blurLine = [&](const std::vector<TRGBTriple>& in, const std::vector<bool>& mask) {
        const int count = int(in.size());
        std::vector<TRGBTriple> out(in);
        for (int p = 0; p < count; ++p) {
            if (mask[p])
                continue;
            uint8_t v[3];
            for (int c = 0; c < 3; ++c) {
                float acc = 0;
                for (int k = -n; k <= n; ++k) {
                    int j = std::clamp(p - k, 0, count - 1);
                    if (mask[j])
                        j = p;
                    acc += w[k + 40] * float(channel(in[j], c));
                }
                v[c] = toByte(acc);
            }
            out[p] = TRGBTriple{v[0], v[1], v[2]};
        }
        return out;
    };
    const int W = B.Width(), H = B.Height();
    for (int y = 0; y < H; ++y) {
        std::vector<TRGBTriple> line(W);
        std::vector<bool> mask(W);
        for (int x = 0; x < W; ++x) {
            line[x] = PixelAt(B, x, y);
            mask[x] = Masked(M, x, y);
        }
        line = blurLine(line, mask);
        for (int x = 0; x < W; ++x)
            SetPixelAt(B, x, y, line[x]);
    }
    for (int x = 0; x < W; ++x) {
        std::vector<TRGBTriple> line(H);
        std::vector<bool> mask(H);
        for (int y = 0; y < H; ++y) {
            line[y] = PixelAt(B, x, y);
            mask[y] = Masked(M, x, y);
        }
        line = blurLine(line, mask);
        for (int y = 0; y < H; ++y)
            SetPixelAt(B, x, y, line[y]);
    }
}

struct TCase {
    int W, H;
    double MaskDensity; // < 0: no mask; masks of some cases are larger than the picture
};

// Sizes from a single pixel to pictures large enough for several threads.
const TCase kCases[] = {{1, 1, -1}, {1, 7, 0.3}, {9, 1, -1}, {5, 4, 0.5}, {37, 23, 0.1},
                        {64, 3, 0.9}, {300, 250, -1}, {280, 260, 0.05}};

} // namespace

// ---- Per-pixel effects ----------------------------------------------------------------------------

TEST(ColourEffects, PerPixelEffectsMatchTheirRules)
{
    TRng rng(1106);
    std::uniform_int_distribution<int> percent(-100, 100), tol(0, 40);
    for (const TCase& c : kCases) {
        for (int effect = 0; effect < 6; ++effect) {
            SCOPED_TRACE("effect " + std::to_string(effect) + " on " + std::to_string(c.W) + " x " + std::to_string(c.H));
            auto pic = RandomPicture(rng, c.W, c.H, effect == 5 ? 6 : 0);
            auto mask = c.MaskDensity < 0 ? nullptr : RandomMask(rng, c.W + c.W % 3, c.H + c.H % 2, c.MaskDensity);
            const TBool2DArray* m = mask.get();
            auto expected = ClonePicture(*pic);
            TProgressLog log;
            log.Attach(*pic);
            switch (effect) {
            case 0: {
                const int p = percent(rng) | 1; // never 0
                const int d = LiteralDelta(p);
                LiteralPerPixel(*expected, m, [d](TRGBTriple t) {
                    return TRGBTriple{Clamp255(t.rgbtBlue + d), Clamp255(t.rgbtGreen + d), Clamp255(t.rgbtRed + d)};
                });
                pic->Brighten(p, m);
                break;
            }
            case 1: {
                const double g = std::uniform_real_distribution<double>(0.2, 5)(rng);
                uint8_t t[256] = {};
                for (int i = 1; i < 256; ++i)
                    t[i] = static_cast<uint8_t>(std::nearbyint(255 * std::pow(i / 255.0, 1 / g)));
                LiteralPerPixel(*expected, m, [&t](TRGBTriple p) {
                    return TRGBTriple{t[p.rgbtBlue], t[p.rgbtGreen], t[p.rgbtRed]};
                });
                pic->GammaCorrect(m, g);
                break;
            }
            case 2:
                LiteralPerPixel(*expected, m, [](TRGBTriple p) {
                    const uint8_t v = uint8_t((p.rgbtBlue + p.rgbtGreen + p.rgbtRed) / 3);
                    return TRGBTriple{v, v, v};
                });
                pic->GreyScale(m);
                break;
            case 3:
                LiteralPerPixel(*expected, m, [](TRGBTriple p) {
                    return TRGBTriple{uint8_t(255 - p.rgbtBlue), uint8_t(255 - p.rgbtGreen), uint8_t(255 - p.rgbtRed)};
                });
                pic->Negative(m);
                break;
            case 4: {
                const int r = percent(rng), g = percent(rng), b = percent(rng);
                const int dr = LiteralDelta(r), dg = LiteralDelta(g), db = LiteralDelta(b);
                LiteralPerPixel(*expected, m, [=](TRGBTriple p) {
                    return TRGBTriple{Clamp255(p.rgbtBlue + db), Clamp255(p.rgbtGreen + dg), Clamp255(p.rgbtRed + dr)};
                });
                pic->AdjustRGB(r, g, b, m);
                break;
            }
            case 5: {
                // No mask; few levels so that exact and near matches are common.
                const TRGBTriple from = PixelAt(*pic, c.W / 2, c.H / 2);
                const int t = tol(rng) % 3 == 0 ? 0 : tol(rng);
                const TColor to = RGB(1, 2, 3);
                LiteralPerPixel(*expected, nullptr, [&](TRGBTriple p) {
                    return TriplesWithinTolerance(t, p, from) ? ColorToTriple(to) : p;
                });
                pic->ReplaceColour(TripleToColor(from), to, t);
                break;
            }
            }
            EXPECT_TRUE(SamePixels(*pic, *expected));
            EXPECT_TRUE(log.Complete()) << log.Order;
            EXPECT_EQ(log.Max, c.H);
        }
    }
}

TEST(ColourEffects, PercentStepsAndFixedValues)
{
    struct {
        int Percent, From, To;
    } const brighten[] = {{100, 0, 255}, {50, 100, 228}, {20, 10, 61}, {1, 7, 10},     {-1, 7, 5},
                          {-20, 40, 0},  {-20, 90, 40},  {-50, 200, 73}, {-100, 255, 1}, {100, 200, 255}};
    for (const auto& b : brighten) {
        auto pic = MakePicture(1, 1, RGB(b.From, b.From, b.From));
        pic->Brighten(b.Percent, nullptr);
        EXPECT_EQ(PixelAt(*pic, 0, 0), Triple(b.To, b.To, b.To)) << "Brighten " << b.Percent << " of " << b.From;
    }
    auto pic = MakePicture(1, 1, RGB(64, 0, 255));
    pic->GammaCorrect(nullptr, 2.0);
    EXPECT_EQ(PixelAt(*pic, 0, 0), Triple(128, 0, 255));
    auto grey = MakePicture(1, 1, RGB(10, 20, 31));
    grey->GreyScale(nullptr);
    EXPECT_EQ(PixelAt(*grey, 0, 0), Triple(20, 20, 20));

    // Gamma 0 (or below) turns everything black; channel 0 stays 0 for every gamma.
    TRng rng(7);
    for (double g : {0.0, -1.5, 0.01, 0.5, 3.0, 100.0}) {
        auto p = RandomPicture(rng, 8, 8);
        SetPixelAt(*p, 0, 0, Triple(0, 0, 0));
        p->GammaCorrect(nullptr, g);
        EXPECT_EQ(PixelAt(*p, 0, 0), Triple(0, 0, 0)) << g;
        if (g <= 0) {
            EXPECT_TRUE(SamePixels(*p, *MakePicture(8, 8, clBlack))) << g;
        }
    }
}

TEST(ColourEffects, NegativeTwiceRestoresAndNoOpsStaySilent)
{
    TRng rng(3);
    auto pic = RandomPicture(rng, 40, 30);
    auto before = ClonePicture(*pic);
    pic->Negative(nullptr);
    EXPECT_FALSE(SamePixels(*pic, *before));
    pic->Negative(nullptr);
    EXPECT_TRUE(SamePixels(*pic, *before));

    // Brighten 0 and gamma 1 return at once; AdjustRGB (0, 0, 0) still walks every row.
    TProgressLog log;
    log.Attach(*pic);
    pic->Brighten(0, nullptr);
    pic->GammaCorrect(nullptr, 1.0);
    pic->Blur(nullptr, 0);
    pic->Blur(nullptr, -3);
    EXPECT_TRUE(log.Silent()) << log.Order;
    pic->AdjustRGB(0, 0, 0, nullptr);
    EXPECT_TRUE(log.Complete());
    EXPECT_EQ(log.Max, 30);
    EXPECT_TRUE(SamePixels(*pic, *before));
}

TEST(ColourEffects, BrightenZeroKeepsThePixelFormat)
{
    TEffectsBitmap pic(4, 4, pf8bit);
    pic.Brighten(0, nullptr);
    EXPECT_EQ(pic.PixelFormat(), pf8bit);
    pic.Negative(nullptr);
    EXPECT_EQ(pic.PixelFormat(), pf24bit);
}

TEST(ColourEffects, MaskSmallerThanPictureFailsBeforeAnyChange)
{
    TRng rng(5);
    auto pic = RandomPicture(rng, 10, 10);
    auto before = ClonePicture(*pic);
    TBool2DArray mask;
    mask.SetSize(10, 9);
    TProgressLog log;
    log.Attach(*pic);
    EXPECT_THROW(pic->Negative(&mask), EBool2DArrayError);
    EXPECT_THROW(pic->Brighten(20, &mask), EBool2DArrayError);
    EXPECT_THROW(pic->Blur(&mask, 2), EBool2DArrayError);
    try {
        pic->AdjustRGB(1, 2, 3, &mask);
        FAIL();
    } catch (const EBool2DArrayError& e) {
        EXPECT_EQ(e.Message, "GetItem - Invalid Index");
    }
    EXPECT_TRUE(SamePixels(*pic, *before));
    EXPECT_TRUE(log.Silent());
}

// ---- Blur ------------------------------------------------------------------------------------------

TEST(ColourEffects, BlurMatchesTheSeparableRule)
{
    TRng rng(11);
    // The large pictures (the last cases) get the shorter kernels, to keep the literal version quick.
    const double radii[] = {40, 100, 0.1, 0.7, 1.5, 3, 6.25, 12};
    int r = 0;
    for (const TCase& c : kCases)
        for (int i = 0; i < 2; ++i) {
            const double radius = radii[r++ % std::size(radii)];
            SCOPED_TRACE("radius " + std::to_string(radius) + " on " + std::to_string(c.W) + " x " + std::to_string(c.H));
            auto pic = RandomPicture(rng, c.W, c.H, i == 0 ? 0 : 3);
            auto mask = c.MaskDensity < 0 ? nullptr : RandomMask(rng, c.W + c.W % 3, c.H + c.H % 2, c.MaskDensity);
            auto expected = ClonePicture(*pic);
            LiteralBlur(*expected, mask.get(), radius);
            TProgressLog log;
            log.Attach(*pic);
            pic->Blur(mask.get(), radius);
            EXPECT_TRUE(SamePixels(*pic, *expected));
            EXPECT_TRUE(log.Complete());
            EXPECT_EQ(log.Max, c.W + c.H);
        }
}

TEST(ColourEffects, FlatPicturesAndSinglePixelsBlurToThemselves)
{
    for (double radius = 0.1; radius < 45; radius *= 1.17) {
        for (TColor colour : {clWhite, RGB(254, 1, 128), RGB(17, 200, 99)}) {
            auto flat = MakePicture(50, 45, colour);
            flat->Blur(nullptr, radius);
            EXPECT_TRUE(SamePixels(*flat, *MakePicture(50, 45, colour))) << "radius " << radius;
            auto one = MakePicture(1, 1, colour);
            one->Blur(nullptr, radius);
            EXPECT_EQ(PixelAt(*one, 0, 0), ColorToTriple(colour)) << "radius " << radius;
        }
    }
}

TEST(ColourEffects, MaskedPixelsKeepTheirColourAndDoNotLeak)
{
    auto pic = MakePicture(21, 21, clBlack);
    SetPixelAt(*pic, 10, 10, Triple(255, 0, 0));
    TBool2DArray mask;
    mask.SetSize(21, 21);
    mask.SetItem(10, 10, true);
    for (auto* op : {+[](TEffectsBitmap& p, const TBool2DArray* m) { p.Negative(m); },
                     +[](TEffectsBitmap& p, const TBool2DArray* m) { p.GreyScale(m); },
                     +[](TEffectsBitmap& p, const TBool2DArray* m) { p.Brighten(-40, m); }}) {
        auto p = ClonePicture(*pic);
        op(*p, &mask);
        EXPECT_EQ(PixelAt(*p, 10, 10), Triple(255, 0, 0));
    }
    // Blur: black stays black around the masked red pixel.
    auto blurred = ClonePicture(*pic);
    blurred->Blur(&mask, 5);
    EXPECT_TRUE(SamePixels(*blurred, *pic));
}

// ---- Rows on several threads ------------------------------------------------------------------

TEST(ParallelRows, EveryItemOnceAndEveryStepOnTheCallingThread)
{
    const auto caller = std::this_thread::get_id();
    for (int count : {0, 1, 7, 1000, 4099}) {
        std::vector<std::atomic<int>> seen(count);
        int steps = 0;
        bool otherThread = false;
        effects_impl::ParallelRows(count, 3, 1 << 20, [&](int b, int e) {
            for (int i = b; i < e; ++i)
                ++seen[i];
        }, [&] {
            otherThread |= std::this_thread::get_id() != caller;
            ++steps;
        });
        EXPECT_EQ(steps, count);
        EXPECT_FALSE(otherThread);
        EXPECT_TRUE(std::all_of(seen.begin(), seen.end(), [](const std::atomic<int>& s) { return s == 1; }));
    }
}

// The threads that run the bodies of one large job.
static std::set<std::thread::id> ThreadsOfOneJob()
{
    std::mutex lock;
    std::set<std::thread::id> ids;
    effects_impl::ParallelRows(4096, 1, 1 << 20, [&](int, int) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        std::lock_guard<std::mutex> g(lock);
        ids.insert(std::this_thread::get_id());
    }, nullptr);
    return ids;
}

// CANVELLO_THREADS sets the count; without it (or with a value that is not a count) the CPUs the
// process may run on decide, never more.
TEST(ParallelRows, ThreadCountFromTheOverrideOrTheAffinity)
{
    const QByteArray was = qgetenv("CANVELLO_THREADS");
    const bool had = qEnvironmentVariableIsSet("CANVELLO_THREADS");
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof(all), &all), 0);

    qunsetenv("CANVELLO_THREADS");
    EXPECT_EQ(effects_impl::EffectThreadCount(), CPU_COUNT(&all));
    qputenv("CANVELLO_THREADS", "3");
    EXPECT_EQ(effects_impl::EffectThreadCount(), 3);
    EXPECT_LE(ThreadsOfOneJob().size(), 3u);
    qputenv("CANVELLO_THREADS", "1");
    EXPECT_EQ(ThreadsOfOneJob(), std::set<std::thread::id>{std::this_thread::get_id()});
    for (const char* bad : {"0", "-2", "2x", "", "many", "99999"}) {
        qputenv("CANVELLO_THREADS", bad);
        EXPECT_EQ(effects_impl::EffectThreadCount(), CPU_COUNT(&all)) << bad;
    }

    // Confined to one CPU, the effects start no worker threads.
    qunsetenv("CANVELLO_THREADS");
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    const int confined = effects_impl::EffectThreadCount();
    const auto ids = ThreadsOfOneJob();
    sched_setaffinity(0, sizeof(all), &all);
    EXPECT_EQ(confined, 1);
    EXPECT_EQ(ids, std::set<std::thread::id>{std::this_thread::get_id()});

    if (had)
        qputenv("CANVELLO_THREADS", was);
    else
        qunsetenv("CANVELLO_THREADS");
}

TEST(ParallelRows, FailuresOfBodyOrStepReachTheCaller)
{
    EXPECT_THROW(effects_impl::ParallelRows(5000, 1, 1 << 20, [](int b, int) {
        if (b == 2500)
            throw EOutOfMemory("Out of memory");
    }, {}), EOutOfMemory);
    int steps = 0;
    EXPECT_THROW(effects_impl::ParallelRows(5000, 1, 1 << 20, [](int, int) {}, [&] {
        if (++steps == 10)
            throw EAbort("stopped");
    }), EAbort);
    EXPECT_EQ(steps, 10);
}

TEST(ColourEffects, AFailingProgressHandlerStopsTheEffect)
{
    TRng rng(2);
    auto pic = RandomPicture(rng, 700, 400); // large enough for several threads
    TProgressLog log;
    log.Attach(*pic);
    pic->OnProgress = [&](TEffectsBitmap*) {
        if (++log.Steps == 3)
            throw EAbort("cancelled");
    };
    EXPECT_THROW(pic->Negative(nullptr), EAbort);
    EXPECT_EQ(log.Steps, 3);
    EXPECT_EQ(log.Ends, 0);
}
