// SPDX-License-Identifier: MIT
// The complex-vector exports through each shared library: conjugate
// extension, real parts and magnitudes, their argument checks as a user
// sees them, and the values against double-precision references.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/float_bits.h"
#include "tests/support/quiet_exit.h"
#include "tests/support/uniform_float.h"
#include "tests/support/variant_loader.h"

namespace {

using zv::test::LibraryApi;

using zv::test::bitsOf;
using zv::test::fromBits;
using zv::test::kInf;
constexpr std::uint32_t kGuard = 0x7FC0DEADu;

class Complex : public zv::test::VariantTest {};

// The argument checks are the shared code of every build, ahead of its loops:
// they run on one build.
class ComplexChecks : public Complex {};

TEST_P(ComplexChecks, EveryFailedCheckEndsTheProcessQuietlyWithDataUntouched) {
    SComplex z[4] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    float f[4] = {9, 10, 11, 12};
    ZV_EXPECT_QUIET_EXIT1(api->qelcbConjExtend1(z, 0), z, sizeof z);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbConjExtend1(z, -2), z, sizeof z);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbConjExtend1(nullptr, 3), z, sizeof z);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbReal(z, f, 0), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbReal(nullptr, f, 4), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbReal(z, nullptr, 4), z, sizeof z);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbMag(z, f, 0), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbMag(z, f, -129), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbMag(z, nullptr, 4), z, sizeof z);
    ZV_EXPECT_QUIET_EXIT1(api->qelcbMag(nullptr, f, 4), f, sizeof f);
}

// vec[0 .. n-1] hold distinct values, the rest guard bits; afterwards
// vec[n .. 2n-3] must be the conjugates of vec[n-2 .. 1] and nothing else
// may have changed.
void expectConjugateExtension(const LibraryApi* api, int n) {
    std::vector<SComplex> vec(2 * n + 4, SComplex{fromBits(kGuard), fromBits(kGuard)});
    for (int k = 0; k < n; ++k) vec[k] = {static_cast<float>(k) + 0.25f, -static_cast<float>(k) - 0.5f};
    const std::vector<SComplex> before = vec;
    api->qelcbConjExtend1(vec.data(), n);
    int wrong = 0;
    for (int j = 0; j < static_cast<int>(vec.size()); ++j) {
        SComplex want = before[j];
        if (n > 2 && j >= n && j <= 2 * n - 3) want = {before[2 * n - 2 - j].re, -before[2 * n - 2 - j].im};
        wrong += bitsOf(vec[j].re) != bitsOf(want.re) || bitsOf(vec[j].im) != bitsOf(want.im);
    }
    EXPECT_EQ(wrong, 0) << "n=" << n;
}

TEST_P(Complex, ConjugateExtensionFillsTheSecondHalfOnly) {
    for (int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 17, 33, 513, 1025}) expectConjugateExtension(api, n);
}

TEST_P(Complex, ConjugateExtensionBits) {
    // Real parts are copied bit for bit; the sign of every imaginary part
    // flips, zeros and infinities included. A signalling NaN passes the
    // generic build's x87 negation quiet (payload kept); the other builds
    // flip the sign bit alone.
    const std::uint32_t re[] = {0x7F800001u, 0xFFA5A5A5u, 0x00000001u, 0x80000000u, 0x7FC01234u};
    const std::uint32_t im[] = {0x00000000u, 0x80000000u, 0x7F800000u, 0x7FC01234u, 0x7F800123u};
    constexpr int kCount = 5;
    std::vector<SComplex> vec(2 * (kCount + 2) - 2);
    vec[0] = {1, 1};
    for (int k = 0; k < kCount; ++k) vec[k + 1] = {fromBits(re[k]), fromBits(im[k])};
    vec[kCount + 1] = {2, 2};
    api->qelcbConjExtend1(vec.data(), kCount + 2);
    for (int k = 0; k < kCount; ++k) {
        const SComplex& out = vec[2 * (kCount + 2) - 2 - (k + 1)];
        EXPECT_EQ(bitsOf(out.re), re[k]) << k;
        std::uint32_t wantIm = im[k] ^ 0x80000000u;
        if (traits().x87ConjExtend && (im[k] & 0x7FC00000u) == 0x7F800000u && (im[k] & 0x007FFFFFu) != 0)
            wantIm |= 0x00400000u;
        EXPECT_EQ(bitsOf(out.im), wantIm) << std::hex << im[k];
    }
}

