// SPDX-License-Identifier: MIT
// The bit-reversal moves of the MMX builds against the generic moves, bit
// for bit (and those against a plain index reversal, which needs neither
// the table nor its walk): 8-byte MMX moves for arrays at multiples of 8
// bytes, x87 moves (which quiet signalling NaNs) otherwise, and the MMX
// state left clear.
// The 64-bit streaming builds' vector moves (AVX) promise the same bits.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "fft/tables.h"
#include "kernel_buffers.h"
#include "kernels/generic/fft.h"
#include "kernels/simd/bitrev_mmx.h"
#include "runtime/processor.h"
#include "tests/support/fft_signals.h"
#include "tests/support/reference_fft.h"

namespace zv::test {
namespace {

// fft_signals.h's, beside the single-value one of the recombination tests
// that share this program's unit.
using zv::test::sameBits;

struct BitRevMoves : ::testing::Test {
    void TearDown() override { qel::fft::releaseAllFftTables(); }
};

// Random patterns with a signalling NaN, both zeros and a denormal at the
// front, where every order's permutation moves some of them.
std::vector<SComplex> patterns(std::size_t n, unsigned seed) {
    std::vector<SComplex> v = randomBits(n, seed);
    const std::uint32_t special[] = {0x7f800001u, 0x80000000u, 0x00000000u, 0x00000001u,
                                     0xffbfffffu, 0x7fc00000u, 0xff800000u, 0x7fa00000u};
    for (std::size_t i = 0; i < n && i < 4; ++i) v[i] = {fromBits(special[2 * i]), fromBits(special[2 * i + 1])};
    return v;
}

std::vector<SComplex> quietedAll(std::vector<SComplex> v) {
    for (SComplex& x : v) x = {quieted(x.re), quieted(x.im)};
    return v;
}

// The permutation's result after x87 moves: the values that move arrive
// quiet, those standing at a self-reversed index are never loaded.
std::vector<SComplex> quietedWhereMoved(std::vector<SComplex> v, const std::int32_t* table) {
    const int n = static_cast<int>(v.size());
    std::vector<SComplex> from(n);
    for (int p = 0; p < n; ++p) from[p] = {fromBits(static_cast<std::uint32_t>(p)), 0.0f};
    qel::generic::bitRevPermute(from.data(), n, table);
    for (int p = 0; p < n; ++p)
        if (bitsOf(from[p].re) != static_cast<std::uint32_t>(p)) v[p] = {quieted(v[p].re), quieted(v[p].im)};
    return v;
}

int signallingCount(const std::vector<SComplex>& v) {
    int count = 0;
    for (const SComplex& x : v) count += isSignalling(bitsOf(x.re)) + isSignalling(bitsOf(x.im));
    return count;
}

// The x87 tag word: 0xFFFF when every register is empty, as after emms.
std::uint16_t x87TagWord() {
    struct {
        std::uint16_t words[14];
    } env;
    // fnstenv masks every exception; fldenv puts the environment back.
    asm volatile("fnstenv %0\n\tfldenv %0" : "+m"(env));
    return env.words[4];
}

struct Moves {
    const char* name;
    void (*permute)(SComplex*, int, const std::int32_t*);
    void (*copyReal)(const SComplex*, SComplex*, int, const std::int32_t*);
};

// The MMX moves, and the vector moves where the program has them and the
// processor runs them.
std::vector<Moves> allMoves() {
    std::vector<Moves> moves = {{"mmx", qel::mmx::bitRevPermute, qel::mmx::bitRevCopyReal}};
#if ZV_TEST_AVX_KERNELS
    if (qel::probeVectorUnits().avx) moves.push_back({"avx", qel::avx::bitRevPermute, qel::avx::bitRevCopyReal});
#endif
    return moves;
}

// Up to order 20: above 32 KB the moves take the pairs tile by tile, in
// an order of their own that must still make every exchange of the table.
TEST_F(BitRevMoves, PermutationMatchesTheGenericMoves) {
    for (int order = 2; order <= 20; ++order) {
        const int n = 1 << order;
        const std::int32_t* table = qel::fft::getBitRevTable(order);
        ASSERT_NE(table, nullptr);
        const std::vector<SComplex> input = patterns(n, order);
        ASSERT_GT(signallingCount(input), 0);
        std::vector<SComplex> want = input;
        qel::generic::bitRevPermute(want.data(), n, table);
        ASSERT_TRUE(sameBits(want, bitReversed(input, order))) << "order " << order;
        for (const Moves& moves : allMoves()) {
            for (int offset : {0, 4, 8, 12}) {
                SCOPED_TRACE(::testing::Message() << moves.name << ", order " << order << " offset " << offset);
                Placed data(n, offset);
                data.assign(input);
                moves.permute(data.data(), n, table);
                // 8-byte moves at multiples of 8 bytes; x87 moves at 4 and 12.
                EXPECT_TRUE(sameBits(data.values(), offset % 8 == 0 ? want : quietedWhereMoved(want, table)));
                EXPECT_TRUE(data.guardsIntact());
            }
        }
    }
}

TEST_F(BitRevMoves, PermutationOfFewerThanFourValuesMovesNothing) {
    for (int n : {0, 1, 2}) {
        std::vector<SComplex> data = patterns(2, 9);
        const std::vector<SComplex> before = data;
        qel::mmx::bitRevPermute(data.data(), n, nullptr);
        EXPECT_TRUE(sameBits(data, before));
    }
}

// Source and destination at every pairing of 0 and 4 (mod 8): MMX moves
// only when both are multiples of 8; below N = 8 always x87 moves.
TEST_F(BitRevMoves, RealCopyMatchesTheGenericMoves) {
    for (int order = 1; order <= 21; ++order) {
        const int N = 1 << (order - 1);
        const std::int32_t* table = N >= 8 ? qel::fft::getBitRevTable(order - 1) : nullptr;
        const std::vector<SComplex> input = patterns(N, 40 + order);
        std::vector<SComplex> want(N);
        qel::generic::bitRevCopyReal(input.data(), want.data(), N, table);
        ASSERT_TRUE(sameBits(want, bitReversed(input, order - 1))) << "N " << N;
        for (const Moves& moves : allMoves()) {
            for (int from : {0, 4}) {
                for (int to : {0, 4, 12}) {
                    SCOPED_TRACE(::testing::Message() << moves.name << ", N " << N << " src " << from << " dst " << to);
                    Placed src(N, from);
                    Placed dst(N, to);
                    src.assign(input);
                    moves.copyReal(src.data(), dst.data(), N, table);
                    const bool mmx = N >= 8 && from % 8 == 0 && to % 8 == 0;
                    EXPECT_TRUE(sameBits(dst.values(), mmx ? want : quietedAll(want)));
                    EXPECT_TRUE(sameBits(src.values(), input));
                    EXPECT_TRUE(dst.guardsIntact());
                }
            }
        }
    }
}

// After the MMX moves the register stack is empty again, and x87 code that
// follows computes as usual. The check itself sees MMX state left behind.
TEST_F(BitRevMoves, MmxStateIsClearAfterwards) {
    asm volatile("movq %%mm0, %%mm1" : : : "mm1");
    EXPECT_NE(x87TagWord(), 0xFFFF);
    asm volatile("emms");
    ASSERT_EQ(x87TagWord(), 0xFFFF);

    const int n = 1 << 10;
    Placed data(n, 0), copy(n, 0);
    data.assign(patterns(n, 3));
    qel::mmx::bitRevPermute(data.data(), n, qel::fft::getBitRevTable(10));
    EXPECT_EQ(x87TagWord(), 0xFFFF);
    qel::mmx::bitRevCopyReal(data.data(), copy.data(), n, qel::fft::getBitRevTable(10));
    EXPECT_EQ(x87TagWord(), 0xFFFF);
    volatile long double third = 1.0L / 3;
    EXPECT_EQ(static_cast<double>(third * 3), 1.0);
}

}  // namespace
}  // namespace zv::test
