// The decimation-in-frequency driver: split-radix blocks up to 1024 points,
// otherwise radix-2 stages over the big table, outermost first, then each
// superblock's stages and its 1024-point blocks. Shared by the builds with a
// DIF kernel.
#include <algorithm>

#include "fft/kernels.h"
#include "fft/tables.h"
#include "fft/xcomplex.h"
#include "variant.h"

namespace qel::fft {

namespace {

constexpr int kBlock = 1 << kDifBlockOrder;
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

}  // namespace

void cFftDif(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (n <= 2) {
        if (n == 2) twoPoint(data);
        return;
    }
    if (n <= kBlock) return variant::cFftDifBlock(data, n, direction, twiddles);
    // The order-10 table exists: the caller's table build made it first.
    const SComplex* blockTable = getDifTwiddles(kDifBlockOrder);
    const int block = std::min(n, kSuperblock);
    if (n > block) cFftDifSplit(data, n, block, twiddles, n, direction, 256);
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
