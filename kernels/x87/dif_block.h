// SPDX-License-Identifier: MIT
// The split-radix DIF block kernel of the x87 builds: one routine for both
// directions, with the float nearest to the square root of one half at the
// angle pi/4.
#pragma once

#include "zentavol.h"

namespace qel::x87 {

// In-place unscaled DFT of n = 4 to 1024 values, natural input, bit-reversed
// output, with the order's DIF table: forward for direction > 0, inverse
// otherwise. n = 2 is the two-point butterfly; n <= 1 does nothing.
void cFftDifBlock(SComplex* data, int n, int direction, const SComplex* twiddles);

}  // namespace qel::x87
