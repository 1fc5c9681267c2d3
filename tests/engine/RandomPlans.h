#pragma once
// Random plans for comparing playback's fast paths with the plain one: a
// plan with its own play state and clock, a plan built from a seed (moves,
// strikes, turns, loads and unloads, two layers at times), and every
// playback field and report as text to compare.
#include "PlaybackSupport.h"

#include <cstring>
#include <random>
#include <sstream>

// One plan with its own play state and recorded events, built from a seed.
struct World {
    CPlayState play;
    RecordingSink sink;
    std::unique_ptr<CPlan> plan;
    CClockService clock;

    // What the clock does in the program, one tick at a time.
    void Wire(bool checkHits)
    {
        play.SetCheckBeenHit(checkHits ? 1 : 0);
        play.SetHitDistance(0.0015);
        clock.SetCheckBeenHit(checkHits ? 1 : 0);
        clock.SetFireLineList(&play.FireLines());
        clock.AddReceiver(plan.get());
        clock.SetTime(0);
    }
    void PlayTo(uint32_t ms)
    {
        while (clock.GetTime() <= ms)
            clock.Tick();
    }
    // As the time bar does: the history replaces the events shown.
    void SeekTo(int64_t ms)
    {
        sink.events.clear();
        sink.hits.clear();
        plan->SeekTo(ms);
        clock.SetTime(ms < 0 ? 0 : uint32_t(ms) + 200);
    }
};

class PlanMaker {
public:
    PlanMaker(uint32_t seed, bool quick) : m_rng(seed), m_quick(quick) {}

    void Build(World& w, const CUnitClassCatalog& catalog, const std::string& folder)
    {
        PlanContext context;
        context.catalog = &catalog;
        context.moduleFolder = folder;
        context.play = &w.play;
        w.plan = std::make_unique<CPlan>(context);
        w.plan->m_StartTime = MakeLocalTime(2024, 5, 1, 8, 0, 0);
        w.sink.plan = w.plan.get();
        w.play.SetEventSink(&w.sink);

        const int layers = Chance(0.2) ? 2 : 1;
        for (int l = 0; l < layers; ++l)
            w.plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
        w.plan->AdoptLayers();
        std::vector<CUnitCanLoad*> all;
        int next = 1;
        for (int l = 0; l < layers; ++l) {
            const int units = Int(1, m_quick ? 12 : 40);
            for (int u = 0; u < units; ++u) {
                std::unique_ptr<CUnitCanLoad> unit;
                switch (Int(0, 2)) {
                case 0: unit = std::make_unique<UnitCarrier>(); break;
                case 1: unit = std::make_unique<UnitSingleCarrier>(); break;
                default: unit = std::make_unique<UnitSingleSimple>(); break;
                }
                unit->m_UnitNo = next++;
                unit->m_UnitName = "u" + std::to_string(unit->m_UnitNo);
                unit->m_InitX = unit->m_CurX = Real(0, 0.02);
                unit->m_InitY = unit->m_CurY = Real(0, 0.02);
                unit->m_AppearTime = Chance(0.05) ? -1 : Int(0, 40);
                unit->m_InitAngle = unit->m_Angle = Real(0, 360);
                all.push_back(unit.get());
                w.plan->m_Layers[size_t(l)]->AddUnit(std::move(unit));
            }
        }
        for (CUnitCanLoad* unit : all) {
            const int actions = Int(0, 5);
            for (int a = 0; a < actions; ++a)
                AddAction(*unit, all);
        }
    }

private:
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_rng); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_rng); }

    RoutePoint Point(const std::vector<RoutePoint>& before)
    {
        if (!before.empty() && Chance(0.1))
            return before.back();  // a segment of length 0
        RoutePoint p{Real(0, 0.02), Real(0, 0.02), 0};
        if (!before.empty() && Chance(0.15))
            p.X = before.back().X;  // vertical
        return p;
    }

    void AddAction(CUnitCanLoad& unit, const std::vector<CUnitCanLoad*>& all)
    {
        auto action = std::make_unique<WGAction>();
        const int kind = Int(0, 99);
        action->m_ActionType = kind < 55 ? kActionMove
                             : kind < 70 ? kActionStrike
                             : kind < 80 ? kActionTurn
                             : kind < 88 ? kActionLoad
                             : kind < 97 ? kActionUnload
                                         : 9;
        action->m_ActionTime = Chance(0.03) ? -3 : Int(0, 90);
        if (Chance(0.25))
            action->m_ActionTime = unit.m_AppearTime;  // starts the moment the unit appears
        const int points = action->m_ActionType == kActionMove ? Int(0, 6) : Int(0, 1);
        if (points > 0) {
            auto route = std::make_unique<WGRoute>();
            for (int i = 0; i < points; ++i)
                route->m_Points.push_back(Point(route->m_Points));
            action->m_Routes.push_back(std::move(route));
        }
        const int speed = Int(0, 9);
        action->m_Speed = speed == 0 ? 0.0 : speed == 1 ? -5.0 : speed == 2 ? 1e-9 : Real(1, 300);
        action->m_BulletType = Chance(0.85) ? "03.01" : "nope";
        action->m_HitTime = Int(1, 3);
        action->m_Angle = Real(0, 360);
        action->m_UnitNo = all[size_t(Int(0, int(all.size()) - 1))]->m_UnitNo;
        WGAction* added = unit.AddNewAction(std::move(action));
        if (Chance(0.05))  // acts for another unit
            added->m_ActingUnits[0] = all[size_t(Int(0, int(all.size()) - 1))];
    }

    std::mt19937 m_rng;
    bool m_quick;
};

