#include "engine/ClockService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct Step {
    uint32_t previous, now;
};

// Records every call; optionally slow, optionally adds a fire line.
class RecordingReceiver : public IClockReceiver {
public:
    void CheckHits(FireLineList& lines) override
    {
        std::lock_guard<std::mutex> lk(mutex);
        hitChecks.push_back(lines.size());
    }
    int RecvClockEvent(uint32_t previous, uint32_t now, const void* context) override
    {
        inTick = true;
        if (sleepMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
        {
            std::lock_guard<std::mutex> lk(mutex);
            steps.push_back({previous, now});
            contexts.push_back(context);
        }
        if (lines)
            lines->push_back(FireLine{});
        if (onTick)
            onTick();
        inTick = false;
        return 1;
    }
    std::vector<Step> Steps()
    {
        std::lock_guard<std::mutex> lk(mutex);
        return steps;
    }

    std::mutex mutex;
    std::vector<Step> steps;
    std::vector<const void*> contexts;
    std::vector<size_t> hitChecks;
    std::atomic<bool> inTick{false};
    int sleepMs = 0;
    FireLineList* lines = nullptr;
    std::function<void()> onTick;
};

bool WaitFor(const std::function<bool()>& cond, std::chrono::milliseconds limit = 5000ms)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

}  // namespace

TEST(ClockService, TicksPassPreviousAndNowWithUnsignedWrap)
{
    CClockService clock;
    RecordingReceiver r;
    ASSERT_TRUE(clock.AddReceiver(&r));
    clock.SetTime(0);
    clock.Tick();
    clock.Tick();
    ASSERT_EQ(r.steps.size(), 2u);
    EXPECT_EQ(r.steps[0].previous, uint32_t(0) - 200u);
    EXPECT_EQ(r.steps[0].now, 0u);
    EXPECT_EQ(r.steps[1].previous, 0u);
    EXPECT_EQ(r.steps[1].now, 200u);
    EXPECT_EQ(clock.GetTime(), 400u);

    // The running clock continues from there, one period per tick, in order.
    clock.SetRate(8);
    clock.Resume();
    ASSERT_TRUE(WaitFor([&] { return r.Steps().size() >= 6; }));
    clock.Stop();
    const auto steps = r.Steps();
    for (size_t i = 1; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].now, steps[i - 1].now + 200u);
        EXPECT_EQ(steps[i].previous, steps[i].now - 200u);
    }
    EXPECT_NE(r.contexts.back(), nullptr);
}

TEST(ClockService, NoPlanTimePassesWhileStopped)
{
    CClockService clock;
    RecordingReceiver r;
    clock.AddReceiver(&r);
    clock.SetRate(16);  // a tick every 12 ms if it were running
    std::this_thread::sleep_for(60ms);
    EXPECT_TRUE(r.Steps().empty());
    EXPECT_EQ(clock.GetTime(), 0u);
    EXPECT_EQ(clock.IsRunning(), 0);
}

