// The per-tick passes of a layer (dispatch and hit check) and the unit's hit test.
#include "config/UnitClassCatalog.h"
#include "engine/HitGeometry.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/PlaybackEvents.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "map/MapSource.h"

#include <algorithm>
#include <cmath>
#include <strings.h>

using playback::Format;


bool CUnitCanLoad::IsHitImmune() const
{
    if (!m_ClassInfo)
        return false;
    // strcasecmp(code, "03") == 0, without a library call per unit and tick
    // (digits have no case; the text ends at its first NUL as there).
    const char* code = m_ClassInfo->classCode.c_str();
    return code[0] == '0' && code[1] == '3' && code[2] == '\0';
}

void CUnitCanLoad::CheckHits(const FireLineList& lines, double hitDistance, std::vector<PendingHit>& hits)
{
    if (IsHitImmune())
        return;
    const double px = m_CurX, py = m_CurY;
    const CPlayState* play = m_Layer ? m_Layer->GetPlayState() : nullptr;
    const auto MetresScale = [&](double y) {
        return MapUnitsPerKm(m_Layer ? m_Layer->m_MapType : 1, play && play->BitmapRealKm(), y);
    };
    for (const FireLine& line : lines) {
        if (line.strikerNo == m_UnitNo)
            continue;
        if (hitgeometry::OutsideBothSpans(px, py, line)) {
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
                            d * 1000.0 / MetresScale(py), this});
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

// The walk of DispatchUnits, with the units the step table lets pass stepped
// (or passed over) in place: the same calls in the same order otherwise.
int CPlanLayer::DispatchClock(uint32_t previousMs, uint32_t nowMs, const void* context)
{
    playback::DeferredEvents events;  // handed over when this function returns, the gate released
    constexpr uint32_t kTimeoutMs = 20;
    constexpr uint32_t kDeleteWaitMs = 2;
    if (!LockShared(kTimeoutMs))
        return 0;
    m_Steps.BeginWalk(CUnitCanLoad::ActionEditCount());
    m_HitInputsFromWalk = false;
    const uint64_t writesBefore = m_PositionWrites.load(std::memory_order_relaxed);
    bool deleted = false;
    size_t i = 0;
    while (i < m_Units.Size()) {
        CUnitCanLoad* unit = m_Units.At(i);
        m_Steps.Reach(i);
        CUnitStepTable::Entry& entry = m_Steps.At(i);
        // Bound by memory latency at scale: each unit's line is brought in
        // ahead of its turn, and a unit that will be stepped in full has its
        // action list and running action brought in too.
        if (i + 16 < m_Steps.Size())
            __builtin_prefetch(&m_Steps.At(i + 16));
        if (i + 8 < m_Steps.Size()) {
            const CUnitStepTable::Entry& ahead = m_Steps.At(i + 8);
            if (ahead.unit) {
                __builtin_prefetch(ahead.unit, 1);
                if (m_Steps.WillStepInFull(ahead, nowMs))
                    ahead.unit->PrefetchSelf();
            }
        }
        if (i + 4 < m_Steps.Size()) {
            const CUnitStepTable::Entry& ahead = m_Steps.At(i + 4);
            if (ahead.unit && m_Steps.WillStepInFull(ahead, nowMs))
                ahead.unit->PrefetchActionList();
        }
        if (i + 2 < m_Steps.Size()) {
            const CUnitStepTable::Entry& ahead = m_Steps.At(i + 2);
            if (ahead.unit && m_Steps.WillStepInFull(ahead, nowMs))
                ahead.unit->PrefetchSteppedAction();
        }
        if (!m_Steps.ShortStep(entry, unit, nowMs)) {
            const uint32_t visits = unit->m_StepVisits;
            if (unit->RecvClockEvent(previousMs, nowMs, context) == 0) {
                UnlockShared();
                return 0;
            }
            m_Steps.Take(entry, *unit, nowMs, unit->m_StepVisits != visits);
        }
        if (unit->m_Removed == 0) {
            // What the hit pass would read of the unit, while its line is here.
            if (m_HitXs.size() <= i) {
                const size_t size = std::max<size_t>(i + 1, m_Units.Size());
                m_HitXs.resize(size);
                m_HitYs.resize(size);
                m_HitFlags.resize(size);
                m_HitUnits.resize(size);
            }
            m_HitXs[i] = unit->m_CurX;
            m_HitYs[i] = unit->m_CurY;
            m_HitFlags[i] = unit->m_HitFlag != 0;
            m_HitUnits[i] = unit;
            ++i;
            continue;
        }
        deleted = true;
        UnlockShared();
        // A painter may hold the gate for a whole frame; the clock does not
        // wait for it: the unit stays marked and goes at its next visit.
        if (!TryLockExclusive(kDeleteWaitMs)) {
            if (!LockShared(kTimeoutMs))
                return 1;
            ++i;
            continue;
        }
        i = DeleteRemovedLocked(unit, i);
        UnlockExclusive();
        if (!LockShared(kTimeoutMs))
            return 1;
    }
    // Unloads during the walk may have moved units already noted.
    m_HitInputsFromWalk = !deleted && i == m_Units.Size() &&
                          m_PositionWrites.load(std::memory_order_relaxed) == writesBefore;
    m_HitInputsWrites = m_PositionWrites.load(std::memory_order_relaxed);
    m_HitInputsChanges = m_ListChanges.load(std::memory_order_relaxed);
    UnlockShared();
    return 1;
}

bool CPlanLayer::HitInputsCurrent() const
{
    return m_HitInputsFromWalk && m_HitXs.size() >= m_Units.Size() &&
           m_HitInputsWrites == m_PositionWrites.load(std::memory_order_relaxed) &&
           m_HitInputsChanges == m_ListChanges.load(std::memory_order_relaxed);
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
    const bool fromWalk = HitInputsCurrent();
    m_HitInputsFromWalk = false;
    m_HitXs.resize(n);
    m_HitYs.resize(n);
    m_HitFlags.resize(n);
    m_HitUnits.resize(n);
    // Else the one pass over the units' lines (all that is read of most
    // units): positions, and flags, which only this pass changes.
    for (size_t i = 0; i < n && !fromWalk; ++i) {
        if (i + 12 < n)
            __builtin_prefetch(m_Units.At(i + 12));
        CUnitCanLoad* unit = m_Units.At(i);
        m_HitUnits[i] = unit;
        m_HitXs[i] = unit->m_CurX;
        m_HitYs[i] = unit->m_CurY;
        m_HitFlags[i] = unit->m_HitFlag != 0;
    }
    // Only the few (unit, line) pairs a grid walk along each line finds get
    // the exact test; the outcome equals the full pass over all lines because
    // a line that does not hit a unit only clears its flag.
    m_HitFinder.SetUnits(m_HitXs, m_HitYs);
    m_HitPairs.clear();
    m_HitFinder.FindCandidatePairs(fireLines, hitDistance, m_HitPairs);
    m_ExactHits.clear();
    for (const auto& [ui, li] : m_HitPairs) {
        const FireLine& line = fireLines[li];
        const CUnitCanLoad* unit = m_HitUnits[ui];
        if (line.strikerNo == unit->m_UnitNo)
            continue;
        const double px = m_HitXs[ui], py = m_HitYs[ui];
        if (hitgeometry::OutsideBothSpans(px, py, line))
            continue;
        const double d = hitgeometry::DistanceToLine(px, py, line);
        if (d > hitDistance)
            continue;
        m_ExactHits.push_back({ui, li, d});
    }
    std::sort(m_ExactHits.begin(), m_ExactHits.end(), [](const ExactHit& a, const ExactHit& b) {
        return a.unit != b.unit ? a.unit < b.unit : a.line < b.line;
    });

    const int firstStriker = fireLines.front().strikerNo;
    bool oneStriker = true;
    for (const FireLine& line : fireLines)
        oneStriker = oneStriker && line.strikerNo == firstStriker;
    // True when a line in [from, to) is not the unit's own (and so clears its flag).
    const auto missBetween = [&](size_t from, size_t to, int unitNo) {
        for (size_t j = from; j < to; ++j)
            if (fireLines[j].strikerNo != unitNo)
                return true;
        return false;
    };

    size_t h = 0;
    for (size_t i = 0; i < n; ++i) {
        const size_t first = h;
        while (h < m_ExactHits.size() && m_ExactHits[h].unit == i)
            ++h;
        // Most units are neither hit nor flagged: they are not looked at again.
        if (first == h && !m_HitFlags[i])
            continue;
        CUnitCanLoad* unit = m_HitUnits[i];
        if (first == h) {
            if (!unit->IsHitImmune() && (!oneStriker || unit->m_UnitNo != firstStriker))
                unit->m_HitFlag = 0;
            continue;
        }
        if (unit->IsHitImmune())
            continue;
        int flag = unit->m_HitFlag;
        size_t next = 0;  // first line not yet walked
        for (size_t k = first; k < h; ++k) {
            const ExactHit& hit = m_ExactHits[k];
            if (missBetween(next, hit.line, unit->m_UnitNo))
                flag = 0;
            if (flag == 0)
                m_PendingHits.push_back({Format("%s[编号:%d]", unit->m_UnitName.c_str(), unit->m_UnitNo),
                                         fireLines[hit.line].description,
                                         hit.distance * 1000.0 /
                                             MapUnitsPerKm(m_MapType, play->BitmapRealKm(), m_HitYs[i]),
                                         unit});
            flag = 1;
            unit->m_LastAttacker = fireLines[hit.line].description;
            next = hit.line + 1;
        }
        if (missBetween(next, fireLines.size(), unit->m_UnitNo))
            flag = 0;
        unit->m_HitFlag = flag;
    }
    UnlockShared();

    // Reported with no lock of the layer held; the hit list takes its own lock briefly.
    for (const auto& hit : m_PendingHits) {
        const HitRecord record{hit.victim, hit.attacker, hit.distance, play->TimeText(), hit.unit,
                               play->GetCurrentMs()};
        if (play->RecordsHits())
            play->HitList().Append(record);
        play->EventSink().OnHit(record);
        play->EventSink().OnEvent(
            {record.timeText,
             Format("%s被%s击中.[距离火力线%.2f米]", hit.victim.c_str(), hit.attacker.c_str(), hit.distance),
             play->GetCurrentEpoch()});
    }
    m_PendingHits.clear();
}
