// The plan view's direct manipulation: multi-selection, wheel zoom, nudges
// with the arrow keys, cursors and tooltips over units.
#include "ui/TarnwickView.h"

#include "ui/SharedWalk.h"

#include "app/TarnwickApp.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "map/MapLoader.h"

#include <QHelpEvent>
#include <QKeyEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int kWheelStep = 120;  // eighths of a degree in one wheel notch

CPlanLayer* FirstLayerOf(CTarnwickApp& app)
{
    CPlan* plan = app.GetPlan();
    return plan ? plan->GetFirstLayer() : nullptr;
}

}  // namespace

// ---- selection -------------------------------------------------------------------------

CUnitCanLoad* CTarnwickView::UnitAt(const QPoint& p) const
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    if (!layer)
        return nullptr;
    // The unit drawn last lies on top.
    for (size_t i = layer->GetUnitCount(); i-- > 0;) {
        CUnitCanLoad* unit = layer->GetUnitAt(i);
        if (unit->m_Removed || unit->m_UnitType == kUnitTypeFire)
            continue;
        if (UnitRect(*unit).contains(p))
            return unit;
    }
    return nullptr;
}

std::vector<int32_t> CTarnwickView::SelectedUnitNos() const
{
    std::vector<int32_t> numbers;
    CPlanLayer* layer = FirstLayerOf(m_app);
    SharedWalk walk(layer, 20);
    if (!walk)
        return numbers;
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        const CUnitCanLoad& unit = *layer->GetUnitAt(i);
        if (unit.m_Selected && !unit.m_Removed &&
            std::find(numbers.begin(), numbers.end(), unit.m_UnitNo) == numbers.end())
            numbers.push_back(unit.m_UnitNo);
    }
    return numbers;
}

QString CTarnwickView::MoveLockReason(const CUnitCanLoad& unit) const
{
    const int now = CurrentTime();
    if (unit.m_AppearTime == now)
        return {};
    return QStringLiteral("%1 出现于第%2秒, 只能在该时刻拖动 (当前第%3秒)")
        .arg(QString::fromStdString(unit.m_UnitName))
        .arg(unit.m_AppearTime)
        .arg(now);
}

void CTarnwickView::ToggleOrBand(const QPoint& p)
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    SharedWalk walk(layer, 20);
    if (!walk)
        return;
    if (CUnitCanLoad* unit = UnitAt(p)) {
        unit->m_Selected = unit->m_Selected ? 0 : 1;
        // The panels show the first selected unit, as the unit commands act on it.
        if (const CUnitCanLoad* first = FirstSelected())
            ShowUnitInPanels(*first);
        update();
        return;
    }
    m_bandStart = p;
    m_viewState.rubberBand = QRect(p, QSize(1, 1));
    update();
}

void CTarnwickView::EndRubberBand()
{
    const QRect band = m_viewState.rubberBand;
    m_viewState.rubberBand = QRect();
    CPlanLayer* layer = FirstLayerOf(m_app);
    {
        SharedWalk walk(layer, 20);
        if (walk) {
            // Ctrl held: the band adds the units whose centre lies in it.
            const CUnitCanLoad* first = nullptr;
            for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
                CUnitCanLoad& unit = *layer->GetUnitAt(i);
                if (unit.m_Removed || unit.m_UnitType == kUnitTypeFire)
                    continue;
                int px = 0, py = 0;
                m_app.GetMap()->MapToView(unit.m_CurX, unit.m_CurY, px, py);
                if (band.contains(QPoint(px, py))) {
                    unit.m_Selected = 1;
                    if (!first)
                        first = &unit;
                }
            }
            if (first)
                ShowUnitInPanels(*first);
        }
    }
    update();
}

// ---- wheel zoom ------------------------------------------------------------------------

void CTarnwickView::ZoomAbout(const QPoint& at, int steps)
{
    CMapLoader* map = m_app.GetMap();
    if (!map || steps == 0)
        return;
    const int w = map->GetViewWidth(), h = map->GetViewHeight();
    if (map->GetMapType() == 0)
        map->UpdateSourceRect(w, h);
    double x = 0, y = 0;
    map->ViewToMap(x, y, at.x(), at.y());
    for (int i = 0; i < std::abs(steps); ++i) {
        if (steps > 0)
            map->ZoomIn();
        else
            map->ZoomOut();
    }
    if (map->GetMapType() == 0)
        map->UpdateSourceRect(w, h);
    // Where the point went; the map moves it back under the cursor.
    int qx = 0, qy = 0;
    map->MapToView(x, y, qx, qy);
    const int dx = at.x() - qx, dy = at.y() - qy;
    if (dx != 0 || dy != 0) {
        map->Pan(-dx, dy);
        if (map->GetMapType() == 0)
            map->UpdateSourceRect(w, h);
    }
    map->RefreshGisPicture();
    update();
    emit mapViewChanged();
}

void CTarnwickView::wheelEvent(QWheelEvent* event)
{
    if (!m_app.GetMap() || m_viewState.dragging || (m_trackedUnitNo && m_tracker.Tracking())) {
        event->ignore();
        return;
    }
    m_wheelRemainder += event->angleDelta().y();
    const int steps = m_wheelRemainder / kWheelStep;
    m_wheelRemainder -= steps * kWheelStep;
    ZoomAbout(event->position().toPoint(), steps);
    event->accept();
}

// ---- nudges ------------------------------------------------------------------------------

