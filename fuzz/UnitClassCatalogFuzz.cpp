// UnitClassInfo.cfg: Load on arbitrary bytes, with fire colours from a fixed
// configuration. A catalogue that loads must save and load back with the
// same records.

#include "FuzzSupport.h"

#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"

#include <cmath>

namespace {

bool SameDouble(double a, double b)
{
    // Written with 15 significant digits: compare at that precision.
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b);
    if (a == b)
        return true;
    return std::fabs(a - b) <= 1e-14 * std::max(std::fabs(a), std::fabs(b));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSysConfig* config = [] {
        auto* c = new CSysConfig;
        c->SetParam("FireUnitColor_03.01", "ff");
        c->SetParam("FireUnitColor_03.02", "");
        c->SetParam("FireUnitColor_03.03", "zz");
        return c;
    }();
    const std::string input = fuzzsupport::WriteScratch("UnitClassInfo.cfg", data, size);
    CUnitClassCatalog catalog;
    if (!catalog.Load(input, *config)) {
        if (catalog.GetLastError().empty())
            fuzzsupport::Broken("Load failed without saying why");
        return 0;
    }
    for (const auto& u : catalog.GetUnitClasses())
        if (catalog.FindUnitClassById(u->id) == nullptr)
            fuzzsupport::Broken("a loaded class is not found by its own id");

    const std::string saved = fuzzsupport::ScratchFile("saved-catalog.cfg");
    if (!catalog.Save(saved))
        fuzzsupport::Broken("a loaded catalogue does not save");
    CUnitClassCatalog again;
    if (!again.Load(saved, *config))
        fuzzsupport::Broken("a saved catalogue does not load");
    const auto& a = catalog.GetUnitClasses();
    const auto& b = again.GetUnitClasses();
    if (a.size() != b.size() || catalog.GetCategories().size() != again.GetCategories().size())
        fuzzsupport::Broken("records lost in a save and load");
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i]->name != b[i]->name || a[i]->id != b[i]->id || a[i]->classCode != b[i]->classCode ||
            a[i]->width != b[i]->width || a[i]->height != b[i]->height || a[i]->fireColor != b[i]->fireColor ||
            !SameDouble(a[i]->exploderadius, b[i]->exploderadius) ||
            !SameDouble(a[i]->visible_min, b[i]->visible_min) || !SameDouble(a[i]->visible_max, b[i]->visible_max))
            fuzzsupport::Broken("a class changed in a save and load");
    }
    return 0;
}
