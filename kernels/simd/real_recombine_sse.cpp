// SPDX-License-Identifier: MIT
// The SSE real-FFT recombination: the shared four-pair body with its
// 8-byte values loaded by SSE's low-half and high-half loads (no SSE2
// instruction at all), prefetching data and twiddles two steps ahead.
#include <xmmintrin.h>

#include "kernels/simd/real_recombine_body.h"

namespace qel::sse {

namespace {

[[gnu::always_inline]] inline const char* bytesFrom(const void* at, std::intptr_t offset) {
    // Prefetches may point past the arrays: computed as integers.
    return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(at) + offset);
}

struct Build {
    [[gnu::always_inline]] static __m128 load2(const SComplex* lo, const SComplex* hi) {
        const __m128 low = _mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(lo));
        return _mm_loadh_pi(low, reinterpret_cast<const __m64*>(hi));
    }
    // The data of the step after next, ascending and descending, into the
    // caches, and its twiddle group non-temporally (read once). Always
    // inlined: one compiler takes a function of prefetches alone for one
    // without effects and drops the call.
    [[gnu::always_inline]] static void prefetch(const SComplex* up, const SComplex* down, const float* twd) {
        _mm_prefetch(bytesFrom(up, 64), _MM_HINT_T0);
        _mm_prefetch(bytesFrom(down - 3, -64), _MM_HINT_T0);
        _mm_prefetch(bytesFrom(twd, 64), _MM_HINT_NTA);
    }
};

}  // namespace

void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    simd::realRecombine<Build>(z, N, direction, twd);
}

}  // namespace qel::sse
