// SPDX-License-Identifier: MIT
// The power spectrum in doubles and the test that tells where its float is
// the x87 evaluation's (vector/power_x87.h), for the kernels that compute
// it: the shared power spectrum (power_wide.cpp) and the families' fused
// magnitude blocks. Include only where QEL_WIDE_PATHS is 1.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace qel::wide::power {

// Why the double result is the x87 result, where the filter lets it pass.
//
// Assumptions, checked per call by qel::defaultFloatModes(): the x87 unit
// rounds to nearest with a 64-bit significand (control word 0x37F up to the
// infinity bit and reserved bits), and the SSE unit rounds to nearest with
// every exception masked and neither denormals-are-zero nor flush-to-zero
// (control register 0x1F80 up to the sticky flags). Otherwise the whole call
// takes the x87 path.
//
// Let X = re^2 + im^2, exact. Each square of a float (24 bits) has at most
// 48 significant bits and lies within 2^-298 .. 2^256, so it is exact both
// in the x87 unit and in a double (subnormal inputs convert exactly without
// denormals-are-zero). The x87 unit gives F' = round24(S') with
// S' = round64(X); here F = round24(S) with S = round53(X) (cvtpd2ps).
// Let S lie in the binade [2^k, 2^(k+1)) and u = 2^(k-52) be its last place.
// |S - X| <= u/2 (u/4 when X lies below 2^k) and |S' - X| <= 2^-64 X
// < 2^-11 u, so |S - S'| < u.
// round24 is constant between consecutive halfway points of the float grid,
// and every such point h is a double. If S is not itself a halfway point,
// the nearest h is at least u away from S (in S's binade the points are
// doubles; the one just below 2^k is 2^(k-25) below it), so S' lies on S's
// side of every h and is none of them: round24(S') = round24(S). Where S is
// a halfway point the two may differ (X = h + d with 0 < d < u/2 gives S = h,
// a tie, and S' > h): such elements go through the x87 unit.
// In S's binade the halfway points are the doubles whose 29 low significand
// bits are 2^28, for S in the float normal range. S below 2^-126 (zeros and
// subnormal results, whose grid is fixed), from 2^128 - 2^107 on (results
// that overflow, with a margin), infinities and NaNs go through the x87 unit
// as well, so cvtpd2ps neither overflows nor underflows here: a float of a
// sum that passes is a positive normal number, never above FLT_MAX.

// The two 32-bit halves of a double's bits: the low one holds the 29 low
// significand bits, the high one the sign, the exponent and the top 20
// significand bits.
struct alignas(16) Words {
    std::int32_t v[4];
};
constexpr Words broadcast(std::int32_t x) { return Words{{x, x, x, x}}; }
inline __m128i load(const Words& w) { return _mm_load_si128(reinterpret_cast<const __m128i*>(w.v)); }

constexpr std::int32_t kNormalHigh = 897 << 20;                           // 2^-126
constexpr std::int32_t kOverflowingHigh = (1150 << 20 | 0xFFFFF);         // 2^128 - 2^107
constexpr Words kLow29 = broadcast(0x1FFFFFFF);
constexpr Words kHalfway = broadcast(0x10000000);
// High halves in [kNormalHigh, kOverflowingHigh) as one signed compare: the
// range moved to start at INT32_MIN (wrapping), so that every other value,
// a NaN with its sign set included, lands above its end.
constexpr Words kRangeShift = broadcast(static_cast<std::int32_t>(0x80000000u - static_cast<std::uint32_t>(kNormalHigh)));
constexpr Words kRangeLast = broadcast(INT32_MIN + (kOverflowingHigh - 1 - kNormalHigh));

// A bit for each of four sums that must go through the x87 unit.
inline int unsafe(__m128d first, __m128d second) {
    const __m128 a = _mm_castpd_ps(first);
    const __m128 b = _mm_castpd_ps(second);
    const __m128i low = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i high = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128i halfway = _mm_cmpeq_epi32(_mm_and_si128(low, load(kLow29)), load(kHalfway));
    const __m128i outside = _mm_cmpgt_epi32(_mm_add_epi32(high, load(kRangeShift)), load(kRangeLast));
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(halfway, outside)));
}

// The same test on eight sums in two AVX2 registers: the shuffles gather
// the low halves of the doubles into one register and the high halves into
// another (in an order of their own: any unsafe lane sends the whole step
// to the x87 unit).
#define QEL_POWER_AVX2 __attribute__((target("avx2")))
QEL_POWER_AVX2 inline __m256i wide(const Words& w) { return _mm256_broadcastsi128_si256(load(w)); }

QEL_POWER_AVX2 inline int unsafe(__m256d first, __m256d second) {
    const __m256 a = _mm256_castpd_ps(first);
    const __m256 b = _mm256_castpd_ps(second);
    const __m256i low = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i high = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i halfway = _mm256_cmpeq_epi32(_mm256_and_si256(low, wide(kLow29)), wide(kHalfway));
    const __m256i outside = _mm256_cmpgt_epi32(_mm256_add_epi32(high, wide(kRangeShift)), wide(kRangeLast));
    return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(halfway, outside)));
}

// re^2 + im^2 of the four complexes at p (eight floats) as doubles, in the order 0, 2,
// 1, 3: the pairwise sums of the unpacked squares keep each 128-bit half's
// pair together. Callers that need the natural order permute afterwards.
QEL_POWER_AVX2 inline __m256d sumsOfPairs(const float* p) {
    const __m256d a = _mm256_cvtps_pd(_mm_loadu_ps(p));
    const __m256d b = _mm256_cvtps_pd(_mm_loadu_ps(p + 4));
    const __m256d a2 = _mm256_mul_pd(a, a);
    const __m256d b2 = _mm256_mul_pd(b, b);
    return _mm256_add_pd(_mm256_unpacklo_pd(a2, b2), _mm256_unpackhi_pd(a2, b2));
}

#undef QEL_POWER_AVX2

}  // namespace qel::wide::power
