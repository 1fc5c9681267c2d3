// Bitmap maps: loading, the source rectangle, conversions, zoom, pan and painting.
#include "map/MapLoader.h"

#include "config/MessageReporter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QtEndian>

#include <chrono>
#include <climits>
#include <vector>

namespace {

class RecordingReporter : public IMessageReporter {
public:
    MessageAnswer Report(const ReportedMessage& m) override
    {
        messages.push_back(m);
        return MessageAnswer::Ok;
    }
    std::vector<ReportedMessage> messages;
};

std::string WriteBmp(const TestDir& dir, const QString& name, const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, "BMP"));
    return dir.write(name, bytes);
}

QImage Solid(int w, int h, QColor colour = Qt::green)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage Canvas(int w, int h, QColor colour = Qt::black)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

bool IsRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool IsWhite(QRgb c) { return qRed(c) == 255 && qGreen(c) == 255 && qBlue(c) == 255; }
bool IsBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

int Draw(CMapLoader& map, QImage& target)
{
    QPainter p(&target);
    return map.DrawMap(p, 0, 0, target.width(), target.height());
}

// A bitmap file header announcing width x height at 24 bits but carrying no pixels.
QByteArray LyingBmpHeader(int32_t width, int32_t height)
{
    QByteArray h(54, '\0');
    auto put32 = [&](int at, uint32_t v) { qToLittleEndian(v, h.data() + at); };
    h[0] = 'B';
    h[1] = 'M';
    put32(2, 54);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    h[26] = 1;
    h[28] = 24;
    return h;
}

}  // namespace

// ---- construction and loading ------------------------------------------------

TEST(MapLoaderLoad, ConstructedEmptyWithScreenSizeAndZoomOne)
{
    CMapLoader map;
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(map.GetViewWidth(), screen.width());
    EXPECT_EQ(map.GetViewHeight(), screen.height());
    EXPECT_EQ(map.GetZoom(), 1.0);
    EXPECT_EQ(map.GetMapType(), 0);
    EXPECT_EQ(map.GetWidthKm(), 0.0);
    EXPECT_FALSE(map.IsLoaded());
    QImage target = Canvas(20, 20);
    EXPECT_EQ(Draw(map, target), 0);
    EXPECT_EQ(target.pixel(5, 5), QColor(Qt::black).rgb());
}

TEST(MapLoaderLoad, BitmapStoresSizesAndCentresWithIntegerDivision)
{
    TestDir dir;
    const std::string path = WriteBmp(dir, "odd.bmp", Solid(1001, 801));
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(path, 0, 500, 500, 10.0, 8.0));
    EXPECT_TRUE(map.IsLoaded());
    EXPECT_EQ(map.GetMapType(), 0);
    EXPECT_EQ(map.GetImageWidth(), 1001);
    EXPECT_EQ(map.GetImageHeight(), 801);
    EXPECT_EQ(map.GetCenterX(), 500);
    EXPECT_EQ(map.GetCenterY(), 400);
    EXPECT_EQ(map.GetWidthKm(), 10.0);
    EXPECT_EQ(map.GetHeightKm(), 8.0);
    EXPECT_EQ(map.GetShownWidth(), 500);
    EXPECT_EQ(map.GetShownHeight(), 500);
    EXPECT_EQ(map.GetSource(), path);
    EXPECT_TRUE(map.RefreshGisPicture());
    EXPECT_TRUE(map.SetViewSize(640, 480));
    EXPECT_EQ(map.GetShownWidth(), 640);
}

TEST(MapLoaderLoad, LoadKeepsTheCurrentZoom)
{
    TestDir dir;
    const std::string path = WriteBmp(dir, "m.bmp", Solid(100, 100));
    CMapLoader map;
    map.ZoomIn();
    ASSERT_TRUE(map.LoadMap(path, 0, 500, 500, 1.0, 1.0));
    EXPECT_EQ(map.GetZoom(), 1.5);
}

TEST(MapLoaderLoad, UnknownTypeIsReportedWithOkCancelAndFails)
{
    TestDir dir;
    const std::string path = WriteBmp(dir, "m.bmp", Solid(10, 10));
    RecordingReporter reporter;
    CMapLoader map;
    EXPECT_FALSE(map.LoadMap(path, 2, 300, 200, 1.0, 1.0, &reporter));
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].text, "不支持的地图类型!");
    EXPECT_EQ(reporter.messages[0].caption, "地图加载器错误信息");
    EXPECT_EQ(reporter.messages[0].buttons, MessageButtons::OkCancel);
    EXPECT_EQ(map.GetMapType(), 0);
    EXPECT_FALSE(map.IsLoaded());
    // The shown size is stored before anything can fail.
    EXPECT_EQ(map.GetShownWidth(), 300);
    EXPECT_EQ(map.GetShownHeight(), 200);

    EXPECT_FALSE(map.LoadMap(path, -1, 1, 1, 1.0, 1.0, &reporter));
    EXPECT_EQ(reporter.messages.size(), 2u);
}

