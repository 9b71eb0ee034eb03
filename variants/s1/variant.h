// SPDX-License-Identifier: MIT
// ZentavolS1, a streaming-SIMD build: SSE without SSE2, MMX bit-reversal
// moves, x87 elsewhere; the combining stages prefetch with prefetchnta.
#pragma once

#include "kernels/simd/family.h"
#include "variants/contract.h"

namespace qel::line {
inline constexpr int qelsbSet = 1162;
}  // namespace qel::line

namespace qel::variant {

using namespace sse::vector_loops;
using namespace sse::fft_kernels;
using namespace simd::fft_tables;

static_assert(1 << kFftBlockOrder == sse::kDitBlockLimit);
inline constexpr bool kFftCombinePrefetch = true;
// The block kernels work in a scratch area when the data are not 16-byte
// aligned.
inline constexpr int kFftScratchLength = 16384;
// No DIF kernel: bit-reversed output is the permuted natural-order result.
inline constexpr bool kFftHasDif = false;
// On x86-64 the magnitudes' blocks may take their powers and roots in one
// pass (sse::wide::magnitudeBlock), the same bits.
inline constexpr bool kFusedMagnitudeBlocks = kWidePaths;

}  // namespace qel::variant
