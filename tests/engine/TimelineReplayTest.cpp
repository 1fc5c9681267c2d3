// The timeline and the plan check against tarnwick-replay: for random plans
// the bars and marks of the timeline fall on the very events the replay
// tool writes, and `--check` prints the findings and sets its exit status.
#include "EngineTestSupport.h"

#include "engine/PlanChecker.h"
#include "engine/PlanCopy.h"
#include "engine/PlanTimeline.h"
#include "engine/PlanTime.h"
#include "engine/WGAction.h"
#include "map/MapSource.h"

#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kCatalog =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<unitinfo>\r\n"
    "<unitclass><node name=\"运载平台\" id=\"01\"/><node name=\"火力武器\" id=\"03\"/></unitclass>"
    "<unit>"
    "<node name=\"运输车\" id=\"01.01\" class=\"01\" width=\"3\" height=\"7\" exploderadius=\"0\"/>"
    "<node name=\"步兵战车\" id=\"02-01.01\" class=\"02-01\" width=\"3\" height=\"7\" exploderadius=\"0\"/>"
    "<node name=\"主战坦克\" id=\"02-02.01\" class=\"02-02\" width=\"4\" height=\"10\" exploderadius=\"0\"/>"
    "<node name=\"榴弹炮\" id=\"03.01\" class=\"03\" width=\"1\" height=\"1\" exploderadius=\"25\"/>"
    "</unit></unitinfo>";

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

class TimelineReplay : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write("SysConfig.cfg", "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<sysconfig>\r\n"
                                   "<param name=\"CheckBeenHit\">1</param><param name=\"DistWhenBeenHit\">50</param>"
                                   "</sysconfig>");
        dir.write("UnitClassInfo.cfg", kCatalog);
        WriteBitmap(dir, "DefaultMapImage/map.bmp", 100, 100);
        start = MakeLocalTime(2024, 5, 1, 8, 0, 0);
        CSysConfig config;
        catalog.Load(dir.file("UnitClassInfo.cfg"), config);
        context.catalog = &catalog;
        context.moduleFolder = dir.path().toStdString();
        context.reporter = &reporter;
    }

    static std::string Point(double x, double y)
    {
        char text[128];
        std::snprintf(text, sizeof text, "<Coordinate X=\"%.9f\" Y=\"%.9f\" Z=\"0\"/>", x, y);
        return text;
    }

    std::string WritePlan(const std::string& units, long long seconds)
    {
        const std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\r\n<plan StartTime=\"" +
                                 std::to_string(start) + "\" EndTime=\"" + std::to_string(start + seconds) +
                                 "\">\r\n<Layer name=\"一\"><map name=\"m\" source=\"map.bmp\" maptype=\"0\" "
                                 "WidthKm=\"10\" HeightKm=\"10\"/><unitlist>" +
                                 units + "</unitlist></Layer></plan>";
        return dir.write("plan.pln", QByteArray::fromStdString(text));
    }

    ToolRun Replay(const QStringList& args)
    {
        QProcess process;
        process.start(TARNWICK_REPLAY, QStringList{"--home", dir.path()} + args);
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

    // A random plan of named units ("甲01" ...) of every kind with every action type.
    std::string RandomUnits(std::mt19937& rng, int count)
    {
        std::uniform_real_distribution<double> coord(0.5, 9.5);
        std::uniform_int_distribution<int> time(0, 60), pick(0, 9);
        static const char* classes[] = {"01.01", "02-01.01", "02-02.01"};
        std::string units;
        for (int no = 1; no <= count; ++no) {
            char name[16];
            std::snprintf(name, sizeof name, "甲%02d", no);
            std::string actions;
            const int n = 1 + pick(rng) % 5;
            for (int k = 0; k < n; ++k) {
                const int type = 1 + pick(rng) % 5;
                std::string fields, points;
                if (type == kActionMove) {
                    fields = "<Speed>" + std::to_string(200 + pick(rng) * 300) + "</Speed>";
                    for (int p = 0, m = 1 + pick(rng) % 4; p < m; ++p)
                        points += Point(coord(rng), coord(rng));
                } else if (type == kActionStrike) {
                    fields = "<BulletType>03.01</BulletType><HitTime>" + std::to_string(1 + pick(rng) % 3) +
                             "</HitTime>";
                    points = Point(coord(rng), coord(rng));
                } else if (type == kActionTurn) {
                    fields = "<Angle>" + std::to_string(pick(rng) * 36) + "</Angle>";
                } else {
                    fields = "<UnitNo>" + std::to_string(1 + pick(rng) % count) + "</UnitNo>";
                    if (type == kActionUnload)
                        points = Point(coord(rng), coord(rng));
                }
                actions += "<action class=\"" + std::to_string(type) + "\"><ActionType>" + std::to_string(type) +
                           "</ActionType><ActionTime>" + std::to_string(time(rng)) + "</ActionTime>" + fields +
                           "<Route>" + points + "</Route></action>";
            }
            char head[512];
            std::snprintf(head, sizeof head,
                          "<unit name=\"%s\" class=\"%s\"><UnitNo>%d</UnitNo><UnitName>%s</UnitName>"
                          "<RelativeCoordinateX>%.6f</RelativeCoordinateX>"
                          "<RelativeCoordinateY>%.6f</RelativeCoordinateY><AppearTime>%d</AppearTime><Angle>0</Angle>",
                          name, classes[pick(rng) % 3], no, name, coord(rng), coord(rng), pick(rng) * 2);
            units += std::string(head) + "<actionlist>" + actions + "</actionlist></unit>";
        }
        return units;
    }

    TestDir dir;
    CUnitClassCatalog catalog;
    RecordingReporter reporter;
    PlanContext context;
    long long start = 0;
};

