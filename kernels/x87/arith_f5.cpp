// SPDX-License-Identifier: MIT
// The family-5 fill, add and multiply loops: the fill in integer stores
// (no string store), the arithmetic in the x87 unit in blocks of 8 from the
// end, scheduled for a dual-pipe in-order processor.
#include <cstddef>
#include <cstdint>

#include "kernels/x87/arith_blocks.h"
#include "kernels/x87/fill_words.h"
#include "kernels/x87/vector_x87.h"

namespace qel::x87f5 {

namespace {

using x87::Add;
using x87::ConstOperand;
using x87::Mpy;
using x87::VecOperand;
using Schedule = x87::OneAhead;

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) { x87::fillWords(bits, dst, static_cast<std::size_t>(n)); }

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

}  // namespace qel::x87f5
