#include "GeoJson.h"
#include "Geography.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

using namespace mkdata;

namespace {

const double kKmPerDegreeLon = 111.32 * std::cos(36.15 * 3.14159265358979 / 180);
const double kEastLon = 117.0 + 40.0 / kKmPerDegreeLon;
const double kSouthLat = 36.3 - 30.0 / 111.32;

bool segmentsCross(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    auto side = [](const QPointF& p, const QPointF& q, const QPointF& r) {
        return (q.x() - p.x()) * (r.y() - p.y()) - (q.y() - p.y()) * (r.x() - p.x());
    };
    const double d1 = side(c, d, a), d2 = side(c, d, b), d3 = side(a, b, c), d4 = side(a, b, d);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

class GeoJsonFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(writeGeoJson(exerciseArea(), dir.path() + QStringLiteral("/gis"), &error)) << error.toStdString();
    }

    QJsonArray features(const char* file)
    {
        const QString path = dir.path() + QStringLiteral("/gis/") + QLatin1String(file);
        QJsonParseError err{};
        const QJsonDocument doc = QJsonDocument::fromJson(TestDir::read(path.toStdString()), &err);
        EXPECT_EQ(err.error, QJsonParseError::NoError) << file << ": " << err.errorString().toStdString();
        EXPECT_EQ(doc.object().value(QStringLiteral("type")).toString(), QStringLiteral("FeatureCollection"));
        EXPECT_LT(QFileInfo(path).size(), 400 * 1024) << file;
        return doc.object().value(QStringLiteral("features")).toArray();
    }

    static void expectInBox(const QJsonArray& pos, const std::string& what)
    {
        ASSERT_EQ(pos.size(), 2) << what;
        const double lon = pos[0].toDouble(), lat = pos[1].toDouble();
        EXPECT_GE(lon, 117.0 - 1e-6) << what;
        EXPECT_LE(lon, kEastLon + 1e-6) << what;
        EXPECT_GE(lat, kSouthLat - 1e-6) << what;
        EXPECT_LE(lat, 36.3 + 1e-6) << what;
    }

    static QString prop(const QJsonValue& f, const char* key)
    {
        return f[QStringLiteral("properties")][QLatin1String(key)].toString();
    }

    static QString geometryType(const QJsonValue& f)
    {
        return f[QStringLiteral("geometry")][QStringLiteral("type")].toString();
    }

    static QJsonArray coordinates(const QJsonValue& f)
    {
        return f[QStringLiteral("geometry")][QStringLiteral("coordinates")].toArray();
    }

    TestDir dir;
};

} // namespace

TEST(LonLat, CornersOfTheMapLandWhereAgreed)
{
    const QPointF nw = kmToLonLat({0, 0}), se = kmToLonLat({40, 30});
    EXPECT_DOUBLE_EQ(nw.x(), 117.0);
    EXPECT_DOUBLE_EQ(nw.y(), 36.3);
    EXPECT_NEAR(se.x(), kEastLon, 1e-4);
    EXPECT_NEAR(se.y(), kSouthLat, 1e-9);
}

