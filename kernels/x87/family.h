// SPDX-License-Identifier: MIT
// The x87 family's bundles, each brought into a build's qel::variant by one
// using-directive: the vector loops scheduled for family 6 (x87f6) or
// family 5 (x87f5), with the family's conversions and extremes and the
// integer conjugate extension; the block kernels of either schedule with
// the x87 split-radix kernel and the generic real recombination. The
// builds take the generic tables and name their bit-reversal moves.
#pragma once

#include "kernels/generic/family.h"
#include "kernels/x87/cvrts_x87.h"
#include "kernels/x87/dif_block.h"
#include "kernels/x87/dit_block.h"
#include "kernels/x87/vector_x87.h"

// What both schedules share.
namespace qel::x87::vector_loops {
using generic::words::conjExtend;
using generic::words::realParts;
using x87::floatToInt;
using x87::intToFloat;
using x87::maxOf;
using x87::minOf;
}  // namespace qel::x87::vector_loops
namespace qel::x87::fft_kernels {
using generic::realFftRecombine;
using x87::cFftDifBlock;
}  // namespace qel::x87::fft_kernels

namespace qel::x87f6::vector_loops {
using namespace x87::vector_loops;
using x87f6::addConst;
using x87f6::addVec;
using x87f6::mpyConst;
using x87f6::mpyVec;
using x87f6::setBits;
using x87f6::sqrtLoop;
}  // namespace qel::x87f6::vector_loops
namespace qel::x87f6::fft_kernels {
using namespace x87::fft_kernels;
using x87f6::cFftDitBlockFwd;
using x87f6::cFftDitBlockInv;
}  // namespace qel::x87f6::fft_kernels

namespace qel::x87f5::vector_loops {
using namespace x87::vector_loops;
using x87f5::addConst;
using x87f5::addVec;
using x87f5::mpyConst;
using x87f5::mpyVec;
using x87f5::setBits;
using x87f5::sqrtLoop;
}  // namespace qel::x87f5::vector_loops
namespace qel::x87f5::fft_kernels {
using namespace x87::fft_kernels;
using x87f5::cFftDitBlockFwd;
using x87f5::cFftDitBlockInv;
}  // namespace qel::x87f5::fft_kernels
