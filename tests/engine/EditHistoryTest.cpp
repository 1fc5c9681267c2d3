// The undo and redo history of unit edits: every kind of change goes back to
// exactly the plan text it had, units keep their places and what other units
// refer to, the step limit, redo after a new edit, steps that changed nothing,
// and the modified state.
#include "engine/EditHistory.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"
#include "engine/PlanXmlWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <functional>
#include <string>
#include <thread>

namespace {

// The layer as a plan file would hold it.
std::string LayerText(const CPlanLayer& layer)
{
    std::string text;
    PlanXmlWriter out([&text](const char* data, size_t size) {
        text.append(data, size);
        return true;
    });
    layer.Save(out);
    out.Flush();
    return text;
}

CUnitCanLoad* AddUnit(CPlanLayer& layer, int32_t unitNo, const char* classId = "02-02.01")
{
    auto unit = CreateUnitForClassId(classId);
    unit->m_UnitNo = unitNo;
    unit->m_ClassId = classId;
    unit->m_UnitName = "单位" + std::to_string(unitNo);
    // More digits than a plan file keeps: restoring must not round them.
    unit->m_InitX = unit->m_CurX = 10.123456789 + unitNo;
    unit->m_InitY = unit->m_CurY = 20.987654321 + unitNo;
    unit->m_AppearTime = 5 * unitNo;
    unit->m_InitAngle = unit->m_Angle = 12.5;
    CustomPropertyList props;
    props.m_Properties.push_back({1, "编制", "一营"});
    unit->m_CustomProperties.push_back(props);
    auto action = std::make_unique<WGAction>();
    action->m_ActionType = kActionMove;
    action->m_ActionName = "移动";
    action->m_ActionTime = 30;
    action->m_Speed = 45.0000001;
    auto route = std::make_unique<WGRoute>();
    route->m_Points = {{1.1234567, 2.7654321, 0}, {3.5, 4.25, 0}};
    action->m_Routes.push_back(std::move(route));
    unit->AddNewAction(std::move(action));
    CUnitCanLoad* raw = unit.get();
    layer.AddUnit(std::move(unit));
    return raw;
}

struct Fixture {
    CPlanLayer layer;
    PlanContext context;
    CEditHistory history;

    Fixture()
    {
        for (int32_t n = 1; n <= 4; ++n)
            AddUnit(layer, n);
    }
    CUnitCanLoad* Unit(int32_t n) const { return layer.GetUnitByNo(n); }
};

// An edit of one unit number, as the view and the panels make them.
struct Edit {
    const char* name;
    int32_t unitNo;
    std::function<void(Fixture&)> apply;
};

std::vector<Edit> AllEdits()
{
    return {
        {"放置单位", 5, [](Fixture& f) { AddUnit(f.layer, 5, "01.02"); }},
        {"删除单位", 2, [](Fixture& f) { f.layer.DeleteUnitsByNo(2); }},
        {"删除单位", 1, [](Fixture& f) { f.layer.DeleteUnitsByNo(1); }},
        {"移动单位", 3,
         [](Fixture& f) {
             f.Unit(3)->m_CurX = f.Unit(3)->m_InitX = 33.3333333333;
             f.Unit(3)->m_CurY = f.Unit(3)->m_InitY = 44.4444444444;
         }},
        {"修改单位属性", 2,
         [](Fixture& f) {
             CUnitCanLoad* u = f.Unit(2);
             u->m_UnitName = "改名";
             u->m_AppearTime = 99;
             u->m_InitAngle = u->m_Angle = 270.25;
             u->m_InitX = 7.0000007;
         }},
        {"修改当前位置", 2, [](Fixture& f) { f.Unit(2)->m_CurX = 1e-9; }},
        {"添加打击动作", 4,
         [](Fixture& f) {
             auto a = std::make_unique<WGAction>();
             a->m_ActionType = kActionStrike;
             a->m_BulletType = "03.01";
             a->m_HitTime = 3;
             a->m_Routes.push_back(std::make_unique<WGRoute>());
             a->m_Routes.back()->m_Points = {{5, 6, 0}};
             f.Unit(4)->AddNewAction(std::move(a));
         }},
        {"修改动作", 4,
         [](Fixture& f) {
             WGAction& a = *f.Unit(4)->m_Actions.front();
             a.m_Speed = 80;
             a.m_HitTime = 7;
             a.m_UnitNo = 3;
             a.m_Angle = 90;
         }},
        {"删除动作", 4, [](Fixture& f) { f.Unit(4)->RemoveAction(f.Unit(4)->m_Actions.front()->m_ActionNo); }},
        {"添加路线点", 1, [](Fixture& f) { f.Unit(1)->m_Actions.front()->m_Routes.front()->m_Points.push_back({9, 9, 0}); }},
        {"删除路线点", 1,
         [](Fixture& f) {
             auto& points = f.Unit(1)->m_Actions.front()->m_Routes.front()->m_Points;
             points.erase(points.begin());
         }},
        {"添加自定义属性", 3,
         [](Fixture& f) { f.Unit(3)->FirstCustomPropertyList().m_Properties.push_back({2, "番号", "3"}); }},
        {"修改自定义属性", 3, [](Fixture& f) { f.Unit(3)->m_CustomProperties[0].m_Properties[0].value = "二营"; }},
        {"删除自定义属性", 3, [](Fixture& f) { f.Unit(3)->m_CustomProperties[0].m_Properties.clear(); }},
    };
}

}  // namespace

