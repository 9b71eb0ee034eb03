// SPDX-License-Identifier: MIT
// The generic family's twiddle-table fills: the DIT table of three roots per
// entry, the DIF table of two, and the real table of halves, all from the
// quarter sine table.
#include <cstdint>

#include "fft/tables.h"
#include "kernels/generic/fft.h"

namespace qel::generic {

void fillDitTwiddles(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 0; k <= q; ++k) {
        table[3 * k] = fft::foldedRoot(s, q, k);
        table[3 * k + 1] = fft::foldedRoot(s, q, 2 * k);
        table[3 * k + 2] = fft::foldedRoot(s, q, 3 * k);
    }
}

void fillDifTwiddles(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 1; k < q; ++k) {
        table[2 * (k - 1)] = fft::foldedRoot(s, q, k);
        table[2 * (k - 1) + 1] = fft::foldedRoot(s, q, 3 * k);
    }
}

// From the float entries of S in extended precision with one rounding to
// float.
void fillRealTwiddles(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 0; k < q; ++k) {
        const long double a = 0.5L * static_cast<long double>(s[q - k]);
        const long double b = 0.5L - 0.5L * static_cast<long double>(s[k]);
        table[k] = {static_cast<float>(a), static_cast<float>(b)};
    }
}

}  // namespace qel::generic
