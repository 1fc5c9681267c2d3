// GIS maps through Cartolink: the load life cycle, drawing, zoom, pan,
// conversions and clean-up on every failure.
#include "map/MapLoader.h"

#include "gisdriver/include/cartolink.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <cstdlib>

namespace {

std::string SampleMap()
{
    const char* src = std::getenv("TARNWICK_SOURCE_DIR");
    const std::string root = src ? src : TARNWICK_SOURCE_DIR_DEFAULT;
    for (const char* rel : {"/samples/gis/world/world.gst", "/samples/gis/exercise/exercise.gst"}) {
        if (QFileInfo::exists(QString::fromStdString(root + rel)))
            return root + rel;
    }
    return {};
}

int LoaderWindows()
{
    int n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += w->objectName() == QLatin1String("MapLoaderWnd");
    return n;
}

// No driver context: every call but GisDriverInit answers "not initialised".
bool DriverIsFree()
{
    return GisDriverGetZoom() == -4.0;
}

int NonWhitePixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            n += (image.pixel(x, y) & 0xffffff) != 0xffffff;
    return n;
}

class GisMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = SampleMap();
        ASSERT_FALSE(path.empty()) << "no sample map set under samples/gis";
        ASSERT_TRUE(DriverIsFree());
    }
    void TearDown() override
    {
        EXPECT_EQ(LoaderWindows(), 0);
        EXPECT_TRUE(DriverIsFree());
    }
    std::string path;
};

}  // namespace

TEST_F(GisMap, LoadsRunsAndReleasesCompletely)
{
    {
        CMapLoader map;
        ASSERT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
        EXPECT_EQ(map.GetMapType(), 1);
        EXPECT_TRUE(map.IsGisRunning());
        EXPECT_TRUE(map.IsLoaded());
        EXPECT_EQ(map.GetSource(), path);
        EXPECT_NEAR(map.GetZoom(), 1.0, 1e-9);
        EXPECT_EQ(map.GetShownWidth(), 500);
        EXPECT_EQ(map.GetShownHeight(), 500);

        // The hidden window exists, is never visible and has the shown size.
        ASSERT_EQ(LoaderWindows(), 1);
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("MapLoaderWnd")) {
                EXPECT_FALSE(w->isVisible());
                EXPECT_EQ(w->size(), QSize(500, 500));
            }
        }
        EXPECT_FALSE(map.GetGisPicture().isNull());
        map.ReleaseMap();
        EXPECT_FALSE(map.IsGisRunning());
        EXPECT_EQ(LoaderWindows(), 0);
        EXPECT_TRUE(DriverIsFree());

        // Released: nothing drawn, no resize, no refresh, no zoom.
        QImage view(100, 100, QImage::Format_RGB32);
        view.fill(Qt::black);
        QPainter p(&view);
        EXPECT_EQ(map.DrawMap(p, 0, 0, 100, 100), 0);
        p.end();
        EXPECT_EQ(view.pixel(50, 50), QColor(Qt::black).rgb());
        EXPECT_FALSE(map.SetViewSize(300, 300));
        EXPECT_FALSE(map.RefreshGisPicture());
        map.ZoomIn();
        map.Pan(10, 10);
        EXPECT_EQ(map.GetZoom(), 0.0);
    }
    // The destructor releases a map still running.
    {
        CMapLoader map;
        ASSERT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
    }
}

TEST_F(GisMap, DrawsTheExportedPictureAndFollowsZoomAndPan)
{
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
    // Wide enough to see land whatever the map's centre.
    for (int i = 0; i < 24; ++i)
        map.ZoomOut();
    const double wide = map.GetZoom();
    EXPECT_GT(wide, 5000.0);
    ASSERT_TRUE(map.RefreshGisPicture());
    QImage view(500, 500, QImage::Format_RGB32);
    view.fill(Qt::white);
    {
        QPainter p(&view);
        EXPECT_EQ(map.DrawMap(p, 0, 0, 500, 500), 1);
    }
    EXPECT_GT(NonWhitePixels(view), 0);

    map.ZoomIn();
    EXPECT_NEAR(map.GetZoom(), wide / 1.5, wide * 1e-9);

    // Conversions go through Cartolink and are consistent with each other.
    double x = 0, y = 0;
    map.ViewToMap(x, y, 250, 250);
    int px = -1, py = -1;
    map.MapToView(x, y, px, py);
    EXPECT_NEAR(px, 250, 1);
    EXPECT_NEAR(py, 250, 1);

    // Positive dx shows more to the east, positive dy more to the north.
    map.Pan(50, 50);
    double x2 = 0, y2 = 0;
    map.ViewToMap(x2, y2, 250, 250);
    EXPECT_GT(x2, x);
    EXPECT_GT(y2, y);
}

TEST_F(GisMap, ViewSizeReachesTheControlAndGrowsThePicture)
{
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
    const QSize big(map.GetViewWidth() + 100, map.GetViewHeight() + 50);
    ASSERT_TRUE(map.SetViewSize(big.width(), big.height()));
    EXPECT_EQ(map.GetShownWidth(), big.width());
    EXPECT_GE(map.GetGisPicture().width(), big.width());
    EXPECT_GE(map.GetGisPicture().height(), big.height());
    // The map's centre pixel follows the control's new size.
    double x = 0, y = 0;
    map.ViewToMap(x, y, big.width() / 2, big.height() / 2);
    int px = 0, py = 0;
    map.MapToView(x, y, px, py);
    EXPECT_NEAR(px, big.width() / 2, 1);
    EXPECT_TRUE(map.RefreshGisPicture());
}

