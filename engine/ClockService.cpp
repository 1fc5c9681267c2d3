#include "engine/ClockService.h"

#include "config/MessageReporter.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <system_error>

namespace {

int IntervalFor(int period, double rate)
{
    const double ms = std::trunc(double(period) / rate);
    if (!(ms >= 1.0))
        return 1;  // a tick every millisecond is as fast as the clock goes
    if (ms > double(INT_MAX))
        return INT_MAX;
    return int(ms);
}

void ReportTimerFailure(IMessageReporter* reporter)
{
    IMessageReporter& r = reporter ? *reporter : DefaultMessageReporter();
    r.Report({"启动时钟服务失败!, 系统将不能正常工作", "时钟服务错误信息", MessageIcon::Error, MessageButtons::Ok});
}

}  // namespace

CClockService::CClockService(int periodMs, IMessageReporter* reporter)
    : m_period(periodMs > 0 ? periodMs : 200), m_reporter(reporter)
{
    m_intervalMs = IntervalFor(m_period, 1.0);
    try {
        m_thread = std::thread(&CClockService::Run, this);
    } catch (const std::system_error&) {
        ReportTimerFailure(m_reporter);
    }
}

CClockService::~CClockService()
{
    Stop();
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        m_shutdown = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable() && !OnClockThread())
        m_thread.join();
    else if (m_thread.joinable())
        m_thread.detach();
}

bool CClockService::OnClockThread() const
{
    return std::this_thread::get_id() == m_thread.get_id();
}

int CClockService::Start()
{
    {
        std::lock_guard<std::mutex> lk(m_mutex);
        if (!m_running.load()) {
            m_running = true;
            ++m_scheduleGeneration;  // deadlines count from now
        }
    }
    m_wake.notify_all();
    return 1;
}

int CClockService::Stop()
{
    std::unique_lock<std::mutex> lk(m_mutex);
    m_running = false;
    m_wake.notify_all();
    // A receiver that pauses from inside a tick must not wait for itself.
    if (!OnClockThread())
        m_idle.wait(lk, [this] { return !m_inTick; });
    return 1;
}

int CClockService::Resume()
{
    m_context = std::time(nullptr);
    return Start();
}

bool CClockService::AddReceiver(IClockReceiver* receiver)
{
    if (m_running.load() || !receiver)
        return false;
    m_receivers.push_back(receiver);
    return true;
}

bool CClockService::RemoveReceiver(IClockReceiver* receiver)
{
    if (m_running.load())
        return false;
    auto it = std::find(m_receivers.begin(), m_receivers.end(), receiver);
    if (it != m_receivers.end())
        m_receivers.erase(it);
    return true;
}

bool CClockService::SetRate(double rate)
{
    if (!(rate - 0.0 >= 1e-14))  // also refuses NaN
        return false;
    const bool wasRunning = m_running.load();
    Stop();
    m_rate = rate;
    m_intervalMs = IntervalFor(m_period, rate);
    if (!m_thread.joinable())
        ReportTimerFailure(m_reporter);
    else if (wasRunning)
        Start();
    return true;
}

void CClockService::SetRepaintRequest(std::function<void()> request)
{
    m_repaint = std::move(request);
}

void CClockService::Tick()
{
    FireLineList& lines = m_fireLines ? *m_fireLines : m_ownFireLines;
    lines.clear();
    const uint32_t now = m_now.load();
    for (IClockReceiver* r : m_receivers)
        r->RecvClockEvent(now - uint32_t(m_period), now, &m_context);
    if (m_checkBeenHit.load() != 0)
        for (IClockReceiver* r : m_receivers)
            r->CheckHits(lines);
    m_now.store(now + uint32_t(m_period));
    if (m_repaint)
        m_repaint();
}

void CClockService::Run()
{
    using clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lk(m_mutex);
    while (!m_shutdown) {
        if (!m_running.load()) {
            m_wake.wait(lk, [this] { return m_shutdown || m_running.load(); });
            continue;
        }
        // One schedule: deadlines at t0 + k * interval, so late ticks never
        // push the later ones back. A start or re-rate begins a new schedule.
        const uint64_t generation = m_scheduleGeneration;
        const auto interval = std::chrono::milliseconds(m_intervalMs.load());
        const auto t0 = clock::now();
        uint64_t k = 1;
        const auto interrupted = [&] {
            return m_shutdown || !m_running.load() || generation != m_scheduleGeneration;
        };
        while (!interrupted()) {
            if (m_wake.wait_until(lk, t0 + interval * k, interrupted))
                break;
            m_inTick = true;
            lk.unlock();
            Tick();
            ++m_tickCount;
            lk.lock();
            m_inTick = false;
            m_idle.notify_all();
            // Deadlines missed while a long tick ran are dropped, not queued.
            ++k;
            const auto late = clock::now() - t0;
            if (t0 + interval * k < clock::now())
                k = uint64_t(late / interval) + 1;
        }
    }
}
