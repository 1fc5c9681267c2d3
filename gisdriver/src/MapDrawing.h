#pragma once

// Drawing helpers shared by the layer renderer and the object layer: the map
// to pixel transform, vertex thinning, clipping and pens.

#include "MapLayer.h"

#include <QPen>
#include <QPolygonF>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace cartolink {

// Beyond this many pixels from the view, geometry is clipped before it reaches
// QPainter, whose rasteriser works in fixed point and breaks on huge values.
constexpr double kClipLimitPx = 1 << 20;

// Map to pixel for one longitude shift of the view (the map repeats every 360 degrees).
struct Xform {
    double left, top, k;
    QPointF operator()(const QPointF& p) const { return {(p.x() - left) * k, (top - p.y()) * k}; }
};


// Projects a part, dropping vertices closer than half a pixel to the last kept one.
void project(const QPointF* pts, uint32_t n, const Xform& xf, QPolygonF& out);

// Sutherland-Hodgman clip of a ring against an axis-aligned rectangle.
void clipRing(const QPolygonF& in, const QRectF& r, QPolygonF& out);

// Liang-Barsky clip of a polyline; visible pieces are handed to `emit`.
template <typename Emit>
void clipPolyline(const QPolygonF& in, const QRectF& r, Emit&& sink)
{
    QPolygonF piece;
    for (qsizetype i = 0; i + 1 < in.size(); ++i) {
        QPointF a = in[i], b = in[i + 1];
        double t0 = 0.0, t1 = 1.0;
        const double dx = b.x() - a.x(), dy = b.y() - a.y();
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {a.x() - r.left(), r.right() - a.x(), a.y() - r.top(), r.bottom() - a.y()};
        bool visible = true;
        for (int k = 0; k < 4 && visible; ++k) {
            if (p[k] == 0.0) {
                visible = q[k] >= 0.0;
            } else {
                const double t = q[k] / p[k];
                if (p[k] < 0.0)
                    t0 = std::max(t0, t);
                else
                    t1 = std::min(t1, t);
                visible = t0 <= t1;
            }
        }
        if (!visible) {
            if (piece.size() > 1)
                sink(piece);
            piece.clear();
            continue;
        }
        const QPointF ca(a.x() + t0 * dx, a.y() + t0 * dy);
        const QPointF cb(a.x() + t1 * dx, a.y() + t1 * dy);
        if (piece.isEmpty() || piece.last() != ca) {
            if (piece.size() > 1)
                sink(piece);
            piece.clear();
            piece.append(ca);
        }
        piece.append(cb);
        if (t1 < 1.0) {
            sink(piece);
            piece.clear();
        }
    }
    if (piece.size() > 1)
        sink(piece);
}

// Thin lines go through QPainter's cosmetic stroker, which is many times faster
// than outlining a geometric pen.
QPen mapPen(const QColor& c, double width, Qt::PenCapStyle cap = Qt::FlatCap, Qt::PenJoinStyle join = Qt::MiterJoin);

// Whether shapes with these pixel bounds must be clipped before QPainter sees them.
bool needsClip(const QRectF& pixelBounds, const QRectF& view);
QRectF pixelBoundsOf(const Bounds& b, const Xform& xf);

} // namespace cartolink
