// SPDX-License-Identifier: MIT
// What the streaming-SIMD family's float-to-integer kernels know of each
// integer type and rounding mode: the floats that round into the type, the
// clamp of the saturating kernels, and the powers of two of the unsigned
// 32-bit forms. Shared by the SSE kernels and the 64-bit libraries' SSE2
// ones, which must classify and clamp exactly alike.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>
#include <type_traits>

#include "vector/cvrts_kernels.h"

namespace qel::sse {

struct alignas(16) Lanes {
    float v[4];
};

constexpr Lanes broadcast(float x) { return Lanes{{x, x, x, x}}; }

// What a kernel needs of the type and mode: the inclusive range of floats
// that round into the type (for the report), and the clamp of the saturating
// 8- and 16-bit kernels.
struct Setup {
    Lanes inLow, inHigh;
    Lanes clampLow, clampHigh;
};

inline constexpr float k2p31 = 2147483648.0f;
inline constexpr float k2p32 = 4294967296.0f;
// In memory, loaded by SSE: a 32-bit build would otherwise make the lanes on
// the x87 stack.
inline constexpr Lanes k2p31Lanes = broadcast(k2p31);
inline constexpr Lanes k2p32Lanes = broadcast(k2p32);

// The neighbouring floats of a finite, nonzero x.
constexpr float below(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    return std::bit_cast<float>(x > 0 ? bits - 1 : bits + 1);
}
constexpr float above(float x) {
    const auto bits = std::bit_cast<std::uint32_t>(x);
    return std::bit_cast<float>(x > 0 ? bits + 1 : bits - 1);
}

// The rounding modes as indices (of kSetups, and of the 64-bit kernels'
// tables).
enum Mode {
    kNearest = static_cast<int>(cvrt::Rounding::nearest),
    kTruncate = static_cast<int>(cvrt::Rounding::truncate),
    kFloor = static_cast<int>(cvrt::Rounding::floor),
    kCeil = static_cast<int>(cvrt::Rounding::ceil)
};

inline int modeOf(cvrt::Rounding mode) { return static_cast<int>(mode); }

template <typename T>
constexpr Setup setupFor(int mode) {
    // The bounds below are exact floats for 8 and 16 bits; for 32 bits
    // every float of the range's neighbourhood is an integer, so the
    // range in floats is the same in every mode.
    const float lo = static_cast<float>(std::numeric_limits<T>::min());
    const float hi = static_cast<float>(std::numeric_limits<T>::max());
    float inLow = lo;
    float inHigh = hi;
    if constexpr (sizeof(T) == 4) {
        inHigh = std::is_signed_v<T> ? below(k2p31) : below(k2p32);
        if constexpr (std::is_unsigned_v<T>) {
            if (mode == kNearest) inLow = -0.5f;
            else if (mode == kTruncate || mode == kCeil) inLow = above(-1.0f);
        }
    } else if (mode == kNearest) {
        inLow = lo - 0.5f;
        inHigh = below(hi + 0.5f);
    } else if (mode == kTruncate) {
        inLow = above(lo - 1.0f);
        inHigh = below(hi + 1.0f);
    } else if (mode == kFloor) {
        inHigh = below(hi + 1.0f);
    } else {
        inLow = above(lo - 1.0f);
    }
    return {broadcast(inLow), broadcast(inHigh), broadcast(lo), broadcast(hi)};
}

// Every mode's setup made by the compiler: built at run time, the floats
// would pass through the x87 stack.
template <typename T>
inline constexpr Setup kSetups[4] = {setupFor<T>(kNearest), setupFor<T>(kTruncate), setupFor<T>(kFloor),
                                     setupFor<T>(kCeil)};

}  // namespace qel::sse
