// The main frame's commands on a real shell: rates, run/edit enabling, the
// plan life cycle around new/open/save/close, the hit alarm timer, the mouse
// panes and full screen.
#include "ShellTestSupport.h"

#include "engine/PlanFile.h"
#include "map/MapSource.h"
#include "ui/HitAlarmDlg.h"
#include "ui/TarnwickView.h"
#include "ui/TimeControlDlg.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

NewPlanValues BitmapPlan(const QString& name)
{
    NewPlanValues v;
    v.planName = name;
    v.bitmapFile = QString(TARNWICK_BIN_DIR) + "/DefaultMapImage/演习区域.bmp";
    v.widthKm = 40;
    v.heightKm = 30;
    v.start = 1700000000;
    v.end = 1700007200;
    return v;
}

}  // namespace

// ---- start-up -------------------------------------------------------------------

TEST(MainFrameStartup, StartsWithoutPlanEmptyTitleRateOne)
{
    Shell s;
    ASSERT_TRUE(s.started);
    EXPECT_EQ(s.app->GetPlan(), nullptr);
    EXPECT_TRUE(s.app->m_Doc.GetTitle().isEmpty());
    EXPECT_EQ(s.frame->windowTitle(), "Tarnwick");
    EXPECT_EQ(s.app->m_PlayRate, 1.0);
    EXPECT_EQ(s.app->m_EditMode, 0);
    // Copied from the program's SysConfig.cfg.
    EXPECT_EQ(s.app->m_DistWhenBeenHit, 50.0);
    EXPECT_EQ(s.app->m_CheckBeenHit, 1);
    EXPECT_EQ(s.frame->Dock(0)->windowTitle(), "时间栏");
    EXPECT_EQ(s.frame->Dock(1)->windowTitle(), "状态栏");
    EXPECT_EQ(s.frame->Dock(2)->windowTitle(), "设置栏");
    EXPECT_EQ(s.frame->Dock(3)->windowTitle(), "属性");
    ASSERT_EQ(s.frame->PropertyTabs()->count(), 3);
    EXPECT_EQ(s.frame->PropertyTabs()->tabText(1), "动作");
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneX), "X坐标");
}

TEST(MainFrameStartup, EveryToolbarButtonHasAPictureAndATip)
{
    Shell s;
    for (int i = 0; i < 5; ++i)
        for (QAction* a : s.frame->ToolBar(i)->actions()) {
            EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
            if (a->isEnabled())
                EXPECT_FALSE(a->toolTip().isEmpty()) << a->text().toStdString();
        }
}

TEST(MainFrameStartup, ControlToolbarShowsTheTwoCommandsWithoutHandlerDisabled)
{
    Shell s;
    // The table's seven buttons first; the plan check adds its own after them.
    const QList<QAction*> buttons = s.frame->ToolBar(1)->actions().mid(0, 7);
    const QList<QAction*> expected = {
        s.frame->Action(CMainFrame::ID_RUN_EDIT),   s.frame->Action(CMainFrame::ID_CONTROL_NO_HANDLER_1),
        s.frame->Action(CMainFrame::ID_PLAY),       s.frame->Action(CMainFrame::ID_PAUSE),
        s.frame->Action(CMainFrame::ID_SPEED_UP),   s.frame->Action(CMainFrame::ID_SPEED_DOWN),
        s.frame->Action(CMainFrame::ID_CONTROL_NO_HANDLER_2)};
    EXPECT_EQ(buttons, expected);
    // Opening a plan and switching modes re-evaluates every command; these stay off.
    ASSERT_TRUE(s.OpenSample());
    s.frame->OnRunEdit();
    s.frame->OnRunEdit();
    EXPECT_FALSE(buttons[1]->isEnabled());
    EXPECT_FALSE(buttons[6]->isEnabled());
    EXPECT_TRUE(buttons[2]->isEnabled());
}

// ---- rates ------------------------------------------------------------------------

TEST(MainFrameRate, SpeedUpStopsAtEight)
{
    Shell s;
    for (int i = 0; i < 3; ++i)
        s.frame->OnSpeedUp();
    EXPECT_EQ(s.app->m_PlayRate, 8.0);
    EXPECT_EQ(s.frame->TimePanel()->RateText(), "播放速率: 8.00倍速");
    EXPECT_EQ(s.app->m_ClockService.GetRate(), 8.0);
    s.frame->OnSpeedUp();
    EXPECT_EQ(s.app->m_PlayRate, 8.0);
}

