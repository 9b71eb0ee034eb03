// SPDX-License-Identifier: MIT
// qelcFft through each shared library: values against an independent
// double-precision DFT in every ordering and direction, the flag semantics,
// and every failed check as the user sees it.
//
// Tolerance: each of the log2(n) stages rounds its outputs to float once
// (relative error 2^-24 per value) and the twiddles are floats, so the
// relative RMS error grows like 2^-24 * sqrt(log2 n) times a small constant:
// about 3e-7 at order 22. 1e-6 leaves room for that constant and flags any
// wrong twiddle, which costs an error of order 1/n or more in RMS terms.
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
using zv::test::randomSignal;
using zv::test::sameBits;

constexpr double kComplexTolerance = 1e-6;

std::vector<Cd> expectedSpectrum(const std::vector<SComplex>& x, bool forward, bool scaled) {
    std::vector<Cd> want = zv::test::referenceDft(zv::test::toDouble(x), forward ? -1 : 1);
    if (!forward && scaled)
        for (Cd& v : want) v /= static_cast<double>(x.size());
    return want;
}

enum class Ordering { Natural, InputReversed, OutputReversed };

struct OrderingCase {
    Ordering ordering;
    int flags;
    const char* name;
};

constexpr OrderingCase kOrderings[] = {
    {Ordering::Natural, 0, "natural"},
    {Ordering::Natural, QEL_FFT_NATURAL_ORDER, "natural(32)"},
    {Ordering::InputReversed, QEL_FFT_INPUT_REVERSED, "input reversed"},
    {Ordering::OutputReversed, QEL_FFT_OUTPUT_REVERSED, "output reversed"},
};

class Fft : public zv::test::VariantTest {
protected:
    void SetUp() override {
        zv::test::VariantTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_NE(api->qelcFft, nullptr);
    }

    // The transform of x by the library in the given ordering, the result
    // brought back to natural order.
    std::vector<SComplex> transform(std::vector<SComplex> x, int order, int flags,
                                    Ordering ordering) {
        if (ordering == Ordering::InputReversed) x = zv::test::bitReversed(x, order);
        api->qelcFft(x.data(), order, flags);
        if (ordering == Ordering::OutputReversed) x = zv::test::bitReversed(x, order);
        return x;
    }

    void expectMatchesReference(int order) {
        const auto x = randomSignal(order, 1000u + static_cast<unsigned>(order));
        for (bool forward : {true, false}) {
            const auto want = expectedSpectrum(x, forward, true);
            for (const OrderingCase& o : kOrderings) {
                const int flags = o.flags | (forward ? QEL_FFT_FORWARD : QEL_FFT_INVERSE);
                const auto got = transform(x, order, flags, o.ordering);
                EXPECT_LT(zv::test::relativeRmsError(got, want), kComplexTolerance)
                    << "order " << order << ", " << o.name << (forward ? ", forward" : ", inverse");
            }
        }
    }

    void expectRoundTrip(int order) {
        const auto x = randomSignal(order, 7u + static_cast<unsigned>(order));
        auto y = x;
        api->qelcFft(y.data(), order, QEL_FFT_FORWARD);
        api->qelcFft(y.data(), order, QEL_FFT_INVERSE);
        EXPECT_LT(zv::test::relativeRmsError(y, zv::test::toDouble(x)), kComplexTolerance)
            << "natural order, order " << order;
        // Bit-reversed in between: no permutation in either call.
        y = x;
        api->qelcFft(y.data(), order, QEL_FFT_FORWARD | QEL_FFT_OUTPUT_REVERSED);
        api->qelcFft(y.data(), order, QEL_FFT_INVERSE | QEL_FFT_INPUT_REVERSED);
        EXPECT_LT(zv::test::relativeRmsError(y, zv::test::toDouble(x)), kComplexTolerance)
            << "reversed in between, order " << order;
    }
};

TEST_P(Fft, MatchesTheReferenceForOrders0To20InEveryOrderingAndDirection) {
    for (int order = 0; order <= 20; ++order) expectMatchesReference(order);
}

TEST_P(Fft, InverseOfForwardReturnsTheInputForOrders0To20) {
    for (int order = 0; order <= 20; ++order) expectRoundTrip(order);
}

// Long: the largest orders that still run quickly, with the outer stages
// over several superblocks.
TEST_P(Fft, LongOrders21And22MatchTheReferenceAndRoundTrip) {
    for (int order : {21, 22}) {
        const auto x = randomSignal(order, 99u);
        auto y = x;
        api->qelcFft(y.data(), order, QEL_FFT_FORWARD);
        EXPECT_LT(zv::test::relativeRmsError(y, expectedSpectrum(x, true, true)), kComplexTolerance)
            << "order " << order;
        api->qelcFft(y.data(), order, QEL_FFT_INVERSE);
        EXPECT_LT(zv::test::relativeRmsError(y, zv::test::toDouble(x)), kComplexTolerance)
            << "order " << order;
    }
}

