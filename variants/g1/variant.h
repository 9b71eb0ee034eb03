// ZentavolG1, the generic build: x87 arithmetic only, the reference for
// behaviour. Shared code reaches this build's kernels and limits through
// qel::variant.
#pragma once

#include "fft/kernels.h"
#include "vector/arith_loops.h"

namespace qel::variant {

inline constexpr const char* kName = "Zentavolg1";

// Line numbers of the checks whose numbers differ between builds.
namespace line {
inline constexpr int qelsbSet = 232;
inline constexpr int qelsbAdd1 = 363;
inline constexpr int qelsbAdd2 = 372;
inline constexpr int qelsbMpy1 = 419;
inline constexpr int qelsbMpy2 = 428;
}  // namespace line

using g1::addConst;
using g1::addVec;
using g1::mpyConst;
using g1::mpyVec;
using g1::setBits;

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