TEST(EditHistory, EveryKindOfEditIsUndoneAndRedoneExactly)
{
    for (const Edit& edit : AllEdits()) {
        SCOPED_TRACE(edit.name);
        Fixture f;
        const std::string before = LayerText(f.layer);
        const auto beforeState = CEditHistory::Capture(f.layer, edit.unitNo);
        ASSERT_TRUE(f.history.Record(f.layer, edit.name, edit.unitNo));
        edit.apply(f);
        const std::string after = LayerText(f.layer);
        const auto afterState = CEditHistory::Capture(f.layer, edit.unitNo);
        // The current position is not in the plan text; the state says it changed.
        ASSERT_FALSE(CEditHistory::SameContent(beforeState, afterState));
        EXPECT_EQ(f.history.UndoName(), edit.name);

        ASSERT_EQ(f.history.Undo(f.layer, f.context), std::optional<CEditHistory::Restored>({edit.unitNo, false}));
        EXPECT_EQ(LayerText(f.layer), before);
        // Exact to the last bit, not just to the six decimals a file keeps.
        EXPECT_TRUE(CEditHistory::SameContent(CEditHistory::Capture(f.layer, edit.unitNo), beforeState));
        EXPECT_FALSE(f.history.CanUndo());
        EXPECT_EQ(f.history.RedoName(), edit.name);

        ASSERT_EQ(f.history.Redo(f.layer, f.context), std::optional<CEditHistory::Restored>({edit.unitNo, false}));
        EXPECT_EQ(LayerText(f.layer), after);
        EXPECT_TRUE(CEditHistory::SameContent(CEditHistory::Capture(f.layer, edit.unitNo), afterState));
        EXPECT_FALSE(f.history.CanRedo());
        ASSERT_TRUE(f.history.Undo(f.layer, f.context));
        EXPECT_EQ(LayerText(f.layer), before);
    }
}

TEST(EditHistory, AllEditsInARowUndoToTheStartAndRedoToTheEnd)
{
    Fixture f;
    std::vector<std::string> texts{LayerText(f.layer)};
    for (const Edit& edit : AllEdits()) {
        f.history.Record(f.layer, edit.name, edit.unitNo);
        // Later edits of the list assume the units the earlier ones deleted.
        if (std::string(edit.name) == "删除单位" || !f.Unit(edit.unitNo))
            continue;
        if (edit.unitNo == 4 && f.Unit(4)->m_Actions.empty())
            continue;
        edit.apply(f);
        texts.push_back(LayerText(f.layer));
    }
    const size_t steps = texts.size() - 1;
    for (size_t i = steps; i-- > 0;) {
        ASSERT_TRUE(f.history.Undo(f.layer, f.context));
        EXPECT_EQ(LayerText(f.layer), texts[i]) << "after undo to step " << i;
    }
    EXPECT_FALSE(f.history.Undo(f.layer, f.context));
    for (size_t i = 1; i <= steps; ++i) {
        ASSERT_TRUE(f.history.Redo(f.layer, f.context));
        EXPECT_EQ(LayerText(f.layer), texts[i]) << "after redo of step " << i;
    }
}