TEST_P(Fft, OutputReversedIsTheNaturalResultBitReversed) {
    for (int order : {1, 2, 3, 4, 5, 10, 11, 14, 15, 16}) {
        for (int direction : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
            const auto x = randomSignal(order, 5u);
            auto natural = x;
            api->qelcFft(natural.data(), order, direction);
            auto reversed = x;
            api->qelcFft(reversed.data(), order, direction | QEL_FFT_OUTPUT_REVERSED);
            EXPECT_LT(zv::test::relativeRmsError(zv::test::bitReversed(reversed, order),
                                                 zv::test::toDouble(natural)),
                      kComplexTolerance)
                << "order " << order << " direction " << direction;
        }
    }
}

TEST_P(Fft, OrderZeroIsTheIdentityAndOrderOneTheButterfly) {
    for (int flags : {1, 2, 1 | 64, 2 | 128, 1 | 32, 2 | 16}) {
        std::vector<SComplex> one = {{std::bit_cast<float>(0x7FA00001u), -3.5f}};
        const auto before = one;
        api->qelcFft(one.data(), 0, flags);
        EXPECT_TRUE(sameBits(one, before)) << "flags " << flags;

        std::vector<SComplex> two = {{1.5f, -2.0f}, {0.25f, 4.0f}};
        api->qelcFft(two.data(), 1, flags);
        const float scale = (flags & QEL_FFT_INVERSE) && !(flags & QEL_FFT_NO_SCALE) ? 0.5f : 1.0f;
        const std::vector<SComplex> want = {{1.75f * scale, 2.0f * scale},
                                            {1.25f * scale, -6.0f * scale}};
        EXPECT_TRUE(sameBits(two, want)) << "flags " << flags;
    }
}

TEST_P(Fft, ImpulseGivesOnesAndConstantGivesOneSpike) {
    for (int order : {2, 3, 6, 11, 15}) {
        const std::size_t n = std::size_t{1} << order;
        for (const OrderingCase& o : kOrderings) {
            std::vector<SComplex> impulse(n, SComplex{0.0f, 0.0f});
            impulse[0] = {1.0f, 0.0f};
            api->qelcFft(impulse.data(), order, QEL_FFT_FORWARD | o.flags);
            for (std::size_t k = 0; k < n; ++k) {
                ASSERT_EQ(impulse[k].re, 1.0f) << o.name << " order " << order << " k " << k;
                ASSERT_EQ(impulse[k].im, 0.0f) << o.name << " order " << order << " k " << k;
            }
            for (int direction : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
                std::vector<SComplex> constant(n, SComplex{1.0f, 0.0f});
                api->qelcFft(constant.data(), order, direction | o.flags);
                const float dc = direction == QEL_FFT_FORWARD ? static_cast<float>(n) : 1.0f;
                ASSERT_EQ(constant[0].re, dc) << o.name << " order " << order;
                for (std::size_t k = 0; k < n; ++k) {
                    ASSERT_EQ(constant[k].im, 0.0f) << o.name << " order " << order << " k " << k;
                    if (k > 0) {
                        ASSERT_EQ(constant[k].re, 0.0f) << o.name << " order " << order;
                    }
                }
            }
        }
    }
}

// The factor at pi/4 is each build's own constant (its traits).
// Exact values, except that a zero may carry either sign.
::testing::AssertionResult sameValues(const std::vector<SComplex>& got,
                                      const std::vector<SComplex>& want) {
    auto same = [](float g, float w) {
        return w == 0.0f ? g == 0.0f : std::bit_cast<std::uint32_t>(g) == std::bit_cast<std::uint32_t>(w);
    };
    for (std::size_t i = 0; i < want.size(); ++i)
        if (!same(got[i].re, want[i].re) || !same(got[i].im, want[i].im))
            return ::testing::AssertionFailure() << "element " << i << ": (" << got[i].re << ", "
                                                 << got[i].im << ") instead of (" << want[i].re
                                                 << ", " << want[i].im << ")";
    return ::testing::AssertionSuccess();
}

