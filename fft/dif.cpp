// SPDX-License-Identifier: MIT
// The decimation-in-frequency driver and its table: split-radix blocks up to
// the DIF block order, otherwise radix-2 stages over the big table, outermost
// first, then each superblock's stages and its blocks. Linked by the builds
// with a DIF kernel (named in their rows).
#include <algorithm>
#include <cstdint>

#include "fft/combine_doubles.h"
#include "fft/driver.h"
#include "fft/tables.h"
#include "fft/xcomplex.h"
#include "variant.h"

namespace qel::fft {

namespace {

constexpr int kBlockOrder = variant::kDifBlockOrder;
constexpr int kBlock = 1 << kBlockOrder;
constexpr int kSuperblock = variant::kFftSuperblockLength;

// The split butterflies j = c0..c1-1 of one quarter of one group (the
// butterfly of difStage). Out of line, so that the doubles' fallbacks run
// the very code of the stage: NaNs then come out of both alike (the
// compiler takes a' = a + b, rounded to float, to single-precision SSE
// where it has it, and the operand order it picks decides which NaN a sum
// keeps).
template <bool Fwd, bool SecondQuarter>
__attribute__((noinline)) void difRun(SComplex* y, SComplex* z, const SComplex* table, int step, int c0, int c1) {
    for (int j = c0; j < c1; ++j) {
        const SComplex w = table[j * step];
        const SComplex v = SecondQuarter ? quarterTwiddle<Fwd>(w) : dirTwiddle<Fwd>(w);
        const XComplex p = load(y[j]);
        const XComplex q = load(z[j]);
        store(y[j], p + q);
        store(z[j], mul(p - q, v));
    }
}

// The mirror of the DIT stage: a' = a + b, b' = (a - b) * v, the same
// twiddles and the same chunked loop order. Where the doubles exist, run by
// run through difRun; elsewhere as one loop.
template <bool Fwd>
void difStage(SComplex* x, int len, int h, const SComplex* table, int step, int per) {
    if constexpr (kDoubleCombine) {
        const int quarter = h / 2;
        for (int c0 = 0; c0 < quarter; c0 += per) {
            const int c1 = std::min(c0 + per, quarter);
            for (int g = 0; g < len; g += 2 * h) {
                SComplex* y = x + g;
                difRun<Fwd, false>(y, y + h, table, step, c0, c1);
                difRun<Fwd, true>(y + quarter, y + quarter + h, table, step, c0, c1);
            }
        }
    } else {
        chunkedStage<Fwd>(x, len, h, table, step, per, [](SComplex& a, SComplex& b, SComplex v) {
            const XComplex p = load(a);
            const XComplex q = load(b);
            store(a, p + q);
            store(b, mul(p - q, v));
        });
    }
}

// difStage through the doubles.
template <bool Fwd>
void splitStage(SComplex* x, int len, int h, const SComplex* table, int step, int per, bool filter,
                CombineCounts* counts) {
    pacedStage<splitDoubles<Fwd, false>, splitDoubles<Fwd, true>, difRun<Fwd, false>, difRun<Fwd, true>>(
        x, len, h, table, step, per, filter, counts);
}

template <bool Doubles>
void splitStages(CombinePath path, SComplex* data, int len, int stopLen, const SComplex* table, int period,
                 int direction, int per, CombineCounts* counts) {
    if constexpr (Doubles) {
        if (path != CombinePath::x87) {
            const bool filter = path == CombinePath::doubles;
            for (int h = len / 2; h >= stopLen; h /= 2) {
                if (direction > 0)
                    splitStage<true>(data, len, h, table, period / (2 * h), per, filter, counts);
                else
                    splitStage<false>(data, len, h, table, period / (2 * h), per, filter, counts);
            }
            return;
        }
    }
    for (int h = len / 2; h >= stopLen; h /= 2) {
        if (direction > 0)
            difStage<true>(data, len, h, table, period / (2 * h), per);
        else
            difStage<false>(data, len, h, table, period / (2 * h), per);
    }
}

bool validOrder(int order) { return order >= 0 && order <= kQelMaxOrder; }

}  // namespace

SComplex* getDifTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    if (order > kBlockOrder) {
        if (getDifTwiddles(kBlockOrder) == nullptr) return nullptr;
        return getBigTwiddles(order);
    }
    // (n + 1) / 2 pairs: room for the n/4 - 1 entries of two values.
    const std::int64_t n = std::int64_t{1} << order;
    return cachedTable(&QelContext::difTwiddleTables, order, (n + 1) / 2 * 8,
                       variant::fillDifTwiddles);
}

void releaseDifTwiddles(int order) {
    if (!validOrder(order)) return;
    releaseTable(&QelContext::difTwiddleTables, order);
    if (order > kBlockOrder) {
        releaseBigTwiddles(order);
        releaseDifTwiddles(kBlockOrder);
    }
}

void cFftDif(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (n <= 2) {
        if (n == 2) twoPoint(data);
        return;
    }
    if (n <= kBlock) return variant::cFftDifBlock(data, n, direction, twiddles);
    // The block-order table exists: the caller's table build made it first.
    const SComplex* blockTable = getDifTwiddles(kBlockOrder);
    const int block = std::min(n, kSuperblock);
    if (n > block) cFftDifSplit(data, n, block, twiddles, n, direction, variant::kFftCombineChunk);
    for (int s = 0; s < n; s += block) {
        cFftDifSplit(data + s, block, kBlock, twiddles, n, direction,
                     variant::kDifSuperblockChunk);
        for (int p = s + block - kBlock; p >= s; p -= kBlock)
            variant::cFftDifBlock(data + p, kBlock, direction, blockTable);
    }
}

void cFftDifSplit(SComplex* data, int len, int stopLen, const SComplex* twiddles, int fullN,
                  int direction, int chunk) {
    cFftDifSplitOn(chosenStagePath(), data, len, stopLen, twiddles, fullN, direction, chunk);
}

void cFftDifSplitOn(CombinePath path, SComplex* data, int len, int stopLen, const SComplex* twiddles, int fullN,
                    int direction, int chunk, CombineCounts* counts) {
    const bool appended = fullN > kSuperblock && stopLen < kSuperblock;
    const SComplex* table = appended ? twiddles + fullN / 4 : twiddles;
    const int period = appended ? kSuperblock : fullN;
    splitStages<kDoubleCombine>(path, data, len, stopLen, table, period, direction, chunk / 2, counts);
}

}  // namespace qel::fft
