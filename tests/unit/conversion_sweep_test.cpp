// SPDX-License-Identifier: MIT
// Float-to-integer conversion of a dense stratified sample of all 2^32 float
// bit patterns, for every width, signedness and rounding mode, against an
// exact reference written here with the C library's rounding functions on
// doubles; saturation, untouched elements and one report per out-of-range
// element (counted by a handler that records each text in order). Integer to
// float: every 8- and 16-bit value, and 32-bit samples, under each rounding
// mode, against a reference rounded on the integer's bits. The processor's
// rounding mode is left as found, and the results of float to integer do not
// depend on it. Where a 64-bit library has accelerated conversions, they
// are held to the reference path's bytes and reports, for every flag, on the
// sweep and on short vectors at every offset.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <xmmintrin.h>

#include "runtime/context.h"
#include "runtime/diagnostics.h"
#include "runtime/status.h"
#include "tests/support/float_bits.h"
#include "tests/support/variant_traits.h"
#include "tests/support/unit_build.h"
#include "vector/wide_paths.h"
#include "zentavol.h"

namespace {

using zv::unit::build;

const zv::test::VariantTraits& traits() { return zv::test::traitsOfLibrary(build().libraryName); }

using zv::test::bitsOf;

struct IntType {
    int size;
    bool isUnsigned;
    std::int64_t lowest, highest;
};

constexpr IntType kTypes[] = {
    {8, false, -128, 127},       {8, true, 0, 255},       {16, false, -32768, 32767},
    {16, true, 0, 65535},        {32, false, -2147483648LL, 2147483647LL},
    {32, true, 0, 4294967295LL},
};

struct RoundingMode {
    int flag;
    const char* name;
};
constexpr RoundingMode kModes[] = {
    {QEL_CVT_NEAREST, "Nearest"}, {QEL_CVT_TRUNCATE, "Truncate"}, {QEL_CVT_FLOOR, "Floor"}, {QEL_CVT_CEIL, "Ceil"}};

// The sample: every pattern within a few units of each integer and half
// integer up to beyond the 16-bit ranges, wide neighbourhoods of zero, one
// half, one and of the 32-bit thresholds 2^31 and 2^32 (both signs), the
// neighbourhoods of each 8- and 16-bit range bound, subnormals, infinities
// and NaNs, and a strided sweep of the whole space. About 4.6 million
// floats: the sample is made once per process, and the sweep below keeps no
// array of the same length beside the outputs, as the page faults of such
// arrays (under the sanitizers and under Wine) cost more than the checks.
const std::vector<float>& sampleFloats() {
    static const std::vector<float> floats = [] {
        std::vector<std::uint32_t> p;
        p.reserve(4'700'000);
        auto around = [&p](float centre, std::uint32_t units) {
            for (float c : {centre, -centre}) {
                const std::uint32_t b = bitsOf(c);
                for (std::uint32_t d = 0; d <= units; ++d) {
                    p.push_back(b + d);
                    p.push_back(b - d);
                }
            }
        };
        for (int k = 0; k <= 2 * 70000; ++k) around(static_cast<float>(k) / 2.0f, 2);
        for (float c : {0.0f, 0.5f, 1.0f, 1.5f, 2147483648.0f, 4294967296.0f}) around(c, 65536);
        for (const IntType& t : kTypes) {
            if (t.size == 32) continue;
            for (double bound : {t.lowest - 1.0, t.lowest - 0.5, static_cast<double>(t.lowest),
                                 static_cast<double>(t.highest), t.highest + 0.5, t.highest + 1.0})
                around(static_cast<float>(bound), 1024);
        }
        for (std::uint32_t b = 0; b < 0x00800000u; b += 97) {
            p.push_back(b);
            p.push_back(b | 0x80000000u);
        }
        for (std::uint32_t b = 0x7F800000u; b < 0x80000000u; b += 1021) {
            p.push_back(b);
            p.push_back(b | 0x80000000u);
        }
        for (std::uint32_t b : {0x7F800000u, 0xFF800000u, 0x7FC00000u, 0xFFC00000u, 0x7F800001u,
                                0xFF800001u, 0x7FFFFFFFu, 0xFFFFFFFFu})
            p.push_back(b);
        for (std::uint64_t b = 0; b <= 0xFFFFFFFFu; b += 4093) p.push_back(static_cast<std::uint32_t>(b));
        std::vector<float> f(p.size());
        std::memcpy(f.data(), p.data(), p.size() * sizeof(float));
        return f;
    }();
    return floats;
}

enum class Class { Below, In, Above };

struct Expected {
    Class cls;
    std::int64_t value;  // when In
    double rounded;      // x rounded by the mode, in every class (NaN for a NaN)
};

// Exact: a float is exact as a double, the library's trunc, floor, ceil and
// nearbyint (under round-to-nearest, ties to even) are exact on doubles, and
// every bound is exact as a double.
Expected reference(float x, int modeFlag, const IntType& t) {
    if (std::isnan(x)) return {Class::Above, 0, x};
    const double d = x;
    double r = 0;
    switch (modeFlag) {
        case QEL_CVT_NEAREST: r = std::nearbyint(d); break;
        case QEL_CVT_TRUNCATE: r = std::trunc(d); break;
        case QEL_CVT_FLOOR: r = std::floor(d); break;
        default: r = std::ceil(d); break;
    }
    if (r < static_cast<double>(t.lowest)) return {Class::Below, 0, r};
    if (r > static_cast<double>(t.highest)) return {Class::Above, 0, r};
    return {Class::In, static_cast<std::int64_t>(r), r};
}

// The low-order bits of the x87 unit's 64-bit integer store of a rounded
// value, read as the type: the integer indefinite (low bits 0) stands for a
// NaN, an infinity and every magnitude from 2^63.
std::int64_t lowBitsOfIntegerStore(double rounded, const IntType& t) {
    constexpr double k2p63 = 9223372036854775808.0;
    const std::uint64_t stored = std::isnan(rounded) || std::fabs(rounded) >= k2p63
                                     ? 0
                                     : static_cast<std::uint64_t>(static_cast<std::int64_t>(rounded));
    const std::uint64_t low = stored & ((std::uint64_t{1} << t.size) - 1);
    const std::uint64_t top = std::uint64_t{1} << (t.size - 1);
    return !t.isUnsigned && (low & top) ? static_cast<std::int64_t>(low) - (std::int64_t{1} << t.size)
                                        : static_cast<std::int64_t>(low);
}

std::int64_t readElement(const std::vector<unsigned char>& bytes, std::size_t i, const IntType& t) {
    const unsigned char* p = bytes.data() + i * static_cast<std::size_t>(t.size / 8);
    switch (t.size) {
        case 8: return t.isUnsigned ? std::int64_t{*p} : std::int64_t{static_cast<std::int8_t>(*p)};
        case 16: {
            std::uint16_t v;
            std::memcpy(&v, p, 2);
            return t.isUnsigned ? std::int64_t{v} : std::int64_t{static_cast<std::int16_t>(v)};
        }
        default: {
            std::uint32_t v;
            std::memcpy(&v, p, 4);
            return t.isUnsigned ? std::int64_t{v} : std::int64_t{static_cast<std::int32_t>(v)};
        }
    }
}

// Each report as a code: 0 "A float exceeds an integer", 1 "A negative
// float cannot be converted to unsigned", 2 anything else (a wrong status,
// name, module or line).
std::vector<std::uint8_t>* reportCodes;

int recordCode(int status, const char* funcName, const char* context, const char* file, int line) {
    const bool fields = status == QEL_STATUS_BAD_ARGUMENT && std::strcmp(funcName, "qelsbFloatToInt") == 0 &&
                        std::strcmp(file, "qelcvrts") == 0 && line == build().line.qelsbFloatToIntElement;
    std::uint8_t code = 2;
    if (fields && std::strcmp(context, "A float exceeds an integer") == 0) code = 0;
    if (fields && std::strcmp(context, "A negative float cannot be converted to unsigned") == 0) code = 1;
    reportCodes->push_back(code);
    return status;
}

// The accelerated kernels each path of this machine can take: the SSE2
// ones, and the AVX2 ones where the processor has them.
struct PathChoice {
    const char* name;
    bool avx2;
};
const std::vector<PathChoice>& pathChoices() {
    static const std::vector<PathChoice> all = [] {
        std::vector<PathChoice> choices{{"SSE2", false}};
        if constexpr (qel::kWidePaths)
            if (qel::wide::useAvx2(true)) choices.push_back({"AVX2", true});
        return choices;
    }();
    return all;
}

// Selects the kernels of `path` for the scope; the reference paths stay off.
struct PathScope {
    explicit PathScope(const PathChoice& path) {
        if constexpr (qel::kWidePaths) qel::wide::useAvx2(path.avx2);
    }
    ~PathScope() {
        qel::setReferencePaths(false);
        if constexpr (qel::kWidePaths) qel::wide::useAvx2(true);
    }
};

// One conversion's output bytes (from a guard pattern) and report codes.
struct Outcome {
    std::vector<unsigned char> bytes;
    std::vector<std::uint8_t> codes;
};

// Converts into `out`, whose storage serves call after call.
void convert(Outcome& out, const float* src, std::size_t n, int size, int flags, bool reference) {
    out.bytes.assign(n * static_cast<std::size_t>(size / 8) + 8, 0xA5);
    out.codes.clear();
    reportCodes = &out.codes;
    QelContext* context = qelGetContext();
    const QelErrorHandler saved = context->errorHandler;
    context->errorHandler = recordCode;
    qel::setReferencePaths(reference);
    qelsbFloatToInt(src, out.bytes.data(), static_cast<int>(n), size, flags);
    qel::setReferencePaths(false);
    context->errorHandler = saved;
    reportCodes = nullptr;
}

constexpr int kKinds[] = {0, QEL_CVT_SATURATE, QEL_CVT_REPORT, QEL_CVT_SATURATE | QEL_CVT_REPORT};

// The accelerated path's outcome, made in `fast`, against the reference
// path's, bit for bit.
::testing::AssertionResult sameOutcome(const float* src, std::size_t n, int size, int flags, const Outcome& slow,
                                       Outcome& fast) {
    convert(fast, src, n, size, flags, false);
    char flagText[16];
    std::snprintf(flagText, sizeof flagText, "0x%X", static_cast<unsigned>(flags));
    if (fast.codes != slow.codes)
        return ::testing::AssertionFailure() << "reports differ, flags " << flagText << ", size " << size << ", n "
                                             << n;
    const std::size_t width = static_cast<std::size_t>(size / 8);
    for (std::size_t i = 0; i < fast.bytes.size(); ++i) {
        if (fast.bytes[i] == slow.bytes[i]) continue;
        const std::size_t element = i / width;
        char valueText[16];
        std::snprintf(valueText, sizeof valueText, "0x%08X", element < n ? bitsOf(src[element]) : 0u);
        return ::testing::AssertionFailure() << "element " << element << " of " << n << " (" << valueText
                                             << "), flags " << flagText << ", size " << size << ": byte "
                                             << int{fast.bytes[i]} << " against the reference's "
                                             << int{slow.bytes[i]};
    }
    return ::testing::AssertionSuccess();
}

struct SweepCase {
    IntType type;
    RoundingMode mode;
};

std::vector<SweepCase> sweepCases() {
    std::vector<SweepCase> all;
    for (const IntType& t : kTypes)
        for (const RoundingMode& m : kModes) all.push_back({t, m});
    return all;
}

class FloatToIntSweep : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FloatToIntSweep, MatchesTheExactReference) {
    const IntType& t = GetParam().type;
    const int mode = GetParam().mode.flag;
    const int flags = mode | (t.isUnsigned ? QEL_CVT_UNSIGNED : 0);
    const std::vector<float>& src = sampleFloats();
    const std::size_t n = src.size();

