// SPDX-License-Identifier: MIT
// The streaming-SIMD family's square root of four floats: one Newton step
// from the reciprocal-square-root estimate, the exact root as fallback. The
// square-root loop (vec_sse.cpp) and the 64-bit libraries' fused magnitude
// blocks (mag_wide.cpp) take their roots from here.
#pragma once

#include <xmmintrin.h>

namespace qel::sse {

struct alignas(16) Lanes {
    float v[4];
};

inline constexpr Lanes kHalf = {{0.5f, 0.5f, 0.5f, 0.5f}};
inline constexpr Lanes kThree = {{3.0f, 3.0f, 3.0f, 3.0f}};
// The smallest normal float: the estimate of a subnormal is an infinity,
// which one Newton step cannot mend, so such lanes take the exact root.
inline constexpr Lanes kSmallestNormal = {{0x1p-126f, 0x1p-126f, 0x1p-126f, 0x1p-126f}};

// Four roots; `negative` gathers the lanes with their sign bit set.
inline __m128 roots4(__m128 x, int& negative) {
    // Not (x >= smallest normal): zeros, subnormals, negatives and NaNs.
    const __m128 odd = _mm_cmpnge_ps(x, _mm_load_ps(kSmallestNormal.v));
    if (_mm_movemask_ps(odd) == 0) {
        // sqrt(x) = x r (3 - x r^2) / 2 with r the estimate of 1/sqrt(x);
        // (x r) r, never x r^2, whose r^2 would be subnormal for the
        // largest floats. +infinity gives a NaN (infinity times 0).
        const __m128 r = _mm_rsqrt_ps(x);
        const __m128 xr = _mm_mul_ps(x, r);
        const __m128 step = _mm_sub_ps(_mm_load_ps(kThree.v), _mm_mul_ps(xr, r));
        return _mm_mul_ps(_mm_mul_ps(_mm_load_ps(kHalf.v), xr), step);
    }
    negative |= _mm_movemask_ps(x);
    // Negative and NaN lanes become +0; zeros and subnormals stay.
    const __m128 keep = _mm_cmpge_ps(x, _mm_setzero_ps());
    return _mm_sqrt_ps(_mm_and_ps(x, keep));
}

}  // namespace qel::sse
