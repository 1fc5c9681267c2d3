// Where the configuration files are read and saved, with the module folder
// writable (the build folder) or not (an installation).
#include "config/ConfigLocation.h"
#include "config/StartupConfig.h"
#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kSysConfig =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?><sysconfig><param name=\"CheckBeenHit\">1</param>"
    "<param name=\"DistWhenBeenHit\">50.000000</param></sysconfig>";

bool Exists(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).exists();
}

// A module folder holding the shipped files and a user folder not made yet.
struct Folders {
    TestDir module;
    TestDir home;
    std::string user;
    Folders()
    {
        module.write("SysConfig.cfg", kSysConfig);
        QFile::copy(TARNWICK_SOURCE_DIR "/data/UnitClassInfo.cfg", module.path() + "/UnitClassInfo.cfg");
        user = home.file("config/tarnwick");
    }
    CConfigLocation Location(bool writable) const
    {
        return CConfigLocation(module.path().toStdString(), user, [writable](const std::string&) { return writable; });
    }
};

double Dist(const std::string& path)
{
    CSysConfig c;
    double d = -1;
    EXPECT_TRUE(c.Load(path)) << path;
    c.GetParamDouble("DistWhenBeenHit", d);
    return d;
}

}  // namespace

TEST(ConfigLocation, WritableModuleFolderIsUsedForEverythingAndTheUserFolderIsLeftAlone)
{
    Folders f;
    const CConfigLocation loc = f.Location(true);
    const std::string inModule = f.module.file("SysConfig.cfg");
    EXPECT_EQ(loc.ReadPath("SysConfig.cfg"), inModule);
    EXPECT_EQ(loc.SavePath("SysConfig.cfg"), inModule);
    EXPECT_FALSE(Exists(f.user)) << "no user folder may appear for a writable module folder";

    // Even a stray user copy does not shadow the module folder's file.
    QDir().mkpath(QString::fromStdString(f.user));
    QFile::copy(QString::fromStdString(inModule), QString::fromStdString(f.user + "/SysConfig.cfg"));
    EXPECT_EQ(loc.ReadPath("SysConfig.cfg"), inModule);
}

TEST(ConfigLocation, ReadOnlyModuleFolderReadsFallBackAndTheFirstSaveCreatesTheUserCopy)
{
    Folders f;
    const CConfigLocation loc = f.Location(false);
    const std::string inModule = f.module.file("SysConfig.cfg");
    const std::string inUser = f.user + "/SysConfig.cfg";

    // No copy yet: the shipped file.
    EXPECT_EQ(loc.ReadPath("SysConfig.cfg"), inModule);
    EXPECT_FALSE(Exists(f.user));

    CSysConfig config;
    ASSERT_TRUE(config.Load(loc.ReadPath("SysConfig.cfg")));
    config.SetParamDouble("DistWhenBeenHit", 75.0);
    const std::string savePath = loc.SavePath("SysConfig.cfg");
    EXPECT_EQ(savePath, inUser);
    ASSERT_TRUE(config.Save(savePath)) << config.GetLastError();

    // Later reads take the copy; the shipped file is untouched.
    EXPECT_EQ(loc.ReadPath("SysConfig.cfg"), inUser);
    EXPECT_DOUBLE_EQ(Dist(loc.ReadPath("SysConfig.cfg")), 75.0);
    EXPECT_DOUBLE_EQ(Dist(inModule), 50.0);
    // Each file falls back on its own: the catalogue has no copy yet.
    EXPECT_EQ(loc.ReadPath("UnitClassInfo.cfg"), f.module.file("UnitClassInfo.cfg"));
}

TEST(ConfigLocation, StartupLoadTakesTheUserCopyAndTheModuleFolderImages)
{
    Folders f;
    QDir().mkpath(QString::fromStdString(f.user));
    QByteArray copy = kSysConfig;
    copy.replace("50.000000", "12.500000");
    QFile out(QString::fromStdString(f.user + "/SysConfig.cfg"));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(copy);
    out.close();

    CSysConfig config;
    CUnitClassCatalog catalog;
    ASSERT_TRUE(LoadStartupConfig(f.Location(false), config, catalog).ok);
    EXPECT_DOUBLE_EQ(ReadHitCheckSettings(config).distWhenBeenHit, 12.5);

    CSysConfig writable;
    CUnitClassCatalog catalog2;
    ASSERT_TRUE(LoadStartupConfig(f.Location(true), writable, catalog2).ok);
    EXPECT_DOUBLE_EQ(ReadHitCheckSettings(writable).distWhenBeenHit, 50.0);
}

TEST(ConfigLocation, UnwritableUserFolderMakesTheSaveFailInsteadOfWritingTheModuleFolder)
{
    Folders f;
    // A file where the user folder should be: it cannot be created.
    f.home.write("config", "not a folder");
    const CConfigLocation loc = f.Location(false);
    CSysConfig config;
    ASSERT_TRUE(config.Load(loc.ReadPath("SysConfig.cfg")));
    config.SetParamInt("CheckBeenHit", 0);
    EXPECT_FALSE(config.Save(loc.SavePath("SysConfig.cfg")));
    int check = -1;
    CSysConfig shipped;
    ASSERT_TRUE(shipped.Load(f.module.file("SysConfig.cfg")));
    shipped.GetParamInt("CheckBeenHit", check);
    EXPECT_EQ(check, 1);
}

TEST(ConfigLocation, FileSystemAnswersWritability)
{
    TestDir dir;
    EXPECT_TRUE(CConfigLocation::FolderIsWritable(dir.path().toStdString()));
    EXPECT_FALSE(CConfigLocation::FolderIsWritable(dir.file("missing")));
    EXPECT_FALSE(CConfigLocation::FolderIsWritable(""));
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: a chmod'ed folder stays writable, the injected answer covers it";
    ASSERT_EQ(chmod(dir.path().toUtf8().constData(), 0555), 0);
    EXPECT_FALSE(CConfigLocation::FolderIsWritable(dir.path().toStdString()));
    const CConfigLocation loc(dir.path().toStdString(), dir.file("user"));
    EXPECT_EQ(loc.SavePath("SysConfig.cfg"), dir.file("user") + "/SysConfig.cfg");
    chmod(dir.path().toUtf8().constData(), 0755);
}

TEST(ConfigLocation, DefaultUserFolderFollowsXdgConfigHome)
{
    TestDir dir;
    const QByteArray old = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    const std::string folder = CConfigLocation::DefaultUserFolder();
    if (old.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", old);
    EXPECT_EQ(folder, dir.path().toStdString() + "/tarnwick");
}
