// The picture window: its three kinds and their errors, change flags and status panels, best fit,
// zoom by wheel, saving with a floating selection, and the plain pen stroke with its undo step.
#include "FakePicHost.h"
#include "picwin/CVPicChildWn.h"

#include "controls/XStatusbar.h"
#include "image/BitmapUtils.h"
#include "image/PicSelection.h"
#include "image/SelectionKinds.h"
#include "image/XBitmap.h"
#include "globals/CVGlobal.h"
#include "globals/CVToolVars.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QStyleOptionTitleBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

namespace {

std::string WriteBitmap(const QTemporaryDir& Dir, const std::string& Name, int W, int H, TRGBTriple Colour)
{
    TXBitmap b;
    b.SetSize(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            b.Row24(y)[x] = Colour;
    const std::string path = Dir.filePath(QString::fromStdString(Name)).toStdString();
    b.SavePictureToFile(path, false);
    return path;
}

class PicChildWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitCVGlobal();
        ASSERT_TRUE(Dir.isValid());
        for (int i = 0; i < 4; ++i)
            Bar.AddPanel();
        CurrentTool = ctPen;
        ForegroundColour = clBlack;
        BackgroundColour = clWhite;
        PenSettings.Width = 1;
    }
    // A new window of a W x H white picture, with the status bar and change log wired.
    std::unique_ptr<TCVPicChildWin> NewWindow(int W, int H)
    {
        auto win = std::make_unique<TCVNewPicChildWin>(nullptr, &Host, "Pic", W, H, clWhite);
        win->SetStatusBar(&Bar);
        win->OnPictureChange = [this](TCVPicChildWin*, TPictureChanges F) { Changes.push_back(F); };
        win->OnUndoCountChange = [this](TCVPicChildWin*, int C) { UndoCounts.push_back(C); };
        return win;
    }
    std::string Panel(int I) const { return Bar.Panels(I)->Text(); }

    QTemporaryDir Dir;
    TFakeHost Host;
    TXStatusBar Bar;
    std::vector<TPictureChanges> Changes;
    std::vector<int> UndoCounts;
};

TEST_F(PicChildWin, KindsMakeTheirPictureAndCaption)
{
    auto fresh = NewWindow(30, 20);
    EXPECT_EQ(fresh->windowTitle().toStdString(), "Pic [1:1]");
    EXPECT_EQ(fresh->FileName(), "");
    EXPECT_EQ(fresh->Picture().Width(), 30);
    EXPECT_EQ(Panel(1), "30w x 20h");
    EXPECT_EQ(Panel(2), "");

    const std::string path = WriteBitmap(Dir, "red.bmp", 7, 5, TRGBTriple{0, 0, 255});
    TCVFilePicChildWin file(nullptr, &Host, path);
    EXPECT_EQ(file.FileName(), path);
    EXPECT_EQ(file.DisplayName(), "red.bmp");
    EXPECT_EQ(file.windowTitle().toStdString(), "red.bmp [1:1]");
    EXPECT_TRUE(SameTriple(file.Picture().Row24(4)[6], TRGBTriple{0, 0, 255}));
    EXPECT_FALSE(file.Modified());

    TCVCopyPicChildWin copy(nullptr, &Host, "Copy", &file.Picture());
    EXPECT_EQ(copy.Picture().Width(), 7);
    EXPECT_EQ(copy.FileName(), "");
}

TEST_F(PicChildWin, ConstructorsRaiseClearErrors)
{
    const std::string missing = Dir.filePath("none.bmp").toStdString();
    const std::string damaged = Dir.filePath("damaged.bmp").toStdString();
    std::ofstream(damaged) << "BM this is not a bitmap";
    struct Case {
        std::function<void()> Make;
        std::string Message;
    } cases[] = {
        {[&] { TCVFilePicChildWin w(nullptr, &Host, missing); }, "File " + missing + " does not exist"},
        {[&] { TCVFilePicChildWin w(nullptr, &Host, damaged); },
         "Invalid Picture format in " + damaged + "\nBitmap image is not valid"},
        {[&] { TCVCopyPicChildWin w(nullptr, &Host, "X", nullptr); }, "Invalid Picture"},
        {[&] { TCVNewPicChildWin w(nullptr, &Host, "X", 70000, 70000, clWhite); },
         "Unable to create a picture of 70000 x 70000 pixels"},
        {[&] { TCVNewPicChildWin w(nullptr, &Host, "X", 0, 10, clWhite); }, "Unable to create a picture of 0 x 10 pixels"},
    };
    for (const Case& c : cases) {
        try {
            c.Make();
            ADD_FAILURE() << "no error for: " << c.Message;
        } catch (const ECanvelloError& E) {
            EXPECT_EQ(E.Message, c.Message);
        }
    }
}

