#include "ui/TarnwickView.h"

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

// Walks the first layer under its shared gate; false when the gate was not
// obtained in time (the gesture then has no effect).
class SharedWalk {
public:
    SharedWalk(CPlanLayer* layer, uint32_t timeoutMs) : m_layer(layer)
    {
        m_locked = m_layer && m_layer->LockShared(timeoutMs);
    }
    ~SharedWalk()
    {
        if (m_locked)
            m_layer->UnlockShared();
    }
    SharedWalk(const SharedWalk&) = delete;
    SharedWalk& operator=(const SharedWalk&) = delete;
    explicit operator bool() const { return m_locked; }

private:
    CPlanLayer* m_layer;
    bool m_locked = false;
};

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

// ---- mouse ---------------------------------------------------------------------------

void CTarnwickView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit mouseMovedTo(p);
    if (!m_app.GetPlan())
        return;
    if (m_trackedUnitNo && m_tracker.Tracking()) {
        m_tracker.TrackTo(p);
        update();
    } else if (m_viewState.dragging) {
        m_viewState.dragDx = p.x() - m_dragStart.x();
        m_viewState.dragDy = p.y() - m_dragStart.y();
        update();
    } else if (m_viewState.pickActive) {
        update();  // the rubber band follows the cursor
    }
}

void CTarnwickView::mousePressEvent(QMouseEvent* event)
{
    if (!m_app.GetMap())
        return;
    if (event->button() == Qt::LeftButton)
        LeftButtonDown(event->position().toPoint());
    else if (event->button() == Qt::RightButton)
        RightButtonDown();
}

void CTarnwickView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_app.GetMap() || event->button() != Qt::LeftButton)
        return;
    LeftButtonUp(event->position().toPoint());
}

void CTarnwickView::LeftButtonDown(const QPoint& p)
{
    CMapLoader* map = m_app.GetMap();
    double x = 0, y = 0;
    map->ViewToMap(x, y, p.x(), p.y());

    if (m_viewState.pickActive) {
        switch (m_viewState.pickMode) {
        case 1:
            m_viewState.pickedPoints.push_back({x, y, 0.0});
            update();
            return;
        case 2:
            FinishStrike(x, y);
            return;
        case 5:
            FinishUnload(x, y);
            return;
        default:
            return;
        }
    }
    if (m_app.m_RouteSelectPick == 1) {
        emit routePointPicked(x, y, 0.0);
        return;
    }
    SelectAt(p, x, y);
}

void CTarnwickView::SelectAt(const QPoint& p, double x, double y)
{
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    SharedWalk walk(layer, 20);
    if (!walk)
        return;
    const bool editMode = m_app.m_EditMode != 0;
    const int now = CurrentTime();
    bool anyHit = false;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        CUnitCanLoad& unit = *layer->GetUnitAt(i);
        unit.m_RectTracker.m_rect = UnitRect(unit);
        CRectTracker tracker(unit.m_RectTracker.m_rect, unit.m_RectTracker.m_handlesInside);
        const int hit = tracker.HitTest(p);
        if (hit == CRectTracker::hitNothing) {
            unit.m_Selected = 0;
        } else if (editMode) {
            anyHit = true;
            ShowUnitInPanels(unit);
            unit.m_Selected = 1;
            // Only a unit that appears now may be moved: its position is the
            // one it starts from.
            if (unit.m_AppearTime == now && !m_trackedUnitNo) {
                m_trackedUnitNo = unit.m_UnitNo;
                m_tracker = CRectTracker(unit.m_RectTracker.m_rect, true);
                m_tracker.BeginTrack(hit, p);
            }
        } else {
            anyHit = true;
            emit unitShown(unit.m_UnitNo, QString::fromStdString(unit.m_UnitName), unit.m_AppearTime, unit.m_InitX,
                           unit.m_InitY, x, y);
            emit unitActionsChanged(unit.m_UnitNo);
            emit unitPropertiesShown(unit.m_UnitNo);
        }
    }
    update();
    if (!anyHit && !m_viewState.dragging) {
        m_viewState.dragging = true;
        m_dragStart = p;
        m_viewState.dragDx = m_viewState.dragDy = 0;
    }
}

