// The picture open and save dialogs (preview of BMP, JPEG and GIF files, animated GIFs playing in both
// previews, what is no picture, the full-size preview, the extra buttons, browsing, the save dialog's
// extensions and its replace question), the silent paint panel and the add-text dialog with its
// recent texts.
#include "controls/AddTextDlg.h"
#include "controls/RFPicPopupMenu.h"
#include "controls/XOpenPictureDlg.h"

#include "gif/GIFPainter.h"
#include "globals/UIServicesIntf.h"
#include "image/XBitmap.h"
#include "support/Fixtures.h"
#include "support/HostilePictures.h"
#include "support/Settle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontComboBox>
#include <QFontDatabase>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QFileInfo>
#include <QHeaderView>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>
#include <QTreeView>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <mutex>

namespace {

struct TScriptedUI : IUIServices {
    struct TMessage {
        std::string Text;
        TMsgDlgType Type;
        unsigned Buttons;
    };
    std::vector<TMessage> Messages;
    std::deque<TModalResult> Answers;
    std::function<bool(QDialog&)> OnDialog;
    int DialogsRun = 0;

    TModalResult MessageDlg(QWidget*, const std::string& Text, TMsgDlgType Type, unsigned Buttons) override
    {
        Messages.push_back({Text, Type, Buttons});
        if (Answers.empty())
            return mrYes;
        const TModalResult A = Answers.front();
        Answers.pop_front();
        return A;
    }
    bool ExecuteDialog(QDialog& Dialog) override
    {
        ++DialogsRun;
        return OnDialog && OnDialog(Dialog);
    }
};

class PictureDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.isValid());
        Previous = InstalledUIServices();
        InstallUIServices(&UI);
    }
    void TearDown() override
    {
        QThreadPool::globalInstance()->waitForDone();
        InstallUIServices(Previous);
    }
    std::string Path(const std::string& Name) const { return Dir.filePath(QString::fromStdString(Name)).toStdString(); }
    // A picture of one colour saved under Name (its extension gives the format).
    std::string Picture(const std::string& Name, int W, int H, TColor Colour)
    {
        TXBitmap B;
        B.SetSize(W, H);
        B.Canvas().Brush.Color = Colour;
        B.Canvas().FillRect(Rect(0, 0, W, H));
        B.SavePictureToFile(Path(Name), false);
        return Path(Name);
    }
    std::string File(const std::string& Name, const std::string& Bytes)
    {
        std::ofstream(Path(Name), std::ios::binary) << Bytes;
        return Path(Name);
    }
    static std::string Label(const TXCustomOpenPictureDialog& D) { return D.PictureLabel()->text().toStdString(); }

    QTemporaryDir Dir;
    TScriptedUI UI;
    IUIServices* Previous = nullptr;
};

QRgb Centre(const QImage& Image)
{
    return Image.pixel(Image.width() / 2, Image.height() / 2) & 0xFFFFFF;
}

constexpr QRgb kRed = 0xFF0000, kBlue = 0x0000FF;

} // namespace

// ---- Preview pictures without widgets ------------------------------------------------------------------

TEST(PreviewSize, FitsKeepingProportions)
{
    const struct {
        int W, H, MaxW, MaxH, NewW, NewH;
    } cases[] = {
        {400, 200, 150, 140, 150, 75},  // twice as wide as high: the area's width, half as high
        {100, 400, 150, 140, 35, 140},  // taller than the area's proportion: the area's height
        {150, 140, 150, 140, 150, 140}, // exactly the area
        {300, 280, 150, 140, 150, 140}, // same proportion, larger
        {120, 30, 150, 140, 120, 30},   // fits: kept
        {5000, 1, 150, 140, 150, 1},    // a hair-thin picture keeps one row
        {1, 5000, 150, 140, 1, 140},
    };
    for (const auto& c : cases) {
        int W = 0, H = 0;
        FitPreviewSize(c.W, c.H, c.MaxW, c.MaxH, W, H);
        EXPECT_EQ(W, c.NewW) << c.W << "x" << c.H;
        EXPECT_EQ(H, c.NewH) << c.W << "x" << c.H;
    }
}

TEST_F(PictureDialogs, PreviewsOfEachFormatGiveTheirOwnSize)
{
    const struct {
        std::string File;
        int W, H;
        QRgb Colour;
    } cases[] = {
        {Picture("wide.bmp", 300, 100, clRed), 300, 100, kRed},
        {Picture("photo.jpg", 1600, 800, clBlue), 1600, 800, kBlue}, // decoded at a reduced scale
        {Picture("tall.gif", 30, 300, clRed), 30, 300, kRed},
        {Picture("small.bmp", 20, 10, clBlue), 20, 10, kBlue},
        // Recognised by their content, whatever the name says.
        {FixturePath("image/fixtures/holiday.gif"), 5, 3, 0},
        {FixturePath("image/fixtures/logo.bmp"), 4, 2, 0},
        {FixturePath("image/fixtures/photo.jpg"), 37, 23, 0},
    };
    for (bool Resample : {false, true})
        for (const auto& c : cases) {
            const TFilePreview P = LoadPicturePreview(c.File, 150, 140, Resample);
            ASSERT_TRUE(P.Valid) << c.File;
            EXPECT_EQ(P.Width, c.W) << c.File;
            EXPECT_EQ(P.Height, c.H) << c.File;
            int W = 0, H = 0;
            FitPreviewSize(c.W, c.H, 150, 140, W, H);
            EXPECT_EQ(P.Image.size(), QSize(W, H)) << c.File << " resample " << Resample;
            if (c.Colour) {
                // JPEG colours are near, not exact.
                const QColor Got(Centre(P.Image)), Want(c.Colour);
                EXPECT_NEAR(Got.red(), Want.red(), 8) << c.File;
                EXPECT_NEAR(Got.blue(), Want.blue(), 8) << c.File;
            }
        }
}

