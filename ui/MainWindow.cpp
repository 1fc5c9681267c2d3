#include "ui/MainWindow.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "app/ApplicationWindow.h"
#include "app/TarnwickApp.h"
#include "map/MapSource.h"
#include "ui/EventListPanel.h"
#include "ui/HitAlarmDlg.h"
#include "ui/OperatorTools.h"
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
#include <QTimerEvent>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kPlanFilter = QStringLiteral("(*.pln)|*.pln|All Files (*.*)|*.*||");
constexpr int kRecentFiles = 4;

QSettings Settings()
{
    return QSettings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Tarnwick"));
}

void ShowAboutBox(QWidget* parent)
{
    QDialog box(parent);
    box.setWindowTitle("关于 Tarnwick");
    auto* layout = new QHBoxLayout(&box);
    auto* icon = new QLabel;
    icon->setPixmap(AppIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);
    layout->addWidget(icon);
    auto* texts = new QVBoxLayout;
    texts->addWidget(new QLabel("Tarnwick 1.0 测试版"));
    texts->addWidget(new QLabel("演习预案编辑与推演系统"));
    layout->addLayout(texts, 1);
    auto* ok = new QPushButton("确定");
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignTop);
    box.exec();
}

}  // namespace

CMainFrame::CMainFrame(CTarnwickApp& app, QWidget* parent) : QMainWindow(parent), m_app(app)
{
    setObjectName("MainFrame");
    setWindowIcon(AppIcon());
    m_dialogs.openFile = [this](const QString& filter, const QString& ext) { return ChooseFile(this, false, filter, ext); };
    m_dialogs.saveFile = [this](const QString& filter, const QString& ext) { return ChooseFile(this, true, filter, ext); };
    m_dialogs.newPlan = [this](NewPlanValues& values) {
        CNewPlanDlg dialog(std::time(nullptr), this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        values = dialog.Values();
        return true;
    };
    m_dialogs.about = [this] { ShowAboutBox(this); };
    m_dialogs.print = [this] {
        QPrinter printer(QPrinter::HighResolution);
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() == QDialog::Accepted)
            PrintView(printer);
    };
    m_dialogs.sysParams = [this] { CSysParamDlg::Open(m_app, this); };

    m_view = new CTarnwickView(app, this);
    setCentralWidget(m_view);
    connect(m_view, &CTarnwickView::mouseMovedTo, this, &CMainFrame::OnMousePosition);
    m_view->SetDialogs(&m_dialogs.view);

    BuildCommands();
    BuildMenus();
    BuildToolBars();
    BuildStatusBar();
    BuildDocks();

    // Events cross from the clock thread as queued copies; hits reach the hit
    // list through the play state, so the sink keeps none itself.
    m_sink = new CQueuedEventSink(nullptr, this);
    connect(m_sink, &CQueuedEventSink::eventArrived, m_eventList, &CEventListPanel::AddEvent);
    connect(m_sink, &CQueuedEventSink::eventArrived, this, &CMainFrame::LogEvent);
    app.m_PlayState.SetEventSink(m_sink);

    app.m_ClockService.AddReceiver(m_timePanel->ClockReceiver());
    app.m_ClockService.SetRepaintRequest([view = m_view] { view->RequestRepaint(); });

    connect(&app.m_Doc, &CTarnwickDoc::titleChanged, this, &CMainFrame::UpdateCaption);
    UpdateCaption();

    m_hitAlarm = new CHitAlarmDlg(app.m_PlayState.HitList(), this);
    m_hitAlarm->hide();
    m_hitTimer = startTimer(1000);
    m_operator = new COperatorTools(app, *this);
    m_undoRedo = new CUndoRedoCommands(app, *this);
    UpdateCommandUI();
    app.SetWindow(this);
}

std::unique_ptr<CMainFrame> CMainFrame::Start(CTarnwickApp& app, const CTarnwickApp::StartOptions& options)
{
    auto frame = std::make_unique<CMainFrame>(app);
    if (options.showWindow)
        frame->ShowMaximizedFrame();
    frame->ViewSizeChanged();
    // Work that an abnormal end left behind comes before the plan asked for.
    const bool recovered = frame->Operator()->StartRecovery(options.recoveryFolder);
    if (!options.planPath.isEmpty() && !recovered)
        frame->OpenPlanFile(options.planPath);
    return frame;
}

