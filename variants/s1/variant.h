// SPDX-License-Identifier: MIT
// ZentavolS1, a streaming-SIMD build: SSE without SSE2, MMX bit-reversal moves, x87 elsewhere; the
// combining stages prefetch with prefetchnta.
// Shared code reaches its kernels, table layouts and limits through
// qel::variant, and its own report line numbers through qel::line.
#pragma once

#include <cstdint>

#include "fft/tables.h"
#include "kernels/simd/bitrev_mmx.h"
#include "kernels/simd/dit_block.h"
#include "kernels/simd/real_recombine.h"
#include "kernels/simd/tables.h"
#include "kernels/simd/vector_sse.h"
#include "runtime/diagnostics.h"
#include "vector/conj_words.h"

namespace qel::line {
inline constexpr int qelsbSet = 1162;
inline constexpr int qelsbAdd1 = 363;
inline constexpr int qelsbAdd2 = 372;
inline constexpr int qelsbMpy1 = 419;
inline constexpr int qelsbMpy2 = 428;
inline constexpr int qelcbConjExtend1 = 873;
inline constexpr int qelsbFloatToIntElement = 364;  // out-of-range elements
inline constexpr int qelsbSqrt2 = 647;
inline constexpr int qelsbSqrt2Negative = 666;      // "Element of input vector is negative"
inline constexpr int qelsMax = 2700;
inline constexpr int qelsMin = 2725;
}  // namespace qel::line

namespace qel::variant {

// The vector loops of the streaming-SIMD family.
using sse::addConst;
using sse::addVec;
using sse::floatToInt;
using sse::intToFloat;
using sse::maxOf;
using sse::minOf;
using sse::mpyConst;
using sse::mpyVec;
using sse::setBits;
using sse::sqrtLoop;
// The shared integer conjugate extension; on x86-64 with AVX the same moves
// in 256-bit vectors (the same bits), unless the reference switch is on.
inline void conjExtend(SComplex* vec, int n) {
    if constexpr (kWidePaths)
        if (wideBlockKernels()) return avx::conjExtend(vec, n);
    words::conjExtend(vec, n);
}

// FFT limits: one block-kernel call up to 1024 points (also the highest
// order with a DIT table of its own); larger transforms run in superblocks
// of min(n, 16384) points, whose stages read the big table's appended part
// of 4096 values (present from order 15), then the stages across
// superblocks.
inline constexpr int kFftBlockOrder = 10;
static_assert(1 << kFftBlockOrder == sse::kDitBlockLimit);
inline constexpr int kFftSuperblockLength = 16384;
inline constexpr int kFftCombineChunk = 256;
inline constexpr bool kFftCombinePrefetch = true;
// The block kernels work in a scratch area when the data are not 16-byte
// aligned; the entries keep one of this many elements in slot 3.
inline constexpr int kFftScratchLength = 16384;
// No DIF kernel: bit-reversed output is the permuted natural-order result.
inline constexpr bool kFftHasDif = false;

// On x86-64 the magnitudes' blocks may take their powers and roots in one
// pass (sse::wide::magnitudeBlock), the same bits.
inline constexpr bool kFusedMagnitudeBlocks = kWidePaths;

// Tables.
inline constexpr fft::DitLayout kDitLayout = fft::DitLayout::stageVectors;
inline constexpr fft::RealLayout kRealLayout = fft::RealLayout::pairedVectors;
using simd::ditTableBytes;
using simd::fillDitTwiddles;
using simd::fillRealTwiddles;

// The block kernels and the real recombination: on x86-64 with AVX their
// 256-bit forms from 32 points (16 pairs) on, the same bits, unless the
// reference switch is on (qel::wideBlockKernels).
inline void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    if constexpr (kWidePaths)
        if (n >= avx::kDitMinPoints && wideBlockKernels()) return avx::cFftDitBlockFwd(data, n, twd, work);
    sse::cFftDitBlockFwd(data, n, twd, work);
}
inline void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    if constexpr (kWidePaths)
        if (n >= avx::kDitMinPoints && wideBlockKernels()) return avx::cFftDitBlockInv(data, n, twd, work);
    sse::cFftDitBlockInv(data, n, twd, work);
}
inline void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    if constexpr (kWidePaths)
        if (N >= avx::kRecombineMinLength && wideBlockKernels()) return avx::realFftRecombine(z, N, direction, twd);
    sse::realFftRecombine(z, N, direction, twd);
}
// The bit-reversal moves go through MMX registers when aligned to 8 bytes,
// through the x87 stack otherwise (a signalling NaN arrives quiet).
inline constexpr fft::BitRevMoves kBitRevMoves = fft::BitRevMoves::mmxOrX87;
// On x86-64 with AVX, four values at a time through 16-byte vectors (the
// same bits), unless the reference switch is on.
inline void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if constexpr (kWidePaths)
        if (wideBlockKernels()) return avx::bitRevPermute(data, n, table);
    mmx::bitRevPermute(data, n, table);
}
inline void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if constexpr (kWidePaths)
        if (wideBlockKernels()) return avx::bitRevCopyReal(src, dst, N, table);
    mmx::bitRevCopyReal(src, dst, N, table);
}

}  // namespace qel::variant
