// SPDX-License-Identifier: MIT
// A variant library unloaded while a thread that used it lives on: the
// unload frees that thread's context and tables as well, and the thread goes
// on running. A program of its own, so that no other test holds the library.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/process_memory.h"
#include "tests/support/variant_loader.h"
#include "zentavol.h"

namespace {

// One thread that outlives every load: it runs the jobs handed to it, one at
// a time, and between them waits, holding whatever the library gave it.
class LiveThread {
public:
    LiveThread() : thread_([this] { serve(); }) {}
    ~LiveThread() {
        run(nullptr);
        thread_.join();
    }

    // Runs the job on the live thread and returns once it is done; an empty
    // job ends the thread.
    void run(std::function<void()> job) {
        std::unique_lock<std::mutex> lock(mutex_);
        job_ = std::move(job);
        pending_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !pending_; });
    }

private:
    void serve() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return pending_; });
            std::function<void()> job = std::move(job_);
            if (job) job();
            pending_ = false;
            changed_.notify_all();
            if (!job) return;
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::function<void()> job_;
    bool pending_ = false;
    std::thread thread_;
};

constexpr int kCycles = 2000;
constexpr int kWarmUpCycles = 20;  // the loader's and the threads' one-time allocations
constexpr std::int64_t kFlat = 1 << 20;
constexpr int kOrder = 13;

class Unload : public ::testing::TestWithParam<std::string> {};

// Each cycle loads the library, has the live thread build its order-13
// tables, and unloads the library while the thread still holds them.
TEST_P(Unload, TwoThousandCyclesWithALiveThreadHoldingTablesLeaveMemoryFlat) {
    const std::string path = zv::test::libraryPath(GetParam());
    ASSERT_FALSE(zv::test::libraryLoaded(path)) << "held by this process already: " << path;
    LiveThread live;
    int failures = 0;
    int cycles = 0;
    auto cycle = [&] {
        void* library = zv::test::loadLibraryFile(path);
        auto fft = reinterpret_cast<decltype(&qelcFft)>(
            library != nullptr ? zv::test::findExport(library, "qelcFft") : nullptr);
        if (fft == nullptr) {
            ++failures;
            return;
        }
        live.run([fft] { fft(nullptr, kOrder, QEL_FFT_INIT_ONLY); });
        failures += !zv::test::unloadLibrary(library);
        // Really gone, not only released (checked now and then: the look-up
        // is slow under Wine).
        if (++cycles % 64 == 0) failures += zv::test::libraryLoaded(path);
    };
    for (int i = 0; i < kWarmUpCycles; ++i) cycle();
    const std::int64_t allocatedBefore = zv::test::allocatedBytes();
    const std::int64_t residentBefore = zv::test::residentBytes();
    for (int i = 0; i < kCycles && failures == 0; ++i) cycle();
    const std::int64_t allocatedAfter = zv::test::allocatedBytes();
    const std::int64_t residentAfter = zv::test::residentBytes();
    ASSERT_EQ(failures, 0) << path;
    ASSERT_FALSE(zv::test::libraryLoaded(path));

    std::printf("%d cycles: allocated %lld -> %lld bytes, resident %lld -> %lld bytes\n", kCycles,
                static_cast<long long>(allocatedBefore), static_cast<long long>(allocatedAfter),
                static_cast<long long>(residentBefore), static_cast<long long>(residentAfter));
    EXPECT_LT(allocatedAfter - allocatedBefore, kFlat);
    if (residentBefore >= 0) {
        EXPECT_LT(residentAfter - residentBefore, kFlat);
    }
}

