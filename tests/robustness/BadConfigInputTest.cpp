// SysConfig.cfg, UnitClassInfo.cfg and unit images with bad content: each
// load fails with a description (and the program's fixed message at start-up)
// or reads what it can; nothing crashes, hangs or changes the files.

#include "../engine/EngineTestSupport.h"

#include "config/StartupConfig.h"
#include "engine/PlanContext.h"
#include "engine/Units.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kCatalogue[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
    "<unitclass><node name=\"a\" id=\"01\"/></unitclass>"
    "<unit><node name=\"b\" id=\"01.01\" class=\"01\" width=\"3\" height=\"4\"/></unit></unitinfo>";

std::string SparseFile(const TestDir& dir, const QString& name, const QByteArray& head, qint64 size)
{
    const std::string path = dir.file(name);
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly) || f.write(head) != head.size() || !f.resize(size))
        ADD_FAILURE() << "cannot make " << path;
    return path;
}

}  // namespace

TEST(BadConfigInput, DamagedConfigurationsFailWithTheirReason)
{
    TestDir dir;
    const QByteArray good = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
                            "<param name=\"CheckBeenHit\">1</param></sysconfig>";
    for (qsizetype cut : {qsizetype(0), qsizetype(20), qsizetype(50), good.size() - 1}) {
        SCOPED_TRACE(cut);
        CSysConfig config;
        EXPECT_FALSE(config.Load(dir.write("SysConfig.cfg", good.left(cut))));
        EXPECT_FALSE(config.GetLastError().empty());
    }
    CSysConfig config;
    EXPECT_FALSE(config.Load(dir.write("SysConfig.cfg", "<sysconfig><param name='a'>1</param>")));
    EXPECT_FALSE(config.Load(dir.write("SysConfig.cfg", "<a><b></a></b>")));
    EXPECT_FALSE(config.Load(dir.file("nowhere.cfg")));
    EXPECT_FALSE(config.Load(dir.path().toStdString())) << "a folder";

    // Missing attribute and missing text read as empty; a wrong root is read all the same.
    ASSERT_TRUE(config.Load(dir.write("SysConfig.cfg", "<cfg><param>5</param><param name='x'/></cfg>")));
    ASSERT_EQ(config.GetCount(), 2u);
    EXPECT_EQ(config.GetNames()[0], "");
    EXPECT_EQ(config.GetValues()[1], "");
}

TEST(BadConfigInput, NumbersOutOfRangeInTheConfiguration)
{
    TestDir dir;
    CSysConfig config;
    ASSERT_TRUE(config.Load(dir.write("SysConfig.cfg",
                                      "<sysconfig><param name='CheckBeenHit'>99999999999</param>"
                                      "<param name='DistWhenBeenHit'>nan</param>"
                                      "<param name='FireUnitColor_03.01'>fffffffffffffffff</param></sysconfig>")));
    int check = 0;
    double distance = 0;
    EXPECT_TRUE(config.GetParamInt("CheckBeenHit", check));
    EXPECT_EQ(check, INT32_MAX) << "clamped like atoi";
    EXPECT_TRUE(config.GetParamDouble("DistWhenBeenHit", distance));
    EXPECT_EQ(CUnitClassCatalog::FireColorFromConfig(config, "03.01"), 0xffffffffu) << "clamped like %x";
}

