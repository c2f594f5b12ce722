// The picture viewer drawing a known picture, its selection outline and frame pixel by pixel; the
// clipboard viewer's tabs after copies, promote, delete and clear; pinned windows following their main
// window; docking and undocking; and the main window's viewer commands.
#include "shell/CVMain.h"

#include "ClipboardTestSupport.h"
#include "SettingsFolder.h"

#include "controls/XPanels.h"
#include "image/PicSelection.h"
#include "image/SelectionClipboard.h"
#include "shell/CVClipbrd.h"
#include "shell/CVClipbrdSelection.h"
#include "shell/CVClipbrdStream.h"
#include "shell/CVSettings.h"
#include "shell/CbViewer.h"
#include "shell/DockingPanel.h"
#include "shell/StartUp.h"
#include "shell/UIServices.h"
#include "shell/Viewer.h"
#include "globals/CVGlobal.h"

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMimeData>
#include <QScrollArea>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "FileSizeLimit.h"
#include "Settle.h"

#include <memory>

using clipboard_test::Picture;
using clipboard_test::SamePixels;

namespace {

// A picture whose every pixel tells where it is, with no black or white pixel (the ants' colours).
std::unique_ptr<TBitmap> Gradient(int W, int H)
{
    auto b = std::make_unique<TBitmap>(W, H, pf24bit);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            b->SetPixelColor(x, y, RGB(20 + x % 200, 20 + y % 200, 100 + (x + y) % 50));
    return b;
}

TColor Inverted(TColor C)
{
    return C ^ 0xFFFFFF;
}

// Settings of each test's own; a dock site and a stand-in main window.
class ViewerForms : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.IsValid());
        Site = std::make_unique<TDockingPanel>();
        Site->resize(240, 500);
        Site->show();
        MainForm = std::make_unique<QWidget>();
        MainForm->setGeometry(QRect(AvailableScreenRects().front().topLeft() + QPoint(50, 60), QSize(500, 400)));
        MainForm->show();
        Settle();
    }
    void TearDown() override
    {
        Site.reset();
        MainForm.reset();
    }
    // A viewer without settings, shown with a view of a known size.
    std::unique_ptr<TViewerForm> ShownViewer()
    {
        auto v = std::make_unique<TViewerForm>(Site.get(), "", MainForm.get());
        v->resize(212, 237);
        v->show();
        Settle();
        return v;
    }
    // The view's pixel (X, Y) against the picture's pixel under it.
    static TColor Under(const TViewerForm& V, const TBitmap& Pic, int X, int Y)
    {
        return Pic.GetPixel(V.OffsetX() + X, V.OffsetY() + Y);
    }

    TOwnSettingsFolder Dir;
    std::unique_ptr<TDockingPanel> Site;
    std::unique_ptr<QWidget> MainForm;
};

