// SPDX-License-Identifier: MIT
// The streaming-SIMD family's extremes (four SSE lanes) and square root
// (reciprocal-square-root estimate and one Newton step, the exact root as
// fallback). Linked by ZentavolS2 and ZentavolS1.
#include <xmmintrin.h>

#include <cstdint>

#include "kernels/simd/vector_sse.h"
#include "runtime/diagnostics.h"

namespace qel::sse {

namespace {

bool aligned(const void* p, std::uintptr_t bytes) {
    return (reinterpret_cast<std::uintptr_t>(p) & (bytes - 1)) == 0;
}

// maxps/minps keep the first operand only when it is strictly greater
// (smaller) and take the second otherwise: equal elements and NaNs on
// either side give the second, the element.
struct Max {
    static __m128 lanes(__m128 acc, __m128 x) { return _mm_max_ps(acc, x); }
    static __m128 single(__m128 acc, __m128 x) { return _mm_max_ss(acc, x); }
};
struct Min {
    static __m128 lanes(__m128 acc, __m128 x) { return _mm_min_ps(acc, x); }
    static __m128 single(__m128 acc, __m128 x) { return _mm_min_ss(acc, x); }
};

template <typename Op>
float extreme(const float* vec, int len) {
    const float* at = vec;
    const float* const end = vec + len;
    __m128 acc = _mm_load1_ps(vec);
    while (at != end && !aligned(at, 16)) acc = Op::single(acc, _mm_load_ss(at++));
    if (end - at >= 4 && !aligned(at, 32)) {
        acc = Op::lanes(acc, _mm_load_ps(at));
        at += 4;
    }
    if (end - at >= 16) {
        // Four accumulators, so that consecutive steps do not wait on each
        // other.
        __m128 acc1 = acc, acc2 = acc, acc3 = acc;
        for (; end - at >= 16; at += 16) {
            _mm_prefetch(reinterpret_cast<const char*>(at) + 128, _MM_HINT_T0);
            _mm_prefetch(reinterpret_cast<const char*>(at) + 160, _MM_HINT_T0);
            acc = Op::lanes(acc, _mm_load_ps(at));
            acc1 = Op::lanes(acc1, _mm_load_ps(at + 4));
            acc2 = Op::lanes(acc2, _mm_load_ps(at + 8));
            acc3 = Op::lanes(acc3, _mm_load_ps(at + 12));
        }
        acc = Op::lanes(Op::lanes(acc, acc1), Op::lanes(acc2, acc3));
    }
    for (; end - at >= 4; at += 4) acc = Op::lanes(acc, _mm_load_ps(at));
    // Lanes 0 and 1 against 2 and 3, then lane 0 against lane 1.
    acc = Op::lanes(acc, _mm_movehl_ps(acc, acc));
    acc = Op::single(acc, _mm_shuffle_ps(acc, acc, _MM_SHUFFLE(1, 1, 1, 1)));
    while (at != end) acc = Op::single(acc, _mm_load_ss(at++));
    float result;
    _mm_store_ss(&result, acc);
    return result;
}

struct alignas(16) Lanes {
    float v[4];
};

constexpr Lanes kHalf = {{0.5f, 0.5f, 0.5f, 0.5f}};
constexpr Lanes kThree = {{3.0f, 3.0f, 3.0f, 3.0f}};
// The smallest normal float: the estimate of a subnormal is an infinity,
// which one Newton step cannot mend, so such lanes take the exact root.
constexpr Lanes kSmallestNormal = {{0x1p-126f, 0x1p-126f, 0x1p-126f, 0x1p-126f}};

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

}  // namespace

float maxOf(const float* vec, int len) { return extreme<Max>(vec, len); }
float minOf(const float* vec, int len) { return extreme<Min>(vec, len); }

bool sqrtLoop(const float* src, float* dst, int n) {
    int negative = 0;
    int i = 0;
    // The 64-bit libraries store through the cache: the same bits, and
    // those of a magnitude block are soon read again by the caller, where
    // the round trip to memory of a non-temporal store costs more than the
    // roots.
    const bool cached = kWidePaths && !referencePaths();
    if (aligned(dst, 16) && !cached) {
        // Non-temporal stores: the roots are not read again here.
        for (; n - i >= 4; i += 4) _mm_stream_ps(dst + i, roots4(_mm_loadu_ps(src + i), negative));
        _mm_sfence();
    } else {
        for (; n - i >= 4; i += 4) _mm_storeu_ps(dst + i, roots4(_mm_loadu_ps(src + i), negative));
    }
    if (i < n) {
        // The last one to three elements, padded with ones that neither
        // take the exact path nor report.
        Lanes tail = {{1.0f, 1.0f, 1.0f, 1.0f}};
        for (int k = 0; i + k < n; ++k) _mm_store_ss(&tail.v[k], _mm_load_ss(src + i + k));
        _mm_store_ps(tail.v, roots4(_mm_load_ps(tail.v), negative));
        for (int k = 0; i + k < n; ++k) _mm_store_ss(dst + i + k, _mm_load_ss(&tail.v[k]));
    }
    return negative != 0;
}

}  // namespace qel::sse
