// SPDX-License-Identifier: MIT
// The accelerated vector kernels of the 64-bit libraries (QEL_WIDE_PATHS,
// runtime/diagnostics.h): callers reach them under `if constexpr
// (qel::wide::kAvailable)`, taking the reference path too while
// qel::referencePaths() is on.
#pragma once

#include <cstddef>

#include "runtime/diagnostics.h"
#include "zentavol.h"

namespace qel::wide {

inline constexpr bool kAvailable = kWidePaths;

// True when the processor has AVX2 and the system saves its registers (the
// probe of runtime/processor.h, made once at attach), unless a test has
// turned the AVX2 loops off. The 256-bit loops below are compiled for AVX2
// by target attributes and reached only when this is.
bool avx2();
// Tests: the AVX2 loops if wanted and the processor has them, the SSE2 ones
// otherwise; returns avx2().
bool useAvx2(bool wanted);

// The power spectrum of n elements with the bits of the x87 evaluation
// (vector/power_x87.h): false, and nothing written, when the caller's x87
// control word or SSE control register is not the default one, which that
// evaluation's proof assumes. With `filter` false every double result is
// trusted (a test shows the filter is needed).
bool powerSpectrum(const SComplex* src, float* dst, std::size_t n, bool filter = true);
// The same for a caller that has found qel::defaultFloatModes() true.
void powerSpectrumInModes(const SComplex* src, float* dst, std::size_t n, bool filter = true);

// The magnitudes of n elements with the bits of their x87 evaluation
// (vector/power_x87.h), for such a caller: false, and nothing written,
// without AVX2.
bool magnitudesInModes(const SComplex* src, float* dst, std::size_t n);

}  // namespace qel::wide