TEST_P(Fft, OrderThreeCarriesTheBuildsPiQuarterFactorExactly) {
    std::vector<SComplex> x(8, SComplex{0.0f, 0.0f});
    x[1] = {1.0f, 0.0f};
    // e^(-2*pi*i*k/8) in bit-reversed order of k, K in place of cos(pi/4).
    const float k = std::bit_cast<float>(traits().fftPiQuarterReversed);
    auto reversed = x;
    api->qelcFft(reversed.data(), 3, QEL_FFT_FORWARD | QEL_FFT_OUTPUT_REVERSED);
    EXPECT_TRUE(sameValues(reversed, {{1, 0}, {-1, 0}, {0, -1}, {0, 1}, {k, -k}, {-k, k}, {-k, -k}, {k, k}}));
    // Natural order: sin(pi/4) rounded to float from the twiddle table, or
    // the build's radix-8 constant.
    const float s = std::bit_cast<float>(traits().fftPiQuarterNatural);
    auto natural = x;
    api->qelcFft(natural.data(), 3, QEL_FFT_FORWARD);
    EXPECT_TRUE(sameValues(natural, {{1, 0}, {s, -s}, {0, -1}, {-s, -s}, {-1, 0}, {-s, s}, {0, 1}, {s, s}}));
}

TEST_P(Fft, NoScaleLeavesTheInverseNTimesTheScaledOne) {
    for (int order : {1, 3, 8, 12, 16}) {
        for (int ordering : {0, QEL_FFT_INPUT_REVERSED, QEL_FFT_OUTPUT_REVERSED}) {
            const auto x = randomSignal(order, 3u);
            auto scaled = x;
            api->qelcFft(scaled.data(), order, QEL_FFT_INVERSE | ordering);
            auto unscaled = x;
            api->qelcFft(unscaled.data(), order, QEL_FFT_INVERSE | QEL_FFT_NO_SCALE | ordering);
            // Scaling by 2^-order is exact for these magnitudes.
            for (SComplex& v : unscaled) v = {std::ldexp(v.re, -order), std::ldexp(v.im, -order)};
            EXPECT_TRUE(sameBits(unscaled, scaled)) << "order " << order << " ordering " << ordering;
        }
    }
}

TEST_P(Fft, InitOnlyAndReleaseNeedNoData) {
    api->qelcFft(nullptr, 12, QEL_FFT_INIT_ONLY);
    api->qelcFft(nullptr, 12, QEL_FFT_INIT_ONLY | QEL_FFT_OUTPUT_REVERSED | 3);
    api->qelcFft(nullptr, 40, QEL_FFT_RELEASE);
    api->qelcFft(nullptr, -2, QEL_FFT_RELEASE | 3);
    api->qelcFft(nullptr, 12, QEL_FFT_RELEASE);
    api->qelcFft(nullptr, 12, QEL_FFT_RELEASE | QEL_FFT_OUTPUT_REVERSED);
    // Still transforms correctly after all that.
    auto x = randomSignal(12, 1u);
    auto y = x;
    api->qelcFft(y.data(), 12, QEL_FFT_FORWARD);
    EXPECT_LT(zv::test::relativeRmsError(y, expectedSpectrum(x, true, true)), kComplexTolerance);
}

// The argument checks are the shared code of every build, ahead of its loops:
// they run on one build.
class FftChecks : public Fft {};

TEST_P(FftChecks, EveryFailedCheckEndsTheProcessQuietlyWithDataUntouched) {
    auto data = randomSignal(4, 2u);
    SComplex* d = data.data();
    const std::size_t bytes = data.size() * sizeof(SComplex);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, -1, QEL_FFT_FORWARD), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 32, QEL_FFT_FORWARD), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(nullptr, 4, QEL_FFT_FORWARD), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 4, 0), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 4, QEL_FFT_NO_SCALE | QEL_FFT_NATURAL_ORDER), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 4, 3), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 4, 1 | 64 | 128), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 4, 2 | 64 | 32), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 4, 1 | 32 | 128), d, bytes);
    ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, 0, 0), d, sizeof(SComplex));
}

TEST_P(FftChecks, OrdersAboveTheLargestEndTheProcessAsOutOfMemory) {
    // The largest order the header documents: 29 with 64-bit pointers, 27
    // on 32-bit Windows.
    constexpr int kLargestOrder = sizeof(void*) == 8 ? 29 : 27;
    auto data = randomSignal(2, 6u);
    SComplex* d = data.data();
    const std::size_t bytes = data.size() * sizeof(SComplex);
    for (int order = kLargestOrder + 1; order <= 31; ++order) {
        ZV_EXPECT_QUIET_EXIT1(api->qelcFft(d, order, QEL_FFT_FORWARD), d, bytes);
        ZV_EXPECT_QUIET_EXIT1(api->qelcFft(nullptr, order, QEL_FFT_INIT_ONLY), d, bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Fft, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(SharedCode, FftChecks, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
