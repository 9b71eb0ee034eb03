// SPDX-License-Identifier: MIT
// Eight-wide vocabulary of the 256-bit kernels: two four-wide units side by
// side, one in each 128-bit half. Every operation but joinLow/joinHigh works
// within its half (vshufps and vunpck do), so each half computes what the
// four-wide operation of simd4.h computes on its unit, bit for bit. Only in
// files compiled with AVX, on x86-64.
#pragma once

#include <immintrin.h>

#include <cstddef>

#include "kernels/simd/simd4.h"

namespace qel::simd {

// A struct rather than the bare __m256, so that the shared templates find
// these overloads by argument-dependent lookup wherever they are included.
struct V8 {
    __m256 v;
};

struct Split8 {
    V8 re;
    V8 im;
};

QEL_SIMD_INLINE V8 loadu(const float* p) { return {_mm256_loadu_ps(p)}; }
QEL_SIMD_INLINE void storeu(float* p, V8 v) { _mm256_storeu_ps(p, v.v); }
// The low half from p, the high half from p + apart floats.
QEL_SIMD_INLINE V8 loadTwo(const float* p, std::ptrdiff_t apart) {
    return {_mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(p)), _mm_loadu_ps(p + apart), 1)};
}
// The same four lanes in both halves.
QEL_SIMD_INLINE V8 loadBoth(const float* p) { return {_mm256_broadcast_ps(reinterpret_cast<const __m128*>(p))}; }
QEL_SIMD_INLINE V8 loadBoth(const Const4& c) { return loadBoth(c.lane); }

// (a.low, b.low) and (a.high, b.high): the only moves across halves.
QEL_SIMD_INLINE V8 joinLow(V8 a, V8 b) { return {_mm256_permute2f128_ps(a.v, b.v, 0x20)}; }
QEL_SIMD_INLINE V8 joinHigh(V8 a, V8 b) { return {_mm256_permute2f128_ps(a.v, b.v, 0x31)}; }

// a + b with a as the first source: VEX returns the first source's NaN when
// both are NaNs, as addps returns its destination's (see simd4.h's add).
QEL_SIMD_INLINE V8 add(V8 a, V8 b) {
    V8 r;
    asm("vaddps %2, %1, %0" : "=x"(r.v) : "x"(a.v), "xm"(b.v));
    return r;
}
QEL_SIMD_INLINE V8 sub(V8 a, V8 b) { return {_mm256_sub_ps(a.v, b.v)}; }
QEL_SIMD_INLINE V8 mul(V8 a, V8 b) { return {_mm256_mul_ps(a.v, b.v)}; }
QEL_SIMD_INLINE V8 bitXor(V8 a, V8 b) { return {_mm256_xor_ps(a.v, b.v)}; }

// In each half, lanes (a[i0], a[i1], b[i2], b[i3]).
template <int i0, int i1, int i2, int i3>
QEL_SIMD_INLINE V8 shuffle(V8 a, V8 b) {
    static_assert(i0 >= 0 && i0 < 4 && i1 >= 0 && i1 < 4 && i2 >= 0 && i2 < 4 && i3 >= 0 && i3 < 4);
    return {_mm256_shuffle_ps(a.v, b.v, _MM_SHUFFLE(i3, i2, i1, i0))};
}
QEL_SIMD_INLINE V8 interleaveLow(V8 a, V8 b) { return {_mm256_unpacklo_ps(a.v, b.v)}; }
QEL_SIMD_INLINE V8 interleaveHigh(V8 a, V8 b) { return {_mm256_unpackhi_ps(a.v, b.v)}; }

// The halves as four-wide vectors.
QEL_SIMD_INLINE __m128 lowHalf(V8 a) { return _mm256_castps256_ps128(a.v); }
QEL_SIMD_INLINE __m128 highHalf(V8 a) { return _mm256_extractf128_ps(a.v, 1); }

QEL_SIMD_INLINE Split8 add(Split8 a, Split8 b) { return {add(a.re, b.re), add(a.im, b.im)}; }
QEL_SIMD_INLINE Split8 sub(Split8 a, Split8 b) { return {sub(a.re, b.re), sub(a.im, b.im)}; }

}  // namespace qel::simd
