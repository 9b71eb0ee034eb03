// SPDX-License-Identifier: MIT
// What Windows x64 callers may count on after a call: RBX, RSI, RDI, R12 to
// R15 and XMM6 to XMM15 as they were, the x87 register stack empty, the x87
// control word and the control bits of MXCSR unchanged, the direction flag
// clear. Every export of every variant DLL is called here through a thunk
// that fills those registers with patterns first and reads them back after.
#if defined(__x86_64__)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "tests/support/variant_loader.h"
#include "zentavol.h"

extern "C" {
// Calls fn with args[0..3] in RCX, RDX, R8, R9 (and their low halves in
// XMM0 to XMM3, for float arguments) and args[4] on the stack; writes RAX,
// XMM0's low half, the seven general registers, XMM6 to XMM15, the x87
// environment (28 bytes), MXCSR and RFLAGS as the call left them into out.
void zvCallChecked(const void* fn, const std::uint64_t* args, unsigned char* out);
}

#define ZV_PATTERN(r, n) "    movabsq $0x" #n #n #n #n #n #n #n #n #n #n #n #n #n #n #n #n ", " #r "\n"
#define ZV_XMM_PATTERN(i, n) \
    ZV_PATTERN(%rax, n) "    movq %rax, %xmm" #i "\n    punpcklqdq %xmm" #i ", %xmm" #i "\n"

asm("    .text\n"
    "    .globl zvCallChecked\n"
    "zvCallChecked:\n"
    "    pushq %rbp\n    movq %rsp, %rbp\n"
    "    pushq %rbx\n    pushq %rsi\n    pushq %rdi\n    pushq %r12\n    pushq %r13\n    pushq %r14\n    pushq %r15\n"
    // 32 shadow bytes, the fifth argument, out, then XMM6-15 at 48..207.
    "    subq $216, %rsp\n"
    "    movdqu %xmm6, 48(%rsp)\n    movdqu %xmm7, 64(%rsp)\n    movdqu %xmm8, 80(%rsp)\n"
    "    movdqu %xmm9, 96(%rsp)\n    movdqu %xmm10, 112(%rsp)\n    movdqu %xmm11, 128(%rsp)\n"
    "    movdqu %xmm12, 144(%rsp)\n    movdqu %xmm13, 160(%rsp)\n    movdqu %xmm14, 176(%rsp)\n"
    "    movdqu %xmm15, 192(%rsp)\n"
    "    movq %r8, 40(%rsp)\n    movq %rcx, %r11\n    movq %rdx, %r10\n"
    ZV_XMM_PATTERN(6, 6) ZV_XMM_PATTERN(7, 7) ZV_XMM_PATTERN(8, 8) ZV_XMM_PATTERN(9, 9)
    ZV_XMM_PATTERN(10, a) ZV_XMM_PATTERN(11, b) ZV_XMM_PATTERN(12, c) ZV_XMM_PATTERN(13, d)
    ZV_XMM_PATTERN(14, e) ZV_XMM_PATTERN(15, f)
    ZV_PATTERN(%rbx, 1) ZV_PATTERN(%rsi, 2) ZV_PATTERN(%rdi, 3) ZV_PATTERN(%r12, 4)
    ZV_PATTERN(%r13, 5) ZV_PATTERN(%r14, 6) ZV_PATTERN(%r15, 7)
    "    movq 32(%r10), %rax\n    movq %rax, 32(%rsp)\n"
    "    movq (%r10), %rcx\n    movq 8(%r10), %rdx\n    movq 16(%r10), %r8\n    movq 24(%r10), %r9\n"
    "    movq %rcx, %xmm0\n    movq %rdx, %xmm1\n    movq %r8, %xmm2\n    movq %r9, %xmm3\n"
    "    call *%r11\n"
    "    movq 40(%rsp), %r10\n"
    "    movq %rax, (%r10)\n    movq %xmm0, 8(%r10)\n"
    "    movq %rbx, 16(%r10)\n    movq %rsi, 24(%r10)\n    movq %rdi, 32(%r10)\n    movq %r12, 40(%r10)\n"
    "    movq %r13, 48(%r10)\n    movq %r14, 56(%r10)\n    movq %r15, 64(%r10)\n"
    "    movdqu %xmm6, 72(%r10)\n    movdqu %xmm7, 88(%r10)\n    movdqu %xmm8, 104(%r10)\n"
    "    movdqu %xmm9, 120(%r10)\n    movdqu %xmm10, 136(%r10)\n    movdqu %xmm11, 152(%r10)\n"
    "    movdqu %xmm12, 168(%r10)\n    movdqu %xmm13, 184(%r10)\n    movdqu %xmm14, 200(%r10)\n"
    "    movdqu %xmm15, 216(%r10)\n"
    "    fnstenv 232(%r10)\n    fldenv 232(%r10)\n"
    "    stmxcsr 264(%r10)\n"
    "    pushfq\n    popq %rax\n    movq %rax, 272(%r10)\n"
    "    movdqu 48(%rsp), %xmm6\n    movdqu 64(%rsp), %xmm7\n    movdqu 80(%rsp), %xmm8\n"
    "    movdqu 96(%rsp), %xmm9\n    movdqu 112(%rsp), %xmm10\n    movdqu 128(%rsp), %xmm11\n"
    "    movdqu 144(%rsp), %xmm12\n    movdqu 160(%rsp), %xmm13\n    movdqu 176(%rsp), %xmm14\n"
    "    movdqu 192(%rsp), %xmm15\n"
    "    addq $216, %rsp\n"
    "    popq %r15\n    popq %r14\n    popq %r13\n    popq %r12\n    popq %rdi\n    popq %rsi\n    popq %rbx\n"
    "    popq %rbp\n    ret\n");

