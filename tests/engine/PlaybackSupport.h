#pragma once

#include "EngineTestSupport.h"

#include "engine/ClockService.h"
#include "engine/Plan.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"
#include "engine/PlanTime.h"
#include "engine/PlayState.h"
#include "map/MapSource.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Keeps what playback reports, and checks that no layer gate is held while it runs.
class RecordingSink : public IEventSink {
public:
    void OnEvent(const EventRecord& record) override
    {
        CheckNoGateHeld();
        events.push_back(record);
    }
    void OnHit(const HitRecord& record) override
    {
        CheckNoGateHeld();
        hits.push_back(record);
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> out;
        for (const auto& e : events)
            out.push_back(e.message);
        return out;
    }
    void CheckNoGateHeld() const
    {
        if (!plan)
            return;
        for (const auto& layer : plan->m_Layers) {
            EXPECT_EQ(layer->Gate().SharedHolders(), 0) << "a layer gate is held while the sink runs";
        }
    }

    const CPlan* plan = nullptr;
    std::vector<EventRecord> events;
    std::vector<HitRecord> hits;
};

// A plan of one or more map-less layers with the test catalogue, a play
// state and a clock that the test ticks by hand.
class PlaybackFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        LoadTestCatalog(dir, catalog);
        PlanContext context;
        context.catalog = &catalog;
        context.moduleFolder = dir.path().toStdString();
        context.reporter = &reporter;
        context.play = &play;
        plan = std::make_unique<CPlan>(context);
        plan->m_StartTime = MakeLocalTime(2024, 5, 1, 8, 0, 0);
        plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
        plan->AdoptLayers();
        layer = plan->GetFirstLayer();
        sink.plan = plan.get();
        play.SetEventSink(&sink);
        clock.SetFireLineList(&play.FireLines());
        clock.AddReceiver(plan.get());
        clock.SetTime(0);
    }

    template <class Kind = UnitSingleSimple>
    Kind* AddUnit(int32_t no, const std::string& name, double x = 0, double y = 0, int32_t appear = 0,
                  CPlanLayer* on = nullptr)
    {
        auto unit = std::make_unique<Kind>();
        unit->m_UnitNo = no;
        unit->m_UnitName = name;
        unit->m_InitX = unit->m_CurX = x;
        unit->m_InitY = unit->m_CurY = y;
        unit->m_AppearTime = appear;
        Kind* raw = unit.get();
        EXPECT_TRUE((on ? on : layer)->AddUnit(std::move(unit)));
        return raw;
    }

    static WGAction* AddAction(CUnitCanLoad* unit, int32_t type, int32_t time, std::vector<RoutePoint> points = {})
    {
        return AddTestAction(*unit, type, time, std::move(points));
    }

    // Ticks until the clock's next tick time is beyond `lastMs`.
    void TickThrough(uint32_t lastMs)
    {
        while (clock.GetTime() <= lastMs)
            clock.Tick();
    }

    TestDir dir;
    CUnitClassCatalog catalog;
    RecordingReporter reporter;
    CPlayState play;
    RecordingSink sink;
    std::unique_ptr<CPlan> plan;
    CPlanLayer* layer = nullptr;
    CClockService clock;
};
