// SPDX-License-Identifier: MIT
// qelsMax and qelsMin through each shared library: argument checks as a
// user sees them, and the ordering of NaNs and signed zeros.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/float_bits.h"
#include "tests/support/quiet_exit.h"
#include "tests/support/uniform_float.h"
#include "tests/support/variant_loader.h"

namespace {

using zv::test::bitsOf;
using zv::test::kInf;
const float kNaN = std::nanf("");

class Extremes : public zv::test::VariantTest {
protected:
    float max(std::vector<float> v) const { return api->qelsMax(v.data(), static_cast<int>(v.size())); }
    float min(std::vector<float> v) const { return api->qelsMin(v.data(), static_cast<int>(v.size())); }
};

// The argument checks are the shared code of every build, ahead of its loops:
// they run on one build.
class ExtremesChecks : public Extremes {};

TEST_P(ExtremesChecks, EveryFailedCheckEndsTheProcessQuietly) {
    const float v[3] = {1, 2, 3};
    ZV_EXPECT_QUIET_EXIT1(api->qelsMax(v, 0), v, sizeof v);
    ZV_EXPECT_QUIET_EXIT1(api->qelsMax(v, -1), v, sizeof v);
    ZV_EXPECT_QUIET_EXIT1(api->qelsMax(nullptr, 5), v, sizeof v);
    ZV_EXPECT_QUIET_EXIT1(api->qelsMin(v, 0), v, sizeof v);
    ZV_EXPECT_QUIET_EXIT1(api->qelsMin(nullptr, 5), v, sizeof v);
}

TEST_P(Extremes, OrdinaryNumbers) {
    EXPECT_EQ(max({3, 7, 7, -1}), 7.0f);
    EXPECT_EQ(min({3, 7, 7, -1}), -1.0f);
    EXPECT_EQ(max({kInf, 5}), kInf);
    EXPECT_EQ(max({-kInf, 5}), 5.0f);
    EXPECT_EQ(min({kInf, 5}), 5.0f);
    EXPECT_EQ(min({-kInf, 5}), -kInf);
    EXPECT_EQ(max({-4.5f}), -4.5f);
    EXPECT_EQ(min({-4.5f}), -4.5f);
    std::mt19937 random(13);
    zv::test::UniformFloat value(-1e6f, 1e6f);
    for (int n : {1, 2, 3, 4, 5, 15, 16, 17, 63, 64, 65, 1023}) {
        std::vector<float> v(n);
        for (float& x : v) x = value(random);
        float hi = v[0], lo = v[0];
        for (float x : v) {
            hi = std::fmax(hi, x);
            lo = std::fmin(lo, x);
        }
        EXPECT_EQ(max(v), hi) << n;
        EXPECT_EQ(min(v), lo) << n;
    }
}

// The generic build's order: the maximum skips NaNs unless the first
// element is one, the minimum restarts after each NaN, and the first of
// equal elements wins. The other builds order NaNs and zeros differently.
TEST_P(Extremes, GenericNaNAndZeroOrder) {
    if (!traits().genericExtremeOrder) GTEST_SKIP() << "NaN and signed-zero order is the generic build's";
    EXPECT_EQ(bitsOf(max({-0.0f, 0.0f})), 0x80000000u);
    EXPECT_EQ(bitsOf(min({-0.0f, 0.0f})), 0x80000000u);
    EXPECT_EQ(bitsOf(max({0.0f, -0.0f})), 0u);
    EXPECT_EQ(bitsOf(min({0.0f, -0.0f})), 0u);
    EXPECT_TRUE(std::isnan(max({kNaN})));
    EXPECT_TRUE(std::isnan(min({kNaN})));
    EXPECT_TRUE(std::isnan(max({kNaN, 1, 2})));
    EXPECT_EQ(min({kNaN, 1, 2}), 1.0f);
    EXPECT_EQ(max({1, kNaN, 2}), 2.0f);
    EXPECT_EQ(min({1, kNaN, 2}), 2.0f);
    EXPECT_EQ(max({1, 2, kNaN}), 2.0f);
    EXPECT_TRUE(std::isnan(min({1, 2, kNaN})));
    EXPECT_EQ(min({-5, kNaN, 3, 4, kNaN, 9, 8}), 8.0f);
    EXPECT_EQ(max({-5, kNaN, 3, 4, kNaN, 9, 8}), 9.0f);
    EXPECT_EQ(min({-5, 3, kNaN, -1}), -1.0f);
}

// The four-lane order: each lane takes an element unless its value is
// strictly greater (maximum) or smaller (minimum), so equal elements give the
// later one and the element after a NaN replaces it; then the lanes meet
// (0 with 2, 1 with 3, then 0 with 1) and the trailing elements follow. The
// vectors start at a 32-byte boundary: where an element lands among the
// lanes depends on the address.
TEST_P(Extremes, LaneNaNAndZeroOrder) {
    if (!traits().laneExtremeOrder) GTEST_SKIP() << "extremes are not taken in lanes";
    struct Case {
        std::vector<float> v;
        float max, min;
    };
    std::vector<float> lastLaneNaN(20, 1.0f);  // element 19: lane 3 of the last group
    lastLaneNaN[19] = kNaN;
    const Case cases[] = {
        {{-0.0f, 0.0f}, 0.0f, 0.0f},  // the later zero, both ways
        {{0.0f, -0.0f}, -0.0f, -0.0f},
        {{kNaN, 1, 2}, 2, 1},
        {{1, kNaN, 2}, 2, 2},
        {{1, 2, kNaN}, kNaN, kNaN},
        {{-5, kNaN, 3, 4, kNaN, 9, 8}, 9, 8},
        {lastLaneNaN, kNaN, kNaN},
    };
    auto same = [](float got, float want) {
        return std::isnan(want) ? std::isnan(got) : bitsOf(got) == bitsOf(want);
    };
    for (const Case& c : cases) {
        const int n = static_cast<int>(c.v.size());
        auto* p = static_cast<float*>(api->qelMalloc(n * static_cast<int>(sizeof(float))));
        std::copy(c.v.begin(), c.v.end(), p);
        const float gotMax = api->qelsMax(p, n);
        const float gotMin = api->qelsMin(p, n);
        EXPECT_TRUE(same(gotMax, c.max)) << "max of " << n << " elements: " << gotMax;
        EXPECT_TRUE(same(gotMin, c.min)) << "min of " << n << " elements: " << gotMin;
        api->qelFree(p);
    }
}

// The order of the bit patterns: -NaN < -inf < ... < -0 < +0 < ... < +inf <
// +NaN, whatever the positions. The integer comparisons change from the
// unsigned to the signed form (or back) when the running value changes
// sign, and a block of four in which that happens is compared again: the
// random vectors mix signs, zeros and NaNs so that such changes fall
// anywhere in a block and in the trailing elements.
TEST_P(Extremes, BitPatternOrder) {
    if (!traits().bitOrderExtremes) GTEST_SKIP() << "extremes are not taken in the order of the bit patterns";
    const float plusNaN = std::bit_cast<float>(0x7FC00001u);
    const float minusNaN = std::bit_cast<float>(0xFFC00002u);
    for (const auto& v : {std::vector<float>{-0.0f, 0.0f}, std::vector<float>{0.0f, -0.0f}}) {
        EXPECT_EQ(bitsOf(max(v)), 0u);
        EXPECT_EQ(bitsOf(min(v)), 0x80000000u);
    }
    EXPECT_EQ(bitsOf(max({1, plusNaN, minusNaN, kInf, 2})), bitsOf(plusNaN));
    EXPECT_EQ(bitsOf(min({1, plusNaN, minusNaN, -kInf, 2})), bitsOf(minusNaN));
    EXPECT_EQ(bitsOf(max({minusNaN, -kInf, -3})), 0xC0400000u);  // -3: no -NaN while a number is there
    EXPECT_EQ(bitsOf(min({plusNaN, kInf, 3})), 0x40400000u);
    EXPECT_EQ(bitsOf(max({-5, -1, 3, 7, 2})), bitsOf(7.0f));  // turns non-negative inside the first block
    EXPECT_EQ(bitsOf(min({5, 1, -3, -7, -2})), bitsOf(-7.0f));

    // Quiet NaNs only: a 32-bit caller receives the float through the x87
    // stack, which would quiet a signalling one.
    const std::uint32_t specials[] = {0x00000000u, 0x80000000u, 0x7F800000u, 0xFF800000u, 0x7FC00000u,
                                      0xFFC00000u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0x00000001u, 0x80000001u};
    auto key = [](std::uint32_t u) { return (u & 0x80000000u) ? ~u : (u | 0x80000000u); };
    std::mt19937 random(17);
    for (int round = 0; round < 400; ++round) {
        const int n = 1 + round % 23;
        const bool withNaNs = round % 3 == 0;
        std::vector<std::uint32_t> bits(n);
        for (auto& u : bits) {
            u = static_cast<std::uint32_t>(random());
            if (!withNaNs && (u & 0x7F800000u) == 0x7F800000u) u &= 0xBFFFFFFFu;
            if (random() % 4 == 0) u = specials[random() % (withNaNs ? 10 : 4)];
            if (withNaNs && (u & 0x7F800000u) == 0x7F800000u && (u & 0x007FFFFFu) != 0) u |= 0x00400000u;
        }
        std::uint32_t hi = bits[0], lo = bits[0];
        for (std::uint32_t u : bits) {
            if (key(u) > key(hi)) hi = u;
            if (key(u) < key(lo)) lo = u;
        }
        std::vector<float> v(n);
        for (int i = 0; i < n; ++i) v[i] = std::bit_cast<float>(bits[i]);
        ASSERT_EQ(bitsOf(max(v)), hi) << "round " << round;
        ASSERT_EQ(bitsOf(min(v)), lo) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Extremes, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(SharedCode, ExtremesChecks, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
