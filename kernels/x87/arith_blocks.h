// SPDX-License-Identifier: MIT
// The add and multiply loops of the x87 builds: blocks of 8 from the end of
// the vector in the x87 unit, then the n mod 8 leading elements from the
// last to the first. A schedule gives the order in which a block's loads,
// operations and stores are written; the values are the generic build's
// (x87_ops.h). Included by kernels/x87/arith_f6.cpp and arith_f5.cpp.
#pragma once

#include <cstddef>

#include "kernels/x87/x87_ops.h"

namespace qel::x87 {

// A schedule's block is dst[at .. at+7], each element the left operand and
// b supplying the right one. The order is written in the source only: a
// compiler may issue the instructions otherwise, the values stay the same.
//
// Four results in flight (the out-of-order family-6 processors): the last
// four elements are computed, then each store is followed by the next
// element's load and operation, so that no store waits for the operation
// just issued.
struct FourInFlight {
    template <typename Op, typename Operand>
    [[gnu::always_inline]] static void block(float* dst, Operand b, std::ptrdiff_t at) {
        const Working r7 = result<Op>(dst, b, at + 7);
        const Working r6 = result<Op>(dst, b, at + 6);
        const Working r5 = result<Op>(dst, b, at + 5);
        const Working r4 = result<Op>(dst, b, at + 4);
        dst[at + 7] = static_cast<float>(r7);
        const Working r3 = result<Op>(dst, b, at + 3);
        dst[at + 6] = static_cast<float>(r6);
        const Working r2 = result<Op>(dst, b, at + 2);
        dst[at + 5] = static_cast<float>(r5);
        const Working r1 = result<Op>(dst, b, at + 1);
        dst[at + 4] = static_cast<float>(r4);
        const Working r0 = result<Op>(dst, b, at);
        dst[at + 3] = static_cast<float>(r3);
        dst[at + 2] = static_cast<float>(r2);
        dst[at + 1] = static_cast<float>(r1);
        dst[at] = static_cast<float>(r0);
    }
};

// One result ahead of its store (the in-order dual-pipe family-5
// processor): each element's load and operation is issued before the
// previous element's store, which pairs with it.
struct OneAhead {
    template <typename Op, typename Operand>
    [[gnu::always_inline]] static void block(float* dst, Operand b, std::ptrdiff_t at) {
        Working ready = result<Op>(dst, b, at + 7);
        step<Op>(dst, b, at + 6, ready);
        step<Op>(dst, b, at + 5, ready);
        step<Op>(dst, b, at + 4, ready);
        step<Op>(dst, b, at + 3, ready);
        step<Op>(dst, b, at + 2, ready);
        step<Op>(dst, b, at + 1, ready);
        step<Op>(dst, b, at, ready);
        dst[at] = static_cast<float>(ready);
    }

private:
    // Element i computed, then element i + 1's result stored.
    template <typename Op, typename Operand>
    [[gnu::always_inline]] static void step(float* dst, Operand b, std::ptrdiff_t i, Working& ready) {
        const Working next = result<Op>(dst, b, i);
        dst[i + 1] = static_cast<float>(ready);
        ready = next;
    }
};

template <typename Schedule, typename Op, typename Operand>
void blocksFromTheEnd(Operand b, float* dst, int n) {
    std::ptrdiff_t end = n;
    for (; end >= 8; end -= 8) Schedule::template block<Op>(dst, b, end - 8);
    for (std::ptrdiff_t i = end - 1; i >= 0; --i) dst[i] = static_cast<float>(result<Op>(dst, b, i));
}

}  // namespace qel::x87