TEST(EditHistory, DeletedUnitComesBackInItsPlaceAmongFireUnitsAndIntoItsCarrier)
{
    Fixture f;
    CUnitCanLoad* carrier = AddUnit(f.layer, 6, "01.01");
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    f.layer.AddUnit(std::move(fire));
    carrier->LoadUnit(2);
    ASSERT_EQ(int(f.Unit(2)->m_Loaded), 1);
    const std::string before = LayerText(f.layer);

    f.history.Record(f.layer, "删除单位", 2);
    f.layer.DeleteUnitsByNo(2);
    EXPECT_TRUE(carrier->GetCarriedUnits()->empty());
    f.history.Undo(f.layer, f.context);

    EXPECT_EQ(LayerText(f.layer), before);
    CUnitCanLoad* back = f.Unit(2);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(f.layer.GetUnitAt(1), back);
    EXPECT_EQ(back->m_Layer, &f.layer);
    // Still carried: otherwise it would stay hidden in run mode and never be unloaded.
    EXPECT_EQ(int(back->m_Loaded), 1);
    EXPECT_EQ(int(back->m_CarrierNo), 6);
    ASSERT_EQ(carrier->GetCarriedUnits()->size(), 1u);
    EXPECT_EQ(carrier->GetCarriedUnits()->front(), back);
    EXPECT_EQ(int(carrier->m_CarriedCount), 1);
    // Its actions act for the new object.
    EXPECT_EQ(back->m_Actions.front()->GetActingUnit(), back);
    // The fire unit stayed where it was, last.
    EXPECT_NE(dynamic_cast<UnitFire*>(f.layer.GetUnitAt(f.layer.GetUnitCount() - 1)), nullptr);
}

TEST(EditHistory, UndoLeavesOtherUnitsAndUnchangedActionsAsPlaybackLeftThem)
{
    Fixture f;
    CUnitCanLoad* one = f.Unit(1);
    WGAction* move = one->m_Actions.front().get();
    f.history.Record(f.layer, "修改单位属性", 1);
    one->m_UnitName = "新名";
    // Playback between the edit and its undo: unit 2 moves, unit 1's move runs.
    f.Unit(2)->m_CurX = 77;
    move->m_Running = 1;
    one->m_CurrentRoute = move->GetFirstRoute();
    one->m_Appeared = 1;

    f.history.Undo(f.layer, f.context);
    EXPECT_EQ(f.Unit(1), one);  // changed in place
    EXPECT_EQ(one->m_UnitName, "单位1");
    EXPECT_EQ(one->m_Actions.front().get(), move);
    EXPECT_EQ(move->m_Running, 1);
    EXPECT_EQ(one->m_CurrentRoute.load(), move->GetFirstRoute());
    EXPECT_EQ(int(one->m_Appeared), 1);
    EXPECT_EQ(double(f.Unit(2)->m_CurX), 77.0);
}

TEST(EditHistory, UndoneActionLeavesNoPointerToItsRouteOrFlash)
{
    Fixture f;
    CUnitCanLoad* one = f.Unit(1);
    f.history.Record(f.layer, "添加移动动作", 1);
    auto action = std::make_unique<WGAction>();
    action->m_ActionType = kActionMove;
    action->m_Routes.push_back(std::make_unique<WGRoute>());
    action->m_Routes.back()->m_Points = {{0, 0, 0}, {1, 1, 0}};
    WGAction* added = one->AddNewAction(std::move(action));
    auto fire = std::make_unique<UnitFire>();
    fire->m_UnitNo = kFireUnitNo;
    UnitFire* flash = fire.get();
    f.layer.AddUnit(std::move(fire));
    added->m_Running = 1;
    added->m_FireUnit = flash;
    one->m_CurrentRoute = added->GetFirstRoute();

    f.history.Undo(f.layer, f.context);
    EXPECT_EQ(one->m_Actions.size(), 1u);
    EXPECT_EQ(one->m_CurrentRoute.load(), nullptr);
    EXPECT_EQ(flash->m_Removed, 1);
}

TEST(EditHistory, KeepsAtLeastAHundredStepsAndDropsTheOldest)
{
    Fixture f;
    EXPECT_GE(f.history.MaxSteps(), 100u);
    const size_t total = f.history.MaxSteps() + 50;
    std::vector<std::string> texts{LayerText(f.layer)};
    for (size_t i = 0; i < total; ++i) {
        f.history.Record(f.layer, "移动单位", 1);
        f.Unit(1)->m_InitX = double(i);
        texts.push_back(LayerText(f.layer));
    }
    EXPECT_EQ(f.history.UndoCount(), f.history.MaxSteps());
    size_t undone = 0;
    while (f.history.Undo(f.layer, f.context))
        ++undone;
    EXPECT_EQ(undone, f.history.MaxSteps());
    EXPECT_EQ(LayerText(f.layer), texts[total - f.history.MaxSteps()]);
}

TEST(EditHistory, MemoryLimitDropsOldStepsButKeepsTheNewest)
{
    Fixture f;
    CEditHistory small(100, 1);  // every step is over the limit
    for (int i = 0; i < 5; ++i) {
        small.Record(f.layer, "修改单位属性", 2);
        f.Unit(2)->m_AppearTime = i + 100;
    }
    EXPECT_EQ(small.UndoCount(), 1u);
    ASSERT_TRUE(small.Undo(f.layer, f.context));
    EXPECT_EQ(f.Unit(2)->m_AppearTime, 103);
    EXPECT_FALSE(small.CanUndo());
}

