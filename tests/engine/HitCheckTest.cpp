// The hit pass: geometry through the layer, the one-report-per-approach flag,
// the records and texts, and the CheckBeenHit switch.
#include "PlaybackSupport.h"

#include "engine/HitGeometry.h"

#include <cmath>
#include <cstdio>
#include <random>

namespace {

FireLine Line(double x0, double y0, double x1, double y1, int striker = 1, const char* text = "甲[编号: 1][火器: 榴弹炮]")
{
    FireLine l;
    l.startX = x0;
    l.startY = y0;
    l.endX = x1;
    l.endY = y1;
    l.strikerNo = striker;
    l.description = text;
    return l;
}

}  // namespace

using HitCheck = PlaybackFixture;

TEST_F(HitCheck, DistanceIsToTheInfiniteLineWithinEitherSpan)
{
    play.SetHitDistance(0.003);
    CUnitCanLoad* beyond = AddUnit(2, "远", 3, 0.0005);       // past the target, inside the y span
    CUnitCanLoad* corner = AddUnit(3, "角", 1.00001, 0.00102);  // just past both ends: never hit
    FireLineList lines{Line(0, 0, 1, 0.001)};
    plan->CheckHits(lines);
    ASSERT_EQ(sink.hits.size(), 1u);
    EXPECT_EQ(sink.hits[0].victim, "远[编号:2]");
    EXPECT_EQ(beyond->m_HitFlag, 1);
    EXPECT_EQ(beyond->m_LastAttacker, "甲[编号: 1][火器: 榴弹炮]");
    EXPECT_EQ(corner->m_HitFlag, 0);
}

TEST_F(HitCheck, StrikerIsImmuneToItsOwnLinesOnly)
{
    play.SetHitDistance(0.001);
    CUnitCanLoad* striker = AddUnit(1, "甲", 0.5, 0);
    FireLineList own{Line(0, 0, 1, 0, 1)};
    plan->CheckHits(own);
    EXPECT_TRUE(sink.hits.empty());
    EXPECT_EQ(striker->m_HitFlag, 0);
    FireLineList other{Line(0, 0, 1, 0, 7, "丁[编号: 7][火器: 榴弹炮]")};
    plan->CheckHits(other);
    ASSERT_EQ(sink.hits.size(), 1u);
    EXPECT_EQ(sink.hits[0].attacker, "丁[编号: 7][火器: 榴弹炮]");
}

TEST_F(HitCheck, OneReportPerApproachAndAgainAfterAMiss)
{
    play.SetHitDistance(0.001);
    CUnitCanLoad* unit = AddUnit(2, "乙", 0.5, 0);
    FireLineList hit{Line(0, 0, 1, 0)};
    FireLineList miss{Line(0, 1, 1, 1)};
    FireLineList none;
    plan->CheckHits(hit);
    plan->CheckHits(hit);
    plan->CheckHits(none);  // no lines: the flag stays
    plan->CheckHits(hit);
    EXPECT_EQ(sink.hits.size(), 1u);
    plan->CheckHits(miss);
    EXPECT_EQ(unit->m_HitFlag, 0);
    plan->CheckHits(hit);
    EXPECT_EQ(sink.hits.size(), 2u);
    // Within one tick a missing line between two hitting ones makes a second report.
    FireLineList mixed{Line(0, 0, 1, 0), Line(0, 1, 1, 1), Line(0, 0, 1, 0)};
    plan->CheckHits(mixed);
    EXPECT_EQ(sink.hits.size(), 3u);
    EXPECT_EQ(play.HitList().Count(), 3u);
}

TEST_F(HitCheck, FarUnitsLoseTheirFlagOnlyToOtherStrikersLines)
{
    play.SetHitDistance(0.001);
    CUnitCanLoad* far1 = AddUnit(1, "甲", 50, 50);
    CUnitCanLoad* far2 = AddUnit(2, "乙", 60, 60);
    far1->m_HitFlag = 1;
    far2->m_HitFlag = 1;
    FireLineList own{Line(0, 0, 1, 0, 1)};
    plan->CheckHits(own);
    EXPECT_EQ(far1->m_HitFlag, 1);
    EXPECT_EQ(far2->m_HitFlag, 0);
}

TEST_F(HitCheck, RecordAndEventTextsWithTwoDecimals)
{
    // A unit 12.3451 m from a line along y = 0 (metres use DegreesPerKm at the unit's y).
    const double c = DegreesPerKm(0), metres = 12.3451;
    const double y = (metres * c / 1000) / (1 + metres * c / 90000);
    play.SetHitDistance(DegreesPerKm(0) * 20 / 1000);
    AddUnit(2, "乙", 0.5, y);
    clock.SetTime(7000);
    clock.Tick();  // stamps the current time
    FireLineList lines{Line(0, 0, 1, 0)};
    plan->CheckHits(lines);
    ASSERT_EQ(sink.hits.size(), 1u);
    EXPECT_NEAR(sink.hits[0].distance, metres, 1e-6);
    EXPECT_EQ(sink.hits[0].timeText, "08:00:07");
    ASSERT_EQ(sink.events.size(), 1u);
    EXPECT_EQ(sink.events[0].message, "乙[编号:2]被甲[编号: 1][火器: 榴弹炮]击中.[距离火力线12.35米]");
    EXPECT_EQ(sink.events[0].timeText, "08:00:07");
    auto stored = play.HitList().At(0);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->victim, "乙[编号:2]");
}

