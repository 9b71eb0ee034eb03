// SPDX-License-Identifier: MIT
// The FFT engine's tables: the quarter sine table, the contents and sizes of
// the DIT, DIF, big and real twiddle tables, the bit-reversal tables and the
// two bit-reversal routines, bit for bit where they promise it.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "fft/tables.h"
#include "runtime/context.h"
#include "runtime/diagnostics.h"
#include "runtime/memory.h"
#include "tests/support/fft_signals.h"
#include "tests/support/float_bits.h"
#include "tests/support/reference_fft.h"
#include "tests/support/variant_traits.h"
#include "tests/support/unit_build.h"

namespace {

using zv::unit::build;
using namespace qel::fft;
using zv::test::sameBits;

using zv::test::bitsOf;
using zv::test::fromBits;

std::vector<std::size_t> requests;
void recordRequest(std::size_t bytes) { requests.push_back(bytes); }

class FftTables : public ::testing::Test {
protected:
    void SetUp() override {
        releaseAllFftTables();
        releaseWorkBuffer(kFftWorkBufferSlot);
        requests.clear();
        qelObserveAllocations(recordRequest);
    }
    void TearDown() override {
        qelObserveAllocations(nullptr);
        releaseAllFftTables();
        releaseWorkBuffer(kFftWorkBufferSlot);
    }
};

struct QuarterSine {
    explicit QuarterSine(int order) : s(makeQuarterSine(order)) {}
    ~QuarterSine() { qelFree(s); }
    QuarterSine(const QuarterSine&) = delete;
    QuarterSine& operator=(const QuarterSine&) = delete;
    float* s;
};

// The distance in units in the last place of the float at `got`.
double ulpError(float got, long double exact) {
    const float up = std::nextafter(std::fabs(got), 2.0f);
    return static_cast<double>(std::fabs(static_cast<long double>(got) - exact) /
                               static_cast<long double>(up - std::fabs(got)));
}

constexpr long double kTwoPiExact = 6.283185307179586476925286766559L;

TEST_F(FftTables, QuarterSineHoldsTheSinesRoundedToFloat) {
    for (int order = 2; order <= 18; ++order) {
        const std::int32_t n = std::int32_t{1} << order;
        const std::int32_t q = n / 4;
        QuarterSine table(order);
        ASSERT_NE(table.s, nullptr);
        EXPECT_EQ(bitsOf(table.s[0]), 0u);
        EXPECT_EQ(table.s[q], 1.0f);
        for (std::int32_t k = 1; k <= q; ++k) {
            // One rounding of an argument within an ulp of double precision:
            // at most a hair above half an ulp.
            EXPECT_LE(ulpError(table.s[k], std::sin(kTwoPiExact * k / n)), 0.5001)
                << "order " << order << " k " << k;
            ASSERT_GE(table.s[k], table.s[k - 1]);
        }
    }
    // The single value 0 of the orders below 2.
    for (int order : {0, 1}) {
        QuarterSine table(order);
        ASSERT_NE(table.s, nullptr);
        EXPECT_EQ(bitsOf(table.s[0]), 0u);
    }
}

TEST_F(FftTables, QuarterSineOfTheNextOrderContainsThisOneExactly) {
    // The step of the next order is exactly half of this one's, so every
    // second entry of the next table is this table's entry, bit for bit.
    for (int order = 2; order <= 17; ++order) {
        QuarterSine small(order);
        QuarterSine large(order + 1);
        const std::int32_t q = (std::int32_t{1} << order) / 4;
        for (std::int32_t k = 0; k <= q; ++k)
            ASSERT_EQ(bitsOf(large.s[2 * k]), bitsOf(small.s[k])) << "order " << order << " k " << k;
    }
}

void expectEntry(const SComplex& got, std::uint32_t re, std::uint32_t im, const char* what) {
    EXPECT_EQ(bitsOf(got.re), re) << what;
    EXPECT_EQ(bitsOf(got.im), im) << what;
}

constexpr std::uint32_t kOne = 0x3F800000u;
constexpr std::uint32_t kMinusOne = 0xBF800000u;
constexpr std::uint32_t kZero = 0x00000000u;
constexpr std::uint32_t kMinusZero = 0x80000000u;

const zv::test::VariantTraits& traits() { return zv::test::traitsOfLibrary(build().libraryName); }

// The DIT and DIF tables in the generic layouts; other layouts are tested
// with their family's kernels.
const bool kGenericLayouts = !traits().vectorTables;
const bool kHasDif = build().fftHasDif;

TEST_F(FftTables, DitTableOfOrderTwoIsExact) {
    if (!kGenericLayouts) GTEST_SKIP() << "the DIT table has another layout";
    const SComplex* t = getDitTwiddles(2);
    ASSERT_NE(t, nullptr);
    for (int i = 0; i < 3; ++i) expectEntry(t[i], kOne, kMinusZero, "k = 0");
    expectEntry(t[3], kZero, kMinusOne, "w^1");
    expectEntry(t[4], kMinusOne, kMinusZero, "w^2");
    expectEntry(t[5], kMinusZero, kOne, "w^3");
}

TEST_F(FftTables, DitTablesOfOrdersZeroAndOneHoldOneEntryFromTheZeroSine) {
    if (!kGenericLayouts) GTEST_SKIP() << "the DIT table has another layout";
    for (int order : {0, 1}) {
        const SComplex* t = getDitTwiddles(order);
        ASSERT_NE(t, nullptr);
        for (int i = 0; i < 3; ++i) expectEntry(t[i], kZero, kMinusZero, "entry 0");
    }
}

TEST_F(FftTables, DifTableOfOrderThreeIsExact) {
    if (!kHasDif) GTEST_SKIP() << "no DIF kernel";
    const SComplex* t = nullptr;
    if (kHasDif) t = build().getDifTwiddles(3);
    ASSERT_NE(t, nullptr);
    const std::uint32_t sine = 0x3F3504F3u;  // sin(pi/4) rounded to float
    expectEntry(t[0], sine, sine | 0x80000000u, "w^1");
    expectEntry(t[1], sine | 0x80000000u, sine | 0x80000000u, "w^3");
}

// Every value is + or - an entry of the order's quarter sine table, and the
// right one: it matches the exact root to within the rounding of S.
void expectFolded(const SComplex& w, const std::set<std::uint32_t>& sBits, long double angle,
                  const char* what, int order, std::int64_t index) {
    const long double c = std::cos(angle);
    const long double s = -std::sin(angle);
    ASSERT_TRUE(sBits.count(bitsOf(w.re) & 0x7FFFFFFFu)) << what << " order " << order << " " << index;
    ASSERT_TRUE(sBits.count(bitsOf(w.im) & 0x7FFFFFFFu)) << what << " order " << order << " " << index;
    ASSERT_NEAR(w.re, static_cast<double>(c), 6e-8) << what << " order " << order << " " << index;
    ASSERT_NEAR(w.im, static_cast<double>(s), 6e-8) << what << " order " << order << " " << index;
}

std::set<std::uint32_t> sineBits(int order) {
    QuarterSine table(order);
    const std::int32_t q = (std::int32_t{1} << order) / 4;
    return std::set<std::uint32_t>(reinterpret_cast<const std::uint32_t*>(table.s),
                                   reinterpret_cast<const std::uint32_t*>(table.s) + q + 1);
}

TEST_F(FftTables, EveryTwiddleIsAQuarterSineEntryOrItsNegation) {
    for (int order = 2; order <= build().fftBlockOrder; ++order) {
        const std::int64_t n = std::int64_t{1} << order;
        const std::int64_t q = n / 4;
        const auto sBits = sineBits(order);
        const SComplex* dit = getDitTwiddles(order);
        ASSERT_NE(dit, nullptr);
        if (kGenericLayouts) {
            for (std::int64_t k = 0; k <= q; ++k)
                for (int p = 1; p <= 3; ++p)
                    expectFolded(dit[3 * k + p - 1], sBits, kTwoPiExact * p * k / n, "dit", order, k);
        }
        if (kHasDif) {
            const SComplex* dif = build().getDifTwiddles(order);
            ASSERT_NE(dif, nullptr);
            for (std::int64_t k = 1; k < q; ++k) {
                expectFolded(dif[2 * (k - 1)], sBits, kTwoPiExact * k / n, "dif w^k", order, k);
                expectFolded(dif[2 * (k - 1) + 1], sBits, kTwoPiExact * 3 * k / n, "dif w^3k", order, k);
            }
        }
    }
    for (int order = build().fftBlockOrder + 1; order <= 17; ++order) {
        const std::int64_t n = std::int64_t{1} << order;
        const auto sBits = sineBits(order);
        const SComplex* big = getBigTwiddles(order);
        ASSERT_NE(big, nullptr);
        for (std::int64_t k = 0; k < n / 4; ++k)
            expectFolded(big[k], sBits, kTwoPiExact * k / n, "big", order, k);
    }
}

using zv::unit::kSuperblock;
using zv::unit::kSuperblockOrder;

TEST_F(FftTables, AppendedPartIsTheSuperblockTransformsOwnTableBitForBit) {
    // The superblock's roots, w^k of its own transform, are the first part
    // of the big table of the superblock's order.
    const SComplex* own = getBigTwiddles(kSuperblockOrder);
    ASSERT_NE(own, nullptr);
    for (int order : {kSuperblockOrder + 1, kSuperblockOrder + 2, kSuperblockOrder + 4}) {
        const std::int64_t q = (std::int64_t{1} << order) / 4;
        const SComplex* big = getBigTwiddles(order);
        ASSERT_NE(big, nullptr);
        EXPECT_EQ(0, std::memcmp(big + q, own, kSuperblock / 4 * sizeof(SComplex))) << "order " << order;
    }
}

// The stage-vector layout: one section per radix-4 stage size M of the
// order's parity, at offsets that do not depend on the order, M/16 groups of
// six four-lane vectors (re, im of w^k, w^2k, w^3k for k = 4g + lane).
TEST_F(FftTables, StageVectorSectionsSitAtTheirOffsetsAndAgreeAcrossOrdersOfAParity) {
    if (kGenericLayouts) GTEST_SKIP() << "the DIT table has the generic layout";
    const std::map<int, std::size_t> offsets = {{16, 0},     {64, 96},     {256, 480},  {1024, 2016},
                                                {4096, 8160}, {16384, 32736}, {32, 0},   {128, 192},
                                                {512, 960},  {2048, 4032}, {8192, 16320}};
    const int b = build().fftBlockOrder;
    for (int order = 4; order <= b; ++order) {
        const std::int32_t n = std::int32_t{1} << order;
        const auto* t = reinterpret_cast<const unsigned char*>(getDitTwiddles(order));
        ASSERT_NE(t, nullptr);
        QuarterSine s(order);
        for (std::int32_t M = order % 2 == 0 ? 16 : 32; M <= n; M *= 4) {
            const auto* section = reinterpret_cast<const float*>(t + offsets.at(M));
            for (std::int32_t k = 0; k < M / 4; ++k) {
                const float* group = section + 24 * (k / 4);
                const int lane = k % 4;
                for (int p = 1; p <= 3; ++p) {
                    const SComplex w = foldedRoot(s.s, n / 4, p * k * (n / M));
                    ASSERT_EQ(bitsOf(group[8 * (p - 1) + lane]), bitsOf(w.re)) << order << " M " << M << " k " << k;
                    ASSERT_EQ(bitsOf(group[8 * (p - 1) + 4 + lane]), bitsOf(w.im)) << order << " M " << M << " k " << k;
                }
            }
        }
        if (order + 2 <= b) {
            // Every section of this order is in the next order of its parity, bit for bit.
            const auto* next = reinterpret_cast<const unsigned char*>(getDitTwiddles(order + 2));
            const std::size_t used = offsets.at(n) + 6 * static_cast<std::size_t>(n);
            EXPECT_EQ(0, std::memcmp(t, next, used)) << "orders " << order << " and " << order + 2;
        }
    }
}

TEST_F(FftTables, RealTwiddlesAreHalfCosineAndHalfOneMinusSine) {
    for (int order = 2; order <= (kGenericLayouts ? 14 : 3); ++order) {
        const std::int64_t n = std::int64_t{1} << order;
        const SComplex* t = getRealTwiddles(order);
        ASSERT_NE(t, nullptr);
        expectEntry(t[0], 0x3F000000u, 0x3F000000u, "k = 0: (0.5, 0.5)");
        QuarterSine s(order);
        for (std::int64_t k = 0; k < n / 4; ++k) {
            // (cos t)/2 is exact from S; (1 - sin t)/2 is rounded once.
            EXPECT_EQ(t[k].re, s.s[n / 4 - k] / 2) << "order " << order << " k " << k;
            const long double b = 0.5L - 0.5L * static_cast<long double>(s.s[k]);
            EXPECT_LE(ulpError(t[k].im, b), 0.5) << "order " << order << " k " << k;
            EXPECT_NEAR(t[k].im, (1 - std::sin(kTwoPiExact * k / n)) / 2, 6e-8);
        }
    }
}

// Tables outlive the call that builds them: one built while the caller
// rounds another way would serve every later transform of the thread.
TEST_F(FftTables, TablesDoNotDependOnTheCallersRoundingMode) {
    constexpr int kOrder = 12;  // above the generic block order: DIT and big tables
    auto snapshot = [] {
        const SComplex* dit = getDitTwiddles(kOrder - 2);
        const SComplex* big = getDitTwiddles(kOrder);
        const SComplex* real = getRealTwiddles(kOrder);
        std::vector<std::uint32_t> bits;
        // Entries every layout fills: three per butterfly of the DIT table's
        // quarter (n = 2^10), one per quarter point of the others (n = 2^12).
        const std::pair<const SComplex*, int> tables[] = {{dit, 768}, {big, 1024}, {real, 1024}};
        for (const auto& [t, entries] : tables) {
            EXPECT_NE(t, nullptr);
            if (t == nullptr) return bits;
            for (int k = 0; k < entries; ++k) bits.insert(bits.end(), {bitsOf(t[k].re), bitsOf(t[k].im)});
        }
        return bits;
    };
    const std::vector<std::uint32_t> nearest = snapshot();
    for (int mode : {FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO}) {
        releaseAllFftTables();
        ASSERT_EQ(std::fesetround(mode), 0);
        const std::vector<std::uint32_t> other = snapshot();
        EXPECT_EQ(std::fegetround(), mode) << "the caller's mode is restored";
        std::fesetround(FE_TONEAREST);
        EXPECT_TRUE(other == nearest) << "rounding mode " << mode;
    }
}

TEST_F(FftTables, BlocksHaveTheirStatedSizesAndTheQuarterSineComesSecond) {
    struct Case {
        SComplex* (*get)(int);
        int order;
        std::size_t bytes;
        const char* what;
    };
    // The sizes of the build under test.
    const auto dit = [](int order) { return static_cast<std::size_t>(build().ditTableBytes(order)); };
    const auto big = [](int order) {
        const std::size_t q = (std::size_t{1} << order) / 4;
        return (q + (order > kSuperblockOrder ? kSuperblock / 4 : 0)) * 8;
    };
    const int b = build().fftBlockOrder;
    std::vector<Case> cases = {
        {getDitTwiddles, 0, dit(0), "dit 0"},
        {getDitTwiddles, 2, dit(2), "dit 2"},
        {getDitTwiddles, 4, dit(4), "dit 4"},
        {getDitTwiddles, b, dit(b), "dit of the block order"},
        {getBigTwiddles, 11, big(11), "big 11"},
        {getBigTwiddles, kSuperblockOrder, big(kSuperblockOrder), "big of the superblock order"},
        {getBigTwiddles, kSuperblockOrder + 1, big(kSuperblockOrder + 1), "big above it"},
        {getBigTwiddles, 17, big(17), "big 17"},
        {getRealTwiddles, 2, 16, "real 2"},
        {getRealTwiddles, 3, 16, "real 3"},
        {getRealTwiddles, 4, 32, "real 4"},
        {getRealTwiddles, 12, 1024 * 8, "real 12"},
    };
    if (kHasDif) {
        cases.push_back({build().getDifTwiddles, 0, 8, "dif 0"});
        cases.push_back({build().getDifTwiddles, 3, 32, "dif 3"});
        cases.push_back({build().getDifTwiddles, 10, 512 * 8, "dif 10"});
    }
    for (const Case& c : cases) {
        releaseAllFftTables();
        requests.clear();
        ASSERT_NE(c.get(c.order), nullptr) << c.what;
        const std::size_t quarterSine = ((std::size_t{1} << c.order) / 4 + 1) * 4;
        EXPECT_EQ(requests, (std::vector<std::size_t>{c.bytes, quarterSine})) << c.what;
    }
    for (int order : {0, 1, 2, 3, 4, 12}) {
        releaseAllFftTables();
        requests.clear();
        ASSERT_NE(getBitRevTable(order), nullptr);
        const std::size_t words = order < 2 ? 1 : (std::size_t{1} << (order - 2)) + 1;
        EXPECT_EQ(requests, std::vector<std::size_t>{words * 4}) << "bit reversal " << order;
    }
}

TEST_F(FftTables, GettersCacheAndLargeOrdersShareTheBlockOrderTable) {
    const int b = build().fftBlockOrder;
    SComplex* large = getDitTwiddles(b + 2);
    ASSERT_NE(large, nullptr);
    QelContext* context = qelGetContext();
    EXPECT_EQ(context->ditTwiddleTables[b + 2], nullptr);
    EXPECT_NE(context->ditTwiddleTables[b], nullptr);
    EXPECT_EQ(context->bigTwiddleTables[b + 2], large);
    requests.clear();
    EXPECT_EQ(getDitTwiddles(b + 2), large);
    EXPECT_EQ(getDitTwiddles(b + 1), getBigTwiddles(b + 1));
    EXPECT_EQ(requests.size(), 2u);  // only the next big table and its quarter sine

    releaseDitTwiddles(b + 2);
    EXPECT_EQ(context->ditTwiddleTables[b], nullptr);
    EXPECT_EQ(context->bigTwiddleTables[b + 2], nullptr);
    EXPECT_NE(context->bigTwiddleTables[b + 1], nullptr);

    if (kHasDif) {
        ASSERT_NE(build().getDifTwiddles(13), nullptr);
        build().releaseDifTwiddles(13);
        EXPECT_EQ(context->difTwiddleTables[10], nullptr);
        EXPECT_EQ(context->bigTwiddleTables[13], nullptr);
        EXPECT_NE(context->bigTwiddleTables[11], nullptr);
    }
}

TEST_F(FftTables, OrdersOutsideTheRangeOrTooLargeGiveNoTable) {
    for (int order : {-1, 32, 1000}) {
        EXPECT_EQ(getDitTwiddles(order), nullptr);
        if (kHasDif) {
            EXPECT_EQ(build().getDifTwiddles(order), nullptr);
        }
        EXPECT_EQ(getBigTwiddles(order), nullptr);
        EXPECT_EQ(getRealTwiddles(order), nullptr);
        EXPECT_EQ(getBitRevTable(order), nullptr);
        releaseDitTwiddles(order);
        if (kHasDif) build().releaseDifTwiddles(order);
        releaseBigTwiddles(order);
        releaseRealTwiddles(order);
        releaseBitRevTable(order);
    }
    // 2^31 points are not representable; the order-30 big and real tables
    // would not fit a 32-bit request. None of these may even try.
    requests.clear();
    EXPECT_EQ(makeQuarterSine(31), nullptr);
    EXPECT_EQ(getBigTwiddles(31), nullptr);
    EXPECT_EQ(getRealTwiddles(31), nullptr);
    EXPECT_EQ(getBitRevTable(31), nullptr);
    EXPECT_EQ(getBigTwiddles(30), nullptr);
    EXPECT_EQ(getRealTwiddles(30), nullptr);
    EXPECT_EQ(requests.size(), 0u);
    EXPECT_EQ(getDitTwiddles(31), nullptr);  // builds the block-order table first
    if (kHasDif) {
        EXPECT_EQ(build().getDifTwiddles(30), nullptr);
    }
}

TEST_F(FftTables, ReleaseWorkBufferEmptiesOnlyValidSlots) {
    QelContext* context = qelGetContext();
    context->workBuffers[3] = static_cast<SComplex*>(qelMallocPairs(16));
    context->workBufferSizes[3] = 16;
    releaseWorkBuffer(4);
    releaseWorkBuffer(-1);
    EXPECT_EQ(context->workBufferSizes[3], 16u);
    releaseAllFftTables();  // scratch buffers are not tables
    EXPECT_NE(context->workBuffers[3], nullptr);
    releaseWorkBuffer(3);
    EXPECT_EQ(context->workBuffers[3], nullptr);
    EXPECT_EQ(context->workBufferSizes[3], 0u);
}

// ---- bit reversal ----

std::vector<std::int32_t> tableWords(int order) {
    const std::int32_t* t = getBitRevTable(order);
    const std::size_t words = (std::size_t{1} << (order - 2)) + 1;
    return std::vector<std::int32_t>(t, t + words);
}

TEST_F(FftTables, BitReversalTablesOfSmallOrdersAreExact) {
    EXPECT_EQ(tableWords(2), (std::vector<std::int32_t>{0, 0}));
    EXPECT_EQ(tableWords(3), (std::vector<std::int32_t>{0, 4, 0}));
    EXPECT_EQ(tableWords(4), (std::vector<std::int32_t>{4, 8, 0, 12, 0}));
    // m = 8: pairs (1,4), (3,6); self-reversed 7, 5, 2 in decreasing order.
    EXPECT_EQ(tableWords(5), (std::vector<std::int32_t>{4, 16, 12, 24, 0, 28, 20, 8, 0}));
}

// Values that a floating-point move could alter: signalling NaNs, payloads,
// negative zero, subnormals.
std::vector<SComplex> markedValues(std::size_t n) {
    std::vector<SComplex> x(n);
    for (std::size_t k = 0; k < n; ++k) {
        const auto i = static_cast<std::uint32_t>(k);
        x[k] = {fromBits(0x7F800001u + i), fromBits(k % 3 == 0 ? 0x80000000u + i : 0xFFA00000u + i)};
    }
    return x;
}

float quieted(float v);

// The values at the indices that the permutation moves (those not their
// own reversal) quieted, in builds whose moves go through the x87 stack
// whatever the alignment; the others move aligned arrays bit for bit.
std::vector<SComplex> quietedWhereMoved(std::vector<SComplex> v, int order) {
    if (!traits().x87BitRevMoves) return v;
    for (std::size_t k = 0; k < v.size(); ++k)
        if (zv::test::reverseBits(k, order) != k) v[k] = {quieted(v[k].re), quieted(v[k].im)};
    return v;
}

// Both walks, tile by tile where the data outgrow the first level cache
// and the reference paths' table order.
TEST_F(FftTables, BitRevPermuteIsTheBitReversalAndItsOwnInverse) {
    for (bool reference : {false, true}) {
        qel::setReferencePaths(reference);
        for (int order = 2; order <= 16; ++order) {
            const auto x = markedValues(std::size_t{1} << order);
            auto y = x;
            build().bitRevPermute(y.data(), static_cast<int>(y.size()), getBitRevTable(order));
            EXPECT_TRUE(sameBits(y, quietedWhereMoved(zv::test::bitReversed(x, order), order)))
                << "order " << order << (reference ? ", reference" : "");
            build().bitRevPermute(y.data(), static_cast<int>(y.size()), getBitRevTable(order));
            EXPECT_TRUE(sameBits(y, quietedWhereMoved(x, order)))
                << "twice, order " << order << (reference ? ", reference" : "");
        }
    }
    qel::setReferencePaths(false);
    // n = 4: only elements 1 and 2 change places; n < 4: nothing moves.
    auto four = markedValues(4);
    build().bitRevPermute(four.data(), 4, getBitRevTable(2));
    EXPECT_TRUE(sameBits(four, quietedWhereMoved({markedValues(4)[0], markedValues(4)[2], markedValues(4)[1],
                                                  markedValues(4)[3]}, 2)));
    for (int n : {0, 1, 2}) {
        auto few = markedValues(2);
        build().bitRevPermute(few.data(), n, nullptr);
        EXPECT_TRUE(sameBits(few, markedValues(2)));
    }
}

float quieted(float v) {
    const std::uint32_t b = bitsOf(v);
    const bool signalling = (b & 0x7FC00000u) == 0x7F800000u && (b & 0x003FFFFFu) != 0;
    return signalling ? fromBits(b | 0x00400000u) : v;
}

TEST_F(FftTables, BitRevCopyRealCopiesIntoBitReversedOrderLeavingTheSourceAlone) {
    for (bool reference : {false, true}) {
        qel::setReferencePaths(reference);
        for (int order = 1; order <= 15; ++order) {
            const std::size_t n = std::size_t{1} << order;
            const auto x = markedValues(n);
            auto src = x;
            std::vector<SComplex> dst(n, SComplex{1.0f, 2.0f});
            const std::int32_t* table = order >= 3 ? getBitRevTable(order) : nullptr;
            build().bitRevCopyReal(src.data(), dst.data(), static_cast<int>(n), table);
            auto want = zv::test::bitReversed(x, order);
            // Builds that move the few values of N < 8 (or all values)
            // through the x87 stack deliver a signalling NaN quiet.
            if (traits().x87BitRevMoves || (traits().mmxBitRevMoves && n < 8))
                for (SComplex& v : want) v = {quieted(v.re), quieted(v.im)};
            EXPECT_TRUE(sameBits(dst, want)) << "N = " << n << (reference ? ", reference" : "");
            EXPECT_TRUE(sameBits(src, x)) << "N = " << n << (reference ? ", reference" : "");
        }
    }
    qel::setReferencePaths(false);
}

}  // namespace
