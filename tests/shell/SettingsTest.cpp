// The settings that outlive a run: every value of the main window and its two viewers written and
// read back, a missing or damaged settings file giving the defaults, stored rectangles fitted onto the
// screens of now, and stored counts limited before they drive a loop.
#include "shell/CVMain.h"

#include "controls/RFPicPopupMenu.h"
#include "controls/RecentColorsGrd.h"
#include "controls/XPanels.h"
#include "image/XBitmap.h"
#include "platform/Registry.h"
#include "shell/CVSettings.h"
#include "shell/CbViewer.h"
#include "shell/DockingPanel.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"
#include "shell/Viewer.h"

#include "SettingsFolder.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include "Settle.h"

#include <map>
#include <memory>

namespace {

// Each test has settings and per-user files of its own.
class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.IsValid());
        SetUIServices(&UI);
        AppParams = TAppParams();
    }
    void TearDown() override
    {
        SetUIServices(nullptr);
    }
    std::unique_ptr<TCanvelloMain> NewMain()
    {
        return std::make_unique<TCanvelloMain>(nullptr, Dir.FilePath("Canvello.rfp").toStdString());
    }
    // Values written straight into the store, as another run would have left them.
    static void Store(const std::string& Key, const std::map<std::string, std::string>& Values)
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey(Key, true));
        for (const auto& [name, value] : Values)
            reg.WriteString(name, value);
        reg.CloseKey();
    }
    static std::string Stored(const std::string& Key, const std::string& Name)
    {
        TRegistry reg;
        return reg.OpenKey(Key, false) ? reg.ReadString(Name, "<missing>") : "<no key>";
    }
    static QRect Screen() { return AvailableScreenRects().front(); }
    static TRecentColorsGrid* Colours(TCanvelloMain& M) { return M.findChild<TRecentColorsGrid*>("RecentColorsGrid"); }
    static std::vector<std::string> RecentFiles(TCanvelloMain& M)
    {
        std::vector<std::string> names;
        for (int i = 0; i < M.RecentFilesPopupMenu()->Count(); ++i)
            names.push_back(M.RecentFilesPopupMenu()->GetFileName(i));
        return names;
    }

    TOwnSettingsFolder Dir;
    TFakeUIServices UI;
};

