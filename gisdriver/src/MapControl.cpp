#include "MapControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace cartolink {

namespace {

constexpr int kClickSlopPx = 3;

int shiftMask(Qt::KeyboardModifiers m)
{
    // The shift mask of a map control: 1 Shift, 2 Ctrl, 4 Alt.
    int s = 0;
    if (m & Qt::ShiftModifier)
        s |= 1;
    if (m & Qt::ControlModifier)
        s |= 2;
    if (m & Qt::AltModifier)
        s |= 4;
    return s;
}

int buttonCode(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton: return 1;
    case Qt::RightButton: return 2;
    case Qt::MiddleButton: return 4;
    default: return 0;
    }
}

} // namespace

MapControl::MapControl(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
}

bool MapControl::hasTool(int tool) const
{
    switch (tool) {
    case ToolArrow:
    case ToolPan:
    case ToolZoomIn:
    case ToolZoomOut:
    case ToolSelect:
    case ToolRadiusSelect:
    case ToolRectSelect:
        return true;
    default:
        return m_customTools.count(tool) > 0;
    }
}

bool MapControl::setCurrentTool(int tool)
{
    if (!hasTool(tool))
        return false;
    m_tool = tool;
    m_dragging = false;
    return true;
}

void MapControl::createCustomTool(int number, int type, int /*cursorCode*/)
{
    m_customTools[number] = type;
}

int MapControl::setting(int number) const
{
    auto it = m_settings.find(number);
    return it == m_settings.end() ? 0 : it->second;
}

void MapControl::setMapGeometry(const QRect& r)
{
    setGeometry(r);
    m_engine.setViewSize(r.width(), r.height());
}

void MapControl::refresh()
{
    m_engine.invalidate();
    (void)m_engine.picture();
    if (isVisible())
        repaint();
}

void MapControl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawImage(0, 0, m_engine.picture());
    if (!m_dragging || m_draggingObjects) {
        emit drawn(&p);
        return;
    }
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor(0, 0, 0, 200), 1, Qt::DashLine));
    p.setBrush(QColor(0, 120, 215, 40));
    if (m_tool == ToolRectSelect || m_tool == ToolZoomIn) {
        p.drawRect(QRect(m_pressPx, m_currentPx).normalized());
    } else if (m_tool == ToolRadiusSelect || (m_customTools.count(m_tool) && m_customTools[m_tool] == CustomCircle)) {
        const QPoint d = m_currentPx - m_pressPx;
        const double r = std::hypot(d.x(), d.y());
        p.drawEllipse(QPointF(m_pressPx), r, r);
    } else if (m_customTools.count(m_tool) && m_customTools[m_tool] == CustomLine) {
        p.drawLine(m_pressPx, m_currentPx);
    }
    emit drawn(&p);
}

void MapControl::resizeEvent(QResizeEvent*)
{
    m_engine.setViewSize(width(), height());
}

bool MapControl::pressGrabsObject(QPoint px)
{
    ObjectLayer* layer = m_engine.objectLayer();
    if (!layer)
        return false;
    const std::vector<uint32_t> before = layer->selection();
    m_engine.selectAtPixel(px, 3.0, SelectMode::Replace);
    const std::vector<uint32_t> hit = layer->selection();
    if (hit.empty()) {
        layer->setSelection(before, SelectMode::Replace);
        return false;
    }
    // Pressing on a selected object drags the whole selection; on another object, just that one.
    for (uint32_t id : hit) {
        if (std::find(before.begin(), before.end(), id) != before.end()) {
            layer->setSelection(before, SelectMode::Replace);
            return true;
        }
    }
    emit selectionChanged();
    return true;
}

void MapControl::mousePressEvent(QMouseEvent* e)
{
    const QPoint px = e->position().toPoint();
    emit mousePressed(buttonCode(e->button()), shiftMask(e->modifiers()), px.x(), px.y());
    if (e->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_dragButton = e->button();
    m_pressPx = m_currentPx = px;
    ObjectLayer* layer = m_engine.objectLayer();
    m_draggingObjects = m_tool == ToolSelect && layer && layer->editable && pressGrabsObject(px);
}

void MapControl::mouseMoveEvent(QMouseEvent* e)
{
    const QPoint px = e->position().toPoint();
    emit mouseMoved(buttonCode(e->button()), shiftMask(e->modifiers()), px.x(), px.y());
    if (!m_dragging)
        return;
    if (m_tool == ToolPan) {
        // The map follows the mouse.
        const QPoint d = px - m_currentPx;
        m_engine.pan(-d.x(), d.y());
        m_currentPx = px;
        update();
        return;
    }
    m_currentPx = px;
    update();
}

void MapControl::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint px = e->position().toPoint();
    if (m_dragging && e->button() == m_dragButton) {
        m_dragging = false;
        m_currentPx = px;
        finishDrag(px, e->modifiers());
        update();
    }
    emit mouseReleased(buttonCode(e->button()), shiftMask(e->modifiers()), px.x(), px.y());
}

