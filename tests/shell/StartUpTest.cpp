#include "shell/AboutDlg.h"
#include "shell/CVApplication.h"
#include "globals/CVGlobal.h"
#include "shell/CVHintWindow.h"
#include "shell/MainWindowStub.h"
#include "shell/SplashDlg.h"
#include "shell/StartUp.h"

#include "image/KTGenUtils.h"
#include "support/Fixtures.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// ---- Command line ----------------------------------------------------------------------------------
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("cv_startup_" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir / "dir1");
        fs::create_directories(Dir / "dir2");
        fs::create_directories(Dir / "folder.jpg");
        for (const char* name : {"a.JPG", "b.bmp", "c.png", "d.jpe", "e.gif", "f.Jpeg", "noext"})
            std::ofstream(Dir / name) << "x";
    }
    void TearDown() override { fs::remove_all(Dir); }
    std::string P(const std::string& name) const { return (Dir / name).string(); }

    fs::path Dir;
};

constexpr uint8_t Bit(TAppOption o) { return uint8_t(1u << o); }

TEST_F(CommandLine, RulesInOrderFirstMatchWins)
{
    const struct {
        const char* Name;
        std::vector<std::string> Args;
        uint8_t Options;
        std::vector<std::string> Files;
        std::string StartDir;
    } cases[] = {
        {"no arguments", {}, 0, {}, ""},
        {"-NoSplash in any case, twice", {"-nosplash", "-NOSPLASH"}, Bit(aoNoSplash), {}, ""},
        {"-Debug", {"-dEbUg"}, Bit(aoDebug), {}, ""},
        {"same file twice", {P("a.JPG"), P("a.JPG")}, Bit(aoFiles), {P("a.JPG")}, ""},
        {"files in order", {P("b.bmp"), P("e.gif"), P("b.bmp"), P("f.Jpeg")}, Bit(aoFiles),
         {P("b.bmp"), P("e.gif"), P("f.Jpeg")}, ""},
        {"two folders: the first", {P("dir1"), P("dir2")}, Bit(aoDirectory), {}, P("dir1")},
        {".png, .jpe and no extension are not pictures", {P("c.png"), P("d.jpe"), P("noext")}, 0, {}, ""},
        {"missing file ignored", {P("missing.jpg"), "-NoSplash"}, Bit(aoNoSplash), {}, ""},
        {"a folder named like a picture is a folder", {P("folder.jpg")}, Bit(aoDirectory), {}, P("folder.jpg")},
        {"everything at once", {"junk", P("dir2"), "-Debug", P("a.JPG"), P("dir1"), "-NoSplash"},
         uint8_t(Bit(aoDebug) | Bit(aoNoSplash) | Bit(aoFiles) | Bit(aoDirectory)), {P("a.JPG")}, P("dir2")},
        {"options are not files", {"-NoSplash=1", "NoSplash"}, 0, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TAppParams params;
        params.ParseCommandLine(c.Args);
        EXPECT_EQ(params.Options, c.Options);
        ASSERT_EQ(params.FileCount(), int(c.Files.size()));
        for (int i = 0; i < params.FileCount(); ++i)
            EXPECT_EQ(params.GetFile(i), c.Files[i]);
        EXPECT_EQ(params.StartDir, c.StartDir);
    }
}

TEST_F(CommandLine, RelativeNamesBecomeAbsoluteSoAFileIsOpenedOnce)
{
    const fs::path old = fs::current_path();
    fs::current_path(Dir);
    TAppParams params;
    params.ParseCommandLine({"a.JPG", "./a.JPG", P("a.JPG"), "dir1/../dir1"});
    fs::current_path(old);
    ASSERT_EQ(params.FileCount(), 1);
    EXPECT_EQ(params.GetFile(0), P("a.JPG"));
    EXPECT_EQ(params.StartDir, P("dir1"));
}

TEST_F(CommandLine, OptionSetAndFileAccess)
{
    TAppParams params;
    params.Include(aoFiles);
    params.Include(aoDirectory);
    params.Exclude(aoFiles);
    EXPECT_FALSE(params.HasOption(aoFiles));
    EXPECT_TRUE(params.HasOption(aoDirectory));
    params.AddFile("x.bmp");
    params.AddFile("x.bmp");
    EXPECT_EQ(params.FileCount(), 1);
    EXPECT_EQ(params.GetFile(0), "x.bmp");
    EXPECT_EQ(params.GetFile(1), "");
    EXPECT_EQ(params.GetFile(-1), "");

    for (const char* ext : {".bmp", ".BMP", ".jpeg", ".JPG", ".gif", ".Gif"})
        EXPECT_TRUE(IsPictureExt(ext)) << ext;
    for (const char* ext : {".png", ".jpe", "", "bmp", ".bmpx", ".tif"})
        EXPECT_FALSE(IsPictureExt(ext)) << ext;
    EXPECT_TRUE(IsPictureFile(P("e.gif")));
    EXPECT_FALSE(IsPictureFile(P("missing.gif")));
    EXPECT_FALSE(IsPictureFile(P("c.png")));
}

// ---- Splash -----------------------------------------------------------------------------------------
// Fails the test instead of hanging when a modal dialog does not close by itself.
class HangGuard {
public:
    explicit HangGuard(QDialog& Dialog)
    {
        FTimer.setSingleShot(true);
        QObject::connect(&FTimer, &QTimer::timeout, &Dialog, [this, &Dialog] {
            Fired = true;
            Dialog.reject();
        });
        FTimer.start(20000);
    }
    bool Fired = false;

private:
    QTimer FTimer;
};

TEST(Splash, IsAFramelessModalWindowOfFixedSize)
{
    TSplashDialog splash(nullptr, 2);
    EXPECT_EQ(splash.size(), QSize(231, 125));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash.isModal());
    EXPECT_EQ(splash.windowTitle(), "Splash Dialog");
    EXPECT_EQ(splash.SplashTimer()->interval(), 2000);
    EXPECT_FALSE(splash.SplashTimer()->isActive()); // runs only while shown
    EXPECT_EQ(splash.cursor().shape(), Qt::WaitCursor);
}

