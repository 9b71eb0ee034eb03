// SPDX-License-Identifier: MIT
// ZentavolN1, for family-5 processors: x87 arithmetic, neither MMX nor
// conditional moves. The generic FFT with its own block kernels and the x87
// split-radix kernel.
#pragma once

#include "kernels/x87/family.h"
#include "variants/contract.h"

namespace qel::variant {

// A software square root within one unit of the correctly rounded root that
// reports every element with its sign bit set; extremes under the order of
// the bit patterns.
using namespace x87f5::vector_loops;
using namespace x87f5::fft_kernels;
using namespace generic::fft_tables;
// 32-bit words: every value arrives bit for bit.
using generic::bitRevCopyReal;
using generic::bitRevPermute;

}  // namespace qel::variant
