// Seeking in the main window, from states an operator reaches (played,
// paused mid-move, dragged while playing): the units, and the event list,
// are those of one uninterrupted play of the plan to that time.
#include "ShellTestSupport.h"

#include "engine/PlanFile.h"
#include "engine/PlayState.h"
#include "ui/EventListPanel.h"
#include "ui/TimeBarCtrl.h"
#include "ui/TimeControlDlg.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// The sample plan played by the model alone, as tarnwick-replay plays it.
struct Reference {
    CPlayState play;
    CEventRecorder events;
    std::unique_ptr<CPlan> plan;

    Reference(Shell& s)
    {
        PlanContext context = s.app->MakePlanContext();
        context.play = &play;
        plan = LoadPlan(SamplePlanPath(), context);
        play.SetEventSink(&events);
        play.SetCheckBeenHit(s.app->m_PlayState.GetCheckBeenHit());
        play.SetHitDistance(s.app->m_PlayState.GetHitDistance());
    }
    void PlayTo(uint32_t ms, uint32_t& next)
    {
        if (next <= ms)
            plan->PlayTicks(next, ms);
        next = ms + 200;
    }
};

void Deliver()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

void ExpectSameUnits(const CPlan& window, const CPlan& reference, const char* where)
{
    ASSERT_EQ(window.m_Layers.size(), reference.m_Layers.size());
    for (size_t l = 0; l < window.m_Layers.size(); ++l) {
        const CPlanLayer& a = *window.m_Layers[l];
        const CPlanLayer& b = *reference.m_Layers[l];
        ASSERT_EQ(a.GetUnitCount(), b.GetUnitCount()) << where;
        for (size_t i = 0; i < a.GetUnitCount(); ++i) {
            const CUnitCanLoad& u = *a.GetUnitAt(i);
            const CUnitCanLoad& v = *b.GetUnitAt(i);
            EXPECT_EQ(double(u.m_CurX), double(v.m_CurX)) << where << ": " << u.m_UnitName;
            EXPECT_EQ(double(u.m_CurY), double(v.m_CurY)) << where << ": " << u.m_UnitName;
            EXPECT_EQ(double(u.m_Angle), double(v.m_Angle)) << where << ": " << u.m_UnitName;
            EXPECT_EQ(u.m_Loaded, v.m_Loaded) << where << ": " << u.m_UnitName;
            EXPECT_EQ(u.m_Appeared, v.m_Appeared) << where << ": " << u.m_UnitName;
        }
    }
}

// The list shows the newest first, each event once.
void ExpectListShows(CEventListPanel& list, const std::vector<EventRecord>& events, const char* where)
{
    ASSERT_EQ(size_t(list.RowCount()), events.size()) << where;
    for (size_t i = 0; i < events.size(); ++i) {
        const EventRecord& e = events[events.size() - 1 - i];
        EXPECT_EQ(list.Text(int(i), 1).toStdString(), e.message) << where << ", row " << i;
        EXPECT_EQ(list.Text(int(i), 0).toStdString(), e.timeText) << where << ", row " << i;
    }
}

TEST(SeekInWindow, PlayedThenSeekedBackThenPlayedOnIsTheUninterruptedPlay)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    CClockService& clock = s.app->m_ClockService;
    CTimeControlDlg* panel = s.frame->TimePanel();
    Reference ref(s);
    ASSERT_TRUE(ref.plan);
    uint32_t refNext = 0;

    // Paused at 100 s with moves and strikes under way.
    while (clock.GetTime() <= 100000)
        clock.Tick();
    Deliver();

    ASSERT_TRUE(panel->SeekToOffset(50));
    Deliver();
    EXPECT_EQ(clock.GetTime(), 50200u);
    ref.PlayTo(50000, refNext);
    ExpectSameUnits(*s.app->GetPlan(), *ref.plan, "seeked back to 50 s");
    ExpectListShows(*s.frame->EventList(), ref.events.events, "seeked back to 50 s");

    // Forward past events the first play never reached, then on from there.
    ASSERT_TRUE(panel->SeekToOffset(130));
    while (clock.GetTime() <= 160000)
        clock.Tick();
    Deliver();
    ref.PlayTo(160000, refNext);
    ExpectSameUnits(*s.app->GetPlan(), *ref.plan, "seeked to 130 s, played to 160 s");
    ExpectListShows(*s.frame->EventList(), ref.events.events, "seeked to 130 s, played to 160 s");
    EXPECT_GT(ref.events.events.size(), 5u);
}

