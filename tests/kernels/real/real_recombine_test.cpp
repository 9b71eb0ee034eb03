// SPDX-License-Identifier: MIT
// The four-pair recombination of the streaming-SIMD builds against the
// generic one (extended precision) and the double-precision DFT of the real
// input; its special
// sizes, its sign flips, what it must not touch, and its bits across builds
// and alignments.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <random>
#include <vector>

#include "fft/tables.h"
#include "kernel_buffers.h"
#include "kernels/generic/fft.h"
#include "runtime/processor.h"
#include "tests/kernels/special_values.h"
#include "tests/support/reference_fft.h"
#include "tests/support/uniform_float.h"

namespace zv::test {
namespace {

using Recombine = void (*)(SComplex*, int, int, const SComplex*);

struct Family {
    const char* name;
    Recombine recombine;
};

void PrintTo(const Family& family, std::ostream* os) { *os << family.name; }

// A program of a row with the SSE2 recombination holds the SSE one too
// (compiled as its own row compiles it); the SSE row's program only that.
const Family kFamilies[] = {
#if ZV_TEST_SSE2_RECOMBINE
    {"sse2", qel::sse2::realFftRecombine},
#endif
    {"sse", qel::sse::realFftRecombine},
};

constexpr double kUnit = 0x1p-24;  // unit roundoff of float

// Spectral values of many magnitudes: uniform in [-1, 1) times 2^-8..2^8.
std::vector<SComplex> spreadValues(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    zv::test::UniformFloat value(-1.0f, 1.0f);
    std::uniform_int_distribution<int> scale(-8, 8);
    std::vector<SComplex> z(n);
    for (SComplex& v : z) {
        const int e = scale(rng);
        v = {std::ldexp(value(rng), e), std::ldexp(value(rng), e)};
    }
    return z;
}

// The generic recombination with the generic table, on a copy.
std::vector<SComplex> generic(std::vector<SComplex> z, int direction) {
    const int N = static_cast<int>(z.size());
    const int order = std::countr_zero(static_cast<unsigned>(N)) + 1;
    qel::generic::realFftRecombine(z.data(), N, direction, qel::fft::getRealTwiddles(order));
    return z;
}

std::vector<SComplex> simd(const Family& f, std::vector<SComplex> z, int direction) {
    const int N = static_cast<int>(z.size());
    const PairedTable table(std::countr_zero(static_cast<unsigned>(N)) + 1);
    f.recombine(z.data(), N, direction, table.get());
    return z;
}

// |a.re| + |a.im| + |b.re| + |b.im| of the pair that element k belongs to.
double pairSize(const std::vector<SComplex>& z, int k) {
    const int N = static_cast<int>(z.size());
    const SComplex a = z[k], b = z[N - k];
    return std::fabs(a.re) + std::fabs(a.im) + std::fabs(b.re) + std::fabs(b.im);
}

bool sameBits(const SComplex& a, const SComplex& b) { return std::memcmp(&a, &b, 8) == 0; }

class Recombination : public ::testing::TestWithParam<Family> {
protected:
    void TearDown() override { qel::fft::releaseAllFftTables(); }
};

// Single precision against extended precision, pair of size S: p and q
// round once, each product and the sum of X (or U, V) once more, |A|, |B|
// <= 1/2, so X is off by at most 1.5u*S and the final sum adds u*(S + S/2);
// the generic result rounds once (u/2 * 1.5S). Hence 4u*S.
TEST_P(Recombination, MatchesTheGenericWithinSinglePrecisionRounding) {
    for (int order = 3; order <= 16; ++order) {
        for (int direction : {1, -1}) {
            SCOPED_TRACE(::testing::Message() << "order " << order << " direction " << direction);
            const int N = 1 << (order - 1);
            const std::vector<SComplex> z = spreadValues(N, 100 + order);
            const std::vector<SComplex> got = simd(GetParam(), z, direction);
            const std::vector<SComplex> want = generic(z, direction);
            EXPECT_TRUE(sameBits(got[0], z[0]));
            for (int k = 1; k < N; ++k) {
                const double size = pairSize(z, k);
                ASSERT_NEAR(got[k].re, want[k].re, 4 * kUnit * size) << k;
                ASSERT_NEAR(got[k].im, want[k].im, 4 * kUnit * size) << k;
            }
            EXPECT_TRUE(sameBits(got[N / 2], want[N / 2]));  // a sign flip or nothing
        }
    }
}

// From the N-point transform of the packed real samples to the spectrum of
// the real sequence, against the double DFT of that sequence: a few float
// roundings per value, far below the library's 1e-6 relative RMS error.
TEST_P(Recombination, TurnsTheHalfLengthTransformIntoTheRealSpectrum) {
    for (int order = 3; order <= 14; ++order) {
        for (int direction : {1, -1}) {
            SCOPED_TRACE(::testing::Message() << "order " << order << " direction " << direction);
            const int n = 1 << order, N = n / 2;
            const int sign = direction > 0 ? -1 : 1;
            std::mt19937 rng(order);
            std::uniform_real_distribution<double> value(-1, 1);
            std::vector<Cd> real(n), packed(N);
            for (int j = 0; j < n; ++j) real[j] = value(rng);
            for (int j = 0; j < N; ++j) packed[j] = {real[2 * j].real(), real[2 * j + 1].real()};
            const std::vector<Cd> Z = referenceDft(packed, sign);
            std::vector<SComplex> z(N);
            for (int k = 0; k < N; ++k) z[k] = {static_cast<float>(Z[k].real()), static_cast<float>(Z[k].imag())};
            const std::vector<SComplex> x = simd(GetParam(), z, direction);
            const std::vector<Cd> X = referenceDft(real, sign);
            double error = 0, energy = 0;
            for (int k = 1; k < N; ++k) {
                error += std::norm(Cd(x[k].re, x[k].im) - X[k]);
                energy += std::norm(X[k]);
            }
            EXPECT_LT(std::sqrt(error / energy), 1e-6);
        }
    }
}

// N = 2: the only value is the middle one, conjugated forward; the table is
// not read (null here). N = 4: the pair (1, 3) in extended precision, as
// the generic build computes it, and the middle value.
TEST_P(Recombination, FourAndEightPointSpectraAndTheTwoPointOne) {
    for (int direction : {1, -1}) {
        SCOPED_TRACE(direction);
        std::vector<SComplex> two = {{1.0f, 2.0f}, {3.0f, 0.0f}};
        GetParam().recombine(two.data(), 2, direction, nullptr);
        EXPECT_EQ(bitsOf(two[0].re), bitsOf(1.0f));
        EXPECT_EQ(bitsOf(two[1].re), bitsOf(3.0f));
        EXPECT_EQ(bitsOf(two[1].im), direction > 0 ? 0x80000000u : 0u);

        const std::vector<SComplex> four = spreadValues(4, 7);
        const std::vector<SComplex> got = simd(GetParam(), four, direction);
        const std::vector<SComplex> want = generic(four, direction);
        for (int k = 0; k < 4; ++k) EXPECT_TRUE(sameBits(got[k], want[k])) << k;
    }
}

// N = 8: one vector step whose last lane is the middle value; its results
// are dropped, so a NaN there reaches no other element and keeps its
// payload (flipped forward, untouched inverse).
TEST_P(Recombination, EightPointStepDropsTheMiddleLane) {
    for (int direction : {1, -1}) {
        SCOPED_TRACE(direction);
        std::vector<SComplex> z = spreadValues(8, 11);
        z[4] = {fromBits(0x7fa12345u), fromBits(0x7f800001u)};
        const std::vector<SComplex> got = simd(GetParam(), z, direction);
        const std::vector<SComplex> want = generic(spreadValues(8, 11), direction);
        for (int k : {1, 2, 3, 5, 6, 7}) {
            EXPECT_NEAR(got[k].re, want[k].re, 4 * kUnit * pairSize(z, k)) << k;
            EXPECT_NEAR(got[k].im, want[k].im, 4 * kUnit * pairSize(z, k)) << k;
        }
        EXPECT_EQ(bitsOf(got[4].re), 0x7fa12345u);
        EXPECT_EQ(bitsOf(got[4].im), direction > 0 ? 0xff800001u : 0x7f800001u);
    }
}

// Conjugation moves the sign bit only: +0 -> -0, -0 -> +0, NaNs keep their
// payloads, signalling ones included.
TEST_P(Recombination, MiddleValueChangesItsSignBitOnly) {
    const std::uint32_t patterns[] = {0x00000000u, 0x80000000u, 0x7f812345u, 0xffc00001u,
                                      0x7f800000u, 0x00000001u};
    for (int N : {2, 4, 8, 16, 1024}) {
        for (std::uint32_t im : patterns) {
            for (int direction : {1, -1}) {
                std::vector<SComplex> z = spreadValues(N, N);
                z[N / 2] = {fromBits(0x7fc0beefu), fromBits(im)};
                const PairedTable table(std::countr_zero(static_cast<unsigned>(N)) + 1);
                GetParam().recombine(z.data(), N, direction, table.get());
                EXPECT_EQ(bitsOf(z[N / 2].re), 0x7fc0beefu);
                EXPECT_EQ(bitsOf(z[N / 2].im), direction > 0 ? im ^ 0x80000000u : im)
                    << N << " " << std::hex << im;
            }
        }
    }
}

// data[0] (the entry's X[0]) and data[N] (its X[N]) are neither read into
// a result nor written; nothing outside the array is touched.
TEST_P(Recombination, LeavesTheFirstValueAndTheOneBeyondAlone) {
    for (int order = 2; order <= 13; ++order) {
        for (int offset : {0, 4}) {
            for (int direction : {1, -1}) {
                const int N = 1 << (order - 1);
                Placed z(N + 1, offset);
                z.assign(spreadValues(N, order));
                z[0] = {fromBits(0x7f800011u), fromBits(0xff800022u)};
                z[N] = {fromBits(0x7f800033u), fromBits(0xff800044u)};
                const PairedTable table(order);
                GetParam().recombine(z.data(), N, direction, table.get());
                EXPECT_EQ(bitsOf(z[0].re), 0x7f800011u);
                EXPECT_EQ(bitsOf(z[0].im), 0xff800022u);
                EXPECT_EQ(bitsOf(z[N].re), 0x7f800033u);
                EXPECT_EQ(bitsOf(z[N].im), 0xff800044u);
                EXPECT_TRUE(z.guardsIntact()) << order << " " << offset;
                for (int k = 1; k < N; ++k) ASSERT_FALSE(std::isnan(z[k].re)) << k;
            }
        }
    }
}

// Data 4, 8 or 12 bytes past a 16-byte boundary give the aligned bits.
TEST_P(Recombination, AnyFloatAlignmentGivesTheAlignedBits) {
    for (int order = 2; order <= 16; ++order) {
        for (int direction : {1, -1}) {
            const int N = 1 << (order - 1);
            const std::vector<SComplex> input = spreadValues(N, 300 + order);
            const PairedTable table(order);
            Placed aligned(N, 0);
            aligned.assign(input);
            GetParam().recombine(aligned.data(), N, direction, table.get());
            for (int offset : {4, 8, 12}) {
                Placed moved(N, offset);
                moved.assign(input);
                GetParam().recombine(moved.data(), N, direction, table.get());
                EXPECT_EQ(std::memcmp(moved.data(), aligned.data(), N * 8), 0)
                    << "order " << order << " offset " << offset << " direction " << direction;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kernels, Recombination, ::testing::ValuesIn(kFamilies),
                         [](const ::testing::TestParamInfo<Family>& info) { return info.param.name; });

#if ZV_TEST_SSE2_RECOMBINE
// The two builds run the same operations on the same values.
TEST(RecombinationAcrossBuilds, S2AndS1GiveTheSameBits) {
    for (int order = 2; order <= 18; ++order) {
        for (int direction : {1, -1}) {
            const int N = 1 << (order - 1);
            const std::vector<SComplex> z = spreadValues(N, 500 + order);
            const PairedTable table(order);
            std::vector<SComplex> sse2 = z, sse = z;
            qel::sse2::realFftRecombine(sse2.data(), N, direction, table.get());
            qel::sse::realFftRecombine(sse.data(), N, direction, table.get());
            EXPECT_EQ(std::memcmp(sse2.data(), sse.data(), N * 8), 0) << order << " " << direction;
        }
    }
}
#endif

#if ZV_TEST_AVX_KERNELS
// Eight pairs per step, the four-pair steps' operations lane for lane: the
// SSE2 form's bits from N = 16 on, both directions, any float alignment, on
// spread values and on special values sparse and dense; the middle value and
// z[0] as the SSE2 form leaves them.
TEST(RecombinationAcrossBuilds, AvxGivesTheS2Bits) {
    if (!qel::probeVectorUnits().avx) GTEST_SKIP() << "the processor has no AVX";
    for (int order = 5; order <= 16; ++order) {
        const int N = 1 << (order - 1);
        const PairedTable table(order);
        const std::vector<SComplex> inputs[] = {spreadValues(N, 700 + order), specialSignal(N, 800u + order, 29),
                                                specialSignal(N, 900u + order, 3)};
        for (const auto& input : inputs) {
            for (int direction : {1, -1}) {
                for (int offset : {0, 4, 8, 12}) {
                    Placed sse2(N, offset);
                    Placed avx(N, offset);
                    sse2.assign(input);
                    avx.assign(input);
                    qel::sse2::realFftRecombine(sse2.data(), N, direction, table.get());
                    qel::avx::realFftRecombine(avx.data(), N, direction, table.get());
                    EXPECT_EQ(std::memcmp(avx.data(), sse2.data(), N * 8), 0)
                        << "order " << order << " direction " << direction << " offset " << offset;
                }
            }
        }
    }
}
#endif

}  // namespace
}  // namespace zv::test
