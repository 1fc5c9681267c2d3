#include "ui/QueuedEventSink.h"

#include "engine/HitList.h"

CQueuedEventSink::CQueuedEventSink(CHitList* hits, QObject* parent) : QObject(parent), m_hits(hits)
{
    qRegisterMetaType<EventRecord>();
    qRegisterMetaType<HitRecord>();
}

void CQueuedEventSink::PostLocked()
{
    // Records of an older generation belong to a history a seek replaced.
    const quint64 generation = m_generation.load();
    if (m_pendingGeneration != generation) {
        m_pendingEvents.clear();
        m_pendingHits.clear();
        m_pendingGeneration = generation;
    }
    if (m_posted)
        return;
    m_posted = true;
    // A posted call runs after everything posted before it, from any thread,
    // so deliveries keep the order of the records.
    QMetaObject::invokeMethod(this, &CQueuedEventSink::Deliver, Qt::QueuedConnection);
}

void CQueuedEventSink::OnEvent(const EventRecord& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    PostLocked();
    m_pendingEvents.push_back(record);
}

void CQueuedEventSink::OnHit(const HitRecord& record)
{
    if (m_hits)
        m_hits->Append(record);
    std::lock_guard<std::mutex> lock(m_mutex);
    PostLocked();
    m_pendingHits.push_back(record);
}

void CQueuedEventSink::Deliver()
{
    std::vector<EventRecord> events;
    std::vector<HitRecord> hits;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_posted = false;
        if (m_pendingGeneration == m_generation.load()) {
            events.swap(m_pendingEvents);
            hits.swap(m_pendingHits);
        }
        m_pendingEvents.clear();
        m_pendingHits.clear();
    }
    if (!events.empty()) {
        emit eventsArrived(events);
        for (const EventRecord& record : events)
            emit eventArrived(record);
    }
    if (!hits.empty()) {
        emit hitsArrived(hits);
        for (const HitRecord& record : hits)
            emit hitArrived(record);
    }
}
