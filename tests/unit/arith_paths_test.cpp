// SPDX-License-Identifier: MIT
// The fill, add, multiply, conjugate-extension and real-part loops of the
// accelerated paths against the reference ones, bit for bit: every length up
// to 70 and lengths across each store regime, every float offset of
// destination and source up to 7, the source equal to the destination (not
// for the real parts, whose operands must not overlap), and operands drawn
// from special values
// (NaNs of both signs, quiet and signalling, infinities, zeros, subnormals)
// mixed with random bits. The whole buffer is compared, so a write outside
// [0, n) shows too.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <vector>

#include "runtime/diagnostics.h"
#include "tests/support/fft_signals.h"
#include "tests/support/variant_traits.h"
#include "tests/support/unit_build.h"

namespace {

using zv::unit::build;

constexpr std::uint32_t kSpecials[] = {
    0x7FC00000u, 0xFFC00000u, 0x7FC12345u, 0xFFD54321u, 0x7F800001u, 0xFF800001u, 0x7FA00000u,
    0xFFBFFFFFu, 0x7F800000u, 0xFF800000u, 0x00000000u, 0x80000000u, 0x00000001u, 0x80000001u,
    0x007FFFFFu, 0x807FFFFFu, 0x00800000u, 0x7F7FFFFFu, 0xFF7FFFFFu, 0x3F800000u, 0xBFC00000u};

struct Buffers {
    std::vector<float> dst;
    std::vector<float> src;
};

constexpr int kPad = 8;

Buffers filled(std::mt19937& random, std::size_t n) {
    auto value = [&] {
        const std::uint32_t r = static_cast<std::uint32_t>(random());
        return std::bit_cast<float>(r % 3 == 0 ? kSpecials[(r >> 8) % std::size(kSpecials)]
                                                : static_cast<std::uint32_t>(random()));
    };
    Buffers b{std::vector<float>(n + 2 * kPad), std::vector<float>(n + 2 * kPad)};
    for (float& x : b.dst) x = value();
    for (float& x : b.src) x = value();
    return b;
}

using zv::test::sameBits;

// The call on a copy of `start` through the reference loops and through the
// accelerated ones; the destination buffers must agree in every bit.
template <typename Call>
::testing::AssertionResult pathsAgree(const Buffers& start, Call call) {
    Buffers reference = start;
    Buffers wide = start;
    qel::setReferencePaths(true);
    call(reference);
    qel::setReferencePaths(false);
    call(wide);
    if (sameBits(reference.dst, wide.dst)) return ::testing::AssertionSuccess();
    for (std::size_t i = 0; i < reference.dst.size(); ++i)
        if (std::bit_cast<std::uint32_t>(reference.dst[i]) != std::bit_cast<std::uint32_t>(wide.dst[i]))
            return ::testing::AssertionFailure()
                   << std::hex << "buffer index " << std::dec << i << ": reference 0x" << std::hex
                   << std::bit_cast<std::uint32_t>(reference.dst[i]) << ", accelerated 0x"
                   << std::bit_cast<std::uint32_t>(wide.dst[i]);
    return ::testing::AssertionFailure();
}

// The loops of every width this processor has: 256 bits, and 512 where it
// has AVX-512 F.
class ArithPaths : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { qel::useAvx512Loops(true); }
};