TEST_F(PicChildWin, ChangedSetsModifiedOnlyForSavedChanges)
{
    auto win = NewWindow(10, 10);
    win->Changed(0, true);
    EXPECT_TRUE(Changes.empty());
    win->Changed(pcPixels, false); // previews and undo
    EXPECT_FALSE(win->Modified());
    win->Changed(pcView | pcZoom, true);
    EXPECT_FALSE(win->Modified());
    win->Changed(pcPixels, true);
    EXPECT_TRUE(win->Modified());
    EXPECT_EQ(Panel(2), "Modified");
    EXPECT_EQ(Changes, (std::vector<TPictureChanges>{pcPixels, pcView | pcZoom, pcPixels}));

    // A floating selection's pixels are saved with the picture: moving or editing it is a change.
    for (TPictureChanges f : {pcSelectionMoved, pcSelectionPixels, pcSelectionRemoved}) {
        win->SetModified(false);
        EXPECT_EQ(Panel(2), "");
        win->Changed(f, true);
        EXPECT_TRUE(win->Modified()) << f;
    }
}

TEST_F(PicChildWin, BestFitSizesToTheZoomedPicture)
{
    // A tiny picture gets the frame plus itself in height, and the title bar's needs in width.
    auto tiny = NewWindow(1, 1);
    EXPECT_EQ(tiny->width(), std::max(1 + tiny->NonClientWidth, tiny->TitleBarMinWidth()));
    EXPECT_GT(tiny->width(), 1 + tiny->NonClientWidth);
    EXPECT_EQ(tiny->height(), 1 + tiny->NonClientHeight);
    EXPECT_FALSE(tiny->BestFit()); // already that size

    // Wider than the area but not taller: the full width, its height plus the horizontal bar.
    Host.AreaW = 200;
    Host.AreaH = 300;
    auto wide = NewWindow(400, 100);
    EXPECT_EQ(wide->width(), 200);
    EXPECT_EQ(wide->height(), 100 + wide->NonClientHeight + SM_CYHSCROLL);
    // Taller than the area as well: capped both ways.
    auto big = NewWindow(400, 400);
    EXPECT_EQ(big->width(), 200);
    EXPECT_EQ(big->height(), 300);
}

TEST_F(PicChildWin, BestFitLeavesAMaximisedWindow)
{
    QMdiArea area;
    area.resize(600, 500);
    area.show();
    auto* win = new TCVNewPicChildWin(nullptr, &Host, "Pic", 50, 50, clWhite);
    area.addSubWindow(win);
    win->showMaximized();
    const QRect before = win->geometry();
    EXPECT_FALSE(win->BestFit(10, 10));
    EXPECT_EQ(win->geometry(), before);
}

TEST_F(PicChildWin, WheelZoomsAndReportsEvenAtTheLimit)
{
    auto win = NewWindow(200, 10); // wide enough for its title bar at every zoom
    auto wheel = [&](int Delta) {
        QWheelEvent e(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, Delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(win.get(), &e);
    };
    wheel(120);
    EXPECT_EQ(win->ZoomFactor(), 2);
    EXPECT_EQ(win->windowTitle().toStdString(), "Pic [2:1]");
    EXPECT_EQ(win->width(), 400 + win->NonClientWidth);
    wheel(-120);
    wheel(-120);
    EXPECT_EQ(win->ZoomFactor(), 1);
    ASSERT_FALSE(Changes.empty());
    EXPECT_EQ(Changes.back(), pcZoom | pcWindowSize);
    EXPECT_FALSE(win->Modified());
}

TEST_F(PicChildWin, SaveMergesTheSelectionIntoTheFileOnly)
{
    auto win = NewWindow(4, 4);
    TBitmap red(2, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x)
            red.Row24(y)[x] = TRGBTriple{0, 0, 255};
    win->NewBitmapSelection(&red, Point(1, 1), -1);
    ASSERT_NE(win->Selection(), nullptr);
    EXPECT_TRUE(win->Modified());
    EXPECT_EQ(Changes.back(), pcPixels | pcSelectionNew);

    const std::string path = Dir.filePath("merged.bmp").toStdString();
    ASSERT_TRUE(win->SaveToFile(path));
    EXPECT_FALSE(win->Modified());
    EXPECT_EQ(win->FileName(), path);
    EXPECT_EQ(win->windowTitle().toStdString(), "merged.bmp [1:1]");
    EXPECT_NE(win->Selection(), nullptr);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(1)[1], WhiteTriple)); // the picture stays unmerged

    TXBitmap saved;
    saved.LoadPictureFromFile(path, false);
    EXPECT_TRUE(SameTriple(saved.Row24(1)[1], TRGBTriple{0, 0, 255}));
    EXPECT_TRUE(SameTriple(saved.Row24(0)[0], WhiteTriple));

    // Saving under the same name keeps the caption; a failed save keeps name and flag.
    win->setWindowTitle("untouched");
    ASSERT_TRUE(win->SaveToFile(path));
    EXPECT_EQ(win->windowTitle().toStdString(), "untouched");
    win->Changed(pcPixels, true);
    EXPECT_FALSE(win->SaveToFile(Dir.filePath("no/such/folder/x.bmp").toStdString()));
    EXPECT_TRUE(win->Modified());
    EXPECT_EQ(win->FileName(), path);
}