TEST(MainFrameRate, SpeedDownStopsAtOneSixteenthAndOneIsNormal)
{
    Shell s;
    for (int i = 0; i < 4; ++i)
        s.frame->OnSpeedDown();
    EXPECT_EQ(s.app->m_PlayRate, 0.0625);
    EXPECT_EQ(s.frame->TimePanel()->RateText(), "播放速率: 0.06倍速");
    s.frame->OnSpeedDown();
    EXPECT_EQ(s.app->m_PlayRate, 0.0625);
    for (int i = 0; i < 4; ++i)
        s.frame->OnSpeedUp();
    EXPECT_EQ(s.app->m_PlayRate, 1.0);
    EXPECT_EQ(s.frame->TimePanel()->RateText(), "播放速率: 正常速度");
}

// ---- run and edit mode -------------------------------------------------------------

TEST(MainFrameMode, EditModeDisablesPlaybackCommands)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    const int playIds[] = {CMainFrame::ID_PLAY, CMainFrame::ID_PAUSE, CMainFrame::ID_SPEED_UP,
                           CMainFrame::ID_SPEED_DOWN};
    for (int id : playIds)
        EXPECT_TRUE(s.frame->Action(id)->isEnabled());
    s.frame->OnPlay();
    s.frame->OnRunEdit();
    EXPECT_EQ(s.app->m_EditMode, 1);
    EXPECT_FALSE(s.app->m_ClockService.IsRunning()) << "entering edit mode pauses";
    EXPECT_TRUE(s.frame->Action(CMainFrame::ID_RUN_EDIT)->isChecked());
    for (int id : playIds)
        EXPECT_FALSE(s.frame->Action(id)->isEnabled());
    s.frame->OnRunEdit();
    for (int id : playIds)
        EXPECT_TRUE(s.frame->Action(id)->isEnabled());
    EXPECT_FALSE(s.frame->Action(CMainFrame::ID_RUN_EDIT)->isChecked());
}

TEST(MainFrameMode, RunEditNeedsAPlan)
{
    Shell s;
    s.frame->OnRunEdit();
    EXPECT_EQ(s.app->m_EditMode, 0);
}

TEST(MainFrameMode, PlayComputesHitDistanceFromTheViewTopLeft)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.app->m_DistWhenBeenHit = 10;
    double x0 = 0, y0 = 0;
    s.app->GetMap()->ViewToMap(x0, y0, 0, 0);
    s.frame->OnPlay();
    EXPECT_TRUE(s.app->m_ClockService.IsRunning());
    EXPECT_DOUBLE_EQ(s.app->m_PlayState.GetHitDistance(), DegreesPerKm(y0) * 10 / 1000);
    s.frame->OnPause();
    EXPECT_FALSE(s.app->m_ClockService.IsRunning());
}

// ---- plan life cycle -----------------------------------------------------------------

TEST(MainFramePlan, OpenSetsTitleCaptionAndRegistersWithTheClock)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    EXPECT_EQ(s.app->m_Doc.GetTitle(), "演习示例");
    EXPECT_EQ(s.frame->windowTitle(), "Tarnwick - 演习示例");
    EXPECT_EQ(s.frame->TimePanel()->GetStartTime(), 1716163200);
    EXPECT_EQ(s.frame->TimePanel()->GetEndTime(), 1716163200 + 1800);
    // Registered: ticks move units.
    CUnitCanLoad* tank = s.app->GetPlan()->GetFirstLayer()->GetUnitByNo(1);
    ASSERT_NE(tank, nullptr);
    const double x = tank->m_CurX;
    for (int i = 0; i < 20; ++i)
        s.app->m_ClockService.Tick();
    EXPECT_GT(tank->m_CurX, x);
}

TEST(MainFramePlan, FailedOpenReportsAndLeavesNoPlan)
{
    Shell s;
    TestDir dir;
    const std::string bad = dir.write("bad.pln", "<?xml version=\"1.0\"?><plan></plan>");
    ASSERT_TRUE(s.OpenSample());
    s.openAnswer = QString::fromStdString(bad);
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.app->GetPlan(), nullptr);
    EXPECT_TRUE(Contains(s.reporter.Texts(), "加载预案失败"));
}

