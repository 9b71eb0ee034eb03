// SPDX-License-Identifier: MIT
// The generic family's conversion kernels behind qelsbFloatToInt and
// qelsbIntToFloat (the contract is vector/cvrts_kernels.h); a build picks
// its family in its variant.h.
#pragma once

#include "vector/cvrts_kernels.h"

namespace qel::generic {
// One loop per type and rounding mode, rounding on the float's bits, so no
// floating-point mode changes. Out-of-range elements are reported one by
// one (reportUnconvertibleElement).
template <typename T, bool Saturate, bool Report>
void floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode);
// Two elements per step, one rounding each.
template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len);
}  // namespace qel::generic
