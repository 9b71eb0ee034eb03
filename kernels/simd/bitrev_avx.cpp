// SPDX-License-Identifier: MIT
// The bit-reversal moves of the streaming builds on x86-64 with AVX: the
// walk of the MMX moves, with each group of four values that trade places
// moved as two 16-byte vectors and regrouped by one 2x2 transpose of 8-byte
// values (vunpcklpd/vunpckhpd), where the MMX moves take eight loads and
// eight stores. Only moves and shuffles: every bit arrives as it is, as
// through MMX. Arrays the MMX moves would send through the x87 stack (not
// 8-byte aligned) still go there, through them; so do the arrays the walk
// takes by tiles (beyond 32 KB), where the vectors measured 10 to 20% slower
// than the MMX moves here, against 30% faster in table order.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstdint>

#include "kernels/simd/bitrev_mmx.h"
#include "kernels/x87/bitrev_walk.h"

namespace qel::avx {

namespace {

inline __m128d pairAt(const SComplex* at) { return _mm_loadu_pd(reinterpret_cast<const double*>(at)); }
inline void putPair(SComplex* at, __m128d v) { _mm_storeu_pd(reinterpret_cast<double*>(at), v); }
inline __m128d oneAt(const SComplex* at) { return _mm_load_sd(reinterpret_cast<const double*>(at)); }
inline void putOne(SComplex* at, __m128d v) { _mm_store_sd(reinterpret_cast<double*>(at), v); }

struct Pairs {
    static void exchange(SComplex* a, SComplex* b) {
        const __m128d va = oneAt(a);
        const __m128d vb = oneAt(b);
        putOne(a, vb);
        putOne(b, va);
    }
    // u, u+1, half+u, half+u+1 trade places with v, half+v, v+1, half+v+1:
    // the pair at u and the one at half+u, transposed, are the new pairs at
    // v and half+v, and the other way round. All loads come first (u may
    // equal v).
    static void exchangeFour(SComplex* x, int half, int u, int v) {
        const __m128d a = pairAt(x + u);
        const __m128d b = pairAt(x + half + u);
        const __m128d c = pairAt(x + v);
        const __m128d d = pairAt(x + half + v);
        putPair(x + u, _mm_unpacklo_pd(c, d));
        putPair(x + half + u, _mm_unpackhi_pd(c, d));
        putPair(x + v, _mm_unpacklo_pd(a, b));
        putPair(x + half + v, _mm_unpackhi_pd(a, b));
    }
    static void exchangeFourAtOnce(SComplex* x, int half, int u, int v) { exchangeFour(x, half, u, v); }
    static void copy(const SComplex* from, SComplex* to) { putOne(to, oneAt(from)); }
    static void copyEight(const SComplex* y, SComplex* z, int half, int u, int v) {
        const __m128d a = pairAt(y + u);
        const __m128d b = pairAt(y + half + u);
        const __m128d c = pairAt(y + v);
        const __m128d d = pairAt(y + half + v);
        putPair(z + v, _mm_unpacklo_pd(a, b));
        putPair(z + half + v, _mm_unpackhi_pd(a, b));
        putPair(z + u, _mm_unpacklo_pd(c, d));
        putPair(z + half + u, _mm_unpackhi_pd(c, d));
    }
    static void copyEightAtOnce(const SComplex* y, SComplex* z, int half, int u, int v) { copyEight(y, z, half, u, v); }
};

// The walk's limit of table order (the permutation's n; the copy's N is
// half of it).
constexpr int kTableOrderLimit = 4096;

bool multipleOf8(const void* at) { return (reinterpret_cast<std::uintptr_t>(at) & 7) == 0; }

}  // namespace

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    if (n > kTableOrderLimit || !multipleOf8(data)) return mmx::bitRevPermute(data, n, table);
    bitrev::permute<Pairs>(data, n, table);
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8 || N > kTableOrderLimit / 2 || !multipleOf8(src) || !multipleOf8(dst))
        return mmx::bitRevCopyReal(src, dst, N, table);
    bitrev::copyReal<Pairs>(src, dst, N, table);
}

}  // namespace qel::avx

#endif
