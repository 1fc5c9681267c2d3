#include "EngineTestSupport.h"
#include "PlaybackSupport.h"

#include "engine/EditHistory.h"

#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <random>
#include <set>
#include <thread>

namespace {

CUnitCanLoad* Add(CPlanLayer& layer, const char* classId, int32_t no)
{
    auto unit = CreateUnitForClassId(classId);
    unit->m_UnitNo = no;
    unit->m_ClassId = classId;
    unit->m_UnitName = "u" + std::to_string(no);
    CUnitCanLoad* raw = unit.get();
    EXPECT_TRUE(layer.AddUnit(std::move(unit)));
    return raw;
}

std::vector<int32_t> Numbers(const CPlanLayer& layer)
{
    std::vector<int32_t> out;
    for (size_t i = 0; i < layer.GetUnitCount(); ++i)
        out.push_back(layer.GetUnitAt(i)->m_UnitNo);
    return out;
}

}  // namespace

TEST(Units, KindComesFromTheTextBeforeTheFirstDot)
{
    struct Case {
        const char* classId;
        int32_t unitType;  // -1: no unit
    } cases[] = {
        {"01.01", kUnitTypeCarrier},        {"02-01.01", kUnitTypeSingleCarrier},
        {"02-02.x.y", kUnitTypeSingleSimple}, {"03.01", kUnitTypeFire},
        {"01", -1},                         {"02-02", -1},
        {"", -1},                           {".01", -1},
        {"1.01", -1},                       {"02-1.01", -1},
        {"02-01 .x", -1},                   {"04.01", -1},
    };
    for (const Case& c : cases) {
        auto unit = CreateUnitForClassId(c.classId);
        if (c.unitType < 0) {
            EXPECT_EQ(unit, nullptr) << c.classId;
            continue;
        }
        ASSERT_NE(unit, nullptr) << c.classId;
        EXPECT_EQ(unit->m_UnitType, c.unitType) << c.classId;
    }
    EXPECT_NE(dynamic_cast<UnitSingle*>(CreateUnitOfKind("02-01").get()), nullptr);
    EXPECT_NE(dynamic_cast<UnitSingle*>(CreateUnitOfKind("02-02").get()), nullptr);
    EXPECT_EQ(CreateUnitOfKind("01")->GetCarriedUnits()->size(), 0u);
    EXPECT_NE(CreateUnitOfKind("02-01")->GetCarriedUnits(), nullptr);
    EXPECT_EQ(CreateUnitOfKind("02-02")->GetCarriedUnits(), nullptr);
    EXPECT_EQ(CreateUnitOfKind("03")->GetCarriedUnits(), nullptr);
    EXPECT_EQ(UnitSingle().m_UnitType, kUnitTypeSingle);
    EXPECT_EQ(CUnitCanLoad().m_UnitType, kUnitTypeBase);
}

TEST(Units, NewActionsAreNumberedAfterTheLastOne)
{
    UnitSingleSimple unit;
    EXPECT_EQ(unit.LastActionNo(), 0);
    WGAction* first = unit.AddNewAction(std::make_unique<WGAction>());
    EXPECT_EQ(first->m_ActionNo, 1);
    ASSERT_EQ(first->m_ActingUnits.size(), 1u);
    EXPECT_EQ(first->GetActingUnit(), &unit);
    first->m_ActionNo = 7;
    EXPECT_EQ(unit.AddNewAction(std::make_unique<WGAction>())->m_ActionNo, 8) << "two actions, last numbered 7";
    EXPECT_EQ(unit.LastActionNo(), 8);

    WGAction fresh;
    EXPECT_EQ(fresh.m_HitTime, 1);
    EXPECT_EQ(fresh.m_ActionType, 0);
    EXPECT_TRUE(fresh.m_Routes.empty());
    EXPECT_EQ(std::string(DefaultActionName(kActionMove)), "移动");
    EXPECT_EQ(std::string(DefaultActionName(kActionStrike)), "打击");
    EXPECT_EQ(std::string(DefaultActionName(kActionLoad)), "装载");
    EXPECT_EQ(std::string(DefaultActionName(kActionUnload)), "卸载");
    EXPECT_EQ(std::string(DefaultActionName(kActionTurn)), "");
}

