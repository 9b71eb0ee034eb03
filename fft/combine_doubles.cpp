// SPDX-License-Identifier: MIT
// The combining butterflies in doubles, two at a time with SSE2, four with
// AVX2 or eight with AVX-512 F, each result proven equal to the x87 loop's
// before it is stored.
// Shared by every variant on x86-64; empty elsewhere.
#include "fft/combine_doubles.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

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
// exact sum the same sign by the same rule. So F = F' = that zero. P = 0
// or Q = 0 is tested as P*Q = 0: two non-zero products of floats are at
// least 2^-298 each, so theirs does not underflow.
//
// Where y and b are both zeros (zero data), P and Q are zeros, T = T' is
// the zero that the same exact sum gives by the same rule in both units, and
// S = S' is the zero of y +- T: the AVX2 and AVX-512 kernels take a group of
// butterflies with only zeros in y and b without the second test.
//
// Assumed: rounding to nearest and 64-bit precision in the x87 unit,
// rounding to nearest without flush to zero or denormals as zero in SSE:
// defaultFloatModes, which the caller checks once per call.

namespace {

// The low dword of a double holds r (bits 0 to 28), the high dword the
// exponent (bits 20 to 30); one mask keeps both.
constexpr int kFieldsLo = 0x1FFFFFFF;
constexpr int kFieldsHi = 0x7FF00000;
// A lane is bad when (v - lo) as unsigned is at most w: for r, lo = 2^28 - M
// and w = 2M (the interval (c) excludes); for the exponent, lo = 1151 << 20
// and w wraps round to 896 << 20 (everything outside (a)). Unsigned order is
// signed order after flipping the top bit: bad when
// (w ^ 2^31) + 1 > (v - lo) ^ 2^31, that is kLimit > v + kShift.
constexpr int shiftLo(int m) { return static_cast<int>(0x80000000u - 0x10000000u + static_cast<unsigned>(m)); }
constexpr int limitLo(int m) { return static_cast<int>(0x80000000u + 2u * static_cast<unsigned>(m) + 1u); }
constexpr int kM = 1 << 15;
constexpr int kShiftLo = shiftLo(kM);
constexpr int kShiftHi = 0x38100000;
constexpr int kLimitLo = limitLo(kM);
constexpr int kLimitHi = 0x70100001;
// (b): e(T) - (12 << 20) in the high dwords, the smallest integer in the low
// ones so that their comparison never fails.
constexpr int kCancelLo = static_cast<int>(0x80000000u);
constexpr int kCancelHi = -(12 << 20);

// t = b * v as the x87 loop forms it, in parts: with (u, v) the twiddle's
// (re, im), or (im, re) in the second quarter, the real part is
// br*u - bi*v and the imaginary part bi*u + br*v when Fwd != SecondQuarter,
// the signs swapped otherwise; the operands in the loop's order wherever it
// subtracts (a sum's order changes no bit of a result that passes the test).
// pq: the product of the part's two terms, zero exactly when one of them is.
template <bool Fwd, bool SecondQuarter, typename V, typename Ops>
inline void parts(V bR, V bI, V wR, V wI, V& tR, V& tI, V& pqR, V& pqI) {
    const V u = SecondQuarter ? wI : wR;
    const V v = SecondQuarter ? wR : wI;
    const V pR = Ops::mul(bR, u), qR = Ops::mul(bI, v);
    const V pI = Ops::mul(bI, u), qI = Ops::mul(bR, v);
    if constexpr (Fwd != SecondQuarter) {
        tR = Ops::sub(pR, qR);
        tI = Ops::add(pI, qI);
    } else {
        tR = Ops::add(pR, qR);
        tI = Ops::sub(pI, qI);
    }
    pqR = Ops::mul(pR, qR);
    pqI = Ops::mul(pI, qI);
}

// Two butterflies in 128-bit registers.
struct Sse2 {
    using V = __m128d;
    using I = __m128i;
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static I fields() { return _mm_set_epi32(kFieldsHi, kFieldsLo, kFieldsHi, kFieldsLo); }
    static I shift() { return _mm_set_epi32(kShiftHi, kShiftLo, kShiftHi, kShiftLo); }
    static I limit() { return _mm_set_epi32(kLimitHi, kLimitLo, kLimitHi, kLimitLo); }
    static I cancel() { return _mm_set_epi32(kCancelHi, kCancelLo, kCancelHi, kCancelLo); }
    static I exponentOnly() { return _mm_set_epi32(kFieldsHi, 0, kFieldsHi, 0); }

