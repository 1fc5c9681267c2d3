// Appearing, the five action types, cancelling and replay, tick by tick.
#include "PlaybackSupport.h"

#include "engine/EditHistory.h"

#include <cmath>
#include <random>

namespace {

// A length that the test speed covers in just over `ms` milliseconds at map
// y = 0, so the truncated segment duration is exactly `ms`.
double LengthFor(uint32_t ms)
{
    return DegreesPerKm(0) * (ms + 0.1) / 1000.0;
}
constexpr double kSpeed = 1000.0;

}  // namespace

using Execution = PlaybackFixture;

TEST_F(Execution, UnitAppearsExactlyAtItsAppearTimeAndActsFromThen)
{
    CUnitCanLoad* unit = AddUnit(1, "甲", 0, 0, 5);
    WGAction* early = AddAction(unit, kActionTurn, 2);  // before the unit appears: never runs
    early->m_Angle = 10;
    WGAction* late = AddAction(unit, kActionTurn, 6);
    late->m_Angle = 20;
    TickThrough(4800);
    EXPECT_EQ(unit->m_Appeared, 0);
    EXPECT_TRUE(sink.events.empty());
    clock.Tick();  // 5000
    EXPECT_EQ(unit->m_Appeared, 1);
    TickThrough(6000);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"甲开始转向 [20.00000000度]"});
    EXPECT_EQ(sink.events[0].timeText, "08:00:06");
    EXPECT_DOUBLE_EQ(unit->m_Angle, 20);
}

TEST_F(Execution, AppearTimeSkippedLeavesUnitUnappearedButActing)
{
    CUnitCanLoad* unit = AddUnit(1, "甲", 0, 0, 5);
    AddAction(unit, kActionTurn, 6)->m_Angle = 1.123456789;
    clock.SetTime(5200);
    TickThrough(6000);
    EXPECT_EQ(unit->m_Appeared, 0);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"甲开始转向 [1.12345679度]"});
}

TEST_F(Execution, ObliqueMovePositionsTickByTickWithStartAndEndEvents)
{
    CUnitCanLoad* unit = AddUnit(1, "甲", 5, 0);  // the speed comes from the y before the move
    const double len = LengthFor(1000);
    const RoutePoint p0{1, 0, 0}, p1{1 + 0.6 * len, 0.8 * len, 0};
    WGAction* move = AddAction(unit, kActionMove, 1, {p0, p1});
    move->m_Speed = kSpeed;

    TickThrough(1000);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"甲开始移动"});
    EXPECT_EQ(sink.events[0].timeText, "08:00:01");
    EXPECT_EQ(unit->m_CurX, 1);
    EXPECT_EQ(unit->m_CurY, 0);
    EXPECT_EQ(unit->m_CurrentRoute, move->GetFirstRoute());
    for (int k = 1; k <= 6; ++k) {
        clock.Tick();  // 1000 + 200 k
        const double f = 0.2 * k;
        EXPECT_NEAR(unit->m_CurX, 1 + 0.6 * len * f, 1e-15) << k;
        EXPECT_NEAR(unit->m_CurY, 0.8 * len * f, 1e-15) << k;
        EXPECT_EQ(sink.events.size(), 1u) << "still moving at tick " << k;
    }
    // Passed the end point at 2200; the end comes one tick later, where the unit stands.
    clock.Tick();  // 2400
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"甲开始移动", "甲移动完毕"}));
    EXPECT_EQ(sink.events[1].timeText, "08:00:02");
    EXPECT_EQ(unit->m_CurrentRoute, nullptr);
    EXPECT_EQ(move->m_Running, 0);
    EXPECT_NEAR(unit->m_CurX, 1 + 0.6 * len * 1.2, 1e-15);
    TickThrough(5000);
    EXPECT_EQ(sink.events.size(), 2u);
}