TEST(Units, BitmapsFollowThePathRuleAndSizeComesFromTheImage)
{
    TestDir dir;
    WriteBitmap(dir, "NormalBitmap/a.bmp", 17, 11);
    const std::string absolute = WriteBitmap(dir, "elsewhere/b.bmp", 5, 6);
    UnitSingleSimple unit;
    unit.m_UnitBitmap = "NormalBitmap\\a.bmp";
    unit.m_UnitBitmapMask = absolute;
    unit.LoadBitmaps(dir.path().toStdString());
    EXPECT_EQ(unit.m_ImageWidth, 17);
    EXPECT_EQ(unit.m_ImageHeight, 11);
    EXPECT_EQ(unit.m_Mask.width(), 5);

    unit.m_UnitBitmap = "NormalBitmap/missing.bmp";
    unit.m_UnitBitmapMask.clear();
    unit.LoadBitmaps(dir.path().toStdString());
    EXPECT_TRUE(unit.m_Image.isNull());
    EXPECT_TRUE(unit.m_Mask.isNull());
    EXPECT_EQ(unit.m_ImageWidth, 0);
    EXPECT_EQ(unit.m_ImageHeight, 0);
}

TEST(PlanLayer, UnitTableFollowsAddAndDelete)
{
    CPlanLayer layer;
    EXPECT_EQ(layer.m_MapType, 1);
    CUnitCanLoad* a = Add(layer, "01.01", 3);
    CUnitCanLoad* b = Add(layer, "02-02.01", 7);
    EXPECT_EQ(a->m_Layer, &layer);
    EXPECT_EQ(layer.GetUnitByNo(3), a);
    EXPECT_EQ(layer.GetUnitByNo(7), b);
    EXPECT_EQ(layer.GetUnitByNo(4), nullptr);
    for (int32_t n : {-1, 25601, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
        EXPECT_EQ(layer.GetUnitByNo(n), nullptr) << n;

    // A repeated number: the table holds the last one added. Deleting another
    // unit of the number leaves the entry; deleting the one it holds empties
    // it, though a unit of that number is left.
    CUnitCanLoad* a2 = Add(layer, "02-01.01", 3);
    CUnitCanLoad* a3 = Add(layer, "01.01", 3);
    EXPECT_EQ(layer.GetUnitByNo(3), a3);
    layer.DeleteUnit(a2);
    EXPECT_EQ(layer.GetUnitByNo(3), a3);
    layer.DeleteUnit(a3);
    EXPECT_EQ(layer.GetUnitByNo(3), nullptr);
    EXPECT_EQ(Numbers(layer), (std::vector<int32_t>{3, 7}));
    EXPECT_EQ(layer.GetUnitAt(0), a) << "still in the layer, only not in the table";
    layer.DeleteUnit(a);
    EXPECT_EQ(layer.GetUnitByNo(3), nullptr);
    EXPECT_EQ(Numbers(layer), (std::vector<int32_t>{7}));

    layer.DeleteUnit(a);  // no longer there: nothing happens
    Add(layer, "01.01", 9);
    Add(layer, "01.01", 7);
    Add(layer, "01.01", 8);
    layer.DeleteUnitsByNo(7);
    EXPECT_EQ(Numbers(layer), (std::vector<int32_t>{9, 8}));
    EXPECT_EQ(layer.GetUnitByNo(7), nullptr);
    layer.ClearUnits();
    EXPECT_EQ(layer.GetUnitCount(), 0u);
    EXPECT_EQ(layer.GetUnitByNo(9), nullptr);
}

TEST(PlanLayer, ADeletedFireUnitNeverHandsItsEntryToAnOlderOne)
{
    // Every strike adds a fire unit of the same number; the one a load by
    // number finds must never be an older one after the newest goes.
    CPlanLayer layer;
    CUnitCanLoad* older = Add(layer, "03.01", kFireUnitNo);
    Add(layer, "01.01", 5);
    CUnitCanLoad* newer = Add(layer, "03.01", kFireUnitNo);
    ASSERT_EQ(layer.GetUnitByNo(kFireUnitNo), newer);

    // Deleted by the tick's walk (removed flag), as a finished strike is.
    newer->m_Removed = 1;
    EXPECT_EQ(layer.DispatchUnits([](CUnitCanLoad&) { return 1; }), 1);
    EXPECT_EQ(layer.GetUnitCount(), 2u);
    EXPECT_EQ(layer.GetUnitAt(0), older);
    EXPECT_EQ(layer.GetUnitByNo(kFireUnitNo), nullptr);

    // Undone and deleted through undo's path: the same.
    layer.LockExclusive();
    auto again = std::make_unique<UnitFire>();
    again->m_UnitNo = kFireUnitNo;
    CUnitCanLoad* raw = again.get();
    layer.InsertUnitLocked(2, std::move(again));
    EXPECT_EQ(layer.GetUnitByNo(kFireUnitNo), raw);
    layer.DeleteUnitLocked(raw);
    layer.UnlockExclusive();
    EXPECT_EQ(layer.GetUnitByNo(kFireUnitNo), nullptr);
}

TEST(PlanLayer, MaxUnitNoLeavesOutFireUnits)
{
    CPlanLayer layer;
    EXPECT_EQ(layer.MaxUnitNo(), 0);
    Add(layer, "01.01", 3);
    Add(layer, "01.01", 7);
    Add(layer, "03.01", kFireUnitNo);
    Add(layer, "01.01", 40000);
    EXPECT_EQ(layer.MaxUnitNo(), 7);
    layer.DeleteUnitsByNo(7);
    EXPECT_EQ(layer.MaxUnitNo(), 3);
    Add(layer, "01.01", 25599);
    EXPECT_EQ(layer.MaxUnitNo(), 25599);
}

TEST(PlanLayer, AddUnitGivesUpWhenTheGateStaysTaken)
{
    CPlanLayer layer;
    layer.LockExclusive();
    std::atomic<bool> added{true};
    std::thread other([&] {
        auto unit = CreateUnitForClassId("01.01");
        unit->m_UnitNo = 1;
        added = layer.AddUnit(std::move(unit));
    });
    other.join();
    layer.UnlockExclusive();
    EXPECT_FALSE(added);
    EXPECT_EQ(layer.GetUnitCount(), 0u);
    EXPECT_EQ(layer.GetUnitByNo(1), nullptr);
}

TEST(PlanLayer, CarriersLoadAndUnload)
{
    CPlanLayer layer;
    auto* heli = static_cast<UnitCarrier*>(Add(layer, "01.01", 1));
    auto* ifv = static_cast<UnitSingleCarrier*>(Add(layer, "02-01.01", 2));
    CUnitCanLoad* tank = Add(layer, "02-02.01", 3);
    CUnitCanLoad* tank2 = Add(layer, "02-02.01", 4);
    tank->m_CurX = 5;
    tank->m_CurY = 6;

    heli->LoadUnit(3);
    EXPECT_EQ(tank->m_Loaded, 1);
    EXPECT_EQ(tank->m_CarrierNo, 1);
    EXPECT_EQ(tank->m_CurX, 5) << "loading does not move the unit";
    ifv->LoadUnit(3);
    EXPECT_TRUE(ifv->m_CarriedUnits.empty()) << "already carried by another";
    EXPECT_EQ(tank->m_CarrierNo, 1);
    heli->LoadUnit(99);
    heli->LoadUnit(1);
    EXPECT_EQ(heli->m_CarriedUnits, (std::vector<CUnitCanLoad*>{tank}));
    EXPECT_EQ(heli->m_Loaded, 0) << "no carrier loads itself";
    EXPECT_EQ(heli->m_CarriedCount, 1) << "painting reads the count, not the list";

    ifv->UnloadUnit(3, 1, 1, 1);
    EXPECT_EQ(tank->m_Loaded, 1) << "not carried by this one";
    heli->UnloadUnit(3, 10.5, 20.5, 99);
    EXPECT_EQ(tank->m_Loaded, 0);
    EXPECT_EQ(tank->m_CarrierNo, 0);
    EXPECT_EQ(tank->m_CurX, 10.5);
    EXPECT_EQ(tank->m_CurY, 20.5);
    EXPECT_TRUE(heli->m_CarriedUnits.empty());
    EXPECT_EQ(heli->m_CarriedCount, 0);

    ifv->LoadUnit(4);
    EXPECT_EQ(ifv->m_CarriedUnits, (std::vector<CUnitCanLoad*>{tank2}));
    tank->LoadUnit(4);  // kinds without a carried-unit list ignore it
    tank->UnloadUnit(4, 0, 0, 0);
    EXPECT_EQ(tank2->m_CarrierNo, 2);
}

TEST(PlanLayer, DeletingAUnitLeavesNoPointerToIt)
{
    CPlanLayer layer;
    auto* heli = static_cast<UnitCarrier*>(Add(layer, "01.01", 1));
    CUnitCanLoad* tank = Add(layer, "02-02.01", 3);
    CUnitCanLoad* tank2 = Add(layer, "02-02.01", 4);
    heli->LoadUnit(3);
    heli->LoadUnit(4);
    layer.DeleteUnit(tank);
    EXPECT_EQ(heli->m_CarriedUnits, (std::vector<CUnitCanLoad*>{tank2}));
    EXPECT_EQ(heli->m_CarriedCount, 1);

    // A strike's fire unit and its striker.
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    fire->m_Striker = heli;
    UnitFire* fireRaw = fire.get();
    ASSERT_TRUE(layer.AddUnit(std::move(fire)));
    WGAction* strike = heli->AddNewAction(std::make_unique<WGAction>());
    strike->m_ActionType = kActionStrike;
    strike->m_Running = 1;
    strike->m_FireUnit = fireRaw;
    layer.DeleteUnitsByNo(kFireUnitNo);
    EXPECT_EQ(strike->m_FireUnit, nullptr);
    EXPECT_EQ(strike->m_Running, 0);

    auto fire2 = std::make_unique<UnitFire>();
    fire2->m_UnitNo = kFireUnitNo;
    fire2->m_Striker = heli;
    UnitFire* fire2Raw = fire2.get();
    ASSERT_TRUE(layer.AddUnit(std::move(fire2)));
    layer.DeleteUnit(heli);
    EXPECT_EQ(fire2Raw->m_Striker, nullptr);
    EXPECT_EQ(tank2->m_Loaded, 0) << "units of a deleted carrier are put down";
    EXPECT_EQ(tank2->m_CarrierNo, 0);
}

TEST(PlanLayer, ResetPositionsAndCancelAllActions)
{
    CPlanLayer layer;
    auto* ifv = static_cast<UnitSingleCarrier*>(Add(layer, "02-01.01", 1));
    auto* heli = static_cast<UnitCarrier*>(Add(layer, "01.01", 2));
    CUnitCanLoad* a = Add(layer, "02-02.01", 3);
    CUnitCanLoad* b = Add(layer, "02-02.01", 4);
    a->m_InitX = 1;
    a->m_InitY = 2;
    a->m_CurX = 50;
    a->m_CurY = 60;
    a->m_Appeared = 1;
    layer.ResetPositions();
    EXPECT_EQ(a->m_CurX, 1);
    EXPECT_EQ(a->m_CurY, 2);
    EXPECT_EQ(a->m_Appeared, 0);

    // A running move and strike of the single carrier, and its load of unit 3.
    WGAction* move = ifv->AddNewAction(std::make_unique<WGAction>());
    move->m_ActionType = kActionMove;
    move->m_Routes.push_back(std::make_unique<WGRoute>());
    move->m_Running = 1;
    ifv->m_CurrentRoute = move->GetFirstRoute();
    auto fire = std::make_unique<UnitFire>();
    UnitFire* fireRaw = fire.get();
    layer.AddUnit(std::move(fire));
    WGAction* strike = ifv->AddNewAction(std::make_unique<WGAction>());
    strike->m_ActionType = kActionStrike;
    strike->m_Running = 1;
    strike->m_FireUnit = fireRaw;
    WGAction* load = ifv->AddNewAction(std::make_unique<WGAction>());
    load->m_ActionType = kActionLoad;
    load->m_UnitNo = 3;
    ifv->LoadUnit(3);
    // The carrier platform's load is not undone.
    WGAction* heliLoad = heli->AddNewAction(std::make_unique<WGAction>());
    heliLoad->m_ActionType = kActionLoad;
    heliLoad->m_UnitNo = 4;
    heli->LoadUnit(4);
    a->m_CurX = a->m_CurY = 7;

    layer.CancelAllActions(&layer);
    EXPECT_EQ(move->m_Running, 0);
    EXPECT_EQ(ifv->m_CurrentRoute, nullptr);
    EXPECT_EQ(strike->m_Running, 0);
    EXPECT_EQ(strike->m_FireUnit, nullptr);
    EXPECT_EQ(fireRaw->m_Removed, 1);
    EXPECT_EQ(a->m_Loaded, 0);
    EXPECT_EQ(a->m_CurX, 0) << "put down at (0, 0)";
    EXPECT_EQ(a->m_CurY, 0);
    EXPECT_EQ(b->m_Loaded, 1);
    EXPECT_EQ(layer.Gate().SharedHolders(), 0);

    // Idle moves are left alone.
    ifv->m_CurrentRoute = move->GetFirstRoute();
    layer.CancelAllActions(&layer);
    EXPECT_EQ(ifv->m_CurrentRoute, move->GetFirstRoute());
}

TEST(PlanLayer, DispatchReachesAppendedUnitsAndDeletesRemovedOnes)
{
    CPlanLayer layer;
    for (int32_t n = 1; n <= 4; ++n)
        Add(layer, "02-02.01", n);
    std::vector<int32_t> visited;
    int appended = 0;
    const int result = layer.DispatchUnits([&](CUnitCanLoad& u) {
        visited.push_back(u.m_UnitNo);
        if (u.m_UnitNo == 2)
            u.m_Removed = 1;  // deleted before unit 3 is visited
        if (u.m_UnitNo == 3 && appended++ == 0) {
            // A strike inside the walk takes the gate once more and appends.
            EXPECT_TRUE(layer.LockShared(10));
            auto fire = std::make_unique<UnitFire>();
            fire->m_UnitNo = kFireUnitNo;
            EXPECT_TRUE(layer.AddUnit(std::move(fire)));
            layer.UnlockShared();
        }
        if (u.m_UnitNo == 3) {
            EXPECT_EQ(layer.GetUnitByNo(2), nullptr);
            EXPECT_EQ(layer.GetUnitCount(), 3u + size_t(appended > 0));
        }
        return 1;
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(visited, (std::vector<int32_t>{1, 2, 3, 4, kFireUnitNo}));
    EXPECT_EQ(Numbers(layer), (std::vector<int32_t>{1, 3, 4, kFireUnitNo}));
    EXPECT_EQ(layer.Gate().SharedHolders(), 0);

    // The last unit removed; then a visit that stops the walk.
    layer.GetUnitAt(3)->m_Removed = 1;
    visited.clear();
    EXPECT_EQ(layer.DispatchUnits([&](CUnitCanLoad& u) {
        visited.push_back(u.m_UnitNo);
        return u.m_UnitNo == 3 ? 0 : 1;
    }), 0);
    EXPECT_EQ(visited, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(layer.GetUnitCount(), 4u) << "the stopped walk never reached the removed unit";
    EXPECT_EQ(layer.Gate().SharedHolders(), 0);
    EXPECT_EQ(layer.DispatchUnits([](CUnitCanLoad&) { return 1; }), 1);
    EXPECT_EQ(Numbers(layer), (std::vector<int32_t>{1, 3, 4}));

    layer.LockExclusive();
    std::thread blocked([&] { EXPECT_EQ(layer.DispatchUnits([](CUnitCanLoad&) { return 1; }, 5), 0); });
    blocked.join();
    layer.UnlockExclusive();
}

// A walker, an appender and a deleter on three threads: the walker sees every
// unit at most once per walk, appends are never lost.
TEST(PlanLayer, WalksAppendsAndDeletesFromSeveralThreads)
{
    CPlanLayer layer;
    std::atomic<bool> stop{false};
    std::atomic<int> added{0};
    std::atomic<bool> duplicate{false};
    std::atomic<long> walks{0};

    std::thread walker([&] {
        std::vector<int32_t> seen;  // unique ids: addresses of deleted units are reused
        while (!stop) {
            seen.clear();
            layer.DispatchUnits([&](CUnitCanLoad& u) {
                if (std::find(seen.begin(), seen.end(), u.m_AppearTime) != seen.end())
                    duplicate = true;
                seen.push_back(u.m_AppearTime);
                if (u.m_UnitNo % 5 == 0)
                    u.m_Removed = 1;
                return 1;
            });
            ++walks;
        }
    });
    std::thread appender([&] {
        for (int i = 1; i <= 3000; ++i) {
            auto unit = CreateUnitForClassId("02-02.01");
            unit->m_UnitNo = i;
            unit->m_AppearTime = i;
            while (!layer.AddUnit(std::move(unit))) {
                unit = CreateUnitForClassId("02-02.01");
                unit->m_UnitNo = i;
                unit->m_AppearTime = i;
            }
            ++added;
        }
    });
    std::thread deleter([&] {
        for (int i = 0; i < 300; ++i) {
            layer.DeleteUnitsByNo(i * 7 % 3000);
            std::this_thread::yield();
        }
    });
    appender.join();
    deleter.join();
    stop = true;
    walker.join();

    EXPECT_FALSE(duplicate);
    EXPECT_GT(walks, 0);
    EXPECT_EQ(added, 3000);
    EXPECT_EQ(layer.Gate().SharedHolders(), 0);
    EXPECT_LE(layer.GetUnitCount(), 3000u);
    for (size_t i = 0; i < layer.GetUnitCount(); ++i) {
        CUnitCanLoad* u = layer.GetUnitAt(i);
        EXPECT_EQ(u->m_Layer, &layer);
        EXPECT_EQ(layer.GetUnitByNo(u->m_UnitNo), u);
    }
}

// ---- deletions from played states ------------------------------------------------

namespace {

class DeletionFromPlayedState : public PlaybackFixture {
protected:
    // Every unit of every layer of the plan.
    std::vector<CUnitCanLoad*> AllUnits() const
    {
        std::vector<CUnitCanLoad*> out;
        for (const auto& l : plan->m_Layers)
            for (size_t i = 0; i < l->GetUnitCount(); ++i)
                out.push_back(l->GetUnitAt(i));
        return out;
    }

    // No pointer anywhere in the plan equals `gone`, and the back references
    // mirror the forward ones exactly.
    void ExpectNoReferenceTo(const void* gone, const std::string& where)
    {
        const std::vector<CUnitCanLoad*> units = AllUnits();
        std::multiset<std::pair<const void*, const void*>> carriedPairs, carriedByPairs, fires, strikers;
        for (CUnitCanLoad* u : units) {
            ASSERT_NE(static_cast<const void*>(u), gone) << where;
            if (const auto* carried = u->GetCarriedUnits()) {
                EXPECT_EQ(int32_t(u->m_CarriedCount), int32_t(carried->size())) << where;
                for (const CUnitCanLoad* c : *carried) {
                    ASSERT_NE(static_cast<const void*>(c), gone) << where << ": carried by " << u->m_UnitNo;
                    carriedPairs.insert({u, c});
                }
            }
            for (const CUnitCanLoad* by : u->m_CarriedBy) {
                ASSERT_NE(static_cast<const void*>(by), gone) << where;
                carriedByPairs.insert({by, u});
            }
            for (const UnitFire* f : u->m_Fires) {
                ASSERT_NE(static_cast<const void*>(f), gone) << where;
                fires.insert({u, f});
            }
            if (const UnitFire* fire = u->AsFire()) {
                ASSERT_NE(static_cast<const void*>(fire->m_Striker), gone) << where << ": striker of a fire unit";
                if (fire->m_Striker)
                    strikers.insert({fire->m_Striker, fire});
            }
            for (const auto& a : u->m_Actions) {
                ASSERT_NE(static_cast<const void*>(a->m_FireUnit), gone) << where << ": fire unit of a strike";
                for (const CUnitCanLoad* acting : a->m_ActingUnits)
                    ASSERT_NE(static_cast<const void*>(acting), gone) << where;
            }
        }
        EXPECT_EQ(carriedPairs, carriedByPairs) << where << ": carried lists and their back references differ";
        EXPECT_EQ(fires, strikers) << where << ": fire units and their strikers' lists differ";
    }

    // The back references mirror the forward ones (no deleted unit to look for).
    void ExpectConsistent(const std::string& where)
    {
        static const int nothing = 0;
        ExpectNoReferenceTo(&nothing, where);
    }

    // What a walk over every unit leaves after deleting `dying`: every carrier's list
    // without it, and the units it carried put down.
    struct Expected {
        std::vector<std::pair<CUnitCanLoad*, std::vector<CUnitCanLoad*>>> lists;
        std::vector<CUnitCanLoad*> putDown;
    };
    Expected Predict(const CUnitCanLoad* dying) const
    {
        Expected e;
        for (CUnitCanLoad* u : AllUnits()) {
            if (u == dying)
                continue;
            if (const auto* carried = u->GetCarriedUnits()) {
                std::vector<CUnitCanLoad*> left;
                for (CUnitCanLoad* c : *carried)
                    if (c != dying)
                        left.push_back(c);
                e.lists.emplace_back(u, left);
            }
        }
        if (const auto* carried = dying->GetCarriedUnits())
            for (CUnitCanLoad* c : *carried)
                if (c != dying)
                    e.putDown.push_back(c);
        return e;
    }
    void Check(const Expected& e, const std::string& where)
    {
        for (const auto& [carrier, list] : e.lists)
            EXPECT_EQ(*carrier->GetCarriedUnits(), list) << where << ": carrier " << carrier->m_UnitNo;
        const std::vector<CUnitCanLoad*> units = AllUnits();
        for (const CUnitCanLoad* c : e.putDown) {
            if (std::find(units.begin(), units.end(), c) == units.end())
                continue;
            EXPECT_EQ(int32_t(c->m_Loaded), 0) << where;
            EXPECT_EQ(int32_t(c->m_CarrierNo), 0) << where;
        }
    }
};

}  // namespace

// Random plans on two layers (strikes of the second layer put their fire units
// on the first), played for a while, then emptied unit by unit in a random
// order, with ticks, resets and undos in between: after every deletion no
// pointer to the deleted unit is left anywhere and the carried lists are what
// a walk over every unit would leave.
TEST_F(DeletionFromPlayedState, RandomOrdersLeaveNoPointerToADeletedUnit)
{
    plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
    plan->AdoptLayers();
    CPlanLayer* second = plan->m_Layers[1].get();
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        plan->ResetPlayback();
        for (const auto& l : plan->m_Layers)
            l->ClearUnits();
        clock.SetTime(0);
        // Few numbers, so that numbers repeat and loads name duplicates.
        const int count = pick(8, 30);
        for (int k = 0; k < count; ++k) {
            CPlanLayer* on = pick(0, 3) == 0 ? second : layer;
            const int kind = pick(0, 2);
            const int32_t no = pick(1, 12);
            CUnitCanLoad* u = kind == 0   ? static_cast<CUnitCanLoad*>(AddUnit<UnitCarrier>(no, "c", 0, 0, 0, on))
                              : kind == 1 ? static_cast<CUnitCanLoad*>(AddUnit<UnitSingleCarrier>(no, "s", 0, 0, 0, on))
                                          : AddUnit<UnitSingleSimple>(no, "t", pick(0, 9) * 0.01, 0, 0, on);
            for (int a = pick(0, 4); a > 0; --a) {
                const int type = pick(1, 5);
                WGAction* act = AddAction(u, type, pick(0, 6), {{pick(0, 9) * 0.01, pick(0, 9) * 0.01, 0}, {0.05, 0.05, 0}});
                act->m_UnitNo = pick(1, 12);
                act->m_BulletType = "03.01";
                act->m_HitTime = pick(1, 3);
                act->m_Speed = 100;
            }
        }
        const int ticks = pick(0, 40);
        for (int t = 0; t < ticks; ++t)
            clock.Tick();

        const std::string where = "seed " + std::to_string(seed);
        ExpectConsistent(where + " before deleting");
        std::vector<CUnitCanLoad*> units = AllUnits();
        while (!units.empty()) {
            CUnitCanLoad* dying = units[size_t(pick(0, int(units.size()) - 1))];
            CPlanLayer* from = dying->m_Layer;
            const Expected expected = Predict(dying);
            const CEditHistory::UnitStates states = CEditHistory::Capture(*from, dying->m_UnitNo);
            const int32_t no = dying->m_UnitNo;
            const bool wasFire = dying->AsFire() != nullptr;
            from->DeleteUnit(dying);
            ExpectNoReferenceTo(dying, where + " after deleting unit " + std::to_string(no));
            Check(expected, where);
            if (::testing::Test::HasFailure())
                return;
            switch (pick(0, 9)) {
            case 0:  // undo the deletion of every unit of the number
                if (!wasFire) {
                    CEditHistory::Restore(*from, plan->GetContext(), no, states);
                    ExpectConsistent(where + " after restoring");
                }
                break;
            case 1:
                plan->ResetPlayback();
                ExpectConsistent(where + " after the reset");
                break;
            case 2:
            case 3:
                for (int t = pick(1, 8); t > 0; --t)
                    clock.Tick();
                ExpectConsistent(where + " after ticks");
                break;
            default:
                break;
            }
            units = AllUnits();
        }
    }
}

// The striker on one layer, its flash on the first: deleting either end
// leaves the other without a pointer to it.
TEST_F(DeletionFromPlayedState, StrikerAndFireOnDifferentLayers)
{
    plan->m_Layers.push_back(std::make_unique<CPlanLayer>());
    plan->AdoptLayers();
    CPlanLayer* second = plan->m_Layers[1].get();
    auto* striker = AddUnit(1, "炮兵", 0, 0, 0, second);
    WGAction* strike = AddAction(striker, kActionStrike, 0, {{0.01, 0.01, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 3;
    clock.Tick();
    ASSERT_NE(strike->m_FireUnit, nullptr);
    UnitFire* fire = strike->m_FireUnit;
    EXPECT_EQ(fire->m_Layer, layer);
    EXPECT_EQ(striker->m_Fires, (std::vector<UnitFire*>{fire}));

    layer->DeleteUnit(fire);
    EXPECT_EQ(strike->m_FireUnit, nullptr);
    EXPECT_EQ(strike->m_Running, 0);
    EXPECT_TRUE(striker->m_Fires.empty());

    // A new strike, then the striker goes: the flash loses its striker and ends.
    AddAction(striker, kActionStrike, 1, {{0.01, 0.01, 0}})->m_BulletType = "03.01";
    TickThrough(1000);
    ASSERT_EQ(layer->GetUnitCount(), 1u);
    auto* fire2 = layer->GetUnitAt(0)->AsFire();
    ASSERT_NE(fire2, nullptr);
    EXPECT_EQ(fire2->m_Striker, striker);
    second->DeleteUnit(striker);
    EXPECT_EQ(fire2->m_Striker, nullptr);
    clock.Tick();
    EXPECT_EQ(layer->GetUnitCount(), 0u) << "the flash without its striker is deleted in its next tick";
}

// A carrier that is itself carried, and a unit listed twice by a restored
// carrier: deleting any of them cleans every list that holds it.
TEST_F(DeletionFromPlayedState, NestedAndRepeatedCarrying)
{
    auto* ship = AddUnit<UnitCarrier>(1, "舰");
    auto* ifv = AddUnit<UnitSingleCarrier>(2, "车");
    auto* tank = AddUnit(3, "坦克");
    ship->LoadUnit(2);
    ifv->LoadUnit(3);
    ship->AppendCarried(tank);  // as a restore may leave it
    ASSERT_EQ(tank->m_CarriedBy.size(), 2u);

    layer->DeleteUnit(ifv);
    ExpectNoReferenceTo(ifv, "ifv");
    EXPECT_EQ(ship->m_CarriedUnits, (std::vector<CUnitCanLoad*>{tank}));
    EXPECT_EQ(tank->m_CarriedBy, (std::vector<CUnitCanLoad*>{ship}));
    EXPECT_EQ(tank->m_Loaded, 0) << "put down by its deleted carrier";

    ship->AppendCarried(tank);
    layer->DeleteUnit(tank);
    ExpectNoReferenceTo(tank, "tank");
    EXPECT_TRUE(ship->m_CarriedUnits.empty());
    EXPECT_EQ(ship->m_CarriedCount, 0);
}
