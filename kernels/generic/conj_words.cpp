// SPDX-License-Identifier: MIT
// The complex vectors' integer moves: no floating-point instruction touches
// the values.
#include "kernels/generic/conj_words.h"

#include <cstddef>

namespace qel::generic::words {

namespace {

// Two real parts joined into one 8-byte word where the machine has 64-bit
// registers (two word stores in the 32-bit build).
[[gnu::always_inline]] inline void copyTwoReals(const SComplex* src, float* dst, std::size_t i) {
    std::uint32_t a;
    std::uint32_t b;
    std::memcpy(&a, &src[i].re, sizeof a);
    std::memcpy(&b, &src[i + 1].re, sizeof b);
    const std::uint64_t both = a | std::uint64_t{b} << 32;
    std::memcpy(dst + i, &both, sizeof both);
}

// Written out: a loop over k is left rolled by the compiler.
[[gnu::always_inline]] inline void copyEightReals(const SComplex* src, float* dst, std::size_t i) {
    copyTwoReals(src, dst, i);
    copyTwoReals(src, dst, i + 2);
    copyTwoReals(src, dst, i + 4);
    copyTwoReals(src, dst, i + 6);
}

}  // namespace

void realParts(const SComplex* src, float* dst, int n) {
    const std::size_t count = static_cast<std::size_t>(n);
    std::size_t i = 0;
    if (count > 8) {
        for (; count - i >= 16; i += 16) {
            copyEightReals(src, dst, i);
            copyEightReals(src, dst, i + 8);
        }
        if (count - i >= 8) {
            copyEightReals(src, dst, i);
            i += 8;
        }
    }
    for (; count - i >= 2; i += 2) copyTwoReals(src, dst, i);
    if (i < count) std::memcpy(dst + i, &src[i].re, sizeof(float));
}

void conjExtend(SComplex* vec, int n) {
    // Pointers, not indices: the last destination 2n-3 does not fit an int
    // for the largest counts.
    const SComplex* from = vec + 1;
    const SComplex* const last = vec + (n - 2);  // the last source, inclusive
    SComplex* to = vec + (n - 1) + (n - 2);      // element 2n-3
    for (; last - from >= 3; from += 4, to -= 4) {
        conjMove(from, to);
        conjMove(from + 1, to - 1);
        conjMove(from + 2, to - 2);
        conjMove(from + 3, to - 3);
    }
    for (; from <= last; ++from, --to) conjMove(from, to);
}

}  // namespace qel::generic::words