TEST_F(ViewerForms, ShowsTheVisiblePartOfThePicture)
{
    auto pic = Gradient(600, 400);
    auto v = ShownViewer();
    v->BeginUpdate();
    v->SetPicture(pic.get());
    v->SetViewRect(Rect(100, 50, 300, 250));
    v->EndUpdate();
    const TBitmap& view = v->ViewBitmap();
    const int w = v->ViewBox()->width(), h = v->ViewBox()->height();
    ASSERT_GT(w, 50);
    ASSERT_GT(h, 50);
    EXPECT_EQ(view.Width(), w);
    EXPECT_EQ(view.Height(), h);
    // Centred on the visible part.
    EXPECT_EQ(v->OffsetX(), 200 - w / 2);
    EXPECT_EQ(v->OffsetY(), 150 - h / 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(view.GetPixel(x, y), Under(*v, *pic, x, y)) << x << "," << y;
    // What is painted on screen is that back buffer.
    const QImage shown = v->ViewBox()->grab().toImage();
    EXPECT_EQ(shown.pixelColor(3, 4).rgb() & 0xFFFFFF,
              QColor(GetRValue(view.GetPixel(3, 4)), GetGValue(view.GetPixel(3, 4)), GetBValue(view.GetPixel(3, 4))).rgb() &
                  0xFFFFFF);
}

TEST_F(ViewerForms, PlacesTheViewInsideThePicture)
{
    auto big = Gradient(600, 400);
    auto small = Gradient(50, 40);
    auto v = ShownViewer();
    const int w = v->ViewBox()->width(), h = v->ViewBox()->height();
    const struct {
        const char* Name;
        TBitmap* Pic;
        TRect View;
        int OffsetX, OffsetY;
    } cases[] = {
        {"right and bottom edge", big.get(), Rect(450, 300, 600, 400), 600 - w, 400 - h},
        {"left and top edge", big.get(), Rect(0, 0, 40, 30), 0, 0},
        {"beyond the picture", big.get(), Rect(900, 700, 1200, 900), 600 - w, 400 - h},
        {"smaller than the view", small.get(), Rect(0, 0, 50, 40), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        v->SetPicture(c.Pic);
        v->SetViewRect(c.View);
        EXPECT_EQ(v->OffsetX(), c.OffsetX);
        EXPECT_EQ(v->OffsetY(), c.OffsetY);
        const TBitmap& view = v->ViewBitmap();
        ASSERT_LE(view.Width(), c.Pic->Width());
        ASSERT_LE(view.Height(), c.Pic->Height());
        for (int y = 0; y < view.Height(); ++y)
            for (int x = 0; x < view.Width(); ++x)
                ASSERT_EQ(view.GetPixel(x, y), Under(*v, *c.Pic, x, y)) << x << "," << y;
    }
    // A small picture is shown whole, centred in the panel.
    v->SetPicture(small.get());
    EXPECT_EQ(v->ViewBox()->size(), QSize(50, 40));
    const QRect panel = v->ViewerPanel()->rect();
    EXPECT_EQ(v->ViewBox()->pos(), QPoint((panel.width() - 50) / 2, (panel.height() - 40) / 2));
}

TEST_F(ViewerForms, DrawsTheSelectionItIsGivenAtEachDrawing)
{
    auto pic = Gradient(600, 400);
    auto v = ShownViewer();
    // A piece unlike the picture under it.
    auto piece = Gradient(60, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            piece->SetPixelColor(x, y, Inverted(piece->GetPixel(x, y)));
    auto selection = std::make_unique<TPictureSelection>(pic.get());
    selection->SetPicture(piece.get(), Point(180, 130), -1);
    TPictureSelection* current = selection.get();
    v->SetPicture(pic.get());
    v->SetSelection([&] { return current; });
    v->SetViewRect(Rect(100, 50, 300, 250));
    const TBitmap& view = v->ViewBitmap();
    const TRect sel = OffsetRect(selection->Bounds(), -v->OffsetX(), -v->OffsetY());
    auto onBorder = [&](int X, int Y) {
        const bool inX = X >= sel.Left && X < sel.Right, inY = Y >= sel.Top && Y < sel.Bottom;
        return (inX && (Y == sel.Top || Y == sel.Bottom - 1)) || (inY && (X == sel.Left || X == sel.Right - 1));
    };
    // The selection's own pixels inside it (the picture under it may be a hole), ants on its edge,
    // the picture elsewhere.
    int ants = 0;
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x) {
            const TColor c = view.GetPixel(x, y);
            if (onBorder(x, y)) {
                ASSERT_TRUE(c == clBlack || c == clWhite) << x << "," << y;
                ++ants;
            } else if (x >= sel.Left && x < sel.Right && y >= sel.Top && y < sel.Bottom) {
                ASSERT_EQ(c, piece->GetPixel(x - sel.Left, y - sel.Top)) << x << "," << y;
            } else {
                ASSERT_EQ(c, Under(*v, *pic, x, y)) << x << "," << y;
            }
        }
    // Every pixel of the selection's edge is an ant.
    EXPECT_EQ(ants, 2 * 60 + 2 * (30 - 2));

    // The selection goes (dropped or freed by its window): the next drawing has no outline, and the
    // viewer never touches the freed selection.
    selection.reset();
    current = nullptr;
    v->RenderView();
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x)
            ASSERT_EQ(view.GetPixel(x, y), Under(*v, *pic, x, y)) << x << "," << y;
}

TEST_F(ViewerForms, FrameAroundTheVisiblePartInvertsTwoPixels)
{
    auto pic = Gradient(600, 400);
    auto v = ShownViewer();
    v->SetPicture(pic.get());
    v->SetViewRect(Rect(150, 100, 250, 200));
    v->SetDisplayFrame(true);
    EXPECT_EQ(v->FrameSB()->toolTip(), "Hide window frame");
    const TBitmap& view = v->ViewBitmap();
    const TRect f = OffsetRect(Rect(150, 100, 250, 200), -v->OffsetX(), -v->OffsetY());
    for (int y = 0; y < view.Height(); ++y)
        for (int x = 0; x < view.Width(); ++x) {
            const bool inside = x >= f.Left && x < f.Right && y >= f.Top && y < f.Bottom;
            const bool inner = x >= f.Left + 2 && x < f.Right - 2 && y >= f.Top + 2 && y < f.Bottom - 2;
            const TColor expected = inside && !inner ? Inverted(Under(*v, *pic, x, y)) : Under(*v, *pic, x, y);
            ASSERT_EQ(view.GetPixel(x, y), expected) << x << "," << y;
        }
    v->SetDisplayFrame(false);
    EXPECT_EQ(v->FrameSB()->toolTip(), "Display window frame");
    EXPECT_EQ(view.GetPixel(f.Left, f.Top), Under(*v, *pic, f.Left, f.Top));
}

TEST_F(ViewerForms, NestedUpdatesDrawOnceAtTheOutermostEnd)
{
    auto pic = Gradient(300, 200);
    auto v = ShownViewer();
    v->BeginUpdate();
    v->BeginUpdate();
    v->SetPicture(pic.get());
    v->SetViewRect(Rect(0, 0, 100, 100));
    v->EndUpdate();
    EXPECT_EQ(v->UpdateCount(), 1);
    EXPECT_NE(v->ViewBitmap().GetPixel(5, 5), pic->GetPixel(v->OffsetX() + 5, v->OffsetY() + 5));
    v->EndUpdate();
    EXPECT_EQ(v->UpdateCount(), 0);
    EXPECT_EQ(v->ViewBitmap().GetPixel(5, 5), pic->GetPixel(v->OffsetX() + 5, v->OffsetY() + 5));
    // Without a picture the view is button face.
    v->Clear(true);
    EXPECT_EQ(v->Picture(), nullptr);
    EXPECT_EQ(v->ViewBitmap().GetPixel(5, 5), ColorToRGB(clBtnFace));
}

TEST_F(ViewerForms, ClickAndDragReportPicturePoints)
{
    auto pic = Gradient(600, 400);
    auto v = ShownViewer();
    v->SetPicture(pic.get());
    v->SetViewRect(Rect(300, 200, 400, 300));
    std::vector<QPoint> points;
    v->OnViewPosition = [&](TViewerForm*, int X, int Y) { points.emplace_back(X, Y); };
    QTest::mousePress(v->ViewBox(), Qt::LeftButton, {}, QPoint(5, 6));
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 12), QPointF(10, 12), Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(v->ViewBox(), &move);
    QTest::mouseRelease(v->ViewBox(), Qt::LeftButton, {}, QPoint(10, 12));
    QTest::mousePress(v->ViewBox(), Qt::RightButton, {}, QPoint(1, 1));
    EXPECT_EQ(points, (std::vector<QPoint>{QPoint(v->OffsetX() + 5, v->OffsetY() + 6),
                                           QPoint(v->OffsetX() + 10, v->OffsetY() + 12)}));
}

