// SPDX-License-Identifier: MIT
// The operations and second operands of the x87 builds' add and multiply
// loops (kernels/x87/arith_f6.cpp, arith_f5.cpp).
//
// Every value is the generic build's: the destination element is the left
// operand of the generic loops' operations (kernels/generic/float_ops.h),
// computed in the x87 unit in the 32-bit libraries and in single-precision
// SSE, with the destination's NaN where both are NaNs, in the 64-bit ones.
#pragma once

#include <cstddef>

#include "kernels/generic/float_ops.h"

namespace qel::x87 {

using generic::Add;
using generic::Mpy;
using generic::Working;

// The second operand: a constant, or the element of src at the same index.
struct ConstOperand {
    float value;
    Working at(std::ptrdiff_t) const { return value; }
};
struct VecOperand {
    const float* src;
    Working at(std::ptrdiff_t i) const { return src[i]; }
};

template <typename Op, typename Operand>
[[gnu::always_inline]] inline Working result(const float* dst, Operand b, std::ptrdiff_t i) {
    return Op::apply(static_cast<Working>(dst[i]), b.at(i));
}

}  // namespace qel::x87
