// Life cycle of the driver: calls before initialisation, init/uninit, loads.

#include "GisTestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace gistest;

TEST(CartolinkLifecycle, EveryCallBeforeInitReportsNotInitialisedAndChangesNothing)
{
    uint32_t id = 77;
    double x = 1.5, y = 2.5, d = 0;
    int px = 3, py = 4;
    CartolinkRect r{0, 0, 10, 10};
    QImage img(4, 4, QImage::Format_ARGB32);
    img.fill(Qt::green);
    QPainter painter(&img);

    EXPECT_EQ(GisDriverUnInit(), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverLoadMap("x.gst"), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverSetShowWindowSize(&r), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverSetMapStatus(2), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 5, 1, 2, 3, 4, "c", nullptr), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverRemoveObjFromMap(1), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverSetObjectColor(1, 0xFF), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverMoveObj(1, 5, 1, 2, 3, 4, 3), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverGetObjectPosition(), CARTOLINK_E_UNSUPPORTED);
    EXPECT_EQ(GisDriverZoomTo(10.0), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverGetZoom(), -4.0);
    EXPECT_EQ(GisDriverPan(1.0f, 1.0f), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverMoveMap(1.0, 2.0), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverCenterObject(1, 0.0), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverSetCurrentTool(1), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverGetDirectFromPoint(1, 2, 0, &x, &y, &d), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverGetPoint(&x, &y), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverShowCtrlTool(1), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverGetSelectCount(), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverGetSelectItem(1, &id), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverSetObjectComments(1, "x"), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverUpdateMap(), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(ConvertCoord(&px, &py, &x, &y, 1), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GISDriverExportMapToHDC(&painter, 0, 0), CARTOLINK_E_NOTINIT);
    painter.end();

    EXPECT_EQ(id, 77u);
    EXPECT_EQ(x, 1.5);
    EXPECT_EQ(y, 2.5);
    EXPECT_EQ(px, 3);
    EXPECT_EQ(py, 4);
    EXPECT_EQ(img.pixel(1, 1), QColor(Qt::green).rgb());
}

TEST(CartolinkLifecycle, NullWindowAndSecondInitAreRefused)
{
    EXPECT_EQ(GisDriverInit(nullptr, nullptr), CARTOLINK_E_BADARG);
    EXPECT_EQ(GisDriverGetZoom(), -4.0); // a refused init leaves no context

    Driver first;
    ASSERT_EQ(first.initResult(), CARTOLINK_OK);
    QWidget other;
    EXPECT_EQ(GisDriverInit(nullptr, &other), CARTOLINK_E_NOTINIT);
    // The first context is intact: its control is still there and answers.
    EXPECT_NE(first.control(), nullptr);
    EXPECT_EQ(other.findChild<QWidget*>(QStringLiteral("OrlanGISCtrl")), nullptr);
    EXPECT_EQ(GisDriverZoomTo(12.0), CARTOLINK_OK);
    EXPECT_NEAR(GisDriverGetZoom(), 12.0, 1e-9);
}

TEST(CartolinkLifecycle, InitCreatesHiddenChildrenCoveringTheParent)
{
    Driver d(320, 240);
    ASSERT_EQ(d.initResult(), CARTOLINK_OK);
    QWidget* ctl = d.control();
    ASSERT_NE(ctl, nullptr);
    EXPECT_EQ(ctl->size(), QSize(320, 240));
    EXPECT_FALSE(ctl->isVisible()); // the parent was never shown
}

TEST(CartolinkLifecycle, UnInitFreesEverythingAndInitWorksAgain)
{
    TestDir dir;
    const std::string plain = writePlainSet(dir);
    {
        Driver d;
        ASSERT_EQ(GisDriverLoadMap(plain.c_str()), CARTOLINK_OK);
        uint32_t id = 0;
        ASSERT_EQ(GisDriverAddObjectToMap(&id, 5, 0, 0, 0, 0, "a", nullptr), CARTOLINK_OK);
        ASSERT_EQ(GisDriverUnInit(), CARTOLINK_OK);
        EXPECT_EQ(d.control(), nullptr);
        EXPECT_EQ(GisDriverSetObjectColor(id, 0), CARTOLINK_E_NOTINIT);
        EXPECT_EQ(GisDriverUnInit(), CARTOLINK_E_NOTINIT);
    }
    Driver again;
    EXPECT_EQ(again.initResult(), CARTOLINK_OK);
    // A fresh context has no map: objects have no layer to go to.
    uint32_t id = 0;
    EXPECT_EQ(GisDriverAddObjectToMap(&id, 5, 0, 0, 0, 0, "a", nullptr), CARTOLINK_E_FAILED);
    EXPECT_EQ(GISDriverGetSelectCount(), 0);
    EXPECT_EQ(GISDriverShowEagleWindow(1), CARTOLINK_E_FAILED); // no map loaded yet
    EXPECT_EQ(GISDriverShowEagleWindow(0), CARTOLINK_OK);
}

TEST(CartolinkLifecycle, ParentDestroyedBeforeUnInitDoesNotCrash)
{
    auto parent = std::make_unique<QWidget>();
    ASSERT_EQ(GisDriverInit(nullptr, parent.get()), CARTOLINK_OK);
    parent.reset();
    EXPECT_EQ(GisDriverZoomTo(5.0), CARTOLINK_E_NOTINIT);
    EXPECT_EQ(GisDriverGetZoom(), -4.0);
    EXPECT_EQ(GisDriverUnInit(), CARTOLINK_OK);
}