TEST(MapLoaderLoad, FailuresWithoutMessage)
{
    TestDir dir;
    RecordingReporter reporter;
    CMapLoader map;
    EXPECT_FALSE(map.LoadMap("", 0, 500, 500, 1.0, 1.0, &reporter));
    EXPECT_FALSE(map.LoadMap("", 7, 500, 500, 1.0, 1.0, &reporter));  // empty source wins over the type
    EXPECT_FALSE(map.LoadMap(dir.file("missing.bmp"), 0, 500, 500, 1.0, 1.0, &reporter));
    EXPECT_FALSE(map.LoadMap(dir.write("text.bmp", "not a bitmap at all"), 0, 500, 500, 1.0, 1.0, &reporter));
    EXPECT_FALSE(map.LoadMap(dir.write("empty.bmp", ""), 0, 500, 500, 1.0, 1.0, &reporter));
    EXPECT_TRUE(reporter.messages.empty());
    EXPECT_FALSE(map.IsLoaded());
    EXPECT_TRUE(map.GetSource().empty());
}

TEST(MapLoaderLoad, BackslashSeparatorsAreAccepted)
{
    TestDir dir;
    WriteBmp(dir, "sub/m.bmp", Solid(10, 10));
    std::string path = dir.path().toStdString() + "\\sub\\m.bmp";
    CMapLoader map;
    EXPECT_TRUE(map.LoadMap(path, 0, 500, 500, 1.0, 1.0));
}

TEST(MapLoaderLoad, AbsurdHeadersAreRefusedWithoutDecoding)
{
    TestDir dir;
    CMapLoader map;
    const auto start = std::chrono::steady_clock::now();
    // Beyond the pixel limit, within it but without the pixels, and nonsense sizes.
    EXPECT_FALSE(map.LoadMap(dir.write("huge.bmp", LyingBmpHeader(100000, 100000)), 0, 500, 500, 1, 1));
    EXPECT_FALSE(map.LoadMap(dir.write("big.bmp", LyingBmpHeader(10000, 10000)), 0, 500, 500, 1, 1));
    EXPECT_FALSE(map.LoadMap(dir.write("neg.bmp", LyingBmpHeader(-5, INT_MIN)), 0, 500, 500, 1, 1));
    EXPECT_FALSE(map.LoadMap(dir.write("zero.bmp", LyingBmpHeader(0, 10)), 0, 500, 500, 1, 1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(map.IsLoaded());
}

TEST(MapLoaderLoad, IndexedBitmapsDecode)
{
    TestDir dir;
    QImage indexed(8, 4, QImage::Format_Indexed8);
    indexed.setColorTable({qRgb(255, 0, 0), qRgb(0, 0, 255)});
    indexed.fill(0);
    indexed.setPixel(7, 3, 1);
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "i.bmp", indexed), 0, 8, 4, 8.0, 4.0));
    EXPECT_EQ(map.GetMapImage().format(), QImage::Format_RGB32);
    EXPECT_TRUE(IsRed(map.GetMapImage().pixel(0, 0)));
    EXPECT_TRUE(IsBlue(map.GetMapImage().pixel(7, 3)));
}

TEST(MapLoaderLoad, SecondLoadReplacesTheFirst)
{
    TestDir dir;
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "a.bmp", Solid(40, 20, Qt::red)), 0, 40, 20, 4.0, 2.0));
    QImage target = Canvas(40, 20);
    Draw(map, target);
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "b.bmp", Solid(40, 20, Qt::blue)), 0, 40, 20, 4.0, 2.0));
    Draw(map, target);
    EXPECT_TRUE(IsBlue(target.pixel(20, 10)));
}

// ---- geometry ------------------------------------------------------------------