TEST(MainFramePlan, PlanWhoseOnlyLayerFailsIsNotOpened)
{
    Shell s;
    TestDir dir;
    const std::string path = dir.write(
        "nomap.pln", "<?xml version=\"1.0\"?><plan StartTime=\"1\" EndTime=\"2\"><Layer name=\"a\"><map name=\"m\" "
                     "source=\"no-such-map.bmp\" maptype=\"0\" WidthKm=\"1\" HeightKm=\"1\"/><unitlist/></Layer></plan>");
    EXPECT_FALSE(s.frame->OpenPlanFile(QString::fromStdString(path)));
    EXPECT_EQ(s.app->GetPlan(), nullptr);
    EXPECT_TRUE(Contains(s.reporter.Texts(), "加载预案失败"));
}

TEST(MainFramePlan, OpenWhilePlayingThenCancelLeavesNoPlan)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.frame->OnPlay();
    s.openAnswer.clear();
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.openAsked, 1);
    EXPECT_FALSE(s.app->m_ClockService.IsRunning());
    EXPECT_EQ(s.app->GetPlan(), nullptr);
}

TEST(MainFramePlan, OpenWhileStoppedThenCancelKeepsThePlan)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    CPlan* plan = s.app->GetPlan();
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.app->GetPlan(), plan);
}

TEST(MainFramePlan, NewPlanCancelledDropsThePreviousPlan)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.frame->OnPlay();
    s.newPlanAccept = false;
    s.frame->NewPlan();
    EXPECT_EQ(s.newPlanAsked, 1);
    EXPECT_EQ(s.app->GetPlan(), nullptr);
    EXPECT_FALSE(s.app->m_ClockService.IsRunning());
}

TEST(MainFramePlan, NewPlanBuildsOneLayerAndTakesItsTimes)
{
    Shell s;
    s.newPlanAccept = true;
    s.newPlanValues = BitmapPlan("沙盘推演");
    s.frame->NewPlan();
    CPlan* plan = s.app->GetPlan();
    ASSERT_NE(plan, nullptr);
    ASSERT_EQ(plan->m_Layers.size(), 1u);
    EXPECT_EQ(plan->m_StartTime, 1700000000);
    EXPECT_EQ(plan->m_EndTime, 1700007200);
    EXPECT_EQ(s.app->m_Doc.GetTitle(), "沙盘推演");
    EXPECT_EQ(s.frame->TimePanel()->GetEndTime(), 1700007200);
    // Registered: the clock refuses a second registration of the same plan? It
    // at least unregisters it, which only works for a registered receiver.
    EXPECT_TRUE(s.app->m_ClockService.RemoveReceiver(plan));
}

TEST(MainFramePlan, NewPlanWithMissingMapStaysUnregistered)
{
    Shell s;
    s.newPlanAccept = true;
    s.newPlanValues = BitmapPlan("无图");
    s.newPlanValues.bitmapFile = "/no/such/map.bmp";
    s.frame->NewPlan();
    ASSERT_NE(s.app->GetPlan(), nullptr);
    EXPECT_TRUE(s.app->GetPlan()->m_Layers.empty());
    EXPECT_TRUE(s.app->m_Doc.GetTitle().isEmpty());
    EXPECT_TRUE(Contains(s.reporter.Texts(), "图层加载地图失败"));
    // Commands that need a map do nothing rather than crash.
    s.frame->OnPan(50, 0);
    s.frame->OnPlay();
    s.frame->OnMousePosition(QPoint(10, 10));
    s.frame->View()->grab();
}

TEST(MainFramePlan, SaveAndReopenKeepsTheUnits)
{
    Shell s;
    TestDir dir;
    ASSERT_TRUE(s.OpenSample());
    const size_t units = s.app->GetPlan()->GetFirstLayer()->GetUnitCount();
    s.saveAnswer = QString::fromStdString(dir.file("copy.pln"));
    s.frame->OnSavePlan();
    EXPECT_TRUE(s.reporter.messages.empty());
    ASSERT_TRUE(s.frame->OpenPlanFile(s.saveAnswer));
    EXPECT_EQ(s.app->GetPlan()->GetFirstLayer()->GetUnitCount(), units);
}

TEST(MainFramePlan, SaveIntoMissingFolderShowsBothMessages)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.saveAnswer = "/no/such/folder/x.pln";
    s.frame->OnSavePlan();
    const std::vector<std::string> texts = s.reporter.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "保存预案失败!");
    EXPECT_EQ(texts[1], "保存预案失败");
}

