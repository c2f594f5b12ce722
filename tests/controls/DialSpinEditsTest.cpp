// The dial, the track bar and the two spin edits.
#include "controls/XDial.h"
#include "controls/XSpinEdits.h"

#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Drags the dial's needle with the left button to (X, Y).
void DragTo(TDial& Dial, int X, int Y)
{
    QTest::mousePress(&Dial, Qt::LeftButton, Qt::NoModifier, QPoint(X, Y));
    QTest::mouseRelease(&Dial, Qt::LeftButton, Qt::NoModifier, QPoint(X, Y));
}

// Replaces the edit's text as typing would and leaves the edit.
template <class Edit>
void TypeText(Edit& E, const QString& Text)
{
    E.Editor()->selectAll();
    QTest::keyClicks(E.Editor(), Text);
}

// Switches the default locale for one test.
struct LocaleScope {
    explicit LocaleScope(const QLocale& L) : Old(QLocale()) { QLocale::setDefault(L); }
    ~LocaleScope() { QLocale::setDefault(Old); }
    QLocale Old;
};

} // namespace

TEST(Dial, DragGivesPositionClockwiseFromUp)
{
    TDial dial;
    dial.SetIncrements(360);
    ASSERT_EQ(dial.Centre().X, 50);
    const struct {
        int X, Y, Position;
    } cases[] = {{50, 10, 0}, {90, 50, 90}, {50, 90, 180}, {10, 50, 270}, {49, -70, 360}, {50, 50, 0}, {90, 10, 45}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.X << "," << c.Y);
        DragTo(dial, c.X, c.Y);
        EXPECT_EQ(dial.Position(), c.Position);
        EXPECT_FALSE(dial.Dragging());
    }
}

TEST(Dial, ChangeFiresEveryTimeAndDefaultsHold)
{
    TDial dial;
    int changes = 0;
    dial.OnChange = [&](QWidget*) { ++changes; };
    dial.SetPosition(5);
    dial.SetPosition(5);
    EXPECT_EQ(changes, 2);
    // Without Increments a drag answers 0, the needle draws one increment as one degree.
    EXPECT_EQ(dial.DegreesPerIncrement(), 1.0);
    DragTo(dial, 90, 50);
    EXPECT_EQ(dial.Position(), 0);
    dial.SetIncrements(0);
    EXPECT_EQ(dial.Increments(), 0);
    // The needle of position 90 points right: its tip lies at the right edge less the gap.
    dial.SetIncrements(360);
    dial.SetPosition(90);
    dial.grab();
    EXPECT_EQ(dial.NeedleTip().X, 98);
    EXPECT_EQ(dial.NeedleTip().Y, 50);
    QImage face = dial.grab().toImage();
    EXPECT_EQ(face.pixel(80, 50) & 0xFFFFFF, 0u); // black needle
}

TEST(Dial, SettersRejectOutOfRangeValues)
{
    TDial dial;
    dial.SetNeedleGap(50); // not below half the smaller side
    EXPECT_EQ(dial.NeedleGap(), 2);
    dial.SetNeedleGap(-3);
    EXPECT_EQ(dial.NeedleGap(), -3);
    dial.SetNeedleWidth(10);
    EXPECT_EQ(dial.NeedleWidth(), 1);
    dial.SetNeedleWidth(9);
    EXPECT_EQ(dial.NeedleWidth(), 9);
    TBitmap face(79, 79);
    dial.SetBackground(&face);
    EXPECT_EQ(dial.NeedleGap(), 0);
    EXPECT_EQ(dial.width(), 79);
    EXPECT_EQ(dial.Centre().X, 39);
    EXPECT_EQ(dial.NeedleTip().Y, 0);
}

TEST(TrackBar, PositionAtXAndThumb)
{
    TXTrackBar bar;
    bar.setRange(-100, 100);
    bar.resize(200, 30);
    const int thumb = bar.ThumbLength();
    ASSERT_GT(thumb, 0);
    EXPECT_EQ(bar.PositionAtX(thumb / 2), -100);
    EXPECT_EQ(bar.PositionAtX(200 - thumb + thumb / 2), 100);
    bar.SetPosition(0);
    int onThumb = 0;
    for (int x = 0; x < 200; ++x)
        onThumb += bar.PointOnThumb(x, 15);
    EXPECT_EQ(onThumb, thumb);
    EXPECT_FALSE(bar.PointOnThumb(2, 15));
    bar.resize(thumb, 30); // not wider than the thumb
    EXPECT_EQ(bar.PositionAtX(150), -100);
}

