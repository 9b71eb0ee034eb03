// SPDX-License-Identifier: MIT
// An independent double-precision DFT for the FFT tests: a plain recursive
// radix-2 transform with its roots from the C library's sine and cosine in
// long double, plus the bit-reversal permutation written the obvious way.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

#include "zentavol.h"

namespace zv::test {

using Cd = std::complex<double>;

namespace detail {

inline void referenceRecurse(const Cd* in, std::size_t stride, std::size_t n, Cd* out,
                             const std::vector<Cd>& roots, std::size_t rootStride) {
    if (n == 1) {
        out[0] = in[0];
        return;
    }
    const std::size_t half = n / 2;
    referenceRecurse(in, 2 * stride, half, out, roots, 2 * rootStride);
    referenceRecurse(in + stride, 2 * stride, half, out + half, roots, 2 * rootStride);
    for (std::size_t k = 0; k < half; ++k) {
        const Cd even = out[k];
        // The plain product: std::complex's own checks for infinities are slow.
        const Cd o = out[k + half];
        const Cd w = roots[k * rootStride];
        const Cd odd(o.real() * w.real() - o.imag() * w.imag(),
                     o.real() * w.imag() + o.imag() * w.real());
        out[k] = even + odd;
        out[k + half] = even - odd;
    }
}

}  // namespace detail

// sum_j x[j] e^(sign * 2 pi i j k / n), n a power of two, unscaled.
inline std::vector<Cd> referenceDft(const std::vector<Cd>& x, int sign) {
    const std::size_t n = x.size();
    std::vector<Cd> roots(n / 2 + 1);
    const long double twoPi = 6.283185307179586476925286766559L;
    for (std::size_t k = 0; k < roots.size(); ++k) {
        const long double t = twoPi * static_cast<long double>(k) / static_cast<long double>(n);
        roots[k] = Cd(static_cast<double>(std::cos(t)), static_cast<double>(sign * std::sin(t)));
    }
    std::vector<Cd> out(n);
    detail::referenceRecurse(x.data(), 1, n, out.data(), roots, 1);
    return out;
}

inline std::size_t reverseBits(std::size_t k, int bits) {
    std::size_t r = 0;
    for (int b = 0; b < bits; ++b) r |= ((k >> b) & 1u) << (bits - 1 - b);
    return r;
}

// y[reverseBits(k)] = x[k].
template <typename T>
std::vector<T> bitReversed(const std::vector<T>& x, int order) {
    std::vector<T> y(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) y[reverseBits(k, order)] = x[k];
    return y;
}

inline std::vector<Cd> toDouble(const std::vector<SComplex>& x) {
    std::vector<Cd> y(x.size());
    for (std::size_t k = 0; k < x.size(); ++k) y[k] = Cd(x[k].re, x[k].im);
    return y;
}

// sqrt(sum |got - want|^2 / sum |want|^2).
inline double relativeRmsError(const std::vector<SComplex>& got, const std::vector<Cd>& want) {
    double err = 0;
    double ref = 0;
    for (std::size_t k = 0; k < want.size(); ++k) {
        err += std::norm(Cd(got[k].re, got[k].im) - want[k]);
        ref += std::norm(want[k]);
    }
    return ref == 0 ? std::sqrt(err) : std::sqrt(err / ref);
}

}  // namespace zv::test
