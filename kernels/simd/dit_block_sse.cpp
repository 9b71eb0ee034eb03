// ZentavolS1's block kernels: the shared body with SSE low-half and
// high-half loads, radix-4 stages up to 1024 points with prefetches of the
// twiddles in the 1024-point stage, and a last pass of 32-bit integer moves.
// No SSE2 instruction. Linked by ZentavolS1.
#include <cstdint>

#include "kernels/simd/dit_block_body.h"

namespace qel::sse {

namespace {

using simd::V4;
typedef std::uint32_t Word __attribute__((may_alias));

struct Policy {
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

    // One unit (4 values) per step, moved as 32-bit words, in place or into
    // data; a unit is read whole before it is written.
    static void lastPass(const float* w, SComplex* data, int n) {
        const Word* src = reinterpret_cast<const Word*>(w);
        Word* dst = reinterpret_cast<Word*>(data);
        for (Word* const end = dst + 2 * n; dst != end; src += 8, dst += 8) {
            const std::uint32_t r0 = src[0], r1 = src[1], r2 = src[2], r3 = src[3];
            const std::uint32_t i0 = src[4], i1 = src[5], i2 = src[6], i3 = src[7];
            dst[0] = r0;
            dst[1] = i0;
            dst[2] = r1;
            dst[3] = i1;
            dst[4] = r2;
            dst[5] = i2;
            dst[6] = r3;
            dst[7] = i3;
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
