// The twiddle tables: the quarter sine table, the four cached kinds built from
// it by quadrant folding, their getters and releasers, and the release of a
// thread's whole FFT cache. Shared by every variant library.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/memory.h"
#include "variant.h"

namespace qel::fft {

namespace {

// The double nearest to 2*pi; the step 2*pi/n is rounded to double once and
// then multiplied by k in extended precision.
constexpr double kTwoPi = 6.283185307179586;

constexpr int kBlockOrder = variant::kFftBlockOrder;
constexpr int kSuperblock = variant::kFftSuperblockLength;
constexpr int kSuperblockOrder = std::countr_zero(static_cast<unsigned>(kSuperblock));
constexpr int kAppended = kSuperblock / 4;  // values of the big table's second part

// The largest tables the entry points let an order build fit one request.
static_assert(((std::int64_t{1} << (kMaxFftOrder - 2)) + kAppended) * 8 <= INT32_MAX);
static_assert((std::int64_t{1} << (kMaxFftOrder - 2)) * 8 <= INT32_MAX);

using TableSlots = SComplex* (QelContext::*)[kQelTableSlots];

bool validOrder(int order) { return order >= 0 && order <= kQelMaxOrder; }

// n = 2^order must be a positive 32-bit count: order 31 has no table.
bool representable(int order) { return order >= 0 && order < 31; }

// A block size in bytes that qelMalloc can be asked for, or -1.
int requestBytes(std::int64_t bytes) {
    return bytes <= std::numeric_limits<std::int32_t>::max() ? static_cast<int>(bytes) : -1;
}

// e^(-2*pi*i*a/n) for 0 <= a <= 3q, folded from the first quadrant: every
// part is an entry of S or its negation, never a new rounding.
SComplex folded(const float* s, std::int32_t q, std::int32_t a) {
    if (a <= q) return {s[q - a], -s[a]};
    if (a <= 2 * q) return {-s[a - q], -s[2 * q - a]};
    return {-s[3 * q - a], s[a - 2 * q]};
}

// DIT: entry k = w^k, w^(2k), w^(3k), k = 0..q (24 bytes each).
void fillDit(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 0; k <= q; ++k) {
        table[3 * k] = folded(s, q, k);
        table[3 * k + 1] = folded(s, q, 2 * k);
        table[3 * k + 2] = folded(s, q, 3 * k);
    }
}

// DIF: entry of k at position k-1 = w^k, w^(3k), k = 1..q-1 (16 bytes each).
void fillDif(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 1; k < q; ++k) {
        table[2 * (k - 1)] = folded(s, q, k);
        table[2 * (k - 1) + 1] = folded(s, q, 3 * k);
    }
}

// Big: w^k for k = 0..q-1; above the superblock order, the values of the
// superblock transform follow, every 2^(order - superblock order)-th entry
// of S being exactly the superblock's own quarter sine.
void fillBig(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 0; k < q; ++k) table[k] = {s[q - k], -s[k]};
    if (order <= kSuperblockOrder) return;
    const std::int32_t stride = std::int32_t{1} << (order - kSuperblockOrder);
    SComplex* appended = table + q;
    for (std::int32_t j = 0; j < kAppended; ++j)
        appended[j] = {s[(kAppended - j) * stride], -s[j * stride]};
}

// Real: (cos(t)/2, (1 - sin(t))/2), t = 2*pi*k/n, k = 0..n/4-1, from the
// float entries of S in extended precision with one rounding to float.
void fillReal(SComplex* table, const float* s, int order) {
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    for (std::int32_t k = 0; k < q; ++k) {
        const long double a = 0.5L * static_cast<long double>(s[q - k]);
        const long double b = 0.5L - 0.5L * static_cast<long double>(s[k]);
        table[k] = {static_cast<float>(a), static_cast<float>(b)};
    }
}

SComplex*& slotOf(TableSlots slots, int order) { return (qelGetContext()->*slots)[order]; }

// The cached table, or a new block of `bytes` filled from the quarter sine
// table of the order; the block is taken before the quarter sine table.
SComplex* cachedOrBuilt(TableSlots slots, int order, std::int64_t bytes,
                        void (*fill)(SComplex*, const float*, int)) {
    if (SComplex* held = slotOf(slots, order)) return held;
    if (!representable(order)) return nullptr;
    const int request = requestBytes(bytes);
    if (request < 0) return nullptr;
    auto* table = static_cast<SComplex*>(qelMalloc(request));
    if (table == nullptr) return nullptr;
    float* s = makeQuarterSine(order);
    if (s == nullptr) {
        qelFree(table);
        return nullptr;
    }
    fill(table, s, order);
    qelFree(s);
    slotOf(slots, order) = table;
    return table;
}