    // All ones in the dwords of a result that fails (a), (b) or (c).
    static I unproven(V s, I cancelLimit) {
        const I v = _mm_and_si128(_mm_castpd_si128(s), fields());
        const I outside = _mm_cmpgt_epi32(limit(), _mm_add_epi32(v, shift()));
        return _mm_or_si128(outside, _mm_cmpgt_epi32(cancelLimit, v));
    }
    static I cancelLimit(V t) {
        return _mm_add_epi32(_mm_and_si128(_mm_castpd_si128(t), exponentOnly()), cancel());
    }
    // The lanes of an exact zero whose t is exact (the second test).
    static I exactZero(V s, V pq) {
        const V zero = _mm_setzero_pd();
        return _mm_castpd_si128(_mm_and_pd(_mm_cmpeq_pd(s, zero), _mm_cmpeq_pd(pq, zero)));
    }

    // (re, re) and (im, im) of two complex values as doubles.
    static void split(__m128 x, V& re, V& im) {
        const __m128 s = _mm_shuffle_ps(x, x, _MM_SHUFFLE(3, 1, 2, 0));
        re = _mm_cvtps_pd(s);
        im = _mm_cvtps_pd(_mm_movehl_ps(s, s));
    }
    static __m128 load(const SComplex* p) { return _mm_loadu_ps(reinterpret_cast<const float*>(p)); }
    static __m128 loadTwiddles(const SComplex* table, int j, int step) {
        const __m128i w0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&table[j * step]));
        const __m128i w1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&table[(j + 1) * step]));
        return _mm_castsi128_ps(_mm_unpacklo_epi64(w0, w1));
    }
    static void store(SComplex* p, V re, V im) {
        _mm_storeu_ps(reinterpret_cast<float*>(p), _mm_unpacklo_ps(_mm_cvtpd_ps(re), _mm_cvtpd_ps(im)));
    }
    static bool none(I bad) { return _mm_movemask_epi8(bad) == 0; }
    static I orOf(I a, I b) { return _mm_or_si128(a, b); }
    static I andNot(I a, I b) { return _mm_andnot_si128(a, b); }
};

// The butterflies j and j + 1: stored when proven (or not filtering), and
// true then.
template <bool Fwd, bool SecondQuarter>
inline bool pair(SComplex* y, SComplex* z, const SComplex* table, int step, int j, bool filter) {
    using O = Sse2;
    O::V yR, yI, bR, bI, wR, wI, tR, tI, pqR, pqI;
    O::split(O::load(y + j), yR, yI);
    O::split(O::load(z + j), bR, bI);
    O::split(O::loadTwiddles(table, j, step), wR, wI);
    parts<Fwd, SecondQuarter, O::V, O>(bR, bI, wR, wI, tR, tI, pqR, pqI);
    const O::V pR = O::add(yR, tR), mR = O::sub(yR, tR);
    const O::V pI = O::add(yI, tI), mI = O::sub(yI, tI);
    if (filter) {
        const O::I cR = O::cancelLimit(tR), cI = O::cancelLimit(tI);
        const O::I b0 = O::unproven(pR, cR), b1 = O::unproven(mR, cR);
        const O::I b2 = O::unproven(pI, cI), b3 = O::unproven(mI, cI);
        if (!O::none(O::orOf(O::orOf(b0, b1), O::orOf(b2, b3)))) {
            const O::I left = O::orOf(O::orOf(O::andNot(O::exactZero(pR, pqR), b0), O::andNot(O::exactZero(mR, pqR), b1)),
                                      O::orOf(O::andNot(O::exactZero(pI, pqI), b2), O::andNot(O::exactZero(mI, pqI), b3)));
            if (!O::none(left)) return false;
        }
    }
    O::store(y + j, pR, pI);
    O::store(z + j, mR, mI);
    return true;
}

template <bool Fwd, bool SecondQuarter>
std::uint64_t pairs(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1, bool filter) {
    std::uint64_t left = 0;
    int bit = 0;
    int j = c0;
    for (; j + 1 < c1; j += 2, ++bit) {
        if constexpr (variant::kFftCombinePrefetch) {
            // The x87 loop's prefetches, for the same build.
            __builtin_prefetch(&y[j + 2], 1, 0);
            __builtin_prefetch(&z[j + 4], 1, 0);
            __builtin_prefetch(&table[(j + 2) * step], 0, 0);
            __builtin_prefetch(&table[(j + 3) * step], 0, 0);
        }
        if (!pair<Fwd, SecondQuarter>(y, z, table, step, j, filter)) left |= std::uint64_t{1} << bit;
    }
    if (j < c1) left |= std::uint64_t{1} << bit;
    return left;
}