TEST(EditHistory, NewEditForgetsWhatCouldBeRedone)
{
    Fixture f;
    f.history.Record(f.layer, "修改单位属性", 1);
    f.Unit(1)->m_UnitName = "甲";
    f.history.Undo(f.layer, f.context);
    ASSERT_TRUE(f.history.CanRedo());
    f.history.Record(f.layer, "修改单位属性", 2);
    f.Unit(2)->m_UnitName = "乙";
    EXPECT_FALSE(f.history.CanRedo());
    EXPECT_FALSE(f.history.Redo(f.layer, f.context));
    EXPECT_EQ(f.Unit(1)->m_UnitName, "单位1");
}

TEST(EditHistory, StepsWhoseEditChangedNothingAreDropped)
{
    Fixture f;
    f.history.Record(f.layer, "修改单位属性", 1);
    f.Unit(1)->m_UnitName = "甲";
    // Recorded, but the dialog was cancelled: nothing changed.
    f.history.Record(f.layer, "删除单位", 3);
    f.history.Settle(f.layer);
    EXPECT_EQ(f.history.UndoCount(), 1u);
    EXPECT_EQ(f.history.UndoName(), "修改单位属性");

    // Unsettled no-op steps are skipped by undo, and replaced by the next record.
    f.history.Record(f.layer, "删除单位", 3);
    f.history.Record(f.layer, "删除单位", 4);
    EXPECT_EQ(f.history.UndoCount(), 2u);
    ASSERT_EQ(f.history.Undo(f.layer, f.context), std::optional<CEditHistory::Restored>({1, false}));
    EXPECT_EQ(f.Unit(1)->m_UnitName, "单位1");
    EXPECT_FALSE(f.history.CanUndo());
    // A step settled after a real edit stays.
    f.history.Record(f.layer, "修改单位属性", 1);
    f.Unit(1)->m_UnitName = "乙";
    f.history.Settle(f.layer);
    EXPECT_EQ(f.history.UndoCount(), 1u);
}

TEST(EditHistory, ModifiedFollowsUndoAndRedoAroundTheCleanState)
{
    Fixture f;
    int notified = 0;
    f.history.SetObserver([&] { ++notified; });
    EXPECT_FALSE(f.history.IsModified());
    f.history.Record(f.layer, "修改单位属性", 1);
    f.Unit(1)->m_UnitName = "甲";
    EXPECT_TRUE(f.history.IsModified());
    EXPECT_GT(notified, 0);
    f.history.MarkClean();  // saved
    EXPECT_FALSE(f.history.IsModified());
    f.history.Undo(f.layer, f.context);
    EXPECT_TRUE(f.history.IsModified());
    f.history.Redo(f.layer, f.context);
    EXPECT_FALSE(f.history.IsModified());
    // Saved state out of reach: undo, then a different edit.
    f.history.Undo(f.layer, f.context);
    f.history.Record(f.layer, "修改单位属性", 2);
    f.Unit(2)->m_UnitName = "乙";
    f.history.Undo(f.layer, f.context);
    EXPECT_TRUE(f.history.IsModified());
    f.history.Clear();
    EXPECT_FALSE(f.history.IsModified());
    EXPECT_FALSE(f.history.CanUndo());
}

