// SPDX-License-Identifier: MIT
// The conjugate extension and the real parts of the streaming builds on
// x86-64 with AVX: the walks of the integer moves
// (kernels/generic/conj_words.cpp) four and eight elements at a time.
// Only moves, shuffles of whole words and an exclusive-or of the imaginary
// parts' sign bits: none of them is a floating-point operation, so every
// other bit arrives as it was, a signalling NaN too, as through the integer
// moves. In the extension sources (1 .. n-2) and destinations (n .. 2n-3)
// never overlap, and the real parts' source and destination must not, so
// the order of the moves is free.
#include "runtime/diagnostics.h"

#if QEL_WIDE_PATHS

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

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

// The real parts of src[0 .. 7] (16 floats w0..w15 from s), with 16-byte loads put
// together so that one in-lane shuffle picks the even words in order:
// [w0..w3 | w8..w11] and [w4..w7 | w12..w15] give [w0 w2 w4 w6 | w8 w10 w12 w14].
inline __m256 eightReals(const float* s) {
    const __m256 a = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(s)), _mm_loadu_ps(s + 8), 1);
    const __m256 b = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(s + 4)), _mm_loadu_ps(s + 12), 1);
    return _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
}

inline void oneReal(const SComplex* src, float* dst, std::ptrdiff_t i) {
    std::memcpy(dst + i, &src[i].re, sizeof(float));
}

}  // namespace

void realParts(const SComplex* src, float* dst, int n) {
    const std::ptrdiff_t count = n;
    const float* const s = reinterpret_cast<const float*>(src);
    std::ptrdiff_t i = 0;
    // Up to seven singles first, so that the stores are 32-byte aligned
    // where dst is 4-byte aligned: a store across two cache lines costs
    // twice. The loads are 16 bytes each and left unaligned. Stores through
    // the cache at every length: streaming ones measured no faster at 4 Mi
    // elements.
    if ((reinterpret_cast<std::uintptr_t>(dst) & 3u) == 0) {
        for (; i < count && (reinterpret_cast<std::uintptr_t>(dst + i) & 31u) != 0; ++i) oneReal(src, dst, i);
        for (; count - i >= 16; i += 16) {
            _mm256_store_ps(dst + i, eightReals(s + 2 * i));
            _mm256_store_ps(dst + i + 8, eightReals(s + 2 * i + 16));
        }
    }
    for (; count - i >= 8; i += 8) _mm256_storeu_ps(dst + i, eightReals(s + 2 * i));
    for (; i < count; ++i) oneReal(src, dst, i);
}

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
