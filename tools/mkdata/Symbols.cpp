#include "Symbols.h"

#include "Painting.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <initializer_list>

namespace mkdata {

namespace {

const QColor kFriendly(128, 224, 255);
const QColor kInk(0, 0, 0);

bool containsAny(const QString& s, std::initializer_list<const char*> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](const char* w) { return s.contains(QString::fromUtf8(w)); });
}

// Horizontal stadium, the track ellipse of armoured and tracked units.
QRectF trackRect(const QRectF& r)
{
    const double w = r.width() * 0.62, h = r.height() * 0.42;
    return {r.center().x() - w / 2, r.center().y() - h / 2, w, h};
}

void drawTrack(QPainter& p, const QRectF& r)
{
    const QRectF t = trackRect(r);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(t, t.height() / 2, t.height() / 2);
}

void drawCross(QPainter& p, const QRectF& r)
{
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.bottomLeft(), r.topRight());
}

void drawDot(QPainter& p, const QRectF& r, double radius)
{
    p.save();
    p.setBrush(kInk);
    p.drawEllipse(r.center(), radius, radius);
    p.restore();
}

// Small upright missile (nose up) centred on c.
void drawUprightMissile(QPainter& p, const QPointF& c, double len)
{
    const double w = len * 0.22;
    QPainterPath m;
    m.moveTo(c.x(), c.y() - len / 2);
    m.lineTo(c.x() + w / 2, c.y() - len / 2 + w);
    m.lineTo(c.x() + w / 2, c.y() + len / 2 - w * 0.6);
    m.lineTo(c.x() + w * 1.2, c.y() + len / 2);
    m.lineTo(c.x() - w * 1.2, c.y() + len / 2);
    m.lineTo(c.x() - w / 2, c.y() + len / 2 - w * 0.6);
    m.lineTo(c.x() - w / 2, c.y() - len / 2 + w);
    m.closeSubpath();
    p.save();
    p.setBrush(kInk);
    p.drawPath(m);
    p.restore();
}

void drawLetter(QPainter& p, const QRectF& r, const QString& letter)
{
    QFont f = fontPx(std::max(6, int(r.height() * 0.72)), true);
    p.save();
    p.setFont(f);
    p.setPen(kInk);
    p.drawText(r, Qt::AlignCenter, letter);
    p.restore();
}