TEST_F(Execution, VerticalSegmentIsPassedAlongY)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    const double len = LengthFor(600);
    WGAction* move = AddAction(unit, kActionMove, 0, {{2, 0, 0}, {2, len, 0}, {2 + len, len, 0}});
    move->m_Speed = kSpeed;
    TickThrough(600);
    EXPECT_EQ(move->m_CurrentPoint, 0u);  // at 600 it stands on the point, not past it
    EXPECT_NEAR(unit->m_CurY, len, 1e-15);
    clock.Tick();  // 800: past the point; the next segment starts there
    EXPECT_EQ(move->m_CurrentPoint, 1u);
    EXPECT_NEAR(unit->m_CurY, len * 800 / 600, 1e-15);
    EXPECT_EQ(unit->m_CurX, 2);
    clock.Tick();  // 1000: from the second point towards the third
    EXPECT_NEAR(unit->m_CurX, 2 + len * 200 / 600, 1e-15);
    EXPECT_NEAR(unit->m_CurY, len, 1e-15);
}

TEST_F(Execution, OnePointRouteStartsAndStaysIdleWithItsRoute)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    WGAction* move = AddAction(unit, kActionMove, 1, {{3, 4, 0}});
    move->m_Speed = kSpeed;
    TickThrough(3000);
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"甲开始移动"});
    EXPECT_EQ(move->m_Running, 0);
    EXPECT_EQ(unit->m_CurrentRoute, move->GetFirstRoute());
    EXPECT_EQ(unit->m_CurX, 3);
    EXPECT_EQ(unit->m_CurY, 4);
}

TEST_F(Execution, ZeroLengthSegmentIsPassedAtOnce)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    const double len = LengthFor(400);
    WGAction* move = AddAction(unit, kActionMove, 0, {{1, 1, 0}, {1, 1, 0}, {1 + len, 1, 0}});
    move->m_Speed = kSpeed;
    clock.Tick();  // 0: start
    clock.Tick();  // 200: the empty segment is passed, the unit on its end
    EXPECT_EQ(move->m_CurrentPoint, 1u);
    EXPECT_EQ(unit->m_CurX, 1);
    clock.Tick();  // 400
    EXPECT_NEAR(unit->m_CurX, 1 + len * 0.5, 1e-15);
    TickThrough(2000);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"甲开始移动", "甲移动完毕"}));
    EXPECT_TRUE(std::isfinite(unit->m_CurX) && std::isfinite(unit->m_CurY));
}

TEST_F(Execution, NonPositiveSpeedNeverMovesAndNeverEnds)
{
    for (double speed : {0.0, -5.0}) {
        CUnitCanLoad* unit = AddUnit(int32_t(speed) + 10, "乙");
        WGAction* move = AddAction(unit, kActionMove, 0, {{1, 2, 0}, {3, 4, 0}});
        move->m_Speed = speed;
    }
    TickThrough(60000);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"乙开始移动", "乙开始移动"}));
    for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
        CUnitCanLoad* unit = layer->GetUnitAt(i);
        EXPECT_EQ(unit->m_CurX, 1);
        EXPECT_EQ(unit->m_CurY, 2);
        EXPECT_EQ(unit->m_Actions[0]->m_Running, 1);
    }
    plan->CancelAllActions();
    EXPECT_EQ(layer->GetUnitAt(0)->m_Actions[0]->m_Running, 0);
    EXPECT_EQ(layer->GetUnitAt(0)->m_CurrentRoute, nullptr);
}

