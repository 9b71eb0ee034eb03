// SPDX-License-Identifier: MIT
// The fill, add and multiply loops of ZentavolN2 and ZentavolG2: the fill in
// integer stores (the string store for long runs), the arithmetic in the
// x87 unit in blocks of 8 from the end. Linked by ZentavolN2 and ZentavolG2.
#include <cstddef>
#include <cstdint>

#include "kernels/x87/fill_words.h"
#include "kernels/x87/vector_x87.h"
#include "kernels/x87/x87_ops.h"

namespace qel::x87f6 {

namespace {

using x87::Add;
using x87::ConstOperand;
using x87::Mpy;
using x87::result;
using x87::VecOperand;

// From this many elements on the fill is one string store: its start-up
// cost is paid back on such runs.
constexpr int kStringFill = 208;

// The blocks of 8, from the one at dst + n - 8 down, in x87 code of their
// own (a compiler serialises each element's load, operation and store):
// the last four elements are loaded and operated on, then each store of a
// result is followed by the next element's load and operation, so that four
// results are in flight and no store waits for the operation just issued.
// `first` is the block at the end, `blocks` their count (at least one). The
// element is the left operand (st(0)), the constant (kept in the stack below
// the results) or the src element the right one.
// The op mnemonics: register form (with the constant) and memory form.
#define ZV_F6_CONST_BLOCKS(OP)                                                     \
    "flds %[v]\n\t"                                                            \
    "1:\n\t"                                                                   \
    "flds 28(%[p])\n\t" OP " %%st(1), %%st\n\t"                                \
    "flds 24(%[p])\n\t" OP " %%st(2), %%st\n\t"                                \
    "flds 20(%[p])\n\t" OP " %%st(3), %%st\n\t"                                \
    "flds 16(%[p])\n\t" OP " %%st(4), %%st\n\t" /* r4 r5 r6 r7 v */            \
    "fxch %%st(3)\n\t" "fstps 28(%[p])\n\t"     /* r5 r6 r4 v */               \
    "flds 12(%[p])\n\t" OP " %%st(4), %%st\n\t" /* r3 r5 r6 r4 v */            \
    "fxch %%st(2)\n\t" "fstps 24(%[p])\n\t"     /* r5 r3 r4 v */               \
    "flds 8(%[p])\n\t" OP " %%st(4), %%st\n\t"  /* r2 r5 r3 r4 v */            \
    "fxch %%st(1)\n\t" "fstps 20(%[p])\n\t"     /* r2 r3 r4 v */               \
    "flds 4(%[p])\n\t" OP " %%st(4), %%st\n\t"  /* r1 r2 r3 r4 v */            \
    "fxch %%st(3)\n\t" "fstps 16(%[p])\n\t"     /* r2 r3 r1 v */               \
    "flds (%[p])\n\t" OP " %%st(4), %%st\n\t"   /* r0 r2 r3 r1 v */            \
    "fxch %%st(2)\n\t" "fstps 12(%[p])\n\t"     /* r2 r0 r1 v */               \
    "fstps 8(%[p])\n\t"                         /* r0 r1 v */                  \
    "fxch %%st(1)\n\t" "fstps 4(%[p])\n\t"      /* r0 v */                     \
    "fstps (%[p])\n\t"                          /* v */                        \
    "sub $32, %[p]\n\t"                                                        \
    "dec %[k]\n\t"                                                             \
    "jnz 1b\n\t"                                                               \
    "fstp %%st(0)"

#define ZV_F6_VEC_BLOCKS(OPS)                                                      \
    "1:\n\t"                                                                   \
    "flds 28(%[p])\n\t" OPS " 28(%[q])\n\t"                                    \
    "flds 24(%[p])\n\t" OPS " 24(%[q])\n\t"                                    \
    "flds 20(%[p])\n\t" OPS " 20(%[q])\n\t"                                    \
    "flds 16(%[p])\n\t" OPS " 16(%[q])\n\t"     /* r4 r5 r6 r7 */              \
    "fxch %%st(3)\n\t" "fstps 28(%[p])\n\t"     /* r5 r6 r4 */                 \
    "flds 12(%[p])\n\t" OPS " 12(%[q])\n\t"     /* r3 r5 r6 r4 */              \
    "fxch %%st(2)\n\t" "fstps 24(%[p])\n\t"     /* r5 r3 r4 */                 \
    "flds 8(%[p])\n\t" OPS " 8(%[q])\n\t"       /* r2 r5 r3 r4 */              \
    "fxch %%st(1)\n\t" "fstps 20(%[p])\n\t"     /* r2 r3 r4 */                 \
    "flds 4(%[p])\n\t" OPS " 4(%[q])\n\t"       /* r1 r2 r3 r4 */              \
    "fxch %%st(3)\n\t" "fstps 16(%[p])\n\t"     /* r2 r3 r1 */                 \
    "flds (%[p])\n\t" OPS " (%[q])\n\t"         /* r0 r2 r3 r1 */              \
    "fxch %%st(2)\n\t" "fstps 12(%[p])\n\t"     /* r2 r0 r1 */                 \
    "fstps 8(%[p])\n\t"                         /* r0 r1 */                    \
    "fxch %%st(1)\n\t" "fstps 4(%[p])\n\t"      /* r0 */                       \
    "fstps (%[p])\n\t"                                                         \
    "sub $32, %[p]\n\t"                                                        \
    "sub $32, %[q]\n\t"                                                        \
    "dec %[k]\n\t"                                                             \
    "jnz 1b"

#define ZV_X87_STACK "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)", "st(7)"

void addBlocks(float value, float* first, int blocks) {
    asm volatile(ZV_F6_CONST_BLOCKS("fadd")
                 : [p] "+r"(first), [k] "+r"(blocks)
                 : [v] "m"(value)
                 : "memory", "cc", ZV_X87_STACK);
}
void mpyBlocks(float value, float* first, int blocks) {
    asm volatile(ZV_F6_CONST_BLOCKS("fmul")
                 : [p] "+r"(first), [k] "+r"(blocks)
                 : [v] "m"(value)
                 : "memory", "cc", ZV_X87_STACK);
}
void addBlocks(const float* from, float* first, int blocks) {
    asm volatile(ZV_F6_VEC_BLOCKS("fadds")
                 : [p] "+r"(first), [q] "+r"(from), [k] "+r"(blocks)
                 :
                 : "memory", "cc", ZV_X87_STACK);
}
void mpyBlocks(const float* from, float* first, int blocks) {
    asm volatile(ZV_F6_VEC_BLOCKS("fmuls")
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

void setBits(std::uint32_t bits, float* dst, int n) {
    if (n < kStringFill) return x87::fillWords(bits, dst, static_cast<std::size_t>(n));
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

}  // namespace qel::x87f6
