#pragma once

#include <string>

class CConfigLocation;
class CSysConfig;
class CUnitClassCatalog;

// The program's first own work at start-up: SysConfig.cfg, then
// UnitClassInfo.cfg (whose fire colours come from the configuration), each
// where the location says (the module folder, or the user's copy when the
// module folder is read-only); the unit images always come from the module
// folder. Shared by the program and the headless tools.
struct StartupConfigResult {
    bool ok = false;
    std::string description;  // which file failed and why (for logs)
};
StartupConfigResult LoadStartupConfig(const CConfigLocation& location, CSysConfig& config,
                                      CUnitClassCatalog& catalog);
// The module folder with the default user folder.
StartupConfigResult LoadStartupConfig(const std::string& moduleFolder, CSysConfig& config,
                                      CUnitClassCatalog& catalog);

// Working values copied from the configuration: a missing parameter keeps the default.
struct HitCheckSettings {
    int checkBeenHit = 1;
    double distWhenBeenHit = 1.0;  // metres
    int bitmapMapRealKm = 0;       // 1: bitmap maps count one map unit per kilometre
};
HitCheckSettings ReadHitCheckSettings(const CSysConfig& config);
