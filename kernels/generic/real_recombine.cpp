// SPDX-License-Identifier: MIT
// The generic family's real-FFT recombination: turns the half-length complex
// transform of the packed real input into the spectrum of the real sequence,
// in extended precision.
#include "fft/xcomplex.h"
#include "kernels/generic/fft.h"

namespace qel::generic {

namespace {

using fft::load;
using fft::store;
using fft::XComplex;

// The split X[k] = F + w*G, F = (Z[k] + conj(Z[N-k]))/2,
// G = (Z[k] - conj(Z[N-k]))/(2i), rewritten so that the table's halves
// (A, B) = (cos(t)/2, (1 - sin(t))/2) serve both k and N-k, whose result is
// conj(F - w*G). Both new values come from the old pair.
template <bool Fwd>
void recombinePair(SComplex* z, int N, int k, const SComplex* twiddles) {
    const XComplex a = load(z[k]);
    const XComplex b = load(z[N - k]);
    const long double p = a.re - b.re;
    const long double q = a.im + b.im;
    const long double A = twiddles[k].re;
    const long double B = twiddles[k].im;
    if constexpr (Fwd) {
        const long double x = B * p + A * q;
        const long double y = B * q - A * p;
        store(z[k], {b.re + x, y - b.im});
        store(z[N - k], {a.re - x, y - a.im});
    } else {
        const long double u = A * q - B * p;
        const long double v = A * p + B * q;
        store(z[k], {a.re + u, a.im - v});
        store(z[N - k], {b.re - u, b.im - v});
    }
}

template <bool Fwd>
void recombine(SComplex* z, int N, const SComplex* twiddles) {
    int k = 1;
    for (; 2 * (k + 1) < N; k += 2) {  // two pairs per pass while two remain
        recombinePair<Fwd>(z, N, k, twiddles);
        recombinePair<Fwd>(z, N, k + 1, twiddles);
    }
    for (; 2 * k < N; ++k) recombinePair<Fwd>(z, N, k, twiddles);
    // The middle value: X[N/2] is conj(Z[N/2]) forward and Z[N/2] itself in
    // the inverse; only the sign bit changes.
    if constexpr (Fwd) z[N / 2].im = -z[N / 2].im;
}

}  // namespace

void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twiddles) {
    if (N < 2) return;
    if (direction > 0)
        recombine<true>(z, N, twiddles);
    else
        recombine<false>(z, N, twiddles);
}

}  // namespace qel::generic
