// SPDX-License-Identifier: MIT
// The fill loop of the x87 builds' qelsbSet in 32-bit integer stores, first
// element first: 16 per step, then pairs, then the odd one. Included by
// kernels/x87/arith_f6.cpp and arith_f5.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace qel::x87 {

[[gnu::always_inline]] inline void storeWord(float* at, std::uint32_t bits) { std::memcpy(at, &bits, sizeof bits); }

// Sixteen stores in a row, written out (a compiler folds a loop of them
// back into one store per iteration).
template <std::size_t... K>
[[gnu::always_inline]] inline void store16(float* at, std::uint32_t bits, std::index_sequence<K...>) {
    (storeWord(at + K, bits), ...);
}

[[gnu::always_inline]] inline void fillWords(std::uint32_t bits, float* dst, std::size_t n) {
    float* at = dst;
    for (; n >= 16; n -= 16, at += 16) store16(at, bits, std::make_index_sequence<16>{});
    for (; n >= 2; n -= 2, at += 2) {
        storeWord(at, bits);
        storeWord(at + 1, bits);
    }
    if (n != 0) storeWord(at, bits);
}

}  // namespace qel::x87
