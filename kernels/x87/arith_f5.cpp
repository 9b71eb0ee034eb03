// SPDX-License-Identifier: MIT
// The fill, add and multiply loops of ZentavolN1: the fill in integer stores
// (no string store), the arithmetic in the x87 unit in blocks of 8 from the
// end, scheduled for a dual-pipe in-order processor. Linked by ZentavolN1.
#include <cstddef>
#include <cstdint>

#include "kernels/x87/fill_words.h"
#include "kernels/x87/vector_x87.h"
#include "kernels/x87/x87_ops.h"

namespace qel::x87f5 {

namespace {

using x87::Add;
using x87::ConstOperand;
using x87::Mpy;
using x87::result;
using x87::VecOperand;

// The blocks of 8, from the one at dst + n - 8 down, in x87 code of their
// own (a compiler would schedule them as it likes): each element's load and
// operation is issued one element ahead of its store, with an exchange in
// between that the processor pairs with the operation for free. Two results
// are in flight, the stack holds the constant and two values, and a store
// never waits for the operation just issued. The element is the left
// operand (st(0)), the constant or the src element the right one.
#define ZV_F5_STEP_CONST(OP, LOAD, STORE)                                          \
    "flds " LOAD "(%[p])\n\t" OP " %%st(2), %%st\n\t" /* re r v */                 \
    "fxch %%st(1)\n\t" "fstps " STORE "(%[p])\n\t"    /* re v */
#define ZV_F5_CONST_BLOCKS(OP)                                                     \
    "flds %[v]\n\t"                                                            \
    "1:\n\t"                                                                   \
    "flds 28(%[p])\n\t" OP " %%st(1), %%st\n\t" /* r7 v */                     \
    ZV_F5_STEP_CONST(OP, "24", "28")                                           \
    ZV_F5_STEP_CONST(OP, "20", "24")                                           \
    ZV_F5_STEP_CONST(OP, "16", "20")                                           \
    ZV_F5_STEP_CONST(OP, "12", "16")                                           \
    ZV_F5_STEP_CONST(OP, "8", "12")                                            \
    ZV_F5_STEP_CONST(OP, "4", "8")                                             \
    ZV_F5_STEP_CONST(OP, "0", "4")                                             \
    "fstps (%[p])\n\t"                                                         \
    "sub $32, %[p]\n\t"                                                        \
    "dec %[k]\n\t"                                                             \
    "jnz 1b\n\t"                                                               \
    "fstp %%st(0)"

#define ZV_F5_STEP_VEC(OPS, LOAD, STORE)                                           \
    "flds " LOAD "(%[p])\n\t" OPS " " LOAD "(%[q])\n\t" /* re r */                 \
    "fxch %%st(1)\n\t" "fstps " STORE "(%[p])\n\t"      /* re */
#define ZV_F5_VEC_BLOCKS(OPS)                                                      \
    "1:\n\t"                                                                   \
    "flds 28(%[p])\n\t" OPS " 28(%[q])\n\t"                                    \
    ZV_F5_STEP_VEC(OPS, "24", "28")                                            \
    ZV_F5_STEP_VEC(OPS, "20", "24")                                            \
    ZV_F5_STEP_VEC(OPS, "16", "20")                                            \
    ZV_F5_STEP_VEC(OPS, "12", "16")                                            \
    ZV_F5_STEP_VEC(OPS, "8", "12")                                             \
    ZV_F5_STEP_VEC(OPS, "4", "8")                                              \
    ZV_F5_STEP_VEC(OPS, "0", "4")                                              \
    "fstps (%[p])\n\t"                                                         \
    "sub $32, %[p]\n\t"                                                        \
    "sub $32, %[q]\n\t"                                                        \
    "dec %[k]\n\t"                                                             \
    "jnz 1b"

#define ZV_X87_STACK "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

void addBlocks(float value, float* first, int blocks) {
    asm volatile(ZV_F5_CONST_BLOCKS("fadd")
                 : [p] "+r"(first), [k] "+r"(blocks)
                 : [v] "m"(value)
                 : "memory", "cc", ZV_X87_STACK);
}
void mpyBlocks(float value, float* first, int blocks) {
    asm volatile(ZV_F5_CONST_BLOCKS("fmul")
                 : [p] "+r"(first), [k] "+r"(blocks)
                 : [v] "m"(value)
                 : "memory", "cc", ZV_X87_STACK);
}
void addBlocks(const float* from, float* first, int blocks) {
    asm volatile(ZV_F5_VEC_BLOCKS("fadds")
                 : [p] "+r"(first), [q] "+r"(from), [k] "+r"(blocks)
                 :
                 : "memory", "cc", ZV_X87_STACK);
}
void mpyBlocks(const float* from, float* first, int blocks) {
    asm volatile(ZV_F5_VEC_BLOCKS("fmuls")
                 : [p] "+r"(first), [q] "+r"(from), [k] "+r"(blocks)
                 :
                 : "memory", "cc", ZV_X87_STACK);
}

// The leading n mod 8 elements, the last of them first.
template <typename Op, typename Operand>
void leading(Operand b, float* dst, int count) {
    for (std::ptrdiff_t i = count - 1; i >= 0; --i) dst[i] = static_cast<float>(result<Op>(dst, b, i));
}

}  // namespace

void setBits(std::uint32_t bits, float* dst, int n) { x87::fillWords(bits, dst, static_cast<std::size_t>(n)); }

void addConst(float value, float* dst, int n) {
    if (n >= 8) addBlocks(value, dst + n - 8, n / 8);
    leading<Add>(ConstOperand{value}, dst, n % 8);
}
void mpyConst(float value, float* dst, int n) {
    if (n >= 8) mpyBlocks(value, dst + n - 8, n / 8);
    leading<Mpy>(ConstOperand{value}, dst, n % 8);
}
void addVec(const float* src, float* dst, int n) {
    if (n >= 8) addBlocks(src + n - 8, dst + n - 8, n / 8);
    leading<Add>(VecOperand{src}, dst, n % 8);
}
void mpyVec(const float* src, float* dst, int n) {
    if (n >= 8) mpyBlocks(src + n - 8, dst + n - 8, n / 8);
    leading<Mpy>(VecOperand{src}, dst, n % 8);
}

}  // namespace qel::x87f5
