#include "engine/PlanTimeline.h"

#include "engine/Plan.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "engine/WGAction.h"

#include <algorithm>
#include <unordered_map>

namespace {

struct ActionPlace {
    size_t row;
    size_t action;
};

// Turns the records of the play into rows as they arrive.
class TimelineSink : public IEventSink {
public:
    TimelineSink(PlanTimeline& timeline, const CPlan& plan) : m_timeline(timeline)
    {
        for (size_t l = 0; l < plan.m_Layers.size(); ++l) {
            const CPlanLayer& layer = *plan.m_Layers[l];
            for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
                const CUnitCanLoad* unit = layer.GetUnitAt(i);
                TimelineRow row;
                row.layer = l;
                row.unit = i;
                row.unitNo = unit->m_UnitNo;
                row.unitName = unit->m_UnitName;
                row.classId = unit->m_ClassId;
                row.appearTime = unit->m_AppearTime;
                for (const auto& a : unit->m_Actions) {
                    const WGRoute* route = a->GetFirstRoute();
                    row.actions.push_back({a->m_ActionNo, a->m_ActionName, a->m_ActionType, a->m_ActionTime,
                                           a->m_Speed, a->m_BulletType, a->m_HitTime, a->m_UnitNo, a->m_Angle,
                                           route ? route->m_Points.size() : 0});
                }
                m_units[unit] = m_timeline.rows.size();
                for (size_t k = 0; k < unit->m_Actions.size(); ++k)
                    m_actions[unit->m_Actions[k].get()] = {m_timeline.rows.size(), k};
                m_timeline.rows.push_back(std::move(row));
            }
        }
    }

    void OnEvent(const EventRecord& record) override { OnStep(record.source); }

    void OnHit(const HitRecord& record) override
    {
        auto it = m_units.find(record.victimUnit);
        if (it != m_units.end())
            m_timeline.rows[it->second].hits.push_back({record.planMs, record.attacker, record.distance});
    }

    void OnStep(const PlaySource& source) override
    {
        auto it = m_actions.find(source.action);
        if (it == m_actions.end())
            return;
        TimelineRow& row = m_timeline.rows[it->second.row];
        const size_t action = it->second.action;
        switch (source.step) {
        case PlayStep::MoveStart:
        case PlayStep::StrikeStart: {
            TimelineBar bar;
            bar.action = action;
            bar.actionType = source.step == PlayStep::MoveStart ? kActionMove : kActionStrike;
            bar.startMs = bar.endMs = source.planMs;
            m_open[source.action] = row.bars.size();
            row.bars.push_back(std::move(bar));
            break;
        }
        case PlayStep::MoveEnd:
        case PlayStep::StrikeEnd:
            if (TimelineBar* bar = Open(row, source.action)) {
                bar->endMs = source.planMs;
                bar->ended = true;
                m_open.erase(source.action);
            }
            break;
        case PlayStep::Flash:
            if (TimelineBar* bar = Open(row, source.action))
                bar->flashes.push_back(source.planMs);
            break;
        case PlayStep::Turn:
        case PlayStep::Load:
        case PlayStep::Unload:
            row.marks.push_back({action, source.step, source.planMs, source.carry});
            break;
        case PlayStep::None:
            break;
        }
    }

    // Bars without an end event: running on past the end, or never running
    // (a move of one point).
    void Close(const std::unordered_map<const WGAction*, bool>& running, uint32_t endMs)
    {
        for (auto& [action, index] : m_open) {
            TimelineRow& row = m_timeline.rows[m_actions[action].row];
            TimelineBar& bar = row.bars[index];
            auto it = running.find(action);
            if (it != running.end() && it->second) {
                bar.runsPastEnd = true;
                bar.endMs = endMs;
            }
        }
        m_open.clear();
    }

private:
    TimelineBar* Open(TimelineRow& row, const WGAction* action)
    {
        auto it = m_open.find(action);
        return it == m_open.end() ? nullptr : &row.bars[it->second];
    }

    PlanTimeline& m_timeline;
    std::unordered_map<const CUnitCanLoad*, size_t> m_units;
    std::unordered_map<const WGAction*, ActionPlace> m_actions;
    std::unordered_map<const WGAction*, size_t> m_open;  // bar index of a started action without its end
};

}  // namespace

const TimelineRow* PlanTimeline::Find(size_t layer, size_t unit) const
{
    auto it = std::lower_bound(rows.begin(), rows.end(), std::pair{layer, unit}, [](const TimelineRow& r, auto key) {
        return std::pair{r.layer, r.unit} < key;
    });
    return it != rows.end() && it->layer == layer && it->unit == unit ? &*it : nullptr;
}

const TimelineBar* PlanTimeline::FindBar(size_t layer, size_t unit, size_t action) const
{
    if (const TimelineRow* row = Find(layer, unit))
        for (const TimelineBar& bar : row->bars)
            if (bar.action == action)
                return &bar;
    return nullptr;
}

int64_t PlanEndMs(const CPlan& plan, uint32_t periodMs)
{
    const int64_t duration = plan.m_EndTime - plan.m_StartTime;
    if (duration < 0)
        return -1;
    // The clock counts 32-bit milliseconds; the last tick is one it can reach.
    const int64_t ms = std::min<int64_t>(duration, 4294967) * 1000;
    return periodMs ? ms - ms % periodMs : ms;
}

PlanTimeline PlayTimeline(CPlan& copy, const TimelinePlaySettings& settings)
{
    PlanTimeline timeline;
    timeline.startTime = copy.m_StartTime;
    const int64_t endMs = PlanEndMs(copy, settings.periodMs);

    CPlayState play;
    play.SetCheckBeenHit(settings.checkBeenHit);
    play.SetHitDistance(settings.hitDistance);
    play.SetBitmapRealKm(settings.bitmapRealKm);
    play.SetRecordsHits(false);
    TimelineSink sink(timeline, copy);
    play.SetEventSink(&sink);
    CPlayState* before = copy.GetPlayState();
    copy.SetPlayState(&play);

    if (endMs >= 0) {
        copy.SeekTo(endMs, settings.periodMs);
        timeline.endMs = uint32_t(endMs);
        timeline.played = true;
    }
    std::unordered_map<const WGAction*, bool> running;
    for (const auto& layer : copy.m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i)
            for (const auto& action : layer->GetUnitAt(i)->m_Actions)
                running[action.get()] = action->m_Running != 0;
    sink.Close(running, timeline.endMs);

    play.SetEventSink(nullptr);
    copy.SetPlayState(before);
    return timeline;
}
