// SPDX-License-Identifier: MIT
// The accelerated paths of the 64-bit libraries. An x86-64 target has SSE2
// everywhere, and the 32-bit libraries keep the instruction sets of their
// builds, so this one test chooses them: the kernels below exist only where
// QEL_WIDE_PATHS is 1, and callers reach them under `if constexpr
// (qel::wide::kAvailable)`, taking the reference path too while
// qel::referencePaths() is on.
#pragma once

#include <cstddef>

#include "zentavol.h"

#if defined(__x86_64__)
#define QEL_WIDE_PATHS 1
#else
#define QEL_WIDE_PATHS 0
#endif

namespace qel::wide {

inline constexpr bool kAvailable = QEL_WIDE_PATHS != 0;

// The power spectrum of n elements with the bits of the x87 evaluation
// (vector/power_x87.h): false, and nothing written, when the caller's x87
// control word or SSE control register is not the default one, which that
// evaluation's proof assumes. With `filter` false every double result is
// trusted (a test shows the filter is needed).
bool powerSpectrum(const SComplex* src, float* dst, std::size_t n, bool filter = true);

}  // namespace qel::wide
