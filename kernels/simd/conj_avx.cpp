// SPDX-License-Identifier: MIT
// The conjugate extension of the streaming builds on x86-64 with AVX: the
// walk of the integer moves (kernels/generic/conj_words.cpp) four elements at a time.
// Only moves, a reversal of 8-byte elements and an exclusive-or of the
// imaginary parts' sign bits: every other bit arrives as it was, a
// signalling NaN too, as through the integer moves. Sources (1 .. n-2) and
// destinations (n .. 2n-3) never overlap, so the order of the moves is free.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstdint>

#include "kernels/generic/conj_words.h"
#include "kernels/simd/vector_sse.h"

namespace qel::avx {

namespace {

// vec[k .. k+3] conjugated, in reverse order, to to[-3 .. 0].
inline void conjFour(const SComplex* from, SComplex* to, __m256 signs) {
    const __m256 v = _mm256_loadu_ps(reinterpret_cast<const float*>(from));
    // (c0 c1 | c2 c3) -> (c2 c3 | c0 c1) -> (c3 c2 | c1 c0).
    const __m256 swapped = _mm256_permute2f128_ps(v, v, 1);
    const __m256 reversed = _mm256_permute_ps(swapped, _MM_SHUFFLE(1, 0, 3, 2));
    _mm256_storeu_ps(reinterpret_cast<float*>(to - 3), _mm256_xor_ps(reversed, signs));
}

}  // namespace

void conjExtend(SComplex* vec, int n) {
    // The sign bits of the imaginary parts, the odd lanes.
    const __m256 signs = _mm256_setr_ps(0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f);
    const SComplex* from = vec + 1;
    const SComplex* const last = vec + (n - 2);  // the last source, inclusive
    SComplex* to = vec + (n - 1) + (n - 2);      // element 2n-3
    // Up to three singles first, so that the stores are 32-byte aligned
    // where the vector is 8-byte aligned: a store across two cache lines
    // costs twice.
    if ((reinterpret_cast<std::uintptr_t>(vec) & 7u) == 0)
        for (; from <= last && (reinterpret_cast<std::uintptr_t>(to + 1) & 31u) != 0; ++from, --to)
            generic::words::conjMove(from, to);
    for (; last - from >= 7; from += 8, to -= 8) {
        conjFour(from, to, signs);
        conjFour(from + 4, to - 4, signs);
    }
    for (; last - from >= 3; from += 4, to -= 4) conjFour(from, to, signs);
    for (; from <= last; ++from, --to) generic::words::conjMove(from, to);
}

}  // namespace qel::avx

#endif