// Four butterflies in 256-bit registers, the same steps as pair; for
// processors with AVX2 only, hence the target attribute on each function.
#define QEL_AVX2 __attribute__((target("avx2")))

QEL_AVX2 inline __m256i wide(int lo, int hi) { return _mm256_set_epi32(hi, lo, hi, lo, hi, lo, hi, lo); }

// Here (a) and (b) are one bound on e(S): bad when e(S) lies outside
// [max(897, e(T) - 12), 1150]. The limit of each lane's high dword is
// (max(897, e(T) - 12) + 897) << 20, so kLimit > v + kShift's wrap-round
// test above keeps its upper end and takes this lower one (one comparison
// per result instead of two). The limit stays positive: a finite T is a
// rounded sum of two products of floats with twiddles of magnitude at most
// 1, below 2^129, so e(T) <= 1152. For an infinite or NaN T the sum
// e(T) + 885 wraps to a negative number and the limit falls back to (a)'s,
// but S is then infinite or NaN and fails (a). The low dwords keep kLimitLo.
// In the high dwords: e(T) << 20 plus kBoundOffsetHi, at least kBoundFloorHi.
constexpr int kLow = 1023 - 126;  // (a)'s lower end; kShiftHi is kLow << 20
static_assert(kShiftHi == kLow << 20);
constexpr int kBoundOffsetHi = (kLow - 12) << 20;
constexpr int kBoundFloorHi = (2 * kLow) << 20;

QEL_AVX2 inline __m256i wideLimit(__m256d t) {
    const __m256i e = _mm256_and_si256(_mm256_castpd_si256(t), wide(0, kFieldsHi));
    return _mm256_max_epi32(_mm256_add_epi32(e, wide(kLimitLo, kBoundOffsetHi)), wide(kLimitLo, kBoundFloorHi));
}

// All ones in the dwords of a result that fails (a), (b) or (c).
QEL_AVX2 inline __m256i wideUnproven(__m256d s, __m256i limit) {
    const __m256i v = _mm256_and_si256(_mm256_castpd_si256(s), wide(kFieldsLo, kFieldsHi));
    return _mm256_cmpgt_epi32(limit, _mm256_add_epi32(v, wide(kShiftLo, kShiftHi)));
}

QEL_AVX2 inline __m256i wideExactZero(__m256d s, __m256d pq) {
    const __m256d zero = _mm256_setzero_pd();
    return _mm256_castpd_si256(_mm256_and_pd(_mm256_cmp_pd(s, zero, _CMP_EQ_OQ), _mm256_cmp_pd(pq, zero, _CMP_EQ_OQ)));
}

// Here the complex values stay interleaved, (re, im) in each pair of lanes:
// two converted floats per 128 bits of memory, and no shuffle across the
// register's halves.
QEL_AVX2 inline __m256d wideLoad(const SComplex* p) {
    return _mm256_cvtps_pd(_mm_loadu_ps(reinterpret_cast<const float*>(p)));
}

// The roots of butterflies j and j + 1, (wr, wi) each.
QEL_AVX2 inline __m128 roots(const SComplex* table, int j, int step) {
    if (step == 1) return _mm_loadu_ps(reinterpret_cast<const float*>(table + j));
    const __m128i w0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&table[j * step]));
    const __m128i w1 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&table[(j + 1) * step]));
    return _mm_castsi128_ps(_mm_unpacklo_epi64(w0, w1));
}

QEL_AVX2 inline void wideStore(SComplex* p, __m256d x) {
    _mm_storeu_ps(reinterpret_cast<float*>(p), _mm256_cvtpd_ps(x));
}