TEST_F(Settings, EveryValueIsWrittenAndReadBack)
{
    const QRect screen = Screen();
    const QRect placed(screen.left() + 40, screen.top() + 30, 520, 400);
    int xdiff = 0, ydiff = 0; // the user's offset of the viewer from the main window's top-right corner
    {
        auto main = NewMain();
        main->setGeometry(placed);
        main->show();
        Settle();
        main->Action("ActShowHideZoomGrid")->setChecked(false);
        main->SetBrowserTreeVisible(false);
        main->RecentFilesPopupMenu()->SetMaxFileList(4);
        for (const char* f : {"/pics/c.bmp", "/pics/b.jpg", "/pics/a.gif"})
            main->RecentFilesPopupMenu()->AddFile(f);
        main->MaxRecentList = 7;
        main->RecentTexts = {"Hello", "two\nlines"};
        main->SideBarPanel()->SetLocked(true);
        main->SideBarPanel()->SetExpanded(false);
        for (int i = 0; i < 15; ++i)
            Colours(*main)->SetColour(i, 0x010203 * (i + 1));
        main->ShowViewer(true);
        main->ShowCbViewer(true);
        TViewerForm* viewer = main->Viewer();
        viewer->SetPinned(true);
        viewer->SetDisplayFrame(true);
        viewer->resize(230, 260);
        viewer->move(screen.left() + 200, screen.top() + 90); // a move of the user's: the offset
        Settle();
        xdiff = main->geometry().left() + main->geometry().width() - viewer->frameGeometry().left() -
                viewer->frameGeometry().width();
        ydiff = main->geometry().top() - viewer->frameGeometry().top();
        main->CbViewer()->resize(300, 280);
        main->CbViewer()->move(screen.left() + 20, screen.top() + 60);
        Settle();
        main->SaveSettings(true);
    } // the viewers write theirs as they go

    // The stored form of a few: Booleans as 0/1, the rectangle's right and bottom edges.
    EXPECT_EQ(Stored(kMainWindowKey, "ShowZoomGrid"), "0");
    EXPECT_EQ(Stored(kMainWindowKey, "ViewerIsVisible"), "1");
    EXPECT_EQ(Stored(kMainWindowKey, "WinNormRight"), std::to_string(placed.left() + placed.width()));
    EXPECT_EQ(Stored(kMainWindowKey, "WinNormBottom"), std::to_string(placed.top() + placed.height()));
    EXPECT_EQ(Stored(kRecentFilesKey, "FileName1"), "/pics/a.gif");
    EXPECT_EQ(Stored(kRecentTextKey, "RecentText2"), "two\nlines");
    EXPECT_EQ(Stored(kViewerKey, "XDiff"), std::to_string(xdiff));
    EXPECT_EQ(Stored(kViewerKey, "YDiff"), std::to_string(ydiff));
    EXPECT_EQ(Stored(kCbViewerKey, "DisplayFrame"), "<missing>");

    auto main = NewMain();
    EXPECT_EQ(main->geometry(), placed);
    EXPECT_FALSE(main->Action("ActShowHideZoomGrid")->isChecked());
    EXPECT_FALSE(main->BrowserTreeVisible());
    EXPECT_EQ(main->RecentFilesPopupMenu()->MaxFileList(), 4);
    EXPECT_EQ(RecentFiles(*main), (std::vector<std::string>{"/pics/a.gif", "/pics/b.jpg", "/pics/c.bmp"}));
    EXPECT_EQ(main->MaxRecentList, 7);
    EXPECT_EQ(main->RecentTexts, (std::vector<std::string>{"Hello", "two\nlines"}));
    EXPECT_FALSE(main->SideBarPanel()->Expanded());
    EXPECT_TRUE(main->SideBarPanel()->Locked());
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(Colours(*main)->GetColour(i), 0x010203 * (i + 1)) << i;
    TViewerForm* viewer = main->Viewer();
    EXPECT_TRUE(viewer->Pinned());
    EXPECT_TRUE(viewer->PinSB()->isChecked());
    EXPECT_TRUE(viewer->FrameSB()->isChecked());
    EXPECT_EQ(viewer->size(), QSize(230, 260));
    EXPECT_EQ(viewer->XDiff(), xdiff);
    EXPECT_EQ(viewer->YDiff(), ydiff);
    EXPECT_FALSE(main->CbViewer()->Pinned());
    EXPECT_EQ(main->CbViewer()->pos(), QPoint(screen.left() + 20, screen.top() + 60));
    EXPECT_EQ(main->CbViewer()->size(), QSize(300, 280));
    // Both viewers come back with the window; the pinned one beside it at its offset.
    main->show();
    Settle();
    EXPECT_TRUE(main->ViewerShown());
    EXPECT_TRUE(main->CbViewerShown());
    EXPECT_TRUE(main->Action("ActViewerStartStop")->isChecked());
    EXPECT_TRUE(main->Action("ActCbViewerStartStop")->isChecked());
    EXPECT_EQ(viewer->pos(), QPoint(screen.left() + 200, screen.top() + 90));
}

