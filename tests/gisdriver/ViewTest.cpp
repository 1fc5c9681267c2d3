// The view: coordinate conversion, zoom, pan, sizes, and what map sets draw.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cfloat>
#include <cmath>

using namespace gistest;

namespace {

constexpr double kKmPerDegree = 6371.0088 * M_PI / 180.0;

class CartolinkView : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(driver.initResult(), CARTOLINK_OK);
        ASSERT_EQ(GisDriverLoadMap(writePlainSet(dir).c_str()), CARTOLINK_OK);
    }
    TestDir dir;
    Driver driver{400, 300};
};

} // namespace

TEST_F(CartolinkView, ConvertCoordRoundTripsAndWritesPixelsBack)
{
    int px = 10, py = 20;
    double x = 0, y = 0;
    ASSERT_EQ(ConvertCoord(&px, &py, &x, &y, CARTOLINK_PIXEL_TO_MAP), CARTOLINK_OK);
    EXPECT_EQ(px, 10);
    EXPECT_EQ(py, 20);
    int qx = -1, qy = -1;
    ASSERT_EQ(ConvertCoord(&qx, &qy, &x, &y, CARTOLINK_MAP_TO_PIXEL), CARTOLINK_OK);
    EXPECT_EQ(qx, 10);
    EXPECT_EQ(qy, 20);
    // Pixels grow east and south.
    const QPointF right = toMap(11, 20), below = toMap(10, 21);
    EXPECT_GT(right.x(), x);
    EXPECT_LT(below.y(), y);
}

TEST_F(CartolinkView, ConvertCoordTruncatesTowardZero)
{
    const QPointF origin = toMap(0, 0);
    const double deg = toMap(1, 0).x() - origin.x();
    double x = origin.x() + 10.7 * deg, y = origin.y() - 20.9 * deg;
    int px = 0, py = 0;
    ASSERT_EQ(ConvertCoord(&px, &py, &x, &y, CARTOLINK_MAP_TO_PIXEL), CARTOLINK_OK);
    EXPECT_EQ(px, 10);
    EXPECT_EQ(py, 20);
    x = origin.x() - 3.7 * deg;
    y = origin.y() + 5.9 * deg;
    ASSERT_EQ(ConvertCoord(&px, &py, &x, &y, CARTOLINK_MAP_TO_PIXEL), CARTOLINK_OK);
    EXPECT_EQ(px, -3);
    EXPECT_EQ(py, -5);
}

TEST_F(CartolinkView, ConvertCoordRejectsBadArgumentsAndSaturatesFarPoints)
{
    int px = 1, py = 2;
    double x = 0, y = 0;
    EXPECT_EQ(ConvertCoord(nullptr, &py, &x, &y, 1), CARTOLINK_E_BADARG);
    EXPECT_EQ(ConvertCoord(&px, &py, nullptr, &y, 0), CARTOLINK_E_BADARG);
    EXPECT_EQ(ConvertCoord(&px, &py, &x, &y, 7), CARTOLINK_E_BADARG);
    x = NAN;
    EXPECT_EQ(ConvertCoord(&px, &py, &x, &y, 0), CARTOLINK_E_BADARG);
    EXPECT_EQ(px, 1);
    // At a very close zoom a point on the other side of the globe lies beyond any int.
    ASSERT_EQ(GISDriverMoveMap(0.0, 0.0), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(0.001), CARTOLINK_OK);
    x = 179.0;
    y = -80.0;
    ASSERT_EQ(ConvertCoord(&px, &py, &x, &y, 0), CARTOLINK_OK);
    EXPECT_EQ(px, INT_MAX);
    EXPECT_EQ(py, INT_MAX);
}

TEST_F(CartolinkView, ZoomIsTheVisibleWidthInKilometresAlongTheCentreLine)
{
    ASSERT_EQ(GISDriverMoveMap(117.2, 36.1), CARTOLINK_OK);
    for (double zoom : {1.0, 35.0, 800.0}) {
        ASSERT_EQ(GisDriverZoomTo(zoom), CARTOLINK_OK);
        EXPECT_NEAR(GisDriverGetZoom(), zoom, zoom * 1e-9);
        const QPointF left = toMap(0, 150), right = toMap(400, 150);
        const QPointF centre = toMap(200, 150);
        const double km = (right.x() - left.x()) * kKmPerDegree * std::cos(centre.y() * M_PI / 180.0);
        EXPECT_NEAR(km, zoom, zoom * 0.01) << zoom;
        // ZoomTo keeps the centre.
        EXPECT_NEAR(centre.x(), 117.2, 1e-6 + zoom * 1e-4);
        EXPECT_NEAR(centre.y(), 36.1, 1e-6 + zoom * 1e-4);
    }
    for (double bad : {0.0, -3.0, double(NAN), double(INFINITY)})
        EXPECT_EQ(GisDriverZoomTo(bad), CARTOLINK_E_BADARG);
    EXPECT_NEAR(GisDriverGetZoom(), 800.0, 1e-6);
}

