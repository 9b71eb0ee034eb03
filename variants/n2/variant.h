// SPDX-License-Identifier: MIT
// ZentavolN2, for family-6 processors with MMX: x87 arithmetic, MMX only in
// the bit-reversal moves. The generic FFT with G2's block kernels and the
// x87 split-radix kernel.
#pragma once

#include "kernels/simd/bitrev_mmx.h"
#include "kernels/x87/family.h"
#include "variants/contract.h"

namespace qel::variant {

// The x87 root under 24-bit precision (the generic values); extremes under
// the order of the bit patterns.
using namespace x87f6::vector_loops;
using namespace x87f6::fft_kernels;
using namespace generic::fft_tables;
// Through MMX registers when aligned to 8 bytes, through the x87 stack
// otherwise (a signalling NaN arrives quiet).
using mmx::bitRevCopyReal;
using mmx::bitRevPermute;

// The split inside each superblock: 512 butterflies of a group in a row
// instead of 128 (the outermost stages keep 256).
inline constexpr int kDifSuperblockChunk = 1024;

}  // namespace qel::variant
