// SPDX-License-Identifier: MIT
// The x87 bit-reversal moves against the generic ones: the same places at any
// alignment, every float through the x87 stack (a signalling NaN arrives
// quiet, every other value bit for bit).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fft/tables.h"
#include "kernels/generic/fft.h"
#include "kernels/x87/bitrev_x87.h"
#include "tests/kernels/real/kernel_buffers.h"
#include "tests/support/fft_signals.h"
#include "tests/support/reference_fft.h"

namespace zv::test {
namespace {

struct X87BitRevMoves : ::testing::Test {
    void TearDown() override { qel::fft::releaseAllFftTables(); }
};

// Where the permutation moves a value, it arrives quiet; a value at its own
// reversed index is never loaded.
std::vector<SComplex> quietedWhereMoved(std::vector<SComplex> v, int order) {
    for (std::size_t k = 0; k < v.size(); ++k)
        if (reverseBits(k, order) != k) v[k] = {quieted(v[k].re), quieted(v[k].im)};
    return v;
}

// Up to order 17: from order 13 on the moves take the pairs tile by tile.
TEST_F(X87BitRevMoves, PermutationIsTheGenericOneWithSignallingNaNsQuieted) {
    for (int order = 2; order <= 17; ++order) {
        const int n = 1 << order;
        const std::int32_t* table = qel::fft::getBitRevTable(order);
        // Signalling NaNs at 0 (which stays) and at 1 (which moves).
        std::vector<SComplex> input = randomBits(static_cast<std::size_t>(n), order);
        input[0].re = input[1].im = fromBits(0x7f800001u);
        std::vector<SComplex> want = input;
        qel::generic::bitRevPermute(want.data(), n, table);
        for (int offset : {0, 4}) {
            Placed data(static_cast<std::size_t>(n), offset);
            data.assign(input);
            qel::x87::bitRevPermute(data.data(), n, table);
            const std::vector<SComplex> got = data.values();
            EXPECT_TRUE(sameBits(got, quietedWhereMoved(want, order))) << order << " " << offset;
            EXPECT_TRUE(isSignalling(bitsOf(got[0].re)));
            EXPECT_TRUE(data.guardsIntact());
        }
    }
}

TEST_F(X87BitRevMoves, RealCopyIsTheGenericOneWithSignallingNaNsQuieted) {
    for (int order = 1; order <= 17; ++order) {
        const int N = 1 << (order - 1);
        const std::int32_t* table = N >= 8 ? qel::fft::getBitRevTable(order - 1) : nullptr;
        std::vector<SComplex> input = randomBits(static_cast<std::size_t>(N), 40 + order);
        input[0].re = fromBits(0x7f800001u);
        std::vector<SComplex> want(static_cast<std::size_t>(N));
        qel::generic::bitRevCopyReal(input.data(), want.data(), N, table);
        for (SComplex& v : want) v = {quieted(v.re), quieted(v.im)};
        for (int offset : {0, 4}) {
            Placed src(static_cast<std::size_t>(N), offset);
            Placed dst(static_cast<std::size_t>(N), 4 - offset);
            src.assign(input);
            qel::x87::bitRevCopyReal(src.data(), dst.data(), N, table);
            EXPECT_TRUE(sameBits(dst.values(), want)) << "N " << N << " offset " << offset;
            EXPECT_TRUE(sameBits(src.values(), input));
            EXPECT_TRUE(dst.guardsIntact());
        }
    }
}

}  // namespace
}  // namespace zv::test
