// SPDX-License-Identifier: MIT
// The fixture of the FFT entry points' unit suites: every test starts and
// ends with no tables cached and no scratch buffer held, and may count the allocator's requests and
// refuse one or all of them. Linked with each variant's static core.
#pragma once

#include <cstddef>

#include <gtest/gtest.h>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/memory.h"
#include "tests/support/fft_signals.h"

namespace zv::test {

class FftTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        qel::fft::releaseAllFftTables();
        qel::fft::releaseWorkBuffer(qel::fft::kFftWorkBufferSlot);
        requestCount = 0;
        refuseRequest = -1;
        refuseAll = false;
        qelObserveAllocations(countAndMaybeRefuse);
    }
    void TearDown() override {
        qelObserveAllocations(nullptr);
        qelInjectHeapFailureAfter(-1);
        qel::fft::releaseAllFftTables();
        qel::fft::releaseWorkBuffer(qel::fft::kFftWorkBufferSlot);
    }
    static QelContext* context() { return qelGetContext(); }

    // The allocator's requests since SetUp (or since a test reset it).
    inline static int requestCount = 0;
    // Index of the one request to refuse; -1: none.
    inline static int refuseRequest = -1;
    // Refuse every request while set.
    inline static bool refuseAll = false;

private:
    static void countAndMaybeRefuse(std::size_t) {
        const bool refuse = refuseAll || requestCount == refuseRequest;
        ++requestCount;
        qelInjectHeapFailureAfter(refuse ? 0 : -1);
    }
};

}  // namespace zv::test
