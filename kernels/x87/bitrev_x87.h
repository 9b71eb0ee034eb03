// SPDX-License-Identifier: MIT
// The bit-reversal moves of the x87 build without MMX: the in-place
// permutation of the complex FFT and the bit-reversed copy of the real FFT,
// every float through the x87 stack.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::x87 {

// The exchanges and copies of the generic moves, driven by the compact table
// of order log2(n) (bitRevPermute, n >= 4; n < 4 does nothing) or log2(N)
// (bitRevCopyReal, read for N >= 8), whatever the alignment. Every value
// that moves arrives unchanged, except a signalling NaN, which arrives quiet.
void bitRevPermute(SComplex* data, int n, const std::int32_t* table);
void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table);

}  // namespace qel::x87
