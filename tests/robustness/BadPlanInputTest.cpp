// Plan files with bad content: numbers out of range, odd routes, missing
// parts, missing or absurd maps, odd paths, files that are huge, not files,
// or unreadable. Each is answered with the fixed message or a clear error,
// never a crash, a hang or a lost layer that could have been kept.

#include "../engine/EngineTestSupport.h"

#include "engine/PlanFile.h"
#include "engine/PlanLayer.h"
#include "engine/PlayState.h"
#include "engine/Units.h"
#include "engine/WGAction.h"
#include "engine/WGRoute.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Env : PlanFileEnv {
    QByteArray Layer(const QByteArray& units, const QByteArray& source = {}) const
    {
        return "<Layer name='L'><map name='m' source='" + (source.isNull() ? QByteArray::fromStdString(mapPath) : source) +
               "' maptype='0' WidthKm='40' HeightKm='30'/><unitlist>" + units + "</unitlist></Layer>";
    }
};

QByteArray Unit(int no, const QByteArray& x, const QByteArray& y, const QByteArray& appear, const QByteArray& actions)
{
    return "<unit name='u" + QByteArray::number(no) + "' class='02-02.01'><UnitNo>" + QByteArray::number(no) +
           "</UnitNo><UnitName>u" + QByteArray::number(no) + "</UnitName><RelativeCoordinateX>" + x +
           "</RelativeCoordinateX><RelativeCoordinateY>" + y + "</RelativeCoordinateY><AppearTime>" + appear +
           "</AppearTime><actionlist>" + actions + "</actionlist></unit>";
}

QByteArray Move(const QByteArray& time, const QByteArray& speed, const QByteArray& points)
{
    return "<action class='1'><ActionType>1</ActionType><ActionTime>" + time + "</ActionTime><Speed>" + speed +
           "</Speed><Route>" + points + "</Route></action>";
}

QByteArray Point(const QByteArray& x, const QByteArray& y)
{
    return "<Coordinate X='" + x + "' Y='" + y + "' Z='0'/>";
}

