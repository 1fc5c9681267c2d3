#include "config/SysConfig.h"
#include "config/UnitClassCatalog.h"
#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

const char* kCatalog =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
    "<unitclass><node name=\"陆军\" id=\"02\"/><node name=\"坦克分队\" id=\"02-02\"/></unitclass>"
    "<unit>"
    "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\" exploderadius=\"0\" "
    "visible_min=\"0.5\" visible_max=\"100000\"/>"
    "<item name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"x\" height=\"7.9\" exploderadius=\"25.5\" visible_min=\"abc\"/>"
    "<node name=\"Dup\" id=\"03.01\" class=\"03\"/>"
    "</unit></unitinfo>";

}  // namespace

TEST(UnitClassCatalog, LoadReadsEveryChildWithCConversions)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog cat;
    ASSERT_TRUE(cat.Load(dir.write("UnitClassInfo.cfg", kCatalog), config));
    ASSERT_EQ(cat.GetCategories().size(), 2u);
    EXPECT_EQ(cat.GetCategories()[1]->name, "坦克分队");
    EXPECT_EQ(cat.GetCategories()[1]->id, "02-02");
    ASSERT_EQ(cat.GetUnitClasses().size(), 3u);

    const UnitClassInfo& tank = *cat.GetUnitClasses()[0];
    EXPECT_EQ(tank.classCode, "02-02");
    EXPECT_EQ(tank.width, 4);
    EXPECT_EQ(tank.height, 10);
    EXPECT_EQ(tank.visible_min, 0.5);
    EXPECT_EQ(tank.visible_max, 100000.0);

    const UnitClassInfo& gun = *cat.GetUnitClasses()[1];  // tag "item" counts as well
    EXPECT_TRUE(gun.IsWeapon());
    EXPECT_EQ(gun.width, 0);
    EXPECT_EQ(gun.height, 7);
    EXPECT_EQ(gun.exploderadius, 25.5);
    EXPECT_EQ(gun.visible_min, 0.0);
    EXPECT_EQ(gun.visible_max, 0.0) << "a missing attribute reads 0, not the constructor's 100000";
}

TEST(UnitClassCatalog, FireColoursComeFromTheConfiguration)
{
    TestDir dir;
    CSysConfig config;
    config.SetParam("FireUnitColor_02-02.01", "ff");
    config.SetParam("FireUnitColor_03.01", "");
    CUnitClassCatalog cat;
    ASSERT_TRUE(cat.Load(dir.write("c.cfg", kCatalog), config));
    EXPECT_EQ(cat.GetUnitClasses()[0]->fireColor, 0xFFu);
    EXPECT_EQ(cat.GetUnitClasses()[1]->fireColor, 200u) << "empty value";
    EXPECT_EQ(cat.GetUnitClasses()[2]->fireColor, 200u);

    CSysConfig other;
    other.SetParam("FireUnitColor_03.01", "zz");
    EXPECT_EQ(CUnitClassCatalog::FireColorFromConfig(other, "03.01"), 0u) << "no leading hex digit";
    EXPECT_EQ(CUnitClassCatalog::FireColorFromConfig(other, "03.02"), 200u) << "missing";
    other.SetParam("FireUnitColor_03.02", "ff00");
    EXPECT_EQ(CUnitClassCatalog::FireColorFromConfig(other, "03.02"), 0xFF00u);
}

TEST(UnitClassCatalog, FindByIdIgnoresCaseAndTakesTheFirst)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog cat;
    ASSERT_TRUE(cat.Load(dir.write("c.cfg",
        "<unitinfo><unitclass><node name=\"a\" id=\"A\"/></unitclass><unit>"
        "<node name=\"first\" id=\"Ab.Cd\"/><node name=\"second\" id=\"aB.cD\"/></unit></unitinfo>"), config));
    ASSERT_NE(cat.FindUnitClassById("AB.CD"), nullptr);
    EXPECT_EQ(cat.FindUnitClassById("ab.cd")->name, "first");
    EXPECT_EQ(cat.FindUnitClassById("ab.c"), nullptr);
    EXPECT_EQ(cat.FindUnitClassById(""), nullptr);
}

TEST(UnitClassCatalog, LoadFailures)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog cat;
    EXPECT_FALSE(cat.Load(dir.file("missing.cfg"), config));
    EXPECT_FALSE(cat.Load(dir.write("a.cfg", "<unitinfo><unit><node id=\"1.1\"/></unit></unitinfo>"), config));
    EXPECT_FALSE(cat.Load(dir.write("b.cfg", "<unitinfo><unitclass><node id=\"1\"/></unitclass></unitinfo>"), config));
    EXPECT_FALSE(cat.Load(dir.write("c.cfg", "<unitinfo><unitclass>\r\n</unitclass><unit><node/></unit></unitinfo>"),
                          config)) << "empty category list";
    // An empty unit list fails too, but the categories read before the failure stay.
    EXPECT_FALSE(cat.Load(dir.write("d.cfg", "<unitinfo><unitclass><node id=\"1\"/></unitclass><unit/></unitinfo>"),
                          config));
    EXPECT_EQ(cat.GetCategories().size(), 1u);
    EXPECT_FALSE(cat.Load(dir.write("e.cfg", "<unitinfo><unitclass><node"), config));
    // A root of another name is fine.
    EXPECT_TRUE(cat.Load(dir.write("f.cfg", "<other><unitclass><n/></unitclass><unit><n/></unit></other>"), config));
}

