// SPDX-License-Identifier: MIT
// qelsRealFftNip through each shared library: the half spectrum against an
// independent double-precision DFT of the real input, the exact small
// orders, what it writes and never writes, and every failed check as the
// user sees it.
//
// Tolerance as for the complex transform (fft_complex_test.cpp): the
// half-length transform has one stage fewer and the recombination adds one
// rounding per value, so 1e-6 relative RMS holds with the same margin.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fft_signals.h"
#include "tests/support/quiet_exit.h"
#include "tests/support/reference_fft.h"
#include "tests/support/variant_loader.h"

namespace {

using zv::test::Cd;
using zv::test::randomSamples;
using zv::test::sameBits;

constexpr double kRealTolerance = 1e-6;
constexpr std::uint32_t kMarker = 0x7FC0DEADu;  // a NaN no result can have

// The first n/2 + 1 values of the DFT of x, exponent sign `sign`, divided
// by `divisor`.
std::vector<Cd> halfSpectrum(const std::vector<float>& x, int sign, double divisor) {
    std::vector<Cd> complexInput(x.begin(), x.end());
    auto full = zv::test::referenceDft(complexInput, sign);
    full.resize(x.size() / 2 + 1);
    for (Cd& v : full) v /= divisor;
    return full;
}

std::vector<SComplex> markedOutput(std::size_t count) {
    const float marker = std::bit_cast<float>(kMarker);
    return std::vector<SComplex>(count, SComplex{marker, marker});
}

class RealFft : public zv::test::VariantTest {
protected:
    // The output of one call, after checking that the input stayed as it
    // was and that every output value was written.
    std::vector<SComplex> run(const std::vector<float>& x, int order, int flags) {
        auto in = x;
        auto out = markedOutput(x.size() / 2 + 1);
        api->qelsRealFftNip(in.data(), out.data(), order, flags);
        EXPECT_TRUE(sameBits(in, x)) << "input written";
        std::size_t unwritten = 0;
        for (const SComplex& v : out)
            unwritten += (std::bit_cast<std::uint32_t>(v.re) == kMarker) +
                         (std::bit_cast<std::uint32_t>(v.im) == kMarker);
        EXPECT_EQ(unwritten, 0u) << "order " << order << " flags " << flags;
        return out;
    }
};

TEST_P(RealFft, MatchesTheReferenceForOrders0To20) {
    for (int order = 0; order <= 20; ++order) {
        const auto x = randomSamples(order, 500u + static_cast<unsigned>(order));
        const double n = static_cast<double>(x.size());
        // For real input the positive-exponent sums are the conjugates.
        const auto forward = halfSpectrum(x, -1, 1);
        std::vector<Cd> unscaled(forward.size());
        std::vector<Cd> scaled(forward.size());
        for (std::size_t k = 0; k < forward.size(); ++k) {
            unscaled[k] = std::conj(forward[k]);
            scaled[k] = unscaled[k] / n;
        }
        struct Case {
            int flags;
            const std::vector<Cd>& want;
            const char* name;
        };
        const Case cases[] = {{QEL_FFT_FORWARD, forward, "forward"},
                              {QEL_FFT_INVERSE, scaled, "inverse"},
                              {QEL_FFT_INVERSE | QEL_FFT_NO_SCALE, unscaled, "inverse unscaled"}};
        for (const Case& c : cases) {
            const auto out = run(x, order, c.flags);
            EXPECT_LT(zv::test::relativeRmsError(out, c.want), kRealTolerance)
                << "order " << order << " " << c.name;
            // The imaginary parts of X[0] and X[n/2] are +0.0 exactly.
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out.front().im), 0u) << "order " << order;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out.back().im), 0u) << "order " << order;
        }
    }
}

TEST_P(RealFft, SmallOrdersGiveTheirExactValues) {
    for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
        const bool inverse = flags == QEL_FFT_INVERSE;
        auto zero = run({-2.5f}, 0, flags);
        EXPECT_EQ(zero[0].re, -2.5f);  // order 0 is never scaled

        auto one = run({3.0f, 1.0f}, 1, flags);
        EXPECT_EQ(one[0].re, inverse ? 2.0f : 4.0f);
        EXPECT_EQ(one[1].re, inverse ? 1.0f : 2.0f);

        const float x0 = 1.0f, x1 = 2.0f, x2 = 4.0f, x3 = 8.5f;
        auto two = run({x0, x1, x2, x3}, 2, flags);
        const float s = inverse ? 0.25f : 1.0f;
        EXPECT_EQ(two[0].re, ((x0 + x2) + (x1 + x3)) * s);
        EXPECT_EQ(two[1].re, (x0 - x2) * s);
        EXPECT_EQ(two[1].im, (inverse ? x1 - x3 : x3 - x1) * s);
        EXPECT_EQ(two[2].re, ((x0 + x2) - (x1 + x3)) * s);
        for (const auto* out : {&zero, &one, &two}) {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out->front().im), 0u);
            EXPECT_EQ(std::bit_cast<std::uint32_t>(out->back().im), 0u);
        }
    }
}

