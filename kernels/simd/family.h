// SPDX-License-Identifier: MIT
// The streaming-SIMD family's bundles, each brought into a build's
// qel::variant by one using-directive: the SSE vector loops with the integer
// conjugate extension and real parts, the block kernels and real
// recombination in SSE (sse) or with SSE2's 8-byte loads (sse2) together
// with the MMX bit-reversal moves, and the fills of the vector table layouts.
//
// On x86-64 with AVX the block kernels and the real recombination take their
// 256-bit forms from 32 points (16 pairs) on, and the bit-reversal moves go
// four values at a time through 16-byte vectors: the same bits, unless the
// reference switch is on (qel::wideBlockKernels).
#pragma once

#include <cstdint>

#include "kernels/generic/conj_words.h"
#include "kernels/simd/bitrev_mmx.h"
#include "kernels/simd/dit_block.h"
#include "kernels/simd/real_recombine.h"
#include "kernels/simd/tables.h"
#include "kernels/simd/vector_sse.h"
#include "runtime/diagnostics.h"

namespace qel::sse::vector_loops {
// The shared integer conjugate extension; on x86-64 with AVX the same moves
// in 256-bit vectors (the same bits), unless the reference switch is on.
inline void conjExtend(SComplex* vec, int n) {
    if constexpr (kWidePaths)
        if (wideBlockKernels()) return avx::conjExtend(vec, n);
    generic::words::conjExtend(vec, n);
}
// The shared integer copy of the real parts, the same way in 256-bit vectors.
inline void realParts(const SComplex* src, float* dst, int n) {
    if constexpr (kWidePaths)
        if (wideBlockKernels()) return avx::realParts(src, dst, n);
    generic::words::realParts(src, dst, n);
}
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
}  // namespace qel::sse::vector_loops

namespace qel::simd {

// The dispatch of both block-kernel sets; the set of the other build is
// named only in a discarded branch, so neither build needs the other's.
template <bool sse2Loads>
void ditBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    if constexpr (kWidePaths)
        if (n >= avx::kDitMinPoints && wideBlockKernels()) return avx::cFftDitBlockFwd(data, n, twd, work);
    if constexpr (sse2Loads)
        sse2::cFftDitBlockFwd(data, n, twd, work);
    else
        sse::cFftDitBlockFwd(data, n, twd, work);
}
template <bool sse2Loads>
void ditBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    if constexpr (kWidePaths)
        if (n >= avx::kDitMinPoints && wideBlockKernels()) return avx::cFftDitBlockInv(data, n, twd, work);
    if constexpr (sse2Loads)
        sse2::cFftDitBlockInv(data, n, twd, work);
    else
        sse::cFftDitBlockInv(data, n, twd, work);
}
template <bool sse2Loads>
void recombine(SComplex* z, int N, int direction, const SComplex* twd) {
    if constexpr (kWidePaths)
        if (N >= avx::kRecombineMinLength && wideBlockKernels()) return avx::realFftRecombine(z, N, direction, twd);
    if constexpr (sse2Loads)
        sse2::realFftRecombine(z, N, direction, twd);
    else
        sse::realFftRecombine(z, N, direction, twd);
}

namespace bitrev_moves {
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
}  // namespace bitrev_moves

namespace fft_tables {
using simd::ditTableBytes;
using simd::fillDitTwiddles;
using simd::fillRealTwiddles;
}  // namespace fft_tables

}  // namespace qel::simd

namespace qel::sse::fft_kernels {
using namespace simd::bitrev_moves;
inline void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::ditBlockFwd<false>(data, n, twd, work);
}
inline void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::ditBlockInv<false>(data, n, twd, work);
}
inline void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    simd::recombine<false>(z, N, direction, twd);
}
}  // namespace qel::sse::fft_kernels

namespace qel::sse2::fft_kernels {
using namespace simd::bitrev_moves;
inline void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::ditBlockFwd<true>(data, n, twd, work);
}
inline void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work) {
    simd::ditBlockInv<true>(data, n, twd, work);
}
inline void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd) {
    simd::recombine<true>(z, N, direction, twd);
}
}  // namespace qel::sse2::fft_kernels
