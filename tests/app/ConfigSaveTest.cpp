// The application object's configuration saves: into the module folder when it
// may be written, else into the user's copy, which the next start reads.
#include "app/TarnwickApp.h"
#include "config/MessageReporter.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

class Recording : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& m) override
    {
        texts.push_back(m.text);
        return MessageAnswer::Ok;
    }
    std::vector<std::string> texts;
};

struct Install {
    TestDir module;
    TestDir home;
    std::string user;
    Install()
    {
        for (const char* f : {"SysConfig.cfg", "UnitClassInfo.cfg"})
            QFile::copy(QString(TARNWICK_SOURCE_DIR "/data/") + f, module.path() + "/" + f);
        user = home.file("tarnwick");
    }
    CTarnwickApp::StartOptions Options(bool writable) const
    {
        CTarnwickApp::StartOptions o;
        o.moduleFolder = module.path().toStdString();
        o.showWindow = false;
        o.userConfigFolder = user;
        o.moduleFolderWritable = [writable](const std::string&) { return writable; };
        return o;
    }
};

double StoredDist(const std::string& path)
{
    CSysConfig c;
    double d = -1;
    if (c.Load(path))
        c.GetParamDouble("DistWhenBeenHit", d);
    return d;
}

}  // namespace

TEST(ConfigSave, ReadOnlyModuleFolderSavesToTheUserCopyWhichTheNextStartReads)
{
    Install in;
    const std::string shipped = in.module.file("SysConfig.cfg");
    const double before = StoredDist(shipped);
    {
        Recording r;
        CTarnwickApp app(&r);
        ASSERT_TRUE(app.InitInstance(in.Options(false)));
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(in.user))) << "reading alone creates nothing";
        app.m_SysConfig.SetParamDouble("DistWhenBeenHit", 321.0);
        app.SaveSysConfig();
        EXPECT_TRUE(app.SaveUnitClassInfo());
        EXPECT_TRUE(r.texts.empty());
    }
    EXPECT_DOUBLE_EQ(StoredDist(in.user + "/SysConfig.cfg"), 321.0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(in.user + "/UnitClassInfo.cfg")));
    EXPECT_DOUBLE_EQ(StoredDist(shipped), before) << "the installed file must stay as shipped";

    Recording r;
    CTarnwickApp again(&r);
    ASSERT_TRUE(again.InitInstance(in.Options(false)));
    EXPECT_DOUBLE_EQ(again.m_DistWhenBeenHit, 321.0);
}

TEST(ConfigSave, WritableModuleFolderSavesInPlaceAsBefore)
{
    Install in;
    Recording r;
    CTarnwickApp app(&r);
    ASSERT_TRUE(app.InitInstance(in.Options(true)));
    app.m_SysConfig.SetParamDouble("DistWhenBeenHit", 7.0);
    app.SaveSysConfig();
    EXPECT_TRUE(app.SaveUnitClassInfo());
    EXPECT_DOUBLE_EQ(StoredDist(in.module.file("SysConfig.cfg")), 7.0);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(in.user)));
    EXPECT_TRUE(r.texts.empty());
}

TEST(ConfigSave, FailedSavesKeepTheirMessages)
{
    Install in;
    in.home.write("tarnwick", "a file where the folder should be");
    Recording r;
    CTarnwickApp app(&r);
    ASSERT_TRUE(app.InitInstance(in.Options(false)));
    app.SaveSysConfig();
    EXPECT_FALSE(app.SaveUnitClassInfo());
    EXPECT_EQ(r.texts, (std::vector<std::string>{"保存系统配置失败!", "保存单位信息失败!"}));
}