TEST_F(PictureDialogs, ResampledPreviewAveragesWhereTheQuickOneDropsPixels)
{
    // Stripes one pixel wide, shrunk to half: averaging gives their mean, dropping keeps one stripe.
    TXBitmap B;
    B.SetSize(600, 2);
    for (int X = 0; X < 600; ++X)
        for (int Y = 0; Y < 2; ++Y)
            B.SetPixelColor(X, Y, X % 2 ? clWhite : clBlack);
    B.SavePictureToFile(Path("stripes.bmp"), false);
    const TFilePreview Smooth = LoadPicturePreview(Path("stripes.bmp"), 300, 100, true);
    const TFilePreview Quick = LoadPicturePreview(Path("stripes.bmp"), 300, 100, false);
    ASSERT_TRUE(Smooth.Valid && Quick.Valid);
    ASSERT_EQ(Smooth.Image.size(), QSize(300, 1));
    EXPECT_EQ(qRed(Smooth.Image.pixel(10, 0)), 127);
    const int Quick10 = qRed(Quick.Image.pixel(10, 0));
    EXPECT_TRUE(Quick10 == 0 || Quick10 == 255) << Quick10;
}

TEST_F(PictureDialogs, WhatIsNoPictureGivesAnInvalidPreviewAtOnce)
{
    const std::string Fifo = Path("pipe.bmp");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    QDir(Dir.path()).mkdir("folder.bmp");
    const std::string cases[] = {
        Path("missing.bmp"),
        Path("folder.bmp"),
        Fifo, // opening it for reading would wait for a writer
        File("empty.bmp", ""),
        File("text.jpg", "just some text, not a picture"),
        File("broken.jpg", "\xFF\xD8\xFF\xE0 cut short"),
        File("broken.gif", "GIF89a\x10"),
        File("broken.bmp", "BM\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e"),
        FixturePath("image/fixtures/lowercase.gif"),
    };
    for (const std::string& Name : cases) {
        const TFilePreview P = LoadPicturePreview(Name, 150, 140, true);
        EXPECT_FALSE(P.Valid) << Name;
        EXPECT_TRUE(P.Image.isNull()) << Name;
    }
}

TEST_F(PictureDialogs, HugeClaimsGiveAnInvalidPreviewAndNoRecentFileThumbnail)
{
    // Tiny files that claim 16384 x 16384 pictures: the preview (either way of shrinking, a GIF
    // loaded whole for its animation too) and the recent-files thumbnail refuse them within budget.
    for (const hostile::TClaim& C : hostile::HugeClaims()) {
        const std::string Name = File(C.Name, std::string(C.Bytes.begin(), C.Bytes.end()));
        hostile::ResetPeakResident();
        const int64_t Before = hostile::PeakResidentBytes();
        for (const bool Resample : {true, false}) {
            const TFilePreview P = LoadPicturePreview(Name, 150, 140, Resample);
            EXPECT_FALSE(P.Valid) << C.Name << " " << Resample;
            EXPECT_FALSE(P.Animation) << C.Name << " " << Resample;
        }
        TBitmap Thumbnail;
        EXPECT_FALSE(rfpic::MakeThumbnail(Name, Thumbnail)) << C.Name;
        EXPECT_LT(hostile::PeakResidentBytes() - Before, int64_t(64) << 20) << C.Name;
    }
}

// ---- Silent paint panel ---------------------------------------------------------------------------------

TEST(SilentPaintPanel, APaintThatRaisesShowsInvalidImage)
{
    TXSilentPaintPanel Panel;
    Panel.resize(80, 60);
    Panel.SetCaption("(None)");
    bool Raise = false;
    Panel.OnPaintContents = [&](QWidget*, QPainter& Canvas, const QRect& Area) {
        Canvas.fillRect(Area, Qt::green);
        if (Raise)
            throw EInvalidGraphic("cannot draw");
    };
    const QImage Good = Panel.grab().toImage();
    EXPECT_EQ(Centre(Good), 0x00FF00u);
    EXPECT_EQ(Panel.Caption(), "(None)");
    Raise = true;
    const QImage Bad = Panel.grab().toImage();
    EXPECT_EQ(Panel.Caption(), "Invalid image");
    EXPECT_NE(Bad.pixel(6, 6) & 0xFFFFFF, 0x00FF00u); // the half-drawn picture is gone
}

// ---- The dialogs ------------------------------------------------------------------------------------------

TEST(ExtraButtons, PresentButtonsStandFromTheRight)
{
    const struct {
        TPictureDialogExtraButtons Buttons;
        TExtraButtonLefts Lefts;
    } cases[] = {
        {ebPreview | ebBrowse, {139, 113, 0}},
        {ebOptions, {0, 0, 139}},
        {ebPreview | ebBrowse | ebOptions, {139, 113, 87}},
        {ebBrowse | ebOptions, {0, 139, 113}},
    };
    for (const auto& c : cases) {
        const TExtraButtonLefts L = ExtraButtonLefts(c.Buttons, 169);
        EXPECT_EQ(L.Preview, c.Lefts.Preview) << c.Buttons;
        EXPECT_EQ(L.Browse, c.Lefts.Browse) << c.Buttons;
        EXPECT_EQ(L.Options, c.Lefts.Options) << c.Buttons;
    }
    TXOpenPictureDialog D;
    D.SetExtraButtons(ebOptions);
    EXPECT_FALSE(D.PreviewButton()->isVisibleTo(&D));
    EXPECT_FALSE(D.BrowseButton()->isVisibleTo(&D));
    EXPECT_TRUE(D.OptionsButton()->isVisibleTo(&D));
    EXPECT_EQ(D.OptionsButton()->x(), 139);
    EXPECT_EQ(D.OptionsButton()->toolTip(), "Open picture options");
    EXPECT_EQ(TXSavePictureDialog().OptionsButton()->toolTip(), "Save picture options");
    int Clicks = 0;
    D.OnOptionsClick = [&](QWidget* Sender) { Clicks += Sender == &D; };
    D.OptionsButton()->click();
    EXPECT_EQ(Clicks, 1);
}