void CMainFrame::EndRecovery()
{
    if (m_operator)
        m_operator->EndRecovery();
}

CMainFrame::~CMainFrame()
{
    if (m_app.Window() == this)
        m_app.SetWindow(nullptr);
    // Hiding the children while the window goes away must not reach a half-destroyed frame.
    for (QDockWidget* dock : m_docks)
        disconnect(dock, nullptr, this, nullptr);
    for (QToolBar* bar : m_toolBars)
        disconnect(bar, nullptr, this, nullptr);
    if (m_hitTimer)
        killTimer(m_hitTimer);
    // The clock outlives the frame: nothing of the frame may be called after this.
    m_app.m_ClockService.Stop();
    m_app.m_ClockService.RemoveReceiver(m_timePanel->ClockReceiver());
    m_app.m_ClockService.SetRepaintRequest(nullptr);
    m_app.m_PlayState.SetEventSink(nullptr);
    delete m_eventLog;
}

void CMainFrame::SetDialogs(Dialogs dialogs)
{
    m_dialogs = std::move(dialogs);
}

// ---- building -------------------------------------------------------------------

QAction* CMainFrame::AddCommand(int id, const QString& text, const QIcon& icon, const QString& tip,
                                void (CMainFrame::*slot)())
{
    auto* action = new QAction(icon, text, this);
    if (!tip.isEmpty()) {
        action->setToolTip(tip);
        action->setStatusTip(tip);
    }
    if (slot)
        connect(action, &QAction::triggered, this, slot);
    m_actions[id] = action;
    return action;
}

