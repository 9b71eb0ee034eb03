// SPDX-License-Identifier: MIT
// The MMX bit-reversal moves: the
// generic set of exchanges and copies, moving 8-byte values through MMX
// registers when the arrays allow, single floats through the x87 stack else
// (the walk over the table is fft/bitrev_walk.h, the x87 moves
// kernels/x87/bitrev_moves.h).
#include "kernels/simd/bitrev_mmx.h"

#include <mmintrin.h>

#include <cstdint>

#include "fft/bitrev_walk.h"
#include "kernels/x87/bitrev_moves.h"
#include "platform/fp_env.h"
#include "variant.h"

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

struct MmxValues {
    using Value = __m64;
    static Value load(const SComplex* at) { return mmxLoad(at); }
    static void store(SComplex* at, Value v) { mmxStore(at, v); }
    static void exchange(SComplex* a, SComplex* b) {
        const __m64 va = mmxLoad(a);
        const __m64 vb = mmxLoad(b);
        mmxStore(a, vb);
        mmxStore(b, va);
    }
    static void copy(const SComplex* from, SComplex* to) { mmxStore(to, mmxLoad(from)); }
};

using Mmx = bitrev::AllLoadsFirst<MmxValues>;

bool multipleOf8(const void* at) { return (reinterpret_cast<std::uintptr_t>(at) & 7) == 0; }

}  // namespace

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    if (multipleOf8(data)) {
        const fp::MmxScope mmx;
        bitrev::permute<Mmx, variant::kBitRevPermuteTiledAbove>(data, n, table);
    } else {
        bitrev::permute<X87, variant::kBitRevPermuteTiledAbove>(data, n, table);
    }
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8) return bitrev::copyFew<X87>(src, dst, N);
    if (multipleOf8(src) && multipleOf8(dst)) {
        const fp::MmxScope mmx;
        bitrev::copyReal<Mmx, variant::kBitRevCopyTiledAbove>(src, dst, N, table);
    } else {
        bitrev::copyReal<X87, variant::kBitRevCopyTiledAbove>(src, dst, N, table);
    }
}

}  // namespace qel::mmx
