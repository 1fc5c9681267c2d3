#include "GisHostWnd.h"

#include "cartolink.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace cartolink {

namespace {

// The overlay's angles use this value of pi, so that shown angles and
// snapped end points are those the users of the original tool know.
constexpr double kPi = 3.1416;
constexpr int kBlinkMs = 1000;
constexpr int kShiftBit = 1;
constexpr int kCtrlBit = 2;

int trunc(double v) { return static_cast<int>(v); }
// Map points converted back to the pixels they came from: nearest, so that a
// round trip does not lose a pixel to floating-point error.
int nearest(double v) { return static_cast<int>(std::lround(v)); }

} // namespace

void PickState::finish()
{
    mode = None;
    finished = true;
    if (loop)
        loop->quit();
}

PickState& pickState()
{
    static PickState state;
    return state;
}

double directionAngle(QPointF o, QPointF p)
{
    if (p.x() == o.x())
        return p.y() < o.y() ? 90.0 : -90.0;
    return std::atan((o.y() - p.y()) / (p.x() - o.x())) * 180.0 / kPi;
}

DirectionGeometry directionGeometry(QPointF o, QPointF p, bool snap)
{
    DirectionGeometry g{p, 0.0, 0};
    const double a = directionAngle(o, p);
    const int d = trunc(std::hypot(p.x() - o.x(), p.y() - o.y()));
    if (snap) {
        const bool above = p.y() < o.y();
        double s;
        if (std::abs(a) <= 22)
            s = p.x() > o.x() ? 0 : 180;
        else if (a > 22 && a <= 77)
            s = above ? 45 : 225;
        else if (a > -77 && a <= -22)
            s = above ? 135 : 315;
        else
            s = above ? 90 : 270;
        const double rad = s * kPi / 180.0;
        g.end = QPointF(trunc(o.x() + d * std::cos(rad)), trunc(o.y() - d * std::sin(rad)));
        g.angle = s;
    } else {
        double t = a;
        if (p.x() < o.x())
            t += 180.0;
        if (t >= -90.0 && t < 0.0)
            t += 360.0;
        g.angle = t;
    }
    const int dEnd = trunc(std::hypot(g.end.x() - o.x(), g.end.y() - o.y()));
    // Close to the origin there is no room for the circle.
    g.radius = std::clamp(dEnd - 10, 0, 60);
    return g;
}

CGisHostWnd::CGisHostWnd(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("CGisHostWnd"));
    m_blinkTimer = new QTimer(this);
    m_blinkTimer->setInterval(kBlinkMs);
    connect(m_blinkTimer, &QTimer::timeout, this, &CGisHostWnd::blinkMarkers);
    m_blinkTimer->start();
}

CGisHostWnd::~CGisHostWnd()
{
    // A pick waiting on this window would otherwise wait for ever.
    PickState& pick = pickState();
    if (pick.mode != PickState::None) {
        pick.picked = QPointF(-1.0, 0.0);
        pick.finish();
    }
}

MapControl* CGisHostWnd::createControl(const QString& windowName, const QRect& rect)
{
    if (m_control)
        return m_control;
    m_control = new MapControl(this);
    m_control->setObjectName(windowName);
    m_control->setMapGeometry(rect);
    m_control->setVisible(true);
    connect(m_control, &MapControl::mousePressed, this, &CGisHostWnd::onPressed);
    connect(m_control, &MapControl::mouseReleased, this, &CGisHostWnd::onReleased);
    connect(m_control, &MapControl::mouseMoved, this, &CGisHostWnd::onMoved);
    connect(m_control, &MapControl::doubleClicked, this, &CGisHostWnd::onDoubleClicked);
    connect(m_control, &MapControl::keyPressed, this, &CGisHostWnd::onKey);
    connect(m_control, &MapControl::selectionChanged, this, &CGisHostWnd::onSelectionChanged);
    connect(m_control, &MapControl::toolUsed, this, &CGisHostWnd::onToolUsed);
    connect(m_control, &MapControl::drawn, this, &CGisHostWnd::onDrawn);
    connect(m_control, &MapControl::objectsMoved, this, [this] { m_objectsDragged = true; });
    return m_control;
}

