// SPDX-License-Identifier: MIT
// The compact bit-reversal tables: the swaps of the middle order-2 bits of an
// index, cached per thread and order. Shared by every variant library; the
// moves driven by a table are the build's own (kernels/generic/bitrev.cpp here).
#include <cstdint>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/memory.h"

namespace qel::fft {

namespace {

// Layout, m = 2^(order-2), r(i) the reversal of i over order-2 bits:
// the pairs 4i, 4r(i) for every i < r(i) in increasing i, a word 0, the
// words 4i of every self-reversed i in decreasing i, and a final 0 at word
// m. 4i is the float offset of element 2i; the lowest and highest index bit
// are handled by the moves, four elements per table pair.
void fill(std::int32_t* word, std::int32_t m) {
    std::int32_t pair = 0;
    std::int32_t self = m - 1;
    std::int32_t j = 0;  // r(i), advanced as a reversed counter
    for (std::int32_t i = 1; i < m; ++i) {
        std::int32_t h = m / 2;
        while (h <= j) {
            j -= h;
            h /= 2;
        }
        j += h;
        if (i < j) {
            word[pair] = 4 * i;
            word[pair + 1] = 4 * j;
            pair += 2;
        } else if (i == j) {
            word[self--] = 4 * i;
        }
    }
    word[pair] = 0;
    word[m] = 0;
}

}  // namespace

std::int32_t* getBitRevTable(int order) {
    if (order < 0 || order > kQelMaxOrder) return nullptr;
    if (std::int32_t* held = qelGetContext()->bitRevTables[order]) return held;
    // Order 31 has no representable length, and its m + 1 words would not
    // fit a 32-bit request either.
    if (order == 31) return nullptr;
    // Orders 0 and 1 keep a single word that nothing reads.
    const std::int32_t m = order < 2 ? 0 : std::int32_t{1} << (order - 2);
    auto* table = static_cast<std::int32_t*>(qelMallocWords(m + 1));
    if (table == nullptr) return nullptr;
    if (order >= 2) fill(table, m);
    qelGetContext()->bitRevTables[order] = table;
    return table;
}

void releaseBitRevTable(int order) {
    if (order < 0 || order > kQelMaxOrder) return;
    std::int32_t*& held = qelGetContext()->bitRevTables[order];
    qelFree(held);
    held = nullptr;
}

}  // namespace qel::fft
