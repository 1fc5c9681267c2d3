// The per-tick passes of a layer (dispatch and hit check) and the unit's hit test.
#include "app/UnitClassCatalog.h"
#include "engine/HitGeometry.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/PlaybackEvents.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "map/MapSource.h"

#include <cmath>
#include <strings.h>

using playback::Format;

namespace {

// True when P is certainly farther than `limit` from the line through S and
// E, judged by the cross product (no square roots of sums) with a margin
// that covers the rounding of the side-length formula the hit test uses; only
// undecided points go through that formula.
bool ClearlyBeyond(double px, double py, const FireLine& l, double limit)
{
    const double ex = l.endX - l.startX, ey = l.endY - l.startY;
    const double c2 = ex * ex + ey * ey;
    if (!(c2 > 0) || !std::isfinite(c2))
        return false;
    const double dx = px - l.startX, dy = py - l.startY;
    const double cross = std::fabs(dx * ey - dy * ex);
    const double c = std::sqrt(c2);
    const double a = std::fabs(dx) + std::fabs(dy);  // at least |P - S|
    // The side-length formula errs by up to about sqrt(9 eps a / c) (a + c).
    const double margin = 12.0 * std::sqrt(2.3e-16 * a / c) * (a + c) + 1e-300;
    return cross > (limit + margin) * c;
}

}  // namespace

bool CUnitCanLoad::IsHitImmune() const
{
    return m_ClassInfo && strcasecmp(m_ClassInfo->classCode.c_str(), "03") == 0;
}

void CUnitCanLoad::CheckHits(const FireLineList& lines, double hitDistance, std::vector<PendingHit>& hits)
{
    if (IsHitImmune())
        return;
    const double px = m_CurX, py = m_CurY;
    for (const FireLine& line : lines) {
        if (line.strikerNo == m_UnitNo)
            continue;
        if (hitgeometry::OutsideBothSpans(px, py, line)) {
            m_HitFlag = 0;
            continue;
        }
        if (ClearlyBeyond(px, py, line, hitDistance)) {
            m_HitFlag = 0;
            continue;
        }
        const double d = hitgeometry::DistanceToLine(px, py, line);
        if (d > hitDistance) {
            m_HitFlag = 0;
            continue;
        }
        if (m_HitFlag == 0)
            hits.push_back({Format("%s[编号:%d]", m_UnitName.c_str(), m_UnitNo), line.description,
                            d * 1000.0 / DegreesPerKm(py)});
        m_HitFlag = 1;
        m_LastAttacker = line.description;
    }
}

CPlayState* CPlanLayer::GetPlayState() const
{
    return m_Plan ? m_Plan->GetPlayState() : nullptr;
}

CPlanLayer* CPlanLayer::GetFirstLayerOfPlan()
{
    CPlanLayer* first = m_Plan ? m_Plan->GetFirstLayer() : nullptr;
    return first ? first : this;
}

int CPlanLayer::DispatchClock(uint32_t previousMs, uint32_t nowMs, const void* context)
{
    playback::DeferredEvents events;  // handed over when this function returns, the gate released
    return DispatchUnits([&](CUnitCanLoad& unit) { return unit.RecvClockEvent(previousMs, nowMs, context); }, 20);
}

void CPlanLayer::CheckHits(FireLineList& fireLines)
{
    CPlayState* play = GetPlayState();
    // Without fire lines no flag changes and nothing is hit.
    if (!play || fireLines.empty())
        return;
    const double hitDistance = play->GetHitDistance();
    m_PendingHits.clear();
    if (!LockShared(1))
        return;  // a deletion is waiting or running: the units are not walked this tick
    // Units appended meanwhile (by the user-interface thread) wait for the next tick.
    const size_t n = m_Units.Size();
    m_HitXs.resize(n);
    m_HitYs.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const CUnitCanLoad* unit = m_Units.At(i);
        m_HitXs[i] = unit->m_CurX;
        m_HitYs[i] = unit->m_CurY;
    }
    m_HitCandidates.clear();
    m_HitFinder.SetUnits(m_HitXs, m_HitYs);
    m_HitFinder.FindCandidates(fireLines, hitDistance, m_HitCandidates);

    // A unit no line can hit still has its flag cleared by every line of
    // another striker, as the full pass would.
    const int firstStriker = fireLines.front().strikerNo;
    bool oneStriker = true;
    for (const FireLine& line : fireLines)
        oneStriker = oneStriker && line.strikerNo == firstStriker;

    size_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        CUnitCanLoad* unit = m_Units.At(i);
        const bool candidate = c < m_HitCandidates.size() && m_HitCandidates[c] == i;
        if (candidate)
            ++c;
        if (unit->IsHitImmune())
            continue;
        if (candidate)
            unit->CheckHits(fireLines, hitDistance, m_PendingHits);
        else if (!oneStriker || unit->m_UnitNo != firstStriker)
            unit->m_HitFlag = 0;
    }
    UnlockShared();

    // Reported with no lock of the layer held; the hit list takes its own lock briefly.
    for (const auto& hit : m_PendingHits) {
        const HitRecord record{hit.victim, hit.attacker, hit.distance, play->TimeText()};
        play->HitList().Append(record);
        play->EventSink().OnHit(record);
        play->EventSink().OnEvent(
            {record.timeText,
             Format("%s被%s击中.[距离火力线%.2f米]", hit.victim.c_str(), hit.attacker.c_str(), hit.distance)});
    }
    m_PendingHits.clear();
}
