// Playing ticks while the clock is stopped: the plain way (PlayTicks, what the
// clock does tick by tick) and the seek (SeekTo), which leaves the plan in
// exactly the state the plain way leaves, visiting in each tick only the
// units that can do something in it.
//
// In most ticks a unit either does nothing or continues a move along the
// current segment, and a move step depends only on the time since the
// segment began, not on the positions of the ticks before. Whether a segment
// has been passed is monotonic in that time (every operation of the test
// rounds monotonically), so the first tick that passes it is found by
// bisection with the very function playback uses. A unit is visited only
//   - in the first and the last tick, and in every tick in which fire lines
//     may be drawn while the hit check is on (the check reads every unit's
//     position), where every unit is visited;
//   - in every tick in which one of its actions is due or it appears, and in
//     the tick before (a starting move or strike reads the unit's own
//     position, which must be the one of the previous tick);
//   - in the ticks where one of its running moves passes a point or ends;
//   - in every tick while it runs a strike, and always for fire units.
// An action reads only the position of the unit it acts on; loading and
// unloading change the carried flags and lists, and an unloaded unit's
// position is written, not read. Units tied by an action (the acting unit of
// another unit's action, the unit a load or unload names) are visited
// together, so their order within a tick is kept. So a skipped move step
// (which would only overwrite the position again) changes nothing that is
// observed, events keep their order (a skipped unit would have posted none),
// and the last tick is full, so final positions are exact.
#include "engine/Plan.h"

#include "engine/PlaybackEvents.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "engine/WGAction.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();

uint32_t SecondsToMs(int32_t seconds)
{
    return uint32_t(seconds) * 1000u;
}

// Tick numbers: tick k plays plan time k x period.
class TickScale {
public:
    explicit TickScale(uint32_t periodMs) : m_period(periodMs) {}
    uint32_t Ms(uint64_t tick) const { return uint32_t(tick * m_period); }
    // The first tick whose time reaches `ms`.
    uint64_t FirstReaching(uint64_t ms) const { return (ms + m_period - 1) / m_period; }
    // The tick at exactly `ms`, or kNever when no tick falls on it.
    uint64_t At(uint32_t ms) const { return ms % m_period == 0 ? ms / m_period : kNever; }
    uint32_t Period() const { return m_period; }

private:
    uint32_t m_period;
};

