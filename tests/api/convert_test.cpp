// SPDX-License-Identifier: MIT
// The conversions through each shared library: argument checks and the
// report of an out-of-range element as a user sees them, and the edge cases
// of the rounding modes, the range bounds and saturation.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "tests/support/float_bits.h"
#include "tests/support/quiet_exit.h"
#include "tests/support/variant_loader.h"

namespace {

using zv::test::fromBits;
using zv::test::kInf;
constexpr int kNear = QEL_CVT_NEAREST;
constexpr int kTrunc = QEL_CVT_TRUNCATE;
constexpr int kFloor = QEL_CVT_FLOOR;
constexpr int kCeil = QEL_CVT_CEIL;
constexpr int kU = QEL_CVT_UNSIGNED;
constexpr int kSat = QEL_CVT_SATURATE;
constexpr int kRoundings[] = {kNear, kTrunc, kFloor, kCeil};

class Convert : public zv::test::VariantTest {
protected:
    // One float converted; the destination element starts as `previous`.
    template <typename T>
    T one(float x, int flags, T previous = T{99}) const {
        T out = previous;
        api->qelsbFloatToInt(&x, &out, 1, 8 * sizeof(T), flags | (std::is_unsigned_v<T> ? kU : 0));
        return out;
    }
};

// The argument checks are the shared code of every build, ahead of its loops:
// they run on one build.
class ConvertChecks : public Convert {};

TEST_P(ConvertChecks, EveryFailedCheckEndsTheProcessQuietlyWithDataUntouched) {
    float f[4] = {1, 2, 3, 4};
    std::int32_t i[4] = {5, 6, 7, 8};
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(nullptr, nullptr, 0, 8, kNear), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, i, 0, 32, kNear), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, i, -4, 32, kNear), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(nullptr, i, 4, 32, kNear), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, nullptr, 4, 32, kNear), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, i, 4, 24, kNear), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, i, 4, 32, 0x180), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, i, 4, 32, kSat), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(nullptr, nullptr, 0, 8, 0), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(i, f, 0, 32, 0), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(nullptr, f, 4, 32, 0), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(i, nullptr, 4, 32, 0), i, sizeof i);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(i, f, 4, 24, 0), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(i, f, 4, 8, 0x880), f, sizeof f);
    ZV_EXPECT_QUIET_EXIT1(api->qelsbIntToFloat(i, f, 4, 8, 0x1000), f, sizeof f);
}

TEST_P(Convert, AReportedElementEndsTheProcessBeforeTheNextIsConverted) {
    if (!traits().elementReports) GTEST_SKIP() << "this build does not report element by element";
    const float f[4] = {1.0f, 300.0f, 2.0f, -1.0f};
    std::int8_t i[4] = {9, 9, 9, 9};
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f, i, 4, 8, kNear | QEL_CVT_REPORT), i + 1, 3);
    std::uint8_t u[4] = {9, 9, 9, 9};
    ZV_EXPECT_QUIET_EXIT1(api->qelsbFloatToInt(f + 3, u, 1, 8, kTrunc | kU | kSat | QEL_CVT_REPORT), u + 1, 3);
}

