// The plan view's mouse: moves, clicks, the zoom tools, selection and tracking.
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

#include <algorithm>
#include <cmath>
#include <cstdlib>


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
    } else if (!m_viewState.rubberBand.isNull()) {
        m_viewState.rubberBand = QRect(m_bandStart, p).normalized();
        update();
    } else if (m_viewState.dragging) {
        m_viewState.dragDx = p.x() - m_dragStart.x();
        m_viewState.dragDy = p.y() - m_dragStart.y();
        CMapLoader* map = m_app.GetMap();
        const bool beyondThreshold = std::abs(m_viewState.dragDx) > kDragThreshold
            || std::abs(m_viewState.dragDy) > kDragThreshold || m_dragPanned != QPoint();
        if (map && map->GetMapType() == 1 && beyondThreshold) {
            // The map itself moves with the mouse; the picture is taken anew.
            const QPoint step = QPoint(m_viewState.dragDx, m_viewState.dragDy) - m_dragPanned;
            map->Pan(-step.x(), step.y());
            map->RefreshGisPicture();
            m_dragPanned += step;
        }
        update();
    } else if (m_viewState.pickActive) {
        update();  // the rubber band follows the cursor
    } else if (m_mapTool == 0) {
        setCursor(CursorShapeAt(p));
    }
}

void CTarnwickView::mousePressEvent(QMouseEvent* event)
{
    if (!m_app.GetMap())
        return;
    m_swallowContextMenu = false;
    if (event->button() == Qt::LeftButton)
        LeftButtonDown(event->position().toPoint(), event->modifiers());
    else if (event->button() == Qt::RightButton)
        m_swallowContextMenu = RightButtonDown();
}

void CTarnwickView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_app.GetMap() || event->button() != Qt::LeftButton)
        return;
    LeftButtonUp(event->position().toPoint());
}

void CTarnwickView::LeftButtonDown(const QPoint& p, Qt::KeyboardModifiers modifiers)
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
        emit routePointPickedAt(mapToGlobal(p));
        return;
    }
    if ((modifiers & Qt::ControlModifier) && m_app.m_EditMode != 0) {
        ToggleOrBand(p);
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
    // A press on a unit of a multi-selection keeps the others selected, so
    // that the whole selection can be dragged.
    bool keepGroup = false;
    if (editMode) {
        const CUnitCanLoad* under = UnitAt(p);
        size_t selected = 0;
        for (size_t i = 0; i < layer->GetUnitCount(); ++i)
            selected += layer->GetUnitAt(i)->m_Selected ? 1 : 0;
        keepGroup = under && under->m_Selected && selected > 1;
    }
    bool anyHit = false, shown = false;
    QString lockReason;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        CUnitCanLoad& unit = *layer->GetUnitAt(i);
        if (unit.m_Removed)
            continue;
        unit.m_RectTracker.m_rect = UnitRect(unit);
        CRectTracker tracker(unit.m_RectTracker.m_rect, unit.m_RectTracker.m_handlesInside);
        const int hit = tracker.HitTest(p);
        if (hit == CRectTracker::hitNothing) {
            if (!keepGroup)
                unit.m_Selected = 0;
        } else if (editMode) {
            anyHit = true;
            // The panels show the first unit hit.
            if (!shown)
                ShowUnitInPanels(unit);
            shown = true;
            unit.m_Selected = 1;
            // Only a unit that appears now may be moved: its position is the
            // one it starts from.
            if (unit.m_AppearTime == now && !m_trackedUnitNo) {
                m_trackedUnitNo = unit.m_UnitNo;
                m_tracker = CRectTracker(unit.m_RectTracker.m_rect, true);
                m_tracker.BeginTrack(hit, p);
            } else if (lockReason.isEmpty()) {
                lockReason = MoveLockReason(unit);
            }
        } else {
            anyHit = true;
            emit unitShown(unit.m_UnitNo, QString::fromStdString(unit.m_UnitName), unit.m_AppearTime, unit.m_InitX,
                           unit.m_InitY, x, y);
            emit unitActionsChanged(unit.m_UnitNo);
            emit unitPropertiesShown(unit.m_UnitNo);
        }
    }
    if (!m_trackedUnitNo && !lockReason.isEmpty())
        emit statusMessage(lockReason);
    update();
    if (!anyHit && !m_viewState.dragging) {
        m_viewState.dragging = true;
        m_dragStart = p;
        m_dragPanned = QPoint();
        m_viewState.dragDx = m_viewState.dragDy = 0;
    }
}

