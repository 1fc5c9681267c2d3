#pragma once

#include "engine/EventSink.h"

#include <QWidget>

class QTreeWidget;

// The "状态栏" dock's status information list: what happened during play,
// newest first. It holds at most 1000 rows: the 1001st event empties the list
// before it is added. The context menu's "全部清除" empties it too; nothing
// else does (closing a plan keeps the rows; a seek shows the history of
// the plan up to the new time).
class CEventListPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxRows = 1000;

    explicit CEventListPanel(QWidget* parent = nullptr);

    int RowCount() const;
    // Row 0 is the newest; column 0 the time text, column 1 the event text.
    QString Text(int row, int column) const;
    // The plan date-time of the row's event (seconds since 1970); 0 when unknown.
    qint64 Epoch(int row) const;
    QTreeWidget* List() const { return m_list; }

public slots:
    void AddEvent(EventRecord record);
    // The rows adding each record in turn would leave, built at once: a
    // burst of thousands costs one change of the list.
    void AddEvents(const std::vector<EventRecord>& records);
    void ClearAll();
    // After a seek: the rows become exactly those that adding `events` one by
    // one to an empty list leaves (the last page of the 1000-row rule).
    // Emits cleared().
    void ShowHistory(const std::vector<EventRecord>& events);

signals:
    // A row was double-clicked: seek to its event.
    void eventActivated(qint64 epoch, QString timeText);
    // "导出事件..." of the context menu.
    void exportRequested();
    void cleared();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowContextMenu(const QPoint& pos);

    QTreeWidget* m_list;
};
