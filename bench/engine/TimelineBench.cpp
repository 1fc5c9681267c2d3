// What an update of the timeline and the plan check costs after an edit: the
// copy of the plan, its headless play with the exact seek, the chart of it and
// the check, on the sample plan and on a plan of 1,000 units with 10 actions
// each over one hour. For comparison the same chart from a plain play of every
// tick, which is what the update would cost without the seek.

#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/Plan.h"
#include "engine/PlanChecker.h"
#include "engine/PlanCopy.h"
#include "engine/PlanFile.h"
#include "engine/PlanTimeline.h"
#include "engine/PlayState.h"
#include "engine/WGAction.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct Env {
    CSysConfig config;
    CUnitClassCatalog catalog;
    PlanContext context;

    Env()
    {
        catalog.Load(std::string(TARNWICK_BIN_DIR) + "/UnitClassInfo.cfg", config);
        context.catalog = &catalog;
        context.moduleFolder = TARNWICK_BIN_DIR;
    }
};

Env& SharedEnv()
{
    static Env env;
    return env;
}

std::unique_ptr<CPlan>& SamplePlan()
{
    static std::unique_ptr<CPlan> plan =
        LoadPlan(std::string(TARNWICK_SOURCE_DIR) + "/samples/演习示例.pln", SharedEnv().context);
    return plan;
}

// 1,000 units over one hour, each with 10 actions: moves along 10 points,
// strikes, turns, and loads and unloads between neighbours.
std::unique_ptr<CPlan>& LargePlan()
{
    static std::unique_ptr<CPlan> plan = [] {
        auto p = std::make_unique<CPlan>(SharedEnv().context);
        p->m_StartTime = 1700000000;
        p->m_EndTime = p->m_StartTime + 3600;
        auto layer = std::make_unique<CPlanLayer>();
        layer->m_MapType = 0;
        layer->m_WidthKm = layer->m_HeightKm = 100;
        for (int n = 1; n <= 1000; ++n) {
            auto unit = CreateUnitForClassId(n % 4 == 0 ? "01.01" : "02-02.01");
            unit->m_UnitNo = n;
            unit->m_ClassId = n % 4 == 0 ? "01.01" : "02-02.01";
            unit->m_UnitName = "单位" + std::to_string(n);
            unit->m_InitX = unit->m_CurX = 1 + (n % 90);
            unit->m_InitY = unit->m_CurY = 1 + (n / 90) * 5;
            unit->m_AppearTime = n % 30;
            for (int a = 0; a < 10; ++a) {
                auto action = std::make_unique<WGAction>();
                action->m_ActionTime = unit->m_AppearTime + a * 300 + n % 7;
                auto route = std::make_unique<WGRoute>();
                switch (a % 5) {
                case 0:
                case 1:
                    action->m_ActionType = kActionMove;
                    action->m_Speed = 30 + n % 40;
                    for (int k = 0; k < 10; ++k)
                        route->m_Points.push_back({unit->m_InitX + k * 0.02, unit->m_InitY + (k % 2) * 0.02, 0});
                    break;
                case 2:
                    action->m_ActionType = kActionStrike;
                    action->m_BulletType = "03.01";
                    action->m_HitTime = 2;
                    route->m_Points.push_back({unit->m_InitX + 1, unit->m_InitY + 1, 0});
                    break;
                case 3:
                    action->m_ActionType = n % 4 == 0 ? kActionLoad : kActionTurn;
                    action->m_UnitNo = n - 1;
                    action->m_Angle = 90;
                    break;
                default:
                    action->m_ActionType = n % 4 == 0 ? kActionUnload : kActionTurn;
                    action->m_UnitNo = n - 1;
                    route->m_Points.push_back({unit->m_InitX, unit->m_InitY, 0});
                    break;
                }
                if (!route->m_Points.empty())
                    action->m_Routes.push_back(std::move(route));
                unit->AddNewAction(std::move(action));
            }
            layer->AddUnit(std::move(unit));
        }
        p->m_Layers.push_back(std::move(layer));
        p->AdoptLayers();
        return p;
    }();
    return plan;
}

// One update: copy, play, chart and check, as the panels get them.
void Update(benchmark::State& state, const CPlan& plan)
{
    size_t bars = 0, findings = 0;
    for (auto _ : state) {
        std::unique_ptr<CPlan> copy = CopyPlanForPlay(plan, plan.GetContext());
        const PlanTimeline timeline = PlayTimeline(*copy);
        const std::vector<PlanFinding> found = CheckPlan(*copy, timeline);
        bars = 0;
        for (const TimelineRow& row : timeline.rows)
            bars += row.bars.size() + row.marks.size();
        findings = found.size();
        benchmark::DoNotOptimize(found.data());
    }
    state.counters["bars_and_marks"] = double(bars);
    state.counters["findings"] = double(findings);
}

// The same chart from a plain play of every tick (no seek).
class PlainChartSink : public IEventSink {
public:
    void OnEvent(const EventRecord& record) override { count += record.source.step != PlayStep::None; }
    void OnHit(const HitRecord&) override {}
    size_t count = 0;
};

void PlainPlay(benchmark::State& state, const CPlan& plan)
{
    size_t steps = 0;
    for (auto _ : state) {
        std::unique_ptr<CPlan> copy = CopyPlanForPlay(plan, plan.GetContext());
        CPlayState play;
        PlainChartSink sink;
        play.SetEventSink(&sink);
        copy->SetPlayState(&play);
        copy->PlayTicks(0, uint32_t(PlanEndMs(*copy)));
        copy->SetPlayState(nullptr);
        steps = sink.count;
    }
    state.counters["steps"] = double(steps);
}

void BM_TimelineUpdateSample(benchmark::State& state)
{
    if (!SamplePlan()) {
        state.SkipWithError("sample plan not loaded");
        return;
    }
    Update(state, *SamplePlan());
}
BENCHMARK(BM_TimelineUpdateSample)->Unit(benchmark::kMillisecond);

void BM_TimelineUpdate1000x10(benchmark::State& state)
{
    Update(state, *LargePlan());
}
BENCHMARK(BM_TimelineUpdate1000x10)->Unit(benchmark::kMillisecond);

void BM_PlainPlaySample(benchmark::State& state)
{
    if (!SamplePlan()) {
        state.SkipWithError("sample plan not loaded");
        return;
    }
    PlainPlay(state, *SamplePlan());
}
BENCHMARK(BM_PlainPlaySample)->Unit(benchmark::kMillisecond);

void BM_PlainPlay1000x10(benchmark::State& state)
{
    PlainPlay(state, *LargePlan());
}
BENCHMARK(BM_PlainPlay1000x10)->Unit(benchmark::kMillisecond)->Iterations(1);

// The copy alone, which is what the window's thread does.
void BM_CopyPlan1000x10(benchmark::State& state)
{
    const CPlan& plan = *LargePlan();
    for (auto _ : state) {
        std::unique_ptr<CPlan> copy = CopyPlanForPlay(plan, plan.GetContext());
        benchmark::DoNotOptimize(copy.get());
    }
}
BENCHMARK(BM_CopyPlan1000x10)->Unit(benchmark::kMillisecond);

}  // namespace
