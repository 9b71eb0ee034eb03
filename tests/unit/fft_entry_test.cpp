// SPDX-License-Identifier: MIT
// qelcFft inside the library: the reports of its checks (texts, lines,
// statuses, order), the tables each call leaves cached, the release and
// rebuild, per-thread tables, and recovery from a failed table allocation.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/memory.h"
#include "runtime/status.h"
#include "tests/support/fft_fixture.h"
#include "tests/support/latch.h"
#include "tests/support/recording_handler.h"
#include "tests/support/reference_fft.h"
#include "tests/support/unit_build.h"
#include "zentavol.h"

namespace {

using zv::unit::build;
using namespace qel::fft;
using zv::test::randomSignal;
using zv::test::RecordingHandler;
using zv::test::Report;
using zv::test::sameBits;

// The highest order with a DIT table of its own in the build under test.
using zv::unit::kBlockOrder;

class FftEntry : public zv::test::FftTablesTest {};

struct FftCheck {
    bool nullData;
    int order;
    int flags;
    const char* condition;
    int line;
};

const FftCheck kFftChecks[] = {
    {false, -1, 1, "order<0", 485},
    {true, -7, 0, "order<0", 485},
    {false, 32, 1, "order>31", 485},
    {false, -1, QEL_FFT_INIT_ONLY, "order<0", 485},
    {true, 4, 1, "samps==0", 488},
    {true, 4, 0, "samps==0", 488},
    {false, 4, 3, "(flags & 1) && (flags & 2)", 491},
    {false, 4, 3 | 64 | 128, "(flags & 1) && (flags & 2)", 491},
    {false, 4, 0, "(flags & 1)==0 && (flags & 2)==0", 491},
    {false, 4, 16 | 32, "(flags & 1)==0 && (flags & 2)==0", 491},
    {false, 4, 1 | 64 | 128, "(flags & 64) && (flags & 128)", 492},
    {false, 4, 2 | 32 | 64 | 128, "(flags & 64) && (flags & 128)", 492},
    {false, 4, 1 | 32 | 64, "(flags & 64) && (flags & 32)", 492},
    {false, 4, 2 | 32 | 128, "(flags & 32) && (flags & 128)", 492},
    {false, 0, 0, "(flags & 1)==0 && (flags & 2)==0", 491},
};

TEST_F(FftEntry, EachFailedCheckIsReportedOnceAndWritesNothing) {
    for (const FftCheck& c : kFftChecks) {
        releaseAllFftTables();
        auto data = randomSignal(4, 1u);
        const auto before = data;
        RecordingHandler handler;
        qelSetStatus(QEL_STATUS_OK);
        qelcFft(c.nullData ? nullptr : data.data(), c.order, c.flags);
        ASSERT_EQ(handler.reports().size(), 1u) << c.condition << " flags " << c.flags;
        EXPECT_EQ(handler.reports()[0],
                  (Report{QEL_STATUS_BAD_ARGUMENT, "qelcFft", c.condition, "qelffts", c.line}));
        EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
        EXPECT_TRUE(sameBits(data, before)) << c.condition;
    }
}

TEST_F(FftEntry, FlagChecksComeAfterTheTablesWhichStayCached) {
    RecordingHandler handler;
    auto data = randomSignal(6, 2u);
    qelcFft(data.data(), 6, 0);
    qelcFft(data.data(), 7, 1 | 64 | 128);
    ASSERT_EQ(handler.reports().size(), 2u);
    EXPECT_NE(context()->ditTwiddleTables[6], nullptr);
    EXPECT_NE(context()->bitRevTables[6], nullptr);
    // With both ordering bits the DIT table is the one taken.
    EXPECT_NE(context()->ditTwiddleTables[7], nullptr);
    EXPECT_EQ(context()->difTwiddleTables[7], nullptr);
}

TEST_F(FftEntry, SuccessLeavesTheStatusAsItWas) {
    auto data = randomSignal(5, 3u);
    qelSetStatus(QEL_STATUS_BAD_ARGUMENT);
    qelcFft(data.data(), 5, QEL_FFT_FORWARD);
    qelcFft(nullptr, 5, QEL_FFT_INIT_ONLY);
    qelcFft(nullptr, 5, QEL_FFT_RELEASE);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
    qelSetStatus(QEL_STATUS_OK);
}

TEST_F(FftEntry, InitOnlyBuildsTheTablesOfTheOrderingAndReleaseDropsThem) {
    qelcFft(nullptr, 9, QEL_FFT_INIT_ONLY);
    EXPECT_NE(context()->ditTwiddleTables[9], nullptr);
    EXPECT_NE(context()->bitRevTables[9], nullptr);
    EXPECT_EQ(context()->difTwiddleTables[9], nullptr);
    qelcFft(nullptr, 9, QEL_FFT_INIT_ONLY | QEL_FFT_OUTPUT_REVERSED);
    if (build().fftHasDif) {
        EXPECT_NE(context()->difTwiddleTables[9], nullptr);
        // The ordering flag of the release names the twiddles to drop.
        qelcFft(nullptr, 9, QEL_FFT_RELEASE | QEL_FFT_OUTPUT_REVERSED);
        EXPECT_EQ(context()->difTwiddleTables[9], nullptr);
        EXPECT_NE(context()->ditTwiddleTables[9], nullptr);
        EXPECT_EQ(context()->bitRevTables[9], nullptr);
        qelcFft(nullptr, 9, QEL_FFT_RELEASE | QEL_FFT_INPUT_REVERSED | QEL_FFT_OUTPUT_REVERSED);
        EXPECT_EQ(context()->ditTwiddleTables[9], nullptr);
    } else {
        // One DIT table serves every ordering, and every release drops it.
        EXPECT_EQ(context()->difTwiddleTables[9], nullptr);
        qelcFft(nullptr, 9, QEL_FFT_RELEASE | QEL_FFT_OUTPUT_REVERSED);
        EXPECT_EQ(context()->ditTwiddleTables[9], nullptr);
        EXPECT_EQ(context()->bitRevTables[9], nullptr);
    }

    // Order 0 builds its (unread) tables too; release leaves the scratch slot
    // empty.
    qelcFft(nullptr, 0, QEL_FFT_INIT_ONLY);
    EXPECT_NE(context()->ditTwiddleTables[0], nullptr);
    EXPECT_NE(context()->bitRevTables[0], nullptr);
    releaseWorkBuffer(3);  // the one the builds with a scratch buffer made
    context()->workBuffers[3] = static_cast<SComplex*>(qelMallocPairs(4));
    context()->workBufferSizes[3] = 4;
    qelcFft(nullptr, 40, QEL_FFT_RELEASE);
    EXPECT_EQ(context()->workBuffers[3], nullptr);
    EXPECT_NE(context()->ditTwiddleTables[0], nullptr);
}

TEST_F(FftEntry, ASecondTransformBuildsNothingAndARebuildIsBitIdentical) {
    for (int order : {3, 10, 12, 15}) {
        for (int ordering : {0, QEL_FFT_OUTPUT_REVERSED}) {
            const auto x = randomSignal(order, 4u);
            auto first = x;
            qelcFft(first.data(), order, QEL_FFT_FORWARD | ordering);
            const int built = requestCount;
            auto second = x;
            qelcFft(second.data(), order, QEL_FFT_FORWARD | ordering);
            EXPECT_EQ(requestCount, built) << "order " << order;
            EXPECT_TRUE(sameBits(first, second));

            qelcFft(nullptr, order, QEL_FFT_RELEASE | ordering);
            auto third = x;
            qelcFft(third.data(), order, QEL_FFT_FORWARD | ordering);
            EXPECT_GT(requestCount, built) << "order " << order;
            EXPECT_TRUE(sameBits(first, third)) << "order " << order << " ordering " << ordering;
        }
    }
}

TEST_F(FftEntry, ReleasingALargeOrderDropsTheSharedBlockOrderTableAndTheNextOrderRebuilds) {
    const int b = kBlockOrder;
    qelcFft(nullptr, b + 1, QEL_FFT_INIT_ONLY);
    qelcFft(nullptr, b + 2, QEL_FFT_INIT_ONLY);
    qelcFft(nullptr, b + 2, QEL_FFT_RELEASE);
    EXPECT_EQ(context()->ditTwiddleTables[b], nullptr);
    EXPECT_EQ(context()->bigTwiddleTables[b + 2], nullptr);
    EXPECT_EQ(context()->bitRevTables[b + 2], nullptr);
    const SComplex* big = context()->bigTwiddleTables[b + 1];
    ASSERT_NE(big, nullptr);
    requestCount = 0;
    auto x = randomSignal(b + 1, 5u);
    qelcFft(x.data(), b + 1, QEL_FFT_FORWARD);
    // The block-order DIT table and its quarter sine, and the scratch buffer
    // that the release dropped where the build keeps one.
    EXPECT_EQ(requestCount, 2 + (build().fftScratchLength > 0 ? 1 : 0));
    EXPECT_NE(context()->ditTwiddleTables[b], nullptr);
    EXPECT_EQ(context()->bigTwiddleTables[b + 1], big);
}

TEST_F(FftEntry, EachThreadBuildsAndReleasesItsOwnTables) {
    qelObserveAllocations(nullptr);  // the observer is not for threads
    const int order = kBlockOrder + 1;  // a big table
    const auto x = randomSignal(order, 6u);
    std::vector<SComplex> results[2];
    const SComplex* tables[2] = {};
    bool releasedHere = false;   // thread 0's table gone after its release
    bool keptThere = false;      // thread 1's table untouched by it
    zv::test::Latch built(2);
    zv::test::Latch released(2);
    auto work = [&](int t) {
        auto y = x;
        qelcFft(y.data(), order, QEL_FFT_FORWARD);
        results[t] = y;
        tables[t] = qelGetContext()->bigTwiddleTables[order];
        built.arrive_and_wait();
        if (t == 0) qelcFft(nullptr, order, QEL_FFT_RELEASE);
        released.arrive_and_wait();
        if (t == 0) releasedHere = qelGetContext()->bigTwiddleTables[order] == nullptr;
        if (t == 1) keptThere = qelGetContext()->bigTwiddleTables[order] == tables[1];
    };
    std::thread a(work, 0);
    std::thread b(work, 1);
    a.join();
    b.join();
    EXPECT_NE(tables[0], tables[1]);
    EXPECT_TRUE(releasedHere);
    EXPECT_TRUE(keptThere);
    EXPECT_TRUE(sameBits(results[0], results[1]));
    EXPECT_EQ(context()->bigTwiddleTables[order], nullptr);  // this thread built none
}

TEST_F(FftEntry, AFailedFirstAttemptRecoversThroughReleaseAllAndRetry) {
    const int order = kBlockOrder + 2;
    const auto x = randomSignal(order, 7u);
    auto want = x;
    qelcFft(want.data(), order, QEL_FFT_FORWARD);
    // A table build above the block order asks for four blocks (the block
    // order's DIT table and its quarter sine, big table and its quarter
    // sine) and the bit-reversal table: refuse each one in turn. A scratch
    // buffer is kept from the first transform.
    for (int refused = 0; refused < 5; ++refused) {
        releaseAllFftTables();
        qelcFft(nullptr, 5, QEL_FFT_INIT_ONLY);  // to be dropped by the release-all
        requestCount = 0;
        refuseRequest = refused;
        RecordingHandler handler;
        auto y = x;
        qelcFft(y.data(), order, QEL_FFT_FORWARD);
        EXPECT_TRUE(handler.reports().empty()) << "refused request " << refused;
        EXPECT_TRUE(sameBits(y, want)) << "refused request " << refused;
        EXPECT_EQ(context()->ditTwiddleTables[5], nullptr);
        EXPECT_NE(context()->bigTwiddleTables[order], nullptr);
        EXPECT_NE(context()->bitRevTables[order], nullptr);
    }
}

TEST_F(FftEntry, FailureInBothAttemptsReportsOutOfMemoryAndLeavesNoTables) {
    for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INIT_ONLY, QEL_FFT_INVERSE | QEL_FFT_OUTPUT_REVERSED}) {
        qelcFft(nullptr, 6, QEL_FFT_INIT_ONLY);
        refuseAll = true;
        auto data = randomSignal(8, 8u);
        const auto before = data;
        RecordingHandler handler;
        qelSetStatus(QEL_STATUS_OK);
        qelcFft(data.data(), 8, flags);
        refuseAll = false;
        ASSERT_EQ(handler.reports().size(), 1u);
        EXPECT_EQ(handler.reports()[0], (Report{QEL_STATUS_OUT_OF_MEMORY, "qelcFft",
                                                "No working Twd memory", "qelffts", 485}));
        EXPECT_EQ(qelGetStatus(), QEL_STATUS_OUT_OF_MEMORY);
        EXPECT_TRUE(sameBits(data, before));
        for (int order = 0; order < kQelTableSlots; ++order) {
            EXPECT_EQ(context()->ditTwiddleTables[order], nullptr);
            EXPECT_EQ(context()->difTwiddleTables[order], nullptr);
            EXPECT_EQ(context()->bitRevTables[order], nullptr);
        }
    }
    qelSetStatus(QEL_STATUS_OK);
}

