#pragma once

#include "app/ApplicationWindow.h"
#include "app/TarnwickApp.h"
#include "ui/TarnwickView.h"

#include <QMainWindow>
#include <QPointer>

class QTextBrowser;

#include <ctime>
#include <functional>
#include <map>
#include <memory>

class CDialogUnitCatalog;
class CDialogCustomProperty;
class CDialogExpandProperty;
class CDialogUnitCombination;
class CEventListPanel;
class CHitAlarmDlg;
class COperatorTools;
class CPlanAids;
class CQueuedEventSink;
class CTarnwickApp;
class CTarnwickView;
class CTimeControlDlg;
class CUndoRedoCommands;
class QAction;
class QDockWidget;
class QFile;
class QLabel;
class QPushButton;
class QMenu;
class QTabWidget;
class QPrinter;
class QToolBar;
struct EventRecord;

// What the new plan dialog hands back on OK.
struct NewPlanValues {
    QString planName;
    QString gisSource;
    int useGis = 0;
    QString bitmapFile;
    double widthKm = 0;
    double heightKm = 0;
    std::time_t start = 0;  // start date joined with start time of day
    std::time_t end = 0;
};

// The single top-level window: menus, five toolbars, six status panes, the
// docks "时间栏", "状态栏", "设置栏", "属性" around the plan view, the hit
// alarm and every frame command. Plan state lives in the application object.
class CMainFrame : public QMainWindow, public IApplicationWindow {
    Q_OBJECT
public:
    // Command ids of the menus and toolbars.
    enum Command {
        ID_FILE_NEW = 57600, ID_OPEN_PLAN = 32801, ID_SAVE_PLAN = 32802, ID_APP_EXIT = 57665,
        ID_FILE_PRINT = 57607,
        ID_VIEW_TOOLBARS = 32809, ID_VIEW_STATUS_BAR = 59393, ID_VIEW_EDIT_PANEL = 32773,
        ID_VIEW_TIME_PANEL = 32772, ID_VIEW_INFO_PANEL = 32771, ID_VIEW_PROPERTY_PANEL = 32791,
        ID_SYS_PARAMS = 32833, ID_ZOOM_IN = 32775, ID_ZOOM_OUT = 32776, ID_SELECT = 32778,
        ID_OVERVIEW = 32834, ID_MAP_CONTROL_PANEL = 32840, ID_PAN_LEFT = 32796, ID_PAN_RIGHT = 32798, ID_PAN_UP = 32797,
        ID_PAN_DOWN = 32799, ID_PLAY = 32792, ID_PAUSE = 32793, ID_SPEED_UP = 32816,
        ID_SPEED_DOWN = 32817, ID_RUN_EDIT = 32803, ID_SHOW_ROUTES = 32820, ID_FULL_SCREEN = 32822,
        ID_RECALCULATE = 32823, ID_HELP_GUIDE = 32838, ID_APP_ABOUT = 57664, ID_FULL_EXTENT = 32850,
        // Control toolbar buttons that no command handles: shown, always disabled.
        ID_CONTROL_NO_HANDLER_1 = 32800, ID_CONTROL_NO_HANDLER_2 = 32790,
        ID_SHOW_ALL_PLANS = 32851,
    };

    // Status bar panes, in order.
    enum Pane { PaneCurrentTime, PanePlayTime, PaneMessage, PaneX, PaneY, PaneZ, PaneCount };

    // Modal windows go through these, so tests never block on them. Each
    // defaults to the real dialog.
    struct Dialogs {
        // Empty string: cancelled. Filters in the "desc|pattern|...||" form.
        std::function<QString(const QString& filter, const QString& defaultExt)> openFile;
        std::function<QString(const QString& filter, const QString& defaultExt)> saveFile;
        std::function<bool(NewPlanValues&)> newPlan;  // false: cancelled
        std::function<void()> about;
        std::function<void()> sysParams;
        std::function<void()> print;
        // Opens a local file in the desktop's browser; false when there is none.
        std::function<bool(const QString& path)> openInBrowser;
        // The plan view's parameter dialogs and unit context menu.
        ViewDialogs view;
    };

