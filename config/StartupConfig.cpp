#include "config/StartupConfig.h"

#include "config/ModulePaths.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"

StartupConfigResult LoadStartupConfig(const std::string& moduleFolder, CSysConfig& config,
                                      CUnitClassCatalog& catalog)
{
    StartupConfigResult r;
    if (!config.Load(modulepaths::InModuleFolder(moduleFolder, "SysConfig.cfg"))) {
        r.description = config.GetLastError();
        return r;
    }
    if (!catalog.Load(modulepaths::InModuleFolder(moduleFolder, "UnitClassInfo.cfg"), config)) {
        r.description = catalog.GetLastError();
        return r;
    }
    CUnitImageIndex icons;
    icons.Scan(modulepaths::InModuleFolder(moduleFolder, "UnitBitmap"));
    catalog.AssignImagePaths(icons);
    r.ok = true;
    return r;
}

HitCheckSettings ReadHitCheckSettings(const CSysConfig& config)
{
    HitCheckSettings s;
    config.GetParamInt("CheckBeenHit", s.checkBeenHit);
    config.GetParamDouble("DistWhenBeenHit", s.distWhenBeenHit);
    return s;
}
