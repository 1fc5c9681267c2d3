#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// The reader/writer gate of a layer's unit list. Walkers take it shared with
// a short time-out and give up when it runs out; deletions take it
// exclusively and wait as long as it takes. A waiting writer keeps new
// readers out (they time out), and the reader count and the writer's wait are
// decided under one mutex, so no reader can slip in after a writer has seen
// the count reach zero.
//
// Shared entry is not tied to a thread: a thread that already holds the gate
// shared may take it shared again (a strike inside a tick does), but while a
// writer waits that nested request times out like any other.
class CLayerGate {
public:
    // True when the gate was obtained within `timeoutMs` (0: only if free now).
    bool LockShared(uint32_t timeoutMs);
    // Shared entry without a time-out, for callers that must not skip their
    // pass (the clock is stopped, or a deletion holds the gate only briefly).
    void LockSharedWait();
    void UnlockShared();
    // Waits, without a time-out, until no reader and no other writer holds the gate.
    void LockExclusive();
    // Exclusive entry for edits made from the user interface while playback
    // may run: waits at most `timeoutMs` and gives up (false, nothing held)
    // rather than stall the user-interface thread. While it waits it keeps new
    // readers out like any writer; when it gives up they may enter again.
    bool TryLockExclusive(uint32_t timeoutMs);
    void UnlockExclusive();

    // Current holders, for diagnostics and tests.
    int SharedHolders() const;
    bool HeldExclusively() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_readerCanEnter;
    std::condition_variable m_writerCanEnter;
    int m_readers = 0;
    int m_writersWaiting = 0;
    bool m_writer = false;
};
