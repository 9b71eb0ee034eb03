// ZentavolG1, the generic build: x87 arithmetic only, the reference for
// behaviour. Shared code reaches this build's kernels and limits through
// qel::variant.
#pragma once

#include "fft/kernels.h"
#include "vector/arith_loops.h"
#include "vector/cvrts_loops.h"
#include "vector/vec_loops.h"

namespace qel::variant {

inline constexpr const char* kName = "Zentavolg1";

// Line numbers of the checks whose numbers differ between builds.
namespace line {
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
}  // namespace line

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
// superblocks of kFftSuperblockLength points, whose stages read the big
// table's appended part of kFftSuperblockLength/4 values.
inline constexpr int kFftBlockOrder = 10;
inline constexpr int kFftSuperblockLength = 16384;
// Chunk argument of the DIF split that runs inside each superblock.
inline constexpr int kDifSuperblockChunk = 256;

using generic::bitRevCopyReal;
using generic::bitRevPermute;
using generic::cFftDifBlock;
using generic::cFftDitBlockFwd;
using generic::cFftDitBlockInv;
using generic::realFftRecombine;

}  // namespace qel::variant
