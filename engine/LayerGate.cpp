#include "engine/LayerGate.h"

#include <chrono>

bool CLayerGate::LockShared(uint32_t timeoutMs)
{
    std::unique_lock lock(m_mutex);
    const auto free = [this] { return !m_writer && m_writersWaiting == 0; };
    if (!m_readerCanEnter.wait_for(lock, std::chrono::milliseconds(timeoutMs), free))
        return false;
    ++m_readers;
    return true;
}

void CLayerGate::LockSharedWait()
{
    std::unique_lock lock(m_mutex);
    m_readerCanEnter.wait(lock, [this] { return !m_writer && m_writersWaiting == 0; });
    ++m_readers;
}

void CLayerGate::UnlockShared()
{
    std::lock_guard lock(m_mutex);
    // Releasing what was never taken must not hand the gate to a writer early.
    if (m_readers == 0)
        return;
    if (--m_readers == 0 && m_writersWaiting > 0)
        m_writerCanEnter.notify_one();
}

void CLayerGate::LockExclusive()
{
    std::unique_lock lock(m_mutex);
    ++m_writersWaiting;
    m_writerCanEnter.wait(lock, [this] { return !m_writer && m_readers == 0; });
    --m_writersWaiting;
    m_writer = true;
}

bool CLayerGate::TryLockExclusive(uint32_t timeoutMs)
{
    std::unique_lock lock(m_mutex);
    ++m_writersWaiting;
    const bool free = m_writerCanEnter.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                [this] { return !m_writer && m_readers == 0; });
    --m_writersWaiting;
    if (!free) {
        // Readers that this writer held back must not wait for a writer that left.
        if (!m_writer && m_writersWaiting == 0)
            m_readerCanEnter.notify_all();
        return false;
    }
    m_writer = true;
    return true;
}

void CLayerGate::UnlockExclusive()
{
    std::lock_guard lock(m_mutex);
    if (!m_writer)
        return;
    m_writer = false;
    if (m_writersWaiting > 0)
        m_writerCanEnter.notify_one();
    else
        m_readerCanEnter.notify_all();
}

int CLayerGate::SharedHolders() const
{
    std::lock_guard lock(m_mutex);
    return m_readers;
}

bool CLayerGate::HeldExclusively() const
{
    std::lock_guard lock(m_mutex);
    return m_writer;
}
