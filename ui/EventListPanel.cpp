#include "ui/EventListPanel.h"

#include <QHeaderView>
#include <QMenu>
#include <QResizeEvent>
#include <QTreeWidget>

#include <algorithm>

CEventListPanel::CEventListPanel(QWidget* parent) : QWidget(parent), m_list(new QTreeWidget(this))
{
    m_list->setObjectName("eventList");
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("发生时间"), QStringLiteral("发生事件")});
    m_list->setColumnWidth(0, 120);
    m_list->setColumnWidth(1, 600);
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAlternatingRowColors(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this, &CEventListPanel::ShowContextMenu);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
        emit eventActivated(item->data(0, Qt::UserRole).toLongLong(), item->text(0));
    });
}

qint64 CEventListPanel::Epoch(int row) const
{
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->data(0, Qt::UserRole).toLongLong() : 0;
}

int CEventListPanel::RowCount() const
{
    return m_list->topLevelItemCount();
}

QString CEventListPanel::Text(int row, int column) const
{
    const QTreeWidgetItem* item = m_list->topLevelItem(row);
    return item ? item->text(column) : QString();
}

void CEventListPanel::AddEvent(EventRecord record)
{
    // Emptied, not trimmed: the operator sees a fresh page every 1000 events.
    if (m_list->topLevelItemCount() >= kMaxRows)
        m_list->clear();
    auto* item = new QTreeWidgetItem({QString::fromStdString(record.timeText), QString::fromStdString(record.message)});
    item->setData(0, Qt::UserRole, qint64(record.epoch));
    m_list->insertTopLevelItem(0, item);
}

void CEventListPanel::AddEvents(const std::vector<EventRecord>& records)
{
    if (records.empty())
        return;
    const size_t limit = size_t(kMaxRows);
    const size_t rows = size_t(m_list->topLevelItemCount());
    size_t first = 0;  // the first record the list keeps
    if (rows + records.size() > limit) {
        // The record that finds the list full empties it; the pages after
        // that one leave only the records of the last.
        const size_t emptiedBy = rows >= limit ? 0 : limit - rows;
        const size_t after = records.size() - emptiedBy;
        first = records.size() - ((after - 1) % limit + 1);
        m_list->clear();
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(records.size() - first));
    for (size_t i = records.size(); i-- > first;) {
        const EventRecord& record = records[i];
        auto* item =
            new QTreeWidgetItem({QString::fromStdString(record.timeText), QString::fromStdString(record.message)});
        item->setData(0, Qt::UserRole, qint64(record.epoch));
        items.push_back(item);
    }
    m_list->insertTopLevelItems(0, items);
}

void CEventListPanel::ShowHistory(const std::vector<EventRecord>& events)
{
    ClearAll();
    // The page left by the last emptying: the 1001st, 2001st ... event emptied the list.
    const size_t shown = events.empty() ? 0 : (events.size() - 1) % size_t(kMaxRows) + 1;
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(shown));
    for (size_t i = events.size(); i-- > events.size() - shown;) {
        const EventRecord& record = events[i];
        auto* item =
            new QTreeWidgetItem({QString::fromStdString(record.timeText), QString::fromStdString(record.message)});
        item->setData(0, Qt::UserRole, qint64(record.epoch));
        items.push_back(item);
    }
    m_list->addTopLevelItems(items);
}

void CEventListPanel::ClearAll()
{
    m_list->clear();
    emit cleared();
}

void CEventListPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_list->setGeometry(2, 2, std::max(0, width() - 2), std::max(0, height() - 4));
}

void CEventListPanel::ShowContextMenu(const QPoint& pos)
{
    QMenu menu(this);
    QAction* clear = menu.addAction(QStringLiteral("全部清除"));
    connect(clear, &QAction::triggered, this, &CEventListPanel::ClearAll);
    QAction* exportAll = menu.addAction(QStringLiteral("导出事件..."));
    connect(exportAll, &QAction::triggered, this, &CEventListPanel::exportRequested);
    menu.exec(m_list->viewport()->mapToGlobal(pos));
}
