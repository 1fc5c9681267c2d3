#include "MapDrawing.h"

namespace cartolink {

void project(const QPointF* pts, uint32_t n, const Xform& xf, QPolygonF& out)
{
    out.clear();
    if (n == 0)
        return;
    out.reserve(n);
    QPointF last = xf(pts[0]);
    out.append(last);
    for (uint32_t i = 1; i < n; ++i) {
        const QPointF q = xf(pts[i]);
        if (std::abs(q.x() - last.x()) >= 0.5 || std::abs(q.y() - last.y()) >= 0.5 || i + 1 == n) {
            out.append(q);
            last = q;
        }
    }
}


void clipRing(const QPolygonF& in, const QRectF& r, QPolygonF& out)
{
    QPolygonF cur = in;
    QPolygonF next;
    for (int edge = 0; edge < 4 && !cur.isEmpty(); ++edge) {
        next.clear();
        auto inside = [&](const QPointF& p) {
            switch (edge) {
            case 0: return p.x() >= r.left();
            case 1: return p.x() <= r.right();
            case 2: return p.y() >= r.top();
            default: return p.y() <= r.bottom();
            }
        };
        auto cut = [&](const QPointF& a, const QPointF& b) {
            double t;
            switch (edge) {
            case 0: t = (r.left() - a.x()) / (b.x() - a.x()); break;
            case 1: t = (r.right() - a.x()) / (b.x() - a.x()); break;
            case 2: t = (r.top() - a.y()) / (b.y() - a.y()); break;
            default: t = (r.bottom() - a.y()) / (b.y() - a.y()); break;
            }
            return a + (b - a) * t;
        };
        for (qsizetype i = 0; i < cur.size(); ++i) {
            const QPointF& a = cur[i];
            const QPointF& b = cur[(i + 1) % cur.size()];
            const bool ia = inside(a), ib = inside(b);
            if (ia)
                next.append(a);
            if (ia != ib)
                next.append(cut(a, b));
        }
        std::swap(cur, next);
    }
    out = cur;
}

QPen mapPen(const QColor& c, double width, Qt::PenCapStyle cap, Qt::PenJoinStyle join)
{
    if (!c.isValid() || width <= 0.0)
        return QPen(Qt::NoPen);
    QPen pen(c, width <= 1.0 ? 1.0 : width, Qt::SolidLine, cap, join);
    if (width <= 1.0) {
        pen.setCosmetic(true);
        if (width < 1.0) {
            QColor faded = c;
            faded.setAlphaF(c.alphaF() * std::max(0.3, width));
            pen.setColor(faded);
        }
    }
    return pen;
}

bool needsClip(const QRectF& pixelBounds, const QRectF& view)
{
    return pixelBounds.left() < view.left() - kClipLimitPx || pixelBounds.right() > view.right() + kClipLimitPx
        || pixelBounds.top() < view.top() - kClipLimitPx || pixelBounds.bottom() > view.bottom() + kClipLimitPx;
}

QRectF pixelBoundsOf(const Bounds& b, const Xform& xf)
{
    return QRectF(xf(QPointF(b.minX, b.maxY)), xf(QPointF(b.maxX, b.minY)));
}

} // namespace cartolink
