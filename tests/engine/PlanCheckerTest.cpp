// The plan check: one small plan per kind of mistake, each with the exact list
// of findings, and a sound plan with none.
#include "PlaybackSupport.h"

#include "engine/PlanChecker.h"
#include "engine/Units.h"
#include "engine/WGAction.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using Found = std::tuple<FindingSeverity, FindingKind, int32_t, int32_t>;  // severity, kind, UnitNo, ActionNo

constexpr FindingSeverity E = FindingSeverity::Error;
constexpr FindingSeverity W = FindingSeverity::Warning;
constexpr FindingSeverity I = FindingSeverity::Info;

class PlanCheckerTest : public PlaybackFixture {
protected:
    void SetUp() override
    {
        PlaybackFixture::SetUp();
        plan->m_EndTime = plan->m_StartTime + 100;
    }

    template <class Kind = UnitSingleSimple>
    Kind* Unit(int32_t no, const char* name, const char* classId = "02-02.01", int32_t appear = 0)
    {
        Kind* unit = AddUnit<Kind>(no, name, 1.0, 1.0, appear);
        unit->m_ClassId = classId;
        unit->m_ClassInfo = catalog.FindUnitClassById(classId);
        return unit;
    }
    static WGAction* Move(CUnitCanLoad* unit, int32_t time, std::vector<RoutePoint> points, double speed = 36)
    {
        WGAction* a = AddAction(unit, kActionMove, time, std::move(points));
        a->m_Speed = speed;
        return a;
    }
    std::vector<Found> Check()
    {
        std::vector<Found> out;
        for (const PlanFinding& f : CheckPlanByPlaying(*plan))
            out.emplace_back(f.severity, f.kind, f.unitNo, f.action >= 0 ? f.actionNo : -1);
        return out;
    }
};

