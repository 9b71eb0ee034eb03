// SPDX-License-Identifier: MIT
// The C++ header through the front library, as an application uses it: the
// owning buffer, the complex views, and every argument the C functions end
// the process for thrown instead, in this one process, with the outputs
// untouched. That the C function ends the process with exit code 1 for the
// same arguments is the death tests' part: EveryFailedCheckEndsTheProcess...
// in tests/api/{fft_complex,fft_real,arith,complex,extremes,convert}_test.cpp,
// OrdersAboveTheLargestEndTheProcessAsOutOfMemory (both transforms),
// AReportedElementEndsTheProcessBeforeTheNextIsConverted (convert_test.cpp)
// and, for a NaN in a 128-block of magnitudes, EstimatedBlockRootsFallBack...
// and SoftwareBlockRootsWithinAnUlp (complex_test.cpp). The cases here take
// those tests' arguments.
#include <gtest/gtest.h>

#include <zentavol.hpp>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <stdexcept>
#include <vector>

namespace {

namespace zc = zentavol::checked;
using zentavol::Buffer;
using zentavol::Complex;

TEST(CppBuffer, OwnsAlignedZeroedMemoryAndMovesIt) {
    Buffer<float> a(1000);
    ASSERT_EQ(a.size(), 1000u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.data()) % 32, 0u);
    for (float x : a) ASSERT_EQ(x, 0.0f);
    a[999] = 5.0f;
    float* block = a.data();

    Buffer<float> b(std::move(a));
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(b.data(), block);
    EXPECT_EQ(b[999], 5.0f);

    Buffer<float> c(3);
    c = std::move(b);  // c's own block is freed (ASan: no leak), b's taken
    EXPECT_EQ(c.data(), block);
    EXPECT_TRUE(b.empty());
    Buffer<float>& alias = c;
    c = std::move(alias);  // a self-move keeps the block
    EXPECT_EQ(c.data(), block);

    std::span<float> view = c;  // a contiguous range
    EXPECT_EQ(view.size(), 1000u);
    const Buffer<Complex> none;
    EXPECT_TRUE(std::span<const Complex>(none).empty());
    EXPECT_THROW(Buffer<Complex>(std::size_t{1} << 28), std::length_error);  // 2 GiB: beyond qelMalloc's int
    EXPECT_THROW(zc::qelMalloc(-1), std::bad_alloc);
    void* raw = zc::qelMalloc(0);
    zc::qelFree(raw);
}

TEST(CppBuffer, ComplexViewsAreTheLibrarysValues) {
    std::array<SComplex, 2> z{{{1.5f, -2.0f}, {3.0f, 4.0f}}};
    std::span<Complex> view = zentavol::complexView(std::span<SComplex>(z));
    EXPECT_EQ(view[0], Complex(1.5f, -2.0f));
    view[1] *= 2.0f;
    EXPECT_EQ(z[1].re, 6.0f);
    EXPECT_EQ(z[1].im, 8.0f);
    EXPECT_EQ(zentavol::library(view.data()), z.data());
}

// One bad call: what it must throw, and the bytes it must leave alone.
struct BadCall {
    const char* name;
    bool lengthError;  // std::length_error, else std::invalid_argument
    std::function<void()> call;
};