TEST(MainFramePlan, DocumentSaveWithoutPlanAsksAndSaysNothing)
{
    Shell s;
    s.frame->OnFileSave();
    EXPECT_EQ(s.saveAsked, 0);
    EXPECT_TRUE(s.reporter.messages.empty());
}

TEST(MainFramePlan, DocumentSaveAsksOnceThenReusesThePath)
{
    Shell s;
    TestDir dir;
    ASSERT_TRUE(s.OpenSample());
    s.saveAnswer = QString::fromStdString(dir.file("doc.pln"));
    s.frame->OnFileSave();
    s.frame->OnFileSave();
    EXPECT_EQ(s.saveAsked, 1);
    EXPECT_TRUE(QFile::exists(s.saveAnswer));
}

// ---- closing ----------------------------------------------------------------------------

TEST(MainFrameClose, NoPlanAsksNothing)
{
    Shell s;
    EXPECT_TRUE(s.frame->QueryClose());
    EXPECT_TRUE(s.reporter.messages.empty());
}

TEST(MainFrameClose, CancelKeepsTheWindowAndThePlan)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.reporter.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(s.frame->QueryClose());
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "需要保存预案吗?");
    EXPECT_EQ(s.reporter.messages[0].caption, "提示");
    EXPECT_EQ(s.reporter.messages[0].buttons, MessageButtons::YesNoCancel);
    EXPECT_NE(s.app->GetPlan(), nullptr);
}

// Quitting without the file the operator asked for would lose the work.
TEST(MainFrameClose, YesThenCancelledChooserCancelsTheClose)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.reporter.answers = {MessageAnswer::Yes};
    s.saveAnswer.clear();
    EXPECT_FALSE(s.frame->QueryClose());
    EXPECT_EQ(s.saveAsked, 1);
    EXPECT_NE(s.app->GetPlan(), nullptr);

    // A save that fails keeps the program open too.
    s.reporter.answers = {MessageAnswer::Yes};
    s.saveAnswer = "/nonexistent-folder/x.pln";
    EXPECT_FALSE(s.frame->QueryClose());
    // Saved: the close goes on.
    TestDir dir;
    s.reporter.answers = {MessageAnswer::Yes};
    s.saveAnswer = QString::fromStdString(dir.file("saved.pln"));
    EXPECT_TRUE(s.frame->QueryClose());
    EXPECT_TRUE(QFileInfo::exists(s.saveAnswer));
}

TEST(MainFrameClose, YesSavesAndNoDoesNot)
{
    Shell s;
    TestDir dir;
    ASSERT_TRUE(s.OpenSample());
    s.reporter.answers = {MessageAnswer::Yes};
    s.saveAnswer = QString::fromStdString(dir.file("closing.pln"));
    EXPECT_TRUE(s.frame->QueryClose());
    EXPECT_TRUE(QFile::exists(s.saveAnswer));

    s.reporter.answers = {MessageAnswer::No};
    EXPECT_TRUE(s.frame->QueryClose());
    EXPECT_EQ(s.saveAsked, 1);
}

// ---- hit alarm timer ------------------------------------------------------------------------

TEST(MainFrameHitAlarm, WaitsForAFrameLargeEnoughThenSitsInItsCorner)
{
    Shell s;
    CHitAlarmDlg* alarm = s.frame->HitAlarm();
    s.frame->setGeometry(100, 80, 1200, 900);
    EXPECT_FALSE(s.frame->OnHitAlarmTimer()) << "no hits, no alarm";

    s.app->m_PlayState.HitList().Append({"蓝坦克一连[编号:11]", "红炮兵一营[编号: 3][火器: 榴弹炮]", 0.0, "08:00:03"});
    s.frame->setGeometry(100, 80, alarm->width() - 10, 900);
    EXPECT_FALSE(s.frame->OnHitAlarmTimer());
    EXPECT_FALSE(alarm->isVisible());

    s.frame->setGeometry(100, 80, 1200, 900);
    EXPECT_TRUE(s.frame->OnHitAlarmTimer());
    EXPECT_TRUE(alarm->isVisible());
    const QRect frame = s.frame->frameGeometry();
    const QRect dlg = alarm->frameGeometry();
    // The platform may add a pixel or two of window frame to either window.
    EXPECT_NEAR(dlg.right(), frame.right(), 3);
    EXPECT_NEAR(dlg.bottom(), frame.bottom(), 3);
    EXPECT_EQ(alarm->VictimText(), "蓝坦克一连[编号:11]");
    EXPECT_FALSE(s.frame->OnHitAlarmTimer()) << "already showing";
    alarm->OnAcknowledge();
    EXPECT_EQ(s.app->m_PlayState.HitList().Count(), 0u);
}