TEST(UnitClassCatalog, SaveRoundTripAndExactText)
{
    TestDir dir;
    CSysConfig config;
    config.SetParam("FireUnitColor_03.01", "ff00");
    CUnitClassCatalog cat;
    ASSERT_TRUE(cat.Load(dir.write("c.cfg", kCatalog), config));
    const std::string out = dir.file("out.cfg");
    ASSERT_TRUE(cat.Save(out));
    const QByteArray bytes = TestDir::read(out);
    EXPECT_TRUE(bytes.startsWith("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n<unitclass>"));
    EXPECT_TRUE(bytes.endsWith("</unit></unitinfo>"));
    EXPECT_TRUE(bytes.contains("<node name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"0\" height=\"7\" "
                               "exploderadius=\"25.5\" visible_min=\"0\" visible_max=\"0\"/>"))
        << bytes.toStdString();
    EXPECT_TRUE(bytes.contains("visible_min=\"0.5\" visible_max=\"100000\""));

    CUnitClassCatalog back;
    ASSERT_TRUE(back.Load(out, config));
    ASSERT_EQ(back.GetUnitClasses().size(), cat.GetUnitClasses().size());
    for (size_t i = 0; i < cat.GetUnitClasses().size(); ++i) {
        const auto& a = *cat.GetUnitClasses()[i];
        const auto& b = *back.GetUnitClasses()[i];
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.id, b.id);
        EXPECT_EQ(a.classCode, b.classCode);
        EXPECT_EQ(a.width, b.width);
        EXPECT_EQ(a.height, b.height);
        EXPECT_EQ(a.exploderadius, b.exploderadius);
        EXPECT_EQ(a.visible_min, b.visible_min);
        EXPECT_EQ(a.visible_max, b.visible_max);
        EXPECT_EQ(a.fireColor, b.fireColor);
    }
    EXPECT_EQ(back.GetUnitClasses()[1]->fireColor, 0xFF00u);

    // Without categories the file saves, but no longer loads (the start would fail).
    CUnitClassCatalog emptyCats;
    ASSERT_TRUE(emptyCats.Save(dir.file("nocats.cfg")));
    EXPECT_FALSE(emptyCats.Load(dir.file("nocats.cfg"), config));
}

TEST(UnitClassCatalog, FailedSaveKeepsThePreviousFile)
{
    TestDir dir;
    CSysConfig config;
    CUnitClassCatalog cat;
    const std::string path = dir.write("UnitClassInfo.cfg", kCatalog);
    ASSERT_TRUE(cat.Load(path, config));
    const QByteArray before = TestDir::read(path);
    {
        FileSizeLimit limit(100);
        EXPECT_FALSE(cat.Save(path));
    }
    EXPECT_EQ(TestDir::read(path), before);
}

TEST(UnitImageIndex, ImagePathsFollowIconTitles)
{
    TestDir dir;
    dir.write("UnitBitmap/b/主战坦克.bmp", "x");
    dir.write("UnitBitmap/a/sub/Truck.BMP", "x");
    dir.write("UnitBitmap/a/陆军.bmp", "x");
    dir.write("UnitBitmap/z.first.bmp", "x");
    dir.write("UnitBitmap/c/truck.bmp", "x");  // a later duplicate title never wins

    CUnitImageIndex icons;
    icons.Scan(dir.file("UnitBitmap"));
    ASSERT_EQ(icons.GetEntries().size(), 5u);
    // Entries sorted by name, sub-folders entered where they sort.
    EXPECT_EQ(icons.GetEntries()[0].title, "Truck");
    EXPECT_EQ(icons.GetEntries()[1].title, "陆军");
    EXPECT_EQ(icons.GetEntries()[4].title, "z.first");
    EXPECT_EQ(icons.FindTitle("TRUCK"), 0);
    EXPECT_EQ(icons.FindTitle("陆军"), 1);
    EXPECT_EQ(icons.FindTitle("nothing"), -1);

    CSysConfig config;
    CUnitClassCatalog cat;
    ASSERT_TRUE(cat.Load(dir.write("c.cfg",
        "<unitinfo><unitclass><n name=\"陆军\" id=\"02\"/></unitclass><unit>"
        "<n name=\"truck\" id=\"01.1\"/><n name=\"主战坦克\" id=\"02.1\"/><n name=\"无图\" id=\"02.2\"/></unit></unitinfo>"),
        config));
    cat.AssignImagePaths(icons);
    const auto& classes = cat.GetUnitClasses();
    EXPECT_EQ(classes[0]->bitmapPath, "NormalBitmap\\Truck.bmp") << "the matched title, not the class name";
    EXPECT_EQ(classes[0]->maskPath, "NormalBitmap\\Truck_Mask.bmp");
    EXPECT_EQ(classes[1]->bitmapPath, "NormalBitmap\\主战坦克.bmp");
    EXPECT_TRUE(classes[2]->bitmapPath.empty());
    EXPECT_TRUE(classes[2]->maskPath.empty());

    CUnitImageIndex none;
    none.Scan(dir.file("NoSuchFolder"));
    EXPECT_TRUE(none.GetEntries().empty());
}
