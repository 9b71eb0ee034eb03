// SPDX-License-Identifier: MIT
// The power spectrum in SSE2 doubles (AVX2 where the processor has it) with
// the bits of the x87 evaluation. Empty where the wide paths do not exist.
#include "vector/wide_paths.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstdint>

#include "vector/power_doubles.h"
#include "vector/power_x87.h"

namespace qel::wide {

namespace {

using power::unsafe;

#define QEL_AVX2 __attribute__((target("avx2")))

// re^2 + im^2 of the four complexes at p, in order.
QEL_AVX2 inline __m256d sums(const float* p, int) { return _mm256_permute4x64_pd(power::sumsOfPairs(p), 0xD8); }

QEL_AVX2 void powerSpectrumAvx2(const SComplex* src, float* dst, std::size_t n, bool filter) {
    const float* in = &src->re;
    std::size_t i = 0;
    for (; n - i >= 8; i += 8) {
        const __m256d low = sums(in + 2 * i, 0);
        const __m256d high = sums(in + 2 * i + 8, 0);
        if (filter && unsafe(low, high) != 0) {
            for (std::size_t k = i; k < i + 8; ++k) dst[k] = powerX87(src[k]);
            continue;
        }
        _mm_storeu_ps(dst + i, _mm256_cvtpd_ps(low));
        _mm_storeu_ps(dst + i + 4, _mm256_cvtpd_ps(high));
    }
    for (; i < n; ++i) dst[i] = powerX87(src[i]);
}

// re^2 + im^2 of the two complexes at p, from two 8-byte loads.
inline __m128d sums(const float* p) {
    const __m128d a = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    const __m128d b = _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + 2))));
    const __m128d a2 = _mm_mul_pd(a, a);
    const __m128d b2 = _mm_mul_pd(b, b);
    return _mm_add_pd(_mm_unpacklo_pd(a2, b2), _mm_unpackhi_pd(a2, b2));
}

}  // namespace

void powerSpectrumInModes(const SComplex* src, float* dst, std::size_t n, bool filter) {
    // Each element's result is proven alone, so the step width does not
    // matter: eight per step with AVX2, four with SSE2.
    if (qel::wide::avx2()) return powerSpectrumAvx2(src, dst, n, filter);
    const float* in = &src->re;
    std::size_t i = 0;
    // Four elements per step; a step with an unsafe lane takes the x87 unit
    // for all four (rare on varied data; on zeros every step does).
    for (; n - i >= 4; i += 4) {
        const __m128d low = sums(in + 2 * i);
        const __m128d high = sums(in + 2 * i + 4);
        if (filter && unsafe(low, high) != 0) {
            for (std::size_t k = i; k < i + 4; ++k) dst[k] = powerX87(src[k]);
            continue;
        }
        _mm_storeu_ps(dst + i, _mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)));
    }
    for (; i < n; ++i) dst[i] = powerX87(src[i]);
}

bool powerSpectrum(const SComplex* src, float* dst, std::size_t n, bool filter) {
    if (!qel::defaultFloatModes()) return false;
    powerSpectrumInModes(src, dst, n, filter);
    return true;
}

}  // namespace qel::wide

#endif