TEST(CppChecked, EveryArgumentTheCFunctionEndsTheProcessForThrows) {
    std::array<SComplex, 16> z{};
    std::array<float, 16> f{};
    std::array<std::int32_t, 16> i{};
    for (int k = 0; k < 16; ++k) {
        z[k] = {static_cast<float>(k), -static_cast<float>(k)};
        f[k] = static_cast<float>(k) + 0.25f;
        i[k] = 100 + k;
    }
    SComplex* d = z.data();
    float* x = f.data();
    const int largest = zentavol::kLargestOrder;
    const std::vector<BadCall> cases = {
        {"qelcFft order -1", false, [&] { zc::qelcFft(d, -1, QEL_FFT_FORWARD); }},
        {"qelcFft order 32", false, [&] { zc::qelcFft(d, 32, QEL_FFT_FORWARD); }},
        {"qelcFft above the largest", true, [&] { zc::qelcFft(d, largest + 1, QEL_FFT_FORWARD); }},
        {"qelcFft 31 init only", true, [&] { zc::qelcFft(nullptr, 31, QEL_FFT_INIT_ONLY); }},
        {"qelcFft null", false, [&] { zc::qelcFft(nullptr, 4, QEL_FFT_FORWARD); }},
        {"qelcFft flags 0", false, [&] { zc::qelcFft(d, 4, 0); }},
        {"qelcFft no direction", false, [&] { zc::qelcFft(d, 4, QEL_FFT_NO_SCALE | QEL_FFT_NATURAL_ORDER); }},
        {"qelcFft both directions", false, [&] { zc::qelcFft(d, 4, 3); }},
        {"qelcFft 64|128", false, [&] { zc::qelcFft(d, 4, 1 | 64 | 128); }},
        {"qelcFft 64|32", false, [&] { zc::qelcFft(d, 4, 2 | 64 | 32); }},
        {"qelcFft 32|128", false, [&] { zc::qelcFft(d, 4, 1 | 32 | 128); }},
        {"qelcFft order 0 flags 0", false, [&] { zc::qelcFft(d, 0, 0); }},
        {"qelsRealFftNip order -1", false, [&] { zc::qelsRealFftNip(x, d, -1, QEL_FFT_FORWARD); }},
        {"qelsRealFftNip order 32", false, [&] { zc::qelsRealFftNip(x, d, 32, QEL_FFT_FORWARD); }},
        {"qelsRealFftNip above the largest", true, [&] { zc::qelsRealFftNip(x, d, largest + 1, QEL_FFT_FORWARD); }},
        {"qelsRealFftNip null in", false, [&] { zc::qelsRealFftNip(nullptr, d, 4, QEL_FFT_FORWARD); }},
        {"qelsRealFftNip null out", false, [&] { zc::qelsRealFftNip(x, nullptr, 4, QEL_FFT_FORWARD); }},
        {"qelsRealFftNip both directions", false, [&] { zc::qelsRealFftNip(x, d, 4, 3); }},
        {"qelsRealFftNip both directions, order 1", false, [&] { zc::qelsRealFftNip(x, d, 1, 2 | 1 | 16); }},
        {"qelsRealFftNip flags 0", false, [&] { zc::qelsRealFftNip(x, d, 4, 0); }},
        {"qelsRealFftNip no direction", false, [&] { zc::qelsRealFftNip(x, d, 0, QEL_FFT_NO_SCALE | 64); }},
        {"qelsbSet n 0", true, [&] { zc::qelsbSet(3.0f, x, 0); }},
        {"qelsbAdd1 n -5", true, [&] { zc::qelsbAdd1(3.0f, x, -5); }},
        {"qelsbMpy1 null", false, [&] { zc::qelsbMpy1(3.0f, nullptr, 5); }},
        {"qelsbAdd2 n -1", true, [&] { zc::qelsbAdd2(x, x + 8, -1); }},
        {"qelsbAdd2 null src", false, [&] { zc::qelsbAdd2(nullptr, x, 5); }},
        {"qelsbMpy2 null dst", false, [&] { zc::qelsbMpy2(x, nullptr, 5); }},
        {"qelsbMpy2 n 0", true, [&] { zc::qelsbMpy2(x, x + 8, 0); }},
        {"qelsbMpy2 both null", false, [&] { zc::qelsbMpy2(nullptr, nullptr, 5); }},
        {"qelcbConjExtend1 n -2", true, [&] { zc::qelcbConjExtend1(d, -2); }},
        {"qelcbConjExtend1 null", false, [&] { zc::qelcbConjExtend1(nullptr, 3); }},
        {"qelcbReal n 0", true, [&] { zc::qelcbReal(d, x, 0); }},
        {"qelcbReal null src", false, [&] { zc::qelcbReal(nullptr, x, 4); }},
        {"qelcbReal null dst", false, [&] { zc::qelcbReal(d, nullptr, 4); }},
        {"qelcbMag n -129", true, [&] { zc::qelcbMag(d, x, -129); }},
        {"qelcbMag null mag", false, [&] { zc::qelcbMag(d, nullptr, 4); }},
        {"qelcbMag null src", false, [&] { zc::qelcbMag(nullptr, x, 4); }},
        {"qelsMax len 0", true, [&] { zc::qelsMax(x, 0); }},
        {"qelsMax null", false, [&] { zc::qelsMax(nullptr, 5); }},
        {"qelsMax len -1", true, [&] { zc::qelsMax(x, -1); }},
        {"qelsMin len 0", true, [&] { zc::qelsMin(x, 0); }},
        {"qelsMin null", false, [&] { zc::qelsMin(nullptr, 5); }},
        {"qelsbFloatToInt len 0 before nulls", true, [&] { zc::qelsbFloatToInt(nullptr, nullptr, 0, 8, QEL_CVT_NEAREST); }},
        {"qelsbFloatToInt len -4", true, [&] { zc::qelsbFloatToInt(x, i.data(), -4, 32, QEL_CVT_NEAREST); }},
        {"qelsbFloatToInt null src", false, [&] { zc::qelsbFloatToInt(nullptr, i.data(), 4, 32, QEL_CVT_NEAREST); }},
        {"qelsbFloatToInt null dst", false, [&] { zc::qelsbFloatToInt(x, nullptr, 4, 32, QEL_CVT_NEAREST); }},
        {"qelsbFloatToInt size 24", false, [&] { zc::qelsbFloatToInt(x, i.data(), 4, 24, QEL_CVT_NEAREST); }},
        {"qelsbFloatToInt two roundings", false, [&] { zc::qelsbFloatToInt(x, i.data(), 4, 32, 0x180); }},
        {"qelsbFloatToInt no rounding", false, [&] { zc::qelsbFloatToInt(x, i.data(), 4, 32, QEL_CVT_SATURATE); }},
        {"qelsbIntToFloat len 0", true, [&] { zc::qelsbIntToFloat(i.data(), x, 0, 32, 0); }},
        {"qelsbIntToFloat null src", false, [&] { zc::qelsbIntToFloat(nullptr, x, 4, 32, 0); }},
        {"qelsbIntToFloat null dst", false, [&] { zc::qelsbIntToFloat(i.data(), nullptr, 4, 32, 0); }},
        {"qelsbIntToFloat size 24", false, [&] { zc::qelsbIntToFloat(i.data(), x, 4, 24, 0); }},
        {"qelsbIntToFloat rounding flag", false, [&] { zc::qelsbIntToFloat(i.data(), x, 4, 8, 0x880); }},
        {"qelsbIntToFloat saturate", false, [&] { zc::qelsbIntToFloat(i.data(), x, 4, 8, QEL_CVT_SATURATE); }},
    };
    const auto zBefore = z;
    const auto fBefore = f;
    const auto iBefore = i;
    for (const BadCall& bad : cases) {
        if (bad.lengthError)
            EXPECT_THROW(bad.call(), std::length_error) << bad.name;
        else
            EXPECT_THROW(bad.call(), std::invalid_argument) << bad.name;
        ASSERT_EQ(std::memcmp(z.data(), zBefore.data(), sizeof z), 0) << bad.name;
        ASSERT_EQ(std::memcmp(f.data(), fBefore.data(), sizeof f), 0) << bad.name;
        ASSERT_EQ(std::memcmp(i.data(), iBefore.data(), sizeof i), 0) << bad.name;
    }
}

