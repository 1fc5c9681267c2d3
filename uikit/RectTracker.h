#pragma once

#include <QPoint>
#include <QRect>

class QPainter;

// A rectangle the operator can move by its body or resize by one of its
// eight handles. The owner feeds it the mouse: BeginTrack on press, TrackTo on
// every move, EndTrack on release.
class CRectTracker {
public:
    // Hit test results: the handles clockwise from the top-left corner, then
    // the body.
    enum Hit {
        hitNothing = -1,
        hitTopLeft = 0, hitTopRight = 1, hitBottomRight = 2, hitBottomLeft = 3,
        hitTop = 4, hitRight = 5, hitBottom = 6, hitLeft = 7,
        hitMiddle = 8,
    };
    static constexpr int kHandleSize = 7;

    CRectTracker() = default;
    explicit CRectTracker(const QRect& rect, bool handlesInside = true)
        : m_rect(rect), m_handlesInside(handlesInside) {}

    // The square of handle `hit` (0..7); handles sit on the corners and edge
    // midpoints, inside or outside the rectangle.
    QRect HandleRect(int hit) const;
    // What is under `point`: a handle first, then the body.
    int HitTest(const QPoint& point) const;

    // Starts tracking for the part `hit` at `point`; false (nothing starts)
    // for hitNothing.
    bool BeginTrack(int hit, const QPoint& point);
    // Moves the tracked part so that it follows the mouse.
    void TrackTo(const QPoint& point);
    // Ends tracking; true when the rectangle differs from where it started.
    bool EndTrack();
    bool Tracking() const { return m_hit != hitNothing; }
    // The rectangle as it was when the last track began.
    const QRect& StartRect() const { return m_startRect; }

    // Thin dotted rectangle with its handles.
    void Draw(QPainter& painter) const;

    QRect m_rect;
    bool m_handlesInside = true;

private:
    int m_hit = hitNothing;
    QPoint m_start;
    QRect m_startRect;
};
