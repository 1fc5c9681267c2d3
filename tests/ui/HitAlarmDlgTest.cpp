#include "ui/HitAlarmDlg.h"

#include "engine/HitList.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>

namespace {

class HitAlarmTest : public ::testing::Test {
protected:
    HitAlarmTest() : dlg(hits)
    {
        hits.Append({"坦克[编号:1]", "火炮A", 12.5, "08:00:01"});
        hits.Append({"坦克[编号:2]", "火炮B", 3.14159, "08:00:02"});
        hits.Append({"步兵[编号:7]", "火箭C", 0.0, "08:00:03"});
    }
    // Shown as the main window does: on the first record.
    void ShowOnFirst()
    {
        dlg.SetCurrentPosition(0);
        dlg.show();
    }
    CHitList hits;
    CHitAlarmDlg dlg;
};

}  // namespace

TEST_F(HitAlarmTest, ShowsTheFirstRecordAndEnablesOnlyNext)
{
    EXPECT_EQ(dlg.windowTitle(), "火力击中告警");
    EXPECT_FALSE(dlg.isModal());
    ShowOnFirst();
    EXPECT_EQ(dlg.VictimText(), "坦克[编号:1]");
    EXPECT_EQ(dlg.AttackerText(), "火炮A");
    EXPECT_EQ(dlg.DistanceText(), "12.5000");
    EXPECT_EQ(dlg.TimeText(), "08:00:01");
    EXPECT_EQ(dlg.CounterText(), "共3条");
    EXPECT_TRUE(dlg.NextButton()->isEnabled());
    EXPECT_FALSE(dlg.PreviousButton()->isEnabled());
}

TEST_F(HitAlarmTest, NavigationWalksTheRecordsAndSetsTheButtons)
{
    ShowOnFirst();
    QTest::mouseClick(dlg.NextButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.VictimText(), "坦克[编号:2]");
    EXPECT_EQ(dlg.DistanceText(), "3.1416");
    EXPECT_TRUE(dlg.NextButton()->isEnabled());
    EXPECT_TRUE(dlg.PreviousButton()->isEnabled());

    QTest::mouseClick(dlg.NextButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.VictimText(), "步兵[编号:7]");
    EXPECT_EQ(dlg.TimeText(), "08:00:03");
    EXPECT_FALSE(dlg.NextButton()->isEnabled());
    EXPECT_TRUE(dlg.PreviousButton()->isEnabled());

    QTest::mouseClick(dlg.PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(dlg.VictimText(), "坦克[编号:2]");
    EXPECT_EQ(dlg.CurrentPosition(), std::optional<size_t>(1));
}

TEST_F(HitAlarmTest, StepPastTheLastRecordLeavesNoCurrentRecord)
{
    dlg.SetCurrentPosition(2);
    dlg.show();
    dlg.OnNext();
    EXPECT_FALSE(dlg.CurrentPosition().has_value());
    EXPECT_EQ(dlg.VictimText(), "步兵[编号:7]");  // fields keep their values
    dlg.OnPrevious();                              // no current record: nothing happens
    EXPECT_FALSE(dlg.CurrentPosition().has_value());
    hits.Append({"x", "y", 1, "08:00:09"});
    dlg.OnTimerTick();
    EXPECT_EQ(dlg.CounterText(), "共4条");
    EXPECT_FALSE(dlg.NextButton()->isEnabled());  // buttons keep their state
}

TEST_F(HitAlarmTest, NewHitOnlyRaisesTheCounterAtTheNextTick)
{
    dlg.SetCurrentPosition(2);
    dlg.show();
    EXPECT_FALSE(dlg.NextButton()->isEnabled());
    hits.Append({"坦克[编号:9]", "火炮D", 1.0, "08:00:09"});
    EXPECT_EQ(dlg.CounterText(), "共3条");
    dlg.OnTimerTick();
    EXPECT_EQ(dlg.CounterText(), "共4条");
    EXPECT_TRUE(dlg.NextButton()->isEnabled());
    EXPECT_EQ(dlg.VictimText(), "步兵[编号:7]");
}

TEST_F(HitAlarmTest, OkEmptiesTheListAndHides)
{
    ShowOnFirst();
    QTest::mouseClick(dlg.OkButton(), Qt::LeftButton);
    EXPECT_EQ(hits.Count(), 0u);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.CurrentPosition().has_value());
    dlg.OnTimerTick();
    EXPECT_EQ(dlg.CounterText(), "共0条");
    EXPECT_FALSE(dlg.PopUp(QRect(0, 0, 1600, 1000)));
    EXPECT_FALSE(dlg.isVisible());

    // The next hit brings it back on that hit.
    hits.Append({"坦克[编号:5]", "火炮E", 2.0, "08:01:00"});
    EXPECT_TRUE(dlg.PopUp(QRect(0, 0, 1600, 1000)));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.VictimText(), "坦克[编号:5]");
    EXPECT_EQ(dlg.CounterText(), "共1条");
}

TEST_F(HitAlarmTest, PopUpSitsInTheFramesBottomRightCorner)
{
    const QSize size = dlg.frameGeometry().size();
    const QRect frame(100, 50, 1200, 800);
    ASSERT_TRUE(dlg.PopUp(frame));
    EXPECT_EQ(dlg.frameGeometry().topLeft(), QPoint(1300 - size.width(), 850 - size.height()));
    EXPECT_EQ(dlg.CurrentPosition(), std::optional<size_t>(0));

    // Already visible: the timer leaves it on its record.
    dlg.OnNext();
    EXPECT_FALSE(dlg.PopUp(frame));
    EXPECT_EQ(dlg.CurrentPosition(), std::optional<size_t>(1));
}

TEST_F(HitAlarmTest, FrameSmallerThanTheDialogWaits)
{
    const QSize size = dlg.frameGeometry().size();
    EXPECT_FALSE(dlg.PopUp(QRect(0, 0, size.width() - 1, 900)));
    EXPECT_FALSE(dlg.PopUp(QRect(0, 0, 900, size.height() - 1)));
    EXPECT_FALSE(dlg.PopUp(QRect(0, 0, 900, 0)));
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.CurrentPosition(), std::optional<size_t>(0));
    EXPECT_TRUE(dlg.PopUp(QRect(0, 0, size.width(), size.height())));
}

TEST_F(HitAlarmTest, TimerKeepsCountingWhileHidden)
{
    dlg.OnAcknowledge();
    hits.Append({"a", "b", 1, "c"});
    QTest::qWait(1100);
    EXPECT_EQ(dlg.CounterText(), "共1条");
    EXPECT_FALSE(dlg.isVisible());
}
