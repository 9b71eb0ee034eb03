// SPDX-License-Identifier: MIT
// The conjugate extension in integer moves, the loop behind qelcbConjExtend1
// of every build but the generic one, in the x87 and streaming families' bundles.
#pragma once

#include "zentavol.h"

namespace qel::generic::words {
// vec[2n-2-k] = conj(vec[k]) for k = 1 .. n-2, n > 2: sources ascending,
// four per step, destinations descending from 2n-3; the sign bit flipped as
// an integer, so every bit else arrives as it was (a signalling NaN too).
void conjExtend(SComplex* vec, int n);
}  // namespace qel::generic::words
