// SPDX-License-Identifier: MIT
// Complex arithmetic in the x87 extended format for the generic kernels and
// the drivers every build shares (their radix-2 stages): a
// butterfly loads floats, computes in extended precision and rounds to float
// only when it stores. Direction-dependent steps are templates on Fwd.
#pragma once

#include "zentavol.h"

namespace qel::fft {

struct XComplex {
    long double re;
    long double im;
};

inline XComplex load(const SComplex& v) { return {v.re, v.im}; }

inline void store(SComplex& to, XComplex v) {
    to.re = static_cast<float>(v.re);
    to.im = static_cast<float>(v.im);
}

inline XComplex operator+(XComplex a, XComplex b) { return {a.re + b.re, a.im + b.im}; }
inline XComplex operator-(XComplex a, XComplex b) { return {a.re - b.re, a.im - b.im}; }

// The full complex product with a table value.
inline XComplex mul(XComplex a, SComplex w) {
    const long double wr = w.re;
    const long double wi = w.im;
    return {a.re * wr - a.im * wi, a.re * wi + a.im * wr};
}

// Multiplication by -i (forward) or +i (inverse): an exchange and a
// negation, no rounding.
template <bool Fwd>
inline XComplex rot(XComplex a) {
    if constexpr (Fwd) return {a.im, -a.re};
    return {-a.im, a.re};
}

// The table holds forward roots; the inverse uses their conjugates.
template <bool Fwd>
inline SComplex dirTwiddle(SComplex w) {
    if constexpr (Fwd) return w;
    return {w.re, -w.im};
}

// -i * w (forward) or +i * conj(w) (inverse), exact: the twiddle of the
// second quarter of a span from that of the first.
template <bool Fwd>
inline SComplex quarterTwiddle(SComplex w) {
    if constexpr (Fwd) return {w.im, -w.re};
    return {w.im, w.re};
}

// The two-point transform, the same in both directions: x0 + x1, x0 - x1.
inline void twoPoint(SComplex* data) {
    const XComplex x0 = load(data[0]);
    const XComplex x1 = load(data[1]);
    store(data[0], x0 + x1);
    store(data[1], x0 - x1);
}

// One radix-2 stage of half-span h over len values, chunk by chunk: the
// quarter [0, h/2) is cut into chunks of `per` butterflies; for each chunk
// every group takes the chunk's first-quarter butterflies, then the matching
// second-quarter ones, whose twiddles are the same values turned by -i.
// `butterfly(a, b, v)` updates the pair (a, b) with the twiddle v. With
// Prefetch, each step of two butterflies asks for the next step's values
// (top half 16 bytes ahead, bottom half 32) and twiddles, not to be kept in
// the cache beyond their use.
template <bool Fwd, bool Prefetch = false, typename Butterfly>
void chunkedStage(SComplex* x, int len, int h, const SComplex* table, int step, int per,
                  Butterfly butterfly) {
    const int quarter = h / 2;
    for (int c0 = 0; c0 < quarter; c0 += per) {
        const int c1 = c0 + per < quarter ? c0 + per : quarter;
        for (int g = 0; g < len; g += 2 * h) {
            SComplex* y = x + g;
            for (int part = 0; part < 2; ++part) {
                const int offset = part * quarter;
                for (int j = c0; j < c1; ++j) {
                    if constexpr (Prefetch) {
                        if (((j - c0) & 1) == 0) {
                            __builtin_prefetch(&y[offset + j + 2], 1, 0);
                            __builtin_prefetch(&y[offset + j + h + 4], 1, 0);
                            __builtin_prefetch(&table[(j + 2) * step], 0, 0);
                            __builtin_prefetch(&table[(j + 3) * step], 0, 0);
                        }
                    }
                    const SComplex w = table[j * step];
                    const SComplex v = part == 0 ? dirTwiddle<Fwd>(w) : quarterTwiddle<Fwd>(w);
                    butterfly(y[offset + j], y[offset + j + h], v);
                }
            }
        }
    }
}

}  // namespace qel::fft
