// The view stays valid under any sequence of pans, moves and zooms, the
// widest view is the map's full extent, and extents are those of the data.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <random>

using namespace gistest;

namespace {

constexpr int kW = 400, kH = 300;

struct ViewCorners {
    QPointF topLeft, bottomRight;
    double zoom;
};

// Sub-pixel corners: ConvertCoord reads pixels as they are given.
ViewCorners corners()
{
    return {toMap(0, 0), toMap(kW, kH), GisDriverGetZoom()};
}

void expectSameView(const ViewCorners& a, const ViewCorners& b, const std::string& where)
{
    const double tol = 1e-9 * std::max(1.0, std::abs(a.bottomRight.x() - a.topLeft.x()));
    EXPECT_NEAR(a.topLeft.x(), b.topLeft.x(), tol) << where;
    EXPECT_NEAR(a.topLeft.y(), b.topLeft.y(), tol) << where;
    EXPECT_NEAR(a.bottomRight.x(), b.bottomRight.x(), tol) << where;
    EXPECT_NEAR(a.bottomRight.y(), b.bottomRight.y(), tol) << where;
    EXPECT_NEAR(a.zoom, b.zoom, 1e-9 * a.zoom) << where;
}

// Drives the view with random pans, moves, zooms and resizes, checking after
// each step that it is finite, on the map and no wider than the whole map;
// then the full extent must come back exactly.
void randomWalk(const std::string& mapPath, double minX, double minY, double maxX, double maxY, bool wraps,
                unsigned seed)
{
    Driver d(kW, kH);
    ASSERT_EQ(GisDriverLoadMap(mapPath.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    const ViewCorners full = corners();
    // The area the view may show: the extent plus a margin, generously measured.
    const double margin = 0.1 * std::max(maxX - minX, maxY - minY);

    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto between = [&](double lo, double hi) { return lo + (hi - lo) * unit(rng); };
    for (int step = 0; step < 3000; ++step) {
        const int op = int(rng() % 6);
        switch (op) {
        case 0:
            GisDriverPan(float(between(-3000, 3000)), float(between(-3000, 3000)));
            break;
        case 1: // a long drag north or south, past a pole
            GisDriverPan(0.0f, float(between(-1, 1) > 0 ? 450 : -450));
            break;
        case 2:
            GISDriverMoveMap(between(-720, 720), between(-200, 200));
            break;
        case 3:
            GisDriverZoomTo(std::pow(10.0, between(-6, 12)));
            break;
        case 4:
            GisDriverZoomTo(GisDriverGetZoom() * (unit(rng) < 0.5 ? 1.5 : 1 / 1.5));
            break;
        default: {
            const CartolinkRect r{0, 0, int(between(0, 900)), int(between(0, 700))};
            GisDriverSetShowWindowSize(&r);
            break;
        }
        }
        const double zoom = GisDriverGetZoom();
        ASSERT_TRUE(std::isfinite(zoom) && zoom > 0.0) << "step " << step << " op " << op;
        // The centre of the control at its current size.
        const int cw = d.control()->width(), ch = d.control()->height();
        const QPointF c = toMap(cw / 2, ch / 2);
        const QPointF e = toMap(cw / 2 + 1, ch / 2);
        const double degPerPx = e.x() - c.x();
        ASSERT_TRUE(std::isfinite(c.x()) && std::isfinite(c.y()) && degPerPx > 0.0) << "step " << step;
        ASSERT_LE(std::abs(c.y()), 90.0) << "step " << step;
        ASSERT_GE(c.y(), minY - margin - degPerPx * std::max(ch, 1)) << "step " << step;
        ASSERT_LE(c.y(), maxY + margin + degPerPx * std::max(ch, 1)) << "step " << step;
        if (wraps) {
            ASSERT_GE(c.x(), -180.0 - degPerPx * std::max(cw, 1)) << "step " << step;
            ASSERT_LE(c.x(), 180.0 + degPerPx * std::max(cw, 1)) << "step " << step;
        } else {
            ASSERT_GE(c.x(), minX - margin - degPerPx * std::max(cw, 1)) << "step " << step;
            ASSERT_LE(c.x(), maxX + margin + degPerPx * std::max(cw, 1)) << "step " << step;
        }
    }
    const CartolinkRect r{0, 0, kW, kH};
    ASSERT_EQ(GisDriverSetShowWindowSize(&r), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    expectSameView(full, corners(), "after the walk");
}

} // namespace

TEST(CartolinkViewLimits, RandomPansMovesAndZoomsKeepTheWorldViewValid)
{
    // The world sample has land from pole to pole and round the antimeridian.
    randomWalk(sourceFile("samples/gis/world/world.gst"), -180, -90, 180, 84, true, 20261209u);
}

TEST(CartolinkViewLimits, RandomPansMovesAndZoomsKeepASmallMapInView)
{
    TestDir dir;
    randomWalk(writeExerciseSet(dir), 117.0, 36.03, 117.45, 36.30, false, 7u);
}

TEST(CartolinkViewLimits, WidestViewShowsTheWholeMapCentred)
{
    TestDir dir;
    Driver d(kW, kH);
    ASSERT_EQ(GisDriverLoadMap(writeExerciseSet(dir).c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    const QPointF tl = toMap(0, 0), br = toMap(kW, kH);
    // All of the data is in view, with little room to spare on the tighter side.
    EXPECT_LE(tl.x(), 117.0);
    EXPECT_GE(br.x(), 117.45);
    EXPECT_GE(tl.y(), 36.30);
    EXPECT_LE(br.y(), 36.03);
    const double spanX = br.x() - tl.x();
    EXPECT_LT(spanX, 0.45 * 1.25);
    const QPointF c = toMap(kW / 2, kH / 2);
    EXPECT_NEAR(c.x(), 117.225, spanX / kW * 2);
    EXPECT_NEAR(c.y(), 36.165, spanX / kW * 2);
    // Zooming out further keeps that view; a move far away stops at the map.
    ASSERT_EQ(GisDriverZoomTo(GisDriverGetZoom() * 10.0), CARTOLINK_OK);
    EXPECT_NEAR(toMap(kW / 2, kH / 2).x(), c.x(), 1e-9);
    ASSERT_EQ(GisDriverZoomTo(1.0), CARTOLINK_OK);
    ASSERT_EQ(GISDriverMoveMap(-70.0, -30.0), CARTOLINK_OK);
    const QPointF moved = toMap(kW / 2, kH / 2);
    EXPECT_NEAR(moved.x(), 117.0, 0.05);
    EXPECT_NEAR(moved.y(), 36.03, 0.05);
}

TEST(CartolinkViewLimits, PanPastThePoleKeepsTheScaleAndTheWorldInView)
{
    Driver d(800, 500);
    ASSERT_EQ(GisDriverLoadMap(sourceFile("samples/gis/world/world.gst").c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(20000.0), CARTOLINK_OK);
    const double degPerPx = toMap(1, 0).x() - toMap(0, 0).x();
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(GisDriverPan(0.0f, 450.0f), CARTOLINK_OK);
    // A drag moves the picture; it never changes its scale.
    EXPECT_NEAR(toMap(1, 0).x() - toMap(0, 0).x(), degPerPx, degPerPx * 1e-9);
    // The view stopped at the top of the map: its top edge is still near the north pole.
    EXPECT_LE(toMap(400, 0).y(), 90.0 + 0.1 * 180 + degPerPx);
    const QImage img = exportPicture(800, 500);
    EXPECT_TRUE(boxOf(img, QColor("#f3eedf"), 3).width() > 400) << "land across the view";
    // And back south past the other pole, then the whole world again.
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(GisDriverPan(0.0f, -450.0f), CARTOLINK_OK);
    EXPECT_GE(toMap(400, 500).y(), -90.0 - 0.1 * 180 - degPerPx);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    EXPECT_NEAR(toMap(400, 250).x(), 0.0, 1.0);
    EXPECT_GT(GisDriverGetZoom(), 30000.0);
}

TEST(CartolinkViewLimits, ExtentOfDataRoundThePoleAndAcrossTheAntimeridianIsTheDataBounds)
{
    TestDir dir;
    // A polar cap stored as sources store it: along 60 S from 180 W to 180 E and
    // back along the pole, the longitudes jumping from 180 to -180.
    const QString cap = QStringLiteral(
        "{\"type\":\"Feature\",\"properties\":{},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":"
        "[[[-180,-60],[-90,-65],[0,-62],[90,-66],[180,-60],[180,-90],[-180,-90],[-180,-60]]]}}");
    const QString strip = QStringLiteral(
        "{\"type\":\"Feature\",\"properties\":{},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":"
        "[[[170,10],[180,10],[-170,10],[-170,12],[180,12],[170,12],[170,10]]]}}");
    dir.write("w/world.geojson", featureCollection({cap, strip, polygonFeature(0, 40, 10, 50, "")}));
    Driver d(kW, kH);
    ASSERT_EQ(GisDriverLoadMap(dir.file("w/world.geojson").c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    // Centred on the real bounds (-180..180, -90..50), not somewhere in the Pacific.
    const QPointF c = toMap(kW / 2, kH / 2);
    EXPECT_NEAR(c.x(), 0.0, 1.0);
    EXPECT_NEAR(c.y(), -20.0, 5.0);
    const double span = toMap(kW, 0).x() - toMap(0, 0).x();
    EXPECT_LT(span, 360.0 * 1.2) << "the world once, not twice";
    EXPECT_GE(span, 359.9);
}
