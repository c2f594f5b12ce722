// Child window bases in a real MDI area: close query and action, progress relays, the wait cursor,
// and the extra caption button's painting, hit test, hover, hint and click.
#include "picwin/CVChildClasses.h"

#include "CaptionPixels.h"

#include "controls/SimpleHintWnd.h"
#include "globals/CVGlobal.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMdiArea>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class MdiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Area.resize(640, 480);
        Area.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Area));
    }
    template <typename T>
    T* AddChild(uint8_t Kind)
    {
        auto* child = new T(nullptr, Kind);
        child->setWidget(new QLabel("client"));
        Area.addSubWindow(child);
        child->setGeometry(10, 10, 400, 300);
        child->show();
        QCoreApplication::processEvents();
        return child;
    }
    QMdiArea Area;
};

} // namespace

TEST_F(MdiTest, CloseQueryVetoesAndCloseActionDecides)
{
    QPointer<TBasicCVChild> child = AddChild<TBasicCVChild>(ckBrowser);
    EXPECT_EQ(child->ChildKind(), ckBrowser);
    EXPECT_TRUE(child->CloseQuery()) << "no handler: the inherited answer";

    bool allow = false;
    child->OnChildCloseQuery = [&](TBasicCVChild* s, bool& canClose) {
        EXPECT_EQ(s, child.data());
        EXPECT_TRUE(canClose);
        canClose = allow;
    };
    EXPECT_FALSE(child->close());
    EXPECT_TRUE(child->isVisible());

    allow = true;
    TCloseAction proposed = caNone;
    child->OnClose = [&](TBasicCVChild*, TCloseAction& a) {
        proposed = a;
        a = caNone;
    };
    EXPECT_FALSE(child->close());
    EXPECT_EQ(proposed, caFree);
    EXPECT_TRUE(child->isVisible());

    // A close question that fails keeps the window and reports the failure.
    std::string reported;
    EventExceptionHandler = [&](QWidget*, const std::string& m) { reported = m; };
    child->OnChildCloseQuery = [](TBasicCVChild*, bool&) { throw std::runtime_error("save failed"); };
    EXPECT_FALSE(child->close());
    EXPECT_EQ(reported, "save failed");
    EXPECT_TRUE(child->isVisible());
    EventExceptionHandler = nullptr;

    child->OnChildCloseQuery = nullptr;
    child->OnClose = nullptr;
    EXPECT_TRUE(child->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(child.isNull()) << "a closed child frees itself";
}

TEST_F(MdiTest, ProgressRelaysNameTheChild)
{
    TBasicCVChild* child = AddChild<TBasicCVChild>(ckPicture);
    std::vector<std::string> log;
    child->DoProgressStart(5); // no handlers: nothing
    child->OnProgressStart = [&](TBasicCVChild* s, int max) { log.push_back(Format("start %d %d", max, s == child)); };
    child->OnProgressStep = [&](TBasicCVChild* s) { log.push_back(Format("step %d", s == child)); };
    child->OnProgressEnd = [&](TBasicCVChild* s) { log.push_back(Format("end %d", s == child)); };
    child->DoProgressStart(2);
    child->DoProgressStep();
    child->DoProgressStep();
    child->DoProgressEnd();
    EXPECT_EQ(log, (std::vector<std::string>{"start 2 1", "step 1", "step 1", "end 1"}));
    child->SetStatusBar(reinterpret_cast<TXStatusBar*>(&Area)); // only stored
    EXPECT_EQ(child->StatusBar(), reinterpret_cast<TXStatusBar*>(&Area));
}

TEST_F(MdiTest, WaitCursorShowsAtOnceAndOneEndWaitRestoresIt)
{
    TBasicCVChild* child = AddChild<TBasicCVChild>(ckPicture);
    bool ran = false;
    QMetaObject::invokeMethod(child, [&] { ran = true; }, Qt::QueuedConnection);
    child->BeginWait();
    EXPECT_TRUE(ran) << "pending work runs so that the cursor shows";
    EXPECT_TRUE(TBasicCVChild::WaitCursorShown());
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    child->BeginWait();
    child->EndWait();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(TBasicCVChild::WaitCursorShown());
    child->EndWait(); // unmatched: nothing
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(MdiTest, ExtraButtonSitsLeftOfTheTitleBarButtons)
{
    TExtraBtnForm* form = AddChild<TExtraBtnForm>(ckPicture);
    ASSERT_NE(ExtraBtnImage, nullptr);
    const QImage shot = form->grab().toImage();
    const TRect r = form->ExtraBtnRect();
    EXPECT_EQ(r.Width(), ExtraBtnImage->Width());
    EXPECT_EQ(r.Left, form->width() - ExtraBtnRightOffset);
    // The face is painted over the caption.
    const TColor face = ExtraBtnImage->GetPixel(9, 1);
    EXPECT_EQ(shot.pixel(r.Left + 9, r.Top + 1), qRgb(GetRValue(face), GetGValue(face), GetBValue(face)));
    EXPECT_LE(r.Bottom, form->contentsMargins().top()) << "inside the title bar";

    // Edges: left and top inside, right and bottom outside.
    const QPoint o = form->mapToGlobal(QPoint(0, 0));
    EXPECT_TRUE(form->HitTestExtraBtn(o.x() + r.Left, o.y() + r.Top));
    EXPECT_TRUE(form->HitTestExtraBtn(o.x() + r.Right - 1, o.y() + r.Bottom - 1));
    EXPECT_FALSE(form->HitTestExtraBtn(o.x() + r.Right, o.y() + r.Top));
    EXPECT_FALSE(form->HitTestExtraBtn(o.x() + r.Left, o.y() + r.Bottom));

    // The title bar's own minimise button is right of the extra button and still works.
    int clicks = 0;
    form->OnExtraBtnClick = [&](TExtraBtnForm*) { ++clicks; };
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2));
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(form->isMinimized());
    EXPECT_FALSE(form->isMaximized());
    EXPECT_EQ(form->pos(), QPoint(10, 10)) << "a click on the button does not drag the window";
    const QPoint minimise(r.Right + 8, (r.Top + r.Bottom) / 2);
    QTest::mouseMove(form, minimise - QPoint(1, 0)); // the title bar tracks the hovered button
    QTest::mouseMove(form, minimise);
    QTest::mouseClick(form, Qt::LeftButton, {}, minimise);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(form->isMinimized()) << "the minimise button just right of it";
    EXPECT_FALSE(form->HitTestExtraBtn(o.x() + r.Left, o.y() + r.Top)) << "a minimised window has no button";
    QTest::mouseClick(form, Qt::LeftButton, {}, QPoint(r.Left + 2, r.Top + 2));
    EXPECT_EQ(clicks, 1);

    form->showNormal();
    form->setGeometry(10, 10, 400, 300);
    form->grab();
    QTest::mouseDClick(form, Qt::LeftButton, {}, QPoint(r.Left + 2, r.Top + 2));
    EXPECT_FALSE(form->isMaximized()) << "a double click on the button is no title-bar double click";
    EXPECT_GE(clicks, 2);
}

