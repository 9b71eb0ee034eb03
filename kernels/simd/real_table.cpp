// SPDX-License-Identifier: MIT
// The real twiddle table of the streaming-SIMD builds: the generic pair
// layout up to order 3, the paired-vector layout (four A, four B per 32-byte
// group) from order 4.
#include <cstdint>

#include "kernels/simd/real_recombine.h"

namespace qel::simd {

namespace {

// Both halves from the float entries of S in extended precision, rounded
// once: 0.5*S is exact and 0.5 - 0.5*S needs at most 51 bits, so neither
// depends on the precision the x87 unit is set to.
float halfCos(const float* s, std::int32_t q, std::int32_t m) {
    return static_cast<float>(0.5L * static_cast<long double>(s[q - m]));
}

float halfOneMinusSin(const float* s, std::int32_t m) {
    return static_cast<float>(0.5L - 0.5L * static_cast<long double>(s[m]));
}

}  // namespace

void fillRealTwiddles(SComplex* table, const float* s, int order) {
    if (order < 2) return;
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    if (order <= 3) {
        for (std::int32_t m = 0; m < q; ++m) table[m] = {halfCos(s, q, m), halfOneMinusSin(s, m)};
        return;
    }
    // The recombination reads lanes k = 4g+1..4g+4 of group g, k = n/4 being
    // the middle value whose result it discards. A group is four SComplex
    // slots: A(k), A(k+1) | A(k+2), A(k+3) | B(k), B(k+1) | B(k+2), B(k+3).
    for (std::int32_t k = 1; k <= q; k += 4, table += 4) {
        table[0] = {halfCos(s, q, k), halfCos(s, q, k + 1)};
        table[1] = {halfCos(s, q, k + 2), halfCos(s, q, k + 3)};
        table[2] = {halfOneMinusSin(s, k), halfOneMinusSin(s, k + 1)};
        table[3] = {halfOneMinusSin(s, k + 2), halfOneMinusSin(s, k + 3)};
    }
}

}  // namespace qel::simd
