#include "ui/EventListPanel.h"

#include "engine/HitList.h"
#include "ui/QueuedEventSink.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

#include <string>
#include <random>
#include <thread>
#include <vector>

namespace {

EventRecord Event(int i)
{
    return {"08:00:" + std::to_string(i % 60), "事件" + std::to_string(i)};
}

}  // namespace

TEST(EventListPanel, ColumnsAndNewestFirst)
{
    CEventListPanel panel;
    QTreeWidget* list = panel.List();
    ASSERT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), "发生时间");
    EXPECT_EQ(list->headerItem()->text(1), "发生事件");
    EXPECT_EQ(list->columnWidth(0), 120);

    panel.AddEvent({"08:00:01", "坦克1开始移动"});
    panel.AddEvent({"08:00:02", "坦克1移动结束"});
    ASSERT_EQ(panel.RowCount(), 2);
    EXPECT_EQ(panel.Text(0, 0), "08:00:02");
    EXPECT_EQ(panel.Text(0, 1), "坦克1移动结束");
    EXPECT_EQ(panel.Text(1, 1), "坦克1开始移动");
}

TEST(EventListPanel, TheEventAfterAThousandRowsEmptiesTheList)
{
    CEventListPanel panel;
    for (int i = 0; i < 1000; ++i)
        panel.AddEvent(Event(i));
    ASSERT_EQ(panel.RowCount(), 1000);
    EXPECT_EQ(panel.Text(0, 1), "事件999");
    EXPECT_EQ(panel.Text(999, 1), "事件0");

    panel.AddEvent(Event(1000));
    ASSERT_EQ(panel.RowCount(), 1);
    EXPECT_EQ(panel.Text(0, 1), "事件1000");
}

TEST(EventListPanel, ListFillsThePanelLessABorder)
{
    CEventListPanel panel;
    panel.resize(500, 120);
    panel.show();
    EXPECT_EQ(panel.List()->geometry(), QRect(2, 2, 498, 116));
}

TEST(EventListPanel, ContextCommandClearsEverything)
{
    CEventListPanel panel;
    panel.resize(500, 200);
    panel.show();
    panel.AddEvent(Event(1));
    panel.AddEvent(Event(2));

    QStringList captions;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            captions << action->text();
        if (!menu->actions().isEmpty())
            menu->actions().at(0)->trigger();
        menu->close();
    });
    emit panel.List()->customContextMenuRequested(QPoint(10, 10));
    // "全部清除" first; the export of the log beside it.
    EXPECT_EQ(captions, QStringList({"全部清除", "导出事件..."}));
    EXPECT_EQ(panel.RowCount(), 0);

    panel.ClearAll();  // on an empty list: nothing happens
    EXPECT_EQ(panel.RowCount(), 0);
}

TEST(QueuedEventSink, ClockThreadNeverWaitsAndOrderIsKept)
{
    CEventListPanel panel;
    CQueuedEventSink sink;
    QObject::connect(&sink, &CQueuedEventSink::eventArrived, &panel, &CEventListPanel::AddEvent);

    // The user-interface thread handles nothing while the producer runs, so a
    // sink that waited for it would never let the producer finish.
    std::thread producer([&] {
        for (int i = 0; i < 500; ++i)
            sink.OnEvent(Event(i));
    });
    producer.join();
    EXPECT_EQ(panel.RowCount(), 0);

    // Emitted on the user-interface thread, a record still queues behind the
    // ones the clock thread sent earlier.
    sink.OnEvent({"09:00:00", "last"});
    EXPECT_EQ(panel.RowCount(), 0);

    QCoreApplication::processEvents();
    ASSERT_EQ(panel.RowCount(), 501);
    EXPECT_EQ(panel.Text(0, 1), "last");
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(panel.Text(500 - i, 1).toStdString(), "事件" + std::to_string(i));
}

