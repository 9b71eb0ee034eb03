// SPDX-License-Identifier: MIT
// The generic build's conversion kernels: one loop per type and rounding
// mode for float to integer, rounding on the float's bits so the
// processor's rounding mode is never touched; one loop per type for integer
// to float through the x87 unit.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#include "kernels/generic/cvrts.h"
#include "vector/internal.h"
#include "zentavol.h"

namespace qel::generic {

namespace {

using cvrt::Rounding;

// |x| >= 2^32 rounds, in every mode, to a magnitude of at least 2^32, which
// lies outside every type (the widest range is -2^31 .. 2^32-1); such an
// element is represented by this stand-in of its sign.
constexpr std::int64_t kBeyondEveryType = std::int64_t{1} << 40;

constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr std::uint32_t kInfinityBits = 0x7F800000u;

// x rounded to an integer by mode M, exactly; the float's bit pattern must
// not be a NaN. The integer part is taken from the bits (the magnitude is
// sig * 2^exp), and the fraction decides the adjustment: toward minus or plus
// infinity add one to the magnitude when a fraction exists on that side;
// to nearest, when the fraction exceeds one half, or equals it and the
// integer part is odd (ties to even).
template <Rounding M>
std::int64_t roundedValue(std::uint32_t bits) {
    const bool negative = (bits & kSignBit) != 0;
    const int field = static_cast<int>((bits >> 23) & 0xFFu);
    if (field - 127 >= 32) return negative ? -kBeyondEveryType : kBeyondEveryType;
    std::uint64_t sig = bits & 0x007FFFFFu;
    int exp = -149;  // subnormals: no implicit bit
    if (field != 0) {
        sig |= 0x00800000u;
        exp = field - 150;
    }
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;  // in units of 2^exp
    std::uint64_t half = 0;      // one half in the same units
    if (exp >= 0) {
        whole = sig << exp;
    } else if (exp > -64) {
        const int shift = -exp;
        whole = sig >> shift;
        fraction = sig & ((std::uint64_t{1} << shift) - 1);
        half = std::uint64_t{1} << (shift - 1);
    } else {
        // Below 2^-40: a fraction far smaller than one half.
        fraction = sig;
        half = std::numeric_limits<std::uint64_t>::max();
    }
    if (fraction != 0) {
        if constexpr (M == Rounding::nearest) {
            if (fraction > half || (fraction == half && (whole & 1u) != 0)) ++whole;
        } else if constexpr (M == Rounding::floor) {
            if (negative) ++whole;
        } else if constexpr (M == Rounding::ceil) {
            if (!negative) ++whole;
        }
    }
    const auto magnitude = static_cast<std::int64_t>(whole);
    return negative ? -magnitude : magnitude;
}

template <typename T>
void store(unsigned char* dst, int i, std::int64_t value) {
    const T narrow = static_cast<T>(value);
    std::memcpy(dst + static_cast<std::size_t>(i) * sizeof(T), &narrow, sizeof(T));
}

template <typename T, Rounding M>
void floatToIntLoop(const float* src, unsigned char* dst, int len, bool saturate, bool report) {
    constexpr std::int64_t lowest = std::numeric_limits<T>::min();
    constexpr std::int64_t highest = std::numeric_limits<T>::max();
    for (int i = 0; i < len; ++i) {
        // The bits are read as an integer: no float load, no exception.
        std::uint32_t bits;
        std::memcpy(&bits, src + i, sizeof bits);
        const bool nan = (bits & ~kSignBit) > kInfinityBits;
        const std::int64_t r = nan ? kBeyondEveryType : roundedValue<M>(bits);
        if (r >= lowest && r <= highest) {
            store<T>(dst, i, r);
            continue;
        }
        const bool below = r < lowest;
        if (saturate) store<T>(dst, i, below ? lowest : highest);
        if (report) reportUnconvertibleElement(below && std::is_unsigned_v<T>);
    }
}

template <typename T>
float toFloat(const unsigned char* src, int i) {
    T value;
    std::memcpy(&value, src + static_cast<std::size_t>(i) * sizeof(T), sizeof(T));
    // Every type fits a 64-bit integer (unsigned 32-bit values zero-extended,
    // never read as signed); the x87 unit loads it exactly and the store
    // rounds once, by the current rounding mode. This file is compiled with
    // -frounding-math (its row's DYNAMIC_ROUNDING): otherwise the compiler,
    // seeing a zero-extended value, may use its own unsigned sequence, exact
    // only when rounding to nearest.
    return static_cast<float>(static_cast<long double>(static_cast<std::int64_t>(value)));
}

}  // namespace

template <typename T, bool Saturate, bool Report>
void floatToInt(const float* src, unsigned char* dst, int len, cvrt::Rounding mode) {
    switch (mode) {
        case Rounding::nearest: return floatToIntLoop<T, Rounding::nearest>(src, dst, len, Saturate, Report);
        case Rounding::truncate: return floatToIntLoop<T, Rounding::truncate>(src, dst, len, Saturate, Report);
        case Rounding::floor: return floatToIntLoop<T, Rounding::floor>(src, dst, len, Saturate, Report);
        case Rounding::ceil: return floatToIntLoop<T, Rounding::ceil>(src, dst, len, Saturate, Report);
    }
}

template <typename T>
void intToFloat(const unsigned char* src, float* dst, int len) {
    int i = 0;
    for (; len - i >= 2; i += 2) {
        dst[i] = toFloat<T>(src, i);
        dst[i + 1] = toFloat<T>(src, i + 1);
    }
    if (i < len) dst[i] = toFloat<T>(src, i);
}

QEL_CONVERSION_KERNELS(void)

}  // namespace qel::generic
