// SPDX-License-Identifier: MIT
// The twiddle tables: the quarter sine table, the cached DIT, big and real
// tables built from it (in the layouts and sizes of the build), their getters
// and releasers, the scratch buffers, and the release of a thread's whole FFT
// cache. Shared by every variant library; the DIF table is the DIF driver's.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "fft/tables.h"
#include "platform/fp_env.h"
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

bool validOrder(int order) { return order >= 0 && order <= kQelMaxOrder; }

// n = 2^order must be a positive 32-bit count: order 31 has no table.
bool representable(int order) { return order >= 0 && order < 31; }

// A block size in bytes that qelMalloc can be asked for, or -1.
int requestBytes(std::int64_t bytes) {
    return bytes <= std::numeric_limits<std::int32_t>::max() ? static_cast<int>(bytes) : -1;
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

SComplex*& slotOf(TableSlots slots, int order) { return (qelGetContext()->*slots)[order]; }

}  // namespace

SComplex* cachedTable(TableSlots slots, int order, std::int64_t bytes,
                      void (*fill)(SComplex*, const float*, int)) {
    if (SComplex* held = slotOf(slots, order)) return held;
    if (!representable(order)) return nullptr;
    const int request = requestBytes(bytes);
    if (request < 0) return nullptr;
    auto* table = static_cast<SComplex*>(qelMalloc(request));
    if (table == nullptr) return nullptr;
    // A table outlives the call that builds it and serves every later
    // transform of the thread, so it is built rounding to nearest whatever
    // mode the caller has set; the caller's mode comes back afterwards.
    const fp::NearestRounding nearest;
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

void releaseTable(TableSlots slots, int order) {
    SComplex*& held = slotOf(slots, order);
    qelFree(held);
    held = nullptr;
}

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
    return cachedTable(&QelContext::ditTwiddleTables, order, variant::ditTableBytes(order),
                       variant::fillDitTwiddles);
}

SComplex* getBigTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    const std::int64_t q = (std::int64_t{1} << order) / 4;
    const std::int64_t values = q + (order > kSuperblockOrder ? kAppended : 0);
    return cachedTable(&QelContext::bigTwiddleTables, order, values * 8, fillBig);
}

SComplex* getRealTwiddles(int order) {
    if (!validOrder(order)) return nullptr;
    // Room for two entries at least, though order 2 fills one and smaller
    // orders none.
    const std::int64_t entries = order <= 3 ? 2 : std::int64_t{1} << (order - 2);
    return cachedTable(&QelContext::realTwiddleTables, order, entries * 8,
                       variant::fillRealTwiddles);
}

void releaseBigTwiddles(int order) {
    if (validOrder(order)) releaseTable(&QelContext::bigTwiddleTables, order);
}

void releaseRealTwiddles(int order) {
    if (validOrder(order)) releaseTable(&QelContext::realTwiddleTables, order);
}

// Releasing a large order also drops the block-order table that every large
// order shares; the next transform that needs it builds it again.
void releaseDitTwiddles(int order) {
    if (!validOrder(order)) return;
    releaseTable(&QelContext::ditTwiddleTables, order);
    if (order > kBlockOrder) {
        releaseBigTwiddles(order);
        releaseDitTwiddles(kBlockOrder);
    }
}

void releaseAllFftTables() {
    for (int order = 0; order <= kQelMaxOrder; ++order) {
        releaseTable(&QelContext::bigTwiddleTables, order);
        releaseTable(&QelContext::ditTwiddleTables, order);
        releaseTable(&QelContext::difTwiddleTables, order);
        releaseTable(&QelContext::realTwiddleTables, order);
        releaseBitRevTable(order);
    }
}

SComplex* getWorkBuffer(int count, int slot) {
    if (count <= 0 || slot < 0 || slot >= kQelWorkBufferSlots) return nullptr;
    QelContext* context = qelGetContext();
    if (context->workBuffers[slot] != nullptr) {
        if (static_cast<std::uint32_t>(count) <= context->workBufferSizes[slot])
            return context->workBuffers[slot];
        releaseWorkBuffer(slot);
    }
    auto* buffer = static_cast<SComplex*>(qelMallocPairs(count));
    if (buffer == nullptr) return nullptr;
    context->workBuffers[slot] = buffer;
    context->workBufferSizes[slot] = static_cast<std::uint32_t>(count);
    return buffer;
}

void releaseWorkBuffer(int slot) {
    if (slot < 0 || slot >= kQelWorkBufferSlots) return;
    QelContext* context = qelGetContext();
    qelFree(context->workBuffers[slot]);
    context->workBuffers[slot] = nullptr;
    context->workBufferSizes[slot] = 0;
}

}  // namespace qel::fft