TEST(ClockService, ReceiversAndRateRules)
{
    CClockService clock;
    RecordingReceiver a, b;
    EXPECT_TRUE(clock.AddReceiver(&a));
    clock.Start();
    EXPECT_FALSE(clock.AddReceiver(&b)) << "refused while running";
    EXPECT_FALSE(clock.RemoveReceiver(&a));
    clock.Stop();
    EXPECT_TRUE(clock.RemoveReceiver(&a));
    EXPECT_TRUE(clock.RemoveReceiver(&b)) << "removing an unknown receiver still succeeds";

    EXPECT_EQ(clock.GetTickInterval(), 200);
    EXPECT_FALSE(clock.SetRate(0));
    EXPECT_FALSE(clock.SetRate(1e-15));
    EXPECT_FALSE(clock.SetRate(-1));
    EXPECT_FALSE(clock.SetRate(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(clock.GetRate(), 1.0);
    EXPECT_EQ(clock.GetTickInterval(), 200);

    EXPECT_TRUE(clock.SetRate(8));
    EXPECT_EQ(clock.GetTickInterval(), 25);
    EXPECT_TRUE(clock.SetRate(1.0 / 16));
    EXPECT_EQ(clock.GetTickInterval(), 3200);
    EXPECT_TRUE(clock.SetRate(3));
    EXPECT_EQ(clock.GetTickInterval(), 66) << "truncated";
    EXPECT_TRUE(clock.SetRate(1e9));
    EXPECT_EQ(clock.GetTickInterval(), 1) << "never a zero interval";
    EXPECT_TRUE(clock.SetRate(1e-13));
    EXPECT_GT(clock.GetTickInterval(), 0) << "no overflow";

    // A re-rate keeps the state.
    EXPECT_EQ(clock.IsRunning(), 0);
    clock.SetRate(2);
    EXPECT_EQ(clock.IsRunning(), 0);
    clock.Start();
    clock.SetRate(4);
    EXPECT_EQ(clock.IsRunning(), 1);
    clock.Stop();
}

TEST(ClockService, HitCheckFollowsTheFlagAndSeesThisTicksLines)
{
    CClockService clock;
    FireLineList lines{FireLine{}, FireLine{}};  // left over from an earlier tick
    clock.SetFireLineList(&lines);
    RecordingReceiver striker, other;
    striker.lines = &lines;
    clock.AddReceiver(&striker);
    clock.AddReceiver(&other);
    int repaints = 0;
    clock.SetRepaintRequest([&] { ++repaints; });

    clock.Tick();
    EXPECT_EQ(striker.hitChecks, (std::vector<size_t>{1})) << "emptied first, then one line added";
    EXPECT_EQ(other.hitChecks, (std::vector<size_t>{1}));
    clock.SetCheckBeenHit(0);
    clock.Tick();
    EXPECT_EQ(striker.hitChecks.size(), 1u);
    EXPECT_EQ(other.steps.size(), 2u);
    EXPECT_EQ(repaints, 2);
}

TEST(ClockService, StopWaitsForTheTickInProgress)
{
    CClockService clock;
    RecordingReceiver r;
    r.sleepMs = 80;
    clock.AddReceiver(&r);
    clock.SetRate(16);
    clock.Start();
    ASSERT_TRUE(WaitFor([&] { return r.inTick.load(); }));
    clock.Stop();
    EXPECT_FALSE(r.inTick.load()) << "Stop returned while a tick was still running";
    const size_t n = r.Steps().size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(r.Steps().size(), n) << "no tick after Stop";
}

TEST(ClockService, PauseFromInsideATickDoesNotDeadlock)
{
    CClockService clock;
    RecordingReceiver r;
    r.onTick = [&] { clock.Stop(); };
    clock.AddReceiver(&r);
    clock.SetRate(16);
    clock.Start();
    ASSERT_TRUE(WaitFor([&] { return r.Steps().size() == 1 && !clock.IsRunning(); }));
    std::this_thread::sleep_for(40ms);
    EXPECT_EQ(r.Steps().size(), 1u);
}

TEST(ClockService, ManyPauseResumeCyclesKeepTimeInOrder)
{
    CClockService clock;
    RecordingReceiver r;
    clock.AddReceiver(&r);
    clock.SetRate(1e9);  // ticks as fast as they come, so pauses land inside ticks
    for (int i = 0; i < 2000; ++i) {
        clock.Resume();
        if (i % 7 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(1500));
        clock.Stop();
        EXPECT_FALSE(r.inTick.load());
    }
    const auto steps = r.Steps();
    ASSERT_FALSE(steps.empty());
    for (size_t i = 1; i < steps.size(); ++i)
        ASSERT_EQ(steps[i].now, steps[i - 1].now + 200u);
    EXPECT_EQ(clock.GetTime(), uint32_t(steps.size() * 200));
}
