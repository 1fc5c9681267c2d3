#include "engine/LayerGate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

TEST(LayerGate, ReadersShareAndWritersExcludeEveryone)
{
    CLayerGate gate;
    ASSERT_TRUE(gate.LockShared(0));
    ASSERT_TRUE(gate.LockShared(0)) << "shared entry nests";
    EXPECT_EQ(gate.SharedHolders(), 2);

    std::atomic<bool> writerIn{false};
    std::thread writer([&] {
        gate.LockExclusive();
        writerIn = true;
        gate.UnlockExclusive();
    });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(writerIn) << "the writer waits for both readers";
    gate.UnlockShared();
    std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(writerIn);
    gate.UnlockShared();
    writer.join();
    EXPECT_TRUE(writerIn);
    EXPECT_EQ(gate.SharedHolders(), 0);
    EXPECT_FALSE(gate.HeldExclusively());
}

TEST(LayerGate, AWaitingWriterKeepsNewReadersOutUntilItIsDone)
{
    CLayerGate gate;
    ASSERT_TRUE(gate.LockShared(0));
    std::atomic<bool> writerDone{false};
    std::thread writer([&] {
        gate.LockExclusive();
        std::this_thread::sleep_for(30ms);
        writerDone = true;
        gate.UnlockExclusive();
    });
    // Once the writer is queued, a new reader no longer gets in.
    while (gate.LockShared(0)) {
        gate.UnlockShared();
        std::this_thread::sleep_for(1ms);
    }
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(gate.LockShared(20));
    EXPECT_GE(std::chrono::steady_clock::now() - before, 19ms) << "the time-out is waited out";
    gate.UnlockShared();  // lets the writer in

    EXPECT_TRUE(gate.LockShared(2000)) << "readers get in once the writer left";
    EXPECT_TRUE(writerDone);
    gate.UnlockShared();
    writer.join();
}

TEST(LayerGate, ReleasingWhatWasNotTakenChangesNothing)
{
    CLayerGate gate;
    gate.UnlockShared();
    gate.UnlockExclusive();
    ASSERT_TRUE(gate.LockShared(0));
    gate.UnlockShared();
    gate.UnlockShared();  // one too many
    EXPECT_EQ(gate.SharedHolders(), 0);
    gate.LockExclusive();
    EXPECT_FALSE(gate.LockShared(0));
    gate.UnlockExclusive();
    EXPECT_TRUE(gate.LockShared(0));
    gate.UnlockShared();
}

// Readers with time-outs and writers hammer the gate. A writer keeps a pair of
// counters equal only while it is alone; readers check the pair and the
// writers' updates must all arrive.
TEST(LayerGate, NoReaderEverSeesAWriterAtWork)
{
    CLayerGate gate;
    long a = 0, b = 0;  // plain: the gate alone protects them
    std::atomic<int> readersInside{0};
    std::atomic<bool> violation{false};
    std::atomic<bool> stop{false};
    std::atomic<long> readsDone{0}, readsTimedOut{0};

    std::vector<std::thread> threads;
    for (int r = 0; r < 3; ++r) {
        threads.emplace_back([&] {
            while (!stop) {
                if (!gate.LockShared(1)) {
                    ++readsTimedOut;
                    continue;
                }
                ++readersInside;
                if (a != b)
                    violation = true;
                --readersInside;
                ++readsDone;
                gate.UnlockShared();
            }
        });
    }
    constexpr int kWrites = 2000;
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([&] {
            for (int i = 0; i < kWrites; ++i) {
                gate.LockExclusive();
                if (readersInside != 0)
                    violation = true;
                ++a;
                std::this_thread::yield();
                ++b;
                gate.UnlockExclusive();
            }
        });
    }
    threads[3].join();
    threads[4].join();
    stop = true;
    for (int r = 0; r < 3; ++r)
        threads[size_t(r)].join();

    EXPECT_FALSE(violation);
    EXPECT_EQ(a, 2 * kWrites) << "no update lost";
    EXPECT_EQ(b, 2 * kWrites);
    EXPECT_GT(readsDone, 0);
    EXPECT_EQ(gate.SharedHolders(), 0);
}

// The timed exclusive entry of edits made while playback runs: it gives up
// when a reader stays too long, holds nothing afterwards, lets the readers it
// held back in again, and mixes with untimed writers without losing updates.
TEST(LayerGate, TimedExclusiveEntryGivesUpCleanly)
{
    CLayerGate gate;
    ASSERT_TRUE(gate.TryLockExclusive(0)) << "a free gate is taken at once";
    EXPECT_TRUE(gate.HeldExclusively());
    EXPECT_FALSE(gate.TryLockExclusive(5)) << "no second writer, and no self-deadlock";
    EXPECT_FALSE(gate.LockShared(0));
    gate.UnlockExclusive();

    ASSERT_TRUE(gate.LockShared(0));
    std::atomic<bool> readerBlocked{false}, readerIn{false};
    std::thread editor([&] {
        const auto before = std::chrono::steady_clock::now();
        EXPECT_FALSE(gate.TryLockExclusive(40)) << "the reader stays";
        EXPECT_GE(std::chrono::steady_clock::now() - before, 39ms);
    });
    // While the editor waits, new readers are kept out ...
    std::this_thread::sleep_for(10ms);
    std::thread reader([&] {
        readerBlocked = !gate.LockShared(0);
        // ... and get in once it gave up, well within this time-out.
        readerIn = gate.LockShared(2000);
        if (readerIn)
            gate.UnlockShared();
    });
    editor.join();
    reader.join();
    EXPECT_TRUE(readerBlocked);
    EXPECT_TRUE(readerIn);
    EXPECT_FALSE(gate.HeldExclusively());
    gate.UnlockShared();
    EXPECT_EQ(gate.SharedHolders(), 0);

    long a = 0, b = 0;
    std::atomic<bool> violation{false};
    std::atomic<int> timedWrites{0};
    std::thread timed([&] {
        for (int i = 0; i < 3000; ++i) {
            if (!gate.TryLockExclusive(1))
                continue;
            ++timedWrites;
            violation = violation || a != b;
            ++a, ++b;
            gate.UnlockExclusive();
        }
    });
    std::thread untimed([&] {
        for (int i = 0; i < 3000; ++i) {
            gate.LockExclusive();
            violation = violation || a != b;
            ++a, ++b;
            gate.UnlockExclusive();
        }
    });
    for (int i = 0; i < 3000; ++i)
        if (gate.LockShared(1)) {
            violation = violation || a != b;
            gate.UnlockShared();
        }
    timed.join();
    untimed.join();
    EXPECT_FALSE(violation);
    EXPECT_EQ(a, 3000 + timedWrites.load());
    EXPECT_EQ(gate.SharedHolders(), 0);
    EXPECT_FALSE(gate.HeldExclusively());
}
