// SPDX-License-Identifier: MIT
// The generic build's extremes and square root: ordered comparisons two
// elements per step, and the extended-precision square root rounded once to
// single precision.
#include <cmath>

#include "kernels/generic/vec.h"

namespace qel::generic {

float maxOf(const float* vec, int len) {
    // The first element is compared with itself, as the loop starts at 0:
    // harmless for numbers, and a leading NaN stays (no ordered comparison
    // with it ever holds).
    float m = vec[0];
    int i = 0;
    for (; len - i >= 2; i += 2) {
        if (vec[i] > m) m = vec[i];
        if (vec[i + 1] > m) m = vec[i + 1];
    }
    if (i < len && vec[i] > m) m = vec[i];
    return m;
}

float minOf(const float* vec, int len) {
    float m = vec[0];
    int i = 1;
    for (; len - i >= 2; i += 2) {
        if (!(vec[i] >= m)) m = vec[i];
        if (!(vec[i + 1] >= m)) m = vec[i + 1];
    }
    if (i < len && !(vec[i] >= m)) m = vec[i];
    return m;
}

bool sqrtLoop(const float* src, float* dst, int n) {
    bool negative = false;
    for (int i = 0; i < n; ++i) {
        const float x = src[i];
        // Ordered: a NaN is not negative and gets its (NaN) root.
        if (0.0f > x) {
            negative = true;
            continue;
        }
        // 64 (or 53) bits of root, rounded once more to 24: at least 2*24+2
        // bits, so the double rounding is innocuous and the float result is
        // the correctly rounded root.
        dst[i] = static_cast<float>(std::sqrt(static_cast<long double>(x)));
    }
    return negative;
}

}  // namespace qel::generic
