// Plan files: LoadPlan on arbitrary bytes. A plan that loads must save, load
// again with the same layers and units, and save to the same bytes; then it
// is played for a minute of plan time with the hit check on.

#include "FuzzSupport.h"

#include "app/SysConfig.h"
#include "app/UnitClassCatalog.h"
#include "engine/FireLine.h"
#include "engine/Plan.h"
#include "engine/PlanFile.h"
#include "engine/PlanLayer.h"
#include "engine/PlayState.h"

#include <memory>

namespace {

struct Env {
    CSysConfig config;
    CUnitClassCatalog catalog;
    fuzzsupport::SilentReporter reporter;
    PlanContext context;
};

Env& Environment()
{
    static Env* env = [] {
        fuzzsupport::EnsureApplication();
        auto* e = new Env;
        const char* catalogue =
            "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
            "<unitclass><node name=\"运载平台\" id=\"01\"/><node name=\"火力武器\" id=\"03\"/></unitclass>"
            "<unit>"
            "<node name=\"运输直升机\" id=\"01.01\" class=\"01\" width=\"18\" height=\"20\" exploderadius=\"0\"/>"
            "<node name=\"步兵战车\" id=\"02-01.01\" class=\"02-01\" width=\"3\" height=\"7\"/>"
            "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\"/>"
            "<node name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"1\" height=\"1\" exploderadius=\"25\"/>"
            "</unit></unitinfo>";
        const std::string path = fuzzsupport::WriteScratch("UnitClassInfo.cfg",
                                                           reinterpret_cast<const uint8_t*>(catalogue),
                                                           strlen(catalogue));
        if (!e->catalog.Load(path, e->config))
            fuzzsupport::Broken("test catalogue does not load");
        fuzzsupport::WriteSmallBitmap("DefaultMapImage/map.bmp", 40, 30);
        fuzzsupport::WriteSmallBitmap("DefaultMapImage/演习区域.bmp", 40, 30);
        fuzzsupport::WriteSmallBitmap("NormalBitmap/主战坦克.bmp");
        fuzzsupport::WriteSmallBitmap("NormalBitmap/主战坦克_Mask.bmp");
        e->context.catalog = &e->catalog;
        e->context.moduleFolder = fuzzsupport::ScratchDir();
        e->context.reporter = &e->reporter;
        return e;
    }();
    return *env;
}

size_t UnitCount(const CPlan& plan)
{
    size_t n = 0;
    for (const auto& layer : plan.m_Layers)
        n += layer->GetUnitCount();
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Environment();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Env& env = Environment();
    const std::string input = fuzzsupport::WriteScratch("input.pln", data, size);
    std::string error;
    std::unique_ptr<CPlan> plan = LoadPlan(input, env.context, &error);
    if (!plan) {
        if (error.empty())
            fuzzsupport::Broken("LoadPlan failed without saying why");
        return 0;
    }

    // Every layer dropped: the file written has a root without children,
    // which the reader refuses by design. Nothing more to compare.
    if (plan->m_Layers.empty())
        return 0;

    const std::string first = fuzzsupport::ScratchFile("first.pln");
    const std::string second = fuzzsupport::ScratchFile("second.pln");
    if (!SavePlan(*plan, first, &error))
        fuzzsupport::Broken("a loaded plan does not save");
    std::unique_ptr<CPlan> again = LoadPlan(first, env.context, &error);
    if (!again) {
        fprintf(stderr, "%s\n", error.c_str());
        fuzzsupport::Broken("a saved plan does not load");
    }
    if (again->m_Layers.size() != plan->m_Layers.size() || UnitCount(*again) != UnitCount(*plan))
        fuzzsupport::Broken("layers or units lost in a save and load");
    if (!SavePlan(*again, second, &error))
        fuzzsupport::Broken("a reloaded plan does not save");
    QFile a(QString::fromStdString(first)), b(QString::fromStdString(second));
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.readAll() != b.readAll())
        fuzzsupport::Broken("saving a reloaded plan changes the file");

    // Playback over whatever numbers the file held: no undefined behaviour, no hang.
    CPlayState play;
    play.SetHitDistance(0.01);
    plan->SetPlayState(&play);
    for (uint32_t s = 1; s <= 60; ++s) {
        play.FireLines().clear();
        plan->RecvClockEvent((s - 1) * 1000, s * 1000, nullptr);
        plan->CheckHits(play.FireLines());
    }
    plan->CancelAllActions();
    plan->Replay(4294000, 4294967);
    return 0;
}
