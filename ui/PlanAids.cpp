#include "ui/PlanAids.h"

#include "app/TarnwickApp.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanCopy.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "ui/MainWindow.h"
#include "ui/SharedWalk.h"
#include "ui/TarnwickView.h"
#include "ui/TimeControlDlg.h"
#include "ui/UndoRedoCommands.h"
#include "ui/panels/DialogExpandProperty.h"
#include "ui/panels/PlanCheckPanel.h"
#include "ui/panels/TimelineChart.h"
#include "ui/panels/TimelinePanel.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>
#include <limits>

namespace {

constexpr int kStatusMs = 5000;
constexpr int kPollMs = 40;

QMenu* MenuTitled(QMenuBar* bar, const QString& title)
{
    for (QAction* action : bar->actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return nullptr;
}

CPlanLayer* FirstLayerOf(const CTarnwickApp& app)
{
    CPlan* plan = app.GetPlan();
    return plan ? plan->GetFirstLayer() : nullptr;
}

}  // namespace

struct CPlanAids::Result {
    Key key;
    std::shared_ptr<const PlanTimeline> timeline;
    std::vector<PlanFinding> findings;
};

CPlanAids::CPlanAids(CTarnwickApp& app, CMainFrame& frame) : QObject(&frame), m_app(app), m_frame(frame)
{
    m_pool.setMaxThreadCount(1);

    m_check = new QAction("检查预案(&K)", this);
    m_check->setIcon(frame.style()->standardIcon(QStyle::SP_DialogApplyButton));
    m_check->setToolTip("检查预案");
    m_check->setStatusTip("列出预案中不会执行的动作和其他问题");
    connect(m_check, &QAction::triggered, this, &CPlanAids::OnCheckPlan);
    if (QMenu* play = MenuTitled(frame.menuBar(), QStringLiteral("推演(&R)"))) {
        play->addSeparator();
        play->addAction(m_check);
    }
    if (QToolBar* control = frame.ToolBar(1))
        control->addAction(m_check);

    m_checkPanel = new CPlanCheckPanel;
    m_timelinePanel = new CTimelinePanel;
    m_checkDock = new QDockWidget("预案检查", &frame);
    m_checkDock->setObjectName("PlanCheckDock");
    m_checkDock->setWidget(m_checkPanel);
    m_timelineDock = new QDockWidget("时间线", &frame);
    m_timelineDock->setObjectName("TimelineDock");
    m_timelineDock->setWidget(m_timelinePanel);
    for (QDockWidget* dock : {m_checkDock, m_timelineDock}) {
        dock->setAllowedAreas(Qt::AllDockWidgetAreas);
        frame.addDockWidget(Qt::BottomDockWidgetArea, dock);
        // Beside the event list, as tabs of the bottom area.
        if (QDockWidget* events = frame.Dock(1))
            frame.tabifyDockWidget(events, dock);
    }
    if (QDockWidget* events = frame.Dock(1))
        events->raise();
    if (QMenu* view = MenuTitled(frame.menuBar(), QStringLiteral("查看(&V)"))) {
        view->addSeparator();
        view->addAction(m_checkDock->toggleViewAction());
        view->addAction(m_timelineDock->toggleViewAction());
    }

    connect(m_checkPanel, &CPlanCheckPanel::checkRequested, this, &CPlanAids::OnCheckPlan);
    connect(m_checkPanel, &CPlanCheckPanel::findingActivated, this, &CPlanAids::ShowFinding);
    CTimelineChart* chart = m_timelinePanel->Chart();
    connect(chart, &CTimelineChart::seekRequested, this, [this](qint64 ms) { SeekTo(ms); });
    connect(chart, &CTimelineChart::actionDragged, this,
            [this](qulonglong unit, qulonglong action, int delta) { MoveActionTime(unit, action, delta); });
    connect(chart, &CTimelineChart::dragRefused, this,
            [this] { m_frame.statusBar()->showMessage(kDragWhileRunning, kStatusMs); });

    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &CPlanAids::OnTimer);
    m_timer->start(kPollMs);
}

CPlanAids::~CPlanAids()
{
    // The worker posts to this object; nothing may be in flight once it is gone.
    m_pool.waitForDone();
}

bool CPlanAids::CheckBeforePlayEnabled(const CTarnwickApp& app)
{
    int on = 1;
    app.m_SysConfig.GetParamInt(kCheckBeforePlayParam, on);
    return on != 0;
}

void CPlanAids::SetCheckBeforePlay(CTarnwickApp& app, bool on)
{
    app.m_SysConfig.SetParamInt(kCheckBeforePlayParam, on ? 1 : 0);
}