// Plays the plan from 0 to `seconds` with the hit check on; returns the wall time taken.
double Play(CPlan& plan, CPlayState& play, uint32_t from, uint32_t to)
{
    const auto start = std::chrono::steady_clock::now();
    plan.SetPlayState(&play);
    for (uint32_t s = from; s <= to; ++s) {
        play.FireLines().clear();
        plan.RecvClockEvent(s * 1000u - 1000u, s * 1000u, nullptr);
        plan.CheckHits(play.FireLines());
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST(BadPlanInput, NumbersThatAreNotFiniteAreKeptAndPlayedHarmlessly)
{
    Env env;
    const QByteArray units =
        Unit(1, "nan", "inf", "0", Move("1", "30", Point("1", "1") + Point("2", "2"))) +
        Unit(2, "5", "5", "0", Move("1", "nan", Point("5", "5") + Point("6", "6"))) +
        Unit(3, "5", "5", "0", Move("1", "inf", Point("5", "5") + Point("6", "6"))) +
        Unit(4, "5", "5", "0", Move("1", "-40", Point("5", "5") + Point("6", "6"))) +
        Unit(5, "5", "5", "0", Move("1", "30", Point("nan", "5") + Point("-inf", "1e308"))) +
        Unit(6, "5", "5", "0", Move("1", "1e308", Point("5", "5") + Point("6", "6")));
    std::string error;
    auto plan = env.LoadText("<plan>" + env.Layer(units) + "</plan>", &error);
    ASSERT_TRUE(plan) << error;
    CPlanLayer& layer = *plan->m_Layers[0];
    ASSERT_EQ(layer.GetUnitCount(), 6u);
    EXPECT_TRUE(std::isnan(layer.GetUnitAt(0)->m_InitX));
    EXPECT_TRUE(std::isinf(layer.GetUnitAt(0)->m_InitY));
    EXPECT_TRUE(std::isnan(layer.GetUnitAt(1)->m_Actions[0]->m_Speed));

    // What was read is what is written: nothing silently becomes 0.
    const std::string saved = env.dir.file("saved.pln");
    ASSERT_TRUE(SavePlan(*plan, saved));
    auto back = LoadPlan(saved, env.context, &error);
    ASSERT_TRUE(back) << error;
    EXPECT_TRUE(std::isnan(back->m_Layers[0]->GetUnitAt(0)->m_InitX));
    EXPECT_TRUE(std::isinf(back->m_Layers[0]->GetUnitAt(2)->m_Actions[0]->m_Speed));

    CPlayState play;
    play.SetHitDistance(0.5);
    EXPECT_LT(Play(*plan, play, 1, 120), 10.0);
    // A speed that is not a positive finite number never moves the unit off its first point.
    for (size_t i : {1u, 2u, 3u}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(double(layer.GetUnitAt(i)->m_CurX), 5.0);
        EXPECT_EQ(double(layer.GetUnitAt(i)->m_CurY), 5.0);
    }
    // A speed too high to measure passes the segment at once.
    EXPECT_EQ(double(layer.GetUnitAt(5)->m_CurX), 6.0);
    plan->CancelAllActions();
}

TEST(BadPlanInput, TimesAndCountsAtTheEndsOfTheirRanges)
{
    Env env;
    // Appear and action times below zero, at the top of 32 bits and beyond it;
    // a strike repeated 2^31 - 1 times.
    const QByteArray strike =
        "<action class='2'><ActionType>2</ActionType><ActionTime>2</ActionTime><BulletType>03.01</BulletType>"
        "<HitTime>2147483647</HitTime><Route>" + Point("6", "6") + "</Route></action>";
    const QByteArray units = Unit(1, "5", "5", "-5", Move("-3", "30", Point("5", "5") + Point("5.1", "5"))) +
                             Unit(2, "5", "5", "2147483647", Move("2147483647", "30", Point("5", "5"))) +
                             Unit(3, "5", "5", "99999999999", {}) + Unit(4, "6", "6", "0", strike) +
                             Unit(5, "6", "6", "0", QByteArray(strike).replace("2147483647", "-7"));
    std::string error;
    auto plan = env.LoadText("<plan StartTime='-99999999999' EndTime='99999999999999999999'>" + env.Layer(units) +
                                 "</plan>",
                             &error);
    ASSERT_TRUE(plan) << error;
    CPlanLayer& layer = *plan->m_Layers[0];
    ASSERT_EQ(layer.GetUnitCount(), 5u);
    EXPECT_EQ(layer.GetUnitAt(0)->m_AppearTime, -5);
    EXPECT_EQ(layer.GetUnitAt(2)->m_AppearTime, INT32_MAX) << "clamped like atoi";
    EXPECT_EQ(layer.GetUnitAt(3)->m_Actions[0]->m_HitTime, INT32_MAX);

    CPlayState play;
    play.SetHitDistance(0.5);
    EXPECT_LT(Play(*plan, play, 1, 60), 10.0);
    // The endless strike keeps one fire unit, not one per tick.
    size_t fireUnits = 0;
    for (size_t i = 0; i < layer.GetUnitCount(); ++i)
        fireUnits += layer.GetUnitAt(i)->m_UnitNo == kFireUnitNo;
    EXPECT_LE(fireUnits, 2u);
    // The last seconds the clock can count.
    EXPECT_LT(Play(*plan, play, 4294967000u / 1000u - 30u, 4294967u), 10.0);
    plan->CancelAllActions();

    const std::string saved = env.dir.file("saved.pln");
    ASSERT_TRUE(SavePlan(*plan, saved));
    const QByteArray text = TestDir::read(saved);
    EXPECT_TRUE(text.contains("<HitTime>2147483647</HitTime>"));
    EXPECT_TRUE(text.contains("<AppearTime>-5</AppearTime>"));
}

TEST(BadPlanInput, ShortAndEmptyRoutes)
{
    Env env;
    const QByteArray units = Unit(1, "1", "1", "0", Move("1", "30", {})) +                     // no point
                             Unit(2, "1", "1", "0", Move("1", "30", Point("7", "8"))) +        // one point
                             Unit(3, "1", "1", "0", Move("1", "30", Point("3", "3") + Point("3", "3") +
                                                              Point("3", "3"))) +  // zero length
                             Unit(4, "1", "1", "0",
                                  "<action class='2'><ActionType>2</ActionType><ActionTime>1</ActionTime>"
                                  "<BulletType>03.01</BulletType><HitTime>2</HitTime><Route/></action>");
    auto plan = env.LoadText("<plan>" + env.Layer(units) + "</plan>");
    ASSERT_TRUE(plan);
    CPlanLayer& layer = *plan->m_Layers[0];
    EXPECT_TRUE(layer.GetUnitAt(0)->m_Actions[0]->m_Routes.empty()) << "an empty Route adds no route";
    CPlayState play;
    Play(*plan, play, 1, 30);
    EXPECT_EQ(double(layer.GetUnitAt(0)->m_CurX), 1.0) << "no route: stays";
    EXPECT_EQ(double(layer.GetUnitAt(1)->m_CurX), 7.0) << "one point: placed there";
    EXPECT_EQ(double(layer.GetUnitAt(1)->m_CurY), 8.0);
    EXPECT_EQ(double(layer.GetUnitAt(2)->m_CurX), 3.0) << "zero-length segments are passed";
    EXPECT_EQ(layer.GetUnitAt(2)->m_Actions[0]->m_Running, 0);
    EXPECT_EQ(layer.GetUnitCount(), 4u) << "a strike without a target creates no fire unit";
    plan->CancelAllActions();
}

TEST(BadPlanInput, MissingPartsTakeDefaultsOrDropOnlyTheirLayer)
{
    Env env;
    const QByteArray text = "<plan>"
                            "<Layer name='no map'><unitlist/></Layer>" +
                            env.Layer("<unit class='01.01'/><unit/><unit class='02-02.01'><actionlist><action/>"
                                      "</actionlist></unit>") +
                            "<Layer><map maptype='0'/></Layer>"
                            "</plan>";
    std::string error;
    auto plan = env.LoadText(text, &error);
    ASSERT_TRUE(plan) << error;
    ASSERT_EQ(plan->m_Layers.size(), 1u) << "only the layer whose map loads";
    CPlanLayer& layer = *plan->m_Layers[0];
    ASSERT_EQ(layer.GetUnitCount(), 2u) << "the unit without a class is skipped";
    EXPECT_EQ(layer.GetUnitAt(0)->m_UnitNo, 0);
    EXPECT_EQ(layer.GetUnitAt(0)->m_UnitType, kUnitTypeCarrier);
    EXPECT_EQ(layer.GetUnitAt(1)->m_Actions.size(), 1u);
    EXPECT_EQ(plan->m_StartTime, 0);
    const std::vector<std::string> expected(2, "图层加载地图失败|加载错误信息");
    EXPECT_EQ(env.reporter.Seen(), expected);

    // A root of another name is read all the same.
    auto other = env.LoadText("<preplan StartTime='5'>" + env.Layer({}) + "</preplan>", &error);
    ASSERT_TRUE(other) << error;
    EXPECT_EQ(other->m_StartTime, 5);
}

TEST(BadPlanInput, MissingEmptyAndAbsurdMapsDropTheLayerWithTheMessage)
{
    Env env;
    env.dir.write("empty.bmp", "");
    env.dir.write("notabitmap.bmp", "this is text, not a picture");
    // A header announcing 100000 x 100000 pixels in a file of a few bytes.
    QByteArray absurd("BM", 2);
    absurd += QByteArray::fromHex("36000000" "00000000" "36000000" "28000000" "a0860100" "a0860100"
                                  "01001800" "00000000" "00000000" "00000000" "00000000" "00000000" "00000000");
    env.dir.write("absurd.bmp", absurd + QByteArray(64, '\x7f'));
    const QByteArray d = env.dir.path().toUtf8() + "/";
    const QByteArray text = "<plan>" + env.Layer({}, d + "nowhere.bmp") + env.Layer({}, d + "empty.bmp") +
                            env.Layer({}, d + "notabitmap.bmp") + env.Layer({}, d + "absurd.bmp") +
                            env.Layer({}, d) +  // a folder
                            "<Layer><map source='" + d + "nowhere.gst' maptype='1'/></Layer>" +
                            env.Layer({}) + "</plan>";
    auto plan = env.LoadText(text);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->m_Layers.size(), 1u);
    const std::vector<std::string> expected(6, "图层加载地图失败|加载错误信息");
    EXPECT_EQ(env.reporter.Seen(), expected);
}

TEST(BadPlanInput, APlanWhoseMapsAreAllMissingKeepsEveryByteOfItsLayersWhenSaved)
{
    Env env;
    const QByteArray missing = env.dir.path().toUtf8() + "/nowhere.bmp";
    const QByteArray first = env.Layer(Unit(1, "5", "5", "0", {}), missing);
    const QByteArray second = env.Layer(Unit(2, "6", "7", "0", {}), missing + "x");
    const QByteArray text = "<plan StartTime='100' EndTime='200'>" + first + "\r\n" + second + "</plan>";
    const std::string path = env.dir.write("plan.pln", text);
    auto plan = LoadPlan(path, env.context);
    ASSERT_TRUE(plan);
    ASSERT_TRUE(plan->m_Layers.empty());
    ASSERT_EQ(plan->m_KeptElements.size(), 2u);
    // Saved over its file, the layers and their units are all still there.
    std::string error;
    ASSERT_TRUE(SavePlan(*plan, path, &error)) << error;
    EXPECT_EQ(TestDir::read(path), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n"
                                   "<plan StartTime=\"100\" EndTime=\"200\">\r\n" + first + second + "</plan>")
        << "each layer's bytes, from its start tag to its end tag";
    auto back = LoadPlan(path, env.context);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->m_StartTime, 100);
    ASSERT_EQ(back->m_KeptElements.size(), 2u);
    EXPECT_EQ(back->m_KeptElements[1].text, second.toStdString());

    // With nothing at all under the root the file would no longer open: refused.
    const QByteArray before = TestDir::read(path);
    CPlan empty(env.context);
    EXPECT_FALSE(SavePlan(empty, path, &error));
    EXPECT_NE(error.find("没有可保存的图层"), std::string::npos) << error;
    EXPECT_EQ(TestDir::read(path), before);
    EXPECT_FALSE(SavePlan(empty, env.dir.file("new.pln")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(env.dir.file("new.pln"))));
}

