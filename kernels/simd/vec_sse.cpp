// SPDX-License-Identifier: MIT
// The streaming-SIMD family's extremes (four SSE lanes) and square root
// (reciprocal-square-root estimate and one Newton step, the exact root as
// fallback).
#include <xmmintrin.h>

#include <cstdint>

#include "kernels/simd/roots_sse.h"
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
