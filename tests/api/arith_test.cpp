// SPDX-License-Identifier: MIT
// The arithmetic exports through each shared library: the argument checks as
// a user sees them, and the values against a double-precision reference.
// A double holds the exact product of two floats, and its sum of two floats
// rounds to the same float as the exact sum (53 >= 2 * 24 + 2), so the
// reference is exact and the comparison is bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "tests/support/float_bits.h"
#include "tests/support/quiet_exit.h"
#include "tests/support/variant_loader.h"

namespace {

using zv::test::bitsOf;
using zv::test::fromBits;

float refAdd(float a, float b) { return static_cast<float>(static_cast<double>(a) + b); }
float refMpy(float a, float b) { return static_cast<float>(static_cast<double>(a) * b); }

// Equal bits, or both NaN (the payload of a computed NaN is the hardware's).
::testing::AssertionResult sameFloat(float got, float want) {
    if (bitsOf(got) == bitsOf(want) || (std::isnan(got) && std::isnan(want)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "got 0x" << bitsOf(got) << " want 0x"
                                         << bitsOf(want);
}

const std::vector<float>& specials() {
    static const std::vector<float> values = [] {
        std::vector<float> v;
        for (std::uint32_t bits :
             {0x00000000u, 0x80000000u, 0x3F800000u, 0xBF800000u, 0x3FC00000u, 0x7F7FFFFFu,
              0xFF7FFFFFu, 0x00800000u, 0x80800000u, 0x00000001u, 0x80000001u, 0x007FFFFFu,
              0x7F800000u, 0xFF800000u, 0x7FC00000u, 0x34000000u, 0x4B800001u, 0x3EAAAAABu,
              0x1F800000u, 0x5F800000u, 0x0C000000u})
            v.push_back(fromBits(bits));
        return v;
    }();
    return values;
}

class Arith : public zv::test::VariantTest {};

// The argument checks are the shared code of every build, ahead of its loops:
// they run on one build.
class ArithChecks : public Arith {};

TEST_P(ArithChecks, EveryFailedCheckEndsTheProcessQuietlyWithDataUntouched) {
    float src[5] = {1, 2, 3, 4, 5};
    float dst[5] = {6, 7, 8, 9, 10};
    using Const = void (*)(float, float*, int);
    for (Const f : {api->qelsbSet, api->qelsbAdd1, api->qelsbMpy1}) {
        ZV_EXPECT_QUIET_EXIT1(f(3.0f, dst, 0), dst, sizeof dst);
        ZV_EXPECT_QUIET_EXIT1(f(3.0f, dst, -5), dst, sizeof dst);
        ZV_EXPECT_QUIET_EXIT1(f(3.0f, nullptr, 5), dst, sizeof dst);
    }
    using Vec = void (*)(const float*, float*, int);
    for (Vec f : {api->qelsbAdd2, api->qelsbMpy2}) {
        ZV_EXPECT_QUIET_EXIT1_2(f(src, dst, 0), src, sizeof src, dst, sizeof dst);
        ZV_EXPECT_QUIET_EXIT1_2(f(src, dst, -1), src, sizeof src, dst, sizeof dst);
        ZV_EXPECT_QUIET_EXIT1(f(nullptr, dst, 5), dst, sizeof dst);
        ZV_EXPECT_QUIET_EXIT1(f(nullptr, nullptr, 5), nullptr, 0);
        ZV_EXPECT_QUIET_EXIT1(f(src, nullptr, 5), src, sizeof src);
    }
}

TEST_P(Arith, SetWritesTheExactBitPattern) {
    for (std::uint32_t bits : {0x7F800001u, 0xFF800001u, 0x7FA00000u, 0x7FC12345u, 0x80000000u,
                               0x7F800000u, 0x00000001u, 0xDEADBEEFu}) {
        std::vector<float> v(19, 1.0f);
        api->qelsbSet(fromBits(bits), v.data(), 19);
        for (float x : v) ASSERT_EQ(bitsOf(x), bits) << std::hex << bits;
    }
}

TEST_P(Arith, ConstantFormsMatchTheReferenceOnSpecialValues) {
    const std::vector<float>& s = specials();
    for (float value : s) {
        std::vector<float> added = s;
        std::vector<float> scaled = s;
        api->qelsbAdd1(value, added.data(), static_cast<int>(s.size()));
        api->qelsbMpy1(value, scaled.data(), static_cast<int>(s.size()));
        for (size_t i = 0; i < s.size(); ++i) {
            EXPECT_TRUE(sameFloat(added[i], refAdd(s[i], value))) << s[i] << " + " << value;
            EXPECT_TRUE(sameFloat(scaled[i], refMpy(s[i], value))) << s[i] << " * " << value;
        }
    }
}

TEST_P(Arith, VectorFormsMatchTheReferenceOnSpecialValues) {
    const std::vector<float>& s = specials();
    std::vector<float> a, b;
    for (float x : s)
        for (float y : s) {
            a.push_back(x);
            b.push_back(y);
        }
    std::vector<float> sum = a, product = a;
    api->qelsbAdd2(b.data(), sum.data(), static_cast<int>(a.size()));
    api->qelsbMpy2(b.data(), product.data(), static_cast<int>(a.size()));
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_TRUE(sameFloat(sum[i], refAdd(a[i], b[i]))) << a[i] << " + " << b[i];
        EXPECT_TRUE(sameFloat(product[i], refMpy(a[i], b[i]))) << a[i] << " * " << b[i];
    }
}

TEST_P(Arith, RandomBitPatternsMatchTheReference) {
    std::mt19937 random(7);
    constexpr int kCount = 1 << 16;
    std::vector<float> a(kCount), b(kCount);
    for (int i = 0; i < kCount; ++i) {
        a[i] = fromBits(static_cast<std::uint32_t>(random()));
        // Half of the second operands near the first, so sums cancel and
        // products land in every range, subnormals included.
        b[i] = i % 2 ? fromBits(bitsOf(a[i]) ^ (static_cast<std::uint32_t>(random()) & 0x807FFFFFu))
                     : fromBits(static_cast<std::uint32_t>(random()));
    }
    std::vector<float> sum = a, product = a, sumConst = a, productConst = a;
    api->qelsbAdd2(b.data(), sum.data(), kCount);
    api->qelsbMpy2(b.data(), product.data(), kCount);
    api->qelsbAdd1(b[1], sumConst.data(), kCount);
    api->qelsbMpy1(b[3], productConst.data(), kCount);
    int mismatches = 0;
    for (int i = 0; i < kCount && mismatches < 10; ++i) {
        mismatches += !sameFloat(sum[i], refAdd(a[i], b[i]));
        mismatches += !sameFloat(product[i], refMpy(a[i], b[i]));
        mismatches += !sameFloat(sumConst[i], refAdd(a[i], b[1]));
        mismatches += !sameFloat(productConst[i], refMpy(a[i], b[3]));
        EXPECT_EQ(mismatches, 0) << "element " << i << " of seed 7";
    }
}

TEST_P(Arith, SignedZerosInfinitiesOverflowAndSubnormals) {
    const float inf = std::numeric_limits<float>::infinity();
    const float max = std::numeric_limits<float>::max();
    float v[4] = {-0.0f, 0.0f, -0.0f, 1.0f};
    api->qelsbAdd1(0.0f, v, 4);  // -0 + +0 = +0 under round to nearest
    EXPECT_EQ(bitsOf(v[0]), 0u);
    EXPECT_EQ(bitsOf(v[2]), 0u);
    EXPECT_EQ(v[3], 1.0f);

    float w[4] = {inf, -inf, std::nanf(""), -3.0f};
    api->qelsbMpy1(0.0f, w, 4);
    EXPECT_TRUE(std::isnan(w[0]));
    EXPECT_TRUE(std::isnan(w[1]));
    EXPECT_TRUE(std::isnan(w[2]));
    EXPECT_EQ(bitsOf(w[3]), 0x80000000u);  // -3 * 0 = -0

    float big[2] = {max, -max};
    api->qelsbAdd1(max, big, 1);
    api->qelsbAdd1(-max, big + 1, 1);
    EXPECT_EQ(big[0], inf);
    EXPECT_EQ(big[1], -inf);

    // Products and sums that are subnormal are kept, not flushed.
    float tiny[3] = {std::numeric_limits<float>::min(), fromBits(0x00000003u), 1e-30f};
    float factor[3] = {0.25f, 0.5f, 1e-10f};
    api->qelsbMpy2(factor, tiny, 3);
    EXPECT_EQ(bitsOf(tiny[0]), 0x00200000u);
    EXPECT_EQ(bitsOf(tiny[1]), 0x00000002u);  // 1.5 denormal units: ties to even
    EXPECT_EQ(bitsOf(tiny[2]), bitsOf(refMpy(1e-30f, 1e-10f)));
    EXPECT_NE(tiny[2], 0.0f);
    float sub[1] = {fromBits(0x00000005u)};
    api->qelsbAdd1(fromBits(0x80000002u), sub, 1);
    EXPECT_EQ(bitsOf(sub[0]), 0x00000003u);
}

TEST_P(Arith, SourceEqualToDestinationDoublesOrSquares) {
    float v[7] = {1, -2, 3.5f, 0.1f, -0.0f, 1e20f, 3e-20f};
    float d[7], q[7];
    std::memcpy(d, v, sizeof v);
    std::memcpy(q, v, sizeof v);
    api->qelsbAdd2(d, d, 7);
    api->qelsbMpy2(q, q, 7);
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(sameFloat(d[i], refAdd(v[i], v[i])));
        EXPECT_TRUE(sameFloat(q[i], refMpy(v[i], v[i])));
    }
}

// Two NaNs meet at every element of every length up to 40 and of runs long
// enough for every block regime, at every pair of float offsets: signalling
// and quiet ones of both signs, the destination's payload sometimes the
// larger, sometimes the smaller. The result is always the destination's,
// quieted, except in the 32-bit libraries of the builds that add and multiply
// in the x87 unit: there one of the two, quieted, and of two quiet ones the
// one with the larger significand, of two that differ only in sign the
// positive one.
TEST_P(Arith, TwoNaNsGiveTheDestinationsNaNOrTheX87Units) {
    constexpr std::uint32_t kQuiet = 0x00400000u;
    auto dstNaN = [](int i) {
        const std::uint32_t payload = (static_cast<std::uint32_t>(i) * 2654435761u >> 11 & 0x3FFFFFu) | 1u;
        return (i % 2 ? 0x80000000u : 0u) | 0x7F800000u | (i % 3 ? kQuiet : 0u) | payload;
    };
    auto srcNaN = [](int i) {
        const std::uint32_t payload = (static_cast<std::uint32_t>(i) * 40503u & 0x3FFFFFu) | 2u;
        return (i % 4 < 2 ? 0x80000000u : 0u) | 0x7F800000u | (i % 5 ? kQuiet : 0u) | payload;
    };
    const bool x87Rule = !traits().destinationNans && sizeof(void*) == 4;
    // Whether `got` is the result the build promises for the two NaNs.
    auto promised = [&](std::uint32_t got, std::uint32_t mine, std::uint32_t other) {
        const bool bothQuiet = (mine & other & kQuiet) != 0;
        mine |= kQuiet;
        other |= kQuiet;
        if (!x87Rule) return got == mine;
        if (!bothQuiet) return got == mine || got == other;
        const std::uint32_t a = mine & 0x7FFFFFu;
        const std::uint32_t b = other & 0x7FFFFFu;
        if (a != b) return got == (a > b ? mine : other);
        return got == ((mine & 0x80000000u) == 0 ? mine : other);
    };
    std::vector<int> lengths;
    for (int n = 1; n <= 40; ++n) lengths.push_back(n);
    for (int n : {1100, 4203}) lengths.push_back(n);
    using Vec = void (*)(const float*, float*, int);
    using Const = void (*)(float, float*, int);
    const Vec vecForms[] = {api->qelsbAdd2, api->qelsbMpy2};
    const Const constForms[] = {api->qelsbAdd1, api->qelsbMpy1};
    const std::uint32_t constant = srcNaN(7);
    for (int n : lengths) {
        for (int dOff = 0; dOff < 4; ++dOff) {
            std::vector<float> dstBuf(n + 4), srcBuf(n + 4);
            float* dst = dstBuf.data() + dOff;
            for (int f = 0; f < 4; ++f) {
                for (int sOff = 0; sOff < (f < 2 ? 4 : 1); ++sOff) {
                    const float* src = srcBuf.data() + sOff;
                    for (int i = 0; i < n; ++i) {
                        dst[i] = fromBits(dstNaN(i));
                        srcBuf[sOff + i] = fromBits(srcNaN(i));
                    }
                    if (f < 2) vecForms[f](src, dst, n);
                    else constForms[f - 2](fromBits(constant), dst, n);
                    int wrong = 0;
                    int firstWrong = -1;
                    for (int i = 0; i < n; ++i)
                        if (!promised(bitsOf(dst[i]), dstNaN(i), f < 2 ? srcNaN(i) : constant) && wrong++ == 0)
                            firstWrong = i;
                    EXPECT_EQ(wrong, 0) << "form " << f << " n=" << n << " dst offset " << dOff
                                        << " src offset " << sOff << ", first at " << firstWrong
                                        << std::hex << ": 0x" << bitsOf(dst[firstWrong < 0 ? 0 : firstWrong]);
                }
            }
        }
    }
}

// Odd lengths at every float offset: each element is visited exactly once
// and nothing outside [0, n) is written.
TEST_P(Arith, EveryLengthAndOffsetTouchesEachElementOnce) {
    constexpr std::uint32_t kGuard = 0x7FC0DEADu;
    constexpr int kPad = 8;
    for (int n : {1, 2, 3, 4, 5, 7, 8, 15, 16, 17, 31, 127, 128, 129, 207, 208, 209, 1023, 1024,
                  1025, 4103, 4104, 4105, 16383, 16385}) {
        for (int offset = 0; offset < 4; ++offset) {
            std::vector<float> buffer(n + 2 * kPad + 4, fromBits(kGuard));
            std::vector<float> source(n + 2 * kPad + 4, fromBits(kGuard));
            float* dst = buffer.data() + kPad + offset;
            float* src = source.data() + kPad + (3 - offset);
            for (int i = 0; i < n; ++i) {
                dst[i] = static_cast<float>(i);
                src[i] = 1.0f;
            }
            api->qelsbAdd1(1.0f, dst, n);   // i + 1
            api->qelsbMpy1(2.0f, dst, n);   // 2i + 2
            api->qelsbAdd2(src, dst, n);    // 2i + 3
            api->qelsbMpy2(src, dst, n);    // unchanged
            int wrong = 0;
            for (int i = 0; i < n; ++i) wrong += dst[i] != static_cast<float>(2 * i + 3);
            for (int i = -kPad - offset; i < 0; ++i) wrong += bitsOf(dst[i]) != kGuard;
            for (size_t i = static_cast<size_t>(kPad + offset + n); i < buffer.size(); ++i)
                wrong += bitsOf(buffer[i]) != kGuard;
            api->qelsbSet(-1.5f, dst, n);
            for (int i = 0; i < n; ++i) wrong += dst[i] != -1.5f;
            wrong += bitsOf(dst[-1]) != kGuard || bitsOf(dst[n]) != kGuard;
            EXPECT_EQ(wrong, 0) << "n=" << n << " offset=" << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Arith, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(SharedCode, ArithChecks, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
