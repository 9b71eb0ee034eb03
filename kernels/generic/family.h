// SPDX-License-Identifier: MIT
// The generic family's bundles, each brought into a build's qel::variant by
// one using-directive: the vector loops, the FFT block kernels with the
// bit-reversal moves and the real recombination, and the fills of the
// tables in the generic layouts.
#pragma once

#include "kernels/generic/arith.h"
#include "kernels/generic/conj_words.h"
#include "kernels/generic/cvrts.h"
#include "kernels/generic/fft.h"
#include "kernels/generic/vec.h"

namespace qel::generic::vector_loops {
using generic::addConst;
using generic::addVec;
using generic::conjExtend;
using generic::floatToInt;
using generic::intToFloat;
using generic::maxOf;
using generic::minOf;
using generic::mpyConst;
using generic::mpyVec;
using generic::setBits;
using generic::sqrtLoop;
using generic::words::realParts;
}  // namespace qel::generic::vector_loops

namespace qel::generic::fft_kernels {
using generic::bitRevCopyReal;
using generic::bitRevPermute;
using generic::cFftDifBlock;
using generic::cFftDitBlockFwd;
using generic::cFftDitBlockInv;
using generic::realFftRecombine;
}  // namespace qel::generic::fft_kernels

namespace qel::generic::fft_tables {
using generic::ditTableBytes;
using generic::fillDifTwiddles;
using generic::fillDitTwiddles;
using generic::fillRealTwiddles;
}  // namespace qel::generic::fft_tables
