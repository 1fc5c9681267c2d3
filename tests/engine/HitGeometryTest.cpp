#include "engine/HitGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace hitgeometry;

namespace {

FireLine Line(double x1, double y1, double x2, double y2)
{
    FireLine l;
    l.startX = x1;
    l.startY = y1;
    l.endX = x2;
    l.endY = y2;
    return l;
}

bool Hits(double px, double py, const FireLine& l, double h)
{
    return !OutsideBothSpans(px, py, l) && !(DistanceToLine(px, py, l) > h);
}

}  // namespace

TEST(HitGeometry, DistanceIsToTheInfiniteLine)
{
    const FireLine l = Line(0, 0, 10, 0);
    EXPECT_NEAR(DistanceToLine(5, 3, l), 3.0, 1e-12);
    EXPECT_NEAR(DistanceToLine(25, 2, l), 2.0, 1e-12) << "beyond the target, measured to the prolongation";
    EXPECT_EQ(DistanceToLine(0, 0, l), 0.0) << "on the start point";
    EXPECT_EQ(DistanceToLine(7, 7, Line(1, 1, 1, 1)), 0.0) << "a line of no length";
    // Points on an oblique line: rounding must never give NaN.
    const FireLine o = Line(0.1, 0.2, 0.7, 1.9);
    for (int i = 0; i <= 100; ++i) {
        const double t = i / 37.0;
        const double d = DistanceToLine(0.1 + 0.6 * t, 0.2 + 1.7 * t, o);
        EXPECT_FALSE(std::isnan(d));
        EXPECT_LT(d, 1e-6);  // the side-length formula loses about half the digits near the line
    }
}

TEST(HitGeometry, SpansDecideBeforeDistance)
{
    const FireLine l = Line(0, 0, 1, 1);
    EXPECT_TRUE(OutsideBothSpans(1.5, -0.1, l));
    EXPECT_FALSE(OutsideBothSpans(0.5, 7, l)) << "within the x span is enough";
    EXPECT_FALSE(OutsideBothSpans(7, 0.5, l));
    // Off to the side of a short line, outside both spans: never hit, however close.
    EXPECT_FALSE(Hits(1.0000001, 1.0000002, l, 1.0));
    // On the prolongation and within the y span of a steep line: hit.
    EXPECT_TRUE(Hits(2.0, 2.0, Line(0, 0, 0.5, 3), 10.0));
}

TEST(HitGeometry, CandidatesIncludeEveryUnitALineHits)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> pos(116.5, 117.5), small(-0.01, 0.01);
    for (int round = 0; round < 40; ++round) {
        std::vector<double> xs, ys;
        FireLineList lines;
        for (int i = 0; i < 30; ++i) {
            double x1 = pos(rng), y1 = pos(rng) - 81;
            double x2 = x1 + small(rng) * (i % 3 ? 10 : 0), y2 = y1 + small(rng) * (i % 4 ? 10 : 0);
            if (i == 7)
                x2 = x1;  // vertical
            if (i == 8)
                y2 = y1;  // horizontal
            lines.push_back(Line(x1, y1, x2, y2));
        }
        for (int i = 0; i < 3000; ++i) {
            const FireLine& l = lines[size_t(i) % lines.size()];
            double t = std::uniform_real_distribution<double>(-3, 4)(rng);
            double x = l.startX + (l.endX - l.startX) * t + small(rng) * 0.01;
            double y = l.startY + (l.endY - l.startY) * t + small(rng) * 0.01;
            if (i % 5 == 0) {
                x = l.startX;  // exactly on a span edge
                y = pos(rng) - 81;
            }
            if (i % 11 == 0) {
                x = pos(rng);
                y = pos(rng) - 81;
            }
            xs.push_back(x);
            ys.push_back(y);
        }
        xs.push_back(std::nan(""));
        ys.push_back(36.0);
        const double h = 0.0005 * (round % 5 + 1);

        CandidateFinder finder;
        finder.SetUnits(xs, ys);
        std::vector<uint32_t> cand;
        finder.FindCandidates(lines, h, cand);
        std::vector<bool> isCand(xs.size());
        for (uint32_t c : cand)
            isCand[c] = true;
        size_t hit = 0;
        for (size_t i = 0; i < xs.size(); ++i) {
            bool any = false;
            for (const FireLine& l : lines)
                any = any || Hits(xs[i], ys[i], l, h);
            if (any) {
                ++hit;
                ASSERT_TRUE(isCand[i]) << "round " << round << " unit " << i;
            }
        }
        EXPECT_TRUE(isCand.back()) << "units at non-finite positions are always checked";
        EXPECT_GT(hit, 0u);
        EXPECT_LT(cand.size(), xs.size()) << "the finder must actually narrow the set";
        EXPECT_TRUE(std::is_sorted(cand.begin(), cand.end()));
    }
}

TEST(HitGeometry, ZeroLengthAndNonFiniteLinesAreHandled)
{
    std::vector<double> xs{1, 2, 3, 1}, ys{5, 2, 9, 9};
    CandidateFinder finder;
    finder.SetUnits(xs, ys);
    std::vector<uint32_t> cand;
    // A point-like line hits everything on its row or column.
    finder.FindCandidates({Line(1, 2, 1, 2)}, 0.0001, cand);
    EXPECT_EQ(cand, (std::vector<uint32_t>{0, 1, 3}));
    cand.clear();
    finder.FindCandidates({Line(std::nan(""), 0, 1, 1)}, 0.1, cand);
    EXPECT_EQ(cand.size(), 4u);
    cand.clear();
    finder.FindCandidates({}, 0.1, cand);
    EXPECT_TRUE(cand.empty());
}
