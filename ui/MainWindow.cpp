// The main frame: construction, start-up, window state, events and hits, closing.
#include "ui/MainWindow.h"
#include "ui/MainWindowSettings.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "app/ApplicationWindow.h"
#include "app/TarnwickApp.h"
#include "map/MapSource.h"
#include "ui/EventListPanel.h"
#include "ui/HitAlarmDlg.h"
#include "ui/ExportCommands.h"
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
#include <QStandardPaths>
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

namespace {

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
    m_dialogs.openInBrowser = [](const QString& path) {
        // xdg-open without a browser behind it starts and shows nothing.
        if (QStandardPaths::findExecutable("xdg-open").isEmpty())
            return false;
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
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
    // In bursts: a tick may start thousands of moves.
    connect(m_sink, &CQueuedEventSink::eventsArrived, m_eventList, &CEventListPanel::AddEvents);
    connect(m_sink, &CQueuedEventSink::eventsArrived, this, &CMainFrame::LogEvents);
    connect(m_sink, &CQueuedEventSink::eventsArrived, this, [this](const std::vector<EventRecord>& records) {
        auto& history = m_app.m_EventHistory.events;
        history.insert(history.end(), records.begin(), records.end());
        const EventRecord& last = records.back();
        m_panes[PaneMessage]->setText(QString::fromStdString(last.message));
        m_panes[PaneMessage]->setToolTip(QString::fromStdString(last.timeText + " " + last.message));
    });
    connect(m_sink, &CQueuedEventSink::hitsArrived, this, [this](const std::vector<HitRecord>& records) {
        auto& history = m_app.m_EventHistory.hits;
        history.insert(history.end(), records.begin(), records.end());
    });
    app.m_PlayState.SetEventSink(m_sink);

    app.m_ClockService.AddReceiver(m_timePanel->ClockReceiver());
    app.m_ClockService.SetRepaintRequest([view = m_view] { view->RequestRepaint(); });

    connect(&app.m_Doc, &CTarnwickDoc::titleChanged, this, &CMainFrame::UpdateCaption);
    UpdateCaption();

    m_hitAlarm = new CHitAlarmDlg(app.m_PlayState.HitList(), this);
    m_hitAlarm->hide();
    m_hitTimer = startTimer(1000);
    m_operator = new COperatorTools(app, *this);
    new CExportCommands(app, *this);  // owned by the frame
    m_undoRedo = new CUndoRedoCommands(app, *this);
    m_planAids = new CPlanAids(app, *this);
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
    m_actions[ID_SHOW_ALL_PLANS]->setChecked(m_view && m_view->ShowAllPlans());
    m_actions[ID_FULL_SCREEN]->setChecked(m_app.m_FullScreen != 0);
    if (m_toolBars[0])
        m_actions[ID_VIEW_TOOLBARS]->setChecked(m_toolBars[0]->isVisible());
    m_actions[ID_VIEW_STATUS_BAR]->setChecked(statusBar()->isVisible());
    const int commands[4] = {ID_VIEW_TIME_PANEL, ID_VIEW_INFO_PANEL, ID_VIEW_EDIT_PANEL, ID_VIEW_PROPERTY_PANEL};
    for (int i = 0; i < 4; ++i)
        if (m_docks[i])
            m_actions[commands[i]]->setChecked(m_docks[i]->isVisible());
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

void CMainFrame::LogEvents(const std::vector<EventRecord>& records)
{
    if (!m_eventLog)
        return;
    QByteArray text;
    for (const EventRecord& record : records)
        text += QByteArray::fromStdString(record.timeText + "\t" + record.message + "\n");
    m_eventLog->write(text);
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
        UpdatePlayPanes();
        return;
    }
    QMainWindow::timerEvent(event);
}

void CMainFrame::UpdatePlayPanes()
{
    if (!m_app.GetPlan())
        return;
    // The plan's date-time and the time played (with the rate) while a plan is open.
    m_panes[PaneCurrentTime]->setText(QString::fromStdString(m_timePanel->CurrentTimeText()));
    m_panes[PaneCurrentTime]->setToolTip(QStringLiteral("当前时间"));
    const uint32_t ms = m_app.m_ClockService.GetTime();
    const uint32_t s = ms / 1000;
    m_panes[PanePlayTime]->setText(QString::asprintf("%u:%02u:%02u  x%g", s / 3600, s / 60 % 60, s % 60, m_app.m_PlayRate));
    m_panes[PanePlayTime]->setToolTip(QStringLiteral("播放时间与速率"));
}

bool CMainFrame::QueryClose()
{
    if (m_app.GetPlan()) {
        const MessageAnswer answer = m_app.Reporter().Report(
            {"需要保存预案吗?", "提示", MessageIcon::Question, MessageButtons::YesNoCancel});
        if (answer == MessageAnswer::Cancel)
            return false;
        // Quitting without the file the operator asked for would lose the work.
        if (answer == MessageAnswer::Yes && !SavePlanAs())
            return false;
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
