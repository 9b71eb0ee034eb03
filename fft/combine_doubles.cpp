// SPDX-License-Identifier: MIT
// The combining butterflies in SSE2 doubles, two at a time, each result
// proven equal to the x87 loop's before it is stored. Shared by every variant
// on x86-64; empty elsewhere.
#include "fft/combine_doubles.h"

#if QEL_FFT_DOUBLE_COMBINE

#include <emmintrin.h>

#include "variant.h"

namespace qel::fft {

// What the x87 loop computes, per output part, with floats y, b, w, in
// 64-bit precision rounding to nearest: P and Q, the products of b's and w's
// components, are exact (24 + 24 bits); T' = round64(P +- Q);
// S' = round64(y +- T'); the stored float F' = round24(S').
//
// Here the same in doubles: P and Q are exact again (48 <= 53 bits, and
// products of floats lie between 2^-298 and 2^256, far inside the double
// range); T = round53(P +- Q); S = round53(y +- T); F = round24(S).
// P +- Q and y +- T, when not zero, are multiples of 2^-350, so neither sum
// comes near the subnormal doubles and both roundings are relative:
//   |S - S'| <= |S - (y +- T)| + |T - T'| + |(y +- T') - S'|
//            <= 2^-53 |S| + (2^-53 + 2^-64) |P +- Q| + 2^-64 |S'|
//            <  2^-52 (|S| + |T|)                                     (1)
// (with |P +- Q| <= |T| / (1 - 2^-53) and |S'| <= |S| + |S - S'|).
//
// F = F' whenever no point halfway between two floats lies within
// |S - S'| of S: then S and S' fall in the same rounding interval of
// round24, whose ends are those halfway points (and it does not matter
// that S' may be on the other side of a power of two). Let |S| lie in
// [2^k, 2^(k+1)), u = 2^(k-52) its last place, and r the low 29 bits of its
// significand. For -126 <= k <= 127 the floats of that binade are u * 2^29
// apart and its halfway points are where r = 2^28; the nearest halfway point
// outside the binade is the one just below 2^k, u * 2^27 below it. So S is at
// least min(|r - 2^28|, 2^27) units u from every halfway point.
//
// The test, all on the bits of S and T (e = biased exponent):
//   (a) 1023 - 126 <= e(S) <= 1023 + 127: S is a normal float's magnitude
//       (this also excludes zero, subnormals, infinities and NaNs, so the
//       two units' different NaN rules never meet a stored result);
//   (b) e(T) <= e(S) + 12, so |T| < 2^(k+13); with (1):
//       |S - S'| < 2^-52 (2^(k+1) + 2^(k+13)) = (2 + 2^13) u;
//   (c) |r - 2^28| > M = 2^15 > 2 + 2^13, and M < 2^27.
// A result that passes all three has no halfway point within |S - S'|:
// F = F'. Large cancellation (|T| more than 2^13 times |S|) fails (b).
//
// Exact zeros, which constant, impulse and zero-padded data give in
// numbers, fail (a) and take a second test: S = 0 with P = 0 or Q = 0.
// S = 0 means y +- T = 0 exactly (a non-zero y +- T rounds to a non-zero
// double, see above); with one product zero, T = P +- Q is exact in both
// units, T' = T, y +- T' = 0 exactly, and both units give the zero of that
// exact sum the same sign by the same rule. So F = F' = that zero.
//
// Assumed: rounding to nearest and 64-bit precision in the x87 unit,
// rounding to nearest without flush to zero or denormals as zero in SSE:
// defaultFloatModes, which the caller checks once per call.

namespace {

// The low dword of a double holds r (bits 0 to 28), the high dword the
// exponent (bits 20 to 30); one mask keeps both.
const __m128i kFields = _mm_set_epi32(0x7FF00000, 0x1FFFFFFF, 0x7FF00000, 0x1FFFFFFF);
// A lane is bad when (v - lo) as unsigned is at most w: for r, lo = 2^28 - M
// and w = 2M (the interval (c) excludes); for the exponent, lo = 1151 << 20
// and w wraps round to 896 << 20 (everything outside (a)). Unsigned order is
// signed order after flipping the top bit: bad when
// (w ^ 2^31) + 1 > (v - lo) ^ 2^31, that is kWrapLimit > v + kWrapShift.
const __m128i kWrapShift = _mm_set_epi32(0x38100000, 0x70008000, 0x38100000, 0x70008000);
const __m128i kWrapLimit = _mm_set_epi32(0x70100001, static_cast<int>(0x80010001u), 0x70100001,
                                         static_cast<int>(0x80010001u));
// (b): e(T) - (12 << 20) in the high dwords, the smallest integer in the low
// ones so that their comparison never fails.
const __m128i kExponentOnly = _mm_set_epi32(0x7FF00000, 0, 0x7FF00000, 0);
const __m128i kCancelShift = _mm_set_epi32(-(12 << 20), static_cast<int>(0x80000000u), -(12 << 20),
                                           static_cast<int>(0x80000000u));

inline __m128d twoDoubles(const SComplex* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}

// All ones in the dwords of a result that fails (a), (b) or (c).
inline __m128i unproven(__m128d s, __m128i cancelLimit) {
    const __m128i v = _mm_and_si128(_mm_castpd_si128(s), kFields);
    const __m128i outside = _mm_cmpgt_epi32(kWrapLimit, _mm_add_epi32(v, kWrapShift));
    return _mm_or_si128(outside, _mm_cmpgt_epi32(cancelLimit, v));
}

struct Butterfly {
    __m128d plus, minus;  // y + t, y - t: (re, im)
    __m128d p, q;         // the two exact products of each part of t
    __m128i cancelLimit;
};

// t = b * v as the x87 loop forms it: each part the sum of one product and
// another, negated where the loop subtracts (negation and the order of the
// two terms change no bit of a sum that the test lets through).
template <bool Fwd, bool SecondQuarter>
inline Butterfly butterfly(__m128d y, __m128d b, __m128d w) {
    const __m128d wr = _mm_unpacklo_pd(w, w);
    const __m128d wi = _mm_unpackhi_pd(w, w);
    const __m128d bSwapped = _mm_shuffle_pd(b, b, 1);
    // Negates the real part's second term (forward, first quarter: br*wr -
    // bi*wi) or the imaginary part's.
    constexpr bool kNegateRe = Fwd != SecondQuarter;
    const __m128d sign = kNegateRe ? _mm_set_pd(0.0, -0.0) : _mm_set_pd(-0.0, 0.0);
    Butterfly out;
    if constexpr (!SecondQuarter) {  // (br*wr -+ bi*wi, bi*wr +- br*wi)
        out.p = _mm_mul_pd(b, wr);
        out.q = _mm_xor_pd(_mm_mul_pd(bSwapped, wi), sign);
    } else {  // (br*wi +- bi*wr, bi*wi -+ br*wr)
        out.p = _mm_mul_pd(b, wi);
        out.q = _mm_xor_pd(_mm_mul_pd(bSwapped, wr), sign);
    }
    const __m128d t = _mm_add_pd(out.p, out.q);
    out.plus = _mm_add_pd(y, t);
    out.minus = _mm_sub_pd(y, t);
    out.cancelLimit = _mm_add_epi32(_mm_and_si128(_mm_castpd_si128(t), kExponentOnly), kCancelShift);
    return out;
}

// The lanes of an exact zero result (the second test).
inline __m128i exactZero(__m128d s, const Butterfly& f) {
    const __m128d zero = _mm_setzero_pd();
    const __m128d oneProductZero = _mm_or_pd(_mm_cmpeq_pd(f.p, zero), _mm_cmpeq_pd(f.q, zero));
    return _mm_castpd_si128(_mm_and_pd(_mm_cmpeq_pd(s, zero), oneProductZero));
}

inline bool proven(const Butterfly& f0, const Butterfly& f1) {
    const __m128i bad0 = unproven(f0.plus, f0.cancelLimit);
    const __m128i bad1 = unproven(f0.minus, f0.cancelLimit);
    const __m128i bad2 = unproven(f1.plus, f1.cancelLimit);
    const __m128i bad3 = unproven(f1.minus, f1.cancelLimit);
    const __m128i bad = _mm_or_si128(_mm_or_si128(bad0, bad1), _mm_or_si128(bad2, bad3));
    if (_mm_movemask_epi8(bad) == 0) return true;
    const __m128i left =
        _mm_or_si128(_mm_or_si128(_mm_andnot_si128(exactZero(f0.plus, f0), bad0),
                                  _mm_andnot_si128(exactZero(f0.minus, f0), bad1)),
                     _mm_or_si128(_mm_andnot_si128(exactZero(f1.plus, f1), bad2),
                                  _mm_andnot_si128(exactZero(f1.minus, f1), bad3)));
    return _mm_movemask_epi8(left) == 0;
}

}  // namespace

template <bool Fwd, bool SecondQuarter>
std::uint64_t combineDoubles(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1,
                             bool filter) {
    std::uint64_t left = 0;
    int pair = 0;
    int j = c0;
    for (; j + 1 < c1; j += 2, ++pair) {
        if constexpr (variant::kFftCombinePrefetch) {
            // The x87 loop's prefetches, for the same build.
            __builtin_prefetch(&y[j + 2], 1, 0);
            __builtin_prefetch(&z[j + 4], 1, 0);
            __builtin_prefetch(&table[(j + 2) * step], 0, 0);
            __builtin_prefetch(&table[(j + 3) * step], 0, 0);
        }
        float* const yf = reinterpret_cast<float*>(y + j);
        float* const zf = reinterpret_cast<float*>(z + j);
        const __m128 ys = _mm_loadu_ps(yf);
        const __m128 bs = _mm_loadu_ps(zf);
        const Butterfly f0 = butterfly<Fwd, SecondQuarter>(_mm_cvtps_pd(ys), _mm_cvtps_pd(bs),
                                                           twoDoubles(&table[j * step]));
        const Butterfly f1 = butterfly<Fwd, SecondQuarter>(
            _mm_cvtps_pd(_mm_movehl_ps(ys, ys)), _mm_cvtps_pd(_mm_movehl_ps(bs, bs)),
            twoDoubles(&table[(j + 1) * step]));
        if (filter && !proven(f0, f1)) {
            left |= std::uint64_t{1} << pair;
            continue;
        }
        _mm_storeu_ps(yf, _mm_movelh_ps(_mm_cvtpd_ps(f0.plus), _mm_cvtpd_ps(f1.plus)));
        _mm_storeu_ps(zf, _mm_movelh_ps(_mm_cvtpd_ps(f0.minus), _mm_cvtpd_ps(f1.minus)));
    }
    if (j < c1) left |= std::uint64_t{1} << pair;
    return left;
}

template std::uint64_t combineDoubles<true, false>(SComplex*, SComplex*, const SComplex*, int, int, int, bool);
template std::uint64_t combineDoubles<true, true>(SComplex*, SComplex*, const SComplex*, int, int, int, bool);
template std::uint64_t combineDoubles<false, false>(SComplex*, SComplex*, const SComplex*, int, int, int, bool);
template std::uint64_t combineDoubles<false, true>(SComplex*, SComplex*, const SComplex*, int, int, int, bool);

bool defaultFloatModes() {
    std::uint16_t control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    // x87: the six exception masks, precision 64 bits (3 << 8), rounding to
    // nearest (0 << 10). SSE: the six masks (0x1F80) and nothing else above
    // the status flags: rounding to nearest, no FTZ (bit 15), no DAZ (bit 6).
    return (control & 0x0F3F) == 0x033F && (_mm_getcsr() & 0xFFC0u) == 0x1F80u;
}

}  // namespace qel::fft

#endif
