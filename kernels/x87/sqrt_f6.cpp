// SPDX-License-Identifier: MIT
// The family-6 square root behind the magnitudes: the
// x87 root with the precision field set to 24 bits for the loop, the
// caller's control word put back after it.
#include <cstdint>

#include "kernels/x87/vector_x87.h"
#include "platform/fp_env.h"

namespace qel::x87f6 {

namespace {

// The x87 instruction itself, on every target (a library call or a
// compiler's own choice might take another unit or precision).
inline long double x87Sqrt(long double x) {
    asm("fsqrt" : "+t"(x));
    return x;
}

}  // namespace

bool sqrtLoop(const float* src, float* dst, int n) {
    // Under 24-bit precision the root is rounded once, correctly, to a
    // float's significand, with the x87 exponent range: the root of a float
    // is never subnormal, so the store is exact and the value is the
    // generic build's correctly rounded root. +inf, NaNs and -0 give
    // themselves (a NaN quiet).
    const fp::X87Scope precision(fp::kX87PrecisionField, fp::kX87Precision24);
    bool negative = false;
    for (int i = 0; i < n; ++i) {
        const long double x = src[i];
        // Ordered: a NaN is not negative and gets its (NaN) root.
        if (0.0L > x) {
            negative = true;
            continue;
        }
        dst[i] = static_cast<float>(x87Sqrt(x));
    }
    return negative;
}

}  // namespace qel::x87f6