TEST_F(FftEntry, OrdersAboveTheLargestAreOutOfMemoryAtOnceWithNothingBuiltOrFreed) {
    qelcFft(nullptr, 6, QEL_FFT_INIT_ONLY);
    const SComplex* held = context()->ditTwiddleTables[6];
    for (int order = kMaxFftOrder + 1; order <= 31; ++order) {
        for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INIT_ONLY, QEL_FFT_INVERSE | QEL_FFT_OUTPUT_REVERSED}) {
            auto data = randomSignal(2, 9u);
            const auto before = data;
            requestCount = 0;
            RecordingHandler handler;
            qelSetStatus(QEL_STATUS_OK);
            qelcFft(data.data(), order, flags);
            ASSERT_EQ(handler.reports().size(), 1u) << "order " << order;
            EXPECT_EQ(handler.reports()[0], (Report{QEL_STATUS_OUT_OF_MEMORY, "qelcFft",
                                                    "No working Twd memory", "qelffts", 485}));
            EXPECT_EQ(qelGetStatus(), QEL_STATUS_OUT_OF_MEMORY);
            EXPECT_EQ(requestCount, 0) << "order " << order << " flags " << flags;
            EXPECT_TRUE(sameBits(data, before));
        }
    }
    EXPECT_EQ(context()->ditTwiddleTables[6], held);

    // The largest order itself goes on to its tables (refused here).
    refuseAll = true;
    requestCount = 0;
    RecordingHandler handler;
    qelcFft(nullptr, kMaxFftOrder, QEL_FFT_INIT_ONLY);
    refuseAll = false;
    EXPECT_GT(requestCount, 0);
    EXPECT_EQ(handler.reports().size(), 1u);
    qelSetStatus(QEL_STATUS_OK);
}

}  // namespace
