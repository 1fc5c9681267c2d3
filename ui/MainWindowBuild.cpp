// The main frame's command table, menus, toolbars, status bar and docks.
#include "ui/MainWindow.h"
#include "ui/MainWindowSettings.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "app/ApplicationWindow.h"
#include "app/TarnwickApp.h"
#include "map/MapSource.h"
#include "ui/EditingDialogs.h"
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


using mainframe::kPlanFilter;
using mainframe::kRecentFiles;
using mainframe::Settings;

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
    AddCommand(ID_FULL_EXTENT, "全图显示", ToolIcon(ID_FULL_EXTENT), "显示整幅地图", &CMainFrame::OnFullExtent);
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
    AddCommand(ID_RUN_EDIT, "运行状态", ToolIcon(ID_RUN_EDIT), "编辑状态", &CMainFrame::OnRunEdit)
        ->setStatusTip("运行状态");
    AddCommand(ID_SHOW_ROUTES, "显示/隐藏路线", ToolIcon(ID_SHOW_ROUTES), "显示/隐藏路线", &CMainFrame::OnShowRoutes);
    AddCommand(ID_SHOW_ALL_PLANS, "显示全部计划", ToolIcon(ID_SHOW_ALL_PLANS), "编辑状态下显示所有单位的计划 (未选中的淡显)",
               &CMainFrame::OnShowAllPlans);
    AddCommand(ID_FULL_SCREEN, "全屏", ToolIcon(ID_FULL_SCREEN), "全屏", &CMainFrame::OnFullScreen);
    AddCommand(ID_RECALCULATE, "重新计算各单位的位置", ToolIcon(ID_RECALCULATE), "重新计算各单位的位置",
               &CMainFrame::OnRecalculate);
    for (int id : {ID_CONTROL_NO_HANDLER_1, ID_CONTROL_NO_HANDLER_2})
        AddCommand(id, QString(), ToolIcon(id), QString(), nullptr)->setEnabled(false);
    AddCommand(ID_HELP_GUIDE, "操作指南(&F1)...", QIcon(), "打开操作指南", &CMainFrame::OnHelp)
        ->setShortcut(QKeySequence(Qt::Key_F1));
    AddCommand(ID_APP_ABOUT, "关于 Tarnwick(&A)...", QIcon(), "显示程序信息", &CMainFrame::OnAbout);

    for (int id : {ID_VIEW_TOOLBARS, ID_VIEW_STATUS_BAR, ID_VIEW_EDIT_PANEL, ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL,
                   ID_VIEW_PROPERTY_PANEL, ID_RUN_EDIT, ID_SHOW_ROUTES, ID_SHOW_ALL_PLANS, ID_FULL_SCREEN})
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
    view->addAction(m_actions[ID_SHOW_ALL_PLANS]);
    view->addAction(m_actions[ID_FULL_SCREEN]);

    QMenu* map = menuBar()->addMenu("地图(&M)");
    for (int id : {ID_ZOOM_IN, ID_ZOOM_OUT, ID_FULL_EXTENT, ID_SELECT})
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
        {"控制", {ID_RUN_EDIT, ID_CONTROL_NO_HANDLER_1, ID_PLAY, ID_PAUSE, ID_SPEED_UP, ID_SPEED_DOWN,
                  ID_CONTROL_NO_HANDLER_2}},
        {"地图", {ID_ZOOM_IN, ID_ZOOM_OUT, ID_FULL_EXTENT, ID_PAN_LEFT, ID_PAN_UP, ID_PAN_RIGHT, ID_PAN_DOWN, ID_SELECT}},
        {"面板", {ID_VIEW_EDIT_PANEL, ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL, ID_VIEW_PROPERTY_PANEL}},
        {"路线", {ID_SHOW_ROUTES, ID_SHOW_ALL_PLANS, ID_FULL_SCREEN, ID_RECALCULATE}},
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
    // Each pane is wide enough for the longest text it shows (the sample), so
    // nothing is cut off.
    const struct {
        const char* caption;
        int width;
        const char* sample;
    } panes[PaneCount] = {
        {"当前时间", 120, ""}, {"播放时间", 120, ""}, {"正文", 150, ""},
        {"X坐标", 100, "x: -1234567.123456"}, {"Y坐标", 100, "y: -1234567.123456"},
        {"Z坐标", 120, "缩放比例: 12345678.123456"},
    };
    for (int i = 0; i < PaneCount; ++i) {
        m_panes[i] = new QLabel(QString::fromUtf8(panes[i].caption));
        const int textWidth = m_panes[i]->fontMetrics().horizontalAdvance(QString::fromUtf8(panes[i].sample)) + 12;
        m_panes[i]->setFixedWidth(std::max(panes[i].width, textWidth));
        m_panes[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        // Command prompts and "就绪" use the free space at the left, so no pane hides them.
        statusBar()->addPermanentWidget(m_panes[i]);
    }
    statusBar()->showMessage("就绪");
    m_editModeOffer = new QPushButton(QStringLiteral("切换到编辑状态"));
    m_editModeOffer->setFlat(true);
    m_editModeOffer->hide();
    statusBar()->addWidget(m_editModeOffer);
    connect(m_editModeOffer, &QPushButton::clicked, this, [this] {
        m_editModeOffer->hide();
        if (m_app.GetPlan() && m_app.m_EditMode == 0)
            OnRunEdit();
    });
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
    connect(m_catalogue->Tree(), &CUnitClassTree::dragNeedsEditMode, this, &CMainFrame::OfferEditMode);
    connect(m_view, &CTarnwickView::statusMessage, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    connect(m_view, &CTarnwickView::mapViewChanged, this, &CMainFrame::UpdateZoomPane);
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
    connect(m_view, &CTarnwickView::routePointPickedAt, this, [this](QPoint at) {
        // Beside the point, below and to the right, so the next pick stays in sight.
        if (QWidget* dialog = m_actionPanel->PointDialog()) {
            QPoint place = at + QPoint(24, 24);
            if (const QScreen* screen = QGuiApplication::screenAt(at)) {
                const QRect area = screen->availableGeometry();
                const QSize size = dialog->frameGeometry().size();
                if (place.x() + size.width() > area.right())
                    place.setX(at.x() - 24 - size.width());
                if (place.y() + size.height() > area.bottom())
                    place.setY(at.y() - 24 - size.height());
            }
            dialog->move(place);
        }
    });
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
