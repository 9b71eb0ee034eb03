// SPDX-License-Identifier: MIT
// The stage-vector DIT table: where each section starts, what each lane
// holds (an exact copy or negation of a quarter-sine entry, at the right
// angle), that orders of one parity share their sections bit for bit, and
// that the fill stays inside its block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "tests/kernels/simd_kernel_support.h"

namespace {

using namespace zv::test;
using qel::simd::ditSectionOffset;

TEST(DitTable, SectionOffsetsAreFixedInBytes) {
    const int even[][2] = {{16, 0}, {64, 96}, {256, 480}, {1024, 2016}, {4096, 8160}, {16384, 32736}};
    const int odd[][2] = {{32, 0}, {128, 192}, {512, 960}, {2048, 4032}, {8192, 16320}};
    for (const auto& row : even) EXPECT_EQ(4 * ditSectionOffset(row[0]), row[1]) << row[0];
    for (const auto& row : odd) EXPECT_EQ(4 * ditSectionOffset(row[0]), row[1]) << row[0];
}

// Every lane of every section of orders 4 to 14: lane j of group g is k =
// 4g+j; vectors re/im of w^k, w^(2k), w^(3k), w = e^(-2*pi*i/M), each value
// within rounding of the true one and bit for bit plus or minus an S entry.
TEST(DitTable, LanesHoldTheStageTwiddlesAsCopiesOfTheQuarterSine) {
    for (int order = 4; order <= 14; ++order) {
        Placed table = ditTable(order);
        const std::vector<float> s = quarterSine(order);
        const float* t = reinterpret_cast<const float*>(table.data());
        const double pi = 3.14159265358979323846;
        for (int M = order % 2 ? 32 : 16; M <= (1 << order); M *= 4) {
            const float* section = t + ditSectionOffset(M);
            for (int k = 0; k < M / 4; ++k) {
                const float* lane = section + 24 * (k / 4) + k % 4;
                for (int power = 1; power <= 3; ++power) {
                    const float re = lane[8 * (power - 1)];
                    const float im = lane[8 * (power - 1) + 4];
                    const double angle = 2 * pi * power * k / M;
                    ASSERT_NEAR(re, std::cos(angle), 6e-8) << order << " M " << M << " k " << k;
                    ASSERT_NEAR(im, -std::sin(angle), 6e-8) << order << " M " << M << " k " << k;
                    for (float v : {re, im})
                        ASSERT_TRUE(std::find(s.begin(), s.end(), std::fabs(v)) != s.end())
                            << order << " M " << M << " k " << k << " value " << v;
                }
            }
        }
        // k = 0: (1, -0) three times, the imaginary part the negated S[0].
        for (int v = 0; v < 6; ++v) {
            const float expected = v % 2 ? -0.0f : 1.0f;
            EXPECT_EQ(std::memcmp(&t[4 * v], &expected, sizeof expected), 0) << order << " vector " << v;
        }
    }
}

TEST(DitTable, OrdersOfOneParityShareTheirSections) {
    for (int order = 4; order <= 12; ++order) {
        Placed small = ditTable(order);
        Placed large = ditTable(order + 2);
        const std::size_t bytes = 4 * static_cast<std::size_t>(ditSectionOffset(4 << order));
        EXPECT_EQ(std::memcmp(small.data(), large.data(), bytes), 0) << order;
    }
}

TEST(DitTable, FillStaysInsideItsBlockAndLeavesSmallOrdersAlone) {
    for (int order = 0; order <= 14; ++order) {
        const std::size_t n = std::size_t{1} << order;
        Placed table(n + 4, 0);  // 8n + 32 bytes
        const std::vector<SComplex> before = table.get();
        const std::vector<float> s = quarterSine(order);
        qel::simd::fillDitTwiddles(table.data(), s.data(), order);
        EXPECT_TRUE(table.guardsIntact()) << order;
        if (order <= 3) {
            EXPECT_EQ(std::memcmp(before.data(), table.get().data(), 8 * (n + 4)), 0);
        }
    }
}

}  // namespace
