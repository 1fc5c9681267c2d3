// SysConfig.cfg: Load on arbitrary bytes. Whatever loads must save and load
// back to the same names and values in the same order.

#include "FuzzSupport.h"

#include "config/SysConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input = fuzzsupport::WriteScratch("SysConfig.cfg", data, size);
    CSysConfig config;
    if (!config.Load(input)) {
        if (config.GetLastError().empty())
            fuzzsupport::Broken("Load failed without saying why");
        return 0;
    }
    int i = 0;
    double d = 0;
    config.GetParamInt("CheckBeenHit", i);
    config.GetParamDouble("DistWhenBeenHit", d);

    const std::string saved = fuzzsupport::ScratchFile("saved.cfg");
    if (!config.Save(saved))
        fuzzsupport::Broken("a loaded configuration does not save");
    CSysConfig again;
    if (!again.Load(saved))
        fuzzsupport::Broken("a saved configuration does not load");
    if (again.GetNames() != config.GetNames() || again.GetValues() != config.GetValues())
        fuzzsupport::Broken("parameters changed in a save and load");
    return 0;
}