TEST_F(PicChildWin, DroppingASelectionWithoutPastingIsAChange)
{
    auto win = NewWindow(4, 4);
    TBitmap red(1, 1);
    red.Row24(0)[0] = TRGBTriple{0, 0, 255};
    win->NewBitmapSelection(&red, Point(0, 0), -1);
    win->SetModified(false);
    win->DropSelection(false, true);
    EXPECT_EQ(win->Selection(), nullptr);
    EXPECT_TRUE(win->Modified());
    EXPECT_TRUE(Changes.back() & pcSelectionRemoved);
}

TEST_F(PicChildWin, ASelectionThatCannotBeMadeLeavesNoneAndSaysWhy)
{
    auto win = NewWindow(4, 4);
    std::vector<std::string> shown;
    EventExceptionHandler = [&](QWidget*, const std::string& Message) { shown.push_back(Message); };
    TBitmap red(1, 1);
    win->NewBitmapSelection(&red, Point(0, 0), -1);
    ASSERT_NE(win->Selection(), nullptr);
    win->NewRectSelection(Rect(10, 10, 20, 20), -1); // outside the picture: the old selection goes, none comes
    EventExceptionHandler = nullptr;
    EXPECT_EQ(win->Selection(), nullptr);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].rfind("There was an error creating selection. ", 0), 0u) << shown[0];
}

TEST_F(PicChildWin, PenStrokePaintsAndUndoRestores)
{
    auto win = NewWindow(20, 20);
    TPictureScrollBox& box = win->PictureScrollBox();
    box.resize(100, 100);
    box.RepaintAll();
    ASSERT_TRUE(box.OnMouseDown);
    box.OnMouseDown(&box, mbLeft, ssLeft, box.PictureToClientX(2), box.PictureToClientY(3));
    box.OnMouseMove(&box, ssLeft, box.PictureToClientX(8), box.PictureToClientY(3));
    box.OnMouseUp(&box, mbLeft, 0, box.PictureToClientX(8), box.PictureToClientY(3));
    EXPECT_TRUE(SameTriple(win->Picture().Row24(3)[2], TRGBTriple{0, 0, 0}));
    EXPECT_TRUE(SameTriple(win->Picture().Row24(3)[5], TRGBTriple{0, 0, 0}));
    EXPECT_TRUE(SameTriple(win->Picture().Row24(4)[5], WhiteTriple));
    EXPECT_TRUE(win->Modified());
    EXPECT_EQ(Panel(3), "8 , 3");
    EXPECT_EQ(UndoCounts, std::vector<int>{1});
    EXPECT_TRUE(win->CanUndo());

    // A move without a pressed button paints nothing.
    box.OnMouseMove(&box, 0, box.PictureToClientX(2), box.PictureToClientY(10));
    EXPECT_TRUE(SameTriple(win->Picture().Row24(10)[2], WhiteTriple));

    win->Undo();
    EXPECT_TRUE(SameTriple(win->Picture().Row24(3)[2], WhiteTriple));
    EXPECT_FALSE(win->Modified());
    EXPECT_EQ(UndoCounts.back(), 0);
    EXPECT_FALSE(win->CanUndo());
}