// ---- view and panes ---------------------------------------------------------------------------

TEST(MainFrameView, MouseWithoutPlanLeavesPanesAlone)
{
    Shell s;
    s.frame->OnMousePosition(QPoint(5, 5));
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneX), "X坐标");
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneZ), "Z坐标");
}

TEST(MainFrameView, MouseOverMapShowsMapPositionAndZoom)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.frame->OnMousePosition(QPoint(40, 30));
    double x = 0, y = 0;
    s.app->GetMap()->ViewToMap(x, y, 40, 30);
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneX), QString::asprintf("x: %f", x));
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneY), QString::asprintf("y: %f", y));
    EXPECT_TRUE(s.frame->PaneText(CMainFrame::PaneZ).startsWith("缩放比例: "));
    EXPECT_EQ(s.app->m_MouseX, x);
}

TEST(MainFrameView, NoPlanPaintsTheBlueBackground)
{
    Shell s;
    s.frame->View()->resize(800, 600);
    const QImage image = s.frame->View()->grab().toImage();
    EXPECT_EQ(image.pixel(2, 2), CTarnwickView::kNoPlanBackground);
}

TEST(MainFrameView, PlanViewShowsTheMapAndUnitNames)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    s.app->m_ClockService.Tick();  // units with AppearTime 0 appear
    s.app->m_ClockService.Tick();
    CPlanLayer* layer = s.app->GetPlan()->GetFirstLayer();
    int appeared = 0;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i)
        appeared += layer->GetUnitAt(i)->m_Appeared;
    ASSERT_GT(appeared, 5);
    // The whole 40 x 30 km map at zoom 1; maps are drawn at the view's size.
    s.frame->View()->resize(2000, 1500);
    s.frame->View()->ApplyViewSize();
    QImage image(2000, 1500, QImage::Format_RGB32);
    {
        QPainter painter(&image);
        s.frame->View()->Render(painter, image.size());
    }
    EXPECT_NE(image.pixel(2, 2), CTarnwickView::kNoPlanBackground);
    int nameColoured = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            nameColoured += image.pixel(x, y) == CTarnwickView::kUnitNameColour;
    EXPECT_GT(nameColoured, 20);
}

TEST(MainFrameView, RepaintRequestsFromAnotherThreadCollapse)
{
    Shell s;
    CTarnwickView* view = s.frame->View();
    s.frame->show();
    QApplication::processEvents();
    const int before = view->PaintCount();
    std::thread clock([view] {
        for (int i = 0; i < 500; ++i)
            view->RequestRepaint();
    });
    clock.join();
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_GE(view->PaintCount(), before + 1);
    EXPECT_LE(view->PaintCount(), before + 3);
}

// ---- panels and full screen ----------------------------------------------------------------

TEST(MainFramePanels, FullScreenKeepsTimeBarAndRestoresEveryPanel)
{
    Shell s;
    s.frame->show();
    s.frame->Dock(2)->hide();  // hidden before: full screen still shows it again when leaving
    s.frame->OnFullScreen();
    EXPECT_EQ(s.app->m_FullScreen, 1);
    EXPECT_TRUE(s.frame->Dock(0)->isVisible());
    EXPECT_TRUE(s.frame->ToolBar(1)->isVisible());
    for (int i : {1, 2, 3})
        EXPECT_FALSE(s.frame->Dock(i)->isVisible());
    EXPECT_FALSE(s.frame->statusBar()->isVisible());
    EXPECT_TRUE(s.frame->windowFlags() & Qt::FramelessWindowHint);
    s.frame->OnFullScreen();
    EXPECT_EQ(s.app->m_FullScreen, 0);
    for (int i : {1, 2, 3})
        EXPECT_TRUE(s.frame->Dock(i)->isVisible());
    EXPECT_TRUE(s.frame->statusBar()->isVisible());
    EXPECT_FALSE(s.frame->windowFlags() & Qt::FramelessWindowHint);
}