TEST(BadConfigInput, DamagedCataloguesFailAndKeepWhatWasRead)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog catalog;
    const QByteArray good(kCatalogue);
    for (qsizetype cut : {qsizetype(0), qsizetype(45), good.size() / 2, good.size() - 2}) {
        SCOPED_TRACE(cut);
        EXPECT_FALSE(catalog.Load(dir.write("UnitClassInfo.cfg", good.left(cut)), config));
        EXPECT_FALSE(catalog.GetLastError().empty());
    }
    // Missing lists fail; what was read before stays.
    EXPECT_FALSE(catalog.Load(dir.write("UnitClassInfo.cfg", "<unitinfo><unitclass><node id='01'/></unitclass></unitinfo>"),
                              config));
    EXPECT_EQ(catalog.GetCategories().size(), 1u);
    EXPECT_TRUE(catalog.GetUnitClasses().empty());
    EXPECT_FALSE(catalog.Load(dir.write("UnitClassInfo.cfg", "<unitinfo><unitclass/><unit><node/></unit></unitinfo>"),
                              config));

    // Missing attributes and absurd numbers read like the C conversions.
    ASSERT_TRUE(catalog.Load(dir.write("UnitClassInfo.cfg",
                                       "<x><unitclass><n/></unitclass><unit><n width='-99999999999' "
                                       "height='abc' exploderadius='1e999' visible_min='nan'/></unit></x>"),
                             config));
    const UnitClassInfo& u = *catalog.GetUnitClasses()[0];
    EXPECT_EQ(u.id, "");
    EXPECT_EQ(u.width, INT32_MIN);
    EXPECT_EQ(u.height, 0);
    EXPECT_TRUE(std::isinf(u.exploderadius));
    EXPECT_EQ(u.visible_max, 0.0);
}

TEST(BadConfigInput, NamesThatAreNotUtf8SurviveASaveUnchanged)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog catalog;
    // "直升机" in the old GBK encoding instead of UTF-8.
    const QByteArray gbk("\xd6\xb1\xc9\xfd\xbb\xfa");
    const std::string path = dir.write("UnitClassInfo.cfg", QByteArray(kCatalogue).replace("name=\"b\"", "name=\"" + gbk + "\""));
    ASSERT_TRUE(catalog.Load(path, config)) << catalog.GetLastError();
    const std::string saved = dir.file("saved.cfg");
    ASSERT_TRUE(catalog.Save(saved));
    EXPECT_TRUE(TestDir::read(saved).contains("name=\"" + gbk + "\""));
    CUnitClassCatalog back;
    ASSERT_TRUE(back.Load(saved, config));
    EXPECT_EQ(back.GetUnitClasses()[0]->name, gbk.toStdString());
}

TEST(BadConfigInput, HugeAndSpecialFilesAreRefusedUnread)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog catalog;
    const std::string huge = SparseFile(dir, "huge.cfg", "<sysconfig>", qint64(1) << 30);
    EXPECT_FALSE(config.Load(huge));
    EXPECT_NE(config.GetLastError().find("太大"), std::string::npos) << config.GetLastError();
    EXPECT_FALSE(catalog.Load(huge, config));
    const std::string fifo = dir.file("pipe.cfg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(config.Load(fifo));
    EXPECT_FALSE(catalog.Load(fifo, config));
    EXPECT_FALSE(config.Load("/dev/zero"));
}

TEST(BadConfigInput, StartWithoutUsableFilesSaysWhichFile)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog catalog;
    dir.write("SysConfig.cfg", "<sysconfig>");  // truncated
    dir.write("UnitClassInfo.cfg", kCatalogue);
    StartupConfigResult r = LoadStartupConfig(dir.path().toStdString(), config, catalog);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.description.find("SysConfig.cfg"), std::string::npos) << r.description;
    dir.write("SysConfig.cfg", "<sysconfig/>");
    dir.write("UnitClassInfo.cfg", "<unitinfo><unitclass/></unitinfo>");
    r = LoadStartupConfig(dir.path().toStdString(), config, catalog);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.description.find("UnitClassInfo.cfg"), std::string::npos) << r.description;
}

