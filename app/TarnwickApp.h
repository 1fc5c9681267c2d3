#pragma once

#include "app/SysConfig.h"
#include "app/TarnwickDoc.h"
#include "app/UnitClassCatalog.h"
#include "engine/ClockService.h"
#include "engine/EditHistory.h"
#include "engine/Plan.h"
#include "engine/PlayState.h"

#include <QStringList>

#include <memory>
#include <string>

class CMainFrame;
class IMessageReporter;

// The program-wide owner of what outlives windows and plans: system
// parameters, unit class catalogue, clock service, the current plan, the
// working values several windows share, and the document. Exactly one exists
// while the program runs; TheApp() reaches it. Not a QApplication: the
// program creates its QApplication first, so tests can build the whole shell
// inside the test runner's own QApplication.
class CTarnwickApp {
public:
    struct StartOptions {
        std::string moduleFolder;   // empty: the executable's folder
        QString planPath;           // --plan FILE: opened as the open command does
        bool showWindow = true;     // tests keep the frame hidden
        QString recoveryFolder;     // copies of unsaved work; empty: the user's data folder
    };

    explicit CTarnwickApp(IMessageReporter* reporter = nullptr);
    ~CTarnwickApp();
    CTarnwickApp(const CTarnwickApp&) = delete;
    CTarnwickApp& operator=(const CTarnwickApp&) = delete;

    // Start-up: configuration and catalogue (else "读取系统配置失败" and
    // false), the main frame, the hit check values, the window, empty title,
    // rate 1.0. False ends the program.
    bool InitInstance(const StartOptions& options);
    // Shutdown: stop the clock, close the plan.
    void ExitInstance();

    // ---- plan life cycle ----------------------------------------------------
    CPlan* GetPlan() const { return m_pPlan.get(); }
    // Unregisters the current plan from the clock and deletes it. Always true.
    bool ClosePlan();
    // False when a plan is open already or the file does not load; on success
    // the plan is registered with the clock, which is set to 0, the title is
    // its map name and the time panel shows its times.
    bool LoadPlan(const std::string& path);
    // False without a plan or when the file cannot be written.
    bool SavePlan(const std::string& path);
    // Makes `plan` current (the new plan command); it is not registered yet.
    CPlan* AdoptNewPlan();
    // Registers the current plan with the clock.
    bool RegisterPlan();
    PlanContext MakePlanContext();

    // ---- configuration files -------------------------------------------------------
    // Writes SysConfig.cfg; on failure "保存系统配置失败!" (caption "错误").
    void SaveSysConfig();
    // Writes UnitClassInfo.cfg; on failure "保存单位信息失败!" (caption "错误") and false.
    bool SaveUnitClassInfo();
    // The hit check's working values, wherever the clock thread reads them.
    void SetHitCheckValues(int checkBeenHit, double distWhenBeenHit);

    // The map the view converts with: the current plan's first layer's map.
    CMapLoader* GetMap() const;

    // Rate steps of the speed commands: 1/16 ... 8.
    static double SpeedUp(double rate) { return rate >= 8 ? rate : rate * 2; }
    static double SpeedDown(double rate) { return rate < 0.125 ? rate : rate / 2; }

    IMessageReporter& Reporter() const;

    // ---- owned state ------------------------------------------------------------
    CSysConfig m_SysConfig;
    CUnitClassCatalog m_UnitClassCatalog;
    CPlayState m_PlayState;      // fire lines, hit list, hit distance, event sink
    CEditHistory m_EditHistory;  // undo and redo of the current plan's edits
    CClockService m_ClockService;
    CTarnwickDoc m_Doc;
    std::string m_ModuleFolder;
    std::string m_ModuleFileName;
    double m_MouseX = 0, m_MouseY = 0, m_MouseZ = 0;
    int m_RouteSelectPick = 0;
    int m_ShowRoutes = 0;
    int m_FullScreen = 0;
    double m_PlayRate = 1.0;
    double m_DistWhenBeenHit = 1.0;  // metres
    int m_CheckBeenHit = 1;
    int m_EditMode = 0;              // 1 edit mode, 0 run mode

    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }

private:
    IMessageReporter* m_reporter;
    std::unique_ptr<CPlan> m_pPlan;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    bool m_exited = false;
};

// The running application object; nullptr outside its lifetime.
CTarnwickApp* TheApp();