// After an unload the live thread keeps its slot of the old copy; a new copy
// must give it a fresh context that computes, and the thread must run and
// end without the unloaded code being called (its exit would crash).
TEST_P(Unload, TheLiveThreadComputesWithANewCopyAndEndsAfterTheLastUnload) {
    const std::string path = zv::test::libraryPath(GetParam());
    ASSERT_FALSE(zv::test::libraryLoaded(path)) << "held by this process already: " << path;
    {
        LiveThread live;
        for (int round = 0; round < 3; ++round) {
            void* library = zv::test::loadLibraryFile(path);
            ASSERT_NE(library, nullptr) << path;
            auto fft = reinterpret_cast<decltype(&qelcFft)>(zv::test::findExport(library, "qelcFft"));
            auto alloc = reinterpret_cast<decltype(&qelMalloc)>(zv::test::findExport(library, "qelMalloc"));
            auto release = reinterpret_cast<decltype(&qelFree)>(zv::test::findExport(library, "qelFree"));
            ASSERT_TRUE(fft != nullptr && alloc != nullptr && release != nullptr);
            int wrong = 0;
            live.run([&] {
                // A unit impulse transforms to all ones, exactly.
                constexpr int n = 1 << kOrder;
                auto* data = static_cast<SComplex*>(alloc(n * static_cast<int>(sizeof(SComplex))));
                for (int k = 0; k < n; ++k) data[k] = SComplex{k == 0 ? 1.0f : 0.0f, 0.0f};
                fft(data, kOrder, QEL_FFT_FORWARD);
                for (int k = 0; k < n; ++k) wrong += data[k].re != 1.0f || data[k].im != 0.0f;
                release(data);
            });
            EXPECT_EQ(wrong, 0) << "round " << round;
            ASSERT_TRUE(zv::test::unloadLibrary(library));
            ASSERT_FALSE(zv::test::libraryLoaded(path));
        }
        // Work of its own, then its end, with no copy of the library loaded.
        std::int64_t sum = 0;
        live.run([&] {
            std::vector<std::int64_t> values(100000);
            for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<std::int64_t>(k);
            for (auto value : values) sum += value;
        });
        EXPECT_EQ(sum, std::int64_t{100000} * 99999 / 2);
    }
}

#if !defined(_WIN32)
// exit() runs the library's destructor while other threads may still be
// transforming with their tables (Windows ends them first). Those tables must
// not be freed under them: unmapped, they would crash the ending process. A
// library loaded after the variant lingers in its destructor, which the end
// of the process runs after the variant's, so that the threads go on
// computing with whatever the variant left them.
TEST_P(Unload, ExitWhileOtherThreadsTransformLeavesTheirTables) {
    const std::string path = zv::test::libraryPath(GetParam());
    EXPECT_EXIT(
        {
            void* library = zv::test::loadLibraryFile(path);
            void* linger = zv::test::loadLibraryFile(ZV_LINGER_LIBRARY);
            if (library == nullptr || linger == nullptr) std::_Exit(10);
            auto fft = reinterpret_cast<decltype(&qelcFft)>(zv::test::findExport(library, "qelcFft"));
            auto alloc = reinterpret_cast<decltype(&qelMalloc)>(zv::test::findExport(library, "qelMalloc"));
            auto lingerAtExit =
                reinterpret_cast<void (*)(long)>(zv::test::findExport(linger, "zvLingerAtExit"));
            std::atomic<int> running{0};
            for (int t = 0; t < 2; ++t) {
                // Order 17: tables large enough to go back to the system
                // when freed.
                std::thread([&running, fft, alloc] {
                    constexpr int kBigOrder = 17;
                    constexpr int kBytes = static_cast<int>(sizeof(SComplex)) << kBigOrder;
                    auto* data = static_cast<SComplex*>(alloc(kBytes));
                    for (int k = 0; k < (1 << kBigOrder); ++k) data[k] = SComplex{1.0f, 0.0f};
                    fft(data, kBigOrder, QEL_FFT_FORWARD);
                    ++running;
                    for (;;) fft(data, kBigOrder, QEL_FFT_FORWARD | QEL_FFT_NO_SCALE);
                }).detach();
            }
            while (running.load() < 2) std::this_thread::yield();
            lingerAtExit(30);
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
}
#endif

// The lifecycle is the runtime's, the same in every build; what an unload
// frees besides the contexts differs only with the FFT tables' design and the
// entries' scratch slot: one build of each.
std::vector<std::string> tableDesigns() {
    return zv::test::oneVariantPer(
        [](const zv::test::VariantTraits& t) { return std::pair(t.fftDitOnly, t.fftScratchLength); });
}

INSTANTIATE_TEST_SUITE_P(TableDesigns, Unload, ::testing::ValuesIn(tableDesigns()), zv::test::variantName);

}  // namespace
