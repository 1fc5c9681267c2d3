#include "ui/UndoRedoCommands.h"

#include "app/TarnwickApp.h"
#include "engine/Plan.h"
#include "ui/MainWindow.h"
#include "ui/TarnwickView.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

namespace {

constexpr int kStatusMs = 5000;

CPlanLayer* FirstLayer(const CTarnwickApp& app)
{
    CPlan* plan = app.GetPlan();
    return plan ? plan->GetFirstLayer() : nullptr;
}

}  // namespace

CUndoRedoCommands::CUndoRedoCommands(CTarnwickApp& app, CMainFrame& frame)
    : QObject(&frame), m_app(app), m_frame(frame)
{
    const QString title = QStringLiteral("编辑(&E)");
    QMenuBar* bar = frame.menuBar();
    for (QAction* entry : bar->actions())
        if (entry->menu() && entry->text() == title)
            m_menu = entry->menu();
    if (!m_menu) {
        m_menu = new QMenu(title, &frame);
        const QList<QAction*> menus = bar->actions();
        // Where editors keep it: right of "文件".
        if (menus.size() > 1)
            bar->insertMenu(menus.at(1), m_menu);
        else
            bar->addMenu(m_menu);
    }
    QAction* first = m_menu->actions().isEmpty() ? nullptr : m_menu->actions().first();
    m_undo = new QAction(kUndo, this);
    m_redo = new QAction(kRedo, this);
    m_menu->insertAction(first, m_undo);
    m_menu->insertAction(first, m_redo);
    if (first)
        m_menu->insertSeparator(first);
    // One action per command carries its keys window-wide (a text field with
    // focus keeps its own Ctrl+Z); a second action with the same keys would
    // make both ambiguous once a menu had the focus.
    m_undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_undo->setShortcutContext(Qt::WindowShortcut);
    m_redo->setShortcutContext(Qt::WindowShortcut);
    m_undo->setStatusTip("撤销最近一次编辑");
    m_redo->setStatusTip("重做刚撤销的编辑");
    connect(m_undo, &QAction::triggered, this, &CUndoRedoCommands::OnUndo);
    connect(m_redo, &QAction::triggered, this, &CUndoRedoCommands::OnRedo);
    connect(m_menu, &QMenu::aboutToShow, this, &CUndoRedoCommands::UpdateActions);

    m_app.m_EditHistory.SetObserver([this] { OnHistoryChanged(); });
    // A save (or an open) makes the plan equal its file: that is the state
    // undo must reach again to be unmodified.
    connect(&m_app.m_Doc, &CTarnwickDoc::modifiedChanged, this, [this](bool modified) {
        if (!modified && m_app.m_EditHistory.IsModified())
            m_app.m_EditHistory.MarkClean();
    });
    connect(&m_app.m_Doc, &CTarnwickDoc::saved, this, [this] { m_app.m_EditHistory.MarkClean(); });
    UpdateActions();
}

CUndoRedoCommands::~CUndoRedoCommands()
{
    m_app.m_EditHistory.SetObserver(nullptr);
}

void CUndoRedoCommands::RecordEdit(CTarnwickApp& app, const std::string& name, int32_t unitNo)
{
    if (CPlanLayer* layer = FirstLayer(app))
        app.m_EditHistory.Record(*layer, name, unitNo);
}

void CUndoRedoCommands::SetPlanTimes(CTarnwickApp& app, const std::string& name, int64_t start, int64_t end)
{
    CPlan* plan = app.GetPlan();
    if (!plan || (plan->m_StartTime == start && plan->m_EndTime == end))
        return;
    app.m_EditHistory.RecordPlanTimes(name, {plan->m_StartTime, plan->m_EndTime});
    plan->m_StartTime = start;
    plan->m_EndTime = end;
}

QString CUndoRedoCommands::MenuText(const char* verb, const std::string& stepName)
{
    QString text = QString::fromUtf8(verb);
    if (!stepName.empty())
        text += ' ' + QString::fromStdString(stepName);
    return text;
}

bool CUndoRedoCommands::ClockRunning() const
{
    return m_app.m_ClockService.IsRunning() != 0;
}

void CUndoRedoCommands::UpdateActions()
{
    const CEditHistory& history = m_app.m_EditHistory;
    const bool editable = FirstLayer(m_app) && !ClockRunning();
    m_undo->setText(MenuText(kUndo, history.UndoName()));
    m_redo->setText(MenuText(kRedo, history.RedoName()));
    m_undo->setEnabled(editable && history.CanUndo());
    m_redo->setEnabled(editable && history.CanRedo());
}

bool CUndoRedoCommands::OnUndo()
{
    return Run(true);
}

bool CUndoRedoCommands::OnRedo()
{
    return Run(false);
}

bool CUndoRedoCommands::Run(bool undo)
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = FirstLayer(m_app);
    if (!layer)
        return false;
    if (ClockRunning()) {
        // Playback walks the same units; a restore would pull them from under it.
        m_frame.statusBar()->showMessage(undo ? kRunningUndo : kRunningRedo, kStatusMs);
        UpdateActions();
        return false;
    }
    CEditHistory& history = m_app.m_EditHistory;
    CEditHistory::PlanTimes times{plan->m_StartTime, plan->m_EndTime};
    const std::optional<CEditHistory::Restored> restored =
        undo ? history.Undo(*layer, plan->GetContext(), &times) : history.Redo(*layer, plan->GetContext(), &times);
    if (!restored) {
        m_frame.statusBar()->showMessage(undo ? kNothingToUndo : kNothingToRedo, kStatusMs);
        return false;
    }
    if (restored->planTimes) {
        plan->m_StartTime = times.start;
        plan->m_EndTime = times.end;
        m_frame.RestorePlanTimes(times.start, times.end);
    } else {
        m_frame.View()->ShowRestoredUnit(restored->unitNo);
    }
    // The step just restored moved to the other side.
    const std::string name = undo ? history.RedoName() : history.UndoName();
    m_frame.statusBar()->showMessage(MenuText(undo ? "已撤销" : "已重做", name), kStatusMs);
    return true;
}

void CUndoRedoCommands::OnHistoryChanged()
{
    UpdateActions();
    const bool modified = m_app.m_EditHistory.IsModified();
    if (modified != m_historyModified) {
        m_historyModified = modified;
        m_app.m_Doc.SetModifiedFlag(modified);
    }
    SettleLater();
}

void CUndoRedoCommands::SettleLater()
{
    // The edit a step was recorded for is done once its handler returns.
    if (m_settlePending || !m_app.m_EditHistory.CanUndo())
        return;
    m_settlePending = true;
    QTimer::singleShot(0, this, [this] {
        m_settlePending = false;
        if (CPlanLayer* layer = FirstLayer(m_app))
            m_app.m_EditHistory.Settle(*layer);
    });
}
