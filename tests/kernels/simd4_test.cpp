// SPDX-License-Identifier: MIT
// The four-wide vocabulary of the SIMD kernels on known lane values: which
// lane goes where in the shuffles, and the sign conventions of the complex
// helpers the kernels are built from.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>

#include "kernels/simd/simd4.h"

namespace {

using namespace qel::simd;
using Lanes = std::array<float, 4>;

Lanes lanes(V4 v) {
    alignas(16) Lanes out;
    store(out.data(), v);
    return out;
}

V4 make(float a, float b, float c, float d) {
    alignas(16) const Lanes in = {a, b, c, d};
    return load(in.data());
}

TEST(Simd4, ShufflesAndInterleavesPickTheNamedLanes) {
    const V4 a = make(0, 1, 2, 3);
    const V4 b = make(10, 11, 12, 13);
    EXPECT_EQ(lanes(shuffle<2, 3, 3, 2>(a, b)), (Lanes{2, 3, 13, 12}));
    EXPECT_EQ(lanes(shuffle<0, 2, 0, 2>(a, b)), (Lanes{0, 2, 10, 12}));
    EXPECT_EQ(lanes(interleaveLow(a, b)), (Lanes{0, 10, 1, 11}));
    EXPECT_EQ(lanes(interleaveHigh(a, b)), (Lanes{2, 12, 3, 13}));
    EXPECT_EQ(lanes(lowHalves(a, b)), (Lanes{0, 1, 10, 11}));
    V4 r0 = a, r1 = b, r2 = make(20, 21, 22, 23), r3 = make(30, 31, 32, 33);
    transpose(r0, r1, r2, r3);
    EXPECT_EQ(lanes(r0), (Lanes{0, 10, 20, 30}));
    EXPECT_EQ(lanes(r3), (Lanes{3, 13, 23, 33}));
}

TEST(Simd4, EightByteLoadsAndStoresNeedOnlyFloatAlignment) {
    float buffer[12] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    EXPECT_EQ(lanes(loadLowHigh(buffer + 1, buffer + 7)), (Lanes{1, 2, 7, 8}));
    storeLow(buffer + 3, make(-1, -2, -3, -4));
    storeHigh(buffer + 9, make(-1, -2, -3, -4));
    EXPECT_EQ(buffer[2], 2);
    EXPECT_EQ(buffer[3], -1);
    EXPECT_EQ(buffer[4], -2);
    EXPECT_EQ(buffer[5], 5);
    EXPECT_EQ(buffer[9], -3);
    EXPECT_EQ(buffer[10], -4);
}

TEST(Simd4, ConstantsKeepTheirBitPatterns) {
    constexpr Const4 c = constFromBits(0x3F3504F4u, 0x80000000u, 0x7FC00001u, 0u);
    const Lanes got = lanes(load(c));
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[0]), 0x3F3504F4u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[1]), 0x80000000u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[2]), 0x7FC00001u);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(got[3]), 0u);
    // XOR with a sign mask flips exactly one lane's sign.
    const Lanes flipped = lanes(bitXor(make(1, 2, 3, 4), load(constFromBits(0, 0, 0x80000000u, 0))));
    EXPECT_EQ(flipped, (Lanes{1, 2, -3, 4}));
}

TEST(Simd4, ComplexHelpersFollowTheirSignConventions) {
    // (1 + 2i)(3 + 4i) = -5 + 10i; with the conjugate, (1 + 2i)(3 - 4i) = 11 + 2i.
    const Split4 x = {make(1, 1, 1, 1), make(2, 2, 2, 2)};
    const V4 c = make(3, 3, 3, 3);
    const V4 s = make(4, 4, 4, 4);
    EXPECT_EQ(lanes(mulTwiddle<true>(x, c, s).re)[0], -5);
    EXPECT_EQ(lanes(mulTwiddle<true>(x, c, s).im)[0], 10);
    EXPECT_EQ(lanes(mulTwiddle<false>(x, c, s).re)[0], 11);
    EXPECT_EQ(lanes(mulTwiddle<false>(x, c, s).im)[0], 2);
    // (1 + 2i) - i(3 + 4i) = 5 - i; (1 + 2i) + i(3 + 4i) = -3 + 5i.
    const Split4 b = {c, s};
    EXPECT_EQ(lanes(subRotated<true>(x, b).re)[1], 5);
    EXPECT_EQ(lanes(subRotated<true>(x, b).im)[1], -1);
    EXPECT_EQ(lanes(subRotated<false>(x, b).re)[1], -3);
    EXPECT_EQ(lanes(subRotated<false>(x, b).im)[1], 5);
}

}  // namespace