TEST_F(Execution, StrikeWithHitTimeOneTogglesFourTimes)
{
    CUnitCanLoad* striker = AddUnit(1, "甲", 0.5, 0.25);
    WGAction* strike = AddAction(striker, kActionStrike, 1, {{2, 3, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 1;

    std::vector<uint32_t> lineTicks;
    while (clock.GetTime() <= 4000) {
        const uint32_t now = clock.GetTime();
        clock.Tick();
        if (!play.FireLines().empty()) {
            lineTicks.push_back(now);
            ASSERT_EQ(play.FireLines().size(), 1u);
            const FireLine& line = play.FireLines().front();
            EXPECT_EQ(line.description, "甲[编号: 1][火器: 榴弹炮]");
            EXPECT_EQ(line.strikerNo, 1);
            EXPECT_EQ(line.startX, 0.5);
            EXPECT_EQ(line.startY, 0.25);
            EXPECT_EQ(line.endX, 2);
            EXPECT_EQ(line.endY, 3);
        }
        if (now == 2800) {
            ASSERT_EQ(layer->GetUnitCount(), 2u);
            auto* fire = dynamic_cast<UnitFire*>(layer->GetUnitAt(1));
            ASSERT_NE(fire, nullptr);
            EXPECT_EQ(fire->m_UnitNo, kFireUnitNo);
            EXPECT_EQ(fire->m_OnCount, 2);
            EXPECT_EQ(fire->m_UnitName, "榴弹炮");
            EXPECT_EQ(fire->m_KillRadius, 25);
        }
        if (now == 3000) {
            EXPECT_EQ(layer->GetUnitCount(), 1u) << "the fire unit goes in the tick after its last toggle";
        }
    }
    EXPECT_EQ(lineTicks, (std::vector<uint32_t>{1000, 1600, 2200, 2800}));
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"甲开始打击 [使用火器: 榴弹炮]", "甲打击完毕"}));
    EXPECT_EQ(sink.events[1].timeText, "08:00:03");
    EXPECT_EQ(strike->m_Running, 0);
}

TEST_F(Execution, StrikeWithUnknownOrMiscasedWeaponNeverHappens)
{
    CUnitCanLoad* striker = AddUnit(1, "甲");
    AddAction(striker, kActionStrike, 0, {{2, 3, 0}})->m_BulletType = "03.99";
    AddAction(striker, kActionStrike, 0)->m_BulletType = "03.01";  // no route
    TickThrough(3000);
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(layer->GetUnitCount(), 1u);
    EXPECT_TRUE(play.FireLines().empty());
}

TEST_F(Execution, LoadAndUnloadRules)
{
    auto* carrier = AddUnit<UnitCarrier>(1, "运一");
    auto* other = AddUnit<UnitSingleCarrier>(2, "运二");
    CUnitCanLoad* cargo = AddUnit(3, "货", 7, 8);
    AddAction(carrier, kActionLoad, 1)->m_UnitNo = 3;
    AddAction(other, kActionLoad, 2)->m_UnitNo = 3;  // already carried: nothing but the event
    AddAction(other, kActionUnload, 3, {{9, 9, 0}})->m_UnitNo = 3;  // not its cargo
    AddAction(carrier, kActionUnload, 4, {{5, 6, 0}})->m_UnitNo = 3;

    TickThrough(2000);
    EXPECT_EQ(cargo->m_Loaded, 1);
    EXPECT_EQ(cargo->m_CarrierNo, 1);
    EXPECT_EQ(carrier->m_CarriedUnits, std::vector<CUnitCanLoad*>{cargo});
    EXPECT_TRUE(other->m_CarriedUnits.empty());
    TickThrough(3000);
    EXPECT_EQ(cargo->m_Loaded, 1);
    EXPECT_EQ(cargo->m_CurX, 7);
    TickThrough(4000);
    EXPECT_EQ(cargo->m_Loaded, 0);
    EXPECT_EQ(cargo->m_CarrierNo, 0);
    EXPECT_EQ(cargo->m_CurX, 5);
    EXPECT_EQ(cargo->m_CurY, 6);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"运一 开始装载[单位: 3]", "运二 开始装载[单位: 3]",
                                                         "运二开始卸载[单位: 3]", "运一开始卸载[单位: 3]"}));
}

TEST_F(Execution, LoadOfItselfReturnsZeroAndChangesNothing)
{
    auto* carrier = AddUnit<UnitCarrier>(4, "运");
    WGAction* load = AddAction(carrier, kActionLoad, 0);
    load->m_UnitNo = 4;
    EXPECT_EQ(load->Execute(0, 0, nullptr), 0);
    EXPECT_EQ(carrier->m_Loaded, 0);
    EXPECT_TRUE(carrier->m_CarriedUnits.empty());
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(layer->Gate().SharedHolders(), 0);
}