void CTarnwickView::EndUnitTracking()
{
    const int32_t unitNo = m_trackedUnitNo;
    m_trackedUnitNo = 0;
    if (!m_tracker.EndTrack())
        return;
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    SharedWalk walk(layer, 20);
    if (!walk)
        return;
    CUnitCanLoad* unit = layer->GetUnitByNo(unitNo);
    if (!unit)
        return;
    m_app.m_EditHistory.Record(*layer, "移动单位", unitNo, true);
    const QRect r = m_tracker.m_rect;
    unit->m_RectTracker.m_rect = r;
    unit->m_RectTracker.m_handlesInside = true;
    unit->m_Rect = r;
    double x = 0, y = 0;
    m_app.GetMap()->ViewToMap(x, y, r.left() + r.width() / 2, r.top() + r.height() / 2);
    unit->m_CurX = unit->m_InitX = x;
    unit->m_CurY = unit->m_InitY = y;
    emit unitShown(unit->m_UnitNo, QString::fromStdString(unit->m_UnitName), unit->m_AppearTime, unit->m_InitX,
                   unit->m_InitY, unit->m_CurX, unit->m_CurY);
    update();
}

void CTarnwickView::LeftButtonUp(const QPoint& p)
{
    if (m_trackedUnitNo) {
        EndUnitTracking();
        update();
        return;
    }
    CMapLoader* map = m_app.GetMap();
    if (m_viewState.dragging) {
        const int dx = p.x() - m_dragStart.x(), dy = p.y() - m_dragStart.y();
        m_viewState.dragging = false;
        m_viewState.dragDx = m_viewState.dragDy = 0;
        if (std::abs(dx) > kDragThreshold || std::abs(dy) > kDragThreshold) {
            // The picture followed the mouse; the map's centre moves the other way.
            map->Pan(-dx, dy);
            map->RefreshGisPicture();
            update();
            return;
        }
        update();
    }
    if (m_mapTool == 1 || m_mapTool == 2) {
        if (m_mapTool == 1)
            map->ZoomIn();
        else
            map->ZoomOut();
        map->RefreshGisPicture();
        update();
    }
}

void CTarnwickView::RightButtonDown()
{
    if (m_viewState.pickActive) {
        // Only a route is finished by the right button; for a strike or unload
        // target it cancels the pick, as Escape does, rather than turning the
        // command into a move that was never asked for.
        if (m_viewState.pickMode == 1) {
            FinishMove();
        } else {
            m_viewState.pickActive = false;
            m_viewState.pickMode = 0;
            update();
        }
        return;
    }
    if (m_mapTool != 1 && m_mapTool != 2)
        return;
    CMapLoader* map = m_app.GetMap();
    if (m_mapTool == 1)
        map->ZoomOut();
    else
        map->ZoomIn();
    map->RefreshGisPicture();
    update();
}

// ---- picks and actions ---------------------------------------------------------------

void CTarnwickView::StartPick(int mode, int speedGiven)
{
    m_viewState.pickedPoints.clear();
    m_viewState.pickedPoints.push_back({m_selX, m_selY, 0.0});
    if (speedGiven >= 0)
        m_speedGiven = speedGiven;
    m_viewState.pickMode = mode;
    m_viewState.pickActive = true;
    update();
}

void CTarnwickView::AddAction(CUnitCanLoad& unit, int type, double speed, const std::vector<RoutePoint>& points,
                              const std::string& weapon, int count, int unitNo)
{
    if (unit.m_Layer)
        m_app.m_EditHistory.Record(*unit.m_Layer, std::string("添加") + DefaultActionName(type) + "动作",
                                   unit.m_UnitNo, true);
    auto action = std::make_unique<WGAction>();
    action->m_ActionNo = unit.LastActionNo() + 1;
    action->m_ActionType = type;
    action->m_ActionName = type == kActionMove     ? "移动"
                           : type == kActionStrike ? "打击"
                           : type == kActionLoad   ? "装载"
                                                   : "卸载";
    action->m_ActionTime = CurrentTime();
    action->m_ActingUnits.push_back(&unit);
    if (type == kActionMove) {
        action->m_Speed = speed;
        action->m_SpeedMapUnits = speed;
    }
    if (type == kActionStrike) {
        action->m_BulletType = weapon;
        action->m_HitTime = count;
    }
    if (type == kActionLoad || type == kActionUnload)
        action->m_UnitNo = unitNo;
    if (!points.empty()) {
        auto route = std::make_unique<WGRoute>();
        route->m_Points = points;
        action->m_Routes.push_back(std::move(route));
    }
    unit.AddNewAction(std::move(action));
}

