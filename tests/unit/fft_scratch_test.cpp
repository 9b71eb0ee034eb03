// SPDX-License-Identifier: MIT
// The scratch buffer of slot 3 that the FFT entries keep in the builds whose
// block kernels take one (kFftScratchLength elements; none elsewhere): made
// before the initialise-only return, freed by any release, never allocated
// during a transform, and its failure reported without a retry.
#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/memory.h"
#include "runtime/report_lines.h"
#include "runtime/status.h"
#include "tests/support/fft_fixture.h"
#include "tests/support/recording_handler.h"
#include "tests/support/unit_build.h"
#include "zentavol.h"

namespace {

using zv::unit::build;
using namespace qel::fft;
using zv::test::randomSamples;
using zv::test::randomSignal;
using zv::test::RecordingHandler;
using zv::test::Report;
using zv::test::sameBits;

const int kScratch = build().fftScratchLength;
using zv::unit::kBlockOrder;

class FftScratch : public zv::test::FftTablesTest {
protected:
    static std::uint32_t held() { return context()->workBufferSizes[kFftWorkBufferSlot]; }
    static SComplex* buffer() { return context()->workBuffers[kFftWorkBufferSlot]; }
};

// What a fresh thread's slot 3 holds after `call`.
template <typename Call>
std::uint32_t slotAfterOnFreshThread(Call call) {
    std::uint32_t size = 0;
    bool pointerMatches = false;
    std::thread([&] {
        call();
        const QelContext* c = qelGetContext();
        size = c->workBufferSizes[kFftWorkBufferSlot];
        pointerMatches = (c->workBuffers[kFftWorkBufferSlot] != nullptr) == (size != 0);
        releaseWorkBuffer(kFftWorkBufferSlot);
        releaseAllFftTables();
    }).join();
    EXPECT_TRUE(pointerMatches);
    return size;
}

TEST_F(FftScratch, InitOnlyOfASmallOrderOnAFreshThreadLeavesTheWholeBuffer) {
    EXPECT_EQ(slotAfterOnFreshThread([] { qelcFft(nullptr, 4, QEL_FFT_INIT_ONLY); }),
              static_cast<std::uint32_t>(kScratch));
    EXPECT_EQ(slotAfterOnFreshThread([] { qelsRealFftNip(nullptr, nullptr, 4, QEL_FFT_INIT_ONLY); }),
              static_cast<std::uint32_t>(kScratch));
    // The real transforms of orders 0 and 1 have no complex part.
    EXPECT_EQ(slotAfterOnFreshThread([] { qelsRealFftNip(nullptr, nullptr, 1, QEL_FFT_INIT_ONLY); }), 0u);
}

TEST_F(FftScratch, AReleaseOfAnyOrderFreesIt) {
    for (int order : {0, 4, 12, 40, -3}) {
        qelcFft(nullptr, 5, QEL_FFT_INIT_ONLY);
        qelcFft(nullptr, order, QEL_FFT_RELEASE | (order == 12 ? QEL_FFT_OUTPUT_REVERSED : 0));
        EXPECT_EQ(buffer(), nullptr) << order;
        EXPECT_EQ(held(), 0u) << order;
        qelsRealFftNip(nullptr, nullptr, 5, QEL_FFT_INIT_ONLY);
        qelsRealFftNip(nullptr, nullptr, order, QEL_FFT_RELEASE);
        EXPECT_EQ(buffer(), nullptr) << order;
    }
}

TEST_F(FftScratch, AfterInitOnlyTransformsAllocateNothingAlignedOrNot) {
    for (int order : {2, 3, 4, 9, kBlockOrder, kBlockOrder + 1, 16}) {
        // The tables of both orderings (the builds with a DIF kernel have two).
        qelcFft(nullptr, order, QEL_FFT_INIT_ONLY);
        qelcFft(nullptr, order, QEL_FFT_INIT_ONLY | QEL_FFT_OUTPUT_REVERSED);
        qelsRealFftNip(nullptr, nullptr, order + 1, QEL_FFT_INIT_ONLY);
        const std::size_t n = std::size_t{1} << order;
        // 32-byte aligned storage, then offsets of 1 to 3 floats.
        auto* raw = static_cast<float*>(qelMalloc(static_cast<int>(2 * n * sizeof(float) + 64)));
        auto* in = static_cast<float*>(qelMalloc(static_cast<int>(2 * n * sizeof(float) + 64)));
        ASSERT_NE(raw, nullptr);
        ASSERT_NE(in, nullptr);
        const auto x = randomSamples(order + 1, 3u);
        requestCount = 0;
        for (int offset = 0; offset < 4; ++offset) {
            auto* data = reinterpret_cast<SComplex*>(raw + offset);
            std::copy(x.begin(), x.end(), raw + offset);
            for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INVERSE | QEL_FFT_OUTPUT_REVERSED,
                              QEL_FFT_FORWARD | QEL_FFT_INPUT_REVERSED})
                qelcFft(data, order, flags);
            std::copy(x.begin(), x.end(), in + offset);
            qelsRealFftNip(in + offset, data, order + 1, QEL_FFT_FORWARD);
            qelsRealFftNip(in + offset, data, order + 1, QEL_FFT_INVERSE);
        }
        EXPECT_EQ(requestCount, 0) << "order " << order;
        qelFree(raw);
        qelFree(in);
    }
}

