// SPDX-License-Identifier: MIT
// The decimation-in-time driver: one block-kernel call up to the build's
// block limit, otherwise blocks combined by radix-2 stages in superblocks
// that stay in cache, then the stages across superblocks. Builds whose block
// kernels take a scratch area get the one of slot 3 for data that are not
// 16-byte aligned. Shared by every variant library.
#include <algorithm>
#include <cstdint>

#include "fft/combine_doubles.h"
#include "fft/driver.h"
#include "fft/tables.h"
#include "fft/xcomplex.h"
#include "runtime/diagnostics.h"
#include "variant.h"

namespace qel::fft {

namespace {

constexpr int kBlockOrder = variant::kFftBlockOrder;
constexpr int kBlock = 1 << kBlockOrder;
constexpr int kSuperblock = variant::kFftSuperblockLength;
constexpr bool kScratch = variant::kFftScratchLength > 0;
static_assert(!kScratch || variant::kFftScratchLength >= kBlock,
              "the entries' scratch buffer must hold a whole block");

// A template so that only the kernel signature of the build is checked.
template <typename Complex>
void blockKernel(Complex* data, int n, int direction, const Complex* twiddles) {
    if constexpr (kScratch) {
        // The entries made sure of a buffer of at least a block: this never
        // allocates.
        const bool aligned = reinterpret_cast<std::uintptr_t>(data) % 16 == 0;
        SComplex* work = aligned ? nullptr : getWorkBuffer(n, kFftWorkBufferSlot);
        if (direction > 0)
            variant::cFftDitBlockFwd(data, n, twiddles, work);
        else
            variant::cFftDitBlockInv(data, n, twiddles, work);
    } else {
        if (direction > 0)
            variant::cFftDitBlockFwd(data, n, twiddles);
        else
            variant::cFftDitBlockInv(data, n, twiddles);
    }
}

// A second pointer to the same value that the optimiser cannot see through.
template <typename T>
inline T* secondView(T* p) {
    asm("" : "+r"(p));
    return p;
}

// The butterflies j = c0..c1-1 of one quarter of one group: a = y[j],
// b = z[j], t = b * v_j, a' = a + t, b' = a - t. v_j is table[j * step]
// (conjugated for the inverse) in the first quarter and that value turned by
// -i (+i for the inverse) in the second; each form is written out with the
// table's own components, which gives the bits of the product with the turned
// twiddle: the products of floats are exact and x - (-y) is x + y. The loop has
// no branch on the quarter.
//
// An x87 operation overwrites its top operand, so a value kept on the stack
// for two uses costs a register copy or an exchange, and those, not the
// arithmetic, set the pace. Here every operand is read from memory for each
// use: t's real and imaginary parts read b and the twiddle through separate
// views, and b' is stored before a' is formed, so a is read again. The four
// stores go one float at a time, which also keeps compilers from packing them
// into a vector register through memory. Out of line, the loop has the
// registers to itself; inlined into the stage's loops it reloaded its
// stride from the stack every butterfly.
template <bool Fwd, bool SecondQuarter, bool Prefetch>
__attribute__((noinline)) void ditRun(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1) {
    for (int j = c0; j < c1; ++j) {
        if constexpr (Prefetch) {
            // Each step of two butterflies asks for the next step's values
            // (top half 16 bytes ahead, bottom half 32) and its twiddles,
            // not to be kept in the cache beyond their use.
            if (((j - c0) & 1) == 0) {
                __builtin_prefetch(&y[j + 2], 1, 0);
                __builtin_prefetch(&z[j + 4], 1, 0);
                __builtin_prefetch(&table[(j + 2) * step], 0, 0);
                __builtin_prefetch(&table[(j + 3) * step], 0, 0);
            }
        }
        const SComplex* w = &table[j * step];
        const SComplex* w2 = secondView(w);
        const SComplex* b = &z[j];
        const SComplex* b2 = secondView(b);
        // For t's imaginary part, then (with the 2s) for its real part.
        const long double wr = w->re, wi = w->im, br = b->re, bi = b->im;
        const long double wr2 = w2->re, wi2 = w2->im, br2 = b2->re, bi2 = b2->im;
        long double ti;
        long double tr;
        if constexpr (!SecondQuarter && Fwd) {  // b * w
            ti = br * wi + bi * wr;
            tr = br2 * wr2 - bi2 * wi2;
        } else if constexpr (!SecondQuarter) {  // b * conj(w)
            ti = bi * wr - br * wi;
            tr = br2 * wr2 + bi2 * wi2;
        } else if constexpr (Fwd) {  // b * (-i * w)
            ti = bi * wi - br * wr;
            tr = br2 * wi2 + bi2 * wr2;
        } else {  // b * (+i * conj(w))
            ti = br * wr + bi * wi;
            tr = br2 * wi2 - bi2 * wr2;
        }
        z[j].re = static_cast<float>(y[j].re - tr);
        y[j].re = static_cast<float>(y[j].re + tr);
        z[j].im = static_cast<float>(y[j].im - ti);
        y[j].im = static_cast<float>(y[j].im + ti);
    }
}

// One radix-2 stage of half-span h over len values, chunk by chunk: the
// quarter [0, h/2) is cut into chunks of `per` butterflies; for each chunk
// every group takes the chunk's first-quarter butterflies, then the matching
// second-quarter ones, so a chunk of twiddles is fetched once per stage.
template <bool Fwd>
void ditStage(SComplex* x, int len, int h, const SComplex* table, int step, int per) {
    constexpr bool kPrefetch = variant::kFftCombinePrefetch;
    const int quarter = h / 2;
    for (int c0 = 0; c0 < quarter; c0 += per) {
        const int c1 = std::min(c0 + per, quarter);
        for (int g = 0; g < len; g += 2 * h) {
            SComplex* y = x + g;
            ditRun<Fwd, false, kPrefetch>(y, y + h, table, step, c0, c1);
            ditRun<Fwd, true, kPrefetch>(y + quarter, y + quarter + h, table, step, c0, c1);
        }
    }
}

// ditStage through the doubles.
template <bool Fwd>
void doublesStage(SComplex* x, int len, int h, const SComplex* table, int step, int per, bool filter,
                  CombineCounts* counts) {
    constexpr bool kPrefetch = variant::kFftCombinePrefetch;
    pacedStage<combineDoubles<Fwd, false>, combineDoubles<Fwd, true>, ditRun<Fwd, false, kPrefetch>,
               ditRun<Fwd, true, kPrefetch>, prepareTwiddles<Fwd>>(x, len, h, table, step, per, filter,
                                                                  wideDoubleKernels(), counts);
}

// Doubles false: the build has only the x87 stages, and the doubles' code is
// not even instantiated.
template <bool Doubles>
CombinePath chosenPath() {
    if constexpr (Doubles) {
        if (!qel::referencePaths() && wideDoubleKernels() && defaultFloatModes()) return CombinePath::doubles;
    }
    return CombinePath::x87;
}

template <bool Doubles>
void combineStages(CombinePath path, SComplex* data, int len, int startLen, const SComplex* table, int period,
                   int direction, int per, CombineCounts* counts) {
    if constexpr (Doubles) {
        if (path != CombinePath::x87) {
            const bool filter = path == CombinePath::doubles;
            for (int h = startLen; h <= len / 2; h *= 2) {
                if (direction > 0)
                    doublesStage<true>(data, len, h, table, period / (2 * h), per, filter, counts);
                else
                    doublesStage<false>(data, len, h, table, period / (2 * h), per, filter, counts);
            }
            return;
        }
    }
    for (int h = startLen; h <= len / 2; h *= 2) {
        if (direction > 0)
            ditStage<true>(data, len, h, table, period / (2 * h), per);
        else
            ditStage<false>(data, len, h, table, period / (2 * h), per);
    }
}

}  // namespace

void cFftDit(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (n <= 2) {
        if (n == 2) twoPoint(data);
        return;
    }
    if (n <= kBlock) return blockKernel(data, n, direction, twiddles);
    // The block-order table exists: the caller's table build made it first.
    const SComplex* blockTable = getDitTwiddles(kBlockOrder);
    const int block = std::min(n, kSuperblock);
    constexpr int chunk = variant::kFftCombineChunk;
    for (int s = 0; s < n; s += block) {
        for (int p = s + block - kBlock; p >= s; p -= kBlock)
            blockKernel(data + p, kBlock, direction, blockTable);
        cFftDitCombine(data + s, block, kBlock, twiddles, n, direction, chunk);
    }
    if (n > block) cFftDitCombine(data, n, block, twiddles, n, direction, chunk);
}

// Stages inside a superblock of a larger transform read the appended part of
// the big table, the superblock's own roots, so the stride through the table
// stays small; the outer stages read the first part with period fullN.
void cFftDitCombine(SComplex* data, int len, int startLen, const SComplex* twiddles, int fullN,
                    int direction, int chunk) {
    cFftDitCombineOn(chosenStagePath(), data, len, startLen, twiddles, fullN, direction, chunk);
}

void cFftDitCombineOn(CombinePath path, SComplex* data, int len, int startLen, const SComplex* twiddles,
                      int fullN, int direction, int chunk, CombineCounts* counts) {
    const bool appended = fullN > kSuperblock && startLen < kSuperblock;
    const SComplex* table = appended ? twiddles + fullN / 4 : twiddles;
    const int period = appended ? kSuperblock : fullN;
    combineStages<kDoubleCombine>(path, data, len, startLen, table, period, direction, chunk / 2, counts);
}

CombinePath chosenStagePath() { return chosenPath<kDoubleCombine>(); }

void chooseStagePaths() {
    if constexpr (kDoubleCombine) chooseDoubleKernels();
}

}  // namespace qel::fft