TEST(MapLoaderGeometry, WorkedExample)
{
    TestDir dir;
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "m.bmp", Solid(1000, 800)), 0, 500, 500, 10.0, 8.0));
    EXPECT_EQ(map.GetCenterX(), 500);
    EXPECT_EQ(map.GetCenterY(), 400);
    QImage view = Canvas(500, 400);
    EXPECT_EQ(Draw(map, view), 1);
    EXPECT_EQ(map.GetSrcLeft(), 250);
    EXPECT_EQ(map.GetSrcTop(), 200);
    EXPECT_EQ(map.GetSrcRight(), 750);
    EXPECT_EQ(map.GetSrcBottom(), 600);

    int px = -1, py = -1;
    EXPECT_EQ(map.MapToView(5.0, 4.0, px, py), 1);
    EXPECT_EQ(px, 250);
    EXPECT_EQ(py, 200);
    double x = -1, y = -1;
    EXPECT_EQ(map.ViewToMap(x, y, 250, 200), 1);
    EXPECT_DOUBLE_EQ(x, 5.0);
    EXPECT_DOUBLE_EQ(y, 4.0);

    // Through the interface, as the model reaches it.
    CMapSource& source = map;
    EXPECT_EQ(source.GetMapType(), 0);
    source.MapToView(0.0, 0.0, px, py);
    EXPECT_EQ(px, -250);
    EXPECT_EQ(py, -200);
}

TEST(MapLoaderGeometry, ConversionsUseTheLastPaintsSourceRectangle)
{
    TestDir dir;
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "m.bmp", Solid(1000, 800)), 0, 500, 500, 10.0, 8.0));
    map.UpdateSourceRect(500, 400);
    map.Pan(100, 0);  // moves the centre, not the rectangle
    int px = 0, py = 0;
    map.MapToView(5.0, 4.0, px, py);
    EXPECT_EQ(px, 250);
    map.UpdateSourceRect(500, 400);
    map.MapToView(5.0, 4.0, px, py);
    EXPECT_EQ(px, 150);
}

TEST(MapLoaderGeometry, NegativeValuesTruncateTowardZero)
{
    TestDir dir;
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "m.bmp", Solid(200, 100)), 0, 500, 500, 2.0, 1.0));
    EXPECT_EQ(map.GetCenterX(), 100);
    map.UpdateSourceRect(500, 100);
    EXPECT_EQ(map.GetSrcLeft(), -150);

    map.ZoomIn();  // 100 - 500 / 3 = -66.67
    map.UpdateSourceRect(500, 100);
    EXPECT_EQ(map.GetSrcLeft(), -66);
    EXPECT_EQ(map.GetSrcRight(), 267);  // trunc(-66 + 333.33)

    map.ZoomOut();
    map.UpdateSourceRect(200, 100);  // left 0, top 0
    int px = 0, py = 0;
    map.MapToView(-0.015, -0.015, px, py);  // -1.5 pixels
    EXPECT_EQ(px, -1);
    EXPECT_EQ(py, -1);
    map.UpdateSourceRect(500, 100);
    double x = 0, y = 0;
    map.ViewToMap(x, y, 10, 0);  // q = 10 - 150 = -140
    EXPECT_DOUBLE_EQ(x, -140 * 0.01);
}

TEST(MapLoaderGeometry, ZoomStepsRoundTripExactly)
{
    CMapLoader map;
    map.ZoomIn();
    map.ZoomIn();
    EXPECT_EQ(map.GetZoom(), 2.25);
    map.ZoomOut();
    map.ZoomOut();
    EXPECT_EQ(map.GetZoom(), 1.0);
    map.ZoomOut();
    map.ZoomIn();
    EXPECT_EQ(map.GetZoom(), 1.0);
}

TEST(MapLoaderGeometry, PanMovesTheCentreByViewPixelsOverZoom)
{
    TestDir dir;
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "m.bmp", Solid(1000, 800)), 0, 500, 500, 10.0, 8.0));
    map.SetZoom(2.0);
    map.Pan(50, 0);
    EXPECT_EQ(map.GetCenterX(), 525);
    map.SetZoom(3.0);
    map.Pan(50, 0);
    EXPECT_EQ(map.GetCenterX(), 541);  // 525 + trunc(16.67)
    // Positive dy moves the window up.
    map.Pan(0, 50);
    EXPECT_EQ(map.GetCenterY(), 383);  // trunc(400 - 16.67)
    map.SetZoom(1.5);
    map.Pan(0, -50);
    EXPECT_EQ(map.GetCenterY(), 416);  // trunc(383 + 33.33)
    // The centre may leave the image; negative results truncate toward zero.
    map.SetZoom(1.0);
    map.Pan(-560, 0);
    EXPECT_EQ(map.GetCenterX(), -19);
    map.SetZoom(1.5);
    map.Pan(-50, 0);
    EXPECT_EQ(map.GetCenterX(), -52);  // trunc(-19 - 33.33)
}

