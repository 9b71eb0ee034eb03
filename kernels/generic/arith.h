// SPDX-License-Identifier: MIT
// The generic family's loops behind qelsbSet, qelsbAdd1/2, qelsbMpy1/2 and
// qelcbConjExtend1; a build picks its family in its variant.h. Every family
// writes the same values; they differ in order of visits and instructions
// (and, for the conjugate, in what a signalling NaN becomes).
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::generic {
// One element per step, last element first; x87 arithmetic.
void setBits(std::uint32_t bits, float* dst, int n);
void addConst(float value, float* dst, int n);
void mpyConst(float value, float* dst, int n);
void addVec(const float* src, float* dst, int n);
void mpyVec(const float* src, float* dst, int n);
// vec[n .. 2n-3] = conj(vec[n-2 .. 1]) for n > 2, destinations ascending; the
// imaginary part is negated in the x87 unit.
void conjExtend(SComplex* vec, int n);
}  // namespace qel::generic
