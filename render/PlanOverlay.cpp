#include "render/PlanOverlay.h"

#include "config/UnitClassCatalog.h"
#include "engine/PlanLayer.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "map/MapLoader.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

#include <cmath>

namespace {

constexpr uint32_t kDefaultFireColour = 200;  // 0x00BBGGRR, as fire lines use

QPoint ToView(CMapLoader& map, double x, double y)
{
    int px = 0, py = 0;
    map.MapToView(x, y, px, py);
    return {px, py};
}

QColor FromColorRef(uint32_t bgr)
{
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

// Text with a light outline, readable on any map.
void HaloText(QPainter& painter, const QPoint& at, const QString& text, const QColor& colour)
{
    QPainterPath path;
    path.addText(at, painter.font(), text);
    painter.setPen(QPen(QColor::fromRgb(CPlanOverlay::kHaloColour), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPath(path);
}

void Arrow(QPainter& painter, const QPoint& from, const QPoint& to, const QColor& colour)
{
    const double dx = to.x() - from.x(), dy = to.y() - from.y();
    const double length = std::hypot(dx, dy);
    if (length < 24)
        return;  // no room beside the point markers
    const double ux = dx / length, uy = dy / length;
    const QPointF mid((from.x() + to.x()) / 2.0, (from.y() + to.y()) / 2.0);
    const QPointF tip = mid + QPointF(ux * 5, uy * 5);
    const QPointF back = mid - QPointF(ux * 5, uy * 5);
    QPolygonF head;
    head << tip << back + QPointF(-uy * 5, ux * 5) << back + QPointF(uy * 5, -ux * 5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawPolygon(head);
}

void NumberedPoint(QPainter& painter, const QPoint& at, int number, const QColor& colour)
{
    const int r = CPlanOverlay::kPointRadius;
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::white);
    painter.drawEllipse(at, r, r);
    painter.setPen(colour);
    painter.drawText(QRect(at.x() - r, at.y() - r, 2 * r, 2 * r), Qt::AlignCenter, QString::number(number));
}

void DrawMove(QPainter& painter, const WGAction& action, CMapLoader& map)
{
    const WGRoute* route = action.GetFirstRoute();
    if (!route || route->m_Points.empty())
        return;
    const QColor colour = QColor::fromRgb(CPlanOverlay::kRouteColour);
    QPolygon line;
    for (const RoutePoint& p : route->m_Points)
        line << ToView(map, p.X, p.Y);
    painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(line);
    for (int i = 0; i + 1 < line.size(); ++i)
        Arrow(painter, line[i], line[i + 1], colour);
    for (int i = 0; i < line.size(); ++i)
        NumberedPoint(painter, line[i], i + 1, colour);
    HaloText(painter, line[0] + QPoint(CPlanOverlay::kPointRadius + 2, -CPlanOverlay::kPointRadius - 2),
             QStringLiteral("%1 %2").arg(QString::fromStdString(action.m_ActionName),
                                         CPlanOverlay::TimeLabel(action.m_ActionTime)),
             colour);
}

void DrawStrike(QPainter& painter, const CUnitCanLoad& unit, const WGAction& action, CMapLoader& map,
                const CUnitClassCatalog* catalog)
{
    const WGRoute* route = action.GetFirstRoute();
    if (!route || route->m_Points.empty())
        return;
    const UnitClassInfo* weapon = catalog ? catalog->FindUnitClassById(action.m_BulletType) : nullptr;
    const QColor colour = FromColorRef(weapon ? weapon->fireColor : kDefaultFireColour);
    const QPoint target = ToView(map, route->m_Points[0].X, route->m_Points[0].Y);
    const QPoint from = ToView(map, unit.m_CurX, unit.m_CurY);
    painter.setPen(QPen(colour, 1, Qt::DotLine));
    painter.drawLine(from, target);
    painter.setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
    const int r = CPlanOverlay::kPointRadius;
    painter.drawLine(target + QPoint(-r, -r), target + QPoint(r, r));
    painter.drawLine(target + QPoint(-r, r), target + QPoint(r, -r));
    HaloText(painter, target + QPoint(r + 3, -r),
             QStringLiteral("×%1 %2").arg(action.m_HitTime).arg(CPlanOverlay::TimeLabel(action.m_ActionTime)),
             colour);
}

void DrawUnload(QPainter& painter, const WGAction& action, CMapLoader& map)
{
    const WGRoute* route = action.GetFirstRoute();
    if (!route || route->m_Points.empty())
        return;
    const QColor colour = QColor::fromRgb(CPlanOverlay::kUnloadColour);
    const QPoint at = ToView(map, route->m_Points[0].X, route->m_Points[0].Y);
    const int r = CPlanOverlay::kPointRadius;
    QPolygon triangle;
    triangle << at + QPoint(0, r) << at + QPoint(-r, -r) << at + QPoint(r, -r);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::white);
    painter.drawPolygon(triangle);
    HaloText(painter, at + QPoint(r + 3, -r),
             QStringLiteral("卸载 %1 %2").arg(action.m_UnitNo).arg(CPlanOverlay::TimeLabel(action.m_ActionTime)),
             colour);
}

void DrawLoad(QPainter& painter, const CPlanLayer& layer, const CUnitCanLoad& unit, const WGAction& action,
              CMapLoader& map)
{
    const CUnitCanLoad* loaded = layer.GetUnitByNo(action.m_UnitNo);
    if (!loaded || loaded == &unit)
        return;
    const QColor colour = QColor::fromRgb(CPlanOverlay::kLoadColour);
    const QPoint from = ToView(map, unit.m_CurX, unit.m_CurY);
    const QPoint to = ToView(map, loaded->m_CurX, loaded->m_CurY);
    painter.setPen(QPen(colour, 2, Qt::DashLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(from, to);
    Arrow(painter, to, from, colour);  // the loaded unit goes to its carrier
    const QPoint mid((from.x() + to.x()) / 2, (from.y() + to.y()) / 2);
    HaloText(painter, mid + QPoint(6, -6), QStringLiteral("装载 %1").arg(CPlanOverlay::TimeLabel(action.m_ActionTime)),
             colour);
}

}  // namespace

QString CPlanOverlay::TimeLabel(int seconds)
{
    const int s = seconds < 0 ? 0 : seconds;
    if (s >= 3600)
        return QString::asprintf("T+%d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
    return QString::asprintf("T+%02d:%02d", s / 60, s % 60);
}

void CPlanOverlay::DrawUnitPlan(QPainter& painter, const CPlanLayer& layer, const CUnitCanLoad& unit,
                                CMapLoader& map, const CUnitClassCatalog* catalog)
{
    for (const auto& action : unit.m_Actions) {
        switch (action->m_ActionType) {
        case kActionMove: DrawMove(painter, *action, map); break;
        case kActionStrike: DrawStrike(painter, unit, *action, map, catalog); break;
        case kActionLoad: DrawLoad(painter, layer, unit, *action, map); break;
        case kActionUnload: DrawUnload(painter, *action, map); break;
        default: break;
        }
    }
}

void CPlanOverlay::Draw(QPainter& painter, const CPlanLayer& layer, CMapLoader& map, bool showAll,
                        const CUnitClassCatalog* catalog)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The faded plans first, so the selected ones lie on top.
    if (showAll) {
        painter.setOpacity(kFadedOpacity);
        for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
            const CUnitCanLoad& unit = *layer.GetUnitAt(i);
            if (!unit.m_Selected && !unit.m_Removed && unit.m_UnitType != kUnitTypeFire)
                DrawUnitPlan(painter, layer, unit, map, catalog);
        }
    }
    painter.setOpacity(1.0);
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        const CUnitCanLoad& unit = *layer.GetUnitAt(i);
        if (unit.m_Selected && !unit.m_Removed && unit.m_UnitType != kUnitTypeFire)
            DrawUnitPlan(painter, layer, unit, map, catalog);
    }
    painter.restore();
}