// At the dialog's first size the detail list's Size, Type and Date columns show every entry's whole
// text and the columns together fit the list, so no entry is elided there.
TEST_F(PictureDialogs, TheFileListShowsItsColumnsWhole)
{
    Picture("small.bmp", 10, 10, clRed);
    Picture("a picture of some width.bmp", 300, 200, clBlue);
    Picture("c.jpg", 120, 90, clRed);
    QDir(Dir.path()).mkdir("folder");
    TXOpenPictureDialog D;
    D.setDirectory(Dir.path());
    D.show();
    auto* View = D.findChild<QTreeView*>("treeView");
    ASSERT_NE(View, nullptr);
    ASSERT_TRUE(View->isVisible());
    QHeaderView* Header = View->header();
    const QModelIndex Root = View->rootIndex();
    // The entries are read by a thread: wait for all four (with their sizes) and the fitting after.
    const auto Cut = [&] {
        std::vector<std::string> Cut;
        for (int Row = 0; Row < View->model()->rowCount(Root); ++Row)
            for (int Column = 1; Column < Header->count(); ++Column) {
                const QModelIndex Index = View->model()->index(Row, Column, Root);
                if (View->sizeHintForIndex(Index).width() > Header->sectionSize(Column))
                    Cut.push_back(Index.data().toString().toStdString());
            }
        for (int Column = 1; Column < Header->count(); ++Column)
            if (Header->sectionSizeHint(Column) > Header->sectionSize(Column))
                Cut.push_back(View->model()->headerData(Column, Qt::Horizontal).toString().toStdString());
        return Cut;
    };
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return View->model()->rowCount(Root) == 4 && Cut().empty(); }, 5000));
    EXPECT_EQ(View->model()->rowCount(Root), 4);
    EXPECT_EQ(Cut(), std::vector<std::string>{});
    EXPECT_GE(Header->count(), 4);
    EXPECT_LE(Header->length(), View->viewport()->width() + 1);
}

TEST_F(PictureDialogs, SelectionsPreviewTheirPictureOrNone)
{
    const std::string Bmp = Picture("a.bmp", 300, 100, clRed);
    const std::string Gif = Picture("b.gif", 40, 80, clBlue);
    const std::string Jpeg = Picture("c.jpg", 1200, 900, clRed);
    const std::string Fifo = Path("pipe.jpg");
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    TXOpenPictureDialog D;
    D.setDirectory(Dir.path());
    D.show();
    EXPECT_EQ(D.PaintPanel()->Caption(), "(None)");
    const struct {
        std::string File;
        std::string Label; // empty: no picture
    } cases[] = {
        {Bmp, " (300 x 100)"}, {Dir.path().toStdString(), ""}, {Gif, " (40 x 80)"}, {Fifo, ""},
        {Jpeg, " (1200 x 900)"}, {File("bad.bmp", "BM?"), ""},
    };
    for (const auto& c : cases) {
        D.PreviewFile(c.File);
        D.WaitForPreview();
        if (c.Label.empty()) {
            EXPECT_EQ(Label(D), "Picture:") << c.File;
            EXPECT_EQ(D.PaintPanel()->Caption(), "(None)") << c.File;
            EXPECT_FALSE(D.PreviewButton()->isEnabled()) << c.File;
            EXPECT_TRUE(D.PreviewImage().isNull()) << c.File;
        } else {
            EXPECT_EQ(Label(D), c.Label) << c.File;
            EXPECT_EQ(D.PaintPanel()->Caption(), "") << c.File;
            EXPECT_TRUE(D.PreviewButton()->isEnabled()) << c.File;
            EXPECT_FALSE(D.PreviewImage().isNull()) << c.File;
            EXPECT_EQ(D.LastGoodPreview(), c.File);
        }
    }
    EXPECT_TRUE(UI.Messages.empty());
    EXPECT_EQ(UI.DialogsRun, 0);
}

TEST_F(PictureDialogs, SameFileTwiceLoadsOnceAndShowingAgainStartsAfresh)
{
    const std::string Bmp = Picture("a.bmp", 30, 20, clRed);
    TXOpenPictureDialog D;
    D.show();
    D.PreviewFile(Bmp);
    D.WaitForPreview();
    D.PreviewFile(Bmp);
    D.WaitForPreview();
    EXPECT_EQ(D.PreviewLoads(), 1);
    D.hide();
    D.show();
    EXPECT_TRUE(D.PreviewImage().isNull());
    EXPECT_EQ(D.PaintPanel()->Caption(), "(None)");
    D.PreviewFile(Bmp);
    D.WaitForPreview();
    EXPECT_EQ(D.PreviewLoads(), 2);
    EXPECT_EQ(Label(D), " (30 x 20)");
}

