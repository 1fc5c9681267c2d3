#include "config/SysConfig.h"
#include "config/StartupConfig.h"
#include "config/XmlTemplateFile.h"
#include "support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

TEST(SysConfig, LoadKeepsOrderDuplicatesAndUnknownParameters)
{
    TestDir dir;
    const std::string path = dir.write("SysConfig.cfg",
        "<?xml version=\"1.0\"?><anything><param name=\"A\">1</param><other name=\"Unknown\">x y</other>"
        "<param name=\"A\">2</param><param>noname</param></anything>");
    CSysConfig c;
    ASSERT_TRUE(c.Load(path));
    ASSERT_EQ(c.GetCount(), 4u);
    EXPECT_EQ(c.GetNames(), (std::vector<std::string>{"A", "Unknown", "A", ""}));
    EXPECT_EQ(c.GetValues(), (std::vector<std::string>{"1", "x y", "2", "noname"}));

    std::string v;
    ASSERT_TRUE(c.GetParam("A", v));
    EXPECT_EQ(v, "1");  // the first of the duplicates
    c.SetParam("A", "9");
    EXPECT_EQ(c.GetValues()[0], "9");
    EXPECT_EQ(c.GetValues()[2], "2");

    // Round trip keeps everything, in order.
    ASSERT_TRUE(c.Save(path));
    CSysConfig again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.GetNames(), c.GetNames());
    EXPECT_EQ(again.GetValues(), c.GetValues());
}

TEST(SysConfig, LookupsAreCaseSensitiveAndLeaveOutputsUntouched)
{
    CSysConfig c;
    c.SetParam("checkbeenhit", "0");
    int i = 7;
    double d = 3.5;
    std::string s = "keep";
    EXPECT_FALSE(c.GetParam("CheckBeenHit", s));
    EXPECT_FALSE(c.GetParamInt("CheckBeenHit", i));
    EXPECT_FALSE(c.GetParamDouble("CheckBeenHit", d));
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(i, 7);
    EXPECT_EQ(d, 3.5);

    const HitCheckSettings hs = ReadHitCheckSettings(c);
    EXPECT_EQ(hs.checkBeenHit, 1);
    EXPECT_EQ(hs.distWhenBeenHit, 1.0);
}

TEST(SysConfig, NumbersUseCConversionsAndFormats)
{
    CSysConfig c;
    c.SetParamDouble("DistWhenBeenHit", 2.5);
    c.SetParamInt("CheckBeenHit", 0);
    c.SetParam("Junk", "12abc");
    c.SetParam("Text", "abc");
    std::string v;
    c.GetParam("DistWhenBeenHit", v);
    EXPECT_EQ(v, "2.500000");
    c.GetParam("CheckBeenHit", v);
    EXPECT_EQ(v, "0");
    int i = -1;
    EXPECT_TRUE(c.GetParamInt("Junk", i));
    EXPECT_EQ(i, 12);
    EXPECT_TRUE(c.GetParamInt("Text", i));
    EXPECT_EQ(i, 0);
    double d = -1;
    EXPECT_TRUE(c.GetParamDouble("DistWhenBeenHit", d));
    EXPECT_EQ(d, 2.5);
}

TEST(SysConfig, SaveWritesTheTemplateBytes)
{
    TestDir dir;
    CSysConfig c;
    ASSERT_TRUE(c.Save(dir.file("empty.cfg")));
    EXPECT_EQ(TestDir::read(dir.file("empty.cfg")),
              QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n</sysconfig>"));

    c.SetParam("CheckBeenHit", "1");
    c.SetParam("名称", "a<b & \"c\"");
    ASSERT_TRUE(c.Save(dir.file("two.cfg")));
    EXPECT_EQ(TestDir::read(dir.file("two.cfg")),
              QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
                         "<param name=\"CheckBeenHit\">1</param>"
                         "<param name=\"名称\">a&lt;b &amp; \"c\"</param></sysconfig>"));
    CSysConfig back;
    ASSERT_TRUE(back.Load(dir.file("two.cfg")));
    EXPECT_EQ(back.GetValues()[1], "a<b & \"c\"");
}

TEST(SysConfig, EmptyRootIsAValidEmptyStoreButBrokenFilesFail)
{
    TestDir dir;
    CSysConfig c;
    c.SetParam("x", "y");
    EXPECT_TRUE(c.Load(dir.write("e.cfg", "<sysconfig>\r\n</sysconfig>")));
    EXPECT_EQ(c.GetCount(), 0u);
    EXPECT_FALSE(c.Load(dir.file("missing.cfg")));
    EXPECT_FALSE(c.Load(dir.write("t.cfg", "<sysconfig><param name=\"a\">1</para")));
    EXPECT_FALSE(c.Load(dir.write("z.cfg", "")));
    EXPECT_FALSE(c.Load(dir.path().toStdString()));  // a folder
    EXPECT_FALSE(c.GetLastError().empty());
}

TEST(SysConfig, FailedSaveLeavesThePreviousFileIntact)
{
    TestDir dir;
    CSysConfig c;
    c.SetParam("A", "old");
    const std::string path = dir.file("SysConfig.cfg");
    ASSERT_TRUE(c.Save(path));
    const QByteArray before = TestDir::read(path);

    // A write that fails half-way (file size limit; works for root too).
    for (int i = 0; i < 2000; ++i)
        c.SetParam("P" + std::to_string(i), "some value");
    {
        FileSizeLimit limit(1024);
        EXPECT_FALSE(c.Save(path));
    }
    EXPECT_EQ(TestDir::read(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file left behind";

    // A folder nobody may write into (root ignores permission bits).
    if (geteuid() != 0) {
        chmod(dir.path().toLocal8Bit().constData(), 0555);
        EXPECT_FALSE(c.Save(path));
        chmod(dir.path().toLocal8Bit().constData(), 0755);
        EXPECT_EQ(TestDir::read(path), before);
    }
    EXPECT_FALSE(c.Save(path + "/inside-a-file.cfg"));
    EXPECT_FALSE(c.Save(dir.path().toStdString()));  // the target is a folder
    EXPECT_EQ(TestDir::read(path), before);

    // And a complete save does replace it.
    ASSERT_TRUE(c.Save(path));
    CSysConfig back;
    ASSERT_TRUE(back.Load(path));
    EXPECT_EQ(back.GetCount(), c.GetCount());
}
