// SPDX-License-Identifier: MIT
// The SSE2 block kernels: the shared body with SSE2 scalar-double loads
// for the 8-byte values of the first pass (the only SSE2 instruction), all
// radix-4 stages up to 16384 points, and a last pass that unpacks two units
// per step.
#include <emmintrin.h>

#include <cstring>

#include "kernels/simd/dit_block_body.h"

namespace qel::sse2 {

namespace {

using simd::V4;

struct Policy {
    using Units = simd::Units4<Policy>;
    static constexpr int kBlockLimit = kDitBlockLimit;

    // The values need only float alignment, so they are not read through a
    // double pointer; the copy compiles to the one 8-byte load.
    QEL_SIMD_INLINE static V4 load2(const SComplex* lo, const SComplex* hi) {
        double a;
        double b;
        std::memcpy(&a, lo, sizeof a);
        std::memcpy(&b, hi, sizeof b);
        return simd::lowHalves(_mm_castpd_ps(_mm_set_sd(a)), _mm_castpd_ps(_mm_set_sd(b)));
    }

    template <int M>
    QEL_SIMD_INLINE static void afterStep(const float*) {}

    // The last stage stores the values interleaved (the last pass below
    // serves only transforms without a stage).
    static constexpr bool kFusedLast = true;

    // Two units (8 values) per step: aligned stores in place, 8-byte stores
    // into an array that is not 16-byte aligned.
    static void lastPass(const float* w, SComplex* data, int n) {
        float* d = reinterpret_cast<float*>(data);
        float* const end = d + 2 * n;
        if (w == d) {
            for (; d != end; d += 16) {
                const V4 r0 = simd::load(d);
                const V4 i0 = simd::load(d + 4);
                const V4 r1 = simd::load(d + 8);
                const V4 i1 = simd::load(d + 12);
                simd::store(d, simd::interleaveLow(r0, i0));
                simd::store(d + 4, simd::interleaveHigh(r0, i0));
                simd::store(d + 8, simd::interleaveLow(r1, i1));
                simd::store(d + 12, simd::interleaveHigh(r1, i1));
            }
            return;
        }
        for (; d != end; d += 16, w += 16) {
            const V4 r0 = simd::load(w);
            const V4 i0 = simd::load(w + 4);
            const V4 r1 = simd::load(w + 8);
            const V4 i1 = simd::load(w + 12);
            const V4 a = simd::interleaveLow(r0, i0);
            const V4 b = simd::interleaveHigh(r0, i0);
            const V4 c = simd::interleaveLow(r1, i1);
            const V4 e = simd::interleaveHigh(r1, i1);
            simd::storeLow(d, a);
            simd::storeHigh(d + 2, a);
            simd::storeLow(d + 4, b);
            simd::storeHigh(d + 6, b);
            simd::storeLow(d + 8, c);
            simd::storeHigh(d + 10, c);
            simd::storeLow(d + 12, e);
            simd::storeHigh(d + 14, e);
        }
    }
};

}  // namespace

void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::DitBlock<Policy, true>::run(data, n, twd, work);
}

void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::DitBlock<Policy, false>::run(data, n, twd, work);
}

}  // namespace qel::sse2
