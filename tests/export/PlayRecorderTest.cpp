// Recording a play for export: tracks, events and hits as an uninterrupted
// play gives them, with nothing reaching the program's event list or alarm.
#include "ExportTestSupport.h"

#include "export/PlayRecorder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

TEST(PlayRecorder, TracksEventsAndHitsAreThoseOfAPlayTickByTick)
{
    ExportPlanEnv env;
    CPlayState recordedState, referenceState;
    auto plan = env.LoadPlayable(recordedState);
    auto reference = env.LoadPlayable(referenceState);
    ASSERT_TRUE(plan && reference);

    // What the program's event list and alarm would see.
    CEventRecorder live;
    recordedState.SetEventSink(&live);
    const PlayRecord record = RecordPlay(*plan, 8, CPlan::kTickMs);
    EXPECT_TRUE(live.events.empty() && live.hits.empty());
    EXPECT_EQ(recordedState.HitList().Count(), 0u);
    EXPECT_EQ(&recordedState.EventSink(), &live) << "the sink is given back";
    EXPECT_EQ(record.seconds, 8);

    // The reference: the plain loop of ticks, sampled on whole seconds.
    CEventRecorder history;
    referenceState.SetEventSink(&history);
    CPlanLayer& layer = *reference->GetFirstLayer();
    std::map<int32_t, std::vector<TrackSample>> expected;
    std::vector<std::map<int32_t, std::pair<double, double>>> tickPositions;
    std::vector<size_t> eventsAfterTick, hitsAfterTick;
    for (uint32_t now = 0; now <= 8000; now += CPlan::kTickMs) {
        reference->PlayTicks(now, now);
        std::map<int32_t, std::pair<double, double>> where;
        for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
            const CUnitCanLoad* u = layer.GetUnitAt(i);
            if (u->AsFire())
                continue;
            where[u->m_UnitNo] = {u->m_CurX, u->m_CurY};
            if (now % 1000 == 0 && u->m_Appeared)
                expected[u->m_UnitNo].push_back({int32_t(now / 1000), u->m_CurX, u->m_CurY, u->m_Loaded != 0});
        }
        tickPositions.push_back(where);
        eventsAfterTick.push_back(history.events.size());
        hitsAfterTick.push_back(history.hits.size());
    }

    ASSERT_EQ(record.tracks.size(), expected.size());
    for (const UnitTrack& track : record.tracks) {
        const auto& samples = expected.at(track.unitNo);
        ASSERT_EQ(track.samples.size(), samples.size()) << track.unitName;
        for (size_t i = 0; i < samples.size(); ++i) {
            EXPECT_EQ(track.samples[i].second, samples[i].second);
            EXPECT_EQ(track.samples[i].x, samples[i].x);
            EXPECT_EQ(track.samples[i].y, samples[i].y);
            EXPECT_EQ(track.samples[i].loaded, samples[i].loaded);
        }
    }
    EXPECT_EQ(expected.at(5).front().second, 5) << "a unit is tracked from its appearance on";
    EXPECT_TRUE(expected.at(4)[2].loaded) << "the carried unit is marked while carried";

    // Every event and hit, in order, stamped and placed at its unit after its tick.
    ASSERT_EQ(record.events.size(), history.events.size());
    ASSERT_EQ(record.hits.size(), history.hits.size());
    ASSERT_GE(record.hits.size(), 1u);
    auto tickOf = [](const std::vector<size_t>& after, size_t index) {
        size_t t = 0;
        while (after[t] <= index)
            ++t;
        return t;
    };
    for (size_t i = 0; i < history.events.size(); ++i) {
        const PlacedRecord& r = record.events[i];
        EXPECT_EQ(r.text, history.events[i].message);
        EXPECT_EQ(r.timeText, history.events[i].timeText);
        const size_t tick = tickOf(eventsAfterTick, i);
        EXPECT_EQ(r.tickMs, int32_t(tick * CPlan::kTickMs));
        EXPECT_EQ(r.epoch, env.start + r.tickMs / 1000);
        ASSERT_TRUE(r.located) << r.text;
        const auto [x, y] = tickPositions[tick].at(r.unitNo);
        EXPECT_EQ(r.x, x);
        EXPECT_EQ(r.y, y);
    }
    for (size_t i = 0; i < history.hits.size(); ++i) {
        const PlacedRecord& r = record.hits[i];
        EXPECT_EQ(r.victim, history.hits[i].victim);
        EXPECT_EQ(r.attacker, history.hits[i].attacker);
        EXPECT_EQ(r.unitNo, 2);
        const size_t tick = tickOf(hitsAfterTick, i);
        ASSERT_TRUE(r.located);
        EXPECT_EQ(r.x, tickPositions[tick].at(2).first);
    }
}

TEST(PlayRecorder, StopsWhenProgressSaysSoAndWorksWithoutAPlayState)
{
    ExportPlanEnv env;
    auto plan = env.LoadText(env.PlanText(60));
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->GetPlayState(), nullptr);
    int calls = 0;
    const PlayRecord record = RecordPlay(*plan, 60, CPlan::kTickMs, [&](int done, int total) {
        EXPECT_EQ(total, 60);
        ++calls;
        return done < 3;
    });
    EXPECT_EQ(record.seconds, 3);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(plan->GetPlayState(), nullptr) << "the borrowed play state is given back";
    EXPECT_EQ(record.tracks.front().samples.size(), 4u);
    EXPECT_EQ(PlanSeconds(*plan), 60u);
    plan->m_EndTime = plan->m_StartTime - 5;
    EXPECT_EQ(PlanSeconds(*plan), 0u);
}

TEST(PlayRecorder, AMessageNamesTheUnitWithTheLongestMatchingName)
{
    const std::vector<std::pair<std::string, int32_t>> names = {{"红", 1}, {"红一连", 2}, {"", 3}, {"蓝", 4}};
    EXPECT_EQ(UnitNamedBy(names, "红一连开始移动"), 2);
    EXPECT_EQ(UnitNamedBy(names, "红开始移动"), 1);
    EXPECT_EQ(UnitNamedBy(names, "蓝 开始装载[单位: 4]"), 4);
    EXPECT_EQ(UnitNamedBy(names, "绿开始移动"), -1);
    EXPECT_EQ(UnitNamedBy({}, "红"), -1);
}