// ---- Pinning and docking ------------------------------------------------------------------------------

TEST_F(ViewerForms, PinnedViewerFollowsAtTheOffsetOfTheUsersMoves)
{
    auto v = ShownViewer();
    v->SetPinned(true);
    EXPECT_EQ(v->PinSB()->toolTip(), "Unpin Viewer from Canvello window");
    // The user puts it beside the main window: that defines the offset.
    const QRect m = MainForm->geometry();
    v->move(m.right() + 1 + 10, m.top() + 20);
    Settle();
    EXPECT_EQ(v->XDiff(), -10 - v->frameGeometry().width());
    EXPECT_EQ(v->YDiff(), -20);
    // The main window moves: the viewer keeps that offset.
    MainForm->move(MainForm->pos() + QPoint(-30, 15));
    Settle();
    v->FollowMainForm();
    Settle();
    EXPECT_EQ(v->pos(), QPoint(MainForm->geometry().right() + 1 + 10, MainForm->geometry().top() + 20));
    EXPECT_EQ(v->XDiff(), -10 - v->frameGeometry().width());

    // The window system reports the viewer's own moves late, one after another: none is the user's.
    const int xdiff = v->XDiff(), ydiff = v->YDiff();
    v->MoveTo(100, 110);
    v->MoveTo(120, 130);
    v->move(100, 110); // the first request, reported only now
    Settle();
    v->move(120, 130);
    Settle();
    EXPECT_EQ(v->XDiff(), xdiff);
    EXPECT_EQ(v->YDiff(), ydiff);
    // A move of the user's again re-defines it.
    v->move(140, 150);
    Settle();
    EXPECT_NE(v->XDiff(), xdiff);

    // Unpinned it stays where it is.
    v->SetPinned(false);
    EXPECT_EQ(v->PinSB()->toolTip(), "Pin Viewer to Canvello window");
    const QPoint at = v->pos();
    MainForm->move(MainForm->pos() + QPoint(40, 0));
    Settle();
    v->FollowMainForm();
    EXPECT_EQ(v->pos(), at);
}

