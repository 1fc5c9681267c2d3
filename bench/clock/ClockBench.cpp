// Wall time of a run of ticks at a given rate: 300 ticks at rate 8 should take
// 300 x 200 / 8 ms = 7.5 s, without drift.
#include "engine/ClockService.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

class CountingReceiver : public IClockReceiver {
public:
    explicit CountingReceiver(int target) : m_target(target) {}
    void CheckHits(FireLineList&) override {}
    int RecvClockEvent(uint32_t, uint32_t, const void*) override
    {
        if (++m_count == m_target) {
            std::lock_guard<std::mutex> lk(m_mutex);
            m_done = true;
            m_cv.notify_all();
        }
        return 1;
    }
    void Wait()
    {
        std::unique_lock<std::mutex> lk(m_mutex);
        m_cv.wait(lk, [this] { return m_done; });
    }

private:
    int m_target;
    std::atomic<int> m_count{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_done = false;
};

void BM_ClockWallTime(benchmark::State& state)
{
    const double rate = double(state.range(0)) / 16.0;
    const int ticks = int(state.range(1));
    for (auto _ : state) {
        CClockService clock;
        CountingReceiver r(ticks);
        clock.AddReceiver(&r);
        clock.SetRate(rate);
        const auto t0 = std::chrono::steady_clock::now();
        clock.Resume();
        r.Wait();
        const auto t1 = std::chrono::steady_clock::now();
        clock.Stop();
        const double seconds = std::chrono::duration<double>(t1 - t0).count();
        state.SetIterationTime(seconds);
        const double expected = ticks * 0.2 / rate;
        state.counters["expected_s"] = expected;
        state.counters["error_pct"] = 100.0 * (seconds - expected) / expected;
    }
}

}  // namespace

// rate x16, ticks
BENCHMARK(BM_ClockWallTime)->Args({128, 300})->Args({16, 20})->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