bool CTarnwickView::NudgeSelected(int dx, int dy)
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    CMapLoader* map = m_app.GetMap();
    if (!layer || !map || m_app.m_EditMode == 0 || m_viewState.pickActive)
        return false;
    std::vector<int32_t> moving;
    QString lockReason;
    {
        SharedWalk walk(layer, 20);
        if (!walk)
            return false;
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad& unit = *layer->GetUnitAt(i);
            if (!unit.m_Selected || unit.m_Removed)
                continue;
            const QString reason = MoveLockReason(unit);
            if (!reason.isEmpty()) {
                if (lockReason.isEmpty())
                    lockReason = reason;
            } else if (std::find(moving.begin(), moving.end(), unit.m_UnitNo) == moving.end()) {
                moving.push_back(unit.m_UnitNo);
            }
        }
    }
    if (moving.empty()) {
        if (!lockReason.isEmpty())
            emit statusMessage(lockReason);
        return false;
    }
    if (!m_app.m_EditHistory.RecordUnits(*layer, "移动单位", moving))
        return false;
    {
        SharedWalk walk(layer, 20);
        if (!walk)
            return false;
        for (int32_t no : moving) {
            CUnitCanLoad* unit = layer->GetUnitByNo(no);
            if (!unit)
                continue;
            // The offset of one view pixel at the unit, not a snap to the pixel
            // grid: repeated nudges add up exactly.
            int px = 0, py = 0;
            map->MapToView(unit->m_CurX, unit->m_CurY, px, py);
            double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            map->ViewToMap(x0, y0, px, py);
            map->ViewToMap(x1, y1, px + dx, py + dy);
            unit->m_CurX = unit->m_InitX = unit->m_CurX + (x1 - x0);
            unit->m_CurY = unit->m_InitY = unit->m_CurY + (y1 - y0);
            unit->m_RectTracker.m_handlesInside = true;
        }
        if (CUnitCanLoad* first = layer->GetUnitByNo(moving.front()))
            emit unitShown(first->m_UnitNo, QString::fromStdString(first->m_UnitName), first->m_AppearTime,
                           first->m_InitX, first->m_InitY, first->m_CurX, first->m_CurY);
    }
    if (!lockReason.isEmpty())
        emit statusMessage(lockReason);
    update();
    return true;
}

void CTarnwickView::keyPressEvent(QKeyEvent* event)
{
    const int step = (event->modifiers() & Qt::ShiftModifier) ? 10 : 1;
    int dx = 0, dy = 0;
    switch (event->key()) {
    case Qt::Key_Left: dx = -step; break;
    case Qt::Key_Right: dx = step; break;
    case Qt::Key_Up: dy = -step; break;
    case Qt::Key_Down: dy = step; break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    if (!m_app.GetPlan()) {
        QWidget::keyPressEvent(event);
        return;
    }
    NudgeSelected(dx, dy);
    event->accept();
}

// ---- cursor and tooltip ------------------------------------------------------------------

Qt::CursorShape CTarnwickView::CursorShapeAt(const QPoint& p) const
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    if (!m_app.GetMap() || m_app.m_EditMode == 0 || m_viewState.pickActive)
        return Qt::ArrowCursor;
    SharedWalk walk(layer, 5);
    if (!walk)
        return Qt::ArrowCursor;
    // The handles of a selected unit first: they may lie outside its image.
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        const CUnitCanLoad& unit = *layer->GetUnitAt(i);
        if (!unit.m_Selected || unit.m_Removed || !MoveLockReason(unit).isEmpty())
            continue;
        switch (CRectTracker(UnitRect(unit), unit.m_RectTracker.m_handlesInside).HitTest(p)) {
        case CRectTracker::hitTopLeft:
        case CRectTracker::hitBottomRight: return Qt::SizeFDiagCursor;
        case CRectTracker::hitTopRight:
        case CRectTracker::hitBottomLeft: return Qt::SizeBDiagCursor;
        case CRectTracker::hitTop:
        case CRectTracker::hitBottom: return Qt::SizeVerCursor;
        case CRectTracker::hitLeft:
        case CRectTracker::hitRight: return Qt::SizeHorCursor;
        default: break;
        }
    }
    if (const CUnitCanLoad* unit = UnitAt(p))
        return MoveLockReason(*unit).isEmpty() ? Qt::SizeAllCursor : Qt::PointingHandCursor;
    return Qt::ArrowCursor;
}

QString CTarnwickView::UnitToolTipAt(const QPoint& p) const
{
    CPlanLayer* layer = FirstLayerOf(m_app);
    if (!m_app.GetMap())
        return {};
    SharedWalk walk(layer, 20);
    if (!walk)
        return {};
    const CUnitCanLoad* unit = UnitAt(p);
    if (!unit)
        return {};
    const QString className = unit->m_ClassInfo ? QString::fromStdString(unit->m_ClassInfo->name)
                                                : QString::fromStdString(unit->m_ClassId);
    // The next action: the first one starting at the current time or later.
    const int now = CurrentTime();
    const WGAction* next = nullptr;
    for (const auto& action : unit->m_Actions)
        if (action->m_ActionTime >= now && (!next || action->m_ActionTime < next->m_ActionTime))
            next = action.get();
    const QString nextText = next ? QStringLiteral("%1 (第%2秒)")
                                        .arg(QString::fromStdString(next->m_ActionName))
                                        .arg(next->m_ActionTime)
                                  : QStringLiteral("无");
    return QStringLiteral("%1\n编号: %2\n类型: %3\n出现时间: 第%4秒\n下一动作: %5")
        .arg(QString::fromStdString(unit->m_UnitName))
        .arg(unit->m_UnitNo)
        .arg(className)
        .arg(unit->m_AppearTime)
        .arg(nextText);
}

bool CTarnwickView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = UnitToolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return QWidget::event(event);
}

void CTarnwickView::SetShowAllPlans(bool on)
{
    m_viewState.showAllPlans = on;
    update();
}
