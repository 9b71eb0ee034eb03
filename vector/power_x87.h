// SPDX-License-Identifier: MIT
// The reference power and magnitude of one element, in the x87 unit.
#pragma once

#include <cmath>

#include "zentavol.h"

namespace qel {

// re^2 and im^2 (48 bits) are exact at the x87 unit's precision; the sum
// rounds at that precision and the store once more to a float.
inline float powerX87(const SComplex& z) {
    const long double re = z.re;
    const long double im = z.im;
    return static_cast<float>(re * re + im * im);
}

// The same sum and its root at that precision, then the one rounding to a
// float. The wide exponent keeps re^2 of any float finite.
inline float magnitudeX87(const SComplex& z) {
    const long double re = z.re;
    const long double im = z.im;
    return static_cast<float>(std::sqrt(re * re + im * im));
}

}  // namespace qel
