// Plan file reading and writing against pugixml on the same large file:
// 25,600 units, each with 10 move actions of 10 route points.
//
//   bench_plan_file                 timings, then the time ratios
//   bench_plan_file --memory        peak memory of loading, each in a fresh process
//   bench_plan_file --measure WHAT FILE MODULEFOLDER   (the child of --memory)

#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/PlanFile.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

constexpr int kUnits = 25600;
constexpr int kActions = 10;
constexpr int kPoints = 10;

struct Fixture {
    QTemporaryDir dir;
    std::string moduleFolder;
    std::string planPath;
    CUnitClassCatalog catalog;
    PlanContext context;
    uint64_t fileSize = 0;
};

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// Catalogue and images of the module folder the plan's units refer to.
void PrepareModuleFolder(const std::string& folder, CUnitClassCatalog& catalog)
{
    QDir().mkpath(QString::fromStdString(folder + "/NormalBitmap"));
    QImage image(24, 24, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    for (const char* name : {"carrier", "ifv", "tank"}) {
        image.save(QString::fromStdString(folder + "/NormalBitmap/" + name + ".bmp"), "BMP");
        image.save(QString::fromStdString(folder + "/NormalBitmap/" + name + "_Mask.bmp"), "BMP");
    }
    WriteFile(folder + "/UnitClassInfo.cfg",
              "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
              "<unitclass><node name=\"运载平台\" id=\"01\"/><node name=\"装甲输送\" id=\"02-01\"/>"
              "<node name=\"作战分队\" id=\"02-02\"/></unitclass><unit>"
              "<node name=\"运输直升机\" id=\"01.01\" class=\"01\" width=\"18\" height=\"20\"/>"
              "<node name=\"步兵战车\" id=\"02-01.01\" class=\"02-01\" width=\"3\" height=\"7\"/>"
              "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\"/>"
              "</unit></unitinfo>");
    CSysConfig config;
    catalog.Load(folder + "/UnitClassInfo.cfg", config);
}

std::unique_ptr<CPlan> MakePlan(const Fixture& f)
{
    static const char* kClasses[] = {"01.01", "02-01.01", "02-02.01"};
    static const char* kImages[] = {"carrier", "ifv", "tank"};
    std::mt19937_64 random(42);
    std::uniform_real_distribution<double> x(0, 120), y(0, 90);

    auto plan = std::make_unique<CPlan>(f.context);
    plan->m_StartTime = 1700000000;
    plan->m_EndTime = 1700086400;
    auto layer = std::make_unique<CPlanLayer>();
    layer->m_Name = "演习层";
    layer->m_MapName = "大型演习";
    layer->m_MapSource = f.moduleFolder + "/map.bmp";
    layer->m_MapType = 0;
    layer->m_WidthKm = 120;
    layer->m_HeightKm = 90;
    for (int n = 1; n <= kUnits; ++n) {
        const int kind = n % 3;
        auto unit = CreateUnitForClassId(kClasses[kind]);
        unit->m_UnitNo = n;
        unit->m_ClassId = kClasses[kind];
        unit->m_UnitName = "单位" + std::to_string(n);
        unit->m_UnitBitmap = std::string("NormalBitmap\\") + kImages[kind] + ".bmp";
        unit->m_UnitBitmapMask = std::string("NormalBitmap\\") + kImages[kind] + "_Mask.bmp";
        unit->m_InitX = unit->m_CurX = x(random);
        unit->m_InitY = unit->m_CurY = y(random);
        unit->m_AppearTime = n % 600;
        unit->FirstCustomPropertyList().m_Properties = {{1, "呼号", "代号" + std::to_string(n)}};
        for (int a = 0; a < kActions; ++a) {
            auto action = std::make_unique<WGAction>();
            action->m_ActionType = kActionMove;
            action->m_ActionName = DefaultActionName(kActionMove);
            action->m_ActionTime = a * 60;
            action->m_Speed = 30 + a;
            auto route = std::make_unique<WGRoute>();
            for (int p = 0; p < kPoints; ++p)
                route->m_Points.push_back({x(random), y(random), 0});
            action->m_Routes.push_back(std::move(route));
            unit->AddNewAction(std::move(action));
        }
        layer->AddUnit(std::move(unit));
    }
    plan->m_Layers.push_back(std::move(layer));
    return plan;
}

Fixture& Shared()
{
    static Fixture* f = [] {
        auto* fx = new Fixture;
        fx->moduleFolder = fx->dir.path().toStdString();
        PrepareModuleFolder(fx->moduleFolder, fx->catalog);
        QImage map(800, 600, QImage::Format_RGB32);
        map.fill(Qt::white);
        map.save(QString::fromStdString(fx->moduleFolder + "/map.bmp"), "BMP");
        fx->context.catalog = &fx->catalog;
        fx->context.moduleFolder = fx->moduleFolder;
        fx->planPath = fx->moduleFolder + "/big.pln";
        auto plan = MakePlan(*fx);
        if (!SavePlan(*plan, fx->planPath))
            std::fprintf(stderr, "cannot write %s\n", fx->planPath.c_str());
        struct stat st {};
        stat(fx->planPath.c_str(), &st);
        fx->fileSize = uint64_t(st.st_size);
        return fx;
    }();
    return *f;
}

class StringWriter : public pugi::xml_writer {
public:
    explicit StringWriter(FILE* f) : m_file(f) {}
    void write(const void* data, size_t size) override { std::fwrite(data, 1, size, m_file); }

private:
    FILE* m_file;
};

void BM_PugixmlParse(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        pugi::xml_document doc;
        benchmark::DoNotOptimize(doc.load_file(f.planPath.c_str()));
    }
    state.SetBytesProcessed(int64_t(state.iterations() * f.fileSize));
}

