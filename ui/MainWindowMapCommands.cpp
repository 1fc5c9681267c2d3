// The main frame's map commands (zoom, pan, overview) and panel and help commands.
#include "ui/MainWindow.h"
#include "ui/MainWindowSettings.h"

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
#include <QTextBrowser>
#include <QTimerEvent>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>


using mainframe::kPlanFilter;
using mainframe::kRecentFiles;
using mainframe::Settings;

// ---- map commands ----------------------------------------------------------------

void CMainFrame::OnZoomIn()
{
    if (m_app.GetMap())
        m_view->SetMapTool(1);
    UpdateZoomPane();
}

void CMainFrame::OnZoomOut()
{
    if (m_app.GetMap())
        m_view->SetMapTool(2);
    UpdateZoomPane();
}

void CMainFrame::OnSelectTool()
{
    m_view->SetMapTool(0);
}

bool CMainFrame::NeedsGisMap(const QString& command)
{
    CPlanLayer* layer = m_app.GetPlan() ? m_app.GetPlan()->GetFirstLayer() : nullptr;
    if (layer && layer->m_MapType == 0) {
        statusBar()->showMessage(command + QStringLiteral("需要GIS地图: 当前预案使用的是位图地图"), 5000);
        return true;
    }
    return false;
}

void CMainFrame::OnOverview()
{
    if (NeedsGisMap(QStringLiteral("显示小地图")))
        return;
    if (CMapLoader* map = m_app.GetMap())
        map->ShowOverviewWindow(1);
}

// The GIS control panel (place search) lives in Cartolink; a bitmap map has none.
void CMainFrame::OnMapControlPanel()
{
    if (NeedsGisMap(QStringLiteral("地图控制面板")))
        return;
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

void CMainFrame::OnFullExtent()
{
    CMapLoader* map = m_app.GetMap();
    if (!map)
        return;
    map->ZoomToFullExtent();
    map->RefreshGisPicture();
    m_view->update();
    m_panes[PaneZ]->setText(QString::asprintf("缩放比例: %f", map->GetZoom()));
}

void CMainFrame::ShowGisHintOnce()
{
    static bool shown = false;
    CMapLoader* map = m_app.GetMap();
    if (shown || !map || map->GetMapType() != 1)
        return;
    shown = true;
    statusBar()->showMessage(QStringLiteral("GIS地图从 1 公里宽的视图打开: 用\"全图显示\"查看整幅地图, 拖动地图平移, 放大/缩小改变比例"),
                             30000);
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

void CMainFrame::UpdateZoomPane()
{
    if (CMapLoader* map = m_app.GetMap())
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
    const bool realKm = m_app.m_PlayState.BitmapRealKm();
    m_dialogs.sysParams();
    // Speeds turned into map units under the other scale are computed again.
    if (realKm != m_app.m_PlayState.BitmapRealKm() && m_app.GetPlan()) {
        SeekPlan(LastTickMs());
        m_view->update();
    }
}

QString CMainFrame::HelpFilePath() const
{
    return QString::fromStdString(modulepaths::InModuleFolder(m_app.m_ModuleFolder, "操作指南.html"));
}

void CMainFrame::OnHelp()
{
    const QString path = HelpFilePath();
    if (!QFileInfo::exists(path)) {
        statusBar()->showMessage(QStringLiteral("找不到操作指南: ") + path, 5000);
        return;
    }
    if (m_dialogs.openInBrowser && m_dialogs.openInBrowser(path))
        return;
    // No desktop browser: the guide in a window of our own, with its pictures.
    if (!m_helpWindow) {
        m_helpWindow = new QTextBrowser(this);
        m_helpWindow->setObjectName("helpWindow");
        m_helpWindow->setWindowFlag(Qt::Window);
        m_helpWindow->setOpenExternalLinks(true);
        m_helpWindow->resize(900, 700);
    }
    m_helpWindow->setSearchPaths({QFileInfo(path).absolutePath()});
    m_helpWindow->setSource(QUrl::fromLocalFile(path));
    m_helpWindow->setWindowTitle(QStringLiteral("操作指南 - Tarnwick"));
    m_helpWindow->show();
    m_helpWindow->raise();
}

void CMainFrame::OnAbout()
{
    m_dialogs.about();
}