TEST_F(PicChildWin, PenFollowsRealMouseEvents)
{
    QMdiArea area;
    area.resize(400, 400);
    area.show();
    auto* win = new TCVNewPicChildWin(nullptr, &Host, "Pic", 50, 50, clWhite);
    area.addSubWindow(win);
    win->show();
    TPictureScrollBox& box = win->PictureScrollBox();
    box.RepaintAll();
    QWidget* canvas = box.CanvasControl();
    const QPoint from(box.PictureToClientX(5), box.PictureToClientY(5)), to(box.PictureToClientX(20), box.PictureToClientY(5));
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), canvas->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &move);
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, to);
    EXPECT_TRUE(SameTriple(win->Picture().Row24(5)[12], TRGBTriple{0, 0, 0}));
    EXPECT_TRUE(win->Modified());
}

// ---- Undo after a save, failed undo steps -----------------------------------------------------------------

// A pen stroke from (X0, Y) to (X1, Y) through the view's mouse events.
void Stroke(TCVPicChildWin& Win, int X0, int X1, int Y)
{
    TPictureScrollBox& box = Win.PictureScrollBox();
    box.OnMouseDown(&box, mbLeft, ssLeft, box.PictureToClientX(X0), box.PictureToClientY(Y));
    box.OnMouseMove(&box, ssLeft, box.PictureToClientX(X1), box.PictureToClientY(Y));
    box.OnMouseUp(&box, mbLeft, 0, box.PictureToClientX(X1), box.PictureToClientY(Y));
}

TEST_F(PicChildWin, UndoAfterASaveBringsBackAPictureThatDiffersFromTheFile)
{
    auto win = NewWindow(20, 20);
    win->PictureScrollBox().resize(100, 100);
    // The frame's close question: asked for a modified picture; answered Cancel.
    std::vector<std::string> asked;
    win->OnChildCloseQuery = [&](TBasicCVChild* Sender, bool& CanClose) {
        auto* pic = static_cast<TCVPicChildWin*>(Sender);
        if (pic->Modified()) {
            asked.push_back(Format(SSaveChangesTo, pic->DisplayName()));
            CanClose = false;
        }
    };
    Stroke(*win, 2, 8, 3);
    const std::string path = Dir.filePath("stroke.bmp").toStdString();
    ASSERT_TRUE(win->SaveToFile(path));
    EXPECT_TRUE(win->CloseQuery());
    EXPECT_TRUE(asked.empty());

    // A stroke after the save, undone: the picture is the file's again.
    Stroke(*win, 2, 8, 10);
    win->Undo();
    EXPECT_FALSE(win->Modified());
    EXPECT_TRUE(SameTriple(win->Picture().Row24(3)[5], TRGBTriple{0, 0, 0}));

    // The stroke before the save, undone: the file still has it, the window no longer.
    win->Undo();
    EXPECT_TRUE(SameTriple(win->Picture().Row24(3)[5], WhiteTriple));
    EXPECT_TRUE(win->Modified());
    EXPECT_EQ(Panel(2), "Modified");
    EXPECT_FALSE(win->CloseQuery());
    EXPECT_EQ(asked, std::vector<std::string>{"Save changes to stroke.bmp ?"});
    TXBitmap saved;
    saved.LoadPictureFromFile(path, false);
    EXPECT_TRUE(SameTriple(saved.Row24(3)[5], TRGBTriple{0, 0, 0}));
}

// A step whose restoring fails half way.
class TFailingStep : public TCVPicUndoAction {
public:
    using TCVPicUndoAction::TCVPicUndoAction;
    void Restore(IUndoTarget&, TPictureChanges&) override { throw Exception("disk on fire"); }
};

TEST_F(PicChildWin, AFailedUndoStillReportsTheNewCount)
{
    auto win = NewWindow(10, 10);
    win->AddUndoAction<TCVPicGenUndoAction>()->SetBitmap(&win->Picture());
    win->AddUndoAction<TFailingStep>();
    EXPECT_EQ(UndoCounts, (std::vector<int>{1, 2}));
    try {
        win->Undo();
        ADD_FAILURE() << "the failure went unreported";
    } catch (const ECVUndoActionError& E) {
        EXPECT_EQ(E.Message, "Undo Error. disk on fire");
    }
    EXPECT_EQ(UndoCounts, (std::vector<int>{1, 2, 1}));
    EXPECT_EQ(win->UndoList().Count(), 1);
    EXPECT_TRUE(win->CanUndo());
}

// ---- Scroll bars and small pictures inside a real MDI area ----------------------------------------------------