TEST_F(PictureDialogs, ANewerSelectionOverridesOneStillDecoding)
{
    const std::string Big = Picture("big.jpg", 3000, 2000, clRed);
    const std::string Small = Picture("small.bmp", 20, 10, clBlue);
    TXOpenPictureDialog D;
    D.show();
    D.PreviewFile(Big);
    D.PreviewFile(Small);
    D.WaitForPreview();
    // The older result, whenever it comes, changes nothing.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(Label(D), " (20 x 10)");
    EXPECT_EQ(Centre(D.PreviewImage()), kBlue);
    // A folder selected while a picture decodes leaves no picture.
    D.PreviewFile(Big);
    D.PreviewFile(Dir.path().toStdString());
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(Label(D), "Picture:");
    EXPECT_TRUE(D.PreviewImage().isNull());
}

TEST_F(PictureDialogs, FullSizePreviewShowsThePictureInThePanel)
{
    const std::string Red = Picture("red.bmp", 60, 40, clRed);
    const std::string Blue = Picture("blue.bmp", 50, 50, clBlue);
    TXOpenPictureDialog D;
    D.show();
    struct {
        std::string Title, Name;
        QSize Size;
        QRgb Colour = 0;
    } Shown;
    UI.OnDialog = [&](QDialog& Form) {
        Shown.Title = Form.windowTitle().toStdString();
        Shown.Name = Form.objectName().toStdString();
        Shown.Size = Form.size();
        Shown.Colour = Centre(Form.grab().toImage());
        return false;
    };
    D.PreviewFile(Red);
    D.WaitForPreview();
    // Another selection is still being decoded: the picture on show is the one previewed well.
    D.PreviewFile(Blue);
    D.ShowFullSizePreview();
    EXPECT_EQ(UI.DialogsRun, 1);
    EXPECT_EQ(Shown.Title, "Preview: red.bmp");
    EXPECT_EQ(Shown.Name, "PreviewForm");
    EXPECT_EQ(Shown.Colour, kRed);
    EXPECT_EQ(Shown.Size, QSize(60 + 12, 40 + 12)); // the picture and the panel's border
    D.WaitForPreview();
    D.PreviewButton()->click();
    EXPECT_EQ(Shown.Title, "Preview: blue.bmp");
    EXPECT_EQ(Shown.Colour, kBlue);

    // A picture that no longer loads shows nothing and reports nothing; neither does an empty panel.
    File("blue.bmp", "damaged now");
    D.ShowFullSizePreview();
    D.PreviewFile(Dir.path().toStdString());
    D.ShowFullSizePreview();
    EXPECT_EQ(UI.DialogsRun, 2);
    EXPECT_TRUE(UI.Messages.empty());
}

TEST_F(PictureDialogs, BrowseEndsTheDialogAndKeepsALongFolder)
{
    // A folder path far beyond 255 characters.
    QString Deep = Dir.path();
    for (int I = 0; I < 12; ++I)
        Deep += "/" + QString(30, QChar('a' + I));
    ASSERT_TRUE(QDir().mkpath(Deep));
    ASSERT_GT(Deep.size(), 255);
    TXOpenPictureDialog D;
    D.setDirectory(Deep);
    D.show();
    EXPECT_EQ(D.CurrentFolder(), Deep.toStdString());
    D.BrowseButton()->click();
    EXPECT_TRUE(D.BrowseClicked());
    EXPECT_EQ(D.result(), QDialog::Rejected);
    EXPECT_FALSE(D.isVisible());
    EXPECT_EQ(D.CurrentFolder(), Deep.toStdString());
    D.show();
    EXPECT_FALSE(D.BrowseClicked());
}

// ---- Animated GIFs in the previews ------------------------------------------------------------------

namespace {

// 24 x 16, four frames of 120 ms, repeating without end; every frame covers the whole screen.
const std::string kAnimation = "gif/fixtures/anim-undefined.gif";
constexpr int kAnimW = 24, kAnimH = 16;

// The pictures a player shows, frame by frame (made by ImageMagick).
std::vector<QImage> AnimationFrames()
{
    std::vector<QImage> Frames;
    for (int I = 0; I < 4; ++I) {
        std::ifstream In(FixturePath("gif/fixtures/anim-undefined.c" + std::to_string(I) + ".rgb"), std::ios::binary);
        const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
        EXPECT_EQ(Bytes.size(), size_t(kAnimW * kAnimH * 3));
        const QImage Frame(reinterpret_cast<const uchar*>(Bytes.data()), kAnimW, kAnimH, kAnimW * 3, QImage::Format_RGB888);
        Frames.push_back(Frame.convertToFormat(QImage::Format_RGB32));
    }
    return Frames;
}

// What the panel shows where a picture of the animation's size stands, centred inside its bevels.
QImage ShownPicture(TXSilentPaintPanel& Panel)
{
    const QImage All = Panel.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const TRect Inner = Panel.AdjustClientRect(Rect(0, 0, Panel.width(), Panel.height()));
    return All.copy(Inner.Left + (Inner.Width() - kAnimW) / 2, Inner.Top + (Inner.Height() - kAnimH) / 2, kAnimW, kAnimH);
}

// Runs the event loop until the panel has shown Wanted different pictures (or a generous time-out
// passed); answers them in the order they first showed, as indices into Frames (-1: no frame).
std::vector<int> FramesShown(TXSilentPaintPanel& Panel, size_t Wanted)
{
    static const std::vector<QImage> Frames = AnimationFrames();
    std::vector<int> Seen;
    static_cast<void>(QTest::qWaitFor([&] {
        const auto It = std::find(Frames.begin(), Frames.end(), ShownPicture(Panel));
        const int Index = It == Frames.end() ? -1 : static_cast<int>(It - Frames.begin());
        if (std::find(Seen.begin(), Seen.end(), Index) == Seen.end())
            Seen.push_back(Index);
        return Seen.size() >= Wanted;
    }, 10000));
    return Seen;
}

// The painter threads have all ended. A stopped thread ends at once; a loaded machine may take a
// moment to run it to its end, while one that was never stopped plays on.
bool NoPainterLeft()
{
    return QTest::qWaitFor([] { return GIFPainterThreadsRunning() == 0; }, 2000);
}

} // namespace