    // Registers as the application's window; unregisters when destroyed.
    explicit CMainFrame(CTarnwickApp& app, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The window's start-up on a started application object: the frame,
    // shown unless the options say otherwise, the view sized, the recovery
    // offer, then the plan asked for. The caller owns the frame and destroys
    // it before the application object.
    static std::unique_ptr<CMainFrame> Start(CTarnwickApp& app, const CTarnwickApp::StartOptions& options);

    void SetDialogs(Dialogs dialogs);
    Dialogs& GetDialogs() { return m_dialogs; }

    // Shows the frame maximised with the stored dock layout.
    void ShowMaximizedFrame();
    // The view's size changed: every layer's map learns it; repaint.
    void ViewSizeChanged();
    // The time panel shows a new plan's times.
    void SetPlanTimes(std::time_t start, std::time_t end) override;
    void EndRecovery() override;
    // Undo or redo changed the plan's times: the time panel shows them.
    void RestorePlanTimes(std::time_t start, std::time_t end);
    // Opens a plan as the open command does, with the chooser's answer given.
    bool OpenPlanFile(const QString& path);
    // Mirrors every event of the event list into `path` (one "time\ttext" line each).
    bool SetEventLog(const QString& path);

    // ---- commands ---------------------------------------------------------------
    void NewPlan();
    void OnOpenPlan();
    void OnSavePlan();
    // The save command's chooser and save; false when cancelled or failed.
    bool SavePlanAs();
    // Before New or Open replaces a changed plan: "需要保存预案吗?" (Yes/No/
    // Cancel). False when the operator cancelled, or chose to save and then
    // cancelled the chooser or the save failed: the plan stays as it is.
    bool SaveChangesFirst();
    // On a bitmap map the GIS-only commands say so in the status bar (true) instead of doing nothing.
    bool NeedsGisMap(const QString& command);
    // The status panes "当前时间" and "播放时间" follow the plan once a second.
    void UpdatePlayPanes();
    void OnFileSave();  // Ctrl+S: through the document
    void OnPrint();
    // Draws the view with its title block on the printer's page, as "导出PDF..." does.
    void PrintView(QPrinter& printer);
    void OnPlay();
    void OnPause();
    void OnSpeedUp();
    void OnSpeedDown();
    void OnRunEdit();
    void OnShowRoutes();
    void OnShowAllPlans();
    // The zoom pane shows the map's zoom now (after a zoom that no mouse move follows).
    void UpdateZoomPane();
    // Run mode and a catalogue drag: the status bar says why and offers the switch.
    void OfferEditMode();
    // The status bar's "切换到编辑状态" button (hidden unless offered).
    QPushButton* EditModeOffer() const { return m_editModeOffer; }
    void OnFullScreen();
    void OnRecalculate();
    // Puts the plan in the state an uninterrupted play leaves after its tick
    // at tickMs (before the first tick when negative), shows that play's
    // events, and lets the clock go on with the next tick. Clock stopped only.
    void SeekPlan(int64_t tickMs);
    // Plan time of the last tick played (negative before the first).
    int64_t LastTickMs() const;
    void OnZoomIn();
    void OnZoomOut();
    void OnSelectTool();
    void OnOverview();
    void OnMapControlPanel();
    void OnPan(int dx, int dy);
    void OnFullExtent();
    // Once per session, the first GIS plan shown tells how to see the whole map.
    void ShowGisHintOnce();
    void OnToggleToolbars();
    void OnTogglePanel(QDockWidget* dock);
    void OnSysParams();
    void OnHelp();
    void OnAbout();
    // Mouse position display (view pixels).
    void OnMousePosition(const QPoint& point);
    // The one-second hit alarm step; true when the alarm was shown.
    bool OnHitAlarmTimer();
    // Enable and check state of every command, from the application's state.
    void UpdateCommandUI();

    // ---- parts, for the application and tests ---------------------------------
    QAction* Action(int id) const;
    CTarnwickView* View() const { return m_view; }
    CTimeControlDlg* TimePanel() const { return m_timePanel; }
    CEventListPanel* EventList() const { return m_eventList; }
    CHitAlarmDlg* HitAlarm() const { return m_hitAlarm; }
    // Crash recovery, go to time, one-second steps, event log export.
    COperatorTools* Operator() const { return m_operator; }
    // The plan check and the timeline of every unit's actions.
    CPlanAids* PlanAids() const { return m_planAids; }
    CDialogUnitCatalog* CataloguePanel() const { return m_catalogue; }
    QDockWidget* Dock(int index) const { return m_docks[index]; }  // 0 时间栏, 1 状态栏, 2 设置栏, 3 属性
    QTabWidget* PropertyTabs() const { return m_propertyTabs; }
    // The pages of the "属性" dock: "常规属性", "动作", "自定义属性".
    CDialogUnitCombination* UnitPanel() const { return m_unitPanel; }
    // The plan is gone: the property panels forget the unit they showed.
    void OnPlanClosed() override;
    CDialogExpandProperty* ActionPanel() const { return m_actionPanel; }
    CDialogCustomProperty* CustomPanel() const { return m_customPanel; }
    // "撤销" and "重做" of the "编辑(&E)" menu.
    CUndoRedoCommands* UndoRedo() const { return m_undoRedo; }
    QToolBar* ToolBar(int index) const { return m_toolBars[index]; }
    QString PaneText(int pane) const;
    // Help file beside the executable.
    QString HelpFilePath() const;
    // A close request answered "cancel" keeps the window (tests call it directly).
    bool QueryClose();

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

signals:
    // The operator closed the main window (the save question answered): the program ends,
    // whatever other windows (hit alarm, floating panels) are still open.
    void closed();

private:
    QAction* AddCommand(int id, const QString& text, const QIcon& icon, const QString& tip,
                        void (CMainFrame::*slot)());
    void BuildCommands();
    void BuildMenus();
    void BuildToolBars();
    void BuildStatusBar();
    void BuildDocks();
    void UpdateCaption();
    void AddRecentFile(const QString& path);
    void RebuildRecentMenu();
    void LogEvents(const std::vector<EventRecord>& records);
    bool PlanRunning() const;

    CTarnwickApp& m_app;
    Dialogs m_dialogs;
    CTarnwickView* m_view = nullptr;
    CTimeControlDlg* m_timePanel = nullptr;
    CEventListPanel* m_eventList = nullptr;
    CHitAlarmDlg* m_hitAlarm = nullptr;
    CDialogUnitCatalog* m_catalogue = nullptr;
    CQueuedEventSink* m_sink = nullptr;
    QDockWidget* m_docks[4] = {};
    QTabWidget* m_propertyTabs = nullptr;
    CDialogUnitCombination* m_unitPanel = nullptr;
    CDialogExpandProperty* m_actionPanel = nullptr;
    CDialogCustomProperty* m_customPanel = nullptr;
    CUndoRedoCommands* m_undoRedo = nullptr;
    QToolBar* m_toolBars[5] = {};
    QLabel* m_panes[PaneCount] = {};
    QMenu* m_recentMenu = nullptr;
    std::map<int, QAction*> m_actions;
    QFile* m_eventLog = nullptr;
    int m_hitTimer = 0;
    // The edit history's change count when the plan's state was last computed by a seek.
    uint64_t m_seekedAtChange = 0;
    QByteArray m_layoutBeforeFullScreen;
    QTextBrowser* m_helpWindow = nullptr;  // the guide when no browser opens it  // the docks as they were before full screen
    COperatorTools* m_operator = nullptr;
    QPushButton* m_editModeOffer = nullptr;
    CPlanAids* m_planAids = nullptr;
};