TEST(BadConfigInput, UnitImagesThatAreEmptyAbsurdOrNotFilesLoadNothing)
{
    TestDir dir;
    dir.write("NormalBitmap/empty.bmp", "");
    dir.write("NormalBitmap/text.bmp", "not a picture");
    QByteArray absurd("BM", 2);
    absurd += QByteArray::fromHex("36000000" "00000000" "36000000" "28000000" "a0860100" "a0860100"
                                  "01001800" "00000000" "00000000" "00000000" "00000000" "00000000" "00000000");
    dir.write("NormalBitmap/absurd.bmp", absurd + QByteArray(64, '\x7f'));
    WriteBitmap(dir, "NormalBitmap/good.bmp", 5, 4);
    QDir().mkpath(dir.path() + "/NormalBitmap/folder.bmp");
    const std::string fifo = dir.file("NormalBitmap/pipe.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    // Another picture format under a bitmap's name: only bitmaps are decoded.
    QImage png(4, 4, QImage::Format_RGB32);
    png.fill(Qt::red);
    png.save(dir.path() + "/NormalBitmap/png.bmp", "PNG");
    for (const char* name : {"empty", "text", "absurd", "folder", "pipe", "missing", "png"}) {
        SCOPED_TRACE(name);
        UnitSingleSimple unit;
        unit.m_UnitBitmap = std::string("NormalBitmap\\") + name + ".bmp";
        unit.m_UnitBitmapMask = "NormalBitmap\\good.bmp";
        CUnitImageCache cache;
        unit.LoadBitmaps(dir.path().toStdString(), &cache);
        EXPECT_TRUE(unit.m_Image.isNull());
        EXPECT_EQ(unit.m_ImageWidth, 0);
        EXPECT_EQ(unit.m_Mask.width(), 5);
        unit.LoadBitmaps(dir.path().toStdString(), nullptr);
        EXPECT_TRUE(unit.m_Image.isNull());
    }
}

TEST(BadConfigInput, UnreadableConfiguration)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: permissions do not deny reading";
    TestDir dir;
    const std::string path = dir.write("SysConfig.cfg", "<sysconfig/>");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    CSysConfig config;
    EXPECT_FALSE(config.Load(path));
    EXPECT_FALSE(config.GetLastError().empty());
}

TEST(BadConfigInput, LineEndsInsideValuesSurviveASave)
{
    TestDir dir;
    CSysConfig config;
    ASSERT_TRUE(config.Load(dir.write("SysConfig.cfg", "<sysconfig><param name='a'>x&#13;y&#13;&#10;z</param>"
                                                       "<param name='b&#13;'>1</param></sysconfig>")));
    ASSERT_EQ(config.GetValues()[0], "x\ry\r\nz");
    const std::string saved = dir.file("saved.cfg");
    ASSERT_TRUE(config.Save(saved));
    EXPECT_TRUE(TestDir::read(saved).contains("x&#13;y&#13;\nz")) << "a reference, not a bare carriage return";
    CSysConfig back;
    ASSERT_TRUE(back.Load(saved));
    EXPECT_EQ(back.GetValues(), config.GetValues());
    EXPECT_EQ(back.GetNames(), config.GetNames());
}

TEST(BadConfigInput, ValuesOfWhiteSpaceOnlySurviveASave)
{
    TestDir dir;
    CSysConfig config;
    // Written as references they load as line feeds and spaces; saved, they are
    // bare white space, which must not read back as an empty value.
    ASSERT_TRUE(config.Load(dir.write("SysConfig.cfg", "<sysconfig>\r\n<param name='a'>&#10;&#10;</param>"
                                                       "<param name='b'>&#32; </param><param name='c'></param>"
                                                       "<param name='d'>\r\n</param></sysconfig>")));
    ASSERT_EQ(config.GetValues(), (std::vector<std::string>{"\n\n", "  ", "", "\n"}));
    const std::string saved = dir.file("saved.cfg");
    ASSERT_TRUE(config.Save(saved));
    CSysConfig back;
    ASSERT_TRUE(back.Load(saved));
    EXPECT_EQ(back.GetValues(), config.GetValues());
    EXPECT_EQ(back.GetCount(), 4u) << "white space between parameters is not a parameter";
}
