#include "ui/QueuedEventSink.h"

#include "engine/HitList.h"

CQueuedEventSink::CQueuedEventSink(CHitList* hits, QObject* parent) : QObject(parent), m_hits(hits)
{
    qRegisterMetaType<EventRecord>();
    qRegisterMetaType<HitRecord>();
    // The hop through the sink's own thread is what orders the records: a
    // queued connection posts in emission order from any thread.
    connect(this, &CQueuedEventSink::queued, this, &CQueuedEventSink::eventArrived, Qt::QueuedConnection);
    connect(this, &CQueuedEventSink::queuedHit, this, &CQueuedEventSink::hitArrived, Qt::QueuedConnection);
}

void CQueuedEventSink::OnEvent(const EventRecord& record)
{
    emit queued(record);
}

void CQueuedEventSink::OnHit(const HitRecord& record)
{
    if (m_hits)
        m_hits->Append(record);
    emit queuedHit(record);
}
