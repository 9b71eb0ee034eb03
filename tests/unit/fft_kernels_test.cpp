// SPDX-License-Identifier: MIT
// The FFT kernels below the entry point: properties the accuracy tests
// cannot see, because they hold bit for bit: the chunk size of the radix-2
// stages does not change their results, and the four-point transforms of
// both kernel kinds compute the same values.
#include <gtest/gtest.h>

#include <vector>

#include "fft/driver.h"
#include "fft/tables.h"
#include "tests/support/fft_signals.h"
#include "tests/support/unit_build.h"

namespace {

using zv::unit::build;
using namespace qel::fft;
using zv::test::sameBits;

class FftKernels : public ::testing::Test {
protected:
    void TearDown() override { releaseAllFftTables(); }
};

// Builds may pass another chunk (512 butterflies instead of 128): butterflies
// of one stage are independent, so only their order may change.
TEST_F(FftKernels, RadixTwoStagesGiveTheSameBitsForEveryChunkSize) {
    for (int order : {12, 15, 16}) {
        const int n = 1 << order;
        const SComplex* big = getBigTwiddles(order);
        ASSERT_NE(big, nullptr);
        const auto x = zv::test::randomSignalOfLength(static_cast<std::size_t>(n), 11u);
        for (int direction : {1, -1}) {
            // Inside a superblock (the appended part for order >= 15), then
            // across the whole array.
            const int superblock = build().fftSuperblockLength;
            const int block = n < superblock ? n : superblock;
            std::vector<SComplex> results[2][3];
            const int chunks[3] = {256, 1024, 4};
            for (int c = 0; c < 3; ++c) {
                results[0][c] = x;
                cFftDitCombine(results[0][c].data(), block, 1024, big, n, direction, chunks[c]);
                if (n > block)
                    cFftDitCombine(results[0][c].data(), n, block, big, n, direction, chunks[c]);
                results[1][c] = x;
                if (build().fftHasDif) {
                    build().cFftDifSplit(results[1][c].data(), block, 1024, big, n, direction, chunks[c]);
                    if (n > block)
                        build().cFftDifSplit(results[1][c].data(), n, block, big, n, direction, chunks[c]);
                }
            }
            for (int kind = 0; kind < (build().fftHasDif ? 2 : 1); ++kind) {
                EXPECT_FALSE(sameBits(results[kind][0], x));
                EXPECT_TRUE(sameBits(results[kind][0], results[kind][1])) << "order " << order;
                EXPECT_TRUE(sameBits(results[kind][0], results[kind][2])) << "order " << order;
            }
        }
    }
}

// A combining stage is the butterfly a + b*v, a - b*v with v the table's
// root (turned by -i, or +i for the inverse, in a span's second quarter),
// computed in extended precision and rounded to float once; the products of
// floats are exact, so this model fixes every bit. Stride 1 and 2 through
// the table.
TEST_F(FftKernels, ACombiningStageRoundsTheExtendedButterflyOnce) {
    constexpr int order = 12;
    constexpr int n = 1 << order;
    const SComplex* big = getBigTwiddles(order);
    ASSERT_NE(big, nullptr);
    for (int len : {n, n / 2}) {
        const int h = len / 2;
        const int step = n / (2 * h);
        for (int direction : {1, -1}) {
            const auto x = zv::test::randomSignalOfLength(static_cast<std::size_t>(len), 5u);
            auto got = x;
            cFftDitCombine(got.data(), len, h, big, n, direction, build().fftCombineChunk);
            std::vector<SComplex> want(x.size());
            for (int j = 0; j < h; ++j) {
                const SComplex w = big[(j % (h / 2)) * step];
                long double vr = w.re;
                long double vi = direction > 0 ? w.im : -w.im;
                if (j >= h / 2) {  // times -i forward, +i inverse
                    const long double r = vr;
                    vr = direction > 0 ? vi : -vi;
                    vi = direction > 0 ? -r : r;
                }
                const SComplex a = x[static_cast<std::size_t>(j)];
                const SComplex b = x[static_cast<std::size_t>(j + h)];
                const long double tr = b.re * vr - b.im * vi;
                const long double ti = b.re * vi + b.im * vr;
                want[static_cast<std::size_t>(j)] = {static_cast<float>(a.re + tr), static_cast<float>(a.im + ti)};
                want[static_cast<std::size_t>(j + h)] = {static_cast<float>(a.re - tr), static_cast<float>(a.im - ti)};
            }
            EXPECT_TRUE(sameBits(got, want)) << "len " << len << ", direction " << direction;
        }
    }
}

TEST_F(FftKernels, FourPointTransformsOfBothKindsAgreeBitForBit) {
    if (!build().fftHasDif) GTEST_SKIP() << "no DIF kernel";
    for (int direction : {1, -1}) {
        for (unsigned seed = 0; seed < 50; ++seed) {
            const auto x = zv::test::randomSignalOfLength(4, seed);
            // DIT: bit-reversed input, natural output; DIF: the reverse.
            std::vector<SComplex> dit = {x[0], x[2], x[1], x[3]};
            cFftDit(dit.data(), 4, direction, getDitTwiddles(2));
            auto dif = x;
            if (build().fftHasDif) build().cFftDif(dif.data(), 4, direction, build().getDifTwiddles(2));
            EXPECT_TRUE(sameBits({dif[0], dif[2], dif[1], dif[3]}, dit)) << "seed " << seed;
        }
    }
}

TEST_F(FftKernels, TwoPointsAndFewerAreDoneInline) {
    for (int direction : {1, -1}) {
        std::vector<SComplex> two = {{1.0f, 2.0f}, {0.5f, -4.0f}};
        auto other = two;
        cFftDit(two.data(), 2, direction, nullptr);
        if (build().fftHasDif) build().cFftDif(other.data(), 2, direction, nullptr);
        else cFftDit(other.data(), 2, direction, nullptr);
        EXPECT_TRUE(sameBits(two, {{1.5f, -2.0f}, {0.5f, 6.0f}}));
        EXPECT_TRUE(sameBits(other, two));
        std::vector<SComplex> one = {{3.0f, 4.0f}};
        cFftDit(one.data(), 1, direction, nullptr);
        if (build().fftHasDif) build().cFftDif(one.data(), 1, direction, nullptr);
        EXPECT_TRUE(sameBits(one, {{3.0f, 4.0f}}));
    }
}

}  // namespace
