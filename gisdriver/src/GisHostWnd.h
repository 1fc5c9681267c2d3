#pragma once

// The library's host window: a child of the caller's widget that contains the
// map control, turns its events into picks and callback notifications, draws
// the direction overlay, blinks the markers and guards the object layer.

#include "MapControl.h"

#include <QPoint>
#include <QPointF>
#include <QWidget>

#include <mutex>

class IGisDriverCallback;
class QEventLoop;
class QTimer;

namespace cartolink {

// The process-wide state of a point or direction pick.
struct PickState {
    enum Mode { None = 0, Point = 1, Direction = 2 };
    int mode = None;
    QPointF origin;       // direction pick: origin in control pixels
    QPointF picked;       // the result in control pixels; cancelled: (-1, 0)
    bool finished = false;
    QEventLoop* loop = nullptr; // the waiting local loop, quit when the pick ends
    QPoint snappedEnd;    // direction pick: the end point after Ctrl snapping

    bool cancelled() const { return picked.x() == -1.0 && picked.y() == 0.0; }
    void finish();
};
PickState& pickState();

// The direction overlay's geometry for origin `o` and cursor `p` (control pixels).
struct DirectionGeometry {
    QPointF end;   // the line's end: `p`, or the snapped point
    double angle;  // the angle shown, degrees in [0, 360)
    int radius;    // radius of the circle around the origin (0: none)
};
// The raw angle of O->P in degrees, with pi taken as 3.1416 and straight
// up/down as +90/-90.
double directionAngle(QPointF o, QPointF p);
DirectionGeometry directionGeometry(QPointF o, QPointF p, bool snap);

class CGisHostWnd : public QWidget {
    Q_OBJECT
public:
    explicit CGisHostWnd(QWidget* parent);
    ~CGisHostWnd() override;

    // The map control, or null before createControl() succeeded.
    MapControl* control() const { return m_control; }
    // Creates the map control as a child covering `rect` of this window.
    MapControl* createControl(const QString& windowName, const QRect& rect);

    // Held while the object layer is changed by a call or walked by a timer.
    std::recursive_mutex& objectLayerLock() { return m_objectLayerLock; }

    // Where notifications go (may be null) and the map status that gates some.
    void setCallback(IGisDriverCallback* cb) { m_callback = cb; }
    void setMapStatusSource(const int* status) { m_mapStatus = status; }

    // Inverts the colour of every marker (font symbol) unless the left button is down.
    void blinkMarkers();

signals:
    // Shift+C was pressed over the map.
    void controlPanelRequested();
    // The mouse moved over the map at this map point.
    void mouseMapPosition(double x, double y);

private:
    void onPressed(int button, int shift, int x, int y);
    void onReleased(int button, int shift, int x, int y);
    void onMoved(int button, int shift, int x, int y);
    void onDoubleClicked(int x, int y);
    void onKey(int key, int shift);
    void onSelectionChanged();
    void onToolUsed(int tool, double x1, double y1, double x2, double y2, double distance, bool shift, bool ctrl);
    void onDrawn(QPainter* p);
    void reportMovedObjects();
    int mapStatus() const { return m_mapStatus ? *m_mapStatus : 1; }

    MapControl* m_control = nullptr;
    IGisDriverCallback* m_callback = nullptr;
    const int* m_mapStatus = nullptr;
    std::recursive_mutex m_objectLayerLock;
    QTimer* m_blinkTimer = nullptr;

    QPoint m_pressPoint;
    bool m_leftDown = false;
    bool m_moveCtrl = false;    // Ctrl held at the last mouse move (direction overlay)
    QPoint m_cursor;            // the last mouse position over the map
    bool m_objectsDragged = false;
    int m_moved = 0;
    QPoint m_releasePoint;
};

} // namespace cartolink