// The effective twiddle v of a butterfly is its root w = (wr, wi) as
// (wr, wi) forward in the first quarter, (wr, -wi) inverse, (wi, -wr)
// forward in the second, (wi, wr) inverse: the products then have the signs
// the x87 loop's subtractions give them (x - y is x + (-y), bit for bit).
// PreparedTwiddles holds v's real parts each twice, then its imaginary parts
// each twice with the first negated, (-vi, vi): t's real part br*vr - bi*vi
// is formed as br*vr + bi*(-vi), a product with a negated factor being the
// negated product. So both quarters take the two duplications of w, only
// swapped and signed:
//   first quarter: (wr, wr), then (wi, wi) signed (-, +) forward, (+, -)
//   inverse; second quarter: (wi, wi), then (wr, wr) signed (+, -) forward,
//   (-, +) inverse.
// kNegateFirst: the imaginary parts' signs are (-, +), else (+, -).
template <bool Fwd, bool SecondQuarter>
constexpr bool kNegateFirst = Fwd != SecondQuarter;

// Four butterflies' roots as doubles, two in each of w0 and w1.
template <bool Fwd>
QEL_AVX2 inline void storePrepared(double* first, double* second, __m256d w0, __m256d w1) {
    const __m256d negateFirst = _mm256_set_pd(0.0, -0.0, 0.0, -0.0);
    const __m256d negateSecond = _mm256_set_pd(-0.0, 0.0, -0.0, 0.0);
    const __m256d signFirst = kNegateFirst<Fwd, false> ? negateFirst : negateSecond;
    const __m256d signSecond = kNegateFirst<Fwd, true> ? negateFirst : negateSecond;
    const __m256d r0 = _mm256_movedup_pd(w0), r1 = _mm256_movedup_pd(w1);
    const __m256d i0 = _mm256_permute_pd(w0, 0xF), i1 = _mm256_permute_pd(w1, 0xF);
    _mm256_storeu_pd(first, r0);
    _mm256_storeu_pd(first + 4, r1);
    _mm256_storeu_pd(first + 8, _mm256_xor_pd(i0, signFirst));
    _mm256_storeu_pd(first + 12, _mm256_xor_pd(i1, signFirst));
    _mm256_storeu_pd(second, i0);
    _mm256_storeu_pd(second + 4, i1);
    _mm256_storeu_pd(second + 8, _mm256_xor_pd(r0, signSecond));
    _mm256_storeu_pd(second + 12, _mm256_xor_pd(r1, signSecond));
}

template <bool Fwd>
QEL_AVX2 void prepare(const SComplex* table, int step, int c0, int c1, PreparedTwiddles& out) {
    for (int j = c0, k = 0; j + 3 < c1; j += 4, k += 16) {
        storePrepared<Fwd>(out.first + k, out.second + k, _mm256_cvtps_pd(roots(table, j, step)),
                           _mm256_cvtps_pd(roots(table, j + 2, step)));
    }
}

// Butterflies j and j + 1 with their prepared twiddles (re: the real parts
// each twice, im: the imaginary ones, signed as above): t = b * v as
// (br*vr - bi*vi, bi*vr + br*vi), y + t and y - t; p and q: t's two terms
// per part.
struct WideHalf {
    __m256d plus, minus, t, p, q;
};

QEL_AVX2 inline WideHalf wideHalf(const SComplex* y, const SComplex* z, const double* re, const double* im, int j) {
    const __m256d a = wideLoad(y + j);
    const __m256d b = wideLoad(z + j);
    WideHalf h;
    h.p = _mm256_mul_pd(b, _mm256_loadu_pd(re));
    h.q = _mm256_mul_pd(_mm256_permute_pd(b, 0x5), _mm256_loadu_pd(im));
    h.t = _mm256_add_pd(h.p, h.q);
    h.plus = _mm256_add_pd(a, h.t);
    h.minus = _mm256_sub_pd(a, h.t);
    return h;
}

// All ones in the dwords of the results of f that fail (a), (b) or (c).
struct WideUnproven {
    __m256i plus, minus;
};
[[gnu::always_inline]] QEL_AVX2 inline WideUnproven wideUnproven(const WideHalf& f) {
    const __m256i limit = wideLimit(f.t);
    return {wideUnproven(f.plus, limit), wideUnproven(f.minus, limit)};
}

// Butterflies j to j + 3 with zeros in every y and b (see above).
QEL_AVX2 inline bool zeroInputs(const SComplex* y, const SComplex* z, int j) {
    const __m256 both = _mm256_or_ps(_mm256_loadu_ps(reinterpret_cast<const float*>(y + j)),
                                     _mm256_loadu_ps(reinterpret_cast<const float*>(z + j)));
    const __m256 signs = _mm256_set1_ps(-0.0f);
    return _mm256_testc_si256(_mm256_castps_si256(signs), _mm256_castps_si256(both));
}