// Leaving full screen gives every dock its size and place back (the "属性"
// panel was squeezed to about 120 pixels before).
TEST(MainFramePanels, LeavingFullScreenRestoresEveryDocksSizeAndPlace)
{
    Shell s;
    s.frame->resize(1400, 900);
    s.frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(s.frame));
    s.frame->resizeDocks({s.frame->Dock(3)}, {330}, Qt::Horizontal);
    s.frame->resizeDocks({s.frame->Dock(1)}, {170}, Qt::Vertical);
    QCoreApplication::processEvents();
    QSize before[4];
    Qt::DockWidgetArea areas[4];
    for (int i = 0; i < 4; ++i) {
        before[i] = s.frame->Dock(i)->size();
        areas[i] = s.frame->dockWidgetArea(s.frame->Dock(i));
    }
    ASSERT_GT(before[3].width(), 250);
    for (int round = 0; round < 2; ++round) {
        s.frame->OnFullScreen();
        QTest::qWait(50);
        s.frame->OnFullScreen();
        QTest::qWait(50);
        s.frame->resize(1400, 900);
        QTest::qWait(50);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(s.frame->dockWidgetArea(s.frame->Dock(i)), areas[i]) << "dock " << i;
            EXPECT_TRUE(s.frame->Dock(i)->isVisible()) << "dock " << i;
        }
        EXPECT_NEAR(s.frame->Dock(3)->width(), before[3].width(), 4) << "round " << round;
        EXPECT_NEAR(s.frame->Dock(1)->height(), before[1].height(), 4) << "round " << round;
    }
}

TEST(MainFramePanels, PanelCommandsToggleAndTick)
{
    Shell s;
    s.frame->show();
    QAction* time = s.frame->Action(CMainFrame::ID_VIEW_TIME_PANEL);
    EXPECT_TRUE(time->isChecked());
    time->trigger();
    EXPECT_FALSE(s.frame->Dock(0)->isVisible());
    EXPECT_FALSE(time->isChecked());
    s.frame->Action(CMainFrame::ID_VIEW_TOOLBARS)->trigger();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(s.frame->ToolBar(i)->isVisible());
    EXPECT_FALSE(s.frame->Action(CMainFrame::ID_VIEW_TOOLBARS)->isChecked());
}

TEST(MainFramePanels, SysParamsWhilePlayingAsksToPause)
{
    Shell s;
    int opened = 0;
    s.frame->GetDialogs().sysParams = [&opened] { ++opened; };
    ASSERT_TRUE(s.OpenSample());
    s.frame->OnPlay();
    s.frame->OnSysParams();
    EXPECT_EQ(opened, 0);
    EXPECT_TRUE(Contains(s.reporter.Texts(), "配置系统参数前请先暂停预案的推演!"));
    s.frame->OnPause();
    s.frame->OnSysParams();
    EXPECT_EQ(opened, 1);
}

// New and Open never throw away an edited plan without asking.
TEST(MainFrameQuestions, NewAndOpenAskBeforeReplacingAChangedPlan)
{
    Shell s;
    ASSERT_TRUE(s.OpenSample());
    CPlan* plan = s.app->GetPlan();
    s.reporter.messages.clear();
    // Unchanged: nothing to ask.
    s.openAnswer.clear();
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.openAsked, 1);
    EXPECT_TRUE(s.reporter.messages.empty());
    ASSERT_TRUE(s.OpenSample());
    plan = s.app->GetPlan();
    s.openAsked = 0;

    s.app->m_Doc.SetModifiedFlag(true);
    s.reporter.answers = {MessageAnswer::Cancel};
    s.frame->NewPlan();
    EXPECT_EQ(s.newPlanAsked, 0);
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "需要保存预案吗?");
    EXPECT_EQ(s.reporter.messages[0].buttons, MessageButtons::YesNoCancel);
    s.reporter.answers = {MessageAnswer::Cancel};
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.openAsked, 0);
    // Yes, then the chooser cancelled: still nothing replaced.
    s.reporter.answers = {MessageAnswer::Yes};
    s.saveAnswer.clear();
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.saveAsked, 1);
    EXPECT_EQ(s.openAsked, 0);
    EXPECT_EQ(s.app->GetPlan(), plan);
    EXPECT_TRUE(s.app->m_Doc.IsModified());

    // Yes and saved: the new plan's dialog comes.
    TestDir dir;
    s.reporter.answers = {MessageAnswer::Yes};
    s.saveAnswer = QString::fromStdString(dir.file("kept.pln"));
    s.newPlanAccept = false;
    s.frame->NewPlan();
    EXPECT_TRUE(QFileInfo::exists(s.saveAnswer));
    EXPECT_EQ(s.newPlanAsked, 1);
    // No: replaced without saving.
    ASSERT_TRUE(s.OpenSample());
    s.app->m_Doc.SetModifiedFlag(true);
    s.reporter.answers = {MessageAnswer::No};
    s.openAnswer.clear();
    s.frame->OnOpenPlan();
    EXPECT_EQ(s.openAsked, 1);
}

