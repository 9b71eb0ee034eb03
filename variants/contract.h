// SPDX-License-Identifier: MIT
// What a build provides: each variants/<code>/variant.h includes this header
// first, fills namespace qel::variant with its kernels (whole families by
// one using-directive of a bundle, see kernels/*/family.h), and states its
// limits, tuning and report line numbers only where they differ from the
// defaults below. Qualified lookup (qel::variant::kFftBlockOrder) finds a
// build's own declaration first and a default only when there is none.
// variants/contract.cpp checks every build against the full list.
//
// Kernels in qel::variant, with the signatures contract.cpp holds them to:
//   vector loops   setBits addConst mpyConst addVec mpyVec conjExtend realParts
//                  floatToInt intToFloat (templates) maxOf minOf sqrtLoop
//   FFT blocks     cFftDitBlockFwd cFftDitBlockInv (with a work area when
//                  kFftScratchLength > 0), cFftDifBlock (when kFftHasDif),
//                  realFftRecombine, bitRevPermute, bitRevCopyReal
//   FFT tables     ditTableBytes fillDitTwiddles fillRealTwiddles, and
//                  fillDifTwiddles when kFftHasDif
#pragma once

namespace qel::variant_defaults {

// FFT limits: one block-kernel call up to 2^kFftBlockOrder points (also the
// highest order with a DIT table of its own); larger transforms run in
// superblocks of min(n, kFftSuperblockLength) points, whose stages read the
// big table's appended part of kFftSuperblockLength/4 values (present above
// the superblock's order), then the stages across superblocks.
inline constexpr int kFftBlockOrder = 10;
inline constexpr int kFftSuperblockLength = 16384;
// Chunk argument of the radix-2 stages; prefetch in the DIT ones.
inline constexpr int kFftCombineChunk = 256;
inline constexpr bool kFftCombinePrefetch = false;
// Elements of the scratch area the entries keep in slot 3 for the block
// kernels; 0: the kernels take none.
inline constexpr int kFftScratchLength = 0;

// Decimation in frequency: a build without a DIF kernel says so; the others
// run split-radix blocks up to 2^kDifBlockOrder points, and the split inside
// each superblock in chunks of kDifSuperblockChunk.
inline constexpr bool kFftHasDif = true;
inline constexpr int kDifBlockOrder = 10;
inline constexpr int kDifSuperblockChunk = 256;

// The bit-reversal moves visit their pairs in table order up to these sizes
// and by tiles above (fft/bitrev_walk.h): 32 KB of data, the permutation's
// n elements in place, the real copy's N pairs from source to destination.
inline constexpr int kBitRevPermuteTiledAbove = 4096;
inline constexpr int kBitRevCopyTiledAbove = 2048;

// Tuning of the vector loops (no effect on any value): the x87 family-6
// fill is one string store from kStringFill elements on; the SSE fill
// stores non-temporally above kStreamingFill elements left, and the SSE
// vector forms keep aligned stores only below kCachedVecBlocks elements.
inline constexpr int kStringFill = 208;
inline constexpr int kStreamingFill = 4096;
inline constexpr int kCachedVecBlocks = 1032;

// The magnitudes' blocks go through the power spectrum and the square root
// as two passes; a build whose family has a one-pass block with the same
// bits says so.
inline constexpr bool kFusedMagnitudeBlocks = false;

}  // namespace qel::variant_defaults

namespace qel::variant {
using namespace variant_defaults;
}  // namespace qel::variant

// The report line numbers of the check sites whose numbers differ between
// builds (those every build shares are in runtime/report_lines.h).
namespace qel::line_defaults {
inline constexpr int qelsbSet = 232;
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
}  // namespace qel::line_defaults

namespace qel::line {
using namespace line_defaults;
}  // namespace qel::line