TEST_F(CartolinkView, PanMovesByPixelsEastAndNorth)
{
    ASSERT_EQ(GISDriverMoveMap(10.0, 20.0), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(100.0), CARTOLINK_OK);
    const QPointF before = toMap(200, 150);
    const double deg = toMap(201, 150).x() - before.x();
    ASSERT_EQ(GisDriverPan(50.0f, 0.0f), CARTOLINK_OK);
    QPointF after = toMap(200, 150);
    EXPECT_NEAR(after.x() - before.x(), 50 * deg, deg * 0.01);
    EXPECT_NEAR(after.y(), before.y(), deg * 0.01);
    ASSERT_EQ(GisDriverPan(0.0f, 50.0f), CARTOLINK_OK);
    const QPointF north = toMap(200, 150);
    EXPECT_NEAR(north.y() - after.y(), 50 * deg, deg * 0.01);
    EXPECT_EQ(GisDriverPan(NAN, 0.0f), CARTOLINK_E_BADARG);
    // MoveMap recentres and keeps the zoom.
    ASSERT_EQ(GISDriverMoveMap(-70.0, -30.0), CARTOLINK_OK);
    const QPointF c = toMap(200, 150);
    EXPECT_NEAR(c.x(), -70.0, deg);
    EXPECT_NEAR(c.y(), -30.0, deg);
    EXPECT_NEAR(GisDriverGetZoom(), 100.0, 0.5);
}

TEST_F(CartolinkView, ShowWindowSizeResizesTheExportedPictureAndKeepsTheZoom)
{
    ASSERT_EQ(GisDriverZoomTo(50.0), CARTOLINK_OK);
    EXPECT_EQ(GisDriverSetShowWindowSize(nullptr), CARTOLINK_E_BADARG);
    CartolinkRect r{0, 0, 150, 100};
    ASSERT_EQ(GisDriverSetShowWindowSize(&r), CARTOLINK_OK);
    EXPECT_EQ(driver.control()->size(), QSize(150, 100));
    EXPECT_NEAR(GisDriverGetZoom(), 50.0, 1e-9);
    QImage img = exportPicture(200, 150);
    EXPECT_TRUE(near(img.pixel(149, 99), Qt::white, 0));
    EXPECT_TRUE(near(img.pixel(150, 100), Qt::black, 0)); // nothing painted beyond the control
    // An upside-down rectangle gives an empty control, not a crash.
    CartolinkRect upside{100, 100, 0, 0};
    ASSERT_EQ(GisDriverSetShowWindowSize(&upside), CARTOLINK_OK);
    exportPicture(10, 10);
    QImage target(10, 10, QImage::Format_ARGB32);
    EXPECT_EQ(GISDriverExportMapToHDC(nullptr, 0, 0), CARTOLINK_E_BADARG);
    QPainter inactive;
    EXPECT_EQ(GISDriverExportMapToHDC(&inactive, 0, 0), CARTOLINK_E_BADARG);
}