TEST(MapLoaderGeometry, SetZoomIgnoresValuesThatWouldDivideByZero)
{
    CMapLoader map;
    map.SetZoom(0.0);
    map.SetZoom(-2.0);
    map.SetZoom(std::numeric_limits<double>::infinity());
    map.SetZoom(std::numeric_limits<double>::quiet_NaN());
    map.SetZoom(std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(map.GetZoom(), 1.0);
}

TEST(MapLoaderGeometry, UnlimitedZoomStaysUsable)
{
    TestDir dir;
    CMapLoader map;
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "m.bmp", Solid(100, 80, Qt::red)), 0, 500, 500, 1.0, 0.8));
    QImage view = Canvas(160, 100);

    for (int i = 0; i < 3000; ++i)
        map.ZoomOut();
    EXPECT_GT(map.GetZoom(), 0.0);
    EXPECT_EQ(Draw(map, view), 1);
    EXPECT_TRUE(IsWhite(view.pixel(80, 50)));  // the whole map is far below one pixel
    int px = 0, py = 0;
    map.MapToView(0.5, 0.4, px, py);
    double x = 0, y = 0;
    map.ViewToMap(x, y, 0, 0);
    map.Pan(1000000, -1000000);
    EXPECT_EQ(Draw(map, view), 1);

    CMapLoader near;
    ASSERT_TRUE(near.LoadMap(WriteBmp(dir, "n.bmp", Solid(100, 80, Qt::red)), 0, 500, 500, 1.0, 0.8));
    for (int i = 0; i < 3000; ++i)
        near.ZoomIn();
    EXPECT_TRUE(std::isfinite(near.GetZoom()));
    EXPECT_EQ(Draw(near, view), 1);
    EXPECT_TRUE(IsRed(view.pixel(80, 50)));  // the pixel under the centre fills the view
    near.MapToView(0.5, 0.4, px, py);  // infinities: defined, whatever the value
    near.Pan(5, 5);
    EXPECT_EQ(near.GetCenterX(), 50);

    // Results beyond the int range clamp instead of being undefined.
    near.SetZoom(1e12);
    Draw(near, view);
    near.MapToView(0.5, 0.4, px, py);
    EXPECT_EQ(px, INT_MAX);
    near.MapToView(-0.5, -0.4, px, py);
    EXPECT_EQ(px, INT_MIN);
}

// ---- painting ------------------------------------------------------------------

class MapLoaderPaint : public ::testing::Test {
protected:
    void SetUp() override
    {
        // 200 x 100 image of 2 x 1 km: white with a red block at (60..67, 30..37)
        // and a blue first column band (0..3).
        QImage image = Solid(200, 100, Qt::white);
        for (int y = 30; y < 38; ++y)
            for (int x = 60; x < 68; ++x)
                image.setPixel(x, y, qRgb(255, 0, 0));
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 4; ++x)
                image.setPixel(x, y, qRgb(0, 0, 255));
        ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "m.bmp", image), 0, 200, 100, 2.0, 1.0));
    }
    // Where MapToView puts the centre of the red block, after a paint.
    QPoint RedBlockInView()
    {
        int px = 0, py = 0;
        map.MapToView(64 * 0.01, 34 * 0.01, px, py);
        return {px, py};
    }
    TestDir dir;
    CMapLoader map;
};

TEST_F(MapLoaderPaint, ImagePixelLandsWhereMapToViewSays)
{
    for (int steps = 0; steps < 4; ++steps) {
        QImage view = Canvas(200, 100);
        ASSERT_EQ(Draw(map, view), 1);
        const QPoint p = RedBlockInView();
        ASSERT_TRUE(view.rect().contains(p)) << "zoom " << map.GetZoom();
        EXPECT_TRUE(IsRed(view.pixel(p))) << "zoom " << map.GetZoom() << " at " << p.x() << "," << p.y();
        // and ViewToMap of that pixel lies inside the block
        double x = 0, y = 0;
        map.ViewToMap(x, y, p.x(), p.y());
        EXPECT_GE(x, 0.60);
        EXPECT_LT(x, 0.68);
        EXPECT_GE(y, 0.30);
        EXPECT_LT(y, 0.38);
        map.ZoomIn();
        map.Pan(-20, 10);
    }
}

