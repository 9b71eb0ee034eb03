// SPDX-License-Identifier: MIT
// The streaming-SIMD decimation-in-time block kernels and their stage-vector
// twiddle table: the qel::sse2 kernels with SSE2's 8-byte loads, the qel::sse
// ones without any SSE2 instruction, one table fill for both.
#pragma once

#include "zentavol.h"

namespace qel::simd {

// Stage-vector DIT table of order L in `table` (a block of 8n+32 bytes,
// 32-byte aligned) from the quarter sine table s of order L. One section per
// radix-4 stage size M = 16, 64, ... (even L) or 32, 128, ... (odd L) up to
// n: M/16 groups of 96 bytes, six vectors each (re and im of w^k, w^(2k),
// w^(3k), lane j for k = 4g+j, w = e^(-2*pi*i/M)). L <= 3: left unfilled.
void fillDitTwiddles(SComplex* table, const float* s, int order);

// Section start of stage size M, in floats from the table's start; the same
// for every order of M's parity.
constexpr int ditSectionOffset(int M) {
    const int first = (M & 0x55555555) != 0 ? 16 : 32;  // M = 4^j*16 or 4^j*32
    return (M - first) / 2;
}

}  // namespace qel::simd

// In-place unscaled DFT of n = 2^L values, 4 <= n <= the block limit,
// bit-reversed input, natural output (forward e^(-2*pi*i*j*k/n), inverse
// e^(+2*pi*i*j*k/n)). twd: the stage-vector table of order L. work: null
// when data is 16-byte aligned, otherwise a 16-byte aligned area of n
// values that the kernel works in between reading and writing data. n < 4
// does nothing; n = 4 reads neither twd nor work.
namespace qel::sse2 {  // block limit 16384
inline constexpr int kDitBlockLimit = 16384;
void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work);
void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work);
}  // namespace qel::sse2

namespace qel::sse {  // block limit 1024, no SSE2 instruction
inline constexpr int kDitBlockLimit = 1024;
void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work);
void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work);
}  // namespace qel::sse

// x86-64 only: the 256-bit kernels of both streaming builds, the same bits
// as theirs, for n >= kDitMinPoints on a processor with AVX (which the
// build's own kernels leave to these where qel::wideBlockKernels() says so).
namespace qel::avx {
inline constexpr int kDitMinPoints = 32;
void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twd, SComplex* work);
void cFftDitBlockInv(SComplex* data, int n, const SComplex* twd, SComplex* work);
}  // namespace qel::avx
