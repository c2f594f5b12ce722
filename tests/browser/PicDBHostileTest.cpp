// A folder of tiny files that claim huge pictures, beside ordinary pictures: browsing it makes every
// ordinary thumbnail, lists none of the others, and stays far from the memory the claims ask for.
#include "PicDBTestSupport.h"

#include "HostilePictures.h"

#include "image/XBitmap.h"
#include "platform/DecodeBudget.h"

using namespace picdbtest;

TEST(PicDBHostileFolder, HugeClaimsAreUnreadableAndEveryOtherThumbnailIsRight)
{
    TFolder F;
    const std::vector<hostile::TClaim> Claims = hostile::HugeClaims();
    for (int I = 0; I < 16; ++I) {
        const hostile::TClaim& C = Claims[size_t(I) % Claims.size()];
        WriteBytes(F / Format("huge%.2d-%s", I, C.Name), C.Bytes);
    }
    // Ordinary pictures of every kind, each of its own colour; their names sort among the claims.
    struct Ordinary {
        const char* Name;
        int W, H;
        TColor Colour;
    } Pictures[] = {
        {"huge03a.jpg", 4000, 3000, RGB(200, 40, 30)},
        {"huge07a.bmp", 640, 480, RGB(20, 160, 60)},
        {"huge09a.gif", 300, 200, RGB(0, 0, 255)},
        {"photo.jpg", 1200, 1600, RGB(230, 210, 20)},
        {"small.bmp", 40, 30, RGB(90, 20, 140)},
    };
    for (const Ordinary& P : Pictures) {
        TXBitmap B;
        B.SetSize(P.W, P.H);
        B.Canvas().Brush.Color = P.Colour;
        B.Canvas().FillRect(Rect(0, 0, P.W, P.H));
        B.SavePictureToFile(F / P.Name, false);
    }

    hostile::ResetPeakResident();
    TTestDB DB;
    DB.SetDirectory(F.Path);
    const int64_t Peak = hostile::PeakResidentBytes();

    ASSERT_EQ(DB.Count(), int(std::size(Pictures)));
    for (int I = 0; I < DB.Count(); ++I) {
        const Ordinary& P = Pictures[I];
        EXPECT_EQ(DB.Records(I)->Name, P.Name);
        EXPECT_EQ(DB.GetDimensionsText(I), Format("%d x %d", P.W, P.H)) << P.Name;
        TBitmap Thumb;
        DB.ThumbBitmap(I, Thumb);
        const TRGBTriple C = Thumb.Row24(Thumb.Height() / 2)[Thumb.Width() / 2];
        EXPECT_NEAR(C.rgbtRed, GetRValue(P.Colour), 8) << P.Name;
        EXPECT_NEAR(C.rgbtGreen, GetGValue(P.Colour), 8) << P.Name;
        EXPECT_NEAR(C.rgbtBlue, GetBValue(P.Colour), 8) << P.Name;
    }
    // Each claim alone would take 0.8 to 1.6 GB; the whole folder stays well below one of them.
    ASSERT_GT(Peak, 0);
    EXPECT_LT(Peak, int64_t(1536) << 20) << "peak resident bytes while browsing";
    EXPECT_EQ(TDecodeMemoryPool::Shared().Used(), 0);
}
