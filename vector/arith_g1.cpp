// The generic build's arithmetic loops: one element per step, from the last
// element to the first. Linked by ZentavolG1.
#include <cstring>

#include "vector/arith_loops.h"

namespace qel::g1 {

namespace {

// The x87 unit holds the sum or product of two floats exactly (a product
// needs 48 bits, a sum far fewer than 64 unless one operand is negligible),
// so the single rounding on store gives the correctly rounded float result.
struct Add {
    static long double apply(long double a, long double b) { return a + b; }
};
struct Mpy {
    static long double apply(long double a, long double b) { return a * b; }
};

template <typename Op>
void constLoop(float value, float* dst, int n) {
    const long double v = value;
    for (int i = n - 1; i >= 0; --i)
        dst[i] = static_cast<float>(Op::apply(static_cast<long double>(dst[i]), v));
}

template <typename Op>
void vecLoop(const float* src, float* dst, int n) {
    for (int i = n - 1; i >= 0; --i)
        dst[i] = static_cast<float>(
            Op::apply(static_cast<long double>(dst[i]), static_cast<long double>(src[i])));
}

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) {
    for (int i = n - 1; i >= 0; --i) std::memcpy(dst + i, &bits, sizeof bits);
}

void addConst(float value, float* dst, int n) { constLoop<Add>(value, dst, n); }
void mpyConst(float value, float* dst, int n) { constLoop<Mpy>(value, dst, n); }
void addVec(const float* src, float* dst, int n) { vecLoop<Add>(src, dst, n); }
void mpyVec(const float* src, float* dst, int n) { vecLoop<Mpy>(src, dst, n); }

}  // namespace qel::g1
