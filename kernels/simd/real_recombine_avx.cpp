// SPDX-License-Identifier: MIT
// The 256-bit real-FFT recombination of the streaming builds on x86-64: eight
// pairs per step, two of the four-pair steps side by side, with the shared
// arithmetic (recombine) on each half. Compiled with AVX into ZentavolS2 and
// ZentavolS1, called only where the processor has AVX.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include "kernels/simd/real_recombine_body.h"
#include "kernels/simd/simd8.h"

namespace qel::avx {

namespace {

using simd::V8;

// Pairs k..k+7 with N-k..N-k-7: `up` is Z[k], `down` Z[N-k], `twd` two
// groups of four A and four B. In the last step (`last`), the eighth pair is
// k = N/2 with itself; its results are not stored.
template <bool Fwd>
[[gnu::always_inline]] inline void eightPairs(SComplex* up, SComplex* down, const float* twd, bool last) {
    const V8 u0 = simd::loadu(&up->re);  // k, k+1 | k+2, k+3
    const V8 u1 = simd::loadu(&up[4].re);  // k+4 ...
    const V8 a01 = simd::joinLow(u0, u1);  // k, k+1 | k+4, k+5
    const V8 a23 = simd::joinHigh(u0, u1);  // k+2, k+3 | k+6, k+7
    const V8 d0 = simd::loadu(&down[-3].re);  // N-k-3, N-k-2 | N-k-1, N-k
    const V8 d1 = simd::loadu(&down[-7].re);  // N-k-7 ...
    const V8 b10 = simd::joinHigh(d0, d1);  // N-k-1, N-k | N-k-5, N-k-4
    const V8 b32 = simd::joinLow(d0, d1);  // N-k-3, N-k-2 | N-k-7, N-k-6
    const V8 are = simd::shuffle<0, 2, 0, 2>(a01, a23);
    const V8 aim = simd::shuffle<1, 3, 1, 3>(a01, a23);
    const V8 bre = simd::shuffle<2, 0, 2, 0>(b10, b32);
    const V8 bim = simd::shuffle<3, 1, 3, 1>(b10, b32);
    const V8 t0 = simd::loadu(twd);
    const V8 t1 = simd::loadu(twd + 8);
    V8 kre, kim, mre, mim;  // the new Z[k..k+7], Z[N-k..N-k-7]
    simd::recombine<Fwd>(are, aim, bre, bim, simd::joinLow(t0, t1), simd::joinHigh(t0, t1), kre, kim, mre, mim);
    const V8 k01 = simd::interleaveLow(kre, kim);  // k, k+1 | k+4, k+5
    const V8 k23 = simd::interleaveHigh(kre, kim);  // k+2, k+3 | k+6, k+7
    const V8 m01 = simd::interleaveLow(mre, mim);
    const V8 m23 = simd::interleaveHigh(mre, mim);
    const V8 m10 = simd::shuffle<2, 3, 0, 1>(m01, m01);  // N-k-1, N-k | N-k-5, N-k-4
    const V8 m32 = simd::shuffle<2, 3, 0, 1>(m23, m23);  // N-k-3, N-k-2 | N-k-7, N-k-6
    simd::storeu(&up->re, simd::joinLow(k01, k23));
    simd::storeu(&down[-3].re, simd::joinLow(m32, m10));
    const V8 kHigh = simd::joinHigh(k01, k23);  // k+4 .. k+7
    const V8 mHigh = simd::joinHigh(m32, m10);  // N-k-7 .. N-k-4
    if (!last) {
        simd::storeu(&up[4].re, kHigh);
        simd::storeu(&down[-7].re, mHigh);
        return;
    }
    _mm_storeu_ps(&up[4].re, simd::lowHalf(kHigh));  // k+4, k+5
    simd::storeLow(up + 6, simd::highHalf(kHigh));
    simd::storeHigh(down - 6, simd::lowHalf(mHigh));
    _mm_storeu_ps(&down[-5].re, simd::highHalf(mHigh));  // N-k-5, N-k-4
}

template <bool Fwd>
void eightPairSteps(SComplex* z, int N, const SComplex* table) {
    SComplex* up = z + 1;
    SComplex* down = z + N - 1;
    const float* twd = &table->re;
    const int steps = N / 16;
    for (int g = 1; g < steps; ++g, up += 8, down -= 8, twd += 16) eightPairs<Fwd>(up, down, twd, false);
    eightPairs<Fwd>(up, down, twd, true);
}

}  // namespace

void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    if (direction > 0) {
        eightPairSteps<true>(z, N, twd);
        // X[N/2] is conj(Z[N/2]) forward and Z[N/2] itself in the inverse.
        simd::conjugate(z + N / 2);
    } else {
        eightPairSteps<false>(z, N, twd);
    }
}

}  // namespace qel::avx

#endif
