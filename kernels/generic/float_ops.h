// SPDX-License-Identifier: MIT
// The sum and product of two floats in the add and multiply loops of the
// builds that compute them in the x87 unit (the generic loops,
// kernels/generic/arith.cpp, and the x87 family's, kernels/x87/x87_ops.h).
// The destination element is always the left operand.
//
// 32-bit x86: the operation in the x87 unit on the operands widened to long
// double, rounded to float when stored. Its result is the correctly rounded
// float one: with at least 53 bits of working precision the second rounding
// is innocuous (q-bit operands rounded to p >= 2q + 2 bits and then to q
// bits give the directly rounded q-bit result, and 53 >= 2 * 24 + 2), and
// the x87 exponent range holds every intermediate, so overflow and subnormal
// results are decided by the store alone.
//
// x86-64: one single-precision SSE operation, which gives that same
// correctly rounded result directly (it is what compilers make of the x87
// form there anyway). Where both operands are NaNs, addss and mulss return
// their first operand's, quieted; compilers take the operations as
// commutative and swap their operands where that saves a register copy, so
// the asm keeps the written order and the destination's NaN comes out.
// Register operands only: the generated code stays the compiler's, apart
// from the order.
#pragma once

#include "runtime/diagnostics.h"

namespace qel::generic {

#if QEL_WIDE_PATHS
// The type a loop computes its results in before it stores them as floats.
using Working = float;
struct Add {
    static float apply(float a, float b) {
        asm("addss %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
};
struct Mpy {
    static float apply(float a, float b) {
        asm("mulss %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
};
#else
using Working = long double;
struct Add {
    static long double apply(long double a, long double b) { return a + b; }
};
struct Mpy {
    static long double apply(long double a, long double b) { return a * b; }
};
#endif

}  // namespace qel::generic
