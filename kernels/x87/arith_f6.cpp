// SPDX-License-Identifier: MIT
// The family-6 fill, add and multiply loops: the fill in
// integer stores (the string store for long runs), the arithmetic in the
// x87 unit in blocks of 8 from the end.
#include <cstddef>
#include <cstdint>

#include "kernels/x87/arith_blocks.h"
#include "kernels/x87/fill_words.h"
#include "kernels/x87/vector_x87.h"
#include "variant.h"

namespace qel::x87f6 {

namespace {

using x87::Add;
using x87::ConstOperand;
using x87::Mpy;
using x87::VecOperand;
using Schedule = x87::FourInFlight;

// From variant::kStringFill elements on the fill is one string store: its
// start-up cost is paid back on such runs.

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) {
    if (n < variant::kStringFill) return x87::fillWords(bits, dst, static_cast<std::size_t>(n));
    std::size_t count = static_cast<std::size_t>(n);
    float* at = dst;
    if ((reinterpret_cast<std::uintptr_t>(at) & 7u) != 0) {
        x87::storeWord(at++, bits);
        --count;
    }
    // The direction flag is clear at every call (both ABIs promise it).
    asm volatile("rep stosl" : "+D"(at), "+c"(count) : "a"(bits) : "memory");
}

void addConst(float value, float* dst, int n) {
    x87::blocksFromTheEnd<Schedule, Add>(ConstOperand{value}, dst, n);
}
void mpyConst(float value, float* dst, int n) {
    x87::blocksFromTheEnd<Schedule, Mpy>(ConstOperand{value}, dst, n);
}
void addVec(const float* src, float* dst, int n) {
    x87::blocksFromTheEnd<Schedule, Add>(VecOperand{src}, dst, n);
}
void mpyVec(const float* src, float* dst, int n) {
    x87::blocksFromTheEnd<Schedule, Mpy>(VecOperand{src}, dst, n);
}

}  // namespace qel::x87f6
