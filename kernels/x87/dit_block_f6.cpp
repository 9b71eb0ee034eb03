// SPDX-License-Identifier: MIT
// The family-6 radix-4 DIT block kernels: the generic
// stages and butterflies, scheduled stage by stage with each twiddle
// position taken once per stage: its factors are applied to two groups per
// turn, two independent butterflies for the pipelined x87 unit to overlap.
#include "fft/radix4.h"
#include "fft/xcomplex.h"
#include "kernels/x87/dit_block.h"

namespace qel::x87f6 {

namespace {

using fft::butterfly4;
using fft::ditFactors;
using fft::eighth;
using fft::eighthCos;
using fft::load;
using fft::oddOrder;
using fft::rot;
using fft::twiddledButterfly4;
using fft::XComplex;

// Calls bf(y) for the butterfly at offset j of every group of size 4m, two
// groups per turn; a single group (the last stage) alone.
template <typename Butterfly>
[[gnu::always_inline]] inline void everyGroup(SComplex* x, int n, int m, int j, Butterfly bf) {
    int g = 0;
    for (; g + 4 * m < n; g += 8 * m) {
        bf(x + g + j);
        bf(x + g + 4 * m + j);
    }
    if (g < n) bf(x + g + j);
}

// Stage A: four-point transforms of consecutive values, no twiddles.
template <bool Fwd>
void stageA(SComplex* x, int n) {
    everyGroup(x, n, 1, 0, [](SComplex* y) {
        butterfly4<Fwd>(y, 1, load(y[0]), load(y[1]), load(y[2]), load(y[3]));
    });
}

// The radix-2 stage of span 8 of the odd orders: twiddles 1, e^(-i*pi/4),
// -i and e^(-3i*pi/4), none read from the table but c; position by
// position over the groups of eight.
template <bool Fwd>
void span8(SComplex* x, int n, long double c) {
    auto run = [x, n](int j, auto twiddle) {
        everyGroup(x, n, 2, j, [twiddle](SComplex* y) {
            const XComplex a = load(y[0]);
            const XComplex t = twiddle(load(y[4]));
            fft::store(y[0], a + t);
            fft::store(y[4], a - t);
        });
    };
    run(0, [](XComplex b) { return b; });
    run(1, [c](XComplex b) { return eighth<Fwd>(b, c, false); });
    run(2, [](XComplex b) { return rot<Fwd>(b); });
    run(3, [c](XComplex b) { return eighth<Fwd>(b, c, true); });
}

// A radix-4 stage of group size 4m, m fixed at compile time so that every
// offset is a constant, position j outermost: the butterfly j = 0 without
// products, in the 16-point stage the middle one with -i and the two eighths,
// every other one with the three factors of DIT table entry j * n/(4m),
// read once for all groups.
template <bool Fwd, int m>
void radix4(SComplex* x, int n, const SComplex* twiddles) {
    const int stride = n / (4 * m);
    everyGroup(x, n, m, 0, [](SComplex* y) {
        butterfly4<Fwd>(y, m, load(y[0]), load(y[m]), load(y[2 * m]), load(y[3 * m]));
    });
    for (int j = 1; j < m; ++j) {
        if (m == 4 && j == 2) {
            const long double c = eighthCos(twiddles, n);
            everyGroup(x, n, m, j, [c](SComplex* y) {
                butterfly4<Fwd>(y, m, load(y[0]), rot<Fwd>(load(y[m])), eighth<Fwd>(load(y[2 * m]), c, false),
                                eighth<Fwd>(load(y[3 * m]), c, true));
            });
            continue;
        }
        const fft::DitFactors w = ditFactors<Fwd>(twiddles, j * stride);
        everyGroup(x, n, m, j, [w](SComplex* y) { twiddledButterfly4<Fwd>(y, m, w); });
    }
}

// Stage sequence: A; for odd orders the span-8 stage; then radix-4 stages
// of group size 16, 64, 256, 1024 (even orders) or 32, 128, 512 (odd).
template <bool Fwd>
void block(SComplex* data, int n, const SComplex* twiddles) {
    if (n < 4) return;
    stageA<Fwd>(data, n);
    if (oddOrder(n)) {
        span8<Fwd>(data, n, eighthCos(twiddles, n));
        if (n >= 32) radix4<Fwd, 8>(data, n, twiddles);
        if (n >= 128) radix4<Fwd, 32>(data, n, twiddles);
        if (n >= 512) radix4<Fwd, 128>(data, n, twiddles);
    } else {
        if (n >= 16) radix4<Fwd, 4>(data, n, twiddles);
        if (n >= 64) radix4<Fwd, 16>(data, n, twiddles);
        if (n >= 256) radix4<Fwd, 64>(data, n, twiddles);
        if (n >= 1024) radix4<Fwd, 256>(data, n, twiddles);
    }
}

}  // namespace

void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twiddles) {
    block<true>(data, n, twiddles);
}

void cFftDitBlockInv(SComplex* data, int n, const SComplex* twiddles) {
    block<false>(data, n, twiddles);
}

}  // namespace qel::x87f6
