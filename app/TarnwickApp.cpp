#include "app/TarnwickApp.h"

#include "app/MessageReporter.h"
#include "app/ModulePaths.h"
#include "app/StartupConfig.h"
#include "engine/PlanFile.h"
#include "ui/MainWindow.h"

#include <cstdio>

namespace {
CTarnwickApp* g_app = nullptr;
}

CTarnwickApp* TheApp()
{
    return g_app;
}

CTarnwickApp::CTarnwickApp(IMessageReporter* reporter)
    : m_ClockService(200, reporter), m_Doc(*this), m_reporter(reporter)
{
    g_app = this;
}

CTarnwickApp::~CTarnwickApp()
{
    ExitInstance();
    // The frame's panels hold the clock and the hit list; they go first.
    m_pMainFrame.reset();
    if (g_app == this)
        g_app = nullptr;
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

    const StartupConfigResult loaded = LoadStartupConfig(m_ModuleFolder, m_SysConfig, m_UnitClassCatalog);
    if (!loaded.ok) {
        std::fprintf(stderr, "tarnwick: %s\n", loaded.description.c_str());
        ReportError(Reporter(), "读取系统配置失败", "错误");
        return false;
    }

    m_pMainFrame = std::make_unique<CMainFrame>(*this);

    const HitCheckSettings hits = ReadHitCheckSettings(m_SysConfig);
    m_CheckBeenHit = hits.checkBeenHit;
    m_DistWhenBeenHit = hits.distWhenBeenHit;
    m_PlayState.SetCheckBeenHit(m_CheckBeenHit);
    m_ClockService.SetCheckBeenHit(m_CheckBeenHit);
    m_ClockService.SetFireLineList(&m_PlayState.FireLines());

    if (options.showWindow)
        m_pMainFrame->ShowMaximizedFrame();
    m_Doc.SetTitle(QString());
    m_PlayRate = 1.0;
    m_pMainFrame->ViewSizeChanged();

    if (!options.planPath.isEmpty())
        m_pMainFrame->OpenPlanFile(options.planPath);
    return true;
}

void CTarnwickApp::ExitInstance()
{
    if (m_exited)
        return;
    m_exited = true;
    m_ClockService.Stop();
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
    }
    return true;
}

CPlan* CTarnwickApp::AdoptNewPlan()
{
    m_pPlan = std::make_unique<CPlan>(MakePlanContext());
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
    if (!m_pPlan || !m_pPlan->GetFirstLayer()) {
        if (!error.empty())
            std::fprintf(stderr, "tarnwick: %s: %s\n", path.c_str(), error.c_str());
        // A plan none of whose layers loaded has no map to show or play on.
        m_pPlan.reset();
        return false;
    }
    RegisterPlan();
    m_Doc.SetTitle(QString::fromStdString(m_pPlan->GetFirstLayer()->m_MapName));
    m_ClockService.SetTime(0);
    if (m_pMainFrame)
        m_pMainFrame->SetPlanTimes(std::time_t(m_pPlan->m_StartTime), std::time_t(m_pPlan->m_EndTime));
    return true;
}

bool CTarnwickApp::SavePlan(const std::string& path)
{
    if (!m_pPlan)
        return false;
    std::string error;
    const bool ok = ::SavePlan(*m_pPlan, path, &error);
    if (!ok)
        std::fprintf(stderr, "tarnwick: %s: %s\n", path.c_str(), error.c_str());
    return ok;
}

CMapLoader* CTarnwickApp::GetMap() const
{
    CPlanLayer* layer = m_pPlan ? m_pPlan->GetFirstLayer() : nullptr;
    return layer ? &layer->m_Map : nullptr;
}