// The view and the title always show the current plan, or the logo and the bare name.
TEST(MainFrameView, AFailedNewPlanOrAClosedPlanShowsTheLogoAndTheBareTitle)
{
    Shell s;
    s.frame->View()->resize(400, 300);
    auto picture = [&] {
        QImage image(400, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        s.frame->View()->Render(painter, image.size());
        return image;
    };
    const QImage logo = picture();
    ASSERT_TRUE(s.OpenSample());
    s.frame->View()->resize(400, 300);
    s.frame->View()->ApplyViewSize();
    const QImage sample = picture();
    EXPECT_NE(sample, logo);
    EXPECT_NE(s.frame->windowTitle(), "Tarnwick");

    s.newPlanValues.planName = "坏";
    s.newPlanValues.bitmapFile = "/nonexistent/map.bmp";
    s.newPlanValues.widthKm = 10;
    s.newPlanValues.heightKm = 10;
    s.newPlanValues.start = 1700000000;
    s.newPlanValues.end = 1700003600;
    s.newPlanAccept = true;
    s.reporter.answers = {MessageAnswer::No};
    s.frame->NewPlan();
    EXPECT_EQ(picture(), logo) << "no stale map or units";
    EXPECT_EQ(s.frame->windowTitle(), "Tarnwick");

    ASSERT_TRUE(s.OpenSample());
    s.app->ClosePlan();
    EXPECT_EQ(picture(), logo);
    EXPECT_EQ(s.frame->windowTitle(), "Tarnwick");
}

// F1 always shows the guide: in the desktop's browser, else in a window of the program's own.
TEST(MainFrameHelp, TheGuideOpensInItsOwnWindowWithoutABrowser)
{
    Shell s;
    QString asked;
    s.frame->GetDialogs().openInBrowser = [&](const QString& path) {
        asked = path;
        return false;
    };
    s.frame->Action(CMainFrame::ID_HELP_GUIDE)->trigger();
    EXPECT_TRUE(asked.endsWith("操作指南.html"));
    auto* help = s.frame->findChild<QTextBrowser*>("helpWindow");
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->toPlainText().contains("Tarnwick") || help->toPlainText().contains("预案"))
        << help->toPlainText().left(200).toStdString();

    // With a browser, no window of our own.
    help->hide();
    s.frame->GetDialogs().openInBrowser = [](const QString&) { return true; };
    s.frame->Action(CMainFrame::ID_HELP_GUIDE)->trigger();
    EXPECT_FALSE(help->isVisible());
}

// The specified message stays; the reason the program knows comes with it.
TEST(MainFrameErrors, PlanFileErrorsSayWhichFileAndWhy)
{
    Shell s;
    TestDir dir;
    const std::string broken = dir.write("坏.pln", "<?xml version=\"1.0\"?><plan StartTime=\"1\"><Layer name=");
    EXPECT_FALSE(s.frame->OpenPlanFile(QString::fromStdString(broken)));
    ASSERT_EQ(s.reporter.messages.size(), 1u);
    EXPECT_EQ(s.reporter.messages[0].text, "加载预案失败");
    EXPECT_EQ(s.reporter.messages[0].caption, "错误");
    EXPECT_NE(s.reporter.messages[0].detail.find("坏.pln"), std::string::npos);
    EXPECT_NE(s.reporter.messages[0].detail.find("原因: "), std::string::npos) << s.reporter.messages[0].detail;
    // The reader's own reason, in the program's language, with the place it stopped.
    EXPECT_NE(s.reporter.messages[0].detail.find("属性值没有引号(位于第 53 字节)"), std::string::npos)
        << s.reporter.messages[0].detail;

    ASSERT_TRUE(s.OpenSample());
    s.reporter.messages.clear();
    s.saveAnswer = "/nonexistent-folder/计划.pln";
    EXPECT_FALSE(s.frame->SavePlanAs());
    ASSERT_GE(s.reporter.messages.size(), 1u);
    const ReportedMessage& failed = s.reporter.messages.back();
    EXPECT_EQ(failed.text, "保存预案失败") << s.reporter.messages[0].text;
    EXPECT_NE(failed.detail.find("计划.pln"), std::string::npos) << failed.detail;
    EXPECT_NE(failed.detail.find("原因: "), std::string::npos) << failed.detail;
    EXPECT_NE(failed.detail.find("文件或文件夹不存在"), std::string::npos) << failed.detail;
}