void BM_LoadPlan(benchmark::State& state)
{
    Fixture& f = Shared();
    for (auto _ : state) {
        auto plan = LoadPlan(f.planPath, f.context);
        if (!plan || plan->m_Layers.empty() || plan->m_Layers[0]->GetUnitCount() != size_t(kUnits))
            state.SkipWithError("LoadPlan failed");
        state.PauseTiming();
        plan.reset();  // freeing the model is not loading
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(state.iterations() * f.fileSize));
}

void BM_PugixmlSave(benchmark::State& state)
{
    Fixture& f = Shared();
    pugi::xml_document doc;
    doc.load_file(f.planPath.c_str());
    const std::string out = f.moduleFolder + "/pugixml-out.pln";
    for (auto _ : state) {
        FILE* file = std::fopen(out.c_str(), "wb");
        StringWriter writer(file);
        doc.save(writer, "", pugi::format_raw);
        std::fclose(file);
    }
    state.SetBytesProcessed(int64_t(state.iterations() * f.fileSize));
}

void BM_SavePlan(benchmark::State& state)
{
    Fixture& f = Shared();
    auto plan = LoadPlan(f.planPath, f.context);
    const std::string out = f.moduleFolder + "/saveplan-out.pln";
    for (auto _ : state)
        if (!plan || !SavePlan(*plan, out))
            state.SkipWithError("SavePlan failed");
    state.SetBytesProcessed(int64_t(state.iterations() * f.fileSize));
}

BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadPlan)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PugixmlSave)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SavePlan)->Unit(benchmark::kMillisecond)->Iterations(3);

// Collects the mean real time per benchmark to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration)
                times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

// ---- peak memory, one fresh process per measurement ---------------------------

long StatusKb(const char* key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(key);
    while (std::getline(status, line))
        if (line.compare(0, n, key) == 0)
            return std::stol(line.substr(n + 1));
    return -1;
}

int MeasureChild(const std::string& what, const std::string& path, const std::string& moduleFolder)
{
    CUnitClassCatalog catalog;
    CSysConfig config;
    catalog.Load(moduleFolder + "/UnitClassInfo.cfg", config);
    PlanContext context;
    context.catalog = &catalog;
    context.moduleFolder = moduleFolder;
    const long baseline = StatusKb("VmRSS:");
    long held = 0;
    if (what == "pugixml") {
        pugi::xml_document doc;
        if (!doc.load_file(path.c_str()))
            return 1;
        held = StatusKb("VmRSS:");
    } else {
        auto plan = LoadPlan(path, context);
        if (!plan)
            return 1;
        held = StatusKb("VmRSS:");  // the model alone: the file's buffer is freed
    }
    std::printf("%ld %ld %ld\n", baseline, StatusKb("VmHWM:"), held);
    return 0;
}

int ReportMemory(const char* self)
{
    Fixture& f = Shared();
    std::printf("file: %.1f MB\n", double(f.fileSize) / 1e6);
    for (const char* what : {"pugixml", "LoadPlan"}) {
        const std::string command =
            std::string(self) + " --measure " + what + " '" + f.planPath + "' '" + f.moduleFolder + "'";
        FILE* pipe = popen(command.c_str(), "r");
        long baseline = 0, peak = 0, held = 0;
        const bool ok = pipe && std::fscanf(pipe, "%ld %ld %ld", &baseline, &peak, &held) == 3;
        if (pipe)
            pclose(pipe);
        if (!ok) {
            std::printf("%s: measurement failed\n", what);
            continue;
        }
        const double file = double(f.fileSize) / 1024.0;
        std::printf("%-9s peak while loading %.0f MB = %.2f x file; held after loading %.0f MB = %.2f x file "
                    "(above a baseline of %.0f MB)\n",
                    what, (peak - baseline) / 1024.0, (peak - baseline) / file, (held - baseline) / 1024.0,
                    (held - baseline) / file, baseline / 1024.0);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--measure") == 0)
        return MeasureChild(argv[2], argv[3], argv[4]);
    if (argc == 2 && std::strcmp(argv[1], "--memory") == 0)
        return ReportMemory(argv[0]);

    benchmark::Initialize(&argc, argv);
    Shared();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto& t = reporter.times;
    if (t.count("BM_PugixmlParse/iterations:3") && t.count("BM_LoadPlan/iterations:3"))
        std::printf("LoadPlan / pugixml parse = %.2f (target < 2.5)\n",
                    t["BM_LoadPlan/iterations:3"] / t["BM_PugixmlParse/iterations:3"]);
    if (t.count("BM_PugixmlSave/iterations:3") && t.count("BM_SavePlan/iterations:3"))
        std::printf("SavePlan / pugixml save = %.2f (target < 2)\n",
                    t["BM_SavePlan/iterations:3"] / t["BM_PugixmlSave/iterations:3"]);
    benchmark::Shutdown();
    return 0;
}