TEST_F(Execution, CancelReleasesASingleCarriersLoadAtTheOrigin)
{
    auto* single = AddUnit<UnitSingleCarrier>(1, "车");
    auto* carrier = AddUnit<UnitCarrier>(2, "机");
    CUnitCanLoad* a = AddUnit(3, "甲", 4, 4);
    CUnitCanLoad* b = AddUnit(5, "乙", 6, 6);
    AddAction(single, kActionLoad, 0)->m_UnitNo = 3;
    AddAction(carrier, kActionLoad, 0)->m_UnitNo = 5;
    clock.Tick();
    ASSERT_EQ(a->m_Loaded, 1);
    plan->CancelAllActions();
    EXPECT_EQ(a->m_Loaded, 0);
    EXPECT_EQ(a->m_CurX, 0);
    EXPECT_EQ(a->m_CurY, 0);
    EXPECT_TRUE(single->m_CarriedUnits.empty());
    EXPECT_EQ(b->m_Loaded, 1) << "a UnitCarrier's load is not undone";
    EXPECT_EQ(sink.events.size(), 2u) << "cancel sends no event";
}

TEST_F(Execution, CancelEndsMovesAndStrikesWithoutEvents)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    WGAction* move = AddAction(unit, kActionMove, 0, {{0, 0, 0}, {1, 0, 0}});
    move->m_Speed = kSpeed;
    WGAction* strike = AddAction(unit, kActionStrike, 0, {{1, 1, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 100;
    TickThrough(1000);
    ASSERT_EQ(move->m_Running, 1);
    ASSERT_EQ(strike->m_Running, 1);
    UnitFire* fire = strike->m_FireUnit;
    plan->CancelAllActions();
    EXPECT_EQ(move->m_Running, 0);
    EXPECT_EQ(unit->m_CurrentRoute, nullptr);
    EXPECT_EQ(strike->m_Running, 0);
    EXPECT_EQ(fire->m_Removed, 1);
    clock.Tick();
    EXPECT_EQ(layer->GetUnitCount(), 1u);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"甲开始移动", "甲开始打击 [使用火器: 榴弹炮]"}));
}

