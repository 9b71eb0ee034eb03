// SPDX-License-Identifier: MIT
// The SIMD block kernels of both families against the double-precision
// reference, and the bit-exact promises: alignment of the caller's array
// does not change a bit, the SSE2 and SSE forms agree bit for bit up to the
// SSE form's limit, and the small sizes read nothing they should not.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/processor.h"
#include "tests/kernels/simd_kernel_support.h"
#include "tests/kernels/special_values.h"
#include "tests/support/fft_signals.h"
#include "tests/support/reference_fft.h"

namespace {

using namespace zv::test;

// Each of the log2(n) butterfly levels rounds every value once or twice
// (and every twiddle is a rounded float), so the relative RMS error of the
// whole transform stays below about one float epsilon per level; errors of
// the levels add in quadrature, so this bound is loose by a wide margin.
double tolerance(int order) { return 0x1p-24 * (1 + order); }

// The kernel on bit-reversed input at a given byte offset from a 32-byte
// boundary; work comes along when the data are not 16-byte aligned.
std::vector<SComplex> transform(BlockKernel kernel, const std::vector<SComplex>& input, int order,
                                std::size_t offset = 0) {
    const std::size_t n = input.size();
    Placed data(n, offset);
    data.set(input);
    Placed work(n, 0);
    Placed table = ditTable(order);
    kernel(data.data(), static_cast<int>(n), table.data(), offset % 16 == 0 ? nullptr : work.data());
    EXPECT_TRUE(data.guardsIntact()) << "order " << order << " offset " << offset;
    EXPECT_TRUE(work.guardsIntact()) << "order " << order;
    return data.get();
}

class DitBlock : public ::testing::TestWithParam<Family> {
protected:
    int maxOrder() const { return std::countr_zero(static_cast<unsigned>(GetParam().limit)); }
};

TEST_P(DitBlock, EveryOrderMatchesTheReferenceInBothDirections) {
    for (int order = 2; order <= maxOrder(); ++order) {
        const auto x = randomSignal(order, 100u + order);
        const auto input = bitReversed(x, order);
        const auto forward = transform(GetParam().forward, input, order);
        EXPECT_LT(relativeRmsError(forward, referenceDft(toDouble(x), -1)), tolerance(order))
            << "forward, order " << order;
        const auto inverse = transform(GetParam().inverse, input, order);
        EXPECT_LT(relativeRmsError(inverse, referenceDft(toDouble(x), +1)), tolerance(order))
            << "inverse, order " << order;
        // The inverse of the forward result is n times the input.
        const auto back = transform(GetParam().inverse, bitReversed(forward, order), order);
        std::vector<Cd> scaled(x.size());
        for (std::size_t k = 0; k < x.size(); ++k) scaled[k] = Cd(x[k].re, x[k].im) * double(x.size());
        EXPECT_LT(relativeRmsError(back, scaled), 2 * tolerance(order)) << "round trip, order " << order;
    }
}

TEST_P(DitBlock, ImpulseGivesExactlyOnes) {
    for (int order = 2; order <= maxOrder(); ++order) {
        std::vector<SComplex> impulse(std::size_t{1} << order, SComplex{0.0f, 0.0f});
        impulse[0] = {1.0f, 0.0f};
        for (BlockKernel kernel : {GetParam().forward, GetParam().inverse}) {
            const auto out = transform(kernel, impulse, order);
            for (std::size_t k = 0; k < out.size(); ++k) {
                ASSERT_EQ(out[k].re, 1.0f) << "order " << order << " k " << k;
                ASSERT_EQ(out[k].im, 0.0f) << "order " << order << " k " << k;
            }
        }
    }
}

// 4, 8 and 12 bytes past a 16-byte boundary: the first pass reads the
// caller's array, the work area holds the stages, the last pass writes the
// array back; the bits are those of the aligned transform.
TEST_P(DitBlock, UnalignedDataGiveTheBitsOfAnAlignedCopy) {
    for (int order = 2; order <= maxOrder(); ++order) {
        const auto input = randomSignal(order, 200u + order);
        for (BlockKernel kernel : {GetParam().forward, GetParam().inverse}) {
            const auto aligned = transform(kernel, input, order, 0);
            EXPECT_TRUE(sameBits(transform(kernel, input, order, 16), aligned)) << order;
            for (std::size_t offset : {4u, 8u, 12u})
                EXPECT_TRUE(sameBits(transform(kernel, input, order, offset), aligned))
                    << "order " << order << " offset " << offset;
        }
    }
}

TEST_P(DitBlock, AlignedDataLeaveTheWorkAreaAlone) {
    for (int order : {3, 4, 5, 10}) {
        const std::size_t n = std::size_t{1} << order;
        Placed data(n, 0);
        data.set(randomSignal(order, 7u));
        Placed work(n, 0);
        const auto before = work.get();
        Placed table = ditTable(order);
        GetParam().forward(data.data(), static_cast<int>(n), table.data(), work.data());
        EXPECT_TRUE(sameBits(work.get(), before)) << order;
    }
}

TEST_P(DitBlock, FourPointsInExtendedPrecisionWithoutTableOrWork) {
    // Bit-reversed (x0, x2, x1, x3) of x = (1+2i, 3-1i, -2+0.5i, 4+4i).
    const std::vector<SComplex> input = {{1, 2}, {-2, 0.5f}, {3, -1}, {4, 4}};
    const std::vector<SComplex> forward = {{6, 5.5f}, {-2, 2.5f}, {-8, -0.5f}, {8, 0.5f}};
    const std::vector<SComplex> inverse = {{6, 5.5f}, {8, 0.5f}, {-8, -0.5f}, {-2, 2.5f}};
    for (std::size_t offset : {0u, 4u, 8u}) {
        Placed data(4, offset);
        data.set(input);
        GetParam().forward(data.data(), 4, nullptr, nullptr);
        EXPECT_TRUE(sameBits(data.get(), forward)) << offset;
        data.set(input);
        GetParam().inverse(data.data(), 4, nullptr, nullptr);
        EXPECT_TRUE(sameBits(data.get(), inverse)) << offset;
        EXPECT_TRUE(data.guardsIntact());
    }
    // Below four points nothing is touched.
    for (int n : {0, 1, 2}) {
        Placed data(2, 0);
        data.set({{1, 2}, {3, 4}});
        GetParam().forward(data.data(), n, nullptr, nullptr);
        GetParam().inverse(data.data(), n, nullptr, nullptr);
        EXPECT_TRUE(sameBits(data.get(), {{1, 2}, {3, 4}})) << n;
    }
}

// n = 8 reads no table; n = 16 reads its first 96 bytes only.
TEST_P(DitBlock, SmallSizesReadOnlyTheirPartOfTheTable) {
    const auto input8 = randomSignal(3, 8u);
    Placed data(8, 0);
    data.set(input8);
    GetParam().forward(data.data(), 8, nullptr, nullptr);
    EXPECT_TRUE(sameBits(data.get(), transform(GetParam().forward, input8, 3)));

    const auto input16 = randomSignal(4, 16u);
    Placed full = ditTable(4);
    Placed part(12, 0);  // 96 bytes, guard bytes after them
    std::memcpy(part.data(), full.data(), 96);
    Placed data16(16, 0);
    data16.set(input16);
    GetParam().inverse(data16.data(), 16, part.data(), nullptr);
    EXPECT_TRUE(sameBits(data16.get(), transform(GetParam().inverse, input16, 4)));
}

INSTANTIATE_TEST_SUITE_P(Families, DitBlock, ::testing::Values(kSse2, kSse),
                         [](const auto& info) { return std::string(info.param.name); });

// The two builds run the same operations in the same order.
TEST(DitBlockFamilies, Sse2AndSseGiveTheSameBitsUpTo1024Points) {
    for (int order = 2; order <= 10; ++order) {
        for (unsigned seed = 0; seed < 3; ++seed) {
            const auto input = randomSignal(order, 300u + seed);
            for (std::size_t offset : {0u, 8u}) {
                EXPECT_TRUE(sameBits(transform(kSse2.forward, input, order, offset),
                                     transform(kSse.forward, input, order, offset)))
                    << "forward, order " << order;
                EXPECT_TRUE(sameBits(transform(kSse2.inverse, input, order, offset),
                                     transform(kSse.inverse, input, order, offset)))
                    << "inverse, order " << order;
            }
        }
    }
}

#if ZV_TEST_AVX_KERNELS
// The 256-bit kernels run the four-wide ones' operations lane for lane:
// the SSE2 form's bits from 32 points to its limit, both directions, every alignment,
// on noise and on data with special values sparse (they travel through the
// stages) and dense (NaNs meet NaNs in every butterfly).
TEST(DitBlockFamilies, AvxGivesTheSse2Bits) {
    if (!qel::probeVectorUnits().avx) GTEST_SKIP() << "the processor has no AVX";
    for (int order = 5; order <= 14; ++order) {
        const std::size_t n = std::size_t{1} << order;
        const std::vector<SComplex> inputs[] = {randomSignal(order, 400u + order),
                                                specialSignal(n, 500u + order, 61), specialSignal(n, 600u + order, 3)};
        for (const auto& input : inputs) {
            for (std::size_t offset : {0u, 4u, 8u, 12u}) {
                EXPECT_TRUE(sameBits(transform(kAvx.forward, input, order, offset),
                                     transform(kSse2.forward, input, order, offset)))
                    << "forward, order " << order << " offset " << offset;
                EXPECT_TRUE(sameBits(transform(kAvx.inverse, input, order, offset),
                                     transform(kSse2.inverse, input, order, offset)))
                    << "inverse, order " << order << " offset " << offset;
            }
        }
    }
}
#endif

}  // namespace
