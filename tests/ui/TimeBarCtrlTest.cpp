#include "ui/TimeBarCtrl.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <climits>

namespace {

// 200 pixels wide with the panel's margins: the thumb centre runs from pixel 8
// to pixel 191 (a track of 200 - 2 - 2 - 13 = 183 pixels).
class TimeBarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bar.SetMargins(2, 3, 2, 0);
        bar.resize(200, 16);
        bar.SetRange(0, 7200);
        bar.show();
        bar.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));
    }
    CTimeBarCtrl bar;
};

}  // namespace

TEST_F(TimeBarTest, PixelOfPosition)
{
    EXPECT_EQ(bar.PixelOfPosition(0), 8);
    EXPECT_EQ(bar.PixelOfPosition(7200), 191);
    EXPECT_EQ(bar.PixelOfPosition(3600), 99);  // 8 + trunc(183 / 2)
    EXPECT_EQ(bar.PixelOfPosition(1), 8);      // 183 / 7200 of a pixel truncates away
    EXPECT_EQ(bar.PixelOfPosition(40), 9);     // trunc(1.0166)
}

TEST_F(TimeBarTest, PositionOfPixel)
{
    EXPECT_EQ(bar.PositionOfPixel(8), 0);
    EXPECT_EQ(bar.PositionOfPixel(99), 3580);  // trunc(91 / 183 * 7200)
    EXPECT_EQ(bar.PositionOfPixel(191), 7200);
    // Outside the track the position stays in the range.
    EXPECT_EQ(bar.PositionOfPixel(0), 0);
    EXPECT_EQ(bar.PositionOfPixel(192), 7200);
    EXPECT_EQ(bar.PositionOfPixel(INT_MAX), 7200);
}

TEST_F(TimeBarTest, RangeWithMinimumAboveZero)
{
    bar.SetRange(100, 283);  // one position per pixel
    EXPECT_EQ(bar.PixelOfPosition(100), 8);
    EXPECT_EQ(bar.PixelOfPosition(150), 58);
    EXPECT_EQ(bar.PositionOfPixel(58), 150);
}

TEST_F(TimeBarTest, EmptyRangeAndNarrowBarDoNotDivideByZero)
{
    bar.SetRange(5, 5);
    bar.SetPos(9);
    EXPECT_EQ(bar.GetPos(), 5);
    EXPECT_EQ(bar.PixelOfPosition(5), 8);
    EXPECT_EQ(bar.PositionOfPixel(150), 5);

    bar.SetRange(10, 3);  // an end before the start collapses to the start
    EXPECT_EQ(bar.GetRangeMax(), 10);
    EXPECT_EQ(bar.GetPos(), 10);

    bar.SetRange(0, 100);
    bar.resize(10, 16);  // narrower than margins and thumb
    EXPECT_EQ(bar.PixelOfPosition(50), 8);
    EXPECT_EQ(bar.PositionOfPixel(9), 0);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(9, 8));
    bar.grab();  // paints without trouble
}

TEST_F(TimeBarTest, SetPosClampsToTheRange)
{
    bar.SetPos(-5);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetPos(9000);
    EXPECT_EQ(bar.GetPos(), 7200);
    bar.SetRange(0, 100);
    EXPECT_EQ(bar.GetPos(), 100);
}

TEST_F(TimeBarTest, ClickBesideTheThumbJumpsAndDragReportsEachChange)
{
    QSignalSpy moved(&bar, &CTimeBarCtrl::thumbMoved);
    QSignalSpy set(&bar, &CTimeBarCtrl::positionSet);

    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(150, 8));
    EXPECT_TRUE(bar.IsDragging());
    EXPECT_TRUE(bar.hasFocus());
    EXPECT_EQ(bar.GetPos(), 5586);  // trunc(142 / 183 * 7200): no grab offset
    ASSERT_EQ(moved.count(), 1);
    EXPECT_EQ(moved.at(0).at(0).toInt(), 5586);

    QTest::mouseMove(&bar, QPoint(151, 8));
    QTest::mouseMove(&bar, QPoint(151, 12));  // same pixel: no notification
    EXPECT_EQ(moved.count(), 2);
    QTest::mouseMove(&bar, QPoint(400, 8));   // past the right end
    EXPECT_EQ(bar.GetPos(), 7200);
    QTest::mouseMove(&bar, QPoint(-50, 8));   // past the left end
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(set.count(), 0);

    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(-50, 8));
    EXPECT_FALSE(bar.IsDragging());
    ASSERT_EQ(set.count(), 1);
    EXPECT_EQ(set.at(0).at(0).toInt(), 0);

    // Moving without the button does nothing.
    QTest::mouseMove(&bar, QPoint(120, 8));
    EXPECT_EQ(bar.GetPos(), 0);
}