    ASSERT_EQ(std::fegetround(), FE_TONEAREST);
    const std::size_t width = static_cast<std::size_t>(t.size / 8);
    constexpr unsigned char kGuard = 0xA5;
    std::vector<std::uint8_t> codes;
    reportCodes = &codes;
    QelContext* context = qelGetContext();
    const QelErrorHandler saved = context->errorHandler;
    context->errorHandler = recordCode;

    // Saturating and reporting, under the default rounding mode.
    std::vector<unsigned char> saturated(n * width, kGuard);
    qelsbFloatToInt(src.data(), saturated.data(), static_cast<int>(n), t.size,
                    flags | QEL_CVT_SATURATE | QEL_CVT_REPORT);
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);

    // Plain, under another rounding mode of the processor: the result must
    // not depend on it, and it must be left as it was.
    static const int kOtherModes[] = {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    const int other = kOtherModes[(t.size + mode) % 3];
    std::vector<unsigned char> plain(n * width, kGuard);
    std::fesetround(other);
    qelsbFloatToInt(src.data(), plain.data(), static_cast<int>(n), t.size, flags);
    const int after = std::fegetround();
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(after, other);
    context->errorHandler = saved;
    reportCodes = nullptr;

    std::int64_t guardValue = 0;
    {
        std::vector<unsigned char> guard(width, kGuard);
        guardValue = readElement(guard, 0, t);
    }
    // Builds that write out-of-range elements anyway write their own values
    // there; they saturate NaNs their own way too. Those that write the low
    // bits of the x87 integer store are held to them, and clamp a NaN by its
    // sign.
    const bool generic = traits().elementReports;
    const bool lowBits = traits().lowBitConversions;
    std::vector<std::uint8_t> wantCodes;
    int wrong = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const Expected e = reference(src[i], mode, t);
        if (e.cls != Class::In) wantCodes.push_back(t.isUnsigned && e.cls == Class::Below ? 1 : 0);
        const bool negative = std::signbit(src[i]);
        std::int64_t wantSaturated = e.cls == Class::In ? e.value : e.cls == Class::Below ? t.lowest : t.highest;
        if (lowBits && std::isnan(src[i])) wantSaturated = negative ? t.lowest : t.highest;
        std::int64_t wantPlain = e.cls == Class::In ? e.value : guardValue;
        if (lowBits && e.cls != Class::In) wantPlain = lowBitsOfIntegerStore(e.rounded, t);
        const std::int64_t gotSaturated = readElement(saturated, i, t);
        const std::int64_t gotPlain = readElement(plain, i, t);
        const bool saturatedRight = gotSaturated == wantSaturated ||
                                    (!generic && !lowBits && std::isnan(src[i]) &&
                                     (gotSaturated == t.lowest || gotSaturated == t.highest));
        const bool plainRight = gotPlain == wantPlain || (!generic && !lowBits && e.cls != Class::In);
        if ((!saturatedRight || !plainRight) && ++wrong <= 10)
            ADD_FAILURE() << std::hexfloat << src[i] << " (0x" << std::hex << bitsOf(src[i]) << std::dec
                          << "): saturated " << gotSaturated << " want " << wantSaturated << ", plain " << gotPlain
                          << " want " << wantPlain;
    }
    // One report per out-of-range element, in order, with the right text,
    // and none without the report flag; or one report for the call, "A float
    // exceeds an integer" whatever the elements.
    if (!generic && !wantCodes.empty()) wantCodes.assign(1, 0);
    EXPECT_EQ(codes.size(), wantCodes.size());
    EXPECT_TRUE(codes == wantCodes) << "report texts differ from the expected sequence";

    // Builds that write out-of-range elements their own way have kernels of
    // their own in the 64-bit libraries: every byte, out-of-range ones
    // included, and the reports as the reference path's, for each kernel.
    if (qel::kWidePaths && !generic && !lowBits) {
        // The kernels with one of the two flags alone: on the short vectors below.
        Outcome slow, fast;
        for (int extra : {0, QEL_CVT_SATURATE | QEL_CVT_REPORT}) {
            convert(slow, src.data(), n, t.size, flags | extra, true);
            for (const PathChoice& path : pathChoices()) {
                const PathScope scope(path);
                EXPECT_TRUE(sameOutcome(src.data(), n, t.size, flags | extra, slow, fast)) << path.name;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypesAndModes, FloatToIntSweep, ::testing::ValuesIn(sweepCases()),
                         [](const auto& info) {
                             const IntType& t = info.param.type;
                             return std::string(t.isUnsigned ? "U" : "S") + std::to_string(t.size) +
                                    info.param.mode.name;
                         });

constexpr int kRoundingModes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};

// The float of v rounded once by the processor mode `mode`, built from the
// integer's bits: no conversion of the compiler's takes part, so the
// reference is the same whatever code a compiler makes of one (a compiler's
// unsigned sequence may subtract and add a power of two, which under
// rounding toward minus infinity turns 0 into -0).
std::uint32_t roundedFloatBits(std::int64_t v, int mode) {
    if (v == 0) return 0;  // +0 in every mode
    const bool negative = v < 0;
    const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    int shift = std::max(0, 63 - std::countl_zero(m) - 23);  // m = sig * 2^shift + rest
    std::uint64_t sig = m >> shift;
    const std::uint64_t rest = m - (sig << shift);
    const std::uint64_t half = shift > 0 ? std::uint64_t{1} << (shift - 1) : 1;
    bool up = false;
    switch (mode) {
        case FE_TONEAREST: up = rest > half || (rest == half && (sig & 1u) != 0); break;
        case FE_UPWARD: up = rest != 0 && !negative; break;
        case FE_DOWNWARD: up = rest != 0 && negative; break;
        default: break;
    }
    if (up && ++sig == std::uint64_t{1} << 24) {
        sig >>= 1;
        ++shift;
    }
    const int top = 63 - std::countl_zero(sig);  // sig < 2^24
    const auto exponent = static_cast<std::uint32_t>(127 + top + shift);
    const auto fraction = static_cast<std::uint32_t>((sig << (23 - top)) & 0x007FFFFFu);
    return (negative ? 0x80000000u : 0u) | exponent << 23 | fraction;
}

// The integers read as the selected type, converted under the current
// rounding mode `mode`.
// Builds that convert unsigned 32-bit values as their low 31 bits plus 2^31
// round twice from 2^31 on.
std::uint32_t expectedFloatBits(std::int64_t v, int size, int flags, int mode) {
    if (!traits().twiceRoundedUnsigned || size != 32 || flags != QEL_CVT_UNSIGNED || v < (std::int64_t{1} << 31))
        return roundedFloatBits(v, mode);
    const float low = std::bit_cast<float>(roundedFloatBits(v - (std::int64_t{1} << 31), mode));
    return roundedFloatBits(static_cast<std::int64_t>(low) + (std::int64_t{1} << 31), mode);
}

template <typename T>
void expectIntToFloat(const std::vector<T>& values, int size, int flags, int mode) {
    std::vector<float> got(values.size() + 1, -3.0f);
    qelsbIntToFloat(values.data(), got.data(), static_cast<int>(values.size()), size, flags);
    int wrong = 0;
    for (std::size_t i = 0; i < values.size() && wrong < 10; ++i) {
        const std::uint32_t want = expectedFloatBits(static_cast<std::int64_t>(values[i]), size, flags, mode);
        if (bitsOf(got[i]) != want) {
            ++wrong;
            ADD_FAILURE() << "size " << size << " flags " << flags << " value " << +values[i] << ": got "
                          << std::hexfloat << got[i] << " want " << std::bit_cast<float>(want);
        }
    }
    EXPECT_EQ(bitsOf(got.back()), bitsOf(-3.0f));
}

// Sets the processor's rounding mode for the scope, and checks that the
// library left it so.
struct RoundingScope {
    int mode;
    explicit RoundingScope(int m) : mode(m) { std::fesetround(m); }
    ~RoundingScope() {
        const int after = std::fegetround();
        std::fesetround(FE_TONEAREST);
        EXPECT_EQ(after, mode);
    }
};

TEST(IntToFloatSweep, TheReferenceRoundsByHand) {
    // 2^24 + 1 and 2^24 + 3 are ties (to even: down, then up); 2^32 - 1 lies
    // one below 2^32 and 255 above the float under it; 2^31 - 1 one below
    // 2^31 and 127 above the float under it.
    struct Case {
        std::int64_t v;
        float nearest, up, down, zero;
    };
    const Case cases[] = {
        {0, 0.0f, 0.0f, 0.0f, 0.0f},
        {16777217, 16777216.0f, 16777218.0f, 16777216.0f, 16777216.0f},
        {16777219, 16777220.0f, 16777220.0f, 16777218.0f, 16777218.0f},
        {-16777219, -16777220.0f, -16777218.0f, -16777220.0f, -16777218.0f},
        {4294967295LL, 4294967296.0f, 4294967296.0f, 4294967040.0f, 4294967040.0f},
        {-2147483648LL, -2147483648.0f, -2147483648.0f, -2147483648.0f, -2147483648.0f},
        {-2147483647LL, -2147483648.0f, -2147483520.0f, -2147483648.0f, -2147483520.0f},
        {-1, -1.0f, -1.0f, -1.0f, -1.0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(roundedFloatBits(c.v, FE_TONEAREST), bitsOf(c.nearest)) << c.v;
        EXPECT_EQ(roundedFloatBits(c.v, FE_UPWARD), bitsOf(c.up)) << c.v;
        EXPECT_EQ(roundedFloatBits(c.v, FE_DOWNWARD), bitsOf(c.down)) << c.v;
        EXPECT_EQ(roundedFloatBits(c.v, FE_TOWARDZERO), bitsOf(c.zero)) << c.v;
    }
}

TEST(IntToFloatSweep, Every8And16BitValueUnderEveryRoundingMode) {
    std::vector<std::int8_t> s8;
    std::vector<std::uint8_t> u8;
    for (int v = 0; v < 256; ++v) {
        s8.push_back(static_cast<std::int8_t>(v));
        u8.push_back(static_cast<std::uint8_t>(v));
    }
    std::vector<std::int16_t> s16;
    std::vector<std::uint16_t> u16;
    for (int v = 0; v < 65536; ++v) {
        s16.push_back(static_cast<std::int16_t>(v));
        u16.push_back(static_cast<std::uint16_t>(v));
    }
    for (int mode : kRoundingModes) {
        SCOPED_TRACE(mode);
        RoundingScope scope(mode);
        expectIntToFloat(s8, 8, 0, mode);
        expectIntToFloat(u8, 8, QEL_CVT_UNSIGNED, mode);
        expectIntToFloat(s16, 16, 0, mode);
        expectIntToFloat(u16, 16, QEL_CVT_UNSIGNED, mode);
    }
}

TEST(IntToFloatSweep, ThirtyTwoBitValuesUnderEveryRoundingMode) {
    std::vector<std::uint32_t> bits;
    for (std::uint64_t b = 0; b <= 0xFFFFFFFFu; b += 65521) bits.push_back(static_cast<std::uint32_t>(b));
    for (std::uint32_t centre : {0u, 1u << 24, 1u << 25, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        for (std::uint32_t d = 0; d < 300; ++d) {
            bits.push_back(centre + d);
            bits.push_back(centre - d);
        }
    std::vector<std::int32_t> signedValues(bits.size());
    std::memcpy(signedValues.data(), bits.data(), bits.size() * 4);
    for (int mode : kRoundingModes) {
        SCOPED_TRACE(mode);
        RoundingScope scope(mode);
        expectIntToFloat(signedValues, 32, 0, mode);
        expectIntToFloat(bits, 32, QEL_CVT_UNSIGNED, mode);
    }
}

// Short vectors of every length up to 70 and lengths around the 8- and
// 16-element steps, from sources at every 4-byte offset of a 32-byte line
// (the leading single elements run up to a 32-byte aligned source), with
// infinities, NaNs of both signs (quiet and signalling), zeros of both
// signs, subnormals, huge values, values around each type's bounds, halves
// and random patterns; every type, rounding mode, saturate and report flag,
// both the accelerated kernels and the reference path.
class ConversionPaths : public ::testing::Test {
protected:
    void SetUp() override {
        if (!qel::kWidePaths || traits().elementReports || traits().lowBitConversions)
            GTEST_SKIP() << "no accelerated conversions in this build";
    }
};

std::vector<std::size_t> pathLengths() {
    std::vector<std::size_t> all;
    for (std::size_t n = 0; n <= 70; ++n) all.push_back(n);
    for (std::size_t n : {127u, 128u, 129u, 255u, 256u, 257u, 1031u}) all.push_back(n);
    return all;
}
constexpr std::size_t kOffsets[] = {0, 1, 2, 3, 5, 7};  // floats past a 32-byte boundary

std::vector<float> edgeValues(std::size_t n, std::uint32_t seed) {
    static const std::uint32_t kSpecial[] = {
        0x00000000u, 0x80000000u, 0x7F800000u, 0xFF800000u, 0x7FC00000u, 0xFFC00000u, 0x7F800001u,
        0xFF800001u, 0x7FA00000u, 0x00000001u, 0x80000001u, 0x007FFFFFu, 0x807FFFFFu, 0x7F7FFFFFu,
        0xFF7FFFFFu, 0x4F000000u, 0xCF000000u, 0x4EFFFFFFu, 0xCF000001u, 0x4F7FFFFFu, 0x4F800000u,
        0x3F000000u, 0xBF000000u, 0x3EFFFFFFu, 0xBF000001u};
    static const float kBounds[] = {-32768.0f, 32767.0f, 65535.0f, -128.0f, 127.0f, 255.0f, 0.0f, 1.0f};
    std::mt19937 rng(seed);
    std::vector<float> v(n);
    for (float& x : v) {
        const std::uint32_t r = rng();
        switch (r % 4) {
            case 0: x = std::bit_cast<float>(kSpecial[(r >> 8) % std::size(kSpecial)]); break;
            case 1: x = std::bit_cast<float>(static_cast<std::uint32_t>(rng())); break;
            case 2: {  // within a few units of a bound or a half beside it
                const float b = kBounds[(r >> 8) % std::size(kBounds)] + 0.5f * static_cast<float>((r >> 12) % 5) - 1.0f;
                x = std::bit_cast<float>(std::bit_cast<std::uint32_t>(b) + ((r >> 16) % 5) - 2);
                break;
            }
            default: x = static_cast<float>(static_cast<int>(rng() % 140001) - 70000) / 2.0f; break;
        }
    }
    return v;
}

TEST_F(ConversionPaths, FloatToIntEveryLengthOffsetTypeModeAndFlag) {
    const std::vector<float> values = edgeValues(1100, 7);
    alignas(32) float line[1100 + 8];
    Outcome slow, fast;
    for (const PathChoice& path : pathChoices()) {
        const PathScope scope(path);
        for (const IntType& t : kTypes) {
            for (const RoundingMode& m : kModes) {
                for (int extra : kKinds) {
                    const int flags = m.flag | extra | (t.isUnsigned ? QEL_CVT_UNSIGNED : 0);
                    for (std::size_t offset : kOffsets) {
                        for (std::size_t n : pathLengths()) {
                            float* src = line + offset;
                            std::copy_n(values.begin() + static_cast<long>(n % 37), n, src);
                            convert(slow, src, n, t.size, flags, true);
                            ASSERT_TRUE(sameOutcome(src, n, t.size, flags, slow, fast))
                                << path.name << ", offset " << offset;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(ConversionPaths, FloatToIntUnderCallerModesTheyDoNotDependOn) {
    // Every rounding field of the caller, whether it holds the flags' mode
    // or not, leaves the accelerated kernels in use and their results alone;
    // unmasked exceptions, flush to zero and denormals as zero send the call
    // to the reference path.
    const std::vector<float> values = edgeValues(300, 11);
    const unsigned saved = _mm_getcsr();
    Outcome slow, fast;
    for (unsigned csr : {0x1F80u, 0x3F80u, 0x5F80u, 0x7F80u, 0x9F80u, 0x1FC0u, 0x1E80u}) {
        for (const IntType& t : kTypes) {
            for (const RoundingMode& m : kModes) {
                for (int extra : kKinds) {
                    const int flags = m.flag | extra | (t.isUnsigned ? QEL_CVT_UNSIGNED : 0);
                    _mm_setcsr(csr);
                    convert(slow, values.data(), values.size(), t.size, flags, true);
                    convert(fast, values.data(), values.size(), t.size, flags, false);
                    // The exception flags included: the reference path restores
                    // the whole register, so the caller sees none raised.
                    const unsigned after = _mm_getcsr();
                    _mm_setcsr(saved);
                    EXPECT_EQ(after, csr) << "control register changed";
                    EXPECT_TRUE(fast.bytes == slow.bytes && fast.codes == slow.codes)
                        << "control register " << csr << ", size " << t.size << ", mode " << m.name;
                }
            }
        }
    }
}

TEST_F(ConversionPaths, IntToFloatEveryLengthOffsetTypeAndRoundingMode) {
    std::mt19937 rng(5);
    std::vector<std::uint32_t> words(1100 * 4 / 4 + 16);
    for (std::uint32_t& w : words) {
        // Many values near the 2^24 and 2^31 steps, where the roundings act.
        const std::uint32_t r = rng();
        w = r % 3 == 0 ? r : (r % 3 == 1 ? 0x80000000u : 0x01000000u) + (rng() % 512) - 256 + (r & 0x80000000u);
    }
    alignas(32) unsigned char line[1100 * 4 + 64];
    for (const PathChoice& path : pathChoices()) {
        const PathScope scope(path);
        for (const IntType& t : kTypes) {
            for (int mode : kRoundingModes) {
                for (std::size_t offset : kOffsets) {
                    for (std::size_t n : pathLengths()) {
                        if (n == 0) continue;  // reported, and so the end of the process
                        unsigned char* src = line + offset * static_cast<std::size_t>(t.size / 8);
                        std::memcpy(src, words.data(), n * static_cast<std::size_t>(t.size / 8));
                        const int flags = t.isUnsigned ? QEL_CVT_UNSIGNED : 0;
                        std::vector<float> slow(n + 1, -3.0f);
                        std::vector<float> fast(n + 1, -3.0f);
                        std::fesetround(mode);
                        qel::setReferencePaths(true);
                        qelsbIntToFloat(src, slow.data(), static_cast<int>(n), t.size, flags);
                        qel::setReferencePaths(false);
                        qelsbIntToFloat(src, fast.data(), static_cast<int>(n), t.size, flags);
                        std::fesetround(FE_TONEAREST);
                        ASSERT_EQ(std::memcmp(fast.data(), slow.data(), (n + 1) * sizeof(float)), 0)
                            << path.name << ", size " << t.size << (t.isUnsigned ? "u" : "s") << ", mode " << mode
                            << ", n " << n << ", offset " << offset;
                    }
                }
            }
        }
    }
}

}  // namespace
