// SPDX-License-Identifier: MIT
// The x87 builds' straight-line radix-4 DIT block kernels, 4 <= n <= 1024,
// bit-reversed input, natural output, the order's DIT table (the generic
// layout): the generic stages, scheduled per processor family: x87f6 for
// family 6, x87f5 for family 5.
#pragma once

#include "zentavol.h"

namespace qel::x87f6 {
void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twiddles);
void cFftDitBlockInv(SComplex* data, int n, const SComplex* twiddles);
}  // namespace qel::x87f6

namespace qel::x87f5 {
void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twiddles);
void cFftDitBlockInv(SComplex* data, int n, const SComplex* twiddles);
}  // namespace qel::x87f5
