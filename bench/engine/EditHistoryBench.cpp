// What undo and redo cost on a plan of 1,000 units, each with 10 move actions
// of 10 route points: recording a step before an edit, undoing and redoing a
// changed unit in place, and a deleted unit rebuilt with its images from disk.
// For scale: writing the whole layer as plan text, which a snapshot of the
// whole plan per step would cost. Counters give the memory one step keeps.

#include "engine/EditHistory.h"
#include "engine/PlanContext.h"
#include "engine/PlanLayer.h"
#include "engine/PlanXmlWriter.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

constexpr int kUnits = 1000;
constexpr int kActions = 10;
constexpr int kPoints = 10;

struct Plan {
    QTemporaryDir dir;
    PlanContext context;
    CPlanLayer layer;

    Plan()
    {
        context.moduleFolder = dir.path().toStdString();
        QDir().mkpath(dir.path() + "/NormalBitmap");
        QImage image(24, 24, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        image.save(dir.path() + "/NormalBitmap/tank.bmp", "BMP");
        image.save(dir.path() + "/NormalBitmap/tank_Mask.bmp", "BMP");
        for (int n = 1; n <= kUnits; ++n) {
            auto unit = CreateUnitForClassId("02-02.01");
            unit->m_UnitNo = n;
            unit->m_ClassId = "02-02.01";
            unit->m_UnitName = "坦克" + std::to_string(n);
            unit->m_UnitBitmap = "NormalBitmap/tank.bmp";
            unit->m_UnitBitmapMask = "NormalBitmap/tank_Mask.bmp";
            unit->LoadBitmaps(context.moduleFolder);
            unit->m_InitX = unit->m_CurX = n * 0.01;
            unit->m_InitY = unit->m_CurY = n * 0.02;
            for (int a = 0; a < kActions; ++a) {
                auto action = std::make_unique<WGAction>();
                action->m_ActionType = kActionMove;
                action->m_ActionName = "移动";
                action->m_ActionTime = a * 60;
                action->m_Speed = 30;
                auto route = std::make_unique<WGRoute>();
                for (int p = 0; p < kPoints; ++p)
                    route->m_Points.push_back({n + p * 0.1, n - p * 0.1, 0});
                action->m_Routes.push_back(std::move(route));
                unit->AddNewAction(std::move(action));
            }
            CustomPropertyList props;
            props.m_Properties.push_back({1, "编制", "一连"});
            unit->m_CustomProperties.push_back(props);
            layer.AddUnit(std::move(unit));
        }
    }
};

Plan& SharedPlan()
{
    static Plan plan;
    return plan;
}

// A step recorded before an edit of a unit in the middle of the list.
void BM_RecordStep(benchmark::State& state)
{
    Plan& plan = SharedPlan();
    CEditHistory history;
    for (auto _ : state) {
        history.Record(plan.layer, "修改单位属性", kUnits / 2);
        benchmark::DoNotOptimize(history.UndoCount());
    }
    state.counters["bytes_per_step"] = double(history.Bytes()) / double(history.UndoCount());
}
BENCHMARK(BM_RecordStep)->Unit(benchmark::kMicrosecond);

// Record, edit, undo and redo of a unit changed in place.
void BM_UndoRedoInPlace(benchmark::State& state)
{
    Plan& plan = SharedPlan();
    CEditHistory history;
    CUnitCanLoad* unit = plan.layer.GetUnitByNo(kUnits / 2);
    int i = 0;
    for (auto _ : state) {
        history.Record(plan.layer, "修改单位属性", unit->m_UnitNo);
        unit->m_AppearTime = ++i;
        history.Undo(plan.layer, plan.context);
        history.Redo(plan.layer, plan.context);
    }
}
BENCHMARK(BM_UndoRedoInPlace)->Unit(benchmark::kMicrosecond);

// Delete, then undo (the unit is built anew, images read) and redo.
void BM_UndoRedoDelete(benchmark::State& state)
{
    Plan& plan = SharedPlan();
    CEditHistory history;
    for (auto _ : state) {
        history.Record(plan.layer, "删除单位", kUnits / 2);
        plan.layer.DeleteUnitsByNo(kUnits / 2);
        history.Undo(plan.layer, plan.context);
        history.Redo(plan.layer, plan.context);
        history.Undo(plan.layer, plan.context);
    }
}
BENCHMARK(BM_UndoRedoDelete)->Unit(benchmark::kMicrosecond);

// For scale: the plan text of the whole layer.
void BM_WholeLayerText(benchmark::State& state)
{
    Plan& plan = SharedPlan();
    size_t bytes = 0;
    for (auto _ : state) {
        std::string text;
        PlanXmlWriter out([&text](const char* data, size_t size) {
            text.append(data, size);
            return true;
        });
        plan.layer.Save(out);
        out.Flush();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_WholeLayerText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
