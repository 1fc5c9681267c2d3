#include "ui/TimeBarCtrl.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

QColor Blend(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t), float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t), float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

}  // namespace

CTimeBarCtrl::CTimeBarCtrl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setFixedHeight(16);
}

void CTimeBarCtrl::SetRange(int minimum, int maximum, bool redraw)
{
    m_min = minimum;
    m_max = std::max(minimum, maximum);
    m_pos = Clamp(m_pos);
    if (redraw)
        update();
}

void CTimeBarCtrl::SetPos(int position)
{
    m_pos = Clamp(position);
    update();
}

void CTimeBarCtrl::SetMargins(int left, int top, int right, int bottom)
{
    m_marginLeft = left;
    m_marginTop = top;
    m_marginRight = right;
    m_marginBottom = bottom;
    update();
}

int CTimeBarCtrl::Clamp(int position) const
{
    return std::clamp(position, m_min, m_max);
}

int CTimeBarCtrl::TrackWidth() const
{
    return width() - m_marginLeft - m_marginRight - kThumbWidth;
}

int CTimeBarCtrl::PixelOfPosition(int position) const
{
    const int base = m_marginLeft + kThumbWidth / 2;
    const int track = TrackWidth();
    // An empty range or a bar too narrow for the thumb keeps the thumb at the left end.
    if (m_max == m_min || track <= 0)
        return base;
    return base + int(std::trunc(double(track) * (double(position) - m_min) / (double(m_max) - m_min)));
}

int CTimeBarCtrl::PositionOfPixel(int x) const
{
    const int track = TrackWidth();
    if (m_max == m_min || track <= 0)
        return m_min;
    const double p = std::trunc(m_min + double(x - m_marginLeft - kThumbWidth / 2) / track * (double(m_max) - m_min));
    // The right end of the drag limit lies one pixel past the maximum's pixel.
    return int(std::clamp(p, double(m_min), double(m_max)));
}

void CTimeBarCtrl::DragTo(int cursorX)
{
    const int low = m_marginLeft + kThumbWidth / 2;
    const int high = std::max(low, width() - m_marginRight - kThumbWidth / 2);
    const int centre = std::clamp(cursorX - m_grabOffset, low, high);
    const int position = PositionOfPixel(centre);
    if (position != m_pos) {
        m_pos = position;
        update();
        emit thumbMoved(m_pos);
    }
}

void CTimeBarCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        QWidget::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_dragging = true;
    const int x = int(event->position().x());
    const int fromCentre = x - PixelOfPosition(m_pos);
    // Grabbing the thumb keeps it under the same spot of the cursor; a click
    // beside it makes it jump there.
    m_grabOffset = std::abs(fromCentre) <= kThumbWidth / 2 ? fromCentre : 0;
    DragTo(x);
    update();
}

void CTimeBarCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        DragTo(int(event->position().x()));
}

void CTimeBarCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_dragging = false;
    update();
    emit positionSet(m_pos);
}

void CTimeBarCtrl::keyPressEvent(QKeyEvent* event)
{
    if (!isEnabled()) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Widened so that Page Down next to INT_MAX cannot overflow.
    long long target = m_pos;
    switch (event->key()) {
    case Qt::Key_PageUp: target -= m_pageSize; break;
    case Qt::Key_PageDown: target += m_pageSize; break;
    case Qt::Key_End: target = m_max; break;
    case Qt::Key_Home: target = m_min; break;
    case Qt::Key_Left:
    case Qt::Key_Up: target -= 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target += 1; break;
    default: QWidget::keyPressEvent(event); return;
    }
    m_pos = int(std::clamp<long long>(target, m_min, m_max));
    update();
    emit positionSet(m_pos);
}

void CTimeBarCtrl::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void CTimeBarCtrl::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void CTimeBarCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const bool enabled = isEnabled();
    const QColor accent = enabled ? palette().color(QPalette::Highlight) : QColor(0xb4, 0xb9, 0xc0);
    const QColor base = palette().color(QPalette::Window);
    const QColor text = palette().color(QPalette::WindowText);

    const double top = m_marginTop;
    const double bottom = height() - m_marginBottom;
    const double cy = (top + bottom) / 2.0;
    const double left = m_marginLeft + 1.0;
    const double right = width() - m_marginRight - 1.0;
    const double cx = PixelOfPosition(m_pos) + 0.5;

    // Channel: a recessed groove, then the played part in the accent colour.
    const double grooveH = 4.0;
    const QRectF groove(left, cy - grooveH / 2, std::max(0.0, right - left), grooveH);
    p.setPen(QPen(Blend(base, text, 0.28), 1.0));
    p.setBrush(Blend(base, text, 0.14));
    p.drawRoundedRect(groove.adjusted(0.5, 0.5, -0.5, -0.5), grooveH / 2, grooveH / 2);

    if (cx > left) {
        const QRectF active(left, cy - grooveH / 2, cx - left, grooveH);
        QLinearGradient g(active.topLeft(), active.bottomLeft());
        g.setColorAt(0, accent.lighter(118));
        g.setColorAt(1, accent.darker(108));
        p.setPen(QPen(accent.darker(125), 1.0));
        p.setBrush(g);
        p.drawRoundedRect(active.adjusted(0.5, 0.5, -0.5, -0.5), grooveH / 2, grooveH / 2);
    }

    // Thumb: a raised disc with a soft shadow; pressed it takes the accent.
    const double d = std::min<double>(kThumbWidth, bottom - top) - 1.0;
    const QRectF thumb(cx - d / 2, cy - d / 2, d, d);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 38));
    p.drawEllipse(thumb.translated(0, 0.9).adjusted(-0.4, -0.4, 0.4, 0.4));

    QLinearGradient face(thumb.topLeft(), thumb.bottomLeft());
    if (m_dragging) {
        face.setColorAt(0, Blend(QColor(Qt::white), accent, 0.18));
        face.setColorAt(1, Blend(QColor(Qt::white), accent, 0.32));
    } else {
        face.setColorAt(0, QColor(0xff, 0xff, 0xff));
        face.setColorAt(1, QColor(0xec, 0xee, 0xf1));
    }
    const QColor rim = (m_dragging || (m_hovered && enabled)) ? accent.darker(110) : Blend(base, text, enabled ? 0.38 : 0.25);
    p.setPen(QPen(rim, 1.0));
    p.setBrush(face);
    p.drawEllipse(thumb.adjusted(0.5, 0.5, -0.5, -0.5));

    const double dot = m_dragging ? 4.5 : 3.5;
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? accent : Blend(base, text, 0.3));
    p.drawEllipse(QPointF(cx, cy), dot / 2, dot / 2);

    if (hasFocus()) {
        p.setPen(QPen(QColor(accent.red(), accent.green(), accent.blue(), 120), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
}