void CGisHostWnd::onPressed(int button, int shift, int x, int y)
{
    m_pressPoint = QPoint(x, y);
    if (button == 1)
        m_leftDown = true;
    if (m_callback && button == 1) {
        const QPointF m = m_control->engine().pixelToMap(QPointF(x, y));
        m_callback->OnLButtonDown(1, uint32_t(shift), x, y, m.x(), m.y(), 0.0, 0);
    }
}

void CGisHostWnd::onReleased(int button, int shift, int x, int y)
{
    if (button == 1)
        m_leftDown = false;
    PickState& pick = pickState();
    if (pick.mode == PickState::Point) {
        if (button == 1)
            pick.picked = QPointF(x, y);
        else if (button == 2)
            pick.picked = QPointF(-1.0, 0.0);
        else
            return;
        pick.finish();
        return;
    }
    if (pick.mode == PickState::Direction) {
        if (button == 1) {
            if (shift & kCtrlBit) {
                pick.snappedEnd = directionGeometry(pick.origin, QPointF(x, y), true).end.toPoint();
                pick.picked = QPointF(pick.snappedEnd);
            } else {
                pick.picked = QPointF(x, y);
            }
        } else if (button == 2) {
            pick.picked = QPointF(-1.0, 0.0);
        } else {
            return;
        }
        pick.finish();
        m_control->update(); // erases the overlay
        return;
    }
    if (!m_callback) {
        m_objectsDragged = false;
        return;
    }
    const QPointF m = m_control->engine().pixelToMap(QPointF(x, y));
    if (button == 1) {
        const ObjectLayer* layer = m_control->engine().objectLayer();
        const size_t selected = layer ? layer->selection().size() : 0;
        if (QPoint(x, y) != m_pressPoint && selected > 0 && m_objectsDragged) {
            m_moved = 1;
            m_releasePoint = QPoint(x, y);
        }
        m_objectsDragged = false;
        m_callback->OnLButtonUp(1, uint32_t(shift), x, y, m.x(), m.y(), 0.0, 0);
        reportMovedObjects();
    } else if (button == 2) {
        m_callback->OnRButtonUp(2, uint32_t(shift), x, y, m.x(), m.y(), 0.0, 0);
    }
}

void CGisHostWnd::reportMovedObjects()
{
    if (!m_moved || !m_callback)
        return;
    m_moved = 0;
    ObjectLayer* layer = m_control->engine().objectLayer();
    if (!layer)
        return;
    // A callback may change the selection; report the one that was dragged.
    const std::vector<uint32_t> ids = layer->selection();
    for (uint32_t id : ids) {
        const MapObject* o = layer->find(id);
        if (!o)
            continue;
        const QPointF c = o->centre();
        m_control->update();
        m_callback->OnObjectMoved(id, m_releasePoint.x(), m_releasePoint.y(), c.x(), c.y(), 0, 0, 0);
    }
}

void CGisHostWnd::onMoved(int /*button*/, int shift, int x, int y)
{
    m_cursor = QPoint(x, y);
    m_moveCtrl = shift & kCtrlBit;
    const PickState& pick = pickState();
    if (pick.mode == PickState::Point)
        m_control->setCursor(Qt::CrossCursor);
    else if (pick.mode == PickState::Direction)
        m_control->update();
    const QPointF m = m_control->engine().pixelToMap(QPointF(x, y));
    emit mouseMapPosition(m.x(), m.y());
}

void CGisHostWnd::onDoubleClicked(int x, int y)
{
    if (!m_callback)
        return;
    const QPointF m = m_control->engine().pixelToMap(QPointF(x, y));
    m_callback->OnDoubleClick(1, 0, x, y, m.x(), m.y(), 0.0, 0);
}

void CGisHostWnd::onKey(int key, int shift)
{
    if (key == Qt::Key_C && (shift & kShiftBit))
        emit controlPanelRequested();
}

void CGisHostWnd::onSelectionChanged()
{
    if (m_callback && mapStatus() == CARTOLINK_STATUS_EDIT)
        m_callback->OnSelectionChanged(0);
}

