#include "ui/TimeControlDlg.h"

#include "RecordingReporter.h"
#include "engine/ClockService.h"
#include "engine/PlanTime.h"
#include "ui/TimeBarCtrl.h"

#include <gtest/gtest.h>

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>

#include <thread>
#include <vector>

namespace {

const std::time_t kStart = MakeLocalTime(2024, 5, 1, 8, 0, 0);
const std::time_t kEnd = MakeLocalTime(2024, 5, 1, 10, 0, 0);

struct Recalculation {
    long long elapsed;   // current time field - start time field, seconds
    uint32_t clockMs;    // the clock's time while recalculating
    bool clockRunning;
};

// A panel on a plan from 08:00:00 to 10:00:00, with hooks that record what
// the main window would be asked to do.
class TimeControlTest : public ::testing::Test {
protected:
    TimeControlTest() : panel(clock, &reporter)
    {
        panel.resize(900, 70);
        CTimeControlDlg::Hooks hooks;
        hooks.hasPlan = [this] { return planOpen; };
        hooks.setPlanStart = [this](std::time_t t) { planStarts.push_back(t); };
        hooks.setPlanEnd = [this](std::time_t t) { planEnds.push_back(t); };
        hooks.recalculatePositions = [this] {
            recalcs.push_back({panel.GetCurrentTime() - panel.GetStartTime(), clock.GetTime(), clock.IsRunning() != 0});
        };
        panel.SetHooks(hooks);
        panel.SetPlanTimes(kStart, kEnd);
        recalcs.clear();
        panel.show();
    }

