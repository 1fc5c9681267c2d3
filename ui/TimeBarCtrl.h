#pragma once

#include <QWidget>

// The time control panel's horizontal slider. Its position is a plan time in
// seconds; the pixel/position mapping is fixed (see PixelOfPosition) so that
// the thumb lands on the same pixels as the operator expects from the old
// program. Emits thumbMoved while the operator drags the thumb and
// positionSet when a drag ends or a key changed the position.
class CTimeBarCtrl : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThumbWidth = 13;

    explicit CTimeBarCtrl(QWidget* parent = nullptr);

    // A maximum below the minimum is taken as the minimum (empty range).
    void SetRange(int minimum, int maximum, bool redraw = true);
    int GetRangeMin() const { return m_min; }
    int GetRangeMax() const { return m_max; }
    // Clamped to the range; redraws.
    void SetPos(int position);
    int GetPos() const { return m_pos; }
    void SetPageSize(int size) { m_pageSize = size; }
    int GetPageSize() const { return m_pageSize; }
    void SetMargins(int left, int top, int right, int bottom);
    QMargins Margins() const { return {m_marginLeft, m_marginTop, m_marginRight, m_marginBottom}; }
    bool IsDragging() const { return m_dragging; }

    // Centre pixel of the thumb for a position, and the position under a pixel.
    int PixelOfPosition(int position) const;
    int PositionOfPixel(int x) const;

    QSize sizeHint() const override { return {200, 16}; }

signals:
    void thumbMoved(int position);   // during a drag, each time the position changes
    void positionSet(int position);  // drag released, or a key moved the thumb

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void DragTo(int cursorX);
    int Clamp(int position) const;
    int TrackWidth() const;

    int m_min = 0;
    int m_max = 100;
    int m_pos = 0;
    int m_pageSize = 10;
    int m_marginLeft = 0;
    int m_marginTop = 0;
    int m_marginRight = 0;
    int m_marginBottom = 0;
    bool m_dragging = false;
    bool m_hovered = false;
    int m_grabOffset = 0;
};
