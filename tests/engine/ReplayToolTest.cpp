// tarnwick-replay end to end: small plans and a module folder written here,
// the built program run on them.
#include "EngineTestSupport.h"

#include "engine/PlanTime.h"
#include "map/MapSource.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

const char* const kCatalog =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
    "<unitclass><node name=\"运载平台\" id=\"01\"/><node name=\"火力武器\" id=\"03\"/></unitclass>"
    "<unit>"
    "<node name=\"步兵战车\" id=\"02-01.01\" class=\"02-01\" width=\"3\" height=\"7\" exploderadius=\"0\"/>"
    "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\" exploderadius=\"0\" "
    "visible_min=\"0.5\" visible_max=\"2\"/>"
    "<node name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"1\" height=\"1\" exploderadius=\"25\"/>"
    "</unit></unitinfo>";

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

// A module folder with configuration, catalogue and a 100 x 100 pixel map of 10 x 10 km.
class ReplayTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteConfig("1", "50");
        dir.write("UnitClassInfo.cfg", kCatalog);
        WriteBitmap(dir, "DefaultMapImage/map.bmp", 100, 100);
        start = MakeLocalTime(2024, 5, 1, 8, 0, 0);
    }

    void WriteConfig(const char* checkBeenHit, const char* distance, const char* more = "")
    {
        dir.write("SysConfig.cfg", QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
                                              "<param name=\"CheckBeenHit\">") +
                                       checkBeenHit + "</param><param name=\"DistWhenBeenHit\">" + distance +
                                       "</param>" + more + "</sysconfig>");
    }

    static std::string Unit(int no, const char* name, const char* cls, double x, double y, const std::string& actions,
                            int appear = 0)
    {
        char head[512];
        std::snprintf(head, sizeof head,
                      "<unit name=\"%s\" class=\"%s\"><UnitNo>%d</UnitNo><UnitName>%s</UnitName>"
                      "<RelativeCoordinateX>%.6f</RelativeCoordinateX><RelativeCoordinateY>%.6f</RelativeCoordinateY>"
                      "<AppearTime>%d</AppearTime><Angle>0</Angle>",
                      name, cls, no, name, x, y, appear);
        return std::string(head) + "<actionlist>" + actions + "</actionlist></unit>";
    }

    static std::string Action(int type, int time, const std::string& fields, const std::string& points)
    {
        return "<action class=\"" + std::to_string(type) + "\"><ActionType>" + std::to_string(type) +
               "</ActionType><ActionTime>" + std::to_string(time) + "</ActionTime>" + fields + "<Route>" + points +
               "</Route></action>";
    }

    static std::string Point(double x, double y)
    {
        char text[128];
        std::snprintf(text, sizeof text, "<Coordinate X=\"%.9f\" Y=\"%.9f\" Z=\"0\"/>", x, y);
        return text;
    }

    std::string WritePlan(const std::string& units, long long seconds = 10)
    {
        const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan StartTime=\"" +
                                 std::to_string(start) + "\" EndTime=\"" + std::to_string(start + seconds) +
                                 "\">\r\n<Layer name=\"一\"><map name=\"m\" source=\"map.bmp\" maptype=\"0\" "
                                 "WidthKm=\"10\" HeightKm=\"10\"/><unitlist>" +
                                 units + "</unitlist></Layer></plan>";
        return dir.write("plan.pln", QByteArray::fromStdString(text));
    }

    ToolRun Replay(QStringList args, bool withHome = true)
    {
        if (withHome)
            args = QStringList{"--home", dir.path()} + args;
        QProcess process;
        process.start(TARNWICK_REPLAY, args);
        ToolRun run;
        if (!process.waitForFinished(60000)) {
            ADD_FAILURE() << "tarnwick-replay did not finish";
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = process.readAllStandardOutput().toStdString();
        run.err = process.readAllStandardError().toStdString();
        return run;
    }

    std::string Read(const QString& name) const { return TestDir::read(dir.file(name)).toStdString(); }

    TestDir dir;
    long long start = 0;
};

}  // namespace

