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
    const int quarter = h / 2;
    for (int c0 = 0; c0 < quarter; c0 += per) {
        const int c1 = std::min(quarter, c0 + per);
        for (int g = 0; g < len; g += 2 * h) {
            SComplex* y = x + g;
            for (int part = 0; part < 2; ++part) {
                const int offset = part * quarter;
                for (int j = c0; j < c1; ++j) {
                    const SComplex w = table[j * step];
                    const SComplex v = part == 0 ? dirTwiddle<Fwd>(w) : quarterTwiddle<Fwd>(w);
                    const XComplex a = load(y[offset + j]);
                    const XComplex b = load(y[offset + j + h]);
                    store(y[offset + j], a + b);
                    store(y[offset + j + h], mul(a - b, v));
                }
            }
        }
    }
}

}  // namespace

void cFftDif(SComplex* data, int n, int direction, const SComplex* twiddles) {
    if (n <= 2) {
        if (n == 2) {
            const XComplex x0 = load(data[0]);
            const XComplex x1 = load(data[1]);
            store(data[0], x0 + x1);
            store(data[1], x0 - x1);
        }
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
