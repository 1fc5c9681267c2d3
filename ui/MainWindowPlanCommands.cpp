// The main frame's document commands: new, open, save, print, recent files.
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

// ---- plan commands ------------------------------------------------------------------

namespace {

// The detail under a plan file's error message: which file, and why.
std::string Reason(const QString& path, const std::string& why)
{
    std::string text = "文件: " + path.toStdString();
    if (!why.empty())
        text += "\n原因: " + why;
    return text;
}

}  // namespace

void CMainFrame::OnPlanClosed()
{
    if (m_unitPanel)
        m_unitPanel->OnNoUnit();
    if (m_actionPanel)
        m_actionPanel->OnUnitActionsChanged(-1);
    if (m_customPanel)
        m_customPanel->OnUnitPropertiesShown(-1);
}

bool CMainFrame::SaveChangesFirst()
{
    if (!m_app.GetPlan() || !m_app.m_Doc.IsModified())
        return true;
    const MessageAnswer answer =
        m_app.Reporter().Report({"需要保存预案吗?", "提示", MessageIcon::Question, MessageButtons::YesNoCancel});
    if (answer == MessageAnswer::Cancel)
        return false;
    // A cancelled chooser or a failed save keeps the plan and what was edited.
    return answer != MessageAnswer::Yes || SavePlanAs();
}

void CMainFrame::NewPlan()
{
    if (!SaveChangesFirst())
        return;
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
    ShowGisHintOnce();
    m_view->update();
}

void CMainFrame::OnOpenPlan()
{
    if (!SaveChangesFirst())
        return;
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
        ReportError(m_app.Reporter(), "加载预案失败", "错误", Reason(path, m_app.LastPlanError()));
    } else {
        m_app.m_Doc.SetPathName(QString());
        AddRecentFile(path);
    }
    if (m_app.GetPlan()) {
        m_view->ApplyViewSize();
        ShowGisHintOnce();
    }
    m_view->update();
    return ok;
}

void CMainFrame::OnSavePlan()
{
    SavePlanAs();
}

bool CMainFrame::SavePlanAs()
{
    if (!m_app.GetPlan())
        return false;
    const QString path = m_dialogs.saveFile(kPlanFilter, "pln");
    if (path.isEmpty())
        return false;
    if (!m_app.SavePlan(path.toStdString())) {
        ReportError(m_app.Reporter(), "保存预案失败", "错误", Reason(path, m_app.LastPlanError()));
        return false;
    }
    AddRecentFile(path);
    return true;
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
    // Without a plan there is nothing to print.
    if (!m_app.GetPlan())
        return;
    m_dialogs.print();
}

void CMainFrame::PrintView(QPrinter& printer)
{
    // The same page "导出PDF..." writes: the view and its title block.
    if (auto* exports = findChild<CExportCommands*>()) {
        const ExportResult result = exports->PrintTo(printer);
        if (!result.ok)
            ReportError(m_app.Reporter(), result.description, "错误");
    }
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
        connect(action, &QAction::triggered, this, [this, path] {
            if (SaveChangesFirst())
                OpenPlanFile(path);
        });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}
