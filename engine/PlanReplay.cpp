// The replay of a plan to a given second (Replay), and a fast one (FastReplay): only the units that can do
// something in a step are visited in it.
//
// Replay steps are whole seconds. In most of them a unit either does nothing
// or continues a move along the current segment, and a move step depends only
// on the time since the segment began, not on the positions of the steps
// before. Whether a segment has been passed is monotonic in that time (every
// operation of the test rounds monotonically), so the first step that passes
// it is found by bisection with the very function playback uses. A unit is
// therefore visited only
//   - in "full" steps, where every unit is visited exactly as playback does:
//     the first and last step, every step in which an action is due or a unit
//     appears, and the step before each of those (so that positions read by
//     starting moves and strikes are the ones of the previous step);
//   - in the steps where one of its running moves passes a point or ends;
//   - in every step while it runs a strike, and always for fire units.
// Between full steps nothing reads another unit's position, so the skipped
// move steps (which would only overwrite the position again) change nothing
// that is observed; the last step is full, so final positions are exact.
#include "engine/Plan.h"

#include "engine/PlaybackEvents.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "engine/WGAction.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

// The steps in [from, to] in which an action is due or a unit appears.
std::vector<uint64_t> SpecialSteps(const CPlan& plan, uint64_t from, uint64_t to)
{
    std::vector<uint64_t> steps;
    auto add = [&](uint64_t step) {
        if (step >= from && step <= to)
            steps.push_back(step);
    };
    for (const auto& layer : plan.m_Layers) {
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            // The first step whose time reaches the appear time.
            add((uint64_t(SecondsToMs(unit->m_AppearTime)) + 999) / 1000);
            for (const auto& action : unit->m_Actions) {
                const uint32_t due = SecondsToMs(action->m_ActionTime);
                if (due % 1000 == 0)
                    add(due / 1000);
            }
        }
    }
    std::sort(steps.begin(), steps.end());
    steps.erase(std::unique(steps.begin(), steps.end()), steps.end());
    return steps;
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
    const std::vector<uint64_t> special = SpecialSteps(*this, from, to);
    auto isSpecial = [&](uint64_t step) { return std::binary_search(special.begin(), special.end(), step); };
    // The next step at or after `step` that must be full.
    auto nextFull = [&](uint64_t step) {
        auto it = std::lower_bound(special.begin(), special.end(), step + 1);
        uint64_t full = to;
        if (it != special.end())
            full = std::min(full, *it - 1);  // the step before a special one
        if (isSpecial(step))
            full = step;
        return std::max(full, step);
    };

    std::vector<LayerWakes> wakes(m_Layers.size());
    uint64_t step = from;
    while (step <= to) {
        const bool full = step == from || step == to || isSpecial(step) || isSpecial(step + 1);
        const bool dueHere = isSpecial(step);
        if (m_Context.play) {
            m_Context.play->FireLines().clear();
            m_Context.play->SetCurrentEpoch(m_StartTime + int64_t(step));
        }
        const uint32_t now = StepMs(step);
        for (size_t l = 0; l < m_Layers.size(); ++l) {
            CPlanLayer& layer = *m_Layers[l];
            LayerWakes& lw = wakes[l];
            layer.m_Plan = this;
            if (!full && lw.earliest > step && lw.wake.size() == layer.GetUnitCount())
                continue;
            playback::DeferredEvents events;  // handed over after the walk, as a tick does
            size_t j = 0;
            const int result = layer.DispatchUnits(
                [&](CUnitCanLoad& unit) {
                    if (j == lw.wake.size())
                        lw.wake.push_back(step);  // appended since the last walk
                    int r = 1;
                    if (full || lw.wake[j] <= step) {
                        r = unit.RecvClockEvent(now - 1000u, now, context);
                        if (lw.wake[j] <= step || step == from || (dueHere && DueAt(unit, step)))
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
        uint64_t next = nextFull(step + 1);
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