// What the event list says of a unit, as "HH:MM:SS kind", sorted.
using UnitEvents = std::map<std::string, std::vector<std::string>>;

const std::pair<const char*, const char*> kKinds[] = {
    {"开始移动", "move+"}, {"移动完毕", "move-"},  {"开始打击 [", "strike+"}, {"打击完毕", "strike-"},
    {"开始转向 [", "turn"}, {" 开始装载[", "load"}, {"开始卸载[", "unload"},
};

UnitEvents FromReplay(const std::string& log)
{
    UnitEvents out;
    size_t from = 0;
    while (from < log.size()) {
        const size_t end = log.find('\n', from);
        const std::string line = log.substr(from, end - from);
        from = end == std::string::npos ? log.size() : end + 1;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        // Names are "甲" and two digits.
        const std::string message = line.substr(tab + 1);
        const std::string name = message.substr(0, std::string("甲01").size());
        const std::string rest = message.substr(name.size());
        for (const auto& [text, kind] : kKinds)
            if (rest.rfind(text, 0) == 0)
                out[name].push_back(line.substr(0, tab) + " " + kind);
    }
    for (auto& [name, list] : out)
        std::sort(list.begin(), list.end());
    return out;
}

UnitEvents FromTimeline(const PlanTimeline& timeline)
{
    UnitEvents out;
    auto text = [&](uint32_t ms) { return FormatTimeOfDay(std::time_t(timeline.startTime + ms / 1000)); };
    for (const TimelineRow& row : timeline.rows) {
        std::vector<std::string>& list = out[row.unitName];
        for (const TimelineBar& bar : row.bars) {
            const bool move = bar.actionType == kActionMove;
            list.push_back(text(bar.startMs) + (move ? " move+" : " strike+"));
            if (bar.ended)
                list.push_back(text(bar.endMs) + (move ? " move-" : " strike-"));
        }
        for (const TimelineMark& mark : row.marks)
            list.push_back(text(mark.ms) +
                           (mark.step == PlayStep::Turn ? " turn" : mark.step == PlayStep::Load ? " load" : " unload"));
        std::sort(list.begin(), list.end());
        if (list.empty())
            out.erase(row.unitName);
    }
    return out;
}