// A window narrowed to its title bar's minimum shows the whole caption, as the widest window shows it,
// and the extra button beside it, whether the style puts the caption at the start or in the middle.
TEST_F(MdiTest, TheNarrowestTitleBarShowsTheWholeCaptionBesideTheButton)
{
    const QString oldStyle = QApplication::style()->name();
    for (const char* styleName : {"Fusion", "Windows"}) {
        SCOPED_TRACE(styleName);
        QApplication::setStyle(QStyleFactory::create(styleName));
        ReadCaptionMetrics();
        TExtraBtnForm* form = AddChild<TExtraBtnForm>(ckPicture);
        ASSERT_NE(ExtraBtnImage, nullptr);
        for (const char* title : {"pic1.bmp [1:1]", "A much longer caption of a picture.bmp [16:1]"}) {
            SCOPED_TRACE(title);
            form->setWindowTitle(title);
            const int w = form->TitleBarMinWidth();
            // Wider by an even number of pixels, so that a centred caption moves by whole pixels.
            const TCaptionPixels whole = CaptionAt(*form, w + 1000);
            ASSERT_FALSE(whole.Text.isNull());
            const TCaptionPixels narrow = CaptionAt(*form, w);
            form->PaintExtraBtn();
            EXPECT_EQ(narrow.Text, whole.Text) << "caption cut or shortened at width " << w;
            EXPECT_LT(narrow.Right, form->ExtraBtnRect().Left) << "caption under the button at width " << w;
        }
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QApplication::setStyle(QStyleFactory::create(oldStyle));
    ReadCaptionMetrics();
}

TEST_F(MdiTest, ExtraButtonHoverOpensOneHintAndLeavingClosesIt)
{
    const int savedPause = HintPause;
    HintPause = 20;
    TExtraBtnForm* form = AddChild<TExtraBtnForm>(ckPicture);
    form->SetExtraBtnHintStr("Resize window to best fit");
    form->grab(); // paints the button
    int enters = 0, leaves = 0;
    form->OnExtraBtnEnter = [&](TExtraBtnForm*) { ++enters; };
    form->OnExtraBtnLeave = [&](TExtraBtnForm*) { ++leaves; };
    const TRect r = form->ExtraBtnRect();
    const QPoint centre((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);

    QTest::mouseMove(form, centre);
    QTest::mouseMove(form, centre + QPoint(1, 1));
    EXPECT_EQ(enters, 1);
    EXPECT_TRUE(form->MouseOverExtraBtn());
    ASSERT_NE(form->HintWindow(), nullptr);
    QPointer<TSimpleHintWindow> hint = form->HintWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return hint && hint->isVisible(); }, 2000)) << "shows after the pause";
    EXPECT_EQ(hint->Text(), "Resize window to best fit");

    QTest::mouseMove(form, QPoint(60, 8)); // the caption, off the button
    EXPECT_EQ(leaves, 1);
    EXPECT_FALSE(form->MouseOverExtraBtn());
    EXPECT_EQ(form->HintWindow(), nullptr);
    EXPECT_TRUE(hint.isNull());
    QTest::mouseMove(form, QPoint(70, 8));
    EXPECT_EQ(leaves, 1) << "once";

    // Into the client area straight from the button.
    QTest::mouseMove(form, centre);
    EXPECT_EQ(enters, 2);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(form->widget(), &enter);
    EXPECT_EQ(leaves, 2);

    // Hiding the button while over it: the hint goes, no leave event.
    QTest::mouseMove(form, QPoint(60, 8));
    QTest::mouseMove(form, centre);
    EXPECT_EQ(enters, 3);
    ASSERT_NE(form->HintWindow(), nullptr);
    form->SetShowExtraBtn(false);
    EXPECT_EQ(form->HintWindow(), nullptr);
    EXPECT_FALSE(form->MouseOverExtraBtn());
    EXPECT_EQ(leaves, 2);
    EXPECT_FALSE(form->HitTestExtraBtn(form->mapToGlobal(centre).x(), form->mapToGlobal(centre).y()));
    form->SetShowExtraBtn(true);
    form->grab();

    // With hints off the events still fire, but no hint opens.
    form->SetExtraBtnHint(false);
    QTest::mouseMove(form, QPoint(60, 8));
    QTest::mouseMove(form, centre);
    EXPECT_EQ(enters, 4);
    EXPECT_EQ(form->HintWindow(), nullptr);
    HintPause = savedPause;
}
