// Complex arithmetic in the x87 extended format for the FFT kernels of the
// builds with x87 kernels (ZentavolG1 and the drivers every build shares): a
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

}  // namespace qel::fft
