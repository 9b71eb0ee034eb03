// SPDX-License-Identifier: MIT
// Floats as bit patterns and back, for the suites that compare results bit
// for bit.
#pragma once

#include <bit>
#include <cstdint>
#include <limits>

namespace zv::test {

inline std::uint32_t bitsOf(float f) { return std::bit_cast<std::uint32_t>(f); }
inline float fromBits(std::uint32_t b) { return std::bit_cast<float>(b); }
inline constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace zv::test
