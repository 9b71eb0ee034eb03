// SPDX-License-Identifier: MIT
// The SSE2 real-FFT recombination: the shared four-pair body with its
// 8-byte values loaded as scalar doubles (SSE2 movsd, its only SSE2
// instruction) and joined by movlhps; no prefetch.
#include <emmintrin.h>

#include "kernels/simd/real_recombine_body.h"

namespace qel::sse2 {

namespace {

struct Build {
    [[gnu::always_inline]] static __m128 load2(const SComplex* lo, const SComplex* hi) {
        return _mm_movelh_ps(half(lo), half(hi));
    }
    [[gnu::always_inline]] static void prefetch(const SComplex*, const SComplex*, const float*) {}

    // The 8 bytes go straight into a vector register, never through the
    // x87 stack, so every bit pattern arrives as it is.
    [[gnu::always_inline]] static __m128 half(const SComplex* at) {
        double d;
        std::memcpy(&d, at, 8);
        return _mm_castpd_ps(_mm_load_sd(&d));
    }
};

}  // namespace

void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    simd::realRecombine<Build>(z, N, direction, twd);
}

}  // namespace qel::sse2