TEST_F(PicChildWin, DraggingAThumbScrollsBeforeTheRelease)
{
    Host.AreaW = 200;
    Host.AreaH = 200;
    QMdiArea area;
    area.resize(400, 400);
    area.show();
    auto* win = new TCVNewPicChildWin(nullptr, &Host, "Pic", 600, 600, clWhite);
    area.addSubWindow(win);
    win->show();
    win->OnPictureChange = [this](TCVPicChildWin*, TPictureChanges F) { Changes.push_back(F); };
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
    TPictureScrollBox& box = win->PictureScrollBox();
    for (TScrollBarKind kind : {sbHorizontal, sbVertical}) {
        SCOPED_TRACE(kind);
        QScrollBar* bar = box.QtScrollBar(kind);
        ASSERT_TRUE(bar->isVisible());
        const int before = box.ScrollBar(kind).Position();
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = option.sliderValue = bar->sliderPosition();
        option.pageStep = bar->pageStep();
        option.singleStep = bar->singleStep();
        option.upsideDown = false;
        const QRect thumb = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar);
        ASSERT_TRUE(thumb.isValid());
        const QPoint from = thumb.center();
        const QPoint to = from + (kind == sbHorizontal ? QPoint(40, 0) : QPoint(0, 40));
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, from);
        Changes.clear();
        for (const QPoint& at : {from + (to - from) / 2, to}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(at), bar->mapToGlobal(QPointF(at)), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(bar, &move);
        }
        // Still held down: the picture has scrolled and the window has told its listeners.
        ASSERT_TRUE(bar->isSliderDown());
        const int during = box.ScrollBar(kind).Position();
        EXPECT_GT(during, before);
        EXPECT_NE(std::find(Changes.begin(), Changes.end(), pcView), Changes.end());
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, to);
        EXPECT_EQ(box.ScrollBar(kind).Position(), during);
    }
}

TEST_F(PicChildWin, ASmallPictureGetsATitleBarWhoseCaptionAndButtonsFit)
{
    QMdiArea area;
    area.resize(700, 500);
    area.show();
    Host.AreaW = 700;
    Host.AreaH = 500;
    for (int side : {32, 100}) {
        SCOPED_TRACE(side);
        auto* win = new TCVNewPicChildWin(nullptr, &Host, "small-picture-" + std::to_string(side) + ".bmp", side, side,
                                          clRed);
        area.addSubWindow(win);
        win->show();
        win->BestFit();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(win));
        EXPECT_EQ(win->height(), side + win->NonClientHeight);

        // The title bar as the style lays it out at the window's width: the label holds the caption
        // and the extra button, which sits left of the window's own buttons.
        QStyleOptionTitleBar option;
        option.initFrom(win);
        option.subControls = QStyle::SC_All;
        option.titleBarFlags = win->windowFlags();
        option.titleBarState = win->windowState();
        option.text = win->windowTitle();
        option.rect = QRect(0, 0, win->width(), win->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, win));
        const QRect label = win->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarLabel, win);
        const QRect minButton = win->style()->subControlRect(QStyle::CC_TitleBar, &option, QStyle::SC_TitleBarMinButton, win);
        QFont font = QApplication::font("QMdiSubWindowTitleBar");
        const int text = QFontMetrics(font).horizontalAdvance(win->windowTitle());
        QCoreApplication::processEvents();
        (void)win->grab(); // paints the extra button and so places it
        const TRect extra = win->ExtraBtnRect();
        ASSERT_GT(extra.Width(), 0);
        EXPECT_GE(extra.Left, label.left() + text) << "the caption runs under the extra button";
        if (minButton.isValid()) {
            EXPECT_LE(extra.Right, minButton.left() + 1) << "the extra button covers the window's buttons";
        }

        // The picture at the client's top left, the workspace beside it.
        TPictureScrollBox& box = win->PictureScrollBox();
        box.RepaintAll();
        const QImage shot = box.grab().toImage();
        const QRect client = box.ClientRect();
        ASSERT_GT(client.width(), side);
        const QColor red(255, 0, 0);
        for (const QPoint& p : {QPoint(0, 0), QPoint(side - 1, 0), QPoint(0, side - 1), QPoint(side - 1, side - 1)})
            EXPECT_EQ(shot.pixelColor(client.topLeft() + p), red) << p.x() << "," << p.y();
        EXPECT_NE(shot.pixelColor(client.topLeft() + QPoint(side + 2, side / 2)), red);
        delete win;
    }
}

} // namespace