TEST_F(PictureDialogs, OnlyAQuickPreviewOfAGifOfSeveralFramesComesAsAnAnimation)
{
    const std::string Still = Picture("still.gif", 30, 20, clRed);
    const struct {
        std::string File;
        bool Resample, Animated;
    } cases[] = {
        {FixturePath(kAnimation), false, true},
        {FixturePath(kAnimation), true, false}, // the resampled preview is a still picture
        {Still, false, false},                  // one frame
        {Picture("still.bmp", 30, 20, clRed), false, false},
    };
    for (const auto& c : cases) {
        const TFilePreview P = LoadPicturePreview(c.File, 150, 140, c.Resample);
        ASSERT_TRUE(P.Valid) << c.File;
        EXPECT_EQ(P.Animation != nullptr, c.Animated) << c.File << " resample " << c.Resample;
        EXPECT_FALSE(P.Image.isNull()) << c.File;
    }
    // The still picture of an animation is its first frame, the size its logical screen.
    const TFilePreview P = LoadPicturePreview(FixturePath(kAnimation), 150, 140, false);
    EXPECT_EQ(P.Width, kAnimW);
    EXPECT_EQ(P.Height, kAnimH);
    EXPECT_EQ(P.Image.convertToFormat(QImage::Format_RGB32), AnimationFrames()[0]);
}

TEST_F(PictureDialogs, AnimatedGifPlaysInThePreviewUntilTheSelectionChangesOrTheDialogEnds)
{
    const std::string Animation = FixturePath(kAnimation);
    const std::string Bmp = Picture("still.bmp", 30, 20, clRed);
    const std::string Gif = Picture("still.gif", 30, 20, clBlue);
    const struct {
        const char* Way;
        std::function<void(std::unique_ptr<TXOpenPictureDialog>&)> Stop;
    } cases[] = {
        {"another picture", [&](auto& D) { D->PreviewFile(Bmp); }},
        {"a still GIF", [&](auto& D) { D->PreviewFile(Gif); }},
        {"a folder", [&](auto& D) { D->PreviewFile(Dir.path().toStdString()); }},
        {"a missing file", [&](auto& D) { D->PreviewFile(Path("gone.gif")); }},
        {"Cancel", [](auto& D) { D->reject(); }},
        {"Open", [&](auto& D) {
             // The name typed, then the Open button.
             auto* Name = D->template findChild<QLineEdit*>("fileNameEdit");
             auto* Buttons = D->template findChild<QDialogButtonBox*>();
             ASSERT_TRUE(Name && Buttons);
             QTest::keyClicks(Name, QString::fromStdString(Animation));
             Buttons->button(QDialogButtonBox::Open)->click();
             EXPECT_EQ(D->result(), QDialog::Accepted);
         }},
        {"showing again", [](auto& D) {
             D->hide();
             D->show();
         }},
        {"the dialog going", [](auto& D) { D.reset(); }},
    };
    ASSERT_EQ(GIFPainterThreadsRunning(), 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Way);
        auto D = std::make_unique<TXOpenPictureDialog>();
        D->show();
        D->PreviewFile(Animation);
        D->WaitForPreview();
        ASSERT_TRUE(D->PreviewAnimated());
        EXPECT_EQ(Label(*D), " (24 x 16)");
        EXPECT_TRUE(D->PreviewButton()->isEnabled());
        // Every frame shows in turn, each exactly as a player shows it, on one painter thread.
        EXPECT_EQ(FramesShown(*D->PaintPanel(), 4), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(GIFPainterThreadsRunning(), 1);
        c.Stop(D);
        EXPECT_TRUE(NoPainterLeft());
        if (!D)
            continue;
        EXPECT_FALSE(D->PreviewAnimated());
        D->WaitForPreview();
        Settle();
        EXPECT_TRUE(NoPainterLeft());
        EXPECT_FALSE(D->PreviewAnimated());
        if (D->isVisible() && D->LastGoodPreview() != Animation) {
            // Coming back to the animation plays it again from its first frame.
            D->PreviewFile(Animation);
            D->WaitForPreview();
            EXPECT_EQ(FramesShown(*D->PaintPanel(), 2), (std::vector<int>{0, 1}));
            D->reject();
            EXPECT_TRUE(NoPainterLeft());
        }
    }
    EXPECT_TRUE(UI.Messages.empty());
}

