// SPDX-License-Identifier: MIT
// The bit-reversal moves of the streaming builds on x86-64 with AVX: the
// walk of the MMX moves, with each group of four values that trade places
// moved as two 16-byte vectors and regrouped by one 2x2 transpose of 8-byte
// values (vunpcklpd/vunpckhpd), where the MMX moves take eight loads and
// eight stores. Only moves and shuffles: every bit arrives as it is, as
// through MMX. Arrays the MMX moves would send through the x87 stack (not
// 8-byte aligned) still go there, through them; so do the arrays the walk
// takes by tiles (above the build's limits of table order), where the
// vectors measured 10 to 20% slower than the MMX moves here, against 30%
// faster in table order.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstdint>

#include "fft/bitrev_walk.h"
#include "kernels/simd/bitrev_mmx.h"
#include "variant.h"

namespace qel::avx {

namespace {

inline __m128d pairAt(const SComplex* at) { return _mm_loadu_pd(reinterpret_cast<const double*>(at)); }
inline void putPair(SComplex* at, __m128d v) { _mm_storeu_pd(reinterpret_cast<double*>(at), v); }
inline __m128d oneAt(const SComplex* at) { return _mm_load_sd(reinterpret_cast<const double*>(at)); }
inline void putOne(SComplex* at, __m128d v) { _mm_store_sd(reinterpret_cast<double*>(at), v); }

struct Eights {
    static void exchange(SComplex* a, SComplex* b) {
        const __m128d va = oneAt(a);
        const __m128d vb = oneAt(b);
        putOne(a, vb);
        putOne(b, va);
    }
    static void copy(const SComplex* from, SComplex* to) { putOne(to, oneAt(from)); }
};

// A block's rows are two neighbouring values each: one 16-byte vector per
// row, and the transposition is one 2x2 transpose of 8-byte values. All
// loads come first (u may equal v). The self-reversed blocks move one value
// at a time.
struct Pairs : bitrev::OneByOne<Eights> {
    static void swapTransposed(bitrev::Rows a, bitrev::Rows b) {
        const __m128d a0 = pairAt(a.lo);
        const __m128d a1 = pairAt(a.hi);
        const __m128d b0 = pairAt(b.lo);
        const __m128d b1 = pairAt(b.hi);
        putPair(a.lo, _mm_unpacklo_pd(b0, b1));
        putPair(a.hi, _mm_unpackhi_pd(b0, b1));
        putPair(b.lo, _mm_unpacklo_pd(a0, a1));
        putPair(b.hi, _mm_unpackhi_pd(a0, a1));
    }
    static void swapTransposedAtOnce(bitrev::Rows a, bitrev::Rows b) { swapTransposed(a, b); }
    static void copyCrossed(bitrev::ConstRows yu, bitrev::ConstRows yv, bitrev::Rows zu, bitrev::Rows zv) {
        const __m128d a0 = pairAt(yu.lo);
        const __m128d a1 = pairAt(yu.hi);
        const __m128d b0 = pairAt(yv.lo);
        const __m128d b1 = pairAt(yv.hi);
        putPair(zv.lo, _mm_unpacklo_pd(a0, a1));
        putPair(zv.hi, _mm_unpackhi_pd(a0, a1));
        putPair(zu.lo, _mm_unpacklo_pd(b0, b1));
        putPair(zu.hi, _mm_unpackhi_pd(b0, b1));
    }
    static void copyCrossedAtOnce(bitrev::ConstRows yu, bitrev::ConstRows yv, bitrev::Rows zu, bitrev::Rows zv) {
        copyCrossed(yu, yv, zu, zv);
    }
};

bool multipleOf8(const void* at) { return (reinterpret_cast<std::uintptr_t>(at) & 7) == 0; }

}  // namespace

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    constexpr int tiledAbove = variant::kBitRevPermuteTiledAbove;
    if (n > tiledAbove || !multipleOf8(data)) return mmx::bitRevPermute(data, n, table);
    bitrev::permute<Pairs, tiledAbove>(data, n, table);
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    constexpr int tiledAbove = variant::kBitRevCopyTiledAbove;
    if (N < 8 || N > tiledAbove || !multipleOf8(src) || !multipleOf8(dst))
        return mmx::bitRevCopyReal(src, dst, N, table);
    bitrev::copyReal<Pairs, tiledAbove>(src, dst, N, table);
}

}  // namespace qel::avx

#endif
