// SPDX-License-Identifier: MIT
// The streaming-SIMD family's conversions in SSE2 (and AVX2 where the
// processor has it) for the 64-bit libraries: the bits, the untouched
// elements and the report of the SSE kernels (kernels/simd/vector_sse.h),
// without setting the SSE control register and without MMX. Callers reach
// them under `if constexpr (qel::kWidePaths)`, and not while
// qel::referencePaths() is on.
#pragma once

#include "vector/cvrts_kernels.h"

namespace qel::sse::wide {

// As sse::floatToInt, report included; false, with nothing written and
// nothing reported, when the caller's SSE control register leaves an
// exception unmasked or flushes or zeroes denormals (the rounding field may
// be anything: nothing here depends on it).
template <typename T, bool Saturate, bool Report>
bool floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode);
// As sse::intToFloat: the same conversions under the caller's rounding mode.
template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len);

}  // namespace qel::sse::wide
