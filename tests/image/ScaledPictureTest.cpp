// Pictures loaded to be shown small: the memory budget of each load, the pool that all loads share,
// and big ordinary pictures that still load.
#include "image/ScaledPicture.h"

#include "HostilePictures.h"

#include "gif/GIFImage.h"

#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace {

// Fits a thumbnail box of 94 x 98.
void Thumb(int W, int H, int& SW, int& SH)
{
    SW = std::min(W, 94);
    SH = std::min(H, 98);
}

TBytesStream StreamOf(const std::vector<uint8_t>& Bytes)
{
    return TBytesStream(Bytes.data(), int64_t(Bytes.size()));
}

std::vector<uint8_t> BmpBytes(int W, int H, TColor C)
{
    TBitmap B(W, H, pf24bit);
    B.Canvas().Brush.Color = C;
    B.Canvas().FillRect(Rect(0, 0, W, H));
    TMemoryStream S;
    B.SaveToStream(S);
    return S.Bytes();
}

} // namespace

TEST(ScaledPictureBudget, TinyFilesClaimingHugePicturesCannotBeRead)
{
    for (const hostile::TClaim& C : hostile::HugeClaims()) {
        TScaledPicture Picture;
        TBytesStream S = StreamOf(C.Bytes);
        int W = 0, H = 0;
        hostile::ResetPeakResident();
        const int64_t Before = hostile::PeakResidentBytes();
        try {
            Picture.LoadScaled(S, Thumb, W, H);
            ADD_FAILURE() << C.Name << " loaded";
        } catch (const EInvalidGraphic& E) {
            // Refused by the budget, before the picture's memory was taken.
            EXPECT_EQ(E.Message, "Picture needs more than 256 MB to be shown small") << C.Name;
        }
        EXPECT_LT(hostile::PeakResidentBytes() - Before, int64_t(64) << 20) << C.Name;
        EXPECT_TRUE(Picture.Empty()) << C.Name;
    }
    // The GIF kinds are refused the same way when loaded whole for an animation.
    for (const hostile::TClaim& C : hostile::HugeClaims()) {
        if (!std::string(C.Name).ends_with(".gif"))
            continue;
        TScaledPicture Picture;
        TBytesStream S = StreamOf(C.Bytes);
        EXPECT_THROW(Picture.LoadGIFScaled(S), EInvalidGraphic) << C.Name;
    }
    // Every charge is taken back with the pictures: the shared pool is left as it was.
    EXPECT_EQ(TDecodeMemoryPool::Shared().Used(), 0);
}

TEST(ScaledPictureBudget, ChargesTheDecodedPictureAndItsTwentyFourBitCopy)
{
    // A 2000 x 1000 8-bit GIF takes its frame's indices and the frame's bitmap (1 byte a pixel each)
    // and the 24-bit picture shrunk for showing: 5 bytes a pixel, 9.5 MB.
    TBitmap Eight(2000, 1000, pf8bit);
    TGIFImage GIF;
    GIF.Assign(&Eight);
    TMemoryStream S;
    GIF.SaveToStream(S);
    const struct Case {
        int64_t Budget;
        bool Loads;
    } Cases[] = {{int64_t(12) << 20, true}, {int64_t(9) << 20, false}};
    for (const Case& C : Cases) {
        TScaledPicture Picture(C.Budget, nullptr);
        S.SetPosition(0);
        int W = 0, H = 0;
        if (C.Loads) {
            Picture.LoadScaled(S, Thumb, W, H);
            EXPECT_EQ(std::make_pair(W, H), std::make_pair(2000, 1000));
            EXPECT_EQ(Picture.PixelFormat(), pf24bit);
        } else {
            EXPECT_THROW(Picture.LoadScaled(S, Thumb, W, H), EInvalidGraphic) << C.Budget;
        }
    }
}