TEST(XSpinEdit, TypedValuesAreClampedAndArrowsAskFirst)
{
    TXSpinEdit edit;
    edit.SetMinValue(-100);
    edit.SetMaxValue(100);
    edit.SetMaxLength(4);
    edit.SetValue(10);
    TypeText(edit, "150");
    EXPECT_EQ(edit.Text(), "150");
    EXPECT_TRUE(edit.TextIsValid());
    EXPECT_EQ(edit.Value(), 100);
    edit.SetValue(edit.Value());
    EXPECT_EQ(edit.Text(), "100");
    edit.SetValue(-100);
    EXPECT_EQ(edit.Text(), "-100"); // four characters fit
    TypeText(edit, "1x");
    EXPECT_EQ(edit.Text(), "1"); // a letter is refused
    TypeText(edit, "-");
    EXPECT_FALSE(edit.TextIsValid());
    EXPECT_EQ(edit.Value(), -100); // not a number: the minimum

    int ups = 0;
    edit.SetValue(5);
    edit.OnUpClick = [&](QWidget*, bool& Handled) { Handled = ++ups == 1; };
    edit.stepBy(1);
    EXPECT_EQ(edit.Value(), 5); // handled by the event
    edit.stepBy(1);
    EXPECT_EQ(edit.Value(), 6);
    edit.SetReadOnly(true);
    edit.stepBy(1);
    EXPECT_EQ(ups, 2);
    EXPECT_EQ(edit.Value(), 6);
}

TEST(XSpinEdit, EqualLimitsMeanNoLimits)
{
    TXSpinEdit edit;
    edit.SetValue(400);
    EXPECT_EQ(edit.Value(), 400);
    edit.SetValue(-10);
    EXPECT_EQ(edit.Value(), -10);
    edit.stepBy(-1);
    EXPECT_EQ(edit.Value(), -11);
}

TEST(DoubleSpinEdit, LocaleSeparatorAndPointBothParse)
{
    const struct {
        QLocale::Language Language;
        const char* Text;
        bool Valid;
        double Value;
    } cases[] = {
        {QLocale::German, "1,5", true, 1.5},   {QLocale::German, "1.5", true, 1.5},
        {QLocale::German, "1,5,0", false, 0},  {QLocale::English, "1.25", true, 1.25},
        {QLocale::English, "", false, 0},      {QLocale::English, "-", false, 0},
        {QLocale::English, "2e1", false, 0},   {QLocale::English, "1.2.3", false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        LocaleScope scope{QLocale(c.Language)};
        double v = 0;
        EXPECT_EQ(ParseDecimal(c.Text, v), c.Valid);
        if (c.Valid) {
            EXPECT_DOUBLE_EQ(v, c.Value);
        }
    }
    LocaleScope german{QLocale(QLocale::German)};
    EXPECT_EQ(FormatDecimal(1.5, 2), "1,50");
    TDoubleSpinEdit edit;
    edit.SetMinValue(0);
    edit.SetMaxValue(4.99);
    edit.SetValue(1);
    EXPECT_EQ(edit.Text(), "1,00");
    TypeText(edit, "1,5");
    EXPECT_DOUBLE_EQ(edit.Value(), 1.5);
    TypeText(edit, "2.5");
    EXPECT_DOUBLE_EQ(edit.Value(), 2.5);
    EXPECT_TRUE(edit.IsValidChar(','));
    EXPECT_TRUE(edit.IsValidChar('.'));
    EXPECT_FALSE(edit.IsValidChar('e'));
    EXPECT_FALSE(edit.IsValidChar('\r'));
}

TEST(DoubleSpinEdit, ClampsLimitsDecimalsAndLeavingBadText)
{
    LocaleScope english{QLocale(QLocale::English)};
    TDoubleSpinEdit edit;
    EXPECT_EQ(edit.Text(), "0.00");
    edit.SetValue(12345.678); // equal limits: any value
    EXPECT_EQ(edit.Text(), "12345.68");
    edit.SetMinValue(0);
    edit.SetMaxValue(4.99);
    edit.SetValue(7);
    EXPECT_EQ(edit.Text(), "4.99");
    edit.SetNumDecimalPoints(7);
    EXPECT_EQ(edit.NumDecimalPoints(), 2);
    edit.SetNumDecimalPoints(3);
    EXPECT_EQ(edit.Text(), "4.990");
    edit.SetNumDecimalPoints(2);
    edit.SetValue(1.25);
    edit.SetIncrement(0.01);
    edit.stepBy(1);
    EXPECT_EQ(edit.Text(), "1.26");

}
