// SPDX-License-Identifier: MIT
// The extremes of the x87 builds: the bit patterns compared as integers,
// four elements per step, which orders every float, NaNs and zeros
// included.
#include <cstdint>
#include <cstring>

#include "kernels/x87/vector_x87.h"

namespace qel::x87 {

namespace {

constexpr std::uint32_t kSign = 0x80000000u;

inline std::uint32_t wordAt(const float* at) {
    std::uint32_t w;
    std::memcpy(&w, at, sizeof w);
    return w;
}

// Among patterns with the sign bit set a smaller pattern is a larger value
// (-0 is 0x80000000, -NaN up to 0xFFFFFFFF); among those without it a
// larger pattern is a larger value. So a running maximum that is negative
// takes any element whose pattern is smaller without sign, non-negative
// elements included (their patterns are below 0x80000000); once it is
// non-negative, an element whose pattern is greater with sign, which no
// negative one is. The minimum mirrors it: while non-negative it takes a
// pattern smaller with sign (every negative one), once negative a pattern
// greater without sign.
struct Max {
    static bool unsignedPhase(std::uint32_t m) { return (m & kSign) != 0; }
    static bool takes(std::uint32_t x, std::uint32_t m, bool unsignedPhase) {
        return unsignedPhase ? x < m : static_cast<std::int32_t>(x) > static_cast<std::int32_t>(m);
    }
};
struct Min {
    static bool unsignedPhase(std::uint32_t m) { return (m & kSign) != 0; }
    static bool takes(std::uint32_t x, std::uint32_t m, bool unsignedPhase) {
        return unsignedPhase ? x > m : static_cast<std::int32_t>(x) < static_cast<std::int32_t>(m);
    }
};

template <typename Op>
inline std::uint32_t step(std::uint32_t m, std::uint32_t x, bool unsignedPhase) {
    return Op::takes(x, m, unsignedPhase) ? x : m;
}

template <typename Op>
float extreme(const float* vec, int len) {
    std::uint32_t m = wordAt(vec);
    int i = 0;
    // Each block of four runs under the comparison of the running value's
    // sign at its start. When the sign changes inside the block, the
    // elements after the change were compared the wrong way: the block runs
    // again under the new comparison (taking an element twice is harmless).
    // The sign changes once at most: out of the unsigned phase for the
    // maximum, into it for the minimum.
    for (; len - i >= 4; i += 4) {
        const std::uint32_t x0 = wordAt(vec + i), x1 = wordAt(vec + i + 1);
        const std::uint32_t x2 = wordAt(vec + i + 2), x3 = wordAt(vec + i + 3);
        for (;;) {
            const bool phase = Op::unsignedPhase(m);
            std::uint32_t r = step<Op>(m, x0, phase);
            r = step<Op>(r, x1, phase);
            r = step<Op>(r, x2, phase);
            r = step<Op>(r, x3, phase);
            const bool changed = Op::unsignedPhase(r) != phase;
            m = r;
            if (!changed) break;
        }
    }
    for (; i < len; ++i) m = step<Op>(m, wordAt(vec + i), Op::unsignedPhase(m));
    float result;
    std::memcpy(&result, &m, sizeof result);
    return result;
}

}  // namespace

float maxOf(const float* vec, int len) { return extreme<Max>(vec, len); }
float minOf(const float* vec, int len) { return extreme<Min>(vec, len); }

}  // namespace qel::x87