// The editor deletes actions while playback runs; nothing may keep pointing
// into a deleted action.
TEST_F(Execution, RemovingRunningActionsLeavesNoReferenceBehind)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    WGAction* move = AddAction(unit, kActionMove, 0, {{0, 0, 0}, {1, 0, 0}});
    move->m_Speed = kSpeed;
    WGAction* strike = AddAction(unit, kActionStrike, 0, {{1, 1, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 100;
    AddAction(unit, kActionTurn, 50);
    TickThrough(1000);
    ASSERT_NE(unit->m_CurrentRoute, nullptr);
    UnitFire* fire = strike->m_FireUnit;
    ASSERT_NE(fire, nullptr);

    ASSERT_TRUE(layer->TryLockExclusive(20));
    EXPECT_EQ(unit->RemoveAction(99), nullptr);
    std::unique_ptr<WGAction> removedMove = unit->RemoveAction(move->m_ActionNo);
    std::unique_ptr<WGAction> removedStrike = unit->RemoveAction(strike->m_ActionNo);
    layer->UnlockExclusive();
    ASSERT_NE(removedMove, nullptr);
    ASSERT_NE(removedStrike, nullptr);
    EXPECT_EQ(unit->m_Actions.size(), 1u);
    EXPECT_EQ(unit->m_CurrentRoute, nullptr);
    EXPECT_EQ(fire->m_Removed, 1);
    removedMove.reset();
    removedStrike.reset();
    clock.Tick();
    EXPECT_EQ(layer->GetUnitCount(), 1u) << "the fire unit is gone";
    EXPECT_EQ(unit->LastActionNo(), 3);
}

TEST_F(Execution, FireUnitOfADeletedStrikerGoesAway)
{
    CUnitCanLoad* striker = AddUnit(1, "甲");
    WGAction* strike = AddAction(striker, kActionStrike, 0, {{1, 1, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 100;
    clock.Tick();
    ASSERT_EQ(layer->GetUnitCount(), 2u);
    layer->DeleteUnit(striker);
    clock.Tick();
    EXPECT_EQ(layer->GetUnitCount(), 0u);
}

namespace {

// Counts the plan's time steps.
class CountingPlan : public CPlan {
public:
    using CPlan::CPlan;
    int RecvClockEvent(uint32_t previousMs, uint32_t nowMs, const void* context) override
    {
        calls.emplace_back(previousMs, nowMs);
        return CPlan::RecvClockEvent(previousMs, nowMs, context);
    }
    std::vector<std::pair<uint32_t, uint32_t>> calls;
};

}  // namespace

TEST_F(Execution, PlayTicksMakesTheClocksTicksAndLeavesActionsRunning)
{
    CountingPlan counting(plan->GetContext());
    counting.m_Layers.push_back(std::make_unique<CPlanLayer>());
    counting.AdoptLayers();
    CPlanLayer* first = counting.GetFirstLayer();
    auto unit = std::make_unique<UnitSingleSimple>();
    unit->m_UnitNo = 1;
    unit->m_UnitName = "甲";
    CUnitCanLoad* raw = unit.get();
    first->AddUnit(std::move(unit));
    WGAction* move = AddAction(raw, kActionMove, 2, {{0, 0, 0}, {1000, 0, 0}});
    move->m_Speed = kSpeed;

    counting.PlayTicks(0, 10000);
    ASSERT_EQ(counting.calls.size(), 51u);
    for (uint32_t i = 0; i <= 50; ++i) {
        EXPECT_EQ(counting.calls[i].second, i * 200);
        EXPECT_EQ(counting.calls[i].first, i * 200 - 200);
    }
    // Nothing is cancelled: the move goes on in the next tick.
    EXPECT_EQ(move->m_Running, 1);
    EXPECT_NE(raw->m_CurrentRoute, nullptr);
    // Map units per ms are the derived speed / 1000.
    EXPECT_NEAR(raw->m_CurX, DegreesPerKm(0) * kSpeed / 1000 / 1000 * 8000, 1e-8);
}

namespace {

// A unit whose step ends the layer's walk.
class StoppingUnit : public UnitSingleSimple {
public:
    int RecvClockEvent(uint32_t, uint32_t, const void*) override { return 0; }
};

}  // namespace

TEST_F(Execution, LayerReturningZeroStopsLaterLayers)
{
    plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
    plan->AdoptLayers();
    CPlanLayer* second = plan->m_Layers[1].get();
    CUnitCanLoad* before = AddUnit(1, "甲");
    AddAction(before, kActionTurn, 0)->m_Angle = 1;
    AddUnit<StoppingUnit>(2, "停");
    CUnitCanLoad* after = AddUnit(3, "乙");
    AddAction(after, kActionTurn, 0)->m_Angle = 2;
    CUnitCanLoad* later = AddUnit(4, "丙", 0, 0, 0, second);
    AddAction(later, kActionTurn, 0)->m_Angle = 3;
    clock.Tick();
    EXPECT_EQ(sink.Messages(), std::vector<std::string>{"甲开始转向 [1.00000000度]"});
    EXPECT_EQ(layer->Gate().SharedHolders(), 0);
}

TEST_F(Execution, EventsOfATickCarryThePlansCurrentTime)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    AddAction(unit, kActionTurn, 3661)->m_Angle = 0;
    clock.SetTime(3661000);
    clock.Tick();
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].timeText, "09:01:01");
    EXPECT_EQ(play.GetCurrentEpoch(), plan->m_StartTime + 3661);
}

// ---- units with nothing running skip their actions ------------------------------

// A unit whose move has ended goes quiet; actions given to it later, by the
// editor or by undo, and a replay from an earlier time still start in their tick.
TEST_F(Execution, QuietUnitStillStartsActionsAddedLaterAndOnReplay)
{
    CUnitCanLoad* unit = AddUnit(1, "甲");
    AddAction(unit, kActionMove, 1, {{0, 0, 0}, {LengthFor(400), 0, 0}})->m_Speed = kSpeed;
    TickThrough(5000);
    ASSERT_EQ(sink.Messages(), (std::vector<std::string>{"甲开始移动", "甲移动完毕"}));

    AddAction(unit, kActionTurn, 7)->m_Angle = 30;  // as the editor adds it, while the unit is quiet
    TickThrough(7000);
    EXPECT_EQ(double(unit->m_Angle), 30.0);

    // Undo restores an action list with a turn at 9 s.
    const CEditHistory::UnitStates states = [&] {
        unit->m_Actions.back()->m_ActionTime = 9;
        unit->m_Actions.back()->m_Angle = 45;
        auto s = CEditHistory::Capture(*layer, 1);
        unit->m_Actions.back()->m_ActionTime = 7;
        return s;
    }();
    CEditHistory::Restore(*layer, plan->GetContext(), 1, states);
    TickThrough(9000);
    EXPECT_EQ(double(unit->m_Angle), 45.0);

    // The clock set back (no reset): the move starts again in its tick.
    sink.events.clear();
    clock.SetTime(0);
    TickThrough(1000);
    EXPECT_EQ(sink.Messages(), (std::vector<std::string>{"甲开始移动"}));
}

// Random plans played twice, once with the shortcut and once with it
// dropped before every tick (every unit's whole action list looked at), with
// actions added, deleted and cancelled while playing: the same events and the
// same final state.
TEST_F(Execution, StepShortcutChangesNothingOnRandomPlans)
{
    auto play = [&](uint32_t seed, bool shortcut) {
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        plan->ResetPlayback();
        layer->ClearUnits();
        sink.events.clear();
        clock.SetTime(0);
        const int count = pick(1, 12);
        std::vector<CUnitCanLoad*> units;
        for (int k = 0; k < count; ++k) {
            units.push_back(AddUnit(k + 1, "u" + std::to_string(k), pick(0, 9) * 0.001, 0, pick(0, 3)));
            for (int a = pick(0, 4); a > 0; --a) {
                WGAction* act = AddAction(units.back(), pick(1, 5), pick(-1, 12),
                                          {{pick(0, 9) * 0.001, 0, 0}, {pick(0, 9) * 0.001, pick(0, 3) * 0.001, 0}});
                act->m_Speed = pick(0, 3) * 500;
                act->m_Angle = pick(0, 359);
                act->m_UnitNo = pick(1, count);
                act->m_BulletType = "03.01";
                act->m_HitTime = pick(1, 2);
            }
        }
        std::string state;
        for (uint32_t t = 0; t <= 80; ++t) {
            if (!shortcut)
                CUnitCanLoad::ActionsEdited();
            if (pick(0, 15) == 0) {  // the editor adds an action at a later second
                WGAction* act = AddAction(units[size_t(pick(0, count - 1))], pick(1, 3), int32_t(t / 5) + pick(0, 4),
                                          {{0.001, 0.002, 0}, {0.003, 0, 0}});
                act->m_Speed = 800;
                act->m_Angle = 90;
                act->m_BulletType = "03.01";
            }
            if (pick(0, 20) == 0) {  // the editor deletes an action, as the panel does, by erasing it
                CUnitCanLoad* u = units[size_t(pick(0, count - 1))];
                if (!u->m_Actions.empty()) {
                    auto it = u->m_Actions.begin() + pick(0, int(u->m_Actions.size()) - 1);
                    if ((*it)->m_FireUnit)
                        (*it)->m_FireUnit->m_Removed = 1;
                    if (pick(0, 1))
                        u->m_Actions.erase(it);
                    else
                        u->RemoveAction((*it)->m_ActionNo);
                }
            }
            if (pick(0, 30) == 0)
                units[size_t(pick(0, count - 1))]->CancelActions(layer);
            clock.Tick();
        }
        for (const auto& e : sink.events)
            state += e.timeText + " " + e.message + "\n";
        for (CUnitCanLoad* u : units) {
            state += std::to_string(double(u->m_CurX)) + " " + std::to_string(double(u->m_CurY)) + " " +
                     std::to_string(double(u->m_Angle)) + " " + std::to_string(int(u->m_Loaded)) + "\n";
            for (const auto& a : u->m_Actions)
                state += std::to_string(a->m_Running) + std::to_string(a->m_CurrentPoint) + " ";
        }
        return state;
    };
    for (uint32_t seed = 1; seed <= 60; ++seed)
        EXPECT_EQ(play(seed, true), play(seed, false)) << "seed " << seed;
}
