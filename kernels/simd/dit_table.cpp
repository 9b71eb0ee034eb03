// SPDX-License-Identifier: MIT
// The stage-vector DIT twiddle table of the streaming-SIMD block kernels:
// one section per radix-4 stage size, 96-byte groups of six four-lane
// vectors.
#include <cstdint>

#include "fft/radix4.h"
#include "kernels/simd/dit_block.h"

namespace qel::simd {

namespace {

// e^(-2*pi*i*a/n) for 0 <= a <= 3q (q = n/4), folded from the quarter sine
// table: every part an entry of S or its negation.
void folded(const float* s, std::int32_t q, std::int32_t a, float* out) {
    if (a <= q) {
        out[0] = s[q - a];
        out[1] = -s[a];
    } else if (a <= 2 * q) {
        out[0] = -s[a - q];
        out[1] = -s[2 * q - a];
    } else {
        out[0] = -s[3 * q - a];
        out[1] = s[a - 2 * q];
    }
}

}  // namespace

void fillDitTwiddles(SComplex* table, const float* s, int order) {
    if (order <= 3) return;
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    float* section = reinterpret_cast<float*>(table);
    // The radix-4 stages of 2^m points, from 16 or, for odd orders, 32.
    for (int m = fft::oddOrder(1 << order) ? 5 : 4; m <= order; m += 2) {
        const std::int32_t quarter = (std::int32_t{1} << m) / 4;  // butterflies of the stage
        const std::int32_t step = std::int32_t{1} << (order - m);  // angle index per k
        // First the entries k one after another, six floats each ...
        for (std::int32_t k = 0; k < quarter; ++k) {
            folded(s, q, k * step, section + 6 * k);
            folded(s, q, 2 * k * step, section + 6 * k + 2);
            folded(s, q, 3 * k * step, section + 6 * k + 4);
        }
        // ... then each group of four entries rewritten in place as six
        // vectors: value v of entry 4g+j goes to lane j of vector v.
        for (float* group = section; group != section + 6 * quarter; group += 24) {
            float entries[24];
            for (int i = 0; i < 24; ++i) entries[i] = group[i];
            for (int v = 0; v < 6; ++v)
                for (int j = 0; j < 4; ++j) group[4 * v + j] = entries[6 * j + v];
        }
        section += 6 * quarter;  // 6M bytes
    }
}

}  // namespace qel::simd
