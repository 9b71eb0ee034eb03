// SPDX-License-Identifier: MIT
// ZentavolS2, a streaming-SIMD build: SSE and SSE2 (the SSE2 8-byte loads
// of the block kernels and the real recombination only), MMX bit-reversal
// moves, x87 elsewhere.
#pragma once

#include "kernels/simd/family.h"
#include "variants/contract.h"

namespace qel::line {
inline constexpr int qelsbSet = 1162;
}  // namespace qel::line

namespace qel::variant {

using namespace sse::vector_loops;
using namespace sse2::fft_kernels;
using namespace simd::fft_tables;

// One block-kernel call up to 16384 points; superblocks of 32768 points (n
// is at least that there), whose stages read the big table's appended part
// of 8192 values (present from order 16).
inline constexpr int kFftBlockOrder = 14;
static_assert(1 << kFftBlockOrder == sse2::kDitBlockLimit);
inline constexpr int kFftSuperblockLength = 32768;
// The block kernels work in a scratch area when the data are not 16-byte
// aligned.
inline constexpr int kFftScratchLength = 16384;
// No DIF kernel: bit-reversed output is the permuted natural-order result.
inline constexpr bool kFftHasDif = false;
// On x86-64 the magnitudes' blocks may take their powers and roots in one
// pass (sse::wide::magnitudeBlock), the same bits.
inline constexpr bool kFusedMagnitudeBlocks = kWidePaths;

}  // namespace qel::variant
