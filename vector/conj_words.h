// SPDX-License-Identifier: MIT
// The conjugate extension in integer moves, the loop behind qelcbConjExtend1
// of every build but the generic one; a build names it in its variant.h.
#pragma once

#include "zentavol.h"

namespace qel::words {
// vec[2n-2-k] = conj(vec[k]) for k = 1 .. n-2, n > 2: sources ascending,
// four per step, destinations descending from 2n-3; the sign bit flipped as
// an integer, so every bit else arrives as it was (a signalling NaN too).
void conjExtend(SComplex* vec, int n);
}  // namespace qel::words

namespace qel::avx {
// The same moves, four elements a step in 256-bit vectors: the streaming
// builds' on x86-64 where the processor has AVX (kernels/simd/conj_avx.cpp).
void conjExtend(SComplex* vec, int n);
}  // namespace qel::avx
