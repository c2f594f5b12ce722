// GIFs written by this codec, checked by independent decoders (giflib's gif2rgb and giftext,
// ImageMagick, gifsicle). Each test is skipped when its tool is not installed.
#include "GIFTestSupport.h"

#include "support/Fixtures.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

using namespace gif_test;

namespace {

const char* const kConvert = "/usr/bin/convert"; // ImageMagick itself, not a wrapper on the PATH

bool HaveTool(const QString& Path)
{
    return QFile::exists(Path);
}

// Runs a tool; its standard output, or "" with a failure when it does not end well.
QByteArray RunTool(const QString& Program, const QStringList& Args)
{
    QProcess P;
    P.start(Program, Args);
    if (!P.waitForFinished(60000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0) {
        ADD_FAILURE() << Program.toStdString() << " " << Args.join(' ').toStdString() << " failed: "
                      << P.readAllStandardError().toStdString();
        return {};
    }
    return P.readAllStandardOutput();
}

Bytes ReadFile(const QString& Path)
{
    std::ifstream In(Path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>());
}

void WriteFile(const QString& Path, const Bytes& Data)
{
    std::ofstream Out(Path.toStdString(), std::ios::binary);
    Out.write(reinterpret_cast<const char*>(Data.data()), static_cast<std::streamsize>(Data.size()));
}

// One frame of W x H with a local table of random colours and pixels of the given kind.
struct TTestPicture {
    TGIFImage Image;
    Bytes RGB;
    TTestPicture(int W, int H, int Bits, const std::string& Kind, unsigned Seed, bool Interlaced, uint8_t Compression)
    {
        std::mt19937 Rng(Seed);
        const int Colors = 1 << Bits;
        Bytes Pixels(static_cast<size_t>(W) * static_cast<size_t>(H));
        for (size_t i = 0; i < Pixels.size(); ++i) {
            const int X = static_cast<int>(i % static_cast<size_t>(W)), Y = static_cast<int>(i / static_cast<size_t>(W));
            Pixels[i] = static_cast<uint8_t>(Kind == "noise" ? Rng() % static_cast<unsigned>(Colors)
                                                             : (X / 16 + Y / 9) % Colors);
        }
        Image.Compression = Compression;
        TGIFSubImage* Frame = AddFrame(Image, W, H, Pixels, 0);
        for (int i = 0; i < Colors; ++i)
            Frame->ColorMap.Add(static_cast<TColor>(Rng() & 0xFFFFFF));
        if (Interlaced) {
            // Without a local table the interlace bit is written; move the table to the header.
            Image.GlobalColorMap().Assign(Frame->ColorMap);
            Frame->ColorMap.Clear();
            Frame->Descriptor().PackedFields |= 0x40;
        }
        TGIFColorMap& Map = Frame->ActiveColorMap();
        for (uint8_t P : Pixels) {
            const TGIFColor C = Map.Colors()[P];
            RGB.insert(RGB.end(), {C.Red, C.Green, C.Blue});
        }
    }
};

} // namespace

// Both encoders, 1x1 up to large, interlaced or not: giflib and ImageMagick decode what this codec
// writes to the same pixels.
TEST(GIFTools, WrittenFilesDecodeElsewhere)
{
    if (!HaveTool("/usr/bin/gif2rgb") || !HaveTool(kConvert))
        GTEST_SKIP() << "gif2rgb or ImageMagick not installed";
    QTemporaryDir Dir;
    ASSERT_TRUE(Dir.isValid());
    struct Case {
        int W, H, Bits;
        const char* Kind;
    };
    const Case Cases[] = {{1, 1, 1, "noise"},     {7, 5, 2, "noise"},   {255, 1, 8, "noise"}, {640, 480, 8, "noise"},
                          {1000, 700, 4, "bands"}, {123, 77, 3, "bands"}, {2000, 3, 8, "bands"}};
    for (const Case& C : Cases)
        for (uint8_t Compression : {CompressLZW, CompressRLE})
            for (bool Interlaced : {false, true}) {
                SCOPED_TRACE(::testing::Message() << C.W << "x" << C.H << " " << C.Bits << " bits " << C.Kind
                                                  << (Compression == CompressRLE ? " RLE" : " LZW")
                                                  << (Interlaced ? " interlaced" : ""));
                TTestPicture Picture(C.W, C.H, C.Bits, C.Kind, static_cast<unsigned>(C.W + C.H), Interlaced, Compression);
                const QString File = Dir.filePath("t.gif");
                const Bytes Data = SaveImage(Picture.Image);
                WriteFile(File, Data);

                RunTool("/usr/bin/gif2rgb", {"-1", "-o", Dir.filePath("g.rgb"), File});
                EXPECT_EQ(ReadFile(Dir.filePath("g.rgb")), Picture.RGB) << "giflib";
                const QByteArray IM = RunTool(kConvert, {File, "-alpha", "off", "rgb:-"});
                EXPECT_EQ(Bytes(IM.begin(), IM.end()), Picture.RGB) << "ImageMagick";
            }
}

// A frame whose data fill an exact multiple of 255 bytes reads everywhere.
TEST(GIFTools, DataOnBlockBoundaryDecodeElsewhere)
{
    if (!HaveTool("/usr/bin/gif2rgb"))
        GTEST_SKIP() << "gif2rgb not installed";
    QTemporaryDir Dir;
    int Checked = 0;
    for (int W = 50; W < 2000 && Checked < 2; ++W) {
        TTestPicture Picture(W, 3, 8, "noise", static_cast<unsigned>(W), false, CompressLZW);
        const Bytes Data = SaveImage(Picture.Image);
        // ... data sub-blocks, terminator 0, trailer 0x3B.
        const size_t DataStart = 13 + 10 + 256 * 3 + 1;
        if ((Data.size() - 2 - DataStart) % 256 != 0)
            continue;
        ++Checked;
        WriteFile(Dir.filePath("b.gif"), Data);
        RunTool("/usr/bin/gif2rgb", {"-1", "-o", Dir.filePath("b.rgb"), Dir.filePath("b.gif")});
        EXPECT_EQ(ReadFile(Dir.filePath("b.rgb")), Picture.RGB) << W;
    }
    EXPECT_EQ(Checked, 2);
}

// gifsicle sees the version, screen, one frame and the transparent index that were written.
TEST(GIFTools, GifsicleReadsStructure)
{
    if (!HaveTool("/usr/bin/gifsicle"))
        GTEST_SKIP() << "gifsicle not installed";
    QTemporaryDir Dir;
    TGIFImage Image;
    TGIFSubImage* Frame = AddFrame(Image, 30, 20, Bytes(600, 3), 10);
    auto* GCE = new TGIFGraphicControlExtension(Frame);
    Frame->Extensions.Add(GCE);
    GCE->SetTransparent(true);
    GCE->SetTransparentColorIndex(7);
    const Bytes Data = SaveImage(Image);
    EXPECT_EQ(std::string(Data.begin(), Data.begin() + 6), "GIF89a");
    WriteFile(Dir.filePath("s.gif"), Data);
    const std::string Info = RunTool("/usr/bin/gifsicle", {"--info", Dir.filePath("s.gif")}).toStdString();
    EXPECT_NE(Info.find("1 image"), std::string::npos) << Info;
    EXPECT_NE(Info.find("logical screen 30x20"), std::string::npos) << Info;
    EXPECT_NE(Info.find("+ image #0 30x20 transparent 7"), std::string::npos) << Info;
    EXPECT_NE(Info.find("local color table [16]"), std::string::npos) << Info;
}

// Extensions survive a load and a save: giftext lists the same extension blocks for both files.
TEST(GIFTools, ExtensionsSurviveReSave)
{
    if (!HaveTool("/usr/bin/giftext"))
        GTEST_SKIP() << "giftext not installed";
    // The extension sections of a giftext dump.
    auto Extensions = [](const QByteArray& Dump) {
        std::istringstream In(Dump.toStdString());
        std::string Line, Out;
        bool InExtension = false;
        while (std::getline(In, Line)) {
            if (Line.rfind("GIF89", 0) == 0)
                InExtension = true;
            else if (Line.rfind("Image #", 0) == 0 || Line.rfind("GIF file terminated", 0) == 0)
                InExtension = false;
            if (InExtension)
                Out += Line + "\n";
        }
        return Out;
    };
    QTemporaryDir Dir;
    for (const char* Name : {"local", "animation", "transparent", "offset"}) {
        SCOPED_TRACE(Name);
        const QString Original = QString::fromStdString(FixturePath(std::string("gif/fixtures/") + Name + ".gif"));
        TWarnedImage W;
        W.Load(ReadFile(Original));
        WriteFile(Dir.filePath("r.gif"), SaveImage(W.Image));
        const std::string Before = Extensions(RunTool("/usr/bin/giftext", {Original}));
        const std::string After = Extensions(RunTool("/usr/bin/giftext", {Dir.filePath("r.gif")}));
        EXPECT_FALSE(Before.empty());
        EXPECT_EQ(After, Before);
    }
}
