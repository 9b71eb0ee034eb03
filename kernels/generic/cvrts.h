// SPDX-License-Identifier: MIT
// The generic family's conversion loops behind qelsbFloatToInt and
// qelsbIntToFloat; a build picks its family in its variant.h. The argument
// checks are shared (qelcvrts.cpp) and have passed when a loop runs.
#pragma once

namespace qel::generic {
// One loop per width, signedness and rounding mode, in ascending order; the
// rounding is done on the float's bits, so no floating-point mode changes.
// size is 8, 16 or 32; flags holds exactly one rounding bit. Out-of-range
// elements are reported one by one (reportUnconvertibleElement).
void floatToInt(const float* src, void* dst, int len, int size, int flags);
// One loop per integer type, two elements per step, one rounding each.
void intToFloat(const void* src, float* dst, int len, int size, bool isUnsigned);
}  // namespace qel::generic