TEST_P(RealFft, AConstantGivesOneSpike) {
    for (int order : {1, 2, 3, 4, 9, 12, 15}) {
        const std::vector<float> x(std::size_t{1} << order, 0.75f);
        const auto forward = run(x, order, QEL_FFT_FORWARD);
        const auto inverse = run(x, order, QEL_FFT_INVERSE);
        EXPECT_EQ(forward[0].re, 0.75f * static_cast<float>(x.size())) << "order " << order;
        EXPECT_EQ(inverse[0].re, 0.75f) << "order " << order;
        for (std::size_t k = 0; k < forward.size(); ++k) {
            EXPECT_EQ(forward[k].im, 0.0f) << "order " << order << " k " << k;
            EXPECT_EQ(inverse[k].im, 0.0f) << "order " << order << " k " << k;
            if (k > 0) {
                EXPECT_EQ(forward[k].re, 0.0f) << "order " << order << " k " << k;
                EXPECT_EQ(inverse[k].re, 0.0f) << "order " << order << " k " << k;
            }
        }
    }
}

TEST_P(RealFft, OrderingFlagsAreIgnored) {
    for (int order : {3, 11}) {
        const auto x = randomSamples(order, 8u);
        const auto plain = run(x, order, QEL_FFT_FORWARD);
        for (int ordering : {32, 64, 128, 64 | 128, 32 | 64 | 128}) {
            const auto other = run(x, order, QEL_FFT_FORWARD | ordering);
            EXPECT_TRUE(sameBits(plain, other))
                << "ordering " << ordering;
        }
    }
}

TEST_P(RealFft, InitOnlyAndReleaseNeedNoPointers) {
    api->qelsRealFftNip(nullptr, nullptr, 10, QEL_FFT_INIT_ONLY);
    api->qelsRealFftNip(nullptr, nullptr, 1, QEL_FFT_INIT_ONLY);
    api->qelsRealFftNip(nullptr, nullptr, 10, QEL_FFT_INIT_ONLY | 3);
    api->qelsRealFftNip(nullptr, nullptr, 10, QEL_FFT_RELEASE);
    api->qelsRealFftNip(nullptr, nullptr, -4, QEL_FFT_RELEASE);
    api->qelsRealFftNip(nullptr, nullptr, 77, QEL_FFT_RELEASE);
    const auto x = randomSamples(10, 9u);
    EXPECT_LT(zv::test::relativeRmsError(run(x, 10, QEL_FFT_FORWARD), halfSpectrum(x, -1, 1)),
              kRealTolerance);
}

// The argument checks are the shared code of every build, ahead of its loops:
// they run on one build.
class RealFftChecks : public RealFft {};

TEST_P(RealFftChecks, EveryFailedCheckEndsTheProcessQuietlyWithNothingWritten) {
    auto in = randomSamples(4, 3u);
    auto out = markedOutput(9);
    float* i = in.data();
    SComplex* o = out.data();
    const std::size_t inBytes = in.size() * sizeof(float);
    const std::size_t outBytes = out.size() * sizeof(SComplex);
    ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, -1, QEL_FFT_FORWARD), i, inBytes, o, outBytes);
    ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, 32, QEL_FFT_FORWARD), i, inBytes, o, outBytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelsRealFftNip(nullptr, o, 4, QEL_FFT_FORWARD), o, outBytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelsRealFftNip(i, nullptr, 4, QEL_FFT_FORWARD), i, inBytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelsRealFftNip(nullptr, nullptr, 0, QEL_FFT_INVERSE), i, inBytes);
    ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, 4, 3), i, inBytes, o, outBytes);
    ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, 4, 0), i, inBytes, o, outBytes);
    ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, 0, QEL_FFT_NO_SCALE | 64), i, inBytes, o, outBytes);
    ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, 1, 2 | 1 | 16), i, inBytes, o, outBytes);
}

TEST_P(RealFftChecks, OrdersAboveTheLargestEndTheProcessAsOutOfMemory) {
    // The largest order the header documents: 29 with 64-bit pointers, 27
    // on 32-bit Windows.
    constexpr int kLargestOrder = sizeof(void*) == 8 ? 29 : 27;
    auto in = randomSamples(2, 5u);
    auto out = markedOutput(3);
    float* i = in.data();
    SComplex* o = out.data();
    const std::size_t inBytes = in.size() * sizeof(float);
    const std::size_t outBytes = out.size() * sizeof(SComplex);
    for (int order = kLargestOrder + 1; order <= 31; ++order) {
        ZV_EXPECT_QUIET_EXIT1_2(api->qelsRealFftNip(i, o, order, QEL_FFT_FORWARD), i, inBytes, o, outBytes);
        ZV_EXPECT_QUIET_EXIT1(api->qelsRealFftNip(nullptr, nullptr, order, QEL_FFT_INIT_ONLY), i, inBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, RealFft, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(SharedCode, RealFftChecks, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