void CMainFrame::BuildCommands()
{
    AddCommand(ID_FILE_NEW, "新建(&N)...", ToolIcon(ID_FILE_NEW), "新建预案", &CMainFrame::NewPlan)
        ->setShortcut(QKeySequence("Ctrl+N"));
    AddCommand(ID_OPEN_PLAN, "打开(&O)...", ToolIcon(ID_OPEN_PLAN), "打开预案", &CMainFrame::OnOpenPlan)
        ->setShortcut(QKeySequence("Ctrl+O"));
    AddCommand(ID_SAVE_PLAN, "保存...(&S)", ToolIcon(ID_SAVE_PLAN), "保存预案", &CMainFrame::OnSavePlan);
    // Ctrl+S is the document's save: it keeps the path once chosen.
    auto* docSave = new QAction(this);
    docSave->setShortcut(QKeySequence("Ctrl+S"));
    connect(docSave, &QAction::triggered, this, &CMainFrame::OnFileSave);
    addAction(docSave);
    AddCommand(ID_FILE_PRINT, "打印(&P)...", QIcon(), "打印预案视图", &CMainFrame::OnPrint)
        ->setShortcut(QKeySequence("Ctrl+P"));
    AddCommand(ID_APP_EXIT, "退出(&X)", QIcon(), "退出程序", nullptr);
    connect(m_actions[ID_APP_EXIT], &QAction::triggered, this, &QWidget::close);

    AddCommand(ID_VIEW_TOOLBARS, "工具栏(&T)", QIcon(), "显示或隐藏工具栏", &CMainFrame::OnToggleToolbars);
    AddCommand(ID_VIEW_STATUS_BAR, "状态栏(&S)", QIcon(), "显示或隐藏状态栏", nullptr);
    connect(m_actions[ID_VIEW_STATUS_BAR], &QAction::triggered, this, [this] {
        statusBar()->setVisible(!statusBar()->isVisible());
        UpdateCommandUI();
    });
    AddCommand(ID_VIEW_EDIT_PANEL, "编辑设置(&E)", ToolIcon(ID_VIEW_EDIT_PANEL), "编辑设置面板", nullptr);
    AddCommand(ID_VIEW_TIME_PANEL, "时间控制(&T)", ToolIcon(ID_VIEW_TIME_PANEL), "时间控制面板", nullptr);
    AddCommand(ID_VIEW_INFO_PANEL, "状态信息(&I)", ToolIcon(ID_VIEW_INFO_PANEL), "状态信息面板", nullptr);
    AddCommand(ID_VIEW_PROPERTY_PANEL, "属性面板(&T)", ToolIcon(ID_VIEW_PROPERTY_PANEL), "属性控制面板", nullptr);
    AddCommand(ID_SYS_PARAMS, "系统参数设置...(&V)", QIcon(), "系统参数设置", &CMainFrame::OnSysParams);

    AddCommand(ID_ZOOM_IN, "放大(&O)", ToolIcon(ID_ZOOM_IN), "放大地图", &CMainFrame::OnZoomIn);
    AddCommand(ID_ZOOM_OUT, "缩小(&I)", ToolIcon(ID_ZOOM_OUT), "缩小地图", &CMainFrame::OnZoomOut);
    AddCommand(ID_SELECT, "选择(&S)", ToolIcon(ID_SELECT), "空闲状态", &CMainFrame::OnSelectTool);
    AddCommand(ID_OVERVIEW, "显示小地图", QIcon(), "显示小地图", &CMainFrame::OnOverview);
    AddCommand(ID_MAP_CONTROL_PANEL, "地图控制面板...", QIcon(), "查找地名, 缩放和平移GIS地图", &CMainFrame::OnMapControlPanel);
    AddCommand(ID_PAN_LEFT, "向左(&L)", ToolIcon(ID_PAN_LEFT), "向左平移", nullptr);
    AddCommand(ID_PAN_RIGHT, "向右(&R)", ToolIcon(ID_PAN_RIGHT), "向右平移", nullptr);
    AddCommand(ID_PAN_UP, "向上(&U)", ToolIcon(ID_PAN_UP), "向上平移", nullptr);
    AddCommand(ID_PAN_DOWN, "向下(&D)", ToolIcon(ID_PAN_DOWN), "向下平移", nullptr);
    connect(m_actions[ID_PAN_LEFT], &QAction::triggered, this, [this] { OnPan(-50, 0); });
    connect(m_actions[ID_PAN_RIGHT], &QAction::triggered, this, [this] { OnPan(50, 0); });
    connect(m_actions[ID_PAN_UP], &QAction::triggered, this, [this] { OnPan(0, 50); });
    connect(m_actions[ID_PAN_DOWN], &QAction::triggered, this, [this] { OnPan(0, -50); });

    AddCommand(ID_PLAY, "播放(&P)", ToolIcon(ID_PLAY), "播放", &CMainFrame::OnPlay);
    AddCommand(ID_PAUSE, "停止(&S)", ToolIcon(ID_PAUSE), "暂停", &CMainFrame::OnPause);
    AddCommand(ID_SPEED_UP, "速度加快", ToolIcon(ID_SPEED_UP), "速度加快", &CMainFrame::OnSpeedUp);
    AddCommand(ID_SPEED_DOWN, "速度减慢", ToolIcon(ID_SPEED_DOWN), "速度减慢", &CMainFrame::OnSpeedDown);
    AddCommand(ID_RUN_EDIT, "运行状态", ToolIcon(ID_RUN_EDIT), "编辑状态", &CMainFrame::OnRunEdit);
    AddCommand(ID_SHOW_ROUTES, "显示/隐藏路线", ToolIcon(ID_SHOW_ROUTES), "显示/隐藏路线", &CMainFrame::OnShowRoutes);
    AddCommand(ID_FULL_SCREEN, "全屏", ToolIcon(ID_FULL_SCREEN), "全屏", &CMainFrame::OnFullScreen);
    AddCommand(ID_RECALCULATE, "重新计算各单位的位置", ToolIcon(ID_RECALCULATE), "重新计算各单位的位置",
               &CMainFrame::OnRecalculate);
    AddCommand(ID_HELP_GUIDE, "操作指南(&F1)...", QIcon(), "打开操作指南", &CMainFrame::OnHelp)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    AddCommand(ID_APP_ABOUT, "关于 Tarnwick(&A)...", QIcon(), "显示程序信息", &CMainFrame::OnAbout);

    for (int id : {ID_VIEW_TOOLBARS, ID_VIEW_STATUS_BAR, ID_VIEW_EDIT_PANEL, ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL,
                   ID_VIEW_PROPERTY_PANEL, ID_RUN_EDIT, ID_SHOW_ROUTES, ID_FULL_SCREEN})
        m_actions[id]->setCheckable(true);
    // Shortcuts work while the menu bar is hidden too (full screen keeps it, but panels may have focus).
    for (auto& [id, action] : m_actions)
        action->setShortcutContext(Qt::WindowShortcut);
}

