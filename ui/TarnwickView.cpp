// The plan view: construction, painting, selection helpers, keys and the context menu.
#include "ui/TarnwickView.h"

#include "ui/SharedWalk.h"

#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "ui/EditingDialogs.h"
#include "ui/ToolIcons.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include <cmath>
#include <cstdlib>

namespace {

QSize ScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1920, 1080);
}

}  // namespace


CTarnwickView::CTarnwickView(CTarnwickApp& app, QWidget* parent)
    : QWidget(parent), m_app(app), m_renderer(ScreenSize())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(100, 100);
    m_renderer.SetLogo(QImage(QString::fromStdString(modulepaths::InModuleFolder(app.m_ModuleFolder, "Logo.bmp"))));
    m_renderer.SetTrackerHook([this](QPainter& painter, const CUnitCanLoad& unit) {
        // While the unit is being moved the tracked rectangle is drawn instead.
        if (m_trackedUnitNo == unit.m_UnitNo && m_tracker.Tracking())
            return;
        CRectTracker(UnitRect(unit), unit.m_RectTracker.m_handlesInside).Draw(painter);
    });

    m_realDialogs.speed = [this](double& speed, bool& asDefault) {
        CDialogSpeedInput dialog(this);
        dialog.m_Speed = speed;
        dialog.m_Default = asDefault ? 1 : 0;
        if (dialog.exec() != QDialog::Accepted)
            return false;
        speed = dialog.m_Speed;
        asDefault = dialog.m_Default != 0;
        return true;
    };
    m_realDialogs.strike = [this](std::string& weaponId, int& count) {
        CDialogStrikeParam dialog(m_app.m_UnitClassCatalog, this);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        weaponId = dialog.m_ResultWeaponId;
        count = dialog.m_ResultCount;
        return true;
    };
    m_realDialogs.target = [this](int& unitNo) {
        CDialogTargetSelect dialog(m_app.GetPlan(), this);
        dialog.m_ResultUnitNo = unitNo;
        if (dialog.exec() != QDialog::Accepted)
            return false;
        unitNo = dialog.m_ResultUnitNo;
        return true;
    };
    m_realDialogs.contextMenu = [](QMenu& menu, const QPoint& globalPos) { return menu.exec(globalPos); };
}

ViewDialogs CTarnwickView::Dialogs() const
{
    ViewDialogs d = m_realDialogs;
    if (m_dialogs) {
        if (m_dialogs->speed)
            d.speed = m_dialogs->speed;
        if (m_dialogs->strike)
            d.strike = m_dialogs->strike;
        if (m_dialogs->target)
            d.target = m_dialogs->target;
        if (m_dialogs->contextMenu)
            d.contextMenu = m_dialogs->contextMenu;
    }
    // The keys (arrows, Delete, Escape) keep working after a dialog closes.
    auto* self = const_cast<CTarnwickView*>(this);
    const auto refocus = [self] { self->setFocus(Qt::OtherFocusReason); };
    d.speed = [f = d.speed, refocus](double& speed, bool& asDefault) {
        const bool ok = f(speed, asDefault);
        refocus();
        return ok;
    };
    d.strike = [f = d.strike, refocus](std::string& weapon, int& count) {
        const bool ok = f(weapon, count);
        refocus();
        return ok;
    };
    d.target = [f = d.target, refocus](int& unitNo) {
        const bool ok = f(unitNo);
        refocus();
        return ok;
    };
    d.contextMenu = [f = d.contextMenu, refocus](QMenu& menu, const QPoint& at) {
        QAction* chosen = f(menu, at);
        refocus();
        return chosen;
    };
    return d;
}

void CTarnwickView::SetMapTool(int tool)
{
    m_mapTool = tool;
    if (tool == 1 || tool == 2)
        setCursor(ZoomCursor(tool == 1));
    else
        setCursor(Qt::ArrowCursor);
}

PlanRenderOptions CTarnwickView::RenderOptions() const
{
    PlanRenderOptions options = m_viewState;
    options.dragDx -= m_dragPanned.x();
    options.dragDy -= m_dragPanned.y();
    options.editMode = m_app.m_EditMode != 0;
    options.showRoutes = m_app.m_ShowRoutes != 0;
    options.cursor = mapFromGlobal(QCursor::pos());
    return options;
}

void CTarnwickView::RequestRepaint()
{
    if (m_repaintPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_repaintPending.store(false);
            update();
        },
        Qt::QueuedConnection);
}

void CTarnwickView::ApplyViewSize()
{
    if (CPlan* plan = m_app.GetPlan())
        for (auto& layer : plan->m_Layers) {
            // Maps are drawn and converted for the window, not the whole screen.
            layer->m_Map.SetViewWidthHeight(width(), height());
            layer->m_Map.SetViewSize(width(), height());
            layer->m_Map.RefreshGisPicture();
            // The map object has already taken a new picture; show it at once.
            layer->m_Map.SetMapViewChangedHandler([this] {
                update();
                emit mapViewChanged();
            });
        }
}

void CTarnwickView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ApplyViewSize();
}

void CTarnwickView::paintEvent(QPaintEvent*)
{
    ++m_paintCount;
    QPainter painter(this);
    Render(painter, size());
    if (m_trackedUnitNo && m_tracker.Tracking())
        m_tracker.Draw(painter);
    if (!m_viewState.rubberBand.isNull()) {
        painter.setPen(QPen(QColor(0, 120, 215), 1, Qt::DashLine));
        painter.setBrush(QColor(0, 120, 215, 40));
        painter.drawRect(m_viewState.rubberBand);
    }
}