namespace {

std::uint64_t word(const void* p) { return reinterpret_cast<std::uintptr_t>(p); }
std::uint64_t word(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
std::uint64_t word(int i) { return static_cast<std::uint32_t>(i); }

template <typename Fn>
const void* address(Fn fn) {
    return reinterpret_cast<const void*>(fn);
}

std::uint64_t at(const unsigned char* out, int offset) {
    std::uint64_t v;
    std::memcpy(&v, out + offset, sizeof v);
    return v;
}

std::uint64_t repeat(unsigned digit) { return 0x1111111111111111u * digit; }

// Calls fn and checks what the caller may count on; returns RAX and XMM0.
struct Result {
    std::uint64_t rax;
    float xmm0;
};
Result callChecked(const char* name, const void* fn, std::initializer_list<std::uint64_t> args) {
    SCOPED_TRACE(name);
    std::uint64_t a[5] = {};
    std::copy(args.begin(), args.end(), a);
    alignas(16) unsigned char out[288] = {};
    std::uint16_t wordBefore;
    asm volatile("fnstcw %0" : "=m"(wordBefore));
    unsigned mxcsrBefore;
    asm volatile("stmxcsr %0" : "=m"(mxcsrBefore));
    zvCallChecked(fn, a, out);

    const unsigned gp[] = {1, 2, 3, 4, 5, 6, 7};
    const char* gpNames[] = {"rbx", "rsi", "rdi", "r12", "r13", "r14", "r15"};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(at(out, 16 + 8 * i), repeat(gp[i])) << gpNames[i];
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(at(out, 72 + 16 * i), repeat(6u + static_cast<unsigned>(i))) << "xmm" << 6 + i;
        EXPECT_EQ(at(out, 80 + 16 * i), repeat(6u + static_cast<unsigned>(i))) << "xmm" << 6 + i;
    }
    std::uint16_t control, tags;
    std::memcpy(&control, out + 232, sizeof control);
    std::memcpy(&tags, out + 232 + 8, sizeof tags);
    EXPECT_EQ(control, wordBefore) << "x87 control word";
    EXPECT_EQ(tags, 0xFFFF) << "x87 register stack not empty";
    unsigned mxcsr;
    std::memcpy(&mxcsr, out + 264, sizeof mxcsr);
    EXPECT_EQ(mxcsr & 0xFFC0u, mxcsrBefore & 0xFFC0u) << "MXCSR control bits";
    EXPECT_EQ(at(out, 272) & 0x400u, 0u) << "direction flag";
    float x;
    std::memcpy(&x, out + 8, sizeof x);
    return {at(out, 0), x};
}

class CalleeSaved : public zv::test::VariantTest {};

TEST_P(CalleeSaved, EveryExportKeepsWhatTheCallerMayCountOn) {
#define ZV_EXPORT(ordinal, fn) ASSERT_NE(api->fn, nullptr) << #fn;
#include "runtime/export_list.h"
#undef ZV_EXPORT
    // Long enough for every build's vector loops and a combining stage.
    constexpr int order = 12;
    constexpr int n = 1 << order;
    std::vector<SComplex> signal(n);
    std::vector<float> samples(n);
    for (int k = 0; k < n; ++k) {
        signal[k] = {0.37f * static_cast<float>(k % 29) - 1.1f, 2.3f - 0.61f * static_cast<float>(k * k % 7)};
        samples[k] = 0.29f * static_cast<float>(k % 5) - 0.7f;
    }
    std::vector<float> v(n, 1.5f), half(n, 0.5f), f(n), mag(n);
    std::vector<std::int32_t> ints(n);
    std::vector<SComplex> realSpectrum(n / 2 + 1), extended(2 * n);

    const Result block = callChecked("qelMalloc", address(api->qelMalloc), {word(64)});
    ASSERT_NE(block.rax, 0u);
    callChecked("qelFree", address(api->qelFree), {block.rax});
    callChecked("qelsbSet", address(api->qelsbSet), {word(2.0f), word(v.data()), word(n)});
    callChecked("qelsbAdd1", address(api->qelsbAdd1), {word(1.0f), word(v.data()), word(n)});
    callChecked("qelsbMpy1", address(api->qelsbMpy1), {word(3.0f), word(v.data()), word(n)});
    callChecked("qelsbAdd2", address(api->qelsbAdd2), {word(half.data()), word(v.data()), word(n)});
    callChecked("qelsbMpy2", address(api->qelsbMpy2), {word(half.data()), word(v.data()), word(n)});
    for (float x : v) ASSERT_EQ(x, 4.75f);
    v[5] = 8.0f;
    v[9] = -1.0f;
    EXPECT_EQ(callChecked("qelsMax", address(api->qelsMax), {word(v.data()), word(n)}).xmm0, 8.0f);
    EXPECT_EQ(callChecked("qelsMin", address(api->qelsMin), {word(v.data()), word(n)}).xmm0, -1.0f);
    callChecked("qelcbReal", address(api->qelcbReal), {word(signal.data()), word(f.data()), word(n)});
    callChecked("qelcbMag", address(api->qelcbMag), {word(signal.data()), word(mag.data()), word(n)});
    callChecked("qelcFft", address(api->qelcFft), {word(signal.data()), word(order), word(QEL_FFT_FORWARD)});
    callChecked("qelsRealFftNip", address(api->qelsRealFftNip),
                {word(samples.data()), word(realSpectrum.data()), word(order), word(QEL_FFT_FORWARD)});
    std::copy(realSpectrum.begin(), realSpectrum.end(), extended.begin());
    callChecked("qelcbConjExtend1", address(api->qelcbConjExtend1), {word(extended.data()), word(n / 2 + 1)});
    callChecked("qelsbFloatToInt", address(api->qelsbFloatToInt),
                {word(samples.data()), word(ints.data()), word(n), word(32), word(QEL_CVT_NEAREST)});
    callChecked("qelsbIntToFloat", address(api->qelsbIntToFloat),
                {word(ints.data()), word(f.data()), word(n), word(32), word(0)});
}

INSTANTIATE_TEST_SUITE_P(AllVariants, CalleeSaved, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);

}  // namespace

#endif
