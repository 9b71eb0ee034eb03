// SPDX-License-Identifier: MIT
// ZentavolG1, the generic build: x87 arithmetic only, the reference for
// behaviour. Shared code reaches this build's kernels, table layouts and
// limits through qel::variant, and its own report line numbers through
// qel::line.
#pragma once

#include <cstdint>

#include "fft/generic.h"
#include "fft/tables.h"
#include "vector/arith_g1.h"
#include "vector/cvrts_g1.h"
#include "vector/vec_g1.h"

namespace qel::line {
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
}  // namespace qel::line

namespace qel::variant {

using g1::addConst;
using g1::addVec;
using g1::conjExtend;
using g1::floatToInt;
using g1::intToFloat;
using g1::maxOf;
using g1::minOf;
using g1::mpyConst;
using g1::mpyVec;
using g1::setBits;
using g1::sqrtLoop;

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
// the chunk of the split that runs inside each superblock.
inline constexpr bool kFftHasDif = true;
inline constexpr int kDifBlockOrder = 10;
inline constexpr int kDifSuperblockChunk = 256;

// The magnitudes' blocks go through the power spectrum and the square root.
inline constexpr bool kFusedMagnitudeBlocks = false;

// Tables.
inline constexpr fft::DitLayout kDitLayout = fft::DitLayout::entries;
inline constexpr fft::RealLayout kRealLayout = fft::RealLayout::pairs;
using generic::ditTableBytes;
using generic::fillDifTwiddles;
using generic::fillDitTwiddles;
using generic::fillRealTwiddles;

// The bit-reversal moves carry 32-bit words: every value arrives bit for bit.
inline constexpr fft::BitRevMoves kBitRevMoves = fft::BitRevMoves::words;
using generic::bitRevCopyReal;
using generic::bitRevPermute;
using generic::cFftDifBlock;
using generic::cFftDitBlockFwd;
using generic::cFftDitBlockInv;
using generic::realFftRecombine;

}  // namespace qel::variant