TEST_F(HitCheck, StrikeHitsAUnitOnceWhileItsFlashGoesOn)
{
    play.SetHitDistance(0.001);
    CUnitCanLoad* striker = AddUnit(1, "甲", 0, 0);
    CUnitCanLoad* victim = AddUnit(2, "乙", 1, 0.0001);
    WGAction* strike = AddAction(striker, kActionStrike, 0, {{2, 0, 0}});
    strike->m_BulletType = "03.01";
    strike->m_HitTime = 2;
    TickThrough(10000);
    ASSERT_EQ(sink.hits.size(), 1u);
    EXPECT_EQ(sink.hits[0].victim, "乙[编号:2]");
    EXPECT_EQ(sink.hits[0].attacker, "甲[编号: 1][火器: 榴弹炮]");
    EXPECT_EQ(victim->m_HitFlag, 1);
    EXPECT_EQ(striker->m_HitFlag, 0);
    EXPECT_EQ(sink.Messages().front(), "甲开始打击 [使用火器: 榴弹炮]");
    EXPECT_EQ(sink.Messages().back(), "甲打击完毕");
}

TEST_F(HitCheck, CheckBeenHitZeroKeepsFireLinesButHitsNobody)
{
    play.SetHitDistance(0.001);
    clock.SetCheckBeenHit(0);
    CUnitCanLoad* striker = AddUnit(1, "甲", 0, 0);
    AddUnit(2, "乙", 1, 0);
    WGAction* strike = AddAction(striker, kActionStrike, 0, {{2, 0, 0}});
    strike->m_BulletType = "03.01";
    int linesSeen = 0;
    while (clock.GetTime() <= 3000) {
        clock.Tick();
        linesSeen += int(play.FireLines().size());
    }
    EXPECT_EQ(linesSeen, 4);
    EXPECT_TRUE(sink.hits.empty());
}

TEST_F(HitCheck, ManyUnitsGiveTheSameReportsAsTheFullPass)
{
    // The candidate search must not change which units are reported, nor their order.
    play.SetHitDistance(0.02);
    std::vector<CUnitCanLoad*> units;
    for (int i = 0; i < 400; ++i)
        units.push_back(AddUnit(i + 1, "u" + std::to_string(i), (i % 20) * 0.05, (i / 20) * 0.05));
    FireLineList lines{Line(0, 0, 1, 1, 1), Line(0.2, 0.9, 0.9, 0.1, 5, "x"), Line(0.5, 0.5, 0.5, 0.5, 9, "pt")};
    std::vector<std::string> expected;
    for (CUnitCanLoad* u : units) {
        int flag = 0;
        for (const FireLine& l : lines) {
            if (l.strikerNo == u->m_UnitNo)
                continue;
            if (hitgeometry::OutsideBothSpans(u->m_CurX, u->m_CurY, l) ||
                hitgeometry::DistanceToLine(u->m_CurX, u->m_CurY, l) > 0.02) {
                flag = 0;
                continue;
            }
            if (!flag)
                expected.push_back(u->m_UnitName + "|" + l.description);
            flag = 1;
        }
    }
    plan->CheckHits(lines);
    std::vector<std::string> got;
    for (const auto& h : sink.hits)
        got.push_back(h.victim.substr(0, h.victim.find('[')) + "|" + h.attacker);
    EXPECT_EQ(got, expected);
    EXPECT_GT(got.size(), 20u);
}

TEST_F(HitCheck, RandomRoundsMatchTheFullPassReportsAndFlags)
{
    // Several ticks with lines of many shapes, strikers among the units, and
    // flags carried from tick to tick: the fast pass must agree with the plain
    // loop over every unit and every line.
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> pos(0.0, 1.0);
    play.SetHitDistance(0.01);
    std::vector<CUnitCanLoad*> units;
    for (int i = 0; i < 600; ++i)
        units.push_back(AddUnit(i + 1, "u" + std::to_string(i), (i % 30) * 0.033, (i / 30) * 0.05));
    units.push_back(AddUnit(700, "nan", std::nan(""), 0.5));
    std::vector<int> flags(units.size(), 0);
    for (int round = 0; round < 12; ++round) {
        FireLineList lines;
        for (int k = 0; k < 25; ++k) {
            const double x = pos(rng), y = pos(rng);
            const int shape = k % 5;
            const double ex = shape == 1 ? x : shape == 4 ? x : pos(rng);
            const double ey = shape == 2 ? y : shape == 4 ? y : pos(rng);
            const int striker = k % 3 == 0 ? int(rng() % 600) + 1 : 1000 + k;
            lines.push_back(Line(x, y, ex, ey, striker, ("s" + std::to_string(k)).c_str()));
        }
        if (round % 3 == 0)  // the same line twice in a row keeps the flag
            lines.push_back(lines.back());
        std::vector<std::string> expected;
        for (size_t i = 0; i < units.size(); ++i) {
            const CUnitCanLoad* u = units[i];
            for (const FireLine& l : lines) {
                if (l.strikerNo == u->m_UnitNo)
                    continue;
                if (hitgeometry::OutsideBothSpans(u->m_CurX, u->m_CurY, l) ||
                    hitgeometry::DistanceToLine(u->m_CurX, u->m_CurY, l) > 0.01) {
                    flags[i] = 0;
                    continue;
                }
                if (!flags[i])
                    expected.push_back(u->m_UnitName + "|" + l.description);
                flags[i] = 1;
            }
        }
        sink.hits.clear();
        plan->CheckHits(lines);
        std::vector<std::string> got;
        for (const auto& h : sink.hits)
            got.push_back(h.victim.substr(0, h.victim.find('[')) + "|" + h.attacker);
        ASSERT_EQ(got, expected) << "round " << round;
        for (size_t i = 0; i < units.size(); ++i)
            ASSERT_EQ(units[i]->m_HitFlag, flags[i]) << "round " << round << " unit " << i;
    }
}