TEST_P(Convert, RoundingModes) {
    EXPECT_EQ(one<std::int8_t>(2.5f, kNear), 2);
    EXPECT_EQ(one<std::int8_t>(3.5f, kNear), 4);
    EXPECT_EQ(one<std::int8_t>(-2.5f, kNear), -2);
    EXPECT_EQ(one<std::int8_t>(-3.5f, kNear), -4);
    EXPECT_EQ(one<std::int8_t>(fromBits(0x3EFFFFFFu), kNear), 0);  // largest float below 0.5
    EXPECT_EQ(one<std::int8_t>(fromBits(0x3F000001u), kNear), 1);
    EXPECT_EQ(one<std::uint8_t>(-0.5f, kNear), 0);
    EXPECT_EQ(one<std::int8_t>(-0.25f, kFloor), -1);
    EXPECT_EQ(one<std::int8_t>(0.25f, kCeil), 1);
    EXPECT_EQ(one<std::int8_t>(-0.75f, kCeil), 0);
    EXPECT_EQ(one<std::int16_t>(-7.75f, kTrunc), -7);
    EXPECT_EQ(one<std::int16_t>(7.75f, kFloor), 7);
    EXPECT_EQ(one<std::int16_t>(-7.25f, kFloor), -8);
    EXPECT_EQ(one<std::uint8_t>(254.5f, kCeil), 255);
    EXPECT_EQ(one<std::uint8_t>(255.0f, kCeil), 255);
    EXPECT_EQ(one<std::int8_t>(-128.5f, kNear), -128);
    EXPECT_EQ(one<std::uint16_t>(65535.4f, kNear), 65535);
    EXPECT_EQ(one<std::uint32_t>(fromBits(0x4F7FFFFFu), kNear), 4294967040u);  // largest float below 2^32
    EXPECT_EQ(one<std::int32_t>(fromBits(0x4EFFFFFFu), kCeil), 2147483520);
    EXPECT_EQ(one<std::int32_t>(16777217.0f, kNear), 16777216);  // the float itself is 2^24
    for (int r : kRoundings) {
        EXPECT_EQ(one<std::int32_t>(-2147483648.0f, r), std::numeric_limits<std::int32_t>::min()) << r;
        EXPECT_EQ(one<std::int8_t>(-0.0f, r), 0) << r;
        EXPECT_EQ(one<std::uint32_t>(-0.0f, r), 0u) << r;
        EXPECT_EQ(one<std::int32_t>(fromBits(0x00000001u), r), r == kCeil ? 1 : 0) << r;
        EXPECT_EQ(one<std::int32_t>(fromBits(0x80000001u), r), r == kFloor ? -1 : 0) << r;
    }
}

TEST_P(Convert, SaturationAtTheRangeBounds) {
    for (int r : kRoundings) {
        EXPECT_EQ(one<std::int32_t>(2147483648.0f, r | kSat), 2147483647) << r;
        EXPECT_EQ(one<std::uint32_t>(4294967296.0f, r | kSat), 4294967295u) << r;
        EXPECT_EQ(one<std::int8_t>(kInf, r | kSat), 127) << r;
        EXPECT_EQ(one<std::int8_t>(-kInf, r | kSat), -128) << r;
        EXPECT_EQ(one<std::uint16_t>(-kInf, r | kSat), 0) << r;
        EXPECT_EQ(one<std::int16_t>(-1e9f, r | kSat), -32768) << r;
    }
    EXPECT_EQ(one<std::int8_t>(127.5f, kNear | kSat), 127);
    EXPECT_EQ(one<std::uint8_t>(fromBits(0xBF000001u), kNear | kSat), 0);  // -0.50000006
    EXPECT_EQ(one<std::uint8_t>(-0.25f, kFloor | kSat), 0);
    EXPECT_EQ(one<std::uint8_t>(255.25f, kCeil | kSat), 255);
}

// Truncation toward zero of negative values, in the steps of four and in
// the single elements after them, with and without the clamp: -2.5 gives -2,
// never -3.
TEST_P(Convert, TruncationTakesNegativeValuesTowardZero) {
    const float f[9] = {-2.5f, -0.5f, -7.75f, -100.5f, 2.5f, -1.0f, fromBits(0xBF7FFFFFu), -127.25f, -3.5f};
    const std::vector<std::int64_t> want = {-2, 0, -7, -100, 2, -1, 0, -127, -3};
    auto convert = [&](auto zero, int flags) {
        std::vector<decltype(zero)> out(9, decltype(zero){99});
        api->qelsbFloatToInt(f, out.data(), 9, 8 * sizeof zero, flags);
        return std::vector<std::int64_t>(out.begin(), out.end());
    };
    for (int flags : {kTrunc, kTrunc | kSat}) {
        EXPECT_EQ(convert(std::int8_t{}, flags), want) << flags;
        EXPECT_EQ(convert(std::int16_t{}, flags), want) << flags;
        EXPECT_EQ(convert(std::int32_t{}, flags), want) << flags;
    }
}