void CMainFrame::BuildMenus()
{
    QMenu* file = menuBar()->addMenu("文件(&F)");
    file->addAction(m_actions[ID_FILE_NEW]);
    file->addAction(m_actions[ID_OPEN_PLAN]);
    file->addAction(m_actions[ID_SAVE_PLAN]);
    file->addSeparator();
    file->addAction(m_actions[ID_FILE_PRINT]);
    file->addSeparator();
    m_recentMenu = file->addMenu("最近的文件");
    file->addSeparator();
    file->addAction(m_actions[ID_APP_EXIT]);
    RebuildRecentMenu();

    QMenu* view = menuBar()->addMenu("查看(&V)");
    view->addAction(m_actions[ID_VIEW_TOOLBARS]);
    view->addAction(m_actions[ID_VIEW_STATUS_BAR]);
    view->addSeparator();
    view->addAction(m_actions[ID_VIEW_EDIT_PANEL]);
    view->addAction(m_actions[ID_VIEW_TIME_PANEL]);
    view->addAction(m_actions[ID_VIEW_INFO_PANEL]);
    view->addAction(m_actions[ID_VIEW_PROPERTY_PANEL]);
    view->addSeparator();
    view->addAction(m_actions[ID_SHOW_ROUTES]);
    view->addAction(m_actions[ID_FULL_SCREEN]);

    QMenu* map = menuBar()->addMenu("地图(&M)");
    for (int id : {ID_ZOOM_IN, ID_ZOOM_OUT, ID_SELECT})
        map->addAction(m_actions[id]);
    map->addSeparator();
    for (int id : {ID_PAN_LEFT, ID_PAN_RIGHT, ID_PAN_UP, ID_PAN_DOWN})
        map->addAction(m_actions[id]);
    map->addSeparator();
    map->addAction(m_actions[ID_OVERVIEW]);
    map->addAction(m_actions[ID_MAP_CONTROL_PANEL]);

    QMenu* play = menuBar()->addMenu("推演(&R)");
    for (int id : {ID_PLAY, ID_PAUSE, ID_SPEED_UP, ID_SPEED_DOWN})
        play->addAction(m_actions[id]);
    play->addSeparator();
    play->addAction(m_actions[ID_RUN_EDIT]);
    play->addAction(m_actions[ID_RECALCULATE]);

    QMenu* tools = menuBar()->addMenu("工具(&T)");
    tools->addAction(m_actions[ID_SYS_PARAMS]);

    QMenu* help = menuBar()->addMenu("帮助(&H)");
    help->addAction(m_actions[ID_HELP_GUIDE]);
    help->addAction(m_actions[ID_APP_ABOUT]);
}

void CMainFrame::BuildToolBars()
{
    const std::vector<std::pair<QString, std::vector<int>>> bars = {
        {"文件", {ID_FILE_NEW, ID_OPEN_PLAN, ID_SAVE_PLAN}},
        {"控制", {ID_RUN_EDIT, ID_PLAY, ID_PAUSE, ID_SPEED_UP, ID_SPEED_DOWN}},
        {"地图", {ID_ZOOM_IN, ID_ZOOM_OUT, ID_PAN_LEFT, ID_PAN_UP, ID_PAN_RIGHT, ID_PAN_DOWN, ID_SELECT}},
        {"面板", {ID_VIEW_EDIT_PANEL, ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL, ID_VIEW_PROPERTY_PANEL}},
        {"路线", {ID_SHOW_ROUTES, ID_FULL_SCREEN, ID_RECALCULATE}},
    };
    const char* names[] = {"FileBar", "ControlBar", "MapBar", "PanelBar", "RouteBar"};
    for (size_t i = 0; i < bars.size(); ++i) {
        QToolBar* bar = addToolBar(bars[i].first);
        bar->setObjectName(names[i]);
        bar->setIconSize(i == 4 ? QSize(19, 18) : QSize(16, 16));
        for (int id : bars[i].second)
            bar->addAction(m_actions[id]);
        m_toolBars[i] = bar;
        connect(bar, &QToolBar::visibilityChanged, this, &CMainFrame::UpdateCommandUI);
    }
}

