// The decimation-in-time driver: one block-kernel call up to the build's
// block limit, otherwise blocks combined by radix-2 stages in superblocks
// that stay in cache. Shared by every variant library with these kernels.
#include <algorithm>

#include "fft/kernels.h"
#include "fft/tables.h"
#include "fft/xcomplex.h"
#include "variant.h"

namespace qel::fft {

namespace {

constexpr int kBlock = 1 << variant::kFftBlockOrder;
constexpr int kSuperblock = variant::kFftSuperblockLength;

void blockKernel(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (direction > 0)
        variant::cFftDitBlockFwd(data, n, twiddles);
    else
        variant::cFftDitBlockInv(data, n, twiddles);
}

// A DIT stage: b is turned by the twiddle before the sum and difference.
template <bool Fwd>
void ditStage(SComplex* x, int len, int h, const SComplex* table, int step, int per) {
    chunkedStage<Fwd>(x, len, h, table, step, per, [](SComplex& a, SComplex& b, SComplex v) {
        const XComplex s = load(a);
        const XComplex t = mul(load(b), v);
        store(a, s + t);
        store(b, s - t);
    });
}

}  // namespace

void cFftDit(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (n <= 2) {
        if (n == 2) twoPoint(data);
        return;
    }
    if (n <= kBlock) return blockKernel(data, n, direction, twiddles);
    // The block-order table exists: the caller's table build made it first.
    const SComplex* blockTable = getDitTwiddles(variant::kFftBlockOrder);
    const int block = std::min(n, kSuperblock);
    for (int s = 0; s < n; s += block) {
        for (int p = s + block - kBlock; p >= s; p -= kBlock)
            blockKernel(data + p, kBlock, direction, blockTable);
        cFftDitCombine(data + s, block, kBlock, twiddles, n, direction, 256);
    }
    if (n > block) cFftDitCombine(data, n, block, twiddles, n, direction, 256);
}

// Stages inside a superblock of a larger transform read the appended part of
// the big table, the superblock's own roots, so the stride through the table
// stays small; the outer stages read the first part with period fullN.
void cFftDitCombine(SComplex* data, int len, int startLen, const SComplex* twiddles, int fullN,
                    int direction, int chunk) {
    const bool appended = fullN > kSuperblock && startLen < kSuperblock;
    const SComplex* table = appended ? twiddles + fullN / 4 : twiddles;
    const int period = appended ? kSuperblock : fullN;
    const int per = chunk / 2;
    for (int h = startLen; h <= len / 2; h *= 2) {
        if (direction > 0)
            ditStage<true>(data, len, h, table, period / (2 * h), per);
        else
            ditStage<false>(data, len, h, table, period / (2 * h), per);
    }
}

}  // namespace qel::fft