TEST_P(Complex, RealPartsAreCopiedBitForBit) {
    std::mt19937 random(3);
    for (int n : {1, 2, 3, 7, 8, 9, 15, 16, 17, 24, 25, 31, 33, 100}) {
        std::vector<SComplex> src(n);
        for (auto& z : src) z = {fromBits(static_cast<std::uint32_t>(random())), fromBits(static_cast<std::uint32_t>(random()))};
        src[0].re = fromBits(0x7F800001u);  // signalling NaN
        std::vector<float> dst(n + 2, fromBits(kGuard));
        api->qelcbReal(src.data(), dst.data(), n);
        int wrong = 0;
        for (int i = 0; i < n; ++i) wrong += bitsOf(dst[i]) != bitsOf(src[i].re);
        wrong += bitsOf(dst[n]) != kGuard || bitsOf(dst[n + 1]) != kGuard;
        EXPECT_EQ(wrong, 0) << "n=" << n;
    }
}

TEST_P(Complex, MagnitudeExactCases) {
    SComplex z[] = {{3, 4}, {0, 0}, {-0.0f, -0.0f}, {-3, -4}, {0, -kInf}, {-kInf, std::nanf("")}, {5, 12}};
    float mag[7];
    api->qelcbMag(z, mag, 7);
    EXPECT_EQ(mag[0], 5.0f);
    EXPECT_EQ(bitsOf(mag[1]), 0u);
    EXPECT_EQ(bitsOf(mag[2]), 0u);
    EXPECT_EQ(mag[3], 5.0f);
    EXPECT_EQ(mag[4], kInf);
    EXPECT_TRUE(std::isnan(mag[5]));
    EXPECT_EQ(mag[6], 13.0f);
}

// Against |z| in double (error about 2^-53, negligible). Direct path: the
// root of the extended sum is within a hair of |z| and rounds once, so the
// result is within half a unit plus that hair. Blocks: the float power
// spectrum is off by at most 2^-24 relative, half that after the root, plus
// half a unit from the last rounding. A unit is at most 2^-23 of the value,
// so |got - |z|| <= 2^-23 |z| covers both paths. Block roots taken from a
// reciprocal-square-root estimate (relative error at most 1.5 * 2^-12) and
// one Newton step are off by 1.5 * (1.5 * 2^-12)^2 < 3.4 * 2^-24, plus six
// roundings of 2^-24 on the way: within 2^-20. Software block roots, within
// one unit of the correctly rounded root of the float power: 2^-25 from the
// power, half a unit and one unit more, under 1.75 * 2^-23: within 2^-22.
TEST_P(Complex, MagnitudesMatchTheReference) {
    std::mt19937 random(9);
    zv::test::UniformFloat mantissa(-1.0f, 1.0f);
    for (int n : {1, 2, 127, 128, 129, 255, 256, 257, 1000}) {
        std::vector<SComplex> src(n);
        for (auto& z : src) {
            const int scale = static_cast<int>(random() % 60) - 30;
            z = {std::ldexp(mantissa(random), scale), std::ldexp(mantissa(random), scale + static_cast<int>(random() % 9) - 4)};
        }
        std::vector<float> mag(n + 1, fromBits(kGuard));
        api->qelcbMag(src.data(), mag.data(), n);
        int wrong = 0;
        for (int i = 0; i < n && wrong < 5; ++i) {
            const double want = std::hypot(static_cast<double>(src[i].re), static_cast<double>(src[i].im));
            const bool block = i < n / 128 * 128;
            const int bound = block && traits().estimatedBlockRoots ? -20 : block && traits().softwareBlockRoots ? -22 : -23;
            if (!(std::fabs(mag[i] - want) <= std::ldexp(want, bound))) {
                ++wrong;
                ADD_FAILURE() << "n=" << n << " i=" << i << " got " << mag[i] << " want " << want;
            }
        }
        EXPECT_EQ(bitsOf(mag[n]), kGuard) << "n=" << n;
    }
}