void CGisHostWnd::onToolUsed(int tool, double x1, double y1, double x2, double y2, double distance, bool shift,
                             bool ctrl)
{
    MapEngine& engine = m_control->engine();
    const uint32_t mask = (shift ? kShiftBit : 0) | (ctrl ? kCtrlBit : 0);
    switch (tool) {
    case 888: {
        if (mapStatus() != CARTOLINK_STATUS_NORMAL || !m_callback)
            return;
        engine.selectAtPixel(engine.mapToPixel(QPointF(x1, y1)), 3.0, SelectMode::Replace);
        const ObjectLayer* layer = engine.objectLayer();
        m_control->update();
        if (layer && !layer->selection().empty())
            m_callback->OnObjectPicked(layer->selection().front(), 0);
        return;
    }
    case ToolRectSelect: {
        // The control has already selected the features in the rectangle.
        if (!m_callback)
            return;
        const QPointF p1 = engine.mapToPixel(QPointF(x1, y1));
        const QPointF p2 = engine.mapToPixel(QPointF(x2, y2));
        m_callback->OnRectSelect(1, mask, nearest(p1.x()), nearest(p1.y()), x1, y1, 0.0, nearest(p2.x()), nearest(p2.y()),
                                 x2, y2, 0.0, 0);
        return;
    }
    case ToolRadiusSelect: {
        // The control has already selected with its own distance.
        (void)distance;
        const double r = std::hypot(x2 - x1, y2 - y1);
        if (!m_callback)
            return;
        const QPointF c = engine.mapToPixel(QPointF(x1, y1));
        if (r - 0.0 > 1e-21)
            m_callback->OnRadiusSelect(1, mask, nearest(c.x()), nearest(c.y()), x1, y1, 0.0, r, 0);
        return;
    }
    default:
        return;
    }
}

void CGisHostWnd::onDrawn(QPainter* p)
{
    const PickState& pick = pickState();
    if (pick.mode != PickState::Direction)
        return;
    const QPointF o = pick.origin;
    const DirectionGeometry g = directionGeometry(o, QPointF(m_cursor), m_moveCtrl);
    const QPointF e = g.end;
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setBrush(Qt::NoBrush);
    const int r = g.radius;
    p->setPen(QPen(Qt::black, 2));
    if (r > 0)
        p->drawEllipse(o, r, r);
    p->drawLine(QPointF(o.x() + r + 5, o.y()), QPointF(o.x() - r - 5, o.y()));
    p->drawLine(QPointF(o.x(), o.y() + r + 5), QPointF(o.x(), o.y() - r - 5));
    p->setPen(QPen(QColor(0, 255, 0), 3));
    p->drawLine(o, e);
    p->setPen(QPen(QColor(255, 0, 0), 2));
    p->drawEllipse(e, 5, 5);
    const QString text = QString::asprintf("角度: %f", g.angle);
    p->setPen(QColor(0, 255, 0));
    p->setBackgroundMode(Qt::TransparentMode);
    p->drawText(QPointF(e.x() + 10, e.y()), text);
    p->restore();
    // Lets assistive tools (and checks) read the angle without reading pixels.
    m_control->setAccessibleDescription(text);
}

void CGisHostWnd::blinkMarkers()
{
    if (!m_control || m_leftDown || (QGuiApplication::mouseButtons() & Qt::LeftButton))
        return;
    std::lock_guard<std::recursive_mutex> lock(m_objectLayerLock);
    MapEngine& engine = m_control->engine();
    ObjectLayer* layer = engine.objectLayer();
    if (engine.layerCount() == 0 || !layer)
        return;
    bool changed = false;
    for (const auto& entry : layer->objects()) {
        if (entry.second.kind != ObjectKind::Marker)
            continue;
        MapObject* o = layer->find(entry.first);
        o->symbolColor = ~o->symbolColor & 0xFFFFFFu;
        changed = true;
    }
    if (changed) {
        layer->touch();
        m_control->update();
    }
}

} // namespace cartolink