// The glyph inside a unit frame; r is the frame's inner area.
void drawUnitGlyph(QPainter& p, const Symbol& s, const QRectF& r, double pen)
{
    p.setPen(QPen(kInk, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    const double dot = std::max(1.6, r.height() * 0.13);
    switch (s.glyph) {
    case Glyph::Armour:
        drawTrack(p, r);
        break;
    case Glyph::MechanisedInfantry:
        drawCross(p, r);
        drawTrack(p, r);
        break;
    case Glyph::ArmouredCarrier: {
        drawTrack(p, r);
        const QRectF t = trackRect(r);
        p.drawLine(QPointF(t.left() + t.height() * 0.45, t.center().y()),
                   QPointF(t.right() - t.height() * 0.45, t.center().y()));
        break;
    }
    case Glyph::Infantry:
        drawCross(p, r);
        break;
    case Glyph::Artillery:
        drawDot(p, r, dot * 1.2);
        break;
    case Glyph::SelfPropelledGun:
        drawTrack(p, r);
        drawDot(p, r, dot);
        break;
    case Glyph::Reconnaissance:
        p.drawLine(r.bottomLeft(), r.topRight());
        break;
    case Glyph::AirDefence: {
        QPainterPath arc;
        const QRectF a(r.left(), r.bottom() - r.height() * 0.55, r.width(), r.height() * 1.1);
        arc.arcMoveTo(a, 180);
        arc.arcTo(a, 180, -180);
        p.drawPath(arc);
        drawUprightMissile(p, QPointF(r.center().x(), r.bottom() - r.height() * 0.62), r.height() * 0.62);
        break;
    }
    case Glyph::RotaryWing: {
        // Two triangles meeting at the hub, as the rotary-wing modifier.
        const QPointF c = r.center();
        const double hw = r.width() * 0.46, hh = r.height() * 0.32;
        QPainterPath bow;
        bow.moveTo(c);
        bow.lineTo(c.x() - hw, c.y() - hh);
        bow.lineTo(c.x() - hw, c.y() + hh);
        bow.closeSubpath();
        bow.moveTo(c);
        bow.lineTo(c.x() + hw, c.y() - hh);
        bow.lineTo(c.x() + hw, c.y() + hh);
        bow.closeSubpath();
        p.setBrush(kInk);
        p.drawPath(bow);
        break;
    }
    case Glyph::Ship: {
        const double x0 = r.left(), w = r.width(), y0 = r.top(), h = r.height();
        QPainterPath hull;
        hull.moveTo(x0, y0 + h * 0.55);
        hull.lineTo(x0 + w, y0 + h * 0.55);
        hull.lineTo(x0 + w * 0.82, y0 + h * 0.85);
        hull.lineTo(x0 + w * 0.12, y0 + h * 0.85);
        hull.closeSubpath();
        hull.addRect(QRectF(x0 + w * 0.30, y0 + h * 0.32, w * 0.34, h * 0.23));
        hull.addRect(QRectF(x0 + w * 0.42, y0 + h * 0.12, w * 0.10, h * 0.20));
        p.setBrush(kInk);
        p.drawPath(hull.simplified());
        break;
    }
    case Glyph::Truck: {
        const double x0 = r.left(), w = r.width(), y0 = r.top(), h = r.height();
        const double axle = y0 + h * 0.66, wheel = std::max(1.5, h * 0.14);
        p.drawRect(QRectF(x0 + w * 0.14, y0 + h * 0.22, w * 0.50, axle - (y0 + h * 0.22)));
        QPainterPath cab;
        cab.moveTo(x0 + w * 0.64, axle);
        cab.lineTo(x0 + w * 0.64, y0 + h * 0.36);
        cab.lineTo(x0 + w * 0.78, y0 + h * 0.36);
        cab.lineTo(x0 + w * 0.88, y0 + h * 0.52);
        cab.lineTo(x0 + w * 0.88, axle);
        cab.closeSubpath();
        p.drawPath(cab);
        p.setBrush(kInk);
        for (double fx : {0.28, 0.48, 0.76})
            p.drawEllipse(QPointF(x0 + w * fx, axle + wheel), wheel, wheel);
        break;
    }
    case Glyph::Lettered:
        drawLetter(p, r, s.letter);
        break;
    default:
        break;
    }
}

// Munition pointing right, filling r (length along x).
void drawMunition(QPainter& p, const Symbol& s, const QRectF& r, double pen)
{
    const double L = r.width(), x0 = r.left(), cy = r.center().y();
    p.setPen(QPen(kInk, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath body;
    switch (s.glyph) {
    case Glyph::Shell: {
        // Stubby projectile: flat base, driving band, ogive nose.
        const double rad = L * 0.20, xb = x0 + L * 0.08, xn = x0 + L * 0.55, xt = x0 + L * 0.96;
        body.moveTo(xb, cy - rad);
        body.lineTo(xn, cy - rad);
        body.quadTo(xt - L * 0.12, cy - rad, xt, cy);
        body.quadTo(xt - L * 0.12, cy + rad, xn, cy + rad);
        body.lineTo(xb, cy + rad);
        body.closeSubpath();
        p.setBrush(QColor(222, 176, 64));
        p.drawPath(body);
        p.setBrush(QColor(150, 90, 40));
        p.drawRect(QRectF(xb + L * 0.08, cy - rad, L * 0.07, 2 * rad));
        break;
    }
    case Glyph::Rocket: {
        const double rad = L * 0.10, xb = x0 + L * 0.16, xn = x0 + L * 0.78, xt = x0 + L;
        // Exhaust flame first, so the body's outline covers its root.
        QPainterPath flame;
        flame.moveTo(xb, cy - rad * 0.9);
        flame.quadTo(x0 + L * 0.04, cy - rad * 0.6, x0, cy);
        flame.quadTo(x0 + L * 0.04, cy + rad * 0.6, xb, cy + rad * 0.9);
        flame.closeSubpath();
        p.save();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 120, 20));
        p.drawPath(flame);
        p.restore();
        QPainterPath fins;
        fins.moveTo(xb, cy - rad * 2.6);
        fins.lineTo(xb + L * 0.16, cy - rad);
        fins.lineTo(xb + L * 0.16, cy + rad);
        fins.lineTo(xb, cy + rad * 2.6);
        fins.closeSubpath();
        p.setBrush(QColor(90, 110, 80));
        p.drawPath(fins);
        body.moveTo(xb, cy - rad);
        body.lineTo(xn, cy - rad);
        body.lineTo(xt, cy);
        body.lineTo(xn, cy + rad);
        body.lineTo(xb, cy + rad);
        body.closeSubpath();
        p.setBrush(QColor(140, 160, 120));
        p.drawPath(body);
        break;
    }
    case Glyph::Missile: {
        const double rad = L * 0.09, xb = x0 + L * 0.04, xn = x0 + L * 0.80, xt = x0 + L;
        QPainterPath fins;
        // Tail fins and mid-body wings: what tells a guided missile from a rocket.
        fins.moveTo(xb, cy - rad * 2.8);
        fins.lineTo(xb + L * 0.14, cy);
        fins.lineTo(xb, cy + rad * 2.8);
        fins.closeSubpath();
        fins.moveTo(x0 + L * 0.40, cy - rad * 2.6);
        fins.lineTo(x0 + L * 0.58, cy);
        fins.lineTo(x0 + L * 0.40, cy + rad * 2.6);
        fins.lineTo(x0 + L * 0.32, cy);
        fins.closeSubpath();
        p.setBrush(QColor(60, 70, 90));
        p.drawPath(fins);
        body.moveTo(xb, cy - rad);
        body.lineTo(xn, cy - rad);
        body.quadTo(xt - L * 0.06, cy - rad, xt, cy);
        body.quadTo(xt - L * 0.06, cy + rad, xn, cy + rad);
        body.lineTo(xb, cy + rad);
        body.closeSubpath();
        p.setBrush(QColor(236, 236, 236));
        p.drawPath(body);
        p.setBrush(QColor(210, 30, 30));
        p.drawRect(QRectF(xn - L * 0.06, cy - rad, L * 0.06, 2 * rad));
        break;
    }
    case Glyph::Bomb: {
        // Teardrop body with box fins at the tail.
        const double rad = L * 0.19, xf = x0 + L * 0.04;
        p.setBrush(QColor(60, 70, 40));
        p.drawRect(QRectF(xf, cy - rad * 0.95, L * 0.14, rad * 1.9));
        body.moveTo(xf + L * 0.10, cy - rad * 0.3);
        body.cubicTo(x0 + L * 0.35, cy - rad * 0.45, x0 + L * 0.35, cy - rad, x0 + L * 0.58, cy - rad);
        body.cubicTo(x0 + L * 0.85, cy - rad, x0 + L * 0.98, cy - rad * 0.5, x0 + L * 0.98, cy);
        body.cubicTo(x0 + L * 0.98, cy + rad * 0.5, x0 + L * 0.85, cy + rad, x0 + L * 0.58, cy + rad);
        body.cubicTo(x0 + L * 0.35, cy + rad, x0 + L * 0.35, cy + rad * 0.45, xf + L * 0.10, cy + rad * 0.3);
        body.closeSubpath();
        p.setBrush(QColor(118, 130, 74));
        p.drawPath(body);
        p.setPen(QPen(QColor(240, 200, 40), pen * 1.4));
        p.drawLine(QPointF(x0 + L * 0.76, cy - rad * 0.9), QPointF(x0 + L * 0.76, cy + rad * 0.9));
        break;
    }
    default: {
        // Unknown weapon: an arrow-shaped tag carrying the first character.
        const double h = L * 0.5;
        body.moveTo(x0, cy - h / 2);
        body.lineTo(x0 + L * 0.72, cy - h / 2);
        body.lineTo(x0 + L, cy);
        body.lineTo(x0 + L * 0.72, cy + h / 2);
        body.lineTo(x0, cy + h / 2);
        body.closeSubpath();
        p.setBrush(QColor(255, 190, 90));
        p.drawPath(body);
        drawLetter(p, QRectF(x0, cy - h / 2, L * 0.75, h), s.letter);
        break;
    }
    }
}

// Frame outline path and the area inside it that the glyph uses.
struct FrameGeometry {
    QPainterPath fill;    // area to fill
    QPainterPath outline; // what is stroked (the air frame is open at the bottom)
    QRectF inner;
};

// Straight edges on pixel boundaries, so thin frames stay sharp at icon size.
QRectF snapped(const QRectF& r, double pen)
{
    const double off = (int(std::lround(pen)) % 2) ? 0.5 : 0.0;
    return QRectF(std::round(r.left()) + off, std::round(r.top()) + off, std::round(r.width()),
                  std::round(r.height()));
}

// area: where the frame may go; centred: centre it vertically in the area
// (otherwise it hangs from the top, under the heading mark).
FrameGeometry frameGeometry(Frame f, const QRectF& area, bool centred, double pen)
{
    FrameGeometry g;
    auto place = [&](double w, double h) {
        const double top = centred ? area.top() + (area.height() - h) / 2 : area.top();
        return QRectF(area.center().x() - w / 2, top, w, h);
    };
    switch (f) {
    case Frame::Ground: {
        const QRectF r = snapped(place(area.width(), std::min(area.height(), area.width() / 1.5)), pen);
        g.fill.addRect(r);
        g.outline = g.fill;
        g.inner = r;
        break;
    }
    case Frame::Air: {
        const double w = area.width() * 0.9, h = std::min(area.height(), w * 0.6);
        const QRectF r = place(w, h);
        const QRectF ell(r.left(), r.top(), r.width(), r.height() * 2);
        g.outline.arcMoveTo(ell, 180);
        g.outline.arcTo(ell, 180, -180);
        g.fill = g.outline;
        g.fill.closeSubpath();
        g.inner = QRectF(r.left() + w * 0.14, r.top() + h * 0.38, w * 0.72, h * 0.5);
        break;
    }
    case Frame::Sea: {
        const double d = std::min(area.width(), area.height());
        const QRectF r = place(d, d);
        g.fill.addEllipse(r);
        g.outline = g.fill;
        g.inner = r.adjusted(d * 0.16, d * 0.18, -d * 0.16, -d * 0.14);
        break;
    }
    case Frame::None:
        g.inner = area;
        break;
    }
    return g;
}

void paintSymbol(QPainter& p, const Symbol& s, double size, bool headingMark)
{
    p.setRenderHint(QPainter::Antialiasing);
    const bool small = size < 28;
    const double framePen = small ? 1.0 : 2.0, glyphPen = small ? 1.0 : 1.5;
    if (s.isWeapon()) {
        drawMunition(p, s, QRectF(size * 0.03, size * 0.15, size * 0.94, size * 0.7), glyphPen);
        return;
    }
    const double m = small ? 1.0 : size * 0.05;
    const double top = headingMark ? size * 0.22 : m;
    const QRectF area(m, top, size - 2 * m, size - top - m);
    const FrameGeometry g = frameGeometry(s.frame, area, !headingMark, framePen);
    p.setPen(Qt::NoPen);
    p.setBrush(kFriendly);
    p.drawPath(g.fill);
    p.setPen(QPen(kInk, framePen, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(g.outline);
    if (headingMark) {
        // Heading mark: the image is drawn rotated by the unit's heading.
        // Air and sea frames are round on top: keep the mark clear of them.
        const double gap = s.frame == Frame::Ground ? 0.0 : 1.5;
        const double cx = size / 2, base = g.fill.boundingRect().top() - gap;
        QPainterPath tri;
        tri.moveTo(cx, size * 0.02);
        tri.lineTo(cx + size * 0.13, base);
        tri.lineTo(cx - size * 0.13, base);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawPath(tri);
    }
    drawUnitGlyph(p, s, g.inner, glyphPen);
}

} // namespace

Symbol symbolFor(const QString& name, const QString& classCode)
{
    Symbol s;
    s.letter = name.isEmpty() ? QStringLiteral("?") : name.left(1);
    if (classCode == QLatin1String("03")) {
        s.frame = Frame::None;
        // Order matters: "反坦克导弹" is a missile, "火箭炮" a rocket.
        if (containsAny(name, {"导弹"}))
            s.glyph = Glyph::Missile;
        else if (containsAny(name, {"火箭"}))
            s.glyph = Glyph::Rocket;
        else if (containsAny(name, {"炸弹", "航弹"}))
            s.glyph = Glyph::Bomb;
        else if (containsAny(name, {"炮", "弹"}))
            s.glyph = Glyph::Shell;
        else
            s.glyph = Glyph::Lettered;
        return s;
    }
    // Order matters: "防空导弹车" is air defence, "步兵战车" mechanised infantry,
    // "自行火炮" a gun before it is a vehicle.
    if (containsAny(name, {"防空"}))
        s.glyph = Glyph::AirDefence;
    else if (containsAny(name, {"直升机"}))
        s.glyph = Glyph::RotaryWing;
    else if (containsAny(name, {"舰", "船", "艇"}))
        s.glyph = Glyph::Ship;
    else if (containsAny(name, {"坦克"}))
        s.glyph = Glyph::Armour;
    else if (containsAny(name, {"步兵战车", "机步"}))
        s.glyph = Glyph::MechanisedInfantry;
    else if (containsAny(name, {"装甲", "输送"}))
        s.glyph = Glyph::ArmouredCarrier;
    else if (containsAny(name, {"自行"}))
        s.glyph = Glyph::SelfPropelledGun;
    else if (containsAny(name, {"炮"}))
        s.glyph = Glyph::Artillery;
    else if (containsAny(name, {"侦察"}))
        s.glyph = Glyph::Reconnaissance;
    else if (containsAny(name, {"步兵"}))
        s.glyph = Glyph::Infantry;
    else if (containsAny(name, {"卡车", "汽车", "车"}))
        s.glyph = Glyph::Truck;
    else
        s.glyph = Glyph::Lettered;
    s.frame = s.glyph == Glyph::RotaryWing ? Frame::Air
            : s.glyph == Glyph::Ship       ? Frame::Sea
                                           : Frame::Ground;
    return s;
}

QImage drawMapSymbol(const Symbol& s, int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintSymbol(p, s, size, true);
    return img;
}

QImage drawTreeIcon(const Symbol& s, int size)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintSymbol(p, s, size, false);
    return img;
}

QImage drawCategoryIcon(const QString& name, bool topLevel, int size)
{
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const QColor fill = topLevel ? QColor(24, 60, 140) : kFriendly;
    const QColor text = topLevel ? QColor(Qt::white) : kInk;
    QRectF badge(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    p.setPen(QPen(kInk, 1.0));
    if (topLevel) {
        // A second card behind the first: a group of classes.
        p.setBrush(QColor(120, 150, 210));
        p.drawRoundedRect(badge.adjusted(s * 0.14, 0, 0, -s * 0.14), 2.5, 2.5);
        badge.adjust(0, s * 0.14, -s * 0.14, 0);
    }
    p.setBrush(fill);
    p.drawRoundedRect(badge, 2.5, 2.5);
    p.setFont(fontPx(int(badge.height() * 0.8), true));
    p.setPen(text);
    p.drawText(badge, Qt::AlignCenter, name.left(1));
    return img;
}

MaskedBitmap toMaskedBitmap(const QImage& withAlpha)
{
    const QImage src = withAlpha.convertToFormat(QImage::Format_ARGB32);
    MaskedBitmap out{QImage(src.size(), QImage::Format_RGB32), QImage(src.size(), QImage::Format_RGB32)};
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        QRgb* im = reinterpret_cast<QRgb*>(out.image.scanLine(y));
        QRgb* mk = reinterpret_cast<QRgb*>(out.mask.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            // Edge pixels of the anti-aliased outline count as opaque from half
            // coverage on, in their full colour, so the outline stays closed.
            const bool opaque = qAlpha(in[x]) >= 110;
            im[x] = opaque ? qRgb(qRed(in[x]), qGreen(in[x]), qBlue(in[x])) : qRgb(0, 0, 0);
            mk[x] = opaque ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        }
    }
    return out;
}

} // namespace mkdata
