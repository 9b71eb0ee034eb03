// The decimation-in-time driver: one block-kernel call up to the build's
// block limit, otherwise blocks combined by radix-2 stages in superblocks
// that stay in cache, then the stages across superblocks. Builds whose block
// kernels take a scratch area get the one of slot 3 for data that are not
// 16-byte aligned. Shared by every variant library.
#include <algorithm>
#include <cstdint>

#include "fft/driver.h"
#include "fft/tables.h"
#include "fft/xcomplex.h"
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

// A DIT stage: b is turned by the twiddle before the sum and difference.
template <bool Fwd>
void ditStage(SComplex* x, int len, int h, const SComplex* table, int step, int per) {
    chunkedStage<Fwd, variant::kFftCombinePrefetch>(
        x, len, h, table, step, per, [](SComplex& a, SComplex& b, SComplex v) {
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
