// Playback costs: one tick of a large layer with fire lines and the hit
// check, and a ten-hour replay.
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/ClockService.h"
#include "engine/Plan.h"
#include "engine/PlanLayer.h"
#include "engine/PlayState.h"
#include "map/MapSource.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {

// Units on a grid, each moving along a 10-point route at a speed that keeps
// it moving for `moveSeconds`.
std::unique_ptr<CPlan> MakePlan(CPlayState& play, int units, double moveSeconds,
                                const CUnitClassCatalog* catalog = nullptr)
{
    PlanContext context;
    context.play = &play;
    context.catalog = catalog;
    auto plan = std::make_unique<CPlan>(context);
    plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
    plan->AdoptLayers();
    CPlanLayer* layer = plan->GetFirstLayer();
    const int side = 160;
    for (int i = 0; i < units; ++i) {
        auto unit = std::make_unique<UnitSingleSimple>();
        unit->m_UnitNo = i % 25600;
        unit->m_UnitName = "u" + std::to_string(i);
        const double x = (i % side) * 0.01, y = (i / side) * 0.01;
        unit->m_InitX = unit->m_CurX = x;
        unit->m_InitY = unit->m_CurY = y;
        auto action = std::make_unique<WGAction>();
        action->m_ActionType = kActionMove;
        action->m_ActionTime = 0;
        auto route = std::make_unique<WGRoute>();
        double length = 0;
        for (int p = 0; p < 10; ++p)
            route->m_Points.push_back({x + 0.001 * p, y + 0.0005 * (p % 2), 0});
        for (int p = 1; p < 10; ++p)
            length += std::hypot(0.001, 0.0005);
        action->m_Speed = length / moveSeconds * 1e6 / DegreesPerKm(y) / 1000;
        action->m_Routes.push_back(std::move(route));
        unit->AddNewAction(std::move(action));
        layer->AddUnit(std::move(unit));
    }
    return plan;
}

void BM_TickMovingUnitsWithFireLinesAndHitCheck(benchmark::State& state)
{
    const int units = int(state.range(0));
    CPlayState play;
    play.SetHitDistance(DegreesPerKm(0) * 50 / 1000);
    auto plan = MakePlan(play, units, 1e6);
    CClockService clock;
    clock.SetFireLineList(&play.FireLines());
    clock.AddReceiver(plan.get());
    clock.Tick();  // starts every move
    // 100 fire lines: range(1) 0 crosses the whole field diagonally (the worst
    // case: every unit lies within every line's spans), 1 gives strikes of 0.2
    // map units scattered over the field.
    class LineMaker : public IClockReceiver {
    public:
        LineMaker(CPlayState& p, bool s) : play(p), shortLines(s) {}
        void CheckHits(FireLineList&) override {}
        int RecvClockEvent(uint32_t, uint32_t, const void*) override
        {
            for (int k = 0; k < 100; ++k) {
                FireLine l;
                if (shortLines) {
                    l.startX = (k % 10) * 0.16;
                    l.startY = (k / 10) * 0.16;
                    l.endX = l.startX + 0.12;
                    l.endY = l.startY + 0.16;
                } else {
                    l.startX = -0.5;
                    l.startY = k * 0.016;
                    l.endX = 2.1;
                    l.endY = 1.6 - k * 0.016;
                }
                l.strikerNo = 30000 + k;
                l.description = "s" + std::to_string(k);
                play.FireLines().push_back(l);
            }
            return 1;
        }
        CPlayState& play;
        bool shortLines;
    } lines(play, state.range(1) != 0);
    clock.AddReceiver(&lines);
    for (auto _ : state)
        clock.Tick();
    state.counters["hits"] = double(play.HitList().Count());
}
BENCHMARK(BM_TickMovingUnitsWithFireLinesAndHitCheck)->Args({25600, 0})->Args({25600, 1})->Unit(benchmark::kMillisecond);

void BM_ReplayTenHours(benchmark::State& state)
{
    CPlayState play;
    auto plan = MakePlan(play, int(state.range(0)), 20000);
    for (auto _ : state) {
        plan->ResetPlayback();
        plan->PlayTicks(0, 36000 * 1000);
    }
}
BENCHMARK(BM_ReplayTenHours)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The same seek as the time bar makes it: only units that can act are visited.
void BM_FastReplayTenHours(benchmark::State& state)
{
    CPlayState play;
    auto plan = MakePlan(play, int(state.range(0)), 20000);
    for (auto _ : state)
        plan->SeekTo(36000 * 1000);
}
BENCHMARK(BM_FastReplayTenHours)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(3);