TEST(SeekInWindow, DraggingTheBarWhilePlayingPausesSeeksAndResumes)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    CClockService& clock = s.app->m_ClockService;
    CTimeBarCtrl* bar = s.frame->TimePanel()->TimeBar();
    s.app->m_ClockService.SetRate(8);
    s.frame->Action(CMainFrame::ID_PLAY)->trigger();
    QElapsedTimer waited;
    waited.start();
    while (clock.GetTime() < 30000 && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_GE(clock.GetTime(), 30000u);

    emit bar->thumbMoved(12);
    EXPECT_FALSE(clock.IsRunning()) << "the first movement pauses";
    emit bar->thumbMoved(10);
    emit bar->positionSet(10);
    EXPECT_TRUE(clock.IsRunning()) << "the release resumes";
    QThread::msleep(300);
    s.frame->Action(CMainFrame::ID_PAUSE)->trigger();
    Deliver();
    const uint32_t last = clock.GetTime() - 200;
    EXPECT_GE(last, 10000u);

    Reference ref(s);
    ref.play.SetHitDistance(s.app->m_PlayState.GetHitDistance());
    uint32_t refNext = 0;
    ref.PlayTo(last, refNext);
    ExpectSameUnits(*s.app->GetPlan(), *ref.plan, "dragged back to 10 s while playing");
    ExpectListShows(*s.frame->EventList(), ref.events.events, "dragged back to 10 s while playing");
}

// Switching to edit mode and back keeps the time; an edit made meanwhile is
// played from there on.
TEST(SeekInWindow, AnEditTakesEffectAtTheNextPlay)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    CClockService& clock = s.app->m_ClockService;
    while (clock.GetTime() <= 40000)
        clock.Tick();
    CPlan* plan = s.app->GetPlan();
    WGAction* move = nullptr;
    CUnitCanLoad* mover = nullptr;
    for (size_t i = 0; i < plan->GetFirstLayer()->GetUnitCount() && !move; ++i)
        for (const auto& a : plan->GetFirstLayer()->GetUnitAt(i)->m_Actions)
            if (a->m_ActionType == kActionMove && a->m_Running) {
                move = a.get();
                mover = plan->GetFirstLayer()->GetUnitAt(i);
                break;
            }
    ASSERT_NE(move, nullptr) << "a move under way at 40 s";
    const double speed = move->m_Speed;
    // As the action panel's "修改" does it: the step is recorded, then the field changed.
    ASSERT_TRUE(s.app->m_EditHistory.Record(*plan->GetFirstLayer(), "修改动作", mover->m_UnitNo));
    move->m_Speed = speed * 3;
    s.frame->Action(CMainFrame::ID_PLAY)->trigger();
    s.frame->Action(CMainFrame::ID_PAUSE)->trigger();

    Reference ref(s);
    for (size_t i = 0; i < ref.plan->GetFirstLayer()->GetUnitCount(); ++i)
        for (const auto& a : ref.plan->GetFirstLayer()->GetUnitAt(i)->m_Actions)
            if (a->m_ActionType == kActionMove && ref.plan->GetFirstLayer()->GetUnitAt(i)->m_UnitNo == mover->m_UnitNo &&
                a->m_ActionNo == move->m_ActionNo)
                a->m_Speed = speed * 3;
    uint32_t refNext = 0;
    ref.PlayTo(clock.GetTime() - 200, refNext);
    ExpectSameUnits(*plan, *ref.plan, "edited, then played");
}

}  // namespace
