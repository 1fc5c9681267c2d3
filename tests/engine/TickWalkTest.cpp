// The layer's tick walk passes over units with nothing running and moves the
// units within a segment of a move in a loop of its own. Against the plain
// walk (every unit stepped in full, which an edit before every tick forces)
// it must leave the same state and report the same events, hits and fire
// lines, after plays, pauses, seeks and edits.
#include "RandomPlans.h"

namespace {

uint64_t FullStepsOf(const CPlan& plan)
{
    uint64_t steps = 0;
    for (const auto& layer : plan.m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i)
            steps += layer->GetUnitAt(i)->m_StepVisits;
    return steps;
}

// Every unit stepped in full in every tick.
void PlayPlain(World& w, uint32_t ms)
{
    while (w.clock.GetTime() <= ms) {
        CUnitCanLoad::ActionsEdited();
        w.clock.Tick();
    }
}

CUnitCanLoad* UnitAt(World& w, size_t pick)
{
    std::vector<CUnitCanLoad*> all;
    for (const auto& layer : w.plan->m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i)
            if (!layer->GetUnitAt(i)->AsFire())
                all.push_back(layer->GetUnitAt(i));
    return all.empty() ? nullptr : all[pick % all.size()];
}

class TickWalk : public ::testing::Test {
protected:
    void SetUp() override { LoadTestCatalog(dir, catalog); }

    void Build(World& w, uint32_t seed, bool checkHits)
    {
        PlanMaker(seed, seed % 3 == 0).Build(w, catalog, dir.path().toStdString());
        w.Wire(checkHits);
    }

    TestDir dir;
    CUnitClassCatalog catalog;
};

// Both worlds get the same session: stretches of play (the fast one first,
// then the plain one, so the plain one's edits do not reach the fast one's
// stretch), seeks, and the edits an operator makes while paused.
TEST_F(TickWalk, RandomSessionsMatchThePlainWalk)
{
    uint64_t fastSteps = 0, plainSteps = 0;
    for (uint32_t seed = 1; seed <= 160; ++seed) {
        std::mt19937 rng(seed * 7919u);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        const bool checkHits = pick(0, 3) != 0;
        World fast, plain;
        Build(fast, seed, checkHits);
        Build(plain, seed, checkHits);
        for (int step = pick(2, 8); step > 0; --step) {
            const int what = pick(0, 9);
            if (what < 5) {
                const uint32_t to = fast.clock.GetTime() + uint32_t(pick(0, 150)) * 200u;
                const uint64_t before = FullStepsOf(*fast.plan);
                fast.PlayTo(to);
                fastSteps += FullStepsOf(*fast.plan) - before;
                const uint64_t plainBefore = FullStepsOf(*plain.plan);
                PlayPlain(plain, to);
                plainSteps += FullStepsOf(*plain.plan) - plainBefore;
            } else if (what < 7) {
                const int64_t to = pick(0, 6) == 0 ? -1 : int64_t(pick(0, 120)) * 1000;
                fast.SeekTo(to);
                plain.SeekTo(to);
            } else {
                const size_t which = size_t(pick(0, 1000));
                const int edit = pick(0, 2);
                const int32_t at = int32_t(fast.clock.GetTime() / 1000) + pick(0, 5);
                const double speed = pick(1, 300);
                for (World* w : {&fast, &plain}) {
                    CUnitCanLoad* unit = UnitAt(*w, which);
                    if (!unit)
                        continue;
                    if (edit == 0) {  // a new move
                        auto move = std::make_unique<WGAction>();
                        move->m_ActionType = kActionMove;
                        move->m_ActionTime = at;
                        move->m_Speed = speed;
                        auto route = std::make_unique<WGRoute>();
                        for (int p = 0; p < 4; ++p)
                            route->m_Points.push_back({0.004 * p, 0.003 * (p % 2), 0});
                        move->m_Routes.push_back(std::move(route));
                        unit->AddNewAction(std::move(move));
                    } else if (edit == 1) {
                        unit->CancelActions(w->plan->GetFirstLayer());
                    } else if (!unit->m_Actions.empty()) {  // deleted as the property panel does
                        auto& action = unit->m_Actions.front();
                        if (action->m_FireUnit)
                            action->m_FireUnit->m_Removed = 1;
                        for (const auto& route : action->m_Routes)
                            if (unit->m_CurrentRoute == route.get())
                                unit->m_CurrentRoute = nullptr;
                        unit->m_Actions.erase(unit->m_Actions.begin());
                    }
                }
            }
            ASSERT_EQ(StateOf(*fast.plan), StateOf(*plain.plan)) << "seed " << seed << ", step " << step;
            ASSERT_EQ(EventsOf(fast), EventsOf(plain)) << "seed " << seed << ", step " << step;
        }
    }
    // Not a timing: the fast walk did leave most units to its own loop.
    EXPECT_LT(fastSteps * 2, plainSteps);
}

// Many units on long routes of short segments, strikes starting and ending
// while they move, the hit check on: compared after every few ticks.
TEST_F(TickWalk, LongRoutesWithStrikesMatchThePlainWalk)
{
    World fast, plain;
    for (World* w : {&fast, &plain}) {
        PlanContext context;
        context.catalog = &catalog;
        context.moduleFolder = dir.path().toStdString();
        context.play = &w->play;
        w->plan = std::make_unique<CPlan>(context);
        w->sink.plan = w->plan.get();
        w->play.SetEventSink(&w->sink);
        w->plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
        w->plan->AdoptLayers();
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> coord(0, 0.05);
        for (int i = 0; i < 300; ++i) {
            auto unit = std::make_unique<UnitSingleSimple>();
            unit->m_UnitNo = i + 1;
            unit->m_UnitName = "m" + std::to_string(i);
            unit->m_AppearTime = i % 4;
            for (int m = 0; m < 2; ++m) {
                auto move = std::make_unique<WGAction>();
                move->m_ActionType = kActionMove;
                move->m_ActionTime = i % 5 + m * 40;
                move->m_Speed = 20 + i % 60;
                auto route = std::make_unique<WGRoute>();
                for (int p = 0; p < 10; ++p)
                    route->m_Points.push_back({coord(rng), coord(rng), 0});
                move->m_Routes.push_back(std::move(route));
                unit->AddNewAction(std::move(move));
            }
            if (i % 10 == 0) {
                auto strike = std::make_unique<WGAction>();
                strike->m_ActionType = kActionStrike;
                strike->m_ActionTime = 3 + i % 30;
                strike->m_BulletType = "03.01";
                strike->m_HitTime = 1 + i % 3;
                auto target = std::make_unique<WGRoute>();
                target->m_Points.push_back({coord(rng), coord(rng), 0});
                strike->m_Routes.push_back(std::move(target));
                unit->AddNewAction(std::move(strike));
            }
            w->plan->GetFirstLayer()->AddUnit(std::move(unit));
        }
        w->Wire(true);
        w->play.SetHitDistance(0.001);
    }
    for (uint32_t to = 0; to <= 90000; to += 6000) {
        fast.PlayTo(to);
        PlayPlain(plain, to);
        ASSERT_EQ(StateOf(*fast.plan), StateOf(*plain.plan)) << "at " << to;
        ASSERT_EQ(EventsOf(fast), EventsOf(plain)) << "at " << to;
    }
    EXPECT_GT(plain.sink.events.size(), 600u);
    EXPECT_GT(plain.sink.hits.size(), 0u);
    EXPECT_LT(FullStepsOf(*fast.plan) * 2, FullStepsOf(*plain.plan));
}

}  // namespace