TEST_F(GeoJsonFiles, TerrainHoldsClosedCounterClockwisePolygonsOfKnownClasses)
{
    const Geography& g = exerciseArea();
    const QJsonArray fs = features("terrain.geojson");
    EXPECT_EQ(size_t(fs.size()), g.areas.size() + g.hills.size());
    QMap<QString, int> perClass;
    for (const QJsonValue& f : fs) {
        const std::string name = prop(f, "name").toStdString();
        EXPECT_FALSE(name.empty());
        EXPECT_EQ(geometryType(f), QStringLiteral("Polygon")) << name;
        ++perClass[prop(f, "class")];
        const QJsonArray ring = coordinates(f)[0].toArray();
        ASSERT_GE(ring.size(), 4) << name;
        EXPECT_EQ(ring.first(), ring.last()) << name << ": ring not closed";
        double area2 = 0;
        for (qsizetype i = 0; i < ring.size(); ++i) {
            expectInBox(ring[i].toArray(), name);
            if (i > 0) {
                const QJsonArray a = ring[i - 1].toArray(), b = ring[i].toArray();
                area2 += a[0].toDouble() * b[1].toDouble() - b[0].toDouble() * a[1].toDouble();
            }
        }
        EXPECT_GT(area2, 0) << name << ": exterior ring must be counter-clockwise";
        // GIS readers reject self-intersecting rings; the wobbled edges must not fold.
        QPolygonF pts;
        for (const QJsonValue& v : ring)
            pts << QPointF(v[0].toDouble(), v[1].toDouble());
        for (qsizetype i = 1; i < pts.size(); ++i) {
            for (qsizetype j = i + 2; j < pts.size(); ++j) {
                if (i == 1 && j == pts.size() - 1)
                    continue; // first and last segments meet at the closing vertex
                ASSERT_FALSE(segmentsCross(pts[i - 1], pts[i], pts[j - 1], pts[j])) << name << " folds at " << i << "/" << j;
            }
        }
    }
    EXPECT_EQ(QSet<QString>(perClass.keyBegin(), perClass.keyEnd()),
              (QSet<QString>{QStringLiteral("forest"), QStringLiteral("hill"), QStringLiteral("lake"), QStringLiteral("town")}));
    EXPECT_GE(perClass.value(QStringLiteral("forest")), 3);
    EXPECT_GE(perClass.value(QStringLiteral("lake")), 2);
    EXPECT_GE(perClass.value(QStringLiteral("hill")), 3);
    EXPECT_GE(perClass.value(QStringLiteral("town")), 2);
}

TEST_F(GeoJsonFiles, RiversAndRoadsAreNamedLinesInsideTheMap)
{
    const Geography& g = exerciseArea();
    const QJsonArray rivers = features("rivers.geojson");
    const QJsonArray roads = features("roads.geojson");
    EXPECT_EQ(size_t(rivers.size()), g.rivers.size());
    EXPECT_EQ(size_t(roads.size()), g.roads.size());
    QSet<QString> roadClasses;
    for (const QJsonArray& set : {rivers, roads}) {
        for (const QJsonValue& f : set) {
            const std::string name = prop(f, "name").toStdString();
            EXPECT_FALSE(name.empty());
            EXPECT_EQ(geometryType(f), QStringLiteral("LineString")) << name;
            const QJsonArray line = coordinates(f);
            EXPECT_GE(line.size(), 2) << name;
            for (const QJsonValue& p : line)
                expectInBox(p.toArray(), name);
        }
    }
    for (const QJsonValue& f : roads)
        roadClasses.insert(prop(f, "class"));
    EXPECT_EQ(roadClasses, (QSet<QString>{QStringLiteral("highway"), QStringLiteral("road")}));
}

TEST_F(GeoJsonFiles, PlacesArePointsAtTheirMapPositions)
{
    const Geography& g = exerciseArea();
    const QJsonArray fs = features("places.geojson");
    ASSERT_EQ(size_t(fs.size()), g.places.size());
    bool sawTown = false;
    for (const QJsonValue& f : fs) {
        EXPECT_EQ(geometryType(f), QStringLiteral("Point"));
        expectInBox(coordinates(f), prop(f, "name").toStdString());
        if (prop(f, "name") == QString::fromUtf8("柳河镇")) {
            sawTown = true;
            // 19.1 km east and 14.8 km south of the corner.
            EXPECT_NEAR(coordinates(f)[0].toDouble(), 117.0 + 19.1 / kKmPerDegreeLon, 2e-6);
            EXPECT_NEAR(coordinates(f)[1].toDouble(), 36.3 - 14.8 / 111.32, 2e-6);
        }
    }
    EXPECT_TRUE(sawTown);
}

TEST(GeoJsonWrite, FailsWhenTheFolderCannotBeMade)
{
    TestDir dir;
    const auto blocker = dir.write(QStringLiteral("gis"), "x");
    QString error;
    EXPECT_FALSE(writeGeoJson(exerciseArea(), QString::fromStdString(blocker) + QStringLiteral("/sub"), &error));
    EXPECT_FALSE(error.isEmpty());
}
