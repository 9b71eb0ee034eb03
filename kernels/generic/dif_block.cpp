// SPDX-License-Identifier: MIT
// The generic build's split-radix decimation-in-frequency block kernels for
// up to 1024 points: natural input, bit-reversed output, L-shaped
// butterflies in extended precision.
#include <bit>
#include <cstdint>

#include "fft/split_radix.h"
#include "fft/xcomplex.h"
#include "kernels/generic/fft.h"

namespace qel::generic {

namespace {

using fft::load;
using fft::mul;
using fft::rot;
using fft::store;
using fft::XComplex;

// The factor at the angle pi/4 is this build's own constant, the float
// nearest to 0.707107 (not the one nearest to the square root of one half,
// 0x3F3504F3); no table entry is read for that angle.
const long double kK = std::bit_cast<float>(std::uint32_t{0x3F3504F7u});

// The four-point transform with its output in bit-reversed order:
// (x0, x1, x2, x3) becomes (X0, X2, X1, X3).
template <bool Fwd>
void dft4(SComplex* x) {
    const XComplex x0 = load(x[0]);
    const XComplex x1 = load(x[1]);
    const XComplex x2 = load(x[2]);
    const XComplex x3 = load(x[3]);
    const XComplex a = x0 + x2;
    const XComplex b = x1 + x3;
    const XComplex d = x0 - x2;
    const XComplex r = rot<Fwd>(x1 - x3);
    store(x[0], a + b);
    store(x[1], a - b);
    store(x[2], d + r);
    store(x[3], d - r);
}

// The L-shaped butterfly on a block of 4*n4 values: the first half becomes
// the sums (a block of the next stage), the third and fourth quarters the
// twiddled z1 = (x0 - x2) -/+ i(x1 - x3) and z3 = (x0 - x2) +/- i(x1 - x3)
// (blocks of the stage after), with the factors of fft::difFactors.
template <bool Fwd>
void lButterfly(SComplex* x, int n4, int stride, const SComplex* twiddles) {
    for (int j = 0; j < n4; ++j) {
        const XComplex x0 = load(x[j]);
        const XComplex x1 = load(x[n4 + j]);
        const XComplex x2 = load(x[2 * n4 + j]);
        const XComplex x3 = load(x[3 * n4 + j]);
        store(x[j], x0 + x2);
        store(x[n4 + j], x1 + x3);
        const XComplex d = x0 - x2;
        const XComplex r = rot<Fwd>(x1 - x3);
        XComplex z1 = d + r;
        XComplex z3 = d - r;
        if (2 * j == n4) {
            if constexpr (Fwd) {
                z1 = {kK * (z1.re + z1.im), kK * (z1.im - z1.re)};
                z3 = {-kK * (z3.re - z3.im), -kK * (z3.re + z3.im)};
            } else {
                z1 = {kK * (z1.re - z1.im), kK * (z1.re + z1.im)};
                z3 = {-kK * (z3.re + z3.im), -kK * (z3.im - z3.re)};
            }
        } else if (j > 0) {
            const fft::DifFactors w = fft::difFactors<Fwd>(twiddles, j, n4, stride);
            z1 = mul(z1, w.w1);
            z3 = mul(z3, w.w3);
        }
        store(x[2 * n4 + j], z1);
        store(x[3 * n4 + j], z3);
    }
}

template <bool Fwd>
void splitRadix(SComplex* data, int n, const SComplex* twiddles) {
    for (int size = n; size >= 8; size /= 2)
        fft::forEachSplitBlock(n, size, [&](int i0) { lButterfly<Fwd>(data + i0, size / 4, n / size, twiddles); });
    // Leaves: every block of four gets the four-point transform; the last
    // two quarters of every block of eight are blocks of two.
    fft::forEachSplitBlock(n, 4, [&](int i0) { dft4<Fwd>(data + i0); });
    fft::forEachSplitBlock(n, 8, [&](int i0) {
        fft::twoPoint(data + i0 + 4);
        fft::twoPoint(data + i0 + 6);
    });
}

}  // namespace

void cFftDifBlockFwd(SComplex* data, int n, const SComplex* twiddles) {
    splitRadix<true>(data, n, twiddles);
}

void cFftDifBlockInv(SComplex* data, int n, const SComplex* twiddles) {
    splitRadix<false>(data, n, twiddles);
}

void cFftDifBlock(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (n >= 8) {
        if (direction > 0)
            cFftDifBlockFwd(data, n, twiddles);
        else
            cFftDifBlockInv(data, n, twiddles);
    } else if (n == 4) {
        if (direction > 0)
            dft4<true>(data);
        else
            dft4<false>(data);
    } else if (n == 2) {
        fft::twoPoint(data);
    }
}

}  // namespace qel::generic