TEST_F(ViewerForms, PinningAViewerNeverMovedByHandKeepsItWhereItIs)
{
    const struct {
        const char* Case;
        bool ByButton; // the pin button clicked, else pinned by the program
    } Cases[] = {{"pin button", true}, {"pinned", false}};
    for (const auto& C : Cases) {
        auto v = ShownViewer();
        ASSERT_FALSE(v->HasOffset()) << C.Case;
        const QPoint at = v->pos();
        if (C.ByButton)
            QTest::mouseClick(v->PinSB(), Qt::LeftButton);
        else
            v->SetPinned(true);
        ASSERT_TRUE(v->Pinned()) << C.Case;
        // The main window moves: the viewer goes with it from where it was, not to its corner.
        const QPoint delta(-30, 25);
        MainForm->move(MainForm->pos() + delta);
        Settle();
        v->FollowMainForm();
        Settle();
        EXPECT_EQ(v->pos(), at + delta) << C.Case;
        MainForm->move(MainForm->pos() - delta);
        Settle();
    }
}

TEST_F(ViewerForms, DockingAndUndockingKeepTheViewerWorking)
{
    auto pic = Gradient(600, 400);
    auto v = ShownViewer();
    v->SetPinned(true);
    v->SetPicture(pic.get());
    v->SetViewRect(Rect(100, 100, 200, 200));
    auto shows = [&] {
        const TBitmap& view = v->ViewBitmap();
        if (view.Width() <= 0 || view.Height() <= 0 || view.Width() != v->ViewBox()->width())
            return false;
        for (int y = 0; y < view.Height(); ++y)
            for (int x = 0; x < view.Width(); ++x)
                if (view.GetPixel(x, y) != Under(*v, *pic, x, y))
                    return false;
        return true;
    };
    ASSERT_TRUE(shows());
    EXPECT_EQ(Site->DockManager(false)->Controls().size(), 0u);

    v->Dock();
    Settle();
    EXPECT_TRUE(v->Docked());
    EXPECT_FALSE(v->isFloating());
    // Inside the dock site, where it can be seen.
    EXPECT_TRUE(v->isVisible());
    EXPECT_TRUE(Site->rect().contains(v->geometry())) << v->x() << "," << v->y();
    EXPECT_TRUE(Site->HasDockedClients());
    EXPECT_FALSE(v->PinSB()->isVisible());
    EXPECT_EQ(Site->DockManager(false)->Controls(), std::vector<TDockingPanelClient*>{v.get()});
    EXPECT_TRUE(shows());
    // Pinning does nothing while docked.
    const QPoint docked = v->pos();
    MainForm->move(MainForm->pos() + QPoint(25, 25));
    Settle();
    v->FollowMainForm();
    EXPECT_EQ(v->pos(), docked);
    // The layout can be written.
    EXPECT_TRUE(Site->SaveDockLayout(Dir.FilePath("layout.sbd").toStdString()));
    EXPECT_GT(QFileInfo(Dir.FilePath("layout.sbd")).size(), 0);
    // A disk that fills up during the save keeps the layout written before.
    QTemporaryDir own;
    const std::string layout = own.filePath("Canvello.sbd").toStdString();
    ASSERT_TRUE(Site->SaveDockLayout(layout));
    QFile before(own.filePath("Canvello.sbd"));
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray saved = before.readAll();
    before.close();
    {
        TFileSizeLimit full(4);
        EXPECT_FALSE(Site->SaveDockLayout(layout));
    }
    QFile after(own.filePath("Canvello.sbd"));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), saved);
    EXPECT_EQ(QDir(own.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "a temporary was left";

    v->Undock();
    Settle();
    EXPECT_FALSE(v->Docked());
    EXPECT_TRUE(v->isFloating());
    EXPECT_FALSE(Site->HasDockedClients());
    EXPECT_TRUE(v->PinSB()->isVisible());
    v->SetViewRect(Rect(300, 200, 400, 300));
    EXPECT_TRUE(shows());
}

TEST(DockingPanel, NoLayoutWithoutADockManager)
{
    TDockingPanel site;
    QTemporaryDir dir;
    EXPECT_EQ(site.DockManager(false), nullptr);
    EXPECT_FALSE(site.SaveDockLayout(dir.filePath("x.sbd").toStdString()));
    EXPECT_FALSE(QFile::exists(dir.filePath("x.sbd")));
}

// ---- Clipboard viewer ------------------------------------------------------------------------------------

class ClipboardViewer : public ViewerForms {
protected:
    void SetUp() override
    {
        ViewerForms::SetUp();
        Clipboard = std::make_unique<TCVClipboard>(System);
        Clipboard->SetActive(true);
        Form = std::make_unique<TCbViewerForm>(Site.get(), "", MainForm.get(), Clipboard.get());
    }
    void TearDown() override
    {
        Form.reset();
        Clipboard.reset();
        ViewerForms::TearDown();
    }
    std::vector<std::string> Tabs() const
    {
        std::vector<std::string> t;
        for (int i = 0; i < Form->ClipboardPages()->count(); ++i)
            t.push_back(Form->ClipboardPages()->tabText(i).toStdString());
        return t;
    }
    bool Enabled(const char* Action) const { return Form->Action(Action)->isEnabled(); }
    bool ShowsEmpty() const { return Form->CBIsEmptyLabel()->isVisible() && !Form->ImageScrollBox()->isVisible(); }

    clipboard_test::TFixedTick Tick{1000};
    TMemorySystemClipboard System;
    std::unique_ptr<TCVClipboard> Clipboard;
    std::unique_ptr<TCbViewerForm> Form;
};

TEST_F(ClipboardViewer, TabsFollowCopiesPromoteDeleteAndClear)
{
    Form->show();
    Settle();
    EXPECT_TRUE(ShowsEmpty());
    EXPECT_EQ(Form->CBIsEmptyLabel()->text(), "The clipboard is empty");
    EXPECT_TRUE(Tabs().empty());
    for (const char* a : {"PasteCbImage", "PasteCbImageAsNew", "PromoteCbImage", "DeleteCbImage", "ClearCb"})
        EXPECT_FALSE(Enabled(a)) << a;

    auto red = Picture(30, 20, clRed), green = Picture(25, 15, clLime), blue = Picture(40, 10, clBlue);
    Clipboard->CopyBitmapNoTag(red.get());
    EXPECT_EQ(Tabs(), std::vector<std::string>{"1"});
    EXPECT_FALSE(ShowsEmpty());
    EXPECT_FALSE(Enabled("PromoteCbImage"));
    EXPECT_TRUE(Enabled("PasteCbImage"));
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmapNoTag(green.get());
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmap(blue.get(), clBlue);
    EXPECT_EQ(Tabs(), (std::vector<std::string>{"1", "2", "3"}));
    // Newest first.
    EXPECT_TRUE(SamePixels(*Form->GetTabData(0)->Bitmap, *blue));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(1)->Bitmap, *green));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(2)->Bitmap, *red));
    EXPECT_EQ(Form->GetTabData(0)->Tag, clBlue);
    EXPECT_TRUE(Form->GetTabData(0)->Bitmap->Transparent());
    EXPECT_EQ(Form->GetTabData(0)->Bitmap->TransparentColor(), clBlue);
    EXPECT_EQ(Form->GetTabData(3), nullptr);
    EXPECT_EQ(Form->GetTabData(-1), nullptr);
    for (int tab : {0, 1, 2}) {
        Form->SetTabIndex(tab);
        EXPECT_EQ(Enabled("PromoteCbImage"), tab > 0) << tab;
    }

    // Promote "3" (the red one): it becomes "1".
    Form->SetTabIndex(2);
    Form->Action("PromoteCbImage")->trigger();
    EXPECT_EQ(Tabs(), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(0)->Bitmap, *red));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(1)->Bitmap, *blue));

    // Delete "2" (the blue one).
    Form->SetTabIndex(1);
    Form->Action("DeleteCbImage")->trigger();
    EXPECT_EQ(Tabs(), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(0)->Bitmap, *red));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(1)->Bitmap, *green));

    Form->Action("ClearCb")->trigger();
    EXPECT_TRUE(Tabs().empty());
    EXPECT_TRUE(ShowsEmpty());
    EXPECT_FALSE(Enabled("ClearCb"));
}

