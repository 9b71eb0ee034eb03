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

// The two implementations of those stages: the x87 loop, the reference, and
// on x86-64 doubles that hand to the x87 loop every butterfly whose result
// they cannot prove equal (fft/combine_doubles.h; elsewhere the doubles are
// the x87 loop). doublesUnfiltered trusts every double result: for tests,
// which show the proof is needed.
enum class CombinePath { x87, doubles, doublesUnfiltered };

// Butterfly pairs the doubles took, and those of them left to the x87 loop.
struct CombineCounts {
    long long pairs = 0;
    long long fallbacks = 0;
};

void cFftDitCombineOn(CombinePath path, SComplex* data, int len, int startLen, const SComplex* twiddles,
                      int fullN, int direction, int chunk, CombineCounts* counts = nullptr);

// The path cFftDitCombine takes: the doubles where they are
// faster (the AVX2 kernels), unless the reference switch is on or the
// caller's floating-point modes are not the defaults; else the x87 loop.
CombinePath chosenStagePath();

// Run at process attach, before any other thread can run the library: picks
// the doubles' kernels for the processor. The diagnostic switch
// (qel::referencePaths, runtime/diagnostics.h) sends every stage through its
// reference path.
void chooseStagePaths();

// In-place unscaled DFT, natural input, bit-reversed output; twiddles:
// getDifTwiddles of the order. Only in the builds with a DIF kernel.
void cFftDif(SComplex* data, int n, int direction, const SComplex* twiddles);

// Radix-2 DIF stages, half-span len/2 down to stopLen: the mirror of
// cFftDitCombine, in the x87 unit only. Its sums of two floats may be
// compiled to single-precision SSE additions, whose operand order (which
// decides the NaN a sum of two NaNs keeps) is the compiler's: no doubles'
// path could reproduce that choice, so these stages have none.
void cFftDifSplit(SComplex* data, int len, int stopLen, const SComplex* twiddles, int fullN,
                  int direction, int chunk);

}  // namespace qel::fft