    template <typename T>
    T* Child(const char* name)
    {
        T* w = panel.findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void SetPicker(const char* date, const char* time, std::time_t t)
    {
        const QDateTime dt = QDateTime::fromSecsSinceEpoch(t);
        Child<QDateEdit>(date)->setDate(dt.date());
        Child<QTimeEdit>(time)->setTime(dt.time());
    }
    // A tick as the clock thread delivers it.
    void TickFromClockThread(uint32_t nowMs)
    {
        std::thread t([&] { panel.ClockReceiver()->RecvClockEvent(nowMs - 200, nowMs, nullptr); });
        t.join();
    }
    void ProcessPosted() { QCoreApplication::processEvents(); }

    CClockService clock;
    RecordingReporter reporter;
    CTimeControlDlg panel;
    bool planOpen = true;
    std::vector<std::time_t> planStarts, planEnds;
    std::vector<Recalculation> recalcs;
};

const char* kStartEndText = "开始时间、结束时间设置不合理,请重新输入！";
const char* kCurrentText = "当前输入的时间设置超出了开始时间和结束时间的范围,请重新输入！";

}  // namespace

TEST_F(TimeControlTest, PlanTimesSetTheBarAndSeekToTheStart)
{
    EXPECT_EQ(panel.GetBarMinimum(), 0);
    EXPECT_EQ(panel.GetBarMaximum(), 7200);
    EXPECT_EQ(panel.GetBarPosition(), 0);
    EXPECT_EQ(panel.TimeBar()->GetRangeMax(), 7200);
    EXPECT_EQ(panel.StartDateTime(), kStart);
    EXPECT_EQ(panel.CurrentDateTime(), kStart);
    EXPECT_EQ(panel.EndDateTime(), kEnd);
    EXPECT_EQ(panel.CurrentEpoch(), kStart);
    EXPECT_EQ(panel.RelativeText(), "相对时间:0秒");
    EXPECT_EQ(Child<QLabel>("relativeText")->text(), "相对时间:0秒");
    EXPECT_EQ(Child<QTimeEdit>("endTime")->time(), QTime(10, 0, 0));
    EXPECT_TRUE(reporter.messages.empty());
}

TEST_F(TimeControlTest, ClockTickMovesTheBarAndTheCurrentTime)
{
    TickFromClockThread(1500);
    // The model's time of day is right at once, on the clock thread.
    EXPECT_EQ(panel.CurrentEpoch(), kStart + 1);
    EXPECT_EQ(panel.CurrentTimeText(), "08:00:01");
    ProcessPosted();
    EXPECT_EQ(panel.TimeBar()->GetPos(), 1);
    EXPECT_EQ(panel.GetBarPosition(), 1);
    EXPECT_EQ(panel.RelativeText(), "相对时间:1秒");
    EXPECT_EQ(Child<QLabel>("relativeText")->text(), "相对时间:1秒");
    EXPECT_EQ(Child<QTimeEdit>("currentTime")->time(), QTime(8, 0, 1));
    EXPECT_EQ(panel.CurrentDateTime(), kStart + 1);

    TickFromClockThread(3725000);
    ProcessPosted();
    EXPECT_EQ(panel.RelativeText(), "相对时间:1小时2分5秒");
    EXPECT_EQ(panel.CurrentTimeText(), "09:02:05");
}

TEST_F(TimeControlTest, TicksPastTheEndPinTheThumbButTimeGoesOn)
{
    TickFromClockThread(7300 * 1000);
    ProcessPosted();
    EXPECT_EQ(panel.TimeBar()->GetPos(), 7200);
    EXPECT_EQ(panel.GetBarPosition(), 7300);
    EXPECT_EQ(panel.RelativeText(), "相对时间:2小时1分40秒");
    EXPECT_EQ(panel.CurrentTimeText(), "10:01:40");
}

TEST_F(TimeControlTest, TicksQueuedBeforeASeekAreDropped)
{
    TickFromClockThread(50 * 1000);  // posted, not yet handled
    SetPicker("currentDate", "currentTime", kStart + 10);
    panel.OnApplyCurrent();
    ProcessPosted();
    EXPECT_EQ(panel.TimeBar()->GetPos(), 10);
    EXPECT_EQ(panel.RelativeText(), "相对时间:10秒");
    EXPECT_EQ(panel.CurrentEpoch(), kStart + 10);
}

TEST_F(TimeControlTest, TickDuringPlayKeepsWhatTheOperatorTypesInTheStartPicker)
{
    Child<QTimeEdit>("startTime")->setTime(QTime(8, 30, 0));
    TickFromClockThread(2000);
    ProcessPosted();
    EXPECT_EQ(Child<QTimeEdit>("startTime")->time(), QTime(8, 30, 0));
    EXPECT_EQ(panel.TimeBar()->GetPos(), 2);
}

TEST_F(TimeControlTest, StartEqualToEndIsRefused)
{
    SetPicker("startDate", "startTime", kEnd);
    panel.OnApplyStart();
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].text, kStartEndText);
    EXPECT_EQ(reporter.messages[0].caption, "提示信息");
    EXPECT_EQ(reporter.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(planStarts.empty());
    EXPECT_EQ(panel.GetBarMaximum(), 7200);
    EXPECT_EQ(panel.CurrentEpoch(), kStart);
}

TEST_F(TimeControlTest, EndEqualToStartIsRefused)
{
    SetPicker("endDate", "endTime", kStart);
    panel.OnApplyEnd();
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].text, kStartEndText);
    EXPECT_TRUE(planEnds.empty());
    EXPECT_EQ(panel.GetBarMaximum(), 7200);
}

TEST_F(TimeControlTest, ApplyStartStoresThePlanStartAndKeepsTheBarPosition)
{
    TickFromClockThread(600 * 1000);
    ProcessPosted();
    SetPicker("startDate", "startTime", kStart + 3600);
    panel.OnApplyStart();
    EXPECT_TRUE(reporter.messages.empty());
    ASSERT_EQ(planStarts.size(), 1u);
    EXPECT_EQ(planStarts[0], kStart + 3600);
    EXPECT_EQ(panel.GetStartTime(), kStart + 3600);
    EXPECT_EQ(panel.GetBarMaximum(), 3600);
    EXPECT_EQ(panel.GetBarPosition(), 600);
    EXPECT_EQ(panel.CurrentEpoch(), kStart + 3600 + 600);
    // Later ticks count from the new start.
    TickFromClockThread(601 * 1000);
    EXPECT_EQ(panel.CurrentEpoch(), kStart + 3600 + 601);
}

