#include "GeoJson.h"

#include "Geography.h"

#include <QDir>
#include <QFile>
#include <QLineF>
#include <QSaveFile>
#include <QStringList>
#include <vector>

namespace mkdata {

namespace {

QString jsonString(const QString& s)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : s) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\') + QString(c);
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

// Douglas-Peucker in km: the map's lines are sampled far more densely than a
// GIS layer needs; 10 m is well under a pixel at any usual zoom.
void simplify(const QPolygonF& pts, int a, int b, double tol, std::vector<bool>& keep)
{
    if (b <= a + 1)
        return;
    const QLineF base(pts[a], pts[b]);
    double worst = -1;
    int at = a;
    for (int i = a + 1; i < b; ++i) {
        const QPointF d = pts[b] - pts[a];
        const double len = std::hypot(d.x(), d.y());
        const double dist = len > 0 ? std::fabs(d.x() * (pts[a].y() - pts[i].y()) - d.y() * (pts[a].x() - pts[i].x())) / len
                                    : QLineF(pts[a], pts[i]).length();
        if (dist > worst) {
            worst = dist;
            at = i;
        }
    }
    if (worst > tol) {
        keep[size_t(at)] = true;
        simplify(pts, a, at, tol, keep);
        simplify(pts, at, b, tol, keep);
    }
}

QPolygonF simplified(const QPolygonF& pts, bool closed)
{
    QPolygonF src = pts;
    if (closed)
        src << src.first();
    if (src.size() < 3)
        return src;
    std::vector<bool> keep(size_t(src.size()), false);
    keep.front() = keep.back() = true;
    if (closed) {
        // A ring needs a second anchor, or a straight first-to-last chord
        // would collapse it.
        const int mid = int(src.size()) / 2;
        keep[size_t(mid)] = true;
        simplify(src, 0, mid, 0.01, keep);
        simplify(src, mid, int(src.size()) - 1, 0.01, keep);
    } else {
        simplify(src, 0, int(src.size()) - 1, 0.01, keep);
    }
    QPolygonF out;
    for (int i = 0; i < src.size(); ++i) {
        if (keep[size_t(i)])
            out << src[i];
    }
    return out;
}

QString position(const QPointF& km)
{
    const QPointF ll = kmToLonLat(km);
    return QStringLiteral("[%1,%2]").arg(ll.x(), 0, 'f', 6).arg(ll.y(), 0, 'f', 6);
}

QString lineCoords(const QPolygonF& km)
{
    QStringList parts;
    for (const QPointF& p : simplified(km, false))
        parts << position(p);
    return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
}

// Closed ring, counter-clockwise as RFC 7946 asks for exterior rings.
QString ringCoords(const QPolygonF& km)
{
    QPolygonF ring = simplified(km, true);
    double area2 = 0;
    for (int i = 1; i < ring.size(); ++i)
        area2 += ring[i - 1].x() * ring[i].y() - ring[i].x() * ring[i - 1].y();
    if (area2 > 0) // with y pointing south a positive sum means clockwise
        std::reverse(ring.begin(), ring.end());
    QStringList parts;
    for (const QPointF& p : ring)
        parts << position(p);
    return QStringLiteral("[[") + parts.join(QLatin1Char(',')) + QStringLiteral("]]");
}

QString feature(const QString& type, const QString& coords, const QList<QPair<QString, QString>>& props)
{
    QStringList ps;
    for (const auto& [k, v] : props)
        ps << jsonString(k) + QLatin1Char(':') + jsonString(v);
    return QStringLiteral("{\"type\":\"Feature\",\"properties\":{%1},\"geometry\":{\"type\":\"%2\",\"coordinates\":%3}}")
        .arg(ps.join(QLatin1Char(',')), type, coords);
}

bool writeCollection(const QString& path, const QStringList& features, QString* error)
{
    QSaveFile f(path);
    if (f.open(QIODevice::WriteOnly)) {
        QByteArray text = "{\"type\":\"FeatureCollection\",\"features\":[\n";
        text += features.join(QStringLiteral(",\n")).toUtf8();
        text += "\n]}\n";
        f.write(text);
        if (f.commit())
            return true;
    }
    if (error)
        *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    return false;
}

} // namespace

bool writeGeoJson(const Geography& g, const QString& dir, QString* error)
{
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    const QString cls = QStringLiteral("class"), name = QStringLiteral("name");

    QStringList terrain;
    for (const Area& a : g.areas)
        terrain << feature(QStringLiteral("Polygon"), ringCoords(a.ring), {{cls, a.cls}, {name, a.name}});
    for (const Hill& h : g.hills)
        terrain << feature(QStringLiteral("Polygon"), ringCoords(h.foot()), {{cls, QStringLiteral("hill")}, {name, h.name}});

    QStringList rivers;
    for (const Line& r : g.rivers)
        rivers << feature(QStringLiteral("LineString"), lineCoords(r.path), {{name, r.name}});

    QStringList roads;
    for (const Line& r : g.roads)
        roads << feature(QStringLiteral("LineString"), lineCoords(r.path), {{cls, r.cls}, {name, r.name}});

    QStringList places;
    for (const Place& p : g.places) {
        const char* kind = p.kind == PlaceKind::Town ? "town" : p.kind == PlaceKind::Village ? "village" : "peak";
        places << feature(QStringLiteral("Point"), position(p.pos), {{name, p.name}, {QStringLiteral("kind"), QString::fromLatin1(kind)}});
    }

    const QString base = dir + QLatin1Char('/');
    return writeCollection(base + QStringLiteral("terrain.geojson"), terrain, error) &&
           writeCollection(base + QStringLiteral("rivers.geojson"), rivers, error) &&
           writeCollection(base + QStringLiteral("roads.geojson"), roads, error) &&
           writeCollection(base + QStringLiteral("places.geojson"), places, error);
}

} // namespace mkdata
