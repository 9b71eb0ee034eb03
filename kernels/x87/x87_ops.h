// SPDX-License-Identifier: MIT
// The operations and second operands of the x87 builds' add and multiply
// loops (kernels/x87/arith_f6.cpp, arith_f5.cpp).
//
// Every value is the generic build's: the destination element is the left
// operand, and the sum or product of two floats is computed in the x87
// unit and rounded once more when stored as a float. With at least 53 bits
// of working precision (64, or 53 where the process runs the x87 unit at
// double precision) that second rounding is innocuous: an operation on
// q-bit operands rounded to p >= 2q + 2 bits and then to q bits gives the
// directly rounded q-bit result, and 53 >= 2 * 24 + 2; the x87 exponent
// range holds every intermediate, so overflow and subnormal results are
// decided by the store alone, as in single-precision arithmetic.
#pragma once

#include <cstddef>

namespace qel::x87 {

struct Add {
    static long double apply(long double a, long double b) { return a + b; }
};
struct Mpy {
    static long double apply(long double a, long double b) { return a * b; }
};

// The second operand: a constant, or the element of src at the same index.
// The constant stays a float: the operation is the same either way, and
// where the x87 unit is not the only floating-point unit (x86-64) the
// compiler may then use the single-precision instruction, as for src.
struct ConstOperand {
    float value;
    long double at(std::ptrdiff_t) const { return value; }
};
struct VecOperand {
    const float* src;
    long double at(std::ptrdiff_t i) const { return src[i]; }
};

template <typename Op, typename Operand>
[[gnu::always_inline]] inline long double result(const float* dst, Operand b, std::ptrdiff_t i) {
    return Op::apply(static_cast<long double>(dst[i]), b.at(i));
}

}  // namespace qel::x87
