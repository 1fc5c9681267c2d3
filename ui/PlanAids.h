#pragma once

#include "engine/PlanChecker.h"
#include "engine/PlanTimeline.h"

#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <memory>
#include <vector>

class CMainFrame;
class CPlan;
class CPlanLayer;
class CUnitCanLoad;
class CPlanCheckPanel;
class CTarnwickApp;
class CTimelinePanel;
class QAction;
class QDockWidget;
class QTimer;

// The planning aids around the main frame: the docks "预案检查" and "时间线",
// the command "检查预案" (menu "推演(&R)" and the control toolbar) and the
// check before the first play of a changed plan. Both panels show one
// headless play of a copy of the plan, made again after every edit: the copy
// is taken on this thread, played and checked on a worker, so the window
// never waits for it. Owned by the frame.
class CPlanAids : public QObject {
    Q_OBJECT
public:
    // The configuration switch of the check before play (1 on, the default; 0 off).
    static constexpr const char* kCheckBeforePlayParam = "CheckPlanBeforePlay";
    static constexpr const char* kDragWhileRunning = "预案正在推演, 不能修改动作时间; 请先暂停";

    CPlanAids(CTarnwickApp& app, CMainFrame& frame);
    ~CPlanAids() override;

    QAction* CheckAction() const { return m_check; }
    QDockWidget* CheckDock() const { return m_checkDock; }
    QDockWidget* TimelineDock() const { return m_timelineDock; }
    CPlanCheckPanel* CheckPanel() const { return m_checkPanel; }
    CTimelinePanel* TimelinePanel() const { return m_timelinePanel; }

    // "检查预案": the findings of the plan as it is now, shown in the raised
    // panel. Runs on this thread (a check is a play of a copy: milliseconds).
    void OnCheckPlan();
    // Before the play command resumes the clock: when the switch is on and
    // the plan changed since the last check before play, checks it and shows
    // the panel if anything was found. The play goes on either way.
    void BeforePlay();
    static bool CheckBeforePlayEnabled(const CTarnwickApp& app);
    static void SetCheckBeforePlay(CTarnwickApp& app, bool on);

    // Double-click of a finding: selects the unit in the first layer, shows
    // its action in the "动作" page and centres the view on the unit.
    void ShowFinding(const PlanFinding& finding);
    // A click in the timeline: the exact seek to that tick (a whole second).
    void SeekTo(int64_t tickMs);
    // A bar dragged by `deltaSeconds`: the action's time changes as an
    // undoable edit; refused (status bar) while the clock runs. False when
    // nothing changed.
    bool MoveActionTime(size_t unit, size_t action, int deltaSeconds);

    // Starts a new play of the plan when it changed; the result arrives later.
    void RefreshIfChanged();
    // Blocks until the play in progress (if any) has been shown; for tests
    // and the benchmark.
    void WaitForTimeline();
    std::shared_ptr<const PlanTimeline> CurrentTimeline() const { return m_timeline; }
    // How long the last update took from the change to the shown chart, ms.
    double LastUpdateMs() const { return m_lastUpdateMs; }

private:
    struct Key {
        const CPlan* plan = nullptr;
        uint64_t changes = 0;
        int64_t start = 0, end = 0;
        int checkBeenHit = 0;
        bool bitmapRealKm = false;
        double distance = 0;
        bool operator==(const Key&) const = default;
    };
    struct Result;
    Key CurrentKey() const;
    TimelinePlaySettings Settings() const;
    void StartPlay();
    void ShowResult(std::shared_ptr<Result> result);
    void OnTimer();
    // The unit at `index` among the first layer's units that are not fire units.
    static CUnitCanLoad* NthUnit(CPlanLayer& layer, size_t index);

    CTarnwickApp& m_app;
    CMainFrame& m_frame;
    QAction* m_check;
    QDockWidget* m_checkDock;
    QDockWidget* m_timelineDock;
    CPlanCheckPanel* m_checkPanel;
    CTimelinePanel* m_timelinePanel;
    QTimer* m_timer;
    QThreadPool m_pool;
    std::shared_ptr<const PlanTimeline> m_timeline;
    Key m_shown;             // what the panels show
    Key m_playing;           // what the worker plays
    bool m_busy = false;
    Key m_checkedBeforePlay;
    bool m_haveCheckedBeforePlay = false;
    double m_lastUpdateMs = 0;
    qint64 m_changeSeenAt = 0;
};