CPlanAids::Key CPlanAids::CurrentKey() const
{
    Key key;
    const CPlan* plan = m_app.GetPlan();
    if (!plan)
        return key;
    key.plan = plan;
    // Every edit goes through the history. (The action edit count is no
    // measure: every seek and reset, the copy's own play too, raises it.)
    key.changes = m_app.m_EditHistory.ChangeCount();
    key.start = plan->m_StartTime;
    key.end = plan->m_EndTime;
    key.checkBeenHit = m_app.m_CheckBeenHit;
    key.distance = m_app.m_DistWhenBeenHit;
    key.bitmapRealKm = m_app.m_PlayState.BitmapRealKm();
    return key;
}

TimelinePlaySettings CPlanAids::Settings() const
{
    TimelinePlaySettings settings;
    settings.checkBeenHit = m_app.m_CheckBeenHit;
    // The distance the play command computes; before the first play, what the
    // last play (or the default) left.
    settings.hitDistance = m_app.m_PlayState.GetHitDistance();
    settings.periodMs = uint32_t(m_app.m_ClockService.GetPeriod());
    settings.bitmapRealKm = m_app.m_PlayState.BitmapRealKm();
    return settings;
}

// ---- the play behind both panels ------------------------------------------------------

void CPlanAids::OnTimer()
{
    CTimelineChart* chart = m_timelinePanel->Chart();
    chart->SetCurrentMs(m_app.GetPlan() ? m_frame.LastTickMs() : -1);
    chart->SetDragAllowed(m_app.m_ClockService.IsRunning() == 0);
    RefreshIfChanged();
}

void CPlanAids::RefreshIfChanged()
{
    const Key key = CurrentKey();
    if (key == m_shown || m_busy)
        return;
    if (!key.plan) {
        m_shown = key;
        m_timeline.reset();
        m_timelinePanel->Chart()->SetTimeline(nullptr, nullptr);
        m_timelinePanel->SyncScrollBar();
        m_checkPanel->ShowFindings({});
        m_checkPanel->ShowMessage("没有预案");
        return;
    }
    m_changeSeenAt = QDateTime::currentMSecsSinceEpoch();
    StartPlay();
}

void CPlanAids::StartPlay()
{
    CPlan* plan = m_app.GetPlan();
    if (!plan)
        return;
    m_playing = CurrentKey();
    m_busy = true;
    std::shared_ptr<CPlan> copy = CopyPlanForPlay(*plan, plan->GetContext());
    const TimelinePlaySettings settings = Settings();
    const Key key = m_playing;
    m_pool.start([this, copy, settings, key] {
        auto result = std::make_shared<Result>();
        result->key = key;
        auto timeline = std::make_shared<PlanTimeline>(PlayTimeline(*copy, settings));
        result->findings = CheckPlan(*copy, *timeline);
        result->timeline = std::move(timeline);
        QMetaObject::invokeMethod(this, [this, result] { ShowResult(result); }, Qt::QueuedConnection);
    });
}

void CPlanAids::ShowResult(std::shared_ptr<Result> result)
{
    m_busy = false;
    if (result->key.plan != m_app.GetPlan()) {
        RefreshIfChanged();
        return;
    }
    m_shown = result->key;
    m_timeline = result->timeline;
    const CUnitClassCatalog& catalog = m_app.m_UnitClassCatalog;
    m_timelinePanel->Chart()->SetTimeline(m_timeline, [&catalog](const TimelineRow& row) {
        const std::string id = row.classId.substr(0, row.classId.find('.'));
        for (const auto& category : catalog.GetCategories())
            if (category->id == id)
                return QString::fromStdString(category->name);
        return QString("其他");
    });
    m_timelinePanel->SyncScrollBar();
    m_timelinePanel->Status()->setText(QString("%1 个单位").arg(m_timeline->rows.size()));
    m_checkPanel->ShowFindings(result->findings);
    m_lastUpdateMs = double(QDateTime::currentMSecsSinceEpoch() - m_changeSeenAt);
    // Edits made while it played are shown by the next play.
    RefreshIfChanged();
}

void CPlanAids::WaitForTimeline()
{
    for (int i = 0; i < 1000 && (m_busy || !(CurrentKey() == m_shown)); ++i) {
        RefreshIfChanged();
        m_pool.waitForDone();
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
}

// ---- the check command ----------------------------------------------------------------

void CPlanAids::OnCheckPlan()
{
    CPlan* plan = m_app.GetPlan();
    if (!plan)
        return;
    const std::vector<PlanFinding> findings = CheckPlanByPlaying(*plan, Settings());
    m_checkPanel->ShowFindings(findings);
    m_checkDock->show();
    m_checkDock->raise();
    m_frame.statusBar()->showMessage("预案检查: " + m_checkPanel->Summary()->text(), kStatusMs);
}

void CPlanAids::BeforePlay()
{
    CPlan* plan = m_app.GetPlan();
    if (!plan || !CheckBeforePlayEnabled(m_app) || m_app.m_ClockService.IsRunning())
        return;
    const Key key = CurrentKey();
    if (m_haveCheckedBeforePlay && key == m_checkedBeforePlay)
        return;
    m_haveCheckedBeforePlay = true;
    m_checkedBeforePlay = key;
    const std::vector<PlanFinding> findings = CheckPlanByPlaying(*plan, Settings());
    m_checkPanel->ShowFindings(findings);
    const bool serious = std::any_of(findings.begin(), findings.end(),
                                     [](const PlanFinding& f) { return f.severity != FindingSeverity::Info; });
    if (serious) {
        m_checkDock->show();
        m_checkDock->raise();
        m_frame.statusBar()->showMessage("预案检查: " + m_checkPanel->Summary()->text(), kStatusMs);
    }
}

// ---- from the panels back to the plan ---------------------------------------------------

CUnitCanLoad* CPlanAids::NthUnit(CPlanLayer& layer, size_t index)
{
    size_t k = 0;
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        CUnitCanLoad* unit = layer.GetUnitAt(i);
        if (unit->AsFire())
            continue;
        if (k++ == index)
            return unit;
    }
    return nullptr;
}