TEST_F(ClipboardViewer, PasteHandsOverTheSelectedPicture)
{
    auto a = Picture(12, 8, clRed), b = Picture(9, 7, clYellow);
    Clipboard->CopyBitmap(a.get(), clRed);
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmapNoTag(b.get());
    Form->show();
    Settle();
    struct TPaste {
        TColor Tag;
        bool AsNew;
        int Width;
    };
    std::vector<TPaste> pasted;
    Form->OnPasteImage = [&](TCbViewerForm*, TBitmap* Bitmap, bool AsNew, TColor Tag) {
        pasted.push_back({Tag, AsNew, Bitmap->Width()});
    };
    Form->SetTabIndex(1);
    Form->Action("PasteCbImage")->trigger();
    Form->SetTabIndex(0);
    Form->Action("PasteCbImageAsNew")->trigger();
    ASSERT_EQ(pasted.size(), 2u);
    EXPECT_EQ(pasted[0].Tag, clRed);
    EXPECT_FALSE(pasted[0].AsNew);
    EXPECT_EQ(pasted[0].Width, 12);
    EXPECT_EQ(pasted[1].Tag, -1);
    EXPECT_TRUE(pasted[1].AsNew);
    EXPECT_EQ(pasted[1].Width, 9);
}

TEST_F(ClipboardViewer, ListensOnlyWhileShown)
{
    auto a = Picture(12, 8, clRed);
    Clipboard->CopyBitmapNoTag(a.get());
    EXPECT_TRUE(Tabs().empty()); // hidden: not listening
    Form->show();
    Settle();
    EXPECT_EQ(Tabs(), std::vector<std::string>{"1"});
    Form->close();
    Settle();
    // Closed, it holds no copies and hears no change.
    EXPECT_EQ(Form->TabData().Count(), 0);
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmapNoTag(a.get());
    EXPECT_EQ(Form->TabData().Count(), 0);
    Form->show();
    Settle();
    EXPECT_EQ(Tabs(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(ClipboardViewer, DamagedClipboardLeavesTheEmptyStateReadyForTheNextChange)
{
    std::vector<std::string> reported;
    const auto saved = EventExceptionHandler;
    EventExceptionHandler = [&](QWidget*, const std::string& Message) { reported.push_back(Message); };
    Form->show();
    Settle();
    auto a = Picture(12, 8, clRed);
    Clipboard->CopyBitmapNoTag(a.get());
    ASSERT_EQ(Tabs(), std::vector<std::string>{"1"});
    // Another program (or a broken one) leaves a damaged block in the private format.
    auto data = std::make_unique<QMimeData>();
    data->setData(CVClipboardFormat, QByteArray("\x01\x00\x00\x00garbage that is no picture", 30));
    System.SetMimeData(std::move(data));
    EXPECT_TRUE(Tabs().empty());
    EXPECT_TRUE(ShowsEmpty());
    EXPECT_FALSE(Enabled("PasteCbImage"));
    EXPECT_TRUE(Form->ClipboardPages()->updatesEnabled());
    // The next copy shows again.
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmapNoTag(a.get());
    EXPECT_EQ(Tabs(), std::vector<std::string>{"1"});
    EXPECT_FALSE(ShowsEmpty());
    EventExceptionHandler = saved;
}

TEST_F(ClipboardViewer, AnItemTaggedBlackShowsItsBlackSeeThrough)
{
    // Black is tag 0, a colour like any other: the item's black pixels show the background, whether
    // the picture came while the viewer was shown or was read when its tab was selected.
    for (bool shownFirst : {true, false}) {
        SCOPED_TRACE(shownFirst ? "copied while shown" : "read when selected");
        Form.reset();
        Clipboard->Clear();
        Form = std::make_unique<TCbViewerForm>(Site.get(), "", MainForm.get(), Clipboard.get());
        if (shownFirst) {
            Form->show();
            Settle();
        }
        auto picture = Picture(40, 30, clRed);
        picture->Canvas().Brush.Color = clBlack;
        picture->Canvas().FillRect(Rect(10, 8, 30, 22));
        ++clipboard_test::TFixedTick::Now;
        Clipboard->CopyBitmap(picture.get(), clBlack);
        if (!shownFirst) {
            Form->show();
            Settle();
        }
        const TCbTabData* d = Form->GetTabData(0);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->Tag, clBlack);
        EXPECT_TRUE(d->Bitmap->Transparent());
        EXPECT_EQ(d->Bitmap->TransparentColor(), clBlack);
        auto* image = Form->findChild<QWidget*>("CbItemImage");
        ASSERT_NE(image, nullptr);
        Form->resize(400, 300);
        Settle();
        const QImage shown = image->grab().toImage();
        const QPoint at((image->width() - 40) / 2, (image->height() - 30) / 2);
        EXPECT_EQ(shown.pixelColor(at + QPoint(2, 2)), QColor(Qt::red));
        EXPECT_NE(shown.pixelColor(at + QPoint(20, 15)), QColor(Qt::black));
        EXPECT_EQ(shown.pixelColor(at + QPoint(20, 15)), shown.pixelColor(at + QPoint(-3, 15))) << "the background";
    }
    // And an item added to the list with its picture at hand.
    TCbTabDataList list;
    auto black = Picture(4, 3, clBlack);
    list.Add(7, black.get(), clBlack);
    EXPECT_TRUE(list.Get(0).Bitmap->Transparent());
    EXPECT_EQ(list.Get(0).Bitmap->TransparentColor(), clBlack);
}

TEST_F(ClipboardViewer, ARepaintOfPartOfAPictureShowsThatPart)
{
    // Every pixel its own colour, some of them the key; larger than the viewer.
    auto picture = std::make_unique<TBitmap>(300, 200, pf24bit);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            picture->Row24(y)[x] = (x + y) % 11 == 0 ? TRGBTriple{0, 0, 0} : TRGBTriple{uint8_t(x), uint8_t(y), 99};
    Form->resize(200, 220);
    Form->show();
    Settle();
    auto* image = Form->CbItemImage();
    for (const TColor tag : {TColor(-1), clBlack}) {
        SCOPED_TRACE(tag < 0 ? "plain" : "keyed");
        ++clipboard_test::TFixedTick::Now;
        Clipboard->CopyBitmap(picture.get(), tag);
        Settle();
        ASSERT_EQ(image->size(), QSize(300, 200));
        const QRect part(170, 120, 37, 29);
        const QImage shown = image->grab(part).toImage();
        for (const QPoint p : {QPoint(0, 0), QPoint(36, 28), QPoint(5, 17), QPoint(20, 3)}) {
            const QPoint at = part.topLeft() + p;
            const TColor c = picture->GetPixel(at.x(), at.y());
            EXPECT_EQ(shown.pixelColor(p), QColor(GetRValue(c), GetGValue(c), GetBValue(c))) << at.x() << "," << at.y();
        }
        // A pixel of the key colour: the pattern shows through it when the picture is keyed.
        const QPoint key(180, 128); // 180 + 128 = 11 x 28
        const QColor keyShown = shown.pixelColor(key - part.topLeft());
        if (tag >= 0)
            EXPECT_NE(keyShown, QColor(Qt::black));
        else
            EXPECT_EQ(keyShown, QColor(Qt::black));
    }
}

TEST_F(ClipboardViewer, PicturesAreReadWhenNeededAndStayWithTheirItems)
{
    auto red = Picture(30, 20, clRed), green = Picture(25, 15, clLime), blue = Picture(40, 10, clBlue);
    Clipboard->CopyBitmapNoTag(red.get());
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmapNoTag(green.get());
    Form->show();
    Settle();
    // Shown: only the selected tab's picture was read.
    EXPECT_TRUE(Form->TabData().Get(0).Loaded);
    EXPECT_FALSE(Form->TabData().Get(1).Loaded);
    ASSERT_TRUE(SamePixels(*Form->GetTabData(1)->Bitmap, *red));
    const TBitmap* greenRead = Form->GetTabData(0)->Bitmap.get();
    // A new copy: the pictures already read are kept, not read again.
    ++clipboard_test::TFixedTick::Now;
    Clipboard->CopyBitmapNoTag(blue.get());
    EXPECT_EQ(Form->TabData().Get(1).Bitmap.get(), greenRead);
    EXPECT_TRUE(SamePixels(*Form->GetTabData(0)->Bitmap, *blue));
    EXPECT_TRUE(SamePixels(*Form->GetTabData(2)->Bitmap, *red));
}

TEST_F(ClipboardViewer, AnotherHistoryReusingAnIdShowsItsOwnPicture)
{
    auto red = Picture(30, 20, clRed), other = Picture(30, 20, clNavy);
    Form->show();
    Settle();
    Clipboard->CopyBitmapNoTag(red.get());
    const uint32_t id = Form->GetTabData(0)->ItemID;
    // Another run of the program made a history whose item has the same id (ids are clock ticks).
    TCVClipboardStream foreign;
    clipboard_test::TFixedTick::Now = id;
    ASSERT_EQ(foreign.AddItem(*other, -1), id);
    auto data = std::make_unique<QMimeData>();
    data->setData(CVClipboardFormat, QByteArray(reinterpret_cast<const char*>(foreign.Memory()), int(foreign.Size())));
    System.SetMimeData(std::move(data));
    ASSERT_EQ(Tabs(), std::vector<std::string>{"1"});
    EXPECT_EQ(Form->GetTabData(0)->ItemID, id);
    EXPECT_TRUE(SamePixels(*Form->GetTabData(0)->Bitmap, *other));
}

TEST(CbTabDataList, GetOutsideTheListRaises)
{
    TCbTabDataList list;
    auto p = Picture(4, 3, clRed);
    list.Add(7, p.get(), clRed);
    list.Add(8, nullptr, -1);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Get(0).ItemID, 7u);
    EXPECT_TRUE(list.Get(0).Bitmap->Transparent());
    EXPECT_TRUE(SamePixels(*list.Get(0).Bitmap, *p));
    EXPECT_EQ(list.Get(1).Bitmap->Width(), 0);
    try {
        list.Get(2);
        FAIL() << "no exception";
    } catch (const Exception& E) {
        EXPECT_EQ(E.Message, "Item index 2 out of bounds");
    }
    EXPECT_THROW(list.Get(-1), Exception);
}

// ---- The main window's viewer commands ---------------------------------------------------------------------

class MainWindowViewers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Dir.IsValid());
        SetUIServices(&UI);
        AppParams = TAppParams();
        Saved = CVClipboard;
        Clipboard = std::make_unique<TCVClipboard>(System);
        Clipboard->SetActive(true);
        CVClipboard = Clipboard.get();
        SavedSelectionClipboard = SelectionClipboard();
        Selections = std::make_unique<TCVSelectionClipboard>(*Clipboard);
        SetSelectionClipboard(Selections.get());
        Main = std::make_unique<TCanvelloMain>(nullptr, Dir.FilePath("Canvello.rfp").toStdString());
        Main->resize(900, 600);
        Main->show();
        Settle();
    }
    void TearDown() override
    {
        Main.reset();
        SetSelectionClipboard(SavedSelectionClipboard);
        CVClipboard = Saved;
        Clipboard.reset();
        SetUIServices(nullptr);
    }

    TOwnSettingsFolder Dir;
    TFakeUIServices UI;
    TCVClipboard* Saved = nullptr;
    TMemorySystemClipboard System;
    std::unique_ptr<TCVClipboard> Clipboard;
    std::unique_ptr<TCVSelectionClipboard> Selections;
    ISelectionClipboard* SavedSelectionClipboard = nullptr;
    std::unique_ptr<TCanvelloMain> Main;
};

