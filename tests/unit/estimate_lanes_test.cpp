// SPDX-License-Identifier: MIT
// The processor's reciprocal-square-root estimate on 256-bit registers
// against the one on 128-bit registers: the magnitudes' fused blocks of the
// 64-bit streaming builds take their roots eight lanes at a time and must
// give the four-lane loop's bits, so each lane's estimate must be the same.
// A property of the processor, not of a build: checked once.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS
#include <immintrin.h>
#endif

namespace {

#if QEL_WIDE_PATHS
// The patterns first, first + stride, ... below `end`: the number of them
// whose two estimates differ.
__attribute__((target("avx"))) std::uint64_t differingEstimates(std::uint32_t first, std::uint32_t end,
                                                                std::uint32_t stride) {
    std::uint64_t differing = 0;
    alignas(32) std::uint32_t bits[8];
    for (std::uint64_t b = first; b < end; b += 8ull * stride) {
        for (int k = 0; k < 8; ++k) {
            const std::uint64_t v = b + static_cast<std::uint64_t>(k) * stride;
            bits[k] = v < end ? static_cast<std::uint32_t>(v) : first;  // past the end: the first again
        }
        const __m256 x = _mm256_load_ps(reinterpret_cast<const float*>(bits));
        const __m256 wide = _mm256_rsqrt_ps(x);
        const __m256 narrow = _mm256_set_m128(_mm_rsqrt_ps(_mm256_extractf128_ps(x, 1)),
                                              _mm_rsqrt_ps(_mm256_castps256_ps128(x)));
        const int equal = _mm256_movemask_ps(_mm256_cmp_ps(wide, narrow, _CMP_EQ_OQ));
        differing += static_cast<std::uint64_t>(std::popcount(~static_cast<unsigned>(equal) & 0xFFu));
    }
    return differing;
}
#endif

// Every significand in two neighbouring binades (the estimate depends on
// the significand and the exponent's parity), the lowest and highest
// binades of the normal range, and every 251st pattern of the positive
// normal floats.
TEST(EstimateLanes, WideEstimateIsTheNarrowOneInEveryLane) {
#if QEL_WIDE_PATHS
    if (!qel::hasAvx()) GTEST_SKIP() << "no AVX";
    EXPECT_EQ(differingEstimates(0x3F000000u, 0x40000000u, 1), 0u);  // [0.5, 2)
    EXPECT_EQ(differingEstimates(0x00800000u, 0x01800000u, 1), 0u);  // [2^-126, 2^-124)
    EXPECT_EQ(differingEstimates(0x7E800000u, 0x7F800000u, 1), 0u);  // [2^126, 2^128)
    EXPECT_EQ(differingEstimates(0x00800000u, 0x7F800000u, 251), 0u);
#else
    GTEST_SKIP() << "no 256-bit path in this build";
#endif
}

}  // namespace
