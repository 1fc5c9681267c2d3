// Starts the real program from a copy of its folder and checks that it refuses
// to start without its configuration files.
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

// Copies the executable and its configuration into a fresh folder; shared
// libraries are linked in so the copy still finds them.
void MakeModuleFolder(const TestDir& dir, bool withSysConfig, bool withCatalog)
{
    const QFileInfo exe(TARNWICK_EXE);
    const QDir bin = exe.dir();
    QFile::copy(exe.filePath(), dir.path() + "/tarnwick");
    for (const QFileInfo& so : bin.entryInfoList({"*.so", "*.so.*"}, QDir::Files))
        QFile::link(so.filePath(), dir.path() + "/" + so.fileName());
    if (withSysConfig)
        QFile::copy(bin.filePath("SysConfig.cfg"), dir.path() + "/SysConfig.cfg");
    if (withCatalog)
        QFile::copy(bin.filePath("UnitClassInfo.cfg"), dir.path() + "/UnitClassInfo.cfg");
}

struct ProgramRun {
    int exitCode;
    QString err;
    bool finished;
};

ProgramRun Start(const TestDir& dir, int quitAfterMs = 0)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(dir.path() + "/tarnwick", {"--report-to-stderr"});
    p.waitForStarted();
    bool finished = p.waitForFinished(quitAfterMs > 0 ? quitAfterMs : 20000);
    if (!finished) {
        p.terminate();
        p.waitForFinished(5000);
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardError()), finished};
}

}  // namespace

TEST(Startup, RefusesToStartWithoutTheCatalogue)
{
    TestDir dir;
    MakeModuleFolder(dir, true, false);
    const ProgramRun r = Start(dir);
    ASSERT_TRUE(r.finished) << "the program must end instead of showing a window";
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("错误: 读取系统配置失败")) << r.err.toStdString();
}

TEST(Startup, RefusesToStartWithoutTheSystemConfiguration)
{
    TestDir dir;
    MakeModuleFolder(dir, false, true);
    const ProgramRun r = Start(dir);
    ASSERT_TRUE(r.finished);
    EXPECT_NE(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains("读取系统配置失败"));
}

TEST(Startup, StartsWithBothFiles)
{
    TestDir dir;
    MakeModuleFolder(dir, true, true);
    const ProgramRun r = Start(dir, 3000);
    EXPECT_FALSE(r.finished) << "the main window stays open: " << r.err.toStdString();
    EXPECT_FALSE(r.err.contains("读取系统配置失败"));
}

TEST(Startup, HelpAndVersionAnswerWithoutADisplay)
{
    for (const QString& arg : {QString("--version"), QString("--help")}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // No display at all: a window system must not be needed to answer.
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        p.setProcessEnvironment(env);
        p.start(TARNWICK_EXE, {arg});
        ASSERT_TRUE(p.waitForFinished(20000)) << arg.toStdString();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0) << arg.toStdString();
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        if (arg == "--version")
            EXPECT_EQ(out, "tarnwick " TARNWICK_VERSION "\n");
        else
            EXPECT_TRUE(out.contains("--plan") && out.contains("--version")) << out.toStdString();
    }
}