TEST_F(MainWindowViewers, ViewerShowsTheActivePictureAndClosesWithItsCommand)
{
    ASSERT_TRUE(Main->NewPicture(400, 300, RGB(10, 200, 30)));
    QAction* act = Main->Action("ActViewerStartStop");
    ASSERT_TRUE(act->isEnabled());
    act->trigger(); // checks it and shows the viewer
    Settle();
    ASSERT_TRUE(Main->ViewerShown());
    EXPECT_EQ(act->statusTip(), "Hide the Viewer");
    TViewerForm* v = Main->Viewer();
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(v->Picture(), &pic->Picture());
    EXPECT_EQ(v->ViewBitmap().GetPixel(2, 2), RGB(10, 200, 30));
    // The picture changes: the viewer shows it.
    pic->Negative();
    EXPECT_EQ(v->ViewBitmap().GetPixel(2, 2), RGB(245, 55, 225));
    // Clicking the viewer scrolls the picture window (nothing to fail here at 1:1 with all in view).
    v->DoViewPosition(10, 10);
    // The picture window goes (its changes not saved): so does its picture from the viewer.
    UI.Answers = {mrNo};
    pic->close();
    Settle();
    EXPECT_EQ(v->Picture(), nullptr);
    EXPECT_EQ(v->ViewBitmap().GetPixel(2, 2), ColorToRGB(clBtnFace));
    v->close();
    Settle();
    EXPECT_FALSE(act->isChecked());
    EXPECT_EQ(act->statusTip(), "Display the Viewer");
}

