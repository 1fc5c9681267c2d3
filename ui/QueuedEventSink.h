#pragma once

#include "engine/EventSink.h"

#include <QObject>

#include <atomic>
#include <mutex>
#include <vector>

class CHitList;

// The program's event sink. The clock thread calls it; it never waits for the
// user-interface thread: records are queued as copies and delivered there in
// the order they happened, hits are also appended to the hit list that the
// hit alarm dialog reads. What arrives while a delivery is pending joins it,
// so a tick that starts thousands of moves costs the window one delivery
// (eventsArrived with all of them, then eventArrived for each). Connect
// eventsArrived to CEventListPanel::AddEvents.
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
    // The records queued since the last delivery, oldest first.
    void eventsArrived(const std::vector<EventRecord>& records);
    void hitsArrived(const std::vector<HitRecord>& records);
    // Always delivered through the event queue of this object's thread, also
    // when emitted on that thread, so replayed and played events never overtake
    // one another.
    void eventArrived(EventRecord record);
    // Every hit, delivered the same way (the event log export keeps them).
    void hitArrived(HitRecord record);

private:
    // User-interface thread: hands over what is pending.
    void Deliver();
    // Clock thread, m_mutex held: asks for a delivery unless one is pending.
    void PostLocked();

    CHitList* m_hits;
    std::atomic<quint64> m_generation{0};
    std::mutex m_mutex;  // guards the pending records and the posted flag
    std::vector<EventRecord> m_pendingEvents;
    std::vector<HitRecord> m_pendingHits;
    quint64 m_pendingGeneration = 0;
    bool m_posted = false;
};
