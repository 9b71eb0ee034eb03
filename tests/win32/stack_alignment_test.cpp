// SPDX-License-Identifier: MIT
// 32-bit Windows callers promise only 4-byte stack alignment, while code that
// spills SSE registers needs 16. Every export of every variant DLL is called
// here with the stack pointer at 0, 4, 8 and 12 (mod 16) at the call, and
// must return the same results each time. (Windows x64 callers keep the
// stack at 16 bytes by the ABI; there callee_saved_test.cpp checks instead.)
#if defined(__i386__)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "tests/support/variant_loader.h"
#include "zentavol.h"

extern "C" {
// Calls fn with count 32-bit arguments, the stack pointer being offset
// (mod 16) at the call; returns what fn leaves in EAX, or in ST(0) for the
// float form (the same code).
std::uint32_t zvCallAtStackOffset(const void* fn, const std::uint32_t* args, int count, int offset);
float zvCallAtStackOffsetFloat(const void* fn, const std::uint32_t* args, int count, int offset);
// Returns the stack pointer its caller had at the call.
std::uint32_t zvStackPointerAtCall();
}

asm(R"(
    .text
    .globl _zvCallAtStackOffset
    .globl _zvCallAtStackOffsetFloat
    .globl _zvStackPointerAtCall
_zvCallAtStackOffset:
_zvCallAtStackOffsetFloat:
    pushl %ebp
    movl  %esp, %ebp
    pushl %esi
    movl  12(%ebp), %esi
    movl  16(%ebp), %ecx
    movl  20(%ebp), %eax
    leal  (%eax,%ecx,4), %eax
    negl  %eax
    andl  $15, %eax
    andl  $-16, %esp
    subl  %eax, %esp
1:  testl %ecx, %ecx
    jz    2f
    decl  %ecx
    pushl (%esi,%ecx,4)
    jmp   1b
2:  call  *8(%ebp)
    leal  -4(%ebp), %esp
    popl  %esi
    popl  %ebp
    ret
_zvStackPointerAtCall:
    leal  4(%esp), %eax
    ret
)");