// Seeks into a plan whose units start at scattered seconds, move on
// irregular routes for up to an hour at a time, turn and stop again.
void BM_ReplayTenHoursStaggered(benchmark::State& state)
{
    CPlayState play;
    auto plan = MakePlan(play, int(state.range(0)), 3600);
    CPlanLayer* layer = plan->GetFirstLayer();
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        CUnitCanLoad* unit = layer->GetUnitAt(i);
        unit->m_AppearTime = int32_t((i * 37) % 600);
        for (int k = 0; k < 8; ++k) {
            auto action = std::make_unique<WGAction>();
            action->m_ActionType = k % 2 ? kActionTurn : kActionMove;
            action->m_ActionTime = int32_t(3600 + k * 4000 + (i * 53) % 3000);
            action->m_Angle = k * 10.0;
            action->m_Speed = 20 + (i % 7) * 5;
            auto route = std::make_unique<WGRoute>();
            for (int p = 0; p < 6; ++p)
                route->m_Points.push_back({0.01 * p + i * 1e-4, 0.02 * ((p * 7 + i) % 5), 0});
            action->m_Routes.push_back(std::move(route));
            unit->AddNewAction(std::move(action));
        }
    }
    const bool stepwise = state.range(1) != 0;  // 1: every tick, 0: the seek
    for (auto _ : state) {
        if (stepwise) {
            plan->ResetPlayback();
            plan->PlayTicks(0, 36000 * 1000);
        } else {
            plan->SeekTo(36000 * 1000);
        }
    }
}
BENCHMARK(BM_ReplayTenHoursStaggered)->Args({1000, 0})->Args({1000, 1})->Unit(benchmark::kMillisecond)->Iterations(1);

// A weapon class, so strikes make fire units.
class WeaponCatalog {
public:
    WeaponCatalog()
    {
        const QString path = m_dir.filePath("UnitClassInfo.cfg");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo><unitclass>"
                       "<node name=\"火力武器\" id=\"03\"/></unitclass><unit>"
                       "<node name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"1\" height=\"1\" "
                       "exploderadius=\"25\"/></unit></unitinfo>");
        file.close();
        CSysConfig config;
        m_catalog.Load(path.toStdString(), config);
    }
    const CUnitClassCatalog& Catalog() const { return m_catalog; }

private:
    QTemporaryDir m_dir;
    CUnitClassCatalog m_catalog;
};

// Moving units as above, 200 of which strike together every 4 s (HitTime 1:
// a strike lasts about a second, then its fire unit is deleted), so 200 fire
// units are created in one tick and deleted in another, with the hit check on.
void BM_TickMovingUnitsWithStrikes(benchmark::State& state)
{
    const int units = int(state.range(0));
    const int strikers = int(state.range(1));
    WeaponCatalog weapons;
    CPlayState play;
    play.SetHitDistance(DegreesPerKm(0) * 50 / 1000);
    auto plan = MakePlan(play, units, 1e6, &weapons.Catalog());
    CPlanLayer* layer = plan->GetFirstLayer();
    for (int k = 0; k < strikers; ++k) {
        CUnitCanLoad* unit = layer->GetUnitAt(size_t(k) * size_t(units / strikers));
        for (int round = 0; round < 110; ++round) {
            auto action = std::make_unique<WGAction>();
            action->m_ActionType = kActionStrike;
            action->m_ActionTime = int32_t(1 + round * 4);
            action->m_BulletType = "03.01";
            action->m_HitTime = 1;
            auto route = std::make_unique<WGRoute>();
            route->m_Points.push_back({(k % 160) * 0.01, (k / 160) * 0.01 + 0.5, 0});
            action->m_Routes.push_back(std::move(route));
            unit->AddNewAction(std::move(action));
        }
    }
    CClockService clock;
    clock.SetFireLineList(&play.FireLines());
    clock.AddReceiver(plan.get());
    clock.Tick();  // starts every move
    for (auto _ : state)
        clock.Tick();
    state.counters["hits"] = double(play.HitList().Count());
    state.counters["units_left"] = double(layer->GetUnitCount());
}
BENCHMARK(BM_TickMovingUnitsWithStrikes)->Args({25600, 200})->Unit(benchmark::kMillisecond)->Iterations(2000);

}  // namespace

BENCHMARK_MAIN();
