// SPDX-License-Identifier: MIT
// The SSE block kernels: the shared body with SSE low-half and
// high-half loads, radix-4 stages up to 1024 points with prefetches of the
// twiddles in the 1024-point stage, and a last pass of 32-bit integer moves.
// No SSE2 instruction.
#include <cstdint>

#include "kernels/simd/dit_block_body.h"

namespace qel::sse {

namespace {

using simd::V4;
typedef std::uint32_t Word __attribute__((may_alias));

struct Policy {
    using Units = simd::Units4<Policy>;
    static constexpr int kBlockLimit = kDitBlockLimit;

    QEL_SIMD_INLINE static V4 load2(const SComplex* lo, const SComplex* hi) {
        return simd::loadLowHigh(lo, hi);
    }

    // In the 1024-point stage, the three lines 32, 64 and 96 bytes past the
    // start of the next twiddle group.
    template <int M>
    QEL_SIMD_INLINE static void afterStep(const float* next) {
        if constexpr (M == 1024) {
            const char* p = reinterpret_cast<const char*>(next);
            _mm_prefetch(p + 32, _MM_HINT_T0);
            _mm_prefetch(p + 64, _MM_HINT_T0);
            _mm_prefetch(p + 96, _MM_HINT_T0);
        }
    }

    // The last stage stores the values interleaved (the last pass below
    // serves only transforms without a stage).
    static constexpr bool kFusedLast = true;

    // One unit (4 values) per step, moved as 32-bit words. In place, a
    // unit's first and last word stay where they are and the other six go
    // round two cycles of three, (1 4 2) and (3 5 6): six loads and six
    // stores, three registers.
    static void lastPass(const float* w, SComplex* data, int n) {
        const Word* src = reinterpret_cast<const Word*>(w);
        Word* dst = reinterpret_cast<Word*>(data);
        Word* const end = dst + 2 * n;
        if (src == dst) {
            for (; dst != end; dst += 8) {
                const std::uint32_t r1 = dst[1], i0 = dst[4], r2 = dst[2];
                dst[1] = i0;
                dst[2] = r1;
                dst[4] = r2;
                const std::uint32_t i1 = dst[5], r3 = dst[3], i2 = dst[6];
                dst[3] = i1;
                dst[5] = i2;
                dst[6] = r3;
            }
            return;
        }
        for (; dst != end; src += 8, dst += 8) {
            dst[0] = src[0];
            dst[1] = src[4];
            dst[2] = src[1];
            dst[3] = src[5];
            dst[4] = src[2];
            dst[5] = src[6];
            dst[6] = src[3];
            dst[7] = src[7];
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

}  // namespace qel::sse