TEST_F(TimeControlTest, ApplyEndStoresThePlanEnd)
{
    SetPicker("endDate", "endTime", kEnd + 86400);  // the next day
    panel.OnApplyEnd();
    EXPECT_TRUE(reporter.messages.empty());
    ASSERT_EQ(planEnds.size(), 1u);
    EXPECT_EQ(planEnds[0], kEnd + 86400);
    EXPECT_EQ(panel.GetBarMaximum(), 7200 + 86400);
}

TEST_F(TimeControlTest, WithoutAPlanTheTimesOnlyChangeThePanel)
{
    planOpen = false;
    SetPicker("startDate", "startTime", kStart + 60);
    panel.OnApplyStart();
    SetPicker("endDate", "endTime", kEnd + 60);
    panel.OnApplyEnd();
    EXPECT_TRUE(planStarts.empty());
    EXPECT_TRUE(planEnds.empty());
    EXPECT_EQ(panel.GetBarMaximum(), 7200);
}

TEST_F(TimeControlTest, CurrentEqualToEndIsAcceptedOneSecondLaterIsNot)
{
    SetPicker("currentDate", "currentTime", kEnd);
    panel.OnApplyCurrent();
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_EQ(clock.GetTime(), 7200u * 1000);
    EXPECT_EQ(panel.GetBarPosition(), 7200);
    EXPECT_EQ(panel.RelativeText(), "相对时间:2小时0秒");
    ASSERT_EQ(recalcs.size(), 1u);
    EXPECT_EQ(recalcs[0].elapsed, 7200);
    EXPECT_EQ(recalcs[0].clockMs, 7200u * 1000);

    SetPicker("currentDate", "currentTime", kEnd + 1);
    panel.OnApplyCurrent();
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].text, kCurrentText);
    EXPECT_EQ(reporter.messages[0].caption, "提示信息");
    EXPECT_EQ(reporter.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(clock.GetTime(), 7200u * 1000);
    EXPECT_EQ(recalcs.size(), 1u);

    SetPicker("currentDate", "currentTime", kStart - 1);
    panel.OnApplyCurrent();
    EXPECT_EQ(reporter.messages.size(), 2u);
    EXPECT_EQ(clock.GetTime(), 7200u * 1000);
}

TEST_F(TimeControlTest, ButtonsRunTheirSteps)
{
    SetPicker("currentDate", "currentTime", kStart + 90);
    QTest::mouseClick(Child<QPushButton>("applyCurrent"), Qt::LeftButton);
    EXPECT_EQ(clock.GetTime(), 90u * 1000);
    SetPicker("endDate", "endTime", kStart);
    QTest::mouseClick(Child<QPushButton>("applyEnd"), Qt::LeftButton);
    SetPicker("startDate", "startTime", kEnd + 5);
    QTest::mouseClick(Child<QPushButton>("applyStart"), Qt::LeftButton);
    EXPECT_EQ(reporter.messages.size(), 2u);
}

TEST_F(TimeControlTest, ApplyCurrentDuringPlayReplaysWithTheClockHeld)
{
    clock.Resume();
    SetPicker("currentDate", "currentTime", kStart + 30);
    panel.OnApplyCurrent();
    ASSERT_EQ(recalcs.size(), 1u);
    EXPECT_FALSE(recalcs[0].clockRunning);
    EXPECT_EQ(recalcs[0].clockMs, 30u * 1000);
    EXPECT_TRUE(clock.IsRunning());
    clock.Stop();
}

