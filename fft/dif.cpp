// SPDX-License-Identifier: MIT
// The decimation-in-frequency driver and its table: split-radix blocks up to
// the DIF block order, otherwise radix-2 stages over the big table, outermost
// first, then each superblock's stages and its blocks.
#include <algorithm>
#include <cstdint>

#include "fft/driver.h"
#include "fft/tables.h"
#include "fft/xcomplex.h"
#include "variant.h"

namespace qel::fft {

namespace {

constexpr int kBlockOrder = variant::kDifBlockOrder;
constexpr int kBlock = 1 << kBlockOrder;
constexpr int kSuperblock = variant::kFftSuperblockLength;

// The mirror of the DIT stage: a' = a + b, b' = (a - b) * v, the same
// twiddles and the same chunked loop order.
template <bool Fwd>
void difStage(SComplex* x, int len, int h, const SComplex* table, int step, int per) {
    chunkedStage<Fwd>(x, len, h, table, step, per, [](SComplex& a, SComplex& b, SComplex v) {
        const XComplex p = load(a);
        const XComplex q = load(b);
        store(a, p + q);
        store(b, mul(p - q, v));
    });
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
    const bool appended = fullN > kSuperblock && stopLen < kSuperblock;
    const SComplex* table = appended ? twiddles + fullN / 4 : twiddles;
    const int period = appended ? kSuperblock : fullN;
    const int per = chunk / 2;
    for (int h = len / 2; h >= stopLen; h /= 2) {
        if (direction > 0)
            difStage<true>(data, len, h, table, period / (2 * h), per);
        else
            difStage<false>(data, len, h, table, period / (2 * h), per);
    }
}

}  // namespace qel::fft