// Every playback field of the plan, as text; doubles by their bits.
inline std::string StateOf(const CPlan& plan)
{
    std::ostringstream out;
    auto bits = [&](double d) {
        uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        out << std::hex << b << std::dec << ' ';
    };
    for (const auto& layer : plan.m_Layers) {
        out << "layer " << layer->GetUnitCount() << '\n';
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* u = layer->GetUnitAt(i);
            out << u->m_UnitNo << ' ' << u->m_UnitType << ' ';
            bits(u->m_CurX);
            bits(u->m_CurY);
            bits(u->m_Angle);
            bits(u->m_InitAngle);
            out << u->m_Appeared << ' ' << u->m_Loaded << ' ' << u->m_CarrierNo << ' ' << u->m_CarriedCount << ' '
                << u->m_Removed << ' ' << u->m_HitFlag << ' ' << u->m_LastAttacker << ' ';
            const WGRoute* route = u->m_CurrentRoute;
            if (route && !route->m_Points.empty())
                bits(route->m_Points[0].X);
            else
                out << (route ? "empty " : "none ");
            if (const auto* carried = u->GetCarriedUnits())
                for (const CUnitCanLoad* c : *carried)
                    out << 'c' << c->m_UnitNo << ' ';
            if (const UnitFire* fire = u->AsFire()) {
                out << "fire " << fire->m_OnCount << ' ' << fire->m_FlashOn << ' ' << fire->m_LastToggleMs << ' '
                    << (fire->m_Striker ? fire->m_Striker->m_UnitNo : -1) << ' ';
                bits(fire->m_StartPoint.X);
                bits(fire->m_StartPoint.Y);
            }
            for (const auto& a : u->m_Actions) {
                out << "[" << a->m_Running << ' ' << a->m_CurrentPoint << ' ' << a->m_SegmentStartMs << ' '
                    << a->m_SegmentDurationMs << ' ' << a->m_SpeedDerived << ' ' << (a->m_FireUnit != nullptr) << ' ';
                bits(a->m_SpeedMapUnits);
                bits(a->m_SegmentLength);
                out << "] ";
            }
            out << '\n';
        }
    }
    return out.str();
}

inline std::string EventsOf(World& w)
{
    std::string out;
    for (const auto& e : w.sink.events)
        out += e.timeText + " " + std::to_string(e.epoch) + " " + e.message + "\n";
    for (const auto& h : w.sink.hits)
        out += "hit " + h.timeText + " " + h.victim + " " + h.attacker + " " + std::to_string(h.distance) + "\n";
    for (const auto& line : w.play.FireLines()) {
        out += "line " + line.description + " ";
        for (double d : {line.startX, line.startY, line.endX, line.endY}) {
            uint64_t b;
            std::memcpy(&b, &d, sizeof b);
            out += std::to_string(b) + " ";
        }
        out += "\n";
    }
    return out;
}

