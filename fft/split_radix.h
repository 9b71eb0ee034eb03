// SPDX-License-Identifier: MIT
// The index pattern of the split-radix DIF block kernels, written once for
// the generic kernel and the x87 builds' own: which blocks each stage visits,
// and which table pair gives the factors of an L-shaped butterfly. The
// butterflies' arithmetic stays in the kernels. Internal to each file that
// includes it, since each family compiles it with its own instruction set.
#pragma once

#include <cstdint>

#include "fft/xcomplex.h"
#include "zentavol.h"

namespace qel::fft {
namespace {

// Calls visit(start) for every block of `size` points of the split-radix
// decomposition of n points: the first half of a block is a block of the
// next size, its last two quarters are blocks of the size after that.
template <typename Visit>
void forEachSplitBlock(int n, int size, Visit visit) {
    for (std::int64_t is = 0, id = 2 * size; is < n; is = 2 * id - size, id *= 4)
        for (std::int64_t i0 = is; i0 < n; i0 += id) visit(static_cast<int>(i0));
}

// The factors w^k and w^(3k), k = j * stride, of butterfly j of an L-shaped
// butterfly on 4*n4 values (0 < j < n4, 2j != n4), conjugated for the
// inverse. The table holds the pairs (w^k, w^(3k)) of the first eighth of
// the circle only: j and n4 - j share position k - 1, and the second half
// takes w^k = -i * conj(w^k') and w^(3k) = +i * conj(w^(3k')),
// k' = (n4 - j) * stride, exact images of the mirrored pair (signs and
// places only, so the factors carry the table's bits).
struct DifFactors {
    SComplex w1;
    SComplex w3;
};

template <bool Fwd>
[[gnu::always_inline]] inline DifFactors difFactors(const SComplex* twiddles, int j, int n4, int stride) {
    if (2 * j < n4) {
        const SComplex* pair = twiddles + 2 * (j * stride - 1);
        return {dirTwiddle<Fwd>(pair[0]), dirTwiddle<Fwd>(pair[1])};
    }
    const SComplex* pair = twiddles + 2 * ((n4 - j) * stride - 1);
    return {dirTwiddle<Fwd>(SComplex{-pair[0].im, -pair[0].re}), dirTwiddle<Fwd>(SComplex{pair[1].im, pair[1].re})};
}

}  // namespace
}  // namespace qel::fft
