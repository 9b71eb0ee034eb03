// SPDX-License-Identifier: MIT
// The combining stages' two implementations, the x87 loop and the doubles
// (x86-64 only; elsewhere both names run the x87 loop and these tests compare
// it with itself): the same bits on random data, on data built to put
// results next to a point halfway between two floats or to cancel nearly,
// on exact zeros and on data full of special values; the built data do tell
// the two apart when the doubles trust every result; under other floating-point modes the doubles
// step aside; whole transforms with the reference switch on and off agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <xmmintrin.h>

#include "fft/combine_doubles.h"
#include "fft/driver.h"
#include "fft/tables.h"
#include "runtime/diagnostics.h"
#include "runtime/memory.h"
#include "tests/support/fft_fixture.h"
#include "tests/support/fft_signals.h"
#include "tests/support/uniform_float.h"
#include "tests/support/unit_build.h"

namespace {

using namespace qel::fft;
using zv::test::sameBits;

using zv::unit::kSuperblock;

// The kernels wanted if present, else the widest present; the kernels in
// use. Builds without the doubles have none (SSE2 stands for them).
DoubleKernels selectKernels(DoubleKernels wanted) {
    if constexpr (kDoubleCombine) {
        return useDoubleKernels(wanted);
    } else {
        return DoubleKernels::sse2;
    }
}

class FftCombine : public zv::test::FftTablesTest {
protected:
    void TearDown() override {
        qel::setReferencePaths(false);
        selectKernels(DoubleKernels::avx512);
        FftTablesTest::TearDown();
    }
};

// The stages from half-span h up to len/2 on a copy of x, with the table of
// order tableOrder (the appended part inside a superblock, as the driver
// reads it).
std::vector<SComplex> stages(CombinePath path, std::vector<SComplex> x, int h, int tableOrder, int direction,
                             CombineCounts* counts = nullptr) {
    const SComplex* big = getBigTwiddles(tableOrder);
    EXPECT_NE(big, nullptr);
    cFftDitCombineOn(path, x.data(), static_cast<int>(x.size()), h, big, 1 << tableOrder, direction, 256, counts);
    return x;
}

// The effective twiddle of butterfly j of a stage of half-span h (the root,
// conjugated for the inverse, turned by -i or +i in the second quarter).
void twiddleOf(const SComplex* table, int step, int h, int j, int direction, float& vr, float& vi) {
    const SComplex w = table[(j % (h / 2)) * step];
    vr = w.re;
    vi = direction > 0 ? w.im : -w.im;
    if (j >= h / 2) {
        const float r = vr;
        vr = direction > 0 ? vi : -vi;
        vi = direction > 0 ? -r : r;
    }
}

// One group of a stage of half-span h whose real parts land a few double
// units (d from -2 to 2) beside a point halfway between two floats, and a
// little more (e units of 2^-8 of those, below the double's last place but
// not the extended one's): y.re has exponent k, and b = (br, bi) is chosen so
// that br*vr - bi*vi is 2^(k-24) + d*2^(k-52) + e*2^(k-60) to about
// 2^(k-72). With d = 0 the double sum is the halfway point itself, and only
// the extended one knows the side. A quarter of the y, in runs of four, are
// zeros instead, and b*v lies as close to the halfway point 2^k + 2^(k-24):
// the sum y + b*v is then b*v's rounding alone.
std::vector<SComplex> nearHalfway(int h, int tableOrder, int direction, unsigned seed) {
    const SComplex* table = getBigTwiddles(tableOrder);
    const bool appended = (1 << tableOrder) > kSuperblock && h < kSuperblock;
    const SComplex* used = appended ? table + (1 << tableOrder) / 4 : table;
    const int step = (appended ? kSuperblock : 1 << tableOrder) / (2 * h);
    std::mt19937 rng(seed);
    zv::test::UniformFloat unit(1.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    std::uniform_int_distribution<int> offset(-2, 2);
    std::uniform_int_distribution<int> below(1, 8);
    std::vector<SComplex> x(static_cast<std::size_t>(2 * h));
    for (int j = 0; j < h; ++j) {
        float vr = 0;
        float vi = 0;
        twiddleOf(used, step, h, j, direction, vr, vi);
        const int k = exponent(rng);
        const double sign = (rng() & 1) != 0 ? 1.0 : -1.0;
        const float y = std::ldexp(unit(rng), k) * static_cast<float>(sign);
        const int e = (rng() & 1) != 0 ? below(rng) : -below(rng);
        const bool zeroY = j / 4 % 4 == 0;
        const double target = sign * ((zeroY ? std::ldexp(1.0, k) : 0.0) + std::ldexp(1.0, k - 24) +
                                      offset(rng) * std::ldexp(1.0, k - 52) + e * std::ldexp(1.0, k - 60));
        float br = 0;
        float bi = 0;
        if (std::fabs(vr) >= std::fabs(vi)) {
            br = static_cast<float>(target / vr);
            const double rest = target - static_cast<double>(br) * vr;
            bi = vi != 0 ? static_cast<float>(-rest / vi) : 0.0f;
        } else {
            bi = static_cast<float>(-target / vi);
            const double rest = target + static_cast<double>(bi) * vi;
            br = vr != 0 ? static_cast<float>(rest / vr) : 0.0f;
        }
        x[static_cast<std::size_t>(j)] = {zeroY ? 0.0f : y, zeroY ? 0.0f : unit(rng)};
        x[static_cast<std::size_t>(j + h)] = {br, bi};
    }
    return x;
}

// One group of a stage of half-span h whose sums y + b*v nearly cancel: y
// is b*v rounded to a float and negated, so y + b*v is the float rounding's
// residue, about 2^-25 of b*v, whose bits below the double's last place of
// b*v decide its rounding in the x87 unit; y - b*v is about 2y.
std::vector<SComplex> cancelling(int h, int tableOrder, int direction, unsigned seed) {
    const SComplex* table = getBigTwiddles(tableOrder);
    const bool appended = (1 << tableOrder) > kSuperblock && h < kSuperblock;
    const SComplex* used = appended ? table + (1 << tableOrder) / 4 : table;
    const int step = (appended ? kSuperblock : 1 << tableOrder) / (2 * h);
    std::mt19937 rng(seed);
    zv::test::UniformFloat unit(-2.0f, 2.0f);
    std::uniform_int_distribution<int> exponent(-40, 40);
    std::vector<SComplex> x(static_cast<std::size_t>(2 * h));
    for (int j = 0; j < h; ++j) {
        float vr = 0;
        float vi = 0;
        twiddleOf(used, step, h, j, direction, vr, vi);
        const float br = std::ldexp(unit(rng), exponent(rng));
        const float bi = std::ldexp(unit(rng), exponent(rng));
        const double tr = static_cast<double>(br) * vr - static_cast<double>(bi) * vi;
        const double ti = static_cast<double>(bi) * vr + static_cast<double>(br) * vi;
        x[static_cast<std::size_t>(j)] = {-static_cast<float>(tr), -static_cast<float>(ti)};
        x[static_cast<std::size_t>(j + h)] = {br, bi};
    }
    return x;
}

// Random data with exponents over a wide range, a share of the floats
// replaced by zeros of both signs, subnormals, infinities and NaNs.
std::vector<SComplex> specials(std::size_t n, unsigned seed) {
    constexpr std::uint32_t kBits[] = {0x00000000u, 0x80000000u, 0x00000001u, 0x807FFFFFu, 0x00400000u,
                                       0x7F800000u, 0xFF800000u, 0x7FC00000u, 0xFFC00000u, 0x7FA00001u,
                                       0x00800000u, 0x7F7FFFFFu, 0xFF7FFFFFu};
    std::mt19937 rng(seed);
    zv::test::UniformFloat unit(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-140, 127);
    std::vector<SComplex> x(n);
    float* f = reinterpret_cast<float*>(x.data());
    for (std::size_t i = 0; i < 2 * n; ++i) {
        const unsigned pick = rng() % 32;
        if (pick < std::size(kBits)) {
            std::memcpy(&f[i], &kBits[pick], sizeof(float));
        } else {
            f[i] = std::ldexp(unit(rng), pick < 24 ? exponent(rng) : 0);
        }
    }
    return x;
}

// Half-spans 2 to 2^18; small ones with several groups and several stages,
// tables of a larger order for strides through them, the appended part
// where the driver would read it.
struct StageCase {
    int h;
    int len;
    int tableOrder;
};
std::vector<StageCase> stageCases() {
    std::vector<StageCase> cases;
    for (int s = 1; s <= 18; ++s) {
        const int h = 1 << s;
        const int tableOrder = std::min(s + 1 + s % 3, 20);
        const bool appended = (1 << tableOrder) > kSuperblock && h < kSuperblock;
        const int room = appended ? kSuperblock : 1 << tableOrder;
        cases.push_back({h, std::max(2 * h, std::min(4096, room)), tableOrder});
    }
    return cases;
}

// Every stage case with each kernel of this machine: SSE2, and AVX2 and
// AVX-512 when it has them.
struct Setting {
    DoubleKernels kernels;
    StageCase stage;
};
std::vector<Setting> settings() {
    std::vector<Setting> all;
    for (DoubleKernels k : {DoubleKernels::sse2, DoubleKernels::avx2, DoubleKernels::avx512}) {
        if (selectKernels(k) != k) break;
        for (const StageCase& c : stageCases()) all.push_back({k, c});
    }
    return all;
}

TEST_F(FftCombine, DoublesGiveTheX87BitsOnRandomSpecialAndZeroData) {
    for (const auto& [kernels, c] : settings()) {
        selectKernels(kernels);
        const auto n = static_cast<std::size_t>(c.len);
        std::vector<std::vector<SComplex>> inputs;
        inputs.push_back(zv::test::randomSignalOfLength(n, static_cast<unsigned>(c.h)));
        inputs.push_back(specials(n, static_cast<unsigned>(c.h) + 1u));
        // Constant data after their blocks: a value at each group's start,
        // zeros elsewhere (exact zeros must agree, signs included).
        std::vector<SComplex> impulses(n, SComplex{0.0f, -0.0f});
        for (std::size_t g = 0; g < n; g += static_cast<std::size_t>(c.h)) impulses[g] = {3.0f, -0.0f};
        inputs.push_back(impulses);
        for (int direction : {1, -1}) {
            for (std::size_t kind = 0; kind < inputs.size(); ++kind) {
                const auto want = stages(CombinePath::x87, inputs[kind], c.h, c.tableOrder, direction);
                const auto got = stages(CombinePath::doubles, inputs[kind], c.h, c.tableOrder, direction);
                EXPECT_TRUE(sameBits(got, want))
                    << "h " << c.h << ", data " << kind << ", direction " << direction << ", kernels " << static_cast<int>(kernels);
            }
        }
    }
}

// The built data are sharp: trusted blindly, the doubles differ from the
// x87 loop on many results next to a halfway point and on many nearly
// cancelling sums; through the filter they never do.
TEST_F(FftCombine, DoublesGiveTheX87BitsNextToHalfwayPointsAndUnderCancellationWhereTrustingThemWouldNot) {
    using Builder = std::vector<SComplex> (*)(int, int, int, unsigned);
    const struct {
        const char* name;
        Builder build;
    } kinds[] = {{"next to halfway points", nearHalfway}, {"cancelling", cancelling}};
    for (const auto& kind : kinds) {
        long long mismatches = 0;
        long long results = 0;
        for (const auto& [kernels, c] : settings()) {
            if (c.h > (1 << 16)) continue;
            selectKernels(kernels);
            for (int direction : {1, -1}) {
                const auto x = kind.build(c.h, c.tableOrder, direction, static_cast<unsigned>(c.h) * 7u);
                const auto want = stages(CombinePath::x87, x, c.h, c.tableOrder, direction);
                const auto got = stages(CombinePath::doubles, x, c.h, c.tableOrder, direction);
                EXPECT_TRUE(sameBits(got, want))
                    << kind.name << ", h " << c.h << ", direction " << direction << ", kernels " << static_cast<int>(kernels);
                const auto trusted = stages(CombinePath::doublesUnfiltered, x, c.h, c.tableOrder, direction);
                for (std::size_t i = 0; i < x.size(); ++i) {
                    mismatches += std::memcmp(&trusted[i], &want[i], sizeof(SComplex)) != 0;
                    ++results;
                }
            }
        }
        if constexpr (kDoubleCombine) {
            EXPECT_GT(mismatches, results / 100) << kind.name << ": " << mismatches << " of " << results;
            std::printf("trusting every double result, %s: %lld of %lld values differ\n", kind.name, mismatches,
                        results);
        }
    }
}

// Exact zeros are proven, not sent back: a stage's input from constant data
// (a value at the start of each half, zeros elsewhere) leaves nothing to the
// x87 loop.
TEST_F(FftCombine, ExactZerosDoNotFallBack) {
    if (selectKernels(DoubleKernels::avx512) == DoubleKernels::sse2) GTEST_SKIP() << "no AVX2 kernels";
    for (int h : {8, 1024, 1 << 14}) {
        const int order = std::countr_zero(static_cast<unsigned>(2 * h));
        std::vector<SComplex> impulses(static_cast<std::size_t>(2 * h), SComplex{0.0f, -0.0f});
        impulses[0] = impulses[static_cast<std::size_t>(h)] = {3.0f, 0.0f};
        for (int direction : {1, -1}) {
            CombineCounts counts;
            EXPECT_TRUE(sameBits(stages(CombinePath::doubles, impulses, h, order, direction, &counts),
                                 stages(CombinePath::x87, impulses, h, order, direction)));
            EXPECT_EQ(counts.pairs, h / 2);
            EXPECT_EQ(counts.fallbacks, 0) << "h " << h;
        }
    }
}

// Under modes the proof does not cover, cFftDitCombine is the x87 loop:
// rounding upward in SSE (the doubles would round their sums up), then in
// the x87 unit (the reference rounds up, the doubles would not); and with
// the switch on.
TEST_F(FftCombine, OtherFloatingPointModesAndTheSwitchTakeTheX87Loop) {
    constexpr int order = 13;
    const SComplex* big = getBigTwiddles(order);
    ASSERT_NE(big, nullptr);
    const auto x = zv::test::randomSignal(order, 3u);
    const auto combined = [&](bool reference) {
        auto y = x;
        if (reference)
            cFftDitCombineOn(CombinePath::x87, y.data(), 1 << order, 1 << (order - 1), big, 1 << order, 1, 256);
        else
            cFftDitCombine(y.data(), 1 << order, 1 << (order - 1), big, 1 << order, 1, 256);
        return y;
    };
    if constexpr (kDoubleCombine) {
        EXPECT_TRUE(qel::defaultFloatModes());
    }

    const unsigned csr = _mm_getcsr();
    _mm_setcsr((csr & ~0x6000u) | 0x4000u);
    if constexpr (kDoubleCombine) {
        EXPECT_FALSE(qel::defaultFloatModes());
    }
    const auto upward = combined(false);
    auto doublesUpward = x;
    cFftDitCombineOn(CombinePath::doublesUnfiltered, doublesUpward.data(), 1 << order, 1 << (order - 1), big, 1 << order, 1,
                     256);
    _mm_setcsr(csr);
    if constexpr (kDoubleCombine) {
        EXPECT_FALSE(sameBits(doublesUpward, combined(true)));
    }
    EXPECT_TRUE(sameBits(upward, combined(true)));

    std::uint16_t control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    const std::uint16_t up = static_cast<std::uint16_t>((control & ~0x0C00) | 0x0800);
    asm volatile("fldcw %0" : : "m"(up));
    if constexpr (kDoubleCombine) {
        EXPECT_FALSE(qel::defaultFloatModes());
    }
    const auto x87Upward = combined(false);
    const auto x87UpwardReference = combined(true);
    asm volatile("fldcw %0" : : "m"(control));
    EXPECT_TRUE(sameBits(x87Upward, x87UpwardReference));
    EXPECT_FALSE(sameBits(x87Upward, combined(true)));

    qel::setReferencePaths(true);
    EXPECT_TRUE(sameBits(combined(false), combined(true)));
}

// The AVX2 and AVX-512 kernels this machine has (none without the doubles).
std::vector<DoubleKernels> wideKernelsHere() {
    std::vector<DoubleKernels> here;
    for (DoubleKernels k : {DoubleKernels::avx2, DoubleKernels::avx512})
        if (selectKernels(k) == k) here.push_back(k);
    if (here.empty()) here.push_back(selectKernels(DoubleKernels::avx512));
    return here;
}

// Whole transforms through the entries, every ordering, both directions,
// aligned and 4, 8, 12 bytes in, on noise and on the built data, with each
// wide kernel of this machine: the switch changes no bit (it also sends the
// streaming builds' block kernels and recombination to their four-wide
// forms).
TEST_F(FftCombine, WholeTransformsAreTheSameWithTheReferenceSwitchOnAndOff) {
    const std::vector<DoubleKernels> kernels = wideKernelsHere();
    struct Run {
        int order;
        int flags;
        int offset;  // floats past a 32-byte boundary
    };
    std::vector<Run> runs;
    const int orderings[] = {0, QEL_FFT_INPUT_REVERSED, QEL_FFT_OUTPUT_REVERSED};
    const int directions[] = {QEL_FFT_FORWARD, QEL_FFT_INVERSE, QEL_FFT_INVERSE | QEL_FFT_NO_SCALE};
    int i = 0;
    for (int order : {11, 15, 16, 17})
        for (int ordering : orderings)
            for (int direction : directions)
                runs.push_back({order, ordering | direction, i++ % 4});
    runs.push_back({20, QEL_FFT_FORWARD, 1});
    runs.push_back({20, QEL_FFT_INVERSE | QEL_FFT_INPUT_REVERSED, 2});
    for (const Run& r : runs) {
        const int n = 1 << r.order;
        // Noise, or the data built for the last combining stage (which the
        // block kernels and the earlier stages see as data like any other).
        const auto x = r.order % 2 == 0 ? zv::test::randomSignal(r.order, static_cast<unsigned>(r.order * 131 + r.flags))
                                        : nearHalfway(n / 2, r.order, (r.flags & QEL_FFT_FORWARD) != 0 ? 1 : -1,
                                                      static_cast<unsigned>(r.order + r.flags));
        const auto transform = [&](bool reference) {
            qel::setReferencePaths(reference);
            float* raw = static_cast<float*>(qelMalloc(n * 8 + 32));
            EXPECT_NE(raw, nullptr);
            SComplex* data = reinterpret_cast<SComplex*>(raw + r.offset);
            std::memcpy(data, x.data(), x.size() * sizeof(SComplex));
            qelcFft(data, r.order, r.flags);
            std::vector<SComplex> out(data, data + n);
            qelFree(raw);
            return out;
        };
        const std::vector<SComplex> want = transform(true);
        for (DoubleKernels k : kernels) {
            selectKernels(k);
            EXPECT_TRUE(sameBits(transform(false), want)) << "order " << r.order << ", flags " << r.flags
                                                          << ", offset " << r.offset << ", kernels "
                                                          << static_cast<int>(k);
        }
    }
    for (int order : {12, 17}) {
        for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
            const auto samples = zv::test::randomSamples(order, static_cast<unsigned>(order + flags));
            const std::size_t outLength = (std::size_t{1} << (order - 1)) + 1;
            const int offset = i++ % 4;
            const auto transform = [&](bool reference) {
                qel::setReferencePaths(reference);
                float* raw = static_cast<float*>(qelMalloc(static_cast<int>(outLength * 8 + 32)));
                EXPECT_NE(raw, nullptr);
                SComplex* dst = reinterpret_cast<SComplex*>(raw + offset);
                qelsRealFftNip(samples.data(), dst, order, flags);
                std::vector<SComplex> out(dst, dst + outLength);
                qelFree(raw);
                return out;
            };
            const std::vector<SComplex> want = transform(true);
            for (DoubleKernels k : kernels) {
                selectKernels(k);
                EXPECT_TRUE(sameBits(transform(false), want))
                    << "real order " << order << ", flags " << flags << ", kernels " << static_cast<int>(k);
            }
        }
    }
}

}  // namespace