TEST_F(FftScratch, ItsFailureIsReportedOnceWithTheDataUntouchedAndTheTablesCached) {
    if (kScratch == 0) GTEST_SKIP() << "this build keeps no scratch buffer";
    struct Case {
        const char* name;
        int line;
        void (*call)(std::vector<SComplex>&, std::vector<float>&, int flags);
    };
    const Case cases[] = {
        {"qelcFft", qel::line::qelcFftTables,
         [](std::vector<SComplex>& data, std::vector<float>&, int flags) { qelcFft(data.data(), 6, flags); }},
        {"qelsRealFftNip", qel::line::qelsRealFftNipTables,
         [](std::vector<SComplex>& data, std::vector<float>& in, int flags) {
             qelsRealFftNip(in.data(), data.data(), 7, flags);
         }},
    };
    for (const Case& c : cases) {
        for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INIT_ONLY}) {
            auto data = randomSignal(6, 1u);
            auto in = randomSamples(7, 2u);
            c.call(data, in, QEL_FFT_INIT_ONLY);
            const SComplex* dit = context()->ditTwiddleTables[6];
            ASSERT_NE(dit, nullptr);
            releaseWorkBuffer(kFftWorkBufferSlot);
            const auto before = data;
            requestCount = 0;
            refuseAll = true;
            RecordingHandler handler;
            qelSetStatus(QEL_STATUS_OK);
            c.call(data, in, flags);
            refuseAll = false;
            ASSERT_EQ(handler.reports().size(), 1u) << c.name;
            EXPECT_EQ(handler.reports()[0],
                      (Report{QEL_STATUS_OUT_OF_MEMORY, c.name, "No working Twd memory", "qelffts", c.line}));
            EXPECT_EQ(requestCount, 1) << c.name << ": no release and retry";
            EXPECT_TRUE(sameBits(data, before)) << c.name;
            EXPECT_EQ(context()->ditTwiddleTables[6], dit) << c.name;
            EXPECT_NE(context()->bitRevTables[6], nullptr) << c.name;
            EXPECT_EQ(buffer(), nullptr);
        }
    }
    qelSetStatus(QEL_STATUS_OK);
}

TEST_F(FftScratch, GetWorkBufferGrowsToTheCountAndNeverShrinks) {
    EXPECT_EQ(getWorkBuffer(0, 3), nullptr);
    EXPECT_EQ(getWorkBuffer(-5, 3), nullptr);
    EXPECT_EQ(getWorkBuffer(16, 4), nullptr);
    EXPECT_EQ(getWorkBuffer(16, -1), nullptr);
    EXPECT_EQ(requestCount, 0);
    SComplex* small = getWorkBuffer(100, 3);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(small) % 32, 0u);
    EXPECT_EQ(held(), 100u);
    EXPECT_EQ(getWorkBuffer(60, 3), small);
    EXPECT_EQ(held(), 100u);
    SComplex* large = getWorkBuffer(300, 3);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(held(), 300u);
    EXPECT_EQ(requestCount, 2);
    refuseAll = true;
    EXPECT_EQ(getWorkBuffer(1000, 3), nullptr);
    refuseAll = false;
    EXPECT_EQ(buffer(), nullptr);
    EXPECT_EQ(held(), 0u);
    // The other slots are independent.
    ASSERT_NE(getWorkBuffer(8, 0), nullptr);
    EXPECT_EQ(context()->workBufferSizes[0], 8u);
    releaseWorkBuffer(0);
}

}  // namespace