TEST_F(TimelineReplay, BarsAndMarksFallOnTheEventsOfTheReplayForRandomPlans)
{
    std::mt19937 rng(20261209);
    for (int round = 0; round < 12; ++round) {
        const std::string path = WritePlan(RandomUnits(rng, 4 + round), 90);
        const ToolRun run = Replay({"--events", "-", QString::fromStdString(path)});
        ASSERT_EQ(run.exitCode, 0) << run.err;

        std::unique_ptr<CPlan> plan = LoadPlan(path, context);
        ASSERT_TRUE(plan);
        std::unique_ptr<CPlan> copy = CopyPlanForPlay(*plan, context);
        const PlanTimeline timeline = PlayTimeline(*copy);
        ASSERT_TRUE(timeline.played);
        EXPECT_EQ(timeline.endMs, 90000u);
        EXPECT_EQ(FromTimeline(timeline), FromReplay(run.out)) << "round " << round << "\n" << run.out;

        // Bars are well formed: a strike of n shots flashes 2n times; a bar
        // without its end runs on to the plan's end or never ran.
        for (const TimelineRow& row : timeline.rows)
            for (const TimelineBar& bar : row.bars) {
                EXPECT_LE(bar.startMs, bar.endMs);
                if (bar.actionType == kActionStrike && bar.ended)
                    EXPECT_EQ(bar.flashes.size(), size_t(2 * row.actions[bar.action].hitTime));
                if (!bar.ended && bar.runsPastEnd)
                    EXPECT_EQ(bar.endMs, timeline.endMs);
            }
    }
}

TEST_F(TimelineReplay, CheckPrintsOneProblemALineAndExitsFourWithSome)
{
    const std::string units =
        "<unit name=\"坦克\" class=\"02-02.01\"><UnitNo>1</UnitNo><UnitName>坦克</UnitName>"
        "<RelativeCoordinateX>1</RelativeCoordinateX><RelativeCoordinateY>1</RelativeCoordinateY>"
        "<AppearTime>5</AppearTime><Angle>0</Angle><actionlist>"
        "<action class=\"1\"><ActionNo>1</ActionNo><ActionType>1</ActionType><ActionTime>2</ActionTime><Speed>30</Speed>"
        "<Route>" + Point(1, 1) + Point(2, 2) + "</Route></action>"
        "<action class=\"4\"><ActionNo>2</ActionNo><ActionType>4</ActionType><ActionTime>6</ActionTime><UnitNo>1</UnitNo>"
        "<Route></Route></action>"
        "</actionlist></unit>";
    const std::string bad = WritePlan(units, 60);
    const ToolRun run = Replay({"--check", QString::fromStdString(bad)});
    EXPECT_EQ(run.exitCode, 4) << run.err;
    EXPECT_EQ(run.out, "错误\t1\t坦克\t1\t动作时间 0:00:02 早于单位出现时间 0:00:05, 动作不会执行\n"
                       "错误\t1\t坦克\t2\t该单位不能装载其他单位\n"
                       "错误\t1\t坦克\t2\t单位不能装载自己\n");

    const std::string good = WritePlan(
        "<unit name=\"坦克\" class=\"02-02.01\"><UnitNo>1</UnitNo><UnitName>坦克</UnitName>"
        "<RelativeCoordinateX>1</RelativeCoordinateX><RelativeCoordinateY>1</RelativeCoordinateY>"
        "<AppearTime>0</AppearTime><Angle>0</Angle><actionlist></actionlist></unit>",
        60);
    const ToolRun clean = Replay({"--check", QString::fromStdString(good)});
    EXPECT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(clean.out, "");

    // A file that is no plan is still exit status 1, not a check result.
    dir.write("broken.pln", "<plan");
    EXPECT_EQ(Replay({"--check", dir.path() + "/broken.pln"}).exitCode, 1);
}

}  // namespace
