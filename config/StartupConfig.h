#pragma once

#include <string>

class CSysConfig;
class CUnitClassCatalog;

// The program's first own work at start-up: SysConfig.cfg, then
// UnitClassInfo.cfg (whose fire colours come from the configuration), both
// from the module folder. Shared by the program and the headless tools.
struct StartupConfigResult {
    bool ok = false;
    std::string description;  // which file failed and why (for logs)
};
StartupConfigResult LoadStartupConfig(const std::string& moduleFolder, CSysConfig& config,
                                      CUnitClassCatalog& catalog);

// Working values copied from the configuration: a missing parameter keeps the default.
struct HitCheckSettings {
    int checkBeenHit = 1;
    double distWhenBeenHit = 1.0;  // metres
};
HitCheckSettings ReadHitCheckSettings(const CSysConfig& config);
