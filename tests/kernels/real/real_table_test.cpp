// SPDX-License-Identifier: MIT
// The real twiddle table of the streaming-SIMD builds against the generic
// table (another fill of the same definition) and against cos and sin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "fft/tables.h"
#include "kernel_buffers.h"

namespace zv::test {
namespace {

struct RealTable : ::testing::Test {
    void TearDown() override { qel::fft::releaseAllFftTables(); }
};

// Orders 2 and 3 keep the generic pairs (A(m), B(m)), m = 0..n/4-1, and
// order 2 writes entry 0 only.
TEST_F(RealTable, SmallOrdersKeepTheGenericPairs) {
    for (int order = 2; order <= 3; ++order) {
        SCOPED_TRACE(order);
        SComplex block[2] = {{fromBits(kGuard), fromBits(kGuard)}, {fromBits(kGuard), fromBits(kGuard)}};
        float* s = qel::fft::makeQuarterSine(order);
        qel::simd::fillRealTwiddles(block, s, order);
        qelFree(s);
        const SComplex* generic = qel::fft::getRealTwiddles(order);
        ASSERT_NE(generic, nullptr);
        const int written = 1 << (order - 2);
        for (int m = 0; m < 2; ++m) {
            const SComplex expected = m < written ? generic[m] : SComplex{fromBits(kGuard), fromBits(kGuard)};
            EXPECT_EQ(bitsOf(block[m].re), bitsOf(expected.re)) << m;
            EXPECT_EQ(bitsOf(block[m].im), bitsOf(expected.im)) << m;
        }
    }
}

// Group g holds A(4g+1..4g+4) then B(4g+1..4g+4): the generic entries of
// m = 1..n/4-1 bit for bit, and A = B = +0 for the last lane, m = n/4. By
// definition A(m) is half of S[n/4-m] (exact) and B(m) is (1 - S[m])/2
// rounded once (exact in double before that rounding), each within a
// rounding of cos(t)/2 and (1 - sin(t))/2.
TEST_F(RealTable, PairedVectorLayoutHoldsTheHalvesOfTheQuarterSineEntries) {
    for (int order = 4; order <= 18; ++order) {
        SCOPED_TRACE(order);
        const PairedTable paired(order);
        const float* t = &paired.get()->re;
        const SComplex* generic = qel::fft::getRealTwiddles(order);
        ASSERT_NE(generic, nullptr);
        float* s = qel::fft::makeQuarterSine(order);
        const std::int32_t n = std::int32_t{1} << order, q = n / 4;
        for (std::int32_t m = 1; m <= q; ++m) {
            const float a = t[8 * ((m - 1) / 4) + (m - 1) % 4];
            const float b = t[8 * ((m - 1) / 4) + 4 + (m - 1) % 4];
            const SComplex expected = m < q ? generic[m] : SComplex{0.0f, 0.0f};
            ASSERT_EQ(bitsOf(a), bitsOf(expected.re)) << m;
            ASSERT_EQ(bitsOf(b), bitsOf(expected.im)) << m;
            ASSERT_EQ(bitsOf(a), bitsOf(std::ldexp(s[q - m], -1))) << m;
            ASSERT_EQ(bitsOf(b), bitsOf(static_cast<float>((1.0 - static_cast<double>(s[m])) / 2))) << m;
            const double angle = 6.283185307179586 * m / n;
            ASSERT_NEAR(a, std::cos(angle) / 2, 0x1p-24) << m;
            ASSERT_NEAR(b, (1 - std::sin(angle)) / 2, 0x1p-24) << m;
        }
        qelFree(s);
        qel::fft::releaseRealTwiddles(order);
    }
}

}  // namespace
}  // namespace zv::test
