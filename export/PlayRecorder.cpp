#include "export/PlayRecorder.h"
#include "export/PlayDiversion.h"

#include "engine/EventSink.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/PlayState.h"
#include "engine/Units.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace {

// The number in a victim text "name[编号:N]"; -1 when there is none.
int32_t VictimNumber(const std::string& victim)
{
    static const std::string kTag = "[编号:";
    const size_t at = victim.rfind(kTag);
    if (at == std::string::npos)
        return -1;
    char* end = nullptr;
    const long n = std::strtol(victim.c_str() + at + kTag.size(), &end, 10);
    return (end && *end == ']') ? int32_t(n) : -1;
}

}  // namespace

uint32_t PlanSeconds(const CPlan& plan)
{
    const int64_t d = plan.m_EndTime - plan.m_StartTime;
    return d <= 0 ? 0u : uint32_t(std::min<int64_t>(d, 4294967));
}

int32_t UnitNamedBy(const std::vector<std::pair<std::string, int32_t>>& names, const std::string& message)
{
    int32_t best = -1;
    size_t bestLength = 0;
    for (const auto& [name, no] : names) {
        if (!name.empty() && name.size() > bestLength && message.compare(0, name.size(), name) == 0) {
            best = no;
            bestLength = name.size();
        }
    }
    return best;
}

PlayRecord RecordPlay(CPlan& plan, uint32_t untilSeconds, uint32_t periodMs,
                      const std::function<bool(int, int)>& progress)
{
    PlayRecord record;
    CPlanLayer* layer = plan.GetFirstLayer();
    if (!layer || periodMs == 0)
        return record;
    CEventRecorder recorder;
    PlayStateDiversion diversion(plan, recorder);
    plan.ResetPlayback();

    std::map<int32_t, size_t> trackOf;  // UnitNo -> index in record.tracks
    std::vector<std::pair<std::string, int32_t>> names;
    size_t eventsSeen = 0, hitsSeen = 0;
    const uint64_t untilMs = uint64_t(untilSeconds) * 1000;

    // Where a unit stands now; false for a number not on the first layer.
    auto position = [&](int32_t unitNo, double& x, double& y) {
        const CUnitCanLoad* unit = layer->GetUnitByNo(unitNo);
        if (!unit)
            return false;
        x = unit->m_CurX;
        y = unit->m_CurY;
        return true;
    };
    auto place = [&](PlacedRecord& r, int32_t unitNo, uint32_t tickMs) {
        r.tickMs = int32_t(tickMs);
        r.unitNo = unitNo;
        r.located = unitNo >= 0 && position(unitNo, r.x, r.y);
    };

    for (uint64_t now = 0; now <= untilMs; now += periodMs) {
        plan.PlayTicks(uint32_t(now), uint32_t(now), periodMs);
        layer->LockSharedWait();
        names.clear();
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* unit = layer->GetUnitAt(i);
            if (unit->AsFire())
                continue;
            names.emplace_back(unit->m_UnitName, unit->m_UnitNo);
            if (now % 1000 != 0 || !unit->m_Appeared)
                continue;
            auto [it, added] = trackOf.emplace(unit->m_UnitNo, record.tracks.size());
            if (added)
                record.tracks.push_back({unit->m_UnitNo, unit->m_UnitName, {}});
            record.tracks[it->second].samples.push_back(
                {int32_t(now / 1000), unit->m_CurX, unit->m_CurY, unit->m_Loaded != 0});
        }
        for (; eventsSeen < recorder.events.size(); ++eventsSeen) {
            const EventRecord& e = recorder.events[eventsSeen];
            PlacedRecord r;
            r.epoch = e.epoch ? e.epoch : plan.m_StartTime + int64_t(now / 1000);
            r.timeText = e.timeText;
            r.text = e.message;
            place(r, UnitNamedBy(names, e.message), uint32_t(now));
            record.events.push_back(std::move(r));
        }
        for (; hitsSeen < recorder.hits.size(); ++hitsSeen) {
            const HitRecord& h = recorder.hits[hitsSeen];
            PlacedRecord r;
            r.epoch = plan.m_StartTime + int64_t(now / 1000);
            r.timeText = h.timeText;
            r.victim = h.victim;
            r.attacker = h.attacker;
            r.distance = h.distance;
            r.text = h.victim + "被" + h.attacker + "击中";
            place(r, VictimNumber(h.victim), uint32_t(now));
            record.hits.push_back(std::move(r));
        }
        layer->UnlockShared();
        if (now % 1000 == 0) {
            record.seconds = int32_t(now / 1000);
            if (progress && !progress(record.seconds, int(untilSeconds)))
                break;
        }
    }
    std::sort(record.tracks.begin(), record.tracks.end(),
              [](const UnitTrack& a, const UnitTrack& b) { return a.unitNo < b.unitNo; });
    return record;
}