TEST_F(TimeControlTest, DraggingDuringPlayPausesAndResumesFromTheNewPosition)
{
    clock.Resume();
    CTimeBarCtrl* bar = panel.TimeBar();
    const int y = 8;
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(bar->PixelOfPosition(0), y));
    EXPECT_TRUE(clock.IsRunning());  // no movement yet
    QTest::mouseMove(bar, QPoint(bar->width() / 2, y));
    EXPECT_FALSE(clock.IsRunning());
    EXPECT_TRUE(panel.IsDragging());
    EXPECT_EQ(panel.WasPlaying(), 1);
    const int target = bar->GetPos();
    EXPECT_GT(target, 3000);
    EXPECT_EQ(panel.GetBarPosition(), target);
    EXPECT_EQ(panel.CurrentEpoch(), kStart + target);
    EXPECT_EQ(panel.RelativeText(), QString::fromStdString("相对时间:" + FormatDuration(target)));

    // A tick handled late while dragging leaves the thumb alone.
    TickFromClockThread(5000);
    ProcessPosted();
    EXPECT_EQ(bar->GetPos(), target);

    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, y));
    ASSERT_EQ(recalcs.size(), 1u);
    EXPECT_FALSE(recalcs[0].clockRunning);
    EXPECT_EQ(recalcs[0].clockMs, uint32_t(target) * 1000);
    EXPECT_EQ(recalcs[0].elapsed, target);
    EXPECT_TRUE(clock.IsRunning());
    EXPECT_FALSE(panel.IsDragging());
    EXPECT_EQ(panel.WasPlaying(), CTimeControlDlg::kWasPlayingUnknown);
    EXPECT_GE(clock.GetTime(), uint32_t(target) * 1000);
    clock.Stop();
}

TEST_F(TimeControlTest, DraggingAPausedClockLeavesItPaused)
{
    CTimeBarCtrl* bar = panel.TimeBar();
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(100, 8));
    QTest::mouseMove(bar, QPoint(300, 8));
    EXPECT_EQ(panel.WasPlaying(), 0);
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(300, 8));
    EXPECT_FALSE(clock.IsRunning());
    ASSERT_EQ(recalcs.size(), 1u);
    EXPECT_EQ(clock.GetTime(), uint32_t(bar->GetPos()) * 1000);
    EXPECT_EQ(panel.CurrentDateTime(), kStart + bar->GetPos());
}

TEST_F(TimeControlTest, KeyStepsSeekToTheBarsNewPosition)
{
    clock.Resume();
    CTimeBarCtrl* bar = panel.TimeBar();
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_PageDown);
    ASSERT_EQ(recalcs.size(), 1u);
    EXPECT_FALSE(recalcs[0].clockRunning);
    EXPECT_EQ(recalcs[0].clockMs, 60u * 1000);
    EXPECT_EQ(recalcs[0].elapsed, 60);
    EXPECT_TRUE(clock.IsRunning());
    clock.Stop();
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(clock.GetTime(), 61u * 1000);
    EXPECT_EQ(panel.RelativeText(), "相对时间:1分1秒");
    EXPECT_EQ(Child<QTimeEdit>("currentTime")->time(), QTime(8, 1, 1));
    EXPECT_FALSE(clock.IsRunning());
}

TEST_F(TimeControlTest, RateText)
{
    EXPECT_EQ(Child<QLabel>("rateText")->text(), "播放速率: 正常速度");
    EXPECT_EQ(CTimeControlDlg::RateTextFor(8.0), "播放速率: 8.00倍速");
    EXPECT_EQ(CTimeControlDlg::RateTextFor(0.0625), "播放速率: 0.06倍速");
    EXPECT_EQ(CTimeControlDlg::RateTextFor(1.0), "播放速率: 正常速度");
    panel.SetRateText(CTimeControlDlg::RateTextFor(0.5));
    EXPECT_EQ(Child<QLabel>("rateText")->text(), "播放速率: 0.50倍速");
}

