// SPDX-License-Identifier: MIT
// The x87 builds' vector loops under the generic family's names
// (kernels/generic/), bundled in kernels/x87/family.h: x87f6 for family 6,
// x87f5 for family 5, x87 for both. The values
// written are the generic build's, except the extremes' order of NaNs and
// zeros and x87f5's square root.
#pragma once

#include <cstdint>

namespace qel::x87f6 {
// dst[i] = bits, first element first: below 208 elements 16 stores per
// step, then pairs and the odd one; from 208 on one store up to an 8-byte
// boundary, then the string store. Integer instructions only.
void setBits(std::uint32_t bits, float* dst, int n);
// x87 in blocks of 8 from the end of the vector, the n mod 8 leading
// elements after them from the last to the first; dst is the left operand.
void addConst(float value, float* dst, int n);
void mpyConst(float value, float* dst, int n);
void addVec(const float* src, float* dst, int n);
void mpyVec(const float* src, float* dst, int n);
// dst[i] = sqrt(src[i]) unless 0 > src[i], correctly rounded: the x87
// root under 24-bit precision, the caller's control word restored. Returns
// whether a negative element was met (left unwritten). n >= 1.
bool sqrtLoop(const float* src, float* dst, int n);
}  // namespace qel::x87f6

namespace qel::x87f5 {
// dst[i] = bits, first element first: 16 stores per step, pairs, the odd
// one. Integer instructions only.
void setBits(std::uint32_t bits, float* dst, int n);
// As x87f6's, scheduled for a dual-pipe in-order processor; same values.
void addConst(float value, float* dst, int n);
void mpyConst(float value, float* dst, int n);
void addVec(const float* src, float* dst, int n);
void mpyVec(const float* src, float* dst, int n);
// Software square root, three elements per step, within one unit in the
// last place of the correctly rounded root (in practice that root). Every
// element with its sign bit set (-0.0 and NaNs with the sign set included)
// is left unwritten and makes the result true. n >= 1.
bool sqrtLoop(const float* src, float* dst, int n);
}  // namespace qel::x87f5

namespace qel::x87 {
// The extremes under the total order of the bit patterns,
// -NaN < -inf < ... < -0 < +0 < ... < +inf < +NaN, compared as integers
// four elements per step. len >= 1.
float maxOf(const float* vec, int len);
float minOf(const float* vec, int len);
}  // namespace qel::x87
