// The FFT kernels: the drivers every build shares (decimation in time and in
// frequency, their radix-2 stages over the big table) and the generic
// build's block kernels and bit-reversal moves, which a build may replace
// with its own in variants/<code>/variant.h.
#pragma once

#include <cstdint>

#include "zentavol.h"

namespace qel::fft {

// In-place unscaled DFT of n = 2^L values, bit-reversed input, natural
// output. direction > 0: forward (e^(-2*pi*i*j*k/n)); otherwise inverse.
// twiddles: getDitTwiddles of the order.
void cFftDit(SComplex* data, int n, int direction, const SComplex* twiddles);

// Radix-2 DIT stages, half-span startLen up to len/2, joining pieces of
// startLen points that are already transformed. chunk/2 butterflies of a
// quarter are taken across all groups before the next chunk.
void cFftDitCombine(SComplex* data, int len, int startLen, const SComplex* twiddles, int fullN,
                    int direction, int chunk);

// In-place unscaled DFT, natural input, bit-reversed output; twiddles:
// getDifTwiddles of the order.
void cFftDif(SComplex* data, int n, int direction, const SComplex* twiddles);

// Radix-2 DIF stages, half-span len/2 down to stopLen: the mirror of
// cFftDitCombine.
void cFftDifSplit(SComplex* data, int len, int stopLen, const SComplex* twiddles, int fullN,
                  int direction, int chunk);

}  // namespace qel::fft

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
// Both move 32-bit words, so every value arrives bit for bit.
void bitRevPermute(SComplex* data, int n, const std::int32_t* table);
void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table);

// Turns Z[1..N-1], the N-point transform of the packed real input, into the
// real spectrum's X[1..N-1] in place; Z[0] and X[N] are the caller's. The
// table is getRealTwiddles of the real order log2(2N).
void realFftRecombine(SComplex* z, int N, int direction, const SComplex* twiddles);

}  // namespace qel::generic
