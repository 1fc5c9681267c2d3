// Opening, playing and closing the sample plan a hundred times in one running
// program. Every cycle must work, and memory must not grow with the cycles:
// in the AddressSanitizer build LeakSanitizer reports any block left behind
// when the test program ends; in every build the resident size is watched.
#include "ui/ShellTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

namespace {

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4;  // pages of 4 KiB
}

}  // namespace

TEST(PlanCycle, HundredPlansOpenPlayAndCloseWithoutGrowth)
{
    Shell s;
    ASSERT_TRUE(s.started);
    long afterWarmUp = 0;
    for (int i = 0; i < 100; ++i) {
        SCOPED_TRACE("cycle " + std::to_string(i));
        ASSERT_TRUE(s.OpenSample());
        ASSERT_NE(s.app->GetPlan(), nullptr);
        // A few ticks, so strikes make fire units and events go out.
        if (i % 10 == 0) {
            s.frame->OnPlay();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            s.frame->OnPause();
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(s.app->ClosePlan());
        EXPECT_EQ(s.app->GetPlan(), nullptr);
        QCoreApplication::processEvents();
        if (i == 9)
            afterWarmUp = ResidentKb();
    }
    const long growth = ResidentKb() - afterWarmUp;
    std::printf("plan cycles: resident size grew by %ld KiB over 90 cycles\n", growth);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed blocks in quarantine, so the resident size
    // grows anyway; LeakSanitizer checks at exit instead.
#else
    EXPECT_LT(growth, 30 * 1024) << "memory grows with every plan opened";
#endif
}