TEST_F(CartolinkView, ExportDrawsAtTheGivenOffset)
{
    QImage img(500, 400, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    ASSERT_EQ(GISDriverExportMapToHDC(&p, 30, 40), CARTOLINK_OK);
    p.end();
    EXPECT_TRUE(near(img.pixel(29, 39), Qt::black, 0));
    EXPECT_TRUE(near(img.pixel(30, 40), Qt::white, 0));
    EXPECT_TRUE(near(img.pixel(429, 339), Qt::white, 0));
    EXPECT_TRUE(near(img.pixel(430, 340), Qt::black, 0));
}

TEST_F(CartolinkView, UnknownToolCodeIsAcceptedAndKeepsTheTool)
{
    // With the rectangle tool a drag selects; an unknown code must not change that.
    uint32_t id = 0;
    ASSERT_EQ(GisDriverZoomTo(100.0), CARTOLINK_OK);
    const QPointF at = toMap(100, 100);
    ASSERT_EQ(GisDriverAddObjectToMap(&id, 5, at.x(), at.y(), 0, 0, "", nullptr), CARTOLINK_OK);
    ASSERT_EQ(GisDriverSetCurrentTool(CARTOLINK_TOOL_RECT_SELECT), CARTOLINK_OK);
    EXPECT_EQ(GisDriverSetCurrentTool(9), CARTOLINK_OK);
    EXPECT_EQ(GisDriverSetCurrentTool(-1), CARTOLINK_OK);
    drag(driver.control(), QPoint(80, 80), QPoint(120, 120));
    EXPECT_EQ(GISDriverGetSelectCount(), 1);
}

TEST(CartolinkMapSets, HiddenTablesAndZoomRangesAreHonoured)
{
    TestDir dir;
    dir.write("m/red.geojson", featureCollection({polygonFeature(0, 0, 2, 2, "")}));
    dir.write("m/blue.geojson", featureCollection({polygonFeature(0, 0, 2, 2, "")}));
    dir.write("m/green.geojson", featureCollection({polygonFeature(0, 0, 2, 2, "")}));
    // Table 1 is on top: green when visible, else blue within its zoom range, else red.
    const std::string path = dir.write(
        "m/set.gst",
        gst("Layers",
            {R"("\TABLE\1\FILE" = "green.geojson")", R"("\TABLE\1\ISVISIBLE" = "FALSE")",
             R"("\TABLE\1\STYLE\FILL" = "#00ff00")", R"("\TABLE\2\FILE" = "blue.geojson")",
             R"("\TABLE\2\ZOOM\ISZOOMLAYER" = "TRUE")", R"("\TABLE\2\ZOOM\MIN" = "10")",
             R"("\TABLE\2\ZOOM\MAX" = "100")", R"("\TABLE\2\STYLE\FILL" = "#0000ff")",
             R"("\TABLE\3\FILE" = "red.geojson")", R"("\TABLE\3\STYLE\FILL" = "#ff0000")"}));
    Driver d(200, 200);
    ASSERT_EQ(GisDriverLoadMap(path.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GISDriverMoveMap(1.0, 1.0), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(50.0), CARTOLINK_OK);
    EXPECT_TRUE(near(exportPicture(200, 200).pixel(100, 100), Qt::blue, 5));
    ASSERT_EQ(GisDriverZoomTo(150.0), CARTOLINK_OK);
    EXPECT_TRUE(near(exportPicture(200, 200).pixel(100, 100), Qt::red, 5));
    ASSERT_EQ(GisDriverZoomTo(5.0), CARTOLINK_OK);
    EXPECT_TRUE(near(exportPicture(200, 200).pixel(100, 100), Qt::red, 5));
}

TEST(CartolinkMapSets, ProjectedSourceIsTransformedToLongitudeLatitude)
{
    TestDir dir;
    // A square around 117.2 E, 36.1 N in Web Mercator metres.
    const double x0 = 117.15 * 20037508.34 / 180.0, x1 = 117.25 * 20037508.34 / 180.0;
    auto merc = [](double lat) { return std::log(std::tan((90.0 + lat) * M_PI / 360.0)) * 6378137.0; };
    dir.write("p/square.geojson", featureCollection({polygonFeature(x0, merc(36.05), x1, merc(36.15), "")},
                                                    "urn:ogc:def:crs:EPSG::3857"));
    const std::string path = dir.write(
        "p/set.gst", gst("Projected", {R"("\TABLE\1\FILE" = "square.geojson")", R"("\TABLE\1\STYLE\FILL" = "#ff0000")"}));
    Driver d(200, 200);
    ASSERT_EQ(GisDriverLoadMap(path.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(30.0), CARTOLINK_OK);
    // The map set is centred on its data, which now lies in degrees.
    const QPointF c = toMap(100, 100);
    EXPECT_NEAR(c.x(), 117.2, 0.01);
    EXPECT_NEAR(c.y(), 36.1, 0.01);
    const QImage img = exportPicture(200, 200);
    EXPECT_TRUE(near(img.pixel(100, 100), Qt::red, 5));
    EXPECT_FALSE(anyNear(img, toPixel(117.28, 36.1), Qt::red, 1, 60));
}

TEST(CartolinkMapSets, GeoreferencedRasterIsDrawnInPlace)
{
    TestDir dir;
    QImage raster(100, 100, QImage::Format_RGB32);
    raster.fill(QColor(200, 30, 30));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            raster.setPixel(x, y, qRgb(30, 30, 200)); // northern half blue
    dir.write("r/tile.pgw", "");
    ASSERT_TRUE(raster.save(QString::fromStdString(dir.file("r/tile.png"))));
    // 0.1 degree pixels, north-west corner at (10, 50).
    dir.write("r/tile.pgw", "0.1\n0\n0\n-0.1\n10.05\n49.95\n");
    Driver d(200, 200);
    ASSERT_EQ(GisDriverLoadMap(dir.file("r/tile.png").c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(1500.0), CARTOLINK_OK);
    const QImage img = exportPicture(200, 200);
    EXPECT_TRUE(anyNear(img, toPixel(15.0, 47.5), QColor(30, 30, 200), 1, 20));
    EXPECT_TRUE(anyNear(img, toPixel(15.0, 42.5), QColor(200, 30, 30), 1, 20));
}

TEST(CartolinkMapSets, ShapesAcrossTheAntimeridianDrawWithoutStreaks)
{
    TestDir dir;
    // A strip from 170 E across the antimeridian to 170 W, stored the way
    // sources in degrees store it: the longitudes jump from 180 to -180.
    const QString strip = QStringLiteral(
        "{\"type\":\"Feature\",\"properties\":{},\"geometry\":{\"type\":\"Polygon\",\"coordinates\":"
        "[[[170,10],[180,10],[-170,10],[-170,12],[180,12],[170,12],[170,10]]]}}");
    const std::string path = dir.write("a/strip.gst", gst("Strip", {R"("\TABLE\1\FILE" = "strip.geojson")",
                                                                     R"("\TABLE\1\STYLE\FILL" = "#ff0000")"},
                                                          "#ffffff"));
    dir.write("a/strip.geojson", featureCollection({strip}));
    Driver d(400, 200);
    ASSERT_EQ(GisDriverLoadMap(path.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(20000.0), CARTOLINK_OK);
    ASSERT_EQ(GISDriverMoveMap(0.0, 11.0), CARTOLINK_OK);
    const QImage img = exportPicture(400, 200);
    // Nothing red near the prime meridian: the strip does not streak across the world.
    EXPECT_FALSE(anyNear(img, toPixel(0.0, 11.0), Qt::red, 3, 60));
    ASSERT_EQ(GISDriverMoveMap(179.9, 11.0), CARTOLINK_OK);
    const QImage wrapped = exportPicture(400, 200);
    EXPECT_TRUE(anyNear(wrapped, toPixel(178.0, 11.0), Qt::red, 1, 60));
    EXPECT_TRUE(anyNear(wrapped, toPixel(182.0, 11.0), Qt::red, 1, 60)); // 178 W
}

TEST(CartolinkMapSets, ProjectedRasterHasNoBlackEdges)
{
    TestDir dir;
    // A uniform grey raster of 1 km pixels in UTM zone 32 N: reprojected to degrees
    // its edges slant, and what lies outside them must not show black.
    QImage raster(200, 300, QImage::Format_RGB32);
    raster.fill(QColor(150, 150, 150));
    dir.write("u/grey.pgw", "");
    ASSERT_TRUE(raster.save(QString::fromStdString(dir.file("u/grey.png"))));
    dir.write("u/grey.pgw", "1000\n0\n0\n-1000\n300500\n5499500\n");
    dir.write("u/grey.png.aux.xml", "<PAMDataset><SRS>EPSG:32632</SRS></PAMDataset>\n");
    const std::string set = dir.write(
        "u/set.gst", gst("Utm", {R"("\TABLE\1\FILE" = "grey.png")"}, "#ffffff"));
    Driver d(400, 300);
    ASSERT_EQ(GisDriverLoadMap(set.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(DBL_MAX), CARTOLINK_OK);
    const QImage img = exportPicture(400, 300);
    const QRect grey = boxOf(img, QColor(150, 150, 150), 8);
    ASSERT_GT(grey.width(), 50);
    EXPECT_FALSE(boxOf(img.copy(0, 0, 400, 300), QColor(0, 0, 0), 60).isValid()) << "no black in the view";
}
