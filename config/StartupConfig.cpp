#include "config/StartupConfig.h"

#include "config/ConfigLocation.h"
#include "config/ModulePaths.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"

StartupConfigResult LoadStartupConfig(const std::string& moduleFolder, CSysConfig& config,
                                      CUnitClassCatalog& catalog)
{
    return LoadStartupConfig(CConfigLocation::ForModuleFolder(moduleFolder), config, catalog);
}

StartupConfigResult LoadStartupConfig(const CConfigLocation& location, CSysConfig& config,
                                      CUnitClassCatalog& catalog)
{
    StartupConfigResult r;
    if (!config.Load(location.ReadPath("SysConfig.cfg"))) {
        r.description = config.GetLastError();
        return r;
    }
    if (!catalog.Load(location.ReadPath("UnitClassInfo.cfg"), config)) {
        r.description = catalog.GetLastError();
        return r;
    }
    CUnitImageIndex icons;
    icons.Scan(modulepaths::InModuleFolder(location.ModuleFolder(), "UnitBitmap"));
    catalog.AssignImagePaths(icons);
    r.ok = true;
    return r;
}

HitCheckSettings ReadHitCheckSettings(const CSysConfig& config)
{
    HitCheckSettings s;
    config.GetParamInt("CheckBeenHit", s.checkBeenHit);
    config.GetParamDouble("DistWhenBeenHit", s.distWhenBeenHit);
    config.GetParamInt("BitmapMapRealKm", s.bitmapMapRealKm);
    return s;
}
