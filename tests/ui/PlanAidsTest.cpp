// The plan check and the timeline in the main window: the command and its
// panel, the check before play and its switch, a click in the timeline that
// seeks exactly, a dragged bar that is an undoable edit.
#include "ShellTestSupport.h"

#include "engine/EditHistory.h"
#include "support/TestPlanParts.h"
#include "engine/PlanCopy.h"
#include "engine/PlanFile.h"
#include "engine/PlayState.h"
#include "engine/WGAction.h"
#include "ui/PlanAids.h"
#include "ui/TimeControlDlg.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/DialogExpandProperty.h"
#include "ui/panels/PlanCheckPanel.h"
#include "ui/panels/TimelineChart.h"
#include "ui/panels/TimelinePanel.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

void Deliver()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

// A plan with a carrier that moves, loads and unloads, and a gun that strikes.
CPlanLayer* SmallPlan(Shell& s)
{
    CPlanLayer* layer = s.NewEditablePlan("时间线");
    if (!layer)
        return nullptr;
    CUnitCanLoad* truck = s.AddUnitAt(1, QPoint(200, 200), 0, "01.01");
    CUnitCanLoad* gun = s.AddUnitAt(2, QPoint(400, 300), 0, "02-02.01");
    WGAction* move = AddTestAction(*truck, kActionMove, 10, {{truck->m_InitX, truck->m_InitY, 0},
                                                            {truck->m_InitX + 1, truck->m_InitY, 0}});
    move->m_Speed = 60;
    AddTestAction(*gun, kActionTurn, 30)->m_Angle = 45;
    return layer;
}

std::string PlanText(const CPlanLayer& layer)
{
    std::string text;
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        const CUnitCanLoad& u = *layer.GetUnitAt(i);
        text += u.m_UnitName + ":";
        for (const auto& a : u.m_Actions)
            text += " " + std::to_string(a->m_ActionType) + "@" + std::to_string(a->m_ActionTime);
        text += "\n";
    }
    return text;
}

