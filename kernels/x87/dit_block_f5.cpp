// SPDX-License-Identifier: MIT
// The family-5 radix-4 DIT block kernels: the generic stages and
// butterflies, grouped depth first: each group of a stage is finished as soon
// as its four sub-transforms are, so a group's values are still in the first
// level cache of a family-5 processor (8 KB of data) when its next stage
// reads them; inside a group the butterflies j and j + m/2 go together.
#include "fft/radix4.h"
#include "fft/xcomplex.h"
#include "kernels/x87/dit_block.h"

namespace qel::x87f5 {

namespace {

using fft::butterfly4;
using fft::ditFactors;
using fft::eighth;
using fft::eighthCos;
using fft::load;
using fft::rot;
using fft::twiddledButterfly4;
using fft::XComplex;

// The radix-4 butterflies of one group of size 4m of an n-point transform:
// j = 0 without products, the pairs (j, j + m/2), then j = m/2 alone, which
// in the 16-point stage takes -i and the two eighths instead of products.
template <bool Fwd>
void group(SComplex* y, int m, int n, const SComplex* twiddles) {
    const int stride = n / (4 * m);
    const int half = m / 2;
    butterfly4<Fwd>(y, m, load(y[0]), load(y[m]), load(y[2 * m]), load(y[3 * m]));
    for (int j = 1; j < half; ++j) {
        twiddledButterfly4<Fwd>(y + j, m, ditFactors<Fwd>(twiddles, j * stride));
        twiddledButterfly4<Fwd>(y + j + half, m, ditFactors<Fwd>(twiddles, (j + half) * stride));
    }
    if (m == 4) {
        const long double c = eighthCos(twiddles, n);
        SComplex* z = y + half;
        butterfly4<Fwd>(z, m, load(z[0]), rot<Fwd>(load(z[m])), eighth<Fwd>(load(z[2 * m]), c, false),
                        eighth<Fwd>(load(z[3 * m]), c, true));
    } else {
        twiddledButterfly4<Fwd>(y + half, m, ditFactors<Fwd>(twiddles, half * stride));
    }
}

// Stage A on four values.
template <bool Fwd>
[[gnu::always_inline]] inline void stageA(SComplex* y) {
    butterfly4<Fwd>(y, 1, load(y[0]), load(y[1]), load(y[2]), load(y[3]));
}

// Eight values of an odd order: stage A on both halves, then the radix-2
// stage of span 8 with twiddles 1, e^(-i*pi/4), -i and e^(-3i*pi/4), none
// read from the table but c.
template <bool Fwd>
void eight(SComplex* y, long double c) {
    stageA<Fwd>(y);
    stageA<Fwd>(y + 4);
    for (int j = 0; j < 4; ++j) {
        const XComplex a = load(y[j]);
        const XComplex b = load(y[j + 4]);
        XComplex t = b;
        if (j == 1) t = eighth<Fwd>(b, c, false);
        if (j == 2) t = rot<Fwd>(b);
        if (j == 3) t = eighth<Fwd>(b, c, true);
        fft::store(y[j], a + t);
        fft::store(y[j + 4], a - t);
    }
}

// The size-`size` piece at y of an n-point transform, depth first: its four
// quarters, then its own radix-4 group; the pieces of 4 (even orders) or 8
// points (odd orders) are the first stages, c = cos(pi/4) from entry n/8.
template <bool Fwd>
void piece(SComplex* y, int size, int n, const SComplex* twiddles) {
    if (size == 4) return stageA<Fwd>(y);
    if (size == 8) return eight<Fwd>(y, eighthCos(twiddles, n));
    const int m = size / 4;
    for (int q = 0; q < 4; ++q) piece<Fwd>(y + q * m, m, n, twiddles);
    group<Fwd>(y, m, n, twiddles);
}

template <bool Fwd>
void block(SComplex* data, int n, const SComplex* twiddles) {
    if (n >= 4) piece<Fwd>(data, n, n, twiddles);
}

}  // namespace

void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twiddles) {
    block<true>(data, n, twiddles);
}

void cFftDitBlockInv(SComplex* data, int n, const SComplex* twiddles) {
    block<false>(data, n, twiddles);
}

}  // namespace qel::x87f5
