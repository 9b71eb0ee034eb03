// SPDX-License-Identifier: MIT
// The x87 bit-reversal moves: the walk of the MMX moves with single floats
// through the x87 stack always, for builds that may use no MMX register.
#include "kernels/x87/bitrev_x87.h"

#include "kernels/x87/bitrev_moves.h"
#include "variant.h"

namespace qel::x87 {

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    bitrev::permute<bitrev::X87, variant::kBitRevPermuteTiledAbove>(data, n, table);
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8) return bitrev::copyFew<bitrev::X87>(src, dst, N);
    bitrev::copyReal<bitrev::X87, variant::kBitRevCopyTiledAbove>(src, dst, N, table);
}

}  // namespace qel::x87
