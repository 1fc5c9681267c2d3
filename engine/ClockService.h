#pragma once

#include "engine/ClockReceiver.h"
#include "engine/FireLine.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class IMessageReporter;

// The playback clock. Plan time advances by one period (200 ms) per tick
// whatever the rate; the rate only sets how often ticks come in wall time
// (period / rate ms apart). Ticks run on a thread of the clock's own at
// absolute deadlines, so N ticks take N x period / rate without drift.
//
// Start/Stop/SetRate/AddReceiver are called from the user-interface thread.
// Stop returns only after a tick in progress has finished; after it returns no
// receiver code runs until the next Start.
class CClockService {
public:
    // Starts the tick thread (stopped clock). When no thread can be started,
    // reports "启动时钟服务失败!, 系统将不能正常工作" and never ticks.
    explicit CClockService(int periodMs = 200, IMessageReporter* reporter = nullptr);
    ~CClockService();
    CClockService(const CClockService&) = delete;
    CClockService& operator=(const CClockService&) = delete;

    int Start();
    int Stop();
    int Resume();  // remembers the wall-clock time, then Start
    int IsRunning() const { return m_running.load() ? 1 : 0; }

    bool AddReceiver(IClockReceiver* receiver);     // refused while running
    bool RemoveReceiver(IClockReceiver* receiver);  // refused while running

    void SetTime(uint32_t ms) { m_now.store(ms); }
    // Plan time of the next tick.
    uint32_t GetTime() const { return m_now.load(); }
    int GetPeriod() const { return m_period; }

    // Refused (false, nothing changed) unless rate >= 1e-14. Keeps the running state.
    bool SetRate(double rate);
    double GetRate() const { return m_rate.load(); }
    // Wall-time milliseconds between ticks: trunc(period / rate), at least 1.
    int GetTickInterval() const { return m_intervalMs.load(); }

    // Application values the tick uses. Set them while stopped.
    void SetFireLineList(FireLineList* list) { m_fireLines = list; }
    void SetCheckBeenHit(int flag) { m_checkBeenHit.store(flag); }
    int GetCheckBeenHit() const { return m_checkBeenHit.load(); }
    // Called at the end of every tick, on the clock thread: ask the view for a
    // repaint (the receiver must only post a request, never paint or wait).
    void SetRepaintRequest(std::function<void()> request);

    // The tick procedure without the wait for the run state: empties the fire
    // lines, hands (now - period, now) to every receiver, runs the hit check when
    // enabled, advances now, asks for a repaint. The clock thread calls it; the
    // headless replay calls it directly while the clock is stopped.
    void Tick();

    // Ticks processed by the clock thread since construction (diagnostics, tests).
    uint64_t GetTickCount() const { return m_tickCount.load(); }
    bool HasTimer() const { return m_thread.joinable(); }

private:
    void Run();
    bool OnClockThread() const;

    const int m_period;
    IMessageReporter* m_reporter;
    std::atomic<uint32_t> m_now{0};
    std::time_t m_context = 0;
    std::atomic<bool> m_running{false};
    std::atomic<double> m_rate{1.0};
    std::atomic<int> m_intervalMs{200};
    std::atomic<int> m_checkBeenHit{1};
    std::atomic<uint64_t> m_tickCount{0};
    std::vector<IClockReceiver*> m_receivers;
    FireLineList* m_fireLines = nullptr;
    FireLineList m_ownFireLines;  // used when the application gave none
    std::function<void()> m_repaint;

    // Guards the run state, the tick-in-progress flag and the schedule.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;   // start, re-rate, shutdown
    std::condition_variable m_idle;   // a tick has ended
    bool m_inTick = false;
    bool m_shutdown = false;
    uint64_t m_scheduleGeneration = 0;  // bumped when the deadlines must restart
    std::thread m_thread;
};