TEST_F(Settings, MissingOrDamagedSettingsGiveTheDefaults)
{
    const struct {
        const char* Name;
        std::function<void()> Prepare;
    } cases[] = {
        {"no file", [] {}},
        {"not a settings file",
         [] {
             const QString file = QString::fromStdString(TRegistry::FileName());
             QDir().mkpath(QFileInfo(file).path());
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("\x00\xff[[[\n=\x01\x02garbage\n[software\n", 27));
         }},
        {"values that are not numbers",
         [] {
             for (const char* key : {kMainWindowKey, kColourPanelKey, kViewerKey, kCbViewerKey})
                 Store(key, {{"WinNormLeft", "left"}, {"WinNormTop", "1e3"}, {"WinNormRight", ""},
                             {"WinNormBottom", "0x20"}, {"WinMaximized", "yes"}, {"ShowZoomGrid", "off"},
                             {"ViewerIsVisible", "true"}, {"Expanded", "no"}, {"Locked", "1.5"}, {"Pinned", "?"},
                             {"Width", "wide"}, {"Height", "tall"}, {"Left", "x"}, {"Top", "y"}, {"XDiff", "-"}});
             Store(kRecentFilesKey, {{"MaxFileList", "many"}});
             Store(kRecentColoursKey, {{"Colour0", "red"}, {"Colour1", "-5"}, {"Colour2", "16777216"}});
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(Dir.FilePath("config")).removeRecursively();
        c.Prepare();
        auto main = NewMain();
        main->show();
        Settle();
        EXPECT_FALSE(main->isMaximized());
        // Centred (the window frame's few pixels aside).
        EXPECT_LE((main->geometry().center() - Screen().center()).manhattanLength(), 6);
        EXPECT_TRUE(main->Action("ActShowHideZoomGrid")->isChecked());
        EXPECT_TRUE(main->BrowserTreeVisible());
        EXPECT_EQ(main->RecentFilesPopupMenu()->MaxFileList(), 5);
        EXPECT_EQ(main->MaxRecentList, 10);
        EXPECT_TRUE(main->SideBarPanel()->Expanded());
        EXPECT_FALSE(main->SideBarPanel()->Locked());
        for (int i = 0; i < 15; ++i)
            EXPECT_EQ(Colours(*main)->GetColour(i), clWhite) << i;
        EXPECT_FALSE(main->ViewerShown());
        EXPECT_FALSE(main->CbViewerShown());
        EXPECT_FALSE(main->Viewer()->Pinned());
        EXPECT_FALSE(main->Viewer()->FrameSB()->isChecked());
        EXPECT_EQ(main->Viewer()->size(), QSize(TCVBasePinnedForm::kDesignWidth, TViewerForm::kDesignHeight));
        EXPECT_EQ(main->CbViewer()->size(), QSize(TCVBasePinnedForm::kDesignWidth, TCbViewerForm::kDesignHeight));
        EXPECT_EQ(main->Viewer()->XDiff(), 0);
        // Centred on the main window.
        EXPECT_EQ(main->Viewer()->SavedLeft(), -1);
    }
}

TEST_F(Settings, StoredPlacementOfTheMainWindow)
{
    const QRect s = Screen();
    const struct {
        const char* Name;
        std::map<std::string, std::string> Values;
        QRect Expected; // empty: centred on the screen
        bool Maximized;
    } cases[] = {
        {"as stored", {{"WinNormLeft", "10"}, {"WinNormTop", "20"}, {"WinNormRight", "610"}, {"WinNormBottom", "420"}},
         QRect(s.left() + 10, s.top() + 20, 600, 400).intersected(s), false},
        {"three of four", {{"WinNormLeft", "10"}, {"WinNormTop", "20"}, {"WinNormRight", "610"}}, QRect(), false},
        {"maximized",
         {{"WinNormLeft", "10"}, {"WinNormTop", "20"}, {"WinNormRight", "610"}, {"WinNormBottom", "420"},
          {"WinMaximized", "1"}},
         QRect(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        QDir(Dir.FilePath("config")).removeRecursively();
        Store(kMainWindowKey, c.Values);
        auto main = NewMain();
        if (c.Maximized) {
            EXPECT_TRUE(main->windowState() & Qt::WindowMaximized);
            // The restored rectangle is kept for later.
            main->showNormal();
            Settle();
            EXPECT_EQ(main->geometry(), QRect(10, 20, 600, 400).intersected(s));
        } else if (c.Expected.isNull()) {
            EXPECT_LE((main->geometry().center() - s.center()).manhattanLength(), 6);
        } else {
            EXPECT_EQ(main->geometry(), c.Expected);
        }
    }
}

TEST_F(Settings, AMaximizedWindowKeepsItsRestoredRectangle)
{
    const QRect s = Screen();
    const QRect placed(s.left() + 30, s.top() + 20, 500, 380);
    {
        auto main = NewMain();
        main->setGeometry(placed);
        main->show();
        Settle();
        main->showMaximized();
        Settle();
        ASSERT_TRUE(main->isMaximized());
        main->SaveSettings(false);
    }
    EXPECT_EQ(Stored(kMainWindowKey, "WinMaximized"), "1");
    EXPECT_EQ(Stored(kMainWindowKey, "WinNormLeft"), std::to_string(placed.left()));
    EXPECT_EQ(Stored(kMainWindowKey, "WinNormBottom"), std::to_string(placed.top() + placed.height()));
    auto main = NewMain();
    main->show();
    Settle();
    EXPECT_TRUE(main->isMaximized());
    main->showNormal();
    Settle();
    EXPECT_EQ(main->geometry(), placed);
}

TEST(WindowRectangle, FittedOntoTheScreens)
{
    const QRect one(0, 0, 1920, 1080);
    const QRect two(1920, 0, 1280, 1024);
    const QSize usable(320, 240), def(1024, 720);
    auto centred = [](const QRect& Screen, QSize Size) {
        QRect r(QPoint(0, 0), Size);
        r.moveCenter(Screen.center());
        return r;
    };
    const struct {
        const char* Name;
        QRect Stored;
        std::vector<QRect> Screens;
        QRect Expected;
    } cases[] = {
        {"inside", QRect(100, 50, 800, 600), {one}, QRect(100, 50, 800, 600)},
        {"right edge beyond the screen", QRect(1500, 100, 900, 500), {one}, QRect(1500, 100, 420, 500)},
        {"negative left and top", QRect(-40, -25, 800, 600), {one}, QRect(0, 0, 760, 575)},
        {"larger than the screen", QRect(-100, -100, 3000, 2000), {one}, one},
        {"on the second screen", QRect(2000, 100, 800, 600), {one, two}, QRect(2000, 100, 800, 600)},
        {"mostly on the second screen", QRect(1800, 100, 800, 600), {one, two}, QRect(1920, 100, 680, 600)},
        {"monitor gone", QRect(2000, 100, 800, 600), {one}, centred(one, QSize(800, 600))},
        {"a sliver left on the screen", QRect(1900, 100, 800, 600), {one}, centred(one, QSize(800, 600))},
        {"no size", QRect(100, 100, 0, 0), {one}, centred(one, def)},
        {"tiny", QRect(100, 100, 20, 10), {one}, centred(one, usable)},
        {"huge and gone", QRect(5000, 5000, 9000, 9000), {one}, one},
        {"small screen", QRect(5000, 0, 800, 600), {QRect(0, 0, 300, 200)}, QRect(0, 0, 300, 200)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QRect r = FitWindowRect(c.Stored, c.Screens, usable, def);
        EXPECT_EQ(r, c.Expected);
        EXPECT_GT(r.width(), 0);
        EXPECT_GT(r.height(), 0);
    }
}

TEST(WindowRectangle, PositionKeptOnTheScreen)
{
    const QRect screen(0, 0, 800, 600);
    const QSize size(212, 237);
    const struct {
        QPoint Pos;
        QPoint Expected;
    } cases[] = {
        {{100, 100}, {100, 100}}, {{-50, -20}, {0, 0}},     {{5000, 4000}, {588, 363}},
        {{700, 10}, {588, 10}},   {{10, 590}, {10, 363}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClampWindowPos(c.Pos, size, screen), c.Expected) << c.Pos.x() << "," << c.Pos.y();
    // Larger than the screen: the top-left corner stays on it.
    EXPECT_EQ(ClampWindowPos(QPoint(300, 300), QSize(1000, 900), screen), QPoint(0, 0));
}

TEST_F(Settings, RecentNamesStopAtTheFirstGapAndCountsAreLimited)
{
    Store(kRecentFilesKey, {{"MaxFileList", "2147483647"}, {"FileName1", "/a.bmp"}, {"FileName2", "/b.bmp"},
                            {"FileName4", "/d.bmp"}});
    Store(kRecentTextKey, {{"MaxRecentList", "-3"}, {"RecentText1", "lost"}});
    auto main = NewMain();
    EXPECT_EQ(RecentFiles(*main), (std::vector<std::string>{"/a.bmp", "/b.bmp"}));
    EXPECT_EQ(main->RecentFilesPopupMenu()->MaxFileList(), 255);
    EXPECT_EQ(main->MaxRecentList, 0);
    EXPECT_TRUE(main->RecentTexts.empty());

    // Writing names after a shorter list removes the stale ones, however large the stored length.
    main->RecentFilesPopupMenu()->DeleteFile("/b.bmp");
    main->SaveSettings(true);
    EXPECT_EQ(Stored(kRecentFilesKey, "FileName1"), "/a.bmp");
    EXPECT_EQ(Stored(kRecentFilesKey, "FileName2"), "<missing>");
    EXPECT_EQ(Stored(kRecentFilesKey, "FileName4"), "<missing>");
    EXPECT_EQ(Stored(kRecentFilesKey, "MaxFileList"), "255");
}

TEST_F(Settings, NamesComeFromTheSettingsOnlyWithoutAThumbnailFile)
{
    // Eight pictures, more than the default length of five.
    std::vector<std::string> files;
    for (int i = 0; i < 8; ++i) {
        TXBitmap b;
        b.SetSize(4, 3);
        files.push_back(Dir.FilePath(QString("p%1.bmp").arg(i)).toStdString());
        b.SavePictureToFile(files.back(), false);
    }
    {
        auto main = NewMain();
        main->RecentFilesPopupMenu()->SetMaxFileList(8);
        for (auto it = files.rbegin(); it != files.rend(); ++it)
            main->RecentFilesPopupMenu()->AddFile(*it);
        main->show();
        main->close(); // writes the thumbnail file and the settings, without names
        Settle();
    }
    EXPECT_TRUE(QFile::exists(Dir.FilePath("Canvello.rfp")));
    EXPECT_EQ(Stored(kRecentFilesKey, "MaxFileList"), "8");
    EXPECT_EQ(Stored(kRecentFilesKey, "FileName1"), "<missing>");
    EXPECT_TRUE(QFile::exists(QString::fromStdString(DockLayoutFilePath())));
    // All eight come back from the thumbnail file, none dropped on the way to the stored length.
    auto main = NewMain();
    EXPECT_EQ(RecentFiles(*main), files);
}

TEST_F(Settings, StoredViewerPlaceIsMadeUsable)
{
    Store(kViewerKey, {{"Width", "50"}, {"Height", "20"}, {"Left", "5000"}, {"Top", "4000"}});
    Store(kCbViewerKey, {{"Width", "100000"}, {"Height", "300"}, {"Left", "30"}, {"Top", "40"}});
    auto main = NewMain();
    const QRect s = Screen();
    EXPECT_EQ(main->Viewer()->size(), QSize(100, 100));
    EXPECT_EQ(main->Viewer()->pos(), QPoint(s.right() + 1 - 100, s.bottom() + 1 - 100));
    EXPECT_EQ(main->CbViewer()->width(), s.width());
    EXPECT_EQ(main->CbViewer()->pos(), QPoint(s.left(), 40));
}

} // namespace
