// SPDX-License-Identifier: MIT
// The generic build's arithmetic loops: one element per step, from the last
// element to the first; and its conjugate extension.
#include <cstring>

#include "kernels/generic/arith.h"
#include "kernels/generic/float_ops.h"

namespace qel::generic {

namespace {

template <typename Op>
void constLoop(float value, float* dst, int n) {
    const Working v = value;
    for (int i = n - 1; i >= 0; --i) dst[i] = static_cast<float>(Op::apply(static_cast<Working>(dst[i]), v));
}

template <typename Op>
void vecLoop(const float* src, float* dst, int n) {
    for (int i = n - 1; i >= 0; --i)
        dst[i] = static_cast<float>(Op::apply(static_cast<Working>(dst[i]), static_cast<Working>(src[i])));
}

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) {
    for (int i = n - 1; i >= 0; --i) std::memcpy(dst + i, &bits, sizeof bits);
}

void addConst(float value, float* dst, int n) { constLoop<Add>(value, dst, n); }
void mpyConst(float value, float* dst, int n) { constLoop<Mpy>(value, dst, n); }
void addVec(const float* src, float* dst, int n) { vecLoop<Add>(src, dst, n); }
void mpyVec(const float* src, float* dst, int n) { vecLoop<Mpy>(src, dst, n); }

void conjExtend(SComplex* vec, int n) {
    // Pointers walk the two halves, so no index past n is ever formed: the
    // last destination, 2n-3, does not fit an int for the largest counts.
    const SComplex* from = vec + (n - 2);
    SComplex* to = vec + n;
    for (; from != vec; --from, ++to) {
        std::memcpy(&to->re, &from->re, sizeof to->re);
        // The generic build negates on the x87 stack: the load quiets a
        // signalling NaN (payload and sign kept) before the sign flips. The
        // volatile keeps the compiler from folding the round trip into a
        // plain sign flip of the float.
        volatile long double wide = from->im;
        to->im = static_cast<float>(-wide);
    }
}

}  // namespace qel::generic