TEST_F(MapLoaderPaint, ZoomOneCopiesTheSourceRectangleExactly)
{
    QImage image(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            image.setPixel(x, y, qRgb(x & 255, y, (x * y) & 255));
    ASSERT_TRUE(map.LoadMap(WriteBmp(dir, "g.bmp", image), 0, 120, 80, 3.0, 2.0));
    map.Pan(-30, 20);
    QImage view = Canvas(120, 80);
    ASSERT_EQ(Draw(map, view), 1);
    const QRect src(map.GetSrcLeft(), map.GetSrcTop(), 120, 80);
    EXPECT_EQ(src, QRect(60, 40, 120, 80));
    EXPECT_EQ(view, image.copy(src));
}

TEST_F(MapLoaderPaint, BeyondTheImageIsWhite)
{
    map.Pan(-150, 0);  // centre x -50: source left -150
    QImage view = Canvas(200, 100);
    ASSERT_EQ(Draw(map, view), 1);
    EXPECT_TRUE(IsWhite(view.pixel(0, 50)));
    EXPECT_TRUE(IsWhite(view.pixel(149, 50)));
    EXPECT_TRUE(IsBlue(view.pixel(151, 50)));

    map.Pan(0, 80);  // window moves up by 80: the top 80 rows are above the image
    QImage view2 = Canvas(200, 100);
    Draw(map, view2);
    EXPECT_TRUE(IsWhite(view2.pixel(151, 70)));
    EXPECT_TRUE(IsBlue(view2.pixel(151, 90)));

    map.Pan(100000, 0);  // entirely off the image
    QImage view3 = Canvas(200, 100);
    Draw(map, view3);
    EXPECT_TRUE(IsWhite(view3.pixel(0, 0)));
    EXPECT_TRUE(IsWhite(view3.pixel(199, 99)));
}

TEST_F(MapLoaderPaint, ZoomedOutImageIsCentredInWhite)
{
    map.SetZoom(0.5);  // the 200 x 100 image covers 100 x 50 in the middle
    QImage view = Canvas(200, 100);
    Draw(map, view);
    EXPECT_TRUE(IsWhite(view.pixel(20, 50)));
    EXPECT_TRUE(IsBlue(view.pixel(51, 50)));
    EXPECT_TRUE(IsWhite(view.pixel(100, 10)));
    const QPoint p = RedBlockInView();
    EXPECT_TRUE(IsRed(view.pixel(p)));
}

TEST_F(MapLoaderPaint, FillStartsAtTheGivenOriginButTheMapAtZero)
{
    map.Pan(-150, 0);
    QImage view = Canvas(200, 100);
    QPainter p(&view);
    map.DrawMap(p, 100, 0, 200, 100);
    p.end();
    EXPECT_EQ(view.pixel(10, 50), QColor(Qt::black).rgb());  // left of the fill, no image there
    EXPECT_TRUE(IsWhite(view.pixel(120, 50)));
    EXPECT_TRUE(IsBlue(view.pixel(151, 50)));
}

TEST_F(MapLoaderPaint, RepaintsFollowEveryChange)
{
    QImage first = Canvas(200, 100);
    Draw(map, first);
    QImage again = Canvas(200, 100);
    Draw(map, again);
    EXPECT_EQ(first, again);

    map.Pan(10, 0);
    QImage panned = Canvas(200, 100);
    Draw(map, panned);
    EXPECT_NE(panned, first);
    EXPECT_TRUE(IsRed(panned.pixel(RedBlockInView())));

    // A different view size recomputes the picture too.
    QImage wide = Canvas(300, 100);
    Draw(map, wide);
    EXPECT_TRUE(IsRed(wide.pixel(RedBlockInView())));
}

TEST_F(MapLoaderPaint, NothingIsDrawnAfterRelease)
{
    map.ReleaseMap();
    EXPECT_FALSE(map.IsLoaded());
    QImage view = Canvas(200, 100);
    EXPECT_EQ(Draw(map, view), 0);
    EXPECT_EQ(view.pixel(100, 50), QColor(Qt::black).rgb());
    map.ReleaseMap();  // twice is harmless
}

TEST_F(MapLoaderPaint, EmptyViewDrawsNothing)
{
    QImage view = Canvas(10, 10);
    QPainter p(&view);
    EXPECT_EQ(map.DrawMap(p, 0, 0, 0, 0), 1);
    EXPECT_EQ(map.DrawMap(p, 0, 0, -5, 7), 1);
    p.end();
    EXPECT_EQ(view.pixel(0, 0), QColor(Qt::black).rgb());
}