void MapControl::mouseDoubleClickEvent(QMouseEvent* e)
{
    const QPoint px = e->position().toPoint();
    emit doubleClicked(px.x(), px.y());
}

void MapControl::keyPressEvent(QKeyEvent* e)
{
    emit keyPressed(e->key(), shiftMask(e->modifiers()));
}

void MapControl::finishDrag(QPoint releasePx, Qt::KeyboardModifiers mods)
{
    const QPoint d = releasePx - m_pressPx;
    const bool click = std::abs(d.x()) <= kClickSlopPx && std::abs(d.y()) <= kClickSlopPx;
    const QPointF m1 = m_engine.pixelToMap(m_pressPx);
    const QPointF m2 = m_engine.pixelToMap(releasePx);
    const double distance = std::hypot(m2.x() - m1.x(), m2.y() - m1.y());
    const bool shift = mods & Qt::ShiftModifier;
    const bool ctrl = mods & Qt::ControlModifier;
    const SelectMode mode = shift ? SelectMode::Append : SelectMode::Replace;

    if (m_draggingObjects) {
        m_draggingObjects = false;
        if (click)
            return;
        ObjectLayer* layer = m_engine.objectLayer();
        if (!layer)
            return;
        const double dx = m2.x() - m1.x(), dy = m2.y() - m1.y();
        for (uint32_t id : layer->selection()) {
            MapObject* o = layer->find(id);
            if (!o)
                continue;
            o->point += QPointF(dx, dy);
            for (QPointF& p : o->line)
                p += QPointF(dx, dy);
        }
        layer->touch();
        emit objectsMoved();
        return;
    }

    switch (m_tool) {
    case ToolPan:
        emit viewChanged();
        break;
    case ToolZoomIn:
        if (click) {
            m_engine.zoomTo(m_engine.zoom() / 2.0, m2.x(), m2.y());
        } else {
            const QPointF c = (m1 + m2) / 2.0;
            const double frac = std::max(std::abs(d.x()), 1) / double(std::max(width(), 1));
            m_engine.zoomTo(m_engine.zoom() * frac, c.x(), c.y());
        }
        update();
        emit viewChanged();
        break;
    case ToolZoomOut:
        m_engine.zoomTo(m_engine.zoom() * 2.0, m2.x(), m2.y());
        update();
        emit viewChanged();
        break;
    case ToolSelect:
        m_engine.selectAtPixel(releasePx, 3.0, mode);
        emit selectionChanged();
        emit toolUsed(m_tool, m2.x(), m2.y(), m2.x(), m2.y(), 0.0, shift, ctrl);
        break;
    case ToolRectSelect: {
        Bounds b;
        b.add(m1.x(), m1.y());
        b.add(m2.x(), m2.y());
        m_engine.selectInRect(b, mode);
        emit selectionChanged();
        emit toolUsed(m_tool, m1.x(), m1.y(), m2.x(), m2.y(), distance, shift, ctrl);
        break;
    }
    case ToolRadiusSelect:
        m_engine.selectInRadius(m1, distance, mode);
        emit selectionChanged();
        emit toolUsed(m_tool, m1.x(), m1.y(), m2.x(), m2.y(), distance, shift, ctrl);
        break;
    case ToolArrow:
        break;
    default:
        if (m_customTools.count(m_tool)) {
            if (m_customTools[m_tool] == CustomPoint)
                emit toolUsed(m_tool, m2.x(), m2.y(), m2.x(), m2.y(), 0.0, shift, ctrl);
            else
                emit toolUsed(m_tool, m1.x(), m1.y(), m2.x(), m2.y(), distance, shift, ctrl);
        }
        break;
    }
}

} // namespace cartolink
