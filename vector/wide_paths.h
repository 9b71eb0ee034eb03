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

// The power spectrum of n elements with the bits of the x87 evaluation
// (vector/power_x87.h): false, and nothing written, when the caller's x87
// control word or SSE control register is not the default one, which that
// evaluation's proof assumes. With `filter` false every double result is
// trusted (a test shows the filter is needed).
bool powerSpectrum(const SComplex* src, float* dst, std::size_t n, bool filter = true);

}  // namespace qel::wide