TEST_F(ReplayTool, PlaysEveryActionTypeWithEventsHitsAndFinalUnits)
{
    const std::string plan = WritePlan(
        Unit(1, "甲", "02-02.01", 1, 1,
             Action(2, 0, "<BulletType>03.01</BulletType><HitTime>1</HitTime>", Point(5, 1)) +
                 Action(3, 2, "<Angle>30</Angle>", "") +
                 Action(1, 1, "<Speed>1000</Speed>", Point(1, 1) + Point(1, 1.05))) +
        Unit(2, "乙", "02-02.01", 3, 1, "") +
        Unit(3, "运", "02-01.01", 2, 2,
             Action(4, 1, "<UnitNo>4</UnitNo>", "") + Action(5, 3, "<UnitNo>4</UnitNo>", Point(6, 6))) +
        Unit(4, "货", "02-02.01", 2, 3, "") + Unit(5, "迟", "02-02.01", 7, 7, "", 20));

    const ToolRun run = Replay({"--events", dir.path() + "/events.txt", "--hits", "-", "--units",
                            dir.path() + "/units.txt", "--save", dir.path() + "/saved.pln",
                            QString::fromStdString(plan)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Read("events.txt"),
              "08:00:00\t甲开始打击 [使用火器: 榴弹炮]\n"
              "08:00:00\t乙[编号:2]被甲[编号: 1][火器: 榴弹炮]击中.[距离火力线0.00米]\n"
              "08:00:01\t甲开始移动\n"
              "08:00:01\t运 开始装载[单位: 4]\n"
              "08:00:02\t甲开始转向 [30.00000000度]\n"
              "08:00:02\t甲打击完毕\n"
              "08:00:03\t运开始卸载[单位: 4]\n"
              "08:00:07\t甲移动完毕\n");
    EXPECT_EQ(run.out, "08:00:00\t乙[编号:2]\t甲[编号: 1][火器: 榴弹炮]\t0.00\n");
    EXPECT_EQ(Read("units.txt"),
              // 0.05 at 0.0088530 per second takes 5647 ms; passed at 6800, 0.05 x 5800 / 5647 beyond the start.
              "1\t甲\t1.000000\t1.051355\t30.000000\t1\t0\n"
              "2\t乙\t3.000000\t1.000000\t0.000000\t1\t0\n"
              "3\t运\t2.000000\t2.000000\t0.000000\t1\t0\n"
              "4\t货\t6.000000\t6.000000\t0.000000\t1\t0\n"
              "5\t迟\t7.000000\t7.000000\t0.000000\t0\t0\n");
    EXPECT_NE(Read("saved.pln").find("<UnitName>货</UnitName>"), std::string::npos);
    EXPECT_EQ(Read("saved.pln").find("<UnitNo>25600</UnitNo>"), std::string::npos);
}

TEST_F(ReplayTool, HitDistanceFollowsTheViewsTopLeftPixel)
{
    // 0.0005 map units off the fire line. A 100 x 100 view shows the map from
    // y = 0: 50 m are 0.000448 there, a miss. A 1024 x 768 view starts at
    // y = -33.4 km, where 50 m are 0.000614: a hit, reported in metres at the unit's y.
    const std::string plan =
        WritePlan(Unit(1, "甲", "02-02.01", 1, 1,
                       Action(2, 0, "<BulletType>03.01</BulletType><HitTime>1</HitTime>", Point(5, 1))) +
                      Unit(2, "乙", "02-02.01", 3, 1.0005, ""),
                  3);
    const ToolRun small = Replay({"--view", "100x100", "--hits", "-", QString::fromStdString(plan)});
    ASSERT_EQ(small.exitCode, 0) << small.err;
    EXPECT_EQ(small.out, "");
    const ToolRun large = Replay({"--hits", "-", QString::fromStdString(plan)});
    ASSERT_EQ(large.exitCode, 0) << large.err;
    char expected[128];
    std::snprintf(expected, sizeof expected, "08:00:00\t乙[编号:2]\t甲[编号: 1][火器: 榴弹炮]\t%.2f\n",
                  0.0005 * 1000 / DegreesPerKm(1.0005));
    EXPECT_EQ(large.out, expected);
}

// The same plan under both scales of bitmap maps: by default speeds and
// distances go through the latitude factor (a tank at 45 crawls 23 m a minute, a
// fire line 300 m away is far off); with "BitmapMapRealKm" one map unit is
// one kilometre (0.75 km in a minute, a hit at 300 m).
TEST_F(ReplayTool, BitmapMapRealKmScalesSpeedAndHitDistanceOnBitmapMaps)
{
    const std::string plan =
        WritePlan(Unit(1, "坦", "02-02.01", 1, 5, Action(1, 0, "<Speed>45</Speed>", Point(1, 5) + Point(9, 5))) +
                      Unit(2, "炮", "02-02.01", 1, 2,
                           Action(2, 0, "<BulletType>03.01</BulletType><HitTime>1</HitTime>", Point(9, 2))) +
                      Unit(3, "乙", "02-02.01", 5, 2.3, ""),
                  60);
    const auto finalX = [this](int unitNo) {
        const std::string units = Read("units.txt");
        const std::string head = std::to_string(unitNo) + "\t";
        const size_t line = units.find(head);
        EXPECT_NE(line, std::string::npos);
        const size_t x = units.find('\t', units.find('\t', line) + 1) + 1;
        return std::stod(units.substr(x));
    };
    WriteConfig("1", "500");
    const ToolRun specified = Replay({"--hits", "-", "--units", dir.path() + "/units.txt", QString::fromStdString(plan)});
    ASSERT_EQ(specified.exitCode, 0) << specified.err;
    const double crawled = finalX(1) - 1;
    // A minute, give or take a second.
    EXPECT_NEAR(crawled, DegreesPerKm(5) * 45 / 1000 * 60, DegreesPerKm(5) * 45 / 1000);
    EXPECT_EQ(specified.out, "");

    WriteConfig("1", "500", "<param name=\"BitmapMapRealKm\">1</param>");
    const ToolRun realKm = Replay({"--hits", "-", "--units", dir.path() + "/units.txt", QString::fromStdString(plan)});
    ASSERT_EQ(realKm.exitCode, 0) << realKm.err;
    EXPECT_NEAR(finalX(1) - 1, 0.75, 45.0 / 3600);
    EXPECT_EQ(realKm.out, "08:00:00\t乙[编号:3]\t炮[编号: 2][火器: 榴弹炮]\t300.00\n");
}

TEST_F(ReplayTool, UntilLimitsTheTicksAndCheckBeenHitZeroHitsNobody)
{
    WriteConfig("0", "50");
    const std::string plan =
        WritePlan(Unit(1, "甲", "02-02.01", 1, 1,
                       Action(2, 0, "<BulletType>03.01</BulletType><HitTime>1</HitTime>", Point(5, 1)) +
                           Action(3, 1, "<Angle>5</Angle>", "")) +
                      Unit(2, "乙", "02-02.01", 3, 1, ""));
    const ToolRun first = Replay({"--until", "0", "--events", "-", "--hits", "-", QString::fromStdString(plan)});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, "08:00:00\t甲开始打击 [使用火器: 榴弹炮]\n");
    const ToolRun whole = Replay({"--events", "-", "--hits", "-", QString::fromStdString(plan)});
    EXPECT_EQ(whole.out, "08:00:00\t甲开始打击 [使用火器: 榴弹炮]\n"
                         "08:00:01\t甲开始转向 [5.00000000度]\n"
                         "08:00:02\t甲打击完毕\n");
}