// Unsigned truncation with the report flag and nothing else: a value in
// (-1, 0) truncates to 0 like any other, in range, and nothing is reported
// (a report would end the process).
TEST_P(Convert, UnsignedTruncationWithReportsKeepsSmallNegativesInRange) {
    const float f[6] = {-0.5f, fromBits(0xBF7FFFFFu), 3.75f, -0.0f, 200.5f, -0.25f};
    auto convert = [&](auto zero) {
        std::vector<decltype(zero)> out(6, decltype(zero){99});
        api->qelsbFloatToInt(f, out.data(), 6, 8 * sizeof zero, kU | kTrunc | QEL_CVT_REPORT);
        return std::vector<std::int64_t>(out.begin(), out.end());
    };
    const std::vector<std::int64_t> want = {0, 0, 3, 0, 200, 0};
    EXPECT_EQ(convert(std::uint8_t{}), want);
    EXPECT_EQ(convert(std::uint16_t{}), want);
    EXPECT_EQ(convert(std::uint32_t{}), want);
}

// Out-of-range elements: the generic build leaves them as they were unless
// saturating, and saturates a NaN to the maximum. The other builds write
// something of their own there.
TEST_P(Convert, GenericOutOfRangeElementsKeepTheirPreviousContents) {
    if (!traits().elementReports) GTEST_SKIP() << "out-of-range elements differ by build";
    const float nan = std::nanf("");
    EXPECT_EQ(one<std::int8_t>(127.5f, kNear, 55), 55);
    EXPECT_EQ(one<std::uint8_t>(fromBits(0xBF000001u), kNear, 55), 55);
    EXPECT_EQ(one<std::uint8_t>(-0.25f, kFloor, 55), 55);
    EXPECT_EQ(one<std::uint8_t>(255.25f, kCeil, 55), 55);
    for (int r : kRoundings) {
        EXPECT_EQ(one<std::int32_t>(2147483648.0f, r, 55), 55) << r;
        EXPECT_EQ(one<std::uint32_t>(4294967296.0f, r, 55u), 55u) << r;
        EXPECT_EQ(one<std::int16_t>(nan, r, 55), 55) << r;
        EXPECT_EQ(one<std::int16_t>(nan, r | kSat), 32767) << r;
        EXPECT_EQ(one<std::int16_t>(-nan, r | kSat), 32767) << r;
        EXPECT_EQ(one<std::uint32_t>(nan, r | kSat), 4294967295u) << r;
    }
    // A whole vector: in-range elements converted, the others untouched.
    const float f[5] = {1.4f, 1000.0f, -3.6f, -1000.0f, nan};
    std::int8_t i[5] = {7, 7, 7, 7, 7};
    api->qelsbFloatToInt(f, i, 5, 8, kNear);
    EXPECT_EQ(std::vector<std::int8_t>(i, i + 5), (std::vector<std::int8_t>{1, 7, -4, 7, 7}));
}

TEST_P(Convert, IntegerToFloat) {
    const std::uint8_t bytes[2] = {255, 0xFF};
    float f[2];
    api->qelsbIntToFloat(bytes, f, 1, 8, kU);
    api->qelsbIntToFloat(bytes + 1, f + 1, 1, 8, 0);
    EXPECT_EQ(f[0], 255.0f);
    EXPECT_EQ(f[1], -1.0f);
    const std::uint32_t words[5] = {0xFFFFFFFFu, 16777217u, 0x80000000u, 0x7FFFFFFFu, 16777219u};
    float u[5], s[5];
    api->qelsbIntToFloat(words, u, 5, 32, kU);
    api->qelsbIntToFloat(words, s, 5, 32, 0);
    EXPECT_EQ(u[0], 4294967296.0f);
    EXPECT_EQ(u[1], 16777216.0f);  // ties to even
    EXPECT_EQ(u[2], 2147483648.0f);
    EXPECT_EQ(u[4], 16777220.0f);
    EXPECT_EQ(s[0], -1.0f);
    EXPECT_EQ(s[1], 16777216.0f);
    EXPECT_EQ(s[2], -2147483648.0f);
    EXPECT_EQ(s[3], 2147483648.0f);
    const std::int16_t halves[3] = {-32768, 32767, -1};
    float h[4] = {0, 0, 0, 42};
    api->qelsbIntToFloat(halves, h, 3, 16, 0);
    EXPECT_EQ(h[0], -32768.0f);
    EXPECT_EQ(h[1], 32767.0f);
    EXPECT_EQ(h[2], -1.0f);
    EXPECT_EQ(h[3], 42.0f);
}

