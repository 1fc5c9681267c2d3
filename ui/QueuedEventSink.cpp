#include "ui/QueuedEventSink.h"

#include "engine/HitList.h"

CQueuedEventSink::CQueuedEventSink(CHitList* hits, QObject* parent) : QObject(parent), m_hits(hits)
{
    qRegisterMetaType<EventRecord>();
    qRegisterMetaType<HitRecord>();
    // The hop through the sink's own thread is what orders the records: a
    // queued connection posts in emission order from any thread.
    connect(
        this, &CQueuedEventSink::queued, this,
        [this](const EventRecord& record, quint64 generation) {
            if (generation == m_generation.load())
                emit eventArrived(record);
        },
        Qt::QueuedConnection);
    connect(
        this, &CQueuedEventSink::queuedHit, this,
        [this](const HitRecord& record, quint64 generation) {
            if (generation == m_generation.load())
                emit hitArrived(record);
        },
        Qt::QueuedConnection);
}

void CQueuedEventSink::OnEvent(const EventRecord& record)
{
    emit queued(record, m_generation.load());
}

void CQueuedEventSink::OnHit(const HitRecord& record)
{
    if (m_hits)
        m_hits->Append(record);
    emit queuedHit(record, m_generation.load());
}