TEST(BadPlanInput, PathsWithDotDotAndEitherSeparatorResolve)
{
    Env env;
    WriteBitmap(env.dir, "NormalBitmap/u.bmp", 6, 6);
    QDir().mkpath(env.dir.path() + "/deeper/still");
    QDir().mkpath(env.dir.path() + "/sub");
    const QByteArray source = env.dir.path().toUtf8() + "/deeper/still/../../maps\\map.bmp";
    const QByteArray unit = "<unit class='02-02.01'><UnitNo>1</UnitNo><UnitBitmap>sub\\..\\NormalBitmap\\u.bmp"
                            "</UnitBitmap><UnitBitmapMask>..\\..\\..\\nowhere.bmp</UnitBitmapMask></unit>";
    auto plan = env.LoadText("<plan>" + env.Layer(unit, source) + "</plan>");
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->m_Layers.size(), 1u);
    const CUnitCanLoad& u = *plan->m_Layers[0]->GetUnitAt(0);
    EXPECT_EQ(u.m_ImageWidth, 6);
    EXPECT_TRUE(u.m_Mask.isNull()) << "a path leading nowhere loads nothing";
    EXPECT_EQ(u.m_UnitBitmap, "sub\\..\\NormalBitmap\\u.bmp") << "the stored text is kept";
}