// 32-bit integers converted in place, in steps and single elements alike.
TEST_P(Convert, IntegerToFloatInPlace) {
    const std::uint32_t words[9] = {0xFFFFFFFFu, 16777217u, 0x80000000u, 7u, 0u, 0xFFFFFF00u, 100u, 3u, 0xC0000000u};
    for (int flags : {0, kU}) {
        std::uint32_t data[9];
        std::memcpy(data, words, sizeof data);
        float want[9];
        api->qelsbIntToFloat(words, want, 9, 32, flags);
        api->qelsbIntToFloat(data, reinterpret_cast<float*>(data), 9, 32, flags);
        for (int i = 0; i < 9; ++i) EXPECT_EQ(std::bit_cast<float>(data[i]), want[i]) << flags << " " << i;
    }
}

// Integer vectors need no alignment: elements at an odd address are read
// and written whole, and nothing beside them changes.
TEST_P(Convert, IntegerVectorsAtAnyAddress) {
    const float f[5] = {-1.5f, 2.5f, 70000.25f, -40000.0f, 3.0f};
    for (int size : {16, 32}) {
        for (int offset = 1; offset < 4; ++offset) {
            std::vector<unsigned char> bytes(32, 0xEE);
            api->qelsbFloatToInt(f, bytes.data() + offset, 5, size, kNear | kSat);
            float back[6] = {0, 0, 0, 0, 0, 42};
            api->qelsbIntToFloat(bytes.data() + offset, back, 5, size, 0);
            const float want16[5] = {-2, 2, 32767, -32768, 3};
            const float want32[5] = {-2, 2, 70000, -40000, 3};
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(back[i], size == 16 ? want16[i] : want32[i]) << size << " " << offset << " " << i;
            EXPECT_EQ(back[5], 42.0f);
            const std::size_t end = static_cast<std::size_t>(offset) + 5 * static_cast<std::size_t>(size / 8);
            for (std::size_t b = 0; b < bytes.size(); ++b)
                if (b < static_cast<std::size_t>(offset) || b >= end) {
                    EXPECT_EQ(bytes[b], 0xEE) << b;
                }
        }
    }
}

