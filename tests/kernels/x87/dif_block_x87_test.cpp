// SPDX-License-Identifier: MIT
// The x87 builds' split-radix DIF block kernel, one routine for both
// directions: its constant at pi/4, and the generic kernel's values up to
// rounding everywhere else, every size from 2 to 1024.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <vector>

#include "kernels/generic/fft.h"
#include "kernels/x87/dif_block.h"
#include "tests/kernels/x87/x87_kernel_support.h"
#include "tests/support/fft_signals.h"

namespace {

using namespace zv::test;

class X87DifBlock : public ::testing::Test {
protected:
    void TearDown() override { qel::fft::releaseAllFftTables(); }
};

// The transform of an impulse at 1 in bit-reversed order: 1, -1, -i, +i,
// then the four values at odd multiples of pi/4, which carry K =
// 0x3F3504F3 (the float nearest to the square root of one half) in both
// directions; the generic kernel's 0x3F3504F7 would fail.
TEST_F(X87DifBlock, EightPointsCarryKAtPiQuarterInBothDirections) {
    const float k = std::bit_cast<float>(std::uint32_t{0x3F3504F3u});
    std::vector<SComplex> x(8, SComplex{0.0f, 0.0f});
    x[1] = {1.0f, 0.0f};
    EXPECT_TRUE(sameValues(difBlock(qel::x87::cFftDifBlock, x, 3, 1),
                           {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {k, -k}, {-k, k}, {-k, -k}, {k, k}}));
    // The inverse: the conjugates.
    EXPECT_TRUE(sameValues(difBlock(qel::x87::cFftDifBlock, x, 3, -1),
                           {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {k, k}, {-k, -k}, {-k, k}, {k, -k}}));
}

// Bit-reversed output within the block bound of the exact transform, and
// within that of the generic kernel plus the difference of the two
// constants (4 units in the last place of K, relative 2^-22 at most for a
// value that passes through it).
TEST_F(X87DifBlock, EverySizeMatchesTheReferenceAndTheGenericKernelInBothDirections) {
    for (int order = 1; order <= 10; ++order) {
        const auto x = randomSignal(order, 50u + order);
        for (int direction : {1, -1}) {
            const auto got = difBlock(qel::x87::cFftDifBlock, x, order, direction);
            EXPECT_LT(relativeRmsError(bitReversed(got, order), spectrum(x, direction > 0 ? -1 : 1)),
                      blockTolerance(order))
                << "order " << order << " direction " << direction;
            const auto generic = difBlock(qel::generic::cFftDifBlock, x, order, direction);
            EXPECT_LT(relativeRmsError(got, toDouble(generic)), blockTolerance(order) + 0x1p-22)
                << "order " << order << " direction " << direction;
            // Below eight points no value meets the constant: the generic bits.
            if (order <= 2) {
                EXPECT_TRUE(sameBits(got, generic)) << "order " << order;
            }
        }
    }
}

// Any direction above zero is the forward transform, zero and below the
// inverse, as in the drivers.
TEST_F(X87DifBlock, TheSignOfTheDirectionChoosesIt) {
    const auto x = randomSignal(6, 7u);
    const auto forward = difBlock(qel::x87::cFftDifBlock, x, 6, 1);
    const auto inverse = difBlock(qel::x87::cFftDifBlock, x, 6, -1);
    EXPECT_FALSE(sameBits(forward, inverse));
    EXPECT_TRUE(sameBits(difBlock(qel::x87::cFftDifBlock, x, 6, 5), forward));
    EXPECT_TRUE(sameBits(difBlock(qel::x87::cFftDifBlock, x, 6, 0), inverse));
    EXPECT_TRUE(sameBits(difBlock(qel::x87::cFftDifBlock, x, 6, -3), inverse));
}

}  // namespace
