// SPDX-License-Identifier: MIT
// The generic build's straight-line radix-4 decimation-in-time block kernels
// for 4 to 1024 points: bit-reversed input, natural output, each butterfly
// in extended precision.
#include "fft/radix4.h"
#include "fft/xcomplex.h"
#include "kernels/generic/fft.h"

namespace qel::generic {

namespace {

using fft::butterfly4;
using fft::ditFactors;
using fft::eighth;
using fft::eighthCos;
using fft::load;
using fft::oddOrder;
using fft::rot;
using fft::store;
using fft::twiddledButterfly4;
using fft::XComplex;

// Stage A: four-point transforms of consecutive values, no twiddles.
template <bool Fwd>
void stageA(SComplex* x, int n) {
    for (int g = 0; g < n; g += 4)
        butterfly4<Fwd>(x + g, 1, load(x[g]), load(x[g + 1]), load(x[g + 2]), load(x[g + 3]));
}

// The radix-2 stage of span 8 of the odd orders: twiddles 1, e^(-i*pi/4),
// -i and e^(-3i*pi/4), none read from the table but c.
template <bool Fwd>
void span8(SComplex* x, int n, long double c) {
    for (int g = 0; g < n; g += 8) {
        SComplex* y = x + g;
        for (int j = 0; j < 4; ++j) {
            const XComplex a = load(y[j]);
            const XComplex b = load(y[j + 4]);
            XComplex t = b;
            if (j == 1) t = eighth<Fwd>(b, c, false);
            if (j == 2) t = rot<Fwd>(b);
            if (j == 3) t = eighth<Fwd>(b, c, true);
            store(y[j], a + t);
            store(y[j + 4], a - t);
        }
    }
}

// A radix-4 stage of group size 4m, m fixed at compile time so that every
// offset is a constant. In the 16-point stage the middle butterfly's twiddles are -i and the two
// eighths, applied without a general product.
template <bool Fwd, int m>
void radix4(SComplex* x, int n, const SComplex* twiddles) {
    const int stride = n / (4 * m);
    const long double c = m == 4 ? eighthCos(twiddles, n) : 0.0L;
    for (int g = 0; g < n; g += 4 * m) {
        SComplex* y = x + g;
        butterfly4<Fwd>(y, m, load(y[0]), load(y[m]), load(y[2 * m]), load(y[3 * m]));
        for (int j = 1; j < m; ++j) {
            if (m == 4 && j == 2) {
                butterfly4<Fwd>(y + j, m, load(y[j]), rot<Fwd>(load(y[j + m])),
                                eighth<Fwd>(load(y[j + 2 * m]), c, false),
                                eighth<Fwd>(load(y[j + 3 * m]), c, true));
                continue;
            }
            twiddledButterfly4<Fwd>(y + j, m, ditFactors<Fwd>(twiddles, j * stride));
        }
    }
}

// Stage sequence: A; for odd orders the span-8 stage; then radix-4 stages
// of group size 16, 64, 256, 1024 (even orders) or 32, 128, 512 (odd).
template <bool Fwd>
void block(SComplex* data, int n, const SComplex* twiddles) {
    if (n < 4) return;
    stageA<Fwd>(data, n);
    using Stage = void (*)(SComplex*, int, const SComplex*);
    constexpr Stage kEven[] = {radix4<Fwd, 4>, radix4<Fwd, 16>, radix4<Fwd, 64>, radix4<Fwd, 256>};
    constexpr Stage kOdd[] = {radix4<Fwd, 8>, radix4<Fwd, 32>, radix4<Fwd, 128>};
    const Stage* stages = kEven;
    int m = 4;
    if (oddOrder(n)) {
        span8<Fwd>(data, n, eighthCos(twiddles, n));
        stages = kOdd;
        m = 8;
    }
    for (; 4 * m <= n; m *= 4, ++stages) (*stages)(data, n, twiddles);
}

}  // namespace

void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twiddles) {
    block<true>(data, n, twiddles);
}

void cFftDitBlockInv(SComplex* data, int n, const SComplex* twiddles) {
    block<false>(data, n, twiddles);
}

}  // namespace qel::generic
