#include "EngineTestSupport.h"

#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
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