TEST_P(ArithPaths, AcceleratedLoopsGiveTheReferenceBits) {
    if (!zv::test::traitsOfLibrary(build().libraryName).avxKernels || !qel::kWidePaths || !qel::hasAvx())
        GTEST_SKIP() << "no 256-bit loops in this build or on this processor";
    if (qel::useAvx512Loops(GetParam()) != GetParam()) GTEST_SKIP() << "no AVX-512 F";
    // Every length to 70 at every pair of offsets; longer ones, either side
    // of the reference loops' limits (1032 and 4104 to 4112), at two.
    struct Run {
        int n;
        int offsets;
    };
    std::vector<Run> runs;
    for (int n = 0; n <= 70; ++n) runs.push_back({n, 8});
    for (int n : {1031, 1041, 4111, 4145}) runs.push_back({n, 2});
    const std::uint32_t constants[] = {0x7F800001u, 0xFFC00007u, 0x7F800000u, 0x80000000u,
                                       0x00000003u, 0x3FC00000u, 0xC2F6E979u};
    std::mt19937 random(11);
    int failures = 0;
    for (const Run& run : runs) {
        const int n = run.n;
        const Buffers start = filled(random, static_cast<std::size_t>(n) + 8);
        // The real parts read 2n floats.
        const Buffers complexStart = filled(random, 2 * static_cast<std::size_t>(n) + 8);
        for (int k = 0; k < run.offsets && failures < 5; ++k) {
            // All 64 pairs for the short runs; (0, 5) and (3, 0) for the long.
            const int d = run.offsets == 8 ? k : 3 * k;
            for (int j = 0; j < run.offsets && failures < 5; ++j) {
                const int s = run.offsets == 8 ? j : 5 - 5 * k;
                auto vec = [&](auto loop) {
                    return pathsAgree(start, [&](Buffers& b) { loop(b.src.data() + kPad + s, b.dst.data() + kPad + d, n); });
                };
                auto addOk = vec(build().addVec);
                auto mpyOk = vec(build().mpyVec);
                EXPECT_TRUE(addOk) << "add n=" << n << " dst offset " << d << " src offset " << s;
                EXPECT_TRUE(mpyOk) << "multiply n=" << n << " dst offset " << d << " src offset " << s;
                const auto realOk = pathsAgree(complexStart, [&](Buffers& b) {
                    build().realParts(reinterpret_cast<const SComplex*>(b.src.data() + kPad + s),
                                            b.dst.data() + kPad + d, n);
                });
                EXPECT_TRUE(realOk) << "real parts n=" << n << " dst offset " << d << " src offset " << s;
                failures += !addOk + !mpyOk + !realOk;
                if (run.offsets != 8) break;
            }
            // The source equal to the destination.
            auto same = [&](auto loop) {
                return pathsAgree(start, [&](Buffers& b) { loop(b.dst.data() + kPad + d, b.dst.data() + kPad + d, n); });
            };
            EXPECT_TRUE(same(build().addVec)) << "add to itself n=" << n << " offset " << d;
            EXPECT_TRUE(same(build().mpyVec)) << "multiply by itself n=" << n << " offset " << d;
            const std::uint32_t c = constants[static_cast<std::size_t>(n + d) % std::size(constants)];
            auto cnst = [&](auto loop) {
                return pathsAgree(start, [&](Buffers& b) { loop(std::bit_cast<float>(c), b.dst.data() + kPad + d, n); });
            };
            EXPECT_TRUE(cnst(build().addConst)) << "add 0x" << std::hex << c << std::dec << " n=" << n;
            EXPECT_TRUE(cnst(build().mpyConst)) << "multiply 0x" << std::hex << c << std::dec << " n=" << n;
            EXPECT_TRUE(pathsAgree(start, [&](Buffers& b) { build().setBits(c, b.dst.data() + kPad + d, n); }))
                << "fill 0x" << std::hex << c << std::dec << " n=" << n << " offset " << d;
            // The conjugate extension of n / 4 + 1 points (2 * points - 2
            // elements, n floats), at every float offset.
            const int points = n / 4 + 1;
            if (points > 2) {
                EXPECT_TRUE(pathsAgree(start, [&](Buffers& b) {
                    build().conjExtend(reinterpret_cast<SComplex*>(b.dst.data() + kPad + d), points);
                })) << "conjugate extension of " << points << " points, offset " << d;
            }
        }
    }
    // Past the streaming limits of the 256-bit fill (1 Mi) and vector forms
    // (4 Mi), once each.
    const int fillLength = (1 << 20) + 3;
    EXPECT_TRUE(pathsAgree(filled(random, fillLength + 8), [&](Buffers& b) {
        build().setBits(0xFFC00007u, b.dst.data() + kPad + 3, fillLength);
    })) << "fill n=" << fillLength;
    const int vecLength = (1 << 22) + 5;
    EXPECT_TRUE(pathsAgree(filled(random, vecLength + 8), [&](Buffers& b) {
        build().addVec(b.src.data() + kPad + 5, b.dst.data() + kPad + 3, vecLength);
    })) << "add n=" << vecLength;
    const int realLength = (1 << 20) + 7;
    EXPECT_TRUE(pathsAgree(filled(random, 2 * static_cast<std::size_t>(realLength) + 8), [&](Buffers& b) {
        build().realParts(reinterpret_cast<const SComplex*>(b.src.data() + kPad + 1), b.dst.data() + kPad + 5,
                                realLength);
    })) << "real parts n=" << realLength;
    qel::setReferencePaths(false);
}

INSTANTIATE_TEST_SUITE_P(Widths, ArithPaths, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Lanes16" : "Lanes8"; });

}  // namespace
