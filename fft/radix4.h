// SPDX-License-Identifier: MIT
// The butterflies of the straight-line radix-4 DIT kernels in the x87
// extended format: the four-point butterfly and the factors at pi/4 and
// 3pi/4. Shared by the generic kernels and the x87 builds' own, which
// schedule the same butterflies in their own order.
#pragma once

#include "fft/xcomplex.h"
#include "zentavol.h"

namespace qel::fft {

// b * e^(-i*pi/4) (first) or b * e^(-3i*pi/4) (third), conjugated for the
// inverse, in the factored form c*(re + im), c*(im - re): two products
// instead of four. c = cos(pi/4) as the table holds it.
template <bool Fwd>
[[gnu::always_inline]] inline XComplex eighth(XComplex b, long double c, bool third) {
    const long double p = c * (b.re + b.im);
    const long double m = c * (b.im - b.re);
    if constexpr (Fwd) return third ? XComplex{m, -p} : XComplex{p, m};
    return third ? XComplex{-p, -m} : XComplex{-m, p};
}

// The radix-4 butterfly on y0..y3 (the sub-transforms' values with their
// twiddles applied), results to offsets 0, m, 2m, 3m.
// Always inlined: a call would pass four extended-precision pairs through
// memory and costs more than the butterfly itself.
template <bool Fwd>
[[gnu::always_inline]] inline void butterfly4(SComplex* at, int m, XComplex y0, XComplex y1, XComplex y2, XComplex y3) {
    const XComplex s01 = y0 + y1;
    const XComplex s23 = y2 + y3;
    const XComplex d01 = y0 - y1;
    const XComplex r23 = rot<Fwd>(y2 - y3);
    store(at[0], s01 + s23);
    store(at[2 * m], s01 - s23);
    store(at[m], d01 + r23);
    store(at[3 * m], d01 - r23);
}

}  // namespace qel::fft