namespace {

std::uint32_t word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }
std::uint32_t word(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
std::uint32_t word(int i) { return static_cast<std::uint32_t>(i); }

std::uint32_t call(const void* fn, int offset, std::initializer_list<std::uint32_t> args) {
    return zvCallAtStackOffset(fn, args.begin(), static_cast<int>(args.size()), offset);
}
float callFloat(const void* fn, int offset, std::initializer_list<std::uint32_t> args) {
    return zvCallAtStackOffsetFloat(fn, args.begin(), static_cast<int>(args.size()), offset);
}

template <typename Fn>
const void* address(Fn fn) {
    return reinterpret_cast<const void*>(fn);
}

TEST(StackOffsetCall, PlacesTheStackPointerAsAsked) {
    for (int offset : {0, 4, 8, 12})
        EXPECT_EQ(call(address(zvStackPointerAtCall), offset, {}) % 16, std::uint32_t(offset));
    for (int offset : {0, 4, 8, 12})
        EXPECT_EQ(call(address(zvStackPointerAtCall), offset, {1, 2, 3}) % 16, std::uint32_t(offset));
}

class StackAlignment : public zv::test::VariantTest {};

template <typename T>
bool sameBytes(const std::vector<T>& a, const std::vector<T>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Every export is called with valid arguments at each offset. Results with a
// known exact value are compared with it; the others (magnitudes, the
// conjugate extension, both FFTs) with the bits of the same call made
// directly, at the stack alignment the compiler keeps.
TEST_P(StackAlignment, EveryExportGivesTheSameResultsAtEveryStackOffset) {
#define ZV_EXPORT(ordinal, fn) ASSERT_NE(api->fn, nullptr) << #fn;
#include "runtime/export_list.h"
#undef ZV_EXPORT
    constexpr int n = 37;
    // Inputs with no exact shortcuts: every FFT butterfly and square root
    // rounds.
    std::vector<SComplex> signal(16);
    std::vector<float> samples(16);
    for (int k = 0; k < 16; ++k) {
        signal[k] = {0.37f * static_cast<float>(k) - 1.1f, 2.3f - 0.61f * static_cast<float>(k * k % 7)};
        samples[k] = 0.29f * static_cast<float>(k % 5) - 0.7f + 0.013f * static_cast<float>(k);
    }
    // n = 9 points extend to 2n - 2 = 16; the tail starts marked.
    std::vector<SComplex> extendIn = signal;
    for (int k = 9; k < 16; ++k) extendIn[k] = {-99.0f, -99.0f};

    std::vector<float> magWant(16);
    api->qelcbMag(signal.data(), magWant.data(), 16);
    std::vector<SComplex> extendWant = extendIn;
    api->qelcbConjExtend1(extendWant.data(), 9);
    std::vector<SComplex> fftWant = signal;
    api->qelcFft(fftWant.data(), 4, QEL_FFT_FORWARD);
    std::vector<SComplex> realWant(9);
    api->qelsRealFftNip(samples.data(), realWant.data(), 4, QEL_FFT_FORWARD);

    for (int offset : {0, 4, 8, 12}) {
        SCOPED_TRACE(offset);
        std::vector<float> v(n, 0.0f);
        std::vector<float> half(n, 0.5f);
        std::vector<float> f(n, 0.0f);
        std::vector<std::int32_t> ints(n, 7);

        const std::uint32_t block = call(address(api->qelMalloc), offset, {word(64)});
        ASSERT_NE(block, 0u);
        EXPECT_EQ(block % 32, 0u);
        call(address(api->qelFree), offset, {block});
        // 0 -> 2 -> 3 -> 9 -> 9.5 -> 4.75, every step exact.
        call(address(api->qelsbSet), offset, {word(2.0f), word(v.data()), word(n)});
        call(address(api->qelsbAdd1), offset, {word(1.0f), word(v.data()), word(n)});
        call(address(api->qelsbMpy1), offset, {word(3.0f), word(v.data()), word(n)});
        call(address(api->qelsbAdd2), offset, {word(half.data()), word(v.data()), word(n)});
        call(address(api->qelsbMpy2), offset, {word(half.data()), word(v.data()), word(n)});
        for (float x : v) ASSERT_EQ(x, 4.75f);
        v[5] = 8.0f;
        v[9] = -1.0f;
        EXPECT_EQ(callFloat(address(api->qelsMax), offset, {word(v.data()), word(n)}), 8.0f);
        EXPECT_EQ(callFloat(address(api->qelsMin), offset, {word(v.data()), word(n)}), -1.0f);
        call(address(api->qelcbReal), offset, {word(signal.data()), word(f.data()), word(16)});
        for (int k = 0; k < 16; ++k) ASSERT_EQ(f[k], signal[k].re);

        std::vector<float> mag(16, -1.0f);
        call(address(api->qelcbMag), offset, {word(signal.data()), word(mag.data()), word(16)});
        EXPECT_TRUE(sameBytes(mag, magWant));
        std::vector<SComplex> extended = extendIn;
        call(address(api->qelcbConjExtend1), offset, {word(extended.data()), word(9)});
        EXPECT_TRUE(sameBytes(extended, extendWant));
        std::vector<SComplex> spectrum = signal;
        call(address(api->qelcFft), offset, {word(spectrum.data()), word(4), word(QEL_FFT_FORWARD)});
        EXPECT_TRUE(sameBytes(spectrum, fftWant));
        std::vector<SComplex> realSpectrum(9, SComplex{-99.0f, -99.0f});
        call(address(api->qelsRealFftNip), offset,
             {word(samples.data()), word(realSpectrum.data()), word(4), word(QEL_FFT_FORWARD)});
        EXPECT_TRUE(sameBytes(realSpectrum, realWant));

        call(address(api->qelsbFloatToInt), offset,
             {word(half.data()), word(ints.data()), word(n), word(32), word(QEL_CVT_TRUNCATE)});
        call(address(api->qelsbIntToFloat), offset, {word(ints.data()), word(f.data()), word(n), word(32), word(0)});
        EXPECT_EQ(f[0], 0.0f);  // 0.5 truncated
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, StackAlignment, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);

}  // namespace

#endif