void CMainFrame::BuildStatusBar()
{
    const std::pair<const char*, int> panes[PaneCount] = {
        {"当前时间", 120}, {"播放时间", 120}, {"正文", 150}, {"X坐标", 100}, {"Y坐标", 100}, {"Z坐标", 120},
    };
    for (int i = 0; i < PaneCount; ++i) {
        m_panes[i] = new QLabel(QString::fromUtf8(panes[i].first));
        m_panes[i]->setFixedWidth(panes[i].second);
        m_panes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // Command prompts and "就绪" use the free space at the left, so no pane hides them.
        statusBar()->addPermanentWidget(m_panes[i]);
    }
    statusBar()->showMessage("就绪");
}

void CMainFrame::BuildDocks()
{
    const std::pair<const char*, Qt::DockWidgetArea> docks[4] = {
        {"时间栏", Qt::TopDockWidgetArea},
        {"状态栏", Qt::BottomDockWidgetArea},
        {"设置栏", Qt::LeftDockWidgetArea},
        {"属性", Qt::RightDockWidgetArea},
    };
    const QSize sizes[4] = {{200, 70}, {200, 100}, {200, 100}, {220, 100}};
    const char* names[4] = {"TimeDock", "InfoDock", "SettingsDock", "PropertyDock"};
    const int commands[4] = {ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL, ID_VIEW_EDIT_PANEL, ID_VIEW_PROPERTY_PANEL};

    m_timePanel = new CTimeControlDlg(m_app.m_ClockService, &m_app.Reporter());
    m_view->SetCurrentTimeSource([panel = m_timePanel] { return panel->GetBarPosition(); });
    m_timePanel->InitialiseTimes(std::time(nullptr));
    CTimeControlDlg::Hooks hooks;
    hooks.hasPlan = [this] { return m_app.GetPlan() != nullptr; };
    hooks.setPlanStart = [this](std::time_t t) {
        if (CPlan* plan = m_app.GetPlan())
            CUndoRedoCommands::SetPlanTimes(m_app, CUndoRedoCommands::kStartTimeStep, t, plan->m_EndTime);
    };
    hooks.setPlanEnd = [this](std::time_t t) {
        if (CPlan* plan = m_app.GetPlan())
            CUndoRedoCommands::SetPlanTimes(m_app, CUndoRedoCommands::kEndTimeStep, plan->m_StartTime, t);
    };
    hooks.recalculatePositions = [this] { OnRecalculate(); };
    m_timePanel->SetHooks(std::move(hooks));

    m_eventList = new CEventListPanel;
    m_catalogue = new CDialogUnitCatalog(m_app);
    m_catalogue->Tree()->SetView(m_view);
    m_propertyTabs = new QTabWidget;
    m_unitPanel = new CDialogUnitCombination(m_app);
    m_actionPanel = new CDialogExpandProperty(m_app);
    m_customPanel = new CDialogCustomProperty(m_app);
    m_propertyTabs->addTab(m_unitPanel, "常规属性");
    m_propertyTabs->addTab(m_actionPanel, "动作");
    m_propertyTabs->addTab(m_customPanel, "自定义属性");
    m_actionPanel->SetCurrentTimeSource([panel = m_timePanel] { return panel->GetBarPosition(); });
    connect(m_view, &CTarnwickView::unitShown, m_unitPanel, &CDialogUnitCombination::OnUnitShown);
    connect(m_view, &CTarnwickView::unitActionsChanged, m_actionPanel, &CDialogExpandProperty::OnUnitActionsChanged);
    connect(m_view, &CTarnwickView::unitPropertiesShown, m_customPanel, &CDialogCustomProperty::OnUnitPropertiesShown);
    connect(m_view, &CTarnwickView::routePointPicked, m_actionPanel, &CDialogExpandProperty::OnRoutePointPicked);
    connect(m_unitPanel, &CDialogUnitCombination::repaintRequested, m_view, &CTarnwickView::RequestRepaint);
    connect(m_actionPanel, &CDialogExpandProperty::repaintRequested, m_view, &CTarnwickView::RequestRepaint);

    QWidget* contents[4] = {m_timePanel, m_eventList, m_catalogue, m_propertyTabs};
    for (int i = 0; i < 4; ++i) {
        auto* dock = new QDockWidget(QString::fromUtf8(docks[i].first), this);
        dock->setObjectName(names[i]);
        dock->setAllowedAreas(Qt::AllDockWidgetAreas);
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                          QDockWidget::DockWidgetFloatable);
        contents[i]->setMinimumSize(i == 0 ? QSize(200, 70) : QSize(120, 60));
        contents[i]->resize(sizes[i]);
        dock->setWidget(contents[i]);
        addDockWidget(docks[i].second, dock);
        m_docks[i] = dock;
        connect(m_actions[commands[i]], &QAction::triggered, this, [this, dock] { OnTogglePanel(dock); });
        connect(dock, &QDockWidget::visibilityChanged, this, &CMainFrame::UpdateCommandUI);
    }
    // The time bar spans the window; the side panels sit between it and the events.
    setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
    setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);
    resizeDocks({m_docks[2], m_docks[3]}, {200, 220}, Qt::Horizontal);
    resizeDocks({m_docks[1]}, {150}, Qt::Vertical);
}

