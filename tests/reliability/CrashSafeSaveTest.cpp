// Saves killed at random points: a helper process saves a large plan,
// SysConfig.cfg and UnitClassInfo.cfg over and over, alternating two versions,
// and is killed with SIGKILL after a random delay. Every file must then be
// one of the two complete versions (or still absent), readable by its loader.
// A kill can leave the save's own temporary beside the file (nothing can clean
// up after SIGKILL); anything else left there is a fault.
#include "config/MessageReporter.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "engine/PlanFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>

namespace {

class SilentReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage&) override { return MessageAnswer::Ok; }
};

const char* const kFiles[] = {"plan.pln", "SysConfig.cfg", "UnitClassInfo.cfg"};

// The shape of a save's own temporary: "<name>." and six letters or digits.
// Left behind only when a kill lands inside a save; nothing may remove it
// automatically, since "plan.pln.backup" has the same shape.
bool IsSaveTempName(const QString& name, const QString& target)
{
    if (name.size() != target.size() + 7 || !name.startsWith(target + '.'))
        return false;
    for (qsizetype i = target.size() + 1; i < name.size(); ++i)
        if (!name[i].isLetterOrNumber() || name[i].unicode() > 127)
            return false;
    return true;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Loads(const std::string& name, const std::string& path)
{
    if (name == "plan.pln") {
        SilentReporter reporter;
        PlanContext context;
        context.reporter = &reporter;
        std::string error;
        const bool ok = LoadPlan(path, context, &error) != nullptr;
        if (!ok)
            ADD_FAILURE() << error;
        return ok;
    }
    CSysConfig config;
    if (name == "SysConfig.cfg")
        return config.Load(path) && config.GetCount() == 3000;
    CUnitClassCatalog catalog;
    return catalog.Load(path, config) && catalog.GetUnitClasses().size() == 2000;
}

// The suite kills 60 saves; TARNWICK_KILL_ITERATIONS=200 for a longer run.
int Iterations()
{
    const char* v = std::getenv("TARNWICK_KILL_ITERATIONS");
    return v && std::atoi(v) > 0 ? std::atoi(v) : 60;
}

}  // namespace

TEST(CrashSafeSave, KilledSavesLeaveTheOldOrTheNewFileWholeAndNothingElse)
{
    TestDir dir;
    const QString ref = dir.path() + "/ref", work = dir.path() + "/work";
    ASSERT_TRUE(QDir().mkpath(work));

    // The two versions, and how long one round of three saves takes.
    QElapsedTimer timer;
    timer.start();
    ASSERT_EQ(QProcess::execute(TARNWICK_SAVE_LOOP, {"reference", ref}), 0);
    const qint64 roundMs = std::max<qint64>(20, timer.elapsed() / 3);
    std::map<std::string, QByteArray> versionA, versionB;
    for (const char* name : kFiles) {
        versionA[name] = ReadAll(ref + "/A/" + name);
        versionB[name] = ReadAll(ref + "/B/" + name);
        ASSERT_FALSE(versionA[name].isEmpty()) << name;
        ASSERT_NE(versionA[name], versionB[name]) << name;
        ASSERT_TRUE(Loads(name, (ref + "/A/" + name).toStdString())) << name;
        ASSERT_TRUE(QFile::copy(ref + "/A/" + name, work + "/" + name));
    }

    std::mt19937 rng(7);
    std::uniform_int_distribution<qint64> delay(0, roundMs * 2);
    std::map<std::string, int> outcomes;
    const int iterations = Iterations();
    for (int i = 0; i < iterations; ++i) {
        SCOPED_TRACE("iteration " + std::to_string(i));
        // Now and then start from nothing: the new file is then complete or absent.
        const bool fromNothing = i % 10 == 9;
        if (fromNothing)
            for (const char* name : kFiles)
                QFile::remove(work + "/" + name);

        QProcess saver;
        saver.start(TARNWICK_SAVE_LOOP, {"loop", work});
        ASSERT_TRUE(saver.waitForStarted(30000));
        ASSERT_TRUE(saver.waitForReadyRead(60000)) << "the helper never got ready";
        ASSERT_EQ(saver.readLine().trimmed(), "ready");
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(rng)));
        ::kill(pid_t(saver.processId()), SIGKILL);
        ASSERT_TRUE(saver.waitForFinished(30000));
        ASSERT_EQ(saver.exitStatus(), QProcess::CrashExit) << "the helper ended before it was killed";

        for (const char* name : kFiles) {
            const QString path = work + "/" + name;
            if (!QFile::exists(path)) {
                EXPECT_TRUE(fromNothing) << name << " vanished";
                ++outcomes["absent"];
                continue;
            }
            const QByteArray bytes = ReadAll(path);
            const bool whole = bytes == versionA[name] || bytes == versionB[name];
            EXPECT_TRUE(whole) << name << " is neither version (" << bytes.size() << " bytes)";
            ++outcomes[bytes == versionA[name] ? "A" : bytes == versionB[name] ? "B" : "damaged"];
            if (i % 5 == 0 || !whole) {
                EXPECT_TRUE(Loads(name, path.toStdString())) << name;
            }
        }
        const QStringList left = QDir(work).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& name : left) {
            const bool ours = name == kFiles[0] || name == kFiles[1] || name == kFiles[2];
            const bool temp = IsSaveTempName(name, QString(kFiles[0])) ||
                              IsSaveTempName(name, QString(kFiles[1])) || IsSaveTempName(name, QString(kFiles[2]));
            EXPECT_TRUE(ours || temp) << "left behind: " << name.toStdString();
            if (temp) {
                ++outcomes["temporary"];
                QFile::remove(work + "/" + name);
            }
        }
        if (::testing::Test::HasFailure())
            break;
    }
    std::printf("kill test: %d iterations, files found: %d version A, %d version B, %d absent, %d damaged, "
                "%d save temporaries left by a kill\n",
                iterations, outcomes["A"], outcomes["B"], outcomes["absent"], outcomes["damaged"], outcomes["temporary"]);
    EXPECT_GT(outcomes["A"], 0);
    EXPECT_GT(outcomes["B"], 0) << "no kill came after a completed save";
}
