// SPDX-License-Identifier: MIT
// The x87 builds' two pairs of DIT block kernels against the double-precision
// reference and against the generic kernels, every size from 4 to 1024, both
// directions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kernels/generic/fft.h"
#include "kernels/x87/dit_block.h"
#include "tests/kernels/x87/x87_kernel_support.h"
#include "tests/support/fft_signals.h"

namespace {

using namespace zv::test;

struct DitPair {
    const char* name;
    DitKernel forward;
    DitKernel inverse;
};

const DitPair kFamily6 = {"family6", qel::x87f6::cFftDitBlockFwd, qel::x87f6::cFftDitBlockInv};
const DitPair kFamily5 = {"family5", qel::x87f5::cFftDitBlockFwd, qel::x87f5::cFftDitBlockInv};

class X87DitBlock : public ::testing::TestWithParam<DitPair> {
protected:
    void TearDown() override { qel::fft::releaseAllFftTables(); }
};

// Natural output from bit-reversed input within the block bound of the
// exact transform; the inverse of the forward result is n times the input.
TEST_P(X87DitBlock, EverySizeMatchesTheReferenceInBothDirections) {
    for (int order = 2; order <= 10; ++order) {
        const auto x = randomSignal(order, 100u + order);
        const auto input = bitReversed(x, order);
        const auto forward = ditBlock(GetParam().forward, input, order);
        EXPECT_LT(relativeRmsError(forward, spectrum(x, -1)), blockTolerance(order)) << "forward, order " << order;
        EXPECT_LT(relativeRmsError(ditBlock(GetParam().inverse, input, order), spectrum(x, +1)),
                  blockTolerance(order))
            << "inverse, order " << order;
        const auto back = ditBlock(GetParam().inverse, bitReversed(forward, order), order);
        std::vector<Cd> scaled = toDouble(x);
        for (Cd& v : scaled) v *= static_cast<double>(x.size());
        EXPECT_LT(relativeRmsError(back, scaled), 2 * blockTolerance(order)) << "round trip, order " << order;
    }
}

// The same stages on the same values as the generic kernels: a value may
// differ from the generic one by the rounding of its last store at most
// (relative 2^-24), never by a misplaced twiddle (relative 1/n or more).
TEST_P(X87DitBlock, EverySizeGivesTheGenericValuesUpToRounding) {
    for (int order = 2; order <= 10; ++order) {
        for (unsigned seed = 0; seed < 3; ++seed) {
            const auto input = randomSignal(order, 300u + seed);
            EXPECT_LT(relativeRmsError(ditBlock(GetParam().forward, input, order),
                                       toDouble(ditBlock(qel::generic::cFftDitBlockFwd, input, order))),
                      0x1p-24)
                << "forward, order " << order;
            EXPECT_LT(relativeRmsError(ditBlock(GetParam().inverse, input, order),
                                       toDouble(ditBlock(qel::generic::cFftDitBlockInv, input, order))),
                      0x1p-24)
                << "inverse, order " << order;
        }
    }
}

// Order 3 reads the table only for cos(pi/4); an impulse at input 4 (bit-
// reversed index 1) gives e^(-2*pi*i*k/8) with the table's sin(pi/4).
TEST_P(X87DitBlock, EightPointsCarryTheTablesFactorAtPiQuarter) {
    std::vector<SComplex> x(8, SComplex{0.0f, 0.0f});
    x[4] = {1.0f, 0.0f};
    const float s = qel::fft::getDitTwiddles(3)[3].re;
    EXPECT_TRUE(sameValues(ditBlock(GetParam().forward, x, 3),
                         {{1, 0}, {s, -s}, {0, -1}, {-s, -s}, {-1, 0}, {-s, s}, {0, 1}, {s, s}}));
    EXPECT_TRUE(sameValues(ditBlock(GetParam().inverse, x, 3),
                         {{1, 0}, {s, s}, {0, 1}, {-s, s}, {-1, 0}, {-s, -s}, {0, -1}, {s, -s}}));
}

INSTANTIATE_TEST_SUITE_P(Families, X87DitBlock, ::testing::Values(kFamily6, kFamily5),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
