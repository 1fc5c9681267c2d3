#include "Geography.h"

#include "Noise.h"

#include <QLineF>
#include <QTransform>
#include <cmath>
#include <numbers>

namespace mkdata {

namespace {

constexpr double kPi = std::numbers::pi;

QPolygonF poly(std::initializer_list<QPointF> pts)
{
    return QPolygonF(QList<QPointF>(pts));
}

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QPointF normalAt(const QPolygonF& p, int i, bool closed)
{
    const int n = int(p.size());
    const QPointF a = (closed || i > 0) ? p[(i - 1 + n) % n] : p[i];
    const QPointF b = (closed || i < n - 1) ? p[(i + 1) % n] : p[i];
    const QPointF d = b - a;
    const double len = std::hypot(d.x(), d.y());
    return len > 0 ? QPointF(-d.y() / len, d.x() / len) : QPointF();
}

// Natural-looking edge: points pushed along the normal by smooth noise.
// Open lines keep their ends, so junctions and edge crossings stay put.
QPolygonF meander(const QPolygonF& line, bool closed, double amp, double scaleKm, int octaves, uint32_t seed)
{
    QPolygonF out(line.size());
    double s = 0;
    double total = 0;
    for (int i = 1; i < line.size(); ++i)
        total += QLineF(line[i - 1], line[i]).length();
    for (int i = 0; i < line.size(); ++i) {
        if (i > 0)
            s += QLineF(line[i - 1], line[i]).length();
        double a = amp;
        if (!closed) {
            const double edge = std::min(s, total - s);
            a *= std::clamp(edge / 0.8, 0.0, 1.0);
        }
        // Sums of octaves crowd around the middle: stretch them to use the range.
        const double n = std::clamp(3.2 * (noise::fbm(s / scaleKm, 0.5, seed, octaves) - 0.5), -1.0, 1.0);
        out[i] = line[i] + normalAt(line, i, closed) * (a * n);
    }
    return out;
}

QPointF closestOn(const QPolygonF& line, const QPointF& p, double* dist)
{
    QPointF best = line.first();
    double bestD = 1e300;
    for (int i = 1; i < line.size(); ++i) {
        const QPointF a = line[i - 1], d = line[i] - a;
        const double len2 = d.x() * d.x() + d.y() * d.y();
        double t = len2 > 0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2 : 0;
        t = std::clamp(t, 0.0, 1.0);
        const QPointF q = a + d * t;
        const double dd = QLineF(p, q).length();
        if (dd < bestD) {
            bestD = dd;
            best = q;
        }
    }
    *dist = bestD;
    return best;
}

Area forest(const char* name, QPolygonF ring, uint32_t seed)
{
    ring = resample(catmullRom(ring, true, 8), 0.1, true);
    return {u("forest"), u(name), meander(ring, true, 0.5, 1.1, 4, seed)};
}

Area lake(const char* name, QPolygonF ring, uint32_t seed)
{
    ring = resample(catmullRom(ring, true, 8), 0.08, true);
    return {u("lake"), u(name), meander(ring, true, 0.18, 0.7, 3, seed)};
}

Area town(const char* name, const QPolygonF& ring)
{
    return {u("town"), u(name), catmullRom(ring, true, 4)};
}

Line river(const char* name, QPolygonF path, double widthPx, uint32_t seed)
{
    path = resample(catmullRom(path, false, 8), 0.08, false);
    return {u("river"), u(name), meander(path, false, 0.3, 0.9, 2, seed), widthPx};
}

Line road(const char* cls, const char* name, QPolygonF path)
{
    return {u(cls), u(name), resample(catmullRom(path, false, 6), 0.1, false),
            QLatin1String(cls) == QLatin1String("highway") ? 4.0 : 2.6};
}

Geography build()
{
    Geography g;

    g.hills = {
        {u("鹰嘴山"), {7.5, 5.5}, 3.6, 2.8, 30, 486},
        {u("北岭"), {21.5, 3.2}, 4.8, 1.6, -10, 315},
        {u("卧牛岭"), {31.5, 4.8}, 5.5, 2.2, 20, 392},
        {u("小孤山"), {25.5, 11.5}, 1.2, 0.9, 0, 168},
        {u("马鞍山"), {14.2, 23.8}, 3.0, 1.9, -25, 287},
        {u("青龙山"), {34.5, 21.8}, 3.8, 2.8, 40, 438},
        {u("西山"), {2.4, 23.2}, 2.0, 2.8, 0, 226},
    };

    g.areas = {
        forest("鹰嘴山林区", poly({{3.0, 2.2}, {6.0, 1.2}, {9.4, 2.0}, {10.8, 4.4}, {10.2, 7.4},
                                   {8.0, 8.6}, {5.2, 8.2}, {3.2, 6.6}, {2.4, 4.2}}), 11),
        forest("北岭林场", poly({{17.6, 1.6}, {20.4, 1.0}, {24.4, 1.6}, {25.6, 3.4}, {23.2, 4.8},
                                 {19.8, 4.6}, {17.4, 3.4}}), 12),
        forest("卧牛岭林区", poly({{28.6, 3.4}, {31.8, 2.6}, {35.6, 3.6}, {36.6, 5.8}, {34.0, 6.8},
                                   {30.2, 6.4}}), 13),
        forest("青龙山林区", poly({{31.2, 20.2}, {34.6, 19.6}, {37.8, 20.4}, {38.4, 23.2}, {35.6, 24.0},
                                   {32.4, 24.0}, {30.8, 22.6}}), 14),
        forest("马鞍山林区", poly({{11.8, 22.0}, {14.6, 21.6}, {17.0, 22.6}, {16.8, 25.4}, {14.0, 26.4},
                                   {11.6, 25.2}}), 15),
        forest("西山林区", poly({{0.5, 20.6}, {2.8, 20.0}, {4.2, 21.8}, {3.8, 25.4}, {1.8, 26.2},
                                 {0.5, 24.6}}), 16),
        forest("小孤山林", poly({{26.0, 10.6}, {28.4, 10.2}, {29.2, 11.8}, {27.0, 12.6}}), 17),
        forest("南岗林", poly({{19.8, 26.0}, {21.6, 25.4}, {22.6, 26.6}, {21.4, 27.8}, {19.6, 27.2}}), 18),
        forest("杨树林", poly({{8.6, 17.2}, {10.6, 16.8}, {11.2, 18.0}, {9.2, 18.6}}), 19),
        forest("东坡林", poly({{33.0, 12.6}, {35.2, 12.4}, {35.6, 13.8}, {33.4, 14.2}}), 20),
        forest("槐树林", poly({{25.0, 19.0}, {26.8, 18.8}, {27.2, 20.2}, {25.4, 20.6}}), 24),
        forest("王家林", poly({{1.0, 9.5}, {3.0, 9.0}, {3.4, 10.6}, {1.4, 11.0}}), 25),
        lake("青湖", poly({{1.6, 14.6}, {2.4, 13.3}, {3.6, 13.6}, {4.6, 12.9}, {6.0, 13.5}, {6.4, 14.4},
                           {7.2, 15.2}, {6.3, 16.2}, {5.0, 16.9}, {4.2, 16.2}, {3.1, 16.7}, {2.0, 15.9}}), 21),
        lake("东山水库", poly({{35.6, 9.4}, {35.9, 8.4}, {37.0, 7.7}, {38.4, 7.9}, {39.3, 8.8},
                               {38.9, 9.9}, {37.6, 10.3}, {36.4, 10.1}}), 22),
        lake("鱼塘", poly({{9.2, 14.4}, {10.0, 14.2}, {10.3, 14.8}, {9.6, 15.2}, {9.0, 14.9}}), 26),
        lake("莲花塘", poly({{20.6, 10.6}, {21.4, 10.5}, {21.8, 11.1}, {21.2, 11.6}, {20.5, 11.3}}), 23),
        town("柳河镇", poly({{17.9, 14.1}, {18.6, 13.8}, {19.3, 14.0}, {20.0, 14.3}, {20.4, 14.9}, {20.1, 15.5},
                              {19.3, 15.5}, {18.8, 15.9}, {18.1, 15.6}, {17.7, 15.0}})),
        town("石门镇", poly({{12.9, 9.1}, {13.6, 8.8}, {14.3, 9.0}, {14.6, 9.7}, {14.2, 10.3}, {13.5, 10.4},
                              {12.9, 10.0}})),
        town("东关镇", poly({{29.3, 16.4}, {30.1, 16.1}, {30.9, 16.3}, {31.2, 17.0}, {30.8, 17.6}, {30.0, 17.7},
                              {29.2, 17.3}})),
    };

    g.rivers = {
        river("清水河", poly({{13.2, 0.0}, {13.6, 2.5}, {12.4, 5.0}, {13.0, 7.5}, {14.2, 10.0},
                              {16.5, 12.2}, {19.8, 13.3}, {21.4, 14.3}, {23.2, 16.6}, {23.4, 19.2},
                              {25.6, 21.3}, {28.2, 23.2}, {29.0, 26.3}, {30.4, 30.0}}), 6.0, 31),
        river("柳溪", poly({{35.6, 9.4}, {33.5, 10.6}, {30.5, 12.6}, {27.5, 13.2}, {24.5, 13.4},
                            {21.4, 14.3}}), 3.5, 32),
        river("白沙河", poly({{5.0, 16.9}, {6.2, 19.5}, {7.8, 21.5}, {6.8, 24.5}, {7.6, 27.5},
                              {8.4, 30.0}}), 3.5, 33),
        river("石沟", poly({{10.2, 1.8}, {11.6, 3.4}, {12.4, 5.0}}), 2.0, 34),
    };
    // Tributaries end on the main river as it was finally drawn, and rivers
    // leaving a lake start on its shore.
    for (Line& r : g.rivers) {
        for (const Area& a : g.areas) {
            if (a.cls != QLatin1String("lake"))
                continue;
            double d = 0;
            const QPointF q = closestOn(QPolygonF(a.ring) << a.ring.first(), r.path.first(), &d);
            if (d < 0.4)
                r.path.first() = q;
        }
        for (const Line& other : g.rivers) {
            if (&other == &r)
                continue;
            for (QPointF* end : {&r.path.first(), &r.path.last()}) {
                double d = 0;
                const QPointF q = closestOn(other.path, *end, &d);
                if (d < 0.3)
                    *end = q;
            }
        }
    }

    g.roads = {
        road("highway", "长岭高速", poly({{0.0, 12.2}, {5.5, 12.1}, {10.5, 12.4}, {14.5, 14.0}, {17.6, 16.6},
                                        {21.5, 17.1}, {25.5, 17.9}, {30.0, 18.4}, {35.0, 19.0}, {40.0, 19.6}})),
        road("road", "S231省道", poly({{18.4, 0.0}, {18.7, 3.0}, {17.9, 6.2}, {17.2, 9.0}, {18.2, 11.8},
                                     {19.1, 14.8}, {18.6, 17.2}, {17.6, 19.0}, {17.8, 22.4}, {18.0, 26.0},
                                     {17.0, 30.0}})),
        road("road", "X012县道", poly({{0.0, 6.4}, {2.6, 8.6}, {5.0, 10.0}, {9.0, 9.6}, {13.7, 9.7}, {17.2, 9.0}})),
        road("road", "柳东公路", poly({{19.1, 14.8}, {22.0, 15.0}, {23.6, 15.4}, {26.6, 16.0}, {30.1, 17.0},
                                     {33.6, 16.4}, {37.0, 15.6}, {40.0, 15.0}})),
        road("road", "关湾公路", poly({{30.1, 17.0}, {29.3, 20.0}, {27.6, 22.6}, {27.6, 25.0}, {27.2, 27.6},
                                     {27.6, 30.0}})),
        road("road", "李家营公路", poly({{17.2, 9.0}, {21.4, 8.6}, {26.5, 8.0}, {30.8, 9.2}, {34.0, 11.6},
                                       {36.2, 13.4}, {37.0, 15.6}})),
        road("road", "北坡公路", poly({{18.7, 3.0}, {22.6, 2.2}, {27.0, 1.6}, {32.0, 1.2}, {36.0, 1.0}, {40.0, 0.8}})),
        road("road", "西河公路", poly({{17.6, 19.0}, {13.8, 19.4}, {10.0, 20.6}, {6.6, 23.0}, {3.2, 27.4},
                                     {0.0, 28.6}})),
        road("road", "南岗公路", poly({{18.0, 26.0}, {21.2, 24.6}, {24.2, 24.8}, {27.6, 25.0}, {30.6, 25.6},
                                     {32.6, 24.9}, {36.0, 24.6}, {40.0, 24.4}})),
    };

    auto town = [](const char* n, QPointF p, QPointF off) { return Place{u(n), p, PlaceKind::Town, off}; };
    auto village = [](const char* n, QPointF p, QPointF off) { return Place{u(n), p, PlaceKind::Village, off}; };
    g.places = {
        town("柳河镇", {19.1, 14.8}, {0, 32}),
        town("石门镇", {13.7, 9.7}, {-80, -10}),
        town("东关镇", {30.1, 17.0}, {0, -30}),
        village("王家庄", {5.0, 10.0}, {0, -15}),
        village("李家营", {26.5, 8.0}, {0, -15}),
        village("张家湾", {27.6, 25.0}, {-30, 12}),
        village("赵庄", {10.0, 20.6}, {0, 15}),
        village("高家岭", {24.2, 24.8}, {0, -15}),
        village("前屯", {37.0, 15.6}, {0, -15}),
        village("后屯", {32.6, 24.9}, {0, -15}),
        village("马家集", {17.6, 19.0}, {30, 8}),
        village("西河村", {3.2, 27.4}, {30, 8}),
        village("北坡村", {27.0, 1.6}, {0, 15}),
    };
    for (const Hill& h : g.hills)
        g.places.push_back({h.name, h.peak, PlaceKind::Peak, {0, -18}});
    return g;
}

} // namespace

QPolygonF Hill::foot() const
{
    // Where the hill has fallen to about a third of its height.
    QPolygonF ring;
    QTransform t;
    t.translate(peak.x(), peak.y());
    t.rotate(angleDeg);
    for (int i = 0; i < 32; ++i) {
        const double a = 2 * kPi * i / 32;
        ring << t.map(QPointF(rx * std::cos(a), ry * std::sin(a)));
    }
    return ring;
}

const Geography& exerciseArea()
{
    static const Geography g = build();
    return g;
}

double kmPerDegreeLon()
{
    return kKmPerDegreeLat * std::cos(36.15 * kPi / 180.0);
}

QPointF kmToLonLat(const QPointF& km)
{
    return {kOriginLon + km.x() / kmPerDegreeLon(), kOriginLat - km.y() / kKmPerDegreeLat};
}

QPolygonF catmullRom(const QPolygonF& pts, bool closed, int steps)
{
    const int n = int(pts.size());
    if (n < 3)
        return pts;
    auto at = [&](int i) {
        if (closed)
            return pts[((i % n) + n) % n];
        return pts[std::clamp(i, 0, n - 1)];
    };
    QPolygonF out;
    const int segments = closed ? n : n - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        for (int k = 0; k < steps; ++k) {
            const double t = double(k) / steps, t2 = t * t, t3 = t2 * t;
            out << 0.5 * (2 * p1 + (p2 - p0) * t + (2 * p0 - 5 * p1 + 4 * p2 - p3) * t2 +
                          (3 * p1 - p0 - 3 * p2 + p3) * t3);
        }
    }
    if (!closed)
        out << pts.last();
    return out;
}

QPolygonF resample(const QPolygonF& line, double spacing, bool closed)
{
    QPolygonF src = line;
    if (closed && !src.isEmpty())
        src << src.first();
    QPolygonF out;
    if (src.size() < 2)
        return src;
    double total = 0;
    for (int i = 1; i < src.size(); ++i)
        total += QLineF(src[i - 1], src[i]).length();
    const int count = std::max(closed ? 3 : 1, int(std::round(total / spacing)));
    const double step = total / count;
    int seg = 1;
    double segStart = 0;
    for (int k = 0; k <= count; ++k) {
        if (closed && k == count)
            break;
        const double s = k * step;
        while (seg < src.size() - 1 && segStart + QLineF(src[seg - 1], src[seg]).length() < s) {
            segStart += QLineF(src[seg - 1], src[seg]).length();
            ++seg;
        }
        const double len = QLineF(src[seg - 1], src[seg]).length();
        const double t = len > 0 ? std::clamp((s - segStart) / len, 0.0, 1.0) : 0;
        out << src[seg - 1] + (src[seg] - src[seg - 1]) * t;
    }
    if (!closed)
        out.last() = src.last();
    return out;
}

} // namespace mkdata