// Eight elements per step from a 32-byte aligned source, then single ones:
// out-of-range elements are written anyway, narrowed with saturation in the
// steps (8 bits, signed 16 bits) or to their low 16 bits (unsigned 16), as
// the low-order bits of the 32-bit result in the single elements; that
// result is 0x80000000 for a NaN and beyond the signed 32-bit range.
// Saturating, a NaN becomes the minimum, but the maximum in the steps of the
// 8-bit kernels.
TEST_P(Convert, LaneConversionsWriteOutOfRangeElements) {
    if (!traits().laneConversions) GTEST_SKIP() << "conversions are not taken in lanes";
    const float nan = std::nanf("");
    const float values[12] = {1, 300, nan, -300, 70000, -1, 3e9f, 5, 300, nan, -300, 70000};
    auto* src = static_cast<float*>(api->qelMalloc(sizeof values));
    std::memcpy(src, values, sizeof values);
    auto convert = [&](auto zero, int flags) {
        std::vector<decltype(zero)> out(12, decltype(zero){99});
        api->qelsbFloatToInt(src, out.data(), 12, 8 * sizeof zero, flags);
        return std::vector<std::int64_t>(out.begin(), out.end());
    };
    using V = std::vector<std::int64_t>;
    EXPECT_EQ(convert(std::int8_t{}, kNear), (V{1, 127, -128, -128, 127, -1, -128, 5, 44, 0, -44, 112}));
    EXPECT_EQ(convert(std::int8_t{}, kNear | kSat), (V{1, 127, 127, -128, 127, -1, 127, 5, 127, -128, -128, 127}));
    EXPECT_EQ(convert(std::uint8_t{}, kNear | kU), (V{1, 255, 0, 0, 255, 0, 0, 5, 44, 0, 212, 112}));
    EXPECT_EQ(convert(std::uint8_t{}, kNear | kU | kSat), (V{1, 255, 255, 0, 255, 0, 255, 5, 255, 0, 0, 255}));
    EXPECT_EQ(convert(std::int16_t{}, kTrunc), (V{1, 300, -32768, -300, 32767, -1, -32768, 5, 300, 0, -300, 4464}));
    EXPECT_EQ(convert(std::int16_t{}, kTrunc | kSat),
              (V{1, 300, -32768, -300, 32767, -1, 32767, 5, 300, -32768, -300, 32767}));
    EXPECT_EQ(convert(std::uint16_t{}, kFloor | kU), (V{1, 300, 0, 65236, 4464, 65535, 0, 5, 300, 0, 65236, 4464}));
    EXPECT_EQ(convert(std::int32_t{}, kCeil),
              (V{1, 300, INT32_MIN, -300, 70000, -1, INT32_MIN, 5, 300, INT32_MIN, -300, 70000}));
    api->qelFree(src);
    // Unsigned 32-bit integers from 2^31: the low 31 bits round to a
    // multiple of 128, then the sum with 2^31 ties to even.
    const std::uint32_t big = 0xC0000081u;
    float f = 0;
    api->qelsbIntToFloat(&big, &f, 1, 32, kU);
    EXPECT_EQ(f, 3221225472.0f);  // correctly rounded: 3221225728
}

// Out-of-range elements written as the low-order bits of the x87 unit's
// 64-bit integer store of the rounded value: in steps of four through that
// store (a NaN or a value beyond 2^21 in the step), in steps of four through
// the magic-constant sums (elements 8 to 11), and in the single elements at
// the end; a NaN, an infinity and 1e20 (beyond 2^63) store the integer
// indefinite, whose low bits are 0. Saturating, a NaN goes by its sign.
TEST_P(Convert, LowBitConversionsWriteOutOfRangeElements) {
    if (!traits().lowBitConversions) GTEST_SKIP() << "out-of-range elements are not written as low-order bits";
    const float nan = std::nanf("");
    const float f[15] = {1.4f, 300, nan, -300.5f, 70000, -1, 3e9f, 5,  // steps through the integer stores
                         300, -300.5f, 70000.5f, -2.5f,                 // a step of magic sums
                         kInf, -1e20f, -nan};                           // single elements
    auto convert = [&](auto zero, int flags) {
        std::vector<decltype(zero)> out(15, decltype(zero){99});
        api->qelsbFloatToInt(f, out.data(), 15, 8 * sizeof zero, flags);
        return std::vector<std::int64_t>(out.begin(), out.end());
    };
    using V = std::vector<std::int64_t>;
    constexpr std::int64_t kMin32 = INT32_MIN, kMax32 = INT32_MAX, kMaxU32 = UINT32_MAX;
    EXPECT_EQ(convert(std::int8_t{}, kNear), (V{1, 44, 0, -44, 112, -1, 0, 5, 44, -44, 112, -2, 0, 0, 0}));
    EXPECT_EQ(convert(std::int8_t{}, kNear | kSat),
              (V{1, 127, 127, -128, 127, -1, 127, 5, 127, -128, 127, -2, 127, -128, -128}));
    EXPECT_EQ(convert(std::int16_t{}, kCeil),
              (V{2, 300, 0, -300, 4464, -1, 24064, 5, 300, -300, 4465, -2, 0, 0, 0}));
    EXPECT_EQ(convert(std::uint16_t{}, kTrunc | kU),
              (V{1, 300, 0, 65236, 4464, 65535, 24064, 5, 300, 65236, 4464, 65534, 0, 0, 0}));
    EXPECT_EQ(convert(std::uint16_t{}, kTrunc | kU | kSat),
              (V{1, 300, 65535, 0, 65535, 0, 65535, 5, 300, 0, 65535, 0, 65535, 0, 0}));
    EXPECT_EQ(convert(std::int32_t{}, kFloor),
              (V{1, 300, 0, -301, 70000, -1, -1294967296, 5, 300, -301, 70000, -3, 0, 0, 0}));
    EXPECT_EQ(convert(std::int32_t{}, kFloor | kSat),
              (V{1, 300, kMax32, -301, 70000, -1, kMax32, 5, 300, -301, 70000, -3, kMax32, kMin32, kMin32}));
    EXPECT_EQ(convert(std::uint32_t{}, kCeil | kU),
              (V{2, 300, 0, 4294966996, 70000, kMaxU32, 3000000000, 5, 300, 4294966996, 70001, 4294967294, 0, 0, 0}));
    EXPECT_EQ(convert(std::uint32_t{}, kCeil | kU | kSat),
              (V{2, 300, kMaxU32, 0, 70000, 0, 3000000000, 5, 300, 0, 70001, 0, kMaxU32, 0, 0}));
}

