// SPDX-License-Identifier: MIT
// The magnitudes outside the 128-element blocks in AVX2 doubles with the
// bits of the x87 evaluation. Empty where the wide paths do not exist.
#include "vector/wide_paths.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstdint>

#include "vector/power_doubles.h"
#include "vector/power_x87.h"

namespace qel::wide {

namespace {

// Why the double result is the x87 result, where the test lets it pass.
//
// Under the modes of power_doubles.h. Let X = re^2 + im^2 (exact) and
// R = sqrt(X). The x87 unit stores F' = round24(T') with
// T' = round64(sqrt(round64(X))); here F = round24(T) with
// T = round53(sqrt(round53(X))) (sqrtpd, cvtpd2ps); the squares are exact
// in both (power_doubles.h). Let T lie in [2^k, 2^(k+1)) with last place
// u = 2^(k-52). round53(X) = X (1 + d), |d| <= 2^-53, moves the root by at
// most R 2^-54 < u/2 (1 + 2^-52), and its rounding by u/2: |T - R| < 1.01 u.
// The x87 unit's two roundings at 64 bits move it by less than 2^-10 u, so
// |T - T'| < 1.02 u. round24 is constant between consecutive halfway
// points of the float grid, which in T's binade are the doubles whose 29
// low significand bits are 2^28 (those of the neighbouring binades lie
// 2^(k-25) and more away, far beyond 3 u). If those bits of T differ from
// 2^28 by more than 2, every halfway point is at least 3 u from T, and T'
// lies on T's side of it: F = F'. T below 2^-126 (zeros, subnormal
// results), from 2^128 - 2^107 on (results that overflow, with a margin),
// infinities and NaNs take the x87 unit; a T just above 2^-126 whose T'
// falls below it still gives 2^-126 in both, T' being far nearer to it
// than to any subnormal.

// The words, the float range test and the broadcast are the power
// spectrum's (power_doubles.h); only the margin around a halfway point is
// the roots' own.
using power::kLow29;
using power::kRangeLast;
using power::kRangeShift;
using power::wide;
using power::Words;
constexpr Words kNearHalfway = power::broadcast(0x10000000 - 2);
constexpr Words kMargin = power::broadcast(4);

#define QEL_AVX2 __attribute__((target("avx2")))

// A bit for each of eight roots that must go through the x87 unit (in an
// order of its own).
QEL_AVX2 inline int unsafe(__m256d first, __m256d second) {
    const __m256 a = _mm256_castpd_ps(first);
    const __m256 b = _mm256_castpd_ps(second);
    const __m256i low = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i high = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    // 0 <= low29 - (2^28 - 2) <= 4, unsigned: the minimum with 4 is itself.
    const __m256i offset = _mm256_sub_epi32(_mm256_and_si256(low, wide(kLow29)), wide(kNearHalfway));
    const __m256i near = _mm256_cmpeq_epi32(_mm256_min_epu32(offset, wide(kMargin)), offset);
    const __m256i outside = _mm256_cmpgt_epi32(_mm256_add_epi32(high, wide(kRangeShift)), wide(kRangeLast));
    return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_or_si256(near, outside)));
}

QEL_AVX2 void magnitudesAvx2(const SComplex* src, float* dst, std::size_t n) {
    const float* in = &src->re;
    std::size_t i = 0;
    for (; n - i >= 8; i += 8) {
        // Roots of the sums in the order 0, 2, 1, 3 of each four, put back
        // in order as floats.
        const __m256d low = _mm256_sqrt_pd(power::sumsOfPairs(in + 2 * i));
        const __m256d high = _mm256_sqrt_pd(power::sumsOfPairs(in + 2 * i + 8));
        if (unsafe(low, high) != 0) {
            for (std::size_t k = i; k < i + 8; ++k) dst[k] = magnitudeX87(src[k]);
            continue;
        }
        const __m256 f = _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low));
        _mm256_storeu_ps(dst + i, _mm256_permute_ps(f, _MM_SHUFFLE(3, 1, 2, 0)));
    }
    for (; i < n; ++i) dst[i] = magnitudeX87(src[i]);
}

}  // namespace

bool magnitudesInModes(const SComplex* src, float* dst, std::size_t n) {
    if (!avx2()) return false;
    magnitudesAvx2(src, dst, n);
    return true;
}

}  // namespace qel::wide

#endif
