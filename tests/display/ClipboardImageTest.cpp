// The program's clipboard as other programs on the X11 display see it: the newest picture as PNG and
// the whole history in the private format, both made when xclip asks for them; and a picture put
// there by xclip pasted into the program.
#include "shell/CVClipbrd.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

// A picture whose every pixel differs from its neighbours, in W x H.
std::unique_ptr<TBitmap> Pattern(int W, int H, uint8_t Seed)
{
    auto b = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            b->Row24(y)[x] = TRGBTriple{uint8_t(x * 7 + Seed), uint8_t(y * 13), uint8_t((x ^ y) + Seed)};
    return b;
}

bool SamePixels(const TBitmap& A, const QImage& B)
{
    if (A.Width() != B.width() || A.Height() != B.height())
        return false;
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x) {
            const TColor c = A.GetPixel(x, y);
            if (B.pixel(x, y) != qRgb(GetRValue(c), GetGValue(c), GetBValue(c)))
                return false;
        }
    return true;
}

// Runs xclip with Args on the clipboard selection while this program's event loop serves its
// requests; its standard output, or a test failure.
QByteArray RunXclip(const QStringList& Args, const QByteArray& Input = {})
{
    QProcess xclip;
    xclip.start("xclip", QStringList{"-selection", "clipboard"} + Args);
    EXPECT_TRUE(xclip.waitForStarted(5000)) << "xclip is needed for this test";
    if (!Input.isEmpty()) {
        xclip.write(Input);
        xclip.closeWriteChannel();
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000))
        << Args.join(' ').toStdString();
    EXPECT_EQ(xclip.exitCode(), 0) << xclip.readAllStandardError().toStdString();
    return xclip.readAllStandardOutput();
}

} // namespace

TEST(ClipboardOnTheDisplay, OtherProgramsGetTheNewestPictureAndTheHistory)
{
    TQtSystemClipboard system;
    TCVClipboard clip(system);
    const auto older = Pattern(31, 17, 0), newer = Pattern(45, 23, 90);
    clip.CopyBitmap(older.get(), clRed);
    clip.CopyBitmapNoTag(newer.get());

    const QString targets = QString::fromLatin1(RunXclip({"-t", "TARGETS", "-o"}));
    EXPECT_TRUE(targets.contains("image/png")) << targets.toStdString();
    EXPECT_TRUE(targets.contains(CVClipboardFormat)) << targets.toStdString();

    const QImage png = QImage::fromData(RunXclip({"-t", "image/png", "-o"}), "PNG");
    ASSERT_FALSE(png.isNull());
    EXPECT_TRUE(SamePixels(*newer, png.convertToFormat(QImage::Format_RGB32)));

    // The history, newest first, each picture with its tag.
    const QByteArray block = RunXclip({"-t", CVClipboardFormat, "-o"});
    struct TSeen {
        TColor Tag;
        std::unique_ptr<TBitmap> Picture;
    };
    std::vector<TSeen> seen;
    ASSERT_TRUE(TCVClipboardStream::VisitBlock(reinterpret_cast<const uint8_t*>(block.constData()), block.size(),
                                               [&](uint32_t, TColor Tag, const uint8_t* Picture, int64_t Size) {
                                                   TBytesStream stream(Picture, Size);
                                                   auto b = std::make_unique<TBitmap>();
                                                   ReadBMP(stream, *b);
                                                   seen.push_back({Tag, std::move(b)});
                                               }));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].Tag, -1);
    EXPECT_TRUE(SamePixels(*seen[0].Picture, newer->AsQImage().convertToFormat(QImage::Format_RGB32)));
    EXPECT_EQ(seen[1].Tag, clRed);
    EXPECT_TRUE(SamePixels(*seen[1].Picture, older->AsQImage().convertToFormat(QImage::Format_RGB32)));
}

TEST(ClipboardOnTheDisplay, APictureFromAnotherProgramPastes)
{
    TQtSystemClipboard system;
    TCVClipboard clip(system);
    const auto mine = Pattern(8, 8, 5);
    clip.CopyBitmapNoTag(mine.get());

    const auto theirs = Pattern(29, 19, 200);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(theirs->AsQImage().save(&buffer, "PNG"));
    }
    // xclip serves the picture until another program takes the clipboard; -quiet keeps it in the
    // foreground, a child of this test.
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-quiet", "-t", "image/png", "-i"});
    ASSERT_TRUE(xclip.waitForStarted(5000)) << "xclip is needed for this test";
    xclip.write(png);
    xclip.closeWriteChannel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return clip.GetPriorityFormat() == ccBitmap; }, 10000));

    TBitmap pasted;
    TColor tag = 0;
    clip.PasteBitmap(&pasted, tag);
    EXPECT_EQ(tag, -1);
    EXPECT_TRUE(SamePixels(pasted, theirs->AsQImage().convertToFormat(QImage::Format_RGB32)));

    // A copy now starts a history of two: the new picture, then theirs.
    clip.CopyBitmapNoTag(mine.get());
    std::vector<int> widths;
    clip.EnumItems([&](uint32_t, TBitmap& Bitmap, TColor, bool&) { widths.push_back(Bitmap.Width()); });
    EXPECT_EQ(widths, (std::vector<int>{8, 29}));
    // Taking the clipboard ended xclip.
    EXPECT_TRUE(QTest::qWaitFor([&] { return xclip.state() == QProcess::NotRunning; }, 10000));
    if (xclip.state() != QProcess::NotRunning) {
        xclip.kill();
        xclip.waitForFinished(3000);
    }
}
