// qelsMax and qelsMin through each shared library: argument checks as a
// user sees them, and the ordering of NaNs and signed zeros.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/quiet_exit.h"
#include "tests/support/variant_loader.h"

namespace {

std::uint32_t bitsOf(float value) { return std::bit_cast<std::uint32_t>(value); }
constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::nanf("");

class Extremes : public zv::test::VariantTest {
protected:
    float max(std::vector<float> v) const { return api->qelsMax(v.data(), static_cast<int>(v.size())); }
    float min(std::vector<float> v) const { return api->qelsMin(v.data(), static_cast<int>(v.size())); }
};

TEST_P(Extremes, EveryFailedCheckEndsTheProcessQuietly) {
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
    std::uniform_real_distribution<float> value(-1e6f, 1e6f);
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

INSTANTIATE_TEST_SUITE_P(AllVariants, Extremes, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);

}  // namespace