void CTarnwickView::FinishMove()
{
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    double speed = m_defaultSpeed;
    if (m_speedGiven == 0) {
        bool asDefault = true;
        if (!Dialogs().speed(speed, asDefault)) {
            update();
            return;
        }
        if (asDefault)
            m_defaultSpeed = speed;
    }
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk) {
            update();
            return;
        }
        if (CUnitCanLoad* unit = FirstSelected()) {
            AddAction(*unit, kActionMove, speed, m_viewState.pickedPoints, {}, 0, 0);
            unitNo = unit->m_UnitNo;
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::FinishStrike(double x, double y)
{
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    std::string weapon;
    int count = 0;
    if (!Dialogs().strike(weapon, count)) {
        update();
        return;
    }
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk) {
            update();
            return;
        }
        if (CUnitCanLoad* unit = FirstSelected()) {
            AddAction(*unit, kActionStrike, 0, {{x, y, 0.0}}, weapon, count, 0);
            unitNo = unit->m_UnitNo;
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::FinishUnload(double x, double y)
{
    m_viewState.pickActive = false;
    m_viewState.pickMode = 0;
    int target = 0;
    if (!Dialogs().target(target)) {
        update();
        return;
    }
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk) {
            update();
            return;
        }
        if (CUnitCanLoad* unit = FirstSelected()) {
            AddAction(*unit, kActionUnload, 0, {{x, y, 0.0}}, {}, 0, target);
            unitNo = unit->m_UnitNo;
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::OnMoveTo()
{
    StartPick(1, 0);
}

void CTarnwickView::OnMoveAtSpeed()
{
    StartPick(1, 1);
}

void CTarnwickView::OnStrike()
{
    StartPick(2, -1);  // speed given unchanged
}

void CTarnwickView::OnUnload()
{
    StartPick(5, 0);
}

void CTarnwickView::OnLoad()
{
    if (!m_app.GetPlan())
        return;
    int target = 0;
    if (!Dialogs().target(target))
        return;
    CPlanLayer* layer = m_app.GetPlan()->GetFirstLayer();
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 10);
        if (!walk)
            return;
        if (CUnitCanLoad* unit = FirstSelected()) {
            if (unit->m_UnitNo == target) {
                ReportError(m_app.Reporter(), "不能装载自己!", "错误");
            } else {
                AddAction(*unit, kActionLoad, 0, {}, {}, 0, target);
                unitNo = unit->m_UnitNo;
            }
        }
    }
    if (unitNo)
        emit unitActionsChanged(unitNo);
    update();
}

void CTarnwickView::OnDeleteUnit()
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    int32_t unitNo = 0;
    {
        SharedWalk walk(layer, 20);
        if (!walk)
            return;
        if (CUnitCanLoad* unit = FirstSelected())
            unitNo = unit->m_UnitNo;
    }
    if (!unitNo)
        return;
    const MessageAnswer answer =
        m_app.Reporter().Report({"确实要删除吗(Y/N?)", "提示", MessageIcon::Question, MessageButtons::YesNo});
    if (answer != MessageAnswer::Yes)
        return;
    m_app.m_EditHistory.Record(*layer, "删除单位", unitNo);
    layer->DeleteUnitsByNo(unitNo);
    update();
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

// ---- drop ----------------------------------------------------------------------------

bool CTarnwickView::DropUnitClass(const QPoint& screenPoint, UnitClassInfo& info)
{
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    if (!layer || !rect().contains(mapFromGlobal(screenPoint)))
        return false;
    std::unique_ptr<CUnitCanLoad> unit;
    if (info.classCode == "01" || info.classCode == "02-01" || info.classCode == "02-02" || info.classCode == "03")
        unit = CreateUnitOfKind(info.classCode);
    if (!unit) {
        update();
        return false;
    }
    unit->m_UnitNo = layer->MaxUnitNo() + 1;
    unit->m_UnitName = info.name;
    unit->m_ClassId = info.id;
    unit->m_UnitBitmap = info.bitmapPath;
    unit->m_UnitBitmapMask = info.maskPath;
    unit->m_ClassInfo = &info;
    unit->LoadBitmaps(m_app.m_ModuleFolder);
    unit->m_CurX = unit->m_InitX = m_app.m_MouseX;
    unit->m_CurY = unit->m_InitY = m_app.m_MouseY;
    unit->m_AppearTime = CurrentTime();
    unit->m_RectTracker.m_handlesInside = false;
    CUnitCanLoad* added = unit.get();
    m_app.m_EditHistory.Record(*layer, "放置单位", added->m_UnitNo);
    if (!layer->AddUnit(std::move(unit))) {
        update();
        return false;
    }
    ShowUnitInPanels(*added);
    update();
    return true;
}