TEST_F(TimeBarTest, GrabbingTheThumbKeepsTheCursorOffset)
{
    bar.SetPos(3600);  // centre at pixel 99
    QSignalSpy moved(&bar, &CTimeBarCtrl::thumbMoved);
    QTest::mousePress(&bar, Qt::LeftButton, {}, QPoint(103, 8));
    EXPECT_EQ(bar.GetPos(), 3580);  // the centre stays at 99, which maps to 3580
    QTest::mouseMove(&bar, QPoint(153, 8));
    EXPECT_EQ(bar.GetPos(), 5547);  // centre 149, not 153 (5704)
    QTest::mouseRelease(&bar, Qt::LeftButton, {}, QPoint(153, 8));
    EXPECT_EQ(moved.count(), 2);
}

TEST_F(TimeBarTest, PressAndReleaseOnTheThumbCentreOnlySetsThePosition)
{
    QSignalSpy moved(&bar, &CTimeBarCtrl::thumbMoved);
    QSignalSpy set(&bar, &CTimeBarCtrl::positionSet);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(8, 8));
    EXPECT_EQ(moved.count(), 0);
    ASSERT_EQ(set.count(), 1);
    EXPECT_EQ(set.at(0).at(0).toInt(), 0);
}

TEST_F(TimeBarTest, KeysStepPageAndJumpWithinTheRange)
{
    QSignalSpy set(&bar, &CTimeBarCtrl::positionSet);
    bar.SetPos(100);
    bar.SetPageSize(60);
    const struct {
        Qt::Key key;
        int expected;
    } steps[] = {
        {Qt::Key_PageDown, 160}, {Qt::Key_PageUp, 100}, {Qt::Key_Right, 101}, {Qt::Key_Down, 102},
        {Qt::Key_Left, 101},     {Qt::Key_Up, 100},     {Qt::Key_End, 7200},  {Qt::Key_PageDown, 7200},
        {Qt::Key_Right, 7200},   {Qt::Key_Home, 0},     {Qt::Key_Left, 0},    {Qt::Key_PageUp, 0},
    };
    for (const auto& s : steps) {
        QTest::keyClick(&bar, s.key);
        EXPECT_EQ(bar.GetPos(), s.expected) << "key " << s.key;
    }
    ASSERT_EQ(set.count(), int(std::size(steps)));  // also at the ends
    EXPECT_EQ(set.last().at(0).toInt(), 0);

    QTest::keyClick(&bar, Qt::Key_A);  // other keys are not the bar's
    EXPECT_EQ(set.count(), int(std::size(steps)));
}

TEST_F(TimeBarTest, PageStepNearTheIntLimitDoesNotOverflow)
{
    bar.SetRange(0, INT_MAX);
    bar.SetPageSize(1000);
    bar.SetPos(INT_MAX - 10);
    QTest::keyClick(&bar, Qt::Key_PageDown);
    EXPECT_EQ(bar.GetPos(), INT_MAX);
}

TEST_F(TimeBarTest, DisabledBarIgnoresMouseAndKeys)
{
    QSignalSpy moved(&bar, &CTimeBarCtrl::thumbMoved);
    QSignalSpy set(&bar, &CTimeBarCtrl::positionSet);
    bar.setEnabled(false);
    QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(150, 8));
    QTest::keyClick(&bar, Qt::Key_End);
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(moved.count() + set.count(), 0);
}

TEST_F(TimeBarTest, PaintsThePlayedPartInTheAccentColour)
{
    bar.SetPos(3600);
    const QImage img = bar.grab().toImage();
    const QColor accent = bar.palette().color(QPalette::Highlight);
    auto nearAccent = [&](QColor c) {
        return std::abs(c.hue() - accent.hue()) < 20 && c.saturation() > 60;
    };
    // Groove centre row: played part left of the thumb, unplayed part right of it.
    const int y = (3 + 16) / 2;
    EXPECT_TRUE(nearAccent(img.pixelColor(50, y)));
    EXPECT_FALSE(nearAccent(img.pixelColor(150, y)));
}
