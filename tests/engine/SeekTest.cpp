// Seeking: whatever was played, seeked or paused before, a seek to T leaves
// the plan in exactly the state of an uninterrupted play to T, with that
// play's events and hits, and playing on gives what the uninterrupted play gives.
#include "RandomPlans.h"

#include "engine/PlaybackEvents.h"

#include <cstring>
#include <random>
#include <sstream>

namespace {

class Seek : public ::testing::Test {
protected:
    void SetUp() override { LoadTestCatalog(dir, catalog); }

    void Build(World& w, uint32_t seed, bool quick, bool checkHits)
    {
        PlanMaker(seed, quick).Build(w, catalog, dir.path().toStdString());
        w.Wire(checkHits);
    }

    // A session as an operator has it (play, pause, seek back and forward,
    // play on), then a last seek to T and play on to T2, against one play
    // from 0 to T2 that nobody interrupted.
    void Check(uint32_t seed, bool quick)
    {
        std::mt19937 rng(seed ^ 0x9e3779b9u);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        const bool checkHits = pick(0, 3) != 0;
        World reference, session;
        Build(reference, seed, quick, checkHits);
        Build(session, seed, quick, checkHits);
        const auto ms = [&](int lo, int hi) { return uint32_t(pick(lo, hi)) * 200u; };

        const int moves = pick(0, 4);
        for (int m = 0; m < moves; ++m) {
            if (pick(0, 1))
                session.PlayTo(session.clock.GetTime() + ms(0, 400));
            else
                session.SeekTo(pick(0, 8) == 0 ? -1 : int64_t(pick(0, 160)) * 1000);
        }
        // The time bar seeks to whole seconds, a re-seek on play to any tick.
        const uint32_t t = pick(0, 2) ? uint32_t(pick(0, 150)) * 1000 : ms(0, 750);
        session.SeekTo(t);
        reference.PlayTo(t);
        ASSERT_EQ(StateOf(*session.plan), StateOf(*reference.plan)) << "seed " << seed << ", at " << t;
        ASSERT_EQ(EventsOf(session), EventsOf(reference)) << "seed " << seed << ", at " << t;

        const uint32_t t2 = t + ms(0, 600);
        session.PlayTo(t2);
        reference.PlayTo(t2);
        ASSERT_EQ(StateOf(*session.plan), StateOf(*reference.plan)) << "seed " << seed << ", " << t << " to " << t2;
        ASSERT_EQ(EventsOf(session), EventsOf(reference)) << "seed " << seed << ", " << t << " to " << t2;
    }

    TestDir dir;
    CUnitClassCatalog catalog;
};

TEST_F(Seek, AnySessionThenASeekAndPlayGivesTheUninterruptedPlay)
{
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        Check(seed, seed % 2 == 0);
        if (HasFatalFailure())
            return;
    }
}

// Long moves, strikes while moving, a striker on the second layer, late starts,
// hours of plan time: the seek against every tick played.
TEST_F(Seek, TenHoursOfMovesAndStrikesMatchEveryTickPlayed)
{
    World plain, fast;
    for (World* w : {&plain, &fast}) {
        PlanContext context;
        context.catalog = &catalog;
        context.moduleFolder = dir.path().toStdString();
        context.play = &w->play;
        w->plan = std::make_unique<CPlan>(context);
        w->play.SetEventSink(&w->sink);
        w->play.SetHitDistance(0.002);
        for (int l = 0; l < 2; ++l)
            w->plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
        w->plan->AdoptLayers();
        for (int i = 0; i < 30; ++i) {
            auto unit = std::make_unique<UnitSingleSimple>();
            unit->m_UnitNo = i + 1;
            unit->m_UnitName = "m" + std::to_string(i);
            unit->m_AppearTime = i * 7;
            auto move = std::make_unique<WGAction>();
            move->m_ActionType = kActionMove;
            move->m_ActionTime = i * 7 + (i % 3);
            move->m_Speed = 3.0 + i;  // slow: hours along a long route
            auto route = std::make_unique<WGRoute>();
            for (int p = 0; p < 8; ++p)
                route->m_Points.push_back({0.05 * p + i * 0.001, 0.03 * (p % 3), 0});
            move->m_Routes.push_back(std::move(route));
            CUnitCanLoad* raw = unit.get();
            raw->AddNewAction(std::move(move));
            if (i % 4 == 0) {
                auto strike = std::make_unique<WGAction>();
                strike->m_ActionType = kActionStrike;
                strike->m_ActionTime = 600 + i * 11;
                strike->m_BulletType = "03.01";
                strike->m_HitTime = 2;
                auto target = std::make_unique<WGRoute>();
                target->m_Points.push_back({0.1, 0.1, 0});
                strike->m_Routes.push_back(std::move(target));
                raw->AddNewAction(std::move(strike));
            }
            w->plan->m_Layers[size_t(i % 5 == 0)]->AddUnit(std::move(unit));
        }
    }
    for (uint32_t to : {0u, 1u, 599u, 640u, 3600u, 20000u, 36000u}) {
        plain.sink.events.clear();
        fast.sink.events.clear();
        plain.sink.hits.clear();
        fast.sink.hits.clear();
        plain.plan->ResetPlayback();
        plain.plan->PlayTicks(0, to * 1000);
        fast.plan->SeekTo(int64_t(to) * 1000);
        EXPECT_EQ(StateOf(*fast.plan), StateOf(*plain.plan)) << "to " << to;
        EXPECT_EQ(EventsOf(fast), EventsOf(plain)) << "to " << to;
    }
    EXPECT_GT(plain.sink.events.size(), 60u);
    EXPECT_GT(plain.sink.hits.size(), 0u);
}


