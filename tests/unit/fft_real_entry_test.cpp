// SPDX-License-Identifier: MIT
// qelsRealFftNip inside the library: the reports of its checks, the tables
// of orders L-1 and L it caches and releases, the rebuild, recovery from a
// failed table allocation, and the recombination's edges.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/memory.h"
#include "runtime/status.h"
#include "tests/support/fft_fixture.h"
#include "tests/support/recording_handler.h"
#include "tests/support/unit_build.h"
#include "zentavol.h"

namespace {

using zv::unit::build;
using namespace qel::fft;
using zv::test::randomSamples;
using zv::test::RecordingHandler;
using zv::test::Report;
using zv::test::sameBits;

class RealFftEntry : public zv::test::FftTablesTest {
protected:
    std::vector<SComplex> transform(const std::vector<float>& x, int order, int flags) {
        std::vector<SComplex> out(x.size() / 2 + 1);
        qelsRealFftNip(x.data(), out.data(), order, flags);
        return out;
    }
};

struct RealFftCheck {
    bool nullIn;
    bool nullOut;
    int order;
    int flags;
    const char* condition;
    int line;
};

const RealFftCheck kRealFftChecks[] = {
    {false, false, -1, 1, "order<0", 1594},
    {true, true, -3, QEL_FFT_INIT_ONLY, "order<0", 1594},
    {false, false, 32, 1, "order>31", 1594},
    {true, false, 4, 1, "inSamps==0", 1597},
    {true, true, 4, 0, "inSamps==0", 1597},
    {false, true, 4, 1, "outSamps==0", 1597},
    {false, true, 0, 3, "outSamps==0", 1597},
    {false, false, 4, 3, "(flags & 1) && (flags & 2)", 1599},
    {false, false, 4, 0, "(flags & 1)==0 && (flags & 2)==0", 1599},
    {false, false, 1, 16 | 64 | 128, "(flags & 1)==0 && (flags & 2)==0", 1599},
};

TEST_F(RealFftEntry, EachFailedCheckIsReportedOnceAndWritesNothing) {
    for (const RealFftCheck& c : kRealFftChecks) {
        auto in = randomSamples(4, 1u);
        const auto inBefore = in;
        std::vector<SComplex> out(9, SComplex{7.0f, 7.0f});
        const auto outBefore = out;
        RecordingHandler handler;
        qelSetStatus(QEL_STATUS_OK);
        qelsRealFftNip(c.nullIn ? nullptr : in.data(), c.nullOut ? nullptr : out.data(), c.order,
                       c.flags);
        ASSERT_EQ(handler.reports().size(), 1u) << c.condition;
        EXPECT_EQ(handler.reports()[0], (Report{QEL_STATUS_BAD_ARGUMENT, "qelsRealFftNip",
                                                c.condition, "qelffts", c.line}));
        EXPECT_EQ(qelGetStatus(), QEL_STATUS_BAD_ARGUMENT);
        EXPECT_TRUE(sameBits(in, inBefore));
        EXPECT_TRUE(sameBits(out, outBefore));
    }
    qelSetStatus(QEL_STATUS_OK);
}

TEST_F(RealFftEntry, InitOnlyCachesTheTablesOfOrdersLMinus1AndL) {
    qelsRealFftNip(nullptr, nullptr, 9, QEL_FFT_INIT_ONLY);
    EXPECT_NE(context()->ditTwiddleTables[8], nullptr);
    EXPECT_NE(context()->bitRevTables[8], nullptr);
    EXPECT_NE(context()->realTwiddleTables[9], nullptr);
    EXPECT_EQ(context()->ditTwiddleTables[9], nullptr);
    // Orders 0 and 1 need no table.
    requestCount = 0;
    qelsRealFftNip(nullptr, nullptr, 1, QEL_FFT_INIT_ONLY);
    qelsRealFftNip(nullptr, nullptr, 0, QEL_FFT_INIT_ONLY);
    EXPECT_EQ(requestCount, 0);
}

TEST_F(RealFftEntry, ReleaseDropsTheComplexTablesOfLMinus1TooAndRebuildsBitIdentical) {
    for (int order : {2, 3, 11, 12, 16}) {
        const auto x = randomSamples(order, 2u);
        const auto first = transform(x, order, QEL_FFT_FORWARD);
        const int built = requestCount;
        EXPECT_TRUE(sameBits(transform(x, order, QEL_FFT_FORWARD), first));
        EXPECT_EQ(requestCount, built) << "a second transform builds nothing, order " << order;

        qelsRealFftNip(nullptr, nullptr, order, QEL_FFT_RELEASE);
        EXPECT_EQ(context()->realTwiddleTables[order], nullptr);
        EXPECT_EQ(context()->bitRevTables[order - 1], nullptr);
        EXPECT_EQ(context()->ditTwiddleTables[order - 1], nullptr);
        if (order - 1 > build().fftBlockOrder) {
            EXPECT_EQ(context()->bigTwiddleTables[order - 1], nullptr);
            EXPECT_EQ(context()->ditTwiddleTables[build().fftBlockOrder], nullptr);
        }
        EXPECT_TRUE(sameBits(transform(x, order, QEL_FFT_FORWARD), first)) << "order " << order;
        EXPECT_GT(requestCount, built);
    }
}

TEST_F(RealFftEntry, ReleaseOfAnOrderOutsideTheRangeDropsNothing) {
    const int b = build().fftBlockOrder;
    qelcFft(nullptr, b + 2, QEL_FFT_INIT_ONLY);
    qelsRealFftNip(nullptr, nullptr, 32, QEL_FFT_RELEASE);
    qelsRealFftNip(nullptr, nullptr, -1, QEL_FFT_RELEASE);
    EXPECT_NE(context()->ditTwiddleTables[b], nullptr);
    EXPECT_NE(context()->bigTwiddleTables[b + 2], nullptr);
}

TEST_F(RealFftEntry, AFailedFirstAttemptRecoversAndTwoFailuresReportOutOfMemory) {
    const auto x = randomSamples(13, 3u);
    const auto want = transform(x, 13, QEL_FFT_INVERSE);
    // Order 13 asks for at most seven blocks (with block order 10: the
    // order-10 DIT table, the big table of order 12, the real table of order
    // 13, each with its quarter sine table, and the bit-reversal table of
    // order 12): refuse each in turn.
    for (int refused = 0; refused < 7; ++refused) {
        releaseAllFftTables();
        requestCount = 0;
        refuseRequest = refused;
        RecordingHandler handler;
        EXPECT_TRUE(sameBits(transform(x, 13, QEL_FFT_INVERSE), want)) << "refused " << refused;
        EXPECT_TRUE(handler.reports().empty()) << "refused " << refused;
    }
    releaseAllFftTables();
    refuseRequest = -1;
    refuseAll = true;
    auto in = x;
    std::vector<SComplex> out(x.size() / 2 + 1, SComplex{5.0f, 5.0f});
    const auto outBefore = out;
    RecordingHandler handler;
    qelsRealFftNip(in.data(), out.data(), 13, QEL_FFT_FORWARD);
    refuseAll = false;
    ASSERT_EQ(handler.reports().size(), 1u);
    EXPECT_EQ(handler.reports()[0], (Report{QEL_STATUS_OUT_OF_MEMORY, "qelsRealFftNip",
                                            "No working Twd memory", "qelffts", 1594}));
    EXPECT_TRUE(sameBits(out, outBefore));
    EXPECT_EQ(context()->realTwiddleTables[13], nullptr);
    qelSetStatus(QEL_STATUS_OK);
}

TEST_F(RealFftEntry, OrdersAboveTheLargestAreOutOfMemoryAtOnceWithNothingBuiltOrFreed) {
    qelsRealFftNip(nullptr, nullptr, 7, QEL_FFT_INIT_ONLY);
    const SComplex* held = context()->realTwiddleTables[7];
    for (int order = kMaxFftOrder + 1; order <= 31; ++order) {
        for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INIT_ONLY}) {
            auto in = randomSamples(2, 4u);
            const auto inBefore = in;
            std::vector<SComplex> out(3, SComplex{6.0f, 6.0f});
            const auto outBefore = out;
            requestCount = 0;
            RecordingHandler handler;
            qelSetStatus(QEL_STATUS_OK);
            qelsRealFftNip(in.data(), out.data(), order, flags);
            ASSERT_EQ(handler.reports().size(), 1u) << "order " << order;
            EXPECT_EQ(handler.reports()[0], (Report{QEL_STATUS_OUT_OF_MEMORY, "qelsRealFftNip",
                                                    "No working Twd memory", "qelffts", 1594}));
            EXPECT_EQ(qelGetStatus(), QEL_STATUS_OUT_OF_MEMORY);
            EXPECT_EQ(requestCount, 0) << "order " << order << " flags " << flags;
            EXPECT_TRUE(sameBits(in, inBefore));
            EXPECT_TRUE(sameBits(out, outBefore));
        }
    }
    EXPECT_EQ(context()->realTwiddleTables[7], held);

    // The largest order itself goes on to its tables (refused here).
    refuseAll = true;
    requestCount = 0;
    RecordingHandler handler;
    qelsRealFftNip(nullptr, nullptr, kMaxFftOrder, QEL_FFT_INIT_ONLY);
    refuseAll = false;
    EXPECT_GT(requestCount, 0);
    EXPECT_EQ(handler.reports().size(), 1u);
    qelSetStatus(QEL_STATUS_OK);
}

TEST_F(RealFftEntry, RecombinationConjugatesTheMiddleOnlyForwardAndLeavesTheEndsAlone) {
    const float marker = std::bit_cast<float>(0x7FA00001u);
    const SComplex* t2 = getRealTwiddles(2);
    std::vector<SComplex> z = {{marker, marker}, {1.5f, 0.0f}, {marker, marker}};
    build().realFftRecombine(z.data(), 2, 1, t2);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(z[1].im), 0x80000000u);  // +0 became -0
    EXPECT_EQ(z[1].re, 1.5f);
    build().realFftRecombine(z.data(), 2, -1, t2);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(z[1].im), 0x80000000u);  // the inverse leaves it
    for (int i : {0, 2}) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(z[i].re), 0x7FA00001u);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(z[i].im), 0x7FA00001u);
    }
}

}  // namespace