TEST(CppChecked, WhatTheCFunctionAcceptsIsPassedOn) {
    // release checks nothing; init only needs no data
    EXPECT_NO_THROW(zc::qelcFft(nullptr, -3, QEL_FFT_RELEASE));
    EXPECT_NO_THROW(zc::qelsRealFftNip(nullptr, nullptr, 40, QEL_FFT_RELEASE));
    EXPECT_NO_THROW(zc::qelcFft(nullptr, 5, QEL_FFT_INIT_ONLY));
    EXPECT_NO_THROW(zc::qelsRealFftNip(nullptr, nullptr, 5, QEL_FFT_INIT_ONLY));
    // the same results as the C calls, arguments in their places
    std::vector<SComplex> a(32), b(32);
    for (int k = 0; k < 32; ++k) a[k] = b[k] = {std::sin(k * 0.7f), std::cos(k * 1.3f)};
    zc::qelcFft(a.data(), 5, QEL_FFT_INVERSE | QEL_FFT_OUTPUT_REVERSED);
    ::qelcFft(b.data(), 5, QEL_FFT_INVERSE | QEL_FFT_OUTPUT_REVERSED);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), 32 * sizeof(SComplex)), 0);
    std::vector<float> src{1, 2, 3}, dst{10, 20, 30};
    zc::qelsbAdd2(src.data(), dst.data(), 3);
    EXPECT_EQ(dst, (std::vector<float>{11, 22, 33}));
    std::uint16_t u[2] = {7, 7};
    const float halves[2] = {2.5f, 65535.4f};
    zc::qelsbFloatToInt(halves, u, 2, 16, QEL_CVT_NEAREST | QEL_CVT_UNSIGNED | QEL_CVT_REPORT);
    EXPECT_EQ(u[0], 2);
    EXPECT_EQ(u[1], 65535);
}