template <typename T>
void releaseSlot(T* (QelContext::*slots)[kQelTableSlots], int order) {
    T*& held = (qelGetContext()->*slots)[order];
    qelFree(held);
    held = nullptr;
}

}  // namespace

float* makeQuarterSine(int order) {
    if (!representable(order)) return nullptr;
    const std::int32_t n = std::int32_t{1} << order;
    const std::int32_t q = n / 4;
    const int request = requestBytes(std::int64_t{q} * 4 + 4);
    if (request < 0) return nullptr;
    auto* s = static_cast<float*>(qelMalloc(request));
    if (s == nullptr) return nullptr;
    const long double step = kTwoPi / n;
    // Every argument lies in [0, pi/4]: the second eighth of the quadrant is
    // the cosine of the complementary angle.
    for (std::int32_t k = 0; k <= n / 8; ++k)
        s[k] = static_cast<float>(std::sin(static_cast<long double>(k) * step));
    for (std::int32_t k = n / 8 + 1; k <= q; ++k)
        s[k] = static_cast<float>(std::cos(static_cast<long double>(q - k) * step));
    return s;
}

SComplex* getDitTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    if (order > kBlockOrder) {
        // Larger orders run blocks of the block order and radix-2 stages
        // over the big table; they keep no DIT table of their own.
        if (getDitTwiddles(kBlockOrder) == nullptr) return nullptr;
        return getBigTwiddles(order);
    }
    const std::int64_t q = (std::int64_t{1} << order) / 4;
    return cachedOrBuilt(&QelContext::ditTwiddleTables, order, (q + 1) * 24, fillDit);
}

SComplex* getDifTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    if (order > kDifBlockOrder) {
        if (getDifTwiddles(kDifBlockOrder) == nullptr) return nullptr;
        return getBigTwiddles(order);
    }
    const std::int64_t n = std::int64_t{1} << order;
    return cachedOrBuilt(&QelContext::difTwiddleTables, order, (n + 1) / 2 * 8, fillDif);
}

SComplex* getBigTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    const std::int64_t q = (std::int64_t{1} << order) / 4;
    const std::int64_t values = q + (order > kSuperblockOrder ? kAppended : 0);
    return cachedOrBuilt(&QelContext::bigTwiddleTables, order, values * 8, fillBig);
}

SComplex* getRealTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    // Room for two entries at least, though order 2 fills one and smaller
    // orders none.
    const std::int64_t entries = order <= 3 ? 2 : std::int64_t{1} << (order - 2);
    return cachedOrBuilt(&QelContext::realTwiddleTables, order, entries * 8, fillReal);
}

void releaseBigTwiddles(int order) {
    if (validOrder(order)) releaseSlot(&QelContext::bigTwiddleTables, order);
}

void releaseRealTwiddles(int order) {
    if (validOrder(order)) releaseSlot(&QelContext::realTwiddleTables, order);
}

// Releasing a large order also drops the block-order table that every large
// order shares; the next transform that needs it builds it again.
void releaseDitTwiddles(int order) {
    if (!validOrder(order)) return;
    releaseSlot(&QelContext::ditTwiddleTables, order);
    if (order > kBlockOrder) {
        releaseBigTwiddles(order);
        releaseDitTwiddles(kBlockOrder);
    }
}

void releaseDifTwiddles(int order) {
    if (!validOrder(order)) return;
    releaseSlot(&QelContext::difTwiddleTables, order);
    if (order > kDifBlockOrder) {
        releaseBigTwiddles(order);
        releaseDifTwiddles(kDifBlockOrder);
    }
}

void releaseAllFftTables() {
    for (int order = 0; order <= kQelMaxOrder; ++order) {
        releaseSlot(&QelContext::bigTwiddleTables, order);
        releaseSlot(&QelContext::ditTwiddleTables, order);
        releaseSlot(&QelContext::difTwiddleTables, order);
        releaseSlot(&QelContext::realTwiddleTables, order);
        releaseBitRevTable(order);
    }
}

void releaseWorkBuffer(int slot) {
    if (slot < 0 || slot >= kQelWorkBufferSlots) return;
    QelContext* context = qelGetContext();
    qelFree(context->workBuffers[slot]);
    context->workBuffers[slot] = nullptr;
    context->workBufferSizes[slot] = 0;
}

}  // namespace qel::fft