// Every conversion leaves the caller's SSE control register (sticky flags
// aside) and x87 control word as they were, under each rounding flag and a
// caller's rounding mode other than the default, and no MMX state behind:
// the x87 stack takes eight values afterwards.
TEST_P(Convert, ControlRegistersComeBackAndTheX87StackIsFree) {
    auto csr = [] {
        unsigned v;
        asm volatile("stmxcsr %0" : "=m"(v));
        return v;
    };
    auto controlWord = [] {
        unsigned short v;
        asm volatile("fnstcw %0" : "=m"(v));
        return v;
    };
    const unsigned savedCsr = csr();
    const unsigned short savedWord = controlWord();
    const unsigned callerCsr = (savedCsr & ~0x6000u) | 0x2000u;  // rounding down
    const unsigned short callerWord = static_cast<unsigned short>((savedWord & ~0x0C00u) | 0x0800u);  // up
    std::vector<float> f(40);
    for (std::size_t i = 0; i < f.size(); ++i) f[i] = static_cast<float>(i) * 1.75f - 30.0f;
    std::vector<std::int32_t> out(40);
    for (int size : {8, 16, 32}) {
        for (int flags : {kNear, kTrunc, kFloor, kCeil, kNear | kU | kSat, kCeil | kSat}) {
            asm volatile("ldmxcsr %0" : : "m"(callerCsr));
            asm volatile("fldcw %0" : : "m"(callerWord));
            api->qelsbFloatToInt(f.data() + 1, out.data(), 39, size, flags);
            api->qelsbIntToFloat(out.data(), f.data(), 39, size, flags & kU);
            const unsigned afterCsr = csr();
            const unsigned short afterWord = controlWord();
            asm volatile("ldmxcsr %0" : : "m"(savedCsr));
            asm volatile("fldcw %0" : : "m"(savedWord));
            EXPECT_EQ(afterCsr & ~0x3Fu, callerCsr & ~0x3Fu) << size << " " << flags;
            EXPECT_EQ(afterWord, callerWord) << size << " " << flags;
            volatile long double sum = 0;
            for (int k = 1; k <= 8; ++k) sum = sum + static_cast<long double>(k);
            EXPECT_EQ(sum, 36.0L) << size << " " << flags;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Convert, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(SharedCode, ConvertChecks, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