TEST_F(MainWindowViewers, ClipboardViewerPastesAsANewPicture)
{
    auto a = Picture(30, 20, clRed);
    Clipboard->CopyBitmapNoTag(a.get());
    Main->Action("ActCbViewerStartStop")->trigger();
    Settle();
    TCbViewerForm* cb = Main->CbViewer();
    ASSERT_TRUE(Main->CbViewerShown());
    ASSERT_EQ(cb->ClipboardPages()->count(), 1);
    cb->Action("PasteCbImageAsNew")->trigger();
    TCVPicChildWin* pic = Main->ActivePicChild();
    ASSERT_NE(pic, nullptr);
    EXPECT_TRUE(SamePixels(pic->Picture(), *a));
    // A copy in the picture window adds a tab "1".
    pic->SelectAll();
    ++clipboard_test::TFixedTick::Now;
    ASSERT_TRUE(pic->CopyToClipboard());
    EXPECT_EQ(cb->ClipboardPages()->count(), 2);
    // Docked, it shows inside the side panel, which makes room for it.
    cb->Dock();
    Settle();
    TDockingPanel* site = Main->DockingPanel();
    EXPECT_TRUE(cb->isVisible());
    EXPECT_TRUE(site->rect().contains(cb->geometry())) << cb->x() << "," << cb->y();
    EXPECT_GE(site->height(), 100);
    EXPECT_GE(Main->SideBarPanel()->width(), 200);
    cb->close();
    Settle();
    EXPECT_FALSE(Main->Action("ActCbViewerStartStop")->isChecked());
    // Closed, it leaves the room to the pictures again.
    EXPECT_LT(Main->SideBarPanel()->width(), 100);
}

} // namespace
