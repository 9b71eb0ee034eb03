// SPDX-License-Identifier: MIT
// The complex vectors' integer moves: the conjugate extension behind
// qelcbConjExtend1 of every build but the generic one, and the real parts
// behind qelcbReal of every build (the streaming builds' 256-bit forms where
// the processor has AVX). No floating-point instruction touches a value.
#pragma once

#include <cstdint>
#include <cstring>

#include "zentavol.h"

namespace qel::generic::words {
// vec[2n-2-k] = conj(vec[k]) for k = 1 .. n-2, n > 2: sources ascending,
// four per step, destinations descending from 2n-3; the sign bit flipped as
// an integer, so every bit else arrives as it was (a signalling NaN too).
void conjExtend(SComplex* vec, int n);

// dst[i] = src[i].re for i = 0 .. n-1, n >= 1, as integers, so a NaN keeps
// its payload and a signalling one stays signalling.
void realParts(const SComplex* src, float* dst, int n);

// One element conjugated as one 64-bit word (two 32-bit ones in the 32-bit
// build): the imaginary part is its high half.
inline void conjMove(const SComplex* from, SComplex* to) {
    std::uint64_t w;
    std::memcpy(&w, from, sizeof w);
    w ^= std::uint64_t{0x80000000u} << 32;
    std::memcpy(to, &w, sizeof w);
}
}  // namespace qel::generic::words