TEST(MainFrameSmallPoints, PromptsGisOnlyCommandsPrintingAndTheStatusPanes)
{
    Shell s;
    QAction* runEdit = s.frame->Action(CMainFrame::ID_RUN_EDIT);
    EXPECT_EQ(runEdit->statusTip(), "运行状态");
    EXPECT_EQ(runEdit->toolTip(), "编辑状态");

    int printed = 0;
    s.frame->GetDialogs().print = [&] { ++printed; };
    s.frame->OnPrint();
    EXPECT_EQ(printed, 0) << "nothing to print without a plan";

    ASSERT_TRUE(s.OpenSample());
    s.frame->OnPrint();
    EXPECT_EQ(printed, 1);
    s.frame->OnOverview();
    EXPECT_TRUE(s.frame->statusBar()->currentMessage().contains("需要GIS地图"));
    s.frame->statusBar()->clearMessage();
    s.frame->OnMapControlPanel();
    EXPECT_TRUE(s.frame->statusBar()->currentMessage().contains("需要GIS地图"));

    // The "正文" pane shows the last event; the time panes follow the plan.
    s.app->m_PlayState.EventSink().OnEvent({"08:00:01", "甲开始移动", 0});
    QCoreApplication::processEvents();
    EXPECT_EQ(s.frame->PaneText(CMainFrame::PaneMessage), "甲开始移动");
    s.app->m_ClockService.SetTime(3725000);
    s.frame->UpdatePlayPanes();
    EXPECT_TRUE(s.frame->PaneText(CMainFrame::PanePlayTime).startsWith("1:02:05")) << s.frame->PaneText(CMainFrame::PanePlayTime).toStdString();
}

TEST(MainFrameGis, WholeMapCommandHintAndMovesFromMapWindowsRepaintTheView)
{
    Shell s;
    s.newPlanAccept = true;
    s.newPlanValues.planName = "世界";
    s.newPlanValues.useGis = 1;
    s.newPlanValues.gisSource = QString(TARNWICK_SOURCE_DIR) + "/samples/gis/world/world.gst";
    s.newPlanValues.start = 1700000000;
    s.newPlanValues.end = 1700007200;
    s.frame->NewPlan();
    CMapLoader* map = s.app->GetMap();
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->GetMapType(), 1);
    // The first GIS plan tells how to see the whole map, which opens 1 km wide.
    EXPECT_TRUE(s.frame->statusBar()->currentMessage().contains("全图显示"));
    EXPECT_NEAR(map->GetZoom(), 1.0, 1e-9);

    QAction* whole = s.frame->Action(CMainFrame::ID_FULL_EXTENT);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->text(), "全图显示");
    EXPECT_FALSE(whole->icon().isNull());
    whole->trigger();
    const double full = map->GetZoom();
    EXPECT_GT(full, 10000.0);
    // The zoom pane is wide enough for what it shows.
    const QString zoomText = s.frame->PaneText(CMainFrame::PaneZ);
    EXPECT_TRUE(zoomText.startsWith("缩放比例: "));
    QLabel* pane = nullptr;
    for (QLabel* l : s.frame->statusBar()->findChildren<QLabel*>())
        if (l->text() == zoomText)
            pane = l;
    ASSERT_NE(pane, nullptr);
    EXPECT_GE(pane->width(), pane->fontMetrics().horizontalAdvance(zoomText));

    // A click in the overview moves the map: the view repaints and the pane follows.
    map->ZoomIn();
    map->ZoomIn();
    s.frame->OnOverview();
    QWidget* overviewControl = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle().startsWith("鹰眼窗口"))
            overviewControl = w->findChild<QWidget*>("OrlanGISCtrl");
    ASSERT_NE(overviewControl, nullptr);
    const QString paneBefore = s.frame->PaneText(CMainFrame::PaneZ);
    const QImage before = s.frame->View()->grab().toImage();
    QTest::mouseClick(overviewControl, Qt::LeftButton, {}, QPoint(overviewControl->width() / 3, overviewControl->height() / 2));
    EXPECT_NE(s.frame->PaneText(CMainFrame::PaneZ), paneBefore);
    EXPECT_NE(s.frame->View()->grab().toImage(), before);
    map->ShowOverviewWindow(0);
}
