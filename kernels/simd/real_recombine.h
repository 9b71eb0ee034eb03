// SPDX-License-Identifier: MIT
// The streaming-SIMD real FFT pieces: the paired-vector real twiddle table
// and the four-pairs-per-step recombination of the half-length transform.
// Linked by ZentavolS2 (qel::sse2) and ZentavolS1 (qel::sse).
#pragma once

#include "zentavol.h"

namespace qel::simd {

// Real twiddle table of order L (n = 2^L), from the quarter sine table s of
// order L, with A(m) = s[n/4 - m]/2 and B(m) = 1/2 - s[m]/2 rounded once to
// float. L <= 3: the pairs (A(m), B(m)), m = 0..n/4-1, in a 16-byte block.
// L >= 4: n/16 groups of 32 bytes, four A then four B, lane j of group g
// belonging to m = 4g+1+j (so m = 1..n/4; the last lane is A = B = 0).
void fillRealTwiddles(SComplex* table, const float* s, int order);

}  // namespace qel::simd

// Turns Z[1..N-1], the N-point transform of the packed real input, into the
// real spectrum's X[1..N-1] in place, in single precision; z[0] and z[N] are
// not touched. twd: the real table of order log2(2N) from fillRealTwiddles.
// direction > 0 forward, otherwise inverse. The two builds compute the same
// operations on the same values and give the same bits.
namespace qel::sse2 {
void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd);
}
namespace qel::sse {
void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd);
}
// x86-64 only: eight pairs per step for N >= kRecombineMinLength on a
// processor with AVX, the same bits as the builds' own.
namespace qel::avx {
inline constexpr int kRecombineMinLength = 16;
void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twd);
}  // namespace qel::avx
