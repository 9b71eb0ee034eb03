// SPDX-License-Identifier: MIT
// The x87 builds' conversion kernels behind qelsbFloatToInt and
// qelsbIntToFloat (the contract is vector/cvrts_kernels.h).
#pragma once

#include "vector/cvrts_kernels.h"

namespace qel::x87 {

// Rounds under the x87 rounding mode of the flag, set for the call, four
// elements per step. An element outside the type is written anyway as the
// low-order bits of the x87 unit's 64-bit integer store of it (0 for a NaN,
// an infinity or a magnitude from 2^63) unless Saturate clamps it (a NaN by
// its sign); Report makes one report after the loop.
template <typename T, bool Saturate, bool Report>
void floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode);
// Four elements per step through the x87 unit's integer loads, one rounding
// by the caller's mode each; src may equal dst for 32-bit integers.
template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len);

}  // namespace qel::x87
