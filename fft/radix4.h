// SPDX-License-Identifier: MIT
// The butterflies of the straight-line radix-4 DIT kernels in the x87
// extended format: the four-point butterfly, the factors at pi/4 and 3pi/4,
// which DIT table factor goes to which value, and the test that tells the
// odd orders' stage sequence. Shared by the generic kernels and the x87
// builds' own, which schedule the same butterflies in their own order (the
// streaming-SIMD kernels take the order test only).
#pragma once

#include <cstdint>

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

// Whether n = 2^L has an odd order L: those transforms begin with a span-8
// radix-2 stage after the four-point one, the even ones go radix-4 all the
// way.
constexpr bool oddOrder(int n) { return (static_cast<std::uint32_t>(n) & 0xAAAAAAAAu) != 0; }

// cos(pi/4) as the DIT table of n >= 8 points holds it: the real part of
// w^k of entry n/8.
inline long double eighthCos(const SComplex* twiddles, int n) { return twiddles[3 * (n / 8)].re; }

// The factors of a twiddled radix-4 butterfly from DIT table entry k (w^k,
// w^(2k), w^(3k)), conjugated for the inverse: the value at offset m takes
// w^(2k), the one at 2m w^k and the one at 3m w^(3k), because the four
// sub-transforms of a group lie in bit-reversed order. Butterfly j of a
// group of size 4m in an n-point transform reads entry k = j * n/(4m).
struct DitFactors {
    SComplex atM;
    SComplex at2M;
    SComplex at3M;
};

template <bool Fwd>
[[gnu::always_inline]] inline DitFactors ditFactors(const SComplex* twiddles, int k) {
    const SComplex* entry = twiddles + 3 * k;
    return {dirTwiddle<Fwd>(entry[1]), dirTwiddle<Fwd>(entry[0]), dirTwiddle<Fwd>(entry[2])};
}

// The butterfly at y of a group with offsets m, 2m, 3m, its values
// multiplied by the factors first.
template <bool Fwd>
[[gnu::always_inline]] inline void twiddledButterfly4(SComplex* y, int m, const DitFactors& w) {
    butterfly4<Fwd>(y, m, load(y[0]), mul(load(y[m]), w.atM), mul(load(y[2 * m]), w.at2M),
                    mul(load(y[3 * m]), w.at3M));
}

}  // namespace qel::fft
