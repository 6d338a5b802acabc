// The lock with a condition, in whichever form this program's system calls give it: the
// slim one, or (in the programs built for the XP paths) the critical section with events.
#include <gtest/gtest.h>

#include "common/newer_api.h"
#include "common/win_lock.h"
#include "support.h"
#include "thread.h"

#include <vector>

namespace {

TEST(NewerApi, ThisBuildTakesTheExpectedPaths) {
    rb::WaitLock lock;
#ifdef RB_XP_PATHS
    EXPECT_FALSE(lock.IsSlim());
    EXPECT_EQ(rb::Newer().getFileInformationByHandleEx, nullptr);
    EXPECT_NE(rb::Newer().findFirstFileEx, &FindFirstFileExW);
#else
    EXPECT_TRUE(lock.IsSlim());
    EXPECT_NE(rb::Newer().getFileInformationByHandleEx, nullptr);
    EXPECT_EQ(rb::Newer().findFirstFileEx, &FindFirstFileExW);
#endif
}

TEST(NewerApi, ElapsedTimeIsRightAcrossTheWrapOfTheTickCount) {
    struct Row {
        std::uint32_t start, now, elapsed;
    };
    for (const Row& row : {Row{100, 2100, 2000}, Row{0xFFFFFF00u, 0x000006D0u, 2000},
                           Row{0xFFFFFFFFu, 0, 1}, Row{5, 5, 0}})
        EXPECT_EQ(rb::MillisecondsSince(row.start, row.now), row.elapsed) << row.start;
}

TEST(WaitLock, EightThreadsCountUnderItWithoutLosingOne) {
    rb::WaitLock lock;
    long counter = 0; // plain on purpose: only the lock keeps it whole
    {
        std::vector<rbtest::Thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 20000; ++i) {
                    rb::WaitLockGuard guard(lock);
                    long seen = counter;
                    if (i % 1000 == 0)
                        Sleep(0); // give another thread the chance to come in between
                    counter = seen + 1;
                }
            });
    }
    EXPECT_EQ(counter, 160000);
}

TEST(WaitLock, WakeAllReleasesEveryWaiterAndLeavesNoHandle) {
    rb::WaitLock lock;
    // A first round, so that the system's own first-use objects are made before counting.
    for (int round = 0; round < 2; ++round) {
        const int handles = rbtest::OpenHandleCount();
        bool go = false;
        int waiting = 0, through = 0, ranOut = 0;
        HANDLE allWaiting = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        {
            std::vector<rbtest::Thread> threads;
            for (int t = 0; t < 5; ++t)
                threads.emplace_back([&] {
                    rb::WaitLockGuard guard(lock);
                    if (++waiting == 5)
                        SetEvent(allWaiting);
                    // Bounded only so that a broken wake-up ends the test as a failure.
                    while (!go)
                        if (!lock.Wait(5000))
                            ++ranOut;
                    ++through;
                });
            ASSERT_EQ(WaitForSingleObject(allWaiting, 10000), WAIT_OBJECT_0);
            {
                rb::WaitLockGuard guard(lock);
                EXPECT_EQ(through, 0);
                go = true;
            }
            lock.WakeAll(); // after the lock is let go, as the walk table does
        }
        CloseHandle(allWaiting);
        EXPECT_EQ(through, 5);
        EXPECT_EQ(ranOut, 0) << "waiters were not woken";
        if (round == 1) {
            EXPECT_EQ(rbtest::OpenHandleCount(), handles);
        }
    }
}

TEST(WaitLock, AWaitThatNobodyEndsRunsOutAndHoldsTheLockAgain) {
    rb::WaitLock lock;
    const int handles = rbtest::OpenHandleCount();
    rb::WaitLockGuard guard(lock);
    EXPECT_FALSE(lock.Wait(30));
    EXPECT_FALSE(lock.Wait(0));
    // Held again: another thread cannot take it until this one lets it go.
    bool taken = false;
    rbtest::Thread other([&] {
        rb::WaitLockGuard second(lock);
        taken = true;
    });
    Sleep(50);
    EXPECT_FALSE(taken);
    lock.Release();
    other.Join();
    lock.Acquire();
    EXPECT_TRUE(taken);
    EXPECT_EQ(rbtest::OpenHandleCount(), handles);
}

} // namespace