TEST(CppChecked, DataTheLibraryWouldEndTheProcessForThrow) {
    // QEL_CVT_REPORT: an element outside the type after rounding (a NaN too);
    // nothing is written, even before it
    const float values[4] = {1.0f, 300.0f, 2.0f, -1.0f};
    std::int8_t out[4] = {9, 9, 9, 9};
    std::uint8_t unsignedOut[4] = {9, 9, 9, 9};
    EXPECT_THROW(zc::qelsbFloatToInt(values, out, 4, 8, QEL_CVT_NEAREST | QEL_CVT_REPORT), std::invalid_argument);
    EXPECT_THROW(zc::qelsbFloatToInt(values + 3, unsignedOut, 1, 8,
                                     QEL_CVT_TRUNCATE | QEL_CVT_UNSIGNED | QEL_CVT_SATURATE | QEL_CVT_REPORT),
                 std::invalid_argument);
    // a NaN counts as above the type (the C header says so)
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_THROW(zc::qelsbFloatToInt(&nan, out, 1, 8, QEL_CVT_TRUNCATE | QEL_CVT_REPORT), std::invalid_argument);
    EXPECT_EQ(std::vector<int>(out, out + 4), (std::vector<int>{9, 9, 9, 9}));
    EXPECT_EQ(unsignedOut[0], 9);
    // in 16 bits 300 fits; and -0.5 truncates to 0, in range for unsigned
    std::int16_t wide[4] = {};
    EXPECT_NO_THROW(zc::qelsbFloatToInt(values, wide, 4, 16, QEL_CVT_NEAREST | QEL_CVT_REPORT));
    EXPECT_EQ(wide[1], 300);
    const float small = -0.5f;
    EXPECT_NO_THROW(zc::qelsbFloatToInt(&small, unsignedOut, 1, 8, QEL_CVT_TRUNCATE | QEL_CVT_UNSIGNED | QEL_CVT_REPORT));
    EXPECT_EQ(unsignedOut[0], 0);

    // magnitudes: a NaN in a 128-block of a longer vector; none outside them
    std::vector<SComplex> z(300, SComplex{3.0f, 4.0f});
    std::vector<float> mag(300, -1.0f);
    z[200] = {std::bit_cast<float>(0xFFC00000u), 0.0f};  // a NaN with its sign bit set
    EXPECT_THROW(zc::qelcbMag(z.data(), mag.data(), 300), std::invalid_argument);
    EXPECT_EQ(mag[0], -1.0f);
    z[200] = {3.0f, 4.0f};
    z[299] = {0.0f, nan};  // the directly computed tail
    zc::qelcbMag(z.data(), mag.data(), 300);
    EXPECT_EQ(mag[0], 5.0f);
    EXPECT_TRUE(std::isnan(mag[299]));
    zc::qelcbMag(z.data() + 200, mag.data(), 100);  // a short vector has no blocks
    EXPECT_TRUE(std::isnan(mag[99]));
}

TEST(CppSpans, LengthsAndOrdersComeFromTheSpans) {
    Buffer<Complex> data(8);
    for (std::size_t k = 0; k < 8; ++k) data[k] = Complex(static_cast<float>(k), 0.0f);
    zentavol::fft(data, QEL_FFT_FORWARD);
    EXPECT_EQ(data[0], Complex(28.0f, 0.0f));
    zentavol::fft(data, QEL_FFT_INVERSE);
    EXPECT_NEAR(data[3].real(), 3.0f, 1e-5f);

    Buffer<float> samples(16);
    Buffer<Complex> spectrum(9);
    zentavol::set(1.0f, samples);
    zentavol::realFft(samples, spectrum, QEL_FFT_FORWARD);
    EXPECT_EQ(spectrum[0], Complex(16.0f, 0.0f));
    EXPECT_THROW(zentavol::realFft(samples, std::span<Complex>(spectrum).first(8), QEL_FFT_FORWARD), std::length_error);
    EXPECT_THROW(zentavol::fft(std::span<Complex>(data).first(6), QEL_FFT_FORWARD), std::length_error);
    EXPECT_THROW(zentavol::fft(std::span<Complex>(), QEL_FFT_FORWARD), std::length_error);
    EXPECT_THROW(zentavol::fft(data, QEL_FFT_FORWARD | QEL_FFT_INVERSE), std::invalid_argument);
    EXPECT_THROW(zentavol::set(1.0f, std::span<float>()), std::length_error);
    EXPECT_THROW(zentavol::add(samples, std::span<float>(samples).first(15)), std::length_error);
    EXPECT_THROW(zentavol::conjExtend(spectrum, 6), std::length_error);  // 10 points needed, 9 there

    std::vector<float> a{1.0f, -2.0f, 3.5f};
    zentavol::multiply(a, a);
    EXPECT_EQ(zentavol::max(a), 12.25f);
    EXPECT_EQ(zentavol::min(std::span<const float>(a).first(1)), 1.0f);
    std::vector<std::uint8_t> bytes(3);
    zentavol::floatToInt<std::uint8_t>(a, bytes, QEL_CVT_NEAREST);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{1, 4, 12}));
    EXPECT_THROW(zentavol::floatToInt<std::int8_t>(a, std::span<std::int8_t>(), QEL_CVT_NEAREST), std::length_error);
    std::vector<std::int8_t> signedBytes(3);
    EXPECT_THROW(zentavol::floatToInt<std::int8_t>(a, signedBytes, QEL_CVT_NEAREST | QEL_CVT_UNSIGNED), std::invalid_argument);
    const std::vector<std::int16_t> shorts{-7, 300};
    std::vector<float> back(2);
    zentavol::intToFloat<std::int16_t>(shorts, back);
    EXPECT_EQ(back, (std::vector<float>{-7.0f, 300.0f}));
}

}  // namespace