// ---- window state -----------------------------------------------------------------

void CMainFrame::ShowMaximizedFrame()
{
    QSettings settings = Settings();
    restoreState(settings.value("MainFrame/State").toByteArray());
    // Without a window manager (Xvfb) maximising does nothing; take the screen's work area ourselves.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
    UpdateCommandUI();
}

void CMainFrame::ViewSizeChanged()
{
    m_view->ApplyViewSize();
    m_view->update();
}

void CMainFrame::RestorePlanTimes(std::time_t start, std::time_t end)
{
    m_timePanel->RestorePlanTimes(start, end);
    m_view->update();
}

void CMainFrame::SetPlanTimes(std::time_t start, std::time_t end)
{
    m_timePanel->SetPlanTimes(start, end);
}

void CMainFrame::UpdateCaption()
{
    const QString title = m_app.m_Doc.GetTitle();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Tarnwick") : QStringLiteral("Tarnwick - ") + title);
}

QString CMainFrame::PaneText(int pane) const
{
    return m_panes[pane]->text();
}

QAction* CMainFrame::Action(int id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

bool CMainFrame::PlanRunning() const
{
    return m_app.m_ClockService.IsRunning() != 0;
}

void CMainFrame::UpdateCommandUI()
{
    const bool run = m_app.m_EditMode == 0;
    for (int id : {ID_PLAY, ID_PAUSE, ID_SPEED_UP, ID_SPEED_DOWN})
        m_actions[id]->setEnabled(run);
    m_actions[ID_RUN_EDIT]->setChecked(m_app.m_EditMode != 0);
    m_actions[ID_SHOW_ROUTES]->setChecked(m_app.m_ShowRoutes != 0);
    m_actions[ID_FULL_SCREEN]->setChecked(m_app.m_FullScreen != 0);
    if (m_toolBars[0])
        m_actions[ID_VIEW_TOOLBARS]->setChecked(m_toolBars[0]->isVisible());
    m_actions[ID_VIEW_STATUS_BAR]->setChecked(statusBar()->isVisible());
    const int commands[4] = {ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL, ID_VIEW_EDIT_PANEL, ID_VIEW_PROPERTY_PANEL};
    for (int i = 0; i < 4; ++i)
        if (m_docks[i])
            m_actions[commands[i]]->setChecked(m_docks[i]->isVisible());
}

// ---- plan commands ------------------------------------------------------------------

void CMainFrame::OnPlanClosed()
{
    if (m_unitPanel)
        m_unitPanel->OnNoUnit();
    if (m_actionPanel)
        m_actionPanel->OnUnitActionsChanged(-1);
    if (m_customPanel)
        m_customPanel->OnUnitPropertiesShown(-1);
}

void CMainFrame::NewPlan()
{
    if (m_app.GetPlan()) {
        if (PlanRunning())
            m_app.m_ClockService.Stop();
        m_app.ClosePlan();
    }
    NewPlanValues values;
    if (!m_dialogs.newPlan(values)) {
        m_view->update();
        return;
    }
    CPlan* plan = m_app.AdoptNewPlan();
    const QString source = values.useGis ? values.gisSource : values.bitmapFile;
    plan->m_StartTime = values.start;
    plan->m_EndTime = values.end;
    if (!plan->AddNewLayer(values.planName.toStdString(), source.toStdString(), values.useGis, values.widthKm,
                           values.heightKm)) {
        m_view->update();
        return;
    }
    m_app.RegisterPlan();
    m_app.m_Doc.SetTitle(QString::fromStdString(plan->GetFirstLayer()->m_MapName));
    m_app.m_Doc.SetPathName(QString());
    m_view->ApplyViewSize();
    SetPlanTimes(values.start, values.end);
    m_view->update();
}

void CMainFrame::OnOpenPlan()
{
    if (PlanRunning()) {
        m_app.m_ClockService.Stop();
        m_app.ClosePlan();
    }
    const QString path = m_dialogs.openFile(kPlanFilter, "pln");
    if (path.isEmpty()) {
        m_view->update();
        return;
    }
    OpenPlanFile(path);
}

bool CMainFrame::OpenPlanFile(const QString& path)
{
    // Never delete a plan the clock is still calling.
    if (PlanRunning())
        m_app.m_ClockService.Stop();
    m_app.ClosePlan();
    const bool ok = m_app.LoadPlan(path.toStdString());
    if (!ok) {
        ReportError(m_app.Reporter(), "加载预案失败", "错误");
    } else {
        m_app.m_Doc.SetPathName(QString());
        AddRecentFile(path);
    }
    if (m_app.GetPlan())
        m_view->ApplyViewSize();
    m_view->update();
    return ok;
}

void CMainFrame::OnSavePlan()
{
    if (!m_app.GetPlan())
        return;
    const QString path = m_dialogs.saveFile(kPlanFilter, "pln");
    if (path.isEmpty())
        return;
    if (!m_app.SavePlan(path.toStdString()))
        ReportError(m_app.Reporter(), "保存预案失败", "错误");
    else
        AddRecentFile(path);
}

void CMainFrame::OnFileSave()
{
    if (!m_app.GetPlan())
        return;
    QString path = m_app.m_Doc.GetPathName();
    if (path.isEmpty())
        path = m_dialogs.saveFile(kPlanFilter, "pln");
    if (path.isEmpty())
        return;
    if (m_app.m_Doc.OnSaveDocument(path))
        m_app.m_Doc.SetPathName(path);
}

void CMainFrame::OnPrint()
{
    m_dialogs.print();
}

void CMainFrame::PrintView(QPrinter& printer)
{
    QPainter painter(&printer);
    const QRect page = painter.viewport();
    QSize size = m_view->size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(m_view->rect());
    m_view->Render(painter, m_view->size());
}

void CMainFrame::AddRecentFile(const QString& path)
{
    QSettings settings = Settings();
    QStringList files = settings.value("Recent File List").toStringList();
    const QString full = QFileInfo(path).absoluteFilePath();
    files.removeAll(full);
    files.prepend(full);
    while (files.size() > kRecentFiles)
        files.removeLast();
    settings.setValue("Recent File List", files);
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu()
{
    m_recentMenu->clear();
    const QStringList files = Settings().value("Recent File List").toStringList();
    for (int i = 0; i < files.size() && i < kRecentFiles; ++i) {
        const QString path = files[i];
        QAction* action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path));
        connect(action, &QAction::triggered, this, [this, path] { OpenPlanFile(path); });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

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
    // The distance is in place before the first tick can check hits.
    double x0 = 0, y0 = 0;
    if (map)
        map->ViewToMap(x0, y0, 0, 0);
    m_app.m_PlayState.SetHitDistance(DegreesPerKm(y0) * m_app.m_DistWhenBeenHit / 1000);
    m_app.m_ClockService.Resume();
}

void CMainFrame::OnPause()
{
    if (m_app.GetPlan())
        m_app.m_ClockService.Stop();
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
        OnPause();
        // Both modes show the plan at the current time; edits made in edit
        // mode are played from there on.
        SeekPlan(LastTickMs());
    }
    UpdateCommandUI();
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
        for (int i : {1, 2, 3})
            m_docks[i]->show();
        m_propertyTabs->show();
        showMaximized();
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
        for (const HitRecord& hit : history.hits)
            emit m_sink->hitArrived(hit);
    }
    m_seekedAtChange = m_app.m_EditHistory.ChangeCount();
    clock.SetTime(tickMs < 0 ? 0u : uint32_t(tickMs) + uint32_t(clock.GetPeriod()));
    m_view->update();
}

