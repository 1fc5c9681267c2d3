// Labels: drawn after every shape, the more important first, one per name and place.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

using namespace gistest;

namespace {

constexpr int kW = 400, kH = 300;

int countNear(const QImage& img, QColor want, int tol = 60)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += near(img.pixel(x, y), want, tol) ? 1 : 0;
    return n;
}

// Loads `tables` (the map-set lines) over `data` files and shows (cx, cy) at `zoom` km.
QImage render(const TestDir& dir, const QStringList& tables, double zoom, double cx, double cy)
{
    const std::string path = dir.write("l/set.gst", gst(QStringLiteral("Labels"), tables, QStringLiteral("#ffffff")));
    EXPECT_EQ(GisDriverLoadMap(path.c_str()), CARTOLINK_OK);
    EXPECT_EQ(GisDriverZoomTo(zoom), CARTOLINK_OK);
    EXPECT_EQ(GISDriverMoveMap(cx, cy), CARTOLINK_OK);
    return exportPicture(kW, kH);
}

const QColor kRedText(255, 0, 0), kBlueText(0, 0, 255), kMagentaText(255, 0, 255);

} // namespace

TEST(CartolinkLabels, ALaterFillNeverCutsALabel)
{
    TestDir dir;
    Driver d(kW, kH);
    dir.write("l/land.geojson", featureCollection({polygonFeature(10, 40, 12, 42, "\"name\":\"HUNGARY\"")}));
    // The top table's fill covers the middle of the land, where its label goes.
    dir.write("l/cover.geojson", featureCollection({polygonFeature(10.9, 40.9, 11.1, 41.1, "")}));
    const QImage img = render(dir,
                              {R"("\TABLE\1\FILE" = "cover.geojson")", R"("\TABLE\1\STYLE\FILL" = "#00ff00")",
                               R"("\TABLE\2\FILE" = "land.geojson")", R"("\TABLE\2\AUTOLABEL" = "TRUE")",
                               R"("\TABLE\2\STYLE\FILL" = "#ffffcc")", R"("\TABLE\2\STYLE\TEXT" = "#ff0000")"},
                              300.0, 11.0, 41.0);
    const QPoint centre = toPixel(11.0, 41.0);
    const QRect green = boxOf(img, QColor(0, 255, 0), 10);
    ASSERT_TRUE(green.contains(centre)) << "the cover is drawn";
    // Red text over the green cover, on both sides of the centre.
    const QRect text = boxOf(img, kRedText, 90);
    ASSERT_TRUE(text.isValid());
    EXPECT_TRUE(text.contains(centre));
    EXPECT_GT(text.width(), 30);
}

TEST(CartolinkLabels, ANameIsShownOnceAtAPlace)
{
    TestDir dir;
    Driver d(kW, kH);
    dir.write("l/town.geojson", featureCollection({polygonFeature(117.20, 36.14, 117.24, 36.17, "\"name\":\"Tarn\"")}));
    dir.write("l/place.geojson", featureCollection({pointFeature(117.235, 36.155, "\"name\":\"Tarn\"")}));
    const QStringList place = {R"("\TABLE\1\FILE" = "place.geojson")", R"("\TABLE\1\STYLE\TEXT" = "#ff00ff")"};
    QStringList both = place;
    both << R"("\TABLE\2\FILE" = "town.geojson")" << R"("\TABLE\2\AUTOLABEL" = "TRUE")"
         << R"("\TABLE\2\STYLE\FILL" = "none")" << R"("\TABLE\2\STYLE\TEXT" = "#ff00ff")";
    const int once = countNear(render(dir, place, 20.0, 117.235, 36.155), kMagentaText);
    ASSERT_GT(once, 10);
    const int twice = countNear(render(dir, both, 20.0, 117.235, 36.155), kMagentaText);
    // (The two map sets differ in extent, so the text may sit a fraction of a pixel apart.)
    EXPECT_LT(twice, once * 3 / 2) << "the town area's label repeats the place's";
    // A different name at that place is shown.
    dir.write("l/town.geojson", featureCollection({polygonFeature(117.20, 36.14, 117.24, 36.17, "\"name\":\"Tarnwick\"")}));
    EXPECT_GT(countNear(render(dir, both, 20.0, 117.235, 36.155), kMagentaText), once * 3 / 2);
}

TEST(CartolinkLabels, LargerAreasAreLabelledFirst)
{
    TestDir dir;
    Driver d(kW, kH);
    // A large country and a small one whose label would sit on the large one's.
    dir.write("l/large.geojson", featureCollection({polygonFeature(0, 40, 10, 50, "\"name\":\"GERMANY\"")}));
    dir.write("l/small.geojson", featureCollection({polygonFeature(5.4, 44.4, 6.6, 45.6, "\"name\":\"SWISS\"")}));
    // The small table is listed first (on top), so a first-come placement would label it first.
    const QImage img = render(dir,
                              {R"("\TABLE\1\FILE" = "small.geojson")", R"("\TABLE\1\AUTOLABEL" = "TRUE")",
                               R"("\TABLE\1\STYLE\FILL" = "none")", R"("\TABLE\1\STYLE\TEXT" = "#0000ff")",
                               R"("\TABLE\2\FILE" = "large.geojson")", R"("\TABLE\2\AUTOLABEL" = "TRUE")",
                               R"("\TABLE\2\STYLE\FILL" = "none")", R"("\TABLE\2\STYLE\TEXT" = "#ff0000")"},
                              1600.0, 5.0, 45.0);
    EXPECT_GT(countNear(img, kRedText), 10);
    EXPECT_EQ(countNear(img, kBlueText), 0);
}