TEST(CartolinkLifecycle, LoadSetsZoomFiveAndKeepsOldMapWhenNewOneFails)
{
    TestDir dir;
    const std::string plain = writePlainSet(dir);
    Driver d;
    EXPECT_EQ(GisDriverLoadMap(nullptr), CARTOLINK_E_BADARG);
    ASSERT_EQ(GisDriverLoadMap(plain.c_str()), CARTOLINK_OK);
    EXPECT_NEAR(GisDriverGetZoom(), 5.0, 1e-9);

    uint32_t id = 0;
    ASSERT_EQ(GisDriverAddObjectToMap(&id, 5, -59.5, -39.5, 0, 0, "keep", nullptr), CARTOLINK_OK);
    EXPECT_NE(id, 0u);

    const std::string garbageGst = dir.write("bad/broken.gst", "!GEOSET\nbegin_metadata\n\"\\TABLE\\1\\FILE\" = \"nothere.geojson\"\nend_metadata\n");
    const std::string noTables = dir.write("bad/empty.gst", "!GEOSET\nbegin_metadata\nend_metadata\n");
    const std::string notGst = dir.write("bad/noheader.gst", "this is not a map set\n");
    const std::string badJson = dir.write("bad/broken.geojson", "{\"type\":\"FeatureCollection\",\"features\":[{");
    const std::string binary = dir.write("bad/random.tab", QByteArray(4096, '\x07'));
    for (const std::string& p : {garbageGst, noTables, notGst, badJson, binary, dir.file("missing.gst")}) {
        EXPECT_EQ(GisDriverLoadMap(p.c_str()), CARTOLINK_E_FAILED) << p;
    }
    // The failed loads left the previous map set and its objects alone.
    EXPECT_EQ(GisDriverSetObjectColor(id, 0x00FF00), CARTOLINK_OK);

    // A successful load replaces the object layer, objects included.
    ASSERT_EQ(GisDriverLoadMap(plain.c_str()), CARTOLINK_OK);
    EXPECT_EQ(GisDriverSetObjectColor(id, 0x00FF00), CARTOLINK_E_NOOBJECT);
}

TEST(CartolinkLifecycle, WorldSampleLoadsAndRendersLandAndSea)
{
    Driver d(800, 500);
    ASSERT_EQ(GisDriverLoadMap(sourceFile("samples/gis/world/world.gst").c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(30000.0), CARTOLINK_OK);
    ASSERT_EQ(GISDriverMoveMap(10.0, 50.0), CARTOLINK_OK);
    const QImage img = exportPicture(800, 500);
    const QColor sea("#b9d3e6"), land("#f3eedf");
    // Central Europe is land, the middle of the North Atlantic is sea.
    EXPECT_TRUE(anyNear(img, toPixel(10.0, 50.0), land, 3, 12));
    EXPECT_TRUE(anyNear(img, toPixel(-35.0, 45.0), sea, 3, 12));
}

TEST(CartolinkLifecycle, ExerciseMapSetDrawsItsClassesWhereTheDataIs)
{
    TestDir dir;
    const std::string gstPath = writeExerciseSet(dir);
    Driver d(600, 400);
    ASSERT_EQ(GisDriverLoadMap(gstPath.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(45.0), CARTOLINK_OK);
    ASSERT_EQ(GISDriverMoveMap(117.225, 36.165), CARTOLINK_OK);
    const QImage img = exportPicture(600, 400);
    EXPECT_TRUE(anyNear(img, toPixel(117.08, 36.10), QColor("#a9cf8f"), 2, 10));  // forest
    EXPECT_TRUE(anyNear(img, toPixel(117.34, 36.23), QColor("#9cc4e4"), 2, 10));  // lake
    EXPECT_TRUE(anyNear(img, toPixel(117.23, 36.07), QColor("#dcc9a3"), 2, 10));  // hill
    EXPECT_TRUE(anyNear(img, toPixel(117.01, 36.05), QColor("#eef0e0"), 2, 10));  // open ground
    EXPECT_TRUE(anyNear(img, toPixel(117.225, 36.165), QColor("#d9822b"), 3, 30)); // highway through the centre
}

TEST(CartolinkLifecycle, ExerciseSampleDataLoadsWhenPresent)
{
    const std::string path = sourceFile("samples/gis/exercise/exercise.gst");
    if (TestDir::read(sourceFile("samples/gis/exercise/terrain.geojson")).isEmpty())
        GTEST_SKIP() << "exercise sample data not generated";
    Driver d(600, 400);
    ASSERT_EQ(GisDriverLoadMap(path.c_str()), CARTOLINK_OK);
    ASSERT_EQ(GisDriverZoomTo(45.0), CARTOLINK_OK);
    const QImage img = exportPicture(600, 400);
    EXPECT_TRUE(boxOf(img, QColor("#a9cf8f"), 6).isValid()); // some forest
    EXPECT_TRUE(boxOf(img, QColor("#4a89c8"), 30).isValid()); // some river
}