// ---- map commands ----------------------------------------------------------------

void CMainFrame::OnZoomIn()
{
    if (m_app.GetMap())
        m_view->SetMapTool(1);
}

void CMainFrame::OnZoomOut()
{
    if (m_app.GetMap())
        m_view->SetMapTool(2);
}

void CMainFrame::OnSelectTool()
{
    m_view->SetMapTool(0);
}

void CMainFrame::OnOverview()
{
    if (CMapLoader* map = m_app.GetMap())
        map->ShowOverviewWindow(1);
}

// The GIS control panel (place search) lives in Cartolink; a bitmap map has none.
void CMainFrame::OnMapControlPanel()
{
    if (CMapLoader* map = m_app.GetMap())
        map->ShowControlPanel(1);
}

void CMainFrame::OnPan(int dx, int dy)
{
    CMapLoader* map = m_app.GetMap();
    if (!map)
        return;
    map->Pan(dx, dy);
    map->RefreshGisPicture();
    m_view->update();
}

void CMainFrame::OnMousePosition(const QPoint& point)
{
    CMapLoader* map = m_app.GetMap();
    if (!map)
        return;
    double x = 0, y = 0;
    map->ViewToMap(x, y, point.x(), point.y());
    m_app.m_MouseX = x;
    m_app.m_MouseY = y;
    m_app.m_MouseZ = 0;
    m_panes[PaneX]->setText(QString::asprintf("x: %f", x));
    m_panes[PaneY]->setText(QString::asprintf("y: %f", y));
    m_panes[PaneZ]->setText(QString::asprintf("缩放比例: %f", map->GetZoom()));
}