// Whether some result of f0 and f1 failed the first test (u0, u1) and is
// not an exact zero that the second proves.
[[gnu::always_inline]] QEL_AVX2 inline bool unprovenZeros(const WideHalf& f0, const WideUnproven& u0,
                                                          const WideHalf& f1, const WideUnproven& u1) {
    const __m256d pq0 = _mm256_mul_pd(f0.p, f0.q), pq1 = _mm256_mul_pd(f1.p, f1.q);
    const __m256i left = _mm256_or_si256(_mm256_or_si256(_mm256_andnot_si256(wideExactZero(f0.plus, pq0), u0.plus),
                                                         _mm256_andnot_si256(wideExactZero(f0.minus, pq0), u0.minus)),
                                         _mm256_or_si256(_mm256_andnot_si256(wideExactZero(f1.plus, pq1), u1.plus),
                                                         _mm256_andnot_si256(wideExactZero(f1.minus, pq1), u1.minus)));
    return !_mm256_testz_si256(left, left);
}

// Butterflies j to j + 3, whose prepared twiddles start at v. Inlined by
// force: as a call it cost a tenth of the stage.
[[gnu::always_inline]] QEL_AVX2 inline bool quad(SComplex* y, SComplex* z, const double* v, int j, bool filter) {
    const WideHalf f0 = wideHalf(y, z, v, v + 8, j);
    const WideHalf f1 = wideHalf(y, z, v + 4, v + 12, j + 2);
    if (filter) {
        const WideUnproven u0 = wideUnproven(f0), u1 = wideUnproven(f1);
        const __m256i bad = _mm256_or_si256(_mm256_or_si256(u0.plus, u0.minus), _mm256_or_si256(u1.plus, u1.minus));
        if (!_mm256_testz_si256(bad, bad) && !zeroInputs(y, z, j) && unprovenZeros(f0, u0, f1, u1)) return false;
    }
    wideStore(y + j, f0.plus);
    wideStore(y + j + 2, f1.plus);
    wideStore(z + j, f0.minus);
    wideStore(z + j + 2, f1.minus);
    return true;
}

template <bool Fwd, bool SecondQuarter>
QEL_AVX2 std::uint64_t quads(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1, bool filter,
                             const double* prepared) {
    std::uint64_t left = 0;
    int bit = 0;
    int j = c0;
    // Without the x87 loop's prefetches, which change no result: the
    // processor's own prefetchers follow these runs, and the hints (not to
    // keep the lines, which the next stage reads again) measured 3 to 6%
    // slower in whole transforms of 2^12 to 2^18 points.
    for (; j + 3 < c1; j += 4, bit += 2) {
        if (!quad(y, z, prepared + 4 * (j - c0), j, filter)) left |= std::uint64_t{3} << bit;
    }
    if (j + 1 < c1) {
        if (!pair<Fwd, SecondQuarter>(y, z, table, step, j, filter)) left |= std::uint64_t{1} << bit;
        j += 2;
        ++bit;
    }
    if (j < c1) left |= std::uint64_t{1} << bit;
    return left;
}

// Eight butterflies in 512-bit registers: the AVX2 kernels' steps lane for
// lane, four butterflies to a register, the first test's results in mask
// registers. For processors with AVX-512 F only.
#define QEL_AVX512 __attribute__((target("avx512f")))

// GCC 12's unmasked forms of some of these intrinsics start from an
// uninitialised register that -Wuninitialized reports; the forms with a mask
// of all ones are the same instructions.
constexpr __mmask8 kAll8 = 0xFF;
constexpr __mmask16 kAll16 = 0xFFFF;

QEL_AVX512 inline __m512i wide512(int lo, int hi) {
    return _mm512_set_epi32(hi, lo, hi, lo, hi, lo, hi, lo, hi, lo, hi, lo, hi, lo, hi, lo);
}

struct Half512 {
    __m512d plus, minus, t, p, q;
};

