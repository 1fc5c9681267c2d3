#include "engine/UnitStepTable.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

uint32_t SecondsToMs(int32_t seconds)
{
    return uint32_t(seconds) * 1000u;  // as playback compares them
}

}  // namespace

void CUnitStepTable::Insert(size_t i)
{
    if (i < m_entries.size())
        m_entries.insert(m_entries.begin() + std::ptrdiff_t(i), Entry{});
}

void CUnitStepTable::Erase(size_t i)
{
    if (i < m_entries.size())
        m_entries.erase(m_entries.begin() + std::ptrdiff_t(i));
}

void CUnitStepTable::Take(Entry& e, CUnitCanLoad& unit, uint32_t nowMs, bool baseStepped) const
{
    e = Entry{};
    e.unit = &unit;
    e.fromMs = nowMs;
    // A kind with a step of its own (fire units) is stepped in full every tick.
    if (!baseStepped)
        return;
    const uint32_t appearMs = SecondsToMs(unit.m_AppearTime);
    if (appearMs > nowMs) {
        e.mode = Mode::Wait;
        e.untilMs = appearMs;
        return;
    }
    if (unit.m_StepEdits != m_edits || unit.m_StepUntilMs == 0 || unit.m_Actions.size() != unit.m_StepActionCount ||
        unit.m_StepActionCount > 0xffff)
        return;
    // A start at 2^32 ms never comes; the last tick time is stepped in full all the same.
    e.untilMs = uint32_t(std::min<uint64_t>(unit.m_StepUntilMs, 0xffffffffu));
    e.visits = unit.m_StepVisits;
    e.actionCount = uint16_t(unit.m_StepActionCount);
    if (unit.m_SteppedCount == 0) {
        e.mode = Mode::Idle;
        return;
    }
    if (unit.m_SteppedCount != 1 || unit.m_Stepped[0] >= unit.m_Actions.size())
        return;
    const WGAction& a = *unit.m_Actions[unit.m_Stepped[0]];
    const WGRoute* route = a.GetFirstRoute();
    // Exactly the case in which the move's step only interpolates (see ExecuteMove).
    if (a.m_ActionType != kActionMove || !a.m_Running || a.GetActingUnit() != &unit || !a.m_SpeedDerived ||
        !route || a.m_CurrentPoint + 1 >= route->m_Points.size() || !(a.m_SpeedMapUnits > 0.0) ||
        !std::isfinite(a.m_SpeedMapUnits) || a.m_SegmentDurationMs == 0)
        return;
    const RoutePoint& p0 = route->m_Points[a.m_CurrentPoint];
    const RoutePoint& p1 = route->m_Points[a.m_CurrentPoint + 1];
    e.x0 = p0.X;
    e.y0 = p0.Y;
    e.x1 = p1.X;
    e.y1 = p1.Y;
    e.segmentStartMs = a.m_SegmentStartMs;
    e.segmentDurationMs = a.m_SegmentDurationMs;
    e.mode = Mode::Move;
}