void CPlanAids::ShowFinding(const PlanFinding& finding)
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    if (!layer)
        return;
    if (finding.layer != 0) {
        m_frame.statusBar()->showMessage("该单位不在第一图层, 不能在视图中选中", kStatusMs);
        return;
    }
    int32_t unitNo = -1;
    double x = 0, y = 0;
    {
        SharedWalk walk(layer, 20);
        if (!walk)
            return;
        CUnitCanLoad* unit = NthUnit(*layer, finding.unit);
        if (!unit)
            return;
        unitNo = unit->m_UnitNo;
        x = unit->m_CurX;
        y = unit->m_CurY;
    }
    // The panels show the unit; then it alone is selected.
    m_frame.View()->ShowRestoredUnit(unitNo);
    {
        SharedWalk walk(layer, 20);
        if (walk) {
            const CUnitCanLoad* chosen = NthUnit(*layer, finding.unit);
            for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
                CUnitCanLoad* unit = layer->GetUnitAt(i);
                unit->m_Selected = unit == chosen ? 1 : 0;
            }
        }
    }
    if (QDockWidget* properties = m_frame.Dock(3)) {
        properties->show();
        properties->raise();
    }
    m_frame.PropertyTabs()->setCurrentWidget(m_frame.ActionPanel());
    QTreeWidget* actions = m_frame.ActionPanel()->ActionList();
    if (finding.action >= 0 && finding.action < actions->topLevelItemCount())
        actions->setCurrentItem(actions->topLevelItem(int(finding.action)));
    if (CMapLoader* map = m_app.GetMap()) {
        int px = 0, py = 0;
        map->MapToView(x, y, px, py);
        map->Pan(px - map->GetViewWidth() / 2, map->GetViewHeight() / 2 - py);
        map->RefreshGisPicture();
    }
    m_frame.View()->update();
}

void CPlanAids::SeekTo(int64_t tickMs)
{
    if (!m_app.GetPlan() || tickMs < 0)
        return;
    // The time panel seeks in whole seconds and keeps its fields in step.
    m_frame.TimePanel()->SeekToOffset(tickMs / 1000);
    m_timelinePanel->Chart()->SetCurrentMs(m_frame.LastTickMs());
}

bool CPlanAids::MoveActionTime(size_t unitIndex, size_t actionIndex, int deltaSeconds)
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    if (!layer || deltaSeconds == 0)
        return false;
    if (m_app.m_ClockService.IsRunning()) {
        m_frame.statusBar()->showMessage(kDragWhileRunning, kStatusMs);
        return false;
    }
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 20);
        CUnitCanLoad* unit = walk ? NthUnit(*layer, unitIndex) : nullptr;
        if (!unit || actionIndex >= unit->m_Actions.size())
            return false;
        unitNo = unit->m_UnitNo;
    }
    CUndoRedoCommands::RecordEdit(m_app, "修改动作时间", unitNo);
    if (!layer->TryLockExclusive(50))
        return false;
    bool changed = false;
    if (CUnitCanLoad* unit = NthUnit(*layer, unitIndex); unit && actionIndex < unit->m_Actions.size()) {
        WGAction& action = *unit->m_Actions[actionIndex];
        const int64_t time = int64_t(action.m_ActionTime) + deltaSeconds;
        action.m_ActionTime = int32_t(std::clamp<int64_t>(time, 0, std::numeric_limits<int32_t>::max()));
        changed = true;
        CUnitCanLoad::ActionsEdited();
    }
    layer->UnlockExclusive();
    if (m_frame.ActionPanel()->UnitNo() == unitNo)
        m_frame.ActionPanel()->OnUnitActionsChanged(unitNo);
    m_frame.View()->update();
    m_frame.statusBar()->showMessage(QString("动作时间已修改 %1%2 秒").arg(deltaSeconds > 0 ? "+" : "").arg(deltaSeconds),
                                     kStatusMs);
    RefreshIfChanged();
    return changed;
}