TEST_F(TimeControlTest, RowOfControlsFollowsThePanelSize)
{
    panel.resize(800, 70);
    EXPECT_EQ(panel.TimeBar()->geometry(), QRect(10, 12, 780, 16));
    EXPECT_EQ(Child<QDateEdit>("startDate")->geometry(), QRect(10, 45, 85, 20));
    EXPECT_EQ(Child<QTimeEdit>("startTime")->geometry(), QRect(100, 45, 85, 20));
    EXPECT_EQ(Child<QPushButton>("applyStart")->geometry(), QRect(190, 45, 30, 20));
    EXPECT_EQ(Child<QLabel>("rateText")->geometry(), QRect(240, 45, 150, 20));
    EXPECT_EQ(Child<QDateEdit>("currentDate")->geometry(), QRect(285, 45, 85, 20));
    EXPECT_EQ(Child<QTimeEdit>("currentTime")->geometry(), QRect(375, 45, 85, 20));
    EXPECT_EQ(Child<QPushButton>("applyCurrent")->geometry(), QRect(460, 45, 30, 20));
    EXPECT_EQ(Child<QLabel>("relativeText")->geometry(), QRect(510, 45, 150, 20));
    EXPECT_EQ(Child<QDateEdit>("endDate")->geometry(), QRect(590, 45, 85, 20));
    EXPECT_EQ(Child<QTimeEdit>("endTime")->geometry(), QRect(680, 45, 85, 20));
    EXPECT_EQ(Child<QPushButton>("applyEnd")->geometry(), QRect(765, 45, 30, 20));
}

TEST(TimeControlStart, LateEveningStartStillEndsTwoHoursLater)
{
    CClockService clock;
    RecordingReporter reporter;
    CTimeControlDlg panel(clock, &reporter);
    const std::time_t now = MakeLocalTime(2024, 5, 1, 23, 0, 0);
    panel.InitialiseTimes(now);
    EXPECT_EQ(panel.StartDateTime(), now);
    EXPECT_EQ(panel.CurrentDateTime(), now);
    EXPECT_EQ(panel.EndDateTime(), now + 7200);
    EXPECT_EQ(panel.GetBarMaximum(), 7200);
    EXPECT_EQ(panel.RelativeText(), "相对时间:0秒");
}

TEST(TimeControlStart, DestroyingThePanelDetachesItFromARunningClock)
{
    CClockService clock(5);
    {
        RecordingReporter reporter;
        CTimeControlDlg panel(clock, &reporter);
        ASSERT_TRUE(clock.AddReceiver(panel.ClockReceiver()));
        clock.Resume();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_FALSE(clock.IsRunning());
    const uint64_t ticks = clock.GetTickCount();
    clock.Start();  // ticks again with no receiver left behind
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    clock.Stop();
    EXPECT_GT(clock.GetTickCount(), ticks);
}

TEST_F(TimeControlTest, DigitsTypedAfterAClickEditTheSectionClicked)
{
    for (const char* name : {"startTime", "currentTime", "endTime"}) {
        auto* edit = Child<QTimeEdit>(name);
        edit->setTime(QTime(8, 0, 0));
        auto* line = edit->findChild<QLineEdit*>();
        ASSERT_NE(line, nullptr);
        edit->window()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(edit->window()));
        edit->setFocus();
        // "08:00:00" starts a couple of pixels in; the minutes are its 4th and
        // 5th characters, the seconds its 7th and 8th.
        const QFontMetrics fm(line->font());
        const int left = line->style()->subElementRect(QStyle::SE_LineEditContents, nullptr, line).left() + 2;
        const int y = line->height() / 2;
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(left + fm.horizontalAdvance("08:0"), y));
        QTest::keyClicks(edit, "45");
        EXPECT_EQ(edit->time(), QTime(8, 45, 0)) << name << " " << edit->time().toString().toStdString();
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(left + fm.horizontalAdvance("08:45:0"), y));
        QTest::keyClicks(edit, "30");
        EXPECT_EQ(edit->time(), QTime(8, 45, 30)) << name << " " << edit->time().toString().toStdString();
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(left + fm.horizontalAdvance("0"), y));
        QTest::keyClicks(edit, "9");
        EXPECT_EQ(edit->time(), QTime(9, 45, 30)) << name << " " << edit->time().toString().toStdString();
    }
}
