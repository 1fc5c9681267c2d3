#pragma once

#include <QWidget>

class CTimelineChart;
class QLabel;
class QLineEdit;
class QScrollBar;

// "时间线": a search box over the chart of every unit's actions, with a
// scroll bar for the rows.
class CTimelinePanel : public QWidget {
    Q_OBJECT
public:
    explicit CTimelinePanel(QWidget* parent = nullptr);

    CTimelineChart* Chart() const { return m_chart; }
    QLineEdit* Search() const { return m_search; }
    QLabel* Status() const { return m_status; }
    void SyncScrollBar();

private:
    CTimelineChart* m_chart;
    QLineEdit* m_search;
    QLabel* m_status;
    QScrollBar* m_rows;
};
