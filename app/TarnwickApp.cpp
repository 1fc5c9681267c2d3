#include "app/TarnwickApp.h"

#include "app/ApplicationWindow.h"
#include "config/MessageReporter.h"
#include "config/ModulePaths.h"
#include "config/StartupConfig.h"
#include "engine/PlanFile.h"

#include <cstdio>

CTarnwickApp::CTarnwickApp(IMessageReporter* reporter)
    : m_ClockService(200, reporter), m_Doc(*this), m_reporter(reporter)
{
}

CTarnwickApp::~CTarnwickApp()
{
    ExitInstance();
}

IMessageReporter& CTarnwickApp::Reporter() const
{
    return m_reporter ? *m_reporter : DefaultMessageReporter();
}

bool CTarnwickApp::InitInstance(const StartOptions& options)
{
    m_EditMode = 0;
    m_RouteSelectPick = 0;

    const modulepaths::SplitPath exe = modulepaths::SplitModulePath(modulepaths::ExecutablePath());
    m_ModuleFolder = options.moduleFolder.empty() ? exe.folder : options.moduleFolder;
    m_ModuleFileName = exe.fileName;

    m_ConfigLocation = CConfigLocation(
        m_ModuleFolder,
        options.userConfigFolder.empty() ? CConfigLocation::DefaultUserFolder() : options.userConfigFolder,
        options.moduleFolderWritable);
    const StartupConfigResult loaded = LoadStartupConfig(m_ConfigLocation, m_SysConfig, m_UnitClassCatalog);
    if (!loaded.ok) {
        std::fprintf(stderr, "tarnwick: %s\n", loaded.description.c_str());
        ReportError(Reporter(), "读取系统配置失败", "错误");
        return false;
    }

    const HitCheckSettings hits = ReadHitCheckSettings(m_SysConfig);
    m_CheckBeenHit = hits.checkBeenHit;
    m_DistWhenBeenHit = hits.distWhenBeenHit;
    m_PlayState.SetCheckBeenHit(m_CheckBeenHit);
    m_PlayState.SetBitmapRealKm(hits.bitmapMapRealKm != 0);
    m_ClockService.SetCheckBeenHit(m_CheckBeenHit);
    m_ClockService.SetFireLineList(&m_PlayState.FireLines());

    m_Doc.SetTitle(QString());
    m_PlayRate = 1.0;
    return true;
}

void CTarnwickApp::ExitInstance()
{
    if (m_exited)
        return;
    m_exited = true;
    m_ClockService.Stop();
    // A normal end: the copy of unsaved work is no longer needed.
    if (m_window)
        m_window->EndRecovery();
    ClosePlan();
}

PlanContext CTarnwickApp::MakePlanContext()
{
    return PlanContext{&m_UnitClassCatalog, m_ModuleFolder, &Reporter(), &m_PlayState};
}

bool CTarnwickApp::ClosePlan()
{
    if (m_pPlan) {
        m_ClockService.RemoveReceiver(m_pPlan.get());
        m_pPlan.reset();
        m_EventHistory = {};
        m_Doc.SetTitle(QString());
        if (m_window)
            m_window->OnPlanClosed();
    }
    m_EditHistory.Clear();
    return true;
}

CPlan* CTarnwickApp::AdoptNewPlan()
{
    m_pPlan = std::make_unique<CPlan>(MakePlanContext());
    m_EditHistory.Clear();
    m_Doc.SetModifiedFlag(false);
    m_Doc.SetPlanFile(QString());
    return m_pPlan.get();
}

bool CTarnwickApp::RegisterPlan()
{
    return m_pPlan && m_ClockService.AddReceiver(m_pPlan.get());
}

bool CTarnwickApp::LoadPlan(const std::string& path)
{
    if (m_pPlan)
        return false;
    std::string error;
    m_pPlan = ::LoadPlan(path, MakePlanContext(), &error);
    m_LastPlanError.clear();
    if (!m_pPlan || !m_pPlan->GetFirstLayer()) {
        if (!error.empty())
            std::fprintf(stderr, "tarnwick: %s: %s\n", path.c_str(), error.c_str());
        m_LastPlanError = error.empty() ? std::string("预案中没有能显示的图层(地图文件缺失或无法读取)") : error;
        // A plan none of whose layers loaded has no map to show or play on.
        m_pPlan.reset();
        return false;
    }
    RegisterPlan();
    m_Doc.SetTitle(QString::fromStdString(m_pPlan->GetFirstLayer()->m_MapName));
    m_Doc.SetModifiedFlag(false);
    m_Doc.SetPlanFile(QString::fromStdString(path));
    m_ClockService.SetTime(0);
    if (m_window)
        m_window->SetPlanTimes(std::time_t(m_pPlan->m_StartTime), std::time_t(m_pPlan->m_EndTime));
    return true;
}

bool CTarnwickApp::SavePlan(const std::string& path)
{
    if (!m_pPlan)
        return false;
    std::string error;
    const bool ok = ::SavePlan(*m_pPlan, path, &error);
    m_LastPlanError = ok ? std::string() : error;
    if (!ok)
        std::fprintf(stderr, "tarnwick: %s: %s\n", path.c_str(), error.c_str());
    else
        m_Doc.NotifySaved(QString::fromStdString(path));
    return ok;
}

void CTarnwickApp::SaveSysConfig()
{
    const std::string path = m_ConfigLocation.SavePath("SysConfig.cfg");
    if (!m_SysConfig.Save(path)) {
        std::fprintf(stderr, "tarnwick: %s\n", m_SysConfig.GetLastError().c_str());
        ReportError(Reporter(), "保存系统配置失败!", "错误");
    }
}

bool CTarnwickApp::SaveUnitClassInfo()
{
    const std::string path = m_ConfigLocation.SavePath("UnitClassInfo.cfg");
    if (!m_UnitClassCatalog.Save(path)) {
        std::fprintf(stderr, "tarnwick: %s\n", m_UnitClassCatalog.GetLastError().c_str());
        ReportError(Reporter(), "保存单位信息失败!", "错误");
        return false;
    }
    return true;
}

void CTarnwickApp::SetHitCheckValues(int checkBeenHit, double distWhenBeenHit)
{
    m_CheckBeenHit = checkBeenHit;
    m_DistWhenBeenHit = distWhenBeenHit;
    m_PlayState.SetCheckBeenHit(checkBeenHit);
    m_ClockService.SetCheckBeenHit(checkBeenHit);
}

CMapLoader* CTarnwickApp::GetMap() const
{
    CPlanLayer* layer = m_pPlan ? m_pPlan->GetFirstLayer() : nullptr;
    return layer ? &layer->m_Map : nullptr;
}
