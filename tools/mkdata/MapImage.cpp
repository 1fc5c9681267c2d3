#include "MapImage.h"

#include "Geography.h"
#include "Noise.h"
#include "Painting.h"

#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace mkdata {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kValleyKm = 1.6; // how far a river's valley floor reaches

const QColor kWater(164, 204, 236);
const QColor kWaterLine(40, 100, 190);
const QColor kContour(164, 112, 62);
const QColor kGrid(20, 34, 110);

double smoothstep(double a, double b, double x)
{
    const double t = std::clamp((x - a) / (b - a), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

// Plain: rising gently towards the north, with low undulations and knolls.
double baseElevation(double x, double y)
{
    const double swell = 30 * (noise::fbm(x / 4.5, y / 4.5, 101, 4) - 0.5);
    const double knolls = 55 * std::pow(std::max(0.0, noise::fbm(x / 1.6, y / 1.6, 103, 3) - 0.55), 1.4) * 3;
    return 48 + 34 * (1 - y / 30) + swell + knolls;
}

double hillElevation(const Geography& g, double x, double y)
{
    // Warp the ground under the hills so their feet are not ellipses.
    const double wx = x + 1.2 * (noise::fbm(x / 2.5, y / 2.5, 211, 3) - 0.5);
    const double wy = y + 1.2 * (noise::fbm(x / 2.5, y / 2.5, 212, 3) - 0.5);
    // Spurs and gullies: ridged noise, strongest on the slopes.
    const double ridged = 1 - std::fabs(2 * noise::fbm(x / 1.4, y / 1.4, 202, 4) - 1);
    double h = 0;
    for (const Hill& hill : g.hills) {
        const double a = hill.angleDeg * kPi / 180;
        const double dx = wx - hill.peak.x(), dy = wy - hill.peak.y();
        const double lx = (dx * std::cos(a) + dy * std::sin(a)) / hill.rx;
        const double ly = (-dx * std::sin(a) + dy * std::cos(a)) / hill.ry;
        const double d2 = lx * lx + ly * ly;
        if (d2 > 12)
            continue;
        const double core = std::exp(-d2);
        // Shoulders along the long axis make a ridge rather than a dome.
        const double shoulders = 0.45 * (std::exp(-((lx - 0.7) * (lx - 0.7) + ly * ly) * 2.2) +
                                         std::exp(-((lx + 0.75) * (lx + 0.75) + ly * ly) * 2.2));
        const double body = std::max(core, shoulders * (1 - core * 0.5));
        h += hill.height * body * (1 + 1.1 * (ridged - 0.55) * (1 - core));
    }
    return h;
}

double carve(double base, double hills, double riverDistKm)
{
    // Rivers run in valleys: the hills fade out towards the water.
    return base - 4 + (hills + 4) * smoothstep(0.12, kValleyKm, riverDistKm);
}

double distanceToSegment(const QPointF& p, const QPointF& a, const QPointF& b)
{
    const QPointF d = b - a;
    const double len2 = d.x() * d.x() + d.y() * d.y();
    double t = len2 > 0 ? ((p.x() - a.x()) * d.x() + (p.y() - a.y()) * d.y()) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return QLineF(p, a + d * t).length();
}

QPointF toPx(const QPointF& km)
{
    return km * kPxPerKm;
}

QPolygonF toPx(const QPolygonF& km)
{
    QPolygonF out;
    out.reserve(km.size());
    for (const QPointF& p : km)
        out << toPx(p);
    return out;
}

QColor tint(double h)
{
    struct Stop {
        double h;
        int r, g, b;
    };
    static const Stop stops[] = {{0, 222, 234, 200},   {100, 230, 236, 202}, {180, 238, 230, 190},
                                 {260, 234, 214, 170}, {360, 224, 198, 154}, {480, 210, 180, 140}};
    if (h <= stops[0].h)
        return QColor(stops[0].r, stops[0].g, stops[0].b);
    for (size_t i = 1; i < std::size(stops); ++i) {
        if (h <= stops[i].h) {
            const Stop &a = stops[i - 1], &b = stops[i];
            const double t = (h - a.h) / (b.h - a.h);
            return QColor(int(a.r + (b.r - a.r) * t), int(a.g + (b.g - a.g) * t), int(a.b + (b.b - a.b) * t));
        }
    }
    const Stop& l = stops[std::size(stops) - 1];
    return QColor(l.r, l.g, l.b);
}

// Elevation sampled every `step` km, with rivers carved in.
struct Relief {
    int w = 0, h = 0;
    double step = 0;
    std::vector<float> z;
    float at(int i, int j) const { return z[size_t(std::clamp(j, 0, h - 1)) * size_t(w) + size_t(std::clamp(i, 0, w - 1))]; }
    double sample(double xKm, double yKm) const
    {
        const double fx = xKm / step, fy = yKm / step;
        const int i = int(std::floor(fx)), j = int(std::floor(fy));
        const double tx = fx - i, ty = fy - j;
        return (at(i, j) * (1 - tx) + at(i + 1, j) * tx) * (1 - ty) +
               (at(i, j + 1) * (1 - tx) + at(i + 1, j + 1) * tx) * ty;
    }
};

Relief buildRelief(const Geography& g, double step)
{
    Relief r;
    r.step = step;
    r.w = int(std::ceil(g.widthKm / step)) + 2;
    r.h = int(std::ceil(g.heightKm / step)) + 2;
    // Distance to the nearest river, filled segment by segment inside a band
    // around each one instead of testing every segment for every sample.
    std::vector<float> dist(size_t(r.w) * size_t(r.h), float(kValleyKm * 2));
    for (const Line& river : g.rivers) {
        for (int k = 1; k < river.path.size(); ++k) {
            const QPointF a = river.path[k - 1], b = river.path[k];
            const int i0 = std::max(0, int((std::min(a.x(), b.x()) - kValleyKm) / step));
            const int i1 = std::min(r.w - 1, int((std::max(a.x(), b.x()) + kValleyKm) / step) + 1);
            const int j0 = std::max(0, int((std::min(a.y(), b.y()) - kValleyKm) / step));
            const int j1 = std::min(r.h - 1, int((std::max(a.y(), b.y()) + kValleyKm) / step) + 1);
            for (int j = j0; j <= j1; ++j) {
                for (int i = i0; i <= i1; ++i) {
                    float& d = dist[size_t(j) * size_t(r.w) + size_t(i)];
                    d = std::min(d, float(distanceToSegment(QPointF(i * step, j * step), a, b)));
                }
            }
        }
    }
    r.z.resize(dist.size());
    for (int j = 0; j < r.h; ++j) {
        for (int i = 0; i < r.w; ++i) {
            const double x = i * step, y = j * step;
            const size_t idx = size_t(j) * size_t(r.w) + size_t(i);
            r.z[idx] = float(carve(baseElevation(x, y), hillElevation(g, x, y), dist[idx]));
        }
    }
    return r;
}

// Shaded relief and contour lines, written straight into the pixels.
void paintRelief(QImage& img, const Relief& relief)
{
    const double kmPerPx = 1.0 / kPxPerKm;
    // Light from the north-west, 45 degrees up: the usual map convention.
    const double lx = -0.5, ly = -0.5, lz = std::sqrt(0.5);
    const double exaggeration = 3.0;
    for (int py = 0; py < img.height(); ++py) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(py));
        for (int px = 0; px < img.width(); ++px) {
            const double x = (px + 0.5) * kmPerPx, y = (py + 0.5) * kmPerPx;
            const double h = relief.sample(x, y);
            const double e = kmPerPx;
            // Slope in metres of height per metre of ground.
            const double gx = (relief.sample(x + e, y) - relief.sample(x - e, y)) / (2 * e * 1000);
            const double gy = (relief.sample(x, y + e) - relief.sample(x, y - e)) / (2 * e * 1000);
            const double nx = -gx * exaggeration, ny = -gy * exaggeration;
            const double shade = (nx * lx + ny * ly + lz) / std::sqrt(nx * nx + ny * ny + 1);
            const double f = std::clamp(1 + (shade - lz) * 1.25, 0.62, 1.12);
            QColor c = tint(h);
            double r = c.red() * f, gr = c.green() * f, b = c.blue() * f;

            // Contours every 25 m, index contours every 100 m, about one
            // pixel wide whatever the slope: distance to the level in pixels.
            const double slopePx = std::hypot(gx, gy) * 1000 * kmPerPx; // m per pixel
            if (slopePx > 0.02) {
                for (const auto& [interval, halfWidth, strength] :
                     {std::tuple{100.0, 0.75, 0.85}, std::tuple{25.0, 0.4, 0.5}}) {
                    const double d = std::fabs(h - interval * std::round(h / interval)) / slopePx;
                    const double a = std::clamp(halfWidth + 0.5 - d, 0.0, 1.0) * strength;
                    if (a > 0) {
                        r += (kContour.red() - r) * a;
                        gr += (kContour.green() - gr) * a;
                        b += (kContour.blue() - b) * a;
                        break;
                    }
                }
            }
            line[px] = qRgb(std::clamp(int(r), 0, 255), std::clamp(int(gr), 0, 255), std::clamp(int(b), 0, 255));
        }
    }
}

