// SPDX-License-Identifier: MIT
// Process detach with other threads about: it frees the contexts and tables
// of threads still alive and of threads that ended without their thread
// detach, and a thread ending at the same time is freed once. Each test runs
// in a child process, since detach takes the library's slot away (exit code
// 0 is success, anything else names the failed step).
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "runtime/context.h"
#include "runtime/lifecycle.h"
#include "tests/support/latch.h"
#include "tests/support/process_memory.h"
#include "zentavol.h"

namespace {

using zv::test::allocatedBytes;

// Order-13 tables (some 30 KB), so that a context left behind shows plainly
// in the allocator's count.
void buildTables() { qelcFft(nullptr, 13, QEL_FFT_INIT_ONLY); }

// The C library keeps a few blocks for each of the first threads that
// allocate at once (their arenas); later threads reuse them.
void warmUpThreads(int count) {
    std::vector<std::thread> threads;
    zv::test::Latch together(count);
    for (int t = 0; t < count; ++t) {
        threads.emplace_back([&together] {
            together.arrive_and_wait();
            qelcFft(nullptr, 6, QEL_FFT_INIT_ONLY);
        });
    }
    for (auto& thread : threads) thread.join();
}

// A gate a thread waits at until the test opens it.
struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    void wait() {
        std::unique_lock<std::mutex> lock(mutex);
        opened.wait(lock, [this] { return open; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        opened.notify_all();
    }
};

TEST(ProcessDetachDeathTest, FreesTheContextsOfLiveThreadsAndOfThreadsEndedWithoutDetach) {
    EXPECT_EXIT(
        {
            warmUpThreads(3);
            const std::int64_t baseline = allocatedBytes();
            buildTables();
            const std::int64_t oneSet = allocatedBytes() - baseline;  // the caller's tables
            if (oneSet < 16384) std::_Exit(10);

            // Ends normally: its own detach frees its context.
            std::thread(buildTables).join();
            // Ends without its detach, as a thread the system stopped: the
            // slot no longer leads to its context, only the list does.
            std::thread([] {
                buildTables();
                qel::platform::tlsSetValue(qelTlsSlot, nullptr);
            }).join();
            // Lives on through the detach, then keeps working and ends.
            Gate built;
            Gate goOn;
            std::int64_t sum = 0;
            std::thread live([&] {
                buildTables();
                built.release();
                goOn.wait();
                std::vector<std::int64_t> values(50000, 3);
                for (auto value : values) sum += value;
            });
            built.wait();
            // The caller's, the ended one's and the live one's tables.
            if (allocatedBytes() - baseline < 3 * oneSet) std::_Exit(11);

            if (!qelVariantNotify(QEL_PROCESS_DETACH)) std::_Exit(12);
            if (allocatedBytes() - baseline > oneSet / 4) std::_Exit(13);

            // The live thread goes on and ends; its exit must touch nothing
            // that detach freed (a double free aborts the child).
            goOn.release();
            live.join();
            if (sum != 150000) std::_Exit(14);
            if (allocatedBytes() - baseline > oneSet / 4) std::_Exit(15);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

#if !defined(_WIN32)
// Threads that end while process detach runs: on POSIX each one's slot
// destructor races the detach (on Windows the loader lock keeps thread and
// process detach apart). Every context must be freed, and only once. The
// race is won now and then only, hence the many rounds (a detach that frees
// a context the exiting thread also frees aborted every run of six).
TEST(ProcessDetachDeathTest, ThreadsEndingDuringDetachAreFreedOnce) {
    EXPECT_EXIT(
        {
            constexpr int kRounds = 2000;
            constexpr int kThreads = 6;
            constexpr int kWarmUpRounds = 5;
            std::int64_t baseline = 0;
            for (int round = 0; round < kRounds; ++round) {
                if (round == kWarmUpRounds) baseline = allocatedBytes();
                zv::test::Latch start(kThreads + 1);
                std::vector<std::thread> threads;
                for (int t = 0; t < kThreads; ++t) {
                    threads.emplace_back([&start] {
                        qelcFft(nullptr, 6, QEL_FFT_INIT_ONLY);
                        start.arrive_and_wait();
                    });
                }
                start.arrive_and_wait();
                if (!qelVariantNotify(QEL_PROCESS_DETACH)) std::_Exit(10);
                for (auto& thread : threads) thread.join();
                if (!qelVariantNotify(QEL_PROCESS_ATTACH)) std::_Exit(11);
            }
            // After the last detach nothing of the library's is left; a
            // context lost in a race would be more than 1 KB each.
            qelVariantNotify(QEL_PROCESS_DETACH);
            if (allocatedBytes() - baseline > 4096) std::_Exit(12);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

// A fork while another thread holds the list lock: the child has no such
// thread, yet its threads must still get contexts (the lock is taken around
// the fork). A child stuck on the lock ends by its alarm.
TEST(Fork, AChildGetsContextsThoughAnotherThreadHeldTheListLock) {
    Gate held;
    std::thread holder([&held] {
        qel::platform::enterListLock();
        held.release();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        qel::platform::leaveListLock();
    });
    held.wait();
    const pid_t child = fork();
    if (child == 0) {
        alarm(5);
        std::thread([] { qelGetContext(); }).join();
        _exit(0);
    }
    holder.join();
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

}  // namespace
