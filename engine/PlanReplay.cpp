// The replay of a plan to a given second (Replay), and a fast one (FastReplay): only the units that can do
// something in a step are visited in it.
//
// Replay steps are whole seconds. In most of them a unit either does nothing
// or continues a move along the current segment, and a move step depends only
// on the time since the segment began, not on the positions of the steps
// before. Whether a segment has been passed is monotonic in that time (every
// operation of the test rounds monotonically), so the first step that passes
// it is found by bisection with the very function playback uses. A unit is
// visited only
//   - in the first and the last step, where every unit is visited;
//   - in every step in which one of its actions is due or it appears, and in
//     the step before (a starting move or strike reads the unit's own
//     position, which must be the one of the previous step);
//   - in the steps where one of its running moves passes a point or ends;
//   - in every step while it runs a strike, and always for fire units.
// An action reads only the position of the unit it acts on; loading and
// unloading change the carried flags and lists, and an unloaded unit's
// position is written, not read. An action acting on a unit other than its
// owner ties the two: both are visited when either is due. So a skipped move step (which would only overwrite the position again)
// changes nothing that is observed, events keep their order (a skipped unit
// would have posted none), and the last step is full, so final positions are exact.
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

// Replays that reach this second would wrap the millisecond clock; they take the plain path.
constexpr uint64_t kLastFastSecond = uint64_t(std::numeric_limits<uint32_t>::max()) / 1000;

uint32_t StepMs(uint64_t step)
{
    return uint32_t(step * 1000);
}

uint32_t SecondsToMs(int32_t seconds)
{
    return uint32_t(seconds) * 1000u;
}

// First step in [next, last] whose execution of this running move does more
// than move the unit along its segment: passes the segment's end point, or
// ends the move. kNever when none does.
uint64_t MoveWake(const WGAction& a, uint64_t next, uint64_t last)
{
    const WGRoute* route = a.GetFirstRoute();
    if (!route || route->m_Points.empty())
        return kNever;
    const std::vector<RoutePoint>& points = route->m_Points;
    if (!a.m_SpeedDerived || a.m_CurrentPoint + 1 >= points.size())
        return next;
    if (!(a.m_SpeedMapUnits > 0.0) || !std::isfinite(a.m_SpeedMapUnits))
        return kNever;  // stands still for ever
    if (a.m_SegmentDurationMs == 0 || a.m_SegmentStartMs > StepMs(next))
        return next;  // passed at once, or the elapsed time would wrap: step it
    const RoutePoint& p0 = points[a.m_CurrentPoint];
    const RoutePoint& p1 = points[a.m_CurrentPoint + 1];
    auto passed = [&](uint64_t step) {
        double x = 0, y = 0;
        return WGAction::SegmentStep(p0, p1, StepMs(step) - a.m_SegmentStartMs, a.m_SegmentDurationMs, x, y);
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

// The next step in [next, last] in which the unit must be visited outside the full steps.
uint64_t UnitWake(const CUnitCanLoad& unit, uint64_t next, uint64_t last)
{
    if (next > last)
        return kNever;
    if (unit.m_UnitType == kUnitTypeFire || dynamic_cast<const UnitFire*>(&unit))
        return next;
    // Not there yet: its appearance is a full step.
    if (SecondsToMs(unit.m_AppearTime) > StepMs(next))
        return kNever;
    uint64_t wake = kNever;
    for (const auto& action : unit.m_Actions) {
        if (!action->m_Running || !action->GetActingUnit())
            continue;
        if (action->m_ActionType == kActionMove)
            wake = std::min(wake, MoveWake(*action, next, last));
        else
            return next;  // a strike looks at its fire unit every step
    }
    return wake;
}

// Something of this unit is due in `step` (an action starts, or it appears).
bool DueAt(const CUnitCanLoad& unit, uint64_t step)
{
    const uint32_t ms = StepMs(step);
    if ((uint64_t(SecondsToMs(unit.m_AppearTime)) + 999) / 1000 == step)
        return true;
    for (const auto& action : unit.m_Actions)
        if (SecondsToMs(action->m_ActionTime) == ms)
            return true;
    return false;
}

// Every (step, unit) in [from, to] in which an action of the unit is due or it appears, by step.
struct DueEntry {
    uint64_t step;
    const CUnitCanLoad* unit;
    bool operator<(const DueEntry& o) const { return step < o.step || (step == o.step && unit < o.unit); }
};

// An action runs in its owner's visit but moves, turns or loads the unit it
// acts on, which is nearly always the owner. Units tied that way form a group
// and are visited together, so the acting unit's position is current when
// an action of another group member starts.
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

std::vector<DueEntry> DueSteps(const CPlan& plan, uint64_t from, uint64_t to)
{
    UnitGroups groups;
    for (const auto& layer : plan.m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            for (const auto& action : unit->m_Actions)
                if (const CUnitCanLoad* acting = action->GetActingUnit(); acting && acting != unit)
                    groups.Tie(unit, acting);
        }

    std::vector<DueEntry> due;
    auto add = [&](uint64_t step, const CUnitCanLoad* unit) {
        if (step < from || step > to)
            return;
        const auto& members = groups.Members(unit);
        if (members.empty())
            due.push_back({step, unit});
        for (const CUnitCanLoad* member : members)
            due.push_back({step, member});
    };
    for (const auto& layer : plan.m_Layers) {
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            // The first step whose time reaches the appear time.
            add((uint64_t(SecondsToMs(unit->m_AppearTime)) + 999) / 1000, unit);
            for (const auto& action : unit->m_Actions) {
                const uint32_t due = SecondsToMs(action->m_ActionTime);
                if (due % 1000 == 0)
                    add(due / 1000, unit);
            }
        }
    }
    std::sort(due.begin(), due.end());
    due.erase(std::unique(due.begin(), due.end(),
                          [](const DueEntry& a, const DueEntry& b) { return a.step == b.step && a.unit == b.unit; }),
              due.end());
    return due;
}

struct LayerWakes {
    std::vector<uint64_t> wake;  // per unit, in list order
    uint64_t earliest = 0;
};

}  // namespace

