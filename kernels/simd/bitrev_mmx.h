// SPDX-License-Identifier: MIT
// The bit-reversal moves of the builds with MMX: the in-place permutation of
// the complex FFT and the bit-reversed copy of the real FFT, 8-byte values
// through MMX registers. Linked by ZentavolS2, ZentavolS1 and ZentavolN2.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::mmx {

// The exchanges and copies of the generic moves, driven by the compact table
// of order log2(n) (bitRevPermute, n >= 4; n < 4 does nothing) or log2(N)
// (bitRevCopyReal, read for N >= 8). Arrays at multiples of 8 bytes (for the
// copy: both) move whole 8-byte values through MMX registers, bit for bit,
// and leave the MMX state clear; otherwise every float goes through the x87
// stack and arrives unchanged, except a signalling NaN, which arrives quiet.
void bitRevPermute(SComplex* data, int n, const std::int32_t* table);
void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table);

}  // namespace qel::mmx

// x86-64 with AVX only: the same moves, four values at a time through
// 16-byte vectors where the MMX moves would take the arrays, the same bits.
namespace qel::avx {
void bitRevPermute(SComplex* data, int n, const std::int32_t* table);
void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table);
}  // namespace qel::avx