// Butterflies j to j + 3 with their prepared twiddles v (as the AVX2
// kernels': the four real parts each twice, then the imaginary ones).
QEL_AVX512 inline Half512 half512(const SComplex* y, const SComplex* z, const double* v, int j) {
    const __m512d a = _mm512_maskz_cvtps_pd(kAll8, _mm256_loadu_ps(reinterpret_cast<const float*>(y + j)));
    const __m512d b = _mm512_maskz_cvtps_pd(kAll8, _mm256_loadu_ps(reinterpret_cast<const float*>(z + j)));
    Half512 h;
    h.p = _mm512_mul_pd(b, _mm512_loadu_pd(v));
    h.q = _mm512_mul_pd(_mm512_maskz_permute_pd(kAll8, b, 0x55), _mm512_loadu_pd(v + 8));
    h.t = _mm512_add_pd(h.p, h.q);
    h.plus = _mm512_add_pd(a, h.t);
    h.minus = _mm512_sub_pd(a, h.t);
    return h;
}

// The dwords of h's results that fail (a), (b) or (c), as wideLimit and
// wideUnproven find them.
struct Unproven512 {
    __mmask16 plus, minus;
};
QEL_AVX512 inline Unproven512 unproven512(const Half512& h) {
    const __m512i e = _mm512_and_si512(_mm512_castpd_si512(h.t), wide512(0, kFieldsHi));
    const __m512i limit =
        _mm512_maskz_max_epi32(kAll16, _mm512_add_epi32(e, wide512(kLimitLo, kBoundOffsetHi)),
                               wide512(kLimitLo, kBoundFloorHi));
    const __m512i fields = wide512(kFieldsLo, kFieldsHi);
    const __m512i shift = wide512(kShiftLo, kShiftHi);
    const __m512i plus = _mm512_add_epi32(_mm512_and_si512(_mm512_castpd_si512(h.plus), fields), shift);
    const __m512i minus = _mm512_add_epi32(_mm512_and_si512(_mm512_castpd_si512(h.minus), fields), shift);
    return {_mm512_cmpgt_epi32_mask(limit, plus), _mm512_cmpgt_epi32_mask(limit, minus)};
}

// The lanes of the dwords in `dwords`.
QEL_AVX512 inline __mmask8 lanesOf(__mmask16 dwords) {
    const __m512i ones = _mm512_maskz_mov_epi32(dwords, _mm512_set1_epi32(-1));
    return _mm512_test_epi64_mask(ones, ones);
}

// Whether some result of butterflies j to j + 3 (h) failed the first test
// (u) and is proven by neither zero test.
[[gnu::always_inline]] QEL_AVX512 inline bool left512(const Half512& h, Unproven512 u, const SComplex* y,
                                                      const SComplex* z, int j) {
    if ((u.plus | u.minus) == 0 || zeroInputs(y, z, j)) return false;
    const __m512d zero = _mm512_setzero_pd();
    const __mmask8 pq = _mm512_cmp_pd_mask(_mm512_mul_pd(h.p, h.q), zero, _CMP_EQ_OQ);
    const __mmask8 plus = _mm512_mask_cmp_pd_mask(pq, h.plus, zero, _CMP_EQ_OQ);
    const __mmask8 minus = _mm512_mask_cmp_pd_mask(pq, h.minus, zero, _CMP_EQ_OQ);
    return ((lanesOf(u.plus) & ~plus) | (lanesOf(u.minus) & ~minus)) != 0;
}

QEL_AVX512 inline void store512(SComplex* p, __m512d x) {
    _mm256_storeu_ps(reinterpret_cast<float*>(p), _mm512_maskz_cvtpd_ps(kAll8, x));
}

// Butterflies j to j + 7; bit 0 of the result set when the first four are
// left unproven (and unstored), bit 1 for the second four.
[[gnu::always_inline]] QEL_AVX512 inline unsigned eight(SComplex* y, SComplex* z, const double* v, int j, bool filter) {
    const Half512 f0 = half512(y, z, v, j);
    const Half512 f1 = half512(y, z, v + 16, j + 4);
    unsigned left = 0;
    if (filter) {
        const Unproven512 u0 = unproven512(f0), u1 = unproven512(f1);
        if ((u0.plus | u0.minus | u1.plus | u1.minus) != 0)
            left = (left512(f0, u0, y, z, j) ? 1u : 0u) | (left512(f1, u1, y, z, j + 4) ? 2u : 0u);
    }
    if ((left & 1u) == 0) {
        store512(y + j, f0.plus);
        store512(z + j, f0.minus);
    }
    if ((left & 2u) == 0) {
        store512(y + j + 4, f1.plus);
        store512(z + j + 4, f1.minus);
    }
    return left;
}