// States a user reaches, from which a seek must start over cleanly.
class SeekFromPlayedState : public PlaybackFixture {};

TEST_F(SeekFromPlayedState, ResetRestoresWhatPlayChangedAndEditsTakeEffect)
{
    auto* carrier = AddUnit<UnitSingleCarrier>(1, "车", 0.001, 0.001);
    carrier->m_InitAngle = carrier->m_Angle = 15;
    CUnitCanLoad* cargo = AddUnit(2, "货", 0.002, 0.002);
    CUnitCanLoad* target = AddUnit(3, "靶", 0.009, 0.001, 3);
    WGAction* move = AddAction(carrier, kActionMove, 1, {{0.001, 0.001, 0}, {0.010, 0.001, 0}});
    move->m_Speed = 40;
    AddAction(carrier, kActionTurn, 2)->m_Angle = 200;
    AddAction(carrier, kActionLoad, 2)->m_UnitNo = 2;
    WGAction* strike = AddAction(carrier, kActionStrike, 4, {{0.009, 0.001, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 5;
    play.SetHitDistance(0.0005);

    TickThrough(5000);  // paused mid-move, mid-strike, carrying
    ASSERT_EQ(move->m_Running, 1);
    ASSERT_EQ(strike->m_Running, 1);
    ASSERT_EQ(cargo->m_Loaded, 1);
    ASSERT_EQ(target->m_HitFlag, 1);
    ASSERT_EQ(layer->GetUnitCount(), 4u) << "the strike's fire unit";
    const double xAt5 = carrier->m_CurX;

    plan->ResetPlayback();
    EXPECT_EQ(layer->GetUnitCount(), 3u) << "the fire unit is gone";
    EXPECT_EQ(double(carrier->m_CurX), 0.001);
    EXPECT_EQ(double(carrier->m_Angle), 15);
    EXPECT_EQ(carrier->m_Appeared, 0);
    EXPECT_EQ(carrier->m_CarriedCount, 0);
    EXPECT_TRUE(carrier->m_CarriedUnits.empty());
    EXPECT_EQ(cargo->m_Loaded, 0);
    EXPECT_EQ(target->m_HitFlag, 0);
    EXPECT_EQ(move->m_Running, 0);
    EXPECT_EQ(move->m_SpeedDerived, 0);
    EXPECT_EQ(strike->m_FireUnit, nullptr);
    EXPECT_EQ(carrier->m_CurrentRoute, nullptr);

    // A faster move after an edit: the seek derives the speed again.
    plan->SeekTo(5000);
    EXPECT_EQ(double(carrier->m_CurX), xAt5);
    move->m_Speed = 80;
    plan->SeekTo(5000);
    EXPECT_GT(double(carrier->m_CurX), xAt5 + 0.5 * (xAt5 - 0.001));
    EXPECT_EQ(double(carrier->m_Angle), 200);
    EXPECT_EQ(cargo->m_Loaded, 1);
}

TEST_F(SeekFromPlayedState, HitsOfTheHistoryReachTheSinkButRaiseNoAlarm)
{
    CUnitCanLoad* striker = AddUnit(1, "炮", 0.001, 0.001);
    AddUnit(2, "靶", 0.009, 0.001);
    WGAction* strike = AddAction(striker, kActionStrike, 1, {{0.009, 0.001, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 1;
    play.SetHitDistance(0.0005);
    TickThrough(4000);
    const size_t alarms = play.HitList().Count();
    ASSERT_GT(alarms, 0u);
    const std::vector<HitRecord> played = sink.hits;

    sink.hits.clear();
    sink.events.clear();
    plan->SeekTo(4000);
    ASSERT_EQ(sink.hits.size(), played.size());
    EXPECT_EQ(sink.hits[0].victim, played[0].victim);
    EXPECT_EQ(play.HitList().Count(), alarms);
    EXPECT_TRUE(play.RecordsHits()) << "switched back on after the seek";
}

// The striker moves after its fire unit flashed (it is on the second layer):
// the line the hit check uses starts where the striker stands, as drawn.
TEST_F(SeekFromPlayedState, FireLinesStartWhereTheStrikerStandsAtTheEndOfTheTick)
{
    plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
    plan->AdoptLayers();
    CPlanLayer* second = plan->m_Layers[1].get();
    CUnitCanLoad* striker = AddUnit(1, "炮", 0.001, 0.001, 0, second);
    WGAction* move = AddAction(striker, kActionMove, 0, {{0.001, 0.001, 0}, {0.001, 0.020, 0}});
    move->m_Speed = 200;
    WGAction* strike = AddAction(striker, kActionStrike, 0, {{0.009, 0.001, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 4;
    int flashes = 0;
    while (clock.GetTime() <= 4000) {
        clock.Tick();
        for (const FireLine& line : play.FireLines()) {
            ++flashes;
            EXPECT_EQ(line.startX, double(striker->m_CurX));
            EXPECT_EQ(line.startY, double(striker->m_CurY));
            ASSERT_NE(strike->m_FireUnit, nullptr);
            EXPECT_EQ(strike->m_FireUnit->m_StartPoint.Y, double(striker->m_CurY));
        }
    }
    EXPECT_GE(flashes, 4);
    EXPECT_GT(double(striker->m_CurY), 0.001) << "the striker moved while it struck";
}

}  // namespace
