#pragma once

#include "config/ConfigLocation.h"
#include "config/SysConfig.h"
#include "app/TarnwickDoc.h"
#include "config/UnitClassCatalog.h"
#include "engine/ClockService.h"
#include "engine/EditHistory.h"
#include "engine/Plan.h"
#include "engine/PlayState.h"

#include <QStringList>

#include <memory>
#include <string>

class IApplicationWindow;
class IMessageReporter;

// The program-wide owner of what outlives windows and plans: system
// parameters, unit class catalogue, clock service, the current plan, the
// working values several windows share, and the document. It has no widget:
// the window that shows it registers through SetWindow and is told of plan
// changes through IApplicationWindow. Not a QApplication: the program creates
// its QApplication first, so tests can build the whole shell inside the test
// runner's own QApplication.
class CTarnwickApp {
public:
    // What start-up is asked for; the window's part is read by the window's own start.
    struct StartOptions {
        std::string moduleFolder;   // empty: the executable's folder
        QString planPath;           // --plan FILE: opened as the open command does
        bool showWindow = true;     // tests keep the frame hidden
        QString recoveryFolder;     // copies of unsaved work; empty: the user's data folder
        std::string userConfigFolder;  // copies of the configuration files; empty: the default
        CConfigLocation::WritableTest moduleFolderWritable;  // empty: asks the file system
    };

    explicit CTarnwickApp(IMessageReporter* reporter = nullptr);
    ~CTarnwickApp();
    CTarnwickApp(const CTarnwickApp&) = delete;
    CTarnwickApp& operator=(const CTarnwickApp&) = delete;

    // Start-up of the model: configuration and catalogue (else
    // "读取系统配置失败" and false), the hit check values, empty title, rate
    // 1.0. False ends the program. The window starts after it.
    bool InitInstance(const StartOptions& options);
    // Shutdown: stop the clock, tell the window, close the plan.
    void ExitInstance();

    // The window that shows the application (not owned); nullptr for none.
    void SetWindow(IApplicationWindow* window) { m_window = window; }
    IApplicationWindow* Window() const { return m_window; }

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
    // Why the last LoadPlan or SavePlan failed (the file's or the system's reason); empty after a success.
    const std::string& LastPlanError() const { return m_LastPlanError; }
    // Makes `plan` current (the new plan command); it is not registered yet.
    CPlan* AdoptNewPlan();
    // Registers the current plan with the clock.
    bool RegisterPlan();
    PlanContext MakePlanContext();

    // ---- configuration files -------------------------------------------------------
    // Where the configuration files are read and saved.
    const CConfigLocation& ConfigLocation() const { return m_ConfigLocation; }
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
    // Every event and hit the current plan's play reported, in order, since
    // it was opened (a seek replaces it with the history up to its time).
    // Bounded only by memory; the event list shows a page of it, the export all.
    CEventRecorder m_EventHistory;
    CClockService m_ClockService;
    CTarnwickDoc m_Doc;
    std::string m_ModuleFolder;
    CConfigLocation m_ConfigLocation{{}, {}};
    std::string m_ModuleFileName;
    double m_MouseX = 0, m_MouseY = 0, m_MouseZ = 0;
    int m_RouteSelectPick = 0;
    int m_ShowRoutes = 0;
    int m_FullScreen = 0;
    double m_PlayRate = 1.0;
    double m_DistWhenBeenHit = 1.0;  // metres
    int m_CheckBeenHit = 1;
    int m_EditMode = 0;              // 1 edit mode, 0 run mode

private:
    IMessageReporter* m_reporter;
    std::unique_ptr<CPlan> m_pPlan;
    IApplicationWindow* m_window = nullptr;
    std::string m_LastPlanError;
    bool m_exited = false;
};
