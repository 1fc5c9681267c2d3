// The main frame's playback commands: play, pause, rate, run/edit mode, seeking.
#include "ui/MainWindow.h"
#include "ui/MainWindowSettings.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "app/ApplicationWindow.h"
#include "app/TarnwickApp.h"
#include "engine/Units.h"
#include "map/MapSource.h"
#include "ui/EventListPanel.h"
#include "ui/HitAlarmDlg.h"
#include "ui/OperatorTools.h"
#include "ui/PlanAids.h"
#include "ui/NewPlanDlg.h"
#include "ui/QueuedEventSink.h"
#include "ui/TarnwickView.h"
#include "ui/TimeControlDlg.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/DialogCustomProperty.h"
#include "ui/panels/DialogExpandProperty.h"
#include "ui/panels/DialogUnitCombination.h"
#include "ui/catalog/SysParamDlg.h"
#include "ui/catalog/UnitCatalogPanel.h"
#include "ui/ToolIcons.h"

#include <QAction>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTimerEvent>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>


using mainframe::kPlanFilter;
using mainframe::kRecentFiles;
using mainframe::Settings;

// ---- playback commands ------------------------------------------------------------

void CMainFrame::OnPlay()
{
    CPlan* plan = m_app.GetPlan();
    CMapLoader* map = m_app.GetMap();
    if (!plan)
        return;
    // Edits since the last seek (a speed, a route, a time) take effect now:
    // the state at the current time is computed again from the edited plan.
    if (!PlanRunning() && m_app.m_EditHistory.ChangeCount() != m_seekedAtChange)
        SeekPlan(LastTickMs());
    // Playback's per-unit shortcuts are taken again from what the plan holds
    // now, whatever was changed while the clock stood.
    CUnitCanLoad::ActionsEdited();
    if (m_planAids && !PlanRunning())
        m_planAids->BeforePlay();
    // The distance is in place before the first tick can check hits.
    double x0 = 0, y0 = 0;
    if (map)
        map->ViewToMap(x0, y0, 0, 0);
    const int mapType = map ? map->GetMapType() : 1;
    m_app.m_PlayState.SetHitDistance(MapUnitsPerKm(mapType, m_app.m_PlayState.BitmapRealKm(), y0) *
                                     m_app.m_DistWhenBeenHit / 1000);
    m_app.m_ClockService.Resume();
}

void CMainFrame::OnPause()
{
    if (m_app.GetPlan())
        m_app.m_ClockService.Stop();
    if (m_undoRedo)
        m_undoRedo->UpdateActions();
}

void CMainFrame::OnSpeedUp()
{
    m_app.m_PlayRate = CTarnwickApp::SpeedUp(m_app.m_PlayRate);
    m_app.m_ClockService.SetRate(m_app.m_PlayRate);
    m_timePanel->SetRateText(CTimeControlDlg::RateTextFor(m_app.m_PlayRate));
}

void CMainFrame::OnSpeedDown()
{
    m_app.m_PlayRate = CTarnwickApp::SpeedDown(m_app.m_PlayRate);
    m_app.m_ClockService.SetRate(m_app.m_PlayRate);
    m_timePanel->SetRateText(CTimeControlDlg::RateTextFor(m_app.m_PlayRate));
}

void CMainFrame::OnRunEdit()
{
    CPlan* plan = m_app.GetPlan();
    if (plan) {
        m_app.m_EditMode = 1 - m_app.m_EditMode;
        if (m_app.m_EditMode != 0 && m_editModeOffer)
            m_editModeOffer->hide();
        OnPause();
        // Both modes show the plan at the current time; edits made in edit
        // mode are played from there on.
        SeekPlan(LastTickMs());
    }
    UpdateCommandUI();
}

void CMainFrame::OnShowAllPlans()
{
    m_view->SetShowAllPlans(!m_view->ShowAllPlans());
    UpdateCommandUI();
}

void CMainFrame::OfferEditMode()
{
    if (m_app.m_EditMode != 0)
        return;
    statusBar()->showMessage(QStringLiteral("放置单位需要编辑状态: 单击右侧按钮或\"运行状态\"命令切换"), 10000);
    m_editModeOffer->show();
}

void CMainFrame::OnShowRoutes()
{
    m_app.m_ShowRoutes = !m_app.m_ShowRoutes;
    m_view->update();
    UpdateCommandUI();
}

void CMainFrame::OnFullScreen()
{
    if (!m_app.m_FullScreen) {
        // Every dock's size, place and visibility, given back on the way out.
        m_layoutBeforeFullScreen = saveState();
        statusBar()->hide();
        for (int i : {1, 2, 3})
            m_docks[i]->hide();
        m_propertyTabs->hide();
        setWindowFlag(Qt::FramelessWindowHint, true);
        showNormal();
        showMaximized();
    } else {
        setWindowFlag(Qt::FramelessWindowHint, false);
        showNormal();
        statusBar()->show();
        showMaximized();
        // The docks' sizes and places as before, and every panel shown.
        const auto restore = [this, layout = m_layoutBeforeFullScreen] {
            restoreState(layout);
            for (int i : {1, 2, 3})
                m_docks[i]->show();
            m_propertyTabs->show();
        };
        restore();
        // Once more when the window has its size again (the window manager may resize it later).
        QTimer::singleShot(0, this, [this, restore] {
            if (!m_app.m_FullScreen)
                restore();
        });
    }
    m_app.m_FullScreen = !m_app.m_FullScreen;
    UpdateCommandUI();
}

void CMainFrame::OnRecalculate()
{
    if (PlanRunning())
        return;
    const long long elapsed = (long long)m_timePanel->GetCurrentTime() - (long long)m_timePanel->GetStartTime();
    // A current time before the start is the state before the first tick.
    SeekPlan(elapsed < 0 ? -1 : std::min<long long>(elapsed, UINT32_MAX / 1000) * 1000);
}

int64_t CMainFrame::LastTickMs() const
{
    return int64_t(m_app.m_ClockService.GetTime()) - m_app.m_ClockService.GetPeriod();
}

void CMainFrame::SeekPlan(int64_t tickMs)
{
    CPlan* plan = m_app.GetPlan();
    CClockService& clock = m_app.m_ClockService;
    if (clock.IsRunning())
        return;
    // What the clock thread queued before it stopped belongs to the old history.
    m_sink->DiscardPending();
    if (plan) {
        CEventRecorder history;
        CPlayState& play = m_app.m_PlayState;
        IEventSink& live = play.EventSink();
        play.SetEventSink(&history);
        plan->SeekTo(tickMs, uint32_t(clock.GetPeriod()));
        play.SetEventSink(&live);
        m_eventList->ShowHistory(history.events);
        m_app.m_EventHistory = std::move(history);
    }
    m_seekedAtChange = m_app.m_EditHistory.ChangeCount();
    clock.SetTime(tickMs < 0 ? 0u : uint32_t(tickMs) + uint32_t(clock.GetPeriod()));
    m_view->update();
}
