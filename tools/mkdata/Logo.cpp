#include "Logo.h"

#include "Painting.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace mkdata {

QImage drawLogo()
{
    QImage img(400, 200, QImage::Format_RGB32);
    img.fill(kLogoBackground);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QPointF c(92, 100);
    const double R = 62;
    const QColor pale(205, 214, 255);

    // Globe: ring, meridians and parallels.
    p.setPen(QPen(Qt::white, 4));
    p.setBrush(QColor(28, 30, 170));
    p.drawEllipse(c, R, R);
    p.setPen(QPen(pale, 1.4));
    p.setBrush(Qt::NoBrush);
    for (double k : {0.35, 0.72})
        p.drawEllipse(c, R * k, R - 2);
    p.drawLine(QPointF(c.x(), c.y() - R + 2), QPointF(c.x(), c.y() + R - 2));
    for (double k : {-0.55, 0.0, 0.55}) {
        const double y = c.y() + R * k;
        const double half = std::sqrt(std::max(0.0, R * R - (y - c.y()) * (y - c.y()))) - 2;
        p.drawLine(QPointF(c.x() - half, y), QPointF(c.x() + half, y));
    }

    // Compass star: four long and four short points, north in red.
    auto point = [&](double angleDeg, double len, double width, const QColor& a, const QColor& b) {
        const double t = angleDeg * std::numbers::pi / 180;
        const QPointF dir(std::sin(t), -std::cos(t)), side(std::cos(t), std::sin(t));
        QPainterPath l, r;
        l.moveTo(c + dir * len);
        l.lineTo(c + side * width);
        l.lineTo(c);
        l.closeSubpath();
        r.moveTo(c + dir * len);
        r.lineTo(c - side * width);
        r.lineTo(c);
        r.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(a);
        p.drawPath(l);
        p.setBrush(b);
        p.drawPath(r);
    };
    for (double a : {45.0, 135.0, 225.0, 315.0})
        point(a, R * 0.55, 7, pale, QColor(150, 160, 235));
    point(90, R * 0.92, 11, Qt::white, QColor(190, 198, 240));
    point(180, R * 0.92, 11, Qt::white, QColor(190, 198, 240));
    point(270, R * 0.92, 11, Qt::white, QColor(190, 198, 240));
    point(0, R * 1.05, 11, QColor(255, 70, 60), QColor(200, 30, 30));
    p.setPen(QPen(QColor(28, 30, 170), 2));
    p.setBrush(Qt::white);
    p.drawEllipse(c, 4.5, 4.5);

    // Name and a rule under it.
    p.setPen(Qt::white);
    p.setFont(fontPx(50, true));
    p.drawText(QRectF(170, 52, 225, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tarnwick"));
    p.setPen(QPen(pale, 2));
    p.drawLine(QPointF(172, 122), QPointF(384, 122));
    p.setPen(pale);
    p.setFont(fontPx(19));
    p.drawText(QRectF(172, 128, 220, 30), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromUtf8("演习计划 · 推演"));
    return img;
}

} // namespace mkdata
