// Plan files: LoadPlan on arbitrary bytes. A plan that loads must save, load
// again with the same layers and units, and save to the same bytes; then it
// is played for a minute of plan time with the hit check on.

#include "FuzzSupport.h"

#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/FireLine.h"
#include "engine/Plan.h"
#include "engine/PlanFile.h"
#include "engine/PlanLayer.h"
#include "engine/PlayState.h"
#include "engine/Units.h"

#include <memory>
#include <string>

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

// Units that a save keeps. A unit of a weapon class ("03.…") in a file loads
// as a fire unit, and fire units are transient: saving writes nothing for them.
size_t SavedUnitCount(const CPlan& plan)
{
    size_t n = 0;
    for (const auto& layer : plan.m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i)
            n += dynamic_cast<const UnitFire*>(layer->GetUnitAt(i)) == nullptr;
    return n;
}

// Every unit's position, heading and flags, bit for bit (NaN included).
std::string UnitStates(const CPlan& plan)
{
    std::string out;
    auto bits = [&out](double v) { out.append(reinterpret_cast<const char*>(&v), sizeof v); };
    for (const auto& layer : plan.m_Layers)
        for (size_t i = 0; i < layer->GetUnitCount(); ++i) {
            const CUnitCanLoad* u = layer->GetUnitAt(i);
            bits(u->m_CurX);
            bits(u->m_CurY);
            bits(u->m_Angle);
            out += std::to_string(u->m_UnitNo) + ' ' + std::to_string(u->m_Appeared) + ' ' +
                   std::to_string(u->m_Loaded) + ' ' + std::to_string(u->m_CarriedCount) + ';';
        }
    return out;
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

    const std::string first = fuzzsupport::ScratchFile("first.pln");
    const std::string second = fuzzsupport::ScratchFile("second.pln");
    // No layer shown: what could not be shown is written back as it was read,
    // and nothing at all is never written over a file.
    if (plan->m_Layers.empty()) {
        const bool saved = SavePlan(*plan, first, &error);
        if (saved != plan->HasContent())
            fuzzsupport::Broken(saved ? "a plan with nothing in it was saved" : "a plan with kept layers does not save");
        if (saved) {
            std::unique_ptr<CPlan> again = LoadPlan(first, env.context, &error);
            if (!again || again->m_KeptElements.size() != plan->m_KeptElements.size())
                fuzzsupport::Broken("elements kept from a file are lost in a save and load");
            for (size_t i = 0; i < plan->m_KeptElements.size(); ++i)
                if (again->m_KeptElements[i].text != plan->m_KeptElements[i].text)
                    fuzzsupport::Broken("an element kept from a file changed in a save");
        }
        return 0;
    }
    if (!SavePlan(*plan, first, &error))
        fuzzsupport::Broken("a loaded plan does not save");
    std::unique_ptr<CPlan> again = LoadPlan(first, env.context, &error);
    if (!again) {
        fprintf(stderr, "%s\n", error.c_str());
        fuzzsupport::Broken("a saved plan does not load");
    }
    if (again->m_Layers.size() != plan->m_Layers.size() || SavedUnitCount(*again) != SavedUnitCount(*plan))
        fuzzsupport::Broken("layers or units lost in a save and load");
    if (!SavePlan(*again, second, &error))
        fuzzsupport::Broken("a reloaded plan does not save");
    QFile a(QString::fromStdString(first)), b(QString::fromStdString(second));
    // A fire unit leaves an empty "<unit/>" behind, which the reader skips.
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.readAll().replace("<unit/>", "") != b.readAll())
        fuzzsupport::Broken("saving a reloaded plan changes the file");

    // Seeking must leave every unit exactly where the plain play does.
    {
        std::unique_ptr<CPlan> slow = LoadPlan(input, env.context, &error);
        std::unique_ptr<CPlan> fast = LoadPlan(input, env.context, &error);
        if (!slow || !fast)
            fuzzsupport::Broken("a plan that loaded once does not load again");
        slow->PlayTicks(0, 150000);
        fast->SeekTo(150000);
        if (UnitStates(*slow) != UnitStates(*fast))
            fuzzsupport::Broken("the seek ends in another state than the plain play");
    }

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
    plan->PlayTicks(4294000000u, 4294967200u);
    plan->SeekTo(4294967295ll);
    return 0;
}