TEST(Splash, ClosesOnItsTimer)
{
    TSplashDialog splash(nullptr, 60);
    splash.SplashTimer()->setInterval(30);
    HangGuard guard(splash);
    splash.exec();
    EXPECT_FALSE(guard.Fired);
    EXPECT_EQ(splash.result(), QDialog::Accepted);
    EXPECT_FALSE(splash.SplashTimer()->isActive());
}

TEST(Splash, ExecuteClosesOnAMouseClickLongBeforeTheTimer)
{
    bool clicked = false;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(SplashDialog, nullptr);
        EXPECT_TRUE(SplashDialog->isVisible());
        EXPECT_TRUE(SplashDialog->SplashTimer()->isActive());
        // Guard against a click that is not handled: close after a while and fail.
        QTimer::singleShot(20000, SplashDialog, [] { SplashDialog->reject(); });
        QTest::mouseClick(SplashDialog, Qt::RightButton, {}, QPoint(200, 100));
        clicked = true;
    });
    TSplashDialog::Execute(nullptr, 60);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(SplashDialog, nullptr);
}

TEST(Splash, VersionTextIsCentredInItsBoxOverThePicture)
{
    const QImage source(QString::fromStdString(FixturePath("../resources/splash.png")));
    ASSERT_FALSE(source.isNull());
    ASSERT_EQ(source.size(), QSize(231, 125));
    const QImage picture = source.convertToFormat(QImage::Format_RGB888);
    const QImage shown = TSplashDialog::ComposeSplash(source);
    ASSERT_EQ(shown.size(), QSize(231, 125));

    const QRect box(118, 40, 95, 20);
    const QRgb face = picture.pixel(118, 40);
    int left = 1000, right = -1, top = 1000, bottom = -1;
    for (int y = 0; y < 125; ++y) {
        for (int x = 0; x < 231; ++x) {
            if (!box.contains(x, y)) {
                ASSERT_EQ(shown.pixel(x, y), picture.pixel(x, y)) << x << "," << y; // untouched outside
            } else if (qGray(shown.pixel(x, y)) < qGray(face) - 60) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    ASSERT_GE(right, left) << "no text drawn";
    EXPECT_LE(std::abs((left - box.left()) - (box.right() - right)), 3); // centred across the box
    EXPECT_LT(top - box.top(), box.bottom() - bottom);                  // top-aligned
    EXPECT_GT(right - left, 40);                                          // a whole line of text

    // Without a picture the splash still shows its version.
    const QImage plain = TSplashDialog::ComposeSplash(QImage());
    EXPECT_EQ(plain.size(), QSize(231, 125));
}

// ---- About box --------------------------------------------------------------------------------------
TEST(AboutBox, LabelsShowTheProgramAndTheSystem)
{
    TAboutDialog about(nullptr);
    EXPECT_EQ(about.windowTitle(), "About Canvello");
    EXPECT_EQ(about.MainLabel->text(), "Canvello");
    EXPECT_EQ(about.VersionLabel->text(), "Version 2.2.6");
    std::string os, build, memory;
    ASSERT_TRUE(GetOSVersionInfo(os, build, memory));
    EXPECT_EQ(about.OSVerLabel->text().toStdString(), os);
    EXPECT_EQ(about.OSBuildLabel->text().toStdString(), "Build " + build);
    EXPECT_EQ(about.MemLabel->text().toStdString(), "Total Memory: " + memory);
    EXPECT_EQ(about.width(), 267);
    EXPECT_GE(about.height(), 162);
    EXPECT_EQ(about.ImagePanel->width(), 100);
    EXPECT_TRUE(about.OKButton->isDefault());

    HangGuard guard(about);
    QTimer::singleShot(0, about.OKButton, [&] { QTest::mouseClick(about.OKButton, Qt::LeftButton); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_FALSE(guard.Fired);
}

// ---- Hint look ----------------------------------------------------------------------------------------
// Black frame pixels and face pixels of a picture of the tip panel.
void ExpectFlatFrame(const QImage& image, QRgb face)
{
    const int w = image.width(), h = image.height();
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(image.pixel(x, 0) & 0xFFFFFF, 0u) << "top " << x;
        EXPECT_EQ(image.pixel(x, h - 1) & 0xFFFFFF, 0u) << "bottom " << x;
    }
    for (int y = 0; y < h; ++y) {
        EXPECT_EQ(image.pixel(0, y) & 0xFFFFFF, 0u) << "left " << y;
        EXPECT_EQ(image.pixel(w - 1, y) & 0xFFFFFF, 0u) << "right " << y;
    }
    // Just inside the frame: the face, no second (3-D) edge.
    for (const QPoint p : {QPoint(1, 1), QPoint(w - 2, h - 2), QPoint(w - 2, 1), QPoint(1, h - 2)})
        EXPECT_EQ(image.pixel(p) & 0xFFFFFF, face & 0xFFFFFF) << p.x() << "," << p.y();
}

TEST(HintWindow, TipPanelHasAOnePixelFlatFrame)
{
    TCVHintWindow style(QStyleFactory::create("Fusion"));
    EXPECT_EQ(style.pixelMetric(QStyle::PM_ToolTipLabelFrameWidth), 1);
    QImage image(24, 12, QImage::Format_RGB32);
    image.fill(Qt::white);
    QStyleOption option;
    option.rect = image.rect();
    option.palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 225));
    QPainter painter(&image);
    style.drawPrimitive(QStyle::PE_PanelTipLabel, &option, &painter);
    painter.end();
    ExpectFlatFrame(image, qRgb(255, 255, 225));
}

TEST(HintWindow, InstalledForEveryToolTipOfTheApplication)
{
    const QString oldStyle = QApplication::style()->name();
    const QPalette oldTips = QToolTip::palette();
    TCVHintWindow::Install();
    EXPECT_NE(qobject_cast<TCVHintWindow*>(QApplication::style()), nullptr);
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(0xFF, 0xFF, 0xE1));

    QToolTip::showText(QPoint(100, 100), "A hint");
    QWidget* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    ASSERT_NE(tip, nullptr);
    ExpectFlatFrame(tip->grab().toImage(), qRgb(0xFF, 0xFF, 0xE1));
    QToolTip::hideText();

    QApplication::setStyle(QStyleFactory::create(oldStyle));
    QToolTip::setPalette(oldTips);
}

