// SPDX-License-Identifier: MIT
// The radix-2 combining butterflies in doubles (SSE2, or AVX2 where the
// processor has it), bit for bit those of the x87 loop (fft/dit.cpp), which
// stays the reference and takes whatever these cannot prove. Only where SSE2
// is the target's baseline (kDoubleCombine).
#pragma once

#include <cstdint>

#include "zentavol.h"

// x86-64 has SSE2 in every processor; the 32-bit builds keep their x87 stages
// and their instruction sets.
#if defined(__x86_64__)
#define QEL_FFT_DOUBLE_COMBINE 1
#else
#define QEL_FFT_DOUBLE_COMBINE 0
#endif

namespace qel::fft {

inline constexpr bool kDoubleCombine = QEL_FFT_DOUBLE_COMBINE != 0;

// The most butterflies one call of combineDoubles takes: one bit per pair in
// the returned word.
inline constexpr int kDoubleRunLimit = 128;

// The butterflies j = c0..c1-1 (c1 - c0 <= kDoubleRunLimit) of the run that
// ditRun<Fwd, SecondQuarter> would compute (four at a time with AVX2, else
// two). A pair whose four
// results are all proven equal to the x87 ones is stored; the others are left
// untouched and their bit (i for the pair at c0 + 2i; an odd last butterfly
// counts as a pair) is set in the result, for the caller to run through the
// x87 loop. filter false trusts every double result: tests only, to show
// that the filter is needed.
template <bool Fwd, bool SecondQuarter>
std::uint64_t combineDoubles(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1,
                             bool filter);

// Picks the kernels once, at process attach: AVX2 where the processor has it
// and the system saves its registers, else SSE2.
void chooseDoubleKernels();

// True when the AVX2 kernels are in use. Only they are faster than the x87
// loop (the SSE2 ones, two butterflies at a time, are not), so
// cFftDitCombine takes the doubles only then; the SSE2 ones finish the AVX2
// runs' last pairs.
bool wideDoubleKernels();

// Tests: the AVX2 kernels if wanted and available, the SSE2 ones otherwise;
// returns wideDoubleKernels().
bool useWideDoubleKernels(bool wanted);

// True when the x87 control word asks for 64-bit precision and rounding to
// nearest with every exception masked, and the SSE control register for
// rounding to nearest, every exception masked, no flush to zero and no
// denormals taken as zero: the modes the proof assumes.
bool defaultFloatModes();

}  // namespace qel::fft