// prepare's values, four butterflies to a register.
template <bool Fwd>
QEL_AVX512 void prepare512(const SComplex* table, int step, int c0, int c1, PreparedTwiddles& out) {
    const __m512i negateFirst = _mm512_castpd_si512(_mm512_set_pd(0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0));
    const __m512i negateSecond = _mm512_castpd_si512(_mm512_set_pd(-0.0, 0.0, -0.0, 0.0, -0.0, 0.0, -0.0, 0.0));
    const __m512i signFirst = kNegateFirst<Fwd, false> ? negateFirst : negateSecond;
    const __m512i signSecond = kNegateFirst<Fwd, true> ? negateFirst : negateSecond;
    for (int j = c0, k = 0; j + 3 < c1; j += 4, k += 16) {
        const __m256 w =
            _mm256_insertf128_ps(_mm256_castps128_ps256(roots(table, j, step)), roots(table, j + 2, step), 1);
        const __m512d wd = _mm512_maskz_cvtps_pd(kAll8, w);
        const __m512d r = _mm512_maskz_movedup_pd(kAll8, wd);
        const __m512d i = _mm512_maskz_permute_pd(kAll8, wd, 0xFF);
        _mm512_storeu_pd(out.first + k, r);
        _mm512_storeu_pd(out.first + k + 8, _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(i), signFirst)));
        _mm512_storeu_pd(out.second + k, i);
        _mm512_storeu_pd(out.second + k + 8, _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(r), signSecond)));
    }
}

template <bool Fwd, bool SecondQuarter>
QEL_AVX512 std::uint64_t eights(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1, bool filter,
                                const double* prepared) {
    std::uint64_t left = 0;
    int bit = 0;
    int j = c0;
    for (; j + 7 < c1; j += 8, bit += 4) {
        const unsigned l = eight(y, z, prepared + 4 * (j - c0), j, filter);
        left |= static_cast<std::uint64_t>((l & 1u) * 3u + (l & 2u) * 6u) << bit;
    }
    // The rest as the AVX2 kernels take it, which go on from j.
    if (j < c1) left |= quads<Fwd, SecondQuarter>(y, z, table, step, j, c1, filter, prepared + 4 * (j - c0)) << bit;
    return left;
}

// The widest kernels the processor has and the system saves the registers
// of: chosen once per process, at load.
DoubleKernels kernels = DoubleKernels::sse2;

DoubleKernels available() {
    switch (doubleCombineWidth()) {
        case 8: return DoubleKernels::avx512;
        case 4: return DoubleKernels::avx2;
        default: return DoubleKernels::sse2;
    }
}

}  // namespace

void chooseDoubleKernels() { kernels = available(); }

bool wideDoubleKernels() { return kernels != DoubleKernels::sse2; }

DoubleKernels useDoubleKernels(DoubleKernels wanted) {
    kernels = std::min(wanted, available());
    return kernels;
}

template <bool Fwd>
void prepareTwiddles(const SComplex* table, int step, int c0, int c1, PreparedTwiddles& out) {
    if (kernels == DoubleKernels::avx512)
        prepare512<Fwd>(table, step, c0, c1, out);
    else
        prepare<Fwd>(table, step, c0, c1, out);
}

template <bool Fwd, bool SecondQuarter>
std::uint64_t combineDoubles(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1,
                             bool filter, const double* prepared) {
    if (prepared == nullptr) return pairs<Fwd, SecondQuarter>(y, z, table, step, c0, c1, filter);
    if (kernels == DoubleKernels::avx512)
        return eights<Fwd, SecondQuarter>(y, z, table, step, c0, c1, filter, prepared);
    return quads<Fwd, SecondQuarter>(y, z, table, step, c0, c1, filter, prepared);
}

template void prepareTwiddles<true>(const SComplex*, int, int, int, PreparedTwiddles&);
template void prepareTwiddles<false>(const SComplex*, int, int, int, PreparedTwiddles&);
template std::uint64_t combineDoubles<true, false>(SComplex*, SComplex*, const SComplex*, int, int, int, bool,
                                                   const double*);
template std::uint64_t combineDoubles<true, true>(SComplex*, SComplex*, const SComplex*, int, int, int, bool,
                                                  const double*);
template std::uint64_t combineDoubles<false, false>(SComplex*, SComplex*, const SComplex*, int, int, int, bool,
                                                    const double*);
template std::uint64_t combineDoubles<false, true>(SComplex*, SComplex*, const SComplex*, int, int, int, bool,
                                                   const double*);
}  // namespace qel::fft

#endif