// Selecting another picture ends the animation's painter at once: it is gone before the new
// picture's preview starts decoding, not only once that preview is ready.
TEST_F(PictureDialogs, AnimationStopsBeforeTheNextPreviewIsDecoded)
{
    const std::string Animation = FixturePath(kAnimation);
    struct TWatch {
        std::string Name;
        int Painters = -1;
    };
    std::mutex Lock;
    std::vector<TWatch> Seen;
    TXCustomOpenPictureDialog::OnPreviewDecode = [&](const std::string& Name) {
        const int Painters = GIFPainterThreadsRunning();
        std::lock_guard<std::mutex> L(Lock);
        Seen.push_back({Name, Painters});
    };
    const std::shared_ptr<void> Unhook(nullptr, [](void*) { TXCustomOpenPictureDialog::OnPreviewDecode = nullptr; });
    ASSERT_EQ(GIFPainterThreadsRunning(), 0);
    // A still picture, a still GIF, and another animation (whose own painter starts only once it shows).
    ASSERT_TRUE(QFile::copy(QString::fromStdString(Animation), QString::fromStdString(Path("anim-copy.gif"))));
    for (const std::string& Chosen : {Picture("still.bmp", 30, 20, clRed), Picture("still.gif", 30, 20, clBlue),
                                      Path("anim-copy.gif")}) {
        SCOPED_TRACE(Chosen);
        TXOpenPictureDialog D;
        D.show();
        D.PreviewFile(Animation);
        D.WaitForPreview();
        ASSERT_TRUE(D.PreviewAnimated());
        ASSERT_TRUE(QTest::qWaitFor([] { return GIFPainterThreadsRunning() == 1; }, 2000));
        Seen.clear();
        D.PreviewFile(Chosen);
        D.WaitForPreview();
        {
            std::lock_guard<std::mutex> L(Lock);
            ASSERT_EQ(Seen.size(), 1u);
            EXPECT_EQ(Seen[0].Name, Chosen);
            EXPECT_EQ(Seen[0].Painters, 0) << "the animation still played while the next picture decoded";
        }
        D.reject();
        EXPECT_TRUE(NoPainterLeft());
    }
}

TEST_F(PictureDialogs, FullSizePreviewPlaysAnAnimationUntilItCloses)
{
    TXOpenPictureDialog D;
    D.show();
    std::vector<int> Shown;
    int ThreadsWhileOpen = 0;
    std::string Title;
    UI.OnDialog = [&](QDialog& Form) {
        Title = Form.windowTitle().toStdString();
        Form.show();
        auto* Panel = Form.findChild<TXSilentPaintPanel*>("Panel");
        EXPECT_NE(Panel, nullptr);
        if (Panel)
            Shown = FramesShown(*Panel, 3);
        ThreadsWhileOpen = GIFPainterThreadsRunning();
        Form.hide();
        return false;
    };
    // Also when the small preview is resampled (a still picture): the full-size one loads the file.
    for (const bool Resample : {false, true}) {
        SCOPED_TRACE(Resample ? "resampled" : "quick");
        D.SetResampleSmlPreview(Resample);
        D.PreviewFile(Dir.path().toStdString());
        D.PreviewFile(FixturePath(kAnimation));
        D.WaitForPreview();
        EXPECT_EQ(D.PreviewAnimated(), !Resample);
        Shown.clear();
        D.PreviewButton()->click();
        EXPECT_EQ(Title, "Preview: anim-undefined.gif");
        EXPECT_EQ(Shown, (std::vector<int>{0, 1, 2}));
        // Its own painter beside the small preview's; it ends when the preview closes.
        EXPECT_EQ(ThreadsWhileOpen, Resample ? 1 : 2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return GIFPainterThreadsRunning() == (Resample ? 0 : 1); }, 2000));
    }
    D.reject();
    EXPECT_TRUE(NoPainterLeft());
}

TEST_F(PictureDialogs, SaveDialogTypeGivesTheExtensionOfANameWithoutOne)
{
    const struct {
        std::string Typed;
        int Type;
        std::string Chosen;
    } cases[] = {
        {"pic", 0, "pic.bmp"},     {"pic", 1, "pic.jpg"},         {"pic", 2, "pic.jpeg"},
        {"pic", 3, "pic.gif"},     {"pic.gif", 1, "pic.gif"},     {"pic.BMP", 3, "pic.BMP"},
    };
    for (const auto& c : cases) {
        TXSavePictureDialog D;
        D.setDirectory(Dir.path());
        D.SetTypeIndex(c.Type);
        D.selectFile(QString::fromStdString(c.Typed));
        D.accept();
        EXPECT_EQ(D.result(), QDialog::Accepted) << c.Typed;
        EXPECT_EQ(D.FileName(), Path(c.Chosen)) << c.Typed << " type " << c.Type;
    }
    EXPECT_TRUE(UI.Messages.empty());
}

TEST_F(PictureDialogs, SaveDialogOpensOnTheTypeOfThePicturesName)
{
    const struct {
        std::string Name;
        int Type;
    } cases[] = {
        {"photo.jpg", 1}, {"photo.JPG", 1}, {"photo.jpeg", 2}, {"anim.Gif", 3},
        {"pic.bmp", 0},   {"pic", 0},       {"pic.png", 0},    {"my.files/pic", 0},
    };
    for (const auto& c : cases) {
        TXSavePictureDialog D;
        EXPECT_EQ(SavePictureTypeIndex(c.Name), c.Type) << c.Name;
        D.SetPictureFileName(Path(c.Name));
        EXPECT_EQ(D.TypeIndex(), c.Type) << c.Name;
        EXPECT_EQ(D.defaultSuffix().toStdString(), SavePictureTypes[c.Type].Extension) << c.Name;
        // The name is proposed as it is, its extension's case included.
        const auto* Typed = D.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(Typed, nullptr);
        EXPECT_EQ(Typed->text().toStdString(), QFileInfo(QString::fromStdString(c.Name)).fileName().toStdString());
    }
    TXSavePictureDialog D;
    D.SetPictureFileName(Path("photo.jpeg"));
    EXPECT_EQ(D.directory().absolutePath(), Dir.path());
    D.accept();
    EXPECT_EQ(D.FileName(), Path("photo.jpeg"));
}

