// SPDX-License-Identifier: MIT
// ZentavolG2, the fallback of the family-6 classes: the family-6 instruction
// set without MMX, x87 arithmetic. The generic FFT with N2's block kernels,
// the x87 split-radix kernel and x87 bit-reversal moves.
// Shared code reaches its kernels, table layouts and limits through
// qel::variant, and its own report line numbers through qel::line.
#pragma once

#include <cstdint>

#include "fft/generic.h"
#include "fft/tables.h"
#include "kernels/x87/bitrev_x87.h"
#include "kernels/x87/cvrts_x87.h"
#include "kernels/x87/dif_block.h"
#include "kernels/x87/dit_block.h"
#include "kernels/x87/vector_x87.h"
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

// The vector loops of the x87 builds: set, add and multiply scheduled for
// N2 and G2; the x87 root under 24-bit precision (the generic values);
// extremes under the order of the bit patterns; the integer conjugate
// extension; the x87 family's conversions.
using x87f6::addConst;
using x87f6::addVec;
using words::conjExtend;
using x87::floatToInt;
using x87::intToFloat;
using x87::maxOf;
using x87::minOf;
using x87f6::mpyConst;
using x87f6::mpyVec;
using x87f6::setBits;
using x87f6::sqrtLoop;

// FFT limits: one block-kernel call up to 2^kFftBlockOrder points (also the
// highest order with a DIT table of its own); larger transforms run in
// superblocks of min(n, kFftSuperblockLength) points, whose stages read the
// big table's appended part of kFftSuperblockLength/4 values (present above
// the superblock's order).
inline constexpr int kFftBlockOrder = 10;
inline constexpr int kFftSuperblockLength = 16384;
// Chunk argument of the radix-2 stages; prefetch in the DIT ones.
inline constexpr int kFftCombineChunk = 256;
inline constexpr bool kFftCombinePrefetch = false;
// The block kernels need no scratch area: the entries keep none.
inline constexpr int kFftScratchLength = 0;

// Decimation in frequency: split-radix blocks up to 2^kDifBlockOrder points;
// the chunk of the split that runs inside each superblock: 512 butterflies of
// a group in a row instead of 128 (the outermost stages keep 256).
inline constexpr bool kFftHasDif = true;
inline constexpr int kDifBlockOrder = 10;
inline constexpr int kDifSuperblockChunk = 1024;

// The magnitudes' blocks go through the power spectrum and the square root.
inline constexpr bool kFusedMagnitudeBlocks = false;

// Tables.
inline constexpr fft::DitLayout kDitLayout = fft::DitLayout::entries;
inline constexpr fft::RealLayout kRealLayout = fft::RealLayout::pairs;
using generic::ditTableBytes;
using generic::fillDifTwiddles;
using generic::fillDitTwiddles;
using generic::fillRealTwiddles;

// The bit-reversal moves load and store every float through the x87 stack
// (a signalling NaN arrives quiet).
inline constexpr fft::BitRevMoves kBitRevMoves = fft::BitRevMoves::x87;
using x87::bitRevCopyReal;
using x87::bitRevPermute;
using x87::cFftDifBlock;
using x87f6::cFftDitBlockFwd;
using x87f6::cFftDitBlockInv;
using generic::realFftRecombine;

}  // namespace qel::variant
