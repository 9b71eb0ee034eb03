// SPDX-License-Identifier: MIT
// The x87 builds' conversions: float to integer under the x87 rounding mode
// set for the call, 8 and 16 bits through the magic-constant sum, 32 bits and
// the tails through the 64-bit integer store; integer to float through the
// x87 integer loads.
#include "kernels/x87/cvrts_x87.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "platform/fp_env.h"
#include "vector/internal.h"
#include "zentavol.h"

namespace qel::x87 {

namespace {

using cvrt::Rounding;

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kMagnitude = 0x7FFFFFFFu;
// 12582912.0 = 1.5 * 2^23: a sum with it of magnitude below 2^21 lies in
// [2^23, 2^24), where the floats are the integers, and its mantissa field
// holds 2^22 + the rounded magnitude.
constexpr std::uint32_t kMagicBits = 0x4B400000u;
constexpr std::uint32_t kMagicRange = 0x4A000000u;  // 2^21

// The control word of a call: every exception masked, 64-bit precision and
// the flag's rounding, the rest as the caller had it; the exception flags are
// cleared before the word is set and again before the caller's comes back.
constexpr std::uint16_t kCallFields = fp::kX87PrecisionField | fp::kX87RoundingField;
constexpr std::uint16_t kCallWord = fp::kX87ExceptionMasks | fp::kX87Bit6 | fp::kX87Precision64;

std::uint16_t controlCode(Rounding mode) {
    switch (mode) {
        case Rounding::truncate: return kCallWord | fp::kX87RoundTowardZero;
        case Rounding::floor: return kCallWord | fp::kX87RoundDown;
        case Rounding::ceil: return kCallWord | fp::kX87RoundUp;
        case Rounding::nearest: break;
    }
    return kCallWord | fp::kX87RoundNearest;
}

// The floats that round into the type under the mode: up to highBits when
// positive, up to lowMagnitude in magnitude when negative (sign bit set).
// Compared as bit patterns, so a NaN lies beyond on the side of its sign.
struct Bounds {
    std::uint32_t highBits;
    std::uint32_t lowMagnitude;
};

std::uint32_t floatBits(double exactValue) { return std::bit_cast<std::uint32_t>(static_cast<float>(exactValue)); }

template <typename T>
Bounds boundsFor(Rounding mode) {
    // Every minimum is even (or zero) and every maximum odd, and for 8 and
    // 16 bits every bound +-0.5 or +-1 is a float: the bound of the side
    // that rounds out is the float next to it.
    constexpr double lowest = 0.0 - std::numeric_limits<T>::min();  // as a magnitude, +0 unsigned
    constexpr double highest = std::numeric_limits<T>::max();
    Bounds b{};
    if (mode == Rounding::nearest) {
        b = {floatBits(highest + 0.5) - 1, floatBits(lowest + 0.5)};
    } else if (mode == Rounding::truncate) {
        b = {floatBits(highest + 1.0) - 1, floatBits(lowest + 1.0) - 1};
    } else if (mode == Rounding::floor) {
        b = {floatBits(highest + 1.0) - 1, floatBits(lowest)};
    } else {
        b = {floatBits(highest), floatBits(lowest + 1.0) - 1};
    }
    if constexpr (sizeof(T) == 4) {
        // The floats around 2^31 and 2^32 are integers: the largest below
        // the limit in every mode, and -2^31 itself.
        b.highBits = std::is_signed_v<T> ? 0x4EFFFFFFu : 0x4F7FFFFFu;
        if constexpr (std::is_signed_v<T>) b.lowMagnitude = 0x4F000000u;
    }
    return b;
}

bool beyond(std::uint32_t bits, const Bounds& b) {
    const std::uint32_t negative = 0u - (bits >> 31);
    const std::uint32_t limit = b.highBits ^ ((b.highBits ^ b.lowMagnitude) & negative);
    return (bits & kMagnitude) > limit;
}

// Four floats plus their signed magic constants, each sum rounded to 64 bits
// (exact from a magnitude of 2^-17 on; below it the sum cannot reach a half)
// and stored as a float under the mode. The constant takes the input's sign
// so that the sum's magnitude is the input's plus 1.5 * 2^23: the store then
// rounds the input itself, toward zero included.
void addMagicFour(const float* src, const std::uint32_t* magic, std::uint32_t* sums) {
    asm volatile(
        "flds (%1)\n\t"
        "fadds (%2)\n\t"
        "flds 4(%1)\n\t"
        "fadds 4(%2)\n\t"
        "flds 8(%1)\n\t"
        "fadds 8(%2)\n\t"
        "flds 12(%1)\n\t"
        "fadds 12(%2)\n\t"
        "fstps 12(%0)\n\t"
        "fstps 8(%0)\n\t"
        "fstps 4(%0)\n\t"
        "fstps (%0)"
        :
        : "r"(sums), "r"(src), "r"(magic)
        : "memory", "st", "st(1)", "st(2)", "st(3)");
}

// The integer of a magic sum: its mantissa field less 2^22, negated when
// the sum (and so the input) is negative.
std::uint32_t magicValue(std::uint32_t sum) {
    const std::uint32_t magnitude = (sum & 0x007FFFFFu) - 0x00400000u;
    const std::uint32_t negative = 0u - (sum >> 31);
    return (magnitude ^ negative) - negative;
}

// The 64-bit integer stores under the mode: the rounded value whenever it
// fits, the integer indefinite 0x8000000000000000 for a NaN, an infinity or
// a magnitude from 2^63.
void integerStoreFour(const float* src, std::int64_t* out) {
    asm volatile(
        "flds (%1)\n\t"
        "flds 4(%1)\n\t"
        "flds 8(%1)\n\t"
        "flds 12(%1)\n\t"
        "fistpll 24(%0)\n\t"
        "fistpll 16(%0)\n\t"
        "fistpll 8(%0)\n\t"
        "fistpll (%0)"
        :
        : "r"(out), "r"(src)
        : "memory", "st", "st(1)", "st(2)", "st(3)");
}

void integerStoreOne(const float* src, std::int64_t* out) {
    asm volatile("flds (%1)\n\tfistpll (%0)" : : "r"(out), "r"(src) : "memory", "st");
}

template <typename T>
void storeLow(unsigned char* dst, std::size_t i, std::uint32_t value) {
    const auto narrow = static_cast<std::make_unsigned_t<T>>(value);
    std::memcpy(dst + i * sizeof(T), &narrow, sizeof(T));
}

// One element's result: the saturating kernels put the type's minimum or
// maximum, by the sign, in place of an element beyond the bounds; the
// reporting ones remember that there was one.
template <typename T, bool Saturate, bool Report>
void finish(std::uint32_t bits, std::uint32_t value, unsigned char* dst, std::size_t i, const Bounds& b,
            bool& outside) {
    if constexpr (Saturate || Report) {
        const bool out = beyond(bits, b);
        if constexpr (Report) outside = outside || out;
        if constexpr (Saturate) {
            if (out) {
                value = (bits & kSignBit) ? static_cast<std::uint32_t>(std::numeric_limits<T>::min())
                                          : static_cast<std::uint32_t>(std::numeric_limits<T>::max());
            }
        }
    }
    storeLow<T>(dst, i, value);
}

// ---- integer to float ----

// Four 32-bit integers loaded, then stored as floats by the caller's
// rounding mode: all four are read before any is written, so src may be dst.
void floatsFromWords(const void* src, float* dst) {
    asm volatile(
        "fildl (%1)\n\t"
        "fildl 4(%1)\n\t"
        "fildl 8(%1)\n\t"
        "fildl 12(%1)\n\t"
        "fstps 12(%0)\n\t"
        "fstps 8(%0)\n\t"
        "fstps 4(%0)\n\t"
        "fstps (%0)"
        :
        : "r"(dst), "r"(src)
        : "memory", "st", "st(1)", "st(2)", "st(3)");
}

void floatsFromQuads(const std::uint64_t* src, float* dst) {
    asm volatile(
        "fildll (%1)\n\t"
        "fildll 8(%1)\n\t"
        "fildll 16(%1)\n\t"
        "fildll 24(%1)\n\t"
        "fstps 12(%0)\n\t"
        "fstps 8(%0)\n\t"
        "fstps 4(%0)\n\t"
        "fstps (%0)"
        :
        : "r"(dst), "r"(src)
        : "memory", "st", "st(1)", "st(2)", "st(3)");
}

void floatFromWord(const void* src, float* dst) {
    asm volatile("fildl (%1)\n\tfstps (%0)" : : "r"(dst), "r"(src) : "memory", "st");
}

void floatFromQuad(const std::uint64_t* src, float* dst) {
    asm volatile("fildll (%1)\n\tfstps (%0)" : : "r"(dst), "r"(src) : "memory", "st");
}

// 8- and 16-bit integers are widened to 32 bits in the destination, where
// the x87 unit loads them; unsigned 32-bit ones to 64 bits in a local block
// (the destination has room for half of them), never read as signed.
}  // namespace

template <typename T, bool Saturate, bool Report>
void floatToInt(const float* src, unsigned char* dst, int len, Rounding mode) {
    const Bounds bounds = boundsFor<T>(mode);
    const auto count = static_cast<std::size_t>(len);
    bool outside = false;
    {
        const fp::X87Scope control(kCallFields, controlCode(mode), fp::X87Flags::clear);
        std::size_t i = 0;
        for (; count - i >= 4; i += 4) {
            std::uint32_t bits[4];
            std::memcpy(bits, src + i, sizeof bits);
            std::uint32_t values[4];
            bool magic = sizeof(T) < 4;
            if constexpr (sizeof(T) < 4 && !Saturate) {
                // Beyond the magic range (NaNs and infinities included) the
                // sum's bits are not the integer: such a step goes through
                // the integer stores. Saturating, every such element is
                // clamped anyway.
                for (std::uint32_t b : bits) magic = magic && (b & kMagnitude) < kMagicRange;
            }
            if (magic) {
                std::uint32_t constants[4];
                std::uint32_t sums[4];
                for (int k = 0; k < 4; ++k) constants[k] = kMagicBits | (bits[k] & kSignBit);
                addMagicFour(src + i, constants, sums);
                for (int k = 0; k < 4; ++k) values[k] = magicValue(sums[k]);
            } else {
                std::int64_t wide[4];
                integerStoreFour(src + i, wide);
                for (int k = 0; k < 4; ++k) values[k] = static_cast<std::uint32_t>(wide[k]);
            }
            for (int k = 0; k < 4; ++k)
                finish<T, Saturate, Report>(bits[k], values[k], dst, i + static_cast<std::size_t>(k), bounds, outside);
        }
        for (; i < count; ++i) {
            std::uint32_t bits;
            std::memcpy(&bits, src + i, sizeof bits);
            std::int64_t wide;
            integerStoreOne(src + i, &wide);
            finish<T, Saturate, Report>(bits, static_cast<std::uint32_t>(wide), dst, i, bounds, outside);
        }
    }
    // One report for the call, after every element is written and the
    // caller's control word is back.
    if (outside) reportUnconvertibleElement(false);
}

template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len) {
    const auto count = static_cast<std::size_t>(len);
    std::size_t i = 0;
    for (; count - i >= 4; i += 4) {
        const unsigned char* p = src + i * sizeof(T);
        if constexpr (std::is_same_v<T, std::uint32_t>) {
            std::uint32_t v[4];
            std::memcpy(v, p, sizeof v);
            const std::uint64_t wide[4] = {v[0], v[1], v[2], v[3]};
            floatsFromQuads(wide, dst + i);
        } else if constexpr (sizeof(T) == 4) {
            floatsFromWords(p, dst + i);
        } else {
            T v[4];
            std::memcpy(v, p, sizeof v);
            const std::int32_t wide[4] = {v[0], v[1], v[2], v[3]};
            std::memcpy(dst + i, wide, sizeof wide);
            floatsFromWords(dst + i, dst + i);
        }
    }
    for (; i < count; ++i) {
        const unsigned char* p = src + i * sizeof(T);
        if constexpr (std::is_same_v<T, std::uint32_t>) {
            std::uint32_t v;
            std::memcpy(&v, p, sizeof v);
            const std::uint64_t wide = v;
            floatFromQuad(&wide, dst + i);
        } else if constexpr (sizeof(T) == 4) {
            floatFromWord(p, dst + i);
        } else {
            T v;
            std::memcpy(&v, p, sizeof v);
            const std::int32_t wide = v;
            std::memcpy(dst + i, &wide, sizeof wide);
            floatFromWord(dst + i, dst + i);
        }
    }
}

QEL_CONVERSION_KERNELS(void)

}  // namespace qel::x87