// Names are bytes: a picture in a folder whose name is not UTF-8 (Latin-1 "cafe" with an acute e)
// proposes its name there: the dialog shows that very folder, and the name chosen comes back with
// the folder's bytes (and the proposed name's own, which need not be UTF-8 either).
TEST_F(PictureDialogs, SaveDialogOpensInAFolderWhoseNameIsNotUtf8AndGivesBackItsBytes)
{
    const std::string Folder = QFile::encodeName(Dir.path()).toStdString() + "/caf\xe9";
    ASSERT_EQ(::mkdir(Folder.c_str(), 0755), 0);
    // QTemporaryDir cannot remove a name that is not UTF-8.
    const std::shared_ptr<void> Remove(nullptr, [&](void*) { std::filesystem::remove_all(Folder); });
    std::ofstream(Folder + "/old.bmp") << "old";
    struct stat Real;
    ASSERT_EQ(::stat(Folder.c_str(), &Real), 0);
    const struct {
        std::string Proposed, Typed, Chosen;
        bool Asked;
    } cases[] = {
        {"photo.jpg", "", "photo.jpg", false},
        {"\xe9t\xe9.gif", "", "\xe9t\xe9.gif", false}, // the name itself is not UTF-8
        {"photo.jpg", "typed", "typed.jpg", false},        // a name typed in that folder
        {"old.bmp", "", "old.bmp", true},                  // replacing is asked there too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Chosen);
        UI.Messages.clear();
        TXSavePictureDialog D;
        D.SetPictureFileName(Folder + "/" + c.Proposed);
        struct stat Shown;
        ASSERT_EQ(::stat(QFile::encodeName(D.directory().absolutePath()).constData(), &Shown), 0);
        EXPECT_TRUE(Shown.st_dev == Real.st_dev && Shown.st_ino == Real.st_ino) << "the dialog shows another folder";
        EXPECT_EQ(D.Folder(), Folder);
        if (!c.Typed.empty())
            D.selectFile(QString::fromStdString(c.Typed));
        D.accept();
        EXPECT_EQ(D.result(), QDialog::Accepted);
        EXPECT_EQ(D.FileName(), Folder + "/" + c.Chosen);
        EXPECT_EQ(D.FileNames(), std::vector<std::string>{Folder + "/" + c.Chosen});
        EXPECT_EQ(UI.Messages.size(), c.Asked ? 1u : 0u);
    }
}

TEST_F(PictureDialogs, ReplacingAFileIsConfirmed)
{
    const std::string Existing = Picture("old.bmp", 8, 8, clRed);
    const QByteArray Before = [&] {
        QFile F(QString::fromStdString(Existing));
        F.open(QIODevice::ReadOnly);
        return F.readAll();
    }();
    TXSavePictureDialog D;
    D.setDirectory(Dir.path());
    D.show();
    D.selectFile("old"); // the type's extension makes it old.bmp
    UI.Answers = {mrNo};
    D.accept();
    ASSERT_EQ(UI.Messages.size(), 1u);
    EXPECT_EQ(UI.Messages[0].Text, "old.bmp already exists.\nDo you want to replace it?");
    EXPECT_EQ(UI.Messages[0].Buttons, mbYes | mbNo);
    EXPECT_TRUE(D.isVisible()); // still asking for a name
    EXPECT_NE(D.result(), QDialog::Accepted);
    QFile F(QString::fromStdString(Existing));
    ASSERT_TRUE(F.open(QIODevice::ReadOnly));
    EXPECT_EQ(F.readAll(), Before);

    UI.Answers = {mrYes};
    D.accept();
    EXPECT_EQ(UI.Messages.size(), 2u);
    EXPECT_EQ(D.result(), QDialog::Accepted);
    EXPECT_EQ(D.FileName(), Existing);

    // A new name is not asked about.
    TXSavePictureDialog N;
    N.setDirectory(Dir.path());
    N.selectFile("new.bmp");
    N.accept();
    EXPECT_EQ(N.result(), QDialog::Accepted);
    EXPECT_EQ(UI.Messages.size(), 2u);
}

// ---- Add-text dialog ---------------------------------------------------------------------------------------

TEST(RecentTexts, NewestFirstWithoutRegardToCase)
{
    using L = std::vector<std::string>;
    const struct {
        L Before;
        std::string Text;
        int Max;
        L After;
    } cases[] = {
        {{}, "a", 10, {"a"}},
        {{"b", "HELLO", "c"}, "hello", 10, {"hello", "b", "c"}}, // moved, taking the new spelling
        {{"b", "c"}, "b", 10, {"b", "c"}},
        {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, "11", 10, {"11", "1", "2", "3", "4", "5", "6", "7", "8", "9"}},
        {{"x", "y"}, "z", 2, {"z", "x"}},
        {{"\xC3\x84rger"}, "\xC3\xA4rger", 10, {"\xC3\xA4rger"}}, // not only ASCII letters
    };
    for (const auto& c : cases) {
        L Texts = c.Before;
        AddRecentText(Texts, c.Text, c.Max);
        EXPECT_EQ(Texts, c.After) << c.Text;
    }
}

TEST_F(PictureDialogs, AddTextKeepsConfirmedTextsOnly)
{
    TAddTextDialog D;
    D.SetRecentTexts({"old"});
    const struct {
        std::string Typed;
        bool Ok;
        std::vector<std::string> Recent;
    } steps[] = {
        {"Hello\nWorld", true, {"Hello\nWorld", "old"}},
        {"cancelled", false, {"Hello\nWorld", "old"}},
        {"", true, {"Hello\nWorld", "old"}},
        {"OLD", true, {"OLD", "Hello\nWorld"}},
    };
    for (const auto& s : steps) {
        UI.OnDialog = [&](QDialog& Dialog) {
            auto& A = dynamic_cast<TAddTextDialog&>(Dialog);
            A.show();
            A.Memo()->setPlainText(QString::fromStdString(s.Typed)); // as if typed
            return s.Ok;
        };
        EXPECT_EQ(D.Execute(), s.Ok);
        EXPECT_EQ(D.Text(), s.Typed);
        EXPECT_EQ(D.RecentTexts(), s.Recent) << s.Typed;
        D.hide();
    }
    D.SetMaxRecentList(1);
    EXPECT_EQ(D.RecentTexts(), std::vector<std::string>{"OLD"});
}

