#include "uikit/RectTracker.h"

#include <QPainter>

QRect CRectTracker::HandleRect(int hit) const
{
    const QRect r = m_rect.normalized();
    // Corner and edge-midpoint anchors, as coordinates of the rectangle's
    // outer edges (right() of a QRect is one less than left + width).
    const int l = r.left(), t = r.top(), rr = r.left() + r.width(), b = r.top() + r.height();
    const int mx = l + r.width() / 2, my = t + r.height() / 2;
    const int s = kHandleSize;
    int x = 0, y = 0;  // anchor
    int sx = 0, sy = 0;  // -1: handle extends left/up of the anchor, +1 right/down, 0 centred
    switch (hit) {
    case hitTopLeft: x = l; y = t; sx = -1; sy = -1; break;
    case hitTopRight: x = rr; y = t; sx = 1; sy = -1; break;
    case hitBottomRight: x = rr; y = b; sx = 1; sy = 1; break;
    case hitBottomLeft: x = l; y = b; sx = -1; sy = 1; break;
    case hitTop: x = mx; y = t; sy = -1; break;
    case hitRight: x = rr; y = my; sx = 1; break;
    case hitBottom: x = mx; y = b; sy = 1; break;
    case hitLeft: x = l; y = my; sx = -1; break;
    default: return QRect();
    }
    // Inside handles point into the rectangle, outside ones away from it.
    if (m_handlesInside) {
        sx = -sx;
        sy = -sy;
    }
    const int left = sx < 0 ? x - s : sx > 0 ? x : x - s / 2;
    const int top = sy < 0 ? y - s : sy > 0 ? y : y - s / 2;
    return QRect(left, top, s, s);
}

int CRectTracker::HitTest(const QPoint& point) const
{
    if (m_rect.isNull())
        return hitNothing;
    for (int h = hitTopLeft; h <= hitLeft; ++h)
        if (HandleRect(h).contains(point))
            return h;
    return m_rect.normalized().contains(point) ? hitMiddle : hitNothing;
}

bool CRectTracker::BeginTrack(int hit, const QPoint& point)
{
    if (hit < hitTopLeft || hit > hitMiddle)
        return false;
    m_hit = hit;
    m_start = point;
    m_startRect = m_rect;
    return true;
}

void CRectTracker::TrackTo(const QPoint& point)
{
    if (m_hit == hitNothing)
        return;
    const QPoint d = point - m_start;
    QRect r = m_startRect;
    if (m_hit == hitMiddle) {
        r.translate(d);
    } else {
        const bool left = m_hit == hitTopLeft || m_hit == hitBottomLeft || m_hit == hitLeft;
        const bool right = m_hit == hitTopRight || m_hit == hitBottomRight || m_hit == hitRight;
        const bool top = m_hit == hitTopLeft || m_hit == hitTopRight || m_hit == hitTop;
        const bool bottom = m_hit == hitBottomLeft || m_hit == hitBottomRight || m_hit == hitBottom;
        if (left)
            r.setLeft(r.left() + d.x());
        if (right)
            r.setRight(r.right() + d.x());
        if (top)
            r.setTop(r.top() + d.y());
        if (bottom)
            r.setBottom(r.bottom() + d.y());
        r = r.normalized();
    }
    m_rect = r;
}

bool CRectTracker::EndTrack()
{
    const bool moved = Tracking() && m_rect != m_startRect;
    m_hit = hitNothing;
    return moved;
}

void CRectTracker::Draw(QPainter& painter) const
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(m_rect.normalized());
    for (int h = hitTopLeft; h <= hitLeft; ++h)
        painter.fillRect(HandleRect(h), Qt::black);
    painter.restore();
}
