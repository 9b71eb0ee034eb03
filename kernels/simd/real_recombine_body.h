// SPDX-License-Identifier: MIT
// The recombination shared by the SSE2 and SSE forms: four pairs per step
// in single precision, the same operations in both. A form supplies
// how two 8-byte values reach one vector and what it prefetches.
#pragma once

#include <xmmintrin.h>

#include <cstdint>
#include <cstring>

#include "kernels/simd/real_recombine.h"
#include "kernels/simd/simd4.h"

namespace qel::simd {

namespace {

// Only the sign bit moves, as an integer word: +0 becomes -0 and a NaN
// keeps its payload (and stays signalling if it was).
inline void conjugate(SComplex* v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v->im, 4);
    bits ^= 0x80000000u;
    std::memcpy(&v->im, &bits, 4);
}

// The single pair (1, 3) of N = 4, with x87 arithmetic: extended precision,
// one rounding per stored value, as the generic build computes it.
template <bool Fwd>
void x87Pair(SComplex* z, SComplex t) {
    const long double are = z[1].re, aim = z[1].im;
    const long double bre = z[3].re, bim = z[3].im;
    const long double p = are - bre;
    const long double q = aim + bim;
    const long double A = t.re;
    const long double B = t.im;
    if constexpr (Fwd) {
        const long double x = B * p + A * q;
        const long double y = B * q - A * p;
        z[1] = {static_cast<float>(bre + x), static_cast<float>(y - bim)};
        z[3] = {static_cast<float>(are - x), static_cast<float>(y - aim)};
    } else {
        const long double u = A * q - B * p;
        const long double v = A * p + B * q;
        z[1] = {static_cast<float>(are + u), static_cast<float>(aim - v)};
        z[3] = {static_cast<float>(bre - u), static_cast<float>(bim - v)};
    }
}

// The new Z[k] (kre, kim) and Z[N-k] (mre, mim) from a = Z[k], b = Z[N-k]
// and the twiddles A, B, lane by lane: one template for four and eight
// lanes. Sums through simd::add, which keeps the written operand order and
// so the sign of a NaN that meets another.
template <bool Fwd, class V>
[[gnu::always_inline]] inline void recombine(V are, V aim, V bre, V bim, V A, V B, V& kre, V& kim, V& mre, V& mim) {
    const V p = sub(are, bre);
    const V q = add(aim, bim);
    if constexpr (Fwd) {
        const V x = add(mul(B, p), mul(A, q));
        const V y = sub(mul(B, q), mul(A, p));
        kre = add(bre, x);
        kim = sub(y, bim);
        mre = sub(are, x);
        mim = sub(y, aim);
    } else {
        const V u = sub(mul(A, q), mul(B, p));
        const V v = add(mul(A, p), mul(B, q));
        kre = add(are, u);
        kim = sub(aim, v);
        mre = sub(bre, u);
        mim = sub(bim, v);
    }
}

inline void storeLow(SComplex* at, __m128 v) { _mm_storel_pi(reinterpret_cast<__m64*>(at), v); }
inline void storeHigh(SComplex* at, __m128 v) { _mm_storeh_pi(reinterpret_cast<__m64*>(at), v); }

// Pairs k..k+3 with N-k..N-k-3: `up` is Z[k], `down` Z[N-k], `twd` the
// group's four A and four B. Stores lanes 0..2 and returns lane 3 as
// (X[k+3], X[N-k-3]), whose stores the caller makes later or never.
template <class Build, bool Fwd>
[[gnu::always_inline]] inline __m128 fourPairs(SComplex* up, SComplex* down, const float* twd) {
    Build::prefetch(up, down, twd);
    const __m128 a01 = Build::load2(up, up + 1);
    const __m128 a23 = Build::load2(up + 2, up + 3);
    const __m128 b01 = Build::load2(down, down - 1);
    const __m128 b23 = Build::load2(down - 2, down - 3);
    const __m128 are = _mm_shuffle_ps(a01, a23, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 aim = _mm_shuffle_ps(a01, a23, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 bre = _mm_shuffle_ps(b01, b23, _MM_SHUFFLE(2, 0, 2, 0));
    const __m128 bim = _mm_shuffle_ps(b01, b23, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 A = _mm_load_ps(twd);
    const __m128 B = _mm_load_ps(twd + 4);
    __m128 kre, kim, mre, mim;  // the new Z[k], Z[N-k]
    recombine<Fwd>(are, aim, bre, bim, A, B, kre, kim, mre, mim);
    const __m128 k01 = _mm_unpacklo_ps(kre, kim);
    const __m128 k23 = _mm_unpackhi_ps(kre, kim);
    const __m128 m01 = _mm_unpacklo_ps(mre, mim);
    const __m128 m23 = _mm_unpackhi_ps(mre, mim);
    storeLow(up, k01);
    storeHigh(up + 1, k01);
    storeLow(up + 2, k23);
    storeLow(down, m01);
    storeHigh(down - 1, m01);
    storeLow(down - 2, m23);
    return _mm_movehl_ps(m23, k23);
}

// N >= 8: N/8 steps. Lane 3 of the last step is k = N/2, a = b = the middle
// value; its results are dropped by never making the deferred stores.
template <class Build, bool Fwd>
void vectorPairs(SComplex* z, int N, const SComplex* table) {
    SComplex* up = z + 1;
    SComplex* down = z + N - 1;
    const float* twd = &table->re;
    __m128 pending = fourPairs<Build, Fwd>(up, down, twd);
    for (int g = 1; g < N / 8; ++g) {
        up += 4;
        down -= 4;
        twd += 8;
        storeLow(up - 1, pending);
        storeHigh(down + 1, pending);
        pending = fourPairs<Build, Fwd>(up, down, twd);
    }
}

template <class Build>
void realRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    if (N <= 1) return;
    const bool fwd = direction > 0;
    if (N == 2) {
        // The only value is the middle one; the table is not read.
        if (fwd) conjugate(z + 1);
        return;
    }
    if (N == 4) {
        if (fwd)
            x87Pair<true>(z, twd[1]);
        else
            x87Pair<false>(z, twd[1]);
    } else if (fwd) {
        vectorPairs<Build, true>(z, N, twd);
    } else {
        vectorPairs<Build, false>(z, N, twd);
    }
    // X[N/2] is conj(Z[N/2]) forward and Z[N/2] itself in the inverse.
    if (fwd) conjugate(z + N / 2);
}

}  // namespace

}  // namespace qel::simd