TEST_F(PlanCheckerTest, SoundPlanHasNoFindingAndIsLeftAsItWas)
{
    auto* truck = Unit<UnitCarrier>(1, "运输车", "01.01");
    auto* tank = Unit(2, "坦克");
    auto* gun = Unit(3, "火炮");
    AddAction(truck, kActionLoad, 1)->m_UnitNo = 2;
    Move(truck, 2, {{1, 1, 0}, {1.01, 1, 0}});
    AddAction(truck, kActionUnload, 50, {{1.01, 1, 0}})->m_UnitNo = 2;
    Move(tank, 60, {{1.01, 1, 0}, {1.01, 1.01, 0}});
    WGAction* strike = AddAction(gun, kActionStrike, 3, {{1.2, 1.2, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 2;
    AddAction(gun, kActionTurn, 4)->m_Angle = 90;

    EXPECT_EQ(Check(), std::vector<Found>{});
    // The play was a copy's: the plan on screen has not moved, nothing was posted.
    EXPECT_TRUE(sink.events.empty());
    EXPECT_EQ(layer->GetUnitCount(), 3u);
    EXPECT_EQ(double(truck->m_CurX), 1.0);
    EXPECT_EQ(tank->m_Loaded, 0);
}

TEST_F(PlanCheckerTest, ActionsThatNeverRun)
{
    auto* late = Unit(1, "迟到者", "02-02.01", 10);
    Move(late, 5, {{1, 1, 0}, {1.001, 1, 0}});      // before the unit appears
    AddAction(late, kActionTurn, 10);                // at the appear time: runs
    AddAction(late, kActionTurn, 101);               // after the plan's end
    AddAction(late, 9, 20);                          // an unknown type
    AddAction(late, kActionTurn, -1);                // before the start

    EXPECT_EQ(Check(), (std::vector<Found>{{E, FindingKind::ActionBeforeAppear, 1, 1},
                                           {W, FindingKind::ActionAfterEnd, 1, 3},
                                           {E, FindingKind::UnknownActionType, 1, 4},
                                           {E, FindingKind::ActionBeforeAppear, 1, 5}}));
}

TEST_F(PlanCheckerTest, MovesWithoutPointsOrSpeedOutsideTheMapOrUnfinished)
{
    layer->m_MapType = 0;  // a bitmap map of 10 x 8 km
    layer->m_WidthKm = 10;
    layer->m_HeightKm = 8;
    auto* unit = Unit(4, "侦察车");
    AddAction(unit, kActionMove, 1)->m_Speed = 30;
    Move(unit, 2, {{1, 1, 0}, {2, 1, 0}}, 0);
    Move(unit, 3, {{1, 1, 0}, {2, 1, 0}}, -5);
    Move(unit, 4, {{1, 1, 0}, {12, 1, 0}, {3, 9, 0}, {2, 2, 0}}, 1e6);
    // At this speed a map unit takes far longer than the plan.
    Move(unit, 50, {{1, 1, 0}, {2, 1, 0}}, 36);

    EXPECT_EQ(Check(), (std::vector<Found>{{E, FindingKind::MoveWithoutPoints, 4, 1},
                                           {E, FindingKind::MoveSpeedNotPositive, 4, 2},
                                           {E, FindingKind::MoveSpeedNotPositive, 4, 3},
                                           {W, FindingKind::RoutePointOutsideMap, 4, 4},
                                           {W, FindingKind::RoutePointOutsideMap, 4, 4},
                                           {I, FindingKind::MoveRunningAtEnd, 4, 5}}));
}

TEST_F(PlanCheckerTest, StrikesWithoutWeaponTargetOrCount)
{
    auto* gun = Unit(5, "火炮");
    AddAction(gun, kActionStrike, 1, {{2, 2, 0}})->m_BulletType = "03.99";
    // The strike looks the weapon up by its exact id.
    AddAction(gun, kActionStrike, 2, {{2, 2, 0}})->m_BulletType = "03.01 ";
    AddAction(gun, kActionStrike, 3)->m_BulletType = "03.01";
    WGAction* none = AddAction(gun, kActionStrike, 4, {{2, 2, 0}});
    none->m_BulletType = "03.01";
    none->m_HitTime = 0;

    EXPECT_EQ(Check(), (std::vector<Found>{{E, FindingKind::UnknownWeapon, 5, 1},
                                           {E, FindingKind::UnknownWeapon, 5, 2},
                                           {E, FindingKind::StrikeWithoutTarget, 5, 3},
                                           {E, FindingKind::StrikeCountBelowOne, 5, 4}}));
}

TEST_F(PlanCheckerTest, LoadsAndUnloadsThatCannotWork)
{
    auto* tank = Unit(6, "坦克");
    auto* truck = Unit<UnitCarrier>(7, "运输车", "01.01");
    AddAction(tank, kActionLoad, 1)->m_UnitNo = 7;     // a tank carries nothing
    AddAction(truck, kActionLoad, 2)->m_UnitNo = 99;   // no such unit
    AddAction(truck, kActionLoad, 3)->m_UnitNo = 7;    // itself
    AddAction(truck, kActionUnload, 4)->m_UnitNo = 6;  // no point to put it down

    EXPECT_EQ(Check(), (std::vector<Found>{{E, FindingKind::CarrierCannotCarry, 6, 1},
                                           {E, FindingKind::CarryUnknownUnit, 7, 1},
                                           {E, FindingKind::CarrySelf, 7, 2},
                                           {E, FindingKind::UnloadWithoutPoint, 7, 3}}));
}

TEST_F(PlanCheckerTest, CarryingFindingsFollowThePlay)
{
    auto* a = Unit<UnitCarrier>(1, "甲车", "01.01");
    auto* b = Unit<UnitSingleCarrier>(2, "乙车", "02-01.01");
    Unit(3, "步兵");
    AddAction(a, kActionLoad, 1)->m_UnitNo = 3;
    AddAction(b, kActionLoad, 2)->m_UnitNo = 3;                // A holds it now
    AddAction(b, kActionUnload, 3, {{1, 1, 0}})->m_UnitNo = 3;  // and B does not
    AddAction(a, kActionUnload, 4, {{1, 1, 0}})->m_UnitNo = 3;
    AddAction(b, kActionLoad, 5)->m_UnitNo = 3;                // free again: fine
    AddAction(a, kActionLoad, 6)->m_UnitNo = 3;                // B holds it
    AddAction(b, kActionUnload, 7, {{1, 1, 0}})->m_UnitNo = 3;  // fine

    EXPECT_EQ(Check(), (std::vector<Found>{{W, FindingKind::LoadCarriedByOther, 1, 3},
                                           {W, FindingKind::LoadCarriedByOther, 2, 1},
                                           {W, FindingKind::UnloadNotCarried, 2, 2}}));
}

TEST_F(PlanCheckerTest, UnitsThatNeverAppearShareANumberOrHaveNoClass)
{
    Unit(8, "甲");
    Unit(8, "乙");
    Unit(9, "丙", "02-02.77");
    Unit(10, "丁", "02-02.01", 101);
    EXPECT_EQ(Check(), (std::vector<Found>{{E, FindingKind::DuplicateUnitNo, 8, -1},
                                           {W, FindingKind::UnknownClass, 9, -1},
                                           {W, FindingKind::NeverAppears, 10, -1}}));
}

TEST_F(PlanCheckerTest, FindingLinesAreTabSeparated)
{
    auto* unit = Unit(11, "带\t制表符");
    AddAction(unit, 7, 1);
    const std::vector<PlanFinding> findings = CheckPlanByPlaying(*plan);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(FindingLine(findings[0]), "错误\t11\t带 制表符\t1\t未知的动作类型 7, 动作不会执行");
}

}  // namespace