TEST_F(GisMap, RejectedSourceLeavesNothingBehind)
{
    TestDir dir;
    CMapLoader map;
    EXPECT_FALSE(map.LoadMap(dir.file("nowhere.gst"), 1, 500, 500, 0.0, 0.0));
    EXPECT_FALSE(map.LoadMap(dir.write("junk.gst", "this is no map set"), 1, 500, 500, 0.0, 0.0));
    EXPECT_FALSE(map.IsGisRunning());
    EXPECT_EQ(map.GetMapType(), 0);
    EXPECT_EQ(LoaderWindows(), 0);
    EXPECT_TRUE(DriverIsFree());
    // and the driver can be used again afterwards
    EXPECT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
}

TEST_F(GisMap, SecondGisMapFailsWithoutStoppingTheFirst)
{
    CMapLoader first;
    ASSERT_TRUE(first.LoadMap(path, 1, 500, 500, 0.0, 0.0));
    {
        CMapLoader second;
        EXPECT_FALSE(second.LoadMap(path, 1, 500, 500, 0.0, 0.0));
        EXPECT_EQ(LoaderWindows(), 1);
    }
    // The failed map did not uninitialise the driver the first one uses.
    EXPECT_TRUE(first.IsGisRunning());
    EXPECT_NEAR(first.GetZoom(), 1.0, 1e-9);
    EXPECT_TRUE(first.RefreshGisPicture());
}

TEST_F(GisMap, RefreshedPictureCoversTheWholeNewViewSize)
{
    const char* src = std::getenv("TARNWICK_SOURCE_DIR");
    const std::string exercise = std::string(src ? src : TARNWICK_SOURCE_DIR_DEFAULT) + "/samples/gis/exercise/exercise.gst";
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(exercise, 1, 500, 500, 0.0, 0.0));
    GisDriverZoomTo(40.0);  // the whole exercise area: land everywhere in view
    ASSERT_TRUE(map.SetViewSize(1200, 800));
    ASSERT_TRUE(map.RefreshGisPicture());
    // Beyond the first 500 x 500 pixels the map must be drawn too.
    const QImage outer = map.GetGisPicture().copy(700, 550, 500, 250);
    EXPECT_GT(NonWhitePixels(outer), 1000);
}

TEST_F(GisMap, ControlPanelOpensAndClosesThroughTheMap)
{
    const auto panelShown = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->windowTitle() == QString::fromUtf8("地图控制面板") && w->isVisible())
                return true;
        return false;
    };
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
    EXPECT_FALSE(panelShown());
    map.ShowControlPanel(1);
    EXPECT_TRUE(panelShown());
    map.ShowControlPanel(0);
    EXPECT_FALSE(panelShown());
    map.ShowControlPanel(1);
    map.ReleaseMap();  // closing the GIS connection closes the panel too
    EXPECT_FALSE(panelShown());
}

TEST_F(GisMap, FailedSourceSaysWhy)
{
    TestDir dir;
    CMapLoader map;
    EXPECT_FALSE(map.LoadMap(dir.write("junk.shp", "this is no shapefile"), 1, 500, 500, 0.0, 0.0));
    EXPECT_FALSE(map.LastError().empty());
    EXPECT_FALSE(map.LoadMap(dir.write("junk.gst", "this is no map set"), 1, 500, 500, 0.0, 0.0));
    const std::string why = map.LastError();
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(map.LoadMap(path, 1, 500, 500, 0.0, 0.0));
    EXPECT_TRUE(map.LastError().empty());
}

TEST_F(GisMap, WholeMapIsTheWidestViewAndOverviewMovesReachTheOwner)
{
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(path, 1, 500, 400, 0.0, 0.0));
    int changes = 0;
    map.SetMapViewChangedHandler([&] { ++changes; });
    map.ZoomToFullExtent();
    const double full = map.GetZoom();
    EXPECT_GT(full, 1000.0);
    map.ZoomOut();
    EXPECT_NEAR(map.GetZoom(), full, full * 1e-9) << "nothing wider than the whole map";
    map.ZoomIn();
    map.Pan(100, 80);
    map.ZoomToFullExtent();
    EXPECT_NEAR(map.GetZoom(), full, full * 1e-9);
    ASSERT_TRUE(map.RefreshGisPicture());
    const QImage before = map.GetGisPicture().copy();

    // A click in the overview moves the map: the owner hears of it with a new picture.
    map.ZoomIn();
    map.ZoomIn();
    map.ShowOverviewWindow(1);
    QWidget* overviewControl = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowTitle().startsWith(QString::fromUtf8("鹰眼窗口")))
            overviewControl = w->findChild<QWidget*>(QStringLiteral("OrlanGISCtrl"));
    ASSERT_NE(overviewControl, nullptr);
    const QPoint at(overviewControl->width() / 4, overviewControl->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, overviewControl->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, overviewControl->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(overviewControl, &press);
    QCoreApplication::sendEvent(overviewControl, &release);
    EXPECT_EQ(changes, 1);
    EXPECT_NE(map.GetGisPicture(), before);
}

TEST(BitmapMapWhole, WholeBitmapFitsTheView)
{
    TestDir dir;
    QImage img(400, 200, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(QString::fromStdString(dir.file("m.bmp")), "BMP"));
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(dir.file("m.bmp"), 0, 300, 300, 10.0, 5.0));
    map.SetViewWidthHeight(300, 300);
    map.SetZoom(4.0);
    map.Pan(500, 500);
    map.ZoomToFullExtent();
    EXPECT_DOUBLE_EQ(map.GetZoom(), 0.75);
    EXPECT_EQ(map.GetCenterX(), 200);
    EXPECT_EQ(map.GetCenterY(), 100);
}