QAction* FindAction(QWidget* container, const QString& text)
{
    for (QAction* a : container->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

QMenu* Menu(CMainFrame& frame, const char* title)
{
    for (QAction* a : frame.menuBar()->actions())
        if (a->menu() && a->text() == QString::fromUtf8(title))
            return a->menu();
    return nullptr;
}

TEST(PlanAids, CommandIsOfferedAndTheSamplePlanHasNoFinding)
{
    Shell s;
    ASSERT_TRUE(s.started);
    CPlanAids* aids = s.frame->PlanAids();
    ASSERT_TRUE(aids);
    ASSERT_TRUE(Menu(*s.frame, "推演(&R)"));
    EXPECT_TRUE(FindAction(Menu(*s.frame, "推演(&R)"), "检查预案(&K)"));
    EXPECT_TRUE(s.frame->ToolBar(1)->actions().contains(aids->CheckAction()));
    EXPECT_EQ(aids->CheckDock()->windowTitle(), "预案检查");
    EXPECT_EQ(aids->TimelineDock()->windowTitle(), "时间线");

    ASSERT_TRUE(s.OpenSample());
    aids->OnCheckPlan();
    std::string listed;
    for (const PlanFinding& f : aids->CheckPanel()->Findings())
        listed += FindingLine(f) + "\n";
    EXPECT_EQ(listed, "");
    EXPECT_EQ(aids->CheckPanel()->Summary()->text(), "未发现问题");

    // The timeline shows every unit of the first layer.
    aids->WaitForTimeline();
    ASSERT_TRUE(aids->CurrentTimeline());
    EXPECT_EQ(aids->CurrentTimeline()->rows.size(), s.app->GetPlan()->GetFirstLayer()->GetUnitCount());
    // An unchanged plan is not played again (its own play and seeks change nothing of it).
    const std::shared_ptr<const PlanTimeline> shown = aids->CurrentTimeline();
    s.frame->SeekPlan(60000);
    QTest::qWait(300);
    aids->WaitForTimeline();
    EXPECT_EQ(aids->CurrentTimeline(), shown);
}

TEST(PlanAids, AClickInTheTimelineSeeksExactly)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    CPlanAids* aids = s.frame->PlanAids();
    aids->WaitForTimeline();
    CTimelineChart* chart = aids->TimelinePanel()->Chart();
    chart->resize(1200, 400);
    chart->FitAll();
    ASSERT_TRUE(chart->Timeline());

    for (const int64_t target : {73000, 12000, 260000}) {
        const int x = chart->XOfMs(double(target));
        const int64_t tick = chart->TickAtX(x);
        EXPECT_EQ(tick % 1000, 0);
        QTest::mouseClick(chart, Qt::LeftButton, {}, QPoint(x, CTimelineChart::kAxisHeight + 30));
        Deliver();
        EXPECT_EQ(s.app->m_ClockService.GetTime(), uint32_t(tick + 200)) << target;

        // The plan on screen is what an uninterrupted play to that tick leaves.
        CPlayState play;
        play.SetCheckBeenHit(s.app->m_PlayState.GetCheckBeenHit());
        play.SetHitDistance(s.app->m_PlayState.GetHitDistance());
        PlanContext context = s.app->MakePlanContext();
        context.play = &play;
        std::unique_ptr<CPlan> ref = LoadPlan(SamplePlanPath(), context);
        ASSERT_TRUE(ref);
        ref->PlayTicks(0, uint32_t(tick));
        const CPlanLayer& a = *s.app->GetPlan()->GetFirstLayer();
        const CPlanLayer& b = *ref->GetFirstLayer();
        ASSERT_EQ(a.GetUnitCount(), b.GetUnitCount());
        for (size_t i = 0; i < a.GetUnitCount(); ++i) {
            EXPECT_EQ(double(a.GetUnitAt(i)->m_CurX), double(b.GetUnitAt(i)->m_CurX)) << target;
            EXPECT_EQ(double(a.GetUnitAt(i)->m_CurY), double(b.GetUnitAt(i)->m_CurY)) << target;
            EXPECT_EQ(a.GetUnitAt(i)->m_Loaded, b.GetUnitAt(i)->m_Loaded) << target;
        }
        EXPECT_EQ(chart->CurrentMs(), tick);
    }
}

TEST(PlanAids, DraggingABarIsAnEditThatUndoesExactly)
{
    Shell s;
    CPlanLayer* layer = SmallPlan(s);
    ASSERT_TRUE(layer);
    CPlanAids* aids = s.frame->PlanAids();
    aids->WaitForTimeline();
    CTimelineChart* chart = aids->TimelinePanel()->Chart();
    chart->resize(1000, 300);
    chart->SetView(0, 100);  // 10 pixels a second
    const std::string before = PlanText(*layer);

    const TimelineBar* bar = aids->CurrentTimeline()->FindBar(0, 0, 0);
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->startMs, 10000u);
    const int y = chart->RowTop(0) + CTimelineChart::kRowHeight / 2;
    const int x = chart->XOfMs(bar->startMs + 500.0);
    QTest::mousePress(chart, Qt::LeftButton, {}, QPoint(x, y));
    QMouseEvent move(QEvent::MouseMove, QPointF(x + 150, y), chart->mapToGlobal(QPointF(x + 150, y)), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(chart, &move);
    QTest::mouseRelease(chart, Qt::LeftButton, {}, QPoint(x + 150, y));
    Deliver();
    EXPECT_EQ(layer->GetUnitAt(0)->m_Actions[0]->m_ActionTime, 25);
    EXPECT_EQ(s.frame->UndoRedo()->UndoAction()->text(), "撤销 修改动作时间");
    aids->WaitForTimeline();
    EXPECT_EQ(aids->CurrentTimeline()->FindBar(0, 0, 0)->startMs, 25000u);

    ASSERT_TRUE(s.frame->UndoRedo()->OnUndo());
    EXPECT_EQ(PlanText(*layer), before);
    ASSERT_TRUE(s.frame->UndoRedo()->OnRedo());
    EXPECT_EQ(layer->GetUnitAt(0)->m_Actions[0]->m_ActionTime, 25);
    ASSERT_TRUE(s.frame->UndoRedo()->OnUndo());
    EXPECT_EQ(PlanText(*layer), before);

    // While the clock runs the edit is refused and says why.
    s.app->m_ClockService.Resume();
    EXPECT_FALSE(aids->MoveActionTime(0, 0, 5));
    EXPECT_EQ(s.frame->statusBar()->currentMessage(), CPlanAids::kDragWhileRunning);
    s.app->m_ClockService.Stop();
    EXPECT_EQ(PlanText(*layer), before);
}

TEST(PlanAids, AFindingShowsItsUnitAndActionAndTheCheckRunsBeforeAChangedPlanPlays)
{
    Shell s;
    CPlanLayer* layer = SmallPlan(s);
    ASSERT_TRUE(layer);
    CUnitCanLoad* gun = layer->GetUnitAt(1);
    AddTestAction(*gun, kActionStrike, 40)->m_BulletType = "没有这种武器";  // no target either
    CPlanAids* aids = s.frame->PlanAids();
    ASSERT_TRUE(CPlanAids::CheckBeforePlayEnabled(*s.app));

    s.app->m_EditMode = 0;
    s.frame->OnPlay();
    s.app->m_ClockService.Stop();
    const std::vector<PlanFinding> findings = aids->CheckPanel()->Findings();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].kind, FindingKind::UnknownWeapon);
    EXPECT_EQ(findings[1].kind, FindingKind::StrikeWithoutTarget);
    EXPECT_FALSE(aids->CheckDock()->isHidden());

    // Double-click: the unit alone selected, its action chosen in "动作", the view centred on it.
    QTreeWidget* list = aids->CheckPanel()->List();
    emit list->itemActivated(list->topLevelItem(0), 0);
    Deliver();
    EXPECT_EQ(gun->m_Selected, 1);
    EXPECT_EQ(layer->GetUnitAt(0)->m_Selected, 0);
    EXPECT_EQ(s.frame->PropertyTabs()->currentWidget(), s.frame->ActionPanel());
    EXPECT_EQ(s.frame->ActionPanel()->UnitNo(), 2);
    EXPECT_EQ(s.frame->ActionPanel()->ActionList()->currentItem(), s.frame->ActionPanel()->ActionList()->topLevelItem(1));
    int px = 0, py = 0;
    s.app->GetMap()->MapToView(gun->m_CurX, gun->m_CurY, px, py);
    EXPECT_NEAR(px, s.app->GetMap()->GetViewWidth() / 2, 2);
    EXPECT_NEAR(py, s.app->GetMap()->GetViewHeight() / 2, 2);

    // Switched off, a changed plan plays without a check.
    aids->CheckPanel()->ShowFindings({});
    CPlanAids::SetCheckBeforePlay(*s.app, false);
    EXPECT_FALSE(CPlanAids::CheckBeforePlayEnabled(*s.app));
    CUndoRedoCommands::RecordEdit(*s.app, "修改动作", 2);
    gun->m_Actions.back()->m_HitTime = 0;
    aids->CheckDock()->hide();
    s.frame->OnPlay();
    s.app->m_ClockService.Stop();
    EXPECT_TRUE(aids->CheckDock()->isHidden());
}

}  // namespace