TEST(QueuedEventSink, RecordsAreCopiesThatOutliveTheSender)
{
    CEventListPanel panel;
    CQueuedEventSink sink;
    QObject::connect(&sink, &CQueuedEventSink::eventArrived, &panel, &CEventListPanel::AddEvent);
    {
        EventRecord onStack{"08:00:00", std::string(200, 'x')};
        sink.OnEvent(onStack);
        onStack.message = "changed";
    }
    QCoreApplication::processEvents();
    ASSERT_EQ(panel.RowCount(), 1);
    EXPECT_EQ(panel.Text(0, 1), QString(200, 'x'));
}

TEST(QueuedEventSink, HitsGoToTheHitList)
{
    CHitList hits;
    CQueuedEventSink sink(&hits);
    std::thread clockThread([&] { sink.OnHit({"坦克[编号:3]", "火炮", 12.5, "08:00:05"}); });
    clockThread.join();
    ASSERT_EQ(hits.Count(), 1u);
    EXPECT_EQ(hits.At(0)->victim, "坦克[编号:3]");

    CQueuedEventSink withoutList;
    withoutList.OnHit({"a", "b", 1, "c"});  // nothing to append to: ignored
}

namespace {

std::vector<std::string> RowsOf(const CEventListPanel& panel)
{
    std::vector<std::string> rows;
    for (int r = 0; r < panel.RowCount(); ++r)
        rows.push_back(panel.Text(r, 0).toStdString() + " " + panel.Text(r, 1).toStdString() + " " +
                       std::to_string(panel.Epoch(r)));
    return rows;
}

}  // namespace

// Bursts of any size, on a list holding any number of rows: the rows adding
// the records one by one leaves, with the 1000-row rule across the bursts.
TEST(EventListPanel, BurstsLeaveTheRowsOfOneByOne)
{
    std::mt19937 rng(3);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    CEventListPanel batched, single;
    int next = 0;
    for (int round = 0; round < 40; ++round) {
        const int sizes[] = {0, 1, pick(2, 50), 999, 1000, 1001, pick(1002, 3500)};
        std::vector<EventRecord> burst;
        for (int k = sizes[pick(0, 6)]; k > 0; --k, ++next)
            burst.push_back({"t" + std::to_string(next), "事件" + std::to_string(next), int64_t(next)});
        batched.AddEvents(burst);
        for (const EventRecord& record : burst)
            single.AddEvent(record);
        ASSERT_EQ(RowsOf(batched), RowsOf(single)) << "round " << round << ", burst of " << burst.size();
        if (pick(0, 9) == 0) {
            batched.ClearAll();
            single.ClearAll();
        }
    }
}

// Thousands of records sent in one tick reach the window as one delivery,
// in order; records of a history a seek replaced are dropped.
TEST(QueuedEventSink, BurstsArriveAsOneDeliveryInOrder)
{
    CQueuedEventSink sink;
    std::vector<std::vector<EventRecord>> deliveries;
    std::vector<std::string> each;
    QObject::connect(&sink, &CQueuedEventSink::eventsArrived,
                     [&](const std::vector<EventRecord>& records) { deliveries.push_back(records); });
    QObject::connect(&sink, &CQueuedEventSink::eventArrived,
                     [&](const EventRecord& record) { each.push_back(record.message); });
    std::thread clockThread([&] {
        for (int i = 0; i < 5000; ++i)
            sink.OnEvent(Event(i));
    });
    clockThread.join();
    QCoreApplication::processEvents();
    ASSERT_EQ(deliveries.size(), 1u);
    ASSERT_EQ(deliveries[0].size(), 5000u);
    ASSERT_EQ(each.size(), 5000u);
    for (int i = 0; i < 5000; ++i) {
        ASSERT_EQ(deliveries[0][size_t(i)].message, "事件" + std::to_string(i));
        ASSERT_EQ(each[size_t(i)], "事件" + std::to_string(i));
    }

    sink.OnEvent(Event(1));
    sink.DiscardPending();
    sink.OnEvent(Event(2));
    QCoreApplication::processEvents();
    ASSERT_EQ(deliveries.size(), 2u);
    ASSERT_EQ(deliveries[1].size(), 1u);
    EXPECT_EQ(deliveries[1][0].message, "事件2");
}
