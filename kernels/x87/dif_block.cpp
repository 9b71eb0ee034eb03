// SPDX-License-Identifier: MIT
// The x87 family's split-radix DIF block kernel:
// the generic L-shaped butterflies, block enumeration and table positions in
// one routine for both directions, K = 0x3F3504F3 at the angle pi/4.
#include "kernels/x87/dif_block.h"

#include <bit>
#include <cstdint>

#include "fft/split_radix.h"
#include "fft/xcomplex.h"

namespace qel::x87 {

namespace {

using fft::mul;
using fft::XComplex;

// The float nearest to the square root of one half (0.70710677); no table
// entry is read for the angle pi/4.
constexpr long double kK = std::bit_cast<float>(std::uint32_t{0x3F3504F3u});

// The data seen as floats with the parts of every value in the order the
// direction wants: the inverse transform is the forward one of the values
// with real and imaginary parts exchanged, exchanged back (conj(F(conj x))
// with conj(z) = i * swap(z)). The exchange costs no arithmetic, and each
// product and sum is the one the inverse formulas ask for (the operands of a
// sum in the other order, a subtracted product as an added negated one), so
// the bits are those of an inverse written out.
struct Parts {
    float* f;
    int re;  // 0 forward, 1 inverse
    int im;  // 1 - re

    XComplex load(int k) const { return {f[2 * k + re], f[2 * k + im]}; }
    void store(int k, XComplex v) const {
        f[2 * k + re] = static_cast<float>(v.re);
        f[2 * k + im] = static_cast<float>(v.im);
    }
};

// The forward L-shaped butterfly on the block of 4*n4 values at i0: the
// first half becomes the sums (a block of the next stage), the third and
// fourth quarters z1 = (x0 - x2) - i(x1 - x3) times w^k and
// z3 = (x0 - x2) + i(x1 - x3) times w^(3k) (blocks of the stage after), the
// factors those of fft::difFactors but at J = n4/2, which takes K, and at
// J = 0, which takes none.
void lButterfly(const Parts& x, int i0, int n4, int stride, const SComplex* twiddles) {
    for (int j = 0; j < n4; ++j) {
        const int a = i0 + j;
        const XComplex x0 = x.load(a);
        const XComplex x1 = x.load(a + n4);
        const XComplex x2 = x.load(a + 2 * n4);
        const XComplex x3 = x.load(a + 3 * n4);
        x.store(a, x0 + x2);
        x.store(a + n4, x1 + x3);
        const XComplex d = x0 - x2;
        const XComplex r = fft::rot<true>(x1 - x3);
        XComplex z1 = d + r;
        XComplex z3 = d - r;
        if (2 * j == n4) {
            z1 = {kK * (z1.re + z1.im), kK * (z1.im - z1.re)};
            z3 = {-kK * (z3.re - z3.im), -kK * (z3.re + z3.im)};
        } else if (j > 0) {
            const fft::DifFactors w = fft::difFactors<true>(twiddles, j, n4, stride);
            z1 = mul(z1, w.w1);
            z3 = mul(z3, w.w3);
        }
        x.store(a + 2 * n4, z1);
        x.store(a + 3 * n4, z3);
    }
}

// The forward four-point transform at i0, output in bit-reversed order.
void dft4(const Parts& x, int i0) {
    const XComplex x0 = x.load(i0);
    const XComplex x1 = x.load(i0 + 1);
    const XComplex x2 = x.load(i0 + 2);
    const XComplex x3 = x.load(i0 + 3);
    const XComplex a = x0 + x2;
    const XComplex b = x1 + x3;
    const XComplex d = x0 - x2;
    const XComplex r = fft::rot<true>(x1 - x3);
    x.store(i0, a + b);
    x.store(i0 + 1, a - b);
    x.store(i0 + 2, d + r);
    x.store(i0 + 3, d - r);
}

void twoPoint(const Parts& x, int i0) {
    const XComplex x0 = x.load(i0);
    const XComplex x1 = x.load(i0 + 1);
    x.store(i0, x0 + x1);
    x.store(i0 + 1, x0 - x1);
}

}  // namespace

void cFftDifBlock(SComplex* data, int n, int direction, const SComplex* twiddles) {
    const int flip = direction > 0 ? 0 : 1;
    const Parts x{&data[0].re, flip, 1 - flip};
    if (n < 8) {
        if (n == 4) dft4(x, 0);
        if (n == 2) twoPoint(x, 0);
        return;
    }
    for (int size = n; size >= 8; size /= 2)
        fft::forEachSplitBlock(n, size, [&](int i0) { lButterfly(x, i0, size / 4, n / size, twiddles); });
    // Leaves: every block of four gets the four-point transform; the last
    // two quarters of every block of eight are blocks of two.
    fft::forEachSplitBlock(n, 4, [&](int i0) { dft4(x, i0); });
    fft::forEachSplitBlock(n, 8, [&](int i0) {
        twoPoint(x, i0 + 4);
        twoPoint(x, i0 + 6);
    });
}

}  // namespace qel::x87
