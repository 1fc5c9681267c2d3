#pragma once

#include "engine/PlanTimeline.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

// The drawing of the "时间线" panel: one row per unit of the first layer under
// the heading of its catalogue category, plan time across. Moves and strikes
// are bars from their start to their end, with a strike's flashes as ticks;
// turns, loads and unloads are marks; a triangle marks the appear time and a
// red cross each hit. A red line is the current time.
//
// Mouse: a click seeks to the tick under it; dragging a bar or a mark asks to
// move its action in time (whole seconds); hovering tells about the action.
// The wheel zooms the time axis around the mouse, with Shift it scrolls it;
// over the names it scrolls the rows. "F" (or Home) fits the whole plan.
class CTimelineChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kNameWidth = 150;
    static constexpr int kAxisHeight = 20;
    static constexpr int kRowHeight = 20;
    static constexpr int kGroupHeight = 18;

    explicit CTimelineChart(QWidget* parent = nullptr);

    // The rows to chart, each under the heading groupOf(row) gives; only
    // first-layer rows are shown, grouped in the order headings first appear.
    void SetTimeline(std::shared_ptr<const PlanTimeline> timeline,
                     const std::function<QString(const TimelineRow&)>& groupOf);
    std::shared_ptr<const PlanTimeline> Timeline() const { return m_timeline; }
    // Only units whose name contains the text (any case); empty shows all.
    void SetFilter(const QString& text);
    void SetCurrentMs(int64_t ms);
    int64_t CurrentMs() const { return m_currentMs; }
    // Dragging is refused (the bar does not follow) when false.
    void SetDragAllowed(bool allowed) { m_dragAllowed = allowed; }
    void FitAll();

    // Geometry, for the panel's scroll bar and for tests.
    double MsPerPixel() const { return m_msPerPixel; }
    double ViewStartMs() const { return m_viewStartMs; }
    void SetView(double startMs, double msPerPixel);
    int XOfMs(double ms) const;
    double MsOfX(int x) const;
    // The tick a click at x seeks to: the nearest whole second, within the plan.
    int64_t TickAtX(int x) const;
    // The y of the top of the shown row of (layer 0) unit index, -1 when it is not listed.
    int RowTop(size_t unit) const;
    int ContentHeight() const;
    void SetScrollY(int y);
    int ScrollY() const { return m_scrollY; }
    // The text hovering over (x, y) shows; empty over nothing.
    QString DetailsAt(const QPoint& p) const;

signals:
    void seekRequested(qint64 tickMs);
    // A bar or mark of the unit (its index among the first layer's units
    // that are not fire units) was dragged by a whole number of seconds.
    void actionDragged(qulonglong unit, qulonglong action, int deltaSeconds);
    void dragRefused();
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        QString heading;  // a group heading when row is null
        const TimelineRow* row = nullptr;
        int top = 0;
    };
    struct Hit {
        const TimelineRow* row = nullptr;
        int64_t action = -1;  // -1: not on an action
        uint32_t startMs = 0;
    };
    void Rebuild();
    const Entry* EntryAt(int y) const;
    Hit ActionAt(const QPoint& p) const;
    double PlanEndMs() const;
    void PaintAxis(QPainter& painter);
    void PaintRow(QPainter& painter, const TimelineRow& row, int top);

    std::shared_ptr<const PlanTimeline> m_timeline;
    std::vector<QString> m_groups;  // per row of the timeline
    std::vector<Entry> m_entries;
    QString m_filter;
    double m_viewStartMs = 0;
    double m_msPerPixel = 1000;
    int m_scrollY = 0;
    int64_t m_currentMs = -1;
    bool m_dragAllowed = true;
    // The operator zoomed or scrolled: a resize keeps the view, else it fits the plan again.
    bool m_userView = false;
    // A press on an action: dragged once the mouse moved a few pixels.
    Hit m_press;
    QPoint m_pressPos;
    int m_dragDx = 0;
    bool m_dragging = false;
    bool m_pressed = false;
};