void CTarnwickView::EndUnitTracking()
{
    const int32_t unitNo = m_trackedUnitNo;
    m_trackedUnitNo = 0;
    const QRect r = m_tracker.m_rect;
    const QRect s = m_tracker.StartRect();
    // Integer halves, as the unit's rectangle is centred on its position.
    const QPoint delta = QPoint(r.left() + r.width() / 2, r.top() + r.height() / 2) -
                         QPoint(s.left() + s.width() / 2, s.top() + s.height() / 2);
    if (!m_tracker.EndTrack())
        return;
    CPlan* plan = m_app.GetPlan();
    CPlanLayer* layer = plan ? plan->GetFirstLayer() : nullptr;
    std::vector<int32_t> moving{unitNo};
    {
        SharedWalk walk(layer, 20);
        if (!walk)
            return;
        // The other selected units that may move now go along by the same offset.
        const int now = CurrentTime();
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad& u = *layer->GetUnitAt(i);
            if (u.m_Selected && !u.m_Removed && u.m_UnitNo != unitNo && u.m_AppearTime == now &&
                std::find(moving.begin(), moving.end(), u.m_UnitNo) == moving.end())
                moving.push_back(u.m_UnitNo);
        }
    }
    if (!m_app.m_EditHistory.RecordUnits(*layer, "移动单位", moving))
        return;
    {
        SharedWalk walk(layer, 20);
        if (!walk)
            return;
        CMapLoader* map = m_app.GetMap();
        for (int32_t no : moving) {
            CUnitCanLoad* unit = layer->GetUnitByNo(no);
            if (!unit)
                continue;
            QRect ur = no == unitNo ? r : UnitRect(*unit).translated(delta);
            unit->m_RectTracker.m_rect = ur;
            unit->m_RectTracker.m_handlesInside = true;
            unit->m_Rect = ur;
            double x = 0, y = 0;
            map->ViewToMap(x, y, ur.left() + ur.width() / 2, ur.top() + ur.height() / 2);
            unit->m_CurX = unit->m_InitX = x;
            unit->m_CurY = unit->m_InitY = y;
            if (no == unitNo)
                emit unitShown(unit->m_UnitNo, QString::fromStdString(unit->m_UnitName), unit->m_AppearTime,
                               unit->m_InitX, unit->m_InitY, unit->m_CurX, unit->m_CurY);
        }
    }
    update();
}

void CTarnwickView::LeftButtonUp(const QPoint& p)
{
    if (m_trackedUnitNo) {
        EndUnitTracking();
        update();
        return;
    }
    if (!m_viewState.rubberBand.isNull()) {
        EndRubberBand();
        return;
    }
    CMapLoader* map = m_app.GetMap();
    if (m_viewState.dragging) {
        const int dx = p.x() - m_dragStart.x(), dy = p.y() - m_dragStart.y();
        const QPoint panned = m_dragPanned;
        m_viewState.dragging = false;
        m_viewState.dragDx = m_viewState.dragDy = 0;
        m_dragPanned = QPoint();
        if (std::abs(dx) > kDragThreshold || std::abs(dy) > kDragThreshold || panned != QPoint()) {
            // The picture followed the mouse; the map's centre moves the other way
            // (by what a live drag has not moved yet).
            map->Pan(-(dx - panned.x()), dy - panned.y());
            map->RefreshGisPicture();
            update();
            emit mapViewChanged();
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
        emit mapViewChanged();
    }
}

bool CTarnwickView::RightButtonDown()
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
        return true;
    }
    if (m_mapTool != 1 && m_mapTool != 2)
        return false;
    CMapLoader* map = m_app.GetMap();
    if (m_mapTool == 1)
        map->ZoomOut();
    else
        map->ZoomIn();
    map->RefreshGisPicture();
    update();
    emit mapViewChanged();
    return true;
}
