// SPDX-License-Identifier: MIT
// The family-5 square root behind the magnitudes, in software: the
// significand scaled into [0.5, 1), a linear first estimate refined by Heron
// steps (one division each) in extended precision, the exponent halved,
// three elements per step.
#include <cstdint>
#include <cstring>

#include "kernels/x87/vector_x87.h"

namespace qel::x87f5 {

namespace {

constexpr std::uint32_t kSign = 0x80000000u;
constexpr std::uint32_t kInfinity = 0x7F800000u;
constexpr std::uint32_t kQuiet = 0x00400000u;
constexpr std::uint32_t kFraction = 0x007FFFFFu;
constexpr std::uint32_t kHalfExponent = 126u << 23;  // the bits of 0.5

// How far the estimate is refined. The estimate 0.4173 + 0.5903 m of sqrt(m)
// on [0.5, 1) is off by less than 0.0077 relative (at m = 0.5 and m = 1,
// and at m = 0.7175 where the line is parallel to the root). A Heron step
// y' = (y + m / y) / 2 turns a relative error e into e^2 / (2 (1 + e)):
// below 3.0e-5, 4.5e-10, then 1.02e-19 (under 2^-63) after three. Each step
// rounds twice (the division and the sum; the halving is exact), at most
// 2^-64 each with 64-bit working precision, 2^-53 where the process runs
// the x87 unit at 53 bits, and the factor sqrt(2) of odd exponents rounds
// once more: the root before its rounding to float is within 2^-61
// (64 bits) or 2^-50 (53 bits) of the exact one, relative.
// The root of a float lies at least 2^-51 relative from every midpoint of
// two floats (for s = sqrt(x) in [1, 2) and a midpoint t = (2j + 1) 2^-24,
// x is a multiple of 2^-23 and t^2 an odd multiple of 2^-48, so
// |s - t| = |x - t^2| / (s + t) >= 2^-48 / 4). So with 64-bit precision the
// float is the correctly rounded root; with 53 bits it is that root or, for
// an exact root within 2^-50 of a midpoint, its neighbour: within one unit
// in the last place either way.
constexpr int kHeronSteps = 3;

// An element the arithmetic has to do, as m 2^e with m in [0.5, 1).
struct Scaled {
    long double m;
    int e;
};

// The significand of a positive finite non-zero float's bits, scaled into
// [0.5, 1), and its exponent; a subnormal is normalised first.
inline Scaled scale(std::uint32_t bits) {
    std::uint32_t fraction = bits & kFraction;
    int biased = static_cast<int>(bits >> 23);
    if (biased == 0) {
        // A subnormal: f 2^-149, shifted until its leading one is bit 23.
        biased = 1;
        while ((fraction & (1u << 23)) == 0) {
            fraction <<= 1;
            --biased;
        }
        fraction &= kFraction;
    }
    const std::uint32_t mBits = fraction | kHalfExponent;
    float m;
    std::memcpy(&m, &mBits, sizeof m);
    return {m, biased - 126};
}

// The float bits of sqrt(m 2^e) from the root r of m: e = 2k or 2k + 1,
// the odd case takes r sqrt(2). r (times sqrt(2)) lies in [0.7, 1.5) and
// the result between 2^-75 and 2^64: both are normal floats, so rounding r
// and then adding k to the exponent field is the rounding of the root.
inline std::uint32_t finish(long double r, int e) {
    constexpr long double kSqrt2 = 1.41421356237309504880168872420969808L;
    const int k = e >> 1;  // floor(e / 2), negative e included
    if (e & 1) r *= kSqrt2;
    const float rounded = static_cast<float>(r);
    std::uint32_t bits;
    std::memcpy(&bits, &rounded, sizeof bits);
    return bits + static_cast<std::uint32_t>(k) * (1u << 23);
}

// What an element becomes without arithmetic, or false when it needs it.
inline bool special(std::uint32_t bits, std::uint32_t& out) {
    if (bits == 0) {
        out = 0;  // +0 gives +0
        return true;
    }
    if ((bits & kInfinity) == kInfinity) {
        out = bits == kInfinity ? bits : bits | kQuiet;  // +inf, or a quiet NaN
        return true;
    }
    return false;
}

inline std::uint32_t wordAt(const float* at) {
    std::uint32_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

inline void storeWord(float* at, std::uint32_t w) { std::memcpy(at, &w, sizeof w); }

// Up to three elements (count) from src to dst: the three Heron chains run
// side by side, so that each division starts while the others are under
// way. Elements with the sign bit set are skipped and noted in negative.
inline void roots3(const float* src, float* dst, int count, bool& negative) {
    Scaled s[3] = {{0.5L, 0}, {0.5L, 0}, {0.5L, 0}};
    bool arithmetic[3] = {false, false, false};
    for (int k = 0; k < count; ++k) {
        const std::uint32_t bits = wordAt(src + k);
        std::uint32_t out;
        if ((bits & kSign) != 0) {
            negative = true;
        } else if (special(bits, out)) {
            storeWord(dst + k, out);
        } else {
            s[k] = scale(bits);
            arithmetic[k] = true;
        }
    }
    long double y0 = 0.4173L + 0.5903L * s[0].m;
    long double y1 = 0.4173L + 0.5903L * s[1].m;
    long double y2 = 0.4173L + 0.5903L * s[2].m;
    for (int step = 0; step < kHeronSteps; ++step) {
        y0 = 0.5L * (y0 + s[0].m / y0);
        y1 = 0.5L * (y1 + s[1].m / y1);
        y2 = 0.5L * (y2 + s[2].m / y2);
    }
    const long double y[3] = {y0, y1, y2};
    for (int k = 0; k < count; ++k)
        if (arithmetic[k]) storeWord(dst + k, finish(y[k], s[k].e));
}

}  // namespace

bool sqrtLoop(const float* src, float* dst, int n) {
    bool negative = false;
    int i = 0;
    for (; n - i >= 3; i += 3) roots3(src + i, dst + i, 3, negative);
    if (i < n) roots3(src + i, dst + i, n - i, negative);
    return negative;
}

}  // namespace qel::x87f5