TEST(BadPlanInput, HugeFilesAreRefusedUnread)
{
    Env env;
    // Sparse: 3 GB announced, no disk used.
    const std::string path = env.dir.file("huge.pln");
    {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<plan>");
        ASSERT_TRUE(f.resize(qint64(3) << 30));
    }
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(LoadPlan(path, env.context, &error));
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
    EXPECT_NE(error.find("太大"), std::string::npos) << error;
}

TEST(BadPlanInput, ThingsThatAreNotFilesFailWithoutWaiting)
{
    Env env;
    const std::string fifo = env.dir.file("pipe.pln");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string error;
    // Opening a pipe that nobody writes would block for ever.
    EXPECT_FALSE(LoadPlan(fifo, env.context, &error));
    EXPECT_NE(error.find("不是文件"), std::string::npos) << error;
    EXPECT_FALSE(LoadPlan("/dev/zero", env.context, &error));

    // The same pipe named as a layer's map and as a unit's image.
    const QByteArray unit = "<unit class='02-02.01'><UnitBitmap>" + QByteArray::fromStdString(fifo) +
                            "</UnitBitmap><UnitBitmapMask>/dev/zero</UnitBitmapMask></unit>";
    auto plan = env.LoadText("<plan>" + env.Layer({}, QByteArray::fromStdString(fifo)) + env.Layer(unit) + "</plan>");
    ASSERT_TRUE(plan);
    ASSERT_EQ(plan->m_Layers.size(), 1u);
    EXPECT_TRUE(plan->m_Layers[0]->GetUnitAt(0)->m_Image.isNull());
    EXPECT_TRUE(plan->m_Layers[0]->GetUnitAt(0)->m_Mask.isNull());
    CPlan fresh(env.context);
    EXPECT_FALSE(fresh.AddNewLayer("m", fifo, 0, 1, 1));
}