void CTarnwickView::Render(QPainter& painter, const QSize& size)
{
    m_renderer.Paint(painter, m_app.GetPlan(), size, RenderOptions());
}

QRect CTarnwickView::UnitRect(const CUnitCanLoad& unit) const
{
    CMapLoader* map = m_app.GetMap();
    int px = 0, py = 0;
    if (map)
        map->MapToView(unit.m_CurX, unit.m_CurY, px, py);
    const int w = unit.m_ImageWidth, h = unit.m_ImageHeight;
    return QRect(px - w / 2, py - h / 2, w, h);
}

CUnitCanLoad* CTarnwickView::FirstSelected() const
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    if (!layer)
        return nullptr;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i)
        if (CUnitCanLoad* unit = layer->GetUnitAt(i); unit->m_Selected)
            return unit;
    return nullptr;
}

void CTarnwickView::ShowUnitInPanels(const CUnitCanLoad& unit)
{
    emit unitShown(unit.m_UnitNo, QString::fromStdString(unit.m_UnitName), unit.m_AppearTime, unit.m_InitX,
                   unit.m_InitY, unit.m_CurX, unit.m_CurY);
    emit unitActionsChanged(unit.m_UnitNo);
    emit unitPropertiesShown(unit.m_UnitNo);
}

// ---- keyboard and context menu -------------------------------------------------------

void CTarnwickView::keyReleaseEvent(QKeyEvent* event)
{
    if (!m_app.GetPlan() || event->isAutoRepeat()) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    if (event->key() == Qt::Key_Delete) {
        OnDeleteUnit();
    } else if (event->key() == Qt::Key_Escape && m_viewState.pickActive) {
        // The picked points stay until the next pick starts.
        m_viewState.pickActive = false;
        m_viewState.pickMode = 0;
        update();
    } else {
        QWidget::keyReleaseEvent(event);
    }
}

void CTarnwickView::BuildUnitMenu(QMenu& menu)
{
    menu.setTitle("menu1");
    const struct {
        const char* text;
        int command;
    } items[] = {
        {"移动到..", ID_MOVE_TO},   {"以速度..移动到", ID_MOVE_AT_SPEED}, {"打击目标", ID_STRIKE},
        {"装载对象", ID_LOAD},       {"卸载对象", ID_UNLOAD},              {"改变方向", ID_TURN},
        {"删除单位", ID_DELETE_UNIT},
    };
    for (const auto& item : items) {
        QAction* action = menu.addAction(QString::fromUtf8(item.text));
        action->setData(item.command);
    }
    // The second item names the speed it will use.
    menu.actions().at(1)->setText(QString::asprintf("以速度%.2fkm/h移动到", m_defaultSpeed));
}

void CTarnwickView::contextMenuEvent(QContextMenuEvent* event)
{
    // The right press before it ended a pick or zoomed the map.
    if (m_swallowContextMenu && event->reason() == QContextMenuEvent::Mouse) {
        m_swallowContextMenu = false;
        return;
    }
    m_swallowContextMenu = false;
    OpenContextMenu(event->globalPos());
}

void CTarnwickView::OpenContextMenu(const QPoint& globalPos)
{
    if (!m_app.GetPlan() || m_viewState.pickActive || m_app.m_EditMode == 0)
        return;
    {
        SharedWalk walk(m_app.GetPlan()->GetFirstLayer(), 10);
        if (!walk)
            return;
        CUnitCanLoad* unit = FirstSelected();
        if (!unit)
            return;
        m_selX = unit->m_CurX;
        m_selY = unit->m_CurY;
    }
    QMenu menu(this);
    BuildUnitMenu(menu);
    if (QAction* chosen = Dialogs().contextMenu(menu, globalPos))
        OnCommand(chosen->data().toInt());
}

void CTarnwickView::OnCommand(int command)
{
    switch (command) {
    case ID_MOVE_TO: OnMoveTo(); break;
    case ID_MOVE_AT_SPEED: OnMoveAtSpeed(); break;
    case ID_STRIKE: OnStrike(); break;
    case ID_LOAD: OnLoad(); break;
    case ID_UNLOAD: OnUnload(); break;
    case ID_DELETE_UNIT: OnDeleteUnit(); break;
    default: break;  // "改变方向" changes nothing from the map
    }
}

void CTarnwickView::ShowRestoredUnit(int32_t unitNo)
{
    // The picked points and a tracked rectangle belong to the units as they were.
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    m_trackedUnitNo = 0;
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    bool shown = false;
    {
        SharedWalk walk(layer, 20);
        if (walk) {
            for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
                CUnitCanLoad& unit = *layer->GetUnitAt(i);
                unit.m_Selected = 0;
                if (!shown && unit.m_UnitNo == unitNo) {
                    ShowUnitInPanels(unit);
                    shown = true;
                }
            }
        }
    }
    if (!shown) {
        emit unitShown(-1, QString(), 0, 0, 0, 0, 0);
        emit unitActionsChanged(-1);
        emit unitPropertiesShown(-1);
    }
    update();
}

void CTarnwickView::OnCatalogueDragAt(const QPoint& screenPoint)
{
    emit mouseMovedTo(mapFromGlobal(screenPoint));
}
