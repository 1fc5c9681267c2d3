#include "Geography.h"
#include "Logo.h"
#include "MapImage.h"
#include "Painting.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QLineF>
#include <QSet>

using namespace mkdata;

namespace {

// Drawn once for the whole program: it takes a moment.
const QImage& exerciseMap()
{
    static const QImage img = drawExerciseMap(exerciseArea());
    return img;
}

QPoint px(const QPointF& km)
{
    return QPoint(int(km.x() * kPxPerKm), int(km.y() * kPxPerKm));
}

const Area* area(const char* name)
{
    for (const Area& a : exerciseArea().areas) {
        if (a.name == QString::fromUtf8(name))
            return &a;
    }
    return nullptr;
}

double distanceToLine(const QPolygonF& line, const QPointF& p)
{
    double best = 1e300;
    for (int i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1], d = line[i] - a;
        const double len2 = d.x() * d.x() + d.y() * d.y();
        const double t = std::clamp(len2 > 0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2 : 0.0, 0.0, 1.0);
        best = std::min(best, QLineF(p, a + d * t).length());
    }
    return best;
}

} // namespace

TEST(ExerciseMap, HasTheAgreedSizeAndIsAPictureNotAFill)
{
    const QImage& img = exerciseMap();
    ASSERT_EQ(img.size(), QSize(2000, 1500));
    QSet<QRgb> colours;
    for (int y = 0; y < img.height(); y += 7)
        for (int x = 0; x < img.width(); x += 7)
            colours.insert(img.pixel(x, y));
    EXPECT_GT(colours.size(), 2000);
}

TEST(ExerciseMap, IsTheSameOnEveryRun)
{
    EXPECT_EQ(drawExerciseMap(exerciseArea()), exerciseMap());
}

TEST(ExerciseMap, ShowsWaterWhereTheLakesAre)
{
    const QImage& img = exerciseMap();
    for (const char* name : {"青湖", "东山水库"}) {
        const Area* lake = area(name);
        ASSERT_NE(lake, nullptr) << name;
        // A point well inside, off the label in the middle.
        const QPointF c = lake->ring.boundingRect().center() + QPointF(0, 0.5);
        const QColor col = img.pixelColor(px(c));
        EXPECT_GT(col.blue(), col.red() + 40) << name;
    }
    const QColor plain = img.pixelColor(px({36.3, 13.3}));
    EXPECT_LT(plain.blue(), plain.red()) << "plain land is not blue";
}

TEST(ExerciseMap, HasAKilometreGrid)
{
    const QImage& img = exerciseMap();
    // Along every kilometre line the picture is darker than beside it.
    for (int k = 1; k < 40; ++k) {
        double on = 0, off = 0;
        for (int y = 100; y < 1200; y += 3) {
            on += qGray(img.pixel(k * 50, y));
            off += qGray(img.pixel(k * 50 + 25, y));
        }
        EXPECT_LT(on, off * 0.97) << "x = " << k << " km";
    }
}

TEST(ExerciseMap, SavesAsA24BitBitmap)
{
    TestDir dir;
    const QString path = dir.path() + QString::fromUtf8("/DefaultMapImage/演习区域.bmp");
    QString error;
    ASSERT_TRUE(saveBmp24(exerciseMap(), path, &error)) << error.toStdString();
    const QByteArray head = TestDir::read(path.toStdString()).left(30);
    ASSERT_TRUE(head.startsWith("BM"));
    EXPECT_EQ(quint8(head[28]), 24);
    const QImage back(path);
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), exerciseMap());
}

TEST(Relief, HillsRiseAboveTheirFeetAndRiversRunLow)
{
    const Geography& g = exerciseArea();
    for (const Hill& h : g.hills) {
        const double top = elevationAt(g, h.peak.x(), h.peak.y());
        const double foot = elevationAt(g, h.peak.x() + 3 * h.rx, h.peak.y() + 3 * h.ry);
        EXPECT_GT(top - foot, 0.6 * h.height) << h.name.toStdString();
    }
    // 清水河 between 鹰嘴山 and 北岭: the valley is lower than both slopes.
    const double river = elevationAt(g, 13.0, 6.0);
    EXPECT_LT(river, elevationAt(g, 10.0, 6.0));
    EXPECT_LT(river, elevationAt(g, 15.5, 4.0));
}

TEST(Geography, RiversEndAtTheEdgeInALakeOrOnAnotherRiver)
{
    const Geography& g = exerciseArea();
    auto onEdge = [&](const QPointF& p) {
        return p.x() < 0.05 || p.y() < 0.05 || p.x() > g.widthKm - 0.05 || p.y() > g.heightKm - 0.05;
    };
    auto inLake = [&](const QPointF& p) {
        for (const Area& a : g.areas) {
            if (a.cls == QLatin1String("lake") && distanceToLine(QPolygonF(a.ring) << a.ring.first(), p) < 0.05)
                return true;
        }
        return false;
    };
    auto onRiver = [&](const Line& self, const QPointF& p) {
        for (const Line& r : g.rivers) {
            if (&r != &self && distanceToLine(r.path, p) < 0.02)
                return true;
        }
        return false;
    };
    auto inHills = [&](const QPointF& p) {
        for (const Hill& h : g.hills) {
            if (QLineF(p, h.peak).length() < 2 * std::max(h.rx, h.ry))
                return true;
        }
        return false;
    };
    for (const Line& r : g.rivers) {
        const QPointF source = r.path.first(), mouth = r.path.last();
        EXPECT_TRUE(onEdge(source) || inLake(source) || inHills(source)) << r.name.toStdString();
        EXPECT_TRUE(onEdge(mouth) || onRiver(r, mouth)) << r.name.toStdString();
    }
}

TEST(Logo, SitsSeamlesslyOnTheViewBackground)
{
    const QImage logo = drawLogo();
    ASSERT_EQ(logo.size(), QSize(400, 200));
    for (const QPoint p : {QPoint(0, 0), QPoint(399, 0), QPoint(0, 199), QPoint(399, 199), QPoint(200, 2)})
        EXPECT_EQ(logo.pixelColor(p), QColor(50, 52, 255));
    int drawn = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 400; ++x)
            drawn += logo.pixelColor(x, y) != QColor(50, 52, 255);
    EXPECT_GT(drawn, 400 * 200 / 10);
}