TEST(BadPlanInput, UnreadableFilesAndFolders)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "running as root: permissions do not deny reading";
    Env env;
    const std::string path = env.dir.write("locked.pln", "<plan>" + env.Layer({}) + "</plan>");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    std::string error;
    EXPECT_FALSE(LoadPlan(path, env.context, &error));
    EXPECT_NE(error.find("无法打开"), std::string::npos) << error;
    const std::string folder = env.dir.file("closed");
    QDir().mkpath(QString::fromStdString(folder));
    const std::string inside = env.dir.write("closed/plan.pln", "<plan>" + env.Layer({}) + "</plan>");
    ASSERT_EQ(::chmod(folder.c_str(), 0), 0);
    EXPECT_FALSE(LoadPlan(inside, env.context, &error));
    ::chmod(folder.c_str(), 0700);
}

TEST(BadPlanInput, MapSetsThatNameNoUsableDataFailQuickly)
{
    Env env;
    const QByteArray d = env.dir.path().toUtf8() + "/";
    const std::string fifo = env.dir.file("pipe.geojson");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(env.dir.file("pipe.gst").c_str(), 0600), 0);
    auto mapSet = [&](const QByteArray& name, const QByteArray& table) {
        env.dir.write(QString::fromUtf8(name), "!GEOSET\nbegin_metadata\n\"\\TABLE\\1\\FILE\" = \"" + table +
                                                   "\"\nend_metadata\n");
    };
    mapSet("pipe-table.gst", "pipe.geojson");
    mapSet("device-table.gst", "/dev/zero");
    mapSet("remote-table.gst", "/vsicurl/http://127.0.0.1:9/x.geojson");
    mapSet("parent-table.gst", "..\\..\\..\\..\\nowhere.geojson");
    {
        QFile huge(QString::fromStdString(env.dir.file("huge.gst")));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
        huge.write("!GEOSET\n");
        ASSERT_TRUE(huge.resize(qint64(2) << 30));
    }
    QByteArray text = "<plan>";
    for (const char* name : {"pipe.gst", "pipe-table.gst", "device-table.gst", "remote-table.gst",
                             "parent-table.gst", "huge.gst"})
        text += "<Layer><map source='" + d + name + "' maptype='1'/></Layer>";
    text += env.Layer({}) + "</plan>";
    const auto start = std::chrono::steady_clock::now();
    auto plan = env.LoadText(text);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->m_Layers.size(), 1u);
    const std::vector<std::string> expected(6, "图层加载地图失败|加载错误信息");
    EXPECT_EQ(env.reporter.Seen(), expected);
}
