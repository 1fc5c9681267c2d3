#pragma once

#include "engine/EventSink.h"

#include <QObject>

#include <atomic>

class CHitList;

// The program's event sink. The clock thread calls it; it never waits for the
// user-interface thread: events are queued as copies and delivered there in
// the order they happened (eventArrived), hits are appended to the hit list
// that the hit alarm dialog reads. Connect eventArrived to
// CEventListPanel::AddEvent.
class CQueuedEventSink : public QObject, public IEventSink {
    Q_OBJECT
public:
    // `hits` (not owned, may be null) receives every hit record.
    explicit CQueuedEventSink(CHitList* hits = nullptr, QObject* parent = nullptr);

    void OnEvent(const EventRecord& record) override;
    void OnHit(const HitRecord& record) override;
    // Records queued but not yet delivered are dropped: a seek has replaced
    // the history they belong to. User-interface thread, clock stopped.
    void DiscardPending() { ++m_generation; }

signals:
    // Always delivered through the event queue of this object's thread, also
    // when emitted on that thread, so replayed and played events never overtake
    // one another.
    void eventArrived(EventRecord record);
    // Every hit, delivered the same way (the event log export keeps them).
    void hitArrived(HitRecord record);

private:
    Q_SIGNAL void queued(EventRecord record, quint64 generation);
    Q_SIGNAL void queuedHit(HitRecord record, quint64 generation);
    CHitList* m_hits;
    std::atomic<quint64> m_generation{0};
};
