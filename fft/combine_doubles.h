// SPDX-License-Identifier: MIT
// The radix-2 combining butterflies in doubles (SSE2, or AVX2 or AVX-512 F
// where the processor has it), bit for bit those of the x87 loop (fft/dit.cpp), which
// stays the reference and takes whatever these cannot prove. Only where SSE2
// is the target's baseline (kDoubleCombine).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "fft/driver.h"
#include "runtime/diagnostics.h"
#include "zentavol.h"

namespace qel::fft {

inline constexpr bool kDoubleCombine = kWidePaths;

// The most butterflies one call of combineDoubles takes: one bit per pair in
// the returned word.
inline constexpr int kDoubleRunLimit = 128;

// The twiddles of a chunk of butterflies in the form the AVX2 and AVX-512
// kernels multiply by, for each quarter: per four butterflies j..j+3 from
// the chunk's first, the real parts of v_j..v_j+3 each twice, then their
// imaginary parts each twice, the first of each two negated; v_j is the
// effective twiddle with the signs of the x87 loop's subtractions
// (storePrepared in combine_doubles.cpp). Every group of a stage uses the
// chunk's twiddles, so they are converted once per chunk rather than once
// per group and quarter; the doubles are the same either way. The kernels
// read and write it with unaligned accesses: the alignment only keeps the
// AVX-512 loads within cache lines, and a compiler need not honour it on the
// stack (mingw-w64's GCC does not realign stacks of 64-bit Windows code).
struct PreparedTwiddles {
    alignas(64) double first[4 * kDoubleRunLimit];
    alignas(64) double second[4 * kDoubleRunLimit];
};

// Fills `out` for the butterflies c0..c1-1 (c1 - c0 <= kDoubleRunLimit; the
// fours that lie below c1). AVX2 and AVX-512 kernels only.
template <bool Fwd>
void prepareTwiddles(const SComplex* table, int step, int c0, int c1, PreparedTwiddles& out);

// The butterflies j = c0..c1-1 (c1 - c0 <= kDoubleRunLimit) of the run that
// ditRun<Fwd, SecondQuarter> would compute: eight at a time with AVX-512 or
// four with AVX2 when `prepared` holds the run's twiddles from c0 on
// (prepareTwiddles), else two with SSE2 from the table. A pair whose four
// results are all proven equal to the x87 ones is stored; the others are left
// untouched and their bit (i for the pair at c0 + 2i; an odd last butterfly
// counts as a pair) is set in the result, for the caller to run through the
// x87 loop. filter false trusts every double result: tests only, to show
// that the filter is needed.
template <bool Fwd, bool SecondQuarter>
std::uint64_t combineDoubles(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1,
                             bool filter, const double* prepared);

// The kernels of the doubles, from the narrowest.
enum class DoubleKernels { sse2, avx2, avx512 };

// Picks the kernels once, at process attach: the widest the processor has
// and the system saves the registers of.
void chooseDoubleKernels();

// True when the AVX2 or AVX-512 kernels are in use. Only they are faster
// than the x87 loop (the SSE2 ones, two butterflies at a time, are not), so
// cFftDitCombine takes the doubles only then; narrower kernels finish the
// wider ones' runs.
bool wideDoubleKernels();

// Tests: the kernels wanted if available, else the widest available;
// returns those in use.
DoubleKernels useDoubleKernels(DoubleKernels wanted);

// Runs where most pairs fell back (NaNs, subnormals, large cancellation) make
// the next runs of the stage go straight to the x87 loop: 2 runs after a
// stage's first attempt fails, 16 after a second failure in a row, and
// after a third the rest of the stage takes the x87 loop (pacedStage). The
// first attempt and an attempt after a failure try a few butterflies first.
// Data the doubles cannot take (NaNs everywhere) then cost no measurable
// time beyond the x87 stage's: each paced run costs a little more than a
// plain x87 run, so the stage gives up after few of them.
struct Pace {
    int skip = 0;
    int backoff = 2;  // a stage's first attempt is a probe too
};
inline constexpr int kProbe = 8;
static_assert(kProbe % 8 == 0 && kDoubleRunLimit % 8 == 0);

// The butterflies c0..c1-1 of a run through Doubles (combineDoubles), in pieces of at most kDoubleRunLimit; each stretch of
// adjacent pairs left unproven goes to X87, the x87 loop of the same run, in
// one call. prepared: the run's prepared twiddles from c0 on, or null for the
// SSE2 kernels.
template <auto Doubles, auto X87>
void pacedRun(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1, bool filter,
              const double* prepared, Pace& pace, CombineCounts* counts) {
    long long pairs = 0;
    long long fallbacks = 0;
    if (pace.skip > 0) {
        --pace.skip;
        X87(y, z, table, step, c0, c1);
        pairs = fallbacks = (c1 - c0 + 1) / 2;
    } else {
        // Pieces through the doubles until one mostly falls back; what is
        // left then takes the x87 loop.
        int next = c0;
        for (int start = c0; start < c1; start = next) {
            next = std::min(start + (pace.backoff > 1 ? kProbe : kDoubleRunLimit), c1);
            // Pieces start a multiple of eight butterflies apart: whole fours
            // of the prepared twiddles.
            const double* piece = prepared != nullptr ? prepared + 4 * (start - c0) : nullptr;
            std::uint64_t left = Doubles(y, z, table, step, start, next, filter, piece);
            const int tried = (next - start + 1) / 2;
            const int failed = std::popcount(left);
            pairs += tried;
            fallbacks += failed;
            while (left != 0) {
                const int first = std::countr_zero(left);
                const int end = first + std::countr_one(left >> first);
                X87(y, z, table, step, start + 2 * first, std::min(start + 2 * end, next));
                left = end >= 64 ? 0 : left & (~std::uint64_t{0} << end);
            }
            if (2 * failed > tried) {
                pace.skip = pace.backoff;
                pace.backoff = std::min(8 * pace.backoff, 64);
                break;
            }
            pace.backoff = 1;
        }
        if (next < c1) {
            X87(y, z, table, step, next, c1);
            pairs += (c1 - next + 1) / 2;
            fallbacks += (c1 - next + 1) / 2;
        }
    }
    if (counts != nullptr) {
        counts->pairs += pairs;
        counts->fallbacks += fallbacks;
    }
}

// One stage of half-span h through the doubles, in the x87 stage's order:
// the quarter [0, h/2) in chunks of `per` (at most kDoubleRunLimit)
// butterflies, each chunk through every group, first quarter then second
// (First and Second: the doubles and x87 runs of each; Prepare: their
// twiddles for the AVX2 and AVX-512 kernels, prepared per chunk when
// `wide`). Once the
// attempts have kept failing (the pace's backoff at its top), the rest of the
// stage runs as the x87 stage does.
template <auto DoublesFirst, auto DoublesSecond, auto X87First, auto X87Second, auto Prepare>
void pacedStage(SComplex* x, int len, int h, const SComplex* table, int step, int per, bool filter, bool wide,
                CombineCounts* counts) {
    const int quarter = h / 2;
    per = std::min(per, kDoubleRunLimit);
    Pace pace;
    PreparedTwiddles prepared;
    for (int c0 = 0; c0 < quarter; c0 += per) {
        const int c1 = std::min(c0 + per, quarter);
        if (pace.backoff >= 64) {
            for (int g = 0; g < len; g += 2 * h) {
                SComplex* y = x + g;
                X87First(y, y + h, table, step, c0, c1);
                X87Second(y + quarter, y + quarter + h, table, step, c0, c1);
            }
            if (counts != nullptr) {
                const long long pairs = static_cast<long long>(len / (2 * h)) * 2 * ((c1 - c0 + 1) / 2);
                counts->pairs += pairs;
                counts->fallbacks += pairs;
            }
            continue;
        }
        if (wide) Prepare(table, step, c0, c1, prepared);
        const double* first = wide ? prepared.first : nullptr;
        const double* second = wide ? prepared.second : nullptr;
        for (int g = 0; g < len; g += 2 * h) {
            SComplex* y = x + g;
            pacedRun<DoublesFirst, X87First>(y, y + h, table, step, c0, c1, filter, first, pace, counts);
            pacedRun<DoublesSecond, X87Second>(y + quarter, y + quarter + h, table, step, c0, c1, filter, second,
                                               pace, counts);
        }
    }
}

}  // namespace qel::fft
