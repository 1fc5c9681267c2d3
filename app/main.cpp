#include "app/MessageReporter.h"
#include "app/ModulePaths.h"
#include "app/StartupConfig.h"
#include "app/SysConfig.h"
#include "app/UnitClassCatalog.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxReporter.h"

#include <QApplication>
#include <QStringList>
#include <clocale>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt adopts the environment's locale; files and number formats of the model
    // are always in the "C" notation.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QApplication::setApplicationName("Tarnwick");

    const QStringList args = QApplication::arguments();
    // Headless runs (tests, batch starts) report to standard error instead of blocking on a box.
    const bool toStderr = args.contains("--report-to-stderr");
    MessageBoxReporter boxes;
    StderrMessageReporter stderrReporter;
    IMessageReporter& reporter = toStderr ? static_cast<IMessageReporter&>(stderrReporter) : boxes;
    SetDefaultMessageReporter(&reporter);

    const std::string moduleFolder = modulepaths::ModuleFolder();
    CSysConfig config;
    CUnitClassCatalog catalog;
    const StartupConfigResult loaded = LoadStartupConfig(moduleFolder, config, catalog);
    if (!loaded.ok) {
        std::fprintf(stderr, "tarnwick: %s\n", loaded.description.c_str());
        ReportError(reporter, "读取系统配置失败", "错误");
        SetDefaultMessageReporter(nullptr);
        return 1;
    }

    CMainFrame frame;
    frame.show();
    const int rc = app.exec();
    SetDefaultMessageReporter(nullptr);
    return rc;
}