// First tick in [next, last] whose execution of this running move does more
// than move the unit along its segment: passes the segment's end point, or
// ends the move. kNever when none does.
uint64_t MoveWake(const WGAction& a, uint64_t next, uint64_t last, const TickScale& ticks)
{
    const WGRoute* route = a.GetFirstRoute();
    if (!route || route->m_Points.empty())
        return kNever;
    const std::vector<RoutePoint>& points = route->m_Points;
    if (!a.m_SpeedDerived || a.m_CurrentPoint + 1 >= points.size())
        return next;
    if (!(a.m_SpeedMapUnits > 0.0) || !std::isfinite(a.m_SpeedMapUnits))
        return kNever;  // stands still for ever
    if (a.m_SegmentDurationMs == 0 || a.m_SegmentStartMs > ticks.Ms(next))
        return next;  // passed at once, or the elapsed time would wrap: step it
    const RoutePoint& p0 = points[a.m_CurrentPoint];
    const RoutePoint& p1 = points[a.m_CurrentPoint + 1];
    auto passed = [&](uint64_t tick) {
        double x = 0, y = 0;
        return WGAction::SegmentStep(p0, p1, ticks.Ms(tick) - a.m_SegmentStartMs, a.m_SegmentDurationMs, x, y);
    };
    if (!passed(last))
        return kNever;
    uint64_t lo = next, hi = last;
    while (lo < hi) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (passed(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

// The next tick in [next, last] in which the unit must be visited outside the full ticks.
uint64_t UnitWake(const CUnitCanLoad& unit, uint64_t next, uint64_t last, const TickScale& ticks)
{
    if (next > last)
        return kNever;
    if (unit.AsFire())
        return next;
    // Not there yet: its appearance is a due tick.
    if (SecondsToMs(unit.m_AppearTime) > ticks.Ms(next))
        return kNever;
    uint64_t wake = kNever;
    for (const auto& action : unit.m_Actions) {
        if (!action->m_Running || !action->GetActingUnit())
            continue;
        if (action->m_ActionType == kActionMove)
            wake = std::min(wake, MoveWake(*action, next, last, ticks));
        else
            return next;  // a strike looks at its fire unit every tick
    }
    return wake;
}

// Something of this unit is due in `tick` (an action starts, or it appears).
bool DueAt(const CUnitCanLoad& unit, uint64_t tick, const TickScale& ticks)
{
    if (ticks.FirstReaching(SecondsToMs(unit.m_AppearTime)) == tick)
        return true;
    const uint32_t ms = ticks.Ms(tick);
    for (const auto& action : unit.m_Actions)
        if (SecondsToMs(action->m_ActionTime) == ms)
            return true;
    return false;
}

struct DueEntry {
    uint64_t tick;
    const CUnitCanLoad* unit;
    bool operator<(const DueEntry& o) const { return tick < o.tick || (tick == o.tick && unit < o.unit); }
    bool operator==(const DueEntry& o) const { return tick == o.tick && unit == o.unit; }
};

// Units tied by an action are visited together, so the order of their steps
// within a tick is the plain order.
class UnitGroups {
public:
    void Tie(const CUnitCanLoad* a, const CUnitCanLoad* b)
    {
        const CUnitCanLoad* ra = Root(a);
        const CUnitCanLoad* rb = Root(b);
        if (ra != rb)
            m_parent[ra] = rb;
    }
    // Members of the unit's group; empty when the unit is alone.
    const std::vector<const CUnitCanLoad*>& Members(const CUnitCanLoad* unit)
    {
        static const std::vector<const CUnitCanLoad*> none;
        if (m_members.empty() && !m_parent.empty())
            for (const auto& [u, p] : m_parent)
                m_members[Root(u)].push_back(u);
        if (!m_parent.count(unit))
            return none;
        return m_members[Root(unit)];
    }

private:
    const CUnitCanLoad* Root(const CUnitCanLoad* u)
    {
        auto it = m_parent.try_emplace(u, u).first;
        while (it->second != it->first) {
            auto up = m_parent.find(it->second);
            it->second = up->second;  // path halving
            it = up;
        }
        return it->first;
    }
    std::unordered_map<const CUnitCanLoad*, const CUnitCanLoad*> m_parent;
    std::unordered_map<const CUnitCanLoad*, std::vector<const CUnitCanLoad*>> m_members;
};

// What is due when, for a seek to `last`.
struct DueTable {
    std::vector<DueEntry> units;     // (tick, unit) sorted
    std::vector<uint64_t> strikes;   // ticks in which a strike starts, sorted
};

DueTable BuildDueTable(const CPlan& plan, uint64_t last, const TickScale& ticks)
{
    UnitGroups groups;
    for (const auto& layer : plan.m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            for (const auto& action : unit->m_Actions) {
                const CUnitCanLoad* acting = action->GetActingUnit();
                if (acting && acting != unit)
                    groups.Tie(unit, acting);
                if (action->m_ActionType == kActionLoad || action->m_ActionType == kActionUnload) {
                    // Both the carried unit and the carrier's first layer may hold it.
                    for (const auto& other : plan.m_Layers)
                        if (const CUnitCanLoad* carried = other->GetUnitByNo(action->m_UnitNo))
                            groups.Tie(unit, carried);
                }
            }
        }

    DueTable table;
    auto add = [&](uint64_t tick, const CUnitCanLoad* unit) {
        if (tick > last)
            return;
        const auto& members = groups.Members(unit);
        if (members.empty())
            table.units.push_back({tick, unit});
        for (const CUnitCanLoad* member : members)
            table.units.push_back({tick, member});
    };
    for (const auto& layer : plan.m_Layers) {
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            add(ticks.FirstReaching(SecondsToMs(unit->m_AppearTime)), unit);
            for (const auto& action : unit->m_Actions) {
                const uint64_t tick = ticks.At(SecondsToMs(action->m_ActionTime));
                add(tick, unit);
                if (action->m_ActionType == kActionStrike && tick <= last)
                    table.strikes.push_back(tick);
            }
        }
    }
    std::sort(table.units.begin(), table.units.end());
    table.units.erase(std::unique(table.units.begin(), table.units.end()), table.units.end());
    std::sort(table.strikes.begin(), table.strikes.end());
    return table;
}

struct LayerWakes {
    std::vector<uint64_t> wake;  // per unit, in list order
    uint64_t earliest = 0;
};

// The first tick from which a live fire unit may flash again (and draw a fire line).
uint64_t FireWake(const UnitFire& fire, const TickScale& ticks)
{
    if (fire.m_Removed || !fire.IsTransient() || !fire.m_Striker)
        return kNever;
    return ticks.FirstReaching(uint64_t(fire.m_LastToggleMs) + 500);
}

// Restores the play state's hit list switch when a seek ends.
class HitListPaused {
public:
    explicit HitListPaused(CPlayState* play) : m_play(play), m_was(play ? play->RecordsHits() : true)
    {
        if (m_play)
            m_play->SetRecordsHits(false);
    }
    ~HitListPaused()
    {
        if (m_play)
            m_play->SetRecordsHits(m_was);
    }
    HitListPaused(const HitListPaused&) = delete;
    HitListPaused& operator=(const HitListPaused&) = delete;

private:
    CPlayState* m_play;
    bool m_was;
};

}  // namespace

void CPlan::ResetPlayback()
{
    for (const auto& layer : m_Layers) {
        layer->m_Plan = this;
        layer->ResetPlayback();
    }
    if (m_Context.play)
        m_Context.play->FireLines().clear();
}

void CPlan::EndTick(uint32_t nowMs)
{
    CPlayState* play = m_Context.play;
    if (!play)
        return;
    FireLineList& lines = play->FireLines();
    CPlanLayer* first = GetFirstLayer();
    if (lines.empty() || !first || !first->LockShared(20))
        return;
    // A striker that moves after its fire unit flashed (later in the walk, or
    // on a later layer) has moved by now: the line starts where it stands, as
    // drawn. Each fire unit changes only its own lines, so their order is free.
    first->ForEachFireUnit([&](UnitFire& fire) {
        if (!fire.m_Striker || fire.m_LastToggleMs != nowMs)
            return;
        const double x = fire.m_Striker->m_CurX, y = fire.m_Striker->m_CurY;
        fire.m_StartPoint = {x, y, 0};
        for (FireLine& line : lines)
            if (line.source == &fire) {
                line.startX = x;
                line.startY = y;
            }
    });
    first->UnlockShared();
}

void CPlan::PlayTicks(uint32_t fromMs, uint32_t toMs, uint32_t periodMs)
{
    if (periodMs == 0)
        return;
    CPlayState* play = m_Context.play;
    for (uint64_t now = fromMs; now <= toMs; now += periodMs) {
        if (play)
            play->FireLines().clear();
        RecvClockEvent(uint32_t(now) - periodMs, uint32_t(now), nullptr);
        if (play && play->GetCheckBeenHit())
            CheckHits(play->FireLines());
    }
}

void CPlan::SeekTo(int64_t tickMs, uint32_t periodMs)
{
    ResetPlayback();  // also drops every unit's step shortcut
    if (tickMs < 0 || periodMs == 0)
        return;
    const TickScale ticks(periodMs);
    const uint64_t last = uint64_t(std::min<int64_t>(tickMs, std::numeric_limits<uint32_t>::max())) / periodMs;
    CPlayState* play = m_Context.play;
    HitListPaused paused(play);
    const bool checkHits = play && play->GetCheckBeenHit();

    const DueTable due = BuildDueTable(*this, last, ticks);
    auto dueBegin = [&](uint64_t tick) {
        return std::lower_bound(due.units.begin(), due.units.end(), tick,
                                [](const DueEntry& e, uint64_t t) { return e.tick < t; });
    };
    // The next tick at or after `tick` in which a unit is due, or due in the tick after.
    auto nextDue = [&](uint64_t tick) {
        auto it = dueBegin(tick);
        if (it == due.units.end())
            return kNever;
        return it->tick == tick ? tick : it->tick - 1;
    };
    auto strikeDue = [&](uint64_t tick) { return std::binary_search(due.strikes.begin(), due.strikes.end(), tick); };

    std::vector<LayerWakes> wakes(m_Layers.size());
    std::vector<const CUnitCanLoad*> visitNow;  // due in this tick or the next, sorted
    uint64_t fireWake = kNever;
    uint64_t tick = 0;
    while (tick <= last) {
        // A flash reads its striker's position and the hit check every unit's.
        const bool full = tick == 0 || tick == last || fireWake <= tick || (checkHits && strikeDue(tick));
        visitNow.clear();
        for (auto it = dueBegin(tick); it != due.units.end() && it->tick <= tick + 1; ++it)
            visitNow.push_back(it->unit);
        std::sort(visitNow.begin(), visitNow.end());
        auto mustVisit = [&](const CUnitCanLoad* unit) {
            return !visitNow.empty() && std::binary_search(visitNow.begin(), visitNow.end(), unit);
        };
        const uint32_t now = ticks.Ms(tick);
        if (play) {
            play->FireLines().clear();
            play->SetCurrentEpoch(m_StartTime + int64_t(now / 1000));
            play->SetCurrentMs(now);
        }
        fireWake = kNever;
        bool grew = false;
        for (size_t l = 0; l < m_Layers.size(); ++l) {
            CPlanLayer& layer = *m_Layers[l];
            LayerWakes& lw = wakes[l];
            layer.m_Plan = this;
            if (!full && visitNow.empty() && lw.earliest > tick && lw.wake.size() == layer.GetUnitCount())
                continue;
            playback::DeferredEvents events;  // handed over after the walk, as a tick does
            size_t j = 0;
            const int result = layer.DispatchUnits(
                [&](CUnitCanLoad& unit) {
                    if (j == lw.wake.size())
                        lw.wake.push_back(tick);  // appended since the last walk
                    int r = 1;
                    const bool woken = lw.wake[j] <= tick;
                    if (full || woken || mustVisit(&unit)) {
                        r = unit.RecvClockEvent(now - periodMs, now, nullptr);
                        if (woken || tick == 0 || DueAt(unit, tick, ticks))
                            lw.wake[j] = UnitWake(unit, tick + 1, last, ticks);
                        // Fire units are woken in every tick, so each is seen here.
                        if (const UnitFire* fire = unit.AsFire())
                            fireWake = std::min(fireWake, FireWake(*fire, ticks));
                    }
                    // A removed unit leaves the list right after this visit.
                    if (unit.m_Removed)
                        lw.wake.erase(lw.wake.begin() + std::ptrdiff_t(j));
                    else
                        ++j;
                    return r;
                },
                20);
            lw.earliest = lw.wake.empty() ? kNever : *std::min_element(lw.wake.begin(), lw.wake.end());
            if (result == 0)
                break;  // as a tick does when a layer cannot be walked
        }
        EndTick(now);
        if (checkHits && play && !play->FireLines().empty())
            CheckHits(play->FireLines());
        if (tick == last)
            break;
        // Jump to the next tick in which anything happens.
        uint64_t next = std::min(last, nextDue(tick + 1));
        for (size_t l = 0; l < m_Layers.size(); ++l) {
            next = std::min(next, std::max(wakes[l].earliest, tick + 1));
            if (wakes[l].wake.size() != m_Layers[l]->GetUnitCount())
                grew = true;  // a strike put a fire unit on a layer already walked
        }
        if (grew) {
            next = tick + 1;
            fireWake = std::min(fireWake, tick + 1);
        }
        tick = std::min(next, std::max(fireWake, tick + 1));
    }
}
