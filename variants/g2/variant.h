// SPDX-License-Identifier: MIT
// ZentavolG2, the fallback of the family-6 classes: the family-6 instruction
// set without MMX, x87 arithmetic. The generic FFT with N2's block kernels,
// the x87 split-radix kernel and x87 bit-reversal moves.
#pragma once

#include "kernels/x87/bitrev_x87.h"
#include "kernels/x87/family.h"
#include "variants/contract.h"

namespace qel::line {
inline constexpr int qelsbSet = 1162;
}  // namespace qel::line

namespace qel::variant {

// The x87 root under 24-bit precision (the generic values); extremes under
// the order of the bit patterns.
using namespace x87f6::vector_loops;
using namespace x87f6::fft_kernels;
using namespace generic::fft_tables;
// Through the x87 stack: a signalling NaN arrives quiet.
using x87::bitRevCopyReal;
using x87::bitRevPermute;

// The split inside each superblock: 512 butterflies of a group in a row
// instead of 128 (the outermost stages keep 256).
inline constexpr int kDifSuperblockChunk = 1024;

}  // namespace qel::variant