TEST_F(PictureDialogs, AddTextShowsTheTextAndTheRecentList)
{
    TAddTextDialog D;
    EXPECT_EQ(D.windowTitle(), "Add Text");
    D.SetRecentTexts({"first", "two\nlines"});
    D.SetText("now");
    D.show();
    EXPECT_EQ(D.Memo()->toPlainText(), "now");
    ASSERT_EQ(D.RecentTextCombo()->count(), 2);
    EXPECT_EQ(D.RecentTextCombo()->currentIndex(), 0);
    EXPECT_EQ(D.Text(), "now"); // showing the list picks no text
    // Choosing a recent text puts it in the box.
    D.RecentTextCombo()->setCurrentIndex(1);
    emit D.RecentTextCombo()->activated(1);
    EXPECT_EQ(D.Text(), "two\nlines");
    EXPECT_EQ(D.Memo()->toPlainText(), "two\nlines");
    D.Memo()->setPlainText("typed");
    EXPECT_EQ(D.Text(), "typed");
}

TEST(AddTextFont, ValuesComeBackAsSet)
{
    const QString Family = QFontDatabase::families().value(0, "Sans Serif");
    TAddTextDialog D;
    const struct {
        int Size;
        TColor Colour;
        int Style;
    } cases[] = {
        {14, clRed, fsBold | fsUnderline},
        {8, clBlack, 0},
        {36, 0x123456, fsItalic | fsStrikeOut}, // a colour of no name
        {72, clWhite, fsBold | fsItalic},
    };
    for (const auto& c : cases) {
        D.SetFont(TFont{Family.toStdString(), c.Size, c.Colour, c.Style});
        const TFont F = D.Font();
        EXPECT_EQ(F.Name, D.FontNameCombo()->currentFont().family().toStdString());
        EXPECT_EQ(F.Size, c.Size);
        EXPECT_EQ(F.Color, c.Colour);
        EXPECT_EQ(F.Style, c.Style);
        EXPECT_EQ(D.Sample()->font().bold(), bool(c.Style & fsBold));
    }
    // The controls set the font too.
    D.StyleList()->setCurrentRow(2);
    D.UnderlineCheck()->setChecked(false);
    D.StrikeOutCheck()->setChecked(true);
    D.SizeCombo()->setCurrentText("20");
    D.ColourCombo()->setCurrentIndex(4); // Navy
    const TFont F = D.Font();
    EXPECT_EQ(F.Style, fsBold | fsStrikeOut);
    EXPECT_EQ(F.Size, 20);
    EXPECT_EQ(F.Color, clNavy);
}

TEST(RecentTextItem, LinesShareOneRowWithReturnMarks)
{
    QImage Image(200, 16, QImage::Format_RGB32);
    Image.fill(Qt::white);
    QPainter P(&Image);
    P.setBrush(Qt::white);
    P.setPen(Qt::black);
    const QFontMetrics M(P.font());
    DrawRecentTextItem(P, QRect(0, 0, 200, 16), "a\nb", false);
    P.end();
    const int X = 2 + M.horizontalAdvance("a");
    const QRgb Grey = ColorToQColor(clGrayText).rgb() & 0xFFFFFF;
    // The mark: down at X+7 from row 3, along row 7 back to X+3, up at X+4 from row 8 to row 6.
    for (const QPoint& Mark : {QPoint(X + 7, 3), QPoint(X + 7, 6), QPoint(X + 3, 7), QPoint(X + 4, 8), QPoint(X + 4, 6)})
        EXPECT_EQ(Image.pixel(Mark) & 0xFFFFFF, Grey) << Mark.x() << "," << Mark.y();
    for (const QPoint& Clear : {QPoint(X + 7, 2), QPoint(X + 2, 7), QPoint(X + 4, 5)})
        EXPECT_EQ(Image.pixel(Clear) & 0xFFFFFF, 0xFFFFFFu) << Clear.x() << "," << Clear.y();
    // "b" is drawn from X + 10 on, nothing dark before it after the mark.
    auto DarkIn = [&](int From, int To) {
        for (int x = From; x < To; ++x)
            for (int y = 0; y < 16; ++y)
                if (qGray(Image.pixel(x, y)) < 100)
                    return true;
        return false;
    };
    EXPECT_TRUE(DarkIn(2, X));
    EXPECT_FALSE(DarkIn(X, X + 10));
    EXPECT_TRUE(DarkIn(X + 10, X + 10 + M.horizontalAdvance("b")));
}

TEST(AddTextKeys, EnterBreaksTheLineTabLeavesEscapeCloses)
{
    TAddTextDialog D;
    D.show();
    D.activateWindow();
    D.Memo()->setFocus();
    QTest::keyClicks(D.Memo(), "one");
    QTest::keyClick(D.Memo(), Qt::Key_Return);
    QTest::keyClicks(D.Memo(), "two");
    EXPECT_EQ(D.Text(), "one\ntwo");
    EXPECT_TRUE(D.isVisible()); // Enter did not press OK
    QTest::keyClick(D.Memo(), Qt::Key_Tab);
    EXPECT_EQ(D.Text(), "one\ntwo"); // Tab is no character of the text
    QTest::keyClick(D.Memo(), Qt::Key_Escape);
    EXPECT_FALSE(D.isVisible());
    EXPECT_EQ(D.result(), QDialog::Rejected);
}
