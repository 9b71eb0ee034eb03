// SPDX-License-Identifier: MIT
// The streaming-SIMD family's magnitude blocks in the 64-bit libraries: the
// power spectrum and the square root of a 128-element block in one pass,
// with the bits of the two (the x87 power spectrum, vector/power_x87.h, and
// sqrtLoop, vector_sse.h), reached where the processor has AVX2, the
// caller's modes are the default ones (qel::defaultFloatModes) and the
// reference switch is off.
#pragma once

#include "zentavol.h"

namespace qel::sse::wide {

// The block's elements of the magnitudes at their full length.
inline constexpr int kMagnitudeBlock = 128;

// mag[i] = the root of the power of src[i] for i in 0 .. 127, stored
// through the cache; true when a power had its sign bit set (a NaN), which
// sqrtLoop reports.
bool magnitudeBlock(const SComplex* src, float* mag);

}  // namespace qel::sse::wide