TEST_P(Complex, LargeMagnitudesOverflowOnlyInTheBlocks) {
    // |z| = 1e20: its square is beyond the float range. Every build computes
    // vectors of at most 128 elements, and the tail, in extended precision.
    std::vector<SComplex> z(300, SComplex{1e20f, 0.0f});
    std::vector<float> mag(300);
    api->qelcbMag(z.data(), mag.data(), 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(mag[i], 1e20f) << i;
    api->qelcbMag(z.data(), mag.data(), 300);
    for (int i = 256; i < 300; ++i) ASSERT_EQ(mag[i], 1e20f) << i;
    if (traits().estimatedBlockRoots) {
        // The power spectrum overflows, and the estimate's Newton step makes
        // a NaN of the infinity (infinity times an estimate of 0).
        for (int i = 0; i < 256; ++i) ASSERT_TRUE(std::isnan(mag[i])) << i;
    } else if (traits().floatPowerSpectrum) {
        // A single-precision power spectrum overflows.
        for (int i = 0; i < 256; ++i) ASSERT_EQ(mag[i], kInf) << i;
    }
}

// A group of four block elements with a zero, a NaN or a negative among
// their squared magnitudes takes the exact root of all four: the float
// power spectrum's correctly rounded root, a NaN lane as 0, an infinity as
// infinity. A NaN with its sign bit set is reported as a negative element.
TEST_P(Complex, EstimatedBlockRootsFallBackToExactOnes) {
    if (!traits().estimatedBlockRoots) GTEST_SKIP() << "block roots are exact";
    std::mt19937 random(21);
    zv::test::UniformFloat value(-100.0f, 100.0f);
    std::vector<SComplex> z(129);
    for (auto& c : z) c = {value(random), value(random)};
    z[0] = {0.0f, 0.0f};                // group 0: a zero
    z[5] = {std::nanf(""), 1.0f};       // group 1: a NaN, sign bit clear
    z[8] = {0.0f, 0.0f};                // group 2: a zero and an overflowing square
    z[9] = {1e20f, 0.0f};
    std::vector<float> mag(129);
    api->qelcbMag(z.data(), mag.data(), 129);
    for (int i = 0; i < 12; ++i) {
        const float power = static_cast<float>(static_cast<double>(z[i].re) * z[i].re +
                                               static_cast<double>(z[i].im) * z[i].im);
        float want = static_cast<float>(std::sqrt(static_cast<double>(power)));
        if (i == 5) want = 0.0f;
        EXPECT_EQ(bitsOf(mag[i]), bitsOf(want)) << i;
    }
    z[6] = {fromBits(0xFFC00000u), 0.0f};
    EXPECT_EXIT(
        {
            api->qelcbMag(z.data(), mag.data(), 129);
            std::_Exit(99);
        },
        ::testing::ExitedWithCode(1), "^$");
}

// Software block roots: within one unit in the last place of the correctly
// rounded root of each block element's float power, over random powers
// from subnormal to beyond the float range (squares of parts between 2^-80
// and 2^70), zeros and infinities; then a NaN power with its sign bit set
// is reported as a negative element, which ends the process quietly.
TEST_P(Complex, SoftwareBlockRootsWithinAnUlp) {
    if (!traits().softwareBlockRoots) GTEST_SKIP() << "block roots are not taken in software";
    std::mt19937 random(31);
    zv::test::UniformFloat mantissa(0.5f, 1.0f);
    constexpr int n = 1280;
    std::vector<SComplex> z(n);
    for (auto& c : z) {
        const int scale = static_cast<int>(random() % 151) - 80;
        c = {std::ldexp(mantissa(random), scale), random() % 3 == 0 ? std::ldexp(mantissa(random), scale - 3) : 0.0f};
    }
    z[0] = {0.0f, 0.0f};
    z[1] = {-0.0f, 0.0f};
    z[2] = {kInf, 1.0f};
    z[3] = {fromBits(0x1F800000u), 0.0f};  // 2^-64: power 2^-128, subnormal
    z[4] = {fromBits(0x1A000000u), 0.0f};  // 2^-75: power 2^-150 rounds to 0
    z[5] = {fromBits(0x1A400000u), 0.0f};  // power 2^-149 * 2.25 rounds to 2^-148
    z[6] = {std::sqrt(std::numeric_limits<float>::max()), 0.0f};
    std::vector<float> mag(n);
    api->qelcbMag(z.data(), mag.data(), n);
    for (int i = 0; i < n; ++i) {
        // The float power of the library, rounded once (the power spectrum's
        // unit test argues it), and its correctly rounded root (double has
        // 53 >= 2 * 24 + 2 bits).
        const double exact = static_cast<double>(z[i].re) * z[i].re + static_cast<double>(z[i].im) * z[i].im;
        const float power = static_cast<float>(exact);
        const float want = static_cast<float>(std::sqrt(static_cast<double>(power)));
        const auto distance = std::llabs(static_cast<long long>(bitsOf(mag[i])) - static_cast<long long>(bitsOf(want)));
        ASSERT_LE(distance, 1) << "i=" << i << " power " << power << " got " << mag[i] << " want " << want;
    }
    // The other elements get the values they hold already; the reported
    // one is left unwritten.
    z[200] = {fromBits(0xFFC00000u), 0.0f};
    ZV_EXPECT_QUIET_EXIT1(api->qelcbMag(z.data(), mag.data(), n), mag.data(), mag.size() * sizeof(float));
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Complex, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(SharedCode, ComplexChecks, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
