// Starts the real program on a virtual X display with the sample plan, plays
// it for a few seconds and checks the event list's copy.
#include "support/TempDir.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>
#include <unistd.h>

TEST(Smoke, PlaysTheSamplePlanUnderXvfb)
{
    const QString xvfb = QStandardPaths::findExecutable("xvfb-run");
    if (xvfb.isEmpty())
        GTEST_SKIP() << "xvfb-run is not installed (apt-get install xvfb)";
    TestDir dir;
    const QString log = QString::fromStdString(dir.file("events.log"));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.insert("HOME", dir.path());  // settings of the run stay in the temporary folder
    p.setProcessEnvironment(env);
    // xvfb-run waits for the server's SIGUSR1; a test runner may start us with
    // that signal ignored or blocked, which a shell cannot undo.
    p.setChildProcessModifier([] {
        sigset_t all;
        sigemptyset(&all);
        sigprocmask(SIG_SETMASK, &all, nullptr);
        signal(SIGUSR1, SIG_DFL);
        setsid();  // one process group, so a hung run can be ended whole
    });
    p.start(xvfb, {"-a", "-s", "-screen 0 1600x1000x24", TARNWICK_EXE, "--report-to-stderr", "--plan",
                   TARNWICK_SOURCE_DIR "/samples/演习示例.pln", "--autoplay", "--event-log", log, "--quit-after",
                   "7000"});
    ASSERT_TRUE(p.waitForStarted());
    if (!p.waitForFinished(90000)) {
        ::kill(-pid_t(p.processId()), SIGKILL);
        p.waitForFinished(5000);
        FAIL() << "the program did not end";
    }
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(p.exitCode(), 0) << err.toStdString();
    EXPECT_FALSE(err.contains("错误")) << err.toStdString();

    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString events = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(events.contains("红坦克一连开始移动")) << events.toStdString();
    EXPECT_TRUE(events.contains("红炮兵一营开始打击 [使用火器: 榴弹炮]")) << events.toStdString();
    EXPECT_TRUE(events.contains("蓝坦克一连[编号:11]被红炮兵一营[编号: 3][火器: 榴弹炮]击中")) << events.toStdString();
}