TEST_F(ReplayTool, ExitStatusForBadArgumentsConfigurationAndPlans)
{
    const QString plan = QString::fromStdString(WritePlan(Unit(1, "甲", "02-02.01", 1, 1, "")));
    for (const QStringList& args : {QStringList{}, QStringList{"--frobnicate", "1", plan}, QStringList{plan, "--until"},
                                    QStringList{"--until", "-1", plan}, QStringList{"--view", "0x5", plan},
                                    QStringList{"--view", "wide", plan}, QStringList{plan, plan}}) {
        const ToolRun run = Replay(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(run.err.find("usage"), std::string::npos);
    }

    TestDir empty;
    const ToolRun noConfig = Replay({"--home", empty.path(), plan}, false);
    EXPECT_EQ(noConfig.exitCode, 3);

    EXPECT_EQ(Replay({dir.path() + "/missing.pln"}).exitCode, 1);
    const std::string broken = dir.write("broken.pln", "<plan StartTime=\"1\"><Layer>");
    const ToolRun bad = Replay({QString::fromStdString(broken)});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_FALSE(bad.err.empty());
    EXPECT_EQ(bad.out, "");
}

TEST_F(ReplayTool, RenderDrawsTheRunModePictureOfTheViewSize)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(QColor(255, 0, 0));
    QImage mask(10, 10, QImage::Format_RGB32);
    mask.fill(Qt::black);
    ASSERT_TRUE(image.save(QString::fromStdString(dir.file("u.bmp")), "BMP"));
    ASSERT_TRUE(mask.save(QString::fromStdString(dir.file("u_mask.bmp")), "BMP"));
    const auto withImage = [](std::string unit) {
        return unit.replace(unit.find("<actionlist>"), 0,
                            "<UnitBitmap>u.bmp</UnitBitmap><UnitBitmapMask>u_mask.bmp</UnitBitmapMask>");
    };
    // 100 x 100 pixels for 10 x 10 km in a 100 x 100 view: map (x, y) km is view (10 x, 10 y).
    const std::string plan =
        WritePlan(withImage(Unit(1, "甲", "02-02.01", 5, 5, "")) +
                  withImage(Unit(2, "乙", "02-02.01", 2, 8, Action(1, 0, "<Speed>3600</Speed>", Point(2, 8) + Point(8, 8)))) +
                  withImage(Unit(3, "迟", "02-02.01", 2, 2, "", 20)));
    const QString png = dir.path() + "/shot.png";
    const ToolRun run = Replay({"--view", "100x100", "--until", "10", "--units", "-", "--render", png,
                                QString::fromStdString(plan)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const QImage shot(png);
    ASSERT_EQ(shot.size(), QSize(100, 100));
    const QRgb red = qRgb(255, 0, 0);
    // The 10 x 10 image from (50 - 5, 50 - 5); the name is written from (50, 50) on.
    EXPECT_EQ(shot.pixel(45, 45), red);
    EXPECT_EQ(shot.pixel(54, 45), red);
    EXPECT_EQ(shot.pixel(45, 54), red);
    EXPECT_NE(shot.pixel(44, 45), red);
    EXPECT_NE(shot.pixel(55, 45), red);
    EXPECT_NE(shot.pixel(45, 55), red);
    EXPECT_EQ(shot.pixel(20, 20), qRgb(10, 200, 30)) << "not appeared: only the map";
    // The moving unit is drawn where playing left it.
    double x = 0, y = 0;
    const size_t line = run.out.find("2\t乙\t");
    ASSERT_NE(line, std::string::npos);
    ASSERT_EQ(std::sscanf(run.out.c_str() + line + std::string("2\t乙\t").size(), "%lf\t%lf", &x, &y), 2);
    const int px = int(x * 10), py = int(y * 10);
    EXPECT_GT(px - 5, 15) << "moved away from its start";
    EXPECT_EQ(shot.pixel(px - 5, py - 5), red);
    EXPECT_NE(shot.pixel(px - 6, py - 5), red);

    const ToolRun unwritable = Replay({"--render", dir.path() + "/missing/shot.png", QString::fromStdString(plan)});
    EXPECT_EQ(unwritable.exitCode, 2);
}

// The time bar's path from the command line: whatever was played and seeked
// before, the events, hits and units are those of one uninterrupted play.
TEST_F(ReplayTool, SeekAndResumeGiveWhatAnUninterruptedPlayGives)
{
    const std::string plan = WritePlan(
        Unit(1, "甲", "02-02.01", 1, 1,
             Action(1, 1, "<Speed>400</Speed>", Point(1, 1) + Point(1.2, 1.1) + Point(1.4, 1)) +
                 Action(2, 2, "<BulletType>03.01</BulletType><HitTime>3</HitTime>", Point(5, 1)) +
                 Action(3, 4, "<Angle>30</Angle>", "")) +
            Unit(2, "乙", "02-02.01", 3, 1, Action(1, 3, "<Speed>100</Speed>", Point(3, 1) + Point(3, 3))) +
            Unit(3, "运", "02-01.01", 2, 2,
                 Action(4, 1, "<UnitNo>4</UnitNo>", "") +
                     Action(1, 1, "<Speed>300</Speed>", Point(2, 2) + Point(2.5, 2.5)) +
                     Action(5, 6, "<UnitNo>4</UnitNo>", Point(6, 6))) +
            Unit(4, "货", "02-02.01", 2, 3, "") + Unit(5, "丙", "02-02.01", 5, 1, ""),
        20);
    auto run = [&](const QStringList& steps, const QString& tag) {
        const ToolRun r = Replay(steps + QStringList{"--events", dir.path() + "/e" + tag, "--hits",
                                                     dir.path() + "/h" + tag, "--units", dir.path() + "/u" + tag,
                                                     QString::fromStdString(plan)});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return Read("e" + tag) + "|" + Read("h" + tag) + "|" + Read("u" + tag);
    };
    const std::string straight = run({"--until", "12"}, "a");
    EXPECT_NE(straight.find("甲打击完毕"), std::string::npos);
    EXPECT_NE(straight.find("丙[编号:5]被甲"), std::string::npos) << "the target is hit";
    // Back while the move, the strike and the load are under way, forward, back again.
    EXPECT_EQ(run({"--until", "9", "--seek", "3", "--resume", "12"}, "b"), straight);
    EXPECT_EQ(run({"--until", "5", "--seek", "11", "--seek", "2", "--resume", "7", "--seek", "4", "--resume", "12"},
                  "c"),
              straight);
    EXPECT_EQ(run({"--until", "0", "--seek", "12"}, "d"), straight);
    EXPECT_NE(run({"--until", "9", "--seek", "3", "--resume", "11"}, "e"), straight);
}

// Playing, seeking and turning never change what a save writes, on the sample plan too.
TEST_F(ReplayTool, ASaveAfterPlayAndSeekIsTheSaveOfThePlanAsOpened)
{
    const std::string plan = WritePlan(
        Unit(1, "甲", "02-02.01", 1, 1,
             Action(1, 1, "<Speed>400</Speed>", Point(1, 1) + Point(1.2, 1.1)) +
                 Action(2, 1, "<BulletType>03.01</BulletType><HitTime>9</HitTime>", Point(5, 1)) +
                 Action(3, 2, "<Angle>30</Angle>", "")) +
            Unit(3, "运", "02-01.01", 2, 2, Action(4, 1, "<UnitNo>4</UnitNo>", "")) + Unit(4, "货", "02-02.01", 2, 3, ""),
        20);
    const QString sample = QString::fromUtf8(TARNWICK_SOURCE_DIR "/samples/演习示例.pln");
    for (const auto& [file, home] : {std::pair{QString::fromStdString(plan), dir.path()},
                                     std::pair{sample, QString::fromUtf8(TARNWICK_BIN_DIR)}}) {
        const ToolRun opened = Replay({"--home", home, "--until", "0", "--save", dir.path() + "/opened.pln", file}, false);
        ASSERT_EQ(opened.exitCode, 0) << opened.err;
        // Mid-strike (its fire unit alive), turned, loaded, moved.
        const ToolRun played = Replay({"--home", home, "--until", "100", "--seek", "3", "--resume", "5", "--save",
                                       dir.path() + "/played.pln", file},
                                      false);
        ASSERT_EQ(played.exitCode, 0) << played.err;
        EXPECT_EQ(Read("played.pln"), Read("opened.pln")) << file.toStdString();
        EXPECT_EQ(Read("opened.pln").find("<unit/>"), std::string::npos);
    }
}

TEST_F(ReplayTool, UnitLinesAreNeverCutWhateverTheNumbers)
{
    const std::string huge(300, '9');
    const std::string plan = WritePlan("<unit name=\"远\" class=\"02-02.01\"><UnitNo>1</UnitNo><UnitName>远</UnitName>"
                                       "<RelativeCoordinateX>" +
                                       huge + "</RelativeCoordinateX><RelativeCoordinateY>-" + huge +
                                       "</RelativeCoordinateY><AppearTime>0</AppearTime><Angle>1e200</Angle></unit>");
    const ToolRun run = Replay({"--until", "0", "--units", "-", QString::fromStdString(plan)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_EQ(run.out.substr(run.out.size() - 5), "\t1\t0\n") << "the appeared and loaded columns are there";
    EXPECT_GT(run.out.size(), 2 * 300u + 200);
}

TEST_F(ReplayTool, HelpAndVersionAnswerOnStandardOutputAndTheManualPageListsEveryOption)
{
    const ToolRun version = Replay({"--version"}, false);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "tarnwick-replay " TARNWICK_VERSION "\n");

    const ToolRun help = Replay({"--help"}, false);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.err.find("usage"), std::string::npos) << "the usage goes to standard output";
    ASSERT_EQ(help.out.rfind("usage: tarnwick-replay", 0), 0u) << help.out;
    // Neither needs a plan and either wins over the rest of the line.
    EXPECT_EQ(Replay({"--until", "5", "-h"}, false).exitCode, 0);

    // Every option of the usage text is described in the manual page.
    const QString man = QString::fromUtf8(TestDir::read(TARNWICK_SOURCE_DIR "/packaging/tarnwick-replay.1"));
    QRegularExpression option(R"(^\s+(--[a-z]+))", QRegularExpression::MultilineOption);
    int options = 0;
    for (auto it = option.globalMatch(QString::fromStdString(help.out)); it.hasNext(); ++options) {
        QString name = it.next().captured(1);
        EXPECT_TRUE(man.contains(".B \\-\\-" + name.mid(2)) || man.contains(".BI \\-\\-" + name.mid(2)) ||
                    man.contains(".BR \\-\\-" + name.mid(2)))
            << name.toStdString() << " is not in tarnwick-replay.1";
    }
    EXPECT_EQ(options, 21);
}
