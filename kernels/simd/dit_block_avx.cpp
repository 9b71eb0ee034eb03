// SPDX-License-Identifier: MIT
// The 256-bit block kernels of the streaming builds on x86-64: the shared
// body with two units per vector, lane for lane the four-wide kernels'
// operations. Compiled with AVX (and nothing beyond it) into ZentavolS2 and
// ZentavolS1, called only where the processor has AVX; every type here has
// internal linkage, so no code of this file stands in for another's.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include "kernels/simd/dit_block_body.h"
#include "kernels/simd/simd8.h"

namespace qel::avx {

namespace {

using simd::Split8;
using simd::V8;

// Two units per vector; 8-byte alignment is all any array here needs.
struct Units8 {
    using V = V8;
    using Split = Split8;
    static constexpr int kUnits = 2;

    // x0, x2 and x1, x3 of the runs at y and y + apart: one 32-byte load
    // per run, the runs' pairs of values brought together, then split as
    // the four-wide loads split them.
    QEL_SIMD_INLINE static void inputs(const SComplex* y, int apart, V8& v02, V8& v13) {
        const V8 x = simd::loadu(&y->re);
        const V8 z = simd::loadu(&y[apart].re);
        const V8 a = simd::joinLow(x, z);  // x0 x1 | z0 z1
        const V8 b = simd::joinHigh(x, z);  // x2 x3 | z2 z3
        v02 = simd::shuffle<0, 1, 0, 1>(a, b);
        v13 = simd::shuffle<2, 3, 2, 3>(a, b);
    }
    QEL_SIMD_INLINE static V8 at(const float* p, std::ptrdiff_t apart) { return simd::loadTwo(p, apart); }
    QEL_SIMD_INLINE static V8 both(const float* p) { return simd::loadBoth(p); }
    QEL_SIMD_INLINE static V8 both(const simd::Const4& c) { return simd::loadBoth(c); }
    // A unit is four real parts, then four imaginary parts.
    QEL_SIMD_INLINE static Split8 getUnit(const float* u, std::ptrdiff_t apart) {
        const V8 x = simd::loadu(u);
        const V8 z = simd::loadu(u + apart);
        return {simd::joinLow(x, z), simd::joinHigh(x, z)};
    }
    QEL_SIMD_INLINE static void putUnit(float* u, std::ptrdiff_t apart, Split8 v) {
        simd::storeu(u, simd::joinLow(v.re, v.im));
        simd::storeu(u + apart, simd::joinHigh(v.re, v.im));
    }
    // Unaligned 32-byte stores serve every alignment.
    QEL_SIMD_INLINE static void putInterleaved(float* d, std::ptrdiff_t apart, Split8 v, bool) {
        const V8 a = simd::interleaveLow(v.re, v.im);
        const V8 b = simd::interleaveHigh(v.re, v.im);
        simd::storeu(d, simd::joinLow(a, b));
        simd::storeu(d + apart, simd::joinHigh(a, b));
    }
};

struct Policy {
    using Units = Units8;
    static constexpr int kBlockLimit = sse2::kDitBlockLimit;
    static constexpr bool kFusedLast = true;

    template <int M>
    QEL_SIMD_INLINE static void afterStep(const float*) {}
};

}  // namespace

void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::DitBlock<Policy, true>::run(data, n, twd, work);
}

void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::DitBlock<Policy, false>::run(data, n, twd, work);
}

}  // namespace qel::avx

#endif