// ---- Exceptions escaping event handlers ---------------------------------------------------------------
TEST(Application, EscapingExceptionsAreReportedOneAtATime)
{
    std::vector<std::string> shown;
    const auto oldHandler = EventExceptionHandler;
    EventExceptionHandler = [&](QWidget*, const std::string& message) {
        shown.push_back(message);
        // An event dispatched while the message is up fails as well: it must not stack a second box.
        EXPECT_TRUE(TCVApplication::Guarded([]() -> bool { throw EInvalidGraphic("second failure"); }));
    };
    EXPECT_TRUE(TCVApplication::Guarded([]() -> bool { throw EInvalidGraphic("Bitmap image is not valid"); }));
    EXPECT_FALSE(TCVApplication::Guarded([] { return false; }));
    EXPECT_TRUE(TCVApplication::Guarded([]() -> bool { throw 42; }));
    EventExceptionHandler = oldHandler;
    EXPECT_EQ(shown, (std::vector<std::string>{"Bitmap image is not valid", "Unknown error"}));
}

TEST(Application, MainWindowStartsHiddenWithTheProgramTitle)
{
    const auto window = CreateMainWindow();
    EXPECT_EQ(window->windowTitle(), "Canvello");
    EXPECT_FALSE(window->isVisible());
    EXPECT_GE(window->width(), 640);
}

} // namespace