// ---- panels and help ---------------------------------------------------------------

void CMainFrame::OnToggleToolbars()
{
    for (QToolBar* bar : m_toolBars)
        bar->setVisible(!bar->isVisible());
    UpdateCommandUI();
}

void CMainFrame::OnTogglePanel(QDockWidget* dock)
{
    dock->setVisible(!dock->isVisible());
    UpdateCommandUI();
}

void CMainFrame::OnSysParams()
{
    if (m_app.GetPlan() && PlanRunning()) {
        m_app.Reporter().Report({"配置系统参数前请先暂停预案的推演!", "提示", MessageIcon::Information, MessageButtons::Ok});
        return;
    }
    m_dialogs.sysParams();
}

QString CMainFrame::HelpFilePath() const
{
    return QString::fromStdString(modulepaths::InModuleFolder(m_app.m_ModuleFolder, "操作指南.html"));
}

void CMainFrame::OnHelp()
{
    const QString path = HelpFilePath();
    if (QFileInfo::exists(path))
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CMainFrame::OnAbout()
{
    m_dialogs.about();
}

// ---- events and hits ---------------------------------------------------------------

bool CMainFrame::SetEventLog(const QString& path)
{
    delete m_eventLog;
    m_eventLog = new QFile(path);
    if (!m_eventLog->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        delete m_eventLog;
        m_eventLog = nullptr;
        return false;
    }
    return true;
}

void CMainFrame::LogEvent(const EventRecord& record)
{
    if (!m_eventLog)
        return;
    m_eventLog->write(QByteArray::fromStdString(record.timeText + "\t" + record.message + "\n"));
    m_eventLog->flush();
}

bool CMainFrame::OnHitAlarmTimer()
{
    return m_hitAlarm->PopUp(frameGeometry());
}

void CMainFrame::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_hitTimer) {
        OnHitAlarmTimer();
        return;
    }
    QMainWindow::timerEvent(event);
}

bool CMainFrame::QueryClose()
{
    if (m_app.GetPlan()) {
        const MessageAnswer answer = m_app.Reporter().Report(
            {"需要保存预案吗?", "提示", MessageIcon::Question, MessageButtons::YesNoCancel});
        if (answer == MessageAnswer::Cancel)
            return false;
        if (answer == MessageAnswer::Yes)
            OnSavePlan();
    }
    m_hitAlarm->hide();
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!QueryClose()) {
        event->ignore();
        return;
    }
    if (!m_app.m_FullScreen)
        Settings().setValue("MainFrame/State", saveState());
    event->accept();
    emit closed();
}