void CPlan::FastReplay(uint32_t fromSeconds, uint32_t toSeconds, const void* context)
{
    if (toSeconds < fromSeconds || toSeconds >= kLastFastSecond) {
        Replay(fromSeconds, toSeconds, context);
        return;
    }
    const uint64_t from = fromSeconds, to = toSeconds;
    const std::vector<DueEntry> due = DueSteps(*this, from, to);
    auto dueBegin = [&](uint64_t step) {
        return std::lower_bound(due.begin(), due.end(), step,
                                [](const DueEntry& e, uint64_t s) { return e.step < s; });
    };
    // The next step at or after `step` in which a unit is due, or due in the step after.
    auto nextDue = [&](uint64_t step) {
        auto it = dueBegin(step);
        if (it == due.end())
            return kNever;
        return it->step == step ? step : it->step - 1;
    };

    std::vector<LayerWakes> wakes(m_Layers.size());
    std::vector<const CUnitCanLoad*> visitNow;  // due in this step or the next, sorted
    uint64_t step = from;
    while (step <= to) {
        const bool full = step == from || step == to;
        visitNow.clear();
        for (auto it = dueBegin(step); it != due.end() && it->step <= step + 1; ++it)
            visitNow.push_back(it->unit);
        std::sort(visitNow.begin(), visitNow.end());
        auto mustVisit = [&](const CUnitCanLoad* unit) {
            return !visitNow.empty() && std::binary_search(visitNow.begin(), visitNow.end(), unit);
        };
        if (m_Context.play) {
            m_Context.play->FireLines().clear();
            m_Context.play->SetCurrentEpoch(m_StartTime + int64_t(step));
        }
        const uint32_t now = StepMs(step);
        for (size_t l = 0; l < m_Layers.size(); ++l) {
            CPlanLayer& layer = *m_Layers[l];
            LayerWakes& lw = wakes[l];
            layer.m_Plan = this;
            if (!full && visitNow.empty() && lw.earliest > step && lw.wake.size() == layer.GetUnitCount())
                continue;
            playback::DeferredEvents events;  // handed over after the walk, as a tick does
            size_t j = 0;
            const int result = layer.DispatchUnits(
                [&](CUnitCanLoad& unit) {
                    if (j == lw.wake.size())
                        lw.wake.push_back(step);  // appended since the last walk
                    int r = 1;
                    const bool woken = lw.wake[j] <= step;
                    if (full || woken || mustVisit(&unit)) {
                        r = unit.RecvClockEvent(now - 1000u, now, context);
                        if (woken || step == from || DueAt(unit, step))
                            lw.wake[j] = UnitWake(unit, step + 1, to);
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
        if (step == to)
            break;
        // Jump to the next step in which anything happens.
        uint64_t next = std::min(to, nextDue(step + 1));
        for (size_t l = 0; l < m_Layers.size(); ++l) {
            next = std::min(next, std::max(wakes[l].earliest, step + 1));
            if (wakes[l].wake.size() != m_Layers[l]->GetUnitCount())
                next = step + 1;  // a strike put a fire unit on another layer
        }
        step = next;
    }
    CancelAllActions();
}

void CPlan::Replay(uint32_t fromSeconds, uint32_t toSeconds, const void* context)
{
    for (uint64_t i = fromSeconds; i <= toSeconds; ++i) {
        // Each step stands for a tick, whose fire lines last for that tick only.
        if (m_Context.play)
            m_Context.play->FireLines().clear();
        const uint32_t now = uint32_t(i * 1000);
        RecvClockEvent(now - 1000u, now, context);
    }
    CancelAllActions();
}
