// SPDX-License-Identifier: MIT
// The bit-reversal moves of ZentavolS2, ZentavolS1 and ZentavolN2: the
// generic set of exchanges and copies, moving 8-byte values through MMX
// registers when the arrays allow, single floats through the x87 stack else
// (the walk over the table and the x87 moves are kernels/x87/bitrev_walk.h).
#include "kernels/simd/bitrev_mmx.h"

#include <mmintrin.h>

#include <cstdint>

#include "kernels/x87/bitrev_walk.h"
#include "runtime/fp_env.h"

namespace qel::mmx {

namespace {

using bitrev::X87;

// The moves are written out: a compiler copies an __m64 through general or
// SSE registers as it likes.
inline __m64 mmxLoad(const SComplex* at) {
    __m64 v;
    asm("movq %1, %0" : "=y"(v) : "m"(*at));
    return v;
}

inline void mmxStore(SComplex* at, __m64 v) { asm("movq %1, %0" : "=m"(*at) : "y"(v)); }

struct Mmx {
    static void exchange(SComplex* a, SComplex* b) {
        const __m64 va = mmxLoad(a);
        const __m64 vb = mmxLoad(b);
        mmxStore(a, vb);
        mmxStore(b, va);
    }
    // One exchange after the other: fastest while the data stay in the
    // first level cache.
    static void exchangeFour(SComplex* x, int half, int u, int v) {
        exchange(x + u, x + v);
        exchange(x + u + 1, x + half + v);
        exchange(x + half + u, x + v + 1);
        exchange(x + half + u + 1, x + half + v + 1);
    }
    // All eight loads before the first store: the misses on the lines a
    // pair touches overlap.
    static void exchangeFourAtOnce(SComplex* x, int half, int u, int v) {
        const __m64 a0 = mmxLoad(x + u), a1 = mmxLoad(x + u + 1);
        const __m64 a2 = mmxLoad(x + half + u), a3 = mmxLoad(x + half + u + 1);
        const __m64 b0 = mmxLoad(x + v), b1 = mmxLoad(x + half + v);
        const __m64 b2 = mmxLoad(x + v + 1), b3 = mmxLoad(x + half + v + 1);
        mmxStore(x + u, b0);
        mmxStore(x + u + 1, b1);
        mmxStore(x + half + u, b2);
        mmxStore(x + half + u + 1, b3);
        mmxStore(x + v, a0);
        mmxStore(x + half + v, a1);
        mmxStore(x + v + 1, a2);
        mmxStore(x + half + v + 1, a3);
    }
    static void copy(const SComplex* from, SComplex* to) { mmxStore(to, mmxLoad(from)); }
    static void copyEight(const SComplex* y, SComplex* z, int half, int u, int v) {
        copy(y + u, z + v);
        copy(y + half + u, z + v + 1);
        copy(y + v, z + u);
        copy(y + half + v, z + u + 1);
        copy(y + u + 1, z + half + v);
        copy(y + half + u + 1, z + half + v + 1);
        copy(y + v + 1, z + half + u);
        copy(y + half + v + 1, z + half + u + 1);
    }
    static void copyEightAtOnce(const SComplex* y, SComplex* z, int half, int u, int v) {
        const __m64 a0 = mmxLoad(y + u), a1 = mmxLoad(y + half + u);
        const __m64 a2 = mmxLoad(y + u + 1), a3 = mmxLoad(y + half + u + 1);
        const __m64 b0 = mmxLoad(y + v), b1 = mmxLoad(y + half + v);
        const __m64 b2 = mmxLoad(y + v + 1), b3 = mmxLoad(y + half + v + 1);
        mmxStore(z + v, a0);
        mmxStore(z + v + 1, a1);
        mmxStore(z + half + v, a2);
        mmxStore(z + half + v + 1, a3);
        mmxStore(z + u, b0);
        mmxStore(z + u + 1, b1);
        mmxStore(z + half + u, b2);
        mmxStore(z + half + u + 1, b3);
    }
};

bool multipleOf8(const void* at) { return (reinterpret_cast<std::uintptr_t>(at) & 7) == 0; }

}  // namespace

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    if (multipleOf8(data)) {
        const fp::MmxScope mmx;
        bitrev::permute<Mmx>(data, n, table);
    } else {
        bitrev::permute<X87>(data, n, table);
    }
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8) return bitrev::copyFew<X87>(src, dst, N);
    if (multipleOf8(src) && multipleOf8(dst)) {
        const fp::MmxScope mmx;
        bitrev::copyReal<Mmx>(src, dst, N, table);
    } else {
        bitrev::copyReal<X87>(src, dst, N, table);
    }
}

}  // namespace qel::mmx
