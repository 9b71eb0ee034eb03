// SPDX-License-Identifier: MIT
// The x87 builds' conversion loops behind qelsbFloatToInt and
// qelsbIntToFloat. The argument checks are shared (qelcvrts.cpp) and have
// passed when they run.
#pragma once

namespace qel::x87 {

// Rounds under the x87 rounding mode of the flag, set for the call, four
// elements per step. An element outside the type is written anyway as the
// low-order bits of the x87 unit's 64-bit integer store of it (0 for a NaN,
// an infinity or a magnitude from 2^63) unless QEL_CVT_SATURATE clamps it
// (a NaN by its sign); QEL_CVT_REPORT makes one report after the loop.
void floatToInt(const float* src, void* dst, int len, int size, int flags);
// Four elements per step through the x87 unit's integer loads, one rounding
// by the caller's mode each; src may equal dst for 32-bit integers.
void intToFloat(const void* src, float* dst, int len, int size, bool isUnsigned);

}  // namespace qel::x87