QPainterPath areaPath(const Area& a)
{
    QPainterPath p;
    p.addPolygon(toPx(a.ring));
    p.closeSubpath();
    return p;
}

void paintForests(QPainter& p, const Geography& g)
{
    for (const Area& a : g.areas) {
        if (a.cls != QLatin1String("forest"))
            continue;
        const QPainterPath path = areaPath(a);
        p.save();
        p.setCompositionMode(QPainter::CompositionMode_Multiply);
        p.fillPath(path, QColor(178, 222, 150));
        p.restore();
        // Scattered tree marks on a jittered lattice.
        p.save();
        p.setClipPath(path);
        p.setPen(QPen(QColor(60, 120, 50), 1.0));
        p.setBrush(QColor(120, 180, 95));
        const QRectF box = path.boundingRect();
        const int cell = 13;
        for (int j = int(box.top()) / cell; j <= int(box.bottom()) / cell; ++j) {
            for (int i = int(box.left()) / cell; i <= int(box.right()) / cell; ++i) {
                const double jx = noise::lattice(i, j, 301) * 8, jy = noise::lattice(i, j, 302) * 8;
                const QPointF c(i * cell + jx + (j % 2) * 6, j * cell + jy);
                p.drawEllipse(c, 2.4, 2.4);
            }
        }
        p.restore();
        p.setPen(QPen(QColor(90, 150, 70), 1.0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
}

void paintWater(QPainter& p, const Geography& g)
{
    for (const Line& r : g.rivers) {
        p.setPen(QPen(kWaterLine, r.widthPx + 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(toPx(r.path));
    }
    for (const Area& a : g.areas) {
        if (a.cls != QLatin1String("lake"))
            continue;
        p.setPen(QPen(kWaterLine, 1.6));
        p.setBrush(kWater);
        p.drawPath(areaPath(a));
    }
    for (const Line& r : g.rivers) {
        if (r.widthPx < 3)
            continue;
        p.setPen(QPen(kWater, r.widthPx - 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(toPx(r.path));
    }
}

// Blocks of houses: a street grid clipped to the outline, some lots empty.
void paintBlocks(QPainter& p, const QPainterPath& clip, const QRectF& box, double cell, uint32_t seed)
{
    p.save();
    p.setClipPath(clip);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(120, 80, 72));
    for (int j = int(box.top() / cell); j <= int(box.bottom() / cell); ++j) {
        for (int i = int(box.left() / cell); i <= int(box.right() / cell); ++i) {
            if (noise::lattice(i, j, seed) < 0.22)
                continue;
            const double w = cell * (0.45 + 0.3 * noise::lattice(i, j, seed + 1));
            p.drawRect(QRectF(i * cell + 1.5, j * cell + 1.5, w, cell * 0.55));
        }
    }
    p.restore();
}

void paintSettlements(QPainter& p, const Geography& g)
{
    for (const Area& a : g.areas) {
        if (a.cls != QLatin1String("town"))
            continue;
        const QPainterPath path = areaPath(a);
        p.setPen(QPen(QColor(130, 80, 70), 1.4));
        p.setBrush(QColor(232, 196, 184));
        p.drawPath(path);
        paintBlocks(p, path, path.boundingRect(), 8, 401);
    }
    uint32_t seed = 500;
    for (const Place& pl : g.places) {
        if (pl.kind != PlaceKind::Village)
            continue;
        const QPointF c = toPx(pl.pos);
        QPainterPath blob;
        blob.addEllipse(c, 15, 10);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(232, 196, 184, 170));
        p.drawPath(blob);
        paintBlocks(p, blob, blob.boundingRect(), 7, seed += 7);
    }
}

void paintRoads(QPainter& p, const Geography& g)
{
    auto stroke = [&](const QString& cls, const QColor& color, double extra) {
        for (const Line& r : g.roads) {
            if (r.cls != cls)
                continue;
            p.setPen(QPen(color, r.widthPx + extra, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.drawPolyline(toPx(r.path));
        }
    };
    const QString road = QStringLiteral("road"), highway = QStringLiteral("highway");
    // All casings before all fills, so junctions join cleanly.
    stroke(road, QColor(70, 64, 60), 1.8);
    stroke(road, QColor(255, 238, 150), 0);
    stroke(highway, QColor(110, 40, 20), 2.4);
    stroke(highway, QColor(240, 120, 50), 0);
    stroke(highway, QColor(255, 226, 190), -3.2);
}

QPointF pointAlong(const QPolygonF& line, double s, QPointF* dir)
{
    double acc = 0;
    for (int i = 1; i < line.size(); ++i) {
        const double len = QLineF(line[i - 1], line[i]).length();
        if (acc + len >= s || i == line.size() - 1) {
            const double t = len > 0 ? std::clamp((s - acc) / len, 0.0, 1.0) : 0;
            if (dir)
                *dir = (line[i] - line[i - 1]) / std::max(len, 1e-9);
            return line[i - 1] + (line[i] - line[i - 1]) * t;
        }
        acc += len;
    }
    return line.isEmpty() ? QPointF() : line.last();
}

double lengthOf(const QPolygonF& line)
{
    double total = 0;
    for (int i = 1; i < line.size(); ++i)
        total += QLineF(line[i - 1], line[i]).length();
    return total;
}

// Upright characters strung along a line, beside it, in reading order
// (left to right, or top to bottom on a steep stretch).
void labelAlong(QPainter& p, const QPolygonF& linePx, double atFraction, const QString& text,
                const QFont& font, const QColor& color, double sidePx)
{
    const double total = lengthOf(linePx);
    const double spacing = font.pixelSize() * 1.7;
    const double centre = total * atFraction;
    const double span = spacing * double(text.size() - 1);
    QPointF dir;
    const QPointF a = pointAlong(linePx, centre - span / 2, &dir);
    const QPointF b = pointAlong(linePx, centre + span / 2, &dir);
    const bool steep = std::fabs(b.y() - a.y()) > std::fabs(b.x() - a.x());
    const bool reverse = steep ? b.y() < a.y() : b.x() < a.x();
    for (int k = 0; k < text.size(); ++k) {
        const int slot = reverse ? int(text.size()) - 1 - k : k;
        QPointF d;
        const QPointF at = pointAlong(linePx, centre - span / 2 + slot * spacing, &d);
        // Always on the upper or right-hand side of the line.
        QPointF n(d.y(), -d.x());
        if (n.y() > 0 || (std::fabs(n.y()) < 0.3 && n.x() < 0))
            n = -n;
        drawHaloText(p, at + n * sidePx, text.mid(k, 1), font, color, QColor(255, 255, 255, 210), 3.0);
    }
}

void paintHighwayShield(QPainter& p, const QPointF& at, const QString& text, const QColor& fill)
{
    const QFont f = fontPx(12, true);
    const QFontMetricsF fm(f);
    const QRectF r(at.x() - fm.horizontalAdvance(text) / 2 - 4, at.y() - 9, fm.horizontalAdvance(text) + 8, 18);
    p.setPen(QPen(Qt::white, 1.2));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
    p.setPen(Qt::white);
    p.setFont(f);
    p.drawText(r, Qt::AlignCenter, text);
}

void paintGrid(QPainter& p, const Geography& g)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const int W = int(g.widthKm * kPxPerKm), H = int(g.heightKm * kPxPerKm);
    for (int k = 1; k < int(g.widthKm); ++k) {
        QColor c = kGrid;
        c.setAlpha(k % 5 == 0 ? 150 : 80);
        p.setPen(QPen(c, 1));
        p.drawLine(int(k * kPxPerKm), 0, int(k * kPxPerKm), H);
    }
    for (int k = 1; k < int(g.heightKm); ++k) {
        QColor c = kGrid;
        c.setAlpha(k % 5 == 0 ? 150 : 80);
        p.setPen(QPen(c, 1));
        p.drawLine(0, int(k * kPxPerKm), W, int(k * kPxPerKm));
    }
    p.restore();
}

void paintGridLabels(QPainter& p, const Geography& g)
{
    const QFont f = fontPx(13, true);
    const int W = int(g.widthKm * kPxPerKm), H = int(g.heightKm * kPxPerKm);
    for (int k = 5; k < int(g.widthKm); k += 5) {
        const double x = k * kPxPerKm;
        drawHaloText(p, {x, 14}, QString::number(k), f, kGrid);
        drawHaloText(p, {x, H - 14.0}, QString::number(k), f, kGrid);
    }
    for (int k = 5; k < int(g.heightKm); k += 5) {
        const double y = k * kPxPerKm;
        drawHaloText(p, {16, y}, QString::number(k), f, kGrid);
        drawHaloText(p, {W - 18.0, y}, QString::number(k), f, kGrid);
    }
}

void paintNames(QPainter& p, const Geography& g)
{
    const QColor ink(20, 20, 20), brown(110, 60, 20), blue(30, 80, 170);
    for (const Line& r : g.rivers) {
        const QPolygonF px = toPx(r.path);
        const double len = lengthOf(px);
        const QFont f = fontPx(r.widthPx >= 4 ? 17 : 14);
        if (len < 300) {
            labelAlong(p, px, 0.5, r.name, f, blue, r.widthPx / 2 + 10);
            continue;
        }
        labelAlong(p, px, len > 1200 ? 0.33 : 0.55, r.name, f, blue, r.widthPx / 2 + 10);
        if (len > 1200)
            labelAlong(p, px, 0.74, r.name, f, blue, r.widthPx / 2 + 10);
    }
    for (const Area& a : g.areas) {
        if (a.cls != QLatin1String("lake"))
            continue;
        const QRectF box = toPx(a.ring).boundingRect();
        drawHaloText(p, box.center(), a.name, fontPx(box.width() > 100 ? 16 : 12), blue,
                     QColor(255, 255, 255, 160), 2.0);
    }
    for (const Line& r : g.roads) {
        const QPolygonF px = toPx(r.path);
        if (r.cls == QLatin1String("highway")) {
            for (double t : {0.18, 0.63})
                paintHighwayShield(p, pointAlong(px, lengthOf(px) * t, nullptr), r.name, QColor(0, 120, 60));
        } else if (r.name.startsWith(QLatin1Char('S'))) {
            const QString code = r.name.left(4);
            for (double t : {0.12, 0.86})
                paintHighwayShield(p, pointAlong(px, lengthOf(px) * t, nullptr), code, QColor(40, 90, 170));
        }
    }
    for (const Place& pl : g.places) {
        const QPointF c = toPx(pl.pos);
        switch (pl.kind) {
        case PlaceKind::Town:
            drawHaloText(p, c + pl.labelOffsetPx, pl.name, fontPx(22, true), ink, Qt::white, 4.0);
            break;
        case PlaceKind::Village:
            drawHaloText(p, c + pl.labelOffsetPx, pl.name, fontPx(14), ink, Qt::white, 3.0);
            break;
        case PlaceKind::Peak: {
            QPainterPath tri;
            tri.moveTo(c + QPointF(0, -6));
            tri.lineTo(c + QPointF(5.5, 4));
            tri.lineTo(c + QPointF(-5.5, 4));
            tri.closeSubpath();
            p.setPen(QPen(Qt::white, 1.2));
            p.setBrush(QColor(60, 30, 10));
            p.drawPath(tri);
            drawHaloText(p, c + pl.labelOffsetPx, pl.name, fontPx(16, true), brown, Qt::white, 3.0);
            const int z = int(std::lround(elevationAt(g, pl.pos.x(), pl.pos.y())));
            drawHaloText(p, c + QPointF(0, 15), QString::number(z), fontPx(12), brown, Qt::white, 2.5);
            break;
        }
        }
    }
}

void paintTitleBlock(QPainter& p, const Geography& g)
{
    const int W = int(g.widthKm * kPxPerKm), H = int(g.heightKm * kPxPerKm);
    const QRectF box(W - 418, H - 232, 400, 214);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(255, 255, 250));
    p.drawRect(box);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(box.adjusted(4, 4, -4, -4));

    const QColor ink(20, 20, 20);
    const double x0 = box.left() + 18;
    p.setPen(ink);
    p.setFont(fontPx(26, true));
    p.drawText(QPointF(x0, box.top() + 40), QString::fromUtf8("演习区域图"));
    p.setFont(fontPx(13));
    p.drawText(QPointF(x0, box.top() + 64),
               QString::fromUtf8("图幅 %1 × %2 公里　网格间距 1 公里").arg(g.widthKm).arg(g.heightKm));
    p.drawText(QPointF(x0, box.top() + 84), QString::fromUtf8("图廓左上角 东经 117°00′ 北纬 36°18′"));
    p.drawText(QPointF(x0, box.top() + 104), QString::fromUtf8("等高距 25 米　计曲线 100 米"));

    // Scale bar: five one-kilometre segments, alternately filled.
    const double sy = box.top() + 132;
    for (int k = 0; k < 5; ++k) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(k % 2 ? Qt::white : Qt::black);
        p.drawRect(QRectF(x0 + k * kPxPerKm, sy, kPxPerKm, 7));
    }
    p.setFont(fontPx(12));
    p.setPen(ink);
    for (int k = 0; k <= 5; ++k)
        p.drawText(QRectF(x0 + k * kPxPerKm - 15, sy + 9, 30, 16), Qt::AlignCenter, QString::number(k));
    p.drawText(QPointF(x0 + 5 * kPxPerKm + 18, sy + 8), QString::fromUtf8("公里"));

    // North arrow.
    const QPointF n(box.right() - 44, box.top() + 56);
    QPainterPath left, right;
    left.moveTo(n + QPointF(0, -28));
    left.lineTo(n + QPointF(-11, 18));
    left.lineTo(n + QPointF(0, 10));
    left.closeSubpath();
    right.moveTo(n + QPointF(0, -28));
    right.lineTo(n + QPointF(11, 18));
    right.lineTo(n + QPointF(0, 10));
    right.closeSubpath();
    p.setPen(QPen(Qt::black, 1.2));
    p.setBrush(Qt::black);
    p.drawPath(left);
    p.setBrush(Qt::white);
    p.drawPath(right);
    p.setFont(fontPx(15, true));
    p.drawText(QRectF(n.x() - 15, n.y() - 52, 30, 20), Qt::AlignCenter, QString::fromUtf8("北"));

    // Legend.
    const double ly = box.bottom() - 30;
    double lx = x0;
    auto item = [&](const QString& label, auto&& swatch) {
        swatch(QRectF(lx, ly - 6, 22, 12));
        p.setPen(ink);
        p.setFont(fontPx(12));
        p.drawText(QPointF(lx + 26, ly + 5), label);
        lx += 26 + QFontMetricsF(fontPx(12)).horizontalAdvance(label) + 12;
    };
    item(QString::fromUtf8("高速公路"), [&](QRectF r) {
        p.setPen(QPen(QColor(110, 40, 20), 6.4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
        p.setPen(QPen(QColor(240, 120, 50), 4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    });
    item(QString::fromUtf8("公路"), [&](QRectF r) {
        p.setPen(QPen(QColor(70, 64, 60), 4.4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
        p.setPen(QPen(QColor(255, 238, 150), 2.6, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    });
    item(QString::fromUtf8("河流"), [&](QRectF r) {
        p.setPen(QPen(kWaterLine, 3, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(r.left(), r.center().y()), QPointF(r.right(), r.center().y()));
    });
    item(QString::fromUtf8("林地"), [&](QRectF r) {
        p.setPen(QPen(QColor(60, 120, 50), 1));
        p.setBrush(QColor(178, 222, 150));
        p.drawRect(r);
    });
    item(QString::fromUtf8("居民地"), [&](QRectF r) {
        p.setPen(QPen(QColor(130, 80, 70), 1));
        p.setBrush(QColor(232, 196, 184));
        p.drawRect(r);
        p.fillRect(r.adjusted(4, 3, -12, -5), QColor(120, 80, 72));
        p.fillRect(r.adjusted(12, 5, -3, -3), QColor(120, 80, 72));
    });
}

} // namespace

double elevationAt(const Geography& g, double xKm, double yKm)
{
    double dist = kValleyKm * 2;
    const QPointF at(xKm, yKm);
    for (const Line& r : g.rivers) {
        for (int k = 1; k < r.path.size(); ++k)
            dist = std::min(dist, distanceToSegment(at, r.path[k - 1], r.path[k]));
    }
    return carve(baseElevation(xKm, yKm), hillElevation(g, xKm, yKm), dist);
}

QImage drawExerciseMap(const Geography& g)
{
    const int W = int(g.widthKm * kPxPerKm), H = int(g.heightKm * kPxPerKm);
    QImage img(W, H, QImage::Format_RGB32);
    paintRelief(img, buildRelief(g, 0.04));

    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintForests(p, g);
    // Rivers run through towns, so water goes over the houses.
    paintSettlements(p, g);
    paintWater(p, g);
    paintRoads(p, g);
    paintGrid(p, g);
    paintNames(p, g);
    paintGridLabels(p, g);
    paintTitleBlock(p, g);
    // Neat line round the sheet.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(Qt::black, 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(1, 1, W - 3, H - 3));
    return img;
}

} // namespace mkdata
