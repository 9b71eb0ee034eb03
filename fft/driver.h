// SPDX-License-Identifier: MIT
// The FFT drivers every build shares: decimation in time over the build's
// block kernel, and (in the builds that have one) decimation in frequency,
// with their radix-2 stages over the big table. Limits and kernels come from
// the build's variant.h.
#pragma once

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
// getDifTwiddles of the order. Only in the builds with a DIF kernel.
void cFftDif(SComplex* data, int n, int direction, const SComplex* twiddles);

// Radix-2 DIF stages, half-span len/2 down to stopLen: the mirror of
// cFftDitCombine.
void cFftDifSplit(SComplex* data, int len, int stopLen, const SComplex* twiddles, int fullN,
                  int direction, int chunk);

}  // namespace qel::fft
