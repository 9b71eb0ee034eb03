// SPDX-License-Identifier: MIT
// Four-wide single-precision vocabulary of the streaming-SIMD kernels: loads,
// stores, arithmetic, shuffles and constants written by their bit patterns.
// SSE only (no SSE2), so the SSE and SSE2 forms both include it.
#pragma once

#include <xmmintrin.h>

#include <bit>
#include <cstdint>

namespace qel::simd {

using V4 = __m128;

#define QEL_SIMD_INLINE [[gnu::always_inline]] inline

// Four complex values split into a vector of real and one of imaginary parts.
struct Split4 {
    V4 re;
    V4 im;
};

// A read-only vector constant, 16-byte aligned, its lanes given as words.
struct alignas(16) Const4 {
    float lane[4];
};

constexpr Const4 constFromBits(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return Const4{{std::bit_cast<float>(a), std::bit_cast<float>(b), std::bit_cast<float>(c),
                   std::bit_cast<float>(d)}};
}

QEL_SIMD_INLINE V4 load(const float* p) { return _mm_load_ps(p); }
QEL_SIMD_INLINE V4 load(const Const4& c) { return _mm_load_ps(c.lane); }
QEL_SIMD_INLINE void store(float* p, V4 v) { _mm_store_ps(p, v); }
// 8-byte halves; no alignment beyond that of a float is needed.
QEL_SIMD_INLINE void storeLow(void* p, V4 v) { _mm_storel_pi(static_cast<__m64*>(p), v); }
QEL_SIMD_INLINE void storeHigh(void* p, V4 v) { _mm_storeh_pi(static_cast<__m64*>(p), v); }
QEL_SIMD_INLINE V4 loadLowHigh(const void* lo, const void* hi) {
    const V4 low = _mm_loadl_pi(_mm_setzero_ps(), static_cast<const __m64*>(lo));
    return _mm_loadh_pi(low, static_cast<const __m64*>(hi));
}

// a + b with a as the instruction's first operand. When both lanes hold NaNs
// the first operand's NaN is the result, so the sign and payload of a NaN
// that meets another (inf - inf gives a negative one, a sign flip by
// exclusive-or a positive one) follow the order written in the source.
// Compilers take addition as commutative and swap the operands of
// _mm_add_ps when it saves a register copy, differently in every function
// and with every set of flags; the asm keeps the written order. The
// subtractions cannot be swapped, and the products never meet two NaNs
// (one factor is always a finite constant or twiddle).
QEL_SIMD_INLINE V4 add(V4 a, V4 b) {
    asm("addps %1, %0" : "+x"(a) : "xm"(b));
    return a;
}
QEL_SIMD_INLINE V4 sub(V4 a, V4 b) { return _mm_sub_ps(a, b); }
QEL_SIMD_INLINE V4 mul(V4 a, V4 b) { return _mm_mul_ps(a, b); }
QEL_SIMD_INLINE V4 bitXor(V4 a, V4 b) { return _mm_xor_ps(a, b); }

// Lanes (a[i0], a[i1], b[i2], b[i3]).
template <int i0, int i1, int i2, int i3>
QEL_SIMD_INLINE V4 shuffle(V4 a, V4 b) {
    static_assert(i0 >= 0 && i0 < 4 && i1 >= 0 && i1 < 4 && i2 >= 0 && i2 < 4 && i3 >= 0 && i3 < 4);
    return _mm_shuffle_ps(a, b, _MM_SHUFFLE(i3, i2, i1, i0));
}
// (a0, b0, a1, b1) and (a2, b2, a3, b3).
QEL_SIMD_INLINE V4 interleaveLow(V4 a, V4 b) { return _mm_unpacklo_ps(a, b); }
QEL_SIMD_INLINE V4 interleaveHigh(V4 a, V4 b) { return _mm_unpackhi_ps(a, b); }
// (a0, a1, b0, b1).
QEL_SIMD_INLINE V4 lowHalves(V4 a, V4 b) { return _mm_movelh_ps(a, b); }

// Rows become columns.
QEL_SIMD_INLINE void transpose(V4& r0, V4& r1, V4& r2, V4& r3) { _MM_TRANSPOSE4_PS(r0, r1, r2, r3); }

QEL_SIMD_INLINE Split4 add(Split4 a, Split4 b) { return {add(a.re, b.re), add(a.im, b.im)}; }
QEL_SIMD_INLINE Split4 sub(Split4 a, Split4 b) { return {sub(a.re, b.re), sub(a.im, b.im)}; }

// x * (c + i s), as (re*c - im*s, im*c + re*s); with Fwd false the product
// with the conjugate, (re*c + im*s, im*c - re*s). Templates over the split
// type, so that the eight-wide vocabulary (simd8.h) shares them.
template <bool Fwd, class Split, class V>
QEL_SIMD_INLINE Split mulTwiddle(Split x, V c, V s) {
    const V rc = mul(x.re, c);
    const V is = mul(x.im, s);
    const V ic = mul(x.im, c);
    const V rs = mul(x.re, s);
    if constexpr (Fwd) return {sub(rc, is), add(ic, rs)};
    return {add(rc, is), sub(ic, rs)};
}

// a - i*b (Fwd) or a + i*b, without rounding the rotation.
template <bool Fwd, class Split>
QEL_SIMD_INLINE Split subRotated(Split a, Split b) {
    if constexpr (Fwd) return {add(a.re, b.im), sub(a.im, b.re)};
    return {sub(a.re, b.im), add(a.im, b.re)};
}

}  // namespace qel::simd
