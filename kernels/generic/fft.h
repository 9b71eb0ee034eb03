// SPDX-License-Identifier: MIT
// The generic family of FFT kernels (the reference): the
// straight-line DIT and split-radix DIF block kernels, the bit-reversal
// moves, the real-FFT recombination and the fills of the tables they read.
// A build names the ones it uses in variants/<code>/variant.h.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::generic {

// Straight-line radix-4 DIT kernels, 4 <= n <= 1024, the order's DIT table.
void cFftDitBlockFwd(SComplex* data, int n, const SComplex* twiddles);
void cFftDitBlockInv(SComplex* data, int n, const SComplex* twiddles);

// Split-radix DIF for n <= 1024 with the order's DIF table: n = 2 and 4
// inline, n >= 8 through the two direction kernels.
void cFftDifBlock(SComplex* data, int n, int direction, const SComplex* twiddles);
void cFftDifBlockFwd(SComplex* data, int n, const SComplex* twiddles);
void cFftDifBlockInv(SComplex* data, int n, const SComplex* twiddles);

// Bit-reversal permutation in place (n >= 4, the table of order log2 n), and
// the bit-reversed copy of N pairs for the real FFT (table read for N >= 8).
// Both move integer words, so every value arrives bit for bit.
void bitRevPermute(SComplex* data, int n, const std::int32_t* table);
void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table);

// Turns Z[1..N-1], the N-point transform of the packed real input, into the
// real spectrum's X[1..N-1] in place; Z[0] and X[N] are the caller's. The
// table is getRealTwiddles of the real order log2(2N).
void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twiddles);

// Table fills from the quarter sine table s of the order:
// DIT: entry k = w^k, w^(2k), w^(3k), k = 0..n/4 (24 bytes each);
// DIF: the entry of k at position k-1 = w^k, w^(3k), k = 1..n/4-1;
// real: (cos(t)/2, (1 - sin(t))/2), t = 2*pi*k/n, k = 0..n/4-1.
void fillDitTwiddles(SComplex* table, const float* s, int order);
void fillDifTwiddles(SComplex* table, const float* s, int order);
void fillRealTwiddles(SComplex* table, const float* s, int order);

// Bytes of the DIT table of an order: n/4 + 1 entries of 24 bytes.
constexpr std::int64_t ditTableBytes(int order) { return ((std::int64_t{1} << order) / 4 + 1) * 24; }

}  // namespace qel::generic
