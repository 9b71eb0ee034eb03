// SPDX-License-Identifier: MIT
// The power spectrum in SSE2 doubles with the bits of the x87 evaluation.
// Linked by every variant; empty where the wide paths do not exist.
#include "vector/wide_paths.h"

#if QEL_WIDE_PATHS

#include <emmintrin.h>

#include <cstdint>

#include "vector/power_x87.h"

namespace qel::wide {

namespace {

// Why the double result is the x87 result, where the filter lets it pass.
//
// Assumptions, checked per call by defaultModes(): the x87 unit rounds to
// nearest with a 64-bit significand (control word 0x37F up to the
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
// as well, so cvtpd2ps neither overflows nor underflows here.
bool defaultModes() {
    std::uint16_t x87Control;
    asm volatile("fnstcw %0" : "=m"(x87Control));
    return (x87Control & 0x0F3Fu) == 0x033Fu && (_mm_getcsr() & ~0x3Fu) == 0x1F80u;
}

// Per 32-bit half of a double's bits: the low half holds the 29 low
// significand bits, the high half the sign, the exponent and the top 20
// significand bits.
struct alignas(16) Words {
    std::int32_t v[4];
};
constexpr Words kLow29 = {{0x1FFFFFFF, 0, 0x1FFFFFFF, 0}};
constexpr Words kHalfway = {{0x10000000, 1, 0x10000000, 1}};                // high halves never match
constexpr Words kBelowNormal = {{INT32_MIN, 897 << 20, INT32_MIN, 897 << 20}};  // 2^-126
constexpr Words kOverflowing = {{INT32_MAX, (1150 << 20 | 0xFFFFF) - 1, INT32_MAX, (1150 << 20 | 0xFFFFF) - 1}};

// The lanes of two sums that must go through the x87 unit.
inline __m128i unsafe(__m128d sums) {
    const __m128i bits = _mm_castpd_si128(sums);
    const __m128i halfway = _mm_cmpeq_epi32(_mm_and_si128(bits, _mm_load_si128(reinterpret_cast<const __m128i*>(kLow29.v))),
                                            _mm_load_si128(reinterpret_cast<const __m128i*>(kHalfway.v)));
    // Signed: a NaN with its sign set lies below the normal range.
    const __m128i low = _mm_cmpgt_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(kBelowNormal.v)), bits);
    const __m128i high = _mm_cmpgt_epi32(bits, _mm_load_si128(reinterpret_cast<const __m128i*>(kOverflowing.v)));
    return _mm_or_si128(halfway, _mm_or_si128(low, high));
}

// re^2 + im^2 of the complex in the low and the high half of four floats.
inline __m128d sums(__m128 pair) {
    const __m128d a = _mm_cvtps_pd(pair);
    const __m128d b = _mm_cvtps_pd(_mm_movehl_ps(pair, pair));
    const __m128d a2 = _mm_mul_pd(a, a);
    const __m128d b2 = _mm_mul_pd(b, b);
    return _mm_add_pd(_mm_unpacklo_pd(a2, b2), _mm_unpackhi_pd(a2, b2));
}

}  // namespace

bool powerSpectrum(const SComplex* src, float* dst, std::size_t n, bool filter) {
    if (!defaultModes()) return false;
    const float* in = &src->re;
    std::size_t i = 0;
    // Four elements per step; a step with an unsafe lane takes the x87 unit
    // for all four (rare on varied data; on zeros every step does).
    for (; n - i >= 4; i += 4) {
        const __m128d low = sums(_mm_loadu_ps(in + 2 * i));
        const __m128d high = sums(_mm_loadu_ps(in + 2 * i + 4));
        if (filter && _mm_movemask_epi8(_mm_or_si128(unsafe(low), unsafe(high))) != 0) {
            for (std::size_t k = i; k < i + 4; ++k) dst[k] = powerX87(src[k]);
            continue;
        }
        _mm_storeu_ps(dst + i, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
    }
    for (; i < n; ++i) dst[i] = powerX87(src[i]);
    return true;
}

}  // namespace qel::wide

#endif