TEST(EditHistory, PlanTimesGoBackAndForthAmongUnitEdits)
{
    Fixture f;
    const std::string before = LayerText(f.layer);
    CEditHistory::PlanTimes times{1000, 8200};

    f.history.RecordPlanTimes("修改开始时间", times);
    times.start = 2000;
    f.history.Record(f.layer, "修改单位属性", 1);
    f.Unit(1)->m_UnitName = "甲";
    f.history.RecordPlanTimes("修改结束时间", times);
    times.end = 9000;
    EXPECT_EQ(f.history.UndoName(), "修改结束时间");

    // Without the plan's times a times step is neither restored nor lost.
    EXPECT_FALSE(f.history.Undo(f.layer, f.context));
    EXPECT_EQ(f.history.UndoCount(), 3u);

    using Restored = CEditHistory::Restored;
    ASSERT_EQ(f.history.Undo(f.layer, f.context, &times), std::optional<Restored>({0, true}));
    EXPECT_EQ(times, (CEditHistory::PlanTimes{2000, 8200}));
    ASSERT_EQ(f.history.Undo(f.layer, f.context, &times), std::optional<Restored>({1, false}));
    EXPECT_EQ(times, (CEditHistory::PlanTimes{2000, 8200}));
    ASSERT_TRUE(f.history.Undo(f.layer, f.context, &times));
    EXPECT_EQ(times, (CEditHistory::PlanTimes{1000, 8200}));
    EXPECT_EQ(LayerText(f.layer), before);
    EXPECT_FALSE(f.history.IsModified());

    EXPECT_FALSE(f.history.Redo(f.layer, f.context));  // a times step needs the times
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(f.history.Redo(f.layer, f.context, &times));
    EXPECT_EQ(times, (CEditHistory::PlanTimes{2000, 9000}));
    EXPECT_EQ(f.Unit(1)->m_UnitName, "甲");

    // Times already back where the step keeps them (set again by hand): undo skips it.
    times = {2000, 8200};
    ASSERT_EQ(f.history.Undo(f.layer, f.context, &times), std::optional<Restored>({1, false}));
    // A times step is never taken for a unit edit that changed nothing.
    f.history.RecordPlanTimes("修改开始时间", times);
    f.history.Settle(f.layer);
    f.history.Record(f.layer, "修改单位属性", 2);
    EXPECT_EQ(f.history.UndoCount(), 3u);
}

TEST(EditHistory, RecordGivesUpWhenTheGateStaysBusy)
{
    Fixture f;
    CLayerGate& gate = f.layer.Gate();
    std::thread writer([&] {
        gate.LockExclusive();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate.UnlockExclusive();
    });
    while (!gate.HeldExclusively())
        std::this_thread::yield();
    EXPECT_FALSE(f.history.Record(f.layer, "修改单位属性", 1));
    EXPECT_FALSE(f.history.CanUndo());
    writer.join();
}

// ---- several unit numbers in one step --------------------------------------------------

// Deleting or moving any subset of units as one step: one undo gives back the
// exact plan text (every unit at its place), one redo the edited one.
TEST(EditHistoryGroups, AnySubsetEditedTogetherIsOneStepBackAndForth)
{
    std::mt19937 random(1234);
    for (int round = 0; round < 60; ++round) {
        CPlanLayer layer;
        PlanContext context;
        CEditHistory history;
        const int count = 2 + int(random() % 8);
        for (int32_t n = 1; n <= count; ++n)
            AddUnit(layer, n, n % 3 == 0 ? "01.02" : "02-02.01");
        std::vector<int32_t> chosen;
        for (int32_t n = 1; n <= count; ++n)
            if (random() % 2)
                chosen.push_back(n);
        if (chosen.empty())
            chosen.push_back(count);
        std::shuffle(chosen.begin(), chosen.end(), random);  // the order given does not matter
        const bool deleting = random() % 2;
        const std::string before = LayerText(layer);
        ASSERT_TRUE(history.RecordUnits(layer, deleting ? "删除单位" : "移动单位", chosen));
        for (int32_t n : chosen) {
            if (deleting) {
                layer.DeleteUnitsByNo(n);
            } else {
                CUnitCanLoad* unit = layer.GetUnitByNo(n);
                unit->m_CurX = unit->m_CurX + 1.5;
                unit->m_InitX += 1.5;
            }
        }
        const std::string after = LayerText(layer);
        ASSERT_NE(before, after);
        EXPECT_EQ(history.UndoCount(), 1u);
        ASSERT_TRUE(history.Undo(layer, context).has_value());
        EXPECT_EQ(LayerText(layer), before) << "round " << round;
        ASSERT_TRUE(history.Redo(layer, context).has_value());
        EXPECT_EQ(LayerText(layer), after) << "round " << round;
        ASSERT_TRUE(history.Undo(layer, context).has_value());
        EXPECT_EQ(LayerText(layer), before) << "round " << round;
        EXPECT_FALSE(history.CanUndo());
    }
}

TEST(EditHistoryGroups, GroupThatChangedNothingIsDroppedAndEmptyGroupRefused)
{
    Fixture f;
    EXPECT_FALSE(f.history.RecordUnits(f.layer, "移动单位", {}));
    ASSERT_TRUE(f.history.RecordUnits(f.layer, "移动单位", {1, 3}));
    f.history.Settle(f.layer);
    EXPECT_FALSE(f.history.CanUndo());
    // A change to the second number alone still counts as a change of the step.
    ASSERT_TRUE(f.history.RecordUnits(f.layer, "移动单位", {1, 3}));
    f.Unit(3)->m_CurX = f.Unit(3)->m_CurX + 1;
    f.history.Settle(f.layer);
    EXPECT_TRUE(f.history.CanUndo());
}