TEST(ScaledPictureBudget, AHundredMegapixelBaselineJpegStillLoadsScaled)
{
    // Four quarters of their own colours; decoded at 1/8, the picture takes under 5 MB.
    QTemporaryDir Dir;
    const std::string Path = Dir.path().toStdString() + "/big.jpg";
    constexpr int N = 10000;
    const TColor Quarter[4] = {RGB(200, 30, 30), RGB(30, 200, 30), RGB(30, 30, 200), RGB(220, 220, 40)};
    hostile::WriteBigJpeg(Path, N, N, [&](int X, int Y) { return Quarter[(Y >= N / 2) * 2 + (X >= N / 2)]; });
    TFileStream S(Path, fmOpenRead);
    TScaledPicture Picture;
    int W = 0, H = 0;
    Picture.LoadScaled(S, Thumb, W, H);
    EXPECT_EQ(std::make_pair(W, H), std::make_pair(N, N));
    ASSERT_EQ(std::make_pair(Picture.Width(), Picture.Height()), std::make_pair(N / 8, N / 8));
    const int M = N / 8;
    const TPoint Centres[4] = {{M / 4, M / 4}, {3 * M / 4, M / 4}, {M / 4, 3 * M / 4}, {3 * M / 4, 3 * M / 4}};
    for (int Q = 0; Q < 4; ++Q) {
        const TRGBTriple P = Picture.Row24(Centres[Q].Y)[Centres[Q].X];
        EXPECT_NEAR(P.rgbtRed, GetRValue(Quarter[Q]), 4) << Q;
        EXPECT_NEAR(P.rgbtGreen, GetGValue(Quarter[Q]), 4) << Q;
        EXPECT_NEAR(P.rgbtBlue, GetBValue(Quarter[Q]), 4) << Q;
    }
}

TEST(DecodeMemoryPool, ALoadWaitsForTheSharedPoolInsteadOfFailing)
{
    // Another load holds the whole pool: this one waits for it, then loads its picture right.
    TDecodeMemoryPool Pool(int64_t(8) << 20);
    TDecodeBudget Other(int64_t(8) << 20, &Pool);
    Other.ReserveWhole();
    ASSERT_EQ(Pool.Used(), Pool.Total());

    const std::vector<uint8_t> Bmp = BmpBytes(300, 200, clRed);
    std::atomic<bool> Done = false;
    int W = 0, H = 0;
    TColor Centre = clBlack;
    std::thread Loader([&] {
        TScaledPicture Picture(int64_t(4) << 20, &Pool);
        TBytesStream S = StreamOf(Bmp);
        Picture.LoadScaled(S, Thumb, W, H);
        Centre = Picture.GetPixel(150, 100);
        Done = true;
    });
    // The loader was refused at its first charge and now waits for a whole budget.
    while (Pool.Waiting() == 0)
        std::this_thread::yield();
    EXPECT_FALSE(Done);
    // Small takes do not slip past a waiting load.
    EXPECT_FALSE(Pool.TryTake(1));
    Other.Reset();
    Loader.join();
    EXPECT_TRUE(Done);
    EXPECT_EQ(std::make_pair(W, H), std::make_pair(300, 200));
    EXPECT_EQ(Centre, clRed);
    EXPECT_EQ(Pool.Used(), 0);
}

TEST(DecodeMemoryPool, ABudgetHoldsItsShareUntilThePictureGoes)
{
    TDecodeMemoryPool Pool(int64_t(64) << 20);
    const std::vector<uint8_t> Bmp = BmpBytes(1000, 1000, clBlue);
    {
        TScaledPicture Picture(int64_t(16) << 20, &Pool);
        TBytesStream S = StreamOf(Bmp);
        int W = 0, H = 0;
        Picture.LoadScaled(S, Thumb, W, H);
        // The 24-bit picture (rows of 3000 bytes) stays counted while it lives.
        EXPECT_GE(Pool.Used(), 3000 * 1000);
        EXPECT_LT(Pool.Used(), 3100 * 1000);
        // Outside a load nothing is charged: a picture opened in full keeps only the size limits.
        TBitmap Big(4000, 4000, pf24bit);
        EXPECT_LT(Pool.Used(), 3100 * 1000);
    }
    EXPECT_EQ(Pool.Used(), 0);
}
